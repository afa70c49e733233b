// The paginator: the text area of a page, lines wrapped to it, pages counted.
#include <gtest/gtest.h>

#include <string>

#include "reports/paginator.h"
#include "tests/reports/reportfixture.h"

using namespace reporttest;

namespace {

TEST(PageTextArea, IsThePaperLessTheMarginsInsideThePrintableArea)
{
    HDC dc = CreateCompatibleDC(nullptr);
    int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ASSERT_EQ(dpi, GetDeviceCaps(dc, LOGPIXELSY));
    RECT printable = {0, 0, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
    ASSERT_GT(printable.bottom, dpi * 5);
    struct Case
    {
        DWORD flags;
        LONG paperW, paperH, margin;
        RECT expected;
    } cases[] = {
        // An inch of margin on paper of 5 x 4 inches.
        {PSD_MARGINS | PSD_INTHOUSANDTHSOFINCHES, 5000, 4000, 1000, {dpi, dpi, 4 * dpi, 3 * dpi}},
        {PSD_MARGINS | PSD_INHUNDREDTHSOFMILLIMETERS, 12700, 10160, 2540, {dpi, dpi, 4 * dpi, 3 * dpi}},
        // Margins that leave nothing: the whole printable area.
        {PSD_MARGINS | PSD_INTHOUSANDTHSOFINCHES, 5000, 4000, 3000, printable},
        // Paper larger than the device can print: kept inside.
        {PSD_MARGINS | PSD_INTHOUSANDTHSOFINCHES, 100000, 100000, 0, printable},
    };
    for (const Case& c : cases) {
        PAGESETUPDLGW setup = {};
        setup.lStructSize = sizeof(setup);
        setup.Flags = c.flags;
        setup.ptPaperSize = {c.paperW, c.paperH};
        setup.rtMargin = {c.margin, c.margin, c.margin, c.margin};
        RECT area = PageTextArea(dc, setup);
        EXPECT_EQ(c.expected.left, area.left) << c.margin;
        EXPECT_EQ(c.expected.top, area.top) << c.margin;
        EXPECT_EQ(c.expected.right, area.right) << c.margin;
        EXPECT_EQ(c.expected.bottom, area.bottom) << c.margin;
    }
    DeleteDC(dc);
}

class Paginator : public ::testing::Test {
protected:
    void SetUp() override
    {
        dc_ = CreateCompatibleDC(nullptr);
        font_.FaceName = L"Arial";
        font_.BodySize = 20;
        font_.TitleSize = 28;
        // The body line's height and a word's width in the paginator's own font.
        HFONT body = CreateFontW(-MulDiv(20, GetDeviceCaps(dc_, LOGPIXELSY), 144), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                 DEFAULT_CHARSET, 0, 0, 0, DEFAULT_PITCH | FF_SWISS, L"Arial");
        HGDIOBJ old = SelectObject(dc_, body);
        TEXTMETRICW tm;
        GetTextMetricsW(dc_, &tm);
        line_ = tm.tmHeight + tm.tmExternalLeading;
        SIZE two;
        GetTextExtentPoint32W(dc_, L"slovo slovo", 11, &two);
        twoWords_ = two.cx;
        SelectObject(dc_, old);
        DeleteObject(body);
        list_.reset(new ReportList(L"paginator"));
    }
    void TearDown() override
    {
        list_.reset();
        DeleteDC(dc_);
    }
    // Pages of a report of these rows (one column) on pages of the given lines and width.
    int Pages(const std::vector<std::wstring>& rows, int linesPerPage, int width, bool draw = false)
    {
        list_->Exec(L"DELETE FROM LISTA");
        for (const std::wstring& row : rows)
            list_->Add({1, 1, {(L"'" + row + L"'").c_str()}});
        ReportOptions options = OptionsFor(owner_, list_->Columns({0}));
        AbbrevPairList pairs = {};
        zdata::Recordset* rs = list_->Open();
        int pages;
        {
            ReportLines lines(options, rs, &pairs);
            RECT area = {10, 20, 10 + width, 20 + linesPerPage * line_};
            ReportPaginator paginator(dc_, area, font_);
            pages = paginator.Run(&lines, draw);
        }
        rs->Release();
        FreeAbbreviations(&pairs);
        return pages;
    }

    HDC dc_ = nullptr;
    ReportPrintFont font_;
    int line_ = 0;
    int twoWords_ = 0;
    FakeOwner owner_;
    std::unique_ptr<ReportList> list_;
};

TEST_F(Paginator, CountsPagesOfWrappedLines)
{
    std::wstring twenty;  // twenty words, two to a line
    for (int i = 0; i < 20; i++)
        twenty += i ? L" slovo" : L"slovo";
    std::wstring longWord(200, L'w');
    struct Case
    {
        const char* what;
        std::vector<std::wstring> rows;
        int linesPerPage;
        int pages;
    } cases[] = {
        {"no rows: one empty page", {}, 10, 1},
        {"ten rows on a page of ten", std::vector<std::wstring>(10, L"a"), 10, 1},
        {"eleven rows", std::vector<std::wstring>(11, L"a"), 10, 2},
        {"twenty-five rows", std::vector<std::wstring>(25, L"a"), 10, 3},
        {"words wrapped two to a line", {twenty}, 1, 10},
        {"a line break inside a value", {L"a' || char(13, 10) || 'b' || char(13, 10) || 'c"}, 1, 3},
        {"empty values keep their line", {L"", L""}, 1, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.pages, Pages(c.rows, c.linesPerPage, twoWords_ + 2)) << c.what;
    // A word longer than the line is cut where the line ends: never lost, never one per letter.
    int pages = Pages({longWord}, 1, twoWords_ + 2);
    EXPECT_GT(pages, 1);
    EXPECT_LT(pages, 200);
}

TEST_F(Paginator, APrinterThatRefusesAPageEndsTheRun)
{
    // A memory DC is no printer: StartPage fails, and the run says so.
    EXPECT_EQ(-1, Pages({L"a", L"b"}, 10, 400, true));
}

}  // namespace
