#include "browse/itemfields.h"

#include <math.h>
#include <stdlib.h>

#include <string>

#include "core/valuecheck.h"

namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == 0x00A0 || c == 0x202F;
}

// The text without blanks (and without the thousands separator, when one is given).
std::wstring Cleaned(const wchar_t* text, wchar_t thousands)
{
    std::wstring s;
    for (; text && *text; ++text)
        if (!IsBlank(*text) && *text != thousands)
            s += *text;
    return s;
}

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

}  // namespace

int ReadWholeNumberText(const wchar_t* text, int* out)
{
    if (Cleaned(text, 0).empty())
        return ITEMFIELD_EMPTY;
    LONG value = 0;
    if (!ReadWholeNumber(text, false, &value))
        return ITEMFIELD_INVALID;
    *out = (int)value;
    return ITEMFIELD_READ;
}

int ReadRealText(const wchar_t* text, wchar_t thousands, wchar_t decimal, double* out)
{
    std::wstring s = Cleaned(text, thousands == decimal ? 0 : thousands);
    if (s.empty())
        return ITEMFIELD_EMPTY;
    // Sign, digits, at most one separator, digits; at least one digit.
    size_t i = (s[0] == L'-' || s[0] == L'+') ? 1 : 0;
    int digits = 0, points = 0;
    for (; i < s.size(); ++i) {
        if (IsDigit(s[i])) {
            ++digits;
        } else if ((s[i] == decimal || s[i] == L'.') && points == 0) {
            s[i] = L'.';
            ++points;
        } else {
            return ITEMFIELD_INVALID;
        }
    }
    if (digits == 0)
        return ITEMFIELD_INVALID;
    // The library's locale is never changed, so '.' is its decimal point.
    *out = wcstod(s.c_str(), nullptr);
    return ITEMFIELD_READ;
}

int ReadDmsTexts(const wchar_t* degrees, const wchar_t* minutes, const wchar_t* seconds,
                 double limit, wchar_t thousands, wchar_t decimal, double* out, int* badPart)
{
    int d = 0, m = 0;
    double s = 0;
    int read = ReadWholeNumberText(degrees, &d);
    if (read == ITEMFIELD_EMPTY)
        return ITEMFIELD_EMPTY;
    *badPart = DMS_DEGREES;
    if (read == ITEMFIELD_INVALID)
        return ITEMFIELD_INVALID;
    *badPart = DMS_MINUTES;
    read = ReadWholeNumberText(minutes, &m);
    if (read == ITEMFIELD_INVALID || m < 0 || m >= 60)
        return ITEMFIELD_INVALID;
    *badPart = DMS_SECONDS;
    read = ReadRealText(seconds, thousands, decimal, &s);
    // 60 itself: a value shown rounded up reads back as it was shown.
    if (read == ITEMFIELD_INVALID || s < 0 || s > 60)
        return ITEMFIELD_INVALID;
    double x = fabs((double)d) + m / 60.0 + s / 3600.0;
    *badPart = DMS_DEGREES;
    if (x > limit)
        return ITEMFIELD_INVALID;
    // "-0" keeps its sign: the value lies between -1 and 0.
    std::wstring cleaned = Cleaned(degrees, 0);
    *out = (d < 0 || (!cleaned.empty() && cleaned[0] == L'-')) ? -x : x;
    return ITEMFIELD_READ;
}

void GetUserNumberSeparators(wchar_t* thousands, wchar_t* decimal)
{
    wchar_t t[8] = L",", d[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, t, 8);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, d, 8);
    *thousands = t[0];
    *decimal = d[0] ? d[0] : L'.';
}
