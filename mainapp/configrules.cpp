#include "mainapp/configrules.h"

#include <cwchar>
#include <string>

#include "resources/zorna/resource.h"

namespace {

const int kMaxReferenceDigits = 32;

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// XML 1.0 name characters of the basic plane (a custom column's name is typed text, so
// surrogate pairs are refused rather than checked pair by pair).
bool IsNameStartChar(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || c == L'_' || (c >= L'a' && c <= L'z')
           || (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF)
           || (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || c == 0x200C
           || c == 0x200D || (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF)
           || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF)
           || (c >= 0xFDF0 && c <= 0xFFFD);
}

bool IsNameChar(wchar_t c)
{
    return IsNameStartChar(c) || c == L'-' || c == L'.' || IsDigit(c) || c == 0xB7
           || (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040;
}

}  // namespace

bool IsXmlElementName(const wchar_t* name)
{
    if (!name || !IsNameStartChar(name[0]))
        return false;
    for (const wchar_t* p = name + 1; *p; ++p) {
        if (!IsNameChar(*p))
            return false;
    }
    return true;
}

int CheckCustomColumnName(const wchar_t* name)
{
    if (!name || !*name)
        return IDS_EMPTY_COLUMN_NAME;
    if (wcslen(name) > (size_t)kMaxCustomColumnName || !IsXmlElementName(name))
        return IDS_BAD_COLUMN_NAME;
    return 0;
}

int CheckCustomMask(const wchar_t* mask, int fieldCount, std::wstring* part)
{
    std::wstring unused;
    if (!part)
        part = &unused;
    if (!mask || !*mask)
        return IDS_EMPTY_MASK;
    for (const wchar_t* p = mask; *p; ++p) {
        if (*p != L'#')
            continue;
        if (p[1] == L'#') {
            ++p;  // a '#' itself
            continue;
        }
        int digits = 0;
        long long number = 0;
        while (digits < kMaxReferenceDigits && IsDigit(p[1 + digits])) {
            // Past the count of fields nothing more can make the reference valid: stop growing
            // the number before it can wrap round.
            if (number <= fieldCount)
                number = number * 10 + (p[1 + digits] - L'0');
            ++digits;
        }
        if (digits == 0) {
            *part = std::to_wstring(p - mask + 1);  // where the '#' stands
            return IDS_MASK_NO_NUMBER;
        }
        if (number < 1 || number > fieldCount) {
            part->assign(p, (size_t)digits + 1);
            return fieldCount > 0 ? IDS_MASK_BEYOND_FIELDS : IDS_MASK_NO_FIELDS;
        }
        p += digits;
    }
    return 0;
}

bool SameColumnName(const wchar_t* a, const wchar_t* b)
{
    if (!a || !b)
        return false;
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

void OrderForDrop(std::vector<int>& orders, const std::vector<bool>& selected, int dropIndex)
{
    int count = (int)orders.size();
    if (dropIndex < 0 || dropIndex > count || count == 0 || (int)selected.size() != count)
        return;
    int next = dropIndex == count ? orders[count - 1] + 1 : orders[dropIndex];
    for (int i = 0; i < count; i++) {
        if (selected[i])
            orders[i] = next++;
    }
    for (int i = dropIndex; i < count; i++) {
        if (!selected[i])
            orders[i] = next++;
    }
}
