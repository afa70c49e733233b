#include "map/gldraw.h"

#include <cmath>

#include "map/mapunits.h"

void GlColor(COLORREF color, double opacity)
{
    glColor4d(GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0, opacity);
}

void GlWidthMm(double mm, double pixelsPerMm)
{
    double px = mm * pixelsPerMm;
    if (!std::isfinite(px) || px <= 0)
        px = 1;
    glLineWidth((GLfloat)px);
    glPointSize((GLfloat)px);
}

double FillOpacity(int fillTransp)
{
    int t = fillTransp < 0 ? 0 : (fillTransp > 100 ? 100 : fillTransp);
    return (100 - t) / 100.0;
}

void GlBeginStencilMask()
{
    glEnable(GL_STENCIL_TEST);
    glClearStencil(0);
    glClear(GL_STENCIL_BUFFER_BIT);
    glStencilFunc(GL_ALWAYS, 1, 1);
    glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
}

void GlUseStencilMask()
{
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilFunc(GL_EQUAL, 1, 1);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
}

void GlDrawHatching(double cx, double cy, double spacing, double extent, double length, double rotation, bool cross)
{
    if (!(spacing > 0) || !std::isfinite(spacing) || !std::isfinite(extent) || !std::isfinite(length))
        return;
    const double q = extent / spacing;
    if (!(q >= 0) || q > kMaxHatchLines / 2)
        return;
    const int n = (int)q;
    std::vector<double> xy;
    xy.reserve((size_t)(2 * n + 1) * 4);
    for (int j = -n; j <= n; ++j) {
        xy.push_back(spacing * j);
        xy.push_back(-length);
        xy.push_back(spacing * j);
        xy.push_back(length);
    }
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glTranslated(cx, cy, 0);
    glRotated(rotation, 0, 0, 1);
    GlDrawVertices(GL_LINES, xy.data(), (int)xy.size() / 2);
    if (cross) {
        glRotated(90, 0, 0, 1);
        GlDrawVertices(GL_LINES, xy.data(), (int)xy.size() / 2);
    }
    glPopMatrix();
}

void GlDrawVertices(GLenum mode, const double* xy, int n)
{
    if (n <= 0 || !xy)
        return;
    glVertexPointer(2, GL_DOUBLE, 0, xy);
    glDrawArrays(mode, 0, n);
}

void CircleOutline(int n, double hx, double hy, std::vector<double>* xy)
{
    xy->clear();
    if (n <= 0 || n > kMaxSymbolVertices)
        return;
    xy->reserve((size_t)n * 2);
    const double step = 2 * kMapPi / n;
    for (int i = 0; i < n; ++i) {
        xy->push_back(hx * std::cos(step * i));
        xy->push_back(hy * std::sin(step * i));
    }
}

void SquareOutline(double hx, double hy, std::vector<double>* xy)
{
    *xy = {-hx, -hy, hx, -hy, hx, hy, -hx, hy};
}

void StarOutline(double hx, double hy, std::vector<double>* xy)
{
    // The inner vertices lie at sin 18 / sin 54 of the outer radius.
    const double inner = std::sin(kMapPi / 10) / std::sin(3 * kMapPi / 10);
    xy->clear();
    xy->reserve(20);
    for (int i = 0; i < 10; ++i) {
        const double angle = kMapPi / 2 + i * kMapPi / 5, r = i % 2 ? inner : 1.0;
        xy->push_back(hx * r * std::cos(angle));
        xy->push_back(hy * r * std::sin(angle));
    }
}

void GlDrawSymbolArea(const std::vector<double>& outline)
{
    const int n = (int)outline.size() / 2;
    if (n < 3)
        return;
    std::vector<double> fan;
    fan.reserve(outline.size() + 4);
    fan.push_back(0);
    fan.push_back(0);
    fan.insert(fan.end(), outline.begin(), outline.end());
    fan.push_back(outline[0]);
    fan.push_back(outline[1]);
    GlDrawVertices(GL_TRIANGLE_FAN, fan.data(), n + 2);
}
