#include "map/glrender.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "shellcontract/zm_protocol.h"
#include "map/gldraw.h"
#include "map/layershapes.h"
#include "map/mapunits.h"
#include "map/pointgroups.h"

// Under a pixel and a half of line width the segments already cover a joint; wider lines get
// a point at every vertex to round their joints.
const double kRoundJointsFrom = 1.5;  // pixels of line width

// What a line or area layer draws of its shapes in view, each part in one call (a layer has
// thousands of shapes, and a call each cost more than the drawing): the triangles of a plain
// fill, the outline's segments and its vertices (the points that round wide lines' joints).
struct LayerGeometry
{
    std::vector<double> Triangles;
    std::vector<double> Segments;
    std::vector<double> Points;

    void Add(const LayerShape* entry, bool fill, bool points)
    {
        if (fill && entry->TriangleVertices > 0)
            Triangles.insert(Triangles.end(), entry->Triangles, entry->Triangles + 2 * (size_t)entry->TriangleVertices);
        for (int r = 0; r < entry->Runs->GetCount(); ++r) {
            const double* run = (const double*)entry->Runs->GetItems()[r];
            const int n = entry->RunCounts->GetItems()[r];
            for (int i = 0; i + 1 < n; ++i)
                Segments.insert(Segments.end(), {run[2 * i], run[2 * i + 1], run[2 * i + 2], run[2 * i + 3]});
            if (points)
                Points.insert(Points.end(), run, run + 2 * (size_t)n);
        }
    }
};

namespace {

// ---- view geometry ----

double ScaledY(const MapRenderContext* ctx, double y)
{
    const double f = ctx->YFactor != 0 ? ctx->YFactor : 1.0;
    return ctx->CentreLat + (y - ctx->CentreLat) / f;
}

// The viewport's size in pixels (the caller sets it to the drawing's size).
void ViewportSize(int* w, int* h)
{
    GLint vp[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, vp);
    *w = vp[2];
    *h = vp[3];
}

// Whether a box (view units) touches the visible rectangle widened by margin.
bool BoxVisible(const MapRenderContext* ctx, double x0, double y0, double x1, double y1, double margin)
{
    return x1 >= ctx->Left - margin && x0 <= ctx->Right + margin && y1 >= ctx->Bottom - margin &&
           y0 <= ctx->Top + margin;
}

// Confines drawing to a box (view units) plus two pixels; false when the box lies outside the
// drawing (nothing to do there).
bool ScissorTo(const MapRenderContext* ctx, double x0, double y0, double x1, double y1)
{
    int w = 0, h = 0;
    ViewportSize(&w, &h);
    const double sx = w / (ctx->Right - ctx->Left), sy = h / (ctx->Top - ctx->Bottom);
    if (!std::isfinite(sx) || !std::isfinite(sy))
        return false;
    double px0 = std::floor((x0 - ctx->Left) * sx) - 2, px1 = std::ceil((x1 - ctx->Left) * sx) + 2;
    double py0 = std::floor((y0 - ctx->Bottom) * sy) - 2, py1 = std::ceil((y1 - ctx->Bottom) * sy) + 2;
    px0 = std::max(px0, 0.0);
    py0 = std::max(py0, 0.0);
    px1 = std::min(px1, (double)w);
    py1 = std::min(py1, (double)h);
    if (!(px1 > px0) || !(py1 > py0))
        return false;
    glScissor((GLint)px0, (GLint)py0, (GLsizei)(px1 - px0), (GLsizei)(py1 - py0));
    glEnable(GL_SCISSOR_TEST);
    return true;
}

// ---- vertex runs ----

// The shape's parts thinned to the view (y scaled), as runs; closed rings for polygons.
void BuildRuns(LayerShape* entry, const MapRenderContext* ctx, int closed)
{
    BuildShapeRuns(entry, ctx->UnitsPerPixel, ctx->CentreLat, ctx->YFactor, closed);
}

// Whether a shape (or its symbols) may show in the view; margin covers line widths and symbols.
bool ShapeVisible(const LayerShape* entry, const MapRenderContext* ctx, double marginMm)
{
    const SHPObject* s = entry->Shape;
    if (!s || s->nVertices <= 0)
        return false;
    const double margin = (marginMm * ctx->PixelsPerMmX + 4) * ctx->UnitsPerPixel;
    return BoxVisible(ctx, s->dfXMin, ScaledY(ctx, s->dfYMin), s->dfXMax, ScaledY(ctx, s->dfYMax), margin);
}

// ---- tessellation ----

// Vertices handed to the tessellator live until the polygon ends: the run copies (three
// doubles each, as gluTessVertex reads them) and the intersections the combine callback makes.
// The triangles come out as x, y of each corner.
struct TessArena
{
    std::vector<double> Vertices;
    std::vector<std::unique_ptr<double[]>> Combined;
    std::vector<double> Triangles;
};

void CALLBACK TessVertex(void* data, void* polygon)
{
    const double* v = (const double*)data;
    ((TessArena*)polygon)->Triangles.insert(((TessArena*)polygon)->Triangles.end(), {v[0], v[1]});
}
// With an edge flag callback the tessellator gives separate triangles only (no fans or strips),
// so that a layer's shapes are drawn together in one call.
void CALLBACK TessEdgeFlag(GLboolean, void*) {}
void CALLBACK TessError(GLenum) {}
void CALLBACK TessCombine(GLdouble coords[3], void* [4], GLfloat[4], void** out, void* polygon)
{
    TessArena* arena = (TessArena*)polygon;
    std::unique_ptr<double[]> v(new double[3]{coords[0], coords[1], 0.0});
    *out = v.get();
    arena->Combined.push_back(std::move(v));
}

// The shape's triangles (they cover each pixel of the shape once), kept with it.
void Tessellate(GLUtesselator* tess, LayerShape* entry)
{
    free(entry->Triangles);
    entry->Triangles = nullptr;
    entry->TriangleVertices = 0;  // made, whatever comes of it
    entry->InLayerLists = 0;
    TessArena arena;
    size_t total = 0;
    for (int r = 0; r < entry->Runs->GetCount(); ++r)
        total += (size_t)entry->RunCounts->GetItems()[r];
    arena.Vertices.resize(total * 3);
    gluTessBeginPolygon(tess, &arena);
    size_t at = 0;
    for (int r = 0; r < entry->Runs->GetCount(); ++r) {
        const double* run = (const double*)entry->Runs->GetItems()[r];
        int n = entry->RunCounts->GetItems()[r];
        if (n > 1)
            --n;  // the closing copy of the first vertex
        gluTessBeginContour(tess);
        for (int i = 0; i < n; ++i, at += 3) {
            double* v = &arena.Vertices[at];
            v[0] = run[2 * i];
            v[1] = run[2 * i + 1];
            v[2] = 0;
            gluTessVertex(tess, v, v);
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    const size_t n = arena.Triangles.size() / 2;
    if (n == 0 || n > INT_MAX)
        return;
    entry->Triangles = (double*)malloc(arena.Triangles.size() * sizeof(double));
    if (!entry->Triangles)
        return;
    memcpy(entry->Triangles, arena.Triangles.data(), arena.Triangles.size() * sizeof(double));
    entry->TriangleVertices = (int)n;
}

// ---- layers ----

// A shape's hatching, kept inside its triangles by the stencil within the shape's box. Its
// plain fill and outline are drawn with the layer's (DrawLayerGeometry).
void DrawPolygonLayerGl(const LegendItem* item, GLUtesselator* tess, LayerShape* entry, const MapRenderContext* ctx)
{
    const LegendStyle& st = item->Style;
    if (!(st.Fill || st.Pattern) || entry->Runs->GetCount() == 0)
        return;
    if (entry->TriangleVertices < 0)
        Tessellate(tess, entry);
    if (!st.Pattern)
        return;
    const SHPObject* s = entry->Shape;
    if (!ScissorTo(ctx, s->dfXMin, ScaledY(ctx, s->dfYMin), s->dfXMax, ScaledY(ctx, s->dfYMax)))
        return;
    glDisable(GL_POLYGON_SMOOTH);
    GlBeginStencilMask();
    GlDrawVertices(GL_TRIANGLES, entry->Triangles, entry->TriangleVertices);
    GlUseStencilMask();
    if (st.Fill) {
        GlColor(st.FillColor, FillOpacity(st.FillTransp));
        glRectd(ctx->Left, ctx->Bottom, ctx->Right, ctx->Top);
    }
    GlWidthMm(st.PatternSize, ctx->PixelsPerMmX);
    GlColor(st.PatternColor);
    const double spacing = ctx->UnitsPerPixel * ctx->PixelsPerMmX * st.PatternWidth;
    GlDrawHatching((ctx->Left + ctx->Right) / 2, (ctx->Bottom + ctx->Top) / 2, spacing, ctx->Diagonal / 2,
                   ctx->Diagonal / 2, st.PatternRotation, st.PatternType > 0);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_SCISSOR_TEST);
    glEnable(GL_POLYGON_SMOOTH);
}

// Whether the item's display lists hold exactly the geometry of these shapes as they are now.
bool ListsHold(const LegendItem* item, const std::vector<LayerShape*>& shown)
{
    if (!item->ListBase)
        return false;
    int listed = 0;
    for (int i = 0; i < item->Shapes->GetCount(); ++i)
        listed += ((const LayerShape*)item->Shapes->GetItems()[i])->InLayerLists ? 1 : 0;
    if (listed != (int)shown.size())
        return false;
    for (const LayerShape* entry : shown)
        if (!entry->InLayerLists)
            return false;
    return true;
}

// A line or area layer's plain fill (the triangles fill each pixel of a shape once; the shapes
// keep their order) and its outline over it, or its line and the second line over that. The
// parts are kept in the item's three display lists while the same shapes are in view, made
// as they are: a redraw replays them, a shape built again or come into view makes them anew.
void DrawLayerGeometry(LegendItem* item, const MapRenderContext* ctx, const std::vector<LayerShape*>& shown)
{
    const LegendStyle& st = item->Style;
    const bool area = st.StyleType == STYLE_AREA;
    const bool fill = area && st.Fill && !st.Pattern;
    const struct
    {
        bool on;
        COLORREF colour;
        double widthMm;
    } passes[2] = {{st.Border, st.BorderColor, st.BorderWidth}, {!area && st.Fill, st.FillColor, st.SymbSize}};
    auto roundsJoints = [&](double widthMm) { return widthMm * ctx->PixelsPerMmX >= kRoundJointsFrom; };
    bool points = false;
    for (const auto& pass : passes)
        points = points || (pass.on && roundsJoints(pass.widthMm));
    LayerGeometry geometry;
    const bool listed = ListsHold(item, shown);
    if (!listed) {
        for (int i = 0; i < item->Shapes->GetCount(); ++i)
            ((LayerShape*)item->Shapes->GetItems()[i])->InLayerLists = 0;
        for (LayerShape* entry : shown) {
            geometry.Add(entry, fill, points);
            entry->InLayerLists = item->ListBase ? 1 : 0;
        }
        const std::vector<double>* parts[3] = {&geometry.Triangles, &geometry.Segments, &geometry.Points};
        const GLenum modes[3] = {GL_TRIANGLES, GL_LINES, GL_POINTS};
        for (int k = 0; item->ListBase && k < 3; ++k) {
            glNewList(item->ListBase + k, GL_COMPILE);
            GlDrawVertices(modes[k], parts[k]->data(), (int)(parts[k]->size() / 2));
            glEndList();
        }
    }
    // A part from its list, or without lists from the geometry just gathered.
    auto draw = [&](int k) {
        if (item->ListBase) {
            glCallList(item->ListBase + k);
            return;
        }
        const std::vector<double>& v = k == 0 ? geometry.Triangles : k == 1 ? geometry.Segments : geometry.Points;
        GlDrawVertices(k == 0 ? GL_TRIANGLES : k == 1 ? GL_LINES : GL_POINTS, v.data(), (int)(v.size() / 2));
    };
    if (fill) {
        glDisable(GL_POLYGON_SMOOTH);
        GlColor(st.FillColor, FillOpacity(st.FillTransp));
        draw(0);
        glEnable(GL_POLYGON_SMOOTH);
    }
    for (const auto& pass : passes) {
        if (!pass.on)
            continue;
        GlColor(pass.colour);
        GlWidthMm(pass.widthMm, ctx->PixelsPerMmX);
        draw(1);
        if (roundsJoints(pass.widthMm))
            draw(2);
    }
}

// ---- point symbols ----

// The most times one spot's symbol is drawn over itself to look like its records together (the
// antialiased edge of its outline is as dark as that of more records but for a faint fringe);
// beyond it the fill of the further records is laid down first, in one blend.
const int kMaxSymbolPasses = 4;

struct SymbolShape
{
    std::vector<double> Outline;  // relative to the point
    double Hx = 0, Hy = 0;
    bool WholeCell = false;
};

// The outline of the style's symbol at a point; false when the style draws no symbol.
bool MakeSymbol(const LegendStyle* st, const MapRenderContext* ctx, double x, double y, double cellSize,
                const double* cell, SymbolShape* out)
{
    if (cellSize > 1e-7) {
        out->Hx = out->Hy = cellSize / 1.6;
    } else {
        out->Hx = ctx->PixelsPerMmX * ctx->UnitsPerPixel * st->SymbSize / 2;
        out->Hy = st->SymbSize * ctx->UnitsPerPixel * ctx->PixelsPerMmY / 2;
    }
    out->WholeCell = st->FullCell && cell;
    if (out->WholeCell) {
        out->Outline = {cell[0] - x, cell[1] - y, cell[2] - x, cell[1] - y, cell[2] - x, cell[3] - y,
                        cell[0] - x, cell[3] - y};
        out->Hx = (cell[2] - cell[0]) / 2;
        out->Hy = (cell[3] - cell[1]) / 2;
    } else if (st->SymbShape == SYMBOL_CIRCLE) {
        // One vertex per three pixels of circumference; a circle too small for one draws nothing.
        const double n = std::trunc(st->SymbSize * ctx->PixelsPerMmX * kMapPi / 3);
        if (!(n >= 1) || n > kMaxSymbolVertices)
            return false;
        CircleOutline((int)n, out->Hx, out->Hy, &out->Outline);
    } else if (st->SymbShape == SYMBOL_SQUARE) {
        SquareOutline(out->Hx, out->Hy, &out->Outline);
    } else if (st->SymbShape == SYMBOL_STAR) {
        StarOutline(out->Hx, out->Hy, &out->Outline);
    } else {
        return false;
    }
    return std::isfinite(out->Hx) && std::isfinite(out->Hy) && !out->Outline.empty();
}

// The fast way for many symbols when their order does not change the picture: every fill in
// one call (each spot's opacity that of its k records), then every outline pass in one call.
void DrawGroupsBatched(const LegendStyle* st, const MapRenderContext* ctx, const PointGroups* g)
{
    const bool fill = st->Fill;
    const bool outline = st->Border && !(st->FullCell && g->HasGrid);
    std::vector<double> tri, lines, points;
    std::vector<GLfloat> colours;
    SymbolShape sym;
    const double alpha = FillOpacity(st->FillTransp);
    const GLfloat r = GetRValue(st->FillColor) / 255.0f, gr = GetGValue(st->FillColor) / 255.0f,
                  b = GetBValue(st->FillColor) / 255.0f;
    const int passes = std::min(g->MaxK, kMaxSymbolPasses);
    std::vector<std::vector<int>> byPass;
    if (outline)
        byPass.resize(passes);
    std::vector<double> outlines;  // absolute outline of each drawn group, for the passes
    std::vector<int> outlineStart;
    for (int i = 0; i < g->Count; ++i) {
        const double x = g->X[i], y = g->Y[i];
        const double* cell = g->Cell ? g->Cell + 4 * (size_t)i : nullptr;
        if (!MakeSymbol(st, ctx, x, y, g->CellSize, cell, &sym))
            return;  // the style draws no symbol at all
        if (!BoxVisible(ctx, x - 1.1 * sym.Hx, y - 1.1 * sym.Hy, x + 1.1 * sym.Hx, y + 1.1 * sym.Hy, 0))
            continue;
        const int n = (int)sym.Outline.size() / 2;
        if (fill && n >= 3) {
            // A fan from the point, which every symbol surrounds (the star is not convex).
            const GLfloat a = (GLfloat)BlendedOpacity(alpha, g->K[i]);
            for (int v = 0; v < n; ++v) {
                const int w = (v + 1) % n;
                tri.insert(tri.end(), {x, y, x + sym.Outline[2 * v], y + sym.Outline[2 * v + 1], x + sym.Outline[2 * w],
                                       y + sym.Outline[2 * w + 1]});
                for (int c = 0; c < 3; ++c)
                    colours.insert(colours.end(), {r, gr, b, a});
            }
        }
        if (outline) {
            const int start = (int)outlines.size() / 2;
            for (int v = 0; v < n; ++v) {
                outlines.push_back(x + sym.Outline[2 * v]);
                outlines.push_back(y + sym.Outline[2 * v + 1]);
            }
            outlineStart.push_back(start);
            outlineStart.push_back(n);
            const int last = std::min(g->K[i], passes);
            for (int p = 0; p < last; ++p)
                byPass[p].push_back((int)outlineStart.size() / 2 - 1);
        }
    }
    if (!tri.empty()) {
        glDisable(GL_POLYGON_SMOOTH);  // the triangles of one spot must not show their seams
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_FLOAT, 0, colours.data());
        GlDrawVertices(GL_TRIANGLES, tri.data(), (int)tri.size() / 2);
        glDisableClientState(GL_COLOR_ARRAY);
        glEnable(GL_POLYGON_SMOOTH);
    }
    if (outline && !outlineStart.empty()) {
        GlWidthMm(st->BorderWidth, ctx->PixelsPerMmX);
        GlColor(st->BorderColor);
        for (const std::vector<int>& groups : byPass) {
            lines.clear();
            points.clear();
            for (int gi : groups) {
                const int start = outlineStart[2 * gi], n = outlineStart[2 * gi + 1];
                const double* v = &outlines[2 * (size_t)start];
                for (int e = 0; e < n; ++e) {
                    const int f = (e + 1) % n;
                    lines.insert(lines.end(), {v[2 * e], v[2 * e + 1], v[2 * f], v[2 * f + 1]});
                }
                points.insert(points.end(), v, v + 2 * n);
            }
            GlDrawVertices(GL_LINES, lines.data(), (int)lines.size() / 2);
            if (st->BorderWidth * ctx->PixelsPerMmX >= kRoundJointsFrom)
                GlDrawVertices(GL_POINTS, points.data(), (int)points.size() / 2);
        }
    }
}

void DrawPointLayerGl(const LegendItem* item, LayerShape* entry, const MapRenderContext* ctx)
{
    const GridDef* grid = ctx->GridLevel >= 1 ? SelectedGrid(ctx->GridCombo) : nullptr;
    const int fine = ctx->GridLevel == 2;
    if (!entry->Built) {
        BuildRuns(entry, ctx, 0);
        FreePointGroups(entry->Groups);
        entry->Groups = nullptr;
    }
    if (!PointGroupsMatch(entry->Groups, grid, fine, ctx->CentreLat, ctx->YFactor)) {
        FreePointGroups(entry->Groups);
        entry->Groups = GroupPoints(entry->Runs, entry->RunCounts, grid, fine, ctx->CentreLat, ctx->YFactor);
    }
    const PointGroups* g = entry->Groups;
    if (!g || g->Count == 0)
        return;
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const LegendStyle* st = &item->Style;
    const bool outline = st->Border && !(st->FullCell && g->HasGrid);
    // Fills of one colour, or outlines of one colour, blend alike in any order; a fill under an
    // outline, or hatching, must keep each spot's order.
    if (!st->Pattern && !(st->Fill && outline)) {
        DrawGroupsBatched(st, ctx, g);
        return;
    }
    for (int i = 0; i < g->Count; ++i)
        DrawPointSymbolGl(st, g->X[i], g->Y[i], ctx, g->CellSize, g->Cell ? g->Cell + 4 * (size_t)i : nullptr, g->K[i]);
}

}  // namespace

const GridDef* SelectedGrid(HWND gridCombo)
{
    if (!gridCombo)
        return nullptr;
    LRESULT selected = SendMessageW(gridCombo, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR)
        return nullptr;
    LRESULT data = SendMessageW(gridCombo, CB_GETITEMDATA, selected, 0);
    return data == CB_ERR ? nullptr : (const GridDef*)data;
}

void DeleteItemLists(LegendItem* item)
{
    if (item && item->ListBase) {
        glDeleteLists(item->ListBase, item->ListCount);
        item->ListBase = 0;
        item->ListCount = 0;
    }
}

void DrawPointSymbolGl(const LegendStyle* style, double x, double y, const MapRenderContext* ctx, double cellSize,
                       const double* cell, int k)
{
    SymbolShape sym;
    if (!style || !MakeSymbol(style, ctx, x, y, cellSize, cell, &sym))
        return;
    const int n = (int)sym.Outline.size() / 2;
    const bool inside = (style->Fill || style->Pattern) &&
                        ScissorTo(ctx, x - 1.1 * sym.Hx, y - 1.1 * sym.Hy, x + 1.1 * sym.Hx, y + 1.1 * sym.Hy);
    const bool outline = style->Border && !sym.WholeCell;
    const double opacity = FillOpacity(style->FillTransp);
    const double spacing = ctx->UnitsPerPixel * ctx->PixelsPerMmX * style->PatternWidth;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glTranslated(x, y, 0);
    if (inside) {
        GlBeginStencilMask();
        GlDrawSymbolArea(sym.Outline);
        GlUseStencilMask();
        glDisable(GL_STENCIL_TEST);
    }
    // Each record draws its fill, hatching and outline in turn; records past the passes drawn
    // lay their fill down first, in one blend.
    const int passes = std::min(std::max(k, 1), kMaxSymbolPasses);
    for (int pass = 0; pass < passes; ++pass) {
        if (inside) {
            glEnable(GL_STENCIL_TEST);
            if (style->Fill) {
                double alpha = pass == 0 && k > passes ? BlendedOpacity(opacity, k - passes + 1) : opacity;
                GlColor(style->FillColor, alpha);
                glRectd(-1.1 * sym.Hx, -1.1 * sym.Hy, 1.1 * sym.Hx, 1.1 * sym.Hy);
            }
            if (style->Pattern) {
                GlWidthMm(style->PatternSize, ctx->PixelsPerMmX);
                GlColor(style->PatternColor);
                GlDrawHatching(0, 0, spacing, 1.5 * sym.Hx, 1.5 * sym.Hx, style->PatternRotation, style->PatternType > 0);
            }
            glDisable(GL_STENCIL_TEST);
        }
        if (outline) {
            GlWidthMm(style->BorderWidth, ctx->PixelsPerMmX);
            GlColor(style->BorderColor);
            GlDrawVertices(GL_LINE_LOOP, sym.Outline.data(), n);
            if (style->BorderWidth * ctx->PixelsPerMmX >= kRoundJointsFrom)
                GlDrawVertices(GL_POINTS, sym.Outline.data(), n);
        }
    }
    if (inside)
        glDisable(GL_SCISSOR_TEST);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
}

bool GridLinesOf(HWND gridCombo, int fine, GridLines* lines)
{
    const GridDef* grid = SelectedGrid(gridCombo);
    if (!grid)
        return false;
    const double sx = fine ? grid->LonFineStep : grid->LonCoarseStep;
    const double sy = fine ? grid->LatFineStep : grid->LatCoarseStep;
    if (std::fabs(sx) < 1e-7 || std::fabs(sy) < 1e-7)
        return false;
    // The last line is drawn even when the division falls a rounding error short of it.
    const long long nx = GridStepCount(grid->LonMin, grid->LonMax, sx, kMaxGridLines);
    const long long ny = GridStepCount(grid->LatMin, grid->LatMax, sy, kMaxGridLines);
    if (nx < 0 || ny < 0 || nx > kMaxGridLines || ny > kMaxGridLines || (nx + 1) * (ny + 1) > kMaxGridVertices)
        return false;
    *lines = {grid, sx, sy, nx, ny};
    return true;
}

void DrawGridLayerGl(LegendItem* item, const MapRenderContext* ctx, int fine)
{
    GridLines lines;
    if (!item || !GridLinesOf(ctx->GridCombo, fine, &lines))
        return;
    const GridDef* grid = lines.Grid;
    const double sx = lines.Sx, sy = lines.Sy;
    const long long nx = lines.Nx, ny = lines.Ny;
    std::vector<double> columns((size_t)(nx + 1) * (ny + 1) * 2), rows((size_t)(ny + 1) * (nx + 1) * 2);
    for (long long i = 0; i <= nx; ++i)
        for (long long j = 0; j <= ny; ++j) {
            double* v = &columns[(size_t)(i * (ny + 1) + j) * 2];
            v[0] = grid->LonMin + i * sx;
            v[1] = ScaledY(ctx, grid->LatMin + j * sy);
        }
    for (long long i = 0; i <= ny; ++i)
        for (long long j = 0; j <= nx; ++j) {
            double* v = &rows[(size_t)(i * (nx + 1) + j) * 2];
            v[0] = grid->LonMin + j * sx;
            v[1] = ScaledY(ctx, grid->LatMin + i * sy);
        }
    auto drawLines = [&](COLORREF colour, double widthMm) {
        GlColor(colour);
        GlWidthMm(widthMm, ctx->PixelsPerMmX);
        for (long long i = 0; i <= nx; ++i)
            GlDrawVertices(GL_LINE_STRIP, &columns[(size_t)(i * (ny + 1)) * 2], (int)(ny + 1));
        for (long long i = 0; i <= ny; ++i)
            GlDrawVertices(GL_LINE_STRIP, &rows[(size_t)(i * (nx + 1)) * 2], (int)(nx + 1));
    };
    if (item->Style.Border)
        drawLines(item->Style.BorderColor, item->Style.BorderWidth);
    if (item->Style.Fill)
        drawLines(item->Style.FillColor, item->Style.SymbSize);
}

void DrawLayerGl(LegendItem* item, GLUtesselator* tess, LayerShape* entry, const MapRenderContext* ctx,
                 std::vector<LayerShape*>* shown)
{
    if (!item || !entry || !entry->Shape || entry->Shape->nVertices <= 0)
        return;  // a record the file could not give, or a null shape
    const LegendStyle& st = item->Style;
    // Symbols snapped to a shown grid may move out of their shape's box: those are not culled.
    const double margin = std::max(st.BorderWidth, st.SymbSize * 1.1) + 1;
    if (!(st.StyleType == STYLE_SYMBOL && ctx->GridLevel > 0) && !ShapeVisible(entry, ctx, margin))
        return;  // out of view: built when it comes into view
    switch (st.StyleType) {
    case STYLE_LINE:
    case STYLE_AREA:
        if (!entry->Built)
            BuildRuns(entry, ctx, st.StyleType == STYLE_AREA);
        if (st.StyleType == STYLE_AREA)
            DrawPolygonLayerGl(item, tess, entry, ctx);
        shown->push_back(entry);
        break;
    case STYLE_SYMBOL: DrawPointLayerGl(item, entry, ctx); break;
    default: break;
    }
}

void RenderLegendItemGl(LegendItem* item, GLUtesselator* tess, const MapRenderContext* ctx)
{
    if (!item)
        return;
    if (IsRecordLayer(item) && item->Rebuild) {
        FreeShapeList(item->Shapes);
        item->Shapes = nullptr;
        // A query layer shows the records that meet its condition: without a condition, or with
        // one the list refuses (answer 0), it shows none, never the whole list.
        bool filtered = true;
        if (item->Query)
            filtered = item->Condition && SendMessageW(ctx->MainWindow, ZM_SET_RECORD_FILTER,
                                                       MAKEWPARAM(ctx->Display, 0), (LPARAM)item->Condition) != 0;
        else
            SendMessageW(ctx->MainWindow, ZM_SET_RECORD_FILTER, MAKEWPARAM(ctx->Display, 0), 0);
        if (filtered)
            item->Shapes = BuildRecordPointsShape(ctx->MainWindow, ctx->Display, item);
    }
    if (!item->Shapes) {
        if (IsGridItem(item))
            DrawGridLayerGl(item, ctx, item->InfoType == INFO_FINE_GRID);
        item->Rebuild = false;
        return;
    }
    if (ShapesToLoad(item))
        LoadItemShapes(item, ctx->MapFolder);
    const int count = item->Shapes->GetCount();
    if (item->Rebuild) {
        for (int i = 0; i < count; ++i)
            ((LayerShape*)item->Shapes->GetItems()[i])->Built = 0;
    }
    const LegendStyle& st = item->Style;
    const bool lines = st.StyleType == STYLE_LINE || st.StyleType == STYLE_AREA;
    if (lines && count > 0 && !item->ListBase) {
        item->ListBase = glGenLists(3);
        item->ListCount = item->ListBase ? 3 : 0;
        for (int i = 0; i < count; ++i)
            ((LayerShape*)item->Shapes->GetItems()[i])->InLayerLists = 0;
    }
    std::vector<LayerShape*> shown;
    for (int i = 0; i < count; ++i)
        DrawLayerGl(item, tess, (LayerShape*)item->Shapes->GetItems()[i], ctx, &shown);
    if (lines)
        DrawLayerGeometry(item, ctx, shown);
    item->Rebuild = false;
}

void RenderLegendGl(const MapRenderContext* ctx, int swap)
{
    const int count = (int)SendMessageW(ctx->Legend, LVM_GETITEMCOUNT, 0, 0);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    glClearColor(GetRValue(window) / 255.0f, GetGValue(window) / 255.0f, GetBValue(window) / 255.0f, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(ctx->Left, ctx->Right, ctx->Bottom, ctx->Top, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_POLYGON_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    GLUtesselator* tess = gluNewTess();
    if (tess) {
        gluTessCallback(tess, GLU_TESS_VERTEX_DATA, (void(CALLBACK*)())TessVertex);
        gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, (void(CALLBACK*)())TessEdgeFlag);
        gluTessCallback(tess, GLU_TESS_ERROR, (void(CALLBACK*)())TessError);
        gluTessCallback(tess, GLU_TESS_COMBINE_DATA, (void(CALLBACK*)())TessCombine);
        gluTessNormal(tess, 0, 0, 1);
        gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
        for (int i = count - 1; i >= 0; --i) {
            if (!LegendItemChecked(ctx->Legend, i))
                continue;
            RenderLegendItemGl(LegendItemAt(ctx->Legend, i), tess, ctx);
        }
        gluDeleteTess(tess);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glFlush();
    if (swap)
        SwapBuffers(ctx->Dc);
    SendMessageW(ctx->MainWindow, ZM_SET_RECORD_FILTER, MAKEWPARAM(ctx->Display, 0), 0);
}

// ---- drawing into another context ----

struct OffscreenLayers::Saved
{
    LegendItem* Item;
    UINT ListBase;
    int ListCount;
    bool Rebuild;
};

namespace {

// The item's runs (and what is made of them) are made again at its next drawing, for that
// drawing's scale; its records and shapes stay as they are.
void RemakeRuns(LegendItem* item)
{
    for (int i = 0; item->Shapes && i < item->Shapes->GetCount(); ++i) {
        LayerShape* entry = (LayerShape*)item->Shapes->GetItems()[i];
        if (entry) {
            entry->Built = 0;
            entry->InLayerLists = 0;
        }
    }
}

}  // namespace

OffscreenLayers::OffscreenLayers(HWND legend) : legend_(legend), saved_(nullptr), count_(0)
{
    const int n = (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0);
    if (n <= 0)
        return;
    saved_ = new Saved[n];
    for (int i = 0; i < n; ++i) {
        LegendItem* item = LegendItemAt(legend, i);
        if (!item)
            continue;
        saved_[count_++] = {item, item->ListBase, item->ListCount, item->Rebuild};
        item->ListBase = 0;
        item->ListCount = 0;
        // The records already fetched are drawn again as they are: a picture fetches them only
        // when the view has not done so since they were last marked.
        RemakeRuns(item);
    }
}

OffscreenLayers::~OffscreenLayers()
{
    End();
}

void OffscreenLayers::End()
{
    if (!saved_)
        return;
    for (int i = 0; i < count_; ++i) {
        LegendItem* item = saved_[i].Item;
        DeleteItemLists(item);  // the other context's, while it is current
        item->ListBase = saved_[i].ListBase;
        item->ListCount = saved_[i].ListCount;
        // The runs now fit the other drawing: the view makes them again (and its lists); what
        // the view still had to fetch or rebuild, it still has.
        RemakeRuns(item);
        item->Rebuild = item->Rebuild || saved_[i].Rebuild;
    }
    delete[] saved_;
    saved_ = nullptr;
    count_ = 0;
}
