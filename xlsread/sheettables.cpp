#include "xlsread/sheettables.h"

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <map>
#include <set>

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
    std::shared_ptr<std::vector<std::wstring>> strings = std::make_shared<std::vector<std::wstring>>();
    std::vector<uint16_t> xfFormats;         // number format of each XF
    std::map<uint16_t, bool> customIsDate;   // FORMAT records
    bool date1904 = false;
    std::vector<SheetInfo> sheets;           // each substream once, in the list's order
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
    SstScanner sst(g->strings.get());
    std::set<uint32_t> offsets;
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
            // Further entries naming a substream already listed add nothing to read.
            if (offsets.insert(sheet.offset).second)
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

// What the sheets read before brought (the workbook's bounds hold for all its sheets).
struct BookCost
{
    size_t cells = 0;
    size_t textChars = 0;
};

class SheetReader
{
public:
    SheetReader(const Globals& g, const BookCost& before, SheetGrid* grid) : g_(g), before_(before), grid_(grid) {}

    // Reads the substream at offset; *end gets the position after its EOF.
    BookStatus Read(RecordReader* reader, uint32_t offset, uint64_t* end)
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
            } else {
                stringPending = false;
                BookStatus status = Cellrecord(r, &stringPending, &pendingRow, &pendingCol);
                if (status != BookStatus::Ok)
                    return status;
            }
            if (before_.cells + grid_->Cells() > kMaxBookCells ||
                before_.textChars + grid_->TextChars() > kMaxBookTextChars)
                return BookStatus::TooLarge;
        }
        *end = reader->Position();
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
            // The sheet's calendar counts a 29 February 1900; a serial below 1 is a time of
            // day, the same in the sheet and as an OLE date.
            if (g_.date1904)
                c.number = value + 1462;
            else if (value >= 1 && value < kFirstTrueSerial)
                c.number = value + 1;
        }
        return c;
    }

    bool Put(uint16_t row, uint16_t col, const Cell& cell)
    {
        if (col >= kMaxColumns)
            return false;
        grid_->Put(row, col, cell);
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
            uint16_t col = Get16(d + 2);
            if (index >= g_.strings->size() || col >= kMaxColumns)
                return BookStatus::Damaged;
            grid_->PutShared(Get16(d), col, index);
            return BookStatus::Ok;
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
    const BookCost& before_;
    SheetGrid* grid_;
};

bool IsEmpty(const PackedCell& c, const TextPool& texts)
{
    return c.kind == CellKind::Empty || (c.kind == CellKind::Text && texts.Get(c.text).empty());
}

// The text a value that is not text shows (a number, a date or time, a boolean).
std::wstring ValueText(CellKind kind, double number)
{
    switch (kind) {
    case CellKind::Number:
        return NumberText(number);
    case CellKind::Bool:
        return number != 0 ? L"TRUE" : L"FALSE";
    case CellKind::Date: {
        VARIANT in, out;
        VariantInit(&in);
        VariantInit(&out);
        in.vt = VT_DATE;
        in.date = number;
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

std::wstring CellText(const PackedCell& c, const TextPool& texts)
{
    return c.kind == CellKind::Text ? texts.Get(c.text) : ValueText(c.kind, c.number);
}

// A cell as the column's type delivers it: text columns turn everything into text (a new text
// of the pool for what is not text already), the other columns keep only values of their own
// kind (numbers and dates go into each other). Empty when nothing is delivered.
PackedCell AsColumnValue(const PackedCell& c, ColumnKind kind, TextPool* texts)
{
    PackedCell out = c;
    out.kind = CellKind::Empty;
    if (IsEmpty(c, *texts))
        return out;
    switch (kind) {
    case ColumnKind::Text:
    case ColumnKind::LongText:
        if (c.kind != CellKind::Text)
            out.text = texts->Own(ValueText(c.kind, c.number));
        out.kind = CellKind::Text;
        return out;
    case ColumnKind::Number:
    case ColumnKind::Date:
        if (c.kind == CellKind::Number || c.kind == CellKind::Date)
            out.kind = kind == ColumnKind::Number ? CellKind::Number : CellKind::Date;
        return out;
    case ColumnKind::Bool:
        if (c.kind == CellKind::Bool)
            out.kind = CellKind::Bool;
        return out;
    }
    return out;
}

// The kind most of the first data rows of a column hold (numbers win a tie, as the provider's
// do); text longer than a short text anywhere in the column makes it long text.
struct KindCounts
{
    int counts[4] = {};  // number, date, bool, text
    size_t seen = 0;
    bool longText = false;

    void Add(const PackedCell& c, const TextPool& texts)
    {
        if (c.kind == CellKind::Text && texts.Get(c.text).size() > kShortTextChars)
            longText = true;
        if (IsEmpty(c, texts) || seen >= kTypeGuessRows)
            return;
        ++seen;
        switch (c.kind) {
        case CellKind::Number: ++counts[0]; break;
        case CellKind::Date: ++counts[1]; break;
        case CellKind::Bool: ++counts[2]; break;
        default: ++counts[3]; break;
        }
    }

    ColumnKind Kind() const
    {
        static const ColumnKind kinds[] = {ColumnKind::Number, ColumnKind::Date, ColumnKind::Bool, ColumnKind::Text};
        int best = 3;
        for (int k = 2; k >= 0; --k)
            if (counts[k] > 0 && counts[k] >= counts[best])
                best = k;
        if (kinds[best] == ColumnKind::Text && longText)
            return ColumnKind::LongText;
        return kinds[best];
    }
};

bool SamePlace(const PackedCell& a, const PackedCell& b) { return a.row == b.row && a.column == b.column; }

// Cells compared with a row index by their row alone.
struct RowOrder
{
    bool operator()(const PackedCell& c, size_t row) const { return c.row < row; }
    bool operator()(size_t row, const PackedCell& c) const { return row < c.row; }
};

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

// ---- cells and tables ----

TextPool::TextPool(std::shared_ptr<const std::vector<std::wstring>> shared) : shared_(std::move(shared)) {}

const std::wstring& TextPool::Get(uint32_t index) const
{
    return (index & kOwnBit) ? own_[index & ~kOwnBit] : (*shared_)[index];
}

uint32_t TextPool::Own(std::wstring text)
{
    own_.push_back(std::move(text));
    return (uint32_t)(own_.size() - 1) | kOwnBit;
}

void SheetGrid::Put(uint16_t row, uint16_t column, const Cell& cell)
{
    PackedCell c;
    c.row = row;
    c.column = column;
    c.kind = cell.kind;
    if (cell.kind == CellKind::Text) {
        c.text = texts_.Own(cell.text);
        textChars_ += cell.text.size();
    } else {
        c.number = cell.number;
    }
    cells_.push_back(c);
}

void SheetGrid::PutShared(uint16_t row, uint16_t column, uint32_t index)
{
    PackedCell c;
    c.row = row;
    c.column = column;
    c.kind = CellKind::Text;
    c.text = index;
    textChars_ += texts_.Get(index).size();
    cells_.push_back(c);
}

std::vector<PackedCell> SheetGrid::TakeSorted()
{
    std::vector<PackedCell> cells = std::move(cells_);
    cells_.clear();
    textChars_ = 0;
    std::stable_sort(cells.begin(), cells.end(), [](const PackedCell& a, const PackedCell& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    // Of cells at one place the last one read stands.
    size_t kept = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i + 1 < cells.size() && SamePlace(cells[i], cells[i + 1]))
            continue;
        cells[kept++] = cells[i];
    }
    cells.resize(kept);
    cells.shrink_to_fit();
    return cells;
}

Cell TableRows::ValueOf(const PackedCell& c) const
{
    Cell out;
    out.kind = c.kind;
    if (c.kind == CellKind::Text)
        out.text = texts_->Get(c.text);
    else if (c.kind != CellKind::Empty)
        out.number = c.number;
    return out;
}

TableRows::Row TableRows::operator[](size_t row) const
{
    auto place = std::equal_range(cells_.begin(), cells_.end(), row, RowOrder());
    return Row(this, cells_.data() + (place.first - cells_.begin()), cells_.data() + (place.second - cells_.begin()));
}

Cell TableRows::Row::operator[](size_t column) const
{
    const PackedCell* at = std::lower_bound(begin(), end(), column,
                                            [](const PackedCell& c, size_t col) { return c.column < col; });
    return at != end() && at->column == column ? rows_->ValueOf(*at) : Cell();
}

// Fills a table's rows from the cells of its used range.
struct TableBuilder
{
    static void Build(TableRows* rows, TextPool texts, std::vector<PackedCell> cells, size_t count, size_t width)
    {
        rows->texts_ = std::make_shared<const TextPool>(std::move(texts));
        rows->cells_ = std::move(cells);
        rows->width_ = width;
        rows->count_ = count;
    }
};

SheetTable TableOfGrid(const std::wstring& name, SheetGrid* grid)
{
    SheetTable table;
    table.name = name;
    std::vector<PackedCell> cells = grid->TakeSorted();
    TextPool texts = std::move(grid->Texts());
    *grid = SheetGrid();
    // The used range: the rows and columns between the first and the last cell with a value.
    size_t top = SIZE_MAX, bottom = 0, left = SIZE_MAX, right = 0;
    for (const PackedCell& c : cells)
        if (!IsEmpty(c, texts)) {
            top = std::min(top, (size_t)c.row);
            bottom = std::max(bottom, (size_t)c.row);
            left = std::min(left, (size_t)c.column);
            right = std::max(right, (size_t)c.column);
        }
    if (top == SIZE_MAX)
        return table;
    size_t width = right - left + 1;
    auto inRange = [&](const PackedCell& c) { return c.row <= bottom && c.column >= left && c.column <= right; };
    table.columns.resize(width);
    std::vector<KindCounts> kinds(width);
    for (const PackedCell& c : cells) {
        if (!inRange(c) || c.row < top)
            continue;
        if (c.row == top)
            table.columns[c.column - left].name = CellText(c, texts);
        else
            kinds[c.column - left].Add(c, texts);
    }
    for (size_t i = 0; i < width; ++i) {
        if (table.columns[i].name.empty())
            table.columns[i].name = L"F" + std::to_wstring(i + 1);
        table.columns[i].kind = kinds[i].Kind();
    }
    // The data rows, each cell as its column delivers it, counted from the row under the header.
    size_t kept = 0;
    for (const PackedCell& c : cells) {
        if (!inRange(c) || c.row <= top)
            continue;
        PackedCell value = AsColumnValue(c, table.columns[c.column - left].kind, &texts);
        if (value.kind == CellKind::Empty)
            continue;
        value.row = (uint16_t)(c.row - top - 1);
        value.column = (uint16_t)(c.column - left);
        cells[kept++] = value;
    }
    cells.resize(kept);
    cells.shrink_to_fit();
    TableBuilder::Build(&table.rows, std::move(texts), std::move(cells), bottom - top, width);
    return table;
}

BookStatus ReadSheetTablesFromStream(IStream* stream, std::vector<SheetTable>* tables, std::wstring* largeSheet)
{
    tables->clear();
    RecordReader reader(stream);
    if (FAILED(reader.Result()))
        return BookStatus::IoError;
    Globals g;
    BookStatus status = ReadGlobals(&reader, &g);
    if (status != BookStatus::Ok)
        return status;
    // The worksheets in the order of the stream: no substream may start inside another one,
    // so that every record is read once whatever the list claims.
    std::vector<size_t> order;
    for (size_t i = 0; i < g.sheets.size(); ++i)
        if (g.sheets[i].kind == 0)
            order.push_back(i);
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return g.sheets[a].offset < g.sheets[b].offset; });
    std::vector<SheetTable> read(g.sheets.size());
    uint64_t end = reader.Position();  // of the globals
    BookCost cost;
    for (size_t i : order) {
        const SheetInfo& sheet = g.sheets[i];
        SheetGrid grid(g.strings);
        SheetReader cells(g, cost, &grid);
        status = sheet.offset < end ? BookStatus::Damaged : cells.Read(&reader, sheet.offset, &end);
        if (status != BookStatus::Ok) {
            if (status == BookStatus::TooLarge && largeSheet)
                *largeSheet = sheet.name;
            return status;
        }
        cost.cells += grid.Cells();
        cost.textChars += grid.TextChars();
        read[i] = TableOfGrid(sheet.name, &grid);
    }
    for (size_t i = 0; i < g.sheets.size(); ++i)
        if (g.sheets[i].kind == 0)
            tables->push_back(std::move(read[i]));
    return BookStatus::Ok;
}

BookStatus ReadSheetTables(const wchar_t* path, std::vector<SheetTable>* tables, std::wstring* largeSheet)
{
    tables->clear();
    BookStream book;
    BookStatus status = book.Open(path);
    if (status != BookStatus::Ok)
        return status;
    return ReadSheetTablesFromStream(book.Stream(), tables, largeSheet);
}

}  // namespace xlsread
