#include "map/epswriter.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/longpath.h"
#include "shellcontract/zm_protocol.h"
#include "map/gldraw.h"
#include "map/glrender.h"
#include "map/epsbackdrop.h"
#include "map/hatching.h"
#include "map/pointgroups.h"
#include "map/griddef.h"
#include "map/layershapes.h"
#include "map/mappicture.h"

namespace {

// Lines are wrapped before a coordinate once they reach this many characters, which keeps them
// within the 255 that PostScript readers promise to take.
const size_t kWrapAt = 241;

// The output with its current line's length; coordinates are written in whole points. The text
// is gathered and goes to the file in large blocks through the one write that checks every byte:
// the C library's buffered writes let a full disk pass unseen (the file ended empty, "saved").
class EpsStream
{
public:
    explicit EpsStream(const MapEpsContext* ctx) : ctx_(ctx) {}

    void Put(const char* text)
    {
        const size_t n = strlen(text);
        pending_.append(text, n);
        if (pending_.size() >= kBlock)
            Flush();
        const char* nl = strrchr(text, '\n');
        column_ = nl ? strlen(nl + 1) : column_ + n;
    }
    void Flush()
    {
        if (!failed_ && !pending_.empty() && !WriteAll(ctx_->Out, pending_.data(), pending_.size()))
            failed_ = true;
        pending_.clear();
    }
    void Number(int value)
    {
        char text[16];
        snprintf(text, sizeof text, "%d", value);  // integers carry no locale
        Put(text);
    }
    // "x y op " of a map point (y scaled), wrapped first when asked and the line is long.
    void Point(double x, double y, const char* op, bool wrap)
    {
        if (wrap && column_ >= kWrapAt)
            Put("\n");
        Number(TruncToInt32((x - ctx_->Left) * ctx_->XScale));
        Put(" ");
        Number(TruncToInt32((y - ctx_->Bottom) * ctx_->YScale));
        Put(" ");
        Put(op);
        Put(" ");
    }
    void Pair(int x, int y, const char* op)
    {
        Number(x);
        Put(" ");
        Number(y);
        Put(" ");
        Put(op);
        Put(" ");
    }
    // "x0 y0 moveto x1 y1 lineto " of a segment in points, wrapped first when the line is long.
    void Segment(int x0, int y0, int x1, int y1)
    {
        if (column_ >= kWrapAt)
            Put("\n");
        Pair(x0, y0, "moveto");
        Pair(x1, y1, "lineto");
    }
    void Colour(COLORREF colour)
    {
        char text[48];
        EpsColourText(colour, text, sizeof text);
        Put(text);
        Put("\n");
    }
    void Width(double mm)
    {
        Number(TruncToInt32(mm * ctx_->PixelsPerMmX));
        Put(" setlinewidth\n");
    }
    bool Wrapped() const { return column_ >= kWrapAt; }
    bool Failed() const { return failed_; }

private:
    static const size_t kBlock = 1u << 16;
    const MapEpsContext* ctx_;
    std::string pending_;
    size_t column_ = 0;
    bool failed_ = false;
};

double ScaledY(const MapEpsContext* ctx, double y)
{
    return ctx->CentreLat + (y - ctx->CentreLat) / (ctx->YFactor != 0 ? ctx->YFactor : 1.0);
}

// The procedure "box" of the shape's runs, closed as rings or left open as lines.
void WriteRunsBox(EpsStream& out, const LayerShape* entry, bool closed)
{
    out.Put("/box {\nnewpath\n");
    for (int r = 0; r < entry->Runs->GetCount(); ++r) {
        const double* run = (const double*)entry->Runs->GetItems()[r];
        const int n = entry->RunCounts->GetItems()[r];
        if (n < 1)
            continue;
        out.Point(run[0], run[1], "moveto\n", false);
        for (int i = 1; i < n; ++i)
            out.Point(run[2 * i], run[2 * i + 1], "lineto", true);
        if (out.Wrapped())
            out.Put("\n");
        if (closed)
            out.Put("closepath\n");
    }
    out.Put("} def\n");
}

// The writer's state across the layers: the fills painted so far, kept while a transparent fill
// is still to be blended over them.
struct EpsLayers
{
    EpsBackdrop Backdrop;
    bool KeepBackdrop = false;  // a transparent fill lies above the layer being written
};

// A point of the drawing in whole points.
void EpsPoint(const MapEpsContext* ctx, double x, double y, int* px, int* py)
{
    *px = TruncToInt32((x - ctx->Left) * ctx->XScale);
    *py = TruncToInt32((y - ctx->Bottom) * ctx->YScale);
}

// The hatching lines of the style across a box of points from (cx, cy), stroked in the pattern's
// colour and width within the clip the caller set.
void WriteHatching(EpsStream& out, const LegendStyle& st, const MapEpsContext* ctx, double cx, double cy,
                   const double box[4])
{
    std::vector<double> segments;
    HatchSegments(cx, cy, st.PatternWidth * ctx->PixelsPerMmX, st.PatternRotation, st.PatternType > 0, box[0],
                  box[1], box[2], box[3], &segments);
    if (segments.empty())
        return;
    out.Put("newpath\n");
    for (size_t i = 0; i + 3 < segments.size(); i += 4)
        out.Segment(TruncToInt32(segments[i]), TruncToInt32(segments[i + 1]), TruncToInt32(segments[i + 2]),
                    TruncToInt32(segments[i + 3]));
    out.Put("\n");
    out.Width(st.PatternSize);
    out.Colour(st.PatternColor);
    out.Put("stroke\n");
}

// The box of a shape's runs (map units, y scaled).
void RunsBox(const LayerShape* entry, double box[4])
{
    box[0] = box[1] = INFINITY;
    box[2] = box[3] = -INFINITY;
    for (int r = 0; r < entry->Runs->GetCount(); ++r) {
        const double* run = (const double*)entry->Runs->GetItems()[r];
        for (int i = 0; i < entry->RunCounts->GetItems()[r]; ++i) {
            box[0] = std::fmin(box[0], run[2 * i]);
            box[1] = std::fmin(box[1], run[2 * i + 1]);
            box[2] = std::fmax(box[2], run[2 * i]);
            box[3] = std::fmax(box[3], run[2 * i + 1]);
        }
    }
}

bool BoxesMeet(const double a[4], const double b[4], double meet[4])
{
    meet[0] = std::fmax(a[0], b[0]);
    meet[1] = std::fmax(a[1], b[1]);
    meet[2] = std::fmin(a[2], b[2]);
    meet[3] = std::fmin(a[3], b[3]);
    return meet[0] <= meet[2] && meet[1] <= meet[3];
}

// "gsave a<n> clip ..." of the named areas of a region.
void ClipToAreas(EpsStream& out, const std::vector<int>& areas)
{
    out.Put("gsave");
    for (int area : areas) {
        out.Put(" a");
        out.Number(area);
        out.Put(" clip");
    }
    out.Put("\n");
}

// The shape's "box" kept under a name of its own for the fills above that clip to it.
int NameBox(EpsStream& out, EpsBackdrop& backdrop, const LayerShape* entry, const double box[4])
{
    const int self = backdrop.NameArea(entry, box);
    out.Put("/a");
    out.Number(self);
    out.Put(" /box load def\n");
    return self;
}

// A transparent fill of the shape in "box": the colour over the paper, then over each region
// painted below it within that region; the pieces become regions themselves.
void WriteBlendedFill(EpsStream& out, const LegendStyle& st, const LayerShape* entry, EpsLayers& layers)
{
    EpsBackdrop& backdrop = layers.Backdrop;
    double box[4];
    RunsBox(entry, box);
    const double opacity = FillOpacity(st.FillTransp);
    const COLORREF onPaper = BlendColour(st.FillColor, RGB(255, 255, 255), opacity);
    out.Colour(onPaper);
    out.Put("box fill\n");
    std::vector<EpsBackdrop::Region> pieces;
    for (const EpsBackdrop::Region& below : backdrop.Regions()) {
        double meet[4];
        if (!BoxesMeet(box, below.Box, meet))
            continue;
        const COLORREF colour = BlendColour(st.FillColor, below.Colour, opacity);
        ClipToAreas(out, below.Areas);
        out.Colour(colour);
        out.Put("box fill grestore\n");
        pieces.push_back({below.Areas, colour, {meet[0], meet[1], meet[2], meet[3]}, 0});
    }
    if (layers.KeepBackdrop) {
        const int self = NameBox(out, backdrop, entry, box);
        backdrop.AddRegion({self}, onPaper, box);
        for (EpsBackdrop::Region& piece : pieces) {
            piece.Areas.push_back(self);
            backdrop.AddRegion(piece.Areas, piece.Colour, piece.Box);
        }
    }
}

void WritePolygonLayerEps(EpsStream& out, const LegendStyle& st, LayerShape* entry, const MapEpsContext* ctx,
                          EpsLayers& layers)
{
    WriteRunsBox(out, entry, true);
    if (st.Fill && FillOpacity(st.FillTransp) < 1) {
        WriteBlendedFill(out, st, entry, layers);
    } else if (st.Fill) {
        out.Colour(st.FillColor);
        out.Put("box fill\n");
        if (layers.KeepBackdrop) {
            double box[4];
            RunsBox(entry, box);
            layers.Backdrop.AddRegion({NameBox(out, layers.Backdrop, entry, box)}, st.FillColor, box);
        }
    }
    if (st.Pattern && st.PatternWidth > 0) {
        double box[4];
        RunsBox(entry, box);
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        EpsPoint(ctx, box[0], box[1], &x0, &y0);
        EpsPoint(ctx, box[2], box[3], &x1, &y1);
        const double points[4] = {(double)x0, (double)y0, (double)x1 + 1, (double)y1 + 1};
        out.Put("gsave box clip\n");
        WriteHatching(out, st, ctx, 0, 0, points);
        out.Put("grestore\n");
    }
    if (st.Border) {
        out.Width(st.BorderWidth);
        out.Colour(st.BorderColor);
        out.Put("box stroke\n");
    }
}

void WritePolylineLayerEps(EpsStream& out, const LegendStyle& st, LayerShape* entry)
{
    WriteRunsBox(out, entry, false);
    if (st.Border) {
        out.Width(st.BorderWidth);
        out.Colour(st.BorderColor);
        out.Put("box stroke\n");
    }
    if (st.Fill) {
        out.Width(st.SymbSize);
        out.Colour(st.FillColor);
        out.Put("box stroke\n");
    }
}

// "/ptshape {newpath ...} def" of the corners relative to the point.
void WriteRectShape(EpsStream& out, int x0, int y0, int x1, int y1)
{
    out.Put("/ptshape {newpath ");
    out.Pair(x0, y0, "moveto");
    out.Pair(x1, y0, "lineto");
    out.Pair(x1, y1, "lineto");
    out.Pair(x0, y1, "lineto closepath} def\n");
}

void WritePointLayerEps(EpsStream& out, const LegendStyle& st, LayerShape* entry, const MapEpsContext* ctx,
                        EpsLayers& layers)
{
    const GridDef* grid = ctx->GridLevel >= 1 ? SelectedGrid(ctx->GridCombo) : nullptr;
    const int fine = ctx->GridLevel == 2;
    const double* first = entry->Runs->GetCount() > 0 ? (const double*)entry->Runs->GetItems()[0] : nullptr;
    if (!first)
        return;
    // The cell's size does not depend on the point: it is taken once, from the first one.
    double cell[4] = {0, 0, 0, 0};
    double c = 0;
    if (grid) {
        double x = first[0], y = first[1];
        c = SnapToGridCell(grid, ctx->CentreLat, ctx->YFactor, &x, &y, fine, cell);
    }
    const bool wholeCell = st.FullCell && grid && c > 0;
    const double half = c > 1e-7 ? c / 1.6 : 0;
    const double ux = c > 1e-7 ? half : ctx->UnitsPerPixel * ctx->PixelsPerMmX * st.SymbSize / 2;
    const double uy = c > 1e-7 ? half : ctx->UnitsPerPixel * ctx->PixelsPerMmY * st.SymbSize / 2;
    const int hx = TruncToInt32(ux * ctx->XScale), hy = TruncToInt32(uy * ctx->YScale);
    // The symbol's outline about the point, in map units (y scaled), for what lies below it.
    std::vector<double> outline;
    double reachX = ux, reachY = uy;
    if (wholeCell) {
        const int w = TruncToInt32((cell[2] - cell[0]) * ctx->XScale), h = TruncToInt32((cell[3] - cell[1]) * ctx->YScale);
        const int sx = w / 2, sy = h / 2;
        WriteRectShape(out, -sx, -sy, w - sx, h - sy);
        reachX = (cell[2] - cell[0]) / 2;
        reachY = (cell[3] - cell[1]) / 2;
        SquareOutline(reachX, reachY, &outline);
    } else if (st.SymbShape == SYMBOL_CIRCLE) {
        out.Put("/ptshape {0 0 ");
        out.Number(hx);
        out.Put(" 0 360 arc} def\n");
    } else if (st.SymbShape == SYMBOL_SQUARE) {
        WriteRectShape(out, -hx, -hy, hx, hy);
        SquareOutline(ux, uy, &outline);
    } else if (st.SymbShape == SYMBOL_STAR) {
        std::vector<double> star;
        StarOutline(hx, hy, &star);
        out.Put("/ptshape {newpath ");
        for (int i = 0; i < 10; ++i)
            out.Pair(TruncToInt32(star[2 * i]), TruncToInt32(star[2 * i + 1]), i ? "lineto" : "moveto");
        out.Put("closepath} def\n");
        StarOutline(ux, uy, &outline);
    } else {
        return;  // no other shape is drawn: no procedure and no symbols
    }
    const bool hatched = st.Pattern && st.PatternWidth > 0;
    if (hatched) {
        // One hatching about the point for every symbol of the layer, as the screen hatches them.
        const double reach[4] = {-reachX * ctx->XScale - 1, -reachY * ctx->YScale - 1, reachX * ctx->XScale + 1,
                                 reachY * ctx->YScale + 1};
        out.Put("/pthatch {\n");
        WriteHatching(out, st, ctx, 0, 0, reach);
        out.Put("} def\n");
    }
    if (!PointGroupsMatch(entry->Groups, grid, fine, ctx->CentreLat, ctx->YFactor)) {
        FreePointGroups(entry->Groups);
        entry->Groups = GroupPoints(entry->Runs, entry->RunCounts, grid, fine, ctx->CentreLat, ctx->YFactor);
    }
    const PointGroups* g = entry->Groups;
    const double opacity = FillOpacity(st.FillTransp);
    std::vector<double> placed;
    for (int i = 0; g && i < g->Count; ++i) {
        const double x = g->X[i], y = g->Y[i];
        out.Put("gsave\n");
        out.Point(x, y, "translate\n", false);
        if (st.Fill) {
            // Several records on one spot are as dark as on screen; a transparent fill is its
            // colour over what was painted below.
            const double a = BlendedOpacity(opacity, g->K[i]);
            const COLORREF colour = a < 1 ? BlendColour(st.FillColor, layers.Backdrop.ColourAt(x, y), a) : st.FillColor;
            out.Colour(colour);
            out.Put("ptshape fill\n");
            if (layers.KeepBackdrop) {
                placed.resize(outline.size());
                for (size_t v = 0; v + 1 < outline.size(); v += 2) {
                    placed[v] = x + outline[v];
                    placed[v + 1] = y + outline[v + 1];
                }
                layers.Backdrop.AddSymbol(x, y, reachX, reachY, placed, colour);
            }
        }
        if (hatched)
            out.Put("gsave ptshape clip pthatch grestore\n");
        if (st.Border && !wholeCell) {
            out.Width(st.BorderWidth);
            out.Colour(st.BorderColor);
            out.Put("ptshape stroke\n");
        }
        out.Put("grestore\n");
    }
}

void WriteGridLayerEps(EpsStream& out, const LegendItem* item, const MapEpsContext* ctx, int fine)
{
    GridLines lines;
    if (!item || !GridLinesOf(ctx->GridCombo, fine, &lines))
        return;
    const GridDef* grid = lines.Grid;
    const double sx = lines.Sx, sy = lines.Sy;
    const long long nx = lines.Nx, ny = lines.Ny;
    out.Put("/box {\n");
    for (long long i = 0; i <= nx; ++i)
        for (long long j = 0; j <= ny; ++j)
            out.Point(grid->LonMin + i * sx, ScaledY(ctx, grid->LatMin + j * sy), j ? "lineto" : "moveto", true);
    for (long long i = 0; i <= ny; ++i)
        for (long long j = 0; j <= nx; ++j)
            out.Point(grid->LonMin + j * sx, ScaledY(ctx, grid->LatMin + i * sy), j ? "lineto" : "moveto", true);
    out.Put("} def\n");
    if (item->Style.Border) {
        out.Width(item->Style.BorderWidth);
        out.Colour(item->Style.BorderColor);
        out.Put("box stroke\n");
    }
    if (item->Style.Fill) {
        out.Width(item->Style.SymbSize);
        out.Colour(item->Style.FillColor);
        out.Put("box stroke\n");
    }
}

void WriteLegendItemEps(EpsStream& out, LegendItem* item, const MapEpsContext* ctx, EpsLayers& layers)
{
    if (!EnsureItemShapes(item, ctx->MainWindow, ctx->Display, ctx->MapFolder)) {
        if (IsGridItem(item))
            WriteGridLayerEps(out, item, ctx, item->InfoType == INFO_FINE_GRID);
        item->Rebuild = false;
        return;
    }
    const LegendStyle& st = item->Style;
    for (int i = 0; i < item->Shapes->GetCount(); ++i) {
        LayerShape* entry = (LayerShape*)item->Shapes->GetItems()[i];
        if (!entry || !entry->Shape || entry->Shape->nVertices <= 0)
            continue;  // a record the file could not give, or a null shape
        if (item->Rebuild || !entry->Built) {
            BuildShapeRuns(entry, ctx->UnitsPerPixel, ctx->CentreLat, ctx->YFactor, st.StyleType == STYLE_AREA);
            FreePointGroups(entry->Groups);  // grouped from the runs there were
            entry->Groups = nullptr;
        }
        switch (st.StyleType) {
        case STYLE_LINE: WritePolylineLayerEps(out, st, entry); break;
        case STYLE_AREA: WritePolygonLayerEps(out, st, entry, ctx, layers); break;
        case STYLE_SYMBOL: WritePointLayerEps(out, st, entry, ctx, layers); break;
        default: break;
        }
    }
    item->Rebuild = false;
}

}  // namespace

void EpsColourText(COLORREF colour, char* text, size_t size)
{
    // Hundredths rounded from c / 255; no component falls on a half, so this is what "%.2f"
    // gives in the C locale.
    int v[3] = {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
    for (int& c : v)
        c = (c * 200 + 255) / 510;
    snprintf(text, size, "%d.%02d %d.%02d %d.%02d setrgbcolor", v[0] / 100, v[0] % 100, v[1] / 100, v[1] % 100,
             v[2] / 100, v[2] % 100);
}

bool WriteLegendEps(const MapEpsContext* ctx, int width, int height)
{
    if (!ctx || !ctx->Out || ctx->Out == INVALID_HANDLE_VALUE)
        return false;
    EpsStream out(ctx);
    out.Put("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 ");
    out.Number(width);
    out.Put(" ");
    out.Number(height);
    out.Put("\n%%Creator:");
    out.Put(ctx->Creator ? ctx->Creator : "");
    out.Put("\n%%Title:");
    out.Put(ctx->Title ? ctx->Title : "");
    out.Put("\n");
    const int count = (int)SendMessageW(ctx->Legend, LVM_GETITEMCOUNT, 0, 0);
    // The fills painted are kept for as long as a transparent fill is still to come.
    int topTransparent = count;
    for (int i = 0; i < count && topTransparent == count; ++i) {
        const LegendItem* item = LegendItemAt(ctx->Legend, i);
        if (item && LegendItemChecked(ctx->Legend, i) && item->Style.Fill && FillOpacity(item->Style.FillTransp) < 1 &&
            (item->Style.StyleType == STYLE_AREA || item->Style.StyleType == STYLE_SYMBOL))
            topTransparent = i;
    }
    EpsLayers layers;
    for (int i = count - 1; i >= 0 && !out.Failed(); --i) {
        layers.KeepBackdrop = i > topTransparent;
        if (LegendItemChecked(ctx->Legend, i))
            WriteLegendItemEps(out, LegendItemAt(ctx->Legend, i), ctx, layers);
    }
    out.Put("%%EndDocument\n");
    out.Flush();
    SendMessageW(ctx->MainWindow, ZM_SET_RECORD_FILTER, MAKEWPARAM(ctx->Display, 0), 0);
    return !out.Failed();
}
