#include "tools/samplemap/samplemap.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "tools/sampledb/sampledb.h"
#include "tools/sampledb/sampledb_names.h"
#include "tools/sampledb/samplerng.h"
#include "map/griddef.h"
#include "map/mapunits.h"
#include "tools/samplemap/dbfwriter.h"
#include "shapefile/shapefile.h"
#include "shapefile/shpwriter.h"

namespace zor {

const wchar_t kSampleBorderLayer[] = L"hranice.shp";
const wchar_t kSampleRegionLayer[] = L"kraje.shp";
const wchar_t kSampleRiverLayer[] = L"reky.shp";
const wchar_t kSampleTownLayer[] = L"okresni_mesta.shp";
const wchar_t kSampleBenchPolygonLayer[] = L"test_plochy.shp";
const wchar_t kSampleBenchLineLayer[] = L"test_linie.shp";
const wchar_t kSampleGridFile[] = L"KFME.xml";

namespace {

struct Pt
{
    double X, Y;
};
using Ring = std::vector<Pt>;

// The same numbers from the same seed on every machine, apart from the sample database's.
class Rng : public SampleRng
{
public:
    explicit Rng(unsigned long long seed) : SampleRng(seed, 0x5A3B) {}
    double Between(double lo, double hi) { return Uniform(lo, hi); }
};

// Degrees of longitude are shorter than degrees of latitude here: distances count them so.
const double kLonScale = 0.645;

double SignedArea(const Ring& r)
{
    double a = 0;
    for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++)
        a += (r[i].X - r[j].X) * (r[i].Y + r[j].Y);
    return a / 2;  // positive for a clockwise ring (y up)
}

void MakeClockwise(Ring& r, bool clockwise = true)
{
    if ((SignedArea(r) > 0) != clockwise)
        std::reverse(r.begin(), r.end());
}

// ---- the border ----

// The outline refined with bays and capes that only ever reach outwards, so that every point
// inside the sample database's outline (every sample locality) stays inside.
Ring RefineBorder(Rng& rng)
{
    Ring ring;
    for (const auto& p : CzechBorderOutline())
        ring.push_back({p.first, p.second});
    MakeClockwise(ring);
    for (int level = 0; level < 5; ++level) {
        Ring finer;
        for (size_t i = 0; i < ring.size(); ++i) {
            const Pt a = ring[i], b = ring[(i + 1) % ring.size()];
            finer.push_back(a);
            const double dx = (b.X - a.X) * kLonScale, dy = b.Y - a.Y;
            const double len = std::sqrt(dx * dx + dy * dy);
            if (len < 1e-9)
                continue;
            // Left of travel is outside a clockwise ring.
            const double nx = -dy / len / kLonScale, ny = dx / len;
            const double d = len * rng.Between(0.0, 0.16);
            finer.push_back({(a.X + b.X) / 2 + nx * d, (a.Y + b.Y) / 2 + ny * d});
        }
        ring = finer;
    }
    return ring;
}

// ---- the regions ----

struct HalfPlane
{
    double A, B, C;  // inside where A x + B y <= C
};

// Keeps the part of a ring on the inside of a half-plane (Sutherland-Hodgman). The crossing
// points of an edge come out the same for both sides of a shared line.
Ring Clip(const Ring& ring, const HalfPlane& h)
{
    Ring out;
    if (ring.empty())
        return out;
    auto f = [&](const Pt& p) { return h.A * p.X + h.B * p.Y - h.C; };
    for (size_t i = 0; i < ring.size(); ++i) {
        const Pt& a = ring[i];
        const Pt& b = ring[(i + 1) % ring.size()];
        const double fa = f(a), fb = f(b);
        if (fa <= 0)
            out.push_back(a);
        if ((fa <= 0) != (fb <= 0)) {
            const double t = fa / (fa - fb);
            out.push_back({a.X + (b.X - a.X) * t, a.Y + (b.Y - a.Y) * t});
        }
    }
    return out;
}

struct Seed
{
    double X, Y, Weight;
};

// Regions 1 to 13 as the cells of a weighted nearest-seed rule (Prague, region 0, lies inside
// region 1 as an enclave of its own).
const Seed kRegionSeeds[14] = {
    {14.43, 50.08, 0},    {14.62, 49.92, 0.10}, {14.45, 49.05, 0.12}, {13.30, 49.58, 0.08}, {12.70, 50.20, -0.02},
    {13.85, 50.52, 0.00}, {15.02, 50.76, -0.03}, {15.85, 50.42, 0.00}, {16.12, 49.88, -0.02}, {15.60, 49.40, 0.02},
    {16.60, 48.98, 0.04}, {17.20, 49.78, -0.01}, {17.78, 49.16, -0.03}, {18.02, 49.86, 0.00},
};

// The line between seeds i and j, kept in one orientation so that both cells cut it alike.
HalfPlane Between(int i, int j)
{
    const int lo = std::min(i, j), hi = std::max(i, j);
    const Seed& s = kRegionSeeds[lo];
    const Seed& t = kRegionSeeds[hi];
    const double k2 = kLonScale * kLonScale;
    HalfPlane h = {2 * k2 * (t.X - s.X), 2 * (t.Y - s.Y),
                   k2 * (t.X * t.X - s.X * s.X) + (t.Y * t.Y - s.Y * s.Y) - t.Weight + s.Weight};
    if (i == hi)
        h = {-h.A, -h.B, -h.C};
    return h;
}

Ring PragueRing(Rng& rng)
{
    Ring r;
    const int n = 48;
    for (int i = 0; i < n; ++i) {
        const double a = -2 * kMapPi * i / n;  // clockwise
        const double k = 1 + 0.12 * std::sin(3 * a + 0.7) + 0.05 * rng.Between(-1, 1);
        r.push_back({14.45 + 0.17 * k * std::cos(a), 50.06 + 0.095 * k * std::sin(a)});
    }
    return r;
}

// ---- the rivers ----

struct River
{
    const wchar_t* Name;
    std::vector<double> Course;  // control points x, y from the source downstream
};

const River kRivers[] = {
    {L"Vltava", {13.58, 48.97, 13.95, 48.78, 14.20, 48.63, 14.31, 48.62, 14.32, 48.81, 14.47, 48.97, 14.42, 49.22,
                 14.28, 49.40, 14.17, 49.51, 14.40, 49.82, 14.41, 50.05, 14.42, 50.10, 14.31, 50.24, 14.47, 50.35}},
    {L"Labe", {15.54, 50.77, 15.61, 50.63, 15.81, 50.43, 15.92, 50.36, 15.83, 50.21, 15.78, 50.04, 15.20, 50.03,
               15.04, 50.19, 14.75, 50.19, 14.47, 50.35, 14.26, 50.42, 14.13, 50.53, 14.04, 50.66, 14.21, 50.78,
               14.24, 50.87}},
    {L"Morava", {16.85, 50.19, 16.94, 50.07, 16.88, 49.88, 17.07, 49.70, 17.25, 49.59, 17.45, 49.45, 17.39, 49.30,
                 17.53, 49.21, 17.46, 49.07, 17.13, 48.85, 16.95, 48.65}},
    {L"Dyje", {15.81, 48.90, 16.05, 48.85, 16.60, 48.90, 16.88, 48.76, 16.95, 48.65}},
    {L"Odra", {17.58, 49.62, 17.83, 49.66, 18.27, 49.84, 18.35, 49.92}},
    {L"Ohře", {12.37, 50.08, 12.66, 50.18, 12.87, 50.23, 13.17, 50.38, 13.27, 50.38, 13.55, 50.33, 13.80, 50.36,
               14.13, 50.53}},
    {L"Berounka", {13.38, 49.75, 13.75, 49.90, 14.07, 49.96, 14.36, 49.98, 14.40, 50.00}},
    {L"Sázava", {15.93, 49.56, 15.58, 49.61, 15.28, 49.69, 15.10, 49.74, 14.90, 49.87, 14.59, 49.84, 14.40, 49.88}},
    {L"Svratka", {16.03, 49.73, 16.42, 49.35, 16.60, 49.18, 16.60, 48.90}},
    {L"Jizera", {15.32, 50.78, 15.33, 50.60, 15.16, 50.59, 14.91, 50.41, 14.82, 50.29, 14.75, 50.19}},
    {L"Otava", {13.52, 49.23, 13.90, 49.26, 14.15, 49.31, 14.28, 49.40}},
    {L"Lužnice", {14.98, 48.86, 14.70, 49.18, 14.66, 49.41, 14.47, 49.29, 14.42, 49.24}},
};

// A course with meanders: each leg halved four times with the midpoint moved a little aside.
std::vector<Pt> Meander(const std::vector<double>& course, Rng& rng)
{
    std::vector<Pt> line;
    for (size_t i = 0; i + 1 < course.size(); i += 2)
        line.push_back({course[i], course[i + 1]});
    for (int level = 0; level < 4; ++level) {
        std::vector<Pt> finer;
        for (size_t i = 0; i + 1 < line.size(); ++i) {
            const Pt a = line[i], b = line[i + 1];
            finer.push_back(a);
            const double dx = (b.X - a.X) * kLonScale, dy = b.Y - a.Y, len = std::sqrt(dx * dx + dy * dy);
            const double d = len * rng.Between(-0.22, 0.22);
            finer.push_back({(a.X + b.X) / 2 - dy / (len + 1e-12) * d / kLonScale, (a.Y + b.Y) / 2 + dx / (len + 1e-12) * d});
        }
        finer.push_back(line.back());
        line = finer;
    }
    return line;
}

// ---- writing ----

shpw::Shape ShapeOf(int type, const std::vector<Ring>& parts)
{
    shpw::Shape s;
    s.Type = type;
    for (const Ring& r : parts) {
        if (type != SHPT_POINT && type != SHPT_MULTIPOINT)
            s.PartStarts.push_back((int)s.X.size());
        for (const Pt& p : r) {
            s.X.push_back(p.X);
            s.Y.push_back(p.Y);
        }
    }
    return s;
}

// Rings are written closed, as the format has them.
Ring Closed(Ring r)
{
    if (!r.empty())
        r.push_back(r.front());
    return r;
}

bool WriteText(const std::wstring& path, const std::string& text)
{
    return shpw::WriteFileBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

struct LayerWriter
{
    std::wstring Folder;
    std::vector<SampleLayerSummary>* Summaries;
    std::wstring* Error;

    bool Write(const wchar_t* file, int type, const std::vector<shpw::Shape>& shapes, const std::vector<DbfColumn>& columns,
               const std::vector<std::vector<std::wstring>>& names)
    {
        std::wstring base = Folder + L"\\" + file;
        base.erase(base.size() - 4);
        shpw::Bytes bytes = shpw::WriteShapefile(type, shapes);
        if (!shpw::WriteFileBytes(base + L".shp", bytes.Shp) || !shpw::WriteFileBytes(base + L".shx", bytes.Shx) ||
            !shpw::WriteFileBytes(base + L".dbf", MakeDbf(columns, names)) || !WriteText(base + L".cpg", "UTF-8")) {
            *Error = L"cannot write " + base + L".*";
            return false;
        }
        SampleLayerSummary s;
        s.File = file;
        s.Shapes = (int)shapes.size();
        s.ShapeType = type;
        bool any = false;
        for (const shpw::Shape& shape : shapes)
            for (size_t i = 0; i < shape.X.size(); ++i) {
                s.MinX = any ? std::min(s.MinX, shape.X[i]) : shape.X[i];
                s.MaxX = any ? std::max(s.MaxX, shape.X[i]) : shape.X[i];
                s.MinY = any ? std::min(s.MinY, shape.Y[i]) : shape.Y[i];
                s.MaxY = any ? std::max(s.MaxY, shape.Y[i]) : shape.Y[i];
                any = true;
                ++s.Vertices;
            }
        if (Summaries)
            Summaries->push_back(s);
        return true;
    }
};

bool WriteBenchmarkLayers(LayerWriter& out, Rng& rng)
{
    // 2,000 wobbly polygons of 750 vertices each on a 50 x 40 lattice; every tenth holds a hole.
    const int columns = 50, rows = 40, perShape = 750;
    const double x0 = 12.0, x1 = 18.9, y0 = 48.5, y1 = 51.1;
    const double cw = (x1 - x0) / columns, ch = (y1 - y0) / rows;
    std::vector<shpw::Shape> polygons;
    std::vector<std::vector<std::wstring>> names;
    for (int k = 0; k < columns * rows; ++k) {
        const double cx = x0 + cw * (k % columns + 0.5), cy = y0 + ch * (k / columns + 0.5);
        const bool holed = k % 10 == 0;
        const int outerCount = holed ? 600 : perShape;
        const double phase[3] = {rng.Between(0, 6.3), rng.Between(0, 6.3), rng.Between(0, 6.3)};
        auto ringOf = [&](int n, double scale, bool clockwise) {
            Ring r;
            for (int i = 0; i < n - 1; ++i) {
                const double a = 2 * kMapPi * i / (n - 1) * (clockwise ? -1 : 1);
                const double wob = 1 + 0.12 * std::sin(3 * a + phase[0]) + 0.07 * std::sin(7 * a + phase[1]) +
                                   0.03 * std::sin(17 * a + phase[2]);
                r.push_back({cx + 0.45 * cw * scale * wob * std::cos(a), cy + 0.45 * ch * scale * wob * std::sin(a)});
            }
            return Closed(r);
        };
        std::vector<Ring> rings = {ringOf(outerCount, 1.0, true)};
        if (holed)
            rings.push_back(ringOf(perShape - outerCount, 0.35, false));
        polygons.push_back(ShapeOf(SHPT_POLYGON, rings));
        names.push_back({L"Plocha " + std::to_wstring(k + 1)});
    }
    if (!out.Write(kSampleBenchPolygonLayer, SHPT_POLYGON, polygons, {{"NAZEV", 20}}, names))
        return false;
    // 300 winding lines of 1,000 vertices each.
    std::vector<shpw::Shape> lines;
    names.clear();
    for (int k = 0; k < 300; ++k) {
        Ring line;
        double x = rng.Between(x0, x1), y = rng.Between(y0, y1), heading = rng.Between(0, 2 * kMapPi);
        for (int i = 0; i < 1000; ++i) {
            line.push_back({x, y});
            heading += rng.Between(-0.35, 0.35);
            x += 0.004 * std::cos(heading) / kLonScale;
            y += 0.004 * std::sin(heading);
            if (x < x0 || x > x1)
                heading = kMapPi - heading;
            if (y < y0 || y > y1)
                heading = -heading;
        }
        lines.push_back(ShapeOf(SHPT_ARC, {line}));
        names.push_back({L"Linie " + std::to_wstring(k + 1)});
    }
    return out.Write(kSampleBenchLineLayer, SHPT_ARC, lines, {{"NAZEV", 20}}, names);
}

}  // namespace

void MakeKfmeGrid(::GridDef* grid)
{
    ZeroMemory(grid, sizeof *grid);
    wcscpy(grid->Name, L"KFME");
    grid->LatMin = 48.5;  // row 75 of the 6' rows counted from 56 N
    grid->LatMax = 51.1;
    grid->LatCoarseStep = 0.1;
    grid->LatFineStep = 0.05;
    grid->LonMin = 12.0;  // column 38 of the 10' columns counted from 5 40' E
    grid->LonMax = 19.0;
    grid->LonCoarseStep = 1.0 / 6;
    grid->LonFineStep = 1.0 / 12;
}

bool WriteSampleMap(const std::wstring& folder, const SampleMapOptions& options, std::vector<SampleLayerSummary>* layers,
                    std::wstring* error)
{
    std::wstring message;
    if (!error)
        error = &message;
    if (!MakeFolders(folder)) {
        *error = L"cannot make the folder " + folder;
        return false;
    }
    Rng rng(options.Seed);
    LayerWriter out = {folder, layers, error};

    const Ring border = RefineBorder(rng);
    if (!out.Write(kSampleBorderLayer, SHPT_POLYGON, {ShapeOf(SHPT_POLYGON, {Closed(border)})}, {{"NAZEV", 40}},
                   {{L"Česká republika"}}))
        return false;

    // Regions: each cell of the border, Prague cut out of the Central Bohemian region.
    const Ring prague = PragueRing(rng);
    std::vector<shpw::Shape> regions;
    std::vector<std::vector<std::wstring>> regionNames;
    for (int r = 0; r < sample::kRegionCount; ++r) {
        std::vector<Ring> rings;
        if (r == 0) {
            rings.push_back(Closed(prague));
        } else {
            Ring cell = border;
            for (int other = 1; other < 14 && !cell.empty(); ++other)
                if (other != r)
                    cell = Clip(cell, Between(r, other));
            rings.push_back(Closed(cell));
            if (r == 1) {
                Ring hole(prague.rbegin(), prague.rend());
                rings.push_back(Closed(hole));
            }
        }
        regions.push_back(ShapeOf(SHPT_POLYGON, rings));
        regionNames.push_back({sample::kRegions[r].name, sample::kRegions[r].abbrev, sample::kRegions[r].nuts});
    }
    if (!out.Write(kSampleRegionLayer, SHPT_POLYGON, regions, {{"NAZEV", 40}, {"ZKRATKA", 4}, {"NUTS", 6}}, regionNames))
        return false;

    std::vector<shpw::Shape> rivers;
    std::vector<std::vector<std::wstring>> riverNames;
    for (const River& river : kRivers) {
        std::vector<Pt> line = Meander(river.Course, rng);
        rivers.push_back(ShapeOf(SHPT_ARC, {Ring(line.begin(), line.end())}));
        riverNames.push_back({river.Name});
    }
    if (!out.Write(kSampleRiverLayer, SHPT_ARC, rivers, {{"NAZEV", 24}}, riverNames))
        return false;

    std::vector<shpw::Shape> towns;
    std::vector<std::vector<std::wstring>> townNames;
    for (int d = 0; d < sample::kDistrictCount; ++d) {
        const sample::DistrictInfo& info = sample::kDistricts[d];
        towns.push_back(ShapeOf(SHPT_POINT, {{{info.lon, info.lat}}}));
        townNames.push_back({info.name, info.abbrev, sample::kRegions[info.region].name});
    }
    if (!out.Write(kSampleTownLayer, SHPT_POINT, towns, {{"NAZEV", 40}, {"ZKRATKA", 4}, {"KRAJ", 40}}, townNames))
        return false;

    ::GridDef kfme;
    MakeKfmeGrid(&kfme);
    DWORD code = 0;
    if (!WriteGridDefFile((folder + L"\\" + kSampleGridFile).c_str(), &kfme, &code)) {
        *error = L"cannot write the grid file " + folder + L"\\" + kSampleGridFile;
        return false;
    }
    return !options.Benchmark || WriteBenchmarkLayers(out, rng);
}

}  // namespace zor
