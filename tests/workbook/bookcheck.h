// What the workbook tests read back: the streams of a compound file and the cells of its sheets
// (text, numbers with their number format, booleans), straight from the records.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "workbook/biff.h"
#include "workbook/sharedstrings.h"

namespace bookcheck {

struct Cell
{
    enum Kind { Text, Number, Bool } kind = Text;
    std::wstring text;
    double number = 0;
    bool flag = false;
    uint16_t format = 0;  // number format of the cell's XF
};

struct Sheet
{
    std::wstring name;
    uint32_t offset = 0;
    std::string bytes;  // the substream, BOF to EOF
    int rows = 0, columns = 0;
    std::map<std::pair<int, int>, Cell> cells;
    const Cell* At(int row, int column) const
    {
        auto it = cells.find({row, column});
        return it == cells.end() ? nullptr : &it->second;
    }
};

struct Book
{
    std::string stream;  // the whole "Workbook" stream
    std::vector<std::wstring> strings;
    std::vector<uint16_t> formats;  // number format of each XF
    std::vector<Sheet> sheets;
};

inline std::string ReadStream(IStorage* storage, const wchar_t* name)
{
    IStream* s = nullptr;
    std::string out;
    if (FAILED(storage->OpenStream(name, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &s)))
        return out;
    STATSTG st = {};
    s->Stat(&st, STATFLAG_NONAME);
    out.resize((size_t)st.cbSize.QuadPart);
    ULONG got = 0;
    if (!out.empty())
        s->Read(&out[0], (ULONG)out.size(), &got);
    out.resize(got);
    s->Release();
    return out;
}

// Every stream of the file except "Workbook", with the path of storages in its name.
inline void CollectStreams(IStorage* storage, const std::wstring& prefix, bool top,
                           std::map<std::wstring, std::string>* out)
{
    IEnumSTATSTG* e = nullptr;
    if (FAILED(storage->EnumElements(0, nullptr, 0, &e)))
        return;
    STATSTG st;
    while (e->Next(1, &st, nullptr) == S_OK) {
        std::wstring name = st.pwcsName;
        CoTaskMemFree(st.pwcsName);
        if (st.type == STGTY_STREAM && !(top && name == L"Workbook")) {
            (*out)[prefix + name] = ReadStream(storage, name.c_str());
        } else if (st.type == STGTY_STORAGE) {
            IStorage* sub = nullptr;
            if (SUCCEEDED(storage->OpenStorage(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                                               nullptr, 0, &sub))) {
                (*out)[prefix + name + L"/"] = "";
                CollectStreams(sub, prefix + name + L"/", false, out);
                sub->Release();
            }
        }
    }
    e->Release();
}

inline std::map<std::wstring, std::string> OtherStreams(const std::wstring& path)
{
    std::map<std::wstring, std::string> out;
    IStorage* root = nullptr;
    if (SUCCEEDED(StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, &root))) {
        CollectStreams(root, L"", true, &out);
        root->Release();
    }
    return out;
}

// Reads the workbook; false with the reason when its records do not read.
inline bool Load(const std::wstring& path, Book* book, std::string* why)
{
    using namespace xls;
    *book = Book();
    IStorage* root = nullptr;
    if (FAILED(StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, &root))) {
        *why = "not a compound file";
        return false;
    }
    book->stream = ReadStream(root, L"Workbook");
    root->Release();
    const uint8_t* p = reinterpret_cast<const uint8_t*>(book->stream.data());
    size_t size = book->stream.size(), at = 0;
    auto next = [&](RecordView* r) {
        if (at + 4 > size)
            return false;
        r->id = Get16(p + at);
        r->size = Get16(p + at + 2);
        r->position = at;
        r->data = p + at + 4;
        if (at + 4 + r->size > size)
            return false;
        at += 4 + r->size;
        return true;
    };
    RecordView r;
    SstScanner sst(&book->strings);
    bool inTable = false;
    while (next(&r) && r.id != kRecEof) {
        if (r.id == kRecSst || (inTable && r.id == kRecContinue)) {
            inTable = true;
            if (!sst.Feed(r)) {
                *why = "the string table does not read";
                return false;
            }
            continue;
        }
        inTable = false;
        if (r.id == kRecXf)
            book->formats.push_back(Get16(r.data + 2));
        if (r.id == kRecBoundSheet) {
            Sheet s;
            s.offset = Get32(r.data);
            ReadShortString(r.data + 6, r.size - 6, &s.name);
            book->sheets.push_back(s);
        }
    }
    if (r.id != kRecEof) {
        *why = "the globals have no end";
        return false;
    }
    for (Sheet& s : book->sheets) {
        at = s.offset;
        if (!next(&r) || r.id != kRecBof) {
            *why = "a sheet does not start with BOF";
            return false;
        }
        while (next(&r) && r.id != kRecEof) {
            Cell c;
            int row = Get16(r.data), column = Get16(r.data + 2);
            uint16_t xf = r.size >= 6 ? Get16(r.data + 4) : 0;
            c.format = xf < book->formats.size() ? book->formats[xf] : 0xFFFF;
            if (r.id == kRecDimensions) {
                s.rows = (int)Get32(r.data + 4);
                s.columns = Get16(r.data + 10);
                continue;
            } else if (r.id == kRecLabelSst) {
                uint32_t index = Get32(r.data + 6);
                if (index >= book->strings.size()) {
                    *why = "a text cell names a string that is not there";
                    return false;
                }
                c.kind = Cell::Text;
                c.text = book->strings[index];
            } else if (r.id == kRecNumber) {
                c.kind = Cell::Number;
                c.number = GetDouble(r.data + 6);
            } else if (r.id == kRecBoolErr) {
                c.kind = Cell::Bool;
                c.flag = r.data[6] != 0;
            } else {
                continue;
            }
            s.cells[{row, column}] = c;
        }
        if (r.id != kRecEof) {
            *why = "a sheet has no end";
            return false;
        }
        s.bytes = book->stream.substr(s.offset, at - s.offset);
    }
    return true;
}

}  // namespace bookcheck
