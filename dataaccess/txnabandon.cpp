#include "dataaccess/txnabandon.h"

#include "dataaccess/ado.h"
#include "dataaccess/odbccore.h"

namespace zdata {

HRESULT AbandonTransactions(Connection* connection)
{
    std::shared_ptr<ConnectionCore> core = connection->Core();
    std::lock_guard<std::recursive_mutex> hold(core->lock);
    if (!core->IsOpen())
        return core->NotOpen();
    if (core->transactionLevel == 0)
        return S_OK;
    core->SchemaChanged();
    // When the database has rolled back already, the driver's ROLLBACK fails and the driver
    // still counts a transaction (and would then refuse to disconnect): a transaction is begun
    // for it to end.
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, core->dbc, SQL_ROLLBACK))) {
        SQLHSTMT st = SQL_NULL_HSTMT;
        if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, core->dbc, &st))) {
            SQLExecDirectW(st, (SQLWCHAR*)L"BEGIN", SQL_NTS);
            SQLFreeHandle(SQL_HANDLE_STMT, st);
        }
        SQLEndTran(SQL_HANDLE_DBC, core->dbc, SQL_ROLLBACK);
    }
    SQLSetConnectAttrW(core->dbc, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_ON, SQL_IS_UINTEGER);
    core->transactionLevel = 0;
    core->TransactionEnded();
    core->TransactionSettings(false);
    return S_OK;
}

}  // namespace zdata
