// Text inside the report's RTF. Every value and name goes in through AppendRtfText exactly once:
// '\', '{' and '}' are escaped, a line break inside a value becomes \line, and each character
// beyond ASCII is written as \uN (which every reader decodes, whatever the document's code page)
// followed by its byte in the ANSI code page for readers that know no \u (or '?' when the code
// page has no such character). RtfLineText reads such text back as plain text.
#pragma once
#include <string>

// Appends the text, escaped.
void AppendRtfText(std::string* out, const wchar_t* text, size_t length);
inline void AppendRtfText(std::string* out, const std::wstring& text)
{
    AppendRtfText(out, text.data(), text.size());
}

// 8-bit text in the ANSI code page (names from the main form, the report's strings), escaped
// the same way.
void AppendRtfAnsiText(std::string* out, const char* text);

// The plain text of a piece of body RTF as AppendRtfText and the search description write it:
// \par and \line become CR LF (a last \par is dropped), \tab a tab, \'hh and \uN their
// characters (the character after \uN is its fallback and is skipped), escaped symbols
// themselves; other control words and group braces show nothing.
std::wstring RtfLineText(const char* rtf, size_t length);
