// Files written whole or not at all: the new content goes to a temporary file in the target's
// folder, which replaces the target only when everything was written. A failure leaves no
// partial file behind and the old file as it was.
#pragma once
#include <windows.h>

#include <string>

// Creates an empty temporary file in the folder of target and gives its path; empty (with the
// system's error code in *error) when the folder is missing or cannot be written.
std::wstring CreateTempFileBeside(const wchar_t* target, DWORD* error);

// Finishes a write: when error is 0 the temporary file replaces target (the result is then 0, or
// the system's error code when the target cannot be replaced, e.g. locked or read-only);
// otherwise, or when the replacement fails, the temporary file is deleted and the error returned.
DWORD ReplaceWithTempFile(const std::wstring& temp, const wchar_t* target, DWORD error);
