// ZorExchangeGen: writes an exchange file of the previous version for trying the import.
//   ZorExchangeGen.exe -t zxf|zxs|zxl -o <file> [-n rows] [-s seed] [-e crlf|lf|cr]
//                      [-cut bytes] [-utf16] [-utf8]
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tools/exchangegen/exchangegen.h"

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    exgen::BulkOptions options;
    std::wstring type = L"zxf", out;
    long long cut = -1;
    bool utf16 = false, utf8 = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        bool more = i + 1 < argc;
        if (a == L"-t" && more)
            type = argv[++i];
        else if (a == L"-o" && more)
            out = argv[++i];
        else if (a == L"-n" && more)
            options.count = _wtoi(argv[++i]);
        else if (a == L"-s" && more)
            options.seed = (unsigned)_wtoi(argv[++i]);
        else if (a == L"-e" && more) {
            std::wstring e = argv[++i];
            options.end = e == L"lf" ? exgen::LineEnd::Lf : e == L"cr" ? exgen::LineEnd::Cr : exgen::LineEnd::CrLf;
        } else if (a == L"-cut" && more)
            cut = _wtoi64(argv[++i]);
        else if (a == L"-utf16")
            utf16 = true;
        else if (a == L"-utf8")
            utf8 = true;
    }
    if (out.empty() || (type != L"zxf" && type != L"zxs" && type != L"zxl")) {
        fwprintf(stderr, L"ZorExchangeGen -t zxf|zxs|zxl -o file [-n rows] [-s seed] [-e crlf|lf|cr] [-cut bytes] [-utf16] [-utf8]\n");
        return 2;
    }
    std::string bytes = type == L"zxf" ? exgen::BulkRecordsFile(options)
                        : type == L"zxs" ? exgen::BulkSystemFile(options)
                                         : exgen::BulkLocalityFile(options);
    if (cut >= 0)
        bytes = exgen::CutAt(bytes, (size_t)cut);
    if (utf16)
        bytes = exgen::AsUtf16(bytes);
    if (utf8)
        bytes = exgen::WithUtf8Mark(bytes);
    if (!exgen::WriteBytes(out, bytes)) {
        fwprintf(stderr, L"cannot write %ls\n", out.c_str());
        return 1;
    }
    return 0;
}
