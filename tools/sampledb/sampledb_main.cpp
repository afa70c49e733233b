// ZorSampleDb: makes a Zorna database file with the sample data (or an empty one).
//   ZorSampleDb [-o] <path> [-n <records>] [-s <seed>] [--empty] [--older-attribute-table]
//   ZorSampleDb --print-schema
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "core/dbschema.h"
#include "tools/sampledb/sampledb.h"

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
    L"Usage: ZorSampleDb [-o] <database path> [-n <records>] [-s <seed>] [--empty]\n"
    L"  -o, --output   the database file to make (folders are created as needed)\n"
    L"  -n, --records  number of occurrence records (default 5000)\n"
    L"  -s, --seed     seed of the generator; the same seed gives the same database (default 2011)\n"
    L"  --empty        only the tables, views and root rows, no sample data\n"
    L"  --orphan-attribute      also an attribute definition whose column is missing\n"
    L"  --four-column-pictures  picture tables without the thumbnail column\n"
    L"  --older-attribute-table attribute definitions without MINVAL, MAXVAL and NULLVAL\n"
    L"  --print-schema the schema script, to standard output\n"
    L"An existing file that is not an SQLite database is never overwritten.\n";

bool ParseNumber(const wchar_t* text, unsigned long long max, unsigned long long& out)
{
    if (!text || !*text)
        return false;
    wchar_t* end = nullptr;
    unsigned long long v = wcstoull(text, &end, 10);
    if (!end || *end || v > max || text[0] == L'-')
        return false;
    out = v;
    return true;
}

}  // namespace

int main()
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    zor::SampleDbOptions options;
    options.records = zor::kSampleDemoRecords;
    std::wstring path;
    for (int k = 1; argv && k < argc; ++k) {
        std::wstring a = argv[k];
        unsigned long long v = 0;
        if (a == L"-h" || a == L"--help" || a == L"/?") {
            Print(stdout, kUsage);
            return 0;
        } else if ((a == L"-o" || a == L"--output") && k + 1 < argc) {
            path = argv[++k];
        } else if (a == L"-n" || a == L"--records") {
            if (k + 1 >= argc || !ParseNumber(argv[++k], 50000000ull, v)) {
                Print(stderr, L"ZorSampleDb: the record count must be a number from 0 to 50000000.\n");
                return 2;
            }
            options.records = (int)v;
        } else if (a == L"-s" || a == L"--seed") {
            if (k + 1 >= argc || !ParseNumber(argv[++k], ~0ull, v)) {
                Print(stderr, L"ZorSampleDb: the seed must be a non-negative number.\n");
                return 2;
            }
            options.seed = v;
        } else if (a == L"--empty") {
            options.empty = true;
        } else if (a == L"--orphan-attribute") {
            options.orphanAttribute = true;
        } else if (a == L"--four-column-pictures") {
            options.fourColumnPictures = true;
        } else if (a == L"--older-attribute-table") {
            options.olderAttributeTable = true;
        } else if (a == L"--print-schema") {
            std::wstring script;
            for (const std::wstring& statement : zor::SplitSqlScript(zor::SchemaScriptText()))
                script += statement + L";\n\n";
            Print(stdout, script);
            return 0;
        } else if (!a.empty() && a[0] != L'-' && path.empty()) {
            path = a;
        } else {
            Print(stderr, L"ZorSampleDb: unknown argument: " + a + L"\n" + kUsage);
            return 2;
        }
    }
    LocalFree(argv);
    if (path.empty()) {
        Print(stderr, std::wstring(L"ZorSampleDb: no database path given.\n") + kUsage);
        return 2;
    }
    std::wstring error;
    zor::SampleDbStats stats;
    if (!zor::CreateSampleDatabase(path, options, &error, &stats)) {
        Print(stderr, L"ZorSampleDb: " + error + L"\n");
        return 1;
    }
    wchar_t line[512];
    if (options.empty)
        _snwprintf(line, 512, L"ZorSampleDb: empty database made: %s\n", path.c_str());
    else
        _snwprintf(line, 512,
                   L"ZorSampleDb: %s: %d records, %d taxa (%d species rows), %d localities, "
                   L"%d publications in %.1f s\n",
                   path.c_str(), stats.records, stats.taxa, stats.species, stats.localities,
                   stats.publications, stats.seconds);
    line[511] = 0;
    Print(stdout, line);
    return 0;
}
