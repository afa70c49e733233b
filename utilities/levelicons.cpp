#include "utilities/levelicons.h"

#include <cstdio>

#include "core/blob.h"
#include "core/storedimage.h"

bool LoadIconFile(const wchar_t* path, int size, VARIANT* icon)
{
    FILE* file = _wfopen(path, L"rb");
    if (!file)
        return false;
    VARIANT bytes;
    VariantInit(&bytes);
    FileToBlob(file, &bytes);
    fclose(file);
    int w = size, h = size;
    HBITMAP picture = IsBlob(&bytes) ? BlobToBitmap(&bytes, &w, &h, nullptr, FALSE, FALSE, 0) : nullptr;
    if (!picture) {
        VariantClear(&bytes);
        return false;
    }
    DeleteObject(picture);
    VariantClear(icon);
    *icon = bytes;
    return true;
}

bool SaveIconFile(const VARIANT* icon, const wchar_t* path)
{
    BlobBytes blob(icon);
    if (!blob.ok() || blob.size() == 0)
        return false;
    const int typed = DetectTypedImageType(blob.data(), blob.size());
    if (typed == IMAGE_TYPE_BITMAP) {
        const BITMAPINFO* info = nullptr;
        const BYTE* bits = nullptr;
        if (!GetTypedDib(blob.data(), blob.size(), &info, &bits))
            return false;
        WriteBmpFile(path, info, bits);
        return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
    }
    FILE* file = _wfopen(path, L"wb");
    if (!file)
        return false;
    // A typed form's own file starts after its tag byte.
    const size_t skip = typed ? 1 : 0;
    bool ok = fwrite(blob.data() + skip, 1, blob.size() - skip, file) == blob.size() - skip;
    return fclose(file) == 0 && ok;
}

const wchar_t* IconFileExtension(const VARIANT* icon)
{
    BlobBytes blob(icon);
    if (!blob.ok())
        return nullptr;
    switch (DetectImageType(blob.data(), blob.size())) {
    case IMAGE_TYPE_ICON:
        return L"ico";
    case IMAGE_TYPE_BITMAP:
        return L"bmp";
    case IMAGE_TYPE_PNG:
        return L"png";
    }
    return nullptr;
}
