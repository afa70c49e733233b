#include "workbook/sharedstrings.h"

#include <algorithm>

namespace xls {

// ---- SstWriter ----

SstWriter::SstWriter(ChunkWriter* sink, bool startsTable, uint32_t firstIndex, size_t dedupeBytes)
    : sink_(sink), base_(sink->Position()), first_(startsTable), next_(firstIndex),
      dedupeBytes_(dedupeBytes)
{
    if (first_) {
        record_.U32(0);  // total references, patched by the caller
        record_.U32(0);  // unique strings
    }
}

void SstWriter::EndRecord()
{
    uint8_t header[4];
    Put16(header, first_ ? kRecSst : kRecContinue);
    Put16(header + 2, (uint16_t)record_.Size());
    sink_->Write(header, 4);
    sink_->Write(record_.Data(), record_.Size());
    base_ += 4 + record_.Size();
    record_.Clear();
    first_ = false;
}

uint32_t SstWriter::Add(const wchar_t* s, size_t n)
{
    ++refs_;
    if (n > (size_t)kMaxCellChars)
        n = kMaxCellChars;
    std::wstring key(s, n);
    auto found = seen_.find(key);
    if (found != seen_.end())
        return found->second;
    uint32_t index = next_++;
    if (seenBytes_ + n * sizeof(wchar_t) + 64 <= dedupeBytes_) {
        seenBytes_ += n * sizeof(wchar_t) + 64;
        seen_.emplace(std::move(key), index);
    }
    bool wide = !FitsCompressed(s, n);
    size_t unit = wide ? 2 : 1;
    // The count, the option byte and the first character never part.
    if (Room() < 3 + unit)
        EndRecord();
    if (index % kMarkStep == 0)
        marks_.push_back({base_, (uint16_t)(kRecordHeader + record_.Size())});
    record_.U16((uint16_t)n);
    record_.U8(wide ? 1 : 0);
    size_t done = 0;
    while (done < n) {
        size_t fit = Room() / unit;
        if (fit == 0) {
            EndRecord();
            record_.U8(wide ? 1 : 0);  // a continued string repeats its option byte
            continue;
        }
        size_t take = std::min(fit, n - done);
        AppendChars(&record_, s + done, take, wide);
        done += take;
    }
    return index;
}

void SstWriter::Finish()
{
    if (record_.Size() > 0 || first_)
        EndRecord();
}

// ---- SstScanner ----

bool SstScanner::Feed(const RecordView& record)
{
    const uint8_t* p = record.data;
    size_t n = record.size, at = 0;
    if (!started_) {
        if (record.id != kRecSst || n < 8)
            return false;
        declaredTotal_ = Get32(p);
        declaredUnique_ = Get32(p + 4);
        at = 8;
        started_ = true;
    } else if (record.id != kRecContinue) {
        return false;
    } else if (state_ == kChars) {
        if (n < 1)
            return false;
        wide_ = (p[0] & 0x01) != 0;  // a continued string repeats its option byte
        at = 1;
    }
    for (;;) {
        if (state_ == kChars) {
            size_t unit = wide_ ? 2 : 1;
            size_t take = std::min((n - at) / unit, charsLeft_);
            ReadChars(p + at, take, wide_, &current_);
            at += take * unit;
            charsLeft_ -= take;
            if (charsLeft_ > 0)
                return at == n;  // goes on in the next record; a character never parts
            if (strings_)
                strings_->push_back(current_);
            ++count_;
            state_ = skipLeft_ > 0 ? kSkip : kHeader;
            continue;
        }
        if (at >= n)
            return true;
        if (state_ == kSkip) {
            uint64_t take = std::min<uint64_t>(skipLeft_, n - at);
            at += (size_t)take;
            skipLeft_ -= take;
            if (skipLeft_ == 0)
                state_ = kHeader;
            continue;
        }
        // The count, the option byte and the sizes of runs and phonetic data never part.
        size_t start = at;
        if (n - at < 3)
            return false;
        size_t cch = Get16(p + at);
        uint8_t flags = p[at + 2];
        at += 3;
        size_t runs = 0, ext = 0;
        if (flags & 0x08) {
            if (n - at < 2)
                return false;
            runs = Get16(p + at);
            at += 2;
        }
        if (flags & 0x04) {
            if (n - at < 4)
                return false;
            ext = Get32(p + at);
            at += 4;
        }
        if (count_ % kMarkStep == 0)
            marks_.push_back({record.position, (uint16_t)(kRecordHeader + start)});
        current_.clear();
        charsLeft_ = cch;
        skipLeft_ = (uint64_t)runs * 4 + ext;
        wide_ = (flags & 0x01) != 0;
        state_ = kChars;
    }
}

// ---- EXTSST ----

void ExtSstRecord(uint32_t strings, const std::vector<StringMark>& marks, ByteWriter* out)
{
    // At most 128 buckets, each a whole number of marked steps.
    uint32_t perBucket = kMarkStep;
    while ((strings + perBucket - 1) / perBucket > 128)
        perBucket += kMarkStep;
    ByteWriter data;
    data.U16((uint16_t)perBucket);
    for (uint32_t first = 0; first < strings; first += perBucket) {
        size_t k = first / kMarkStep;
        StringMark m = k < marks.size() ? marks[k] : StringMark();
        data.U32((uint32_t)(m.record + m.offset));
        data.U16(m.offset);
        data.U16(0);
    }
    out->Record(kRecExtSst, data);
}

}  // namespace xls
