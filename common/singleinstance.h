// The one rule both programs start with: only one of them runs at a time in a session. Each
// holds the named mutex "ZornaMtx" for its whole run.
#pragma once
#include <windows.h>

// Creates and owns the mutex. When another copy of either program holds it, shows the string
// textId under the string captionId of the module (error icon, no owner) and ends the process
// with exit code 0, before anything else is set up. Returns the mutex for ReleaseSingleInstance.
HANDLE ClaimSingleInstance(HINSTANCE instance, UINT captionId, UINT textId);

// Releases and closes the mutex at the end of the program.
void ReleaseSingleInstance(HANDLE mutex);
