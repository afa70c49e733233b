// Pictures of a legend style: a zigzag line for line styles, a rectangle for area styles and
// the symbol for symbol styles, drawn with OpenGL into a new bitmap. Style sizes are
// millimetres, converted with the resolution of the given device context.
#pragma once
#include <windows.h>

struct LegendStyle;

// A new width x height 32-bit bitmap (opaque) that the caller deletes; null when none could be
// made. checkerboard shows a grey board behind the sample (the style dialog's preview, where
// transparency must be visible).
HBITMAP RenderStylePreview(HDC dc, int width, int height, const LegendStyle* style, int checkerboard);

// The transparency board: a square of half size a about the origin, 16 cells of light greys
// across, drawn with a texture.
void DrawCheckerboard(double a);
