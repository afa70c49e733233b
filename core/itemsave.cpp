// Loading and saving tree items: a taxon (SYSTREE row with its SPECIES row) or a locality
// (LOCTREE row with its FEATURES row), their attribute values, lookup values and pictures.
#include "core/database.h"

#include <strsafe.h>

#include <string>

#include "core/itemrecords.h"
#include "core/itemsave_rows.h"
#include "core/treemove.h"
#include "core/textutil.h"
#include "core/zm_messages.h"

using zdata::Fields;
using zdata::Recordset;
using namespace itemsave;

namespace {

// Column ordinals of the tables written here.
enum SysTreeColumn { SYS_ID = 0, SYS_PARENT = 1, SYS_LEVEL = 2, SYS_POS = 3, SYS_NAME = 4 };
enum LocTreeColumn { LOC_ID = 0, LOC_PARENT = 1, LOC_LEVEL = 2, LOC_NAME = 3, LOC_ABBREV = 4 };
const long kIconColumn = 5;  // 5, 6, 7: large, small and open icon of both trees
enum SpeciesColumn { SPE_NAME = 0, SPE_SYSID = 1, SPE_AUTHOR = 3, SPE_PARENTHES = 4, SPE_YEAR = 5 };
enum FeatureColumn
{
    FEA_LOCID = 0, FEA_NAME = 1, FEA_ABBREV = 2, FEA_LONGITUDE = 3, FEA_LATITUDE = 4,
    FEA_ALTITUDE = 5, FEA_SQUARE = 6, FEA_NOTE = 7
};
enum ImageColumn { IMG_ITEM = 0, IMG_ORDER = 1, IMG_NOTE = 2, IMG_PICTURE = 3 };

VARIANT* NewVariant()
{
    VARIANT* v = (VARIANT*)malloc(sizeof(VARIANT));
    if (v)
        VariantInit(v);
    return v;
}

const VARIANT& ValueAt(const CPtrArray* values, int index)
{
    static const VARIANT empty = {};  // VT_EMPTY
    if (!values || index < 0 || index >= values->GetCount() || !values->GetItems()[index])
        return empty;
    return *(const VARIANT*)values->GetItems()[index];
}

bool IsNullOrEmpty(const VARIANT& v)
{
    return v.vt == VT_EMPTY || v.vt == VT_NULL;
}

// Puts the value into the lookup table's cached list, unless the list holds it already ignoring
// case ("ČERNÝ" for "Černý"): then *stored gets the list's own spelling, which the attribute
// takes, since its column refers to the list's key. A value the list refuses otherwise fails its
// Update, which is cancelled without a message: it is no error.
void AddLookupValue(CDatabase* db, int kind, const CustomAttrDef* def, const VARIANT& value,
                    VARIANT* stored)
{
    // The cache answers kLookupNotAvailable (and nothing else outside it) for a table it cannot
    // open; GetLookupRecordset gives no recordset for any index outside the cache.
    Recordset* rs = db->GetLookupRecordset(db->LoadLookupValues(kind, def->FieldName));
    if (!rs)
        return;
    std::wstring spelling;
    if (value.vt == VT_BSTR && value.bstrVal && FindName(rs, value.bstrVal, &spelling)) {
        VariantClear(stored);
        stored->vt = VT_BSTR;
        stored->bstrVal = SysAllocStringLen(spelling.data(), (UINT)spelling.size());
        return;
    }
    if (FAILED(rs->AddNew()))
        return;
    FieldsRef fields(rs);
    zdata::Field* name = nullptr;
    if (fields && SUCCEEDED(fields.get()->Item(L"NAME", &name)) && name) {
        HRESULT hr = name->put_Value(value);
        name->Release();
        if (SUCCEEDED(hr) && SUCCEEDED(rs->Update()))
            return;
    }
    rs->CancelUpdate();
}

// The position after the last child of a parent: one above the highest SYSPOS among them, read
// from every child, since rows added or moved since the last Requery are not in order.
int NextSiblingPosition(Recordset* tree, int parent)
{
    wchar_t filter[48];
    StringCchPrintfW(filter, 48, L"PARENT = %d", parent);
    if (FAILED(tree->put_Filter(filter)))
        return 1;
    int highest = 0;
    FieldsRef fields(tree);
    if (SUCCEEDED(tree->MoveFirst())) {
        for (; HasRow(tree); tree->MoveNext()) {
            int position = GetInt(fields.get(), SYS_POS);
            if (position > highest)
                highest = position;
        }
    }
    return highest + 1;
}

struct TreeKind
{
    bool taxon;
    const wchar_t* treeTable;
    const wchar_t* dataSql;     // "%d": the item's id
    const wchar_t* picturesSql;
    int treeLookupKind;
    int dataLookupKind;
    int findLevelKind;          // wParam of ZM_FIND_LEVEL
};

const TreeKind kTaxon = { true, L"SYSTREE", L"SELECT * FROM SPECIES WHERE SYSID = %d",
                          L"SELECT * FROM SYSIMAGES WHERE SYSID = %d ORDER BY SYSLEVEL",
                          LOOKUP_SYSTREE, LOOKUP_SPECIES, 1 };
const TreeKind kLocality = { false, L"LOCTREE", L"SELECT * FROM FEATURES WHERE LOCID = %d",
                             L"SELECT * FROM LOCIMAGES WHERE LOCID = %d ORDER BY LOCLEVEL",
                             LOOKUP_LOCTREE, LOOKUP_FEATURES, 2 };

std::wstring Sql(const wchar_t* format, int id)
{
    wchar_t sql[128];
    StringCchPrintfW(sql, 128, format, id);
    return sql;
}

// The SPECIES row of a taxon: name, item, author (added to the author list), author in
// parentheses, year and the SPECIES attributes.
HRESULT WriteSpeciesRow(CDatabase* db, Fields* f, TreeItemRecord* r, int valueIndex)
{
    HRESULT hr = S_OK;
    KeepFirstFailure keep(hr);
    keep(PutText(f, SPE_NAME, r->Name, false));
    keep(PutInt(f, SPE_SYSID, r->Id));
    // An author the list holds in another case is written as the list spells it; a new one is
    // added to the list.
    std::wstring author = r->Author;
    if (r->Author[0]) {
        db->OpenSysAuthors();
        std::wstring stored;
        if (FindName(db->SysAuthorsRs, r->Author, &stored))
            author = stored;
        else
            db->AddSysAuthor(r->Author);
    }
    keep(PutText(f, SPE_AUTHOR, author.c_str(), true));
    keep(PutBool(f, SPE_PARENTHES, r->AuthorInParentheses));
    keep(PutValue(f, SPE_YEAR, r->Year));
    WriteValues(db, valueIndex, LOOKUP_SPECIES, f, r->Values, db->SpeciesAttrs, &hr);
    return hr;
}

HRESULT WriteFeatureRow(CDatabase* db, Fields* f, TreeItemRecord* r, int valueIndex)
{
    HRESULT hr = S_OK;
    KeepFirstFailure keep(hr);
    keep(PutInt(f, FEA_LOCID, r->Id));
    keep(PutText(f, FEA_NAME, r->Name, false));
    keep(PutText(f, FEA_ABBREV, r->Abbrev, true));
    keep(PutValue(f, FEA_LONGITUDE, r->Longitude));
    keep(PutValue(f, FEA_LATITUDE, r->Latitude));
    keep(PutValue(f, FEA_ALTITUDE, r->Altitude));
    keep(PutText(f, FEA_SQUARE, r->Square, true));
    keep(PutValue(f, FEA_NOTE, r->Note));
    WriteValues(db, valueIndex, LOOKUP_FEATURES, f, r->Values, db->FeatureAttrs, &hr);
    return hr;
}

// Writes, adds or deletes the item's data row as its level asks. *rowChanged tells whether the
// row was added or deleted (the name lists then need their rows read again).
bool SaveDataRow(CDatabase* db, const TreeKind& kind, TreeItemRecord* r, int valueIndex,
                 bool* rowChanged)
{
    *rowChanged = false;
    bool dataLevel =
        SendMessageW(db->MainWindow, ZM_FIND_LEVEL, (WPARAM)kind.findLevelKind, (LPARAM)r->LevelId) != 0;
    RsHolder data(OpenForWrite(db, Sql(kind.dataSql, r->Id).c_str()));
    if (!IsRecordsetOpen(data.get()))
        return false;
    bool hasRow = HasRow(data.get());
    if (!hasRow && !dataLevel)
        return true;
    if (hasRow && !dataLevel) {
        // The item left the data levels: its data row goes.
        if (FAILED(data->Delete(adAffectCurrent)))
            return false;
        *rowChanged = true;
        return true;
    }
    if (hasRow) {
        data->MoveFirst();
    } else {
        if (FAILED(data->AddNew()))
            return false;
        *rowChanged = true;
    }
    FieldsRef f(data.get());
    HRESULT hr = kind.taxon ? WriteSpeciesRow(db, f.get(), r, valueIndex)
                            : WriteFeatureRow(db, f.get(), r, valueIndex);
    if (SUCCEEDED(hr))
        hr = data->Update();
    if (FAILED(hr)) {
        data->CancelUpdate();
        return false;
    }
    return true;
}

// Composed species names or locality labels below the item: 1 when any was written, 0 when
// none depends on the item, -1 when one was refused (its errors have been shown).
int RecomposeNames(CDatabase* db, const TreeKind& kind, int id)
{
    RsHolder defs(kind.taxon ? db->OpenSysDefs() : db->OpenLocDefs());
    if (!IsRecordsetOpen(defs.get()))
        return 0;
    if (kind.taxon)
        return UpdateSpeciesNames(id, db->SysTreeRs, defs.get(), db->AdoConnection);
    return UpdateLocalityLabels(id, db->LocTreeRs, defs.get(), db->AdoConnection);
}

int SaveTreeItem(CDatabase* db, int parent, TreeItemRecord* r, const TreeKind& kind)
{
    if (!r || !db->IsOpen())
        return 0;
    // A new item is one with a parent and without an id; anything else is a caller's mix-up
    // that would overwrite another item's id or store one without a parent.
    bool isNew = parent >= 0;
    if (isNew != (r->Id < 1))
        return 0;
    Recordset* tree = kind.taxon ? db->GetSysTreeRs() : db->GetLocTreeRs();
    if (!IsRecordsetOpen(tree))
        return 0;
    WriteTransaction tx(db);
    if (!tx.Begin())
        return 0;
    const int oldId = r->Id;
    auto failed = [&](bool report) {
        if (report)
            tx.Fail();
        else
            tx.Rollback();
        r->Id = oldId;  // nothing was stored: the record stays a new one
        return 0;
    };

    // 1-2: the position after the last sibling, and the row.
    int position = (isNew && kind.taxon) ? NextSiblingPosition(tree, parent) : 0;
    if (isNew) {
        if (FAILED(tree->AddNew()))
            return failed(true);
    } else {
        if (FAILED(tree->put_Filter(Sql(L"ID = %d", r->Id).c_str())) || !HasRow(tree))
            return failed(false);
    }
    // 3-8: the tree row.
    FieldsRef f(tree);
    HRESULT hr = f ? S_OK : E_FAIL;
    KeepFirstFailure keep(hr);
    if (isNew) {
        r->Id = db->SelectMax(L"ID", kind.treeTable);
        keep(PutInt(f.get(), 0, r->Id));
        keep(PutInt(f.get(), 1, parent));
    }
    keep(PutInt(f.get(), 2, r->LevelId));
    if (kind.taxon) {
        if (isNew)
            keep(PutInt(f.get(), SYS_POS, position));
        keep(PutText(f.get(), SYS_NAME, r->Name, false));
    } else {
        keep(PutText(f.get(), LOC_NAME, r->Name, false));
        keep(PutText(f.get(), LOC_ABBREV, r->Abbrev, true));
    }
    keep(PutValue(f.get(), kIconColumn, r->IconLarge));
    keep(PutValue(f.get(), kIconColumn + 1, r->IconSmall));
    keep(PutValue(f.get(), kIconColumn + 2, r->IconOpen));
    int next = WriteValues(db, 0, kind.treeLookupKind, f.get(), r->Values,
                           kind.taxon ? db->SysTreeAttrs : db->LocTreeAttrs, &hr);
    // 9: a refused tree row ends the save before anything else is written.
    if (SUCCEEDED(hr))
        hr = tree->Update();
    if (FAILED(hr)) {
        tree->CancelUpdate();
        return failed(true);
    }
    // 10-12: the data row.
    bool rowChanged = false;
    if (!SaveDataRow(db, kind, r, next, &rowChanged))
        return failed(true);
    // 13: the pictures, when the caller gave a list.
    if (r->Pictures) {
        RsHolder pictures(OpenForWrite(db, Sql(kind.picturesSql, r->Id).c_str()));
        if (!IsRecordsetOpen(pictures.get())
            || FAILED(WriteImageRows(r->Id, pictures.get(), r->Pictures)))
            return failed(true);
    }
    // 14: derived names below the item.
    int recomposed = RecomposeNames(db, kind, r->Id);
    if (recomposed < 0)
        return failed(false);
    bool namesChanged = recomposed > 0;
    if (!tx.Commit()) {
        r->Id = oldId;
        return 0;
    }
    // The name lists: a data row that came or went changes their rows, which only a Requery
    // shows; changed names alone need only their values read again.
    Recordset* names = kind.taxon ? db->SpeciesNamesRs : db->FeatureNamesRs;
    if (rowChanged)
        RequeryIfOpen(names);
    else if (namesChanged)
        ResyncAllIfOpen(names);
    // 15: the item's row as stored.
    if (SUCCEEDED(tree->put_Filter(Sql(L"ID = %d", r->Id).c_str())) && HasRow(tree))
        tree->Resync(adAffectCurrent, adResyncAllValues);
    return 1;
}

// ---- loading ----

void ReadTreeRow(CDatabase* db, const TreeKind& kind, TreeItemRecord* r)
{
    Recordset* tree = kind.taxon ? db->GetSysTreeRs() : db->GetLocTreeRs();
    VariantClear(&r->IconLarge);
    VariantClear(&r->IconSmall);
    VariantClear(&r->IconOpen);
    CPtrArray* defs = kind.taxon ? db->SysTreeAttrs : db->LocTreeAttrs;
    bool found = IsRecordsetOpen(tree)
                 && SUCCEEDED(tree->put_Filter(Sql(L"ID = %d", r->Id).c_str()))
                 && HasRow(tree);
    if (!found) {
        if (!kind.taxon)
            r->Abbrev[0] = L'\0';
        ReadCustomValues(nullptr, r->Values, defs);
        return;
    }
    FieldsRef f(tree);
    if (kind.taxon) {
        GetText(f.get(), SYS_NAME, r->Name, 64);
    } else {
        GetText(f.get(), LOC_NAME, r->Name, 64);
        GetText(f.get(), LOC_ABBREV, r->Abbrev, 8);
    }
    GetValue(f.get(), kIconColumn, &r->IconLarge);
    GetValue(f.get(), kIconColumn + 1, &r->IconSmall);
    GetValue(f.get(), kIconColumn + 2, &r->IconOpen);
    ReadCustomValues(f.get(), r->Values, defs);
}

void ReadDataRow(CDatabase* db, const TreeKind& kind, TreeItemRecord* r)
{
    RsHolder data(OpenForRead(db, Sql(kind.dataSql, r->Id).c_str()));
    bool found = HasRow(data.get());
    FieldsRef f(found ? data.get() : nullptr);
    if (kind.taxon) {
        VariantClear(&r->Year);
        r->Author[0] = L'\0';
        r->AuthorInParentheses = 0;
        if (found) {
            GetText(f.get(), SPE_AUTHOR, r->Author, 64);
            VARIANT v;
            GetValue(f.get(), SPE_PARENTHES, &v);
            r->AuthorInParentheses = VariantToIntOrZero(&v);
            VariantClear(&v);
            GetValue(f.get(), SPE_YEAR, &r->Year);
        }
        ReadCustomValues(f.get(), r->Values, db->SpeciesAttrs);
    } else {
        VariantClear(&r->Note);
        VariantClear(&r->Longitude);
        VariantClear(&r->Latitude);
        VariantClear(&r->Altitude);
        r->Square[0] = L'\0';
        if (found) {
            GetValue(f.get(), FEA_LONGITUDE, &r->Longitude);
            GetValue(f.get(), FEA_LATITUDE, &r->Latitude);
            GetValue(f.get(), FEA_ALTITUDE, &r->Altitude);
            GetText(f.get(), FEA_SQUARE, r->Square, 8);
            GetValue(f.get(), FEA_NOTE, &r->Note);
        }
        ReadCustomValues(f.get(), r->Values, db->FeatureAttrs);
    }
    data.Reset(OpenForRead(db, Sql(kind.picturesSql, r->Id).c_str()));
    ReadImageRows(data.get(), r->Pictures);
}

int LoadTreeItem(CDatabase* db, TreeItemRecord* r, const TreeKind& kind)
{
    if (!r)
        return 0;
    ReadTreeRow(db, kind, r);
    ReadDataRow(db, kind, r);
    return 1;
}

}  // namespace

int itemsave::WriteValues(CDatabase* db, int start, int kind, Fields* fields,
                          CPtrArray* values, CPtrArray* defs, HRESULT* failure)
{
    int count = defs ? defs->GetCount() : 0;
    for (int i = 0; i < count; i++) {
        const CustomAttrDef* def = (const CustomAttrDef*)defs->GetItems()[i];
        const VARIANT& x = ValueAt(values, start + i);
        if (!def)
            continue;
        VARIANT stored;
        VariantInit(&stored);
        if (!IsNullOrEmpty(x) && (def->Type == ATTR_LOOKUP || def->Type == ATTR_GEO_LOOKUP))
            AddLookupValue(db, kind, def, x, &stored);
        // An attribute without a column (kNoColumn) is skipped, never written into column 0.
        HRESULT hr = PutAttrValue(fields, def, stored.vt == VT_EMPTY ? x : stored);
        VariantClear(&stored);
        if (FAILED(hr) && failure && SUCCEEDED(*failure))
            *failure = hr;
    }
    return start + count;
}

// ---- attribute values and pictures ----

int WriteCustomValues(CDatabase* db, int start, int kind, Fields* fields, CPtrArray* values,
                      CPtrArray* defs)
{
    return WriteValues(db, start, kind, fields, values, defs, nullptr);
}

void ReadCustomValues(Fields* fields, CPtrArray* values, CPtrArray* defs)
{
    if (!values || !defs)
        return;
    for (int i = 0; i < defs->GetCount(); i++) {
        VARIANT* v = NewVariant();
        if (!v)
            return;
        // Without fields, and for an attribute without a column, the value is empty.
        if (fields)
            GetAttrValue(fields, (const CustomAttrDef*)defs->GetItems()[i], v);
        values->Add(v);
    }
}

HRESULT WriteImageRows(int itemId, Recordset* rs, CPtrArray* pictures)
{
    if (!IsRecordsetOpen(rs))
        return E_FAIL;
    if (HasRow(rs) && SUCCEEDED(rs->MoveFirst())) {
        while (HasRow(rs)) {
            HRESULT hr = rs->Delete(adAffectCurrent);
            if (FAILED(hr))
                return hr;
            rs->MoveNext();
        }
        rs->Resync(adAffectAll, adResyncAllValues);
    }
    int count = pictures ? pictures->GetCount() : 0;
    for (int i = 0; i < count; i++) {
        const ItemPicture* picture = (const ItemPicture*)pictures->GetItems()[i];
        HRESULT hr = rs->AddNew();
        if (SUCCEEDED(hr)) {
            FieldsRef f(rs);
            KeepFirstFailure keep(hr);
            keep(PutInt(f.get(), IMG_ITEM, itemId));
            keep(PutInt(f.get(), IMG_ORDER, i + 1));  // the picture's order number
            if (picture) {
                keep(PutValue(f.get(), IMG_NOTE, picture->Note));
                keep(PutValue(f.get(), IMG_PICTURE, picture->Picture));
            }
            if (SUCCEEDED(hr))
                hr = rs->Update();
        }
        if (FAILED(hr)) {
            rs->CancelUpdate();
            return hr;
        }
    }
    return S_OK;
}

void ReadImageRows(Recordset* rs, CPtrArray* pictures)
{
    if (!pictures || !HasRow(rs) || FAILED(rs->MoveFirst()))
        return;
    FieldsRef f(rs);
    for (; HasRow(rs); rs->MoveNext()) {
        ItemPicture* picture = (ItemPicture*)calloc(1, sizeof(ItemPicture));
        if (!picture)
            return;
        picture->Bitmap = nullptr;
        GetValue(f.get(), IMG_NOTE, &picture->Note);
        GetValue(f.get(), IMG_PICTURE, &picture->Picture);
        pictures->Add(picture);
    }
}

// ---- the database object's operations ----

int CDatabase::LoadSysItem(TreeItemRecord* item)
{
    return LoadTreeItem(this, item, kTaxon);
}

int CDatabase::LoadLocItem(TreeItemRecord* item)
{
    return LoadTreeItem(this, item, kLocality);
}

int CDatabase::SaveSysItem(int parent, TreeItemRecord* item)
{
    return SaveTreeItem(this, parent, item, kTaxon);
}

int CDatabase::SaveLocItem(int parent, TreeItemRecord* item)
{
    return SaveTreeItem(this, parent, item, kLocality);
}

int CDatabase::AddSysItemByLabel(NMTVDISPINFOW*)
{
    // New items are made only through the item dialog.
    return 0;
}

int CDatabase::AddLocItemByLabel(NMTVDISPINFOW*)
{
    return 0;
}
