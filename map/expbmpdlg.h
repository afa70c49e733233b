// The resolution dialog EXPBMPDLG ("Export do BMP"): the dots per inch of a map exported as a
// bitmap. Made by the picture export on first use into the map card, which frees it.
#pragma once
#include <windows.h>

class CExpBmpDlg
{
public:
    explicit CExpBmpDlg(HINSTANCE instance);

    // Runs the dialog proposing the resolution; 1 on OK (GetDpi then gives the one entered),
    // 0 on Storno.
    int Show(HWND owner, int dpi);
    int GetDpi() const { return Dpi; }

    // ---- the dialog's own work
    void OnInit(HWND dialog);
    // OK: a number above 0 is taken and the dialog ends; anything else is refused with
    // string 511 and the focus returns to the combo.
    void OnOk();

    HWND Dialog;
    int Dpi;
    HINSTANCE Instance;
};

INT_PTR CALLBACK ExpBmpDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
