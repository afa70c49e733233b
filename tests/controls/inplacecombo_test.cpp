// INPLACECOMBOBOX: list forwarding, sizing, dropping and closing, keyboard and mouse, focus,
// the virtual (no-data) mode with its parent requests and type-ahead, painting, and disposal.
// Every test records what the combo's parent receives.
#include <gmock/gmock.h>
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
#include <shlwapi.h>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>
#include "controls/plexa.h"
#include "tests/support/wintest.h"

using ::testing::ElementsAre;

namespace {

// One notification seen by the parent.
struct Seen {
    UINT msg;        // WM_COMMAND or WM_NOTIFY
    UINT code;       // CBN_ code or notify code
    UINT_PTR id;
    HWND from;
    UINT mask = 0;
    int item = 0;
    int count = 0;
    UINT vkey = 0, keyFlags = 0;
    LPARAM reserved = 0, data = 0;
    std::wstring text;
    std::wstring comboText;  // the combo's text when the notification arrived
};

// A top-level parent that records its children's notifications and answers the requests of a
// virtual combo from `rows`.
class Host {
public:
    std::vector<Seen> seen;
    std::vector<std::wstring> rows;
    int lengthOverride = -1;       // when >= 0, ICBN_GETTEXTLENGTH answers this instead
    bool answerRequests = true;

    // One window serves every test: destroying an activated top-level window costs seconds
    // under Wine without a window manager. Each Host takes it over and leaves it without children.
    Host(int width = 320, int height = 220)
    {
        static HWND shared = nullptr;
        if (!shared) {
            WNDCLASSEXW wc = {sizeof(wc)};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            wc.lpszClassName = L"PlexaComboTestHost";
            RegisterClassExW(&wc);
            shared = CreateWindowExW(0, L"PlexaComboTestHost", L"combo host", WS_POPUP, 40, 40, width,
                                     height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        }
        hwnd = shared;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowPos(hwnd, nullptr, 40, 40, width, height, SWP_NOZORDER | SWP_SHOWWINDOW);
        SetForegroundWindow(hwnd);
        SetFocus(hwnd);
    }
    ~Host()
    {
        std::vector<HWND> children;
        EnumChildWindows(hwnd, [](HWND child, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        }, reinterpret_cast<LPARAM>(&children));
        for (HWND child : children)
            if (IsWindow(child) && GetParent(child) == hwnd)
                DestroyWindow(child);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        wintest::PumpMessages();
    }

    HWND hwnd = nullptr;

    std::vector<UINT> Codes() const
    {
        std::vector<UINT> codes;
        for (const Seen& s : seen)
            codes.push_back(s.code);
        return codes;
    }
    std::vector<Seen> Of(UINT code) const
    {
        std::vector<Seen> out;
        for (const Seen& s : seen)
            if (s.code == code)
                out.push_back(s);
        return out;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        Host* self = reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && msg == WM_COMMAND && lParam) {
            Seen s{msg, HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam)};
            wchar_t text[256] = {};
            GetWindowTextW(s.from, text, 256);
            s.comboText = text;
            self->seen.push_back(s);
            return 0;
        }
        if (self && msg == WM_NOTIFY)
            return self->OnNotify(reinterpret_cast<NMHDR*>(lParam));
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    static bool StartsWith(const std::wstring& row, const wchar_t* text, size_t n)
    {
        return row.size() >= n && CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, row.c_str(),
                                                 static_cast<int>(n), text, static_cast<int>(n)) == CSTR_EQUAL;
    }

    LRESULT OnNotify(NMHDR* hdr)
    {
        Seen s{WM_NOTIFY, hdr->code, hdr->idFrom, hdr->hwndFrom};
        if (hdr->code == NM_KEYDOWN) {
            ComboItemRequest* full = reinterpret_cast<ComboItemRequest*>(hdr);
            NMKEY* key = reinterpret_cast<NMKEY*>(hdr);
            s.vkey = key->nVKey;
            s.keyFlags = key->uFlags;
            s.reserved = full->reserved;
            s.count = full->count;
            s.data = full->data;
            seen.push_back(s);
            return 0;
        }
        ComboItemRequest* r = reinterpret_cast<ComboItemRequest*>(hdr);
        s.mask = r->mask;
        s.item = r->item;
        s.count = r->count;
        if (hdr->code == ICBN_FINDSTRING && r->text)
            s.text = r->text;
        seen.push_back(s);
        if (!answerRequests)
            return 0;
        if (hdr->code == ICBN_GETTEXTLENGTH) {
            if (r->item >= 0 && r->item < static_cast<int>(rows.size()))
                r->count = lengthOverride >= 0 ? lengthOverride : static_cast<int>(rows[r->item].size());
            return 1;
        }
        if (hdr->code == ICBN_GETTEXT) {
            if (r->item >= 0 && r->item < static_cast<int>(rows.size()) && r->count > 0) {
                // Never more than the capacity the combo gives.
                StrCpyNW(r->text, rows[r->item].c_str(), r->count);
            }
            return 1;
        }
        if (hdr->code == ICBN_GETITEMDATA) {
            r->data = static_cast<LPARAM>(0x123456789LL + r->item);
            return 1;
        }
        if (hdr->code == ICBN_FINDSTRING) {
            size_t n = wcslen(r->text);
            for (size_t i = 0; i < rows.size(); ++i) {
                if (StartsWith(rows[i], r->text, n)) {
                    r->item = static_cast<int>(i);
                    r->count = static_cast<int>(n);
                    return 1;
                }
            }
            return 1;  // unmatched: item and count stay as given
        }
        return 0;
    }
};

HWND ListOf(HWND combo)
{
    return reinterpret_cast<HWND>(GetWindowLongPtrW(combo, 0));
}

HWND EditOf(HWND combo)
{
    return reinterpret_cast<HWND>(GetWindowLongPtrW(combo, sizeof(HWND)));
}

int Prop(HWND hwnd, const wchar_t* name)
{
    return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(hwnd, name)));
}

std::wstring TextOf(HWND hwnd)
{
    wchar_t buf[256] = {};
    GetWindowTextW(hwnd, buf, 256);
    return buf;
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t buf[64] = {};
    GetClassNameW(hwnd, buf, 64);
    return buf;
}

const int kComboId = 77;

HWND MakeCombo(HWND parent, DWORD style, int x = 10, int y = 10, int width = 160, int height = 22,
               DWORD exStyle = WS_EX_CLIENTEDGE, int id = kComboId)
{
    HWND combo = CreateWindowExW(exStyle, WC_INPLACECOMBOBOXW, L"", WS_CHILD | WS_VISIBLE | style, x, y, width,
                                 height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
    SendMessageW(combo, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    return combo;
}

void AddRows(HWND combo, std::initializer_list<const wchar_t*> rows)
{
    for (const wchar_t* r : rows)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(r));
}

class InplaceCombo : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterPlexaW(PLEXA_INPLACECOMBOBOX | PLEXA_PROPERTYBOX | PLEXA_IMGBUTTON); }
    void SetUp() override { SetFocus(nullptr); }
    void TearDown() override { ReleaseCapture(); }
};

// ---- creation ---------------------------------------------------------------------------------

TEST_F(InplaceCombo, CreationBuildsListAndEdit)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWN | CBS_SORT | CBS_DISABLENOSCROLL | WS_VSCROLL | WS_BORDER);
    ASSERT_TRUE(combo != nullptr);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(combo, GWL_STYLE));
    EXPECT_EQ(0u, style & (WS_VSCROLL | WS_HSCROLL | WS_BORDER)) << "those belong to the list";
    EXPECT_EQ(WS_EX_CLIENTEDGE, static_cast<DWORD>(Prop(combo, L"SavedExStyle")) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(-1, Prop(combo, L"CurSel"));
    EXPECT_EQ(1, Prop(combo, L"CurState"));

    HWND list = ListOf(combo);
    ASSERT_TRUE(IsWindow(list));
    EXPECT_EQ(L"ComboLBox", ClassOf(list));
    EXPECT_EQ(combo, static_cast<HWND>(GetPropW(list, L"ParentCB")));
    EXPECT_EQ(GetDesktopWindow(), GetAncestor(list, GA_PARENT));
    DWORD listStyle = static_cast<DWORD>(GetWindowLongPtrW(list, GWL_STYLE));
    EXPECT_TRUE(listStyle & WS_CHILD);
    EXPECT_FALSE(listStyle & WS_POPUP);
    EXPECT_TRUE(listStyle & WS_VSCROLL);
    EXPECT_TRUE(listStyle & LBS_SORT);
    EXPECT_TRUE(listStyle & LBS_DISABLENOSCROLL);
    EXPECT_FALSE(listStyle & LBS_NODATA);
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_NE(list, GetFocus());

    HWND edit = EditOf(combo);
    ASSERT_TRUE(IsWindow(edit));
    EXPECT_EQ(combo, GetParent(edit));
    RECT rc;
    GetWindowRect(edit, &rc);
    MapWindowPoints(nullptr, combo, reinterpret_cast<POINT*>(&rc), 2);
    RECT client;
    GetClientRect(combo, &client);
    EXPECT_EQ(2, rc.left);
    EXPECT_EQ(2, rc.top);
    EXPECT_EQ(client.right - GetSystemMetrics(SM_CXVSCROLL) - 3, rc.right - rc.left);
    EXPECT_EQ(client.bottom - 3, rc.bottom - rc.top);
    EXPECT_EQ(0x85, SendMessageW(combo, WM_GETDLGCODE, 0, 0)) << "arrows, characters, all keys";
    EXPECT_EQ(0x85, SendMessageW(edit, WM_GETDLGCODE, 0, 0));
}

TEST_F(InplaceCombo, DropDownListHasNoEdit)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWNLIST);
    EXPECT_EQ(nullptr, EditOf(combo));
    EXPECT_EQ(0, SendMessageW(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x")));
    wchar_t buf[8];
    EXPECT_EQ(-1, SendMessageW(combo, WM_GETTEXT, 8, reinterpret_cast<LPARAM>(buf)));
    EXPECT_EQ(-1, SendMessageW(combo, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(-1, SendMessageW(combo, WM_CLEAR, 0, 0));
    EXPECT_EQ(-1, SendMessageW(combo, CB_LIMITTEXT, 5, 0));
    EXPECT_EQ(-1, SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(0, -1)));
    EXPECT_EQ(-1, SendMessageW(combo, CB_GETEDITSEL, 0, 0));
}

// ---- forwarding --------------------------------------------------------------------------------

TEST_F(InplaceCombo, ListMessagesAreForwarded)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWN | CBS_HASSTRINGS);
    AddRows(combo, {L"alfa", L"beta", L"gama"});
    EXPECT_EQ(3, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(4, SendMessageW(combo, CB_GETLBTEXTLEN, 1, 0));
    wchar_t buf[16] = {};
    EXPECT_EQ(4, SendMessageW(combo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(buf)));
    EXPECT_STREQ(L"gama", buf);
    EXPECT_EQ(1, SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"beta")));
    EXPECT_EQ(2, SendMessageW(combo, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"ga")));
    // Item data is pointer-sized.
    LPARAM big = static_cast<LPARAM>(0x1234567890ABLL);
    SendMessageW(combo, CB_SETITEMDATA, 1, big);
    EXPECT_EQ(big, SendMessageW(combo, CB_GETITEMDATA, 1, 0));
    EXPECT_EQ(1, SendMessageW(combo, CB_INSERTSTRING, 1, reinterpret_cast<LPARAM>(L"alfa2")));
    EXPECT_EQ(3, SendMessageW(combo, CB_DELETESTRING, 0, 0));
    EXPECT_EQ(-1, SendMessageW(combo, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(1, SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"be")));
    EXPECT_EQ(1, SendMessageW(combo, CB_GETCURSEL, 0, 0));

    EXPECT_EQ(250, SendMessageW(combo, CB_SETDROPPEDWIDTH, 250, 0));
    EXPECT_EQ(250, SendMessageW(combo, CB_GETDROPPEDWIDTH, 0, 0));
    EXPECT_EQ(0, SendMessageW(combo, CB_SETEXTENDEDUI, 1, 0));
    EXPECT_EQ(1, SendMessageW(combo, CB_GETEXTENDEDUI, 0, 0));

    EXPECT_TRUE(SendMessageW(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"hello")));
    EXPECT_EQ(L"hello", TextOf(EditOf(combo)));
    EXPECT_EQ(5, SendMessageW(combo, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(1, SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(1, 3)));
    DWORD start = 0, end = 0;
    SendMessageW(combo, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(1u, start);
    EXPECT_EQ(3u, end);
    EXPECT_EQ(1, SendMessageW(combo, CB_LIMITTEXT, 3, 0));
    EXPECT_EQ(3, SendMessageW(EditOf(combo), EM_GETLIMITTEXT, 0, 0));
    for (const Seen& x : host.seen) {
        std::wstring cls = ClassOf(x.from);
        ADD_FAILURE() << "unexpected " << x.msg << " code " << x.code << " from combo " << (x.from == combo)
                      << " class " << std::string(cls.begin(), cls.end());
    }
}

TEST_F(InplaceCombo, CaseStylesMapAddedText)
{
    Host host;
    HWND upper = MakeCombo(host.hwnd, CBS_DROPDOWN | CBS_UPPERCASE);
    SendMessageW(upper, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"žluťoučký kůň"));
    SendMessageW(upper, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(L"abc"));
    wchar_t buf[32] = {};
    SendMessageW(upper, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ(L"ŽLUŤOUČKÝ KŮŇ", buf);
    SendMessageW(upper, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ(L"ABC", buf);
    EXPECT_TRUE(GetWindowLongPtrW(EditOf(upper), GWL_STYLE) & ES_UPPERCASE);
    HWND lower = MakeCombo(host.hwnd, CBS_DROPDOWN | CBS_LOWERCASE, 10, 40);
    SendMessageW(lower, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"ŠÍPEK"));
    SendMessageW(lower, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ(L"šípek", buf);
}

TEST_F(InplaceCombo, StyleChangesRebuildListAndEditStyles)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWN | CBS_AUTOHSCROLL);
    HWND list = ListOf(combo), edit = EditOf(combo);
    SetWindowLongPtrW(combo, GWL_STYLE, WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | CBS_SORT | CBS_UPPERCASE |
                                            CBS_DISABLENOSCROLL | WS_VSCROLL);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(combo, GWL_STYLE));
    EXPECT_FALSE(style & WS_VSCROLL) << "the scroll bar stays the list's";
    EXPECT_TRUE(style & CBS_SORT);
    DWORD listStyle = static_cast<DWORD>(GetWindowLongPtrW(list, GWL_STYLE));
    EXPECT_TRUE(listStyle & LBS_SORT);
    EXPECT_TRUE(listStyle & WS_VSCROLL);
    EXPECT_TRUE(listStyle & WS_CHILD);
    DWORD editStyle = static_cast<DWORD>(GetWindowLongPtrW(edit, GWL_STYLE));
    EXPECT_TRUE(editStyle & ES_UPPERCASE);
    EXPECT_FALSE(editStyle & ES_AUTOHSCROLL) << "the new style has no CBS_AUTOHSCROLL";
    EXPECT_TRUE(editStyle & WS_VISIBLE);
}

TEST_F(InplaceCombo, FontGoesToListAndEdit)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWN);
    HFONT font = CreateFontW(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    SendMessageW(combo, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    EXPECT_EQ(reinterpret_cast<LRESULT>(font), SendMessageW(ListOf(combo), WM_GETFONT, 0, 0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(font), SendMessageW(EditOf(combo), WM_GETFONT, 0, 0));
    EXPECT_GT(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0), 16) << "the list measures its rows in the font";
    DestroyWindow(combo);
    DeleteObject(font);
}

TEST_F(InplaceCombo, TabInTheEditFollowsTheTabStop)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWN | WS_TABSTOP);
    HWND other = CreateWindowExW(0, L"BUTTON", L"x", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 200, 10, 40, 20,
                                 host.hwnd, nullptr, nullptr, nullptr);
    HWND edit = EditOf(combo);
    SetFocus(combo);
    ASSERT_EQ(edit, GetFocus());
    host.seen.clear();
    SendMessageW(edit, WM_KEYDOWN, VK_TAB, 0x000F0001);
    EXPECT_EQ(other, GetFocus());
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_KILLFOCUS)));
    // Without a tab stop Tab in the edit is the host's, as in the combo itself: no focus change,
    // the key reported.
    SetWindowLongPtrW(combo, GWL_STYLE, GetWindowLongPtrW(combo, GWL_STYLE) & ~WS_TABSTOP);
    SetFocus(combo);
    host.seen.clear();
    SendMessageW(edit, WM_KEYDOWN, VK_TAB, 0x000F0001);
    EXPECT_EQ(edit, GetFocus());
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(NM_KEYDOWN)));
    host.seen.clear();
    // Esc and Enter in the edit are the combo's.
    SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_SELENDCANCEL), static_cast<UINT>(CBN_SELENDOK)));
}

TEST_F(InplaceCombo, ClassicButtonStateFollowsTheMouse)
{
    SetEnvironmentVariableW(L"PLEXA_FORCE_THEMED", nullptr);
    RegisterPlexaW(0);
    if (IsXPUIEnabled())
        GTEST_SKIP() << "themed drawing detected";
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWN);
    AddRows(combo, {L"alfa"});
    RECT client;
    GetClientRect(combo, &client);
    int inButton = client.right - 4;
    SendMessageW(combo, WM_MOUSEMOVE, 0, MAKELPARAM(inButton, 4));
    EXPECT_EQ(1, Prop(combo, L"CurState")) << "classic: no hot state";
    // A press in the text part of an editable combo only focuses it.
    SendMessageW(combo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 4));
    EXPECT_FALSE(IsWindowVisible(ListOf(combo)));
    EXPECT_EQ(EditOf(combo), GetFocus());
    SendMessageW(combo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(inButton, 4));
    EXPECT_TRUE(IsWindowVisible(ListOf(combo)));
    EXPECT_EQ(3, Prop(combo, L"CurState"));
    SendMessageW(combo, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 4));
    EXPECT_EQ(1, Prop(combo, L"CurState"));
    SendMessageW(combo, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(inButton, 4));
    EXPECT_EQ(3, Prop(combo, L"CurState"));
    // A second press on the button closes the list again and the button comes up.
    SendMessageW(combo, WM_LBUTTONUP, 0, MAKELPARAM(inButton, 4));
    ReleaseCapture();
    host.seen.clear();
    SendMessageW(combo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(inButton, 4));
    EXPECT_FALSE(IsWindowVisible(ListOf(combo)));
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_CLOSEUP)));
    SendMessageW(combo, WM_LBUTTONUP, 0, MAKELPARAM(inButton, 4));
    EXPECT_EQ(1, Prop(combo, L"CurState"));
}

// ---- sizing -------------------------------------------------------------------------------------

int DroppedHeight(HWND combo)
{
    RECT rc;
    SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&rc));
    return rc.bottom - rc.top;
}

TEST_F(InplaceCombo, ListHeightFollowsVisibleCountAndRows)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWNLIST | CBS_NOINTEGRALHEIGHT | WS_VSCROLL);
    int item = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
    ASSERT_GT(item, 0);
    EXPECT_EQ(item + 4, DroppedHeight(combo)) << "no rows: one row high";
    AddRows(combo, {L"a", L"b", L"c"});
    EXPECT_EQ(item + 4, DroppedHeight(combo)) << "visible count never set: one row high";
    EXPECT_EQ(0, SendMessageW(combo, ICBM_SETVISIBLECOUNT, 8, 0));
    EXPECT_EQ(8, SendMessageW(combo, ICBM_GETVISIBLECOUNT, 0, 0));
    EXPECT_EQ(3 * item + 4, DroppedHeight(combo));
    EXPECT_EQ(8, SendMessageW(combo, ICBM_SETVISIBLECOUNT, 2, 0));
    EXPECT_EQ(2 * item + 4, DroppedHeight(combo));
    SendMessageW(combo, ICBM_SETVISIBLECOUNT, 8, 0);
    SendMessageW(combo, CB_DELETESTRING, 0, 0);
    EXPECT_EQ(2 * item + 4, DroppedHeight(combo));
    SendMessageW(combo, CB_DELETESTRING, 0, 0);
    SendMessageW(combo, CB_DELETESTRING, 0, 0);
    EXPECT_EQ(item + 4, DroppedHeight(combo));

    // Without CBS_NOINTEGRALHEIGHT the list trims itself to whole rows: still as many rows.
    HWND integral = MakeCombo(host.hwnd, CBS_DROPDOWNLIST | WS_VSCROLL, 10, 50);
    AddRows(integral, {L"a", L"b", L"c", L"d"});
    SendMessageW(integral, ICBM_SETVISIBLECOUNT, 3, 0);
    SendMessageW(integral, CB_SHOWDROPDOWN, TRUE, 0);
    RECT client;
    GetClientRect(ListOf(integral), &client);
    EXPECT_EQ(3, client.bottom / item);
    SendMessageW(integral, CB_SHOWDROPDOWN, FALSE, 0);
}

TEST_F(InplaceCombo, DroppedRectHangsBelowTheCombo)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWNLIST, 20, 30, 150, 22);
    SendMessageW(combo, ICBM_SETVISIBLECOUNT, 8, 0);
    AddRows(combo, {L"a", L"b"});
    RECT window, drop;
    GetWindowRect(combo, &window);
    SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&drop));
    EXPECT_EQ(window.left, drop.left);
    EXPECT_EQ(window.bottom, drop.top);
    EXPECT_EQ(150, drop.right - drop.left);
    SendMessageW(combo, CB_SETDROPPEDWIDTH, 260, 0);
    SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&drop));
    EXPECT_EQ(260, drop.right - drop.left);
    EXPECT_FALSE(IsWindowVisible(ListOf(combo))) << "asking for the rectangle does not drop";
}

// ---- selection ----------------------------------------------------------------------------------

TEST_F(InplaceCombo, SetCurSelIsSilentSetSelNotifyCommits)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWN);
    AddRows(combo, {L"alfa", L"beta", L"gama"});
    SendMessageW(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"typed"));
    host.seen.clear();

    EXPECT_EQ(1, SendMessageW(combo, CB_SETCURSEL, 1, 0));
    EXPECT_EQ(1, Prop(combo, L"CurSel"));
    EXPECT_EQ(L"typed", TextOf(EditOf(combo)));
    wintest::PumpMessages();
    EXPECT_TRUE(host.seen.empty());

    SendMessageW(combo, ICBM_SETSELNOTIFY, 2, 0);
    EXPECT_EQ(2, Prop(combo, L"CurSel"));
    EXPECT_EQ(L"gama", TextOf(EditOf(combo)));
    DWORD start = 0, end = 0;
    SendMessageW(EditOf(combo), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(0u, start);
    EXPECT_EQ(4u, end);
    wintest::PumpMessages();
    ASSERT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_SELCHANGE)))
        << "writing the edit's text is not an edit change";
    EXPECT_EQ(L"gama", host.seen[0].comboText) << "the text is in place when the parent hears";
    EXPECT_EQ(static_cast<UINT_PTR>(kComboId), host.seen[0].id);
    EXPECT_EQ(combo, host.seen[0].from);

    SendMessageW(combo, ICBM_SETSELNOTIFY, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(L"", TextOf(EditOf(combo)));
    EXPECT_EQ(-1, Prop(combo, L"CurSel"));

    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(0, SendMessageW(combo, CB_RESETCONTENT, 0, 0));
    EXPECT_EQ(0, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"", TextOf(EditOf(combo)));
    wintest::PumpMessages();
    EXPECT_TRUE(host.Of(CBN_EDITCHANGE).empty());
}

// ---- dropping, closing and keys -----------------------------------------------------------------

TEST_F(InplaceCombo, ShowDropDownDropsAndCloses)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWNLIST);
    AddRows(combo, {L"alfa", L"beta"});
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    host.seen.clear();
    EXPECT_EQ(1, SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0));
    EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    HWND list = ListOf(combo);
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_EQ(1, SendMessageW(list, LB_GETCURSEL, 0, 0)) << "the list shows the current selection";
    EXPECT_EQ(combo, GetCapture());
    EXPECT_EQ(combo, GetFocus());
    RECT window, drop;
    GetWindowRect(combo, &window);
    GetWindowRect(list, &drop);
    EXPECT_EQ(window.left, drop.left);
    EXPECT_EQ(window.bottom, drop.top);
    EXPECT_EQ(1, SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0)) << "already dropped: nothing";
    EXPECT_EQ(1, SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0));
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_NE(combo, GetCapture());
    // Focus came with the drop, so CBN_SETFOCUS sits between.
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_SETFOCUS), static_cast<UINT>(CBN_DROPDOWN),
                                          static_cast<UINT>(CBN_CLOSEUP)));
}

TEST_F(InplaceCombo, EscapeAndEnter)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWNLIST);
    AddRows(combo, {L"alfa", L"beta"});
    SetFocus(combo);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    host.seen.clear();
    SendMessageW(combo, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_CLOSEUP))) << "dropped: only the close-up";
    EXPECT_FALSE(IsWindowVisible(ListOf(combo)));
    host.seen.clear();
    SendMessageW(combo, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_SELENDCANCEL)));
    host.seen.clear();
    SendMessageW(combo, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_SELENDOK)));
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    host.seen.clear();
    SendMessageW(combo, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_CLOSEUP)));
}

TEST_F(InplaceCombo, TabWithoutTabStopNotifiesKeyDown)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWNLIST);
    HWND other = CreateWindowExW(0, L"BUTTON", L"x", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 200, 10, 40, 20,
                                 host.hwnd, nullptr, nullptr, nullptr);
    SetFocus(combo);
    host.seen.clear();
    SendMessageW(combo, WM_KEYDOWN, VK_TAB, 0x000F0001);
    ASSERT_EQ(1u, host.seen.size());
    const Seen& s = host.seen[0];
    EXPECT_EQ(static_cast<UINT>(WM_NOTIFY), s.msg);
    EXPECT_EQ(static_cast<UINT>(NM_KEYDOWN), s.code);
    EXPECT_EQ(combo, s.from);
    EXPECT_EQ(static_cast<UINT_PTR>(kComboId), s.id);
    EXPECT_EQ(static_cast<UINT>(VK_TAB), s.vkey);
    EXPECT_EQ(0x000Fu, s.keyFlags);
    // The key travels in a full request-sized record: the fields past the key record are there.
    EXPECT_EQ(0, s.reserved);
    EXPECT_EQ(0, s.count);
    EXPECT_EQ(0, s.data);
    EXPECT_EQ(combo, GetFocus()) << "no focus change";

    // With a tab stop, Tab moves on instead.
    SetWindowLongPtrW(combo, GWL_STYLE, GetWindowLongPtrW(combo, GWL_STYLE) | WS_TABSTOP);
    host.seen.clear();
    SendMessageW(combo, WM_KEYDOWN, VK_TAB, 0x000F0001);
    EXPECT_EQ(other, GetFocus());
    EXPECT_TRUE(host.Of(NM_KEYDOWN).empty());
}

TEST_F(InplaceCombo, ArrowKeysCommitTheListSelection)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWNLIST);
    AddRows(combo, {L"alfa", L"beta", L"gama"});
    SetFocus(combo);
    host.seen.clear();
    SendMessageW(combo, WM_KEYDOWN, VK_DOWN, 0x00500001);
    EXPECT_EQ(0, Prop(combo, L"CurSel"));
    SendMessageW(combo, WM_KEYDOWN, VK_DOWN, 0x00500001);
    EXPECT_EQ(1, Prop(combo, L"CurSel"));
    EXPECT_EQ(1, SendMessageW(combo, CB_GETCURSEL, 0, 0));
    SendMessageW(combo, WM_KEYDOWN, VK_END, 0x004F0001);
    EXPECT_EQ(2, Prop(combo, L"CurSel"));
    // Every key commits, moved or not.
    SendMessageW(combo, WM_KEYDOWN, VK_END, 0x004F0001);
    EXPECT_EQ(4u, host.Of(CBN_SELCHANGE).size());
    // Alt+Down drops, Alt+Up closes.
    host.seen.clear();
    SendMessageW(combo, WM_SYSKEYDOWN, VK_DOWN, 0x20500001);
    EXPECT_TRUE(IsWindowVisible(ListOf(combo)));
    SendMessageW(combo, WM_SYSKEYDOWN, VK_UP, 0x20480001);
    EXPECT_FALSE(IsWindowVisible(ListOf(combo)));
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_DROPDOWN), static_cast<UINT>(CBN_CLOSEUP)));
}

TEST_F(InplaceCombo, DownInEditWithoutSelectionTakesLastSearch)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWN);
    AddRows(combo, {L"alfa", L"beta", L"gama"});
    HWND edit = EditOf(combo);
    SetFocus(edit);
    // Text changed as by typing: the list searches it.
    SetWindowTextW(edit, L"ga");
    EXPECT_EQ(2, Prop(combo, L"LastSearch"));
    host.seen.clear();
    SendMessageW(edit, WM_KEYDOWN, VK_DOWN, 0x00500001);
    EXPECT_EQ(2, Prop(combo, L"CurSel"));
    EXPECT_EQ(L"gama", TextOf(edit));
    wintest::PumpMessages();
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_EDITCHANGE)));
    // Now the list has a selection: Up moves it.
    SendMessageW(edit, WM_KEYDOWN, VK_UP, 0x00480001);
    EXPECT_EQ(1, Prop(combo, L"CurSel"));
    EXPECT_EQ(L"beta", TextOf(edit));

    // Nothing found by the last search: row 0.
    SetWindowTextW(edit, L"zzz");
    EXPECT_EQ(-1, Prop(combo, L"LastSearch"));
    SendMessageW(combo, WM_CHAR, 'z', 0);  // typing clears the list's selection
    EXPECT_EQ(-1, SendMessageW(ListOf(combo), LB_GETCURSEL, 0, 0));
    SendMessageW(edit, WM_KEYDOWN, VK_NEXT, 0x00510001);
    EXPECT_EQ(0, Prop(combo, L"CurSel"));
    EXPECT_EQ(L"alfa", TextOf(edit));
}

TEST_F(InplaceCombo, TypingInEditNotifiesAfterTheChange)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWN);
    AddRows(combo, {L"alfa", L"beta"});
    HWND edit = EditOf(combo);
    SetFocus(edit);
    host.seen.clear();
    PostMessageW(edit, WM_CHAR, 'b', 0x00300001);
    wintest::PumpMessages();
    // "b" starts an entry: the list drops with it highlighted.
    ASSERT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_DROPDOWN), static_cast<UINT>(CBN_EDITCHANGE)));
    EXPECT_EQ(L"b", host.seen.back().comboText);
    EXPECT_EQ(1, Prop(combo, L"LastSearch"));
    host.seen.clear();
    SendMessageW(edit, EM_SETSEL, 0, 1);
    SendMessageW(edit, WM_KEYDOWN, VK_DELETE, 0x01530001);
    wintest::PumpMessages();
    ASSERT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_EDITCHANGE)));
    EXPECT_EQ(L"", host.seen[0].comboText);
}

TEST_F(InplaceCombo, FocusNotifications)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWN);
    HWND other = CreateWindowExW(0, L"BUTTON", L"x", WS_CHILD | WS_VISIBLE, 200, 10, 40, 20, host.hwnd,
                                 nullptr, nullptr, nullptr);
    SetFocus(other);
    host.seen.clear();
    SetFocus(combo);
    EXPECT_EQ(EditOf(combo), GetFocus()) << "the edit takes the focus";
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_SETFOCUS)))
        << "passing focus to the own edit is no focus loss";
    host.seen.clear();
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    host.seen.clear();
    SetFocus(other);
    EXPECT_FALSE(IsWindowVisible(ListOf(combo)));
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_CLOSEUP), static_cast<UINT>(CBN_KILLFOCUS)));
}

// ---- mouse ---------------------------------------------------------------------------------------

TEST_F(InplaceCombo, ClickOutsideTheDroppedListClosesItSilently)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWNLIST);
    SendMessageW(combo, ICBM_SETVISIBLECOUNT, 8, 0);
    AddRows(combo, {L"alfa", L"beta", L"gama"});
    SetFocus(combo);
    RECT client;
    GetClientRect(combo, &client);
    // A press on the drop-down button drops the list, its release hands the capture to the list.
    SendMessageW(combo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.right - 5, 5));
    HWND list = ListOf(combo);
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_EQ(3, Prop(combo, L"CurState"));
    SendMessageW(combo, WM_LBUTTONUP, 0, MAKELPARAM(client.right - 5, 5));
    EXPECT_EQ(1, Prop(combo, L"CurState"));
    EXPECT_EQ(list, GetCapture());
    host.seen.clear();
    // Far outside the list (in list client coordinates).
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-500 & 0xFFFF, 300));
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_NE(list, GetCapture());
    EXPECT_TRUE(host.seen.empty()) << "no selection, no close-up";
    EXPECT_EQ(-1, Prop(combo, L"CurSel"));
}

TEST_F(InplaceCombo, ReleaseOnARowSelectsIt)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWNLIST);
    SendMessageW(combo, ICBM_SETVISIBLECOUNT, 8, 0);
    AddRows(combo, {L"alfa", L"beta", L"gama"});
    SetFocus(combo);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    HWND list = ListOf(combo);
    int item = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    host.seen.clear();
    // A press inside the list does nothing; moving selects the row under the pointer.
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, item * 2 + 2));
    EXPECT_TRUE(IsWindowVisible(list));
    SendMessageW(list, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, item * 2 + 2));
    EXPECT_EQ(2, SendMessageW(list, LB_GETCURSEL, 0, 0));
    EXPECT_TRUE(host.seen.empty());
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(5, item * 2 + 2));
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_EQ(2, Prop(combo, L"CurSel"));
    EXPECT_THAT(host.Codes(), ElementsAre(static_cast<UINT>(CBN_SELCHANGE))) << "no close-up on this path";
}

// ---- virtual mode ----------------------------------------------------------------------------------

class VirtualCombo : public InplaceCombo {
protected:
    void SetUp() override
    {
        InplaceCombo::SetUp();
        host.reset(new Host);
        host->rows = {L"Adámek", L"Bartoš", L"Bednář", L"Beneš", L"Čermák", L"Dvořák"};
    }
    void TearDown() override
    {
        host.reset();
        InplaceCombo::TearDown();
    }
    HWND Make(DWORD style)
    {
        HWND combo = MakeCombo(host->hwnd, style | ICBS_NODATA | WS_VSCROLL, 10, 10, 160, 22);
        SendMessageW(combo, ICBM_SETVISIBLECOUNT, 8, 0);
        SendMessageW(combo, ICBM_SETCOUNT, host->rows.size(), 0);
        host->seen.clear();
        return combo;
    }
    std::unique_ptr<Host> host;
};

TEST_F(VirtualCombo, ListAsksTheParent)
{
    HWND combo = Make(CBS_DROPDOWN);
    HWND list = ListOf(combo);
    EXPECT_TRUE(GetWindowLongPtrW(list, GWL_STYLE) & LBS_NODATA);
    EXPECT_TRUE(GetWindowLongPtrW(list, GWL_STYLE) & LBS_OWNERDRAWFIXED);
    ASSERT_TRUE(GetPropW(list, L"InputBuffer") != nullptr);
    EXPECT_EQ(6, SendMessageW(combo, CB_GETCOUNT, 0, 0));

    EXPECT_EQ(6, SendMessageW(combo, CB_GETLBTEXTLEN, 2, 0));
    ASSERT_EQ(1u, host->seen.size());
    EXPECT_EQ(ICBN_GETTEXTLENGTH, host->seen[0].code);
    EXPECT_EQ(static_cast<UINT>(ICIF_TEXTLENGTH), host->seen[0].mask);
    EXPECT_EQ(2, host->seen[0].item);
    EXPECT_EQ(0, host->seen[0].count) << "the length starts at 0";

    host->seen.clear();
    EXPECT_EQ(0x123456789LL + 4, SendMessageW(combo, CB_GETITEMDATA, 4, 0));
    ASSERT_EQ(1u, host->seen.size());
    EXPECT_EQ(ICBN_GETITEMDATA, host->seen[0].code);
    EXPECT_EQ(static_cast<UINT>(ICIF_DATA), host->seen[0].mask);

    host->seen.clear();
    EXPECT_EQ(3, SendMessageW(combo, CB_FINDSTRING, 1, reinterpret_cast<LPARAM>(L"ben")));
    ASSERT_EQ(1u, host->seen.size());
    EXPECT_EQ(ICBN_FINDSTRING, host->seen[0].code);
    EXPECT_EQ(-1, host->seen[0].item);
    EXPECT_EQ(0, host->seen[0].count);
    EXPECT_EQ(L"ben", host->seen[0].text);
    host->seen.clear();
    EXPECT_EQ(-1, SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"x")));

    // A parent that does not answer: empty rows, no data, no matches.
    host->answerRequests = false;
    EXPECT_EQ(0, SendMessageW(combo, CB_GETLBTEXTLEN, 2, 0));
    EXPECT_EQ(0, SendMessageW(combo, CB_GETITEMDATA, 2, 0));
    EXPECT_EQ(-1, SendMessageW(combo, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"b")));
}

TEST_F(VirtualCombo, SetCountOnlyInVirtualMode)
{
    HWND plain = MakeCombo(host->hwnd, CBS_DROPDOWNLIST, 10, 60);
    EXPECT_EQ(-1, SendMessageW(plain, ICBM_SETCOUNT, 10, 0));
    HWND combo = Make(CBS_DROPDOWNLIST);
    EXPECT_NE(-1, SendMessageW(combo, ICBM_SETCOUNT, 1000, 0));
    EXPECT_EQ(1000, SendMessageW(combo, CB_GETCOUNT, 0, 0));
}

// The text request carries the buffer's capacity, and the combo never lets the text run past it.
TEST_F(VirtualCombo, TextRequestCarriesTheCapacity)
{
    HWND combo = Make(CBS_DROPDOWN);
    wchar_t buf[16];
    wmemset(buf, L'#', 16);
    EXPECT_EQ(6, SendMessageW(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buf)));
    EXPECT_STREQ(L"Bartoš", buf);
    EXPECT_EQ(L'#', buf[7]) << "nothing written past the text";
    ASSERT_THAT(host->Codes(), ElementsAre(ICBN_GETTEXTLENGTH, ICBN_GETTEXT));
    EXPECT_EQ(static_cast<UINT>(ICIF_TEXT), host->seen[1].mask);
    EXPECT_EQ(7, host->seen[1].count) << "capacity: length plus terminator";

    // A parent whose length answer is shorter than the row: the text is cut to the capacity.
    host->lengthOverride = 3;
    host->seen.clear();
    wmemset(buf, L'#', 16);
    EXPECT_EQ(3, SendMessageW(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buf)));
    EXPECT_STREQ(L"Bar", buf);
    EXPECT_EQ(L'#', buf[4]);
    EXPECT_EQ(4, host->seen[1].count);
}

TEST_F(VirtualCombo, TypeAheadGrowsTheSearchText)
{
    HWND combo = Make(CBS_DROPDOWNLIST);
    SetFocus(combo);
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    HWND list = ListOf(combo);
    host->seen.clear();

    SendMessageW(combo, WM_CHAR, 'b', 0);
    std::vector<Seen> finds = host->Of(ICBN_FINDSTRING);
    ASSERT_EQ(1u, finds.size());
    EXPECT_EQ(L"b", finds[0].text);
    EXPECT_EQ(0, finds[0].item) << "the current row";
    EXPECT_EQ(0, finds[0].count) << "characters typed before this one";
    EXPECT_EQ(1, SendMessageW(list, LB_GETCURSEL, 0, 0));
    EXPECT_EQ(1, Prop(combo, L"CurSel"));

    host->seen.clear();
    SendMessageW(combo, WM_CHAR, 'e', 0);
    finds = host->Of(ICBN_FINDSTRING);
    ASSERT_EQ(1u, finds.size());
    EXPECT_EQ(L"be", finds[0].text);
    EXPECT_EQ(1, finds[0].item);
    EXPECT_EQ(1, finds[0].count);
    EXPECT_EQ(2, SendMessageW(list, LB_GETCURSEL, 0, 0));

    // No row starts with "beq": the parent matches two characters, the q is dropped.
    host->seen.clear();
    SendMessageW(combo, WM_CHAR, 'q', 0);
    SendMessageW(combo, WM_CHAR, 'n', 0);
    finds = host->Of(ICBN_FINDSTRING);
    ASSERT_EQ(2u, finds.size());
    EXPECT_EQ(L"beq", finds[0].text);
    EXPECT_EQ(L"ben", finds[1].text);
    EXPECT_EQ(2, finds[1].count);
    EXPECT_EQ(3, SendMessageW(list, LB_GETCURSEL, 0, 0));

    // Backspace takes the last character away.
    SendMessageW(combo, WM_KEYDOWN, VK_BACK, 0x000E0001);
    host->seen.clear();
    SendMessageW(combo, WM_CHAR, 'd', 0);
    finds = host->Of(ICBN_FINDSTRING);
    ASSERT_EQ(1u, finds.size());
    EXPECT_EQ(L"bed", finds[0].text);
    EXPECT_EQ(2, SendMessageW(list, LB_GETCURSEL, 0, 0));

    // The type-ahead timer empties the buffer.
    SendMessageW(list, WM_TIMER, 387, 0);
    host->seen.clear();
    SendMessageW(combo, WM_CHAR, 'd', 0);
    finds = host->Of(ICBN_FINDSTRING);
    ASSERT_EQ(1u, finds.size());
    EXPECT_EQ(L"d", finds[0].text);
    EXPECT_EQ(0, finds[0].count);
    EXPECT_EQ(5, SendMessageW(list, LB_GETCURSEL, 0, 0));

    // Arrow keys empty it too.
    SendMessageW(combo, WM_KEYDOWN, VK_UP, 0x00480001);
    host->seen.clear();
    SendMessageW(combo, WM_CHAR, 'a', 0);
    finds = host->Of(ICBN_FINDSTRING);
    ASSERT_EQ(1u, finds.size());
    EXPECT_EQ(L"a", finds[0].text);
}

TEST_F(VirtualCombo, PauseOfTwoSecondsEmptiesTheBuffer)
{
    HWND combo = Make(CBS_DROPDOWNLIST);
    SetFocus(combo);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageW(combo, WM_CHAR, 'b', 0);
    SendMessageW(combo, WM_CHAR, 'e', 0);
    wintest::PumpMessages(2300);
    host->seen.clear();
    SendMessageW(combo, WM_CHAR, 'c', 0);
    std::vector<Seen> finds = host->Of(ICBN_FINDSTRING);
    ASSERT_EQ(1u, finds.size());
    EXPECT_EQ(L"c", finds[0].text);
    EXPECT_EQ(0, finds[0].count);
}

TEST_F(VirtualCombo, RowsArePaintedFromParentText)
{
    HWND combo = Make(CBS_DROPDOWNLIST);
    SetFocus(combo);
    SendMessageW(combo, CB_SETCURSEL, 2, 0);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    HWND list = ListOf(combo);
    host->seen.clear();
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    // Every row shown was asked for.
    std::vector<int> asked;
    for (const Seen& s : host->Of(ICBN_GETTEXT))
        asked.push_back(s.item);
    for (int row = 0; row < 6; ++row)
        EXPECT_NE(asked.end(), std::find(asked.begin(), asked.end(), row)) << row;
    RECT rc;
    SendMessageW(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&rc));
    // The selected row is highlighted.
    HDC dc = GetDC(list);
    COLORREF c = GetPixel(dc, rc.right - 3, (rc.top + rc.bottom) / 2);
    ReleaseDC(list, dc);
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), c);
    // Type-ahead moves the selection to row 1: row 2 loses its highlight.
    SendMessageW(combo, WM_CHAR, 'b', 0);
    ASSERT_EQ(1, SendMessageW(list, LB_GETCURSEL, 0, 0));
    wintest::PumpMessages(50);
    dc = GetDC(list);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), GetPixel(dc, rc.right - 3, (rc.top + rc.bottom) / 2));
    SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&rc));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), GetPixel(dc, rc.right - 3, (rc.top + rc.bottom) / 2));
    ReleaseDC(list, dc);
    wintest::PumpMessages(300);
    std::wstring shot = wintest::SaveScreenshot(host->hwnd, L"inplacecombo_virtual_dropped_host");
    RECT lr;
    GetWindowRect(list, &lr);
    wintest::SaveScreenshot(list, L"inplacecombo_virtual_dropped_list");
    EXPECT_FALSE(shot.empty());
}

// Destroying a combo whose list is dropped and whose type-ahead timer runs takes the list with it.
TEST_F(VirtualCombo, DestroyWhileDroppedDisposesOfTheList)
{
    HWND combo = Make(CBS_DROPDOWNLIST);
    SetFocus(combo);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    HWND list = ListOf(combo);
    SendMessageW(combo, WM_CHAR, 'b', 0);  // arms the timer
    ASSERT_TRUE(IsWindowVisible(list));
    DestroyWindow(combo);
    EXPECT_FALSE(IsWindow(list));
    EXPECT_FALSE(IsWindow(combo));
    wintest::PumpMessages(2500);  // past the type-ahead delay
    EXPECT_FALSE(IsWindow(list));
    // A later combo still works: the shared state recovered.
    HWND again = Make(CBS_DROPDOWNLIST);
    SendMessageW(again, CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_TRUE(IsWindowVisible(ListOf(again)));
    UpdateWindow(again);
    DestroyWindow(again);
}

TEST_F(InplaceCombo, DestroyTakesThePlainListToo)
{
    Host host;
    HWND combo = MakeCombo(host.hwnd, CBS_DROPDOWN);
    HWND list = ListOf(combo);
    HWND edit = EditOf(combo);
    DestroyWindow(combo);
    EXPECT_FALSE(IsWindow(list));
    EXPECT_FALSE(IsWindow(edit));
}

// ---- keys through a real modal dialog loop ----------------------------------------------------------

struct DialogRun {
    std::vector<std::pair<UINT, UINT>> commands;  // (id, code)
    std::vector<UINT> notifies;
    HWND combo = nullptr;
    int step = 0;
    std::vector<std::pair<UINT, WPARAM>> script;  // messages posted to the focus window, one per tick
    bool noTabStop = false;
    int selAtEnd = -2;
    bool comboHadFocusAtEnd = false;
};

INT_PTR CALLBACK ComboDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DialogRun* run = reinterpret_cast<DialogRun*>(GetWindowLongPtrW(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        run = reinterpret_cast<DialogRun*>(lParam);
        SetWindowLongPtrW(dlg, DWLP_USER, lParam);
        run->combo = GetDlgItem(dlg, 101);
        for (const wchar_t* r : {L"alfa", L"beta", L"gama"})
            SendMessageW(run->combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(r));
        SendMessageW(run->combo, ICBM_SETVISIBLECOUNT, 8, 0);
        SetTimer(dlg, 1, 30, nullptr);
        if (run->noTabStop) {
            SetWindowLongPtrW(run->combo, GWL_STYLE, GetWindowLongPtrW(run->combo, GWL_STYLE) & ~WS_TABSTOP);
            SetFocus(run->combo);
            return FALSE;
        }
        return TRUE;  // focus to the first tab stop: the combo
    }
    case WM_TIMER:
        if (run->step < static_cast<int>(run->script.size())) {
            auto m = run->script[run->step++];
            UINT scan = MapVirtualKeyW(static_cast<UINT>(m.second), 0);
            LPARAM lp = 1 | (scan << 16) | (m.first == WM_SYSKEYDOWN ? (1 << 29) : 0);
            PostMessageW(GetFocus(), m.first, m.second, lp);
        } else {
            KillTimer(dlg, 1);
            run->comboHadFocusAtEnd = GetFocus() == run->combo;
            EndDialog(dlg, 999);  // the script ran out without the dialog closing
        }
        return TRUE;
    case WM_COMMAND:
        run->commands.push_back({LOWORD(wParam), HIWORD(wParam)});
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
            KillTimer(dlg, 1);
            run->selAtEnd = static_cast<int>(SendMessageW(run->combo, CB_GETCURSEL, 0, 0));
            EndDialog(dlg, LOWORD(wParam));
        }
        return TRUE;
    case WM_NOTIFY:
        // Only the combo's: version 6 buttons report their custom drawing too.
        if (reinterpret_cast<NMHDR*>(lParam)->hwndFrom == run->combo)
            run->notifies.push_back(reinterpret_cast<NMHDR*>(lParam)->code);
        return TRUE;
    }
    return FALSE;
}

std::vector<UINT> ComboCodes(const DialogRun& run)
{
    std::vector<UINT> codes;
    for (auto& c : run.commands)
        if (c.first == 101)
            codes.push_back(c.second);
    return codes;
}

TEST_F(InplaceCombo, KeysInAModalDialog)
{
    DialogRun run;
    run.script = {{WM_KEYDOWN, VK_DOWN}, {WM_KEYDOWN, VK_DOWN}, {WM_SYSKEYDOWN, VK_DOWN},
                  {WM_KEYDOWN, VK_DOWN}, {WM_SYSKEYDOWN, VK_UP}, {WM_KEYDOWN, VK_RETURN},
                  {WM_KEYDOWN, VK_ESCAPE}, {WM_KEYDOWN, VK_TAB}, {WM_KEYDOWN, VK_ESCAPE}};
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), L"PLEXA_COMBO_TEST_DLG", nullptr,
                                     ComboDialogProc, reinterpret_cast<LPARAM>(&run));
    // Enter and Esc on the combo are the combo's own; Tab moves to the OK button, where Esc
    // cancels the dialog.
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_THAT(ComboCodes(run),
                ElementsAre(static_cast<UINT>(CBN_SETFOCUS), static_cast<UINT>(CBN_SELCHANGE),
                            static_cast<UINT>(CBN_SELCHANGE), static_cast<UINT>(CBN_DROPDOWN),
                            static_cast<UINT>(CBN_SELCHANGE), static_cast<UINT>(CBN_CLOSEUP),
                            static_cast<UINT>(CBN_SELENDOK), static_cast<UINT>(CBN_SELENDCANCEL),
                            static_cast<UINT>(CBN_KILLFOCUS)));
    EXPECT_EQ(2, run.selAtEnd);
    EXPECT_TRUE(run.notifies.empty()) << "the combo has a tab stop: no NM_KEYDOWN";
    ASSERT_FALSE(run.commands.empty());
    EXPECT_EQ(static_cast<UINT>(IDCANCEL), run.commands.back().first);
}

TEST_F(InplaceCombo, EscapeWithTheListDroppedOnlyClosesIt)
{
    DialogRun run;
    run.script = {{WM_SYSKEYDOWN, VK_DOWN}, {WM_KEYDOWN, VK_ESCAPE}, {WM_KEYDOWN, VK_TAB},
                  {WM_KEYDOWN, VK_RETURN}};
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), L"PLEXA_COMBO_TEST_DLG", nullptr,
                                     ComboDialogProc, reinterpret_cast<LPARAM>(&run));
    EXPECT_EQ(IDOK, result) << "Enter on the default button";
    EXPECT_THAT(ComboCodes(run),
                ElementsAre(static_cast<UINT>(CBN_SETFOCUS), static_cast<UINT>(CBN_DROPDOWN),
                            static_cast<UINT>(CBN_CLOSEUP), static_cast<UINT>(CBN_KILLFOCUS)));
}

TEST_F(InplaceCombo, TabInADialogWithoutTabStopNotifiesTheParent)
{
    DialogRun run;
    run.noTabStop = true;
    run.script = {{WM_KEYDOWN, VK_TAB}, {WM_KEYDOWN, VK_TAB}};
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), L"PLEXA_COMBO_TEST_DLG", nullptr,
                                     ComboDialogProc, reinterpret_cast<LPARAM>(&run));
    EXPECT_EQ(999, result) << "the script ran out with the dialog open";
    EXPECT_THAT(run.notifies, ElementsAre(static_cast<UINT>(NM_KEYDOWN), static_cast<UINT>(NM_KEYDOWN)));
    EXPECT_TRUE(run.comboHadFocusAtEnd) << "Tab did not move the focus";
}

// ---- painting ---------------------------------------------------------------------------------------

COLORREF ScreenPixel(HWND hwnd, int x, int y)
{
    POINT pt = {x, y};
    ClientToScreen(hwnd, &pt);
    HDC dc = GetDC(nullptr);
    COLORREF c = GetPixel(dc, pt.x, pt.y);
    ReleaseDC(nullptr, dc);
    return c;
}

struct PaintedCombos {
    Host host{340, 160};
    HWND list = nullptr, dropdown = nullptr, plain = nullptr;
    PaintedCombos()
    {
        list = MakeCombo(host.hwnd, CBS_DROPDOWNLIST, 10, 10, 150, 22);
        AddRows(list, {L"Žluťoučký kůň", L"Bažant"});
        SendMessageW(list, CB_SETCURSEL, 0, 0);
        dropdown = MakeCombo(host.hwnd, CBS_DROPDOWN, 10, 50, 150, 22, WS_EX_CLIENTEDGE, 78);
        AddRows(dropdown, {L"Čáp bílý", L"Sýkora"});
        SendMessageW(dropdown, ICBM_SETSELNOTIFY, 1, 0);
        plain = MakeCombo(host.hwnd, CBS_DROPDOWNLIST, 10, 90, 150, 20, 0, 79);
        AddRows(plain, {L"bez okraje"});
        SendMessageW(plain, CB_SETCURSEL, 0, 0);
        SetFocus(list);
        RedrawWindow(host.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        wintest::PumpMessages(100);
    }
};

TEST_F(InplaceCombo, ClassicPainting)
{
    SetEnvironmentVariableW(L"PLEXA_FORCE_THEMED", nullptr);
    SetEnvironmentVariableW(L"PLEXA_NO_UXTHEME", L"1");
    RegisterPlexaW(0);
    ASSERT_EQ(0, IsXPUIEnabled());
    {
        PaintedCombos p;
        EXPECT_EQ(WS_EX_CLIENTEDGE, GetWindowLongPtrW(p.list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)
            << "classic: the system draws the edge";
        std::wstring shot = wintest::SaveScreenshot(p.host.hwnd, L"inplacecombo_classic");
        EXPECT_FALSE(shot.empty());
        RECT client;
        GetClientRect(p.list, &client);
        int bw = GetSystemMetrics(SM_CXVSCROLL);
        // The button face, and the arrow's black tip in its middle.
        EXPECT_EQ(GetSysColor(COLOR_BTNFACE), ScreenPixel(p.list, client.right - bw + 3, 3));
        bool arrow = false;
        for (int x = client.right - bw; x < client.right; ++x)
            for (int y = 0; y < client.bottom; ++y)
                if (ScreenPixel(p.list, x, y) == RGB(0, 0, 0))
                    arrow = true;
        EXPECT_TRUE(arrow);
        // The focused drop-down list shows its selection highlighted.
        EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), ScreenPixel(p.list, client.right - bw - 6, client.bottom / 2));
        // The unfocused one does not.
        GetClientRect(p.plain, &client);
        EXPECT_EQ(GetSysColor(COLOR_WINDOW), ScreenPixel(p.plain, client.right - bw - 6, client.bottom / 2));
    }
    SetEnvironmentVariableW(L"PLEXA_NO_UXTHEME", nullptr);
    RegisterPlexaW(0);
}

TEST_F(InplaceCombo, ThemedPainting)
{
    SetEnvironmentVariableW(L"PLEXA_FORCE_THEMED", L"1");
    RegisterPlexaW(0);
    ASSERT_EQ(1, IsXPUIEnabled());
    {
        PaintedCombos p;
        EXPECT_EQ(0, GetWindowLongPtrW(p.list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) << "the theme draws the border";
        EXPECT_EQ(WS_EX_CLIENTEDGE, static_cast<DWORD>(Prop(p.list, L"SavedExStyle")) & WS_EX_CLIENTEDGE);
        std::wstring shot = wintest::SaveScreenshot(p.host.hwnd, L"inplacecombo_themed");
        EXPECT_FALSE(shot.empty());
        RECT client;
        GetClientRect(p.list, &client);
        int bw = GetSystemMetrics(SM_CXVSCROLL);
        EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), ScreenPixel(p.list, client.right - bw - 8, client.bottom / 2));
        // Hot state on a move in the themed mode.
        SendMessageW(p.plain, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        EXPECT_EQ(2, Prop(p.plain, L"CurState"));
        SendMessageW(p.plain, WM_MOUSELEAVE, 0, 0);
        EXPECT_EQ(1, Prop(p.plain, L"CurState"));
        // A dropped virtual list draws through the combo (owner draw), themed.
        p.host.rows = {L"Adámek", L"Bartoš", L"Bednář"};
        HWND v = MakeCombo(p.host.hwnd, CBS_DROPDOWNLIST | ICBS_NODATA | WS_VSCROLL, 180, 10, 140, 22,
                           WS_EX_CLIENTEDGE, 80);
        SendMessageW(v, ICBM_SETVISIBLECOUNT, 8, 0);
        SendMessageW(v, ICBM_SETCOUNT, 3, 0);
        SendMessageW(v, CB_SETCURSEL, 1, 0);
        SetFocus(v);
        SendMessageW(v, CB_SHOWDROPDOWN, TRUE, 0);
        UpdateWindow(ListOf(v));
        wintest::PumpMessages(300);  // the new list window needs a moment on the X server
        wintest::SaveScreenshot(p.host.hwnd, L"inplacecombo_themed_dropped");
        EXPECT_FALSE(p.host.Of(ICBN_GETTEXT).empty());
        SendMessageW(v, CB_SHOWDROPDOWN, FALSE, 0);
    }
    SetEnvironmentVariableW(L"PLEXA_FORCE_THEMED", nullptr);
    RegisterPlexaW(0);
}

}  // namespace
