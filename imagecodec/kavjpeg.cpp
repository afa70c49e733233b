#include "imagecodec/kavjpeg.h"

#include <wincodec.h>
#include <new>

#include "imagecodec/wicimage.h"

struct JasImage {
    zimage::PixelImage pixels;
};

int JasImageGetType(const void* data, long length)
{
    const BYTE* b = static_cast<const BYTE*>(data);
    if (!b || length < 3)
        return 0;
    return (b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) ? 1 : 0;
}

HJASIMAGE JasCreateImage(const void* data, long length)
{
    if (JasImageGetType(data, length) <= 0 ||
        !zimage::JpegComplete(static_cast<const BYTE*>(data), static_cast<size_t>(length)))
        return nullptr;
    JasImage* image = new (std::nothrow) JasImage;
    if (!image)
        return nullptr;
    if (!zimage::DecodeWithWic(data, static_cast<size_t>(length), CLSID_WICJpegDecoder,
                               &image->pixels)) {
        delete image;
        return nullptr;
    }
    return image;
}

void JasDestroyImage(HJASIMAGE image)
{
    delete image;
}

int JasImageGetDimen(HJASIMAGE image, int* width, int* height)
{
    if (!image)
        return 0;
    if (width)
        *width = image->pixels.width;
    if (height)
        *height = image->pixels.height;
    return 1;
}

int JasImageRender(HJASIMAGE image, int imageWidth, int imageHeight, HDC hdc, int width,
                   int height)
{
    if (!image || !hdc)
        return 0;
    zimage::PixelImage scaled;
    if (!zimage::ScaleImage(image->pixels, imageWidth, imageHeight, width, height, &scaled))
        return 0;
    // A JPEG is opaque: the premultiplied colour is the colour itself.
    return zimage::DrawPixels(hdc, scaled.pixels.data(), width, height) ? 1 : 0;
}
