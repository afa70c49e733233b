// Column catalogues of the record and literature lists, the list queries that reopen the four
// list recordsets, their cell texts and counts, the type-ahead of the name combo boxes and the
// species and locality names.
#include "core/database.h"

#include <strsafe.h>
#include <wchar.h>

#include <string>

#include "core/ctlfill.h"
#include "core/fields.h"
#include "core/textutil.h"
#include "core/treefill.h"
#include "dataaccess/filterexpr.h"
#include "dataaccess/refusals.h"
#include "dataaccess/rowset.h"

using zdata::Field;
using zdata::Fields;
using zdata::Recordset;

namespace {

// Captions of the built-in catalogue columns.
enum CatalogueStringId
{
    IDS_COL_SPECIES = 106,
    IDS_COL_LOCALITY = 107,
    IDS_COL_LONGITUDE = 108,
    IDS_COL_LATITUDE = 109,
    IDS_COL_ALTITUDE = 110,
    IDS_COL_SQUARE = 111,
    IDS_COL_TITLE = 303,
    IDS_COL_AUTHOR = 307,
    IDS_COL_EDITOR = 328,
    IDS_COL_JOURNAL = 329,
    IDS_COL_ABSTRACT = 334,
};

const int kMaxListedNames = 127;

struct Caption
{
    wchar_t text[64];
    Caption(HINSTANCE instance, UINT id)
    {
        text[0] = 0;
        LoadStringW(instance, id, text, 64);
    }
};

// Every attribute of a table in list order; an attribute whose column was not found has no
// ordinal and gets no list column (it would otherwise show column 0).
void AddAttributes(CObjArray* catalogue, CPtrArray* attrs, const wchar_t* table, int offset)
{
    int count = attrs ? attrs->GetCount() : 0;
    for (int i = 0; i < count; ++i) {
        CustomAttrDef* def = static_cast<CustomAttrDef*>(attrs->GetItems()[i]);
        if (!def || def->ColumnOrdinal < 0)
            continue;
        CDatabase::AddDispField(catalogue, def->FieldName, table, def->Caption,
                                def->ColumnOrdinal + offset, def->Type);
    }
}

void SetFormatter(CDispField* entry, ValueFormatterFn formatter)
{
    if (entry)
        entry->ValueFormatter = formatter;
}

}  // namespace

// ---- catalogues ----

CDispField* CDatabase::AddDispField(CObjArray* catalogue, const wchar_t* fieldName,
                                    const wchar_t* tableName, const wchar_t* caption, int ordinal,
                                    int attrType)
{
    CDispField* entry = nullptr;
    for (int i = 0; i < catalogue->GetCount() && !entry; ++i) {
        CDispField* d = static_cast<CDispField*>(catalogue->GetItems()[i]);
        if (d && d->Field && d->Field->Kind == FIELD_DATABASE
            && _wcsicmp(static_cast<CFieldInfo*>(d->Field)->TableName, tableName) == 0
            && _wcsicmp(d->Field->Field, fieldName) == 0)
            entry = d;
    }
    if (!entry) {
        CFieldInfo* info = new CFieldInfo(fieldName, tableName);
        entry = new CDispField(info);
        entry->DispName = WideDup(caption ? caption : L"");
        entry->Visible = 1;
        entry->Width = 8 + 10 * (int)wcslen(entry->DispName);
        entry->Order = catalogue->GetCount();
        catalogue->Add(entry);
    }
    CFieldInfo* info = static_cast<CFieldInfo*>(entry->Field);
    CopyWideBounded(caption ? caption : L"", info->Name, 64);
    info->ColumnOrdinal = ordinal;
    if (attrType == ATTR_BOOLEAN)
        info->Alignment = FIELD_ALIGN_CENTER;
    else if (attrType >= ATTR_INTEGER && attrType <= ATTR_DATE)
        info->Alignment = FIELD_ALIGN_RIGHT;
    else
        info->Alignment = FIELD_ALIGN_LEFT;
    return entry;
}

void CDatabase::BuildSysHeaderColumns(CObjArray* catalogue)
{
    AddAttributes(catalogue, SpeciesAttrs, L"SPECIES", RecordColumnCount);
}

namespace {

void AddFeatureColumns(CDatabase* db, CObjArray* catalogue, bool withName)
{
    const int f = db->FirstFeatureColumn;
    HINSTANCE inst = db->Instance;
    if (withName)
        CDatabase::AddDispField(catalogue, L"NAME", L"FEATURES", Caption(inst, IDS_COL_LOCALITY).text,
                                f + 1, ATTR_TEXT);
    SetFormatter(CDatabase::AddDispField(catalogue, L"LONGITUDE", L"FEATURES",
                                         Caption(inst, IDS_COL_LONGITUDE).text, f + 3, ATTR_INTEGER),
                 FormatDegMinSec);
    SetFormatter(CDatabase::AddDispField(catalogue, L"LATITUDE", L"FEATURES",
                                         Caption(inst, IDS_COL_LATITUDE).text, f + 4, ATTR_INTEGER),
                 FormatDegMinSec);
    SetFormatter(CDatabase::AddDispField(catalogue, L"ALTITUDE", L"FEATURES", Caption(inst, IDS_COL_ALTITUDE).text,
                                         f + 5, ATTR_INTEGER),
                 FormatWholeNumber);
    CDatabase::AddDispField(catalogue, L"SQUARE", L"FEATURES", Caption(inst, IDS_COL_SQUARE).text,
                            f + 6, ATTR_INTEGER);
    AddAttributes(catalogue, db->FeatureAttrs, L"FEATURES", f);
}

// A new species column starts wide enough for a name such as "Lycaena brunnea", not only for
// its short caption "Druh".
const int kSpeciesColumnWidth = 150;

void AddSpeciesColumns(CDatabase* db, CObjArray* catalogue)
{
    const int before = catalogue->GetCount();
    CDispField* species = CDatabase::AddDispField(catalogue, L"NAME", L"SPECIES",
                                                  Caption(db->Instance, IDS_COL_SPECIES).text, db->RecordColumnCount,
                                                  ATTR_TEXT);
    if (species && catalogue->GetCount() > before && species->Width < kSpeciesColumnWidth)
        species->Width = kSpeciesColumnWidth;
    AddAttributes(catalogue, db->SpeciesAttrs, L"SPECIES", db->RecordColumnCount);
}

}  // namespace

void CDatabase::BuildSysListColumns(CObjArray* catalogue)
{
    AddFeatureColumns(this, catalogue, true);
    AddAttributes(catalogue, RecordAttrs, L"ZORNACOLLS", 0);
}

void CDatabase::BuildLocHeaderColumns(CObjArray* catalogue)
{
    AddFeatureColumns(this, catalogue, false);
}

void CDatabase::BuildLocListColumns(CObjArray* catalogue)
{
    AddSpeciesColumns(this, catalogue);
    AddAttributes(catalogue, RecordAttrs, L"ZORNACOLLS", 0);
}

void CDatabase::BuildSearchListColumns(CObjArray* catalogue)
{
    AddSpeciesColumns(this, catalogue);
    AddFeatureColumns(this, catalogue, true);
    AddAttributes(catalogue, RecordAttrs, L"ZORNACOLLS", 0);
}

void CDatabase::BuildLitListColumns(CObjArray* catalogue)
{
    const int l = LiteratureColumnCount;
    AddDispField(catalogue, L"NAME", L"LITERATURE", Caption(Instance, IDS_COL_TITLE).text, 1, ATTR_TEXT);
    AddDispField(catalogue, L"NAME", L"EDITORS", Caption(Instance, IDS_COL_EDITOR).text, l, ATTR_TEXT);
    AddDispField(catalogue, L"NAME", L"JOURNALS", Caption(Instance, IDS_COL_JOURNAL).text, l + 1, ATTR_TEXT);
    AddDispField(catalogue, L"NAME", L"LITAUTHORS", Caption(Instance, IDS_COL_AUTHOR).text, l + 2, ATTR_TEXT);
    AddDispField(catalogue, L"ABSTRACT", L"LITERATURE", Caption(Instance, IDS_COL_ABSTRACT).text, 10,
                 ATTR_LONG_TEXT);
    AddAttributes(catalogue, LiteratureAttrs, L"LITERATURE", 0);
}

void CDatabase::LabelColumns()
{
    static const struct {
        const wchar_t* table;
        const wchar_t* column;
        UINT caption;
    } builtIn[] = {
        {L"ZORNACOLLS", L"SYSID", IDS_COL_SPECIES},  {L"ZORNACOLLS", L"FTRID", IDS_COL_LOCALITY},
        {L"SPECIES", L"NAME", IDS_COL_SPECIES},      {L"FEATURES", L"NAME", IDS_COL_LOCALITY},
        {L"FEATURES", L"LONGITUDE", IDS_COL_LONGITUDE}, {L"FEATURES", L"LATITUDE", IDS_COL_LATITUDE},
        {L"FEATURES", L"ALTITUDE", IDS_COL_ALTITUDE}, {L"FEATURES", L"SQUARE", IDS_COL_SQUARE},
        {L"LITERATURE", L"NAME", IDS_COL_TITLE},     {L"EDITORS", L"NAME", IDS_COL_EDITOR},
        {L"JOURNALS", L"NAME", IDS_COL_JOURNAL},
    };
    for (const auto& b : builtIn)
        zdata::SetColumnLabel(AdoConnection, b.table, b.column, Caption(Instance, b.caption).text);
    const struct {
        const wchar_t* table;
        CPtrArray* attrs;
    } lists[] = {
        {L"SYSTREE", SysTreeAttrs}, {L"LOCTREE", LocTreeAttrs},   {L"SPECIES", SpeciesAttrs},
        {L"FEATURES", FeatureAttrs}, {L"ZORNACOLLS", RecordAttrs}, {L"LITERATURE", LiteratureAttrs},
    };
    for (const auto& l : lists) {
        for (int i = 0; i < l.attrs->GetCount(); ++i) {
            const CustomAttrDef* def = static_cast<const CustomAttrDef*>(l.attrs->GetItems()[i]);
            if (def)
                zdata::SetColumnLabel(AdoConnection, l.table, def->FieldName, def->Caption);
        }
    }
}

int FormatDegMinSec(VARIANT value, wchar_t* buffer, int size, CFieldBase*)
{
    if (!buffer || size <= 0)
        return 16;
    int d = 0, m = 0, s = 0;
    if (VariantToDms(&value, &d, &m, &s))
        StringCchPrintfW(buffer, size, L"%d\u00B0 %d' %d\"", d, m, s);
    else
        buffer[0] = 0;
    return 0;
}

int FormatWholeNumber(VARIANT value, wchar_t* buffer, int size, CFieldBase*)
{
    if (!buffer || size <= 0)
        return 32;
    buffer[0] = 0;
    if (value.vt != VT_EMPTY && value.vt != VT_NULL && value.vt != VT_BSTR && value.vt != VT_BYREF)
        WholeNumberToText(VariantToReal(&value), buffer, size);
    return 0;
}

// ---- name lists and list cells ----

void CDatabase::LoadNameLists()
{
    GetCachedRecordset(RS_SPECIES_NAMES);
    GetCachedRecordset(RS_FEATURE_NAMES);
    GetCachedRecordset(RS_LITERATURE_NAMES);
}

void CDatabase::GetTaxonListCell(LVITEMW* item, HWND list)
{
    GetListItemText(Instance, item, TaxonRecordsRs, list);
}

void CDatabase::GetLocalityListCell(LVITEMW* item, HWND list)
{
    GetListItemText(Instance, item, LocalityRecordsRs, list);
}

void CDatabase::GetSearchListCell(LVITEMW* item, HWND list)
{
    GetListItemText(Instance, item, SearchRecordsRs, list);
}

void CDatabase::GetLiteratureListCell(LVITEMW* item, HWND list)
{
    GetListItemText(Instance, item, LiteratureListRs, list);
}

// ---- list queries ----

namespace {

wchar_t* ViewColumn(CPtrArray* names, const CFieldBase* key)
{
    if (!names || !key || key->Kind != FIELD_DATABASE)
        return nullptr;
    int ordinal = static_cast<const CFieldInfo*>(key)->ColumnOrdinal;
    // A key whose ordinal is not a column of the view is left out rather than read past the
    // list of names.
    if (ordinal < 0 || ordinal >= names->GetCount())
        return nullptr;
    return static_cast<wchar_t*>(names->GetItems()[ordinal]);
}

std::wstring OrderBy(CPtrArray* names, const ListQuery* q)
{
    std::wstring keys;
    for (int i = 0; q->SortKeys && i < q->SortKeyCount; ++i) {
        const wchar_t* name = ViewColumn(names, q->SortKeys[i]);
        if (!name || !*name)
            continue;
        if (!keys.empty())
            keys += L", ";
        // Names come from the view and may hold blanks, ":n" or a keyword.
        keys += zdata::QuoteIdentifier(name);
        if (q->Descending)
            keys += L" DESC";
    }
    return keys.empty() ? keys : L" ORDER BY " + keys;
}

}  // namespace

std::wstring CDatabase::BuildListQuerySql(const ListQuery* q)
{
    if (!q)
        return std::wstring();
    std::wstring id = std::to_wstring(q->Id);
    switch (q->Kind) {
    case 1:
        return L"SELECT * FROM COLLECTVIEW WHERE T1.SYSID = " + id + OrderBy(RecordViewFields, q);
    case 2:
        return L"SELECT * FROM COLLECTVIEW WHERE FTRID = " + id + OrderBy(RecordViewFields, q);
    case 3:
        if (q->Where)
            return std::wstring(L"SELECT * FROM COLLECTVIEW WHERE ") + q->Where + OrderBy(RecordViewFields, q);
        return L"SELECT * FROM COLLECTVIEW" + OrderBy(RecordViewFields, q);
    case 4:
        // The first author's restriction holds whatever condition comes with it.
        if (q->Where && q->Id >= 0)
            return L"SELECT * FROM LITVIEW WHERE FIRSTAUTHOR = " + id + L" AND (" + q->Where + L")" +
                   OrderBy(LitViewFields, q);
        if (q->Where)
            return std::wstring(L"SELECT * FROM LITVIEW WHERE ") + q->Where + OrderBy(LitViewFields, q);
        if (q->Id >= 0)
            return L"SELECT * FROM LITVIEW WHERE FIRSTAUTHOR = " + id + OrderBy(LitViewFields, q);
        return L"SELECT * FROM LITVIEW" + OrderBy(LitViewFields, q);
    }
    return std::wstring();
}

namespace {

void RunListQuery(CDatabase* db, CachedRecordset kind, ListQuery* q)
{
    if (!q)
        return;
    q->RowCount = 0;
    std::wstring sql = db->BuildListQuerySql(q);
    if (sql.empty())
        return;
    // A statement the database refuses (a search condition too deep for it, say) is reported
    // with the database's own words; the list stays empty.
    if (FAILED(db->ReopenListRecordset(kind, sql.c_str()))) {
        if (db->IsOpen())
            db->ReportAdoErrors();
        return;
    }
    Recordset* rs = db->RecordsetSlot(kind);
    // The count of a keyset is complete only once the last row has been reached.
    rs->MoveLast();
    long count = 0;
    if (SUCCEEDED(rs->get_RecordCount(&count)) && count > 0)
        q->RowCount = (int)count;
}

void SetListCount(Recordset* rs, HWND list)
{
    if (!rs)
        return;
    long count = 0;
    if (FAILED(rs->get_RecordCount(&count)) || count < 0)
        count = 0;
    SendMessageW(list, LVM_SETITEMCOUNT, (WPARAM)count, 0);
}

}  // namespace

void CDatabase::QueryTaxonRecords(int, ListQuery* query)
{
    RunListQuery(this, RS_TAXON_RECORDS, query);
}

void CDatabase::QueryLocalityRecords(int, ListQuery* query)
{
    RunListQuery(this, RS_LOCALITY_RECORDS, query);
}

void CDatabase::QueryAllRecords(int, ListQuery* query)
{
    RunListQuery(this, RS_SEARCH_RECORDS, query);
}

void CDatabase::QueryLiterature(int, ListQuery* query)
{
    RunListQuery(this, RS_LITERATURE_LIST, query);
}

void CDatabase::SetTaxonListCount(HWND list) { SetListCount(TaxonRecordsRs, list); }
void CDatabase::SetLocalityListCount(HWND list) { SetListCount(LocalityRecordsRs, list); }
void CDatabase::SetSearchListCount(HWND list) { SetListCount(SearchRecordsRs, list); }
void CDatabase::SetLiteratureListCount(HWND list) { SetListCount(LiteratureListRs, list); }

// ---- type-ahead of the name combo boxes ----

namespace {

void RestoreComboText(HWND combo, const wchar_t* text)
{
    SetWindowTextW(combo, text);
    int len = (int)wcslen(text);
    SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(len, len));
}

// The list a combo box drops (its entries are drawn there).
HWND DroppedListOf(HWND combo)
{
    COMBOBOXINFO info = {};
    info.cbSize = sizeof(info);
    return GetComboBoxInfo(combo, &info) ? info.hwndList : nullptr;
}

// Puts the names the filter finds into the combo's list (emptied first when it held entries),
// each with its row id; more names than a list takes leave it empty.
void FillNameList(Recordset* rs, HWND combo, const wchar_t* text, const std::wstring& filter,
                  bool hadEntries)
{
    DrawingPaused paused(DroppedListOf(combo));
    if (hadEntries) {
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        RestoreComboText(combo, text);
    }
    if (FAILED(rs->put_Filter(filter.c_str())))
        return;
    long count = 0;
    rs->get_RecordCount(&count);
    if (count > kMaxListedNames || count <= 0 || FAILED(rs->MoveFirst()))
        return;
    Fields* fields = nullptr;
    while (!rs->IsEOF()) {
        if (SUCCEEDED(rs->get_Fields(&fields)) && fields) {
            Field* nameField = nullptr;
            Field* idField = nullptr;
            VARIANT name, id;
            VariantInit(&name);
            VariantInit(&id);
            if (SUCCEEDED(fields->Item(0L, &nameField)) && nameField)
                nameField->get_Value(&name);
            if (SUCCEEDED(fields->Item(1L, &idField)) && idField)
                idField->get_Value(&id);
            if (name.vt == VT_BSTR) {
                LRESULT at = SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)name.bstrVal);
                if (at >= 0)
                    SendMessageW(combo, CB_SETITEMDATA, at, (LPARAM)VariantToInt(&id));
            }
            VariantClear(&name);
            VariantClear(&id);
            if (nameField)
                nameField->Release();
            if (idField)
                idField->Release();
            fields->Release();
            fields = nullptr;
        }
        if (FAILED(rs->MoveNext()))
            break;
    }
}

bool EndsInCh(const std::wstring& text)
{
    size_t n = text.size();
    return n >= 2 && (text[n - 2] == L'c' || text[n - 2] == L'C')
           && (text[n - 1] == L'h' || text[n - 1] == L'H');
}

}  // namespace

Recordset* CDatabase::NameListRecordset(int kind)
{
    if (kind == 2)
        RefreshLiteratureNames();
    return kind == 0 ? SpeciesNamesRs : kind == 1 ? FeatureNamesRs : kind == 2 ? LiteratureNamesRs : nullptr;
}

void CDatabase::ListAllNames(int kind, HWND combo)
{
    Recordset* rs = NameListRecordset(kind);
    if (!rs)
        return;
    FillNameList(rs, combo, L"", L"", SendMessageW(combo, CB_GETCOUNT, 0, 0) > 0);
    NameListFilled[kind] = combo;
}

void CDatabase::FilterListByName(int kind, int dropDown, HWND combo, const wchar_t* text)
{
    Recordset* rs = NameListRecordset(kind);
    if (!rs)
        return;
    if (!text || !*text) {
        VARIANT none;
        VariantInit(&none);
        none.vt = VT_I4;
        none.lVal = adFilterNone;
        rs->put_Filter(none);
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        return;
    }

    // The typed text is matched literally: apostrophes doubled, wildcards bracketed.
    std::wstring filter = L"NAME LIKE '" + zdata::FilterLikeEscape(text) + L"*'";
    int items = (int)SendMessageW(combo, CB_GETCOUNT, 0, 0);
    if (items < 0)
        items = 0;
    std::wstring current;
    VARIANT cur;
    VariantInit(&cur);
    if (SUCCEEDED(rs->get_Filter(&cur)) && cur.vt == VT_BSTR && cur.bstrVal)
        current = cur.bstrVal;
    VariantClear(&cur);

    bool anew = items == 0 || current.empty() || NameListFilled[kind] != combo;
    if (!anew) {
        std::wstring stem = current;
        if (stem.size() >= 2 && stem.compare(stem.size() - 2, 2, L"*'") == 0)
            stem.resize(stem.size() - 2);
        if (filter.compare(0, stem.size(), stem) != 0)
            anew = true;  // shortened or changed
        // "ch" collates as a letter of its own, so a typed h after a c can lose matches.
        else if (EndsInCh(text) && filter.size() <= current.size() + 1)
            anew = true;
    }
    if (!anew) {
        int found = (int)SendMessageW(combo, CB_FINDSTRING, (WPARAM)-1, (LPARAM)text);
        if (found != CB_ERR)
            SendMessageW(combo, CB_SETTOPINDEX, found, 0);
        return;
    }

    // The list is refilled in one piece, then drawn and dropped.
    FillNameList(rs, combo, text, filter, items > 0);
    NameListFilled[kind] = combo;
    if (dropDown) {
        SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
        RestoreComboText(combo, text);
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    }
}

void CDatabase::FilterListByComboText(int kind, HWND combo)
{
    int len = GetWindowTextLengthW(combo);
    std::wstring text(len + 1, L'\0');
    GetWindowTextW(combo, &text[0], len + 1);
    FilterListByName(kind, 1, combo, text.c_str());
}

// ---- names ----

namespace {

wchar_t* FirstText(CDatabase* db, const wchar_t* sql)
{
    Recordset* rs = db->OpenQuery(sql, adUseServer, adOpenKeyset, adLockReadOnly);
    std::wstring text;
    if (rs) {
        Fields* fields = nullptr;
        if (SUCCEEDED(rs->MoveFirst()) && SUCCEEDED(rs->get_Fields(&fields)) && fields) {
            Field* f = nullptr;
            if (SUCCEEDED(fields->Item(0L, &f)) && f) {
                VARIANT v;
                VariantInit(&v);
                f->get_Value(&v);
                if (v.vt == VT_BSTR && v.bstrVal)
                    text = v.bstrVal;
                VariantClear(&v);
                f->Release();
            }
            fields->Release();
        }
        rs->Close();
        rs->Release();
    }
    return WideDup(text.c_str());
}

}  // namespace

wchar_t* CDatabase::GetSpeciesName(int taxonId)
{
    wchar_t sql[96];
    StringCchPrintfW(sql, 96, L"SELECT NAME FROM SPECIES WHERE SYSID = %d", taxonId);
    return FirstText(this, sql);
}

wchar_t* CDatabase::GetLocalityName(int localityId)
{
    wchar_t sql[96];
    StringCchPrintfW(sql, 96, L"SELECT NAME FROM LOCTREE WHERE ID = %d", localityId);
    return FirstText(this, sql);
}

// ---- id paths ----

void CDatabase::GetSysIdPath(CIntArray* path, int itemId, int)
{
    BuildIdPath(path, itemId, GetSysTreeRs());
}

void CDatabase::GetLocIdPath(CIntArray* path, int itemId, int)
{
    BuildIdPath(path, itemId, GetLocTreeRs());
}
