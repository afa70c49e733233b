// Real Access 2000 files written by Access, read in place from %ZOR_ACCESS_FIXTURES% (by
// default the shared fixture folder the build names, ZOR_ACCESS_FIXTURES_DIR). Tests skip
// themselves when a file is not there.
#pragma once
#include <windows.h>

#include <string>

namespace accessfixtures {

// The full path of a fixture file; empty when it is not there.
inline std::wstring Path(const wchar_t* name)
{
    wchar_t folder[MAX_PATH] = L"";
    if (!GetEnvironmentVariableW(L"ZOR_ACCESS_FIXTURES", folder, MAX_PATH))
        lstrcpynW(folder, ZOR_ACCESS_FIXTURES_DIR, MAX_PATH);
    std::wstring path = std::wstring(folder) + L"\\" + name;
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : path;
}

}  // namespace accessfixtures
