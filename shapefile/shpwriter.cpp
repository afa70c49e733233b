// Shapefile bytes from shapes: a 100-byte header in each file, then one index entry and one
// record per shape.
#include "shapefile/shpwriter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "shapefile/shapefile.h"

namespace shpw {

namespace {

void PutBe32(std::vector<unsigned char>& b, uint32_t v)
{
    for (int k = 3; k >= 0; --k)
        b.push_back((unsigned char)(v >> (8 * k)));
}

void PutLe32(std::vector<unsigned char>& b, int32_t v)
{
    uint32_t u = (uint32_t)v;
    for (int k = 0; k < 4; ++k)
        b.push_back((unsigned char)(u >> (8 * k)));
}

void PutDouble(std::vector<unsigned char>& b, double d)
{
    uint64_t u;
    memcpy(&u, &d, sizeof u);
    for (int k = 0; k < 8; ++k)
        b.push_back((unsigned char)(u >> (8 * k)));
}

bool TypeHasZ(int t)
{
    return t == SHPT_POINTZ || t == SHPT_MULTIPOINTZ || t == SHPT_ARCZ || t == SHPT_POLYGONZ || t == SHPT_MULTIPATCH;
}

bool TypeHasM(int t) { return TypeHasZ(t) || t == SHPT_POINTM || t == SHPT_MULTIPOINTM || t == SHPT_ARCM || t == SHPT_POLYGONM; }

double At(const std::vector<double>& v, size_t i) { return i < v.size() ? v[i] : 0.0; }

struct Range
{
    double Lo = 0, Hi = 0;
    bool Any = false;
    void Add(double v)
    {
        if (!Any || v < Lo) Lo = v;
        if (!Any || v > Hi) Hi = v;
        Any = true;
    }
};

void PutRange(std::vector<unsigned char>& b, const std::vector<double>& v, size_t n)
{
    Range r;
    for (size_t i = 0; i < n; ++i)
        r.Add(At(v, i));
    PutDouble(b, r.Lo);
    PutDouble(b, r.Hi);
}

void PutAxis(std::vector<unsigned char>& b, const std::vector<double>& v, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        PutDouble(b, At(v, i));
}

std::vector<unsigned char> Content(const Shape& s)
{
    std::vector<unsigned char> c;
    PutLe32(c, s.Type);
    const size_t n = s.X.size();
    switch (s.Type) {
    case SHPT_NULL:
        break;
    case SHPT_POINT: case SHPT_POINTZ: case SHPT_POINTM:
        PutDouble(c, At(s.X, 0));
        PutDouble(c, At(s.Y, 0));
        if (TypeHasZ(s.Type))
            PutDouble(c, At(s.Z, 0));
        if (TypeHasM(s.Type))
            PutDouble(c, At(s.M, 0));
        break;
    default: {
        const bool parts = s.Type != SHPT_MULTIPOINT && s.Type != SHPT_MULTIPOINTZ && s.Type != SHPT_MULTIPOINTM;
        Range x, y;
        for (size_t i = 0; i < n; ++i) {
            x.Add(s.X[i]);
            y.Add(At(s.Y, i));
        }
        PutDouble(c, x.Lo);
        PutDouble(c, y.Lo);
        PutDouble(c, x.Hi);
        PutDouble(c, y.Hi);
        if (parts)
            PutLe32(c, (int32_t)s.PartStarts.size());
        PutLe32(c, (int32_t)n);
        if (parts) {
            for (int start : s.PartStarts)
                PutLe32(c, start);
            if (s.Type == SHPT_MULTIPATCH)
                for (size_t k = 0; k < s.PartStarts.size(); ++k)
                    PutLe32(c, k < s.PartTypes.size() ? s.PartTypes[k] : SHPP_RING);
        }
        for (size_t i = 0; i < n; ++i) {
            PutDouble(c, s.X[i]);
            PutDouble(c, At(s.Y, i));
        }
        if (TypeHasZ(s.Type)) {
            PutRange(c, s.Z, n);
            PutAxis(c, s.Z, n);
        }
        if (TypeHasM(s.Type)) {
            PutRange(c, s.M, n);
            PutAxis(c, s.M, n);
        }
        break;
    }
    }
    return c;
}

void PutHeader(std::vector<unsigned char>& b, size_t fileBytes, int type, const double bounds[8])
{
    PutBe32(b, 9994);
    for (int k = 0; k < 5; ++k)
        PutBe32(b, 0);
    PutBe32(b, (uint32_t)(fileBytes / 2));
    PutLe32(b, 1000);
    PutLe32(b, type);
    for (int k = 0; k < 8; ++k)
        PutDouble(b, bounds[k]);
}

}  // namespace

Bytes WriteShapefile(int fileType, const std::vector<Shape>& shapes)
{
    Range x, y, z, m;
    std::vector<std::vector<unsigned char>> contents;
    contents.reserve(shapes.size());
    for (const Shape& s : shapes) {
        for (size_t i = 0; i < s.X.size(); ++i) {
            x.Add(s.X[i]);
            y.Add(At(s.Y, i));
            z.Add(At(s.Z, i));
            m.Add(At(s.M, i));
        }
        contents.push_back(Content(s));
    }
    const double bounds[8] = {x.Lo, y.Lo, x.Hi, y.Hi, z.Lo, z.Hi, m.Lo, m.Hi};
    size_t shpBytes = 100, shxBytes = 100 + 8 * shapes.size();
    for (const auto& c : contents)
        shpBytes += 8 + c.size();
    Bytes out;
    out.Shp.reserve(shpBytes);
    out.Shx.reserve(shxBytes);
    PutHeader(out.Shp, shpBytes, fileType, bounds);
    PutHeader(out.Shx, shxBytes, fileType, bounds);
    for (size_t i = 0; i < contents.size(); ++i) {
        PutBe32(out.Shx, (uint32_t)(out.Shp.size() / 2));
        PutBe32(out.Shx, (uint32_t)(contents[i].size() / 2));
        PutBe32(out.Shp, (uint32_t)(i + 1));
        PutBe32(out.Shp, (uint32_t)(contents[i].size() / 2));
        out.Shp.insert(out.Shp.end(), contents[i].begin(), contents[i].end());
    }
    return out;
}

}  // namespace shpw
