// Entry of the main program: one copy of either program at a time, then the main form and the
// message loop that serves it and every modeless window inside it.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "common/singleinstance.h"
#include "controls/plexa.h"
#include "mainapp/mainform.h"

namespace {

const UINT kErrorCaption = 500;    // "Chyba"
const UINT kAlreadyRunning = 513;  // "Zorna nebo DB Nástroje jsou spuštěny"

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    // The utilities program claims the same instance, so the two exclude each other too.
    HANDLE mutex = ClaimSingleInstance(instance, kErrorCaption, kAlreadyRunning);
    CoInitialize(nullptr);  // every data, catalogue and XML object lives on this thread
    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_PAGESCROLLER_CLASS
                | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&icc);
    RegisterPlexaW(PLEXA_INPLACECOMBOBOX | PLEXA_PROPERTYBOX | PLEXA_IMGBUTTON);

    HWND mainWnd = nullptr;
    HACCEL accel = nullptr;
    // The main window is created visible: its start-up (workspace file, splash, opening of the
    // database) runs inside the constructor.
    MainForm* form = new MainForm(instance, MainFormDlgProc, &mainWnd, &accel);
    if (mainWnd)
        RunMainMessageLoop(mainWnd, accel);

    delete form;
    CoUninitialize();
    ReleaseSingleInstance(mutex);
    ExitProcess(0);
}
