// Stored images: type detection, fitting into a box, decoding of BMP, ICO, PNG, JPEG and typed
// values to bitmaps and icons, the checkerboard under transparency, blobs in VARIANTs, and
// damaged data read with nothing readable past its end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/blob.h"
#include "core/storedimage.h"
#include "tools/testkit/wic_encode.h"
#include "tests/support/wintest.h"

using imgtest::Grey;
using imgtest::Near;
using imgtest::Pixels;
using imgtest::Rgb;
using Bytes = std::vector<BYTE>;

namespace {

void Put16(Bytes& b, size_t at, unsigned v)
{
    b[at] = static_cast<BYTE>(v);
    b[at + 1] = static_cast<BYTE>(v >> 8);
}

void Put32(Bytes& b, size_t at, unsigned v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<BYTE>(v >> (8 * i));
}

// A packed 24-bit bottom-up DIB: 40-byte header and rows.
Bytes PackedDib24(const Pixels& px)
{
    size_t stride = (px.width * 3 + 3) & ~3u;
    Bytes b(40 + stride * px.height, 0);
    Put32(b, 0, 40);
    Put32(b, 4, px.width);
    Put32(b, 8, px.height);
    Put16(b, 12, 1);
    Put16(b, 14, 24);
    Put32(b, 20, static_cast<unsigned>(stride * px.height));
    for (int y = 0; y < px.height; ++y)
        for (int x = 0; x < px.width; ++x)
            for (int c = 0; c < 3; ++c)
                b[40 + (px.height - 1 - y) * stride + x * 3 + c] =
                    px.bgra[(static_cast<size_t>(y) * px.width + x) * 4 + c];
    return b;
}

// A raw BMP file of the pixels (24 bits).
Bytes MakeBmp(const Pixels& px)
{
    Bytes dib = PackedDib24(px);
    Bytes b(14, 0);
    b[0] = 'B';
    b[1] = 'M';
    b.insert(b.end(), dib.begin(), dib.end());
    Put32(b, 2, static_cast<unsigned>(b.size()));
    Put32(b, 10, 54);
    return b;
}

// The typed form of a DIB: tag 1, bits offset from byte 1, header, bits.
Bytes MakeTypedDib(const Pixels& px)
{
    Bytes dib = PackedDib24(px);
    Bytes b = {1, 0, 0};
    b.insert(b.end(), dib.begin(), dib.end());
    Put16(b, 1, 2 + 40);
    return b;
}

Bytes Tagged(BYTE tag, const Bytes& image)
{
    Bytes b = {tag};
    b.insert(b.end(), image.begin(), image.end());
    return b;
}

// One image of an ICO file.
struct IcoImage {
    int width, height, bitCount;
    Bytes data;
};

// A BITMAPINFOHEADER icon image: 32 bits with the pixels' alpha, or 4 bits (a 16-entry table with
// the image's first colour at index 1, black elsewhere) with the AND mask from alpha < 128.
IcoImage MakeIconImage(const Pixels& px, int bitCount)
{
    size_t colours = bitCount == 4 ? 16 : 0;
    size_t stride = ((static_cast<size_t>(px.width) * bitCount + 31) / 32) * 4;
    size_t maskStride = ((static_cast<size_t>(px.width) + 31) / 32) * 4;
    size_t header = 40 + colours * 4;
    Bytes b(header + (stride + maskStride) * px.height, 0);
    Put32(b, 0, 40);
    Put32(b, 4, px.width);
    Put32(b, 8, px.height * 2);
    Put16(b, 12, 1);
    Put16(b, 14, bitCount);
    if (bitCount == 4)
        memcpy(&b[40 + 4], &px.bgra[0], 3);  // index 1: the first pixel's colour
    for (int y = 0; y < px.height; ++y) {
        size_t row = px.height - 1 - y;
        for (int x = 0; x < px.width; ++x) {
            const BYTE* p = &px.bgra[(static_cast<size_t>(y) * px.width + x) * 4];
            if (bitCount == 32) {
                memcpy(&b[header + row * stride + x * 4], p, 4);
            } else {
                BYTE index = memcmp(p, &px.bgra[0], 3) == 0 ? 1 : 0;
                b[header + row * stride + x / 2] |= static_cast<BYTE>(x % 2 ? index : index << 4);
            }
            if (p[3] < 128)
                b[header + stride * px.height + row * maskStride + x / 8] |=
                    static_cast<BYTE>(0x80 >> (x % 8));
        }
    }
    return {px.width, px.height, bitCount, b};
}

Bytes MakeIco(const std::vector<IcoImage>& images)
{
    Bytes b(6 + 16 * images.size(), 0);
    Put16(b, 2, 1);
    Put16(b, 4, static_cast<unsigned>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        size_t e = 6 + 16 * i;
        b[e] = static_cast<BYTE>(images[i].width & 0xFF);
        b[e + 1] = static_cast<BYTE>(images[i].height & 0xFF);
        Put16(b, e + 4, 1);
        Put16(b, e + 6, images[i].bitCount);
        Put32(b, e + 8, static_cast<unsigned>(images[i].data.size()));
        Put32(b, e + 12, static_cast<unsigned>(b.size()));
        b.insert(b.end(), images[i].data.begin(), images[i].data.end());
    }
    return b;
}

// Bytes placed so that they end exactly at an inaccessible page: any read past the end faults.
class Guarded {
public:
    explicit Guarded(const Bytes& b)
    {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        size_t page = si.dwPageSize;
        size_t pages = (b.size() + page - 1) / page + 1;
        base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, pages * page, MEM_RESERVE | MEM_COMMIT,
                                                PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_ + (pages - 1) * page, page, PAGE_NOACCESS, &old);
        data_ = base_ + (pages - 1) * page - b.size();
        if (!b.empty())
            memcpy(data_, b.data(), b.size());
        size_ = static_cast<DWORD>(b.size());
    }
    ~Guarded() { VirtualFree(base_, 0, MEM_RELEASE); }
    const BYTE* data() const { return data_; }
    DWORD size() const { return size_; }

private:
    BYTE* base_ = nullptr;
    BYTE* data_ = nullptr;
    DWORD size_ = 0;
};

HBITMAP Decode(const Bytes& b, int* boxWidth, int* boxHeight, BOOL stretch = FALSE,
               BOOL shrink = FALSE, int alignment = IMAGE_ALIGN_CENTRE)
{
    return CreateImageBitmap(nullptr, b.data(), static_cast<DWORD>(b.size()), boxWidth, boxHeight,
                             stretch, shrink, alignment);
}

// Decodes at the box size and reads the bitmap back; empty when nothing was made.
std::vector<uint32_t> DecodePixels(const Bytes& b, int boxWidth, int boxHeight, int* outWidth = nullptr,
                                   int* outHeight = nullptr, BOOL shrink = FALSE,
                                   int alignment = IMAGE_ALIGN_CENTRE)
{
    HBITMAP bitmap = Decode(b, &boxWidth, &boxHeight, FALSE, shrink, alignment);
    std::vector<uint32_t> px = imgtest::ReadBitmap(bitmap, outWidth, outHeight);
    if (bitmap)
        DeleteObject(bitmap);
    return px;
}

// The icon drawn (DI_NORMAL) over a plain background, read back top-down.
std::vector<uint32_t> DrawIcon(HICON icon, int width, int height, COLORREF background)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    DWORD* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP section = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                                       nullptr, 0);
    HGDIOBJ old = SelectObject(dc, section);
    for (int i = 0; i < width * height; ++i)
        bits[i] = Rgb(background);
    DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
    std::vector<uint32_t> out(bits, bits + width * height);
    for (uint32_t& v : out)
        v &= 0x00FFFFFF;
    SelectObject(dc, old);
    DeleteObject(section);
    DeleteDC(dc);
    return out;
}

bool IconSize(HICON icon, int* width, int* height)
{
    ICONINFO ii = {};
    if (!GetIconInfo(icon, &ii))
        return false;
    BITMAP bm = {};
    GetObjectW(ii.hbmMask, sizeof(bm), &bm);
    *width = bm.bmWidth;
    *height = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
    if (ii.hbmColor)
        DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    return true;
}

VARIANT BlobOf(const Bytes& b)
{
    VARIANT v;
    VariantInit(&v);
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(b.size()));
    void* data;
    SafeArrayAccessData(sa, &data);
    if (!b.empty())
        memcpy(data, b.data(), b.size());
    SafeArrayUnaccessData(sa);
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = sa;
    return v;
}

Bytes BytesOf(const VARIANT& v)
{
    BlobBytes blob(&v);
    if (!blob.ok())
        return {};
    return Bytes(blob.data(), blob.data() + blob.size());
}

int Type(const Bytes& b)
{
    return DetectImageType(b.data(), static_cast<DWORD>(b.size()));
}

// Eight colour bands across a 16 x 8 image, for exact pixel checks.
Pixels Bands()
{
    Pixels px(16, 8);
    const COLORREF colours[] = {RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(0, 0, 255),
                                RGB(255, 255, 0), RGB(0, 255, 255), RGB(255, 0, 255),
                                RGB(10, 20, 30),  RGB(200, 150, 100)};
    for (int i = 0; i < 8; ++i)
        px.FillRect(i * 2, 0, i * 2 + 2, 8, colours[i]);
    px.Set(0, 0, RGB(1, 2, 3));  // marks the top-left corner
    return px;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Fitting into a box

struct FitCase {
    int imageWidth, imageHeight, boxWidth, boxHeight, alignment;
    int fittedWidth, fittedHeight, x, y;
};

class FitImageToBoxTable : public testing::TestWithParam<FitCase> {};

TEST_P(FitImageToBoxTable, GivesSizeAndOffset)
{
    const FitCase& c = GetParam();
    int w = c.boxWidth, h = c.boxHeight, x = 0, y = 0;
    FitImageToBox(c.imageWidth, c.imageHeight, &w, &h, &x, &y, c.alignment);
    EXPECT_EQ(c.fittedWidth, w);
    EXPECT_EQ(c.fittedHeight, h);
    EXPECT_EQ(c.x, x);
    EXPECT_EQ(c.y, y);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitImageToBoxTable,
    testing::Values(FitCase{200, 100, 100, 100, 0, 100, 50, 0, 25},
                    FitCase{200, 100, 100, 100, 2, 100, 50, 0, 50},
                    FitCase{200, 100, 100, 100, 1, 100, 50, 0, 0},
                    FitCase{50, 200, 100, 100, 0, 25, 100, 37, 0},
                    FitCase{50, 200, 100, 100, 2, 25, 100, 75, 0},
                    FitCase{50, 200, 100, 100, 1, 25, 100, 0, 0},
                    // Landscape into a box flatter than the image: the width shrinks.
                    FitCase{200, 100, 300, 100, 0, 200, 100, 50, 0},
                    // Square image into a wide box, and into a tall one.
                    FitCase{64, 64, 200, 100, 0, 100, 100, 50, 0},
                    FitCase{64, 64, 100, 200, 0, 100, 100, 0, 50},
                    // Same aspect ratio: nothing moves.
                    FitCase{200, 100, 100, 50, 0, 100, 50, 0, 0},
                    // Truncation, not rounding: 3 x 100 / 7 = 42.86.
                    FitCase{7, 3, 100, 100, 0, 100, 42, 0, 29},
                    // No box width to work with: left as it is.
                    FitCase{200, 100, 0, 100, 0, 0, 100, 0, 0}));

// ---------------------------------------------------------------------------------------------
// Type detection

TEST(DetectImageType, RawFormsInOrder)
{
    Bytes ico = MakeIco({MakeIconImage(Pixels(16, 16, RGB(1, 1, 1)), 32)});
    EXPECT_EQ(IMAGE_TYPE_ICON, Type(ico));
    EXPECT_EQ(IMAGE_TYPE_BITMAP, Type(MakeBmp(Bands())));
    EXPECT_EQ(IMAGE_TYPE_PNG, Type(imgtest::EncodePng(Bands())));
    EXPECT_EQ(IMAGE_TYPE_JPEG, Type(imgtest::EncodeJpeg(Bands())));
    // Only the first two words make an icon, whatever follows.
    Bytes iconHead = {0, 0, 1, 0, 'B', 'M'};
    EXPECT_EQ(IMAGE_TYPE_ICON, Type(iconHead));
    Bytes cursorHead = {0, 0, 2, 0, 1, 0};
    EXPECT_EQ(IMAGE_TYPE_NONE, Type(cursorHead));
}

TEST(DetectImageType, BmpNeedsAKnownHeaderSize)
{
    Bytes bmp = MakeBmp(Bands());
    Put32(bmp, 14, 12);
    EXPECT_EQ(IMAGE_TYPE_BITMAP, Type(bmp));
    Put32(bmp, 14, 108);
    EXPECT_EQ(IMAGE_TYPE_NONE, Type(bmp));
    Bytes shortBm = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0};
    EXPECT_EQ(IMAGE_TYPE_NONE, Type(shortBm));
}

TEST(DetectImageType, TypedFormsByTag)
{
    Bytes png = imgtest::EncodePng(Bands());
    Bytes jpeg = imgtest::EncodeJpeg(Bands());
    Bytes ico = MakeIco({MakeIconImage(Pixels(16, 16, RGB(1, 1, 1)), 32)});
    Bytes dib = MakeTypedDib(Bands());
    EXPECT_EQ(IMAGE_TYPE_BITMAP, Type(dib));
    EXPECT_EQ(IMAGE_TYPE_ICON, Type(Tagged(2, ico)));
    EXPECT_EQ(IMAGE_TYPE_JPEG, Type(Tagged(3, jpeg)));
    EXPECT_EQ(IMAGE_TYPE_PNG, Type(Tagged(4, png)));
    EXPECT_EQ(IMAGE_TYPE_BITMAP,
              DetectTypedImageType(dib.data(), static_cast<DWORD>(dib.size())));
    // The tag must match what follows it.
    EXPECT_EQ(IMAGE_TYPE_NONE, Type(Tagged(4, jpeg)));
    EXPECT_EQ(IMAGE_TYPE_NONE, Type(Tagged(3, png)));
    EXPECT_EQ(IMAGE_TYPE_NONE, Type(Tagged(2, png)));
    EXPECT_EQ(IMAGE_TYPE_NONE, Type(Tagged(5, png)));
    Bytes badDib = dib;
    Put32(badDib, 3, 41);
    EXPECT_EQ(IMAGE_TYPE_NONE, Type(badDib));
    // The raw forms are not typed forms.
    EXPECT_EQ(IMAGE_TYPE_NONE,
              DetectTypedImageType(png.data(), static_cast<DWORD>(png.size())));
    Bytes empty;
    EXPECT_EQ(IMAGE_TYPE_NONE, DetectImageType(nullptr, 0));
    Bytes one = {4};
    EXPECT_EQ(IMAGE_TYPE_NONE, Type(one));
}

TEST(GetImageSize, EachFormAndNoneForIconsAndOldBmpHeaders)
{
    Pixels px(21, 13, RGB(5, 5, 5));
    int w = -1, h = -1;
    auto size = [&](const Bytes& b) {
        w = -1;
        h = -1;
        return GetImageSize(b.data(), static_cast<DWORD>(b.size()), &w, &h);
    };
    ASSERT_TRUE(size(MakeBmp(px)));
    EXPECT_EQ(21, w);
    EXPECT_EQ(13, h);
    ASSERT_TRUE(size(imgtest::EncodePng(px)));
    EXPECT_EQ(21, w);
    ASSERT_TRUE(size(imgtest::EncodeJpeg(px)));
    EXPECT_EQ(13, h);
    ASSERT_TRUE(size(MakeTypedDib(px)));
    EXPECT_EQ(21, w);
    EXPECT_EQ(13, h);
    ASSERT_TRUE(size(Tagged(4, imgtest::EncodePng(px))));
    EXPECT_EQ(21, w);
    ASSERT_TRUE(size(Tagged(3, imgtest::EncodeJpeg(px))));
    EXPECT_EQ(13, h);

    EXPECT_FALSE(size(MakeIco({MakeIconImage(Pixels(16, 16), 32)})));
    EXPECT_EQ(-1, w);
    Bytes old = MakeBmp(px);
    Put32(old, 14, 12);
    EXPECT_FALSE(size(old));
    EXPECT_EQ(-1, w);
    EXPECT_EQ(-1, h);
}

// ---------------------------------------------------------------------------------------------
// Decoding to bitmaps

TEST(CreateImageBitmap, BmpPixelsAtNaturalSize)
{
    int w = 0, h = 0;
    std::vector<uint32_t> px = DecodePixels(MakeBmp(Bands()), 16, 8, &w, &h);
    ASSERT_EQ(128u, px.size());
    EXPECT_EQ(16, w);
    EXPECT_EQ(8, h);
    EXPECT_EQ(Rgb(RGB(1, 2, 3)), px[0]);
    EXPECT_EQ(Rgb(RGB(255, 0, 0)), px[1]);
    EXPECT_EQ(Rgb(RGB(0, 255, 0)), px[2 * 16 + 3]);
    EXPECT_EQ(Rgb(RGB(200, 150, 100)), px[7 * 16 + 15]);
}

TEST(CreateImageBitmap, FittedIntoBoxWithOffsetOrShrunk)
{
    Pixels px(200, 100, RGB(255, 0, 0));
    Bytes bmp = MakeBmp(px);
    int w = 0, h = 0;
    std::vector<uint32_t> out = DecodePixels(bmp, 100, 100, &w, &h);
    ASSERT_EQ(100, w);
    ASSERT_EQ(100, h);
    // The image is 100 x 50 at y 25; the rest of the bitmap is not painted (black).
    EXPECT_EQ(0u, out[10 * 100 + 50]);
    EXPECT_EQ(Rgb(RGB(255, 0, 0)), out[30 * 100 + 50]);
    EXPECT_EQ(Rgb(RGB(255, 0, 0)), out[70 * 100 + 50]);
    EXPECT_EQ(0u, out[80 * 100 + 50]);

    out = DecodePixels(bmp, 100, 100, &w, &h, FALSE, IMAGE_ALIGN_END);
    EXPECT_EQ(0u, out[45 * 100 + 50]);
    EXPECT_EQ(Rgb(RGB(255, 0, 0)), out[55 * 100 + 50]);
    out = DecodePixels(bmp, 100, 100, &w, &h, FALSE, IMAGE_ALIGN_START);
    EXPECT_EQ(Rgb(RGB(255, 0, 0)), out[5 * 100 + 50]);
    EXPECT_EQ(0u, out[55 * 100 + 50]);

    int bw = 100, bh = 100;
    HBITMAP b = Decode(bmp, &bw, &bh, FALSE, TRUE);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(100, bw);
    EXPECT_EQ(50, bh);
    out = imgtest::ReadBitmap(b, &w, &h);
    DeleteObject(b);
    EXPECT_EQ(100, w);
    EXPECT_EQ(50, h);
    EXPECT_EQ(Rgb(RGB(255, 0, 0)), out[0]);

    // Stretching fills the whole box whatever the aspect ratio, and leaves the box alone.
    bw = 30;
    bh = 90;
    b = Decode(bmp, &bw, &bh, TRUE, TRUE);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(30, bw);
    EXPECT_EQ(90, bh);
    out = imgtest::ReadBitmap(b, &w, &h);
    DeleteObject(b);
    EXPECT_EQ(30, w);
    EXPECT_EQ(90, h);
    EXPECT_EQ(Rgb(RGB(255, 0, 0)), out[0]);
    EXPECT_EQ(Rgb(RGB(255, 0, 0)), out[89 * 30 + 29]);
}

TEST(CreateImageBitmap, PngAndTypedPngDecodeAlike)
{
    Bytes png = imgtest::EncodePng(Bands());
    std::vector<uint32_t> raw = DecodePixels(png, 16, 8);
    std::vector<uint32_t> typed = DecodePixels(Tagged(4, png), 16, 8);
    ASSERT_EQ(128u, raw.size());
    EXPECT_EQ(raw, typed);
    EXPECT_EQ(Rgb(RGB(1, 2, 3)), raw[0]);
    EXPECT_EQ(Rgb(RGB(0, 0, 255)), raw[3 * 16 + 5]);
}

TEST(CreateImageBitmap, PngFittedOnlyInsideItsRectangle)
{
    Pixels px(40, 20, RGB(0, 0, 255));
    std::vector<uint32_t> out = DecodePixels(imgtest::EncodePng(px), 40, 40);
    ASSERT_EQ(1600u, out.size());
    EXPECT_EQ(0u, out[5 * 40 + 20]);
    EXPECT_EQ(Rgb(RGB(0, 0, 255)), out[10 * 40 + 0]);
    EXPECT_EQ(Rgb(RGB(0, 0, 255)), out[29 * 40 + 39]);
    EXPECT_EQ(0u, out[30 * 40 + 20]);
}

TEST(CreateImageBitmap, JpegRawAndTypedAtTheFittedOffset)
{
    Pixels px(32, 16, RGB(0, 200, 0));
    Bytes jpeg = imgtest::EncodeJpeg(px);
    for (const Bytes& b : {jpeg, Tagged(3, jpeg)}) {
        int w = 0, h = 0;
        std::vector<uint32_t> out = DecodePixels(b, 32, 32, &w, &h);
        ASSERT_EQ(32, w);
        ASSERT_EQ(32, h);
        // Image at y 8 .. 23, its first and last rows painted, the rows around not.
        EXPECT_EQ(0u, out[7 * 32 + 16]);
        EXPECT_TRUE(Near(out[8 * 32 + 16], Rgb(RGB(0, 200, 0)), 16)) << std::hex << out[8 * 32 + 16];
        EXPECT_TRUE(Near(out[23 * 32 + 16], Rgb(RGB(0, 200, 0)), 16));
        EXPECT_EQ(0u, out[24 * 32 + 16]);
    }
}

TEST(CreateImageBitmap, TypedDibWithEitherHeader)
{
    Bytes dib = MakeTypedDib(Bands());
    std::vector<uint32_t> out = DecodePixels(dib, 16, 8);
    ASSERT_EQ(128u, out.size());
    EXPECT_EQ(Rgb(RGB(1, 2, 3)), out[0]);
    EXPECT_EQ(Rgb(RGB(255, 0, 255)), out[4 * 16 + 10]);

    // The same pixels behind a 12-byte core header.
    Bytes core = {1, 0, 0};
    Bytes header(12, 0);
    Put32(header, 0, 12);
    Put16(header, 4, 16);
    Put16(header, 6, 8);
    Put16(header, 8, 1);
    Put16(header, 10, 24);
    core.insert(core.end(), header.begin(), header.end());
    core.insert(core.end(), dib.begin() + 3 + 40, dib.end());
    Put16(core, 1, 2 + 12);
    EXPECT_EQ(out, DecodePixels(core, 16, 8));

    // A zero bits offset means no image.
    Bytes none = dib;
    Put16(none, 1, 0);
    EXPECT_TRUE(DecodePixels(none, 16, 8).empty());
}

TEST(CreateImageBitmap, OldBmpHeaderGivesNoBitmap)
{
    Bytes bmp = MakeBmp(Bands());
    Put32(bmp, 14, 12);
    EXPECT_TRUE(DecodePixels(bmp, 16, 8).empty());
}

// ---------------------------------------------------------------------------------------------
// The checkerboard under transparency

TEST(Checkerboard, CellsOfFourInTwoGreys)
{
    EXPECT_EQ(192, CheckerboardGrey(0, 0));
    EXPECT_EQ(192, CheckerboardGrey(3, 3));
    EXPECT_EQ(224, CheckerboardGrey(4, 0));
    EXPECT_EQ(224, CheckerboardGrey(0, 7));
    EXPECT_EQ(192, CheckerboardGrey(5, 6));
    EXPECT_EQ(192, CheckerboardGrey(8, 0));
}

TEST(Checkerboard, ShowsUnderTransparentPngPixels)
{
    Pixels px(8, 8, RGB(0, 0, 0), 0);
    px.Set(7, 7, RGB(255, 0, 0));
    std::vector<uint32_t> out = DecodePixels(imgtest::EncodePng(px), 8, 8);
    ASSERT_EQ(64u, out.size());
    EXPECT_EQ(Grey(192), out[0]);
    EXPECT_EQ(Grey(224), out[5]);
    EXPECT_EQ(Grey(224), out[5 * 8 + 1]);
    EXPECT_EQ(Grey(192), out[5 * 8 + 5]);
    EXPECT_EQ(Rgb(RGB(255, 0, 0)), out[63]);
}

TEST(Checkerboard, BmpTransparentColourCountsRowsFromTheBottom)
{
    // Ten rows: the bottom row is 9 from the top; cell rows start there.
    Pixels px(8, 10, RGB(0, 255, 0));
    px.Set(1, 1, RGB(255, 0, 0));
    Bytes bmp = MakeBmp(px);
    int bw = 8, bh = 10;
    HBITMAP b = BmpToBitmap(nullptr, bmp.data(), static_cast<DWORD>(bmp.size()), RGB(0, 255, 0),
                            &bw, &bh, FALSE, FALSE, IMAGE_ALIGN_CENTRE);
    ASSERT_NE(nullptr, b);
    std::vector<uint32_t> out = imgtest::ReadBitmap(b);
    DeleteObject(b);
    ASSERT_EQ(80u, out.size());
    EXPECT_EQ(Rgb(RGB(255, 0, 0)), out[1 * 8 + 1]);
    // Top-down row 9 is bottom row 0; row 5 is bottom row 4 (odd cell); row 1 is bottom row 8.
    EXPECT_EQ(Grey(192), out[9 * 8 + 0]);
    EXPECT_EQ(Grey(224), out[9 * 8 + 4]);
    EXPECT_EQ(Grey(224), out[5 * 8 + 0]);
    EXPECT_EQ(Grey(192), out[6 * 8 + 0]);
    EXPECT_EQ(Grey(192), out[1 * 8 + 0]);

    // Without a transparent colour the pixels stay.
    b = BmpToBitmap(nullptr, bmp.data(), static_cast<DWORD>(bmp.size()), IMAGE_NO_TRANSPARENT,
                    &bw, &bh, FALSE, FALSE, IMAGE_ALIGN_CENTRE);
    out = imgtest::ReadBitmap(b);
    DeleteObject(b);
    EXPECT_EQ(Rgb(RGB(0, 255, 0)), out[0]);
}

// ---------------------------------------------------------------------------------------------
// Icon files

TEST(SelectIcoImage, ByWantedSizeAndDepth)
{
    Bytes ico = MakeIco({MakeIconImage(Pixels(32, 32, RGB(1, 0, 0)), 4),
                         MakeIconImage(Pixels(32, 32, RGB(2, 0, 0)), 32),
                         IcoImage{16, 16, 8, MakeIconImage(Pixels(16, 16, RGB(3, 0, 0)), 32).data}});
    DWORD len = static_cast<DWORD>(ico.size());
    DWORD size = 0;
    int w = 0, h = 0;
    const BYTE* image = SelectIcoImage(ico.data(), len, 32, 32, 32, &size, &w, &h);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(32, w);
    EXPECT_EQ(32, h);
    EXPECT_EQ(32, image[14]);  // the 32-bit image's header
    image = SelectIcoImage(ico.data(), len, 8, 32, 32, &size, &w, &h);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(4, image[14]);
    image = SelectIcoImage(ico.data(), len, 32, 48, 48, &size, &w, &h);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(4, image[14]);
    EXPECT_EQ(32, w);
    image = SelectIcoImage(ico.data(), len, 32, 16, 16, &size, &w, &h);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(16, w);
    EXPECT_EQ(16, h);
    EXPECT_EQ(ico.data() + ico.size() - size, image);  // the last image

    Bytes none = MakeIco({});
    EXPECT_EQ(nullptr, SelectIcoImage(none.data(), static_cast<DWORD>(none.size()), 32, 32, 32,
                                      nullptr, nullptr, nullptr));
}

TEST(SelectIcoImage, ZeroInTheDirectoryMeans256AndBadEntriesArePassedOver)
{
    Bytes ico = MakeIco({MakeIconImage(Pixels(16, 16), 32), MakeIconImage(Pixels(16, 16), 32)});
    ico[6 + 16] = 0;  // second entry: 256 x 256
    ico[6 + 16 + 1] = 0;
    int w = 0, h = 0;
    DWORD size;
    const BYTE* image =
        SelectIcoImage(ico.data(), static_cast<DWORD>(ico.size()), 32, 256, 256, &size, &w, &h);
    EXPECT_EQ(256, w);
    EXPECT_EQ(256, h);
    EXPECT_EQ(ico.data() + 6 + 32 + (ico.size() - 38) / 2, image);

    // An entry whose image lies past the end is never chosen.
    Bytes bad = ico;
    Put32(bad, 6 + 12, 0xFFFFFF00u);
    image = SelectIcoImage(bad.data(), static_cast<DWORD>(bad.size()), 32, 16, 16, &size, &w, &h);
    EXPECT_EQ(256, w);
    Put32(bad, 6 + 16 + 8, 0x7FFFFFFFu);
    EXPECT_EQ(nullptr, SelectIcoImage(bad.data(), static_cast<DWORD>(bad.size()), 32, 16, 16,
                                      &size, &w, &h));
}

TEST(IcoToBitmap, AlphaAndMaskOverTheCheckerboardFromTheTop)
{
    Pixels px(16, 16, RGB(200, 0, 0), 255);
    px.FillRect(8, 0, 16, 16, RGB(0, 0, 0), 0);  // right half transparent
    px.FillRect(0, 12, 8, 16, RGB(0, 0, 200), 102);  // 40 % opaque blue at the bottom left
    Bytes ico = MakeIco({MakeIconImage(px, 32)});
    std::vector<uint32_t> out = DecodePixels(ico, 16, 16);
    ASSERT_EQ(256u, out.size());
    EXPECT_EQ(Rgb(RGB(200, 0, 0)), out[2 * 16 + 2]);
    EXPECT_EQ(Grey(224), out[0 * 16 + 12]);
    EXPECT_EQ(Grey(192), out[5 * 16 + 12]);
    // (0 x 153 + 224 x 153 ... ) : blue 200 x 0.4 + 224 x 0.6 per channel at (1, 13): cell (0, 3)
    EXPECT_TRUE(Near(out[13 * 16 + 1], Rgb(RGB(134, 134, 214)), 2)) << std::hex << out[13 * 16 + 1];

    // The 4-bit image of the same picture shows through its AND mask.
    Pixels flat(16, 16, RGB(0, 120, 0), 255);
    flat.FillRect(0, 0, 4, 4, RGB(0, 0, 0), 0);
    flat.Set(0, 0, RGB(0, 120, 0), 255);  // the table colour comes from the first pixel
    out = DecodePixels(MakeIco({MakeIconImage(flat, 4)}), 16, 16);
    ASSERT_EQ(256u, out.size());
    EXPECT_EQ(Rgb(RGB(0, 120, 0)), out[0]);
    EXPECT_EQ(Grey(192), out[1 * 16 + 1]);
    EXPECT_EQ(Rgb(RGB(0, 120, 0)), out[8 * 16 + 8]);
}

TEST(IcoToBitmap, StretchedToTheWantedSizeAndTypedIcons)
{
    Pixels px(16, 16, RGB(0, 0, 255));
    Bytes ico = MakeIco({MakeIconImage(px, 32)});
    int w = 0, h = 0;
    std::vector<uint32_t> out = DecodePixels(Tagged(2, ico), 32, 48, &w, &h);
    EXPECT_EQ(32, w);
    EXPECT_EQ(48, h);
    ASSERT_EQ(32u * 48u, out.size());
    EXPECT_EQ(Rgb(RGB(0, 0, 255)), out[20 * 32 + 20]);
}

TEST(IcoToBitmap, PngInsideTheIcon)
{
    Pixels px(16, 16, RGB(255, 255, 0));
    px.Set(0, 0, RGB(0, 0, 0), 0);
    Bytes png = imgtest::EncodePng(px);
    Bytes ico = MakeIco({IcoImage{16, 16, 32, png}});
    std::vector<uint32_t> out = DecodePixels(ico, 16, 16);
    ASSERT_EQ(256u, out.size());
    EXPECT_EQ(Grey(192), out[0]);
    EXPECT_EQ(Rgb(RGB(255, 255, 0)), out[5 * 16 + 5]);
}

// ---------------------------------------------------------------------------------------------
// Icons

TEST(CreateImageIcon, EachFormAtTheWantedSizeWithTransparency)
{
    Pixels px(16, 16, RGB(255, 0, 255));  // bottom-left pixel's colour is the transparent one
    px.FillRect(4, 4, 12, 12, RGB(0, 128, 255));
    Pixels alpha(16, 16, RGB(0, 0, 0), 0);
    alpha.FillRect(4, 4, 12, 12, RGB(0, 128, 255), 255);
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {{"bmp", MakeBmp(px)},
                 {"typed dib", MakeTypedDib(px)},
                 {"png", imgtest::EncodePng(alpha)},
                 {"typed png", Tagged(4, imgtest::EncodePng(alpha))},
                 {"ico", MakeIco({MakeIconImage(alpha, 32)})},
                 {"ico holding a png", MakeIco({IcoImage{16, 16, 32, imgtest::EncodePng(alpha)}})},
                 {"typed ico", Tagged(2, MakeIco({MakeIconImage(alpha, 32)}))}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HICON icon = CreateImageIcon(c.bytes.data(), static_cast<DWORD>(c.bytes.size()), 32, 32, 32);
        ASSERT_NE(nullptr, icon);
        int w = 0, h = 0;
        ASSERT_TRUE(IconSize(icon, &w, &h));
        EXPECT_EQ(32, w);
        EXPECT_EQ(32, h);
        std::vector<uint32_t> drawn = DrawIcon(icon, 32, 32, RGB(7, 77, 177));
        EXPECT_EQ(Rgb(RGB(7, 77, 177)), drawn[1 * 32 + 1]);
        EXPECT_EQ(Rgb(RGB(7, 77, 177)), drawn[30 * 32 + 30]);
        EXPECT_TRUE(Near(drawn[16 * 32 + 16], Rgb(RGB(0, 128, 255)), 2)) << std::hex << drawn[16 * 32 + 16];
        DestroyIcon(icon);
    }
}

TEST(CreateImageIcon, LowerScreenDepthsStillMakeIcons)
{
    Pixels px(16, 16, RGB(255, 255, 255));
    px.FillRect(2, 2, 14, 14, RGB(255, 0, 0));
    Bytes bmp = MakeBmp(px);
    for (int bpp : {24, 16, 8, 4}) {
        SCOPED_TRACE(bpp);
        HICON icon = CreateImageIcon(bmp.data(), static_cast<DWORD>(bmp.size()), 16, 16, bpp);
        ASSERT_NE(nullptr, icon);
        std::vector<uint32_t> drawn = DrawIcon(icon, 16, 16, RGB(0, 0, 255));
        EXPECT_EQ(Rgb(RGB(0, 0, 255)), drawn[0]);
        EXPECT_EQ(Rgb(RGB(255, 0, 0)), drawn[8 * 16 + 8]) << std::hex << drawn[8 * 16 + 8];
        DestroyIcon(icon);
    }
}

TEST(CreateImageIcon, JpegAndUnknownGiveNone)
{
    Bytes jpeg = imgtest::EncodeJpeg(Bands());
    EXPECT_EQ(nullptr, CreateImageIcon(jpeg.data(), static_cast<DWORD>(jpeg.size()), 32, 32, 32));
    Bytes typed = Tagged(3, jpeg);
    EXPECT_EQ(nullptr, CreateImageIcon(typed.data(), static_cast<DWORD>(typed.size()), 32, 32, 32));
    Bytes text = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(nullptr, CreateImageIcon(text.data(), static_cast<DWORD>(text.size()), 32, 32, 32));
}

TEST(CreateImageIcon, IcoImageChosenByScreenDepth)
{
    Pixels four(16, 16, RGB(0, 200, 0));
    Pixels full(16, 16, RGB(200, 0, 0));
    Bytes ico = MakeIco({MakeIconImage(four, 4), MakeIconImage(full, 32)});
    HICON icon = CreateImageIcon(ico.data(), static_cast<DWORD>(ico.size()), 16, 16, 32);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(Rgb(RGB(200, 0, 0)), DrawIcon(icon, 16, 16, RGB(0, 0, 0))[8 * 16 + 8]);
    DestroyIcon(icon);
    icon = CreateImageIcon(ico.data(), static_cast<DWORD>(ico.size()), 16, 16, 8);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(Rgb(RGB(0, 200, 0)), DrawIcon(icon, 16, 16, RGB(0, 0, 0))[8 * 16 + 8]);
    DestroyIcon(icon);
}

// ---------------------------------------------------------------------------------------------
// Blobs in VARIANTs

TEST(Blob, BitmapToBlobRoundTrip)
{
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 37, 23);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, bitmap);
    RECT all = {0, 0, 37, 23}, corner = {0, 0, 5, 5};
    HBRUSH green = CreateSolidBrush(RGB(0, 160, 0)), red = CreateSolidBrush(RGB(220, 0, 0));
    FillRect(mem, &all, green);
    FillRect(mem, &corner, red);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(green);
    DeleteObject(red);
    ReleaseDC(nullptr, screen);

    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = 5;
    BitmapToBlob(bitmap, &v);
    ASSERT_EQ(VT_ARRAY | VT_UI1, v.vt);
    Bytes b = BytesOf(v);
    ASSERT_GT(b.size(), 54u);
    EXPECT_EQ('B', b[0]);
    EXPECT_EQ('M', b[1]);
    DWORD fileSize, offset;
    memcpy(&fileSize, &b[2], 4);
    memcpy(&offset, &b[10], 4);
    EXPECT_EQ(b.size(), fileSize);
    EXPECT_EQ(14u + 40u, offset);
    EXPECT_EQ(IMAGE_TYPE_BITMAP, Type(b));

    int w = 0, h = 0;
    GetBlobImageSize(&v, &w, &h);
    EXPECT_EQ(37, w);
    EXPECT_EQ(23, h);

    int bw = 37, bh = 23;
    COLORREF corner0 = 0;
    HBITMAP back = BlobToBitmap(&v, &bw, &bh, &corner0, FALSE, FALSE, IMAGE_ALIGN_CENTRE);
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(RGB(220, 0, 0), corner0);
    EXPECT_EQ(imgtest::ReadBitmap(bitmap), imgtest::ReadBitmap(back));
    DeleteObject(back);
    DeleteObject(bitmap);
    VariantClear(&v);

    // A handle that is no bitmap leaves VT_NULL.
    VariantInit(&v);
    BitmapToBlob(nullptr, &v);
    EXPECT_EQ(VT_NULL, v.vt);
}

TEST(Blob, BitmapInfoForBitmapDepths)
{
    HBITMAP mono = CreateBitmap(33, 10, 1, 1, nullptr);
    BITMAPINFO* info = nullptr;
    EXPECT_EQ(48u, BitmapInfoForBitmap(mono, &info));
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(40u, info->bmiHeader.biSize);
    EXPECT_EQ(33, info->bmiHeader.biWidth);
    EXPECT_EQ(10, info->bmiHeader.biHeight);
    EXPECT_EQ(1, info->bmiHeader.biBitCount);
    EXPECT_EQ(2u, info->bmiHeader.biClrUsed);
    EXPECT_EQ(10u * 8u, info->bmiHeader.biSizeImage);
    free(info);
    DeleteObject(mono);

    HBITMAP eight = CreateBitmap(3, 2, 1, 8, nullptr);
    EXPECT_EQ(1064u, BitmapInfoForBitmap(eight, &info));
    EXPECT_EQ(256u, info->bmiHeader.biClrUsed);
    EXPECT_EQ(2u * 4u, info->bmiHeader.biSizeImage);
    free(info);
    DeleteObject(eight);

    HBITMAP full = CreateBitmap(3, 2, 1, 32, nullptr);
    EXPECT_EQ(40u, BitmapInfoForBitmap(full, &info));
    EXPECT_EQ(0u, info->bmiHeader.biClrUsed);
    EXPECT_EQ(2u * 12u, info->bmiHeader.biSizeImage);
    free(info);
    DeleteObject(full);

    EXPECT_EQ(0u, BitmapInfoForBitmap(nullptr, &info));
    EXPECT_EQ(nullptr, info);
}

TEST(Blob, FileToBlobAndBack)
{
    std::wstring folder = wintest::MakeTempFolder(L"blobfiles");
    std::wstring path = folder + L"\\image.bin";
    Bytes content = imgtest::EncodePng(Bands());
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, f);
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);

    VARIANT v;
    VariantInit(&v);
    f = _wfopen(path.c_str(), L"rb");
    fseek(f, 10, SEEK_SET);  // read from the start whatever the position
    FileToBlob(f, &v);
    fclose(f);
    ASSERT_EQ(VT_ARRAY | VT_UI1, v.vt);
    EXPECT_EQ(content, BytesOf(v));

    std::wstring copy = folder + L"\\copy.bin";
    f = _wfopen(copy.c_str(), L"wb");
    BlobToFile(&v, f);
    fclose(f);
    VARIANT back;
    VariantInit(&back);
    f = _wfopen(copy.c_str(), L"rb");
    FileToBlob(f, &back);
    fclose(f);
    EXPECT_EQ(content, BytesOf(back));
    VariantClear(&back);

    // An empty file leaves the VARIANT empty (and clears what it held).
    std::wstring empty = folder + L"\\empty.bin";
    f = _wfopen(empty.c_str(), L"wb");
    fclose(f);
    f = _wfopen(empty.c_str(), L"rb");
    FileToBlob(f, &v);
    fclose(f);
    EXPECT_EQ(VT_EMPTY, v.vt);

    // Other VARIANTs write nothing.
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 42;
    f = _wfopen(copy.c_str(), L"wb");
    BlobToFile(&number, f);
    fclose(f);
    f = _wfopen(copy.c_str(), L"rb");
    fseek(f, 0, SEEK_END);
    EXPECT_EQ(0, ftell(f));
    fclose(f);
}

TEST(Blob, OnlyOneDimensionalByteArraysAreImages)
{
    Bytes bmp = MakeBmp(Bands());
    VARIANT v = BlobOf(bmp);
    int w = 0, h = 0;
    GetBlobImageSize(&v, &w, &h);
    EXPECT_EQ(16, w);
    HICON icon = BlobToIcon(&v, 16, 16);
    EXPECT_NE(nullptr, icon);
    DestroyIcon(icon);
    VariantClear(&v);

    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(bmp.size()), 0}, {1, 0}};
    VARIANT two;
    VariantInit(&two);
    two.vt = VT_ARRAY | VT_UI1;
    two.parray = SafeArrayCreate(VT_UI1, 2, bounds);
    w = h = 5;
    GetBlobImageSize(&two, &w, &h);
    EXPECT_EQ(0, w);
    EXPECT_EQ(0, h);
    int bw = 16, bh = 8;
    EXPECT_EQ(nullptr, BlobToBitmap(&two, &bw, &bh, nullptr, FALSE, FALSE, 0));
    EXPECT_EQ(nullptr, BlobToIcon(&two, 16, 16));
    VariantClear(&two);

    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"BM");
    EXPECT_EQ(nullptr, BlobToBitmap(&text, &bw, &bh, nullptr, FALSE, FALSE, 0));
    VariantClear(&text);
}

TEST(Blob, WriteBmpFileFromATypedDib)
{
    // An 8-bit DIB with a four-colour table behind the typed form's header.
    Bytes typed = {1, 0, 0};
    Bytes header(40, 0);
    Put32(header, 0, 40);
    Put32(header, 4, 4);
    Put32(header, 8, 2);
    Put16(header, 12, 1);
    Put16(header, 14, 8);
    Put32(header, 32, 4);
    typed.insert(typed.end(), header.begin(), header.end());
    const BYTE table[16] = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 9, 9, 9, 0};
    typed.insert(typed.end(), table, table + 16);
    const BYTE bits[8] = {0, 1, 2, 3, 3, 2, 1, 0};
    typed.insert(typed.end(), bits, bits + 8);
    Put16(typed, 1, 2 + 40 + 16);

    const BITMAPINFO* info = nullptr;
    const BYTE* dibBits = nullptr;
    ASSERT_TRUE(GetTypedDib(typed.data(), static_cast<DWORD>(typed.size()), &info, &dibBits));
    std::wstring path = wintest::MakeTempFolder(L"writebmp") + L"\\out.bmp";
    WriteBmpFile(path.c_str(), info, dibBits);

    FILE* f = _wfopen(path.c_str(), L"rb");
    ASSERT_NE(nullptr, f);
    VARIANT v;
    VariantInit(&v);
    FileToBlob(f, &v);
    fclose(f);
    Bytes b = BytesOf(v);
    VariantClear(&v);
    ASSERT_EQ(14u + 40u + 16u + 8u, b.size());
    DWORD offset;
    memcpy(&offset, &b[10], 4);
    EXPECT_EQ(14u + 40u + 4u * 4u, offset);
    EXPECT_EQ(IMAGE_TYPE_BITMAP, Type(b));
    std::vector<uint32_t> out = DecodePixels(b, 4, 2);
    ASSERT_EQ(8u, out.size());
    // Bottom-up: the second row of bits is the top row.
    EXPECT_EQ(Grey(9), out[0]);
    EXPECT_EQ(Rgb(RGB(0, 0, 255)), out[1]);
    EXPECT_EQ(Rgb(RGB(0, 255, 0)), out[2]);
    EXPECT_EQ(Rgb(RGB(255, 0, 0)), out[3]);
    EXPECT_EQ(Rgb(RGB(255, 0, 0)), out[4]);
    EXPECT_EQ(Rgb(RGB(0, 255, 0)), out[5]);

    // A bits offset past the end is refused.
    Put16(typed, 1, 0x7FFF);
    EXPECT_FALSE(GetTypedDib(typed.data(), static_cast<DWORD>(typed.size()), &info, &dibBits));
}

// ---------------------------------------------------------------------------------------------
// Damaged data: every prefix of every form, and lying offsets, with a trap right after the end

TEST(DamagedBlobs, EveryTruncationGivesNoImageAndReadsNothingPastTheEnd)
{
    Pixels px(12, 10, RGB(0, 90, 180), 255);
    px.FillRect(0, 0, 3, 3, RGB(0, 0, 0), 0);
    // One 4-bit image: its colour rows and its mask are both needed.
    Bytes ico = MakeIco({MakeIconImage(px, 4)});
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {{"bmp", MakeBmp(px)},
                 {"typed dib", MakeTypedDib(px)},
                 {"ico", ico},
                 {"typed ico", Tagged(2, ico)},
                 {"png", imgtest::EncodePng(px)},
                 {"typed png", Tagged(4, imgtest::EncodePng(px))},
                 {"jpeg", imgtest::EncodeJpeg(px)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            Guarded whole(c.bytes);
            int bw = 12, bh = 10;
            HBITMAP b = CreateImageBitmap(nullptr, whole.data(), whole.size(), &bw, &bh, FALSE,
                                          FALSE, 0);
            EXPECT_NE(nullptr, b);
            DeleteObject(b);
        }
        for (size_t len = 0; len < c.bytes.size(); ++len) {
            Guarded part(Bytes(c.bytes.begin(), c.bytes.begin() + len));
            int bw = 12, bh = 10;
            HBITMAP b = CreateImageBitmap(nullptr, part.data(), part.size(), &bw, &bh, FALSE,
                                          FALSE, 0);
            if (b)
                ADD_FAILURE() << "bitmap from " << len << " of " << c.bytes.size() << " bytes";
            if (b)
                DeleteObject(b);
            HICON icon = CreateImageIcon(part.data(), part.size(), 16, 16, 32);
            if (icon)
                ADD_FAILURE() << "icon from " << len << " of " << c.bytes.size() << " bytes";
            if (icon)
                DestroyIcon(icon);
            int w = -1, h = -1;
            GetImageSize(part.data(), part.size(), &w, &h);
        }
    }
}

TEST(DamagedBlobs, LyingOffsetsAndSizesGiveNoImage)
{
    auto nothing = [](const Bytes& b) {
        Guarded g(b);
        int bw = 12, bh = 10;
        HBITMAP bitmap = CreateImageBitmap(nullptr, g.data(), g.size(), &bw, &bh, FALSE, FALSE, 0);
        HICON icon = CreateImageIcon(g.data(), g.size(), 16, 16, 32);
        bool none = !bitmap && !icon;
        if (bitmap)
            DeleteObject(bitmap);
        if (icon)
            DestroyIcon(icon);
        return none;
    };
    Pixels px(12, 10, RGB(0, 90, 180));
    Bytes bmp = MakeBmp(px);
    Bytes b = bmp;
    Put32(b, 10, static_cast<unsigned>(b.size()));  // bits offset at the end
    EXPECT_TRUE(nothing(b));
    b = bmp;
    Put32(b, 10, 0xFFFFFFF0u);
    EXPECT_TRUE(nothing(b));
    b = bmp;
    Put32(b, 10, 20);  // bits inside the header
    EXPECT_TRUE(nothing(b));
    b = bmp;
    Put32(b, 18, 100000);  // far wider than the bits
    EXPECT_TRUE(nothing(b));
    b = bmp;
    Put32(b, 22, 0x80000000u);  // the most negative height
    EXPECT_TRUE(nothing(b));
    b = bmp;
    Put32(b, 14 + 32, 0x10000000u);  // colour count beyond the table
    EXPECT_TRUE(nothing(b));
    b = bmp;
    Put32(b, 14 + 16, 7);  // an unknown compression
    EXPECT_TRUE(nothing(b));

    Bytes typed = MakeTypedDib(px);
    b = typed;
    Put16(b, 1, 0xFFFF);
    EXPECT_TRUE(nothing(b));
    b = typed;
    Put16(b, 1, 4);  // bits over the header
    EXPECT_TRUE(nothing(b));

    Bytes ico = MakeIco({MakeIconImage(px, 32)});
    b = ico;
    Put16(b, 4, 4000);  // more entries than bytes
    EXPECT_TRUE(nothing(b));
    b = ico;
    Put32(b, 6 + 8, static_cast<unsigned>(ico.size()));  // image size past the end
    EXPECT_TRUE(nothing(b));
    b = ico;
    Put32(b, 22 + 8, 0x7FFFFFFFu);  // doubled height in the image header
    EXPECT_TRUE(nothing(b));
    b = ico;
    Put16(b, 22 + 14, 13);  // a bit count that no image has
    EXPECT_TRUE(nothing(b));

    // The directory agrees with a file cut inside the image: its header promises rows that are
    // not there.
    for (int bitCount : {4, 32}) {
        Bytes one = MakeIco({MakeIconImage(px, bitCount)});
        size_t imageSize = one.size() - 22;
        // 32 bits: cut inside the colour rows (a missing mask alone still shows the image).
        size_t cut = bitCount == 4 ? 10 : 40 * 1 + imageSize / 2;
        b.assign(one.begin(), one.end() - cut);
        Put32(b, 6 + 8, static_cast<unsigned>(imageSize - cut));
        EXPECT_TRUE(nothing(b)) << bitCount;
    }
}

// ---------------------------------------------------------------------------------------------
// On screen: bitmaps made from blobs shown by picture statics, as the information page and the
// icon pages show them.

TEST(StoredImageOnScreen, StaticsShowDecodedBlobs)
{
    HWND frame = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 50, 50, 260, 100,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, frame);
    Pixels png(48, 48, RGB(0, 0, 0), 0);
    png.FillRect(8, 8, 40, 40, RGB(220, 40, 40));
    Pixels icon(32, 32, RGB(0, 0, 0), 0);
    icon.FillRect(4, 4, 28, 28, RGB(40, 40, 220));
    Pixels photo(64, 32, RGB(40, 180, 40));
    VARIANT blobs[3] = {BlobOf(imgtest::EncodePng(png)), BlobOf(MakeIco({MakeIconImage(icon, 32)})),
                        BlobOf(imgtest::EncodeJpeg(photo))};
    HWND statics[3];
    HBITMAP bitmaps[3];
    for (int i = 0; i < 3; ++i) {
        statics[i] = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_BITMAP,
                                     10 + i * 80, 10, 64, 64, frame, nullptr, nullptr, nullptr);
        int bw = 64, bh = 64;
        HBITMAP b = BlobToBitmap(&blobs[i], &bw, &bh, nullptr, FALSE, i == 2, IMAGE_ALIGN_CENTRE);
        ASSERT_NE(nullptr, b) << i;
        HBITMAP previous = reinterpret_cast<HBITMAP>(
            SendMessageW(statics[i], STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(b)));
        EXPECT_EQ(nullptr, previous);
        // Common controls 6 keep their own copy of a bitmap with an alpha channel, so the static
        // may hold another handle than the one it was given.
        EXPECT_NE(0, SendMessageW(statics[i], STM_GETIMAGE, IMAGE_BITMAP, 0));
        bitmaps[i] = b;
    }
    UpdateWindow(frame);
    wintest::PumpMessages(200);
    wintest::SaveScreenshot(frame, L"storedimage_statics");

    // What the screen shows: the PNG's red square inside its checkerboard, the icon's blue square,
    // and the JPEG fitted to 64 x 32.
    HDC dc = GetDC(statics[0]);
    EXPECT_EQ(RGB(220, 40, 40), GetPixel(dc, 32, 32));
    EXPECT_EQ(RGB(192, 192, 192), GetPixel(dc, 1, 1));
    EXPECT_EQ(RGB(224, 224, 224), GetPixel(dc, 5, 1));
    ReleaseDC(statics[0], dc);
    dc = GetDC(statics[1]);
    EXPECT_EQ(RGB(40, 40, 220), GetPixel(dc, 32, 32));
    EXPECT_EQ(RGB(192, 192, 192), GetPixel(dc, 1, 1));
    ReleaseDC(statics[1], dc);
    dc = GetDC(statics[2]);
    COLORREF green = GetPixel(dc, 30, 15);
    EXPECT_TRUE(Near(Rgb(green), Rgb(RGB(40, 180, 40)), 16)) << std::hex << green;
    ReleaseDC(statics[2], dc);

    for (int i = 0; i < 3; ++i) {
        HBITMAP b = reinterpret_cast<HBITMAP>(SendMessageW(statics[i], STM_SETIMAGE, IMAGE_BITMAP, 0));
        if (b != bitmaps[i])
            DeleteObject(b);
        DeleteObject(bitmaps[i]);
        VariantClear(&blobs[i]);
    }
    DestroyWindow(frame);
}
