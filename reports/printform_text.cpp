// The shown report's lines (see printform_text.h).
#include "reports/printform_text.h"

#include <algorithm>
#include <cstring>

namespace {

const size_t kBlockBytes = 1 << 20;

bool IsBreak(wchar_t c) { return c == L'\r' || c == L'\n'; }

}  // namespace

void AppendUtf8(const wchar_t* text, size_t length, std::string* out)
{
    for (size_t i = 0; i < length; i++) {
        unsigned c = (unsigned short)text[i];
        if (c < 0x80) {
            out->push_back((char)c);
            continue;
        }
        if (c < 0x800) {
            out->push_back((char)(0xC0 | (c >> 6)));
            out->push_back((char)(0x80 | (c & 0x3F)));
            continue;
        }
        if (IS_HIGH_SURROGATE(c) && i + 1 < length && IS_LOW_SURROGATE(text[i + 1])) {
            unsigned code = 0x10000 + ((c - 0xD800) << 10) + ((unsigned short)text[++i] - 0xDC00);
            out->push_back((char)(0xF0 | (code >> 18)));
            out->push_back((char)(0x80 | ((code >> 12) & 0x3F)));
            out->push_back((char)(0x80 | ((code >> 6) & 0x3F)));
            out->push_back((char)(0x80 | (code & 0x3F)));
            continue;
        }
        out->push_back((char)(0xE0 | (c >> 12)));
        out->push_back((char)(0x80 | ((c >> 6) & 0x3F)));
        out->push_back((char)(0x80 | (c & 0x3F)));
    }
}

void AppendUtf16(const char* bytes, size_t length, std::wstring* out)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
    size_t i = 0;
    while (i < length) {
        unsigned b = p[i];
        if (b < 0x80) {
            out->push_back((wchar_t)b);
            i++;
        } else if (b < 0xE0 && i + 1 < length) {
            out->push_back((wchar_t)(((b & 0x1F) << 6) | (p[i + 1] & 0x3F)));
            i += 2;
        } else if (b < 0xF0 && i + 2 < length) {
            out->push_back((wchar_t)(((b & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F)));
            i += 3;
        } else if (i + 3 < length) {
            unsigned code = ((b & 0x07) << 18) | ((p[i + 1] & 0x3F) << 12) | ((p[i + 2] & 0x3F) << 6) |
                            (p[i + 3] & 0x3F);
            code -= 0x10000;
            out->push_back((wchar_t)(0xD800 + (code >> 10)));
            out->push_back((wchar_t)(0xDC00 + (code & 0x3FF)));
            i += 4;
        } else {
            break;  // a cut sequence: never written by AppendUtf8
        }
    }
}

ReportText::ReportText()
    : blockSize_(0), blockUsed_(0), longest_(0), bytes_(0), count_(0), complete_(false)
{
}

void ReportText::Add(const ReportLine& line)
{
    bool title = line.Kind == REPORT_TITLE;
    const std::wstring& text = line.Text;
    size_t pos = 0, end = text.size();
    for (;;) {
        size_t stop = pos;
        while (stop < end && !IsBreak(text[stop]))
            stop++;
        AddPiece(title, text.data() + pos, stop - pos);
        if (stop >= end)
            break;
        // CR LF counts once.
        pos = stop + (text[stop] == L'\r' && stop + 1 < end && text[stop + 1] == L'\n' ? 2 : 1);
    }
}

void ReportText::AddPiece(bool title, const wchar_t* text, size_t length)
{
    scratch_.clear();
    AppendUtf8(text, length, &scratch_);
    size_t size = scratch_.size();
    std::lock_guard<std::mutex> hold(lock_);
    if (blocks_.empty() || blockSize_ - blockUsed_ < size) {
        blockSize_ = std::max(kBlockBytes, size);
        blocks_.emplace_back(new char[blockSize_]);
        blockUsed_ = 0;
        bytes_ += blockSize_;
    }
    if (size)
        memcpy(blocks_.back().get() + blockUsed_, scratch_.data(), size);
    entries_.push_back(Entry{(uint32_t)(blocks_.size() - 1), (uint32_t)blockUsed_,
                             (uint32_t)((size << 1) | (title ? 1 : 0))});
    blockUsed_ += size;
    longest_ = std::max(longest_, length);
    count_ = (int)entries_.size();
}

void ReportText::Decode(const Entry& entry, std::wstring* out) const
{
    out->clear();
    AppendUtf16(blocks_[entry.Block].get() + entry.Offset, entry.Size >> 1, out);
}

void ReportText::Get(int first, int count, std::vector<ShownLine>* out) const
{
    out->clear();
    std::lock_guard<std::mutex> hold(lock_);
    int total = (int)entries_.size();
    if (first < 0)
        first = 0;
    int last = (int)std::min<long long>(total, (long long)first + std::max(count, 0));
    if (last <= first)
        return;
    out->resize((size_t)(last - first));
    for (int i = first; i < last; i++) {
        ShownLine& line = (*out)[(size_t)(i - first)];
        line.Title = (entries_[(size_t)i].Size & 1) != 0;
        Decode(entries_[(size_t)i], &line.Text);
    }
}

std::wstring ReportText::Line(int index) const
{
    std::wstring text;
    std::lock_guard<std::mutex> hold(lock_);
    if (index >= 0 && index < (int)entries_.size())
        Decode(entries_[(size_t)index], &text);
    return text;
}

size_t ReportText::Longest() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return longest_;
}

size_t ReportText::Bytes() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return bytes_ + entries_.capacity() * sizeof(Entry);
}
