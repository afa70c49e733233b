// Stored images in VARIANTs: a one-dimensional SAFEARRAY of bytes (VT_ARRAY | VT_UI1) moved
// between files, bitmaps and the image decoders.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <cstdio>

// Read access to the bytes of a one-dimensional byte array held by a VARIANT; empty (ok() false)
// for any other VARIANT. The array stays locked while the object lives.
class BlobBytes {
public:
    explicit BlobBytes(const VARIANT* value);
    ~BlobBytes();
    BlobBytes(const BlobBytes&) = delete;
    BlobBytes& operator=(const BlobBytes&) = delete;

    bool ok() const { return array_ != nullptr; }
    const BYTE* data() const { return data_; }
    DWORD size() const { return size_; }

private:
    SAFEARRAY* array_ = nullptr;
    const BYTE* data_ = nullptr;
    DWORD size_ = 0;
};

// True for a one-dimensional byte array.
bool IsBlob(const VARIANT* value);

// Clears the VARIANT, then reads the whole file from its start into a new byte array. An empty or
// unreadable file leaves the VARIANT empty.
void FileToBlob(FILE* file, VARIANT* value);

// Writes every byte of a one-dimensional byte array to the file; nothing for other VARIANTs.
void BlobToFile(const VARIANT* value, FILE* file);

// 0 and 0 first, then the pixel size of the stored image when one is found.
void GetBlobImageSize(const VARIANT* value, int* width, int* height);

// CreateImageBitmap (for the screen) of the stored image. colour, when given, receives the colour
// of the new bitmap's top-left pixel. Null for anything but a one-dimensional array.
HBITMAP BlobToBitmap(const VARIANT* value, int* boxWidth, int* boxHeight, COLORREF* colour,
                     BOOL stretch, BOOL shrink, int alignment);

// CreateImageIcon of the stored image at the screen's depth; null for anything but a
// one-dimensional array.
HICON BlobToIcon(const VARIANT* value, int width, int height);

// The VARIANT becomes VT_NULL, then a byte array holding a whole BMP file of the bitmap. When the
// bitmap's bits cannot be read, the VARIANT is left empty.
void BitmapToBlob(HBITMAP bitmap, VARIANT* value);

// A new BITMAPINFO (freed with free()) describing the bitmap, with room for its colour table;
// returns its size in bytes, 0 (and null) when the bitmap cannot be queried.
DWORD BitmapInfoForBitmap(HBITMAP bitmap, BITMAPINFO** info);

// Writes a .bmp file (created or replaced) of the DIB: file header, 40-byte header with the colour
// table, bits. A DIB with the old 12-byte header is written with the 40-byte one. 0 when written,
// otherwise the system's error code (a file cut short by a full disk is ERROR_DISK_FULL).
DWORD WriteBmpFile(const wchar_t* path, const BITMAPINFO* info, const void* bits);

// Writes a stored image to a file, whole or not at all (the old file stays as it was): a typed
// DIB as a BMP file, another typed image without its tag byte, the raw form as it is. 0, or the
// system's error code (ERROR_INVALID_DATA for a value that holds no image).
DWORD WriteStoredImageFile(const VARIANT* value, const wchar_t* path);
