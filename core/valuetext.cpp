// Display text of one value (see valuetext.h).
#include "core/valuetext.h"

#include <math.h>

#include "core/textutil.h"

namespace {

void AppendString(HINSTANCE module, UINT id, std::wstring* out)
{
    const wchar_t* text = nullptr;
    int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length > 0 && text)
        out->append(text, (size_t)length);
}

// The user's short date, then the time of day when the value is not at midnight.
void AppendDate(DATE date, std::wstring* out)
{
    SYSTEMTIME st;
    if (!VariantTimeToSystemTime(date, &st))
        return;
    wchar_t buffer[128];
    if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 128) > 0)
        out->append(buffer);
    double whole;
    if (modf(date, &whole) != 0.0 &&
        GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, 128) > 0) {
        out->push_back(L' ');
        out->append(buffer);
    }
}

}  // namespace

void AppendValueText(HINSTANCE module, const VARIANT& value, std::wstring* out)
{
    switch (V_VT(&value)) {
    case VT_EMPTY:
    case VT_NULL:
        return;
    case VT_BOOL:
        AppendString(module, V_BOOL(&value) ? IDS_VALUE_TRUE : IDS_VALUE_FALSE, out);
        return;
    case VT_DATE:
        AppendDate(V_DATE(&value), out);
        return;
    case VT_BSTR:
        // Whole, whatever its length; a text may hold any character, NUL included.
        if (V_BSTR(&value))
            out->append(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
        return;
    default:
        break;
    }
    // Numbers: the user's format needs at most a few hundred characters (a real of 1e308).
    wchar_t buffer[400];
    if (VariantToText(&value, buffer, 400))
        out->append(buffer);
}
