// String copies and conversions, VARIANT readers, display text in the user's number format,
// degrees-minutes-seconds arithmetic and the reading of reals and coordinates typed by a user
// or found in imported text. Strings handed out are malloc'd and freed by the caller with free
// (or FreeWide); BSTRs only appear where a COM call needs one.
#pragma once
#include <windows.h>
#include <oleauto.h>

// ---- strings ----

BSTR BstrFromWide(const wchar_t* text);
wchar_t* WideDup(const wchar_t* text);  // null for a null text
inline wchar_t* DupWideString(const wchar_t* text) { return WideDup(text); }
wchar_t* AllocWide(int n);              // n characters and a terminator
void FreeWide(wchar_t** text);          // frees *text and sets it to null

// Copies at most size - 1 characters, always terminated; returns the characters copied.
int CopyWideBounded(const wchar_t* source, wchar_t* dest, int size);
inline int BoundedWideCopy(const wchar_t* source, wchar_t* dest, int size)
{
    return CopyWideBounded(source, dest, size);
}

// ANSI code page conversions with the same truncation rule as CopyWideBounded.
int WideToAnsi(const wchar_t* text, char* buffer, int size);
int AnsiToWide(const char* text, wchar_t* buffer, int size);

// Equality without regard to case, with Czech and every other letter folded (the C runtime's
// _wcsicmp leaves Č and č apart); a null text equals only a null or empty one.
bool SameTextNoCase(const wchar_t* a, const wchar_t* b);

// A string-table entry of any length as a new heap string; null when it is empty or missing.
wchar_t* LoadStringAlloc(HINSTANCE module, UINT id);

// ---- VARIANT values ----
// Outputs are overwritten without being cleared first: pass a VARIANT that owns nothing.

// Sets only the type and the 32-bit value, e.g. VT_ERROR / DISP_E_PARAMNOTFOUND for an
// omitted optional argument.
void InitVariant(VARIANT* v, VARTYPE type, LONG value);

int VariantToInt(const VARIANT* v);  // -1 for types that hold no integer
inline int VariantToLong(const VARIANT* v) { return VariantToInt(v); }
int VariantToIntOrZero(const VARIANT* v);
double VariantToReal(const VARIANT* v);
void VariantToNumber(const VARIANT* v, VARIANT* out);  // VT_R8 or VT_NULL
int VariantTextLength(const VARIANT* v);

// A date as the user's short date, followed by the time of day when there is one (seconds
// only when they are not 0); 1 when written, 0 when not (the buffer is then empty).
int DateToText(DATE date, wchar_t* buffer, int size);

// Display text; 1 when written, 0 when not (the buffer is then empty, except for a BSTR that
// does not fit, which leaves the buffer untouched). Dates as DateToText writes them.
int VariantToText(const VARIANT* v, wchar_t* buffer, int size);
inline int GetVariantText(const VARIANT* v, wchar_t* buffer, int size)
{
    return VariantToText(v, buffer, size);
}
// 8-bit display text in the ANSI code page; for a BSTR the result is the byte count written.
int VariantToAnsiText(const VARIANT* v, char* buffer, int size);
// A whole number in the user's format: rounded, grouped by thousands, without decimals (a map
// scale "6 662 600", an altitude "469"); 1 when written, 0 (an empty buffer) when not.
int WholeNumberToText(double value, wchar_t* buffer, int size);

// R4 and R8 only: whole degrees, minutes and seconds (rounded down); 0 for other types.
int VariantToDms(const VARIANT* v, int* degrees, int* minutes, int* seconds);

// ---- degrees, minutes, seconds ----

// Degrees of 360 or more are taken modulo 360; the sign travels with the degrees.
void DegreesToDms(double value, int* degrees, int* minutes, double* seconds);

// ---- reals and coordinates from text ----

// A real read from the start of the text as "%f" does in the C locale ('.' as decimal point,
// leading white space skipped, the rest ignored), at single precision; 1 when read.
int ReadCReal(const wchar_t* text, float* out);

// Reads a real after removing blanks and the thousands separator and mapping the decimal
// separator; 1 and *out set, or 0 with *out untouched.
int ParseRealWithSeparators(const wchar_t* text, wchar_t thousandsSep, wchar_t decimalSep, double* out);
inline int TextToRealWithSeparators(const wchar_t* text, wchar_t thousandsSep, wchar_t decimalSep, double* out)
{
    return ParseRealWithSeparators(text, thousandsSep, decimalSep, out);
}

// "49,5", "49° 30' 15''" or "49°30'15\"" as decimal degrees in a VT_R8; VT_NULL when it does not read.
void ParseCoordinate(const wchar_t* text, VARIANT* out);
