#include "core/treewalk.h"

#include <strsafe.h>
#include <cwchar>
#include "core/leveldefs.h"
#include "core/textutil.h"
#include "dataaccess/enclose.h"

using zdata::Connection;
using zdata::Fields;
using zdata::Recordset;

namespace treewalk {

void RowValue(Recordset* rs, long ordinal, VARIANT* out)
{
    VariantInit(out);
    Fields* fields = nullptr;
    if (!rs || FAILED(rs->get_Fields(&fields)) || !fields)
        return;
    ColumnValue(fields, ordinal, out);
    fields->Release();
}

int RowInt(Recordset* rs, long ordinal, int fallback)
{
    VARIANT v;
    RowValue(rs, ordinal, &v);
    int result = fallback;
    if (v.vt != VT_EMPTY && v.vt != VT_NULL) {
        int n = VariantToInt(&v);
        // VariantToInt answers -1 for values that hold no integer.
        if (n != -1 || (v.vt == VT_I4 && v.lVal == -1) || (v.vt == VT_I2 && v.iVal == -1))
            result = n;
    }
    VariantClear(&v);
    return result;
}

std::wstring RowText(Recordset* rs, long ordinal)
{
    VARIANT v;
    RowValue(rs, ordinal, &v);
    std::wstring text;
    if (v.vt == VT_BSTR && v.bstrVal)
        text.assign(v.bstrVal, SysStringLen(v.bstrVal));
    VariantClear(&v);
    return text;
}

long ColumnCount(Recordset* rs)
{
    Fields* fields = nullptr;
    long count = 0;
    if (rs && SUCCEEDED(rs->get_Fields(&fields)) && fields) {
        fields->get_Count(&count);
        fields->Release();
    }
    return count;
}

HRESULT PutValue(Recordset* rs, long ordinal, const VARIANT& value)
{
    Fields* fields = nullptr;
    HRESULT hr = rs->get_Fields(&fields);
    if (FAILED(hr) || !fields)
        return FAILED(hr) ? hr : E_FAIL;
    zdata::Field* field = nullptr;
    hr = fields->Item(ordinal, &field);
    if (SUCCEEDED(hr) && field) {
        hr = field->put_Value(value);
        field->Release();
    }
    fields->Release();
    return hr;
}

HRESULT PutInt(Recordset* rs, long ordinal, int value)
{
    return PutValue(rs, ordinal, IntValue(value));
}

HRESULT PutText(Recordset* rs, long ordinal, const wchar_t* text)
{
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text ? text : L"");
    HRESULT hr = PutValue(rs, ordinal, v);
    VariantClear(&v);
    return hr;
}

HRESULT FilterEquals(Recordset* rs, const wchar_t* column, int id)
{
    wchar_t filter[64];
    StringCchPrintfW(filter, 64, L"%s = %d", column, id);
    return rs->put_Filter(filter);
}

bool IsEmptyRowset(Recordset* rs)
{
    return rs->IsBOF() && rs->IsEOF();
}

VARIANT IntValue(int value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT NullValue()
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_NULL;
    return v;
}

HRESULT ExecuteBound(Connection* connection, const wchar_t* sql, const std::vector<VARIANT>& values,
                     VARIANT* affected)
{
    zdata::Command* command = zdata::Command::Create();
    if (!command)
        return E_OUTOFMEMORY;
    command->put_ActiveConnection(connection);
    command->put_CommandText(sql);
    VARIANT array;
    VariantInit(&array);
    SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, (ULONG)values.size());
    if (!sa) {
        command->Release();
        return E_OUTOFMEMORY;
    }
    for (LONG i = 0; i < (LONG)values.size(); ++i)
        SafeArrayPutElement(sa, &i, const_cast<VARIANT*>(&values[i]));
    array.vt = VT_ARRAY | VT_VARIANT;
    array.parray = sa;
    HRESULT hr = command->Execute(affected, &array, adExecuteNoRecords);
    VariantClear(&array);
    command->Release();
    return hr;
}

Recordset* OpenRecordset(Connection* connection, const wchar_t* sql, bool client, long lockType)
{
    Recordset* rs = Recordset::Create();
    if (!rs)
        return nullptr;
    rs->put_CursorLocation(client ? adUseClient : adUseServer);
    rs->Open(sql, connection, adOpenKeyset, lockType, adCmdText);
    return rs;
}

int LevelOfColumn(const wchar_t* name, const wchar_t* format)
{
    const wchar_t* marker = wcsstr(format, L"%d");
    if (!name || !marker)
        return -1;
    size_t prefix = (size_t)(marker - format);
    if (_wcsnicmp(name, format, prefix) != 0)
        return -1;
    const wchar_t* p = name + prefix;
    if (*p < L'0' || *p > L'9')
        return -1;
    int level = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        level = level * 10 + (*p - L'0');
        if (level > 100000)
            return -1;
    }
    return _wcsicmp(p, marker + 2) == 0 ? level : -1;
}

namespace {

// Calls visit(field, name) for each field of the collection, in order; visit owns the field
// reference, the name (NULL when the field has none) lives only for the call.
template <typename Visit>
void EachField(Fields* fields, Visit visit)
{
    long count = 0;
    fields->get_Count(&count);
    for (long i = 0; i < count; ++i) {
        zdata::Field* field = nullptr;
        if (FAILED(fields->Item(i, &field)) || !field)
            continue;
        BSTR name = nullptr;
        if (FAILED(field->get_Name(&name)))
            name = nullptr;
        visit(field, name);
        SysFreeString(name);
    }
}

}  // namespace

bool TableColumnNames(zdata::Connection* connection, const std::wstring& table, std::vector<std::wstring>* names)
{
    names->clear();
    std::wstring sql = L"SELECT * FROM " + zdata::QuoteIdentifier(table) + L" WHERE 1 = 0";
    RsHolder rs(OpenRecordset(connection, sql.c_str(), false, adLockReadOnly));
    zdata::Fields* fields = nullptr;
    if (!rs.IsOpen() || FAILED(rs->get_Fields(&fields)) || !fields)
        return false;
    EachField(fields, [names](zdata::Field* field, BSTR name) {
        if (name)
            names->emplace_back(name, SysStringLen(name));
        field->Release();
    });
    fields->Release();
    return true;
}

std::vector<LevelField> LevelFieldsOf(Fields* fields, const wchar_t* format)
{
    std::vector<LevelField> found;
    EachField(fields, [&found, format](zdata::Field* field, BSTR name) {
        int level = LevelOfColumn(name, format);
        if (level >= 1)
            found.push_back({level, std::wstring(name), field});
        else
            field->Release();
    });
    return found;
}

std::vector<std::pair<int, std::wstring>> LevelColumnsOf(Connection* connection, const wchar_t* format)
{
    std::vector<std::pair<int, std::wstring>> columns;
    RsHolder rs(OpenRecordset(connection, L"SELECT * FROM ZORNACOLLS WHERE 0 = 1", false,
                              adLockReadOnly));
    Fields* fields = nullptr;
    if (!rs.IsOpen() || FAILED(rs.get()->get_Fields(&fields)) || !fields)
        return columns;
    for (LevelField& column : LevelFieldsOf(fields, format)) {
        columns.emplace_back(column.Level, column.Name);
        column.Field->Release();
    }
    fields->Release();
    return columns;
}

}  // namespace treewalk
