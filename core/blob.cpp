#include "core/blob.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/longpath.h"
#include "core/replacefile.h"
#include "core/storedimage.h"
#include "imagecodec/wicimage.h"

BlobBytes::BlobBytes(const VARIANT* value)
{
    if (!IsBlob(value))
        return;
    SAFEARRAY* array = value->parray;
    LONG lower = 0, upper = -1;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data)))
        return;
    array_ = array;
    data_ = static_cast<const BYTE*>(data);
    size_ = upper >= lower ? static_cast<DWORD>(upper - lower + 1) : 0;
}

BlobBytes::~BlobBytes()
{
    if (array_)
        SafeArrayUnaccessData(array_);
}

bool IsBlob(const VARIANT* value)
{
    return value && (value->vt & VT_ARRAY) && !(value->vt & VT_BYREF) && value->parray &&
           SafeArrayGetDim(value->parray) == 1 && SafeArrayGetElemsize(value->parray) == 1;
}

void FileToBlob(FILE* file, VARIANT* value)
{
    if (!value)
        return;
    VariantClear(value);
    if (!file || _fseeki64(file, 0, SEEK_END) != 0)
        return;
    long long size = _ftelli64(file);
    if (size <= 0 || size > 0x7FFFFFFF || _fseeki64(file, 0, SEEK_SET) != 0)
        return;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
    if (!array)
        return;
    void* data = nullptr;
    bool read = false;
    if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
        read = fread(data, 1, static_cast<size_t>(size), file) == static_cast<size_t>(size);
        SafeArrayUnaccessData(array);
    }
    if (!read) {
        SafeArrayDestroy(array);
        return;
    }
    value->vt = VT_ARRAY | VT_UI1;
    value->parray = array;
}

void BlobToFile(const VARIANT* value, FILE* file)
{
    if (!file)
        return;
    BlobBytes blob(value);
    if (blob.ok() && blob.size())
        fwrite(blob.data(), 1, blob.size(), file);
}

void GetBlobImageSize(const VARIANT* value, int* width, int* height)
{
    if (width)
        *width = 0;
    if (height)
        *height = 0;
    BlobBytes blob(value);
    if (blob.ok() && width && height)
        GetImageSize(blob.data(), blob.size(), width, height);
}

HBITMAP BlobToBitmap(const VARIANT* value, int* boxWidth, int* boxHeight, COLORREF* colour,
                     BOOL stretch, BOOL shrink, int alignment)
{
    BlobBytes blob(value);
    if (!blob.ok())
        return nullptr;
    HBITMAP bitmap = CreateImageBitmap(nullptr, blob.data(), blob.size(), boxWidth, boxHeight,
                                       stretch, shrink, alignment);
    if (bitmap && colour) {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        *colour = GetPixel(dc, 0, 0);
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    return bitmap;
}

HICON BlobToIcon(const VARIANT* value, int width, int height)
{
    BlobBytes blob(value);
    if (!blob.ok())
        return nullptr;
    HDC screen = GetDC(nullptr);
    int bitsPerPixel = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    return CreateImageIcon(blob.data(), blob.size(), width, height, bitsPerPixel);
}

DWORD BitmapInfoForBitmap(HBITMAP bitmap, BITMAPINFO** info)
{
    if (!info)
        return 0;
    *info = nullptr;
    BITMAP bm = {};
    if (!bitmap || GetObjectW(bitmap, sizeof(bm), &bm) == 0 || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return 0;
    int depth = bm.bmPlanes * bm.bmBitsPixel;
    int b = zimage::StandardDibDepth(depth);
    DWORD colours = b <= 8 ? (1u << b) : 0;
    DWORD size = sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD);
    BITMAPINFO* bmi = static_cast<BITMAPINFO*>(calloc(1, size));
    if (!bmi)
        return 0;
    bmi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi->bmiHeader.biWidth = bm.bmWidth;
    bmi->bmiHeader.biHeight = bm.bmHeight;
    bmi->bmiHeader.biPlanes = bm.bmPlanes;
    bmi->bmiHeader.biBitCount = bm.bmBitsPixel;
    bmi->bmiHeader.biCompression = BI_RGB;
    bmi->bmiHeader.biSizeImage =
        static_cast<DWORD>(bm.bmHeight) * ((static_cast<DWORD>(b) * bm.bmWidth + 31) / 32 * 4);
    bmi->bmiHeader.biClrUsed = colours;
    *info = bmi;
    return size;
}

void BitmapToBlob(HBITMAP bitmap, VARIANT* value)
{
    if (!value)
        return;
    VariantClear(value);
    value->vt = VT_NULL;
    BITMAPINFO* info = nullptr;
    DWORD infoSize = BitmapInfoForBitmap(bitmap, &info);
    if (!infoSize)
        return;
    DWORD imageSize = info->bmiHeader.biSizeImage;
    std::vector<BYTE> bits(imageSize);
    HDC screen = GetDC(nullptr);
    int lines = GetDIBits(screen, bitmap, 0, info->bmiHeader.biHeight, bits.data(), info,
                          DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines != info->bmiHeader.biHeight) {
        free(info);
        VariantClear(value);
        return;
    }
    DWORD offset = 14 + infoSize;
    DWORD fileSize = offset + imageSize;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, fileSize);
    void* data = nullptr;
    if (!array || FAILED(SafeArrayAccessData(array, &data))) {
        if (array)
            SafeArrayDestroy(array);
        free(info);
        VariantClear(value);
        return;
    }
    BYTE* p = static_cast<BYTE*>(data);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfSize = fileSize;
    file.bfOffBits = offset;
    memcpy(p, &file, 14);
    memcpy(p + 14, info, infoSize);
    memcpy(p + offset, bits.data(), imageSize);
    SafeArrayUnaccessData(array);
    free(info);
    value->vt = VT_ARRAY | VT_UI1;
    value->parray = array;
}

DWORD WriteBmpFile(const wchar_t* path, const BITMAPINFO* info, const void* bits)
{
    if (!path || !info || !bits)
        return ERROR_INVALID_PARAMETER;
    BITMAPINFOHEADER header = {};
    std::vector<RGBQUAD> table;
    const BYTE* tableBytes = reinterpret_cast<const BYTE*>(info) + info->bmiHeader.biSize;
    if (info->bmiHeader.biSize == sizeof(BITMAPCOREHEADER)) {
        // The old header and its 3-byte colour entries in the 40-byte form.
        const BITMAPCOREHEADER* core = reinterpret_cast<const BITMAPCOREHEADER*>(info);
        header.biSize = sizeof(BITMAPINFOHEADER);
        header.biWidth = core->bcWidth;
        header.biHeight = core->bcHeight;
        header.biPlanes = 1;
        header.biBitCount = core->bcBitCount;
        header.biCompression = BI_RGB;
        if (core->bcBitCount <= 8) {
            const RGBTRIPLE* t = reinterpret_cast<const RGBTRIPLE*>(tableBytes);
            for (int i = 0; i < (1 << core->bcBitCount); ++i)
                table.push_back({t[i].rgbtBlue, t[i].rgbtGreen, t[i].rgbtRed, 0});
            header.biClrUsed = static_cast<DWORD>(table.size());
        }
    } else {
        header = info->bmiHeader;
        header.biSize = sizeof(BITMAPINFOHEADER);
        DWORD colours = header.biClrUsed;
        if (colours == 0 && header.biBitCount <= 8)
            colours = 1u << header.biBitCount;
        if (header.biCompression == BI_BITFIELDS)
            colours += 3;  // the three masks take the place of the first entries
        const RGBQUAD* t = reinterpret_cast<const RGBQUAD*>(tableBytes);
        table.assign(t, t + colours);
    }
    DWORD imageSize = header.biSizeImage;
    if (imageSize == 0 || header.biCompression == BI_RGB || header.biCompression == BI_BITFIELDS) {
        LONG rows = header.biHeight < 0 ? -header.biHeight : header.biHeight;
        DWORD computed = static_cast<DWORD>(rows) *
                         ((static_cast<DWORD>(header.biBitCount) * header.biWidth + 31) / 32 * 4);
        if (imageSize == 0 || imageSize > computed)
            imageSize = computed;
    }
    header.biSizeImage = imageSize;
    DWORD tableSize = static_cast<DWORD>(table.size() * sizeof(RGBQUAD));
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = 14 + sizeof(BITMAPINFOHEADER) + tableSize;
    file.bfSize = file.bfOffBits + imageSize;

    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD error = 0;
    auto put = [&](const void* data, DWORD size) {
        if (!error && size && !WriteAll(h, data, size))
            error = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
    };
    put(&file, 14);
    put(&header, sizeof(header));
    put(table.data(), tableSize);
    // The image goes out in blocks copied to a buffer of its own: written straight from a large
    // DIB section's memory, the same bytes took ten times as long.
    const DWORD block = 1u << 20;
    std::vector<BYTE> buffer(std::min(imageSize, block));
    for (DWORD done = 0; done < imageSize && !error; done += block) {
        const DWORD n = std::min(imageSize - done, block);
        memcpy(buffer.data(), static_cast<const BYTE*>(bits) + done, n);
        put(buffer.data(), n);
    }
    if (!CloseHandle(h) && !error)
        error = GetLastError();
    return error;
}

DWORD WriteStoredImageFile(const VARIANT* value, const wchar_t* path)
{
    BlobBytes blob(value);
    if (!blob.ok() || blob.size() == 0)
        return ERROR_INVALID_DATA;
    const int typed = DetectTypedImageType(blob.data(), blob.size());
    const BITMAPINFO* info = nullptr;
    const BYTE* bits = nullptr;
    if (typed == IMAGE_TYPE_BITMAP && !GetTypedDib(blob.data(), blob.size(), &info, &bits))
        return ERROR_INVALID_DATA;
    DWORD error = 0;
    std::wstring temp = CreateTempFileBeside(path, &error);
    if (temp.empty())
        return error;
    if (typed == IMAGE_TYPE_BITMAP) {
        error = WriteBmpFile(temp.c_str(), info, bits);
    } else {
        // A typed form's own file starts after its tag byte.
        const size_t skip = typed ? 1 : 0;
        HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            error = GetLastError();
        else {
            if (!WriteAll(h, blob.data() + skip, blob.size() - skip))
                error = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
            if (!CloseHandle(h) && !error)
                error = GetLastError();
        }
    }
    return ReplaceWithTempFile(temp, path, error);
}
