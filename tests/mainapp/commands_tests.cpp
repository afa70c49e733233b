// The main window's commands on the program's own main form with a generated database: every
// command of the menus, the toolbars and the accelerators reaches its handler or is not offered
// and harmless; the template commands through the file choice; the view modes; help and the
// home page through their seams; the database opened from the menu.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "browse/litlistsdlg.h"
#include "browse/treecard.h"
#include "common/filechooser.h"
#include "common/helpfile.h"
#include "common/printing.h"
#include "common/shellopen.h"
#include "core/xmlaccess.h"
#include "kavlink/kavlink.h"
#include "mainapp/commands.h"
#include "shellcontract/configdata.h"
#include "mainapp/toolbars.h"
#include "mainapp/wssettings.h"
#include "resources/zorna/resource.h"
#include "shellcontract/zm_protocol.h"
#include "tests/mainapp/formhost.h"

using wintest::DialogScript;

namespace {

std::wstring Str(UINT id)
{
    wchar_t text[512] = L"";
    LoadStringW(GetModuleHandleW(nullptr), id, text, 512);
    return text;
}

// ---- seams: every call is counted, file choices answer with the path given ----

struct Seams {
    static Seams* active;
    int opens = 0, saves = 0, connections = 0, helps = 0, shells = 0;
    std::wstring answer;        // the path a file choice gives; empty: cancelled
    std::wstring connAnswer;    // the database the connection dialog gives
    std::wstring lastHelp, lastShell;
    DWORD lastFlags = 0;
    std::wstring lastFilter;

    Seams()
    {
        active = this;
        open_ = SetOpenFileChooser(Open);
        save_ = SetSaveFileChooser(Save);
        conn_ = SetConnFileChooser(Connection);
        help_ = SetHelpViewer(Help);
        shell_ = SetShellOpener(Shell);
    }
    ~Seams()
    {
        SetOpenFileChooser(open_);
        SetSaveFileChooser(save_);
        SetConnFileChooser(conn_);
        SetHelpViewer(help_);
        SetShellOpener(shell_);
        active = nullptr;
    }
    int Calls() const { return opens + saves + connections + helps + shells; }
    void Reset() { opens = saves = connections = helps = shells = 0; }

    static BOOL Answer(OPENFILENAMEW* ofn, const std::wstring& path)
    {
        active->lastFlags = ofn->Flags;
        const wchar_t* f = ofn->lpstrFilter;
        active->lastFilter.clear();
        while (f && *f) {
            active->lastFilter += f;
            active->lastFilter += L'|';
            f += wcslen(f) + 1;
        }
        if (path.empty() || path.size() >= ofn->nMaxFile)
            return FALSE;
        wcscpy(ofn->lpstrFile, path.c_str());
        return TRUE;
    }
    static BOOL WINAPI Open(OPENFILENAMEW* ofn)
    {
        active->opens++;
        return Answer(ofn, active->answer);
    }
    static BOOL WINAPI Save(OPENFILENAMEW* ofn)
    {
        active->saves++;
        return Answer(ofn, active->answer);
    }
    static BOOL WINAPI Connection(OPENFILENAMEW* ofn)
    {
        active->connections++;
        return Answer(ofn, active->connAnswer);
    }
    static bool Help(const wchar_t* path)
    {
        active->helps++;
        active->lastHelp = path;
        return true;
    }
    static bool Shell(const wchar_t* target)
    {
        active->shells++;
        active->lastShell = target;
        return true;
    }

    FileDialogFn open_, save_;
    ConnFileChooser conn_;
    HelpViewerFn help_;
    ShellOpenFn shell_;
};
Seams* Seams::active = nullptr;

// Commands that reach the main window, with their notification code.
struct CommandSpy {
    static CommandSpy* active;
    WNDPROC previous = nullptr;
    HWND wnd = nullptr;
    std::vector<int> seen;

    void Attach(HWND main)
    {
        active = this;
        wnd = main;
        previous = (WNDPROC)SetWindowLongPtrW(main, GWLP_WNDPROC, (LONG_PTR)&CommandSpy::Proc);
    }
    ~CommandSpy()
    {
        if (previous && IsWindow(wnd))
            SetWindowLongPtrW(wnd, GWLP_WNDPROC, (LONG_PTR)previous);
        active = nullptr;
    }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_COMMAND)
            active->seen.push_back(LOWORD(wParam));
        return CallWindowProcW(active->previous, hwnd, msg, wParam, lParam);
    }
    bool Saw(int id) const { return std::find(seen.begin(), seen.end(), id) != seen.end(); }
};
CommandSpy* CommandSpy::active = nullptr;

std::wstring CommandsTemplate()
{
    return formhost::SampleWith(L"commands_template", 400, {});
}

int FileKind(const std::wstring& path)
{
    return GetXmlFileKind(path.c_str());
}

class Commands : public formhost::FormOnDatabase {
protected:
    std::wstring TemplatePath() override { return CommandsTemplate(); }

    void SetUp() override
    {
        formhost::FormOnDatabase::SetUp();
        if (HasFatalFailure())
            return;
        seams_.reset(new Seams());
        settings_ = form_->ConfigPath;
    }
    void TearDown() override
    {
        seams_.reset();
        formhost::FormOnDatabase::TearDown();
    }

    INT_PTR Run(int id, WORD code = 0, LPARAM lParam = 0)
    {
        return OnMainCommand(form_, wnd_, MAKEWPARAM(id, code), lParam);
    }

    bool DatabaseOpen() const { return form_->Database && form_->Database->IsOpen(); }

    // Waits for the database the commands reopen.
    bool WaitForDatabase()
    {
        return wintest::PumpUntil([&] { return DatabaseOpen(); }, 20000);
    }

    std::wstring Write(const std::wstring& name, const std::string& bytes)
    {
        std::wstring path = folder_ + L"\\" + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
        CloseHandle(file);
        return path;
    }

    // A workspace file that connects to the test's database, with MainForm attributes of its
    // own and, when asked, many grids.
    std::wstring WorkspaceWith(const std::wstring& name, const std::wstring& mainAttrs, int grids = 0)
    {
        std::wstring xml = L"<?xml version=\"1.0\"?>\r\n<!--Zorna Workspace Settings-->\r\n<Settings>"
                           L"<MainForm " + mainAttrs + L"/><System><Connection ConnType=\"1\" DBName=\"" +
                           path_ + L"\"/></System><Grids>";
        for (int i = 1; i <= grids; i++)
            xml += L"<Grid" + std::to_wstring(i) + L" Name=\"S" + std::to_wstring(i) +
                   L"\" LatMin=\"48.5\" LatMax=\"51.1\" LatCoarseSetp=\"0.1\" LonCoarseSetp=\"0.16\"/>";
        xml += L"</Grids></Settings>\r\n";
        std::wstring path = folder_ + L"\\" + name;
        EXPECT_TRUE(wintest::WriteUtf8File(path, xml));
        return path;
    }

    std::unique_ptr<Seams> seams_;
    std::wstring settings_;  // the workspace file the form started with
};

// ---- every command ----

struct Place {
    std::wstring where;
    int id;
    bool shownOff;  // grayed in its menu or indeterminate on its toolbar
};

void CollectMenu(HMENU menu, const std::wstring& where, std::vector<Place>* places)
{
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            CollectMenu(sub, where, places);
            continue;
        }
        UINT id = GetMenuItemID(menu, i);
        if (id == 0 || id == (UINT)-1)
            continue;  // a separator
        bool off = (GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED) != 0;
        places->push_back({where, (int)id, off});
    }
}

void CollectToolbar(HWND toolbar, const std::wstring& where, std::vector<Place>* places)
{
    int count = (int)SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        TBBUTTON button = {};
        SendMessageW(toolbar, TB_GETBUTTON, i, (LPARAM)&button);
        if (button.fsStyle & BTNS_SEP)
            continue;
        bool off = (button.fsState & TBSTATE_INDETERMINATE) || !(button.fsState & TBSTATE_ENABLED);
        places->push_back({where, button.idCommand, off});
    }
}

TEST_F(Commands, EveryCommandReachesItsHandlerOrIsNotOfferedAndHarmless)
{
    // A help file beside the program, so that help reaches the viewer.
    form_->AppPath = folder_;
    Write(L"Z2011-Help.chm", "ITSF");
    HWND records = ws_->GetRecordList(WS_SYS_CARD);

    std::vector<Place> places;
    CollectMenu(GetMenu(wnd_), L"MAINMENU", &places);
    CollectMenu(form_->ViewMenu, L"VIEWMENU", &places);
    CollectMenu(form_->MapMenu, L"MAPMENU", &places);
    CollectMenu(ws_->GetCard(WS_SYS_CARD)->ContextMenu, L"TVMENU", &places);
    CollectToolbar(form_->Toolbar->Toolbar, L"main toolbar", &places);
    CollectToolbar(form_->RecordToolbar->Toolbar, L"record toolbar", &places);
    ACCEL keys[16] = {};
    int keyCount = CopyAcceleratorTableW(accel_, keys, 16);
    ASSERT_EQ(4, keyCount);
    for (int i = 0; i < keyCount; i++) {
        bool off = (GetMenuState(GetMenu(wnd_), keys[i].cmd, MF_BYCOMMAND) & MF_GRAYED) != 0;
        places.push_back({L"accelerators", keys[i].cmd, off});
    }
    // Closing the database goes last: the others need it.
    std::stable_partition(places.begin(), places.end(), [](const Place& p) { return p.id != IDM_CLOSEDB; });

    // What each offered command does, as its handler's seam or window shows it.
    int species = (int)Int(L"SELECT MIN(SYSID) FROM ZORNACOLLS");
    auto onDialog = [&](int id, const wchar_t* caption) {
        DialogScript script;
        script.Then(caption, [](HWND dialog) { DialogScript::PostClick(dialog, IDCANCEL); });
        return Command(id, script);
    };
    auto withRecordSelected = [&] {
        ShowTab(TAB_SYSTEM);
        GotoItem(0, species);
        ListView_SetItemState(records, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    };
    std::map<int, std::function<bool()>> reaches = {
        {IDM_OPENTEMPLATE, [&] { Run(IDM_OPENTEMPLATE); return seams_->opens == 1; }},
        {IDM_SAVETEMPLATE, [&] {
             DeleteFileW(settings_.c_str());
             Run(IDM_SAVETEMPLATE);
             return FileKind(settings_) == XmlFileWorkspace;
         }},
        {IDM_SAVETEMPLATEAS, [&] { Run(IDM_SAVETEMPLATEAS); return seams_->saves == 1; }},
        {IDM_NEWTEMPLATE, [&] { Run(IDM_NEWTEMPLATE); return seams_->saves == 1 && DatabaseOpen(); }},
        {IDM_CONFIGURATION, [&] { return onDialog(IDM_CONFIGURATION, L"Konfigurace"); }},
        {IDM_EXIT, [&] {
             Run(IDM_EXIT);
             MSG msg;
             return PeekMessageW(&msg, wnd_, WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE;
         }},
        {IDM_OPENDB, [&] { Run(IDM_OPENDB); return seams_->connections == 1 && DatabaseOpen(); }},
        {IDM_CLOSEDB, [&] { Run(IDM_CLOSEDB); return !DatabaseOpen(); }},
        {IDM_TERMS, [&] { return onDialog(IDM_TERMS, L"Editace výrazů"); }},
        {IDM_SEARCH, [&] { return onDialog(IDM_SEARCH, L"Vyhledávání"); }},
        {IDM_EXPORTRECORDS, [&] {
             ShowTab(TAB_SYSTEM);
             Run(IDM_EXPORTRECORDS);
             return seams_->saves == 1;
         }},
        {IDM_HOMEPAGE, [&] { Run(IDM_HOMEPAGE); return seams_->shells == 1; }},
        {IDM_HELPCONTENTS, [&] { Run(IDM_HELPCONTENTS); return seams_->helps == 1; }},
        {IDM_TBHELP, [&] { Run(IDM_TBHELP); return seams_->helps == 1; }},
        {IDM_ABOUT, [&] { return onDialog(IDM_ABOUT, L"O aplikaci Zorna 2011"); }},
        {IDM_NEWRECORD, [&] { withRecordSelected(); return onDialog(IDM_NEWRECORD, L"Nový zápis"); }},
        {IDM_EDITRECORD, [&] { withRecordSelected(); return onDialog(IDM_EDITRECORD, L"Editace zápisu"); }},
        {IDM_DELETERECORDS, [&] {
             withRecordSelected();
             wintest::MsgBoxRecorder no({IDCANCEL});
             Run(IDM_DELETERECORDS);
             return no.Boxes().size() == 1 && no.Boxes()[0].text == Str(IDS_DELETE_RECORDS_1);
         }},
    };
    // Tree editing on the systematic card, with the species of the records selected.
    HWND tree = ws_->GetCard(WS_SYS_CARD)->GetTreeView();
    reaches[IDM_NEWITEM] = [&] { ShowTab(TAB_SYSTEM); return onDialog(IDM_NEWITEM, L"Nová položka systému"); };
    reaches[IDM_ITEMPROPERTIES] = [&] {
        withRecordSelected();
        return onDialog(IDM_ITEMPROPERTIES, L"Editace systémové položky");
    };
    reaches[IDM_RENAMEITEM] = [&] {
        withRecordSelected();
        Run(IDM_RENAMEITEM);
        bool editing = SendMessageW(tree, TVM_GETEDITCONTROL, 0, 0) != 0;
        SendMessageW(tree, TVM_ENDEDITLABELNOW, TRUE, 0);
        return editing;
    };
    reaches[IDM_DELETEITEM] = [&] {
        withRecordSelected();
        SetFocus(tree);
        wintest::MsgBoxRecorder no({IDNO});
        Run(IDM_DELETEITEM);
        return no.Boxes().size() == 1;
    };
    // Printing: the page set-up through its seam (or the message that there is no printer), and
    // the print form of the tab in front.
    static int pageSetups;
    reaches[IDM_PAGESETUP] = [&] {
        pageSetups = 0;
        PageSetupDialogFn old = SetPageSetupDialog([](PAGESETUPDLGW*) -> BOOL { pageSetups++; return FALSE; });
        wintest::MsgBoxRecorder ok({IDOK});
        Run(IDM_PAGESETUP);
        SetPageSetupDialog(old);
        return pageSetups + (int)ok.Boxes().size() == 1;
    };
    auto printFormOpens = [&](int id) {
        withRecordSelected();
        Run(id);
        HWND printForm = FindWindowW(nullptr, L"Tisková sestava");
        if (printForm)
            SendMessageW(printForm, WM_CLOSE, 0, 0);
        return printForm != nullptr;
    };
    reaches[IDM_PRINT] = [&] { return printFormOpens(IDM_PRINT); };
    reaches[IDM_TBPRINT] = [&] { return printFormOpens(IDM_TBPRINT); };
    // The literature lists editor with the list of its command in front (the menu offers the
    // first list; the literature card sends the others itself).
    for (int id = IDM_LITLISTS1; id <= IDM_LITLISTS1; id++) {
        reaches[id] = [&, id] {
            int tab = -1;
            DialogScript script;
            script.Then(L"Editace položek literatury", [&](HWND dialog) {
                tab = TabCtrl_GetCurSel(GetDlgItem(dialog, IDC_LITLISTS_TABS));
                DialogScript::PostClick(dialog, IDCANCEL);
            });
            return Command(id, script) && tab == id - IDM_LITLISTS1;
        };
    }
    for (int id = IDM_LARGEICONS; id <= IDM_DETAILS; id++) {
        reaches[id] = [&, id] {
            ShowTab(TAB_SYSTEM);
            Run(id);
            const int styles[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
            HWND toolbar = form_->Toolbar->Toolbar;
            return ws_->GetCard(WS_SYS_CARD)->GetListStyle() == styles[id - IDM_LARGEICONS]
                   && (SendMessageW(toolbar, TB_GETSTATE, id, 0) & TBSTATE_CHECKED);
        };
    }

    std::set<int> reached;
    for (const Place& place : places) {
        SCOPED_TRACE(testing::Message() << place.id << " in " << place.where);
        ASSERT_NE(nullptr, FindMainCommand(place.id));
        if (!IsCommandAvailable(place.id)) {
            EXPECT_TRUE(place.shownOff);
            // Sent anyway (by a component or by hand): taken, and nothing happens.
            size_t boxes = Boxes().size();
            int calls = seams_->Calls();
            EXPECT_EQ(TRUE, Run(place.id));
            EXPECT_EQ(TRUE, Run(place.id, kCommandFromComponent, 0));
            EXPECT_EQ(boxes, Boxes().size());
            EXPECT_EQ(calls, seams_->Calls());
            EXPECT_TRUE(IsWindow(wnd_));
            EXPECT_TRUE(DatabaseOpen());
            continue;
        }
        if (reached.count(place.id))
            continue;  // one command in several places runs once
        // The map commands need a map page; the map card's own tests drive them there.
        if ((place.id >= IDM_ZOOMIN && place.id <= IDM_SHOWALL) || (place.id >= IDM_NEWMAP && place.id <= IDM_ADDQUERY))
            continue;
        auto check = reaches.find(place.id);
        ASSERT_NE(reaches.end(), check) << "an offered command the test does not know";
        seams_->Reset();
        EXPECT_TRUE(check->second());
        reached.insert(place.id);
    }
    // Every offered command was found in a menu, on a toolbar or among the keys.
    for (const auto& entry : reaches)
        EXPECT_TRUE(reached.count(entry.first)) << entry.first;
    // An id the window does not handle is not taken.
    EXPECT_EQ(FALSE, Run(IDM_GOTOSYSCARD));
    EXPECT_EQ(FALSE, Run(12345));
}

// ---- view modes ----

TEST_F(Commands, ViewModesFollowTheCodeOfTheirSender)
{
    ShowTab(TAB_SYSTEM);
    CTreeCard* card = ws_->GetCard(WS_SYS_CARD);
    HWND toolbar = form_->Toolbar->Toolbar;
    auto checked = [&](int id) { return (SendMessageW(toolbar, TB_GETSTATE, id, 0) & TBSTATE_CHECKED) != 0; };
    auto inMenu = [&](int id) {
        return (GetMenuState(form_->ViewMenu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    };
    struct Case {
        int id;
        WORD code;
        LPARAM lParam;
        int style;      // the card's list style afterwards
        int toolbarOn;  // the toolbar button checked afterwards
    } cases[] = {
        // Menu (code 0, no lParam): all three follow.
        {IDM_SMALLICONS, 0, 0, LVS_SMALLICON, IDM_SMALLICONS},
        // Toolbar button (code 0, lParam the toolbar): the same.
        {IDM_LIST, 0, (LPARAM)toolbar, LVS_LIST, IDM_LIST},
        // A card announcing the mode it has (code 2, no lParam): only the toolbar moves.
        {IDM_DETAILS, kCommandFromComponent, 0, LVS_LIST, IDM_DETAILS},
        // An accelerator (code 1, no lParam): the same.
        {IDM_LARGEICONS, 1, 0, LVS_LIST, IDM_LARGEICONS},
        // A component asking for a mode (code 2 with lParam): applied, the toolbar stays.
        {IDM_DETAILS, kCommandFromComponent, 1, LVS_REPORT, IDM_LARGEICONS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " code " << c.code << " lParam " << c.lParam);
        EXPECT_EQ(TRUE, Run(c.id, c.code, c.lParam));
        EXPECT_EQ(c.style, card->GetListStyle());
        for (int id = IDM_LARGEICONS; id <= IDM_DETAILS; id++) {
            EXPECT_EQ(id == c.toolbarOn, checked(id)) << id;
            EXPECT_EQ(id == c.id, inMenu(id)) << id;
        }
    }
    // The menu bar holds the view menu while the card is in front: its check is the same.
    EXPECT_TRUE(GetMenuState(GetMenu(wnd_), IDM_DETAILS, MF_BYCOMMAND) & MF_CHECKED);
}

TEST_F(Commands, CtrlF4DoesNothingWhileClosingAMapIsNotOffered)
{
    CommandSpy spy;
    spy.Attach(wnd_);
    ASSERT_TRUE(GetMenuState(GetMenu(wnd_), IDM_CLOSEMAP, MF_BYCOMMAND) & MF_GRAYED);
    HWND tabs = GetDlgItem(wnd_, kWorkspaceTabControlId);
    SetFocus(tabs);
    BYTE keys[256] = {}, saved[256] = {};
    GetKeyboardState(saved);
    memcpy(keys, saved, sizeof(keys));
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(tabs, WM_KEYDOWN, VK_F4, 1);
    PostMessageW(tabs, WM_KEYDOWN, 'O', 1);
    PostMessageW(wnd_, WM_CLOSE, 0, 0);
    RunMainMessageLoop(wnd_, accel_);
    SetKeyboardState(saved);
    EXPECT_FALSE(spy.Saw(IDM_CLOSEMAP));
    EXPECT_TRUE(spy.Saw(IDM_OPENTEMPLATE));  // the keys themselves do arrive
    EXPECT_EQ(1, seams_->opens);
}

// ---- help, home page, database ----

TEST_F(Commands, HelpOpensTheFileBesideTheProgramOrSaysItIsMissing)
{
    for (std::wstring folder : {folder_, folder_ + L"\\"}) {
        form_->AppPath = folder;
        Run(IDM_HELPCONTENTS);
        ASSERT_EQ(1u, Boxes().size());
        EXPECT_EQ(L"Soubor nápovědy nebyl nalezen:\n" + folder_ + L"\\Z2011-Help.chm", Boxes()[0].text);
        EXPECT_EQ(Str(IDS_ERROR_CAPTION), Boxes()[0].caption);
        EXPECT_EQ(0, seams_->helps);
        Write(L"Z2011-Help.chm", "ITSF");
        Run(IDM_TBHELP);
        EXPECT_EQ(1, seams_->helps);
        EXPECT_EQ(folder_ + L"\\Z2011-Help.chm", seams_->lastHelp);
        DeleteFileW((folder_ + L"\\Z2011-Help.chm").c_str());
        seams_->Reset();
        boxes_.reset();  // the old recorder puts its hook back before the new one comes
        boxes_.reset(new wintest::MsgBoxRecorder());
    }
    Run(IDM_HOMEPAGE);
    EXPECT_EQ(1, seams_->shells);
    EXPECT_EQ(0u, seams_->lastShell.find(L"http://"));
}

// The database in use stays open and shown while the chosen file opens: a file that opens takes
// its place, one that is refused (an empty file) leaves it as it was, with the refusal named.
TEST_F(Commands, OpeningADatabaseFromTheMenuKeepsTheOldOneUntilTheNewOneHasOpened)
{
    std::wstring other = folder_ + L"\\Druha.mdb";
    ASSERT_TRUE(CopyFileW(path_.c_str(), other.c_str(), FALSE));
    std::wstring empty = Write(L"Prazdna.mdb", "");
    // Cancelled: nothing changes.
    EXPECT_EQ(TRUE, Run(IDM_OPENDB));
    EXPECT_EQ(1, seams_->connections);
    EXPECT_TRUE(DatabaseOpen());
    EXPECT_STREQ(path_.c_str(), form_->Conn.DBName);
    const struct {
        std::wstring chosen;
        bool opens;
    } cases[] = {{empty, false}, {other, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(dbtest::Narrow(c.chosen));
        std::wstring before = wintest::WindowText(wnd_);
        HWND sysTree = ws_->GetTreeView(WS_SYS_CARD);
        int items = (int)TreeView_GetCount(sysTree);
        CDatabase* old = form_->Database;
        size_t boxes = Boxes().size();
        seams_->connAnswer = c.chosen;
        EXPECT_EQ(TRUE, Run(IDM_OPENDB));
        EXPECT_TRUE(DatabaseOpen()) << "the old one stays open while the chosen one opens";
        EXPECT_EQ(old, form_->Database);
        EXPECT_EQ(items, (int)TreeView_GetCount(sysTree));
        if (c.opens) {
            ASSERT_TRUE(wintest::PumpUntil([&] { return form_->Database != old && DatabaseOpen(); }, 20000));
            EXPECT_STREQ(other.c_str(), form_->Conn.DBName);
            EXPECT_TRUE(wintest::PumpUntil(
                [&] { return wintest::WindowText(wnd_).find(L" - Druha.mdb") != std::wstring::npos; }, 5000));
            EXPECT_FALSE(GetMenuState(GetMenu(wnd_), IDM_CONFIGURATION, MF_BYCOMMAND) & MF_GRAYED);
        } else {
            ASSERT_TRUE(wintest::PumpUntil([&] { return Boxes().size() > boxes; }, 20000));
            EXPECT_EQ(0u, Boxes().back().text.find(L"Databáze nemohla být otevřena")) << dbtest::Narrow(Boxes().back().text);
            EXPECT_NE(std::wstring::npos, Boxes().back().text.find(empty)) << dbtest::Narrow(Boxes().back().text);
            wintest::PumpMessages(200);
            EXPECT_TRUE(DatabaseOpen());
            EXPECT_EQ(old, form_->Database);
            EXPECT_STREQ(path_.c_str(), form_->Conn.DBName);
            EXPECT_EQ(before, wintest::WindowText(wnd_));
            EXPECT_EQ(items, (int)TreeView_GetCount(sysTree));
            EXPECT_EQ(nullptr, form_->Opening);
        }
    }
    Run(IDM_CLOSEDB);
    EXPECT_FALSE(DatabaseOpen());
    EXPECT_TRUE(GetMenuState(GetMenu(wnd_), IDM_CONFIGURATION, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(std::wstring::npos, wintest::WindowText(wnd_).find(L"Druha"));
}

// ---- templates ----

TEST_F(Commands, AFileThatIsNoWorkspaceFileIsRefusedAndNothingChanges)
{
    std::string junk(50u << 20, '\0');
    for (size_t i = 0; i < junk.size(); i++)
        junk[i] = (char)((i * 2654435761u) >> 13);
    std::vector<std::wstring> files = {
        Write(L"sit.xml", "<?xml version=\"1.0\"?>\r\n<!--Zorna Grid Definition-->\r\n<Grids/>\r\n"),
        Write(L"jine.xml", "<?xml version=\"1.0\"?>\r\n<!--Neco jineho-->\r\n<Settings><MainForm ActiveTab=\"2\"/></Settings>"),
        Write(L"obrazek.bmp", std::string("BM\x36\0\0\0\0\0\0\0\x36\0\0\0", 14) + std::string(400, '\xff')),
        Write(L"prazdny.xml", ""),
        Write(L"velky.xml", junk),
    };
    ASSERT_TRUE(SaveWorkspace(form_, wnd_));
    std::string before = wintest::ReadFileBytes(settings_);
    for (const std::wstring& file : files) {
        SCOPED_TRACE(testing::Message() << file.substr(file.rfind(L'\\') + 1));
        seams_->answer = file;
        size_t boxes = Boxes().size();
        EXPECT_EQ(FALSE, Run(IDM_OPENTEMPLATE));
        ASSERT_EQ(boxes + 1, Boxes().size());
        EXPECT_EQ(Str(IDS_NOT_WORKSPACE_FILE), Boxes().back().text);
        EXPECT_EQ((UINT)MB_ICONERROR, Boxes().back().type & MB_ICONMASK);
        EXPECT_EQ(settings_, form_->ConfigPath);
        EXPECT_TRUE(DatabaseOpen());
        EXPECT_EQ(before, wintest::ReadFileBytes(settings_));
    }
    // The open dialog: XML files or any, existing files only.
    EXPECT_EQ(L"Soubory XML (*.xml)|*.xml|Všechny soubory|*.*|", seams_->lastFilter);
    EXPECT_EQ((DWORD)0x8A1800, seams_->lastFlags);
}

TEST_F(Commands, OpeningATemplateShowsItsTabAndReopensItsDatabase)
{
    std::wstring other = WorkspaceWith(L"hledani.xml", L"ActiveTab=\"2\" Left=\"30\" Top=\"20\" Width=\"900\" Height=\"600\"");
    ShowTab(TAB_SYSTEM);
    HWND sysPage = ws_->GetCard(WS_SYS_CARD)->Page;
    ASSERT_TRUE(IsWindowVisible(sysPage));
    seams_->answer = other;
    EXPECT_EQ(TRUE, Run(IDM_OPENTEMPLATE));
    EXPECT_EQ(other, form_->ConfigPath);
    // The file left behind was saved first.
    EXPECT_EQ(XmlFileWorkspace, FileKind(settings_));
    ASSERT_TRUE(WaitForDatabase());
    // Only the search list shows: the strip, the page, the toolbar and the menus agree.
    EXPECT_EQ(TAB_SEARCH, ws_->GetCurrentTab(wnd_));
    EXPECT_TRUE(IsWindowVisible(ws_->GetSearchList()));
    EXPECT_FALSE(IsWindowVisible(sysPage));
    EXPECT_FALSE(IsWindowVisible(ws_->GetCard(WS_LOC_CARD)->Page));
    EXPECT_FALSE(IsWindowVisible(form_->Toolbar->Combo));
    EXPECT_TRUE(SendMessageW(form_->Toolbar->Toolbar, TB_ISBUTTONHIDDEN, IDM_LARGEICONS, 0));
    EXPECT_EQ(std::wstring(L"&Literatura"), [&] {
        wchar_t text[64] = L"";
        GetMenuStringW(GetMenu(wnd_), 3, text, 64, MF_BYPOSITION);
        return std::wstring(text);
    }());
}

TEST_F(Commands, SavingUnderAnotherNameWritesTheNewFileOnly)
{
    ASSERT_TRUE(SaveWorkspace(form_, wnd_));
    std::string before = wintest::ReadFileBytes(settings_);
    // Folders with Czech letters, deep enough for a path of over 260 characters. They are
    // removed here, deepest first: the shell's removal of the test's folder cannot walk paths
    // that long (under Wine it then deletes in the current directory instead).
    struct LongFolders {
        std::vector<std::wstring> made;
        std::wstring file;
        ~LongFolders()
        {
            if (!file.empty())
                DeleteFileW((L"\\\\?\\" + file).c_str());
            for (auto it = made.rbegin(); it != made.rend(); ++it)
                RemoveDirectoryW((L"\\\\?\\" + *it).c_str());
        }
    } folders;
    std::wstring folder = folder_;
    while (folder.size() < 280) {
        folder += L"\\Šablony_přírodovědců_" + std::to_wstring(folder.size());
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
        folders.made.push_back(folder);
    }
    std::wstring chosen = folder + L"\\Žluťoučký kůň.xml";
    folders.file = chosen;
    ASSERT_GT(chosen.size(), 260u);
    seams_->answer = chosen;
    EXPECT_EQ(TRUE, Run(IDM_SAVETEMPLATEAS));
    EXPECT_EQ((DWORD)0x8A1802, seams_->lastFlags);
    EXPECT_EQ(chosen, form_->ConfigPath);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(XmlFileWorkspace, FileKind(chosen));
    // The long file is the workspace from now on: it is read back as well.
    Run(IDM_CLOSEDB);
    seams_->answer = chosen;
    EXPECT_EQ(TRUE, Run(IDM_OPENTEMPLATE));
    EXPECT_TRUE(WaitForDatabase());
    EXPECT_EQ(chosen, form_->ConfigPath);
    EXPECT_EQ(before, wintest::ReadFileBytes(settings_));
}

TEST_F(Commands, ASaveThatCannotBeWrittenIsReportedAndNeverGoesToTheOldFile)
{
    ASSERT_TRUE(SaveWorkspace(form_, wnd_));
    std::string before = wintest::ReadFileBytes(settings_);
    // A folder that cannot be made: a file of that name stands in its place.
    std::wstring locked = Write(L"soubor", "x") + L"\\sablona.xml";
    seams_->answer = locked;
    Run(IDM_SAVETEMPLATEAS);
    ASSERT_EQ(1u, Boxes().size());
    EXPECT_EQ(0u, Boxes()[0].text.find(L"Šablonu se nepodařilo uložit do souboru:\n" + locked));
    EXPECT_EQ(locked, form_->ConfigPath);
    EXPECT_EQ(before, wintest::ReadFileBytes(settings_));
    // Ctrl+S says so again; closing the program would stay silent.
    Run(IDM_SAVETEMPLATE);
    EXPECT_EQ(2u, Boxes().size());
    EXPECT_FALSE(SaveWorkspace(form_, wnd_));
    EXPECT_EQ(2u, Boxes().size());
    form_->ConfigPath = settings_;
}

TEST_F(Commands, ANewTemplateLeavesNoDatabaseAndNoFileUntilSaved)
{
    std::wstring fresh = folder_ + L"\\nova.xml";
    seams_->answer = fresh;
    EXPECT_EQ(TRUE, Run(IDM_NEWTEMPLATE));
    EXPECT_FALSE(DatabaseOpen());
    EXPECT_EQ(0, ws_->GetMapCount());
    EXPECT_EQ(fresh, form_->ConfigPath);
    EXPECT_FALSE(wintest::FileExists(fresh));
    // The file left behind was saved with its database.
    EXPECT_NE(std::string::npos, wintest::ReadFileBytes(settings_).find("<Connection"));
    EXPECT_TRUE(GetMenuState(GetMenu(wnd_), IDM_CONFIGURATION, MF_BYCOMMAND) & MF_GRAYED);
    Run(IDM_SAVETEMPLATE);
    EXPECT_EQ(XmlFileWorkspace, FileKind(fresh));
    EXPECT_EQ(std::string::npos, wintest::ReadFileBytes(fresh).find("<Connection"));
}

TEST_F(Commands, OddWorkspaceFilesOpenSanely)
{
    struct Case {
        const wchar_t* name;
        std::wstring attrs;
        int grids;
    } cases[] = {
        {L"tab99.xml", L"ActiveTab=\"99\"", 0},
        {L"minus.xml", L"ActiveTab=\"-3\" Left=\"50\" Top=\"40\" Width=\"-500\" Height=\"-20\"", 0},
        {L"site.xml", L"ActiveTab=\"1\"", 10000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name);
        ShowTab(TAB_SYSTEM);
        seams_->answer = WorkspaceWith(c.name, c.attrs, c.grids);
        EXPECT_EQ(TRUE, Run(IDM_OPENTEMPLATE));
        ASSERT_TRUE(WaitForDatabase());
        int tab = ws_->GetCurrentTab(wnd_);
        EXPECT_GE(tab, 0);
        EXPECT_LT(tab, (int)SendMessageW(GetDlgItem(wnd_, kWorkspaceTabControlId), TCM_GETITEMCOUNT, 0, 0));
        WINDOWPLACEMENT placement = {sizeof(placement)};
        GetWindowPlacement(wnd_, &placement);
        EXPECT_GT(placement.rcNormalPosition.right - placement.rcNormalPosition.left, 0);
        EXPECT_GT(placement.rcNormalPosition.bottom - placement.rcNormalPosition.top, 0);
        EXPECT_EQ(c.grids, form_->GridList->GetCount());
        EXPECT_TRUE(Boxes().empty());
    }
}

}  // namespace
