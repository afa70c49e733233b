// The shared string table (SST) of a workbook: text cells name their string by its index in it.
// SstWriter writes strings as SST/CONTINUE records, SstScanner walks an existing table, and
// ExtSstRecord builds the EXTSST index that follows the table.
#pragma once
#include <stdint.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "workbook/biff.h"
#include "workbook/chunkio.h"

namespace xls {

// Where a string starts: the position of its record's header and its offset from that header.
struct StringMark
{
    uint64_t record = 0;
    uint16_t offset = 0;
};

// Every eighth string is marked for the EXTSST index (marks[k] is string 8k).
const uint32_t kMarkStep = 8;

class SstWriter
{
public:
    // startsTable: the first record is an SST record whose two counts (at offset 4 of the
    // sink) stay zero until the caller patches them; otherwise the strings go on in CONTINUE
    // records after an existing table of firstIndex strings. Repeated strings share an index
    // while the remembered strings take at most dedupeBytes.
    SstWriter(ChunkWriter* sink, bool startsTable, uint32_t firstIndex, size_t dedupeBytes);
    SstWriter(const SstWriter&) = delete;
    SstWriter& operator=(const SstWriter&) = delete;

    // The index of the string (at most kMaxCellChars characters are stored).
    uint32_t Add(const wchar_t* s, size_t n);
    // Writes the last record.
    void Finish();

    uint32_t Unique() const { return next_; }        // strings in the table, earlier ones included
    uint32_t References() const { return refs_; }    // indexes handed out
    // Marks of the strings written here, positions counted from the sink's start.
    const std::vector<StringMark>& Marks() const { return marks_; }

private:
    void EndRecord();
    size_t Room() const { return kMaxRecordData - record_.Size(); }

    ChunkWriter* sink_;
    uint64_t base_;  // sink position of the record being filled
    ByteWriter record_;
    bool first_;
    uint32_t next_;
    uint32_t refs_ = 0;
    std::vector<StringMark> marks_;
    std::unordered_map<std::wstring, uint32_t> seen_;
    size_t seenBytes_ = 0;
    size_t dedupeBytes_;
};

// Walks the strings of an SST record and the CONTINUE records after it, fed one record at a
// time. Rich-text runs and phonetic data are skipped.
class SstScanner
{
public:
    // strings (may be null) receives every string.
    explicit SstScanner(std::vector<std::wstring>* strings) : strings_(strings) {}
    // The SST record itself (its counts are read here) or one of its CONTINUE records; false
    // when the data do not read as strings.
    bool Feed(const RecordView& record);
    // True when the last string ended with its record (no string is left half read).
    bool Complete() const { return state_ == kHeader; }
    uint32_t Count() const { return count_; }
    uint32_t DeclaredUnique() const { return declaredUnique_; }
    uint32_t DeclaredTotal() const { return declaredTotal_; }
    const std::vector<StringMark>& Marks() const { return marks_; }

private:
    enum State { kHeader, kChars, kSkip };
    std::vector<std::wstring>* strings_;
    State state_ = kHeader;
    bool started_ = false;
    uint32_t count_ = 0;
    uint32_t declaredUnique_ = 0, declaredTotal_ = 0;
    size_t charsLeft_ = 0;
    uint64_t skipLeft_ = 0;
    bool wide_ = false;
    std::wstring current_;
    std::vector<StringMark> marks_;
};

// The EXTSST record for a table of `strings` strings, from the marks of every eighth string
// (absolute positions in the workbook stream).
void ExtSstRecord(uint32_t strings, const std::vector<StringMark>& marks, ByteWriter* out);

}  // namespace xls
