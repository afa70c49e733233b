#include "map/gdirender.h"

#include <cmath>
#include <vector>

#include "shellcontract/zm_protocol.h"
#include "map/glrender.h"
#include "map/griddef.h"
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

// Hatching in the fill colour, else a solid fill, else none (null).
HBRUSH MakeLayerBrush(const LegendStyle& st)
{
    if (st.Pattern)
        return CreateHatchBrush(HatchStyleOf(&st), st.FillColor);
    return st.Fill ? CreateSolidBrush(st.FillColor) : nullptr;
}

HPEN MakePen(const MapGdiContext* ctx, COLORREF colour, double widthMm)
{
    int width = TruncToInt32(widthMm * ctx->PixelsPerMmX);
    return CreatePen(PS_SOLID, width > 0 ? width : 0, colour);
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

// One path holding every ring of the shape as a figure, stroked and filled.
void DrawPolygonGdi(const MapGdiContext* ctx, const LayerShape* entry, std::vector<POINT>& points)
{
    BeginPath(ctx->Dc);
    for (int r = 0; r < entry->Runs->GetCount(); ++r) {
        const double* run = (const double*)entry->Runs->GetItems()[r];
        const int n = entry->RunCounts->GetItems()[r];
        if (n < 1)
            continue;
        points.resize(n);
        for (int i = 0; i < n; ++i)
            points[i] = DevicePoint(ctx, run[2 * i], run[2 * i + 1]);
        MoveToEx(ctx->Dc, points[0].x, points[0].y, nullptr);
        if (n > 1)
            PolylineTo(ctx->Dc, points.data() + 1, n - 1);
        CloseFigure(ctx->Dc);
    }
    EndPath(ctx->Dc);
    StrokeAndFillPath(ctx->Dc);
}

void DrawPointSymbolGdi(const LegendStyle& st, double x, double y, const MapGdiContext* ctx, double cellSize,
                        const double* cell)
{
    double hx = ctx->PixelsPerMmX * ctx->UnitsPerPixel * st.SymbSize / 2;
    double hy = st.SymbSize * ctx->UnitsPerPixel * ctx->PixelsPerMmY / 2;
    if (cellSize > 1e-7)
        hx = hy = cellSize / 1.6;
    if (st.FullCell && cell) {
        const int left = TruncToInt32((cell[0] - ctx->Left) * ctx->XScale);
        const int top = TruncToInt32((ctx->Top - cell[3]) * ctx->YScale);
        const int w = TruncToInt32((cell[2] - cell[0] + 0.01) * ctx->XScale);
        const int h = TruncToInt32((cell[3] - cell[1] + 0.01) * ctx->YScale);
        Rectangle(ctx->Dc, left, top, left + w, top + h);
        return;
    }
    const int left = TruncToInt32((x - ctx->Left) * ctx->XScale) - TruncToInt32(hx * ctx->XScale);
    const int top = TruncToInt32((ctx->Top - y) * ctx->YScale) - TruncToInt32(hy * ctx->YScale);
    const int w = TruncToInt32((2 * hx + 0.01) * ctx->XScale), h = TruncToInt32((2 * hy + 0.01) * ctx->YScale);
    if (st.SymbShape == SYMBOL_CIRCLE)
        Ellipse(ctx->Dc, left, top, left + w, top + h);
    else if (st.SymbShape == SYMBOL_SQUARE)
        Rectangle(ctx->Dc, left, top, left + w, top + h);
}

// The records of a point shape, one symbol per spot (GDI draws a spot's symbols alike).
void DrawPointLayerGdi(const LegendStyle& st, LayerShape* entry, const MapGdiContext* ctx)
{
    const GridDef* grid = ctx->GridLevel >= 1 ? SelectedGrid(ctx->GridCombo) : nullptr;
    const int fine = ctx->GridLevel == 2;
    if (!PointGroupsMatch(entry->Groups, grid, fine, ctx->CentreLat, ctx->YFactor)) {
        FreePointGroups(entry->Groups);
        entry->Groups = GroupPoints(entry->Runs, entry->RunCounts, grid, fine, ctx->CentreLat, ctx->YFactor);
    }
    const PointGroups* g = entry->Groups;
    for (int i = 0; g && i < g->Count; ++i)
        DrawPointSymbolGdi(st, g->X[i], g->Y[i], ctx, g->CellSize, g->Cell ? g->Cell + 4 * (size_t)i : nullptr);
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
        for (LayerShape* entry : shapes)
            DrawPolygonGdi(ctx, entry, points);
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
        LayerTools tools(ctx->Dc, MakeLayerBrush(st),
                         st.Border && !wholeCell ? MakePen(ctx, st.BorderColor, st.BorderWidth) : nullptr);
        for (LayerShape* entry : shapes)
            DrawPointLayerGdi(st, entry, ctx);
    }
    item->Rebuild = false;
}

}  // namespace

int HatchStyleOf(const LegendStyle* st)
{
    const double r = st->PatternRotation;
    if (st->PatternType < 1) {
        const double a = std::fabs(std::fmod(r, 180.0));
        if (a <= 22.5)
            return HS_HORIZONTAL;
        if (a <= 67.5)
            return HS_FDIAGONAL;
        if (a <= 112.5)
            return HS_VERTICAL;
        return HS_BDIAGONAL;
    }
    return std::fabs(std::fmod(r, 45.0)) < 22.5001 ? HS_CROSS : HS_DIAGCROSS;
}

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
