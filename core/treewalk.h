// Small row and statement helpers shared by the tree walks (treemove.cpp) and the composed names
// (composednames.cpp).
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "core/rsutil.h"
#include "dataaccess/ado.h"

namespace treewalk {

// The integer in a column of the current row; the fallback when there is no row or the value
// holds no integer.
int RowInt(zdata::Recordset* rs, long ordinal, int fallback = -1);
// The text of a column of the current row (empty when NULL, missing or not a text).
std::wstring RowText(zdata::Recordset* rs, long ordinal);
// The value of a column of the current row (VT_EMPTY when none); the caller clears it.
void RowValue(zdata::Recordset* rs, long ordinal, VARIANT* out);
// How many columns the recordset has (0 when closed).
long ColumnCount(zdata::Recordset* rs);
// Writes one column of the current row into the pending edit.
HRESULT PutValue(zdata::Recordset* rs, long ordinal, const VARIANT& value);
HRESULT PutInt(zdata::Recordset* rs, long ordinal, int value);
HRESULT PutText(zdata::Recordset* rs, long ordinal, const wchar_t* text);
// Sets a Filter "<column> = <id>".
HRESULT FilterEquals(zdata::Recordset* rs, const wchar_t* column, int id);
bool IsEmptyRowset(zdata::Recordset* rs);

// Runs a statement with '?' markers and the values in order; the values stay the caller's.
// *affected (when given) gets the number of changed rows as VT_I4.
HRESULT ExecuteBound(zdata::Connection* connection, const wchar_t* sql,
                     const std::vector<VARIANT>& values, VARIANT* affected = nullptr);
VARIANT IntValue(int value);
VARIANT NullValue();

// A one-shot recordset holder (core/rsutil.h).
using ::RsHolder;

// A new recordset on the query (client cursor when client is set); check IsOpen.
zdata::Recordset* OpenRecordset(zdata::Connection* connection, const wchar_t* sql, bool client,
                                long lockType);

// The column names of a table or view as it has them, from a query that reads no row; false (and
// none) when the query fails.
bool TableColumnNames(zdata::Connection* connection, const std::wstring& table, std::vector<std::wstring>* names);

// Level path column names of ZORNACOLLS for a format ("SYS_LEVEL_%d"): (level, name) pairs of
// the columns the table has.
std::vector<std::pair<int, std::wstring>> LevelColumnsOf(zdata::Connection* connection,
                                                         const wchar_t* format);
// The fields of a row whose names the format makes, each with its level and name; the caller
// releases each Field.
struct LevelField
{
    int Level;
    std::wstring Name;
    zdata::Field* Field;
};
std::vector<LevelField> LevelFieldsOf(zdata::Fields* fields, const wchar_t* format);
// The level number of a column name made with the format, or -1 when it is not one.
int LevelOfColumn(const wchar_t* name, const wchar_t* format);

}  // namespace treewalk
