#include "workbook/sheetwriter.h"

#include <algorithm>

#include "workbook/biff.h"
#include "workbook/sharedstrings.h"

namespace xls {

namespace {

// Repeated strings share one entry of the table while the remembered ones take at most this.
const size_t kDedupeBytes = 16 * 1024 * 1024;
// A new workbook: 15 style XFs, then the four cell XFs of the sheet.
const uint16_t kNewBookFirstCellXf = 15;
const uint32_t kCellXfs = 4;  // general, date, date and time, currency
const uint32_t kMaxXfs = 4050;
// Streams below this size land in the compound file's mini stream, which some readers skip.
const uint64_t kMinStreamSize = 4096;

// Built-in number formats of the cell XFs.
const uint16_t kFormatGeneral = 0, kFormatDate = 14, kFormatDateTime = 22, kFormatCurrency = 7;

void BofRecord(uint16_t kind, ByteWriter* out)
{
    ByteWriter d;
    d.U16(kBiff8Version);
    d.U16(kind);
    d.U16(0x0DBB);  // build
    d.U16(0x07CC);  // year
    d.U32(0);       // file history
    d.U32(0x0006);  // lowest version that reads the file: BIFF8
    out->Record(kRecBof, d);
}

void XfRecord(uint16_t format, bool style, ByteWriter* out)
{
    ByteWriter d;
    d.U16(0);                             // font 0
    d.U16(format);
    d.U16(style ? 0xFFF5 : 0x0001);       // locked; a style XF, or a cell XF of the Normal style
    d.U8(0x20);                           // bottom aligned
    d.U8(0);
    d.U8(0);
    d.U8(style || format == kFormatGeneral ? 0 : 0x04);  // its own number format
    d.U32(0);                             // no borders
    d.U32(0);
    d.U16(0x20C0);                        // pattern colours: window text and background
    out->Record(kRecXf, d);
}

void CellXfs(ByteWriter* out)
{
    XfRecord(kFormatGeneral, false, out);
    XfRecord(kFormatDate, false, out);
    XfRecord(kFormatDateTime, false, out);
    XfRecord(kFormatCurrency, false, out);
}

void FontRecord(ByteWriter* out)
{
    ByteWriter d;
    d.U16(200);     // 10 points in twips
    d.U16(0);
    d.U16(0x7FFF);  // window text colour
    d.U16(400);     // normal weight
    d.U16(0);
    d.U8(0);
    d.U8(0);
    d.U8(0);
    d.U8(0);
    AppendShortString(&d, L"Arial", 5);
    out->Record(kRecFont, d);
}

void NewBookHead(ByteWriter* out)
{
    BofRecord(kBofGlobals, out);
    ByteWriter d;
    d.U16(1200);  // strings are UTF-16
    out->Record(kRecCodePage, d);
    d.Clear();
    d.U16(0);
    d.U16(0);
    d.U16(0x4000);
    d.U16(0x2000);
    d.U16(0x0038);  // horizontal and vertical scroll bars, sheet tabs
    d.U16(0);       // first sheet active
    d.U16(0);
    d.U16(1);       // one sheet selected
    d.U16(0x0258);  // tab bar width
    out->Record(kRecWindow1, d);
    d.Clear();
    d.U16(0);  // days counted from 1900
    out->Record(kRecDateMode, d);
    for (int i = 0; i < 4; ++i)
        FontRecord(out);
    for (int i = 0; i < kNewBookFirstCellXf; ++i)
        XfRecord(kFormatGeneral, true, out);
    CellXfs(out);
    d.Clear();
    d.U16(0x8000);  // built-in style of XF 0: Normal
    d.U8(0);
    d.U8(0xFF);
    out->Record(kRecStyle, d);
}

void BoundSheetRecord(uint32_t offset, const std::wstring& name, ByteWriter* out)
{
    ByteWriter d;
    d.U32(offset);
    d.U8(0);  // visible
    d.U8(0);  // worksheet
    AppendShortString(&d, name.c_str(), name.size());
    out->Record(kRecBoundSheet, d);
}

void SheetHead(int rows, int columns, bool selected, ByteWriter* out)
{
    BofRecord(kBofWorksheet, out);
    ByteWriter d;
    d.U32(0);
    d.U32((uint32_t)rows);  // one past the last row and column
    d.U16(0);
    d.U16((uint16_t)columns);
    d.U16(0);
    out->Record(kRecDimensions, d);
    d.Clear();
    d.U16(selected ? 0x06B6 : 0x00B6);  // grid, headers, zeros, outline; selected tab
    d.U16(0);
    d.U16(0);
    d.U32(64);  // grid line colour: automatic
    d.U16(0);
    d.U16(0);
    d.U32(0);
    out->Record(kRecWindow2, d);
}

void EofRecord(ChunkWriter* w)
{
    const uint8_t eof[4] = {(uint8_t)kRecEof, 0, 0, 0};
    w->Write(eof, 4);
}

size_t ExtSstSize(uint32_t strings)
{
    ByteWriter probe;
    ExtSstRecord(strings, {}, &probe);
    return probe.Size();
}

std::vector<StringMark> Shifted(const std::vector<StringMark>& marks, int64_t by)
{
    std::vector<StringMark> out(marks);
    for (StringMark& m : out)
        m.record = (uint64_t)((int64_t)m.record + by);
    return out;
}

HRESULT LastError()
{
    DWORD e = GetLastError();
    return e ? HRESULT_FROM_WIN32(e) : E_FAIL;
}

}  // namespace

HRESULT CheckReplaceable(const wchar_t* path)
{
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? S_OK : LastError();
    // The attribute itself, since a program run by an administrator could write the file anyway.
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastError();
    CloseHandle(file);
    return S_OK;
}

struct SheetWriter::Impl
{
    std::wstring path;
    std::wstring name;
    bool append = false;
    BookStream book;
    GlobalsScan scan;
    ScratchFile cells;
    ScratchFile strings;
    std::unique_ptr<SstWriter> sst;
    uint16_t firstXf = kNewBookFirstCellXf;
    int rows = 0, columns = 0;  // one past the last row and column written
    ByteWriter cell;
    std::wstring temp;

    void Put(uint16_t id, int row, int column, uint16_t xf)
    {
        cell.Clear();
        cell.U16(id);
        cell.U16(0);
        cell.U16((uint16_t)row);
        cell.U16((uint16_t)column);
        cell.U16(xf);
    }
    void Send()
    {
        Put16(cell.Bytes().data() + 2, (uint16_t)(cell.Size() - kRecordHeader));
        cells.Write(cell.Data(), cell.Size());
    }
    HRESULT WriteNew(ChunkWriter* w);
    HRESULT WriteAppended(ChunkWriter* w);
    void WriteSheet(ChunkWriter* w);
};

SheetWriter::SheetWriter() : impl_(new Impl) {}

SheetWriter::~SheetWriter()
{
    if (!impl_->temp.empty())
        DeleteFileW(impl_->temp.c_str());
}

BookStatus SheetWriter::Fail(BookStatus status, HRESULT error)
{
    if (status_ == BookStatus::Ok) {
        status_ = status;
        error_ = error;
    }
    return status_;
}

BookStatus SheetWriter::Begin(const wchar_t* path, const wchar_t* sheetName, bool append)
{
    Impl& m = *impl_;
    m.name = sheetName ? sheetName : L"";
    if (!IsValidSheetName(m.name))
        return Fail(BookStatus::BadName);
    wchar_t full[MAX_PATH + 1];
    DWORD n = GetFullPathNameW(path, MAX_PATH + 1, full, nullptr);
    if (n == 0 || n > MAX_PATH)
        return Fail(BookStatus::NotFound, LastError());
    m.path = full;
    m.append = append;
    if (append) {
        BookStatus st = m.book.Open(full);
        if (st != BookStatus::Ok)
            return Fail(st, m.book.Error());
        RecordReader reader(m.book.Stream());
        st = ScanGlobals(&reader, &m.scan);
        if (st != BookStatus::Ok)
            return Fail(st, reader.Result());
        if (m.scan.lastXf == SIZE_MAX || m.scan.lastSheet == SIZE_MAX)
            return Fail(BookStatus::Damaged);
        for (const SheetInfo& s : m.scan.sheets)
            if (SameSheetName(s.name, m.name))
                return Fail(BookStatus::NameTaken);
        if (m.scan.xfCount + kCellXfs > kMaxXfs)
            return Fail(BookStatus::TooLarge);
        m.firstXf = (uint16_t)m.scan.xfCount;
    }
    if (!m.cells.IsOpen() || !m.strings.IsOpen())
        return Fail(BookStatus::IoError, FAILED(m.cells.Result()) ? m.cells.Result() : m.strings.Result());
    bool newTable = !append || m.scan.sst == SIZE_MAX;
    m.sst.reset(new SstWriter(&m.strings, newTable, newTable ? 0 : m.scan.strings, kDedupeBytes));
    return status_;
}

bool SheetWriter::Cell(int row, int column)
{
    if (status_ != BookStatus::Ok || !impl_->sst)
        return false;
    if (row < 0 || row >= kMaxRows || column < 0 || column >= kMaxColumns) {
        Fail(BookStatus::TooLarge);
        return false;
    }
    impl_->rows = std::max(impl_->rows, row + 1);
    impl_->columns = std::max(impl_->columns, column + 1);
    return true;
}

bool SheetWriter::Text(int row, int column, const wchar_t* text, size_t length)
{
    if (!Cell(row, column))
        return false;
    if (length > (size_t)kMaxCellChars) {
        length = kMaxCellChars;
        ++truncated_;
    }
    Impl& m = *impl_;
    uint32_t index = m.sst->Add(text ? text : L"", length);
    m.Put(kRecLabelSst, row, column, m.firstXf);
    m.cell.U32(index);
    m.Send();
    return true;
}

bool SheetWriter::Number(int row, int column, double value, CellStyle style)
{
    if (!Cell(row, column))
        return false;
    Impl& m = *impl_;
    m.Put(kRecNumber, row, column, (uint16_t)(m.firstXf + (int)style));
    m.cell.F64(value);
    m.Send();
    return true;
}

bool SheetWriter::Boolean(int row, int column, bool value)
{
    if (!Cell(row, column))
        return false;
    Impl& m = *impl_;
    m.Put(kRecBoolErr, row, column, m.firstXf);
    m.cell.U8(value ? 1 : 0);
    m.cell.U8(0);  // a value, not an error
    m.Send();
    return true;
}

void SheetWriter::Impl::WriteSheet(ChunkWriter* w)
{
    ByteWriter head;
    SheetHead(rows, columns, !append, &head);
    w->Write(head.Data(), head.Size());
    cells.CopyTo(w);
    EofRecord(w);
}

HRESULT SheetWriter::Impl::WriteNew(ChunkWriter* w)
{
    ByteWriter head;
    NewBookHead(&head);
    ByteWriter bound;
    BoundSheetRecord(0, name, &bound);
    uint64_t sstAt = head.Size() + bound.Size();
    ByteWriter ext;
    ExtSstRecord(sst->Unique(), Shifted(sst->Marks(), (int64_t)sstAt), &ext);
    uint64_t sheetAt = sstAt + strings.Position() + ext.Size() + kRecordHeader;
    Put32(bound.Bytes().data() + kRecordHeader, (uint32_t)sheetAt);
    uint8_t counts[8];
    Put32(counts, sst->References());
    Put32(counts + 4, sst->Unique());
    strings.Patch(kRecordHeader, counts, 8);
    w->Write(head.Data(), head.Size());
    w->Write(bound.Data(), bound.Size());
    strings.CopyTo(w);
    w->Write(ext.Data(), ext.Size());
    EofRecord(w);
    WriteSheet(w);
    return FAILED(strings.Result()) ? strings.Result() : cells.Result();
}

HRESULT SheetWriter::Impl::WriteAppended(ChunkWriter* w)
{
    const GlobalsScan& g = scan;
    RecordReader reader(book.Stream());
    bool hadTable = g.sst != SIZE_MAX;
    uint64_t stringBytes = strings.Position();
    ByteWriter newXfs;
    CellXfs(&newXfs);
    ByteWriter bound;
    BoundSheetRecord(0, name, &bound);
    bool growTabs = g.tabId != SIZE_MAX && g.records[g.tabId].size + 2u <= kMaxRecordData;
    size_t extSize = ExtSstSize(sst->Unique());
    int64_t growth = (int64_t)(newXfs.Size() + bound.Size() + (growTabs ? 2 : 0) + stringBytes);
    if (!hadTable)
        growth += (int64_t)extSize;
    else if (g.extSst != SIZE_MAX)
        growth += (int64_t)extSize - (int64_t)(kRecordHeader + g.records[g.extSst].size);
    uint64_t globalsEnd = g.end + growth;
    Put32(bound.Bytes().data() + kRecordHeader, (uint32_t)(globalsEnd + (reader.Size() - g.end)));

    std::vector<uint8_t> data;
    int64_t tableShift = 0;
    uint64_t newStringsAt = 0;
    auto writeStrings = [&] {
        newStringsAt = w->Position();
        if (!hadTable) {
            uint8_t counts[8];
            Put32(counts, sst->References());
            Put32(counts + 4, sst->Unique());
            strings.Patch(kRecordHeader, counts, 8);
        }
        strings.CopyTo(w);
    };
    auto writeIndex = [&] {
        std::vector<StringMark> marks = Shifted(g.marks, tableShift);
        std::vector<StringMark> added = Shifted(sst->Marks(), (int64_t)newStringsAt);
        marks.insert(marks.end(), added.begin(), added.end());
        ByteWriter ext;
        ExtSstRecord(sst->Unique(), marks, &ext);
        w->Write(ext.Data(), ext.Size());
    };
    for (size_t i = 0; i < g.records.size(); ++i) {
        const RecordSpan& s = g.records[i];
        data.resize(kRecordHeader + s.size);
        if (!reader.ReadAt(s.position, data.data(), data.size()))
            return FAILED(reader.Result()) ? reader.Result() : STG_E_READFAULT;
        uint8_t* body = data.data() + kRecordHeader;
        if (i == g.sst) {
            tableShift = (int64_t)w->Position() - (int64_t)s.position;
            Put32(body, g.references + sst->References());
            Put32(body + 4, sst->Unique());
        } else if (i == g.extSst) {
            writeIndex();
            continue;
        } else if (s.id == kRecBoundSheet) {
            Put32(body, (uint32_t)(Get32(body) + growth));
        } else if (i == g.tabId && growTabs) {
            uint16_t top = 0;
            for (size_t k = 0; k + 1 < s.size; k += 2)
                top = std::max(top, Get16(body + k));
            data.resize(data.size() + 2);
            Put16(data.data() + kRecordHeader + s.size, (uint16_t)(top + 1));
            Put16(data.data() + 2, (uint16_t)(s.size + 2));
        } else if (i + 1 == g.records.size() && !hadTable) {
            writeStrings();  // a workbook without strings gets its table before the EOF
            writeIndex();
        }
        w->Write(data.data(), data.size());
        if (i == g.lastXf)
            w->Write(newXfs.Data(), newXfs.Size());
        if (i == g.lastSheet)
            w->Write(bound.Data(), bound.Size());
        if (hadTable && i + 1 == g.sstEnd)
            writeStrings();  // the new strings go on after the existing ones
    }
    // The sheets follow as they are; their INDEX records hold stream positions, which move.
    reader.Seek(g.end);
    RecordView r;
    while (reader.Position() < reader.Size()) {
        uint64_t at = reader.Position();
        if (!reader.Next(&r)) {
            if (FAILED(reader.Result()))
                return reader.Result();
            reader.CopyRange(at, reader.Size() - at, w);  // bytes after the last record
            break;
        }
        data.assign(r.data - kRecordHeader, r.data + r.size);
        if (r.id == kRecIndex && r.size >= 16) {
            uint8_t* body = data.data() + kRecordHeader;
            for (size_t k = 12; k + 4 <= r.size; k += 4)
                if (k != 12 || Get32(body + k) != 0)
                    Put32(body + k, (uint32_t)(Get32(body + k) + growth));
        }
        w->Write(data.data(), data.size());
    }
    WriteSheet(w);
    if (FAILED(reader.Result()))
        return reader.Result();
    return FAILED(strings.Result()) ? strings.Result() : cells.Result();
}

BookStatus SheetWriter::Commit()
{
    Impl& m = *impl_;
    if (status_ != BookStatus::Ok || !m.sst)
        return status_;
    m.sst->Finish();
    if (FAILED(m.cells.Result()) || FAILED(m.strings.Result()))
        return Fail(BookStatus::IoError, FAILED(m.cells.Result()) ? m.cells.Result() : m.strings.Result());
    // The new workbook is made beside the target, so that it can take the target's place in
    // one rename.
    std::wstring folder = m.path.substr(0, m.path.find_last_of(L"\\/") + 1);
    wchar_t temp[MAX_PATH + 1];
    if (!GetTempFileNameW(folder.c_str(), L"zor", 0, temp))
        return Fail(BookStatus::IoError, LastError());
    // A name is not yet a file (Wine names one in a folder that takes none): the folder's own
    // refusal is the reason to tell, not the storage's bare failure after it.
    HANDLE made = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (made == INVALID_HANDLE_VALUE)
        return Fail(BookStatus::IoError, LastError());
    CloseHandle(made);
    m.temp = temp;
    IStorage* out = nullptr;
    IStream* stream = nullptr;
    HRESULT hr = StgCreateDocfile(temp, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &out);
    if (SUCCEEDED(hr) && m.append) {
        // Every other stream and storage of the workbook goes over unchanged; the workbook
        // stream is written anew as "Workbook" (whatever name it was read by).
        std::wstring read = m.book.Name();
        OLECHAR* exclude[] = {&read[0], nullptr};
        hr = m.book.Storage()->CopyTo(0, nullptr, exclude, out);
        STATSTG st = {};
        if (SUCCEEDED(hr) && SUCCEEDED(m.book.Storage()->Stat(&st, STATFLAG_NONAME)))
            out->SetClass(st.clsid);
    }
    if (SUCCEEDED(hr))
        hr = out->CreateStream(kWorkbookStream, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream);
    if (SUCCEEDED(hr)) {
        StreamWriter w(stream);
        hr = m.append ? m.WriteAppended(&w) : m.WriteNew(&w);
        if (SUCCEEDED(hr) && w.Position() < kMinStreamSize) {
            std::vector<uint8_t> zeros((size_t)(kMinStreamSize - w.Position()), 0);
            w.Write(zeros.data(), zeros.size());
        }
        w.Flush();
        if (SUCCEEDED(hr))
            hr = w.Result();
    }
    if (stream)
        stream->Release();
    if (SUCCEEDED(hr))
        hr = out->Commit(STGC_DEFAULT);
    if (out)
        out->Release();
    m.book.Close();
    BookStatus status = BookStatus::IoError;
    if (SUCCEEDED(hr)) {
        // A target that another program holds, or that is read-only, is not replaced.
        hr = CheckReplaceable(m.path.c_str());
        if (hr == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION) || hr == HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION))
            status = BookStatus::Locked;
    }
    if (SUCCEEDED(hr) && !MoveFileExW(temp, m.path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        hr = LastError();
    if (FAILED(hr)) {
        DeleteFileW(temp);
        m.temp.clear();
        return Fail(status, hr);
    }
    m.temp.clear();
    return status_;
}

}  // namespace xls
