// Text wrapped in delimiters the way SQL names, filter literals and ODBC attribute values are
// written: a closing delimiter inside the text is doubled.
#pragma once

#include <string>

namespace zdata {

inline std::wstring Enclose(const std::wstring& text, wchar_t open, wchar_t close)
{
    std::wstring r(1, open);
    for (wchar_t c : text) {
        r += c;
        if (c == close)
            r += close;
    }
    r += close;
    return r;
}

// The one way the programs write a table, column or index name into SQL text: in double quotes,
// any double quote inside doubled, so that no name (a reserved word, "]", ";", a quote or an
// apostrophe, letters of any alphabet) can change the statement around it.
inline std::wstring QuoteIdentifier(const std::wstring& name)
{
    return Enclose(name, L'"', L'"');
}

}  // namespace zdata
