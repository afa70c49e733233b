#include "map/expbmpdlg.h"

#include <cerrno>
#include <climits>
#include <cwchar>
#include <cwctype>

#include "core/ctlfill.h"
#include "resources/zorna/resource.h"

namespace {

const int kDpiTextSize = 32;

// A whole positive number and nothing else (blanks around it allowed); 0 when the text is none.
int ReadPositive(const wchar_t* text)
{
    while (iswspace(*text))
        ++text;
    if (!iswdigit(*text))
        return 0;
    errno = 0;
    wchar_t* end = nullptr;
    long value = wcstol(text, &end, 10);
    while (iswspace(*end))
        ++end;
    if (*end || errno == ERANGE || value <= 0 || value > INT_MAX)
        return 0;
    return (int)value;
}

}  // namespace

CExpBmpDlg::CExpBmpDlg(HINSTANCE instance) : Dialog(nullptr), Dpi(300), Instance(instance) {}

int CExpBmpDlg::Show(HWND owner, int dpi)
{
    Dpi = dpi;
    INT_PTR result = DialogBoxParamW(Instance, L"EXPBMPDLG", owner, ExpBmpDlgProc, (LPARAM)this);
    Dialog = nullptr;
    return result == 1 ? 1 : 0;
}

void CExpBmpDlg::OnInit(HWND dialog)
{
    Dialog = dialog;
    HWND combo = GetDlgItem(dialog, IDC_EXPBMP_DPI);
    for (const wchar_t* entry : {L"150", L"300", L"600"})
        SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)entry);
    SendMessageW(combo, CB_LIMITTEXT, kDpiTextSize, 0);
    wchar_t text[kDpiTextSize];
    swprintf(text, kDpiTextSize, L"%d", Dpi);
    SetWindowTextW(combo, text);
}

void CExpBmpDlg::OnOk()
{
    wchar_t text[kDpiTextSize + 1] = L"";
    GetDlgItemTextW(Dialog, IDC_EXPBMP_DPI, text, kDpiTextSize + 1);
    const int dpi = ReadPositive(text);
    if (dpi > 0) {
        Dpi = dpi;
        EndDialog(Dialog, 1);
        return;
    }
    ShowWarningRes(Instance, Dialog, IDS_ERROR_CAPTION, IDS_INVALID_VALUE);
    SetFocus(GetDlgItem(Dialog, IDC_EXPBMP_DPI));
}

INT_PTR CALLBACK ExpBmpDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        ((CExpBmpDlg*)lParam)->OnInit(hwnd);
        return TRUE;
    }
    CExpBmpDlg* dlg = (CExpBmpDlg*)GetWindowLongPtrW(hwnd, DWLP_USER);
    if (!dlg || msg != WM_COMMAND)
        return FALSE;
    if (LOWORD(wParam) == IDOK)
        dlg->OnOk();
    else if (LOWORD(wParam) == IDCANCEL)
        EndDialog(hwnd, 0);
    return TRUE;
}
