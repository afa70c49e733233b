// What the layer spends its time on, by kind of work: each statement it runs (by its text, with
// the values written into it replaced by ? and #), each filter it applies to rows in memory and
// each look at the schema. Off unless a benchmark switches it on; then counted and timed per
// kind until taken.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace zdata {

struct WorkFigure {
    std::wstring kind;
    long long count = 0;
    double seconds = 0;
};

void TraceWork(bool on);
// The figures gathered since the last call, most time first; the trace starts afresh.
std::vector<WorkFigure> TakeWorkTrace();

// Times one piece of work from its making to its end (or to Stop), under the kind made from the
// prefix and the text; nothing when the trace is off. The text must outlive the timer.
class WorkTimer {
public:
    WorkTimer() = default;
    WorkTimer(const wchar_t* prefix, const std::wstring& text) { Start(prefix, text); }
    ~WorkTimer() { Stop(); }
    void Start(const wchar_t* prefix, const std::wstring& text);
    WorkTimer(const WorkTimer&) = delete;
    WorkTimer& operator=(const WorkTimer&) = delete;
    void Stop();

private:
    const wchar_t* prefix_ = L"";
    const std::wstring* text_ = nullptr;
    LARGE_INTEGER start_{};
};

}  // namespace zdata
