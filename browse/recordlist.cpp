// Cell and id requests of the cards' virtual lists.
#include "browse/recordlist.h"

#include <climits>
#include <vector>

#include "core/containers.h"
#include "dataaccess/ado.h"
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

namespace {

// The ids of list rows read from the list's own object in one pass (a long list holds them as
// its keys); false when the main window gives no object for the list.
bool ReadListIds(HWND mainWnd, int listKind, const std::vector<long>& positions, std::vector<long long>* ids)
{
    zdata::Recordset* rs = nullptr;
    if (mainWnd)
        SendMessageW(mainWnd, ZM_GET_LIST_OBJECT, (WPARAM)(listKind - ZM_LIST_TAXON_RECORDS + ZM_LISTOBJ_TAXON),
                     (LPARAM)&rs);
    if (!rs)
        return false;
    bool read = SUCCEEDED(rs->ReadFirstColumnIds(positions, ids));
    rs->Release();
    return read;
}

}  // namespace

int ListSelectedIds(HWND mainWnd, HWND list, int listKind, CIntArray* ids)
{
    if (!ids)
        return 0;
    std::vector<int> rows;
    for (int row = (int)SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); row >= 0;
         row = (int)SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)row, LVNI_SELECTED))
        rows.push_back(row);
    // Asked row by row, each id would move the list's cursor and read its row.
    std::vector<long> positions(rows.begin(), rows.end());
    for (long& p : positions)
        ++p;
    std::vector<long long> keyed;
    if (!ReadListIds(mainWnd, listKind, positions, &keyed))
        keyed.clear();
    int added = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        long long id = keyed.size() == rows.size() ? keyed[i] : ListRowId(mainWnd, list, listKind, rows[i]);
        if (id < 0 || id > INT_MAX)
            continue;  // a row the main window could not answer is never acted upon
        ids->Add((int)id);
        ++added;
    }
    return added;
}
