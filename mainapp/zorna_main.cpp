// Entry of the main program: one copy of either program at a time, then the main form and the
// message loop that serves it and every modeless window inside it.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "controls/plexa.h"
#include "core/msgbox.h"
#include "mainapp/mainform.h"

namespace {

// The utilities program holds a mutex of the same name, so the two exclude each other too.
const wchar_t kMutexName[] = L"ZornaMtx";
const UINT kErrorCaption = 500;    // "Chyba"
const UINT kAlreadyRunning = 513;  // "Zorna je již spuštěná"

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    HANDLE mutex = CreateMutexW(nullptr, TRUE, kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Before anything else is set up; the mutex handle goes with the process.
        wchar_t caption[32 + 1] = L"";
        wchar_t text[128 + 1] = L"";
        LoadStringW(instance, kErrorCaption, caption, ARRAYSIZE(caption));
        LoadStringW(instance, kAlreadyRunning, text, ARRAYSIZE(text));
        ZorMessageBox(nullptr, text, caption, MB_ICONERROR);
        ExitProcess(0);
    }
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
    ReleaseMutex(mutex);
    ExitProcess(0);
}
