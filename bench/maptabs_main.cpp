// Map tabs:
//   1. a new map on the sample and benchmark layers (the legend: headers and previews only),
//      beside the bare header reads of the same files;
//   2. the style dialog's preview redrawn for one keystroke in a width edit, beside the preview
//      rendered alone.
//   maptabs_bench.exe [--runs <count>]
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "map/legendstyledlg.h"
#include "map/maplegend.h"
#include "map/mapwnd.h"
#include "map/stylepreview.h"
#include "resources/zorna/resource.h"
#include "tools/samplemap/samplemap.h"
#include "shapefile/shapefile.h"

namespace {

int g_runs = 9;

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return c.QuadPart * 1000.0 / f.QuadPart;
}

template <class F>
double Median(F f)
{
    std::vector<double> times;
    for (int i = 0; i < g_runs; ++i) {
        const double start = Now();
        f();
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Report(const char* what, double ms, const char* baselineWhat, double baseline, double targetMs)
{
    printf("%-44s %8.2f ms   %-34s %8.2f ms   target %s%.0f ms\n", what, ms, baselineWhat, baseline,
           ms < targetMs ? "met, under " : "MISSED, under ", targetMs);
    fflush(stdout);
}

void RemoveFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--runs")
            g_runs = std::max(1, atoi(argv[++i]));
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    HINSTANCE instance = GetModuleHandleW(nullptr);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"zor_maptabs_bench";
    RemoveFolder(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    zor::SampleMapOptions options;
    options.Benchmark = true;
    std::vector<zor::SampleLayerSummary> layers;
    std::wstring error;
    if (!zor::WriteSampleMap(folder, options, &layers, &error)) {
        fprintf(stderr, "maptabs_bench: %ls\n", error.c_str());
        return 1;
    }
    const std::vector<std::wstring> files = ShapeFilesIn(folder);
    printf("%d layers, median of %d runs\n", (int)files.size(), g_runs);

    // 1. The legend of a new map.
    RegisterMapViewClass(instance);
    HWND main = CreateWindowExW(0, L"STATIC", L"Mapa", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1000, 700, nullptr,
                                nullptr, instance, nullptr);
    HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 990, 660, main, nullptr, instance,
                               nullptr);
    CZMapWnd* map = new CZMapWnd(tab, instance, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    RECT area = {4, 24, 980, 650};
    map->Move(&area);
    ShowWindow(map->Card, SW_SHOW);
    wcscpy(map->MapPath, folder.c_str());
    const double legend = Median([&] { map->LoadShapeFolder(); });
    const double headers = Median([&] {
        for (const std::wstring& file : files) {
            SHPHandle shp = SHPOpenW((folder + L"\\" + file).c_str(), "rb");
            int count = 0, type = 0;
            double lo[4], hi[4];
            if (shp) {
                SHPGetInfo(shp, &count, &type, lo, hi);
                SHPClose(shp);
            }
        }
    });
    Report("new map legend (headers, previews)", legend, "bare header reads", headers, 150);
    delete map;

    // 2. The style dialog's preview per keystroke.
    CEditLegendStyleDlg dlg(instance);
    LegendStyle& style = dlg.Style;
    style = LegendStyle();
    style.StyleType = 1;
    style.Border = style.Fill = style.Pattern = true;
    style.BorderWidth = 0.5;
    style.FillColor = RGB(200, 60, 40);
    style.FillTransp = 40;
    style.PatternSize = 0.2;
    style.PatternWidth = 1.5;
    style.PatternRotation = 45;
    HWND dialog = CreateDialogParamW(instance, L"EDITLEGENDSTYLE", main, EditLegendStyleDlgProc, (LPARAM)&dlg);
    ShowWindow(dialog, SW_SHOW);
    int key = 0;
    const double keystroke = Median([&] {
        SetDlgItemTextW(dialog, IDC_STYLE_PATTERNWIDTH, (key++ & 1) ? L"1,5" : L"1,6");
    });
    RECT preview;
    GetClientRect(GetDlgItem(dialog, IDC_STYLE_PREVIEW), &preview);
    HDC dc = GetDC(dialog);
    const double alone = Median([&] {
        HBITMAP bitmap = RenderStylePreview(dc, preview.right, preview.bottom, &style, 1);
        DeleteObject(bitmap);
    });
    ReleaseDC(dialog, dc);
    Report("style preview per keystroke", keystroke, "preview rendered alone", alone, 30);
    DestroyWindow(dialog);
    DestroyWindow(main);
    RemoveFolder(folder);
    CoUninitialize();
    return 0;
}
