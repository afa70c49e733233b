// Number text of the property grid in the user's format (the tests run under the Czech user
// locale: ',' decimals, NBSP grouping, two decimals, minus-sign negatives, code page 1250).
//
// The functions are internal to Plexa.dll and not exported, so their source is compiled into
// this test program as well.
#include <gtest/gtest.h>
#include <windows.h>
#include <cfloat>
#include <cstring>
#include <string>
#include "controls/localenum.cpp"

namespace {

const LCID kEnglish = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
const wchar_t kYes[] = L"ano";
const wchar_t kNo[] = L"ne";

// The text without its grouping separators (Wine groups only the lowest three digits).
std::wstring Ungrouped(std::wstring text)
{
    std::wstring out;
    for (wchar_t c : text) {
        if (c != L'\u00a0')
            out += c;
    }
    return out;
}

class LocaleNumber : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        wchar_t decimal[8] = L"", group[8] = L"", digits[8] = L"";
        GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
        GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, group, 8);
        GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDIGITS, digits, 8);
        czech_ = wcscmp(decimal, L",") == 0 && wcscmp(group, L"\u00a0") == 0 &&
                 wcscmp(digits, L"2") == 0 && GetACP() == 1250;
    }
    void SetUp() override
    {
        ASSERT_TRUE(czech_) << "these tests need the Czech user locale (LC_ALL=cs_CZ.UTF-8)";
        VariantInit(&v_);
    }
    void TearDown() override { VariantClear(&v_); }

    std::wstring Show(VARTYPE type, int size = 33)
    {
        wchar_t buffer[600];
        wmemset(buffer, L'#', 600);
        buffer[599] = L'\0';
        result_ = VariantToLocaleText(type, &v_, buffer, size, kYes, kNo);
        return buffer;
    }
    std::wstring Plain(const wchar_t* text, LCID locale = LOCALE_USER_DEFAULT, int mode = -1)
    {
        wchar_t out[256];
        return NormalizeLocaleNumberEx(text, out, locale, mode);
    }
    int Read(const wchar_t* text, VARTYPE type, int mode = -1)
    {
        return LocaleTextToVariantEx(text, &v_, type, kYes, LOCALE_USER_DEFAULT, mode);
    }

    static bool czech_;
    VARIANT v_;
    int result_ = -7;
};
bool LocaleNumber::czech_ = false;

// ---- Capacity ----

TEST_F(LocaleNumber, CapacityIsTheStringLengthOrThirtyTwo)
{
    EXPECT_EQ(6, VariantTextCapacity(VT_BSTR, L"abcdef"));
    EXPECT_EQ(0, VariantTextCapacity(VT_BSTR, nullptr));
    EXPECT_EQ(32, VariantTextCapacity(VT_R8, nullptr));
    EXPECT_EQ(32, VariantTextCapacity(VT_I4, L"ignored"));
    EXPECT_EQ(4, VariantTextCapacityA(VT_BSTR, L"Žluť"));
    EXPECT_EQ(32, VariantTextCapacityA(VT_BOOL, nullptr));
}

// ---- Formatting ----

TEST_F(LocaleNumber, IntegersShowAsDecimalWithTheirWidth)
{
    V_VT(&v_) = VT_I2; V_I2(&v_) = -5;
    EXPECT_EQ(L"-5", Show(VT_I2));
    EXPECT_EQ(1, result_);
    V_VT(&v_) = VT_I1; V_I1(&v_) = static_cast<CHAR>(-3);
    EXPECT_EQ(L"-3", Show(VT_I1));
    V_VT(&v_) = VT_UI1; V_UI1(&v_) = 200;
    EXPECT_EQ(L"200", Show(VT_UI1));
    V_VT(&v_) = VT_UI2; V_UI2(&v_) = 65535;
    EXPECT_EQ(L"65535", Show(VT_UI2));
    V_VT(&v_) = VT_I4; V_I4(&v_) = INT_MIN;
    EXPECT_EQ(L"-2147483648", Show(VT_I4));
    V_VT(&v_) = VT_INT; V_INT(&v_) = 1234567;
    EXPECT_EQ(L"1234567", Show(VT_INT));  // integers are never grouped
    // The wide text shows the upper half of the unsigned range negative.
    V_VT(&v_) = VT_UI4; V_UI4(&v_) = 4294967295u;
    EXPECT_EQ(L"-1", Show(VT_UI4));
    V_VT(&v_) = VT_UINT; V_UINT(&v_) = 3000000000u;
    EXPECT_EQ(L"-1294967296", Show(VT_UINT));
}

TEST_F(LocaleNumber, TheValueIsReadAsTheGivenType)
{
    V_VT(&v_) = VT_I4;
    V_I4(&v_) = 0x12345;
    EXPECT_EQ(L"69", Show(VT_UI1));  // the low byte only
    EXPECT_EQ(L"9029", Show(VT_I2));
}

TEST_F(LocaleNumber, RealsShowInTheUsersNumberFormat)
{
    V_VT(&v_) = VT_R8; V_R8(&v_) = 1234.5;
    EXPECT_EQ(L"1\u00a0234,50", Show(VT_R8));
    EXPECT_EQ(1, result_);
    V_R8(&v_) = 0.123456;  // the user's two decimals, not four
    EXPECT_EQ(L"0,12", Show(VT_R8));
    V_R8(&v_) = -1234567.8912;
    EXPECT_EQ(L"-1234567,89", Ungrouped(Show(VT_R8)));
    V_VT(&v_) = VT_R4; V_R4(&v_) = 2.5f;
    EXPECT_EQ(L"2,50", Show(VT_R4));

    wchar_t english[33];
    V_VT(&v_) = VT_R8; V_R8(&v_) = 1234.5;
    EXPECT_EQ(1, VariantToLocaleTextEx(VT_R8, &v_, english, 33, kYes, kNo, kEnglish));
    EXPECT_STREQ(L"1,234.50", english);
}

TEST_F(LocaleNumber, HugeRealsThatDoNotFitGiveEmptyTextInsteadOfOverrunning)
{
    // "%.4f" of 1e30 is 36 characters; the grid's buffer holds 32 and the terminator.
    V_VT(&v_) = VT_R8;
    V_R8(&v_) = 1e30;
    EXPECT_EQ(L"", Show(VT_R8, 33));
    EXPECT_EQ(0, result_);
    EXPECT_EQ(L"1000000000000000019884624838656,00", Ungrouped(Show(VT_R8, 100)));
    EXPECT_EQ(1, result_);

    // The longest double of all: nothing is written past the caller's buffer.
    wchar_t buffer[64];
    wmemset(buffer, L'#', 64);
    V_R8(&v_) = -DBL_MAX;
    EXPECT_EQ(0, VariantToLocaleText(VT_R8, &v_, buffer, 33, kYes, kNo));
    EXPECT_EQ(L'\0', buffer[0]);
    for (int i = 33; i < 64; ++i)
        EXPECT_EQ(L'#', buffer[i]) << i;
}

TEST_F(LocaleNumber, StringsAreCopiedOnlyWhenTheyFit)
{
    V_VT(&v_) = VT_BSTR;
    V_BSTR(&v_) = SysAllocString(L"abc");
    wchar_t buffer[8] = L"zzzzzzz";
    EXPECT_EQ(1, VariantToLocaleText(VT_BSTR, &v_, buffer, 4, kYes, kNo));
    EXPECT_STREQ(L"abc", buffer);
    wcscpy(buffer, L"zzzzzzz");
    EXPECT_EQ(0, VariantToLocaleText(VT_BSTR, &v_, buffer, 3, kYes, kNo));
    EXPECT_STREQ(L"zzzzzzz", buffer);  // nothing written
}

TEST_F(LocaleNumber, BooleansShowTheYesOrNoText)
{
    V_VT(&v_) = VT_BOOL;
    V_BOOL(&v_) = VARIANT_TRUE;
    EXPECT_EQ(L"ano", Show(VT_BOOL));
    EXPECT_EQ(1, result_);
    V_BOOL(&v_) = 1;
    EXPECT_EQ(L"ano", Show(VT_BOOL));
    V_BOOL(&v_) = VARIANT_FALSE;
    EXPECT_EQ(L"ne", Show(VT_BOOL));
    EXPECT_EQ(1, result_);
}

TEST_F(LocaleNumber, OtherTypesAndTextThatDoesNotFitGiveEmptyText)
{
    V_VT(&v_) = VT_DATE;
    V_DATE(&v_) = 45000.0;
    EXPECT_EQ(L"", Show(VT_DATE));
    EXPECT_EQ(0, result_);
    V_VT(&v_) = VT_I4;
    V_I4(&v_) = -123456;
    EXPECT_EQ(L"", Show(VT_I4, 4));
    EXPECT_EQ(0, result_);
    wchar_t untouched[2] = L"x";
    EXPECT_EQ(0, VariantToLocaleText(VT_I4, &v_, untouched, 0, kYes, kNo));
    EXPECT_STREQ(L"x", untouched);
}

TEST_F(LocaleNumber, AnsiTextUsesTheAnsiCodePageAndShowsUnsignedInFull)
{
    char buffer[64];
    V_VT(&v_) = VT_UI4; V_UI4(&v_) = 4294967295u;
    EXPECT_EQ(1, VariantToLocaleTextA(VT_UI4, &v_, buffer, 64, kYes, kNo));
    EXPECT_STREQ("4294967295", buffer);
    VariantClear(&v_);
    V_VT(&v_) = VT_R8; V_R8(&v_) = 1234.5;
    EXPECT_EQ(1, VariantToLocaleTextA(VT_R8, &v_, buffer, 64, kYes, kNo));
    EXPECT_STREQ("1\xa0" "234,50", buffer);  // NBSP is 0xA0 in code page 1250
    V_VT(&v_) = VT_BOOL; V_BOOL(&v_) = VARIANT_TRUE;
    EXPECT_EQ(1, VariantToLocaleTextA(VT_BOOL, &v_, buffer, 64, L"Účet", kNo));
    EXPECT_STREQ("\xda\xe8" "et", buffer);
    V_VT(&v_) = VT_BSTR;
    V_BSTR(&v_) = SysAllocString(L"Žluťoučký");
    EXPECT_EQ(1, VariantToLocaleTextA(VT_BSTR, &v_, buffer, 64, kYes, kNo));
    EXPECT_STREQ("\x8elu\x9dou\xe8k\xfd", buffer);
    EXPECT_EQ(0, VariantToLocaleTextA(VT_BSTR, &v_, buffer, 5, kYes, kNo));
    EXPECT_STREQ("", buffer);
    VariantClear(&v_);
    V_VT(&v_) = VT_R8; V_R8(&v_) = 1e30;
    EXPECT_EQ(0, VariantToLocaleTextA(VT_R8, &v_, buffer, 33, kYes, kNo));
    EXPECT_STREQ("", buffer);
}

// ---- Normalising ----

TEST_F(LocaleNumber, GroupingIsDroppedAndTheDecimalCommaBecomesAPoint)
{
    EXPECT_EQ(L"1234.5", Plain(L"1 234,5"));
    EXPECT_EQ(L"1234.5", Plain(L"1\u00a0234,5"));
    EXPECT_EQ(L"1234.50", Plain(L"1 234,50 Kč"));
    EXPECT_EQ(L"1.23", Plain(L"1,2,3"));  // only the first separator counts
    EXPECT_EQ(L"125", Plain(L"12.5"));    // a point is no separator here
    EXPECT_EQ(L"", Plain(L"abc"));
    EXPECT_EQ(L"", Plain(nullptr));
    EXPECT_EQ(L"1234.5", Plain(L"1,234.5", kEnglish));
}

TEST_F(LocaleNumber, OneMinusSignMovesToTheFront)
{
    EXPECT_EQ(L"-12", Plain(L"12-"));
    EXPECT_EQ(L"-12.5", Plain(L"1-2,5"));
    EXPECT_EQ(L"-5", Plain(L"--5-"));
    EXPECT_EQ(L"-12", Plain(L"(12)", LOCALE_USER_DEFAULT, 0));
    EXPECT_EQ(L"-12", Plain(L"(-12)", LOCALE_USER_DEFAULT, 0));
    EXPECT_EQ(L"12", Plain(L"(12)", LOCALE_USER_DEFAULT, 1));
    EXPECT_EQ(L"12", Plain(L"(12)"));  // the Czech mode is 1
}

TEST_F(LocaleNumber, NormalisedTextNeverOutgrowsTheInput)
{
    const wchar_t* inputs[] = { L"(((1)))", L"-", L",", L"1,2,3,4", L"12-" };
    for (const wchar_t* input : inputs) {
        size_t length = wcslen(input);
        wchar_t out[32];
        wmemset(out, L'#', 32);
        NormalizeLocaleNumberEx(input, out, LOCALE_USER_DEFAULT, 0);
        EXPECT_EQ(L'#', out[length + 1]) << input;
        EXPECT_LE(wcslen(out), length) << input;
    }
}

TEST_F(LocaleNumber, AnsiNormalisingGivesTheSamePlainText)
{
    char out[32];
    EXPECT_STREQ("1234.5", NormalizeLocaleNumberA("1\xa0" "234,5", out));
    EXPECT_STREQ("-12", NormalizeLocaleNumberA("12-", out));
}

// ---- Reading ----

TEST_F(LocaleNumber, TypedRealsReadInFullPrecision)
{
    EXPECT_EQ(1, Read(L"1 234,5", VT_R8));
    EXPECT_EQ(VT_R8, V_VT(&v_));
    EXPECT_EQ(1234.5, V_R8(&v_));
    EXPECT_EQ(1, Read(L"123456,789", VT_R8));
    EXPECT_EQ(123456.789, V_R8(&v_));  // not 123456.7890625 as a float would give
    EXPECT_EQ(1, Read(L"1\u00a0234\u00a0567,891", VT_R8));
    EXPECT_EQ(1234567.891, V_R8(&v_));
    EXPECT_EQ(1, Read(L"49,123456789", VT_R8));
    EXPECT_EQ(49.123456789, V_R8(&v_));
    EXPECT_EQ(1, Read(L"1,2,3", VT_R8));
    EXPECT_EQ(1.23, V_R8(&v_));
    EXPECT_EQ(1, Read(L"12-", VT_R8));
    EXPECT_EQ(-12.0, V_R8(&v_));
}

TEST_F(LocaleNumber, SinglePrecisionRealsStayFloats)
{
    EXPECT_EQ(1, Read(L"123456,789", VT_R4));
    EXPECT_EQ(VT_R4, V_VT(&v_));
    EXPECT_EQ(123456.789f, V_R4(&v_));
}

TEST_F(LocaleNumber, ShownRealsReadBackAsTheShownValue)
{
    V_VT(&v_) = VT_R8;
    V_R8(&v_) = -1234567.8912;
    std::wstring shown = Show(VT_R8);
    EXPECT_EQ(1, Read(shown.c_str(), VT_R8));
    EXPECT_EQ(-1234567.89, V_R8(&v_));
}

TEST_F(LocaleNumber, IntegersReadFromTheNormalisedText)
{
    EXPECT_EQ(1, Read(L"12,5", VT_I4));  // the comma is a decimal point: 12.5 reads as 12
    EXPECT_EQ(12, V_I4(&v_));
    EXPECT_EQ(1, Read(L"12.5", VT_I4));  // the point is dropped
    EXPECT_EQ(VT_I4, V_VT(&v_));
    EXPECT_EQ(125, V_I4(&v_));
    EXPECT_EQ(1, Read(L"(12)", VT_I4, 0));
    EXPECT_EQ(-12, V_I4(&v_));
    EXPECT_EQ(1, Read(L"(12)", VT_I4, 1));
    EXPECT_EQ(12, V_I4(&v_));
    EXPECT_EQ(1, Read(L"1 000 000", VT_INT));
    EXPECT_EQ(1000000, V_INT(&v_));
    EXPECT_EQ(1, Read(L"-7", VT_I1));
    EXPECT_EQ(-7, V_I1(&v_));
}

TEST_F(LocaleNumber, IntegersOutsideTheirTypeAreNotRead)
{
    EXPECT_EQ(0, Read(L"99999999999", VT_I4));
    EXPECT_EQ(VT_I4, V_VT(&v_));
    EXPECT_EQ(0, V_I4(&v_));
    EXPECT_EQ(0, Read(L"70000", VT_I2));
    EXPECT_EQ(0, V_I2(&v_));
    EXPECT_EQ(0, Read(L"256", VT_UI1));
    EXPECT_EQ(1, Read(L"255", VT_UI1));
    EXPECT_EQ(255, V_UI1(&v_));
    EXPECT_EQ(0, Read(L"abc", VT_I4));
    EXPECT_EQ(0, Read(L"-", VT_I4));
    // What the wide text shows for the upper half of VT_UI4 reads back to the same value.
    EXPECT_EQ(1, Read(L"-1", VT_UI4));
    EXPECT_EQ(4294967295u, V_UI4(&v_));
    EXPECT_EQ(1, Read(L"4294967295", VT_UINT));
    EXPECT_EQ(4294967295u, V_UINT(&v_));
}

TEST_F(LocaleNumber, TheWholeValueIsClearedBeforeReading)
{
    V_VT(&v_) = VT_R8;
    V_R8(&v_) = -1.0;  // every byte of the value set
    EXPECT_EQ(1, Read(L"5", VT_I2));
    EXPECT_EQ(VT_I2, V_VT(&v_));
    EXPECT_EQ(5, V_I8(&v_));
    V_VT(&v_) = VT_R8;
    V_R8(&v_) = -1.0;
    EXPECT_EQ(0, Read(L"x", VT_I4));
    EXPECT_EQ(0, V_I8(&v_));
}

TEST_F(LocaleNumber, EmptyTextReadsAsNull)
{
    V_VT(&v_) = VT_BSTR;
    V_BSTR(&v_) = SysAllocString(L"old");
    EXPECT_EQ(0, Read(L"", VT_R8));
    EXPECT_EQ(VT_NULL, V_VT(&v_));
    EXPECT_EQ(0, Read(nullptr, VT_BSTR));
    EXPECT_EQ(VT_NULL, V_VT(&v_));
}

TEST_F(LocaleNumber, StringsKeepTheTextAsTyped)
{
    EXPECT_EQ(1, Read(L"1 234,5 Kč", VT_BSTR));
    ASSERT_EQ(VT_BSTR, V_VT(&v_));
    EXPECT_STREQ(L"1 234,5 Kč", V_BSTR(&v_));
    EXPECT_EQ(10u, SysStringLen(V_BSTR(&v_)));
}

TEST_F(LocaleNumber, BooleansCompareWithTheYesTextIgnoringCase)
{
    EXPECT_EQ(1, Read(L"ANO", VT_BOOL));
    EXPECT_EQ(VT_BOOL, V_VT(&v_));
    EXPECT_EQ(1, V_BOOL(&v_));  // stored as 1, not VARIANT_TRUE
    EXPECT_EQ(1, Read(L"ne", VT_BOOL));
    EXPECT_EQ(0, V_BOOL(&v_));
    EXPECT_EQ(1, Read(L"anoo", VT_BOOL));
    EXPECT_EQ(0, V_BOOL(&v_));
    // Czech letters fold too.
    EXPECT_EQ(1, LocaleTextToVariant(L"ÚČET", &v_, VT_BOOL, L"účet"));
    EXPECT_EQ(1, V_BOOL(&v_));
}

TEST_F(LocaleNumber, OtherTypesReadNothing)
{
    EXPECT_EQ(0, Read(L"12", VT_DATE));
    EXPECT_EQ(VT_EMPTY, V_VT(&v_));
    EXPECT_EQ(0, Read(L"12", VT_DISPATCH));
    EXPECT_EQ(VT_EMPTY, V_VT(&v_));
}

TEST_F(LocaleNumber, AnsiReadingConvertsFromTheAnsiCodePage)
{
    EXPECT_EQ(1, LocaleTextToVariantA("\x8elu\x9dou\xe8k\xfd", &v_, VT_BSTR, kYes));
    ASSERT_EQ(VT_BSTR, V_VT(&v_));
    EXPECT_STREQ(L"Žluťoučký", V_BSTR(&v_));
    EXPECT_EQ(1, LocaleTextToVariantA("1\xa0" "234,5", &v_, VT_R8, kYes));
    EXPECT_EQ(1234.5, V_R8(&v_));
    EXPECT_EQ(0, LocaleTextToVariantA("", &v_, VT_R8, kYes));
    EXPECT_EQ(VT_NULL, V_VT(&v_));
}

}  // namespace
