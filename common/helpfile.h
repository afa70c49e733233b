// Both programs' help: a compiled help file beside the program, opened at its default topic
// through HTML Help (hhctrl.ocx, bound when first needed).
#pragma once
#include <windows.h>

// Opens the help file (no owner, HH_DISPLAY_TOPIC). False, with nothing opened, when the file
// does not exist or HTML Help cannot be loaded; the caller then tells the user.
bool ShowHelpFile(const wchar_t* path);

// Test seam: a replacement for the HTML Help call, given the path of an existing file (null
// restores HTML Help). Returns the one it replaced.
typedef bool (*HelpViewerFn)(const wchar_t* path);
HelpViewerFn SetHelpViewer(HelpViewerFn viewer);
