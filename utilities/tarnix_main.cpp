// Entry of the database utilities program: one copy of either program at a time, then the main
// form and the message loop that serves it and its pages.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "common/msgloop.h"
#include "common/singleinstance.h"
#include "controls/plexa.h"
#include "import/importsources.h"
#include "resources/tarnix/resource.h"
#include "utilities/maintapp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    // The main program claims the same instance, so the two exclude each other.
    HANDLE mutex = ClaimSingleInstance(instance, IDS_T_ERROR_CAPTION, IDS_T_ALREADY_RUNNING);
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_PAGESCROLLER_CLASS |
                ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&icc);
    RegisterPlexaW(PLEXA_INPLACECOMBOBOX | PLEXA_PROPERTYBOX);
    RegisterImportSources();

    HACCEL accel = LoadAcceleratorsW(instance, L"MAINACC");
    MaintApp* app = new MaintApp(instance);
    // The form is visible from its creation: its initialisation runs inside this call.
    HWND form = CreateMainForm(app);
    if (form)
        RunDialogMessageLoop(form, accel);

    delete app;
    CoUninitialize();
    ReleaseSingleInstance(mutex);
    return 0;
}
