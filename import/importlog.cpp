#include "import/importlog.h"

#include <shlobj.h>
#include <strsafe.h>

namespace {

const wchar_t kDataKey[] = L"Software\\Kelvane\\Z211";
const wchar_t kDataValue[] = L"Z211 Data";
const wchar_t kDefaultSubfolder[] = L"Kelvane\\Zorna2011\\";

std::wstring WithBackslash(std::wstring folder)
{
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

std::wstring DefaultDataFolder()
{
    wchar_t common[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common);
    return WithBackslash(common) + kDefaultSubfolder;
}

std::wstring RegistryDataFolder()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDataKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t value[1024] = L"";
    DWORD type = 0;
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    LONG rc = RegQueryValueExW(key, kDataValue, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return std::wstring();
    value[bytes / sizeof(wchar_t)] = 0;
    return value;
}

bool FormatInto(const std::wstring& folder, const SYSTEMTIME& t, wchar_t* path, int size)
{
    wchar_t name[64];
    StringCchPrintfW(name, 64, L"Imp%d%.2d%.2d_%.2d%.2d%.2d.log", t.wYear, t.wMonth, t.wDay,
                     t.wHour, t.wMinute, t.wSecond);
    std::wstring full = WithBackslash(folder) + name;
    if ((int)full.size() >= size)
        return false;
    StringCchCopyW(path, size, full.c_str());
    return true;
}

}  // namespace

std::wstring ImportDataFolder()
{
    std::wstring folder = RegistryDataFolder();
    return folder.empty() ? DefaultDataFolder() : WithBackslash(folder);
}

bool FormatImportLogPath(const std::wstring& folder, const SYSTEMTIME& time, wchar_t* path, int size)
{
    if (size <= 0)
        return false;
    path[0] = 0;
    return FormatInto(folder, time, path, size) || FormatInto(DefaultDataFolder(), time, path, size);
}

void BuildImportLogPath(ImportLog* log)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatImportLogPath(ImportDataFolder(), now, log->LogPath, ARRAYSIZE(log->LogPath));
}

const wchar_t* GetImportLogPath(const ImportLog* log)
{
    return log->LogPath;
}

BOOL DeleteImportLog(const ImportLog* log)
{
    return DeleteFileW(log->LogPath);
}
