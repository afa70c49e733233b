// Entry of the database utilities program.
#include <windows.h>
#include "controls/plexa.h"

static LRESULT CALLBACK ShellWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCmd)
{
    RegisterPlexaW(3);
    WNDCLASSEXW wc = { sizeof(wc) };
    wc.lpfnWndProc = ShellWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"TARNIXWND";
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(0, L"TARNIXWND", L"Zorna 2011 – DB nástroje", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                800, 500, nullptr, nullptr, instance, nullptr);
    ShowWindow(hwnd, showCmd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return (int)msg.wParam;
}
