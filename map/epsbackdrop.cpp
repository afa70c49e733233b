#include "map/epsbackdrop.h"

#include <cmath>

#include "map/legend.h"

namespace {

bool InBox(const double box[4], double x, double y)
{
    return x >= box[0] && x <= box[2] && y >= box[1] && y <= box[3];
}

// The winding number of the closed rings about the point is not 0 (PostScript's fill rule and
// the screen's).
int Winding(const double* xy, int n, double x, double y)
{
    int winding = 0;
    for (int i = 0; i < n; ++i) {
        const double* a = xy + 2 * i;
        const double* b = xy + 2 * ((i + 1) % n);
        const double cross = (b[0] - a[0]) * (y - a[1]) - (x - a[0]) * (b[1] - a[1]);
        if (a[1] <= y) {
            if (b[1] > y && cross > 0)
                ++winding;
        } else if (b[1] <= y && cross < 0) {
            --winding;
        }
    }
    return winding;
}

}  // namespace

COLORREF BlendColour(COLORREF colour, COLORREF below, double opacity)
{
    const double a = std::fmin(1.0, std::fmax(0.0, opacity));
    auto mix = [a](int c, int b) { return (BYTE)std::lround(c * a + b * (1 - a)); };
    return RGB(mix(GetRValue(colour), GetRValue(below)), mix(GetGValue(colour), GetGValue(below)),
               mix(GetBValue(colour), GetBValue(below)));
}

int EpsBackdrop::NameArea(const LayerShape* entry, const double box[4])
{
    areas_.push_back({entry, {box[0], box[1], box[2], box[3]}});
    return (int)areas_.size() - 1;
}

void EpsBackdrop::AddRegion(const std::vector<int>& areas, COLORREF colour, const double box[4])
{
    if (regions_.size() >= kMaxRegions)
        return;
    regions_.push_back({areas, colour, {box[0], box[1], box[2], box[3]}, seq_++});
}

void EpsBackdrop::AddSymbol(double x, double y, double hx, double hy, const std::vector<double>& outline,
                            COLORREF colour)
{
    symbols_.push_back({x, y, std::fabs(hx), std::fabs(hy), outline, colour, seq_++});
}

bool EpsBackdrop::InArea(int area, double x, double y) const
{
    if (area < 0 || area >= (int)areas_.size() || !InBox(areas_[area].Box, x, y))
        return false;
    const LayerShape* entry = areas_[area].Entry;
    int winding = 0;
    for (int r = 0; entry && entry->Runs && r < entry->Runs->GetCount(); ++r)
        winding += Winding((const double*)entry->Runs->GetItems()[r], entry->RunCounts->GetItems()[r], x, y);
    return winding != 0;
}

COLORREF EpsBackdrop::ColourAt(double x, double y) const
{
    COLORREF colour = RGB(255, 255, 255);
    size_t seq = 0;
    bool found = false;
    for (size_t i = regions_.size(); i-- > 0;) {
        const Region& r = regions_[i];
        bool inside = InBox(r.Box, x, y);
        for (size_t k = 0; inside && k < r.Areas.size(); ++k)
            inside = InArea(r.Areas[k], x, y);
        if (inside) {
            colour = r.Colour;
            seq = r.Seq;
            found = true;
            break;
        }
    }
    for (size_t i = symbols_.size(); i-- > 0;) {
        const Symbol& s = symbols_[i];
        if (found && s.Seq < seq)
            break;  // painted before what was found
        if (std::fabs(x - s.X) > s.Hx || std::fabs(y - s.Y) > s.Hy)
            continue;
        const bool inside = s.Outline.empty()
                                ? std::pow((x - s.X) / s.Hx, 2) + std::pow((y - s.Y) / s.Hy, 2) <= 1
                                : Winding(s.Outline.data(), (int)s.Outline.size() / 2, x, y) != 0;
        if (inside)
            return s.Colour;
    }
    return colour;
}
