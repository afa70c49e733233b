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
#pragma once

#include <string>

namespace zdata {

// Returns the SQLite form of one statement. An empty result for a non-empty statement means there is
// nothing to run: the caller reports success without executing it.
std::wstring TranslateSql(const std::wstring& jetSql);

// The LEFT JOIN text of LITVIEW that the translator substitutes (the schema script creates the same).
extern const wchar_t* const kLitViewSql;

}  // namespace zdata
