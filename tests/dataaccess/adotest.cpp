#include "tests/dataaccess/adotest.h"

using namespace zdata;

namespace adotest {

void LayerTest::SetUp()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string n = std::string(info->test_suite_name()) + "_" + info->name();
    folder_ = wintest::MakeTempFolder(std::wstring(n.begin(), n.end()).c_str());
    path_ = folder_ + L"\\test.db";
    ASSERT_EQ(S_OK, CreateDatabaseFile(path_.c_str()));
    conn_ = Connection::Create();
    ASSERT_EQ(S_OK, conn_->Open(ConnectionStringFor(path_).c_str(), L"", L"", adConnectUnspecified))
        << FirstError().c_str();
    ASSERT_EQ(adStateOpen, conn_->State());
}

void LayerTest::TearDown()
{
    if (conn_) {
        conn_->Close();
        conn_->Release();
        conn_ = nullptr;
    }
}

void LayerTest::Exec(const wchar_t* sql)
{
    HRESULT hr = conn_->Execute(sql, nullptr, adExecuteNoRecords, nullptr);
    std::wstring e = FAILED(hr) ? FirstError() : L"";
    ASSERT_EQ(S_OK, hr) << std::string(e.begin(), e.end());
}

Recordset* LayerTest::Open(const wchar_t* sql, long lockType, long location)
{
    Recordset* rs = Recordset::Create();
    rs->put_CursorLocation(location);
    HRESULT hr = rs->Open(sql, conn_, adOpenKeyset, lockType, adCmdText);
    std::wstring e = FAILED(hr) ? FirstError() : L"";
    EXPECT_EQ(S_OK, hr) << std::string(e.begin(), e.end());
    return rs;
}

// The value of a column (by name or ordinal) in the current row; false when there is no such
// column.
template <class Key>
static bool ReadField(Recordset* rs, Key key, VARIANT* v)
{
    Ref<Fields> fields;
    rs->get_Fields(fields.out());
    Ref<Field> f;
    if (FAILED(fields->Item(key, f.out())))
        return false;
    f->get_Value(v);
    return true;
}

static std::wstring ToText(VARIANT* v)
{
    if (v->vt == VT_NULL)
        return L"<null>";
    if (v->vt == VT_EMPTY)
        return L"<empty>";
    VARIANT t;
    VariantInit(&t);
    if (FAILED(VariantChangeTypeEx(&t, v, 0x0409, 0, VT_BSTR)))
        return L"<?>";
    std::wstring s(t.bstrVal, SysStringLen(t.bstrVal));
    VariantClear(&t);
    return s;
}

std::wstring LayerTest::Text(Recordset* rs, const wchar_t* column)
{
    Var v;
    if (!ReadField(rs, column, &v))
        return L"<no column>";
    return ToText(&v);
}

std::wstring LayerTest::Text(Recordset* rs, long ordinal)
{
    Var v;
    if (!ReadField(rs, ordinal, &v))
        return L"<no column>";
    return ToText(&v);
}

long LayerTest::Long(Recordset* rs, const wchar_t* column)
{
    Var v;
    if (!ReadField(rs, column, &v))
        return -999999;
    Var i;
    if (FAILED(VariantChangeType(&i, &v, 0, VT_I4)))
        return -999998;
    return i.v.lVal;
}

VARTYPE LayerTest::Type(Recordset* rs, const wchar_t* column)
{
    Var v;
    if (!ReadField(rs, column, &v))
        return (VARTYPE)0xffff;
    return v.v.vt;
}

HRESULT LayerTest::Put(Recordset* rs, const wchar_t* column, const VARIANT& value)
{
    Ref<Fields> fields;
    rs->get_Fields(fields.out());
    Ref<Field> f;
    HRESULT hr = fields->Item(column, f.out());
    if (FAILED(hr))
        return hr;
    return f->put_Value(value);
}

HRESULT LayerTest::PutText(Recordset* rs, const wchar_t* column, const wchar_t* text)
{
    Var v;
    Var::Set(&v, text);
    return Put(rs, column, v.v);
}

HRESULT LayerTest::PutLong(Recordset* rs, const wchar_t* column, long value)
{
    Var v;
    v.v.vt = VT_I4;
    v.v.lVal = value;
    return Put(rs, column, v.v);
}

long LayerTest::Count(Recordset* rs)
{
    long n = -1;
    rs->get_RecordCount(&n);
    return n;
}

std::vector<std::wstring> LayerTest::Column(Recordset* rs, const wchar_t* column)
{
    std::vector<std::wstring> out;
    while (!rs->IsEOF()) {
        out.push_back(Text(rs, column));
        if (FAILED(rs->MoveNext()))
            break;
    }
    return out;
}

long LayerTest::ErrorCount()
{
    Ref<Errors> errors;
    conn_->get_Errors(errors.out());
    return errors->Count();
}

std::wstring FirstErrorOf(Connection* connection)
{
    Ref<Errors> errors;
    connection->get_Errors(errors.out());
    Ref<Error> e;
    if (FAILED(errors->Item(0, e.out())))
        return L"";
    return e->Description();
}

std::wstring LayerTest::FirstError()
{
    return conn_ ? FirstErrorOf(conn_) : L"";
}

}  // namespace adotest
