#include "common/shellopen.h"

#include <shellapi.h>

namespace {

ShellOpenFn g_opener = nullptr;

bool ShellExecuteOpen(const wchar_t* target)
{
    HINSTANCE result = ShellExecuteW(nullptr, L"open", target, nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace

bool OpenInShell(const wchar_t* target)
{
    if (!target || !*target)
        return false;
    return g_opener ? g_opener(target) : ShellExecuteOpen(target);
}

ShellOpenFn SetShellOpener(ShellOpenFn opener)
{
    ShellOpenFn previous = g_opener;
    g_opener = opener;
    return previous;
}
