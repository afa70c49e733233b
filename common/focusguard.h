// A dialog's keyboard handling (mnemonics, Tab) walks the dialog's visible, enabled windows from
// the focus onwards and stops when it comes back to the focus. A focus left below a hidden or
// disabled window (a page of a tab strip that was switched away) is never reached again, and
// the walk goes round for ever: the program hangs at the next key. These keep the focus where
// the walk finds it.
#pragma once
#include <windows.h>

// Whether a window inside the dialog is out of the walk's reach: hidden itself, or below a
// hidden or disabled window between it and the dialog.
bool IsFocusStranded(HWND dialog, HWND window);

// The first visible, enabled tab stop inside the container in Tab order (through nested control
// parents); null when there is none.
HWND FirstTabStopIn(HWND container);

// After a tab switch has shown a page: a focus left in a page that is hidden now (or lost with
// it) moves to the shown page's first tab stop (the page itself when it is one control), else to
// the fallback. A focus on a visible control or outside the dialog stays where it is.
void KeepFocusOnShownPage(HWND dialog, HWND page, HWND fallback);

// For the message loop: a key addressed to a stranded focus first moves the focus to the
// dialog's first tab stop and is then addressed to it. Other messages are left as they are.
void RedirectStrandedKey(HWND dialog, MSG* msg);
