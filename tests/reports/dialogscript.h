// Acting on the modal dialogs that appear while a call runs: a thread timer, which fires inside
// any modal loop of the thread, runs one step after the other, each on the shown window of the
// thread with the step's caption once it is there.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace exporttest {

class DialogScript
{
public:
    struct Step
    {
        std::wstring caption;
        // Returns true when the step is done; false to be called again on the next tick.
        std::function<bool(HWND)> act;
    };

    explicit DialogScript(std::vector<Step> steps) : steps_(std::move(steps))
    {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 30, Tick);
    }
    ~DialogScript()
    {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    bool Finished() const { return next_ >= steps_.size(); }
    size_t StepsDone() const { return next_; }

    // The shown top-level window of this thread with the caption, or null.
    static HWND Find(const std::wstring& caption)
    {
        struct Search {
            const std::wstring* caption;
            HWND found;
        } search = {&caption, nullptr};
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND hwnd, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                wchar_t text[256] = L"";
                GetWindowTextW(hwnd, text, 256);
                if (IsWindowVisible(hwnd) && *s->caption == text) {
                    s->found = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            (LPARAM)&search);
        return search.found;
    }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        DialogScript* self = current_;
        if (!self || self->busy_ || self->Finished())
            return;
        HWND dlg = Find(self->steps_[self->next_].caption);
        if (!dlg)
            return;
        self->busy_ = true;  // a step's own modal loop must not run the next one
        if (self->steps_[self->next_].act(dlg))
            ++self->next_;
        self->busy_ = false;
    }

    static inline DialogScript* current_ = nullptr;
    std::vector<Step> steps_;
    size_t next_ = 0;
    bool busy_ = false;
    UINT_PTR timer_ = 0;
};

inline std::wstring ItemText(HWND dlg, int id)
{
    wchar_t text[512] = L"";
    GetDlgItemTextW(dlg, id, text, 512);
    return text;
}

inline void Click(HWND dlg, int id)
{
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dlg, id));
}

}  // namespace exporttest
