// The legend of a map card: its rows, their order, the grid combo, and the legend built from a
// folder of shapefiles.
#include "map/maplegend.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "common/filechooser.h"
#include "core/containers.h"
#include "core/ctlfill.h"
#include "core/msgboxtext.h"
#include "core/textutil.h"
#include "map/griddef.h"
#include "map/legend.h"
#include "map/mapwnd.h"
#include "map/querylayer.h"
#include "resources/zorna/resource.h"
#include "shapefile/dbfcheck.h"

// ---- plain rules

std::vector<int> LegendOrdersAfterMove(int count, int from, int to)
{
    if (from < 0 || to < 0 || from >= count || to >= count || from == to)
        return {};
    std::vector<int> orders(count);
    for (int i = 0; i < count; ++i)
        orders[i] = i;
    if (to < from) {
        for (int i = to; i < from; ++i)
            orders[i] = i + 1;  // moving up: the rows passed go down one
    } else {
        for (int i = from + 1; i <= to; ++i)
            orders[i] = i - 1;  // moving down: the rows passed go up one
    }
    orders[from] = to;
    return orders;
}

int CALLBACK CompareLegendOrder(LPARAM a, LPARAM b, LPARAM)
{
    const LegendItem* x = (const LegendItem*)a;
    const LegendItem* y = (const LegendItem*)b;
    const int ox = x ? x->Order : 0, oy = y ? y->Order : 0;
    return ox < oy ? -1 : (ox > oy ? 1 : 0);
}

std::vector<std::wstring> ShapeFilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    if (folder.empty())
        return files;
    std::wstring pattern = folder;
    if (pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L"*.shp";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        // The short-name match also finds "a.shpx": only ".shp" itself counts.
        const wchar_t* dot = wcsrchr(found.cFileName, L'.');
        if (dot && _wcsicmp(dot, L".shp") == 0 && wcslen(found.cFileName) < LEGEND_TEXT_SIZE)
            files.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
}

int GridAfterRefill(int found, bool hadSelection, int gridCount, int current)
{
    if (found >= 0)
        return found;
    if (hadSelection)
        return current;  // the grid went: the index stays
    if (gridCount > 0)
        return 0;        // the empty entry
    return current;
}

// ---- the legend's rows

void CZMapWnd::FreeLegend()
{
    HWND legend = LegendList();
    if (!legend)
        return;
    // The display lists belong to the view's context, which is made current for them.
    DeleteLayerLists();
    const int count = (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        LegendItem* item = LegendItemAt(legend, i);
        if (!item)
            continue;
        FreeQueryCriterion(item->Query);
        item->Query = nullptr;
        FreeLegendItem(item);
    }
    SendMessageW(legend, LVM_DELETEALLITEMS, 0, 0);
}

void CZMapWnd::RenumberLegend()
{
    HWND legend = LegendList();
    const int count = (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; ++i)
        if (LegendItem* item = LegendItemAt(legend, i))
            item->Order = i;
}

int CZMapWnd::InsertLegendRow(LegendItem* item, int index, bool checked)
{
    HWND legend = LegendList();
    if (!item || !legend)
        return -1;
    LVITEMW lv = {};
    lv.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
    lv.iItem = index;
    lv.pszText = item->Title;
    lv.iImage = item->ImageIndex >= 0 ? item->ImageIndex : I_IMAGENONE;
    lv.lParam = (LPARAM)item;
    const int row = (int)SendMessageW(legend, LVM_INSERTITEMW, 0, (LPARAM)&lv);
    if (row < 0)
        return -1;
    LVITEMW state = {};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(legend, LVM_SETITEMSTATE, row, (LPARAM)&state);
    return row;
}

bool CZMapWnd::MoveLegendRow(int from, int to)
{
    HWND legend = LegendList();
    const int count = (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0);
    std::vector<int> orders = LegendOrdersAfterMove(count, from, to);
    if (orders.empty())
        return false;
    for (int i = 0; i < count; ++i)
        if (LegendItem* item = LegendItemAt(legend, i))
            item->Order = orders[i];
    SendMessageW(legend, LVM_SORTITEMS, 0, (LPARAM)CompareLegendOrder);
    RenumberLegend();
    InvalidateRect(View, nullptr, FALSE);
    return true;
}

// ---- the grid combo

void CZMapWnd::SetGridList(CPtrArray* gridList)
{
    HWND combo = GridCombo();
    if (!combo)
        return;
    const int old = (int)SendMessageW(combo, CB_GETCURSEL, 0, 0);
    const std::wstring remembered = old >= 0 ? GetComboEntryString(combo, old) : std::wstring();
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    int row = (int)SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)L"");
    SendMessageW(combo, CB_SETITEMDATA, row, 0);
    const int grids = gridList ? gridList->GetCount() : 0;
    for (int i = 0; i < grids; ++i) {
        GridDef* grid = (GridDef*)gridList->GetItems()[i];
        if (!grid)
            continue;
        row = (int)SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)grid->Name);
        if (row >= 0)
            SendMessageW(combo, CB_SETITEMDATA, row, (LPARAM)grid);
    }
    const int found = (int)SendMessageW(combo, CB_FINDSTRING, (WPARAM)-1, (LPARAM)remembered.c_str());
    Grid = GridAfterRefill(found, old >= 0, grids, Grid);
    SendMessageW(combo, CB_SETCURSEL, Grid, 0);
    if (View)
        InvalidateRect(View, nullptr, FALSE);
}

// ---- the map folder

int CZMapWnd::BrowseShapeFolder(HWND owner)
{
    wchar_t* title = LoadStringAlloc(Instance, IDS_BROWSE_SHAPEFILE);
    std::wstring folder = MapPath;
    const bool chosen = ChooseFolder(owner, title ? title : L"", &folder);
    free(title);
    if (!chosen || folder.empty() || folder.size() >= MAX_PATH)
        return 0;
    // Only a folder of shapefiles makes a map; any other choice leaves the map as it was.
    if (ShapeFilesIn(folder).empty())
        return 0;
    CopyWideBounded(folder.c_str(), MapPath, MAX_PATH);
    LoadShapeFolder();
    NoteDamagedTables(owner);
    return 1;
}

void CZMapWnd::NoteDamagedTables(HWND owner)
{
    HWND legend = LegendList();
    const int count = (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0);
    std::wstring damaged;
    int tables = 0;
    for (int i = 0; i < count; ++i) {
        const LegendItem* item = LegendItemAt(legend, i);
        if (!IsShapeLayer(item) || !item->FileOpened)
            continue;
        const std::wstring path = std::wstring(MapPath) + L"\\" + item->MapFile;
        if (CheckDbfFile(path.c_str(), item->ShapeCount) != DBF_DAMAGED)
            continue;
        std::wstring table = item->MapFile;
        table.replace(table.size() - 4, 4, L".dbf");
        damaged += (damaged.empty() ? L"" : L", ") + table;
        ++tables;
    }
    if (tables == 0)
        return;
    ZorMessageBoxResText(owner, Instance, tables == 1 ? IDS_MAP_DBF_DAMAGED_ONE : IDS_MAP_DBF_DAMAGED, IDS_WARNING_CAPTION, MB_OK | MB_ICONWARNING,
                         {damaged.c_str()});
}

namespace {

// The information layers of kind 0 to 3 (records, records citing literature, grid, fine grid).
LegendItem* NewInfoLayer(CZMapWnd* map, int kind, HDC dc)
{
    wchar_t title[LEGEND_TEXT_SIZE] = L"";
    LoadStringW(map->Instance, IDS_LAYER_FIRST + kind, title, LEGEND_TEXT_SIZE);
    return NewInfoLegendItem(title, map->Images, kind, 16, 16, dc);
}

// The extent of the legend's shapefiles that opened with shapes; none: the map has no extent.
void ExtentFromLegend(CZMapWnd* map)
{
    HWND legend = map->LegendList();
    const int count = (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0);
    std::vector<LegendItem*> items;
    for (int i = 0; i < count; ++i)
        items.push_back(LegendItemAt(legend, i));
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (!items.empty() && ShapeLayersExtent(items.data(), (int)items.size(), &x0, &y0, &x1, &y1))
        map->SetExtent(x0, y0, x1, y1);
    else
        map->ClearExtent();
}

}  // namespace

void CZMapWnd::LoadShapeFolder()
{
    FreeLegend();
    std::vector<std::wstring> files = ShapeFilesIn(MapPath);
    if (files.empty()) {
        ClearExtent();
        if (View)
            InvalidateRect(View, nullptr, FALSE);
        return;
    }
    HDC dc = GetDC(Card);
    int row = 0;
    for (int kind = INFO_RECORDS; kind <= INFO_FINE_GRID; ++kind)
        if (InsertLegendRow(NewInfoLayer(this, kind, dc), row, false) >= 0)
            ++row;
    // The layers of the chosen folder are shown at once; one whose file does not open stays off.
    for (const std::wstring& file : files) {
        LegendItem* item = NewShapeLegendItem(MapPath, file.c_str(), Images, 16, 16, dc);
        if (InsertLegendRow(item, row, item && item->FileOpened) >= 0)
            ++row;
    }
    ReleaseDC(Card, dc);
    RenumberLegend();
    ExtentFromLegend(this);
    ZoomToExtent();
}

void CZMapWnd::ReloadShapeFolder()
{
    std::vector<std::wstring> files = ShapeFilesIn(MapPath);
    if (files.empty())
        return;  // the legend stays as it was read
    HWND legend = LegendList();
    HDC dc = GetDC(Card);
    for (int kind = INFO_RECORDS; kind <= INFO_FINE_GRID; ++kind) {
        bool present = false;
        const int count = (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < count && !present; ++i) {
            const LegendItem* item = LegendItemAt(legend, i);
            present = IsInfoLayer(item, kind) && !item->Query;  // a query layer is no "Zápisy"
        }
        if (!present)
            InsertLegendRow(NewInfoLayer(this, kind, dc), count, false);
    }
    for (const std::wstring& file : files) {
        LegendItem* known = nullptr;
        const int count = (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < count && !known; ++i) {
            LegendItem* item = LegendItemAt(legend, i);
            if (IsShapeLayer(item) && wcscmp(item->MapFile, file.c_str()) == 0)
                known = item;
        }
        if (known)
            ReadShapeFileInfo(MapPath, file.c_str(), known);
        else
            InsertLegendRow(NewShapeLegendItem(MapPath, file.c_str(), Images, 16, 16, dc), count, false);
    }
    ReleaseDC(Card, dc);
    RenumberLegend();
    // The saved scale and corner stay; only the extent and the y factor come from the files.
    ExtentFromLegend(this);
}
