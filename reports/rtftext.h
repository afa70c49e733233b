// Text put into the 8-bit rich-text report: every name or value is escaped exactly once on its
// way in, so that braces and backslashes in the data stay text and cannot change the report's
// formatting, and letters keep their identity whatever the ANSI code page holds.
#pragma once
#include <string>

// Appends the text: "\" "{" "}" escaped with a backslash, characters above 0x7F as \'hh of their
// ANSI code page bytes, characters the code page cannot hold as \uN? (N the signed UTF-16 unit),
// control characters as blanks. At most maxBytes bytes of the text's ANSI form are taken (whole
// characters only); a negative maxBytes takes all.
void AppendRtfText(std::string* out, const wchar_t* text, int maxBytes = -1);

// The end of a line of the report's criteria: "\par" and CR LF.
void AppendRtfLineEnd(std::string* out);

// A heap copy of the text (malloc, freed by the receiver); null for an empty text.
char* MallocCopy(const std::string& text);
