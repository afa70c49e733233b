// Test images made on the fly: plain pixel buffers encoded to PNG, JPEG or BMP with WIC.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <cstdint>
#include <vector>

namespace imgtest {

// Top-down BGRA pixels (straight alpha).
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<BYTE> bgra;

    Pixels() = default;
    Pixels(int w, int h, COLORREF fill = RGB(0, 0, 0), BYTE alpha = 255)
        : width(w), height(h), bgra(static_cast<size_t>(w) * h * 4)
    {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                Set(x, y, fill, alpha);
    }
    void Set(int x, int y, COLORREF c, BYTE alpha = 255)
    {
        BYTE* p = &bgra[(static_cast<size_t>(y) * width + x) * 4];
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
        p[3] = alpha;
    }
    void FillRect(int x0, int y0, int x1, int y1, COLORREF c, BYTE alpha = 255)
    {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                Set(x, y, c, alpha);
    }
};

// Encodes the pixels with the encoder of the container format (GUID_ContainerFormatPng,
// GUID_ContainerFormatJpeg, GUID_ContainerFormatBmp) in the given pixel layout: 32bppBGRA,
// 24bppBGR or 8bppGray (the green channel). Empty on failure, also when the encoder would not
// take that layout.
inline std::vector<BYTE> Encode(const Pixels& px, REFGUID container, REFGUID layout)
{
    std::vector<BYTE> result;
    IWICImagingFactory* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))))
        return result;
    IStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    IPropertyBag2* props = nullptr;
    std::vector<BYTE> rows;
    WICPixelFormatGUID format = layout;
    bool grey = IsEqualGUID(layout, GUID_WICPixelFormat8bppGray) != 0;
    bool full = IsEqualGUID(layout, GUID_WICPixelFormat32bppBGRA) != 0;
    UINT stride = full ? px.width * 4 : grey ? ((px.width + 3) & ~3) : ((px.width * 3 + 3) & ~3);
    if (full) {
        rows = px.bgra;
    } else if (grey) {
        rows.assign(static_cast<size_t>(stride) * px.height, 0);
        for (int y = 0; y < px.height; ++y)
            for (int x = 0; x < px.width; ++x)
                rows[y * stride + x] = px.bgra[(static_cast<size_t>(y) * px.width + x) * 4 + 1];
    } else {
        rows.assign(static_cast<size_t>(stride) * px.height, 0);
        for (int y = 0; y < px.height; ++y)
            for (int x = 0; x < px.width; ++x)
                for (int c = 0; c < 3; ++c)
                    rows[y * stride + x * 3 + c] = px.bgra[(static_cast<size_t>(y) * px.width + x) * 4 + c];
    }
    bool ok = SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
              SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
              SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
              SUCCEEDED(encoder->CreateNewFrame(&frame, &props)) &&
              SUCCEEDED(frame->Initialize(props)) &&
              SUCCEEDED(frame->SetSize(px.width, px.height)) &&
              SUCCEEDED(frame->SetPixelFormat(&format)) && IsEqualGUID(format, layout) &&
              SUCCEEDED(frame->WritePixels(px.height, stride, static_cast<UINT>(rows.size()),
                                           rows.data())) &&
              SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    if (ok) {
        HGLOBAL mem = nullptr;
        if (SUCCEEDED(GetHGlobalFromStream(stream, &mem))) {
            STATSTG st = {};
            stream->Stat(&st, STATFLAG_NONAME);
            const BYTE* p = static_cast<const BYTE*>(GlobalLock(mem));
            if (p) {
                result.assign(p, p + st.cbSize.QuadPart);
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
    factory->Release();
    return result;
}

inline std::vector<BYTE> EncodePng(const Pixels& px)
{
    return Encode(px, GUID_ContainerFormatPng, GUID_WICPixelFormat32bppBGRA);
}
inline std::vector<BYTE> EncodeJpeg(const Pixels& px)
{
    return Encode(px, GUID_ContainerFormatJpeg, GUID_WICPixelFormat24bppBGR);
}

// Reads a bitmap back as top-down 32-bit pixels (0x00RRGGBB values, alpha dropped).
inline std::vector<uint32_t> ReadBitmap(HBITMAP bitmap, int* width = nullptr, int* height = nullptr)
{
    std::vector<uint32_t> out;
    BITMAP bm = {};
    if (!bitmap || !GetObjectW(bitmap, sizeof(bm), &bm))
        return out;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = bm.bmWidth;
    bmi.bmiHeader.biHeight = -bm.bmHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    out.assign(static_cast<size_t>(bm.bmWidth) * bm.bmHeight, 0);
    HDC dc = GetDC(nullptr);
    int lines = GetDIBits(dc, bitmap, 0, bm.bmHeight, out.data(), &bmi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    if (lines != bm.bmHeight) {
        out.clear();
        return out;
    }
    for (uint32_t& v : out)
        v &= 0x00FFFFFF;
    if (width)
        *width = bm.bmWidth;
    if (height)
        *height = bm.bmHeight;
    return out;
}

// 0x00RRGGBB of a COLORREF.
inline uint32_t Rgb(COLORREF c)
{
    return (static_cast<uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

inline uint32_t Grey(int level) { return Rgb(RGB(level, level, level)); }

// True when every channel of a and b differs by at most tolerance.
inline bool Near(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8) {
        int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d < -tolerance || d > tolerance)
            return false;
    }
    return true;
}

}  // namespace imgtest
