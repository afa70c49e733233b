// The main window's two toolbars on the real MAINFORM template, hosted by a test procedure that
// records what the toolbars send to the main window.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mainapp/mainform.h"
#include "mainapp/theme.h"
#include "mainapp/toolbars.h"
#include "shellcontract/zm_protocol.h"
#include "tests/support/wintest.h"

namespace {

HINSTANCE Inst() { return GetModuleHandleW(nullptr); }

struct Host {
    HWND wnd = nullptr;
    std::unique_ptr<MainToolbar> main;
    std::unique_ptr<ViewToolbar> record;
    std::vector<UINT> messages;   // private messages that reached the window
    std::vector<LPARAM> params;   // their lParam

    static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM, LPARAM lParam)
    {
        if (msg == WM_INITDIALOG) {
            Host* h = reinterpret_cast<Host*>(lParam);
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
            h->wnd = hwnd;
            h->main.reset(new MainToolbar(GetDlgItem(hwnd, 1000), Inst()));
            h->record.reset(new ViewToolbar(GetDlgItem(hwnd, 1003), Inst()));
            SetStatusBarParts(GetDlgItem(hwnd, 1001));
            return FALSE;
        }
        Host* h = reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        if (h && msg >= ZM_FIRST && msg <= ZM_LAST) {
            h->messages.push_back(msg);
            h->params.push_back(lParam);
            return TRUE;
        }
        return FALSE;
    }
};

// One host for the whole suite: destroying a shown top-level window costs seconds on a display
// without a window manager. Every test sets the state it looks at.
class ToolbarsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        shared = new Host();
        MainForm::RegisterWindowClass(Inst());
        CreateDialogParamW(Inst(), L"MAINFORM", nullptr, Host::Proc, reinterpret_cast<LPARAM>(shared));
    }
    static void TearDownTestSuite()
    {
        if (shared->wnd)
            DestroyWindow(shared->wnd);
        wintest::PumpMessages();
        delete shared;
        shared = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(host.wnd, nullptr);
        SetWindowPos(host.wnd, nullptr, 0, 0, 900, 600, SWP_NOZORDER | SWP_NOMOVE);
        wintest::PumpMessages();
        host.messages.clear();
        host.params.clear();
    }

    HWND MainTb() const { return host.main->Toolbar; }
    HWND RecordTb() const { return host.record->Toolbar; }

    static TBBUTTON ButtonAt(HWND tb, int index)
    {
        TBBUTTON b = {};
        SendMessageW(tb, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&b));
        return b;
    }
    static BYTE State(HWND tb, int command)
    {
        return static_cast<BYTE>(SendMessageW(tb, TB_GETSTATE, command, 0));
    }
    static bool Hidden(HWND tb, int command) { return (State(tb, command) & TBSTATE_HIDDEN) != 0; }
    static RECT ItemRect(HWND tb, int index)
    {
        RECT r = {};
        SendMessageW(tb, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
        return r;
    }
    static RECT RectIn(HWND child, HWND parent)
    {
        RECT r = {};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    int Count(UINT msg) const
    {
        int n = 0;
        for (UINT m : host.messages)
            n += m == msg;
        return n;
    }

    static Host* shared;
    Host& host = *shared;
};
Host* ToolbarsTest::shared = nullptr;

// ---------------------------------------------------------------- main toolbar contents

TEST_F(ToolbarsTest, MainToolbarHasItsTwentyButtonsInOrder)
{
    ASSERT_EQ(SendMessageW(MainTb(), TB_BUTTONCOUNT, 0, 0), 20);
    const int commands[20] = {101, 102, 104, 0, 301, 303, 0, 401, 402, 403, 404,
                              405, 406, 407, 408, 1, 607, 0, 902, 108};
    const BYTE styles[20] = {BTNS_BUTTON, BTNS_BUTTON, BTNS_BUTTON, BTNS_SEP, BTNS_BUTTON, BTNS_BUTTON,
                             BTNS_SEP, BTNS_CHECKGROUP, BTNS_CHECKGROUP, BTNS_CHECKGROUP, BTNS_CHECKGROUP,
                             BTNS_CHECKGROUP, BTNS_CHECKGROUP, BTNS_CHECKGROUP, BTNS_BUTTON, BTNS_SEP,
                             BTNS_BUTTON, BTNS_SEP, BTNS_BUTTON, BTNS_BUTTON};
    for (int i = 0; i < 20; ++i) {
        TBBUTTON b = ButtonAt(MainTb(), i);
        EXPECT_EQ(b.idCommand, commands[i]) << "index " << i;
        EXPECT_EQ(b.fsStyle & (BTNS_SEP | BTNS_CHECKGROUP), styles[i]) << "index " << i;
    }
    EXPECT_EQ(ButtonAt(MainTb(), 3).iBitmap, 4);
    EXPECT_EQ(ButtonAt(MainTb(), 6).iBitmap, 4);
    EXPECT_EQ(ButtonAt(MainTb(), 15).iBitmap, 4);
    EXPECT_EQ(host.main->PlaceholderIndex, 17);
}

TEST_F(ToolbarsTest, MainToolbarImagesComeFromBothCommonStripsAndTheProgramIcons)
{
    // The standard strip comes first, then the view strip, then the six icons of the program.
    EXPECT_EQ(ButtonAt(MainTb(), 0).iBitmap, STD_FILEOPEN);
    EXPECT_EQ(ButtonAt(MainTb(), 1).iBitmap, STD_FILESAVE);
    EXPECT_EQ(ButtonAt(MainTb(), 5).iBitmap, STD_DELETE);
    EXPECT_EQ(ButtonAt(MainTb(), 18).iBitmap, STD_HELP);
    int view = ButtonAt(MainTb(), 7).iBitmap - VIEW_LARGEICONS;
    EXPECT_GT(view, STD_PRINT);
    EXPECT_EQ(ButtonAt(MainTb(), 4).iBitmap, view + VIEW_NEWFOLDER);
    EXPECT_EQ(ButtonAt(MainTb(), 10).iBitmap, view + VIEW_DETAILS);
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(MainTb(), TB_GETIMAGELIST, 0, 0));
    ASSERT_NE(images, nullptr);
    int count = ImageList_GetImageCount(images);
    // Icons in the order 14, 15, 17, 16, 18 and the exit icon last.
    const int iconButtons[6] = {11, 12, 13, 14, 16, 19};
    const int order[6] = {0, 1, 2, 3, 4, 5};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ButtonAt(MainTb(), iconButtons[i]).iBitmap, count - 6 + order[i]) << "button " << iconButtons[i];
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
}

TEST_F(ToolbarsTest, ComboSitsInAnOwnerDrawnHostButtonOfTheToolbar)
{
    ASSERT_NE(host.main->Host, nullptr);
    ASSERT_NE(host.main->Combo, nullptr);
    EXPECT_EQ(GetParent(host.main->Host), MainTb());
    EXPECT_EQ(GetParent(host.main->Combo), host.main->Host);
    wchar_t cls[32] = L"";
    GetClassNameW(host.main->Host, cls, 32);
    EXPECT_EQ(lstrcmpiW(cls, L"Button"), 0);
    EXPECT_EQ(GetWindowLongPtrW(host.main->Host, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_EQ(GetWindowLongPtrW(host.main->Combo, GWL_STYLE) & 3, CBS_DROPDOWN);
    EXPECT_EQ(SendMessageW(host.main->Combo, WM_GETFONT, 0, 0), SendMessageW(MainTb(), WM_GETFONT, 0, 0));
}

// ---------------------------------------------------------------- record toolbar contents

TEST_F(ToolbarsTest, RecordToolbarButtonsCarryTheTextsOfString105)
{
    ASSERT_EQ(SendMessageW(RecordTb(), TB_BUTTONCOUNT, 0, 0), 7);
    const int commands[7] = {2001, 2002, 2003, 0, 2004, 2005, 2006};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(ButtonAt(RecordTb(), i).idCommand, commands[i]) << "index " << i;
    EXPECT_TRUE(ButtonAt(RecordTb(), 3).fsStyle & BTNS_SEP);
    const wchar_t* texts[6] = {L"&Zápis", L"&Editace", L"&Výmaz", L"E&xport", L"&Tisk", L"&Nápověda"};
    for (int i = 0; i < 6; ++i) {
        wchar_t buf[64] = L"";
        SendMessageW(RecordTb(), TB_GETSTRINGW, MAKEWPARAM(64, i), reinterpret_cast<LPARAM>(buf));
        EXPECT_STREQ(buf, texts[i]) << "string " << i;
        int button = i < 3 ? i : i + 1;
        EXPECT_EQ(ButtonAt(RecordTb(), button).iString, i) << "button " << button;
    }
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(RecordTb(), TB_GETIMAGELIST, 0, 0));
    ASSERT_EQ(images, host.record->Images);
    EXPECT_EQ(ImageList_GetImageCount(images), 6);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 32);
    EXPECT_EQ(cy, 32);
}

TEST_F(ToolbarsTest, StatusBarHasTwoPartsEndingAt146AndTheEdge)
{
    int edges[4] = {};
    ASSERT_EQ(SendMessageW(GetDlgItem(host.wnd, 1001), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 2);
    EXPECT_EQ(edges[0], 146);
    EXPECT_EQ(edges[1], -1);
}

// ---------------------------------------------------------------- re-grouping and layout

TEST_F(ToolbarsTest, RegroupShowsExactlyTheNamedGroups)
{
    const int view[] = {401, 402, 403, 404};
    const int map[] = {405, 406, 407, 408, 1, 607};
    struct Case { LPARAM bits; int group; bool viewShown, mapShown; };
    for (Case c : {Case{1, 6, true, false}, Case{2, 0, false, true}, Case{0, 11, false, false},
                   Case{3, 0, true, true}}) {
        EXPECT_EQ(host.main->Regroup(TRUE, c.bits), c.group) << "bits " << c.bits;
        for (int cmd : view)
            EXPECT_EQ(!Hidden(MainTb(), cmd), c.viewShown) << "bits " << c.bits << " command " << cmd;
        for (int cmd : map)
            EXPECT_EQ(!Hidden(MainTb(), cmd), c.mapShown) << "bits " << c.bits << " command " << cmd;
        EXPECT_FALSE(Hidden(MainTb(), 303));
        EXPECT_FALSE(Hidden(MainTb(), 902));
    }
}

TEST_F(ToolbarsTest, RegroupDisabledShowsTheGroupGrayed)
{
    host.main->Regroup(FALSE, 2);
    for (int cmd : {405, 406, 407, 408, 607})
        EXPECT_EQ(State(MainTb(), cmd), TBSTATE_INDETERMINATE) << cmd;
    host.main->Regroup(TRUE, 2);
    for (int cmd : {405, 406, 407, 408, 607})
        EXPECT_EQ(State(MainTb(), cmd), TBSTATE_ENABLED) << cmd;
}

TEST_F(ToolbarsTest, CheckingAViewModeOrMapToolUnchecksTheOthers)
{
    host.main->Regroup(TRUE, 3);
    host.main->CheckViewMode(402);
    host.main->CheckViewMode(404);
    EXPECT_EQ(State(MainTb(), 404), TBSTATE_ENABLED | TBSTATE_CHECKED);
    for (int cmd : {401, 402, 403})
        EXPECT_EQ(State(MainTb(), cmd), TBSTATE_ENABLED) << cmd;
    host.main->CheckMapTool(405);
    host.main->CheckMapTool(407);
    EXPECT_EQ(State(MainTb(), 407), TBSTATE_ENABLED | TBSTATE_CHECKED);
    EXPECT_EQ(State(MainTb(), 405), TBSTATE_ENABLED);
    EXPECT_EQ(State(MainTb(), 406), TBSTATE_ENABLED);
}

// After a layout the combo fills the room between the group's last button and help + exit.
TEST_F(ToolbarsTest, LayoutStretchesTheComboUpToHelpAndExit)
{
    struct Case { LPARAM bits; int lastBefore; };
    for (Case c : {Case{1, 10}, Case{2, 16}, Case{0, 5}}) {
        host.main->Regroup(TRUE, c.bits);
        RECT client = {};
        GetClientRect(MainTb(), &client);
        RECT last = ItemRect(MainTb(), c.lastBefore);
        RECT hostRc = RectIn(host.main->Host, MainTb());
        EXPECT_EQ(hostRc.left, last.right) << "bits " << c.bits;
        EXPECT_EQ(hostRc.top, last.top);
        EXPECT_EQ(hostRc.bottom - hostRc.top, last.bottom - last.top);
        TBBUTTON placeholder = ButtonAt(MainTb(), 17);
        EXPECT_TRUE(placeholder.fsStyle & BTNS_SEP);
        EXPECT_EQ(hostRc.right - hostRc.left, placeholder.iBitmap);
        // Exit ends at the toolbar's right edge.
        EXPECT_EQ(ItemRect(MainTb(), 19).right, client.right) << "bits " << c.bits;
        RECT comboRc = RectIn(host.main->Combo, host.main->Host);
        EXPECT_EQ(comboRc.left, 4);
        EXPECT_EQ(comboRc.top, 1);
        EXPECT_EQ(comboRc.right - comboRc.left, placeholder.iBitmap - 8);
    }
}

TEST_F(ToolbarsTest, LayoutFollowsTheWindowWidth)
{
    SetWindowPos(host.wnd, nullptr, 0, 0, 1100, 600, SWP_NOZORDER | SWP_NOMOVE);
    host.main->Regroup(TRUE, 1);
    int wide = ButtonAt(MainTb(), 17).iBitmap;
    SetWindowPos(host.wnd, nullptr, 0, 0, 800, 600, SWP_NOZORDER | SWP_NOMOVE);
    SIZE size = host.main->Layout(6);
    EXPECT_EQ(wide - ButtonAt(MainTb(), 17).iBitmap, 300);
    RECT rc = {};
    GetWindowRect(MainTb(), &rc);
    EXPECT_EQ(size.cx, rc.right - rc.left);
    EXPECT_EQ(size.cy, rc.bottom - rc.top);
}

TEST_F(ToolbarsTest, RecordToolbarLayoutPutsExportPrintAndHelpAtTheRightEdge)
{
    SIZE size = host.record->Layout();
    RECT client = {};
    GetClientRect(RecordTb(), &client);
    EXPECT_EQ(ItemRect(RecordTb(), 6).right, client.right);
    RECT before = ItemRect(RecordTb(), 2);
    RECT spacer = RectIn(host.record->Host, RecordTb());
    EXPECT_EQ(spacer.left, before.right);
    EXPECT_EQ(spacer.right - spacer.left, ButtonAt(RecordTb(), 3).iBitmap);
    EXPECT_TRUE(IsWindowVisible(host.record->Host));
    RECT rc = {};
    GetWindowRect(RecordTb(), &rc);
    EXPECT_EQ(size.cy, rc.bottom - rc.top);
}

// ---------------------------------------------------------------- record toolbar states

TEST_F(ToolbarsTest, RecordToolbarStatesFollowListSelectionAndTab)
{
    const BYTE on = TBSTATE_ENABLED, off = TBSTATE_INDETERMINATE;
    for (int shown : {0, 1})
        for (int n : {0, 1, 2})
            for (int t : {0, 2, 3, 4}) {
                SCOPED_TRACE(testing::Message() << "shown " << shown << " n " << n << " tab " << t);
                int result = host.record->Update(shown, n, t);
                if (!shown) {
                    EXPECT_EQ(result, 0);
                    for (int cmd : {2001, 2002, 2003, 2004, 2005})
                        EXPECT_EQ(State(RecordTb(), cmd), off) << cmd;
                } else {
                    EXPECT_EQ(result != 0, t != 3);
                    EXPECT_EQ(State(RecordTb(), 2001), t < 4 ? on : off);
                    EXPECT_EQ(State(RecordTb(), 2002), n == 1 ? on : off);
                    EXPECT_EQ(State(RecordTb(), 2003), n > 0 ? on : off);
                    EXPECT_EQ(State(RecordTb(), 2004), on);
                    EXPECT_EQ(State(RecordTb(), 2005), t == 3 ? off : on);
                }
                EXPECT_EQ(State(RecordTb(), 2006), on);
            }
}

// ---------------------------------------------------------------- the name combo

TEST_F(ToolbarsTest, TypingInTheComboFiltersAtEveryChange)
{
    HWND edit = GetWindow(host.main->Combo, GW_CHILD);
    ASSERT_NE(edit, nullptr);
    SetFocus(edit);
    PostMessageW(edit, WM_CHAR, L'C', 1);
    PostMessageW(edit, WM_CHAR, L'a', 1);
    wintest::PumpMessages();
    EXPECT_EQ(Count(ZM_FILTER_NAMES_BY_COMBO), 2);
    for (size_t i = 0; i < host.messages.size(); ++i) {
        if (host.messages[i] == ZM_FILTER_NAMES_BY_COMBO) {
            EXPECT_EQ(host.params[i], reinterpret_cast<LPARAM>(host.main->Combo));
        }
    }
    EXPECT_EQ(Count(ZM_COMBO_GOTO_ITEM), 0);
}

// The main loop hands keys to IsDialogMessage, which asks the edit's dialog code for the key
// press and for its character: one Enter jumps once.
TEST_F(ToolbarsTest, EnterInTheComboJumpsOnce)
{
    HWND edit = GetWindow(host.main->Combo, GW_CHILD);
    SetFocus(edit);
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(edit, WM_CHAR, L'\r', 0x001C0001);
    PostMessageW(edit, WM_KEYUP, VK_RETURN, 0xC01C0001);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (IsDialogMessageW(host.wnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(Count(ZM_COMBO_GOTO_ITEM), 1);
    ASSERT_FALSE(host.params.empty());
    EXPECT_EQ(host.params.back(), reinterpret_cast<LPARAM>(host.main->Combo));
}

TEST_F(ToolbarsTest, ComboCanBeHiddenShownAndEmptied)
{
    host.main->ShowCombo(FALSE);
    EXPECT_FALSE(IsWindowVisible(host.main->Combo));
    host.main->ShowCombo(TRUE);
    EXPECT_TRUE(IsWindowVisible(host.main->Combo));
    SendMessageW(host.main->Combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Carabus"));
    SendMessageW(host.main->Combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Cychrus"));
    host.main->ResetCombo();
    EXPECT_EQ(SendMessageW(host.main->Combo, CB_GETCOUNT, 0, 0), 0);
}

TEST_F(ToolbarsTest, ScreenshotOfBothToolbars)
{
    host.main->Regroup(TRUE, 1);
    host.main->CheckViewMode(404);
    host.record->Layout();
    SetWindowPos(RecordTb(), nullptr, 0, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    host.record->Update(TRUE, 2, 2);
    SendMessageW(host.main->Combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Carabus auratus"));
    SendMessageW(host.main->Combo, CB_SETCURSEL, 0, 0);
    InvalidateRect(host.wnd, nullptr, TRUE);
    EXPECT_FALSE(wintest::SaveScreenshot(host.wnd, L"toolbars").empty());
}

// ---------------------------------------------------------------- theme binding

TEST(ThemeBinding, ImageListOf26PixelImagesFromBothStrips)
{
    HIMAGELIST images = InitTheme(Inst());
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(Theme().Images, images);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 26);
    EXPECT_EQ(cy, 26);
    EXPECT_EQ(ImageList_GetImageCount(images), 4 + 5);  // bitmap 1 holds 4 images, bitmap 2 five
    EXPECT_NE(Theme().Library, nullptr);
    EXPECT_NE(Theme().OpenThemeData, nullptr);
    EXPECT_NE(Theme().DrawThemeBackground, nullptr);
    FreeThemeImages();
    EXPECT_EQ(Theme().Images, nullptr);
}

TEST(ThemeBinding, MagentaIsTransparent)
{
    HIMAGELIST images = InitTheme(Inst());
    ASSERT_NE(images, nullptr);
    // Drawn over green, every image lets the green through where its strip is magenta and never
    // shows magenta itself.
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 26, 26);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, canvas);
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    RECT all = {0, 0, 26, 26};
    for (int i = 0; i < ImageList_GetImageCount(images); ++i) {
        FillRect(dc, &all, green);
        ASSERT_TRUE(ImageList_Draw(images, i, dc, 0, 0, ILD_TRANSPARENT));
        int through = 0, magenta = 0, drawn = 0;
        for (int y = 0; y < 26; ++y)
            for (int x = 0; x < 26; ++x) {
                COLORREF c = GetPixel(dc, x, y);
                through += c == RGB(0, 255, 0);
                magenta += c == RGB(255, 0, 255);
                drawn += c != RGB(0, 255, 0);
            }
        EXPECT_GT(through, 100) << "image " << i;
        EXPECT_GT(drawn, 50) << "image " << i;
        EXPECT_EQ(magenta, 0) << "image " << i;
    }
    DeleteObject(green);
    SelectObject(dc, old);
    DeleteObject(canvas);
    DeleteDC(dc);
    FreeThemeImages();
}

TEST(ThemeBinding, WithoutTheThemeLibraryTheImageListIsStillMade)
{
    SetEnvironmentVariableW(L"PLEXA_NO_UXTHEME", L"1");
    HIMAGELIST images = InitTheme(Inst());
    SetEnvironmentVariableW(L"PLEXA_NO_UXTHEME", nullptr);
    EXPECT_EQ(Theme().Library, nullptr);
    EXPECT_EQ(Theme().OpenThemeData, nullptr);
    EXPECT_EQ(Theme().GetThemeMargins, nullptr);
    EXPECT_NE(images, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(images), 9);
    FreeThemeImages();
}

}  // namespace
