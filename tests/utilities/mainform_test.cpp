// Tarnix's main form built for real in-process: menus, tabs and status, opening the sample
// database through the connection form, the pages, files that are no Zorna database, the
// settings file, the About box, the validation through its dialog and the help; and the
// single-instance start of the programs as separate processes.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/helpfile.h"
#include "tools/testkit/rawodbc.h"
#include "core/textutil.h"
#include "core/xmlaccess.h"
#include "kavlink/kavlink.h"
#include "resources/tarnix/resource.h"
#include "tests/core/badfiles.h"
#include "tests/support/dialogtextfit.h"
#include "tests/support/wintest.h"
#include "tests/utilities/formfixture.h"
#include "tests/structure/tarnixtest.h"
#include "utilities/attrpage.h"
#include "utilities/levelpage.h"
#include "utilities/maintapp.h"

namespace {

using namespace tarnixtest;
using wintest::WindowText;

// Every label, button and group caption of the utilities' dialogs holds its Czech text whole at
// the screen's resolution (a text too long for its control is drawn cut off). The About box is
// laid out around its picture when it opens.
TEST(TarnixDialogs, TemplateTextsFitTheirControls)
{
    for (const std::wstring& misfit : wintest::CutOffDialogTexts(GetModuleHandleW(nullptr), { L"ABOUTBOX" }))
        ADD_FAILURE() << misfit;
}

TEST_F(TarnixForm, StartsWithItsMenusEightTabsAndNoDatabase)
{
    ASSERT_NO_FATAL_FAILURE(StartForm());
    EXPECT_TRUE(IsWindowVisible(form_));
    EXPECT_EQ(WindowText(form_), L"Databázové nástroje Zorny 2011");
    HMENU menu = GetMenu(form_);
    ASSERT_EQ(GetMenuItemCount(menu), 3);
    const wchar_t* popups[] = {L"&Databáze", L"Da&ta", L"&Nápověda"};
    for (int i = 0; i < 3; ++i) {
        wchar_t text[64] = L"";
        GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, popups[i]);
    }
    wchar_t open[64] = L"";
    GetMenuStringW(menu, IDM_T_OPEN, open, 64, MF_BYCOMMAND);
    EXPECT_STREQ(open, L"&Otevřít...\tCtrl+O");
    GetMenuStringW(menu, IDM_T_EXIT, open, 64, MF_BYCOMMAND);
    EXPECT_STREQ(open, L"&Konec\tAlt+F4");
    EXPECT_EQ(wintest::RepeatedAccessKeys(menu), L"");
    for (UINT id : {IDM_T_SAVE, IDM_T_IMPORT, IDM_T_VALIDATE})
        EXPECT_TRUE(MenuState(id) & MF_GRAYED) << id;
    for (UINT id : {IDM_T_OPEN, IDM_T_CLOSE, IDM_T_EXIT, IDM_T_HELP, IDM_T_ABOUT})
        EXPECT_FALSE(MenuState(id) & MF_GRAYED) << id;
    const wchar_t* captions[] = {L"Systém druhů", L"Systém lokalit", L"Strom systému", L"Strom lokalit",
                                 L"Druhy", L"Lokality", L"Nálezy", L"Literatura"};
    ASSERT_EQ(TabCtrl_GetItemCount(Tabs()), 8);
    for (int i = 0; i < 8; ++i) {
        wchar_t text[64] = L"";
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        SendMessageW(Tabs(), TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(text, captions[i]);
        EXPECT_EQ(IsWindowVisible(Page(i)) != FALSE, i == 0) << i;
    }
    EXPECT_EQ(Status(), L"Status: Není otevřená žádná databáze");
    // No settings file: the form stands at (100, 100); the pages fill the tab control's display
    // area and the status bar lies under the tabs.
    POINT p = Position();
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 100);
    RECT display;
    GetClientRect(Tabs(), &display);
    TabCtrl_AdjustRect(Tabs(), FALSE, &display);
    RECT page = wintest::RectIn(Page(0), Tabs());
    EXPECT_EQ(page.left, display.left);
    EXPECT_EQ(page.top, display.top);
    RECT tabs = wintest::RectIn(Tabs(), form_);
    RECT status = wintest::RectIn(GetDlgItem(form_, IDC_MAIN_STATUS), form_);
    RECT client;
    GetClientRect(form_, &client);
    EXPECT_EQ(status.top, tabs.bottom);
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_EQ(tabs.right, client.right);
    wintest::SaveScreenshot(form_, L"utilities_mainform_empty");
}

TEST_F(TarnixForm, TheSampleDatabaseFillsEveryPage)
{
    std::wstring path = dbtest::CopyOfTemplate(SampleTemplate(), L"tarnix_form_sample");
    using Items = std::vector<std::pair<std::wstring, bool>>;
    std::vector<Items> attributes;  // read before the program holds the file
    for (int tab = 2; tab < 8; ++tab) {
        Items expected;
        for (const auto& r : dbtest::Query(path, std::wstring(L"SELECT CAPTION, KEYFLAG FROM CUSTOMATTRIBUTES WHERE TABLENAME = '") +
                                                     AttrListTable(tab) + L"' ORDER BY POSID"))
            expected.push_back({r[0], tab == 6 && r[1] != L"0"});
        attributes.push_back(expected);
    }
    ASSERT_NO_FATAL_FAILURE(StartForm());
    OpenFile(path);
    EXPECT_EQ(Status(), L"Status: " + path);
    EXPECT_FALSE(MenuState(IDM_T_VALIDATE) & MF_GRAYED);
    EXPECT_FALSE(MenuState(IDM_T_IMPORT) & MF_GRAYED) << "the import runs its wizard";
    EXPECT_EQ(Levels(0), (Items{{L"Řád", false}, {L"Čeleď", false}, {L"Rod", false}, {L"Druh", true}, {L"Poddruh", true}}));
    EXPECT_EQ(Levels(1), (Items{{L"Kraj", false}, {L"Okres", false}, {L"Lokalita", true}}));
    for (int tab = 2; tab < 8; ++tab)
        EXPECT_EQ(Attributes(tab), attributes[tab - 2]) << tab;
    EXPECT_EQ(Attributes(6)[0], (std::pair<std::wstring, bool>{L"Datum nálezu", true}));

    // A level's icons show when it is selected; the space bar sets its data-level flag.
    HWND tree = GetDlgItem(Page(0), IDC_LEVEL_TREE);
    HTREEITEM druh = TreeView_GetNextSibling(tree, TreeView_GetNextSibling(tree, TreeView_GetNextSibling(tree, TreeView_GetRoot(tree))));
    TreeView_SelectItem(tree, druh);
    for (int id : {IDC_LEVEL_LARGEICON, IDC_LEVEL_SMALLICON, IDC_LEVEL_OPENICON})
        EXPECT_NE(SendDlgItemMessageW(Page(0), id, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << id;
    RECT large;
    GetClientRect(GetDlgItem(Page(0), IDC_LEVEL_LARGEICON), &large);
    EXPECT_EQ(large.right, 32);
    EXPECT_EQ(large.bottom, 32);
    SetFocus(tree);
    SendMessageW(tree, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(tree, WM_CHAR, L' ', 0);
    SendMessageW(tree, WM_KEYUP, VK_SPACE, 0xC0000001);
    EXPECT_EQ(TreeView_GetCheckState(tree, druh), 0) << "the key toggled the box";
    wintest::PumpMessages(30);
    EXPECT_EQ(TreeView_GetCheckState(tree, druh), 0);
    EXPECT_EQ(LevelEntryOf(tree, druh)->DataLevel, 0);
    EXPECT_TRUE(app_->Modified);
    EXPECT_FALSE(MenuState(IDM_T_SAVE) & MF_GRAYED);
    wintest::SaveScreenshot(form_, L"utilities_mainform_tab0");

    // An attribute's details show when it is selected; a saved attribute's type stays.
    ShowTab(6);
    HWND list = GetDlgItem(Page(6), IDC_ATTR_LIST);
    ListView_SetItemState(list, 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    EXPECT_EQ(WindowText(GetDlgItem(Page(6), IDC_ATTR_TYPE)), L"Datum/čas");
    EXPECT_EQ(WindowText(GetDlgItem(Page(6), IDC_ATTR_TAB)), L"Sběr");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Page(6), IDC_ATTR_TYPE)));
    ListView_SetCheckState(list, 0, FALSE);
    EXPECT_FALSE(ListView_GetCheckState(list, 0));
    EXPECT_EQ(AttrEntryOf(list, 0)->KeyFlag, 0);
    int count = ListView_GetItemCount(list);
    for (int i = 0; i < count; ++i) {
        if (wintest::ListCellText(list, i, 0) == L"Počet exemplářů") {
            ListView_SetItemState(list, i, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
            EXPECT_EQ(WindowText(GetDlgItem(Page(6), IDC_ATTR_TYPE)), L"Celé číslo");
            VARIANT one;
            one.vt = VT_R8;
            one.dblVal = 1;
            wchar_t text[64] = L"";
            GetVariantText(&one, text, 64);
            EXPECT_EQ(WindowText(GetDlgItem(Page(6), IDC_ATTR_MINVAL)), text);
            EXPECT_EQ(WindowText(GetDlgItem(Page(6), IDC_ATTR_NULLVAL)), L"");
        }
    }
    for (int tab = 1; tab < 8; ++tab) {
        ShowTab(tab);
        EXPECT_TRUE(IsWindowVisible(Page(tab))) << tab;
        EXPECT_FALSE(IsWindowVisible(Page(tab == 1 ? 0 : tab - 1))) << tab;
        wintest::SaveScreenshot(form_, (L"utilities_mainform_tab" + std::to_wstring(tab)).c_str());
    }

    // Closing the database asks about the edits (No lets them go), empties the pages and grays
    // the commands again.
    {
        wintest::MsgBoxRecorder boxes({IDNO});
        Command(IDM_T_CLOSE);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"Konfigurace databáze byla změněna. Přejete si změny uložit?");
        EXPECT_EQ(boxes.Boxes()[0].caption, L"Potvrzení");
        EXPECT_EQ(boxes.Boxes()[0].type, (UINT)(MB_YESNOCANCEL | MB_ICONINFORMATION));
    }
    EXPECT_FALSE(app_->Modified);
    EXPECT_TRUE(MenuState(IDM_T_SAVE) & MF_GRAYED);
    EXPECT_EQ(Status(), L"Status: Není otevřená žádná databáze");
    EXPECT_TRUE(Levels(0).empty());
    EXPECT_TRUE(Attributes(6).empty());
    EXPECT_TRUE(MenuState(IDM_T_VALIDATE) & MF_GRAYED);
    EXPECT_EQ(WindowText(GetDlgItem(Page(6), IDC_ATTR_TYPE)), L"");
}

// Each file the utilities cannot work on is refused with its own reason, the good database open
// before it is closed, and the file is left byte for byte as it was; a file that is not there
// is not made.
TEST_F(TarnixForm, EachFileThatCannotBeOpenedIsRefusedWithItsOwnReasonAndNothingChanged)
{
    std::wstring sample = dbtest::CopyOfTemplate(SampleTemplate(), L"tarnix_form_bad_sample");
    std::wstring brokenUpgrade = dbtest::CopyOfTemplate(OlderLayoutTemplate(), L"tarnix_form_bad_upgrade");
    ASSERT_TRUE(dbtest::Exec(brokenUpgrade, L"ALTER TABLE CUSTOMATTRIBUTES RENAME COLUMN CAPTION TO MAXVAL"));
    const std::wstring missing = folder_ + L"\\není.mdb";
    std::wstring read = dbtest::CopyOfTemplate(SampleTemplate(), L"tarnix_form_bad_read");
    zor::RawOdbc reader;  // another program reading the file holds its shared lock
    ASSERT_TRUE(reader.Open(read, false));
    ASSERT_TRUE(reader.Begin());
    ASSERT_EQ(reader.QueryInt(L"SELECT COUNT(*) FROM LOCDEF"), 4);
    badfiles::BadFiles bad(folder_, SampleTemplate());
    std::vector<badfiles::BadFile> cases = bad.Files();
    cases.push_back({L"missing", missing, zdata::OpenRefusalText(zdata::RefusalKind::CannotOpen, missing)});
    cases.push_back({L"read by another program", read, zdata::OpenRefusalText(zdata::RefusalKind::Locked, read)});
    cases.push_back({L"older layout without CAPTION", brokenUpgrade,
                     badfiles::SchemaText(IDS_SCHEMA_MISSING_COLUMN,
                                          {brokenUpgrade.c_str(), L"CUSTOMATTRIBUTES", L"CAPTION"})});

    ASSERT_NO_FATAL_FAILURE(StartForm());
    for (const badfiles::BadFile& c : cases) {
        SCOPED_TRACE(dbtest::Narrow(c.what));
        OpenFile(sample);  // a good database open first: a refused file closes it too
        ASSERT_EQ(Levels(0).size(), 5u);
        std::string bytes = wintest::ReadFileBytes(c.path);
        wintest::MsgBoxRecorder boxes;
        OpenFile(c.path);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text.substr(0, c.reason.size()), c.reason);
        EXPECT_EQ(boxes.Boxes()[0].caption, L"Chyba");
        EXPECT_EQ(boxes.Boxes()[0].type & MB_ICONMASK, (UINT)MB_ICONERROR);
        EXPECT_EQ(boxes.Boxes()[0].owner, form_);
        EXPECT_EQ(Status(), L"Status: Není otevřená žádná databáze");
        EXPECT_TRUE(Levels(0).empty());
        EXPECT_TRUE(MenuState(IDM_T_VALIDATE) & MF_GRAYED);
        EXPECT_TRUE(wintest::ReadFileBytes(c.path) == bytes) << "the file changed";
    }
    EXPECT_FALSE(wintest::FileExists(missing));
    // The texts as the user reads them.
    EXPECT_EQ(badfiles::SchemaText(IDS_SCHEMA_MISSING_COLUMN, {L"C:\\Data\\a.mdb", L"ZORNACOLLS", L"DATUM"}),
              L"Soubor „C:\\Data\\a.mdb“ není úplná databáze Zorny: v tabulce ZORNACOLLS chybí sloupec DATUM.\n\n"
              L"Otevřete databázový soubor Zorny nebo jeho zálohu.");
    // The refused files are not held: once the other programs are gone, they open.
    bad.Release();
    reader.Rollback();
    reader.Close();
    for (const std::wstring& held : {bad.File(L"locked").path, read}) {
        OpenFile(held);
        EXPECT_EQ(Levels(1).size(), 3u);
    }
}

// The folder the open dialog was offered to start in; the file chosen as ever.
std::wstring& OfferedFolder()
{
    static std::wstring folder;
    return folder;
}

BOOL WINAPI NoteFolderAndChoose(OPENFILENAMEW* ofn)
{
    OfferedFolder() = ofn->lpstrInitialDir ? ofn->lpstrInitialDir : L"";
    return ChooseTestFile(ofn);
}

// Otevřít starts in the data folder while nothing was opened yet (not in the program's folder,
// the current one), then in the folder of the database in use.
TEST_F(TarnixForm, OpenStartsInTheDataFolderThenInTheFolderOfTheDatabase)
{
    std::wstring sample = dbtest::CopyOfTemplate(SampleTemplate(), L"tarnix_form_open_folder");
    ASSERT_NO_FATAL_FAILURE(StartForm());
    SetConnFileChooser(NoteFolderAndChoose);
    OpenFile(sample);
    EXPECT_EQ(OfferedFolder(), L"C:\\ProgramData\\Kelvane\\Zorna2011\\Data");
    ASSERT_EQ(Levels(0).size(), 5u);
    OpenFile(L"");  // cancelled: the database stays open
    EXPECT_EQ(OfferedFolder(), sample.substr(0, sample.find_last_of(L'\\')));
    EXPECT_EQ(Levels(0).size(), 5u);
}

TEST_F(TarnixForm, ThePlaceOfTheFormIsKeptInTheSettingsFileBesideTheProgram)
{
    ASSERT_NO_FATAL_FAILURE(StartForm());
    EXPECT_EQ(std::wstring(app_->SettingsPath), folder_ + L"\\Tarnix.xml");
    EXPECT_EQ(std::wstring(app_->ProgramDir), folder_ + L"\\");
    SetWindowPos(form_, nullptr, 230, 170, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CloseForm();
    std::wstring settings = folder_ + L"\\Tarnix.xml";
    ASSERT_TRUE(wintest::FileExists(settings));
    EXPECT_EQ(GetXmlFileKind(settings.c_str()), (int)XmlFileUtilities);
    {
        CXmlReader reader(settings.c_str());
        IXMLDOMElement* element = reader.SelectElement(L"MainForm");
        ASSERT_NE(element, nullptr);
        int left = 0, top = 0;
        EXPECT_TRUE(reader.GetShortAttr(element, L"Left", &left));
        EXPECT_TRUE(reader.GetShortAttr(element, L"Top", &top));
        EXPECT_EQ(left, 230);
        EXPECT_EQ(top, 170);
        element->Release();
        IXMLDOMElement* connection = reader.SelectElement(KAVLINK_SETTINGS_ELEMENT);
        EXPECT_NE(connection, nullptr);
        if (connection)
            connection->Release();
    }
    ASSERT_NO_FATAL_FAILURE(StartForm());
    EXPECT_EQ(Position().x, 230);
    EXPECT_EQ(Position().y, 170);
    CloseForm();

    // A broken file leaves (100, 100); a place off every screen is brought back on.
    struct Case {
        std::wstring content;
        bool exact;
    };
    const Case cases[] = {{L"<?xml version=\"1.0\"?><Settings><MainForm Left=", true},
                          {L"<?xml version=\"1.0\"?>\r\n<!--Zorna DB Utilities Workspace Settings-->\r\n"
                           L"<Settings><MainForm Left=\"-20000\" Top=\"30000\"/></Settings>",
                           false}};
    for (const Case& c : cases) {
        ASSERT_TRUE(wintest::WriteUtf8File(settings, c.content));
        ASSERT_NO_FATAL_FAILURE(StartForm());
        RECT r;
        GetWindowRect(form_, &r);
        if (c.exact) {
            EXPECT_EQ(Position().x, 100);
            EXPECT_EQ(Position().y, 100);
        } else {
            EXPECT_NE(MonitorFromRect(&r, MONITOR_DEFAULTTONULL), nullptr);
            EXPECT_GE(r.left, GetSystemMetrics(SM_XVIRTUALSCREEN));
            EXPECT_LE(r.bottom, GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN));
        }
        CloseForm();
    }
}

TEST_F(TarnixForm, TheAboutBoxShowsTarnixsVersionAndCredits)
{
    ASSERT_NO_FATAL_FAILURE(StartForm());
    std::wstring product, version, credits;
    bool shown = false;
    OnDialog(L"O aplikaci Databázové nástroje Zorny 2011", [&](HWND dlg) {
        shown = true;
        product = WindowText(GetDlgItem(dlg, 102));
        version = WindowText(GetDlgItem(dlg, 103));
        credits = WindowText(GetDlgItem(dlg, 107));
        wintest::SaveScreenshot(dlg, L"utilities_aboutbox");
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    Command(IDM_T_ABOUT);
    ASSERT_TRUE(shown);
    EXPECT_EQ(product, L"Zorna 2011 – DB nástroje");
    EXPECT_EQ(version, L"Verze: 2.1.0.9");
    EXPECT_EQ(credits, L"Tato aplikace používá části otevřeného kódu následujících projektů:\r\n\r\n"
                       L"libjpeg\r\nJasPer\r\nzlib\r\nlibpng\r\nPlexaControls");
}

TEST_F(TarnixForm, ValidationRunsFromItsDialogAndEnterMeansStorno)
{
    std::wstring path = dbtest::CopyOfTemplate(SampleTemplate(), L"tarnix_form_validate");
    ASSERT_TRUE(dbtest::Exec(path, L"UPDATE ZORNACOLLS SET LOC_LEVEL_1 = NULL WHERE ID <= 10"));
    ASSERT_NO_FATAL_FAILURE(StartForm());
    OpenFile(path);
    // Enter: Storno, nothing runs.
    bool allChecked = false;
    OnDialog(L"Kontrola databáze", [&](HWND dlg) {
        allChecked = IsDlgButtonChecked(dlg, IDC_CHECK_SPECIES) && IsDlgButtonChecked(dlg, IDC_CHECK_LOCALITIES) &&
                     IsDlgButtonChecked(dlg, IDC_CHECK_RECORDS);
        wintest::SaveScreenshot(dlg, L"utilities_validatedlg");
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    });
    Command(IDM_T_VALIDATE);
    EXPECT_TRUE(allChecked);
    Command(IDM_T_CLOSE);  // the file is the program's alone while it is open
    EXPECT_EQ(dbtest::QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE LOC_LEVEL_1 IS NULL"), 10);
    OpenFile(path);
    // OK: the check runs under the progress dialog, which the user closes once it has ended.
    std::wstring title, status, logOutcome, logText;
    HWND logOwner = nullptr;
    OnDialog(L"Kontrola databáze", [&](HWND dlg) {
        CheckDlgButton(dlg, IDC_CHECK_SPECIES, BST_UNCHECKED);
        OnDialog(L"Kontrola databáze", [&](HWND progress) {
            wintest::PumpUntil([&] { return WindowText(GetDlgItem(progress, IDCANCEL)) == L"&OK"; }, 60000);
            title = WindowText(progress);
            status = WindowText(GetDlgItem(progress, IDC_PROGRESS_STATUS));
            wintest::SaveScreenshot(progress, L"utilities_validation_done");
            // Then the log of what was repaired, over the form.
            OnDialog(L"Záznam kontroly databáze", [&](HWND log) {
                logOwner = GetWindow(log, GW_OWNER);
                logOutcome = WindowText(GetDlgItem(log, IDC_CHECKLOG_OUTCOME));
                HWND text = GetDlgItem(log, IDC_CHECKLOG_TEXT);
                logText.resize((size_t)GetWindowTextLengthW(text) + 1);
                logText.resize((size_t)GetWindowTextW(text, &logText[0], (int)logText.size()));
                wintest::SaveScreenshot(log, L"utilities_validation_log");
                PostMessageW(GetDlgItem(log, IDCANCEL), BM_CLICK, 0, 0);
            });
            PostMessageW(GetDlgItem(progress, IDCANCEL), BM_CLICK, 0, 0);
        });
        PostMessageW(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
    });
    Command(IDM_T_VALIDATE);
    EXPECT_EQ(title, L"Kontrola databáze");
    EXPECT_EQ(status, L"Kontrola dat byla úspěšně dokončena");
    EXPECT_EQ(logOwner, form_);
    EXPECT_EQ(logOutcome, status);
    EXPECT_EQ(logText.find(L"Nálezy: zařazení ve stromu lokalit\r\n"), 0u);
    for (int id = 1; id <= 10; ++id)
        EXPECT_NE(logText.find(L"    Nález ID " + std::to_wstring(id) + L": zařazení neodpovídá stromu – opraveno\r\n"),
                  std::wstring::npos)
            << id;
    EXPECT_NE(logText.find(L"Opraveno: 10, neopraveno: 0, z toho zápisů, které selhaly: 0."), std::wstring::npos);
    Command(IDM_T_CLOSE);
    EXPECT_EQ(dbtest::QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE LOC_LEVEL_1 IS NULL"), 0);
}

bool g_helpShown = false;
std::wstring g_helpPath;

TEST_F(TarnixForm, HelpOpensTheFileBesideTheProgramOrSaysItIsMissing)
{
    HelpViewerFn previous = SetHelpViewer([](const wchar_t* path) {
        g_helpShown = true;
        g_helpPath = path;
        return true;
    });
    ASSERT_NO_FATAL_FAILURE(StartForm());
    std::wstring help = folder_ + L"\\TRX2011-Help.chm";
    {
        wintest::MsgBoxRecorder boxes;
        Command(IDM_T_HELP);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"Soubor nápovědy nebyl nalezen:\n" + help);
        EXPECT_EQ(boxes.Boxes()[0].caption, L"Chyba");
        EXPECT_FALSE(g_helpShown);
    }
    ASSERT_TRUE(wintest::WriteUtf8File(help, L"ITSF"));
    wintest::MsgBoxRecorder boxes;
    Command(IDM_T_HELP);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(g_helpShown);
    EXPECT_EQ(g_helpPath, help);
    SetHelpViewer(previous);
}

TEST(TarnixSettingsPath, TheFileBearsTheProgramsNameBesideIt)
{
    struct Case {
        const wchar_t* module;
        const wchar_t* settings;
        const wchar_t* folder;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Zorna\\Tarnix.exe", L"C:\\Program Files\\Zorna\\Tarnix.xml", L"C:\\Program Files\\Zorna\\"},
        {L"C:\\data.old\\Tarnix", L"C:\\data.old\\Tarnix.xml", L"C:\\data.old\\"},
        {L"Tarnix.exe", L"Tarnix.xml", L""},
    };
    for (const Case& c : cases) {
        MaintApp app(Inst());
        BuildSettingsPath(&app, c.module);
        EXPECT_STREQ(app.SettingsPath, c.settings);
        EXPECT_STREQ(app.ProgramDir, c.folder);
    }
}

// ---- one program at a time (separate processes) ----

void ExpectRefusedStart(const wchar_t* exe, const wchar_t* text)
{
    PROCESS_INFORMATION pi = wintest::StartSiblingProgram(exe);
    ASSERT_NE(pi.hProcess, nullptr);
    std::vector<HWND> windows;
    HWND box = wintest::WaitForMessageBoxOf(pi.dwProcessId, L"Chyba", text, &windows);
    EXPECT_NE(box, nullptr) << "no message box of the refused start";
    if (box) {
        EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
        for (HWND w : windows)
            EXPECT_NE(WindowText(w), L"Databázové nástroje Zorny 2011") << "the refused start made its main form";
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

TEST(TarnixSingleInstance, AStartBesideEitherProgramIsRefused)
{
    // Another program holding the mutex (the main program does).
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"ZornaMtx");
    ASSERT_NE(mutex, nullptr);
    ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    ExpectRefusedStart(L"Tarnix.exe", L"Zorna nebo DB Nástroje jsou spuštěny");
    ReleaseMutex(mutex);
    CloseHandle(mutex);

    // A running Tarnix: a second one and the main program are refused.
    PROCESS_INFORMATION first = wintest::StartSiblingProgram(L"Tarnix.exe");
    ASSERT_NE(first.hProcess, nullptr);
    ASSERT_TRUE(wintest::WaitForNamedMutex(L"ZornaMtx")) << "Tarnix did not start";
    ExpectRefusedStart(L"Tarnix.exe", L"Zorna nebo DB Nástroje jsou spuštěny");
    ExpectRefusedStart(L"Zorna.exe", L"Zorna nebo DB Nástroje jsou spuštěny");
    EXPECT_EQ(WaitForSingleObject(first.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    // Ended without its closing, which would write the settings file beside the program.
    TerminateProcess(first.hProcess, 0);
    WaitForSingleObject(first.hProcess, 10000);
    CloseHandle(first.hThread);
    CloseHandle(first.hProcess);
}

}  // namespace
