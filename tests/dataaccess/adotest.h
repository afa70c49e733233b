// Shared fixture of the data layer's tests: a fresh SQLite file per test, opened through the
// layer, and small helpers to read values.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "dataaccess/ado.h"
#include "tests/support/wintest.h"

namespace adotest {

// A released-on-scope-exit reference to one of the layer's objects.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : p_(p) {}
    ~Ref() { reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    void reset(T* p = nullptr)
    {
        if (p_)
            p_->Release();
        p_ = p;
    }
    T** out()
    {
        reset();
        return &p_;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// A VARIANT cleared on scope exit.
struct Var {
    VARIANT v;
    Var() { VariantInit(&v); }
    ~Var() { VariantClear(&v); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
    VARIANT* operator&() { return &v; }
    static void Set(VARIANT* to, const wchar_t* s)
    {
        VariantClear(to);
        to->vt = VT_BSTR;
        to->bstrVal = SysAllocString(s);
    }
};

inline std::wstring ConnectionStringFor(const std::wstring& path)
{
    return L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + L";";
}

// The description of the first error in a connection's Errors; empty when there is none.
std::wstring FirstErrorOf(zdata::Connection* connection);

class LayerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs SQL that returns no rows and expects success.
    void Exec(const wchar_t* sql);
    // Opens a recordset (client cursor unless told otherwise).
    zdata::Recordset* Open(const wchar_t* sql, long lockType = adLockOptimistic,
                           long location = adUseClient);
    std::wstring Text(zdata::Recordset* rs, const wchar_t* column);
    std::wstring Text(zdata::Recordset* rs, long ordinal);
    long Long(zdata::Recordset* rs, const wchar_t* column);
    HRESULT Put(zdata::Recordset* rs, const wchar_t* column, const VARIANT& value);
    HRESULT PutText(zdata::Recordset* rs, const wchar_t* column, const wchar_t* text);
    HRESULT PutLong(zdata::Recordset* rs, const wchar_t* column, long value);
    VARTYPE Type(zdata::Recordset* rs, const wchar_t* column);
    long Count(zdata::Recordset* rs);
    // Every row's value of a column from the current row on, in order.
    std::vector<std::wstring> Column(zdata::Recordset* rs, const wchar_t* column);
    long ErrorCount();
    std::wstring FirstError();

    std::wstring folder_;
    std::wstring path_;
    zdata::Connection* conn_ = nullptr;
};

}  // namespace adotest
