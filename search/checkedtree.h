// The checked items of a search tree: the tree-selection half of a search's inputs, read by the
// WHERE builder's callers and by the description of a search in the report. A checked item
// stands for its whole subtree, so every walk stops at a checked item.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>

struct TreeItemData;

// Whether the item's check box is ticked (state image 2).
bool IsTreeItemChecked(HWND tree, HTREEITEM item);
void SetTreeItemChecked(HWND tree, HTREEITEM item, bool checked);
// Unticks every loaded item.
void UncheckAllTreeItems(HWND tree);

// Calls back for each checked item with data, in tree order from the first top-level item; the
// subtree of a checked item is not visited.
void ForEachCheckedTreeItem(HWND tree, const std::function<void(HTREEITEM, TreeItemData*)>& visit);
