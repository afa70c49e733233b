// Text without the blanks around it: a connection string's keys and values, the names in an
// engine's column list.
#pragma once

#include <cwctype>
#include <string>

namespace zdata {

inline std::wstring Trim(const std::wstring& s)
{
    size_t b = 0, e = s.size();
    while (b < e && iswspace(s[b]))
        ++b;
    while (e > b && iswspace(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

}  // namespace zdata
