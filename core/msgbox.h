// Every message box of both programs goes through ZorMessageBox, so that tests can answer
// them through a hook instead of blocking on a real box.
#pragma once
#include <windows.h>

typedef int (*MsgBoxHook)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Installs a hook (null restores the real MessageBoxW); returns the previous one.
MsgBoxHook SetMsgBoxHook(MsgBoxHook hook);

int ZorMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// The window a message about the given one belongs over: the window the user works in on the
// same main window (the modal dialog or sheet at the top of its chain), else the given one; null
// stays null. A box owned by a window under a modal dialog would enable and activate that
// window when it closes, putting the dialog behind it.
HWND MessageOwner(HWND hint);

// A message box whose text and caption are string-table entries of the given module.
int ZorMessageBoxRes(HWND owner, HINSTANCE module, UINT textId, UINT captionId, UINT type);
