#include "map/stylepreview.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "map/glbitmap.h"
#include "map/gldraw.h"
#include "map/legend.h"
#include "map/mapunits.h"

namespace {

void DrawLineSample(const LegendStyle& s, double W, double H, double px)
{
    const double t = W / 2.3, u = H / 3;
    const double xy[8] = {-t, -u, -t / 3, u, t / 3, -u, t, u};
    if (s.Border) {
        GlWidthMm(s.BorderWidth, px);
        GlColor(s.BorderColor);
        GlDrawVertices(GL_LINE_STRIP, xy, 4);
        GlDrawVertices(GL_POINTS, xy, 4);
    }
    if (s.Fill) {
        GlWidthMm(s.SymbSize, px);
        GlColor(s.FillColor);
        GlDrawVertices(GL_LINE_STRIP, xy, 4);
        GlDrawVertices(GL_POINTS, xy, 4);
    }
}

// The outline (about the origin) masked into the stencil, then the fill and the hatching inside it.
void FillAndHatch(const LegendStyle& s, const std::vector<double>& outline, double fillHalf, double hatchExtent,
                  double px)
{
    if (s.Fill) {
        GlBeginStencilMask();
        GlDrawSymbolArea(outline);
        GlUseStencilMask();
        GlColor(s.FillColor, FillOpacity(s.FillTransp));
        glRectd(-fillHalf, -fillHalf, fillHalf, fillHalf);
        glDisable(GL_STENCIL_TEST);
    }
    if (s.Pattern) {
        GlBeginStencilMask();
        GlDrawSymbolArea(outline);
        GlUseStencilMask();
        GlWidthMm(s.PatternSize, px);
        GlColor(s.PatternColor);
        GlDrawHatching(0, 0, s.PatternWidth, hatchExtent, hatchExtent, s.PatternRotation, s.PatternType > 0);
        glDisable(GL_STENCIL_TEST);
    }
}

void DrawOutline(const LegendStyle& s, const std::vector<double>& outline, double px)
{
    if (!s.Border || outline.empty())
        return;
    GlWidthMm(s.BorderWidth, px);
    GlColor(s.BorderColor);
    GlDrawVertices(GL_LINE_LOOP, outline.data(), (int)outline.size() / 2);
    GlDrawVertices(GL_POINTS, outline.data(), (int)outline.size() / 2);
}

void DrawAreaSample(const LegendStyle& s, double W, double H, double px)
{
    const double a = W / 2.3, b = H / 3;
    const std::vector<double> rect = {-a, -b, a, -b, a, b, -a, b};
    FillAndHatch(s, rect, std::max(W, H), std::sqrt(W * W + H * H) / 2, px);
    DrawOutline(s, rect, px);
}

void DrawSymbolSample(const LegendStyle& s, double W, double H, double px)
{
    const double r = std::min(s.SymbSize / 2, H / 2.2);
    std::vector<double> outline;
    if (s.SymbShape == SYMBOL_CIRCLE) {
        const double n = std::trunc(r * 2 * kMapPi * px / 3);
        if (n >= 1 && n <= kMaxSymbolVertices)
            CircleOutline((int)n, r, r, &outline);
    } else if (s.SymbShape == SYMBOL_SQUARE) {
        SquareOutline(r, r, &outline);
    } else if (s.SymbShape == SYMBOL_STAR) {
        StarOutline(r, r, &outline);
    } else {
        return;  // other shapes show only the background
    }
    if (outline.empty())
        return;
    glDisable(GL_POLYGON_SMOOTH);
    FillAndHatch(s, outline, 1.1 * r, std::sqrt(W * W + H * H) / 1.8, px);
    DrawOutline(s, outline, px);
}

}  // namespace

void DrawCheckerboard(double a)
{
    // One bit per texel: rows alternate 10101010 and 01010101; index 0 maps to 0.9, 1 to 0.8.
    static const GLubyte rows[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
    static const GLfloat greys[2] = {0.9f, 0.8f};
    glEnable(GL_TEXTURE_2D);
    glPixelMapfv(GL_PIXEL_MAP_I_TO_R, 2, greys);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, 1, 8, 8, 0, GL_COLOR_INDEX, GL_BITMAP, rows);
    glColor4d(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2d(0, 0);
    glVertex2d(-a, -a);
    glTexCoord2d(2, 0);
    glVertex2d(a, -a);
    glTexCoord2d(2, 2);
    glVertex2d(a, a);
    glTexCoord2d(0, 2);
    glVertex2d(-a, a);
    glEnd();
    glFlush();
    glDisable(GL_TEXTURE_2D);
}

HBITMAP RenderStylePreview(HDC dc, int width, int height, const LegendStyle* style, int checkerboard)
{
    if (!style)
        return nullptr;
    double px = 0, py = 0;
    DevicePixelsPerMm(dc, &px, &py);
    GlBitmap target;
    if (!target.Create(dc, width, height))
        return nullptr;
    const double W = width / px, H = height / py;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-W / 2, W / 2, -H / 2, H / 2, -W, W);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    COLORREF window = GetSysColor(COLOR_WINDOW);
    glClearColor(GetRValue(window) / 255.0f, GetGValue(window) / 255.0f, GetBValue(window) / 255.0f, 0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    if (checkerboard)
        DrawCheckerboard(W / 2);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    switch (style->StyleType) {
    case STYLE_LINE:
        glEnable(GL_POLYGON_SMOOTH);
        DrawLineSample(*style, W, H, px);
        break;
    case STYLE_AREA:
        DrawAreaSample(*style, W, H, px);
        break;
    default:
        DrawSymbolSample(*style, W, H, px);
        break;
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glFlush();
    return target.Detach();
}
