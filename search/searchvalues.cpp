#include "search/searchvalues.h"

#include <oleauto.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <cwchar>
#include <cstdio>
#include <cwctype>

#include "core/attrdef.h"
#include "dataaccess/filterexpr.h"

namespace {

// OLE dates run from 1 Jan 100 to 31 Dec 9999.
const double kFirstOleDate = -657434.0;
const double kLastOleDate = 2958465.0;
const long kOleEpochFromUnix = 25569;  // 30 Dec 1899 is day -25569 of 1 Jan 1970

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\u00A0' || c == L'\t' || c == L'\r' || c == L'\n';
}

// The text without blanks and thousands separators, with the decimal separator as '.'; only
// plain ASCII is kept in the result (anything else makes the number unreadable).
bool CleanNumber(const wchar_t* text, const NumberSeparators& seps, std::string* out)
{
    out->clear();
    if (!text)
        return false;
    for (const wchar_t* p = text; *p; ++p) {
        wchar_t c = *p;
        if (IsBlank(c) || (seps.Thousands && c == seps.Thousands))
            continue;
        if (seps.Decimal && c == seps.Decimal)
            c = L'.';
        if (c > 0x7E)
            return false;
        out->push_back(static_cast<char>(c));
    }
    return !out->empty();
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// [+-] digits [. digits] | [+-] . digits, then an optional exponent; the whole text.
bool IsDecimalNumber(const std::string& s)
{
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < s.size() && IsDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        size_t exponent = 0;
        while (i < s.size() && IsDigit(s[i]))
            ++i, ++exponent;
        if (exponent == 0)
            return false;
    }
    return i == s.size();
}

// Days from 1 Jan 1970 of a civil date (proleptic Gregorian).
long DaysFromCivil(long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, long* y, unsigned* m, unsigned* d)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<long>(yoe) + era * 400 + (*m <= 2);
}

unsigned DaysInMonth(long y, unsigned m)
{
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

// Reads 1..maxDigits digits at *p.
bool ReadDigits(const wchar_t*& p, int maxDigits, int minDigits, long* out)
{
    long value = 0;
    int n = 0;
    while (n < maxDigits && *p >= L'0' && *p <= L'9') {
        value = value * 10 + (*p - L'0');
        ++p;
        ++n;
    }
    if (n < minDigits || (*p >= L'0' && *p <= L'9'))
        return false;
    *out = value;
    return true;
}

void SkipBlanks(const wchar_t*& p)
{
    while (*p && IsBlank(*p))
        ++p;
}

// 0 the text is not of the form d.m.yyyy[ hh:mm[:ss]], 1 read, -1 of that form but no date
// (31.2.2010).
int ReadDottedDate(const wchar_t* text, double* out, bool* hasTime)
{
    const wchar_t* p = text;
    SkipBlanks(p);
    long day = 0, month = 0, year = 0;
    if (!ReadDigits(p, 2, 1, &day) || *p != L'.')
        return 0;
    ++p;
    SkipBlanks(p);
    if (!ReadDigits(p, 2, 1, &month) || *p != L'.')
        return 0;
    ++p;
    SkipBlanks(p);
    if (!ReadDigits(p, 4, 4, &year))
        return 0;
    long hour = 0, minute = 0, second = 0;
    bool time = false;
    SkipBlanks(p);
    if (*p) {
        if (!ReadDigits(p, 2, 1, &hour) || *p != L':')
            return -1;
        ++p;
        if (!ReadDigits(p, 2, 2, &minute))
            return -1;
        if (*p == L':') {
            ++p;
            if (!ReadDigits(p, 2, 2, &second))
                return -1;
        }
        SkipBlanks(p);
        if (*p)
            return -1;
        time = true;
    }
    if (year < 100 || month < 1 || month > 12 || day < 1
        || day > static_cast<long>(DaysInMonth(year, static_cast<unsigned>(month))) || hour > 23
        || minute > 59 || second > 59)
        return -1;
    double days = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month),
                                                    static_cast<unsigned>(day))
                                      + kOleEpochFromUnix);
    double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    // OLE dates before 1900 count the time of day away from zero.
    *out = days >= 0 ? days + fraction : days - fraction;
    *hasTime = time;
    return 1;
}

std::wstring Widen(const char* text, size_t length)
{
    return std::wstring(text, text + length);
}

}  // namespace

int SearchTableKindOf(const wchar_t* tableName)
{
    if (!tableName)
        return SEARCH_TABLE_OTHER;
    if (_wcsicmp(tableName, L"SPECIES") == 0)
        return SEARCH_TABLE_SPECIES;
    if (_wcsicmp(tableName, L"FEATURES") == 0)
        return SEARCH_TABLE_FEATURES;
    if (_wcsicmp(tableName, L"ZORNACOLLS") == 0)
        return SEARCH_TABLE_RECORDS;
    return SEARCH_TABLE_OTHER;
}

int BuiltInValueKind(const wchar_t* column)
{
    if (!column)
        return SEARCH_VALUE_TEXT;
    if (_wcsicmp(column, L"LONGITUDE") == 0 || _wcsicmp(column, L"LATITUDE") == 0
        || _wcsicmp(column, L"ALTITUDE") == 0)
        return SEARCH_VALUE_REAL;
    if (_wcsicmp(column, L"LOCID") == 0)
        return SEARCH_VALUE_INTEGER;
    return SEARCH_VALUE_TEXT;
}

int AttrValueKind(const CustomAttrDef* def)
{
    if (!def)
        return SEARCH_VALUE_NONE;
    switch (def->Type) {
    case ATTR_BOOLEAN:
    case ATTR_INTEGER: return SEARCH_VALUE_INTEGER;
    case ATTR_REAL: return SEARCH_VALUE_REAL;
    case ATTR_DATE: return SEARCH_VALUE_DATE;
    case ATTR_TEXT:
    case ATTR_LOOKUP:
    case ATTR_LONG_TEXT:
    case ATTR_GEO_LOOKUP: return SEARCH_VALUE_TEXT;
    }
    return SEARCH_VALUE_NONE;
}

int FieldValueKind(int tableKind, const wchar_t* column, const CustomAttrDef* def)
{
    if (def)
        return AttrValueKind(def);
    return tableKind == SEARCH_TABLE_FEATURES ? BuiltInValueKind(column) : SEARCH_VALUE_NONE;
}

int ReferenceValueKind(const wchar_t* column, const CustomAttrDef* def)
{
    return def ? AttrValueKind(def) : BuiltInValueKind(column);
}

NumberSeparators UserNumberSeparators()
{
    NumberSeparators seps = {L'.', L','};
    wchar_t text[8];
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, 8) > 1)
        seps.Decimal = text[0];
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, text, 8) > 1)
        seps.Thousands = text[0];
    return seps;
}

bool ReadWholeNumber(const wchar_t* text, const NumberSeparators& seps, long* out)
{
    std::string s;
    if (!CleanNumber(text, seps, &s))
        return false;
    size_t i = (s[0] == '+' || s[0] == '-') ? 1 : 0;
    if (i == s.size())
        return false;
    long long value = 0;
    for (size_t k = i; k < s.size(); ++k) {
        if (!IsDigit(s[k]))
            return false;
        value = value * 10 + (s[k] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (s[0] == '-')
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        return false;
    *out = static_cast<long>(value);
    return true;
}

bool ReadRealNumber(const wchar_t* text, const NumberSeparators& seps, double* out)
{
    std::string s;
    if (!CleanNumber(text, seps, &s) || !IsDecimalNumber(s))
        return false;
    const char* first = s.c_str();
    if (*first == '+')
        ++first;
    double value = 0;
    std::from_chars_result r = std::from_chars(first, s.c_str() + s.size(), value);
    if (r.ec != std::errc() || r.ptr != s.c_str() + s.size() || !std::isfinite(value))
        return false;
    *out = value;
    return true;
}

bool ReadDateValue(const wchar_t* text, const NumberSeparators& seps, double* out, bool* hasTime)
{
    if (!text)
        return false;
    double value = 0;
    bool time = false;
    int dotted = ReadDottedDate(text, &value, &time);
    if (dotted < 0)
        return false;
    if (dotted == 0) {
        if (ReadRealNumber(text, seps, &value)) {
            time = true;
        } else {
            BSTR bstr = SysAllocString(text);
            DATE date = 0;
            HRESULT hr = bstr ? VarDateFromStr(bstr, LOCALE_USER_DEFAULT, 0, &date) : E_OUTOFMEMORY;
            SysFreeString(bstr);
            if (FAILED(hr))
                return false;
            value = date;
            time = value != std::floor(value);
        }
    }
    if (!std::isfinite(value) || value < kFirstOleDate || value > kLastOleDate + 1)
        return false;
    *out = value;
    if (hasTime)
        *hasTime = time;
    return true;
}

bool SqlLiteral(int kind, const wchar_t* text, const NumberSeparators& seps, std::wstring* out)
{
    switch (kind) {
    case SEARCH_VALUE_INTEGER: {
        long n = 0;
        if (!ReadWholeNumber(text, seps, &n))
            return false;
        *out = std::to_wstring(n);
        return true;
    }
    case SEARCH_VALUE_REAL: {
        double x = 0;
        if (!ReadRealNumber(text, seps, &x))
            return false;
        *out = RealToSqlText(x);
        return true;
    }
    case SEARCH_VALUE_DATE: {
        double x = 0;
        if (!ReadDateValue(text, seps, &x, nullptr))
            return false;
        *out = RealToSqlText(x);
        return true;
    }
    case SEARCH_VALUE_TEXT:
        *out = zdata::QuoteText(text ? text : L"");
        return true;
    }
    return false;
}

std::wstring RealToSqlText(double value)
{
    char buffer[64];
    std::to_chars_result r = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return Widen(buffer, static_cast<size_t>(r.ptr - buffer));
}

std::string RealToFixedText(double value)
{
    char buffer[400];
    std::to_chars_result r = std::to_chars(buffer, buffer + sizeof(buffer), value,
                                           std::chars_format::fixed, 6);
    if (r.ec != std::errc())
        return std::string();
    return std::string(buffer, r.ptr);
}

std::string DateToText(double oleDate)
{
    if (!std::isfinite(oleDate) || oleDate < kFirstOleDate || oleDate > kLastOleDate + 1)
        return RealToFixedText(oleDate);
    double whole = std::trunc(oleDate);
    double fraction = std::fabs(oleDate - whole);
    long seconds = std::lround(fraction * 86400.0);
    if (seconds >= 86400) {
        seconds = 0;
        whole += oleDate >= 0 ? 1 : -1;
    }
    long y = 0;
    unsigned m = 0, d = 0;
    CivilFromDays(static_cast<long>(whole) - kOleEpochFromUnix, &y, &m, &d);
    char text[64];
    int n = snprintf(text, sizeof(text), "%u.%u.%ld", d, m, y);
    if (seconds > 0) {
        long h = seconds / 3600, mi = seconds / 60 % 60, s = seconds % 60;
        if (s)
            snprintf(text + n, sizeof(text) - n, " %ld:%02ld:%02ld", h, mi, s);
        else
            snprintf(text + n, sizeof(text) - n, " %ld:%02ld", h, mi);
    }
    return text;
}
