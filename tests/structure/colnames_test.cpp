// Column names of new attributes: the display names users type, reserved words, the columns a
// table already has (in any letter case), and names that give no letter at all.
#include <gtest/gtest.h>

#include <string>

#include "tests/structure/tarnixtest.h"
#include "structure/colnames.h"

namespace {

using namespace tarnixtest;

TEST(ColumnNames, DisplayNamesBecomePlainNamesOfFifteenCharacters)
{
    struct Case {
        const wchar_t* display;
        const wchar_t* column;
    };
    const Case cases[] = {
        {L"Metoda sběru", L"METODA_SBERU"},
        {L"Nadmořská výška", L"NADMORSKA_VYSKA"},
        {L"Nejvyšší nadmořská výška", L"NEJVYSSI_NADMOR"},  // 15 characters at most
        {L"2. revize", L"__REVIZE"},               // a leading digit becomes "_"
        {L"Date", L"DATE"},
        {L"Počet (ks) / 100 m²", L"POCET_KS__100_M"},
        {L"ÁáČčĎďÉéĚěÍíŇňÓóŘřŠšŤťÚúŮůÝýŽž", L"AACCDDEEEEIINNO"},
        {L"óŘřŠšŤťÚúŮůÝýŽž", L"ORRSSTTUUUUYYZZ"},
        {L"???", L""},
        {L"", L""},
    };
    for (const Case& c : cases) {
        wchar_t out[16];
        int n = MakeColumnName(c.display, out);
        EXPECT_STREQ(out, c.column) << dbtest::Narrow(c.column);
        EXPECT_EQ(n, (int)wcslen(c.column));
    }
}

TEST(ColumnNames, ReservedWordsExistingColumnsAndEmptyNamesGetSuffixesOrABase)
{
    std::wstring path = dbtest::CopyOfTemplate(SampleTemplate(), L"tarnix_colnames");
    // A column the file has in other letter case than the name made of the caption.
    ASSERT_TRUE(dbtest::Exec(path, L"ALTER TABLE SPECIES ADD Nazev VARCHAR(10)"));
    for (int k = 1; k <= 30; ++k) {
        wchar_t column[32];
        swprintf(column, 32, L"PLNO%.2d", k);
        ASSERT_TRUE(dbtest::Exec(path, std::wstring(L"ALTER TABLE SPECIES ADD ") + column + L" INTEGER"));
    }
    ASSERT_TRUE(dbtest::Exec(path, L"ALTER TABLE SPECIES ADD PLNO INTEGER"));
    LoadedStructure s(path);
    ASSERT_NO_FATAL_FAILURE(s.Open());
    struct Case {
        const wchar_t* table;
        const wchar_t* display;
        const wchar_t* column;
        int result;
    };
    const Case cases[] = {
        {L"SPECIES", L"Metoda sběru", L"METODA_SBERU", 0},
        {L"SPECIES", L"Nadmořská výška", L"NADMORSKA_VYS", 0},  // cut to 13 before any suffix
        {L"SPECIES", L"Date", L"DATE01", 1},
        {L"SPECIES", L"order", L"ORDER01", 1},
        {L"SPECIES", L"Select", L"SELECT01", 1},
        {L"SPECIES", L"Název", L"NAZEV01", 1},  // the file's "Nazev"
        {L"SPECIES", L"Autor", L"AUTOR", 0},
        {L"SPECIES", L"author", L"AUTHOR01", 1},  // a built-in column
        {L"ZORNACOLLS", L"Datum", L"DATUM01", 1},
        {L"LITERATURE", L"Datum", L"DATUM", 0},
        {L"SPECIES", L"???", L"ATRIBUT", 0},
        {L"SPECIES", L" ", L"ATRIBUT", 0},
        {L"SPECIES", L"Plno", L"PLNO31", -1},  // the base and 01-30 all taken
    };
    for (const Case& c : cases) {
        wchar_t out[32] = L"";
        EXPECT_EQ(MakeUniqueColumnName(&s.Db(), c.table, c.display, out), c.result) << dbtest::Narrow(c.column);
        EXPECT_STREQ(out, c.column);
    }
    // Without a database only the reserved words count.
    wchar_t out[32];
    EXPECT_EQ(MakeUniqueColumnName(nullptr, L"SPECIES", L"Název", out), 0);
    EXPECT_STREQ(out, L"NAZEV");
    for (const wchar_t* word : {L"TABLE", L"PRECISSION", L"TIME", L"GROUP", L"CHECK", L"DEFAULT", L"ROWID",
                                L"MEMO", L"LOGICAL", L"YESNO", L"VALUES"})
        EXPECT_TRUE(IsReservedColumnName(word)) << dbtest::Narrow(word);
    EXPECT_FALSE(IsReservedColumnName(L"NAZEV"));
    EXPECT_TRUE(IsAsciiAlnum(L'z') && IsAsciiAlnum(L'0') && IsAsciiAlnum(L'Q'));
    EXPECT_FALSE(IsAsciiAlnum(L'_') || IsAsciiAlnum(L'é') || IsAsciiAlnum(L' '));
}

}  // namespace
