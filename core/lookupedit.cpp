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

std::wstring QuotedName(const wchar_t* name)
{
    return zdata::Enclose(name, L'"', L'"');
}

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

// The NAME of the recordset's current row; false when it is no text.
bool NameAt(Recordset* rs, std::wstring* name)
{
    VARIANT value;
    VariantInit(&value);
    Field* field = FieldByName(rs, L"NAME");
    if (field) {
        field->get_Value(&value);
        field->Release();
    }
    bool text = value.vt == VT_BSTR && value.bstrVal;
    if (text)
        name->assign(value.bstrVal, SysStringLen(value.bstrVal));
    VariantClear(&value);
    return text;
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

// Whether the lookup table holds the value already (NAME compares as the table declares it).
bool LookupValueExists(Connection* connection, const wchar_t* table, const wchar_t* value,
                       HRESULT* hr)
{
    return CountRows(connection, L"SELECT COUNT(*) FROM " + QuotedName(table) + L" WHERE NAME = ?",
                     value, hr) > 0;
}

// Whether two values are one key of a lookup table: NAME compares without the case of the
// letters A to Z (and of no others).
bool SameKey(const wchar_t* a, const wchar_t* b)
{
    if (!a || !b)
        return false;
    for (; *a && *b; ++a, ++b) {
        wchar_t x = (*a >= L'A' && *a <= L'Z') ? (wchar_t)(*a + 32) : *a;
        wchar_t y = (*b >= L'A' && *b <= L'Z') ? (wchar_t)(*b + 32) : *b;
        if (x != y)
            return false;
    }
    return *a == *b;
}

}  // namespace

int CDatabase::AddSysAuthor(const wchar_t* author)
{
    if (!author || !*author)
        return 0;
    OpenSysAuthors();
    Recordset* rs = SysAuthorsRs;
    if (!IsRecordsetOpen(rs) || FAILED(rs->AddNew()))
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
    bool hasName = NameAt(rs, &oldValue);
    if (edit->ShownName && (!hasName || oldValue != edit->ShownName))
        return 0;  // the editor's list no longer shows this table's rows

    if (edit->ValueOps <= 0) {
        // In place: the row is written through the cached recordset; a new NAME reaches the
        // owning rows through the key's cascade. A refusal is not shown: the editor puts the
        // old text back.
        int flags = edit->ColumnFlags;
        if (!(flags & (LOOKUP_WRITE_NAME | LOOKUP_WRITE_ABBREV)))
            return 0;
        HRESULT hr = S_OK;
        if (flags & LOOKUP_WRITE_NAME)
            hr = PutTextOrNull(rs, L"NAME", edit->NewName);
        if (SUCCEEDED(hr) && (flags & LOOKUP_WRITE_ABBREV))
            hr = PutTextOrNull(rs, L"ABBREV", edit->NewAbbrev);
        if (SUCCEEDED(hr))
            hr = rs->Update();
        if (FAILED(hr)) {
            rs->CancelUpdate();
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
    std::wstring column = QuotedName(edit->FieldName);
    if (replace && SameKey(oldValue.c_str(), edit->NewName)) {
        // Only the letter case changes, which the key does not tell apart: the value is renamed
        // where it stands (the owning rows follow through the key's cascade, and the author
        // list, which has none, is followed by hand). Nothing is added or deleted.
        BoundStatement rename(AdoConnection,
                              L"UPDATE " + QuotedName(table) + L" SET NAME = ? WHERE NAME = ?");
        hr = rename.Run(edit->NewName, oldValue.c_str());
        if (SUCCEEDED(hr)) {
            BoundStatement update(AdoConnection, L"UPDATE " + QuotedName(owner) + L" SET " + column
                                                     + L" = ? WHERE " + column + L" = ?");
            hr = update.Run(edit->NewName, oldValue.c_str());
        }
        replace = remove = false;
    }
    if (replace) {
        // A typed value is added unless the table has it already (its key ignores case).
        if (edit->ExistingIndex < 0 && !LookupValueExists(AdoConnection, table, edit->NewName, &hr)
            && SUCCEEDED(hr)) {
            BoundStatement insert(AdoConnection,
                                  L"INSERT INTO " + QuotedName(table) + L"(NAME) VALUES (?)");
            hr = insert.Run(edit->NewName);
        }
        if (SUCCEEDED(hr)) {
            BoundStatement update(AdoConnection, L"UPDATE " + QuotedName(owner) + L" SET " + column
                                                     + L" = ? WHERE " + column + L" = ?");
            hr = update.Run(edit->NewName, oldValue.c_str());
        }
    }
    if (SUCCEEDED(hr) && remove) {
        // A value still in use stays, with a message that says why (the author list has no key
        // that would refuse it).
        long long uses = CountRows(AdoConnection, L"SELECT COUNT(*) FROM " + QuotedName(owner)
                                                      + L" WHERE " + column + L" = ?",
                                   oldValue.c_str(), &hr);
        if (SUCCEEDED(hr) && uses > 0) {
            txn.Rollback();
            ZorMessageBoxRes(MainWindow, Instance, IDS_DB_LOOKUP_VALUE_IN_USE, IDS_DB_ERROR_CAPTION,
                             MB_ICONERROR);
            return 0;
        }
    }
    if (SUCCEEDED(hr) && remove) {
        BoundStatement del(AdoConnection, L"DELETE FROM " + QuotedName(table) + L" WHERE NAME = ?");
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
