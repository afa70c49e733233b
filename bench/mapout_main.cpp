// The map on paper and in files, with the sample and benchmark layers (1,500,000 vertices), the
// fine KFME grid and the 1,000,000 records of a selection as filled grid squares, at 1:1,000,000:
//   1. an A4 page at the printer's resolution through an output file (when a printer exists);
//   2. the bitmap at 300 dpi, and the refusal at 1,200 dpi;
//   3. the enhanced metafile, and 4. the Encapsulated PostScript, with their sizes.
// Baselines of the same run: the screen redraw of the map (1600 x 1200) and a raw write of the
// same number of bytes as each file.
//   mapout_bench.exe <database path> [-n <records>] [--runs <count>]
// A missing database is made with "ZorSampleDb -o <path> -n <records>" (1,000,000 by default).
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/benchmap.h"
#include "core/msgbox.h"
#include "map/mapexport.h"
#include "map/mappicture.h"
#include "common/printing.h"
#include "map/mapprint.h"
#include "tools/samplemap/samplemap.h"

namespace {

const int kViewWidth = 1600, kViewHeight = 1200;
int g_runs = 3;

void Report(const char* what, double ms, const char* baselineWhat, double baseline, const char* target, bool met)
{
    printf("%-34s %9.1f ms   %-34s %9.1f ms   target %s: %s\n", what, ms, baselineWhat, baseline, target,
           met ? "met" : "MISSED");
    fflush(stdout);
}

long long FileBytes(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return ((long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

// Writing that many bytes to a new file, as the baseline of a picture's write.
double RawWriteMs(const std::wstring& path, long long bytes)
{
    std::vector<char> block(1 << 20, 'x');
    double t = NowMs();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    for (long long left = bytes; left > 0 && h != INVALID_HANDLE_VALUE;) {
        DWORD n = (DWORD)std::min<long long>(left, (long long)block.size()), written = 0;
        WriteFile(h, block.data(), n, &written, nullptr);
        left -= n;
    }
    CloseHandle(h);
    double ms = NowMs() - t;
    DeleteFileW(path.c_str());
    return ms;
}

double PeakMb()
{
    PROCESS_MEMORY_COUNTERS pmc = {sizeof pmc};
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc.PeakWorkingSetSize / 1048576.0;
}

BOOL WINAPI DefaultPrinter(PRINTDLGW* pd)
{
    PRINTDLGW fetch = *pd;
    fetch.hDevMode = fetch.hDevNames = nullptr;
    fetch.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
    if (!PrintDlgW(&fetch))
        return FALSE;
    pd->hDevMode = fetch.hDevMode;
    pd->hDevNames = fetch.hDevNames;
    pd->hDC = fetch.hDC;
    return TRUE;
}

std::vector<std::wstring> g_boxes;
int RecordBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    g_boxes.push_back(text);
    return IDOK;
}

}  // namespace

int main()
{
    std::wstring dbPath;
    int code = ReadBenchArgs({{L"--runs", &g_runs, 3}}, PathWords::FirstOnly, stderr,
                             "usage: mapout_bench <database path> [-n <records>] [--runs <count>]\n", &dbPath);
    if (code)
        return code;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    SetMsgBoxHook(RecordBox);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"zor_mapout_bench";
    zor::SampleMapOptions options;
    options.Benchmark = true;
    std::wstring error;
    if (!zor::WriteSampleMap(folder, options, nullptr, &error)) {
        fprintf(stderr, "cannot write the map layers: %ls\n", error.c_str());
        return 1;
    }
    std::unique_ptr<MapBenchHost> hostOwner(new MapBenchHost(kViewWidth, kViewHeight));
    MapBenchHost& host = *hostOwner;
    LegendItem* records = host.AddSampleLayers(folder);
    CDatabase db(host.Main, GetModuleHandleW(nullptr));
    ConnSettings settings = {};
    if (!OpenDatabase(db, &settings, dbPath)) {
        fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    g_mapBenchDb = &db;
    host.Map->Display = 1;  // the selection
    ListQuery all = {3, 0, nullptr, 0, 0, 0, nullptr};
    db.QueryAllRecords(0, &all);
    records->Style.Fill = true;
    records->Style.FullCell = true;
    records->Style.FillColor = RGB(200, 30, 30);
    records->Rebuild = true;
    host.Check(0, true);
    host.Map->MapScale = 1e6;
    host.Map->InvalidateLayers(0);
    host.Paint();  // the records fetched and grouped once
    const double redraw = host.MedianPaint(g_runs);
    printf("%d records; map 1:1,000,000; screen redraw %dx%d %.1f ms\n\n", all.RowCount, kViewWidth, kViewHeight,
           redraw);

    // 1. Printing.
    if (IsWindow(host.Main)) {
        DWORD needed = 0, count = 0;
        EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed, &count);
        if (needed == 0) {
            printf("%-34s no printer: not measured\n", "A4 print");
        } else {
            PAGESETUPDLGW psd = {};
            psd.lStructSize = sizeof psd;
            psd.Flags = PSD_RETURNDEFAULT;
            const std::wstring ps = folder + L"\\page.ps";
            SetPrintOutputFile(ps.c_str());
            SetPrintDialog(DefaultPrinter);
            std::vector<double> v;
            int printed = 0;
            for (int r = 0; r < g_runs; ++r) {
                double t = NowMs();
                printed = host.Map->Print(host.Main, &psd);
                v.push_back(NowMs() - t);
            }
            SetPrintDialog(nullptr);
            SetPrintOutputFile(nullptr);
            printf("page printed: %s, %.1f MB of PostScript\n", printed ? "yes" : "NO", FileBytes(ps) / 1048576.0);
            Report("A4 print at the printer's dpi", Median(v), "screen redraw", redraw, "under 5 s",
                   printed && Median(v) < 5000);
            if (psd.hDevMode)
                GlobalFree(psd.hDevMode);
            if (psd.hDevNames)
                GlobalFree(psd.hDevNames);
        }
    }

    // 2.-4. The pictures.
    struct Picture {
        const char* what;
        const wchar_t* file;
        int type;
        int dpi;
        double targetMs;
        long long targetBytes;
    } pictures[] = {
        {"BMP at 300 dpi", L"mapa.bmp", MAP_PICTURE_BMP, 300, 5000, 0},
        {"EMF", L"mapa.emf", MAP_PICTURE_EMF, 0, 3000, 20LL << 20},
        {"EPS", L"mapa.eps", MAP_PICTURE_EPS, 0, 3000, 0},
    };
    for (const Picture& p : pictures) {
        const std::wstring path = folder + L"\\" + p.file;
        std::vector<double> v;
        bool written = false;
        for (int r = 0; r < g_runs; ++r) {
            double t = NowMs();
            written = ExportMapPicture(host.Map, host.Main, path.c_str(), p.type, L"Výběr", p.dpi);
            v.push_back(NowMs() - t);
        }
        const long long bytes = FileBytes(path);
        if (p.type == MAP_PICTURE_BMP) {
            MapPicture pic;
            MapPictureOf(host.Map, p.dpi, p.dpi, &pic);
            printf("%s: %d x %d px, ", p.what, (int)pic.Width, (int)pic.Height);
        }
        printf("%s %s, %.1f MB\n", p.what, written ? "written" : "NOT WRITTEN", bytes / 1048576.0);
        std::vector<double> raw;
        for (int r = 0; r < g_runs; ++r)
            raw.push_back(RawWriteMs(folder + L"\\raw.bin", bytes));
        const bool met = written && Median(v) < p.targetMs && (!p.targetBytes || bytes < p.targetBytes);
        char target[64];
        snprintf(target, sizeof target, "under %.0f s%s", p.targetMs / 1000, p.targetBytes ? ", 20 MB" : "");
        Report(p.what, Median(v), "screen redraw", redraw, target, met);
        printf("%-34s %9s      %-34s %9.1f ms\n", "", "", "raw write of the same bytes", Median(raw));
        DeleteFileW(path.c_str());
    }

    // The 1,200-dpi bitmap is refused before anything is allocated.
    {
        const std::wstring path = folder + L"\\big.bmp";
        const double before = PeakMb();
        g_boxes.clear();
        double t = NowMs();
        bool written = ExportMapPicture(host.Map, host.Main, path.c_str(), MAP_PICTURE_BMP, L"Výběr", 1200);
        double ms = NowMs() - t;
        MapPicture pic;
        MapPictureOf(host.Map, 1200, 1200, &pic);
        printf("BMP at 1200 dpi would be %.0f x %.0f px: %s in %.1f ms, peak memory %+.1f MB, file %s\n", pic.Width,
               pic.Height, written ? "WRITTEN" : "refused", ms, PeakMb() - before,
               GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ? "PRESENT" : "absent");
        if (!g_boxes.empty())
            printf("  \"%ls\"\n", g_boxes[0].c_str());
    }

    g_mapBenchDb = nullptr;
    db.Close();
    free(settings.DBName);
    hostOwner.reset();
    SHFILEOPSTRUCTW op = {};
    std::wstring from = folder + L'\0';
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
    CoUninitialize();
    return 0;
}
