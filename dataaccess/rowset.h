// The rows behind a recordset: an in-memory snapshot, or for large read-only provider cursors
// a keyset (the first column's values) whose rows are fetched by page when they are read.
// Clones share one RowsetData; a recordset that changes rows copies it first, so what a clone
// sees never changes under it.
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>
#include "dataaccess/enclose.h"
#include "dataaccess/odbccore.h"

namespace zdata {

// How a SELECT statement is built, for the hidden rowid and for writes.
struct SelectShape {
    bool simple = false;      // SELECT <list> FROM <one table> [WHERE/ORDER BY/LIMIT ...]
    std::wstring selectList;  // text between SELECT and FROM
    std::wstring fromClause;  // "FROM <table> [AS alias]"
    std::wstring rest;        // everything after the FROM clause
    std::wstring table;       // the table's name, unquoted
};
SelectShape AnalyseSelect(const std::wstring& sql);

// True when no value repeats (the keys of a keyset must name one row each).
bool KeysAreUnique(const std::vector<long long>& keys);

// The statement without its closing ORDER BY, for reading rows whose order is already known;
// unchanged when LIMIT or OFFSET follows (the order then decides which rows come).
std::wstring WithoutOrderBy(const std::wstring& sql);

// The start of the statement's rows of some keys, to be followed by the keys and ")":
// "SELECT <list> FROM <source> WHERE (<condition>) AND <key> IN (" for a statement of one source
// with at most a condition and a sort, read as the driver reads the statement itself; empty for
// any other statement (its rows are then read through it as a subquery).
std::wstring KeyedRowsSql(const std::wstring& sql, const std::wstring& key);


class KeysetSource {
public:
    KeysetSource(std::shared_ptr<ConnectionCore> core, std::wstring pageSql,
                 std::vector<ColumnMeta> columns, std::vector<long long> keys);
    size_t Count() const { return keys_.size(); }
    long long Key(size_t i) const { return keys_[i]; }
    // The row at a position, fetched with its page when not cached; null when it is gone.
    RowPtr Get(size_t index, HRESULT* hr);
    // The rows at the positions, read in one query and not kept here (for a cursor that walks
    // forward in blocks of its own); a row that is gone is null.
    HRESULT Read(const std::vector<uint32_t>& indexes, std::vector<RowPtr>* rows);
    void Forget();  // drops the cached rows (Resync)
    void Seed(size_t index, RowPtr row);

private:
    // Reads the rows of the keys (the lock of the connection held) into byKey.
    HRESULT Fetch(const long long* keys, size_t count, std::unordered_map<long long, RowPtr>* byKey);

    std::shared_ptr<ConnectionCore> core_;
    std::wstring pageSql_;   // "... WHERE <key> IN (" without the keys
    std::wstring rangeSql_;  // "... WHERE <key>", for a range of keys
    std::vector<ColumnMeta> columns_;
    std::vector<long long> keys_;
    std::mutex lock_;
    std::unordered_map<size_t, RowPtr> cache_;
    static const size_t kJumpPageRows = 50;
    size_t pageSize_ = kJumpPageRows;
    size_t nextPage_ = SIZE_MAX;   // the row after the last page read
    size_t pageStart_ = SIZE_MAX;  // the first row of the last page read
};

struct RowsetData {
    std::vector<ColumnMeta> columns;  // the hidden rowid first when hidden == 1
    int hidden = 0;
    bool updatable = false;            // the rowid identifies rows of a table
    std::vector<RowPtr> rows;          // snapshot rows; null = deleted
    std::shared_ptr<KeysetSource> keyset;

    RowsetData() = default;
    RowsetData(const RowsetData& other);  // copy for writing (indexes are not copied)

    size_t Count() const { return keyset ? keyset->Count() : rows.size(); }
    RowPtr Row(size_t index, HRESULT* hr) const;

    // Base rows whose integer column equals the value, ascending (built on first use).
    const std::vector<uint32_t>* Equal(size_t column, long long value);
    // Base rows whose text column may equal the text ignoring case, ascending (built on first
    // use); the caller checks each against its criterion.
    const std::vector<uint32_t>* EqualText(size_t column, const wchar_t* text, size_t length);
    void DropIndexes();
    // The row at index was stored by the recordset's own Update (before: null for a new row):
    // the indexes built so far follow it instead of being dropped, so that an import that adds
    // names one by one between its lookups does not index the table again for each.
    void RowStored(size_t index, const RowPtr& before, const RowPtr& after);

private:
    std::mutex indexLock_;
    std::unordered_map<size_t, std::unordered_map<long long, std::vector<uint32_t>>> indexes_;
    std::unordered_map<size_t, std::unordered_map<std::wstring, std::vector<uint32_t>>> textIndexes_;
};

}  // namespace zdata
