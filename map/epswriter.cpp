#include "map/epswriter.h"

#include <cmath>
#include <string>

#include "shellcontract/zm_protocol.h"
#include "map/glrender.h"
#include "map/griddef.h"
#include "map/layershapes.h"
#include "map/mappicture.h"

namespace {

// Lines are wrapped before a coordinate once they reach this many characters, which keeps them
// within the 255 that PostScript readers promise to take.
const size_t kWrapAt = 241;

// The output with its current line's length; coordinates are written in whole points.
class EpsStream
{
public:
    explicit EpsStream(const MapEpsContext* ctx) : ctx_(ctx) {}

    void Put(const char* text)
    {
        const size_t n = strlen(text);
        if (n && fwrite(text, 1, n, ctx_->Out) != n)
            failed_ = true;
        const char* nl = strrchr(text, '\n');
        column_ = nl ? strlen(nl + 1) : column_ + n;
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
    bool Failed() const { return failed_ || ferror(ctx_->Out); }

private:
    const MapEpsContext* ctx_;
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

void WritePolygonLayerEps(EpsStream& out, const LegendStyle& st, LayerShape* entry)
{
    WriteRunsBox(out, entry, true);
    if (st.Fill) {
        out.Colour(st.FillColor);
        out.Put("box fill\n");
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

void WritePointLayerEps(EpsStream& out, const LegendStyle& st, LayerShape* entry, const MapEpsContext* ctx)
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
    const int hx = TruncToInt32((c > 1e-7 ? half : ctx->UnitsPerPixel * ctx->PixelsPerMmX * st.SymbSize / 2) * ctx->XScale);
    const int hy = TruncToInt32((c > 1e-7 ? half : ctx->UnitsPerPixel * ctx->PixelsPerMmY * st.SymbSize / 2) * ctx->YScale);
    if (wholeCell) {
        const int w = TruncToInt32((cell[2] - cell[0]) * ctx->XScale), h = TruncToInt32((cell[3] - cell[1]) * ctx->YScale);
        const int sx = w / 2, sy = h / 2;
        WriteRectShape(out, -sx, -sy, w - sx, h - sy);
    } else if (st.SymbShape == SYMBOL_CIRCLE) {
        out.Put("/ptshape {0 0 ");
        out.Number(hx);
        out.Put(" 0 360 arc} def\n");
    } else if (st.SymbShape == SYMBOL_SQUARE) {
        WriteRectShape(out, -hx, -hy, hx, hy);
    } else {
        return;  // no other shape is drawn: no procedure and no symbols
    }
    for (int r = 0; r < entry->Runs->GetCount(); ++r) {
        const double* run = (const double*)entry->Runs->GetItems()[r];
        const int n = entry->RunCounts->GetItems()[r];
        for (int i = 0; i < n; ++i) {
            double x = run[2 * i], y = run[2 * i + 1];
            if (grid)
                SnapToGridCell(grid, ctx->CentreLat, ctx->YFactor, &x, &y, fine, nullptr);
            out.Put("gsave\n");
            out.Point(x, y, "translate\n", false);
            if (st.Fill) {
                out.Colour(st.FillColor);
                out.Put("ptshape fill\n");
            }
            if (st.Border && !wholeCell) {
                out.Width(st.BorderWidth);
                out.Colour(st.BorderColor);
                out.Put("ptshape stroke\n");
            }
            out.Put("grestore\n");
        }
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

void WriteLegendItemEps(EpsStream& out, LegendItem* item, const MapEpsContext* ctx)
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
        if (item->Rebuild || !entry->Built)
            BuildShapeRuns(entry, ctx->UnitsPerPixel, ctx->CentreLat, ctx->YFactor, st.StyleType == STYLE_AREA);
        switch (st.StyleType) {
        case STYLE_LINE: WritePolylineLayerEps(out, st, entry); break;
        case STYLE_AREA: WritePolygonLayerEps(out, st, entry); break;
        case STYLE_SYMBOL: WritePointLayerEps(out, st, entry, ctx); break;
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
    if (!ctx || !ctx->Out)
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
    for (int i = count - 1; i >= 0 && !out.Failed(); --i) {
        if (LegendItemChecked(ctx->Legend, i))
            WriteLegendItemEps(out, LegendItemAt(ctx->Legend, i), ctx);
    }
    out.Put("%%EndDocument\n");
    SendMessageW(ctx->MainWindow, ZM_SET_RECORD_FILTER, MAKEWPARAM(ctx->Display, 0), 0);
    return !out.Failed();
}
