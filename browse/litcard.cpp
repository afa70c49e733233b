// The literature card: LITERCARD with its author filter and the virtual list of publications.
#include "browse/litcard.h"

#include <stdlib.h>

#include <vector>

#include "browse/recordlist.h"
#include "browse/treecard.h"
#include "core/containers.h"
#include "core/ctlfill.h"
#include "core/database.h"
#include "core/fields.h"
#include "core/textutil.h"
#include "core/xmlaccess.h"
#include "shellcontract/zm_protocol.h"

namespace {

// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child)
{
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), (POINT*)&r, 2);
    return r;
}

}  // namespace

CLitCard::CLitCard(HWND parent, HINSTANCE instance, HIMAGELIST arrowImages, HCURSOR dividerCursor)
    : Parent(parent), Instance(instance), ArrowImages(arrowImages), DividerCursor(dividerCursor),
      CurAuthor(-1), CacheFrom(-1), CacheTo(-1), Card(nullptr), List(nullptr), SortCol(0),
      Filter(nullptr)
{
    Card = CreateDialogParamW(instance, L"LITERCARD", parent, CardDlgProc, (LPARAM)this);
}

CLitCard::~CLitCard()
{
    free(Filter);
    Filter = nullptr;
    if (Card)
        DestroyWindow(Card);
}

HWND CLitCard::MainWindow() const
{
    HWND parent = Card ? GetParent(Card) : nullptr;
    HWND main = parent ? GetParent(parent) : nullptr;
    return main ? main : parent;
}

LRESULT CLitCard::SendMain(UINT msg, WPARAM wParam, LPARAM lParam) const
{
    HWND main = MainWindow();
    return main ? SendMessageW(main, msg, wParam, lParam) : 0;
}

// ---- settings ----

void CLitCard::SaveSettings(CXmlWriter* writer, IXMLDOMElement* element)
{
    if (!writer || !element)
        return;
    writer->SetShortAttr(element, L"SortCol", SortCol);
    writer->SetIntAttr(element, L"CurAuthor", CurAuthor);
}

void CLitCard::LoadSettings(CXmlReader* reader, IXMLDOMElement* element)
{
    if (!reader || !element)
        return;
    int value = 0;
    if (reader->GetShortAttr(element, L"SortCol", &value))
        SortCol = value;
    if (reader->GetIntAttr(element, L"CurAuthor", &value))
        CurAuthor = value;
}

// ---- layout ----

void CLitCard::Move(const RECT* rect)
{
    if (Card && rect)
        SetWindowPos(Card, nullptr, rect->left, rect->top, rect->right - rect->left,
                     rect->bottom - rect->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CLitCard::Layout(int width, int height)
{
    HWND box = GetDlgItem(Card, IDC_LITCARD_FILTERBOX);
    RECT br = ChildRect(box);
    int boxWidth = width - 2 * br.left;
    SetWindowPos(box, nullptr, 0, 0, boxWidth > 0 ? boxWidth : 0, br.bottom - br.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT lr = ChildRect(List);
    int listHeight = height - lr.top;
    SetWindowPos(List, nullptr, 0, 0, width, listHeight > 0 ? listHeight : 0,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- the list ----

int CLitCard::Requery(HWND mainWnd, const wchar_t* condition, int reset)
{
    // The condition may be the kept one itself (Refresh): copied before the old one goes.
    wchar_t* kept = condition ? WideDup(condition) : nullptr;
    free(Filter);
    Filter = kept;
    if (!List)
        return 0;
    bool hold = reset && IsWindowVisible(List);
    if (hold)
        SendMessageW(List, WM_SETREDRAW, FALSE, 0);
    if (reset)
        SendMessageW(List, LVM_DELETEALLITEMS, 0, 0);

    std::vector<CFieldBase*> keys = SortKeysOfColumn(List, SortCol);
    ListQuery query = {};
    query.Kind = ZM_LIST_LITERATURE;
    query.Id = IsDlgButtonChecked(Card, IDC_LITCARD_BYAUTHOR) == BST_CHECKED ? CurAuthor : -1;
    query.SortKeys = keys.empty() ? nullptr : keys.data();
    query.SortKeyCount = (int)keys.size();
    query.Descending = SortCol < 0 ? 1 : 0;
    query.RowCount = 0;
    query.Where = Filter;
    // Only an estimate of the statement's length: the main window builds it to the length it
    // needs.
    int length = 90 + (Filter ? lstrlenW(Filter) : 0);
    if (SortCol != 0)
        length += (SortCol < 0 ? 38 : 32) + 40 * ((int)keys.size() > 1 ? (int)keys.size() - 1 : 0);
    if (mainWnd)
        SendMessageW(mainWnd, ZM_QUERY_RECORD_LIST, (WPARAM)length, (LPARAM)&query);
    int rows = query.RowCount > 0 ? query.RowCount : 0;

    CacheFrom = CacheTo = -1;
    if (reset || rows != (int)SendMessageW(List, LVM_GETITEMCOUNT, 0, 0)) {
        // A count that changed under a requery would have the list ask for rows past the end.
        SendMessageW(List, LVM_SETITEMCOUNT, (WPARAM)rows, reset ? 0 : LVSICF_NOSCROLL);
    } else {
        // The same rows in another order: what is shown is drawn again.
        InvalidateRect(List, nullptr, FALSE);
    }
    if (hold) {
        SendMessageW(List, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(List, nullptr, TRUE);
    }
    return rows;
}

int CLitCard::Refresh(int reset)
{
    return Requery(MainWindow(), Filter, reset);
}

void CLitCard::FillAuthorCombo(HWND mainWnd)
{
    HWND combo = GetDlgItem(Card, IDC_LITCARD_AUTHORS);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    zdata::Recordset* authors = nullptr;
    if (mainWnd)
        authors = reinterpret_cast<zdata::Recordset*>(
            SendZm(mainWnd, ZM_GET_RECORDSET, ZM_RS_LITAUTHORS, 0));
    if (!authors)
        return;
    SendMessageW(combo, WM_SETREDRAW, FALSE, 0);
    FillComboFromRecordset(combo, authors);
    SendMessageW(combo, WM_SETREDRAW, TRUE, 0);
    if (SendMessageW(combo, CB_GETCOUNT, 0, 0) <= 0)
        return;
    int index = FindComboItemByData(combo, CurAuthor);
    SendMessageW(combo, CB_SETCURSEL, index >= 0 ? index : 0, 0);
    CurAuthor = GetComboSelData(combo);
}

int CLitCard::GetSelectedId()
{
    int row = (int)SendMessageW(List, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    return row < 0 ? -1 : ListRowId(MainWindow(), List, ZM_LIST_LITERATURE, row);
}

int CLitCard::GetSelectedIds(CIntArray* ids)
{
    return ListSelectedIds(MainWindow(), List, ZM_LIST_LITERATURE, ids);
}

// ---- messages ----

void CLitCard::OnCommand(WORD id, WORD code)
{
    if (id == IDC_LITCARD_BYAUTHOR && code == BN_CLICKED) {
        Refresh(1);
    } else if (id == IDC_LITCARD_AUTHORS && code == CBN_SELCHANGE) {
        CurAuthor = GetComboSelData(GetDlgItem(Card, IDC_LITCARD_AUTHORS));
        if (IsDlgButtonChecked(Card, IDC_LITCARD_BYAUTHOR) == BST_CHECKED)
            Refresh(1);
    }
}

LRESULT CLitCard::OnListNotify(NMHDR* header)
{
    LRESULT result = 0;
    if (AnswerVirtualListNotice(MainWindow(), header, ZM_LIST_LITERATURE, &CacheFrom, &CacheTo,
                                &result))
        return result;
    switch (header->code) {
    case LVN_COLUMNCLICK:
        SortCol = SetSortArrow(List, SortCol, ((NMLISTVIEW*)header)->iSubItem);
        Refresh(0);
        return 0;
    case NM_CLICK:
        SendMain(ZM_UPDATE_RECORD_TOOLBAR, 1, SendMessageW(List, LVM_GETSELECTEDCOUNT, 0, 0));
        return 0;
    }
    return 0;
}

void CLitCard::OnShown()
{
    SendMain(ZM_ENABLE_VIEW_COMMANDS, 0, ZM_VIEW_MAP_COMMANDS);
    SendMain(ZM_UPDATE_RECORD_TOOLBAR, 1, SendMessageW(List, LVM_GETSELECTEDCOUNT, 0, 0));
}

INT_PTR CALLBACK CLitCard::CardDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CLitCard* card = reinterpret_cast<CLitCard*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        card = reinterpret_cast<CLitCard*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, (LONG_PTR)card);
        card->Card = hwnd;
        card->List = GetDlgItem(hwnd, IDC_LITCARD_LIST);
        SendMessageW(card->List, LVM_SETUNICODEFORMAT, TRUE, 0);
        DWORD ex = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP;
        SendMessageW(card->List, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
        if (card->ArrowImages)
            SendMessageW(card->List, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)card->ArrowImages);
        SubclassRecordListHeader(card->List, card->DividerCursor);
        return FALSE;
    }
    case WM_SIZE:
        if (card && card->List)
            card->Layout(LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_SHOWWINDOW:
        // Only the card's own showing, not the main window's restoring; nothing when hidden.
        if (card && wParam && lParam == 0)
            card->OnShown();
        return FALSE;
    case WM_COMMAND:
        if (card)
            card->OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        if (card && ((NMHDR*)lParam)->idFrom == IDC_LITCARD_LIST) {
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, card->OnListNotify((NMHDR*)lParam));
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
