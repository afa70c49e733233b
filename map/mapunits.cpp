#include "map/mapunits.h"

void DevicePixelsPerMm(HDC dc, double* x, double* y)
{
    HDC screen = dc ? nullptr : GetDC(nullptr);
    HDC used = dc ? dc : screen;
    int lx = GetDeviceCaps(used, LOGPIXELSX), ly = GetDeviceCaps(used, LOGPIXELSY);
    if (screen)
        ReleaseDC(nullptr, screen);
    *x = (lx > 0 ? lx : 96) / kMapMmPerInch;
    *y = (ly > 0 ? ly : 96) / kMapMmPerInch;
}

double UnitsPerPixelOfScale(double scale, int coordSys, double pixelsPerMmX)
{
    double units = coordSys <= 1 ? scale / kMapMmPerDegree : scale;
    return units / pixelsPerMmX;
}

double ScaleOfUnitsPerPixel(double unitsPerPixel, int coordSys, double pixelsPerMmX)
{
    double scale = unitsPerPixel * pixelsPerMmX;
    return coordSys <= 1 ? scale * kMapMmPerDegree : scale;
}
