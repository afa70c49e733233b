// Giving up a connection's transactions at once (not ADO). A run that holds one transaction over
// many nested ones may find that the database has ended it by itself (a trigger's
// RAISE(ROLLBACK), a full disk, an I/O error); the savepoints the layer counts are then gone, and
// rolling them back one by one would fail.
#pragma once
#include <windows.h>

namespace zdata {

class Connection;

// Rolls back whatever the database still holds and leaves the connection in autocommit with no
// transaction running. S_OK also when none was running.
HRESULT AbandonTransactions(Connection* connection);

}  // namespace zdata
