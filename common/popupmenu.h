// The one place both programs show a context menu. Every popup menu of the programs is tracked
// through ChoosePopupMenuCommand, so that tests can pick a command without a menu on screen.
#pragma once
#include <windows.h>

// Tracks the popup at the screen point for the owner, exactly as TrackPopupMenu does with the
// same flags, and answers the same way (with TPM_RETURNCMD the chosen command, 0 for none).
int ChoosePopupMenuCommand(HMENU popup, UINT flags, int x, int y, HWND owner);

// Test seam: installs a replacement (null restores the real menu) and returns the one it
// replaced.
typedef int (*PopupMenuFn)(HMENU popup, UINT flags, int x, int y, HWND owner);
PopupMenuFn SetPopupMenuChooser(PopupMenuFn chooser);
