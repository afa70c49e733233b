// Library-internal state shared by the controls of Plexa.dll: the module instance, the theme
// binding, the BUTTON superclass data, and the window procedures registered by plexa_entry.cpp.
#pragma once
#include <windows.h>
#include <uxtheme.h>
#include "plexa.h"

// uxtheme entry points, bound by name at every registration call (LoadThemeApi). Any of them may
// be null; a control draws themed only when PlexaThemedDrawingOn() holds and PlexaOpenTheme
// returns a theme.
struct PlexaThemeApi {
    HTHEME(WINAPI* OpenThemeData)(HWND, LPCWSTR);
    HRESULT(WINAPI* CloseThemeData)(HTHEME);
    HRESULT(WINAPI* DrawThemeParentBackground)(HWND, HDC, const RECT*);
    HRESULT(WINAPI* DrawThemeBackground)(HTHEME, HDC, int, int, const RECT*, const RECT*);
    HRESULT(WINAPI* DrawThemeBackgroundEx)(HTHEME, HDC, int, int, const RECT*, const DTBGOPTS*);
    HRESULT(WINAPI* DrawThemeText)(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, DWORD, const RECT*);
    HRESULT(WINAPI* DrawThemeIcon)(HTHEME, HDC, int, int, const RECT*, HIMAGELIST, int);
    HRESULT(WINAPI* DrawThemeEdge)(HTHEME, HDC, int, int, const RECT*, UINT, UINT, RECT*);
    HRESULT(WINAPI* GetThemeMargins)(HTHEME, HDC, int, int, int, RECT*, MARGINS*);
    HRESULT(WINAPI* GetThemeMetric)(HTHEME, HDC, int, int, int, int*);
    HRESULT(WINAPI* GetThemeBackgroundExtent)(HTHEME, HDC, int, int, const RECT*, RECT*);
    int(WINAPI* GetThemeSysSize)(HTHEME, int);
    BOOL(WINAPI* IsThemeActive)(void);
    BOOL(WINAPI* IsAppThemed)(void);
    HRESULT(WINAPI* GetCurrentThemeName)(LPWSTR, int, LPWSTR, int, LPWSTR, int);
    DWORD(WINAPI* GetThemeAppProperties)(void);
};

extern HINSTANCE g_plexaInstance;   // the library's module handle
extern PlexaThemeApi g_plexaTheme;  // the bound theme entry points

// BUTTON's own window procedure and extra-byte count, read when IMGBUTTON is registered; the
// image button's extra bytes follow BUTTON's.
extern WNDPROC g_buttonClassProc;
extern int g_buttonClassExtra;

// Nonzero when themed drawing is possible (the exported IsXPUIEnabled).
bool PlexaThemedDrawingOn();
// Opens the theme for the class list when themed drawing is on, else null. Close it with
// PlexaCloseTheme at the end of the paint.
HTHEME PlexaOpenTheme(HWND hwnd, LPCWSTR classList);
void PlexaCloseTheme(HTHEME theme);

// Snapshot of the Tab and Alt keys (asynchronous and queued states) kept at creation; a later
// snapshot that differs, or the keyboard-preference setting, shows that the keyboard is in use
// and focus cues should be drawn.
int PlexaKeyStateSnapshot();
bool PlexaKeyboardInUse(int savedSnapshot);

// Integer window properties (a property never set reads 0).
inline int PlexaGetProp(HWND hwnd, LPCWSTR name)
{
    return (int)(INT_PTR)GetPropW(hwnd, name);
}
inline void PlexaSetProp(HWND hwnd, LPCWSTR name, int value)
{
    SetPropW(hwnd, name, (HANDLE)(INT_PTR)value);
}

// WM_PAINT: paint(dc) draws into the DC given in wParam (a parent printing the control) or,
// without one, between BeginPaint and EndPaint.
template <class Paint>
void PlexaOnPaint(HWND hwnd, WPARAM wParam, Paint paint)
{
    if (wParam) {
        paint(reinterpret_cast<HDC>(wParam));
    } else {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        paint(dc);
        EndPaint(hwnd, &ps);
    }
}

// Window procedures of the four classes (one per class, shared by the ANSI and wide variants).
LRESULT CALLBACK InplaceComboWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK PropertyBoxWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ImgButtonWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK InplaceButtonWndProc(HWND, UINT, WPARAM, LPARAM);
