// The OpenGL renderer, read back pixel by pixel: layer order, holes, grid lines, contexts,
// damaged files and the grouped drawing of many records.
#include <windows.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

#include "map/gldraw.h"
#include "map/mapunits.h"
#include "map/pointgroups.h"
#include "tests/map/maphost.h"
#include "tests/support/wintest.h"

using namespace maptest;

namespace {

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kGreen = RGB(0, 160, 0);

POINT PixelOfMap(const CZMapWnd* map, double x, double y)
{
    const double yc = (map->MaxY + map->MinY) / 2;
    const double ys = yc + (y - yc) / map->YFactor;
    return {(LONG)std::floor((x - map->XCorner) / map->UnitsPerPixel),
            (LONG)std::floor((map->YCorner - ys) / map->UnitsPerPixel)};
}

COLORREF PixelAtMap(const MapHost& host, const std::vector<unsigned>& rgba, double x, double y)
{
    POINT p = PixelOfMap(host.Map, x, y);
    return host.PixelOf(rgba, p.x, p.y);
}

std::vector<double> Square(double x0, double y0, double x1, double y1)
{
    return {x0, y0, x0, y1, x1, y1, x1, y0, x0, y0};  // clockwise: an outer ring
}

void FillStyle(LegendItem* item, COLORREF colour)
{
    item->Style.Fill = true;
    item->Style.FillColor = colour;
    item->Style.Border = false;
}

// A host showing the extent (13, 48) to (18, 53), fitted into the view.
struct Scene {
    MapHost host{400, 300};
    wintest::ScopedTempFolder folder{L"render_scene"};
    Scene()
    {
        wcscpy(host.Map->MapPath, folder.Path().c_str());
        host.Map->SetExtent(13, 48, 18, 53);
        host.Map->ZoomToExtent();
    }
    LegendItem* Layer(const wchar_t* name, int type, const std::vector<shpw::Shape>& shapes, bool checked = true)
    {
        EXPECT_TRUE(WriteLayer(folder.Path(), name, type, shapes));
        LegendItem* item = LayerItem(folder.Path(), name);
        host.AddItem(item, checked);
        return item;
    }
    std::vector<unsigned> Bitmap()
    {
        GlBitmap target;
        EXPECT_TRUE(host.RenderToBitmap(&target));
        return TopDown(target);
    }
};

}  // namespace

TEST(Renderer, UncheckedLayersLeaveTheWindowColour)
{
    Scene s;
    LegendItem* a = s.Layer(L"a", SHPT_POLYGON, {MakeShape(SHPT_POLYGON, {Square(14, 49, 17, 52)})}, false);
    FillStyle(a, kRed);
    std::vector<unsigned> rgba = s.Bitmap();
    EXPECT_EQ((int)rgba.size(), CountNear(rgba, GetSysColor(COLOR_WINDOW), 0));
}

TEST(Renderer, TheHigherLayerCoversTheLowerOne)
{
    Scene s;
    FillStyle(s.Layer(L"upper", SHPT_POLYGON, {MakeShape(SHPT_POLYGON, {Square(14, 49, 16, 51)})}), kRed);
    FillStyle(s.Layer(L"lower", SHPT_POLYGON, {MakeShape(SHPT_POLYGON, {Square(15, 50, 17, 52)})}), kBlue);
    std::vector<unsigned> rgba = s.Bitmap();
    EXPECT_EQ(kRed, PixelAtMap(s.host, rgba, 15.5, 50.5));
    EXPECT_EQ(kRed, PixelAtMap(s.host, rgba, 14.5, 49.5));
    EXPECT_EQ(kBlue, PixelAtMap(s.host, rgba, 16.5, 51.5));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), PixelAtMap(s.host, rgba, 13.5, 52.5));
}

TEST(Renderer, FillAndHatchingStayOutOfAHole)
{
    Scene s;
    // The outer ring clockwise, the hole counter-clockwise.
    LegendItem* item = s.Layer(L"hole", SHPT_POLYGON,
                               {MakeShape(SHPT_POLYGON, {Square(14, 49, 17, 52), {15, 50, 16, 50, 16, 51, 15, 51, 15, 50}})});
    FillStyle(item, kBlue);
    item->Style.FillTransp = 50;
    item->Style.Pattern = true;
    item->Style.PatternColor = kGreen;
    item->Style.PatternSize = 0.5;
    item->Style.PatternWidth = 2.0;
    std::vector<unsigned> rgba = s.Bitmap();
    // Inside the hole only the window colour; inside the ring the fill and the hatching.
    POINT a = PixelOfMap(s.host.Map, 15.05, 50.95), b = PixelOfMap(s.host.Map, 15.95, 50.05);
    int hatched = 0, filled = 0;
    for (int y = a.y; y <= b.y; ++y)
        for (int x = a.x; x <= b.x; ++x)
            EXPECT_EQ(GetSysColor(COLOR_WINDOW), s.host.PixelOf(rgba, x, y)) << x << "," << y;
    POINT c = PixelOfMap(s.host.Map, 14.05, 51.95), d = PixelOfMap(s.host.Map, 14.95, 49.05);
    for (int y = c.y; y <= d.y; ++y)
        for (int x = c.x; x <= d.x; ++x) {
            COLORREF p = s.host.PixelOf(rgba, x, y);
            hatched += GetGValue(p) > 100 && GetBValue(p) < 100;
            filled += GetBValue(p) > 200 && GetRValue(p) > 100;  // half blue over white
        }
    EXPECT_GT(hatched, 20);
    EXPECT_GT(filled, 200);
}

TEST(Renderer, TheTopLineOfAGridIsDrawn)
{
    Scene s;
    GridDef grid = {};
    wcscpy(grid.Name, L"Síť");
    grid.LatMin = 48.0;
    grid.LatMax = 51.3;  // 33 rows, though (51.3 - 48.0) / 0.1 is 32.99999999999997
    grid.LatCoarseStep = 0.1;
    grid.LonMin = 13.5;
    grid.LonMax = 17.5;
    grid.LonCoarseStep = 1.0;
    s.host.SelectGrid(&grid);
    LegendItem* item = NewInfoLegendItem(L"Síť", nullptr, INFO_GRID, 16, 16, nullptr);
    item->Style.BorderColor = kBlue;
    item->Style.BorderWidth = 0.5;
    s.host.AddItem(item, true);
    std::vector<unsigned> rgba = s.Bitmap();
    POINT top = PixelOfMap(s.host.Map, 15.5, 51.3);
    int dark = 0;
    for (int dy = -1; dy <= 1; ++dy)
        dark += GetRValue(s.host.PixelOf(rgba, top.x, top.y + dy)) < 128;
    EXPECT_GT(dark, 0) << "no line at 51.3";
    POINT above = PixelOfMap(s.host.Map, 15.5, 51.4);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), s.host.PixelOf(rgba, above.x, above.y));
    // A fine grid layer of a grid without fine steps draws nothing.
    item->InfoType = INFO_FINE_GRID;
    rgba = s.Bitmap();
    EXPECT_EQ((int)rgba.size(), CountNear(rgba, GetSysColor(COLOR_WINDOW), 0));
}

TEST(Renderer, TheScreenKeepsItsLayersAcrossAnotherContext)
{
    Scene s;
    FillStyle(s.Layer(L"a", SHPT_POLYGON, {MakeShape(SHPT_POLYGON, {Square(14, 49, 16, 51)})}), kRed);
    FillStyle(s.Layer(L"b", SHPT_POLYGON, {MakeShape(SHPT_POLYGON, {Square(16, 50, 17, 52)})}), kBlue);
    for (int round = 0; round < 2; ++round) {
        std::vector<unsigned> screen = s.host.RenderOnScreen();
        ASSERT_FALSE(screen.empty());
        EXPECT_EQ(kRed, PixelAtMap(s.host, screen, 15, 50)) << "screen, round " << round;
        EXPECT_EQ(kBlue, PixelAtMap(s.host, screen, 16.5, 51)) << "screen, round " << round;
        std::vector<unsigned> other = s.Bitmap();
        EXPECT_EQ(kRed, PixelAtMap(s.host, other, 15, 50)) << "bitmap, round " << round;
        EXPECT_EQ(kBlue, PixelAtMap(s.host, other, 16.5, 51)) << "bitmap, round " << round;
    }
    std::vector<unsigned> screen = s.host.RenderOnScreen();
    EXPECT_EQ(kRed, PixelAtMap(s.host, screen, 15, 50));
    EXPECT_EQ(kBlue, PixelAtMap(s.host, screen, 16.5, 51));
}

// A layer's shapes are drawn together from lists kept between paints: a pan or a zoom out,
// which builds nothing again, must still show the shapes that come into view.
TEST(Renderer, ShapesComingIntoViewAreFilledAfterAPanAndAZoomOut)
{
    Scene s;
    LegendItem* item = s.Layer(L"two", SHPT_POLYGON,
                               {MakeShape(SHPT_POLYGON, {Square(13.5, 50, 14, 50.5)}),
                                MakeShape(SHPT_POLYGON, {Square(17, 50, 17.5, 50.5)})});
    FillStyle(item, kRed);
    item->Style.Border = true;
    item->Style.BorderColor = kBlue;
    auto inView = [&](double x, double y) {
        POINT p = PixelOfMap(s.host.Map, x, y);
        return p.x >= 0 && p.x < s.host.Width && p.y >= 0 && p.y < s.host.Height;
    };
    POINT a = PixelOfMap(s.host.Map, 13.75, 50.25);
    s.host.Map->ZoomAtPoint(a.x, a.y, 1);
    s.host.Map->ZoomAtPoint(a.x, a.y, 1);
    ASSERT_TRUE(inView(13.75, 50.25));
    ASSERT_FALSE(inView(17.25, 50.25));
    std::vector<unsigned> screen = s.host.RenderOnScreen();
    EXPECT_EQ(kRed, PixelAtMap(s.host, screen, 13.75, 50.25));
    s.host.Map->XCorner += 17.25 - 13.75;  // a pan to the other square
    ASSERT_TRUE(inView(17.25, 50.25));
    ASSERT_FALSE(inView(13.75, 50.25));
    screen = s.host.RenderOnScreen();
    EXPECT_EQ(kRed, PixelAtMap(s.host, screen, 17.25, 50.25));
    POINT centre = {s.host.Width / 2, s.host.Height / 2};
    s.host.Map->ZoomAtPoint(centre.x, centre.y, 0);
    s.host.Map->ZoomAtPoint(centre.x, centre.y, 0);
    s.host.Map->ZoomAtPoint(centre.x, centre.y, 0);
    ASSERT_TRUE(inView(13.75, 50.25) && inView(17.25, 50.25));
    screen = s.host.RenderOnScreen();
    EXPECT_EQ(kRed, PixelAtMap(s.host, screen, 13.75, 50.25));
    EXPECT_EQ(kRed, PixelAtMap(s.host, screen, 17.25, 50.25));
    // The outline over the fill: blue at the first square's left edge.
    POINT edge = PixelOfMap(s.host.Map, 13.5, 50.25);
    int blue = 0;
    for (int x = edge.x - 1; x <= edge.x + 1; ++x)
        blue = std::max(blue, (int)GetBValue(s.host.PixelOf(screen, x, edge.y)));
    EXPECT_GT(blue, 100);
}

// A picture drawn beside the view (a print, a bitmap) draws the records the view fetched: they
// are fetched once for both. Records the view was still to fetch are fetched for the picture
// and stay to be fetched for the view.
TEST(Renderer, APictureBesideTheViewDrawsTheRecordsTheViewFetched)
{
    Scene s;
    s.host.PointsX = {14.5, 16.5};
    s.host.PointsY = {50.5, 51.5};
    LegendItem* records = NewInfoLegendItem(L"Zápisy", nullptr, INFO_RECORDS, 16, 16, nullptr);
    records->Style.Fill = true;
    records->Style.FillColor = kRed;
    records->Style.SymbSize = 4;
    s.host.AddItem(records, true);
    auto red = [&](const std::vector<unsigned>& rgba) {
        return rgba.size() - CountNear(rgba, GetSysColor(COLOR_WINDOW), 0) > 10 &&
               GetGValue(PixelAtMap(s.host, rgba, 14.5, 50.5)) < 100;
    };
    const struct {
        const char* step;
        bool markRecords;
        bool picture;
        size_t fetches;
    } steps[] = {{"the first view", false, false, 1},    {"a picture", false, true, 1},
                 {"the view again", false, false, 1},    {"a picture of marked records", true, true, 2},
                 {"the view after it", false, false, 3}, {"the view again", false, false, 3}};
    for (const auto& step : steps) {
        if (step.markRecords)
            s.host.Map->InvalidateLayers(1);
        std::vector<unsigned> rgba = step.picture ? s.Bitmap() : s.host.RenderOnScreen();
        EXPECT_EQ(step.fetches, s.host.PointRequests.size()) << step.step;
        EXPECT_TRUE(red(rgba)) << step.step;
    }
}

TEST(Renderer, DamagedRecordsAreSkippedAndTheRestDrawn)
{
    Scene s;
    shpw::Bytes bytes = shpw::WriteShapefile(
        SHPT_POLYGON, {MakeShape(SHPT_POLYGON, {Square(13.5, 49, 14.5, 50)}), MakeShape(SHPT_POLYGON, {Square(15, 49, 16, 50)}),
                       shpw::Shape(), MakeShape(SHPT_POLYGON, {Square(16.5, 49, 17.5, 50)})});
    // The second record's index entry points outside the file.
    bytes.Shx[100 + 8] = 0x40;
    ASSERT_TRUE(shpw::WriteFileBytes(s.folder.File(L"bad.shp"), bytes.Shp));
    ASSERT_TRUE(shpw::WriteFileBytes(s.folder.File(L"bad.shx"), bytes.Shx));
    LegendItem* item = LayerItem(s.folder.Path(), L"bad");
    FillStyle(item, kRed);
    s.host.AddItem(item, true);
    std::vector<unsigned> rgba = s.Bitmap();
    EXPECT_EQ(kRed, PixelAtMap(s.host, rgba, 14, 49.5));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), PixelAtMap(s.host, rgba, 15.5, 49.5));
    EXPECT_EQ(kRed, PixelAtMap(s.host, rgba, 17, 49.5));
    ASSERT_EQ(3, item->Shapes->GetCount()) << "the record the file cannot give is only counted";
    EXPECT_EQ(1, item->NullShapes);
    EXPECT_EQ(0, ((LayerShape*)item->Shapes->GetItems()[1])->Shape->nVertices);
}

TEST(Renderer, OutOfRangeStylesDrawNothingAndReturn)
{
    Scene s;
    LegendItem* poly = s.Layer(L"p", SHPT_POLYGON, {MakeShape(SHPT_POLYGON, {Square(14, 49, 17, 52)})});
    poly->Style.Pattern = true;
    poly->Style.PatternWidth = 0;  // no spacing: no hatching, and no endless loop
    LegendItem* huge = s.Layer(L"m", SHPT_MULTIPOINT, {MakeShape(SHPT_MULTIPOINT, {{15, 50, 16, 51}})});
    huge->Style.SymbSize = 1e9;  // a circle of millions of vertices
    LegendItem* tiny = s.Layer(L"t", SHPT_MULTIPOINT, {MakeShape(SHPT_MULTIPOINT, {{15, 50}})});
    tiny->Style.SymbSize = 0.2;  // under 3 / (pi pixels per mm): no vertex
    LegendItem* unknown = s.Layer(L"s", SHPT_POINT, {MakeShape(SHPT_POINT, {{15.5, 50.5}})});
    unknown->Style.SymbShape = SYMBOL_STAR + 1;  // a shape no version has had
    GridDef grid = {};
    grid.LatMax = grid.LonMax = 90;
    grid.LatCoarseStep = grid.LonCoarseStep = 1e-6;  // ten billion cells
    s.host.SelectGrid(&grid);
    s.host.AddItem(NewInfoLegendItem(L"Síť", nullptr, INFO_GRID, 16, 16, nullptr), true);
    DWORD start = GetTickCount();
    std::vector<unsigned> rgba = s.Bitmap();
    EXPECT_LT(GetTickCount() - start, 20000u);
    // Only the polygon's outline is drawn.
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), PixelAtMap(s.host, rgba, 15.5, 50.5));
    EXPECT_GT((int)rgba.size() - CountNear(rgba, GetSysColor(COLOR_WINDOW), 0), 100);
}

namespace {

// The records' look drawn one symbol per record, each as the renderer draws a single symbol.
std::vector<unsigned> OneSymbolPerRecord(MapHost& host, const LegendStyle& style, const GridDef* grid, int fine,
                                         const std::pair<double, double>* kAt = nullptr, int* kCount = nullptr)
{
    GlBitmap target;
    EXPECT_TRUE(target.Create(nullptr, host.Width, host.Height));
    MapRenderContext ctx;
    host.Map->FillRenderContext(&ctx, target.Dc(), host.Width, host.Height);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    glClearColor(GetRValue(window) / 255.0f, GetGValue(window) / 255.0f, GetBValue(window) / 255.0f, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(ctx.Left, ctx.Right, ctx.Bottom, ctx.Top, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    // The record layer's run is thinned first, as every run is.
    double* run = nullptr;
    const int n = ThinPolyline((int)host.PointsX.size(), ctx.UnitsPerPixel, ctx.CentreLat, ctx.YFactor,
                               host.PointsX.data(), host.PointsY.data(), &run, 0);
    for (int i = 0; i < n; ++i) {
        double x = run[2 * i], y = run[2 * i + 1], cell[4];
        double size = grid ? SnapToGridCell(grid, ctx.CentreLat, ctx.YFactor, &x, &y, fine, cell) : 0;
        DrawPointSymbolGl(&style, x, y, &ctx, size, grid ? cell : nullptr, 1);
        if (kAt && x == kAt->first && y == kAt->second)
            ++*kCount;
    }
    free(run);
    glFinish();
    target.Finish();
    return TopDown(target);
}

struct Difference {
    int Pixels = 0;     // pixels differing by more than the tolerance
    int MaxLevels = 0;  // largest difference of one channel
};

Difference Compare(const std::vector<unsigned>& a, const std::vector<unsigned>& b, int tolerance)
{
    Difference d;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        int most = 0;
        for (int shift : {0, 8, 16})
            most = std::max(most, std::abs((int)((a[i] >> shift) & 0xFF) - (int)((b[i] >> shift) & 0xFF)));
        d.MaxLevels = std::max(d.MaxLevels, most);
        d.Pixels += most > tolerance;
    }
    return d;
}

}  // namespace

// Records on one spot are drawn once, as dark as all of them: the picture matches one symbol
// per record, as circles and as filled grid squares.
TEST(Renderer, GroupedRecordsLookLikeOneSymbolPerRecord)
{
    const double spots[][2] = {{14.0, 49.5}, {15.0, 50.5}, {16.0, 51.5}, {17.0, 49.2}, {14.5, 52.0}, {16.6, 48.6}};
    struct Case {
        const char* what;
        bool fill, border, grid;
        std::vector<int> counts;
    } cases[] = {
        {"translucent fill", true, false, false, {1, 2, 3, 5, 12, 40}},
        {"outlines", false, true, false, {1, 2, 3, 4, 2, 3}},
        {"fill under outlines", true, true, false, {1, 2, 3, 4, 4, 2}},
        {"grid squares", true, true, true, {1, 2, 3, 5, 12, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scene s;
        // Interleaved, as the records of a list come; the last ones of the largest spot follow
        // each other, and thinning keeps only the first of those.
        for (int r = 0; r < 40; ++r)
            for (size_t k = 0; k < c.counts.size(); ++k)
                if (r < c.counts[k]) {
                    s.host.PointsX.push_back(spots[k][0]);
                    s.host.PointsY.push_back(spots[k][1]);
                }
        GridDef grid = {};
        wcscpy(grid.Name, L"KFME");
        grid.LatMin = 48.5;
        grid.LatMax = 52.5;
        grid.LatCoarseStep = 0.1;
        grid.LonMin = 13.0;
        grid.LonMax = 18.0;
        grid.LonCoarseStep = 1.0 / 6;
        if (c.grid) {
            s.host.SelectGrid(&grid);
            LegendItem* lines = NewInfoLegendItem(L"Síť", nullptr, INFO_GRID, 16, 16, nullptr);
            lines->Style.Border = false;  // shown, but drawing no lines over the squares
            s.host.AddItem(lines, true);
        }
        LegendItem* records = NewInfoLegendItem(L"Zápisy", nullptr, INFO_RECORDS, 16, 16, nullptr);
        records->Style.SymbSize = 6;
        records->Style.BorderWidth = 0.4;
        records->Style.Fill = c.fill;
        records->Style.Border = c.border;
        records->Style.FullCell = c.grid;
        records->Style.FillColor = kRed;
        records->Style.FillTransp = 80;
        s.host.AddItem(records, true, 0);
        std::vector<unsigned> grouped = s.Bitmap();
        ASSERT_EQ(2u, s.host.Filters.size());
        EXPECT_EQ(L"<none>", s.host.Filters.back());  // the list's own filter again
        const double yc = (s.host.Map->MaxY + s.host.Map->MinY) / 2;
        std::pair<double, double> dense = {spots[5][0], yc + (spots[5][1] - yc) / s.host.Map->YFactor};
        int denseCount = 0;
        std::vector<unsigned> single = OneSymbolPerRecord(s.host, records->Style, c.grid ? &grid : nullptr, 0,
                                                          c.grid ? nullptr : &dense, &denseCount);
        int symbol = (int)single.size() - CountNear(single, GetSysColor(COLOR_WINDOW), 0);
        EXPECT_GT(symbol, 6 * 20);
        Difference d = Compare(grouped, single, 4);
        EXPECT_LE(d.Pixels, symbol / 200) << "largest difference " << d.MaxLevels;
        if (c.fill && !c.border) {
            // The largest spot is as dark as all its records' blends of 20 %.
            EXPECT_GE(denseCount, std::min(c.counts[5], 7));
            COLORREF pixel = PixelAtMap(s.host, grouped, spots[5][0], spots[5][1]);
            EXPECT_NEAR(255 * std::pow(0.8, denseCount), GetGValue(pixel), 3);
            EXPECT_EQ(255, GetRValue(pixel));
        }
    }
}
