// Large-chunk reading and writing for the workbook code: a buffered sink over a stream of a
// compound file or a file, scratch files that hold cells and strings until the workbook is laid
// out, and a record reader over a workbook stream. Writes reach the system in chunks of 256 KB:
// small writes to a compound file cost several times as much.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <stdint.h>

#include <vector>

namespace xls {

// Test seam: the workbook streams written after this call fail once the given number of bytes
// has been written (a negative count switches the fault off).
void SetWorkbookWriteFault(long long bytes);

// A buffered sink. The first failure sticks: later writes do nothing and Result() reports it.
class ChunkWriter
{
public:
    ChunkWriter() = default;
    virtual ~ChunkWriter() = default;
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;

    void Write(const void* data, size_t n);
    void Flush();
    uint64_t Position() const { return written_ + buffer_.size(); }
    HRESULT Result() const { return hr_; }

protected:
    virtual HRESULT Put(const uint8_t* data, ULONG n) = 0;
    void Fail(HRESULT hr)
    {
        if (SUCCEEDED(hr_))
            hr_ = hr;
    }

private:
    static const size_t kChunk = 256 * 1024;
    std::vector<uint8_t> buffer_;
    uint64_t written_ = 0;
    HRESULT hr_ = S_OK;
};

// Writes into a stream of a compound file (not owned); honours the test fault.
class StreamWriter : public ChunkWriter
{
public:
    explicit StreamWriter(IStream* stream);
    ~StreamWriter() override { Flush(); }

protected:
    HRESULT Put(const uint8_t* data, ULONG n) override;

private:
    IStream* stream_;
    long long faultAt_;
    long long put_ = 0;
};

// A temporary file that is deleted when it is closed (also when the program ends without
// closing it), written through a ChunkWriter and then read back in chunks.
class ScratchFile : public ChunkWriter
{
public:
    ScratchFile();
    ~ScratchFile() override;
    bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
    // Overwrites bytes already written (the buffer is flushed first).
    void Patch(uint64_t offset, const void* data, size_t n);
    // Copies everything written into the sink.
    void CopyTo(ChunkWriter* sink);

protected:
    HRESULT Put(const uint8_t* data, ULONG n) override;

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

// One record read from a workbook stream; data stays valid until the next read.
struct RecordView
{
    uint16_t id = 0;
    uint16_t size = 0;
    uint64_t position = 0;  // of the record's header in the stream
    const uint8_t* data = nullptr;
};

// Reads records one after the other from a stream (not owned).
class RecordReader
{
public:
    explicit RecordReader(IStream* stream);
    uint64_t Size() const { return size_; }
    uint64_t Position() const { return position_; }
    bool Seek(uint64_t position);
    // The next record; false at the end of the stream, or when its header or data runs past
    // the end (Truncated() tells that apart).
    bool Next(RecordView* record);
    bool Truncated() const { return truncated_; }
    HRESULT Result() const { return hr_; }
    // Reads n bytes at a position; false when they are not all there.
    bool ReadAt(uint64_t position, void* out, size_t n);
    // Copies a range of the stream into a sink in large chunks.
    bool CopyRange(uint64_t position, uint64_t n, ChunkWriter* sink);

private:
    bool Fill(uint64_t position, size_t need);
    IStream* stream_;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
    std::vector<uint8_t> buffer_;
    uint64_t bufferStart_ = 0;
    size_t bufferLength_ = 0;
    bool truncated_ = false;
    HRESULT hr_ = S_OK;
};

}  // namespace xls
