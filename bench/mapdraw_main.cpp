// The map view at 1600 x 1200 with the benchmark layers (2,000 polygons of 1,500,000 vertices, a
// tenth with holes, and lines of 300,000 vertices), the sample layers and the fine KFME grid, and
// the 1,000,000 records of a selection:
//   1. reading every shape, beside a raw read of the same bytes;
//   2. the first paint (reading, thinning, tessellation, display lists), then a rebuild alone;
//   3. a redraw without rebuild, beside the same triangles drawn in one call;
//   4. a zoom-in step at 1:100,000, which rebuilds every layer, beside a redraw at that scale;
//   5. the selection's points fetched through the database object, beside a raw ODBC select of
//      the same coordinates; their thinning, snapping and grouping into cells, beside one pass
//      over them; the grid-square map and the default circles redrawn, beside the map without
//      records (and one stencilled symbol per record, measured on 20,000 and scaled up).
//   mapdraw_bench.exe <database path> [-n <records>] [--runs <count>]
// A missing database is made with "ZorSampleDb -o <path> -n <records>" (1,000,000 by default).
// It shows a window of 1600 x 1200 pixels for its map: run it on a virtual display that large,
//   xvfb-run -a -s "-screen 0 1920x1200x24" scripts/wine-run.sh build/bin/mapdraw_bench.exe ...
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <sql.h>
#include <sqlext.h>

#include <cmath>
#include <memory>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "bench/benchmap.h"
#include "tools/testkit/rawodbc.h"
#include "shellcontract/zm_protocol.h"
#include "map/glrender.h"
#include "map/legend.h"
#include "map/mapunits.h"
#include "map/mapwnd.h"
#include "map/pointgroups.h"
#include "resources/zorna/resource.h"
#include "tools/samplemap/samplemap.h"

namespace {

const int kViewWidth = 1600, kViewHeight = 1200;
int g_runs = 5;

void Report(const char* what, double ms, const char* baselineWhat, double baseline, double targetMs)
{
    printf("%-46s %9.1f ms   %-40s %9.1f ms   target %s%.0f ms\n", what, ms, baselineWhat, baseline,
           ms < targetMs ? "met, under " : "MISSED, under ", targetMs);
    fflush(stdout);
}

double ReadLayerMs(const std::wstring& path, long long* shapes)
{
    double t = NowMs();
    SHPHandle h = SHPOpenW(path.c_str(), "rb");
    int count = 0;
    SHPGetInfo(h, &count, nullptr, nullptr, nullptr);
    for (int i = 0; i < count; ++i) {
        SHPObject* s = SHPReadObject(h, i);
        *shapes += s ? 1 : 0;
        SHPDestroyObject(s);
    }
    SHPClose(h);
    return NowMs() - t;
}

double RawReadMs(const std::wstring& path, long long* bytes)
{
    double t = NowMs();
    for (const wchar_t* ext : {L".shp", L".shx"}) {
        std::wstring file = path.substr(0, path.size() - 4) + ext;
        HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        LARGE_INTEGER size = {};
        GetFileSizeEx(h, &size);
        std::vector<char> data((size_t)size.QuadPart);
        DWORD read = 0;
        ReadFile(h, data.data(), (DWORD)data.size(), &read, nullptr);
        *bytes += read;
        CloseHandle(h);
    }
    return NowMs() - t;
}

// The triangles the polygon layers' display lists hold, collected once and drawn in one call.
std::vector<double> g_triangles;
GLenum g_mode = 0;
std::vector<double> g_primitive;
void CALLBACK CollectBegin(GLenum mode)
{
    g_mode = mode;
    g_primitive.clear();
}
void CALLBACK CollectVertex(void* v)
{
    g_primitive.push_back(((double*)v)[0]);
    g_primitive.push_back(((double*)v)[1]);
}
void CALLBACK CollectEnd()
{
    const size_t n = g_primitive.size() / 2;
    for (size_t i = 2; i < n; ++i) {
        size_t a = g_mode == GL_TRIANGLES ? i - 2 : g_mode == GL_TRIANGLE_FAN ? 0 : i - 2, b = i - 1, c = i;
        if (g_mode == GL_TRIANGLES && (i % 3) != 2)
            continue;
        for (size_t k : {a, b, c}) {
            g_triangles.push_back(g_primitive[2 * k]);
            g_triangles.push_back(g_primitive[2 * k + 1]);
        }
    }
}
std::vector<std::vector<double>> g_combined;
void CALLBACK CollectCombine(GLdouble c[3], void* [4], GLfloat[4], void** out)
{
    g_combined.push_back({c[0], c[1], 0});
    *out = g_combined.back().data();
}

void CollectTriangles(HWND legend)
{
    GLUtesselator* tess = gluNewTess();
    gluTessCallback(tess, GLU_TESS_BEGIN, (void(CALLBACK*)())CollectBegin);
    gluTessCallback(tess, GLU_TESS_VERTEX, (void(CALLBACK*)())CollectVertex);
    gluTessCallback(tess, GLU_TESS_END, (void(CALLBACK*)())CollectEnd);
    gluTessCallback(tess, GLU_TESS_COMBINE, (void(CALLBACK*)())CollectCombine);
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0, 0, 1);
    for (int i = 0; i < (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0); ++i) {
        LegendItem* item = LegendItemAt(legend, i);
        if (!item || !item->Shapes || item->Style.StyleType != STYLE_AREA || !LegendItemChecked(legend, i))
            continue;
        for (int s = 0; s < item->Shapes->GetCount(); ++s) {
            LayerShape* e = (LayerShape*)item->Shapes->GetItems()[s];
            std::vector<std::vector<double>> copies;
            g_combined.clear();
            g_combined.reserve(100000);
            gluTessBeginPolygon(tess, nullptr);
            for (int r = 0; r < e->Runs->GetCount(); ++r) {
                const double* run = (const double*)e->Runs->GetItems()[r];
                int n = e->RunCounts->GetItems()[r];
                copies.emplace_back((size_t)n * 3);
                gluTessBeginContour(tess);
                for (int v = 0; v + 1 < n; ++v) {
                    double* p = &copies.back()[3 * (size_t)v];
                    p[0] = run[2 * v];
                    p[1] = run[2 * v + 1];
                    gluTessVertex(tess, p, p);
                }
                gluTessEndContour(tess);
            }
            gluTessEndPolygon(tess);
        }
    }
    gluDeleteTess(tess);
}

// The raw select of the same coordinates as the search list's points, through ODBC directly.
double RawCoordinatesMs(const std::wstring& path, long long* rows)
{
    zor::RawOdbc raw;
    if (!raw.Open(path, false))
        return -1;
    double t = NowMs();
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, raw.Handle(), &stmt);
    // The same rows as the selection's list (all records, from the records view), the records
    // without a publication.
    std::wstring sql = L"SELECT LONGITUDE, LATITUDE FROM COLLECTVIEW WHERE IFNULL(LITID, 0) < 1";
    SQLExecDirectW(stmt, (SQLWCHAR*)sql.c_str(), SQL_NTS);
    double x = 0, y = 0;
    SQLLEN nx = 0, ny = 0;
    SQLBindCol(stmt, 1, SQL_C_DOUBLE, &x, 0, &nx);
    SQLBindCol(stmt, 2, SQL_C_DOUBLE, &y, 0, &ny);
    std::vector<double> xs, ys;
    while (SQL_SUCCEEDED(SQLFetch(stmt))) {
        xs.push_back(x);
        ys.push_back(y);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    *rows = (long long)xs.size();
    return NowMs() - t;
}


}  // namespace

int main()
{
    std::wstring dbPath;
    int code = ReadBenchArgs({{L"--runs", &g_runs, 3}}, PathWords::FirstOnly, stderr,
                             "usage: mapdraw_bench <database path> [-n <records>] [--runs <count>]\n", &dbPath);
    if (code)
        return code;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"zor_mapdraw_bench";
    zor::SampleMapOptions options;
    options.Benchmark = true;
    double t = NowMs();
    std::vector<zor::SampleLayerSummary> layers;
    std::wstring error;
    if (!zor::WriteSampleMap(folder, options, &layers, &error)) {
        fprintf(stderr, "cannot write the map layers: %ls\n", error.c_str());
        return 1;
    }
    printf("map layers written in %.0f ms into %ls\n", NowMs() - t, folder.c_str());
    long long vertices = 0;
    for (const auto& l : layers)
        vertices += l.Vertices;
    printf("%zu layers, %lld vertices\n\n", layers.size(), vertices);

    // 1. Reading every shape.
    {
        std::vector<double> ours, raw;
        long long shapes = 0, bytes = 0;
        for (int r = 0; r < g_runs; ++r) {
            double a = 0, b = 0;
            shapes = bytes = 0;
            for (const auto& l : layers) {
                a += ReadLayerMs(folder + L"\\" + l.File, &shapes);
                b += RawReadMs(folder + L"\\" + l.File, &bytes);
            }
            ours.push_back(a);
            raw.push_back(b);
        }
        printf("%lld shapes, %.1f MB\n", shapes, bytes / 1048576.0);
        Report("reading every shape", Median(ours), "raw read of the same bytes", Median(raw), 200);
        printf("%-46s %9.2f x   (target within 3 x)\n", "  reading / raw read", Median(ours) / Median(raw));
    }

    std::unique_ptr<MapBenchHost> hostOwner(new MapBenchHost(kViewWidth, kViewHeight));
    MapBenchHost& host = *hostOwner;
    LegendItem* records = host.AddSampleLayers(folder);
    printf("\nview %dx%d at 1:%.0f\n", kViewWidth, kViewHeight, host.Map->MapScale);

    // 2. First paint, then a rebuild of the loaded shapes alone.
    double first = host.Paint();
    host.Map->InvalidateLayers(0);
    double rebuild = host.Paint();
    double redraw = host.MedianPaint(g_runs);
    Report("first paint (reading, thinning, tessellating)", first, "redraw without rebuild", redraw, 1000);
    Report("rebuild of the loaded layers", rebuild, "redraw without rebuild", redraw, 1000);

    // 3. The same triangles in one call.
    double oneCall = 0;
    {
        HDC dc = GetDC(host.Map->View);
        HDC target = host.Map->BeginViewDrawing(dc, kViewWidth, kViewHeight);
        CollectTriangles(host.Legend);
        MapRenderContext ctx;
        host.Map->FillRenderContext(&ctx, target, kViewWidth, kViewHeight);
        std::vector<double> v;
        for (int r = 0; r < g_runs; ++r) {
            double s = NowMs();
            glClear(GL_COLOR_BUFFER_BIT);
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            glOrtho(ctx.Left, ctx.Right, ctx.Bottom, ctx.Top, -1, 1);
            glEnableClientState(GL_VERTEX_ARRAY);
            glVertexPointer(2, GL_DOUBLE, 0, g_triangles.data());
            glDrawArrays(GL_TRIANGLES, 0, (GLsizei)(g_triangles.size() / 2));
            glFinish();
            v.push_back(NowMs() - s);
        }
        oneCall = Median(v);
        host.Map->EndViewDrawing(dc, kViewWidth, kViewHeight);
        ReleaseDC(host.Map->View, dc);
        printf("(%zu triangles of the polygon layers)\n", g_triangles.size() / 6);
    }
    Report("redraw without rebuild", redraw, "the same triangles in one call", oneCall, 100);
    // Where a redraw goes: each layer alone, and the empty view.
    for (int only = 0; only <= host.Count(); ++only) {
        for (int i = 0; i < host.Count(); ++i)
            host.Check(i, i == only);
        double ms = host.MedianPaint(g_runs);
        printf("  redraw of %-24ls %7.1f ms\n", only < host.Count() ? LegendItemAt(host.Legend, only)->Title : L"nothing",
               ms);
    }
    for (int i = 0; i < host.Count(); ++i)
        host.Check(i, i != 0);

    // 4. A zoom-in step at 1:100,000.
    host.Map->SetScaleKeepingCentre(100000 * std::sqrt(2.0));
    host.Map->InvalidateLayers(0);
    host.Paint();
    host.Map->ZoomAtPoint(kViewWidth / 2, kViewHeight / 2, 1);
    double zoom = host.Paint();
    double zoomRedraw = host.MedianPaint(g_runs);
    printf("scale now 1:%.0f\n", host.Map->MapScale);
    Report("zoom-in step at 1:100,000 (rebuilds)", zoom, "redraw at that scale", zoomRedraw, 2000);
    host.Map->ZoomToExtent();
    host.Map->InvalidateLayers(0);
    host.Paint();

    // 5. The selection of 1,000,000 records.
    CDatabase db(host.Main, GetModuleHandleW(nullptr));
    ConnSettings settings = {};
    if (!OpenDatabase(db, &settings, dbPath)) {
        fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    g_mapBenchDb = &db;
    host.Map->Display = 1;  // the map shows the selection (the search list)
    ListQuery all = {3, 0, nullptr, 0, 0, 0, nullptr};
    t = NowMs();
    db.QueryAllRecords(0, &all);
    printf("\nselection of %d records opened in %.0f ms\n", all.RowCount, NowMs() - t);
    std::vector<double> fetch, raw;
    long long rawRows = 0;
    int n = 0;
    double* points[2] = {nullptr, nullptr};
    for (int r = 0; r < std::min(g_runs, 3); ++r) {
        free(points[0]);
        free(points[1]);
        t = NowMs();
        n = db.GetRecordCoordinates(1, 0, points);
        fetch.push_back(NowMs() - t);
        raw.push_back(RawCoordinatesMs(dbPath, &rawRows));

    }
    printf("%d points (raw select %lld rows)\n", n, rawRows);
    Report("points of the selection fetched", Median(fetch), "raw ODBC select of them", Median(raw),
           1.5 * Median(raw));

    {
        MapRenderContext ctx;
        host.Map->FillRenderContext(&ctx, nullptr, kViewWidth, kViewHeight);
        std::vector<double> group, pass;
        for (int r = 0; r < g_runs; ++r) {
            t = NowMs();
            double* run = nullptr;
            int kept = ThinPolyline(n, ctx.UnitsPerPixel, ctx.CentreLat, ctx.YFactor, points[0], points[1], &run, 0);
            CPtrArray runs(PTRARRAY_OWNS_ITEMS, 1, 1);
            CIntArray counts(1, 1);
            runs.Add(run);
            counts.Add(kept);
            PointGroups* g = GroupPoints(&runs, &counts, &host.Kfme, 1, ctx.CentreLat, ctx.YFactor);
            group.push_back(NowMs() - t);
            if (r == 0)
                printf("%d points thinned to %d, in %d fine cells\n", n, kept, g ? g->Count : 0);
            FreePointGroups(g);
            t = NowMs();
            double sum = 0;
            for (int i = 0; i < n; ++i)
                sum += points[0][i] + points[1][i];
            pass.push_back(NowMs() - t + (sum == 0.5 ? 1 : 0));
        }
        Report("thinning, snapping, grouping into cells", Median(group), "one pass over the points", Median(pass), 100);
    }
    free(points[0]);
    free(points[1]);

    // The record layer on the map: filled fine squares, then default circles.
    host.Check(0, true);
    records->Style.Fill = true;
    records->Style.FullCell = true;
    records->Style.FillColor = RGB(200, 30, 30);
    records->Style.FillTransp = 40;
    records->Rebuild = true;
    double withFetch = host.Paint();
    double squares = host.MedianPaint(g_runs);
    host.Check(0, false);
    double mapOnly = host.MedianPaint(g_runs);
    printf("first paint with the records fetched and grouped: %.0f ms\n", withFetch);
    Report("grid-square map redraw (whole map)", squares, "the map without records", mapOnly, 100 + mapOnly);
    // The record layer alone (the other layers unchecked).
    for (int i = 1; i < host.Count(); ++i)
        host.Check(i, i == 1);
    host.Check(0, true);
    double squaresAlone = host.MedianPaint(g_runs);
    host.Check(0, false);
    double gridAlone = host.MedianPaint(g_runs);
    Report("grid-square records alone", squaresAlone, "the fine grid alone", gridAlone, 100);

    LegendStyle circles;
    DefaultInfoStyle(INFO_RECORDS, &circles);
    records->Style = circles;
    records->Rebuild = true;
    host.Check(1, false);  // no grid shown: circles at the localities
    host.Check(0, true);
    double circlesFirst = host.Paint();
    double circlesAlone = host.MedianPaint(g_runs);
    printf("first paint of the circles (fetch and grouping): %.0f ms\n", circlesFirst);
    // One stencilled symbol per record, on 20,000 of them, scaled to the whole selection.
    double perRecord = 0;
    {
        HDC dc = GetDC(host.Map->View);
        HDC target = host.Map->BeginViewDrawing(dc, kViewWidth, kViewHeight);
        MapRenderContext ctx;
        host.Map->FillRenderContext(&ctx, target, kViewWidth, kViewHeight);
        double* pts[2] = {nullptr, nullptr};
        int m = std::min(20000, db.GetRecordCoordinates(1, 0, pts));
        glEnableClientState(GL_VERTEX_ARRAY);
        t = NowMs();
        for (int i = 0; i < m; ++i)
            DrawPointSymbolGl(&circles, pts[0][i], ctx.CentreLat + (pts[1][i] - ctx.CentreLat) / ctx.YFactor, &ctx, 0,
                              nullptr, 1);
        glFinish();
        perRecord = (NowMs() - t) * (m ? (double)n / m : 0);
        free(pts[0]);
        free(pts[1]);
        host.Map->EndViewDrawing(dc, kViewWidth, kViewHeight);
        ReleaseDC(host.Map->View, dc);
    }
    Report("default circles alone, redraw", circlesAlone, "one symbol per record (scaled)", perRecord, 250);
    for (int i = 1; i < host.Count(); ++i)
        host.Check(i, i != 1);
    double circlesMap = host.MedianPaint(g_runs);
    Report("default circles with the map, redraw", circlesMap, "the map without records", mapOnly, 250 + mapOnly);

    g_mapBenchDb = nullptr;
    db.Close();
    free(settings.DBName);
    hostOwner.reset();
    // The folder of map layers goes away with the run.
    SHFILEOPSTRUCTW op = {};
    std::wstring from = folder + L'\0';
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
    CoUninitialize();
    return 0;
}
