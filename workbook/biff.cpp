#include "workbook/biff.h"

#include <string.h>

namespace xls {

double GetDouble(const uint8_t* p)
{
    double v;
    memcpy(&v, p, sizeof v);  // the format and the machine are both little-endian
    return v;
}

void ByteWriter::U16(uint16_t v)
{
    uint8_t b[2];
    Put16(b, v);
    Raw(b, 2);
}

void ByteWriter::U32(uint32_t v)
{
    uint8_t b[4];
    Put32(b, v);
    Raw(b, 4);
}

void ByteWriter::F64(double v)
{
    Raw(&v, sizeof v);
}

void ByteWriter::Raw(const void* p, size_t n)
{
    const uint8_t* b = static_cast<const uint8_t*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
}

void ByteWriter::Record(uint16_t id, const uint8_t* data, size_t n)
{
    U16(id);
    U16((uint16_t)n);
    Raw(data, n);
}

bool FitsCompressed(const wchar_t* s, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if ((unsigned)s[i] > 0xFF)
            return false;
    return true;
}

void AppendChars(ByteWriter* out, const wchar_t* s, size_t n, bool wide)
{
    std::vector<uint8_t>& b = out->Bytes();
    size_t at = b.size();
    b.resize(at + n * (wide ? 2 : 1));
    uint8_t* p = b.data() + at;
    if (wide) {
        for (size_t i = 0; i < n; ++i, p += 2)
            Put16(p, (uint16_t)s[i]);
    } else {
        for (size_t i = 0; i < n; ++i)
            p[i] = (uint8_t)s[i];
    }
}

void AppendShortString(ByteWriter* out, const wchar_t* s, size_t n)
{
    if (n > 255)
        n = 255;
    bool wide = !FitsCompressed(s, n);
    out->U8((uint8_t)n);
    out->U8(wide ? 1 : 0);
    AppendChars(out, s, n, wide);
}

bool ReadShortString(const uint8_t* p, size_t n, std::wstring* out)
{
    out->clear();
    if (n < 2)
        return false;
    size_t count = p[0];
    bool wide = (p[1] & 1) != 0;
    if (2 + count * (wide ? 2 : 1) > n)
        return false;
    ReadChars(p + 2, count, wide, out);
    return true;
}

void ReadChars(const uint8_t* p, size_t count, bool wide, std::wstring* out)
{
    size_t at = out->size();
    out->resize(at + count);
    for (size_t i = 0; i < count; ++i)
        (*out)[at + i] = wide ? (wchar_t)Get16(p + 2 * i) : (wchar_t)p[i];
}

}  // namespace xls
