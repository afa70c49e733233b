// The print form on the program's own main form with a generated sample: what its lists hold on
// each record tab, the report the control shows against the rows the file holds, restarts,
// the font, saving, and what happens around printing (printing itself: print_test.cpp).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>
#include <richedit.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "common/filechooser.h"
#include "common/fontchooser.h"
#include "common/printing.h"
#include "core/leveldefs.h"
#include "core/longpath.h"
#include "mainapp/mainform.h"
#include "shellcontract/configdata.h"
#include "reports/paginator.h"
#include "reports/printform.h"
#include "tests/mainapp/formhost.h"
#include "tests/reports/printhost.h"

using namespace printhost;

namespace {

TEST_F(PrintFormWindow, ListsOfEachRecordTabTakeNewColumnsFromTheListAndKeepStoredChoices)
{
    for (int tab = TAB_SYSTEM; tab <= TAB_SEARCH; tab++) {
        CObjArray* fields = FieldsOfTab(tab);
        ASSERT_GT(fields->GetCount(), 3);
        // One column seen before, with the opposite of its list's choice; the method column
        // (a lookup) shown as abbreviations.
        CDispField* first = static_cast<CDispField*>(fields->GetItems()[0]);
        Stored(first->DispName, !first->Visible, 0);
        Stored(L"Metoda sběru", 1, 1);
        if (tab == TAB_SEARCH)
            ws_->RunSearch(wnd_, nullptr, 1);
        ASSERT_NO_FATAL_FAILURE(OpenReport(tab));
        EXPECT_EQ(tab, Form()->ListKind);
        std::vector<Row> columns = Rows(IDC_PRINT_COLUMNS);
        ASSERT_EQ((size_t)fields->GetCount(), columns.size());
        for (int i = 0; i < fields->GetCount(); i++) {
            CDispField* field = static_cast<CDispField*>(fields->GetItems()[i]);
            EXPECT_EQ(std::wstring(field->DispName), columns[i].text);
            bool expected = i == 0 ? !field->Visible : field->Visible != 0;
            if (columns[i].text == L"Metoda sběru")
                expected = true;
            EXPECT_EQ(expected, columns[i].checked) << Utf8(columns[i].text);
            EXPECT_EQ(field, columns[i].entry->DispField);
        }
        // The abbreviations: the lookup columns shown, checked where stored.
        std::vector<Row> abbrevs = Rows(IDC_PRINT_ABBREVS);
        bool method = false;
        for (const Row& row : abbrevs) {
            EXPECT_TRUE(row.entry->HasLookup) << Utf8(row.text);
            if (row.text == L"Metoda sběru")
                method = row.checked;
        }
        EXPECT_TRUE(method) << "tab " << tab;
        wintest::SaveScreenshot(Form()->Window, (L"printform_tab" + std::to_wstring(tab)).c_str());
        CloseReport();
        Form()->Fields->RemoveAll(1);
    }
}

TEST_F(PrintFormWindow, WholeLocalityPathsListTheLevelsFromTheSecondOnAsAbbreviations)
{
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    size_t before = Rows(IDC_PRINT_ABBREVS).size();
    int runs = Form()->RunCounter;
    Click(IDC_PRINT_LOCATION);
    EXPECT_EQ(runs + 1, Form()->RunCounter);
    CPtrArray* levels = reinterpret_cast<CPtrArray*>(SendZm(wnd_, ZM_GET_LEVEL_DEFS, 2, 0));
    ASSERT_TRUE(levels && levels->GetCount() > 2);
    std::vector<Row> abbrevs = Rows(IDC_PRINT_ABBREVS);
    ASSERT_EQ(before + levels->GetCount() - 1, abbrevs.size());
    for (int i = 1; i < levels->GetCount(); i++) {
        const Row& row = abbrevs[before + i - 1];
        // A level is an entry by its name (a column of that name shares it).
        EXPECT_EQ(std::wstring(static_cast<LevelDef*>(levels->GetItems()[i])->Name), row.text);
        EXPECT_EQ(row.text, std::wstring(row.entry->FieldName));
    }
    ASSERT_TRUE(Ready());
    wintest::SaveScreenshot(Form()->Window, L"printform_levels");
    Click(IDC_PRINT_LOCATION);
    EXPECT_EQ(before, Rows(IDC_PRINT_ABBREVS).size());
}

TEST_F(PrintFormWindow, TheControlShowsTheHeadingAndTheRowsTheFileHolds)
{
    int species = BusiestSpecies();
    GotoItem(0, species);
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    ShowOnly({{L"FEATURES", L"NAME"}, {L"ZORNACOLLS", L"LEG"}, {L"ZORNACOLLS", L"POCET"},
              {L"ZORNACOLLS", L"DATUM"}, {L"ZORNACOLLS", L"DOKLAD"}});
    ASSERT_TRUE(Ready());
    std::vector<std::wstring> expected = {L"Zadání",
                                          L"Nálezy druhů: " + SpeciesName(species), L""};
    for (int id : ListIds(ZM_LIST_TAXON_RECORDS, ws_->GetRecordList(WS_SYS_CARD)))
        expected.push_back(RowFromFile(id));
    ASSERT_GT(expected.size(), 5u);
    EXPECT_EQ(Joined(expected), Trimmed(Shown()));
    wintest::SaveScreenshot(Form()->Window, L"printform_species");
    ShowWindow(Form()->Window, SW_MAXIMIZE);
    wintest::SaveScreenshot(Form()->Window, L"printform_species_maximized");
    ShowWindow(Form()->Window, SW_RESTORE);
}

TEST_F(PrintFormWindow, TheSearchReportIsHeadedByTheDescriptionTheMainFormGives)
{
    int species = BusiestSpecies();
    std::wstring where = L"T1.SYSID = " + std::to_wstring(species);
    ws_->RunSearch(wnd_, where.c_str(), 1);
    Criteria() = "Druh: \\{Carabus\\}\\par\r\nLokalita: \\u216?rsted\\par\r\n";
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SEARCH));
    ShowOnly({{L"ZORNACOLLS", L"LEG"}, {L"ZORNACOLLS", L"POCET"}});
    ASSERT_TRUE(Ready());
    std::vector<std::wstring> expected = {L"Zadání", L"Kritéria výběru:", L"Druh: {Carabus}", L"Lokalita: Ørsted"};
    for (int id : ListIds(ZM_LIST_SEARCH_RECORDS, ws_->GetSearchList()))
        expected.push_back(RowFromFile(id));
    EXPECT_EQ(Joined(expected), Trimmed(Shown()));
    // Without the heading the rows stand alone.
    Click(IDC_PRINT_HEADER);
    ASSERT_TRUE(Ready());
    expected.erase(expected.begin(), expected.begin() + 4);
    EXPECT_EQ(Joined(expected), Trimmed(Shown()));
    wintest::SaveScreenshot(Form()->Window, L"printform_search");
}

TEST_F(PrintFormWindow, EveryChangeRestartsAndQuickChangesEndInOneCompleteReport)
{
    GotoItem(0, BusiestSpecies());
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    int runs = Form()->RunCounter;
    // Options, a column and an abbreviation, each without waiting for the report before.
    Click(IDC_PRINT_SYSTEM);
    Click(IDC_PRINT_ABBREVLIST);
    Click(IDC_PRINT_HEADER);
    Check(IDC_PRINT_COLUMNS, 0, !Rows(IDC_PRINT_COLUMNS)[0].checked);
    std::vector<Row> abbrevs = Rows(IDC_PRINT_ABBREVS);
    ASSERT_FALSE(abbrevs.empty());
    Check(IDC_PRINT_ABBREVS, 0, !abbrevs[0].checked);
    Click(IDC_PRINT_HEADER);
    EXPECT_EQ(runs + 6, Form()->RunCounter);
    ASSERT_TRUE(Ready());
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(Form()->Window, IDC_PRINT_PROGRESSGROUP)));
    EXPECT_EQ(100, SendMessageW(Form()->Control(IDC_PRINT_PROGRESS), PBM_GETPOS, 0, 0));
    ASSERT_TRUE(Form()->CurrentRun() != nullptr);
    std::wstring quick = Shown();
    // The same options once more, alone: the same text.
    Form()->RestartReport();
    ASSERT_TRUE(Ready());
    EXPECT_EQ(Shown(), quick);
    EXPECT_NE(std::wstring::npos, quick.find(L"Zadání"));
}

TEST_F(PrintFormWindow, TheViewsSelectionIsCopiedAsTextByKeysAndByTheMouse)
{
    GotoItem(0, BusiestSpecies());
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    int lines = LineCount();
    ASSERT_GT(lines, 6);
    // Ctrl+A, Ctrl+C: the whole text as the view gives it, one line break fewer than lines.
    Keys({'A'}, true, false);
    Keys({'C'}, true, false);
    std::wstring copied = Clipboard();
    std::wstring text((size_t)GetWindowTextLengthW(View()) + 1, L'\0');
    text.resize((size_t)GetWindowTextW(View(), &text[0], (int)text.size()));
    EXPECT_EQ(text, copied);
    EXPECT_EQ(0u, copied.find(L"Zadání\r\n"));
    EXPECT_EQ((size_t)lines - 1, (size_t)std::count(copied.begin(), copied.end(), L'\n'));
    wintest::SaveScreenshot(Form()->Window, L"printform_selected");
    // From the second line's start, Shift with Down, Down and End: three whole lines.
    Keys({VK_HOME}, true, false);
    Keys({VK_DOWN, VK_HOME}, false, false);
    Keys({VK_DOWN, VK_DOWN, VK_END}, false, true);
    Keys({'C'}, true, false);
    EXPECT_EQ(Line(1) + L"\r\n" + Line(2) + L"\r\n" + Line(3), Clipboard());
    // Back at the start (the long line's end had scrolled the view to the right), the mouse
    // pressed at the start of the fourth line and released at the start of the sixth, below the
    // title line, which is taller.
    Keys({VK_HOME}, true, false);
    HDC dc = GetDC(View());
    HFONT body = MakeReportFont(dc, Form()->ReportFont.lfFaceName, Form()->BodySize, false);
    HFONT title = MakeReportFont(dc, Form()->ReportFont.lfFaceName, Form()->TitleSize, true);
    int bodyHeight = ReportLineHeight(dc, body), titleHeight = ReportLineHeight(dc, title);
    DeleteObject(body);
    DeleteObject(title);
    ReleaseDC(View(), dc);
    auto middleOf = [&](int line) { return titleHeight + (line - 1) * bodyHeight + bodyHeight / 2; };
    SendMessageW(View(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, middleOf(3)));
    SendMessageW(View(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(0, middleOf(5)));
    SendMessageW(View(), WM_LBUTTONUP, 0, MAKELPARAM(0, middleOf(5)));
    Keys({'C'}, true, false);
    EXPECT_EQ(Line(3) + L"\r\n" + Line(4) + L"\r\n", Clipboard());
}

TEST_F(PrintFormWindow, TheFontsHeightGivesTheReportsSizesAndAnOddStoredFontStaysUsable)
{
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    Form()->ReportFont.lfHeight = -13;
    Form()->RestartReport();
    ASSERT_TRUE(Ready());
    EXPECT_EQ(20, Form()->BodySize);
    EXPECT_EQ(28, Form()->TitleSize);
    std::string saved = SaveTo(folder_ + L"\\font.rtf");
    EXPECT_NE(std::string::npos, saved.find("\\pard\\plain\\f2\\fs20 "));
    EXPECT_NE(std::string::npos, saved.find("\\plain\\f2\\fs28\\b\\ul "));

    // A workspace file with a font of no height, no weight and a 40-character face.
    std::wstring xml = folder_ + L"\\font.xml";
    wintest::WriteUtf8File(xml, L"<?xml version=\"1.0\"?>\r\n<Settings><MainForm><PrintForm><Font Height=\"0\" "
                                L"Weight=\"0\" FaceName=\"" + std::wstring(40, L'F') +
                                L"\"/></PrintForm></MainForm></Settings>\r\n");
    {
        CXmlReader reader(xml.c_str());
        IXMLDOMElement* main = reader.SelectElement(L"MainForm");
        ASSERT_NE(nullptr, main);
        Form()->LoadSettings(&reader, main);
        main->Release();
    }
    Form()->RestartReport();
    ASSERT_TRUE(Ready());
    EXPECT_EQ(15, Form()->BodySize);
    saved = SaveTo(folder_ + L"\\odd.rtf");
    EXPECT_NE(std::string::npos, saved.find("{\\f2\\fswiss\\fcharset1 " + std::string(31, 'F') + ";}"));
    EXPECT_NE(std::wstring::npos, Shown().find(L"Zadání"));
    wintest::SaveScreenshot(Form()->Window, L"printform_oddfont");
}

TEST_F(PrintFormWindow, TheSavedFileKeepsEveryLetterTheControlShows)
{
    int record = (int)Int(L"SELECT MIN(ID) FROM ZORNACOLLS");
    int species = (int)Int(L"SELECT SYSID FROM ZORNACOLLS WHERE ID = " + std::to_wstring(record));
    GotoItem(0, species);
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    ShowOnly({{L"ZORNACOLLS", L"LEG"}});
    ASSERT_TRUE(Ready());
    std::wstring shown = Shown();
    ASSERT_NE(std::wstring::npos, shown.find(kOddLeg));
    std::string saved = SaveTo(folder_ + L"\\report.rtf");
    EXPECT_NE(std::string::npos, saved.find("\\u216?rsted \\{\\u945?\\} \\\\ \\u345\\'f8"));
    EXPECT_EQ(Trimmed(shown), Trimmed(reporttest::TextThroughRichEdit(saved)));
    // What LibreOffice reads of the file is what the control shows.
    std::wstring read;
    if (!ReadWithLibreOffice(folder_ + L"\\report.rtf", &read))
        GTEST_SKIP() << "LibreOffice cannot be run from here";
    EXPECT_EQ(Trimmed(shown), Trimmed(read));
}

TEST_F(PrintFormWindow, AFileThatCannotBeCreatedOrWrittenWholeIsReportedInCzech)
{
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    // A folder that is missing; a full disk after the first bytes (the cut file is removed).
    const struct { std::wstring path; long long limit; } rows[] = {
        {folder_ + L"\\chybí\\report.rtf", -1}, {folder_ + L"\\plny.rtf", 50}};
    for (const auto& row : rows) {
        size_t seen = Boxes().size();
        long long previous = SetWriteLimitForTests(row.limit);
        SaveTo(row.path);
        SetWriteLimitForTests(previous);
        EXPECT_FALSE(wintest::FileExists(row.path));
        ASSERT_EQ(seen + 1, Boxes().size());
        EXPECT_EQ(L"Chyba", Boxes().back().caption);
        EXPECT_EQ(0u, Boxes().back().text.find(L"Sestavu nelze uložit do souboru " + row.path + L".\r\n\r\n"));
        EXPECT_GT(Boxes().back().text.size(), row.path.size() + 40);
    }
}

TEST_F(PrintFormWindow, AListClosedOrRequeriedUnderTheFormLeavesItsSnapshotOrNothing)
{
    GotoItem(0, BusiestSpecies());
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    std::wstring before = Shown();
    // The rows change and the list is requeried: the report keeps what it showed.
    ASSERT_TRUE(dbtest::Exec(path_, L"DELETE FROM ZORNACOLLS WHERE ID = (SELECT MIN(ID) FROM ZORNACOLLS)"));
    SendMessageW(wnd_, ZM_REFRESH_LISTS, 0, 0);
    wintest::PumpMessages();
    EXPECT_EQ(before, Shown());
    // The database closes: the report has no rows, and options still work.
    OnCloseDatabase(form_, wnd_);
    ASSERT_TRUE(Ready());
    EXPECT_EQ(0, SendMessageW(Form()->Control(IDC_PRINT_COLUMNS), LVM_GETITEMCOUNT, 0, 0));
    Click(IDC_PRINT_SYSTEM);
    Click(IDC_PRINT_LOCATION);
    ASSERT_TRUE(Ready());
    EXPECT_EQ(L"Zadání\rNálezy druhů: ", Trimmed(Shown()));
    for (int i = 0; i < Form()->Fields->GetCount(); i++)
        EXPECT_EQ(nullptr, static_cast<PrintField*>(Form()->Fields->GetItems()[i])->DispField);
}

TEST_F(PrintFormWindow, TheEditButtonRunsTheLookupEditorOverTheFormAndRestarts)
{
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    int runs = Form()->RunCounter;
    HWND owner = nullptr;
    wintest::DialogScript script;
    script.Then(L"Editace výrazů", [&](HWND d) {
        owner = GetWindow(d, GW_OWNER);
        wintest::DialogScript::PostClick(d, IDCANCEL);
    });
    ASSERT_TRUE(script.Run([&] { Click(IDC_PRINT_EDITTERMS); }));
    EXPECT_EQ(Form()->Window, owner);
    EXPECT_EQ(runs + 1, Form()->RunCounter);
    ASSERT_TRUE(Ready());
}

TEST_F(PrintFormWindow, PrintCommandsOpenTheTabsListAndTheLiteratureTabPrintsNothing)
{
    struct Case
    {
        int tab;
        WORD command;
    } cases[] = {{TAB_SYSTEM, IDM_TBPRINT}, {TAB_LOCALITIES, IDM_PRINT}, {TAB_SEARCH, IDM_TBPRINT}};
    for (const Case& c : cases) {
        ASSERT_NO_FATAL_FAILURE(OpenReport(c.tab, c.command));
        EXPECT_EQ(c.tab, Form()->ListKind);
        EXPECT_EQ(FieldsOfTab(c.tab), Form()->DispFields);
        EXPECT_TRUE(IsWindowVisible(Form()->Window));
        CloseReport();
    }
    int runs = Form()->RunCounter;
    ShowTab(TAB_LITERATURE);
    SendMessageW(wnd_, WM_COMMAND, MAKEWPARAM(IDM_PRINT, 0), 0);
    SendMessageW(wnd_, WM_COMMAND, MAKEWPARAM(IDM_TBPRINT, 0), 0);
    EXPECT_FALSE(IsWindowVisible(Form()->Window));
    EXPECT_EQ(runs, Form()->RunCounter);
}

// Keys as the user presses them on the form, through the program's own message loop: Tab moves
// the focus on, Enter presses the focused button, Esc and Alt+Z close the form as Zavřít does.
TEST_F(PrintFormWindow, TheProgramsLoopGivesTheFormItsDialogKeys)
{
    struct Key
    {
        UINT message;
        WPARAM key;
        LPARAM flags;
    };
    const LPARAM alt = 1 | (1 << 29);
    struct Case
    {
        const char* name;
        int startAt;
        std::vector<Key> keys;
        bool closes;
    } cases[] = {
        {"Tab", IDC_PRINT_TEXT, {{WM_KEYDOWN, VK_TAB, 1}}, false},
        {"Esc", IDC_PRINT_TEXT, {{WM_KEYDOWN, VK_ESCAPE, 1}}, true},
        {"Enter on Zavřít", IDCANCEL, {{WM_KEYDOWN, VK_RETURN, 1}}, true},
        {"Alt+Z", IDC_PRINT_COLUMNS, {{WM_SYSCHAR, 'z', alt}}, true},
    };
    for (const Case& c : cases) {
        ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
        HWND start = Form()->Control(c.startAt);
        SendMessageW(Form()->Window, WM_NEXTDLGCTL, (WPARAM)start, TRUE);
        ASSERT_EQ(start, GetFocus()) << c.name;
        for (const Key& key : c.keys)
            PostMessageW(start, key.message, key.key, key.flags);
        PostQuitMessage(0);
        RunMainMessageLoop(wnd_, accel_);
        EXPECT_EQ(c.closes, !IsWindowVisible(Form()->Window)) << c.name;
        if (!c.closes) {
            EXPECT_NE(start, GetFocus()) << c.name;
            EXPECT_TRUE(IsChild(Form()->Window, GetFocus())) << c.name;
            wintest::SaveScreenshot(Form()->Window, L"printform_tab_key");
            CloseReport();
        }
    }
}

// The font dialog starts from the font the report shows: the report's face (one the machine
// lacks: the face of the form's own font, never a vertical "@" face) at the report's body size;
// OK without a change leaves the report as it was.
TEST_F(PrintFormWindow, TheFontDialogStartsFromTheFontTheReportShows)
{
    static LOGFONTW offered;
    static CHOOSEFONTW asked;
    SetFontChooser([](CHOOSEFONTW* cf) -> BOOL {
        asked = *cf;
        offered = *cf->lpLogFont;
        return TRUE;
    });
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    HDC dc = GetDC(Form()->Window);
    SelectObject(dc, (HFONT)SendMessageW(Form()->Window, WM_GETFONT, 0, 0));
    wchar_t formFace[LF_FACESIZE] = L"";
    GetTextFaceW(dc, LF_FACESIZE, formFace);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(Form()->Window, dc);
    struct Case
    {
        const wchar_t* face;
        LONG height;
        const wchar_t* offeredFace;
        int tenths;  // the body size in tenths of a point
    } cases[] = {
        {L"Arial", 10, L"Arial", 75},  // the form's default font
        {L"Times New Roman", -16, L"Times New Roman", 120},
        {L"Písmo, jež nikde není", 10, formFace, 75},
        {L"@Droid Sans Fallback", 10, formFace, 75},
    };
    for (const Case& c : cases) {
        lstrcpynW(Form()->ReportFont.lfFaceName, c.face, LF_FACESIZE);
        Form()->ReportFont.lfHeight = c.height;
        Form()->RestartReport();
        ASSERT_TRUE(Ready());
        const std::wstring shown = Shown();
        const int body = Form()->BodySize;
        Click(IDC_PRINT_FONT);
        ASSERT_TRUE(Ready());
        EXPECT_STREQ(c.offeredFace, offered.lfFaceName) << Utf8(c.face);
        EXPECT_NE(L'@', offered.lfFaceName[0]) << Utf8(c.face);
        EXPECT_TRUE(asked.Flags & CF_NOVERTFONTS) << Utf8(c.face);
        EXPECT_EQ(c.tenths, asked.iPointSize) << Utf8(c.face);
        EXPECT_EQ(-MulDiv(c.tenths, dpi, 720), offered.lfHeight) << Utf8(c.face);
        EXPECT_EQ(body, Form()->BodySize) << Utf8(c.face);
        EXPECT_EQ(shown, Shown()) << Utf8(c.face);
    }
    SetFontChooser(nullptr);

    // The dialog itself, on the report's default font: its face and size boxes show the face
    // and the body size (in whole points); OK takes them.
    lstrcpynW(Form()->ReportFont.lfFaceName, L"Arial", LF_FACESIZE);
    Form()->ReportFont.lfHeight = 10;
    Form()->RestartReport();
    ASSERT_TRUE(Ready());
    const int points = (Form()->BodySize + 1) / 2;
    std::wstring face, size;
    wintest::DialogScript script;
    script.Then(L"Písmo", [&](HWND d) {
        face = wintest::WindowText(GetDlgItem(d, cmb1));
        size = wintest::WindowText(GetDlgItem(d, cmb3));
        wintest::SaveScreenshot(d, L"printform_font_dialog");
        wintest::DialogScript::PostClick(d, IDOK);
    });
    ASSERT_TRUE(script.Run([&] { Click(IDC_PRINT_FONT); }));
    EXPECT_EQ(L"Arial", face);
    EXPECT_EQ(std::to_wstring(points), size);
    ASSERT_TRUE(Ready());
    EXPECT_STREQ(L"Arial", Form()->ReportFont.lfFaceName);
    EXPECT_EQ(2 * points, Form()->BodySize);
    wintest::SaveScreenshot(Form()->Window, L"printform_font_chosen");
}

// A worker's "ready" of the run before a restart leaves the restarted run going: its bar shows
// and its worker is still waited for; the new run's own "ready" ends it.
TEST_F(PrintFormWindow, AReadyMessageOfTheEarlierRunLeavesTheRestartedOneGoing)
{
    GotoItem(0, BusiestSpecies());
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    const int earlier = Form()->ReportRunId;
    const std::wstring whole = Shown();
    Form()->RestartReport();
    SendMessageW(Form()->Window, ZM_REPORT_READY, (WPARAM)earlier, 0);
    EXPECT_TRUE(Form()->ReportThread != nullptr);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(Form()->Window, IDC_PRINT_PROGRESSGROUP)));
    ASSERT_TRUE(Ready());
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(Form()->Window, IDC_PRINT_PROGRESSGROUP)));
    EXPECT_TRUE(whole == Shown()) << "the restarted report is not whole";
}

// Opened for the first time (no placement stored), the form lies on the screen and is wide
// enough for its view to show the longest line of a report of the list's usual columns whole.
TEST_F(PrintFormWindow, TheFirstOpeningShowsAReportLineWhole)
{
    GotoItem(0, BusiestSpecies());
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    ASSERT_GT(LineCount(), 3);
    HDC dc = GetDC(View());
    HFONT body = MakeReportFont(dc, Form()->ShownFace(), Form()->BodySize, false);
    HGDIOBJ old = SelectObject(dc, body);
    int widest = 0;
    for (int i = 2; i < LineCount(); i++) {
        std::wstring line = Line(i);
        SIZE size = {};
        GetTextExtentPoint32W(dc, line.c_str(), (int)line.size(), &size);
        widest = std::max(widest, (int)size.cx);
    }
    SelectObject(dc, old);
    DeleteObject(body);
    ReleaseDC(View(), dc);
    RECT view = {}, window = {}, work = {}, inside = {};
    GetClientRect(View(), &view);
    GetWindowRect(Form()->Window, &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_GE(view.right, widest + 8) << "the view shows " << view.right << " of a line of " << widest << " pixels";
    IntersectRect(&inside, &window, &work);
    EXPECT_TRUE(EqualRect(&inside, &window)) << "the form is not within the screen";
    wintest::SaveScreenshot(Form()->Window, L"printform_first_opening");
}

}  // namespace
