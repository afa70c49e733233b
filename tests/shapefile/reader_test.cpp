// The shapefile reader on layers of every shape type written by the project's writer, and on
// damaged layers: a failed open or a NULL shape for the damaged record, the rest still read.
#include <windows.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

#include "shapefile/shapefile.h"
#include "shapefile/shpwriter.h"
#include "tests/shapefile/shpfuzz.h"
#include "tests/support/wintest.h"

namespace {

struct ShapeDeleter {
    void operator()(SHPObject* s) const { SHPDestroyObject(s); }
};
using ShapePtr = std::unique_ptr<SHPObject, ShapeDeleter>;

struct Layer {
    SHPHandle h = nullptr;
    ~Layer() { SHPClose(h); }
};

bool WriteLayer(const std::wstring& base, const shpw::Bytes& b)
{
    return shpw::WriteFileBytes(base + L".shp", b.Shp) && shpw::WriteFileBytes(base + L".shx", b.Shx);
}

void PutBe32(std::vector<unsigned char>& b, size_t at, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        b[at + k] = (unsigned char)(v >> (8 * (3 - k)));
}

void PutLe32(std::vector<unsigned char>& b, size_t at, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        b[at + k] = (unsigned char)(v >> (8 * k));
}

uint32_t Be32(const std::vector<unsigned char>& b, size_t at)
{
    return ((uint32_t)b[at] << 24) | ((uint32_t)b[at + 1] << 16) | ((uint32_t)b[at + 2] << 8) | b[at + 3];
}

// Byte offset of record i's content in the main file, read from the index.
size_t ContentOf(const shpw::Bytes& b, int i)
{
    return Be32(b.Shx, 100 + 8 * i) * 2 + 8;
}

// The seed layers of the fuzz run: 0 polygon with a hole, a null record and a triangle;
// 1 PolygonZ; 2 PolyLineM; 3 MultiPoint; 4 MultiPointZ; 5 Point with a null record; 6 PointZ;
// 7 multipatch.
const std::vector<shpw::Bytes>& Seeds()
{
    static const std::vector<shpw::Bytes> seeds = shpfuzz::SeedLayers();
    return seeds;
}

}  // namespace

// Each layer reads back with its count, type, bounds, parts and vertices.
TEST(ShapefileReader, ReadsEveryShapeTypeOfTheWriter)
{
    wintest::ScopedTempFolder folder(L"shp_types");
    struct Case {
        int seed, count, type;
        double xmin, ymin, xmax, ymax;
        int shape, shapeType, parts, vertices;
        std::vector<int> partStarts;
        double x1, y1;  // the second vertex
        double z1, m1;  // its z and m (0 where the type has none)
    } cases[] = {
        {0, 3, SHPT_POLYGON, 0, 0, 25, 25, 0, SHPT_POLYGON, 2, 10, {0, 5}, 0, 10, 0, 0},
        {1, 1, SHPT_POLYGONZ, 0, 0, 10, 10, 0, SHPT_POLYGONZ, 2, 10, {0, 5}, 0, 10, 102, 1},
        {2, 2, SHPT_ARCM, 0, 0, 9, 9, 0, SHPT_ARCM, 2, 5, {0, 3}, 1, 1, 0, 1},
        {3, 1, SHPT_MULTIPOINT, 1, 2, 5, 6, 0, SHPT_MULTIPOINT, 0, 3, {}, 3, 4, 0, 0},
        {4, 1, SHPT_MULTIPOINTZ, 1, 2, 3, 4, 0, SHPT_MULTIPOINTZ, 0, 2, {}, 3, 4, 102, 0},
        {5, 3, SHPT_POINT, 14.4, 49.2, 16.6, 50.1, 2, SHPT_POINT, 0, 1, {}, 16.6, 49.2, 0, 0},
        {7, 1, SHPT_MULTIPATCH, 0, 0, 3, 3, 0, SHPT_MULTIPATCH, 2, 7, {0, 4}, 1, 0, 102, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seed);
        std::wstring base = folder.File(L"layer" + std::to_wstring(c.seed));
        ASSERT_TRUE(WriteLayer(base, Seeds()[c.seed]));
        Layer layer;
        layer.h = SHPOpenW((base + L".shp").c_str(), "rb");
        ASSERT_NE(layer.h, nullptr);
        int count = 0, type = 0;
        double lo[4], hi[4];
        SHPGetInfo(layer.h, &count, &type, lo, hi);
        EXPECT_EQ(c.count, count);
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.xmin, lo[0]);
        EXPECT_EQ(c.ymin, lo[1]);
        EXPECT_EQ(c.xmax, hi[0]);
        EXPECT_EQ(c.ymax, hi[1]);
        ShapePtr s(SHPReadObject(layer.h, c.shape));
        ASSERT_TRUE(s);
        EXPECT_EQ(c.shapeType, s->nSHPType);
        EXPECT_EQ(c.shape, s->nShapeId);
        ASSERT_EQ(c.parts, s->nParts);
        ASSERT_EQ(c.vertices, s->nVertices);
        for (int k = 0; k < c.parts; ++k)
            EXPECT_EQ(c.partStarts[k], s->panPartStart[k]);
        int v = c.vertices > 1 ? 1 : 0;
        EXPECT_EQ(c.x1, s->padfX[v]);
        EXPECT_EQ(c.y1, s->padfY[v]);
        EXPECT_EQ(c.z1, s->padfZ[v]);
        EXPECT_EQ(c.m1, s->padfM[v]);
        if (c.type == SHPT_MULTIPATCH) {
            EXPECT_EQ(SHPP_TRISTRIP, s->panPartType[0]);
            EXPECT_EQ(SHPP_TRIFAN, s->panPartType[1]);
        } else if (c.parts) {
            EXPECT_EQ(SHPP_RING, s->panPartType[1]);
        }
        // The shape's bounds are those of its own vertices.
        double xmin = s->padfX[0], xmax = s->padfX[0];
        for (int i = 0; i < s->nVertices; ++i) {
            xmin = std::min(xmin, s->padfX[i]);
            xmax = std::max(xmax, s->padfX[i]);
        }
        EXPECT_EQ(xmin, s->dfXMin);
        EXPECT_EQ(xmax, s->dfXMax);
        EXPECT_EQ(nullptr, SHPReadObject(layer.h, count));
        EXPECT_EQ(nullptr, SHPReadObject(layer.h, -1));
    }
}

TEST(ShapefileReader, NullRecordsReadAsShapesWithoutVertices)
{
    SHPHandle h = SHPOpenMem(Seeds()[0].Shp.data(), Seeds()[0].Shp.size(), Seeds()[0].Shx.data(), Seeds()[0].Shx.size());
    ASSERT_NE(h, nullptr);
    ShapePtr null(SHPReadObject(h, 1));
    ASSERT_TRUE(null);
    EXPECT_EQ(SHPT_NULL, null->nSHPType);
    EXPECT_EQ(0, null->nVertices);
    EXPECT_EQ(0, null->nParts);
    ShapePtr after(SHPReadObject(h, 2));
    ASSERT_TRUE(after);
    EXPECT_EQ(4, after->nVertices);
    SHPClose(h);
}

// Damaged layers: the open fails, or the damaged record reads as NULL and the others still read.
TEST(ShapefileReader, DamagedLayersFailCleanly)
{
    struct Case {
        const char* what;
        int seed;
        std::function<void(shpw::Bytes&)> damage;
        bool opens;
        int badRecord;  // -1: none
        int count;      // expected count when it opens
    } cases[] = {
        {"a truncated last record", 0, [](shpw::Bytes& b) { b.Shp.resize(b.Shp.size() - 5); }, true, 2, 3},
        {"a part start beyond the points", 0,
         [](shpw::Bytes& b) { PutLe32(b.Shp, ContentOf(b, 0) + 44 + 4, 10); }, true, 0, 3},
        {"part starts out of order", 0,
         [](shpw::Bytes& b) { PutLe32(b.Shp, ContentOf(b, 0) + 44, 6); }, true, 0, 3},
        {"more points than the content holds", 0,
         [](shpw::Bytes& b) { PutLe32(b.Shp, ContentOf(b, 0) + 40, 11); }, true, 0, 3},
        {"a point count near 2^31", 3,
         [](shpw::Bytes& b) { PutLe32(b.Shp, ContentOf(b, 0) + 36, 0x7FFFFFFF); }, true, 0, 1},
        {"a negative part count", 0,
         [](shpw::Bytes& b) { PutLe32(b.Shp, ContentOf(b, 0) + 36, 0x80000000u); }, true, 0, 3},
        {"an index entry outside the file", 0, [](shpw::Bytes& b) { PutBe32(b.Shx, 100 + 8, 0x40000000u); }, true, 1, 3},
        {"an index entry before the records", 0, [](shpw::Bytes& b) { PutBe32(b.Shx, 100 + 8, 10); }, true, 1, 3},
        {"an index length that disagrees with the record", 0,
         [](shpw::Bytes& b) { PutBe32(b.Shx, 100 + 16 + 4, Be32(b.Shx, 100 + 16 + 4) + 2); }, true, 2, 3},
        {"an index claiming far more records than it holds", 0,
         [](shpw::Bytes& b) { PutBe32(b.Shx, 24, 0x7FFFFFF0u); }, true, -1, 3},
        {"an index cut inside its entries", 0, [](shpw::Bytes& b) { b.Shx.resize(100 + 8 + 4); }, true, -1, 1},
        {"a coordinate that is not a number", 5,
         [](shpw::Bytes& b) {
             double nan = NAN;
             memcpy(&b.Shp[ContentOf(b, 0) + 4], &nan, 8);
         },
         true, 0, 3},
        {"an infinite vertex", 0,
         [](shpw::Bytes& b) {
             double inf = INFINITY;
             memcpy(&b.Shp[ContentOf(b, 2) + 44 + 4 + 8], &inf, 8);
         },
         true, 2, 3},
        {"an unknown record type", 0, [](shpw::Bytes& b) { PutLe32(b.Shp, ContentOf(b, 0), 2); }, true, 0, 3},
        {"a PointZ record without its z", 6,
         [](shpw::Bytes& b) {
             PutBe32(b.Shx, 100 + 4, 10);
             PutBe32(b.Shp, ContentOf(b, 0) - 4, 10);
         },
         true, 0, 1},
        {"a wrong file code", 0, [](shpw::Bytes& b) { PutBe32(b.Shp, 0, 9995); }, false, -1, 0},
        {"a wrong index version", 0, [](shpw::Bytes& b) { PutLe32(b.Shx, 28, 999); }, false, -1, 0},
        {"an index shorter than its header", 0, [](shpw::Bytes& b) { b.Shx.resize(60); }, false, -1, 0},
        {"an empty main file", 0, [](shpw::Bytes& b) { b.Shp.clear(); }, false, -1, 0},
        {"an empty index", 0, [](shpw::Bytes& b) { b.Shx.clear(); }, false, -1, 0},
    };
    wintest::ScopedTempFolder folder(L"shp_damaged");
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        shpw::Bytes b = Seeds()[c.seed];
        c.damage(b);
        std::wstring base = folder.File(L"bad" + std::to_wstring(n++));
        ASSERT_TRUE(WriteLayer(base, b));
        Layer layer;
        layer.h = SHPOpenW(base.c_str(), "rb");
        ASSERT_EQ(c.opens, layer.h != nullptr);
        if (!layer.h)
            continue;
        int count = 0;
        SHPGetInfo(layer.h, &count, nullptr, nullptr, nullptr);
        EXPECT_EQ(c.count, count);
        for (int i = 0; i < count; ++i) {
            ShapePtr s(SHPReadObject(layer.h, i));
            EXPECT_EQ(i != c.badRecord, s != nullptr) << "record " << i;
        }
    }
}

TEST(ShapefileReader, OpensByWidePathWithAnyExtensionAndOnlyForReading)
{
    // A folder whose name the ANSI code page cannot hold.
    wintest::ScopedTempFolder folder(L"shp_\u03A9\u03BC\u03AD\u03B3\u03B1_\u5730\u56F3");
    std::wstring base = folder.File(L"\u010Cesko \u0159eky");
    ASSERT_TRUE(WriteLayer(base, Seeds()[2]));
    for (const wchar_t* ext : {L"", L".shp", L".SHX", L".dbf"}) {
        SHPHandle h = SHPOpenW((base + ext).c_str(), "rb");
        EXPECT_NE(h, nullptr) << "extension " << ext;
        SHPClose(h);
    }
    EXPECT_EQ(nullptr, SHPOpenW(base.c_str(), "r+b"));
    EXPECT_EQ(nullptr, SHPOpenW(base.c_str(), "wb"));
    // Read sharing: another reader opens the files while the layer is open.
    SHPHandle h = SHPOpenW(base.c_str(), "r");
    ASSERT_NE(h, nullptr);
    HANDLE other = CreateFileW((base + L".shp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, other);
    CloseHandle(other);
    SHPClose(h);
    // Without its index the layer does not open.
    DeleteFileW((base + L".shx").c_str());
    EXPECT_EQ(nullptr, SHPOpenW(base.c_str(), "rb"));
    EXPECT_EQ(nullptr, SHPOpenW(folder.File(L"missing").c_str(), "rb"));
}

TEST(ShapefileReader, SimpleObjectsCopyTheirVertices)
{
    double x[3] = {14.0, 15.5, 13.25}, y[3] = {50.0, 49.0, 49.5};
    ShapePtr s(SHPCreateSimpleObject(SHPT_MULTIPOINT, 3, x, y, nullptr));
    ASSERT_TRUE(s);
    x[0] = y[0] = 0;
    EXPECT_EQ(3, s->nVertices);
    EXPECT_EQ(0, s->nParts);
    EXPECT_EQ(nullptr, s->panPartStart);
    EXPECT_EQ(14.0, s->padfX[0]);
    EXPECT_EQ(50.0, s->padfY[0]);
    EXPECT_EQ(0.0, s->padfZ[2]);
    EXPECT_EQ(0.0, s->padfM[2]);
    EXPECT_EQ(13.25, s->dfXMin);
    EXPECT_EQ(15.5, s->dfXMax);
    EXPECT_EQ(49.0, s->dfYMin);
    EXPECT_EQ(50.0, s->dfYMax);
    ShapePtr empty(SHPCreateSimpleObject(SHPT_MULTIPOINT, 0, nullptr, nullptr, nullptr));
    ASSERT_TRUE(empty);
    EXPECT_EQ(0, empty->nVertices);
}
