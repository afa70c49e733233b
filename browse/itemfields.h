// Reading the numbers typed into the tree item dialog. Each reader takes the whole text or
// nothing: "19x8" is no year and "12 m" no altitude, so the dialog can refuse them instead of
// storing the part that happens to read.
#pragma once
#include <windows.h>

// Results of the readers.
enum ItemFieldRead
{
    ITEMFIELD_INVALID = -1,
    ITEMFIELD_EMPTY = 0,
    ITEMFIELD_READ = 1,
};

// A whole number, with an optional sign and blanks around it.
int ReadWholeNumberText(const wchar_t* text, int* out);

// A real typed the user's way: blanks, no-break spaces and the thousands separator are left
// out, the decimal separator stands for the point ('.' is taken as well).
int ReadRealText(const wchar_t* text, wchar_t thousands, wchar_t decimal, double* out);

// Which part of a coordinate a reader refused.
enum DmsPart
{
    DMS_DEGREES = 0,
    DMS_MINUTES = 1,
    DMS_SECONDS = 2,
};

// Decimal degrees from the texts of the degree, minute and second edits. Empty degrees give
// ITEMFIELD_EMPTY whatever the others hold. Minutes are whole numbers below 60, seconds reals
// up to 60 (either may be empty); the sign is that of the degrees, "-0" included; the value
// may not lie beyond the limit (180 for a longitude, 90 for a latitude). On ITEMFIELD_INVALID
// *badPart names the edit at fault.
int ReadDmsTexts(const wchar_t* degrees, const wchar_t* minutes, const wchar_t* seconds,
                 double limit, wchar_t thousands, wchar_t decimal, double* out, int* badPart);

// The user's thousands and decimal separators.
void GetUserNumberSeparators(wchar_t* thousands, wchar_t* decimal);
