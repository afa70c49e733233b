#include "core/valuecheck.h"

#include <math.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "core/attrdef.h"
#include "dataaccess/datetext.h"

namespace {

// The first year of zoological nomenclature (Linnaeus, Systema naturae, 10th edition).
const int kNomenclatureStart = 1758;

const wchar_t kYearRule[] = L"Rok musí být kladné celé číslo nejvýše o čtyřech číslicích";

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == 0x00A0 || c == 0x202F;
}

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool IsLetter(wchar_t c)
{
    return IsCharAlphaW(c) != FALSE;
}

int YearOf(DATE date)
{
    SYSTEMTIME st = {};
    return VariantTimeToSystemTime(date, &st) ? st.wYear : 0;
}

int ThisYear()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wYear;
}

// The day, month and year places of the user's short date (LOCALE_IDATE: 0 month-day-year,
// 1 day-month-year, 2 year-month-day).
void DateOrder(int* day, int* month, int* year)
{
    wchar_t order[4] = L"1";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDATE, order, 4);
    switch (order[0]) {
    case L'0': *month = 0; *day = 1; *year = 2; break;
    case L'2': *year = 0; *month = 1; *day = 2; break;
    default: *day = 0; *month = 1; *year = 2; break;
    }
}

// Numbers of the text's date part (separated by '.', '/' or '-' with blanks around) and of its
// time (after a blank, separated by ':'); false when the text holds anything else.
bool SplitNumbers(const wchar_t* text, std::vector<int>* date, std::vector<int>* digits, std::vector<int>* time)
{
    const wchar_t* p = text;
    std::vector<int>* part = date;
    bool wantNumber = true;
    while (*p) {
        if (IsBlank(*p)) {
            ++p;
            continue;
        }
        if (IsDigit(*p)) {
            if (!wantNumber) {
                // A number after a blank ends the date: the time begins.
                if (part != date || date->size() != 3)
                    return false;
                part = time;
            }
            int value = 0, count = 0;
            for (; IsDigit(*p); ++p, ++count)
                value = count < 6 ? value * 10 + (*p - L'0') : 999999;
            part->push_back(value);
            if (part == date)
                digits->push_back(count);
            wantNumber = false;
            continue;
        }
        bool dateSeparator = *p == L'.' || *p == L'/' || *p == L'-';
        if (part == date && dateSeparator && !wantNumber) {
            wantNumber = date->size() < 3;  // "15. 3. 2010." may end with a point
            ++p;
            continue;
        }
        if (part == time && *p == L':' && !wantNumber) {
            wantNumber = true;
            ++p;
            continue;
        }
        return false;
    }
    return !wantNumber || (part == date && date->size() == 3);
}

ValueCheck Fits()
{
    return ValueCheck{VALUE_FITS, std::wstring()};
}

ValueCheck Refused(const std::wstring& rule)
{
    return ValueCheck{VALUE_REFUSED, rule};
}

ValueCheck Unlikely(const std::wstring& rule)
{
    return ValueCheck{VALUE_UNLIKELY, rule};
}

void SetInt(VARIANT* value, LONG number)
{
    VariantClear(value);
    value->vt = VT_I4;
    value->lVal = number;
}

ValueCheck CheckYear(int years, LONG year)
{
    if (year <= 0 || year > 9999)
        return Refused(kYearRule);
    if (years == YEARS_TAXON && year < kNomenclatureStart)
        return Unlikely(L"Rok " + std::to_wstring(year) + L" je dřívější než rok 1758, počátek zoologické nomenklatury.");
    if (years == YEARS_TAXON && year > ThisYear())
        return Unlikely(L"Rok " + std::to_wstring(year) + L" je pozdější než letošní rok.");
    if (years == YEARS_PUBLICATION && year > ThisYear() + 1)
        return Unlikely(L"Rok vydání " + std::to_wstring(year) + L" je pozdější než příští rok.");
    return Fits();
}

ValueCheck CheckDate(const FieldRule& rule, VARIANT* value, DATE today)
{
    if (value->vt == VT_BSTR) {
        DATE date = 0;
        switch (ReadTypedDate(value->bstrVal, &date)) {
        case TYPEDDATE_NONE:
            return Refused(L"Takové datum neexistuje (měsíc 1 až 12, den nejvýše do konce měsíce)");
        case TYPEDDATE_OTHER:
            return Refused(L"Hodnota není datum: zadejte den.měsíc.rok, např. 15.3.2010");
        }
        VariantClear(value);
        value->vt = VT_DATE;
        value->date = date;
    }
    if (value->vt != VT_DATE || rule.Years != YEARS_SEEN)
        return Fits();
    if (floor(value->date) > today)
        return Unlikely(L"Datum je pozdější než dnešní den.");
    if (YearOf(value->date) < kNomenclatureStart)
        return Unlikely(L"Datum je dřívější než rok 1758, počátek zoologické nomenklatury.");
    return Fits();
}

ValueCheck CheckWholeNumber(const FieldRule& rule, VARIANT* value)
{
    const std::wstring wholeOnly = rule.Years != YEARS_ANY ? kYearRule
                                                            : L"Hodnota musí být celé číslo v rozmezí -2147483648 až 2147483647";
    LONG number = 0;
    switch (value->vt) {
    case VT_BSTR:
        if (!ReadWholeNumber(value->bstrVal, false, &number))
            return Refused(wholeOnly);
        SetInt(value, number);
        break;
    case VT_DATE:
        return Refused(wholeOnly);  // a date's day number is no count nor year
    case VT_R4:
    case VT_R8: {
        double real = value->vt == VT_R4 ? value->fltVal : value->dblVal;
        if (real != floor(real) || real < -2147483648.0 || real > 2147483647.0)
            return Refused(wholeOnly);
        number = (LONG)real;
        SetInt(value, number);
        break;
    }
    case VT_I2:
        number = value->iVal;
        break;
    case VT_I4:
        number = value->lVal;
        break;
    default:
        return Fits();
    }
    return rule.Years != YEARS_ANY ? CheckYear(rule.Years, number) : Fits();
}

}  // namespace

FieldRule RuleOfAttr(const CustomAttrDef* def)
{
    FieldRule rule = {ATTR_TEXT, 0, YEARS_ANY};
    if (!def)
        return rule;
    rule.Type = def->Type;
    rule.Size = def->Type == ATTR_TEXT || def->Type == ATTR_LOOKUP || def->Type == ATTR_GEO_LOOKUP ? def->Size : 0;
    rule.Years = def->Type == ATTR_DATE ? YEARS_SEEN : def->Years;
    return rule;
}

ValueCheck CheckFieldValue(const FieldRule& rule, VARIANT* value, DATE today)
{
    if (!value || value->vt == VT_EMPTY || value->vt == VT_NULL
        || (value->vt == VT_BSTR && (!value->bstrVal || !*value->bstrVal)))
        return Fits();
    switch (rule.Type) {
    case ATTR_DATE:
        return CheckDate(rule, value, today);
    case ATTR_INTEGER:
        return CheckWholeNumber(rule, value);
    case ATTR_REAL:
        if (value->vt == VT_DATE)
            return Refused(L"Hodnota musí být číslo, ne datum");
        return Fits();
    case ATTR_TEXT:
    case ATTR_LOOKUP:
    case ATTR_GEO_LOOKUP:
        if (rule.Size > 0 && value->vt == VT_BSTR && SysStringLen(value->bstrVal) > (UINT)rule.Size)
            return Refused(L"Text je delší než " + std::to_wstring(rule.Size) + L" znaků, které pole pojme");
        return Fits();
    default:
        return Fits();
    }
}

DATE TodayDate()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    now.wHour = now.wMinute = now.wSecond = now.wMilliseconds = 0;
    DATE today = 0;
    SystemTimeToVariantTime(&now, &today);
    return floor(today);
}

int ReadTypedDate(const wchar_t* text, DATE* out)
{
    if (!text)
        return TYPEDDATE_OTHER;
    std::wstring trimmed(text);
    while (!trimmed.empty() && IsBlank(trimmed.back()))
        trimmed.pop_back();
    size_t start = 0;
    while (start < trimmed.size() && IsBlank(trimmed[start]))
        ++start;
    trimmed.erase(0, start);
    if (trimmed.empty())
        return TYPEDDATE_OTHER;
    switch (zdata::ReadDateText(trimmed.c_str(), trimmed.size(), out)) {
    case zdata::DateText::Date: return TYPEDDATE_DATE;
    case zdata::DateText::Impossible: return TYPEDDATE_NONE;
    default: break;
    }
    for (wchar_t c : trimmed) {
        if (IsLetter(c)) {
            // A month's name: no number of it can change places.
            VARIANT t, d;
            VariantInit(&d);
            t.vt = VT_BSTR;
            t.bstrVal = SysAllocString(trimmed.c_str());
            HRESULT hr = VariantChangeTypeEx(&d, &t, LOCALE_USER_DEFAULT, 0, VT_DATE);
            VariantClear(&t);
            if (FAILED(hr))
                return TYPEDDATE_OTHER;
            *out = d.date;
            return TYPEDDATE_DATE;
        }
    }
    std::vector<int> date, digits, time;
    if (!SplitNumbers(trimmed.c_str(), &date, &digits, &time) || date.size() != 3 || time.size() == 1
        || time.size() > 3)
        return TYPEDDATE_OTHER;
    int dayAt = 0, monthAt = 1, yearAt = 2;
    // Four digits first are a year: year-month-day, whatever the user's order.
    if (digits[0] >= 3)
        dayAt = 2, monthAt = 1, yearAt = 0;
    else
        DateOrder(&dayAt, &monthAt, &yearAt);
    int day = date[dayAt], month = date[monthAt], year = date[yearAt];
    if (digits[yearAt] <= 2)
        year += year < 30 ? 2000 : 1900;
    else if (digits[yearAt] != 4)
        return digits[yearAt] > 4 ? TYPEDDATE_NONE : TYPEDDATE_OTHER;
    int hour = time.size() > 0 ? time[0] : 0, minute = time.size() > 1 ? time[1] : 0,
        second = time.size() > 2 ? time[2] : 0;
    return zdata::DateOfParts(year, month, day, hour, minute, second, out) ? TYPEDDATE_DATE : TYPEDDATE_NONE;
}

bool ReadWholeNumber(const wchar_t* text, bool unitAllowed, LONG* out)
{
    if (!text)
        return false;
    const wchar_t* p = text;
    while (IsBlank(*p))
        ++p;
    bool negative = *p == L'-';
    if (*p == L'-' || *p == L'+')
        ++p;
    long long value = 0;
    int digits = 0;
    for (; IsDigit(*p) || (digits > 0 && IsBlank(*p) && IsDigit(p[1])); ++p) {
        if (!IsDigit(*p))
            continue;
        value = value * 10 + (*p - L'0');
        ++digits;
        if (value > 2147483648LL)
            return false;
    }
    if (digits == 0)
        return false;
    while (IsBlank(*p))
        ++p;
    if (*p && !unitAllowed)
        return false;
    // A unit is letters (and what follows them), never a separator or digits that go on
    // with the number.
    if (*p && !IsLetter(*p))
        return false;
    for (const wchar_t* q = p; *q; ++q)
        if (IsDigit(*q))
            return false;
    value = negative ? -value : value;
    if (value > 2147483647LL)
        return false;
    *out = (LONG)value;
    return true;
}
