#include "shapefile/dbfcheck.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

unsigned Le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
unsigned long Le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | ((unsigned long)p[3] << 24);
}

bool KnownVersion(unsigned char v)
{
    static const unsigned char kVersions[] = {0x02, 0x03, 0x04, 0x05, 0x30, 0x31, 0x32, 0x43,
                                              0x63, 0x83, 0x8B, 0x8E, 0xCB, 0xF5, 0xFB};
    for (unsigned char k : kVersions)
        if (k == v)
            return true;
    return false;
}

std::wstring TablePath(const wchar_t* path)
{
    std::wstring base = path;
    const size_t slash = base.find_last_of(L"\\/");
    const size_t dot = base.rfind(L'.');
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash))
        base.resize(dot);
    return base + L".dbf";
}

}  // namespace

int DbfBytesState(const unsigned char* b, size_t size, long long fileSize, long long expectedRecords)
{
    if (!b || size < 32 || !KnownVersion(b[0]))
        return DBF_DAMAGED;
    const long long records = (long long)Le32(b + 4);
    const unsigned header = Le16(b + 8), recordLength = Le16(b + 10);
    if (header < 33 || recordLength < 2 || header > size || (long long)header > fileSize)
        return DBF_DAMAGED;
    unsigned long width = 1;  // the deletion mark
    bool ended = false;
    int fields = 0;
    for (unsigned at = 32; at < header && !ended; at += 32) {
        if (b[at] == 0x0D) {
            ended = true;
            break;
        }
        if (at + 32 > header)
            return DBF_DAMAGED;
        width += b[at + 16];
        ++fields;
    }
    if (!ended || fields == 0 || width != recordLength)
        return DBF_DAMAGED;
    if ((long long)header + records * recordLength > fileSize)
        return DBF_DAMAGED;
    if (expectedRecords >= 0 && records != expectedRecords)
        return DBF_DAMAGED;
    return DBF_SOUND;
}

int CheckDbfFile(const wchar_t* path, long long expectedRecords)
{
    if (!path || !*path)
        return DBF_MISSING;
    HANDLE file = CreateFileW(TablePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? DBF_MISSING : DBF_DAMAGED;
    }
    LARGE_INTEGER size = {};
    std::vector<unsigned char> head(65536);
    DWORD read = 0;
    const bool ok = GetFileSizeEx(file, &size) && ReadFile(file, head.data(), (DWORD)head.size(), &read, nullptr);
    CloseHandle(file);
    if (!ok)
        return DBF_DAMAGED;
    return DbfBytesState(head.data(), read, size.QuadPart, expectedRecords);
}
