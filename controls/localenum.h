// Property values as the user sees and types them: VARIANT <-> text in the user's number format
// (LOCALE_USER_DEFAULT). Internal to Plexa.dll; the property grid formats values for display and
// for its editors with these and reads typed text back.
//
// Value types handled: VT_I2, VT_I4, VT_R4, VT_R8, VT_BSTR, VT_BOOL, VT_I1, VT_UI1, VT_UI2, VT_UI4,
// VT_INT, VT_UINT. Booleans are shown and read through the grid's yes and no texts.
//
// The wide functions are the ones the grid calls; the ...A functions take and give ANSI (CP_ACP)
// text and behave the same unless noted. The yes and no texts are wide in both, as the grid keeps
// them.
#pragma once
#include <windows.h>
#include <oleauto.h>

// Characters to reserve for a value's text (without the terminator): the string's length for
// VT_BSTR (text is the BSTR, may be null), 32 for every other type. The ANSI variant counts the
// string's length in CP_ACP characters.
int VariantTextCapacity(VARTYPE type, const wchar_t* text);
int VariantTextCapacityA(VARTYPE type, const wchar_t* text);

// Writes the text of value, read as the given type (for VT_BSTR the VARIANT must hold a BSTR,
// which may be null), into buffer (size in characters, terminator
// included):
// - integers as "%d" (VT_UI4 and VT_UINT of 2^31 and above show negative in the wide variant,
//   as "%u" in the ANSI variant);
// - VT_R4 and VT_R8 with four decimals passed through GetNumberFormat, so the text has the
//   user's decimal separator, grouping and number of decimals;
// - VT_BSTR unchanged;
// - VT_BOOL as yesText when nonzero, else noText.
// Result 1 when written. Result 0 when the type is not handled or the text does not fit: the
// buffer is then emptied, except that a wide string that does not fit leaves it untouched.
int VariantToLocaleText(VARTYPE type, const VARIANT* value, wchar_t* buffer, int size,
                        const wchar_t* yesText, const wchar_t* noText);
int VariantToLocaleTextA(VARTYPE type, const VARIANT* value, char* buffer, int size,
                         const wchar_t* yesText, const wchar_t* noText);

// Rewrites a number typed in the user's format as plain number text: an optional leading '-',
// digits and at most one '.'. The first decimal separator becomes '.', later ones are dropped; a
// minus sign anywhere (and, in the parenthesised negative format, '(' or ')') gives one leading
// '-'; grouping separators, spaces, letters and currency signs are dropped. out must hold at least
// the length of text plus one characters. Returns out.
wchar_t* NormalizeLocaleNumber(const wchar_t* text, wchar_t* out);
char* NormalizeLocaleNumberA(const char* text, char* out);

// Clears value and fills it from the typed text as the given type. Result 1 when a value was
// read, 0 otherwise:
// - an empty (or null) text gives VT_NULL and 0;
// - integer types: the normalised number; 0 with result 0 when there is none or it does not fit
//   the type;
// - VT_R4, VT_R8: the normalised number (VT_R8 in full double precision);
// - VT_BSTR: the text as typed;
// - VT_BOOL: 1 when the text equals yesText ignoring case, else 0 (always result 1);
// - any other type: the VARIANT stays VT_EMPTY and the result is 0.
// value must be initialised (VariantInit) before the first call.
int LocaleTextToVariant(const wchar_t* text, VARIANT* value, VARTYPE type, const wchar_t* yesText);
int LocaleTextToVariantA(const char* text, VARIANT* value, VARTYPE type, const wchar_t* yesText);

// The same with an explicit locale and negative-number mode (LOCALE_INEGNUMBER value, -1 for the
// locale's own), so that formats no test machine has can be exercised.
int VariantToLocaleTextEx(VARTYPE type, const VARIANT* value, wchar_t* buffer, int size,
                          const wchar_t* yesText, const wchar_t* noText, LCID locale);
wchar_t* NormalizeLocaleNumberEx(const wchar_t* text, wchar_t* out, LCID locale, int negativeMode);
int LocaleTextToVariantEx(const wchar_t* text, VARIANT* value, VARTYPE type, const wchar_t* yesText,
                          LCID locale, int negativeMode);
