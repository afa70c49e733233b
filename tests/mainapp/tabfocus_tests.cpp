// The keyboard after a tab switch, in the program itself (a process of its own, driven by real
// input): a switch made from the menu must not leave the focus in the page it hides, where the
// dialog's mnemonic search of the next Alt+key would go round for ever.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "browse/workspace.h"
#include "tests/mainapp/formhost.h"

namespace {

void SendKeys(std::initializer_list<std::pair<WORD, bool>> keys)
{
    std::vector<INPUT> input;
    for (const auto& key : keys) {
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = key.first;
        in.ki.dwFlags = key.second ? 0 : KEYEVENTF_KEYUP;
        input.push_back(in);
    }
    SendInput((UINT)input.size(), input.data(), sizeof(INPUT));
}

void AltKey(WORD key)
{
    SendKeys({{VK_MENU, true}, {key, true}, {key, false}, {VK_MENU, false}});
}

void Key(WORD key)
{
    SendKeys({{key, true}, {key, false}});
}

void Click(HWND window)
{
    RECT r = {};
    GetWindowRect(window, &r);
    POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    wintest::SendMouse(centre, 0);
    wintest::SendMouse(centre, MOUSEEVENTF_LEFTDOWN);
    wintest::SendMouse(centre, MOUSEEVENTF_LEFTUP);
}

// Whether the program answers a message within a second.
bool Answers(HWND window)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
}

template <class Pred>
bool WaitFor(Pred pred, DWORD timeoutMs = 20000)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50))
        if (pred())
            return true;
    return pred();
}

HWND MainWindowOf(DWORD pid)
{
    for (HWND w : wintest::TopWindowsOf(pid)) {
        wchar_t cls[32] = L"";
        GetClassNameW(w, cls, 32);
        if (!lstrcmpW(cls, L"ZORNAWND") && IsWindowVisible(w))
            return w;
    }
    return nullptr;
}

GUITHREADINFO InputOf(DWORD thread)
{
    GUITHREADINFO info = {sizeof(info)};
    GetGUIThreadInfo(thread, &info);
    return info;
}

int TabCount(HWND tabs)
{
    DWORD_PTR count = 0;
    SendMessageTimeoutW(tabs, TCM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 1000, &count);
    return (int)count;
}

// The literature card's check box clicked twice (the focus stays on it), a new map from the menu
// by Alt+M and N, then Alt+M again and a letter: the program answers at once and the menu
// opens; the focus after the switch is on a visible control of the main window.
TEST(TabFocus, TheKeyboardAnswersAfterAMenuSwitchedTheTabAway)
{
    wintest::ScopedTempFolder folder(L"tabfocus");
    std::wstring from = formhost::SampleWith(L"tabfocus_template", 200, {});
    ASSERT_FALSE(from.empty());
    const std::wstring db = folder.File(L"ZorBase.mdb");
    ASSERT_TRUE(CopyFileW(from.c_str(), db.c_str(), FALSE));
    const std::wstring settings = folder.File(L"Pracovni.xml");
    wstest::WriteCardsWorkspace(settings, db.c_str(), -1, -1, TAB_LITERATURE);
    wstest::LastConfigFile last(settings);
    SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"30");
    PROCESS_INFORMATION pi = wintest::StartSiblingProgram(L"Zorna.exe");
    SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", nullptr);
    ASSERT_NE(nullptr, pi.hProcess);

    HWND main = nullptr, box = nullptr;
    const bool shown = WaitFor([&] {
        main = MainWindowOf(pi.dwProcessId);
        box = main ? wintest::FindChildWithText(main, L"Dle autora") : nullptr;
        return box && IsWindowVisible(box);
    });
    EXPECT_TRUE(shown) << "no literature card";
    if (shown) {
        HWND tabs = GetDlgItem(main, kWorkspaceTabControlId);
        const int tabsBefore = TabCount(tabs);
        SetForegroundWindow(main);
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == main; }, 5000));
        for (int i = 0; i < 2; ++i) {
            Click(box);
            Sleep(150);
        }
        EXPECT_TRUE(WaitFor([&] { return InputOf(pi.dwThreadId).hwndFocus == box; }, 5000));

        AltKey('M');
        EXPECT_TRUE(WaitFor([&] { return (InputOf(pi.dwThreadId).flags & GUI_INMENUMODE) != 0; }, 5000));
        Key('N');
        EXPECT_TRUE(WaitFor([&] { return TabCount(tabs) == tabsBefore + 1; }, 10000)) << "no new map";
        EXPECT_TRUE(WaitFor([&] { return Answers(main); }, 5000));
        HWND focus = InputOf(pi.dwThreadId).hwndFocus;
        EXPECT_TRUE(focus && IsWindowVisible(focus)) << "the focus stayed in the hidden page";

        AltKey('M');
        Key('X');
        const bool menu = WaitFor([&] { return (InputOf(pi.dwThreadId).flags & GUI_INMENUMODE) != 0; }, 3000);
        const bool answers = Answers(main);
        EXPECT_TRUE(answers) << "the program no longer answers";
        EXPECT_TRUE(menu) << "the menu did not open";
        if (answers) {
            // A screenshot repaints the window, which a program that does not answer never does.
            wintest::SaveScreenshot(main, L"tabfocus_menu_after_new_map");
            Key(VK_ESCAPE);
            Key(VK_ESCAPE);
        }
    }
    // Ended without its closing, which would ask about the workspace and write it.
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

}  // namespace
