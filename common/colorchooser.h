// The one place both programs ask the user for a colour, so that tests can answer it without a
// dialog.
#pragma once
#include <windows.h>
#include <commdlg.h>

// Runs the colour dialog on the caller's filled CHOOSECOLORW, exactly as ChooseColorW does, and
// answers the same way (nonzero when the user chose a colour).
BOOL ChooseColorDialog(CHOOSECOLORW* cc);

// Test seam: a replacement for the dialog (null restores ChooseColorW); returns the one it
// replaced.
typedef BOOL(WINAPI* ColorDialogFn)(CHOOSECOLORW* cc);
ColorDialogFn SetColorChooser(ColorDialogFn chooser);
