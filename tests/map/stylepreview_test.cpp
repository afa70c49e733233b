// Style previews drawn into 32-bit bitmaps and read back through GDI.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "map/glbitmap.h"
#include "map/legend.h"
#include "map/mapunits.h"
#include "map/stylepreview.h"

namespace {

struct Preview {
    HBITMAP bitmap = nullptr;
    int w = 0, h = 0;
    ~Preview() { DeleteObject(bitmap); }
    COLORREF At(int x, int y) const
    {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        COLORREF c = GetPixel(dc, x, y);
        SelectObject(dc, old);
        DeleteDC(dc);
        return c;
    }
};

Preview Render(const LegendStyle& style, int w, int h, int checkerboard)
{
    Preview p;
    p.w = w;
    p.h = h;
    HDC screen = GetDC(nullptr);
    p.bitmap = RenderStylePreview(screen, w, h, &style, checkerboard);
    ReleaseDC(nullptr, screen);
    return p;
}

LegendStyle Symbol(int shape)
{
    LegendStyle s;
    DefaultShapeStyle(SHPT_POINT, &s);
    s.SymbShape = shape;
    return s;
}

}  // namespace

// A red fill must come out red: the wrong pixel formats swap red and blue on memory bitmaps.
TEST(StylePreview, ColoursComeOutAsGiven)
{
    LegendStyle s = Symbol(SYMBOL_SQUARE);
    s.Fill = true;
    s.FillColor = RGB(255, 0, 0);
    Preview p = Render(s, 16, 16, 0);
    ASSERT_NE(nullptr, p.bitmap);
    EXPECT_EQ(RGB(255, 0, 0), p.At(8, 8));
    BITMAP info = {};
    GetObjectW(p.bitmap, sizeof info, &info);
    EXPECT_EQ(16, info.bmWidth);
    EXPECT_EQ(32, info.bmBitsPixel);
    // Every pixel is opaque, as image lists with per-pixel alpha need.
    const unsigned* bits = (const unsigned*)info.bmBits;
    ASSERT_NE(nullptr, bits);
    for (int i = 0; i < 16 * 16; ++i)
        ASSERT_EQ(0xFF000000u, bits[i] & 0xFF000000u) << i;
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), p.At(0, 0));

    LegendStyle line;
    DefaultShapeStyle(SHPT_ARC, &line);
    line.BorderColor = RGB(0, 0, 255);
    line.BorderWidth = 1.0;
    Preview l = Render(line, 32, 32, 0);
    int blue = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            blue += l.At(x, y) == RGB(0, 0, 255);
    EXPECT_GT(blue, 10);
}

TEST(StylePreview, TransparentFillShowsTheCheckerboard)
{
    LegendStyle s;
    DefaultShapeStyle(SHPT_POLYGON, &s);
    s.Fill = true;
    s.FillColor = RGB(0, 128, 0);
    s.FillTransp = 100;
    s.Border = false;
    Preview p = Render(s, 64, 64, 1);
    int light = 0, dark = 0;
    for (int y = 24; y < 40; ++y)
        for (int x = 24; x < 40; ++x) {
            COLORREF c = p.At(x, y);
            light += c == RGB(230, 230, 230);
            dark += c == RGB(204, 204, 204);
        }
    EXPECT_GT(light, 64);
    EXPECT_GT(dark, 64);
    s.FillTransp = 0;
    Preview opaque = Render(s, 64, 64, 1);
    EXPECT_EQ(RGB(0, 128, 0), opaque.At(32, 32));
}

TEST(StylePreview, SymbolsAndHatchingWithinLimits)
{
    // A symbol larger than the preview is held inside it.
    LegendStyle big = Symbol(SYMBOL_SQUARE);
    big.SymbSize = 100;
    big.Fill = true;
    big.FillColor = RGB(0, 0, 255);
    big.Border = false;
    Preview b = Render(big, 16, 16, 0);
    EXPECT_EQ(RGB(0, 0, 255), b.At(8, 8));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), b.At(0, 0));
    // No spacing, or a tiny one: no hatching and no endless loop.
    for (double spacing : {0.0, -1.0, 1e-9}) {
        LegendStyle h;
        DefaultShapeStyle(SHPT_POLYGON, &h);
        h.Pattern = true;
        h.PatternWidth = spacing;
        DWORD start = GetTickCount();
        Preview hp = Render(h, 16, 16, 0);
        EXPECT_NE(nullptr, hp.bitmap);
        EXPECT_LT(GetTickCount() - start, 2000u);
    }
}

// The star: its centre and its points in the fill colour, the gaps between the points (one of
// them straight below the centre) the background; a pentagram covers 1.12 r^2 of the 4 r^2 of
// the square it stands in.
TEST(StylePreview, TheStarShowsItsFivePoints)
{
    const COLORREF red = RGB(255, 0, 0), window = GetSysColor(COLOR_WINDOW);
    LegendStyle star = Symbol(SYMBOL_STAR);
    star.Fill = true;
    star.FillColor = red;
    star.Border = false;
    star.SymbSize = 10;
    const int side = 64;
    Preview p = Render(star, side, side, 0);
    ASSERT_NE(nullptr, p.bitmap);
    double px = 0, py = 0;
    DevicePixelsPerMm(nullptr, &px, &py);
    const double r = std::min(5.0, side / py / 2.2) * px;  // the outer radius in pixels
    const double c = side / 2.0;
    auto at = [&](double degrees, double radius) {
        const double a = degrees * kMapPi / 180;
        return p.At((int)std::floor(c + radius * r * std::cos(a)), (int)std::floor(c - radius * r * std::sin(a)));
    };
    EXPECT_EQ(red, at(0, 0)) << "the centre";
    for (double point : {90.0, 162.0, 234.0, 306.0, 18.0})
        EXPECT_EQ(red, at(point, 0.6)) << "the point at " << point;
    for (double gap : {270.0, 126.0, 54.0, 198.0, 342.0})
        EXPECT_EQ(window, at(gap, 0.75)) << "the gap at " << gap;
    int filled = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            filled += p.At(x, y) == red;
    EXPECT_NEAR(1.1226, filled / (r * r), 0.25);
}

TEST(StylePreview, BitmapsLargerThanTheLimitAreRefused)
{
    GlBitmap b;
    EXPECT_FALSE(b.Create(nullptr, kMaxGlBitmapSide + 1, 10));
    EXPECT_FALSE(b.Create(nullptr, 0, 10));
    EXPECT_TRUE(b.Create(nullptr, 8, 8));
    EXPECT_NE(0, ChooseGlBitmapPixelFormat(b.Dc()));
}
