// The report as the print form shows it: the report's lines (reports/reportlines.h) split at the
// line breaks inside them, kept as UTF-8 in large blocks with a small index per line, so that a
// report of a million rows costs little more than its text and no laid-out document is made.
// The report's worker appends lines while the window's thread reads them: every access takes the
// store's lock, and a line once added never changes.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "reports/reportlines.h"

// One line as the view shows it: a title (the heading's first line) or a body line.
struct ShownLine
{
    bool Title = false;
    std::wstring Text;
};

class ReportText
{
public:
    ReportText();
    ReportText(const ReportText&) = delete;
    ReportText& operator=(const ReportText&) = delete;

    // Adds a line of the report: one shown line per piece between its line breaks (CR LF, a
    // lone CR or LF), as the paginator lays it out. An RTF line shows its plain text.
    void Add(const ReportLine& line);
    // The report's end: no more lines will come.
    void Finish() { complete_ = true; }
    bool Complete() const { return complete_; }

    // Lines added so far.
    int Count() const { return count_; }
    // Up to count lines from first on (fewer at the end).
    void Get(int first, int count, std::vector<ShownLine>* out) const;
    // The text of one line; empty outside the lines.
    std::wstring Line(int index) const;
    // Characters of the longest line so far.
    size_t Longest() const;
    // The memory the lines take.
    size_t Bytes() const;

private:
    struct Entry
    {
        uint32_t Block;
        uint32_t Offset;
        uint32_t Size;  // bytes << 1, and 1 for a title
    };
    void AddPiece(bool title, const wchar_t* text, size_t length);
    void Decode(const Entry& entry, std::wstring* out) const;

    mutable std::mutex lock_;
    std::vector<Entry> entries_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    size_t blockSize_;  // of the last block
    size_t blockUsed_;  // bytes used of the last block
    size_t longest_;
    size_t bytes_;
    std::atomic<int> count_;
    std::atomic<bool> complete_;
    std::string scratch_;  // the line being added (the adding thread's)
};

// A line's UTF-16 text as UTF-8, and back. Lone surrogates keep their own three-byte form, so
// that every text comes back exactly as it went in.
void AppendUtf8(const wchar_t* text, size_t length, std::string* out);
void AppendUtf16(const char* bytes, size_t length, std::wstring* out);
