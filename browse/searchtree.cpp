#include "browse/searchtree.h"

#include <cwchar>
#include <string>

#include "browse/treecard.h"
#include "core/treefill.h"
#include "core/treewalk.h"

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

void BindSearchTree(HWND tree, zdata::Recordset* treeRs, int nameColumn, int firstIconColumn)
{
    ClearTree(tree);
    if (!treeRs) {
        RemovePropW(tree, kCardRecordsetProp);
        RemovePropW(tree, kCardIndicesProp);
        return;
    }
    SetPropW(tree, kCardRecordsetProp, reinterpret_cast<HANDLE>(treeRs));
    SetPropW(tree, kCardIndicesProp,
             reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(MAKELONG(nameColumn, firstIconColumn))));
    LoadSearchTreeChildren(tree, nullptr);
}

void LoadSearchTreeChildren(HWND tree, HTREEITEM item)
{
    zdata::Recordset* rs = reinterpret_cast<zdata::Recordset*>(GetPropW(tree, kCardRecordsetProp));
    if (!rs)
        return;
    TreeItemData* data = item ? GetTreeItemData(tree, item) : nullptr;
    if (item && (!data || data->ChildrenLoaded))
        return;
    DWORD indices = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(GetPropW(tree, kCardIndicesProp)));
    // The recordset is shared with the tree cards: its Filter is set anew before every use.
    treewalk::FilterEquals(rs, L"PARENT", data ? data->Id : 0);
    FillTreeChildren(tree, item ? item : TVI_ROOT, data, nullptr, nullptr, nullptr, rs,
                     LOWORD(indices), HIWORD(indices));
}

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
