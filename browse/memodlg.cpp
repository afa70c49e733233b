#include "browse/memodlg.h"

#include <oleauto.h>

#include <string>

#include "controls/plexa.h"

namespace {

const int kMemoEdit = 101;

// Takes the edit's whole text as the new value; an empty edit makes the value NULL.
void StoreEditText(HWND dlg, VARIANT* value)
{
    HWND edit = GetDlgItem(dlg, kMemoEdit);
    int length = GetWindowTextLengthW(edit);
    VariantClear(value);
    if (length <= 0) {
        V_VT(value) = VT_NULL;
        return;
    }
    std::wstring text((size_t)length + 1, L'\0');
    length = GetWindowTextW(edit, &text[0], length + 1);
    V_VT(value) = VT_BSTR;
    V_BSTR(value) = SysAllocStringLen(text.c_str(), (UINT)length);
}

void OnMemoCommand(HWND dlg, int id)
{
    VARIANT* value = (VARIANT*)GetWindowLongPtrW(dlg, DWLP_USER);
    switch (id) {
    case IDOK:
        StoreEditText(dlg, value);
        EndDialog(dlg, 1);
        break;
    case IDCANCEL:
        EndDialog(dlg, 2);
        break;
    }
}

}  // namespace

INT_PTR CALLBACK EditMemoDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dlg, DWLP_USER, lParam);
        VARIANT* value = (VARIANT*)lParam;
        // A long text may be longer than an edit takes by default.
        SendDlgItemMessageW(dlg, kMemoEdit, EM_SETLIMITTEXT, 0, 0);
        if (value && V_VT(value) == VT_BSTR && V_BSTR(value))
            SetDlgItemTextW(dlg, kMemoEdit, V_BSTR(value));
        return TRUE;
    }
    case WM_COMMAND:
        OnMemoCommand(dlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

INT_PTR EditMemoText(HINSTANCE instance, HWND parent, HWND propertyBox, int item)
{
    VARIANT value;
    VariantInit(&value);
    WPARAM itemWord = MAKEWPARAM(0xFFFF, item);
    SendMessageW(propertyBox, PBXM_GETVALUE, itemWord, (LPARAM)&value);
    INT_PTR result = DialogBoxParamW(instance, L"EDITMEMODLG", parent, EditMemoDlgProc,
                                     (LPARAM)&value);
    if (result == 1)
        SendMessageW(propertyBox, PBXM_SETVALUE, itemWord, (LPARAM)&value);
    VariantClear(&value);
    return result;
}
