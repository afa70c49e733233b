// The WHERE builder of the search page as a pure function: the tree part, each criterion kind,
// composed fields, the readers of typed values (Czech separators injected) and the joins. The
// database tests (searchdb_tests.cpp) run what it builds.
#include <gtest/gtest.h>

#include <windows.h>

#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "browse/searchpage.h"
#include "search/searchvalues.h"
#include "search/searchwhere.h"
#include "core/attrdef.h"
#include "core/containers.h"
#include "core/fields.h"
#include "core/textutil.h"
#include "tests/search/searchentry.h"

namespace {

const NumberSeparators kCzech = {L',', L'\u00A0'};

CustomAttrDef Def(int type)
{
    CustomAttrDef def = {};
    def.Type = type;
    return def;
}

const wchar_t* const kView[] = {L"C", L"D", L"NAME:1", L"C1", L"C2", L"LONGITUDE", L"SQUARE"};

WhereContext Context(std::function<const CustomAttrDef*(int, const wchar_t*)> find = nullptr)
{
    return {kView, 7, kCzech, std::move(find)};
}

std::wstring Condition(const wchar_t* table, const CustomAttrDef* def, std::vector<std::wstring> values,
                       const wchar_t* low = nullptr, const wchar_t* high = nullptr, int ordinal = 0,
                       const wchar_t* name = L"C")
{
    SearchEntry c(ViewColumn(name, table, ordinal));
    c.Values(values).Range(low, high).Def(def);
    return BuildCriterionCondition(c.Entry, Context());
}

}  // namespace

// ---- the tree part ----

TEST(SearchWhereTree, LevelsInOrderWithSingleAndListedIds)
{
    struct Case {
        std::vector<std::pair<int, int>> checked;  // (level id, item id) in walk order
        const wchar_t* expected;
    } cases[] = {
        {{{2, 14}}, L"SYS_LEVEL_2 = 14"},
        {{{2, 14}, {3, 40}, {3, 41}}, L"SYS_LEVEL_2 = 14 OR SYS_LEVEL_3 IN (40, 41)"},
        {{{3, 7}, {1, 2}}, L"SYS_LEVEL_1 = 2 OR SYS_LEVEL_3 = 7"},
        {{{0, 5}, {-3, 6}}, L""},  // a damaged level table: ids below 1 are left out
        {{}, L""},
    };
    for (const Case& c : cases) {
        LevelIdLists lists;
        for (auto& p : c.checked)
            AddLevelId(&lists, p.first, p.second);
        EXPECT_EQ(c.expected, BuildTreeCondition(L"SYS_LEVEL_", lists));
    }
}

TEST(SearchWhereJoin, MissingPartsAreLeftOut)
{
    EXPECT_EQ(L"(S) AND (L) AND (c1) AND (c2)", CombineWhere(L"S", L"L", L"(c1) AND (c2)"));
    EXPECT_EQ(L"(L)", CombineWhere(L"", L"L", L""));
    EXPECT_EQ(L"(c1) AND (c2)", CombineWhere(L"", L"", L"(c1) AND (c2)"));
    EXPECT_EQ(L"(S) AND (c)", CombineWhere(L"S", L"", L"(c)"));
    EXPECT_EQ(L"", CombineWhere(L"", L"", L""));
}

// ---- one column ----

TEST(SearchWhereCriterion, ByAttributeKind)
{
    CustomAttrDef integer = Def(ATTR_INTEGER), boolean = Def(ATTR_BOOLEAN), real = Def(ATTR_REAL),
                  date = Def(ATTR_DATE), text = Def(ATTR_TEXT), lookup = Def(ATTR_LOOKUP);
    struct Case {
        const CustomAttrDef* def;
        std::vector<std::wstring> values;
        const wchar_t* low;
        const wchar_t* high;
        const wchar_t* expected;
    } cases[] = {
        {&integer, {L"3", L"x", L"5"}, L"10", nullptr, L"\"C\" IN (3, 5) OR \"C\" >= 10"},
        {&integer, {L"3"}, L"1", L"5", L"\"C\" = 3 OR  (\"C\" >= 1 AND \"C\" <= 5)"},
        {&integer, {L"99999999999999999999", L"2147483648", L"-2147483648", L"7"}, nullptr, nullptr,
         L"\"C\" IN (-2147483648, 7)"},
        {&integer, {L"1\u00A0234", L" 12 ", L"12x", L"1,5"}, nullptr, nullptr, L"\"C\" IN (1234, 12)"},
        {&boolean, {L"-1"}, nullptr, nullptr, L"\"C\" = -1"},
        {&integer, {}, L"x", L"y", L""},
        {&real, {}, L"1,5", L"2", L"(\"C\" >= 1.5 AND \"C\" <= 2)"},
        {&real, {L"49,51234", L"1\u00A0234,5", L"0,0000004"}, nullptr, nullptr,
         L"\"C\" IN (49.51234, 1234.5, 4e-07)"},
        {&real, {L"inf", L"nan", L"1e999", L"0x10", L"1,2,3", L"-", L","}, L"INF", nullptr, L""},
        {&real, {L"-2,5e3"}, nullptr, L"1.5", L"\"C\" = -2500 OR \"C\" <= 1.5"},
        {&date, {L"1.5.2010", L"31.2.2010"}, nullptr, nullptr, L"\"C\" = 40299"},
        {&date, {}, L"1. 5. 2010", L"31.5.2010", L"(\"C\" >= 40299 AND \"C\" < 40330)"},
        {&date, {}, nullptr, L"31.5.2010 12:00", L"\"C\" <= 40329.5"},
        {&text, {L"a", L"b"}, nullptr, nullptr, L"\"C\" IN ('a', 'b')"},
        {&text, {L"O'Neil"}, L"1", L"2", L"\"C\" = 'O''Neil'"},
        {&lookup, {L"x'); DROP TABLE ZORNACOLLS; --"}, nullptr, nullptr,
         L"\"C\" = 'x''); DROP TABLE ZORNACOLLS; --'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, Condition(L"ZORNACOLLS", c.def, c.values, c.low, c.high)) << c.expected;
}

TEST(SearchWhereCriterion, ColumnsWithoutDefinition)
{
    // Localities' built-in columns: coordinates as reals, the square as text; elsewhere none.
    EXPECT_EQ(L"\"LONGITUDE\" = 14.5 OR \"LONGITUDE\" >= 12",
              Condition(L"FEATURES", nullptr, {L"14,5"}, L"12", nullptr, 5, L"LONGITUDE"));
    EXPECT_EQ(L"\"SQUARE\" = '6571a'", Condition(L"FEATURES", nullptr, {L"6571a"}, L"1", L"2", 6, L"SQUARE"));
    EXPECT_EQ(L"", Condition(L"ZORNACOLLS", nullptr, {L"1"}, L"1", L"2"));
    // The view's name at the ordinal, quoted; an ordinal outside the view gives nothing.
    CustomAttrDef text = Def(ATTR_TEXT);
    EXPECT_EQ(L"\"NAME:1\" = 'Brno'", Condition(L"FEATURES", &text, {L"Brno"}, nullptr, nullptr, 2, L"NAME"));
    EXPECT_EQ(L"", Condition(L"ZORNACOLLS", &text, {L"a"}, nullptr, nullptr, 7));
    EXPECT_EQ(L"", Condition(L"ZORNACOLLS", &text, {L"a"}, nullptr, nullptr, -1));
}

TEST(SearchWhereCriterion, CriteriaTextSkipsEntriesWithoutCondition)
{
    CustomAttrDef integer = Def(ATTR_INTEGER), text = Def(ATTR_TEXT);
    SearchEntry a(ViewColumn(L"C", L"ZORNACOLLS", 0)), unreadable(ViewColumn(L"C", L"ZORNACOLLS", 0));
    SearchEntry empty(ViewColumn(L"D", L"ZORNACOLLS", 1)), b(ViewColumn(L"D", L"ZORNACOLLS", 1));
    a.Values({L"1"}).Def(&integer);
    unreadable.Values({L"x"}).Def(&integer);
    empty.Values({L"z"}).Def(&text);
    empty.Entry.TextLength = 0;  // nothing entered: no condition whatever it holds
    b.Values({L"a", L"b"}).Def(&text);
    const SearchFieldEntry* entries[] = {&a.Entry, &unreadable.Entry, &empty.Entry, &b.Entry};
    EXPECT_EQ(L"(\"C\" = 1) AND (\"D\" IN ('a', 'b'))", BuildCriteriaText(entries, 4, Context()));
    EXPECT_EQ(L"", BuildCriteriaText(entries + 1, 2, Context()));
}

// ---- composed fields ----


TEST(SearchWhereComposed, ValuesAndLexicographicBounds)
{
    CustomAttrDef text = Def(ATTR_TEXT), integer = Def(ATTR_INTEGER), date = Def(ATTR_DATE),
                  boolean = Def(ATTR_BOOLEAN);
    auto find = [&](int table, const wchar_t* column) -> const CustomAttrDef* {
        std::wstring c = column;
        if (table == SEARCH_TABLE_SPECIES && c == L"C1")
            return &text;
        if (table == SEARCH_TABLE_RECORDS && c == L"C")
            return &integer;
        if (table == SEARCH_TABLE_RECORDS && c == L"D")
            return &date;
        if (table == SEARCH_TABLE_RECORDS && c == L"C2")
            return &boolean;
        return nullptr;  // C2 of SPECIES: a text without definition
    };
    struct Case {
        const wchar_t* mask;
        std::vector<std::pair<const wchar_t*, std::pair<const wchar_t*, int>>> refs;  // name, table, ordinal
        std::vector<std::wstring> values;
        const wchar_t* low;
        const wchar_t* high;
        const wchar_t* expected;
    } cases[] = {
        {L"#1 #2", {{L"C1", {L"SPECIES", 3}}, {L"C2", {L"SPECIES", 4}}}, {L"Parus major", L"Parus", L"", L" "},
         nullptr, nullptr,
         L"(\"C1\" = 'Parus' AND \"C2\" = 'major') OR (\"C1\" = 'Parus')"},
        {L"#1/#2", {{L"C", {L"ZORNACOLLS", 0}}, {L"C", {L"ZORNACOLLS", 0}}}, {}, L"1/2", nullptr,
         L"((\"C\" > 1) OR (\"C\" = 1 AND (\"C\" >= 2)))"},
        {L"#1/#2", {{L"C", {L"ZORNACOLLS", 0}}, {L"C1", {L"SPECIES", 3}}}, {L"3/x"}, L"1/a", L"5/b",
         L"(\"C\" = 3 AND \"C1\" = 'x') OR (((\"C\" > 1) OR (\"C\" = 1 AND (\"C1\" >= 'a'))) AND "
         L"((\"C\" < 5) OR (\"C\" = 5 AND (\"C1\" <= 'b'))))"},
        // A bound covers the columns that have a value, and goes when none has.
        {L"#1/#2", {{L"C", {L"ZORNACOLLS", 0}}, {L"C1", {L"SPECIES", 3}}}, {}, L"x/a", L"y", L"(\"C1\" >= 'a')"},
        // Localities' built-in columns (no definition) read by their own kind.
        {L"#1;#2", {{L"LONGITUDE", {L"FEATURES", 5}}, {L"SQUARE", {L"FEATURES", 6}}}, {L"14,5;6571"}, nullptr,
         nullptr, L"(\"LONGITUDE\" = 14.5 AND \"SQUARE\" = '6571')"},
        // Dates as OLE numbers, booleans as -1/0, an unreadable part left out.
        {L"#1 #2", {{L"D", {L"ZORNACOLLS", 1}}, {L"C2", {L"ZORNACOLLS", 4}}}, {L"1.5.2010 1", L"x 0"}, nullptr,
         nullptr, L"(\"D\" = 40299 AND \"C2\" = -1) OR (\"C2\" = 0)"},
        // A reference outside the view gives no column.
        {L"#1 #2", {{L"C", {L"ZORNACOLLS", 0}}, {L"Z", {L"ZORNACOLLS", 99}}}, {L"1 2"}, nullptr, nullptr,
         L"(\"C\" = 1)"},
    };
    for (const Case& c : cases) {
        std::vector<std::unique_ptr<CFieldBase>> owned;
        std::vector<CFieldBase*> refs;
        for (auto& r : c.refs) {
            owned.emplace_back(ViewColumn(r.first, r.second.first, r.second.second));
            refs.push_back(owned.back().get());
        }
        ComposedField composed(c.mask, refs);
        SearchEntry entry(&composed.Disp);
        entry.Values(c.values).Range(c.low, c.high);
        EXPECT_EQ(c.expected, BuildCriterionCondition(entry.Entry, Context(find))) << c.mask;
    }
}

TEST(SearchWhereComposed, ValuesThatGiveNoColumnGiveNoClause)
{
    // "Parus" alone for "#1 #2" once gave "... AND C2 = )": nothing may be left half written.
    std::unique_ptr<CFieldBase> c(ViewColumn(L"C", L"ZORNACOLLS", 0)), c1(ViewColumn(L"C1", L"ZORNACOLLS", 3));
    ComposedField composed(L"#1 #2", {c.get(), c1.get()});
    SearchEntry only(&composed.Disp);
    only.Values({L"x", L"?"});
    CustomAttrDef integer = Def(ATTR_INTEGER);
    auto find = [&](int, const wchar_t*) -> const CustomAttrDef* { return &integer; };
    EXPECT_EQ(L"", BuildCriterionCondition(only.Entry, Context(find)));
    EXPECT_FALSE(ComposedTextReads(&composed.Field, L"x y", Context(find)));
    EXPECT_TRUE(ComposedTextReads(&composed.Field, L"x 5", Context(find)));
}

// ---- values ----

TEST(SearchValues, ReadersAcceptTheWholeTextOrNothing)
{
    long n = 0;
    double x = 0;
    bool time = false;
    EXPECT_TRUE(ReadWholeNumber(L"+42", kCzech, &n));
    EXPECT_EQ(42, n);
    for (const wchar_t* bad : {L"", L"+", L"4 2x", L"0x1F", L"2147483648", L"1,0", L"\u0663"})
        EXPECT_FALSE(ReadWholeNumber(bad, kCzech, &n)) << bad;
    EXPECT_TRUE(ReadRealNumber(L",5", kCzech, &x));
    EXPECT_EQ(0.5, x);
    EXPECT_TRUE(ReadRealNumber(L"49.51234", kCzech, &x));  // a point is read as well
    EXPECT_EQ(49.51234, x);
    for (const wchar_t* bad : {L"infinity", L"NaN", L"1e999", L"0x1p3", L"1e", L"e5", L"1..2", L"--1"})
        EXPECT_FALSE(ReadRealNumber(bad, kCzech, &x)) << bad;
    EXPECT_TRUE(ReadDateValue(L"29.2.2012 23:59:59", kCzech, &x, &time));
    EXPECT_TRUE(time);
    EXPECT_NEAR(40968.0 + 86399.0 / 86400.0, x, 1e-9);
    for (const wchar_t* bad : {L"29.2.2011", L"1.13.2010", L"1.5.2010 25:00", L"1.5.2010 x", L"0.1.2010"})
        EXPECT_FALSE(ReadDateValue(bad, kCzech, &x, &time)) << bad;
    EXPECT_TRUE(ReadDateValue(L"40299,25", kCzech, &x, &time));  // a plain number of days
    EXPECT_EQ(40299.25, x);
}

TEST(SearchValues, MachineFormsIgnoreTheRuntimeLocale)
{
    std::string previous = setlocale(LC_ALL, nullptr);
    bool czech = setlocale(LC_ALL, "Czech_Czech Republic.1250") || setlocale(LC_ALL, "cs-CZ") ||
                 setlocale(LC_ALL, "Czech");
    if (czech) {
        EXPECT_EQ(',', *localeconv()->decimal_point);
    }
    EXPECT_EQ(L"49.51234", RealToSqlText(49.51234));
    EXPECT_EQ("2.500000", RealToFixedText(2.5));
    EXPECT_EQ("1.5.2010", DateToText(40299));
    EXPECT_EQ("31.5.2010 12:30", DateToText(40329.5 + 1.0 / 48));
    EXPECT_EQ("28.12.1899 6:00", DateToText(-2.25));
    setlocale(LC_ALL, previous.c_str());
    EXPECT_TRUE(czech) << "the Czech runtime locale could not be set";
}

TEST(SearchValues, ValueLinesOfTheEdit)
{
    CPtrArray lines(PTRARRAY_OWNS_ITEMS, 16, 4);
    SplitValueLines(L"a\r\n\r\nb\nc\r\r\n d ", &lines);
    ASSERT_EQ(4, lines.GetCount());
    EXPECT_STREQ(L"a", static_cast<wchar_t*>(lines.GetItems()[0]));
    EXPECT_STREQ(L"b", static_cast<wchar_t*>(lines.GetItems()[1]));
    EXPECT_STREQ(L"c", static_cast<wchar_t*>(lines.GetItems()[2]));
    EXPECT_STREQ(L" d ", static_cast<wchar_t*>(lines.GetItems()[3]));
}
