#include "common/msgloop.h"

#include "common/focusguard.h"
#include "core/msgbox.h"

namespace {

// The dialog whose keyboard handling a message is for: the modeless dialog the window belongs
// to (the print form), the main window for its own windows and for anything else.
HWND KeyboardDialogOf(HWND mainWnd, HWND target)
{
    HWND top = target ? GetAncestor(target, GA_ROOT) : nullptr;
    if (!top || top == mainWnd)
        return mainWnd;
    wchar_t className[16] = L"";
    GetClassNameW(top, className, 16);
    return lstrcmpW(className, L"#32770") == 0 ? top : mainWnd;
}

}  // namespace

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
        HWND dialog = KeyboardDialogOf(mainWnd, msg.hwnd);
        RedirectStrandedKey(dialog, &msg);
        if (accel && TranslateAcceleratorW(mainWnd, accel, &msg))
            continue;
        if (IsDialogMessageW(dialog, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
