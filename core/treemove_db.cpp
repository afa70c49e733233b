// The database object's tree edits: reorder, move, reassign, rename. Each runs in one
// transaction; a refused write shows the database's errors, rolls everything back and
// re-reads the cached tree so it shows the file as it is.
#include "core/database.h"
#include "core/msgbox.h"
#include "core/rsutil.h"
#include "core/transaction.h"
#include "core/treemove.h"
#include "core/treewalk.h"
#include "core/zm_messages.h"

using zdata::Connection;
using zdata::Recordset;

namespace {

class WaitCursor
{
public:
    WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, (LPCWSTR)IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }

private:
    HCURSOR previous_;
};

void ResyncNames(Recordset* names)
{
    if (names)
        names->Resync(adAffectAll, adResyncAllValues);
}

// A parent inside one of the moved branches would close a circle of PARENT links, which every
// walk up or down the tree would then follow for ever: such a move is refused and said so.
bool RefuseMoveIntoOwnBranch(CDatabase* db, int parentId, int count, const int* ids,
                             Recordset* tree)
{
    if (!IsBelowAnyOf(parentId, count, ids, tree))
        return false;
    ZorMessageBoxRes(MessageOwner(db->MainWindow), db->Instance, IDS_DB_MOVE_INTO_OWN_BRANCH,
                     IDS_DB_ERROR_CAPTION, MB_ICONERROR);
    return true;
}

// A rename writes the item's name column and recomposes the species names or locality labels
// that depend on it; when any changed, the name list reads them again and the tree card shows
// them.
int RenameTreeItem(CDatabase* db, int id, const wchar_t* text, bool taxon)
{
    if (!db->IsOpen())
        return 0;
    Recordset* tree = taxon ? db->GetSysTreeRs() : db->GetLocTreeRs();
    if (!tree)
        return 0;
    WriteTransaction txn(db, tree);
    if (!txn.Begin())
        return 0;
    int stored = SetNodeFieldById(id, text, taxon ? 4 : 3, tree);
    if (stored < 0)
        return txn.Fail();
    if (stored == 0)
        return 0;
    RsHolder defs(taxon ? db->OpenSysDefs() : db->OpenLocDefs());
    int names = taxon ? UpdateSpeciesNames(id, tree, defs.get(), db->AdoConnection)
                      : UpdateLocalityLabels(id, tree, defs.get(), db->AdoConnection);
    if (names < 0)
        return txn.Fail(true);
    if (!txn.Commit())
        return 0;
    if (names > 0) {
        ResyncNames(taxon ? db->SpeciesNamesRs : db->FeatureNamesRs);
        if (db->MainWindow)
            SendMessageW(db->MainWindow, ZM_REFRESH_TREE_CARD, taxon ? 1 : 2, (LPARAM)id);
    }
    return 1;
}

}  // namespace

int CDatabase::ReorderSysItem(int id, int position)
{
    if (!IsOpen())
        return 0;
    Recordset* tree = GetSysTreeRs();
    if (!tree)
        return 0;
    WaitCursor wait;
    WriteTransaction txn(this, tree);
    if (!txn.Begin())
        return 0;
    int reordered = ReorderSiblings(id, position, tree);
    if (reordered < 0)
        return txn.Fail();
    if (reordered > 0) {
        RsHolder defs(OpenSysDefs());
        if (FAILED(SpreadAbsolutePositions(id, tree, defs.get(), AdoConnection)))
            return txn.Fail();
    }
    if (!txn.Commit())
        return 0;
    ResyncNames(SpeciesNamesRs);
    if (MainWindow)
        SendMessageW(MainWindow, ZM_RESELECT_SYS_ITEM, (WPARAM)position, (LPARAM)id);
    return 1;
}

int CDatabase::MoveSysItems(int parentId, int count, const int* ids)
{
    if (!IsOpen())
        return 0;
    Recordset* tree = GetSysTreeRs();
    if (!tree || count <= 0 || !ids || RefuseMoveIntoOwnBranch(this, parentId, count, ids, tree))
        return 0;
    WriteTransaction txn(this, tree);
    if (!txn.Begin())
        return 0;
    int moved = MoveSysItemsToParent(parentId, count, ids, tree);
    if (moved < 0)
        return txn.Fail();
    if (moved == 0)
        return 0;
    // The walks below take siblings in rowset order, which must be the new positions' order.
    tree->Requery();
    WaitCursor wait;
    RsHolder defs(OpenSysDefs());
    if (FAILED(SpreadAbsolutePositions(parentId, tree, defs.get(), AdoConnection)))
        return txn.Fail();
    int names = UpdateSpeciesNames(parentId, tree, defs.get(), AdoConnection);
    if (names < 0)
        return txn.Fail(true);
    for (int i = 0; i < count; ++i)
        if (ids[i] != parentId
            && FAILED(RewriteSubtreeLevelColumns(ids[i], tree, L"SYS_LEVEL_%d", AdoConnection)))
            return txn.Fail();
    if (!txn.Commit())
        return 0;
    if (names > 0)
        ResyncNames(SpeciesNamesRs);
    return 1;
}

int CDatabase::MoveLocItems(int parentId, int count, const int* ids)
{
    if (!IsOpen())
        return 0;
    Recordset* tree = GetLocTreeRs();
    if (!tree || count <= 0 || !ids || RefuseMoveIntoOwnBranch(this, parentId, count, ids, tree))
        return 0;
    WriteTransaction txn(this, tree);
    if (!txn.Begin())
        return 0;
    int moved = MoveLocItemsToParent(parentId, count, ids, tree);
    if (moved < 0)
        return txn.Fail();
    if (moved == 0)
        return 0;
    tree->Requery();
    WaitCursor wait;
    RsHolder defs(OpenLocDefs());
    int labels = UpdateLocalityLabels(parentId, tree, defs.get(), AdoConnection);
    if (labels < 0)
        return txn.Fail(true);
    for (int i = 0; i < count; ++i) {
        if (ids[i] == parentId)
            continue;
        // The moved items' own labels name their new parent; their children's the new
        // grandparent.
        int own = UpdateLocalityLabels(ids[i], tree, defs.get(), AdoConnection);
        if (own < 0)
            return txn.Fail(true);
        labels = labels > 0 ? labels : own;
        if (FAILED(RewriteSubtreeLevelColumns(ids[i], tree, L"LOC_LEVEL_%d", AdoConnection)))
            return txn.Fail();
    }
    if (!txn.Commit())
        return 0;
    if (labels > 0)
        ResyncNames(FeatureNamesRs);
    return 1;
}

int CDatabase::MoveRecords(int targetId, int kind, int count, const int* recordIds)
{
    if (count <= 0 || !recordIds || !IsOpen())
        return 0;
    Recordset* tree = kind == 1 ? GetSysTreeRs() : GetLocTreeRs();
    WriteTransaction txn(this, nullptr);
    if (!txn.Begin())
        return 0;
    if (FAILED(ReassignRecords(targetId, count, recordIds, kind, tree, AdoConnection)))
        return txn.Fail();
    if (!txn.Commit())
        return 0;
    RequeryIfOpen({TaxonRecordsRs, LocalityRecordsRs, SearchRecordsRs});
    return 1;
}

int CDatabase::RenameSysItem(int id, const wchar_t* text)
{
    return RenameTreeItem(this, id, text, true);
}

int CDatabase::RenameLocItem(int id, const wchar_t* text)
{
    return RenameTreeItem(this, id, text, false);
}
