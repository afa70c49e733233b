// The text a single value shows to the user in reports: texts whole, numbers in the user's number
// format, dates as the user's short date (and time of day when the value has one), booleans as
// the module's strings 370 "Ano" and 371 "Ne", and nothing for NULL.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

// String-table entries of the module that name the two boolean values.
enum ValueTextStringId
{
    IDS_VALUE_TRUE = 370,
    IDS_VALUE_FALSE = 371,
};

// Appends the value's display text to out. module holds strings 370 and 371.
void AppendValueText(HINSTANCE module, const VARIANT& value, std::wstring* out);

inline std::wstring ValueText(HINSTANCE module, const VARIANT& value)
{
    std::wstring text;
    AppendValueText(module, value, &text);
    return text;
}
