#include "tests/support/hostshell.h"

#include <windows.h>

#include <cstdlib>

#include "tests/support/wintest.h"

namespace wintest {

std::string HostPath(const std::wstring& path)
{
    typedef char*(CDECL * ToUnix)(const wchar_t*);
    ToUnix toUnix =
        reinterpret_cast<ToUnix>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    if (!toUnix)
        return "";
    char* unix = toUnix(path.c_str());
    std::string result = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

bool HostHas(const char* unixPath)
{
    std::string p(unixPath);
    return FileExists(L"Z:" + std::wstring(p.begin(), p.end()));
}

int RunHostShell(const std::string& command)
{
    wchar_t temp[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring mark = std::wstring(temp) + L"zor_host_status_" + std::to_wstring(GetCurrentProcessId());
    DeleteFileW(mark.c_str());
    const std::string markPath = HostPath(mark);
    if (markPath.empty())
        return -1;
    std::string full = "(" + command + "); echo $? > " + markPath + ".part; mv " + markPath + ".part " + markPath;
    std::wstring line = L"/bin/sh -c \"";
    for (char c : full)
        line += (c == '"') ? std::wstring(L"\\\"") : std::wstring(1, (wchar_t)(unsigned char)c);
    line += L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (!PumpUntil([&] { return FileExists(mark); }, 120000))
        return -1;
    const std::string status = ReadFileBytes(mark);
    DeleteFileW(mark.c_str());
    return status.empty() ? -1 : atoi(status.c_str());
}

SmallDisk::SmallDisk() : folder_(MakeTempFolder(L"fulldisk")), host_(HostPath(folder_))
{
    mounted_ = !host_.empty() && RunHostShell("mount -t tmpfs -o size=16m tmpfs '" + host_ + "' 2>/dev/null") == 0;
}

SmallDisk::~SmallDisk()
{
    if (mounted_)
        RunHostShell("umount '" + host_ + "'");
    RemoveFolder(folder_);
}

void SmallDisk::Fill()
{
    RunHostShell("dd if=/dev/zero of='" + host_ + "/.fill' bs=4k 2>/dev/null; true");
}

void SmallDisk::Free()
{
    RunHostShell("rm -f '" + host_ + "/.fill'");
}

}  // namespace wintest
