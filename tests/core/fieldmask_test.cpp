#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/fieldmask.h"

namespace {

struct Parsed
{
    int result;
    std::vector<std::wstring> pieces;
    std::vector<int> numbers;
};

Parsed Parse(const wchar_t* mask)
{
    CPtrArray pieces(PTRARRAY_ONE_BLOCK, 16, 4);
    CIntArray numbers(16, 4);
    Parsed p;
    p.result = ParseMask(mask, &pieces, &numbers);
    for (int i = 0; i < pieces.GetCount(); ++i)
        p.pieces.push_back(static_cast<const wchar_t*>(pieces.GetItems()[i]));
    p.numbers.assign(numbers.GetItems(), numbers.GetItems() + numbers.GetCount());
    return p;
}

using Pieces = std::vector<std::wstring>;
using Numbers = std::vector<int>;

CustomAttrDef Def(int type, const wchar_t* name)
{
    CustomAttrDef d = {};
    d.Type = type;
    d.ColumnOrdinal = -1;
    wcscpy(d.FieldName, name);
    return d;
}

// count initialised VARIANTs released at the end of the test.
struct Values
{
    explicit Values(int n) : v(n) { for (auto& x : v) VariantInit(&x); }
    ~Values() { for (auto& x : v) VariantClear(&x); }
    VARIANT* data() { return v.data(); }
    const VARIANT& operator[](int i) const { return v[i]; }
    std::vector<VARIANT> v;
};

std::vector<void*> g_freed;
void CountingFree(void* block)
{
    g_freed.push_back(block);
    free(block);
}

} // namespace

// ---------------- ParseMask ----------------

TEST(ParseMask, PiecesBetweenReferences)
{
    Parsed p = Parse(L"#1, #2 (#3)");
    EXPECT_EQ(3, p.result);
    EXPECT_EQ((Pieces{ L"", L", ", L" (", L")" }), p.pieces);
    EXPECT_EQ((Numbers{ 1, 2, 3 }), p.numbers);
}

TEST(ParseMask, DoubleHashIsLiteral)
{
    Parsed p = Parse(L"#1##");
    EXPECT_EQ(1, p.result);
    EXPECT_EQ((Pieces{ L"", L"#" }), p.pieces);
    EXPECT_EQ((Numbers{ 1 }), p.numbers);

    p = Parse(L"a##b#1c");
    EXPECT_EQ(1, p.result);
    EXPECT_EQ((Pieces{ L"a#b", L"c" }), p.pieces);
    EXPECT_EQ((Numbers{ 1 }), p.numbers);

    p = Parse(L"####");
    EXPECT_EQ(0, p.result);
    EXPECT_EQ((Pieces{ L"##" }), p.pieces);
}

TEST(ParseMask, EmptyAndLiteralOnly)
{
    Parsed p = Parse(L"");
    EXPECT_EQ(-1, p.result);
    EXPECT_TRUE(p.pieces.empty());
    EXPECT_TRUE(p.numbers.empty());
    EXPECT_EQ(-1, Parse(nullptr).result);

    p = Parse(L"abc");
    EXPECT_EQ(0, p.result);
    EXPECT_EQ((Pieces{ L"abc" }), p.pieces);
    EXPECT_TRUE(p.numbers.empty());
}

TEST(ParseMask, LoneHashEndsThePieceWithoutANumber)
{
    Parsed p = Parse(L"a#b#2");
    EXPECT_EQ(1, p.result);
    EXPECT_EQ((Pieces{ L"a", L"b" }), p.pieces);
    EXPECT_EQ((Numbers{ 2 }), p.numbers);

    p = Parse(L"ab#");
    EXPECT_EQ(0, p.result);
    EXPECT_EQ((Pieces{ L"ab" }), p.pieces);

    p = Parse(L"#");
    EXPECT_EQ(0, p.result);
    EXPECT_EQ((Pieces{ L"" }), p.pieces);
}

TEST(ParseMask, AdjacentAndMultiDigitReferences)
{
    Parsed p = Parse(L"#1#2");
    EXPECT_EQ(2, p.result);
    EXPECT_EQ((Pieces{ L"", L"" }), p.pieces);
    EXPECT_EQ((Numbers{ 1, 2 }), p.numbers);

    p = Parse(L"x#12y#007");
    EXPECT_EQ((Pieces{ L"x", L"y" }), p.pieces);
    EXPECT_EQ((Numbers{ 12, 7 }), p.numbers);
}

TEST(ParseMask, LongDigitRunsStopAt32)
{
    std::wstring mask = L"#" + std::wstring(32, L'9') + L"5";
    Parsed p = Parse(mask.c_str());
    ASSERT_EQ(1, p.result);
    EXPECT_LT(3, p.numbers[0]);  // far outside any field list, never negative
    EXPECT_EQ((Pieces{ L"", L"5" }), p.pieces);
}

TEST(ParseMask, ReparsingFreesThePreviousBlockOnce)
{
    g_freed.clear();
    ItemFreeFn previous = SetItemFreeHook(CountingFree);
    {
        CPtrArray pieces(PTRARRAY_ONE_BLOCK, 16, 4);
        CIntArray numbers(16, 4);
        ParseMask(L"#1, #2", &pieces, &numbers);
        void* first = pieces.GetItems()[0];
        ParseMask(L"#3", &pieces, &numbers);
        EXPECT_EQ((std::vector<void*>{ first }), g_freed);
        EXPECT_EQ(1, numbers.GetCount());
        EXPECT_EQ(3, numbers.GetItems()[0]);
    }
    EXPECT_EQ(2u, g_freed.size());
    SetItemFreeHook(previous);
}

TEST(CheckMaskSeparators, AcceptsEveryMask)
{
    EXPECT_EQ(1, CheckMaskSeparators(L"#1, #2"));
    EXPECT_EQ(1, CheckMaskSeparators(L"#1#2"));
    EXPECT_EQ(1, CheckMaskSeparators(L"#1 5#2"));
    EXPECT_EQ(1, CheckMaskSeparators(L""));
}

// ---------------- ParseValueByKind ----------------

TEST(ParseValueByKind, NumbersAtSinglePrecision)
{
    VARIANT v;
    CustomAttrDef real = Def(ATTR_REAL, L"R");
    ParseValueByKind(&v, &real, L"2,5");  // the C conversion stops at the comma
    EXPECT_EQ(VT_R8, V_VT(&v));
    EXPECT_DOUBLE_EQ(2.0, V_R8(&v));
    ParseValueByKind(&v, &real, L" 0.1");
    EXPECT_DOUBLE_EQ(static_cast<double>(0.1f), V_R8(&v));

    CustomAttrDef integer = Def(ATTR_INTEGER, L"I");
    ParseValueByKind(&v, &integer, L"x");
    EXPECT_EQ(VT_NULL, V_VT(&v));
    ParseValueByKind(&v, &integer, L"1998 n.l.");
    EXPECT_EQ(VT_I4, V_VT(&v));
    EXPECT_EQ(1998, V_I4(&v));

    CustomAttrDef date = Def(ATTR_DATE, L"D");
    ParseValueByKind(&v, &date, L"36526.5");
    EXPECT_EQ(VT_DATE, V_VT(&v));
    EXPECT_DOUBLE_EQ(36526.5, V_DATE(&v));
    ParseValueByKind(&v, &date, L"leden");
    EXPECT_EQ(VT_NULL, V_VT(&v));
}

TEST(ParseValueByKind, BooleanKeepsTheNumberRead)
{
    VARIANT v;
    CustomAttrDef flag = Def(ATTR_BOOLEAN, L"B");
    ParseValueByKind(&v, &flag, L"1");
    EXPECT_EQ(VT_BOOL, V_VT(&v));
    EXPECT_EQ(1, V_BOOL(&v));
    ParseValueByKind(&v, &flag, L"-1");
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&v));
    ParseValueByKind(&v, &flag, L"ano");
    EXPECT_EQ(VT_NULL, V_VT(&v));
}

TEST(ParseValueByKind, TextKindsCopyAndUnknownKindsGiveNull)
{
    for (int kind : { ATTR_TEXT, ATTR_LOOKUP, ATTR_LONG_TEXT, ATTR_GEO_LOOKUP })
    {
        VARIANT v;
        CustomAttrDef d = Def(kind, L"T");
        ParseValueByKind(&v, &d, L"Čeřovka 12");
        ASSERT_EQ(VT_BSTR, V_VT(&v)) << kind;
        EXPECT_STREQ(L"Čeřovka 12", V_BSTR(&v));
        EXPECT_EQ(10u, SysStringLen(V_BSTR(&v)));
        VariantClear(&v);
    }
    VARIANT v;
    CustomAttrDef odd = Def(8, L"X");
    ParseValueByKind(&v, &odd, L"12");
    EXPECT_EQ(VT_NULL, V_VT(&v));
    odd.Type = -1;
    ParseValueByKind(&v, &odd, L"12");
    EXPECT_EQ(VT_NULL, V_VT(&v));

    ParseValueByKind(&v, nullptr, L"bez definice");  // a column without an attribute
    ASSERT_EQ(VT_BSTR, V_VT(&v));
    EXPECT_STREQ(L"bez definice", V_BSTR(&v));
    VariantClear(&v);
}

// ---------------- SplitByMask ----------------

class SplitByMaskTest : public ::testing::Test
{
protected:
    CustomAttrDef town = Def(ATTR_TEXT, L"TOWN");
    CustomAttrDef year = Def(ATTR_INTEGER, L"YEAR");
    CustomAttrDef size = Def(ATTR_REAL, L"SIZE");
    const CustomAttrDef* defs[3] = { &town, &year, &size };
};

TEST_F(SplitByMaskTest, TextAndInteger)
{
    Values v(2);
    EXPECT_EQ(1, SplitByMask(L"#1, #2", L"Brno, 1998", defs, v.data(), 2));
    ASSERT_EQ(VT_BSTR, V_VT(&v[0]));
    EXPECT_STREQ(L"Brno", V_BSTR(&v[0]));
    ASSERT_EQ(VT_I4, V_VT(&v[1]));
    EXPECT_EQ(1998, V_I4(&v[1]));
}

TEST_F(SplitByMaskTest, MissingSeparatorLeavesLaterValuesEmpty)
{
    Values v(2);
    EXPECT_EQ(1, SplitByMask(L"#1, #2", L"Brno", defs, v.data(), 2));
    ASSERT_EQ(VT_BSTR, V_VT(&v[0]));
    EXPECT_STREQ(L"Brno", V_BSTR(&v[0]));
    EXPECT_EQ(VT_EMPTY, V_VT(&v[1]));
}

TEST_F(SplitByMaskTest, ReferenceOutOfRangeFillsNothing)
{
    Values v(3);
    EXPECT_EQ(1, SplitByMask(L"#5/#2", L"x/2001", defs, v.data(), 3));
    EXPECT_EQ(VT_EMPTY, V_VT(&v[0]));
    ASSERT_EQ(VT_I4, V_VT(&v[1]));
    EXPECT_EQ(2001, V_I4(&v[1]));
    EXPECT_EQ(VT_EMPTY, V_VT(&v[2]));

    EXPECT_EQ(1, SplitByMask(L"#0-#3", L"a-1,5", defs, v.data(), 3));
    EXPECT_EQ(VT_EMPTY, V_VT(&v[0]));  // cleared, and #0 refers to no field
    EXPECT_EQ(VT_EMPTY, V_VT(&v[1]));
    ASSERT_EQ(VT_R8, V_VT(&v[2]));
    EXPECT_DOUBLE_EQ(1.0, V_R8(&v[2]));
}

TEST_F(SplitByMaskTest, AdjacentReferencesGiveTheRestToTheFirst)
{
    Values v(2);
    EXPECT_EQ(1, SplitByMask(L"#1#2", L"Brno1998", defs, v.data(), 2));
    ASSERT_EQ(VT_BSTR, V_VT(&v[0]));
    EXPECT_STREQ(L"Brno1998", V_BSTR(&v[0]));
    EXPECT_EQ(VT_EMPTY, V_VT(&v[1]));
}

TEST_F(SplitByMaskTest, LeadingAndTrailingLiterals)
{
    Values v(3);
    EXPECT_EQ(1, SplitByMask(L"[#2] #1 (#3)", L"xx[1999] Praha (2.5)", defs, v.data(), 3));
    ASSERT_EQ(VT_BSTR, V_VT(&v[0]));
    EXPECT_STREQ(L"Praha", V_BSTR(&v[0]));
    ASSERT_EQ(VT_I4, V_VT(&v[1]));
    EXPECT_EQ(1999, V_I4(&v[1]));
    ASSERT_EQ(VT_R8, V_VT(&v[2]));
    EXPECT_DOUBLE_EQ(2.5, V_R8(&v[2]));
}

TEST_F(SplitByMaskTest, LeadingLiteralNotFoundFillsNothing)
{
    Values v(2);
    EXPECT_EQ(1, SplitByMask(L"#1, #2", L"Brno, 1998", defs, v.data(), 2));
    EXPECT_EQ(1, SplitByMask(L"[#1]", L"Brno", defs, v.data(), 2));
    EXPECT_EQ(VT_EMPTY, V_VT(&v[0]));  // earlier values are released and cleared
    EXPECT_EQ(VT_EMPTY, V_VT(&v[1]));
}

TEST_F(SplitByMaskTest, LiteralHashInSeparator)
{
    Values v(2);
    EXPECT_EQ(1, SplitByMask(L"#1 ## #2", L"Brno # 12", defs, v.data(), 2));
    ASSERT_EQ(VT_BSTR, V_VT(&v[0]));
    EXPECT_STREQ(L"Brno", V_BSTR(&v[0]));
    ASSERT_EQ(VT_I4, V_VT(&v[1]));
    EXPECT_EQ(12, V_I4(&v[1]));
}

TEST_F(SplitByMaskTest, EmptyMaskOrTextAndMissingDefinitions)
{
    Values v(2);
    EXPECT_EQ(1, SplitByMask(L"", L"Brno", defs, v.data(), 2));
    EXPECT_EQ(VT_EMPTY, V_VT(&v[0]));

    EXPECT_EQ(1, SplitByMask(L"#1, #2", L"", defs, v.data(), 2));
    ASSERT_EQ(VT_BSTR, V_VT(&v[0]));
    EXPECT_STREQ(L"", V_BSTR(&v[0]));
    EXPECT_EQ(VT_EMPTY, V_VT(&v[1]));

    const CustomAttrDef* none[2] = { nullptr, &year };
    EXPECT_EQ(1, SplitByMask(L"#1; #2", L"Olomouc; x", none, v.data(), 2));
    ASSERT_EQ(VT_BSTR, V_VT(&v[0]));
    EXPECT_STREQ(L"Olomouc", V_BSTR(&v[0]));
    EXPECT_EQ(VT_NULL, V_VT(&v[1]));  // "x" is no integer
}
