#include "core/longpath.h"

#include <algorithm>
#include <vector>

namespace {

const wchar_t kExtendedPrefix[] = L"\\\\?\\";

}  // namespace

std::wstring FileSystemPath(const wchar_t* path)
{
    std::wstring text = path ? path : L"";
    if (text.size() < MAX_PATH || text.compare(0, 4, kExtendedPrefix) == 0)
        return text;
    DWORD n = GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
    if (!n)
        return text;
    std::vector<wchar_t> full(n + 1);
    if (!GetFullPathNameW(text.c_str(), (DWORD)full.size(), full.data(), nullptr))
        return text;
    std::wstring absolute = full.data();
    if (absolute.compare(0, 2, L"\\\\") == 0)
        return std::wstring(kExtendedPrefix) + L"UNC\\" + absolute.substr(2);
    return kExtendedPrefix + absolute;
}

bool ReadFileHead(const wchar_t* path, size_t limit, std::string* bytes)
{
    bytes->clear();
    HANDLE file = CreateFileW(FileSystemPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) != FALSE;
    if (ok) {
        unsigned long long want = (unsigned long long)size.QuadPart;
        if (limit && want > limit)
            want = limit;
        bytes->resize((size_t)want);
        size_t done = 0;
        while (ok && done < bytes->size()) {
            DWORD chunk = (DWORD)std::min<size_t>(bytes->size() - done, 1u << 24);
            DWORD read = 0;
            ok = ReadFile(file, &(*bytes)[done], chunk, &read, nullptr) && read > 0;
            done += read;
        }
    }
    CloseHandle(file);
    return ok;
}

bool WriteWholeFile(const wchar_t* path, const void* bytes, size_t size)
{
    HANDLE file = CreateFileW(FileSystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const char* p = static_cast<const char*>(bytes);
    size_t done = 0;
    bool ok = true;
    while (ok && done < size) {
        DWORD chunk = (DWORD)std::min<size_t>(size - done, 1u << 24);
        DWORD written = 0;
        ok = WriteFile(file, p + done, chunk, &written, nullptr) && written == chunk;
        done += written;
    }
    ok = CloseHandle(file) && ok;
    return ok;
}
