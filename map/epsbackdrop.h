// PostScript paints without transparency: a transparent fill is written as its colour blended
// over what the file has painted below it. This keeps what has been painted so far as regions,
// each the intersection of some named areas (the PostScript procedures that clip to them) and
// the colour it was painted in, and the symbols painted with their colours.
#pragma once
#include <windows.h>

#include <vector>

struct LayerShape;

// The colour over the one below at an opacity from 0 (the one below) to 1 (the colour).
COLORREF BlendColour(COLORREF colour, COLORREF below, double opacity);

class EpsBackdrop
{
public:
    struct Region
    {
        std::vector<int> Areas;  // the named areas whose intersection it is
        COLORREF Colour;
        double Box[4];           // x0, y0, x1, y1 (map units, y scaled)
        size_t Seq;              // the order of painting
    };

    // Names an area (its runs stay the caller's while the file is written): its number.
    int NameArea(const LayerShape* entry, const double box[4]);
    void AddRegion(const std::vector<int>& areas, COLORREF colour, const double box[4]);
    // A symbol painted at a point: its outline (absolute, x, y pairs), or an ellipse of half
    // sizes hx, hy when the outline is empty.
    void AddSymbol(double x, double y, double hx, double hy, const std::vector<double>& outline, COLORREF colour);

    // What was painted last at the point: paper white where nothing was.
    COLORREF ColourAt(double x, double y) const;
    const std::vector<Region>& Regions() const { return regions_; }
    // No more regions are kept beyond this many; later fills blend over the paper there.
    static const size_t kMaxRegions = 4096;

private:
    struct Area
    {
        const LayerShape* Entry;
        double Box[4];
    };
    struct Symbol
    {
        double X, Y, Hx, Hy;
        std::vector<double> Outline;
        COLORREF Colour;
        size_t Seq;
    };
    bool InArea(int area, double x, double y) const;
    size_t seq_ = 0;
    std::vector<Area> areas_;
    std::vector<Region> regions_;
    std::vector<Symbol> symbols_;
};
