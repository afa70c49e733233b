#include "imagecodec/kavpng.h"

#include <wincodec.h>
#include <new>
#include <vector>

#include "imagecodec/wicimage.h"

struct PngImage {
    bool isPng = false;
    zimage::PixelImage pixels;
};

namespace {

const BYTE kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

bool SetBitmapPixels(HDC hdc, HBITMAP bitmap, const std::vector<BYTE>& pixels, int width,
                     int height)
{
    BITMAPINFO bmi = zimage::Rgb32Info(width, -height);
    return SetDIBits(hdc, bitmap, 0, height, pixels.data(), &bmi, DIB_RGB_COLORS) == height;
}

}  // namespace

int IsPNGFile(const void* data, long length)
{
    if (!data || length < 8)
        return 0;
    return memcmp(data, kSignature, 8) == 0 ? 1 : 0;
}

HPNGIMAGE PNGImageCreate(const void* data, long length)
{
    PngImage* image = new (std::nothrow) PngImage;
    if (!image)
        return nullptr;
    if (IsPNGFile(data, length) &&
        zimage::PngComplete(static_cast<const BYTE*>(data), static_cast<size_t>(length)))
        image->isPng = zimage::DecodeWithWic(data, static_cast<size_t>(length),
                                             CLSID_WICPngDecoder, &image->pixels);
    return image;
}

void PNGImageDestroy(HPNGIMAGE image)
{
    delete image;
}

int PNGImageIsPNG(HPNGIMAGE image)
{
    return (image && image->isPng) ? 1 : 0;
}

int PNGImageGetDimen(HPNGIMAGE image, int* width, int* height)
{
    if (!PNGImageIsPNG(image))
        return 0;
    if (width)
        *width = image->pixels.width;
    if (height)
        *height = image->pixels.height;
    return 1;
}

int PNGImageRender(HPNGIMAGE image, int imageWidth, int imageHeight, HDC hdc, int width,
                   int height, PNGBACKGROUNDPROC background)
{
    if (!PNGImageIsPNG(image) || !hdc)
        return 0;
    zimage::PixelImage scaled;
    if (!zimage::ScaleImage(image->pixels, imageWidth, imageHeight, width, height, &scaled))
        return 0;
    // Premultiplied colour plus the background's share: c + bg * (255 - a) / 255.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            BYTE* p = &scaled.pixels[(static_cast<size_t>(y) * width + x) * 4];
            int a = p[3];
            if (a == 255)
                continue;
            COLORREF bg = background ? background(x, y) : RGB(255, 255, 255);
            int rest = 255 - a;
            p[0] = static_cast<BYTE>(p[0] + (GetBValue(bg) * rest + 127) / 255);
            p[1] = static_cast<BYTE>(p[1] + (GetGValue(bg) * rest + 127) / 255);
            p[2] = static_cast<BYTE>(p[2] + (GetRValue(bg) * rest + 127) / 255);
            p[3] = 255;
        }
    }
    return zimage::DrawPixels(hdc, scaled.pixels.data(), width, height) ? 1 : 0;
}

int PNGImageGetBitmaps(HPNGIMAGE image, HDC hdc, HBITMAP colour, HBITMAP mask)
{
    if (!PNGImageIsPNG(image) || !hdc || !colour || !mask)
        return 0;
    const zimage::PixelImage& src = image->pixels;
    size_t count = static_cast<size_t>(src.width) * src.height;
    std::vector<BYTE> colourPixels(count * 4), maskPixels(count * 4);
    for (size_t i = 0; i < count; ++i) {
        const BYTE* p = &src.pixels[i * 4];
        BYTE* c = &colourPixels[i * 4];
        BYTE* m = &maskPixels[i * 4];
        int a = p[3];
        // Back from premultiplied to plain colour.
        for (int k = 0; k < 3; ++k)
            c[k] = a ? static_cast<BYTE>((p[k] * 255 + a / 2) / a) : 0;
        c[3] = 0;
        m[0] = m[1] = m[2] = static_cast<BYTE>(255 - a);
        m[3] = 0;
    }
    return (SetBitmapPixels(hdc, colour, colourPixels, src.width, src.height) &&
            SetBitmapPixels(hdc, mask, maskPixels, src.width, src.height))
               ? 1
               : 0;
}
