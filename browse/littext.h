// Texts of the literature dialogs' fields: one clean line of a single-line field, and the names of
// a name page (one per line). A window's text is GetWindowString (core/ctlfill.h).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "core/ctlfill.h"

// Longest author or keyword line taken from a name page.
const int kLitNameLineMax = 511;

// One line of text from a single-line field: each pasted line break or tab (or a run of them)
// becomes one space, blanks around the text are removed.
std::wstring CleanLineText(const std::wstring& text);
// The names of a name page's text, one per line, each cleaned as above and cut to
// kLitNameLineMax characters; empty lines are left out. Any of CR, LF or CR LF ends a line.
std::vector<std::wstring> SplitNameLines(const std::wstring& text);
