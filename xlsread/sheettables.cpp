#include "xlsread/sheettables.h"

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <map>

#include "workbook/biff.h"
#include "workbook/chunkio.h"
#include "workbook/sharedstrings.h"

namespace xlsread {

using namespace xls;

namespace {

const uint16_t kRecRString = 0x00D6;
const uint16_t kRecString = 0x0207;
const uint16_t kRecFormat = 0x041E;

// What the globals tell the cells.
struct Globals
{
    std::vector<std::wstring> strings;
    std::vector<uint16_t> xfFormats;         // number format of each XF
    std::map<uint16_t, bool> customIsDate;   // FORMAT records
    bool date1904 = false;
    std::vector<SheetInfo> sheets;
};

// An XLUnicodeString (16-bit count, option byte, characters) at p within n bytes.
bool ReadLongString(const uint8_t* p, size_t n, std::wstring* out)
{
    out->clear();
    if (n < 3)
        return false;
    size_t count = Get16(p);
    bool wide = (p[2] & 1) != 0;
    size_t at = 3;
    if (p[2] & 0x08)  // rich text: the run count comes first
        at += 2;
    if (p[2] & 0x04)  // phonetic data: its size comes first
        at += 4;
    if (at + count * (wide ? 2 : 1) > n)
        return false;
    ReadChars(p + at, count, wide, out);
    return true;
}

double DecodeRk(uint32_t rk)
{
    double value;
    if (rk & 2) {
        value = (double)((int32_t)rk >> 2);
    } else {
        uint64_t bits = (uint64_t)(rk & 0xFFFFFFFCu) << 32;
        memcpy(&value, &bits, sizeof value);
    }
    return (rk & 1) ? value / 100 : value;
}

BookStatus ReadGlobals(RecordReader* reader, Globals* g)
{
    RecordView r;
    if (!reader->Next(&r))
        return FAILED(reader->Result()) ? BookStatus::IoError : BookStatus::Damaged;
    if (r.id != kRecBof || r.size < 4)
        return BookStatus::NotWorkbook;
    if (Get16(r.data) != kBiff8Version)
        return BookStatus::OldFormat;
    SstScanner sst(&g->strings);
    bool inTable = false;
    for (;;) {
        if (!reader->Next(&r))
            return FAILED(reader->Result()) ? BookStatus::IoError : BookStatus::Damaged;
        if (inTable && r.id != kRecContinue) {
            inTable = false;
            if (!sst.Complete())
                return BookStatus::Damaged;
        }
        switch (r.id) {
        case kRecEof:
            return BookStatus::Ok;
        case kRecFilePass:
            return BookStatus::Encrypted;
        case kRecDateMode:
            if (r.size >= 2)
                g->date1904 = Get16(r.data) == 1;
            break;
        case kRecXf:
            if (r.size < 4)
                return BookStatus::Damaged;
            g->xfFormats.push_back(Get16(r.data + 2));
            break;
        case kRecFormat: {
            std::wstring code;
            if (r.size < 2 || !ReadLongString(r.data + 2, r.size - 2, &code))
                return BookStatus::Damaged;
            g->customIsDate[Get16(r.data)] = IsDateFormatCode(code);
            break;
        }
        case kRecBoundSheet: {
            SheetInfo sheet;
            if (!ReadBoundSheet(r.data, r.size, &sheet))
                return BookStatus::Damaged;
            g->sheets.push_back(sheet);
            break;
        }
        case kRecSst:
            if (!sst.Feed(r))
                return BookStatus::Damaged;
            inTable = true;
            break;
        case kRecContinue:
            if (inTable && !sst.Feed(r))
                return BookStatus::Damaged;
            break;
        }
    }
}

class SheetReader
{
public:
    SheetReader(const Globals& g, SheetGrid* grid) : g_(g), grid_(grid) {}

    BookStatus Read(RecordReader* reader, uint32_t offset)
    {
        RecordView r;
        if (!reader->Seek(offset) || !reader->Next(&r) || r.id != kRecBof || r.size < 4)
            return FAILED(reader->Result()) ? BookStatus::IoError : BookStatus::Damaged;
        int depth = 1;
        bool stringPending = false;  // a FORMULA's text result follows in a STRING record
        uint16_t pendingRow = 0, pendingCol = 0;
        while (depth > 0) {
            if (!reader->Next(&r))
                return FAILED(reader->Result()) ? BookStatus::IoError : BookStatus::Damaged;
            if (r.id == kRecBof) {
                ++depth;  // an embedded chart: its records are not cells of the sheet
                continue;
            }
            if (r.id == kRecEof) {
                --depth;
                continue;
            }
            if (depth > 1)
                continue;
            if (stringPending && r.id == kRecString) {
                stringPending = false;
                Cell c;
                c.kind = CellKind::Text;
                if (!ReadLongString(r.data, r.size, &c.text))
                    return BookStatus::Damaged;
                if (!Put(pendingRow, pendingCol, c))
                    return BookStatus::Damaged;
                continue;
            }
            stringPending = false;
            BookStatus status = Cellrecord(r, &stringPending, &pendingRow, &pendingCol);
            if (status != BookStatus::Ok)
                return status;
        }
        return BookStatus::Ok;
    }

private:
    bool IsDateXf(uint16_t xf) const
    {
        if (xf >= g_.xfFormats.size())
            return false;
        uint16_t format = g_.xfFormats[xf];
        auto custom = g_.customIsDate.find(format);
        if (custom != g_.customIsDate.end())
            return custom->second;
        return IsBuiltInDateFormat(format);
    }

    Cell NumberCell(uint16_t xf, double value) const
    {
        Cell c;
        c.number = value;
        c.kind = CellKind::Number;
        if (IsDateXf(xf)) {
            c.kind = CellKind::Date;
            if (g_.date1904)
                c.number = value + 1462;
            else if (value < kFirstTrueSerial)
                c.number = value + 1;  // the sheet's calendar counts a 29 February 1900
        }
        return c;
    }

    bool Put(uint16_t row, uint16_t col, const Cell& cell)
    {
        if (col >= kMaxColumns)
            return false;
        if (grid_->size() <= row)
            grid_->resize((size_t)row + 1);
        std::vector<Cell>& cells = (*grid_)[row];
        if (cells.size() <= col)
            cells.resize((size_t)col + 1);
        cells[col] = cell;
        return true;
    }

    BookStatus Cellrecord(const RecordView& r, bool* stringPending, uint16_t* pendingRow,
                          uint16_t* pendingCol)
    {
        const uint8_t* d = r.data;
        auto need = [&](size_t n) { return r.size >= n; };
        switch (r.id) {
        case kRecNumber:
            if (!need(14))
                return BookStatus::Damaged;
            return Put(Get16(d), Get16(d + 2), NumberCell(Get16(d + 4), GetDouble(d + 6))) ? BookStatus::Ok
                                                                                          : BookStatus::Damaged;
        case kRecRk:
            if (!need(10))
                return BookStatus::Damaged;
            return Put(Get16(d), Get16(d + 2), NumberCell(Get16(d + 4), DecodeRk(Get32(d + 6)))) ? BookStatus::Ok
                                                                                                : BookStatus::Damaged;
        case kRecMulRk: {
            if (!need(6) || (r.size - 6) % 6 != 0)
                return BookStatus::Damaged;
            uint16_t row = Get16(d), first = Get16(d + 2);
            size_t count = (r.size - 6) / 6;
            if (Get16(d + r.size - 2) != first + count - 1)
                return BookStatus::Damaged;
            for (size_t i = 0; i < count; ++i) {
                const uint8_t* p = d + 4 + 6 * i;
                if (!Put(row, (uint16_t)(first + i), NumberCell(Get16(p), DecodeRk(Get32(p + 2)))))
                    return BookStatus::Damaged;
            }
            return BookStatus::Ok;
        }
        case kRecLabelSst: {
            if (!need(10))
                return BookStatus::Damaged;
            uint32_t index = Get32(d + 6);
            if (index >= g_.strings.size())
                return BookStatus::Damaged;
            Cell c;
            c.kind = CellKind::Text;
            c.text = g_.strings[index];
            return Put(Get16(d), Get16(d + 2), c) ? BookStatus::Ok : BookStatus::Damaged;
        }
        case kRecLabel:
        case kRecRString: {
            Cell c;
            c.kind = CellKind::Text;
            if (!need(6) || !ReadLongString(d + 6, r.size - 6, &c.text))
                return BookStatus::Damaged;
            return Put(Get16(d), Get16(d + 2), c) ? BookStatus::Ok : BookStatus::Damaged;
        }
        case kRecBoolErr: {
            if (!need(8))
                return BookStatus::Damaged;
            Cell c;  // an error value reads as nothing
            if (d[7] == 0) {
                c.kind = CellKind::Bool;
                c.number = d[6] ? 1 : 0;
            }
            return Put(Get16(d), Get16(d + 2), c) ? BookStatus::Ok : BookStatus::Damaged;
        }
        case kRecFormula: {
            if (!need(20))
                return BookStatus::Damaged;
            uint16_t row = Get16(d), col = Get16(d + 2);
            const uint8_t* v = d + 6;
            Cell c;
            if (Get16(v + 6) != 0xFFFF) {
                c = NumberCell(Get16(d + 4), GetDouble(v));
            } else if (v[0] == 0) {
                *stringPending = true;
                *pendingRow = row;
                *pendingCol = col;
                return BookStatus::Ok;
            } else if (v[0] == 1) {
                c.kind = CellKind::Bool;
                c.number = v[2] ? 1 : 0;
            }
            return Put(row, col, c) ? BookStatus::Ok : BookStatus::Damaged;
        }
        default:
            return BookStatus::Ok;  // BLANK, MULBLANK and everything that is no value
        }
    }

    const Globals& g_;
    SheetGrid* grid_;
};

bool IsEmpty(const Cell& c) { return c.kind == CellKind::Empty || (c.kind == CellKind::Text && c.text.empty()); }

const Cell& CellAt(const SheetGrid& grid, size_t row, size_t col)
{
    static const Cell empty;
    if (row >= grid.size() || col >= grid[row].size())
        return empty;
    return grid[row][col];
}

std::wstring CellText(const Cell& c)
{
    switch (c.kind) {
    case CellKind::Text:
        return c.text;
    case CellKind::Number:
        return NumberText(c.number);
    case CellKind::Bool:
        return c.number != 0 ? L"TRUE" : L"FALSE";
    case CellKind::Date: {
        VARIANT in, out;
        VariantInit(&in);
        VariantInit(&out);
        in.vt = VT_DATE;
        in.date = c.number;
        std::wstring text;
        if (SUCCEEDED(VariantChangeType(&out, &in, 0, VT_BSTR)))
            text = out.bstrVal;
        VariantClear(&out);
        return text;
    }
    default:
        return std::wstring();
    }
}

// A cell as the column's type delivers it: text columns turn everything into text, the other
// columns keep only values of their own kind (numbers and dates go into each other).
Cell AsColumnValue(const Cell& c, ColumnKind kind)
{
    Cell out;
    if (IsEmpty(c))
        return out;
    switch (kind) {
    case ColumnKind::Text:
    case ColumnKind::LongText:
        out.kind = CellKind::Text;
        out.text = CellText(c);
        return out;
    case ColumnKind::Number:
        if (c.kind == CellKind::Number || c.kind == CellKind::Date) {
            out.kind = CellKind::Number;
            out.number = c.number;
        }
        return out;
    case ColumnKind::Date:
        if (c.kind == CellKind::Number || c.kind == CellKind::Date) {
            out.kind = CellKind::Date;
            out.number = c.number;
        }
        return out;
    case ColumnKind::Bool:
        if (c.kind == CellKind::Bool)
            out = c;
        return out;
    }
    return out;
}

}  // namespace

std::wstring NumberText(double value)
{
    VARIANT in, out;
    VariantInit(&in);
    VariantInit(&out);
    in.vt = VT_R8;
    in.dblVal = value;
    std::wstring text;
    if (SUCCEEDED(VariantChangeType(&out, &in, 0, VT_BSTR)))
        text = out.bstrVal;
    VariantClear(&out);
    return text;
}

bool IsBuiltInDateFormat(uint16_t index)
{
    return (index >= 14 && index <= 22) || (index >= 45 && index <= 47);
}

bool IsDateFormatCode(const std::wstring& code)
{
    bool quoted = false, bracket = false;
    for (size_t i = 0; i < code.size(); ++i) {
        wchar_t c = code[i];
        if (quoted) {
            quoted = c != L'"';
            continue;
        }
        if (bracket) {
            bracket = c != L']';
            continue;
        }
        switch (c) {
        case L'"':
            quoted = true;
            break;
        case L'[':
            bracket = true;
            break;
        case L'\\':
        case L'_':
        case L'*':
            ++i;  // the next character stands for itself
            break;
        case L'd': case L'D': case L'm': case L'M': case L'y': case L'Y':
        case L'h': case L'H': case L's': case L'S':
            return true;
        }
    }
    return false;
}

SheetTable TableOfGrid(const std::wstring& name, const SheetGrid& grid)
{
    SheetTable table;
    table.name = name;
    // The used range: the rows and columns between the first and the last cell with a value.
    size_t top = SIZE_MAX, bottom = 0, left = SIZE_MAX, right = 0;
    for (size_t r = 0; r < grid.size(); ++r)
        for (size_t c = 0; c < grid[r].size(); ++c)
            if (!IsEmpty(grid[r][c])) {
                top = std::min(top, r);
                bottom = std::max(bottom, r);
                left = std::min(left, c);
                right = std::max(right, c);
            }
    if (top == SIZE_MAX)
        return table;
    size_t width = right - left + 1;
    for (size_t c = 0; c < width; ++c) {
        TableColumn column;
        column.name = CellText(CellAt(grid, top, left + c));
        if (column.name.empty())
            column.name = L"F" + std::to_wstring(c + 1);
        // The kind most of the first data rows hold (numbers win a tie, as the provider's do);
        // text longer than a short text anywhere in the column makes it long text.
        int counts[5] = {};
        bool longText = false;
        for (size_t r = top + 1, seen = 0; r <= bottom; ++r) {
            const Cell& cell = CellAt(grid, r, left + c);
            if (cell.kind == CellKind::Text && cell.text.size() > kShortTextChars)
                longText = true;
            if (IsEmpty(cell) || seen >= kTypeGuessRows)
                continue;
            ++seen;
            switch (cell.kind) {
            case CellKind::Number: ++counts[0]; break;
            case CellKind::Date: ++counts[1]; break;
            case CellKind::Bool: ++counts[2]; break;
            default: ++counts[3]; break;
            }
        }
        static const ColumnKind kinds[] = {ColumnKind::Number, ColumnKind::Date, ColumnKind::Bool, ColumnKind::Text};
        int best = 3;
        for (int k = 2; k >= 0; --k)
            if (counts[k] > 0 && counts[k] >= counts[best])
                best = k;
        column.kind = kinds[best];
        if (column.kind == ColumnKind::Text && longText)
            column.kind = ColumnKind::LongText;
        table.columns.push_back(column);
    }
    for (size_t r = top + 1; r <= bottom; ++r) {
        std::vector<Cell> row(width);
        for (size_t c = 0; c < width; ++c)
            row[c] = AsColumnValue(CellAt(grid, r, left + c), table.columns[c].kind);
        table.rows.push_back(std::move(row));
    }
    return table;
}

BookStatus ReadSheetTablesFromStream(IStream* stream, std::vector<SheetTable>* tables)
{
    tables->clear();
    RecordReader reader(stream);
    if (FAILED(reader.Result()))
        return BookStatus::IoError;
    Globals g;
    BookStatus status = ReadGlobals(&reader, &g);
    if (status != BookStatus::Ok)
        return status;
    for (const SheetInfo& sheet : g.sheets) {
        if (sheet.kind != 0)
            continue;
        SheetGrid grid;
        SheetReader cells(g, &grid);
        status = cells.Read(&reader, sheet.offset);
        if (status != BookStatus::Ok) {
            tables->clear();
            return status;
        }
        tables->push_back(TableOfGrid(sheet.name, grid));
    }
    return BookStatus::Ok;
}

BookStatus ReadSheetTables(const wchar_t* path, std::vector<SheetTable>* tables)
{
    tables->clear();
    BookStream book;
    BookStatus status = book.Open(path);
    if (status != BookStatus::Ok)
        return status;
    return ReadSheetTablesFromStream(book.Stream(), tables);
}

}  // namespace xlsread
