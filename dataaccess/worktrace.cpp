#include "dataaccess/worktrace.h"

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <map>
#include <mutex>

namespace zdata {

namespace {

std::atomic<bool> g_on{false};
std::mutex g_lock;
std::map<std::wstring, WorkFigure> g_figures;

// The text with its literals replaced: 'text' by ?, numbers by #, so that the runs of one
// statement with other values count as one kind.
std::wstring KindOf(const wchar_t* prefix, const std::wstring& text)
{
    std::wstring kind = prefix;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\'') {
            for (++i; i < text.size() && !(text[i] == L'\'' && (i + 1 >= text.size() || text[i + 1] != L'\'')); ++i)
                if (text[i] == L'\'')
                    ++i;
            kind += L"'?'";
        } else if (iswdigit(c) && (kind.empty() || !(iswalnum(kind.back()) || kind.back() == L'_'))) {
            while (i + 1 < text.size() && (iswdigit(text[i + 1]) || text[i + 1] == L'.'))
                ++i;
            kind += L'#';
        } else {
            kind += c;
        }
    }
    return kind;
}

}  // namespace

void TraceWork(bool on)
{
    g_on = on;
}

std::vector<WorkFigure> TakeWorkTrace()
{
    std::vector<WorkFigure> figures;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        for (auto& entry : g_figures)
            figures.push_back(entry.second);
        g_figures.clear();
    }
    std::sort(figures.begin(), figures.end(),
              [](const WorkFigure& a, const WorkFigure& b) { return a.seconds > b.seconds; });
    return figures;
}

void WorkTimer::Start(const wchar_t* prefix, const std::wstring& text)
{
    Stop();
    if (!g_on)
        return;
    prefix_ = prefix;
    text_ = &text;
    QueryPerformanceCounter(&start_);
}

void WorkTimer::Stop()
{
    if (!text_)
        return;
    LARGE_INTEGER end, frequency;
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    std::wstring kind = KindOf(prefix_, *text_);
    text_ = nullptr;
    std::lock_guard<std::mutex> hold(g_lock);
    WorkFigure& figure = g_figures[kind];
    figure.kind = kind;
    ++figure.count;
    figure.seconds += (double)(end.QuadPart - start_.QuadPart) / (double)frequency.QuadPart;
}

}  // namespace zdata
