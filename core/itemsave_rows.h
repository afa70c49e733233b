// Small row helpers shared by the item and record saves, loads and deletes.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "core/database.h"
#include "core/rsutil.h"
#include "core/transaction.h"
#include "dataaccess/ado.h"

namespace itemsave {

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

// Keeps the first refused step's HRESULT in the result it was given; the later steps still run.
class KeepFirstFailure
{
public:
    explicit KeepFirstFailure(HRESULT& hr) : hr_(hr) {}
    void operator()(HRESULT step)
    {
        if (FAILED(step) && SUCCEEDED(hr_))
            hr_ = step;
    }

private:
    HRESULT& hr_;
};

}  // namespace itemsave
