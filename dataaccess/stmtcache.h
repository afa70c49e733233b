// Prepared statements kept by a connection for the texts it runs again and again (an import's
// INSERT of every row, the savepoint around it, the reading back of the new row): preparing a
// statement costs more than running it, so a handle is prepared once and re-used. Its parameters
// stay bound to buffers of its own between runs: a run copies its values into them and binds
// again only a parameter whose type changed or whose text outgrew its buffer (each call into the
// driver crosses from the program to the host).
#pragma once
#include <windows.h>
#include <sql.h>
#include <sqlext.h>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dataaccess/worktrace.h"

namespace zdata {

struct ConnectionCore;
struct BindValue;

// The parameter buffers bound to one prepared handle.
class BoundParameters {
public:
    // Copies the values into the buffers, binding what is not bound as needed.
    SQLRETURN Bind(SQLHSTMT h, const std::vector<BindValue>& values);

private:
    struct Slot {
        SQLSMALLINT cType = 0;  // 0: not bound
        SQLSMALLINT sqlType = 0;
        long long i = 0;
        double d = 0;
        std::vector<wchar_t> text;  // its size is the capacity bound
        std::vector<BYTE> bytes;
        SQLLEN indicator = 0;
    };
    std::vector<std::unique_ptr<Slot>> slots_;  // each at a fixed address while bound
};

// The idle prepared handles of one connection by their final SQL text, each with its bound
// parameters. Used under the connection's lock only.
class StatementCache {
public:
    StatementCache() = default;
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;
    ~StatementCache() { Clear(); }

    struct Entry {
        SQLHSTMT h = SQL_NULL_HSTMT;
        std::unique_ptr<BoundParameters> parameters;
        bool rows = true;  // the statement gives rows (a cursor to close after each run)
    };
    // An idle handle prepared for sql, taken out of the cache; a null handle when there is none.
    Entry Take(const std::wstring& sql);
    // Gives a handle back after its run (closed) unless the cache was cleared since it was
    // taken; otherwise frees it.
    void GiveBack(const std::wstring& sql, Entry entry, unsigned takenIn);
    // Frees every idle handle; handles out at the time are freed when given back. Must run
    // before the connection's handle is freed.
    void Clear();
    unsigned Generation() const { return generation_; }
    size_t IdleCount() const { return idle_; }

private:
    std::unordered_map<std::wstring, std::vector<Entry>> handles_;
    size_t idle_ = 0;
    unsigned generation_ = 0;
};

// One execution of a statement through the cache of its connection: on scope exit the handle
// goes back closed (or is freed when it could not be prepared or closed, so no broken handle
// stays). A connection
// whose driver takes no prepared statements (an Access file) runs the text directly instead.
// The connection's lock must be held for the object's whole life.
class CachedStmt {
public:
    CachedStmt() = default;
    ~CachedStmt() { Release(); }
    CachedStmt(const CachedStmt&) = delete;
    CachedStmt& operator=(const CachedStmt&) = delete;

    // A handle ready for sql (which must outlive this object: it is not copied); false when none
    // could be made or the text could not be prepared
    // (h then holds the driver's reasons, or is null when no handle was had at all). A text
    // that is not to be kept (one that changes the schema) is run directly and freed.
    bool Take(ConnectionCore& core, const std::wstring& sql, bool keep = true);
    // Binds the values to the text's markers, in order (they may go once bound).
    SQLRETURN Bind(const std::vector<BindValue>& values);
    // Runs it (parameters bound beforehand).
    SQLRETURN Execute();
    // The handle's error for the caller: the driver's reasons, or that no handle was had.
    HRESULT Fail(const std::wstring& fallback);
    // Gives the handle back now (also done on scope exit).
    void Release();

    SQLHSTMT h = SQL_NULL_HSTMT;

private:
    ConnectionCore* core_ = nullptr;
    const std::wstring* sql_ = nullptr;
    unsigned generation_ = 0;
    bool direct_ = false;  // not cached: run with SQLExecDirect and freed
    bool failed_ = false;  // not prepared: never kept
    std::unique_ptr<BoundParameters> parameters_;
    bool rows_ = true;
    WorkTimer timer_;
};

}  // namespace zdata
