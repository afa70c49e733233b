// A workspace file that is there at start but was not read (damaged, or refused unparsed): the
// program starts on the defaults and writes them to the file at exit, so the file is first put
// aside under another name and the user is told.
#pragma once
#include <windows.h>

#include <string>

// The name the unread file is kept under: "<file>.poškozený", numbered from 2 when taken.
std::wstring KeptWorkspaceName(const std::wstring& path, int number);

// For a read result of the file at path (XmlReadResult) that is neither read nor missing: moves
// the file aside and shows over owner what was wrong, that the defaults are used and where the
// file is kept (or that it could not be kept and will be overwritten at exit). Nothing otherwise.
void KeepUnreadWorkspace(const std::wstring& path, int result, HWND owner, HINSTANCE module);
