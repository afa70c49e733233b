// The Czech order for the programs' own wide strings: comparisons of wchar_t texts (UTF-16 on
// Windows) and a less-than for sorting names in memory, from the same C code that SQLite runs as
// the CZECH and CZECH_NOCASE collations.
#pragma once

#include <cwchar>
#include <string>

#include "czechcollation/czechorder.h"

// The full Czech order: negative, 0 (identical texts) or positive. A null text is empty.
inline int CzechCompare(const wchar_t* a, size_t lengthA, const wchar_t* b, size_t lengthB)
{
    static_assert(sizeof(wchar_t) == sizeof(uint16_t), "wide strings are UTF-16");
    return CzCompareUtf16(reinterpret_cast<const uint16_t*>(a), lengthA, reinterpret_cast<const uint16_t*>(b),
                          lengthB);
}

inline int CzechCompare(const wchar_t* a, const wchar_t* b)
{
    return CzechCompare(a, a ? wcslen(a) : 0, b, b ? wcslen(b) : 0);
}

inline int CzechCompare(const std::wstring& a, const std::wstring& b)
{
    return CzechCompare(a.data(), a.size(), b.data(), b.size());
}

// The Czech order with case ignored; 0 exactly when the texts are equal ignoring case only.
inline int CzechCompareNoCase(const wchar_t* a, size_t lengthA, const wchar_t* b, size_t lengthB)
{
    return CzCompareNoCaseUtf16(reinterpret_cast<const uint16_t*>(a), lengthA,
                                reinterpret_cast<const uint16_t*>(b), lengthB);
}

inline bool CzechEqualNoCase(const wchar_t* a, const wchar_t* b)
{
    return CzechCompareNoCase(a, a ? wcslen(a) : 0, b, b ? wcslen(b) : 0) == 0;
}

// For std::sort and ordered containers of names.
struct CzechLess
{
    bool operator()(const std::wstring& a, const std::wstring& b) const { return CzechCompare(a, b) < 0; }
    bool operator()(const wchar_t* a, const wchar_t* b) const { return CzechCompare(a, b) < 0; }
};
