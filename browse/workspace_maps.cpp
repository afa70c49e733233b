// The workspace's map tabs: new, close and rename, the map commands on the map in front, the
// grid list handed to every map, and the query layer added from the criterion dialog.
#include <windows.h>
#include <commctrl.h>

#include <cwctype>

#include "browse/addquerydlg.h"
#include "browse/workspace.h"
#include "core/containers.h"
#include "core/msgboxtext.h"
#include "core/textutil.h"
#include "map/mapwnd.h"
#include "resources/zorna/resource.h"

namespace {

const wchar_t kBufferProperty[] = L"Buffer";

RECT DisplayArea(HWND tabControl)
{
    RECT area;
    GetClientRect(tabControl, &area);
    SendMessageW(tabControl, TCM_ADJUSTRECT, FALSE, (LPARAM)&area);
    return area;
}

}  // namespace

void RegisterMapWndClass(HINSTANCE instance)
{
    RegisterMapViewClass(instance);
}

namespace {

// Why a new map name cannot be taken (a string of the table), 0 when it can: it must hold more
// than blanks, and no other map may have it (whatever the case of its letters).
UINT RenameRefusal(const RenameMapRequest& request, const wchar_t* name)
{
    bool blank = true;
    for (const wchar_t* c = name; *c && blank; ++c)
        blank = iswspace(*c) != 0;
    if (blank)
        return IDS_MAP_NAME_EMPTY;
    for (const std::wstring& other : request.Taken)
        if (SameTextNoCase(other.c_str(), name))
            return IDS_MAP_NAME_TAKEN;
    return 0;
}

}  // namespace

INT_PTR CALLBACK RenameMapDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        const RenameMapRequest* request = (const RenameMapRequest*)lParam;
        SetPropW(hwnd, kBufferProperty, (HANDLE)lParam);
        SetDlgItemTextW(hwnd, IDC_RENAME_EDIT, request ? request->Name : L"");
        SendDlgItemMessageW(hwnd, IDC_RENAME_EDIT, EM_LIMITTEXT, kMapNameSize - 1, 0);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            RenameMapRequest* request = (RenameMapRequest*)GetPropW(hwnd, kBufferProperty);
            wchar_t name[kMapNameSize] = L"";
            GetDlgItemTextW(hwnd, IDC_RENAME_EDIT, name, kMapNameSize);
            if (const UINT refusal = request ? RenameRefusal(*request, name) : 0) {
                // Said over the dialog, which stays with the name selected for typing anew.
                ZorMessageBoxResText(hwnd, request->Instance, refusal, IDS_ERROR_CAPTION, MB_OK | MB_ICONWARNING, {name});
                HWND edit = GetDlgItem(hwnd, IDC_RENAME_EDIT);
                SetFocus(edit);
                SendMessageW(edit, EM_SETSEL, 0, -1);
                return TRUE;
            }
            if (request)
                CopyWideBounded(name, request->Name, kMapNameSize);
            EndDialog(hwnd, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, 0);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        RemovePropW(hwnd, kBufferProperty);
        return FALSE;
    default:
        return FALSE;
    }
}

CZMapWnd* Workspace::GetMapCard(int tab) const
{
    const int index = MapIndexOfTab(tab);
    return index < 0 ? nullptr : static_cast<CZMapWnd*>(MapCards->GetItems()[index]);
}

int Workspace::AddMapCard(CXmlReader* reader, IXMLDOMElement* element, CPtrArray* gridList)
{
    CZMapWnd* map = new CZMapWnd(TabControl, Instance, DividerOpenCursor, ZoomInCursor, ZoomOutCursor, PanCursor,
                                 &LegendStyleDlg,
                                 [this](HWND owner, ConfigData* config, QueryCriterion* criterion) {
                                     return ShowQueryDialog(owner, config, criterion);
                                 },
                                 Config);
    map->SetGridList(gridList);
    wchar_t* name = nullptr;
    if (element)
        map->LoadSettings(reader, element, &name);  // a map without Name gets an empty tab text
    else
        name = LoadStringAlloc(Instance, IDS_NEW_MAP);
    RECT area = DisplayArea(TabControl);
    map->Move(&area);
    MapCards->Add(map);
    const int tab = MapCards->GetCount() + kFirstMapTab - 1;
    wchar_t text[kMapNameSize] = L"";
    CopyWideBounded(name ? name : L"", text, element ? kMapNameSize : 64);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    SendMessageW(TabControl, TCM_INSERTITEMW, tab, (LPARAM)&item);
    free(name);
    return tab;
}

int Workspace::NewMap(HWND owner, CPtrArray* gridList)
{
    const int tab = AddMapCard(nullptr, nullptr, gridList);
    HidePage(owner);
    SendMessageW(TabControl, TCM_SETCURSEL, tab, 0);
    ShowPage(owner);
    return 1;
}

void Workspace::CloseMap(HWND owner)
{
    const int tab = GetCurrentTab(owner);
    if (MapIndexOfTab(tab) < 0)
        return;
    HidePage(owner);
    RemoveMapTab(tab);
    const int count = (int)SendMessageW(TabControl, TCM_GETITEMCOUNT, 0, 0);
    SendMessageW(TabControl, TCM_SETCURSEL, tab < count ? tab : tab - 1, 0);
    ShowPage(owner);
}

void Workspace::RenameMap(HWND repaint)
{
    const int tab = GetCurrentTab(MainWindow);
    if (MapIndexOfTab(tab) < 0)
        return;
    wchar_t name[kMapNameSize] = L"";
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.cchTextMax = kMapNameSize;
    RenameMapRequest request = {name, {}, Instance};
    for (int i = 0; i < GetMapCount(); ++i) {
        wchar_t other[kMapNameSize] = L"";
        item.pszText = other;
        SendMessageW(TabControl, TCM_GETITEMW, kFirstMapTab + i, (LPARAM)&item);
        if (kFirstMapTab + i != tab)
            request.Taken.push_back(other);
        else
            CopyWideBounded(other, name, kMapNameSize);
    }
    if (DialogBoxParamW(Instance, L"RENAMEMAPDLG", MainWindow, RenameMapDlgProc, (LPARAM)&request) != 1)
        return;
    item.pszText = name;
    SendMessageW(TabControl, TCM_SETITEMW, tab, (LPARAM)&item);
    // The tab strip redraws only where its tabs now are: a shorter name would leave the end of
    // the longer one standing. Only the row of tabs is drawn anew, not the card below it.
    RECT row = {};
    GetClientRect(TabControl, &row);
    RECT tabRect = {};
    if (SendMessageW(TabControl, TCM_GETITEMRECT, tab, (LPARAM)&tabRect))
        row.bottom = tabRect.bottom + 2;
    InvalidateRect(TabControl, &row, TRUE);
    if (repaint)
        InvalidateRect(repaint, nullptr, TRUE);
}

void Workspace::LoadGraphics(HWND owner)
{
    if (CZMapWnd* map = GetMapCard(GetCurrentTab(owner)))
        map->BrowseShapeFolder(owner);
}

void Workspace::SetGridList(CPtrArray* gridList)
{
    for (int i = 0; i < GetMapCount(); ++i)
        static_cast<CZMapWnd*>(MapCards->GetItems()[i])->SetGridList(gridList);
}

void Workspace::SetMapTool(HWND owner, int tool)
{
    if (CZMapWnd* map = GetMapCard(GetCurrentTab(owner)))
        map->Tool = tool;
}

void Workspace::ShowAllMap(HWND owner)
{
    if (CZMapWnd* map = GetMapCard(GetCurrentTab(owner)))
        map->ZoomToExtent();
}

int Workspace::GetMapDisplay(int tab) const
{
    CZMapWnd* map = GetMapCard(tab);
    return map ? map->Display : 0;
}

int Workspace::ShowQueryDialog(HWND owner, ConfigData* config, QueryCriterion* criterion)
{
    if (!QueryDlg)
        QueryDlg = new CAddQueryDlg(Instance);
    return QueryDlg->Show(owner, config, criterion);
}

void Workspace::AddQueryLayer(HWND owner)
{
    CZMapWnd* map = GetMapCard(GetCurrentTab(owner));
    if (!map)
        return;
    QueryCriterion criterion;
    map->InitQueryCriterion(&criterion);
    if (ShowQueryDialog(owner, Config, &criterion))
        map->AddQueryLayer(&criterion);  // takes the value list over
    delete criterion.Values;  // what the layer did not take
}
