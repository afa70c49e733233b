// Library entry of Plexa.dll: class registration by flag word, exports by ordinal, the theme
// binding and its switches, and unregistration when the library is freed.
//
// Registration state lives for the whole process, so the tests that need a library that has
// registered nothing yet run in a child process: this test program started again with a filter
// on one PlexaChild test and PLEXA_TEST_CHILD=1 in its environment.
#include <gmock/gmock.h>
#include <windows.h>
#include <shlwapi.h>
#include <memory>
#include <string>
#include "controls/plexa.h"
#include "tests/support/wintest.h"

namespace {

const wchar_t kChildSwitch[] = L"PLEXA_TEST_CHILD";

bool InChild()
{
    wchar_t v[4] = {};
    return GetEnvironmentVariableW(kChildSwitch, v, 4) > 0 && v[0] == L'1';
}

#define CHILD_ONLY()                                                  \
    do {                                                              \
        if (!InChild())                                               \
            GTEST_SKIP() << "runs only in a child process";           \
    } while (0)

// Sets an environment variable for the scope and restores the previous state.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const wchar_t* value) : name_(name)
    {
        wchar_t buf[256];
        DWORD n = GetEnvironmentVariableW(name, buf, 256);
        had_ = n > 0 && n < 256;
        if (had_)
            old_ = buf;
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnv() { SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }

private:
    std::wstring name_, old_;
    bool had_ = false;
};

std::wstring ModulePath(HMODULE module)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

// Runs one PlexaChild test in a fresh process; returns its exit code and its output.
DWORD RunChild(const wchar_t* test, std::string* output, const wchar_t* extraEnv = nullptr)
{
    std::wstring folder = wintest::MakeTempFolder(L"plexa_child");
    std::wstring outPath = folder + L"\\out.txt";
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    std::wstring cmd = L"\"" + ModulePath(nullptr) + L"\" --gtest_filter=PlexaChild." + test +
                       L" --gtest_color=no";
    ScopedEnv child(kChildSwitch, L"1");
    std::unique_ptr<ScopedEnv> extra;
    if (extraEnv) {
        std::wstring e = extraEnv;
        size_t eq = e.find(L'=');
        extra.reset(new ScopedEnv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str()));
    }
    STARTUPINFOW si = {sizeof(si)};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi = {};
    DWORD code = 9999;
    if (CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 120000);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(out);
    if (output) {
        output->clear();
        HANDLE in = CreateFileW(outPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (in != INVALID_HANDLE_VALUE) {
            char buf[4096];
            DWORD got;
            while (ReadFile(in, buf, sizeof(buf), &got, nullptr) && got)
                output->append(buf, got);
            CloseHandle(in);
        }
    }
    return code;
}

// The child's own gtest result: it must have run the test (not skipped it) and passed.
void ExpectChildPasses(const wchar_t* test, const wchar_t* extraEnv = nullptr)
{
    std::string out;
    DWORD code = RunChild(test, &out, extraEnv);
    EXPECT_EQ(0u, code) << out;
    EXPECT_NE(std::string::npos, out.find("[  PASSED  ] 1 test")) << out;
}

bool ClassExists(HINSTANCE instance, const wchar_t* name)
{
    WNDCLASSEXW wc = {sizeof(wc)};
    return GetClassInfoExW(instance, name, &wc) != FALSE;
}

HMODULE Plexa()
{
    return GetModuleHandleW(L"Plexa.dll");
}

const wchar_t* const kNames[] = {WC_INPLACECOMBOBOXW, WC_PROPERTYBOXW, WC_IMGBUTTONW, WC_INPLACEBUTTONW};

int ComctlMajorVersion()
{
    HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    auto get = reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion")));
    DLLVERSIONINFO info = {sizeof(info)};
    if (!get || FAILED(get(&info)))
        return 0;
    return static_cast<int>(info.dwMajorVersion);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Tests run in a child process (skipped in the normal run; started by the PlexaEntry tests).
// ---------------------------------------------------------------------------------------------

TEST(PlexaChild, RegisterTwiceRegistersOnce)
{
    CHILD_ONLY();
    HINSTANCE plexa = Plexa();
    EXPECT_EQ(0, IsXPUIEnabled()) << "meaningful only after a registration call";
    EXPECT_EQ(0, IsXP());
    for (const wchar_t* name : kNames)
        EXPECT_FALSE(ClassExists(plexa, name)) << name;

    // Only the low 16 bits of the flag word count.
    EXPECT_EQ(0, RegisterPlexaW(0x10000));
    EXPECT_FALSE(ClassExists(plexa, WC_INPLACECOMBOBOXW));

    EXPECT_EQ(7, RegisterPlexaW(7));
    EXPECT_TRUE(ClassExists(plexa, WC_INPLACECOMBOBOXW));
    EXPECT_TRUE(ClassExists(plexa, WC_PROPERTYBOXW));
    EXPECT_TRUE(ClassExists(plexa, WC_IMGBUTTONW));
    EXPECT_FALSE(ClassExists(plexa, WC_INPLACEBUTTONW));

    // A second call registers nothing twice: unregistering once removes the class for good.
    EXPECT_EQ(7, RegisterPlexaW(7));
    EXPECT_TRUE(UnregisterClassW(WC_PROPERTYBOXW, plexa));
    EXPECT_EQ(7, RegisterPlexaW(7));
    EXPECT_FALSE(ClassExists(plexa, WC_PROPERTYBOXW)) << "registered again by a repeated call";

    EXPECT_EQ(15, RegisterPlexaW(8));
    EXPECT_TRUE(ClassExists(plexa, WC_INPLACEBUTTONW));
}

TEST(PlexaChild, InplaceButtonAloneThenTheRest)
{
    CHILD_ONLY();
    HINSTANCE plexa = Plexa();
    EXPECT_EQ(8, RegisterPlexaW(0xFFF8));  // bits above 8 name no class
    EXPECT_TRUE(ClassExists(plexa, WC_INPLACEBUTTONW));
    EXPECT_FALSE(ClassExists(plexa, WC_INPLACECOMBOBOXW));
    EXPECT_FALSE(ClassExists(plexa, WC_PROPERTYBOXW));
    EXPECT_FALSE(ClassExists(plexa, WC_IMGBUTTONW));
    EXPECT_EQ(15, RegisterPlexaW(7));
    for (const wchar_t* name : kNames)
        EXPECT_TRUE(ClassExists(plexa, name)) << name;
}

TEST(PlexaChild, ClassValues)
{
    CHILD_ONLY();
    HINSTANCE plexa = Plexa();
    RegisterPlexaW(PLEXA_ALLCLASSES);
    WNDCLASSEXW wc = {sizeof(wc)};

    ASSERT_TRUE(GetClassInfoExW(plexa, WC_INPLACECOMBOBOXW, &wc));
    EXPECT_EQ(0x4808u, wc.style);
    EXPECT_EQ(static_cast<int>(2 * sizeof(HWND)), wc.cbWndExtra);
    EXPECT_EQ(0, wc.cbClsExtra);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), wc.hbrBackground);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), wc.hCursor);
    EXPECT_EQ(plexa, wc.hInstance);

    ASSERT_TRUE(GetClassInfoExW(plexa, WC_PROPERTYBOXW, &wc));
    EXPECT_EQ(0x4808u, wc.style);
    EXPECT_EQ(static_cast<int>(sizeof(void*)), wc.cbWndExtra);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), wc.hbrBackground);

    ASSERT_TRUE(GetClassInfoExW(plexa, WC_INPLACEBUTTONW, &wc));
    EXPECT_EQ(0x4800u, wc.style);
    EXPECT_EQ(0, wc.cbWndExtra);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), wc.hbrBackground);

    WNDCLASSEXW button = {sizeof(button)};
    ASSERT_TRUE(GetClassInfoExW(nullptr, L"BUTTON", &button));
    ASSERT_TRUE(GetClassInfoExW(plexa, WC_IMGBUTTONW, &wc));
    EXPECT_EQ(button.style | CS_GLOBALCLASS, wc.style);
    EXPECT_EQ(button.cbWndExtra + 16, wc.cbWndExtra);
    EXPECT_EQ(button.hCursor, wc.hCursor);
    EXPECT_EQ(button.hbrBackground, wc.hbrBackground);
}

// The ANSI registration registers ANSI classes: their windows are not Unicode windows.
TEST(PlexaChild, AnsiRegistrationMakesAnsiWindows)
{
    CHILD_ONLY();
    RegisterPlexaA(PLEXA_INPLACECOMBOBOX | PLEXA_PROPERTYBOX);
    HWND combo = CreateWindowExW(0, WC_INPLACECOMBOBOXW, L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(combo != nullptr);
    EXPECT_FALSE(IsWindowUnicode(combo));
    // ANSI text goes through the combo to its list and back.
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("abc"));
    char buf[16] = {};
    EXPECT_EQ(3, SendMessageA(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buf)));
    EXPECT_STREQ("abc", buf);
    DestroyWindow(combo);
}

// Parent of the ANSI virtual combo below: answers in 8-bit text.
LRESULT CALLBACK AnsiParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NOTIFY) {
        ComboItemRequest* r = reinterpret_cast<ComboItemRequest*>(lParam);
        static const char* const rows[] = {"\xe8\xe1p", "s\xfdkora"};  // "čáp", "sýkora" in 1250
        if (r->item < 0 || r->item > 1)
            return 0;
        if (r->hdr.code == ICBN_GETTEXTLENGTH)
            r->count = static_cast<int>(strlen(rows[r->item]));
        else if (r->hdr.code == ICBN_GETTEXT)
            lstrcpynA(reinterpret_cast<char*>(r->text), rows[r->item], r->count);
        return 1;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(PlexaChild, AnsiVirtualCombo)
{
    CHILD_ONLY();
    RegisterPlexaA(PLEXA_INPLACECOMBOBOX);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = AnsiParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = "PlexaAnsiParent";
    RegisterClassA(&wc);
    HWND parent = CreateWindowExA(0, "PlexaAnsiParent", "", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    HWND combo = CreateWindowExA(0, WC_INPLACECOMBOBOXA, "", WS_CHILD | CBS_DROPDOWN | ICBS_NODATA, 0, 0, 150,
                                 20, parent, reinterpret_cast<HMENU>(5), wc.hInstance, nullptr);
    ASSERT_TRUE(combo != nullptr);
    EXPECT_FALSE(IsWindowUnicode(combo));
    SendMessageA(combo, ICBM_SETCOUNT, 2, 0);
    char buf[16];
    memset(buf, '#', sizeof(buf));
    EXPECT_EQ(6, SendMessageA(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buf)));
    EXPECT_STREQ("s\xfdkora", buf);
    EXPECT_EQ('#', buf[7]);
    // A committed row reaches the edit as the same 8-bit text.
    SendMessageA(combo, ICBM_SETSELNOTIFY, 0, 0);
    char text[16] = {};
    GetWindowTextA(combo, text, 16);
    EXPECT_STREQ("\xe8\xe1p", text);
    wchar_t wide[16] = {};
    GetWindowTextW(combo, wide, 16);
    EXPECT_STREQ(L"čáp", wide);
    DestroyWindow(parent);
}

TEST(PlexaChild, WideRegistrationMakesUnicodeWindows)
{
    CHILD_ONLY();
    RegisterPlexaW(PLEXA_INPLACECOMBOBOX);
    HWND combo = CreateWindowExA(0, WC_INPLACECOMBOBOXA, "", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(combo != nullptr);
    EXPECT_TRUE(IsWindowUnicode(combo));
    DestroyWindow(combo);
}

// A copy of the library loaded by another name registers its classes under its own instance
// and takes them away again when it is freed, by wide or ANSI names as it registered them.
static void CopyRegistersAndUnregisters(int ordinal)
{
    std::wstring folder = wintest::MakeTempFolder(L"plexa_copy");
    std::wstring copy = folder + (ordinal == 2 ? L"\\PlexaCopyW.dll" : L"\\PlexaCopyA.dll");
    ASSERT_TRUE(CopyFileW(ModulePath(Plexa()).c_str(), copy.c_str(), FALSE));
    HMODULE lib = LoadLibraryW(copy.c_str());
    ASSERT_TRUE(lib != nullptr);
    ASSERT_NE(lib, Plexa());
    auto reg = reinterpret_cast<int(WINAPI*)(UINT)>(reinterpret_cast<void*>(GetProcAddress(lib, MAKEINTRESOURCEA(ordinal))));
    ASSERT_TRUE(reg != nullptr);
    EXPECT_EQ(15, reg(PLEXA_ALLCLASSES));
    HINSTANCE self = GetModuleHandleW(nullptr);
    for (const wchar_t* name : kNames) {
        EXPECT_TRUE(ClassExists(lib, name)) << name;
        // Global classes are found from any instance.
        EXPECT_TRUE(ClassExists(self, name)) << name;
    }
    FreeLibrary(lib);
    EXPECT_EQ(nullptr, GetModuleHandleW(copy.c_str()));
    for (const wchar_t* name : kNames)
        EXPECT_FALSE(ClassExists(self, name)) << name << " left registered";
    // The names are free again: the process's own library can register them now.
    EXPECT_EQ(15, RegisterPlexaW(PLEXA_ALLCLASSES));
    EXPECT_TRUE(ClassExists(Plexa(), WC_INPLACECOMBOBOXW));
}

TEST(PlexaChild, FreeLibraryUnregistersWideClasses)
{
    CHILD_ONLY();
    CopyRegistersAndUnregisters(2);
}

TEST(PlexaChild, FreeLibraryUnregistersAnsiClasses)
{
    CHILD_ONLY();
    CopyRegistersAndUnregisters(1);
}

// ---------------------------------------------------------------------------------------------
// Tests of the normal run.
// ---------------------------------------------------------------------------------------------

TEST(PlexaEntry, RegisteringTwiceRegistersEachClassOnce)
{
    ExpectChildPasses(L"RegisterTwiceRegistersOnce");
}

TEST(PlexaEntry, InplaceButtonAloneThenTheOtherThree)
{
    ExpectChildPasses(L"InplaceButtonAloneThenTheRest");
}

TEST(PlexaEntry, ClassesHaveTheirRegistrationValues)
{
    ExpectChildPasses(L"ClassValues");
}

TEST(PlexaEntry, AnsiAndWideRegistration)
{
    ExpectChildPasses(L"AnsiRegistrationMakesAnsiWindows");
    ExpectChildPasses(L"WideRegistrationMakesUnicodeWindows");
    ExpectChildPasses(L"AnsiVirtualCombo");
}

TEST(PlexaEntry, FreeLibraryOfACopyUnregistersItsClasses)
{
    ExpectChildPasses(L"FreeLibraryUnregistersWideClasses");
    ExpectChildPasses(L"FreeLibraryUnregistersAnsiClasses");
}

TEST(PlexaEntry, OrdinalsOneToFourAreTheNamedExports)
{
    HMODULE plexa = Plexa();
    ASSERT_TRUE(plexa != nullptr);
    const char* names[] = {"RegisterPlexaA", "RegisterPlexaW", "IsXP", "IsXPUIEnabled"};
    for (int i = 0; i < 4; ++i) {
        FARPROC byName = GetProcAddress(plexa, names[i]);
        ASSERT_TRUE(byName != nullptr) << names[i];
        EXPECT_EQ(byName, GetProcAddress(plexa, MAKEINTRESOURCEA(i + 1))) << names[i];
    }
    EXPECT_EQ(nullptr, GetProcAddress(plexa, MAKEINTRESOURCEA(5)));
}

class PlexaTheme : public ::testing::Test {
protected:
    void TearDown() override
    {
        // Back to what detection says for the tests that follow.
        SetEnvironmentVariableW(L"PLEXA_FORCE_THEMED", nullptr);
        SetEnvironmentVariableW(L"PLEXA_NO_UXTHEME", nullptr);
        RegisterPlexaW(0);
    }
};

TEST_F(PlexaTheme, DetectionFollowsTheCommonControlsVersion)
{
    SetEnvironmentVariableW(L"PLEXA_FORCE_THEMED", nullptr);
    SetEnvironmentVariableW(L"PLEXA_NO_UXTHEME", nullptr);
    RegisterPlexaW(0);
    EXPECT_EQ(1, IsXP());
    // Wine's common controls report 5.81, so there this is the uxtheme-without-v6 case.
    EXPECT_EQ(ComctlMajorVersion() > 5 ? 1 : 0, IsXPUIEnabled());
}

TEST_F(PlexaTheme, ForceSwitchTurnsThemedDrawingOn)
{
    ScopedEnv force(L"PLEXA_FORCE_THEMED", L"1");
    RegisterPlexaW(0);
    EXPECT_EQ(1, IsXP());
    EXPECT_EQ(1, IsXPUIEnabled());
    SetEnvironmentVariableW(L"PLEXA_FORCE_THEMED", L"0");
    RegisterPlexaW(0);
    EXPECT_EQ(ComctlMajorVersion() > 5 ? 1 : 0, IsXPUIEnabled()) << "only the value 1 forces";
}

TEST_F(PlexaTheme, WithoutTheThemeLibraryBothAreOff)
{
    ScopedEnv none(L"PLEXA_NO_UXTHEME", L"1");
    ScopedEnv force(L"PLEXA_FORCE_THEMED", L"1");
    RegisterPlexaW(0);
    EXPECT_EQ(0, IsXP());
    EXPECT_EQ(0, IsXPUIEnabled()) << "forcing needs the theme library";
}

TEST_F(PlexaTheme, EveryRegistrationRebindsTheTheme)
{
    {
        ScopedEnv none(L"PLEXA_NO_UXTHEME", L"1");
        RegisterPlexaW(0);
        ASSERT_EQ(0, IsXP());
    }
    RegisterPlexaA(0);
    EXPECT_EQ(1, IsXP());
}
