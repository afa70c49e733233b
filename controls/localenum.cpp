// Number text in the user's format for the property grid's display and in-place editors.
#include "localenum.h"
#include <strsafe.h>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace {

// Big enough for "%.4f" of any double (309 integer digits, sign, point, four decimals).
const int kRealScratch = 400;

// The locale's negative-number mode (LOCALE_INEGNUMBER); 1 ("-1.1") when it cannot be read.
int NegativeModeOf(LCID locale)
{
    wchar_t text[8] = L"";
    if (!GetLocaleInfoW(locale, LOCALE_INEGNUMBER, text, 8))
        return 1;
    wchar_t* end = nullptr;
    long mode = wcstol(text, &end, 10);
    return end == text ? 1 : static_cast<int>(mode);
}

// Plain number text ('.' as decimal point) as the C runtime's conversions want it: the runtime's
// own decimal point differs from '.' only when something switched its locale.
void ToRuntimeDecimal(wchar_t* text)
{
    const char* point = localeconv()->decimal_point;
    if (!point || point[0] == '.' || point[0] == '\0' || point[1] != '\0')
        return;
    for (wchar_t* p = text; *p; ++p) {
        if (*p == L'.')
            *p = static_cast<unsigned char>(point[0]);
    }
}

// "%.4f" as plain number text with '.', the input form of GetNumberFormatW.
bool FormatPlainReal(double value, wchar_t* out, size_t size)
{
    if (FAILED(StringCchPrintfW(out, size, L"%.4f", value)))
        return false;
    for (wchar_t* p = out; *p; ++p) {
        if (*p != L'-' && (*p < L'0' || *p > L'9'))
            *p = L'.';  // the runtime's decimal point, whatever its locale
    }
    return true;
}

void Empty(wchar_t* buffer, int size)
{
    if (buffer && size > 0)
        buffer[0] = L'\0';
}

// Bounded copy: 1 when the whole text fits, else an empty buffer and 0.
int CopyAll(wchar_t* buffer, int size, const wchar_t* text)
{
    if (FAILED(StringCchCopyW(buffer, size, text ? text : L""))) {
        Empty(buffer, size);
        return 0;
    }
    return 1;
}

bool IsIntegerType(VARTYPE type)
{
    switch (type) {
    case VT_I2: case VT_I4: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

// Reads the normalised integer text and stores it into the value when it fits the type.
// Unsigned 32-bit types also take negative numbers, as the wide display shows the upper half
// of their range negative.
int ReadInteger(const wchar_t* plain, VARIANT* value, VARTYPE type)
{
    wchar_t* end = nullptr;
    errno = 0;
    long long number = _wcstoi64(plain, &end, 10);
    if (end == plain || errno == ERANGE)
        return 0;
    long long low = INT_MIN, high = INT_MAX;
    switch (type) {
    case VT_I1: low = SCHAR_MIN; high = SCHAR_MAX; break;
    case VT_UI1: low = 0; high = UCHAR_MAX; break;
    case VT_I2: low = SHRT_MIN; high = SHRT_MAX; break;
    case VT_UI2: low = 0; high = USHRT_MAX; break;
    case VT_UI4: case VT_UINT: low = INT_MIN; high = UINT_MAX; break;
    default: break;
    }
    if (number < low || number > high)
        return 0;
    switch (type) {
    case VT_I1: V_I1(value) = static_cast<CHAR>(number); break;
    case VT_UI1: V_UI1(value) = static_cast<BYTE>(number); break;
    case VT_I2: V_I2(value) = static_cast<SHORT>(number); break;
    case VT_UI2: V_UI2(value) = static_cast<USHORT>(number); break;
    case VT_I4: V_I4(value) = static_cast<LONG>(number); break;
    case VT_INT: V_INT(value) = static_cast<INT>(number); break;
    case VT_UI4: V_UI4(value) = static_cast<ULONG>(static_cast<unsigned long long>(number)); break;
    case VT_UINT: V_UINT(value) = static_cast<UINT>(static_cast<unsigned long long>(number)); break;
    default: return 0;
    }
    return 1;
}

wchar_t* AnsiToWide(const char* text)
{
    if (!text)
        return nullptr;
    int count = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, nullptr, 0);
    if (count <= 0)
        return nullptr;
    wchar_t* wide = static_cast<wchar_t*>(malloc(count * sizeof(wchar_t)));
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, wide, count);
    return wide;
}

// Wide text into an ANSI buffer: 1 when it all fits, else an empty buffer and 0.
int WideToAnsiBuffer(const wchar_t* text, char* buffer, int size, DWORD flags)
{
    if (!buffer || size <= 0)
        return 0;
    if (WideCharToMultiByte(CP_ACP, flags, text ? text : L"", -1, buffer, size, nullptr, nullptr) <= 0) {
        buffer[0] = '\0';
        return 0;
    }
    return 1;
}

}  // namespace

// ---- Capacity ------------------------------------------------------------------------------

int VariantTextCapacity(VARTYPE type, const wchar_t* text)
{
    if (type == VT_BSTR)
        return text ? static_cast<int>(wcslen(text)) : 0;
    return 32;
}

int VariantTextCapacityA(VARTYPE type, const wchar_t* text)
{
    if (type != VT_BSTR)
        return 32;
    if (!text || !*text)
        return 0;
    int bytes = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, text, -1, nullptr, 0, nullptr, nullptr);
    return bytes > 0 ? bytes - 1 : 0;
}

// ---- Formatting ----------------------------------------------------------------------------

int VariantToLocaleTextEx(VARTYPE type, const VARIANT* value, wchar_t* buffer, int size,
                          const wchar_t* yesText, const wchar_t* noText, LCID locale)
{
    if (!buffer || size <= 0)
        return 0;
    if (!value) {
        Empty(buffer, size);
        return 0;
    }
    int number;
    switch (type) {
    case VT_I2: number = V_I2(value); break;
    case VT_I1: number = static_cast<signed char>(V_I1(value)); break;
    case VT_UI1: number = V_UI1(value); break;
    case VT_UI2: number = V_UI2(value); break;
    case VT_I4: number = V_I4(value); break;
    case VT_INT: number = V_INT(value); break;
    case VT_UI4: number = static_cast<int>(V_UI4(value)); break;
    case VT_UINT: number = static_cast<int>(V_UINT(value)); break;

    case VT_R4:
    case VT_R8: {
        // Any double fits the scratch text; only the user's formatted text has to fit the
        // caller's buffer.
        double real = type == VT_R4 ? static_cast<double>(V_R4(value)) : V_R8(value);
        wchar_t plain[kRealScratch];
        if (!FormatPlainReal(real, plain, kRealScratch) ||
            GetNumberFormatW(locale, 0, plain, nullptr, buffer, size) <= 0) {
            Empty(buffer, size);
            return 0;
        }
        return 1;
    }

    case VT_BSTR: {
        BSTR text = V_BSTR(value);
        size_t length = text ? wcslen(text) : 0;
        if (length >= static_cast<size_t>(size))
            return 0;  // the caller's text stays as it was
        if (length)
            memcpy(buffer, text, length * sizeof(wchar_t));
        buffer[length] = L'\0';
        return 1;
    }

    case VT_BOOL:
        return CopyAll(buffer, size, (V_BOOL(value) & 0xFFFF) ? yesText : noText);

    default:
        Empty(buffer, size);
        return 0;
    }
    if (FAILED(StringCchPrintfW(buffer, size, L"%d", number))) {
        Empty(buffer, size);
        return 0;
    }
    return 1;
}

int VariantToLocaleText(VARTYPE type, const VARIANT* value, wchar_t* buffer, int size,
                        const wchar_t* yesText, const wchar_t* noText)
{
    return VariantToLocaleTextEx(type, value, buffer, size, yesText, noText, LOCALE_USER_DEFAULT);
}

int VariantToLocaleTextA(VARTYPE type, const VARIANT* value, char* buffer, int size,
                         const wchar_t* yesText, const wchar_t* noText)
{
    if (!buffer || size <= 0)
        return 0;
    if (value && (type == VT_UI4 || type == VT_UINT)) {
        unsigned number = type == VT_UI4 ? V_UI4(value) : V_UINT(value);
        if (FAILED(StringCchPrintfA(buffer, size, "%u", number))) {
            buffer[0] = '\0';
            return 0;
        }
        return 1;
    }
    if (value && type == VT_BSTR)
        return WideToAnsiBuffer(V_BSTR(value), buffer, size, WC_COMPOSITECHECK);
    // Numbers and booleans: the wide text, converted. Number text is short; the yes and no
    // texts get room of their own.
    size_t room = kRealScratch;
    const wchar_t* label = nullptr;
    if (value && type == VT_BOOL) {
        label = (V_BOOL(value) & 0xFFFF) ? yesText : noText;
        room = (label ? wcslen(label) : 0) + 1;
    }
    wchar_t* wide = static_cast<wchar_t*>(malloc(room * sizeof(wchar_t)));
    int result = VariantToLocaleTextEx(type, value, wide, static_cast<int>(room), yesText, noText,
                                       LOCALE_USER_DEFAULT);
    if (result)
        result = WideToAnsiBuffer(wide, buffer, size, 0);
    else
        buffer[0] = '\0';
    free(wide);
    return result;
}

// ---- Normalising ---------------------------------------------------------------------------

wchar_t* NormalizeLocaleNumberEx(const wchar_t* text, wchar_t* out, LCID locale, int negativeMode)
{
    if (!out)
        return out;
    if (negativeMode < 0)
        negativeMode = NegativeModeOf(locale);
    wchar_t decimal[17] = L"";
    if (!GetLocaleInfoW(locale, LOCALE_SDECIMAL, decimal, 17))
        decimal[0] = L'\0';
    size_t decimalLength = wcslen(decimal);

    size_t count = 0;
    bool point = false, minus = false;
    const wchar_t* p = text ? text : L"";
    while (*p) {
        if (decimalLength && wcsncmp(p, decimal, decimalLength) == 0) {
            if (!point) {
                out[count++] = L'.';
                point = true;
            }
            p += decimalLength;
            continue;
        }
        wchar_t c = *p++;
        // Mode 0 writes negatives in parentheses, so either parenthesis means minus too.
        bool isMinus = c == L'-' || (negativeMode == 0 && (c == L'(' || c == L')'));
        if (isMinus) {
            if (!minus) {
                memmove(out + 1, out, count * sizeof(wchar_t));
                out[0] = L'-';
                ++count;
                minus = true;
            }
        } else if (iswalnum(c) && !iswalpha(c)) {
            out[count++] = c;
        }
    }
    out[count] = L'\0';
    return out;
}

wchar_t* NormalizeLocaleNumber(const wchar_t* text, wchar_t* out)
{
    return NormalizeLocaleNumberEx(text, out, LOCALE_USER_DEFAULT, -1);
}

char* NormalizeLocaleNumberA(const char* text, char* out)
{
    if (!out)
        return out;
    out[0] = '\0';
    wchar_t* wide = AnsiToWide(text ? text : "");
    if (!wide)
        return out;
    wchar_t* plain = static_cast<wchar_t*>(malloc((wcslen(wide) + 1) * sizeof(wchar_t)));
    NormalizeLocaleNumber(wide, plain);
    // The plain text is never longer than the typed one, in characters or in bytes.
    WideToAnsiBuffer(plain, out, static_cast<int>(strlen(text ? text : "") + 1), 0);
    free(plain);
    free(wide);
    return out;
}

// ---- Reading -------------------------------------------------------------------------------

int LocaleTextToVariantEx(const wchar_t* text, VARIANT* value, VARTYPE type, const wchar_t* yesText,
                          LCID locale, int negativeMode)
{
    if (!value)
        return 0;
    VariantClear(value);
    V_I8(value) = 0;  // the whole 8-byte value, whatever width the type reads
    if (!text || !*text) {
        V_VT(value) = VT_NULL;
        return 0;
    }

    if (type == VT_BSTR) {
        // The text as typed, not the normalised number.
        V_VT(value) = VT_BSTR;
        V_BSTR(value) = SysAllocStringLen(text, static_cast<UINT>(wcslen(text)));
        return 1;
    }
    if (type == VT_BOOL) {
        V_VT(value) = VT_BOOL;
        V_BOOL(value) = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text, -1,
                                       yesText ? yesText : L"", -1) == CSTR_EQUAL ? 1 : 0;
        return 1;
    }
    if (!IsIntegerType(type) && type != VT_R4 && type != VT_R8)
        return 0;  // nothing this text could be read as; stays VT_EMPTY

    wchar_t* plain = static_cast<wchar_t*>(malloc((wcslen(text) + 1) * sizeof(wchar_t)));
    NormalizeLocaleNumberEx(text, plain, locale, negativeMode);
    V_VT(value) = type;
    int result = 0;
    if (IsIntegerType(type)) {
        result = ReadInteger(plain, value, type);
    } else {
        ToRuntimeDecimal(plain);
        wchar_t* end = nullptr;
        if (type == VT_R4) {
            errno = 0;
            float real = wcstof(plain, &end);
            if (end != plain && !(errno == ERANGE && std::isinf(real))) {
                V_R4(value) = real;
                result = 1;
            }
        } else {
            // Full double precision: coordinates and areas need more than a float's 7 digits.
            errno = 0;
            double real = wcstod(plain, &end);
            if (end != plain && !(errno == ERANGE && std::isinf(real))) {
                V_R8(value) = real;
                result = 1;
            }
        }
    }
    free(plain);
    return result;
}

int LocaleTextToVariant(const wchar_t* text, VARIANT* value, VARTYPE type, const wchar_t* yesText)
{
    return LocaleTextToVariantEx(text, value, type, yesText, LOCALE_USER_DEFAULT, -1);
}

int LocaleTextToVariantA(const char* text, VARIANT* value, VARTYPE type, const wchar_t* yesText)
{
    if (!text || !*text)
        return LocaleTextToVariant(nullptr, value, type, yesText);
    wchar_t* wide = AnsiToWide(text);
    int result = LocaleTextToVariant(wide ? wide : L"", value, type, yesText);
    free(wide);
    return result;
}
