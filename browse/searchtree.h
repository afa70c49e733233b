// The check-box trees of the search page: copies of the systematic and the locality tree bound
// to the cached tree recordsets, loaded level by level as the user expands them, without level
// cache or image lists (their items carry the raw level id). Their check boxes are read and set
// through search/checkedtree.h.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "dataaccess/ado.h"
#include "search/checkedtree.h"

// Binds the tree to a tree recordset and loads its top level (null only empties it): the
// recordset and the name column are kept in the window properties "Recordset" and "Indices",
// as the tree cards keep them.
void BindSearchTree(HWND tree, zdata::Recordset* treeRs, int nameColumn, int firstIconColumn);
// Loads an item's children once (Filter "PARENT = id"); nothing for an unbound tree.
void LoadSearchTreeChildren(HWND tree, HTREEITEM item);
