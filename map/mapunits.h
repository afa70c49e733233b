// Map units (degrees) against millimetres and pixels, as every map view, preview and printout
// converts them.
#pragma once
#include <windows.h>

// Millimetres per inch as the map has always counted them (not 25.4), and millimetres of
// ground per degree.
const double kMapMmPerInch = 25.38071;
const double kMapMmPerDegree = 111305555.5556;
const double kMapPi = 3.14159265358979323846;

// Pixels per millimetre of a device (the screen when dc is null).
void DevicePixelsPerMm(HDC dc, double* x, double* y);

// Map units per horizontal pixel at a scale denominator, and back. Geographic systems (0 and 1)
// count degrees; others the map's own units.
double UnitsPerPixelOfScale(double scale, int coordSys, double pixelsPerMmX);
double ScaleOfUnitsPerPixel(double unitsPerPixel, int coordSys, double pixelsPerMmX);
