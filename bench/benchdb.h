// Shared by the benchmark programs: a missing benchmark database is made by running the sample
// generator that is built beside them.
#pragma once
#include <windows.h>
#include <cstdio>
#include <string>

inline bool MakeDatabase(const std::wstring& path, long records)
{
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir = exe;
    dir.erase(dir.find_last_of(L"\\/") + 1);
    wchar_t n[32];
    _snwprintf(n, 32, L"%ld", records);
    std::wstring cmd = L"\"" + dir + L"ZorSampleDb.exe\" -o \"" + path + L"\" -n " + n;
    printf("making the database: %ls\n", cmd.c_str());
    fflush(stdout);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        fprintf(stderr, "ZorSampleDb.exe could not be started (error %lu)\n", GetLastError());
        return false;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code == 0 && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
