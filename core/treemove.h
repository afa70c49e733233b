// Walks over the cached tree recordsets (SYSTREE / LOCTREE) and the writes that keep sibling
// positions, species order, composed names, locality labels and the records' level path columns
// right when items are reordered, moved, renamed or records reassigned.
//
// Every walk works by setting the tree recordset's Filter ("ID = %d" or "PARENT = %d") and leaves
// it as the last step set it; every user of these recordsets sets its own Filter first.
// Tree recordsets are "SELECT * FROM SYSTREE/LOCTREE ..." (ordinals: 0 ID, 1 PARENT, 2 level,
// SYSTREE 3 SYSPOS and 4 NAME, LOCTREE 3 NAME); level recordsets are SYSDEF / LOCDEF (0 LEVELID,
// 2 the data-level flag). None of these functions begins or ends a transaction: the caller
// (the database object) runs them inside its own.
#pragma once
#include <windows.h>
#include "dataaccess/ado.h"

// A growable list of item ids: malloc'd, room for 32 ids at first, grown by 32.
struct IdList
{
    int* Items;
    int Count;
    int Capacity;
};
void InitIdList(IdList* list);
void AddToIdList(IdList* list, int id);
void FreeIdList(IdList* list);

// Moves the recordset to the row whose column (idField, normally ordinal 0) equals the id,
// searching forward from the current row and once more from the first row. True when found
// (the row is current then).
bool LocateRecordById(int id, zdata::Field* idField, zdata::Recordset* rs);
// Index of the first entry equal to the value; -1 when absent.
int IndexOfInt(int value, int count, const int* values);
// Filter "PARENT = %d" and MoveFirst; true when the parent has a child.
bool SetParentFilter(int parentId, zdata::Recordset* tree);
// The item's parent id, with the Filter set to the item's siblings (the item included) and
// *position (when given) its ordinal-3 value; -1 when the item does not exist.
int FilterToSiblings(int id, zdata::Recordset* tree, int* position = nullptr);
// Puts a taxon before the first sibling whose SYSPOS was >= position (last when none) and
// renumbers the siblings 1..n; requeries the recordset. 1 done, 0 when the item is missing,
// -1 when a write was refused (the caller rolls back).
int ReorderSiblings(int id, int position, zdata::Recordset* sysTree);

// Tree order: parents before children, siblings in recordset order.
int PrevNodeId(int id, zdata::Recordset* tree);
int NextNodeId(int id, zdata::Recordset* tree);
// The data-level flag of the item's level (0 for a missing item or level).
int IsDataItem(int id, zdata::Recordset* tree, zdata::Recordset* levels);
// The ids of the item's children in recordset order into a malloc'd array (*ids, null when
// none; the caller frees it); their number.
int GetChildIds(int id, zdata::Recordset* tree, int** ids);
int FirstDataItemInSubtree(int id, zdata::Recordset* tree, zdata::Recordset* levels);
int LastDataItemInSubtree(int id, zdata::Recordset* tree, zdata::Recordset* levels);
// The data item before / after the item's subtree in tree order; -1 when none.
int PrecedingDataItemId(int id, zdata::Recordset* tree, zdata::Recordset* levels);
int FollowingDataItemId(int id, zdata::Recordset* tree, zdata::Recordset* levels);
// Every data item of the subtree in pre-order.
void CollectDataItems(int id, zdata::Recordset* tree, zdata::Recordset* levels, IdList* list);
// The item (when a data item) and the subtrees of its data-item children: the items whose
// composed name depends on the item's name.
void CollectDataSubtree(int id, zdata::Recordset* tree, zdata::Recordset* levels, IdList* list);

// SPECIES.ABSOLUTEPOS of a taxon; 0 when missing or not a number.
double GetSpeciesAbsolutePos(int sysId, zdata::Connection* connection);
// Writes the position at full precision.
HRESULT SetSpeciesAbsolutePos(int sysId, double value, zdata::Connection* connection);
// Gives the data items of the subtree evenly spaced positions between the species before and
// after it (above the one before when the one after has none, or a lower one).
HRESULT SpreadAbsolutePositions(int id, zdata::Recordset* sysTree, zdata::Recordset* levels,
                                zdata::Connection* connection);

// Filter "ID = %d" and writes the text into the ordinal; 1 stored, 0 when there is no such
// row, -1 when the write was refused (cancelled; the connection holds the errors).
int SetNodeFieldById(int id, const wchar_t* text, long ordinal, zdata::Recordset* tree);

// Stores the composed name of one taxon in its SPECIES row (NULL when empty). 1 stored,
// 0 when the taxon has no SPECIES row, -1 when refused (the errors are shown, no owner).
int UpdateSpeciesName(int sysId, zdata::Recordset* sysTree, const int* nameLevels, int count,
                      zdata::Connection* connection);
// Recomposes the names of the item and of the data items whose names depend on it
// (CollectDataSubtree). 1 when there were such items, 0 when none, -1 when a name was refused.
int UpdateSpeciesNames(int id, zdata::Recordset* sysTree, zdata::Recordset* sysDefs,
                       zdata::Connection* connection);
// The same for locality labels (FEATURES.NAME). The FEATURES recordset is "SELECT * FROM
// FEATURES ..." holding the item's row; it is left filtered to it.
int UpdateLocalityLabel(int locId, zdata::Recordset* locTree, zdata::Recordset* features,
                        zdata::Connection* connection);
int UpdateLocalityLabels(int id, zdata::Recordset* locTree, zdata::Recordset* locDefs,
                         zdata::Connection* connection);

// True when the item lies strictly below one of the ids: one of them is on its PARENT chain.
// A chain that breaks or runs in a circle ends the walk (false). The Filter is left at the last
// id looked up.
bool IsBelowAnyOf(int id, int count, const int* ids, zdata::Recordset* tree);

// Sets PARENT of each existing item to the parent (taxa also get SYSPOS after the parent's
// highest one, in the given order). The number moved, or -1 when a write was refused.
int MoveSysItemsToParent(int parentId, int count, const int* ids, zdata::Recordset* sysTree);
int MoveLocItemsToParent(int parentId, int count, const int* ids, zdata::Recordset* locTree);

// Rewrites the level path columns ("SYS_LEVEL_%d" / "LOC_LEVEL_%d") of every record whose
// item (SYSID / FTRID, by the format) lies in the item's subtree, from the tree. Columns of
// levels off an item's path become NULL.
HRESULT RewriteSubtreeLevelColumns(int id, zdata::Recordset* tree, const wchar_t* format,
                                   zdata::Connection* connection);
// Gives the records the target item (kind 1 SYSID, else FTRID) and the target's level path in
// the same statement. S_OK, or the failure (the connection holds the errors).
HRESULT ReassignRecords(int targetId, int count, const int* recordIds, int kind,
                        zdata::Recordset* tree, zdata::Connection* connection);
