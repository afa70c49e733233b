#include "structure/attrsave.h"

#include <cmath>
#include <string>
#include <vector>

#include "core/dbschema.h"
#include "core/textutil.h"
#include "core/treewalk.h"
#include "dataaccess/enclose.h"
#include "structure/schemadb.h"

using zdata::Recordset;
using namespace treewalk;

namespace {

const wchar_t kRecordsIndex[] = L"COLL_INDEX";
const double kColumnsShare = 0.9;  // of the step's progress; the rest is COLL_INDEX

// A text as an SQL literal, any apostrophe in it doubled.
std::wstring Literal(const std::wstring& text)
{
    return zdata::Enclose(text, L'\'', L'\'');
}

VARIANT TextValue(const wchar_t* text)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    return v;
}

class AttrSaver {
public:
    AttrSaver(CSchemaDb* db, HWND owner, const wchar_t* table, ItemList* attrs, int indexMode,
              StepProgress* progress)
        : db_(db), owner_(owner), table_(table), prefix_(zor::LookupTablePrefix(table)), attrs_(attrs),
          ownIndexes_(indexMode == ATTR_INDEX_RECORDS), progress_(progress)
    {
    }

    bool Run();

private:
    bool AddAttributeColumn(AttrEntry* e);
    bool ChangeAttribute(AttrEntry* e);
    bool DropAttributeColumn(AttrEntry* e);
    bool DropForeignKey(const AttrEntry* e);
    bool RenumberPositions();
    bool WriteDefinition(Recordset* rs, const AttrEntry* e);
    std::vector<std::wstring> WantedKeyColumns() const;
    bool ReadKeyColumns(std::vector<std::wstring>* columns);
    bool Fail(HRESULT hr)
    {
        db_->ShowErrors(owner_, hr);
        return false;
    }
    Recordset* OpenDefinitions(const std::wstring& where = std::wstring())
    {
        std::wstring sql = L"SELECT * FROM CUSTOMATTRIBUTES WHERE TABLENAME = " + Literal(table_) + where +
                           L" ORDER BY POSID";
        return OpenRecordset(db_->GetConnection(), sql.c_str(), true, adLockOptimistic);
    }
    std::wstring OwnIndexName(const AttrEntry* e) const
    {
        return zdata::QuoteIdentifier(prefix_ + e->FieldName + L"_IDX");
    }
    static bool IsList(const AttrEntry* e) { return e->Type == zor::AttrLookup || e->Type == zor::AttrGeoLookup; }

    CSchemaDb* db_;
    HWND owner_;
    std::wstring table_;
    std::wstring prefix_;
    ItemList* attrs_;
    bool ownIndexes_;
    StepProgress* progress_;
};

bool AttrSaver::Run()
{
    ListSnapshot snapshot(attrs_);
    StepTransaction transaction(db_, owner_);
    bool ok = transaction.Active();
    // COLL_INDEX goes first when its columns change, since a key column cannot be dropped under
    // it; it is made again once the columns are in place.
    std::vector<std::wstring> wanted;
    bool rebuildIndex = false;
    if (ok && ownIndexes_) {
        wanted = WantedKeyColumns();
        std::vector<std::wstring> present;
        ok = ReadKeyColumns(&present);
        rebuildIndex = present.size() != wanted.size();
        for (size_t i = 0; ok && !rebuildIndex && i < wanted.size(); ++i)
            rebuildIndex = !SameTextNoCase(present[i].c_str(), wanted[i].c_str());
        if (ok && rebuildIndex)
            ok = RunStepStatement(db_, owner_, std::wstring(L"DROP INDEX ") + kRecordsIndex + L" ON " + table_);
    }
    const int total = attrs_->Count;
    for (int i = 0, done = 0; ok && i < attrs_->Count; ++done) {
        AttrEntry* e = AttrAt(attrs_, i);
        if (e->State == ENTRY_DELETED) {
            ok = DropAttributeColumn(e);
            if (ok)
                ItemListDetachAt(attrs_, i);  // freed once the step is committed
        } else {
            if (e->State == ENTRY_NEW)
                ok = AddAttributeColumn(e);
            else if (e->State == ENTRY_CHANGED)
                ok = ChangeAttribute(e);
            ++i;
        }
        ReportStep(progress_, kColumnsShare * (done + 1) / (total ? total : 1));
    }
    if (ok && rebuildIndex) {
        std::wstring sql = std::wstring(L"CREATE UNIQUE INDEX ") + kRecordsIndex + L" ON " + table_ + L"(";
        for (size_t c = 0; c < wanted.size(); ++c)
            sql += (c ? L", " : L"") + zdata::QuoteIdentifier(wanted[c]);
        ok = RunStepStatement(db_, owner_, sql + L")");
    }
    return FinishStep(ok, &transaction, &snapshot, progress_);
}

std::vector<std::wstring> AttrSaver::WantedKeyColumns() const
{
    std::vector<std::wstring> columns = {L"SYSID", L"FTRID"};
    for (int i = 0; i < attrs_->Count; ++i) {
        const AttrEntry* e = AttrAt(attrs_, i);
        if (e->KeyFlag && e->State != ENTRY_DELETED)
            columns.push_back(e->FieldName);
    }
    return columns;
}

// The columns COLL_INDEX covers now, in order (none when it is missing).
bool AttrSaver::ReadKeyColumns(std::vector<std::wstring>* columns)
{
    std::wstring sql = std::wstring(L"SELECT name FROM pragma_index_info(") + Literal(kRecordsIndex) + L") ORDER BY seqno";
    RsHolder rs(OpenRecordset(db_->GetConnection(), sql.c_str(), true, adLockReadOnly));
    if (!rs.IsOpen())
        return Fail(E_FAIL);
    if (!IsEmptyRowset(rs.get()))
        for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext())
            columns->push_back(RowText(rs.get(), 0));
    return true;
}

// Columns 3 to 10 of a definition row as the entry gives them; the value columns only where the
// table has them.
bool AttrSaver::WriteDefinition(Recordset* rs, const AttrEntry* e)
{
    VARIANT key;
    VariantInit(&key);
    key.vt = VT_BOOL;
    key.boolVal = e->KeyFlag ? VARIANT_TRUE : VARIANT_FALSE;
    const bool sized = e->Type == zor::AttrText || IsList(e);
    HRESULT hr = PutInt(rs, 3, e->Type);
    if (SUCCEEDED(hr))
        hr = PutInt(rs, 4, sized ? e->Size : 0);
    if (SUCCEEDED(hr))
        hr = PutValue(rs, 5, key);
    if (SUCCEEDED(hr))
        hr = e->TabName[0] ? PutText(rs, 6, e->TabName) : PutValue(rs, 6, NullValue());
    if (SUCCEEDED(hr))
        hr = PutText(rs, 7, e->Caption);
    zdata::Fields* fields = nullptr;
    long count = 0;
    if (SUCCEEDED(rs->get_Fields(&fields)) && fields) {
        fields->get_Count(&count);
        fields->Release();
    }
    const VARIANT* bounds[] = {&e->MinVal, &e->MaxVal, &e->NullVal};
    for (long k = 0; k < 3 && 8 + k < count && SUCCEEDED(hr); ++k)
        hr = PutValue(rs, 8 + k, StoredBound(bounds[k]));
    if (SUCCEEDED(hr))
        hr = rs->Update();
    if (FAILED(hr)) {
        rs->CancelUpdate();
        return Fail(hr);
    }
    return true;
}

bool AttrSaver::AddAttributeColumn(AttrEntry* e)
{
    if (IsList(e) && !RunStepStatement(db_, owner_, zor::LookupTableSql(table_, e->FieldName, e->Type, e->Size)))
        return false;
    std::wstring add = L"ALTER TABLE " + zdata::QuoteIdentifier(table_) + L" ADD " +
                       zor::AttrColumnDecl(table_, e->FieldName, e->Type, e->Size, e->KeyFlag != 0);
    if (!RunStepStatement(db_, owner_, add))
        return false;
    if (ownIndexes_ && !RunStepStatement(db_, owner_, L"CREATE INDEX " + OwnIndexName(e) + L" ON " +
                                                          zdata::QuoteIdentifier(table_) + L"(" +
                                                          zdata::QuoteIdentifier(e->FieldName) + L")"))
        return false;
    RsHolder rs(OpenDefinitions());
    if (!rs.IsOpen())
        return Fail(E_FAIL);
    int position = 1;
    if (!IsEmptyRowset(rs.get())) {
        rs->MoveLast();
        int last = RowInt(rs.get(), 2, 0);
        position = last > 0 ? last + 1 : 1;
    }
    HRESULT hr = rs->AddNew();
    VARIANT table = TextValue(table_.c_str()), field = TextValue(e->FieldName);
    if (SUCCEEDED(hr))
        hr = PutValue(rs.get(), 0, table);
    if (SUCCEEDED(hr))
        hr = PutValue(rs.get(), 1, field);
    if (SUCCEEDED(hr))
        hr = PutInt(rs.get(), 2, position);
    VariantClear(&table);
    VariantClear(&field);
    if (FAILED(hr)) {
        rs->CancelUpdate();
        return Fail(hr);
    }
    if (!WriteDefinition(rs.get(), e))
        return false;
    e->Position = position;
    e->State = ENTRY_UNCHANGED;
    return true;
}

// The definition row only: the column's name, type and size and the row's place stay.
bool AttrSaver::ChangeAttribute(AttrEntry* e)
{
    RsHolder rs(OpenDefinitions(L" AND FIELDNAME = " + Literal(e->FieldName)));
    if (!rs.IsOpen())
        return Fail(E_FAIL);
    if (IsEmptyRowset(rs.get())) {
        // The row is gone from the file: nothing to rewrite, and no stale error to show.
        zdata::Errors* errors = nullptr;
        if (SUCCEEDED(db_->GetConnection()->get_Errors(&errors)) && errors) {
            errors->Clear();
            errors->Release();
        }
        return Fail(E_FAIL);
    }
    if (!WriteDefinition(rs.get(), e))
        return false;
    e->State = ENTRY_UNCHANGED;
    return true;
}

// A named key of the column on its value list is dropped by name; the file's keys have no names
// and go with their column.
bool AttrSaver::DropForeignKey(const AttrEntry* e)
{
    Recordset* keys = nullptr;
    HRESULT hr = db_->GetConnection()->OpenSchema(adSchemaForeignKeys, &keys);
    if (FAILED(hr))
        return Fail(hr);
    RsHolder schema(keys);
    std::wstring filter = L"PK_TABLE_NAME = " + Literal(prefix_ + e->FieldName) +
                          L" AND PK_COLUMN_NAME = 'NAME' AND FK_TABLE_NAME = " + Literal(table_) +
                          L" AND FK_COLUMN_NAME = " + Literal(e->FieldName);
    if (FAILED(hr = schema->put_Filter(filter.c_str())))
        return Fail(hr);
    std::wstring name;
    if (!schema->IsEOF())
        name = RowText(schema.get(), 16);  // FK_NAME
    if (name.empty())
        return true;
    return RunStepStatement(db_, owner_, L"ALTER TABLE " + zdata::QuoteIdentifier(table_) + L" DROP CONSTRAINT " +
                                             zdata::QuoteIdentifier(name));
}

bool AttrSaver::DropAttributeColumn(AttrEntry* e)
{
    if (IsList(e) && !DropForeignKey(e))
        return false;
    if (ownIndexes_ && !RunStepStatement(db_, owner_, L"DROP INDEX " + OwnIndexName(e)))
        return false;
    if (!RunStepStatement(db_, owner_, L"ALTER TABLE " + zdata::QuoteIdentifier(table_) + L" DROP " +
                                           zdata::QuoteIdentifier(e->FieldName)))
        return false;
    if (IsList(e) &&
        !RunStepStatement(db_, owner_, L"DROP TABLE " + zdata::QuoteIdentifier(zor::LookupTableName(table_, e->FieldName))))
        return false;
    VARIANT table = TextValue(table_.c_str()), field = TextValue(e->FieldName);
    bool ok = RunStepStatement(db_, owner_, L"DELETE FROM CUSTOMATTRIBUTES WHERE TABLENAME = ? AND FIELDNAME = ?",
                               {table, field});
    VariantClear(&table);
    VariantClear(&field);
    return ok && RenumberPositions();
}

// POSID 1, 2, 3 ... in the rows' order, each row stored as the cursor moves on.
bool AttrSaver::RenumberPositions()
{
    RsHolder rs(OpenDefinitions());
    if (!rs.IsOpen())
        return Fail(E_FAIL);
    if (IsEmptyRowset(rs.get()))
        return true;
    int position = 0;
    HRESULT hr = rs->MoveFirst();
    for (; SUCCEEDED(hr) && !rs->IsEOF(); hr = rs->MoveNext()) {
        hr = PutInt(rs.get(), 2, ++position);
        if (FAILED(hr))
            break;
    }
    if (FAILED(hr)) {
        rs->CancelUpdate();
        return Fail(hr);
    }
    return true;
}

}  // namespace

bool AnyAttrChanges(const ItemList* attrs)
{
    for (int i = 0; i < attrs->Count; ++i)
        if (AttrAt(attrs, i)->State != ENTRY_UNCHANGED)
            return true;
    return false;
}

VARIANT StoredBound(const VARIANT* value)
{
    // Texts (an import's bounds) are read in the user's number format.
    VARIANT number;
    VariantInit(&number);
    if (value->vt == VT_EMPTY || value->vt == VT_NULL ||
        FAILED(VariantChangeTypeEx(&number, const_cast<VARIANT*>(value), LOCALE_USER_DEFAULT, 0, VT_R8)) ||
        !std::isfinite(number.dblVal)) {
        VariantClear(&number);
        number.vt = VT_NULL;
    }
    return number;
}

bool SaveAttributes(CSchemaDb* db, HWND owner, const wchar_t* table, ItemList* attrs, int indexMode,
                    StepProgress* progress)
{
    if (!AnyAttrChanges(attrs))
        return true;
    AttrSaver saver(db, owner, table, attrs, indexMode, progress);
    return saver.Run();
}
