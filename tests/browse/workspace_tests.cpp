// The tab workspace on a real tab control under a stand-in main window that answers the private
// messages the workspace sends: pages, layout, settings, the search list and its commands.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "browse/litcard.h"
#include "browse/treecard.h"
#include "browse/workspace.h"
#include "core/containers.h"
#include "core/database.h"
#include "core/fields.h"
#include "core/xmlaccess.h"
#include "mainapp/configdata.h"
#include "mainapp/zm_protocol.h"
#include "tests/support/wintest.h"

namespace {

HINSTANCE Inst() { return GetModuleHandleW(nullptr); }

struct Sent {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// The main window as the workspace sees it: records the private messages and answers them
// from in-memory rows.
struct Host {
    HWND wnd = nullptr;
    HWND tabs = nullptr;
    HWND searchList = nullptr;
    std::vector<Sent> sent;
    int rowCount = 0;
    int queries = 0;
    int kindQueries[5] = {};     // by ListQuery.Kind
    std::wstring kindWhere[5];
    int lastLength = 0;
    ListQuery lastQuery = {};
    std::vector<CFieldBase*> lastKeys;
    std::wstring lastWhere;
    bool answerIds = true;
    int cellRequests = 0;
    int maxRowAsked = -1;
    int cacheHints = 0;
    int imagesShown = 0;  // image requests that arrived without "no image"
    NMLVCACHEHINT lastHint = {};
    LRESULT recordValue = -1;
    LRESULT deleteAnswer = 1;
    std::vector<int> deletedIds;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        Host* host = reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (host && msg >= ZM_FIRST && msg <= ZM_LAST)
            return host->OnZm(msg, wParam, lParam);
        if (host && msg == WM_NOTIFY) {
            NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->hwndFrom == host->searchList && header->code == LVN_GETDISPINFOW) {
                // What the main form does: the list's own request goes on as a cell request.
                SendMessageW(hwnd, ZM_GET_LIST_CELL_TEXT, ZM_LIST_SEARCH_RECORDS, lParam);
                return 0;
            }
            if (header->hwndFrom == host->searchList && header->code == LVN_ODCACHEHINT) {
                host->cacheHints++;
                host->lastHint = *reinterpret_cast<NMLVCACHEHINT*>(lParam);
                return 0;
            }
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    LRESULT OnZm(UINT msg, WPARAM wParam, LPARAM lParam)
    {
        sent.push_back({msg, wParam, lParam});
        switch (msg) {
        case ZM_QUERY_RECORD_LIST: {
            ListQuery* query = reinterpret_cast<ListQuery*>(lParam);
            queries++;
            lastLength = (int)wParam;
            lastQuery = *query;
            lastKeys.assign(query->SortKeys, query->SortKeys + query->SortKeyCount);
            lastWhere = query->Where ? query->Where : L"";
            if (query->Kind >= 0 && query->Kind < 5) {
                kindQueries[query->Kind]++;
                kindWhere[query->Kind] = lastWhere;
            }
            query->RowCount = rowCount;
            return 0;
        }
        case ZM_GET_LIST_CELL_TEXT: {
            NMLVDISPINFOW* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
            cellRequests++;
            if (info->item.iItem > maxRowAsked)
                maxRowAsked = info->item.iItem;
            if ((info->item.mask & LVIF_PARAM) && answerIds)
                info->item.lParam = 1000 + info->item.iItem;
            if ((info->item.mask & LVIF_IMAGE) && info->item.iImage != -1)
                imagesShown++;
            // Column 0 is the narrow empty column before the fields.
            if ((info->item.mask & LVIF_TEXT) && info->item.pszText && info->item.cchTextMax > 0)
                _snwprintf(info->item.pszText, info->item.cchTextMax,
                           info->item.iSubItem ? L"řádek %d/%d" : L"", info->item.iItem,
                           info->item.iSubItem);
            return 0;
        }
        case ZM_GET_RECORD_VALUE:
            return recordValue;
        case ZM_DELETE_RECORDS: {
            CIntArray* ids = reinterpret_cast<CIntArray*>(lParam);
            deletedIds.assign(ids->GetItems(), ids->GetItems() + ids->GetCount());
            return deleteAnswer;
        }
        }
        return 0;
    }

    std::vector<UINT> Ids() const
    {
        std::vector<UINT> ids;
        for (const Sent& s : sent)
            ids.push_back(s.msg);
        return ids;
    }
    int Count(UINT msg) const
    {
        int n = 0;
        for (const Sent& s : sent)
            n += s.msg == msg;
        return n;
    }
    const Sent* Last(UINT msg) const
    {
        for (auto it = sent.rbegin(); it != sent.rend(); ++it)
            if (it->msg == msg)
                return &*it;
        return nullptr;
    }
};

const wchar_t kHostClass[] = L"ZornaWorkspaceTestHost";

void RegisterHostClass()
{
    static bool done = false;
    if (done)
        return;
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = Host::Proc;
    wc.hInstance = Inst();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = kHostClass;
    RegisterClassExW(&wc);
    done = true;
}

std::wstring TabText(HWND tabs, int index)
{
    wchar_t text[128] = L"";
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 128;
    SendMessageW(tabs, TCM_GETITEMW, index, (LPARAM)&item);
    return text;
}

using wintest::RectIn;

class WorkspaceTest : public ::testing::Test {
protected:
    // One main window for the whole suite: a framed top-level window takes Wine two seconds to
    // go away when no window manager runs, while the tab control and the pages are made anew.
    static void SetUpTestSuite()
    {
        RegisterHostClass();
        shared_ = CreateWindowExW(0, kHostClass, L"Zorna", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  800, 600, nullptr, nullptr, Inst(), nullptr);
    }
    static void TearDownTestSuite()
    {
        DestroyWindow(shared_);
        shared_ = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(shared_);
        host.wnd = shared_;
        SetWindowLongPtrW(host.wnd, GWLP_USERDATA, (LONG_PTR)&host);
        host.tabs = CreateWindowExW(WS_EX_CONTROLPARENT, WC_TABCONTROLW, L"",
                                    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 780, 560,
                                    host.wnd, (HMENU)(INT_PTR)kWorkspaceTabControlId, Inst(),
                                    nullptr);
        ASSERT_TRUE(host.tabs);
        SendMessageW(host.tabs, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), 0);
        ws = new Workspace(host.tabs, Inst(), nullptr);
        host.searchList = ws->SearchList;
        ws->Layout(host.tabs, 0, 0, 780, 560);
    }

    void TearDown() override
    {
        delete ws;
        ws = nullptr;
        for (CZorObj* o : owned)
            delete o;
        DestroyWindow(host.tabs);
        SetWindowLongPtrW(host.wnd, GWLP_USERDATA, 0);
        wintest::PumpMessages();
    }

    void SelectTab(int tab)
    {
        ws->HidePage(host.wnd);
        SendMessageW(host.tabs, TCM_SETCURSEL, tab, 0);
        ws->ShowPage(host.wnd);
    }

    template <class T>
    T* Keep(T* object)
    {
        owned.push_back(object);
        return object;
    }

    // A search list with three database columns and one composed of two of them.
    void SetUpSearchColumns()
    {
        CFieldInfo* species = Keep(new CFieldInfo(L"SPECIES", L"COLLECTVIEW"));
        CFieldInfo* date = Keep(new CFieldInfo(L"DATE", L"COLLECTVIEW"));
        CFieldInfo* place = Keep(new CFieldInfo(L"PLACE", L"COLLECTVIEW"));
        composed = Keep(new CCustFld(L"Druh a datum"));
        composed->FieldRefs->Add(species);
        composed->FieldRefs->Add(date);
        fields = new CObjArray(8, 4);
        const wchar_t* names[] = {L"Druh", L"Datum", L"Místo", L"Druh a datum"};
        CFieldBase* bases[] = {species, date, place, composed};
        for (int i = 0; i < 4; i++) {
            CDispField* d = new CDispField(bases[i]);
            d->DispName = _wcsdup(names[i]);
            d->Width = 90;
            fields->Add(d);
        }
        owned.push_back(new FieldListOwner(fields));
        ws->ApplyListFields(WS_SEARCH_LIST, fields);
    }

    // Deletes the display entries (not their fields) with the test.
    struct FieldListOwner : CZorObj {
        explicit FieldListOwner(CObjArray* list) : list(list) {}
        ~FieldListOwner() override { delete list; }
        CObjArray* list;
    };

    static HWND shared_;
    Host host;
    Workspace* ws = nullptr;
    std::vector<CZorObj*> owned;
    CObjArray* fields = nullptr;
    CCustFld* composed = nullptr;
};

HWND WorkspaceTest::shared_ = nullptr;

// ---- construction ----

TEST_F(WorkspaceTest, MakesTheFourFixedTabsWithTheirTexts)
{
    ASSERT_EQ(4, (int)SendMessageW(host.tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(L"Systém", TabText(host.tabs, 0));
    EXPECT_EQ(L"Lokality", TabText(host.tabs, 1));
    EXPECT_EQ(L"Vyhledávání", TabText(host.tabs, 2));
    EXPECT_EQ(L"Literatura", TabText(host.tabs, 3));
    EXPECT_EQ(host.wnd, ws->MainWindow);
}

TEST_F(WorkspaceTest, SearchListIsAHiddenVirtualReportListOnTheTabControl)
{
    HWND list = ws->SearchList;
    ASSERT_TRUE(IsWindow(list));
    EXPECT_EQ(host.tabs, GetParent(list));
    LONG_PTR style = GetWindowLongPtrW(list, GWL_STYLE);
    EXPECT_TRUE(style & LVS_OWNERDATA);
    EXPECT_EQ(LVS_REPORT, (int)(style & LVS_TYPEMASK));
    EXPECT_TRUE(style & LVS_SHAREIMAGELISTS);
    EXPECT_FALSE(style & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongPtrW(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    DWORD ex = (DWORD)SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    EXPECT_EQ((DWORD)(LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT),
              ex & (LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT));
    EXPECT_EQ((LRESULT)ws->ArrowImages, SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
}

TEST_F(WorkspaceTest, SortArrowsAreTwoMaskedImagesOf16By14)
{
    ASSERT_TRUE(ws->ArrowImages);
    EXPECT_EQ(2, ImageList_GetImageCount(ws->ArrowImages));
    int cx = 0, cy = 0;
    ImageList_GetIconSize(ws->ArrowImages, &cx, &cy);
    EXPECT_EQ(16, cx);
    EXPECT_EQ(14, cy);
    IMAGEINFO info = {};
    ASSERT_TRUE(ImageList_GetImageInfo(ws->ArrowImages, 0, &info));
    EXPECT_TRUE(info.hbmMask != nullptr);
}

TEST_F(WorkspaceTest, CursorsAreLoadedEvenWhereTheCommonControlsLackTheDragCursor)
{
    EXPECT_TRUE(ws->DividerCursor != nullptr);
    EXPECT_TRUE(ws->DividerOpenCursor != nullptr);
    EXPECT_TRUE(ws->DragCursor != nullptr);
    EXPECT_TRUE(ws->ZoomInCursor != nullptr);
    EXPECT_TRUE(ws->ZoomOutCursor != nullptr);
    EXPECT_TRUE(ws->PanCursor != nullptr);
}

TEST_F(WorkspaceTest, SearchListHeaderKeepsItsFirstColumnFixed)
{
    SetUpSearchColumns();
    SelectTab(2);
    HWND header = ListView_GetHeader(ws->SearchList);
    EXPECT_EQ((HANDLE)ws->DividerCursor, GetPropW(header, L"CardCtr"));
    int before = (int)SendMessageW(ws->SearchList, LVM_GETCOLUMNWIDTH, 0, 0);
    RECT item;
    Header_GetItemRect(header, 0, &item);
    int x = item.right, y = (item.top + item.bottom) / 2;
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(header, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 60, y));
    SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(x + 60, y));
    ReleaseCapture();
    EXPECT_EQ(before, (int)SendMessageW(ws->SearchList, LVM_GETCOLUMNWIDTH, 0, 0));
    // The other dividers still resize their columns.
    Header_GetItemRect(header, 1, &item);
    x = item.right;
    int second = (int)SendMessageW(ws->SearchList, LVM_GETCOLUMNWIDTH, 1, 0);
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(header, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 40, y));
    SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(x + 40, y));
    ReleaseCapture();
    EXPECT_EQ(second + 40, (int)SendMessageW(ws->SearchList, LVM_GETCOLUMNWIDTH, 1, 0));
}

TEST_F(WorkspaceTest, SearchMenuOffersBothCards)
{
    ASSERT_TRUE(ws->SearchMenu);
    HMENU popup = GetSubMenu(ws->SearchMenu, 0);
    ASSERT_TRUE(popup);
    EXPECT_EQ(308u, GetMenuItemID(popup, 0));
    EXPECT_EQ(309u, GetMenuItemID(popup, 1));
}

TEST_F(WorkspaceTest, OwnsBothTreeCardsOfTheirKinds)
{
    ASSERT_TRUE(ws->SysCard && ws->LocCard);
    EXPECT_EQ(TREECARD_SYSTEMATIC, ws->GetCard(WS_SYS_CARD)->GetKind());
    EXPECT_EQ(TREECARD_LOCALITY, ws->GetCard(WS_LOC_CARD)->GetKind());
    EXPECT_EQ(host.tabs, GetParent(ws->SysCard->GetPage()));
    EXPECT_EQ(ws->SysCard->GetTreeView(), ws->GetTreeView(WS_SYS_CARD));
    EXPECT_EQ(ws->LocCard->GetRecordList(), ws->GetRecordList(WS_LOC_CARD));
    EXPECT_EQ(ws->LocCard->GetLevelCache(), ws->GetLevelCache(WS_LOC_CARD));
    EXPECT_EQ(nullptr, ws->GetCard(7));
    EXPECT_EQ(-1, ws->GetCurrentId(7));
}

// ---- pages ----

TEST_F(WorkspaceTest, ShowPageShowsOnlyThePageOfTheCurrentTab)
{
    HWND sys = ws->SysCard->GetPage();
    HWND loc = ws->LocCard->GetPage();
    HWND search = ws->SearchList;
    SelectTab(0);
    EXPECT_TRUE(IsWindowVisible(sys));
    EXPECT_FALSE(IsWindowVisible(loc));
    EXPECT_FALSE(IsWindowVisible(search));
    SelectTab(1);
    EXPECT_FALSE(IsWindowVisible(sys));
    EXPECT_TRUE(IsWindowVisible(loc));
    EXPECT_FALSE(IsWindowVisible(search));
    SelectTab(2);
    EXPECT_FALSE(IsWindowVisible(sys));
    EXPECT_FALSE(IsWindowVisible(loc));
    EXPECT_TRUE(IsWindowVisible(search));
    SelectTab(3);
    EXPECT_FALSE(IsWindowVisible(sys));
    EXPECT_FALSE(IsWindowVisible(loc));
    EXPECT_FALSE(IsWindowVisible(search));
    EXPECT_EQ(3, ws->GetCurrentTab(host.wnd));
}

TEST_F(WorkspaceTest, TreeTabsGreyTheMapCommandsAndShowTheToolbarCombo)
{
    SendMessageW(host.tabs, TCM_SETCURSEL, 1, 0);
    host.sent.clear();
    EXPECT_EQ(1, ws->ShowPage(host.wnd));
    ASSERT_GE(host.sent.size(), 3u);
    EXPECT_EQ((UINT)ZM_ENABLE_VIEW_COMMANDS, host.sent.front().msg);
    EXPECT_EQ(0u, host.sent.front().wParam);
    EXPECT_EQ(ZM_VIEW_MAP_COMMANDS, host.sent.front().lParam);
    const Sent& reset = host.sent[host.sent.size() - 2];
    const Sent& combo = host.sent.back();
    EXPECT_EQ((UINT)ZM_RESET_TOOLBAR_COMBO, reset.msg);
    EXPECT_EQ((UINT)ZM_SHOW_TOOLBAR_COMBO, combo.msg);
    EXPECT_EQ(1u, combo.wParam);
}

TEST_F(WorkspaceTest, SearchTabReportsItsSelectionToTheRecordToolbarAndHidesTheCombo)
{
    host.rowCount = 10;
    ws->RunSearch(host.wnd, nullptr, 1);
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    for (int row : {1, 4, 6})
        SendMessageW(ws->SearchList, LVM_SETITEMSTATE, row, (LPARAM)&state);
    SendMessageW(host.tabs, TCM_SETCURSEL, 2, 0);
    host.sent.clear();
    ws->ShowPage(host.wnd);
    std::vector<UINT> expected = {ZM_ENABLE_VIEW_COMMANDS, ZM_UPDATE_RECORD_TOOLBAR,
                                  ZM_RESET_TOOLBAR_COMBO, ZM_SHOW_TOOLBAR_COMBO};
    ASSERT_EQ(expected, host.Ids());
    EXPECT_EQ(ZM_VIEW_MAP_COMMANDS, host.sent[0].lParam);
    EXPECT_EQ(1u, host.sent[1].wParam);
    EXPECT_EQ(3, host.sent[1].lParam);
    EXPECT_EQ(0u, host.sent[3].wParam);
}

TEST_F(WorkspaceTest, LiteratureTabShowsTheCardWhichUpdatesTheCommandsAndHidesTheCombo)
{
    SendMessageW(host.tabs, TCM_SETCURSEL, 3, 0);
    host.sent.clear();
    ws->ShowPage(host.wnd);
    // The card announces itself as it is shown: map commands off, its list's selection.
    std::vector<UINT> expected = {ZM_ENABLE_VIEW_COMMANDS, ZM_UPDATE_RECORD_TOOLBAR,
                                  ZM_RESET_TOOLBAR_COMBO, ZM_SHOW_TOOLBAR_COMBO};
    EXPECT_EQ(expected, host.Ids());
    EXPECT_EQ(ZM_VIEW_MAP_COMMANDS, host.sent[0].lParam);
    EXPECT_EQ(1u, host.sent[1].wParam);
    EXPECT_EQ(0u, host.sent.back().wParam);
    ASSERT_TRUE(ws->LitCard);
    EXPECT_EQ(ws->LitCard->GetWindow(), ws->GetPageWindow(3));
    EXPECT_TRUE(IsWindowVisible(ws->GetPageWindow(3)));
    // Hidden again, it tells nothing.
    host.sent.clear();
    ws->HidePage(host.wnd);
    EXPECT_FALSE(IsWindowVisible(ws->GetPageWindow(3)));
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(WorkspaceTest, HidePageHidesOnlyTheCurrentPage)
{
    SelectTab(2);
    ASSERT_TRUE(IsWindowVisible(ws->SearchList));
    ws->HidePage(host.wnd);
    EXPECT_FALSE(IsWindowVisible(ws->SearchList));
}

// ---- layout ----

TEST_F(WorkspaceTest, LayoutPlacesTheTabControlAndSizesEveryPageToItsDisplayArea)
{
    ws->Layout(host.tabs, 5, 30, 700, 480);
    RECT tabRect = RectIn(host.tabs, host.wnd);
    EXPECT_EQ(5, tabRect.left);
    EXPECT_EQ(30, tabRect.top);
    EXPECT_EQ(705, tabRect.right);
    EXPECT_EQ(510, tabRect.bottom);
    RECT area;
    GetClientRect(host.tabs, &area);
    SendMessageW(host.tabs, TCM_ADJUSTRECT, FALSE, (LPARAM)&area);
    ASSERT_LT(area.top, area.bottom);
    for (HWND page : {ws->SysCard->GetPage(), ws->LocCard->GetPage(), ws->SearchList,
                      ws->LitCard->GetWindow()}) {
        RECT r = RectIn(page, host.tabs);
        EXPECT_EQ(area.left, r.left);
        EXPECT_EQ(area.top, r.top);
        EXPECT_EQ(area.right, r.right);
        EXPECT_EQ(area.bottom, r.bottom);
    }
}

// ---- settings ----

TEST_F(WorkspaceTest, SettingsAreWrittenInTheirOrderAndReadBackIntoTheRightCards)
{
    std::wstring folder = wintest::MakeTempFolder(L"ws_settings");
    std::wstring path = folder + L"\\ws.xml";
    ws->SearchSortCol = -3;
    ws->SysCard->CurId = 42;
    ws->LocCard->CurId = 7;
    ws->LitCard->SortCol = -2;
    ws->LitCard->CurAuthor = 70000;
    {
        CXmlWriter writer(path.c_str());
        writer.AddComment(L"Zorna Workspace Settings");
        writer.CreateRoot(L"Settings");
        IXMLDOMElement* mainForm = writer.AddElement(L"MainForm");
        ASSERT_TRUE(mainForm);
        ws->SaveWorkspaceSettings(&writer, mainForm);
        mainForm->Release();
        writer.Save();
    }
    CXmlReader reader(path.c_str());
    IXMLDOMElement* mainForm = reader.SelectElement(L"MainForm");
    ASSERT_TRUE(mainForm);
    std::vector<std::wstring> tags;
    wchar_t* tag = nullptr;
    for (IXMLDOMElement* e = reader.FirstChildElement(mainForm, &tag); e;
         e = reader.NextSiblingElement(e, &tag)) {
        tags.push_back(tag ? tag : L"");
        free(tag);
        tag = nullptr;
    }
    std::vector<std::wstring> expected = {L"SysTab", L"LocTab", L"SearchTab", L"LitTab", L"Maps",
                                          L"PrintForm"};
    EXPECT_EQ(expected, tags);

    Workspace* other = nullptr;
    {
        HWND tabs2 = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD, 0, 0, 300, 200, host.wnd,
                                     nullptr, Inst(), nullptr);
        other = new Workspace(tabs2, Inst(), nullptr);
        other->LoadWorkspaceSettings(&reader, mainForm, nullptr);
        EXPECT_EQ(-3, other->SearchSortCol);
        EXPECT_EQ(42, other->GetCurrentId(WS_SYS_CARD));
        EXPECT_EQ(7, other->GetCurrentId(WS_LOC_CARD));
        // The literature card's sort and author survive a restart.
        EXPECT_EQ(-2, other->LitCard->GetSortColumn());
        EXPECT_EQ(70000, other->LitCard->GetCurAuthor());
        delete other;
        DestroyWindow(tabs2);
    }
    mainForm->Release();
}

TEST_F(WorkspaceTest, MissingElementsKeepTheDefaults)
{
    std::wstring folder = wintest::MakeTempFolder(L"ws_settings_empty");
    std::wstring path = folder + L"\\ws.xml";
    {
        CXmlWriter writer(path.c_str());
        writer.AddComment(L"Zorna Workspace Settings");
        writer.CreateRoot(L"Settings");
        IXMLDOMElement* mainForm = writer.AddElement(L"MainForm");
        mainForm->Release();
        writer.Save();
    }
    CXmlReader reader(path.c_str());
    IXMLDOMElement* mainForm = reader.SelectElement(L"MainForm");
    ASSERT_TRUE(mainForm);
    ws->LoadWorkspaceSettings(&reader, mainForm, nullptr);
    mainForm->Release();
    EXPECT_EQ(0, ws->SearchSortCol);
    EXPECT_EQ(-1, ws->GetCurrentId(WS_SYS_CARD));
    EXPECT_EQ(-1, ws->GetCurrentId(WS_LOC_CARD));
    EXPECT_EQ(0, ws->LitCard->GetSortColumn());
    EXPECT_EQ(-1, ws->LitCard->GetCurAuthor());
}

TEST_F(WorkspaceTest, CollectColumnLayoutCopiesDraggedWidthsAndOrder)
{
    SetUpSearchColumns();
    HWND list = ws->SearchList;
    ASSERT_EQ(5, Header_GetItemCount(ListView_GetHeader(list)));
    int order[5] = {0, 3, 1, 4, 2};
    ASSERT_TRUE(SendMessageW(list, LVM_SETCOLUMNORDERARRAY, 5, (LPARAM)order));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 2, 140);
    ws->CollectColumnLayout();
    CDispField** entries = reinterpret_cast<CDispField**>(fields->GetItems());
    // Header item i + 1 shows entry i.
    EXPECT_EQ(90, entries[0]->Width);
    EXPECT_EQ(140, entries[1]->Width);
    EXPECT_EQ(2, entries[0]->Order);
    EXPECT_EQ(4, entries[1]->Order);
    EXPECT_EQ(1, entries[2]->Order);
    EXPECT_EQ(3, entries[3]->Order);
}

TEST_F(WorkspaceTest, ColumnsRoundTripThroughTheConfigurationInTheWorkspaceFile)
{
    ConfigData config(Inst());
    const wchar_t* names[] = {L"SPECIES", L"DATE", L"PLACE"};
    for (const wchar_t* name : names) {
        CDispField* d = new CDispField(new CFieldInfo(name, L"COLLECTVIEW"));
        d->DispName = _wcsdup(name);
        d->Width = 80;
        config.SearchFields->Add(d);
    }
    ws->ApplyListFields(WS_SEARCH_LIST, config.SearchFields);
    int order[4] = {0, 3, 1, 2};
    SendMessageW(ws->SearchList, LVM_SETCOLUMNORDERARRAY, 4, (LPARAM)order);
    SendMessageW(ws->SearchList, LVM_SETCOLUMNWIDTH, 3, 150);
    ws->CollectColumnLayout();

    std::wstring path = wintest::MakeTempFolder(L"ws_columns") + L"\\ws.xml";
    {
        CXmlWriter writer(path.c_str());
        writer.AddComment(L"Zorna Workspace Settings");
        writer.CreateRoot(L"Settings");
        config.WriteConfigSection(&writer);
        writer.Save();
    }
    // The old columns point at the entries that are about to go.
    ws->ClearListColumns();
    ConfigData restored(Inst());
    CXmlReader reader(path.c_str());
    restored.ReadConfigSection(&reader);
    ASSERT_EQ(3, restored.SearchFields->GetCount());
    ws->ApplyListFields(WS_SEARCH_LIST, restored.SearchFields);

    HWND header = ListView_GetHeader(ws->SearchList);
    ASSERT_EQ(4, Header_GetItemCount(header));
    int shown[4] = {};
    SendMessageW(ws->SearchList, LVM_GETCOLUMNORDERARRAY, 4, (LPARAM)shown);
    std::vector<std::wstring> captions;
    std::vector<int> widths;
    for (int position = 1; position < 4; position++) {
        HDITEMW item = {};
        item.mask = HDI_WIDTH;
        SendMessageW(header, HDM_GETITEMW, shown[position], (LPARAM)&item);
        captions.push_back(wintest::HeaderCaption(header, shown[position]));
        widths.push_back(item.cxy);
    }
    std::vector<std::wstring> expectedCaptions = {L"PLACE", L"SPECIES", L"DATE"};
    std::vector<int> expectedWidths = {150, 80, 80};
    EXPECT_EQ(expectedCaptions, captions);
    EXPECT_EQ(expectedWidths, widths);
}

TEST_F(WorkspaceTest, ClosingTheDatabaseLeavesNoColumnPointingAtTheConfiguration)
{
    SetUpSearchColumns();
    ws->ClearListColumns();
    HWND header = ListView_GetHeader(ws->SearchList);
    int count = Header_GetItemCount(header);
    for (int i = 0; i < count; i++) {
        HDITEMW item = {};
        item.mask = HDI_LPARAM;
        SendMessageW(header, HDM_GETITEMW, i, (LPARAM)&item);
        EXPECT_EQ(0, item.lParam) << "column " << i;
    }
    // Entries changed after the clear stay as they are: nothing reads them any more.
    CDispField* first = reinterpret_cast<CDispField*>(fields->GetItems()[0]);
    first->Width = 12345;
    ws->CollectColumnLayout();
    EXPECT_EQ(12345, first->Width);
}

// ---- search list ----

TEST_F(WorkspaceTest, SearchWithoutSortAsksForAllMatchingRecords)
{
    host.rowCount = 25;
    ws->RunSearch(host.wnd, L"SYS_LEVEL_2 = 14", 1);
    ASSERT_EQ(1, host.queries);
    EXPECT_EQ(ZM_LIST_SEARCH_RECORDS, host.lastQuery.Kind);
    EXPECT_EQ(0, host.lastQuery.Id);
    EXPECT_EQ(0, host.lastQuery.SortKeyCount);
    EXPECT_EQ(nullptr, host.lastQuery.SortKeys);
    EXPECT_EQ(0, host.lastQuery.Descending);
    EXPECT_EQ(L"SYS_LEVEL_2 = 14", host.lastWhere);
    EXPECT_EQ(90 + 16, host.lastLength);
    EXPECT_EQ(25, (int)SendMessageW(ws->SearchList, LVM_GETITEMCOUNT, 0, 0));
}

TEST_F(WorkspaceTest, ClickingAColumnSortsByItsFieldAndAgainReversesWithoutReset)
{
    SetUpSearchColumns();
    host.rowCount = 8;
    ws->RunSearch(host.wnd, nullptr, 1);
    ws->SortSearchList(host.wnd, 2);
    EXPECT_EQ(2, ws->SearchSortCol);
    ASSERT_EQ(1u, host.lastKeys.size());
    CDispField* date = reinterpret_cast<CDispField*>(fields->GetItems()[1]);
    EXPECT_EQ(date->Field, host.lastKeys[0]);
    EXPECT_EQ(0, host.lastQuery.Descending);
    EXPECT_EQ(90 + 32, host.lastLength);

    ws->SortSearchList(host.wnd, 2);
    EXPECT_EQ(-2, ws->SearchSortCol);
    EXPECT_EQ(1, host.lastQuery.Descending);
    EXPECT_EQ(90 + 38, host.lastLength);
    EXPECT_EQ(8, (int)SendMessageW(ws->SearchList, LVM_GETITEMCOUNT, 0, 0));
}

TEST_F(WorkspaceTest, AComposedColumnSortsByTheFieldsItIsMadeOf)
{
    SetUpSearchColumns();
    ws->RunSearch(host.wnd, L"X = 1", 1);
    ws->SortSearchList(host.wnd, 4);
    ASSERT_EQ(2u, host.lastKeys.size());
    EXPECT_EQ(composed->FieldRefs->GetItems()[0], host.lastKeys[0]);
    EXPECT_EQ(composed->FieldRefs->GetItems()[1], host.lastKeys[1]);
    EXPECT_EQ(90 + 5 + 40 + 32, host.lastLength);
    EXPECT_EQ(L"X = 1", host.lastWhere);
}

TEST_F(WorkspaceTest, ASortThatFindsFewerRowsShrinksTheListAndReadsNoRowPastTheEnd)
{
    SetUpSearchColumns();
    SelectTab(2);
    host.rowCount = 50;
    ws->RunSearch(host.wnd, nullptr, 1);
    UpdateWindow(ws->SearchList);
    wintest::PumpMessages(50);
    host.rowCount = 5;
    host.maxRowAsked = -1;
    ws->SortSearchList(host.wnd, 1);
    EXPECT_EQ(5, (int)SendMessageW(ws->SearchList, LVM_GETITEMCOUNT, 0, 0));
    InvalidateRect(ws->SearchList, nullptr, TRUE);
    UpdateWindow(ws->SearchList);
    wintest::PumpMessages(50);
    EXPECT_GE(host.maxRowAsked, 0);
    EXPECT_LT(host.maxRowAsked, 5);
}

TEST_F(WorkspaceTest, AMillionRowsAreShownByAskingOnlyForTheVisibleRows)
{
    SetUpSearchColumns();
    SelectTab(2);
    host.rowCount = 1000000;
    ws->RunSearch(host.wnd, nullptr, 1);
    host.cellRequests = 0;
    host.maxRowAsked = -1;
    InvalidateRect(ws->SearchList, nullptr, TRUE);
    UpdateWindow(ws->SearchList);
    wintest::PumpMessages(50);
    EXPECT_EQ(1000000, (int)SendMessageW(ws->SearchList, LVM_GETITEMCOUNT, 0, 0));
    int perPage = (int)SendMessageW(ws->SearchList, LVM_GETCOUNTPERPAGE, 0, 0);
    ASSERT_GT(perPage, 0);
    EXPECT_GT(host.cellRequests, 0);
    EXPECT_LE(host.maxRowAsked, perPage + 1);
    // The list announces the rows it is about to paint to its owner.
    EXPECT_GT(host.cacheHints, 0);
    EXPECT_LE(host.lastHint.iTo, perPage + 1);
    // The list's small images are the header's arrows: no row shows one.
    EXPECT_EQ(0, host.imagesShown);

    // A page further down asks for that page only.
    host.maxRowAsked = -1;
    SendMessageW(ws->SearchList, LVM_ENSUREVISIBLE, 500000, FALSE);
    UpdateWindow(ws->SearchList);
    wintest::PumpMessages(50);
    EXPECT_GE(host.maxRowAsked, 500000);
    EXPECT_LE(host.maxRowAsked, 500000 + perPage + 1);
    EXPECT_GE(host.lastHint.iFrom, 500000 - perPage - 1);
    EXPECT_LE(host.lastHint.iTo, 500000 + perPage + 1);
}

TEST_F(WorkspaceTest, SearchRowIdComesFromTheCellRequestOfTheRow)
{
    host.rowCount = 10;
    ws->RunSearch(host.wnd, nullptr, 1);
    EXPECT_EQ(1004, ws->GetSearchRowId(4));
    const Sent* request = host.Last(ZM_GET_LIST_CELL_TEXT);
    ASSERT_TRUE(request);
    EXPECT_EQ((WPARAM)ZM_LIST_SEARCH_RECORDS, request->wParam);
}

TEST_F(WorkspaceTest, SearchRowIdOfTheSelectionIsNoneWithoutASelection)
{
    host.rowCount = 10;
    ws->RunSearch(host.wnd, nullptr, 1);
    host.sent.clear();
    EXPECT_EQ(-1, ws->GetSearchRowId(-1));
    EXPECT_EQ(0, host.Count(ZM_GET_LIST_CELL_TEXT));
    ListView_SetItemState(ws->SearchList, 7, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(1007, ws->GetSearchRowId(-1));
}

TEST_F(WorkspaceTest, AnUnansweredRowRequestIsNoRecordId)
{
    host.rowCount = 10;
    ws->RunSearch(host.wnd, nullptr, 1);
    host.answerIds = false;
    EXPECT_EQ(-1, ws->GetSearchRowId(3));
}

// ---- delete and go to a card ----

struct DeleteCase {
    int selected;
    const wchar_t* text;
};

class WorkspaceDeleteTest : public WorkspaceTest,
                            public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(WorkspaceDeleteTest, AsksWithTheCzechPluralOfTheCount)
{
    DeleteCase c = GetParam();
    host.rowCount = 20;
    SelectTab(2);
    ws->RunSearch(host.wnd, nullptr, 1);
    for (int i = 0; i < c.selected; i++)
        ListView_SetItemState(ws->SearchList, 2 * i, LVIS_SELECTED, LVIS_SELECTED);
    wintest::MsgBoxRecorder boxes({IDCANCEL});
    ws->DeleteRecords(host.wnd);
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(c.text, boxes.Boxes()[0].text);
    EXPECT_EQ(L"Potvrzení", boxes.Boxes()[0].caption);
    EXPECT_EQ((UINT)(MB_ICONQUESTION | MB_OKCANCEL), boxes.Boxes()[0].type);
    EXPECT_EQ(0, host.Count(ZM_DELETE_RECORDS));
}

INSTANTIATE_TEST_SUITE_P(Plurals, WorkspaceDeleteTest,
                         ::testing::Values(DeleteCase{1, L"Opravdu chcete smazat 1 záznam?"},
                                           DeleteCase{3, L"Opravdu chcete smazat 3 záznamy?"},
                                           DeleteCase{4, L"Opravdu chcete smazat 4 záznamy?"},
                                           DeleteCase{5, L"Opravdu chcete smazat 5 záznamů?"}));

TEST_F(WorkspaceTest, NothingSelectedAsksNothing)
{
    host.rowCount = 20;
    SelectTab(2);
    ws->RunSearch(host.wnd, nullptr, 1);
    wintest::MsgBoxRecorder boxes;
    ws->DeleteRecords(host.wnd);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(0, host.Count(ZM_DELETE_RECORDS));
}

TEST_F(WorkspaceTest, ConfirmedDeleteSendsTheSelectedIdsAndRefreshesTheSearch)
{
    host.rowCount = 20;
    SelectTab(2);
    ws->RunSearch(host.wnd, L"A = 1", 1);
    ListView_SetItemState(ws->SearchList, 3, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(ws->SearchList, 9, LVIS_SELECTED, LVIS_SELECTED);
    host.rowCount = 18;
    int queriesBefore = host.kindQueries[ZM_LIST_SEARCH_RECORDS];
    wintest::MsgBoxRecorder boxes({IDOK});
    ws->DeleteRecords(host.wnd);
    const Sent* del = host.Last(ZM_DELETE_RECORDS);
    ASSERT_TRUE(del);
    EXPECT_EQ((WPARAM)ZM_DELETE_RECORD_ROWS, del->wParam);
    std::vector<int> expected = {1003, 1009};
    EXPECT_EQ(expected, host.deletedIds);
    EXPECT_EQ(queriesBefore + 1, host.kindQueries[ZM_LIST_SEARCH_RECORDS]);
    EXPECT_EQ(L"A = 1", host.kindWhere[ZM_LIST_SEARCH_RECORDS]);
    EXPECT_EQ(18, (int)SendMessageW(ws->SearchList, LVM_GETITEMCOUNT, 0, 0));
}

TEST_F(WorkspaceTest, ARefusedDeleteLeavesTheListAsItWas)
{
    host.rowCount = 20;
    SelectTab(2);
    ws->RunSearch(host.wnd, nullptr, 1);
    ListView_SetItemState(ws->SearchList, 3, LVIS_SELECTED, LVIS_SELECTED);
    host.deleteAnswer = 0;
    int queriesBefore = host.queries;
    wintest::MsgBoxRecorder boxes({IDOK});
    ws->DeleteRecords(host.wnd);
    EXPECT_EQ(1, host.Count(ZM_DELETE_RECORDS));
    EXPECT_EQ(queriesBefore, host.queries);
}

TEST_F(WorkspaceTest, RefreshBeforeAnySearchLeavesTheSearchListEmpty)
{
    ws->RefreshAll(host.wnd);
    EXPECT_EQ(0, host.kindQueries[ZM_LIST_SEARCH_RECORDS]);
    // The literature list is always shown, so it is always read again.
    EXPECT_EQ(1, host.kindQueries[ZM_LIST_LITERATURE]);
    EXPECT_EQ(0, (int)SendMessageW(ws->SearchList, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(1, ws->RefreshMaps());
}

TEST_F(WorkspaceTest, GoToTheSystematicCardOfASearchRow)
{
    host.rowCount = 10;
    SelectTab(2);
    ws->RunSearch(host.wnd, nullptr, 1);
    host.recordValue = 77;
    host.sent.clear();
    ws->GotoSysCard(6);
    const Sent* value = host.Last(ZM_GET_RECORD_VALUE);
    ASSERT_TRUE(value);
    EXPECT_EQ((WPARAM)MAKELONG(2, 0), value->wParam);
    EXPECT_EQ(1006, value->lParam);
    const Sent* go = host.Last(ZM_GOTO_TREE_ITEM);
    ASSERT_TRUE(go);
    EXPECT_EQ(0u, go->wParam);
    EXPECT_EQ(77, go->lParam);
    EXPECT_EQ(0, ws->GetCurrentTab(host.wnd));
    EXPECT_TRUE(IsWindowVisible(ws->SysCard->GetPage()));
    EXPECT_FALSE(IsWindowVisible(ws->SearchList));
}

TEST_F(WorkspaceTest, GoToTheLocalityCardOfASearchRow)
{
    host.rowCount = 10;
    SelectTab(2);
    ws->RunSearch(host.wnd, nullptr, 1);
    host.recordValue = 31;
    ws->GotoLocCard(2);
    const Sent* value = host.Last(ZM_GET_RECORD_VALUE);
    ASSERT_TRUE(value);
    EXPECT_EQ((WPARAM)MAKELONG(2, 1), value->wParam);
    const Sent* go = host.Last(ZM_GOTO_TREE_ITEM);
    ASSERT_TRUE(go);
    EXPECT_EQ(1u, go->wParam);
    EXPECT_EQ(31, go->lParam);
    EXPECT_EQ(1, ws->GetCurrentTab(host.wnd));
    EXPECT_TRUE(IsWindowVisible(ws->LocCard->GetPage()));
}

TEST_F(WorkspaceTest, SearchPageScreenshot)
{
    SetUpSearchColumns();
    SelectTab(2);
    host.rowCount = 1000;
    ws->SearchSortCol = 0;
    ws->SortSearchList(host.wnd, 1);
    ListView_SetItemState(ws->SearchList, 2, LVIS_SELECTED, LVIS_SELECTED);
    RedrawWindow(host.wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    wintest::PumpMessages(100);
    std::wstring shot = wintest::SaveScreenshot(host.wnd, L"workspace_search");
    EXPECT_FALSE(shot.empty());
}

// ---- the literature card ----

class LitCardTest : public WorkspaceTest {
protected:
    void SetUp() override
    {
        WorkspaceTest::SetUp();
        card = ws->LitCard;
        ASSERT_TRUE(card && card->GetWindow() && card->GetList());
        combo = GetDlgItem(card->GetWindow(), IDC_LITCARD_AUTHORS);
        byAuthor = GetDlgItem(card->GetWindow(), IDC_LITCARD_BYAUTHOR);
    }

    // Title, publisher and a column composed of the two.
    void SetUpColumns()
    {
        CFieldInfo* title = Keep(new CFieldInfo(L"NAME", L"LITERATURE"));
        CFieldInfo* publisher = Keep(new CFieldInfo(L"NAME:1", L"EDITORS"));
        CCustFld* both = Keep(new CCustFld(L"Titulek a vydavatel"));
        both->FieldRefs->Add(title);
        both->FieldRefs->Add(publisher);
        fields = new CObjArray(8, 4);
        CFieldBase* bases[] = {title, publisher, both};
        for (CFieldBase* base : bases) {
            CDispField* d = new CDispField(base);
            d->Width = 120;
            fields->Add(d);
        }
        owned.push_back(new FieldListOwner(fields));
        ws->ApplyListFields(WS_LIT_LIST, fields);
    }

    void AddAuthor(const wchar_t* name, int id)
    {
        LRESULT i = SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)name);
        SendMessageW(combo, CB_SETITEMDATA, (WPARAM)i, id);
    }

    void ChooseAuthor(int index)
    {
        SendMessageW(combo, CB_SETCURSEL, (WPARAM)index, 0);
        SendMessageW(card->GetWindow(), WM_COMMAND, MAKEWPARAM(IDC_LITCARD_AUTHORS, CBN_SELCHANGE),
                     (LPARAM)combo);
    }

    void ClickByAuthor()
    {
        SendMessageW(byAuthor, BM_CLICK, 0, 0);
    }

    void ClickColumn(int column)
    {
        NMLISTVIEW nm = {};
        nm.hdr.hwndFrom = card->GetList();
        nm.hdr.idFrom = IDC_LITCARD_LIST;
        nm.hdr.code = LVN_COLUMNCLICK;
        nm.iItem = -1;
        nm.iSubItem = column;
        SendMessageW(card->GetWindow(), WM_NOTIFY, IDC_LITCARD_LIST, (LPARAM)&nm);
    }

    int ListCount() const { return (int)SendMessageW(card->GetList(), LVM_GETITEMCOUNT, 0, 0); }

    CLitCard* card = nullptr;
    HWND combo = nullptr;
    HWND byAuthor = nullptr;
};

TEST_F(LitCardTest, TheQueryNamesTheChosenAuthorOnlyWhileDleAutoraIsChecked)
{
    AddAuthor(L"Novák J.", 11);
    AddAuthor(L"O'Brien M.", 12);
    host.rowCount = 7;
    ChooseAuthor(1);
    // Unchecked: the author is only stored.
    EXPECT_EQ(12, card->GetCurAuthor());
    EXPECT_EQ(0, host.kindQueries[ZM_LIST_LITERATURE]);
    card->Refresh(1);
    EXPECT_EQ(-1, host.lastQuery.Id);
    EXPECT_EQ(ZM_LIST_LITERATURE, host.lastQuery.Kind);
    EXPECT_EQ(7, ListCount());

    host.rowCount = 3;
    ClickByAuthor();
    EXPECT_EQ(2, host.kindQueries[ZM_LIST_LITERATURE]);
    EXPECT_EQ(12, host.lastQuery.Id);
    EXPECT_EQ(3, ListCount());
    ChooseAuthor(0);
    EXPECT_EQ(3, host.kindQueries[ZM_LIST_LITERATURE]);
    EXPECT_EQ(11, host.lastQuery.Id);
    ClickByAuthor();
    EXPECT_EQ(-1, host.lastQuery.Id);
}

TEST_F(LitCardTest, TheKeptConditionGoesWithEveryRefresh)
{
    card->Requery(host.wnd, L"IYEAR > 2000", 1);
    EXPECT_EQ(L"IYEAR > 2000", host.kindWhere[ZM_LIST_LITERATURE]);
    // Refresh hands the kept text back to Requery, which keeps it again.
    card->Refresh(1);
    card->Refresh(0);
    EXPECT_EQ(L"IYEAR > 2000", host.kindWhere[ZM_LIST_LITERATURE]);
    ASSERT_TRUE(card->GetFilter());
    EXPECT_STREQ(L"IYEAR > 2000", card->GetFilter());
    ws->RequeryLiterature(host.wnd);
    EXPECT_EQ(L"IYEAR > 2000", host.kindWhere[ZM_LIST_LITERATURE]);
    card->Requery(host.wnd, nullptr, 1);
    EXPECT_EQ(L"", host.kindWhere[ZM_LIST_LITERATURE]);
    EXPECT_EQ(nullptr, card->GetFilter());
}

TEST_F(LitCardTest, TwoClicksOnAColumnReverseTheSortWithoutAReset)
{
    SetUpColumns();
    host.rowCount = 30;
    card->Refresh(1);
    ListView_SetItemState(card->GetList(), 5, LVIS_SELECTED, LVIS_SELECTED);
    ClickColumn(2);
    EXPECT_EQ(2, card->GetSortColumn());
    ASSERT_EQ(1u, host.lastKeys.size());
    EXPECT_STREQ(L"NAME:1", host.lastKeys[0]->Field);
    EXPECT_EQ(0, host.lastQuery.Descending);
    ClickColumn(2);
    EXPECT_EQ(-2, card->GetSortColumn());
    EXPECT_EQ(1, host.lastQuery.Descending);
    // No reset: the rows and the selection stayed.
    EXPECT_EQ(30, ListCount());
    EXPECT_EQ(5, (int)SendMessageW(card->GetList(), LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED));
    // A composed column sorts by the fields it is made of.
    ClickColumn(3);
    ASSERT_EQ(2u, host.lastKeys.size());
    EXPECT_STREQ(L"NAME", host.lastKeys[0]->Field);
    EXPECT_STREQ(L"NAME:1", host.lastKeys[1]->Field);
    EXPECT_EQ(0, host.lastQuery.Descending);
}

TEST_F(LitCardTest, ASortThatFindsFewerRowsShrinksTheListAndReadsNoRowPastTheEnd)
{
    SetUpColumns();
    SelectTab(3);
    host.rowCount = 40;
    card->Refresh(1);
    SendMessageW(card->GetList(), LVM_ENSUREVISIBLE, 39, FALSE);
    host.rowCount = 12;
    host.maxRowAsked = -1;
    ClickColumn(1);
    EXPECT_EQ(12, ListCount());
    RedrawWindow(card->GetList(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    wintest::PumpMessages(50);
    EXPECT_LT(host.maxRowAsked, 12);
}

TEST_F(LitCardTest, SelectedIdsComeFromTheMainWindowAndUnansweredRowsAreSkipped)
{
    host.rowCount = 10;
    card->Refresh(1);
    EXPECT_EQ(-1, card->GetSelectedId());
    ListView_SetItemState(card->GetList(), 2, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(card->GetList(), 7, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(1002, card->GetSelectedId());
    CIntArray ids(8, 8);
    EXPECT_EQ(2, card->GetSelectedIds(&ids));
    std::vector<int> got(ids.GetItems(), ids.GetItems() + ids.GetCount());
    EXPECT_EQ((std::vector<int>{1002, 1007}), got);
    host.answerIds = false;
    EXPECT_EQ(-1, card->GetSelectedId());
    CIntArray none(8, 8);
    EXPECT_EQ(0, card->GetSelectedIds(&none));
    const Sent* request = host.Last(ZM_GET_LIST_CELL_TEXT);
    ASSERT_TRUE(request);
    EXPECT_EQ((WPARAM)ZM_LIST_LITERATURE, request->wParam);
}

TEST_F(LitCardTest, WithoutADatabaseTheAuthorComboIsEmptyAndTheAuthorKept)
{
    AddAuthor(L"Novák J.", 11);
    card->CurAuthor = 57;
    ws->FillAuthorCombo(host.wnd);
    EXPECT_EQ(0, (int)SendMessageW(combo, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(57, card->GetCurAuthor());
    EXPECT_EQ(1, host.Count(ZM_GET_RECORDSET));
    EXPECT_EQ((WPARAM)ZM_RS_LITAUTHORS, host.Last(ZM_GET_RECORDSET)->wParam);
}

TEST_F(LitCardTest, AMouseClickReportsTheSelectionAndTheKeyboardDoesNot)
{
    SetUpColumns();
    SelectTab(3);
    host.rowCount = 10;
    card->Refresh(1);
    wintest::PumpMessages(20);
    host.sent.clear();
    ListView_SetItemState(card->GetList(), 1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(0, host.Count(ZM_UPDATE_RECORD_TOOLBAR));
    RECT row = {};
    row.left = LVIR_BOUNDS;
    SendMessageW(card->GetList(), LVM_GETITEMRECT, 3, (LPARAM)&row);
    LPARAM at = MAKELPARAM(row.left + 150, (row.top + row.bottom) / 2);
    PostMessageW(card->GetList(), WM_LBUTTONUP, 0, at);
    SendMessageW(card->GetList(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    wintest::PumpMessages(20);
    const Sent* update = host.Last(ZM_UPDATE_RECORD_TOOLBAR);
    ASSERT_TRUE(update);
    EXPECT_EQ(1u, update->wParam);
    EXPECT_EQ(1, update->lParam);  // the click selected row 3 alone
}

TEST_F(LitCardTest, DeletingAsksAndSendsTheSelectedPublicationsThenRequeriesTheCard)
{
    SelectTab(3);
    host.rowCount = 20;
    card->Refresh(1);
    for (int row : {1, 4, 6})
        ListView_SetItemState(card->GetList(), row, LVIS_SELECTED, LVIS_SELECTED);
    int before = host.kindQueries[ZM_LIST_LITERATURE];
    {
        wintest::MsgBoxRecorder boxes({IDOK});
        host.rowCount = 17;
        ws->DeleteRecords(host.wnd);
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(L"Opravdu chcete smazat 3 záznamy?", boxes.Boxes()[0].text);
    }
    const Sent* del = host.Last(ZM_DELETE_RECORDS);
    ASSERT_TRUE(del);
    EXPECT_EQ((WPARAM)ZM_DELETE_LITERATURE_ROWS, del->wParam);
    EXPECT_EQ((std::vector<int>{1001, 1004, 1006}), host.deletedIds);
    EXPECT_EQ(before + 1, host.kindQueries[ZM_LIST_LITERATURE]);
    EXPECT_EQ(17, ListCount());
    // A refused delete reads nothing again.
    ListView_SetItemState(card->GetList(), 2, LVIS_SELECTED, LVIS_SELECTED);
    host.deleteAnswer = 0;
    wintest::MsgBoxRecorder boxes({IDOK});
    ws->DeleteRecords(host.wnd);
    EXPECT_EQ(before + 1, host.kindQueries[ZM_LIST_LITERATURE]);
}

TEST_F(LitCardTest, CardScreenshot)
{
    SetUpColumns();
    AddAuthor(L"Novák J.", 11);
    AddAuthor(L"Dvořák Ř.", 12);
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    SelectTab(3);
    host.rowCount = 120;
    ClickColumn(1);
    ListView_SetItemState(card->GetList(), 2, LVIS_SELECTED, LVIS_SELECTED);
    RedrawWindow(host.wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    wintest::PumpMessages(100);
    EXPECT_FALSE(wintest::SaveScreenshot(host.wnd, L"literature_card").empty());
}

}  // namespace
