// Species citations and locality texts taken apart: one table of texts with every part expected.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "import/textsplit.h"

namespace {

struct SpeciesCase {
    const wchar_t* text;
    int maxWords;
    int flags;
    const wchar_t* genus;    // "-" untouched
    const wchar_t* words;    // joined by '|'
    const wchar_t* author;   // "-" untouched
    int year;                // -5 untouched
    int inBrackets;          // 7 untouched
};

const SpeciesCase kSpecies[] = {
    {L"Carabus", 3, 1, L"Carabus", L"", L"-", -5, 7},
    {L"Carabus auratus", 3, 3, L"Carabus", L"auratus", L"-", -5, 7},
    {L"Carabus auratus Linnaeus, 1758", 3, 15, L"Carabus", L"auratus", L"Linnaeus", 1758, 0},
    {L"Carabus auratus (Linnaeus, 1758)", 3, 15, L"Carabus", L"auratus", L"Linnaeus", 1758, 1},
    {L"Carabus auratus cupreus Fabricius,1801", 3, 15, L"Carabus", L"auratus|cupreus", L"Fabricius", 1801, 0},
    {L"Carabus Linnaeus, 1758", 3, 11, L"Carabus", L"Linnaeus", L"-", 1758, 0},
    {L"Carabus auratus ( Linnaeus, 1758)", 3, 15, L"Carabus", L"auratus", L"Linnaeus", 1758, 1},
    {L"Carabus auratus Linnaeus,", 3, 7, L"Carabus", L"auratus", L"Linnaeus", -5, 7},
    {L"Carabus auratus L., 175899)", 3, 15, L"Carabus", L"auratus", L"L.", 1758, 0},  // a fifth digit ends the year
    {L"Carabus auratus L, 1758", 3, 11, L"Carabus", L"auratus", L"-", 1758, 0},  // a one-letter author
    {L"   Carabus    auratus   cupreus  ", 3, 3, L"Carabus", L"auratus|cupreus", L"-", -5, 7},
    {L"Carabus auratus cupreus nova", 2, 3, L"Carabus", L"auratus|cupreus", L"-", -5, 7},
    {L"Carabus auratus", 0, 1, L"Carabus", L"", L"-", -5, 7},
    {L"Carabus\tauratus", 3, 1, L"Carabus\tauratus", L"", L"-", -5, 7},  // a tab is no space
    {L"", 3, 0, L"-", L"", L"-", -5, 7},
    {L"     ", 3, 0, L"-", L"", L"-", -5, 7},
    {L"Carabus   ", 3, 1, L"Carabus", L"", L"-", -5, 7},
    {L"Carabus d'Orbigny, 1840", 3, 11, L"Carabus", L"d'Orbigny", L"-", 1840, 0},
    {L"Carabus ((", 3, 1, L"Carabus", L"", L"-", -5, 7},
};

std::wstring Long(wchar_t c, int n) { return std::wstring((size_t)n, c); }

TEST(TextSplit, SpeciesTextsGiveTheirParts)
{
    for (const SpeciesCase& c : kSpecies) {
        SCOPED_TRACE(c.text);
        wchar_t genus[64] = L"-", author[64] = L"-", w[3][64] = {L"", L"", L""};
        wchar_t* words[3] = {w[0], w[1], w[2]};
        BYTE brackets = 7;
        int year = -5, count = 99;
        EXPECT_EQ(c.flags, SplitSpeciesText(c.text, genus, words, c.maxWords, author, &brackets, &year, &count));
        EXPECT_STREQ(c.genus, genus);
        std::wstring joined;
        for (int i = 0; i < count; ++i)
            joined += (i ? L"|" : L"") + std::wstring(words[i]);
        EXPECT_EQ(c.words, joined);
        EXPECT_STREQ(c.author, author);
        EXPECT_EQ(c.year, year);
        EXPECT_EQ(c.inBrackets, (int)brackets);
    }
}

TEST(TextSplit, LongWordsAreCutAndTheirRestSkipped)
{
    std::wstring text = Long(L'G', 70) + L" " + Long(L'a', 64) + L" b " + Long(L'c', 80) + L", 1900";
    wchar_t genus[64], author[64] = L"", w[2][64];
    wchar_t* words[2] = {w[0], w[1]};
    BYTE brackets = 0;
    int year = 0, count = 0;
    EXPECT_EQ(15, SplitSpeciesText(text.c_str(), genus, words, 2, author, &brackets, &year, &count));
    EXPECT_EQ(Long(L'G', 63), genus);
    ASSERT_EQ(2, count);
    EXPECT_EQ(Long(L'a', 63), w[0]);
    EXPECT_STREQ(L"b", w[1]);
    EXPECT_EQ(Long(L'c', 63), author);
}

TEST(TextSplit, LocalityNameEndsBeforeItsRemark)
{
    const struct {
        const wchar_t* text;
        int result;
        const wchar_t* name;
    } cases[] = {
        {L"Praha (centrum)", 1, L"Praha"},
        {L"Praha", 1, L"Praha"},
        {L"  Brno  ", 1, L"Brno"},
        {L"(remark)", 0, L"-"},
        {L"   (remark)", 0, L"-"},
        {L"", 0, L"-"},
        {L"    ", 0, L"-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        wchar_t name[64] = L"-";
        EXPECT_EQ(c.result, SplitLocalityText(c.text, name));
        EXPECT_STREQ(c.name, name);
    }
    wchar_t name[64];
    EXPECT_EQ(1, SplitLocalityText((Long(L'x', 100) + L" (y)").c_str(), name));
    EXPECT_EQ(Long(L'x', 63), name);
}

}  // namespace
