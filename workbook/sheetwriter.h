// Writes one sheet of an Excel 97-2003 workbook: as a new workbook, or added to an existing one
// whose other sheets and streams are kept as they are. Cells and strings wait in scratch files
// while the rows come; Commit lays the workbook out in a temporary file beside the target and
// only then moves it over the target, so a failure at any point leaves the target untouched.
#pragma once
#include <windows.h>
#include <stdint.h>

#include <memory>
#include <string>

#include "workbook/bookfile.h"

namespace xls {

// Whether the file at path could be replaced now: S_OK when it is missing or writable; the
// system's error when it is read-only, a folder, or held by another program.
HRESULT CheckReplaceable(const wchar_t* path);

enum class CellStyle
{
    General,
    Date,      // day numbers shown as short dates
    DateTime,  // with the time of day
    Currency,
};

class SheetWriter
{
public:
    SheetWriter();
    ~SheetWriter();
    SheetWriter(const SheetWriter&) = delete;
    SheetWriter& operator=(const SheetWriter&) = delete;

    // Starts the sheet. With append the workbook at path must read as a BIFF8 workbook without
    // a sheet of that name; it stays open for reading (and closed to writers) until Commit.
    BookStatus Begin(const wchar_t* path, const wchar_t* sheetName, bool append);

    // Cells in row order. False (and the status TooLarge) past row 65,535 or column 255. Text
    // longer than 32,767 characters is cut there and counted.
    bool Text(int row, int column, const wchar_t* text, size_t length);
    bool Number(int row, int column, double value, CellStyle style);
    bool Boolean(int row, int column, bool value);

    // Writes the workbook and puts it in place of the target.
    BookStatus Commit();

    BookStatus Status() const { return status_; }
    HRESULT Error() const { return error_; }       // the system's code of an IoError
    int TruncatedCells() const { return truncated_; }

private:
    struct Impl;
    bool Cell(int row, int column);
    BookStatus Fail(BookStatus status, HRESULT error = S_OK);
    std::unique_ptr<Impl> impl_;
    BookStatus status_ = BookStatus::Ok;
    HRESULT error_ = S_OK;
    int truncated_ = 0;
};

}  // namespace xls
