// Figures of the list exports on the sample's search list of every record, with the search
// list's catalogue columns, each beside a baseline measured in the same run:
//   the raw ODBC fetch of the list's query (bound columns, row arrays: the driver alone) and a
//   read of every cell through the export's own cursor (a clone reading ahead in blocks) without
//   writing anything;
//   the text export, ANSI and Unicode (target: 200,000 rows/s, or 75 % of the raw fetch where
//   that is slower);
//   the peak working set above the opened list, at 100,000 rows and at the whole list (32 MB);
//   a full sheet of 65,535 rows (under 3 s, within 1.5x the text export of those rows, 64 MB);
//   the time from a cancel to the worker's end (100 ms).
//
//   export_bench.exe <database path> [-n <records>] [--runs <count>]
//
// A missing database is made first with ZorSampleDb.exe from the same folder.
#include <windows.h>
#include <psapi.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "core/containers.h"
#include "core/fields.h"
#include "dataaccess/connstr.h"
#include "reports/excelexport.h"
#include "reports/exportcells.h"
#include "reports/exportprogress.h"
#include "reports/textexport.h"

namespace {

double WorkingSetMb()
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    return pmc.WorkingSetSize / 1048576.0;
}

// The highest working set while it lives, above the one it started with (the process's own peak
// only ever grows, so each phase samples its own).
class PeakAbove
{
public:
    PeakAbove() : start_(WorkingSetMb()), peak_(start_)
    {
        thread_ = CreateThread(nullptr, 0, Sample, this, 0, nullptr);
    }
    ~PeakAbove() { Stop(); }
    double Stop()
    {
        if (thread_) {
            stop_ = true;
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
            thread_ = nullptr;
        }
        return peak_ - start_;
    }

private:
    static DWORD WINAPI Sample(LPVOID p)
    {
        PeakAbove* self = static_cast<PeakAbove*>(p);
        while (!self->stop_) {
            self->peak_ = std::max(self->peak_, WorkingSetMb());
            Sleep(5);
        }
        return 0;
    }
    double start_, peak_;
    volatile bool stop_ = false;
    HANDLE thread_;
};

struct Figure {
    std::string name;
    double value;
    std::string unit;
    double baseline;  // < 0: none
    std::string target;
    int pass;         // 1 pass, 0 miss, -1 not judged
};
std::vector<Figure> g_figures;

void Add(const std::string& name, double value, const std::string& unit, double baseline, const std::string& target,
         int pass)
{
    g_figures.push_back({name, value, unit, baseline, target, pass});
}

// The raw ODBC fetch of a query: every column bound, 256 rows a call.
long RawFetch(const std::wstring& odbc, const std::wstring& sql)
{
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT st = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    long rows = -1;
    if (SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, (SQLWCHAR*)odbc.c_str(), SQL_NTS, nullptr, 0, nullptr,
                                        SQL_DRIVER_NOPROMPT)) &&
        SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st)) &&
        SQL_SUCCEEDED(SQLExecDirectW(st, (SQLWCHAR*)sql.c_str(), SQL_NTS))) {
        const SQLULEN block = 256;
        SQLSMALLINT n = 0;
        SQLNumResultCols(st, &n);
        std::vector<std::vector<char>> buffers(n);
        std::vector<std::vector<SQLLEN>> lengths(n, std::vector<SQLLEN>(block));
        SQLULEN fetched = 0;
        SQLSetStmtAttrW(st, SQL_ATTR_ROW_BIND_TYPE, (SQLPOINTER)SQL_BIND_BY_COLUMN, 0);
        SQLSetStmtAttrW(st, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)block, 0);
        SQLSetStmtAttrW(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
        for (SQLSMALLINT c = 0; c < n; ++c) {
            SQLSMALLINT type = 0, digits = 0, nullable = 0, len = 0;
            SQLULEN size = 0;
            SQLWCHAR name[128];
            SQLDescribeColW(st, (SQLUSMALLINT)(c + 1), name, 128, &len, &type, &size, &digits, &nullable);
            SQLSMALLINT ctype = SQL_C_WCHAR;
            size_t width = 512;
            if (type == SQL_INTEGER || type == SQL_SMALLINT || type == SQL_TINYINT || type == SQL_BIGINT ||
                type == SQL_BIT) {
                ctype = SQL_C_SBIGINT;
                width = 8;
            } else if (type == SQL_DOUBLE || type == SQL_FLOAT || type == SQL_REAL || type == SQL_NUMERIC ||
                       type == SQL_DECIMAL || type == SQL_TYPE_TIMESTAMP || type == SQL_TYPE_DATE) {
                ctype = SQL_C_DOUBLE;
                width = 8;
            }
            buffers[c].resize(width * block);
            SQLBindCol(st, (SQLUSMALLINT)(c + 1), ctype, buffers[c].data(), (SQLLEN)width, lengths[c].data());
        }
        rows = 0;
        while (SQL_SUCCEEDED(SQLFetch(st)))
            rows += (long)fetched;
    }
    if (st)
        SQLFreeHandle(SQL_HANDLE_STMT, st);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return rows;
}

// Every visible cell read through a cursor of the export's kind, nothing written (with
// onlyFirst, one cell a row: what reading the rows costs).
long ReadAll(zdata::Recordset* list, CObjArray* fields, bool onlyFirst = false)
{
    zdata::Recordset* clone = nullptr;
    list->Clone(&clone);
    clone->put_CacheSize(1000);
    zdata::Fields* fs = nullptr;
    clone->get_Fields(&fs);
    std::vector<zdata::Field*> cols;
    for (int i = 0; i < fields->GetCount(); ++i) {
        CDispField* d = static_cast<CDispField*>(fields->GetItems()[i]);
        zdata::Field* f = nullptr;
        if (d->Visible && d->Field->Kind == FIELD_DATABASE &&
            SUCCEEDED(fs->Item((long)static_cast<CFieldInfo*>(d->Field)->ColumnOrdinal, &f)))
            cols.push_back(f);
    }
    while (onlyFirst && cols.size() > 1) {
        cols.back()->Release();
        cols.pop_back();
    }
    long rows = 0;
    for (; !clone->IsEOF(); clone->MoveNext(), ++rows)
        for (zdata::Field* f : cols) {
            VARIANT v;
            VariantInit(&v);
            f->get_Value(&v);
            VariantClear(&v);
        }
    for (zdata::Field* f : cols)
        f->Release();
    fs->Release();
    clone->Release();
    return rows;
}

// Gives an export what Run gives its worker: a cursor of its own over the list, the file, and
// the run it reports to.
template <class Export>
void PrepareWorker(Export* e, zdata::Recordset* list, const std::wstring& file, ExportRun* run)
{
    list->Clone(&e->Rows);
    e->Rows->put_CacheSize(1000);
    e->FileName = file.c_str();
    run->Cancel = &e->StopFlag;
    e->StopFlag = 0;
    e->Progress = run;
}

template <class Export>
void EndWorker(Export* e, const std::wstring& file)
{
    e->Progress = nullptr;
    e->Rows->Release();
    e->Rows = nullptr;
    DeleteFileW(file.c_str());
}

// The export's worker on the list, timed; the file is deleted afterwards.
template <class Export>
double TimeExport(Export* e, zdata::Recordset* list, const std::wstring& file)
{
    DeleteFileW(file.c_str());
    ExportRun run;
    PrepareWorker(e, list, file, &run);
    double t0 = NowSeconds();
    e->WriteRows();
    double t = NowSeconds() - t0;
    EndWorker(e, file);
    return t;
}

// Reopens the search list with the condition (null: every record); returns its rows.
long OpenList(CDatabase& db, const wchar_t* where)
{
    ListQuery q = {3, 0, nullptr, 0, 0, 0, where};
    db.QueryAllRecords(256, &q);
    return q.RowCount;
}

// ---- cancel: a worker on its own thread, reporting to a window of the bench ----

int g_progress = 0;
bool g_done = false;

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == ZM_EXPORT_PROGRESS) {
        g_progress = (int)lParam;
        return 0;
    }
    if (msg == ZM_EXPORT_DONE) {
        g_done = true;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

DWORD WINAPI TextWorker(LPVOID p)
{
    static_cast<CTextExport*>(p)->WriteRows();
    return 0;
}

double CancelLatencyMs(CTextExport* e, zdata::Recordset* list, const std::wstring& file)
{
    HWND window = CreateDbWindow(L"ZorExportBenchProgress", 0, 10, 10, HWND_MESSAGE, ProgressProc);
    ExportRun run;
    run.DialogSlot = &window;
    PrepareWorker(e, list, file, &run);
    g_progress = 0;
    g_done = false;
    HANDLE worker = CreateThread(nullptr, 0, TextWorker, e, 0, nullptr);
    while (g_progress < 50000 && !g_done) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        Pump();
    }
    double t0 = NowMs();
    e->StopFlag = 1;
    while (MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        Pump();
    double t = NowMs() - t0;
    CloseHandle(worker);
    EndWorker(e, file);
    DestroyWindow(window);
    return t;
}

}  // namespace

int main()
{
    int runs = 3;
    std::wstring path;
    if (int code = ReadBenchArgs({{L"--runs", &runs, 1}}, PathWords::Strict, stderr,
                                 "Usage: export_bench <database path> [-n <records>] [--runs <count>]\n"
                                 "  A missing database is made with \"ZorSampleDb -o <path> -n <records>\".\n",
                                 &path))
        return code;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HWND main = CreateDbWindow(L"ZorExportBench", 0, 100, 100);
    CDatabase db(main, GetModuleHandleW(nullptr));
    ConnSettings settings = {};
    if (!OpenDatabase(db, &settings, path)) {
        fprintf(stderr, "the database could not be opened\n");
        return 1;
    }
    CObjArray fields(64, 16);
    db.BuildSearchListColumns(&fields);
    zdata::OdbcConnectTarget target;
    zdata::MapJetConnectionString(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + L";", 0, &target);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring txt = std::wstring(temp) + L"zor_export_bench.txt", xls = std::wstring(temp) + L"zor_export_bench.xls";
    CTextExport text(GetModuleHandleW(nullptr), nullptr);
    CExcelExport excel(GetModuleHandleW(nullptr), nullptr);
    text.DispFields = excel.DispFields = &fields;

    char label[96];
    // ---- memory at 100,000 rows ----
    OpenList(db, L"ID <= 100000");
    zdata::Recordset* list = db.GetListRecordset(2);
    double peakSmall;
    {
        PeakAbove peak;
        text.Encoding = 0;
        TimeExport(&text, list, txt);
        peakSmall = peak.Stop();
    }

    // ---- a full sheet, beside the text export of the same rows ----
    long sheetRows = OpenList(db, L"ID <= 65535");
    list = db.GetListRecordset(2);
    excel.SheetName = _wcsdup(L"Výběr");
    excel.FileExists = 0;
    double tSheet, sheetPeak;
    {
        PeakAbove peak;
        tSheet = TimeExport(&excel, list, xls);
        sheetPeak = peak.Stop();
    }
    double tSheetText = TimeExport(&text, list, txt);

    // ---- the whole list ----
    long rows = OpenList(db, nullptr);
    list = db.GetListRecordset(2);
    ListQuery everything = {3, 0, nullptr, 0, 0, 0, nullptr};
    std::wstring sql = db.BuildListQuerySql(&everything);
    printf("search list of %ld rows x %d columns: %ls\n", rows, CountVisibleFields(&fields), sql.c_str());
    fflush(stdout);
    double tRaw = 1e9, tRows = 1e9, tRead = 1e9, tAnsi = 1e9, tUnicode = 1e9, peakAll = 0;
    // Each run measures every figure once, the raw fetch among them, so that a machine busy with
    // other work weighs on all of them alike; the best of the runs counts (a shared machine
    // makes single runs vary by half).
    double cancel = 1e9;
    for (int r = 0; r < runs; ++r) {
        double t0 = NowSeconds();
        ReadAll(list, &fields, true);
        tRows = std::min(tRows, NowSeconds() - t0);
        t0 = NowSeconds();
        ReadAll(list, &fields);
        tRead = std::min(tRead, NowSeconds() - t0);
        {
            PeakAbove peak;
            text.Encoding = 0;
            tAnsi = std::min(tAnsi, TimeExport(&text, list, txt));
            peakAll = std::max(peakAll, peak.Stop());
        }
        text.Encoding = 1;
        tUnicode = std::min(tUnicode, TimeExport(&text, list, txt));
        cancel = std::min(cancel, CancelLatencyMs(&text, list, txt));
        // The driver holds the raw fetch's whole result in memory: it comes last, and the
        // memory it gives back settles before the next run.
        t0 = NowSeconds();
        long raw = RawFetch(target.odbcString, sql);
        tRaw = std::min(tRaw, NowSeconds() - t0);
        if (raw != rows)
            fprintf(stderr, "warning: the raw fetch read %ld rows\n", raw);
        Sleep(3000);
        printf("run %d: raw %.0f, rows %.0f, cells %.0f, ANSI %.0f, Unicode %.0f rows/s\n", r + 1, rows / tRaw,
               rows / tRows, rows / tRead, rows / tAnsi, rows / tUnicode);
        fflush(stdout);
    }

    double rawRate = rows / tRaw;
    double goal = std::min(200000.0, 0.75 * rawRate);
    char goalText[64];
    snprintf(goalText, sizeof goalText, ">= %.0f rows/s", goal);
    Add("raw ODBC fetch of the list's query (bound, row arrays)", rawRate, "rows/s", -1, "(baseline)", -1);
    Add("  export cursor: one cell of each row read", rows / tRows, "rows/s", rawRate, "(for reference)", -1);
    Add("export cursor: every cell read, nothing written", rows / tRead, "rows/s", rawRate, goalText,
        rows / tRead >= goal);
    Add("text export, ANSI", rows / tAnsi, "rows/s", rawRate, goalText, rows / tAnsi >= goal);
    Add("text export, Unicode", rows / tUnicode, "rows/s", rawRate, goalText, rows / tUnicode >= goal);
    Add("peak working set above the list: text export, 100,000 rows", peakSmall, "MB", -1, "<= 32 MB",
        peakSmall <= 32);
    snprintf(label, sizeof label, "peak working set above the list: text export, %ld rows", rows);
    Add(label, peakAll, "MB", -1, "<= 32 MB", peakAll <= 32);
    snprintf(label, sizeof label, "Excel sheet of %ld rows (baseline: text export of them)", sheetRows);
    Add(label, tSheet, "s", tSheetText, "< 3 s, <= 1.5x text", tSheet < 3 && tSheet <= 1.5 * tSheetText);
    Add("  peak working set above the list", sheetPeak, "MB", -1, "< 64 MB", sheetPeak < 64);
    Add("cancel to the worker's end", cancel, "ms", -1, "< 100 ms", cancel < 100);

    printf("\n%-60s %14s %14s %7s  %-22s %s\n", "figure", "value", "baseline", "ratio", "target", "result");
    printf("%s\n", std::string(130, '-').c_str());
    bool all = true;
    for (const Figure& f : g_figures) {
        char value[32], base[32], ratio[16];
        const char* fmt = f.unit == "rows/s" ? "%.0f %s" : f.unit == "s" ? "%.2f %s" : "%.1f %s";
        snprintf(value, sizeof value, fmt, f.value, f.unit.c_str());
        if (f.baseline >= 0) {
            snprintf(base, sizeof base, fmt, f.baseline, f.unit.c_str());
            snprintf(ratio, sizeof ratio, "%.2f", f.value / f.baseline);
        } else {
            snprintf(base, sizeof base, "-");
            snprintf(ratio, sizeof ratio, "-");
        }
        printf("%-60s %14s %14s %7s  %-22s %s\n", f.name.c_str(), value, base, ratio, f.target.c_str(),
               f.pass < 0 ? "" : f.pass ? "pass" : "FAIL");
        if (f.pass == 0)
            all = false;
    }
    printf("\n%s\n", all ? "all targets met" : "some targets missed");
    db.Close();
    free(settings.DBName);
    DestroyWindow(main);
    return all ? 0 : 3;
}
