// Shared by the map benchmarks: a map card's view hosted as the program hosts it, whose main
// window hands out the records of a database's lists, and the legend rows of its layers.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "shellcontract/zm_protocol.h"
#include "map/griddef.h"
#include "map/legend.h"
#include "map/mapwnd.h"
#include "tools/samplemap/samplemap.h"
#include "resources/zorna/resource.h"

// The database whose record lists the map shows (none: no records).
inline CDatabase* g_mapBenchDb = nullptr;

inline LegendItem* MapBenchLayer(const std::wstring& folder, const wchar_t* file)
{
    return NewShapeLegendItem(folder.c_str(), file, nullptr, 16, 16, nullptr);
}

// The main window of the map: the records of the search list, through the database object.
inline LRESULT CALLBACK MapBenchMainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == ZM_DB_OPENED) {
        g_dbOpened = true;
        return 0;
    }
    if (msg == ZM_SET_RECORD_FILTER) {
        if (g_mapBenchDb)
            g_mapBenchDb->SetRecordListFilter(LOWORD(wParam), (const wchar_t*)lParam);
        return 0;
    }
    if (msg == ZM_GET_RECORD_POINTS) {
        ZmPointBlock* block = (ZmPointBlock*)lParam;
        double* points[2] = {nullptr, nullptr};
        int n = g_mapBenchDb ? g_mapBenchDb->GetRecordCoordinates(LOWORD(wParam), HIWORD(wParam), points) : 0;
        block->X = points[0];
        block->Y = points[1];
        return n;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

struct MapBenchHost
{
    HWND Main = nullptr, Tab = nullptr, Card = nullptr, Legend = nullptr, Grids = nullptr, Scale = nullptr;
    CZMapWnd* Map = nullptr;
    int ViewWidth, ViewHeight;
    GridDef Kfme;  // the fine KFME grid, selected in the grid combo

    MapBenchHost(int viewWidth, int viewHeight) : ViewWidth(viewWidth), ViewHeight(viewHeight)
    {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        Main = CreateDbWindow(L"ZorMapBenchMain", WS_POPUP | WS_VISIBLE, ViewWidth + 184, ViewHeight + 4, nullptr,
                              MapBenchMainProc);
        Tab = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, ViewWidth + 184,
                              ViewHeight + 4, Main, nullptr, instance, nullptr);
        Card = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, ViewWidth + 184,
                               ViewHeight + 4, Tab, nullptr, instance, nullptr);
        Scale = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 4, 4, 172, 20, Card,
                                (HMENU)(INT_PTR)IDC_MAPCARD_SCALE, instance, nullptr);
        Grids = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 4, 28, 172, 200, Card,
                                (HMENU)(INT_PTR)IDC_MAPCARD_GRIDS, instance, nullptr);
        Legend = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER, 4, 56,
                                 172, 400, Card, (HMENU)(INT_PTR)IDC_MAPCARD_LEGEND, instance, nullptr);
        SendMessageW(Legend, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
        LVCOLUMNW column = {};
        column.mask = LVCF_WIDTH;
        column.cx = 160;
        SendMessageW(Legend, LVM_INSERTCOLUMNW, 0, (LPARAM)&column);
        Map = new CZMapWnd(Tab, instance, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        Map->CreateView(Card);
        MoveWindow(Map->View, 180, 0, ViewWidth + 4, ViewHeight + 4, TRUE);
        Pump();
    }
    ~MapBenchHost()
    {
        Map->DeleteLayerLists();
        const int count = (int)SendMessageW(Legend, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < count; ++i)
            FreeLegendItem(LegendItemAt(Legend, i));
        SendMessageW(Legend, LVM_DELETEALLITEMS, 0, 0);
        delete Map;
        DestroyWindow(Main);
    }
    void Add(LegendItem* item, bool checked)
    {
        LVITEMW lv = {};
        lv.mask = LVIF_TEXT | LVIF_PARAM;
        lv.iItem = (int)SendMessageW(Legend, LVM_GETITEMCOUNT, 0, 0);
        lv.pszText = item->Title;
        lv.lParam = (LPARAM)item;
        int row = (int)SendMessageW(Legend, LVM_INSERTITEMW, 0, (LPARAM)&lv);
        Check(row, checked);
    }
    void Check(int row, bool checked)
    {
        LVITEMW lv = {};
        lv.stateMask = LVIS_STATEIMAGEMASK;
        lv.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
        SendMessageW(Legend, LVM_SETITEMSTATE, row, (LPARAM)&lv);
    }
    // The sample and benchmark layers of the folder under the records (unchecked) and the fine
    // KFME grid, the map fitted to their extent in the proportional system; the records' item.
    LegendItem* AddSampleLayers(const std::wstring& folder)
    {
        zor::MakeKfmeGrid(&Kfme);
        SendMessageW(Grids, CB_ADDSTRING, 0, (LPARAM)L"");
        SendMessageW(Grids, CB_ADDSTRING, 0, (LPARAM)Kfme.Name);
        SendMessageW(Grids, CB_SETITEMDATA, 1, (LPARAM)&Kfme);
        SendMessageW(Grids, CB_SETCURSEL, 1, 0);
        wcscpy(Map->MapPath, folder.c_str());
        LegendItem* records = NewInfoLegendItem(L"Zápisy", nullptr, INFO_RECORDS, 16, 16, nullptr);
        LegendItem* fine = NewInfoLegendItem(L"Jemná síť", nullptr, INFO_FINE_GRID, 16, 16, nullptr);
        fine->Style.BorderColor = RGB(160, 160, 160);
        LegendItem* towns = MapBenchLayer(folder, zor::kSampleTownLayer);
        LegendItem* rivers = MapBenchLayer(folder, zor::kSampleRiverLayer);
        LegendItem* lines = MapBenchLayer(folder, zor::kSampleBenchLineLayer);
        LegendItem* polygons = MapBenchLayer(folder, zor::kSampleBenchPolygonLayer);
        polygons->Style.Fill = true;
        polygons->Style.FillColor = RGB(190, 220, 170);
        LegendItem* regions = MapBenchLayer(folder, zor::kSampleRegionLayer);
        regions->Style.Fill = true;
        regions->Style.FillColor = RGB(250, 245, 225);
        LegendItem* border = MapBenchLayer(folder, zor::kSampleBorderLayer);
        Add(records, false);
        Add(fine, true);
        for (LegendItem* item : {towns, rivers, lines, polygons, regions, border})
            Add(item, true);
        LegendItem* shapeLayers[] = {towns, rivers, lines, polygons, regions, border};
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        ShapeLayersExtent(shapeLayers, 6, &x0, &y0, &x1, &y1);
        Map->CoordSys = 1;
        Map->SetExtent(x0, y0, x1, y1);
        Map->ZoomToExtent();
        return records;
    }
    int Count() const { return (int)SendMessageW(Legend, LVM_GETITEMCOUNT, 0, 0); }
    // One paint of the view, until it is on the window.
    double Paint()
    {
        InvalidateRect(Map->View, nullptr, FALSE);
        double t = NowMs();
        UpdateWindow(Map->View);
        GdiFlush();
        return NowMs() - t;
    }
    double MedianPaint(int runs)
    {
        std::vector<double> v;
        for (int i = 0; i < runs; ++i)
            v.push_back(Paint());
        return Median(v);
    }
};

