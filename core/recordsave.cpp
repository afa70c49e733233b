// Loading and saving occurrence records, and the names of species, locality and literature rows
// by id.
#include "core/database.h"

#include <strsafe.h>

#include "core/composednames.h"
#include "core/itemrecords.h"
#include "core/itemsave_rows.h"
#include "core/textutil.h"
#include "core/treemove.h"

using zdata::Fields;
using zdata::Recordset;
using namespace itemsave;

namespace {

enum RecordColumn { REC_ID = 0, REC_SYSID = 1, REC_FTRID = 2, REC_LITID = 3, REC_NOTE = 4 };

// ReadCustomValues of the list row's attributes: the record lists keep the record's own columns
// first, so the ordinals are those of ZORNACOLLS.
void ReadRecordRow(CDatabase* db, Recordset* list, OccurrenceRecord* r)
{
    FieldsRef f(list);
    zdata::Field* idField = nullptr;
    bool found = f && SUCCEEDED(f.get()->Item((long)REC_ID, &idField)) && idField
                 && LocateRecordById(r->Id, idField, list);
    if (idField)
        idField->Release();
    if (!found) {
        ReadCustomValues(nullptr, r->Values, db->RecordAttrs);
        return;
    }
    r->SysId = GetInt(f.get(), REC_SYSID);
    r->FtrId = GetInt(f.get(), REC_FTRID);
    r->LitId = GetInt(f.get(), REC_LITID);
    VariantClear(&r->Note);
    GetValue(f.get(), REC_NOTE, &r->Note);
    ReadCustomValues(f.get(), r->Values, db->RecordAttrs);
}

// The NAME column of the row a statement finds, as a malloc'd copy; empty when there is no row
// or the value is not a text.
wchar_t* RowName(CDatabase* db, const wchar_t* format, int id, long ordinal)
{
    wchar_t sql[96];
    StringCchPrintfW(sql, 96, format, id);
    VARIANT v;
    VariantInit(&v);
    if (db->IsOpen()) {
        RsHolder rs(OpenForRead(db, sql));
        if (HasRow(rs.get())) {
            FieldsRef f(rs.get());
            GetValue(f.get(), ordinal, &v);
        }
    }
    wchar_t* text = WideDup(v.vt == VT_BSTR && v.bstrVal ? v.bstrVal : L"");
    VariantClear(&v);
    return text;
}

}  // namespace

int CDatabase::LoadRecord(int listKind, OccurrenceRecord* record)
{
    if (listKind < 0 || listKind > 2 || !record)
        return 0;
    Recordset* list = GetListRecordset(listKind);
    // A record not stored yet has no row to look for (and the search list may hold a million).
    if (record->Id < 0 || !IsRecordsetOpen(list)) {
        ReadCustomValues(nullptr, record->Values, RecordAttrs);
        return 1;
    }
    ReadRecordRow(this, list, record);
    return 1;
}

int CDatabase::SaveRecord(OccurrenceRecord* record)
{
    if (!record || !IsOpen())
        return 0;
    WriteTransaction tx(this);
    if (!tx.Begin())
        return 0;
    wchar_t sql[64];
    StringCchPrintfW(sql, 64, L"SELECT * FROM ZORNACOLLS WHERE ID = %d", record->Id);
    RsHolder rs(OpenForWrite(this, sql));
    // A record whose id matches no row is a new one; the database gives it its id.
    HRESULT hr = IsRecordsetOpen(rs.get()) ? S_OK : E_FAIL;
    if (SUCCEEDED(hr) && !HasRow(rs.get()))
        hr = rs->AddNew();
    FieldsRef f(SUCCEEDED(hr) ? rs.get() : nullptr);
    if (!f) {
        tx.Fail();
        return 0;
    }
    KeepFirstFailure keep(hr);
    // The level path columns follow the species and the locality: every one of them is
    // cleared first, so a path shorter than the old one leaves nothing behind.
    keep(PutInt(f.get(), REC_SYSID, record->SysId));
    SetLevelColumns(f.get(), GetSysTreeRs(), record->SysId, L"SYS_LEVEL_%d");
    keep(PutInt(f.get(), REC_FTRID, record->FtrId));
    SetLevelColumns(f.get(), GetLocTreeRs(), record->FtrId, L"LOC_LEVEL_%d");
    keep(PutInt(f.get(), REC_LITID, record->LitId));
    keep(PutValue(f.get(), REC_NOTE, record->Note));
    WriteValues(this, 0, LOOKUP_ZORNACOLLS, f.get(), record->Values, RecordAttrs, &hr);
    if (SUCCEEDED(hr))
        hr = rs->Update();
    if (FAILED(hr)) {
        rs->CancelUpdate();
        tx.Fail();
        return 0;
    }
    if (!tx.Commit())
        return 0;
    RequeryIfOpen({TaxonRecordsRs, LocalityRecordsRs, SearchRecordsRs});
    return 1;
}

wchar_t* CDatabase::GetSpeciesRowName(int id)
{
    return RowName(this, L"SELECT * FROM SPECIES WHERE SYSID = %d", id, 0);
}

wchar_t* CDatabase::GetFeatureRowName(int id)
{
    return RowName(this, L"SELECT * FROM FEATURES WHERE LOCID = %d", id, 1);
}

wchar_t* CDatabase::GetLiteratureRowName(int id)
{
    return RowName(this, L"SELECT * FROM LITERATURE WHERE ID = %d", id, 1);
}
