// Minimal window procedure until the control is built: default processing only.
#include "plexa_internal.h"

LRESULT CALLBACK InplaceButtonWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return IsWindowUnicode(hwnd) ? DefWindowProcW(hwnd, msg, wParam, lParam)
                                 : DefWindowProcA(hwnd, msg, wParam, lParam);
}
