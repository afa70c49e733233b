#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

#include "core/textutil.h"

namespace {

// A VARIANT value whose address can be taken right where it is made: VariantToInt(&I4(5)).
struct Var
{
    VARIANT v;
    const VARIANT* operator&() const { return &v; }
    operator const VARIANT&() const { return v; }
};

Var Make(VARTYPE type)
{
    Var x;
    VariantInit(&x.v);
    V_VT(&x.v) = type;
    return x;
}
Var I2(short value) { Var r = Make(VT_I2); V_I2(&r.v) = value; return r; }
Var I4(LONG value) { Var r = Make(VT_I4); V_I4(&r.v) = value; return r; }
Var Ui4(ULONG value) { Var r = Make(VT_UI4); V_UI4(&r.v) = value; return r; }
Var Int(INT value) { Var r = Make(VT_INT); V_INT(&r.v) = value; return r; }
Var Uint(UINT value) { Var r = Make(VT_UINT); V_UINT(&r.v) = value; return r; }
Var I1(signed char value) { Var r = Make(VT_I1); V_I1(&r.v) = static_cast<CHAR>(value); return r; }
Var Ui1(BYTE value) { Var r = Make(VT_UI1); V_UI1(&r.v) = value; return r; }
Var Ui2(USHORT value) { Var r = Make(VT_UI2); V_UI2(&r.v) = value; return r; }
Var Bool(bool value) { Var r = Make(VT_BOOL); V_BOOL(&r.v) = value ? VARIANT_TRUE : VARIANT_FALSE; return r; }
Var R4(float value) { Var r = Make(VT_R4); V_R4(&r.v) = value; return r; }
Var R8(double value) { Var r = Make(VT_R8); V_R8(&r.v) = value; return r; }
Var Date(double value) { Var r = Make(VT_DATE); V_DATE(&r.v) = value; return r; }

// A VT_BSTR that frees its string when the test ends.
struct BstrVar
{
    explicit BstrVar(const wchar_t* s) : v(Make(VT_BSTR)) { V_BSTR(&v) = SysAllocString(s); }
    ~BstrVar() { VariantClear(&v); }
    const VARIANT* operator&() const { return &v; }
    VARIANT v;
};

std::wstring Text(const VARIANT& v, int size = 64, int* result = nullptr)
{
    wchar_t buf[256];
    wmemset(buf, L'@', 256);
    int r = VariantToText(&v, buf, size);
    if (result)
        *result = r;
    return buf;
}

std::string AnsiText(const VARIANT& v, int size = 64, int* result = nullptr)
{
    char buf[256];
    memset(buf, '@', sizeof(buf));
    buf[255] = 0;
    int r = VariantToAnsiText(&v, buf, size);
    if (result)
        *result = r;
    return buf;
}

const wchar_t kNbsp = L'\u00A0';

} // namespace

// ---------------- strings ----------------

TEST(WideStrings, CopyWideBoundedTruncatesAtSizeMinusOne)
{
    wchar_t buf[8];
    EXPECT_EQ(3, CopyWideBounded(L"abcdef", buf, 4));
    EXPECT_STREQ(L"abc", buf);
    EXPECT_EQ(3, CopyWideBounded(L"abc", buf, 4));
    EXPECT_STREQ(L"abc", buf);
    EXPECT_EQ(2, BoundedWideCopy(L"ab", buf, 4));
    EXPECT_STREQ(L"ab", buf);
    EXPECT_EQ(0, CopyWideBounded(L"abc", buf, 1));
    EXPECT_STREQ(L"", buf);
}

TEST(WideStrings, HeapCopiesAndFree)
{
    wchar_t* copy = WideDup(L"Čáp bílý");
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ(L"Čáp bílý", copy);
    wchar_t* same = DupWideString(copy);
    EXPECT_NE(copy, same);
    EXPECT_STREQ(copy, same);
    FreeWide(&copy);
    EXPECT_EQ(nullptr, copy);
    FreeWide(&copy);  // freeing a null pointer again is harmless
    free(same);

    wchar_t* block = AllocWide(5);
    wcscpy(block, L"12345");
    EXPECT_STREQ(L"12345", block);
    FreeWide(&block);
}

TEST(WideStrings, BstrKeepsLengthAndCharacters)
{
    BSTR b = BstrFromWide(L"Žába");
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(4u, SysStringLen(b));
    EXPECT_STREQ(L"Žába", b);
    SysFreeString(b);
}

TEST(AnsiConversion, CzechLettersUseTheAnsiCodePage)
{
    ASSERT_EQ(1250u, GetACP()) << "tests run under the Czech locale";
    char buf[32];
    EXPECT_EQ(13, WideToAnsi(L"Žluťoučký kůň", buf, sizeof(buf)));
    EXPECT_STREQ("\x8elu\x9dou\xe8k\xfd k\xf9\xf2", buf);

    wchar_t wide[32];
    EXPECT_EQ(13, AnsiToWide(buf, wide, 32));
    EXPECT_STREQ(L"Žluťoučký kůň", wide);
}

TEST(AnsiConversion, TruncationRule)
{
    char buf[8];
    EXPECT_EQ(4, WideToAnsi(L"Žluťoučký", buf, 5));
    EXPECT_STREQ("\x8elu\x9d", buf);
    EXPECT_EQ(3, WideToAnsi(L"abc", buf, 4));
    EXPECT_STREQ("abc", buf);

    wchar_t wide[8];
    EXPECT_EQ(2, AnsiToWide("\x8e\xe8" "abc", wide, 3));
    EXPECT_STREQ(L"Žč", wide);
    EXPECT_EQ(0, AnsiToWide("", wide, 3));
    EXPECT_STREQ(L"", wide);
}

// ---------------- string table ----------------

TEST(StringTable, ReadsEntriesAtBlockEdges)
{
    HINSTANCE self = GetModuleHandleW(nullptr);
    wchar_t* s = LoadStringAlloc(self, 17);
    ASSERT_NE(nullptr, s);
    EXPECT_STREQ(L"Potvrzení", s);
    free(s);

    s = LoadStringAlloc(self, 31);  // the last entry of its block
    ASSERT_NE(nullptr, s);
    EXPECT_STREQ(L"Poslední položka bloku", s);
    free(s);

    s = LoadStringAlloc(self, 40);
    ASSERT_NE(nullptr, s);
    EXPECT_STREQ(L"Chyba", s);
    free(s);
}

TEST(StringTable, EntryLongerThanAnyFixedBuffer)
{
    wchar_t* s = LoadStringAlloc(GetModuleHandleW(nullptr), 32);
    ASSERT_NE(nullptr, s);
    std::wstring text(s);
    free(s);
    EXPECT_EQ(5400u, text.size());
    EXPECT_EQ(0u, text.find(L"Dlouhý text 0000. "));
    EXPECT_EQ(text.size() - 18, text.rfind(L"Dlouhý text 0299. "));
}

TEST(StringTable, MissingEntriesGiveNull)
{
    HINSTANCE self = GetModuleHandleW(nullptr);
    EXPECT_EQ(nullptr, LoadStringAlloc(self, 16));    // empty slot in an existing block
    EXPECT_EQ(nullptr, LoadStringAlloc(self, 30));
    EXPECT_EQ(nullptr, LoadStringAlloc(self, 41));
    EXPECT_EQ(nullptr, LoadStringAlloc(self, 9000));  // no such block
}

// ---------------- VARIANT to numbers ----------------

TEST(VariantNumbers, IntegerTypes)
{
    EXPECT_EQ(-5, VariantToInt(&I2(-5)));
    EXPECT_EQ(-1, VariantToInt(&Bool(true)));
    EXPECT_EQ(0, VariantToInt(&Bool(false)));
    EXPECT_EQ(123456, VariantToInt(&I4(123456)));
    EXPECT_EQ(-1, VariantToInt(&Ui4(0xFFFFFFFFu)));
    EXPECT_EQ(-7, VariantToInt(&Int(-7)));
    EXPECT_EQ(-2, VariantToInt(&Uint(0xFFFFFFFEu)));
    EXPECT_EQ(-100, VariantToInt(&I1(-100)));
    EXPECT_EQ(200, VariantToInt(&Ui1(200)));
    EXPECT_EQ(65535, VariantToInt(&Ui2(65535)));
    EXPECT_EQ(42, VariantToLong(&I4(42)));
}

TEST(VariantNumbers, OtherTypesGiveMinusOneOrZero)
{
    BstrVar text(L"12");
    EXPECT_EQ(-1, VariantToInt(&R8(3.0)));
    EXPECT_EQ(-1, VariantToInt(&text));
    EXPECT_EQ(-1, VariantToInt(&Make(VT_EMPTY)));
    EXPECT_EQ(-1, VariantToInt(&Make(VT_NULL)));
    EXPECT_EQ(0, VariantToIntOrZero(&text));
    EXPECT_EQ(0, VariantToIntOrZero(&R8(3.0)));
    EXPECT_EQ(0, VariantToIntOrZero(&Make(VT_NULL)));
    EXPECT_EQ(-3, VariantToIntOrZero(&I2(-3)));
    EXPECT_EQ(250, VariantToIntOrZero(&Ui1(250)));
}

TEST(VariantNumbers, ToReal)
{
    EXPECT_DOUBLE_EQ(-5.0, VariantToReal(&I2(-5)));
    EXPECT_DOUBLE_EQ(-1.0, VariantToReal(&Bool(true)));
    EXPECT_DOUBLE_EQ(-9.0, VariantToReal(&I4(-9)));
    EXPECT_DOUBLE_EQ(-9.0, VariantToReal(&Int(-9)));
    EXPECT_DOUBLE_EQ(-128.0, VariantToReal(&I1(-128)));
    EXPECT_DOUBLE_EQ(255.0, VariantToReal(&Ui1(255)));
    EXPECT_DOUBLE_EQ(65535.0, VariantToReal(&Ui2(65535)));
    EXPECT_DOUBLE_EQ(4294967295.0, VariantToReal(&Ui4(0xFFFFFFFFu)));
    EXPECT_DOUBLE_EQ(4294967294.0, VariantToReal(&Uint(0xFFFFFFFEu)));
    EXPECT_DOUBLE_EQ(static_cast<double>(2.5f), VariantToReal(&R4(2.5f)));
    EXPECT_DOUBLE_EQ(49.5125, VariantToReal(&R8(49.5125)));
    BstrVar text(L"3");
    EXPECT_DOUBLE_EQ(0.0, VariantToReal(&text));
    EXPECT_DOUBLE_EQ(0.0, VariantToReal(&Date(40000.0)));
}

TEST(VariantNumbers, ToNumberGivesRealOrNull)
{
    VARIANT out = Make(VT_EMPTY);
    VariantToNumber(&I2(-4), &out);
    EXPECT_EQ(VT_R8, V_VT(&out));
    EXPECT_DOUBLE_EQ(-4.0, V_R8(&out));
    VariantToNumber(&Bool(true), &out);
    EXPECT_DOUBLE_EQ(-1.0, V_R8(&out));
    VariantToNumber(&I4(70000), &out);
    EXPECT_DOUBLE_EQ(70000.0, V_R8(&out));
    VariantToNumber(&R4(0.5f), &out);
    EXPECT_DOUBLE_EQ(0.5, V_R8(&out));
    VariantToNumber(&Ui1(9), &out);
    EXPECT_EQ(VT_R8, V_VT(&out));
    EXPECT_DOUBLE_EQ(9.0, V_R8(&out));
    VARIANT same = R8(1.25);
    VariantToNumber(&same, &same);
    EXPECT_EQ(VT_R8, V_VT(&same));
    EXPECT_DOUBLE_EQ(1.25, V_R8(&same));

    VariantToNumber(&Ui2(3), &out);  // not one of the numeric types it takes
    EXPECT_EQ(VT_NULL, V_VT(&out));
    VariantToNumber(&Ui4(3), &out);
    EXPECT_EQ(VT_NULL, V_VT(&out));
    BstrVar text(L"1");
    VariantToNumber(&text, &out);
    EXPECT_EQ(VT_NULL, V_VT(&out));
}

TEST(VariantNumbers, InitVariantSetsTypeAndValue)
{
    VARIANT v;
    memset(&v, 0x55, sizeof(v));
    InitVariant(&v, VT_ERROR, DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(VT_ERROR, V_VT(&v));
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, V_ERROR(&v));
}

TEST(VariantNumbers, TextLength)
{
    BstrVar text(L"Brno");
    EXPECT_EQ(0, VariantTextLength(&Make(VT_EMPTY)));
    EXPECT_EQ(0, VariantTextLength(&Make(VT_NULL)));
    EXPECT_EQ(4, VariantTextLength(&text));
    EXPECT_EQ(32, VariantTextLength(&I4(1)));
    EXPECT_EQ(32, VariantTextLength(&R8(1)));
}

// ---------------- VARIANT to display text ----------------

TEST(VariantText, IntegersPrintSigned)
{
    EXPECT_EQ(L"-5", Text(I2(-5)));
    EXPECT_EQ(L"-1", Text(Bool(true)));
    EXPECT_EQ(L"0", Text(Bool(false)));
    EXPECT_EQ(L"123456", Text(I4(123456)));
    EXPECT_EQ(L"-1", Text(Ui4(0xFFFFFFFFu)));
    EXPECT_EQ(L"-7", Text(Int(-7)));
    EXPECT_EQ(L"-1", Text(Uint(0xFFFFFFFFu)));
    EXPECT_EQ(L"-100", Text(I1(-100)));
    EXPECT_EQ(L"200", Text(Ui1(200)));
    EXPECT_EQ(L"65535", Text(Ui2(65535)));
    EXPECT_EQ(L"123456", Text(I4(123456), 7));
    int r = 5;
    EXPECT_EQ(L"", Text(I4(123456), 6, &r));
    EXPECT_EQ(0, r);
}

TEST(VariantText, RealsFollowTheUsersNumberFormat)
{
    int r = 0;
    EXPECT_EQ(std::wstring(L"1") + kNbsp + L"234,50", Text(R8(1234.5), 64, &r));
    EXPECT_EQ(1, r);
    EXPECT_EQ(std::wstring(L"1") + kNbsp + L"234,50", Text(R4(1234.5f)));
    EXPECT_EQ(L"-0,50", Text(R8(-0.5)));
    EXPECT_EQ(L"49,51", Text(R8(49.5125)));
    EXPECT_EQ(L"", Text(R8(1234.5), 4, &r));
    EXPECT_EQ(0, r);
}

// A map scale and an altitude read as whole numbers grouped the user's way.
TEST(WholeNumberText, RoundedAndGroupedWithoutDecimals)
{
    const std::wstring g(1, kNbsp);
    struct Row {
        double value;
        std::wstring text;
    } rows[] = {{6662599.63, L"6" + g + L"662" + g + L"600"}, {469.0, L"469"},     {999.5, L"1" + g + L"000"},
                {-1234.4, L"-1" + g + L"234"},                   {0.4, L"0"},         {12345678901.0, L"12" + g + L"345" + g + L"678" + g + L"901"}};
    for (const Row& row : rows) {
        wchar_t buf[64] = L"x";
        EXPECT_EQ(1, WholeNumberToText(row.value, buf, 64)) << row.value;
        EXPECT_EQ(row.text, std::wstring(buf)) << row.value;
    }
    wchar_t small[4] = L"x";
    EXPECT_EQ(0, WholeNumberToText(12345, small, 4));  // "12 345" does not fit
    EXPECT_STREQ(L"", small);
    EXPECT_EQ(0, WholeNumberToText(std::nan(""), small, 4));
}

TEST(VariantText, BstrCopiedOnlyWhenItFits)
{
    BstrVar text(L"Brno");
    int r = 0;
    EXPECT_EQ(L"Brno", Text(text.v, 5, &r));
    EXPECT_EQ(1, r);
    wchar_t buf[8] = L"xyz";
    EXPECT_EQ(0, VariantToText(&text, buf, 4));
    EXPECT_STREQ(L"xyz", buf);  // nothing written
    EXPECT_EQ(1, GetVariantText(&text, buf, 8));
    EXPECT_STREQ(L"Brno", buf);
}

TEST(VariantText, OtherTypesGiveEmptyText)
{
    int r = 1;
    EXPECT_EQ(L"", Text(Make(VT_EMPTY), 64, &r));
    EXPECT_EQ(0, r);
    r = 1;
    EXPECT_EQ(L"", Text(Make(VT_NULL), 64, &r));
    EXPECT_EQ(0, r);
    VARIANT cy = Make(VT_CY);
    V_CY(&cy).int64 = 10000;
    r = 1;
    EXPECT_EQ(L"", Text(cy, 64, &r));
    EXPECT_EQ(0, r);
}

TEST(VariantText, DatesInTheUsersShortDateWithTheTimeWhenThereIsOne)
{
    const struct {
        double date;
        int size;
        const wchar_t* text;
        int result;
    } rows[] = {
        {28020.0, 64, L"17. 9. 1976", 1},
        {28020.5, 64, L"17. 9. 1976 12:00", 1},
        {28020.6043402778, 64, L"17. 9. 1976 14:30:15", 1},
        {-1.25, 64, L"29. 12. 1899 6:00", 1},
        {28020.5, 12, L"", 0},  // does not fit
    };
    for (const auto& row : rows) {
        int r = -1;
        EXPECT_EQ(row.text, Text(Date(row.date), row.size, &r)) << row.date;
        EXPECT_EQ(row.result, r) << row.date;
    }
}

TEST(VariantAnsiText, UnsignedTypesPrintUnsigned)
{
    int r = 0;
    EXPECT_EQ("4294967295", AnsiText(Ui4(0xFFFFFFFFu), 64, &r));
    EXPECT_EQ(1, r);
    EXPECT_EQ("4294967294", AnsiText(Uint(0xFFFFFFFEu)));
    EXPECT_EQ("65535", AnsiText(Ui2(65535)));
    EXPECT_EQ("-1", AnsiText(Bool(true)));
    EXPECT_EQ("-5", AnsiText(I2(-5)));
    EXPECT_EQ("-100", AnsiText(I1(-100)));
    EXPECT_EQ("255", AnsiText(Ui1(255)));
    EXPECT_EQ("", AnsiText(Ui4(0xFFFFFFFFu), 10, &r));
    EXPECT_EQ(0, r);
}

TEST(VariantAnsiText, RealsAndTexts)
{
    EXPECT_EQ("1\xa0" "234,50", AnsiText(R8(1234.5)));
    BstrVar text(L"Čáp");
    int r = 0;
    EXPECT_EQ("\xc8\xe1p", AnsiText(text.v, 64, &r));
    EXPECT_EQ(3, r);
    EXPECT_EQ("", AnsiText(text.v, 3, &r));
    EXPECT_EQ(0, r);
    EXPECT_EQ("", AnsiText(Make(VT_NULL), 64, &r));
    EXPECT_EQ(0, r);
}

// ---------------- degrees, minutes, seconds ----------------

TEST(Dms, SplitsDecimalDegrees)
{
    int d = 0, m = 0;
    double s = 0;
    DegreesToDms(49.5125, &d, &m, &s);
    EXPECT_EQ(49, d);
    EXPECT_EQ(30, m);
    EXPECT_NEAR(45.0, s, 1e-6);

    DegreesToDms(-14.25, &d, &m, &s);
    EXPECT_EQ(-14, d);
    EXPECT_EQ(15, m);
    EXPECT_NEAR(0.0, s, 1e-6);

    DegreesToDms(370.5, &d, &m, &s);
    EXPECT_EQ(10, d);
    EXPECT_EQ(30, m);
    EXPECT_NEAR(0.0, s, 1e-6);

    DegreesToDms(-0.5, &d, &m, &s);  // the sign travels with the whole degrees
    EXPECT_EQ(0, d);
    EXPECT_EQ(30, m);
}

TEST(Dms, FromVariantOnlyForReals)
{
    int d = 7, m = 7, s = 7;
    EXPECT_EQ(0, VariantToDms(&I4(49), &d, &m, &s));
    EXPECT_EQ(7, d);
    EXPECT_EQ(7, m);
    EXPECT_EQ(7, s);
    EXPECT_EQ(1, VariantToDms(&R8(16.6125), &d, &m, &s));  // 16° 36' 45''
    EXPECT_EQ(16, d);
    EXPECT_EQ(36, m);
    EXPECT_EQ(45, s);
    EXPECT_EQ(1, VariantToDms(&R8(49.5125 + 0.7 / 3600), &d, &m, &s));  // 45.7 seconds round down
    EXPECT_EQ(49, d);
    EXPECT_EQ(30, m);
    EXPECT_EQ(45, s);
    EXPECT_EQ(1, VariantToDms(&R8(-14.2525), &d, &m, &s));  // stored a hair below 9 seconds
    EXPECT_EQ(-14, d);
    EXPECT_EQ(15, m);
    EXPECT_EQ(9, s);
    EXPECT_EQ(1, VariantToDms(&R8(10.0 + 7.0 / 60), &d, &m, &s));  // never 6' 60''
    EXPECT_EQ(10, d);
    EXPECT_EQ(7, m);
    EXPECT_EQ(0, s);
    EXPECT_EQ(1, VariantToDms(&R8(370.5 + 1.0 / 3600), &d, &m, &s));
    EXPECT_EQ(10, d);
    EXPECT_EQ(30, m);
    EXPECT_EQ(1, s);
    // A coordinate typed in degrees, minutes and seconds shows the same numbers again.
    VARIANT typed = Make(VT_EMPTY);
    ParseCoordinate(L"-16\u00B0 42' 27''", &typed);
    EXPECT_EQ(1, VariantToDms(&typed, &d, &m, &s));
    EXPECT_EQ(-16, d);
    EXPECT_EQ(42, m);
    EXPECT_EQ(27, s);
    EXPECT_EQ(1, VariantToDms(&R4(10.5f), &d, &m, &s));
    EXPECT_EQ(10, d);
    EXPECT_EQ(30, m);
    EXPECT_EQ(0, s);
}

// ---------------- reals and coordinates from text ----------------

TEST(ParseReal, CzechSeparators)
{
    double x = -1;
    EXPECT_EQ(1, ParseRealWithSeparators(L"1 234,5", L' ', L',', &x));
    EXPECT_DOUBLE_EQ(1234.5, x);
    EXPECT_EQ(1, ParseRealWithSeparators(L"1\u00A0234\u00A0567,25", kNbsp, L',', &x));
    EXPECT_DOUBLE_EQ(static_cast<double>(1234567.25f), x);
    EXPECT_EQ(1, TextToRealWithSeparators(L"  -0,1", kNbsp, L',', &x));
    EXPECT_DOUBLE_EQ(static_cast<double>(-0.1f), x);  // read at single precision
    EXPECT_NE(-0.1, x);
}

TEST(ParseReal, PrefixAndFailures)
{
    double x = -1;
    EXPECT_EQ(1, ParseRealWithSeparators(L"12abc", L' ', L',', &x));
    EXPECT_DOUBLE_EQ(12.0, x);
    x = 77;
    EXPECT_EQ(0, ParseRealWithSeparators(L"abc", L' ', L',', &x));
    EXPECT_EQ(77, x);
    EXPECT_EQ(0, ParseRealWithSeparators(L"", L' ', L',', &x));
    EXPECT_EQ(0, ParseRealWithSeparators(L"   ", L' ', L',', &x));
    EXPECT_EQ(77, x);
    // English separators: ',' groups, '.' is the decimal point.
    EXPECT_EQ(1, ParseRealWithSeparators(L"1,234.75", L',', L'.', &x));
    EXPECT_DOUBLE_EQ(1234.75, x);
}

TEST(ParseReal, OnlyTheFirst31CharactersCount)
{
    double x = 0;
    std::wstring text(30, L'0');
    text += L"12";  // the "2" is character 32
    EXPECT_EQ(1, ParseRealWithSeparators(text.c_str(), L' ', L',', &x));
    EXPECT_DOUBLE_EQ(1.0, x);
}

namespace {
double Coordinate(const wchar_t* text, VARTYPE* type)
{
    VARIANT v = Make(VT_EMPTY);
    ParseCoordinate(text, &v);
    *type = V_VT(&v);
    return V_VT(&v) == VT_R8 ? V_R8(&v) : NAN;
}
} // namespace

TEST(ParseCoordinateText, DecimalForms)
{
    VARTYPE t;
    EXPECT_DOUBLE_EQ(49.25, Coordinate(L"49,25", &t));
    EXPECT_EQ(VT_R8, t);
    EXPECT_DOUBLE_EQ(-16.5, Coordinate(L"-16,5", &t));
    EXPECT_DOUBLE_EQ(49.25, Coordinate(L"49.25", &t));
    Coordinate(L"sever", &t);
    EXPECT_EQ(VT_NULL, t);
    Coordinate(L"", &t);
    EXPECT_EQ(VT_NULL, t);
}

TEST(ParseCoordinateText, DegreesMinutesSeconds)
{
    VARTYPE t;
    EXPECT_NEAR(49.51, Coordinate(L"49\u00B0 30' 36''", &t), 1e-9);
    EXPECT_EQ(VT_R8, t);
    EXPECT_NEAR(49.51, Coordinate(L"49\u00B0 30' 36\"", &t), 1e-9);
    EXPECT_DOUBLE_EQ(-14.25, Coordinate(L"-14\u00B015'", &t));
    EXPECT_NEAR(14.425, Coordinate(L"14\u00B025'30''", &t), 1e-9);
    EXPECT_DOUBLE_EQ(49.0 + 59.0 / 60.0, Coordinate(L"49\u00B0 75'", &t));
    EXPECT_DOUBLE_EQ(17.0, Coordinate(L"17\u00B0", &t));
    // Fractional seconds with a decimal comma.
    EXPECT_NEAR(15.0 + 1.0 / 60 + 2.5 / 3600, Coordinate(L"15\u00B0 1' 2,5''", &t), 1e-6);
    // Seconds without minutes count from the degree sign.
    EXPECT_NEAR(50.0 + 18.0 / 3600, Coordinate(L"50\u00B0 18\"", &t), 1e-9);
    // Empty seconds add nothing.
    EXPECT_NEAR(50.5, Coordinate(L"50\u00B0 30'\"", &t), 1e-9);
    // Negative minutes count as positive; the sign belongs to the degrees.
    EXPECT_DOUBLE_EQ(-14.25, Coordinate(L"-14\u00B0-15'", &t));
    // Unreadable minutes add nothing.
    EXPECT_DOUBLE_EQ(14.0, Coordinate(L"14\u00B0 ab'", &t));
}

TEST(ParseCoordinateText, UnreadableDegreesGiveNull)
{
    VARTYPE t;
    Coordinate(L"x\u00B0 30'", &t);
    EXPECT_EQ(VT_NULL, t);
    Coordinate(L"\u00B0 30' 10''", &t);
    EXPECT_EQ(VT_NULL, t);
}

// ---------------- independence from the C library's numeric locale ----------------

namespace {
// Switches the C library's numeric locale to Czech for one test; the programs never do, but
// a component that did must not change how numbers are written and read.
class CzechLibraryLocale
{
public:
    CzechLibraryLocale()
    {
        const char* previous = setlocale(LC_NUMERIC, nullptr);
        saved_ = previous ? previous : "C";
        active_ = setlocale(LC_NUMERIC, "Czech_Czechia.1250") || setlocale(LC_NUMERIC, "Czech");
    }
    ~CzechLibraryLocale() { setlocale(LC_NUMERIC, saved_.c_str()); }
    bool Active() const { return active_; }

private:
    std::string saved_;
    bool active_;
};
} // namespace

TEST(LibraryLocale, NumbersReadAndWriteTheSame)
{
    CzechLibraryLocale czech;
    if (!czech.Active())
        GTEST_SKIP() << "no Czech C runtime locale";
    EXPECT_EQ(std::wstring(L"1") + kNbsp + L"234,50", Text(R8(1234.5)));
    EXPECT_EQ("1\xa0" "234,50", AnsiText(R8(1234.5)));
    double x = 0;
    EXPECT_EQ(1, ParseRealWithSeparators(L"1 234,5", L' ', L',', &x));
    EXPECT_DOUBLE_EQ(1234.5, x);
    float f = 0;
    EXPECT_EQ(1, ReadCReal(L"2,5", &f));
    EXPECT_EQ(2.0f, f);
    EXPECT_EQ(1, ReadCReal(L" 2.5", &f));
    EXPECT_EQ(2.5f, f);
    VARTYPE t;
    EXPECT_NEAR(14.425, Coordinate(L"14\u00B025'30''", &t), 1e-9);
}

TEST(ReadCReal, ReadsThePrefixAtSinglePrecision)
{
    float f = 9;
    EXPECT_EQ(1, ReadCReal(L"  -3.25e1xyz", &f));
    EXPECT_EQ(-32.5f, f);
    EXPECT_EQ(1, ReadCReal(L"0.1", &f));
    EXPECT_EQ(0.1f, f);
    f = 9;
    EXPECT_EQ(0, ReadCReal(L"abc", &f));
    EXPECT_EQ(0, ReadCReal(L"", &f));
    EXPECT_EQ(0, ReadCReal(nullptr, &f));
    EXPECT_EQ(9.0f, f);
}
