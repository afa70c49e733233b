// The tree card's windows: construction, the two dialogs' procedures, layout, the two splitter
// bars, the record list's header and the settings. Browsing itself (tree filling, selection,
// information panel, record list) is in treecard_browse.cpp.
#include "browse/treecard.h"

#include <windowsx.h>

#include "browse/sysitemdlg.h"
#include "core/fields.h"
#include "core/treefill.h"
#include "core/xmlaccess.h"
#include "shellcontract/zm_protocol.h"

namespace {

const wchar_t kCardCtrProp[] = L"CardCtr";

const int kSplitterSize = 4;
const int kMinPaneWidth = 20;         // neither side of the left/right splitter gets narrower
const int kChildListColumnWidth = 100;
const int kIdsColumnName = 300;       // "Jméno"

const UINT_PTR kSplitterSubclass = 1;

UINT ScreenColourFlags()
{
    HDC dc = GetDC(nullptr);
    int bits = dc ? GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) : 0;
    if (dc)
        ReleaseDC(nullptr, dc);
    if (bits > 24)
        return ILC_COLOR32;
    if (bits > 16)
        return ILC_COLOR24;
    if (bits > 8)
        return ILC_COLOR16;
    if (bits >= 5)
        return ILC_COLOR8;
    return ILC_COLOR;
}

// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child)
{
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), (POINT*)&r, 2);
    return r;
}

LRESULT CALLBACK WidthSplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR refData)
{
    CTreeCard* card = reinterpret_cast<CTreeCard*>(refData);
    switch (msg) {
    case WM_SETCURSOR:
        SetCursor(card->WidthCursor ? card->WidthCursor : LoadCursorW(nullptr, IDC_SIZEWE));
        return TRUE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(hwnd);
        card->SplitterDragging = 1;
        return 0;
    case WM_MOUSEMOVE:
        if (card->SplitterDragging) {
            int width = card->WidthForDrag(GET_X_LPARAM(lParam));
            if (width > 0) {
                RECT client;
                GetClientRect(card->Page, &client);
                HWND tree = card->GetTreeView();
                RECT tr = ChildRect(tree);
                SetWindowPos(tree, nullptr, 0, 0, width, tr.bottom - tr.top,
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
                card->LayoutPage(client.right, client.bottom);
                UpdateWindow(card->Page);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (card->SplitterDragging)
            ReleaseCapture();
        card->SplitterDragging = 0;
        return 0;
    case WM_CAPTURECHANGED:
        card->SplitterDragging = 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, WidthSplitterProc, kSplitterSubclass);
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK HeightSplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR refData)
{
    CTreeCard* card = reinterpret_cast<CTreeCard*>(refData);
    switch (msg) {
    case WM_SETCURSOR:
        SetCursor(card->HeightCursor ? card->HeightCursor : LoadCursorW(nullptr, IDC_SIZENS));
        return TRUE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(hwnd);
        card->SplitterDragging = 1;
        card->HeightDragChanged = 0;
        return 0;
    case WM_MOUSEMOVE: {
        int y = GET_Y_LPARAM(lParam);
        if (card->SplitterDragging && y != 0) {
            RECT client;
            GetClientRect(card->RecordPage, &client);
            RECT pr = ChildRect(GetDlgItem(card->RecordPage, IDC_CARD_PICTURE));
            int current = pr.bottom - pr.top;
            int h = card->HeightForDrag(y, client.bottom);
            if (h != current) {
                int width = card->ImageHeight > 0 ? h * card->ImageWidth / card->ImageHeight : 0;
                card->MoveRecordPageParts(client.right, client.bottom, width, h);
                card->HeightDragChanged = 1;
                UpdateWindow(card->RecordPage);
            }
        }
        return 0;
    }
    case WM_LBUTTONUP:
        if (card->SplitterDragging) {
            card->SplitterDragging = 0;
            ReleaseCapture();
            if (card->HeightDragChanged) {
                // Only a drag that changed the height re-applies the configuration: that rebuilds
                // every list's columns and would lose the record selection for nothing.
                RECT pr = ChildRect(GetDlgItem(card->RecordPage, IDC_CARD_PICTURE));
                card->ImageHeight = pr.bottom - pr.top;
                card->HeightDragChanged = 0;
                card->SendMain(ZM_CONFIG_CHANGED, 0, 0);
                card->ShowItemInfo(card->CurId);
            }
        }
        return 0;
    case WM_CAPTURECHANGED:
        card->SplitterDragging = 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, HeightSplitterProc, kSplitterSubclass);
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void DrawSplitter(const DRAWITEMSTRUCT* dis)
{
    FillRect(dis->hDC, &dis->rcItem, GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace

// ---- record list header ----
// The list asks its header for a column's entry with every cell it draws, so the header is
// subclassed the plain way, its previous procedure in GWLP_USERDATA: a subclass through the
// common controls' subclass table looks its data up in a window property on every message,
// which costs a round trip to the window server under Wine (a page of cells took 50 ms).

LRESULT CALLBACK RecordListHeaderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_SETCURSOR:
        return TRUE;  // the cursor is chosen on WM_MOUSEMOVE below
    case WM_MOUSEMOVE:
        if (!(wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
            HDHITTESTINFO hit = {};
            hit.pt.x = GET_X_LPARAM(lParam);
            hit.pt.y = GET_Y_LPARAM(lParam);
            CallWindowProcW(previous, hwnd, HDM_HITTEST, 0, (LPARAM)&hit);
            HCURSOR divider = (HCURSOR)GetPropW(hwnd, kCardCtrProp);
            if ((hit.flags & (HHT_ONDIVIDER | HHT_ONDIVOPEN)) && hit.iItem != 0)
                SetCursor(divider ? divider : LoadCursorW(nullptr, IDC_SIZEWE));
            else
                SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        // Column 0 is the narrow empty column: it keeps its width.
        HDHITTESTINFO hit = {};
        hit.pt.x = GET_X_LPARAM(lParam);
        hit.pt.y = GET_Y_LPARAM(lParam);
        CallWindowProcW(previous, hwnd, HDM_HITTEST, 0, (LPARAM)&hit);
        if ((hit.flags & (HHT_ONDIVIDER | HHT_ONDIVOPEN)) && hit.iItem == 0)
            return 0;
        break;
    }
    case WM_NCDESTROY:
        RemovePropW(hwnd, kCardCtrProp);
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)previous);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
    }
    return previous ? CallWindowProcW(previous, hwnd, msg, wParam, lParam)
                    : DefWindowProcW(hwnd, msg, wParam, lParam);
}

void SubclassRecordListHeader(HWND list, HCURSOR dividerCursor)
{
    HWND header = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
    if (!header)
        return;
    SetPropW(header, kCardCtrProp, (HANDLE)dividerCursor);
    if (GetWindowLongPtrW(header, GWLP_WNDPROC) == (LONG_PTR)RecordListHeaderProc)
        return;  // already subclassed
    LONG_PTR previous = SetWindowLongPtrW(header, GWLP_WNDPROC, (LONG_PTR)RecordListHeaderProc);
    SetWindowLongPtrW(header, GWLP_USERDATA, previous);
}

// ---- construction ----

CTreeCard::CTreeCard(HWND parent, HINSTANCE instance, HCURSOR dividerCursor, HCURSOR widthCursor,
                     HCURSOR heightCursor, HIMAGELIST arrowImages, int kind)
    : SplitterDragging(0), Purging(0), RecordPageShown(0), RecordPage(nullptr),
      Instance(instance), DividerCursor(dividerCursor), WidthCursor(widthCursor),
      HeightCursor(heightCursor), LargeImages(nullptr), SmallImages(nullptr),
      ArrowImages(arrowImages), TitleColour(GetSysColor(COLOR_WINDOWTEXT)), LevelCache(nullptr),
      InfoStatics(nullptr), CurId(-1), Kind(kind), SortCol(0), TitleHeight(20),
      ImageHeight(kCardMinImageHeight), ImageWidth(0), CacheFrom(-1), CacheTo(-1),
      ContextMenu(nullptr), DragImage(nullptr), DragMode(0), DragMinLevel(0),
      InsertPosition(-1), DragParentId(0), DragItemData(nullptr), DropTarget(nullptr),
      ItemDialog(nullptr), Page(nullptr), RecordCount(0), HeightDragChanged(0),
      SelectionsHandled(0), DragItem(nullptr), DragMarkAfter(0)
{
    LevelCache = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
    InfoStatics = new CPtrArray(PTRARRAY_BORROWS, 16, 4);
    UINT flags = ScreenColourFlags() | ILC_MASK;
    LargeImages = ImageList_Create(32, 32, flags, 16, 4);
    SmallImages = ImageList_Create(16, 16, flags, 16, 4);

    Page = CreateDialogParamW(instance, L"PAGEDLG", parent, PageDlgProc, (LPARAM)this);
    if (Page)
        RecordPage = CreateDialogParamW(instance, L"ZORCARD", Page, RecordPageDlgProc,
                                        (LPARAM)this);
    if (Page && RecordPage) {
        // The record page lies where the list of children is; the two are never shown together.
        RECT client;
        GetClientRect(Page, &client);
        LayoutPage(client.right, client.bottom);
    }
    ContextMenu = LoadMenuW(instance, L"TVMENU");
}

CTreeCard::~CTreeCard()
{
    if (Page) {
        HWND tree = GetTreeView();
        Purging = 1;
        SendMessageW(GetChildList(), LVM_DELETEALLITEMS, 0, 0);  // its items borrow tree data
        ClearTree(tree);
        RemovePropW(tree, kCardRecordsetProp);
        RemovePropW(tree, kCardIndicesProp);
        RemovePropW(tree, kNoExpandProp);
    }
    for (int i = 0; i < InfoStatics->GetCount(); ++i)
        DestroyWindow((HWND)InfoStatics->GetItems()[i]);
    if (DragMode)
        CancelDrag();
    delete ItemDialog;
    if (RecordPage)
        DestroyWindow(RecordPage);
    if (Page)
        DestroyWindow(Page);
    if (ContextMenu)
        DestroyMenu(ContextMenu);
    if (LargeImages)
        ImageList_Destroy(LargeImages);
    if (SmallImages)
        ImageList_Destroy(SmallImages);
    delete LevelCache;
    delete InfoStatics;
}

HWND CTreeCard::GetTreeView() const { return GetDlgItem(Page, IDC_CARD_TREE); }
HWND CTreeCard::GetChildList() const { return GetDlgItem(Page, IDC_CARD_CHILDLIST); }
HWND CTreeCard::GetRecordList() const { return GetDlgItem(RecordPage, IDC_CARD_RECORDLIST); }

HWND CTreeCard::MainWindow() const
{
    HWND parent = Page ? GetParent(Page) : nullptr;
    HWND main = parent ? GetParent(parent) : nullptr;
    return main ? main : parent;
}

LRESULT CTreeCard::SendMain(UINT msg, WPARAM wParam, LPARAM lParam) const
{
    HWND main = MainWindow();
    return main ? SendMessageW(main, msg, wParam, lParam) : 0;
}

// ---- dialogs ----

INT_PTR CALLBACK CTreeCard::PageDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CTreeCard* card = reinterpret_cast<CTreeCard*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        card = reinterpret_cast<CTreeCard*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, (LONG_PTR)card);
        card->Page = hwnd;
        HWND tree = GetDlgItem(hwnd, IDC_CARD_TREE);
        HWND list = GetDlgItem(hwnd, IDC_CARD_CHILDLIST);
        SendMessageW(tree, TVM_SETUNICODEFORMAT, TRUE, 0);
        SendMessageW(list, LVM_SETUNICODEFORMAT, TRUE, 0);
        SendMessageW(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, (LPARAM)card->SmallImages);
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, (LPARAM)card->LargeImages);
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)card->SmallImages);
        wchar_t caption[64] = L"";
        LoadStringW(card->Instance, kIdsColumnName, caption, 64);
        LVCOLUMNW col = {};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = caption;
        col.cx = kChildListColumnWidth;
        SendMessageW(list, LVM_INSERTCOLUMNW, 0, (LPARAM)&col);
        // Items are renamed in place in both the tree and the list of children.
        SetWindowLongW(tree, GWL_STYLE, GetWindowLongW(tree, GWL_STYLE) | TVS_EDITLABELS);
        SetWindowLongW(list, GWL_STYLE, GetWindowLongW(list, GWL_STYLE) | LVS_EDITLABELS);
        SetWindowSubclass(GetDlgItem(hwnd, IDC_CARD_WIDTHSPLITTER), WidthSplitterProc,
                          kSplitterSubclass, (DWORD_PTR)card);
        return FALSE;
    }
    case WM_SIZE:
        if (card && card->RecordPage)
            card->LayoutPage(LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_SHOWWINDOW:
        // Only the card's own show and hide, not the main window's minimising and restoring.
        if (card && lParam == 0)
            card->OnPageShown((BOOL)wParam);
        return FALSE;
    case WM_DRAWITEM:
        if (wParam == IDC_CARD_WIDTHSPLITTER) {
            DrawSplitter((const DRAWITEMSTRUCT*)lParam);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY:
        if (card) {
            LRESULT result = card->OnPageNotify((NMHDR*)lParam);
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
        return FALSE;
    case WM_CONTEXTMENU:
        // Only the tree's: a right click in a list bubbles up here as well.
        if (card && (HWND)wParam == card->GetTreeView()) {
            card->OnContextMenu((HWND)wParam, lParam);
            return TRUE;
        }
        return FALSE;
    case WM_MOUSEMOVE:
        if (card && card->DragMode)
            card->OnDragMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return FALSE;
    case WM_LBUTTONUP:
        if (card && card->DragMode)
            card->OnDrop(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return FALSE;
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
        if (card && card->DragMode)
            card->CancelDrag();
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK CTreeCard::RecordPageDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CTreeCard* card = reinterpret_cast<CTreeCard*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        card = reinterpret_cast<CTreeCard*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, (LONG_PTR)card);
        card->RecordPage = hwnd;
        HWND list = GetDlgItem(hwnd, IDC_CARD_RECORDLIST);
        SendMessageW(list, LVM_SETUNICODEFORMAT, TRUE, 0);
        DWORD ex = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP;
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
        if (card->ArrowImages)
            SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)card->ArrowImages);
        SubclassRecordListHeader(list, card->DividerCursor);
        SetWindowSubclass(GetDlgItem(hwnd, IDC_CARD_HEIGHTSPLITTER), HeightSplitterProc,
                          kSplitterSubclass, (DWORD_PTR)card);
        RECT title = ChildRect(GetDlgItem(hwnd, IDC_CARD_TITLE));
        card->TitleHeight = title.bottom - title.top;
        return FALSE;
    }
    case WM_SIZE:
        if (card)
            card->LayoutRecordPage(LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_SHOWWINDOW:
        if (card && lParam == 0)
            card->OnRecordPageShown((BOOL)wParam);
        return FALSE;
    case WM_CTLCOLORSTATIC: {
        HDC dc = (HDC)wParam;
        SetBkMode(dc, TRANSPARENT);
        if (card && (HWND)lParam == GetDlgItem(hwnd, IDC_CARD_TITLE))
            ::SetTextColor(dc, card->TitleColour);
        // The page's own background, not a null brush: a shorter text must wipe the longer
        // one it replaces.
        return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);
    }
    case WM_DRAWITEM:
        if (wParam == IDC_CARD_HEIGHTSPLITTER) {
            DrawSplitter((const DRAWITEMSTRUCT*)lParam);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY:
        if (card) {
            NMHDR* hdr = (NMHDR*)lParam;
            if (hdr->idFrom == IDC_CARD_RECORDLIST && hdr->code == LVN_BEGINDRAG) {
                card->BeginListDrag(hdr->hwndFrom, (NMLISTVIEW*)hdr, CARDDRAG_RECORDS);
                SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
                return TRUE;
            }
            if (hdr->idFrom == IDC_CARD_RECORDLIST) {
                LRESULT result = card->OnRecordListNotify(hdr);
                SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
                return TRUE;
            }
        }
        return FALSE;
    }
    return FALSE;
}

// ---- layout ----

void CTreeCard::Move(const RECT* rect)
{
    if (Page && rect)
        SetWindowPos(Page, nullptr, rect->left, rect->top, rect->right - rect->left,
                     rect->bottom - rect->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CTreeCard::LayoutPage(int width, int height)
{
    HWND tree = GetTreeView();
    RECT tr = ChildRect(tree);
    int t = tr.right - tr.left;
    int rest = width - t - kSplitterSize;
    if (rest < 0)
        rest = 0;
    HDWP dwp = BeginDeferWindowPos(4);
    UINT f = SWP_NOZORDER | SWP_NOACTIVATE;
    if (dwp)
        dwp = DeferWindowPos(dwp, tree, nullptr, 0, 0, t, height, f);
    if (dwp)
        dwp = DeferWindowPos(dwp, GetDlgItem(Page, IDC_CARD_WIDTHSPLITTER), nullptr, t, 0,
                             kSplitterSize, height, f);
    if (dwp)
        dwp = DeferWindowPos(dwp, GetChildList(), nullptr, t + kSplitterSize, 0, rest, height, f);
    if (dwp)
        dwp = DeferWindowPos(dwp, RecordPage, nullptr, t + kSplitterSize, 0, rest, height, f);
    if (dwp)
        EndDeferWindowPos(dwp);
}

int CTreeCard::WidthForDrag(int mouseX) const
{
    RECT client;
    GetClientRect(Page, &client);
    RECT tr = ChildRect(GetTreeView());
    int width = tr.right + mouseX - tr.left;
    if (width <= kMinPaneWidth || client.right - width - kSplitterSize <= kMinPaneWidth)
        return -1;
    return width;
}

int CTreeCard::HeightForDrag(int mouseY, int clientHeight) const
{
    RECT pr = ChildRect(GetDlgItem(RecordPage, IDC_CARD_PICTURE));
    int h = pr.bottom - pr.top + mouseY;
    if (h < kCardMinImageHeight)
        h = kCardMinImageHeight;
    if (clientHeight - h - kSplitterSize < kCardMinRecordListHeight)
        h = clientHeight - kCardMinRecordListHeight - kSplitterSize;
    if (h < kCardMinImageHeight)
        h = kCardMinImageHeight;
    return h;
}

void CTreeCard::MoveRecordPageParts(int width, int height, int pictureWidth, int pictureHeight)
{
    int i = pictureWidth, p = pictureHeight;
    int count = InfoStatics->GetCount();
    HDWP dwp = BeginDeferWindowPos(4 + count);
    UINT f = SWP_NOZORDER | SWP_NOACTIVATE;
    int textWidth = width - i - 4;
    if (textWidth < 0)
        textWidth = 0;
    int listHeight = height - p - 6;
    if (listHeight < 0)
        listHeight = 0;
    if (dwp)
        dwp = DeferWindowPos(dwp, GetDlgItem(RecordPage, IDC_CARD_TITLE), nullptr, 2, 2, textWidth,
                             TitleHeight, f);
    if (dwp)
        dwp = DeferWindowPos(dwp, GetDlgItem(RecordPage, IDC_CARD_PICTURE), nullptr,
                             width - i - 2, 2, i, p, f);
    if (dwp)
        dwp = DeferWindowPos(dwp, GetDlgItem(RecordPage, IDC_CARD_HEIGHTSPLITTER), nullptr, 0,
                             p + 2, width, kSplitterSize, f);
    if (dwp)
        dwp = DeferWindowPos(dwp, GetRecordList(), nullptr, 0, p + 6, width, listHeight, f);
    for (int k = 0; k < count && dwp; ++k)
        dwp = DeferWindowPos(dwp, (HWND)InfoStatics->GetItems()[k], nullptr, 2,
                             TitleHeight + kCardInfoLineHeight * k, textWidth, kCardInfoLineHeight, f);
    if (dwp)
        EndDeferWindowPos(dwp);
}

void CTreeCard::LayoutRecordPage(int width, int height)
{
    MoveRecordPageParts(width, height, ImageWidth, ImageHeight);
}

// ---- appearance ----

void CTreeCard::SetTextColor(COLORREF colour)
{
    TitleColour = colour;
    InvalidateRect(GetDlgItem(RecordPage, IDC_CARD_TITLE), nullptr, TRUE);
}

void CTreeCard::SetCardFont(HFONT font, int titleHeight)
{
    HWND title = GetDlgItem(RecordPage, IDC_CARD_TITLE);
    SendMessageW(title, WM_SETFONT, (WPARAM)font, FALSE);
    TitleHeight = titleHeight;
    RECT r = ChildRect(title);
    RECT area = r;
    area.bottom = area.top + (titleHeight > r.bottom - r.top ? titleHeight : r.bottom - r.top);
    InvalidateRect(RecordPage, &area, TRUE);
    int width = r.right - r.left - kCardTitleMargin;
    SetWindowPos(title, nullptr, 0, 0, width > 0 ? width : 0, titleHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The information lines sit below the title, so they follow its new height at once.
    RECT client;
    GetClientRect(RecordPage, &client);
    LayoutRecordPage(client.right, client.bottom);
    InvalidateRect(title, nullptr, TRUE);
}

int CTreeCard::GetListStyle() const
{
    return (int)(GetWindowLongW(GetChildList(), GWL_STYLE) & LVS_TYPEMASK);
}

void CTreeCard::SetListStyle(int style)
{
    HWND list = GetChildList();
    LONG old = GetWindowLongW(list, GWL_STYLE);
    SetWindowLongW(list, GWL_STYLE, (old & ~LVS_TYPEMASK) | (style & LVS_TYPEMASK));
    if (RecordPageShown)
        return;  // the record page is in front; the list takes the style when it comes back
    // Icon views show the large images, the others the small ones: the rows are made again.
    HWND tree = GetTreeView();
    HTREEITEM selected = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (selected)
        TreeChildrenToList(tree, list, selected);
    ShowWindow(list, SW_SHOW);
    InvalidateRect(list, nullptr, TRUE);
}

// ---- settings ----

void CTreeCard::SaveSettings(CXmlWriter* writer, IXMLDOMElement* element)
{
    if (!writer || !element)
        return;
    RECT tr = ChildRect(GetTreeView());
    writer->SetShortAttr(element, L"TreeWidth", tr.right - tr.left);
    writer->SetIntAttr(element, L"ListStyle", GetListStyle());
    // The column's own width, whatever view the list is in (LVM_GETCOLUMNWIDTH answers the
    // item width of the list view and nothing in the icon views).
    LVCOLUMNW col = {};
    col.mask = LVCF_WIDTH;
    SendMessageW(GetChildList(), LVM_GETCOLUMNW, 0, (LPARAM)&col);
    writer->SetShortAttr(element, L"ListCol1Width", col.cx);
    writer->SetIntAttr(element, L"CurId", CurId);
    writer->SetShortAttr(element, L"SortCol", SortCol);
    writer->SetShortAttr(element, L"ImageHeight", ImageHeight);
}

void CTreeCard::LoadSettings(CXmlReader* reader, IXMLDOMElement* element)
{
    if (!reader || !element)
        return;
    int value = 0;
    if (reader->GetShortAttr(element, L"TreeWidth", &value) && value > 0) {
        HWND tree = GetTreeView();
        RECT tr = ChildRect(tree);
        SetWindowPos(tree, nullptr, 0, 0, value, tr.bottom - tr.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client;
        GetClientRect(Page, &client);
        LayoutPage(client.right, client.bottom);
    }
    if (reader->GetIntAttr(element, L"ListStyle", &value))
        SetListStyle(value);
    if (reader->GetShortAttr(element, L"ListCol1Width", &value)) {
        LVCOLUMNW col = {};
        col.mask = LVCF_WIDTH;
        col.cx = value;
        SendMessageW(GetChildList(), LVM_SETCOLUMNW, 0, (LPARAM)&col);
    }
    if (reader->GetIntAttr(element, L"CurId", &value))
        CurId = value;
    if (reader->GetShortAttr(element, L"SortCol", &value))
        SortCol = value;
    // A picture height of zero or less would leave the panel without a picture for good.
    if (reader->GetShortAttr(element, L"ImageHeight", &value) && value > 0)
        ImageHeight = value;
}
