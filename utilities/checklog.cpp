#include "utilities/checklog.h"

#include <string>

#include "resources/tarnix/resource.h"
#include "structure/dbcheck.h"

namespace {

// The window's state: the log it shows.
struct CheckLogState {
    const DbCheckLog* Log;
};

void OnInit(HWND dlg, CheckLogState* state)
{
    SetWindowLongPtrW(dlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    SetDlgItemTextW(dlg, IDC_CHECKLOG_OUTCOME, state->Log->Outcome.c_str());
    std::wstring text;
    for (const std::wstring& line : state->Log->Lines)
        text += line + L"\r\n";
    SendDlgItemMessageW(dlg, IDC_CHECKLOG_TEXT, EM_SETLIMITTEXT, 0, 0);  // beyond the default 30,000
    SetDlgItemTextW(dlg, IDC_CHECKLOG_TEXT, text.c_str());
}

void OnCommand(HWND dlg, WORD id)
{
    if (id == IDCANCEL || id == IDOK)
        EndDialog(dlg, 0);
}

}  // namespace

void ShowCheckLog(HINSTANCE instance, HWND owner, const DbCheckLog* log)
{
    CheckLogState state = {log};
    DialogBoxParamW(instance, L"CHECKLOGDLG", owner, CheckLogDlgProc, reinterpret_cast<LPARAM>(&state));
}

INT_PTR CALLBACK CheckLogDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        // The focus on Zavřít: in the text box it would select the whole log.
        OnInit(dlg, reinterpret_cast<CheckLogState*>(lParam));
        SetFocus(GetDlgItem(dlg, IDCANCEL));
        return FALSE;
    case WM_COMMAND:
        OnCommand(dlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
