// The main window's private messages about tree items: ordering, moves, renames, deletes,
// loading and saving items, and the level caches of the two hierarchies.
#include "mainapp/mainform_messages.h"

#include <commctrl.h>
#include <stdio.h>

#include "browse/treecard.h"
#include "browse/workspace.h"
#include "core/ctlfill.h"
#include "core/database.h"
#include "core/itemrecords.h"
#include "core/leveldefs.h"
#include "core/treefill.h"
#include "mainapp/mainform.h"

namespace {

// The card of the messages that number the trees 1 (systematic) and 2 (locality).
int CardOfTreeKind(WPARAM kind)
{
    return kind == ZM_TREE_SYS ? ZM_CARD_SYS : ZM_CARD_LOC;
}

// The messages that take "1 systematic, anything else locality".
int CardOfSysOrElse(WPARAM kind)
{
    return kind == ZM_TREE_SYS ? ZM_CARD_SYS : ZM_CARD_LOC;
}

bool IsTreeKind(WPARAM kind)
{
    return kind == ZM_TREE_SYS || kind == ZM_TREE_LOC;
}

// The PARENT of a tree row, found through the recordset's Filter; -1 when the row is missing.
int ParentOfTreeRow(zdata::Recordset* rs, int id)
{
    wchar_t filter[32];
    _snwprintf(filter, 32, L"ID = %d", id);
    filter[31] = L'\0';
    if (FAILED(rs->put_Filter(filter)) || rs->IsEOF())
        return -1;
    zdata::Fields* fields = nullptr;
    if (FAILED(rs->get_Fields(&fields)) || !fields)
        return -1;
    int parent = -1;
    VARIANT name;
    name.vt = VT_BSTR;
    name.bstrVal = SysAllocString(L"PARENT");
    zdata::Field* field = nullptr;
    if (SUCCEEDED(fields->get_Item(name, &field)) && field) {
        VARIANT value;
        VariantInit(&value);
        if (SUCCEEDED(field->get_Value(&value)) &&
            SUCCEEDED(VariantChangeType(&value, &value, 0, VT_I4)))
            parent = value.lVal;
        VariantClear(&value);
        field->Release();
    }
    VariantClear(&name);
    fields->Release();
    return parent;
}

}  // namespace

BOOL ZmReorderSysItem(ZmCall& call)
{
    CDatabase* db = call.Db();
    if (db)
        db->ReorderSysItem((int)call.lParam, (int)call.wParam);
    return TRUE;
}

BOOL ZmMoveTreeItems(ZmCall& call)
{
    CDatabase* db = call.Db();
    const ZmIdBlock* block = reinterpret_cast<const ZmIdBlock*>(call.lParam);
    if (!db || !block || !IsTreeKind(call.wParam) || block->Count <= 0)
        return TRUE;
    int moved = call.wParam == ZM_TREE_SYS
                    ? db->MoveSysItems(block->TargetId, block->Count, block->Ids)
                    : db->MoveLocItems(block->TargetId, block->Count, block->Ids);
    if (moved) {
        ZmResetToolbarCombo(call);
        call.Result = 1;
    }
    return TRUE;
}

BOOL ZmReassignRecords(ZmCall& call)
{
    CDatabase* db = call.Db();
    const ZmIdBlock* block = reinterpret_cast<const ZmIdBlock*>(call.lParam);
    if (!db || !block || !IsTreeKind(call.wParam) || block->Count <= 0)
        return TRUE;
    if (db->MoveRecords(block->TargetId, (int)call.wParam, block->Count, block->Ids)) {
        if (Workspace* ws = call.Ws())
            ws->RefreshAll(call.Wnd);
    }
    return TRUE;
}

BOOL ZmRenameTreeItem(ZmCall& call)
{
    CDatabase* db = call.Db();
    const NMTVDISPINFOW* info = reinterpret_cast<const NMTVDISPINFOW*>(call.lParam);
    if (!db || !info || !IsTreeKind(call.wParam))
        return TRUE;
    const TreeItemData* data = reinterpret_cast<const TreeItemData*>(info->item.lParam);
    if (!data && info->hdr.hwndFrom && info->item.hItem) {
        // The notification names the item; its data is asked from the tree itself.
        TVITEMW item = {};
        item.mask = TVIF_HANDLE | TVIF_PARAM;
        item.hItem = info->item.hItem;
        if (SendMessageW(info->hdr.hwndFrom, TVM_GETITEMW, 0, (LPARAM)&item))
            data = reinterpret_cast<const TreeItemData*>(item.lParam);
    }
    // A cancelled edit has no text; a node without data is not a stored item.
    if (!info->item.pszText || !data)
        return TRUE;
    int renamed = call.wParam == ZM_TREE_SYS ? db->RenameSysItem(data->Id, info->item.pszText)
                                             : db->RenameLocItem(data->Id, info->item.pszText);
    call.Result = renamed ? 1 : 0;
    return TRUE;
}

BOOL ZmReselectSysItem(ZmCall& call)
{
    CDatabase* db = call.Db();
    CTreeCard* card = ZmCard(call, ZM_CARD_SYS);
    if (!db || !card)
        return TRUE;
    zdata::Recordset* rs = db->GetSysTreeRs();
    HWND tree = card->GetTreeView();
    if (!rs || !tree)
        return TRUE;
    int parent = ParentOfTreeRow(rs, (int)call.lParam);
    if (parent < 0)
        return TRUE;
    wchar_t filter[32];
    _snwprintf(filter, 32, L"PARENT = %d", parent);
    filter[31] = L'\0';
    rs->put_Filter(filter);
    SortTreeChildrenByPosition(tree, rs, parent);
    card->NotifySelChanged(tree);
    return TRUE;
}

BOOL ZmRefreshTreeCard(ZmCall& call)
{
    ZmResetToolbarCombo(call);
    if (!IsTreeKind(call.wParam))
        return TRUE;
    if (CTreeCard* card = ZmCard(call, CardOfTreeKind(call.wParam)))
        card->RefreshItemInfo((int)call.lParam);
    return TRUE;
}

BOOL ZmCreateTreeItem(ZmCall& call)
{
    CDatabase* db = call.Db();
    NMTVDISPINFOW* info = reinterpret_cast<NMTVDISPINFOW*>(call.lParam);
    if (!db || !info || !IsTreeKind(call.wParam))
        return TRUE;
    // A name typed into a new node is refused: new items come only from the item dialog.
    call.Result = call.wParam == ZM_TREE_SYS ? db->AddSysItemByLabel(info)
                                             : db->AddLocItemByLabel(info);
    return TRUE;
}

BOOL ZmDeleteTreeItem(ZmCall& call)
{
    CDatabase* db = call.Db();
    WPARAM kind = call.wParam & ~ZM_DELETE_CHECK_ONLY;
    bool checkOnly = (call.wParam & ZM_DELETE_CHECK_ONLY) != 0;
    if (!db || !IsTreeKind(kind))
        return TRUE;
    // The card drops the item from its tree only on 1; a refused delete has shown why.
    int id = (int)call.lParam;
    int deleted = kind == ZM_TREE_SYS ? db->DeleteSysItem(id, checkOnly) : db->DeleteLocItem(id, checkOnly);
    call.Result = deleted ? 1 : 0;
    return TRUE;
}

BOOL ZmFillLevelControl(ZmCall& call)
{
    HWND combo = reinterpret_cast<HWND>(call.lParam);
    int card = CardOfSysOrElse(call.wParam & 0xFF);
    int controlKind = (int)((call.wParam >> 8) & 0xFF);
    int levelId = (int)((call.wParam >> 16) & 0xFFFF);
    CPtrArray* cache = ZmLevelCache(call, card);
    if (combo && cache && controlKind == kZmLevelControlCombo)
        FillLevelCombo(combo, cache, levelId);
    return TRUE;
}

BOOL ZmFindLevel(ZmCall& call)
{
    CPtrArray* cache = ZmLevelCache(call, CardOfSysOrElse(call.wParam));
    if (cache) {
        const LevelDef* level = FindLevelDefSkipFirst(cache, (int)call.lParam);
        call.Result = level ? level->DataLevel : 0;
    }
    return TRUE;
}

BOOL ZmLoadTreeItem(ZmCall& call)
{
    CDatabase* db = call.Db();
    TreeItemRecord* item = reinterpret_cast<TreeItemRecord*>(call.lParam);
    if (!db || !item)
        return TRUE;
    if (call.wParam == ZM_TREE_SYS)
        db->LoadSysItem(item);
    else
        db->LoadLocItem(item);
    return TRUE;
}

BOOL ZmSaveTreeItem(ZmCall& call)
{
    CDatabase* db = call.Db();
    TreeItemRecord* item = reinterpret_cast<TreeItemRecord*>(call.lParam);
    if (!db || !item)
        return TRUE;
    // wParam: the new item's parent, or -1 for an item that exists (the properties command).
    int parent = (int)(INT_PTR)call.wParam;
    int saved = (item->Flags & 1) ? db->SaveSysItem(parent, item) : db->SaveLocItem(parent, item);
    call.Result = saved ? 1 : 0;
    return TRUE;
}

BOOL ZmGetLevelDefs(ZmCall& call)
{
    call.Result = reinterpret_cast<LONG_PTR>(ZmLevelCache(call, CardOfSysOrElse(call.wParam)));
    return TRUE;
}
