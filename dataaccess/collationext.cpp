#include "dataaccess/collationext.h"

#include <windows.h>

#include <mutex>

#include "dataaccess/connstr.h"

namespace zdata {

const wchar_t kCzechCollation[] = L"CZECH";
const wchar_t kCzechNoCaseCollation[] = L"CZECH_NOCASE";
const wchar_t kCzechOrderProbeSql[] = L"SELECT 'a' < 'b' COLLATE CZECH, 'a' = 'A' COLLATE CZECH_NOCASE";

namespace {

std::mutex g_folderLock;
std::wstring g_folder;  // empty: beside the program

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2)
        return std::wstring();
    std::wstring folder(path, n);
    size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

}  // namespace

const wchar_t* CollationExtensionFileName()
{
    return RunningUnderWine() ? L"libczechcollation.so" : L"czechcollation.dll";
}

std::wstring CollationExtensionFolder()
{
    std::lock_guard<std::mutex> hold(g_folderLock);
    return g_folder.empty() ? ProgramFolder() : g_folder;
}

void SetCollationExtensionFolder(const wchar_t* folder)
{
    std::lock_guard<std::mutex> hold(g_folderLock);
    g_folder = folder ? folder : L"";
    while (!g_folder.empty() && (g_folder.back() == L'\\' || g_folder.back() == L'/'))
        g_folder.pop_back();
}

std::wstring CollationExtensionPath()
{
    return CollationExtensionFolder() + L"\\" + CollationExtensionFileName();
}

std::wstring CollationLoadExtValue()
{
    std::wstring path = CollationExtensionPath();
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::wstring();
    std::wstring host;
    if (!HostPathOf(path, &host))
        return std::wstring();
    return DriverPathText(host);
}

}  // namespace zdata
