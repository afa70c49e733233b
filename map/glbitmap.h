// The one OpenGL drawing target in memory that the style previews, map printing and the picture
// export share: a 32-bit DIB section (bottom-up) with an OpenGL rendering context of a 32-bit
// BGRA pixel format chosen by enumeration (other formats swap red and blue or draw nothing on
// memory bitmaps), at most kMaxGlBitmapSide pixels a side.
#pragma once
#include <windows.h>

const int kMaxGlBitmapSide = 16384;

class GlBitmap
{
public:
    GlBitmap() = default;
    ~GlBitmap();
    GlBitmap(const GlBitmap&) = delete;
    GlBitmap& operator=(const GlBitmap&) = delete;

    // Makes the bitmap, its memory DC and rendering context, and makes the context current.
    // False (and nothing kept) for a size outside 1..kMaxGlBitmapSide, when memory runs out or
    // when no suitable pixel format exists. reference only gives the resolution (may be null).
    bool Create(HDC reference, int width, int height);

    // Ends the drawing: waits for OpenGL, makes no context current, deletes the context and sets
    // every pixel's alpha to 255 (image lists and picture controls read it).
    void Finish();

    // The bitmap, now the caller's (selected into no DC). Null before Create.
    HBITMAP Detach();

    HDC Dc() const { return dc_; }
    HGLRC Context() const { return context_; }
    const unsigned* Pixels() const { return bits_; }  // 0x00RRGGBB rows from the bottom
    int Width() const { return width_; }
    int Height() const { return height_; }

    // The pixel at (x, y) counted from the top left, as a COLORREF.
    COLORREF PixelAt(int x, int y) const;

private:
    void Release();

    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    HGLRC context_ = nullptr;
    unsigned* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// The 32-bit BGRA pixel format of a memory DC holding a 32-bit DIB section, 0 when none.
int ChooseGlBitmapPixelFormat(HDC dc);
