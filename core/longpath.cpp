#include "core/longpath.h"

#include <algorithm>
#include <vector>

#include "core/replacefile.h"

namespace {

const wchar_t kExtendedPrefix[] = L"\\\\?\\";
long long gWriteLimit = -1;  // bytes every write may still put on the disk; -1 no limit

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

bool WriteAll(HANDLE file, const void* bytes, size_t size)
{
    const char* p = static_cast<const char*>(bytes);
    size_t done = 0;
    while (done < size) {
        DWORD chunk = (DWORD)std::min<size_t>(size - done, 1u << 24);
        if (gWriteLimit >= 0 && (unsigned long long)gWriteLimit < chunk) {
            // The disk is full after the limit: what fits is written, then the write fails.
            DWORD fits = (DWORD)gWriteLimit, written = 0;
            if (fits)
                WriteFile(file, p + done, fits, &written, nullptr);
            gWriteLimit -= written;
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        DWORD written = 0;
        if (!WriteFile(file, p + done, chunk, &written, nullptr) || written != chunk)
            return false;
        if (gWriteLimit >= 0)
            gWriteLimit -= written;
        done += written;
    }
    return true;
}

long long SetWriteLimitForTests(long long bytes)
{
    long long previous = gWriteLimit;
    gWriteLimit = bytes;
    return previous;
}

bool WriteWholeFile(const wchar_t* path, const void* bytes, size_t size)
{
    // The bytes go to a file beside it, which then takes the file's place: a write that fails
    // (a full disk) leaves the old file as it was, never a part of the new one.
    std::wstring target = FileSystemPath(path);
    std::wstring temp = target + L".tmp";
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = WriteAll(file, bytes, size) && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    return ReplaceWithTempFile(temp, target.c_str(), ok ? 0 : ERROR_WRITE_FAULT) == 0;
}
