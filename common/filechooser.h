// The one place both programs ask the user for a file or a folder. Every file or folder choice of
// the programs goes through these calls, so that tests can answer them without a dialog.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <string>

// Open and save choices take the caller's filled OPENFILENAMEW, exactly as GetOpenFileNameW and
// GetSaveFileNameW do, and answer the same way (nonzero when the user chose a file).
BOOL ChooseFileToOpen(OPENFILENAMEW* ofn);
BOOL ChooseFileToSave(OPENFILENAMEW* ofn);

// The filter of a file dialog from a string-table entry whose parts are separated by the
// character 1 in place of each null (a resource string cannot hold nulls).
std::wstring LoadFileFilter(HINSTANCE instance, UINT id);

// Folder choice through the shell's folder browser. folder holds the folder to start in (may be
// empty) and receives the chosen one; false when the user cancelled, folder then unchanged.
bool ChooseFolder(HWND owner, const wchar_t* title, std::wstring* folder);

// Test seams. Each setter installs a replacement (null restores the real dialog) and returns the
// one it replaced.
typedef BOOL(WINAPI* FileDialogFn)(OPENFILENAMEW* ofn);
typedef bool (*FolderDialogFn)(HWND owner, const wchar_t* title, std::wstring* folder);
FileDialogFn SetOpenFileChooser(FileDialogFn chooser);
FileDialogFn SetSaveFileChooser(FileDialogFn chooser);
FolderDialogFn SetFolderChooser(FolderDialogFn chooser);
