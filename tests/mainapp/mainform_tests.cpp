// The main form built for real in-process (window, components, start-up with the splash), its
// layout, notifications, closing and message loop, and the program's single-instance start as a
// separate process.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browse/workspace.h"
#include "core/database.h"
#include "core/longpath.h"
#include "tools/sampledb/sampledb.h"
#include "core/xmlaccess.h"
#include "mainapp/commands.h"
#include "shellcontract/configdata.h"
#include "mainapp/mainform.h"
#include "mainapp/toolbars.h"
#include "mainapp/wssettings.h"
#include "shellcontract/zm_protocol.h"
#include "tools/testkit/workspacefile.h"
#include "tests/support/wintest.h"

namespace {

HINSTANCE Inst() { return GetModuleHandleW(nullptr); }

using wintest::RectIn;
using wintest::WindowText;

std::wstring ResString(UINT id)
{
    wchar_t buf[256] = L"";
    LoadStringW(Inst(), id, buf, 256);
    return buf;
}

// Main-window messages seen by a subclass in front of the dialog procedure. Accelerator and
// menu commands are only recorded: what they would do is not under test here.
struct Spy {
    static Spy* active;
    WNDPROC previous = nullptr;
    std::vector<std::pair<WORD, WORD>> commands;  // (id, notification code)
    bool swallowCommands = true;

    void Attach(HWND wnd)
    {
        active = this;
        previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Spy::Proc)));
    }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        Spy* s = active;
        if (msg == WM_COMMAND) {
            s->commands.push_back({LOWORD(wParam), HIWORD(wParam)});
            if (s->swallowCommands)
                return 0;
        }
        return CallWindowProcW(s->previous, hwnd, msg, wParam, lParam);
    }
    bool Saw(WORD id) const
    {
        for (auto& c : commands)
            if (c.first == id)
                return true;
        return false;
    }
};
Spy* Spy::active = nullptr;

// A main form built the way the program builds it, with its own last workspace file in a
// fresh folder; message boxes are answered by a recorder.
struct FormRun {
    std::unique_ptr<wintest::MsgBoxRecorder> boxes;
    std::wstring configPath;
    MainForm* form = nullptr;
    HWND wnd = nullptr;
    HACCEL accel = nullptr;

    void Open()
    {
        boxes.reset(new wintest::MsgBoxRecorder());
        SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"30");
        configPath = wintest::MakeTempFolder(L"mainform") + L"\\Pracovni.xml";
        WriteLastConfigPath(configPath.c_str());
        form = new MainForm(Inst(), MainFormDlgProc, &wnd, &accel);
        if (wnd)
            SetWindowPos(wnd, nullptr, 0, 0, 960, 640, SWP_NOZORDER | SWP_NOMOVE);
        wintest::PumpMessages();
    }
    void Close()
    {
        if (wnd && IsWindow(wnd))
            DestroyWindow(wnd);
        wintest::PumpMessages();  // takes the quit message out of the queue
        delete form;
        form = nullptr;
        wnd = nullptr;
        boxes.reset();
        SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", nullptr);
    }
};

class FormTestBase : public ::testing::Test {
protected:
    void Take(FormRun& run)
    {
        form = run.form;
        wnd = run.wnd;
        accel = run.accel;
        configPath = run.configPath;
        boxes = run.boxes.get();
    }
    HWND Item(int id) const { return GetDlgItem(wnd, id); }
    // Resizes the window's contents as WM_SIZE does for the tab now current.
    void SelectTab(int tab)
    {
        TabCtrl_SetCurSel(Item(1002), tab);
        RECT client = {};
        GetClientRect(wnd, &client);
        SendMessageW(wnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    }
    // Changes the page as a click on the tab does.
    void ShowTab(int tab)
    {
        form->Workspace_->HidePage(wnd);
        SelectTab(tab);
        form->Workspace_->ShowPage(wnd);
    }
    std::wstring Tooltip(int command)
    {
        NMTTDISPINFOW info = {};
        info.hdr.hwndFrom = reinterpret_cast<HWND>(SendMessageW(Item(1000), TB_GETTOOLTIPS, 0, 0));
        info.hdr.idFrom = command;
        info.hdr.code = TTN_GETDISPINFOW;
        SendMessageW(wnd, WM_NOTIFY, command, reinterpret_cast<LPARAM>(&info));
        return info.lpszText ? info.lpszText : L"";
    }

    wintest::MsgBoxRecorder* boxes = nullptr;
    std::wstring configPath;
    MainForm* form = nullptr;
    HWND wnd = nullptr;
    HACCEL accel = nullptr;
};

// A form of its own for every test: the tests that close it.
class MainFormTest : public FormTestBase {
protected:
    void SetUp() override
    {
        run.Open();
        Take(run);
        ASSERT_NE(wnd, nullptr);
    }
    void TearDown() override
    {
        run.Close();
        form = nullptr;
        wnd = nullptr;
    }
    FormRun run;
};

// One form for the tests that only look at it: destroying a shown top-level window costs
// seconds on a display without a window manager.
class MainFormViewTest : public FormTestBase {
protected:
    static void SetUpTestSuite()
    {
        shared = new FormRun();
        shared->Open();
    }
    static void TearDownTestSuite()
    {
        shared->Close();
        delete shared;
        shared = nullptr;
    }
    void SetUp() override
    {
        Take(*shared);
        ASSERT_NE(wnd, nullptr);
        ASSERT_TRUE(IsWindow(wnd));
        SetWindowPos(wnd, nullptr, 0, 0, 960, 640, SWP_NOZORDER | SWP_NOMOVE);
        ShowTab(0);
        form->HintFrom = form->HintTo = 0;
    }
    static FormRun* shared;
};
FormRun* MainFormViewTest::shared = nullptr;

// ---------------------------------------------------------------- construction

TEST_F(MainFormViewTest, ConstructionGivesTheVisibleMainWindowWithEveryComponent)
{
    EXPECT_EQ(form->MainWnd, wnd);
    EXPECT_EQ(MainFormOf(wnd), form);
    wchar_t cls[32] = L"";
    GetClassNameW(wnd, cls, 32);
    EXPECT_STREQ(cls, L"ZORNAWND");
    EXPECT_TRUE(IsWindowVisible(wnd));
    EXPECT_EQ(form->FirstShowPending, 0);  // the start-up ran
    EXPECT_NE(form->Toolbar, nullptr);
    EXPECT_NE(form->RecordToolbar, nullptr);
    EXPECT_NE(form->Config, nullptr);
    EXPECT_NE(form->Workspace_, nullptr);
    EXPECT_NE(form->Database, nullptr);
    EXPECT_NE(form->ConnForm, nullptr);
    EXPECT_NE(form->TextExport, nullptr);
    EXPECT_NE(form->ExcelExport, nullptr);
    EXPECT_NE(form->GridList, nullptr);
    EXPECT_NE(form->SearchPage, nullptr);
    EXPECT_EQ(form->TermsEditor, nullptr);
    EXPECT_EQ(form->LastExpType, 0);
    EXPECT_EQ(form->LastExpImgType, 0);
    EXPECT_NE(form->ViewMenu, nullptr);
    EXPECT_NE(form->MapMenu, nullptr);
    EXPECT_EQ(form->ConfigPath, configPath);
    HMENU bar = GetMenu(wnd);
    ASSERT_NE(bar, nullptr);
    wchar_t first[64] = L"";
    GetMenuStringW(bar, 0, first, 64, MF_BYPOSITION);
    EXPECT_STREQ(first, L"&Soubor");
}

TEST_F(MainFormViewTest, WindowClassIsTheDialogClassOfTheTemplate)
{
    WNDCLASSEXW wc = {sizeof(wc)};
    ASSERT_TRUE(GetClassInfoExW(Inst(), L"ZORNAWND", &wc));
    EXPECT_EQ(wc.style, static_cast<UINT>(CS_DBLCLKS | CS_SAVEBITS));
    EXPECT_EQ(wc.cbWndExtra, DLGWINDOWEXTRA);
    EXPECT_NE(wc.hIcon, nullptr);
    EXPECT_EQ(wc.hCursor, LoadCursorW(nullptr, IDC_ARROW));
}

TEST_F(MainFormViewTest, AcceleratorTableHoldsTheFourShortcuts)
{
    ASSERT_NE(accel, nullptr);
    EXPECT_EQ(form->Accel, accel);
    ACCEL entries[8] = {};
    ASSERT_EQ(CopyAcceleratorTableW(accel, entries, 8), 4);
    struct { WORD key, cmd; } expected[4] = {{'O', 101}, {'S', 102}, {'N', 104}, {VK_F4, 602}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(entries[i].key, expected[i].key) << i;
        EXPECT_EQ(entries[i].cmd, expected[i].cmd) << i;
        EXPECT_EQ(entries[i].fVirt & (FVIRTKEY | FCONTROL | FSHIFT | FALT), FVIRTKEY | FCONTROL) << i;
    }
}

TEST_F(MainFormViewTest, TitleIsTheCaptionWithoutDatabase)
{
    ASSERT_NE(form->Config, nullptr);
    const wchar_t* caption = form->Config->AppCaption;
    EXPECT_EQ(WindowText(wnd), caption ? std::wstring(caption) : std::wstring());
    EXPECT_NE(WindowText(wnd), L"Zorna 2011");  // the template's caption is replaced
}

TEST_F(MainFormViewTest, StatusBarHasTwoParts)
{
    int edges[4] = {};
    ASSERT_EQ(SendMessageW(Item(1001), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 2);
    EXPECT_EQ(edges[0], 146);
    EXPECT_EQ(edges[1], -1);
}

// ---------------------------------------------------------------- layout

void ExpectLayoutRules(HWND wnd)
{
    RECT client = {};
    GetClientRect(wnd, &client);
    RECT main = RectIn(GetDlgItem(wnd, 1000), wnd);
    RECT status = RectIn(GetDlgItem(wnd, 1001), wnd);
    RECT record = RectIn(GetDlgItem(wnd, 1003), wnd);
    RECT tabs = RectIn(GetDlgItem(wnd, 1002), wnd);
    EXPECT_EQ(main.top, 0);
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_EQ(record.left, 0);
    EXPECT_EQ(record.bottom, status.top);  // the record toolbar sits on the status bar
    EXPECT_EQ(tabs.left, 0);
    EXPECT_EQ(tabs.top, main.bottom - main.top);
    EXPECT_EQ(tabs.right, client.right);
    EXPECT_EQ(tabs.bottom, record.top + 2);  // two pixels over the record toolbar
}

TEST_F(MainFormViewTest, SizeLaysOutToolbarsTabsAndStatusBar)
{
    {
        SCOPED_TRACE("960 x 640");
        ExpectLayoutRules(wnd);
    }
    SetWindowPos(wnd, nullptr, 0, 0, 1200, 800, SWP_NOZORDER | SWP_NOMOVE);
    {
        SCOPED_TRACE("1200 x 800");
        ExpectLayoutRules(wnd);
    }
    SetWindowPos(wnd, nullptr, 0, 0, 700, 480, SWP_NOZORDER | SWP_NOMOVE);
    {
        SCOPED_TRACE("700 x 480");
        ExpectLayoutRules(wnd);
    }
}

// The combo follows the last button of the tab's group: 404 on the tree cards, 303 on the
// search and literature pages.
TEST_F(MainFormViewTest, SizeChoosesTheToolbarGroupOfTheCurrentTab)
{
    HWND tb = Item(1000);
    auto comboLeft = [&] { return RectIn(form->Toolbar->Host, tb).left; };
    auto rightOf = [&](int index) {
        RECT r = {};
        SendMessageW(tb, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
        return r.right;
    };
    SelectTab(0);
    EXPECT_EQ(comboLeft(), rightOf(10));
    SelectTab(2);
    EXPECT_EQ(comboLeft(), rightOf(5));
    SelectTab(1);
    EXPECT_EQ(comboLeft(), rightOf(10));
    EXPECT_EQ(MainToolbarGroupOfTab(0), 6);
    EXPECT_EQ(MainToolbarGroupOfTab(1), 6);
    EXPECT_EQ(MainToolbarGroupOfTab(2), 11);
    EXPECT_EQ(MainToolbarGroupOfTab(3), 11);
    EXPECT_EQ(MainToolbarGroupOfTab(4), 0);
    EXPECT_EQ(MainToolbarGroupOfTab(7), 0);
}

TEST_F(MainFormViewTest, MinimumTrackingSizeIsTheControlsLess90Pixels)
{
    auto clientHeight = [](HWND w) {
        RECT r = {};
        GetClientRect(w, &r);
        return r.bottom;
    };
    RECT button = {};
    SendMessageW(Item(1003), TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&button));
    RECT display = {0, 0, 0, 20};
    SendMessageW(Item(1002), TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&display));
    int height = clientHeight(Item(1003)) + clientHeight(Item(1000)) + clientHeight(Item(1001))
                 + display.bottom - display.top;
    RECT frame = {0, 0, 6 * (button.right - button.left) + 4, height};
    AdjustWindowRectEx(&frame, WS_POPUP | WS_VISIBLE | WS_OVERLAPPEDWINDOW, TRUE, WS_EX_APPWINDOW);

    MINMAXINFO info = {};
    info.ptMinTrackSize = {1, 1};
    SendMessageW(wnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, frame.right - frame.left);
    EXPECT_EQ(info.ptMinTrackSize.y, frame.bottom - frame.top - 90);
    EXPECT_GT(button.right - button.left, 0);
}

// ---------------------------------------------------------------- notifications

TEST_F(MainFormViewTest, TooltipsAreStrings200And230PlusTheButtonIndex)
{
    EXPECT_EQ(Tooltip(404), L"Podrobnosti");  // main toolbar index 10
    EXPECT_EQ(Tooltip(101), ResString(200));
    EXPECT_EQ(Tooltip(101), L"Otevřít šablonu");
    EXPECT_EQ(Tooltip(607), L"Přidat dotaz");  // index 16
    EXPECT_EQ(Tooltip(108), L"Ukončit");       // index 19
    EXPECT_EQ(Tooltip(2001), L"Nový zápis");   // record toolbar index 0
    EXPECT_EQ(Tooltip(2003), L"Smazání zápisu");
    EXPECT_EQ(Tooltip(2004), L"Export zápisů");  // index 4: string 234
    EXPECT_EQ(Tooltip(2006), L"Ukázat nápovědu");
}

// The toolbars' own tooltip windows ask the main window for their texts.
TEST_F(MainFormViewTest, ToolbarTooltipWindowsShowTheTexts)
{
    auto ask = [&](int toolbarId, int command) {
        HWND tips = reinterpret_cast<HWND>(SendMessageW(Item(toolbarId), TB_GETTOOLTIPS, 0, 0));
        wchar_t buf[80] = L"";
        TTTOOLINFOW ti = {};
        ti.cbSize = sizeof(ti);
        ti.hwnd = Item(toolbarId);
        ti.uId = command;
        ti.lpszText = buf;
        SendMessageW(tips, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&ti));
        return std::wstring(buf);
    };
    EXPECT_EQ(ask(1000, 404), L"Podrobnosti");
    EXPECT_EQ(ask(1003, 2005), L"Tisk zápisů");
}

// A private message may leave 1 in the result slot; a click on another tab must still change
// the page.
TEST_F(MainFormViewTest, TabClickChangesThePageWhateverTheResultSlotHeld)
{
    ASSERT_EQ(TabCtrl_GetCurSel(Item(1002)), 0);
    SetWindowLongPtrW(wnd, DWLP_MSGRESULT, 1);
    RECT item = {};
    TabCtrl_GetItemRect(Item(1002), 2, &item);
    LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageW(Item(1002), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(Item(1002), WM_LBUTTONUP, 0, at);
    wintest::PumpMessages();
    EXPECT_EQ(TabCtrl_GetCurSel(Item(1002)), 2);
    HWND searchList = form->Workspace_->GetSearchList();
    ASSERT_NE(searchList, nullptr);
    EXPECT_TRUE(IsWindowVisible(searchList));
    HWND sysPage = form->Workspace_->GetPageWindow(0);
    ASSERT_NE(sysPage, nullptr);
    EXPECT_FALSE(IsWindowVisible(sysPage));
}

TEST_F(MainFormViewTest, NotificationsFromOtherWindowsAreNotTaken)
{
    NMHDR nm = {};
    nm.hwndFrom = Item(1000);  // not the tab control
    nm.idFrom = 1000;
    nm.code = TCN_SELCHANGING;
    SendMessageW(wnd, WM_NOTIFY, 1000, reinterpret_cast<LPARAM>(&nm));
    EXPECT_EQ(GetWindowLongPtrW(wnd, DWLP_MSGRESULT), 0);
    NMLVCACHEHINT hint = {};
    hint.hdr.hwndFrom = Item(1002);  // not the search list
    hint.hdr.code = LVN_ODCACHEHINT;
    hint.iFrom = 7;
    hint.iTo = 30;
    SendMessageW(wnd, WM_NOTIFY, 1002, reinterpret_cast<LPARAM>(&hint));
    EXPECT_EQ(form->HintFrom, 0);
    EXPECT_EQ(form->HintTo, 0);
}

TEST_F(MainFormViewTest, RepeatedCacheHintInvalidatesNothing)
{
    SelectTab(2);
    HWND list = form->Workspace_->GetSearchList();
    ASSERT_NE(list, nullptr);
    ShowWindow(list, SW_SHOW);
    auto hint = [&](int from, int to) {
        NMLVCACHEHINT h = {};
        h.hdr.hwndFrom = list;
        h.hdr.idFrom = GetDlgCtrlID(list);
        h.hdr.code = LVN_ODCACHEHINT;
        h.iFrom = from;
        h.iTo = to;
        SendMessageW(wnd, WM_NOTIFY, h.hdr.idFrom, reinterpret_cast<LPARAM>(&h));
    };
    RECT none = {};
    hint(0, 25);
    EXPECT_EQ(form->HintFrom, 0);
    EXPECT_EQ(form->HintTo, 25);
    EXPECT_TRUE(GetUpdateRect(list, &none, FALSE));  // a far range repaints the list
    wintest::PumpMessages();
    ValidateRect(list, nullptr);
    ASSERT_FALSE(GetUpdateRect(list, &none, FALSE));
    hint(0, 25);
    EXPECT_FALSE(GetUpdateRect(list, &none, FALSE));
    hint(3, 40);
    EXPECT_EQ(form->HintFrom, 3);
    EXPECT_EQ(form->HintTo, 40);
    EXPECT_TRUE(GetUpdateRect(list, &none, FALSE));
}

TEST_F(MainFormViewTest, SelectionChangeInTheSearchListSetsTheRecordButtonsAndPrint)
{
    SelectTab(2);
    HWND list = form->Workspace_->GetSearchList();
    ASSERT_NE(list, nullptr);
    NMLISTVIEW nm = {};
    nm.hdr.hwndFrom = list;
    nm.hdr.idFrom = GetDlgCtrlID(list);
    nm.hdr.code = LVN_ITEMCHANGED;
    nm.iItem = -1;
    SendMessageW(wnd, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    HWND tb = Item(1003);
    // This form has no database: whatever the list reports, its record commands stay grayed
    // (with a database the protocol tests see them follow the selection).
    ASSERT_FALSE(form->Database && form->Database->IsOpen());
    for (int command = 2001; command <= 2005; command++)
        EXPECT_EQ(SendMessageW(tb, TB_GETSTATE, command, 0), TBSTATE_INDETERMINATE) << command;
    EXPECT_NE(GetMenuState(GetMenu(wnd), 106, MF_BYCOMMAND) & MF_GRAYED, 0u);
    // On the literature tab too, even with rows selected.
    SelectTab(3);
    EXPECT_EQ(form->UpdateRecordToolbar(wnd, TRUE, 2), 0);
    for (int command = 2001; command <= 2005; command++)
        EXPECT_EQ(SendMessageW(tb, TB_GETSTATE, command, 0), TBSTATE_INDETERMINATE) << command;
    EXPECT_NE(GetMenuState(GetMenu(wnd), 106, MF_BYCOMMAND) & MF_GRAYED, 0u);
    SelectTab(2);
    EXPECT_EQ(form->UpdateRecordToolbar(wnd, FALSE, 0), 0);
    EXPECT_NE(GetMenuState(GetMenu(wnd), 106, MF_BYCOMMAND) & MF_GRAYED, 0u);
}

// Watches for a popup menu while the main form tracks one: records its items, saves a picture
// when asked, and closes it without a choice.
struct PopupWatch {
    static PopupWatch* active;
    int popups = 0;
    std::vector<UINT> items;
    const wchar_t* shot = nullptr;

    void Arm()
    {
        active = this;
        SetTimer(nullptr, 0, 100, &PopupWatch::Tick);
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        PopupWatch* w = active;
        HWND popup = FindWindowW(L"#32768", nullptr);
        KillTimer(nullptr, id);
        if (!popup || !IsWindowVisible(popup))
            return;
        ++w->popups;
        HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        for (int i = 0; menu && i < GetMenuItemCount(menu); ++i)
            w->items.push_back(GetMenuItemID(menu, i));
        if (w->shot)
            wintest::SaveScreenshot(GetDesktopWindow(), w->shot);
        EndMenu();
    }
};
PopupWatch* PopupWatch::active = nullptr;

class SearchContextMenuTest : public MainFormTest {
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        SelectTab(2);
        form->Workspace_->HidePage(wnd);
        form->Workspace_->ShowPage(wnd);
        list = form->Workspace_->GetSearchList();
        ASSERT_NE(list, nullptr);
        ASSERT_TRUE(IsWindowVisible(list));
        SendMessageW(list, LVM_SETITEMCOUNT, 5, LVSICF_NOINVALIDATEALL);
    }
    void Select(int row)
    {
        LVITEMW item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    // Right click at a point of the list's client area (the tab control passes it on).
    int RightClick(int x, int y, const wchar_t* shot = nullptr)
    {
        PopupWatch watch;
        watch.shot = shot;
        watch.Arm();
        POINT at = {x, y};
        ClientToScreen(list, &at);
        SendMessageW(wnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Item(1002)), MAKELPARAM(at.x, at.y));
        wintest::PumpMessages(150);  // lets the watch's timer run out when no menu came
        items = watch.items;
        return watch.popups;
    }
    HWND list = nullptr;
    std::vector<UINT> items;
};

TEST_F(SearchContextMenuTest, SelectedRowOffersBothCards)
{
    Select(1);
    ASSERT_EQ(RightClick(40, 40, L"menu_search_context"), 1);
    std::vector<UINT> expected = {308, 309};
    EXPECT_EQ(items, expected);
    EXPECT_EQ(TabCtrl_GetCurSel(Item(1002)), 2);  // closed without a choice: nothing moves
}

TEST_F(SearchContextMenuTest, NoPopupWithoutSelectionOutsideTheListOrOnAnotherTab)
{
    EXPECT_EQ(RightClick(40, 40), 0);  // nothing selected
    Select(0);
    RECT client = {};
    GetClientRect(list, &client);
    EXPECT_EQ(RightClick(client.right + 5, 40), 0);  // outside the list
    SelectTab(0);
    EXPECT_EQ(RightClick(40, 40), 0);  // the search page is not in front
}

// ---------------------------------------------------------------- commands

TEST_F(MainFormTest, ExitCommandClosesTheWindowWithoutAQuestion)
{
    size_t boxesBefore = boxes->Boxes().size();
    SendMessageW(wnd, WM_COMMAND, 108, 0);
    EXPECT_TRUE(IsWindow(wnd));  // closing is posted
    wintest::PumpUntil([&] { return !IsWindow(wnd); }, 5000);
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_EQ(boxes->Boxes().size(), boxesBefore);
    EXPECT_NE(GetFileAttributesW(configPath.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(MainFormViewTest, AboutCommandShowsTheAboutBoxOverTheMainWindow)
{
    static HWND seenOwner;
    static HWND mainWindow;
    seenOwner = nullptr;
    mainWindow = wnd;
    SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND box = FindWindowW(L"#32770", L"O aplikaci Zorna 2011");
        if (!box)
            return;
        KillTimer(nullptr, id);
        seenOwner = GetWindow(box, GW_OWNER);
        EndDialog(box, IDCANCEL);
    });
    SendMessageW(wnd, WM_COMMAND, 906, 0);
    EXPECT_EQ(seenOwner, mainWindow);
}

// ---------------------------------------------------------------- closing

TEST_F(MainFormTest, CloseWritesTheWorkspaceFileAndFreesTheComponents)
{
    EXPECT_EQ(GetFileAttributesW(configPath.c_str()), INVALID_FILE_ATTRIBUTES);
    size_t boxesBefore = boxes->Boxes().size();
    SendMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_NE(GetFileAttributesW(configPath.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(boxes->Boxes().size(), boxesBefore);  // no question, no message
    EXPECT_EQ(form->Toolbar, nullptr);
    EXPECT_EQ(form->RecordToolbar, nullptr);
    EXPECT_EQ(form->Workspace_, nullptr);
    EXPECT_EQ(form->Database, nullptr);
    EXPECT_EQ(form->Config, nullptr);
    EXPECT_EQ(form->ConnForm, nullptr);
    MSG quit = {};
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// A full disk at exit: the box says the file was not saved, and the old file stays whole.
TEST_F(MainFormTest, CloseOnAFullDiskKeepsTheOldWorkspaceFileAndSaysSo)
{
    ASSERT_TRUE(SaveWorkspace(form, wnd));
    std::string before = wintest::ReadFileBytes(configPath);
    form->Conn.ConnType = 2;  // a change that would go to the file
    size_t boxesBefore = boxes->Boxes().size();
    long long previous = SetWriteLimitForTests(100);
    SendMessageW(wnd, WM_CLOSE, 0, 0);
    SetWriteLimitForTests(previous);
    ASSERT_EQ(boxes->Boxes().size(), boxesBefore + 1);
    EXPECT_EQ(0u, boxes->Boxes().back().text.find(L"Šablonu se nepodařilo uložit do souboru:\n" + configPath));
    EXPECT_NE(std::wstring::npos, boxes->Boxes().back().text.find(L"soubor zůstal, jak byl"));
    EXPECT_EQ(before, wintest::ReadFileBytes(configPath));
    EXPECT_FALSE(wintest::FileExists(configPath + L".tmp"));
}

// The workspace is freed while the configuration it borrows still exists, and after the
// database object.
struct DestroyWatch {
    static DestroyWatch* active;
    MainForm* form = nullptr;
    WNDPROC previous = nullptr;
    bool seen = false, configAlive = false, databaseGone = false;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        DestroyWatch* w = active;
        if (msg == WM_DESTROY) {
            w->seen = true;
            w->configAlive = w->form->Config != nullptr;
            w->databaseGone = w->form->Database == nullptr;
        }
        return CallWindowProcW(w->previous, hwnd, msg, wParam, lParam);
    }
};
DestroyWatch* DestroyWatch::active = nullptr;

TEST_F(MainFormTest, WorkspaceGoesBeforeTheConfigurationAndAfterTheDatabase)
{
    HWND list = form->Workspace_->GetSearchList();
    ASSERT_NE(list, nullptr);
    DestroyWatch watch;
    watch.form = form;
    DestroyWatch::active = &watch;
    watch.previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DestroyWatch::Proc)));
    SendMessageW(wnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(watch.seen);
    EXPECT_TRUE(watch.configAlive);
    EXPECT_TRUE(watch.databaseGone);
}

TEST_F(MainFormTest, DestructionStoresTheWorkspaceFileAsLastUsed)
{
    SendMessageW(wnd, WM_CLOSE, 0, 0);
    wintest::PumpMessages();
    WriteLastConfigPath(L"C:\\jinde.xml");
    delete run.form;
    run.form = form = nullptr;
    run.wnd = wnd = nullptr;
    wchar_t value[MAX_PATH] = L"";
    DWORD size = sizeof(value);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, ZORNA_USER_KEY, ZORNA_LAST_CONFIG_VALUE, RRF_RT_REG_SZ, nullptr,
                           value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), configPath);
    WNDCLASSEXW wc = {sizeof(wc)};
    EXPECT_FALSE(GetClassInfoExW(Inst(), L"ZORNAWND", &wc));  // the class went with the form
}

// An inserted view menu is taken out of the menu bar before the bar is destroyed, so that the
// free-standing VIEWMENU can still be destroyed on its own.
TEST_F(MainFormTest, ViewMenuInTheMenuBarSurvivesTheWindow)
{
    HMENU bar = GetMenu(wnd);
    HMENU popup = GetSubMenu(form->ViewMenu, 0);
    ASSERT_NE(popup, nullptr);
    if (GetSubMenu(bar, 3) != popup)
        InsertMenuW(bar, 3, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"&Zobrazení");
    ASSERT_EQ(GetSubMenu(bar, 3), popup);
    SendMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsMenu(popup));
    EXPECT_EQ(GetMenuItemCount(popup), 4);
}

// ---------------------------------------------------------------- the message loop

// Ctrl+O, Ctrl+S, Ctrl+N and Ctrl+F4 reach the main window as accelerator commands while the
// focus is in the toolbar combo: the loop translates them before the dialog keys.
TEST_F(MainFormTest, AcceleratorsWorkFromAControlBeforeDialogKeys)
{
    Spy spy;
    spy.Attach(wnd);
    HWND edit = GetWindow(form->Toolbar->Combo, GW_CHILD);
    ASSERT_NE(edit, nullptr);
    SetFocus(edit);
    EnableMenuItem(GetMenu(wnd), 602, MF_BYCOMMAND | MF_ENABLED);
    BYTE keys[256] = {}, saved[256] = {};
    GetKeyboardState(saved);
    memcpy(keys, saved, sizeof(keys));
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    for (WPARAM key : {WPARAM('O'), WPARAM('S'), WPARAM('N'), WPARAM(VK_F4)})
        PostMessageW(edit, WM_KEYDOWN, key, 1);
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    RunMainMessageLoop(wnd, accel);
    SetKeyboardState(saved);
    EXPECT_FALSE(IsWindow(wnd));
    std::vector<std::pair<WORD, WORD>> expected = {{101, 1}, {102, 1}, {104, 1}, {602, 1}};
    EXPECT_EQ(spy.commands, expected);
}

// Ctrl+F4 closes a map only while its menu item is enabled.
TEST_F(MainFormTest, CtrlF4IsIgnoredWhileItsMenuItemIsGrayed)
{
    Spy spy;
    spy.Attach(wnd);
    SetFocus(Item(1002));
    EnableMenuItem(GetMenu(wnd), 602, MF_BYCOMMAND | MF_GRAYED);
    BYTE keys[256] = {}, saved[256] = {};
    GetKeyboardState(saved);
    memcpy(keys, saved, sizeof(keys));
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(Item(1002), WM_KEYDOWN, VK_F4, 1);
    PostMessageW(Item(1002), WM_KEYDOWN, 'S', 1);
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    RunMainMessageLoop(wnd, accel);
    SetKeyboardState(saved);
    EXPECT_FALSE(spy.Saw(602));
    EXPECT_TRUE(spy.Saw(102));
}

// ---------------------------------------------------------------- screenshots

TEST_F(MainFormViewTest, ScreenshotOfTheMainForm)
{
    SelectTab(0);
    SendMessageW(form->Toolbar->Combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Carabus"));
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_FALSE(wintest::SaveScreenshot(wnd, L"mainform").empty());
    SelectTab(2);
    form->Workspace_->HidePage(wnd);
    form->Workspace_->ShowPage(wnd);
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_FALSE(wintest::SaveScreenshot(wnd, L"mainform_search").empty());
}

// Opens each menu of the menu bar from the keyboard and captures it while it is open.
TEST_F(MainFormViewTest, ScreenshotOfTheMenus)
{
    static std::wstring shotName;
    static int shots;
    shots = 0;
    const wchar_t* menus[] = {L"menu_soubor", L"menu_databaze", L"menu_editace", L"menu_napoveda"};
    const wchar_t keys[] = {L's', L'd', L'e', L'n'};
    for (int i = 0; i < 4; ++i) {
        shotName = menus[i];
        SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            if (!wintest::SaveScreenshot(GetDesktopWindow(), shotName.c_str()).empty())
                ++shots;
            EndMenu();
        });
        SendMessageW(wnd, WM_SYSCOMMAND, SC_KEYMENU, keys[i]);
        wintest::PumpMessages(50);
    }
    EXPECT_EQ(shots, 4);
}

// ---------------------------------------------------------------- with a database

// A workspace file that names a sample database, used as the last workspace file.
class MainFormWithDatabaseTest : public MainFormTest {
protected:
    void SetUp() override
    {
        std::wstring dbFolder = wintest::MakeTempFolder(L"mainform_db");
        dbPath = dbFolder + L"\\ZorBase.mdb";
        zor::SampleDbOptions options;
        options.records = 200;
        std::wstring error;
        ASSERT_TRUE(zor::CreateSampleDatabase(dbPath, options, &error));
        std::wstring ws = dbFolder + L"\\Zorna.xml";
        wstest::WriteConnectionOnly(ws, dbPath.c_str());
        run.boxes.reset(new wintest::MsgBoxRecorder());
        SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"30");
        WriteLastConfigPath(ws.c_str());
        run.configPath = ws;
        run.form = new MainForm(Inst(), MainFormDlgProc, &run.wnd, &run.accel);
        if (run.wnd)
            SetWindowPos(run.wnd, nullptr, 0, 0, 960, 640, SWP_NOZORDER | SWP_NOMOVE);
        wintest::PumpMessages();
        Take(run);
        ASSERT_NE(wnd, nullptr);
    }
    std::wstring dbPath;
};

TEST_F(MainFormWithDatabaseTest, TitleNamesTheOpenDatabaseFile)
{
    ASSERT_TRUE(form->Database->IsOpen()) << "the sample database did not open";
    const wchar_t* caption = form->Config->AppCaption;
    std::wstring expected = caption ? std::wstring(caption) + L" - ZorBase.mdb" : L"ZorBase.mdb";
    EXPECT_EQ(WindowText(wnd), expected);
    // Without a caption the file name stands alone.
    wchar_t* saved = form->Config->AppCaption;
    form->Config->AppCaption = nullptr;
    form->UpdateMainTitle();
    EXPECT_EQ(WindowText(wnd), L"ZorBase.mdb");
    form->Config->AppCaption = saved;
    // A path without a backslash is a file name already.
    wchar_t* path = form->Conn.DBName;
    wchar_t bare[] = L"Brouci.mdb";
    form->Conn.DBName = bare;
    form->UpdateMainTitle();
    EXPECT_EQ(WindowText(wnd), (caption ? std::wstring(caption) + L" - " : std::wstring()) + L"Brouci.mdb");
    form->Conn.DBName = path;
    form->UpdateMainTitle();
    EXPECT_EQ(WindowText(wnd), expected);
}

TEST_F(MainFormWithDatabaseTest, ScreenshotWithTheSampleDatabase)
{
    ASSERT_TRUE(form->Database->IsOpen());
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_FALSE(wintest::SaveScreenshot(wnd, L"mainform_database").empty());
}

TEST_F(MainFormWithDatabaseTest, ClosingClosesTheDatabaseAndKeepsItInTheWorkspaceFile)
{
    ASSERT_TRUE(form->Database->IsOpen());
    SendMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_EQ(form->Database, nullptr);
    CXmlReader reader(configPath.c_str());
    ASSERT_NE(reader.Root, nullptr);
    IXMLDOMElement* system = reader.SelectElement(L"System");
    ASSERT_NE(system, nullptr);
    IXMLDOMElement* connection = reader.SelectChildElement(system, L"Connection");
    ASSERT_NE(connection, nullptr);
    wchar_t dbName[MAX_PATH] = L"";
    EXPECT_TRUE(reader.GetStringAttrBuf(connection, L"DBName", dbName, MAX_PATH));
    EXPECT_EQ(std::wstring(dbName), dbPath);
    connection->Release();
    system->Release();
}

// ---------------------------------------------------------------- second start (process level)

PROCESS_INFORMATION StartProgram()
{
    return wintest::StartSiblingProgram(L"Zorna.exe");
}

// Waits for the "already running" box of a process; null when none came.
HWND AlreadyRunningBox(DWORD pid, std::vector<HWND>* windows)
{
    return wintest::WaitForMessageBoxOf(pid, L"Chyba", L"Zorna nebo DB Nástroje jsou spuštěny", windows);
}

// The second copy shows the box without an owner, makes no main window, and ends with 0 once
// the box is closed.
void ExpectStoppedSecondCopy(const PROCESS_INFORMATION& pi)
{
    std::vector<HWND> windows;
    HWND box = AlreadyRunningBox(pi.dwProcessId, &windows);
    ASSERT_NE(box, nullptr) << "no message box of the second copy";
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    for (HWND w : windows) {
        wchar_t cls[32] = L"";
        GetClassNameW(w, cls, 32);
        EXPECT_STRNE(cls, L"ZORNAWND") << "the second copy made a main window";
    }
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
}

TEST(SingleInstance, AnotherProgramHoldingTheMutexStopsTheStart)
{
    // The utilities program holds a mutex of the same name.
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"ZornaMtx");
    ASSERT_NE(mutex, nullptr);
    ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    PROCESS_INFORMATION pi = StartProgram();
    ASSERT_NE(pi.hProcess, nullptr);
    ExpectStoppedSecondCopy(pi);
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

TEST(SingleInstance, SecondCopyOfTheProgramStops)
{
    SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"30");
    PROCESS_INFORMATION first = StartProgram();
    ASSERT_NE(first.hProcess, nullptr);
    // The first copy owns the mutex once it exists.
    ASSERT_TRUE(wintest::WaitForNamedMutex(L"ZornaMtx")) << "the first copy did not start";
    PROCESS_INFORMATION second = StartProgram();
    ASSERT_NE(second.hProcess, nullptr);
    ExpectStoppedSecondCopy(second);
    if (WaitForSingleObject(second.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(second.hProcess, 1);
    // The first copy is still running; it is ended without its closing, which would write the
    // settings of this prefix.
    EXPECT_EQ(WaitForSingleObject(first.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    TerminateProcess(first.hProcess, 0);
    WaitForSingleObject(first.hProcess, 10000);
    for (HANDLE h : {first.hThread, first.hProcess, second.hThread, second.hProcess})
        CloseHandle(h);
    SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", nullptr);
}

}  // namespace
