// Reading rows from a driver that converts reliably only to text (MDBTools): every value but a
// binary one is fetched as text and turned into the column's own kind here, so that dates,
// booleans, integers and currency reach the caller typed as any other driver's would.
#pragma once
#include "dataaccess/odbccore.h"

namespace zdata {

// The cell of one text value for a column of the given type: an integer, a real (numbers are
// written with a '.'; dates as "yyyy-mm-dd hh:mm:ss" become OLE dates) or the text itself when
// it reads as nothing else. A date column's text that is no date gives an unreadable cell (the
// driver writes "1900-01-00 00:00:00" for dates before 1900 and far ahead): never a date.
void AddTextAsColumnValue(RowBuffer* row, const ColumnType& type, const wchar_t* text, size_t n);

// Describes the columns as DescribeColumns does, in the sizes Jet gives them: MDBTools reports a
// text column's size in the bytes of its two-byte characters and a memo as a text of no size,
// and a Decimal column as long text whose type name is "NUMERIC" (a number here).
bool DescribeColumnsThroughText(SQLHSTMT stmt, std::vector<ColumnMeta>* columns);

// Fetches the next row as FetchRow does, reading each non-binary value as text first.
SQLRETURN FetchRowThroughText(SQLHSTMT stmt, const std::vector<ColumnMeta>& columns, RowPtr* row,
                              std::vector<uint8_t>& scratch);

}  // namespace zdata
