// INPLACEBUTTON: a field that looks like a drop-down combo box with an ellipsis button; it shows its
// window text and, when clicked or pressed with the space bar, asks its parent to open an editor.
#include "plexa_internal.h"
#include <commctrl.h>
#include <string>

namespace {

enum { CP_DROPDOWNBUTTON_ = 1 };
enum { TMT_BORDERSIZE_ = 2403 };
enum { STATE_NORMAL = 1, STATE_HOT = 2, STATE_PRESSED = 3 };

const wchar_t kSavedExStyle[] = L"SavedExStyle";
const wchar_t kCurState[] = L"CurState";
const wchar_t kKeyState[] = L"KeyState";
const wchar_t kDrawFocus[] = L"DrawFocus";
const wchar_t kFont[] = L"Font";

LRESULT DefProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return IsWindowUnicode(hwnd) ? DefWindowProcW(hwnd, msg, wParam, lParam)
                                 : DefWindowProcA(hwnd, msg, wParam, lParam);
}

void SetState(HWND hwnd, int state)
{
    if (PlexaGetProp(hwnd, kCurState) != state) {
        PlexaSetProp(hwnd, kCurState, state);
        InvalidateRect(hwnd, nullptr, TRUE);
    }
}

void NotifyCommand(HWND hwnd, int code)
{
    SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

void NotifyClick(HWND hwnd)
{
    ComboItemRequest req = {};
    req.hdr.hwndFrom = hwnd;
    req.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
    req.hdr.code = IPBN_CLICKED;
    req.reserved = 0;
    std::wstring wide;
    std::string ansi;
    if (IsWindowUnicode(hwnd)) {
        int n = GetWindowTextLengthW(hwnd);
        wide.assign(n + 1, L'\0');
        GetWindowTextW(hwnd, &wide[0], n + 1);
        req.text = &wide[0];
    } else {
        int n = GetWindowTextLengthA(hwnd);
        ansi.assign(n + 1, '\0');
        GetWindowTextA(hwnd, &ansi[0], n + 1);
        req.text = reinterpret_cast<LPWSTR>(&ansi[0]);
    }
    SendMessageW(GetParent(hwnd), WM_NOTIFY, req.hdr.idFrom, reinterpret_cast<LPARAM>(&req));
}

void Paint(HWND hwnd, HDC dc)
{
    if (!PlexaGetProp(hwnd, kDrawFocus) && PlexaKeyboardInUse(PlexaGetProp(hwnd, kKeyState)))
        PlexaSetProp(hwnd, kDrawFocus, 1);
    HFONT font = reinterpret_cast<HFONT>(GetPropW(hwnd, kFont));
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    RECT client;
    GetClientRect(hwnd, &client);
    int sb = GetSystemMetrics(SM_CXVSCROLL);
    RECT button = client;
    button.left = client.right - sb;
    RECT text = client;
    InflateRect(&text, -1, -1);
    text.right = button.left;
    int oldMode = SetBkMode(dc, TRANSPARENT);

    const wchar_t* ellipsis = GetFontLanguageInfo(dc) ? L"\x2026" : L"...";
    int state = PlexaGetProp(hwnd, kCurState);
    bool themed = false;
    if (HTHEME theme = PlexaOpenTheme(hwnd, L"COMBOBOX")) {
        themed = true;
        if (g_plexaTheme.DrawThemeParentBackground)
            g_plexaTheme.DrawThemeParentBackground(hwnd, dc, &client);
        if (PlexaGetProp(hwnd, kSavedExStyle) & WS_EX_CLIENTEDGE) {
            int border = 0;
            if (g_plexaTheme.GetThemeMetric)
                g_plexaTheme.GetThemeMetric(theme, dc, 0, 0, TMT_BORDERSIZE_, &border);
            InflateRect(&text, -border, -border);
            button.left += border;
            button.top += border;
            button.right -= border;
            button.bottom -= border;
            g_plexaTheme.DrawThemeBackground(theme, dc, 0, 0, &client, nullptr);
        } else {
            FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
        }
        g_plexaTheme.DrawThemeBackground(theme, dc, CP_DROPDOWNBUTTON_, state, &button, nullptr);
        PlexaCloseTheme(theme);
        // The theme's button carries an arrow; stretch a plain column of its face over it.
        int w = button.right - button.left - 6, h = button.bottom - button.top - 6;
        if (w > 0 && h > 0)
            StretchBlt(dc, button.left + 3, button.top + 3, w, h, dc, button.left + 3, button.top + 3, 1, h, SRCCOPY);
    } else {
        UINT flags = DFCS_BUTTONPUSH;
        if (state == STATE_PRESSED)
            flags |= DFCS_PUSHED | DFCS_FLAT;
        DrawFrameControl(dc, &button, DFC_BUTTON, flags);
    }
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, ellipsis, -1, &button, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);

    bool focused = GetFocus() == hwnd;
    if (focused) {
        RECT fill = text;
        fill.right = button.left - (themed ? 2 : 1);
        FillRect(dc, &fill, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    }
    int n = GetWindowTextLengthW(hwnd);
    if (n > 0) {
        std::wstring caption(n + 1, L'\0');
        GetWindowTextW(hwnd, &caption[0], n + 1);
        RECT inner = text;
        InflateRect(&inner, -1, -1);
        DrawTextW(dc, caption.c_str(), -1, &inner, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    SetBkMode(dc, oldMode);
    // The focus rectangle marks the focused field once the keyboard has been seen in use.
    if (focused && PlexaGetProp(hwnd, kDrawFocus))
        DrawFocusRect(dc, &text);
    if (oldFont)
        SelectObject(dc, oldFont);
}

}  // namespace

LRESULT CALLBACK InplaceButtonWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_NCCREATE: {
        LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
        PlexaSetProp(hwnd, kSavedExStyle, static_cast<int>(ex));
        PlexaSetProp(hwnd, kCurState, STATE_NORMAL);
        PlexaSetProp(hwnd, kKeyState, PlexaKeyStateSnapshot());
        PlexaSetProp(hwnd, kDrawFocus, 0);
        if (HTHEME theme = PlexaOpenTheme(hwnd, L"COMBOBOX")) {
            // The theme draws the border itself.
            SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE));
            PlexaCloseTheme(theme);
        }
        return DefProc(hwnd, msg, wParam, lParam);
    }
    case WM_NCDESTROY:
        RemovePropW(hwnd, kSavedExStyle);
        RemovePropW(hwnd, kCurState);
        RemovePropW(hwnd, kKeyState);
        RemovePropW(hwnd, kDrawFocus);
        RemovePropW(hwnd, kFont);
        break;
    case WM_GETDLGCODE:
        return DLGC_HASSETSEL;
    case WM_SETFONT:
        SetPropW(hwnd, kFont, reinterpret_cast<HANDLE>(wParam));
        if (lParam)
            InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(GetPropW(hwnd, kFont));
    case WM_SETTEXT: {
        LRESULT r = DefProc(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_SETFOCUS:
        NotifyCommand(hwnd, CBN_SETFOCUS);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_KILLFOCUS:
        NotifyCommand(hwnd, CBN_KILLFOCUS);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_TAB:
            if (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_TABSTOP) {
                HWND next = GetNextDlgTabItem(GetParent(hwnd), hwnd, GetKeyState(VK_SHIFT) < 0);
                if (next)
                    SetFocus(next);
            } else {
                NMKEY key = {};
                key.hdr.hwndFrom = hwnd;
                key.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
                key.hdr.code = static_cast<UINT>(NM_KEYDOWN);
                key.nVKey = VK_TAB;
                key.uFlags = HIWORD(lParam);
                SendMessageW(GetParent(hwnd), WM_NOTIFY, key.hdr.idFrom, reinterpret_cast<LPARAM>(&key));
            }
            return 0;
        case VK_RETURN:
            NotifyCommand(hwnd, CBN_SELENDOK);
            return 0;
        case VK_ESCAPE:
            NotifyCommand(hwnd, CBN_SELENDCANCEL);
            return 0;
        case VK_SPACE:
            SetState(hwnd, STATE_PRESSED);
            return 0;
        }
        break;
    case WM_KEYUP:
        if (wParam == VK_SPACE) {
            SetState(hwnd, STATE_NORMAL);
            NotifyClick(hwnd);
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
        PlexaSetProp(hwnd, kCurState, STATE_PRESSED);
        SetFocus(hwnd);
        SetCapture(hwnd);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_LBUTTONUP: {
        // Only a press that started on this field clicks it, wherever the button is released.
        bool pressed = GetCapture() == hwnd;
        PlexaSetProp(hwnd, kCurState, STATE_NORMAL);
        if (pressed)
            ReleaseCapture();
        InvalidateRect(hwnd, nullptr, TRUE);
        if (pressed)
            NotifyClick(hwnd);
        return 0;
    }
    case WM_MOUSEMOVE: {
        int state = PlexaGetProp(hwnd, kCurState);
        if (PlexaThemedDrawingOn()) {
            if (state == STATE_NORMAL) {
                TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, hwnd, 0};
                TrackMouseEvent(&tme);
                SetState(hwnd, STATE_HOT);
            }
        } else if (wParam & MK_LBUTTON) {
            RECT rc;
            GetClientRect(hwnd, &rc);
            rc.left = rc.right - GetSystemMetrics(SM_CXVSCROLL);
            POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            SetState(hwnd, PtInRect(&rc, pt) ? STATE_PRESSED : STATE_NORMAL);
        }
        return 0;
    }
    case WM_MOUSELEAVE:
        SetState(hwnd, STATE_NORMAL);
        return 0;
    case WM_PAINT:
        PlexaOnPaint(hwnd, wParam, [&](HDC dc) { Paint(hwnd, dc); });
        return 0;
    }
    return DefProc(hwnd, msg, wParam, lParam);
}
