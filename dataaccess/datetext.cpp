#include "dataaccess/datetext.h"

namespace zdata {

namespace {

// Up to maxDigits decimal digits at text[*at]; false when there is none.
bool ReadNumber(const wchar_t* text, size_t length, size_t* at, size_t maxDigits, int* out)
{
    size_t start = *at;
    int value = 0;
    while (*at < length && *at - start < maxDigits && text[*at] >= L'0' && text[*at] <= L'9')
        value = value * 10 + (text[(*at)++] - L'0');
    *out = value;
    return *at > start && (*at == length || text[*at] < L'0' || text[*at] > L'9');
}

bool Expect(const wchar_t* text, size_t length, size_t* at, wchar_t c)
{
    if (*at >= length || text[*at] != c)
        return false;
    ++*at;
    return true;
}

}  // namespace

bool DateOfParts(int y, int mo, int d, int h, int mi, int s, DATE* out)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    // OLE dates run from the year 100 to 9999.
    if (y < 100 || y > 9999 || mo < 1 || mo > 12 || d < 1 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return false;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > (mo == 2 && leap ? 29 : days[mo - 1]))
        return false;
    SYSTEMTIME st = {};
    st.wYear = (WORD)y;
    st.wMonth = (WORD)mo;
    st.wDay = (WORD)d;
    st.wHour = (WORD)h;
    st.wMinute = (WORD)mi;
    st.wSecond = (WORD)s;
    return SystemTimeToVariantTime(&st, out) != FALSE;
}

DateText ReadDateText(const wchar_t* text, size_t length, DATE* out)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    size_t at = 0;
    if (!text || !ReadNumber(text, length, &at, 4, &y) || !Expect(text, length, &at, L'-') ||
        !ReadNumber(text, length, &at, 2, &mo) || !Expect(text, length, &at, L'-') ||
        !ReadNumber(text, length, &at, 2, &d))
        return DateText::Other;
    if (at < length) {
        if (!Expect(text, length, &at, L' ') || !ReadNumber(text, length, &at, 2, &h) ||
            !Expect(text, length, &at, L':') || !ReadNumber(text, length, &at, 2, &mi))
            return DateText::Other;
        if (at < length && (!Expect(text, length, &at, L':') || !ReadNumber(text, length, &at, 2, &s)))
            return DateText::Other;
        if (at < length)
            return DateText::Other;
    }
    return DateOfParts(y, mo, d, h, mi, s, out) ? DateText::Date : DateText::Impossible;
}

}  // namespace zdata
