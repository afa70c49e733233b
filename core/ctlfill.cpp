// Combo and list fillers, number and coordinate edits in the user's format, VARIANTs between
// windows and property boxes, the warning box and column type kinds.
#include "core/ctlfill.h"

#include <commctrl.h>
#include <strsafe.h>
#include <wchar.h>

#include <cmath>
#include <string>

#include "controls/plexa.h"
#include "core/attrdef.h"
#include "core/fields.h"
#include "core/leveldefs.h"
#include "core/msgbox.h"
#include "core/rsutil.h"
#include "core/textutil.h"

using zdata::Field;
using zdata::Fields;
using zdata::Recordset;

namespace {

std::wstring WindowText(HWND window, int maxLength)
{
    int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return std::wstring();
    std::wstring text((size_t)length + 1, L'\0');
    int got = GetWindowTextW(window, &text[0], length + 1);
    text.resize(got > 0 ? (size_t)got : 0);
    if (maxLength > 0 && (int)text.size() > maxLength)
        text.resize((size_t)maxLength);
    return text;
}

// Item data as the 32-bit value it was stored as.
int ItemData32(HWND control, UINT message, int index)
{
    return (int)(LONG)SendMessageW(control, message, (WPARAM)index, 0);
}

int FindByData(HWND control, UINT countMessage, UINT dataMessage, int value, int orAbove)
{
    int count = (int)SendMessageW(control, countMessage, 0, 0);
    for (int i = 0; i < count; i++) {
        int data = ItemData32(control, dataMessage, i);
        if (data == value || (orAbove && data > value))
            return i;
    }
    return -1;
}

void FillFromRecordset(HWND control, Recordset* rs, UINT resetMessage, UINT addMessage,
                       UINT dataMessage)
{
    SendMessageW(control, resetMessage, 0, 0);
    if (!rs)
        return;
    VARIANT_BOOL bof = VARIANT_TRUE, eof = VARIANT_TRUE;
    if (FAILED(rs->get_BOF(&bof)) || FAILED(rs->get_EOF(&eof)) || (bof && eof))
        return;
    Field* nameField = FieldByName(rs, L"NAME");
    Field* idField = FieldByName(rs, L"ID");
    if (nameField && idField && SUCCEEDED(rs->MoveFirst())) {
        VARIANT value;
        VariantInit(&value);
        while (SUCCEEDED(rs->get_EOF(&eof)) && !eof) {
            wchar_t name[256];
            nameField->get_Value(&value);
            if (!VariantToText(&value, name, 256))
                name[0] = L'\0';
            VariantClear(&value);
            LRESULT item = SendMessageW(control, addMessage, 0, (LPARAM)name);
            if (item >= 0) {
                idField->get_Value(&value);
                SendMessageW(control, dataMessage, (WPARAM)item, (LPARAM)VariantToLong(&value));
                VariantClear(&value);
            }
            if (FAILED(rs->MoveNext()))
                break;
        }
    }
    if (nameField)
        nameField->Release();
    if (idField)
        idField->Release();
}

// Whether the text starts (after blanks) with a minus sign: the sign of "-0" degrees.
bool StartsNegative(const std::wstring& text)
{
    for (wchar_t c : text) {
        if (c == L' ' || c == L'\t' || c == 0x00A0)
            continue;
        return c == L'-';
    }
    return false;
}

}  // namespace

void FillLevelCombo(HWND combo, const CPtrArray* levelCache, int levelId)
{
    if (!levelCache)
        return;
    for (int i = 0; i < levelCache->GetCount(); i++) {
        const LevelDef* def = (const LevelDef*)levelCache->GetItems()[i];
        if (!def || def->LevelId <= levelId)
            continue;
        LRESULT item = SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)def->Name);
        if (item >= 0)
            SendMessageW(combo, CB_SETITEMDATA, (WPARAM)item, (LPARAM)def->LevelId);
    }
}

int FindComboItemByDataOrAbove(HWND combo, int value, int orAbove)
{
    return FindByData(combo, CB_GETCOUNT, CB_GETITEMDATA, value, orAbove);
}

int GetComboSelData(HWND combo)
{
    int selected = (int)SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (selected < 0)
        return -1;
    return ItemData32(combo, CB_GETITEMDATA, selected);
}

int FindComboItemByData(HWND combo, int value)
{
    return FindByData(combo, CB_GETCOUNT, CB_GETITEMDATA, value, 0);
}

int FindListBoxItemByData(HWND listBox, int value)
{
    return FindByData(listBox, LB_GETCOUNT, LB_GETITEMDATA, value, 0);
}

void FillComboFromRecordset(HWND combo, Recordset* rs)
{
    FillFromRecordset(combo, rs, CB_RESETCONTENT, CB_ADDSTRING, CB_SETITEMDATA);
}

void FillListBoxFromRecordset(HWND listBox, Recordset* rs)
{
    FillFromRecordset(listBox, rs, LB_RESETCONTENT, LB_ADDSTRING, LB_SETITEMDATA);
}

std::wstring GetWindowString(HWND window)
{
    return WindowText(window, 0);
}

std::wstring GetComboEntryString(HWND combo, int index)
{
    LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, (WPARAM)index, 0);
    if (length == CB_ERR || length < 0)
        return std::wstring();
    std::wstring text((size_t)length + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, (WPARAM)index, (LPARAM)&text[0]);
    text.resize(wcslen(text.c_str()));
    return text;
}

std::wstring GetListBoxEntryString(HWND listBox, int index)
{
    LRESULT length = SendMessageW(listBox, LB_GETTEXTLEN, (WPARAM)index, 0);
    if (length == LB_ERR || length < 0)
        return std::wstring();
    std::wstring text((size_t)length + 1, L'\0');
    SendMessageW(listBox, LB_GETTEXT, (WPARAM)index, (LPARAM)&text[0]);
    text.resize(wcslen(text.c_str()));
    return text;
}

void SelectTextOnEntry(HWND edit)
{
    PostMessageW(edit, EM_SETSEL, 0, -1);
}

void InsertTabFromString(HWND tabControl, HINSTANCE instance, int index, UINT stringId)
{
    wchar_t text[64] = L"";
    LoadStringW(instance, stringId, text, 64);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.iImage = -1;
    SendMessageW(tabControl, TCM_INSERTITEMW, index, (LPARAM)&item);
}

void SetWindowInt(HWND window, int value)
{
    wchar_t text[16];
    wsprintfW(text, L"%d", value);
    SetWindowTextW(window, text);
}

int GetWindowInt(HWND window, int maxLength, int* out)
{
    std::wstring text = WindowText(window, maxLength);
    if (text.empty())
        return 0;
    int value = 0;
    if (swscanf(text.c_str(), L"%d", &value) != 1)
        return -1;
    *out = value;
    return 1;
}

void SetWindowReal(HWND window, double value)
{
    // Printed in the C locale first (the library never changes its locale), then formatted the
    // user's way.
    wchar_t plain[400];
    if (FAILED(StringCchPrintfW(plain, 400, L"%2.4f", value))) {
        SetWindowTextW(window, L"");
        return;
    }
    wchar_t shown[64];
    if (GetNumberFormatW(LOCALE_USER_DEFAULT, 0, plain, nullptr, shown, 64) > 0)
        SetWindowTextW(window, shown);
    else
        SetWindowTextW(window, plain);
}

int GetWindowReal(HWND window, int maxLength, double* out)
{
    std::wstring text = WindowText(window, maxLength);
    if (text.size() > 31)
        text.resize(31);
    if (text.empty())
        return 0;
    wchar_t decimal[8] = L".", thousands[8] = L",";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, thousands, 8);
    double value = 0;
    if (!ParseRealWithSeparators(text.c_str(), thousands[0], decimal[0], &value))
        return -1;
    *out = value;
    return 1;
}

void SetDmsEdits(HWND dialog, int firstId, double degrees, int empty)
{
    HWND d = GetDlgItem(dialog, firstId);
    HWND m = GetDlgItem(dialog, firstId + 1);
    HWND s = GetDlgItem(dialog, firstId + 2);
    if (empty) {
        SetWindowTextW(d, L"");
        SetWindowTextW(m, L"");
        SetWindowTextW(s, L"");
        return;
    }
    // Rounded to the seconds' shown digits first, then split with carry: 49.3 shows as
    // 49 18' 0,00" and never as 49 17' 60,00".
    wchar_t digitsText[4] = L"2";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDIGITS, digitsText, 4);
    int digits = _wtoi(digitsText);
    if (digits < 0 || digits > 9)
        digits = 2;
    const double scale = std::pow(10.0, digits);
    double total = std::round(std::fabs(degrees) * 3600.0 * scale);
    int whole = 0, minutes = 0;
    double seconds = 0;
    if (std::isfinite(total) && total < 9e15) {
        long long units = (long long)total, perMinute = (long long)(60 * scale), perDegree = 60 * perMinute;
        whole = (int)((units / perDegree) % 360);
        minutes = (int)((units % perDegree) / perMinute);
        seconds = (double)(units % perMinute) / scale;
    } else {
        DegreesToDms(std::fabs(degrees), &whole, &minutes, &seconds);
    }
    // The sign travels with the whole degrees; below one degree it would be lost.
    if (whole == 0 && degrees < 0 && total > 0)
        SetWindowTextW(d, L"-0");
    else
        SetWindowInt(d, degrees < 0 ? -whole : whole);
    SetWindowInt(m, minutes);
    SetWindowReal(s, seconds);
}

int GetDmsEdits(HWND dialog, int firstId, double* out)
{
    HWND d = GetDlgItem(dialog, firstId);
    int degrees = 0, minutes = 0;
    double seconds = 0;
    int degreesRead = GetWindowInt(d, 16, &degrees);
    int minutesRead = GetWindowInt(GetDlgItem(dialog, firstId + 1), 16, &minutes);
    int secondsRead = GetWindowReal(GetDlgItem(dialog, firstId + 2), 16, &seconds);
    if (degreesRead != 1)
        return degreesRead;
    double x = std::fabs((double)degrees);
    if (minutesRead == 1)
        x += minutes / 60.0;
    if (secondsRead == 1)
        x += seconds / 3600.0;
    bool negative = degrees < 0 || (degrees == 0 && StartsNegative(WindowText(d, 16)));
    *out = negative ? -x : x;
    return 1;
}

void GetWindowTextVariant(HWND window, VARIANT* out)
{
    VariantClear(out);
    std::wstring text = WindowText(window, 0);
    if (text.empty())
        return;
    BSTR b = SysAllocStringLen(text.c_str(), (UINT)text.size());
    if (!b)
        return;
    out->vt = VT_BSTR;
    out->bstrVal = b;
}

void SetWindowTextVariant(const VARIANT* value, HWND window)
{
    if (value && value->vt == VT_BSTR && value->bstrVal)
        SetWindowTextW(window, value->bstrVal);
    else
        SetWindowTextW(window, L"");
}

void ClearVariantArray(CPtrArray* list)
{
    if (!list)
        return;
    for (int i = 0; i < list->GetCount(); i++) {
        VARIANT* v = (VARIANT*)list->GetItems()[i];
        if (v)
            VariantClear(v);
    }
}

void SetPropertyBoxYesNo(HWND propertyBox, HINSTANCE module)
{
    const struct {
        UINT text;
        UINT message;
    } kTexts[] = {{IDS_FIELD_YES, PBXM_SETYESTEXT}, {IDS_FIELD_NO, PBXM_SETNOTEXT}};
    for (const auto& t : kTexts) {
        wchar_t text[32] = L"";
        if (LoadStringW(module, t.text, text, ARRAYSIZE(text)) > 0)
            SendMessageW(propertyBox, t.message, 0, (LPARAM)text);
    }
}

void SetPropertyBoxValues(HWND propertyBox, CPtrArray* list)
{
    if (!list)
        return;
    for (int i = 0; i < list->GetCount(); i++) {
        WPARAM item = ((WPARAM)(i & 0xFFFF) << 16) | 0xFFFF;
        const VARIANT* value = (const VARIANT*)list->GetItems()[i];
        VARIANT shown;
        VariantInit(&shown);
        // The grid shows no dates: a date goes in as its text in the user's format, which is
        // what a date attribute's text item holds once the user edits it.
        if (value && value->vt == VT_DATE
            && SUCCEEDED(VariantChangeTypeEx(&shown, const_cast<VARIANT*>(value),
                                             LOCALE_USER_DEFAULT, 0, VT_BSTR)))
            value = &shown;
        // A value without an item (the box answers -1) is not shown anywhere.
        SendMessageW(propertyBox, PBXM_SETVALUE, item, (LPARAM)value);
        VariantClear(&shown);
    }
}

int GetPropertyBoxValues(HWND propertyBox, CPtrArray* list, int skipRequired)
{
    if (!list)
        return -1;
    for (int i = 0; i < list->GetCount(); i++) {
        VARIANT* v = (VARIANT*)list->GetItems()[i];
        if (!v)
            continue;
        WPARAM item = ((WPARAM)(i & 0xFFFF) << 16) | 0xFFFF;
        VariantClear(v);
        // -1: the box has no item for this value, which then stays empty and is never required.
        if (SendMessageW(propertyBox, PBXM_GETVALUE, item, (LPARAM)v) == -1) {
            VariantClear(v);
            continue;
        }
        // The item data is the attribute's definition, a full pointer (-1 again for no item).
        LRESULT data = SendMessageW(propertyBox, PBXM_GETITEMDATA, item, 0);
        const CustomAttrDef* def = data == -1 ? nullptr : (const CustomAttrDef*)data;
        bool emptyValue = v->vt == VT_EMPTY || v->vt == VT_NULL;
        if (emptyValue && def && def->KeyFlag && !skipRequired)
            return i;
    }
    return -1;
}

// The warning text, followed by ": " and the name when there is one.
static int ShowNamedWarningText(HINSTANCE module, HWND owner, UINT captionId, std::wstring message,
                                const std::wstring& name)
{
    if (!name.empty())
        message += L": " + name;
    wchar_t caption[32];
    if (LoadStringW(module, captionId, caption, 32) <= 0)
        caption[0] = L'\0';
    return ZorMessageBox(owner, message.c_str(), caption, MB_ICONWARNING);
}

static int ShowNamedWarning(HINSTANCE module, HWND owner, UINT captionId, UINT textId, const std::wstring& name)
{
    wchar_t* text = LoadStringAlloc(module, textId);
    std::wstring message = text ? text : L"";
    free(text);
    return ShowNamedWarningText(module, owner, captionId, message, name);
}

int ShowWarningRes(HINSTANCE module, HWND owner, UINT captionId, UINT textId)
{
    return ShowNamedWarning(module, owner, captionId, textId, std::wstring());
}

void ShowFieldWarning(HINSTANCE module, HWND owner, UINT captionId, UINT textId, const std::wstring& name,
                      HWND field)
{
    ShowNamedWarning(module, owner, captionId, textId, name);
    if (field)
        SetFocus(field);
}

void ShowFieldWarningText(HINSTANCE module, HWND owner, UINT captionId, const std::wstring& text,
                          const std::wstring& name, HWND field)
{
    ShowNamedWarningText(module, owner, captionId, text, name);
    if (field)
        SetFocus(field);
}

bool ConfirmFieldValue(HINSTANCE module, HWND owner, UINT captionId, const std::wstring& text,
                       const std::wstring& name, HWND field)
{
    std::wstring message = name.empty() ? text : L"\u201E" + name + L"\u201C: " + text;
    message += L" Chcete hodnotu přesto uložit?";
    wchar_t caption[32];
    if (LoadStringW(module, captionId, caption, 32) <= 0)
        caption[0] = L'\0';
    if (ZorMessageBox(owner, message.c_str(), caption, MB_YESNO | MB_ICONQUESTION) == IDYES)
        return true;
    if (field)
        SetFocus(field);
    return false;
}

std::wstring ControlLabel(HWND control)
{
    HWND label = GetWindow(control, GW_HWNDPREV);
    wchar_t kind[16] = L"";
    if (!label || !GetClassNameW(label, kind, ARRAYSIZE(kind)) || _wcsicmp(kind, L"Static") != 0)
        return std::wstring();
    wchar_t text[128] = L"";
    GetWindowTextW(label, text, ARRAYSIZE(text));
    std::wstring name;
    for (const wchar_t* p = text; *p; ++p)
        if (*p != L'&' || p[1] == L'&')
            name += *p;
    while (!name.empty() && (name.back() == L':' || name.back() == L' '))
        name.pop_back();
    return name;
}

std::wstring PropertyItemName(HWND propertyBox, int item)
{
    int length = (int)SendMessageW(propertyBox, PBXM_GETITEMTEXTLEN, PBX_ITEM((WORD)item), 0);
    if (length <= 0)
        return std::wstring();
    std::wstring name((size_t)length + 1, L'\0');
    SendMessageW(propertyBox, PBXM_GETITEMTEXT, PBX_ITEM((WORD)item), (LPARAM)&name[0]);
    return name.c_str();
}

// adFileTime, which the data layer itself never reports.
const int kAdFileTime = 64;

int FieldKindOfAdoType(int adoType, long definedSize)
{
    switch (adoType) {
    case adBoolean:
        return ATTR_BOOLEAN;
    case adSmallInt:
    case adInteger:
        return ATTR_INTEGER;
    case adSingle:
    case adDouble:
    case adCurrency:
    case adDecimal:
    case adNumeric:
        return ATTR_REAL;
    case adDate:
    case kAdFileTime:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp:
        return ATTR_DATE;
    case adBSTR:
    case adChar:
    case adWChar:
        return definedSize > 0 ? ATTR_TEXT : ATTR_LONG_TEXT;
    default:
        if (adoType >= adTinyInt && adoType <= adUnsignedBigInt)
            return ATTR_INTEGER;
        if (adoType >= adVarChar && adoType <= adLongVarWChar)
            return definedSize > 0 ? ATTR_TEXT : ATTR_LONG_TEXT;
        return ATTR_TEXT;
    }
}
