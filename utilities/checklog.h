// The data check's log window (CHECKLOGDLG): after a check that found anything, how it ended
// and what it found, each finding with how it ended (repaired, or why not). The log is short
// (each section lists a bounded number of findings), so an edit control shows it whole.
#pragma once
#include <windows.h>

struct DbCheckLog;

// Runs the window modally over owner.
void ShowCheckLog(HINSTANCE instance, HWND owner, const DbCheckLog* log);

INT_PTR CALLBACK CheckLogDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
