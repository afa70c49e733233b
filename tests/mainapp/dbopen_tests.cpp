// Opening the database at start-up behind the splash screen, the load sequence and closing, run
// through the real main form on generated sample databases.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "browse/treecard.h"
#include "browse/workspace.h"
#include "core/database.h"
#include "core/fields.h"
#include "core/itemrecords.h"
#include "core/treefill.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "core/xmlaccess.h"
#include "shellcontract/configdata.h"
#include "mainapp/dbopen.h"
#include "mainapp/mainform.h"
#include "mainapp/toolbars.h"
#include "mainapp/wssettings.h"
#include "czechcollation/czechtext.h"
#include "dataaccess/collationext.h"
#include "tests/core/badfiles.h"
#include "tests/core/sampletemplate.h"
#include "tests/support/fileholder.h"
#include "tools/testkit/workspacefile.h"
#include "shellcontract/zm_protocol.h"
#include "map/legend.h"
#include "map/editgriddlg.h"
#include "map/mapwnd.h"
#include "resources/zorna/resource.h"
#include "tests/support/wintest.h"

namespace {

HINSTANCE Inst() { return GetModuleHandleW(nullptr); }

std::string Utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string bytes((size_t)(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &bytes[0], n, nullptr, nullptr);
    return bytes;
}

// A sample database in a fresh folder of its own for one start of the program.
std::wstring SampleDatabase(const wchar_t* folder)
{
    zor::SampleDbOptions options;
    options.records = 300;
    return MakeSampleTemplate(folder, options);
}

// A workspace file whose only content is the connection (none when dbName is null).
std::wstring WorkspaceFile(const wchar_t* folder, const wchar_t* dbName)
{
    std::wstring path = wintest::MakeTempFolder(folder) + L"\\Zorna.xml";
    wstest::WriteConnectionOnly(path, dbName);
    return path;
}

// What a watcher saw of the splash while the main form was starting.
struct SplashSeen {
    HWND splash = nullptr;
    bool seen = false;
    bool visible = false;
    int maxPosition = -1;
    bool stayedAfterLoad = false;  // seen with the load finished and the splash still up
    std::wstring status;
    RECT picture = {}, statusRect = {}, progressRect = {}, client = {};
    bool pictureHasBitmap = false;
    int rangeHigh = 0;
};

SplashSeen* g_seen = nullptr;
MainForm* g_startingForm = nullptr;

BOOL CALLBACK FindSplash(HWND wnd, LPARAM out)
{
    HWND progress = GetDlgItem(wnd, IDC_SPLASH_PROGRESS);
    wchar_t cls[64] = L"";
    if (progress)
        GetClassNameW(progress, cls, 64);
    if (progress && lstrcmpiW(cls, PROGRESS_CLASSW) == 0 && GetDlgItem(wnd, IDC_SPLASH_PICTURE)) {
        *reinterpret_cast<HWND*>(out) = wnd;
        return FALSE;
    }
    return TRUE;
}

using wintest::RectIn;

BOOL CALLBACK FindMainWindow(HWND wnd, LPARAM out)
{
    wchar_t cls[32] = L"";
    GetClassNameW(wnd, cls, 32);
    if (lstrcmpW(cls, L"ZORNAWND") == 0) {
        *reinterpret_cast<HWND*>(out) = wnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK WatchSplash(HWND, UINT, UINT_PTR, DWORD)
{
    SplashSeen* seen = g_seen;
    if (!seen)
        return;
    if (!g_startingForm) {
        // The form is still in its constructor: it is found through its window.
        HWND main = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindMainWindow, (LPARAM)&main);
        if (main)
            g_startingForm = MainFormOf(main);
    }
    HWND splash = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindSplash, (LPARAM)&splash);
    if (!splash)
        return;
    seen->splash = splash;
    seen->seen = true;
    seen->visible = seen->visible || IsWindowVisible(splash);
    int pos = (int)SendDlgItemMessageW(splash, IDC_SPLASH_PROGRESS, PBM_GETPOS, 0, 0);
    if (pos > seen->maxPosition)
        seen->maxPosition = pos;
    wchar_t text[128] = L"";
    GetDlgItemTextW(splash, IDC_SPLASH_STATUS, text, 128);
    seen->status = text;
    seen->picture = RectIn(GetDlgItem(splash, IDC_SPLASH_PICTURE), splash);
    seen->statusRect = RectIn(GetDlgItem(splash, IDC_SPLASH_STATUS), splash);
    seen->progressRect = RectIn(GetDlgItem(splash, IDC_SPLASH_PROGRESS), splash);
    GetClientRect(splash, &seen->client);
    seen->pictureHasBitmap =
        SendDlgItemMessageW(splash, IDC_SPLASH_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0;
    seen->rangeHigh = (int)SendDlgItemMessageW(splash, IDC_SPLASH_PROGRESS, PBM_GETRANGE, FALSE, 0);
    if (g_startingForm && g_startingForm->OpenFinished && IsWindowVisible(splash))
        seen->stayedAfterLoad = true;
}

int TreeCount(HWND tree) { return (int)SendMessageW(tree, TVM_GETCOUNT, 0, 0); }

// Starts the real main form on a workspace file; the splash runs inside the constructor.
class StartUpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"400"); }
    static void TearDownTestSuite() { SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", nullptr); }

    void Start(const std::wstring& workspaceFile)
    {
        registry_.reset(new wstest::LastConfigFile(workspaceFile));
        g_seen = &seen;
        g_startingForm = nullptr;
        UINT_PTR watcher = SetTimer(nullptr, 0, 30, WatchSplash);
        form = new MainForm(Inst(), MainFormDlgProc, &wnd, &accel);
        g_startingForm = nullptr;
        KillTimer(nullptr, watcher);
        g_seen = nullptr;
        ASSERT_TRUE(wnd);
    }

    void TearDown() override
    {
        if (wnd)
            DestroyWindow(wnd);
        wnd = nullptr;
        delete form;
        form = nullptr;
        registry_.reset();
        // The main window ends the message loop when it goes; a test program goes on.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
            ;
        wintest::PumpMessages();
    }

    bool SplashGone() const { return !seen.splash || !IsWindow(seen.splash); }

    MainForm* form = nullptr;
    HWND wnd = nullptr;
    HACCEL accel = nullptr;
    SplashSeen seen;
    std::unique_ptr<wstest::LastConfigFile> registry_;
};

TEST_F(StartUpTest, AGoodDatabaseLoadsBothTreesBehindTheSplash)
{
    std::wstring db = SampleDatabase(L"dbopen_good");
    ASSERT_FALSE(db.empty());
    wintest::MsgBoxRecorder boxes;
    // Time enough to see the splash after the load and before its timer closes it.
    SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"1000");
    Start(WorkspaceFile(L"dbopen_good_ws", db.c_str()));
    SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"400");

    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(seen.seen);
    EXPECT_TRUE(seen.visible);
    EXPECT_EQ(95, seen.maxPosition);
    EXPECT_TRUE(seen.stayedAfterLoad) << "the splash waits for its timer after a quick load";
    EXPECT_TRUE(SplashGone());
    EXPECT_EQ(L"Otevírám databázi ...", seen.status);
    EXPECT_TRUE(seen.pictureHasBitmap);
    EXPECT_EQ(100, seen.rangeHigh);

    ASSERT_TRUE(form->Database->IsOpen());
    EXPECT_GT(TreeCount(form->Workspace_->GetTreeView(WS_SYS_CARD)), 1);
    EXPECT_GT(TreeCount(form->Workspace_->GetTreeView(WS_LOC_CARD)), 1);
    EXPECT_GT(form->Workspace_->GetLevelCache(WS_SYS_CARD)->GetCount(), 0);
    EXPECT_GT(form->Workspace_->GetLevelCache(WS_LOC_CARD)->GetCount(), 0);
    // The catalogues reached the lists.
    EXPECT_GT(form->Config->SearchFields->GetCount(), 0);
    EXPECT_GT(Header_GetItemCount(ListView_GetHeader(form->Workspace_->GetSearchList())), 1);
    UINT state = GetMenuState(GetMenu(wnd), 107, MF_BYCOMMAND);
    EXPECT_FALSE(state & (MF_GRAYED | MF_DISABLED));
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_FALSE(wintest::SaveScreenshot(wnd, L"startup_loaded").empty());
}

TEST_F(StartUpTest, SplashLayoutStacksTextAndBarUnderThePicture)
{
    std::wstring db = SampleDatabase(L"dbopen_layout");
    wintest::MsgBoxRecorder boxes;
    Start(WorkspaceFile(L"dbopen_layout_ws", db.c_str()));
    ASSERT_TRUE(seen.seen);
    const RECT& p = seen.picture;
    EXPECT_LE(p.right - p.left, 450 + 2);
    EXPECT_LE(p.bottom - p.top, 250 + 2);
    EXPECT_EQ(p.left, seen.statusRect.left);
    EXPECT_EQ(p.right, seen.statusRect.right);
    EXPECT_EQ(p.bottom + p.top, seen.statusRect.top);
    EXPECT_EQ(seen.statusRect.bottom + 4, seen.progressRect.top);
    EXPECT_EQ(p.left, seen.progressRect.left);
    EXPECT_EQ(p.right, seen.progressRect.right);
    EXPECT_EQ(p.right + p.left, seen.client.right);
    EXPECT_EQ(p.top + seen.progressRect.bottom, seen.client.bottom);
}

// Each file the program cannot work on is refused at start with its own reason under the
// heading of the failed opening, nothing of it stays on the cards, and it is left byte for byte
// as it was; a missing file is not made.
TEST_F(StartUpTest, EachFileThatCannotBeOpenedIsRefusedWithItsOwnReason)
{
    std::wstring folder = wintest::MakeTempFolder(L"dbopen_bad");
    std::wstring sample = SampleDatabase(L"dbopen_bad_sample");
    ASSERT_FALSE(sample.empty());
    badfiles::BadFiles bad(folder, sample);
    std::vector<badfiles::BadFile> cases;
    for (const badfiles::BadFile& f : bad.Files())
        if (!f.readOnly)  // opens for reading: AReadOnlyFileOpensWithAWarningAndRefusesTheFirstEdit
            cases.push_back(f);
    std::wstring missing = folder + L"\\NoSuchBase.mdb";
    cases.push_back({L"missing", missing, zdata::OpenRefusalText(zdata::RefusalKind::CannotOpen, missing)});

    for (const badfiles::BadFile& c : cases) {
        SCOPED_TRACE(dbtest::Narrow(c.what));
        std::string bytes = wintest::ReadFileBytes(c.path);
        {
            wintest::MsgBoxRecorder boxes;
            Start(WorkspaceFile(L"dbopen_bad_ws", c.path.c_str()));
            ASSERT_EQ(1u, boxes.Boxes().size()) << Utf8(boxes.Boxes().empty() ? L"" : boxes.Boxes()[0].text);
            const std::wstring expected = L"Databáze nemohla být otevřena\n\n" + c.reason;
            EXPECT_EQ(expected, boxes.Boxes()[0].text.substr(0, expected.size())) << Utf8(boxes.Boxes()[0].text);
            EXPECT_EQ(L"Chyba", boxes.Boxes()[0].caption);
            EXPECT_TRUE(boxes.Boxes()[0].type & MB_ICONERROR);
            EXPECT_EQ(seen.splash, boxes.Boxes()[0].owner) << "over the splash the user sees";
        }
        EXPECT_TRUE(SplashGone());
        EXPECT_FALSE(form->Database->IsOpen());
        EXPECT_LE(TreeCount(form->Workspace_->GetTreeView(WS_SYS_CARD)), 1);
        EXPECT_LE(TreeCount(form->Workspace_->GetTreeView(WS_LOC_CARD)), 1);
        UINT state = GetMenuState(GetMenu(wnd), 107, MF_BYCOMMAND);
        EXPECT_TRUE(state & (MF_GRAYED | MF_DISABLED));
        TearDown();
        EXPECT_TRUE(wintest::ReadFileBytes(c.path) == bytes) << "the file changed";
    }
    EXPECT_FALSE(wintest::FileExists(missing)) << "nothing is created";
}

// A read-only file opens for browsing with a warning that names it; the first edit is refused in
// Czech before it touches the file.
TEST_F(StartUpTest, AReadOnlyFileOpensWithAWarningAndRefusesTheFirstEdit)
{
    std::wstring folder = wintest::MakeTempFolder(L"dbopen_readonly");
    std::wstring sample = SampleDatabase(L"dbopen_readonly_sample");
    ASSERT_FALSE(sample.empty());
    badfiles::BadFiles bad(folder, sample);
    const std::wstring& db = bad.File(L"read-only").path;
    std::string bytes = wintest::ReadFileBytes(db);
    {
        wintest::MsgBoxRecorder boxes;
        Start(WorkspaceFile(L"dbopen_readonly_ws", db.c_str()));
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(L"Databázový soubor „" + db + L"“ je jen pro čtení. Můžete v něm prohlížet a vyhledávat, změny do "
                  L"něj ale nelze uložit.\n\nChcete-li data upravovat, zrušte u souboru atribut „Jen pro čtení“ "
                  L"(nebo ho zkopírujte do složky, do které smíte zapisovat) a databázi otevřete znovu.",
                  boxes.Boxes()[0].text);
        EXPECT_EQ(L"Varování", boxes.Boxes()[0].caption);
        EXPECT_TRUE(boxes.Boxes()[0].type & MB_ICONWARNING);
        EXPECT_EQ(seen.splash, boxes.Boxes()[0].owner) << "over the splash the user sees";
    }
    ASSERT_TRUE(form->Database->IsOpen());
    EXPECT_GT(TreeCount(form->Workspace_->GetTreeView(WS_SYS_CARD)), 1);

    int taxon = (int)dbtest::QueryInt(db, L"SELECT ID FROM SYSTREE WHERE SYSLEVEL = 2 ORDER BY ID LIMIT 1");
    TreeItemData data = {};
    data.Id = taxon;
    wchar_t name[] = L"Nová čeleď";
    NMTVDISPINFOW info = {};
    info.item.mask = TVIF_TEXT | TVIF_PARAM;
    info.item.pszText = name;
    info.item.lParam = (LPARAM)&data;
    wintest::MsgBoxRecorder boxes;
    SendMessageW(wnd, ZM_RENAME_TREE_ITEM, ZM_TREE_SYS, (LPARAM)&info);
    ASSERT_GE(boxes.Boxes().size(), 1u);
    const std::wstring refused = L"Databázový soubor je jen pro čtení, změny do něj nelze zapsat.";
    EXPECT_EQ(refused, boxes.Boxes()[0].text.substr(0, refused.size())) << Utf8(boxes.Boxes()[0].text);
    EXPECT_TRUE(boxes.Boxes()[0].type & MB_ICONERROR);
    EXPECT_NE(L"Nová čeleď", dbtest::First(db, L"SELECT NAME FROM SYSTREE WHERE ID = " + std::to_wstring(taxon)));
    TearDown();
    EXPECT_TRUE(wintest::ReadFileBytes(db) == bytes) << "the file changed";
}

// Every row of the list of all records read, each cell as the list shows it.
void ReadAllRecords(HWND wnd, Workspace* ws)
{
    ListQuery all = {ZM_LIST_SEARCH_RECORDS, 0, nullptr, 0, 0, 0, nullptr};
    SendMessageW(wnd, ZM_QUERY_RECORD_LIST, 90, (LPARAM)&all);
    HWND list = ws->GetSearchList();
    int columns = Header_GetItemCount(ListView_GetHeader(list));
    for (int row = 0; row < all.RowCount; ++row) {
        for (int column = 0; column < columns; ++column) {
            wchar_t text[260] = L"";
            NMLVDISPINFOW info = {};
            info.hdr.hwndFrom = list;
            info.hdr.code = LVN_GETDISPINFOW;
            info.item.mask = LVIF_TEXT;
            info.item.iItem = row;
            info.item.iSubItem = column;
            info.item.pszText = text;
            info.item.cchTextMax = 260;
            SendMessageW(wnd, ZM_GET_LIST_CELL_TEXT, ZM_LIST_SEARCH_RECORDS, (LPARAM)&info);
        }
    }
}

// Each item with pictures as the cards read it: its information panel (the first picture) and
// its properties dialog (every picture), until a message box has been shown.
void ShowEveryPicture(HWND wnd, const std::wstring& db, const wintest::MsgBoxRecorder& boxes)
{
    const struct {
        WPARAM tree;
        int editFlags;
        const wchar_t* sql;
    } tables[] = {{ZM_TREE_SYS, TREEITEM_EDIT_TAXON, L"SELECT DISTINCT SYSID FROM SYSIMAGES ORDER BY SYSID"},
                  {ZM_TREE_LOC, TREEITEM_EDIT_LOCALITY, L"SELECT DISTINCT LOCID FROM LOCIMAGES ORDER BY LOCID"}};
    for (const auto& t : tables) {
        for (const auto& row : dbtest::Query(db, t.sql)) {
            if (!boxes.Boxes().empty())
                return;
            InfoPanelRequest request = {};
            request.ItemId = _wtoi(row[0].c_str());
            request.PictureHeight = 60;
            SendMessageW(wnd, ZM_SHOW_ITEM_INFO, t.tree, (LPARAM)&request);
            TreeItemRecord item;
            InitTreeItemRecord(&item, t.editFlags);
            item.Id = request.ItemId;
            SendMessageW(wnd, ZM_LOAD_TREE_ITEM, t.tree, (LPARAM)&item);
            ClearTreeItemRecord(&item);
        }
    }
}

// Whether the engine reads every row of every table of the file without a refusal (a damaged
// page it never has to follow, such as the tail of a picture's last page, reads as data).
bool EngineReadsEveryRow(const std::wstring& db)
{
    zor::RawOdbc raw;
    if (!raw.Open(db, false))
        return false;
    std::vector<std::vector<std::wstring>> tables;
    if (!raw.Query(L"SELECT name FROM sqlite_master WHERE type = 'table'", tables))
        return false;
    for (const auto& t : tables) {
        std::vector<std::vector<std::wstring>> rows;
        if (!raw.Query(L"SELECT * FROM [" + t[0] + L"]", rows))
            return false;
    }
    return true;
}

// Twenty bytes flipped at the head of a page in the middle of the file (the pictures' pages in
// a sample), ten copies each with another page; the engine's integrity check fails on each. The
// open reads no picture; the program's reads of every record and every picture tell the user
// once that the file is damaged and how to check it, whenever the engine refuses one of them.
TEST_F(StartUpTest, ADamagedFileIsCalledDamagedWhereverAReadFindsIt)
{
    std::wstring folder = wintest::MakeTempFolder(L"dbopen_damaged");
    std::wstring sample = SampleDatabase(L"dbopen_damaged_sample");
    ASSERT_FALSE(sample.empty());
    long long pageSize = dbtest::QueryInt(sample, L"PRAGMA page_size");
    long long pages = dbtest::QueryInt(sample, L"PRAGMA page_count");
    int refused = 0;
    for (int k = 0; k < 10; ++k) {
        long long page = pages / 2 - 5 + k;
        SCOPED_TRACE("page " + std::to_string(page));
        std::wstring db = folder + L"\\poškozená" + std::to_wstring(k) + L".mdb";
        ASSERT_TRUE(CopyFileW(sample.c_str(), db.c_str(), FALSE));
        ASSERT_TRUE(badfiles::FlipBytes(db, (page - 1) * pageSize, 20));
        ASSERT_NE(L"ok", badfiles::IntegrityOf(db));
        bool readable = EngineReadsEveryRow(db);
        refused += readable ? 0 : 1;
        wintest::MsgBoxRecorder boxes;
        Start(WorkspaceFile(L"dbopen_damaged_ws", db.c_str()));
        ASSERT_TRUE(form->Database->IsOpen());
        EXPECT_TRUE(boxes.Boxes().empty()) << "the open reads no picture";
        ReadAllRecords(wnd, form->Workspace_);
        ShowEveryPicture(wnd, sample, boxes);
        if (readable) {
            EXPECT_TRUE(boxes.Boxes().empty()) << "nothing refused, nothing to tell";
        } else {
            ASSERT_EQ(1u, boxes.Boxes().size()) << "told once, by the read that met the page";
            EXPECT_EQ(zdata::OpenRefusalText(zdata::RefusalKind::Damaged, db), boxes.Boxes()[0].text);
            EXPECT_EQ(L"Chyba", boxes.Boxes()[0].caption);
            EXPECT_TRUE(boxes.Boxes()[0].type & MB_ICONERROR);
            EXPECT_EQ(wnd, boxes.Boxes()[0].owner);
        }
        TearDown();
    }
    EXPECT_GE(refused, 5) << "most of the pages are read";
}

// What a card shows: the selected item, its header's name and information lines, and whether
// the record page is in front.
std::vector<std::wstring> ViewOf(CTreeCard* card)
{
    HWND page = card->GetRecordPage();
    std::vector<std::wstring> view = {std::to_wstring((UINT_PTR)TreeView_GetSelection(card->GetTreeView())),
                                      std::to_wstring(GetWindowLongPtrW(page, GWL_STYLE) & WS_VISIBLE),
                                      wintest::WindowText(GetDlgItem(page, IDC_CARD_TITLE))};
    for (int i = 0; i < card->InfoStatics->GetCount(); ++i)
        view.push_back(wintest::WindowText((HWND)card->InfoStatics->GetItems()[i]));
    return view;
}

// A double click on the row of an item in the card's list of children.
void DoubleClickChild(CTreeCard* card, int id)
{
    HWND list = card->GetChildList();
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        if (ListView_GetItem(list, &item) && item.lParam && ((TreeItemData*)item.lParam)->Id == id) {
            NMITEMACTIVATE nm = {};
            nm.hdr = {list, IDC_CARD_CHILDLIST, (UINT)NM_DBLCLK};
            nm.iItem = row;
            SendMessageW(card->GetPage(), WM_NOTIFY, IDC_CARD_CHILDLIST, (LPARAM)&nm);
            return;
        }
    }
    ADD_FAILURE() << "no row of item " << id;
}

// Another program holds the file while the user picks an item whose records the card shows: a
// species clicked in the tree (another species shown), a locality double-clicked in its region's
// list of children. The pick ends at the first read the file refuses, within the busy timeout,
// with one Czech message over the window, which answers meanwhile; the card shows what it showed
// before. Once the other program has let go, the same pick shows the item.
TEST_F(StartUpTest, AnItemPickedWhileAnotherProgramHoldsTheFileIsGivenUpAtTheFirstRead)
{
    std::wstring db = SampleDatabase(L"dbopen_held");
    Start(WorkspaceFile(L"dbopen_held_ws", db.c_str()));
    ASSERT_TRUE(form->Database->IsOpen());
    auto id = [&](const wchar_t* sql) { return (int)dbtest::QueryInt(db, sql); };
    int species = id(L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1");
    int other = id(L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1 OFFSET 1");
    int locality = id(L"SELECT FTRID FROM ZORNACOLLS GROUP BY FTRID ORDER BY COUNT(*) DESC LIMIT 1");
    int region = id((L"SELECT PARENT FROM LOCTREE WHERE ID = " + std::to_wstring(locality)).c_str());
    Workspace* ws = form->Workspace_;
    const struct {
        const char* what;
        int tab;
        CTreeCard* card;
        int shown, picked;
        bool doubleClick;  // in the list of children of the item shown, else in the tree
    } cases[] = {
        {"species", TAB_SYSTEM, ws->SysCard, other, species, false},
        {"locality", TAB_LOCALITIES, ws->LocCard, region, locality, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ws->HidePage(wnd);
        SendDlgItemMessageW(wnd, kWorkspaceTabControlId, TCM_SETCURSEL, c.tab, 0);
        ws->ShowPage(wnd);
        WPARAM cardOf = c.card == ws->SysCard ? ZM_CARD_SYS : ZM_CARD_LOC;
        HWND tree = c.card->GetTreeView();
        if (!c.doubleClick)
            SendMessageW(wnd, ZM_GOTO_TREE_ITEM, cardOf, c.picked);
        HTREEITEM picked = TreeView_GetSelection(tree);
        SendMessageW(wnd, ZM_GOTO_TREE_ITEM, cardOf, c.shown);
        wintest::PumpMessages();
        for (HTREEITEM child = TreeView_GetChild(tree, TreeView_GetSelection(tree)); c.doubleClick && child;
             child = TreeView_GetNextSibling(tree, child))
            if (GetTreeItemData(tree, child)->Id == c.picked)
                picked = child;
        auto pick = [&] {
            if (c.doubleClick)
                DoubleClickChild(c.card, c.picked);
            else
                TreeView_SelectItem(tree, picked);
        };
        std::vector<std::wstring> before = ViewOf(c.card);
        wintest::MsgBoxRecorder boxes;
        {
            wintest::FileHolder holder(db, 20000);
            ASSERT_TRUE(holder.Holding());
            wintest::WindowProbe probe(wnd, 500, 3500, holder);
            DWORD start = GetTickCount();
            pick();
            EXPECT_LT(GetTickCount() - start, 4500u);
            wintest::PumpUntil([&] { return probe.Done() && !boxes.Boxes().empty(); }, 25000);
            EXPECT_TRUE(probe.AnsweredWhileHeld());
            EXPECT_TRUE(ViewOf(c.card) == before) << "the card shows what it showed";
        }
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(zdata::OpenRefusalText(zdata::RefusalKind::Locked, db), boxes.Boxes()[0].text);
        EXPECT_EQ(wnd, boxes.Boxes()[0].owner);
        pick();
        wintest::PumpMessages();
        EXPECT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(c.picked, c.card->GetCurrentId());
        std::vector<std::wstring> after = ViewOf(c.card);
        EXPECT_EQ(std::to_wstring((UINT_PTR)picked), after[0]);
        EXPECT_NE(before, after);
        EXPECT_NE(L"", after[2]);
    }
}

TEST_F(StartUpTest, NoConnectionOpensNothingAndShowsNothing)
{
    wintest::MsgBoxRecorder boxes;
    Start(WorkspaceFile(L"dbopen_none_ws", nullptr));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(seen.seen);
    EXPECT_TRUE(SplashGone());
    EXPECT_FALSE(form->Database->IsOpen());
    EXPECT_EQ(1, form->OpenFinished);
}

bool Write(const std::wstring& path, const std::string& bytes)
{
    FILE* f = _wfopen(path.c_str(), L"wb");
    bool written = f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (!f || fclose(f) == 0) && written;
}

// Settings files that are not read, in the workspace file at start-up and in a grid file the grid
// editor loads: refused unparsed (any DOCTYPE, more than a settings file holds) or damaged. The
// workspace file is kept aside (an older kept one too), so the exit writes the defaults beside it.
TEST_F(StartUpTest, SettingsFilesThatAreNotReadAreRefusedWithTheirReason)
{
    const std::string decl = "<?xml version=\"1.0\"?>\r\n<!--Zorna ", huge(kSettingsFileLimit, ' ');
    const std::string ws = decl + "Workspace Settings-->\r\n", grid = decl + "Grid Definition-->\r\n";
    const std::string entity = "<!DOCTYPE a [<!ENTITY a \"" + std::string(100000, 'a') + "\">]>";
    const std::string bare = grid + "<!DOCTYPE GridDef><GridDef><Grid Name=\"KFME\"/></GridDef>";
    std::string uses, grids, wide = "\xFF\xFE";
    for (int i = 0; i < 50000; ++i)
        uses += "&a;";
    for (int i = 1; i <= 60; ++i)
        grids += "<Grid" + std::to_string(i) + " Name=\"KFME\" LatMin=\"48.0000\" LatMax=\"51.3000\"/>\r\n";
    for (char c : bare)
        wide += std::string(1, c) + '\0';
    const wchar_t *doctype = L"deklaraci typu dokumentu", *large = L"větší než 8 MB";
    struct Row {
        const char* what;
        bool gridFile, olderKept;
        std::string bytes;
        const wchar_t* words;
    } rows[] = {
        {"entity in the workspace", false, false,
         ws + entity + "<Settings><System><Connection DBName=\"" + uses + "\"/></System></Settings>", doctype},
        {"entity in a grid file", true, false, grid + entity + "<GridDef><Grid Name=\"" + uses + "\"/></GridDef>", doctype},
        {"bare doctype", true, false, bare, doctype},
        {"doctype in UTF-16", true, false, wide, doctype},
        {"workspace too large", false, false, ws + "<Settings/>" + huge, large},
        {"grid file too large", true, false, grid + "<GridDef><Grid Name=\"KFME\"/></GridDef>" + huge, large},
        {"workspace cut at 2,000 bytes", false, true,
         (ws + "<Settings><MainForm ActiveTab=\"4\"/><Grids>" + grids + "</Grids></Settings>").substr(0, 2000),
         L"je poškozený"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        wintest::ScopedTempFolder folder(L"dbopen_unread");
        const std::wstring path = folder.Path() + (row.gridFile ? L"\\KFME.xml" : L"\\Zorna.xml");
        const std::wstring older = path + L".poškozený", kept = row.olderKept ? older + L".2" : older;
        ASSERT_TRUE(Write(path, row.bytes) && (!row.olderKept || Write(older, "older")));
        wintest::MsgBoxRecorder boxes;
        if (row.gridFile) {
            CEditGridDlg editor(Inst());
            editor.Work.LatMin = 7;
            EXPECT_EQ(0, LoadGridDefFile(&editor, nullptr, path.c_str()));
            EXPECT_EQ(7, editor.Work.LatMin);
            EXPECT_TRUE(row.bytes == wintest::ReadFileBytes(path));
        } else {
            ASSERT_NO_FATAL_FAILURE(Start(path));
            EXPECT_EQ(0, form->GridList->GetCount());
            EXPECT_FALSE(wintest::FileExists(path));
            SendMessageW(wnd, WM_CLOSE, 0, 0);  // the exit writes the defaults, beside the kept file
            wnd = nullptr;
            EXPECT_EQ(XmlFileWorkspace, GetXmlFileKind(path.c_str()));
            EXPECT_TRUE(row.bytes == wintest::ReadFileBytes(kept));
            EXPECT_TRUE(!row.olderKept || wintest::ReadFileBytes(older) == "older");
            TearDown();
        }
        EXPECT_EQ(1u, boxes.Boxes().size());
        const std::wstring text = boxes.Boxes().empty() ? L"" : boxes.Boxes()[0].text;
        EXPECT_EQ(0u, text.find(L"Soubor „" + path + L"“ ")) << text;
        EXPECT_NE(std::wstring::npos, text.find(row.words)) << text;
        EXPECT_EQ(!row.gridFile, text.find(L"„" + kept + L"“") != std::wstring::npos) << text;
    }
}

TEST_F(StartUpTest, AFileTypeConnectionWithoutAFileNameIsNoDatabase)
{
    wintest::MsgBoxRecorder boxes;
    Start(WorkspaceFile(L"dbopen_noname_ws", L""));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(SplashGone());
    EXPECT_FALSE(form->Database->IsOpen());
}

// The workspace file's tab, card and search settings reach the windows at start-up and go back
// into the file unchanged.
TEST_F(StartUpTest, TheSelectedTabCardItemAndSearchSortRoundTripThroughTheWorkspaceFile)
{
    std::wstring db = SampleDatabase(L"dbopen_roundtrip");
    ASSERT_FALSE(db.empty());
    int taxon = 0;
    {
        zor::RawOdbc raw;
        ASSERT_TRUE(raw.Open(db, false));
        taxon = (int)raw.QueryInt(
            L"SELECT ID FROM SYSTREE WHERE PARENT <> 0 ORDER BY SYSLEVEL DESC, ID LIMIT 1");
    }
    ASSERT_GT(taxon, 0);
    std::wstring file = wintest::MakeTempFolder(L"dbopen_roundtrip_ws") + L"\\Zorna.xml";
    {
        CXmlWriter writer(file.c_str());
        writer.AddComment(WORKSPACE_FILE_COMMENT);
        writer.CreateRoot(L"Settings");
        IXMLDOMElement* main = writer.AddElement(L"MainForm");
        writer.SetIntAttr(main, L"ActiveTab", 2);
        IXMLDOMElement* sysTab = writer.AddChildElement(main, L"SysTab");
        writer.SetIntAttr(sysTab, L"CurId", taxon);
        sysTab->Release();
        IXMLDOMElement* searchTab = writer.AddChildElement(main, L"SearchTab");
        writer.SetIntAttr(searchTab, L"SortCol", -2);
        searchTab->Release();
        main->Release();
        wstest::AddConnection(writer, db.c_str());
        writer.Save();
    }
    wintest::MsgBoxRecorder boxes;
    Start(file);
    ASSERT_TRUE(form->Database->IsOpen());
    Workspace* ws = form->Workspace_;
    EXPECT_EQ(2, ws->GetCurrentTab(wnd));
    EXPECT_TRUE(IsWindowVisible(ws->GetSearchList()));
    EXPECT_FALSE(IsWindowVisible(ws->GetCard(WS_SYS_CARD)->GetPage()));
    EXPECT_EQ(-2, ws->SearchSortCol);
    // The systematic card went to its item while the database loaded.
    HWND tree = ws->GetTreeView(WS_SYS_CARD);
    TVITEMW item = {};
    item.mask = TVIF_PARAM;
    item.hItem = TreeView_GetSelection(tree);
    ASSERT_TRUE(item.hItem);
    ASSERT_TRUE(TreeView_GetItem(tree, &item));
    EXPECT_EQ(taxon, reinterpret_cast<TreeItemData*>(item.lParam)->Id);

    DeleteFileW(file.c_str());
    SaveWorkspace(form, wnd);
    CXmlReader reader(file.c_str());
    IXMLDOMElement* main = reader.SelectElement(L"MainForm");
    ASSERT_TRUE(main);
    int activeTab = -1, curId = -1, sortCol = 0;
    reader.GetIntAttr(main, L"ActiveTab", &activeTab);
    IXMLDOMElement* sysTab = reader.SelectChildElement(main, L"SysTab");
    ASSERT_TRUE(sysTab);
    reader.GetIntAttr(sysTab, L"CurId", &curId);
    IXMLDOMElement* searchTab = reader.SelectChildElement(main, L"SearchTab");
    ASSERT_TRUE(searchTab);
    reader.GetIntAttr(searchTab, L"SortCol", &sortCol);
    searchTab->Release();
    sysTab->Release();
    main->Release();
    EXPECT_EQ(2, activeTab);
    EXPECT_EQ(taxon, curId);
    EXPECT_EQ(-2, sortCol);
    EXPECT_TRUE(boxes.Boxes().empty());
}

// A window standing in for the splash: records its progress positions and the WM_CLOSE it gets.
struct ProgressRecorder {
    HWND wnd = nullptr;
    std::vector<int> positions;
    int closes = 0;

    static LRESULT CALLBACK BarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR ref)
    {
        if (msg == PBM_SETPOS)
            reinterpret_cast<ProgressRecorder*>(ref)->positions.push_back((int)wParam);
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_CLOSE) {
            reinterpret_cast<ProgressRecorder*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))->closes++;
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    ProgressRecorder()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = Inst();
        wc.lpszClassName = L"ZornaProgressRecorder";
        RegisterClassW(&wc);
        wnd = CreateWindowW(L"ZornaProgressRecorder", L"", WS_POPUP, 0, 0, 200, 50, nullptr,
                            nullptr, Inst(), nullptr);
        SetWindowLongPtrW(wnd, GWLP_USERDATA, (LONG_PTR)this);
        HWND bar = CreateWindowW(PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 100, 10, wnd,
                                 (HMENU)(INT_PTR)IDC_SPLASH_PROGRESS, Inst(), nullptr);
        SetWindowSubclass(bar, BarProc, 1, (DWORD_PTR)this);
    }
    ~ProgressRecorder() { DestroyWindow(wnd); }
};

TEST_F(StartUpTest, TheLoadSequenceAdvancesTheBarAndClosesTheSplashWhenTheTimerHasFired)
{
    std::wstring db = SampleDatabase(L"dbopen_sequence");
    wintest::MsgBoxRecorder boxes;
    Start(WorkspaceFile(L"dbopen_sequence_ws", db.c_str()));
    ASSERT_TRUE(form->Database->IsOpen());

    ProgressRecorder recorder;
    form->SplashTimerFired = 1;
    form->OpenFinished = 0;
    EXPECT_TRUE(OnDatabaseOpened(form, recorder.wnd));
    std::vector<int> expected = {0, 4, 9, 13, 18, 22, 27, 31, 36, 40, 45,
                                 50, 54, 59, 63, 68, 72, 77, 81, 86, 90, 95};
    EXPECT_EQ(expected, recorder.positions);
    EXPECT_EQ(1, recorder.closes);
    EXPECT_EQ(0, form->OpenFinished);

    // Before the timer has fired the end of the load only marks the opening finished.
    form->SplashTimerFired = 0;
    recorder.positions.clear();
    EXPECT_TRUE(OnDatabaseOpened(form, recorder.wnd));
    EXPECT_EQ(1, recorder.closes);
    EXPECT_EQ(1, form->OpenFinished);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(StartUpTest, ClosingEmptiesTheCardsAndTheConfigurationAndGreysTheConfigurationCommand)
{
    std::wstring db = SampleDatabase(L"dbopen_close");
    wintest::MsgBoxRecorder boxes;
    Start(WorkspaceFile(L"dbopen_close_ws", db.c_str()));
    ASSERT_TRUE(form->Database->IsOpen());
    ASSERT_GT(form->Config->SearchFields->GetCount(), 0);

    OnCloseDatabase(form, wnd);
    EXPECT_FALSE(form->Database->IsOpen());
    EXPECT_EQ(0, TreeCount(form->Workspace_->GetTreeView(WS_SYS_CARD)));
    EXPECT_EQ(0, TreeCount(form->Workspace_->GetTreeView(WS_LOC_CARD)));
    EXPECT_EQ(0, form->Config->SearchFields->GetCount());
    EXPECT_EQ(0, form->Config->SysFields->GetCount());
    UINT state = GetMenuState(GetMenu(wnd), 107, MF_BYCOMMAND);
    EXPECT_TRUE(state & (MF_GRAYED | MF_DISABLED));
    // No column keeps an entry of the emptied lists.
    HWND header = ListView_GetHeader(form->Workspace_->GetSearchList());
    for (int i = 0; i < Header_GetItemCount(header); i++) {
        HDITEMW item = {};
        item.mask = HDI_LPARAM;
        SendMessageW(header, HDM_GETITEMW, i, (LPARAM)&item);
        EXPECT_EQ(0, item.lParam);
    }
    wchar_t title[128] = L"";
    GetWindowTextW(wnd, title, 128);
    EXPECT_EQ(nullptr, wcsstr(title, L"ZorBase.mdb"));

    // Closing again only refreshes the title.
    OnCloseDatabase(form, wnd);
    EXPECT_FALSE(form->Database->IsOpen());
    EXPECT_TRUE(boxes.Boxes().empty());
}

// Without a database the record lists offer no new record and no export (the literature tab
// included); a map keeps its shapefiles but its record layers lose the closed database's records,
// and get the records of the database opened again.
TEST_F(StartUpTest, ClosingGraysTheRecordCommandsAndEmptiesTheMapsRecordLayers)
{
    std::wstring db = SampleDatabase(L"dbopen_closemap");
    wintest::MsgBoxRecorder boxes;
    Start(WorkspaceFile(L"dbopen_closemap_ws", db.c_str()));
    ASSERT_TRUE(form->Database->IsOpen());
    Workspace* ws = form->Workspace_;
    HWND records = form->RecordToolbar->Toolbar;
    auto enabled = [&](int command) { return (SendMessageW(records, TB_GETSTATE, command, 0) & TBSTATE_ENABLED) != 0; };
    auto showTab = [&](int tab) {
        ws->HidePage(wnd);
        TabCtrl_SetCurSel(GetDlgItem(wnd, kWorkspaceTabControlId), tab);
        ws->ShowPage(wnd);
    };
    showTab(TAB_LITERATURE);
    EXPECT_TRUE(enabled(IDM_NEWRECORD));
    EXPECT_TRUE(enabled(IDM_EXPORTRECORDS));

    // A map of the species with the most records, drawn once with its record layer.
    long long taxon = 0;
    {
        zor::RawOdbc raw;
        ASSERT_TRUE(raw.Open(db, false));
        taxon = raw.QueryInt(L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1");
    }
    SendMessageW(wnd, ZM_GOTO_TREE_ITEM, ZM_CARD_SYS, (LPARAM)taxon);
    ws->NewMap(wnd, form->GridList);
    CZMapWnd* map = ws->GetMapCard(ws->GetCurrentTab(wnd));
    ASSERT_NE(map, nullptr);
    LegendItem* layer = NewInfoLegendItem(L"Zápisy", nullptr, INFO_RECORDS, 16, 16, nullptr);
    ASSERT_GE(map->InsertLegendRow(layer, 0, true), 0);
    map->SetExtent(12, 48.5, 19, 51);
    map->ZoomToExtent();
    auto drawnPoints = [&] {
        RedrawWindow(map->View, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return layer->Shapes && layer->Shapes->GetCount() > 0
                   ? static_cast<LayerShape*>(layer->Shapes->GetItems()[0])->Shape->nVertices
                   : 0;
    };
    ASSERT_GT(drawnPoints(), 0);

    OnCloseDatabase(form, wnd);
    RECT pending = {};
    EXPECT_TRUE(GetUpdateRect(map->View, &pending, FALSE)) << "the shown map is drawn again";
    EXPECT_EQ(0, drawnPoints());
    // The map's own commands stay; the record lists' go gray.
    EXPECT_TRUE(enabled(IDM_EXPORTRECORDS));
    showTab(TAB_LITERATURE);
    EXPECT_FALSE(enabled(IDM_NEWRECORD));
    EXPECT_FALSE(enabled(IDM_EXPORTRECORDS));
    showTab(TAB_SEARCH);
    EXPECT_FALSE(enabled(IDM_NEWRECORD));
    EXPECT_FALSE(enabled(IDM_EXPORTRECORDS));

    // Opened again, the map's record layer shows the species' records again.
    OnOpenDatabase(form, nullptr);
    HWND sysTree = ws->GetTreeView(WS_SYS_CARD);
    ASSERT_TRUE(wintest::PumpUntil([&] { return TreeCount(sysTree) > 1; }, 20000));
    wintest::PumpMessages(100);
    showTab(kFirstMapTab);
    EXPECT_GT(drawnPoints(), 0);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(StartUpTest, OpeningFromTheMenuLoadsWithoutASplash)
{
    std::wstring db = SampleDatabase(L"dbopen_menu");
    wintest::MsgBoxRecorder boxes;
    Start(WorkspaceFile(L"dbopen_menu_ws", nullptr));
    ASSERT_FALSE(form->Database->IsOpen());
    free(form->Conn.DBName);
    form->Conn.DBName = _wcsdup(db.c_str());
    form->Conn.ConnType = 1;

    OnCloseDatabase(form, wnd);
    OnOpenDatabase(form, nullptr);
    HWND sysTree = form->Workspace_->GetTreeView(WS_SYS_CARD);
    EXPECT_TRUE(wintest::PumpUntil([&] { return TreeCount(sysTree) > 1; }, 20000));
    EXPECT_TRUE(form->Database->IsOpen());
    HWND splash = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindSplash, (LPARAM)&splash);
    EXPECT_EQ(nullptr, splash);
    EXPECT_TRUE(boxes.Boxes().empty());
    wchar_t title[128] = L"";
    GetWindowTextW(wnd, title, 128);
    EXPECT_NE(nullptr, wcsstr(title, L"ZorBase.mdb"));
}

TEST_F(StartUpTest, AFailedOpenFromTheMenuEndsWith501)
{
    wintest::MsgBoxRecorder boxes;
    Start(WorkspaceFile(L"dbopen_menufail_ws", nullptr));
    std::wstring missing = wintest::MakeTempFolder(L"dbopen_menufail") + L"\\Chybi.mdb";
    free(form->Conn.DBName);
    form->Conn.DBName = _wcsdup(missing.c_str());
    form->Conn.ConnType = 1;
    OnOpenDatabase(form, nullptr);
    EXPECT_TRUE(wintest::PumpUntil([&] { return !boxes.Boxes().empty(); }, 20000));
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(L"Databáze nemohla být otevřena\n\n" + zdata::OpenRefusalText(zdata::RefusalKind::CannotOpen, missing),
              boxes.Boxes()[0].text);
}

// ---- the Czech alphabetical order ----

// The labels of the items below an item of a tree (below the root for null).
std::vector<std::wstring> ChildLabels(HWND tree, HTREEITEM parent)
{
    std::vector<std::wstring> labels;
    for (HTREEITEM item = TreeView_GetChild(tree, parent ? parent : TVI_ROOT); item;
         item = TreeView_GetNextSibling(tree, item))
        labels.push_back(wintest::TreeItemText(tree, item));
    return labels;
}

// Each next text sorts after (or with) the one before in the Czech order.
::testing::AssertionResult InCzechOrder(const std::vector<std::wstring>& texts)
{
    for (size_t i = 1; i < texts.size(); i++)
        if (CzechCompare(texts[i - 1], texts[i]) > 0)
            return ::testing::AssertionFailure() << "entry " << i << " sorts before the one above it";
    return ::testing::AssertionSuccess();
}

// Region and locality names that the Czech alphabet sorts apart from the code points, given to
// the sample's first regions and localities. Gives the regions' names in Czech order.
std::vector<std::wstring> GiveCzechNames(const std::wstring& db)
{
    zor::RawOdbc raw;
    EXPECT_TRUE(raw.Open(db, false));
    const wchar_t* regions[] = { L"Zlínský kraj", L"Ústecký kraj", L"Chrudimsko", L"Hradecko", L"Českobudějovicko" };
    const wchar_t* places[] = { L"Cvikov", L"Čistá", L"Chrudim", L"Chlumec", L"Cerhenice", L"Hradec", L"Úsobí" };
    auto rename = [&raw](const wchar_t* table, const wchar_t* key, const wchar_t* where, const wchar_t* name,
                         int nth) {
        EXPECT_TRUE(raw.Exec(std::wstring(L"UPDATE ") + table + L" SET NAME = '" + name + L"' WHERE " + key +
                             L" = (SELECT " + key + L" FROM " + table + where + L" ORDER BY " + key +
                             L" LIMIT 1 OFFSET " + std::to_wstring(nth) + L")"));
    };
    std::vector<std::wstring> given;
    long long count = raw.QueryInt(L"SELECT COUNT(*) FROM LOCTREE WHERE LOCLEVEL = 1");
    for (int i = 0; i < 5 && i < count; i++) {
        rename(L"LOCTREE", L"ID", L" WHERE LOCLEVEL = 1", regions[i], i);
        given.push_back(regions[i]);
    }
    for (int i = 0; i < 7; i++)
        rename(L"FEATURES", L"LOCID", L"", places[i], i);
    std::sort(given.begin(), given.end(), CzechLess());
    return given;
}

TEST_F(StartUpTest, WithoutTheCollationExtensionTheDatabaseOpensWithOneWarning)
{
    std::wstring db = SampleDatabase(L"dbopen_nocollation");
    std::vector<std::wstring> czech = GiveCzechNames(db);
    std::wstring programs = wintest::MakeTempFolder(L"dbopen_nocollation_programs");
    zdata::SetCollationExtensionFolder(programs.c_str());
    wintest::MsgBoxRecorder boxes;
    Start(WorkspaceFile(L"dbopen_nocollation_ws", db.c_str()));
    zdata::SetCollationExtensionFolder(nullptr);

    ASSERT_EQ(1u, boxes.Boxes().size());
    const wintest::MsgBoxRecorder::Box& box = boxes.Boxes()[0];
    EXPECT_EQ(L"Varování", box.caption);
    EXPECT_TRUE(box.type & MB_ICONWARNING);
    EXPECT_NE(std::wstring::npos, box.text.find(programs + L"\\" + zdata::CollationExtensionFileName()))
        << Utf8(box.text);
    EXPECT_NE(std::wstring::npos, box.text.find(L"české abecedy"));
    EXPECT_TRUE(SplashGone());
    ASSERT_TRUE(form->Database->IsOpen());
    // The trees load in the schema's own order: Č, Ř, Ú, Ž after Z.
    HWND locTree = form->Workspace_->GetTreeView(WS_LOC_CARD);
    std::vector<std::wstring> regions = ChildLabels(locTree, TreeView_GetRoot(locTree));
    std::vector<std::wstring> plain = czech;
    std::sort(plain.begin(), plain.end(), [](const std::wstring& a, const std::wstring& b) {
        return _wcsicmp(a.c_str(), b.c_str()) < 0;  // NOCASE for these names
    });
    EXPECT_EQ(plain, regions);
    EXPECT_NE(czech, regions);
}

TEST_F(StartUpTest, TheTreesListsAndNameCombosFollowTheCzechAlphabet)
{
    std::wstring db = SampleDatabase(L"dbopen_czech");
    std::vector<std::wstring> czech = GiveCzechNames(db);
    zor::RawOdbc raw;
    ASSERT_TRUE(raw.Open(db, false));
    wintest::MsgBoxRecorder boxes;
    Start(WorkspaceFile(L"dbopen_czech_ws", db.c_str()));
    EXPECT_TRUE(boxes.Boxes().empty());
    ASSERT_TRUE(form->Database->IsOpen());
    Workspace* ws = form->Workspace_;

    // The locality tree: regions, and a region's districts.
    HWND locTree = ws->GetTreeView(WS_LOC_CARD);
    HTREEITEM top = TreeView_GetRoot(locTree);
    EXPECT_EQ(czech, ChildLabels(locTree, top));
    HTREEITEM region = TreeView_GetChild(locTree, top);
    SendMessageW(locTree, TVM_EXPAND, TVE_EXPAND, (LPARAM)top);
    SendMessageW(locTree, TVM_EXPAND, TVE_EXPAND, (LPARAM)region);
    EXPECT_TRUE(InCzechOrder(ChildLabels(locTree, region)));
    ws->HidePage(wnd);
    TabCtrl_SetCurSel(GetDlgItem(wnd, kWorkspaceTabControlId), TAB_LOCALITIES);
    ws->ShowPage(wnd);
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    wintest::PumpMessages(100);
    EXPECT_FALSE(wintest::SaveScreenshot(wnd, L"czech_locality_tree").empty());

    // The name combo's type-ahead of the localities: "C" lists the c-names, not the ch-names, as
    // "Ch" lists these.
    HWND combo = form->Toolbar->Combo;
    for (const wchar_t* typed : { L"C", L"Ch" }) {
        SetWindowTextW(combo, typed);
        SendMessageW(wnd, ZM_FILTER_NAMES_BY_COMBO, ZM_NAMES_FEATURES + 1, (LPARAM)combo);
        int count = (int)SendMessageW(combo, CB_GETCOUNT, 0, 0);
        ASSERT_GT(count, 0) << Utf8(typed);
        std::vector<std::wstring> names;
        for (int i = 0; i < count; i++) {
            wchar_t text[260] = L"";
            SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)text);
            names.push_back(text);
            bool ch = CzIsDigraphCh(text[0], text[1]);
            EXPECT_EQ(std::wstring(typed) == L"Ch", ch) << Utf8(text);
        }
        EXPECT_TRUE(InCzechOrder(names)) << Utf8(typed);
    }
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    wintest::PumpMessages(100);
    EXPECT_FALSE(wintest::SaveScreenshot(wnd, L"czech_name_combo").empty());
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);

    // The record list of the taxon with the most records, sorted by "Lokalita".
    ws->HidePage(wnd);
    TabCtrl_SetCurSel(GetDlgItem(wnd, kWorkspaceTabControlId), TAB_SYSTEM);
    ws->ShowPage(wnd);
    long long taxon = raw.QueryInt(L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1");
    SendMessageW(wnd, ZM_GOTO_TREE_ITEM, ZM_CARD_SYS, (LPARAM)taxon);
    HWND list = ws->SysCard->GetRecordList();
    ASSERT_TRUE(wintest::PumpUntil([&] { return ListView_GetItemCount(list) > 1; }));
    HWND header = ListView_GetHeader(list);
    int column = -1;
    for (int c = 0; c < Header_GetItemCount(header); c++) {
        if (wintest::HeaderCaption(header, c) == L"Lokalita")
            column = c;
    }
    ASSERT_GE(column, 0) << "no column Lokalita";
    wintest::ClickListColumn(list, column);
    std::vector<std::wstring> localities;
    for (int row = 0; row < ListView_GetItemCount(list); row++)
        localities.push_back(wintest::ListCellText(list, row, column));
    EXPECT_TRUE(InCzechOrder(localities));
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    wintest::PumpMessages(100);
    EXPECT_FALSE(wintest::SaveScreenshot(wnd, L"czech_records_by_locality").empty());

    // The describing authors, as the owner-data combos of the dialogs read them row by row.
    int authors = 0;
    SendMessageW(wnd, ZM_GET_AUTHOR_LIST, 0, (LPARAM)&authors);
    ASSERT_GT(authors, 3);
    HWND shown = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | WS_VISIBLE | WS_BORDER | WS_VSCROLL, 0, 0, 260,
                                 400, wnd, nullptr, Inst(), nullptr);
    SendMessageW(shown, WM_SETFONT, SendMessageW(wnd, WM_GETFONT, 0, 0), FALSE);
    std::vector<std::wstring> names;
    for (int row = 0; row < authors; row++) {
        wchar_t text[128] = L"";
        ZmTextRequest request = {text, 128, 0};
        SendMessageW(wnd, ZM_GET_AUTHOR_TEXT, row, (LPARAM)&request);
        names.push_back(text);
        SendMessageW(shown, LB_ADDSTRING, 0, (LPARAM)text);
    }
    EXPECT_TRUE(InCzechOrder(names));
    wintest::PumpMessages(100);
    EXPECT_FALSE(wintest::SaveScreenshot(shown, L"czech_author_list").empty());
    DestroyWindow(shown);
}

}  // namespace
