// Minimal window procedure until the control is built: default processing only.
#include "plexa_internal.h"

LRESULT CALLBACK ImgButtonWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (g_buttonClassProc)
        return CallWindowProcW(g_buttonClassProc, hwnd, msg, wParam, lParam);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
