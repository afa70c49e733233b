// The check-box trees of the search page: copies of the systematic and the locality tree bound
// to the cached tree recordsets, loaded level by level as the user expands them, without level
// cache or image lists (their items carry the raw level id). A checked item stands for its whole
// subtree, so every walk stops at a checked item.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "dataaccess/ado.h"

struct TreeItemData;

// Binds the tree to a tree recordset and loads its top level (null only empties it): the
// recordset and the name column are kept in the window properties "Recordset" and "Indices",
// as the tree cards keep them.
void BindSearchTree(HWND tree, zdata::Recordset* treeRs, int nameColumn, int firstIconColumn);
// Loads an item's children once (Filter "PARENT = id"); nothing for an unbound tree.
void LoadSearchTreeChildren(HWND tree, HTREEITEM item);

// Whether the item's check box is ticked (state image 2).
bool IsTreeItemChecked(HWND tree, HTREEITEM item);
void SetTreeItemChecked(HWND tree, HTREEITEM item, bool checked);
// Unticks every loaded item.
void UncheckAllTreeItems(HWND tree);

// Calls back for each checked item with data, in tree order from the first top-level item; the
// subtree of a checked item is not visited.
void ForEachCheckedTreeItem(HWND tree, const std::function<void(HTREEITEM, TreeItemData*)>& visit);
