#include "core/textutil.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <string>
#include <cstdlib>
#include <cwchar>

#include <strsafe.h>

namespace {

// Longest text that the number readers look at.
const int kMaxNumberText = 31;

// Binary reals stored for whole seconds may fall a little short of them; this much is still
// taken as the whole second when seconds are rounded down.
const double kSecondTolerance = 1e-3;

int TextLength(const wchar_t* text) { return text ? static_cast<int>(wcslen(text)) : 0; }

// Copies at most kMaxNumberText characters of [begin, begin + length) into buffer (32 slots).
void TakeNumberText(const wchar_t* begin, ptrdiff_t length, wchar_t* buffer)
{
    if (length < 0)
        length = 0;
    if (length > kMaxNumberText)
        length = kMaxNumberText;
    wmemcpy(buffer, begin, static_cast<size_t>(length));
    buffer[length] = L'\0';
}

// A whole number read as "%d" does: leading white space, optional sign, digits.
bool ReadWholeNumber(const wchar_t* text, int* value)
{
    return swscanf(text, L"%d", value) == 1;
}

// A value of one of the integer types, or false for any other type.
bool IntegerOf(const VARIANT* v, int* value)
{
    switch (V_VT(v))
    {
    case VT_I2: *value = V_I2(v); return true;
    case VT_BOOL: *value = static_cast<short>(V_BOOL(v)); return true;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT: *value = V_I4(v); return true;
    case VT_I1: *value = static_cast<signed char>(V_I1(v)); return true;
    case VT_UI1: *value = V_UI1(v); return true;
    case VT_UI2: *value = V_UI2(v); return true;
    default: return false;
    }
}

bool IsReal(const VARIANT* v) { return V_VT(v) == VT_R4 || V_VT(v) == VT_R8; }
double RealOf(const VARIANT* v) { return V_VT(v) == VT_R4 ? static_cast<double>(V_R4(v)) : V_R8(v); }

// The decimal point of the C library's current numeric locale. The programs never switch it,
// but a component that does must not change how numbers are written and read here.
wchar_t LibraryPoint()
{
    const char* point = localeconv()->decimal_point;
    return (point && point[0] && !point[1]) ? static_cast<wchar_t>(static_cast<unsigned char>(point[0])) : L'.';
}

// "%.4f" with '.' as decimal point: the plain form that GetNumberFormat expects as input.
void PlainRealText(double value, wchar_t* buffer, size_t size)
{
    StringCchPrintfW(buffer, size, L"%.4f", value);
    wchar_t point = LibraryPoint();
    if (point != L'.')
    {
        for (wchar_t* p = buffer; *p; ++p)
            if (*p == point)
                *p = L'.';
    }
}

void PlainRealTextA(double value, char* buffer, size_t size)
{
    snprintf(buffer, size, "%.4f", value);
    char point = static_cast<char>(LibraryPoint());
    if (point != '.')
    {
        for (char* p = buffer; *p; ++p)
            if (*p == point)
                *p = '.';
    }
}

} // namespace

// ---------------- strings ----------------

BSTR BstrFromWide(const wchar_t* text)
{
    return SysAllocStringLen(text ? text : L"", static_cast<UINT>(TextLength(text)));
}

wchar_t* WideDup(const wchar_t* text)
{
    if (!text)
        return nullptr;
    size_t length = wcslen(text);
    wchar_t* copy = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
    wmemcpy(copy, text, length + 1);
    return copy;
}

wchar_t* AllocWide(int n)
{
    if (n < 0)
        n = 0;
    wchar_t* text = static_cast<wchar_t*>(malloc((static_cast<size_t>(n) + 1) * sizeof(wchar_t)));
    text[0] = L'\0';
    return text;
}

void FreeWide(wchar_t** text)
{
    if (!text)
        return;
    free(*text);
    *text = nullptr;
}

int CopyWideBounded(const wchar_t* source, wchar_t* dest, int size)
{
    if (!dest || size <= 0)
        return 0;
    int length = TextLength(source);
    if (length >= size)
        length = size - 1;
    wmemcpy(dest, source ? source : L"", static_cast<size_t>(length));
    dest[length] = L'\0';
    return length;
}

int WideToAnsi(const wchar_t* text, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    int length = TextLength(text);
    if (length >= size)
        length = size - 1;
    int written = 0;
    // A double-byte code page may need more bytes than characters: drop characters until the
    // converted text fits, so the buffer is never overrun.
    while (length > 0)
    {
        written = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, text, length, buffer, size - 1, nullptr, nullptr);
        if (written > 0)
            break;
        --length;
    }
    buffer[written] = '\0';
    return written;
}

int AnsiToWide(const char* text, wchar_t* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    int length = text ? static_cast<int>(strlen(text)) : 0;
    if (length >= size)
        length = size - 1;
    int written = 0;
    while (length > 0)
    {
        written = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, length, buffer, size - 1);
        if (written > 0)
            break;
        --length;
    }
    buffer[written] = L'\0';
    return written;
}

bool SameTextNoCase(const wchar_t* a, const wchar_t* b)
{
    return CompareStringOrdinal(a ? a : L"", -1, b ? b : L"", -1, TRUE) == CSTR_EQUAL;
}

wchar_t* LoadStringAlloc(HINSTANCE module, UINT id)
{
    // Strings live in blocks of 16, each entry a 16-bit length and that many characters
    // without a terminator; reading the block directly puts no limit on the length.
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), MAKEINTRESOURCEW(6) /* RT_STRING */);
    if (!found)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded)
        return nullptr;
    const WORD* entry = static_cast<const WORD*>(LockResource(loaded));
    const WORD* end = entry + SizeofResource(module, found) / sizeof(WORD);
    if (!entry)
        return nullptr;
    for (UINT i = 0; i < id % 16; ++i)
    {
        if (entry >= end)
            return nullptr;
        entry += 1 + *entry;
    }
    if (entry >= end || *entry == 0)
        return nullptr;
    int length = *entry;
    if (entry + 1 + length > end)
        return nullptr;
    wchar_t* text = AllocWide(length);
    wmemcpy(text, reinterpret_cast<const wchar_t*>(entry + 1), static_cast<size_t>(length));
    text[length] = L'\0';
    return text;
}

// ---------------- VARIANT values ----------------

void InitVariant(VARIANT* v, VARTYPE type, LONG value)
{
    V_VT(v) = type;
    V_I4(v) = value;
}

int VariantToInt(const VARIANT* v)
{
    int value;
    return IntegerOf(v, &value) ? value : -1;
}

int VariantToIntOrZero(const VARIANT* v)
{
    int value;
    return IntegerOf(v, &value) ? value : 0;
}

double VariantToReal(const VARIANT* v)
{
    switch (V_VT(v))
    {
    case VT_UI4:
    case VT_UINT: return static_cast<double>(V_UI4(v));
    case VT_R4:
    case VT_R8: return RealOf(v);
    default: break;
    }
    int value;
    return IntegerOf(v, &value) ? static_cast<double>(value) : 0.0;
}

void VariantToNumber(const VARIANT* v, VARIANT* out)
{
    double value;
    switch (V_VT(v))
    {
    case VT_I2: value = V_I2(v); break;
    case VT_BOOL: value = static_cast<short>(V_BOOL(v)); break;
    case VT_I4: value = V_I4(v); break;
    case VT_R4: value = V_R4(v); break;
    case VT_R8: value = V_R8(v); break;
    case VT_UI1: value = V_UI1(v); break;
    default:
        V_VT(out) = VT_NULL;
        return;
    }
    V_VT(out) = VT_R8;
    V_R8(out) = value;
}

int VariantTextLength(const VARIANT* v)
{
    switch (V_VT(v))
    {
    case VT_EMPTY:
    case VT_NULL: return 0;
    case VT_BSTR: return static_cast<int>(SysStringLen(V_BSTR(v)));
    default: return 32;
    }
}

int DateToText(DATE date, wchar_t* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = L'\0';
    SYSTEMTIME st;
    if (!VariantTimeToSystemTime(date, &st))
        return 0;
    wchar_t day[80] = L"";
    wchar_t time[80] = L"";
    if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, day, ARRAYSIZE(day)) <= 0)
        return 0;
    if ((st.wHour || st.wMinute || st.wSecond)
        && GetTimeFormatW(LOCALE_USER_DEFAULT, st.wSecond ? 0 : TIME_NOSECONDS, &st, nullptr, time,
                          ARRAYSIZE(time)) <= 0)
        return 0;
    if (FAILED(StringCchPrintfW(buffer, static_cast<size_t>(size), time[0] ? L"%s %s" : L"%s", day, time)))
    {
        buffer[0] = L'\0';
        return 0;
    }
    return 1;
}

int VariantToText(const VARIANT* v, wchar_t* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    int value;
    if (IntegerOf(v, &value))
    {
        if (SUCCEEDED(StringCchPrintfW(buffer, static_cast<size_t>(size), L"%d", value)))
            return 1;
        buffer[0] = L'\0';
        return 0;
    }
    if (IsReal(v))
    {
        wchar_t plain[400];
        PlainRealText(RealOf(v), plain, ARRAYSIZE(plain));
        if (GetNumberFormatW(LOCALE_USER_DEFAULT, 0, plain, nullptr, buffer, size) > 0)
            return 1;
        buffer[0] = L'\0';
        return 0;
    }
    if (V_VT(v) == VT_BSTR)
    {
        int length = static_cast<int>(SysStringLen(V_BSTR(v)));
        if (length >= size)
            return 0;
        if (length)
            wmemcpy(buffer, V_BSTR(v), static_cast<size_t>(length));
        buffer[length] = L'\0';
        return 1;
    }
    if (V_VT(v) == VT_DATE)
        return DateToText(V_DATE(v), buffer, size);
    buffer[0] = L'\0';
    return 0;
}

int VariantToAnsiText(const VARIANT* v, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    int n = -1;
    switch (V_VT(v))
    {
    case VT_UI2: n = snprintf(buffer, static_cast<size_t>(size), "%u", static_cast<unsigned>(V_UI2(v))); break;
    case VT_UI4:
    case VT_UINT: n = snprintf(buffer, static_cast<size_t>(size), "%u", static_cast<unsigned>(V_UI4(v))); break;
    default: {
        int value;
        if (IntegerOf(v, &value))
            n = snprintf(buffer, static_cast<size_t>(size), "%d", value);
        break;
    }
    }
    if (n >= 0)
    {
        if (n < size)
            return 1;
        buffer[0] = '\0';
        return 0;
    }
    if (IsReal(v))
    {
        char plain[400];
        PlainRealTextA(RealOf(v), plain, sizeof(plain));
        if (GetNumberFormatA(LOCALE_USER_DEFAULT, 0, plain, nullptr, buffer, size) > 0)
            return 1;
        buffer[0] = '\0';
        return 0;
    }
    if (V_VT(v) == VT_BSTR)
    {
        int length = static_cast<int>(SysStringLen(V_BSTR(v)));
        int written = 0;
        if (length > 0 && size > 1)
            written = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, V_BSTR(v), length, buffer, size - 1, nullptr, nullptr);
        buffer[written] = '\0';  // a text that does not fit gives 0 and an empty buffer
        return written;
    }
    buffer[0] = '\0';
    return 0;
}

int VariantToDms(const VARIANT* v, int* degrees, int* minutes, int* seconds)
{
    if (!IsReal(v))
        return 0;
    // Whole seconds are counted on the total so that a value typed as 14° 15' 9'' and stored
    // as 14.2525 (a hair below in binary) shows 9 seconds, not 8, and never 60.
    double value = RealOf(v);
    double a = std::fabs(value);
    double whole = std::floor(a);
    a = std::fmod(whole, 360.0) + (a - whole);
    long long total = static_cast<long long>(std::floor(a * 3600.0 + kSecondTolerance));
    *degrees = static_cast<int>(total / 3600);
    *minutes = static_cast<int>(total / 60 % 60);
    *seconds = static_cast<int>(total % 60);
    if (value < 0)
        *degrees = -*degrees;
    return 1;
}

// ---------------- degrees, minutes, seconds ----------------

void DegreesToDms(double value, int* degrees, int* minutes, double* seconds)
{
    double a = std::fabs(value);
    double whole = std::floor(a);
    double minuteReal = (a - whole) * 60.0;
    double minuteWhole = std::floor(minuteReal);
    *seconds = (minuteReal - minuteWhole) * 60.0;
    *minutes = static_cast<int>(minuteWhole);
    *degrees = static_cast<int>(std::fmod(whole, 360.0));
    if (value < 0)
        *degrees = -*degrees;
}

// ---------------- reals and coordinates from text ----------------

int ReadCReal(const wchar_t* text, float* out)
{
    if (!text)
        return 0;
    std::wstring plain(text);
    wchar_t point = LibraryPoint();
    if (point != L'.')
    {
        // Swap the roles: the locale's point must end the number as any other character does.
        for (wchar_t& c : plain)
        {
            if (c == point)
                c = L'\x01';
            else if (c == L'.')
                c = point;
        }
    }
    return swscanf(plain.c_str(), L"%f", out) == 1 ? 1 : 0;
}

int WholeNumberToText(double value, wchar_t* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = L'\0';
    if (!std::isfinite(value) || std::fabs(value) >= 1e18)
        return 0;
    wchar_t plain[32];
    StringCchPrintfW(plain, 32, L"%lld", std::llround(value));
    // The user's separators and grouping, with no decimal places.
    wchar_t decimal[8] = L",", thousands[8] = L" ", grouping[16] = L"3;0";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, thousands, 8);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, grouping, 16);
    DWORD negative = 1;
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_INEGNUMBER | LOCALE_RETURN_NUMBER,
                   reinterpret_cast<LPWSTR>(&negative), sizeof(negative) / sizeof(wchar_t));
    NUMBERFMTW format = {};
    format.NumDigits = 0;
    format.LeadingZero = 1;
    // "3;0" groups by threes, "3;2;0" as India does: the form GetNumberFormat takes is 3, 32.
    for (const wchar_t* g = grouping; *g; ++g)
        if (*g >= L'1' && *g <= L'9')
            format.Grouping = format.Grouping * 10 + (UINT)(*g - L'0');
    format.lpDecimalSep = decimal;
    format.lpThousandSep = thousands;
    format.NegativeOrder = negative;
    if (GetNumberFormatW(LOCALE_USER_DEFAULT, 0, plain, &format, buffer, size) > 0)
        return 1;
    buffer[0] = L'\0';
    return 0;
}

int ParseRealWithSeparators(const wchar_t* text, wchar_t thousandsSep, wchar_t decimalSep, double* out)
{
    if (!text)
        return 0;
    wchar_t cleaned[kMaxNumberText + 1];
    int n = 0;
    for (int i = 0; i < kMaxNumberText && text[i]; ++i)
    {
        wchar_t c = text[i];
        if (c == L' ' || c == thousandsSep)
            continue;
        cleaned[n++] = (c == decimalSep) ? L'.' : c;
    }
    cleaned[n] = L'\0';
    // Read at single precision, as the stored values of these fields are.
    float value;
    if (!ReadCReal(cleaned, &value))
        return 0;
    *out = static_cast<double>(value);
    return 1;
}

void ParseCoordinate(const wchar_t* text, VARIANT* out)
{
    V_VT(out) = VT_NULL;
    if (!text)
        return;

    const wchar_t* degreeSign = wcschr(text, L'\u00B0');
    if (!degreeSign)
    {
        double value;
        if (ParseRealWithSeparators(text, L' ', L',', &value))
        {
            V_VT(out) = VT_R8;
            V_R8(out) = value;
        }
        return;
    }

    const wchar_t* minuteMark = wcschr(text, L'\'');
    const wchar_t* secondMark = wcschr(text, L'"');
    if (!secondMark)
        secondMark = wcsstr(text, L"''");

    wchar_t part[kMaxNumberText + 1];
    TakeNumberText(text, degreeSign - text, part);
    int degrees;
    if (!ReadWholeNumber(part, &degrees))
        return;
    bool negative = degrees < 0;
    double result = std::fabs(static_cast<double>(degrees));

    const wchar_t* secondsStart = degreeSign + 1;
    if (minuteMark && minuteMark > degreeSign)
    {
        TakeNumberText(degreeSign + 1, minuteMark - (degreeSign + 1), part);
        int minutes;
        if (ReadWholeNumber(part, &minutes))
        {
            minutes = std::abs(minutes);
            if (minutes > 59)
                minutes = 59;
            result += minutes / 60.0;
        }
        secondsStart = minuteMark + 1;
    }

    if (secondMark)
    {
        if (*secondsStart == L'\'')
            ++secondsStart;
        if (secondMark > secondsStart)
        {
            TakeNumberText(secondsStart, secondMark - secondsStart, part);
            double seconds;
            if (ParseRealWithSeparators(part, L' ', L',', &seconds))
                result += seconds / 3600.0;
        }
    }

    V_VT(out) = VT_R8;
    V_R8(out) = negative ? -result : result;
}
