#include "dataaccess/rowwrite.h"

#include <cmath>
#include <cwctype>

namespace zdata {

namespace {

bool Contains(const std::wstring& upper, const wchar_t* part)
{
    return upper.find(part) != std::wstring::npos;
}

bool SameNameNoCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), (int)a.size(), b.c_str(), (int)b.size(), TRUE) == CSTR_EQUAL;
}

}  // namespace

// SQLite's rules for the affinity of a declared type, in their order.
TableWrites::Affinity TableWrites::AffinityOf(const std::wstring& declared)
{
    std::wstring upper = declared;
    for (wchar_t& c : upper)
        c = (wchar_t)towupper(c);
    if (Contains(upper, L"INT"))
        return Affinity::Integer;
    if (Contains(upper, L"CHAR") || Contains(upper, L"CLOB") || Contains(upper, L"TEXT"))
        return Affinity::Text;
    if (upper.empty() || Contains(upper, L"BLOB"))
        return Affinity::Blob;
    if (Contains(upper, L"REAL") || Contains(upper, L"FLOA") || Contains(upper, L"DOUB"))
        return Affinity::Real;
    return Affinity::Numeric;
}

// A default that is NULL, an integer or a quoted text; an expression, a real number (its text
// form is the engine's) or a blob is not told here.
bool TableWrites::ReadDefault(const std::wstring& text, BindValue* out)
{
    *out = BindValue();
    if (text.empty() || _wcsicmp(text.c_str(), L"NULL") == 0)
        return true;
    if (text.size() >= 2 && text.front() == L'\'' && text.back() == L'\'') {
        std::wstring value;
        for (size_t i = 1; i + 1 < text.size(); ++i) {
            if (text[i] == L'\'') {
                if (text[i + 1] != L'\'' || i + 2 >= text.size())
                    return false;
                ++i;
            }
            value += text[i];
        }
        out->isNull = false;
        out->kind = FetchKind::Text;
        out->text = value;
        return true;
    }
    size_t digits = text[0] == L'-' || text[0] == L'+' ? 1 : 0;
    if (digits >= text.size() || text.size() - digits > 18)
        return false;
    for (size_t i = digits; i < text.size(); ++i)
        if (!iswdigit(text[i]))
            return false;
    out->isNull = false;
    out->kind = FetchKind::Integer;
    out->i = _wtoi64(text.c_str());
    return true;
}

// Whether a value bound into a column of that affinity reads back, fetched as the column is
// fetched, as exactly the value bound. A number in a column that takes numbers and a text in one
// that keeps texts do; SQLite would turn "007" into 7 in a numeric column, a real into its text
// in a text column, and NaN into NULL.
bool TableWrites::KeepsAsBound(Affinity affinity, FetchKind fetch, const BindValue& value)
{
    if (value.isNull)
        return true;
    if (value.kind != fetch)
        return false;
    switch (value.kind) {
    case FetchKind::Integer:
        return affinity == Affinity::Integer || affinity == Affinity::Numeric || affinity == Affinity::Blob;
    case FetchKind::Double:
        return affinity != Affinity::Text && !std::isnan(value.d);
    case FetchKind::Text:
        return affinity == Affinity::Text || affinity == Affinity::Blob;
    case FetchKind::Binary:
        return true;
    }
    return false;
}

void TableWrites::Read(ConnectionCore& core, const std::wstring& table, const std::vector<ColumnMeta>& columns,
                       int hidden)
{
    known_ = false;
    columns_.clear();
    columnOf_.clear();
    rowidColumn_ = -1;
    bool read = EachText(core,
                         L"SELECT name, type, dflt_value, CAST(pk AS TEXT) FROM pragma_table_info(?)", &table,
                         [&](const std::vector<std::wstring>& row) {
                             Column column;
                             column.name = row[0];
                             column.affinity = AffinityOf(row[1]);
                             column.defaultKnown = ReadDefault(row[2], &column.defaultValue);
                             column.rowid = row[3] != L"0" && _wcsicmp(row[1].c_str(), L"INTEGER") == 0;
                             columns_.push_back(column);
                         });
    int keys = 0;
    for (const Column& column : columns_)
        keys += column.rowid ? 1 : 0;
    // Only a key of one INTEGER column is the rowid.
    for (Column& column : columns_)
        column.rowid = column.rowid && keys == 1;
    bool triggers = false;
    read = read && EachText(core,
                            L"SELECT name FROM (SELECT type, name, tbl_name FROM sqlite_master UNION ALL "
                            L"SELECT type, name, tbl_name FROM sqlite_temp_master) "
                            L"WHERE type = 'trigger' AND tbl_name = ? COLLATE NOCASE",
                            &table, [&](const std::vector<std::wstring>&) { triggers = true; });
    known_ = read && !triggers && !columns_.empty();
    // A column the table does not list (an expression, a generated column) is read back.
    for (size_t c = hidden; c < columns.size(); ++c) {
        int at = -1;
        for (size_t t = 0; t < columns_.size() && at < 0; ++t)
            if (SameNameNoCase(columns_[t].name, columns[c].baseName))
                at = (int)t;
        columnOf_.push_back(at);
        if (at >= 0 && columns_[(size_t)at].rowid)
            rowidColumn_ = (int)(c - hidden);
        known_ = known_ && at >= 0;
    }
}

RowPtr TableWrites::StoredRow(const std::vector<ColumnMeta>& columns, int hidden, long long rowid,
                              const std::vector<bool>& changed, const std::vector<BindValue>& values,
                              const RowPtr& current) const
{
    if (!known_ || columnOf_.size() + hidden != columns.size())
        return nullptr;
    auto row = std::make_shared<RowBuffer>(columns.size());
    if (hidden)
        row->AddInt(rowid);
    size_t v = 0;
    for (size_t c = hidden; c < columns.size(); ++c) {
        const Column* column = &columns_[(size_t)columnOf_[c - hidden]];
        bool written = changed[c - hidden];
        const BindValue* value = written ? &values[v++] : nullptr;
        if (column->rowid) {
            row->AddInt(rowid);
        } else if (written) {
            if (!KeepsAsBound(column->affinity, columns[c].type.fetch, *value))
                return nullptr;
            row->Add(*value);
        } else if (current) {
            row->Add(current->Get(c));
        } else {
            if (!column->defaultKnown || !KeepsAsBound(column->affinity, columns[c].type.fetch, column->defaultValue))
                return nullptr;
            row->Add(column->defaultValue);
        }
    }
    return row;
}

}  // namespace zdata
