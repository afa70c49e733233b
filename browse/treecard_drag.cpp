// Drag and drop in the tree card: a taxon reordered among its siblings (an insert mark at the
// edges of a sibling's label), rows of the list of children moved under another item (a drop
// highlight), and rows of the record list moved to another species or locality. A drag lives
// from the control's begin notice to the button's release in PAGEDLG, which holds the mouse
// capture meanwhile; a lost capture, WM_CANCELMODE or Escape ends it without a drop.
#include "browse/treecard.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "browse/attrbox.h"
#include "core/treefill.h"
#include "shellcontract/zm_protocol.h"

namespace {

const int kMarkEdge = 4;          // pixels at a label's top and bottom that give an insert mark
const int kIconWidth = 16;        // the tree's drag image starts with the item's icon
const int kMaxDragImageRows = 10; // a taller joined image would be too large to make
const COLORREF kMaskColour = RGB(255, 0, 255);

// Escape goes to the control with the focus (and then the main window's dialog keys), never to
// the window that holds the capture: a message hook sees it first while a drag runs.
CTreeCard* g_dragging = nullptr;
HHOOK g_escapeHook = nullptr;

LRESULT CALLBACK EscapeHook(int code, WPARAM wParam, LPARAM lParam)
{
    MSG* msg = reinterpret_cast<MSG*>(lParam);
    if (code >= 0 && wParam == PM_REMOVE && g_dragging && msg->message == WM_KEYDOWN
        && msg->wParam == VK_ESCAPE) {
        g_dragging->CancelDrag();
        msg->message = WM_NULL;
    }
    return CallNextHookEx(g_escapeHook, code, wParam, lParam);
}

HTREEITEM Relative(HWND tree, HTREEITEM item, UINT how)
{
    return (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, how, (LPARAM)item);
}

int LevelIdOf(const TreeItemData* data)
{
    return data && data->Id != 0 && data->Level.Def ? data->Level.Def->LevelId : -1;
}

// The rows of a list whose state is selected, in row order.
std::vector<int> SelectedRows(HWND list)
{
    std::vector<int> rows;
    for (int row = (int)SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); row >= 0;
         row = (int)SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)row, LVNI_SELECTED))
        rows.push_back(row);
    return rows;
}

TreeItemData* RowData(HWND list, int row)
{
    LVITEMW lvi = {};
    lvi.mask = LVIF_PARAM;
    lvi.iItem = row;
    return SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&lvi) ? (TreeItemData*)lvi.lParam : nullptr;
}

// One drag image of the first selected rows (at most ten): at their places in the list, or one
// below the other. origin receives the list point the image's top-left corner stands for.
HIMAGELIST JoinRowImages(HWND list, const std::vector<int>& rows, bool stacked, POINT* origin)
{
    struct Part
    {
        HIMAGELIST image;
        POINT at;
        int width, height;
    };
    std::vector<Part> parts;
    RECT bounds = {0, 0, 0, 0};
    int y = 0;
    for (size_t i = 0; i < rows.size() && (int)parts.size() < kMaxDragImageRows; ++i) {
        POINT at = {};
        HIMAGELIST image = (HIMAGELIST)SendMessageW(list, LVM_CREATEDRAGIMAGE, rows[i], (LPARAM)&at);
        if (!image)
            continue;
        int w = 0, h = 0;
        ImageList_GetIconSize(image, &w, &h);
        if (stacked) {
            if (parts.empty())
                *origin = at;
            at = {origin->x, origin->y + y};
            y += h;
        }
        RECT r = {at.x, at.y, at.x + w, at.y + h};
        if (parts.empty())
            bounds = r;
        else
            UnionRect(&bounds, &bounds, &r);
        parts.push_back({image, at, w, h});
    }
    if (parts.empty())
        return nullptr;
    *origin = {bounds.left, bounds.top};
    int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HIMAGELIST joined = nullptr;
    if (dc && bitmap) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        HBRUSH mask = CreateSolidBrush(kMaskColour);
        RECT all = {0, 0, width, height};
        FillRect(dc, &all, mask);
        DeleteObject(mask);
        for (const Part& p : parts)
            ImageList_Draw(p.image, 0, dc, p.at.x - bounds.left, p.at.y - bounds.top, ILD_NORMAL);
        SelectObject(dc, old);
        joined = ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, 1, 0);
        if (joined && ImageList_AddMasked(joined, bitmap, kMaskColour) < 0) {
            ImageList_Destroy(joined);
            joined = nullptr;
        }
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (dc)
        DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    for (const Part& p : parts)
        ImageList_Destroy(p.image);
    return joined;
}

// An id block for ZM_MOVE_TREE_ITEMS and ZM_REASSIGN_RECORDS.
std::vector<BYTE> IdBlock(int target, const std::vector<int>& ids)
{
    std::vector<BYTE> bytes(ZmIdBlockSize((int)ids.size()), 0);
    ZmIdBlock* block = reinterpret_cast<ZmIdBlock*>(bytes.data());
    block->Count = (int)ids.size();
    block->TargetId = target;
    std::copy(ids.begin(), ids.end(), block->Ids);
    return bytes;
}

}  // namespace

// ---- the rules ----

int ReorderMarkSide(int y, const RECT& label, bool previousIsDragged, bool nextIsDragged)
{
    if (y < label.top + kMarkEdge && !previousIsDragged)
        return CARDMARK_BEFORE;
    if (y > label.bottom - kMarkEdge && !nextIsDragged)
        return CARDMARK_AFTER;
    return CARDMARK_NONE;
}

bool AcceptsChildren(int targetId, int targetLevelId, int currentId, int dragMinLevel,
                     bool insideDragged)
{
    if (targetId == currentId || insideDragged)
        return false;
    if (targetId == 0)
        return true;  // the root: the top level
    return targetLevelId >= 0 && targetLevelId < dragMinLevel;
}

bool AcceptsRecords(bool dataLevel, int targetId, int currentId)
{
    return dataLevel && targetId != 0 && targetId != currentId;
}

// ---- start ----

void CTreeCard::BeginTreeDrag(const NMTREEVIEWW* info)
{
    if (Kind != TREECARD_SYSTEMATIC || DragMode)
        return;
    HWND tree = info->hdr.hwndFrom;
    HTREEITEM item = info->itemNew.hItem;
    TreeItemData* data = GetTreeItemData(tree, item);
    if (!data || data->Id == 0)
        return;  // the root stays where it is
    DragMode = CARDDRAG_TREE_ITEM;
    DropTarget = nullptr;
    InsertPosition = -1;
    DragItem = item;
    DragItemData = data;
    DragMinLevel = LevelIdOf(data);
    HTREEITEM parent = Relative(tree, item, TVGN_PARENT);
    const TreeItemData* parentData = parent ? GetTreeItemData(tree, parent) : nullptr;
    DragParentId = parentData ? parentData->Id : 0;
    DragImage = (HIMAGELIST)SendMessageW(tree, TVM_CREATEDRAGIMAGE, 0, (LPARAM)item);
    RECT label;
    TreeItemLabelRect(tree, item, &label);
    POINT at = info->ptDrag;
    if (DragImage)
        ImageList_BeginDrag(DragImage, 0, at.x - label.left + kIconWidth, at.y - label.top);
    MapWindowPoints(tree, Page, &at, 1);
    StartDragCapture(at);
}

void CTreeCard::BeginListDrag(HWND list, const NMLISTVIEW* info, int mode)
{
    if (DragMode)
        return;
    std::vector<int> rows = SelectedRows(list);
    if (rows.empty())
        return;
    DragIds.clear();
    DragMinLevel = INT_MAX;
    if (mode == CARDDRAG_CHILDREN) {
        for (int row : rows) {
            const TreeItemData* data = RowData(list, row);
            if (!data)
                continue;
            DragIds.push_back(data->Id);
            int level = LevelIdOf(data);
            if (level >= 0 && level < DragMinLevel)
                DragMinLevel = level;
        }
        if (DragIds.empty())
            return;
        std::sort(DragIds.begin(), DragIds.end());
    }
    DragMode = mode;
    DropTarget = nullptr;
    InsertPosition = -1;
    POINT origin = {};
    DragImage = JoinRowImages(list, rows, mode == CARDDRAG_RECORDS, &origin);
    POINT at = info->ptAction;
    if (DragImage)
        ImageList_BeginDrag(DragImage, 0, at.x - origin.x, at.y - origin.y);
    MapWindowPoints(list, Page, &at, 1);
    StartDragCapture(at);
}

void CTreeCard::StartDragCapture(POINT at)
{
    if (DragImage)
        ImageList_DragEnter(Page, at.x, at.y);
    SetCapture(Page);
    g_dragging = this;
    if (!g_escapeHook)
        g_escapeHook = SetWindowsHookExW(WH_GETMESSAGE, EscapeHook, nullptr, GetCurrentThreadId());
}

// ---- moves ----

bool CTreeCard::IsInsideDraggedBranch(HWND tree, HTREEITEM item) const
{
    for (HTREEITEM at = item; at; at = Relative(tree, at, TVGN_PARENT)) {
        const TreeItemData* data = GetTreeItemData(tree, at);
        if (data && std::binary_search(DragIds.begin(), DragIds.end(), data->Id))
            return true;
    }
    return false;
}

void CTreeCard::OnDragMove(POINT point)
{
    if (DragImage)
        ImageList_DragMove(point.x, point.y);
    HWND tree = GetTreeView();
    TVHITTESTINFO hit = {};
    hit.pt = point;
    MapWindowPoints(Page, tree, &hit.pt, 1);
    HTREEITEM item = (HTREEITEM)SendMessageW(tree, TVM_HITTEST, 0, (LPARAM)&hit);
    if (!(hit.flags & TVHT_ONITEM))
        item = nullptr;
    TreeItemData* data = item ? GetTreeItemData(tree, item) : nullptr;

    bool target = false;
    HTREEITEM markItem = nullptr;
    int markAfter = 0, markPosition = -1;
    if (data) {
        switch (DragMode) {
        case CARDDRAG_TREE_ITEM: {
            HTREEITEM parent = Relative(tree, item, TVGN_PARENT);
            const TreeItemData* parentData = parent ? GetTreeItemData(tree, parent) : nullptr;
            if (data == DragItemData || (parentData ? parentData->Id : 0) != DragParentId)
                break;
            RECT label;
            TreeItemLabelRect(tree, item, &label);
            HTREEITEM previous = Relative(tree, item, TVGN_PREVIOUS);
            HTREEITEM next = Relative(tree, item, TVGN_NEXT);
            int side = ReorderMarkSide(hit.pt.y, label,
                                       previous && GetTreeItemData(tree, previous) == DragItemData,
                                       next && GetTreeItemData(tree, next) == DragItemData);
            if (side != CARDMARK_NONE) {
                markItem = item;
                markAfter = side == CARDMARK_AFTER;
                markPosition = data->Position + (markAfter ? 1 : 0);
            }
            break;
        }
        case CARDDRAG_CHILDREN:
            target = AcceptsChildren(data->Id, LevelIdOf(data), CurId, DragMinLevel,
                                     IsInsideDraggedBranch(tree, item));
            break;
        case CARDDRAG_RECORDS:
            target = AcceptsRecords(data->Id != 0 && data->Level.Def && data->Level.Def->DataLevel,
                                    data->Id, CurId);
            break;
        }
    }

    bool redraw = false;
    if (DragImage)
        ImageList_DragShowNolock(FALSE);
    if (!target) {
        if (DropTarget && InsertPosition < 0) {
            SendMessageW(tree, TVM_SELECTITEM, TVGN_DROPHILITE, 0);
            DropTarget = nullptr;
            redraw = true;
        }
        if (markItem) {
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            if (markItem != DropTarget || markPosition != InsertPosition) {
                DropTarget = markItem;
                InsertPosition = markPosition;
                DragMarkAfter = markAfter;
                SendMessageW(tree, TVM_SETINSERTMARK, markAfter, (LPARAM)markItem);
                redraw = true;
            }
        } else {
            if (InsertPosition >= 0) {
                SendMessageW(tree, TVM_SETINSERTMARK, 0, 0);
                redraw = true;
            }
            DropTarget = nullptr;
            InsertPosition = -1;
            SetCursor(LoadCursorW(nullptr, IDC_NO));
        }
    } else {
        if (InsertPosition >= 0) {
            SendMessageW(tree, TVM_SETINSERTMARK, 0, 0);
            InsertPosition = -1;
            DropTarget = nullptr;
            redraw = true;
        }
        if (DropTarget != item) {
            SendMessageW(tree, TVM_SELECTITEM, TVGN_DROPHILITE, (LPARAM)item);
            DropTarget = item;
            redraw = true;
        }
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    }
    if (redraw)
        UpdateWindow(tree);
    if (DragImage)
        ImageList_DragShowNolock(TRUE);
}

// ---- end ----

void CTreeCard::EndDrag()
{
    DragMode = CARDDRAG_NONE;  // first: releasing the capture below reports a lost capture
    if (GetCapture() == Page)
        ReleaseCapture();
    if (DragImage) {
        ImageList_DragLeave(Page);
        ImageList_EndDrag();
        ImageList_Destroy(DragImage);
        DragImage = nullptr;
    }
    g_dragging = nullptr;
    if (g_escapeHook) {
        UnhookWindowsHookEx(g_escapeHook);
        g_escapeHook = nullptr;
    }
    DragItem = nullptr;
    DragItemData = nullptr;
    DragIds.clear();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    InvalidateRect(GetTreeView(), nullptr, TRUE);
}

void CTreeCard::CancelDrag()
{
    if (!DragMode)
        return;
    HWND tree = GetTreeView();
    if (InsertPosition >= 0)
        SendMessageW(tree, TVM_SETINSERTMARK, 0, 0);
    else if (DropTarget)
        SendMessageW(tree, TVM_SELECTITEM, TVGN_DROPHILITE, 0);
    DropTarget = nullptr;
    InsertPosition = -1;
    EndDrag();
}

void CTreeCard::OnDrop(POINT point)
{
    (void)point;
    HWND tree = GetTreeView();
    int mode = DragMode;
    HTREEITEM target = DropTarget;
    int position = InsertPosition;
    int draggedId = DragItemData ? DragItemData->Id : 0;
    UINT message = 0;
    std::vector<int> ids;
    if (position >= 0) {
        SendMessageW(tree, TVM_SETINSERTMARK, 0, 0);
        message = ZM_REORDER_SYS_ITEM;
    } else if (target) {
        SendMessageW(tree, TVM_SELECTITEM, TVGN_DROPHILITE, 0);
        if (mode == CARDDRAG_CHILDREN) {
            HWND list = GetChildList();
            for (int row : SelectedRows(list))
                if (const TreeItemData* data = RowData(list, row))
                    ids.push_back(data->Id);
            message = ZM_MOVE_TREE_ITEMS;
        } else if (mode == CARDDRAG_RECORDS) {
            CIntArray records(32, 8);
            GetSelectedRecordIds(&records);
            ids.assign(records.GetItems(), records.GetItems() + records.GetCount());
            message = ZM_REASSIGN_RECORDS;
        }
    }
    const TreeItemData* targetData = target ? GetTreeItemData(tree, target) : nullptr;
    int targetId = targetData ? targetData->Id : 0;
    EndDrag();
    DropTarget = nullptr;
    InsertPosition = -1;

    HWND main = MainWindow();
    if (message == ZM_REORDER_SYS_ITEM) {
        SendMain(ZM_REORDER_SYS_ITEM, (WPARAM)position, (LPARAM)draggedId);
    } else if (message && !ids.empty()) {
        std::vector<BYTE> block = IdBlock(targetId, ids);
        if (message == ZM_REASSIGN_RECORDS)
            SendMain(ZM_REASSIGN_RECORDS, (WPARAM)Kind, (LPARAM)block.data());
        else if (SendZmResult(main, ZM_MOVE_TREE_ITEMS, (WPARAM)Kind, (LPARAM)block.data()))
            ShowMovedItems(targetId);
    }
}

// After a move the windows read both ends again, so each moved item comes back whole, with its
// children still to be found below it, its new position and its new name.
void CTreeCard::ShowMovedItems(int targetId)
{
    HWND tree = GetTreeView();
    HWND main = MainWindow();
    HTREEITEM source = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    HTREEITEM target = FindTreeItemById(targetId, tree, nullptr);
    bool targetAbove = false;
    for (HTREEITEM at = source; at && target; at = Relative(tree, at, TVGN_PARENT))
        targetAbove = targetAbove || at == target;
    if (!targetAbove && source) {
        ReloadTreeItem(main, tree, source, GetTreeItemData(tree, source));
        target = FindTreeItemById(targetId, tree, nullptr);  // the reload may have remade it
    }
    if (target)
        ReloadTreeItem(main, tree, target, GetTreeItemData(tree, target));
}
