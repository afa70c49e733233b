// In-place combo box (INPLACECOMBOBOX): default processing until the control is complete.
#include "plexa_internal.h"

LRESULT CALLBACK InplaceComboWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return IsWindowUnicode(hwnd) ? DefWindowProcW(hwnd, msg, wParam, lParam)
                                 : DefWindowProcA(hwnd, msg, wParam, lParam);
}
