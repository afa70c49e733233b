// The outermost transaction of a connection (not ADO; nested ones are savepoints inside it).
//
// The SQLite driver's own transactions begin deferred: the file's lock is asked for only by the
// first statement that needs it, and while another program holds the file every statement after
// that waits for it again, each up to the busy timeout, so an edit of many statements kept the
// window waiting for as long as the other program held the file. An SQLite connection therefore
// runs its own BEGIN, COMMIT and ROLLBACK with the driver left in autocommit: a writable one
// begins IMMEDIATE, taking the lock at the begin or failing there within the busy timeout, with
// nothing written; a read-only one begins deferred (it may not ask for the write lock). The other
// kinds keep the driver's transactions (autocommit off).
#pragma once
#include <windows.h>

namespace zdata {

struct ConnectionCore;

// The engine's own busy handler with the connection's timeout, in place of the driver's, while a
// transaction runs (its commit takes it away and a refused one gives it back). Outside one the
// connection runs without it: a statement the file's lock refuses (a read, mostly) then waits the
// timeout once, in the driver's retries, instead of the handler's wait and then the driver's.
// SQLite connections only.
void UseEngineBusyHandler(ConnectionCore& core);
void UseNoEngineBusyHandler(ConnectionCore& core);

// Each runs under the connection's lock; a refusal becomes the connection's error.
HRESULT BeginOutermost(ConnectionCore& core);
// A refused commit leaves the transaction running, for the caller's rollback.
HRESULT CommitOutermost(ConnectionCore& core);
// A refused rollback (the database has ended the transaction by itself) ends it all the same.
HRESULT RollBackOutermost(ConnectionCore& core);
// Rolls back whatever the database still holds, leaving the connection's errors alone.
void AbandonOutermost(ConnectionCore& core);

}  // namespace zdata
