// The map card MAPCARD: its procedure, the layout of the controls, the splitter and the view, the
// legend list's notifications and context menu, and the card's commands.
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>

#include "common/popupmenu.h"
#include "core/ctlfill.h"
#include "core/textutil.h"
#include "shellcontract/zm_protocol.h"
#include "map/legend.h"
#include "map/legendstyledlg.h"
#include "map/mapwnd.h"
#include "resources/zorna/resource.h"

namespace {

const UINT_PTR kSplitterSubclass = 1;
const UINT_PTR kScaleEditSubclass = 2;

CZMapWnd* CardOf(HWND card)
{
    return (CZMapWnd*)GetWindowLongPtrW(card, DWLP_USER);
}

// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child)
{
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), (POINT*)&r, 2);
    return r;
}

void SetChildWidth(HWND child, int width, int height)
{
    SetWindowPos(child, nullptr, 0, 0, width > 1 ? width : 1, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The legend's image list takes the screen's colour depth.
UINT ImageListDepth()
{
    HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    if (bits >= 25)
        return ILC_COLOR32;
    if (bits >= 17)
        return ILC_COLOR24;
    if (bits >= 9)
        return ILC_COLOR16;
    if (bits >= 5)
        return ILC_COLOR8;
    return ILC_COLOR;
}

LRESULT CALLBACK SplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR refData)
{
    CZMapWnd* map = (CZMapWnd*)refData;
    switch (msg) {
    case WM_SETCURSOR:
        SetCursor(map->SplitCursor ? map->SplitCursor : LoadCursorW(nullptr, IDC_SIZEWE));
        return TRUE;
    case WM_LBUTTONDOWN:
        if (wParam == MK_LBUTTON) {
            map->Dragging = 1;
            SetCapture(hwnd);
        }
        return 0;
    case WM_MOUSEMOVE:
        if (map->Dragging) {
            POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            MapWindowPoints(hwnd, map->Card, &p, 1);
            if (map->SetSplitPosition(p.x))
                UpdateWindow(map->Card);
        }
        return 0;
    case WM_LBUTTONUP:
        if (map->Dragging) {
            map->Dragging = 0;
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        map->Dragging = 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, SplitterProc, kSplitterSubclass);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// The scale edit takes Enter as the end of typing (the dialog code would take it for the main
// window's default button, and the scale would wait until the edit lost the focus).
LRESULT CALLBACK ScaleEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR refData)
{
    CZMapWnd* map = (CZMapWnd*)refData;
    switch (msg) {
    case WM_GETDLGCODE:
        if (wParam == VK_RETURN)
            return DLGC_WANTALLKEYS | DefSubclassProc(hwnd, msg, wParam, lParam);
        break;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            if (map->ScaleEdited)
                map->TakeTypedScale();
            SendMessageW(hwnd, EM_SETSEL, 0, -1);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r')
            return 0;  // no beep
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, ScaleEditProc, kScaleEditSubclass);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// ---- the card's parts

void InitCard(CZMapWnd* map, HWND card)
{
    map->Card = card;
    HWND legend = GetDlgItem(card, IDC_MAPCARD_LEGEND);
    SendMessageW(legend, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    SendMessageW(legend, CCM_SETUNICODEFORMAT, 1, 0);
    map->Images = ImageList_Create(16, 16, ImageListDepth() | ILC_MASK, 16, 4);
    SendMessageW(legend, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)map->Images);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    SendMessageW(legend, LVM_INSERTCOLUMNW, 0, (LPARAM)&column);

    SetWindowSubclass(GetDlgItem(card, IDC_MAPCARD_SPLITTER), SplitterProc, kSplitterSubclass, (DWORD_PTR)map);
    SetWindowSubclass(GetDlgItem(card, IDC_MAPCARD_SCALE), ScaleEditProc, kScaleEditSubclass, (DWORD_PTR)map);
    map->CreateView(card);

    HWND systems = GetDlgItem(card, IDC_MAPCARD_COORDSYS);
    for (UINT id = IDS_COORDSYS_FIRST; id <= IDS_COORDSYS_FIRST + 1; ++id) {
        wchar_t text[64] = L"";
        LoadStringW(map->Instance, id, text, 64);
        SendMessageW(systems, CB_ADDSTRING, 0, (LPARAM)text);
    }
    SendMessageW(systems, CB_SETCURSEL, 0, 0);
    map->Grid = -1;
    map->CoordSys = 0;
    CheckRadioButton(card, IDC_MAPCARD_SPECIES, IDC_MAPCARD_SELECTION, IDC_MAPCARD_SPECIES);
    map->Display = 0;
    map->LayoutCard();
}

// The card shown or hidden: the main window takes or drops the map menu and commands, and
// checks the card's tool.
void AnnounceShown(CZMapWnd* map, bool shown)
{
    HWND main = map->MainWindow();
    if (!main)
        return;
    if (!shown) {
        SendMessageW(main, ZM_SHOW_VIEW_MENU, ZM_MENU_MAP, 0);
        return;
    }
    SendMessageW(main, ZM_SHOW_VIEW_MENU, ZM_MENU_MAP, 1);
    SendMessageW(main, ZM_ENABLE_VIEW_COMMANDS, 1, ZM_VIEW_MAP_COMMANDS);
    SendMessageW(main, ZM_UPDATE_RECORD_TOOLBAR, 1, 0);
    const int command = map->Tool == MAP_TOOL_ZOOM_IN    ? IDM_ZOOMIN
                        : map->Tool == MAP_TOOL_ZOOM_OUT ? IDM_ZOOMOUT
                                                         : IDM_PAN;
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(command, 2), 0);
}

int HitRow(HWND legend, POINT p, UINT* flags)
{
    LVHITTESTINFO hit = {};
    hit.pt = p;
    int row = (int)SendMessageW(legend, LVM_HITTEST, 0, (LPARAM)&hit);
    if (flags)
        *flags = hit.flags;
    return row;
}

void BeginLegendDrag(CZMapWnd* map, const NMLISTVIEW* nm)
{
    HWND legend = map->LegendList();
    POINT origin = {0, 0};
    HIMAGELIST image = (HIMAGELIST)SendMessageW(legend, LVM_CREATEDRAGIMAGE, nm->iItem, (LPARAM)&origin);
    if (!image)
        return;
    map->Dragging = 1;
    map->DragIndex = nm->iItem;
    map->DragImage = image;
    ImageList_BeginDrag(image, 0, nm->ptAction.x - origin.x, nm->ptAction.y - origin.y);
    ImageList_DragEnter(legend, nm->ptAction.x, nm->ptAction.y);
    SetCapture(map->Card);
}

void EndDragImage(CZMapWnd* map)
{
    if (!map->DragImage)
        return;
    ImageList_DragLeave(map->LegendList());
    ImageList_EndDrag();
    ImageList_Destroy(map->DragImage);
    map->DragImage = nullptr;
}

LRESULT OnLegendNotify(CZMapWnd* map, NMHDR* nm)
{
    HWND legend = nm->hwndFrom;
    switch (nm->code) {
    case LVN_ENDLABELEDITW: {
        NMLVDISPINFOW* info = (NMLVDISPINFOW*)nm;
        LegendItem* item = LegendItemAt(legend, info->item.iItem);
        // An empty label is refused; the edit then ends with the old text.
        if (!item || !info->item.pszText || !info->item.pszText[0])
            return FALSE;
        CopyWideBounded(info->item.pszText, item->Title, LEGEND_TEXT_SIZE);
        return TRUE;
    }
    case NM_CLICK: {
        UINT flags = 0;
        POINT p = ((NMITEMACTIVATE*)nm)->ptAction;
        if (HitRow(legend, p, &flags) >= 0 && (flags & LVHT_ONITEMSTATEICON))
            InvalidateRect(map->View, nullptr, FALSE);  // a layer shown or hidden
        return 0;
    }
    case LVN_ITEMCHANGED: {
        // The check box also changes by keyboard (space).
        const NMLISTVIEW* change = (const NMLISTVIEW*)nm;
        if ((change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK))
            InvalidateRect(map->View, nullptr, FALSE);
        return 0;
    }
    case NM_DBLCLK: {
        UINT flags = 0;
        int row = HitRow(legend, ((NMITEMACTIVATE*)nm)->ptAction, &flags);
        if (row >= 0 && (flags & LVHT_ONITEMICON))
            map->EditLegendStyle(row);
        return 0;
    }
    case LVN_BEGINDRAG:
        BeginLegendDrag(map, (NMLISTVIEW*)nm);
        return 0;
    default:
        return 0;
    }
}

void OnCardCommand(CZMapWnd* map, int id, int code)
{
    switch (id) {
    case IDC_MAPCARD_SPECIES:
    case IDC_MAPCARD_SELECTION: {
        if (code != BN_CLICKED)
            return;
        const int display = IsDlgButtonChecked(map->Card, IDC_MAPCARD_SELECTION) == BST_CHECKED ? 1 : 0;
        if (display == map->Display)
            return;
        map->Display = display;
        map->InvalidateLayers(1);
        InvalidateRect(map->View, nullptr, FALSE);
        return;
    }
    case IDC_MAPCARD_SCALE:
        if (code == EN_CHANGE && !map->ScaleUpdating)
            map->ScaleEdited = 1;
        else if (code == EN_KILLFOCUS && !map->ScaleUpdating && map->ScaleEdited)
            map->TakeTypedScale();
        return;
    case IDC_MAPCARD_COORDSYS:
        if (code != CBN_SELCHANGE)
            return;
        map->CoordSys = (int)SendDlgItemMessageW(map->Card, IDC_MAPCARD_COORDSYS, CB_GETCURSEL, 0, 0);
        if (map->CoordSys < 0)
            map->CoordSys = 0;
        map->UpdateYFactor();
        map->InvalidateLayers(0);
        map->ZoomToExtent();
        InvalidateRect(map->View, nullptr, FALSE);
        return;
    case IDC_MAPCARD_GRIDS:
        if (code != CBN_SELCHANGE)
            return;
        map->Grid = (int)SendDlgItemMessageW(map->Card, IDC_MAPCARD_GRIDS, CB_GETCURSEL, 0, 0);
        InvalidateRect(map->View, nullptr, FALSE);
        return;
    default:
        return;
    }
}

}  // namespace

// ---- the card's layout

void CZMapWnd::Move(const RECT* rect)
{
    if (Card && rect)
        SetWindowPos(Card, nullptr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void CZMapWnd::LayoutCard()
{
    if (!Card)
        return;
    RECT client;
    GetClientRect(Card, &client);
    // A splitter place read from the settings may lie beyond a smaller card: the view keeps its
    // room, and the place itself is kept for a larger window.
    int split = SplitWidth;
    const int widest = client.right - kMapSplitterWidth - kMapMinPaneWidth - 1;
    if (widest > kMapMinPaneWidth && split > widest)
        split = widest;
    static const int kStretched[] = {IDC_MAPCARD_COORDSYS, IDC_MAPCARD_DISPLAYGROUP, IDC_MAPCARD_SCALEGROUP,
                                     IDC_MAPCARD_SPECIES,  IDC_MAPCARD_SELECTION,    IDC_MAPCARD_COORDLABEL,
                                     IDC_MAPCARD_GRIDLABEL, IDC_MAPCARD_LEGENDLABEL, IDC_MAPCARD_GRIDS};
    // Each control keeps its left margin m and gets the width split - 2m.
    for (int id : kStretched) {
        HWND child = GetDlgItem(Card, id);
        RECT r = ChildRect(child);
        SetChildWidth(child, split - 2 * r.left, r.bottom - r.top);
    }
    // The scale edit ends where the controls inside its group end.
    HWND edit = GetDlgItem(Card, IDC_MAPCARD_SCALE);
    RECT er = ChildRect(edit);
    const int inner = ChildRect(GetDlgItem(Card, IDC_MAPCARD_SCALEPREFIX)).left;
    SetChildWidth(edit, split - inner - er.left, er.bottom - er.top);
    // The legend fills the height below its top, leaving its left margin at the bottom.
    HWND legend = LegendList();
    RECT lr = ChildRect(legend);
    SetChildWidth(legend, split - 2 * lr.left, client.bottom - lr.top - lr.left);
    RECT inside;
    GetClientRect(legend, &inside);
    SendMessageW(legend, LVM_SETCOLUMNWIDTH, 0, inside.right > 0 ? inside.right : 1);
    SetWindowPos(GetDlgItem(Card, IDC_MAPCARD_SPLITTER), nullptr, split, 0, kMapSplitterWidth, client.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (!View)
        return;
    const int left = split + kMapSplitterWidth;
    SetWindowPos(View, nullptr, left, 0, client.right - left > 0 ? client.right - left : 0, client.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    // A first view follows the size until it is drawn (the main window may still be sized
    // after its maps are made).
    if (FitPending && HasExtent)
        FitExtentToView();
}

bool CZMapWnd::SetSplitPosition(int x)
{
    if (!Card)
        return false;
    RECT client;
    GetClientRect(Card, &client);
    if (!(x > kMapMinPaneWidth && client.right - x - kMapSplitterWidth > kMapMinPaneWidth))
        return false;
    SplitWidth = x;
    LayoutCard();
    return true;
}

// ---- the legend's commands

void CZMapWnd::EditLegendStyle(int index)
{
    HWND legend = LegendList();
    LegendItem* item = LegendItemAt(legend, index);
    if (!item || !StyleDlgSlot)
        return;
    if (!*StyleDlgSlot)
        *StyleDlgSlot = new CEditLegendStyleDlg(Instance);
    if (!(*StyleDlgSlot)->Show(Card, &item->Style))
        return;
    item->Style = (*StyleDlgSlot)->Style;
    HDC dc = GetDC(Card);
    item->ImageIndex = SetStylePreview(Images, item->ImageIndex, &item->Style, 16, 16, dc);
    ReleaseDC(Card, dc);
    LVITEMW lv = {};
    lv.mask = LVIF_IMAGE;
    lv.iItem = index;
    lv.iImage = item->ImageIndex;
    SendMessageW(legend, LVM_SETITEMW, 0, (LPARAM)&lv);
    SendMessageW(legend, LVM_REDRAWITEMS, index, index);
    InvalidateLayers(0);
    InvalidateRect(View, nullptr, FALSE);
}

void CZMapWnd::OnLegendContextMenu(int x, int y)
{
    HWND legend = LegendList();
    POINT p = {x, y};
    ScreenToClient(legend, &p);
    RECT client;
    GetClientRect(legend, &client);
    if (!PtInRect(&client, p))
        return;
    const int row = (int)SendMessageW(legend, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    const LegendItem* item = LegendItemAt(legend, row);
    if (row < 0 || !item || !LegendMenu)
        return;
    HMENU popup = GetSubMenu(LegendMenu, 0);
    const UINT queryOnly = MF_BYCOMMAND | (item->Query ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(popup, IDM_LEGEND_PROPERTIES, queryOnly);
    EnableMenuItem(popup, IDM_LEGEND_DELETE, queryOnly);
    const int command = ChoosePopupMenuCommand(popup, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, x, y, Card);
    if (command == IDM_LEGEND_STYLE)
        EditLegendStyle(row);
    else if (command == IDM_LEGEND_PROPERTIES && item->Query)
        EditQueryLayer(row);
    else if (command == IDM_LEGEND_DELETE && item->Query)
        DeleteQueryLayer(row);
}

void CZMapWnd::EndLegendDrag(int x, int y)
{
    Dragging = 0;
    EndDragImage(this);
    if (GetCapture() == Card)
        ReleaseCapture();
    HWND legend = LegendList();
    POINT p = {x, y};
    MapWindowPoints(Card, legend, &p, 1);
    const int count = (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0);
    int target = HitRow(legend, POINT{40, p.y}, nullptr);
    if (target < 0 && count > 0) {
        // Below the last row means the end of the legend; anywhere else nothing.
        RECT last = {LVIR_BOUNDS};
        if (SendMessageW(legend, LVM_GETITEMRECT, count - 1, (LPARAM)&last) && p.y >= last.bottom)
            target = count - 1;
    }
    if (target >= 0)
        MoveLegendRow(DragIndex, target);
    DragIndex = -1;
}

// ---- the procedure

INT_PTR CALLBACK MapCardDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        CZMapWnd* map = (CZMapWnd*)lParam;
        SetWindowLongPtrW(hwnd, DWLP_USER, (LONG_PTR)map);
        map->OwnsCard = true;
        InitCard(map, hwnd);
        return FALSE;
    }
    CZMapWnd* map = CardOf(hwnd);
    if (!map)
        return FALSE;
    switch (msg) {
    case WM_DESTROY:
        if (map->Dragging && map->DragImage)
            EndDragImage(map);
        map->FreeLegend();
        if (map->Images)
            ImageList_Destroy(map->Images);
        map->Images = nullptr;
        return FALSE;
    case WM_SIZE:
        map->LayoutCard();
        return TRUE;
    case WM_ERASEBKGND:
        if (map->NewerWindows && map->View)
            InvalidateRect(map->View, nullptr, FALSE);
        return FALSE;
    case WM_SHOWWINDOW:
        AnnounceShown(map, wParam != 0);
        return TRUE;
    case WM_NOTIFY: {
        NMHDR* nm = (NMHDR*)lParam;
        if (nm->idFrom != IDC_MAPCARD_LEGEND)
            return FALSE;
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, OnLegendNotify(map, nm));
        return TRUE;
    }
    case WM_CONTEXTMENU:
        if ((HWND)wParam == map->LegendList())
            map->OnLegendContextMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return TRUE;
    case WM_COMMAND:
        OnCardCommand(map, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_MOUSEMOVE:
        if (map->Dragging && map->DragImage) {
            POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            MapWindowPoints(hwnd, map->LegendList(), &p, 1);
            ImageList_DragMove(p.x, p.y);
        }
        return TRUE;
    case WM_LBUTTONUP:
        if (map->Dragging && map->DragImage)
            map->EndLegendDrag(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return TRUE;
    case WM_CAPTURECHANGED:
        // A drag that loses the mouse ends without a move.
        if (map->Dragging && map->DragImage && (HWND)lParam != hwnd) {
            map->Dragging = 0;
            map->DragIndex = -1;
            EndDragImage(map);
        }
        return TRUE;
    case WM_DRAWITEM:
        if (wParam == IDC_MAPCARD_SPLITTER) {
            const DRAWITEMSTRUCT* dis = (const DRAWITEMSTRUCT*)lParam;
            FillRect(dis->hDC, &dis->rcItem, GetSysColorBrush(COLOR_BTNFACE));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
