// Reading the sheets of an Excel 97-2003 workbook as tables, the way a database provider offers
// them: the first row of a sheet's used range names the columns (an empty header cell gives F1,
// F2 ... by position), the type of each column is guessed from its first eight data rows, and
// every further row is one row of values. Built on the workbook folder's compound-file and
// record reading.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "workbook/bookfile.h"

namespace xlsread {

// What one cell of a sheet holds.
enum class CellKind : uint8_t { Empty, Number, Date, Bool, Text };

struct Cell
{
    CellKind kind = CellKind::Empty;
    double number = 0;   // Number, Date (an OLE date), Bool (0 or 1)
    std::wstring text;   // Text
};

// The type a column gets from its first data rows.
enum class ColumnKind : uint8_t { Text, LongText, Number, Date, Bool };

// Values of a text column are at most this long; a longer one makes the column long text.
const size_t kShortTextChars = 255;
// Data rows that decide a column's type.
const size_t kTypeGuessRows = 8;

struct TableColumn
{
    std::wstring name;
    ColumnKind kind = ColumnKind::Text;
};

struct SheetTable
{
    std::wstring name;                    // the sheet's name as its tab shows it
    std::vector<TableColumn> columns;
    std::vector<std::vector<Cell>> rows;  // one cell per column, the header row not included
};

// The cells of one sheet, row by row (rows and columns from 0; short rows are padded with
// empty cells only up to their last cell).
using SheetGrid = std::vector<std::vector<Cell>>;

// Reads every worksheet of the workbook at path (charts and macro sheets are left out).
// Ok, or why the workbook cannot be read: NotFound, Locked, NotWorkbook (also a renamed .xlsx),
// OldFormat (Excel 95 and older), Encrypted, Damaged (truncated records, a string index or a
// record length out of range), IoError.
xls::BookStatus ReadSheetTables(const wchar_t* path, std::vector<SheetTable>* tables);

// The same for the bytes of a "Workbook" stream (for tests of single records).
xls::BookStatus ReadSheetTablesFromStream(IStream* stream, std::vector<SheetTable>* tables);

// Turns the cells of a sheet into a table (header, types, rows).
SheetTable TableOfGrid(const std::wstring& name, const SheetGrid& grid);

// The text a number shows in a text column (the user's decimal separator).
std::wstring NumberText(double value);

// Whether a number format (its code, or a built-in format number) shows a date or time.
bool IsDateFormatCode(const std::wstring& code);
bool IsBuiltInDateFormat(uint16_t index);

}  // namespace xlsread
