// The file side of the shapefile reader: the .shp and .shx of a layer mapped read-only into
// memory, by wide path, shared for reading with other programs.
#include <windows.h>

#include <string>

#include "shapefile/shpinternal.h"

namespace {

struct MappedFile
{
    const void* View = nullptr;
    size_t Size = 0;
};

// The whole file as a read-only view; false for a missing, empty or unmappable file.
bool MapWholeFile(const std::wstring& path, MappedFile* out)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool ok = false;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && (unsigned long long)size.QuadPart <= (size_t)-1) {
        HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (mapping) {
            out->View = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
            out->Size = (size_t)size.QuadPart;
            ok = out->View != nullptr;
            CloseHandle(mapping);  // the view keeps the mapping alive
        }
    }
    CloseHandle(file);
    return ok;
}

void ReleaseViews(SHPInfo* info)
{
    for (void* view : info->Owner)
        if (view)
            UnmapViewOfFile(view);
}

// The path without the extension of its last component (shp, shx or any other).
std::wstring BaseOf(const wchar_t* path)
{
    std::wstring base = path;
    size_t slash = base.find_last_of(L"\\/");
    size_t dot = base.find_last_of(L'.');
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash))
        base.erase(dot);
    return base;
}

bool MapLayerFile(const std::wstring& base, const wchar_t* lower, const wchar_t* upper, MappedFile* out)
{
    return MapWholeFile(base + lower, out) || MapWholeFile(base + upper, out);
}

}  // namespace

SHPHandle SHPOpenW(const wchar_t* path, const char* mode)
{
    // Only reading is offered: "r" or "rb".
    if (!path || !*path || !mode || mode[0] != 'r' || (mode[1] && (mode[1] != 'b' || mode[2])))
        return nullptr;
    std::wstring base = BaseOf(path);
    MappedFile shp, shx;
    if (!MapLayerFile(base, L".shp", L".SHP", &shp))
        return nullptr;
    if (!MapLayerFile(base, L".shx", L".SHX", &shx)) {
        UnmapViewOfFile(shp.View);
        return nullptr;
    }
    SHPHandle handle = ShpOpenBytes(shp.View, shp.Size, shx.View, shx.Size, ReleaseViews,
                                    const_cast<void*>(shp.View), const_cast<void*>(shx.View));
    if (!handle) {
        UnmapViewOfFile(shp.View);
        UnmapViewOfFile(shx.View);
    }
    return handle;
}
