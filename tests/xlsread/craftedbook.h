// Workbook streams made record by record for the reader's tests: the records a test needs and
// the compound file that carries them. A sparse book lists one sheet under several entries and
// holds only the cells it is given, as a crafted file would.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

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

// A book whose globals list the sheet "List" `entries` times (XF 0 general; the shared strings
// as given records, SST first), then the sheet: cells writes its records between the BOF and
// the EOF.
inline ByteWriter SparseBook(int entries, const std::function<void(ByteWriter*)>& cells,
                             const std::vector<ByteWriter>& sst = {})
{
    ByteWriter b;
    Bof(&b, xls::kBofGlobals);
    ByteWriter x;
    x.U16(0);
    x.U16(0);
    for (int i = 0; i < 16; ++i)
        x.U8(0);
    Rec(&b, xls::kRecXf, x);
    for (size_t i = 0; i < sst.size(); ++i)
        Rec(&b, i == 0 ? xls::kRecSst : xls::kRecContinue, sst[i]);
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
