// Helpers for tests that drive real windows under Wine and Xvfb.
#pragma once
#include <windows.h>
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

// Saves what the screen shows of the window as <screenshot folder>/<name>.png, where the folder
// is %ZOR_SCREENSHOTS% or the temporary folder. Returns the full path, empty on failure.
std::wstring SaveScreenshot(HWND hwnd, const wchar_t* name);

// A fresh, empty folder under the temporary folder for one test's files.
std::wstring MakeTempFolder(const wchar_t* name);

// Records every message box shown while it lives and answers each with the next scripted
// answer (IDOK when the script runs out) instead of showing it.
class MsgBoxRecorder {
public:
    struct Box {
        std::wstring text;
        std::wstring caption;
        UINT type;
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
