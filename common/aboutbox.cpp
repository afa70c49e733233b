#include "common/aboutbox.h"

#include <strsafe.h>
#include <vector>

#include "resources/aboutbox_ids.h"

namespace {

typedef BOOL(WINAPI* VerQueryValueWFn)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

// version.dll is needed only here, so it is bound when the box first asks for it.
VerQueryValueWFn VersionQuery()
{
    static VerQueryValueWFn fn = [] {
        HMODULE lib = LoadLibraryW(L"version.dll");
        return lib ? reinterpret_cast<VerQueryValueWFn>(GetProcAddress(lib, "VerQueryValueW"))
                   : nullptr;
    }();
    return fn;
}

RECT ChildRect(HWND dlg, int id)
{
    RECT r = {};
    HWND child = GetDlgItem(dlg, id);
    if (child) {
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    }
    return r;
}

// Moves a control of the text column to x at its own y, width w, keeping its height.
HDWP MoveToColumn(HDWP dwp, HWND dlg, int id, int x, int w)
{
    HWND child = GetDlgItem(dlg, id);
    if (!child || !dwp)
        return dwp;
    RECT r = ChildRect(dlg, id);
    return DeferWindowPos(dwp, child, nullptr, x, r.top, w, r.bottom - r.top,
                          SWP_NOZORDER | SWP_NOACTIVATE);
}

void InitAboutBox(HWND dlg, AboutBoxState* state)
{
    SetWindowLongPtrW(dlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    HINSTANCE inst = state->Instance;

    // The picture decides the box's size: the static takes the bitmap's own size.
    state->Picture = static_cast<HBITMAP>(
        LoadImageW(inst, L"BMP_ABOUT", IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (state->Picture)
        SendDlgItemMessageW(dlg, IDC_ABOUT_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                            reinterpret_cast<LPARAM>(state->Picture));

    RECT p = ChildRect(dlg, IDC_ABOUT_PICTURE);
    RECT c;
    GetClientRect(dlg, &c);
    const int x = p.right + p.left;          // the gap equals the left margin
    const int w = c.right - x - p.left;      // so does the right margin
    c.bottom = p.bottom + p.top;             // and the bottom margin equals the top one

    LONG style = GetWindowLongW(dlg, GWL_STYLE);
    LONG exStyle = GetWindowLongW(dlg, GWL_EXSTYLE);
    AdjustWindowRectEx(&c, style, FALSE, exStyle);
    const int width = c.right - c.left;
    const int height = c.bottom - c.top;
    HDC screen = GetDC(nullptr);
    const int sx = (GetDeviceCaps(screen, HORZRES) - width) / 2;
    const int sy = (GetDeviceCaps(screen, VERTRES) - height) / 2;
    ReleaseDC(nullptr, screen);
    SetWindowPos(dlg, nullptr, sx, sy, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

    HDWP dwp = BeginDeferWindowPos(7);

    // Product name in bold, 1.6 times the dialog font.
    HFONT font = reinterpret_cast<HFONT>(SendDlgItemMessageW(dlg, IDC_ABOUT_PRODUCT, WM_GETFONT, 0, 0));
    LOGFONTW lf = {};
    if (GetObjectW(font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT),
                   sizeof(lf), &lf)) {
        lf.lfWeight = FW_BOLD;
        lf.lfHeight = static_cast<LONG>(lf.lfHeight * 1.6);
        state->ProductFont = CreateFontIndirectW(&lf);
        if (state->ProductFont)
            SendDlgItemMessageW(dlg, IDC_ABOUT_PRODUCT, WM_SETFONT,
                                reinterpret_cast<WPARAM>(state->ProductFont), FALSE);
    }
    dwp = MoveToColumn(dwp, dlg, IDC_ABOUT_PRODUCT, x, w);

    // The version line's template text is the format of the four version parts.
    WORD v[4];
    if (ReadModuleFileVersion(inst, v)) {
        wchar_t format[129] = L"";
        wchar_t line[260] = L"";
        GetDlgItemTextW(dlg, IDC_ABOUT_VERSION, format, 129);
        StringCchPrintfW(line, 260, format, v[0], v[1], v[2], v[3]);
        SetDlgItemTextW(dlg, IDC_ABOUT_VERSION, line);
    }
    dwp = MoveToColumn(dwp, dlg, IDC_ABOUT_VERSION, x, w);
    dwp = MoveToColumn(dwp, dlg, IDC_ABOUT_LINE, x, w);
    dwp = MoveToColumn(dwp, dlg, IDC_ABOUT_RULE, x, w);
    dwp = MoveToColumn(dwp, dlg, IDC_ABOUT_CREDITSLABEL, x, w);

    // OK keeps its x and size; its bottom lines up with the picture's bottom.
    RECT ok = ChildRect(dlg, IDCANCEL);
    const int okTop = p.bottom - (ok.bottom - ok.top);
    if (HWND okWnd = GetDlgItem(dlg, IDCANCEL); okWnd && dwp)
        dwp = DeferWindowPos(dwp, okWnd, nullptr, ok.left, okTop, ok.right - ok.left,
                             ok.bottom - ok.top, SWP_NOZORDER | SWP_NOACTIVATE);

    // Credits fill the column down to one top margin above OK.
    wchar_t credits[256] = L"";
    LoadStringW(inst, state->CreditsId, credits, 256);
    SetDlgItemTextW(dlg, IDC_ABOUT_CREDITS, credits);
    RECT cr = ChildRect(dlg, IDC_ABOUT_CREDITS);
    if (HWND edit = GetDlgItem(dlg, IDC_ABOUT_CREDITS); edit && dwp)
        dwp = DeferWindowPos(dwp, edit, nullptr, x, cr.top, w, (okTop - p.top) - cr.top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
    if (dwp)
        EndDeferWindowPos(dwp);
}

void FreeAboutBox(HWND dlg)
{
    auto* state = reinterpret_cast<AboutBoxState*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
    if (!state)
        return;
    // Without this every opening would leave one font and one bitmap behind.
    SendDlgItemMessageW(dlg, IDC_ABOUT_PRODUCT, WM_SETFONT, 0, FALSE);
    if (state->ProductFont) {
        DeleteObject(state->ProductFont);
        state->ProductFont = nullptr;
    }
    HBITMAP shown = reinterpret_cast<HBITMAP>(
        SendDlgItemMessageW(dlg, IDC_ABOUT_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, 0));
    if (shown && shown != state->Picture)
        DeleteObject(shown);  // the control made its own copy
    if (state->Picture) {
        DeleteObject(state->Picture);
        state->Picture = nullptr;
    }
    SetWindowLongPtrW(dlg, GWLP_USERDATA, 0);
}

}  // namespace

bool ReadModuleFileVersion(HINSTANCE module, WORD parts[4])
{
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(ABOUTBOX_VERSION_RESOURCE), MAKEINTRESOURCEW(16) /*RT_VERSION*/);
    if (!res)
        return false;
    DWORD size = SizeofResource(module, res);
    HGLOBAL loaded = LoadResource(module, res);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    VerQueryValueWFn query = VersionQuery();
    if (!data || size == 0 || !query)
        return false;
    // VerQueryValueW may write into the block it reads, and resources are read-only.
    std::vector<BYTE> copy(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    copy.resize(size * 2);  // room for the conversions it may make in place
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (!query(copy.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info ||
        len < sizeof(VS_FIXEDFILEINFO))
        return false;
    parts[0] = HIWORD(info->dwFileVersionMS);
    parts[1] = LOWORD(info->dwFileVersionMS);
    parts[2] = HIWORD(info->dwFileVersionLS);
    parts[3] = LOWORD(info->dwFileVersionLS);
    return true;
}

INT_PTR CALLBACK AboutDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        InitAboutBox(dlg, reinterpret_cast<AboutBoxState*>(lParam));
        // Focus on OK rather than on the credits, which would open fully selected.
        SetFocus(GetDlgItem(dlg, IDCANCEL));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {  // the OK button, and Esc
            EndDialog(dlg, 0);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        FreeAboutBox(dlg);
        return FALSE;
    }
    return FALSE;
}

INT_PTR ShowAboutBox(HWND owner, HINSTANCE instance, UINT creditsId)
{
    AboutBoxState state;
    state.Instance = instance;
    state.CreditsId = creditsId;
    return DialogBoxParamW(instance, L"ABOUTBOX", owner, AboutDlgProc,
                           reinterpret_cast<LPARAM>(&state));
}
