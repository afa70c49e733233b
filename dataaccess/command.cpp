#include "dataaccess/ado.h"
#include "dataaccess/comout.h"
#include "dataaccess/odbccore.h"
#include "dataaccess/sqltranslate.h"

namespace zdata {

namespace {

// The number of '?' markers outside quoted text and comments.
long CountMarkers(const std::wstring& s)
{
    long n = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        wchar_t c = s[i];
        if (c == L'\'' || c == L'"' || c == L'[' || c == L'`') {
            wchar_t close = c == L'[' ? L']' : c;
            for (++i; i < s.size() && s[i] != close; ++i) {
            }
        } else if (c == L'-' && i + 1 < s.size() && s[i + 1] == L'-') {
            while (i < s.size() && s[i] != L'\n')
                ++i;
        } else if (c == L'?') {
            ++n;
        }
    }
    return n;
}

}  // namespace

Parameter::Parameter(std::wstring name, long type, long direction, long size, const VARIANT& value)
    : name_(std::move(name)), type_(type), direction_(direction), size_(size)
{
    VariantInit(&value_);
    VariantCopy(&value_, const_cast<VARIANT*>(&value));
}

Parameter::~Parameter() { VariantClear(&value_); }

HRESULT Parameter::get_Name(BSTR* out) const { return ToBstr(name_, out); }

HRESULT Parameter::get_Value(VARIANT* out) const
{
    if (!out)
        return E_POINTER;
    VariantInit(out);
    return VariantCopy(out, const_cast<VARIANT*>(&value_));
}

HRESULT Parameter::put_Value(const VARIANT& value)
{
    return VariantCopy(&value_, const_cast<VARIANT*>(&value));
}

HRESULT Parameter::get_Type(long* out) const
{
    return GiveOut(out, type_);
}

HRESULT Parameter::put_Type(long type)
{
    type_ = type;
    return S_OK;
}

HRESULT Parameter::get_Direction(long* out) const
{
    return GiveOut(out, direction_);
}

HRESULT Parameter::get_Size(long* out) const
{
    return GiveOut(out, size_);
}

HRESULT Parameter::put_Size(long size)
{
    size_ = size;
    return S_OK;
}

Parameters::Parameters(Command* owner) : owner_(owner) {}

Parameters::~Parameters()
{
    for (Parameter* p : items_)
        p->Release();
}

HRESULT Parameters::get_Count(long* out) const
{
    return GiveOut(out, (long)items_.size());
}

HRESULT Parameters::Item(long index, Parameter** out) const
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (index < 0 || index >= (long)items_.size())
        return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, adErrItemNotFound);
    *out = items_[index];
    (*out)->AddRef();
    return S_OK;
}

HRESULT Parameters::get_Item(const VARIANT& index, Parameter** out) const
{
    if (index.vt == VT_BSTR) {
        std::wstring name = index.bstrVal ? index.bstrVal : L"";
        for (size_t i = 0; i < items_.size(); ++i) {
            BSTR n = nullptr;
            items_[i]->get_Name(&n);
            bool same = n && _wcsicmp(n, name.c_str()) == 0;
            SysFreeString(n);
            if (same)
                return Item((long)i, out);
        }
        if (out)
            *out = nullptr;
        return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, adErrItemNotFound);
    }
    VARIANT v;
    VariantInit(&v);
    if (FAILED(VariantChangeType(&v, const_cast<VARIANT*>(&index), 0, VT_I4))) {
        if (out)
            *out = nullptr;
        return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, adErrItemNotFound);
    }
    return Item(v.lVal, out);
}

HRESULT Parameters::Append(Parameter* parameter)
{
    if (!parameter)
        return E_POINTER;
    parameter->AddRef();
    items_.push_back(parameter);
    return S_OK;
}

HRESULT Parameters::Delete(const VARIANT& index)
{
    Parameter* p = nullptr;
    HRESULT hr = get_Item(index, &p);
    if (FAILED(hr))
        return hr;
    for (auto it = items_.begin(); it != items_.end(); ++it) {
        if (*it == p) {
            items_.erase(it);
            p->Release();
            break;
        }
    }
    p->Release();
    return S_OK;
}

HRESULT Parameters::Refresh()
{
    long markers = CountMarkers(TranslateSql(owner_->text_));
    while ((long)items_.size() > markers) {
        items_.back()->Release();
        items_.pop_back();
    }
    VARIANT empty;
    VariantInit(&empty);
    while ((long)items_.size() < markers) {
        wchar_t name[16];
        _snwprintf(name, 16, L"Param%u", (unsigned)(items_.size() + 1));
        name[15] = 0;
        items_.push_back(new Parameter(name, adVariant, adParamInput, 0, empty));
    }
    return S_OK;
}

// ---------------------------------------------------------------------------------------------

Command::Command() : parameters_(new Parameters(this)) {}

Command::~Command()
{
    parameters_->owner_ = nullptr;
    parameters_->Release();
    if (connection_)
        connection_->Release();
}

Command* Command::Create() { return new Command(); }

HRESULT Command::put_ActiveConnection(Connection* connection)
{
    if (connection)
        connection->AddRef();
    if (connection_)
        connection_->Release();
    connection_ = connection;
    return S_OK;
}

HRESULT Command::put_CommandText(const wchar_t* text)
{
    text_ = text ? text : L"";
    translatedFor_.reset();
    return S_OK;
}

HRESULT Command::get_CommandText(BSTR* out) const { return ToBstr(text_, out); }

HRESULT Command::put_CommandType(long type)
{
    if (type != adCmdText && type != adCmdUnspecified && type != adCmdUnknown)
        return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, adErrFeatureNotAvailable);
    return S_OK;
}

HRESULT Command::get_Parameters(Parameters** out)
{
    if (!out)
        return E_POINTER;
    *out = parameters_;
    parameters_->AddRef();
    return S_OK;
}

HRESULT Command::CreateParameter(const wchar_t* name, long type, long direction, long size,
                                 const VARIANT& value, Parameter** out)
{
    if (!out)
        return E_POINTER;
    *out = new Parameter(name ? name : L"", type, direction, size, value);
    return S_OK;
}

HRESULT Command::Execute(VARIANT* recordsAffected, const VARIANT* values, long options,
                         Recordset** recordset)
{
    ResetExecuteResults(recordsAffected, recordset);
    if (!connection_)
        return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, adErrInvalidConnection);
    std::shared_ptr<ConnectionCore> core = connection_->Core();
    if (core != translatedFor_ || core->schemaChanges != translatedAt_ || !core->IsOpen()) {
        translated_ = core->Translate(text_);
        markers_ = CountMarkers(translated_);
        translatedFor_ = core;
        translatedAt_ = core->schemaChanges;
    }
    const std::wstring& text = translated_;
    if (text.empty())
        return S_OK;
    long markers = markers_;
    // The values of this run: the array given, else the parameters' own.
    std::vector<VARIANT> given;
    if (values && values->vt == (VT_ARRAY | VT_VARIANT) && values->parray) {
        SAFEARRAY* sa = values->parray;
        LONG lo = 0, hi = -1;
        SafeArrayGetLBound(sa, 1, &lo);
        SafeArrayGetUBound(sa, 1, &hi);
        for (LONG i = lo; i <= hi; ++i) {
            VARIANT v;
            VariantInit(&v);
            SafeArrayGetElement(sa, &i, &v);
            given.push_back(v);
        }
    } else if (values && values->vt != VT_EMPTY && values->vt != VT_ERROR) {
        VARIANT v;
        VariantInit(&v);
        VariantCopy(&v, const_cast<VARIANT*>(values));
        given.push_back(v);
    }
    std::vector<BindValue> binds((size_t)markers);
    HRESULT hr = S_OK;
    for (long i = 0; i < markers && SUCCEEDED(hr); ++i) {
        const VARIANT* v = nullptr;
        long type = adEmpty;
        if (i < (long)given.size())
            v = &given[i];
        if (i < (long)parameters_->items_.size()) {
            type = parameters_->items_[i]->Type();
            if (!v)
                v = &parameters_->items_[i]->Value();
        }
        if (!v) {
            hr = core->Fail(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, adErrInvalidArgument),
                            L"Příkaz má méně hodnot, než kolik má parametrů.");
            break;
        }
        HRESULT conv = VariantToBindValue(type == adVariant ? adEmpty : (DataTypeEnum)type, *v,
                                          &binds[i]);
        if (FAILED(conv))
            hr = core->Fail(conv, L"Hodnota parametru neodpovídá jeho typu.");
    }
    for (VARIANT& v : given)
        VariantClear(&v);
    if (FAILED(hr))
        return hr;
    bool noRecords = options != adOptionUnspecified && (options & adExecuteNoRecords);
    if (!noRecords && recordset) {
        Recordset* rs = Recordset::Create();
        hr = rs->OpenWithParameters(text_.c_str(), connection_, binds);
        if (FAILED(hr)) {
            rs->Release();
            return hr;
        }
        *recordset = rs;
        return S_OK;
    }
    std::lock_guard<std::recursive_mutex> hold(core->lock);
    if (!core->IsOpen())
        return core->NotOpen();
    HRESULT refused = AdmitStatement(*core, text_);
    if (FAILED(refused))
        return refused;
    // A text with markers is run again with other values (a text without them holds its
    // values and seldom comes again).
    bool schema = MayChangeSchema(text);
    CachedStmt st;
    if (!st.Take(*core, text, !schema && markers > 0))
        return st.Fail(L"Příkaz databáze se nepodařilo provést.");
    if (!OdbcOk(st.Bind(binds)))
        return st.Fail(L"Parametry příkazu nelze předat databázi.");
    SQLRETURN rc = st.Execute();
    if (!OdbcOk(rc) && rc != SQL_NO_DATA)
        return st.Fail(L"Příkaz databáze se nepodařilo provést.");
    StoreRowsAffected(st.h, recordsAffected);
    st.Release();
    if (schema)
        core->SchemaChanged();
    return S_OK;
}

}  // namespace zdata
