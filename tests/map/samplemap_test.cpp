// The sample map layers: read back with the project's reader, the regions tiling the border,
// every sample locality inside the border, the same bytes from the same seed, and a screenshot
// of the Czech map with one species' records as KFME squares.
#include <windows.h>

#include <cmath>
#include <gtest/gtest.h>

#include "tools/testkit/rawodbc.h"
#include "map/mapunits.h"
#include "tools/samplemap/samplemap.h"
#include "tests/core/sampletemplate.h"
#include "tests/map/maphost.h"
#include "tests/support/wintest.h"

using namespace maptest;

namespace {

struct Rings {
    std::vector<std::vector<std::pair<double, double>>> Parts;
};

// Every shape of a layer as its parts.
std::vector<Rings> ReadLayer(const std::wstring& path)
{
    std::vector<Rings> shapes;
    SHPHandle h = SHPOpenW(path.c_str(), "rb");
    EXPECT_NE(nullptr, h) << "cannot open the layer";
    if (!h)
        return shapes;
    int count = 0;
    SHPGetInfo(h, &count, nullptr, nullptr, nullptr);
    for (int i = 0; i < count; ++i) {
        SHPObject* s = SHPReadObject(h, i);
        Rings r;
        for (int p = 0; s && p < std::max(1, s->nParts); ++p) {
            int from = s->nParts ? s->panPartStart[p] : 0;
            int to = p + 1 < s->nParts ? s->panPartStart[p + 1] : s->nVertices;
            r.Parts.emplace_back();
            for (int v = from; v < to; ++v)
                r.Parts.back().push_back({s->padfX[v], s->padfY[v]});
        }
        shapes.push_back(r);
        SHPDestroyObject(s);
    }
    SHPClose(h);
    return shapes;
}

// Even-odd over all of a shape's rings: a hole takes its area out.
bool Inside(const Rings& shape, double x, double y)
{
    bool in = false;
    for (const auto& r : shape.Parts)
        for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++)
            if ((r[i].second > y) != (r[j].second > y) &&
                x < (r[j].first - r[i].first) * (y - r[i].second) / (r[j].second - r[i].second) + r[i].first)
                in = !in;
    return in;
}

double Area(const Rings& shape)
{
    double a = 0;
    for (const auto& r : shape.Parts)
        for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++)
            a += (r[i].first - r[j].first) * (r[i].second + r[j].second) / 2;
    return a;  // clockwise outer rings count positive, holes negative
}

// The demo database, made once for the tests that read its localities and records.
class SampleMap : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        zor::SampleDbOptions demo;
        demo.records = zor::kSampleDemoRecords;
        db_ = MakeSampleTemplate(L"samplemap_demo", demo);
    }
    static void TearDownTestSuite()
    {
        if (!db_.empty())
            wintest::RemoveFolder(db_.substr(0, db_.find_last_of(L'\\')));
    }
    static std::wstring db_;
};
std::wstring SampleMap::db_;

}  // namespace

TEST_F(SampleMap, LayersTileTheBorderAndHoldEverySampleLocality)
{
    wintest::ScopedTempFolder folder(L"samplemap");
    std::vector<zor::SampleLayerSummary> layers;
    std::wstring error;
    ASSERT_TRUE(zor::WriteSampleMap(folder.Path(), zor::SampleMapOptions(), &layers, &error)) << std::string(error.begin(), error.end());
    ASSERT_EQ(4u, layers.size());
    for (const auto& l : layers) {
        SHPHandle h = SHPOpenW(folder.File(l.File).c_str(), "rb");
        ASSERT_NE(nullptr, h);
        int count = 0, type = 0;
        double lo[4], hi[4];
        SHPGetInfo(h, &count, &type, lo, hi);
        SHPClose(h);
        EXPECT_EQ(l.Shapes, count);
        EXPECT_EQ(l.ShapeType, type);
        EXPECT_EQ(l.MinX, lo[0]);
        EXPECT_EQ(l.MaxY, hi[1]);
        EXPECT_TRUE(wintest::FileExists(folder.File(l.File.substr(0, l.File.size() - 4) + L".dbf")));
    }
    GridDef kfme;
    ASSERT_EQ(1, ReadGridDefFile(folder.File(zor::kSampleGridFile).c_str(), &kfme));
    EXPECT_STREQ(L"KFME", kfme.Name);
    EXPECT_EQ(0.05, kfme.LatFineStep);
    // The steps themselves (10' and 5'): the coarse grid reaches the border's eastern end.
    EXPECT_EQ(1.0 / 6, kfme.LonCoarseStep);
    EXPECT_EQ(1.0 / 12, kfme.LonFineStep);

    std::vector<Rings> border = ReadLayer(folder.File(zor::kSampleBorderLayer));
    std::vector<Rings> regions = ReadLayer(folder.File(zor::kSampleRegionLayer));
    ASSERT_EQ(1u, border.size());
    ASSERT_EQ(14u, regions.size());
    EXPECT_EQ(2u, regions[1].Parts.size());  // Central Bohemia around Prague
    // No gap, no overlap: the areas add up, and every point of the border lies in exactly one region.
    double sum = 0;
    for (const Rings& r : regions) {
        EXPECT_GT(Area(r), 0.02);
        sum += Area(r);
    }
    EXPECT_NEAR(Area(border[0]), sum, 1e-9);
    unsigned long long z = 12345;
    int tested = 0;
    for (int i = 0; i < 20000; ++i) {
        z = z * 6364136223846793005ull + 1442695040888963407ull;
        double x = 12.0 + 7.0 * ((z >> 11) % 1000000) / 1e6;
        double y = 48.5 + 2.6 * ((z >> 33) % 1000000) / 1e6;
        if (!Inside(border[0], x, y))
            continue;
        ++tested;
        int in = 0;
        for (const Rings& r : regions)
            in += Inside(r, x, y);
        ASSERT_EQ(1, in) << x << " " << y;
    }
    EXPECT_GT(tested, 5000);

    // Every locality of the demo database lies inside the border.
    ASSERT_FALSE(db_.empty());
    zor::RawOdbc raw;
    ASSERT_TRUE(raw.Open(db_, false));
    std::vector<std::vector<std::wstring>> rows;
    ASSERT_TRUE(raw.Query(L"SELECT LONGITUDE, LATITUDE FROM FEATURES WHERE LONGITUDE IS NOT NULL", rows));
    ASSERT_GT(rows.size(), 100u);
    for (const auto& row : rows) {
        double x = _wtof(row[0].c_str()), y = _wtof(row[1].c_str());
        EXPECT_TRUE(Inside(border[0], x, y)) << x << " " << y;
    }
}

TEST_F(SampleMap, TheSameSeedGivesTheSameBytes)
{
    wintest::ScopedTempFolder a(L"samplemap_a"), b(L"samplemap_b");
    zor::SampleMapOptions options;
    options.Seed = 7;
    ASSERT_TRUE(zor::WriteSampleMap(a.Path(), options, nullptr, nullptr));
    ASSERT_TRUE(zor::WriteSampleMap(b.Path(), options, nullptr, nullptr));
    for (const wchar_t* file : {L"hranice.shp", L"kraje.shp", L"kraje.dbf", L"reky.shp", L"okresni_mesta.dbf", L"KFME.xml"}) {
        std::string one = wintest::ReadFileBytes(a.File(file)), two = wintest::ReadFileBytes(b.File(file));
        EXPECT_FALSE(one.empty());
        EXPECT_EQ(one, two) << file;
    }
}

// The Czech map as the demo shows it: regions, rivers, towns and one species' records as
// filled KFME squares.
TEST_F(SampleMap, CzechMapShowsRecordsAsKfmeSquares)
{
    wintest::ScopedTempFolder folder(L"samplemap_shot");
    ASSERT_TRUE(zor::WriteSampleMap(folder.Path(), zor::SampleMapOptions(), nullptr, nullptr));
    MapHost host(900, 560);
    wcscpy(host.Map->MapPath, folder.Path().c_str());
    GridDef kfme;
    zor::MakeKfmeGrid(&kfme);
    host.SelectGrid(&kfme);

    // One species' records: around a few district towns.
    ASSERT_FALSE(db_.empty());
    zor::RawOdbc raw;
    ASSERT_TRUE(raw.Open(db_, false));
    long long species = raw.QueryInt(L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1");
    std::vector<std::vector<std::wstring>> rows;
    ASSERT_TRUE(raw.Query(L"SELECT F.LONGITUDE, F.LATITUDE FROM ZORNACOLLS C JOIN FEATURES F ON F.LOCID = C.FTRID "
                          L"WHERE C.SYSID = " + std::to_wstring(species) + L" AND F.LONGITUDE IS NOT NULL",
                          rows));
    raw.Close();
    ASSERT_GT(rows.size(), 10u);
    for (const auto& row : rows) {
        host.PointsX.push_back(_wtof(row[0].c_str()));
        host.PointsY.push_back(_wtof(row[1].c_str()));
    }

    LegendItem* records = NewInfoLegendItem(L"Zápisy", nullptr, INFO_RECORDS, 16, 16, nullptr);
    records->Style.Fill = true;
    records->Style.FullCell = true;
    records->Style.FillColor = RGB(200, 30, 30);
    records->Style.FillTransp = 40;
    LegendItem* grid = NewInfoLegendItem(L"Síť", nullptr, INFO_GRID, 16, 16, nullptr);
    grid->Style.BorderColor = RGB(150, 150, 150);
    grid->Style.BorderWidth = 0.1;
    LegendItem* towns = LayerItem(folder.Path(), L"okresni_mesta");
    towns->Style.SymbSize = 1.6;
    towns->Style.Fill = true;
    towns->Style.FillColor = RGB(0, 0, 0);
    LegendItem* rivers = LayerItem(folder.Path(), L"reky");
    rivers->Style.BorderColor = RGB(40, 90, 200);
    rivers->Style.BorderWidth = 0.4;
    LegendItem* regions = LayerItem(folder.Path(), L"kraje");
    regions->Style.Fill = true;
    regions->Style.FillColor = RGB(250, 245, 225);
    regions->Style.BorderColor = RGB(120, 120, 120);
    LegendItem* border = LayerItem(folder.Path(), L"hranice");
    border->Style.BorderWidth = 0.6;
    for (LegendItem* item : {records, grid, towns, rivers, regions, border})
        host.AddItem(item, true);

    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    LegendItem* layers[] = {border, regions, rivers, towns};
    ASSERT_TRUE(ShapeLayersExtent(layers, 4, &x0, &y0, &x1, &y1));
    host.Map->CoordSys = 1;
    host.Map->SetExtent(x0, y0, x1, y1);
    host.Map->ZoomToExtent();
    InvalidateRect(host.Map->View, nullptr, FALSE);
    UpdateWindow(host.Map->View);
    wintest::PumpMessages(100);
    std::wstring shot = wintest::SaveScreenshot(host.Main, L"map_czech_kfme");
    EXPECT_FALSE(shot.empty());
    GlBitmap bitmap;
    ASSERT_TRUE(host.RenderToBitmap(&bitmap));
    std::vector<unsigned> rgba = TopDown(bitmap);
    // Filled squares and the pale regions are there.
    EXPECT_GT(CountNear(rgba, RGB(250, 245, 225), 2), 20000);
    int red = 0;
    for (unsigned v : rgba)
        red += ((v >> 16) & 0xFF) > 200 && ((v >> 8) & 0xFF) < 160 && (v & 0xFF) < 160;
    EXPECT_GT(red, 200);
    EXPECT_EQ(1, host.Map->GetShownGridLevel(host.Legend, 6));
}
