// The record format of Excel 97-2003 workbooks (BIFF8): record ids, little-endian fields and the
// strings of the format. A workbook is the stream "Workbook" of a compound file: the globals
// (BOF ... EOF) followed by one substream (BOF ... EOF) per sheet, each record a 16-bit id, a
// 16-bit length and at most 8224 bytes of data, longer data going on in CONTINUE records.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace xls {

enum RecordId : uint16_t
{
    kRecFormula = 0x0006,
    kRecEof = 0x000A,
    kRecDateMode = 0x0022,
    kRecFilePass = 0x002F,
    kRecFont = 0x0031,
    kRecContinue = 0x003C,
    kRecWindow1 = 0x003D,
    kRecCodePage = 0x0042,
    kRecBoundSheet = 0x0085,
    kRecMulRk = 0x00BD,
    kRecXf = 0x00E0,
    kRecSst = 0x00FC,
    kRecLabelSst = 0x00FD,
    kRecExtSst = 0x00FF,
    kRecTabId = 0x013D,
    kRecDimensions = 0x0200,
    kRecBlank = 0x0201,
    kRecNumber = 0x0203,
    kRecLabel = 0x0204,
    kRecBoolErr = 0x0205,
    kRecIndex = 0x020B,
    kRecWindow2 = 0x023E,
    kRecRk = 0x027E,
    kRecStyle = 0x0293,
    kRecBof = 0x0809,
};

const size_t kRecordHeader = 4;
const size_t kMaxRecordData = 8224;    // longer data goes on in CONTINUE records
const uint16_t kBiff8Version = 0x0600;
const uint16_t kBofGlobals = 0x0005;
const uint16_t kBofWorksheet = 0x0010;

// Limits of a BIFF8 sheet and its cells.
const int kMaxRows = 65536;            // rows 0 .. 65535
const int kMaxColumns = 256;           // columns 0 .. 255
const int kMaxCellChars = 32767;       // characters of one text cell
const int kMaxSheetNameChars = 31;

// Serial of 1 March 1900: from there on the sheet's day numbers equal OLE dates; before it the
// sheet's calendar counts a 29 February 1900 that never was.
const double kFirstTrueSerial = 61.0;

// ---- little-endian fields ----

inline uint16_t Get16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
inline void Put16(uint8_t* p, uint16_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v)
{
    Put16(p, (uint16_t)v);
    Put16(p + 2, (uint16_t)(v >> 16));
}
double GetDouble(const uint8_t* p);

// A growing byte buffer of whole records.
class ByteWriter
{
public:
    void U8(uint8_t v) { bytes_.push_back(v); }
    void U16(uint16_t v);
    void U32(uint32_t v);
    void F64(double v);
    void Raw(const void* p, size_t n);
    // A record with its header; data of at most kMaxRecordData bytes.
    void Record(uint16_t id, const ByteWriter& data) { Record(id, data.Data(), data.Size()); }
    void Record(uint16_t id, const uint8_t* data, size_t n);

    const uint8_t* Data() const { return bytes_.data(); }
    size_t Size() const { return bytes_.size(); }
    std::vector<uint8_t>& Bytes() { return bytes_; }
    void Clear() { bytes_.clear(); }

private:
    std::vector<uint8_t> bytes_;
};

// ---- strings ----

// Whether every character fits one byte: a string stored "compressed" holds Latin-1 bytes (the
// low byte of each UTF-16 unit), whatever the workbook's code page.
bool FitsCompressed(const wchar_t* s, size_t n);

// Appends the characters of the string in the given form (1 or 2 bytes each).
void AppendChars(ByteWriter* out, const wchar_t* s, size_t n, bool wide);

// ShortXLUnicodeString: an 8-bit count, the option byte and the characters (sheet and font
// names).
void AppendShortString(ByteWriter* out, const wchar_t* s, size_t n);

// Reads a ShortXLUnicodeString at p within the n bytes there; false when it does not fit.
bool ReadShortString(const uint8_t* p, size_t n, std::wstring* out);

// Reads characters stored in the given form.
void ReadChars(const uint8_t* p, size_t count, bool wide, std::wstring* out);

}  // namespace xls
