#include "common/msgloop.h"

#include "common/focusguard.h"
#include "core/msgbox.h"

void RunDialogMessageLoop(HWND mainWnd, HACCEL accel)
{
    MSG msg;
    for (;;) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            ZorMessageBox(mainWnd, L"Error?", L"Debug", MB_OK);
            return;
        }
        if (got == 0)
            return;  // WM_QUIT
        RedirectStrandedKey(mainWnd, &msg);
        if (accel && TranslateAcceleratorW(mainWnd, accel, &msg))
            continue;
        if (IsDialogMessageW(mainWnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
