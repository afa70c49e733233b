// The reading half of the Access and Excel table source: one connection to an Access database
// (or a file of the program's own format) or an Excel workbook through the data layer, the list
// of its tables or sheets, the columns of one of them for the field mapping, and its rows, read
// by column position as the layer delivers them.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "core/containers.h"
#include "dataaccess/ado.h"

class TableReader {
public:
    // workbook: the files are Excel workbooks (source type 6), else Access databases (type 5).
    explicit TableReader(bool workbook);
    ~TableReader();
    TableReader(const TableReader&) = delete;
    TableReader& operator=(const TableReader&) = delete;

    // Connects to the file read-only, after closing the previous connection and releasing what
    // was opened on it. False when the file cannot be read (the layer's errors tell why).
    bool Open(const wchar_t* path);
    // Why the last Open failed for a file that is there (the layer's words: not a workbook or
    // not a database at all, which sheet is too large, an older Excel format, an Access 97
    // file ...); empty after a successful one, for a missing file and for what the Access
    // driver itself refused.
    const std::wstring& Problem() const { return problem_; }
    // The last Open's file begins as a workbook but ends before a workbook's header does (a copy
    // cut off, a file not yet written out).
    bool TooShort() const { return tooShort_; }
    void Close();
    bool IsOpen() const;
    zdata::Connection* Connection() const { return connection_; }
    bool Workbook() const { return workbook_; }

    // Adds the names of the tables and views (sheets: without their '$', each once) to an empty
    // list as malloc'd wide strings; system tables are left out.
    void FillTables(CPtrArray* items);
    // The columns of a table as SourceColumn entries. The same table asked for again keeps the
    // list as it is; another table (or none that opens) empties it first.
    void FillColumns(const wchar_t* table, CPtrArray* items);

    // Opens the rows of a table for the import; false when it does not open.
    bool OpenRows(const wchar_t* table);
    long RowCount() const { return rowCount_; }
    // The values of the next row, one per field in field order (VT_NULL for NULL); false after
    // the last row. The caller clears the values. A value the layer cannot read (a date the
    // Access driver does not convert) comes as VT_NULL and its field is listed in Unreadable.
    bool NextRow(std::vector<VARIANT>* values);
    // The fields of the last row read whose values could not be read, in field order.
    const std::vector<long>& Unreadable() const { return unreadable_; }
    // Rows read so far.
    long RowsRead() const { return rowsRead_; }
    // Progress after the rows read so far: 0 before the first, then (n + 1) * 100 / count.
    int Percent() const;
    void CloseRows();

private:
    void ReleaseColumns();

    bool workbook_;
    std::wstring problem_;
    bool tooShort_ = false;
    zdata::Connection* connection_ = nullptr;
    zdata::Recordset* columns_ = nullptr;  // the table the mapping page shows
    std::wstring columnsTable_;
    zdata::Recordset* rows_ = nullptr;
    zdata::Fields* fields_ = nullptr;
    long fieldCount_ = 0;
    std::vector<long> unreadable_;
    long rowCount_ = 0;
    long rowsRead_ = 0;
};
