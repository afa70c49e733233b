// Reading the sheets of an Excel 97-2003 workbook as tables, the way a database provider offers
// them: the first row of a sheet's used range names the columns (an empty header cell gives F1,
// F2 ... by position), the type of each column is guessed from its first eight data rows, and
// every further row is one row of values. Built on the workbook folder's compound-file and
// record reading.
//
// Memory follows what the file holds, not what it claims: only cells with a value are kept, a
// shared string is held once however many cells show it, a sheet named by several entries of
// the workbook's list is read once, and a workbook whose sheets bring more than kMaxBookCells
// cells or kMaxBookTextChars characters of text in all is refused (the sheet where it goes over
// named).
#pragma once
#include <stdint.h>

#include <memory>
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

// What the sheets of one workbook may bring together: cells with a value (half of all one sheet
// can hold), and characters of text counted over the text cells (a string shown by many cells
// counts in each, as whoever reads the cells gets it in each).
const size_t kMaxBookCells = 8u * 1024 * 1024;
const size_t kMaxBookTextChars = 128u * 1024 * 1024;

// A cell as it is kept: its place, its kind and either its number or its text's index.
struct PackedCell
{
    union {
        double number;
        uint32_t text;
    };
    uint16_t row;
    uint16_t column;
    CellKind kind;
};

// The texts cells refer to: the workbook's shared strings (held once for all its sheets) and
// the sheet's own (inline labels, numbers shown as text).
class TextPool
{
public:
    explicit TextPool(std::shared_ptr<const std::vector<std::wstring>> shared = nullptr);
    // The text of an index that Own gave or of a shared string (the caller checks its range).
    const std::wstring& Get(uint32_t index) const;
    uint32_t Own(std::wstring text);
    size_t SharedCount() const { return shared_ ? shared_->size() : 0; }

private:
    static const uint32_t kOwnBit = 0x80000000u;
    std::shared_ptr<const std::vector<std::wstring>> shared_;
    std::vector<std::wstring> own_;
};

// The cells of one sheet with a value, in the order the file gives them (rows and columns from
// 0); a later cell at the same place replaces an earlier one.
class SheetGrid
{
public:
    explicit SheetGrid(std::shared_ptr<const std::vector<std::wstring>> shared = nullptr) : texts_(std::move(shared)) {}
    void Put(uint16_t row, uint16_t column, const Cell& cell);
    // A text cell showing shared string index (checked by the caller).
    void PutShared(uint16_t row, uint16_t column, uint32_t index);
    size_t Cells() const { return cells_.size(); }
    size_t TextChars() const { return textChars_; }
    // The cells sorted by row and column, each place once; TextPool for their texts.
    std::vector<PackedCell> TakeSorted();
    TextPool& Texts() { return texts_; }

private:
    TextPool texts_;
    std::vector<PackedCell> cells_;
    size_t textChars_ = 0;
};

// The data rows of a table: only cells with a value are kept, by row and column (a row without
// one takes no room at all).
class TableRows
{
public:
    class Row
    {
    public:
        Row(const TableRows* rows, const PackedCell* begin, const PackedCell* end)
            : rows_(rows), begin_(begin), end_(end) {}
        size_t size() const { return rows_->width_; }
        // The cell of a column (empty where the row has none).
        Cell operator[](size_t column) const;
        // Its cells with a value, in column order.
        const PackedCell* begin() const { return begin_; }
        const PackedCell* end() const { return end_; }

    private:
        const TableRows* rows_;
        const PackedCell* begin_;
        const PackedCell* end_;
    };

    size_t size() const { return count_; }
    bool empty() const { return size() == 0; }
    Row operator[](size_t row) const;
    size_t Width() const { return width_; }
    // The kept cells of all rows, by row and column.
    const std::vector<PackedCell>& Cells() const { return cells_; }
    // The value of a kept cell.
    Cell ValueOf(const PackedCell& cell) const;
    const std::wstring& TextOf(const PackedCell& cell) const { return texts_->Get(cell.text); }
    // The texts the cells refer to, for holders of views into them (never changed again).
    std::shared_ptr<const TextPool> Texts() const { return texts_; }

private:
    friend struct TableBuilder;
    std::shared_ptr<const TextPool> texts_ = std::make_shared<TextPool>();
    std::vector<PackedCell> cells_;  // row: the data row, column: the table's column
    size_t count_ = 0;               // the data rows, those without a cell among them
    size_t width_ = 0;
};

struct TableColumn
{
    std::wstring name;
    ColumnKind kind = ColumnKind::Text;
};

struct SheetTable
{
    std::wstring name;  // the sheet's name as its tab shows it
    std::vector<TableColumn> columns;
    TableRows rows;     // one cell per column, the header row not included
};

// Reads every worksheet of the workbook at path (charts and macro sheets are left out).
// Ok, or why the workbook cannot be read: NotFound, Locked, NotWorkbook (also a renamed .xlsx),
// OldFormat (Excel 95 and older), Encrypted, Damaged (truncated records, a string index or a
// record length out of range, a compound file whose structure is not sound), IoError, TooLarge
// (the sheets bring more than the limits allow: *largeSheet, when given, gets the name of the
// sheet that went over).
xls::BookStatus ReadSheetTables(const wchar_t* path, std::vector<SheetTable>* tables,
                                std::wstring* largeSheet = nullptr);

// The same for the bytes of a "Workbook" stream (for tests of single records).
xls::BookStatus ReadSheetTablesFromStream(IStream* stream, std::vector<SheetTable>* tables,
                                          std::wstring* largeSheet = nullptr);

// Turns the cells of a sheet into a table (header, types, rows); the grid is emptied.
SheetTable TableOfGrid(const std::wstring& name, SheetGrid* grid);

// A number as the user writes it ("-30,5", "45"): the text it shows in a text column, a bound
// in a refusal.
std::wstring NumberText(double value);

// Whether a number format (its code, or a built-in format number) shows a date or time.
bool IsDateFormatCode(const std::wstring& code);
bool IsBuiltInDateFormat(uint16_t index);

}  // namespace xlsread
