// Figures of the utilities program on a generated records database, each beside a baseline of
// the same run:
//   - open and structure load (CSchemaDb), and the same with the upgrade of an older-layout
//     copy; baseline: a raw ODBC connection reading the same level rows, usage counts and
//     attribute rows;
//   - full validation (all three parts) on a sound copy and on one with 10,000 damaged
//     records: time, bar messages and steps of each pass, peak memory; baseline: one raw ODBC
//     read of all record ids and level paths ordered by SYSID;
//   - a 20 MB import log shown in the log viewer.
//
//   tarnix_bench.exe <database path> [-n <records>] [--runs <count>]
//
// A missing database is made first with ZorSampleDb.exe from the same folder (1,000,000
// records by default). The copies it works on are deleted at the end.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchtarnix.h"
#include "bench/benchutil.h"
#include "tools/testkit/rawodbc.h"
#include "import/importlog.h"
#include "resources/tarnix/resource.h"
#include "structure/dbcheck.h"
#include "utilities/logviewer.h"
#include "structure/progressdlg.h"
#include "structure/schemadb.h"

namespace {

const char kUsage[] = "usage: tarnix_bench.exe <database path> [-n <records>] [--runs <count>]\n";

std::string Utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out((size_t)(n > 0 ? n - 1 : 0), '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

double WorkingSetMb()
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    return pmc.WorkingSetSize / 1048576.0;
}

void Row(const char* name, double value, double baseline, const char* unit, const char* target)
{
    char base[32] = "-";
    char ratio[16] = "-";
    if (baseline >= 0) {
        snprintf(base, sizeof base, "%.3f %s", baseline, unit);
        if (baseline > 0)
            snprintf(ratio, sizeof ratio, "%.1fx", value / baseline);
    }
    printf("%-46s %12.3f %-3s %14s %8s  %s\n", name, value, unit, base, ratio, target);
    fflush(stdout);
}

// ---- open and load ----

double TimeOpenAndLoad(const std::wstring& path, bool* ok)
{
    double start = NowSeconds();
    TarnixDb db(path);
    *ok = db.ok();
    return NowSeconds() - start;
}

long long CountOf(zor::RawOdbc& raw, const std::wstring& sql)
{
    return raw.QueryInt(sql, 0);
}

double TimeRawLoad(const std::wstring& path)
{
    double start = NowSeconds();
    zor::RawOdbc raw;
    raw.Open(path, false);
    std::vector<std::vector<std::wstring>> rows;
    for (const wchar_t* def : {L"SYSDEF", L"LOCDEF"}) {
        raw.Query(std::wstring(L"SELECT * FROM ") + def + L" WHERE LEVELID > 0 ORDER BY LEVELID", rows);
        const wchar_t* tree = def[0] == L'S' ? L"SYSTREE WHERE SYSLEVEL = " : L"LOCTREE WHERE LOCLEVEL = ";
        for (const auto& r : rows)
            CountOf(raw, std::wstring(L"SELECT COUNT(*) FROM ") + tree + r[0]);
    }
    raw.Query(L"SELECT * FROM CUSTOMATTRIBUTES ORDER BY POSID", rows);
    return NowSeconds() - start;
}

bool MakeOlderLayout(const std::wstring& path)
{
    zor::RawOdbc raw;
    return raw.Open(path, false) && raw.Exec(L"ALTER TABLE CUSTOMATTRIBUTES DROP COLUMN NULLVAL") &&
           raw.Exec(L"ALTER TABLE CUSTOMATTRIBUTES DROP COLUMN MAXVAL") &&
           raw.Exec(L"ALTER TABLE CUSTOMATTRIBUTES DROP COLUMN MINVAL");
}

// ---- validation ----

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

struct Pass {
    std::wstring status;
    double start = 0;
    double seconds = 0;
    int barMessages = 0;
    long long steps = 0;
    double workingMb = 0;  // at the end of the pass
};

struct CheckWatch {
    std::vector<Pass> passes;
    long long recordsPerPass = 0;  // the records' two passes share one status text
    WNDPROC statusProc = nullptr;
    WNDPROC barProc = nullptr;
    void Begin(const std::wstring& status)
    {
        double now = NowSeconds();
        if (!passes.empty()) {
            passes.back().seconds = now - passes.back().start;
            passes.back().workingMb = WorkingSetMb();
        }
        Pass p;
        p.status = status;
        p.start = now;
        passes.push_back(p);
    }
};
CheckWatch* g_watch = nullptr;

LRESULT CALLBACK WatchStatus(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_SETTEXT)
        g_watch->Begin(reinterpret_cast<const wchar_t*>(lp));
    return CallWindowProcW(g_watch->statusProc, w, msg, wp, lp);
}

LRESULT CALLBACK WatchBar(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == PBM_SETPOS && !g_watch->passes.empty())
        ++g_watch->passes.back().barMessages;
    return CallWindowProcW(g_watch->barProc, w, msg, wp, lp);
}

bool CountingCallback(int position, ProgressParams* params)
{
    // A step before the first status text counts in a pass of its own.
    if (g_watch->passes.empty())
        g_watch->Begin(L"");
    Pass& p = g_watch->passes.back();
    ++p.steps;
    bool cancel = ProgressCallback(position, params);
    // The records' second pass (locality paths) starts after as many steps as there are records.
    if (p.status == L"Kontroluji nálezy ..." && p.steps == g_watch->recordsPerPass)
        g_watch->Begin(L"Kontroluji nálezy ... (lokality)");
    return cancel;
}

void RunValidation(const std::wstring& path, const char* title, double baseline)
{
    TarnixDb tarnix(path);
    if (!tarnix.ok()) {
        printf("cannot open %ls\n", path.c_str());
        return;
    }
    CSchemaDb& db = tarnix.Db();
    HWND dlg = CreateDialogParamW(GetModuleHandleW(nullptr), L"SAVEPROGDLG", nullptr, Inert, 0);
    CheckWatch watch;
    g_watch = &watch;
    watch.recordsPerPass = CountRows(db.GetConnection(), L"SELECT COUNT(*) FROM ZORNACOLLS");
    watch.statusProc = (WNDPROC)SetWindowLongPtrW(GetDlgItem(dlg, IDC_PROGRESS_STATUS), GWLP_WNDPROC, (LONG_PTR)WatchStatus);
    watch.barProc = (WNDPROC)SetWindowLongPtrW(GetDlgItem(dlg, IDC_PROGRESS_BAR), GWLP_WNDPROC, (LONG_PTR)WatchBar);
    DbCheck check(db.GetConnection(), DBCHECK_ALL);
    ProgressParams params;
    params.hInstance = GetModuleHandleW(nullptr);
    params.Dialog = dlg;
    params.Mode = PROGRESS_VALIDATION;
    params.Argument = &check;
    params.Model = &tarnix.Model();
    params.Callback = CountingCallback;
    double start = NowSeconds();
    bool finished = RunDbCheck(&params);
    double total = NowSeconds() - start;
    g_watch = nullptr;
    printf("\n%s: %s, %.1f s in all\n", title, finished ? "finished" : "NOT FINISHED", total);
    int allBar = 0;
    for (const Pass& p : watch.passes) {
        if (p.steps == 0 && p.barMessages == 0 && p.seconds < 0.0005)
            continue;
        printf("  %-44s %9.3f s %10lld steps %5d bar messages %8.1f MB after\n", Utf8(p.status).c_str(), p.seconds,
               p.steps, p.barMessages, p.workingMb);
        allBar += p.barMessages;
    }
    char target[64];
    snprintf(target, sizeof target, "< 60 s, %d bar messages", allBar);
    Row(title, total, baseline, "s", target);
    Row("  peak memory (working set)", PeakMemoryMb(), -1, "MB", "< 1024 MB");
    DestroyWindow(dlg);
}

// One raw read of every record's ids and level paths, in SYSID order.
double TimeRawRecords(const std::wstring& path)
{
    zor::RawOdbc raw;
    raw.Open(path, false);
    std::vector<std::vector<std::wstring>> columns;
    raw.Query(L"SELECT name FROM pragma_table_info('ZORNACOLLS') WHERE name LIKE '%_LEVEL_%'", columns);
    std::wstring list = L"ID, SYSID, FTRID";
    for (const auto& c : columns)
        list += L", [" + c[0] + L"]";
    double start = NowSeconds();
    SQLHSTMT st = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, raw.Handle(), &st);
    std::wstring sql = L"SELECT " + list + L" FROM ZORNACOLLS ORDER BY SYSID";
    SQLExecDirectW(st, (SQLWCHAR*)sql.c_str(), SQL_NTS);
    SQLSMALLINT n = 0;
    SQLNumResultCols(st, &n);
    long long sum = 0;
    while (SQL_SUCCEEDED(SQLFetch(st))) {
        for (SQLSMALLINT c = 1; c <= n; ++c) {
            long long v = 0;
            SQLLEN ind = 0;
            SQLGetData(st, c, SQL_C_SBIGINT, &v, sizeof v, &ind);
            sum += v;
        }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    double seconds = NowSeconds() - start;
    if (sum == 42)
        printf(" ");
    return seconds;
}

// ---- the log viewer ----

double TimeLogViewer(const std::wstring& folder, double* rawSeconds)
{
    std::wstring path = folder + L"\\Imp20110315_093005.log";
    std::string line = "Chyba na \xF8\xE1" "dku: 123456\r\n  Zdroj: Zorna Data Access\r\n  Popis: P\xF8\xEDli\x9A "
                       "\x9Elu\x9Do\x9Dou\xE8k\xFD k\xF9\xF2 \xFAp\xECl \xEF\xE1" "belsk\xE9 \xF3" "dy.\r\n";
    std::string text;
    while (text.size() < 20u * 1024 * 1024)
        text += line;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(f);
    // Baseline: the file read and converted to UTF-16.
    double start = NowSeconds();
    HANDLE r = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes(text.size(), '\0');
    DWORD read = 0;
    ReadFile(r, &bytes[0], (DWORD)bytes.size(), &read, nullptr);
    CloseHandle(r);
    std::wstring wide((size_t)read, L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), (int)read, &wide[0], (int)read);
    *rawSeconds = NowSeconds() - start;

    static double shownAt = 0;
    shownAt = 0;
    LogViewer viewer(GetModuleHandleW(nullptr));
    ImportLog log = {};
    wcscpy(log.LogPath, path.c_str());
    SetTimer(nullptr, 0, 5, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND dlg = FindWindowW(L"#32770", L"Výsledek importu");
        if (!dlg || !IsWindowVisible(dlg))
            return;
        KillTimer(nullptr, id);
        UpdateWindow(dlg);
        shownAt = NowSeconds();
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    start = NowSeconds();
    ShowImportLog(&viewer, nullptr, &log);
    DeleteFileW(path.c_str());
    return shownAt - start;
}

}  // namespace

int main()
{
    int runs = 3;
    std::wstring path;
    int rc = ReadBenchArgs({{L"--runs", &runs, 1}}, PathWords::FirstOnly, stderr, kUsage, &path);
    if (rc)
        return rc;
    std::wstring folder = path.substr(0, path.find_last_of(L"\\/"));
    std::wstring copy = folder + L"\\tarnix_bench_copy.mdb";
    std::wstring older = folder + L"\\tarnix_bench_older.mdb";
    printf("%-46s %16s %14s %8s  %s\n", "figure", "Tarnix", "baseline", "ratio", "target");

    std::vector<double> load, raw, upgrade;
    bool ok = true;
    for (int i = 0; i < runs && ok; ++i) {
        raw.push_back(TimeRawLoad(path));
        load.push_back(TimeOpenAndLoad(path, &ok));
        if (!CopyDatabase(path, older) || !MakeOlderLayout(older)) {
            ok = false;
            break;
        }
        bool upgraded = false;
        upgrade.push_back(TimeOpenAndLoad(older, &upgraded));
        ok = ok && upgraded;
    }
    if (!ok)
        printf("the open or the load failed\n");
    Row("open and structure load (median)", Median(load), Median(raw), "s", "< 1 s");
    Row("open and load with upgrade (median)", Median(upgrade), Median(raw), "s", "< 1 s");
    DeleteFileW(older.c_str());

    double rawRecords = TimeRawRecords(path);
    if (CopyDatabase(path, copy)) {
        RunValidation(copy, "validation, sound database", rawRecords);
        zor::RawOdbc raw;
        if (raw.Open(copy, false) &&
            raw.Exec(L"UPDATE ZORNACOLLS SET SYS_LEVEL_1 = NULL, LOC_LEVEL_2 = 0 WHERE ID % 100 = 0")) {
            long long damaged = raw.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYS_LEVEL_1 IS NULL");
            raw.Close();
            printf("\n%lld damaged records\n", damaged);
            RunValidation(copy, "validation, damaged records", rawRecords);
            zor::RawOdbc after;
            after.Open(copy, false);
            printf("damaged records left: %lld\n",
                   after.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYS_LEVEL_1 IS NULL OR LOC_LEVEL_2 = 0"));
        }
        DeleteFileW(copy.c_str());
    }

    double rawLog = 0;
    double shown = TimeLogViewer(folder, &rawLog);
    printf("\n");
    Row("20 MB import log shown", shown, rawLog, "s", "< 2 s");
    return 0;
}
