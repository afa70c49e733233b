// Cell and id requests of the cards' virtual lists.
#include "browse/recordlist.h"

#include "core/containers.h"
#include "shellcontract/zm_protocol.h"

void RequestListCell(HWND mainWnd, NMLVDISPINFOW* info, int listKind)
{
    if (info->item.mask & LVIF_IMAGE)
        info->item.iImage = -1;
    if (mainWnd)
        SendMessageW(mainWnd, ZM_GET_LIST_CELL_TEXT, (WPARAM)listKind, (LPARAM)info);
}

bool AnswerVirtualListNotice(HWND mainWnd, const NMHDR* header, int listKind, int* cacheFrom,
                             int* cacheTo, LRESULT* result)
{
    *result = 0;
    switch (header->code) {
    case LVN_GETDISPINFOW:
        RequestListCell(mainWnd, (NMLVDISPINFOW*)header, listKind);
        return true;
    case LVN_ODCACHEHINT:
        *cacheFrom = ((const NMLVCACHEHINT*)header)->iFrom;
        *cacheTo = ((const NMLVCACHEHINT*)header)->iTo;
        return true;
    case LVN_DELETEALLITEMS:
        *result = TRUE;
        return true;
    }
    return false;
}

int ListRowId(HWND mainWnd, HWND list, int listKind, int row)
{
    NMLVDISPINFOW info = {};
    info.hdr.hwndFrom = list;
    info.hdr.idFrom = (UINT_PTR)GetDlgCtrlID(list);
    info.hdr.code = LVN_GETDISPINFOW;
    info.item.mask = LVIF_PARAM;
    info.item.iItem = row;
    info.item.iSubItem = 0;
    // An unanswered request must not pass for an id.
    info.item.lParam = -1;
    if (mainWnd)
        SendMessageW(mainWnd, ZM_GET_LIST_CELL_TEXT, (WPARAM)listKind, (LPARAM)&info);
    return info.item.lParam >= 0 ? (int)info.item.lParam : -1;
}

int ListSelectedIds(HWND mainWnd, HWND list, int listKind, CIntArray* ids)
{
    if (!ids)
        return 0;
    int added = 0;
    for (int row = (int)SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); row >= 0;
         row = (int)SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)row, LVNI_SELECTED)) {
        int id = ListRowId(mainWnd, list, listKind, row);
        if (id < 0)
            continue;  // a row the main window could not answer is never acted upon
        ids->Add(id);
        ++added;
    }
    return added;
}
