#include "browse/searchtree.h"

#include <cwchar>
#include <string>

#include "browse/treecard.h"
#include "core/treefill.h"
#include "core/treewalk.h"

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
