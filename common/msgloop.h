// The message loop of both programs' modeless main dialog: accelerators first, then the
// dialog's keyboard navigation, then the ordinary translation and dispatch. The navigation keys
// (Tab, Esc, Enter, Alt+letter) go to the dialog the message is for: the main window, or a
// modeless dialog of the program such as the print form. A key that would reach a focus stranded
// in a hidden page goes to a visible control instead.
#pragma once
#include <windows.h>

// Runs until WM_QUIT. A failing GetMessageW shows "Error?" under "Debug" (owner the main
// window) and ends the loop as well.
void RunDialogMessageLoop(HWND mainWnd, HACCEL accel);
