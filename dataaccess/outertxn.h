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

// After a refusal inside a transaction, its error being the connection's: the database may have
// ended the whole transaction by itself (a full disk, an I/O error, a trigger's RAISE(ROLLBACK)),
// and another program's lock refusing it makes the layer roll it back at once (a message the
// caller shows then keeps no lock on the file). Either way the unit of work is lost: what it
// sent next would run outside any transaction and be written at once (a savepoint would even
// begin a transaction of its own), so every further statement of it is refused with that
// refusal (RefuseInLostTransaction), and so are its savepoints and commits, until the caller
// rolls back. SQLite connections only.
void CheckTransactionAfterRefusal(ConnectionCore& core);
// The refusal of a statement of a lost unit of work (its error becomes the connection's), or S_OK.
HRESULT RefuseInLostTransaction(ConnectionCore& core);

}  // namespace zdata
