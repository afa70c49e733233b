// The Excel export's worker: the cells a sheet gets from each kind of list column, sheets added
// to a workbook or replacing it, and what it refuses.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "reports/excelexport.h"
#include "tests/reports/exportlist.h"
#include "tests/workbook/bookcheck.h"
#include "workbook/chunkio.h"

using bookcheck::Cell;
using exporttest::ExportList;
using exporttest::ProgressRecorder;

namespace {

std::string Narrow(const std::wstring& w)
{
    return std::string(w.begin(), w.end());
}

class ExcelExportTest : public ::testing::Test {
protected:
    ExcelExportTest() : list_(L"excelexport"), export_(GetModuleHandleW(nullptr), nullptr)
    {
        file_ = list_.Folder().File(L"sešit.xls");
    }

    ProgressRecorder& Run(const wchar_t* sheet, bool exists, int append)
    {
        free(export_.SheetName);
        export_.SheetName = _wcsdup(sheet);
        export_.FileExists = exists ? 1 : 0;
        export_.Append = append;
        progress_.reset(new ProgressRecorder());
        exporttest::WriteRows(&export_, &list_, file_, progress_.get());
        EXPECT_EQ(1, progress_->done);
        return *progress_;
    }
    bookcheck::Book Load()
    {
        bookcheck::Book book;
        std::string why;
        EXPECT_TRUE(bookcheck::Load(file_, &book, &why)) << why;
        return book;
    }

    ExportList list_;
    CExcelExport export_;
    std::wstring file_;
    std::unique_ptr<ProgressRecorder> progress_;
};

void ExpectText(const bookcheck::Sheet& s, int row, int column, const std::wstring& text)
{
    const Cell* c = s.At(row, column);
    ASSERT_TRUE(c != nullptr) << row << "," << column;
    EXPECT_EQ(Cell::Text, c->kind) << row << "," << column;
    EXPECT_TRUE(c->text == text) << row << "," << column << ": " << Narrow(c->text.substr(0, 60));
}

void ExpectNumber(const bookcheck::Sheet& s, int row, int column, double value, uint16_t format)
{
    const Cell* c = s.At(row, column);
    ASSERT_TRUE(c != nullptr) << row << "," << column;
    EXPECT_EQ(Cell::Number, c->kind) << row << "," << column;
    EXPECT_EQ(value, c->number) << row << "," << column;
    EXPECT_EQ(format, c->format) << row << "," << column;
}

TEST_F(ExcelExportTest, EachKindOfColumnBecomesItsKindOfCell)
{
    list_.Exec(L"INSERT INTO ZAZNAMY VALUES (1, 'Čáp černý', 'a;b' || char(13, 10) || 'c', 12, 12.5, 40000, 1, 50.1034)");
    list_.Exec(L"INSERT INTO ZAZNAMY VALUES (2, '\"Quoted', NULL, NULL, NULL, 40000.75, 0, NULL)");
    list_.Exec(L"INSERT INTO ZAZNAMY VALUES (3, 'Ωmega 漢 ř', '', -3, 1234.25, NULL, NULL, 0)");
    list_.Exec(L"INSERT INTO ZAZNAMY VALUES (4, 'starý', 'text', 1, 1, 30, 1, 1)");
    list_.Exec(L"INSERT INTO ZAZNAMY (ID, NAZEV, POZNAMKA) VALUES (5, 'dlouhý', replace(hex(zeroblob(20000)), '00', 'řb'))");
    ProgressRecorder& p = Run(L"Výběr", false, 1);
    EXPECT_EQ(0, p.failedFlag) << Narrow(p.outcome.Message);
    EXPECT_EQ(1, p.outcome.Truncated);  // the 40,000-character text
    bookcheck::Book book = Load();
    ASSERT_EQ(1u, book.sheets.size());
    EXPECT_TRUE(book.sheets[0].name == L"Výběr");
    const bookcheck::Sheet& s = book.sheets[0];
    EXPECT_EQ(6, s.rows);
    EXPECT_EQ(7, s.columns);
    // The captions as the list shows them, full stops kept, as the text export writes them.
    const wchar_t* header[] = {L"Druh", L"Poznámka", L"Počet", L"Délka těla", L"Datum nálezu", L"Doklad", L"S. š."};
    for (int i = 0; i < 7; ++i)
        ExpectText(s, 0, i, header[i]);
    ExpectText(s, 1, 0, L"Čáp černý");
    ExpectText(s, 1, 1, L"a;b\r\nc");
    ExpectNumber(s, 1, 2, 12, 0);
    ExpectNumber(s, 1, 3, 12.5, 0);
    ExpectNumber(s, 1, 4, 40000, 14);
    ASSERT_TRUE(s.At(1, 5) && s.At(1, 5)->kind == Cell::Bool);
    EXPECT_TRUE(s.At(1, 5)->flag);
    ExpectText(s, 1, 6, L"50° 6' 12\"");  // shown through its formatter: text
    ExpectText(s, 2, 0, L"\"Quoted");
    EXPECT_EQ(nullptr, s.At(2, 1));  // NULLs are blanks
    EXPECT_EQ(nullptr, s.At(2, 2));
    EXPECT_EQ(nullptr, s.At(2, 3));
    ExpectNumber(s, 2, 4, 40000.75, 22);
    EXPECT_FALSE(s.At(2, 5)->flag);
    EXPECT_EQ(nullptr, s.At(2, 6));  // a NULL coordinate too: no empty text Excel would count
    ExpectText(s, 3, 0, L"Ωmega 漢 ř");
    ExpectText(s, 3, 1, L"");
    ExpectNumber(s, 3, 3, 1234.25, 0);
    EXPECT_EQ(nullptr, s.At(3, 4));
    EXPECT_EQ(nullptr, s.At(3, 5));
    ExpectText(s, 4, 4, L"29. 1. 1900");  // before 1 March 1900 the sheet's days are off by one
    const Cell* memo = s.At(5, 1);
    ASSERT_TRUE(memo != nullptr);
    EXPECT_EQ(32767u, memo->text.size());
    EXPECT_EQ(std::wstring(L"řbřb"), memo->text.substr(0, 4));
}

TEST_F(ExcelExportTest, SheetsAreAddedOrReplaceTheWorkbook)
{
    list_.AddRows(1, 50);
    EXPECT_EQ(0, Run(L"První", false, 1).failedFlag);
    EXPECT_EQ(0, Run(L"Druhý", true, 1).failedFlag);
    bookcheck::Book book = Load();
    ASSERT_EQ(2u, book.sheets.size());
    EXPECT_TRUE(book.sheets[1].name == L"Druhý");
    for (const bookcheck::Sheet& s : book.sheets) {
        EXPECT_EQ(51, s.rows);
        ExpectText(s, 50, 0, L"Carabus 50");
    }

    // A name the workbook has already (in any case) fails in the worker too, and keeps the file.
    std::string bytes = wintest::ReadFileBytes(file_);
    ProgressRecorder& taken = Run(L"DRUHÝ", true, 1);
    EXPECT_EQ(1, taken.failedFlag);
    EXPECT_TRUE(taken.outcome.Message ==
                L"V daném excelovském souboru již existuje list stejného názvu. Zvolte prosím jiný název.");
    EXPECT_TRUE(wintest::ReadFileBytes(file_) == bytes);

    EXPECT_EQ(0, Run(L"Třetí", true, 0).failedFlag);  // overwrite
    book = Load();
    ASSERT_EQ(1u, book.sheets.size());
    EXPECT_TRUE(book.sheets[0].name == L"Třetí");
}

TEST_F(ExcelExportTest, ListsLongerThanASheetAreRefusedAndNothingIsWritten)
{
    list_.AddRows(1, 65536);
    ProgressRecorder& p = Run(L"List", false, 1);
    EXPECT_EQ(1, p.failedFlag);
    EXPECT_NE(std::wstring::npos, p.outcome.Message.find(L"nejvýše 65535 zápisů, seznam jich obsahuje 65536"))
        << Narrow(p.outcome.Message);
    EXPECT_FALSE(wintest::FileExists(file_));
    list_.Exec(L"DELETE FROM ZAZNAMY WHERE ID = 1");
    EXPECT_EQ(0, Run(L"List", false, 1).failedFlag);  // one less fits
    EXPECT_EQ(65536, Load().sheets[0].rows);
}

TEST_F(ExcelExportTest, UnwritableTargetsAndCancelling)
{
    list_.AddRows(1, 10);
    file_ = list_.Folder().File(L"chybi\\sešit.xls");
    ProgressRecorder& missing = Run(L"List", false, 1);
    EXPECT_EQ(1, missing.failedFlag);
    EXPECT_EQ(0u, missing.outcome.Message.find(L"Soubor „" + file_ + L"“ nelze zapsat.\r\n"))
        << Narrow(missing.outcome.Message);

    file_ = list_.Folder().File(L"zrušeno.xls");
    export_.StopFlag = 1;  // cancelled before the first row: the captions stay
    ProgressRecorder& cancelled = Run(L"List", false, 1);
    EXPECT_EQ(0, cancelled.failedFlag);
    bookcheck::Book book = Load();
    EXPECT_EQ(1, book.sheets[0].rows);
    ExpectText(book.sheets[0], 0, 0, L"Druh");

    // A workbook that fails half-way through its writing leaves the one it was to replace or
    // add to as it was, byte for byte.
    export_.StopFlag = 0;
    std::string bytes = wintest::ReadFileBytes(file_);
    for (int append : {0, 1}) {
        xls::SetWorkbookWriteFault(2000);
        ProgressRecorder& broken = Run(L"Nový", true, append);
        xls::SetWorkbookWriteFault(-1);
        EXPECT_EQ(1, broken.failedFlag) << append;
        EXPECT_TRUE(wintest::ReadFileBytes(file_) == bytes) << append;
    }
}

}  // namespace
