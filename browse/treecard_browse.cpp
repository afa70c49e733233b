// Browsing in the tree card: the tree filled one level at a time as items are expanded, the
// selection that shows either the list of children or the record page, the information panel
// and the virtual record list with its sorting, cache hints and selected record ids.
#include "browse/treecard.h"

#include <string.h>

#include <vector>

#include "browse/recordlist.h"
#include "core/database.h"
#include "core/fields.h"
#include "core/treefill.h"
#include "core/treewalk.h"
#include "shellcontract/zm_protocol.h"

namespace {

const int kIdsSystemRoot = 102;     // "Systém"
const int kIdsLocalitiesRoot = 103; // "Lokality"
const int kIconSystemRoot = 21;
const int kIconLocalitiesRoot = 20;

// The main window marks the view command of a style when it receives it with this code.
const WORD kViewCommandAnnounce = 2;

WORD ViewCommandOfStyle(int style)
{
    switch (style & LVS_TYPEMASK) {
    case LVS_SMALLICON: return 402;
    case LVS_LIST: return 403;
    case LVS_REPORT: return 404;
    default: return 401;
    }
}

HTREEITEM SelectedItem(HWND tree)
{
    return (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
}

}  // namespace

// ---- the tree ----

void CTreeCard::InsertRoot()
{
    HWND tree = GetTreeView();
    wchar_t text[64] = L"";
    LoadStringW(Instance, Kind == TREECARD_SYSTEMATIC ? kIdsSystemRoot : kIdsLocalitiesRoot, text,
                64);
    int image = -1;
    HICON icon = (HICON)LoadImageW(
        Instance, MAKEINTRESOURCEW(Kind == TREECARD_SYSTEMATIC ? kIconSystemRoot : kIconLocalitiesRoot),
        IMAGE_ICON, 16, 16, 0);
    if (icon) {
        image = ImageList_AddIcon(SmallImages, icon);
        DestroyIcon(icon);
    }
    TreeItemData* data = (TreeItemData*)calloc(1, sizeof(TreeItemData));
    if (!data)
        return;
    data->Id = 0;
    data->Icon32 = -1;
    data->Icon16 = data->Icon16Selected = image;
    data->Level.Def = nullptr;
    TVINSERTSTRUCTW ins = {};
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
    ins.item.pszText = text;
    ins.item.iImage = image;
    ins.item.iSelectedImage = image;
    ins.item.cChildren = 1;
    ins.item.lParam = (LPARAM)data;
    HTREEITEM root = (HTREEITEM)SendMessageW(tree, TVM_INSERTITEMW, 0, (LPARAM)&ins);
    if (!root) {
        free(data);
        return;
    }
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)root);
}

void CTreeCard::SetTreeSource(zdata::Recordset* treeRs, int nameColumn, int firstIconColumn)
{
    HWND tree = GetTreeView();
    HWND list = GetChildList();
    // Whatever the tree held belongs to the previous source.
    Purging = 1;
    ShowWindow(RecordPage, SW_HIDE);
    ShowWindow(list, SW_SHOW);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    SendMessageW(GetRecordList(), LVM_SETITEMCOUNT, 0, 0);
    RecordCount = 0;
    CacheFrom = CacheTo = -1;
    ClearTree(tree);
    Purging = 0;
    if (!treeRs) {
        SetPropW(tree, kCardRecordsetProp, nullptr);
        return;
    }
    SetPropW(tree, kCardRecordsetProp, (HANDLE)treeRs);
    SetPropW(tree, kCardIndicesProp,
             (HANDLE)(UINT_PTR)MAKELONG((WORD)nameColumn, (WORD)firstIconColumn));
    InsertRoot();
    // Until an item is chosen the card shows the top level: the list beside the tree lists it.
    // The item the workspace keeps as current is still the one to go to once the file is open.
    HTREEITEM root = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    if (root && !SelectedItem(tree)) {
        int keep = CurId;
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)root);
        if (keep > 0)
            CurId = keep;
    }
}

void CTreeCard::FillChildren(HTREEITEM item)
{
    HWND tree = GetTreeView();
    zdata::Recordset* rs = (zdata::Recordset*)GetPropW(tree, kCardRecordsetProp);
    if (!rs)
        return;
    DWORD indices = (DWORD)(UINT_PTR)GetPropW(tree, kCardIndicesProp);
    TreeItemData* data = item ? GetTreeItemData(tree, item) : nullptr;
    if (data && data->ChildrenLoaded)
        return;
    treewalk::FilterEquals(rs, L"PARENT", data ? data->Id : 0);
    FillTreeChildren(tree, item, data, LargeImages, SmallImages, LevelCache, rs, LOWORD(indices),
                     HIWORD(indices));
}

void CTreeCard::ReloadTreeItem(HWND mainWnd, HWND tree, HTREEITEM item, TreeItemData* data)
{
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    int keep = CurId;
    // The collapse below may move the selection (Windows reports it, Wine does not); the
    // current item is chosen again at the end.
    Purging = 1;
    if (data && item) {
        if (data->ChildrenLoaded) {
            SendMessageW(GetChildList(), LVM_DELETEALLITEMS, 0, 0);  // its rows borrow the data
            DeleteTreeChildren(tree, item, 0);
            // A tree scrolled so that its first row lies below the item loses that row to the
            // collapse and then reads through it (Wine's tree crashes): it is scrolled to its
            // top first.
            HTREEITEM first = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0);
            for (HTREEITEM at = first; at; at = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)at))
                if (at != first && at == item) {
                    SendMessageW(tree, WM_VSCROLL, SB_TOP, 0);
                    break;
                }
            SendMessageW(tree, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET, (LPARAM)item);
            data->ChildrenLoaded = 0;
            data->ChildCount = 0;
        }
        TVITEMW tvi = {};
        tvi.mask = TVIF_CHILDREN | TVIF_HANDLE;
        tvi.hItem = item;
        tvi.cChildren = 1;
        SendMessageW(tree, TVM_SETITEMW, 0, (LPARAM)&tvi);
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)item);
    } else {
        // The whole tree again, root included, as when the source was bound.
        SendMessageW(GetChildList(), LVM_DELETEALLITEMS, 0, 0);
        ClearTree(tree);
        if (GetPropW(tree, kCardRecordsetProp))
            InsertRoot();
    }
    Purging = 0;
    CurId = keep;
    int handled = SelectionsHandled;
    if (mainWnd)
        SendMessageW(mainWnd, ZM_GOTO_TREE_ITEM, (WPARAM)(Kind - 1), (LPARAM)CurId);
    // The item the main window selected again has been shown already when the selection
    // changed (it was made anew); only an unchanged selection is shown once more here.
    if (SelectionsHandled == handled)
        NotifySelChanged(tree);
    SetCursor(previous);
}

// ---- selection ----

void CTreeCard::NotifySelChanged(HWND tree)
{
    HTREEITEM item = SelectedItem(tree);
    if (item)
        OnSelChanged(tree, item, item);
}

void CTreeCard::AnnounceListView()
{
    SendMain(ZM_ENABLE_VIEW_COMMANDS, 1, ZM_VIEW_LIST_COMMANDS);
    SendMain(WM_COMMAND, MAKEWPARAM(ViewCommandOfStyle(GetListStyle()), kViewCommandAnnounce), 0);
    SendMain(ZM_UPDATE_RECORD_TOOLBAR, 0, 0);
}

void CTreeCard::OnSelChanged(HWND tree, HTREEITEM item, HTREEITEM previous)
{
    if (Purging)
        return;
    TreeItemData* data = GetTreeItemData(tree, item);
    if (!data)
        return;
    ++SelectionsHandled;
    int previousId = CurId;
    CurId = data->Id;
    if (GetPropW(tree, kNoExpandProp))
        return;
    if (!data->ChildrenLoaded)
        FillChildren(item);
    bool visible = IsWindowVisible(Page) != FALSE;
    const LevelDef* level = data->Id != 0 ? data->Level.Def : nullptr;
    HWND list = GetChildList();
    if (level && level->DataLevel) {
        // The header is read first: when the file refuses it (another program holds it), the
        // card goes back to the item it showed, reading nothing more.
        if (!ShowItemInfo(data->Id)) {
            if (previous != item) {
                Purging = 1;
                SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)previous);
                Purging = 0;
            }
            CurId = previousId;
            return;
        }
        ShowWindow(list, SW_HIDE);
        ShowWindow(RecordPage, SW_SHOW);
        RequestRecordList(data->Id, 1);
        if (visible) {
            SendMain(ZM_ENABLE_VIEW_COMMANDS, 0, ZM_VIEW_LIST_COMMANDS);
            SendMain(ZM_UPDATE_RECORD_TOOLBAR, 1, 0);
            if (Kind == TREECARD_SYSTEMATIC)
                SendMain(ZM_REFRESH_MAPS, 0, 0);
        }
    } else {
        ShowWindow(RecordPage, SW_HIDE);
        ShowWindow(list, SW_SHOW);
        TreeChildrenToList(tree, list, item);
        if (visible)
            AnnounceListView();
    }
}

void CTreeCard::OnPageShown(BOOL shown)
{
    if (!shown) {
        SendMain(ZM_SHOW_VIEW_MENU, ZM_MENU_VIEW, 0);
        return;
    }
    SendMain(ZM_SHOW_VIEW_MENU, ZM_MENU_VIEW, 1);
    if (RecordPageShown) {
        SendMain(ZM_ENABLE_VIEW_COMMANDS, 0, ZM_VIEW_LIST_COMMANDS);
        SendMain(ZM_UPDATE_RECORD_TOOLBAR, 1,
                 SendMessageW(GetRecordList(), LVM_GETSELECTEDCOUNT, 0, 0));
    } else {
        AnnounceListView();
    }
}

void CTreeCard::OnRecordPageShown(BOOL shown)
{
    RecordPageShown = shown ? 1 : 0;
    if (shown && IsWindowVisible(Page))
        SendMain(ZM_ENABLE_VIEW_COMMANDS, 0, ZM_VIEW_LIST_COMMANDS);
}

LRESULT CTreeCard::OnPageNotify(NMHDR* header)
{
    if (header->idFrom == IDC_CARD_TREE) {
        switch (header->code) {
        case TVN_ITEMEXPANDINGW: {
            NMTREEVIEWW* nm = (NMTREEVIEWW*)header;
            if (nm->action & TVE_EXPAND)
                FillChildren(nm->itemNew.hItem);
            return FALSE;
        }
        case TVN_SELCHANGEDW: {
            NMTREEVIEWW* nm = (NMTREEVIEWW*)header;
            if (nm->itemNew.hItem)
                OnSelChanged(header->hwndFrom, nm->itemNew.hItem, nm->itemOld.hItem);
            return 0;
        }
        case TVN_BEGINLABELEDITW:
            return OnTreeBeginLabelEdit((NMTVDISPINFOW*)header);
        case TVN_ENDLABELEDITW:
            return OnTreeEndLabelEdit((NMTVDISPINFOW*)header);
        case TVN_BEGINDRAGW:
            BeginTreeDrag((NMTREEVIEWW*)header);
            return 0;
        }
        return 0;
    }
    if (header->idFrom == IDC_CARD_CHILDLIST) {
        switch (header->code) {
        case LVN_BEGINLABELEDITW:
            return OnListBeginLabelEdit((NMLVDISPINFOW*)header);
        case LVN_ENDLABELEDITW:
            return OnListEndLabelEdit((NMLVDISPINFOW*)header);
        case LVN_BEGINDRAG:
            BeginListDrag(header->hwndFrom, (NMLISTVIEW*)header, CARDDRAG_CHILDREN);
            return 0;
        }
    }
    if (header->idFrom == IDC_CARD_CHILDLIST && header->code == NM_DBLCLK) {
        NMITEMACTIVATE* nm = (NMITEMACTIVATE*)header;
        if (nm->iItem < 0)
            return 0;
        LVITEMW lvi = {};
        lvi.mask = LVIF_PARAM;
        lvi.iItem = nm->iItem;
        if (!SendMessageW(header->hwndFrom, LVM_GETITEMW, 0, (LPARAM)&lvi) || !lvi.lParam)
            return 0;
        int id = ((TreeItemData*)lvi.lParam)->Id;  // the row goes away with the new selection
        HWND tree = GetTreeView();
        HTREEITEM parent = SelectedItem(tree);
        if (!parent)
            return 0;
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)parent);
        HTREEITEM child = FindTreeChildById(id, tree, parent, nullptr);
        if (child)
            SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)child);
        return 0;
    }
    return 0;
}

// ---- information panel ----

void CTreeCard::SetInfoFields(CObjArray* fields)
{
    for (int i = 0; i < InfoStatics->GetCount(); ++i)
        DestroyWindow((HWND)InfoStatics->GetItems()[i]);
    InfoStatics->RemoveAll(0);
    RECT client;
    GetClientRect(RecordPage, &client);
    int width = client.right - kCardTitleMargin;
    if (width < 0)
        width = 0;
    SetWindowPos(GetDlgItem(RecordPage, IDC_CARD_TITLE), nullptr, 0, 0, width, TitleHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    HFONT font = (HFONT)SendMessageW(RecordPage, WM_GETFONT, 0, 0);
    int y = TitleHeight;
    int count = fields ? fields->GetCount() : 0;
    for (int i = 0; i < count; ++i) {
        CDispField* field = static_cast<CDispField*>(fields->GetItems()[i]);
        if (!field || !field->Visible)
            continue;
        HWND line = CreateWindowExW(0, L"STATIC", L"",
                                    WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS,
                                    2, y, width, kCardInfoLineHeight, RecordPage, nullptr, Instance,
                                    nullptr);
        if (!line)
            break;
        SetWindowLongPtrW(line, GWLP_USERDATA, (LONG_PTR)field);
        SendMessageW(line, WM_SETFONT, (WPARAM)font, FALSE);
        InfoStatics->Add(line);
        y += kCardInfoLineHeight;
        if (y > ImageHeight - kCardInfoLineHeight)
            break;
    }
    ShowItemInfo(CurId);
}

bool CTreeCard::ShowItemInfo(int itemId)
{
    if (itemId < 0 || !RecordPage)
        return true;  // nothing selected yet
    InfoPanelRequest request = {};
    request.ItemId = itemId;
    request.NameControl = GetDlgItem(RecordPage, IDC_CARD_TITLE);
    request.PictureControl = GetDlgItem(RecordPage, IDC_CARD_PICTURE);
    request.PictureWidth = 0;
    request.PictureHeight = ImageHeight;
    request.InfoLineCount = InfoStatics->GetCount();
    request.InfoLines = (HWND*)InfoStatics->GetItems();
    SendMain(ZM_SHOW_ITEM_INFO, (WPARAM)Kind, (LPARAM)&request);
    if (request.Refused)
        return false;
    ImageWidth = request.PictureWidth;
    RECT client;
    GetClientRect(RecordPage, &client);
    LayoutRecordPage(client.right, client.bottom);
    return true;
}

void CTreeCard::RefreshItemInfo(int itemId)
{
    // A renamed item that is not the one shown leaves the panel as it is.
    if (itemId == CurId)
        ShowItemInfo(itemId);
}

// ---- record list ----

int CTreeCard::RequestRecordList(int itemId, int reset)
{
    HWND list = GetRecordList();
    // Each of the list's own updates below redraws its scroll bars at once; with the drawing
    // held until the new count is in, they are drawn once.
    bool hold = reset && IsWindowVisible(list);
    if (hold)
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    if (reset)
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    std::vector<CFieldBase*> keys = SortKeysOfColumn(list, SortCol);
    ListQuery query = {};
    query.Kind = Kind;
    query.Id = itemId;
    query.SortKeys = keys.empty() ? nullptr : keys.data();
    query.SortKeyCount = (int)keys.size();
    query.Descending = SortCol < 0 ? 1 : 0;
    query.RowCount = 0;
    query.Where = nullptr;
    int length = 90;
    if (!keys.empty())
        length = (query.Descending ? 128 : 122) + 40 * ((int)keys.size() - 1);
    SendMain(ZM_QUERY_RECORD_LIST, (WPARAM)length, (LPARAM)&query);
    int rows = query.RowCount > 0 ? query.RowCount : 0;
    CacheFrom = CacheTo = -1;
    if (reset || rows != RecordCount) {
        // A count that changed under a requery would have the list ask for rows past the end.
        SendMessageW(list, LVM_SETITEMCOUNT, (WPARAM)rows, 0);
    } else {
        // Same rows in a new order: everything shown is drawn again. Asking the list to redraw
        // each row of a large list one by one costs far more than one invalidation.
        InvalidateRect(list, nullptr, FALSE);
    }
    RecordCount = rows;
    if (hold) {
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
    return rows;
}

int CTreeCard::RequeryRecords(int reset)
{
    HWND tree = GetTreeView();
    HTREEITEM item = SelectedItem(tree);
    TreeItemData* data = item ? GetTreeItemData(tree, item) : nullptr;
    if (!data)
        return 0;
    return RequestRecordList(data->Id, reset);
}

LRESULT CTreeCard::OnRecordListNotify(NMHDR* header)
{
    HWND list = header->hwndFrom;
    LRESULT result = 0;
    if (AnswerVirtualListNotice(MainWindow(), header, Kind, &CacheFrom, &CacheTo, &result))
        return result;
    switch (header->code) {
    case LVN_COLUMNCLICK: {
        NMLISTVIEW* nm = (NMLISTVIEW*)header;
        SortCol = SetSortArrow(list, SortCol, nm->iSubItem);
        RequeryRecords(0);
        return 0;
    }
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
        // A range selected with Shift comes as one LVN_ODSTATECHANGED, not per row.
        SendMain(ZM_UPDATE_RECORD_TOOLBAR, 1, SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
        return 0;
    }
    return 0;
}

int CTreeCard::GetSelectedRecordId()
{
    HWND list = GetRecordList();
    int row = (int)SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    return row < 0 ? -1 : ListRowId(MainWindow(), list, Kind, row);
}

int CTreeCard::GetSelectedRecordIds(CIntArray* ids)
{
    return ListSelectedIds(MainWindow(), GetRecordList(), Kind, ids);
}
