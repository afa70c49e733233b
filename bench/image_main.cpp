// Stored-image speed: decoding a photo-sized JPEG and PNG into the information panel's box,
// making tree icons, and storing a bitmap as a blob. Each figure is printed beside the bare WIC
// decode of the same data measured in the same run, so the cost of fitting and drawing shows.
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <cstdio>
#include <vector>

#include "core/blob.h"
#include "core/storedimage.h"
#include "imagecodec/kavjpeg.h"
#include "imagecodec/kavpng.h"

namespace {

std::vector<BYTE> Encode(int width, int height, REFGUID container)
{
    std::vector<BYTE> out;
    std::vector<BYTE> rows(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            BYTE* p = &rows[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<BYTE>(x * 255 / width);
            p[1] = static_cast<BYTE>(y * 255 / height);
            p[2] = static_cast<BYTE>((x ^ y) & 0xFF);
            p[3] = static_cast<BYTE>(x < width / 8 ? 128 : 255);
        }
    IWICImagingFactory* factory = nullptr;
    IStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    IPropertyBag2* props = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
        SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, &props)) && SUCCEEDED(frame->Initialize(props)) &&
        SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format))) {
        // The encoder may want another layout (JPEG takes 24 bits).
        if (IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
            UINT stride = (width * 3 + 3) & ~3u;
            std::vector<BYTE> rgb(static_cast<size_t>(stride) * height);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    memcpy(&rgb[y * stride + x * 3], &rows[(static_cast<size_t>(y) * width + x) * 4], 3);
            frame->WritePixels(height, stride, static_cast<UINT>(rgb.size()), rgb.data());
        } else {
            frame->WritePixels(height, width * 4, static_cast<UINT>(rows.size()), rows.data());
        }
        if (SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit())) {
            HGLOBAL mem = nullptr;
            STATSTG st = {};
            if (SUCCEEDED(GetHGlobalFromStream(stream, &mem)) &&
                SUCCEEDED(stream->Stat(&st, STATFLAG_NONAME))) {
                const BYTE* p = static_cast<const BYTE*>(GlobalLock(mem));
                out.assign(p, p + st.cbSize.QuadPart);
                GlobalUnlock(mem);
            }
        }
    }
    if (props)
        props->Release();
    if (frame)
        frame->Release();
    if (encoder)
        encoder->Release();
    if (stream)
        stream->Release();
    if (factory)
        factory->Release();
    return out;
}

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency.QuadPart;
}

template <class F>
double MillisecondsPerRun(int runs, F f)
{
    double start = Now();
    for (int i = 0; i < runs; ++i)
        f();
    return (Now() - start) * 1000.0 / runs;
}

}  // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int width = 1600, height = 1200, runs = 10;
    std::vector<BYTE> jpeg = Encode(width, height, GUID_ContainerFormatJpeg);
    std::vector<BYTE> png = Encode(width, height, GUID_ContainerFormatPng);
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
