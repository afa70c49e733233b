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

int DaysIn(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

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
    // OLE dates run from the year 100 to 9999.
    if (y < 100 || mo < 1 || mo > 12 || d < 1 || d > DaysIn(y, mo) || h > 23 || mi > 59 || s > 59)
        return DateText::Impossible;
    SYSTEMTIME st = {};
    st.wYear = (WORD)y;
    st.wMonth = (WORD)mo;
    st.wDay = (WORD)d;
    st.wHour = (WORD)h;
    st.wMinute = (WORD)mi;
    st.wSecond = (WORD)s;
    return SystemTimeToVariantTime(&st, out) ? DateText::Date : DateText::Impossible;
}

}  // namespace zdata
