// Drives modal dialogs from inside their own message loops: a thread timer looks for the next
// dialog of the script by its caption and runs that step's action on it. An action may open a
// further modal dialog (whose own loop then runs the next step); it ends its dialog itself,
// normally by posting a command. Dialogs still open when the script gives up are cancelled, so a
// failed step never leaves a test waiting.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/wintest.h"

namespace wintest {

class DialogScript {
public:
    using Action = std::function<void(HWND dialog)>;

    // Adds a step: the next dialog with this caption gets the action.
    DialogScript& Then(const std::wstring& caption, Action action)
    {
        steps_.push_back({caption, std::move(action)});
        return *this;
    }

    // Runs start (which opens the first dialog and returns when it has closed) with the script
    // active; returns whether every step found its dialog.
    bool Run(const std::function<void()>& start, DWORD giveUpMs = 20000)
    {
        next_ = 0;
        started_ = GetTickCount();
        giveUpMs_ = giveUpMs;
        DialogScript* outer = current_;
        current_ = this;
        UINT_PTR timer = SetTimer(nullptr, 0, 30, Tick);
        start();
        KillTimer(nullptr, timer);
        current_ = outer;
        return next_ == steps_.size();
    }

    size_t StepsDone() const { return next_; }

    // The shown, enabled dialog of this thread with the caption (null when none).
    static HWND FindDialog(const std::wstring& caption)
    {
        Search search{caption, nullptr};
        EnumThreadWindows(GetCurrentThreadId(), FindProc, (LPARAM)&search);
        return search.found;
    }

    // A button pressed the way a click reports it.
    static void Click(HWND dialog, int id)
    {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
    }
    static void PostClick(HWND dialog, int id)
    {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
    }

private:
    struct Step {
        std::wstring caption;
        Action action;
    };
    struct Search {
        std::wstring caption;
        HWND found;
    };

    static BOOL CALLBACK FindProc(HWND hwnd, LPARAM lParam)
    {
        Search* search = (Search*)lParam;
        wchar_t cls[16] = L"";
        GetClassNameW(hwnd, cls, 16);
        // A modal dialog shows itself once its loop first idles: a step waits for that.
        if (wcscmp(cls, L"#32770") == 0 && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)
            && WindowText(hwnd) == search->caption) {
            search->found = hwnd;
            return FALSE;
        }
        return TRUE;
    }

    static BOOL CALLBACK CancelProc(HWND hwnd, LPARAM)
    {
        wchar_t cls[16] = L"";
        GetClassNameW(hwnd, cls, 16);
        if (wcscmp(cls, L"#32770") == 0 && GetWindow(hwnd, GW_OWNER))
            PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        DialogScript* self = current_;
        if (!self)
            return;
        if (GetTickCount() - self->started_ > self->giveUpMs_) {
            EnumThreadWindows(GetCurrentThreadId(), CancelProc, 0);
            return;
        }
        if (self->next_ >= self->steps_.size())
            return;
        HWND dialog = FindDialog(self->steps_[self->next_].caption);
        if (!dialog)
            return;
        // A window property marks the dialog itself: a later dialog may get the same handle.
        if (GetPropW(dialog, kDoneProperty))
            return;
        SetPropW(dialog, kDoneProperty, (HANDLE)1);
        Action action = self->steps_[self->next_].action;
        self->next_++;
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        action(dialog);
    }

    static constexpr const wchar_t* kDoneProperty = L"ZorDialogScriptStep";
    std::vector<Step> steps_;
    size_t next_ = 0;
    DWORD started_ = 0;
    DWORD giveUpMs_ = 20000;
    static inline DialogScript* current_ = nullptr;
};

}  // namespace wintest
