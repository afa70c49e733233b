// The print form's report on a large database, through the program's own main form, each figure
// beside a baseline measured in the same run:
//   - the report (generator and stream) of the largest taxon list and of 10,000 and 100,000 rows
//     of the search list, beside the same bytes streamed from memory into the same control
//     (target: within 1.2 times); the time from the restart until the report is ready is the
//     wait the user sees;
//   - the memory the generator's own walk takes for 10,000 and for 100,000 rows (the target:
//     it does not grow with the rows);
//   - the paginator laying out the 10,000-row report and counting its pages (target: under 1 s),
//     beside the same lines only made;
//   - a 3-page report printed to the default printer: until the document is spooled, and until
//     the PDF queue has written it (when ZOR_PDF_FOLDER names the queue's folder).
//
//   print_bench.exe <database path> [-n <records>] [--runs <count>]
//
// A missing database is made first with ZorSampleDb.exe (1,000,000 records).
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <richedit.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "browse/workspace.h"
#include "common/filechooser.h"
#include "common/printing.h"
#include "controls/plexa.h"
#include "core/msgbox.h"
#include "core/rawodbc.h"
#include "mainapp/configdata.h"
#include "mainapp/mainform.h"
#include "mainapp/zm_protocol.h"
#include "reports/printform.h"
#include "reports/rtfreport.h"
#include "resources/zorna/resource.h"
#include "tests/mainapp/workspacefile.h"

namespace {

const double kStreamRatioTarget = 1.2;
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

size_t PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), (PROCESS_MEMORY_COUNTERS*)&counters, sizeof(counters));
    return counters.PrivateUsage;
}

void ShowTab(Workspace* ws, HWND wnd, int tab)
{
    ws->HidePage(wnd);
    SendMessageW(GetDlgItem(wnd, kWorkspaceTabControlId), TCM_SETCURSEL, tab, 0);
    ws->ShowPage(wnd);
    Pump();
}

// Pumps until the form's last report thread has reported its end.
void WaitReady(CPrintForm* form)
{
    while (form->ReportThread) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
}

// The report made again with the current columns and options: the wait the user sees.
double ReportMs(CPrintForm* form)
{
    return TimeMs([&] {
        form->RestartReport();
        WaitReady(form);
    });
}

// The document the control received, as the form saves it.
std::string SavedDocument(CPrintForm* form)
{
    static std::wstring target;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    target = std::wstring(temp) + L"zorna_print_bench.rtf";
    SetSaveFileChooser([](OPENFILENAMEW* ofn) -> BOOL {
        lstrcpynW(ofn->lpstrFile, target.c_str(), (int)ofn->nMaxFile);
        return TRUE;
    });
    SendMessageW(form->Window, WM_COMMAND, MAKEWPARAM(IDC_PRINT_SAVE, BN_CLICKED), 0);
    SetSaveFileChooser(nullptr);
    std::string bytes;
    HANDLE file = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER size = {};
        GetFileSizeEx(file, &size);
        bytes.resize((size_t)size.QuadPart);
        DWORD read = 0;
        ReadFile(file, &bytes[0], (DWORD)bytes.size(), &read, nullptr);
        CloseHandle(file);
    }
    DeleteFileW(target.c_str());
    return bytes;
}

struct MemorySource
{
    const std::string* bytes;
    size_t pos;
};

DWORD CALLBACK ReadMemory(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done)
{
    MemorySource* source = reinterpret_cast<MemorySource*>(cookie);
    size_t rest = source->bytes->size() - source->pos;
    size_t n = rest < (size_t)size ? rest : (size_t)size;
    memcpy(buffer, source->bytes->data() + source->pos, n);
    source->pos += n;
    *done = (LONG)n;
    return 0;
}

// The baseline: the same bytes streamed from memory into the same control.
double MemoryStreamMs(CPrintForm* form, const std::string& document)
{
    HWND control = GetDlgItem(form->Window, IDC_PRINT_TEXT);
    MemorySource source = {&document, 0};
    EDITSTREAM es = {};
    es.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    es.pfnCallback = ReadMemory;
    return TimeMs([&] { SendMessageW(control, EM_STREAMIN, SF_RTF, (LPARAM)&es); });
}

// The generator's own walk over the list, without a control: its time and the most memory it
// took beyond what the process had before.
void GeneratorAlone(CPrintForm* form, double* ms, size_t* peak)
{
    ReportOptions options = form->MakeReportOptions();
    AbbrevPairList pairs = {};
    size_t before = PrivateBytes();
    *peak = 0;
    *ms = TimeMs([&] {
        ReportLines lines(options, form->Recordset, &pairs);
        RtfReportFormat format;
        format.FaceName = form->ReportFont.lfFaceName;
        int capacity = 256;
        char* buffer = static_cast<char*>(malloc((size_t)capacity));
        RtfReport rtf(&lines, format, &buffer, &capacity);
        char piece[4096];
        for (int calls = 0; rtf.GenerateReport(piece, 4096) > 0; calls++) {
            if (calls % 256 == 0) {
                size_t now = PrivateBytes();
                if (now > before && now - before > *peak)
                    *peak = now - before;
            }
        }
        free(buffer);
    });
    FreeAbbreviations(&pairs);
}

void Line(const char* what, double ms, const char* baseline, double baselineMs, double target, bool ratio,
          bool* pass)
{
    double measure = ratio ? (baselineMs > 0 ? ms / baselineMs : 0) : ms;
    bool ok = target <= 0 || (measure > 0 && measure < target);
    printf("%-44s %9.1f ms   %s %9.1f ms", what, ms, baseline, baselineMs);
    if (ratio)
        printf("   ratio %.2f (target < %.1f) %s", measure, target, ok ? "PASS" : "FAIL");
    else if (target > 0)
        printf("   (target < %.0f ms) %s", target, ok ? "PASS" : "FAIL");
    printf("\n");
    fflush(stdout);
    *pass = *pass && ok;
}

// Opens (or refills) the report of a tab's list and waits for it.
void OpenReport(HWND wnd, Workspace* ws, int tab)
{
    ShowTab(ws, wnd, tab);
    SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(IDM_PRINT, 0), 0);
    WaitReady(ws->ReportForm);
}

void StreamCase(const char* name, CPrintForm* form, int runs, bool* pass)
{
    double alone = 0;
    size_t peak = 0;
    GeneratorAlone(form, &alone, &peak);
    printf("%-44s %9.1f ms   memory beyond the start: %.1f MB\n", (std::string("  generator alone, ") + name).c_str(),
           alone, peak / 1048576.0);
    fflush(stdout);
    std::vector<double> report, memory;
    std::string document;
    for (int r = 0; r < runs; r++) {
        report.push_back(ReportMs(form));
        if (document.empty())
            document = SavedDocument(form);
        memory.push_back(MemoryStreamMs(form, document));
    }
    char what[96];
    snprintf(what, sizeof what, "%s: report (%zu KB)", name, document.size() / 1024);
    Line(what, Median(report), "same bytes from memory", Median(memory), kStreamRatioTarget, true, pass);
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

}  // namespace

int main()
{
    int runs = 3;
    std::wstring path;
    if (int code = ReadBenchArgs({{L"--runs", &runs, 1}}, PathWords::Last, stdout,
                                 "Usage: print_bench <database path> [-n <records>] [--runs <count>]\n", &path))
        return code;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), 0x500D};
    InitCommonControlsEx(&icc);
    RegisterPlexaW(PLEXA_ALLCLASSES);
    SetMsgBoxHook(CountBox);
    SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"10");

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
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring workspace = std::wstring(temp) + L"zorna_print_bench.xml";
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
    CPrintForm* form = ws->ReportForm;
    bool pass = true;

    // ---- the report: generator and stream beside the same bytes from memory ----
    SendMessageW(wnd, ZM_GOTO_TREE_ITEM, ZM_CARD_SYS, taxon);
    OpenReport(wnd, ws, TAB_SYSTEM);
    char name[64];
    snprintf(name, sizeof name, "taxon list, %lld rows", taxonRecords);
    StreamCase(name, form, runs, &pass);

    static std::wstring where;
    double userWait = 0;
    for (long rows : {10000L, 100000L}) {
        where = L"T1.ID IN (SELECT ID FROM ZORNACOLLS ORDER BY ID LIMIT " + std::to_wstring(rows) + L")";
        ws->RunSearch(wnd, where.c_str(), 1);
        OpenReport(wnd, ws, TAB_SEARCH);
        snprintf(name, sizeof name, "search list, %ld rows", rows);
        StreamCase(name, form, rows > 10000 ? 1 : runs, &pass);
        if (rows == 100000)
            userWait = ReportMs(form);
    }
    printf("%-44s %9.1f ms\n", "wait the user sees for 100,000 rows", userWait);

    // ---- the paginator on the 10,000-row report ----
    where = L"T1.ID IN (SELECT ID FROM ZORNACOLLS ORDER BY ID LIMIT 10000)";
    ws->RunSearch(wnd, where.c_str(), 1);
    OpenReport(wnd, ws, TAB_SEARCH);
    bool printer = IsPrinterInstalled() && PreparePageSetup(form->GetPageSetup());
    HDC dc = printer ? CreatePageSetupDC(form->GetPageSetup()) : nullptr;
    if (!dc) {
        printf("no printer: the paginator is measured on the screen\n");
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
    snprintf(name, sizeof name, "paginator, 10,000 rows: %d pages", pages);
    Line(name, Median(layout), "lines alone", Median(lines), kPaginateTargetMs, false, &pass);

    // ---- a 3-page report printed ----
    if (printer) {
        long rows = 150;
        for (int attempt = 0; attempt < 8; attempt++) {
            where = L"T1.ID IN (SELECT ID FROM ZORNACOLLS ORDER BY ID LIMIT " + std::to_wstring(rows) + L")";
            ws->RunSearch(wnd, where.c_str(), 1);
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
            for (wchar_t& c : windows)
                if (c == L'/')
                    c = L'\\';
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
        printf("%-44s %9.1f ms   until the PDF is written %9.1f ms (%d rows)\n", "3-page report spooled",
               spooled, written, (int)rows);
        if (!pdf.empty())
            DeleteFileW(pdf.c_str());
    } else {
        printf("no printer: printing is not measured\n");
    }
    if (printer)
        DeleteDC(dc);
    else
        ReleaseDC(nullptr, dc);

    DestroyWindow(wnd);
    Pump();
    delete mainForm;
    DeleteFileW(workspace.c_str());
    CoUninitialize();
    printf(pass ? "all targets met\n" : "some targets missed\n");
    return pass ? 0 : 3;
}
