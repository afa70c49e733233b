// The print form's report on a large database, through the program's own main form, each figure
// beside its baseline measured in the same run: the generator alone (the report's lines made
// into RTF in memory, or written to a file for saving), which is the least any report can cost.
//   - the largest taxon list: the first screen painted (target < 0.5 s) and the report complete,
//     the view able to scroll to its end (target < 1 s); then an option ticked: the new report's
//     first screen (target < 0.5 s);
//   - the search list of every record: the first screen (target < 1 s), the report complete
//     (target < 2 times the generator alone) and the most memory the form took (target < 500 MB);
//   - 100,000 rows saved as RTF, beside the generator writing the same bytes to a file (target
//     within 1.3 times; the two files must be alike);
//   - growth: reports of 1,000, 10,000 and 100,000 rows, each replacing one of the same size as a
//     ticked option does; the report's time must not grow faster than the generator's (target:
//     from 10,000 to 100,000 rows at most 1.3 times the generator's growth, and never below
//     tenfold);
//   - the paginator laying out the 10,000-row report (target < 1 s), beside its lines alone, and
//     a 3-page report printed to the default printer: until the document is spooled, and until
//     the PDF queue has written it (when ZOR_PDF_FOLDER names the queue's folder).
//
//   print_bench.exe <database path> [-n <records>] [--runs <count>]
//
// A missing database is made first with ZorSampleDb.exe (1,000,000 records).
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "bench/benchui.h"
#include "browse/workspace.h"
#include "common/filechooser.h"
#include "common/printing.h"
#include "controls/plexa.h"
#include "core/msgbox.h"
#include "tools/testkit/rawodbc.h"
#include "shellcontract/configdata.h"
#include "mainapp/mainform.h"
#include "shellcontract/zm_protocol.h"
#include "reports/printform.h"
#include "reports/printform_view.h"
#include "reports/rtfreport.h"
#include "resources/zorna/resource.h"
#include "tools/testkit/workspacefile.h"

namespace {

const double kTaxonFirstMs = 500;
const double kTaxonCompleteMs = 1000;
const double kOptionFirstMs = 500;
const double kAllFirstMs = 1000;
const double kAllCompleteRatio = 2.0;
const double kAllMemoryMb = 500;
const double kSaveRatio = 1.3;
const double kGrowthRatio = 1.3;
const double kPaginateTargetMs = 1000;

int CountBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    printf("message box: %ls\n", text);
    return IDOK;
}

double TimeMs(const std::function<void()>& work)
{
    double t0 = NowMs();
    work();
    return NowMs() - t0;
}

// The memory the process holds: its working set (Wine reports no private bytes).
size_t HeldBytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.WorkingSetSize;
}

std::wstring TempPath(const wchar_t* name)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + name;
}

std::string FileBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER size = {};
        GetFileSizeEx(file, &size);
        bytes.resize((size_t)size.QuadPart);
        DWORD read = 0;
        ReadFile(file, &bytes[0], (DWORD)bytes.size(), &read, nullptr);
        bytes.resize(read);
        CloseHandle(file);
    }
    return bytes;
}

void ShowTab(Workspace* ws, HWND wnd, int tab)
{
    ws->HidePage(wnd);
    SendMessageW(GetDlgItem(wnd, kWorkspaceTabControlId), TCM_SETCURSEL, tab, 0);
    ws->ShowPage(wnd);
    Pump();
}

// What the user sees of one report, from the moment it was asked for.
struct ReportTimes
{
    double FirstMs = -1;     // a screen full of lines painted (or the whole of a shorter report)
    double CompleteMs = -1;  // every line made: the view scrolls to the end
    size_t PeakBytes = 0;    // the most memory beyond what the process held before
};

// Pumps until the form's report is complete, noting when the view first painted a full screen.
ReportTimes Watch(CPrintForm* form, double t0, size_t before)
{
    ReportTimes times;
    HWND view = GetDlgItem(form->Window, IDC_PRINT_TEXT);
    double sampled = 0;
    for (;;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        Pump();
        double now = NowMs();
        if (times.FirstMs < 0 && ReportViewScreenPainted(view))
            times.FirstMs = now - t0;
        if (now - sampled >= 20) {
            sampled = now;
            size_t bytes = HeldBytes();
            if (bytes > before)
                times.PeakBytes = std::max(times.PeakBytes, bytes - before);
        }
        if (!form->ReportThread) {
            times.CompleteMs = now - t0;
            break;
        }
    }
    if (times.FirstMs < 0) {
        UpdateWindow(view);
        if (ReportViewScreenPainted(view))
            times.FirstMs = NowMs() - t0;
    }
    return times;
}

// The report of a tab's list opened (or refilled), as the print command does.
ReportTimes OpenReport(HWND wnd, Workspace* ws, int tab)
{
    ShowTab(ws, wnd, tab);
    size_t before = HeldBytes();
    double t0 = NowMs();
    SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(IDM_PRINT, 0), 0);
    return Watch(ws->ReportForm, t0, before);
}

// An option of the form ticked by the user: the report is made again.
ReportTimes TickOption(CPrintForm* form, int id)
{
    size_t before = HeldBytes();
    double t0 = NowMs();
    SendMessageW(form->Control(id), BM_CLICK, 0, 0);
    return Watch(form, t0, before);
}

// The generator alone over the form's list: its lines made into RTF, handed to write.
double GeneratorMs(CPrintForm* form, const std::function<void(const char*, int)>& write)
{
    ReportOptions options = form->MakeReportOptions();
    AbbrevPairList pairs = {};
    double ms = TimeMs([&] {
        ReportLines lines(options, form->Recordset, &pairs);
        RtfReportFormat format;
        format.FaceName = form->ReportFont.lfFaceName;
        format.CharSet = form->ReportFont.lfCharSet;
        format.BodySize = form->BodySize;
        format.TitleSize = form->TitleSize;
        int capacity = 256;
        char* buffer = static_cast<char*>(malloc((size_t)capacity));
        RtfReport rtf(&lines, format, &buffer, &capacity);
        std::vector<char> piece(1 << 16);
        for (int n; (n = rtf.GenerateReport(piece.data(), (int)piece.size())) > 0;)
            write(piece.data(), n);
        free(buffer);
    });
    FreeAbbreviations(&pairs);
    return ms;
}

double GeneratorAloneMs(CPrintForm* form)
{
    return GeneratorMs(form, [](const char*, int) {});
}

bool g_pass = true;

// One figure beside its baseline; the target is a time (ms), or a ratio to the baseline.
void Figure(const std::string& what, double value, const char* unit, const std::string& baseline,
            double baselineValue, double target, bool ratio)
{
    printf("  %-46s %10.1f %s", what.c_str(), value, unit);
    if (!baseline.empty())
        printf("   %s %10.1f %s", baseline.c_str(), baselineValue, unit);
    if (target > 0) {
        double measure = ratio ? (baselineValue > 0 ? value / baselineValue : 0) : value;
        bool ok = measure >= 0 && measure < target;
        if (ratio)
            printf("   ratio %.2f (target < %.1f) %s", measure, target, ok ? "PASS" : "FAIL");
        else
            printf("   (target < %.0f %s) %s", target, unit, ok ? "PASS" : "FAIL");
        g_pass = g_pass && ok;
    }
    printf("\n");
    fflush(stdout);
}

std::wstring g_saveTarget;

// The form's own Save button into a file; its time.
double SaveMs(CPrintForm* form, const std::wstring& path)
{
    g_saveTarget = path;
    SetSaveFileChooser([](OPENFILENAMEW* ofn) -> BOOL {
        lstrcpynW(ofn->lpstrFile, g_saveTarget.c_str(), (int)ofn->nMaxFile);
        return TRUE;
    });
    double ms = TimeMs([&] { SendMessageW(form->Window, WM_COMMAND, MAKEWPARAM(IDC_PRINT_SAVE, BN_CLICKED), 0); });
    SetSaveFileChooser(nullptr);
    return ms;
}

// The generator writing the same bytes into a file.
double GeneratorToFileMs(CPrintForm* form, const std::wstring& path)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    double ms = TimeMs([&] {
        file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        GeneratorMs(form, [&](const char* data, int n) {
            DWORD written = 0;
            WriteFile(file, data, (DWORD)n, &written, nullptr);
        });
        CloseHandle(file);
    });
    return ms;
}

void SearchRows(HWND wnd, Workspace* ws, long rows)
{
    static std::wstring where;
    where = L"T1.ID IN (SELECT ID FROM ZORNACOLLS ORDER BY ID LIMIT " + std::to_wstring(rows) + L")";
    ws->RunSearch(wnd, where.c_str(), 1);
}

void TaxonCase(HWND wnd, Workspace* ws, long long records, int runs)
{
    CPrintForm* form = ws->ReportForm;
    printf("largest taxon list, %lld rows\n", records);
    ReportTimes opened = OpenReport(wnd, ws, TAB_SYSTEM);
    std::vector<double> alone, first, complete, ticked, tickedComplete;
    for (int r = 0; r < runs; r++) {
        alone.push_back(GeneratorAloneMs(form));
        // The heading off and on again: two reports of the same rows, each replacing the other.
        for (int twice = 0; twice < 2; twice++) {
            ReportTimes t = TickOption(form, IDC_PRINT_HEADER);
            ticked.push_back(t.FirstMs);
            tickedComplete.push_back(t.CompleteMs);
        }
        ShowWindow(form->Window, SW_HIDE);
        ReportTimes t = OpenReport(wnd, ws, TAB_SYSTEM);
        first.push_back(t.FirstMs);
        complete.push_back(t.CompleteMs);
    }
    printf("  (first opening: first screen %.1f ms, complete %.1f ms)\n", opened.FirstMs, opened.CompleteMs);
    double base = Median(alone);
    Figure("opened: first screen painted", Median(first), "ms", "generator alone", base, kTaxonFirstMs, false);
    Figure("opened: complete, scrolls to the end", Median(complete), "ms", "generator alone", base,
           kTaxonCompleteMs, false);
    Figure("option ticked: first screen painted", Median(ticked), "ms", "generator alone", base, kOptionFirstMs,
           false);
    Figure("option ticked: complete", Median(tickedComplete), "ms", "generator alone", base, 0, false);
}

void AllRecordsCase(HWND wnd, Workspace* ws, long long records)
{
    CPrintForm* form = ws->ReportForm;
    printf("search list of every record, %lld rows\n", records);
    ws->RunSearch(wnd, nullptr, 1);
    ShowWindow(form->Window, SW_HIDE);
    ReportTimes t = OpenReport(wnd, ws, TAB_SEARCH);
    double alone = GeneratorAloneMs(form);
    Figure("first screen painted", t.FirstMs, "ms", "generator alone", alone, kAllFirstMs, false);
    Figure("complete, scrolls to the end", t.CompleteMs, "ms", "generator alone", alone, kAllCompleteRatio, true);
    Figure("memory the form took at most", t.PeakBytes / 1048576.0, "MB", "", 0, kAllMemoryMb, false);
    printf("  %-46s %10.1f bytes\n", "  that is, per row", records > 0 ? (double)t.PeakBytes / records : 0.0);
}

void SaveCase(HWND wnd, Workspace* ws, int runs)
{
    CPrintForm* form = ws->ReportForm;
    const long rows = 100000;
    printf("%ld rows saved as RTF\n", rows);
    SearchRows(wnd, ws, rows);
    OpenReport(wnd, ws, TAB_SEARCH);
    std::wstring saved = TempPath(L"zorna_print_bench_saved.rtf");
    std::wstring written = TempPath(L"zorna_print_bench_generator.rtf");
    std::vector<double> save, alone;
    // Taken in turns, each first every other time: what runs first pays for the cold pages.
    for (int r = 0; r < runs; r++) {
        if (r % 2) {
            save.push_back(SaveMs(form, saved));
            alone.push_back(GeneratorToFileMs(form, written));
        } else {
            alone.push_back(GeneratorToFileMs(form, written));
            save.push_back(SaveMs(form, saved));
        }
    }
    std::string a = FileBytes(saved), b = FileBytes(written);
    printf("  files: %zu and %zu bytes, %s\n", a.size(), b.size(), a == b && !a.empty() ? "alike" : "DIFFERENT");
    g_pass = g_pass && a == b && !a.empty();
    Figure("saved through the form", Median(save), "ms", "generator to a file", Median(alone), kSaveRatio, true);
    DeleteFileW(saved.c_str());
    DeleteFileW(written.c_str());
}

void GrowthCase(HWND wnd, Workspace* ws, int runs)
{
    CPrintForm* form = ws->ReportForm;
    printf("growth: each report replacing one of the same size (an option ticked)\n");
    printf("  %10s %14s %14s %8s %12s %12s\n", "rows", "report ms", "generator ms", "ratio", "us/row", "gen us/row");
    const long sizes[] = {1000, 10000, 100000};
    double report[3] = {}, alone[3] = {};
    for (int i = 0; i < 3; i++) {
        SearchRows(wnd, ws, sizes[i]);
        OpenReport(wnd, ws, TAB_SEARCH);
        std::vector<double> r, g;
        for (int k = 0; k < (sizes[i] >= 100000 ? 1 : runs); k++) {
            g.push_back(GeneratorAloneMs(form));
            r.push_back(TickOption(form, IDC_PRINT_HEADER).CompleteMs);
        }
        report[i] = Median(r);
        alone[i] = Median(g);
        printf("  %10ld %14.1f %14.1f %8.2f %12.2f %12.2f\n", sizes[i], report[i], alone[i],
               alone[i] > 0 ? report[i] / alone[i] : 0.0, report[i] * 1000 / sizes[i], alone[i] * 1000 / sizes[i]);
        fflush(stdout);
    }
    double reportGrowth = report[1] > 0 ? report[2] / report[1] : 0;
    double generatorGrowth = alone[1] > 0 ? alone[2] / alone[1] : 0;
    double allowed = kGrowthRatio * std::max(10.0, generatorGrowth);
    bool ok = reportGrowth > 0 && reportGrowth <= allowed;
    printf("  10,000 -> 100,000 rows: report x%.1f, generator x%.1f (target <= %.1f) %s\n", reportGrowth,
           generatorGrowth, allowed, ok ? "PASS" : "FAIL");
    g_pass = g_pass && ok;
}

BOOL WINAPI AcceptPrinter(PRINTDLGW* pd)
{
    PAGESETUPDLGW setup = {};
    setup.hDevMode = pd->hDevMode;
    setup.hDevNames = pd->hDevNames;
    pd->hDC = CreatePageSetupDC(&setup);
    return pd->hDC != nullptr;
}

// The newest file of the queue's folder named after the document, written after the given time.
std::wstring NewPdf(const std::wstring& folder, const FILETIME& after, ULONGLONG* size)
{
    WIN32_FIND_DATAW found;
    std::wstring newest;
    HANDLE find = FindFirstFileW((folder + L"\\ZornaPrint*.pdf").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return newest;
    do {
        if (CompareFileTime(&found.ftLastWriteTime, &after) >= 0) {
            newest = folder + L"\\" + found.cFileName;
            *size = ((ULONGLONG)found.nFileSizeHigh << 32) | found.nFileSizeLow;
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return newest;
}

void PrintCase(HWND wnd, Workspace* ws, int runs)
{
    CPrintForm* form = ws->ReportForm;
    printf("printing\n");
    SearchRows(wnd, ws, 10000);
    OpenReport(wnd, ws, TAB_SEARCH);
    bool printer = IsPrinterInstalled() && PreparePageSetup(form->GetPageSetup());
    HDC dc = printer ? CreatePageSetupDC(form->GetPageSetup()) : nullptr;
    if (!dc) {
        printf("  no printer: the paginator is measured on the screen\n");
        dc = GetDC(nullptr);
    }
    int pages = 0;
    std::vector<double> layout, lines;
    for (int r = 0; r < runs; r++) {
        layout.push_back(TimeMs([&] { pages = form->PaginateReport(dc, false); }));
        lines.push_back(TimeMs([&] {
            AbbrevPairList pairs = {};
            ReportLines walk(form->MakeReportOptions(), form->Recordset, &pairs);
            ReportLine line;
            while (walk.Next(&line)) {
            }
            FreeAbbreviations(&pairs);
        }));
    }
    Figure("paginator, 10,000 rows: " + std::to_string(pages) + " pages", Median(layout), "ms", "lines alone",
           Median(lines), kPaginateTargetMs, false);

    if (printer) {
        long rows = 150;
        for (int attempt = 0; attempt < 8; attempt++) {
            SearchRows(wnd, ws, rows);
            OpenReport(wnd, ws, TAB_SEARCH);
            pages = form->PaginateReport(dc, false);
            if (pages == 3)
                break;
            rows = (long)(rows * 2.5 / (pages > 0 ? pages : 1));
        }
        SetPrintDialog(AcceptPrinter);
        FILETIME started;
        GetSystemTimeAsFileTime(&started);
        double t0 = NowMs();
        SendMessageW(form->Window, WM_COMMAND, MAKEWPARAM(IDC_PRINT_PRINT, BN_CLICKED), 0);
        double spooled = NowMs() - t0;
        SetPrintDialog(nullptr);
        wchar_t folder[MAX_PATH] = L"";
        double written = -1;
        std::wstring pdf;
        if (GetEnvironmentVariableW(L"ZOR_PDF_FOLDER", folder, MAX_PATH)) {
            std::wstring windows = std::wstring(L"Z:") + folder;
            std::replace(windows.begin(), windows.end(), L'/', L'\\');
            ULONGLONG size = 0, last = 0;
            while (NowMs() - t0 < 120000) {
                pdf = NewPdf(windows, started, &size);
                if (!pdf.empty() && size > 0 && size == last) {
                    written = NowMs() - t0;
                    break;
                }
                last = size;
                Sleep(100);
            }
        }
        printf("  %-46s %10.1f ms   until the PDF is written %10.1f ms (%d rows)\n", "3-page report spooled",
               spooled, written, (int)rows);
        if (!pdf.empty())
            DeleteFileW(pdf.c_str());
        DeleteDC(dc);
    } else {
        printf("  no printer: printing is not measured\n");
        ReleaseDC(nullptr, dc);
    }
}

}  // namespace

int main()
{
    int runs = 3;
    std::wstring path;
    if (int code = ReadBenchArgs({{L"--runs", &runs, 1}}, PathWords::Last, stdout,
                                 "Usage: print_bench <database path> [-n <records>] [--runs <count>]\n", &path))
        return code;
    zor::StartZornaUi(CountBox, PLEXA_ALLCLASSES);

    zor::RawOdbc raw;
    if (!raw.Open(path, false)) {
        printf("the database could not be read\n");
        return 1;
    }
    int taxon = (int)raw.QueryInt(L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1", -1);
    long long taxonRecords = raw.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYSID = " + std::to_wstring(taxon), 0);
    long long total = raw.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS", 0);
    printf("database: %lld records; largest taxon list %d (%lld records); %d runs each\n", total, taxon,
           taxonRecords, runs);
    std::wstring workspace = TempPath(L"zorna_print_bench.xml");
    wstest::WriteCardsWorkspace(workspace, path.c_str(), taxon,
                                (int)raw.QueryInt(L"SELECT MIN(FTRID) FROM ZORNACOLLS", 1));
    wstest::LastConfigFile lastConfig(workspace);
    HWND wnd = nullptr;
    HACCEL accel = nullptr;
    MainForm* mainForm = new MainForm(GetModuleHandleW(nullptr), MainFormDlgProc, &wnd, &accel);
    if (!wnd || !mainForm->Database || !mainForm->Database->IsOpen()) {
        printf("the main form did not open the database\n");
        return 1;
    }
    Workspace* ws = mainForm->Workspace_;

    SendMessageW(wnd, ZM_GOTO_TREE_ITEM, ZM_CARD_SYS, taxon);
    TaxonCase(wnd, ws, taxonRecords, runs);
    AllRecordsCase(wnd, ws, total);
    SaveCase(wnd, ws, runs);
    GrowthCase(wnd, ws, runs);
    PrintCase(wnd, ws, runs);

    DestroyWindow(wnd);
    Pump();
    delete mainForm;
    DeleteFileW(workspace.c_str());
    CoUninitialize();
    printf(g_pass ? "all targets met\n" : "some targets missed\n");
    return g_pass ? 0 : 3;
}
