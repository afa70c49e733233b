// JPEG images: recognising, decoding, measuring and drawing JPEG data held in memory.
#pragma once
#include <windows.h>

typedef struct JasImage* HJASIMAGE;

// Greater than 0 exactly when the bytes are JPEG data (they start with the marker FF D8 FF);
// 0 otherwise, also for null data or fewer than three bytes.
int JasImageGetType(const void* data, long length);

// Decodes JPEG data into a new image; null when the data cannot be decoded. The handle is freed
// with JasDestroyImage.
HJASIMAGE JasCreateImage(const void* data, long length);

void JasDestroyImage(HJASIMAGE image);

// Writes the pixel width and height of the image; returns 0 (outputs untouched) for a null handle.
int JasImageGetDimen(HJASIMAGE image, int* width, int* height);

// Draws the top-left imageWidth x imageHeight part of the image (the whole image when these are
// its size) scaled to width x height, with its top-left corner at the DC's logical origin.
// Returns 0 when nothing could be drawn.
int JasImageRender(HJASIMAGE image, int imageWidth, int imageHeight, HDC hdc, int width,
                   int height);
