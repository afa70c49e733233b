#include "dataaccess/stmtcache.h"
#include "dataaccess/odbccore.h"

namespace zdata {

namespace {

// Idle handles kept at most: texts with their values written in (each run a new text) would
// otherwise gather without end. When full, the cache starts over; the texts run again and
// again are prepared anew once.
const size_t kMaxIdle = 64;

}  // namespace

SQLHSTMT StatementCache::Take(const std::wstring& sql)
{
    auto found = handles_.find(sql);
    if (found == handles_.end() || found->second.empty())
        return SQL_NULL_HSTMT;
    SQLHSTMT h = found->second.back();
    found->second.pop_back();
    --idle_;
    return h;
}

void StatementCache::GiveBack(const std::wstring& sql, SQLHSTMT h, unsigned takenIn)
{
    if (h == SQL_NULL_HSTMT)
        return;
    if (takenIn != generation_) {
        SQLFreeHandle(SQL_HANDLE_STMT, h);
        return;
    }
    if (idle_ >= kMaxIdle)
        Clear();
    handles_[sql].push_back(h);
    ++idle_;
}

void StatementCache::Clear()
{
    for (auto& entry : handles_)
        for (SQLHSTMT h : entry.second)
            SQLFreeHandle(SQL_HANDLE_STMT, h);
    handles_.clear();
    idle_ = 0;
    ++generation_;
}

bool CachedStmt::Take(ConnectionCore& core, const std::wstring& sql, bool keep)
{
    Release();
    timer_.Start(L"", sql);
    core_ = &core;
    failed_ = false;
    if (core.dbc == SQL_NULL_HDBC)
        return false;
    // The Access driver runs what it is given as it stands and keeps nothing prepared.
    direct_ = core.passThrough || !keep;
    if (direct_) {
        sql_ = &sql;
        return OdbcOk(SQLAllocHandle(SQL_HANDLE_STMT, core.dbc, &h));
    }
    generation_ = core.statements.Generation();
    h = core.statements.Take(sql);
    if (h != SQL_NULL_HSTMT) {
        sql_ = &sql;
        return true;
    }
    if (!OdbcOk(SQLAllocHandle(SQL_HANDLE_STMT, core.dbc, &h))) {
        h = SQL_NULL_HSTMT;
        return false;
    }
    sql_ = &sql;
    if (!OdbcOk(SQLPrepareW(h, (SQLWCHAR*)sql.c_str(), SQL_NTS))) {
        failed_ = true;
        return false;
    }
    return true;
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
    return core_->FailOdbc(SQL_HANDLE_STMT, h, fallback);
}

void CachedStmt::Release()
{
    timer_.Stop();
    if (h == SQL_NULL_HSTMT)
        return;
    // A handle that could not be prepared, or not be closed, is not kept.
    if (direct_ || failed_ || !core_ || core_->dbc == SQL_NULL_HDBC || !OdbcOk(SQLFreeStmt(h, SQL_CLOSE)) ||
        !OdbcOk(SQLFreeStmt(h, SQL_RESET_PARAMS)))
        SQLFreeHandle(SQL_HANDLE_STMT, h);
    else
        core_->statements.GiveBack(*sql_, h, generation_);
    h = SQL_NULL_HSTMT;
}

}  // namespace zdata
