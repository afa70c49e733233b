// VALIDATEDLG: which parts of the database to check. Storno is the default button, so Enter
// cancels: a check may take long and is started only by OK.
#include "resources/tarnix/resource.h"
#include "structure/dbcheck.h"

namespace {

struct Box {
    int id;
    int flag;
};
const Box kBoxes[] = {{IDC_CHECK_SPECIES, DBCHECK_SPECIES},
                      {IDC_CHECK_LOCALITIES, DBCHECK_LOCALITIES},
                      {IDC_CHECK_RECORDS, DBCHECK_RECORDS}};

INT_PTR CALLBACK ValidateDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dlg, GWLP_USERDATA, lParam);
        int flags = *reinterpret_cast<int*>(lParam);
        for (const Box& b : kBoxes)
            CheckDlgButton(dlg, b.id, (flags & b.flag) ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            int* flags = reinterpret_cast<int*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
            *flags = 0;
            for (const Box& b : kBoxes)
                if (IsDlgButtonChecked(dlg, b.id) == BST_CHECKED)
                    *flags |= b.flag;
            EndDialog(dlg, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

bool ShowValidateDialog(HINSTANCE instance, HWND owner, int* flags)
{
    int chosen = *flags;
    if (DialogBoxParamW(instance, L"VALIDATEDLG", owner, ValidateDlgProc,
                        reinterpret_cast<LPARAM>(&chosen)) != 1)
        return false;
    *flags = chosen;
    return true;
}
