// Stored images: the bytes of a picture or icon kept in a byte-array column, recognised and
// decoded into device bitmaps fitted into a box, or into icons of a given size.
//
// Two layouts are read. The raw form is a whole BMP, ICO, PNG or JPEG file (the only form the
// programs write). The typed form starts with a tag byte (1 DIB, 2 ICO, 3 JPEG, 4 PNG) followed by
// the image; a DIB there is a 16-bit bits offset counted from byte 1, then a BITMAPINFO.
//
// Every length and offset inside the bytes is checked against the buffer: a damaged value gives
// no image, never a read past its end.
#pragma once
#include <windows.h>

// Image type numbers.
enum StoredImageType {
    IMAGE_TYPE_NONE = 0,
    IMAGE_TYPE_BITMAP = 1,
    IMAGE_TYPE_ICON = 2,
    IMAGE_TYPE_JPEG = 3,
    IMAGE_TYPE_PNG = 4,
};

// Where a fitted image sits in a box that is larger along one side.
enum ImageAlignment {
    IMAGE_ALIGN_CENTRE = 0,
    IMAGE_ALIGN_START = 1,  // top or left
    IMAGE_ALIGN_END = 2,    // bottom or right
};

// "No transparent colour" for BmpToBitmap.
const COLORREF IMAGE_NO_TRANSPARENT = 0xFF000000;

// Grey of the checkerboard shown under transparent pixels: 4 x 4 cells, 224 where the cell column
// parity differs from the cell row parity, otherwise 192.
BYTE CheckerboardGrey(int x, int y);

// Type of the raw form (ICO, then BMP, PNG, JPEG), else of the typed form; 0 when unknown.
int DetectImageType(const BYTE* bytes, DWORD length);
// Type of the typed form by its tag, once its image passes a check; 0 otherwise.
int DetectTypedImageType(const BYTE* bytes, DWORD length);

// Pixel size of the image; false (outputs untouched) when none is found. Icons have none, and
// neither has a BMP with the old 12-byte header.
bool GetImageSize(const BYTE* bytes, DWORD length, int* width, int* height);

// Largest size of the image's aspect ratio inside the box (the box is updated) and its offset by
// the alignment. Offsets are written only where the box shrank; callers start them at 0.
void FitImageToBox(int imageWidth, int imageHeight, int* boxWidth, int* boxHeight, int* xOffset,
                   int* yOffset, int alignment);

// A device bitmap compatible with the window's DC (the screen's for null) holding the image in a
// box of *boxWidth x *boxHeight. stretch: the image fills the whole box. Otherwise it is fitted
// by the alignment; shrink then makes the box (and the bitmap) exactly the fitted size, and
// without shrink the bitmap keeps the box size with the image at its offset. Null when the bytes
// hold nothing that can be decoded.
HBITMAP CreateImageBitmap(HWND hwnd, const BYTE* bytes, DWORD length, int* boxWidth,
                          int* boxHeight, BOOL stretch, BOOL shrink, int alignment);

// An icon of width x height for a screen of the given depth; null for JPEG and anything that
// cannot be decoded.
HICON CreateImageIcon(const BYTE* bytes, DWORD length, int width, int height, int bitsPerPixel);

// Decoders of one format to a bitmap, box and flags as for CreateImageBitmap.
// BMP file bytes; pixels of the transparent colour (IMAGE_NO_TRANSPARENT for none) are replaced by
// the checkerboard.
HBITMAP BmpToBitmap(HWND hwnd, const BYTE* bytes, DWORD length, COLORREF transparent,
                    int* boxWidth, int* boxHeight, BOOL stretch, BOOL shrink, int alignment);
// Typed DIB bytes after the tag: 16-bit bits offset, BITMAPINFO, bits.
HBITMAP TypedDibToBitmap(HWND hwnd, const BYTE* bytes, DWORD length, int* boxWidth,
                         int* boxHeight, BOOL stretch, BOOL shrink, int alignment);
HBITMAP JpegToBitmap(HWND hwnd, const BYTE* bytes, DWORD length, int* boxWidth, int* boxHeight,
                     BOOL stretch, BOOL shrink, int alignment);
// Transparency is shown over the checkerboard.
HBITMAP PngToBitmap(HWND hwnd, const BYTE* bytes, DWORD length, int* boxWidth, int* boxHeight,
                    BOOL stretch, BOOL shrink, int alignment);
// A 32-bit bitmap of width x height from the best image of the ICO file, transparency shown over
// the checkerboard.
HBITMAP IcoToBitmap(HWND hwnd, const BYTE* bytes, DWORD length, int width, int height);

// The ICO image that suits the wanted size best (see the rules in the source); null when the file
// holds no usable image. size, width and height may be null.
const BYTE* SelectIcoImage(const BYTE* ico, DWORD length, int maxBitsPerPixel, int wantedWidth,
                           int wantedHeight, DWORD* size, int* width, int* height);

// Icon makers of one format.
HICON IcoToIcon(const BYTE* bytes, DWORD length, int width, int height, int bitsPerPixel);
HICON TypedDibToIcon(const BYTE* bytes, DWORD length, int width, int height, int bitsPerPixel);
HICON BmpToIcon(const BYTE* bytes, DWORD length, int width, int height, int bitsPerPixel);
HICON PngToIcon(const BYTE* bytes, DWORD length, int width, int height, int bitsPerPixel);

// The BITMAPINFO and pixel bits of a typed DIB (the whole value, tag byte included), after
// checking that the header, colour table and bits lie inside the bytes; false otherwise.
bool GetTypedDib(const BYTE* bytes, DWORD length, const BITMAPINFO** info, const BYTE** bits);
