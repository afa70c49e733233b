// Conversions between the ODBC driver's values and the VARIANTs the ADO-shaped layer hands out:
// column type mapping, fetched values to VARIANT, VARIANT to the value bound for a column, and the
// value comparison used by Filter and Find.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

#include "dataaccess/adodefs.h"

namespace zdata {

// The C type a column is fetched (and bound) with. SQLite columns hold what they were given, so every
// column is fetched in one of these four forms and converted on access.
enum class FetchKind
{
    Integer,  // SQL_C_SBIGINT
    Double,   // SQL_C_DOUBLE (also dates: REAL OLE automation dates, never ODBC timestamps)
    Text,     // SQL_C_WCHAR
    Binary    // SQL_C_BINARY
};

// What Fields reports for a column and how the layer fetches it.
struct ColumnType
{
    DataTypeEnum adoType = adEmpty;
    long definedSize = 0;     // VARCHAR(n): n; long text: 0; fixed types: their byte size
    FetchKind fetch = FetchKind::Text;
};

// Maps the driver's SQL type (SQLDescribeColW), column size and declared type text
// (SQL_DESC_TYPE_NAME, may be empty for expressions) to the ADO type.
ColumnType MapOdbcType(SQLSMALLINT sqlType, SQLULEN columnSize, const wchar_t* declType);

// The ADO type of a declared SQLite column type alone (for the schema emulation and for
// expression columns that the driver reports without a usable SQL type).
ColumnType MapDeclType(const wchar_t* declType);

SQLSMALLINT CTypeOf(FetchKind kind);   // SQL_C_SBIGINT, SQL_C_DOUBLE, SQL_C_WCHAR, SQL_C_BINARY
bool IsTextType(DataTypeEnum type);    // adBSTR, (Var|LongVar)(W)Char, (W)Char
bool IsNumericType(DataTypeEnum type); // integers, reals, currency, decimal, numeric
bool IsBinaryType(DataTypeEnum type);
VARTYPE VarTypeOf(DataTypeEnum type);  // the VARIANT type a value of that column reads as

// One value as the driver delivered it. Exactly one form is set, or isNull.
struct DriverValue
{
    bool isNull = true;
    bool unreadable = false;  // NULL because the driver gave no value that can be read
    FetchKind kind = FetchKind::Text;
    long long i = 0;
    double d = 0.0;
    const wchar_t* text = nullptr;  // not necessarily terminated
    size_t textLen = 0;
    const BYTE* bytes = nullptr;
    size_t byteLen = 0;

    static DriverValue Null() { return DriverValue(); }
    static DriverValue Unreadable() { DriverValue x; x.unreadable = true; return x; }
    static DriverValue Int(long long v) { DriverValue x; x.isNull = false; x.kind = FetchKind::Integer; x.i = v; return x; }
    static DriverValue Real(double v) { DriverValue x; x.isNull = false; x.kind = FetchKind::Double; x.d = v; return x; }
    static DriverValue Text(const wchar_t* s, size_t n) { DriverValue x; x.isNull = false; x.kind = FetchKind::Text; x.text = s; x.textLen = n; return x; }
    static DriverValue Bytes(const BYTE* p, size_t n) { DriverValue x; x.isNull = false; x.kind = FetchKind::Binary; x.bytes = p; x.byteLen = n; return x; }
};

// Builds the VARIANT a column of type `type` reads as: VT_NULL for NULL, VT_BOOL -1/0 for booleans
// (any non-zero stored value is true), VT_DATE from the stored OLE date, VT_ARRAY|VT_UI1 for blobs,
// VT_I4 for integers (also BIGINT within range; VT_R8 beyond), VT_R8/VT_R4, VT_BSTR.
// A stored value that does not fit the column's type (SQLite keeps what it was given) is handed out
// as what it is (text as VT_BSTR, and so on) rather than lost. `out` must be initialised; it is cleared first.
HRESULT DriverValueToVariant(DataTypeEnum type, const DriverValue& value, VARIANT* out);

// A value ready for SQLBindParameter.
struct BindValue
{
    bool isNull = true;
    FetchKind kind = FetchKind::Text;
    long long i = 0;
    double d = 0.0;
    std::wstring text;
    std::vector<BYTE> bytes;

    SQLSMALLINT CType() const { return CTypeOf(kind); }
    SQLSMALLINT SqlType() const;   // SQL_BIGINT, SQL_DOUBLE, SQL_WVARCHAR/SQL_WLONGVARCHAR, SQL_LONGVARBINARY
};

// Converts a VARIANT written to a column of type `type` (VariantChangeType rules; text is read as a
// number or date in the user's locale first, then in the invariant one, so "12,5" and "12.5" both
// work under a Czech locale). VT_EMPTY/VT_NULL give NULL; an empty BSTR stays ''; booleans become -1/0;
// dates their OLE number. Returns DISP_E_TYPEMISMATCH when the value cannot be converted ("abc" into an
// integer column) and DISP_E_OVERFLOW when it does not fit (70000 into a SMALLINT, 1e300 into a single).
// With type adEmpty (or adVariant) the value is bound by its own VARIANT type (command parameters).
HRESULT VariantToBindValue(DataTypeEnum type, const VARIANT& value, BindValue* out);

// Converts a value to the VARIANT of a column's type (the same rules as VariantToBindValue, but the
// result is a VARIANT: VT_I4, VT_I2, VT_UI1, VT_R8, VT_R4, VT_BOOL, VT_DATE, VT_BSTR, VT_ARRAY|VT_UI1,
// VT_NULL). Used for Filter literals and pending field values.
HRESULT CoerceVariant(DataTypeEnum type, const VARIANT& value, VARIANT* out);

// Result of comparing two values for Filter and Find.
enum class CompareResult
{
    Less,
    Equal,
    Greater,
    Null,       // either side is NULL or EMPTY: every comparison is false
    Mismatch    // the values cannot be compared (text that is no number against a number)
};

// Compares a column value with a criterion value. Numbers (booleans and dates included) compare
// numerically; text against text in the Czech order with case ignored (czechcollation/
// czechorder.h: equal exactly when the texts differ in case only, "Černý" = "ČERNÝ"); a number
// against text converts the text to a number; blobs compare bytewise.
CompareResult CompareVariants(const VARIANT& left, const VARIANT& right);

// Text helpers: the Czech order with case ignored (not ASCII only: 'č' equals 'Č').
bool TextEqualsNoCase(const wchar_t* a, size_t lenA, const wchar_t* b, size_t lenB);
int CompareTextNoCase(const wchar_t* a, size_t lenA, const wchar_t* b, size_t lenB); // <0, 0, >0

// ADO LIKE: '*' and '%' match any run of characters, '[x]' matches x literally ('[*]', '[%]', '[[]'),
// everything else matches itself, ignoring case. Text and pattern are read as Czech letters, so the
// digraph ch is one letter: "c*" matches "Cvikov" but not "Chrudim", which "ch*" matches.
bool LikeMatch(const wchar_t* text, size_t textLen, const wchar_t* pattern, size_t patternLen);

}  // namespace zdata
