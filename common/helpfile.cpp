#include "common/helpfile.h"

namespace {

const UINT kDisplayTopic = 0;  // HH_DISPLAY_TOPIC
typedef HWND(WINAPI* HtmlHelpWFn)(HWND, LPCWSTR, UINT, DWORD_PTR);

HelpViewerFn g_viewer = nullptr;

bool OpenWithHtmlHelp(const wchar_t* path)
{
    static HtmlHelpWFn htmlHelp = [] {
        HMODULE lib = LoadLibraryW(L"hhctrl.ocx");
        if (!lib)
            return static_cast<HtmlHelpWFn>(nullptr);
        auto fn = reinterpret_cast<HtmlHelpWFn>(GetProcAddress(lib, "HtmlHelpW"));
        if (!fn)
            fn = reinterpret_cast<HtmlHelpWFn>(GetProcAddress(lib, MAKEINTRESOURCEA(15)));
        return fn;
    }();
    if (!htmlHelp)
        return false;
    htmlHelp(nullptr, path, kDisplayTopic, 0);
    return true;
}

}  // namespace

bool ShowHelpFile(const wchar_t* path)
{
    if (!path || !*path)
        return false;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    return g_viewer ? g_viewer(path) : OpenWithHtmlHelp(path);
}

HelpViewerFn SetHelpViewer(HelpViewerFn viewer)
{
    HelpViewerFn previous = g_viewer;
    g_viewer = viewer;
    return previous;
}
