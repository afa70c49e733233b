// Message boxes whose text is a string-table entry with the names, values and reasons of the
// case put into it.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>

// The entry's text with each "%s" replaced by the next insert, in order ("%%" is a percent sign);
// as long as it needs to be. Without the entry, the inserts one after another.
std::wstring ResourceText(HINSTANCE module, UINT textId, std::initializer_list<const wchar_t*> inserts);

// The system's words for an error code (GetLastError's), without the line break it ends with;
// the code in hexadecimal when the system has none.
std::wstring SystemErrorText(DWORD error);

// ZorMessageBox with that text under the caption of a string-table entry.
int ZorMessageBoxResText(HWND owner, HINSTANCE module, UINT textId, UINT captionId, UINT type,
                         std::initializer_list<const wchar_t*> inserts);
