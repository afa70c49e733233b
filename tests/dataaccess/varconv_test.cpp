// Column type mapping, driver values to VARIANTs, VARIANTs to bound values, and value comparison.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dataaccess/varconv.h"

using namespace zdata;

namespace {

struct Var
{
    VARIANT v;
    Var() { VariantInit(&v); }
    ~Var() { VariantClear(&v); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
};

VARIANT I4(long x) { VARIANT v; VariantInit(&v); v.vt = VT_I4; v.lVal = x; return v; }
VARIANT I8(long long x) { VARIANT v; VariantInit(&v); v.vt = VT_I8; v.llVal = x; return v; }
VARIANT R8(double x) { VARIANT v; VariantInit(&v); v.vt = VT_R8; v.dblVal = x; return v; }
VARIANT BoolV(VARIANT_BOOL b) { VARIANT v; VariantInit(&v); v.vt = VT_BOOL; v.boolVal = b; return v; }
VARIANT DateV(double d) { VARIANT v; VariantInit(&v); v.vt = VT_DATE; v.date = d; return v; }
VARIANT NullV() { VARIANT v; VariantInit(&v); v.vt = VT_NULL; return v; }

// Owns a BSTR VARIANT for the duration of a test expression.
struct StrV
{
    VARIANT v;
    explicit StrV(const wchar_t* s) { VariantInit(&v); v.vt = VT_BSTR; v.bstrVal = SysAllocString(s); }
    ~StrV() { VariantClear(&v); }
    operator const VARIANT&() const { return v; }
};

struct BytesV
{
    VARIANT v;
    explicit BytesV(const std::vector<BYTE>& b)
    {
        VariantInit(&v);
        v.vt = VT_ARRAY | VT_UI1;
        v.parray = SafeArrayCreateVector(VT_UI1, 0, ULONG(b.size()));
        if (!b.empty())
            memcpy(v.parray->pvData, b.data(), b.size());
    }
    ~BytesV() { VariantClear(&v); }
    operator const VARIANT&() const { return v; }
};

std::wstring BstrOf(const VARIANT& v) { return v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : L""; }

}  // namespace

// ---- Type mapping -------------------------------------------------------------------------------

TEST(VarConvTypeMap, DriverTypesAsTheSqliteDriverReportsThem)
{
    struct Case { SQLSMALLINT sql; SQLULEN size; const wchar_t* decl; DataTypeEnum ado; long defined; FetchKind fetch; };
    const Case cases[] = {
        { SQL_INTEGER, 10, L"INTEGER", adInteger, 4, FetchKind::Integer },
        { SQL_SMALLINT, 5, L"SMALLINT", adSmallInt, 2, FetchKind::Integer },
        { SQL_TINYINT, 3, L"TINYINT", adUnsignedTinyInt, 1, FetchKind::Integer },
        { SQL_BIGINT, 19, L"BIGINT", adBigInt, 8, FetchKind::Integer },
        { SQL_BIT, 1, L"BOOLEAN", adBoolean, 2, FetchKind::Integer },
        { SQL_DOUBLE, 15, L"DOUBLE", adDouble, 8, FetchKind::Double },
        { SQL_FLOAT, 15, L"FLOAT", adDouble, 8, FetchKind::Double },
        { SQL_REAL, 7, L"", adSingle, 4, FetchKind::Double },
        { SQL_NUMERIC, 15, L"NUMERIC", adNumeric, 19, FetchKind::Double },
        { SQL_VARCHAR, 40, L"VARCHAR(40)", adVarWChar, 40, FetchKind::Text },
        { SQL_WVARCHAR, 255, L"VARCHAR", adVarWChar, 255, FetchKind::Text },
        { SQL_LONGVARCHAR, 65536, L"TEXT", adLongVarWChar, 0, FetchKind::Text },
        { SQL_WLONGVARCHAR, 65536, L"MEMO", adLongVarWChar, 0, FetchKind::Text },
        { SQL_BINARY, 255, L"BLOB", adLongVarBinary, 0, FetchKind::Binary },
        { SQL_LONGVARBINARY, 255, L"BLOB", adLongVarBinary, 0, FetchKind::Binary },
        { SQL_TYPE_TIMESTAMP, 32, L"DATETIME", adDate, 8, FetchKind::Double },
        { SQL_TYPE_DATE, 10, L"DATE", adDate, 8, FetchKind::Double },
        // A Jet LOGICAL column is reported as VARCHAR(255) but is still a boolean.
        { SQL_VARCHAR, 255, L"LOGICAL", adBoolean, 2, FetchKind::Integer },
    };
    for (const Case& c : cases) {
        ColumnType t = MapOdbcType(c.sql, c.size, c.decl);
        EXPECT_EQ(c.ado, t.adoType) << c.decl << L" / " << c.sql;
        EXPECT_EQ(c.defined, t.definedSize) << c.decl;
        EXPECT_EQ(int(c.fetch), int(t.fetch)) << c.decl;
    }
}

TEST(VarConvTypeMap, DeclaredTypesAlone)
{
    EXPECT_EQ(adInteger, MapDeclType(L"INTEGER").adoType);
    EXPECT_EQ(adInteger, MapDeclType(L"int").adoType);
    EXPECT_EQ(adBoolean, MapDeclType(L"BOOLEAN").adoType);
    EXPECT_EQ(adBoolean, MapDeclType(L"bit").adoType);
    EXPECT_EQ(adDate, MapDeclType(L"DATETIME").adoType);
    EXPECT_EQ(adDouble, MapDeclType(L"REAL").adoType);
    EXPECT_EQ(adDouble, MapDeclType(L"DOUBLE").adoType);
    EXPECT_EQ(adLongVarWChar, MapDeclType(L"TEXT").adoType);
    EXPECT_EQ(0, MapDeclType(L"TEXT").definedSize);
    EXPECT_EQ(adVarWChar, MapDeclType(L"VARCHAR( 15 )").adoType);
    EXPECT_EQ(15, MapDeclType(L"VARCHAR( 15 )").definedSize);
    EXPECT_EQ(adLongVarBinary, MapDeclType(L"BLOB").adoType);
    EXPECT_EQ(adVarWChar, MapDeclType(L"").adoType);
    EXPECT_EQ(adVarWChar, MapDeclType(nullptr).adoType);
}

TEST(VarConvTypeMap, HelperPredicates)
{
    EXPECT_TRUE(IsTextType(adVarWChar));
    EXPECT_TRUE(IsTextType(adLongVarWChar));
    EXPECT_FALSE(IsTextType(adInteger));
    EXPECT_TRUE(IsNumericType(adBigInt));
    EXPECT_FALSE(IsNumericType(adBoolean));
    EXPECT_TRUE(IsBinaryType(adLongVarBinary));
    EXPECT_EQ(VT_BOOL, VarTypeOf(adBoolean));
    EXPECT_EQ(VT_DATE, VarTypeOf(adDate));
    EXPECT_EQ(VT_ARRAY | VT_UI1, VarTypeOf(adLongVarBinary));
    EXPECT_EQ(VT_I4, VarTypeOf(adBigInt));
    EXPECT_EQ(SQL_C_SBIGINT, CTypeOf(FetchKind::Integer));
    EXPECT_EQ(SQL_C_WCHAR, CTypeOf(FetchKind::Text));
}

// ---- Driver values to VARIANT -----------------------------------------------------------------------

TEST(VarConvRead, NullReadsAsVtNull)
{
    Var v;
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adInteger, DriverValue::Null(), &v.v));
    EXPECT_EQ(VT_NULL, v.v.vt);
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adVarWChar, DriverValue::Null(), &v.v));
    EXPECT_EQ(VT_NULL, v.v.vt);
}

TEST(VarConvRead, BooleansReadAsVariantTrueAndFalse)
{
    Var v;
    for (long long stored : { -1LL, 1LL, 7LL }) {
        ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adBoolean, DriverValue::Int(stored), &v.v));
        EXPECT_EQ(VT_BOOL, v.v.vt);
        EXPECT_EQ(VARIANT_TRUE, v.v.boolVal) << stored;
    }
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adBoolean, DriverValue::Int(0), &v.v));
    EXPECT_EQ(VT_BOOL, v.v.vt);
    EXPECT_EQ(VARIANT_FALSE, v.v.boolVal);
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adBoolean, DriverValue::Text(L"-1", 2), &v.v));
    EXPECT_EQ(VT_BOOL, v.v.vt);
    EXPECT_EQ(VARIANT_TRUE, v.v.boolVal);
}

TEST(VarConvRead, DatesReadAsVtDateFromTheStoredOleNumber)
{
    Var v;
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adDate, DriverValue::Real(43831.75), &v.v));
    EXPECT_EQ(VT_DATE, v.v.vt);
    EXPECT_DOUBLE_EQ(43831.75, v.v.date);
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adDate, DriverValue::Int(43831), &v.v));
    EXPECT_EQ(VT_DATE, v.v.vt);
    EXPECT_DOUBLE_EQ(43831.0, v.v.date);
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adDate, DriverValue::Text(L"2020-01-01", 10), &v.v));
    EXPECT_EQ(VT_DATE, v.v.vt);
    EXPECT_DOUBLE_EQ(43831.0, v.v.date);
}

TEST(VarConvRead, IntegersReadAsVtI4AndNarrowTypes)
{
    Var v;
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adInteger, DriverValue::Int(-42), &v.v));
    EXPECT_EQ(VT_I4, v.v.vt);
    EXPECT_EQ(-42, v.v.lVal);
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adBigInt, DriverValue::Int(2000000000), &v.v));
    EXPECT_EQ(VT_I4, v.v.vt) << "BIGINT within range reads as VT_I4";
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adBigInt, DriverValue::Int(5000000000LL), &v.v));
    EXPECT_EQ(VT_R8, v.v.vt);
    EXPECT_DOUBLE_EQ(5e9, v.v.dblVal);
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adSmallInt, DriverValue::Int(-300), &v.v));
    EXPECT_EQ(VT_I2, v.v.vt);
    EXPECT_EQ(-300, v.v.iVal);
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adUnsignedTinyInt, DriverValue::Int(200), &v.v));
    EXPECT_EQ(VT_UI1, v.v.vt);
    EXPECT_EQ(200, v.v.bVal);
}

TEST(VarConvRead, StoredValuesOfAnotherKindAreNotLost)
{
    // SQLite keeps "abc" in an INTEGER column; the value is handed out as text.
    Var v;
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adInteger, DriverValue::Text(L"abc", 3), &v.v));
    EXPECT_EQ(VT_BSTR, v.v.vt);
    EXPECT_EQ(L"abc", BstrOf(v.v));
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adInteger, DriverValue::Text(L"17", 2), &v.v));
    EXPECT_EQ(VT_I4, v.v.vt);
    EXPECT_EQ(17, v.v.lVal);
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adInteger, DriverValue::Real(2.5), &v.v));
    EXPECT_EQ(VT_R8, v.v.vt);
}

TEST(VarConvRead, RealsAndText)
{
    Var v;
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adDouble, DriverValue::Real(1.0 / 3), &v.v));
    EXPECT_EQ(VT_R8, v.v.vt);
    EXPECT_DOUBLE_EQ(1.0 / 3, v.v.dblVal);
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adDouble, DriverValue::Int(3), &v.v));
    EXPECT_EQ(VT_R8, v.v.vt);
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adSingle, DriverValue::Real(0.5), &v.v));
    EXPECT_EQ(VT_R4, v.v.vt);
    EXPECT_FLOAT_EQ(0.5f, v.v.fltVal);
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adNumeric, DriverValue::Real(12.5), &v.v));
    EXPECT_EQ(VT_R8, v.v.vt) << "NUMERIC reads as VT_R8, never VT_DECIMAL";

    const wchar_t czech[] = L"Žluťoučký kůň O'Brien";
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adVarWChar, DriverValue::Text(czech, wcslen(czech)), &v.v));
    EXPECT_EQ(VT_BSTR, v.v.vt);
    EXPECT_EQ(std::wstring(czech), BstrOf(v.v));
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adVarWChar, DriverValue::Text(L"", 0), &v.v));
    EXPECT_EQ(VT_BSTR, v.v.vt);
    EXPECT_EQ(L"", BstrOf(v.v));
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adVarWChar, DriverValue::Int(12), &v.v));
    EXPECT_EQ(L"12", BstrOf(v.v));
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adVarWChar, DriverValue::Real(0.1), &v.v));
    EXPECT_EQ(L"0.1", BstrOf(v.v));
}

TEST(VarConvRead, BlobsReadAsByteArrays)
{
    std::vector<BYTE> big(300 * 1024);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = BYTE(i * 7 + 3);
    Var v;
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adLongVarBinary, DriverValue::Bytes(big.data(), big.size()), &v.v));
    ASSERT_EQ(VT_ARRAY | VT_UI1, v.v.vt);
    LONG lo = -1, hi = -1;
    SafeArrayGetLBound(v.v.parray, 1, &lo);
    SafeArrayGetUBound(v.v.parray, 1, &hi);
    EXPECT_EQ(0, lo);
    EXPECT_EQ(LONG(big.size()) - 1, hi);
    EXPECT_EQ(0, memcmp(v.v.parray->pvData, big.data(), big.size()));
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adLongVarBinary, DriverValue::Bytes(nullptr, 0), &v.v));
    EXPECT_EQ(VT_ARRAY | VT_UI1, v.v.vt);
}

TEST(VarConvRead, OldValueIsReleasedFirst)
{
    Var v;
    v.v.vt = VT_BSTR;
    v.v.bstrVal = SysAllocString(L"old");
    ASSERT_HRESULT_SUCCEEDED(DriverValueToVariant(adInteger, DriverValue::Int(1), &v.v));
    EXPECT_EQ(VT_I4, v.v.vt);
}

// ---- VARIANT to bound values -------------------------------------------------------------------

TEST(VarConvWrite, NullAndEmptyAreNull)
{
    BindValue b;
    VARIANT e;
    VariantInit(&e);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adInteger, e, &b));
    EXPECT_TRUE(b.isNull);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adVarWChar, NullV(), &b));
    EXPECT_TRUE(b.isNull);
}

TEST(VarConvWrite, EmptyTextStaysEmptyText)
{
    BindValue b;
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adVarWChar, StrV(L""), &b));
    EXPECT_FALSE(b.isNull);
    EXPECT_EQ(int(FetchKind::Text), int(b.kind));
    EXPECT_EQ(L"", b.text);
    EXPECT_EQ(SQL_C_WCHAR, b.CType());
}

TEST(VarConvWrite, BooleansAreStoredAsMinusOneAndZero)
{
    BindValue b;
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adBoolean, BoolV(1), &b)) << "VT_BOOL 1 from the property box";
    EXPECT_EQ(int(FetchKind::Integer), int(b.kind));
    EXPECT_EQ(-1, b.i);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adBoolean, BoolV(VARIANT_TRUE), &b));
    EXPECT_EQ(-1, b.i);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adBoolean, BoolV(0), &b));
    EXPECT_EQ(0, b.i);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adBoolean, I4(5), &b));
    EXPECT_EQ(-1, b.i);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adBoolean, I4(0), &b));
    EXPECT_EQ(0, b.i);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, VariantToBindValue(adBoolean, StrV(L"abc"), &b));
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adBoolean, StrV(L"True"), &b));
    EXPECT_EQ(-1, b.i);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adBoolean, StrV(L"-1"), &b));
    EXPECT_EQ(-1, b.i);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adBoolean, StrV(L"0"), &b));
    EXPECT_EQ(0, b.i);
}

TEST(VarConvWrite, DatesAreStoredAsTheirOleNumber)
{
    BindValue b;
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adDate, DateV(43831.25), &b));
    EXPECT_EQ(int(FetchKind::Double), int(b.kind));
    EXPECT_DOUBLE_EQ(43831.25, b.d);
    EXPECT_EQ(SQL_DOUBLE, b.SqlType());
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adDate, R8(40000.5), &b));
    EXPECT_DOUBLE_EQ(40000.5, b.d);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adDate, StrV(L"2020-01-01"), &b));
    EXPECT_DOUBLE_EQ(43831.0, b.d);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, VariantToBindValue(adDate, StrV(L"kdysi"), &b));
}

TEST(VarConvWrite, TextIntoIntegerColumnIsATypeMismatch)
{
    BindValue b;
    EXPECT_EQ(DISP_E_TYPEMISMATCH, VariantToBindValue(adInteger, StrV(L"abc"), &b));
    EXPECT_EQ(DISP_E_TYPEMISMATCH, VariantToBindValue(adInteger, StrV(L""), &b));
    EXPECT_EQ(DISP_E_TYPEMISMATCH, VariantToBindValue(adDouble, StrV(L"12 kusů"), &b));
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adInteger, StrV(L"123"), &b));
    EXPECT_EQ(int(FetchKind::Integer), int(b.kind));
    EXPECT_EQ(123, b.i);
    EXPECT_EQ(SQL_BIGINT, b.SqlType());
}

TEST(VarConvWrite, NumbersFromTextInEitherDecimalSeparator)
{
    // Tests run with the Czech locale: ',' is the decimal separator there, '.' the C one.
    BindValue b;
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adDouble, StrV(L"12.5"), &b));
    EXPECT_DOUBLE_EQ(12.5, b.d);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adDouble, StrV(L"-0.25"), &b));
    EXPECT_DOUBLE_EQ(-0.25, b.d);
    if (GetUserDefaultLCID() == 0x0405) {
        ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adDouble, StrV(L"12,5"), &b));
        EXPECT_DOUBLE_EQ(12.5, b.d);
    }
}

TEST(VarConvWrite, OverflowIsReported)
{
    BindValue b;
    EXPECT_EQ(DISP_E_OVERFLOW, VariantToBindValue(adSmallInt, I4(70000), &b));
    EXPECT_EQ(DISP_E_OVERFLOW, VariantToBindValue(adUnsignedTinyInt, I4(256), &b));
    EXPECT_EQ(DISP_E_OVERFLOW, VariantToBindValue(adUnsignedTinyInt, I4(-1), &b));
    EXPECT_EQ(DISP_E_OVERFLOW, VariantToBindValue(adInteger, I8(3000000000LL), &b));
    EXPECT_EQ(DISP_E_OVERFLOW, VariantToBindValue(adInteger, R8(1e12), &b));
    EXPECT_EQ(DISP_E_OVERFLOW, VariantToBindValue(adSingle, R8(1e300), &b));
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adBigInt, I8(3000000000LL), &b));
    EXPECT_EQ(3000000000LL, b.i);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adSmallInt, I4(-32768), &b));
    EXPECT_EQ(-32768, b.i);
}

TEST(VarConvWrite, NumbersIntoTextColumnsBecomeText)
{
    BindValue b;
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adVarWChar, I4(42), &b));
    EXPECT_EQ(int(FetchKind::Text), int(b.kind));
    EXPECT_EQ(L"42", b.text);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adLongVarWChar, StrV(L"Čeněk d'Orbigny"), &b));
    EXPECT_EQ(L"Čeněk d'Orbigny", b.text);
}

TEST(VarConvWrite, BlobsOnlyFromByteArrays)
{
    BindValue b;
    std::vector<BYTE> bytes = { 0, 1, 2, 255 };
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adLongVarBinary, BytesV(bytes), &b));
    EXPECT_EQ(int(FetchKind::Binary), int(b.kind));
    EXPECT_EQ(bytes, b.bytes);
    EXPECT_EQ(SQL_C_BINARY, b.CType());
    EXPECT_EQ(SQL_LONGVARBINARY, b.SqlType());
    EXPECT_EQ(DISP_E_TYPEMISMATCH, VariantToBindValue(adLongVarBinary, I4(1), &b));
    EXPECT_EQ(DISP_E_TYPEMISMATCH, VariantToBindValue(adLongVarBinary, StrV(L"text"), &b));
    std::vector<BYTE> big(300 * 1024);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = BYTE(i ^ (i >> 8));
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adLongVarBinary, BytesV(big), &b));
    EXPECT_EQ(big, b.bytes);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, VariantToBindValue(adInteger, BytesV(bytes), &b));
}

TEST(VarConvWrite, UntypedParametersBindByTheirVariantType)
{
    BindValue b;
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adEmpty, I4(7), &b));
    EXPECT_EQ(int(FetchKind::Integer), int(b.kind));
    EXPECT_EQ(7, b.i);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adEmpty, R8(0.1 + 0.2), &b));
    EXPECT_EQ(int(FetchKind::Double), int(b.kind));
    EXPECT_EQ(0.1 + 0.2, b.d) << "a double is bound exactly, not printed with six decimals";
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adEmpty, StrV(L"x"), &b));
    EXPECT_EQ(int(FetchKind::Text), int(b.kind));
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adVariant, BoolV(VARIANT_TRUE), &b));
    EXPECT_EQ(-1, b.i);
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adEmpty, DateV(100.5), &b));
    EXPECT_EQ(int(FetchKind::Double), int(b.kind));
    EXPECT_DOUBLE_EQ(100.5, b.d);
}

TEST(VarConvWrite, ByRefValuesAreFollowed)
{
    VARIANT inner = I4(9);
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_BYREF | VT_VARIANT;
    ref.pvarVal = &inner;
    BindValue b;
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adInteger, ref, &b));
    EXPECT_EQ(9, b.i);
    LONG l = 11;
    VARIANT refl;
    VariantInit(&refl);
    refl.vt = VT_BYREF | VT_I4;
    refl.plVal = &l;
    ASSERT_HRESULT_SUCCEEDED(VariantToBindValue(adDouble, refl, &b));
    EXPECT_DOUBLE_EQ(11.0, b.d);
}

TEST(VarConvWrite, CoerceGivesTheColumnsVariantType)
{
    Var v;
    ASSERT_HRESULT_SUCCEEDED(CoerceVariant(adInteger, StrV(L"12"), &v.v));
    EXPECT_EQ(VT_I4, v.v.vt);
    ASSERT_HRESULT_SUCCEEDED(CoerceVariant(adBigInt, I4(12), &v.v));
    EXPECT_EQ(VT_I4, v.v.vt) << "BIGINT values in range stay VT_I4 for the callers' VariantToInt";
    ASSERT_HRESULT_SUCCEEDED(CoerceVariant(adBoolean, I4(1), &v.v));
    EXPECT_EQ(VT_BOOL, v.v.vt);
    EXPECT_EQ(VARIANT_TRUE, v.v.boolVal);
    ASSERT_HRESULT_SUCCEEDED(CoerceVariant(adVarWChar, R8(2.5), &v.v));
    EXPECT_EQ(VT_BSTR, v.v.vt);
    ASSERT_HRESULT_SUCCEEDED(CoerceVariant(adDate, R8(2.5), &v.v));
    EXPECT_EQ(VT_DATE, v.v.vt);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, CoerceVariant(adDate, BoolV(VARIANT_TRUE), &v.v));
}

// ---- Comparison ---------------------------------------------------------------------------------

TEST(VarConvCompare, TextIgnoresCaseTheUnicodeWay)
{
    EXPECT_EQ(CompareResult::Equal, CompareVariants(StrV(L"č"), StrV(L"Č")));
    EXPECT_EQ(CompareResult::Equal, CompareVariants(StrV(L"ŘEŘICHA"), StrV(L"řeřicha")));
    EXPECT_EQ(CompareResult::Equal, CompareVariants(StrV(L"Ödön"), StrV(L"öDÖN")));
    EXPECT_NE(CompareResult::Equal, CompareVariants(StrV(L"c"), StrV(L"č")));
    EXPECT_NE(CompareResult::Equal, CompareVariants(StrV(L"abc"), StrV(L"abcd")));
    EXPECT_EQ(CompareResult::Less, CompareVariants(StrV(L"abc"), StrV(L"ABCD")));
    EXPECT_EQ(CompareResult::Greater, CompareVariants(StrV(L"b"), StrV(L"A")));
}

TEST(VarConvCompare, CzechLettersSortInsideTheAlphabet)
{
    if (GetUserDefaultLCID() != 0x0405)
        GTEST_SKIP() << "needs the Czech locale";
    // In Czech order Č follows C and precedes D; a binary order would put it after Z.
    EXPECT_EQ(CompareResult::Less, CompareVariants(StrV(L"Čáp"), StrV(L"Dub")));
    EXPECT_EQ(CompareResult::Greater, CompareVariants(StrV(L"čáp"), StrV(L"CAP")));
}

TEST(VarConvCompare, NumbersDatesBooleans)
{
    EXPECT_EQ(CompareResult::Equal, CompareVariants(I4(5), R8(5.0)));
    EXPECT_EQ(CompareResult::Less, CompareVariants(I4(5), R8(5.5)));
    EXPECT_EQ(CompareResult::Greater, CompareVariants(I8(5000000001LL), I8(5000000000LL)));
    EXPECT_EQ(CompareResult::Equal, CompareVariants(BoolV(VARIANT_TRUE), I4(-1)));
    EXPECT_EQ(CompareResult::Equal, CompareVariants(DateV(43831.0), R8(43831.0)));
    EXPECT_EQ(CompareResult::Greater, CompareVariants(DateV(43832.0), DateV(43831.0)));
}

TEST(VarConvCompare, NumberAgainstText)
{
    EXPECT_EQ(CompareResult::Equal, CompareVariants(I4(10), StrV(L"10")));
    EXPECT_EQ(CompareResult::Less, CompareVariants(StrV(L"9"), I4(10))) << "numerically, not as text";
    EXPECT_EQ(CompareResult::Mismatch, CompareVariants(I4(10), StrV(L"deset")));
}

TEST(VarConvCompare, NullIsNeverComparable)
{
    EXPECT_EQ(CompareResult::Null, CompareVariants(NullV(), I4(1)));
    EXPECT_EQ(CompareResult::Null, CompareVariants(StrV(L""), NullV()));
    VARIANT e;
    VariantInit(&e);
    EXPECT_EQ(CompareResult::Null, CompareVariants(e, e));
}

TEST(VarConvCompare, BlobsBytewise)
{
    EXPECT_EQ(CompareResult::Equal, CompareVariants(BytesV({ 1, 2 }), BytesV({ 1, 2 })));
    EXPECT_EQ(CompareResult::Less, CompareVariants(BytesV({ 1, 2 }), BytesV({ 1, 2, 0 })));
    EXPECT_EQ(CompareResult::Greater, CompareVariants(BytesV({ 2 }), BytesV({ 1, 9 })));
    EXPECT_EQ(CompareResult::Mismatch, CompareVariants(BytesV({ 2 }), I4(2)));
}

TEST(VarConvText, LikeMatching)
{
    auto like = [](const wchar_t* t, const wchar_t* p) { return LikeMatch(t, wcslen(t), p, wcslen(p)); };
    EXPECT_TRUE(like(L"Čeněk", L"čen*"));
    EXPECT_TRUE(like(L"Čeněk", L"*NĚK"));
    EXPECT_TRUE(like(L"Čeněk", L"%e%"));
    EXPECT_TRUE(like(L"", L"*"));
    EXPECT_TRUE(like(L"", L""));
    EXPECT_FALSE(like(L"a", L""));
    EXPECT_TRUE(like(L"aXbXc", L"a*b*c"));
    EXPECT_FALSE(like(L"aXbXd", L"a*b*c"));
    EXPECT_TRUE(like(L"abab", L"*ab"));
    EXPECT_TRUE(like(L"a*c", L"a[*]c"));
    EXPECT_FALSE(like(L"abc", L"a[*]c"));
    EXPECT_TRUE(like(L"50%", L"50[%]"));
    EXPECT_TRUE(like(L"[x]", L"[[]x]"));
    EXPECT_TRUE(like(L"a_c", L"a_c"));
    EXPECT_FALSE(like(L"abc", L"a_c"));
    EXPECT_TRUE(like(L"O'Brien", L"o'b*"));
}

TEST(VarConvText, EqualityHelpers)
{
    EXPECT_TRUE(TextEqualsNoCase(L"Žluť", 4, L"žLUŤ", 4));
    EXPECT_FALSE(TextEqualsNoCase(L"Žluť", 4, L"Žlu", 3));
    EXPECT_TRUE(TextEqualsNoCase(L"", 0, L"", 0));
    EXPECT_EQ(0, CompareTextNoCase(L"ABC", 3, L"abc", 3));
    EXPECT_GT(0, CompareTextNoCase(L"abc", 3, L"abd", 3));
}
