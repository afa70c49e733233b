#include "workbook/bookfile.h"

#include <algorithm>

#include "workbook/biff.h"
#include "workbook/compoundcheck.h"

namespace xls {

namespace {

BookStatus StatusOfOpenError(HRESULT hr)
{
    switch (hr) {
    case STG_E_FILENOTFOUND:
    case STG_E_PATHNOTFOUND:
        return BookStatus::NotFound;
    case STG_E_SHAREVIOLATION:
    case STG_E_LOCKVIOLATION:
        return BookStatus::Locked;
    case STG_E_FILEALREADYEXISTS:  // the file is there but is no compound file
    case STG_E_INVALIDHEADER:
    case STG_E_OLDFORMAT:
    case STG_E_OLDDLL:
        return BookStatus::NotWorkbook;
    case STG_E_DOCFILECORRUPT:
        return BookStatus::Damaged;
    default:
        return BookStatus::IoError;
    }
}

// Whether a file that is no compound file starts as the workbooks of Excel 2.x, 3.0 and 4.0 do:
// a BOF record of theirs (ids 0x0009, 0x0209, 0x0409) of a few bytes.
bool IsOlderExcelFile(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    uint8_t head[4] = {};
    DWORD got = 0;
    bool read = ReadFile(file, head, sizeof head, &got, nullptr) && got == sizeof head;
    CloseHandle(file);
    if (!read)
        return false;
    uint16_t id = Get16(head), size = Get16(head + 2);
    return (id == 0x0009 || id == 0x0209 || id == 0x0409) && size >= 4 && size <= 16;
}

}  // namespace

bool ReadBoundSheet(const uint8_t* data, size_t size, SheetInfo* sheet)
{
    if (size < 8 || !ReadShortString(data + 6, size - 6, &sheet->name))
        return false;
    sheet->offset = Get32(data);
    sheet->state = data[4];
    sheet->kind = data[5];
    return true;
}

bool SameSheetName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), (int)a.size(), b.c_str(), (int)b.size(), TRUE) == CSTR_EQUAL;
}

bool IsValidSheetName(const std::wstring& name)
{
    if (name.empty() || name.size() > (size_t)kMaxSheetNameChars)
        return false;
    if (name.front() == L'\'' || name.back() == L'\'')
        return false;
    return name.find_first_of(L":\\/?*[]") == std::wstring::npos;
}

// ---- BookStream ----

BookStatus BookStream::Open(const wchar_t* path)
{
    Close();
    // The storage would follow a looping chain for ever: the file's structure is looked at first.
    if (CheckCompoundFile(path) == CompoundCheck::Damaged) {
        error_ = STG_E_DOCFILECORRUPT;
        return BookStatus::Damaged;
    }
    error_ = StgOpenStorage(path, nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, &storage_);
    if (error_ == STG_E_SHAREVIOLATION || error_ == STG_E_LOCKVIOLATION)  // open in another program
        error_ = StgOpenStorage(path, nullptr, STGM_READ | STGM_SHARE_DENY_NONE | STGM_TRANSACTED, nullptr, 0,
                                &storage_);
    if (FAILED(error_)) {
        storage_ = nullptr;
        BookStatus status = StatusOfOpenError(error_);
        return status == BookStatus::NotWorkbook && IsOlderExcelFile(path) ? BookStatus::OldFormat : status;
    }
    // Excel 5.0 and 95 name the stream "Book"; some writers give a BIFF8 workbook that name too
    // (in any case): the version of its BOF tells them apart when the globals are read.
    for (const wchar_t* name : {kWorkbookStream, kOlderBookStream}) {
        error_ = storage_->OpenStream(name, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream_);
        if (SUCCEEDED(error_)) {
            STATSTG st = {};
            name_ = name;
            if (SUCCEEDED(stream_->Stat(&st, STATFLAG_DEFAULT)) && st.pwcsName)
                name_ = st.pwcsName;
            CoTaskMemFree(st.pwcsName);
            return BookStatus::Ok;
        }
    }
    stream_ = nullptr;
    Close();
    return BookStatus::NotWorkbook;
}

void BookStream::Close()
{
    if (stream_)
        stream_->Release();
    if (storage_)
        storage_->Release();
    stream_ = nullptr;
    storage_ = nullptr;
    name_.clear();
}

// ---- the globals ----

BookStatus ScanGlobals(RecordReader* reader, GlobalsScan* scan)
{
    *scan = GlobalsScan();
    if (FAILED(reader->Result()))
        return BookStatus::IoError;
    reader->Seek(0);
    RecordView r;
    if (!reader->Next(&r))
        return FAILED(reader->Result()) ? BookStatus::IoError : BookStatus::Damaged;
    if (r.id != kRecBof || r.size < 4)
        return BookStatus::NotWorkbook;
    if (Get16(r.data) != kBiff8Version)
        return BookStatus::OldFormat;
    if (Get16(r.data + 2) != kBofGlobals)
        return BookStatus::Damaged;
    scan->records.push_back({r.id, r.size, r.position});
    SstScanner strings(nullptr);
    bool inTable = false;
    int depth = 1;
    while (depth > 0) {
        if (!reader->Next(&r))
            return FAILED(reader->Result()) ? BookStatus::IoError : BookStatus::Damaged;
        size_t index = scan->records.size();
        scan->records.push_back({r.id, r.size, r.position});
        if (inTable && r.id != kRecContinue) {
            inTable = false;
            scan->sstEnd = index;
            if (!strings.Complete())
                return BookStatus::Damaged;
        }
        switch (r.id) {
        case kRecBof:
            ++depth;
            break;
        case kRecEof:
            --depth;
            break;
        case kRecFilePass:
            return BookStatus::Encrypted;
        case kRecXf:
            ++scan->xfCount;
            scan->lastXf = index;
            break;
        case kRecBoundSheet: {
            SheetInfo sheet;
            if (!ReadBoundSheet(r.data, r.size, &sheet))
                return BookStatus::Damaged;
            scan->sheets.push_back(sheet);
            scan->lastSheet = index;
            break;
        }
        case kRecSst:
            if (scan->sst != SIZE_MAX || !strings.Feed(r))
                return BookStatus::Damaged;
            scan->sst = index;
            inTable = true;
            break;
        case kRecContinue:
            if (inTable && !strings.Feed(r))
                return BookStatus::Damaged;
            break;
        case kRecExtSst:
            if (scan->sst == SIZE_MAX)
                return BookStatus::Damaged;  // the index of a table not read yet
            scan->extSst = index;
            break;
        case kRecTabId:
            scan->tabId = index;
            break;
        }
    }
    scan->end = reader->Position();
    if (scan->sst != SIZE_MAX) {
        scan->strings = strings.Count();
        scan->references = strings.DeclaredTotal();
        scan->marks = strings.Marks();
    }
    // Every sheet's substream lies after the globals and runs from its BOF to its EOF. Each is
    // walked once, however many entries name it, and none may start inside another one.
    std::vector<uint32_t> offsets;
    for (const SheetInfo& sheet : scan->sheets)
        offsets.push_back(sheet.offset);
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    uint64_t walked = scan->end;
    for (uint32_t offset : offsets) {
        if (offset < walked || !reader->Seek(offset) || !reader->Next(&r) || r.id != kRecBof)
            return FAILED(reader->Result()) ? BookStatus::IoError : BookStatus::Damaged;
        for (int level = 1; level > 0; ++scan->sheetRecords) {
            if (!reader->Next(&r))
                return FAILED(reader->Result()) ? BookStatus::IoError : BookStatus::Damaged;
            if (r.id == kRecBof)
                ++level;
            else if (r.id == kRecEof)
                --level;
        }
        walked = reader->Position();
    }
    return BookStatus::Ok;
}

BookStatus ReadWorkbookSheets(const wchar_t* path, std::vector<SheetInfo>* sheets, HRESULT* error)
{
    sheets->clear();
    *error = S_OK;
    BookStream book;
    BookStatus status = book.Open(path);
    if (status == BookStatus::Ok) {
        RecordReader reader(book.Stream());
        GlobalsScan scan;
        status = ScanGlobals(&reader, &scan);
        if (status == BookStatus::Ok)
            *sheets = std::move(scan.sheets);
        else if (status == BookStatus::IoError)
            *error = reader.Result();
    } else if (status == BookStatus::IoError) {
        *error = book.Error();
    }
    return status;
}

}  // namespace xls
