// The database file's structure: the script that makes an empty Zorna database (every base
// table and view in its column order, keys, collations, foreign keys, root rows) and the
// statements the sample generator and the utilities use to add levels and attributes.
#pragma once
#include <windows.h>
#include <sql.h>
#include <string>
#include <vector>

namespace zor {

// The whole schema script, statements separated by ";" at line ends.
const wchar_t* SchemaScriptText();

// The script cut into single statements (comments and blank lines removed).
std::vector<std::wstring> SplitSqlScript(const wchar_t* script);

// Runs the schema script over an open ODBC connection to an empty SQLite database, inside one
// transaction. On failure the database is left as it was and error (when given) says why.
bool RunSchemaScript(SQLHDBC dbc, std::wstring* error = nullptr);

// Table prefix of the lookup tables of an attribute-owning table ("SPE_" for SPECIES, ...);
// empty for an unknown table.
std::wstring LookupTablePrefix(const std::wstring& table);

// The path column of a level in ZORNACOLLS: "SYS_LEVEL_<n>" or "LOC_LEVEL_<n>".
std::wstring LevelColumnName(bool systematic, int levelId);
// The statement that adds one level path column to ZORNACOLLS.
std::wstring AddLevelColumnSql(bool systematic, int levelId);

// The value list table of a lookup attribute: the table's prefix and the field name.
std::wstring LookupTableName(const std::wstring& table, const std::wstring& field);

// Attribute types of CUSTOMATTRIBUTES column 3.
enum AttrType {
    AttrBoolean = 0,
    AttrInteger = 1,
    AttrReal = 2,
    AttrDate = 3,
    AttrText = 4,
    AttrLookup = 5,
    AttrLongText = 6,
    AttrGeoLookup = 7,
};

// Statements and declarations of any length; every name in them goes through the layer's one
// quoting function (zdata::QuoteIdentifier), so a name the user chose cannot change them.
//
// The SQL column declaration of an attribute of the given type and text size: lookup columns
// compare without ASCII case and reference their value list's NAME with cascading renames, and
// with cascadeDelete (a key attribute) also with cascading deletes.
std::wstring AttrColumnDecl(const std::wstring& table, const std::wstring& field, int type, int size,
                            bool cascadeDelete = false);

// "CREATE TABLE" of the value list of a lookup attribute (type 5, or 7 with GEOMETRY); its NAME
// key compares without ASCII case.
std::wstring LookupTableSql(const std::wstring& table, const std::wstring& field, int type, int size);

}  // namespace zor
