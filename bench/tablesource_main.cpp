// Reading rows for the table import: a 60,000-row sheet (species text, DMS locality text, a date,
// three attributes) read row by row through the data layer's workbook connection, as the table
// source reads it (every field by position), beside the workbook reader alone (the baseline: the
// parse of the same file without the layer), and the rows of an Access file through MDBTools.
// Usage: tablesource_bench.exe [-n <rows>] [<Access file> <table>]
#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchutil.h"
#include "dataaccess/ado.h"
#include "workbook/sheetwriter.h"
#include "xlsread/sheettables.h"

namespace {

// Reads every field of every row by position; returns the rows read.
long ReadAllRows(const std::wstring& connectionString, const wchar_t* table, double* ms)
{
    double start = NowMs();
    zdata::Connection* c = zdata::Connection::Create();
    c->put_Mode(adModeRead);
    long rows = 0;
    if (SUCCEEDED(c->Open(connectionString.c_str()))) {
        zdata::Recordset* rs = zdata::Recordset::Create();
        rs->put_CursorLocation(adUseClient);
        if (SUCCEEDED(rs->Open(table, c, adOpenKeyset, adLockOptimistic, adCmdTable))) {
            zdata::Fields* fields = nullptr;
            rs->get_Fields(&fields);
            long n = 0;
            fields->get_Count(&n);
            std::vector<zdata::Field*> f((size_t)n);
            for (long i = 0; i < n; ++i)
                fields->Item(i, &f[(size_t)i]);
            for (; !rs->IsEOF(); rs->MoveNext(), ++rows)
                for (long i = 0; i < n; ++i) {
                    VARIANT v;
                    VariantInit(&v);
                    f[(size_t)i]->get_Value(&v);
                    VariantClear(&v);
                }
            for (zdata::Field* x : f)
                x->Release();
            fields->Release();
        }
        rs->Release();
    }
    c->Release();
    *ms = NowMs() - start;
    return rows;
}

}  // namespace

int main(int argc, char** argv)
{
    long rows = 60000;
    std::wstring accessFile, accessTable;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-n" && i + 1 < argc)
            rows = atol(argv[++i]);
        else if (accessFile.empty())
            accessFile.assign(a.begin(), a.end());
        else
            accessTable.assign(a.begin(), a.end());
    }
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring book = std::wstring(temp) + L"tablesource_bench.xls";
    DeleteFileW(book.c_str());
    {
        xls::SheetWriter w;
        w.Begin(book.c_str(), L"Nálezy", false);
        const wchar_t* head[] = {L"Druh", L"Lokalita", L"Datum", L"Počet", L"Metoda", L"Poznámka"};
        for (int c = 0; c < 6; ++c)
            w.Text(0, c, head[c], wcslen(head[c]));
        const wchar_t* species[] = {L"Carabus auratus L., 1758", L"Carabus coriaceus", L"Bombus terrestris"};
        const wchar_t* methods[] = {L"smyk", L"zemní past", L"individuální sběr"};
        for (long r = 1; r <= rows; ++r) {
            std::wstring loc = L"Praha " + std::to_wstring(r % 500) + L" 14°25'" + std::to_wstring(r % 60) + L"\"";
            std::wstring note = L"poznámka " + std::to_wstring(r);
            w.Text(r, 0, species[r % 3], wcslen(species[r % 3]));
            w.Text(r, 1, loc.c_str(), loc.size());
            w.Number(r, 2, 36000 + r % 5000, xls::CellStyle::Date);
            w.Number(r, 3, r % 17, xls::CellStyle::General);
            w.Text(r, 4, methods[r % 3], wcslen(methods[r % 3]));
            w.Text(r, 5, note.c_str(), note.size());
        }
        if (w.Commit() != xls::BookStatus::Ok) {
            fprintf(stderr, "the workbook could not be written\n");
            return 1;
        }
    }
    double baseline = NowMs();
    std::vector<xlsread::SheetTable> tables;
    xlsread::ReadSheetTables(book.c_str(), &tables);
    baseline = NowMs() - baseline;
    double layerMs = 0;
    long read = ReadAllRows(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + book +
                                L";Extended Properties=Excel 8.0;", L"Nálezy", &layerMs);
    printf("sheet of %ld rows x 6 columns\n", rows);
    printf("  baseline, workbook reader alone: %8.0f ms  %10.0f rows/s\n", baseline, rows * 1000.0 / baseline);
    printf("  through the layer, by position:  %8.0f ms  %10.0f rows/s  (%ld rows, %.2fx the baseline time)\n",
           layerMs, read * 1000.0 / layerMs, read, layerMs / baseline);
    printf("  peak memory: %.0f MB\n", PeakMemoryMb());
    DeleteFileW(book.c_str());
    if (!accessFile.empty() && !accessTable.empty()) {
        double ms = 0;
        long n = ReadAllRows(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + accessFile + L";",
                             accessTable.c_str(), &ms);
        printf("Access table %ls: %ld rows in %.0f ms (%.0f rows/s)\n", accessTable.c_str(), n, ms,
               n * 1000.0 / (ms > 0 ? ms : 1));
    }
    return 0;
}
