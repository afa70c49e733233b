// One write transaction on the database object's connection, for saves, deletes, tree edits
// and lookup value edits.
#pragma once
#include <windows.h>

#include "dataaccess/ado.h"

class CDatabase;

// Begin() starts it (a refused start shows the errors); Commit() ends it, a refused commit
// showing the errors and rolling back. A transaction that is neither committed nor rolled back
// when the guard ends is rolled back.
//
// Rows written inside a rolled-back transaction still show the written values in the cached
// rowsets, so a rollback reads again what the edit may have touched: every cached rowset
// (RequeryCachesAfterRollback) for a save or delete; for a tree edit only the tree recordset
// given, or nothing when none is given.
class WriteTransaction
{
public:
    explicit WriteTransaction(CDatabase* db) : db_(db), tree_(nullptr), requeryCaches_(true) {}
    WriteTransaction(CDatabase* db, zdata::Recordset* tree)
        : db_(db), tree_(tree), requeryCaches_(false) {}
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    bool Begin();
    bool Active() const { return active_; }
    // True when committed.
    bool Commit();
    // Rolls back; the errors go to the user unless a step has shown them already. Gives 0, the
    // failure result of the callers.
    int Fail(bool errorsShown = false);
    // Rolls back without a message; with reread unset nothing is read again (nothing was
    // written).
    void Rollback(bool reread = true);

private:
    CDatabase* db_;
    zdata::Recordset* tree_;
    bool requeryCaches_;
    bool active_ = false;
};

// After a rollback the cached rowsets edited inside the transaction still show the edits: read
// the trees, the name lists, the author list and every cached lookup table again.
void RequeryCachesAfterRollback(CDatabase* db);
