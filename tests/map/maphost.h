// A map view hosted for tests as the map card will host it: a main window that answers the
// record messages and logs them, a tab window, and a card with the legend list, the grid combo
// and the scale edit, the view laid out beside them.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "map/glbitmap.h"
#include "map/glrender.h"
#include "map/griddef.h"
#include "map/legend.h"
#include "map/mapwnd.h"
#include "shapefile/shpwriter.h"

namespace maptest {

class MapHost
{
public:
    MapHost(int viewWidth, int viewHeight);
    ~MapHost();
    MapHost(const MapHost&) = delete;
    MapHost& operator=(const MapHost&) = delete;

    // Appends (or inserts at index) a legend row for the item, which the host then owns.
    int AddItem(LegendItem* item, bool checked, int index = -1);
    void SetChecked(int index, bool checked);
    // Adds the grid to the combo (the host keeps no copy) and selects its row.
    void SelectGrid(const GridDef* grid);

    // The records the main window hands out for ZM_GET_RECORD_POINTS.
    std::vector<double> PointsX, PointsY;
    // Every record filter the map set (L"<none>" for the list's own) and every points request.
    std::vector<std::wstring> Filters;
    std::vector<WPARAM> PointRequests;

    // Draws the legend into a bitmap of the view's size with the map's current state.
    bool RenderToBitmap(GlBitmap* target, int width = 0, int height = 0);
    // Draws the legend into the view's own context and reads its back buffer (top-down rows).
    std::vector<unsigned> RenderOnScreen();
    // The pixel at (x, y) from the top of a top-down RGBA read.
    COLORREF PixelOf(const std::vector<unsigned>& rgba, int x, int y) const;

    HWND Main = nullptr;
    HWND Tab = nullptr;
    HWND Card = nullptr;
    HWND Legend = nullptr;
    HWND Grids = nullptr;
    HWND Scale = nullptr;
    CZMapWnd* Map = nullptr;
    int Width, Height;

private:
    static LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// Writes <folder>\<name>.shp and .shx; false when they cannot be written.
bool WriteLayer(const std::wstring& folder, const std::wstring& name, int type, const std::vector<shpw::Shape>& shapes);
// A shape of the type made of rings (or lines) given as x, y, x, y, ...
shpw::Shape MakeShape(int type, const std::vector<std::vector<double>>& parts);
// A legend item of a layer file in the folder, with its default style and no preview.
LegendItem* LayerItem(const std::wstring& folder, const std::wstring& name);

// The bitmap's pixels as top-down 0x00RRGGBB rows.
std::vector<unsigned> TopDown(const GlBitmap& bitmap);

// Counts the pixels of an RGBA read (or bitmap) within tolerance of a colour.
int CountNear(const std::vector<unsigned>& rgba, COLORREF colour, int tolerance);

}  // namespace maptest
