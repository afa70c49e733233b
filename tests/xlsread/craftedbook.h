// Workbook streams made record by record for the reader's tests: the records a test needs and
// the compound file that carries them. A sparse book lists one sheet under several entries and
// holds only the cells it is given, as a crafted file would.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/wintest.h"
#include "tests/workbook/compoundimage.h"
#include "workbook/biff.h"

namespace craftedbook {

using xls::ByteWriter;

inline void Bof(ByteWriter* out, uint16_t kind, uint16_t version = 0x0600)
{
    ByteWriter d;
    d.U16(version);
    d.U16(kind);
    d.U32(0);
    d.U32(0);
    d.U32(0);
    out->Record(xls::kRecBof, d);
}

inline void Rec(ByteWriter* out, uint16_t id, const ByteWriter& d) { out->Record(id, d); }

inline ByteWriter CellHead(uint16_t row, uint16_t col, uint16_t xf)
{
    ByteWriter d;
    d.U16(row);
    d.U16(col);
    d.U16(xf);
    return d;
}

inline void LabelSst(ByteWriter* out, uint16_t row, uint16_t col, uint32_t index)
{
    ByteWriter d = CellHead(row, col, 0);
    d.U32(index);
    Rec(out, xls::kRecLabelSst, d);
}

inline void Number(ByteWriter* out, uint16_t row, uint16_t col, uint16_t xf, double v)
{
    ByteWriter d = CellHead(row, col, xf);
    d.F64(v);
    Rec(out, xls::kRecNumber, d);
}

inline void Rk(ByteWriter* out, uint16_t row, uint16_t col, uint16_t xf, uint32_t rk)
{
    ByteWriter d = CellHead(row, col, xf);
    d.U32(rk);
    Rec(out, xls::kRecRk, d);
}

// A BOUNDSHEET record of a worksheet named by Latin-1 bytes; *offsetAt gets where its offset
// is, for the caller to patch.
inline void BoundSheet(ByteWriter* out, const char* name, size_t* offsetAt)
{
    ByteWriter s;
    s.U32(0);
    s.U8(0);
    s.U8(0);
    s.U8((uint8_t)strlen(name));
    s.U8(0);
    s.Raw(name, strlen(name));
    *offsetAt = out->Size() + 4;
    out->Record(xls::kRecBoundSheet, s);
}

// The globals' start: the BOF, XF 0 general, the shared strings as given records (SST first).
inline void GlobalsHead(ByteWriter* b, const std::vector<ByteWriter>& sst)
{
    Bof(b, xls::kBofGlobals);
    ByteWriter x;
    x.U16(0);
    x.U16(0);
    for (int i = 0; i < 16; ++i)
        x.U8(0);
    Rec(b, xls::kRecXf, x);
    for (size_t i = 0; i < sst.size(); ++i)
        Rec(b, i == 0 ? xls::kRecSst : xls::kRecContinue, sst[i]);
}

// A book whose globals list the sheet "List" `entries` times (XF 0 general; the shared strings
// as given records, SST first), then the sheet: cells writes its records between the BOF and
// the EOF.
inline ByteWriter SparseBook(int entries, const std::function<void(ByteWriter*)>& cells,
                             const std::vector<ByteWriter>& sst = {})
{
    ByteWriter b;
    GlobalsHead(&b, sst);
    std::vector<size_t> offsets((size_t)entries);
    for (size_t& at : offsets)
        BoundSheet(&b, "List", &at);
    Rec(&b, xls::kRecEof, ByteWriter());
    for (size_t at : offsets)
        xls::Put32(b.Bytes().data() + at, (uint32_t)b.Size());
    Bof(&b, xls::kBofWorksheet);
    cells(&b);
    Rec(&b, xls::kRecEof, ByteWriter());
    return b;
}

// A book of worksheets of the given (Latin-1) names, each its own substream: cells writes the
// records of sheet k between its BOF and EOF.
inline ByteWriter SheetsBook(const std::vector<std::string>& names,
                             const std::function<void(ByteWriter*, size_t)>& cells,
                             const std::vector<ByteWriter>& sst = {})
{
    ByteWriter b;
    GlobalsHead(&b, sst);
    std::vector<size_t> offsets(names.size());
    for (size_t k = 0; k < names.size(); ++k)
        BoundSheet(&b, names[k].c_str(), &offsets[k]);
    Rec(&b, xls::kRecEof, ByteWriter());
    for (size_t k = 0; k < names.size(); ++k) {
        xls::Put32(b.Bytes().data() + offsets[k], (uint32_t)b.Size());
        Bof(&b, xls::kBofWorksheet);
        cells(&b, k);
        Rec(&b, xls::kRecEof, ByteWriter());
    }
    return b;
}

// The shared strings of one string of `chars` x's (compressed, split over CONTINUE records as a
// writer must), its references counted as given.
inline std::vector<ByteWriter> OneStringSst(size_t chars, uint32_t references)
{
    std::vector<ByteWriter> sst(1);
    sst[0].U32(references);
    sst[0].U32(1);
    sst[0].U16((uint16_t)chars);
    sst[0].U8(0);
    for (size_t left = chars; left > 0;) {
        if (sst.back().Size() == xls::kMaxRecordData) {
            sst.emplace_back();
            sst.back().U8(0);  // a continued string starts with its options again
        }
        size_t n = std::min(left, xls::kMaxRecordData - sst.back().Size());
        sst.back().Raw(std::string(n, 'x').data(), n);
        left -= n;
    }
    return sst;
}

// A book whose first column shows the first shared string in each of its first rows.
inline ByteWriter SharedStringColumn(uint16_t rows, const std::vector<ByteWriter>& sst)
{
    return SparseBook(1, [rows](ByteWriter* s) {
        for (uint16_t r = 0; r < rows; ++r)
            LabelSst(s, r, 0, 0);
    }, sst);
}

// A sheet 256 columns wide that holds almost nothing: a header cell in column IV, and under it
// one number in column A of each of `rows` rows.
inline ByteWriter WideSparseBook(uint16_t rows)
{
    return SparseBook(1, [rows](ByteWriter* s) {
        Number(s, 0, 255, 0, 1);
        for (uint32_t r = 1; r <= rows; ++r)
            Rk(s, (uint16_t)r, 0, 0, (r << 2) | 2);
    });
}

// A book of `count` sheets (L1, L2 ...) that each hold only A1 and A65536.
inline ByteWriter TallSheetsBook(size_t count)
{
    std::vector<std::string> names;
    for (size_t k = 1; k <= count; ++k)
        names.push_back("L" + std::to_string(k));
    return SheetsBook(names, [](ByteWriter* s, size_t) {
        Number(s, 0, 0, 0, 1);
        Number(s, 65535, 0, 0, 2);
    });
}

// A compound file at path holding the bytes as the named stream (none when streamName is null).
inline std::wstring WriteCompound(const std::wstring& path, const wchar_t* streamName, const ByteWriter& bytes)
{
    IStorage* storage = nullptr;
    StgCreateDocfile(path.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage);
    if (!storage)
        return path;
    IStream* stream = nullptr;
    if (streamName &&
        SUCCEEDED(storage->CreateStream(streamName, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream))) {
        ULONG written = 0;
        stream->Write(bytes.Data(), (ULONG)bytes.Size(), &written);
        stream->Release();
    }
    storage->Release();
    return path;
}

// The crafted book of the memory bound: cells only at A1 and IV65536, its sheet listed ten times.
inline ByteWriter CornerCellsBook()
{
    return SparseBook(10, [](ByteWriter* s) {
        Number(s, 0, 0, 0, 1);
        Number(s, 65535, 255, 0, 2);
    });
}

// A workbook file of a few KB whose workbook stream's chain in the FAT loops back to its
// start: the system's storage would read it for ever, growing all the while.
inline std::wstring WriteLoopedBook(const std::wstring& path)
{
    ByteWriter book = SparseBook(1, [](ByteWriter* s) {
        for (uint16_t r = 0; r < 400; ++r)  // past the mini stream's 4,096 bytes
            Number(s, r, 0, 0, r);
    });
    WriteCompound(path, L"Workbook", book);
    compoundimage::Image f{wintest::ReadFileBytes(path)};
    f.LoopBack(L"Workbook");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    WriteFile(h, f.bytes.data(), (DWORD)f.bytes.size(), &done, nullptr);
    CloseHandle(h);
    return path;
}

// A book of two sheets whose second entry points at a chart embedded in the first sheet: a
// substream starting inside another one.
inline ByteWriter NestedSheetsBook()
{
    ByteWriter b;
    Bof(&b, xls::kBofGlobals);
    size_t first = 0, second = 0;
    BoundSheet(&b, "A", &first);
    BoundSheet(&b, "B", &second);
    Rec(&b, xls::kRecEof, ByteWriter());
    xls::Put32(b.Bytes().data() + first, (uint32_t)b.Size());
    Bof(&b, xls::kBofWorksheet);
    Number(&b, 0, 0, 0, 1);
    xls::Put32(b.Bytes().data() + second, (uint32_t)b.Size());
    Bof(&b, 0x0020);  // a chart
    Number(&b, 0, 0, 0, 2);
    Rec(&b, xls::kRecEof, ByteWriter());
    Rec(&b, xls::kRecEof, ByteWriter());
    return b;
}

}  // namespace craftedbook
