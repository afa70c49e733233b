#include "workbook/chunkio.h"

#include "workbook/biff.h"

#include <string.h>

#include <algorithm>
#include <atomic>

namespace xls {

namespace {

std::atomic<long long> g_writeFault{-1};

}  // namespace

void SetWorkbookWriteFault(long long bytes)
{
    g_writeFault = bytes;
}

// ---- ChunkWriter ----

void ChunkWriter::Write(const void* data, size_t n)
{
    if (FAILED(hr_) || n == 0)
        return;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    if (buffer_.capacity() < kChunk)
        buffer_.reserve(kChunk);
    while (n > 0) {
        size_t room = kChunk - buffer_.size();
        size_t take = std::min(room, n);
        buffer_.insert(buffer_.end(), p, p + take);
        p += take;
        n -= take;
        if (buffer_.size() == kChunk)
            Flush();
        if (FAILED(hr_))
            return;
    }
}

void ChunkWriter::Flush()
{
    if (buffer_.empty() || FAILED(hr_))
        return;
    HRESULT hr = Put(buffer_.data(), (ULONG)buffer_.size());
    if (FAILED(hr))
        Fail(hr);
    else
        written_ += buffer_.size();
    buffer_.clear();
}

// ---- StreamWriter ----

StreamWriter::StreamWriter(IStream* stream) : stream_(stream), faultAt_(g_writeFault.load()) {}

HRESULT StreamWriter::Put(const uint8_t* data, ULONG n)
{
    if (faultAt_ >= 0 && put_ + (long long)n > faultAt_)
        return STG_E_MEDIUMFULL;
    ULONG done = 0;
    HRESULT hr = stream_->Write(data, n, &done);
    if (SUCCEEDED(hr) && done != n)
        hr = STG_E_MEDIUMFULL;
    put_ += done;
    return hr;
}

// ---- ScratchFile ----

ScratchFile::ScratchFile()
{
    wchar_t folder[MAX_PATH + 1], path[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH || !GetTempFileNameW(folder, L"zwb", 0, path)) {
        Fail(HRESULT_FROM_WIN32(GetLastError()));
        return;
    }
    file_ = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) {
        Fail(HRESULT_FROM_WIN32(GetLastError()));
        DeleteFileW(path);
    }
}

ScratchFile::~ScratchFile()
{
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
}

HRESULT ScratchFile::Put(const uint8_t* data, ULONG n)
{
    if (file_ == INVALID_HANDLE_VALUE)
        return E_HANDLE;
    DWORD done = 0;
    if (!WriteFile(file_, data, n, &done, nullptr))
        return HRESULT_FROM_WIN32(GetLastError());
    return done == n ? S_OK : HRESULT_FROM_WIN32(ERROR_DISK_FULL);
}

void ScratchFile::Patch(uint64_t offset, const void* data, size_t n)
{
    Flush();
    if (FAILED(Result()))
        return;
    LARGE_INTEGER at, end, zero;
    at.QuadPart = (LONGLONG)offset;
    zero.QuadPart = 0;
    DWORD done = 0;
    if (!SetFilePointerEx(file_, zero, &end, FILE_CURRENT) ||
        !SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) ||
        !WriteFile(file_, data, (DWORD)n, &done, nullptr) || done != n ||
        !SetFilePointerEx(file_, end, nullptr, FILE_BEGIN))
        Fail(HRESULT_FROM_WIN32(GetLastError()));
}

void ScratchFile::CopyTo(ChunkWriter* sink)
{
    Flush();
    if (FAILED(Result()))
        return;
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(file_, zero, nullptr, FILE_BEGIN)) {
        Fail(HRESULT_FROM_WIN32(GetLastError()));
        return;
    }
    std::vector<uint8_t> chunk(256 * 1024);
    uint64_t left = Position();
    while (left > 0 && SUCCEEDED(sink->Result())) {
        DWORD want = (DWORD)std::min<uint64_t>(left, chunk.size()), got = 0;
        if (!ReadFile(file_, chunk.data(), want, &got, nullptr) || got != want) {
            Fail(HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_HANDLE_EOF));
            return;
        }
        sink->Write(chunk.data(), got);
        left -= got;
    }
}

// ---- RecordReader ----

RecordReader::RecordReader(IStream* stream) : stream_(stream)
{
    STATSTG st = {};
    hr_ = stream_->Stat(&st, STATFLAG_NONAME);
    if (SUCCEEDED(hr_))
        size_ = st.cbSize.QuadPart;
}

bool RecordReader::Seek(uint64_t position)
{
    position_ = position;
    return position <= size_;
}

bool RecordReader::Fill(uint64_t position, size_t need)
{
    if (position >= bufferStart_ && position + need <= bufferStart_ + bufferLength_)
        return true;
    if (position + need > size_)
        return false;
    size_t want = (size_t)std::min<uint64_t>(std::max<size_t>(need, 256 * 1024), size_ - position);
    if (buffer_.size() < want)
        buffer_.resize(want);
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)position;
    ULONG got = 0;
    HRESULT hr = stream_->Seek(at, STREAM_SEEK_SET, nullptr);
    if (SUCCEEDED(hr))
        hr = stream_->Read(buffer_.data(), (ULONG)want, &got);
    if (FAILED(hr) || got < need) {
        hr_ = FAILED(hr) ? hr : STG_E_READFAULT;
        bufferLength_ = 0;
        return false;
    }
    bufferStart_ = position;
    bufferLength_ = got;
    return true;
}

bool RecordReader::Next(RecordView* record)
{
    if (position_ + kRecordHeader > size_) {
        truncated_ = position_ != size_;
        return false;
    }
    if (!Fill(position_, kRecordHeader))
        return false;
    const uint8_t* h = buffer_.data() + (position_ - bufferStart_);
    uint16_t id = (uint16_t)(h[0] | (h[1] << 8));
    uint16_t size = (uint16_t)(h[2] | (h[3] << 8));
    if (position_ + kRecordHeader + size > size_ || !Fill(position_, kRecordHeader + size)) {
        truncated_ = true;
        return false;
    }
    record->id = id;
    record->size = size;
    record->position = position_;
    record->data = buffer_.data() + (position_ - bufferStart_) + kRecordHeader;
    position_ += kRecordHeader + size;
    return true;
}

bool RecordReader::ReadAt(uint64_t position, void* out, size_t n)
{
    if (!Fill(position, n))
        return false;
    memcpy(out, buffer_.data() + (position - bufferStart_), n);
    return true;
}

bool RecordReader::CopyRange(uint64_t position, uint64_t n, ChunkWriter* sink)
{
    while (n > 0) {
        size_t take = (size_t)std::min<uint64_t>(n, 256 * 1024);
        if (!Fill(position, take))
            return false;
        sink->Write(buffer_.data() + (position - bufferStart_), take);
        position += take;
        n -= take;
    }
    return SUCCEEDED(sink->Result());
}

}  // namespace xls
