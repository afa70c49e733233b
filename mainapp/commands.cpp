// The main window's commands: menus, accelerators and both toolbars send them as WM_COMMAND.
#include <windows.h>

#include "mainapp/aboutbox.h"
#include "mainapp/mainform.h"

namespace {

const int kExitCommand = 108;
const int kAboutCommand = 906;
const int kExportCommand = 2004;
const UINT kCreditsString = 1103;

}  // namespace

INT_PTR OnMainCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (LOWORD(wParam)) {
    case kExitCommand:
        // Closing goes the one way the window's close box goes: settings saved, window destroyed.
        PostMessageW(mainWnd, WM_CLOSE, 0, 0);
        return TRUE;
    case kAboutCommand:
        ShowAboutBox(mainWnd, form->hInstance, kCreditsString);
        return TRUE;
    case kExportCommand:
        return ExportRecordList(form, mainWnd);
    }
    return FALSE;
}
