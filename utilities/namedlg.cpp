#include "utilities/namedlg.h"

#include <strsafe.h>

#include <cwchar>

#include "core/msgbox.h"
#include "resources/tarnix/resource.h"
#include "utilities/tarnix_protocol.h"

namespace {

NameRequest* RequestOf(HWND dlg)
{
    return reinterpret_cast<NameRequest*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
}

void OnInit(HWND dlg, NameRequest* request)
{
    SetWindowLongPtrW(dlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(request));
    SendDlgItemMessageW(dlg, IDC_NAME_EDIT, EM_LIMITTEXT, kNameMaxLength, 0);
    SetDlgItemTextW(dlg, IDC_NAME_EDIT, request->Text);
    wchar_t title[64] = L"";
    LoadStringW(request->hInstance, IDS_T_NAME_TITLE + request->Mode, title, 64);
    SetWindowTextW(dlg, title);
}

// A text longer than the stored name (put in past the edit's limit, by a paste or another
// program) is refused with the limit rather than cut.
bool RefuseLongName(HWND dlg, NameRequest* request)
{
    HWND edit = GetDlgItem(dlg, IDC_NAME_EDIT);
    int length = GetWindowTextLengthW(edit);
    if (length <= kNameMaxLength)
        return false;
    wchar_t format[160] = L"", text[200] = L"", caption[64] = L"";
    LoadStringW(request->hInstance, IDS_T_NAME_TOO_LONG, format, 160);
    LoadStringW(request->hInstance, IDS_T_ERROR_CAPTION, caption, 64);
    StringCchPrintfW(text, 200, format, length, kNameMaxLength);
    ZorMessageBox(dlg, text, caption, MB_ICONERROR);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, kNameMaxLength, -1);
    return true;
}

void OnOk(HWND dlg, NameRequest* request)
{
    if (RefuseLongName(dlg, request))
        return;
    wchar_t name[kNameBufferLength] = L"";
    GetDlgItemTextW(dlg, IDC_NAME_EDIT, name, kNameBufferLength);
    TrimName(name);
    // The owner answers through its DWLP_MSGRESULT, which SendMessage returns.
    if (!SendMessageW(request->Owner, ZM_CHECK_NAME, (WPARAM)request->Mode, reinterpret_cast<LPARAM>(name))) {
        ZorMessageBoxRes(dlg, request->hInstance, IDS_T_NAME_REFUSED, IDS_T_ERROR_CAPTION, MB_ICONERROR);
        SetFocus(GetDlgItem(dlg, IDC_NAME_EDIT));
        return;
    }
    wcscpy(request->Text, name);
    EndDialog(dlg, 1);
}

bool Ask(HINSTANCE instance, HWND owner, wchar_t* text, int mode)
{
    NameRequest request = {instance, owner, mode, text};
    return DialogBoxParamW(instance, L"EDITNAMEDLG", owner, NameDlgProc, reinterpret_cast<LPARAM>(&request)) == 1;
}

}  // namespace

bool AskName(HINSTANCE instance, HWND owner, wchar_t* text)
{
    return Ask(instance, owner, text, NAME_NEW);
}

bool AskRename(HINSTANCE instance, HWND owner, wchar_t* text)
{
    return Ask(instance, owner, text, NAME_RENAME);
}

int TrimName(wchar_t* text)
{
    size_t length = wcslen(text);
    size_t lead = 0;
    while (lead < length && text[lead] == L' ')
        ++lead;
    if (lead > 0)
        wmemmove(text, text + lead, length - lead + 1);
    length -= lead;
    while (length > 0 && text[length - 1] == L' ')
        text[--length] = 0;
    return (int)length;
}

INT_PTR CALLBACK NameDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        OnInit(dlg, reinterpret_cast<NameRequest*>(lParam));
        return TRUE;
    }
    NameRequest* request = RequestOf(dlg);
    if (!request || msg != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOk(dlg, request);
        return TRUE;
    case IDCANCEL:
        EndDialog(dlg, 0);
        return TRUE;
    }
    return FALSE;
}
