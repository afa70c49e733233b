// Shared machinery of the JPEG and PNG functions: decoding through WIC into plain pixels,
// scaling, and drawing the result into a device context.
#pragma once
#include <windows.h>
#include <vector>

namespace zimage {

// A decoded image: top-down rows of 32-bit pixels, blue, green, red, alpha, with the colour
// premultiplied by alpha (so scaling never bleeds the colour of invisible pixels).
struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<BYTE> pixels;  // width * height * 4

    const BYTE* At(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
};

// Largest side and pixel count accepted from a file; larger claims are treated as damage.
const int kMaxSide = 32768;
const size_t kMaxPixels = 64u * 1024u * 1024u;

// True when the PNG chunk chain (after the 8-byte signature) reaches its IEND chunk inside the
// data, every chunk whole: a file cut short anywhere is no image.
bool PngComplete(const BYTE* data, size_t length);

// True when the JPEG marker segments and scan data (after SOI) reach the EOI marker inside the
// data, every segment whole.
bool JpegComplete(const BYTE* data, size_t length);

// Decodes the first frame of the data with the given WIC decoder. False when the data is not
// such an image, is damaged, or WIC cannot be reached.
bool DecodeWithWic(const void* data, size_t length, REFCLSID decoder, PixelImage* out);

// Scales the top-left srcWidth x srcHeight part of the image to width x height: an area average
// when shrinking, linear interpolation when enlarging, a plain copy at the same size.
bool ScaleImage(const PixelImage& src, int srcWidth, int srcHeight, int width, int height,
                PixelImage* out);

// The header of 32-bit BI_RGB pixels; a negative height means top-down rows.
inline BITMAPINFO Rgb32Info(int width, int height)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    return bmi;
}

// The DIB depth (1, 4, 8, 16, 24 or 32 bits per pixel) that holds the given depth.
inline int StandardDibDepth(int bitsPerPixel)
{
    if (bitsPerPixel <= 1)
        return 1;
    if (bitsPerPixel <= 4)
        return 4;
    if (bitsPerPixel <= 8)
        return 8;
    if (bitsPerPixel <= 16)
        return 16;
    if (bitsPerPixel <= 24)
        return 24;
    return 32;
}

// Draws top-down 32-bit pixels (alpha ignored) at the logical origin of the DC.
bool DrawPixels(HDC hdc, const BYTE* pixels, int width, int height);

}  // namespace zimage
