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

// The key under which texts equal ignoring case meet (for hash indexes of names): each code
// point folded as the order without case folds it.
inline std::wstring CzechFoldedKey(const wchar_t* text, size_t length)
{
    std::wstring key;
    key.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        uint32_t c = (uint16_t)text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && (uint16_t)text[i + 1] >= 0xDC00 &&
            (uint16_t)text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + ((uint16_t)text[i + 1] - 0xDC00);
            ++i;
        }
        c = CzFoldCase(c);
        if (c >= 0x10000) {
            key += (wchar_t)(0xD800 + ((c - 0x10000) >> 10));
            key += (wchar_t)(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            key += (wchar_t)c;
        }
    }
    return key;
}

inline std::wstring CzechFoldedKey(const wchar_t* text)
{
    return CzechFoldedKey(text ? text : L"", text ? wcslen(text) : 0);
}

// For std::sort and ordered containers of names.
struct CzechLess
{
    bool operator()(const std::wstring& a, const std::wstring& b) const { return CzechCompare(a, b) < 0; }
    bool operator()(const wchar_t* a, const wchar_t* b) const { return CzechCompare(a, b) < 0; }
};
