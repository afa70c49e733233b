// The JPEG and PNG functions: recognition, decoding of images made here with WIC, scaling,
// drawing at the DC's origin, transparency over the caller's background, damaged data.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "imagecodec/kavjpeg.h"
#include "imagecodec/kavpng.h"
#include "tools/testkit/wic_encode.h"

using imgtest::Grey;
using imgtest::Near;
using imgtest::Pixels;
using imgtest::Rgb;

namespace {

// A 32-bit top-down DIB section selected into a memory DC, pre-filled with one colour, so that
// what a render call draws can be read back exactly.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(1, 2, 3)) : width_(width), height_(height)
    {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = width;
        bmi.bmiHeader.biHeight = -height;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < width * height; ++i)
            bits_[i] = Rgb(fill);
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    uint32_t At(int x, int y) const
    {
        GdiFlush();
        return bits_[y * width_ + x] & 0x00FFFFFF;
    }

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

// Four 16 x 16 blocks: red, green / blue, white. Block edges on JPEG's 16-pixel colour grid keep
// the colours nearly exact.
Pixels Quadrants()
{
    Pixels px(32, 32);
    px.FillRect(0, 0, 16, 16, RGB(255, 0, 0));
    px.FillRect(16, 0, 32, 16, RGB(0, 255, 0));
    px.FillRect(0, 16, 16, 32, RGB(0, 0, 255));
    px.FillRect(16, 16, 32, 32, RGB(255, 255, 255));
    return px;
}

std::map<std::pair<int, int>, int> g_backgroundCalls;

COLORREF RecordingBackground(int x, int y)
{
    ++g_backgroundCalls[{x, y}];
    return RGB(10, 20, 30);
}

COLORREF CheckerBackground(int x, int y)
{
    int grey = (((x / 4) & 1) != ((y / 4) & 1)) ? 224 : 192;
    return RGB(grey, grey, grey);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Recognition

TEST(ImageRecognition, JpegTypeOnlyForJpegData)
{
    std::vector<BYTE> jpeg = imgtest::EncodeJpeg(Quadrants());
    std::vector<BYTE> png = imgtest::EncodePng(Quadrants());
    ASSERT_FALSE(jpeg.empty());
    ASSERT_FALSE(png.empty());
    EXPECT_GT(JasImageGetType(jpeg.data(), static_cast<long>(jpeg.size())), 0);
    EXPECT_EQ(0, JasImageGetType(png.data(), static_cast<long>(png.size())));
    const BYTE soi[] = {0xFF, 0xD8, 0xFF};
    EXPECT_GT(JasImageGetType(soi, 3), 0);
    EXPECT_EQ(0, JasImageGetType(soi, 2));
    EXPECT_EQ(0, JasImageGetType(nullptr, 100));
    const BYTE bm[] = {'B', 'M', 0, 0, 0, 0};
    EXPECT_EQ(0, JasImageGetType(bm, sizeof(bm)));
}

TEST(ImageRecognition, PngSignatureNeedsAllEightBytes)
{
    std::vector<BYTE> png = imgtest::EncodePng(Quadrants());
    std::vector<BYTE> jpeg = imgtest::EncodeJpeg(Quadrants());
    EXPECT_NE(0, IsPNGFile(png.data(), static_cast<long>(png.size())));
    EXPECT_NE(0, IsPNGFile(png.data(), 8));
    EXPECT_EQ(0, IsPNGFile(png.data(), 7));
    EXPECT_EQ(0, IsPNGFile(jpeg.data(), static_cast<long>(jpeg.size())));
    EXPECT_EQ(0, IsPNGFile(nullptr, 8));
    std::vector<BYTE> altered = png;
    altered[4] = 0x0A;  // CR turned into LF, as a text-mode transfer would
    EXPECT_EQ(0, IsPNGFile(altered.data(), static_cast<long>(altered.size())));
}

// ---------------------------------------------------------------------------------------------
// JPEG

TEST(JpegImage, DimensionsAndPixelsAtNaturalSize)
{
    Pixels px = Quadrants();
    Pixels wide(40, 16, RGB(200, 100, 50));
    std::vector<BYTE> jpeg = imgtest::EncodeJpeg(wide);
    HJASIMAGE image = JasCreateImage(jpeg.data(), static_cast<long>(jpeg.size()));
    ASSERT_NE(nullptr, image);
    int w = -1, h = -1;
    EXPECT_NE(0, JasImageGetDimen(image, &w, &h));
    EXPECT_EQ(40, w);
    EXPECT_EQ(16, h);
    JasDestroyImage(image);

    jpeg = imgtest::EncodeJpeg(px);
    image = JasCreateImage(jpeg.data(), static_cast<long>(jpeg.size()));
    ASSERT_NE(nullptr, image);
    Canvas canvas(32, 32);
    EXPECT_NE(0, JasImageRender(image, 32, 32, canvas.dc(), 32, 32));
    EXPECT_TRUE(Near(canvas.At(6, 6), Rgb(RGB(255, 0, 0)), 24)) << std::hex << canvas.At(6, 6);
    EXPECT_TRUE(Near(canvas.At(25, 6), Rgb(RGB(0, 255, 0)), 24)) << std::hex << canvas.At(25, 6);
    EXPECT_TRUE(Near(canvas.At(6, 25), Rgb(RGB(0, 0, 255)), 24)) << std::hex << canvas.At(6, 25);
    EXPECT_TRUE(Near(canvas.At(25, 25), Rgb(RGB(255, 255, 255)), 24));
    JasDestroyImage(image);
}

TEST(JpegImage, RenderScalesToTargetAtViewportOrigin)
{
    std::vector<BYTE> jpeg = imgtest::EncodeJpeg(Quadrants());
    HJASIMAGE image = JasCreateImage(jpeg.data(), static_cast<long>(jpeg.size()));
    ASSERT_NE(nullptr, image);
    Canvas canvas(60, 60, RGB(1, 2, 3));
    POINT old;
    SetViewportOrgEx(canvas.dc(), 10, 20, &old);
    EXPECT_NE(0, JasImageRender(image, 32, 32, canvas.dc(), 40, 16));
    SetViewportOrgEx(canvas.dc(), old.x, old.y, nullptr);
    // Outside the 40 x 16 target at (10, 20) nothing changes.
    EXPECT_EQ(Rgb(RGB(1, 2, 3)), canvas.At(9, 25));
    EXPECT_EQ(Rgb(RGB(1, 2, 3)), canvas.At(20, 19));
    EXPECT_EQ(Rgb(RGB(1, 2, 3)), canvas.At(50, 25));
    EXPECT_EQ(Rgb(RGB(1, 2, 3)), canvas.At(20, 36));
    // Each quadrant is now 20 x 8.
    EXPECT_TRUE(Near(canvas.At(10 + 5, 20 + 3), Rgb(RGB(255, 0, 0)), 24));
    EXPECT_TRUE(Near(canvas.At(10 + 34, 20 + 3), Rgb(RGB(0, 255, 0)), 24));
    EXPECT_TRUE(Near(canvas.At(10 + 5, 20 + 12), Rgb(RGB(0, 0, 255)), 24));
    EXPECT_TRUE(Near(canvas.At(10 + 34, 20 + 12), Rgb(RGB(255, 255, 255)), 24));
    EXPECT_TRUE(Near(canvas.At(10, 20), Rgb(RGB(255, 0, 0)), 24));
    EXPECT_TRUE(Near(canvas.At(49, 35), Rgb(RGB(255, 255, 255)), 24));
    JasDestroyImage(image);
}

TEST(JpegImage, DamagedOrForeignDataGivesNoHandle)
{
    std::vector<BYTE> jpeg = imgtest::EncodeJpeg(Quadrants());
    std::vector<BYTE> png = imgtest::EncodePng(Quadrants());
    EXPECT_EQ(nullptr, JasCreateImage(png.data(), static_cast<long>(png.size())));
    EXPECT_EQ(nullptr, JasCreateImage(jpeg.data(), 3));
    EXPECT_EQ(nullptr, JasCreateImage(jpeg.data(), 40));
    EXPECT_EQ(nullptr, JasCreateImage(nullptr, 0));
    std::vector<BYTE> garbage(500);
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<BYTE>(i * 37 + 11);
    garbage[0] = 0xFF;
    garbage[1] = 0xD8;
    garbage[2] = 0xFF;
    EXPECT_EQ(nullptr, JasCreateImage(garbage.data(), static_cast<long>(garbage.size())));

    // Cut anywhere, even just before its end marker, a JPEG is no image.
    for (size_t cut : {jpeg.size() / 3, jpeg.size() / 2, jpeg.size() - 10, jpeg.size() - 2,
                       jpeg.size() - 1})
        EXPECT_EQ(nullptr, JasCreateImage(jpeg.data(), static_cast<long>(cut))) << "cut at " << cut;
    // Bytes after the end marker do no harm.
    std::vector<BYTE> padded = jpeg;
    padded.insert(padded.end(), 100, 0);
    HJASIMAGE whole = JasCreateImage(padded.data(), static_cast<long>(padded.size()));
    EXPECT_NE(nullptr, whole);
    JasDestroyImage(whole);

    int w = 7, h = 8;
    EXPECT_EQ(0, JasImageGetDimen(nullptr, &w, &h));
    EXPECT_EQ(7, w);
    EXPECT_EQ(8, h);
    Canvas canvas(4, 4);
    EXPECT_EQ(0, JasImageRender(nullptr, 4, 4, canvas.dc(), 4, 4));
    JasDestroyImage(nullptr);
}

// ---------------------------------------------------------------------------------------------
// PNG

TEST(PngImage, HandleForAnyBytesButOnlyPngIsPng)
{
    std::vector<BYTE> png = imgtest::EncodePng(Pixels(30, 12, RGB(9, 9, 9)));
    HPNGIMAGE image = PNGImageCreate(png.data(), static_cast<long>(png.size()));
    ASSERT_NE(nullptr, image);
    EXPECT_NE(0, PNGImageIsPNG(image));
    int w = 0, h = 0;
    EXPECT_NE(0, PNGImageGetDimen(image, &w, &h));
    EXPECT_EQ(30, w);
    EXPECT_EQ(12, h);
    PNGImageDestroy(image);

    const BYTE text[] = "not an image at all";
    image = PNGImageCreate(text, sizeof(text));
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(0, PNGImageIsPNG(image));
    w = 5;
    h = 6;
    EXPECT_EQ(0, PNGImageGetDimen(image, &w, &h));
    EXPECT_EQ(5, w);
    EXPECT_EQ(6, h);
    PNGImageDestroy(image);

    image = PNGImageCreate(nullptr, 0);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(0, PNGImageIsPNG(image));
    PNGImageDestroy(image);
    EXPECT_EQ(0, PNGImageIsPNG(nullptr));
}

TEST(PngImage, TruncatedOrCorruptedPngIsNoPng)
{
    Pixels px(24, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            px.Set(x, y, RGB(x * 10, y * 10, (x * y) & 0xFF));
    std::vector<BYTE> png = imgtest::EncodePng(px);
    ASSERT_GT(png.size(), 60u);
    for (size_t cut : {size_t(8), size_t(20), size_t(33), png.size() / 2, png.size() - 20,
                       png.size() - 12, png.size() - 1}) {
        HPNGIMAGE image = PNGImageCreate(png.data(), static_cast<long>(cut));
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(0, PNGImageIsPNG(image)) << "cut at " << cut;
        Canvas canvas(24, 24);
        EXPECT_EQ(0, PNGImageRender(image, 24, 24, canvas.dc(), 24, 24, nullptr));
        PNGImageDestroy(image);
    }
    // A signature followed by noise.
    std::vector<BYTE> noise(png.begin(), png.begin() + 8);
    for (int i = 0; i < 300; ++i)
        noise.push_back(static_cast<BYTE>(i * 53 + 7));
    HPNGIMAGE image = PNGImageCreate(noise.data(), static_cast<long>(noise.size()));
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(0, PNGImageIsPNG(image));
    PNGImageDestroy(image);
}

TEST(PngImage, TransparentPixelsTakeTheCallbacksColour)
{
    Pixels px(8, 8, RGB(255, 0, 0), 255);
    px.FillRect(4, 0, 8, 8, RGB(0, 255, 0), 0);     // right half fully transparent
    px.FillRect(0, 6, 4, 8, RGB(0, 0, 255), 128);   // bottom-left half transparent blue
    std::vector<BYTE> png = imgtest::EncodePng(px);
    HPNGIMAGE image = PNGImageCreate(png.data(), static_cast<long>(png.size()));
    ASSERT_NE(0, PNGImageIsPNG(image));

    g_backgroundCalls.clear();
    Canvas canvas(20, 20, RGB(1, 2, 3));
    POINT old;
    SetViewportOrgEx(canvas.dc(), 5, 6, &old);
    EXPECT_NE(0, PNGImageRender(image, 8, 8, canvas.dc(), 8, 8, RecordingBackground));
    SetViewportOrgEx(canvas.dc(), old.x, old.y, nullptr);

    EXPECT_EQ(Rgb(RGB(255, 0, 0)), canvas.At(5 + 1, 6 + 1));
    EXPECT_EQ(Rgb(RGB(10, 20, 30)), canvas.At(5 + 6, 6 + 2));
    // Half-transparent blue over (10, 20, 30).
    EXPECT_TRUE(Near(canvas.At(5 + 1, 6 + 7), Rgb(RGB(5, 10, 143)), 2)) << std::hex << canvas.At(6, 13);
    EXPECT_EQ(Rgb(RGB(1, 2, 3)), canvas.At(4, 6));
    EXPECT_EQ(Rgb(RGB(1, 2, 3)), canvas.At(13, 6));

    // Asked exactly for the pixels that are not opaque, in the image's own coordinates.
    EXPECT_EQ(32u + 8u, g_backgroundCalls.size());
    EXPECT_EQ(1, g_backgroundCalls.count({4, 0}));
    EXPECT_EQ(1, g_backgroundCalls.count({7, 7}));
    EXPECT_EQ(1, g_backgroundCalls.count({0, 6}));
    EXPECT_EQ(0, g_backgroundCalls.count({0, 0}));
    EXPECT_EQ(0, g_backgroundCalls.count({3, 5}));
    PNGImageDestroy(image);
}

TEST(PngImage, ScaledTransparencyOverCheckerboard)
{
    Pixels px(4, 4, RGB(0, 0, 0), 0);  // wholly transparent
    px.Set(0, 0, RGB(255, 255, 0), 255);
    std::vector<BYTE> png = imgtest::EncodePng(px);
    HPNGIMAGE image = PNGImageCreate(png.data(), static_cast<long>(png.size()));
    ASSERT_NE(0, PNGImageIsPNG(image));
    Canvas canvas(16, 16);
    EXPECT_NE(0, PNGImageRender(image, 4, 4, canvas.dc(), 16, 16, CheckerBackground));
    // Far from the opaque corner only the checkerboard shows: 192 where the cell parities agree.
    EXPECT_EQ(Grey(192), canvas.At(13, 13));
    EXPECT_EQ(Grey(224), canvas.At(9, 13));
    EXPECT_EQ(Grey(224), canvas.At(13, 9));
    EXPECT_EQ(Grey(192), canvas.At(9, 9));
    // The opaque corner pixel, enlarged four times, covers the top-left corner.
    EXPECT_EQ(Rgb(RGB(255, 255, 0)), canvas.At(0, 0));
    PNGImageDestroy(image);
}

TEST(PngImage, EveryPixelLayoutDecodesAlike)
{
    Pixels px(8, 4, RGB(30, 60, 90));
    px.Set(0, 0, RGB(200, 100, 50));
    px.Set(7, 3, RGB(0, 255, 0));
    struct Layout {
        const char* name;
        GUID format;
        bool grey;
    } layouts[] = {{"32-bit", GUID_WICPixelFormat32bppBGRA, false},
                   {"24-bit", GUID_WICPixelFormat24bppBGR, false},
                   {"grey", GUID_WICPixelFormat8bppGray, true}};
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        std::vector<BYTE> png = imgtest::Encode(px, GUID_ContainerFormatPng, l.format);
        ASSERT_FALSE(png.empty());
        HPNGIMAGE image = PNGImageCreate(png.data(), static_cast<long>(png.size()));
        ASSERT_NE(0, PNGImageIsPNG(image));
        Canvas canvas(8, 4);
        EXPECT_NE(0, PNGImageRender(image, 8, 4, canvas.dc(), 8, 4, RecordingBackground));
        auto expect = [&](COLORREF c) { return l.grey ? Grey(GetGValue(c)) : Rgb(c); };
        EXPECT_EQ(expect(RGB(200, 100, 50)), canvas.At(0, 0));
        EXPECT_EQ(expect(RGB(30, 60, 90)), canvas.At(3, 2));
        EXPECT_EQ(expect(RGB(0, 255, 0)), canvas.At(7, 3));
        PNGImageDestroy(image);
    }
}

TEST(JpegImage, GreyJpeg)
{
    Pixels px(16, 16, RGB(0, 77, 0));
    std::vector<BYTE> jpeg = imgtest::Encode(px, GUID_ContainerFormatJpeg, GUID_WICPixelFormat8bppGray);
    if (jpeg.empty())
        GTEST_SKIP() << "no grey JPEG encoder here";
    HJASIMAGE image = JasCreateImage(jpeg.data(), static_cast<long>(jpeg.size()));
    ASSERT_NE(nullptr, image);
    Canvas canvas(16, 16);
    EXPECT_NE(0, JasImageRender(image, 16, 16, canvas.dc(), 16, 16));
    EXPECT_TRUE(Near(canvas.At(8, 8), Grey(77), 3)) << std::hex << canvas.At(8, 8);
    JasDestroyImage(image);
}

TEST(PngImage, ShrinkingAveragesAreas)
{
    Pixels px(4, 4);
    px.FillRect(0, 0, 2, 2, RGB(200, 0, 0));
    px.FillRect(2, 0, 4, 2, RGB(0, 200, 0));
    px.FillRect(0, 2, 2, 4, RGB(0, 0, 200));
    px.FillRect(2, 2, 4, 4, RGB(100, 100, 100));
    std::vector<BYTE> png = imgtest::EncodePng(px);
    HPNGIMAGE image = PNGImageCreate(png.data(), static_cast<long>(png.size()));
    ASSERT_NE(0, PNGImageIsPNG(image));
    Canvas small(2, 2);
    EXPECT_NE(0, PNGImageRender(image, 4, 4, small.dc(), 2, 2, nullptr));
    EXPECT_EQ(Rgb(RGB(200, 0, 0)), small.At(0, 0));
    EXPECT_EQ(Rgb(RGB(0, 200, 0)), small.At(1, 0));
    EXPECT_EQ(Rgb(RGB(0, 0, 200)), small.At(0, 1));
    EXPECT_EQ(Rgb(RGB(100, 100, 100)), small.At(1, 1));
    Canvas one(1, 1);
    EXPECT_NE(0, PNGImageRender(image, 4, 4, one.dc(), 1, 1, nullptr));
    EXPECT_TRUE(Near(one.At(0, 0), Rgb(RGB(75, 75, 75)), 1)) << std::hex << one.At(0, 0);
    // A target of no size draws nothing.
    EXPECT_EQ(0, PNGImageRender(image, 4, 4, one.dc(), 0, 1, nullptr));
    PNGImageDestroy(image);
}

TEST(PngImage, BitmapsCarryColourAndMaskWhiteWhereTransparent)
{
    Pixels px(6, 2, RGB(40, 80, 120), 255);
    px.Set(1, 0, RGB(250, 0, 0), 0);
    px.Set(2, 0, RGB(0, 0, 250), 51);  // 80 % transparent
    std::vector<BYTE> png = imgtest::EncodePng(px);
    HPNGIMAGE image = PNGImageCreate(png.data(), static_cast<long>(png.size()));
    ASSERT_NE(0, PNGImageIsPNG(image));
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP colour = CreateCompatibleBitmap(screen, 6, 2);
    HBITMAP mask = CreateCompatibleBitmap(screen, 6, 2);
    EXPECT_NE(0, PNGImageGetBitmaps(image, mem, colour, mask));
    std::vector<uint32_t> c = imgtest::ReadBitmap(colour);
    std::vector<uint32_t> m = imgtest::ReadBitmap(mask);
    ASSERT_EQ(12u, c.size());
    ASSERT_EQ(12u, m.size());
    EXPECT_EQ(Rgb(RGB(40, 80, 120)), c[0]);
    EXPECT_EQ(Grey(0), m[0]);
    EXPECT_EQ(Grey(255), m[1]);
    EXPECT_EQ(Grey(204), m[2]);
    EXPECT_TRUE(Near(c[2], Rgb(RGB(0, 0, 250)), 3)) << std::hex << c[2];
    EXPECT_EQ(Grey(0), m[11]);

    HPNGIMAGE none = PNGImageCreate("xx", 2);
    EXPECT_EQ(0, PNGImageGetBitmaps(none, mem, colour, mask));
    PNGImageDestroy(none);
    DeleteObject(colour);
    DeleteObject(mask);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    PNGImageDestroy(image);
}
