// The keyboard with the focus left in a page out of the dialog's reach, in the program itself (a
// process of its own, driven by real input): a switch made from the menu, or a page hidden or
// disabled under the focus, must not leave a key to the dialog's mnemonic search, which would go
// round for ever.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
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

// Zorna started on the literature card of a small sample, in a process of its own.
class TabFocus : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_.reset(new wintest::ScopedTempFolder(L"tabfocus"));
        std::wstring from = formhost::SampleWith(L"tabfocus_template", 200, {});
        ASSERT_FALSE(from.empty());
        const std::wstring db = folder_->File(L"ZorBase.mdb");
        ASSERT_TRUE(CopyFileW(from.c_str(), db.c_str(), FALSE));
        const std::wstring settings = folder_->File(L"Pracovni.xml");
        wstest::WriteCardsWorkspace(settings, db.c_str(), -1, -1, TAB_LITERATURE);
        last_.reset(new wstest::LastConfigFile(settings));
    }
    void TearDown() override
    {
        Stop();
        last_.reset();
        folder_.reset();
    }

    // Starts the program and waits for its literature card, in front; false when it did not show.
    bool Start()
    {
        SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"30");
        pi_ = wintest::StartSiblingProgram(L"Zorna.exe");
        SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", nullptr);
        if (!pi_.hProcess)
            return false;
        const bool shown = WaitFor([&] {
            main_ = MainWindowOf(pi_.dwProcessId);
            box_ = main_ ? wintest::FindChildWithText(main_, L"Dle autora") : nullptr;
            return box_ && IsWindowVisible(box_);
        });
        if (!shown)
            return false;
        SetForegroundWindow(main_);
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == main_; }, 5000));
        return true;
    }
    // Ends the program without its closing, which would ask about the workspace and write it.
    void Stop()
    {
        if (!pi_.hProcess)
            return;
        TerminateProcess(pi_.hProcess, 0);
        WaitForSingleObject(pi_.hProcess, 10000);
        CloseHandle(pi_.hThread);
        CloseHandle(pi_.hProcess);
        pi_ = PROCESS_INFORMATION();
    }
    // The check box clicked twice: the focus is on it.
    void FocusTheBox()
    {
        for (int i = 0; i < 2; ++i) {
            Click(box_);
            Sleep(150);
        }
        EXPECT_TRUE(WaitFor([&] { return InputOf(pi_.dwThreadId).hwndFocus == box_; }, 5000));
    }
    // Alt+M and a letter no item has: the program answers at once and the menu opens.
    void ExpectTheMenuOpens(const wchar_t* screenshot)
    {
        AltKey('M');
        Key('X');
        const bool menu = WaitFor([&] { return (InputOf(pi_.dwThreadId).flags & GUI_INMENUMODE) != 0; }, 3000);
        const bool answers = Answers(main_);
        EXPECT_TRUE(answers) << "the program no longer answers";
        EXPECT_TRUE(menu) << "the menu did not open";
        if (answers) {
            // A screenshot repaints the window, which a program that does not answer never does.
            wintest::SaveScreenshot(main_, screenshot);
            Key(VK_ESCAPE);
            Key(VK_ESCAPE);
        }
    }

    std::unique_ptr<wintest::ScopedTempFolder> folder_;
    std::unique_ptr<wstest::LastConfigFile> last_;
    PROCESS_INFORMATION pi_ = {};
    HWND main_ = nullptr, box_ = nullptr;
};

// The literature card's check box focused, a new map from the menu by Alt+M and N, then Alt+M
// again and a letter: the program answers at once and the menu opens; the focus after the
// switch is on a visible control of the main window.
TEST_F(TabFocus, TheKeyboardAnswersAfterAMenuSwitchedTheTabAway)
{
    ASSERT_TRUE(Start()) << "no literature card";
    HWND tabs = GetDlgItem(main_, kWorkspaceTabControlId);
    const int tabsBefore = TabCount(tabs);
    FocusTheBox();

    AltKey('M');
    EXPECT_TRUE(WaitFor([&] { return (InputOf(pi_.dwThreadId).flags & GUI_INMENUMODE) != 0; }, 5000));
    Key('N');
    EXPECT_TRUE(WaitFor([&] { return TabCount(tabs) == tabsBefore + 1; }, 10000)) << "no new map";
    EXPECT_TRUE(WaitFor([&] { return Answers(main_); }, 5000));
    HWND focus = InputOf(pi_.dwThreadId).hwndFocus;
    EXPECT_TRUE(focus && IsWindowVisible(focus)) << "the focus stayed in the hidden page";

    ExpectTheMenuOpens(L"tabfocus_menu_after_new_map");
}

// The page that holds the focus hidden, or disabled, under it (not by a tab switch): the focus
// stays below a window the dialog's walk never enters, and still the next Alt+M reaches the
// menu and the program answers.
TEST_F(TabFocus, TheKeyboardAnswersWithTheFocusLeftInAHiddenOrDisabledPage)
{
    for (bool hide : {true, false}) {
        SCOPED_TRACE(hide ? "hidden page" : "disabled page");
        ASSERT_TRUE(Start()) << "no literature card";
        FocusTheBox();
        HWND page = GetParent(box_);
        if (hide)
            ShowWindow(page, SW_HIDE);
        else
            EnableWindow(page, FALSE);
        EXPECT_TRUE(WaitFor([&] { return hide ? !IsWindowVisible(page) : !IsWindowEnabled(page); }, 5000));
        EXPECT_EQ(box_, InputOf(pi_.dwThreadId).hwndFocus) << "the focus did not stay in the page";
        ExpectTheMenuOpens(hide ? L"tabfocus_menu_hidden_page" : L"tabfocus_menu_disabled_page");
        Stop();
    }
}

}  // namespace
