// Opening an address or a document with the program the system associates with it (a web page
// in the user's browser), through one call that tests can replace so that no browser starts.
#pragma once
#include <windows.h>

// ShellExecuteW (no window, "open", no parameters, no folder, SW_SHOW); true when the system
// started something.
bool OpenInShell(const wchar_t* target);

// Test seam: a replacement for the system call (null restores it); returns the one it replaced.
typedef bool (*ShellOpenFn)(const wchar_t* target);
ShellOpenFn SetShellOpener(ShellOpenFn opener);
