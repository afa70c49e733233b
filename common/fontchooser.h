// The one place both programs ask the user for a font, so that tests can answer it without a
// dialog.
#pragma once
#include <windows.h>
#include <commdlg.h>

// Runs the font dialog on the caller's filled CHOOSEFONTW, exactly as ChooseFontW does, and
// answers the same way (nonzero when the user chose a font).
BOOL ChooseFontDialog(CHOOSEFONTW* cf);

// Test seam: a replacement for the dialog (null restores ChooseFontW); returns the one it
// replaced.
typedef BOOL(WINAPI* FontDialogFn)(CHOOSEFONTW* cf);
FontDialogFn SetFontChooser(FontDialogFn chooser);
