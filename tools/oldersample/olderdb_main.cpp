// ZorOlderDb: makes a database as an older installation left it, from the sample data.
//   ZorOlderDb [-o] <path> [-n <records>] [-s <seed>] [--current-layout] [--two-column-names]
//              [--late-level] [--every-attribute-type] [--renamed-half]
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tools/oldersample/olderdb.h"

namespace {

void Print(FILE* out, const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], n, nullptr, nullptr);
    fputs(utf8.c_str(), out);
    fflush(out);
}

const wchar_t kUsage[] =
    L"Usage: ZorOlderDb [-o] <database path> [-n <records>] [-s <seed>] [options]\n"
    L"  -n, --records           occurrence records (default 5000)\n"
    L"  -s, --seed              seed of the sample data (default 2011)\n"
    L"  --current-layout        keep the current layout (attribute bounds, locality note, records view)\n"
    L"  --two-column-names      authors and publishers of ID and NAME only\n"
    L"  --late-level            a systematic level added after the record attributes\n"
    L"  --every-attribute-type  further attributes of every type on all six tables\n"
    L"  --renamed-half          every second genus, district, publication and author renamed\n";

}  // namespace

int main()
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    zor::OlderDbOptions options;
    options.sample.records = zor::kSampleDemoRecords;
    std::wstring path;
    for (int k = 1; argv && k < argc; ++k) {
        std::wstring a = argv[k];
        if (a == L"-h" || a == L"--help") {
            Print(stdout, kUsage);
            return 0;
        }
        if ((a == L"-n" || a == L"--records") && k + 1 < argc)
            options.sample.records = _wtoi(argv[++k]);
        else if ((a == L"-s" || a == L"--seed") && k + 1 < argc)
            options.sample.seed = wcstoull(argv[++k], nullptr, 10);
        else if ((a == L"-o" || a == L"--output") && k + 1 < argc)
            path = argv[++k];
        else if (a == L"--current-layout")
            options.olderLayout = false;
        else if (a == L"--two-column-names")
            options.twoColumnNames = true;
        else if (a == L"--late-level")
            options.lateLevel = true;
        else if (a == L"--every-attribute-type")
            options.everyAttributeType = true;
        else if (a == L"--renamed-half")
            options.renamedHalf = true;
        else if (!a.empty() && a[0] != L'-' && path.empty())
            path = a;
        else {
            Print(stderr, L"ZorOlderDb: unknown argument: " + a + L"\n" + kUsage);
            return 2;
        }
    }
    LocalFree(argv);
    if (path.empty() || options.sample.records < 0) {
        Print(stderr, kUsage);
        return 2;
    }
    std::wstring error;
    zor::SampleDbStats stats;
    if (!zor::CreateOlderDatabase(path, options, &error, &stats)) {
        Print(stderr, L"ZorOlderDb: " + error + L"\n");
        return 1;
    }
    Print(stdout, L"ZorOlderDb: " + path + L": " + std::to_wstring(stats.records) + L" records, " +
                      std::to_wstring(stats.taxa) + L" taxa, " + std::to_wstring(stats.localities) + L" localities\n");
    return 0;
}
