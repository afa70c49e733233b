#include "structure/colnames.h"

#include <strsafe.h>

#include <string>
#include <vector>

#include "core/textutil.h"
#include "core/treewalk.h"
#include "structure/schemadb.h"

const wchar_t kFallbackColumnBase[] = L"ATRIBUT";

namespace {

const int kColumnNameLength = 15;
const int kBaseLength = 13;
const int kLastSuffix = 30;

// The words no generated column may be: the system's own list first (PRECISSION as it has always
// been spelt), then every keyword of SQLite and of Jet SQL, and the names of SQLite's implicit
// row id. The programs write attribute columns into their own queries, so a keyword there would
// change the query.
const wchar_t* const kReservedWords[] = {
    L"TABLE", L"COLUMN", L"DATE", L"INTEGER", L"DOUBLE", L"PRECISSION", L"DATABASE", L"CHAR",
    L"VARCHAR", L"SELECT", L"DISTINCT", L"PRIMARY", L"KEY", L"INDEX", L"UNIQUE", L"FOREIGN", L"TIME",
    // SQLite
    L"ABORT", L"ACTION", L"ADD", L"AFTER", L"ALL", L"ALTER", L"ALWAYS", L"ANALYZE", L"AND", L"AS",
    L"ASC", L"ATTACH", L"AUTOINCREMENT", L"BEFORE", L"BEGIN", L"BETWEEN", L"BY", L"CASCADE", L"CASE",
    L"CAST", L"CHECK", L"COLLATE", L"COMMIT", L"CONFLICT", L"CONSTRAINT", L"CREATE", L"CROSS",
    L"CURRENT", L"CURRENT_DATE", L"CURRENT_TIME", L"CURRENT_TIMESTAMP", L"DEFAULT", L"DEFERRABLE",
    L"DEFERRED", L"DELETE", L"DESC", L"DETACH", L"DO", L"DROP", L"EACH", L"ELSE", L"END", L"ESCAPE",
    L"EXCEPT", L"EXCLUDE", L"EXCLUSIVE", L"EXISTS", L"EXPLAIN", L"FAIL", L"FILTER", L"FIRST",
    L"FOLLOWING", L"FOR", L"FROM", L"FULL", L"GENERATED", L"GLOB", L"GROUP", L"GROUPS", L"HAVING",
    L"IF", L"IGNORE", L"IMMEDIATE", L"IN", L"INDEXED", L"INITIALLY", L"INNER", L"INSERT", L"INSTEAD",
    L"INTERSECT", L"INTO", L"IS", L"ISNULL", L"JOIN", L"LAST", L"LEFT", L"LIKE", L"LIMIT", L"MATCH",
    L"MATERIALIZED", L"NATURAL", L"NO", L"NOT", L"NOTHING", L"NOTNULL", L"NULL", L"NULLS", L"OF",
    L"OFFSET", L"ON", L"OR", L"ORDER", L"OTHERS", L"OUTER", L"OVER", L"PARTITION", L"PLAN",
    L"PRAGMA", L"PRECEDING", L"QUERY", L"RAISE", L"RANGE", L"RECURSIVE", L"REFERENCES", L"REGEXP",
    L"REINDEX", L"RELEASE", L"RENAME", L"REPLACE", L"RESTRICT", L"RETURNING", L"RIGHT", L"ROLLBACK",
    L"ROW", L"ROWS", L"SAVEPOINT", L"SET", L"TEMP", L"TEMPORARY", L"THEN", L"TIES", L"TO",
    L"TRANSACTION", L"TRIGGER", L"UNBOUNDED", L"UNION", L"UPDATE", L"USING", L"VACUUM", L"VALUES",
    L"VIEW", L"VIRTUAL", L"WHEN", L"WHERE", L"WINDOW", L"WITH", L"WITHOUT", L"ROWID", L"_ROWID_",
    L"OID",
    // Jet SQL
    L"ALPHANUMERIC", L"ANY", L"AVG", L"BINARY", L"BIT", L"BOOLEAN", L"BYTE",
    L"CHARACTER", L"COUNT", L"COUNTER", L"CURRENCY", L"DATETIME", L"DISALLOW", L"DISTINCTROW",
    L"EQV", L"FALSE", L"FLOAT", L"FLOAT4", L"FLOAT8", L"GENERAL", L"GUID", L"IEEEDOUBLE",
    L"IEEESINGLE", L"IMP", L"INT", L"INTEGER1", L"INTEGER2", L"INTEGER4", L"LEVEL", L"LOGICAL",
    L"LOGICAL1", L"LONG", L"LONGBINARY", L"LONGCHAR", L"LONGTEXT", L"MAX", L"MEMO", L"MIN", L"MOD",
    L"MONEY", L"NOTE", L"NUMBER", L"NUMERIC", L"OLEOBJECT", L"OPTION", L"OWNERACCESS", L"PARAMETERS",
    L"PERCENT", L"PIVOT", L"PROCEDURE", L"REAL", L"SHORT", L"SINGLE", L"SMALLINT", L"SOME", L"STDEV",
    L"STDEVP", L"STRING", L"SUM", L"TEXT", L"TIMESTAMP", L"TINYINT", L"TOP", L"TRANSFORM", L"TRUE",
    L"VALUE", L"VAR", L"VARBINARY", L"VARP", L"XOR", L"YESNO",
};

bool HasAsciiAlnum(const wchar_t* name)
{
    for (; *name; ++name)
        if (IsAsciiAlnum(*name))
            return true;
    return false;
}

// The column names of the table (none when it cannot be read).
std::vector<std::wstring> TableColumns(CSchemaDb* db, const wchar_t* table)
{
    std::vector<std::wstring> names;
    if (db && db->IsOpen())
        treewalk::TableColumnNames(db->GetConnection(), table, &names);
    return names;
}

bool IsTaken(const wchar_t* name, const std::vector<std::wstring>& columns)
{
    if (IsReservedColumnName(name))
        return true;
    for (const std::wstring& column : columns)
        if (SameTextNoCase(column.c_str(), name))
            return true;
    return false;
}

}  // namespace

bool IsAsciiAlnum(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
}

int MakeColumnName(const wchar_t* displayName, wchar_t* out)
{
    out[0] = 0;
    int length = displayName ? (int)wcslen(displayName) : 0;
    if (length == 0)
        return 0;
    // Upper case in the system's language; blanks become NULs, which the next mapping keeps in
    // place while it drops diacritics and symbols.
    std::vector<wchar_t> upper((size_t)length + 1, 0);
    int n = LCMapStringW(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, displayName, length, upper.data(), length);
    if (n <= 0)
        return 0;
    for (int i = 0; i < n; ++i)
        if (upper[i] == L' ')
            upper[i] = 0;
    std::vector<wchar_t> plain((size_t)n + 1, 0);
    int m = LCMapStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORENONSPACE | NORM_IGNORESYMBOLS, upper.data(), n,
                         plain.data(), n);
    if (m <= 0)
        return 0;
    for (int i = 0; i < m; ++i)
        if (plain[i] == 0)
            plain[i] = L'_';
    int kept = m < kColumnNameLength ? m : kColumnNameLength;
    // Through code page 1252 and back: letters it folds (Š, Ž) come out plain.
    char bytes[kColumnNameLength + 1] = {};
    int written = WideCharToMultiByte(1252, WC_COMPOSITECHECK | WC_DISCARDNS, plain.data(), kept, bytes,
                                      kColumnNameLength, nullptr, nullptr);
    if (written < kept)
        kept = written > 0 ? written : 0;
    for (int i = 0; i < kept; ++i) {
        if ((unsigned char)bytes[i] == 0x8A)
            bytes[i] = 'S';
        else if ((unsigned char)bytes[i] == 0x8E)
            bytes[i] = 'Z';
    }
    wchar_t back[kColumnNameLength + 1] = {};
    MultiByteToWideChar(1252, MB_COMPOSITE, bytes, kept, back, kColumnNameLength);
    for (int i = 0; i < kept; ++i) {
        wchar_t c = back[i];
        // Anything still outside ASCII letters and digits (a letter of another alphabet, a mark
        // the code page kept) becomes an underscore.
        out[i] = IsAsciiAlnum(c) ? c : L'_';
    }
    out[kept] = 0;
    if (kept > 0 && out[0] >= L'0' && out[0] <= L'9')
        out[0] = L'_';
    return kept;
}

bool IsReservedColumnName(const wchar_t* name)
{
    for (const wchar_t* word : kReservedWords)
        if (SameTextNoCase(word, name))
            return true;
    return false;
}

int MakeUniqueColumnName(CSchemaDb* db, const wchar_t* table, const wchar_t* displayName, wchar_t* out)
{
    wchar_t base[kColumnNameLength + 1];
    MakeColumnName(displayName, base);
    base[kBaseLength] = 0;
    if (!HasAsciiAlnum(base))
        StringCchCopyW(base, kColumnNameLength + 1, kFallbackColumnBase);
    StringCchCopyW(out, 32, base);
    const std::vector<std::wstring> columns = TableColumns(db, table);
    for (int k = 1;; ++k) {
        if (!IsTaken(out, columns))
            return k - 1;
        StringCchPrintfW(out, 32, L"%s%.2d", base, k);
        if (k > kLastSuffix)
            return -1;
    }
}
