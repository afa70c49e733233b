// The map drawn with GDI into a device context, for the enhanced metafile of the picture export:
// every checked legend item from the last to the first, as the OpenGL renderer walks them. Areas
// are paths, symbols ellipses, rectangles or stars; each is filled as the screen fills it (a
// transparent fill blended over what lies below, the records of one spot as dark as on screen),
// hatched with lines of the pattern's colour, width, spacing and angle clipped to it, and
// outlined. Pens and brushes are made once per layer, and records on one spot are drawn once.
// The background is not painted.
#pragma once
#include <windows.h>

#include "map/legend.h"

struct MapGdiContext
{
    HDC Dc;
    HWND MainWindow;    // receives ZM_SET_RECORD_FILTER and ZM_GET_RECORD_POINTS
    HWND Legend;
    HWND GridCombo;
    int GridLevel;      // 0 no grid shown, 1 coarse, 2 fine
    int Display;
    double UnitsPerPixel;  // thinning tolerance, map units
    double CentreLat;
    double YFactor;
    double PixelsPerMmX;   // device units per millimetre
    double PixelsPerMmY;
    double XScale, YScale; // device units per map unit
    double Left, Top;      // map units (y scaled) of the drawing's corner
    const wchar_t* MapFolder;
};

void RenderLegendGdi(const MapGdiContext* ctx);

