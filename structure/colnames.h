// Column names of user-defined attributes. Users name their attributes freely in Czech (letters
// with diacritics, blanks, punctuation); the table needs a plain name. MakeColumnName derives one
// of at most 15 letters, digits and underscores from the display name; MakeUniqueColumnName keeps
// 13 of them and, when the name is a reserved word of SQL (SQLite's or Jet's) or a column the
// table already has, appends a two-digit number.
#pragma once
#include <windows.h>

class CSchemaDb;

// The base used for a display name that gives no letter or digit at all ("???", "---").
extern const wchar_t kFallbackColumnBase[];

// True for A-Z, a-z and 0-9 only.
bool IsAsciiAlnum(wchar_t c);

// The column name of a display name in out (at least 16 characters): upper case, blanks as "_",
// diacritics and symbols dropped, at most 15 characters, every character left that is not an
// ASCII letter or digit as "_", a leading digit as "_". Returns its length (0 to 15).
int MakeColumnName(const wchar_t* displayName, wchar_t* out);

// Whether the name is a reserved word of SQLite or of Jet SQL (compared without case).
bool IsReservedColumnName(const wchar_t* name);

// A column name for a new attribute of the table in out (at least 32 characters): the display
// name's column name cut to 13 characters (kFallbackColumnBase when it holds no letter or digit),
// then, while that is reserved or a column of the table (compared without case), the base with
// 01, 02 ... 30 appended. Returns 0 for the plain base, the number appended, or -1 when every
// candidate is taken (out then holds the base with 31). Without an open database only the
// reserved words are checked.
int MakeUniqueColumnName(CSchemaDb* db, const wchar_t* table, const wchar_t* displayName, wchar_t* out);
