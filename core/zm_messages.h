// The main window's private messages that core code sends or posts. Only the ids the database
// object needs are here; the main window's full message protocol lives with the shell.
#pragma once
#include <windows.h>

#ifndef ZM_DB_OPENED
// Posted by the connection events sink when an open attempt has finished, whatever its outcome:
// wParam 0, lParam the progress window (or null). The receiver asks IsOpen itself.
#define ZM_DB_OPENED (WM_USER + 4001)
#endif
