// Internals of the data layer shared by Connection, Recordset and Command: the ODBC handles of a
// connection, statement helpers, diagnostics, and the compact row storage of rowsets.
#pragma once
#include <windows.h>
#include <sql.h>
#include <sqlext.h>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>
#include "dataaccess/ado.h"
#include "dataaccess/sqltranslate.h"
#include "dataaccess/stmtcache.h"
#include "dataaccess/varconv.h"

namespace zdata {

struct ClientTables;

// HRESULT of a layer error with ADO's number (ADO reports them in FACILITY_CONTROL).
inline HRESULT AdoError(long code) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, code); }

// A recordset that added rows inside a savepoint: a rollback to the savepoint takes them out
// of its rows again (they are no longer in the file); the end of the whole transaction makes
// them its own. Called under the connection's lock.
class SavepointRows {
public:
    virtual void RolledBackTo(unsigned long long serial) = 0;
    virtual void TransactionEnded() = 0;

protected:
    ~SavepointRows() = default;
};

// The bound arrays of block fetches, kept from one fetch to the next: a page of a long list
// then binds memory it already has instead of allocating and clearing megabytes of fresh
// buffers for a few dozen rows.
struct BlockBuffers {
    std::unique_ptr<uint8_t[]> bytes;  // the values, column after column; never cleared
    size_t capacity = 0;
    std::vector<SQLLEN> lengths;       // the length indicators, column after column
};

// The ODBC side of one connection. Recordsets and commands keep it alive (shared_ptr), so a
// closed connection makes their database calls fail instead of crash. It is also the catalog the
// SQL translator asks about the file's columns and the Czech collations.
struct ConnectionCore : SqlCatalog {
    ConnectionCore();
    ~ConnectionCore();

    std::recursive_mutex lock;  // one ODBC call sequence at a time (UI thread and one worker)
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    std::atomic<long> state{adStateClosed};
    long transactionLevel = 0;
    // How often what the layer knows of the schema was forgotten (rolling a savepoint back
    // forgets again only when the schema changed inside it), and the open nested transactions
    // (savepoints), innermost last.
    unsigned long long schemaChanges = 0;
    struct Savepoint {
        unsigned long long serial;         // counted up over the connection's life
        unsigned long long schemaChanges;  // when it began
    };
    std::vector<Savepoint> savepoints;
    unsigned long long lastSavepointSerial = 0;
    // Recordsets holding rows they added inside a savepoint.
    std::vector<SavepointRows*> savepointRows;
    Errors* errors;  // replaced only when an operation fails
    // The names of the file's tables (not views) as NOCASE compares them, once read.
    std::set<std::wstring> tableNames;
    bool tableNamesRead = false;
    // upper-case name -> its columns (null: no such table or view)
    std::map<std::wstring, std::unique_ptr<std::vector<ColumnDecl>>> columnDecls;
    // The Czech collations: whether this connection has them, and for an SQLite connection
    // without them, the extension file that was looked for (Windows path).
    bool czechOrder = false;
    std::wstring missingCollationExtension;
    // An Access file through MDBTools: its SQL is minimal, so statements go to it as written,
    // without the layer's rowid, keyset or SQLite catalog queries.
    bool passThrough = false;
    // The file is read-only: the connection reads it only (PRAGMA query_only).
    bool readOnly = false;
    // A statement met a damaged page since the open (kept when later errors replace its own).
    bool damageFound = false;
    // A workbook: its sheets in memory, no driver (dbc stays null).
    std::shared_ptr<ClientTables> clientTables;
    // Statements prepared once and run again (see CachedStmt), and the SQL texts as the layer
    // translated them; both forgotten with what the layer knows of the schema.
    StatementCache statements;
    std::unordered_map<std::wstring, std::wstring> translations;
    BlockBuffers blockBuffers;  // of the keyset pages read under the lock
    // An SQLite connection begins its transactions with this text and ends them with its own
    // COMMIT and ROLLBACK, the driver staying in autocommit (outertxn.h); empty for the other
    // kinds, whose transactions are the driver's.
    std::wstring beginStatement;
    // The refusal that ended the running transaction, while the caller has not yet rolled it
    // back (outertxn.h); null while the transaction stands.
    Error* transactionLostBy = nullptr;
    int lockTimeoutMs = 0;  // SQLite: how long a statement waits for the file's lock
    // An SQLite connection's page cache outside transactions, as "PRAGMA cache_size" gave it at
    // open (empty for the other kinds, which keep their settings).
    std::wstring idleCacheSize;
    // "TABLE.COLUMN" in capitals -> the name the user knows the column by (refusals.h).
    std::map<std::wstring, std::wstring> columnLabels;

    bool IsOpen() const { return state.load() == adStateOpen && (dbc != SQL_NULL_HDBC || clientTables); }

    // The label given for a column (SetColumnLabel), else its own name.
    std::wstring LabelOf(const std::wstring& table, const std::wstring& column) const;
    void SetColumnLabel(const std::wstring& table, const std::wstring& column, const std::wstring& label);

    // Replace the Errors collection with one error of the layer; returns hr.
    HRESULT Fail(HRESULT hr, const std::wstring& description);
    // Replace the Errors collection with the driver's diagnostics for the handle (or, when it
    // has none, with the fallback text); returns E_FAIL. Each diagnostic's description is the
    // Czech sentence of its refusal followed by the driver's own text (refusals.h); onlyRead:
    // the refused statement only read. A refusal inside a transaction that ended it ends the
    // unit of work (outertxn.h).
    HRESULT FailOdbc(SQLSMALLINT handleType, SQLHANDLE handle, const std::wstring& fallback,
                     bool onlyRead = false);
    // The refusal of work on a connection that is not open; returns its error.
    HRESULT NotOpen() { return Fail(AdoError(adErrObjectClosed), L"Připojení k databázi není otevřené."); }
    // The failure to get a statement handle, with the driver's reasons; returns E_FAIL.
    HRESULT NoStatement() { return FailOdbc(SQL_HANDLE_DBC, dbc, L"Příkaz databáze nelze vytvořit."); }
    // Only collects diagnostics (for a connect on a worker thread).
    std::vector<Error*> Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, bool onlyRead = false) const;

    // Frees the handles (the lock must be held).
    void Disconnect();

    // True when name is a table (views, unknown names: false). Cached.
    bool IsTable(const std::wstring& name);
    // An SQLite transaction runs with a large page cache and its savepoints' pages in memory;
    // outside one the connection keeps the small defaults (sorting a long list's keys then
    // spills to a file instead of memory, and the cache holds no 64 MB of its pages). Called
    // with true before the outermost transaction begins, with false once it has ended.
    void TransactionSettings(bool inTransaction);
    // Forgets what it knows of the schema (after a statement that may have changed it), with
    // the statements prepared and the texts translated under it.
    void SchemaChanged();
    // The serial of the innermost open savepoint, 0 outside one.
    unsigned long long CurrentSavepoint() const { return savepoints.empty() ? 0 : savepoints.back().serial; }
    // A savepoint's rows taken out of the recordsets that added them (rolled back), or the
    // whole transaction ended (every savepoint gone).
    void SavepointRolledBack(unsigned long long serial);
    void TransactionEnded();
    // The text as the driver gets it (TranslateSql), remembered for the next run of the same.
    std::wstring Translate(const std::wstring& sql);

    // SqlCatalog
    bool HasCzechOrder() override { return czechOrder; }
    const std::vector<ColumnDecl>* ColumnsOf(const std::wstring& name) override;
};

// One diagnostic record of the driver, as it gave it.
struct DriverDiagnostic {
    std::wstring text;
    std::wstring state;
    long native = 0;
};
// The driver's diagnostics for the handle, without the truncation warnings of fetches.
std::vector<DriverDiagnostic> ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// Whether a statement a caller's call is about to send may go: not in a unit of work whose
// transaction was lost (outertxn.h), nor when the test seam (SetStatementHook) refuses it. A
// refusal becomes the connection's error and is returned; S_OK otherwise.
HRESULT AdmitStatement(ConnectionCore& core, const std::wstring& sql);

// Runs one of the layer's own statements (savepoints, transactions; few and fixed texts, kept
// prepared); the lock must be held. A refusal becomes the connection's error, failure its text
// when the driver gives none.
HRESULT RunOwnStatement(ConnectionCore& core, const std::wstring& sql, const wchar_t* failure);

// Runs a query with one text parameter (or none, given null) and hands each row's columns to
// take as texts (a value that is no text as empty); false when the query fails.
bool EachText(ConnectionCore& core, const wchar_t* sql, const std::wstring* parameter,
              const std::function<void(const std::vector<std::wstring>&)>& take);

// A statement handle freed on scope exit.
class Stmt {
public:
    Stmt() = default;
    ~Stmt() { Free(); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    bool Alloc(ConnectionCore& core);
    void Free();
    SQLHSTMT h = SQL_NULL_HSTMT;
};

// Binds the values (in order) to the statement's '?' markers. The values must outlive the
// execution; lengths receives one indicator per value.
SQLRETURN BindValues(SQLHSTMT stmt, std::vector<BindValue>& values, std::vector<SQLLEN>& lengths);

inline bool OdbcOk(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// False for the statements that only read or change rows (what the layer knows of the tables
// stays true after them).
bool MayChangeSchema(const std::wstring& sql);
// True for the statements that only read (a query, a pragma that sets nothing).
bool OnlyReads(const std::wstring& sql);

// Puts the count of rows the executed statement changed into Execute's result (VT_I4, 0
// beforehand); a count the driver does not know leaves the 0. recordsAffected may be null.
void StoreRowsAffected(SQLHSTMT stmt, VARIANT* recordsAffected);

// ---------------------------------------------------------------------------------------------
// Row storage: one contiguous buffer per row holding every cell typed (not a VARIANT per cell),
// converted to a VARIANT only when read.

enum CellKind : uint8_t {
    CellNull = 0, CellInt = 1, CellReal = 2, CellText = 3, CellBlob = 4,
    CellTextView = 5,    // a text kept by the row's holder (pointer and length)
    CellUnreadable = 6,  // a value the driver handed in a form that means none (reads as NULL)
};

class RowBuffer {
public:
    // cellBytes: room for the cells, when the caller knows about how much they take (a row is
    // then built without growing its buffer cell by cell).
    explicit RowBuffer(size_t columns, size_t cellBytes = 0);
    // A sparse row of a table the layer holds in memory: room only for the valueCells cells
    // given (with their column, each through At first), all other columns read as NULL. Its
    // text views point into storage that holder keeps alive as long as the row lives.
    RowBuffer(size_t columns, size_t valueCells, std::shared_ptr<const void> holder);
    // Cells must be added in column order; in a sparse row each after At(column).
    void At(size_t column);
    void AddNull();
    void AddInt(long long v);
    void AddReal(double v);
    void AddText(const wchar_t* s, size_t n);
    void AddTextView(const wchar_t* s, size_t n);
    void AddBlob(const BYTE* p, size_t n);
    void AddUnreadable();
    void Add(const DriverValue& v);
    void Add(const BindValue& v);

    size_t Columns() const { return columns_; }
    DriverValue Get(size_t column) const;
    long long RowId() const;  // column 0 as an integer (the hidden rowid), 0 when NULL
    size_t Bytes() const { return data_.size(); }

private:
    void Begin(CellKind kind, size_t payload, size_t align);
    size_t columns_;
    size_t slots_;          // cells with room: every column, or a sparse row's valueCells
    size_t offsetsAt_ = 0;  // where the offsets start (after a sparse row's column numbers)
    size_t added_ = 0;
    bool sparse_ = false;
    std::shared_ptr<const void> holder_;
    // Layout: [uint32 column of each cell, sparse rows only] | uint32 offsets[slots + 1] | cells.
    // A cell is its kind byte, padding to the payload's alignment, then the payload.
    std::vector<uint8_t> data_;
};
using RowPtr = std::shared_ptr<const RowBuffer>;

struct ColumnMeta {
    std::wstring name;        // result column label
    std::wstring baseName;    // column of the base table (for writes); label when unknown
    ColumnType type;
    SQLSMALLINT sqlType = 0;
};

// Describes the result columns of an executed statement.
bool DescribeColumns(SQLHSTMT stmt, std::vector<ColumnMeta>* columns);
// Fetches the next row into a buffer; returns SQL_NO_DATA at the end.
SQLRETURN FetchRow(SQLHSTMT stmt, const std::vector<ColumnMeta>& columns, RowPtr* row,
                   std::vector<uint8_t>& scratch);

// Fetches every remaining row of an executed statement in blocks through bound arrays (one
// driver call per block instead of one per cell), each block as many rows as are expected
// (at most 256). A text or binary value longer than its bound buffer is not read whole: the
// rows holding one are listed in *cut (indexes into *rows), for the caller to read again one by
// one. Returns SQL_NO_DATA at the end.
SQLRETURN FetchRowBlocks(SQLHSTMT stmt, const std::vector<ColumnMeta>& columns, size_t expectedRows,
                         BlockBuffers* buffers, std::vector<RowPtr>* rows, std::vector<size_t>* cut);

}  // namespace zdata
