#include "dataaccess/clienttables.h"

#include <cwctype>
#include <new>

#include "xlsread/sheettables.h"

namespace zdata {

const wchar_t kNoMemoryForBook[] = L"Na načtení sešitu nestačí paměť; zavřete jiné programy a zkuste to znovu.";

namespace {

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), (int)a.size(), b.c_str(), (int)b.size(), TRUE) == CSTR_EQUAL;
}

std::wstring Trim(const std::wstring& s)
{
    size_t b = 0, e = s.size();
    while (b < e && iswspace(s[b]))
        ++b;
    while (e > b && (iswspace(s[e - 1]) || s[e - 1] == L';'))
        --e;
    return s.substr(b, e - b);
}

// The table a statement or a bare name stands for, without quotes or brackets.
std::wstring TableNameOf(const std::wstring& statement)
{
    std::wstring text = Trim(statement);
    std::wstring upper = text;
    for (auto& c : upper)
        c = (wchar_t)towupper(c);
    if (upper.compare(0, 7, L"SELECT ") == 0) {
        size_t from = upper.find(L" FROM ");
        if (from == std::wstring::npos)
            return std::wstring();
        text = Trim(text.substr(from + 6));
    }
    wchar_t close = text.empty() ? 0 : text.front() == L'[' ? L']' : text.front();
    if (text.size() < 2 || (close != L']' && close != L'"' && close != L'`') || text.back() != close)
        return text;
    // Quoted: a doubled closing quote inside stands for one.
    std::wstring name;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        name += text[i];
        if (text[i] == close && text[i + 1] == close && i + 2 < text.size())
            ++i;
    }
    return name;
}

ColumnType TypeOfKind(xlsread::ColumnKind kind)
{
    ColumnType t;
    switch (kind) {
    case xlsread::ColumnKind::Number:
        t.adoType = adDouble;
        t.definedSize = 8;
        t.fetch = FetchKind::Double;
        break;
    case xlsread::ColumnKind::Date:
        t.adoType = adDate;
        t.definedSize = 8;
        t.fetch = FetchKind::Double;
        break;
    case xlsread::ColumnKind::Bool:
        t.adoType = adBoolean;
        t.definedSize = 2;
        t.fetch = FetchKind::Integer;
        break;
    case xlsread::ColumnKind::LongText:
        t.adoType = adLongVarWChar;
        t.definedSize = 0;
        t.fetch = FetchKind::Text;
        break;
    case xlsread::ColumnKind::Text:
        t.adoType = adVarWChar;
        t.definedSize = (long)xlsread::kShortTextChars;
        t.fetch = FetchKind::Text;
        break;
    }
    return t;
}

// Digits in groups of three, as the Czech texts write large numbers.
std::wstring Grouped(size_t n)
{
    std::wstring digits = std::to_wstring(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += L'\u00A0';
        out += digits[i];
    }
    return out;
}

// Why a workbook does not open, for the user (the import shows it when the file is chosen).
std::wstring ReasonOf(xls::BookStatus status, const std::wstring& largeSheet)
{
    switch (status) {
    case xls::BookStatus::NotFound: return L"Sešit neexistuje.";
    case xls::BookStatus::Locked: return L"Sešit má otevřený jiný program.";
    case xls::BookStatus::NotWorkbook: return L"Soubor není sešit aplikace Excel 97-2003.";
    case xls::BookStatus::OldFormat:
        return L"Sešit je ve starším formátu aplikace Excel (Excel 95 nebo starší); uložte ho ve formátu Excel 97-2003.";
    case xls::BookStatus::Encrypted: return L"Sešit je chráněn heslem.";
    case xls::BookStatus::Damaged: return L"Sešit je poškozený.";
    case xls::BookStatus::TooLarge:
        return L"List \u201E" + largeSheet + L"\u201C obsahuje víc dat, než lze načíst (všechny listy sešitu dohromady "
               L"nejvýše " + Grouped(xlsread::kMaxBookCells) + L" buněk a " + Grouped(xlsread::kMaxBookTextChars) +
               L" znaků textu).";
    default: return L"Sešit nelze přečíst.";
    }
}

// A row of the table as the layer holds it: only the cells with a value take room (the others
// read as NULL), and a text stays where the sheet's texts are, however many cells show it.
RowPtr RowOf(const xlsread::TableRows& rows, const xlsread::PackedCell* begin, const xlsread::PackedCell* end,
             const std::shared_ptr<const void>& texts)
{
    auto row = std::make_shared<RowBuffer>(rows.Width(), (size_t)(end - begin), texts);
    for (const xlsread::PackedCell* cell = begin; cell != end; ++cell) {
        row->At(cell->column);
        switch (cell->kind) {
        case xlsread::CellKind::Empty: row->AddNull(); break;
        case xlsread::CellKind::Text: {
            const std::wstring& text = rows.TextOf(*cell);
            row->AddTextView(text.c_str(), text.size());
            break;
        }
        case xlsread::CellKind::Bool: row->AddInt(cell->number != 0 ? -1 : 0); break;
        default: row->AddReal(cell->number); break;
        }
    }
    return row;
}

ClientTable TableOfSheet(const xlsread::SheetTable& sheet)
{
    ClientTable t;
    t.name = sheet.name + L"$";
    for (const xlsread::TableColumn& c : sheet.columns) {
        ColumnMeta meta;
        meta.name = c.name;
        meta.baseName = c.name;
        meta.type = TypeOfKind(c.kind);
        t.columns.push_back(meta);
    }
    std::shared_ptr<const void> texts = sheet.rows.Texts();
    const std::vector<xlsread::PackedCell>& cells = sheet.rows.Cells();
    t.rowCount = sheet.rows.size();
    for (size_t first = 0, next = 0; first < cells.size(); first = next) {
        while (next < cells.size() && cells[next].row == cells[first].row)
            ++next;
        t.filled.emplace_back(cells[first].row, RowOf(sheet.rows, &cells[first], cells.data() + next, texts));
    }
    return t;
}

}  // namespace

std::vector<RowPtr> ClientTable::Rows() const
{
    std::vector<RowPtr> rows(rowCount, std::make_shared<RowBuffer>(columns.size(), 0, nullptr));
    for (const auto& row : filled)
        rows[row.first] = row.second;
    return rows;
}

const ClientTable* ClientTables::Find(const std::wstring& statement) const
{
    std::wstring name = TableNameOf(statement);
    if (name.empty())
        return nullptr;
    for (const ClientTable& t : tables)
        if (SameName(t.name, name) || SameName(t.name, name + L"$"))
            return &t;
    return nullptr;
}

bool LoadWorkbookTables(const std::wstring& path, std::shared_ptr<ClientTables>* out, std::wstring* error)
{
    // A workbook within the reader's bounds can still need more memory than is free.
    try {
        std::vector<xlsread::SheetTable> sheets;
        std::wstring largeSheet;
        xls::BookStatus status = xlsread::ReadSheetTables(path.c_str(), &sheets, &largeSheet);
        if (status != xls::BookStatus::Ok) {
            *error = ReasonOf(status, largeSheet);
            return false;
        }
        auto tables = std::make_shared<ClientTables>();
        for (xlsread::SheetTable& sheet : sheets) {
            tables->tables.push_back(TableOfSheet(sheet));
            sheet = xlsread::SheetTable();  // what the sheet held is not needed any more
        }
        *out = tables;
        return true;
    } catch (const std::bad_alloc&) {
        *error = kNoMemoryForBook;
        return false;
    }
}

}  // namespace zdata
