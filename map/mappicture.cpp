#include "map/mappicture.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <strsafe.h>

#include "core/msgbox.h"
#include "core/msgboxtext.h"
#include "core/textutil.h"
#include "map/mapunits.h"
#include "map/mapwnd.h"
#include "resources/zorna/resource.h"

int TruncToInt32(double value)
{
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return INT_MIN;  // NaN too
    return static_cast<int>(value);
}

bool MapPictureOfExtent(double minX, double minY, double maxX, double maxY, double yFactor, double scale, int coordSys,
                        double dpiX, double dpiY, MapPicture* p)
{
    if (!p || !(scale > 0) || !(dpiX > 0) || !(dpiY > 0) || !(yFactor != 0) || !std::isfinite(yFactor))
        return false;
    const double c = coordSys <= 1 ? scale / kMapMmPerDegree : scale;
    p->DegreesPerMm = c;
    p->CentreLat = (maxY + minY) / 2;
    p->YFactor = yFactor;
    p->Bottom = p->CentreLat + (minY - p->CentreLat) / yFactor;
    p->Top = p->CentreLat + (maxY - p->CentreLat) / yFactor;
    p->Left = minX;
    p->Right = maxX;
    p->DotsPerMmX = dpiX / kMapMmPerInch;
    p->DotsPerMmY = dpiY / kMapMmPerInch;
    p->UnitsPerDot = c * kMapMmPerInch / dpiX;
    p->Width = std::fabs(dpiX * (maxX - minX) / c / kMapMmPerInch);
    p->Height = std::fabs((p->Top - p->Bottom) * dpiY / c / kMapMmPerInch);
    return std::isfinite(p->Width) && std::isfinite(p->Height) && std::isfinite(p->UnitsPerDot);
}

bool MapPictureOf(const CZMapWnd* map, double dpiX, double dpiY, MapPicture* picture)
{
    if (!map || !map->HasExtent)
        return false;
    return MapPictureOfExtent(map->MinX, map->MinY, map->MaxX, map->MaxY, map->YFactor, map->MapScale, map->CoordSys,
                              dpiX, dpiY, picture);
}

size_t DibImageSize(long long width, long long height, int bits)
{
    if (width <= 0 || height <= 0 || bits <= 0)
        return 0;
    const unsigned long long stride = ((unsigned long long)width * (unsigned)bits + 31) / 32 * 4;
    if (stride > SIZE_MAX / (unsigned long long)height)
        return 0;
    return (size_t)(stride * (unsigned long long)height);
}

BITMAPINFO* MakeBitmapInfo(HBITMAP bitmap)
{
    BITMAP bm = {};
    if (!bitmap || GetObjectW(bitmap, sizeof(bm), &bm) == 0 || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return nullptr;
    const int depth = bm.bmPlanes * bm.bmBitsPixel;
    int bits = 32;
    for (int b : {1, 4, 8, 16, 24, 32})
        if (depth <= b) {
            bits = b;
            break;
        }
    const size_t colours = bits <= 16 ? ((size_t)1 << bits) : bits == 32 ? 1 : 0;
    const size_t image = DibImageSize(bm.bmWidth, bm.bmHeight, bits);
    if (image == 0 || image > 0xFFFFFFFFu)
        return nullptr;
    BITMAPINFO* info = (BITMAPINFO*)calloc(1, sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD));
    if (!info)
        return nullptr;
    BITMAPINFOHEADER& h = info->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = bm.bmWidth;
    h.biHeight = bm.bmHeight;
    h.biPlanes = 1;
    h.biBitCount = (WORD)bits;
    h.biCompression = BI_RGB;
    h.biClrUsed = bits < 24 ? (DWORD)colours : 0;
    h.biSizeImage = (DWORD)image;
    return info;
}

void ShowFileError(HWND owner, HINSTANCE instance, UINT textId, const wchar_t* path, DWORD error)
{
    const std::wstring why = SystemErrorText(error);
    wchar_t* format = LoadStringAlloc(instance, textId);
    wchar_t* caption = LoadStringAlloc(instance, IDS_ERROR_CAPTION);
    const wchar_t* file = path ? path : L"";
    std::wstring text(wcslen(file) + why.size() + (format ? wcslen(format) : 0) + 16, L'\0');
    StringCchPrintfW(&text[0], text.size(), format ? format : L"%s\r\n%s", file, why.c_str());
    text.resize(wcslen(text.c_str()));
    ZorMessageBox(owner, text.c_str(), caption ? caption : L"", MB_OK | MB_ICONERROR);
    free(format);
    free(caption);
}
