// The database engine's refusals as the user reads them (not ADO). The layer stands where the
// database engine of a Czech installation stood: a duplicate key, a value its column cannot
// take, a missing required value, a file locked by another program, a read-only file, a full
// disk or a damaged file reach the user as a Czech sentence that names the field and says what
// to do; the engine's own text follows on a line of its own.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "dataaccess/adodefs.h"

namespace zdata {

class Connection;

// The name under which the user knows a column of one of the file's tables (the caption of its
// field), for the texts that name the column; an empty label forgets it. Kept until the
// connection closes. Table and column are matched without regard to case.
void SetColumnLabel(Connection* connection, const std::wstring& table, const std::wstring& column,
                    const std::wstring& label);

enum class RefusalKind {
    None,          // not one the layer knows
    Duplicate,     // a unique key or index already holds the values
    Required,      // NULL in a NOT NULL column
    DoesNotFit,    // a value of another type than its column's
    TooLarge,      // a text or binary value beyond what the engine stores
    ForeignKey,    // a reference to a row that is not there, or a row still referred to
    Locked,        // another program holds the file
    ReadOnly,      // the file (or its folder) cannot be written
    DiskFull,
    Damaged,       // the file's pages do not hold together
    NotADatabase,  // the file is no database at all
    CannotOpen,
    DiskError,
};

// What a diagnostic of the engine says: its kind and, where it names them, the table and
// columns concerned (in the engine's order).
struct EngineRefusal {
    RefusalKind kind = RefusalKind::None;
    std::wstring table;
    std::vector<std::wstring> columns;
};

// Reads a diagnostic of the SQLite driver ("[SQLite]UNIQUE constraint failed: T.A, T.B (19)")
// with its native error (the engine's result code).
EngineRefusal ReadEngineRefusal(const std::wstring& text, long nativeError);

// The label of a column (its own name when the caller gave it none).
using ColumnLabelFn = std::function<std::wstring(const std::wstring& table, const std::wstring& column)>;

// The Czech sentence of a refusal; a kind the layer does not know gets a general one.
std::wstring RefusalSentence(const EngineRefusal& refusal, const ColumnLabelFn& labelOf);

// The description a diagnostic of the engine becomes: the sentence, then the engine's text.
std::wstring EngineErrorDescription(const std::wstring& text, long nativeError, const ColumnLabelFn& labelOf);

// The layer's own refusal of a value its column's type cannot take (overflow: a number beyond
// the column's range).
std::wstring ValueDoesNotFitText(const std::wstring& label, DataTypeEnum type, bool overflow);

// Why a database file could not be opened, naming it: a refusal of the kinds Locked, ReadOnly,
// Damaged, NotADatabase or CannotOpen (anything else: that it could not be opened).
std::wstring OpenRefusalText(RefusalKind kind, const std::wstring& path);

}  // namespace zdata
