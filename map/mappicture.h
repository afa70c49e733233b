// The map on paper and in files: what printing and the picture export draw is the whole extent
// of the layers at the map's scale, at a device's resolution. This holds that geometry, the one
// truncation of reals to device integers, the bitmap description for reading a drawing back, and
// the Czech error box with the system's reason that every failure of them shows.
#pragma once
#include <windows.h>

#include <string>

class CZMapWnd;

// A real cut toward zero to a 32-bit integer; NaN and values outside the range give INT_MIN.
// Every GDI and PostScript coordinate, size and width goes through it.
int TruncToInt32(double value);

// The map drawn whole at its scale on a device of dpiX x dpiY dots per inch.
struct MapPicture
{
    double DegreesPerMm;   // map units per millimetre of paper
    double CentreLat;      // centre of the y scaling
    double YFactor;
    double Left, Right, Bottom, Top;  // the extent in map units (y scaled)
    double DotsPerMmX, DotsPerMmY;
    double UnitsPerDot;    // map units per device dot
    double Width, Height;  // device dots (not yet truncated)
};

// The picture of the card's extent; false when the map has no extent or scale.
bool MapPictureOf(const CZMapWnd* map, double dpiX, double dpiY, MapPicture* picture);
// The same from the card's values (for a map without a window).
bool MapPictureOfExtent(double minX, double minY, double maxX, double maxY, double yFactor, double scale, int coordSys,
                        double dpiX, double dpiY, MapPicture* picture);

// A malloc'd BITMAPINFO (the caller frees it) to read the bitmap with GetDIBits: its colour
// table (2^bits entries up to 16 bits, one at 32, none at 24) and biSizeImage from the stride of
// whole DWORDs. Null when the bitmap cannot be read or the image would not fit 32 bits.
BITMAPINFO* MakeBitmapInfo(HBITMAP bitmap);
// The bytes of a DIB of that size (rows padded to DWORDs); 0 when they do not fit a size_t.
size_t DibImageSize(long long width, long long height, int bits);

// The error box: the string-table text (with %s for the file, or none) and the system's reason
// for the error code under the caption "Chyba".
void ShowFileError(HWND owner, HINSTANCE instance, UINT textId, const wchar_t* path, DWORD error);
