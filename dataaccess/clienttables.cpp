#include "dataaccess/clienttables.h"

#include <cwctype>

#include "xlsread/sheettables.h"

namespace zdata {

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
    if (text.size() >= 2 && ((text.front() == L'[' && text.back() == L']') ||
                             (text.front() == L'"' && text.back() == L'"') ||
                             (text.front() == L'`' && text.back() == L'`')))
        text = text.substr(1, text.size() - 2);
    return text;
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

const wchar_t* ReasonOf(xls::BookStatus status)
{
    switch (status) {
    case xls::BookStatus::NotFound: return L"The workbook does not exist.";
    case xls::BookStatus::Locked: return L"The workbook is locked by another program.";
    case xls::BookStatus::NotWorkbook: return L"The file is not an Excel 97-2003 workbook.";
    case xls::BookStatus::OldFormat: return L"The workbook is in the format of Excel 95 or older.";
    case xls::BookStatus::Encrypted: return L"The workbook is protected by a password.";
    case xls::BookStatus::Damaged: return L"The workbook is damaged.";
    default: return L"The workbook could not be read.";
    }
}

}  // namespace

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
    std::vector<xlsread::SheetTable> sheets;
    xls::BookStatus status = xlsread::ReadSheetTables(path.c_str(), &sheets);
    if (status != xls::BookStatus::Ok) {
        *error = std::wstring(ReasonOf(status)) + L" (" + path + L")";
        return false;
    }
    auto tables = std::make_shared<ClientTables>();
    for (const xlsread::SheetTable& sheet : sheets) {
        ClientTable t;
        t.name = sheet.name + L"$";
        for (const xlsread::TableColumn& c : sheet.columns) {
            ColumnMeta meta;
            meta.name = c.name;
            meta.baseName = c.name;
            meta.type = TypeOfKind(c.kind);
            t.columns.push_back(meta);
        }
        t.rows.reserve(sheet.rows.size());
        for (const auto& cells : sheet.rows) {
            auto row = std::make_shared<RowBuffer>(t.columns.size());
            for (const xlsread::Cell& cell : cells) {
                switch (cell.kind) {
                case xlsread::CellKind::Empty: row->AddNull(); break;
                case xlsread::CellKind::Text: row->AddText(cell.text.c_str(), cell.text.size()); break;
                case xlsread::CellKind::Bool: row->AddInt(cell.number != 0 ? -1 : 0); break;
                default: row->AddReal(cell.number); break;
                }
            }
            t.rows.push_back(row);
        }
        tables->tables.push_back(std::move(t));
    }
    *out = tables;
    return true;
}

}  // namespace zdata
