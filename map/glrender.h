// Drawing a map card's legend with OpenGL 1.1 and the GLU tessellator into the current
// rendering context: the map view's window (double-buffered), and the memory bitmaps of
// printing and the picture export (GlBitmap).
//
// Every checked legend item is drawn from the last to the first, so the top of the legend lies
// on top. Shapefile shapes are read once, thinned to the view's resolution and, for polygons,
// tessellated once into a display list per shape; a later drawing replays them until the item is
// marked for rebuilding. Shapes outside the visible rectangle wait until they come into view.
// Stencil work is kept to each shape's or symbol's box.
#pragma once
#include <windows.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <vector>

#include "map/griddef.h"
#include "map/legend.h"

struct MapRenderContext
{
    HDC Dc;             // its buffers are swapped at the end when asked
    HWND MainWindow;    // receives ZM_SET_RECORD_FILTER and ZM_GET_RECORD_POINTS
    HWND Legend;        // the legend list view (check boxes; lParam the LegendItem)
    HWND GridCombo;     // item data: GridDef, or 0 for the empty entry
    int GridLevel;      // 0 no grid shown, 1 coarse, 2 fine
    int Display;        // which record list the map shows (ZmPointList)
    double UnitsPerPixel;
    double CentreLat;   // y is drawn as CentreLat + (y - CentreLat) / YFactor
    double YFactor;
    double PixelsPerMmX;
    double PixelsPerMmY;
    double Left, Right, Bottom, Top;  // visible rectangle in map units (y scaled)
    double Diagonal;    // of the visible rectangle, in map units
    const wchar_t* MapFolder;
};

// Draws the legend into the current context (the viewport set by the caller), swaps the DC's
// buffers when swap is set, and gives the record lists their own filter back.
void RenderLegendGl(const MapRenderContext* ctx, int swap);

// Loads or rebuilds one item's geometry and draws it.
void RenderLegendItemGl(LegendItem* item, GLUtesselator* tess, const MapRenderContext* ctx);
// Draws one shape by the item's style: a point layer's symbols, an area's hatching; a line or
// area shape in view is built and added to shown, whose fills and outlines the item then draws
// together.
void DrawLayerGl(LegendItem* item, GLUtesselator* tess, LayerShape* entry, const MapRenderContext* ctx,
                 std::vector<LayerShape*>* shown);
// One symbol of the style at a point (view units), with the cell size and cell of a shown grid
// (0 and null without one), as k records on that spot: the fill as dark as k blends.
void DrawPointSymbolGl(const LegendStyle* style, double x, double y, const MapRenderContext* ctx, double cellSize,
                       const double* cell, int k = 1);
void DrawGridLayerGl(LegendItem* item, const MapRenderContext* ctx, int fine);

// The grid of the combo's selection, null when there is none.
const GridDef* SelectedGrid(HWND gridCombo);

// Deletes an item's display lists in the current context and forgets them.
void DeleteItemLists(LegendItem* item);

// The grid lines and symbol outlines have limits: above them a layer draws nothing.
const long long kMaxGridLines = 100000;
const long long kMaxGridVertices = 4000000;

// The lines of the combo's grid at a level (fine or coarse): its steps and the number of steps
// each way. False when no grid is chosen, a step is 0 or the lines pass the limits.
struct GridLines
{
    const GridDef* Grid;
    double Sx, Sy;
    long long Nx, Ny;
};
bool GridLinesOf(HWND gridCombo, int fine, GridLines* lines);

// Around a drawing into another rendering context (printing, the picture export): every item's
// display lists belong to the view's context, so they are put aside while the other context
// makes its own, and given back afterwards. The runs are made for the drawing and again for the
// view afterwards; the records the view fetched are drawn as they are (fetched once for both),
// and what the view was still to fetch or rebuild stays marked. Construct it before the drawing
// and call End (or let it go out of scope) while the other context is still current, so that
// its lists are deleted there.
class OffscreenLayers
{
public:
    explicit OffscreenLayers(HWND legend);
    ~OffscreenLayers();
    OffscreenLayers(const OffscreenLayers&) = delete;
    OffscreenLayers& operator=(const OffscreenLayers&) = delete;
    void End();

private:
    HWND legend_;
    struct Saved;
    Saved* saved_;
    int count_;
};
