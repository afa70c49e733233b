#include "core/itemsave_rows.h"

#include "core/textutil.h"

using zdata::Field;
using zdata::Fields;
using zdata::Recordset;

namespace itemsave {

bool HasRow(Recordset* rs)
{
    if (!IsRecordsetOpen(rs))
        return false;
    VARIANT_BOOL bof = VARIANT_TRUE, eof = VARIANT_TRUE;
    if (FAILED(rs->get_BOF(&bof)) || FAILED(rs->get_EOF(&eof)))
        return false;
    return bof == VARIANT_FALSE && eof == VARIANT_FALSE;
}

Recordset* OpenForWrite(CDatabase* db, const wchar_t* sql)
{
    return db->OpenQuery(sql, adUseServer, adOpenKeyset, adLockOptimistic);
}

Recordset* OpenForRead(CDatabase* db, const wchar_t* sql)
{
    return db->OpenQuery(sql, adUseServer, adOpenKeyset, adLockReadOnly);
}

HRESULT PutValue(Fields* fields, long ordinal, const VARIANT& value)
{
    if (!fields)
        return E_POINTER;
    Field* field = nullptr;
    HRESULT hr = fields->Item(ordinal, &field);
    if (FAILED(hr) || !field)
        return FAILED(hr) ? hr : E_FAIL;
    hr = field->put_Value(value);
    field->Release();
    return hr;
}

HRESULT PutInt(Fields* fields, long ordinal, int value)
{
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    return PutValue(fields, ordinal, v);
}

HRESULT PutBool(Fields* fields, long ordinal, int value)
{
    VARIANT v;
    v.vt = VT_BOOL;
    v.boolVal = (VARIANT_BOOL)(value & 0xFFFF);
    return PutValue(fields, ordinal, v);
}

HRESULT PutNull(Fields* fields, long ordinal)
{
    VARIANT v;
    v.vt = VT_NULL;
    return PutValue(fields, ordinal, v);
}

HRESULT PutText(Fields* fields, long ordinal, const wchar_t* text, bool emptyAsNull)
{
    if (!text)
        text = L"";
    if (emptyAsNull && !*text)
        return PutNull(fields, ordinal);
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    if (!v.bstrVal)
        return E_OUTOFMEMORY;
    HRESULT hr = PutValue(fields, ordinal, v);
    VariantClear(&v);
    return hr;
}

void GetValue(Fields* fields, long ordinal, VARIANT* out)
{
    ColumnValue(fields, ordinal, out);
}

void GetText(Fields* fields, long ordinal, wchar_t* buffer, int size)
{
    if (!buffer || size <= 0)
        return;
    buffer[0] = L'\0';
    VARIANT v;
    ColumnValue(fields, ordinal, &v);
    // A long text is cut to the buffer rather than dropped.
    if (v.vt == VT_BSTR)
        CopyWideBounded(v.bstrVal ? v.bstrVal : L"", buffer, size);
    else if (v.vt != VT_EMPTY && v.vt != VT_NULL)
        VariantToText(&v, buffer, size);
    VariantClear(&v);
}

int GetInt(Fields* fields, long ordinal)
{
    VARIANT v;
    ColumnValue(fields, ordinal, &v);
    int value = VariantToInt(&v);
    VariantClear(&v);
    return value;
}

}  // namespace itemsave
