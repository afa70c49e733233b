// The tab workspace: construction, pages, layout, settings and the column lists.
#include "browse/workspace.h"

#include <strsafe.h>

#include "browse/addquerydlg.h"
#include "browse/litcard.h"
#include "browse/litrecorddlg.h"
#include "browse/recorddlg.h"
#include "browse/treecard.h"
#include "common/focusguard.h"
#include "core/containers.h"
#include "core/ctlfill.h"
#include "core/fields.h"
#include "core/xmlaccess.h"
#include "mainapp/zm_protocol.h"
#include "map/legendstyledlg.h"
#include "map/mapwnd.h"
#include "reports/printform.h"

namespace {

// Sort arrows: the two strokes of each arrow on a magenta 16 x 14 cell.
HBITMAP DrawArrowBitmap(HDC screen, bool up)
{
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 14);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    HGDIOBJ oldBrush = SelectObject(dc, magenta);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Rectangle(dc, 0, 0, 17, 15);
    HPEN shade = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_INACTIVECAPTION));
    HPEN white = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    SelectObject(dc, shade);
    if (up) {
        MoveToEx(dc, 8, 4, nullptr);
        LineTo(dc, 4, 10);
        SelectObject(dc, white);
        LineTo(dc, 12, 10);
        LineTo(dc, 8, 4);
    } else {
        MoveToEx(dc, 8, 10, nullptr);
        LineTo(dc, 4, 4);
        LineTo(dc, 12, 4);
        SelectObject(dc, white);
        LineTo(dc, 8, 10);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldBitmap);
    DeleteObject(shade);
    DeleteObject(white);
    DeleteObject(magenta);
    DeleteDC(dc);
    return bitmap;
}

// The search list's requests pass the tab control on their way to the main window. Its small
// images are the header's sort arrows, which no row shows.
LRESULT CALLBACK SearchListRequests(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR refData)
{
    if (msg == WM_NOTIFY) {
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->hwndFrom == reinterpret_cast<Workspace*>(refData)->SearchList
            && header->code == LVN_GETDISPINFOW) {
            LVITEMW* item = &reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
            if (item->mask & LVIF_IMAGE)
                item->iImage = -1;
        }
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

const UINT_PTR kSearchListRequestsId = 1;

}  // namespace

HIMAGELIST CreateSortArrowImages()
{
    HIMAGELIST images = ImageList_Create(16, 14, ILC_COLOR24 | ILC_MASK, 16, 4);
    if (!images)
        return nullptr;
    HDC screen = GetDC(nullptr);
    for (int up = 0; up < 2; up++) {
        HBITMAP arrow = DrawArrowBitmap(screen, up != 0);
        ImageList_AddMasked(images, arrow, RGB(255, 0, 255));
        DeleteObject(arrow);
    }
    ReleaseDC(nullptr, screen);
    return images;
}

Workspace::Workspace(HWND tabControl, HINSTANCE instance, ConfigData* config)
    : Instance(instance), MainWindow(GetParent(tabControl)), TabControl(tabControl),
      SearchList(nullptr), SysCard(nullptr), LocCard(nullptr), DividerCursor(nullptr),
      DividerOpenCursor(nullptr), DragCursor(nullptr), ZoomInCursor(nullptr),
      ZoomOutCursor(nullptr), PanCursor(nullptr), ArrowImages(nullptr), SearchWhere(nullptr),
      RecordDlg(nullptr), LitCard(nullptr), LitRecordDlg(nullptr), MapCards(nullptr),
      LegendStyleDlg(nullptr), QueryDlg(nullptr), ReportForm(nullptr), Config(config),
      SearchMenu(nullptr), SearchSortCol(0), SearchShown(0)
{
    RegisterMapWndClass(Instance);
    InsertTabFromString(TabControl, Instance, TAB_SYSTEM, IDS_WS_TAB_SYSTEM);
    InsertTabFromString(TabControl, Instance, TAB_LOCALITIES, IDS_WS_TAB_LOCALITIES);
    InsertTabFromString(TabControl, Instance, TAB_SEARCH, IDS_WS_TAB_SEARCH);
    InsertTabFromString(TabControl, Instance, TAB_LITERATURE, IDS_WS_TAB_LITERATURE);

    HMODULE comctl = GetModuleHandleW(L"ComCtl32.dll");
    DividerCursor = LoadCursorW(comctl, MAKEINTRESOURCEW(106));
    DividerOpenCursor = LoadCursorW(comctl, MAKEINTRESOURCEW(107));
    DragCursor = LoadCursorW(comctl, MAKEINTRESOURCEW(135));
    // Not every common-controls build carries the drag cursor; the program has its own.
    if (!DragCursor)
        DragCursor = LoadCursorW(Instance, L"CUR_DRAG");
    ZoomInCursor = LoadCursorW(Instance, L"CUR_ZOOMIN");
    ZoomOutCursor = LoadCursorW(Instance, L"CUR_ZOOMOUT");
    PanCursor = LoadCursorW(Instance, L"CUR_PAN");

    ArrowImages = CreateSortArrowImages();
    SearchMenu = LoadMenuW(Instance, L"SRCHMENU");

    SysCard = new CTreeCard(TabControl, Instance, DividerCursor, DividerOpenCursor, DragCursor,
                            ArrowImages, TREECARD_SYSTEMATIC);
    LocCard = new CTreeCard(TabControl, Instance, DividerCursor, DividerOpenCursor, DragCursor,
                            ArrowImages, TREECARD_LOCALITY);

    SearchList = CreateWindowExW(WS_EX_CLIENTEDGE, L"SysListView32", L"",
                                 WS_CHILD | LVS_REPORT | LVS_SHAREIMAGELISTS | LVS_OWNERDATA, 0, 0,
                                 100, 10, TabControl, nullptr, Instance, nullptr);
    SendMessageW(SearchList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT);
    SendMessageW(SearchList, CCM_SETUNICODEFORMAT, 1, 0);
    SendMessageW(SearchList, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)ArrowImages);
    SubclassRecordListHeader(SearchList, DividerCursor);
    SetWindowSubclass(TabControl, SearchListRequests, kSearchListRequestsId, (DWORD_PTR)this);
    LitCard = new CLitCard(TabControl, Instance, ArrowImages, DividerCursor);

    MapCards = new CObjArray(16, 4);
    ReportForm = new CPrintForm(Instance);
}

Workspace::~Workspace()
{
    if (IsWindow(TabControl))
        RemoveWindowSubclass(TabControl, SearchListRequests, kSearchListRequestsId);
    // In this order: print form, (criterion and legend dialogs,) map cards, (record dialogs,
    // literature card,) the two tree cards, then the arrow images they share.
    delete ReportForm;
    ReportForm = nullptr;
    delete QueryDlg;
    QueryDlg = nullptr;
    delete LegendStyleDlg;
    LegendStyleDlg = nullptr;
    // Map cards own their windows; the array deletes them.
    delete MapCards;
    MapCards = nullptr;
    delete LitRecordDlg;
    LitRecordDlg = nullptr;
    delete RecordDlg;
    RecordDlg = nullptr;
    delete LitCard;
    LitCard = nullptr;
    delete SysCard;
    SysCard = nullptr;
    delete LocCard;
    LocCard = nullptr;
    if (SearchList && IsWindow(SearchList))
        DestroyWindow(SearchList);
    SearchList = nullptr;
    if (ArrowImages)
        ImageList_Destroy(ArrowImages);
    ArrowImages = nullptr;
    if (SearchMenu)
        DestroyMenu(SearchMenu);
    SearchMenu = nullptr;
}

// ---- pages ----

int Workspace::GetCurrentTab(HWND owner)
{
    return (int)SendDlgItemMessageW(owner, kWorkspaceTabControlId, TCM_GETCURSEL, 0, 0);
}

CTreeCard* Workspace::CardOfTab(int tab) const
{
    if (tab == TAB_SYSTEM)
        return SysCard;
    if (tab == TAB_LOCALITIES)
        return LocCard;
    return nullptr;
}

int Workspace::MapIndexOfTab(int tab) const
{
    int index = tab - kFirstMapTab;
    if (index < 0 || !MapCards || index >= MapCards->GetCount())
        return -1;
    return index;
}

HWND Workspace::GetPageWindow(int tab)
{
    if (CardOfTab(tab))
        return CardOfTab(tab)->GetPage();
    if (tab == TAB_SEARCH)
        return SearchList;
    if (tab == TAB_LITERATURE)
        return LitCard ? LitCard->GetWindow() : nullptr;
    if (CZMapWnd* map = GetMapCard(tab))
        return map->Card;
    return nullptr;
}

void Workspace::ShowMapPage(int tab, int showCommand)
{
    // A shown map card announces its menu and commands to the main window itself.
    if (CZMapWnd* map = GetMapCard(tab))
        ShowWindow(map->Card, showCommand);
}

void Workspace::HidePage(HWND owner)
{
    int tab = GetCurrentTab(owner);
    if (tab >= kFirstMapTab) {
        ShowMapPage(tab, SW_HIDE);
        return;
    }
    HWND page = GetPageWindow(tab);
    if (page)
        ShowWindow(page, SW_HIDE);
}

int Workspace::ShowPage(HWND owner)
{
    int tab = GetCurrentTab(owner);
    HWND shown = nullptr;
    if (tab == TAB_SYSTEM || tab == TAB_LOCALITIES) {
        SendMessageW(MainWindow, ZM_ENABLE_VIEW_COMMANDS, 0, ZM_VIEW_MAP_COMMANDS);
        shown = CardOfTab(tab)->GetPage();
        ShowWindow(shown, SW_SHOW);
    } else if (tab == TAB_SEARCH) {
        SendMessageW(MainWindow, ZM_ENABLE_VIEW_COMMANDS, 0, ZM_VIEW_MAP_COMMANDS);
        LPARAM selected = SendMessageW(SearchList, LVM_GETSELECTEDCOUNT, 0, 0);
        SendMessageW(MainWindow, ZM_UPDATE_RECORD_TOOLBAR, 1, selected);
        shown = SearchList;
        ShowWindow(shown, SW_SHOW);
    } else if (tab == TAB_LITERATURE) {
        // The card updates the commands itself when it is shown.
        if (LitCard) {
            shown = LitCard->GetWindow();
            ShowWindow(shown, SW_SHOW);
        }
    } else if (tab >= kFirstMapTab) {
        ShowMapPage(tab, SW_SHOW);
        if (CZMapWnd* map = GetMapCard(tab))
            shown = map->Card;
    }
    // A switch made from the menu or the keyboard leaves the focus in the page just hidden.
    KeepFocusOnShownPage(MainWindow, shown, TabControl);
    SendMessageW(MainWindow, ZM_RESET_TOOLBAR_COMBO, 0, 0);
    SendMessageW(MainWindow, ZM_SHOW_TOOLBAR_COMBO,
                 (tab == TAB_SYSTEM || tab == TAB_LOCALITIES) ? 1 : 0, 0);
    return 1;
}

void Workspace::Layout(HWND tabControl, int left, int top, int width, int height)
{
    SetWindowPos(tabControl, nullptr, left, top, width, height,
                 SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_SHOWWINDOW);
    RECT area;
    GetClientRect(tabControl, &area);
    SendMessageW(tabControl, TCM_ADJUSTRECT, FALSE, (LPARAM)&area);
    SysCard->Move(&area);
    LocCard->Move(&area);
    SetWindowPos(SearchList, nullptr, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOZORDER);
    if (LitCard)
        LitCard->Move(&area);
    for (int i = 0; i < GetMapCount(); ++i)
        static_cast<CZMapWnd*>(MapCards->GetItems()[i])->Move(&area);
}

// ---- settings ----

void Workspace::SaveWorkspaceSettings(CXmlWriter* writer, IXMLDOMElement* parent)
{
    IXMLDOMElement* element = writer->AddChildElement(parent, L"SysTab");
    if (element) {
        SysCard->SaveSettings(writer, element);
        element->Release();
    }
    element = writer->AddChildElement(parent, L"LocTab");
    if (element) {
        LocCard->SaveSettings(writer, element);
        element->Release();
    }
    element = writer->AddChildElement(parent, L"SearchTab");
    if (element) {
        writer->SetIntAttr(element, L"SortCol", SearchSortCol);
        element->Release();
    }
    element = writer->AddChildElement(parent, L"LitTab");
    if (element) {
        if (LitCard)
            LitCard->SaveSettings(writer, element);
        element->Release();
    }
    element = writer->AddChildElement(parent, L"Maps");
    if (element) {
        // Map1, Map2, ... in tab order, each with its tab's text as its name.
        for (int i = 0; i < GetMapCount(); ++i) {
            wchar_t name[kMapNameSize] = L"";
            TCITEMW tab = {};
            tab.mask = TCIF_TEXT;
            tab.pszText = name;
            tab.cchTextMax = kMapNameSize;
            SendMessageW(TabControl, TCM_GETITEMW, kFirstMapTab + i, (LPARAM)&tab);
            static_cast<CZMapWnd*>(MapCards->GetItems()[i])->SaveSettings(writer, element, i + 1, name);
        }
        element->Release();
    }
    ReportForm->SaveSettings(writer, parent);
}

void Workspace::LoadWorkspaceSettings(CXmlReader* reader, IXMLDOMElement* parent,
                                      CPtrArray* gridList)
{
    IXMLDOMElement* element = reader->SelectChildElement(parent, L"SysTab");
    if (element) {
        SysCard->LoadSettings(reader, element);
        element->Release();
    }
    element = reader->SelectChildElement(parent, L"LocTab");
    if (element) {
        LocCard->LoadSettings(reader, element);
        element->Release();
    }
    element = reader->SelectChildElement(parent, L"SearchTab");
    if (element) {
        reader->GetIntAttr(element, L"SortCol", &SearchSortCol);
        element->Release();
    }
    element = reader->SelectChildElement(parent, L"LitTab");
    if (element) {
        if (LitCard)
            LitCard->LoadSettings(reader, element);
        element->Release();
    }
    // Every child of Maps, whatever its name, becomes a map tab in document order.
    element = reader->SelectChildElement(parent, L"Maps");
    if (element) {
        for (IXMLDOMElement* map = reader->FirstChildElement(element, nullptr); map;
             map = reader->NextSiblingElement(map, nullptr))
            AddMapCard(reader, map, gridList);
        element->Release();
    }
    ReportForm->LoadSettings(reader, parent);
}

void Workspace::CollectColumnLayout()
{
    for (int list = WS_SYS_RECORDS; list <= WS_LIT_LIST; list++) {
        HWND view = GetListWindow(list);
        if (!view)
            continue;
        HWND header = (HWND)SendMessageW(view, LVM_GETHEADER, 0, 0);
        int count = header ? (int)SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) : 0;
        if (count <= 0)
            continue;
        CIntArray order(count, 8);
        for (int i = 0; i < count; i++)
            order.Add(-1);
        SendMessageW(view, LVM_GETCOLUMNORDERARRAY, count, (LPARAM)order.GetItems());
        for (int i = 0; i < count; i++) {
            HDITEMW item = {};
            item.mask = HDI_LPARAM | HDI_WIDTH;
            if (!SendMessageW(header, HDM_GETITEMW, i, (LPARAM)&item) || !item.lParam)
                continue;
            CDispField* field = reinterpret_cast<CDispField*>(item.lParam);
            field->Width = item.cxy;
            field->Order = -1;
            for (int position = 0; position < count; position++) {
                if (order.GetItems()[position] == i) {
                    field->Order = position;
                    break;
                }
            }
        }
    }
}

// ---- configuration ----

void Workspace::ApplyCardFont(HFONT font, COLORREF color, int titleHeight)
{
    SysCard->SetCardFont(font, titleHeight);
    SysCard->SetTextColor(color);
    LocCard->SetCardFont(font, titleHeight);
    LocCard->SetTextColor(color);
}

void Workspace::ApplyHeaderFields(int card, CObjArray* fields)
{
    CTreeCard* target = GetCard(card);
    if (target)
        target->SetInfoFields(fields);
}

void Workspace::ApplyListFields(int list, CObjArray* fields)
{
    HWND view = GetListWindow(list);
    if (!view)
        return;
    SetupListColumns(view, fields);
    int sortState = 0;
    if (list == WS_SYS_RECORDS)
        sortState = SysCard->GetSortColumn();
    else if (list == WS_LOC_RECORDS)
        sortState = LocCard->GetSortColumn();
    else if (list == WS_SEARCH_LIST)
        sortState = SearchSortCol;
    else if (list == WS_LIT_LIST && LitCard)
        sortState = LitCard->GetSortColumn();
    SetSortArrow(view, 0, sortState);
}

void Workspace::SetTreeSource(int card, zdata::Recordset* treeRs)
{
    if (card == WS_SYS_CARD)
        SysCard->SetTreeSource(treeRs, 4, 5);
    else if (card == WS_LOC_CARD)
        LocCard->SetTreeSource(treeRs, 3, 5);
}

// ---- accessors ----

CTreeCard* Workspace::GetCard(int card) const
{
    if (card == WS_SYS_CARD)
        return SysCard;
    if (card == WS_LOC_CARD)
        return LocCard;
    return nullptr;
}

CPtrArray* Workspace::GetLevelCache(int card) const
{
    CTreeCard* c = GetCard(card);
    return c ? c->GetLevelCache() : nullptr;
}

HIMAGELIST Workspace::GetLargeImages(int card) const
{
    CTreeCard* c = GetCard(card);
    return c ? c->GetLargeImages() : nullptr;
}

HIMAGELIST Workspace::GetSmallImages(int card) const
{
    CTreeCard* c = GetCard(card);
    return c ? c->GetSmallImages() : nullptr;
}

HWND Workspace::GetTreeView(int card) const
{
    CTreeCard* c = GetCard(card);
    return c ? c->GetTreeView() : nullptr;
}

HWND Workspace::GetChildList(int card) const
{
    CTreeCard* c = GetCard(card);
    return c ? c->GetChildList() : nullptr;
}

HWND Workspace::GetRecordList(int card) const
{
    CTreeCard* c = GetCard(card);
    return c ? c->GetRecordList() : nullptr;
}

int Workspace::GetCurrentId(int card) const
{
    CTreeCard* c = GetCard(card);
    return c ? c->GetCurrentId() : -1;
}

HWND Workspace::GetLitList() const
{
    return LitCard ? LitCard->GetList() : nullptr;
}

HWND Workspace::GetListWindow(int list) const
{
    switch (list) {
    case WS_SYS_RECORDS:
        return SysCard->GetRecordList();
    case WS_LOC_RECORDS:
        return LocCard->GetRecordList();
    case WS_SEARCH_LIST:
        return SearchList;
    case WS_LIT_LIST:
        return GetLitList();
    default:
        return nullptr;
    }
}
