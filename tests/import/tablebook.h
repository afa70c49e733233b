// Workbooks for the table import tests, written by the program's own sheet writer: one sheet of
// rows of cells, each a text or a number.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "workbook/sheetwriter.h"

namespace tabletest {

struct Cell {
    Cell(const wchar_t* t) : text(t) {}
    Cell(std::wstring t) : text(std::move(t)) {}
    Cell(double n) : number(n), isNumber(true) {}
    // A day number shown as a date.
    static Cell Date(double day)
    {
        Cell c(day);
        c.isDate = true;
        return c;
    }
    std::wstring text;
    double number = 0;
    bool isNumber = false;
    bool isDate = false;
};

inline void WriteBook(const std::wstring& path, const wchar_t* sheet, const std::vector<std::vector<Cell>>& rows)
{
    xls::SheetWriter w;
    ASSERT_EQ(xls::BookStatus::Ok, w.Begin(path.c_str(), sheet, false));
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const Cell& cell = rows[r][c];
            if (cell.isNumber)
                w.Number((int)r, (int)c, cell.number, cell.isDate ? xls::CellStyle::Date : xls::CellStyle::General);
            else
                w.Text((int)r, (int)c, cell.text.c_str(), cell.text.size());
        }
    ASSERT_EQ(xls::BookStatus::Ok, w.Commit());
}

}  // namespace tabletest
