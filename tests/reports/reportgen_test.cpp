// The report generator: the document it streams in pieces of any size, its stages, the values
// of each kind of column, abbreviations and paths, and what a RichEdit control makes of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/containers.h"
#include "reports/printform.h"
#include "reports/rtftext.h"
#include "tests/reports/reportfixture.h"

using namespace reporttest;

namespace {

// The document's start for Arial at body size 20, byte for byte.
const char kHeader[] =
    "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil MS Sans Serif;}{\\f1\\froman\\fcharset2 Symbol;}"
    "{\\f2\\fswiss\\fcharset1 Arial;}{\\f3\\fswiss\\fcharset0 Arial;}}\r\n"
    "{\\colortbl\\red0\\green0\\blue0;}\r\n\\deflang1033\\pard\\plain\\f2\\fs20 ";
const char kClosing[] = "\r\n\\par}";
// "Zadání" as the heading, then the body size again.
const char kHeading[] = "\\plain\\f2\\fs28\\b\\ul Zad\\u225\\'e1n\\u237\\'ed\r\n\\par\\plain\\f2\\fs20 ";

class ReportStream : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The expected bytes are those of the Czech code page the tests run in.
        ASSERT_EQ(1250u, GetACP());
        list_.reset(new ReportList(L"report_stream"));
    }
    void TearDown() override
    {
        FreeAbbreviations(&pairs_);
        list_.reset();
    }
    std::string Stream(const ReportOptions& options, int pieceSize = 4096, bool withRows = true)
    {
        ClearAbbreviations(&pairs_);
        zdata::Recordset* rs = withRows ? list_->Open() : nullptr;
        std::string document = StreamReport(options, rs, &pairs_, FormatOf(), pieceSize);
        if (rs)
            rs->Release();
        return document;
    }

    std::unique_ptr<ReportList> list_;
    FakeOwner owner_;
    AbbrevPairList pairs_ = {};
};

TEST_F(ReportStream, WithoutTheHeadingItIsHeaderRowsAndClosingWithNoSeparatorAfterTheLastColumn)
{
    list_->Add({1, 10, {L"'Carabus'", L"'Brno'", nullptr, L"3"}});
    list_->Add({2, 11, {L"'Bembidion'", L"'Praha'", nullptr, L"12"}});
    ReportOptions options = OptionsFor(owner_, list_->Columns({0, 3}));
    std::string expected = std::string(kHeader) + "Carabus; 3\\par\r\nBembidion; 12\\par\r\n" + kClosing;
    EXPECT_EQ(expected, Stream(options));
    EXPECT_EQ(0, owner_.CriteriaAsked);
}

TEST_F(ReportStream, AnEmptyListOrNoListGivesTheHeadingTheCriteriaAndTheClosing)
{
    owner_.Criteria = "Rod: Carabus\\par\r\nKraj: Jihomoravsk\\u253\\'fd\\par\r\n";
    ReportOptions options = OptionsFor(owner_, list_->Columns({0, 3}));
    options.Header = 1;
    std::string expected = std::string(kHeader) + kHeading +
                           "Krit\\u233\\'e9ria v\\u253\\'fdb\\u283\\'ecru:\\par\r\n" + owner_.Criteria + kClosing;
    for (bool withRows : {true, false}) {
        EXPECT_EQ(expected, Stream(options, 4096, withRows)) << "with a list: " << withRows;
    }
    EXPECT_EQ(2, owner_.CriteriaAsked);
    // No description: the section has its title only.
    owner_.Criteria.clear();
    EXPECT_EQ(std::string(kHeader) + kHeading + "Krit\\u233\\'e9ria v\\u253\\'fdb\\u283\\'ecru:\\par\r\n" + kClosing,
              Stream(options));
}

TEST_F(ReportStream, ATreeCardsListIsHeadedByItsItemEscaped)
{
    owner_.ItemName[0] = "\xC8\xE1p {b\xEDl\xFD}";  // "Čáp {bílý}" in the Czech code page
    owner_.ItemName[1] = "Brno\\st\xF8\x65\x64";     // "Brno\střed"
    struct Case
    {
        int kind;
        std::string line;
    } cases[] = {
        {REPORT_SPECIES_RECORDS, "N\\u225\\'e1lezy druh\\u367\\'f9: \\u268\\'c8\\u225\\'e1p \\{b\\u237\\'edl\\u253\\'fd\\}"},
        {REPORT_LOCALITY_RECORDS, "N\\u225\\'e1lezy z lokalit: Brno\\\\st\\u345\\'f8ed"},
    };
    for (const Case& c : cases) {
        ReportOptions options = OptionsFor(owner_, {});
        options.Header = 1;
        options.ListKind = c.kind;
        EXPECT_EQ(std::string(kHeader) + kHeading + c.line + "\\par\r\n\\par\r\n" + kClosing,
                  Stream(options, 4096, false));
    }
    EXPECT_EQ(0, owner_.CriteriaAsked);
}

TEST_F(ReportStream, AnyReadSizeGivesTheSameBytes)
{
    std::wstring longValue(5000, L'ř');
    std::wstring quoted = L"'" + longValue + L"'";
    owner_.Criteria = "Rod: Carabus\\par\r\n";
    owner_.Abbrevs[L"smýkání"] = L"sm.";
    for (int i = 0; i < 40; i++)
        list_->Add({i, i + 100, {L"'Carabus {x}'", L"'Brno'", i % 2 ? L"'smýkání'" : L"'prosev'",
                                 L"7", L"43952.25", L"1", quoted.c_str()}});
    ReportOptions options = OptionsFor(owner_, list_->Columns({0, 1, 2, 3, 4, 5, 6}, {2}));
    options.Header = 1;
    options.AbbrevList = 1;
    std::string whole = Stream(options, 1 << 22);
    ASSERT_GT(whole.size(), 40u * 5000u);
    for (int size : {1, 7, 64, 4096}) {
        std::string pieces = Stream(options, size);
        EXPECT_EQ(whole.size(), pieces.size()) << size;
        EXPECT_TRUE(whole == pieces) << "read " << size << " bytes at a time";
    }
}

TEST_F(ReportStream, AbbreviatedValuesAddEachPairOnceAndTheListIsSortedAtTheEnd)
{
    owner_.Abbrevs = {{L"smýkání", L"sm."}, {L"prosev", L"pros."}, {L"zemní past", L"Zp"}};
    const wchar_t* methods[] = {L"'smýkání'", L"'prosev'", L"'smýkání'", L"'zemní past'", L"'sklepání'", L"NULL"};
    for (const wchar_t* method : methods)
        list_->Add({1, 1, {L"'Carabus'", L"'Brno'", method}});
    ReportOptions options = OptionsFor(owner_, list_->Columns({2}, {2}));
    options.AbbrevList = 1;
    std::vector<ReportLine> lines = ReportLinesOf(options, list_->Open(), &pairs_);
    std::vector<std::wstring> texts;
    for (const ReportLine& line : lines)
        texts.push_back(line.Text);
    // A value without an abbreviation shows itself and adds no pair.
    std::vector<std::wstring> expected = {L"sm.", L"pros.", L"sm.", L"Zp", L"sklepání", L"",
                                          L"", L"Zp zemní past", L"pros. prosev", L"sm. smýkání"};
    EXPECT_EQ(expected, texts);
    ASSERT_EQ(3, pairs_.Count);
    // Without the option the pairs are still collected but not listed.
    options.AbbrevList = 0;
    ClearAbbreviations(&pairs_);
    zdata::Recordset* rs = list_->Open();
    EXPECT_EQ(6u, ReportLinesOf(options, rs, &pairs_).size());
    rs->Release();
    EXPECT_EQ(3, pairs_.Count);
}

TEST(AbbreviationList, KeepsOnePairOfEachAndTheOrderOfTheirBytes)
{
    auto text = [](const wchar_t* s) {
        VARIANT v;
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(s);
        return v;
    };
    AbbrevPairList list = {};
    struct Insert
    {
        const wchar_t* abbrev;
        const wchar_t* name;
        bool added;
    } inserts[] = {
        {L"sm.", L"smýkání", true},  {L"Zp", L"zemní past", true}, {L"sm.", L"smýkání", false},
        {L"sm.", L"smyk", true},     {L"ø.", L"ørsted", true},     {L"o.", L"orsted", true},
        {L"ø.", L"ørsted", false},   {L"Čj", L"Čejč", true},
    };
    for (const Insert& insert : inserts) {
        VARIANT abbrev = text(insert.abbrev), name = text(insert.name);
        EXPECT_EQ(insert.added, AddAbbreviation(&list, &name, &abbrev)) << Utf8(insert.name);
        VariantClear(&abbrev);
        VariantClear(&name);
    }
    // By the code page's bytes: Z (5A) < o (6F) = ø (no such letter: its look-alike o) < s < Č (C8);
    // the two o pairs keep their own letters.
    std::vector<std::wstring> order;
    for (int i = 0; i < list.Count; i++)
        order.push_back(std::wstring(list.Pairs[i].WideAbbrev) + L" " + list.Pairs[i].WideName);
    std::vector<std::wstring> expected = {L"Zp zemní past", L"o. orsted", L"ø. ørsted",
                                          L"sm. smyk",      L"sm. smýkání", L"Čj Čejč"};
    EXPECT_EQ(expected, order);
    // Texts are cut to 31 and 63 characters; the list grows by 32.
    VARIANT longAbbrev = text(std::wstring(40, L'a').c_str()), longName = text(std::wstring(80, L'b').c_str());
    EXPECT_TRUE(AddAbbreviation(&list, &longName, &longAbbrev));
    VariantClear(&longAbbrev);
    VariantClear(&longName);
    EXPECT_EQ(32, list.Capacity);
    for (int i = 0; i < 30; i++) {
        VARIANT a = text(std::to_wstring(i).c_str()), n = text(L"x");
        AddAbbreviation(&list, &n, &a);
        VariantClear(&a);
        VariantClear(&n);
    }
    EXPECT_EQ(37, list.Count);
    EXPECT_EQ(64, list.Capacity);
    bool foundLong = false;
    for (int i = 0; i < list.Count; i++) {
        if (list.Pairs[i].WideAbbrev[0] == L'a') {
            foundLong = true;
            EXPECT_EQ(31u, wcslen(list.Pairs[i].WideAbbrev));
            EXPECT_EQ(63u, wcslen(list.Pairs[i].WideName));
        }
    }
    EXPECT_TRUE(foundLong);
    FreeAbbreviations(&list);
}

TEST_F(ReportStream, EveryValueComesWholeAndTheControlShowsItAsItIs)
{
    std::wstring fiveThousand(5000, L'x');
    fiveThousand[0] = L'Ž';
    fiveThousand[4999] = L'ů';
    std::wstring memo(1 << 20, L'm');
    memo[12345] = L'{';
    memo.back() = L'α';
    list_->Add({1, 1, {L"'a{b}c\\d \\b e'", L"'Ørsted α ř'", L"'smýkání'", L"-5", nullptr, nullptr,
                       L"'řádek 1' || char(13, 10) || 'řádek 2'"}});
    list_->Add({2, 2, {(L"'" + fiveThousand + L"'").c_str(), L"NULL", L"NULL", L"NULL", nullptr, nullptr,
                       (L"'" + memo + L"'").c_str()}});
    ReportOptions options = OptionsFor(owner_, list_->Columns({0, 1, 2, 3, 6}));
    zdata::Recordset* rs = list_->Open();
    std::vector<ReportLine> lines = ReportLinesOf(options, rs, &pairs_);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(L"a{b}c\\d \\b e; Ørsted α ř; smýkání; -5; řádek 1\r\nřádek 2", lines[0].Text);
    EXPECT_EQ(fiveThousand + L"; ; ; ; " + memo, lines[1].Text);
    std::string document = Stream(options);
    rs->Release();
    EXPECT_NE(std::string::npos, document.find("a\\{b\\}c\\\\d \\\\b e; \\u216?rsted \\u945? \\u345\\'f8;"));
    EXPECT_NE(std::string::npos, document.find("\\u345\\'f8\\u225\\'e1dek 1\\line \\u345\\'f8"));
    // What the control shows is the lines' text. A line break inside a value ends a row of the
    // paragraph, which the control gives back as a blank (vertical tab in later versions).
    std::wstring shown = TextThroughRichEdit(document);
    std::wstring expected;
    for (const ReportLine& line : lines)
        expected += line.Text + L"\r";
    std::replace(shown.begin(), shown.end(), L'\v', L' ');
    size_t at;
    while ((at = expected.find(L"\r\n")) != std::wstring::npos)
        expected.replace(at, 2, L" ");
    if (!shown.empty() && shown.back() == L'\r' && shown.size() > expected.size())
        shown.pop_back();  // the closing \par's empty paragraph
    EXPECT_EQ(expected.size(), shown.size());
    size_t diff = 0;
    while (diff < expected.size() && diff < shown.size() && expected[diff] == shown[diff])
        diff++;
    EXPECT_TRUE(expected == shown) << "first difference at " << diff << ": "
                                   << (diff < shown.size() ? (int)shown[diff] : -1) << " for "
                                   << (diff < expected.size() ? (int)expected[diff] : -1);
}

TEST_F(ReportStream, DatesShowTheUsersShortDateAndBooleansYesOrNo)
{
    list_->Add({1, 1, {L"'a'", L"'b'", L"NULL", L"1", L"43952", L"1"}});
    list_->Add({2, 2, {L"'a'", L"'b'", L"NULL", L"1", L"43952.75", L"0"}});
    ReportOptions options = OptionsFor(owner_, list_->Columns({4, 5}));
    zdata::Recordset* rs = list_->Open();
    std::vector<ReportLine> lines = ReportLinesOf(options, rs, &pairs_);
    rs->Release();
    SYSTEMTIME day = {2020, 5, 5, 1, 18, 0, 0, 0};  // 1 May 2020, 18:00: no seconds, as the exports write it
    wchar_t date[64], time[64];
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &day, nullptr, date, 64);
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &day, nullptr, time, 64);
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::wstring::npos, std::wstring(date).find(L"2020"));
    EXPECT_EQ(std::wstring(date) + L"; Ano", lines[0].Text);
    EXPECT_EQ(std::wstring(date) + L" " + time + L"; Ne", lines[1].Text);
}

TEST_F(ReportStream, WholePathsTakeThePlaceOfNamesAndAbbreviatedLevelsAddTheirPairs)
{
    list_->Add({41, 71, {L"'Carabus'", L"'Brno'"}});
    list_->Add({42, 72, {L"'Bembidion'", L"'Praha'"}});
    owner_.Levels = {{L"Kraj", L"Jihomoravský", L"JM"}, {L"Okres", L"Brno-venkov", L"BO"}};
    CPtrArray printFields(PTRARRAY_OWNS_ITEMS, 4, 4);
    PrintField* okres = static_cast<PrintField*>(calloc(1, sizeof(PrintField)));
    wcscpy(okres->FieldName, L"Okres");
    okres->Abbrev = 1;
    printFields.Add(okres);
    ReportOptions options = OptionsFor(owner_, list_->Columns({0, 1}));
    options.System = 1;
    options.Location = 1;
    options.AbbrevList = 1;
    options.PrintFields = &printFields;
    zdata::Recordset* rs = list_->Open();
    std::vector<ReportLine> lines = ReportLinesOf(options, rs, &pairs_);
    rs->Release();
    // Two rows, then the one pair both used.
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(L"cesta 41; místo 71 / Jihomoravský / BO", lines[0].Text);
    EXPECT_EQ(L"cesta 42; místo 72 / Jihomoravský / BO", lines[1].Text);
    EXPECT_EQ(L"", lines[2].Text);
    EXPECT_EQ(L"BO Brno-venkov", lines[3].Text);
    EXPECT_EQ((std::vector<int>{41, 42}), owner_.PathIds[0]);
    EXPECT_EQ((std::vector<int>{71, 72}), owner_.PathIds[1]);
    // Without the options the names are the rows' own.
    options.System = options.Location = 0;
    rs = list_->Open();
    EXPECT_EQ(L"Carabus; Brno", ReportLinesOf(options, rs, &pairs_)[0].Text);
    rs->Release();
}

TEST(ReportSizes, FollowTheFontHeightAndStayUsable)
{
    struct Case
    {
        LONG height;
        int body, title;
    } cases[] = {
        {-13, 20, 28}, {10, 15, 21}, {-16, 24, 33}, {0, 15, 21}, {-1, 15, 21}, {100000, 3276, 3276},
    };
    for (const Case& c : cases) {
        LOGFONTW font = {};
        font.lfHeight = c.height;
        int body = 0, title = 0;
        CPrintForm::ReportSizes(font, &body, &title);
        EXPECT_EQ(c.body, body) << c.height;
        EXPECT_EQ(c.title, title) << c.height;
    }
}

}  // namespace
