#include "tools/samplemap/dbfwriter.h"

#include <windows.h>

#include <cstring>

namespace zor {

std::string Utf8Of(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], n, nullptr, nullptr);
    return out;
}

namespace {

void Put16(std::vector<unsigned char>& b, unsigned v)
{
    b.push_back((unsigned char)(v & 0xFF));
    b.push_back((unsigned char)((v >> 8) & 0xFF));
}

void Put32(std::vector<unsigned char>& b, unsigned v)
{
    for (int k = 0; k < 4; ++k)
        b.push_back((unsigned char)((v >> (8 * k)) & 0xFF));
}

// The text's UTF-8 bytes, no more than width and never ending inside a character.
std::string Fit(const std::wstring& text, int width)
{
    std::string bytes = Utf8Of(text);
    if ((int)bytes.size() <= width)
        return bytes;
    size_t cut = (size_t)width;
    while (cut > 0 && ((unsigned char)bytes[cut] & 0xC0) == 0x80)
        --cut;
    return bytes.substr(0, cut);
}

}  // namespace

std::vector<unsigned char> MakeDbf(const std::vector<DbfColumn>& columns,
                                   const std::vector<std::vector<std::wstring>>& rows)
{
    std::vector<unsigned char> b;
    unsigned recordLength = 1;
    for (const DbfColumn& c : columns)
        recordLength += (unsigned)c.Width;
    b.push_back(0x03);  // dBASE III without memo
    b.push_back(111);   // last update 2011-01-01: the same bytes on every run
    b.push_back(1);
    b.push_back(1);
    Put32(b, (unsigned)rows.size());
    Put16(b, 32 + 32 * (unsigned)columns.size() + 1);
    Put16(b, recordLength);
    b.resize(32, 0);
    for (const DbfColumn& c : columns) {
        unsigned char field[32] = {};
        memcpy(field, c.Name.c_str(), c.Name.size() < 10 ? c.Name.size() : 10);
        field[11] = 'C';
        field[16] = (unsigned char)c.Width;
        b.insert(b.end(), field, field + 32);
    }
    b.push_back(0x0D);
    for (const auto& row : rows) {
        b.push_back(' ');  // not deleted
        for (size_t k = 0; k < columns.size(); ++k) {
            std::string text = Fit(k < row.size() ? row[k] : std::wstring(), columns[k].Width);
            b.insert(b.end(), text.begin(), text.end());
            b.insert(b.end(), (size_t)columns[k].Width - text.size(), ' ');
        }
    }
    b.push_back(0x1A);
    return b;
}

}  // namespace zor
