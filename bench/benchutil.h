// Shared by the benchmark programs: the clock, the median of a run's times, the message pump,
// the command line "<database path> [-n <records>] [<count options>]" and the benchmark
// database (made by the sample generator built beside the programs when it is missing, copied
// for the benchmarks that write).
#pragma once
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "dataaccess/worktrace.h"

// ---- time ----

inline double NowMs()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart * 1000.0 / frequency.QuadPart;
}

inline double NowSeconds()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER q;
        QueryPerformanceFrequency(&q);
        return q;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)frequency.QuadPart;
}

// The middle value (the upper of the two middle ones of an even count); 0 for no values.
inline double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// ---- the data layer's work ----

// What one row of an import cost on average (count rows in seconds): the layer's work by kind
// (zdata::TraceWork was on), then the rest, the program's own work.
inline void PrintWorkProfile(const char* what, int count, double seconds, const std::vector<zdata::WorkFigure>& trace)
{
    if (count <= 0)
        return;
    printf("profile of one %s (%d in %.2f s, %.1f us each):\n", what, count, seconds, seconds * 1e6 / count);
    printf("  %10s %10s  %s\n", "per row", "us", "work");
    double traced = 0;
    for (const zdata::WorkFigure& w : trace) {
        traced += w.seconds;
        printf("  %10.3f %10.2f  %.150ls\n", (double)w.count / count, w.seconds * 1e6 / count, w.kind.c_str());
    }
    printf("  %10s %10.2f  the program's own work (the rest)\n", "", (seconds - traced) * 1e6 / count);
    fflush(stdout);
}

// ---- memory ----

// The most memory the process has held so far (its peak working set), in MB.
inline double PeakMemoryMb()
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    return pmc.PeakWorkingSetSize / 1048576.0;
}

// Dispatches what is queued now.
inline void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// ---- the benchmark database ----

// Runs a program built beside this one with the arguments and waits for it; true when it ended
// with code 0.
inline bool RunSiblingProgram(const wchar_t* program, const std::wstring& arguments)
{
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir = exe;
    dir.erase(dir.find_last_of(L"\\/") + 1);
    std::wstring cmd = L"\"" + dir + program + L"\" " + arguments;
    printf("running: %ls\n", cmd.c_str());
    fflush(stdout);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        fprintf(stderr, "%ls could not be started (error %lu)\n", program, GetLastError());
        return false;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code == 0;
}

inline bool MakeDatabase(const std::wstring& path, long records)
{
    return RunSiblingProgram(L"ZorSampleDb.exe", L"-o \"" + path + L"\" -n " + std::to_wstring(records)) &&
           GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A working copy for a benchmark that writes, so that the database itself stays as it was.
inline bool CopyDatabase(const std::wstring& from, const std::wstring& to)
{
    if (CopyFileW(from.c_str(), to.c_str(), FALSE))
        return true;
    fprintf(stderr, "cannot copy the database (error %lu)\n", GetLastError());
    return false;
}

// ---- the command line ----

// "--runs <count>" and the like; a smaller count is raised to the minimum.
struct CountOption
{
    const wchar_t* name;
    int* value;
    int minimum;
};

// What the words that are no option mean.
enum class PathWords
{
    Last,       // each is taken as the path; the last one counts
    FirstOnly,  // the first not starting with '-' is the path; the others are passed over
    Strict,     // the first not starting with '-' is the path; any other shows the usage
};

// Reads "<database path> [-n <records>] [<count options>]" and makes a missing database with
// that many records (1,000,000 by default). Returns 0 to go on, otherwise the exit code: 2 once
// the usage is shown on usageTo, 1 when the database could not be made.
inline int ReadBenchArgs(std::initializer_list<CountOption> counts, PathWords words, FILE* usageTo,
                         const char* usage, std::wstring* path)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    long records = 1000000;
    path->clear();
    for (int k = 1; k < argc; ++k) {
        std::wstring a = argv[k];
        bool taken = false;
        if ((a == L"-n" || a == L"--records") && k + 1 < argc) {
            records = _wtol(argv[++k]);
            taken = true;
        }
        for (const CountOption& c : counts)
            if (!taken && a == c.name && k + 1 < argc) {
                *c.value = std::max(c.minimum, _wtoi(argv[++k]));
                taken = true;
            }
        if (taken)
            continue;
        if (words == PathWords::Last)
            *path = a;
        else if (path->empty() && a[0] != L'-')
            *path = a;
        else if (words == PathWords::Strict) {
            path->clear();
            break;
        }
    }
    LocalFree(argv);
    if (path->empty()) {
        fprintf(usageTo, "%s", usage);
        return 2;
    }
    if (GetFileAttributesW(path->c_str()) == INVALID_FILE_ATTRIBUTES && !MakeDatabase(*path, records))
        return 1;
    return 0;
}
