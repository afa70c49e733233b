// Translation of the few Jet SQL forms that SQLite refuses or misreads. Callers keep their Jet SQL as
// written; the layer passes every statement through TranslateSql before preparing it.
//
//  - the program's own CREATE VIEW LITVIEW (RIGHT JOIN) text becomes the LEFT JOIN form, whose column
//    names do not break;
//  - "T1." referenced against a FROM table or view that has no alias: the alias "AS T1" is added;
//  - bare identifier:digits names (NAME:1, the view's duplicate columns) are double-quoted;
//  - DROP INDEX x ON t, and DROP INDEX x, become DROP INDEX IF EXISTS x;
//  - ALTER TABLE t DROP CONSTRAINT c has nothing to do (column-level keys go with their column);
//  - Jet column types in CREATE TABLE and ALTER TABLE ... ADD become SQLite's: LOGICAL, YESNO, BIT
//    -> BOOLEAN; MEMO, LONGTEXT, LONGCHAR, NOTE -> TEXT; DATE, TIME, TIMESTAMP -> DATETIME;
//    TEXT(n), CHAR(n) -> VARCHAR(n); LONG -> INTEGER; SHORT -> SMALLINT; BYTE -> TINYINT;
//    SINGLE -> REAL; CURRENCY, MONEY -> NUMERIC; LONGBINARY, OLEOBJECT, GENERAL, IMAGE -> BLOB;
//    COUNTER, AUTOINCREMENT -> INTEGER PRIMARY KEY AUTOINCREMENT.
// Text inside '...', "..." and [...] is never rewritten. Everything else is left as it is.
//
// Given the catalog of a connection that has the Czech collations (the extension loaded), queries
// (SELECT, WITH) are also made to sort and match names the Czech way:
//  - an ORDER BY term that is a column of text, or of a type the catalog does not know, gets
//    COLLATE CZECH (a column of numbers keeps its index order: its values sort alike either way);
//  - a column declared COLLATE NOCASE that is compared with =, ==, <>, != or [NOT] IN gets
//    COLLATE CZECH_NOCASE, so that "ČERNÝ" finds the stored "Černý" as "CERNY" finds "Cerny".
// A term or column that names its own collation is left alone. Writes (INSERT, UPDATE, DELETE) and
// schema statements never get them, so nothing stored in the file depends on the extension.
#pragma once

#include <string>
#include <vector>

namespace zdata {

// A column of a table or view, as the translator needs to know it.
struct ColumnDecl
{
    enum class Kind { Text, NotText, Unknown };
    std::wstring name;
    Kind kind = Kind::Unknown;  // by the affinity of the declared type; Unknown without one
    bool noCase = false;        // declared COLLATE NOCASE (known for tables only)
};

// What the translator asks of the database it translates for.
class SqlCatalog
{
public:
    virtual ~SqlCatalog() = default;
    // True when the Czech collations CZECH and CZECH_NOCASE can be named in statements.
    virtual bool HasCzechOrder() = 0;
    // The columns of a table or view (its name in any case); null when there is none.
    virtual const std::vector<ColumnDecl>* ColumnsOf(const std::wstring& name) = 0;
};

// Returns the SQLite form of one statement. An empty result for a non-empty statement means there is
// nothing to run: the caller reports success without executing it. Without a catalog (or when its
// connection has no Czech collations) no collation is named.
std::wstring TranslateSql(const std::wstring& jetSql, SqlCatalog* catalog = nullptr);

// The kind of a declared column type by SQLite's affinity rules: VARCHAR(64), TEXT, CLOB are text;
// INTEGER, DOUBLE, BOOLEAN, DATETIME, BLOB are not; an empty type is unknown.
ColumnDecl::Kind KindOfDeclaredType(const std::wstring& declaredType);

// The names of the columns that a CREATE TABLE statement declares COLLATE NOCASE, as written.
std::vector<std::wstring> NoCaseColumns(const std::wstring& createTableSql);

// The LEFT JOIN text of LITVIEW that the translator substitutes (the schema script creates the same).
extern const wchar_t* const kLitViewSql;

}  // namespace zdata
