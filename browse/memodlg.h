// EDITMEMODLG: edits one long-text value of a property grid (a record's or a tree item's
// attribute of the long-text kind). Both the record dialog and the tree item dialog use it.
#pragma once
#include <windows.h>

// Reads the value of the property box's item, runs EDITMEMODLG over parent with it and, when the
// user confirms, writes it back: the edit's text, or NULL when the edit is empty. Returns the
// dialog's result (1 confirmed, 2 cancelled, -1 when the dialog could not be made).
INT_PTR EditMemoText(HINSTANCE instance, HWND parent, HWND propertyBox, int item);

// Dialog procedure of EDITMEMODLG; lParam of WM_INITDIALOG is the VARIANT being edited.
INT_PTR CALLBACK EditMemoDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
