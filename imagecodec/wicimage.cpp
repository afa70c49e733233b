#include "imagecodec/wicimage.h"

#include <objbase.h>
#include <wincodec.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
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

// One output sample's source taps along one axis, in fixed point: the weights of a sample add
// up to exactly kWeightOne, so a flat area keeps its value.
const int kWeightBits = 14;
const int kWeightOne = 1 << kWeightBits;

struct AxisTable {
    std::vector<int> first;   // first source sample of each output sample
    std::vector<int> start;   // index of its first weight in weights; start[n] = weights.size()
    std::vector<int> weights;
    int Count(int i) const { return start[i + 1] - start[i]; }
};

void AddSample(AxisTable* t, int first, const std::vector<double>& w)
{
    t->first.push_back(first);
    t->start.push_back(static_cast<int>(t->weights.size()));
    int sum = 0;
    for (size_t k = 0; k < w.size(); ++k) {
        int v = static_cast<int>(std::lround(w[k] * kWeightOne));
        t->weights.push_back(v);
        sum += v;
    }
    // Rounding leftovers go to the heaviest tap.
    size_t heaviest = t->start.back();
    for (size_t k = heaviest; k < t->weights.size(); ++k)
        if (t->weights[k] > t->weights[heaviest])
            heaviest = k;
    t->weights[heaviest] += kWeightOne - sum;
}

AxisTable AxisTaps(int srcLen, int dstLen)
{
    AxisTable t;
    std::vector<double> w;
    double scale = static_cast<double>(srcLen) / dstLen;
    for (int i = 0; i < dstLen; ++i) {
        w.clear();
        int first;
        if (dstLen < srcLen) {
            // Shrinking: each output sample averages the source span it covers.
            double a = i * scale, b = (i + 1) * scale;
            first = static_cast<int>(std::floor(a));
            int last = std::min(srcLen - 1, static_cast<int>(std::ceil(b)) - 1);
            for (int s = first; s <= last; ++s) {
                double lo = std::max(a, static_cast<double>(s));
                double hi = std::min(b, static_cast<double>(s + 1));
                w.push_back((hi - lo) / scale);
            }
        } else if (dstLen > srcLen) {
            // Enlarging: linear interpolation between the two nearest source samples.
            double pos = std::max(0.0, (i + 0.5) * scale - 0.5);
            first = static_cast<int>(std::floor(pos));
            if (first >= srcLen - 1) {
                first = srcLen - 1;
                w.push_back(1.0);
            } else {
                double f = pos - first;
                w.push_back(1.0 - f);
                w.push_back(f);
            }
        } else {
            first = i;
            w.push_back(1.0);
        }
        AddSample(&t, first, w);
    }
    t.start.push_back(static_cast<int>(t.weights.size()));
    return t;
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
    AxisTable xt = AxisTaps(srcWidth, width);
    AxisTable yt = AxisTaps(srcHeight, height);

    // Rows first (source height x target width), then columns. The intermediate keeps 8
    // fractional bits in 16 bits, so the column pass cannot overflow 32 bits.
    std::vector<uint16_t> mid(static_cast<size_t>(srcHeight) * width * 4);
    for (int y = 0; y < srcHeight; ++y) {
        const BYTE* row = src.At(0, y);
        uint16_t* m = &mid[static_cast<size_t>(y) * width * 4];
        for (int x = 0; x < width; ++x, m += 4) {
            uint32_t acc0 = 0, acc1 = 0, acc2 = 0, acc3 = 0;
            const int* w = &xt.weights[xt.start[x]];
            const BYTE* p = row + static_cast<size_t>(xt.first[x]) * 4;
            for (int k = xt.Count(x); k > 0; --k, ++w, p += 4) {
                acc0 += p[0] * *w;
                acc1 += p[1] * *w;
                acc2 += p[2] * *w;
                acc3 += p[3] * *w;
            }
            const int shift = kWeightBits - 8;
            const uint32_t half = 1u << (shift - 1);
            m[0] = static_cast<uint16_t>((acc0 + half) >> shift);
            m[1] = static_cast<uint16_t>((acc1 + half) >> shift);
            m[2] = static_cast<uint16_t>((acc2 + half) >> shift);
            m[3] = static_cast<uint16_t>((acc3 + half) >> shift);
        }
    }
    out->width = width;
    out->height = height;
    out->pixels.assign(static_cast<size_t>(width) * height * 4, 0);
    const int shift = kWeightBits + 8;
    const uint32_t half = 1u << (shift - 1);
    std::vector<uint32_t> acc(static_cast<size_t>(width) * 4);
    for (int y = 0; y < height; ++y) {
        std::fill(acc.begin(), acc.end(), 0u);
        const int* w = &yt.weights[yt.start[y]];
        for (int k = 0; k < yt.Count(y); ++k) {
            const uint16_t* m = &mid[static_cast<size_t>(yt.first[y] + k) * width * 4];
            uint32_t weight = static_cast<uint32_t>(w[k]);
            for (size_t i = 0; i < acc.size(); ++i)
                acc[i] += m[i] * weight;
        }
        BYTE* o = &out->pixels[static_cast<size_t>(y) * width * 4];
        for (int x = 0; x < width; ++x, o += 4) {
            for (int c = 0; c < 4; ++c) {
                uint32_t v = (acc[static_cast<size_t>(x) * 4 + c] + half) >> shift;
                o[c] = static_cast<BYTE>(v > 255 ? 255 : v);
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
