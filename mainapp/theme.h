// The main program's run-time binding of the theme library (absent on old systems) and the
// shared 26 x 26 image list of the program's two image strips.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

struct ThemeApi
{
    HMODULE Library;  // uxtheme.dll, kept loaded; null when it is not there
    HTHEME(WINAPI* OpenThemeData)(HWND, LPCWSTR);
    HRESULT(WINAPI* CloseThemeData)(HTHEME);
    HRESULT(WINAPI* DrawThemeParentBackground)(HWND, HDC, const RECT*);
    HRESULT(WINAPI* DrawThemeBackground)(HTHEME, HDC, int, int, const RECT*, const RECT*);
    HRESULT(WINAPI* DrawThemeText)(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, DWORD, const RECT*);
    HRESULT(WINAPI* DrawThemeIcon)(HTHEME, HDC, int, int, const RECT*, HIMAGELIST, int);
    HRESULT(WINAPI* DrawThemeEdge)(HTHEME, HDC, int, int, const RECT*, UINT, UINT, RECT*);
    HRESULT(WINAPI* GetThemeMargins)(HTHEME, HDC, int, int, int, const RECT*, MARGINS*);
    HIMAGELIST Images;  // 26 x 26, bitmaps 1 and 2, magenta transparent
};

// The binding of the process (all null before InitTheme).
const ThemeApi& Theme();

// Binds the theme library's entry points (each may be missing) and builds the image list,
// which is made whether or not the library loads. PLEXA_NO_UXTHEME=1 behaves as a system
// without the library, as the controls library does. Returns the image list.
HIMAGELIST InitTheme(HINSTANCE instance);

// Destroys the image list (the main form's destructor); the library stays loaded.
void FreeThemeImages();
