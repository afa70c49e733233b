// The virtual lists of the cards (the tree cards' record lists, the literature list): their cell
// requests go to the main window, which answers them from the list's recordset, and the id of a
// row is asked for the same way.
#pragma once
#include <windows.h>
#include <commctrl.h>

class CIntArray;

// Passes a list's LVN_GETDISPINFOW on as ZM_GET_LIST_CELL_TEXT of the list kind (ZmListKind). The
// list's small images are its header's sort arrows, so a row asks for no image.
void RequestListCell(HWND mainWnd, NMLVDISPINFOW* info, int listKind);
// The notices every card's virtual list answers alike: a cell request goes on to the main window
// (RequestListCell); a cache hint only keeps its range in *cacheFrom and *cacheTo, since cells are
// read live from the list's recordset as they are drawn and invalidating the range would paint
// each new page twice; emptying the list asks for no notice per row (its rows carry nothing to
// free). True when the notice was one of these, *result then being the answer.
bool AnswerVirtualListNotice(HWND mainWnd, const NMHDR* header, int listKind, int* cacheFrom,
                             int* cacheTo, LRESULT* result);
// The id of a row (LVIF_PARAM of sub-item 0); -1 when the main window gives none.
int ListRowId(HWND mainWnd, HWND list, int listKind, int row);
// The ids of the selected rows appended in row order (rows without an id are skipped); their
// number.
int ListSelectedIds(HWND mainWnd, HWND list, int listKind, CIntArray* ids);
