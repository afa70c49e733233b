#include "dataaccess/outertxn.h"

#include <string>

#include "dataaccess/odbccore.h"
#include "dataaccess/refusals.h"

namespace zdata {

namespace {

bool OwnStatements(const ConnectionCore& core) { return !core.beginStatement.empty(); }

void RunQuietly(ConnectionCore& core, const std::wstring& sql)
{
    Stmt st;
    if (st.Alloc(core))
        SQLExecDirectW(st.h, (SQLWCHAR*)sql.c_str(), SQL_NTS);
}

SQLRETURN SetAutocommit(ConnectionCore& core, bool on)
{
    ULONG_PTR value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    return SQLSetConnectAttrW(core.dbc, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)value, SQL_IS_UINTEGER);
}

// The driver retries a statement the file's lock refused for up to its busy timeout, after the
// engine's busy handler has waited as long already: a commit would wait twice the timeout.
// Without the engine's handler, which the transaction's end leaves off, the driver's retries
// alone wait.
HRESULT RunEndingTransaction(ConnectionCore& core, const std::wstring& sql, const wchar_t* failure)
{
    UseNoEngineBusyHandler(core);
    return RunOwnStatement(core, sql, failure);
}

// Whether the engine still runs a transaction: a BEGIN is refused inside one; one that runs found
// none, and is ended again.
bool TransactionStands(ConnectionCore& core)
{
    Stmt st;
    if (!st.Alloc(core))
        return true;
    SQLRETURN rc = SQLExecDirectW(st.h, (SQLWCHAR*)L"BEGIN", SQL_NTS);
    if (!OdbcOk(rc) && rc != SQL_NO_DATA)
        return true;
    RunQuietly(core, L"ROLLBACK");
    return false;
}

}  // namespace

void CheckTransactionAfterRefusal(ConnectionCore& core)
{
    if (core.transactionLevel == 0 || core.transactionLostBy || !OwnStatements(core) || core.dbc == SQL_NULL_HDBC)
        return;
    std::vector<Error*> items = core.errors->Items();
    Error* reason = nullptr;
    bool othersLock = false;
    for (Error* e : items) {
        othersLock = othersLock || e->Refusal() == RefusalKind::Locked;
        if (!reason)
            reason = e;
        else
            e->Release();
    }
    if (!reason)
        return;
    if (othersLock)
        RunQuietly(core, L"ROLLBACK");
    else if (TransactionStands(core)) {
        reason->Release();
        return;
    }
    core.transactionLostBy = reason;
    // Whatever the transaction changed in the schema is gone with it.
    core.SchemaChanged();
}

HRESULT RefuseInLostTransaction(ConnectionCore& core)
{
    if (!core.transactionLostBy)
        return S_OK;
    core.transactionLostBy->AddRef();
    core.errors->Replace({core.transactionLostBy});
    return E_FAIL;
}

void UseEngineBusyHandler(ConnectionCore& core)
{
    RunQuietly(core, L"PRAGMA busy_timeout=" + std::to_wstring(core.lockTimeoutMs));
}

void UseNoEngineBusyHandler(ConnectionCore& core)
{
    RunQuietly(core, L"PRAGMA busy_timeout=0");
}

HRESULT BeginOutermost(ConnectionCore& core)
{
    if (OwnStatements(core)) {
        // Outside a transaction the engine's handler is off: the begin waits the timeout once.
        HRESULT hr = RunOwnStatement(core, core.beginStatement, L"Transakci nelze zahájit.");
        if (SUCCEEDED(hr))
            UseEngineBusyHandler(core);
        return hr;
    }
    if (!OdbcOk(SetAutocommit(core, false)))
        return core.FailOdbc(SQL_HANDLE_DBC, core.dbc, L"Transakci nelze zahájit.");
    return S_OK;
}

HRESULT CommitOutermost(ConnectionCore& core)
{
    HRESULT lost = RefuseInLostTransaction(core);
    if (FAILED(lost))
        return lost;
    if (OwnStatements(core)) {
        // A refused commit leaves the transaction running, unless the refusal ended it.
        HRESULT hr = RunEndingTransaction(core, L"COMMIT", L"Transakci nelze potvrdit.");
        if (FAILED(hr) && !core.transactionLostBy)
            UseEngineBusyHandler(core);
        return hr;
    }
    if (!OdbcOk(SQLEndTran(SQL_HANDLE_DBC, core.dbc, SQL_COMMIT)))
        return core.FailOdbc(SQL_HANDLE_DBC, core.dbc, L"Transakci nelze potvrdit.");
    SetAutocommit(core, true);
    return S_OK;
}

HRESULT RollBackOutermost(ConnectionCore& core)
{
    // A lost transaction has been rolled back already: its unit of work is not in the file.
    if (core.transactionLostBy) {
        UseNoEngineBusyHandler(core);
        return S_OK;
    }
    if (OwnStatements(core))
        return RunEndingTransaction(core, L"ROLLBACK", L"Transakci nelze vrátit zpět.");
    HRESULT hr = S_OK;
    if (!OdbcOk(SQLEndTran(SQL_HANDLE_DBC, core.dbc, SQL_ROLLBACK)))
        hr = core.FailOdbc(SQL_HANDLE_DBC, core.dbc, L"Transakci nelze vrátit zpět.");
    SetAutocommit(core, true);
    return hr;
}

void AbandonOutermost(ConnectionCore& core)
{
    if (OwnStatements(core)) {
        RunQuietly(core, L"ROLLBACK");
        UseNoEngineBusyHandler(core);
        return;
    }
    // When the database has rolled back already, the driver's ROLLBACK fails and the driver
    // still counts a transaction (and would then refuse to disconnect): a transaction is begun
    // for it to end.
    if (!OdbcOk(SQLEndTran(SQL_HANDLE_DBC, core.dbc, SQL_ROLLBACK))) {
        RunQuietly(core, L"BEGIN");
        SQLEndTran(SQL_HANDLE_DBC, core.dbc, SQL_ROLLBACK);
    }
    SetAutocommit(core, true);
}

}  // namespace zdata
