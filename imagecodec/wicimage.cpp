#include "imagecodec/wicimage.h"

#include <objbase.h>
#include <wincodec.h>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace zimage {

namespace {

template <class T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr()
    {
        if (p)
            p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

// COM is needed on the calling thread; a thread that already has it keeps its own apartment.
struct ComScope {
    HRESULT hr;
    ComScope() : hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(hr))
            CoUninitialize();
    }
};

// One output sample's source taps along one axis.
struct Taps {
    int first = 0;
    std::vector<float> weights;
};

std::vector<Taps> AxisTaps(int srcLen, int dstLen)
{
    std::vector<Taps> taps(dstLen);
    if (dstLen < srcLen) {
        // Shrinking: each output sample averages the source span it covers.
        double scale = static_cast<double>(srcLen) / dstLen;
        for (int i = 0; i < dstLen; ++i) {
            double a = i * scale, b = (i + 1) * scale;
            int first = static_cast<int>(std::floor(a));
            int last = std::min(srcLen - 1, static_cast<int>(std::ceil(b)) - 1);
            taps[i].first = first;
            for (int s = first; s <= last; ++s) {
                double lo = std::max(a, static_cast<double>(s));
                double hi = std::min(b, static_cast<double>(s + 1));
                taps[i].weights.push_back(static_cast<float>((hi - lo) / scale));
            }
        }
    } else if (dstLen > srcLen) {
        // Enlarging: linear interpolation between the two nearest source samples.
        double scale = static_cast<double>(srcLen) / dstLen;
        for (int i = 0; i < dstLen; ++i) {
            double s = (i + 0.5) * scale - 0.5;
            if (s < 0)
                s = 0;
            int s0 = static_cast<int>(std::floor(s));
            if (s0 >= srcLen - 1) {
                taps[i].first = srcLen - 1;
                taps[i].weights = {1.0f};
            } else {
                float f = static_cast<float>(s - s0);
                taps[i].first = s0;
                taps[i].weights = {1.0f - f, f};
            }
        }
    } else {
        for (int i = 0; i < dstLen; ++i) {
            taps[i].first = i;
            taps[i].weights = {1.0f};
        }
    }
    return taps;
}

}  // namespace

bool PngComplete(const BYTE* data, size_t length)
{
    size_t pos = 8;
    while (pos + 12 <= length) {
        DWORD chunk = (static_cast<DWORD>(data[pos]) << 24) | (data[pos + 1] << 16) |
                      (data[pos + 2] << 8) | data[pos + 3];
        if (chunk > 0x7FFFFFFF || chunk > length - pos - 12)
            return false;
        if (memcmp(data + pos + 4, "IEND", 4) == 0)
            return true;
        pos += 12 + chunk;
    }
    return false;
}

bool JpegComplete(const BYTE* data, size_t length)
{
    size_t pos = 2;  // after SOI
    while (pos + 2 <= length) {
        if (data[pos] != 0xFF)
            return false;
        BYTE marker = data[pos + 1];
        if (marker == 0xFF) {  // fill byte before a marker
            ++pos;
            continue;
        }
        if (marker == 0xD9)
            return true;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;
            continue;
        }
        if (pos + 4 > length)
            return false;
        size_t segment = (static_cast<size_t>(data[pos + 2]) << 8) | data[pos + 3];
        if (segment < 2 || segment > length - pos - 2)
            return false;
        pos += 2 + segment;
        if (marker == 0xDA) {
            // Entropy-coded data runs to the next marker that is neither a stuffed zero nor a
            // restart marker.
            while (pos + 1 < length) {
                if (data[pos] == 0xFF) {
                    BYTE next = data[pos + 1];
                    if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7) && next != 0xFF)
                        break;
                }
                ++pos;
            }
            if (pos + 1 >= length)
                return false;
        }
    }
    return false;
}

bool DecodeWithWic(const void* data, size_t length, REFCLSID decoderId, PixelImage* out)
{
    if (!data || length == 0 || length > 0x7FFFFFFF)
        return false;
    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))))
        return false;
    ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)),
                                            static_cast<DWORD>(length))))
        return false;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(CoCreateInstance(decoderId, nullptr, CLSCTX_INPROC_SERVER, IID_IWICBitmapDecoder,
                                reinterpret_cast<void**>(&decoder))))
        return false;
    if (FAILED(decoder->Initialize(stream.p, WICDecodeMetadataCacheOnDemand)))
        return false;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, &frame)))
        return false;
    UINT w = 0, h = 0;
    if (FAILED(frame->GetSize(&w, &h)) || w == 0 || h == 0 || w > kMaxSide || h > kMaxSide ||
        static_cast<size_t>(w) * h > kMaxPixels)
        return false;
    out->width = static_cast<int>(w);
    out->height = static_cast<int>(h);
    out->pixels.assign(static_cast<size_t>(w) * h * 4, 0);
    // The common layouts are taken as the decoder gives them and widened here: WIC's general
    // converter costs several times the decoding itself.
    WICPixelFormatGUID format = {};
    frame->GetPixelFormat(&format);
    bool ok;
    BYTE* px = out->pixels.data();
    size_t count = static_cast<size_t>(w) * h;
    if (IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
        UINT stride = (w * 3 + 3) & ~3u;
        std::vector<BYTE> rows(static_cast<size_t>(stride) * h);
        ok = SUCCEEDED(frame->CopyPixels(nullptr, stride, static_cast<UINT>(rows.size()), rows.data()));
        for (UINT y = 0; ok && y < h; ++y) {
            const BYTE* src = &rows[static_cast<size_t>(y) * stride];
            BYTE* dst = px + static_cast<size_t>(y) * w * 4;
            for (UINT x = 0; x < w; ++x, src += 3, dst += 4) {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
                dst[3] = 255;
            }
        }
    } else if (IsEqualGUID(format, GUID_WICPixelFormat8bppGray)) {
        UINT stride = (w + 3) & ~3u;
        std::vector<BYTE> rows(static_cast<size_t>(stride) * h);
        ok = SUCCEEDED(frame->CopyPixels(nullptr, stride, static_cast<UINT>(rows.size()), rows.data()));
        for (UINT y = 0; ok && y < h; ++y) {
            const BYTE* src = &rows[static_cast<size_t>(y) * stride];
            BYTE* dst = px + static_cast<size_t>(y) * w * 4;
            for (UINT x = 0; x < w; ++x, dst += 4)
                dst[0] = dst[1] = dst[2] = src[x], dst[3] = 255;
        }
    } else if (IsEqualGUID(format, GUID_WICPixelFormat32bppPBGRA)) {
        ok = SUCCEEDED(frame->CopyPixels(nullptr, w * 4, static_cast<UINT>(out->pixels.size()), px));
    } else if (IsEqualGUID(format, GUID_WICPixelFormat32bppBGR)) {
        ok = SUCCEEDED(frame->CopyPixels(nullptr, w * 4, static_cast<UINT>(out->pixels.size()), px));
        for (size_t i = 0; ok && i < count; ++i)
            px[i * 4 + 3] = 255;
    } else {
        ComPtr<IWICBitmapSource> converted;
        IWICBitmapSource* source = frame.p;
        if (!IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA)) {
            if (FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.p, &converted)))
                return false;
            source = converted.p;
        }
        ok = SUCCEEDED(source->CopyPixels(nullptr, w * 4, static_cast<UINT>(out->pixels.size()), px));
        // Straight alpha to premultiplied.
        for (size_t i = 0; ok && i < count; ++i) {
            BYTE* p = px + i * 4;
            unsigned a = p[3];
            if (a != 255)
                for (int c = 0; c < 3; ++c)
                    p[c] = static_cast<BYTE>((p[c] * a + 127) / 255);
        }
    }
    if (!ok) {
        out->pixels.clear();
        out->width = out->height = 0;
        return false;
    }
    return true;
}

bool ScaleImage(const PixelImage& src, int srcWidth, int srcHeight, int width, int height,
                PixelImage* out)
{
    srcWidth = std::min(srcWidth, src.width);
    srcHeight = std::min(srcHeight, src.height);
    if (srcWidth <= 0 || srcHeight <= 0 || width <= 0 || height <= 0 || width > kMaxSide ||
        height > kMaxSide || static_cast<size_t>(width) * height > kMaxPixels)
        return false;
    std::vector<Taps> xt = AxisTaps(srcWidth, width);
    std::vector<Taps> yt = AxisTaps(srcHeight, height);

    // Rows first (source height x target width), then columns.
    std::vector<float> mid(static_cast<size_t>(srcHeight) * width * 4);
    for (int y = 0; y < srcHeight; ++y) {
        for (int x = 0; x < width; ++x) {
            float acc[4] = {0, 0, 0, 0};
            const Taps& t = xt[x];
            for (size_t k = 0; k < t.weights.size(); ++k) {
                const BYTE* p = src.At(t.first + static_cast<int>(k), y);
                for (int c = 0; c < 4; ++c)
                    acc[c] += p[c] * t.weights[k];
            }
            float* m = &mid[(static_cast<size_t>(y) * width + x) * 4];
            for (int c = 0; c < 4; ++c)
                m[c] = acc[c];
        }
    }
    out->width = width;
    out->height = height;
    out->pixels.assign(static_cast<size_t>(width) * height * 4, 0);
    for (int y = 0; y < height; ++y) {
        const Taps& t = yt[y];
        for (int x = 0; x < width; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (size_t k = 0; k < t.weights.size(); ++k) {
                const float* m = &mid[(static_cast<size_t>(t.first + k) * width + x) * 4];
                for (int c = 0; c < 4; ++c)
                    acc[c] += m[c] * t.weights[k];
            }
            BYTE* o = &out->pixels[(static_cast<size_t>(y) * width + x) * 4];
            for (int c = 0; c < 4; ++c) {
                float v = acc[c] + 0.5f;
                o[c] = static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v));
            }
            // Premultiplied colour never exceeds its alpha.
            for (int c = 0; c < 3; ++c)
                if (o[c] > o[3])
                    o[c] = o[3];
        }
    }
    return true;
}

bool DrawPixels(HDC hdc, const BYTE* pixels, int width, int height)
{
    BITMAPINFO bmi = Rgb32Info(width, -height);  // top-down rows
    return StretchDIBits(hdc, 0, 0, width, height, 0, 0, width, height, pixels, &bmi,
                         DIB_RGB_COLORS, SRCCOPY) != 0;
}

}  // namespace zimage
