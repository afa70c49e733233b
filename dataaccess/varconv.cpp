#include "dataaccess/varconv.h"

#include "czechcollation/czechtext.h"
#include "dataaccess/datetext.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace zdata {

namespace {

std::wstring UpperAscii(const wchar_t* s)
{
    std::wstring r;
    if (!s)
        return r;
    for (; *s; ++s)
        r += (*s >= L'a' && *s <= L'z') ? wchar_t(*s - 32) : *s;
    return r;
}

// Trims blanks and splits "VARCHAR(40)" into the base name and its first size argument.
void SplitDeclType(const wchar_t* declType, std::wstring* base, long* size)
{
    std::wstring d = UpperAscii(declType);
    size_t open = d.find(L'(');
    *size = -1;
    if (open != std::wstring::npos) {
        const wchar_t* p = d.c_str() + open + 1;
        while (*p == L' ')
            ++p;
        if (*p >= L'0' && *p <= L'9')
            *size = wcstol(p, nullptr, 10);
        d.erase(open);
    }
    size_t b = d.find_first_not_of(L" \t");
    size_t e = d.find_last_not_of(L" \t");
    *base = (b == std::wstring::npos) ? std::wstring() : d.substr(b, e - b + 1);
}

bool Contains(const std::wstring& s, const wchar_t* part) { return s.find(part) != std::wstring::npos; }

bool IsBooleanDecl(const std::wstring& base)
{
    return Contains(base, L"BOOL") || base == L"BIT" || base == L"LOGICAL" || base == L"YESNO" ||
           base == L"LOGICAL1";
}

ColumnType Make(DataTypeEnum t, long size, FetchKind k)
{
    ColumnType c;
    c.adoType = t;
    c.definedSize = size;
    c.fetch = k;
    return c;
}

bool IsNullish(VARTYPE vt) { return vt == VT_EMPTY || vt == VT_NULL; }

bool IsNumericVt(VARTYPE vt)
{
    switch (vt) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT:
    case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL: case VT_DATE: case VT_BOOL:
        return true;
    default:
        return false;
    }
}

bool IsIntegralVt(VARTYPE vt)
{
    switch (vt) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UINT: case VT_BOOL:
        return true;
    default:
        return false;
    }
}

// Changes a VARIANT's type; text is read in the user's locale first, then in the invariant one.
HRESULT ChangeType(VARIANT* dst, const VARIANT& src, VARTYPE vt)
{
    HRESULT hr = VariantChangeTypeEx(dst, const_cast<VARIANT*>(&src), LOCALE_USER_DEFAULT, 0, vt);
    if (FAILED(hr) && src.vt == VT_BSTR && hr != DISP_E_OVERFLOW) {
        HRESULT hr2 = VariantChangeTypeEx(dst, const_cast<VARIANT*>(&src), LOCALE_INVARIANT, 0, vt);
        if (SUCCEEDED(hr2) || hr2 == DISP_E_OVERFLOW)
            hr = hr2;
    }
    if (FAILED(hr) && src.vt == VT_BSTR && hr != DISP_E_OVERFLOW && vt != VT_BSTR) {
        // Text that is a plain C-locale number ("-1", "12.5", "1e3") whatever the locale says.
        const wchar_t* s = src.bstrVal ? src.bstrVal : L"";
        wchar_t* end = nullptr;
        double d = wcstod(s, &end);
        if (end != s && end && *end == 0 && s[0] != L' ') {
            VARIANT tmp;
            VariantInit(&tmp);
            tmp.vt = VT_R8;
            tmp.dblVal = d;
            hr = VariantChangeTypeEx(dst, &tmp, LOCALE_INVARIANT, 0, vt);
        }
    }
    if (hr == DISP_E_BADVARTYPE || hr == E_INVALIDARG)
        hr = DISP_E_TYPEMISMATCH;
    return hr;
}

HRESULT MakeByteArray(const BYTE* data, size_t len, VARIANT* out)
{
    if (len > 0x7FFFFFFF)
        return E_OUTOFMEMORY;
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, ULONG(len));
    if (!sa)
        return E_OUTOFMEMORY;
    if (len) {
        void* p = nullptr;
        SafeArrayAccessData(sa, &p);
        memcpy(p, data, len);
        SafeArrayUnaccessData(sa);
    }
    out->vt = VT_ARRAY | VT_UI1;
    out->parray = sa;
    return S_OK;
}

bool IsByteArray(const VARIANT& v) { return v.vt == (VT_ARRAY | VT_UI1) && v.parray; }

void ByteArrayData(const VARIANT& v, const BYTE** data, size_t* len)
{
    *data = nullptr;
    *len = 0;
    if (!IsByteArray(v) || SafeArrayGetDim(v.parray) != 1)
        return;
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(v.parray, 1, &lo);
    SafeArrayGetUBound(v.parray, 1, &hi);
    *len = hi >= lo ? size_t(hi - lo + 1) : 0;
    *data = static_cast<const BYTE*>(v.parray->pvData);
}

HRESULT MakeBstr(const wchar_t* s, size_t n, VARIANT* out)
{
    if (n > 0x7FFFFFFF)
        return E_OUTOFMEMORY;
    BSTR b = SysAllocStringLen(s ? s : L"", UINT(n));
    if (!b)
        return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    out->bstrVal = b;
    return S_OK;
}

void SetIntegral(long long v, VARIANT* out)
{
    if (v >= INT_MIN && v <= INT_MAX) {
        out->vt = VT_I4;
        out->lVal = LONG(v);
    } else {
        out->vt = VT_R8;
        out->dblVal = double(v);
    }
}

// The value as it is, for a column whose type does not describe it.
HRESULT NaturalVariant(const DriverValue& v, VARIANT* out)
{
    switch (v.kind) {
    case FetchKind::Integer:
        SetIntegral(v.i, out);
        return S_OK;
    case FetchKind::Double:
        out->vt = VT_R8;
        out->dblVal = v.d;
        return S_OK;
    case FetchKind::Text:
        return MakeBstr(v.text, v.textLen, out);
    case FetchKind::Binary:
        return MakeByteArray(v.bytes, v.byteLen, out);
    }
    return E_UNEXPECTED;
}

// Reads stored text as a number (C locale, whole text). SQLite hands back text for values that were
// stored as text in a numeric column.
bool TextToDouble(const wchar_t* s, size_t n, double* d)
{
    std::wstring t(s ? s : L"", n);
    if (t.empty() || t[0] == L' ')
        return false;
    wchar_t* end = nullptr;
    *d = wcstod(t.c_str(), &end);
    return end && *end == 0;
}

// A criterion text or pattern read as Czech letters: code points in lower case, "ch" (any case)
// one letter beyond every code point.
const uint32_t kLetterCh = 0x110000;

uint32_t NextCodePoint(const wchar_t* s, size_t n, size_t* i)
{
    uint32_t u = (uint16_t)s[(*i)++];
    if (u >= 0xD800 && u <= 0xDBFF && *i < n) {
        uint32_t low = (uint16_t)s[*i];
        if (low >= 0xDC00 && low <= 0xDFFF) {
            ++*i;
            return 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return u;
}

}  // namespace

ColumnType MapDeclType(const wchar_t* declType)
{
    std::wstring base;
    long size = -1;
    SplitDeclType(declType, &base, &size);
    if (base.empty())
        return Make(adVarWChar, 255, FetchKind::Text);
    if (IsBooleanDecl(base))
        return Make(adBoolean, 2, FetchKind::Integer);
    if (Contains(base, L"DATE") || Contains(base, L"TIME"))
        return Make(adDate, 8, FetchKind::Double);
    if (base == L"BIGINT" || base == L"INT8")
        return Make(adBigInt, 8, FetchKind::Integer);
    if (base == L"SMALLINT" || base == L"SHORT" || base == L"INT2")
        return Make(adSmallInt, 2, FetchKind::Integer);
    if (base == L"TINYINT" || base == L"BYTE")
        return Make(adUnsignedTinyInt, 1, FetchKind::Integer);
    if (Contains(base, L"INT") || base == L"LONG" || base == L"COUNTER" || base == L"AUTOINCREMENT")
        return Make(adInteger, 4, FetchKind::Integer);
    if (base == L"SINGLE" || base == L"FLOAT4")
        return Make(adSingle, 4, FetchKind::Double);
    if (Contains(base, L"DOUB") || Contains(base, L"FLOA") || Contains(base, L"REAL"))
        return Make(adDouble, 8, FetchKind::Double);
    if (base == L"NUMERIC" || base == L"DECIMAL" || base == L"CURRENCY" || base == L"MONEY" || base == L"NUMBER")
        return Make(adNumeric, 19, FetchKind::Double);
    if (Contains(base, L"BLOB") || Contains(base, L"BINARY") || base == L"IMAGE" || base == L"OLEOBJECT" ||
        base == L"GENERAL")
        return Make(adLongVarBinary, 0, FetchKind::Binary);
    if (Contains(base, L"CLOB") || base == L"MEMO" || base == L"LONGTEXT" || base == L"LONGCHAR" ||
        base == L"NOTE" || (base == L"TEXT" && size < 0) || base == L"NTEXT")
        return Make(adLongVarWChar, 0, FetchKind::Text);
    if (Contains(base, L"CHAR") || base == L"TEXT" || base == L"STRING" || base == L"ALPHANUMERIC")
        return Make(adVarWChar, size > 0 ? size : 255, FetchKind::Text);
    if (base == L"GUID" || base == L"UNIQUEIDENTIFIER")
        return Make(adGUID, 16, FetchKind::Text);
    return Make(adVarWChar, 255, FetchKind::Text);
}

ColumnType MapOdbcType(SQLSMALLINT sqlType, SQLULEN columnSize, const wchar_t* declType)
{
    // A boolean declared in a way the driver does not know (Jet's LOGICAL, YESNO) is still a boolean.
    if (declType && *declType) {
        std::wstring base;
        long size = -1;
        SplitDeclType(declType, &base, &size);
        if (IsBooleanDecl(base))
            return Make(adBoolean, 2, FetchKind::Integer);
    }
    switch (sqlType) {
    case SQL_INTEGER:
        return Make(adInteger, 4, FetchKind::Integer);
    case SQL_SMALLINT:
        return Make(adSmallInt, 2, FetchKind::Integer);
    case SQL_TINYINT:
        return Make(adUnsignedTinyInt, 1, FetchKind::Integer);
    case SQL_BIGINT:
        return Make(adBigInt, 8, FetchKind::Integer);
    case SQL_BIT:
        return Make(adBoolean, 2, FetchKind::Integer);
    case SQL_DOUBLE:
    case SQL_FLOAT:
        return Make(adDouble, 8, FetchKind::Double);
    case SQL_REAL:
        return Make(adSingle, 4, FetchKind::Double);
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return Make(adNumeric, 19, FetchKind::Double);
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
        return Make(adVarWChar, columnSize > 0 && columnSize < 0x7FFFFFFF ? long(columnSize) : 255,
                    FetchKind::Text);
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
        // Long text reports no size: the callers size buffers from the values, not from here.
        return Make(adLongVarWChar, 0, FetchKind::Text);
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        // The driver reports 255 for any blob; pictures are far longer.
        return Make(adLongVarBinary, 0, FetchKind::Binary);
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATE:
    case SQL_TIME:
    case SQL_TIMESTAMP:
        // Stored as REAL OLE dates: fetched as doubles so the driver converts nothing.
        return Make(adDate, 8, FetchKind::Double);
    case SQL_GUID:
        return Make(adGUID, 16, FetchKind::Text);
    default:
        return MapDeclType(declType);
    }
}

SQLSMALLINT CTypeOf(FetchKind kind)
{
    switch (kind) {
    case FetchKind::Integer: return SQL_C_SBIGINT;
    case FetchKind::Double: return SQL_C_DOUBLE;
    case FetchKind::Text: return SQL_C_WCHAR;
    case FetchKind::Binary: return SQL_C_BINARY;
    }
    return SQL_C_WCHAR;
}

bool IsTextType(DataTypeEnum type)
{
    switch (type) {
    case adBSTR: case adChar: case adWChar: case adVarChar: case adLongVarChar: case adVarWChar:
    case adLongVarWChar: case adGUID:
        return true;
    default:
        return false;
    }
}

bool IsNumericType(DataTypeEnum type)
{
    switch (type) {
    case adSmallInt: case adInteger: case adSingle: case adDouble: case adCurrency: case adDecimal:
    case adTinyInt: case adUnsignedTinyInt: case adUnsignedSmallInt: case adUnsignedInt: case adBigInt:
    case adUnsignedBigInt: case adNumeric:
        return true;
    default:
        return false;
    }
}

bool IsBinaryType(DataTypeEnum type)
{
    return type == adBinary || type == adVarBinary || type == adLongVarBinary;
}

static bool IsDateType(DataTypeEnum type)
{
    return type == adDate || type == adDBDate || type == adDBTime || type == adDBTimeStamp;
}

static bool IsIntegerType(DataTypeEnum type)
{
    switch (type) {
    case adSmallInt: case adInteger: case adTinyInt: case adUnsignedTinyInt: case adUnsignedSmallInt:
    case adUnsignedInt: case adBigInt: case adUnsignedBigInt:
        return true;
    default:
        return false;
    }
}

VARTYPE VarTypeOf(DataTypeEnum type)
{
    switch (type) {
    case adSmallInt: return VT_I2;
    case adTinyInt: return VT_I1;
    case adUnsignedTinyInt: return VT_UI1;
    case adInteger: case adUnsignedSmallInt: case adUnsignedInt: case adBigInt: case adUnsignedBigInt:
        return VT_I4;
    case adSingle: return VT_R4;
    case adDouble: case adCurrency: case adDecimal: case adNumeric: return VT_R8;
    case adBoolean: return VT_BOOL;
    case adDate: case adDBDate: case adDBTime: case adDBTimeStamp: return VT_DATE;
    case adBinary: case adVarBinary: case adLongVarBinary: return VT_ARRAY | VT_UI1;
    case adEmpty: case adVariant: return VT_VARIANT;
    default: return VT_BSTR;
    }
}

HRESULT DriverValueToVariant(DataTypeEnum type, const DriverValue& value, VARIANT* out)
{
    if (!out)
        return E_POINTER;
    VariantClear(out);
    if (value.isNull) {
        out->vt = VT_NULL;
        return S_OK;
    }
    double d = 0.0;
    if (type == adBoolean) {
        switch (value.kind) {
        case FetchKind::Integer:
            out->vt = VT_BOOL;
            out->boolVal = value.i ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case FetchKind::Double:
            out->vt = VT_BOOL;
            out->boolVal = value.d != 0.0 ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case FetchKind::Text:
            if (TextToDouble(value.text, value.textLen, &d)) {
                out->vt = VT_BOOL;
                out->boolVal = d != 0.0 ? VARIANT_TRUE : VARIANT_FALSE;
                return S_OK;
            }
            break;
        default:
            break;
        }
        return NaturalVariant(value, out);
    }
    if (IsDateType(type)) {
        switch (value.kind) {
        case FetchKind::Integer:
            out->vt = VT_DATE;
            out->date = double(value.i);
            return S_OK;
        case FetchKind::Double:
            out->vt = VT_DATE;
            out->date = value.d;
            return S_OK;
        case FetchKind::Text: {
            if (TextToDouble(value.text, value.textLen, &d)) {
                out->vt = VT_DATE;
                out->date = d;
                return S_OK;
            }
            // A date stored as text ("2020-01-15 10:30:00") by some other program; a text of
            // that form naming no day (a day 0) stays the text it is.
            DATE dt = 0;
            DateText form = ReadDateText(value.text, value.textLen, &dt);
            if (form == DateText::Date) {
                out->vt = VT_DATE;
                out->date = dt;
                return S_OK;
            }
            std::wstring t(value.text ? value.text : L"", value.textLen);
            if (form == DateText::Other &&
                SUCCEEDED(VarDateFromStr(const_cast<wchar_t*>(t.c_str()), LOCALE_INVARIANT, 0, &dt))) {
                out->vt = VT_DATE;
                out->date = dt;
                return S_OK;
            }
            break;
        }
        default:
            break;
        }
        return NaturalVariant(value, out);
    }
    if (IsIntegerType(type)) {
        if (value.kind == FetchKind::Integer) {
            if (type == adSmallInt && value.i >= SHRT_MIN && value.i <= SHRT_MAX) {
                out->vt = VT_I2;
                out->iVal = SHORT(value.i);
            } else if (type == adUnsignedTinyInt && value.i >= 0 && value.i <= 255) {
                out->vt = VT_UI1;
                out->bVal = BYTE(value.i);
            } else {
                SetIntegral(value.i, out);
            }
            return S_OK;
        }
        if (value.kind == FetchKind::Text && TextToDouble(value.text, value.textLen, &d) &&
            d == std::floor(d) && d >= INT_MIN && d <= INT_MAX) {
            DriverValue iv = DriverValue::Int((long long)d);
            return DriverValueToVariant(type, iv, out);
        }
        return NaturalVariant(value, out);
    }
    if (type == adSingle || type == adDouble || type == adCurrency || type == adDecimal || type == adNumeric) {
        if (value.kind == FetchKind::Integer)
            d = double(value.i);
        else if (value.kind == FetchKind::Double)
            d = value.d;
        else if (!(value.kind == FetchKind::Text && TextToDouble(value.text, value.textLen, &d)))
            return NaturalVariant(value, out);
        if (type == adSingle) {
            out->vt = VT_R4;
            out->fltVal = float(d);
        } else {
            out->vt = VT_R8;
            out->dblVal = d;
        }
        return S_OK;
    }
    if (IsTextType(type)) {
        if (value.kind == FetchKind::Text)
            return MakeBstr(value.text, value.textLen, out);
        wchar_t buf[64];
        if (value.kind == FetchKind::Integer) {
            _snwprintf(buf, 64, L"%lld", value.i);
            buf[63] = 0;
            return MakeBstr(buf, wcslen(buf), out);
        }
        if (value.kind == FetchKind::Double) {
            // Shortest text that reads back as the same double, in the C locale.
            for (int prec = 15; prec <= 17; ++prec) {
                _snwprintf(buf, 64, L"%.*g", prec, value.d);
                buf[63] = 0;
                if (wcstod(buf, nullptr) == value.d)
                    break;
            }
            return MakeBstr(buf, wcslen(buf), out);
        }
        return NaturalVariant(value, out);
    }
    return NaturalVariant(value, out);
}

SQLSMALLINT BindValue::SqlType() const
{
    switch (kind) {
    case FetchKind::Integer: return SQL_BIGINT;
    case FetchKind::Double: return SQL_DOUBLE;
    case FetchKind::Text: return text.size() > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
    case FetchKind::Binary: return SQL_LONGVARBINARY;
    }
    return SQL_WVARCHAR;
}

HRESULT CoerceVariant(DataTypeEnum type, const VARIANT& value, VARIANT* out)
{
    if (!out)
        return E_POINTER;
    VariantClear(out);
    VARIANT src;
    VariantInit(&src);
    HRESULT hr = VariantCopyInd(&src, const_cast<VARIANT*>(&value));
    if (FAILED(hr))
        return hr;
    struct Guard { VARIANT* v; ~Guard() { VariantClear(v); } } guard{ &src };

    if (IsNullish(src.vt)) {
        out->vt = VT_NULL;
        return S_OK;
    }
    if (type == adEmpty || type == adVariant)
        return VariantCopy(out, &src);

    if (IsBinaryType(type)) {
        if (!IsByteArray(src))
            return DISP_E_TYPEMISMATCH;
        return VariantCopy(out, &src);
    }
    if (src.vt & VT_ARRAY)
        return DISP_E_TYPEMISMATCH;

    if (type == adBoolean) {
        VARIANT b;
        VariantInit(&b);
        hr = ChangeType(&b, src, VT_BOOL);
        if (FAILED(hr))
            return hr;
        out->vt = VT_BOOL;
        out->boolVal = b.boolVal ? VARIANT_TRUE : VARIANT_FALSE;  // any non-zero value is true (-1)
        return S_OK;
    }
    if (IsDateType(type)) {
        if (src.vt == VT_BOOL)
            return DISP_E_TYPEMISMATCH;
        return ChangeType(out, src, VT_DATE);
    }
    if (IsIntegerType(type)) {
        VARTYPE vt = VT_I4;
        if (type == adSmallInt)
            vt = VT_I2;
        else if (type == adUnsignedTinyInt)
            vt = VT_UI1;
        else if (type == adTinyInt)
            vt = VT_I1;
        else if (type == adBigInt || type == adUnsignedBigInt || type == adUnsignedInt)
            vt = VT_I8;
        else if (type == adUnsignedSmallInt)
            vt = VT_UI2;
        hr = ChangeType(out, src, vt);
        if (FAILED(hr))
            return hr;
        if (out->vt == VT_I8 && out->llVal >= INT_MIN && out->llVal <= INT_MAX) {
            LONG l = LONG(out->llVal);
            out->vt = VT_I4;
            out->lVal = l;
        }
        return S_OK;
    }
    if (type == adSingle)
        return ChangeType(out, src, VT_R4);
    if (IsNumericType(type))
        return ChangeType(out, src, VT_R8);
    // Text columns (and anything else) take the value's text.
    if (src.vt == VT_BSTR)
        return VariantCopy(out, &src);
    return ChangeType(out, src, VT_BSTR);
}

HRESULT VariantToBindValue(DataTypeEnum type, const VARIANT& value, BindValue* out)
{
    if (!out)
        return E_POINTER;
    *out = BindValue();
    VARIANT v;
    VariantInit(&v);
    HRESULT hr = CoerceVariant(type, value, &v);
    if (FAILED(hr))
        return hr;
    struct Guard { VARIANT* v; ~Guard() { VariantClear(v); } } guard{ &v };

    out->isNull = false;
    switch (v.vt) {
    case VT_NULL:
        out->isNull = true;
        return S_OK;
    case VT_BOOL:
        out->kind = FetchKind::Integer;
        out->i = v.boolVal ? -1 : 0;
        return S_OK;
    case VT_I1: out->kind = FetchKind::Integer; out->i = v.cVal; return S_OK;
    case VT_I2: out->kind = FetchKind::Integer; out->i = v.iVal; return S_OK;
    case VT_I4: out->kind = FetchKind::Integer; out->i = v.lVal; return S_OK;
    case VT_INT: out->kind = FetchKind::Integer; out->i = v.intVal; return S_OK;
    case VT_I8: out->kind = FetchKind::Integer; out->i = v.llVal; return S_OK;
    case VT_UI1: out->kind = FetchKind::Integer; out->i = v.bVal; return S_OK;
    case VT_UI2: out->kind = FetchKind::Integer; out->i = v.uiVal; return S_OK;
    case VT_UI4: out->kind = FetchKind::Integer; out->i = v.ulVal; return S_OK;
    case VT_UINT: out->kind = FetchKind::Integer; out->i = v.uintVal; return S_OK;
    case VT_UI8:
        if (v.ullVal > ULONGLONG(LLONG_MAX))
            return DISP_E_OVERFLOW;
        out->kind = FetchKind::Integer;
        out->i = (long long)v.ullVal;
        return S_OK;
    case VT_R4: out->kind = FetchKind::Double; out->d = v.fltVal; return S_OK;
    case VT_R8: out->kind = FetchKind::Double; out->d = v.dblVal; return S_OK;
    case VT_DATE: out->kind = FetchKind::Double; out->d = v.date; return S_OK;
    case VT_CY:
    case VT_DECIMAL: {
        VARIANT r;
        VariantInit(&r);
        hr = VariantChangeTypeEx(&r, &v, LOCALE_INVARIANT, 0, VT_R8);
        if (FAILED(hr))
            return hr;
        out->kind = FetchKind::Double;
        out->d = r.dblVal;
        return S_OK;
    }
    case VT_BSTR:
        out->kind = FetchKind::Text;
        out->text.assign(v.bstrVal ? v.bstrVal : L"", v.bstrVal ? SysStringLen(v.bstrVal) : 0);
        return S_OK;
    default:
        break;
    }
    if (IsByteArray(v)) {
        const BYTE* data = nullptr;
        size_t len = 0;
        ByteArrayData(v, &data, &len);
        out->kind = FetchKind::Binary;
        out->bytes.assign(data, data + len);
        return S_OK;
    }
    // Anything else (adVariant with an object, an array of another type) is bound as its text.
    VARIANT t;
    VariantInit(&t);
    hr = ChangeType(&t, v, VT_BSTR);
    if (FAILED(hr))
        return DISP_E_TYPEMISMATCH;
    out->kind = FetchKind::Text;
    out->text.assign(t.bstrVal ? t.bstrVal : L"", t.bstrVal ? SysStringLen(t.bstrVal) : 0);
    VariantClear(&t);
    return S_OK;
}

bool TextEqualsNoCase(const wchar_t* a, size_t lenA, const wchar_t* b, size_t lenB)
{
    return CzechCompareNoCase(a, lenA, b, lenB) == 0;
}

int CompareTextNoCase(const wchar_t* a, size_t lenA, const wchar_t* b, size_t lenB)
{
    return CzechCompareNoCase(a, lenA, b, lenB);
}

bool LikeMatch(const wchar_t* text, size_t textLen, const wchar_t* pattern, size_t patternLen)
{
    // Compile the pattern into Czech letters and "any run" markers. A c and an h written next to
    // each other are the letter ch; a bracketed character stands alone.
    struct Item { bool any; uint32_t letter; };
    std::vector<Item> items;
    items.reserve(patternLen);
    const wchar_t* p = pattern ? pattern : L"";
    for (size_t i = 0; i < patternLen;) {
        if (p[i] == L'*' || p[i] == L'%') {
            if (items.empty() || !items.back().any)
                items.push_back({ true, 0 });
            ++i;
        } else if (p[i] == L'[' && i + 2 < patternLen && p[i + 2] == L']') {
            items.push_back({ false, CzFoldCase((uint16_t)p[i + 1]) });
            i += 3;
        } else if (i + 1 < patternLen && CzIsDigraphCh((uint16_t)p[i], (uint16_t)p[i + 1])) {
            items.push_back({ false, kLetterCh });
            i += 2;
        } else {
            items.push_back({ false, CzFoldCase(NextCodePoint(p, patternLen, &i)) });
        }
    }
    std::vector<uint32_t> letters;
    letters.reserve(textLen);
    const wchar_t* s = text ? text : L"";
    for (size_t i = 0; i < textLen;) {
        if (i + 1 < textLen && CzIsDigraphCh((uint16_t)s[i], (uint16_t)s[i + 1])) {
            letters.push_back(kLetterCh);
            i += 2;
        } else {
            letters.push_back(CzFoldCase(NextCodePoint(s, textLen, &i)));
        }
    }

    // Greedy match with backtracking to the last "any run".
    size_t t = 0, k = 0, starK = size_t(-1), starT = 0;
    while (t < letters.size()) {
        if (k < items.size() && !items[k].any && items[k].letter == letters[t]) {
            ++t;
            ++k;
        } else if (k < items.size() && items[k].any) {
            starK = k++;
            starT = t;
        } else if (starK != size_t(-1)) {
            k = starK + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (k < items.size() && items[k].any)
        ++k;
    return k == items.size();
}

CompareResult CompareVariants(const VARIANT& leftIn, const VARIANT& rightIn)
{
    const VARIANT* left = &leftIn;
    const VARIANT* right = &rightIn;
    if (left->vt == (VT_BYREF | VT_VARIANT) && left->pvarVal)
        left = left->pvarVal;
    if (right->vt == (VT_BYREF | VT_VARIANT) && right->pvarVal)
        right = right->pvarVal;
    if (IsNullish(left->vt) || IsNullish(right->vt))
        return CompareResult::Null;

    auto sign = [](double a, double b) {
        return a < b ? CompareResult::Less : (a > b ? CompareResult::Greater : CompareResult::Equal);
    };
    auto toDouble = [](const VARIANT& v, double* d) -> bool {
        if (v.vt == VT_BSTR) {
            VARIANT r;
            VariantInit(&r);
            if (FAILED(ChangeType(&r, v, VT_R8)))
                return false;
            *d = r.dblVal;
            return true;
        }
        if (v.vt == VT_R8) { *d = v.dblVal; return true; }
        if (v.vt == VT_DATE) { *d = v.date; return true; }
        VARIANT r;
        VariantInit(&r);
        if (FAILED(VariantChangeTypeEx(&r, const_cast<VARIANT*>(&v), LOCALE_INVARIANT, 0, VT_R8)))
            return false;
        *d = r.dblVal;
        return true;
    };

    if (IsNumericVt(left->vt) && IsNumericVt(right->vt)) {
        if ((left->vt == VT_I8 || right->vt == VT_I8) && IsIntegralVt(left->vt == VT_I8 ? right->vt : left->vt)) {
            // Whole 64-bit numbers compare exactly.
            VARIANT a, b;
            VariantInit(&a);
            VariantInit(&b);
            if (SUCCEEDED(VariantChangeType(&a, const_cast<VARIANT*>(left), 0, VT_I8)) &&
                SUCCEEDED(VariantChangeType(&b, const_cast<VARIANT*>(right), 0, VT_I8)))
                return a.llVal < b.llVal ? CompareResult::Less
                                         : (a.llVal > b.llVal ? CompareResult::Greater : CompareResult::Equal);
        }
        double a = 0, b = 0;
        if (!toDouble(*left, &a) || !toDouble(*right, &b))
            return CompareResult::Mismatch;
        return sign(a, b);
    }
    if (left->vt == VT_BSTR && right->vt == VT_BSTR) {
        const wchar_t* a = left->bstrVal ? left->bstrVal : L"";
        const wchar_t* b = right->bstrVal ? right->bstrVal : L"";
        int r = CompareTextNoCase(a, left->bstrVal ? SysStringLen(left->bstrVal) : 0, b,
                                  right->bstrVal ? SysStringLen(right->bstrVal) : 0);
        return r < 0 ? CompareResult::Less : (r > 0 ? CompareResult::Greater : CompareResult::Equal);
    }
    if ((left->vt == VT_BSTR && IsNumericVt(right->vt)) || (IsNumericVt(left->vt) && right->vt == VT_BSTR)) {
        double a = 0, b = 0;
        if (!toDouble(*left, &a) || !toDouble(*right, &b))
            return CompareResult::Mismatch;
        return sign(a, b);
    }
    if (IsByteArray(*left) && IsByteArray(*right)) {
        const BYTE* da = nullptr;
        const BYTE* db = nullptr;
        size_t la = 0, lb = 0;
        ByteArrayData(*left, &da, &la);
        ByteArrayData(*right, &db, &lb);
        size_t n = la < lb ? la : lb;
        int r = n ? memcmp(da, db, n) : 0;
        if (r == 0)
            r = la < lb ? -1 : (la > lb ? 1 : 0);
        return r < 0 ? CompareResult::Less : (r > 0 ? CompareResult::Greater : CompareResult::Equal);
    }
    return CompareResult::Mismatch;
}

}  // namespace zdata
