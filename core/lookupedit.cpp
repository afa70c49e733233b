// Lookup values, the editing side: the requests of the lookup values editor (rename or merge a
// value in every row that uses it, delete a value, change a value's name or abbreviation in
// place) and the silent addition of a taxon's describing author to the author list.
//
// Values reach the statements only as bound parameters and table and column names only after
// they were checked to be plain identifiers, so a stored value such as  x' OR 'a'='a  is just a
// value. A value edit runs in one transaction: a refused step (a value still in use cannot be
// deleted) leaves every table as it was.
#include "core/database.h"

#include <oleauto.h>

#include <string>

#include "core/lookupedit.h"
#include "core/msgbox.h"
#include "core/rsutil.h"
#include "core/textutil.h"
#include "core/transaction.h"
#include "dataaccess/enclose.h"

using zdata::Command;
using zdata::Connection;
using zdata::Field;
using zdata::Fields;
using zdata::Recordset;

namespace {

const wchar_t* OwnerTableOf(int kind)
{
    static const wchar_t* const owners[6] = { L"SPECIES", L"FEATURES", L"ZORNACOLLS",
                                              L"SYSTREE", L"LOCTREE", L"LITERATURE" };
    return kind >= 1 && kind <= 6 ? owners[kind - 1] : nullptr;
}

// Writes a text, or NULL for a null text, into a column of the current row's pending edit.
HRESULT PutTextOrNull(Recordset* rs, const wchar_t* column, const wchar_t* text)
{
    Field* field = FieldByName(rs, column);
    if (!field)
        return E_FAIL;
    VARIANT v;
    VariantInit(&v);
    if (text) {
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text);
    } else {
        v.vt = VT_NULL;
    }
    HRESULT hr = field->put_Value(v);
    VariantClear(&v);
    field->Release();
    return hr;
}

// A statement with '?' markers run with text values bound in order; with rows wanted, *rows gets
// the result.
class BoundStatement
{
public:
    BoundStatement(Connection* connection, const std::wstring& sql) : command_(Command::Create())
    {
        command_->put_ActiveConnection(connection);
        command_->put_CommandText(sql.c_str());
    }
    ~BoundStatement() { command_->Release(); }
    BoundStatement(const BoundStatement&) = delete;
    BoundStatement& operator=(const BoundStatement&) = delete;

    HRESULT Run(const wchar_t* first, const wchar_t* second = nullptr, Recordset** rows = nullptr)
    {
        const wchar_t* texts[2] = { first, second };
        int count = second ? 2 : 1;
        SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, (ULONG)count);
        if (!array)
            return E_OUTOFMEMORY;
        for (LONG i = 0; i < count; i++) {
            VARIANT v;
            v.vt = VT_BSTR;
            v.bstrVal = SysAllocString(texts[i]);
            SafeArrayPutElement(array, &i, &v);
            VariantClear(&v);
        }
        VARIANT values;
        values.vt = VT_ARRAY | VT_VARIANT;
        values.parray = array;
        HRESULT hr = command_->Execute(nullptr, &values, rows ? adOptionUnspecified : adExecuteNoRecords,
                                       rows);
        VariantClear(&values);
        return hr;
    }

private:
    Command* command_;
};

// The spelling under which the lookup table holds a value, when it holds it ignoring case (the
// query's NAME is matched the Czech way: "ČERNÝ" finds "Černý").
bool StoredLookupValue(Connection* connection, const wchar_t* table, const wchar_t* value,
                       std::wstring* stored, HRESULT* hr)
{
    BoundStatement query(connection, L"SELECT NAME FROM " + zdata::QuoteIdentifier(table) + L" WHERE NAME = ?");
    Recordset* rows = nullptr;
    *hr = query.Run(value, nullptr, &rows);
    if (FAILED(*hr) || !rows)
        return false;
    bool exists = false;
    if (!rows->IsEOF()) {
        Field* field = FieldByName(rows, L"NAME");
        if (field) {
            VARIANT v;
            VariantInit(&v);
            field->get_Value(&v);
            if (v.vt == VT_BSTR && v.bstrVal) {
                stored->assign(v.bstrVal, SysStringLen(v.bstrVal));
                exists = true;
            }
            VariantClear(&v);
            field->Release();
        }
    }
    rows->Close();
    rows->Release();
    return exists;
}

// The count a bound "SELECT COUNT(*) ... ?" gives for a value; 0 when it fails (*hr says so).
long long CountRows(Connection* connection, const std::wstring& sql, const wchar_t* value,
                    HRESULT* hr)
{
    BoundStatement query(connection, sql);
    Recordset* rows = nullptr;
    *hr = query.Run(value, nullptr, &rows);
    if (FAILED(*hr) || !rows)
        return 0;
    long long count = 0;
    Fields* fields = nullptr;
    if (!rows->IsEOF() && SUCCEEDED(rows->get_Fields(&fields)) && fields) {
        Field* field = nullptr;
        if (SUCCEEDED(fields->Item(0L, &field)) && field) {
            VARIANT v;
            VariantInit(&v);
            field->get_Value(&v);
            count = VariantToIntOrZero(&v);
            VariantClear(&v);
            field->Release();
        }
        fields->Release();
    }
    rows->Close();
    rows->Release();
    return count;
}

// Gives the rows of the owning table that hold the old value the new one.
HRESULT MoveOwningRows(Connection* connection, const wchar_t* owner, const wchar_t* field, const wchar_t* value,
                       const std::wstring& old)
{
    std::wstring column = zdata::QuoteIdentifier(field);
    BoundStatement update(connection, L"UPDATE " + zdata::QuoteIdentifier(owner) + L" SET " + column + L" = ? WHERE " + column
                                          + L" = ?");
    return update.Run(value, old.c_str());
}

// A key renamed in a way its collation (NOCASE) does not see, "prosev" to "Prosev", cascades to
// nothing: the owning rows are given the new spelling here (a cascade that did run leaves no row
// with the old one).
HRESULT CarryCaseChange(Connection* connection, const wchar_t* owner, const wchar_t* field, const wchar_t* value,
                        const std::wstring& old)
{
    if (!owner || !IsPlainIdentifier(field))
        return S_OK;
    return MoveOwningRows(connection, owner, field, value, old);
}

// The current row's NAME, or false when it has none.
bool CurrentName(Recordset* rs, std::wstring* name)
{
    Field* field = FieldByName(rs, L"NAME");
    if (!field)
        return false;
    VARIANT v;
    VariantInit(&v);
    field->get_Value(&v);
    bool ok = v.vt == VT_BSTR && v.bstrVal;
    if (ok)
        name->assign(v.bstrVal, SysStringLen(v.bstrVal));
    VariantClear(&v);
    field->Release();
    return ok;
}

}  // namespace

int CDatabase::AddSysAuthor(const wchar_t* author)
{
    if (!author || !*author)
        return 0;
    OpenSysAuthors();
    Recordset* rs = SysAuthorsRs;
    // A name the list holds in another case is the same author: nothing is added.
    if (!IsRecordsetOpen(rs) || FindName(rs, author) || FAILED(rs->AddNew()))
        return 0;
    // The list refuses a name it holds already; that refusal is expected and not shown.
    if (FAILED(PutTextOrNull(rs, L"NAME", author)) || FAILED(rs->Update())) {
        rs->CancelUpdate();
        return 0;
    }
    return 1;
}

int CDatabase::EditLookupTable(const LookupEdit* edit)
{
    if (!edit || !IsOpen())
        return 0;
    int index = LoadLookupValues(edit->Kind, edit->FieldName);
    // 65535 ("cannot be opened") and any other index outside the cache give no recordset.
    Recordset* rs = GetLookupRecordset(index);
    if (!rs || FAILED(rs->put_AbsolutePosition(edit->Row)))
        return 0;
    LookupCacheEntry* entry = (LookupCacheEntry*)LookupCache->GetItems()[index];
    std::wstring oldValue;
    bool hasName = CurrentName(rs, &oldValue);
    if (edit->ShownName && (!hasName || oldValue != edit->ShownName))
        return 0;  // the editor's list no longer shows this table's rows

    if (edit->ValueOps <= 0) {
        // In place: the row is written through the cached recordset; a new NAME reaches the
        // owning rows through the key's cascade. A refusal is not shown: the editor puts the
        // old text back.
        int flags = edit->ColumnFlags;
        if (!(flags & (LOOKUP_WRITE_NAME | LOOKUP_WRITE_ABBREV)))
            return 0;
        bool rename = (flags & LOOKUP_WRITE_NAME) && edit->NewName;
        std::wstring own, stored;
        HRESULT hr = S_OK;
        if (rename && CurrentName(rs, &own) && IsPlainIdentifier(entry->TableName)
            && StoredLookupValue(AdoConnection, entry->TableName, edit->NewName, &stored, &hr)
            && stored != own)
            return 0;  // another value has the name already (ignoring case): no duplicate
        WriteTransaction txn(this, nullptr);
        if (!txn.Begin())
            return 0;
        hr = S_OK;
        if (flags & LOOKUP_WRITE_NAME)
            hr = PutTextOrNull(rs, L"NAME", edit->NewName);
        if (SUCCEEDED(hr) && (flags & LOOKUP_WRITE_ABBREV))
            hr = PutTextOrNull(rs, L"ABBREV", edit->NewAbbrev);
        if (SUCCEEDED(hr))
            hr = rs->Update();
        if (FAILED(hr))
            rs->CancelUpdate();
        if (SUCCEEDED(hr) && rename && !own.empty() && own != edit->NewName)
            hr = CarryCaseChange(AdoConnection, OwnerTableOf(edit->Kind), edit->FieldName, edit->NewName, own);
        if (FAILED(hr) || !txn.Commit()) {
            txn.Rollback(false);
            RequeryIfOpen(rs);
            return 0;
        }
        return 1;
    }

    const wchar_t* owner = OwnerTableOf(edit->Kind);
    const wchar_t* table = entry->TableName;
    bool replace = (edit->ValueOps & LOOKUP_REPLACE_VALUE) != 0;
    bool remove = (edit->ValueOps & LOOKUP_DELETE_VALUE) != 0;
    if (!owner || !IsPlainIdentifier(table) || !IsPlainIdentifier(edit->FieldName)
        || (!replace && !remove))
        return 0;
    if (replace && (!edit->NewName || !*edit->NewName))
        return 0;  // a value is replaced by a value, never by nothing

    if (!hasName)
        return 0;

    // A refused step reads nothing again: the lists below are read once the edit is stored.
    WriteTransaction txn(this, nullptr);
    if (!txn.Begin())
        return 0;
    HRESULT hr = S_OK;
    std::wstring newValue = replace ? edit->NewName : L"";
    if (replace && edit->ExistingIndex < 0) {
        // A typed value is added unless the table has it already ignoring case; then the rows
        // take the value as the table spells it.
        std::wstring stored;
        if (StoredLookupValue(AdoConnection, table, edit->NewName, &stored, &hr)) {
            newValue = stored;
        } else if (SUCCEEDED(hr)) {
            BoundStatement insert(AdoConnection,
                                  L"INSERT INTO " + zdata::QuoteIdentifier(table) + L"(NAME) VALUES (?)");
            hr = insert.Run(edit->NewName);
        }
    }
    if (replace && SUCCEEDED(hr) && newValue == oldValue) {
        // The value itself, typed in another case: it is renamed in place and stays.
        BoundStatement rename(AdoConnection, L"UPDATE " + zdata::QuoteIdentifier(table) + L" SET NAME = ? WHERE NAME = ?");
        hr = rename.Run(edit->NewName, oldValue.c_str());
        if (SUCCEEDED(hr))
            hr = CarryCaseChange(AdoConnection, owner, edit->FieldName, edit->NewName, oldValue);
        remove = false;
    } else if (replace && SUCCEEDED(hr)) {
        hr = MoveOwningRows(AdoConnection, owner, edit->FieldName, newValue.c_str(), oldValue);
    }
    std::wstring column = zdata::QuoteIdentifier(edit->FieldName);
    if (SUCCEEDED(hr) && remove) {
        // A value still in use stays, with a message that says why (the author list has no key
        // that would refuse it).
        long long uses = CountRows(AdoConnection, L"SELECT COUNT(*) FROM " + zdata::QuoteIdentifier(owner)
                                                      + L" WHERE " + column + L" = ?",
                                   oldValue.c_str(), &hr);
        if (SUCCEEDED(hr) && uses > 0) {
            txn.Rollback();
            ZorMessageBoxRes(MessageOwner(MainWindow), Instance, IDS_DB_LOOKUP_VALUE_IN_USE, IDS_DB_ERROR_CAPTION,
                             MB_ICONERROR);
            return 0;
        }
    }
    if (SUCCEEDED(hr) && remove) {
        BoundStatement del(AdoConnection, L"DELETE FROM " + zdata::QuoteIdentifier(table) + L" WHERE NAME = ?");
        hr = del.Run(oldValue.c_str());
    }
    if (FAILED(hr))
        return txn.Fail();
    if (!txn.Commit())
        return 0;

    // The lists that show the owning table's values read them again.
    RequeryIfOpen(rs);
    switch (edit->Kind) {
    case LOOKUP_SPECIES:
        RequeryIfOpen({SpeciesNamesRs, LocalityRecordsRs, SearchRecordsRs});
        break;
    case LOOKUP_FEATURES:
        RequeryIfOpen({FeatureNamesRs, TaxonRecordsRs, SearchRecordsRs});
        break;
    case LOOKUP_ZORNACOLLS:
        RequeryIfOpen({TaxonRecordsRs, LocalityRecordsRs, SearchRecordsRs});
        break;
    case LOOKUP_SYSTREE:
        RequeryIfOpen(SysTreeRs);
        break;
    case LOOKUP_LOCTREE:
        RequeryIfOpen(LocTreeRs);
        break;
    case LOOKUP_LITERATURE:
        RequeryIfOpen({LiteratureListRs, TaxonRecordsRs, LocalityRecordsRs, SearchRecordsRs});
        break;
    }
    return 1;
}
