// The Czech alphabetical order: pairs from the standard, the form without case, both encodings
// agreeing, and bad input that must neither crash nor read beyond the text.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "czechcollation/czechtext.h"

namespace {

std::string Utf8(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s((size_t)std::max(n, 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}

int Sign(int r) { return r < 0 ? -1 : (r > 0 ? 1 : 0); }

int Compare8(const std::string& a, const std::string& b)
{
    return CzCompareUtf8((const unsigned char*)a.data(), a.size(), (const unsigned char*)b.data(), b.size());
}

int CompareNoCase8(const std::string& a, const std::string& b)
{
    return CzCompareNoCaseUtf8((const unsigned char*)a.data(), a.size(), (const unsigned char*)b.data(),
                               b.size());
}

std::string Show(const std::wstring& a, const std::wstring& b) { return Utf8(a) + " | " + Utf8(b); }

}  // namespace

// Each pair: the first sorts before the second, for the reason given.
TEST(CzechOrder, PairsOfTheStandard)
{
    struct Pair { const wchar_t* before; const wchar_t* after; const char* why; };
    const Pair pairs[] = {
        { L"c", L"č", "č is a letter after c" },
        { L"č", L"d", "č before d" },
        { L"Cvikov", L"Čistá", "C before Č whatever follows" },
        { L"cz", L"ča", "the letter decides before the rest" },
        { L"h", L"ch", "ch is a letter after h" },
        { L"ch", L"i", "ch before i" },
        { L"Hradec", L"Chrudim", "Chrudim after Hradec" },
        { L"hýl", L"chata", "any h-word before any ch-word" },
        { L"Chrudim", L"Ivančice", "the ch-words before i" },
        { L"shoda", L"schody", "sch is s + ch" },
        { L"schody", L"sídliště", "ch before i" },
        { L"Radotín", L"Řeporyje", "Ř after R" },
        { L"rz", L"řa", "ř is a letter of its own" },
        { L"s", L"š", "š after s" },
        { L"sz", L"ša", "š is a letter of its own" },
        { L"z", L"ž", "ž after z" },
        { L"Zlínský kraj", L"Žatec", "Ž last of the alphabet" },
        { L"Uhřice", L"Úsobí", "Ú among the U's: the letters decide" },
        { L"Úsobí", L"Ústí", "Ú among the U's" },
        { L"Ústecký kraj", L"Vlčnov", "Ú before V" },
        { L"Ústecký kraj", L"Zlínský kraj", "regions" },
        { L"kun", L"kůň", "ů and ň differ from u and n on the second level only" },
        { L"kůň", L"kuna", "the letters decide before the marks" },
        { L"u", L"ú", "plain before acute" },
        { L"ú", L"ů", "acute before ring" },
        { L"e", L"é", "plain before acute" },
        { L"é", L"ě", "acute before caron" },
        { L"tuk", L"ťuk", "ť on the second level" },
        { L"dub", L"ďub", "ď on the second level" },
        { L"ďábel", L"dub", "letters before marks: a < u" },
        { L"nadr", L"ňadro", "shorter first" },
        { L"nádraží", L"ňadro", "a < o decides over the marks" },
        { L"abc", L"Abc", "lower case before upper case" },
        { L"Abc", L"ABC", "case left to right" },
        { L"chata", L"Chata", "ch lower case first" },
        { L"Chata", L"CHATA", "ch upper case last" },
        { L"á", L"B", "marks and case only when the letters are equal" },
        { L"Abc", L"ábc", "marks decide before case" },
        { L"motýl noční", L"motýlek", "a blank before every letter" },
        { L"slovník jazykový", L"slovníkářství", "a blank before every letter" },
        { L"Dolní Lhota", L"Dolní  Město", "a run of blanks counts as one" },
        { L"10 let", L"2. máj", "digits one by one" },
        { L"9", L"a", "digits before letters" },
        { L" a", L"1", "a blank before digits" },
        { L"Obrien", L"O'Brien", "punctuation passed over: case decides" },
        { L"O'Brien", L"Ochoa", "O'Brien sorts as Obrien" },
        { L"d'Orbigny", L"dub", "d'Orbigny sorts as dOrbigny" },
        { L"", L"a", "the empty text first" },
        { L"ž", L"Ωmega", "other scripts after ž" },
        { L"Ωmega", L"\U0001F600", "and by code point" },
        { L"Frýdek Místek", L"Frýdek-Místek", "the blank counts, the hyphen is passed over" },
    };
    for (const Pair& p : pairs) {
        std::wstring a = p.before, b = p.after;
        EXPECT_LT(CzechCompare(a, b), 0) << p.why << ": " << Show(a, b);
        EXPECT_GT(CzechCompare(b, a), 0) << p.why << ": " << Show(b, a);
        EXPECT_LT(Compare8(Utf8(a), Utf8(b)), 0) << "UTF-8, " << p.why << ": " << Show(a, b);
        EXPECT_GT(Compare8(Utf8(b), Utf8(a)), 0) << "UTF-8, " << p.why << ": " << Show(b, a);
    }
}

// Equality of names ignores case only, never marks or letters.
TEST(CzechOrder, EqualityIgnoresCaseOnly)
{
    struct Case { const wchar_t* a; const wchar_t* b; bool equal; };
    const Case cases[] = {
        { L"Černý", L"ČERNÝ", true },
        { L"Černý", L"černý", true },
        { L"Černý", L"Cerny", false },
        { L"Černý", L"Cerný", false },
        { L"CHATA", L"chata", true },
        { L"Ďáblice", L"ďÁBLICE", true },
        { L"ŮVALY", L"ůvaly", true },
        { L"Žďár", L"ŽĎÁR", true },
        { L"Žďár", L"Zdar", false },
        { L"O'Brien", L"o'brien", true },
        { L"O'Brien", L"OBrien", false },
        { L"Nové Město", L"Nové  Město", false },
        { L"Ωμέγα", L"ΩΜΈΓΑ", true },
        { L"Москва", L"МОСКВА", true },
        { L"", L"", true },
        { L"a", L"", false },
    };
    for (const Case& c : cases) {
        std::wstring a = c.a, b = c.b;
        EXPECT_EQ(c.equal, CzechCompareNoCase(a.data(), a.size(), b.data(), b.size()) == 0) << Show(a, b);
        EXPECT_EQ(c.equal, CompareNoCase8(Utf8(a), Utf8(b)) == 0) << "UTF-8: " << Show(a, b);
        // The full order tells apart what differs in case.
        EXPECT_EQ(a == b, CzechCompare(a, b) == 0) << Show(a, b);
    }
}

// A list sorted in memory comes out in the order of the standard.
TEST(CzechOrder, SortingNames)
{
    const std::vector<std::wstring> expected = {
        L"Brno", L"Cvikov", L"Čáslav", L"Čistá", L"Děčín", L"Hradec Králové", L"Hradec nad Svitavou",
        L"Hradecký rybník", L"Cheb", L"Chrudim", L"Ivančice", L"Lipová", L"Radotín", L"Řeporyje",
        L"Skalice", L"Šumperk", L"Úsobí", L"Ústí nad Labem", L"Vlčnov", L"Zlín", L"Žatec",
    };
    std::vector<std::wstring> names = expected;
    std::mt19937 random(12);
    for (int round = 0; round < 5; ++round) {
        std::shuffle(names.begin(), names.end(), random);
        std::sort(names.begin(), names.end(), CzechLess());
        EXPECT_EQ(expected, names);
    }
}

// Combining marks count as the precomposed letters on the first three levels: c with a caron is
// č, e with an acute sorts with é.
TEST(CzechOrder, CombiningMarksJoinTheirLetter)
{
    const std::wstring cCaron = L"c\u030Cas", eAcute = L"e\u0301ta";
    EXPECT_GT(CzechCompare(cCaron, L"cz"), 0);
    EXPECT_LT(CzechCompare(cCaron, L"d"), 0);
    EXPECT_GT(CzechCompare(eAcute, L"eta"), 0);
    EXPECT_LT(CzechCompare(eAcute, L"ěta"), 0);
    EXPECT_NE(0, CzechCompare(eAcute, L"éta"));  // still two different texts
    EXPECT_EQ(-Sign(CzechCompare(eAcute, L"éta")), Sign(CzechCompare(L"éta", eAcute)));
    EXPECT_LT(CzechCompare(L"\u0301", L"a"), 0);  // a mark without a letter is passed over
}

// Random texts of troublesome characters: both encodings give the same order, the order is
// antisymmetric and transitive, and the form without case is zero exactly for texts equal but
// for case.
TEST(CzechOrder, TotalAndTheSameInBothEncodings)
{
    const wchar_t* pieces[] = { L"a", L"c", L"C", L"h", L"H", L"s", L" ", L"\t", L"-", L"'", L"1", L"e",
                                L"é", L"É", L"ě", L"Č", L"č", L"\u0301", L"\u030C", L"ů", L"Ů", L"\u00A0",
                                L"\U0001F600", L"z", L"Ž", L"Ω", L"ω", L"" /* stands for a NUL */ };
    std::mt19937 random(7);
    std::vector<std::wstring> texts;
    for (int i = 0; i < 300; ++i) {
        std::wstring t;
        int n = (int)(random() % 6);
        for (int k = 0; k < n; ++k) {
            size_t which = random() % (sizeof(pieces) / sizeof(pieces[0]));
            t += which + 1 == sizeof(pieces) / sizeof(pieces[0]) ? std::wstring(1, L'\0') : pieces[which];
        }
        texts.push_back(t);
    }
    auto lower = [](std::wstring t) {
        for (wchar_t& c : t)
            c = (wchar_t)CzFoldCase((uint16_t)c);
        return t;
    };
    int failures = 0;
    for (size_t i = 0; i < texts.size() && failures < 5; ++i) {
        for (size_t j = 0; j < texts.size() && failures < 5; ++j) {
            const std::wstring& a = texts[i];
            const std::wstring& b = texts[j];
            int r = Sign(CzechCompare(a, b));
            bool ok = r == -Sign(CzechCompare(b, a)) && r == Sign(Compare8(Utf8(a), Utf8(b)))
                      && (r == 0) == (a == b)
                      && (CzechCompareNoCase(a.data(), a.size(), b.data(), b.size()) == 0) == (lower(a) == lower(b))
                      && Sign(CzechCompareNoCase(a.data(), a.size(), b.data(), b.size()))
                             == Sign(CompareNoCase8(Utf8(a), Utf8(b)));
            if (!ok) {
                ADD_FAILURE() << "inconsistent: " << Show(a, b);
                ++failures;
            }
        }
    }
    std::vector<std::wstring> sorted = texts;
    std::sort(sorted.begin(), sorted.end(), CzechLess());
    for (size_t i = 0; i + 1 < sorted.size(); ++i)
        for (size_t j = i + 1; j < sorted.size(); j += 7)
            ASSERT_LE(CzechCompare(sorted[i], sorted[j]), 0) << "not transitive: " << Show(sorted[i], sorted[j]);
}

namespace {

// Text that ends where readable memory ends: a read beyond it faults.
class EdgeOfMemory
{
public:
    EdgeOfMemory()
    {
        base_ = (BYTE*)VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        DWORD old = 0;
        VirtualProtect(base_ + kPage, kPage, PAGE_NOACCESS, &old);
    }
    ~EdgeOfMemory() { VirtualFree(base_, 0, MEM_RELEASE); }

    const uint16_t* Wide(const std::vector<uint16_t>& units)
    {
        BYTE* at = base_ + kPage - units.size() * sizeof(uint16_t);
        if (!units.empty())
            memcpy(at, units.data(), units.size() * sizeof(uint16_t));
        return (const uint16_t*)at;
    }
    const unsigned char* Bytes(const std::string& bytes)
    {
        BYTE* at = base_ + kPage - bytes.size();
        if (!bytes.empty())
            memcpy(at, bytes.data(), bytes.size());
        return at;
    }

private:
    static const size_t kPage = 4096;
    BYTE* base_ = nullptr;
};

}  // namespace

// Unpaired surrogates, a c or a letter whose follower is cut off, NULs and truncated UTF-8 at the
// very end of memory: compared deterministically, without reading past the end.
TEST(CzechOrder, BadInputStaysWithinTheText)
{
    const std::vector<std::vector<uint16_t>> wide = {
        {}, { 0xD800 }, { 'a', 0xD83D }, { 0xDE00, 'a' }, { 'c' }, { 'C' }, { 'e', 0x0301 }, { 0x0301 },
        { 'a', 0, 'b' }, { 0, 0 }, { ' ' }, { 'x', ' ', ' ' }, { 0xD83D, 0xDE00 }, { 0xFFFF },
    };
    for (const auto& a : wide) {
        for (const auto& b : wide) {
            EdgeOfMemory edgeA, edgeB;
            const uint16_t* pa = edgeA.Wide(a);
            const uint16_t* pb = edgeB.Wide(b);
            int full = CzCompareUtf16(pa, a.size(), pb, b.size());
            int again = CzCompareUtf16(pa, a.size(), pb, b.size());
            EXPECT_EQ(full, again);
            EXPECT_EQ(Sign(full), -Sign(CzCompareUtf16(pb, b.size(), pa, a.size())));
            EXPECT_EQ(a == b, full == 0);
            CzCompareNoCaseUtf16(pa, a.size(), pb, b.size());
        }
    }
    const std::vector<std::string> bytes = {
        "", "\xC4", "a\xC5", "\xE2\x82", "\xF0\x9F\x98", "\xED\xA0\x80", "\xC0\xAF", "\xFF", "c", "e\xCC",
        std::string("a\0b", 3), "\xC2\xA0", "x  ",
    };
    for (const auto& a : bytes) {
        for (const auto& b : bytes) {
            EdgeOfMemory edgeA, edgeB;
            const unsigned char* pa = edgeA.Bytes(a);
            const unsigned char* pb = edgeB.Bytes(b);
            int full = CzCompareUtf8(pa, a.size(), pb, b.size());
            EXPECT_EQ(Sign(full), -Sign(CzCompareUtf8(pb, b.size(), pa, a.size())));
            EXPECT_EQ(a == b, full == 0);
            CzCompareNoCaseUtf8(pa, a.size(), pb, b.size());
        }
    }
    // A null text is an empty one.
    EXPECT_EQ(0, CzCompareUtf16(nullptr, 5, (const uint16_t*)L"", 0));
    EXPECT_LT(CzechCompare(nullptr, L"a"), 0);
}
