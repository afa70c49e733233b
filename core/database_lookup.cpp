// Lookup values and authors, the reading side: one open recordset per lookup table in the
// database object's cache, rows and prefix searches for the type-ahead combos of the edit
// dialogs, value lists for list boxes, combos and list views, abbreviations, and the attribute
// rows of the property boxes.
#include "core/database.h"

#include <strsafe.h>

#include <string>

#include "controls/plexa.h"
#include "core/ctlfill.h"
#include "core/rsutil.h"
#include "core/textutil.h"
#include "dataaccess/filterexpr.h"

using zdata::Field;
using zdata::Fields;
using zdata::Recordset;

namespace {

long RecordCountOf(Recordset* rs)
{
    long count = 0;
    if (!rs || FAILED(rs->get_RecordCount(&count)) || count < 0)
        return 0;
    return count;
}

bool AtEof(Recordset* rs)
{
    VARIANT_BOOL eof = VARIANT_TRUE;
    return FAILED(rs->get_EOF(&eof)) || eof != VARIANT_FALSE;
}

// Reads one column of the current row; the output is cleared first.
HRESULT ReadColumn(Recordset* rs, long ordinal, VARIANT* out)
{
    VariantClear(out);
    Fields* fields = nullptr;
    HRESULT hr = rs->get_Fields(&fields);
    if (FAILED(hr) || !fields)
        return FAILED(hr) ? hr : E_FAIL;
    Field* field = nullptr;
    hr = fields->Item(ordinal, &field);
    if (SUCCEEDED(hr) && field) {
        hr = field->get_Value(out);
        field->Release();
    }
    fields->Release();
    return hr;
}

// The text of a value as a string; empty for NULL.
std::wstring TextOf(const VARIANT& v)
{
    if (v.vt == VT_BSTR)
        return v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : std::wstring();
    wchar_t buffer[128];
    if (!VariantToText(&v, buffer, 128))
        return std::wstring();
    return buffer;
}

// Finds the first row at or after *row (the first row when negative) whose NAME starts with the
// longest possible prefix of the text. The typed text is escaped, so an apostrophe or a
// wildcard in it is just a character of the prefix.
int FindPrefix(Recordset* rs, const wchar_t* text, int* row)
{
    int start = *row;
    *row = -1;
    long count = RecordCountOf(rs);
    if (!text || count <= 0 || start >= count)
        return 0;
    HRESULT hr = start < 0 ? rs->MoveFirst() : rs->put_AbsolutePosition(start + 1);
    VARIANT bookmark;
    VariantInit(&bookmark);
    if (FAILED(hr) || FAILED(rs->get_Bookmark(&bookmark)))
        return 0;
    std::wstring prefix(text);
    int n = (int)prefix.size();
    int found = 0;
    while (n > 0) {
        std::wstring criterion =
            L"NAME like '" + zdata::FilterLikeEscape(prefix.substr(0, (size_t)n)) + L"*'";
        if (SUCCEEDED(rs->Find(criterion.c_str(), 0, adSearchForward, &bookmark)) && !AtEof(rs)) {
            found = 1;
            break;
        }
        n--;
    }
    VariantClear(&bookmark);
    if (!found)
        return 0;
    long position = 0;
    if (FAILED(rs->get_AbsolutePosition(&position)) || position < 1)
        return 0;
    *row = (int)position - 1;
    return n;
}

CPtrArray* AttrListOfLookupTable(CDatabase* db, int table)
{
    switch (table) {
    case 0: return db->SysTreeAttrs;
    case 1: return db->SpeciesAttrs;
    case 2: return db->LocTreeAttrs;
    case 3: return db->FeatureAttrs;
    case 4: return db->RecordAttrs;
    case 5: return db->LiteratureAttrs;
    default: return nullptr;
    }
}

// One top-level item per definition, in list order, so that value i of an edit record always
// lands on item i: a missing definition still gets an item (hidden, without data), and once the
// box refuses an item no further one is added (the values past the last item then have none,
// which the value readers and writers of the dialogs skip). False when an item was refused.
bool AddPropertyItems(HWND propertyBox, const CPtrArray* list)
{
    if (!list)
        return true;
    for (int i = 0; i < list->GetCount(); i++) {
        CustomAttrDef* def = (CustomAttrDef*)list->GetItems()[i];
        WPARAM add = MAKEWPARAM(0xFFFF, def ? PropBoxTypeOfAttr(def->Type) : PBT_TEXT);
        LRESULT item = SendMessageW(propertyBox, PBXM_ADDITEM, add, (LPARAM)(def ? def->Caption : L""));
        if (item < 0)
            return false;
        WPARAM at = MAKEWPARAM(0xFFFF, (WORD)item);
        if (def) {
            // The item data is pointer-sized: the definition itself, not a 32-bit copy of it.
            SendMessageW(propertyBox, PBXM_SETITEMDATA, at, (LPARAM)def);
            // A text takes at most its declared size, typed or pasted.
            if (def->Type == ATTR_TEXT || def->Type == ATTR_LOOKUP || def->Type == ATTR_GEO_LOOKUP)
                SendMessageW(propertyBox, PBXM_SETITEMLIMIT, at, def->Size > 0 ? def->Size : 0);
        } else {
            SendMessageW(propertyBox, PBXM_SETITEMFLAG, at, 0);
        }
    }
    return true;
}

int FillPropertyBoxFrom(HWND propertyBox, const CPtrArray* first, const CPtrArray* second)
{
    if (AddPropertyItems(propertyBox, first))
        AddPropertyItems(propertyBox, second);
    return first ? first->GetCount() : 0;
}

}  // namespace

void LookupTableName(int kind, const wchar_t* fieldName, wchar_t name[32])
{
    static const wchar_t* const prefixes[7] = { L"", L"SPE_", L"FEA_", L"ZOR_",
                                                L"SYS_", L"LOC_", L"LIT_" };
    if (!fieldName)
        fieldName = L"";
    if (kind == LOOKUP_SPECIES && wcscmp(fieldName, L"AUTHOR") == 0) {
        CopyWideBounded(L"SYSAUTHORS", name, 32);
        return;
    }
    const wchar_t* prefix = (kind >= 1 && kind <= 6) ? prefixes[kind] : L"";
    StringCchPrintfW(name, 32, L"%s%s", prefix, fieldName);
}

int FindLookupEntry(const wchar_t* tableName, const CPtrArray* cache, LookupCacheEntry** entry)
{
    if (entry)
        *entry = nullptr;
    if (!tableName || !cache)
        return -1;
    for (int i = 0; i < cache->GetCount(); i++) {
        LookupCacheEntry* e = (LookupCacheEntry*)cache->GetItems()[i];
        if (e && wcscmp(e->TableName, tableName) == 0) {
            if (entry)
                *entry = e;
            return i;
        }
    }
    return -1;
}

int PropBoxTypeOfAttr(int attrType)
{
    switch (attrType) {
    case ATTR_BOOLEAN: return PBT_BOOL;
    case ATTR_INTEGER: return PBT_INTEGER;
    case ATTR_REAL: return PBT_REAL;
    case ATTR_LOOKUP:
    case ATTR_GEO_LOOKUP: return PBT_COMBO | PBT_ONDEMAND;
    case ATTR_LONG_TEXT: return PBT_BINARY;
    default: return PBT_TEXT;
    }
}

int CDatabase::LoadLookupValues(int kind, const wchar_t* fieldName)
{
    wchar_t name[32];
    LookupTableName(kind, fieldName, name);
    int index = FindLookupEntry(name, LookupCache, nullptr);
    if (index >= 0)
        return index;
    // The table name comes from the attribute definitions and goes into statement text: a stored
    // name can never change the statement.
    if (!IsPlainIdentifier(name) || !IsOpen())
        return kLookupNotAvailable;
    Recordset* rs = nullptr;
    if (wcscmp(name, L"SYSAUTHORS") == 0) {
        OpenSysAuthors();
        rs = SysAuthorsRs;
        if (!IsRecordsetOpen(rs))
            return kLookupNotAvailable;  // not opened here: SysAuthorsRs stays with its slot
    } else {
        wchar_t sql[96];
        StringCchPrintfW(sql, 96, L"SELECT * FROM %s ORDER BY NAME", name);
        rs = OpenQuery(sql, adUseClient, adOpenKeyset, adLockOptimistic);
        if (!IsRecordsetOpen(rs)) {
            CloseRecordset(rs);
            return kLookupNotAvailable;
        }
    }
    LookupCacheEntry* entry = (LookupCacheEntry*)calloc(1, sizeof(LookupCacheEntry));
    if (!entry) {
        if (rs != SysAuthorsRs)
            CloseRecordset(rs);
        return kLookupNotAvailable;
    }
    CopyWideBounded(name, entry->TableName, 32);
    entry->Recordset = rs;
    index = LookupCache->GetCount();
    LookupCache->Add(entry);
    return index;
}

int CDatabase::OpenSysAuthors()
{
    if (IsRecordsetOpen(SysAuthorsRs))
        return (int)RecordCountOf(SysAuthorsRs);
    if (!IsOpen())
        return 0;
    Recordset* rs = GetCachedRecordset(RS_SYSAUTHORS);
    if (!IsRecordsetOpen(rs))
        return 0;
    rs->MoveLast();  // so that the count is complete
    return (int)RecordCountOf(rs);
}

int CDatabase::GetSysAuthorTextLen(int row)
{
    CachedTextLength = 0;
    OpenSysAuthors();
    Recordset* rs = SysAuthorsRs;
    if (!IsRecordsetOpen(rs))
        return 0;
    VARIANT none;
    none.vt = VT_I4;
    none.lVal = adFilterNone;
    rs->put_Filter(none);
    if (row < 0 || row >= RecordCountOf(rs))
        return 0;
    if (FAILED(rs->put_AbsolutePosition(row + 1)) || FAILED(ReadColumn(rs, 0, &CachedValue)))
        return 0;
    CachedTextLength = VariantTextLength(&CachedValue);
    return CachedTextLength;
}

void CDatabase::GetSysAuthorText(int row, wchar_t* buffer)
{
    if (!buffer)
        return;
    buffer[0] = L'\0';
    if (row < 0 || !IsRecordsetOpen(SysAuthorsRs) || row >= RecordCountOf(SysAuthorsRs))
        return;
    VariantToText(&CachedValue, buffer, CachedTextLength + 1);
    VariantClear(&CachedValue);
}

int CDatabase::FindSysAuthorPrefix(const wchar_t* text, int* row)
{
    if (!row)
        return 0;
    OpenSysAuthors();
    if (!IsRecordsetOpen(SysAuthorsRs)) {
        *row = -1;
        return 0;
    }
    return FindPrefix(SysAuthorsRs, text, row);
}

Recordset* CDatabase::GetLookupRecordset(int index)
{
    // The "not available" answer 65535 and any other index outside the cache give no recordset.
    if (index < 0 || index >= LookupCache->GetCount())
        return nullptr;
    LookupCacheEntry* entry = (LookupCacheEntry*)LookupCache->GetItems()[index];
    return entry && IsRecordsetOpen(entry->Recordset) ? entry->Recordset : nullptr;
}

int CDatabase::GetLookupCount(int index)
{
    Recordset* rs = GetLookupRecordset(index);
    if (!rs)
        return 0;
    rs->MoveLast();
    return (int)RecordCountOf(rs);
}

int CDatabase::GetLookupTextLen(int index, int row)
{
    CachedTextLength = 0;
    Recordset* rs = GetLookupRecordset(index);
    if (!rs || row < 0 || row >= RecordCountOf(rs))
        return 0;
    if (FAILED(rs->put_AbsolutePosition(row + 1)) || FAILED(ReadColumn(rs, 0, &CachedValue)))
        return 0;
    CachedTextLength = VariantTextLength(&CachedValue);
    return CachedTextLength;
}

int CDatabase::FindLookupPrefix(int index, const wchar_t* text, int* row)
{
    Recordset* rs = GetLookupRecordset(index);
    if (!rs || !row)
        return 0;
    return FindPrefix(rs, text, row);
}

int CDatabase::FillLookupControl(int index, int controlKind, HWND control)
{
    Recordset* rs = GetLookupRecordset(index);
    if (!rs || controlKind < 1 || controlKind > 3 || !control)
        return 0;
    Field* nameField = FieldByName(rs, L"NAME");
    Field* abbrevField = FieldByName(rs, L"ABBREV");  // the author list has none
    DrawingPaused paused(control);
    if (controlKind == 1)
        SendMessageW(control, LB_RESETCONTENT, 0, 0);
    else if (controlKind == 2)
        SendMessageW(control, CB_RESETCONTENT, 0, 0);
    else
        SendMessageW(control, LVM_DELETEALLITEMS, 0, 0);
    int added = 0;
    if (nameField && SUCCEEDED(rs->MoveFirst())) {
        VARIANT value;
        VariantInit(&value);
        for (; !AtEof(rs); rs->MoveNext()) {
            nameField->get_Value(&value);
            std::wstring name = TextOf(value);
            VariantClear(&value);
            if (controlKind == 1) {
                LRESULT item = SendMessageW(control, LB_ADDSTRING, 0, (LPARAM)name.c_str());
                if (item < 0)
                    continue;
                wchar_t* abbrev = nullptr;
                if (abbrevField && SUCCEEDED(abbrevField->get_Value(&value)) && value.vt == VT_BSTR)
                    abbrev = WideDup(value.bstrVal ? value.bstrVal : L"");
                VariantClear(&value);
                SendMessageW(control, LB_SETITEMDATA, (WPARAM)item, (LPARAM)abbrev);
            } else if (controlKind == 2) {
                if (SendMessageW(control, CB_ADDSTRING, 0, (LPARAM)name.c_str()) < 0)
                    continue;
            } else {
                LVITEMW item = {};
                item.mask = LVIF_TEXT;
                item.iItem = added;
                item.pszText = const_cast<wchar_t*>(name.c_str());
                if (SendMessageW(control, LVM_INSERTITEMW, 0, (LPARAM)&item) < 0)
                    continue;
            }
            added++;
        }
    }
    if (nameField)
        nameField->Release();
    if (abbrevField)
        abbrevField->Release();
    return added;
}

void CDatabase::ResetLookupListBox(HWND listBox)
{
    int count = (int)SendMessageW(listBox, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        LRESULT data = SendMessageW(listBox, LB_GETITEMDATA, (WPARAM)i, 0);
        if (data != LB_ERR && data != 0)
            free((void*)data);
    }
    SendMessageW(listBox, LB_RESETCONTENT, 0, 0);
}

void CDatabase::FillLookupFieldCombo(int table, HWND combo)
{
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    CPtrArray* list = AttrListOfLookupTable(this, table);
    if (!list)
        return;
    for (int i = 0; i < list->GetCount(); i++) {
        CustomAttrDef* def = (CustomAttrDef*)list->GetItems()[i];
        if (!def || (def->Type != ATTR_LOOKUP && def->Type != ATTR_GEO_LOOKUP))
            continue;
        LRESULT item = SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)def->Caption);
        if (item >= 0)
            SendMessageW(combo, CB_SETITEMDATA, (WPARAM)item, (LPARAM)def);
    }
}

void CDatabase::GetLookupAbbrev(const wchar_t* tableName, const wchar_t* fieldName,
                                const VARIANT* value, VARIANT* out)
{
    if (!value || value->vt != VT_BSTR || !out || !tableName)
        return;
    static const wchar_t* const owners[6] = { L"SPECIES", L"FEATURES", L"ZORNACOLLS",
                                              L"SYSTREE", L"LOCTREE", L"LITERATURE" };
    int kind = 0;
    for (int k = 0; k < 6; k++) {
        if (CompareStringOrdinal(tableName, -1, owners[k], -1, TRUE) == CSTR_EQUAL) {
            kind = k + 1;
            break;
        }
    }
    Recordset* rs = GetLookupRecordset(LoadLookupValues(kind, fieldName));
    if (!rs)
        return;
    Field* nameField = FieldByName(rs, L"NAME");
    Field* abbrevField = FieldByName(rs, L"ABBREV");
    const wchar_t* wanted = value->bstrVal ? value->bstrVal : L"";
    if (nameField && abbrevField && SUCCEEDED(rs->MoveFirst())) {
        VARIANT name;
        VariantInit(&name);
        for (; !AtEof(rs); rs->MoveNext()) {
            nameField->get_Value(&name);
            bool same = name.vt == VT_BSTR && wcscmp(name.bstrVal ? name.bstrVal : L"", wanted) == 0;
            VariantClear(&name);
            if (same) {
                VariantClear(out);
                abbrevField->get_Value(out);
                break;
            }
        }
    }
    if (nameField)
        nameField->Release();
    if (abbrevField)
        abbrevField->Release();
}

int CDatabase::FillSysPropertyBox(HWND propertyBox)
{
    return FillPropertyBoxFrom(propertyBox, SysTreeAttrs, SpeciesAttrs);
}

int CDatabase::FillLocPropertyBox(HWND propertyBox)
{
    return FillPropertyBoxFrom(propertyBox, LocTreeAttrs, FeatureAttrs);
}

void CDatabase::FillRecordPropertyBox(HWND propertyBox)
{
    FillPropertyBoxFrom(propertyBox, RecordAttrs, nullptr);
}

int CDatabase::FillLitPropertyBox(HWND propertyBox)
{
    return FillPropertyBoxFrom(propertyBox, LiteratureAttrs, nullptr);
}
