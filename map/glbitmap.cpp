#include "map/glbitmap.h"

#include <GL/gl.h>

GlBitmap::~GlBitmap()
{
    Release();
}

int ChooseGlBitmapPixelFormat(HDC dc)
{
    PIXELFORMATDESCRIPTOR pfd;
    const int count = DescribePixelFormat(dc, 1, sizeof pfd, &pfd);
    int best = 0, bestScore = -1;
    for (int i = 1; i <= count; ++i) {
        if (!DescribePixelFormat(dc, i, sizeof pfd, &pfd))
            continue;
        const DWORD need = PFD_DRAW_TO_BITMAP | PFD_SUPPORT_OPENGL;
        if ((pfd.dwFlags & need) != need || pfd.iPixelType != PFD_TYPE_RGBA || pfd.cColorBits < 24 ||
            pfd.cRedShift != 16 || pfd.cGreenShift != 8 || pfd.cBlueShift != 0 || pfd.cStencilBits < 1)
            continue;
        // Prefer a depth buffer and an alpha channel, as the drawing asks for them.
        int score = (pfd.cColorBits == 32 ? 4 : 0) + (pfd.cDepthBits >= 16 ? 2 : 0) + (pfd.cAlphaBits > 0 ? 1 : 0);
        if (score > bestScore) {
            best = i;
            bestScore = score;
        }
    }
    return best;
}

bool GlBitmap::Create(HDC reference, int width, int height)
{
    Release();
    if (width < 1 || height < 1 || width > kMaxGlBitmapSide || height > kMaxGlBitmapSide)
        return false;
    dc_ = CreateCompatibleDC(reference);
    if (!dc_)
        return false;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;  // bottom-up, as OpenGL counts its rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap_ || !bits) {
        Release();
        return false;
    }
    bits_ = (unsigned*)bits;
    width_ = width;
    height_ = height;
    old_ = SelectObject(dc_, bitmap_);
    int format = ChooseGlBitmapPixelFormat(dc_);
    PIXELFORMATDESCRIPTOR pfd;
    if (!format || !DescribePixelFormat(dc_, format, sizeof pfd, &pfd) || !SetPixelFormat(dc_, format, &pfd)) {
        Release();
        return false;
    }
    context_ = wglCreateContext(dc_);
    if (!context_ || !wglMakeCurrent(dc_, context_)) {
        Release();
        return false;
    }
    glViewport(0, 0, width, height);
    return true;
}

void GlBitmap::Finish()
{
    if (context_) {
        if (wglGetCurrentContext() == context_) {
            glFinish();
            wglMakeCurrent(nullptr, nullptr);
        }
        wglDeleteContext(context_);
        context_ = nullptr;
    }
    if (bits_) {
        GdiFlush();
        const size_t n = (size_t)width_ * (size_t)height_;
        for (size_t i = 0; i < n; ++i)
            bits_[i] |= 0xFF000000u;
    }
}

HBITMAP GlBitmap::Detach()
{
    Finish();
    HBITMAP bitmap = bitmap_;
    bitmap_ = nullptr;  // the caller's now: Release leaves it
    Release();
    return bitmap;
}

COLORREF GlBitmap::PixelAt(int x, int y) const
{
    if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_)
        return CLR_INVALID;
    GdiFlush();
    unsigned v = bits_[(size_t)(height_ - 1 - y) * width_ + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

void GlBitmap::Release()
{
    if (context_) {
        if (wglGetCurrentContext() == context_)
            wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(context_);
        context_ = nullptr;
    }
    if (dc_) {
        if (old_)
            SelectObject(dc_, old_);
        DeleteDC(dc_);
        dc_ = nullptr;
        old_ = nullptr;
    }
    if (bitmap_) {
        DeleteObject(bitmap_);
        bitmap_ = nullptr;
    }
    bits_ = nullptr;
    width_ = height_ = 0;
}
