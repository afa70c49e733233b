// Stored-image speed: decoding a photo-sized JPEG and PNG into the information panel's box,
// making tree icons, and storing a bitmap as a blob. Each figure is printed beside the bare WIC
// decode of the same data measured in the same run, so the cost of fitting and drawing shows.
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <cstdio>
#include <vector>

#include "bench/benchutil.h"
#include "core/blob.h"
#include "core/storedimage.h"
#include "imagecodec/kavjpeg.h"
#include "imagecodec/kavpng.h"
#include "tools/testkit/wic_encode.h"

namespace {

// A photo-sized test picture: colour ramps, an XOR pattern and a half-transparent strip at the
// left, so neither codec gets a trivially compressible image.
imgtest::Pixels Picture(int width, int height)
{
    imgtest::Pixels px(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            px.Set(x, y, RGB((x ^ y) & 0xFF, y * 255 / height, x * 255 / width),
                   static_cast<BYTE>(x < width / 8 ? 128 : 255));
    return px;
}

template <class F>
double MillisecondsPerRun(int runs, F f)
{
    double start = NowSeconds();
    for (int i = 0; i < runs; ++i)
        f();
    return (NowSeconds() - start) * 1000.0 / runs;
}

}  // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int width = 1600, height = 1200, runs = 10;
    imgtest::Pixels picture = Picture(width, height);
    std::vector<BYTE> jpeg = imgtest::EncodeJpeg(picture);
    std::vector<BYTE> png = imgtest::EncodePng(picture);
    if (jpeg.empty() || png.empty()) {
        printf("could not make the test images\n");
        return 1;
    }
    printf("Stored images, %d x %d pixels: JPEG %zu bytes, PNG %zu bytes; ms per run of %d\n",
           width, height, jpeg.size(), png.size(), runs);

    double jpegDecode = MillisecondsPerRun(runs, [&] {
        JasDestroyImage(JasCreateImage(jpeg.data(), static_cast<long>(jpeg.size())));
    });
    double pngDecode = MillisecondsPerRun(runs, [&] {
        PNGImageDestroy(PNGImageCreate(png.data(), static_cast<long>(png.size())));
    });
    auto fitted = [&](const std::vector<BYTE>& bytes) {
        return MillisecondsPerRun(runs, [&] {
            int w = 360, h = 90;  // the information panel's box: 4 x 90 wide, 90 high
            HBITMAP b = CreateImageBitmap(nullptr, bytes.data(), static_cast<DWORD>(bytes.size()),
                                          &w, &h, FALSE, TRUE, IMAGE_ALIGN_CENTRE);
            DeleteObject(b);
        });
    };
    double jpegFitted = fitted(jpeg);
    double pngFitted = fitted(png);
    printf("  %-44s %8.2f  (bare decode %8.2f)\n", "JPEG fitted into 360 x 90 (shrunk)", jpegFitted,
           jpegDecode);
    printf("  %-44s %8.2f  (bare decode %8.2f)\n", "PNG fitted into 360 x 90 over checkerboard",
           pngFitted, pngDecode);

    double pngIcon = MillisecondsPerRun(runs, [&] {
        DestroyIcon(CreateImageIcon(png.data(), static_cast<DWORD>(png.size()), 32, 32, 32));
    });
    printf("  %-44s %8.2f  (bare decode %8.2f)\n", "PNG to a 32 x 32 icon", pngIcon, pngDecode);

    int w = 480, h = 360;
    HBITMAP thumb = CreateImageBitmap(nullptr, jpeg.data(), static_cast<DWORD>(jpeg.size()), &w, &h,
                                      FALSE, TRUE, IMAGE_ALIGN_CENTRE);
    double toBlob = MillisecondsPerRun(runs, [&] {
        VARIANT v;
        VariantInit(&v);
        BitmapToBlob(thumb, &v);
        VariantClear(&v);
    });
    VARIANT blob;
    VariantInit(&blob);
    BitmapToBlob(thumb, &blob);
    double blobBack = MillisecondsPerRun(runs, [&] {
        int bw = w, bh = h;
        DeleteObject(BlobToBitmap(&blob, &bw, &bh, nullptr, FALSE, TRUE, IMAGE_ALIGN_CENTRE));
    });
    printf("  %-44s %8.2f\n", "480 x 360 bitmap to a BMP blob", toBlob);
    printf("  %-44s %8.2f\n", "that BMP blob back to a bitmap", blobBack);
    VariantClear(&blob);
    DeleteObject(thumb);
    CoUninitialize();
    return 0;
}
