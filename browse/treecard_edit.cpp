// Editing in the tree card: the tree's context menu, the four item commands the main window
// hands on (new, rename, delete, properties) and renaming in place in the tree and in the list
// of children. The card decides what the user asked for and confirms it; the main window's
// handlers change the database, and the card updates its windows after a positive answer.
#include "browse/treecard.h"

#include <strsafe.h>
#include <windowsx.h>

#include <algorithm>
#include <string>
#include <vector>

#include "browse/attrbox.h"
#include "browse/sysitemdlg.h"
#include "common/popupmenu.h"
#include "core/itemrecords.h"
#include "core/msgbox.h"
#include "core/treefill.h"
#include "shellcontract/zm_protocol.h"
#include "resources/zorna/resource.h"

namespace {

const int kLabelLimit = 63;           // NAME holds 64 characters
const WORD kCommandFromCard = 2;      // WM_COMMAND code of commands a component sends itself
const UINT_PTR kLabelEditSubclass = 2;

HTREEITEM SelectedItem(HWND tree)
{
    return (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
}

HTREEITEM ParentItem(HWND tree, HTREEITEM item)
{
    return (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)item);
}

HTREEITEM RootItem(HWND tree)
{
    return (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
}

// The level id of an item; 0 for the root and for an item whose level is not in the cache.
int LevelIdOf(const TreeItemData* data)
{
    return data && data->Id != 0 && data->Level.Def ? data->Level.Def->LevelId : 0;
}

bool IsDataItem(const TreeItemData* data)
{
    return data && data->Id != 0 && data->Level.Def && data->Level.Def->DataLevel;
}

int ChildrenOf(HWND tree, HTREEITEM item)
{
    TVITEMW tvi = {};
    tvi.mask = TVIF_HANDLE | TVIF_CHILDREN;
    tvi.hItem = item;
    SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&tvi);
    return tvi.cChildren;
}

void SetChildren(HWND tree, HTREEITEM item, int children)
{
    TVITEMW tvi = {};
    tvi.mask = TVIF_HANDLE | TVIF_CHILDREN;
    tvi.hItem = item;
    tvi.cChildren = children;
    SendMessageW(tree, TVM_SETITEMW, 0, (LPARAM)&tvi);
}

// A label as one line: line breaks and tabs pasted into it become blanks. Empty when nothing
// but blanks is left.
std::wstring CleanLabel(const wchar_t* text)
{
    std::wstring label = text ? text : L"";
    if (label.size() > (size_t)kLabelLimit)
        label.resize(kLabelLimit);
    bool any = false;
    for (wchar_t& c : label) {
        if (c < L' ')
            c = L' ';
        any = any || (c != L' ' && c != 0x00A0);
    }
    return any ? label : std::wstring();
}

// The in-place edit takes Enter and Escape itself, also inside the main window's dialog.
LRESULT CALLBACK LabelEditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR)
{
    if (msg == WM_GETDLGCODE)
        return DLGC_WANTALLKEYS | DefSubclassProc(edit, msg, wParam, lParam);
    if (msg == WM_NCDESTROY)
        RemoveWindowSubclass(edit, LabelEditProc, kLabelEditSubclass);
    return DefSubclassProc(edit, msg, wParam, lParam);
}

void PrepareLabelEdit(HWND edit)
{
    if (!edit)
        return;
    SendMessageW(edit, EM_LIMITTEXT, kLabelLimit, 0);
    SetWindowSubclass(edit, LabelEditProc, kLabelEditSubclass, 0);
}

std::wstring LoadText(HINSTANCE instance, UINT id)
{
    wchar_t text[256] = L"";
    LoadStringW(instance, id, text, 256);
    return text;
}

}  // namespace

// ---- context menu ----

void CTreeCard::OnContextMenu(HWND from, LPARAM screenPoint)
{
    HMENU popup = ContextMenu ? GetSubMenu(ContextMenu, 0) : nullptr;
    if (!popup)
        return;
    HWND tree = from;
    POINT at = {GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
    HTREEITEM item = nullptr;
    if (at.x == -1 && at.y == -1) {
        // From the keyboard: the selected item, the menu at its label.
        item = SelectedItem(tree);
        RECT r;
        if (item && TreeItemLabelRect(tree, item, &r)) {
            at = {r.left, r.bottom};
            ClientToScreen(tree, &at);
        } else {
            item = nullptr;
            at = {0, 0};
            ClientToScreen(tree, &at);
        }
    } else {
        TVHITTESTINFO hit = {};
        hit.pt = at;
        ScreenToClient(tree, &hit.pt);
        item = (HTREEITEM)SendMessageW(tree, TVM_HITTEST, 0, (LPARAM)&hit);
        if (!(hit.flags & TVHT_ONITEM))
            item = nullptr;
    }
    // The root can be neither deleted nor edited.
    const TreeItemData* data = item ? GetTreeItemData(tree, item) : nullptr;
    UINT state = (data && data->Id != 0) ? MF_ENABLED : MF_GRAYED;
    EnableMenuItem(popup, IDM_DELETEITEM, MF_BYCOMMAND | state);
    EnableMenuItem(popup, IDM_ITEMPROPERTIES, MF_BYCOMMAND | state);
    int command = ChoosePopupMenuCommand(popup, TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, Page);
    if (command)
        SendMain(WM_COMMAND, MAKEWPARAM(command, kCommandFromCard), (LPARAM)item);
}

// ---- new and properties ----

void CTreeCard::NewItem(HWND mainWnd, HTREEITEM item, int useSelection)
{
    HWND tree = GetTreeView();
    if (!GetPropW(tree, kCardRecordsetProp))
        return;  // no database
    if (!ItemDialog)
        ItemDialog = new CEditSysItemDlg(Instance);
    HTREEITEM parent = useSelection ? SelectedItem(tree) : item;
    // Without an item the new one goes to the top level, which the root stands for.
    if (!parent)
        parent = RootItem(tree);
    TreeItemData* parentData = parent ? GetTreeItemData(tree, parent) : nullptr;
    int parentId = parentData ? parentData->Id : 0;

    TreeItemRecord record;
    InitTreeItemRecord(&record, Kind);
    record.ParentLevelId = LevelIdOf(parentData);
    record.LevelId = record.ParentLevelId + 1;
    record.Id = -1;
    LoadStringW(Instance, IDS_NEW_TREE_ITEM, record.Name, 64);
    if (ItemDialog->Show(mainWnd, &record)
        && SendZmResult(mainWnd, ZM_SAVE_TREE_ITEM, (WPARAM)parentId, (LPARAM)&record)) {
        if (parent && parentData && parentData->ChildrenLoaded) {
            // The parent shows its children: the new row goes in as the last of them.
            zdata::Recordset* rs = (zdata::Recordset*)GetPropW(tree, kCardRecordsetProp);
            DWORD indices = (DWORD)(UINT_PTR)GetPropW(tree, kCardIndicesProp);
            wchar_t filter[32];
            StringCchPrintfW(filter, 32, L"ID = %d", record.Id);
            zdata::Fields* fields = nullptr;
            if (SUCCEEDED(rs->put_Filter(filter)) && SUCCEEDED(rs->MoveFirst())
                && SUCCEEDED(rs->get_Fields(&fields)) && fields) {
                if (InsertTreeItemFromRecord(tree, parent, TVI_LAST, parentData, LargeImages,
                                             SmallImages, LevelCache, fields, LOWORD(indices),
                                             HIWORD(indices)))
                    parentData->ChildCount++;
                fields->Release();
            }
            if (ChildrenOf(tree, parent) < 1)
                SetChildren(tree, parent, 1);
            SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)parent);
            if (Kind == TREECARD_LOCALITY)
                SendMessageW(tree, TVM_SORTCHILDREN, FALSE, (LPARAM)parent);
            // The list of children shows the new item when the parent is the one selected.
            if (parent == SelectedItem(tree) && !IsDataItem(parentData))
                TreeChildrenToList(tree, GetChildList(), parent);
        } else if (parent && ChildrenOf(tree, parent) < 1) {
            SetChildren(tree, parent, 1);  // expanding it shows the new item
        }
    }
    ClearTreeItemRecord(&record);
}

void CTreeCard::EditItem(HWND mainWnd, HTREEITEM item)
{
    HWND tree = GetTreeView();
    if (!item)
        item = SelectedItem(tree);
    TreeItemData* data = item ? GetTreeItemData(tree, item) : nullptr;
    if (!data || data->Id == 0)
        return;  // the root is never edited
    if (!ItemDialog)
        ItemDialog = new CEditSysItemDlg(Instance);
    HTREEITEM parent = ParentItem(tree, item);
    TreeItemData* parentData = parent ? GetTreeItemData(tree, parent) : nullptr;

    TreeItemRecord record;
    InitTreeItemRecord(&record, Kind + 2);
    record.Id = data->Id;
    record.LevelId = LevelIdOf(data);
    record.ParentLevelId = LevelIdOf(parentData);
    if (ItemDialog->Show(mainWnd, &record)
        && SendZmResult(mainWnd, ZM_SAVE_TREE_ITEM, (WPARAM)-1, (LPARAM)&record))
        // The parent's children are read again (name, level, icons may have changed), then the
        // current item is selected again.
        ReloadTreeItem(mainWnd, tree, parent, parentData);
    ClearTreeItemRecord(&record);
}

// ---- rename ----

void CTreeCard::RenameItem(HWND mainWnd)
{
    (void)mainWnd;
    HWND tree = GetTreeView();
    HTREEITEM item = SelectedItem(tree);
    if (!item)
        return;
    SetFocus(tree);
    SendMessageW(tree, TVM_EDITLABELW, 0, (LPARAM)item);
}

LRESULT CTreeCard::OnTreeBeginLabelEdit(NMTVDISPINFOW* info)
{
    HWND tree = info->hdr.hwndFrom;
    const TreeItemData* data = GetTreeItemData(tree, info->item.hItem);
    if (data && data->Id == 0)
        return TRUE;  // the root keeps its name
    PrepareLabelEdit((HWND)SendMessageW(tree, TVM_GETEDITCONTROL, 0, 0));
    return FALSE;
}

LRESULT CTreeCard::OnTreeEndLabelEdit(NMTVDISPINFOW* info)
{
    HWND tree = info->hdr.hwndFrom;
    HTREEITEM item = info->item.hItem;
    TreeItemData* data = GetTreeItemData(tree, item);
    if (!info->item.pszText) {
        // Cancelled: an item without data (never made by the card) goes.
        if (!data)
            SendMessageW(tree, TVM_DELETEITEM, 0, (LPARAM)item);
        return 0;
    }
    std::wstring label = CleanLabel(info->item.pszText);
    if (label.empty())
        return 0;  // an empty name is refused; the old one stays
    NMTVDISPINFOW request = *info;
    request.item.pszText = &label[0];
    request.item.cchTextMax = (int)label.size() + 1;
    if (!data) {
        HTREEITEM parent = ParentItem(tree, item);
        const TreeItemData* parentData = parent ? GetTreeItemData(tree, parent) : nullptr;
        TreeItemData holder = {};
        holder.Id = parentData ? parentData->Id : 0;
        request.item.lParam = (LPARAM)&holder;
        LRESULT created = SendZmResult(MainWindow(), ZM_CREATE_TREE_ITEM, (WPARAM)Kind, (LPARAM)&request);
        if (!created)
            SendMessageW(tree, TVM_DELETEITEM, 0, (LPARAM)item);
        return 0;
    }
    request.item.lParam = (LPARAM)data;
    if (!SendZmResult(MainWindow(), ZM_RENAME_TREE_ITEM, (WPARAM)Kind, (LPARAM)&request))
        return 0;
    if (label == info->item.pszText)
        return TRUE;  // the tree takes the text as typed
    // Cleaned: the label shows what was stored.
    TVITEMW tvi = {};
    tvi.mask = TVIF_HANDLE | TVIF_TEXT;
    tvi.hItem = item;
    tvi.pszText = &label[0];
    SendMessageW(tree, TVM_SETITEMW, 0, (LPARAM)&tvi);
    return 0;
}

LRESULT CTreeCard::OnListBeginLabelEdit(NMLVDISPINFOW* info)
{
    PrepareLabelEdit((HWND)SendMessageW(info->hdr.hwndFrom, LVM_GETEDITCONTROL, 0, 0));
    return FALSE;
}

LRESULT CTreeCard::OnListEndLabelEdit(NMLVDISPINFOW* info)
{
    if (!info->item.pszText)
        return FALSE;
    HWND list = info->hdr.hwndFrom;
    LVITEMW row = {};
    row.mask = LVIF_PARAM;
    row.iItem = info->item.iItem;
    if (!SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&row) || !row.lParam)
        return FALSE;
    TreeItemData* data = (TreeItemData*)row.lParam;
    std::wstring label = CleanLabel(info->item.pszText);
    if (label.empty())
        return FALSE;
    NMTVDISPINFOW request = {};
    request.hdr = info->hdr;
    request.item.mask = TVIF_TEXT | TVIF_PARAM;
    request.item.pszText = &label[0];
    request.item.cchTextMax = (int)label.size() + 1;
    request.item.lParam = (LPARAM)data;
    if (!SendZmResult(MainWindow(), ZM_RENAME_TREE_ITEM, (WPARAM)Kind, (LPARAM)&request))
        return FALSE;
    HWND tree = GetTreeView();
    SetTreeItemTextById(tree, SelectedItem(tree), data->Id, label.c_str());
    if (label == info->item.pszText)
        return TRUE;
    LVITEMW text = {};
    text.iSubItem = 0;
    text.pszText = &label[0];
    SendMessageW(list, LVM_SETITEMTEXTW, info->item.iItem, (LPARAM)&text);
    return FALSE;
}

// ---- delete ----

void CTreeCard::DeleteItem(HWND mainWnd, HTREEITEM item)
{
    HWND tree = GetTreeView();
    HWND list = GetChildList();
    std::vector<int> rows;
    if (!item) {
        HWND focus = GetFocus();
        if (focus == tree) {
            item = SelectedItem(tree);
        } else if (focus == list) {
            // The ids first: the rows go away as the deletes are answered.
            for (int row = (int)SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
                 row >= 0;
                 row = (int)SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)row, LVNI_SELECTED)) {
                LVITEMW lvi = {};
                lvi.mask = LVIF_PARAM;
                lvi.iItem = row;
                if (SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&lvi) && lvi.lParam
                    && ((TreeItemData*)lvi.lParam)->Id != 0)
                    rows.push_back(((TreeItemData*)lvi.lParam)->Id);
            }
            if (rows.empty())
                return;
        } else {
            return;
        }
    }
    TreeItemData* data = item ? GetTreeItemData(tree, item) : nullptr;
    if (item && (!data || data->Id == 0))
        return;  // the root is never deleted, and nothing is asked
    // What cannot go is refused at once, before the question; the delete asks again.
    WPARAM check = (WPARAM)Kind | ZM_DELETE_CHECK_ONLY;
    if (item && !SendZmResult(mainWnd, ZM_DELETE_TREE_ITEM, check, (LPARAM)data->Id))
        return;
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [&](int id) { return !SendZmResult(mainWnd, ZM_DELETE_TREE_ITEM, check, (LPARAM)id); }),
               rows.end());
    if (!item && rows.empty())
        return;

    wchar_t question[320];
    if (item) {
        wchar_t text[64] = L"";
        TVITEMW tvi = {};
        tvi.mask = TVIF_HANDLE | TVIF_TEXT;
        tvi.hItem = item;
        tvi.pszText = text;
        tvi.cchTextMax = 64;
        SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&tvi);
        StringCchPrintfW(question, 320, LoadText(Instance, IDS_DELETE_TREE_ITEM).c_str(), text);
    } else {
        int n = (int)rows.size();
        UINT id = n <= 1 ? IDS_DELETE_ITEMS_1 : (n <= 4 ? IDS_DELETE_ITEMS_2_4 : IDS_DELETE_ITEMS_5);
        StringCchPrintfW(question, 320, LoadText(Instance, id).c_str(), n);
    }
    if (ZorMessageBox(mainWnd, question, LoadText(Instance, IDS_CONFIRM_CAPTION).c_str(),
                      MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;

    if (!item) {
        // Each refused delete says why itself; the list is read again whatever the answers.
        for (int id : rows)
            SendMessageW(mainWnd, ZM_DELETE_TREE_ITEM, (WPARAM)Kind, (LPARAM)id);
        HTREEITEM selected = SelectedItem(tree);
        if (selected)
            ReloadTreeItem(mainWnd, tree, selected, GetTreeItemData(tree, selected));
        return;
    }
    if (!SendZmResult(mainWnd, ZM_DELETE_TREE_ITEM, (WPARAM)Kind, (LPARAM)data->Id))
        return;  // refused: the handler has said why, and the card stays as it was
    HTREEITEM parent = ParentItem(tree, item);
    TreeItemData* parentData = parent ? GetTreeItemData(tree, parent) : nullptr;
    bool parentShown = parent && parent == SelectedItem(tree);
    // The rows of the list borrow the item data that goes now.
    if (parentShown)
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    FreeTreeItemData(tree, item);
    SendMessageW(tree, TVM_DELETEITEM, 0, (LPARAM)item);
    if (parentData && parentData->ChildCount > 0)
        parentData->ChildCount--;
    if (parent && !SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)parent)) {
        // Collapsed, and without its button: the tree does not clear the expanded state of an
        // item that has no children left, so it is cleared here.
        SendMessageW(tree, TVM_EXPAND, TVE_COLLAPSE, (LPARAM)parent);
        TVITEMW tvi = {};
        tvi.mask = TVIF_HANDLE | TVIF_STATE | TVIF_CHILDREN;
        tvi.hItem = parent;
        tvi.stateMask = TVIS_EXPANDED;
        tvi.cChildren = 0;
        SendMessageW(tree, TVM_SETITEMW, 0, (LPARAM)&tvi);
    }
    if (parentShown && !IsDataItem(parentData))
        TreeChildrenToList(tree, list, parent);
}
