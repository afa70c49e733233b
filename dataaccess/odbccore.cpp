#include "dataaccess/odbccore.h"
#include "dataaccess/clienttables.h"
#include "dataaccess/outertxn.h"
#include "dataaccess/refusals.h"
#include <algorithm>
#include <cstring>
#include <cwctype>
#include <new>

namespace zdata {

ConnectionCore::ConnectionCore() : errors(new Errors()) {}

ConnectionCore::~ConnectionCore()
{
    std::lock_guard<std::recursive_mutex> hold(lock);
    Disconnect();
    errors->Release();
}

void ConnectionCore::Disconnect()
{
    // Statement handles go before the connection's own.
    statements.Clear();
    if (dbc != SQL_NULL_HDBC) {
        if (transactionLevel > 0)
            AbandonOutermost(*this);
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        dbc = SQL_NULL_HDBC;
    }
    if (env != SQL_NULL_HENV) {
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        env = SQL_NULL_HENV;
    }
    transactionLevel = 0;
    TransactionEnded();
    czechOrder = false;
    passThrough = false;
    readOnly = false;
    damageFound = false;
    clientTables.reset();
    missingCollationExtension.clear();
    blockBuffers = BlockBuffers();
    idleCacheSize.clear();
    beginStatement.clear();
    lockTimeoutMs = 0;
    columnLabels.clear();
    SchemaChanged();
}

namespace {

std::wstring LabelKey(const std::wstring& table, const std::wstring& column)
{
    std::wstring key = table + L"." + column;
    for (wchar_t& c : key)
        c = (wchar_t)towupper(c);
    return key;
}

}  // namespace

std::wstring ConnectionCore::LabelOf(const std::wstring& table, const std::wstring& column) const
{
    auto found = columnLabels.find(LabelKey(table, column));
    return found != columnLabels.end() ? found->second : column;
}

void ConnectionCore::SetColumnLabel(const std::wstring& table, const std::wstring& column,
                                    const std::wstring& label)
{
    if (label.empty())
        columnLabels.erase(LabelKey(table, column));
    else
        columnLabels[LabelKey(table, column)] = label;
}

namespace {

std::mutex g_hookLock;
StatementHook g_statementHook;

}  // namespace

StatementHook SetStatementHook(StatementHook hook)
{
    std::lock_guard<std::mutex> hold(g_hookLock);
    StatementHook previous = std::move(g_statementHook);
    g_statementHook = std::move(hook);
    return previous;
}

HRESULT AdmitStatement(ConnectionCore& core, const std::wstring& sql)
{
    {
        std::lock_guard<std::recursive_mutex> hold(core.lock);
        HRESULT lost = RefuseInLostTransaction(core);
        if (FAILED(lost))
            return lost;
    }
    StatementHook hook;
    {
        std::lock_guard<std::mutex> hold(g_hookLock);
        hook = g_statementHook;
    }
    if (!hook)
        return S_OK;
    std::wstring description;
    HRESULT hr = hook(sql, &description);
    if (SUCCEEDED(hr))
        return S_OK;
    std::lock_guard<std::recursive_mutex> hold(core.lock);
    return core.Fail(hr, description.empty() ? L"Příkaz byl odmítnut." : description);
}

void ConnectionCore::TransactionSettings(bool inTransaction)
{
    if (idleCacheSize.empty() || dbc == SQL_NULL_HDBC)
        return;
    // A long import writes every row in a savepoint of its own: the pages it changes are kept for
    // the savepoint in memory rather than in a temporary file, and the indexes of a large records
    // table are kept in a page cache that holds them. Neither changes what is stored; a failure
    // leaves the setting as it was.
    const std::wstring settings[] = {
        inTransaction ? L"PRAGMA temp_store=MEMORY" : L"PRAGMA temp_store=DEFAULT",
        L"PRAGMA cache_size=" + (inTransaction ? std::wstring(L"-65536") : idleCacheSize)};
    for (const std::wstring& sql : settings) {
        Stmt st;
        if (st.Alloc(*this))
            SQLExecDirectW(st.h, (SQLWCHAR*)sql.c_str(), SQL_NTS);
    }
}

void ConnectionCore::SchemaChanged()
{
    ++schemaChanges;
    tableNames.clear();
    tableNamesRead = false;
    columnDecls.clear();
    translations.clear();
    // A prepared statement re-prepares itself after a schema change, but its column count is
    // the one of its first preparing.
    statements.Clear();
}

void ConnectionCore::SavepointRolledBack(unsigned long long serial)
{
    for (SavepointRows* rows : std::vector<SavepointRows*>(savepointRows))
        rows->RolledBackTo(serial);
}

void ConnectionCore::TransactionEnded()
{
    if (transactionLostBy) {
        transactionLostBy->Release();
        transactionLostBy = nullptr;
    }
    savepoints.clear();
    for (SavepointRows* rows : std::vector<SavepointRows*>(savepointRows))
        rows->TransactionEnded();
    savepointRows.clear();
}

std::wstring ConnectionCore::Translate(const std::wstring& sql)
{
    std::lock_guard<std::recursive_mutex> hold(lock);
    // Closed, the catalog knows no columns: such a translation is not kept for later.
    if (!IsOpen())
        return TranslateSql(sql, this);
    auto found = translations.find(sql);
    if (found != translations.end())
        return found->second;
    std::wstring text = TranslateSql(sql, this);
    // Texts with their values written in would gather without end.
    if (translations.size() >= 256)
        translations.clear();
    translations.emplace(sql, text);
    return text;
}

HRESULT ConnectionCore::Fail(HRESULT hr, const std::wstring& description)
{
    errors->Replace({new Error((long)hr, description, L"", 0)});
    return hr;
}

std::vector<DriverDiagnostic> ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    std::vector<DriverDiagnostic> items;
    if (handle == SQL_NULL_HANDLE)
        return items;
    for (SQLSMALLINT i = 1; i < 20; ++i) {
        SQLWCHAR state[8] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[1024];
        SQLSMALLINT len = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, i, state, &native, text,
                                      (SQLSMALLINT)(sizeof(text) / sizeof(text[0])), &len);
        if (!OdbcOk(rc))
            break;
        DriverDiagnostic d;
        d.text = (const wchar_t*)text;
        d.state = (const wchar_t*)state;
        d.native = (long)native;
        // A truncation warning of a fetch is not worth reporting beside a real failure.
        if (d.state == L"01004")
            continue;
        items.push_back(std::move(d));
    }
    return items;
}

std::vector<Error*> ConnectionCore::Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, bool onlyRead) const
{
    auto labelOf = [this](const std::wstring& table, const std::wstring& column) { return LabelOf(table, column); };
    std::vector<Error*> items;
    for (const DriverDiagnostic& d : ReadDiagnostics(handleType, handle))
        items.push_back(new Error((long)E_FAIL, EngineErrorDescription(d.text, d.native, labelOf, onlyRead), d.state,
                                  d.native, ReadEngineRefusal(d.text, d.native).kind));
    return items;
}

HRESULT ConnectionCore::FailOdbc(SQLSMALLINT handleType, SQLHANDLE handle,
                                 const std::wstring& fallback, bool onlyRead)
{
    std::vector<Error*> items = Diagnostics(handleType, handle, onlyRead);
    if (items.empty())
        items.push_back(new Error((long)E_FAIL, fallback, L"", 0));
    for (const Error* e : items)
        damageFound = damageFound || e->Refusal() == RefusalKind::Damaged;
    errors->Replace(std::move(items));
    CheckTransactionAfterRefusal(*this);
    return E_FAIL;
}

HRESULT RunOwnStatement(ConnectionCore& core, const std::wstring& sql, const wchar_t* failure)
{
    CachedStmt st;
    if (!st.Take(core, sql))
        return st.Fail(failure);
    SQLRETURN rc = st.Execute();
    if (!OdbcOk(rc) && rc != SQL_NO_DATA)
        return st.Fail(failure);
    return S_OK;
}

bool EachText(ConnectionCore& core, const wchar_t* sql, const std::wstring* parameter,
              const std::function<void(const std::vector<std::wstring>&)>& take)
{
    Stmt st;
    if (!st.Alloc(core))
        return false;
    std::vector<BindValue> values(parameter ? 1 : 0);
    if (parameter) {
        values[0].isNull = false;
        values[0].kind = FetchKind::Text;
        values[0].text = *parameter;
    }
    std::vector<SQLLEN> lengths;
    if (!OdbcOk(BindValues(st.h, values, lengths)) || !OdbcOk(SQLExecDirectW(st.h, (SQLWCHAR*)sql, SQL_NTS)))
        return false;
    std::vector<ColumnMeta> columns;
    if (!DescribeColumns(st.h, &columns))
        return false;
    std::vector<uint8_t> scratch;
    RowPtr row;
    while (FetchRow(st.h, columns, &row, scratch) == SQL_SUCCESS) {
        std::vector<std::wstring> texts;
        for (size_t c = 0; c < columns.size(); ++c) {
            DriverValue v = row->Get(c);
            texts.push_back(v.isNull || v.kind != FetchKind::Text ? std::wstring()
                                                                   : std::wstring(v.text, v.textLen));
        }
        take(texts);
    }
    return true;
}

namespace {

// A name as SQLite's NOCASE compares it: ASCII letters in upper case, the others as they are.
std::wstring NoCaseKey(const std::wstring& name)
{
    std::wstring key = name;
    for (wchar_t& c : key)
        if (c >= L'a' && c <= L'z')
            c = (wchar_t)(c - L'a' + L'A');
    return key;
}

}  // namespace

bool ConnectionCore::IsTable(const std::wstring& name)
{
    // The names of all tables come with the first question, in one query instead of one for
    // each statement's table (opening a database asks about a dozen).
    if (!tableNamesRead) {
        tableNamesRead = true;
        WorkTimer timer(L"schema: table names", L"");
        EachText(*this, L"SELECT name FROM sqlite_master WHERE type = 'table'", nullptr,
                 [&](const std::vector<std::wstring>& row) { tableNames.insert(NoCaseKey(row[0])); });
    }
    return tableNames.count(NoCaseKey(name)) != 0;
}

const std::vector<ColumnDecl>* ConnectionCore::ColumnsOf(const std::wstring& name)
{
    std::lock_guard<std::recursive_mutex> hold(lock);
    if (!IsOpen())
        return nullptr;
    std::wstring key = name;
    for (auto& c : key)
        c = (wchar_t)towupper(c);
    auto found = columnDecls.find(key);
    if (found != columnDecls.end())
        return found->second.get();
    WorkTimer timer(L"schema: columns of ", name);
    auto columns = std::make_unique<std::vector<ColumnDecl>>();
    EachText(*this, L"SELECT name, type FROM pragma_table_info(?)", &name,
             [&](const std::vector<std::wstring>& row) {
                 ColumnDecl decl;
                 decl.name = row[0];
                 decl.kind = KindOfDeclaredType(row[1]);
                 columns->push_back(decl);
             });
    if (columns->empty()) {
        columnDecls[key] = nullptr;
        return nullptr;
    }
    // Collations are read from the table's own definition (a view's columns keep none here).
    EachText(*this, L"SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE", &name,
             [&](const std::vector<std::wstring>& row) {
                 for (const std::wstring& noCase : NoCaseColumns(row[0]))
                     for (ColumnDecl& decl : *columns)
                         if (_wcsicmp(decl.name.c_str(), noCase.c_str()) == 0)
                             decl.noCase = true;
             });
    const std::vector<ColumnDecl>* result = columns.get();
    columnDecls[key] = std::move(columns);
    return result;
}

// False for the statements that only read or change rows: what the layer knows of the tables
// stays true after them. Reading it again after every row of a long import costs more than the
// row itself inside a savepoint.
namespace {

std::wstring FirstWord(const std::wstring& sql)
{
    size_t start = sql.find_first_not_of(L" \t\r\n(");
    if (start == std::wstring::npos)
        return std::wstring();
    size_t end = start;
    while (end < sql.size() && iswalpha(sql[end]))
        ++end;
    return sql.substr(start, end - start);
}

bool IsWord(const std::wstring& word, const wchar_t* name) { return _wcsicmp(word.c_str(), name) == 0; }

}  // namespace

bool MayChangeSchema(const std::wstring& sql)
{
    std::wstring word = FirstWord(sql);
    if (word.empty())
        return false;
    for (const wchar_t* rowStatement : {L"INSERT", L"UPDATE", L"DELETE", L"SELECT", L"REPLACE", L"WITH"})
        if (IsWord(word, rowStatement))
            return false;
    return true;
}

bool OnlyReads(const std::wstring& sql)
{
    std::wstring word = FirstWord(sql);
    return IsWord(word, L"SELECT") || IsWord(word, L"VALUES") ||
           (IsWord(word, L"PRAGMA") && sql.find(L'=') == std::wstring::npos);
}

void StoreRowsAffected(SQLHSTMT stmt, VARIANT* recordsAffected)
{
    if (recordsAffected) {
        SQLLEN n = 0;
        if (OdbcOk(SQLRowCount(stmt, &n)) && n > 0)
            recordsAffected->lVal = (LONG)n;
    }
}

bool Stmt::Alloc(ConnectionCore& core)
{
    Free();
    if (core.dbc == SQL_NULL_HDBC)
        return false;
    return OdbcOk(SQLAllocHandle(SQL_HANDLE_STMT, core.dbc, &h));
}

void Stmt::Free()
{
    if (h != SQL_NULL_HSTMT) {
        SQLFreeHandle(SQL_HANDLE_STMT, h);
        h = SQL_NULL_HSTMT;
    }
}

SQLRETURN BindValues(SQLHSTMT stmt, std::vector<BindValue>& values, std::vector<SQLLEN>& lengths)
{
    lengths.assign(values.size(), 0);
    for (size_t i = 0; i < values.size(); ++i) {
        BindValue& v = values[i];
        SQLPOINTER data = nullptr;
        SQLLEN bufferLength = 0;
        SQLULEN columnSize = 0;
        if (v.isNull) {
            lengths[i] = SQL_NULL_DATA;
            // The driver still wants a C type it knows.
            data = &v.i;
            columnSize = 0;
        } else {
            switch (v.kind) {
            case FetchKind::Integer:
                data = &v.i;
                lengths[i] = sizeof(v.i);
                columnSize = 19;
                break;
            case FetchKind::Double:
                data = &v.d;
                lengths[i] = sizeof(v.d);
                columnSize = 15;
                break;
            case FetchKind::Text:
                data = (SQLPOINTER)v.text.c_str();
                lengths[i] = (SQLLEN)(v.text.size() * sizeof(wchar_t));
                bufferLength = lengths[i];
                columnSize = v.text.size() ? v.text.size() : 1;
                break;
            case FetchKind::Binary:
                data = v.bytes.empty() ? (SQLPOINTER)&v.i : (SQLPOINTER)v.bytes.data();
                lengths[i] = (SQLLEN)v.bytes.size();
                bufferLength = lengths[i];
                columnSize = v.bytes.size() ? v.bytes.size() : 1;
                break;
            }
        }
        SQLSMALLINT ctype = v.isNull ? SQL_C_SBIGINT : v.CType();
        SQLSMALLINT sqltype = v.isNull ? SQL_BIGINT : v.SqlType();
        SQLRETURN rc = SQLBindParameter(stmt, (SQLUSMALLINT)(i + 1), SQL_PARAM_INPUT, ctype, sqltype,
                                        columnSize, 0, data, bufferLength, &lengths[i]);
        if (!OdbcOk(rc))
            return rc;
    }
    return SQL_SUCCESS;
}

// ---------------------------------------------------------------------------------------------

RowBuffer::RowBuffer(size_t columns, size_t cellBytes) : columns_(columns), slots_(columns)
{
    data_.reserve(sizeof(uint32_t) * (columns + 1) + std::max(columns * 10, cellBytes));
    data_.resize(sizeof(uint32_t) * (columns + 1), 0);
}

RowBuffer::RowBuffer(size_t columns, size_t valueCells, std::shared_ptr<const void> holder)
    : columns_(columns), slots_(valueCells), offsetsAt_(sizeof(uint32_t) * valueCells), sparse_(true),
      holder_(std::move(holder))
{
    data_.reserve(sizeof(uint32_t) * (2 * valueCells + 1) + 24 * valueCells);
    data_.resize(sizeof(uint32_t) * (2 * valueCells + 1), 0);
}

void RowBuffer::At(size_t column)
{
    if (!sparse_ || added_ >= slots_)
        return;
    uint32_t c = (uint32_t)column;
    memcpy(data_.data() + added_ * sizeof(uint32_t), &c, sizeof(c));
}

void RowBuffer::Begin(CellKind kind, size_t payload, size_t align)
{
    size_t start = data_.size();
    uint32_t off = (uint32_t)start;
    memcpy(data_.data() + offsetsAt_ + added_ * sizeof(uint32_t), &off, sizeof(off));
    size_t payloadAt = start + 1;
    if (align > 1)
        payloadAt = (payloadAt + align - 1) / align * align;
    data_.resize(payloadAt + payload);
    data_[start] = kind;
    ++added_;
    uint32_t end = (uint32_t)data_.size();
    memcpy(data_.data() + offsetsAt_ + added_ * sizeof(uint32_t), &end, sizeof(end));
}

void RowBuffer::AddNull() { Begin(CellNull, 0, 1); }

void RowBuffer::AddInt(long long v)
{
    Begin(CellInt, sizeof(v), 1);
    memcpy(data_.data() + data_.size() - sizeof(v), &v, sizeof(v));
}

void RowBuffer::AddReal(double v)
{
    Begin(CellReal, sizeof(v), 1);
    memcpy(data_.data() + data_.size() - sizeof(v), &v, sizeof(v));
}

void RowBuffer::AddText(const wchar_t* s, size_t n)
{
    Begin(CellText, n * sizeof(wchar_t), sizeof(wchar_t));
    if (n)
        memcpy(data_.data() + data_.size() - n * sizeof(wchar_t), s, n * sizeof(wchar_t));
}

void RowBuffer::AddTextView(const wchar_t* s, size_t n)
{
    const uint64_t view[2] = {(uint64_t)(uintptr_t)s, (uint64_t)n};
    Begin(CellTextView, sizeof(view), sizeof(uint64_t));
    memcpy(data_.data() + data_.size() - sizeof(view), view, sizeof(view));
}

void RowBuffer::AddUnreadable() { Begin(CellUnreadable, 0, 1); }

void RowBuffer::AddBlob(const BYTE* p, size_t n)
{
    Begin(CellBlob, n, 1);
    if (n)
        memcpy(data_.data() + data_.size() - n, p, n);
}

void RowBuffer::Add(const DriverValue& v)
{
    if (v.isNull) {
        if (v.unreadable)
            AddUnreadable();
        else
            AddNull();
        return;
    }
    switch (v.kind) {
    case FetchKind::Integer: AddInt(v.i); break;
    case FetchKind::Double: AddReal(v.d); break;
    case FetchKind::Text: AddText(v.text, v.textLen); break;
    case FetchKind::Binary: AddBlob(v.bytes, v.byteLen); break;
    }
}

void RowBuffer::Add(const BindValue& v)
{
    if (v.isNull) {
        AddNull();
        return;
    }
    switch (v.kind) {
    case FetchKind::Integer: AddInt(v.i); break;
    case FetchKind::Double: AddReal(v.d); break;
    case FetchKind::Text: AddText(v.text.data(), v.text.size()); break;
    case FetchKind::Binary: AddBlob(v.bytes.data(), v.bytes.size()); break;
    }
}

DriverValue RowBuffer::Get(size_t column) const
{
    size_t slot = column;
    if (sparse_) {
        // The cells' columns ascend: the one asked for, or NULL where the row has none.
        const uint8_t* columns = data_.data();
        size_t lo = 0, hi = added_;
        while (lo < hi) {
            size_t mid = (lo + hi) / 2;
            uint32_t c;
            memcpy(&c, columns + mid * sizeof(uint32_t), sizeof(c));
            if (c < column)
                lo = mid + 1;
            else
                hi = mid;
        }
        uint32_t found = 0;
        if (lo < added_)
            memcpy(&found, columns + lo * sizeof(uint32_t), sizeof(found));
        if (lo >= added_ || found != column)
            return DriverValue::Null();
        slot = lo;
    }
    if (slot >= added_)
        return DriverValue::Null();
    uint32_t start, end;
    memcpy(&start, data_.data() + offsetsAt_ + slot * sizeof(uint32_t), sizeof(start));
    memcpy(&end, data_.data() + offsetsAt_ + (slot + 1) * sizeof(uint32_t), sizeof(end));
    const uint8_t* cell = data_.data() + start;
    switch (cell[0]) {
    case CellInt: {
        long long v;
        memcpy(&v, data_.data() + end - sizeof(v), sizeof(v));
        return DriverValue::Int(v);
    }
    case CellReal: {
        double v;
        memcpy(&v, data_.data() + end - sizeof(v), sizeof(v));
        return DriverValue::Real(v);
    }
    case CellText: {
        size_t at = (start + 1 + sizeof(wchar_t) - 1) / sizeof(wchar_t) * sizeof(wchar_t);
        return DriverValue::Text((const wchar_t*)(data_.data() + at), (end - at) / sizeof(wchar_t));
    }
    case CellTextView: {
        uint64_t view[2];
        memcpy(view, data_.data() + end - sizeof(view), sizeof(view));
        return DriverValue::Text((const wchar_t*)(uintptr_t)view[0], (size_t)view[1]);
    }
    case CellBlob:
        return DriverValue::Bytes(data_.data() + start + 1, end - start - 1);
    case CellUnreadable:
        return DriverValue::Unreadable();
    default:
        return DriverValue::Null();
    }
}

long long RowBuffer::RowId() const
{
    DriverValue v = Get(0);
    if (v.isNull)
        return 0;
    if (v.kind == FetchKind::Integer)
        return v.i;
    if (v.kind == FetchKind::Double)
        return (long long)v.d;
    return 0;
}

// ---------------------------------------------------------------------------------------------

bool DescribeColumns(SQLHSTMT stmt, std::vector<ColumnMeta>* columns)
{
    columns->clear();
    SQLSMALLINT count = 0;
    if (!OdbcOk(SQLNumResultCols(stmt, &count)))
        return false;
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        ColumnMeta meta;
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameLen = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!OdbcOk(SQLDescribeColW(stmt, (SQLUSMALLINT)i, name, 256, &nameLen, &sqlType, &size,
                                    &digits, &nullable)))
            return false;
        meta.name = (const wchar_t*)name;
        meta.sqlType = sqlType;
        SQLWCHAR decl[128] = {};
        SQLSMALLINT declLen = 0;
        SQLColAttributeW(stmt, (SQLUSMALLINT)i, SQL_DESC_TYPE_NAME, decl, sizeof(decl), &declLen,
                         nullptr);
        SQLWCHAR base[256] = {};
        SQLSMALLINT baseLen = 0;
        if (OdbcOk(SQLColAttributeW(stmt, (SQLUSMALLINT)i, SQL_DESC_BASE_COLUMN_NAME, base,
                                    sizeof(base), &baseLen, nullptr)) &&
            base[0])
            meta.baseName = (const wchar_t*)base;
        else
            meta.baseName = meta.name;
        meta.type = MapOdbcType(sqlType, size, (const wchar_t*)decl);
        columns->push_back(std::move(meta));
    }
    return true;
}

SQLRETURN FetchRow(SQLHSTMT stmt, const std::vector<ColumnMeta>& columns, RowPtr* row,
                   std::vector<uint8_t>& scratch)
{
    SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA || !OdbcOk(rc))
        return rc;
    auto buffer = std::make_shared<RowBuffer>(columns.size());
    for (size_t c = 0; c < columns.size(); ++c) {
        SQLUSMALLINT col = (SQLUSMALLINT)(c + 1);
        SQLLEN ind = 0;
        switch (columns[c].type.fetch) {
        case FetchKind::Integer: {
            long long v = 0;
            rc = SQLGetData(stmt, col, SQL_C_SBIGINT, &v, sizeof(v), &ind);
            if (!OdbcOk(rc))
                return rc;
            if (ind == SQL_NULL_DATA)
                buffer->AddNull();
            else
                buffer->AddInt(v);
            break;
        }
        case FetchKind::Double: {
            double v = 0;
            rc = SQLGetData(stmt, col, SQL_C_DOUBLE, &v, sizeof(v), &ind);
            if (!OdbcOk(rc))
                return rc;
            if (ind == SQL_NULL_DATA)
                buffer->AddNull();
            else
                buffer->AddReal(v);
            break;
        }
        case FetchKind::Text:
        case FetchKind::Binary: {
            bool text = columns[c].type.fetch == FetchKind::Text;
            SQLSMALLINT ctype = text ? SQL_C_WCHAR : SQL_C_BINARY;
            size_t unit = text ? sizeof(wchar_t) : 1;
            size_t have = 0;
            bool isNull = false;
            if (scratch.size() < 1024)
                scratch.resize(1024);
            for (;;) {
                SQLLEN room = (SQLLEN)(scratch.size() - have);
                rc = SQLGetData(stmt, col, ctype, scratch.data() + have, room, &ind);
                if (rc == SQL_NO_DATA)
                    break;
                if (!OdbcOk(rc))
                    return rc;
                if (ind == SQL_NULL_DATA) {
                    isNull = true;
                    break;
                }
                if (rc == SQL_SUCCESS) {
                    have += (size_t)ind;
                    break;
                }
                // Truncated: the buffer is full except for the terminator of text.
                size_t got = (size_t)room - (text ? sizeof(wchar_t) : 0);
                got = got / unit * unit;
                have += got;
                size_t need = scratch.size() * 2;
                if (ind != SQL_NO_TOTAL && have + (size_t)ind + 16 > need)
                    need = have + (size_t)ind + 16;
                scratch.resize(need);
            }
            if (isNull)
                buffer->AddNull();
            else if (text)
                buffer->AddText((const wchar_t*)scratch.data(), have / sizeof(wchar_t));
            else
                buffer->AddBlob(scratch.data(), have);
            break;
        }
        }
    }
    *row = std::move(buffer);
    return SQL_SUCCESS;
}

namespace {

// Characters bound for a text column: a size most values fit, more for a column declared
// wider (the file does not hold its texts to their declared sizes; longer ones are read again
// whole).
size_t BoundChars(const ColumnMeta& column)
{
    long declared = column.type.definedSize;
    return declared > 255 && declared <= 1024 ? (size_t)declared : 255;
}

struct BoundColumn {
    SQLSMALLINT ctype;
    size_t width;  // bytes of one value's buffer
    uint8_t* values;
    SQLLEN* lengths;
};

}  // namespace

SQLRETURN FetchRowBlocks(SQLHSTMT stmt, const std::vector<ColumnMeta>& columns, size_t expectedRows,
                         BlockBuffers* buffers, std::vector<RowPtr>* rows, std::vector<size_t>* cut)
{
    const SQLULEN kBlock = (SQLULEN)std::min<size_t>(std::max<size_t>(expectedRows, 1), 256);
    std::vector<BoundColumn> bound(columns.size());
    size_t blockBytes = 0;
    for (size_t c = 0; c < columns.size(); ++c) {
        BoundColumn& b = bound[c];
        switch (columns[c].type.fetch) {
        case FetchKind::Integer: b.ctype = SQL_C_SBIGINT; b.width = sizeof(long long); break;
        case FetchKind::Double: b.ctype = SQL_C_DOUBLE; b.width = sizeof(double); break;
        case FetchKind::Text: b.ctype = SQL_C_WCHAR; b.width = (BoundChars(columns[c]) + 1) * sizeof(wchar_t); break;
        case FetchKind::Binary: b.ctype = SQL_C_BINARY; b.width = 256; break;
        }
        // Each column's array starts on an 8-byte boundary, as its numbers want.
        blockBytes += (b.width * kBlock + 7) / 8 * 8;
    }
    if (buffers->capacity < blockBytes) {
        buffers->bytes.reset(new (std::nothrow) uint8_t[blockBytes]);
        buffers->capacity = buffers->bytes ? blockBytes : 0;
        if (!buffers->bytes)
            return SQL_ERROR;
    }
    buffers->lengths.resize(columns.size() * kBlock);
    uint8_t* at = buffers->bytes.get();
    for (size_t c = 0; c < columns.size(); ++c) {
        bound[c].values = at;
        bound[c].lengths = buffers->lengths.data() + c * kBlock;
        at += (bound[c].width * kBlock + 7) / 8 * 8;
    }
    SQLULEN fetched = 0;
    SQLRETURN rc = SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_BIND_TYPE, (SQLPOINTER)SQL_BIND_BY_COLUMN, 0);
    if (OdbcOk(rc))
        rc = SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)kBlock, 0);
    if (OdbcOk(rc))
        rc = SQLSetStmtAttrW(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    for (size_t c = 0; c < columns.size() && OdbcOk(rc); ++c)
        rc = SQLBindCol(stmt, (SQLUSMALLINT)(c + 1), bound[c].ctype, bound[c].values,
                        (SQLLEN)bound[c].width, bound[c].lengths);
    if (!OdbcOk(rc))
        return rc;
    for (;;) {
        fetched = 0;
        rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA || !OdbcOk(rc))
            break;
        for (SQLULEN r = 0; r < fetched; ++r) {
            // Each cell takes its kind, at most one byte of padding and its payload.
            size_t cellBytes = 0;
            for (size_t c = 0; c < columns.size(); ++c) {
                const SQLLEN n = bound[c].lengths[r];
                cellBytes += 2 + (n == SQL_NULL_DATA ? 0 : n < 0 ? bound[c].width : std::min((size_t)n, bound[c].width));
            }
            auto row = std::make_shared<RowBuffer>(columns.size(), cellBytes);
            bool whole = true;
            for (size_t c = 0; c < columns.size(); ++c) {
                const BoundColumn& b = bound[c];
                SQLLEN n = b.lengths[r];
                const uint8_t* v = b.values + r * b.width;
                if (n == SQL_NULL_DATA) {
                    row->AddNull();
                    continue;
                }
                switch (columns[c].type.fetch) {
                case FetchKind::Integer: {
                    long long x;
                    memcpy(&x, v, sizeof x);
                    row->AddInt(x);
                    break;
                }
                case FetchKind::Double: {
                    double x;
                    memcpy(&x, v, sizeof x);
                    row->AddReal(x);
                    break;
                }
                case FetchKind::Text:
                case FetchKind::Binary: {
                    bool text = columns[c].type.fetch == FetchKind::Text;
                    size_t room = b.width - (text ? sizeof(wchar_t) : 0);
                    if (n >= 0 && (size_t)n <= room) {
                        if (text)
                            row->AddText((const wchar_t*)v, (size_t)n / sizeof(wchar_t));
                        else
                            row->AddBlob(v, (size_t)n);
                        break;
                    }
                    // The driver may give a text's length from its UTF-8 bytes, more than the
                    // characters it wrote: a text that ends before the buffer does is whole.
                    size_t chars = text ? wcsnlen((const wchar_t*)v, room / sizeof(wchar_t)) : room;
                    if (text && chars < room / sizeof(wchar_t)) {
                        row->AddText((const wchar_t*)v, chars);
                    } else {
                        whole = false;
                        row->AddNull();  // read again whole by the caller
                    }
                    break;
                }
                }
            }
            if (!whole)
                cut->push_back(rows->size());
            rows->push_back(std::move(row));
        }
        if (fetched < kBlock) {
            rc = SQL_NO_DATA;  // a short block is the last
            break;
        }
    }
    SQLFreeStmt(stmt, SQL_UNBIND);
    SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)1, 0);
    SQLSetStmtAttrW(stmt, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    return rc;
}

}  // namespace zdata
