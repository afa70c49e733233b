// In-place combo box (INPLACECOMBOBOX): a combo box with its own drop-down list window, an
// optional edit field, and a virtual (no-data) mode in which the parent supplies every row.
//
// The combo keeps its list and edit in its window extra bytes and its state in window
// properties. The list is a COMBOLBOX made a child of the desktop, so that it can hang below the
// combo outside any dialog; the combo destroys it with itself. Texts travel in the combo's own
// character width (ANSI or wide window).
#include "plexa_internal.h"
#include <vssym32.h>
#include <vector>
#include <cstring>
#include <cwchar>

namespace {

const int kListSlot = 0;
const int kEditSlot = sizeof(HWND);
const UINT_PTR kTypeAheadTimer = 387;
const UINT kTypeAheadDelay = 2000;
// Arrows, characters and every other key (0x85): Tab, Enter and Esc reach the combo and its
// edit, which handle them themselves (tab stops, CBN_SELENDOK, CBN_SELENDCANCEL, NM_KEYDOWN).
const LRESULT kDialogCode = DLGC_WANTARROWS | DLGC_WANTALLKEYS | DLGC_WANTCHARS;
const int kInputChars = 256;  // type-ahead buffer: 255 characters and a terminator
const WORD kObmCombo = 32738;  // OBM_COMBO, the system drop-down arrow

const wchar_t kCurSel[] = L"CurSel";
const wchar_t kCurState[] = L"CurState";
const wchar_t kSavedExStyle[] = L"SavedExStyle";
const wchar_t kKeyState[] = L"KeyState";
const wchar_t kDrawFocus[] = L"DrawFocus";
const wchar_t kDroppedWidth[] = L"DroppedWidth";
const wchar_t kVisibleCount[] = L"VisibleCount";
const wchar_t kLastSearch[] = L"LastSearch";
const wchar_t kExtendedUI[] = L"ExtendedUI";
const wchar_t kParentCB[] = L"ParentCB";
const wchar_t kInputBuffer[] = L"InputBuffer";

enum ButtonState { kNormal = 1, kHot = 2, kPressed = 3 };

// 0 while the combo itself writes the edit's text, so that the change is not taken as typing.
int g_textNotify = 1;
// Set while the edit takes a typed character (not a deletion): only such a change looks for an
// entry to highlight.
int g_typedChar = 0;
// The classic drop-down arrow, loaded on first need; deleted whenever a combo is destroyed.
HBITMAP g_arrowBitmap = nullptr;
// The creation style, kept from WM_NCCREATE (where the scroll-bar and border bits are taken
// out of the window) for WM_CREATE, which derives the list's style from it.
DWORD g_creationStyle = 0;

// ---- small helpers ---------------------------------------------------------------------------

bool Wide(HWND hwnd)
{
    return IsWindowUnicode(hwnd) != FALSE;
}

LRESULT Send(bool wide, HWND to, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return wide ? SendMessageW(to, msg, wParam, lParam) : SendMessageA(to, msg, wParam, lParam);
}

LRESULT CallPrevious(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC prev = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return Wide(hwnd) ? CallWindowProcW(prev, hwnd, msg, wParam, lParam)
                      : CallWindowProcA(prev, hwnd, msg, wParam, lParam);
}

LRESULT DefaultProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return Wide(hwnd) ? DefWindowProcW(hwnd, msg, wParam, lParam)
                      : DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND ListOf(HWND combo)
{
    return reinterpret_cast<HWND>(GetWindowLongPtrW(combo, kListSlot));
}

HWND EditOf(HWND combo)
{
    return reinterpret_cast<HWND>(GetWindowLongPtrW(combo, kEditSlot));
}

HWND ComboOfChild(HWND child)
{
    return static_cast<HWND>(GetPropW(child, kParentCB));
}

DWORD StyleOf(HWND hwnd)
{
    return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
}

bool IsVirtualList(HWND list)
{
    return (StyleOf(list) & LBS_NODATA) != 0;
}

bool ListVisible(HWND combo)
{
    HWND list = ListOf(combo);
    return list && IsWindowVisible(list);
}

int ButtonWidth()
{
    return GetSystemMetrics(SM_CXVSCROLL);
}

void NotifyParent(HWND combo, int code)
{
    SendMessageW(GetParent(combo), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(combo), static_cast<WORD>(code)),
                 reinterpret_cast<LPARAM>(combo));
}

// Sends one request record to the parent; the record's header is filled here.
LRESULT SendRequest(HWND combo, UINT code, ComboItemRequest& r)
{
    r.hdr.hwndFrom = combo;
    r.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(combo));
    r.hdr.code = code;
    return Send(Wide(combo), GetParent(combo), WM_NOTIFY, r.hdr.idFrom,
                reinterpret_cast<LPARAM>(&r));
}

// The type-ahead buffer of a virtual list, in the list's character width.
void* InputBufferOf(HWND list)
{
    return GetPropW(list, kInputBuffer);
}

int InputLength(HWND list)
{
    void* buf = InputBufferOf(list);
    if (!buf)
        return 0;
    return Wide(list) ? static_cast<int>(wcslen(static_cast<wchar_t*>(buf)))
                      : static_cast<int>(strlen(static_cast<char*>(buf)));
}

void CutInput(HWND list, int length)
{
    void* buf = InputBufferOf(list);
    if (!buf)
        return;
    if (length < 0)
        length = 0;
    if (length >= kInputChars)
        length = kInputChars - 1;
    if (Wide(list))
        static_cast<wchar_t*>(buf)[length] = 0;
    else
        static_cast<char*>(buf)[length] = 0;
}

// A row's text in the combo's character width (wchar_t storage, used as bytes for ANSI).
struct RowText {
    bool wide = true;
    std::vector<wchar_t> store;
    int length = 0;

    const wchar_t* W() const { return store.data(); }
    const char* A() const { return reinterpret_cast<const char*>(store.data()); }
    LPARAM AsParam() const { return reinterpret_cast<LPARAM>(store.data()); }

    void Draw(HDC dc, RECT* rc, UINT format) const
    {
        if (wide)
            DrawTextW(dc, W(), length, rc, format);
        else
            DrawTextA(dc, A(), length, rc, format);
    }
    int PrefixWidth(HDC dc, int n) const
    {
        if (n > length)
            n = length;
        SIZE size = {};
        if (wide)
            GetTextExtentPoint32W(dc, W(), n, &size);
        else
            GetTextExtentPoint32A(dc, A(), n, &size);
        return size.cx;
    }
};

// Asks the parent of a virtual combo for a row's text, giving the capacity of the buffer so
// that it never writes past it.
int RequestRowText(HWND combo, int row, void* buffer, int capacity)
{
    bool wide = Wide(combo);
    if (capacity <= 0)
        return 0;
    if (wide)
        static_cast<wchar_t*>(buffer)[0] = 0;
    else
        static_cast<char*>(buffer)[0] = 0;
    ComboItemRequest r = {};
    r.mask = ICIF_TEXT;
    r.item = row;
    r.count = capacity;
    r.text = static_cast<LPWSTR>(buffer);
    SendRequest(combo, ICBN_GETTEXT, r);
    // Whatever the parent did, the result stays inside the buffer and terminated.
    if (wide) {
        wchar_t* w = static_cast<wchar_t*>(buffer);
        size_t n = wcsnlen(w, static_cast<size_t>(capacity));
        if (n >= static_cast<size_t>(capacity)) {
            n = static_cast<size_t>(capacity) - 1;
            w[n] = 0;
        }
        return static_cast<int>(n);
    }
    char* a = static_cast<char*>(buffer);
    size_t n = strnlen(a, static_cast<size_t>(capacity));
    if (n >= static_cast<size_t>(capacity)) {
        n = static_cast<size_t>(capacity) - 1;
        a[n] = 0;
    }
    return static_cast<int>(n);
}

int RequestRowLength(HWND combo, int row)
{
    ComboItemRequest r = {};
    r.mask = ICIF_TEXTLENGTH;
    r.item = row;
    r.count = 0;
    SendRequest(combo, ICBN_GETTEXTLENGTH, r);
    return r.count;
}

RowText GetRowText(HWND combo, int row)
{
    RowText t;
    t.wide = Wide(combo);
    HWND list = ListOf(combo);
    if (row < 0 || !list) {
        t.store.assign(1, 0);
        return t;
    }
    if (IsVirtualList(list)) {
        int len = RequestRowLength(combo, row);
        if (len < 0)
            len = 0;
        t.store.assign(static_cast<size_t>(len) + 1, 0);
        t.length = RequestRowText(combo, row, t.store.data(), len + 1);
        return t;
    }
    LRESULT len = Send(t.wide, list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (len == LB_ERR || len < 0) {
        t.store.assign(1, 0);
        return t;
    }
    t.store.assign(static_cast<size_t>(len) + 1, 0);
    LRESULT got = Send(t.wide, list, LB_GETTEXT, static_cast<WPARAM>(row), t.AsParam());
    t.length = got == LB_ERR ? 0 : static_cast<int>(got);
    if (t.length > len)
        t.length = static_cast<int>(len);
    return t;
}

void SetEditTextQuietly(HWND edit, const RowText& text)
{
    g_textNotify = 0;
    if (text.wide)
        SetWindowTextW(edit, text.W());
    else
        SetWindowTextA(edit, text.A());
    g_textNotify = 1;
}

// ---- geometry ----------------------------------------------------------------------------------

int ListHeight(HWND combo)
{
    HWND list = ListOf(combo);
    int itemHeight = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    if (itemHeight < 0)
        itemHeight = 0;
    int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    int visible = PlexaGetProp(combo, kVisibleCount);
    int rows = count < visible ? count : visible;
    if (rows <= 0)
        rows = 1;
    return itemHeight * rows + 4;
}

int DropWidth(HWND combo)
{
    RECT rc;
    GetWindowRect(combo, &rc);
    int width = rc.right - rc.left;
    int dropped = PlexaGetProp(combo, kDroppedWidth);
    return dropped > width ? dropped : width;
}

// Resets the list's height, keeping its width and place.
void ResetListHeight(HWND combo)
{
    HWND list = ListOf(combo);
    if (!list)
        return;
    RECT rc;
    GetWindowRect(list, &rc);
    SetWindowPos(list, nullptr, 0, 0, rc.right - rc.left, ListHeight(combo),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT DropRect(HWND combo)
{
    RECT rc;
    GetWindowRect(combo, &rc);
    RECT drop = {rc.left, rc.bottom, rc.left + DropWidth(combo), rc.bottom + ListHeight(combo)};
    return drop;
}

bool InButtonArea(HWND combo, int x)
{
    RECT rc;
    GetClientRect(combo, &rc);
    return x >= rc.right - ButtonWidth();
}

// Repaints two rows of a list at once (the old and the new selection).
void RepaintRows(HWND list, int a, int b)
{
    for (int row : {a, b}) {
        if (row < 0)
            continue;
        RECT rc;
        if (SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&rc)) != LB_ERR)
            InvalidateRect(list, &rc, FALSE);
    }
    UpdateWindow(list);
}

void RepaintSelectedRow(HWND list)
{
    int sel = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    RepaintRows(list, sel, -1);
}

// A virtual list paints its own rows when not themed; those need an immediate repaint when the
// selection moves.
bool PaintsOwnRows(HWND list)
{
    return IsVirtualList(list) && !PlexaThemedDrawingOn();
}

void SetCurSelFromList(HWND combo)
{
    PlexaSetProp(combo, kCurSel, static_cast<int>(SendMessageW(ListOf(combo), LB_GETCURSEL, 0, 0)));
}

// ---- dropping and closing ----------------------------------------------------------------------

void CloseList(HWND combo, bool notify)
{
    ShowWindow(ListOf(combo), SW_HIDE);
    ReleaseCapture();
    if (notify)
        NotifyParent(combo, CBN_CLOSEUP);
}

void ToggleList(HWND combo)
{
    HWND list = ListOf(combo);
    if (!list)
        return;
    if (IsWindowVisible(list)) {
        CloseList(combo, true);
        return;
    }
    HWND edit = EditOf(combo);
    if (edit)
        SetFocus(edit);
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(PlexaGetProp(combo, kCurSel)), 0);
    RECT drop = DropRect(combo);
    BOOL animate = FALSE;
    SystemParametersInfoW(SPI_GETCOMBOBOXANIMATION, 0, &animate, 0);
    if (animate) {
        UpdateWindow(combo);
        SetWindowPos(list, HWND_TOPMOST, drop.left, drop.top, drop.right - drop.left,
                     drop.bottom - drop.top, SWP_NOACTIVATE);
        AnimateWindow(list, 200, AW_SLIDE | AW_VER_POSITIVE);
    } else {
        SetWindowPos(list, HWND_TOPMOST, drop.left, drop.top, drop.right - drop.left,
                     drop.bottom - drop.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    if (!edit)
        SetFocus(combo);
    NotifyParent(combo, CBN_DROPDOWN);
    SetCapture(combo);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

// ---- styles ------------------------------------------------------------------------------------

DWORD ListStyleFor(DWORD comboStyle)
{
    DWORD s = WS_CLIPSIBLINGS | WS_BORDER;
    if (comboStyle & WS_VSCROLL) s |= WS_VSCROLL;
    if (comboStyle & WS_HSCROLL) s |= WS_HSCROLL;
    if (comboStyle & CBS_SORT) s |= LBS_SORT;
    if (comboStyle & CBS_HASSTRINGS) s |= LBS_HASSTRINGS;
    if (comboStyle & CBS_NOINTEGRALHEIGHT) s |= LBS_NOINTEGRALHEIGHT;
    if (comboStyle & CBS_DISABLENOSCROLL) s |= LBS_DISABLENOSCROLL;
    if (comboStyle & CBS_OWNERDRAWFIXED) s |= LBS_OWNERDRAWFIXED;
    if (comboStyle & CBS_OWNERDRAWVARIABLE) s |= LBS_OWNERDRAWVARIABLE;
    if (comboStyle & ICBS_NODATA) s |= LBS_NODATA | LBS_OWNERDRAWFIXED;
    return s;
}

DWORD EditStyleFor(DWORD comboStyle, bool autoScroll)
{
    DWORD s = WS_CHILD | WS_VISIBLE;
    if (autoScroll) s |= ES_AUTOHSCROLL;
    if (comboStyle & CBS_LOWERCASE) s |= ES_LOWERCASE;
    if (comboStyle & CBS_UPPERCASE) s |= ES_UPPERCASE;
    if (comboStyle & CBS_OEMCONVERT) s |= ES_OEMCONVERT;
    return s;
}

bool IsDropDownList(DWORD style)
{
    return (style & 3) == CBS_DROPDOWNLIST;
}

// ---- row painting ------------------------------------------------------------------------------

// Draws one row of the list: highlighted when selected; on the selected row of a virtual list
// a caret line marks how much of the text the type-ahead has matched.
void DrawRow(HWND combo, HWND list, HDC dc, int row, RECT rc, bool selected)
{
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    Rectangle(dc, rc.left, rc.top, rc.right + 1, rc.bottom + 1);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    COLORREF oldText, oldBk = GetBkColor(dc);
    int oldMode;
    if (selected) {
        oldText = SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        oldMode = SetBkMode(dc, TRANSPARENT);
    } else {
        oldText = SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        oldMode = SetBkMode(dc, OPAQUE);
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    }
    RECT text = rc;
    InflateRect(&text, -1, -1);
    RowText t = GetRowText(combo, row);
    t.Draw(dc, &text, 0);
    if (selected && IsVirtualList(list)) {
        int typed = InputLength(list);
        if (typed > 0) {
            int x = rc.left + 1 + t.PrefixWidth(dc, typed);
            int oldRop = SetROP2(dc, R2_NOTXORPEN);
            MoveToEx(dc, x, rc.top, nullptr);
            LineTo(dc, x, rc.bottom);
            SetROP2(dc, oldRop);
        }
    }
    SetTextColor(dc, oldText);
    SetBkMode(dc, oldMode);
    SetBkColor(dc, oldBk);
}

// Classic painting of a virtual list: the rows from the top index that meet the update region.
void PaintVirtualList(HWND combo, HWND list)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(list, &ps);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    RECT client;
    GetClientRect(list, &client);
    int top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    int sel = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    int visible = PlexaGetProp(combo, kVisibleCount);
    for (int row = top < 0 ? 0 : top; row < count; ++row) {
        RECT rc;
        if (SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&rc)) == LB_ERR)
            break;
        // The rows the list shows, and any partly visible one below them.
        if (row - top >= visible && rc.top >= client.bottom)
            break;
        if (RectVisible(dc, &rc))
            DrawRow(combo, list, dc, row, rc, row == sel);
    }
    if (oldFont)
        SelectObject(dc, oldFont);
    EndPaint(list, &ps);
}

// ---- the combo's own painting ----------------------------------------------------------------

void PaintCombo(HWND combo, HDC given)
{
    PAINTSTRUCT ps = {};
    HDC dc = given ? given : BeginPaint(combo, &ps);

    if (PlexaGetProp(combo, kDrawFocus) == 0 && PlexaKeyboardInUse(PlexaGetProp(combo, kKeyState)))
        PlexaSetProp(combo, kDrawFocus, 1);

    RECT client;
    GetClientRect(combo, &client);
    RECT button = client;
    button.left = client.right - ButtonWidth();
    RECT text = client;
    text.right = button.left;
    int state = PlexaGetProp(combo, kCurState);
    if (state < kNormal || state > kPressed)
        state = kNormal;
    bool clientEdge = (PlexaGetProp(combo, kSavedExStyle) & WS_EX_CLIENTEDGE) != 0;

    HTHEME theme = PlexaOpenTheme(combo, L"COMBOBOX");
    if (theme) {
        const PlexaThemeApi& api = g_plexaTheme;
        if (api.DrawThemeParentBackground)
            api.DrawThemeParentBackground(combo, dc, &client);
        InflateRect(&text, -1, -1);
        if (clientEdge) {
            int border = 0;
            if (api.GetThemeMetric)
                api.GetThemeMetric(theme, dc, 0, 0, TMT_BORDERSIZE, &border);
            text.right -= border;
            button.left -= border;
            button.top += border;
            button.right -= border;
            button.bottom -= border;
            if (api.DrawThemeBackground)
                api.DrawThemeBackground(theme, dc, 0, 0, &client, nullptr);
        } else {
            FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
        }
        if (api.DrawThemeBackground)
            api.DrawThemeBackground(theme, dc, CP_DROPDOWNBUTTON, state, &button, nullptr);
        PlexaCloseTheme(theme);
    } else {
        UINT flags = DFCS_BUTTONPUSH;
        if (state == kPressed)
            flags |= DFCS_PUSHED | DFCS_FLAT;
        DrawFrameControl(dc, &button, DFC_BUTTON, flags);
        if (!g_arrowBitmap)
            g_arrowBitmap = static_cast<HBITMAP>(LoadImageW(nullptr, MAKEINTRESOURCEW(kObmCombo),
                                                            IMAGE_BITMAP, 0, 0, 0));
        if (g_arrowBitmap) {
            BITMAP bm = {};
            GetObjectW(g_arrowBitmap, sizeof(bm), &bm);
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, g_arrowBitmap);
            int shift = state == kPressed ? 1 : 0;
            int x = button.left + (button.right - button.left - bm.bmWidth) / 2 + shift;
            int y = button.top + (button.bottom - button.top - bm.bmHeight) / 2 + shift;
            BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        }
    }

    DWORD style = StyleOf(combo);
    if ((style & 3) != 0) {
        if (theme) {
            if (clientEdge) {
                text.left += 1;
                text.top += 1;
                text.bottom -= 1;
            }
        } else {
            HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
            Rectangle(dc, text.left, text.top, text.right + 1, text.bottom + 1);
            SelectObject(dc, oldPen);
            InflateRect(&text, -1, -1);
        }
        bool focused = GetFocus() == combo && !ListVisible(combo);
        COLORREF oldText = 0;
        if (focused) {
            FillRect(dc, &text, GetSysColorBrush(COLOR_HIGHLIGHT));
            oldText = SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        } else {
            oldText = SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        }
        int sel = PlexaGetProp(combo, kCurSel);
        if (sel >= 0) {
            HFONT font = reinterpret_cast<HFONT>(SendMessageW(ListOf(combo), WM_GETFONT, 0, 0));
            HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
            int oldMode = SetBkMode(dc, TRANSPARENT);
            RECT r = text;
            r.left += 1;
            GetRowText(combo, sel).Draw(dc, &r, DT_SINGLELINE | DT_VCENTER);
            SetBkMode(dc, oldMode);
            if (oldFont)
                SelectObject(dc, oldFont);
        }
        SetTextColor(dc, oldText);
        if (focused && PlexaGetProp(combo, kDrawFocus) == 1)
            DrawFocusRect(dc, &text);
    }

    if (!given)
        EndPaint(combo, &ps);
}

void Repaint(HWND combo)
{
    InvalidateRect(combo, nullptr, TRUE);
}

// The drop button's look (kNormal, kHot, kPressed), shown at once.
void SetButtonState(HWND combo, int state)
{
    PlexaSetProp(combo, kCurState, state);
    Repaint(combo);
}

// ---- selection ---------------------------------------------------------------------------------

// Commits a selection: the edit shows the row's text (or the combo repaints) and the parent
// hears CBN_SELCHANGE.
void CommitSelection(HWND combo, int index)
{
    PlexaSetProp(combo, kCurSel, index);
    HWND edit = EditOf(combo);
    if (edit) {
        SetEditTextQuietly(edit, GetRowText(combo, index));
        SendMessageW(edit, EM_SETSEL, 0, -1);
    } else {
        Repaint(combo);
    }
    NotifyParent(combo, CBN_SELCHANGE);
}

void FocusNextTabStop(HWND combo)
{
    bool previous = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    HWND next = GetNextDlgTabItem(GetParent(combo), combo, previous ? TRUE : FALSE);
    if (next)
        SetFocus(next);
}

// Tab in a combo without a tab stop: NM_KEYDOWN to the parent, so a host can move between its
// in-place editors. The key record is sent inside a full request-sized record, so a host that
// rewrites the request fields (the property box does) stays inside it.
void NotifyTab(HWND combo, LPARAM keyLParam)
{
    union {
        NMKEY key;
        ComboItemRequest full;
    } record;
    memset(&record, 0, sizeof(record));
    record.key.hdr.hwndFrom = combo;
    record.key.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(combo));
    record.key.hdr.code = NM_KEYDOWN;
    record.key.nVKey = VK_TAB;
    record.key.uFlags = HIWORD(keyLParam);
    SendMessageW(GetParent(combo), WM_NOTIFY, record.key.hdr.idFrom, reinterpret_cast<LPARAM>(&record));
}

// ---- the list's procedure ----------------------------------------------------------------------

int FindRequest(HWND combo, int item, int count, const void* text, int* matched)
{
    ComboItemRequest r = {};
    r.item = item;
    r.count = count;
    r.text = static_cast<LPWSTR>(const_cast<void*>(text));
    SendRequest(combo, ICBN_FINDSTRING, r);
    if (matched)
        *matched = r.count;
    return r.item;
}

void TypeAhead(HWND combo, HWND list, WPARAM ch)
{
    SetTimer(list, kTypeAheadTimer, kTypeAheadDelay, nullptr);
    void* buf = InputBufferOf(list);
    if (!buf)
        return;
    bool wide = Wide(list);
    int before = InputLength(list);
    if (before < kInputChars - 1) {
        if (wide) {
            static_cast<wchar_t*>(buf)[before] = static_cast<wchar_t>(ch);
            static_cast<wchar_t*>(buf)[before + 1] = 0;
        } else {
            static_cast<char*>(buf)[before] = static_cast<char>(ch);
            static_cast<char*>(buf)[before + 1] = 0;
        }
    }
    int current = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    int matched = before;
    int found = FindRequest(combo, current, before, buf, &matched);
    if (found != current) {
        RepaintRows(list, current, -1);
        CallWindowProcW(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(list, GWLP_USERDATA)), list,
                        LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        UpdateWindow(list);
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
    }
    // What the parent could not match is dropped from the buffer.
    int length = InputLength(list);
    if (matched < length)
        CutInput(list, matched);
    // The list may repaint the row it leaves while that row still counts as selected: both rows
    // are drawn again now that the selection has settled.
    RepaintRows(list, current, static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)));
}

void ListMouseMove(HWND list, WPARAM wParam, LPARAM lParam)
{
    if (GetCapture() != list)
        SetCapture(list);
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    RECT client;
    GetClientRect(list, &client);
    if (!PtInRect(&client, pt) && !(wParam & MK_LBUTTON))
        return;
    int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    if (count <= 0)
        return;
    int row;
    if (pt.y < 0) {
        // Above the list: the row before the top row, so that dragging up scrolls.
        row = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0)) - 1;
    } else if (pt.y >= client.bottom) {
        // Below the list: one row past the last visible one, so that dragging down scrolls.
        LRESULT r = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(2, client.bottom - 1));
        row = LOWORD(r) + 1;
    } else {
        LRESULT r = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(2, pt.y));
        row = LOWORD(r);
    }
    if (row < 0)
        row = 0;
    if (row >= count)
        row = count - 1;
    int old = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    if (PaintsOwnRows(list) && row != old)
        CutInput(list, 0);
    if (row != old)
        RepaintRows(list, old, row);
}

void ListButtonDown(HWND combo, HWND list, LPARAM lParam)
{
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    RECT client;
    GetClientRect(list, &client);
    if (PtInRect(&client, pt))
        return;
    POINT screen = pt;
    ClientToScreen(list, &screen);
    RECT window;
    GetWindowRect(list, &window);
    ReleaseCapture();
    if (PtInRect(&window, screen)) {
        // The border or a scroll bar: let the list handle the press as a non-client one.
        LPARAM where = MAKELPARAM(screen.x, screen.y);
        LRESULT hit = SendMessageW(list, WM_NCHITTEST, 0, where);
        SendMessageW(list, WM_NCLBUTTONDOWN, static_cast<WPARAM>(hit), where);
        if (hit == HTVSCROLL && IsWindowVisible(list))
            SetCapture(list);
        return;
    }
    // A press outside closes the list without a selection.
    ShowWindow(list, SW_HIDE);
    Repaint(combo);
}

LRESULT CALLBACK ListProc(HWND list, UINT msg, WPARAM wParam, LPARAM lParam)
{
    HWND combo = ComboOfChild(list);
    if (!combo)
        return CallPrevious(list, msg, wParam, lParam);
    bool virtualList = IsVirtualList(list);
    switch (msg) {
    case LB_GETTEXTLEN:
        if (virtualList)
            return SendMessageW(combo, ICBM_GETITEMTEXTLENGTH, wParam, 0);
        break;
    case LB_GETTEXT:
        if (virtualList)
            return SendMessageW(combo, ICBM_GETITEMTEXT, wParam, lParam);
        break;
    case LB_GETITEMDATA:
        if (virtualList)
            return SendMessageW(combo, ICBM_GETITEMDATA, wParam, 0);
        break;
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
        if (virtualList)
            return FindRequest(combo, -1, 0, reinterpret_cast<const void*>(lParam), nullptr);
        break;
    case WM_CHAR:
        if (virtualList) {
            TypeAhead(combo, list, wParam);
            return 0;
        }
        break;
    case WM_KEYDOWN:
        if (virtualList) {
            switch (wParam) {
            case VK_BACK: case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME:
            case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN: {
                SetTimer(list, kTypeAheadTimer, kTypeAheadDelay, nullptr);
                int typed = InputLength(list);
                if (typed > 0) {
                    CutInput(list, wParam == VK_BACK ? typed - 1 : 0);
                    RepaintSelectedRow(list);
                }
                break;
            }
            default:
                break;
            }
        }
        break;
    case WM_TIMER:
        if (wParam == kTypeAheadTimer) {
            KillTimer(list, kTypeAheadTimer);
            if (InputLength(list) > 0) {
                CutInput(list, 0);
                RepaintSelectedRow(list);
            }
            return 0;
        }
        break;
    case WM_PAINT:
        if (PaintsOwnRows(list)) {
            PaintVirtualList(combo, list);
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        ListMouseMove(list, wParam, lParam);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        ListButtonDown(combo, list, lParam);
        return 0;
    case WM_LBUTTONUP: {
        int sel = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
        SendMessageW(combo, ICBM_SETSELNOTIFY, static_cast<WPARAM>(sel), 0);
        ReleaseCapture();
        ShowWindow(list, SW_HIDE);
        Repaint(combo);
        return 0;
    }
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    default:
        break;
    }
    return CallPrevious(list, msg, wParam, lParam);
}

// ---- the edit's procedure ----------------------------------------------------------------------

bool IsListKey(WPARAM key)
{
    bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    switch (key) {
    case VK_UP: case VK_DOWN: case VK_PRIOR: case VK_NEXT:
        return true;
    case VK_HOME: case VK_END:
        return ctrl;
    default:
        return false;
    }
}

LRESULT CALLBACK EditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam)
{
    HWND combo = GetParent(edit);
    switch (msg) {
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_ESCAPE:
        case VK_RETURN:
            return SendMessageW(combo, WM_KEYDOWN, wParam, lParam);
        case VK_TAB:
            // As in the combo itself: the next tab stop, or the host hears of the key.
            SendMessageW(combo, WM_KEYDOWN, wParam, lParam);
            return 0;
        case VK_DELETE: {
            // What is deleted is not typed: nothing stays highlighted for Enter to take.
            SendMessageW(ListOf(combo), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            LRESULT r = CallPrevious(edit, msg, wParam, lParam);
            PostMessageW(combo, ICBM_NOTIFYEDITCHANGE, 0, 0);
            return r;
        }
        default:
            break;
        }
        if (!(GetKeyState(VK_SHIFT) & 0x8000) && IsListKey(wParam)) {
            HWND list = ListOf(combo);
            int sel = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
            if (sel >= 0) {
                SendMessageW(list, WM_KEYDOWN, wParam, lParam);
            } else {
                int last = PlexaGetProp(combo, kLastSearch);
                SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(last < 0 ? 0 : last), 0);
            }
            SetCurSelFromList(combo);
            SetEditTextQuietly(edit, GetRowText(combo, PlexaGetProp(combo, kCurSel)));
            SendMessageW(edit, EM_SETSEL, 0, -1);
            PostMessageW(combo, ICBM_NOTIFYEDITCHANGE, 0, 0);
            return 0;
        }
        break;
    case WM_CHAR: {
        Send(Wide(edit), combo, WM_CHAR, wParam, lParam);
        PostMessageW(combo, ICBM_NOTIFYEDITCHANGE, 0, 0);
        int typed = g_typedChar;
        g_typedChar = wParam >= L' ' ? 1 : 0;
        LRESULT r = CallPrevious(edit, msg, wParam, lParam);
        g_typedChar = typed;
        return r;
    }
    case WM_SYSKEYDOWN:
        return Send(Wide(edit), combo, WM_SYSKEYDOWN, wParam, lParam);
    case WM_GETDLGCODE:
        return kDialogCode;
    case WM_KILLFOCUS:
        if (reinterpret_cast<HWND>(wParam) != combo)
            SendMessageW(combo, WM_KILLFOCUS, wParam, 0);
        break;
    default:
        break;
    }
    return CallPrevious(edit, msg, wParam, lParam);
}

// ---- the combo's procedure ---------------------------------------------------------------------

LRESULT OnNcCreate(HWND combo, WPARAM wParam, LPARAM lParam)
{
    const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    g_creationStyle = static_cast<DWORD>(cs->style);
    PlexaSetProp(combo, kSavedExStyle, static_cast<int>(cs->dwExStyle));
    PlexaSetProp(combo, kKeyState, PlexaKeyStateSnapshot());
    PlexaSetProp(combo, kDrawFocus, 0);
    if (HTHEME theme = PlexaOpenTheme(combo, L"COMBOBOX")) {
        // The theme draws the border itself.
        LONG_PTR ex = GetWindowLongPtrW(combo, GWL_EXSTYLE);
        SetWindowLongPtrW(combo, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE));
        PlexaCloseTheme(theme);
    }
    // Scroll bars and border belong to the dropped list.
    LONG_PTR style = GetWindowLongPtrW(combo, GWL_STYLE);
    SetWindowLongPtrW(combo, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_VSCROLL | WS_HSCROLL | WS_BORDER));
    DefaultProc(combo, WM_NCCREATE, wParam, lParam);
    return TRUE;
}

LRESULT OnCreate(HWND combo, LPARAM lParam)
{
    const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    bool wide = Wide(combo);
    DWORD style = g_creationStyle ? g_creationStyle : static_cast<DWORD>(cs->style);
    g_creationStyle = 0;
    DWORD listStyle = ListStyleFor(style);
    // Created as a child of the combo so that the list takes the combo as its owner (its
    // notifications and owner-draw requests come here; a pop-up would be owned by the top-level
    // window instead), then made a child of the desktop so that it can hang outside the dialog.
    HWND list = wide ? CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"ComboLBox", nullptr,
                                       WS_CHILD | listStyle, 0, 0, 0, 0, combo, nullptr,
                                       cs->hInstance, nullptr)
                     : CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "ComboLBox", nullptr,
                                       WS_CHILD | listStyle, 0, 0, 0, 0, combo, nullptr,
                                       cs->hInstance, nullptr);
    if (!list)
        return -1;
    SetPropW(list, kParentCB, combo);
    if (style & ICBS_NODATA) {
        void* buffer = calloc(kInputChars, wide ? sizeof(wchar_t) : sizeof(char));
        SetPropW(list, kInputBuffer, buffer);
    }
    SetParent(list, GetDesktopWindow());
    SetWindowLongPtrW(list, GWL_STYLE, WS_CHILD | listStyle);
    // Double clicks in the list would arrive as presses the list does not expect; this changes the
    // class of every COMBOLBOX in the process, which the system's own lists do not mind.
    SetClassLongPtrW(list, GCL_STYLE, GetClassLongPtrW(list, GCL_STYLE) & ~static_cast<LONG_PTR>(CS_DBLCLKS));
    LONG_PTR listPrev = wide ? SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc))
                             : SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc));
    SetWindowLongPtrW(list, GWLP_USERDATA, listPrev);
    SetWindowLongPtrW(combo, kListSlot, reinterpret_cast<LONG_PTR>(list));

    if (!IsDropDownList(style)) {
        DWORD editStyle = EditStyleFor(style, true);
        HWND edit = wide ? CreateWindowExW(0, L"EDIT", L"", editStyle, 2, 2, 0, 0, combo,
                                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(1001)),
                                           cs->hInstance, nullptr)
                         : CreateWindowExA(0, "EDIT", "", editStyle, 2, 2, 0, 0, combo,
                                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(1001)),
                                           cs->hInstance, nullptr);
        if (edit) {
            LONG_PTR editPrev = wide ? SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc))
                                     : SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc));
            SetWindowLongPtrW(edit, GWLP_USERDATA, editPrev);
            SetWindowLongPtrW(combo, kEditSlot, reinterpret_cast<LONG_PTR>(edit));
        }
    }
    PlexaSetProp(combo, kCurSel, -1);
    PlexaSetProp(combo, kCurState, kNormal);
    g_textNotify = 1;
    return 0;
}

// The list is a child of the desktop and would outlive the combo: it goes first, with its
// type-ahead timer, and only then its buffer, so nothing can reach freed memory.
void OnDestroy(HWND combo)
{
    HWND list = ListOf(combo);
    if (list) {
        KillTimer(list, kTypeAheadTimer);
        void* buffer = RemovePropW(list, kInputBuffer);
        RemovePropW(list, kParentCB);
        if (GetCapture() == list)
            ReleaseCapture();
        DestroyWindow(list);
        free(buffer);
        SetWindowLongPtrW(combo, kListSlot, 0);
    }
    if (g_arrowBitmap) {
        DeleteObject(g_arrowBitmap);
        g_arrowBitmap = nullptr;
    }
    if (GetCapture() == combo)
        ReleaseCapture();
    for (const wchar_t* name : {kCurSel, kCurState, kSavedExStyle, kKeyState, kDrawFocus,
                                kDroppedWidth, kVisibleCount, kLastSearch, kExtendedUI})
        RemovePropW(combo, name);
}

void OnSize(HWND combo, int cx, int cy)
{
    HWND list = ListOf(combo);
    if (list)
        SetWindowPos(list, nullptr, 0, 0, DropWidth(combo), ListHeight(combo),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (HWND edit = EditOf(combo))
        SetWindowPos(edit, nullptr, 2, 2, cx - ButtonWidth() - 3, cy - 3,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

// Enter or Tab while the list of a combo with an edit is down: the entry the list highlights
// (the one typing found, or the one the arrows or the pointer reached) becomes the text. False
// when the list is not down or highlights nothing.
bool TakeHighlightedEntry(HWND combo)
{
    HWND list = ListOf(combo);
    if (!EditOf(combo) || !ListVisible(combo))
        return false;
    int highlighted = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    if (highlighted < 0)
        return false;
    CommitSelection(combo, highlighted);
    return true;
}

void OnKeyDown(HWND combo, WPARAM key, LPARAM lParam)
{
    HWND list = ListOf(combo);
    switch (key) {
    case VK_RETURN:
        if (TakeHighlightedEntry(combo)) {
            CloseList(combo, true);
            NotifyParent(combo, CBN_SELENDOK);
            return;
        }
        [[fallthrough]];
    case VK_ESCAPE:
        if (ListVisible(combo))
            CloseList(combo, true);
        else
            NotifyParent(combo, key == VK_ESCAPE ? CBN_SELENDCANCEL : CBN_SELENDOK);
        return;
    case VK_TAB:
        if (TakeHighlightedEntry(combo))
            CloseList(combo, true);
        if (StyleOf(combo) & WS_TABSTOP)
            FocusNextTabStop(combo);
        else
            NotifyTab(combo, lParam);
        return;
    default:
        break;
    }
    int old = PlexaGetProp(combo, kCurSel);
    SendMessageW(list, WM_KEYDOWN, key, lParam);
    SetCurSelFromList(combo);
    Repaint(combo);
    int now = PlexaGetProp(combo, kCurSel);
    if (now != old)
        RepaintRows(list, old, now);
    SendMessageW(combo, ICBM_SETSELNOTIFY, static_cast<WPARAM>(now), 0);
}

LRESULT AddString(HWND combo, UINT msg, WPARAM wParam, LPARAM lParam)
{
    bool wide = Wide(combo);
    HWND list = ListOf(combo);
    DWORD style = StyleOf(combo);
    DWORD caseMap = (style & CBS_LOWERCASE) ? LCMAP_LOWERCASE : (style & CBS_UPPERCASE) ? LCMAP_UPPERCASE : 0;
    bool ownerData = (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) && !(style & CBS_HASSTRINGS);
    UINT lbMsg = msg == CB_ADDSTRING ? LB_ADDSTRING : LB_INSERTSTRING;
    LRESULT result;
    if (caseMap && !ownerData && lParam) {
        if (wide) {
            const wchar_t* text = reinterpret_cast<const wchar_t*>(lParam);
            int n = LCMapStringW(LOCALE_USER_DEFAULT, caseMap, text, -1, nullptr, 0);
            std::vector<wchar_t> mapped(n > 0 ? n : 1, 0);
            LCMapStringW(LOCALE_USER_DEFAULT, caseMap, text, -1, mapped.data(), n);
            result = SendMessageW(list, lbMsg, wParam, reinterpret_cast<LPARAM>(mapped.data()));
        } else {
            const char* text = reinterpret_cast<const char*>(lParam);
            int n = LCMapStringA(LOCALE_USER_DEFAULT, caseMap, text, -1, nullptr, 0);
            std::vector<char> mapped(n > 0 ? n : 1, 0);
            LCMapStringA(LOCALE_USER_DEFAULT, caseMap, text, -1, mapped.data(), n);
            result = SendMessageA(list, lbMsg, wParam, reinterpret_cast<LPARAM>(mapped.data()));
        }
    } else {
        result = Send(wide, list, lbMsg, wParam, lParam);
    }
    if (msg == CB_ADDSTRING)
        ResetListHeight(combo);
    return result;
}

UINT ListMessageFor(UINT cbMsg)
{
    switch (cbMsg) {
    case CB_GETCOUNT: return LB_GETCOUNT;
    case CB_GETCURSEL: return LB_GETCURSEL;
    case CB_GETLBTEXT: return LB_GETTEXT;
    case CB_GETLBTEXTLEN: return LB_GETTEXTLEN;
    case CB_FINDSTRING: return LB_FINDSTRING;
    case CB_FINDSTRINGEXACT: return LB_FINDSTRINGEXACT;
    case CB_SELECTSTRING: return LB_SELECTSTRING;
    case CB_DIR: return LB_DIR;
    case CB_GETITEMDATA: return LB_GETITEMDATA;
    case CB_SETITEMDATA: return LB_SETITEMDATA;
    case CB_GETITEMHEIGHT: return LB_GETITEMHEIGHT;
    case CB_SETITEMHEIGHT: return LB_SETITEMHEIGHT;
    case CB_GETTOPINDEX: return LB_GETTOPINDEX;
    case CB_SETTOPINDEX: return LB_SETTOPINDEX;
    case CB_GETHORIZONTALEXTENT: return LB_GETHORIZONTALEXTENT;
    case CB_SETHORIZONTALEXTENT: return LB_SETHORIZONTALEXTENT;
    case CB_GETLOCALE: return LB_GETLOCALE;
    case CB_SETLOCALE: return LB_SETLOCALE;
    case CB_INITSTORAGE: return LB_INITSTORAGE;
    default: return 0;
    }
}

void OnStyleChanging(HWND combo, WPARAM which, STYLESTRUCT* ss)
{
    if (which != static_cast<WPARAM>(GWL_STYLE) || !ss)
        return;
    if (HWND list = ListOf(combo)) {
        DWORD keep = StyleOf(list) & WS_VISIBLE;
        SetWindowLongPtrW(list, GWL_STYLE, WS_CHILD | keep | ListStyleFor(ss->styleNew));
    }
    if (HWND edit = EditOf(combo))
        SetWindowLongPtrW(edit, GWL_STYLE, EditStyleFor(ss->styleNew, (ss->styleNew & CBS_AUTOHSCROLL) != 0));
    ss->styleNew &= ~static_cast<DWORD>(WS_VSCROLL | WS_HSCROLL);
}

void OnEditChange(HWND combo, HWND edit)
{
    if (!g_textNotify)
        return;
    bool wide = Wide(combo);
    HWND list = ListOf(combo);
    int n = wide ? GetWindowTextLengthW(edit) : GetWindowTextLengthA(edit);
    std::vector<wchar_t> text(static_cast<size_t>(n) + 2, 0);
    if (wide)
        GetWindowTextW(edit, text.data(), n + 1);
    else
        GetWindowTextA(edit, reinterpret_cast<char*>(text.data()), n + 1);
    LRESULT found;
    int matched = n;
    if (IsVirtualList(list))
        found = FindRequest(combo, -1, 0, text.data(), &matched);
    else
        found = Send(wide, list, LB_FINDSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(text.data()));
    SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(found), 0);
    PlexaSetProp(combo, kLastSearch, static_cast<int>(found));
    // Typing drops the list with the first entry that starts with the text highlighted, for
    // Enter or Tab to take; a text that no entry starts with highlights nothing and stays as
    // typed.
    if (!g_typedChar)
        return;
    int highlight = n > 0 && found >= 0 && matched >= n ? static_cast<int>(found) : -1;
    if (highlight >= 0 && !ListVisible(combo))
        ToggleList(combo);
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(highlight), 0);
}

void OnMouseMove(HWND combo, WPARAM wParam, LPARAM lParam)
{
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    HWND list = ListOf(combo);
    if (list && IsWindowVisible(list)) {
        POINT screen = pt;
        ClientToScreen(combo, &screen);
        RECT rc;
        GetWindowRect(list, &rc);
        if (PtInRect(&rc, screen)) {
            SetCapture(list);
            return;
        }
    }
    int state = PlexaGetProp(combo, kCurState);
    int next = state;
    if (PlexaThemedDrawingOn()) {
        if (state == kNormal) {
            TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, combo, 0};
            TrackMouseEvent(&tme);
            next = kHot;
        }
    } else if (wParam & MK_LBUTTON) {
        next = InButtonArea(combo, pt.x) && ListVisible(combo) ? kPressed : kNormal;
    }
    if (next != state) {
        SetButtonState(combo, next);
    }
}

}  // namespace

LRESULT CALLBACK InplaceComboWndProc(HWND combo, UINT msg, WPARAM wParam, LPARAM lParam)
{
    bool wide = Wide(combo);
    HWND list = ListOf(combo);
    HWND edit = EditOf(combo);
    switch (msg) {
    case WM_NCCREATE:
        return OnNcCreate(combo, wParam, lParam);
    case WM_CREATE:
        return OnCreate(combo, lParam);
    case WM_DESTROY:
        OnDestroy(combo);
        return 0;
    case WM_SIZE:
        OnSize(combo, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return 0;
    case WM_PAINT:
        PaintCombo(combo, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETFOCUS:
        NotifyParent(combo, CBN_SETFOCUS);
        if (edit) {
            SendMessageW(edit, EM_SETSEL, 0, -1);
            SetFocus(edit);
        } else {
            Repaint(combo);
        }
        return 0;
    case WM_KILLFOCUS:
        if (edit && reinterpret_cast<HWND>(wParam) == edit)
            return 0;
        if (ListVisible(combo))
            CloseList(combo, true);
        NotifyParent(combo, CBN_KILLFOCUS);
        Repaint(combo);
        return 0;
    case WM_GETDLGCODE:
        return kDialogCode;
    case WM_SETFONT:
        if (list)
            SendMessageW(list, WM_SETFONT, wParam, LOWORD(lParam));
        if (edit)
            SendMessageW(edit, WM_SETFONT, wParam, LOWORD(lParam));
        return 0;
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (dis && list && dis->hwndItem == list && static_cast<int>(dis->itemID) >= 0)
            DrawRow(combo, list, dis->hDC, static_cast<int>(dis->itemID), dis->rcItem,
                    (dis->itemState & ODS_SELECTED) != 0);
        return 1;
    }
    case WM_STYLECHANGING:
        OnStyleChanging(combo, wParam, reinterpret_cast<STYLESTRUCT*>(lParam));
        return 0;
    case WM_COMMAND:
        if (edit && reinterpret_cast<HWND>(lParam) == edit && HIWORD(wParam) == EN_CHANGE)
            OnEditChange(combo, edit);
        return 0;

    // ---- mouse
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!edit || InButtonArea(combo, static_cast<short>(LOWORD(lParam)))) {
            SetButtonState(combo, kPressed);
            ToggleList(combo);
        } else {
            SetFocus(combo);
        }
        return 0;
    case WM_LBUTTONUP:
        if (ListVisible(combo)) {
            SetButtonState(combo, kNormal);
            SetCapture(list);
        } else if (PlexaGetProp(combo, kCurState) == kPressed) {
            // The press closed the list: the button comes up again.
            SetButtonState(combo, kNormal);
        }
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(combo, wParam, lParam);
        return 0;
    case WM_MOUSELEAVE:
        SetButtonState(combo, kNormal);
        return 0;

    // ---- keyboard
    case WM_KEYDOWN:
        OnKeyDown(combo, wParam, lParam);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_DOWN || wParam == VK_UP) {
            ToggleList(combo);
        } else if (list) {
            SendMessageW(list, WM_KEYDOWN, wParam, lParam);
            SetCurSelFromList(combo);
        }
        Repaint(combo);
        break;
    case WM_CHAR:
        if (wParam == VK_ESCAPE || wParam == VK_TAB)
            return 0;
        if (edit) {
            SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        } else {
            Send(wide, list, WM_CHAR, wParam, lParam);
            SetCurSelFromList(combo);
        }
        Repaint(combo);
        return 0;

    // ---- edit and text
    case CB_GETEDITSEL:
        return edit ? SendMessageW(edit, EM_GETSEL, wParam, lParam) : -1;
    case CB_LIMITTEXT:
        if (!edit)
            return -1;
        SendMessageW(edit, EM_LIMITTEXT, wParam, 0);
        return 1;
    case CB_SETEDITSEL:
        if (!edit)
            return -1;
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(static_cast<short>(LOWORD(lParam))),
                     static_cast<LPARAM>(static_cast<short>(HIWORD(lParam))));
        return 1;
    case WM_SETTEXT:
        return edit ? Send(wide, edit, msg, wParam, lParam) : 0;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        return edit ? Send(wide, edit, msg, wParam, lParam) : -1;
    case WM_CLEAR:
        if (!edit)
            return -1;
        SendMessageW(edit, WM_CLEAR, 0, 0);
        return 0;

    // ---- list contents and selection
    case CB_ADDSTRING:
    case CB_INSERTSTRING:
        return AddString(combo, msg, wParam, lParam);
    case CB_DELETESTRING: {
        LRESULT r = SendMessageW(list, LB_DELETESTRING, wParam, 0);
        ResetListHeight(combo);
        return r;
    }
    case CB_RESETCONTENT:
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        PlexaSetProp(combo, kCurSel, -1);
        if (edit) {
            RowText empty;
            empty.wide = wide;
            empty.store.assign(1, 0);
            SetEditTextQuietly(edit, empty);
        }
        Repaint(combo);
        return 0;
    case CB_SETCURSEL: {
        int old = PlexaGetProp(combo, kCurSel);
        LRESULT r = SendMessageW(list, LB_SETCURSEL, wParam, 0);
        SetCurSelFromList(combo);
        if (old != PlexaGetProp(combo, kCurSel))
            RepaintRows(list, old, PlexaGetProp(combo, kCurSel));
        Repaint(combo);
        return r;
    }
    case CB_SHOWDROPDOWN:
        if ((wParam != 0) != ListVisible(combo))
            ToggleList(combo);
        return 1;
    case CB_GETDROPPEDSTATE:
        return ListVisible(combo) ? TRUE : FALSE;
    case CB_GETDROPPEDCONTROLRECT:
        if (list && !IsWindowVisible(list)) {
            RECT drop = DropRect(combo);
            SetWindowPos(list, nullptr, drop.left, drop.top, drop.right - drop.left,
                         drop.bottom - drop.top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (list && lParam)
            GetWindowRect(list, reinterpret_cast<RECT*>(lParam));
        return TRUE;
    case CB_GETDROPPEDWIDTH:
        return PlexaGetProp(combo, kDroppedWidth);
    case CB_SETDROPPEDWIDTH:
        PlexaSetProp(combo, kDroppedWidth, static_cast<int>(wParam));
        return static_cast<LRESULT>(wParam);
    case CB_GETEXTENDEDUI:
        return PlexaGetProp(combo, kExtendedUI);
    case CB_SETEXTENDEDUI:
        PlexaSetProp(combo, kExtendedUI, static_cast<int>(wParam));
        return 0;
    case CB_GETCOUNT: case CB_GETCURSEL: case CB_GETLBTEXT: case CB_GETLBTEXTLEN:
    case CB_FINDSTRING: case CB_FINDSTRINGEXACT: case CB_SELECTSTRING: case CB_DIR:
    case CB_GETITEMDATA: case CB_SETITEMDATA: case CB_GETITEMHEIGHT: case CB_SETITEMHEIGHT:
    case CB_GETTOPINDEX: case CB_SETTOPINDEX: case CB_GETHORIZONTALEXTENT:
    case CB_SETHORIZONTALEXTENT: case CB_GETLOCALE: case CB_INITSTORAGE:
        return Send(wide, list, ListMessageFor(msg), wParam, lParam);
    case CB_SETLOCALE:
        return SendMessageW(list, LB_SETLOCALE, LOWORD(wParam), lParam);

    // ---- own messages
    case ICBM_GETVISIBLECOUNT:
        return PlexaGetProp(combo, kVisibleCount);
    case ICBM_SETVISIBLECOUNT: {
        int previous = PlexaGetProp(combo, kVisibleCount);
        PlexaSetProp(combo, kVisibleCount, LOWORD(wParam));
        ResetListHeight(combo);
        return LOWORD(previous);
    }
    case ICBM_SETCOUNT:
        if (list && IsVirtualList(list))
            return SendMessageW(list, LB_SETCOUNT, wParam, 0);
        return -1;
    case ICBM_SETSELNOTIFY:
        CommitSelection(combo, static_cast<int>(wParam));
        return 0;
    case ICBM_GETITEMTEXTLENGTH:
        return RequestRowLength(combo, static_cast<int>(wParam));
    case ICBM_GETITEMTEXT: {
        // Callers size their buffer from the row's length plus one; that is the capacity the
        // parent is given.
        if (!lParam)
            return 0;
        int length = RequestRowLength(combo, static_cast<int>(wParam));
        return RequestRowText(combo, static_cast<int>(wParam), reinterpret_cast<void*>(lParam),
                              (length > 0 ? length : 0) + 1);
    }
    case ICBM_GETITEMDATA: {
        ComboItemRequest r = {};
        r.mask = ICIF_DATA;
        r.item = static_cast<int>(wParam);
        return SendRequest(combo, ICBN_GETITEMDATA, r) ? r.data : 0;
    }
    case ICBM_NOTIFYEDITCHANGE:
        NotifyParent(combo, CBN_EDITCHANGE);
        return 0;
    default:
        break;
    }
    return DefaultProc(combo, msg, wParam, lParam);
}
