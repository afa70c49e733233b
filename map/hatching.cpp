#include "map/hatching.h"

#include <cmath>

#include "map/gldraw.h"
#include "map/mapunits.h"

namespace {

void OneDirection(double cx, double cy, double spacing, double degrees, double x0, double y0, double x1, double y1,
                  std::vector<double>* segments)
{
    // The lines' normal and their direction.
    const double a = degrees * kMapPi / 180;
    const double nx = std::cos(a), ny = std::sin(a), dx = -ny, dy = nx;
    double uMin = INFINITY, uMax = -INFINITY, tMin = INFINITY, tMax = -INFINITY;
    const double corners[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (const auto& p : corners) {
        const double u = (p[0] - cx) * nx + (p[1] - cy) * ny, t = (p[0] - cx) * dx + (p[1] - cy) * dy;
        uMin = std::fmin(uMin, u);
        uMax = std::fmax(uMax, u);
        tMin = std::fmin(tMin, t);
        tMax = std::fmax(tMax, t);
    }
    const double first = std::ceil(uMin / spacing), last = std::floor(uMax / spacing);
    if (!(last - first < kMaxHatchLines))
        return;  // NaN too
    for (double j = first; j <= last; ++j) {
        const double px = cx + spacing * j * nx, py = cy + spacing * j * ny;
        segments->insert(segments->end(), {px + tMin * dx, py + tMin * dy, px + tMax * dx, py + tMax * dy});
    }
}

}  // namespace

void HatchSegments(double cx, double cy, double spacing, double rotation, bool cross, double x0, double y0, double x1,
                   double y1, std::vector<double>* segments)
{
    segments->clear();
    if (!(spacing > 0) || !std::isfinite(spacing) || !std::isfinite(rotation))
        return;
    OneDirection(cx, cy, spacing, rotation, x0, y0, x1, y1, segments);
    if (cross)
        OneDirection(cx, cy, spacing, rotation + 90, x0, y0, x1, y1, segments);
}
