// What a typed search value is and how it is read: the value kind of a column (whole number,
// real, date or text), strict readers of what the user typed in the search page (numbers in the
// user's separators, dates as d.m.yyyy), and the machine forms written into a condition or a
// report (locale-free, whatever the C runtime's locale). The WHERE builder and the description
// of a search for the report share them, so both read a typed value the same way.
#pragma once
#include <windows.h>

#include <string>

struct CustomAttrDef;

// Tables of the search page's fields (SearchFieldEntry::TableKind, ZM_FIND_NAME_ENTRY wParam).
enum SearchTableKind
{
    SEARCH_TABLE_OTHER = 0,
    SEARCH_TABLE_SPECIES = 1,
    SEARCH_TABLE_FEATURES = 2,
    SEARCH_TABLE_RECORDS = 3,   // ZORNACOLLS
};

// The table kind of a table name (compared without regard to case).
int SearchTableKindOf(const wchar_t* tableName);

enum SearchValueKind
{
    SEARCH_VALUE_NONE = 0,     // the column gives no condition
    SEARCH_VALUE_INTEGER = 1,  // attribute types 0 and 1, LOCID
    SEARCH_VALUE_REAL = 2,     // type 2, the coordinates and the altitude
    SEARCH_VALUE_DATE = 3,     // type 3: OLE dates
    SEARCH_VALUE_TEXT = 4,     // types 4 to 7, SQUARE and every other built-in column
};

// The kind of a column without an attribute definition: LONGITUDE, LATITUDE and ALTITUDE are
// reals, LOCID a whole number, anything else text.
int BuiltInValueKind(const wchar_t* column);
// The kind of an attribute definition's type.
int AttrValueKind(const CustomAttrDef* def);
// The kind of a field the search page offers itself: by its definition; without one, the
// FEATURES columns by their built-in kind and the columns of other tables none.
int FieldValueKind(int tableKind, const wchar_t* column, const CustomAttrDef* def);
// The kind of a column a composed field refers to: by its definition, else built in.
int ReferenceValueKind(const wchar_t* column, const CustomAttrDef* def);

// The user's decimal and thousands separators (Czech: ',' and U+00A0).
struct NumberSeparators
{
    wchar_t Decimal;
    wchar_t Thousands;
};
NumberSeparators UserNumberSeparators();

// Blanks, the thousands separator and surrounding white space are ignored, the decimal
// separator (or '.') is the point. Each reader accepts the whole text or nothing: "12x", "inf",
// "nan", hexadecimal and out-of-range values are unreadable.
bool ReadWholeNumber(const wchar_t* text, const NumberSeparators& seps, long* out);  // 32 bits
bool ReadRealNumber(const wchar_t* text, const NumberSeparators& seps, double* out);  // finite
// A date as an OLE date: "d.m.yyyy" with an optional "hh:mm" or "hh:mm:ss"; a text of another
// shape as a plain number of days, then as the user's locale writes dates. *hasTime tells
// whether a time of day was given (a plain number counts as one).
bool ReadDateValue(const wchar_t* text, const NumberSeparators& seps, double* out, bool* hasTime);

// A value of a kind as it goes into SQL: the integer, the shortest real that reads back as the
// same double, the OLE date number, or the quoted text. False when the text does not read.
bool SqlLiteral(int kind, const wchar_t* text, const NumberSeparators& seps, std::wstring* out);

// Locale-free machine forms.
std::wstring RealToSqlText(double value);   // shortest round trip: 49.51234, 2, 1e-07
std::string RealToFixedText(double value);  // as "%f" writes in the C locale: 2.500000
std::string DateToText(double oleDate);     // d.m.yyyy, with " h:mm" or " h:mm:ss" when set
