#include <algorithm>
#include <cwctype>
#include <limits>
#include <new>
#include "dataaccess/ado.h"
#include "dataaccess/clienttables.h"
#include "dataaccess/comout.h"
#include "dataaccess/filterexpr.h"
#include "dataaccess/odbccore.h"
#include "dataaccess/refusals.h"
#include "dataaccess/rowset.h"
#include "dataaccess/rowwrite.h"
#include "dataaccess/sortorder.h"
#include "dataaccess/sqltranslate.h"
#include "dataaccess/textfetch.h"
#include "dataaccess/worktrace.h"

namespace zdata {

namespace {

// How a value its column refused misses it: a number beyond the range, above or below it, or a
// value of another type.
ValueMiss MissOf(HRESULT refusal, const VARIANT& value)
{
    if (refusal != DISP_E_OVERFLOW)
        return ValueMiss::Type;
    VARIANT number;
    VariantInit(&number);
    bool below = SUCCEEDED(CoerceVariant(adDouble, value, &number)) && number.vt == VT_R8 && number.dblVal < 0;
    VariantClear(&number);
    return below ? ValueMiss::BelowRange : ValueMiss::AboveRange;
}

// Label of the hidden rowid column; not a name any table of the program uses.
const wchar_t kRowidLabel[] = L"zor_rowid";
// A provider cursor keeps whole rows for this many rows; a longer read-only result keeps only
// the keys of the rest and reads those rows by page.
const size_t kSnapshotRows = 2000;

bool SameNameNoCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), (int)a.size(), b.c_str(), (int)b.size(), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

class Recordset::Impl : public SavepointRows {
public:
    explicit Impl(Recordset* self) : self(self) {}
    ~Impl()
    {
        ForgetSavepointRows();
        ClearPending();
        if (conn)
            conn->Release();
    }

    Recordset* self;
    Connection* conn = nullptr;
    std::shared_ptr<ConnectionCore> core;
    long location = adUseServer;
    long cursorType = adOpenForwardOnly;
    long lockType = adLockReadOnly;
    bool open = false;

    std::wstring sql;       // as the caller gave it
    std::wstring execSql;   // translated, with the hidden rowid when there is one
    SelectShape shape;
    SelectShape sourceShape;  // the statement's shape also when its source is a view
    std::vector<BindValue> params;  // of a command's recordset, bound again by Requery
    // What a write stores in the table, read again after the schema changed; the last write's
    // columns and statement text (an import writes the same columns row after row).
    TableWrites writes;
    unsigned long long writesRead = ~0ull;  // the schema's count of changes when read
    std::vector<bool> lastChanged;
    long lastEditMode = adEditNone;
    std::wstring lastWrite;
    // Rows this recordset added inside a savepoint: (base row, the savepoint's serial).
    std::vector<std::pair<uint32_t, unsigned long long>> savepointAdded;

    std::shared_ptr<RowsetData> data;
    std::vector<uint32_t> view;  // base row indexes of the (filtered) view, ascending
    long pos = -1;

    // A cursor with a cache size above 1 over a keyset keeps the rows of its last block: the
    // rows blockRows of the base rows blockBase of the rowset blockData.
    long cacheSize = 1;
    const RowsetData* blockData = nullptr;
    long blockPos = 0;
    std::vector<uint32_t> blockBase;
    std::vector<RowPtr> blockRows;
    bool onDeleted = false;  // the current row was deleted; the next move leaves it

    bool hasFilter = false;
    std::wstring filterText;
    std::vector<SortKey> sortKeys;  // the view's order; none: the rowset's own
    std::wstring sortText;

    long editMode = adEditNone;
    std::vector<VARIANT> pending;
    std::vector<bool> changed;
    long savedPos = -1;

    // ---- helpers -----------------------------------------------------------------------------

    HRESULT Fail(HRESULT hr, const std::wstring& text)
    {
        if (core)
            return core->Fail(hr, text);
        return hr;
    }
    HRESULT Closed() { return Fail(AdoError(adErrObjectClosed), L"Sada záznamů je zavřená."); }
    HRESULT AlreadyOpen() { return Fail(AdoError(adErrObjectOpen), L"Sada záznamů je otevřená."); }
    // A property that can change only while the recordset is closed.
    HRESULT SetWhileClosed(long* property, long value)
    {
        if (open)
            return AlreadyOpen();
        *property = value;
        return S_OK;
    }
    HRESULT NoCurrent()
    {
        return Fail(AdoError(adErrNoCurrentRecord),
                    L"Není vybrán žádný záznam: ukazatel stojí před prvním nebo za posledním záznamem, nebo byl aktuální záznam odstraněn.");
    }
    HRESULT EditPending()
    {
        return Fail(AdoError(adErrIllegalOperation),
                    L"Aktuální záznam má změny, které nebyly uloženy ani zrušeny.");
    }

    long Columns() const { return data ? (long)data->columns.size() - data->hidden : 0; }
    long Size() const { return (long)view.size(); }
    bool IsEOF() const
    {
        if (!open || view.empty())
            return true;
        return !onDeleted && pos >= Size();
    }
    bool IsBOF() const
    {
        if (!open || view.empty())
            return true;
        return !onDeleted && pos < 0;
    }
    bool HasCurrent() const { return open && !onDeleted && pos >= 0 && pos < Size(); }

    // The view puts its rows in Sort order when one is set, else in the rowset's order.
    void ApplySort(std::vector<uint32_t>* v) const
    {
        if (!sortKeys.empty())
            SortView(*data, sortKeys, v);
    }
    // Where a base row stands in the view: lower_bound semantics in the rowset's order (the
    // first entry not before it), an exact search in a sorted view (Size() when absent).
    long ViewIndexOf(uint32_t base, bool upper = false) const
    {
        if (sortKeys.empty()) {
            auto it = upper ? std::upper_bound(view.begin(), view.end(), base)
                            : std::lower_bound(view.begin(), view.end(), base);
            return (long)(it - view.begin());
        }
        auto it = std::find(view.begin(), view.end(), base);
        if (it == view.end())
            return Size();
        return (long)(it - view.begin()) + (upper ? 1 : 0);
    }

    void ClearPending()
    {
        for (VARIANT& v : pending)
            VariantClear(&v);
        pending.clear();
        changed.clear();
        editMode = adEditNone;
    }
    void StartPending(long mode)
    {
        ClearPending();
        pending.resize(Columns());
        for (VARIANT& v : pending)
            VariantInit(&v);
        changed.assign(Columns(), false);
        editMode = mode;
    }

    // Makes the rowset this recordset's own before it changes rows (clones keep theirs). The
    // indexes are dropped unless the caller tells them of its change (RowsetData::RowStored).
    void OwnData(bool keepIndexes = false)
    {
        if (data.use_count() > 1)
            data = std::make_shared<RowsetData>(*data);
        if (!keepIndexes)
            data->DropIndexes();
    }

    // ---- rows of savepoints -------------------------------------------------------------------

    void NoteSavepointRow(uint32_t base)
    {
        unsigned long long serial = core->CurrentSavepoint();
        if (!serial)
            return;
        if (savepointAdded.empty())
            core->savepointRows.push_back(this);
        savepointAdded.emplace_back(base, serial);
    }

    // The rows are no longer noted (the rowset is replaced, or the recordset goes).
    void ForgetSavepointRows()
    {
        if (savepointAdded.empty() || !core)
            return;
        std::lock_guard<std::recursive_mutex> hold(core->lock);
        auto& rows = core->savepointRows;
        rows.erase(std::remove(rows.begin(), rows.end(), static_cast<SavepointRows*>(this)), rows.end());
        savepointAdded.clear();
    }

    void RolledBackTo(unsigned long long serial) override
    {
        bool gone = false;
        auto kept = savepointAdded.begin();
        for (auto& added : savepointAdded) {
            if (added.second < serial) {
                *kept++ = added;
                continue;
            }
            if (!data || added.first >= data->rows.size() || !data->rows[added.first])
                continue;
            OwnData(true);
            RowPtr before = data->rows[added.first];
            data->rows[added.first] = nullptr;
            data->RowStored(added.first, before, nullptr);
            gone = true;
        }
        savepointAdded.erase(kept, savepointAdded.end());
        if (savepointAdded.empty()) {
            auto& rows = core->savepointRows;
            rows.erase(std::remove(rows.begin(), rows.end(), static_cast<SavepointRows*>(this)), rows.end());
        }
        if (gone) {
            DropBlock();
            CompactView();
        }
    }

    void TransactionEnded() override { savepointAdded.clear(); }

    // ---- loading -----------------------------------------------------------------------------

    // Runs execSql and reads its rows; a large read-only provider cursor keeps only keys.
    HRESULT Load(bool allowKeyset, std::shared_ptr<RowsetData>* out)
    {
        std::lock_guard<std::recursive_mutex> hold(core->lock);
        if (!core->IsOpen())
            return Fail(AdoError(adErrObjectClosed), L"Připojení k databázi není otevřené.");
        if (core->clientTables)
            return LoadClientTable(out);
        WorkTimer timer(L"open: ", execSql);
        HRESULT keyset = allowKeyset ? LoadKeyset(out) : S_FALSE;
        if (keyset != S_FALSE)
            return keyset;
        Stmt st;
        if (!st.Alloc(*core))
            return core->NoStatement();
        const bool reads = OnlyReads(execSql);
        std::vector<SQLLEN> lengths;
        if (!params.empty() && !OdbcOk(BindValues(st.h, params, lengths)))
            return core->FailOdbc(SQL_HANDLE_STMT, st.h, L"Parametry příkazu nelze předat databázi.", reads);
        SQLRETURN rc = SQLExecDirectW(st.h, (SQLWCHAR*)execSql.c_str(), SQL_NTS);
        if (!OdbcOk(rc) && rc != SQL_NO_DATA)
            return core->FailOdbc(SQL_HANDLE_STMT, st.h, L"Dotaz se nepodařilo provést.", reads);
        auto rs = std::make_shared<RowsetData>();
        if (!(core->passThrough ? DescribeColumnsThroughText(st.h, &rs->columns) : DescribeColumns(st.h, &rs->columns)))
            return core->FailOdbc(SQL_HANDLE_STMT, st.h, L"Sloupce výsledku dotazu nelze zjistit.", reads);
        bool withRowid = shape.simple && !rs->columns.empty() &&
                         rs->columns[0].name == kRowidLabel;
        rs->hidden = withRowid ? 1 : 0;
        rs->updatable = withRowid;
        if (withRowid)
            rs->columns[0].type.fetch = FetchKind::Integer;
        std::vector<uint8_t> scratch;
        RowPtr row;
        for (;;) {
            rc = core->passThrough ? FetchRowThroughText(st.h, rs->columns, &row, scratch)
                                   : FetchRow(st.h, rs->columns, &row, scratch);
            if (rc == SQL_NO_DATA)
                break;
            if (!OdbcOk(rc))
                return core->FailOdbc(SQL_HANDLE_STMT, st.h, L"Záznamy nelze přečíst.", reads);
            rs->rows.push_back(std::move(row));
        }
        if (withRowid && !rs->rows.empty() && rs->rows[0]->Get(0).isNull)
            rs->updatable = false;  // not a table after all: its "rowid" is NULL
        *out = rs;
        return S_OK;
    }

    // A long read-only result: only the keys (the first column, the hidden rowid of a table) are
    // read, through a query that carries no other column, and rows come by page when read.
    // S_FALSE when the result is short or has no usable key: the caller reads it whole.
    // The rows of a table held in memory (a workbook's sheet), shared, never written.
    HRESULT LoadClientTable(std::shared_ptr<RowsetData>* out)
    {
        const ClientTable* table = core->clientTables->Find(sql);
        if (!table)
            return Fail(AdoError(adErrItemNotFound), L"Sešit nemá list „" + sql + L"“.");
        try {
            auto rs = std::make_shared<RowsetData>();
            rs->columns = table->columns;
            rs->rows = table->Rows();
            *out = rs;
        } catch (const std::bad_alloc&) {
            return Fail(E_OUTOFMEMORY, kNoMemoryForBook);
        }
        return S_OK;
    }

    // A statement of the keyset that the driver refused: the file's lock (another program
    // holds it) refuses the whole statement as well, after the busy timeout once more, so the
    // open fails with that refusal; anything else leaves the statement to be read whole (S_FALSE).
    HRESULT RefusedByLock(SQLHSTMT h)
    {
        for (const DriverDiagnostic& d : ReadDiagnostics(SQL_HANDLE_STMT, h))
            if (ReadEngineRefusal(d.text, d.native).kind == RefusalKind::Locked)
                return core->FailOdbc(SQL_HANDLE_STMT, h, L"Dotaz se nepodařilo provést.", true);
        return S_FALSE;
    }

    HRESULT LoadKeyset(std::shared_ptr<RowsetData>* out)
    {
        std::vector<ColumnMeta> columns;
        {
            Stmt prepared;
            if (!prepared.Alloc(*core))
                return S_FALSE;
            if (!OdbcOk(SQLPrepareW(prepared.h, (SQLWCHAR*)execSql.c_str(), SQL_NTS)))
                return RefusedByLock(prepared.h);
            if (!DescribeColumns(prepared.h, &columns) || columns.empty())
                return S_FALSE;
        }
        bool withRowid = shape.simple && columns[0].name == kRowidLabel;
        if (withRowid)
            columns[0].type.fetch = FetchKind::Integer;
        if (columns[0].type.fetch != FetchKind::Integer)
            return S_FALSE;
        std::wstring keyColumn = QuoteIdentifier(columns[0].name);
        // The key query keeps the statement's own FROM, WHERE and ORDER BY where it can, so
        // the keys come in the statement's order without relying on a subquery's ORDER BY.
        std::wstring keySql;
        if (withRowid)
            keySql = L"SELECT _ROWID_ " + shape.fromClause + L" " + shape.rest;
        else if (SelectsAllOfOneSource())
            keySql = L"SELECT " + keyColumn + L" " + sourceShape.fromClause + L" " + sourceShape.rest;
        else
            keySql = L"SELECT " + keyColumn + L" FROM (" + execSql + L")";
        Stmt st;
        if (!st.Alloc(*core))
            return S_FALSE;
        if (!OdbcOk(SQLExecDirectW(st.h, (SQLWCHAR*)keySql.c_str(), SQL_NTS)))
            return RefusedByLock(st.h);
        std::vector<long long> keys;
        if (!ReadKeys(st.h, &keys))
            return S_FALSE;
        st.Free();
        if (!KeysAreUnique(keys))
            return S_FALSE;
        auto rs = std::make_shared<RowsetData>();
        rs->columns = columns;
        rs->hidden = withRowid ? 1 : 0;
        rs->updatable = withRowid;
        // Pages are put in key order by the layer: the statement's own sort would only cost. A
        // statement of one table or view reads them with its own condition; the driver then
        // parses no subquery for every page.
        std::wstring page = withRowid ? KeyedRowsSql(execSql, L"_ROWID_")
                            : SelectsAllOfOneSource() ? KeyedRowsSql(execSql, keyColumn) : std::wstring();
        if (page.empty())
            page = L"SELECT * FROM (" + WithoutOrderBy(execSql) + L") WHERE " + keyColumn + L" IN (";
        auto keyset = std::make_shared<KeysetSource>(core, page, columns, std::move(keys));
        if (keyset->Count() <= kSnapshotRows) {
            // A short result is kept whole. Its rows are read by their keys: running the
            // statement again would scan a large table a second time for a selective condition.
            // All of them come in one query (as one range where the keys lie close in order).
            std::vector<uint32_t> all(keyset->Count());
            for (size_t i = 0; i < all.size(); ++i)
                all[i] = (uint32_t)i;
            std::vector<RowPtr> rows;
            if (FAILED(keyset->Read(all, &rows)))
                return S_FALSE;
            for (RowPtr& row : rows)
                if (row)  // a row deleted since its key was read is left out
                    rs->rows.push_back(std::move(row));
            *out = rs;
            return S_OK;
        }
        rs->keyset = keyset;
        *out = rs;
        return S_OK;
    }

    // Fetches a statement's rows a block at a time where the driver takes row arrays (each
    // fetch crosses from the program to the host driver), one at a time where it does not;
    // the statement is left fetching single rows again.
    class RowBlocks {
    public:
        static const SQLULEN kBlock = 1024;
        explicit RowBlocks(SQLHSTMT h) : h_(h)
        {
            blocks_ = OdbcOk(SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)kBlock, 0)) &&
                      OdbcOk(SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0));
            if (!blocks_)
                Reset();
        }
        ~RowBlocks()
        {
            SQLFreeStmt(h_, SQL_UNBIND);
            Reset();
        }
        // Binds a column to an array of kBlock cells (one cell is used without row arrays).
        bool Bind(SQLUSMALLINT column, SQLSMALLINT type, void* cells, SQLLEN cellSize, SQLLEN* indicators)
        {
            return OdbcOk(SQLBindCol(h_, column, type, cells, cellSize, indicators));
        }
        // The next block's row count: 0 at the end, -1 for a failed fetch.
        long Next()
        {
            fetched_ = 0;
            SQLRETURN rc = SQLFetch(h_);
            if (rc == SQL_NO_DATA)
                return 0;
            if (!OdbcOk(rc))
                return -1;
            return blocks_ ? (long)fetched_ : 1;
        }

    private:
        void Reset()
        {
            SQLSetStmtAttr(h_, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)1, 0);
            SQLSetStmtAttr(h_, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
        }
        SQLHSTMT h_;
        SQLULEN fetched_ = 0;
        bool blocks_ = false;
    };

    // Reads the first column of every row as a 64-bit key; false for a NULL key or a failed
    // fetch.
    static bool ReadKeys(SQLHSTMT h, std::vector<long long>* keys)
    {
        RowBlocks block(h);
        std::vector<long long> values(RowBlocks::kBlock);
        std::vector<SQLLEN> indicators(RowBlocks::kBlock);
        if (!block.Bind(1, SQL_C_SBIGINT, values.data(), sizeof(long long), indicators.data()))
            return false;
        for (long n; (n = block.Next()) != 0;) {
            if (n < 0)
                return false;
            for (long i = 0; i < n; ++i) {
                if (indicators[i] == SQL_NULL_DATA)
                    return false;
                keys->push_back(values[i]);
            }
        }
        return true;
    }

    // Whether the statement is "SELECT * FROM <one table or view> ...".
    bool SelectsAllOfOneSource() const
    {
        std::wstring list = sourceShape.selectList;
        list.erase(0, list.find_first_not_of(L" \t\r\n"));
        list.erase(list.find_last_not_of(L" \t\r\n") + 1);
        return sourceShape.simple && list == L"*";
    }

    // Sets execSql from sql: translated, with the hidden rowid for a single-table query.
    void Prepare()
    {
        std::wstring text = core->passThrough ? sql : TranslateSql(sql, core.get());
        // A trailing semicolon would end the statement inside the layer's own wrappers.
        while (!text.empty() && (iswspace(text.back()) || text.back() == L';'))
            text.pop_back();
        shape = AnalyseSelect(text);
        if (core->passThrough)
            shape = SelectShape();
        sourceShape = shape;
        // Only a table has rows to write back; a view's rows are identified by their first column.
        if (shape.simple) {
            std::lock_guard<std::recursive_mutex> hold(core->lock);
            if (!core->IsOpen() || !core->IsTable(shape.table))
                shape = SelectShape();
        }
        if (shape.simple)
            execSql = L"SELECT _ROWID_ AS " + QuoteIdentifier(kRowidLabel) + L"," +
                      shape.selectList + L" " + shape.fromClause + L" " + shape.rest;
        else
            execSql = text;
    }

    bool KeysetAllowed() const
    {
        return location != adUseClient && lockType == adLockReadOnly && params.empty() && !core->passThrough;
    }

    // Builds the view from the rowset and the filter (no filter: every row).
    // The indexed rows of the first equality term of the filter that an index answers (integer
    // terms first, exactly; then text terms, as candidates); null when none does.
    const std::vector<uint32_t>* EqualityCandidates(const FilterExpr& expr, bool* exact)
    {
        std::vector<int> indexes;
        std::vector<VARIANT> literals;
        expr.GetEqualityTerms(&indexes, &literals);
        const std::vector<uint32_t>* hits = nullptr;
        for (int pass = 0; pass < 2 && !hits; ++pass) {
            for (size_t t = 0; t < indexes.size() && !hits; ++t) {
                const ColumnMeta& col = data->columns[indexes[t] + data->hidden];
                VARIANT& literal = literals[t];
                if (pass == 0) {
                    VARIANT asInt;
                    VariantInit(&asInt);
                    if (col.type.fetch == FetchKind::Integer && col.type.adoType != adBoolean &&
                        (literal.vt == VT_I4 || literal.vt == VT_I2 || literal.vt == VT_UI1 || literal.vt == VT_I8) &&
                        SUCCEEDED(VariantChangeType(&asInt, &literal, 0, VT_I8)))
                        hits = data->Equal(indexes[t] + data->hidden, asInt.llVal);
                } else if (col.type.fetch == FetchKind::Text && literal.vt == VT_BSTR) {
                    hits = data->EqualText(indexes[t] + data->hidden, literal.bstrVal ? literal.bstrVal : L"",
                                           literal.bstrVal ? SysStringLen(literal.bstrVal) : 0);
                }
                *exact = pass == 0;
            }
        }
        for (VARIANT& v : literals)
            VariantClear(&v);
        return hits;
    }

    HRESULT BuildView(std::vector<uint32_t>* out, const std::wstring& criteria, bool useFilter)
    {
        out->clear();
        size_t count = data->Count();
        if (!useFilter) {
            out->reserve(count);
            for (size_t i = 0; i < count; ++i)
                if (data->keyset || data->rows[i])
                    out->push_back((uint32_t)i);
            return S_OK;
        }
        WorkTimer timer(L"filter: ", criteria);
        std::wstring error;
        auto resolve = [this](const std::wstring& name, int* index, DataTypeEnum* type) {
            for (long c = 0; c < Columns(); ++c) {
                if (SameNameNoCase(data->columns[c + data->hidden].name, name)) {
                    *index = (int)c;
                    *type = data->columns[c + data->hidden].type.adoType;
                    return true;
                }
            }
            return false;
        };
        std::unique_ptr<FilterExpr> expr = ParseFilter(criteria.c_str(), resolve, &error);
        if (!expr)
            return Fail(AdoError(adErrInvalidArgument),
                        L"Filtr „" + criteria + L"“ je neplatný: " + error);
        RowPtr row;
        auto getter = [&](int idx, const std::wstring&, VARIANT* v) -> HRESULT {
            const ColumnMeta& col = data->columns[idx + data->hidden];
            return DriverValueToVariant(col.type.adoType, row->Get(idx + data->hidden), v);
        };
        if (data->keyset)
            return FilterKeyset(*expr, out);
        // "column = value" (alone or joined by AND) is answered from an index of the column: an
        // integer exactly, a text by the rows of its ignore-case key, each checked against the
        // whole filter.
        bool exact = false;
        const std::vector<uint32_t>* hits = EqualityCandidates(*expr, &exact);
        if (hits) {
            if (exact && expr->IsSingleComparison()) {
                *out = *hits;
                return S_OK;
            }
            for (uint32_t i : *hits) {
                row = data->rows[i];
                if (row && expr->Matches(getter))
                    out->push_back(i);
            }
            return S_OK;
        }
        for (size_t i = 0; i < count; ++i) {
            row = data->rows[i];
            if (row && expr->Matches(getter))
                out->push_back((uint32_t)i);
        }
        return S_OK;
    }

    // Runs a query of the recordset's own on a new statement.
    HRESULT RunQuery(Stmt& st, const std::wstring& q)
    {
        if (!st.Alloc(*core))
            return core->NoStatement();
        SQLRETURN rc = SQLExecDirectW(st.h, (SQLWCHAR*)q.c_str(), SQL_NTS);
        if (!OdbcOk(rc) && rc != SQL_NO_DATA)
            return core->FailOdbc(SQL_HANDLE_STMT, st.h, L"Dotaz se nepodařilo provést.", true);
        return S_OK;
    }

    // Filters a keyset by reading, once and in the keys' order, only the key and the columns
    // the criterion names.
    HRESULT FilterKeyset(const FilterExpr& expr, std::vector<uint32_t>* out)
    {
        std::lock_guard<std::recursive_mutex> hold(core->lock);
        if (!core->IsOpen())
            return Fail(AdoError(adErrObjectClosed), L"Připojení k databázi není otevřené.");
        std::vector<ColumnMeta> reduced;
        reduced.push_back(data->columns[0]);
        std::vector<int> at(Columns(), -1);
        std::wstring q = L"SELECT " + QuoteIdentifier(data->columns[0].name);
        for (const std::wstring& name : expr.ColumnNames()) {
            for (long c = 0; c < Columns(); ++c) {
                const ColumnMeta& col = data->columns[c + data->hidden];
                if (at[c] < 0 && SameNameNoCase(col.name, name)) {
                    at[c] = (int)reduced.size();
                    reduced.push_back(col);
                    q += L", " + QuoteIdentifier(col.name);
                }
            }
        }
        q += L" FROM (" + execSql + L")";
        Stmt st;
        HRESULT hr = RunQuery(st, q);
        if (FAILED(hr))
            return hr;
        std::vector<uint8_t> scratch;
        RowPtr row;
        auto getter = [&](int idx, const std::wstring&, VARIANT* v) -> HRESULT {
            if (idx < 0 || idx >= (int)at.size() || at[idx] < 0)
                return E_FAIL;
            const ColumnMeta& col = data->columns[idx + data->hidden];
            return DriverValueToVariant(col.type.adoType, row->Get(at[idx]), v);
        };
        size_t i = 0;
        bool inOrder = true;
        std::vector<uint32_t> found;
        while (FetchRow(st.h, reduced, &row, scratch) == SQL_SUCCESS) {
            DriverValue k = row->Get(0);
            if (i >= data->keyset->Count() || k.isNull || k.i != data->keyset->Key(i)) {
                inOrder = false;
                break;
            }
            if (expr.Matches(getter))
                found.push_back((uint32_t)i);
            ++i;
        }
        if (inOrder && i == data->keyset->Count()) {
            *out = std::move(found);
            return S_OK;
        }
        // The rows came back otherwise (changed meanwhile): match them to the keys.
        st.Free();
        std::unordered_map<long long, uint32_t> position;
        for (size_t k = 0; k < data->keyset->Count(); ++k)
            position.emplace(data->keyset->Key(k), (uint32_t)k);
        Stmt again;
        if (!again.Alloc(*core) || !OdbcOk(SQLExecDirectW(again.h, (SQLWCHAR*)q.c_str(), SQL_NTS)))
            return core->FailOdbc(SQL_HANDLE_STMT, again.h, L"Dotaz se nepodařilo provést.", true);
        found.clear();
        while (FetchRow(again.h, reduced, &row, scratch) == SQL_SUCCESS) {
            DriverValue k = row->Get(0);
            auto it = k.isNull ? position.end() : position.find(k.i);
            if (it != position.end() && expr.Matches(getter))
                found.push_back(it->second);
        }
        std::sort(found.begin(), found.end());
        *out = std::move(found);
        return S_OK;
    }

    static double RealOf(const DriverValue& v)
    {
        if (v.isNull)
            return std::numeric_limits<double>::quiet_NaN();
        if (v.kind == FetchKind::Integer)
            return (double)v.i;
        if (v.kind == FetchKind::Double)
            return v.d;
        return std::numeric_limits<double>::quiet_NaN();
    }

    HRESULT ReadIds(const std::vector<long>& positions, std::vector<long long>* out)
    {
        out->clear();
        if (!open)
            return Closed();
        if (Columns() < 1)
            return Fail(AdoError(adErrItemNotFound), L"Sloupec s tímto číslem neexistuje.");
        out->reserve(positions.size());
        const bool keyed = data->keyset && data->hidden == 0;
        for (long p : positions) {
            long long id = -1;
            if (p >= 1 && p <= Size()) {
                const uint32_t base = view[(size_t)p - 1];
                if (keyed) {
                    id = data->keyset->Key(base);
                } else {
                    HRESULT hr;
                    RowPtr row = data->Row(base, &hr);
                    DriverValue v = row ? row->Get(data->hidden) : DriverValue::Null();
                    if (!v.isNull && v.kind == FetchKind::Integer)
                        id = v.i;
                }
            }
            out->push_back(id);
        }
        return S_OK;
    }

    HRESULT ReadReals(const std::vector<long>& ordinals, std::vector<double>* out, const std::wstring& narrowing)
    {
        out->clear();
        if (!open)
            return Closed();
        for (long o : ordinals)
            if (o < 0 || o >= Columns())
                return Fail(AdoError(adErrItemNotFound), L"Sloupec s tímto číslem neexistuje.");
        const size_t n = ordinals.size();
        out->reserve(view.size() * n);
        if (!data->keyset) {
            for (uint32_t index : view)
                for (long o : ordinals)
                    out->push_back(data->rows[index] ? RealOf(data->rows[index]->Get(o + data->hidden))
                                                     : std::numeric_limits<double>::quiet_NaN());
            return S_OK;
        }
        // One query of the key and the columns over the statement's rows, unsorted (the keys say
        // where each row goes), read into bound columns: no row is kept or paged.
        std::lock_guard<std::recursive_mutex> hold(core->lock);
        if (!core->IsOpen())
            return Fail(AdoError(adErrObjectClosed), L"Připojení k databázi není otevřené.");
        std::wstring columns = QuoteIdentifier(data->columns[0].name);
        for (long o : ordinals)
            columns += L", " + QuoteIdentifier(data->columns[o + data->hidden].name);
        // "SELECT * FROM <source> ..." is asked for the columns alone: the driver reads a
        // subquery's rows whole, every column of them.
        std::wstring q = SelectsAllOfOneSource()
                             ? WithoutOrderBy(L"SELECT " + columns + L" " + sourceShape.fromClause + L" " +
                                              sourceShape.rest)
                             : L"SELECT " + columns + L" FROM (" + WithoutOrderBy(execSql) + L")";
        if (!narrowing.empty())
            q = L"SELECT * FROM (" + q + L") WHERE " + narrowing;
        const size_t count = data->keyset->Count();
        // Where each key's row lies: an array over the keys' range when it is dense enough.
        long long lo = 0, hi = -1;
        for (size_t k = 0; k < count; ++k) {
            const long long key = data->keyset->Key(k);
            if (k == 0 || key < lo) lo = key;
            if (k == 0 || key > hi) hi = key;
        }
        const bool dense = hi >= lo && (unsigned long long)(hi - lo) < 4ull * count + 1024;
        std::vector<uint32_t> byKey;
        std::unordered_map<long long, uint32_t> position;
        if (dense) {
            byKey.assign((size_t)(hi - lo + 1), UINT32_MAX);
            for (size_t k = 0; k < count; ++k)
                byKey[(size_t)(data->keyset->Key(k) - lo)] = (uint32_t)k;
        } else {
            for (size_t k = 0; k < count; ++k)
                position.emplace(data->keyset->Key(k), (uint32_t)k);
        }
        Stmt st;
        HRESULT hr = RunQuery(st, q);
        if (FAILED(hr))
            return hr;
        // Column-wise arrays of a block of rows: the key's, then each asked column's.
        RowBlocks block(st.h);
        const size_t B = RowBlocks::kBlock;
        std::vector<long long> keys(B);
        std::vector<SQLLEN> keyInd(B);
        std::vector<double> cells(n * B);
        std::vector<SQLLEN> ind(n * B);
        block.Bind(1, SQL_C_SBIGINT, keys.data(), sizeof(long long), keyInd.data());
        for (size_t c = 0; c < n; ++c)
            block.Bind((SQLUSMALLINT)(c + 2), SQL_C_DOUBLE, &cells[c * B], sizeof(double), &ind[c * B]);
        const double nan = std::numeric_limits<double>::quiet_NaN();
        std::vector<double> byRow(count * n, nan);
        // Without a narrowing every row of the view comes, a row gone since its key was read
        // as NaN; with one only the rows the query gave.
        std::vector<bool> given(narrowing.empty() ? 0 : count);
        for (long got; (got = block.Next()) > 0;) {
            for (long i = 0; i < got; ++i) {
                if (keyInd[i] == SQL_NULL_DATA)
                    continue;
                const long long key = keys[i];
                uint32_t at = UINT32_MAX;
                if (dense) {
                    if (key >= lo && key <= hi)
                        at = byKey[(size_t)(key - lo)];
                } else {
                    auto it = position.find(key);
                    if (it != position.end())
                        at = it->second;
                }
                if (at == UINT32_MAX)
                    continue;  // a row that came since the keys were read
                for (size_t c = 0; c < n; ++c)
                    byRow[(size_t)at * n + c] = ind[c * B + i] == SQL_NULL_DATA ? nan : cells[c * B + i];
                if (!given.empty())
                    given[at] = true;
            }
        }
        for (uint32_t index : view)
            if (given.empty() || given[index])
                out->insert(out->end(), byRow.begin() + (size_t)index * n, byRow.begin() + (size_t)(index + 1) * n);
        return S_OK;
    }

    HRESULT OpenWith(const std::wstring& text, Connection* connection, long type, long lock)
    {
        if (open)
            return Fail(AdoError(adErrObjectOpen), L"Sada záznamů je již otevřená.");
        if (!connection)
            return AdoError(adErrInvalidConnection);
        connection->AddRef();
        if (conn)
            conn->Release();
        conn = connection;
        core = connection->Core();
        if (type != adOpenUnspecified)
            cursorType = type;
        if (lock != adLockUnspecified)
            lockType = lock;
        if (location == adUseClient)
            cursorType = adOpenStatic;
        sql = text;
        HRESULT refused = AdmitStatement(*core, sql);
        if (FAILED(refused))
            return refused;
        writesRead = ~0ull;
        lastWrite.clear();
        Prepare();
        std::vector<Error*> previousErrors = core->errors->Items();
        std::shared_ptr<RowsetData> rs;
        HRESULT hr = Load(KeysetAllowed(), &rs);
        // A file another program holds refuses the statement as written as well, after the
        // whole busy timeout once more.
        if (FAILED(hr) && shape.simple && conn->LastRefusalKind() == RefusalKind::Locked) {
            for (Error* e : previousErrors)
                e->Release();
        } else if (FAILED(hr) && shape.simple) {
            // The rowid may be what the statement cannot take: run it as it was written. When
            // that works the open succeeded, and a success leaves the errors as they were.
            std::vector<Error*> before = previousErrors;
            previousErrors.clear();
            shape = SelectShape();
            execSql = TranslateSql(sql, core.get());
            while (!execSql.empty() && (iswspace(execSql.back()) || execSql.back() == L';'))
                execSql.pop_back();
            hr = Load(KeysetAllowed(), &rs);
            if (SUCCEEDED(hr)) {
                core->errors->Replace(std::move(before));
                before.clear();
            }
            for (Error* e : before)
                e->Release();
        } else {
            for (Error* e : previousErrors)
                e->Release();
        }
        if (FAILED(hr))
            return hr;
        data = rs;
        open = true;
        hasFilter = false;
        filterText.clear();
        BuildView(&view, L"", false);
        pos = view.empty() ? -1 : 0;
        onDeleted = false;
        if (data->keyset && cursorType == adOpenForwardOnly)
            cursorType = adOpenKeyset;
        return S_OK;
    }

    HRESULT CurrentRow(RowPtr* row)
    {
        if (!HasCurrent())
            return NoCurrent();
        if (cacheSize > 1 && data->keyset)
            return BlockRow(row);
        HRESULT hr;
        *row = data->Row(view[pos], &hr);
        if (!*row)
            return FAILED(hr) ? hr : NoCurrent();
        return S_OK;
    }

    // The current row from the cursor's own block, reading the view's next rows when the row
    // is not in it. The block is the base rows of the view positions from blockPos on; a view
    // that changed since (a filter, a sort) reads again where its rows differ.
    HRESULT BlockRow(RowPtr* row)
    {
        uint32_t base = view[pos];
        long at = pos - blockPos;
        if (blockData != data.get() || at < 0 || at >= (long)blockBase.size() || blockBase[at] != base) {
            long end = std::min(Size(), pos + cacheSize);
            blockBase.assign(view.begin() + pos, view.begin() + end);
            blockRows.clear();
            blockData = nullptr;
            HRESULT hr = data->keyset->Read(blockBase, &blockRows);
            if (FAILED(hr)) {
                blockBase.clear();
                return hr;
            }
            blockData = data.get();
            blockPos = pos;
            at = 0;
        }
        *row = blockRows[at];
        return *row ? S_OK : NoCurrent();
    }
    void DropBlock()
    {
        blockData = nullptr;
        blockBase.clear();
        blockRows.clear();
    }

    HRESULT GetValue(long ordinal, VARIANT* out)
    {
        if (!out)
            return E_POINTER;
        VariantInit(out);
        if (!open)
            return Closed();
        if (ordinal < 0 || ordinal >= Columns())
            return Fail(AdoError(adErrItemNotFound), L"Sloupec neexistuje.");
        const ColumnMeta& col = data->columns[ordinal + data->hidden];
        if (editMode != adEditNone && changed[ordinal]) {
            if (FAILED(CoerceVariant(col.type.adoType, pending[ordinal], out)))
                return VariantCopy(out, &pending[ordinal]);
            return S_OK;
        }
        if (editMode == adEditAdd) {
            out->vt = VT_NULL;
            return S_OK;
        }
        RowPtr row;
        HRESULT hr = CurrentRow(&row);
        if (FAILED(hr))
            return hr;
        DriverValue value = row->Get(ordinal + data->hidden);
        if (value.unreadable) {
            VariantClear(out);
            out->vt = VT_NULL;
            return Fail(AdoError(adErrDataConversion),
                        L"Hodnotu sloupce \u201E" + col.name + L"\u201C nelze přečíst: ovladač nepředal platnou hodnotu.");
        }
        return DriverValueToVariant(col.type.adoType, value, out);
    }

    HRESULT ActualSize(long ordinal, long* out)
    {
        if (!out)
            return E_POINTER;
        *out = 0;
        VARIANT v;
        HRESULT hr = GetValue(ordinal, &v);
        if (FAILED(hr))
            return hr;
        switch (v.vt) {
        case VT_NULL: case VT_EMPTY: *out = 0; break;
        case VT_BSTR: *out = (long)SysStringLen(v.bstrVal); break;
        case VT_ARRAY | VT_UI1: *out = (long)v.parray->rgsabound[0].cElements; break;
        case VT_I2: case VT_BOOL: *out = 2; break;
        case VT_UI1: *out = 1; break;
        case VT_R4: case VT_I4: *out = 4; break;
        default: *out = 8; break;
        }
        VariantClear(&v);
        return S_OK;
    }

    HRESULT PutValue(long ordinal, const VARIANT& value)
    {
        if (!open)
            return Closed();
        if (ordinal < 0 || ordinal >= Columns())
            return Fail(AdoError(adErrItemNotFound), L"Sloupec neexistuje.");
        if (lockType == adLockReadOnly || !data->updatable)
            return Fail(AdoError(adErrFeatureNotAvailable),
                        L"Sadu záznamů nelze měnit: je jen pro čtení nebo nepochází z jediné tabulky.");
        if (editMode == adEditNone) {
            if (!HasCurrent())
                return NoCurrent();
            StartPending(adEditInProgress);
        }
        HRESULT hr = VariantCopy(&pending[ordinal], const_cast<VARIANT*>(&value));
        if (FAILED(hr))
            return Fail(hr, L"Hodnotu nelze zkopírovat.");
        changed[ordinal] = true;
        return S_OK;
    }

    // ---- moving ------------------------------------------------------------------------------

    // Deleting and reading rows again need an open recordset with no edit pending.
    HRESULT CanMove()
    {
        if (!open)
            return Closed();
        if (editMode != adEditNone)
            return EditPending();
        return S_OK;
    }

    // A move first stores the row being edited or added, as ADO does; when that fails the move
    // is refused and the edit stays pending.
    HRESULT CanLeaveRow()
    {
        if (!open)
            return Closed();
        if (editMode != adEditNone) {
            HRESULT hr = Update();
            if (FAILED(hr))
                return hr;
        }
        return S_OK;
    }

    // ---- writing -----------------------------------------------------------------------------

    // The table's columns as its definition gives them, read once per state of the schema.
    const TableWrites& Writes()
    {
        if (writesRead != core->schemaChanges) {
            WorkTimer timer(L"schema: writes of ", shape.table);
            writes.Read(*core, shape.table, data->columns, data->hidden);
            writesRead = core->schemaChanges;
        }
        return writes;
    }

    // The INSERT or UPDATE of the pending row's changed columns.
    const std::wstring& WriteStatement()
    {
        if (editMode == lastEditMode && changed == lastChanged && !lastWrite.empty())
            return lastWrite;
        std::vector<std::wstring> names;
        for (long c = 0; c < Columns(); ++c)
            if (changed[c])
                names.push_back(data->columns[c + data->hidden].baseName);
        std::wstring table = QuoteIdentifier(shape.table);
        std::wstring& q = lastWrite;
        if (editMode == adEditAdd) {
            if (names.empty()) {
                q = L"INSERT INTO " + table + L" DEFAULT VALUES";
            } else {
                q = L"INSERT INTO " + table + L" (";
                std::wstring marks;
                for (size_t i = 0; i < names.size(); ++i) {
                    q += (i ? L"," : L"") + QuoteIdentifier(names[i]);
                    marks += i ? L",?" : L"?";
                }
                q += L") VALUES (" + marks + L")";
            }
        } else {
            q = L"UPDATE " + table + L" SET ";
            for (size_t i = 0; i < names.size(); ++i)
                q += (i ? L"," : L"") + QuoteIdentifier(names[i]) + L"=?";
            q += L" WHERE _ROWID_ = ?";
        }
        lastEditMode = editMode;
        lastChanged = changed;
        return q;
    }

    // Reads one row of the table by rowid with the recordset's columns.
    HRESULT ReadRow(long long rowid, RowPtr* out)
    {
        *out = nullptr;
        std::wstring q = L"SELECT _ROWID_ AS " + QuoteIdentifier(kRowidLabel) + L"," +
                         shape.selectList + L" " + shape.fromClause + L" WHERE _ROWID_ = ?";
        CachedStmt st;
        if (!st.Take(*core, q))
            return st.Fail(L"Záznam nelze znovu načíst.");
        std::vector<BindValue> values(1);
        values[0].isNull = false;
        values[0].kind = FetchKind::Integer;
        values[0].i = rowid;
        st.Bind(values);
        SQLRETURN rc = st.Execute();
        if (!OdbcOk(rc))
            return st.Fail(L"Záznam nelze znovu načíst.");
        std::vector<uint8_t> scratch;
        RowPtr row;
        if (FetchRow(st.h, data->columns, &row, scratch) == SQL_SUCCESS)
            *out = row;
        return S_OK;
    }

    HRESULT Update()
    {
        if (!open)
            return Closed();
        if (editMode == adEditNone)
            return S_OK;
        std::lock_guard<std::recursive_mutex> hold(core->lock);
        if (!core->IsOpen())
            return Fail(AdoError(adErrObjectClosed), L"Připojení k databázi není otevřené.");
        std::vector<BindValue> values;
        for (long c = 0; c < Columns(); ++c) {
            if (!changed[c])
                continue;
            const ColumnMeta& col = data->columns[c + data->hidden];
            BindValue bv;
            HRESULT hr = VariantToBindValue(col.type.adoType, pending[c], &bv);
            if (FAILED(hr))
                return Fail(hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH,
                            ValueDoesNotFitText(core->LabelOf(shape.table, col.baseName), col.type.adoType,
                                                MissOf(hr, pending[c])));
            values.push_back(std::move(bv));
        }
        long long rowid = 0;
        RowPtr current;
        if (editMode == adEditInProgress) {
            HRESULT hr = CurrentRow(&current);
            if (FAILED(hr))
                return hr;
            rowid = current->RowId();
            if (values.empty()) {
                ClearPending();
                return S_OK;
            }
        }
        const std::wstring& q = WriteStatement();
        if (editMode != adEditAdd) {
            BindValue key;
            key.isNull = false;
            key.kind = FetchKind::Integer;
            key.i = rowid;
            values.push_back(key);
        }
        HRESULT refused = AdmitStatement(*core, q);
        if (FAILED(refused))
            return refused;
        CachedStmt st;
        if (!st.Take(*core, q))
            return st.Fail(L"Záznam nelze uložit.");
        if (!OdbcOk(st.Bind(values)))
            return st.Fail(L"Hodnoty záznamu nelze předat databázi.");
        SQLRETURN rc = st.Execute();
        if (!OdbcOk(rc) && rc != SQL_NO_DATA)
            return st.Fail(L"Záznam nelze uložit.");
        st.Release();
        // The row's rowid: the INTEGER PRIMARY KEY column when it was written (an UPDATE of it
        // moves the row), else the old one, or the engine's choice for a new row.
        const TableWrites& table = Writes();
        long long newRowid = rowid;
        bool rowidWritten = false;
        int key = table.RowidColumn();
        if (key >= 0 && changed[key]) {
            // Values are in column order: the key's is after those of the changed columns before it.
            size_t v = (size_t)std::count(changed.begin(), changed.begin() + key, true);
            if (!values[v].isNull && values[v].kind == FetchKind::Integer) {
                newRowid = values[v].i;
                rowidWritten = true;
            }
        }
        if (editMode == adEditAdd && !rowidWritten) {
            static const std::wstring kLastRowid = L"SELECT last_insert_rowid()";
            CachedStmt last;
            if (last.Take(*core, kLastRowid) && OdbcOk(last.Execute()) &&
                OdbcOk(SQLFetch(last.h))) {
                SQLLEN ind = 0;
                SQLGetData(last.h, 1, SQL_C_SBIGINT, &newRowid, sizeof(newRowid), &ind);
            }
        }
        // What was stored is known without reading the row again wherever the table keeps what
        // it is given.
        RowPtr fresh = table.StoredRow(data->columns, data->hidden, newRowid, changed, values,
                                       editMode == adEditAdd ? RowPtr() : current);
        if (!fresh)
            ReadRow(newRowid, &fresh);
        if (!fresh) {
            // The row is not readable through the recordset's columns; keep what was written.
            auto built = std::make_shared<RowBuffer>(data->columns.size());
            built->AddInt(newRowid);
            size_t v = 0;
            for (long c = 0; c < Columns(); ++c) {
                if (changed[c])
                    built->Add(values[v++]);
                else if (current)
                    built->Add(current->Get(c + data->hidden));
                else
                    built->AddNull();
            }
            fresh = built;
        }
        OwnData(true);
        if (editMode == adEditAdd) {
            data->rows.push_back(fresh);
            view.push_back((uint32_t)(data->rows.size() - 1));
            pos = Size() - 1;
            data->RowStored(data->rows.size() - 1, nullptr, fresh);
            NoteSavepointRow((uint32_t)(data->rows.size() - 1));
        } else {
            RowPtr before = data->rows[view[pos]];
            data->rows[view[pos]] = fresh;
            data->RowStored(view[pos], before, fresh);
        }
        onDeleted = false;
        ClearPending();
        return S_OK;
    }

    HRESULT Delete()
    {
        HRESULT idle = CanMove();
        if (FAILED(idle))
            return idle;
        if (lockType == adLockReadOnly || !data->updatable)
            return Fail(AdoError(adErrFeatureNotAvailable),
                        L"Sadu záznamů nelze měnit: je jen pro čtení nebo nepochází z jediné tabulky.");
        RowPtr row;
        HRESULT hr = CurrentRow(&row);
        if (FAILED(hr))
            return hr;
        std::lock_guard<std::recursive_mutex> hold(core->lock);
        if (!core->IsOpen())
            return Fail(AdoError(adErrObjectClosed), L"Připojení k databázi není otevřené.");
        std::wstring q = L"DELETE FROM " + QuoteIdentifier(shape.table) + L" WHERE _ROWID_ = ?";
        HRESULT refused = AdmitStatement(*core, q);
        if (FAILED(refused))
            return refused;
        CachedStmt st;
        if (!st.Take(*core, q))
            return st.Fail(L"Záznam nelze odstranit.");
        std::vector<BindValue> values(1);
        values[0].isNull = false;
        values[0].kind = FetchKind::Integer;
        values[0].i = row->RowId();
        st.Bind(values);
        SQLRETURN rc = st.Execute();
        if (!OdbcOk(rc) && rc != SQL_NO_DATA)
            return st.Fail(L"Záznam nelze odstranit.");
        OwnData();
        data->rows[view[pos]] = nullptr;
        view.erase(view.begin() + pos);
        onDeleted = true;
        return S_OK;
    }

    // Drops view entries whose rows are gone and keeps the cursor on the same row if it can.
    void CompactView()
    {
        uint32_t currentBase = HasCurrent() ? view[pos] : UINT32_MAX;
        std::vector<uint32_t> kept;
        kept.reserve(view.size());
        long newPos = -1;
        for (size_t i = 0; i < view.size(); ++i) {
            if (data->rows[view[i]]) {
                if (view[i] == currentBase)
                    newPos = (long)kept.size();
                kept.push_back(view[i]);
            } else if (view[i] == currentBase) {
                newPos = (long)kept.size();  // the row after it
            }
        }
        view.swap(kept);
        if (currentBase == UINT32_MAX)
            pos = pos < 0 ? -1 : (view.empty() ? -1 : std::min(pos, Size()));
        else
            pos = newPos;
        if (view.empty())
            pos = -1;
        onDeleted = false;
    }

    HRESULT Resync(long affect)
    {
        HRESULT idle = CanMove();
        if (FAILED(idle))
            return idle;
        if (data->keyset) {
            data->keyset->Forget();
            DropBlock();
            return S_OK;
        }
        if (!data->updatable) {
            // No row identity: read the rows again in the same places.
            std::shared_ptr<RowsetData> fresh;
            HRESULT hr = Load(false, &fresh);
            if (FAILED(hr))
                return hr;
            OwnData();
            for (size_t i = 0; i < data->rows.size(); ++i)
                if (data->rows[i])
                    data->rows[i] = i < fresh->rows.size() ? fresh->rows[i] : nullptr;
            CompactView();
            return S_OK;
        }
        std::lock_guard<std::recursive_mutex> hold(core->lock);
        if (affect == adAffectCurrent) {
            RowPtr row;
            HRESULT hr = CurrentRow(&row);
            if (FAILED(hr))
                return hr;
            RowPtr fresh;
            hr = ReadRow(row->RowId(), &fresh);
            if (FAILED(hr))
                return hr;
            OwnData();
            data->rows[view[pos]] = fresh;
            if (!fresh) {
                view.erase(view.begin() + pos);
                onDeleted = true;
            }
            return S_OK;
        }
        std::shared_ptr<RowsetData> fresh;
        HRESULT hr = Load(false, &fresh);
        if (FAILED(hr))
            return hr;
        std::unordered_map<long long, RowPtr> byRowid;
        for (const RowPtr& r : fresh->rows)
            byRowid.emplace(r->RowId(), r);
        OwnData();
        for (RowPtr& r : data->rows) {
            if (!r)
                continue;
            auto it = byRowid.find(r->RowId());
            r = it == byRowid.end() ? nullptr : it->second;
        }
        CompactView();
        return S_OK;
    }

    HRESULT Requery()
    {
        HRESULT idle = CanMove();
        if (FAILED(idle))
            return idle;
        HRESULT refused = AdmitStatement(*core, sql);
        if (FAILED(refused))
            return refused;
        std::shared_ptr<RowsetData> fresh;
        HRESULT hr = Load(KeysetAllowed(), &fresh);
        if (FAILED(hr))
            return hr;
        DropBlock();
        ForgetSavepointRows();
        data = fresh;
        std::vector<uint32_t> v;
        if (hasFilter) {
            hr = BuildView(&v, filterText, true);
            if (FAILED(hr))
                v.clear();
        } else {
            BuildView(&v, L"", false);
        }
        ApplySort(&v);
        view.swap(v);
        pos = view.empty() ? -1 : 0;
        onDeleted = false;
        return hr;
    }
};

// ---------------------------------------------------------------------------------------------

Recordset::Recordset() : impl_(new Impl(this)) {}
Recordset::~Recordset() = default;
Recordset* Recordset::Create() { return new Recordset(); }

Connection* Recordset::ActiveConnection() const { return impl_->conn; }

HRESULT Recordset::put_CursorLocation(long location)
{
    if (impl_->open)
        return impl_->AlreadyOpen();
    if (location != adUseClient && location != adUseServer)
        return impl_->Fail(AdoError(adErrInvalidArgument), L"Neznámé umístění kurzoru.");
    impl_->location = location;
    return S_OK;
}

HRESULT Recordset::get_CursorLocation(long* out) const
{
    return GiveOut(out, impl_->location);
}

HRESULT Recordset::put_CursorType(long type)
{
    return impl_->SetWhileClosed(&impl_->cursorType, type);
}

HRESULT Recordset::get_CursorType(long* out) const
{
    return GiveOut(out, impl_->cursorType);
}

HRESULT Recordset::put_LockType(long type)
{
    return impl_->SetWhileClosed(&impl_->lockType, type);
}

HRESULT Recordset::get_LockType(long* out) const
{
    return GiveOut(out, impl_->lockType);
}

HRESULT Recordset::Open(const VARIANT& source, Connection* connection, long cursorType,
                        long lockType, long options)
{
    if (source.vt != VT_BSTR || !source.bstrVal)
        return impl_->Fail(AdoError(adErrInvalidArgument), L"Zdrojem musí být text SQL.");
    return Open(source.bstrVal, connection, cursorType, lockType, options);
}

HRESULT Recordset::Open(const wchar_t* sql, Connection* connection, long cursorType,
                        long lockType, long options)
{
    if (!sql)
        return impl_->Fail(AdoError(adErrInvalidArgument), L"Nebyl zadán text SQL.");
    // A table opened by its name: every column of every row. The name is quoted as the
    // source reads names: a pass-through source (an Access file through its driver, a
    // workbook) in brackets, any other in double quotes; a closing quote inside is doubled.
    if ((options & ~adAsyncExecute) == adCmdTable || (options & ~adAsyncExecute) == adCmdTableDirect) {
        bool brackets = connection && connection->Core() && connection->Core()->passThrough;
        std::wstring name = brackets ? Enclose(sql, L'[', L']') : QuoteIdentifier(sql);
        return impl_->OpenWith(L"SELECT * FROM " + name, connection, cursorType, lockType);
    }
    return impl_->OpenWith(sql, connection, cursorType, lockType);
}

HRESULT Recordset::OpenRows(Connection* connection, std::shared_ptr<RowsetData> rows, const std::wstring& source)
{
    if (impl_->open)
        return impl_->AlreadyOpen();
    connection->AddRef();
    if (impl_->conn)
        impl_->conn->Release();
    impl_->conn = connection;
    impl_->core = connection->Core();
    impl_->location = adUseClient;
    impl_->cursorType = adOpenStatic;
    impl_->lockType = adLockReadOnly;
    impl_->sql = source;
    impl_->data = rows;
    impl_->open = true;
    impl_->hasFilter = false;
    impl_->filterText.clear();
    impl_->BuildView(&impl_->view, L"", false);
    impl_->pos = impl_->view.empty() ? -1 : 0;
    impl_->onDeleted = false;
    return S_OK;
}

HRESULT Recordset::get_Source(BSTR* out) const
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(impl_->sql.data(), (UINT)impl_->sql.size());
    return *out || impl_->sql.empty() ? S_OK : E_OUTOFMEMORY;
}

const std::wstring& Recordset::Source() const
{
    return impl_->sql;
}

HRESULT Recordset::Close()
{
    // Closing what is not open (a recordset whose open failed, as list reuse does) reports
    // the state but leaves the connection's errors for the caller's report.
    if (!impl_->open)
        return AdoError(adErrObjectClosed);
    impl_->ClearPending();
    impl_->DropBlock();
    impl_->ForgetSavepointRows();
    impl_->open = false;
    impl_->data.reset();
    impl_->view.clear();
    impl_->view.shrink_to_fit();
    impl_->pos = -1;
    impl_->hasFilter = false;
    impl_->filterText.clear();
    impl_->sortKeys.clear();
    impl_->sortText.clear();
    impl_->params.clear();
    return S_OK;
}

HRESULT Recordset::get_State(long* out) const
{
    return GiveOut(out, impl_->open ? adStateOpen : adStateClosed);
}

bool Recordset::IsBOF() const { return impl_->IsBOF(); }
bool Recordset::IsEOF() const { return impl_->IsEOF(); }

HRESULT Recordset::get_BOF(VARIANT_BOOL* out) const
{
    if (!out)
        return E_POINTER;
    *out = impl_->IsBOF() ? VARIANT_TRUE : VARIANT_FALSE;
    return impl_->open ? S_OK : impl_->Closed();
}

HRESULT Recordset::get_EOF(VARIANT_BOOL* out) const
{
    if (!out)
        return E_POINTER;
    *out = impl_->IsEOF() ? VARIANT_TRUE : VARIANT_FALSE;
    return impl_->open ? S_OK : impl_->Closed();
}

HRESULT Recordset::MoveFirst()
{
    HRESULT hr = impl_->CanLeaveRow();
    if (FAILED(hr))
        return hr;
    if (impl_->view.empty())
        return impl_->NoCurrent();
    impl_->pos = 0;
    impl_->onDeleted = false;
    return S_OK;
}

HRESULT Recordset::MoveLast()
{
    HRESULT hr = impl_->CanLeaveRow();
    if (FAILED(hr))
        return hr;
    if (impl_->view.empty())
        return impl_->NoCurrent();
    impl_->pos = impl_->Size() - 1;
    impl_->onDeleted = false;
    return S_OK;
}

HRESULT Recordset::MoveNext()
{
    HRESULT hr = impl_->CanLeaveRow();
    if (FAILED(hr))
        return hr;
    if (impl_->onDeleted) {
        impl_->onDeleted = false;  // the row after the deleted one already sits at pos
        return S_OK;
    }
    if (impl_->IsEOF())
        return impl_->NoCurrent();
    ++impl_->pos;
    return S_OK;
}

HRESULT Recordset::MovePrevious()
{
    HRESULT hr = impl_->CanLeaveRow();
    if (FAILED(hr))
        return hr;
    if (impl_->onDeleted) {
        impl_->onDeleted = false;
        --impl_->pos;
        return S_OK;
    }
    if (impl_->IsBOF())
        return impl_->NoCurrent();
    --impl_->pos;
    return S_OK;
}

HRESULT Recordset::Move(long numRecords)
{
    HRESULT hr = impl_->CanLeaveRow();
    if (FAILED(hr))
        return hr;
    if (numRecords == 0)
        return impl_->HasCurrent() ? S_OK : impl_->NoCurrent();
    long base = impl_->pos;
    if (impl_->onDeleted && numRecords > 0)
        --base;
    impl_->onDeleted = false;
    long target = base + numRecords;
    if (target < 0) {
        impl_->pos = -1;
        return S_OK;
    }
    if (target >= impl_->Size()) {
        impl_->pos = impl_->Size();
        return S_OK;
    }
    impl_->pos = target;
    return S_OK;
}

HRESULT Recordset::get_AbsolutePosition(long* out) const
{
    if (!out)
        return E_POINTER;
    if (!impl_->open) {
        *out = adPosUnknown;
        return impl_->Closed();
    }
    if (impl_->IsBOF())
        *out = adPosBOF;
    else if (impl_->IsEOF())
        *out = adPosEOF;
    else if (!impl_->HasCurrent())
        *out = adPosUnknown;
    else
        *out = impl_->pos + 1;
    return S_OK;
}

HRESULT Recordset::put_AbsolutePosition(long position)
{
    HRESULT hr = impl_->CanLeaveRow();
    if (FAILED(hr))
        return hr;
    impl_->onDeleted = false;
    if (position < 1 || position > impl_->Size()) {
        // No current row afterwards: reading a value fails until the next valid move.
        impl_->pos = impl_->Size();
        wchar_t text[160];
        _snwprintf(text, 160, L"Pozice %ld leží mimo záznamy 1 až %ld.", position,
                   impl_->Size());
        text[159] = 0;
        return impl_->Fail(AdoError(adErrInvalidArgument), text);
    }
    impl_->pos = position - 1;
    return S_OK;
}

HRESULT Recordset::get_Bookmark(VARIANT* out) const
{
    if (!out)
        return E_POINTER;
    VariantInit(out);
    if (!impl_->open)
        return impl_->Closed();
    if (!impl_->HasCurrent())
        return impl_->NoCurrent();
    out->vt = VT_R8;
    out->dblVal = (double)impl_->view[impl_->pos] + 1.0;
    return S_OK;
}

HRESULT Recordset::put_Bookmark(const VARIANT& bookmark)
{
    HRESULT hr = impl_->CanLeaveRow();
    if (FAILED(hr))
        return hr;
    VARIANT v;
    VariantInit(&v);
    if (FAILED(VariantChangeType(&v, const_cast<VARIANT*>(&bookmark), 0, VT_R8)) || v.dblVal < 1)
        return impl_->Fail(AdoError(adErrInvalidArgument), L"Záložka je neplatná.");
    uint32_t base = (uint32_t)(v.dblVal - 1);
    long at = impl_->ViewIndexOf(base);
    if (at >= impl_->Size() || impl_->view[at] != base)
        return impl_->Fail(AdoError(adErrInvalidArgument),
                           L"Záložka neukazuje na žádný záznam aktuálního výběru.");
    impl_->pos = at;
    impl_->onDeleted = false;
    return S_OK;
}

HRESULT Recordset::get_RecordCount(long* out) const
{
    if (!out)
        return E_POINTER;
    if (!impl_->open) {
        *out = -1;
        return impl_->Closed();
    }
    *out = impl_->Size();
    return S_OK;
}

HRESULT Recordset::put_Filter(const wchar_t* criteria)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(criteria ? criteria : L"");
    HRESULT hr = put_Filter(v);
    VariantClear(&v);
    return hr;
}

HRESULT Recordset::put_Filter(const VARIANT& filter)
{
    HRESULT hr = impl_->CanMove();
    if (FAILED(hr))
        return hr;
    bool none = false;
    std::wstring text;
    if (filter.vt == VT_BSTR) {
        text = filter.bstrVal ? filter.bstrVal : L"";
        size_t b = text.find_first_not_of(L" \t\r\n");
        none = b == std::wstring::npos;
    } else if (filter.vt == VT_EMPTY || filter.vt == VT_NULL) {
        none = true;
    } else {
        VARIANT v;
        VariantInit(&v);
        if (FAILED(VariantChangeType(&v, const_cast<VARIANT*>(&filter), 0, VT_I4)))
            return impl_->Fail(AdoError(adErrInvalidArgument), L"Filtr je neplatný.");
        if (v.lVal != adFilterNone)
            return impl_->Fail(AdoError(adErrFeatureNotAvailable),
                               L"Jako skupina filtru je podporována jen hodnota adFilterNone.");
        none = true;
    }
    std::vector<uint32_t> v;
    hr = impl_->BuildView(&v, text, !none);
    if (FAILED(hr))
        return hr;  // the old filter stays
    impl_->ApplySort(&v);
    impl_->view.swap(v);
    impl_->hasFilter = !none;
    impl_->filterText = none ? L"" : text;
    impl_->pos = impl_->view.empty() ? -1 : 0;
    impl_->onDeleted = false;
    return S_OK;
}

HRESULT Recordset::get_Filter(VARIANT* out) const
{
    if (!out)
        return E_POINTER;
    VariantInit(out);
    if (impl_->hasFilter) {
        out->vt = VT_BSTR;
        out->bstrVal = SysAllocStringLen(impl_->filterText.data(), (UINT)impl_->filterText.size());
    } else {
        out->vt = VT_I4;
        out->lVal = adFilterNone;
    }
    return S_OK;
}

HRESULT Recordset::put_Sort(const wchar_t* criteria)
{
    HRESULT hr = impl_->CanMove();
    if (FAILED(hr))
        return hr;
    Impl& m = *impl_;
    if (m.data->keyset)
        return m.Fail(AdoError(adErrFeatureNotAvailable),
                      L"Řazení vyžaduje sadu záznamů s kurzorem na straně klienta.");
    std::wstring text = criteria ? criteria : L"";
    std::vector<SortKey> keys;
    std::wstring error;
    auto resolve = [&m](const std::wstring& name, size_t* column) {
        for (long c = 0; c < m.Columns(); ++c) {
            if (SameNameNoCase(m.data->columns[c + m.data->hidden].name, name)) {
                *column = (size_t)(c + m.data->hidden);
                return true;
            }
        }
        return false;
    };
    if (!ParseSortCriteria(text, resolve, &keys, &error))
        return m.Fail(AdoError(adErrInvalidArgument), L"Pořadí řazení je neplatné: " + error);
    // Without keys the view goes back to the rowset's order, with the filter it has.
    std::vector<uint32_t> v;
    hr = m.BuildView(&v, m.filterText, m.hasFilter);
    if (FAILED(hr))
        return hr;
    m.sortKeys = std::move(keys);
    m.sortText = m.sortKeys.empty() ? L"" : text;
    m.ApplySort(&v);
    m.view.swap(v);
    m.pos = m.view.empty() ? -1 : 0;
    m.onDeleted = false;
    return S_OK;
}

HRESULT Recordset::get_Sort(BSTR* out) const
{
    return ToBstr(impl_->sortText, out);
}

HRESULT Recordset::Find(const wchar_t* criteria, long skipRecords, long direction,
                        const VARIANT* start)
{
    HRESULT hr = impl_->CanMove();
    if (FAILED(hr))
        return hr;
    Impl& m = *impl_;
    std::wstring error;
    auto resolve = [&m](const std::wstring& name, int* index, DataTypeEnum* type) {
        for (long c = 0; c < m.Columns(); ++c) {
            if (SameNameNoCase(m.data->columns[c + m.data->hidden].name, name)) {
                *index = (int)c;
                *type = m.data->columns[c + m.data->hidden].type.adoType;
                return true;
            }
        }
        return false;
    };
    std::unique_ptr<FilterExpr> expr = ParseFilter(criteria ? criteria : L"", resolve, &error);
    if (!expr)
        return m.Fail(AdoError(adErrInvalidArgument),
                      L"Podmínka hledání je neplatná: " + error);
    if (!expr->IsSingleComparison())
        return m.Fail(AdoError(adErrInvalidArgument),
                      L"Hledání přijímá jediné porovnání (sloupec, operátor, hodnota).");
    bool backward = direction == adSearchBackward;
    long from;
    if (start && start->vt != VT_EMPTY && start->vt != VT_ERROR) {
        VARIANT v;
        VariantInit(&v);
        if (FAILED(VariantChangeType(&v, const_cast<VARIANT*>(start), 0, VT_R8)) || v.dblVal < 1)
            return m.Fail(AdoError(adErrInvalidArgument), L"Počáteční záložka je neplatná.");
        uint32_t base = (uint32_t)(v.dblVal - 1);
        from = backward ? m.ViewIndexOf(base, true) - 1 : m.ViewIndexOf(base);
    } else {
        from = m.onDeleted ? (backward ? m.pos - 1 : m.pos) : m.pos;
        if (from < 0 && !backward)
            from = 0;
    }
    from += backward ? -skipRecords : skipRecords;
    m.onDeleted = false;
    RowPtr row;
    auto getter = [&](int idx, const std::wstring&, VARIANT* v) -> HRESULT {
        const ColumnMeta& col = m.data->columns[idx + m.data->hidden];
        return DriverValueToVariant(col.type.adoType, row->Get(idx + m.data->hidden), v);
    };
    long step = backward ? -1 : 1;
    for (long i = from; i >= 0 && i < m.Size(); i += step) {
        HRESULT rowHr;
        row = m.data->Row(m.view[i], &rowHr);
        if (row && expr->Matches(getter)) {
            m.pos = i;
            return S_OK;
        }
    }
    m.pos = backward ? -1 : m.Size();
    return S_OK;
}

HRESULT Recordset::Requery(long options)
{
    (void)options;
    return impl_->Requery();
}

HRESULT Recordset::Resync(long affect, long resyncValues)
{
    (void)resyncValues;
    return impl_->Resync(affect);
}

HRESULT Recordset::AddNew()
{
    HRESULT hr = impl_->CanLeaveRow();
    if (FAILED(hr))
        return hr;
    if (impl_->lockType == adLockReadOnly || !impl_->data->updatable)
        return impl_->Fail(AdoError(adErrFeatureNotAvailable),
                           L"Sadu záznamů nelze měnit: je jen pro čtení nebo nepochází z jediné tabulky.");
    impl_->savedPos = impl_->pos;
    impl_->StartPending(adEditAdd);
    return S_OK;
}

HRESULT Recordset::Update() { return impl_->Update(); }

HRESULT Recordset::CancelUpdate()
{
    if (!impl_->open)
        return impl_->Closed();
    if (impl_->editMode == adEditAdd)
        impl_->pos = impl_->savedPos;
    impl_->ClearPending();
    return S_OK;
}

HRESULT Recordset::Delete(long affect)
{
    if (affect != adAffectCurrent)
        return impl_->Fail(AdoError(adErrFeatureNotAvailable),
                           L"Odstranit lze jen aktuální záznam.");
    return impl_->Delete();
}

HRESULT Recordset::get_EditMode(long* out) const
{
    if (!out)
        return E_POINTER;
    *out = impl_->editMode;
    return impl_->open ? S_OK : impl_->Closed();
}

HRESULT Recordset::get_Fields(Fields** out)
{
    if (!out)
        return E_POINTER;
    *out = new Fields(this);
    return S_OK;
}

HRESULT Recordset::put_CacheSize(long rows)
{
    if (rows < 1)
        return impl_->Fail(AdoError(adErrInvalidArgument), L"Velikost mezipaměti musí být alespoň 1.");
    impl_->cacheSize = rows;
    impl_->DropBlock();
    return S_OK;
}

HRESULT Recordset::get_CacheSize(long* out) const
{
    if (!out)
        return E_POINTER;
    *out = impl_->cacheSize;
    return S_OK;
}

HRESULT Recordset::ReadRealColumns(const std::vector<long>& ordinals, std::vector<double>* values,
                                   const std::wstring& narrowing)
{
    if (!values)
        return E_POINTER;
    return impl_->ReadReals(ordinals, values, narrowing);
}

HRESULT Recordset::ReadFirstColumnIds(const std::vector<long>& positions, std::vector<long long>* ids)
{
    if (!ids)
        return E_POINTER;
    return impl_->ReadIds(positions, ids);
}

HRESULT Recordset::Clone(Recordset** out, long lockType)
{
    (void)lockType;
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!impl_->open)
        return impl_->Closed();
    Recordset* copy = new Recordset();
    Impl& c = *copy->impl_;
    const Impl& m = *impl_;
    c.conn = m.conn;
    if (c.conn)
        c.conn->AddRef();
    c.core = m.core;
    c.location = m.location;
    c.cursorType = m.cursorType;
    c.lockType = m.lockType;
    c.open = true;
    c.sql = m.sql;
    c.execSql = m.execSql;
    c.shape = m.shape;
    c.params = m.params;
    c.data = m.data;
    c.view = m.view;
    c.hasFilter = m.hasFilter;
    c.filterText = m.filterText;
    c.sortKeys = m.sortKeys;
    c.sortText = m.sortText;
    c.pos = c.view.empty() ? -1 : 0;
    *out = copy;
    return S_OK;
}

// ---------------------------------------------------------------------------------------------

Fields::Fields(Recordset* owner) : owner_(owner) { owner_->AddRef(); }
Fields::~Fields() { owner_->Release(); }

HRESULT Fields::get_Count(long* out) const
{
    if (!out)
        return E_POINTER;
    *out = owner_->impl_->Columns();
    return owner_->impl_->open ? S_OK : owner_->impl_->Closed();
}

HRESULT Fields::Item(long ordinal, Field** out) const
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!owner_->impl_->open)
        return owner_->impl_->Closed();
    if (ordinal < 0 || ordinal >= owner_->impl_->Columns())
        return owner_->impl_->Fail(AdoError(adErrItemNotFound),
                                   L"Položku nelze v kolekci najít.");
    *out = new Field(owner_, ordinal);
    return S_OK;
}

HRESULT Fields::Item(const wchar_t* name, Field** out) const
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    Recordset::Impl& m = *owner_->impl_;
    if (!m.open)
        return m.Closed();
    std::wstring n = name ? name : L"";
    for (long c = 0; c < m.Columns(); ++c)
        if (SameNameNoCase(m.data->columns[c + m.data->hidden].name, n))
            return Item(c, out);
    return m.Fail(AdoError(adErrItemNotFound),
                  L"Položku nelze v kolekci najít: " + n + L".");
}

HRESULT Fields::get_Item(const VARIANT& index, Field** out) const
{
    if (index.vt == VT_BSTR)
        return Item(index.bstrVal, out);
    if (index.vt == (VT_BSTR | VT_BYREF) && index.pbstrVal)
        return Item(*index.pbstrVal, out);
    VARIANT v;
    VariantInit(&v);
    if (FAILED(VariantChangeType(&v, const_cast<VARIANT*>(&index), 0, VT_I4))) {
        if (out)
            *out = nullptr;
        return owner_->impl_->Fail(AdoError(adErrItemNotFound),
                                   L"Položku nelze v kolekci najít.");
    }
    return Item(v.lVal, out);
}

Field::Field(Recordset* owner, long ordinal) : owner_(owner), ordinal_(ordinal)
{
    owner_->AddRef();
}

Field::~Field() { owner_->Release(); }

HRESULT Field::get_Name(BSTR* out) const
{
    Recordset::Impl& m = *owner_->impl_;
    if (!m.open || ordinal_ >= m.Columns()) {
        if (out)
            *out = nullptr;
        return m.Closed();
    }
    return ToBstr(m.data->columns[ordinal_ + m.data->hidden].name, out);
}

HRESULT Field::get_Type(DataTypeEnum* out) const
{
    if (!out)
        return E_POINTER;
    Recordset::Impl& m = *owner_->impl_;
    if (!m.open || ordinal_ >= m.Columns()) {
        *out = adEmpty;
        return m.Closed();
    }
    *out = m.data->columns[ordinal_ + m.data->hidden].type.adoType;
    return S_OK;
}

HRESULT Field::get_DefinedSize(long* out) const
{
    if (!out)
        return E_POINTER;
    Recordset::Impl& m = *owner_->impl_;
    if (!m.open || ordinal_ >= m.Columns()) {
        *out = 0;
        return m.Closed();
    }
    *out = m.data->columns[ordinal_ + m.data->hidden].type.definedSize;
    return S_OK;
}

HRESULT Field::get_ActualSize(long* out) const { return owner_->impl_->ActualSize(ordinal_, out); }
HRESULT Field::get_Value(VARIANT* out) const { return owner_->impl_->GetValue(ordinal_, out); }
HRESULT Field::put_Value(const VARIANT& value) { return owner_->impl_->PutValue(ordinal_, value); }

HRESULT Recordset::OpenWithParameters(const wchar_t* sql, Connection* connection,
                                      const std::vector<BindValue>& params)
{
    impl_->params = params;
    impl_->location = adUseClient;
    HRESULT hr = impl_->OpenWith(sql ? sql : L"", connection, adOpenStatic, adLockReadOnly);
    if (FAILED(hr))
        impl_->params.clear();
    return hr;
}

}  // namespace zdata
