// Library entry point, class registration and the theme binding shared by all controls.
#include "plexa_internal.h"
#include <commctrl.h>
#include <shlwapi.h>

HINSTANCE g_plexaInstance = nullptr;
PlexaThemeApi g_plexaTheme = {};
WNDPROC g_buttonClassProc = nullptr;
int g_buttonClassExtra = 0;

namespace {

// Library-wide state: one copy per process, touched only on the user-interface thread.
WORD g_registered = 0;       // class bits registered by this library
int g_wideRegistration = 0;  // unregister by wide names at unload
HMODULE g_uxtheme = nullptr; // loaded by the last registration call, never freed
int g_themedUi = 0;          // IsXPUIEnabled

struct ClassSpec {
    WORD bit;
    const wchar_t* wideName;
    const char* ansiName;
};

const ClassSpec kClasses[] = {
    {PLEXA_INPLACECOMBOBOX, WC_INPLACECOMBOBOXW, WC_INPLACECOMBOBOXA},
    {PLEXA_PROPERTYBOX, WC_PROPERTYBOXW, WC_PROPERTYBOXA},
    {PLEXA_IMGBUTTON, WC_IMGBUTTONW, WC_IMGBUTTONA},
    {PLEXA_INPLACEBUTTON, WC_INPLACEBUTTONW, WC_INPLACEBUTTONA},
};

bool EnvSwitchOn(const wchar_t* name)
{
    // Read through the process environment block, so that a switch set at run time counts.
    wchar_t value[8] = {};
    DWORD n = GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    return n > 0 && n < ARRAYSIZE(value) && value[0] == L'1';
}

template <class T>
void Bind(T& slot, const char* name)
{
    FARPROC p = GetProcAddress(g_uxtheme, name);
    slot = reinterpret_cast<T>(reinterpret_cast<void*>(p));
}

// Binds uxtheme.dll and decides whether themed drawing is possible. Runs on every registration.
void LoadThemeApi()
{
    g_themedUi = 0;
    // PLEXA_NO_UXTHEME=1 behaves as a system without the theme library (tests of the classic path).
    g_uxtheme = EnvSwitchOn(L"PLEXA_NO_UXTHEME") ? nullptr : LoadLibraryA("uxtheme.dll");
    if (!g_uxtheme)
        return;

    PlexaThemeApi& t = g_plexaTheme;
    Bind(t.OpenThemeData, "OpenThemeData");
    Bind(t.CloseThemeData, "CloseThemeData");
    Bind(t.DrawThemeParentBackground, "DrawThemeParentBackground");
    Bind(t.DrawThemeBackground, "DrawThemeBackground");
    Bind(t.DrawThemeBackgroundEx, "DrawThemeBackgroundEx");
    Bind(t.DrawThemeText, "DrawThemeText");
    Bind(t.DrawThemeIcon, "DrawThemeIcon");
    Bind(t.DrawThemeEdge, "DrawThemeEdge");
    Bind(t.GetThemeMargins, "GetThemeMargins");
    Bind(t.GetThemeMetric, "GetThemeMetric");
    Bind(t.GetThemeBackgroundExtent, "GetThemeBackgroundExtent");
    Bind(t.GetThemeSysSize, "GetThemeSysSize");
    Bind(t.IsThemeActive, "IsThemeActive");
    Bind(t.IsAppThemed, "IsAppThemed");
    Bind(t.GetCurrentThemeName, "GetCurrentThemeName");
    Bind(t.GetThemeAppProperties, "GetThemeAppProperties");

    // Visual styles need the version 6 common controls (selected by the programs' manifests).
    if (HMODULE comctl = LoadLibraryA("comctl32.dll")) {
        auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
            reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion")));
        DLLVERSIONINFO info = {};
        info.cbSize = sizeof(info);  // 20 bytes on every platform
        if (getVersion && SUCCEEDED(getVersion(&info)) && info.dwMajorVersion > 5)
            g_themedUi = 1;
    }
    // Wine's common controls report 5.81 even in a version 6 context; PLEXA_FORCE_THEMED=1 lets
    // the themed drawing run there anyway.
    if (EnvSwitchOn(L"PLEXA_FORCE_THEMED"))
        g_themedUi = 1;
}

WNDPROC ProcFor(WORD bit)
{
    switch (bit) {
    case PLEXA_INPLACECOMBOBOX: return InplaceComboWndProc;
    case PLEXA_PROPERTYBOX: return PropertyBoxWndProc;
    case PLEXA_IMGBUTTON: return ImgButtonWndProc;
    default: return InplaceButtonWndProc;
    }
}

// Fills the class values shared by the ANSI and the wide registration; returns false when the
// BUTTON class to be superclassed cannot be read.
template <class WC>
bool FillClass(WC& wc, WORD bit)
{
    wc.cbSize = sizeof(wc);
    wc.hInstance = g_plexaInstance;
    wc.hIcon = nullptr;
    wc.hIconSm = nullptr;
    wc.cbClsExtra = 0;
    wc.lpfnWndProc = ProcFor(bit);
    switch (bit) {
    case PLEXA_INPLACECOMBOBOX:
        wc.style = CS_GLOBALCLASS | CS_SAVEBITS | CS_DBLCLKS;
        wc.cbWndExtra = 2 * sizeof(HWND);  // list, edit
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        break;
    case PLEXA_PROPERTYBOX:
        wc.style = CS_GLOBALCLASS | CS_SAVEBITS | CS_DBLCLKS;
        wc.cbWndExtra = sizeof(void*);  // the box's data
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        break;
    case PLEXA_INPLACEBUTTON:
        wc.style = CS_GLOBALCLASS | CS_SAVEBITS;
        wc.cbWndExtra = 0;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        break;
    }
    wc.lpszMenuName = nullptr;
    return true;
}

// Turns the system BUTTON class just read into the image button's superclass, ANSI or wide
// alike; the button's own window bytes stay first, ours follow.
template <class WC>
void AdaptButtonClass(WC& wc)
{
    g_buttonClassProc = wc.lpfnWndProc;
    g_buttonClassExtra = wc.cbWndExtra;
    wc.style |= CS_GLOBALCLASS;
    wc.cbWndExtra += 2 * sizeof(LONG_PTR);  // image list, focus-cue flag
    wc.hInstance = g_plexaInstance;
    wc.lpfnWndProc = ImgButtonWndProc;
    wc.hIcon = nullptr;
    wc.hIconSm = nullptr;
    wc.lpszMenuName = nullptr;
    wc.cbClsExtra = 0;
}

void RegisterOne(const ClassSpec& c, bool wide)
{
    if (wide) {
        WNDCLASSEXW wc = {};
        if (c.bit == PLEXA_IMGBUTTON) {
            wc.cbSize = sizeof(wc);
            if (!GetClassInfoExW(nullptr, L"BUTTON", &wc))
                return;
            AdaptButtonClass(wc);
        } else {
            FillClass(wc, c.bit);
        }
        wc.lpszClassName = c.wideName;
        RegisterClassExW(&wc);
    } else {
        WNDCLASSEXA wc = {};
        if (c.bit == PLEXA_IMGBUTTON) {
            wc.cbSize = sizeof(wc);
            if (!GetClassInfoExA(nullptr, "BUTTON", &wc))
                return;
            AdaptButtonClass(wc);
        } else {
            FillClass(wc, c.bit);
        }
        wc.lpszClassName = c.ansiName;
        RegisterClassExA(&wc);
    }
}

int RegisterClasses(UINT flags, bool wide)
{
    LoadThemeApi();
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_USEREX_CLASSES};
    InitCommonControlsEx(&icc);
    WORD wanted = static_cast<WORD>(flags & 0xFFFF);
    for (const ClassSpec& c : kClasses) {
        if ((wanted & c.bit) && !(g_registered & c.bit)) {
            RegisterOne(c, wide);
            // A failed registration is not retried later.
            g_registered |= c.bit;
        }
    }
    return g_registered;
}

void UnregisterClasses()
{
    for (const ClassSpec& c : kClasses) {
        if (g_registered & c.bit) {
            if (g_wideRegistration)
                UnregisterClassW(c.wideName, g_plexaInstance);
            else
                UnregisterClassA(c.ansiName, g_plexaInstance);
            g_registered &= ~c.bit;
        }
    }
}

}  // namespace

bool PlexaThemedDrawingOn()
{
    return g_themedUi != 0;
}

HTHEME PlexaOpenTheme(HWND hwnd, LPCWSTR classList)
{
    if (!g_themedUi || !g_plexaTheme.OpenThemeData)
        return nullptr;
    return g_plexaTheme.OpenThemeData(hwnd, classList);
}

void PlexaCloseTheme(HTHEME theme)
{
    if (theme && g_plexaTheme.CloseThemeData)
        g_plexaTheme.CloseThemeData(theme);
}

int PlexaKeyStateSnapshot()
{
    int s = 0;
    if (GetAsyncKeyState(VK_TAB) & 0x8000) s |= 1;
    if (GetKeyState(VK_TAB) & 0x8000) s |= 2;
    if (GetAsyncKeyState(VK_MENU) & 0x8000) s |= 4;
    if (GetKeyState(VK_MENU) & 0x8000) s |= 8;
    return s;
}

bool PlexaKeyboardInUse(int savedSnapshot)
{
    BOOL pref = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDPREF, 0, &pref, 0);
    return pref || PlexaKeyStateSnapshot() != savedSnapshot;
}

extern "C" int WINAPI RegisterPlexaA(UINT flags)
{
    return RegisterClasses(flags, false);
}

extern "C" int WINAPI RegisterPlexaW(UINT flags)
{
    g_wideRegistration = 1;
    return RegisterClasses(flags, true);
}

extern "C" int WINAPI IsXP(void)
{
    return g_uxtheme ? 1 : 0;
}

extern "C" int WINAPI IsXPUIEnabled(void)
{
    return g_themedUi;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        g_plexaInstance = instance;
        g_registered = 0;
        g_wideRegistration = 0;
        break;
    case DLL_PROCESS_DETACH:
        // Only on FreeLibrary: at process exit the classes go with the process, and calling
        // user32 from here during ExitProcess is unsafe.
        if (reserved == nullptr)
            UnregisterClasses();
        break;
    default:
        break;
    }
    return TRUE;
}
