#include "tests/shapefile/shpfuzz.h"

#include <cmath>
#include <cstring>

#include "shapefile/shapefile.h"

namespace shpfuzz {

namespace {

class Rng
{
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t Next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t Below(size_t n) { return n ? (size_t)(Next() % n) : 0; }

private:
    uint64_t state_;
};

shpw::Shape Ring(int type, std::vector<std::vector<double>> rings, bool z = false, bool m = false)
{
    shpw::Shape s;
    s.Type = type;
    for (const auto& r : rings) {
        s.PartStarts.push_back((int)s.X.size());
        for (size_t i = 0; i + 1 < r.size(); i += 2) {
            s.X.push_back(r[i]);
            s.Y.push_back(r[i + 1]);
            if (z)
                s.Z.push_back(100 + (double)s.X.size());
            if (m)
                s.M.push_back((double)s.X.size() / 2);
        }
    }
    return s;
}

shpw::Shape Points(int type, std::vector<double> xy)
{
    shpw::Shape s = Ring(type, {xy}, type == SHPT_MULTIPOINTZ || type == SHPT_POINTZ,
                         type == SHPT_MULTIPOINTM || type == SHPT_POINTM);
    s.PartStarts.clear();
    return s;
}

shpw::Shape Null()
{
    return shpw::Shape();
}

// Touches every value of a shape and checks what the callers rely on.
bool CheckShape(const SHPObject* s, std::string* why, double* sum)
{
    if (s->nVertices < 0 || s->nParts < 0) {
        *why = "negative count";
        return false;
    }
    if (s->nVertices > 0 && (!s->padfX || !s->padfY || !s->padfZ || !s->padfM)) {
        *why = "vertices without arrays";
        return false;
    }
    for (int i = 0; i < s->nVertices; ++i) {
        if (!std::isfinite(s->padfX[i]) || !std::isfinite(s->padfY[i])) {
            *why = "a coordinate that is not finite";
            return false;
        }
        *sum += s->padfX[i] + s->padfY[i] + s->padfZ[i] * 0 + s->padfM[i] * 0;
    }
    for (int k = 0; k < s->nParts; ++k) {
        int start = s->panPartStart[k];
        if (start < 0 || start >= s->nVertices || (k > 0 && start < s->panPartStart[k - 1])) {
            *why = "a part start outside its shape or out of order";
            return false;
        }
        *sum += s->panPartType[k];
    }
    return true;
}

void PutWord(std::vector<unsigned char>& b, size_t at, uint32_t v, bool bigEndian)
{
    if (at + 4 > b.size())
        return;
    for (int k = 0; k < 4; ++k)
        b[at + k] = (unsigned char)(v >> (8 * (bigEndian ? 3 - k : k)));
}

void Mutate(std::vector<unsigned char>& b, Rng& rng)
{
    static const uint32_t kWords[] = {0,          1,          2,          3,          0xFFFFFFFFu, 0x7FFFFFFFu,
                                      0x80000000u, 0x7FFFFFF0u, 0x40000000u, 0x3FFFFFFFu, 0x10000000u, 50,
                                      0xFFFF,     0x10000,    0x1000,     0xFFFFFFF8u};
    static const double kDoubles[] = {NAN, INFINITY, -INFINITY, 1e308, -1e308, -0.0, 0.0, 5e-324};
    switch (rng.Below(9)) {
    case 0:  // a bit
        if (!b.empty())
            b[rng.Below(b.size())] ^= (unsigned char)(1u << rng.Below(8));
        break;
    case 1:  // a byte
        if (!b.empty())
            b[rng.Below(b.size())] = (unsigned char)rng.Next();
        break;
    case 2:  // a count or length: aligned, either byte order
    case 3: {
        size_t at = rng.Below(b.size() / 4 + 1) * 4;
        uint32_t v = rng.Below(4) == 0 ? (uint32_t)(b.size() / 2 + rng.Below(64)) : kWords[rng.Below(16)];
        PutWord(b, at, v, rng.Below(2) == 0);
        break;
    }
    case 4: {  // a coordinate
        size_t at = rng.Below(b.size() / 4 + 1) * 4;
        if (at + 8 <= b.size()) {
            double d = kDoubles[rng.Below(8)];
            memcpy(&b[at], &d, 8);
        }
        break;
    }
    case 5:  // cut
        b.resize(rng.Below(b.size() + 1));
        break;
    case 6:  // grow
        for (size_t n = 1 + rng.Below(64); n; --n)
            b.push_back((unsigned char)rng.Next());
        break;
    case 7: {  // an 8-byte block (an index entry, a point) copied elsewhere
        if (b.size() >= 16) {
            size_t from = rng.Below(b.size() / 8) * 8, to = rng.Below(b.size() / 8) * 8;
            if (from + 8 <= b.size() && to + 8 <= b.size())
                memmove(&b[to], &b[from], 8);
        }
        break;
    }
    default: {  // a run of bytes zeroed or set to 0xFF
        if (!b.empty()) {
            size_t at = rng.Below(b.size()), n = 1 + rng.Below(16);
            unsigned char v = rng.Below(2) ? 0xFF : 0x00;
            for (size_t k = at; k < b.size() && k < at + n; ++k)
                b[k] = v;
        }
        break;
    }
    }
}

}  // namespace

std::vector<shpw::Bytes> SeedLayers()
{
    const std::vector<double> outer = {0, 0, 0, 10, 10, 10, 10, 0, 0, 0};
    const std::vector<double> hole = {3, 3, 7, 3, 7, 7, 3, 7, 3, 3};
    std::vector<shpw::Bytes> seeds;
    seeds.push_back(shpw::WriteShapefile(SHPT_POLYGON, {Ring(SHPT_POLYGON, {outer, hole}), Null(),
                                                        Ring(SHPT_POLYGON, {{20, 20, 20, 25, 25, 20, 20, 20}})}));
    seeds.push_back(shpw::WriteShapefile(SHPT_POLYGONZ, {Ring(SHPT_POLYGONZ, {outer, hole}, true, true)}));
    seeds.push_back(shpw::WriteShapefile(SHPT_ARCM, {Ring(SHPT_ARCM, {{0, 0, 1, 1, 2, 0}, {5, 5, 6, 6}}, false, true),
                                                     Ring(SHPT_ARCM, {{9, 9, 8, 8}}, false, true)}));
    seeds.push_back(shpw::WriteShapefile(SHPT_MULTIPOINT, {Points(SHPT_MULTIPOINT, {1, 2, 3, 4, 5, 6})}));
    seeds.push_back(shpw::WriteShapefile(SHPT_MULTIPOINTZ, {Points(SHPT_MULTIPOINTZ, {1, 2, 3, 4})}));
    seeds.push_back(shpw::WriteShapefile(SHPT_POINT, {Points(SHPT_POINT, {14.4, 50.1}), Null(),
                                                      Points(SHPT_POINT, {16.6, 49.2})}));
    seeds.push_back(shpw::WriteShapefile(SHPT_POINTZ, {Points(SHPT_POINTZ, {1, 2})}));
    shpw::Shape patch = Ring(SHPT_MULTIPATCH, {{0, 0, 1, 0, 0, 1, 1, 1}, {2, 2, 3, 2, 2, 3}}, true);
    patch.PartTypes = {SHPP_TRISTRIP, SHPP_TRIFAN};
    seeds.push_back(shpw::WriteShapefile(SHPT_MULTIPATCH, {patch}));
    return seeds;
}

Result Run(int iterations, uint64_t seed, const Placement& placement)
{
    Result result;
    Rng rng(seed);
    const std::vector<shpw::Bytes> seeds = SeedLayers();
    double sum = 0;
    for (int it = 0; it < iterations && result.Failure.empty(); ++it) {
        shpw::Bytes layer = seeds[rng.Below(seeds.size())];
        for (size_t n = 1 + rng.Below(4); n; --n) {
            size_t which = rng.Below(10);
            Mutate(which < 7 ? layer.Shp : layer.Shx, rng);
        }
        void* shpCookie = nullptr;
        void* shxCookie = nullptr;
        const void* shp = placement.Place(layer.Shp, it, &shpCookie);
        const void* shx = placement.Place(layer.Shx, it, &shxCookie);
        SHPHandle h = SHPOpenMem(shp, layer.Shp.size(), shx, layer.Shx.size());
        if (h) {
            result.Opened++;
            int count = -1, type = -1;
            double lo[4], hi[4];
            SHPGetInfo(h, &count, &type, lo, hi);
            if (count < 0 || (size_t)count > (layer.Shx.size() >= 100 ? (layer.Shx.size() - 100) / 8 : 0))
                result.Failure = "a record count beyond what the index holds";
            // A few past the end too: those must be refused.
            for (int i = -1; i <= count + 1 && i < 512 && result.Failure.empty(); ++i) {
                SHPObject* s = SHPReadObject(h, i);
                if (!s) {
                    result.NullShapes++;
                    continue;
                }
                if (i < 0 || i >= count)
                    result.Failure = "a shape for an index out of range";
                else if (!CheckShape(s, &result.Failure, &sum) && result.Failure.empty())
                    result.Failure = "a broken shape";
                result.Shapes++;
                SHPDestroyObject(s);
            }
            SHPClose(h);
        }
        placement.Release(shpCookie);
        placement.Release(shxCookie);
        result.Iterations++;
        if (!result.Failure.empty())
            result.Failure += " (iteration " + std::to_string(it) + ")";
    }
    (void)sum;
    return result;
}

}  // namespace shpfuzz
