// PNG images: recognising, decoding, measuring and drawing PNG data held in memory, with
// transparent pixels composed over a background chosen per pixel by the caller.
#pragma once
#include <windows.h>

typedef struct PngImage* HPNGIMAGE;

// Background colour under the target pixel (x, y), counted from the top-left corner of the
// drawn image.
typedef COLORREF (*PNGBACKGROUNDPROC)(int x, int y);

// Nonzero exactly when the bytes start with the 8-byte PNG signature.
int IsPNGFile(const void* data, long length);

// A handle for any bytes (null only when memory runs out); PNGImageIsPNG tells whether they held
// a PNG image that could be decoded. Freed with PNGImageDestroy.
HPNGIMAGE PNGImageCreate(const void* data, long length);

void PNGImageDestroy(HPNGIMAGE image);

// Nonzero when the handle holds a decoded PNG image.
int PNGImageIsPNG(HPNGIMAGE image);

// Writes the pixel width and height; returns 0 (outputs untouched) when there is no image.
int PNGImageGetDimen(HPNGIMAGE image, int* width, int* height);

// Draws the top-left imageWidth x imageHeight part of the image scaled to width x height with its
// top-left corner at the DC's logical origin. Pixels that are not fully opaque are composed over
// the colour the callback gives for them (white without a callback). Returns 0 when nothing was
// drawn.
int PNGImageRender(HPNGIMAGE image, int imageWidth, int imageHeight, HDC hdc, int width,
                   int height, PNGBACKGROUNDPROC background);

// Fills two bitmaps of the image's size, neither selected into a DC: the colour image and a grey
// mask that is white where the image is transparent (255 - alpha). The DC is used for the
// bitmaps' format only. Returns 0 when there is no image or a bitmap cannot be filled.
int PNGImageGetBitmaps(HPNGIMAGE image, HDC hdc, HBITMAP colour, HBITMAP mask);
