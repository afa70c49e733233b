// Legend items: default styles, shapefile headers, thinning of vertex runs, the record points of
// a record layer and the extent of the shapefile layers.
#include <windows.h>
#include <psapi.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <fstream>
#include <gtest/gtest.h>

#include "shellcontract/zm_protocol.h"
#include "map/layershapes.h"
#include "map/legend.h"
#include "tests/map/maphost.h"
#include "tests/support/wintest.h"

using maptest::LayerItem;
using maptest::MakeShape;
using maptest::WriteLayer;

TEST(LegendItems, DefaultStylesFollowTheLayer)
{
    struct Case {
        int type;
        int style;
        double symbol;
    } shapes[] = {
        {SHPT_POLYGON, STYLE_AREA, 0.1},    {SHPT_POLYGONZ, STYLE_AREA, 0.1},  {SHPT_POLYGONM, STYLE_AREA, 0.1},
        {SHPT_ARC, STYLE_LINE, 0.1},        {SHPT_ARCZ, STYLE_LINE, 0.1},      {SHPT_ARCM, STYLE_LINE, 0.1},
        {SHPT_POINT, STYLE_SYMBOL, 2.6},    {SHPT_MULTIPOINT, STYLE_SYMBOL, 2.6}, {SHPT_MULTIPATCH, STYLE_SYMBOL, 2.6},
        {SHPT_NULL, STYLE_SYMBOL, 2.6},     {99, STYLE_SYMBOL, 2.6},
    };
    for (const Case& c : shapes) {
        LegendStyle s;
        DefaultShapeStyle(c.type, &s);
        EXPECT_EQ(c.style, s.StyleType) << c.type;
        EXPECT_EQ(c.symbol, s.SymbSize) << c.type;
        EXPECT_TRUE(s.Border);
        EXPECT_FALSE(s.Fill || s.Pattern || s.FullCell);
        EXPECT_EQ(RGB(255, 255, 255), s.FillColor);
        EXPECT_EQ(0.2, s.BorderWidth);
        EXPECT_EQ(45.0, s.PatternRotation);
        EXPECT_EQ(0, s.PatternType);
    }
    struct Info {
        int kind, style;
        double symbol;
    } infos[] = {{INFO_RECORDS, STYLE_SYMBOL, 2.6}, {INFO_LITERATURE, STYLE_SYMBOL, 2.6},
                 {INFO_GRID, STYLE_LINE, 0.1}, {INFO_FINE_GRID, STYLE_LINE, 0.1}};
    for (const Info& c : infos) {
        LegendItem* item = NewInfoLegendItem(L"Síť", nullptr, c.kind, 16, 16, nullptr);
        ASSERT_NE(nullptr, item);
        EXPECT_EQ(c.style, item->Style.StyleType);
        EXPECT_EQ(c.symbol, item->Style.SymbSize);
        EXPECT_EQ(-1, item->ImageIndex);
        EXPECT_TRUE(item->Rebuild);
        EXPECT_FALSE(IsShapeLayer(item));
        EXPECT_EQ(c.kind <= INFO_LITERATURE, IsRecordLayer(item));
        FreeLegendItem(item);
    }
}

// An arc file has shape type 3, the number of the fine grid kind: a shapefile is never a kind.
TEST(LegendItems, ShapefileLayersReadTheirHeaderByWidePath)
{
    wintest::ScopedTempFolder folder(L"legend_\u0160umava_\u5730");
    ASSERT_TRUE(WriteLayer(folder.Path(), L"řeky", SHPT_ARCZ,
                           {MakeShape(SHPT_ARCZ, {{12.5, 48.6, 13.0, 49.1}}), MakeShape(SHPT_ARCZ, {{14.0, 50.0, 15.0, 50.5}})}));
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 16, 4);
    HDC screen = GetDC(nullptr);
    LegendItem* item = NewShapeLegendItem(folder.Path().c_str(), L"řeky.shp", images, 16, 16, screen);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(nullptr, item);
    EXPECT_STREQ(L"řeky.shp", item->MapFile);
    EXPECT_STREQ(L"řeky", item->Title);
    EXPECT_EQ(2, item->ShapeCount);
    EXPECT_EQ(SHPT_ARCZ, item->InfoType);
    EXPECT_EQ(STYLE_LINE, item->Style.StyleType);
    EXPECT_EQ(12.5, item->BoundsMin[0]);
    EXPECT_EQ(50.5, item->BoundsMax[1]);
    EXPECT_TRUE(IsShapeLayer(item));
    EXPECT_FALSE(IsInfoLayer(item, INFO_FINE_GRID));
    EXPECT_EQ(0, item->ImageIndex);
    EXPECT_EQ(1, ImageList_GetImageCount(images));
    ASSERT_NE(nullptr, item->Shapes);
    EXPECT_EQ(0, item->Shapes->GetCount());

    // A file that no longer opens leaves what was read; the list is made anew.
    DeleteFileW(folder.File(L"řeky.shx").c_str());
    EXPECT_EQ(0, ReadShapeFileInfo(folder.Path().c_str(), L"řeky.shp", item));
    EXPECT_EQ(2, item->ShapeCount);
    EXPECT_EQ(0, item->FileOpened);
    ASSERT_NE(nullptr, item->Shapes);
    FreeLegendItem(item);
    ImageList_Destroy(images);
}

TEST(LegendItems, ThinningKeepsEndsAndVerticesFartherThanTheTolerance)
{
    // 1000 vertices 0.1 unit apart on a line, tolerance 1: a vertex stays when it lies more than
    // sqrt(3) = 1.732 from the last one kept, so every 18th (1.8 apart) stays.
    std::vector<double> x(1000), y(1000, 49.0);
    for (int i = 0; i < 1000; ++i)
        x[i] = i * 0.1;
    double* run = nullptr;
    int n = ThinPolyline(1000, 1.0, 49.0, 1.0, x.data(), y.data(), &run, 0);
    ASSERT_NE(nullptr, run);
    EXPECT_EQ(1 + 999 / 18 + 1, n);  // the first, every 18th up to 998.2... then the last
    EXPECT_EQ(0.0, run[0]);
    EXPECT_DOUBLE_EQ(1.8, run[2]);
    EXPECT_DOUBLE_EQ(99.9, run[2 * (n - 1)]);
    for (int i = 1; i + 1 < n; ++i)
        EXPECT_GT(run[2 * i] - run[2 * (i - 1)], std::sqrt(3.0));
    free(run);

    struct Case {
        int count, closed, expected;
    } cases[] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 1}, {1, 1, 2}, {2, 0, 2}, {2, 1, 3}, {5, 1, 6}};
    const double px[5] = {0, 0, 10, 10, 0}, py[5] = {50, 51, 51, 50, 50};
    for (const Case& c : cases) {
        n = ThinPolyline(c.count, 0.01, 50.0, 2.0, px, py, &run, c.closed);
        EXPECT_EQ(c.expected, n) << c.count << " closed " << c.closed;
        EXPECT_EQ(c.count == 0, run == nullptr);
        if (n > 0) {
            if (c.closed) {
                EXPECT_EQ(run[0], run[2 * (n - 1)]);
                EXPECT_EQ(run[1], run[2 * (n - 1) + 1]);
            }
            // y is scaled about the centre latitude by the y factor: 51 -> 50.5.
            if (c.count >= 2) {
                EXPECT_DOUBLE_EQ(50.5, run[3]);
            }
        }
        free(run);
    }
}

namespace {

// A main window that hands out the points it holds, with arrays even when it answers 0.
struct PointsWindow {
    std::vector<double> X, Y;
    WPARAM LastWParam = 0;
    size_t Bytes = 0;  // size of each array handed out
    HWND Wnd = nullptr;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        PointsWindow* self = (PointsWindow*)GetWindowLongPtrW(hwnd, GWLP_USERDATA);
        if (self && msg == ZM_GET_RECORD_POINTS) {
            self->LastWParam = wParam;
            ZmPointBlock* block = (ZmPointBlock*)lParam;
            size_t bytes = std::max(self->Bytes, self->X.size() * sizeof(double));
            block->X = (double*)malloc(bytes);
            block->Y = (double*)malloc(bytes);
            for (size_t i = 0; i < self->X.size(); ++i) {
                block->X[i] = self->X[i];
                block->Y[i] = self->Y[i];
            }
            return (LRESULT)self->X.size();
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    PointsWindow()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZorTestPointsWindow";
        RegisterClassW(&wc);
        Wnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(Wnd, GWLP_USERDATA, (LONG_PTR)this);
    }
    ~PointsWindow() { DestroyWindow(Wnd); }
};

SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), (PROCESS_MEMORY_COUNTERS*)&pmc, sizeof pmc);
    return pmc.PrivateUsage;
}

}  // namespace

TEST(LegendItems, RecordPointsBecomeOneMultipointWithoutNonFiniteRecords)
{
    PointsWindow main;
    main.X = {14.5, NAN, 16.25, INFINITY};
    main.Y = {50.0, 49.0, 49.5, 49.0};
    LegendItem* item = NewInfoLegendItem(L"Literární záznamy", nullptr, INFO_LITERATURE, 16, 16, nullptr);
    CPtrArray* shapes = BuildRecordPointsShape(main.Wnd, 1, item);
    EXPECT_EQ(MAKEWPARAM(1, INFO_LITERATURE), main.LastWParam);
    ASSERT_NE(nullptr, shapes);
    ASSERT_EQ(1, shapes->GetCount());
    const LayerShape* entry = (const LayerShape*)shapes->GetItems()[0];
    ASSERT_NE(nullptr, entry->Shape);
    EXPECT_EQ(SHPT_MULTIPOINT, entry->Shape->nSHPType);
    ASSERT_EQ(2, entry->Shape->nVertices);
    EXPECT_EQ(14.5, entry->Shape->padfX[0]);
    EXPECT_EQ(16.25, entry->Shape->padfX[1]);
    EXPECT_EQ(49.5, entry->Shape->padfY[1]);
    EXPECT_EQ(1, item->ShapeCount);
    EXPECT_EQ(0, entry->Runs->GetCount());
    FreeShapeList(shapes);

    // No records: no list, and the count stays as it was.
    main.X.clear();
    main.Y.clear();
    item->ShapeCount = 7;
    EXPECT_EQ(nullptr, BuildRecordPointsShape(main.Wnd, 0, item));
    EXPECT_EQ(7, item->ShapeCount);
    FreeLegendItem(item);
}

// The arrays the main window hands out are the map's to free, whatever the count: a thousand
// empty answers of two 1 MB arrays each must not keep 2 GB.
TEST(LegendItems, PointArraysAreFreedWhateverTheAnswer)
{
    PointsWindow main;
    main.Bytes = 1 << 20;
    LegendItem* item = NewInfoLegendItem(L"Zápisy", nullptr, INFO_RECORDS, 16, 16, nullptr);
    SIZE_T before = PrivateBytes();
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(nullptr, BuildRecordPointsShape(main.Wnd, 0, item));
    EXPECT_LT(PrivateBytes(), before + (200u << 20));
    FreeLegendItem(item);
}

TEST(LegendItems, ExtentComesFromLayersThatOpenedWithShapes)
{
    auto layer = [](double x0, double y0, double x1, double y1, int opened, int count) {
        LegendItem* item = (LegendItem*)calloc(1, sizeof(LegendItem));
        wcscpy(item->MapFile, L"a.shp");
        item->BoundsMin[0] = x0;
        item->BoundsMin[1] = y0;
        item->BoundsMax[0] = x1;
        item->BoundsMax[1] = y1;
        item->FileOpened = opened;
        item->ShapeCount = count;
        return item;
    };
    LegendItem* info = (LegendItem*)calloc(1, sizeof(LegendItem));  // a record layer: no bounds
    LegendItem* items[] = {
        layer(12.1, 48.6, 18.8, 51.0, 1, 14), layer(14.0, 49.0, 19.5, 50.0, 1, 3),
        layer(0, 0, 0, 0, 0, 0),                  // did not open
        layer(-5, -5, 60, 60, 1, 0),              // opened but empty
        layer(NAN, 48, 20, 51, 1, 2),             // not finite
        layer(13, 52, 14, 47, 1, 2),              // inverted
        layer(-INFINITY, 40, INFINITY, 55, 1, 2), // not finite
        info,
    };
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    ASSERT_TRUE(ShapeLayersExtent(items, 8, &x0, &y0, &x1, &y1));
    EXPECT_EQ(12.1, x0);
    EXPECT_EQ(48.6, y0);
    EXPECT_EQ(19.5, x1);
    EXPECT_EQ(51.0, y1);
    EXPECT_FALSE(ShapeLayersExtent(items + 2, 6, &x0, &y0, &x1, &y1));
    for (LegendItem* item : items)
        free(item);
}

// An index whose entries all name one large record loads that record once: the shapes never
// take more than the file holds, and the entries that give none are only counted. The layer's
// own index still gives every shape.
TEST(LegendItems, IndexEntriesNamingOneRecordLoadItOnce)
{
    wintest::ScopedTempFolder folder(L"legend_index");
    std::vector<double> ring;
    for (int i = 0; i < 10000; ++i)
        ring.insert(ring.end(), {14.0 + std::cos(i * 0.000628), 49.5 + std::sin(i * 0.000628)});
    ring.insert(ring.end(), {ring[0], ring[1]});  // closed: 10,001 vertices
    ASSERT_TRUE(WriteLayer(folder.Path(), L"kraje", SHPT_POLYGON,
                           {MakeShape(SHPT_POLYGON, {ring}), MakeShape(SHPT_POLYGON, {{15, 49, 15.1, 49, 15, 49.1, 15, 49}}),
                            MakeShape(SHPT_POLYGON, {{16, 49, 16.1, 49, 16, 49.1, 16, 49}})}));
    // The same geometry under an index of 1,000 entries, each naming the large first record.
    CopyFileW(folder.File(L"kraje.shp").c_str(), folder.File(L"opakovane.shp").c_str(), FALSE);
    std::string index = wintest::ReadFileBytes(folder.File(L"kraje.shx"));
    ASSERT_GE(index.size(), 108u);
    std::string repeated = index.substr(0, 100);
    const uint32_t words = (100 + 8 * 1000) / 2;
    for (int k = 0; k < 4; ++k)
        repeated[24 + k] = (char)(words >> (24 - 8 * k));
    for (int i = 0; i < 1000; ++i)
        repeated += index.substr(100, 8);
    std::ofstream(folder.File(L"opakovane.shx").c_str(), std::ios::binary) << repeated;
    struct Case {
        const wchar_t* name;
        int entries, shapes, vertices;
    } cases[] = {{L"kraje", 3, 3, 10001 + 4 + 4}, {L"opakovane", 1000, 1, 10001}};
    for (const Case& c : cases) {
        LegendItem* item = LayerItem(folder.Path(), c.name);
        ASSERT_NE(nullptr, item);
        EXPECT_EQ(c.entries, item->ShapeCount);
        LoadItemShapes(item, folder.Path().c_str());
        EXPECT_EQ(c.shapes, item->Shapes->GetCount()) << "an entry that gives no shape is not kept";
        EXPECT_EQ(c.entries, item->Shapes->GetCount() + item->NullShapes);
        EXPECT_FALSE(ShapesToLoad(item));
        int shapes = 0, vertices = 0;
        for (int i = 0; i < item->Shapes->GetCount(); ++i)
            if (const SHPObject* s = ((const LayerShape*)item->Shapes->GetItems()[i])->Shape) {
                ++shapes;
                vertices += s->nVertices;
            }
        EXPECT_EQ(c.shapes, shapes);
        EXPECT_EQ(c.vertices, vertices);
        FreeLegendItem(item);
    }
}

namespace {

// A layer's index entry: where its record starts and how long its content is, in 16-bit words
// (big-endian), as the .shx keeps them.
void PutEntry(std::vector<unsigned char>* shx, int entry, uint32_t offsetWords, uint32_t lengthWords)
{
    unsigned char* p = shx->data() + 100 + 8 * entry;
    for (int k = 0; k < 4; ++k) {
        p[k] = (unsigned char)(offsetWords >> (24 - 8 * k));
        p[4 + k] = (unsigned char)(lengthWords >> (24 - 8 * k));
    }
}

uint32_t EntryWords(const std::vector<unsigned char>& shx, int entry, int part)
{
    const unsigned char* p = shx.data() + 100 + 8 * entry + 4 * part;
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

}  // namespace

// One damaged index entry hides no other record: an entry claiming 0x7fffffff words, one that
// starts two bytes into its record, and one that points into the middle of the first record
// (whose inner bytes read as a record of their own) each give no shape, and every other record
// is the layer's.
TEST(LegendItems, ADamagedIndexEntryHidesNoOtherRecord)
{
    wintest::ScopedTempFolder folder(L"legend_entries");
    // Ten squares with z; the first one's z values hold the bytes of a point record (header:
    // number 1, 10 words; type 1 at 15.0, 49.5), where an entry can point.
    std::vector<shpw::Shape> squares;
    for (int i = 0; i < 10; ++i)
        squares.push_back(MakeShape(SHPT_POLYGONZ, {{12.0 + i, 49, 12.5 + i, 49, 12.5 + i, 49.5, 12.0 + i, 49}}));
    unsigned char inner[32] = {0, 0, 0, 1, 0, 0, 0, 10, 1, 0, 0, 0};
    const double x = 15.0, y = 49.5;
    memcpy(inner + 12, &x, 8);
    memcpy(inner + 20, &y, 8);
    squares[0].Z.resize(4);
    memcpy(squares[0].Z.data(), inner, 32);
    const shpw::Bytes good = shpw::WriteShapefile(SHPT_POLYGONZ, squares);
    // Where the z values of the first record start, in words: record header, type, box, counts,
    // one part start, four x y pairs, then the z range.
    const uint32_t innerWords = EntryWords(good.Shx, 0, 0) + (8 + 4 + 32 + 8 + 4 + 4 * 16 + 16) / 2;
    struct Case {
        const char* name;
        std::function<void(std::vector<unsigned char>*)> edit;
        int shapes;
    } cases[] = {
        {"as written", [](std::vector<unsigned char>*) {}, 10},
        {"the first entry claims 0x7fffffff words",
         [](std::vector<unsigned char>* shx) { PutEntry(shx, 0, EntryWords(*shx, 0, 0), 0x7fffffff); }, 9},
        {"the fourth entry starts two bytes into its record",
         [](std::vector<unsigned char>* shx) { PutEntry(shx, 3, EntryWords(*shx, 3, 0) + 1, EntryWords(*shx, 3, 1)); },
         9},
        {"the sixth entry points into the middle of the first record",
         [&](std::vector<unsigned char>* shx) { PutEntry(shx, 5, innerWords, 10); }, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> shx = good.Shx;
        c.edit(&shx);
        ASSERT_TRUE(shpw::WriteFileBytes(folder.File(L"ctverce.shp"), good.Shp));
        ASSERT_TRUE(shpw::WriteFileBytes(folder.File(L"ctverce.shx"), shx));
        LegendItem* item = LayerItem(folder.Path(), L"ctverce");
        ASSERT_NE(nullptr, item);
        LoadItemShapes(item, folder.Path().c_str());
        EXPECT_EQ(c.shapes, item->Shapes->GetCount());
        EXPECT_EQ(10 - c.shapes, item->NullShapes);
        for (int i = 0; i < item->Shapes->GetCount(); ++i) {
            const SHPObject* s = ((const LayerShape*)item->Shapes->GetItems()[i])->Shape;
            ASSERT_NE(nullptr, s);
            EXPECT_EQ(SHPT_POLYGONZ, s->nSHPType) << "no shape from inside another record";
        }
        FreeLegendItem(item);
    }
    // The inner bytes do read as a point: only their place inside a record read makes them none.
    std::vector<unsigned char> shx = good.Shx;
    PutEntry(&shx, 0, innerWords, 10);
    SHPHandle h = SHPOpenMem(good.Shp.data(), good.Shp.size(), shx.data(), shx.size());
    ASSERT_NE(nullptr, h);
    SHPObject* point = SHPReadObject(h, 0);
    ASSERT_NE(nullptr, point);
    EXPECT_EQ(SHPT_POINT, point->nSHPType);
    EXPECT_EQ(15.0, point->padfX[0]);
    SHPDestroyObject(point);
    SHPClose(h);
}

// A header box that cannot be a layer's (inverted, not finite, as wide as a double holds) gives
// way to the box of its shapes; a sound header box stays the layer's, whatever the shapes.
TEST(LegendItems, AHeaderBoxThatCannotBeRightIsTakenFromTheShapes)
{
    wintest::ScopedTempFolder folder(L"legend_box");
    const shpw::Bytes good = shpw::WriteShapefile(
        SHPT_POLYGON, {MakeShape(SHPT_POLYGON, {{12.5, 48.6, 13.0, 48.6, 13.0, 49.1, 12.5, 48.6}}),
                       MakeShape(SHPT_POLYGON, {{14.0, 50.0, 15.0, 50.0, 15.0, 50.5, 14.0, 50.0}})});
    struct Case {
        const char* name;
        double box[4];  // x min, y min, x max, y max as the header keeps them
        double expected[4];
    } cases[] = {
        {"a sound box wider than the shapes", {10, 45, 20, 55}, {10, 45, 20, 55}},
        {"inverted", {15.0, 50.5, 12.5, 48.6}, {12.5, 48.6, 15.0, 50.5}},
        {"not a number", {NAN, 48.6, 15.0, 50.5}, {12.5, 48.6, 15.0, 50.5}},
        {"as wide as a double holds", {-1e308, -1e308, 1e308, 1e308}, {12.5, 48.6, 15.0, 50.5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> shp = good.Shp;
        memcpy(shp.data() + 36, c.box, sizeof c.box);
        ASSERT_TRUE(shpw::WriteFileBytes(folder.File(L"kraje.shp"), shp));
        ASSERT_TRUE(shpw::WriteFileBytes(folder.File(L"kraje.shx"), good.Shx));
        LegendItem* item = LayerItem(folder.Path(), L"kraje");
        ASSERT_NE(nullptr, item);
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        ASSERT_TRUE(ShapeLayersExtent(&item, 1, &x0, &y0, &x1, &y1)) << "the layer has no extent";
        EXPECT_EQ(c.expected[0], x0);
        EXPECT_EQ(c.expected[1], y0);
        EXPECT_EQ(c.expected[2], x1);
        EXPECT_EQ(c.expected[3], y1);
        FreeLegendItem(item);
    }
}
