// Text inside the rich-text reports (the record list's report and its search description). Every
// value and name goes in through AppendRtfText exactly once, so that braces and backslashes in the
// data stay text and cannot change the report's formatting: '\', '{' and '}' are escaped, a line
// break inside a value becomes \line, a tab \tab, other control characters blanks, and each
// character beyond ASCII is written as \uN (which every reader decodes, whatever the document's
// code page) followed by its byte in the ANSI code page for readers that know no \u (or '?' when
// the code page has no such character). RtfLineText reads such text back as plain text.
#pragma once
#include <stddef.h>

#include <string>

// Appends length characters of the text, escaped. At most maxBytes bytes of the text's ANSI form
// are taken (whole characters only, each counting one); a negative maxBytes takes all.
void AppendRtfChars(std::string* out, const wchar_t* text, size_t length, int maxBytes = -1);

// Appends the zero-terminated text, escaped, as AppendRtfChars.
void AppendRtfText(std::string* out, const wchar_t* text, int maxBytes = -1);
inline void AppendRtfText(std::string* out, const std::wstring& text)
{
    AppendRtfChars(out, text.data(), text.size());
}

// 8-bit text in the ANSI code page (names from the main form, the report's strings), escaped
// the same way.
void AppendRtfAnsiText(std::string* out, const char* text);

// The end of a line of the report's criteria: "\par" and CR LF.
void AppendRtfLineEnd(std::string* out);

// A heap copy of the text (malloc, freed by the receiver); null for an empty text.
char* MallocCopy(const std::string& text);

// The plain text of a piece of body RTF as AppendRtfText and the search description write it:
// \par and \line become CR LF (a last \par is dropped), \tab a tab, \'hh and \uN their
// characters (the character after \uN is its fallback and is skipped), escaped symbols
// themselves; other control words and group braces show nothing.
std::wstring RtfLineText(const char* rtf, size_t length);
