// Helpers for tests that drive real windows under Wine and Xvfb.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "core/msgbox.h"

namespace wintest {

// Dispatches queued messages until the given time has passed (0: only what is queued now).
void PumpMessages(DWORD milliseconds = 0);

// Pumps until the condition holds or the timeout passes; returns the condition's last value.
template <class Pred>
bool PumpUntil(Pred pred, DWORD timeoutMs = 5000)
{
    DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > timeoutMs)
            return pred();
        PumpMessages(10);
    }
    return true;
}

// The pixels the screen shows in a rectangle of it, row by row from the top, each 0x00RRGGBB;
// empty when nothing can be read.
std::vector<DWORD> ScreenPixels(const RECT& area);

// Saves what the screen shows of the window as <screenshot folder>/<name>.png, where the folder
// is %ZOR_SCREENSHOTS% or the temporary folder. Returns the full path, empty on failure.
std::wstring SaveScreenshot(HWND hwnd, const wchar_t* name);

// A fresh, empty folder under the temporary folder for one test's files.
std::wstring MakeTempFolder(const wchar_t* name);
// Deletes a folder with everything in it (a test's temporary folder, when the test is done).
void RemoveFolder(const std::wstring& path);

// A fresh temporary folder (MakeTempFolder) that is deleted with everything in it at the end
// of its scope.
class ScopedTempFolder {
public:
    explicit ScopedTempFolder(const wchar_t* name) : path_(MakeTempFolder(name)) {}
    ~ScopedTempFolder() { RemoveFolder(path_); }
    ScopedTempFolder(const ScopedTempFolder&) = delete;
    ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;
    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// A left click at a point of a window's client area, posted as the mouse would, then pumped.
void ClickAt(HWND wnd, POINT point);
// Keys posted to a window as typing would: WM_KEYDOWN / WM_KEYUP (taken through the dialog
// keys of the window's dialog, as a dialog's loop does), and WM_CHAR for characters.
void PressKey(HWND wnd, UINT virtualKey);
void TypeText(HWND wnd, const std::wstring& text);

// The text of a window (up to 511 characters).
std::wstring WindowText(HWND hwnd);

// The label of a tree-view item (up to 127 characters).
std::wstring TreeItemText(HWND tree, HTREEITEM item);

// The entries of a list box, in its order.
std::vector<std::wstring> ListBoxItems(HWND list);

// The text of a list-view cell (up to 259 characters).
std::wstring ListCellText(HWND list, int row, int column);

// A list header item's caption, without the no-break space the record lists put after it.
std::wstring HeaderCaption(HWND header, int index);

// Clicks a column's header item of a report list view with the mouse messages a user's click
// sends, then dispatches what the click queued.
void ClickListColumn(HWND list, int column);

// Real mouse input (SendInput) at a point of the screen: a move, with the button flags given
// (MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP or 0).
void SendMouse(POINT screen, DWORD flags);
// A point of a window's client area on the screen.
POINT ScreenPoint(HWND window, POINT client);

// A window's rectangle in the client coordinates of another window.
RECT RectIn(HWND window, HWND parent);

// A file's bytes (empty when it cannot be read).
std::string ReadFileBytes(const std::wstring& path);

// A UTF-8 text file as UTF-16 (empty when it cannot be read).
std::wstring ReadUtf8File(const std::wstring& path);

// Writes the text as UTF-8 in place of the file; false when the file cannot be created.
bool WriteUtf8File(const std::wstring& path, const std::wstring& text);

inline bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ---- other processes ----

// Starts a program of the build folder (beside the running test program) by its file name;
// a zeroed PROCESS_INFORMATION when it cannot be started.
PROCESS_INFORMATION StartSiblingProgram(const wchar_t* exeName);

// What a run of one test of this program in a process of its own gave.
struct ChildRun {
    bool started = false;
    bool stopped = false;  // ended by the watch: it took more memory or time than allowed
    DWORD exitCode = 0;    // the child's own exit code (0 when stopped)
    SIZE_T peakKb = 0;     // the highest working set seen
};

// Runs the test `test` of this program ("Suite.DISABLED_Name") in a process of its own, the
// environment variable set to value for it, and watches it: a child that takes more than
// limitMb of memory or runs longer than timeoutMs is ended (a reader that loops must not take
// the machine with it).
ChildRun RunTestInChild(const wchar_t* test, const wchar_t* variable, const std::wstring& value, SIZE_T limitMb,
                        DWORD timeoutMs);

// Waits up to 15 s for a named mutex to exist (another process has made it); false when it
// did not come.
bool WaitForNamedMutex(const wchar_t* name);

// The top-level windows of a process.
std::vector<HWND> TopWindowsOf(DWORD pid);

// The first child of the window (at any depth) that shows exactly the text; null when none.
HWND FindChildWithText(HWND parent, const std::wstring& text);
// Whether a child of the window shows exactly the text.
bool HasChildWithText(HWND parent, const std::wstring& text);

// The access keys that more than one item of a menu level uses, one line per clash ("E: &Editace,
// Nová &e..."), walking every popup of the menu; empty when each key opens one item only.
std::wstring RepeatedAccessKeys(HMENU menu);

// Waits up to 15 s for a visible message box of the process with the caption and a child
// showing the text; null when none came. windows (when given) receives the process's
// top-level windows as last seen.
HWND WaitForMessageBoxOf(DWORD pid, const std::wstring& caption, const std::wstring& text,
                         std::vector<HWND>* windows = nullptr);

// Records every message box shown while it lives and answers each with the next scripted
// answer (IDOK when the script runs out) instead of showing it.
class MsgBoxRecorder {
public:
    struct Box {
        std::wstring text;
        std::wstring caption;
        UINT type;
        HWND owner;  // the window the box was shown over
    };
    explicit MsgBoxRecorder(std::vector<int> answers = {});
    ~MsgBoxRecorder();
    const std::vector<Box>& Boxes() const { return boxes_; }

private:
    static int Hook(HWND, LPCWSTR text, LPCWSTR caption, UINT type);
    static MsgBoxRecorder* active_;
    MsgBoxHook previous_;
    std::vector<int> answers_;
    std::vector<Box> boxes_;
};

}  // namespace wintest
