#include "dataaccess/textfetch.h"

#include <cwchar>

#include "dataaccess/datetext.h"
#include "dataaccess/varconv.h"

namespace zdata {

namespace {

bool ReadReal(const std::wstring& text, double* out)
{
    if (text.empty())
        return false;
    wchar_t* end = nullptr;
    *out = wcstod(text.c_str(), &end);  // the program never sets a C locale: '.' is the point
    while (end && *end == L' ')
        ++end;
    return end && *end == 0 && end != text.c_str();
}

}  // namespace

void AddTextAsColumnValue(RowBuffer* row, const ColumnType& type, const wchar_t* text, size_t n)
{
    std::wstring value(text, n);
    double real = 0;
    switch (type.fetch) {
    case FetchKind::Integer:
        if (ReadReal(value, &real) && real >= -9.2e18 && real <= 9.2e18 && real == (double)(long long)real) {
            row->AddInt((long long)real);
            return;
        }
        break;
    case FetchKind::Double:
        if (type.adoType == adDate || type.adoType == adDBDate || type.adoType == adDBTimeStamp ||
            type.adoType == adDBTime) {
            // The driver has no other form of a date than its text (every C type gives the same
            // fields): a text that is no date stands for a value the driver could not convert.
            if (ReadDateText(value.c_str(), value.size(), &real) == DateText::Date)
                row->AddReal(real);
            else
                row->AddUnreadable();
            return;
        } else if (ReadReal(value, &real)) {
            row->AddReal(real);
            return;
        }
        break;
    default:
        break;
    }
    row->AddText(value.c_str(), value.size());
}

bool DescribeColumnsThroughText(SQLHSTMT stmt, std::vector<ColumnMeta>* columns)
{
    if (!DescribeColumns(stmt, columns))
        return false;
    for (size_t i = 0; i < columns->size(); ++i) {
        ColumnMeta& column = (*columns)[i];
        // A column described as text whose type the driver names as one of numbers (a Decimal
        // column: long text named "NUMERIC") holds numbers, as Jet delivers them.
        if (IsTextType(column.type.adoType)) {
            SQLWCHAR decl[64] = {};
            SQLSMALLINT declLen = 0;
            if (OdbcOk(SQLColAttributeW(stmt, (SQLUSMALLINT)(i + 1), SQL_DESC_TYPE_NAME, decl, sizeof(decl), &declLen,
                                        nullptr))) {
                ColumnType declared = MapDeclType((const wchar_t*)decl);
                if (declared.fetch == FetchKind::Double && declared.adoType != adDate) {
                    column.type = declared;
                    continue;
                }
            }
        }
        if (column.type.adoType != adVarWChar)
            continue;
        SQLWCHAR name[2];
        SQLSMALLINT nameLen = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!OdbcOk(SQLDescribeColW(stmt, (SQLUSMALLINT)(i + 1), name, 2, &nameLen, &sqlType, &size, &digits,
                                    &nullable)))
            continue;
        if (size == 0)
            column.type = MapOdbcType(SQL_WLONGVARCHAR, 0, nullptr);
        else
            column.type.definedSize = (long)((size + 1) / 2);
    }
    return true;
}

SQLRETURN FetchRowThroughText(SQLHSTMT stmt, const std::vector<ColumnMeta>& columns, RowPtr* row,
                              std::vector<uint8_t>& scratch)
{
    std::vector<ColumnMeta> asText = columns;
    for (ColumnMeta& c : asText)
        if (c.type.fetch != FetchKind::Binary)
            c.type.fetch = FetchKind::Text;
    RowPtr raw;
    SQLRETURN rc = FetchRow(stmt, asText, &raw, scratch);
    if (!OdbcOk(rc))
        return rc;
    auto typed = std::make_shared<RowBuffer>(columns.size());
    for (size_t c = 0; c < columns.size(); ++c) {
        DriverValue v = raw->Get(c);
        if (v.isNull)
            typed->AddNull();
        else if (v.kind == FetchKind::Text)
            AddTextAsColumnValue(typed.get(), columns[c].type, v.text, v.textLen);
        else
            typed->Add(v);
    }
    *row = typed;
    return rc;
}

}  // namespace zdata
