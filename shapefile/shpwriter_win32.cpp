// Writing a whole file by wide path, for the shapefile writer's callers on Windows.
#include <windows.h>

#include <algorithm>

#include "shapefile/shpwriter.h"

namespace shpw {

bool WriteFileBytes(const std::wstring& path, const std::vector<unsigned char>& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        DWORD chunk = (DWORD)std::min<size_t>(bytes.size() - done, 1 << 24), written = 0;
        ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) && written == chunk;
        done += written;
    }
    return CloseHandle(file) && ok;
}

}  // namespace shpw
