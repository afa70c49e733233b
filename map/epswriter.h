// The map as Encapsulated PostScript: every checked legend item, from the last to the first, as
// PostScript procedures that are defined and then filled, hatched (lines of the pattern clipped
// to them) or stroked. PostScript has no transparency: a transparent fill is its colour blended
// over the fills painted below it (the records of one spot as dark as on screen). Coordinates
// are whole points from the drawing's left bottom corner; numbers never depend on the C
// library's locale.
#pragma once
#include <windows.h>

struct MapEpsContext
{
    HWND MainWindow;    // receives ZM_SET_RECORD_FILTER and ZM_GET_RECORD_POINTS
    HWND Legend;
    HWND GridCombo;
    int GridLevel;      // 0 no grid shown, 1 coarse, 2 fine
    int Display;
    double UnitsPerPixel;   // thinning tolerance, map units
    double CentreLat;
    double YFactor;
    double PixelsPerMmX;    // points per millimetre
    double PixelsPerMmY;
    double XScale, YScale;  // points per map unit
    double Left, Bottom;    // map units (y scaled) of the drawing's corner
    const wchar_t* MapFolder;
    const char* Creator;    // 8-bit texts
    const char* Title;
    HANDLE Out;             // a file opened for writing
};

// Writes the whole file, header to "%%EndDocument", then gives the record lists their own
// filter back. False when any of it could not be written (a full disk).
bool WriteLegendEps(const MapEpsContext* ctx, int width, int height);

// "r g b setrgbcolor" of a colour, two decimals each, always with a full stop.
void EpsColourText(COLORREF colour, char* text, size_t size);
