// The check at open that a database file holds what both programs read by name: the tables and
// views of a Zorna database, their key columns, and the column of every key attribute.
#pragma once
#include <windows.h>

#include <string>

#include "dataaccess/ado.h"

struct SchemaProblem
{
    enum Kind {
        None,
        MissingTable,   // Table (or view) is not in the file
        MissingColumn,  // Table lacks Column
        ReadFailed,     // the file refused the reading: Reason says why (the data layer's text)
    };
    Kind What = None;
    std::wstring Table;
    std::wstring Column;
    std::wstring Reason;
    zdata::RefusalKind Refusal = zdata::RefusalKind::None;
};

// What keeps the open file from being a Zorna database, the first found (What None: nothing).
// Reads the catalogue and one empty query of each table only, however large the file.
SchemaProblem CheckZornaSchema(zdata::Connection* connection);

// A read at open that the engine refused for the file's sake (locked, read-only, damaged, no
// database, cannot be opened): the data layer's reason naming the file; empty for other refusals.
std::wstring FileRefusalText(zdata::RefusalKind kind, const std::wstring& path);

// The Czech text of a problem, naming the file (IDS_SCHEMA_* of the program's string table,
// resources/schemacheck_ids.h); for a failed read the data layer's reason at open (naming the file)
// when it knows the refusal, else the read's own text; empty for None.
std::wstring SchemaProblemText(HINSTANCE module, const SchemaProblem& problem, const std::wstring& path);
