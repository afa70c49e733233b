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

DWORD SaveIconFile(const VARIANT* icon, const wchar_t* path)
{
    return WriteStoredImageFile(icon, path);
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
