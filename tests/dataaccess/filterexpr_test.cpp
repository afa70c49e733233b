// Filter and Find criteria: grammar, refusal of bad criteria, and evaluation with Unicode case folding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataaccess/filterexpr.h"

using zdata::FilterExpr;
using zdata::FilterLikeEscape;
using zdata::FilterQuote;

namespace {

// A small in-memory table: named, typed columns and rows of VARIANT values.
class Table
{
public:
    struct Col { std::wstring name; DataTypeEnum type; };

    explicit Table(std::vector<Col> cols) : cols_(std::move(cols)) {}

    // A row given as VARIANTs in column order; the table owns them.
    void AddRow(std::vector<VARIANT> values) { rows_.push_back(std::move(values)); }

    ~Table()
    {
        for (auto& r : rows_)
            for (auto& v : r)
                VariantClear(&v);
    }

    FilterExpr::ColumnResolver Resolver()
    {
        return [this](const std::wstring& name, int* index, DataTypeEnum* type) {
            for (size_t i = 0; i < cols_.size(); ++i) {
                if (_wcsicmp(cols_[i].name.c_str(), name.c_str()) == 0) {
                    *index = int(i);
                    *type = cols_[i].type;
                    return true;
                }
            }
            return false;
        };
    }

    // Row numbers (0-based) that the criterion selects.
    std::vector<int> Select(const FilterExpr& f)
    {
        std::vector<int> hits;
        for (size_t r = 0; r < rows_.size(); ++r) {
            auto get = [&](int index, const std::wstring&, VARIANT* v) -> HRESULT {
                if (index < 0 || size_t(index) >= cols_.size())
                    return E_INVALIDARG;
                return VariantCopy(v, &rows_[r][size_t(index)]);
            };
            if (f.Matches(get))
                hits.push_back(int(r));
        }
        return hits;
    }

    std::vector<int> Select(const wchar_t* criterion)
    {
        FilterExpr f;
        std::wstring error;
        EXPECT_TRUE(f.Parse(criterion, &error)) << criterion << L" : " << error;
        EXPECT_TRUE(f.Bind(Resolver(), &error)) << criterion << L" : " << error;
        return Select(f);
    }

private:
    std::vector<Col> cols_;
    std::vector<std::vector<VARIANT>> rows_;
};

VARIANT I4(long v) { VARIANT x; VariantInit(&x); x.vt = VT_I4; x.lVal = v; return x; }
VARIANT R8(double v) { VARIANT x; VariantInit(&x); x.vt = VT_R8; x.dblVal = v; return x; }
VARIANT Str(const wchar_t* s) { VARIANT x; VariantInit(&x); x.vt = VT_BSTR; x.bstrVal = SysAllocString(s); return x; }
VARIANT Null() { VARIANT x; VariantInit(&x); x.vt = VT_NULL; return x; }
VARIANT Bool(bool b) { VARIANT x; VariantInit(&x); x.vt = VT_BOOL; x.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE; return x; }
VARIANT Date(double d) { VARIANT x; VariantInit(&x); x.vt = VT_DATE; x.date = d; return x; }

// Rows:          ID  PARENT NAME          X     FLAG   SEEN (DATETIME)   NAME:1
Table MakeNames()
{
    Table t({ { L"ID", adInteger }, { L"PARENT", adInteger }, { L"NAME", adVarWChar }, { L"X", adDouble },
              { L"FLAG", adBoolean }, { L"SEEN", adDate }, { L"NAME:1", adVarWChar } });
    t.AddRow({ I4(1), I4(0), Str(L"Čáp"), R8(4.5), Bool(true), Date(43831.0), Str(L"Brno") });            // 0
    t.AddRow({ I4(2), I4(1), Str(L"čáp bílý"), R8(5.0), Bool(false), Date(43832.5), Str(L"Praha") });     // 1
    t.AddRow({ I4(3), I4(1), Str(L"O'Brien"), R8(9.0), Bool(true), Null(), Str(L"Žďár") });              // 2
    t.AddRow({ I4(4), I4(2), Str(L"d'Orbigny"), R8(12.25), Null(), Date(44000.0), Null() });             // 3
    t.AddRow({ I4(5), I4(2), Null(), Null(), Bool(false), Date(43831.0), Str(L"brno") });                // 4
    t.AddRow({ I4(6), I4(3), Str(L"a*b"), R8(-1.0), Bool(true), Date(43831.0), Str(L"Řevnice") });       // 5
    t.AddRow({ I4(7), I4(3), Str(L"abc"), R8(7.0), Bool(false), Date(43831.0), Str(L"ŘEVNICE") });        // 6
    t.AddRow({ I4(8), I4(3), Str(L"ABCD"), R8(8.0), Bool(false), Date(43831.0), Str(L"100%") });          // 7
    return t;
}

using V = std::vector<int>;

}  // namespace

// ---- Comparisons on numbers -------------------------------------------------------------------

TEST(FilterExprNumbers, IntegerEqualityAsTheTreeWalksWriteIt)
{
    Table t = MakeNames();
    EXPECT_EQ(V({ 2 }), t.Select(L"ID = 3"));
    EXPECT_EQ(V({ 1, 2 }), t.Select(L"PARENT = 1"));
    EXPECT_EQ(V(), t.Select(L"ID = 99"));
    EXPECT_EQ(V(), t.Select(L"ID = 2.5")) << "a fraction must not be rounded onto an integer column";
    EXPECT_EQ(V({ 2 }), t.Select(L"PARENT=1 AND X>5")) << "no blanks needed around operators";
    EXPECT_EQ(V({ 0 }), t.Select(L"id=+1"));
}

TEST(FilterExprNumbers, OrderingOperators)
{
    Table t = MakeNames();
    EXPECT_EQ(V({ 0, 1, 5 }), t.Select(L"X < 7"));
    EXPECT_EQ(V({ 0, 1, 5, 6 }), t.Select(L"X <= 7"));
    EXPECT_EQ(V({ 3 }), t.Select(L"X > 9"));
    EXPECT_EQ(V({ 2, 3 }), t.Select(L"X >= 9"));
    EXPECT_EQ(V({ 0, 2, 3, 5, 6, 7 }), t.Select(L"X <> 5")) << "NULL X (row 4) is not 'different'";
    EXPECT_EQ(V({ 5 }), t.Select(L"X = -1"));
    EXPECT_EQ(V({ 3 }), t.Select(L"X = 12.25"));
    EXPECT_EQ(V({ 3 }), t.Select(L"X = 1.225e1"));
}

TEST(FilterExprNumbers, MapRangeCriteria)
{
    Table t = MakeNames();
    EXPECT_EQ(V({ 1, 2, 6, 7 }), t.Select(L"X >= 5 AND X <= 9"));
}

TEST(FilterExprNumbers, TextLiteralAgainstNumberColumnIsConverted)
{
    Table t = MakeNames();
    EXPECT_EQ(V({ 2 }), t.Select(L"ID = '3'"));
}

TEST(FilterExprNumbers, BooleansAndDates)
{
    Table t = MakeNames();
    EXPECT_EQ(V({ 0, 2, 5 }), t.Select(L"FLAG = -1"));
    EXPECT_EQ(V({ 0, 2, 5 }), t.Select(L"FLAG = 1")) << "a non-zero literal means true for a boolean column";
    EXPECT_EQ(V({ 1, 4, 6, 7 }), t.Select(L"FLAG = 0"));
    EXPECT_EQ(V({ 0, 4, 5, 6, 7 }), t.Select(L"SEEN = #2020-01-01#"));
    EXPECT_EQ(V({ 0, 4, 5, 6, 7 }), t.Select(L"SEEN = #1/1/2020#"));
    EXPECT_EQ(V({ 1 }), t.Select(L"SEEN = #2020-01-02 12:00:00#"));
    EXPECT_EQ(V({ 1, 3 }), t.Select(L"SEEN > #2020-01-01#"));
    EXPECT_EQ(V({ 3 }), t.Select(L"SEEN >= 44000"));
    EXPECT_EQ(V({ 1, 3 }), t.Select(L"SEEN > #2/29/2020# OR SEEN = #2020-01-02 12:00#"));
}

// ---- Text ---------------------------------------------------------------------------------------

TEST(FilterExprText, EqualityIgnoresCaseWithUnicodeFolding)
{
    Table t = MakeNames();
    EXPECT_EQ(V({ 0 }), t.Select(L"NAME = 'čáp'"));
    EXPECT_EQ(V({ 0 }), t.Select(L"NAME = 'ČÁP'"));
    EXPECT_EQ(V({ 1 }), t.Select(L"NAME = 'ČÁP BÍLÝ'"));
    EXPECT_EQ(V({ 5, 6 }), t.Select(L"[NAME:1] = 'řevnice'"));
    EXPECT_EQ(V({ 0, 4 }), t.Select(L"NAME:1 = 'BRNO'"));
    EXPECT_EQ(V({ 2 }), t.Select(L"NAME:1 = 'žĎÁR'"));
    EXPECT_EQ(V(), t.Select(L"NAME = 'cap'")) << "diacritics are not ignored, only case";
}

TEST(FilterExprText, DoubledApostrophesInLiterals)
{
    Table t = MakeNames();
    EXPECT_EQ(V({ 2 }), t.Select(L"NAME = 'O''Brien'"));
    EXPECT_EQ(V({ 2 }), t.Select(L"NAME = 'o''brien'"));
    EXPECT_EQ(V({ 3 }), t.Select(L"NAME = 'D''ORBIGNY'"));
    EXPECT_EQ(V({ 2 }), t.Select(L"NAME LIKE 'o''b*'"));
    EXPECT_EQ(V({ 2 }), t.Select(FilterQuote(L"O'Brien").insert(0, L"NAME = ").c_str()));
}

TEST(FilterExprText, LikeWithTrailingAndLeadingWildcards)
{
    Table t = MakeNames();
    EXPECT_EQ(V({ 5, 6, 7 }), t.Select(L"NAME LIKE 'a*'"));
    EXPECT_EQ(V({ 6, 7 }), t.Select(L"NAME LIKE 'abc*'"));
    EXPECT_EQ(V({ 6, 7 }), t.Select(L"NAME like 'ABC%'")) << "lower-case keyword, % wildcard";
    EXPECT_EQ(V({ 0, 1 }), t.Select(L"NAME LIKE 'ČÁP*'"));
    EXPECT_EQ(V({ 1 }), t.Select(L"NAME LIKE '*BÍLÝ'"));
    EXPECT_EQ(V({ 1 }), t.Select(L"NAME LIKE '*p b*'"));
    EXPECT_EQ(V({ 6 }), t.Select(L"NAME LIKE 'abc'")) << "no wildcard: whole text, case ignored";
    EXPECT_EQ(V({ 0, 1, 2, 3, 5, 6, 7 }), t.Select(L"NAME LIKE '*'")) << "NULL never matches";
}

TEST(FilterExprText, BracketedWildcardsAreLiteral)
{
    Table t = MakeNames();
    EXPECT_EQ(V({ 5 }), t.Select(L"NAME LIKE 'a[*]b'"));
    EXPECT_EQ(V({ 5 }), t.Select(L"NAME LIKE 'a[*]*'"));
    EXPECT_EQ(V({ 7 }), t.Select(L"NAME:1 LIKE '100[%]'"));
    EXPECT_EQ(V({ 5 }), t.Select((L"NAME LIKE '" + FilterLikeEscape(L"a*") + L"*'").c_str()));
    EXPECT_EQ(V({ 2 }), t.Select((L"NAME LIKE '" + FilterLikeEscape(L"O'B") + L"*'").c_str()));
}

TEST(FilterExprText, UnderscoreAndQuestionMarkAreNotWildcards)
{
    Table t = MakeNames();
    EXPECT_EQ(V(), t.Select(L"NAME LIKE 'ab_'"));
    EXPECT_EQ(V(), t.Select(L"NAME LIKE 'ab?'"));
}

TEST(FilterExprText, OrderingFollowsTheLocaleIgnoringCase)
{
    Table t = MakeNames();
    // 'abc' < 'ABCD' regardless of case; NULL names (row 4) are never selected.
    EXPECT_EQ(V({ 6 }), t.Select(L"NAME < 'ABCD' AND NAME >= 'ABC'"));
}

// ---- NULL ---------------------------------------------------------------------------------------

TEST(FilterExprNull, ComparisonsWithNullValuesAreFalse)
{
    Table t = MakeNames();
    EXPECT_EQ(V({ 0, 2, 5 }), t.Select(L"FLAG <> 0")) << "row 3 FLAG is NULL";
    EXPECT_EQ(V(), t.Select(L"NAME = ''"));
}

TEST(FilterExprNull, NullLiteralSelectsNullValues)
{
    Table t = MakeNames();
    EXPECT_EQ(V({ 4 }), t.Select(L"NAME = NULL"));
    EXPECT_EQ(V({ 0, 1, 2, 3, 5, 6, 7 }), t.Select(L"NAME <> null"));
    EXPECT_EQ(V({ 2 }), t.Select(L"SEEN = NULL"));
}

// ---- AND / OR / parentheses ---------------------------------------------------------------------

TEST(FilterExprLogic, AndBindsTighterThanOr)
{
    Table t = MakeNames();
    // ID = 1 OR (PARENT = 3 AND X > 7.5)
    EXPECT_EQ(V({ 0, 7 }), t.Select(L"ID = 1 OR PARENT = 3 AND X > 7.5"));
    // (PARENT = 3 AND X > 7.5) OR ID = 1
    EXPECT_EQ(V({ 0, 7 }), t.Select(L"PARENT = 3 AND X > 7.5 OR ID = 1"));
}

TEST(FilterExprLogic, ParenthesesOverridePrecedence)
{
    Table t = MakeNames();
    EXPECT_EQ(V({ 6, 7 }), t.Select(L"(ID = 1 OR PARENT = 3) AND X > 6"));
    EXPECT_EQ(V({ 0, 2 }), t.Select(L"(NAME = 'čáp') OR ((PARENT = 1) AND (X > 5))"));
    EXPECT_EQ(V({ 0, 4 }), t.Select(L"((NAME:1 = 'brno'))"));
}

TEST(FilterExprLogic, MapTextWithOrsOfTextValues)
{
    Table t = MakeNames();
    EXPECT_EQ(V({ 0, 1, 4 }), t.Select(L"NAME:1 = 'brno' OR NAME:1 = 'PRAHA'"));
    EXPECT_EQ(V({ 0, 2, 4 }), t.Select(L"(NAME:1 = 'brno' OR NAME:1 = 'žďár') AND (FLAG = -1 OR PARENT = 2)"));
}

TEST(FilterExprLogic, LongOrChainsStayFlat)
{
    Table t = MakeNames();
    std::wstring crit = L"ID = 1";
    for (int i = 2; i <= 500; ++i)
        crit += L" OR ID = " + std::to_wstring(i % 3 == 0 ? i + 1000 : i);
    EXPECT_EQ(V({ 0, 1, 3, 4, 6, 7 }), t.Select(crit.c_str()));
}

// ---- Refusal ----------------------------------------------------------------------------------

TEST(FilterExprRefusal, SyntaxErrorsAreReportedWithAMessage)
{
    const wchar_t* bad[] = {
        L"",                         // empty: the caller handles "no filter" itself
        L"   ",
        L"NAME",                     // no operator
        L"NAME =",                   // no value
        L"NAME = 'abc",              // unterminated text
        L"NAME = 'abc' AND",         // dangling AND
        L"(ID = 1",                  // unbalanced
        L"ID = 1)",
        L"ID == 1",
        L"ID = 1 ID = 2",            // missing AND/OR
        L"= 1",
        L"ID = #2020-13-45#",        // impossible date
        L"ID = #2020-01-01",         // unterminated date
        L"ID = #2021-02-30#",        // a day the month does not have
        L"ID < NULL",                // NULL only with = and <>
        L"NAME LIKE 5",              // LIKE needs a text pattern
        L"ID = 12abc",
        L"[NAME = 'x'",
        L"AND = 1",
        L"ID ! 1",
    };
    for (const wchar_t* c : bad) {
        FilterExpr f;
        std::wstring error;
        EXPECT_FALSE(f.Parse(c, &error)) << L"accepted: [" << c << L"]";
        EXPECT_FALSE(error.empty()) << c;
        EXPECT_TRUE(f.IsEmpty()) << c;
    }
}

TEST(FilterExprRefusal, UnknownColumnFailsAtBind)
{
    Table t = MakeNames();
    FilterExpr f;
    std::wstring error;
    ASSERT_TRUE(f.Parse(L"ID = 1 OR NOSUCH = 2", &error));
    EXPECT_FALSE(f.Bind(t.Resolver(), &error));
    EXPECT_NE(std::wstring::npos, error.find(L"NOSUCH"));
    EXPECT_FALSE(f.IsBound());
    EXPECT_EQ(V(), t.Select(f)) << "an unbound criterion matches nothing";
}

TEST(FilterExprRefusal, LiteralTheColumnCannotTakeFailsAtBind)
{
    Table t = MakeNames();
    std::wstring error;
    EXPECT_EQ(nullptr, zdata::ParseFilter(L"ID = 'abc'", t.Resolver(), &error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_EQ(nullptr, zdata::ParseFilter(L"SEEN = 'not a date'", t.Resolver(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_NE(nullptr, zdata::ParseFilter(L"ID = ' 3 '", t.Resolver(), &error));
}

TEST(FilterExprRefusal, ParsingAgainReplacesTheExpressionOnlyOnSuccess)
{
    // The recordset keeps its old FilterExpr when a new text fails; a failed Parse on a fresh object
    // leaves it empty, so the caller parses into a new object and swaps only on success.
    Table t = MakeNames();
    auto good = zdata::ParseFilter(L"PARENT = 3", t.Resolver());
    ASSERT_NE(nullptr, good);
    auto bad = zdata::ParseFilter(L"PARENT = ", t.Resolver());
    EXPECT_EQ(nullptr, bad);
    EXPECT_EQ(V({ 5, 6, 7 }), t.Select(*good));
}

// ---- Find and index support ---------------------------------------------------------------------

TEST(FilterExprShape, SingleComparisonForFind)
{
    FilterExpr f;
    ASSERT_TRUE(f.Parse(L"NAME like 'Ab*'"));
    EXPECT_TRUE(f.IsSingleComparison());
    ASSERT_TRUE(f.Parse(L"(ID = 1)"));
    EXPECT_TRUE(f.IsSingleComparison());
    ASSERT_TRUE(f.Parse(L"ID = 1 AND ID = 2"));
    EXPECT_FALSE(f.IsSingleComparison());
}

TEST(FilterExprShape, SimpleEqualityGivesColumnAndConvertedValue)
{
    Table t = MakeNames();
    FilterExpr f;
    ASSERT_TRUE(f.Parse(L"parent = '2'"));
    ASSERT_TRUE(f.Bind(t.Resolver()));
    int index = -1;
    VARIANT v;
    VariantInit(&v);
    ASSERT_TRUE(f.GetSimpleEquality(&index, &v));
    EXPECT_EQ(1, index);
    EXPECT_EQ(VT_I4, v.vt);
    EXPECT_EQ(2, v.lVal);
    VariantClear(&v);

    ASSERT_TRUE(f.Parse(L"PARENT > 2"));
    ASSERT_TRUE(f.Bind(t.Resolver()));
    EXPECT_FALSE(f.GetSimpleEquality(&index, &v));
    ASSERT_TRUE(f.Parse(L"PARENT = NULL"));
    ASSERT_TRUE(f.Bind(t.Resolver()));
    EXPECT_FALSE(f.GetSimpleEquality(&index, &v));
}

TEST(FilterExprShape, ColumnNamesAreListedOnceWithoutBrackets)
{
    FilterExpr f;
    ASSERT_TRUE(f.Parse(L"[NAME:1] = 'a' OR (ID = 1 AND [My Column] > 2) OR ID = 3"));
    std::vector<std::wstring> names = f.ColumnNames();
    ASSERT_EQ(3u, names.size());
    EXPECT_EQ(L"NAME:1", names[0]);
    EXPECT_EQ(L"ID", names[1]);
    EXPECT_EQ(L"My Column", names[2]);
}

TEST(FilterExprShape, GetterReceivesResolvedIndexAndNameAsWritten)
{
    Table t = MakeNames();
    FilterExpr f;
    ASSERT_TRUE(f.Parse(L"name = 'x'"));
    ASSERT_TRUE(f.Bind(t.Resolver()));
    int seenIndex = -1;
    std::wstring seenName;
    f.Matches([&](int index, const std::wstring& name, VARIANT* v) {
        seenIndex = index;
        seenName = name;
        v->vt = VT_BSTR;
        v->bstrVal = SysAllocString(L"X");
        return S_OK;
    });
    EXPECT_EQ(2, seenIndex);
    EXPECT_EQ(L"name", seenName);
}

TEST(FilterExprShape, GetterFailureMakesTheComparisonFalse)
{
    Table t = MakeNames();
    FilterExpr f;
    ASSERT_TRUE(f.Parse(L"ID <> 1"));
    ASSERT_TRUE(f.Bind(t.Resolver()));
    EXPECT_FALSE(f.Matches([](int, const std::wstring&, VARIANT*) { return E_FAIL; }));
}

TEST(FilterQuoting, QuoteAndLikeEscape)
{
    EXPECT_EQ(L"'O''Brien'", FilterQuote(L"O'Brien"));
    EXPECT_EQ(L"''", FilterQuote(L""));
    EXPECT_EQ(L"a[*]b''c[%]d[[]", FilterLikeEscape(L"a*b'c%d["));
}
