// Theme library binding of the main program.
#include "mainapp/theme.h"

#include <initializer_list>

namespace {

ThemeApi g_theme = {};

bool NoThemeLibrary()
{
    wchar_t value[8] = L"";
    DWORD n = GetEnvironmentVariableW(L"PLEXA_NO_UXTHEME", value, 8);
    return n > 0 && n < 8 && value[0] == L'1';
}

template <class F>
void Bind(HMODULE library, const char* name, F*& entry)
{
    entry = reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

const int kImageSize = 26;
const int kStrip1 = 1, kStrip2 = 2;
const COLORREF kMaskColour = RGB(255, 0, 255);

}  // namespace

const ThemeApi& Theme()
{
    return g_theme;
}

HIMAGELIST InitTheme(HINSTANCE instance)
{
    HIMAGELIST previous = g_theme.Images;
    g_theme = ThemeApi();
    g_theme.Images = previous;
    // The library, once loaded, stays loaded; a later binding takes its handle again.
    if (!NoThemeLibrary())
        g_theme.Library = LoadLibraryW(L"uxtheme.dll");
    if (HMODULE lib = g_theme.Library) {
        Bind(lib, "OpenThemeData", g_theme.OpenThemeData);
        Bind(lib, "CloseThemeData", g_theme.CloseThemeData);
        Bind(lib, "DrawThemeParentBackground", g_theme.DrawThemeParentBackground);
        Bind(lib, "DrawThemeBackground", g_theme.DrawThemeBackground);
        Bind(lib, "DrawThemeText", g_theme.DrawThemeText);
        Bind(lib, "DrawThemeIcon", g_theme.DrawThemeIcon);
        Bind(lib, "DrawThemeEdge", g_theme.DrawThemeEdge);
        Bind(lib, "GetThemeMargins", g_theme.GetThemeMargins);
    }
    FreeThemeImages();  // a second main form in the same process builds its own
    g_theme.Images = ImageList_Create(kImageSize, kImageSize, ILC_COLOR8 | ILC_MASK, 4, 4);
    for (int id : {kStrip1, kStrip2}) {
        HBITMAP strip = static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
        if (strip) {
            ImageList_AddMasked(g_theme.Images, strip, kMaskColour);
            DeleteObject(strip);
        }
    }
    return g_theme.Images;
}

void FreeThemeImages()
{
    if (g_theme.Images) {
        ImageList_Destroy(g_theme.Images);
        g_theme.Images = nullptr;
    }
}
