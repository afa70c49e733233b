#include "tests/support/dialogtextfit.h"
#include <cstring>

namespace wintest {
namespace {

// The dialog's style sits after dlgVer, signature, helpID and exStyle in an extended template,
// first in a plain one.
DWORD* TemplateStyle(std::vector<BYTE>& bytes)
{
    bool extended = bytes.size() >= 4 && *reinterpret_cast<WORD*>(&bytes[2]) == 0xFFFF;
    return reinterpret_cast<DWORD*>(&bytes[extended ? 12 : 0]);
}

INT_PTR CALLBACK InertDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::wstring ClassOf(HWND wnd)
{
    wchar_t name[64] = {};
    GetClassNameW(wnd, name, 64);
    return name;
}

// The rectangle DrawText needs for the text at most `width` wide (word-wrapped when asked).
SIZE TextNeeds(HDC dc, const std::wstring& text, int width, UINT flags)
{
    RECT r = { 0, 0, width, 0 };
    DrawTextW(dc, text.c_str(), -1, &r, flags | DT_CALCRECT | DT_EXPANDTABS);
    return { r.right - r.left, r.bottom - r.top };
}

// Room lost beside the text: the box of a check box or radio button and its gap, a push
// button's edges, a group's caption indent.
const int kCheckBoxRoom = 16;
const int kPushButtonRoom = 4;
const int kGroupCaptionRoom = 10;

// Why the text of one control does not fit, or empty.
std::wstring Misfit(HWND control)
{
    std::wstring cls = ClassOf(control);
    LONG style = GetWindowLongW(control, GWL_STYLE);
    wchar_t buffer[512] = {};
    GetWindowTextW(control, buffer, 512);
    std::wstring text = buffer;
    if (text.empty() || !(style & WS_VISIBLE))
        return {};
    RECT client;
    GetClientRect(control, &client);
    int width = client.right, height = client.bottom;
    UINT flags = 0;
    int room = width;
    bool wraps = false;
    if (_wcsicmp(cls.c_str(), L"Static") == 0) {
        LONG type = style & SS_TYPEMASK;
        if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP
            && type != SS_SIMPLE)
            return {};
        if (style & SS_NOPREFIX)
            flags |= DT_NOPREFIX;
        wraps = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
        if (style & (SS_ENDELLIPSIS | SS_PATHELLIPSIS | SS_WORDELLIPSIS))
            return {};  // shortened on purpose, with an ellipsis
    } else if (_wcsicmp(cls.c_str(), L"Button") == 0) {
        LONG type = style & BS_TYPEMASK;
        switch (type) {
        case BS_CHECKBOX: case BS_AUTOCHECKBOX: case BS_3STATE: case BS_AUTO3STATE:
        case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON:
            room = width - kCheckBoxRoom;
            break;
        case BS_PUSHBUTTON: case BS_DEFPUSHBUTTON:
            if (style & (BS_BITMAP | BS_ICON))
                return {};
            room = width - kPushButtonRoom;
            break;
        case BS_GROUPBOX:
            room = width - kGroupCaptionRoom;
            height = 0;  // the caption sits on the frame
            break;
        default:
            return {};
        }
        wraps = (style & BS_MULTILINE) != 0;
    } else {
        return {};
    }
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE needs = wraps ? TextNeeds(dc, text, room, flags | DT_WORDBREAK) : TextNeeds(dc, text, 0, flags | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    bool tooWide = needs.cx > room;
    bool tooTall = wraps && height > 0 && needs.cy > height;
    if (!tooWide && !tooTall)
        return {};
    return L"#" + std::to_wstring(GetDlgCtrlID(control)) + L" \"" + text + L"\": needs "
        + std::to_wstring(needs.cx) + L"x" + std::to_wstring(needs.cy) + L" px, has "
        + std::to_wstring(room) + L"x" + std::to_wstring(height) + L" px";
}

struct Scan {
    const std::vector<std::wstring>& laidOutByCode;
    std::vector<std::wstring> found;
};

std::wstring ResourceName(LPCWSTR name)
{
    return IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<UINT_PTR>(name)) : name;
}

BOOL CALLBACK ScanTemplate(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param)
{
    Scan& scan = *reinterpret_cast<Scan*>(param);
    for (const std::wstring& skipped : scan.laidOutByCode)
        if (!IS_INTRESOURCE(name) && _wcsicmp(skipped.c_str(), name) == 0)
            return TRUE;
    HRSRC res = FindResourceW(module, name, type);
    HGLOBAL data = res ? LoadResource(module, res) : nullptr;
    if (!data)
        return TRUE;
    std::vector<BYTE> bytes(SizeofResource(module, res));
    std::memcpy(bytes.data(), LockResource(data), bytes.size());
    // Made hidden, as a child of nothing, and whatever classes are missing.
    DWORD& style = *TemplateStyle(bytes);
    style = (style & ~(WS_VISIBLE | WS_CHILD)) | DS_NOFAILCREATE | WS_POPUP;
    HWND dialog = CreateDialogIndirectParamW(module, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                             nullptr, InertDialogProc, 0);
    if (!dialog)
        return TRUE;  // a program window of a class of its own, laid out by its code
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::wstring why = Misfit(child);
        if (!why.empty())
            scan.found.push_back(ResourceName(name) + L" " + why);
    }
    DestroyWindow(dialog);
    return TRUE;
}

} // namespace

std::vector<std::wstring> CutOffDialogTexts(HMODULE module, const std::vector<std::wstring>& laidOutByCode)
{
    Scan scan{ laidOutByCode, {} };
    EnumResourceNamesW(module, MAKEINTRESOURCEW(5) /*RT_DIALOG*/, ScanTemplate,
                       reinterpret_cast<LONG_PTR>(&scan));
    return scan.found;
}

} // namespace wintest
