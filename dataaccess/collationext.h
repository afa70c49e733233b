// The SQLite extension with the Czech collations (czechcollation/), as connections find and load
// it: its file is a build output beside the programs, handed to the SQLite3 ODBC driver through
// the driver's LoadExt option. Under Wine the driver is a host library and loads the host build
// (libczechcollation.so); on Windows it loads the DLL (czechcollation.dll). A connection without
// it still opens: queries then sort and match in the schema's own collations.
#pragma once

#include <string>

namespace zdata {

// The collations the extension defines (czechcollation/sqliteext.c).
extern const wchar_t kCzechCollation[];        // "CZECH": the full order
extern const wchar_t kCzechNoCaseCollation[];  // "CZECH_NOCASE": equal ignoring case only

// A query that succeeds only on a connection that has both collations.
extern const wchar_t kCzechOrderProbeSql[];

// The extension's file name for the driver that opens SQLite files here.
const wchar_t* CollationExtensionFileName();

// Where connections look for the extension: the folder of the running program, unless a test
// chose another one with SetCollationExtensionFolder (null or empty: the program's folder again).
// Connections opened afterwards look there.
std::wstring CollationExtensionFolder();
void SetCollationExtensionFolder(const wchar_t* folder);

// The extension's Windows path (folder and file name).
std::wstring CollationExtensionPath();

// The value of the driver's LoadExt option for the extension: its path as the driver takes it.
// Empty when the file is not there (the driver would only complain on its error output).
std::wstring CollationLoadExtValue();

}  // namespace zdata
