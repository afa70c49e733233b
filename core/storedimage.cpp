#include "core/storedimage.h"

#include <cstring>
#include <vector>

#include "imagecodec/kavjpeg.h"
#include "imagecodec/kavpng.h"
#include "imagecodec/wicimage.h"

namespace {

// Largest side and pixel count of an image or box that is accepted; larger values come from
// damaged data and would only exhaust memory.
const int kMaxSide = 32768;
const long long kMaxPixels = 64LL * 1024 * 1024;

// Version number that CreateIconFromResourceEx expects for icon images.
const DWORD kIconResourceVersion = 0x00030000;

WORD Read16(const BYTE* p)
{
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

DWORD Read32(const BYTE* p)
{
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
           (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}

bool SizeAcceptable(long long width, long long height)
{
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPixels;
}

COLORREF CheckerboardColour(int x, int y)
{
    BYTE g = CheckerboardGrey(x, y);
    return RGB(g, g, g);
}

// The DC of a window (the screen's for null), released on scope exit.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDc()
    {
        if (dc_)
            ReleaseDC(hwnd_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// Puts the DC's first object back, deletes the DC, then the bitmap it held (any may be null).
void FreeDcAndBitmap(HDC dc, HGDIOBJ old, HBITMAP bitmap)
{
    if (dc) {
        if (old)
            SelectObject(dc, old);
        DeleteDC(dc);
    }
    if (bitmap)
        DeleteObject(bitmap);
}

// A memory DC with one bitmap selected; the bitmap is given back by Release() or deleted.
class MemoryDc {
public:
    MemoryDc(HDC compatible, HBITMAP bitmap) : dc_(CreateCompatibleDC(compatible)), bitmap_(bitmap)
    {
        if (dc_ && bitmap_)
            old_ = SelectObject(dc_, bitmap_);
    }
    ~MemoryDc() { FreeDcAndBitmap(dc_, old_, bitmap_); }
    bool ok() const { return dc_ && bitmap_ && old_; }
    HDC dc() const { return dc_; }
    HBITMAP Release()
    {
        if (dc_ && old_) {
            SelectObject(dc_, old_);
            old_ = nullptr;
        }
        HBITMAP b = bitmap_;
        bitmap_ = nullptr;
        return b;
    }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_ = nullptr;
};

// A 32-bit top-down DIB section with its own memory DC: pixels readable as 0x00RRGGBB.
class Surface32 {
public:
    Surface32(int width, int height) : width_(width), height_(height)
    {
        if (!SizeAcceptable(width, height))
            return;
        BITMAPINFO bmi = zimage::Rgb32Info(width, -height);
        dc_ = CreateCompatibleDC(nullptr);
        if (!dc_)
            return;
        bitmap_ = CreateDIBSection(dc_, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        if (bitmap_)
            old_ = SelectObject(dc_, bitmap_);
    }
    ~Surface32() { FreeDcAndBitmap(dc_, old_, bitmap_); }
    bool ok() const { return bits_ && old_; }
    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    DWORD* bits()
    {
        GdiFlush();
        return bits_;
    }
    DWORD At(int x, int y)
    {
        return bits()[static_cast<size_t>(y) * width_ + x] & 0x00FFFFFF;
    }
    // Takes the DIB section out of the DC (GDI reads a bitmap's bits only when no DC holds it);
    // bits() and bitmap() stay usable, drawing does not.
    void Unselect()
    {
        GdiFlush();
        if (old_) {
            SelectObject(dc_, old_);
            old_ = nullptr;
        }
    }
    // Hands the DIB section over to the caller.
    HBITMAP Release()
    {
        Unselect();
        HBITMAP b = bitmap_;
        bitmap_ = nullptr;
        bits_ = nullptr;
        return b;
    }

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

// A checked DIB: its BITMAPINFO (either header size) and bits, all inside the given bytes.
struct Dib {
    const BITMAPINFO* info = nullptr;
    const BYTE* bits = nullptr;
    int width = 0;
    int height = 0;  // rows, always positive
    bool topDown = false;
    int bitCount = 0;
};

// Checks the packed header and colour table at info (infoSize bytes available) and the bits at
// bits (bitsSize bytes available).
bool CheckDib(const BYTE* info, size_t infoSize, const BYTE* bits, size_t bitsSize, Dib* out)
{
    if (!info || infoSize < 4)
        return false;
    DWORD headerSize = Read32(info);
    long long width, height;
    int bitCount;
    DWORD compression = BI_RGB;
    size_t tableSize;
    bool topDown = false;
    if (headerSize == sizeof(BITMAPCOREHEADER)) {
        if (infoSize < headerSize)
            return false;
        width = Read16(info + 4);
        height = Read16(info + 6);
        if (Read16(info + 8) != 1)
            return false;
        bitCount = Read16(info + 10);
        if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)
            return false;
        tableSize = bitCount <= 8 ? (static_cast<size_t>(1) << bitCount) * sizeof(RGBTRIPLE) : 0;
    } else if (headerSize == sizeof(BITMAPINFOHEADER)) {
        if (infoSize < headerSize)
            return false;
        width = static_cast<LONG>(Read32(info + 4));
        height = static_cast<LONG>(Read32(info + 8));
        if (Read16(info + 12) != 1)
            return false;
        bitCount = Read16(info + 14);
        compression = Read32(info + 16);
        DWORD used = Read32(info + 32);
        if (height < 0) {
            height = -height;
            topDown = true;
        }
        switch (compression) {
        case BI_RGB:
            if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 &&
                bitCount != 24 && bitCount != 32)
                return false;
            break;
        case BI_RLE8:
            if (bitCount != 8 || topDown)
                return false;
            break;
        case BI_RLE4:
            if (bitCount != 4 || topDown)
                return false;
            break;
        case BI_BITFIELDS:
            if (bitCount != 16 && bitCount != 32)
                return false;
            break;
        default:
            return false;
        }
        if (bitCount <= 8 && used > (1u << bitCount))
            return false;
        if (used > 256)
            return false;
        size_t colours = used ? used : (bitCount <= 8 ? (1u << bitCount) : 0);
        tableSize = colours * sizeof(RGBQUAD) + (compression == BI_BITFIELDS ? 3 * sizeof(DWORD) : 0);
    } else {
        return false;
    }
    if (!SizeAcceptable(width, height))
        return false;
    if (headerSize + tableSize > infoSize)
        return false;
    if (!bits)
        return false;
    unsigned long long needed;
    if (compression == BI_RLE8 || compression == BI_RLE4) {
        // Compressed bits: their stated size bounds what GDI reads.
        needed = Read32(info + 20);
        if (needed == 0)
            return false;
    } else {
        needed = ((static_cast<unsigned long long>(width) * bitCount + 31) / 32) * 4 *
                 static_cast<unsigned long long>(height);
    }
    if (needed > bitsSize)
        return false;
    out->info = reinterpret_cast<const BITMAPINFO*>(info);
    out->bits = bits;
    out->width = static_cast<int>(width);
    out->height = static_cast<int>(height);
    out->topDown = topDown;
    out->bitCount = bitCount;
    return true;
}

// A raw BMP file: 14-byte file header, 40-byte header (the only one decoded), table, bits.
bool ParseBmpFile(const BYTE* bytes, DWORD length, Dib* out)
{
    if (!bytes || length < 14 + sizeof(BITMAPINFOHEADER) || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    if (Read32(bytes + 14) != sizeof(BITMAPINFOHEADER))
        return false;
    DWORD offset = Read32(bytes + 10);
    if (offset < 14 + sizeof(BITMAPINFOHEADER) || offset >= length)
        return false;
    return CheckDib(bytes + 14, offset - 14, bytes + offset, length - offset, out);
}

// A typed DIB after its tag: 16-bit bits offset (from the first byte here; 0 = no image), then the
// BITMAPINFO from byte 2.
bool ParseTypedDib(const BYTE* bytes, DWORD length, Dib* out)
{
    if (!bytes || length < 2 + 4)
        return false;
    DWORD offset = Read16(bytes);
    if (offset == 0 || offset < 2 + 4 || offset >= length)
        return false;
    return CheckDib(bytes + 2, offset - 2, bytes + offset, length - offset, out);
}

// Where the image goes in the bitmap made for a box.
struct Placement {
    int bitmapWidth, bitmapHeight;  // the bitmap
    int x, y, width, height;        // the image in it
};

bool PlaceImage(int imageWidth, int imageHeight, int* boxWidth, int* boxHeight, BOOL stretch,
                BOOL shrink, int alignment, Placement* p)
{
    if (!boxWidth || !boxHeight || imageWidth < 1 || imageHeight < 1 ||
        !SizeAcceptable(*boxWidth, *boxHeight))
        return false;
    if (stretch) {
        *p = {*boxWidth, *boxHeight, 0, 0, *boxWidth, *boxHeight};
        return true;
    }
    int w = *boxWidth, h = *boxHeight, x = 0, y = 0;
    FitImageToBox(imageWidth, imageHeight, &w, &h, &x, &y, alignment);
    // A very thin image still gets one row or column.
    if (w < 1)
        w = 1;
    if (h < 1)
        h = 1;
    if (shrink) {
        *boxWidth = w;
        *boxHeight = h;
        *p = {w, h, 0, 0, w, h};
    } else {
        *p = {*boxWidth, *boxHeight, x, y, w, h};
    }
    return true;
}

// A bitmap compatible with the DC holding the DIB stretched (HALFTONE) into the placement; the
// rest of the bitmap stays as created.
HBITMAP StretchDibToBitmap(HDC hdc, const Dib& dib, const Placement& p)
{
    MemoryDc mem(hdc, CreateCompatibleBitmap(hdc, p.bitmapWidth, p.bitmapHeight));
    if (!mem.ok())
        return nullptr;
    SetStretchBltMode(mem.dc(), HALFTONE);
    SetBrushOrgEx(mem.dc(), 0, 0, nullptr);
    if (StretchDIBits(mem.dc(), p.x, p.y, p.width, p.height, 0, 0, dib.width, dib.height,
                      dib.bits, dib.info, DIB_RGB_COLORS, SRCCOPY) == 0)
        return nullptr;
    return mem.Release();
}

// The DIB stretched (HALFTONE) onto a 32-bit surface of the given size.
bool DrawDib(const Dib& dib, Surface32* target, int width, int height)
{
    if (!target->ok())
        return false;
    SetStretchBltMode(target->dc(), HALFTONE);
    SetBrushOrgEx(target->dc(), 0, 0, nullptr);
    return StretchDIBits(target->dc(), 0, 0, width, height, 0, 0, dib.width, dib.height, dib.bits,
                         dib.info, DIB_RGB_COLORS, SRCCOPY) != 0;
}

// Top-down 32-bit pixels of a surface, stretched (HALFTONE) onto another surface.
bool StretchPixels(const std::vector<DWORD>& pixels, int srcWidth, int srcHeight,
                   Surface32* target, int width, int height)
{
    if (!target->ok())
        return false;
    BITMAPINFO bmi = zimage::Rgb32Info(srcWidth, -srcHeight);
    SetStretchBltMode(target->dc(), HALFTONE);
    SetBrushOrgEx(target->dc(), 0, 0, nullptr);
    return StretchDIBits(target->dc(), 0, 0, width, height, 0, 0, srcWidth, srcHeight,
                         pixels.data(), &bmi, DIB_RGB_COLORS, SRCCOPY) != 0;
}

// An icon image inside an ICO file that is a BITMAPINFOHEADER image: header with doubled height,
// colour table, colour rows, AND-mask rows.
struct IcoDib {
    std::vector<BYTE> info;  // header with the real height, and the colour table
    Dib colour;
    const BYTE* mask = nullptr;  // bottom-up rows of 1 bit per pixel, or null when absent
};

bool ParseIcoDib(const BYTE* image, DWORD size, IcoDib* out)
{
    if (!image || size < sizeof(BITMAPINFOHEADER) || Read32(image) != sizeof(BITMAPINFOHEADER))
        return false;
    LONG doubled = static_cast<LONG>(Read32(image + 8));
    if (doubled < 2)
        return false;
    WORD bitCount = Read16(image + 14);
    DWORD compression = Read32(image + 16);
    if (compression != BI_RGB && compression != BI_BITFIELDS)
        return false;
    DWORD used = Read32(image + 32);
    if (used > 256 || (bitCount <= 8 && bitCount > 0 && used > (1u << bitCount)))
        return false;
    size_t colours = used ? used : (bitCount <= 8 ? (static_cast<size_t>(1) << bitCount) : 0);
    size_t tableSize = colours * sizeof(RGBQUAD) + (compression == BI_BITFIELDS ? 12 : 0);
    size_t infoSize = sizeof(BITMAPINFOHEADER) + tableSize;
    if (infoSize > size)
        return false;
    out->info.assign(image, image + infoSize);
    BYTE* h = out->info.data();
    LONG height = doubled / 2;
    memcpy(h + 8, &height, 4);
    memset(h + 20, 0, 4);  // image size: worked out from the rows
    if (!CheckDib(h, infoSize, image + infoSize, size - infoSize, &out->colour))
        return false;
    size_t colourRows = ((static_cast<size_t>(out->colour.width) * bitCount + 31) / 32) * 4 *
                        out->colour.height;
    size_t maskRows = ((static_cast<size_t>(out->colour.width) + 31) / 32) * 4 * out->colour.height;
    out->mask = (infoSize + colourRows + maskRows <= size) ? image + infoSize + colourRows : nullptr;
    return true;
}

// The ICO directory entry chosen by SelectIcoImage.
struct IcoEntry {
    int width, height, bitCount;
    DWORD size, offset;
};

// Grey levels (0..255, white = transparent) and colours, both top-down at the icon size, turned
// into an icon of the given depth.
HICON BuildIconImage(Surface32& colour, Surface32& mask, int width, int height, int bitsPerPixel)
{
    int bpp = zimage::StandardDibDepth(bitsPerPixel);
    if (!colour.ok() || !mask.ok())
        return nullptr;
    size_t colours = bpp < 16 ? (static_cast<size_t>(1) << bpp) : 0;
    size_t colourStride = ((static_cast<size_t>(width) * bpp + 31) / 32) * 4;
    size_t maskStride = ((static_cast<size_t>(width) + 31) / 32) * 4;
    size_t headerSize = sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD);
    std::vector<BYTE> image(headerSize + (colourStride + maskStride) * height, 0);
    BITMAPINFOHEADER* bih = reinterpret_cast<BITMAPINFOHEADER*>(image.data());
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = width;
    bih->biHeight = height * 2;
    bih->biPlanes = 1;
    bih->biBitCount = static_cast<WORD>(bpp);
    bih->biCompression = BI_RGB;
    bih->biSizeImage = static_cast<DWORD>((colourStride + maskStride) * height);
    bih->biClrUsed = static_cast<DWORD>(colours);

    DWORD* c = colour.bits();
    DWORD* m = mask.bits();
    BYTE* colourRows = image.data() + headerSize;
    BYTE* maskRows = colourRows + colourStride * height;
    for (int y = 0; y < height; ++y) {
        int row = height - 1 - y;  // resource rows are bottom-up
        for (int x = 0; x < width; ++x) {
            size_t i = static_cast<size_t>(y) * width + x;
            int maskValue = m[i] & 0xFF;
            bool transparent = maskValue >= 128;
            if (transparent)
                maskRows[row * maskStride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            if (bpp == 32) {
                DWORD px = c[i] & 0x00FFFFFF;
                if (maskValue > 250)
                    px = 0;
                px |= static_cast<DWORD>(255 - maskValue) << 24;
                memcpy(colourRows + row * colourStride + x * 4, &px, 4);
            } else if (transparent) {
                // Below 32 bits the AND mask alone shows the background: the colour there must be
                // black, or the screen would be inverted through it.
                c[i] = 0;
            }
        }
    }
    if (bpp != 32) {
        // The colour rows at the wanted depth (with a colour table below 16 bits) through GDI.
        std::vector<BYTE> info(headerSize, 0);
        memcpy(info.data(), bih, sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
        h->biHeight = height;
        h->biSizeImage = 0;
        colour.Unselect();
        HDC screen = GetDC(nullptr);
        int lines = GetDIBits(screen, colour.bitmap(), 0, height, colourRows,
                              reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        if (lines != height)
            return nullptr;
        memcpy(image.data() + sizeof(BITMAPINFOHEADER), info.data() + sizeof(BITMAPINFOHEADER),
               colours * sizeof(RGBQUAD));
    }
    return CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE,
                                    kIconResourceVersion, width, height, LR_DEFAULTCOLOR);
}

// An icon from a DIB: the colour stretched to the size, the mask from the colour of the DIB's
// first pixel (bottom-left in a bottom-up DIB).
HICON DibToIcon(const Dib& dib, int width, int height, int bitsPerPixel)
{
    if (!SizeAcceptable(width, height))
        return nullptr;
    Surface32 natural(dib.width, dib.height);
    if (!DrawDib(dib, &natural, dib.width, dib.height))
        return nullptr;
    DWORD key = natural.At(0, dib.topDown ? 0 : dib.height - 1);
    std::vector<DWORD> maskPixels(static_cast<size_t>(dib.width) * dib.height);
    DWORD* src = natural.bits();
    for (size_t i = 0; i < maskPixels.size(); ++i)
        maskPixels[i] = (src[i] & 0x00FFFFFF) == key ? 0x00FFFFFF : 0;
    Surface32 colour(width, height), mask(width, height);
    if (!DrawDib(dib, &colour, width, height) ||
        !StretchPixels(maskPixels, dib.width, dib.height, &mask, width, height))
        return nullptr;
    return BuildIconImage(colour, mask, width, height, bitsPerPixel);
}

int ScreenBitsPerPixel()
{
    HDC screen = GetDC(nullptr);
    int bpp = screen ? GetDeviceCaps(screen, BITSPIXEL) : 32;
    if (screen)
        ReleaseDC(nullptr, screen);
    return bpp;
}

}  // namespace

BYTE CheckerboardGrey(int x, int y)
{
    bool oddColumn = ((x / 4) & 1) != 0;
    bool oddRow = ((y / 4) & 1) != 0;
    return oddColumn != oddRow ? 224 : 192;
}

int DetectTypedImageType(const BYTE* bytes, DWORD length)
{
    if (!bytes || length < 1)
        return IMAGE_TYPE_NONE;
    switch (bytes[0]) {
    case 2:
        if (length >= 5 && Read16(bytes + 1) == 0 && Read16(bytes + 3) == 1)
            return IMAGE_TYPE_ICON;
        break;
    case 1:
        if (length >= 7) {
            DWORD headerSize = Read32(bytes + 3);
            if (headerSize == sizeof(BITMAPCOREHEADER) || headerSize == sizeof(BITMAPINFOHEADER))
                return IMAGE_TYPE_BITMAP;
        }
        break;
    case 4:
        if (IsPNGFile(bytes + 1, static_cast<long>(length - 1)))
            return IMAGE_TYPE_PNG;
        break;
    case 3:
        if (JasImageGetType(bytes + 1, static_cast<long>(length - 1)) > 0)
            return IMAGE_TYPE_JPEG;
        break;
    }
    return IMAGE_TYPE_NONE;
}

int DetectImageType(const BYTE* bytes, DWORD length)
{
    if (!bytes || length == 0)
        return IMAGE_TYPE_NONE;
    if (length >= 4 && Read16(bytes) == 0 && Read16(bytes + 2) == 1)
        return IMAGE_TYPE_ICON;
    if (length >= 18 && bytes[0] == 'B' && bytes[1] == 'M') {
        DWORD headerSize = Read32(bytes + 14);
        if (headerSize == sizeof(BITMAPCOREHEADER) || headerSize == sizeof(BITMAPINFOHEADER))
            return IMAGE_TYPE_BITMAP;
    }
    if (IsPNGFile(bytes, static_cast<long>(length)))
        return IMAGE_TYPE_PNG;
    if (JasImageGetType(bytes, static_cast<long>(length)) > 0)
        return IMAGE_TYPE_JPEG;
    return DetectTypedImageType(bytes, length);
}

static bool JpegSize(const BYTE* bytes, DWORD length, int* width, int* height)
{
    HJASIMAGE image = JasCreateImage(bytes, static_cast<long>(length));
    if (!image)
        return false;
    int w = 0, h = 0;
    bool ok = JasImageGetDimen(image, &w, &h) != 0;
    JasDestroyImage(image);
    if (ok) {
        *width = w;
        *height = h;
    }
    return ok;
}

static bool PngSize(const BYTE* bytes, DWORD length, int* width, int* height)
{
    HPNGIMAGE image = PNGImageCreate(bytes, static_cast<long>(length));
    if (!image)
        return false;
    int w = 0, h = 0;
    bool ok = PNGImageIsPNG(image) && PNGImageGetDimen(image, &w, &h);
    PNGImageDestroy(image);
    if (ok) {
        *width = w;
        *height = h;
    }
    return ok;
}

bool GetImageSize(const BYTE* bytes, DWORD length, int* width, int* height)
{
    if (!bytes || !width || !height)
        return false;
    switch (DetectTypedImageType(bytes, length)) {
    case IMAGE_TYPE_BITMAP: {
        Dib dib;
        if (!ParseTypedDib(bytes + 1, length - 1, &dib))
            return false;
        *width = dib.width;
        *height = dib.height;
        return true;
    }
    case IMAGE_TYPE_JPEG:
        return JpegSize(bytes + 1, length - 1, width, height);
    case IMAGE_TYPE_PNG:
        return PngSize(bytes + 1, length - 1, width, height);
    case IMAGE_TYPE_ICON:
        return false;
    }
    switch (DetectImageType(bytes, length)) {
    case IMAGE_TYPE_BITMAP: {
        // The size is read from a 40-byte header only; the old 12-byte one gives none.
        if (length < 14 + sizeof(BITMAPINFOHEADER) || Read32(bytes + 14) != sizeof(BITMAPINFOHEADER))
            return false;
        LONG w = static_cast<LONG>(Read32(bytes + 18));
        LONG h = static_cast<LONG>(Read32(bytes + 22));
        if (h < 0)
            h = -h;
        if (!SizeAcceptable(w, h))
            return false;
        *width = w;
        *height = h;
        return true;
    }
    case IMAGE_TYPE_JPEG:
        return JpegSize(bytes, length, width, height);
    case IMAGE_TYPE_PNG:
        return PngSize(bytes, length, width, height);
    }
    return false;
}

void FitImageToBox(int imageWidth, int imageHeight, int* boxWidth, int* boxHeight, int* xOffset,
                   int* yOffset, int alignment)
{
    int oldWidth = *boxWidth, oldHeight = *boxHeight;
    if (imageWidth > imageHeight) {
        if (*boxWidth >= 1) {
            double r = static_cast<double>(imageHeight) / imageWidth;
            if (static_cast<double>(*boxHeight) / *boxWidth > r)
                *boxHeight = static_cast<int>(*boxWidth * r);
            else if (r > 0)
                *boxWidth = static_cast<int>(*boxHeight / r);
        }
    } else {
        if (*boxHeight >= 1) {
            double r = static_cast<double>(imageWidth) / imageHeight;
            if (static_cast<double>(*boxWidth) / *boxHeight > r)
                *boxWidth = static_cast<int>(*boxHeight * r);
            else if (r > 0)
                *boxHeight = static_cast<int>(*boxWidth / r);
        }
    }
    if (*boxWidth < oldWidth) {
        if (alignment == IMAGE_ALIGN_CENTRE)
            *xOffset = static_cast<int>((oldWidth - *boxWidth) / 2.0);
        else if (alignment == IMAGE_ALIGN_END)
            *xOffset = oldWidth - *boxWidth;
    } else {
        if (alignment == IMAGE_ALIGN_CENTRE)
            *yOffset = static_cast<int>((oldHeight - *boxHeight) / 2.0);
        else if (alignment == IMAGE_ALIGN_END)
            *yOffset = oldHeight - *boxHeight;
    }
}

HBITMAP BmpToBitmap(HWND hwnd, const BYTE* bytes, DWORD length, COLORREF transparent,
                    int* boxWidth, int* boxHeight, BOOL stretch, BOOL shrink, int alignment)
{
    Dib dib;
    if (!ParseBmpFile(bytes, length, &dib))
        return nullptr;
    Placement p;
    if (!PlaceImage(dib.width, dib.height, boxWidth, boxHeight, stretch, shrink, alignment, &p))
        return nullptr;
    WindowDc wdc(hwnd);
    if (!wdc.get())
        return nullptr;
    HBITMAP bitmap;
    if (p.bitmapWidth == dib.width && p.bitmapHeight == dib.height && p.width == dib.width &&
        p.height == dib.height && !dib.topDown) {
        bitmap = CreateDIBitmap(wdc.get(), &dib.info->bmiHeader, CBM_INIT, dib.bits, dib.info,
                                DIB_RGB_COLORS);
    } else {
        bitmap = StretchDibToBitmap(wdc.get(), dib, p);
    }
    if (!bitmap || transparent == IMAGE_NO_TRANSPARENT)
        return bitmap;

    // Pixels of the transparent colour become the checkerboard, cell rows counted from the
    // bottom row.
    BITMAPINFO bmi = zimage::Rgb32Info(p.bitmapWidth, p.bitmapHeight);  // bottom-up rows
    std::vector<DWORD> pixels(static_cast<size_t>(p.bitmapWidth) * p.bitmapHeight);
    if (GetDIBits(wdc.get(), bitmap, 0, p.bitmapHeight, pixels.data(), &bmi, DIB_RGB_COLORS) !=
        p.bitmapHeight)
        return bitmap;
    DWORD key = (GetRValue(transparent) << 16) | (GetGValue(transparent) << 8) | GetBValue(transparent);
    for (int row = 0; row < p.bitmapHeight; ++row) {
        for (int x = 0; x < p.bitmapWidth; ++x) {
            DWORD& px = pixels[static_cast<size_t>(row) * p.bitmapWidth + x];
            if ((px & 0x00FFFFFF) == key) {
                DWORD g = CheckerboardGrey(x, row);
                px = (g << 16) | (g << 8) | g;
            }
        }
    }
    SetDIBits(wdc.get(), bitmap, 0, p.bitmapHeight, pixels.data(), &bmi, DIB_RGB_COLORS);
    return bitmap;
}

HBITMAP TypedDibToBitmap(HWND hwnd, const BYTE* bytes, DWORD length, int* boxWidth,
                         int* boxHeight, BOOL stretch, BOOL shrink, int alignment)
{
    Dib dib;
    if (!ParseTypedDib(bytes, length, &dib))
        return nullptr;
    Placement p;
    if (!PlaceImage(dib.width, dib.height, boxWidth, boxHeight, stretch, shrink, alignment, &p))
        return nullptr;
    WindowDc wdc(hwnd);
    if (!wdc.get())
        return nullptr;
    return StretchDibToBitmap(wdc.get(), dib, p);
}

// A bitmap of the placement's size compatible with the window, with render(dc) drawing the
// image exactly at the fitted offset, like every other format, so a fitted image neither loses
// its top row nor leaves one unpainted at the bottom. Null when render returns 0.
template <class Render>
HBITMAP RenderPlaced(HWND hwnd, const Placement& p, Render render)
{
    WindowDc wdc(hwnd);
    if (!wdc.get())
        return nullptr;
    MemoryDc mem(wdc.get(), CreateCompatibleBitmap(wdc.get(), p.bitmapWidth, p.bitmapHeight));
    if (!mem.ok())
        return nullptr;
    POINT old;
    SetViewportOrgEx(mem.dc(), p.x, p.y, &old);
    int drawn = render(mem.dc());
    SetViewportOrgEx(mem.dc(), old.x, old.y, nullptr);
    return drawn ? mem.Release() : nullptr;
}

HBITMAP JpegToBitmap(HWND hwnd, const BYTE* bytes, DWORD length, int* boxWidth, int* boxHeight,
                     BOOL stretch, BOOL shrink, int alignment)
{
    HJASIMAGE image = JasCreateImage(bytes, static_cast<long>(length));
    if (!image)
        return nullptr;
    HBITMAP result = nullptr;
    int w = 0, h = 0;
    Placement p;
    if (JasImageGetDimen(image, &w, &h) &&
        PlaceImage(w, h, boxWidth, boxHeight, stretch, shrink, alignment, &p)) {
        result = RenderPlaced(hwnd, p, [&](HDC dc) {
            return JasImageRender(image, w, h, dc, p.width, p.height);
        });
    }
    JasDestroyImage(image);
    return result;
}

HBITMAP PngToBitmap(HWND hwnd, const BYTE* bytes, DWORD length, int* boxWidth, int* boxHeight,
                    BOOL stretch, BOOL shrink, int alignment)
{
    HPNGIMAGE image = PNGImageCreate(bytes, static_cast<long>(length));
    if (!image)
        return nullptr;
    HBITMAP result = nullptr;
    int w = 0, h = 0;
    Placement p;
    if (PNGImageIsPNG(image) && PNGImageGetDimen(image, &w, &h) &&
        PlaceImage(w, h, boxWidth, boxHeight, stretch, shrink, alignment, &p)) {
        result = RenderPlaced(hwnd, p, [&](HDC dc) {
            return PNGImageRender(image, w, h, dc, p.width, p.height, CheckerboardColour);
        });
    }
    PNGImageDestroy(image);
    return result;
}

static bool ReadIcoEntry(const BYTE* ico, DWORD length, int index, int count, IcoEntry* e)
{
    const BYTE* d = ico + 6 + 16 * index;
    e->width = d[0] ? d[0] : 256;
    e->height = d[1] ? d[1] : 256;
    e->bitCount = Read16(d + 6);
    e->size = Read32(d + 8);
    e->offset = Read32(d + 12);
    // The image must lie inside the file, after the directory.
    unsigned long long directoryEnd = 6ULL + 16ULL * count;
    return e->size >= 8 && e->offset >= directoryEnd &&
           static_cast<unsigned long long>(e->offset) + e->size <= length;
}

const BYTE* SelectIcoImage(const BYTE* ico, DWORD length, int maxBitsPerPixel, int wantedWidth,
                           int wantedHeight, DWORD* size, int* width, int* height)
{
    if (!ico || length < 6 || Read16(ico) != 0 || Read16(ico + 2) != 1)
        return nullptr;
    int count = Read16(ico + 4);
    if (count == 0 || 6ULL + 16ULL * count > length)
        return nullptr;
    // Entries whose image lies outside the file are passed over.
    IcoEntry choice = {};
    bool chosen = false;
    for (int i = 0; i < count; ++i) {
        IcoEntry e;
        if (!ReadIcoEntry(ico, length, i, count, &e))
            continue;
        if (!chosen) {
            choice = e;
            chosen = true;
            continue;
        }
        if (e.width != wantedWidth || e.height != wantedHeight)
            continue;
        bool choiceFits = choice.width == wantedWidth && choice.height == wantedHeight;
        if (!choiceFits || (e.bitCount > choice.bitCount && e.bitCount <= maxBitsPerPixel))
            choice = e;
    }
    if (!chosen)
        return nullptr;
    if (size)
        *size = choice.size;
    if (width)
        *width = choice.width;
    if (height)
        *height = choice.height;
    return ico + choice.offset;
}

HBITMAP IcoToBitmap(HWND hwnd, const BYTE* bytes, DWORD length, int width, int height)
{
    DWORD size = 0;
    const BYTE* image = SelectIcoImage(bytes, length, 32, width, height, &size, nullptr, nullptr);
    if (!image || !SizeAcceptable(width, height))
        return nullptr;
    if (Read32(image) != sizeof(BITMAPINFOHEADER)) {
        // A PNG inside the icon.
        int w = width, h = height;
        return PngToBitmap(hwnd, image, size, &w, &h, TRUE, TRUE, IMAGE_ALIGN_CENTRE);
    }
    IcoDib ico;
    if (!ParseIcoDib(image, size, &ico))
        return nullptr;
    const Dib& dib = ico.colour;

    // The weight of each pixel (255 opaque): the alpha channel of 32-bit images, else the AND mask.
    std::vector<DWORD> weights(static_cast<size_t>(dib.width) * dib.height);
    bool haveWeights = false;
    if (dib.bitCount == 32 && dib.info->bmiHeader.biCompression == BI_RGB) {
        size_t stride = static_cast<size_t>(dib.width) * 4;
        bool anyAlpha = false;
        for (int y = 0; y < dib.height; ++y) {
            const BYTE* row = dib.bits + stride * (dib.height - 1 - y);  // rows are bottom-up
            for (int x = 0; x < dib.width; ++x) {
                DWORD a = row[x * 4 + 3];
                anyAlpha = anyAlpha || a != 0;
                weights[static_cast<size_t>(y) * dib.width + x] = (a << 16) | (a << 8) | a;
            }
        }
        // An old 32-bit image without alpha (all zero) is drawn through its mask.
        haveWeights = anyAlpha || !ico.mask;
        if (!anyAlpha && !ico.mask)
            for (DWORD& w : weights)
                w = 0x00FFFFFF;
    }
    if (!haveWeights) {
        if (!ico.mask)
            return nullptr;
        size_t stride = ((static_cast<size_t>(dib.width) + 31) / 32) * 4;
        for (int y = 0; y < dib.height; ++y) {
            const BYTE* row = ico.mask + stride * (dib.height - 1 - y);
            for (int x = 0; x < dib.width; ++x) {
                bool transparentBit = (row[x / 8] & (0x80 >> (x % 8))) != 0;
                weights[static_cast<size_t>(y) * dib.width + x] = transparentBit ? 0 : 0x00FFFFFF;
            }
        }
    }
    Surface32 colour(width, height), weight(width, height);
    if (!DrawDib(dib, &colour, width, height) ||
        !StretchPixels(weights, dib.width, dib.height, &weight, width, height))
        return nullptr;
    Surface32 result(width, height);
    if (!result.ok())
        return nullptr;
    DWORD* c = colour.bits();
    DWORD* w = weight.bits();
    DWORD* out = result.bits();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            size_t i = static_cast<size_t>(y) * width + x;
            DWORD wt = w[i] & 0xFF;
            DWORD grey = CheckerboardGrey(x, y);
            DWORD px = 0xFF000000;  // opaque, so alpha-aware drawing shows it as it is
            for (int shift = 0; shift < 24; shift += 8) {
                DWORD channel = (c[i] >> shift) & 0xFF;
                px |= ((channel * wt + grey * (255 - wt)) / 255) << shift;
            }
            out[i] = px;
        }
    }
    return result.Release();
}

HICON IcoToIcon(const BYTE* bytes, DWORD length, int width, int height, int bitsPerPixel)
{
    DWORD size = 0;
    const BYTE* image =
        SelectIcoImage(bytes, length, bitsPerPixel, width, height, &size, nullptr, nullptr);
    if (!image || !SizeAcceptable(width, height))
        return nullptr;
    if (Read32(image) == sizeof(BITMAPINFOHEADER)) {
        IcoDib check;
        if (!ParseIcoDib(image, size, &check) || !check.mask)
            return nullptr;
    } else if (!IsPNGFile(image, static_cast<long>(size))) {
        return nullptr;
    }
    HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(image), size, TRUE,
                                          kIconResourceVersion, width, height, LR_DEFAULTCOLOR);
    if (!icon && IsPNGFile(image, static_cast<long>(size)))
        icon = PngToIcon(image, size, width, height, bitsPerPixel);
    return icon;
}

HICON TypedDibToIcon(const BYTE* bytes, DWORD length, int width, int height, int bitsPerPixel)
{
    Dib dib;
    if (!ParseTypedDib(bytes, length, &dib))
        return nullptr;
    return DibToIcon(dib, width, height, bitsPerPixel);
}

HICON BmpToIcon(const BYTE* bytes, DWORD length, int width, int height, int bitsPerPixel)
{
    Dib dib;
    if (!ParseBmpFile(bytes, length, &dib))
        return nullptr;
    return DibToIcon(dib, width, height, bitsPerPixel);
}

HICON PngToIcon(const BYTE* bytes, DWORD length, int width, int height, int bitsPerPixel)
{
    if (!SizeAcceptable(width, height))
        return nullptr;
    HPNGIMAGE image = PNGImageCreate(bytes, static_cast<long>(length));
    if (!image)
        return nullptr;
    HICON icon = nullptr;
    int w = 0, h = 0;
    if (PNGImageIsPNG(image) && PNGImageGetDimen(image, &w, &h)) {
        WindowDc screen(nullptr);
        HBITMAP colourImage = CreateCompatibleBitmap(screen.get(), w, h);
        HBITMAP maskImage = CreateCompatibleBitmap(screen.get(), w, h);
        HDC mem = CreateCompatibleDC(screen.get());
        if (colourImage && maskImage && mem &&
            PNGImageGetBitmaps(image, mem, colourImage, maskImage)) {
            Surface32 colour(width, height), mask(width, height);
            if (colour.ok() && mask.ok()) {
                bool drawn = true;
                HGDIOBJ old = SelectObject(mem, colourImage);
                SetStretchBltMode(colour.dc(), HALFTONE);
                SetBrushOrgEx(colour.dc(), 0, 0, nullptr);
                drawn = StretchBlt(colour.dc(), 0, 0, width, height, mem, 0, 0, w, h, SRCCOPY) && drawn;
                SelectObject(mem, maskImage);
                SetStretchBltMode(mask.dc(), HALFTONE);
                SetBrushOrgEx(mask.dc(), 0, 0, nullptr);
                drawn = StretchBlt(mask.dc(), 0, 0, width, height, mem, 0, 0, w, h, SRCCOPY) && drawn;
                SelectObject(mem, old);
                if (drawn)
                    icon = BuildIconImage(colour, mask, width, height, bitsPerPixel);
            }
        }
        if (mem)
            DeleteDC(mem);
        if (colourImage)
            DeleteObject(colourImage);
        if (maskImage)
            DeleteObject(maskImage);
    }
    PNGImageDestroy(image);
    return icon;
}

HBITMAP CreateImageBitmap(HWND hwnd, const BYTE* bytes, DWORD length, int* boxWidth,
                          int* boxHeight, BOOL stretch, BOOL shrink, int alignment)
{
    if (!bytes || !boxWidth || !boxHeight)
        return nullptr;
    switch (DetectTypedImageType(bytes, length)) {
    case IMAGE_TYPE_ICON:
        return IcoToBitmap(hwnd, bytes + 1, length - 1, *boxWidth, *boxHeight);
    case IMAGE_TYPE_BITMAP:
        return TypedDibToBitmap(hwnd, bytes + 1, length - 1, boxWidth, boxHeight, stretch, shrink,
                                alignment);
    case IMAGE_TYPE_JPEG:
        return JpegToBitmap(hwnd, bytes + 1, length - 1, boxWidth, boxHeight, stretch, shrink,
                            alignment);
    case IMAGE_TYPE_PNG:
        return PngToBitmap(hwnd, bytes + 1, length - 1, boxWidth, boxHeight, stretch, shrink,
                           alignment);
    }
    switch (DetectImageType(bytes, length)) {
    case IMAGE_TYPE_ICON:
        return IcoToBitmap(hwnd, bytes, length, *boxWidth, *boxHeight);
    case IMAGE_TYPE_BITMAP:
        return BmpToBitmap(hwnd, bytes, length, IMAGE_NO_TRANSPARENT, boxWidth, boxHeight, stretch,
                           shrink, alignment);
    case IMAGE_TYPE_JPEG:
        return JpegToBitmap(hwnd, bytes, length, boxWidth, boxHeight, stretch, shrink, alignment);
    case IMAGE_TYPE_PNG:
        return PngToBitmap(hwnd, bytes, length, boxWidth, boxHeight, stretch, shrink, alignment);
    }
    return nullptr;
}

HICON CreateImageIcon(const BYTE* bytes, DWORD length, int width, int height, int bitsPerPixel)
{
    if (!bytes)
        return nullptr;
    if (bitsPerPixel <= 0)
        bitsPerPixel = ScreenBitsPerPixel();
    switch (DetectTypedImageType(bytes, length)) {
    case IMAGE_TYPE_ICON:
        return IcoToIcon(bytes + 1, length - 1, width, height, bitsPerPixel);
    case IMAGE_TYPE_BITMAP:
        return TypedDibToIcon(bytes + 1, length - 1, width, height, bitsPerPixel);
    case IMAGE_TYPE_PNG:
        return PngToIcon(bytes + 1, length - 1, width, height, bitsPerPixel);
    case IMAGE_TYPE_JPEG:
        return nullptr;
    }
    switch (DetectImageType(bytes, length)) {
    case IMAGE_TYPE_ICON:
        return IcoToIcon(bytes, length, width, height, bitsPerPixel);
    case IMAGE_TYPE_BITMAP:
        return BmpToIcon(bytes, length, width, height, bitsPerPixel);
    case IMAGE_TYPE_PNG:
        return PngToIcon(bytes, length, width, height, bitsPerPixel);
    }
    return nullptr;
}

bool GetTypedDib(const BYTE* bytes, DWORD length, const BITMAPINFO** info, const BYTE** bits)
{
    if (!bytes || length < 1 || bytes[0] != 1)
        return false;
    Dib dib;
    if (!ParseTypedDib(bytes + 1, length - 1, &dib))
        return false;
    if (info)
        *info = dib.info;
    if (bits)
        *bits = dib.bits;
    return true;
}
