// IMGBUTTON: a push button showing a state image from an image list left of its caption. Themed
// buttons are drawn through their custom-draw notification, classic ones as owner-drawn buttons;
// both requests reach the parent, so the first image button subclasses its parent window.
#include "plexa_internal.h"
#include <string>
#include <vector>
#include <commctrl.h>

namespace {

// Theme part, states and property (vssym32 values).
enum { BP_PUSHBUTTON_ = 1 };
enum { PBS_NORMAL_ = 1, PBS_HOT_ = 2, PBS_PRESSED_ = 3, PBS_DISABLED_ = 4, PBS_DEFAULTED_ = 5 };
enum { TMT_CONTENTMARGINS_ = 3602 };

int g_liveButtons;          // image buttons alive in the process
HWND g_subclassedParent;    // the parent whose procedure was replaced
WNDPROC g_parentProc;       // that parent's own procedure

// Our slots follow BUTTON's own extra bytes.
int ImageListSlot() { return g_buttonClassExtra; }
int FocusCueSlot() { return g_buttonClassExtra + static_cast<int>(sizeof(LONG_PTR)); }

HIMAGELIST ImageListOf(HWND button)
{
    return reinterpret_cast<HIMAGELIST>(GetWindowLongPtrW(button, ImageListSlot()));
}

bool IsImgButton(HWND hwnd)
{
    WCHAR cls[32];
    return hwnd && GetClassNameW(hwnd, cls, 32) && lstrcmpiW(cls, WC_IMGBUTTONW) == 0;
}

// Focus cues show for good once the keyboard is seen in use.
bool UpdateFocusCue(HWND button)
{
    if (GetWindowLongPtrW(button, FocusCueSlot()))
        return true;
    BOOL keyboardPref = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDPREF, 0, &keyboardPref, 0);
    if (keyboardPref || GetKeyState(VK_TAB) < 0 || GetKeyState(VK_MENU) < 0) {
        SetWindowLongPtrW(button, FocusCueSlot(), 1);
        return true;
    }
    return false;
}

struct Images {
    HIMAGELIST list;
    int count;
    int cx, cy;
};

Images ImagesOf(HWND button)
{
    Images im = {ImageListOf(button), 0, 32, 32};
    if (im.list) {
        im.count = ImageList_GetImageCount(im.list);
        int cx = 0, cy = 0;
        if (ImageList_GetIconSize(im.list, &cx, &cy) && cx > 0 && cy > 0) {
            im.cx = cx;
            im.cy = cy;
        }
    }
    return im;
}

std::wstring CaptionOf(HWND button)
{
    int n = GetWindowTextLengthW(button);
    std::wstring text(n + 1, L'\0');
    GetWindowTextW(button, &text[0], n + 1);
    text.resize(wcslen(text.c_str()));
    return text;
}

int ThemeState(UINT selected, UINT disabled, UINT defaulted, UINT hot, int* image)
{
    if (selected) {
        *image = 1;
        return PBS_PRESSED_;
    }
    if (disabled) {
        *image = 3;
        return PBS_DISABLED_;
    }
    *image = hot && !defaulted ? 2 : 0;
    if (defaulted)
        return PBS_DEFAULTED_;
    return hot ? PBS_HOT_ : PBS_NORMAL_;
}

// The themed image at the left edge of the content box (its top given), the caption centred
// in the rest.
void DrawIconAndCaption(HTHEME theme, HWND button, HDC dc, const RECT& rc, int iconTop, int state,
                        const Images& im, int image)
{
    RECT icon = {rc.left + 1, iconTop, rc.left + 1 + im.cx, iconTop + im.cy};
    if (im.list && g_plexaTheme.DrawThemeIcon)
        g_plexaTheme.DrawThemeIcon(theme, dc, BP_PUSHBUTTON_, state, &icon, im.list, image);
    RECT text = rc;
    text.left += im.cx + 1;
    std::wstring caption = CaptionOf(button);
    if (g_plexaTheme.DrawThemeText)
        g_plexaTheme.DrawThemeText(theme, dc, BP_PUSHBUTTON_, state, caption.c_str(), -1,
                                   DT_SINGLELINE | DT_CENTER | DT_VCENTER, 0, &text);
}

void DrawThemedContent(HTHEME theme, HWND button, HDC dc, RECT rc, int state, const Images& im, int image,
                       bool focusRect)
{
    if (g_plexaTheme.GetThemeMargins) {
        MARGINS m = {};
        if (SUCCEEDED(g_plexaTheme.GetThemeMargins(theme, dc, BP_PUSHBUTTON_, state, TMT_CONTENTMARGINS_, nullptr,
                                                   &m)))
            InflateRect(&rc, -m.cxLeftWidth, -m.cyTopHeight);
    }
    DrawIconAndCaption(theme, button, dc, rc, rc.top + (rc.bottom - rc.top - im.cy) / 2, state, im, image);
    if (focusRect)
        DrawFocusRect(dc, &rc);
}

void DrawCaption(HWND button, HDC dc, RECT rc, bool disabled)
{
    std::wstring caption = CaptionOf(button);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    DrawTextW(dc, caption.c_str(), -1, &rc, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
}

// The custom-draw request of a themed button (prepaint stage).
void DrawCustom(HWND button, NMCUSTOMDRAW* cd)
{
    Images im = ImagesOf(button);
    bool cue = UpdateFocusCue(button);
    bool focus = (cd->uItemState & CDIS_FOCUS) != 0;
    RECT rc = cd->rc;
    HDC dc = cd->hdc;
    HTHEME theme = PlexaOpenTheme(GetParent(button), L"BUTTON");
    if (theme) {
        if (g_plexaTheme.DrawThemeParentBackground)
            g_plexaTheme.DrawThemeParentBackground(button, dc, &rc);
        int image = 0;
        int state = ThemeState(cd->uItemState & CDIS_SELECTED, cd->uItemState & CDIS_DISABLED,
                               cd->uItemState & CDIS_DEFAULT, cd->uItemState & CDIS_HOT, &image);
        if (image >= im.count)
            image = 0;
        g_plexaTheme.DrawThemeBackground(theme, dc, BP_PUSHBUTTON_, state, &rc, nullptr);
        DrawThemedContent(theme, button, dc, rc, state, im, image, cue && focus);
        PlexaCloseTheme(theme);
        return;
    }
    InflateRect(&rc, -2, -2);
    int image = 0;
    if (cd->uItemState & CDIS_SELECTED) {
        image = 1;
        OffsetRect(&rc, 1, 1);
    } else if (cd->uItemState & CDIS_DISABLED) {
        image = 3;
    } else if (cd->uItemState & CDIS_HOT) {
        image = 2;
    }
    if (image >= im.count)
        image = 0;
    if (im.list)
        ImageList_Draw(im.list, image, dc, rc.left + 1, rc.top + 1, ILD_TRANSPARENT);
    RECT text = rc;
    text.left += im.cx + 1;
    DrawCaption(button, dc, text, (cd->uItemState & CDIS_DISABLED) != 0);
    if (cue && focus) {
        InflateRect(&rc, -2, -2);
        DrawFocusRect(dc, &rc);
    }
}

// A 32-bit colour bitmap whose alpha bytes are all zero carries no alpha: blending it would hide it.
bool HasAlpha(HDC dc, HBITMAP bitmap, const BITMAP& bm)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
    if (pixels.empty() || !GetDIBits(dc, bitmap, 0, bm.bmHeight, pixels.data(), &bi, DIB_RGB_COLORS))
        return false;
    for (DWORD p : pixels)
        if (p & 0xFF000000u)
            return true;
    return false;
}

// Draws image 'image' at (x, y): icons with an alpha channel are blended, others drawn transparently.
void DrawImage(const Images& im, int image, HDC dc, int x, int y)
{
    if (!im.list)
        return;
    if (IsXP()) {
        HICON icon = ImageList_GetIcon(im.list, image, ILD_NORMAL);
        if (icon) {
            ICONINFO info = {};
            bool drawn = false;
            if (GetIconInfo(icon, &info)) {
                BITMAP bm = {};
                if (info.hbmColor && GetObjectW(info.hbmColor, sizeof(bm), &bm) && bm.bmBitsPixel > 24 &&
                    HasAlpha(dc, info.hbmColor, bm)) {
                    HDC mem = CreateCompatibleDC(dc);
                    HGDIOBJ old = SelectObject(mem, info.hbmColor);
                    BLENDFUNCTION bf = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
                    drawn = AlphaBlend(dc, x, y, im.cx, im.cy, mem, 0, 0, bm.bmWidth, bm.bmHeight, bf) != FALSE;
                    SelectObject(mem, old);
                    DeleteDC(mem);
                }
                if (info.hbmColor)
                    DeleteObject(info.hbmColor);
                if (info.hbmMask)
                    DeleteObject(info.hbmMask);
            }
            DestroyIcon(icon);
            if (drawn)
                return;
        }
    }
    ImageList_Draw(im.list, image, dc, x, y, ILD_TRANSPARENT);
}

// The owner-draw request of a classic button.
void DrawOwner(HWND parent, DRAWITEMSTRUCT* di)
{
    HWND button = di->hwndItem;
    HDC dc = di->hDC;
    Images im = ImagesOf(button);
    bool cue = UpdateFocusCue(button);
    bool selected = (di->itemState & ODS_SELECTED) != 0;
    bool disabled = (di->itemState & ODS_DISABLED) != 0;
    bool focus = (di->itemState & ODS_FOCUS) != 0;
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0))
                                           ? reinterpret_cast<HGDIOBJ>(SendMessageW(button, WM_GETFONT, 0, 0))
                                           : GetStockObject(DEFAULT_GUI_FONT));

    HTHEME theme = PlexaOpenTheme(parent, L"BUTTON");
    if (theme) {
        RECT rc = di->rcItem;
        if (g_plexaTheme.DrawThemeParentBackground)
            g_plexaTheme.DrawThemeParentBackground(button, dc, &rc);
        int image = 0;
        int state = ThemeState(selected, disabled, di->itemState & ODS_DEFAULT, di->itemState & ODS_HOTLIGHT, &image);
        if (image >= im.count)
            image = 0;
        g_plexaTheme.DrawThemeBackground(theme, dc, BP_PUSHBUTTON_, state, &rc, nullptr);
        InflateRect(&rc, -2, -2);
        // The icon sits centred in a band one pixel taller than it on each side.
        DrawIconAndCaption(theme, button, dc, rc, rc.top + (rc.bottom - rc.top - im.cy - 2) / 2 + 1, state,
                           im, image);
        PlexaCloseTheme(theme);
        SelectObject(dc, oldFont);
        return;
    }

    // A button that takes the focus becomes the dialog's default button.
    if ((di->itemAction & ODA_FOCUS) && focus) {
        LRESULT def = SendMessageW(parent, DM_GETDEFID, 0, 0);
        int id = GetDlgCtrlID(button);
        SendMessageW(parent, DM_SETDEFID, id, 0);
        if (HIWORD(def) == DC_HASDEFID && LOWORD(def) != id) {
            HWND former = GetDlgItem(parent, LOWORD(def));
            if (former && (GetWindowLongPtrW(former, GWL_STYLE) & BS_TYPEMASK) != BS_OWNERDRAW)
                SendMessageW(former, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        }
    }

    RECT frame = di->rcItem;
    if (focus && !selected)
        InflateRect(&frame, -1, -1);
    UINT flags = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
    if (selected)
        flags |= DFCS_PUSHED | DFCS_FLAT;
    if (disabled)
        flags |= DFCS_INACTIVE;
    DrawFrameControl(dc, &frame, DFC_BUTTON, flags);
    if (focus) {
        RECT outer = di->rcItem;
        FrameRect(dc, &outer, GetSysColorBrush(COLOR_3DDKSHADOW));
        if (selected) {
            InflateRect(&outer, -1, -1);
            FrameRect(dc, &outer, GetSysColorBrush(COLOR_BTNSHADOW));
        }
    }

    RECT content = frame;
    int image = 0;
    if (selected) {
        image = im.count >= 2 ? 1 : 0;
        OffsetRect(&content, 1, 1);
        InflateRect(&content, -1, -1);
    } else if (disabled) {
        image = im.count >= 4 ? 3 : 0;
    }
    int height = content.bottom - content.top;
    DrawImage(im, image, dc, content.left + 1, content.top + (height - im.cy - 1) / 2);

    RECT text = content;
    text.left += 1 + (im.list ? im.cx : 0) + 1;
    DrawCaption(button, dc, text, disabled);
    if (cue && focus) {
        RECT fr = di->rcItem;
        int in = selected ? 3 : 2;
        InflateRect(&fr, -in, -in);
        DrawFocusRect(dc, &fr);
    }
    SelectObject(dc, oldFont);
}

LRESULT CALLBACK ParentSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC own = g_parentProc;
    switch (msg) {
    case WM_DRAWITEM: {
        LRESULT r = CallWindowProcW(own, hwnd, msg, wParam, lParam);
        DRAWITEMSTRUCT* di = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (di && di->CtlType == ODT_BUTTON && IsImgButton(di->hwndItem)) {
            DrawOwner(hwnd, di);
            return TRUE;
        }
        return r;
    }
    case WM_NOTIFY: {
        LRESULT r = CallWindowProcW(own, hwnd, msg, wParam, lParam);
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr && hdr->code == static_cast<UINT>(NM_CUSTOMDRAW) && IsImgButton(hdr->hwndFrom)) {
            NMCUSTOMDRAW* cd = reinterpret_cast<NMCUSTOMDRAW*>(lParam);
            if (cd->dwDrawStage == CDDS_PREPAINT) {
                DrawCustom(hdr->hwndFrom, cd);
                return CDRF_SKIPDEFAULT;
            }
        }
        return r;
    }
    case WM_MEASUREITEM: {
        // Only the image buttons are measured here; other owner-drawn controls ask the parent itself.
        MEASUREITEMSTRUCT* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        HWND item = wParam ? GetDlgItem(hwnd, static_cast<int>(wParam)) : nullptr;
        if (mi && IsImgButton(item)) {
            mi->CtlType = ODT_BUTTON;
            mi->CtlID = static_cast<UINT>(wParam);
            return TRUE;
        }
        break;
    }
    }
    return CallWindowProcW(own, hwnd, msg, wParam, lParam);
}

LRESULT CallButton(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!g_buttonClassProc)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    return IsWindowUnicode(hwnd) ? CallWindowProcW(g_buttonClassProc, hwnd, msg, wParam, lParam)
                                 : CallWindowProcA(g_buttonClassProc, hwnd, msg, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK ImgButtonWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: {
        SetWindowLongPtrW(hwnd, ImageListSlot(), 0);
        SetWindowLongPtrW(hwnd, FocusCueSlot(), 0);
        HWND parent = GetParent(hwnd);
        if (g_liveButtons == 0 && parent) {
            g_subclassedParent = parent;
            g_parentProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ParentSubclassProc)));
        }
        ++g_liveButtons;
        LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE) | WS_CHILD | WS_VISIBLE | WS_TABSTOP;
        if (!PlexaThemedDrawingOn())
            style = (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW;
        SetWindowLongPtrW(hwnd, GWL_STYLE, style);
        if (CREATESTRUCTW* cs = reinterpret_cast<CREATESTRUCTW*>(lParam))
            cs->style = static_cast<LONG>(style);
        return CallButton(hwnd, msg, wParam, lParam);
    }
    case WM_DESTROY:
        if (g_liveButtons > 0 && --g_liveButtons == 0 && g_subclassedParent) {
            // Put the parent's procedure back only when nobody subclassed it after us.
            if (IsWindow(g_subclassedParent) &&
                GetWindowLongPtrW(g_subclassedParent, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(ParentSubclassProc))
                SetWindowLongPtrW(g_subclassedParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_parentProc));
            g_subclassedParent = nullptr;
        }
        return CallButton(hwnd, msg, wParam, lParam);
    case IBM_SETIMAGELIST:
        SetWindowLongPtrW(hwnd, ImageListSlot(), lParam);
        return 0;
    }
    return CallButton(hwnd, msg, wParam, lParam);
}
