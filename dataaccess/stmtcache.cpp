#include "dataaccess/stmtcache.h"

#include <cstring>

#include "dataaccess/odbccore.h"

namespace zdata {

namespace {

// Idle handles kept at most: texts with their values written in (each run a new text) would
// otherwise gather without end. When full, the cache starts over; the texts run again and
// again are prepared anew once.
const size_t kMaxIdle = 64;

// A text buffer grows to at least this many characters, so that texts of a column's usual
// lengths share one binding.
const size_t kTextCapacity = 64;

}  // namespace

SQLRETURN BoundParameters::Bind(SQLHSTMT h, const std::vector<BindValue>& values)
{
    while (slots_.size() < values.size())
        slots_.push_back(std::make_unique<Slot>());
    for (size_t k = 0; k < values.size(); ++k) {
        const BindValue& v = values[k];
        Slot& s = *slots_[k];
        if (v.isNull) {
            s.indicator = SQL_NULL_DATA;
            if (s.cType)
                continue;  // any binding carries a NULL through its indicator
        }
        SQLSMALLINT cType = v.isNull ? SQL_C_SBIGINT : v.CType();
        SQLSMALLINT sqlType = v.isNull ? SQL_BIGINT : v.SqlType();
        bool rebind = false;
        SQLPOINTER data = &s.i;
        SQLULEN columnSize = 0;
        SQLLEN bufferLength = 0;
        if (!v.isNull) {
            switch (v.kind) {
            case FetchKind::Integer:
                s.i = v.i;
                s.indicator = sizeof(s.i);
                columnSize = 19;
                break;
            case FetchKind::Double:
                s.d = v.d;
                s.indicator = sizeof(s.d);
                data = &s.d;
                columnSize = 15;
                break;
            case FetchKind::Text:
                if (s.text.size() < v.text.size() + 1) {
                    s.text.resize(std::max(v.text.size() + 1, std::max(kTextCapacity, s.text.size() * 2)));
                    rebind = true;
                }
                std::memcpy(s.text.data(), v.text.data(), v.text.size() * sizeof(wchar_t));
                s.indicator = (SQLLEN)(v.text.size() * sizeof(wchar_t));
                data = s.text.data();
                columnSize = s.text.size() - 1;
                bufferLength = (SQLLEN)((s.text.size() - 1) * sizeof(wchar_t));
                break;
            case FetchKind::Binary:
                // The driver stores the whole bound buffer of a binary value, whatever its
                // indicator says: its binding follows its size.
                if (s.bytes.size() != v.bytes.size() + 1) {
                    s.bytes.resize(v.bytes.size() + 1);
                    rebind = true;
                }
                if (!v.bytes.empty())
                    std::memcpy(s.bytes.data(), v.bytes.data(), v.bytes.size());
                s.indicator = (SQLLEN)v.bytes.size();
                data = s.bytes.data();
                columnSize = v.bytes.empty() ? 1 : v.bytes.size();
                bufferLength = (SQLLEN)v.bytes.size();
                break;
            }
        }
        if (!rebind && s.cType == cType && s.sqlType == sqlType)
            continue;
        SQLRETURN rc = SQLBindParameter(h, (SQLUSMALLINT)(k + 1), SQL_PARAM_INPUT, cType, sqlType, columnSize, 0,
                                        data, bufferLength, &s.indicator);
        if (!OdbcOk(rc)) {
            s.cType = 0;
            return rc;
        }
        s.cType = cType;
        s.sqlType = sqlType;
    }
    return SQL_SUCCESS;
}

StatementCache::Entry StatementCache::Take(const std::wstring& sql)
{
    auto found = handles_.find(sql);
    if (found == handles_.end() || found->second.empty())
        return Entry();
    Entry entry = std::move(found->second.back());
    found->second.pop_back();
    --idle_;
    return entry;
}

void StatementCache::GiveBack(const std::wstring& sql, Entry entry, unsigned takenIn)
{
    if (entry.h == SQL_NULL_HSTMT)
        return;
    if (takenIn != generation_) {
        SQLFreeHandle(SQL_HANDLE_STMT, entry.h);
        return;
    }
    if (idle_ >= kMaxIdle)
        Clear();
    handles_[sql].push_back(std::move(entry));
    ++idle_;
}

void StatementCache::Clear()
{
    for (auto& texts : handles_)
        for (Entry& entry : texts.second)
            SQLFreeHandle(SQL_HANDLE_STMT, entry.h);
    handles_.clear();
    idle_ = 0;
    ++generation_;
}

bool CachedStmt::Take(ConnectionCore& core, const std::wstring& sql, bool keep)
{
    Release();
    timer_.Start(L"", sql);
    core_ = &core;
    sql_ = &sql;
    failed_ = false;
    if (core.dbc == SQL_NULL_HDBC)
        return false;
    // The Access driver runs what it is given as it stands and keeps nothing prepared.
    direct_ = core.passThrough || !keep;
    if (direct_)
        return OdbcOk(SQLAllocHandle(SQL_HANDLE_STMT, core.dbc, &h));
    generation_ = core.statements.Generation();
    StatementCache::Entry entry = core.statements.Take(sql);
    if (entry.h != SQL_NULL_HSTMT) {
        h = entry.h;
        parameters_ = std::move(entry.parameters);
        rows_ = entry.rows;
        return true;
    }
    if (!OdbcOk(SQLAllocHandle(SQL_HANDLE_STMT, core.dbc, &h))) {
        h = SQL_NULL_HSTMT;
        return false;
    }
    if (!OdbcOk(SQLPrepareW(h, (SQLWCHAR*)sql.c_str(), SQL_NTS))) {
        failed_ = true;
        return false;
    }
    SQLSMALLINT columns = 1;
    rows_ = !OdbcOk(SQLNumResultCols(h, &columns)) || columns > 0;
    return true;
}

SQLRETURN CachedStmt::Bind(const std::vector<BindValue>& values)
{
    if (!parameters_)
        parameters_ = std::make_unique<BoundParameters>();
    SQLRETURN rc = parameters_->Bind(h, values);
    // A handle whose binding broke halfway is not kept.
    if (!OdbcOk(rc))
        failed_ = true;
    return rc;
}

SQLRETURN CachedStmt::Execute()
{
    // A run refused by the data (a duplicate key, a trigger) leaves the prepared statement as
    // good as before: closed, it is run again (an import offers every value of a list this way).
    return direct_ ? SQLExecDirectW(h, (SQLWCHAR*)sql_->c_str(), SQL_NTS) : SQLExecute(h);
}

HRESULT CachedStmt::Fail(const std::wstring& fallback)
{
    if (!core_)
        return E_FAIL;
    if (h == SQL_NULL_HSTMT)
        return core_->NoStatement();
    return core_->FailOdbc(SQL_HANDLE_STMT, h, fallback, sql_ && OnlyReads(*sql_));
}

void CachedStmt::Release()
{
    timer_.Stop();
    if (h == SQL_NULL_HSTMT) {
        parameters_.reset();
        return;
    }
    // A handle that could not be prepared, or not be closed, is not kept; a kept one keeps its
    // parameters bound.
    if (direct_ || failed_ || !core_ || core_->dbc == SQL_NULL_HDBC || (rows_ && !OdbcOk(SQLFreeStmt(h, SQL_CLOSE)))) {
        SQLFreeHandle(SQL_HANDLE_STMT, h);
        parameters_.reset();
    } else {
        StatementCache::Entry entry;
        entry.h = h;
        entry.parameters = std::move(parameters_);
        entry.rows = rows_;
        core_->statements.GiveBack(*sql_, std::move(entry), generation_);
    }
    h = SQL_NULL_HSTMT;
}

}  // namespace zdata
