// Small row and transaction helpers shared by the item and record saves, loads and deletes.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "core/database.h"
#include "dataaccess/ado.h"

namespace itemsave {

// A one-shot recordset, closed and released on every way out.
class Rs
{
public:
    explicit Rs(zdata::Recordset* rs = nullptr) : rs_(rs) {}
    ~Rs() { CDatabase::CloseRecordset(rs_); }
    Rs(const Rs&) = delete;
    Rs& operator=(const Rs&) = delete;
    zdata::Recordset* get() const { return rs_; }
    zdata::Recordset* operator->() const { return rs_; }
    void Reset(zdata::Recordset* rs)
    {
        CDatabase::CloseRecordset(rs_);
        rs_ = rs;
    }

private:
    zdata::Recordset* rs_;
};

// The Fields of a recordset, released on every way out.
class FieldsRef
{
public:
    explicit FieldsRef(zdata::Recordset* rs)
    {
        if (!rs || FAILED(rs->get_Fields(&fields_)))
            fields_ = nullptr;
    }
    ~FieldsRef()
    {
        if (fields_)
            fields_->Release();
    }
    FieldsRef(const FieldsRef&) = delete;
    FieldsRef& operator=(const FieldsRef&) = delete;
    zdata::Fields* get() const { return fields_; }
    explicit operator bool() const { return fields_ != nullptr; }

private:
    zdata::Fields* fields_ = nullptr;
};

bool IsOpenRs(zdata::Recordset* rs);
// Neither BOF nor EOF: a current row is there.
bool HasRow(zdata::Recordset* rs);
// A new recordset opened for writing (keyset, optimistic) or reading (keyset, read-only) on
// the provider's cursor.
zdata::Recordset* OpenForWrite(CDatabase* db, const wchar_t* sql);
zdata::Recordset* OpenForRead(CDatabase* db, const wchar_t* sql);

// Writers by ordinal; a failure is the write's HRESULT.
HRESULT PutValue(zdata::Fields* fields, long ordinal, const VARIANT& value);
HRESULT PutInt(zdata::Fields* fields, long ordinal, int value);
HRESULT PutBool(zdata::Fields* fields, long ordinal, int value);
HRESULT PutNull(zdata::Fields* fields, long ordinal);
// A text as a BSTR; an empty text as '' unless emptyAsNull.
HRESULT PutText(zdata::Fields* fields, long ordinal, const wchar_t* text, bool emptyAsNull);

// Readers by ordinal: the value (the output owns nothing beforehand); a text cut to fit
// size - 1 characters; an integer or -1.
void GetValue(zdata::Fields* fields, long ordinal, VARIANT* out);
void GetText(zdata::Fields* fields, long ordinal, wchar_t* buffer, int size);
int GetInt(zdata::Fields* fields, long ordinal);

// WriteCustomValues that also gives the first refused column write in *failure (when given).
int WriteValues(CDatabase* db, int start, int kind, zdata::Fields* fields, CPtrArray* values,
                CPtrArray* defs, HRESULT* failure);

// Requery / Resync of a cached recordset only when it is open.
void RequeryIfOpen(zdata::Recordset* rs);
void ResyncAllIfOpen(zdata::Recordset* rs);

// One transaction over a save or a delete. Begin() reports a refused start. A transaction that
// is neither committed nor abandoned when the guard ends is rolled back.
class Transaction
{
public:
    explicit Transaction(CDatabase* db) : db_(db) {}
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool Begin();
    // Commits; a refused commit shows the errors and rolls back. True when committed.
    bool Commit();
    // Shows the connection's errors, then rolls back.
    void Fail();
    // Rolls back without a message; with requery set the cached rowsets are read again.
    void Rollback(bool requery = true);

private:
    CDatabase* db_;
    bool active_ = false;
};

// After a rollback the cached rowsets edited inside the transaction still show the edits: read
// the trees, the name lists, the author list and every cached lookup table again.
void RequeryCachesAfterRollback(CDatabase* db);

}  // namespace itemsave
