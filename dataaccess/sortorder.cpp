#include "dataaccess/sortorder.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

namespace zdata {

namespace {

std::wstring Trim(const std::wstring& s)
{
    size_t b = s.find_first_not_of(L" \t\r\n");
    if (b == std::wstring::npos)
        return std::wstring();
    size_t e = s.find_last_not_of(L" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool EndsWithWord(const std::wstring& s, const wchar_t* word)
{
    size_t n = wcslen(word);
    if (s.size() <= n || !iswspace(s[s.size() - n - 1]))
        return false;
    return _wcsicmp(s.c_str() + s.size() - n, word) == 0;
}

// Rank of a value's kind in ascending order: NULL, numbers, texts, blobs.
int KindRank(const DriverValue& v)
{
    if (v.isNull)
        return 0;
    switch (v.kind) {
    case FetchKind::Integer:
    case FetchKind::Double:
        return 1;
    case FetchKind::Text:
        return 2;
    default:
        return 3;
    }
}

int Compare(const DriverValue& a, const DriverValue& b)
{
    int ra = KindRank(a), rb = KindRank(b);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    switch (ra) {
    case 0:
        return 0;
    case 1:
        if (a.kind == FetchKind::Integer && b.kind == FetchKind::Integer)
            return a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
        {
            double x = a.kind == FetchKind::Integer ? (double)a.i : a.d;
            double y = b.kind == FetchKind::Integer ? (double)b.i : b.d;
            return x < y ? -1 : (x > y ? 1 : 0);
        }
    case 2:
        return CompareTextNoCase(a.text, a.textLen, b.text, b.textLen);
    default: {
        size_t n = std::min(a.byteLen, b.byteLen);
        int r = n ? memcmp(a.bytes, b.bytes, n) : 0;
        if (r)
            return r < 0 ? -1 : 1;
        return a.byteLen < b.byteLen ? -1 : (a.byteLen > b.byteLen ? 1 : 0);
    }
    }
}

}  // namespace

bool ParseSortCriteria(const std::wstring& text,
                       const std::function<bool(const std::wstring& name, size_t* column)>& resolve,
                       std::vector<SortKey>* keys, std::wstring* error)
{
    keys->clear();
    if (Trim(text).empty())
        return true;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(L',', start);
        std::wstring part = Trim(text.substr(start, comma == std::wstring::npos ? std::wstring::npos
                                                                               : comma - start));
        start = comma == std::wstring::npos ? text.size() + 1 : comma + 1;
        SortKey key = {0, false};
        if (EndsWithWord(part, L"DESC")) {
            key.descending = true;
            part = Trim(part.substr(0, part.size() - 4));
        } else if (EndsWithWord(part, L"ASC")) {
            part = Trim(part.substr(0, part.size() - 3));
        }
        if (part.size() >= 2 && part.front() == L'[' && part.back() == L']')
            part = part.substr(1, part.size() - 2);
        if (part.empty()) {
            if (error)
                *error = L"Chybí sloupec řazení.";
            keys->clear();
            return false;
        }
        if (!resolve(part, &key.column)) {
            if (error)
                *error = L"Sloupec řazení " + part + L" neexistuje.";
            keys->clear();
            return false;
        }
        keys->push_back(key);
    }
    return true;
}

void SortView(const RowsetData& data, const std::vector<SortKey>& keys, std::vector<uint32_t>* view)
{
    if (keys.empty() || data.keyset)
        return;
    std::stable_sort(view->begin(), view->end(), [&](uint32_t x, uint32_t y) {
        const RowPtr& a = data.rows[x];
        const RowPtr& b = data.rows[y];
        if (!a || !b)
            return (bool)b && !a;
        for (const SortKey& k : keys) {
            int r = Compare(a->Get(k.column), b->Get(k.column));
            if (r)
                return k.descending ? r > 0 : r < 0;
        }
        return false;
    });
}

}  // namespace zdata
