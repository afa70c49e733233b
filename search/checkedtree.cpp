#include "search/checkedtree.h"

#include "core/treefill.h"

namespace {

HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT how)
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, how,
                                                    reinterpret_cast<LPARAM>(item)));
}

void WalkChecked(HWND tree, HTREEITEM first,
                 const std::function<void(HTREEITEM, TreeItemData*)>& visit)
{
    for (HTREEITEM item = first; item; item = NextItem(tree, item, TVGN_NEXT)) {
        TreeItemData* data = GetTreeItemData(tree, item);
        if (data && IsTreeItemChecked(tree, item))
            visit(item, data);
        else
            WalkChecked(tree, NextItem(tree, item, TVGN_CHILD), visit);
    }
}

void UncheckBelow(HWND tree, HTREEITEM first)
{
    for (HTREEITEM item = first; item; item = NextItem(tree, item, TVGN_NEXT)) {
        SetTreeItemChecked(tree, item, false);
        UncheckBelow(tree, NextItem(tree, item, TVGN_CHILD));
    }
}

}  // namespace

bool IsTreeItemChecked(HWND tree, HTREEITEM item)
{
    UINT state = static_cast<UINT>(SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item),
                                                TVIS_STATEIMAGEMASK));
    return (state & TVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

void SetTreeItemChecked(HWND tree, HTREEITEM item, bool checked)
{
    TVITEMW tvi = {};
    tvi.mask = TVIF_STATE | TVIF_HANDLE;
    tvi.hItem = item;
    tvi.stateMask = TVIS_STATEIMAGEMASK;
    tvi.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tvi));
}

void UncheckAllTreeItems(HWND tree)
{
    UncheckBelow(tree, NextItem(tree, nullptr, TVGN_ROOT));
}

void ForEachCheckedTreeItem(HWND tree, const std::function<void(HTREEITEM, TreeItemData*)>& visit)
{
    WalkChecked(tree, NextItem(tree, nullptr, TVGN_ROOT), visit);
}
