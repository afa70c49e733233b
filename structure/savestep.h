// One step of a structure save (the levels of one tree, or the attributes of one table) is all
// or nothing: it runs in a transaction of its own, and when any of its statements or row writes
// is refused, or the user asked to stop, it rolls back and its list gets back exactly what it
// held (the same entry objects, in the same order, with their states and numbers), so that the
// pages' items stay valid and the next save tries the same changes again.
//
// A step called inside a transaction that is already running (the structure save and an import
// run the steps inside their own) nests in it: the layer makes the step's transaction a
// savepoint, which rolls back alone and whose work stays only if the outer transaction commits.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "structure/structmodel.h"

class CSchemaDb;

// What a step reports while it works, and whether it is to stop (null: nothing reported).
class StepProgress {
public:
    virtual ~StepProgress() = default;
    // The part of the step done so far, 0 to 1.
    virtual void Advance(double done) = 0;
    // True when the user asked to stop: the step then rolls back instead of committing.
    virtual bool Cancelled() = 0;
    // True when the caller holds the lists as they were before its own transaction (the
    // structure save): a rollback of that transaction puts back the entries a step took out, so
    // the caller frees them once everything is committed, not the step.
    virtual bool CallerHoldsLists() { return false; }
};

inline void ReportStep(StepProgress* progress, double done)
{
    if (progress)
        progress->Advance(done);
}

// Runs a statement of a step on the schema object's connection, with '?' markers bound to the
// values in order; a refusal shows the connection's errors (owned by owner). affected, when
// given, receives the number of rows changed.
bool RunStepStatement(CSchemaDb* db, HWND owner, const std::wstring& sql,
                      const std::vector<VARIANT>& values = {}, long* affected = nullptr);

// The step's transaction on the schema object's connection. A refused begin or commit shows
// the connection's errors (owned by owner); one neither committed nor rolled back when the
// object ends is rolled back.
class StepTransaction {
public:
    StepTransaction(CSchemaDb* db, HWND owner);
    ~StepTransaction();
    StepTransaction(const StepTransaction&) = delete;
    StepTransaction& operator=(const StepTransaction&) = delete;

    bool Active() const { return active_; }
    // True when committed; a refused commit has rolled back.
    bool Commit();
    void Rollback();

private:
    CSchemaDb* db_;
    HWND owner_;
    bool active_ = false;
};

// What a list held when its step (or the whole save) began. The step may reorder it and take
// entries out (with ItemListDetachAt, not freeing them); Restore puts everything back as it was,
// Keep frees the entries that were taken out for good, Forget leaves them to a snapshot of the
// caller's that holds them too.
class ListSnapshot {
public:
    explicit ListSnapshot(ItemList* list);
    ~ListSnapshot() = default;
    ListSnapshot(const ListSnapshot&) = delete;
    ListSnapshot& operator=(const ListSnapshot&) = delete;

    void Restore();
    void Keep();
    void Forget();

private:
    struct Fields {
        int State;
        int A;  // OrigLevelId, or an attribute's Position
        int B;  // NewLevelId
    };
    ItemList* list_;
    std::vector<void*> items_;
    std::vector<Fields> fields_;
};

// Ends a step: a Storno pressed meanwhile fails it; a step still good is committed, any other
// rolled back. A failed step puts its list back as it was; a good one reports the step done and
// frees what it took out of the list (unless the caller holds the lists). True when the step's
// work stands (inside a caller's transaction: until that one ends).
bool FinishStep(bool ok, StepTransaction* transaction, ListSnapshot* snapshot, StepProgress* progress);
