// The check of one value typed or imported for a field, by the field's kind, text size and the
// years it may hold. What cannot be is refused with the rule named; what is only very unlikely
// is for the user to confirm; anything else fits. The record dialog, the item dialogs, the
// publication grid and the imports all ask here, so that a value is judged the same way
// wherever it comes in.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

struct CustomAttrDef;

// The years a field's value may plausibly hold.
enum FieldYears
{
    YEARS_ANY = 0,
    YEARS_TAXON = 1,        // a year of description: from 1758, the start of zoological nomenclature, to this year
    YEARS_PUBLICATION = 2,  // a year of publication: up to next year
    YEARS_SEEN = 3,         // a date of something seen (a finding): from 1758 to today
};

enum ValueVerdict
{
    VALUE_FITS = 0,
    VALUE_UNLIKELY = 1,  // to be confirmed by the user
    VALUE_REFUSED = 2,
};

struct FieldRule
{
    int Type;   // AttrType
    int Size;   // characters a text may have; 0 or less: any number
    int Years;  // FieldYears
};

struct ValueCheck
{
    int Verdict;        // ValueVerdict
    std::wstring Rule;  // the rule broken, in Czech, without the field's name; empty when it fits
};

// The rule of an attribute: its kind and size, a date as one of something seen.
FieldRule RuleOfAttr(const CustomAttrDef* def);

// Checks the value against the rule. A date typed as text that names a day becomes that date
// (VT_DATE) and a whole number typed as text that number (VT_I4), so that nothing after the
// check reads the text another way. today is the current day as an OLE date.
ValueCheck CheckFieldValue(const FieldRule& rule, VARIANT* value, DATE today);

// The current day (local time) as a whole OLE date.
DATE TodayDate();

enum TypedDate
{
    TYPEDDATE_DATE = 0,  // *out holds the date
    TYPEDDATE_NONE = 1,  // written as a date, but there is no such day (month 13, 31. 2., day 0)
    TYPEDDATE_OTHER = 2, // not a date
};

// A date as the user writes it: day, month and year in the order of the user's short date
// (15.3.2010, 15. 3. 2010; a year of two digits counts from 1930), or year-month-day
// (2010-03-15), either with a time after it; a text with a month's name goes to the system's
// reading. The numbers written are never moved to another place: 2020-13-01 is no 13 January.
int ReadTypedDate(const wchar_t* text, DATE* out);

// A whole number written as text: an optional sign, digits, blanks (no-break ones too) between
// digit groups. With unitAllowed a unit may follow the number ("42 ks"), but no further digits
// or separators: "1.5.2001" and "3,7" are no whole numbers. False when none, or beyond 32 bits.
bool ReadWholeNumber(const wchar_t* text, bool unitAllowed, LONG* out);
