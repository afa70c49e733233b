#include "map/gdirender.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <vector>

#include "shellcontract/zm_protocol.h"
#include "map/gldraw.h"
#include "map/glrender.h"
#include "map/griddef.h"
#include "map/hatching.h"
#include "map/layershapes.h"
#include "map/mappicture.h"
#include "map/pointgroups.h"

namespace {

double ScaledY(const MapGdiContext* ctx, double y)
{
    return ctx->CentreLat + (y - ctx->CentreLat) / (ctx->YFactor != 0 ? ctx->YFactor : 1.0);
}

POINT DevicePoint(const MapGdiContext* ctx, double x, double y)
{
    return {TruncToInt32((x - ctx->Left) * ctx->XScale), TruncToInt32((ctx->Top - y) * ctx->YScale)};
}

// The brush and pen of a layer, made once and selected while it draws; the DC's objects come
// back when it ends.
class LayerTools
{
public:
    LayerTools(HDC dc, HBRUSH brush, HPEN pen) : dc_(dc), brush_(brush), pen_(pen)
    {
        oldBrush_ = SelectObject(dc, brush ? (HGDIOBJ)brush : GetStockObject(NULL_BRUSH));
        oldPen_ = SelectObject(dc, pen ? (HGDIOBJ)pen : GetStockObject(NULL_PEN));
    }
    ~LayerTools()
    {
        SelectObject(dc_, oldBrush_);
        SelectObject(dc_, oldPen_);
        if (brush_)
            DeleteObject(brush_);
        if (pen_)
            DeleteObject(pen_);
    }
    LayerTools(const LayerTools&) = delete;
    LayerTools& operator=(const LayerTools&) = delete;

private:
    HDC dc_;
    HBRUSH brush_;
    HPEN pen_;
    HGDIOBJ oldBrush_, oldPen_;
};

// A solid fill, or none (null); hatching is drawn as lines of its own.
HBRUSH MakeLayerBrush(const LegendStyle& st)
{
    return st.Fill ? CreateSolidBrush(st.FillColor) : nullptr;
}

HPEN MakePen(const MapGdiContext* ctx, COLORREF colour, double widthMm)
{
    int width = TruncToInt32(widthMm * ctx->PixelsPerMmX);
    return CreatePen(PS_SOLID, width > 0 ? width : 0, colour);
}

// What a layer's figures need beyond its brush and pen: the pen of its hatching and a pixel of
// its fill colour for the transparent fills (blended over what lies below, as on screen).
class FigureTools
{
public:
    FigureTools(const MapGdiContext* ctx, const LegendStyle& st) : st_(st)
    {
        if (st.Pattern && st.PatternWidth > 0)
            hatchPen_ = MakePen(ctx, st.PatternColor, st.PatternSize);
        spacing_ = st.PatternWidth * ctx->PixelsPerMmX;
        if (st.Fill && FillOpacity(st.FillTransp) < 1) {
            BITMAPINFO bi = {};
            bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 1, 1, 1, 32, BI_RGB};
            void* bits = nullptr;
            // A memory DC of the screen's: the target may be a metafile, which holds no bitmap.
            pixel_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
            source_ = CreateCompatibleDC(nullptr);
            if (pixel_ && bits && source_) {
                *(DWORD*)bits = (GetRValue(st.FillColor) << 16) | (GetGValue(st.FillColor) << 8) | GetBValue(st.FillColor);
                oldPixel_ = SelectObject(source_, pixel_);
            }
        }
    }
    ~FigureTools()
    {
        if (source_) {
            if (oldPixel_)
                SelectObject(source_, oldPixel_);
            DeleteDC(source_);
        }
        if (pixel_)
            DeleteObject(pixel_);
        if (hatchPen_)
            DeleteObject(hatchPen_);
    }
    FigureTools(const FigureTools&) = delete;
    FigureTools& operator=(const FigureTools&) = delete;

    const LegendStyle& Style() const { return st_; }
    bool Hatched() const { return hatchPen_ != nullptr; }
    // The box in the fill colour at the opacity (inside the clip the caller set).
    void Blend(HDC dc, const RECT& box, double opacity) const
    {
        if (!oldPixel_)
            return;
        BLENDFUNCTION f = {AC_SRC_OVER, 0, (BYTE)std::lround(std::fmin(1.0, std::fmax(0.0, opacity)) * 255), 0};
        GdiAlphaBlend(dc, box.left, box.top, box.right - box.left, box.bottom - box.top, source_, 0, 0, 1, 1, f);
    }
    // The hatching lines across the box, from (cx, cy) at whole spacings (device units).
    void Hatch(HDC dc, const RECT& box, double cx, double cy) const
    {
        std::vector<double> segments;
        // Worked out with y upwards, as the screen turns its hatching.
        HatchSegments(cx, -cy, spacing_, st_.PatternRotation, st_.PatternType > 0, box.left, -box.bottom, box.right,
                      -box.top, &segments);
        const size_t lines = segments.size() / 4;
        if (!lines)
            return;
        std::vector<POINT> points(lines * 2);
        std::vector<DWORD> counts(lines, 2);
        for (size_t i = 0; i < lines * 2; ++i)
            points[i] = {TruncToInt32(segments[2 * i]), TruncToInt32(-segments[2 * i + 1])};
        HGDIOBJ old = SelectObject(dc, hatchPen_);
        PolyPolyline(dc, points.data(), counts.data(), (DWORD)lines);
        SelectObject(dc, old);
    }

private:
    const LegendStyle& st_;
    HPEN hatchPen_ = nullptr;
    double spacing_ = 0;
    HBITMAP pixel_ = nullptr;
    HDC source_ = nullptr;
    HGDIOBJ oldPixel_ = nullptr;
};

// Draws what figure() puts on the DC (an area's rings, which only a path holds, or a symbol) as
// the screen does: the fill at the opacity, the hatching kept inside, the outline over both.
// Opaque figures without hatching are drawn in one go with the layer's brush and pen.
void DrawFigureGdi(HDC dc, const FigureTools& tools, const std::function<void()>& figure, bool pathOnly,
                   const RECT& box, double opacity, double hatchX, double hatchY, bool border)
{
    const LegendStyle& st = tools.Style();
    const bool solid = st.Fill && opacity >= 1;
    auto asPath = [&] {
        BeginPath(dc);
        figure();
        EndPath(dc);
    };
    auto clipped = [&](const std::function<void()>& inside) {
        SaveDC(dc);
        asPath();
        if (SelectClipPath(dc, RGN_AND))
            inside();
        RestoreDC(dc, -1);
    };
    if (!tools.Hatched() && (solid || !st.Fill)) {
        if (!pathOnly) {
            figure();
            return;
        }
        asPath();
        StrokeAndFillPath(dc);
        return;
    }
    if (solid) {
        if (pathOnly) {
            asPath();
            FillPath(dc);
        } else {
            HGDIOBJ old = SelectObject(dc, GetStockObject(NULL_PEN));
            figure();
            SelectObject(dc, old);
        }
    } else if (st.Fill) {
        clipped([&] { tools.Blend(dc, box, opacity); });
    }
    if (tools.Hatched())
        clipped([&] { tools.Hatch(dc, box, hatchX, hatchY); });
    if (!border)
        return;
    if (pathOnly) {
        asPath();
        StrokePath(dc);
    } else {
        HGDIOBJ old = SelectObject(dc, GetStockObject(NULL_BRUSH));
        figure();
        SelectObject(dc, old);
    }
}

// Each run as connected lines with the pen selected.
void PolylineRuns(const MapGdiContext* ctx, const LayerShape* entry, std::vector<POINT>& points)
{
    for (int r = 0; r < entry->Runs->GetCount(); ++r) {
        const double* run = (const double*)entry->Runs->GetItems()[r];
        const int n = entry->RunCounts->GetItems()[r];
        points.resize(n);
        for (int i = 0; i < n; ++i)
            points[i] = DevicePoint(ctx, run[2 * i], run[2 * i + 1]);
        if (n >= 2)
            Polyline(ctx->Dc, points.data(), n);
    }
}

// One path holding every ring of the shape as a figure, filled (and hatched) and stroked.
void DrawPolygonGdi(const MapGdiContext* ctx, const FigureTools& tools, const LayerShape* entry,
                    std::vector<POINT>& points, std::vector<int>& counts)
{
    points.clear();
    counts.clear();
    RECT box = {INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int r = 0; r < entry->Runs->GetCount(); ++r) {
        const double* run = (const double*)entry->Runs->GetItems()[r];
        const int n = entry->RunCounts->GetItems()[r];
        if (n < 1)
            continue;
        counts.push_back(n);
        for (int i = 0; i < n; ++i) {
            const POINT p = DevicePoint(ctx, run[2 * i], run[2 * i + 1]);
            points.push_back(p);
            box = {std::min(box.left, p.x), std::min(box.top, p.y), std::max(box.right, p.x + 1),
                   std::max(box.bottom, p.y + 1)};
        }
    }
    if (counts.empty())
        return;
    auto rings = [&] {
        size_t at = 0;
        for (int n : counts) {
            MoveToEx(ctx->Dc, points[at].x, points[at].y, nullptr);
            if (n > 1)
                PolylineTo(ctx->Dc, points.data() + at + 1, n - 1);
            CloseFigure(ctx->Dc);
            at += n;
        }
    };
    const LegendStyle& st = tools.Style();
    DrawFigureGdi(ctx->Dc, tools, rings, true, box, FillOpacity(st.FillTransp), 0, 0, st.Border);
}

void DrawPointSymbolGdi(const FigureTools& tools, double x, double y, const MapGdiContext* ctx, double cellSize,
                        const double* cell, int k, bool border)
{
    const LegendStyle& st = tools.Style();
    double hx = ctx->PixelsPerMmX * ctx->UnitsPerPixel * st.SymbSize / 2;
    double hy = st.SymbSize * ctx->UnitsPerPixel * ctx->PixelsPerMmY / 2;
    if (cellSize > 1e-7)
        hx = hy = cellSize / 1.6;
    RECT box;
    std::function<void()> figure;
    POINT corners[10];
    if (st.FullCell && cell) {
        const int left = TruncToInt32((cell[0] - ctx->Left) * ctx->XScale);
        const int top = TruncToInt32((ctx->Top - cell[3]) * ctx->YScale);
        const int w = TruncToInt32((cell[2] - cell[0] + 0.01) * ctx->XScale);
        const int h = TruncToInt32((cell[3] - cell[1] + 0.01) * ctx->YScale);
        box = {left, top, left + w, top + h};
        figure = [&] { Rectangle(ctx->Dc, box.left, box.top, box.right, box.bottom); };
    } else {
        const int left = TruncToInt32((x - ctx->Left) * ctx->XScale) - TruncToInt32(hx * ctx->XScale);
        const int top = TruncToInt32((ctx->Top - y) * ctx->YScale) - TruncToInt32(hy * ctx->YScale);
        const int w = TruncToInt32((2 * hx + 0.01) * ctx->XScale), h = TruncToInt32((2 * hy + 0.01) * ctx->YScale);
        box = {left, top, left + w, top + h};
        if (st.SymbShape == SYMBOL_CIRCLE) {
            figure = [&] { Ellipse(ctx->Dc, box.left, box.top, box.right, box.bottom); };
        } else if (st.SymbShape == SYMBOL_SQUARE) {
            figure = [&] { Rectangle(ctx->Dc, box.left, box.top, box.right, box.bottom); };
        } else if (st.SymbShape == SYMBOL_STAR) {
            std::vector<double> outline;
            StarOutline(hx, hy, &outline);
            for (int i = 0; i < 10; ++i)
                corners[i] = DevicePoint(ctx, x + outline[2 * i], y + outline[2 * i + 1]);
            figure = [&] { Polygon(ctx->Dc, corners, 10); };
        } else {
            return;
        }
    }
    const POINT centre = DevicePoint(ctx, x, y);
    DrawFigureGdi(ctx->Dc, tools, figure, false, box, BlendedOpacity(FillOpacity(st.FillTransp), k), centre.x,
                  centre.y, border);
}

// The records of a point shape, one symbol per spot (GDI draws a spot's symbols alike).
void DrawPointLayerGdi(const FigureTools& tools, LayerShape* entry, const MapGdiContext* ctx, bool border)
{
    const GridDef* grid = ctx->GridLevel >= 1 ? SelectedGrid(ctx->GridCombo) : nullptr;
    const int fine = ctx->GridLevel == 2;
    if (!PointGroupsMatch(entry->Groups, grid, fine, ctx->CentreLat, ctx->YFactor)) {
        FreePointGroups(entry->Groups);
        entry->Groups = GroupPoints(entry->Runs, entry->RunCounts, grid, fine, ctx->CentreLat, ctx->YFactor);
    }
    const PointGroups* g = entry->Groups;
    for (int i = 0; g && i < g->Count; ++i)
        DrawPointSymbolGdi(tools, g->X[i], g->Y[i], ctx, g->CellSize, g->Cell ? g->Cell + 4 * (size_t)i : nullptr, g->K[i],
                           border);
}

void DrawGridLayerGdi(const LegendItem* item, const MapGdiContext* ctx, int fine)
{
    GridLines lines;
    if (!item || !GridLinesOf(ctx->GridCombo, fine, &lines))
        return;
    const GridDef* grid = lines.Grid;
    const double sx = lines.Sx, sy = lines.Sy;
    const long long nx = lines.Nx, ny = lines.Ny;
    std::vector<POINT> line;
    auto drawLines = [&](COLORREF colour, double widthMm) {
        HPEN pen = MakePen(ctx, colour, widthMm);
        HGDIOBJ old = SelectObject(ctx->Dc, pen);
        for (long long i = 0; i <= nx; ++i) {
            line.clear();
            for (long long j = 0; j <= ny; ++j)
                line.push_back(DevicePoint(ctx, grid->LonMin + i * sx, ScaledY(ctx, grid->LatMin + j * sy)));
            Polyline(ctx->Dc, line.data(), (int)line.size());
        }
        for (long long i = 0; i <= ny; ++i) {
            line.clear();
            for (long long j = 0; j <= nx; ++j)
                line.push_back(DevicePoint(ctx, grid->LonMin + j * sx, ScaledY(ctx, grid->LatMin + i * sy)));
            Polyline(ctx->Dc, line.data(), (int)line.size());
        }
        SelectObject(ctx->Dc, old);
        DeleteObject(pen);
    };
    if (item->Style.Border)
        drawLines(item->Style.BorderColor, item->Style.BorderWidth);
    if (item->Style.Fill)
        drawLines(item->Style.FillColor, item->Style.SymbSize);
}

void RenderLegendItemGdi(LegendItem* item, const MapGdiContext* ctx)
{
    if (!EnsureItemShapes(item, ctx->MainWindow, ctx->Display, ctx->MapFolder)) {
        if (IsGridItem(item))
            DrawGridLayerGdi(item, ctx, item->InfoType == INFO_FINE_GRID);
        if (item)
            item->Rebuild = false;
        return;
    }
    const LegendStyle& st = item->Style;
    std::vector<LayerShape*> shapes;
    for (int i = 0; i < item->Shapes->GetCount(); ++i) {
        LayerShape* entry = (LayerShape*)item->Shapes->GetItems()[i];
        if (!entry || !entry->Shape || entry->Shape->nVertices <= 0)
            continue;  // a record the file could not give, or a null shape
        if (item->Rebuild || !entry->Built) {
            BuildShapeRuns(entry, ctx->UnitsPerPixel, ctx->CentreLat, ctx->YFactor, st.StyleType == STYLE_AREA);
            FreePointGroups(entry->Groups);
            entry->Groups = nullptr;
        }
        shapes.push_back(entry);
    }
    std::vector<POINT> points;
    if (st.StyleType == STYLE_AREA) {
        LayerTools tools(ctx->Dc, MakeLayerBrush(st), st.Border ? MakePen(ctx, st.BorderColor, st.BorderWidth) : nullptr);
        FigureTools figures(ctx, st);
        std::vector<int> counts;
        for (LayerShape* entry : shapes)
            DrawPolygonGdi(ctx, figures, entry, points, counts);
    } else if (st.StyleType == STYLE_LINE) {
        if (st.Border) {
            LayerTools tools(ctx->Dc, nullptr, MakePen(ctx, st.BorderColor, st.BorderWidth));
            for (LayerShape* entry : shapes)
                PolylineRuns(ctx, entry, points);
        }
        if (st.Fill) {
            LayerTools tools(ctx->Dc, nullptr, MakePen(ctx, st.FillColor, st.SymbSize));
            for (LayerShape* entry : shapes)
                PolylineRuns(ctx, entry, points);
        }
    } else if (st.StyleType == STYLE_SYMBOL) {
        const bool wholeCell = st.FullCell && ctx->GridLevel >= 1 && SelectedGrid(ctx->GridCombo);
        const bool border = st.Border && !wholeCell;
        LayerTools tools(ctx->Dc, MakeLayerBrush(st), border ? MakePen(ctx, st.BorderColor, st.BorderWidth) : nullptr);
        FigureTools figures(ctx, st);
        for (LayerShape* entry : shapes)
            DrawPointLayerGdi(figures, entry, ctx, border);
    }
    item->Rebuild = false;
}

}  // namespace

void RenderLegendGdi(const MapGdiContext* ctx)
{
    if (!ctx)
        return;
    const int count = (int)SendMessageW(ctx->Legend, LVM_GETITEMCOUNT, 0, 0);
    for (int i = count - 1; i >= 0; --i) {
        if (LegendItemChecked(ctx->Legend, i))
            RenderLegendItemGdi(LegendItemAt(ctx->Legend, i), ctx);
    }
    SendMessageW(ctx->MainWindow, ZM_SET_RECORD_FILTER, MAKEWPARAM(ctx->Display, 0), 0);
}
