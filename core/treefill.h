// Tree views filled lazily from the tree recordsets (SYSTREE, LOCTREE): inserting rows as items
// with their TreeItemData, freeing that data, id paths, finding and sorting items, and the
// display name of a species.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "core/containers.h"
#include "core/leveldefs.h"
#include "dataaccess/ado.h"

// Window property of a tree view: while it is nonzero, FillTreeChildren inserts nothing (set
// while the tree is being cleared, so expansion handlers do not refill it).
extern const wchar_t kNoExpandProp[];  // "NoExpand"

// The TreeItemData of an item (its lParam); null for none.
TreeItemData* GetTreeItemData(HWND tree, HTREEITEM item);
// The label of an item (at most 127 characters).
std::wstring GetTreeItemString(HWND tree, HTREEITEM item);

// Inserts the current row of a tree recordset below the parent as a new item with new
// TreeItemData: column 0 the id, column 2 the level, column 3 the position when the name column
// lies beyond it, three icon columns from firstIconColumn (32 x 32, 16 x 16, 16 x 16 selected).
// Image lists are given only together with a level cache; a row without its own icon takes its
// level's index. Every new item shows an expand button until its children are known.
HTREEITEM InsertTreeItemFromRecord(HWND tree, HTREEITEM parent, HTREEITEM insertAfter,
                                   TreeItemData* parentData, HIMAGELIST largeImages,
                                   HIMAGELIST smallImages, const CPtrArray* levelCache,
                                   zdata::Fields* fields, int nameColumn, int firstIconColumn);

// Inserts every row of the recordset (filtered by the caller to one parent's children) below
// the parent item. With parent data, records the child count and marks the children loaded;
// a parent without children loses its expand button. Nothing happens under "NoExpand".
void FillTreeChildren(HWND tree, HTREEITEM parent, TreeItemData* parentData,
                      HIMAGELIST largeImages, HIMAGELIST smallImages, const CPtrArray* levelCache,
                      zdata::Recordset* rs, int nameColumn, int firstIconColumn);

// Frees the data of every child and all their descendants; with deleteItems set, deletes the
// children as well.
void DeleteTreeChildren(HWND tree, HTREEITEM item, int deleteItems);
// Frees the item's own data and that of its subtree; the items stay (their lParam is cleared).
void FreeTreeItemData(HWND tree, HTREEITEM item);
// Frees all item data and deletes all items.
void ClearTree(HWND tree);
// Shows the children of a tree item in a list view; the list items borrow the TreeItemData.
void TreeChildrenToList(HWND tree, HWND list, HTREEITEM item);

// The ids from an item up to its top-level ancestor, then 0 (just 0 for an id that is not in
// the recordset). The recordset's Filter is left at the last id looked up.
void BuildIdPath(CIntArray* path, int startId, zdata::Recordset* treeRs);
// The direct child of the parent (of the root for null) with the id; 0 (and null data) when none.
HTREEITEM FindTreeChildById(int id, HWND tree, HTREEITEM parent, TreeItemData** data);
// Expands along a path made by BuildIdPath and selects its first entry's item.
void SelectTreePath(HWND tree, const CIntArray* path);
// Depth-first search below the start item (the whole tree for null), the start item included.
HTREEITEM FindTreeItemById(int id, HWND tree, HTREEITEM start);
// TVM_SORTCHILDRENCB callback: ascending Position; items without data go last.
int CALLBACK CompareTreeItemPos(LPARAM data1, LPARAM data2, LPARAM unused);
// Takes the positions (column 3) of the parent's children from the recordset and sorts them.
void SortTreeChildrenByPosition(HWND tree, zdata::Recordset* rs, int parentId);
// Sorts the parent's children (the root's for null) by their labels in Czech alphabetical order,
// as the locality tree lists siblings; items without data go last. Use it in place of
// TVM_SORTCHILDREN, whose order is the system's, not the database's.
void SortTreeChildrenByName(HWND tree, HTREEITEM parent);
// Sets the text of the item found by FindTreeItemById; 0 when there is none.
int SetTreeItemTextById(HWND tree, HTREEITEM start, int id, const wchar_t* text);

// The display name of a species from its SPECIES row (0 NAME, 3 AUTHOR, 4 the parentheses
// flag, 5 the year): "name author", "name (author)", "name author, year" or
// "name (author, year)"; the year only when 1000 < year <= 9998. A new heap string (free()),
// null when the row has neither name nor author.
wchar_t* FormatTaxonName(zdata::Fields* speciesRow);
