// OpenGL drawing steps that the style previews and the map renderer share: colours, widths in
// millimetres, the stencil mask of a shape, hatching, and small vertex arrays.
#pragma once
#include <windows.h>
#include <GL/gl.h>

#include <vector>

// The most hatching lines one shape draws in each direction, and the most vertices one symbol
// outline may have: styles asking for more draw nothing of that part.
const int kMaxHatchLines = 10000;
const int kMaxSymbolVertices = 100000;

// The colour with an opacity from 0 to 1.
void GlColor(COLORREF color, double opacity = 1.0);
// Line width and point size of a width in millimetres.
void GlWidthMm(double mm, double pixelsPerMm);
// The opacity of a fill transparency in percent.
double FillOpacity(int fillTransp);

// Starts drawing a shape into the stencil: stencil test on, cleared (within the scissor box when
// one is set), every drawn pixel set to 1, colour writes off.
void GlBeginStencilMask();
// Colour writes on, only where the stencil holds 1.
void GlUseStencilMask();

// Hatching centred on (cx, cy): lines x = spacing * j (j = -n..n, n = extent / spacing) running
// from -length to +length, rotated by rotation degrees, and across them again when cross is
// set. Nothing for a spacing that is not above 0 or when the lines would be more than
// kMaxHatchLines.
void GlDrawHatching(double cx, double cy, double spacing, double extent, double length, double rotation, bool cross);

// Draws n vertices (x, y pairs) with the mode.
void GlDrawVertices(GLenum mode, const double* xy, int n);

// Outline of a circle of n vertices with half sizes hx, hy about the origin (vertex i at angle
// 2 pi i / n), of the square of those half sizes, or of the five-pointed star reaching them (ten
// vertices from the top point round, the inner ones where the pentagram's lines cross).
void CircleOutline(int n, double hx, double hy, std::vector<double>* xy);
void SquareOutline(double hx, double hy, std::vector<double>* xy);
void StarOutline(double hx, double hy, std::vector<double>* xy);

// The area of a symbol's outline (about the origin, which it surrounds) as a fan of triangles
// from the origin: right for the star too, where a polygon drawn as OpenGL fills it is not.
void GlDrawSymbolArea(const std::vector<double>& outline);
