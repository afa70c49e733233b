// Every message box of both programs goes through ZorMessageBox, so that tests can answer
// them through a hook instead of blocking on a real box.
#pragma once
#include <windows.h>

typedef int (*MsgBoxHook)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Installs a hook (null restores the real MessageBoxW); returns the previous one.
MsgBoxHook SetMsgBoxHook(MsgBoxHook hook);

int ZorMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// A message box whose text and caption are string-table entries of the given module.
int ZorMessageBoxRes(HWND owner, HINSTANCE module, UINT textId, UINT captionId, UINT type);
