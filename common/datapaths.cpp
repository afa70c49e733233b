#include "common/datapaths.h"

#include <windows.h>
#include <shlobj.h>

std::wstring CommonAppDataFolder()
{
    wchar_t folder[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE))
        folder[0] = 0;
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path;
}

std::wstring DefaultDatabasePath()
{
    return CommonAppDataFolder() + L"Kelvane\\Zorna2011\\Data\\ZorBase.mdb";
}
