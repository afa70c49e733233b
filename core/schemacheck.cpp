#include "core/schemacheck.h"

#include <cwctype>
#include <set>
#include <vector>

#include "core/msgboxtext.h"
#include "core/treewalk.h"
#include "resources/schemacheck_ids.h"

namespace {

struct NeededTable
{
    const wchar_t* name;
    std::vector<const wchar_t*> columns;
};

// Level tables first: a file without them is no Zorna database at all. The columns are those the
// programs name in their queries; columns read by position or added later are not required (an
// older file lacks some).
const NeededTable kNeeded[] = {
    {L"SYSDEF", {L"LEVELID", L"NAME", L"DATALEVEL"}},
    {L"LOCDEF", {L"LEVELID", L"NAME", L"DATALEVEL"}},
    {L"SYSTREE", {L"ID", L"PARENT", L"SYSLEVEL", L"SYSPOS", L"NAME"}},
    {L"LOCTREE", {L"ID", L"PARENT", L"LOCLEVEL", L"NAME"}},
    {L"SPECIES", {L"NAME", L"SYSID"}},
    {L"FEATURES", {L"LOCID", L"NAME"}},
    {L"ZORNACOLLS", {L"ID", L"SYSID", L"FTRID", L"LITID"}},
    {L"CUSTOMATTRIBUTES", {L"TABLENAME", L"FIELDNAME", L"POSID", L"ATTRTYPE", L"ATTRSIZE", L"KEYFLAG",
                           L"TABNAME", L"CAPTION"}},
    {L"LITERATURE", {L"ID", L"NAME"}},
    {L"SYSAUTHORS", {L"NAME"}},
    {L"LITAUTHORS", {L"ID", L"NAME"}},
    {L"JOURNALS", {L"ID", L"NAME"}},
    {L"EDITORS", {L"ID", L"NAME"}},
    {L"KEYWORDS", {L"ID", L"NAME"}},
    {L"COLLECTVIEW", {}},
};

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text)
        c = (wchar_t)towupper(c);
    return text;
}

SchemaProblem ReadFailure(zdata::Connection* connection)
{
    SchemaProblem p;
    p.What = SchemaProblem::ReadFailed;
    p.Reason = connection->LastErrorText();
    p.Refusal = connection->LastRefusalKind();
    return p;
}

SchemaProblem Missing(const std::wstring& table, const std::wstring& column = std::wstring())
{
    SchemaProblem p;
    p.What = column.empty() ? SchemaProblem::MissingTable : SchemaProblem::MissingColumn;
    p.Table = table;
    p.Column = column;
    return p;
}

// The names of the file's tables and views, in capitals; false when the catalogue cannot be read.
bool ReadTableNames(zdata::Connection* connection, std::set<std::wstring>* names)
{
    zdata::Recordset* tables = nullptr;
    if (FAILED(connection->OpenSchema(adSchemaTables, &tables)) || !tables)
        return false;
    RsHolder rs(tables);
    for (; !rs->IsEOF(); rs->MoveNext())
        names->insert(Upper(treewalk::RowText(rs.get(), 2)));
    return true;
}

// The columns of a table or view in capitals, from a query that reads no row.
bool ReadColumnNames(zdata::Connection* connection, const std::wstring& table, std::set<std::wstring>* names)
{
    std::vector<std::wstring> columns;
    if (!treewalk::TableColumnNames(connection, table, &columns))
        return false;
    for (const std::wstring& column : columns)
        names->insert(Upper(column));
    return true;
}

}  // namespace

SchemaProblem CheckZornaSchema(zdata::Connection* connection)
{
    std::set<std::wstring> tables;
    if (!ReadTableNames(connection, &tables))
        return ReadFailure(connection);
    for (const NeededTable& t : kNeeded) {
        if (!tables.count(t.name))
            return Missing(t.name);
        std::set<std::wstring> columns;
        if (!ReadColumnNames(connection, t.name, &columns))
            return ReadFailure(connection);
        for (const wchar_t* c : t.columns)
            if (!columns.count(c))
                return Missing(t.name, c);
    }
    // A key attribute is part of the records' key: without its column no record can be saved.
    RsHolder keys(treewalk::OpenRecordset(
        connection, L"SELECT TABLENAME, FIELDNAME FROM CUSTOMATTRIBUTES WHERE KEYFLAG <> 0 ORDER BY POSID", false,
        adLockReadOnly));
    if (!keys.IsOpen())
        return ReadFailure(connection);
    std::vector<std::pair<std::wstring, std::wstring>> keyColumns;
    for (; !keys->IsEOF(); keys->MoveNext())
        keyColumns.push_back({Upper(treewalk::RowText(keys.get(), 0)), treewalk::RowText(keys.get(), 1)});
    for (const auto& k : keyColumns) {
        std::set<std::wstring> columns;
        if (!tables.count(k.first))
            return Missing(k.first);
        if (!ReadColumnNames(connection, k.first, &columns))
            return ReadFailure(connection);
        if (!columns.count(Upper(k.second)))
            return Missing(k.first, k.second);
    }
    return SchemaProblem();
}

std::wstring FileRefusalText(zdata::RefusalKind kind, const std::wstring& path)
{
    switch (kind) {
    case zdata::RefusalKind::Locked:
    case zdata::RefusalKind::ReadOnly:
    case zdata::RefusalKind::Damaged:
    case zdata::RefusalKind::NotADatabase:
    case zdata::RefusalKind::CannotOpen:
        return zdata::OpenRefusalText(kind, path);
    default:
        return std::wstring();
    }
}

std::wstring SchemaProblemText(HINSTANCE module, const SchemaProblem& problem, const std::wstring& path)
{
    switch (problem.What) {
    case SchemaProblem::MissingTable:
        return ResourceText(module, IDS_SCHEMA_MISSING_TABLE, {path.c_str(), problem.Table.c_str()});
    case SchemaProblem::MissingColumn:
        return ResourceText(module, IDS_SCHEMA_MISSING_COLUMN,
                            {path.c_str(), problem.Table.c_str(), problem.Column.c_str()});
    case SchemaProblem::ReadFailed: {
        std::wstring why = FileRefusalText(problem.Refusal, path);
        return why.empty() ? problem.Reason : why;
    }
    case SchemaProblem::None:
        break;
    }
    return std::wstring();
}
