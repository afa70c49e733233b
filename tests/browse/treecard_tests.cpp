// The tree cards in real windows under Xvfb, on a generated sample database. The card's main
// window is a host dialog whose procedure hands the private messages to DispatchZmMessage with
// a real database object, and logs them, so the tests check both what the card shows and what
// it asks of the main window.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "browse/treecard.h"
#include "core/containers.h"
#include "core/database.h"
#include "core/fields.h"
#include "core/leveldefs.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "core/treefill.h"
#include "core/xmlaccess.h"
#include "mainapp/mainform.h"
#include "shellcontract/zm_protocol.h"
#include "tests/core/dbfixture.h"
#include "tests/core/sampletemplate.h"
#include "tests/support/wintest.h"

using Rows = std::vector<std::vector<std::wstring>>;

namespace {

// ---- the host: a main window that answers through DispatchZmMessage ----

struct ZmEntry
{
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
};

struct QueryCopy
{
    int Kind, Id, KeyCount, Descending, RowCount;
    std::vector<std::wstring> Keys;
};

std::vector<ZmEntry> g_log;
std::vector<QueryCopy> g_queries;
int g_cellRequests = 0;
int g_opened = 0;
bool g_dispatch = true;

INT_PTR CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return TRUE;
    }
    if (msg == ZM_DB_OPENED) {
        ++g_opened;  // the test runs its own load below
        return TRUE;
    }
    if (msg == ZM_GET_LIST_CELL_TEXT)
        ++g_cellRequests;
    else if ((msg >= ZM_FIRST && msg <= ZM_LAST) || (msg == WM_COMMAND && HIWORD(wParam) == 2))
        g_log.push_back({msg, wParam, lParam});
    if (msg == WM_COMMAND)
        return TRUE;
    INT_PTR result = FALSE;
    if (g_dispatch && DispatchZmMessage(MainFormOf(hwnd), hwnd, msg, wParam, lParam, &result)) {
        if (msg == ZM_QUERY_RECORD_LIST) {
            const ListQuery* q = reinterpret_cast<const ListQuery*>(lParam);
            QueryCopy c = {q->Kind, q->Id, q->SortKeyCount, q->Descending, q->RowCount, {}};
            for (int i = 0; i < q->SortKeyCount; ++i)
                c.Keys.push_back(q->SortKeys[i]->Field);
            g_queries.push_back(c);
        }
        return result;
    }
    return FALSE;
}

std::vector<WORD> HostTemplate()
{
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    DLGTEMPLATE* dt = reinterpret_cast<DLGTEMPLATE*>(t.data());
    dt->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    dt->cx = 500;
    dt->cy = 330;
    return t;
}

std::wstring Template()
{
    zor::SampleDbOptions options;
    options.records = 800;
    return SharedSampleTemplate(L"treecardtemplate", options);
}

int CountOf(const std::vector<ZmEntry>& log, UINT msg, WPARAM w, LPARAM l)
{
    int n = 0;
    for (const ZmEntry& e : log)
        if (e.Msg == msg && e.WParam == w && e.LParam == l)
            ++n;
    return n;
}

int CountOf(const std::vector<ZmEntry>& log, UINT msg)
{
    int n = 0;
    for (const ZmEntry& e : log)
        if (e.Msg == msg)
            ++n;
    return n;
}

using wintest::WindowText;

// The header's sort arrows as the workspace gives them: 0 up (ascending), 1 down.
HIMAGELIST MakeArrowImages()
{
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 2, 1);
    HDC screen = GetDC(nullptr);
    for (int down = 0; down < 2; ++down) {
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
        HGDIOBJ old = SelectObject(dc, bitmap);
        RECT all = {0, 0, 16, 16};
        FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
        POINT up[3] = {{8, 4}, {3, 11}, {13, 11}};
        POINT dn[3] = {{3, 5}, {13, 5}, {8, 12}};
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(GRAY_BRUSH));
        Polygon(dc, down ? dn : up, 3);
        SelectObject(dc, oldBrush);
        SelectObject(dc, old);
        ImageList_AddMasked(images, bitmap, RGB(255, 255, 255));
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    ReleaseDC(nullptr, screen);
    return images;
}

class TreeCardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::wstring from = Template();
        ASSERT_FALSE(from.empty());
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string n = std::string("treecard_") + info->name();
        path_ = wintest::MakeTempFolder(std::wstring(n.begin(), n.end()).c_str()) + L"\\ZorBase.mdb";
        ASSERT_TRUE(CopyFileW(from.c_str(), path_.c_str(), FALSE));
        ASSERT_TRUE(raw_.Open(path_, false));

        HINSTANCE instance = GetModuleHandleW(nullptr);
        memset(storage_, 0, sizeof(storage_));
        form_ = reinterpret_cast<MainForm*>(storage_);
        form_->hInstance = instance;
        std::vector<WORD> t = HostTemplate();
        host_ = CreateDialogIndirectParamW(instance, reinterpret_cast<DLGTEMPLATE*>(t.data()),
                                           nullptr, HostProc, (LPARAM)form_);
        ASSERT_TRUE(host_ != nullptr);
        SetWindowTextW(host_, L"Zorna");
        SetWindowPos(host_, nullptr, 0, 0, 900, 600, SWP_NOZORDER);
        form_->MainWnd = host_;
        tab_ = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                               880, 560, host_, (HMENU)(INT_PTR)1002, instance, nullptr);
        ShowWindow(host_, SW_SHOW);

        db_ = new CDatabase(host_, instance);
        form_->Database = db_;
        conn_.ConnType = 1;
        conn_.DBName = _wcsdup(path_.c_str());
        g_opened = 0;
        ASSERT_EQ(S_OK, db_->Open(nullptr, &conn_));
        ASSERT_TRUE(wintest::PumpUntil([] { return g_opened > 0; }, 30000));
        ASSERT_EQ(1, db_->IsOpen());
        ASSERT_EQ(1, db_->DiscoverSchema());
        arrows_ = MakeArrowImages();
        g_log.clear();
        g_queries.clear();
        g_cellRequests = 0;
        g_dispatch = true;
    }

    void TearDown() override
    {
        delete sys_;
        delete loc_;
        sys_ = loc_ = nullptr;
        form_ = nullptr;
        delete db_;
        db_ = nullptr;
        wintest::PumpMessages(0);
        if (host_)
            DestroyWindow(host_);
        if (arrows_)
            ImageList_Destroy(arrows_);
        free(conn_.DBName);
        conn_.DBName = nullptr;
        sysColumns_.RemoveAll(1);
        locColumns_.RemoveAll(1);
        sysHeader_.RemoveAll(1);
        locHeader_.RemoveAll(1);
    }

    // A card as the main window's load sequence sets it up: level definitions, record list
    // columns, information lines and the tree source.
    CTreeCard* MakeCard(int kind)
    {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        CTreeCard* card = new CTreeCard(tab_, instance, LoadCursorW(nullptr, IDC_SIZEWE),
                                        LoadCursorW(nullptr, IDC_SIZEWE),
                                        LoadCursorW(nullptr, IDC_SIZENS), arrows_, kind);
        EXPECT_TRUE(card->GetPage() != nullptr);
        EXPECT_TRUE(card->GetRecordPage() != nullptr);
        RECT area = {2, 24, 876, 556};
        card->Move(&area);
        if (kind == TREECARD_SYSTEMATIC) {
            db_->LoadSysLevelDefs(card->GetTreeView(), card->GetChildList(), card->GetLargeImages(),
                                  card->GetSmallImages(), card->GetLevelCache());
            db_->BuildSysListColumns(&sysColumns_);
            db_->BuildSysHeaderColumns(&sysHeader_);
            SetupListColumns(card->GetRecordList(), &sysColumns_);
            card->SetInfoFields(&sysHeader_);
            card->SetTreeSource(db_->GetSysTreeRs(), 4, 5);
        } else {
            db_->LoadLocLevelDefs(card->GetTreeView(), card->GetChildList(), card->GetLargeImages(),
                                  card->GetSmallImages(), card->GetLevelCache());
            db_->BuildLocListColumns(&locColumns_);
            db_->BuildLocHeaderColumns(&locHeader_);
            SetupListColumns(card->GetRecordList(), &locColumns_);
            card->SetInfoFields(&locHeader_);
            card->SetTreeSource(db_->GetLocTreeRs(), 3, 5);
        }
        ShowWindow(card->GetPage(), SW_SHOW);
        wintest::PumpMessages(50);
        return card;
    }

    Rows Query(const std::wstring& sql)
    {
        Rows rows;
        EXPECT_TRUE(raw_.Query(sql, rows)) << std::string(sql.begin(), sql.end());
        return rows;
    }
    int QueryInt(const std::wstring& sql) { return (int)raw_.QueryInt(sql); }

    // Selects an item through its id path, as going to an item does.
    void SelectItem(CTreeCard* card, int id)
    {
        CIntArray path(16, 4);
        zdata::Recordset* rs = card->GetKind() == TREECARD_SYSTEMATIC ? db_->GetSysTreeRs()
                                                                       : db_->GetLocTreeRs();
        BuildIdPath(&path, id, rs);
        SelectTreePath(card->GetTreeView(), &path);
        wintest::PumpMessages(30);
    }

    HTREEITEM Root(CTreeCard* card)
    {
        return (HTREEITEM)SendMessageW(card->GetTreeView(), TVM_GETNEXTITEM, TVGN_ROOT, 0);
    }
    int ChildCount(HWND tree, HTREEITEM item)
    {
        int n = 0;
        for (HTREEITEM c = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)item); c;
             c = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)c))
            ++n;
        return n;
    }
    std::wstring ItemText(HWND tree, HTREEITEM item) { return wintest::TreeItemText(tree, item); }
    std::wstring Cell(HWND list, int row, int column) { return wintest::ListCellText(list, row, column); }
    int ItemCount(HWND list) { return (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0); }
    // The mark a header item shows: 1 ascending, -1 descending, 0 none (the arrow images are
    // 0 for ascending and 1 for descending).
    int SortMark(HWND header, int column)
    {
        HDITEMW hdi = {};
        hdi.mask = HDI_FORMAT | HDI_IMAGE;
        SendMessageW(header, HDM_GETITEMW, column, (LPARAM)&hdi);
        if (hdi.fmt & HDF_SORTDOWN)
            return 1;
        if (hdi.fmt & HDF_SORTUP)
            return -1;
        if (hdi.fmt & HDF_IMAGE)
            return hdi.iImage == 0 ? 1 : hdi.iImage == 1 ? -1 : 0;
        return 0;
    }

    // Clicks a column of the record list's header with the mouse messages the header gets.
    void ClickColumn(CTreeCard* card, int column) { wintest::ClickListColumn(card->GetRecordList(), column); }

    // The species (taxa of a data level) with the most records, and a locality likewise.
    int BusiestTaxon()
    {
        return QueryInt(L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC, SYSID LIMIT 1");
    }
    int BusiestLocality()
    {
        return QueryInt(L"SELECT FTRID FROM ZORNACOLLS GROUP BY FTRID ORDER BY COUNT(*) DESC, FTRID LIMIT 1");
    }

    std::wstring path_;
    zor::RawOdbc raw_;
    alignas(MainForm) unsigned char storage_[sizeof(MainForm)];
    MainForm* form_ = nullptr;
    HWND host_ = nullptr;
    HWND tab_ = nullptr;
    CDatabase* db_ = nullptr;
    ConnSettings conn_ = {};
    HIMAGELIST arrows_ = nullptr;
    CTreeCard* sys_ = nullptr;
    CTreeCard* loc_ = nullptr;
    CObjArray sysColumns_{16, 4};
    CObjArray locColumns_{16, 4};
    CObjArray sysHeader_{16, 4};
    CObjArray locHeader_{16, 4};
};

// ---- the tree ----

TEST_F(TreeCardTest, RootShowsTheFirstLevelAndTheViewCommands)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    HWND tree = sys_->GetTreeView();
    HTREEITEM root = Root(sys_);
    ASSERT_TRUE(root != nullptr);
    EXPECT_EQ(L"Systém", ItemText(tree, root));
    int top = QueryInt(L"SELECT COUNT(*) FROM SYSTREE WHERE PARENT = 0 AND ID > 0");
    ASSERT_GT(top, 0);
    EXPECT_EQ(top, ChildCount(tree, root));
    TreeItemData* data = GetTreeItemData(tree, root);
    ASSERT_TRUE(data != nullptr);
    EXPECT_EQ(0, data->Id);
    EXPECT_EQ(1, data->ChildrenLoaded);
    EXPECT_EQ(top, data->ChildCount);

    // Bound to its source, the card shows the top level at once: the root is current.
    EXPECT_EQ(root, (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    EXPECT_EQ(0, sys_->GetCurrentId());
    EXPECT_EQ(top, ItemCount(sys_->GetChildList()));
    wintest::PumpMessages(100);
    wintest::SaveScreenshot(host_, L"treecard_bound_top_level");

    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)root));
    g_log.clear();
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)root);
    EXPECT_EQ(0, sys_->GetCurrentId());
    EXPECT_TRUE(IsWindowVisible(sys_->GetChildList()));
    EXPECT_FALSE(IsWindowVisible(sys_->GetRecordPage()));
    EXPECT_EQ(top, ItemCount(sys_->GetChildList()));
    // View commands on, the icon view announced with code 2, no record list.
    ASSERT_EQ(3u, g_log.size());
    EXPECT_EQ((UINT)ZM_ENABLE_VIEW_COMMANDS, g_log[0].Msg);
    EXPECT_EQ(1u, g_log[0].WParam);
    EXPECT_EQ(1, g_log[0].LParam);
    EXPECT_EQ((UINT)WM_COMMAND, g_log[1].Msg);
    EXPECT_EQ(MAKEWPARAM(401, 2), g_log[1].WParam);
    EXPECT_EQ((UINT)ZM_UPDATE_RECORD_TOOLBAR, g_log[2].Msg);
    EXPECT_EQ(0u, g_log[2].WParam);
}

TEST_F(TreeCardTest, ItemsAreFilledOnlyWhenExpandedAndOnlyOnce)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    HWND tree = sys_->GetTreeView();
    HTREEITEM first = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)Root(sys_));
    ASSERT_TRUE(first != nullptr);
    TreeItemData* data = GetTreeItemData(tree, first);
    ASSERT_TRUE(data != nullptr);
    EXPECT_EQ(0, data->ChildrenLoaded);
    EXPECT_EQ(0, ChildCount(tree, first));
    wchar_t sql[128];
    _snwprintf(sql, 128, L"SELECT COUNT(*) FROM SYSTREE WHERE PARENT = %d", data->Id);
    int children = QueryInt(sql);
    ASSERT_GT(children, 0);

    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)first);
    EXPECT_EQ(1, data->ChildrenLoaded);
    EXPECT_EQ(children, data->ChildCount);
    EXPECT_EQ(children, ChildCount(tree, first));

    // Collapsed and expanded again: the recordset is not filtered again and nothing is added.
    zdata::Recordset* rs = db_->GetSysTreeRs();
    rs->put_Filter(L"ID = -7");
    SendMessageW(tree, TVM_EXPAND, TVE_COLLAPSE, (LPARAM)first);
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)first);
    VARIANT filter;
    VariantInit(&filter);
    rs->get_Filter(&filter);
    ASSERT_EQ(VT_BSTR, filter.vt);
    EXPECT_STREQ(L"ID = -7", filter.bstrVal);
    VariantClear(&filter);
    EXPECT_EQ(children, ChildCount(tree, first));
}

TEST_F(TreeCardTest, ReloadingWithoutItemDataRebuildsTheRoot)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    HWND tree = sys_->GetTreeView();
    int taxon = BusiestTaxon();
    SelectItem(sys_, taxon);
    ASSERT_EQ(taxon, sys_->GetCurrentId());
    g_log.clear();
    sys_->ReloadTreeItem(host_, tree, nullptr, nullptr);
    HTREEITEM root = Root(sys_);
    ASSERT_TRUE(root != nullptr);
    EXPECT_EQ(L"Systém", ItemText(tree, root));
    EXPECT_EQ(QueryInt(L"SELECT COUNT(*) FROM SYSTREE WHERE PARENT = 0 AND ID > 0"), ChildCount(tree, root));
    EXPECT_EQ(taxon, sys_->GetCurrentId());
    EXPECT_EQ(1, CountOf(g_log, ZM_GOTO_TREE_ITEM, 0, taxon));
}

TEST_F(TreeCardTest, ReloadingAnItemLoadsItsChildrenAgain)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    HWND tree = sys_->GetTreeView();
    HTREEITEM root = Root(sys_);
    HTREEITEM first = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)root);
    TreeItemData* data = GetTreeItemData(tree, first);
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)first);
    int children = ChildCount(tree, first);
    ASSERT_GT(children, 0);
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)first);
    g_log.clear();
    sys_->ReloadTreeItem(host_, tree, first, data);
    EXPECT_EQ(1, data->ChildrenLoaded);
    EXPECT_EQ(children, ChildCount(tree, first));
    EXPECT_EQ(1, CountOf(g_log, ZM_GOTO_TREE_ITEM, 0, data->Id));
    // The list of children was filled again from live items.
    EXPECT_EQ(children, ItemCount(sys_->GetChildList()));
    LVITEMW lvi = {};
    lvi.mask = LVIF_PARAM;
    SendMessageW(sys_->GetChildList(), LVM_GETITEMW, 0, (LPARAM)&lvi);
    HTREEITEM child = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)first);
    EXPECT_EQ((LPARAM)GetTreeItemData(tree, child), lvi.lParam);
}

TEST_F(TreeCardTest, ClosingTheDatabaseEmptiesTheCard)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    SelectItem(sys_, BusiestTaxon());
    ASSERT_TRUE(IsWindowVisible(sys_->GetRecordPage()));
    sys_->SetTreeSource(nullptr, 4, 5);
    EXPECT_EQ(0, (int)SendMessageW(sys_->GetTreeView(), TVM_GETCOUNT, 0, 0));
    EXPECT_FALSE(IsWindowVisible(sys_->GetRecordPage()));
    EXPECT_TRUE(IsWindowVisible(sys_->GetChildList()));
    EXPECT_EQ(0, ItemCount(sys_->GetChildList()));
    EXPECT_EQ(0, ItemCount(sys_->GetRecordList()));
}

TEST_F(TreeCardTest, DoubleClickOnAChildSelectsItInTheTree)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    HWND tree = sys_->GetTreeView();
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)Root(sys_));
    HWND list = sys_->GetChildList();
    ASSERT_GT(ItemCount(list), 0);
    LVITEMW lvi = {};
    lvi.mask = LVIF_PARAM;
    lvi.iItem = 0;
    SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&lvi);
    int id = ((TreeItemData*)lvi.lParam)->Id;
    NMITEMACTIVATE nm = {};
    nm.hdr.hwndFrom = list;
    nm.hdr.idFrom = IDC_CARD_CHILDLIST;
    nm.hdr.code = NM_DBLCLK;
    nm.iItem = 0;
    SendMessageW(sys_->GetPage(), WM_NOTIFY, IDC_CARD_CHILDLIST, (LPARAM)&nm);
    EXPECT_EQ(id, sys_->GetCurrentId());
    HTREEITEM sel = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    EXPECT_EQ(id, GetTreeItemData(tree, sel)->Id);
}

// ---- the record page ----

TEST_F(TreeCardTest, SpeciesShowsItsPanelAndRecords)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    // The species with a picture that has the most records.
    int taxon = QueryInt(L"SELECT ZORNACOLLS.SYSID FROM ZORNACOLLS WHERE ZORNACOLLS.SYSID IN (SELECT SYSID FROM "
                         L"SYSIMAGES) GROUP BY ZORNACOLLS.SYSID ORDER BY COUNT(*) DESC, ZORNACOLLS.SYSID LIMIT 1");
    ASSERT_GT(taxon, 0);
    g_log.clear();
    SelectItem(sys_, taxon);
    ASSERT_EQ(taxon, sys_->GetCurrentId());
    EXPECT_TRUE(IsWindowVisible(sys_->GetRecordPage()));
    EXPECT_FALSE(IsWindowVisible(sys_->GetChildList()));

    // The title is the species' display name: its name first.
    wchar_t sql[200];
    _snwprintf(sql, 200, L"SELECT NAME FROM SPECIES WHERE SYSID = %d", taxon);
    std::wstring name = raw_.QueryText(sql);
    ASSERT_FALSE(name.empty());
    std::wstring title = WindowText(GetDlgItem(sys_->GetRecordPage(), IDC_CARD_TITLE));
    EXPECT_EQ(0u, title.find(name)) << std::string(title.begin(), title.end());
    // Information lines: caption, colon and value, one per visible header field that fits.
    ASSERT_GT(sys_->InfoStatics->GetCount(), 0);
    for (int i = 0; i < sys_->InfoStatics->GetCount(); ++i) {
        HWND line = (HWND)sys_->InfoStatics->GetItems()[i];
        CDispField* field = (CDispField*)GetWindowLongPtrW(line, GWLP_USERDATA);
        ASSERT_TRUE(field != nullptr);
        std::wstring text = WindowText(line);
        std::wstring caption = std::wstring(field->DispName ? field->DispName : field->Field->Name) + L": ";
        EXPECT_EQ(0u, text.find(caption)) << std::string(text.begin(), text.end());
    }
    // The picture: as wide as the panel reported, as high as the picture area.
    _snwprintf(sql, 200, L"SELECT COUNT(*) FROM SYSIMAGES WHERE SYSID = %d", taxon);
    HWND picture = GetDlgItem(sys_->GetRecordPage(), IDC_CARD_PICTURE);
    RECT pr;
    GetWindowRect(picture, &pr);
    EXPECT_EQ(sys_->ImageWidth, pr.right - pr.left);
    ASSERT_GT(QueryInt(sql), 0);
    EXPECT_GT(sys_->ImageWidth, 0);
    EXPECT_EQ(90, pr.bottom - pr.top);
    // The title and the lines end left of the picture.
    RECT tr;
    GetWindowRect(GetDlgItem(sys_->GetRecordPage(), IDC_CARD_TITLE), &tr);
    EXPECT_EQ(pr.left, tr.right);

    // The records of the taxon, asked for by kind 1 and its id, unsorted.
    _snwprintf(sql, 200, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYSID = %d", taxon);
    int records = QueryInt(sql);
    ASSERT_GT(records, 1);
    HWND list = sys_->GetRecordList();
    EXPECT_EQ(records, ItemCount(list));
    ASSERT_FALSE(g_queries.empty());
    EXPECT_EQ(1, g_queries.back().Kind);
    EXPECT_EQ(taxon, g_queries.back().Id);
    EXPECT_EQ(0, g_queries.back().KeyCount);
    EXPECT_EQ(records, g_queries.back().RowCount);
    // Every cell of the locality column is one of the taxon's localities.
    _snwprintf(sql, 200, L"SELECT FEATURES.NAME FROM ZORNACOLLS JOIN FEATURES ON FEATURES.LOCID = ZORNACOLLS.FTRID "
                         L"WHERE ZORNACOLLS.SYSID = %d ORDER BY FEATURES.NAME", taxon);
    Rows names = Query(sql);
    std::vector<std::wstring> cells;
    for (int row = 0; row < records; ++row)
        cells.push_back(Cell(list, row, 1));
    std::sort(cells.begin(), cells.end());
    std::vector<std::wstring> expected;
    for (auto& r : names)
        expected.push_back(r[0]);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, cells);
    // Record page notices: view commands off, a record list, the maps refreshed.
    EXPECT_GE(CountOf(g_log, ZM_ENABLE_VIEW_COMMANDS, 0, 1), 1);
    EXPECT_EQ(1, CountOf(g_log, ZM_UPDATE_RECORD_TOOLBAR, 1, 0));
    EXPECT_EQ(1, CountOf(g_log, ZM_REFRESH_MAPS));
    EXPECT_EQ(0, CountOf(g_log, ZM_ENABLE_VIEW_COMMANDS, 1, 1));
    wintest::PumpMessages(100);
    EXPECT_GT(g_cellRequests, 0);
    ClickColumn(sys_, 1);
    wintest::PumpMessages(100);
    wintest::SaveScreenshot(host_, L"treecard_systematic");
}

TEST_F(TreeCardTest, ColumnClicksSortAndReverse)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    int taxon = BusiestTaxon();
    SelectItem(sys_, taxon);
    HWND list = sys_->GetRecordList();
    int records = ItemCount(list);
    ASSERT_GT(records, 2);
    wchar_t sql[220];
    _snwprintf(sql, 220, L"SELECT FEATURES.NAME FROM ZORNACOLLS JOIN FEATURES ON FEATURES.LOCID = "
                         L"ZORNACOLLS.FTRID WHERE ZORNACOLLS.SYSID = %d", taxon);
    Rows ascending = dbtest::InCzechOrder(Query(sql));
    ASSERT_EQ((size_t)records, ascending.size());

    g_queries.clear();
    g_log.clear();
    ClickColumn(sys_, 1);
    EXPECT_EQ(1, sys_->GetSortColumn());
    ASSERT_EQ(1u, g_queries.size());
    EXPECT_EQ(0, g_queries[0].Descending);
    ASSERT_EQ(1, g_queries[0].KeyCount);
    EXPECT_EQ(L"NAME", g_queries[0].Keys[0]);
    EXPECT_EQ(records, ItemCount(list));
    for (int row = 0; row < records; ++row)
        EXPECT_EQ(ascending[row][0], Cell(list, row, 1)) << "row " << row;
    HWND header = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
    // The column shows its mark: the header's own sort flag or the arrow image.
    EXPECT_EQ(1, SortMark(header, 1));

    // The same column again: the order is reversed, the list keeps its rows.
    ClickColumn(sys_, 1);
    EXPECT_EQ(-1, sys_->GetSortColumn());
    ASSERT_EQ(2u, g_queries.size());
    EXPECT_EQ(1, g_queries[1].Descending);
    EXPECT_EQ(records, ItemCount(list));
    EXPECT_EQ(ascending.back()[0], Cell(list, 0, 1));
    EXPECT_EQ(ascending.front()[0], Cell(list, records - 1, 1));
    EXPECT_EQ(-1, SortMark(header, 1));

    // Another column sorts ascending by that one.
    ClickColumn(sys_, 2);
    EXPECT_EQ(2, sys_->GetSortColumn());
    EXPECT_EQ(0, g_queries.back().Descending);
    EXPECT_EQ(0, SortMark(header, 1));
    EXPECT_EQ(1, SortMark(header, 2));

    // The sort stays for the next taxon.
    int other = QueryInt(L"SELECT SYSID FROM ZORNACOLLS WHERE SYSID <> " + std::to_wstring(taxon) +
                         L" GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1");
    SelectItem(sys_, other);
    EXPECT_EQ(other, g_queries.back().Id);
    EXPECT_EQ(1, g_queries.back().KeyCount);
}

TEST_F(TreeCardTest, ComposedColumnSortsByItsFields)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    // A composed column of the locality name and the altitude, shown last.
    CCustFld* custom = new CCustFld(L"Místo a výška");
    custom->Mask = _wcsdup(L"#1 (#2 m)");
    CObjArray* refs = custom->FieldRefs;
    CDispField* nameField = static_cast<CDispField*>(sysColumns_.GetItems()[0]);
    refs->Add(nameField->Field);
    for (int i = 0; i < sysColumns_.GetCount(); ++i) {
        CDispField* d = static_cast<CDispField*>(sysColumns_.GetItems()[i]);
        if (!_wcsicmp(d->Field->Field, L"ALTITUDE"))
            refs->Add(d->Field);
    }
    ASSERT_EQ(2, refs->GetCount());
    CDispField* disp = new CDispField(custom);
    disp->Visible = 1;
    disp->Width = 80;
    disp->ValueFormatter = CustomFieldValue;
    sysColumns_.Add(disp);
    // Only the locality and the composed column are shown: the composed one is column 2.
    for (int i = 1; i < sysColumns_.GetCount() - 1; ++i)
        static_cast<CDispField*>(sysColumns_.GetItems()[i])->Visible = 0;
    SetupListColumns(sys_->GetRecordList(), &sysColumns_);
    int column = 2;
    ASSERT_EQ(3, (int)SendMessageW((HWND)SendMessageW(sys_->GetRecordList(), LVM_GETHEADER, 0, 0),
                                   HDM_GETITEMCOUNT, 0, 0));
    SelectItem(sys_, BusiestTaxon());
    int rows = ItemCount(sys_->GetRecordList());
    g_queries.clear();
    ClickColumn(sys_, column);
    ClickColumn(sys_, column);
    ASSERT_EQ(2u, g_queries.size());
    EXPECT_EQ(0, g_queries[0].Descending);
    EXPECT_EQ(1, g_queries[1].Descending);
    ASSERT_EQ(2, g_queries[1].KeyCount);
    EXPECT_EQ(L"NAME", g_queries[1].Keys[0]);
    EXPECT_EQ(L"ALTITUDE", g_queries[1].Keys[1]);
    EXPECT_EQ(rows, g_queries[1].RowCount);
    delete custom;  // the catalogue owns only the display entry
    disp->Field = nullptr;
}

TEST_F(TreeCardTest, RequeryWithANewCountResetsTheListCount)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    int taxon = BusiestTaxon();
    SelectItem(sys_, taxon);
    HWND list = sys_->GetRecordList();
    int before = ItemCount(list);
    ASSERT_GT(before, 3);
    // Another program removes two of the records; the sort click requeries without a reset.
    wchar_t sql[200];
    _snwprintf(sql, 200, L"DELETE FROM ZORNACOLLS WHERE ID IN (SELECT ID FROM ZORNACOLLS WHERE SYSID = %d "
                         L"ORDER BY ID LIMIT 2)", taxon);
    ASSERT_TRUE(raw_.Exec(sql));
    ClickColumn(sys_, 1);
    EXPECT_EQ(before - 2, ItemCount(list));
    // The last row is a real one and nothing past it is asked for.
    EXPECT_FALSE(Cell(list, before - 3, 1).empty());
    EXPECT_EQ(L"", Cell(list, before - 2, 1));
}

TEST_F(TreeCardTest, ScrollingPaintsEachNewPageOnce)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    // A tall picture area leaves a short list, so the taxon's records fill several pages.
    sys_->ImageHeight = 400;
    SelectItem(sys_, BusiestTaxon());
    HWND list = sys_->GetRecordList();
    int perPage = (int)SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0);
    ASSERT_GT(perPage, 0);
    ASSERT_GT(ItemCount(list), 3 * perPage);
    wintest::PumpMessages(50);
    // What one full paint of the list asks for.
    g_cellRequests = 0;
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(list);
    int fullPaint = g_cellRequests;
    ASSERT_GT(fullPaint, 0);
    for (int page = 0; page < 2; ++page) {
        g_cellRequests = 0;
        SendMessageW(list, WM_VSCROLL, SB_PAGEDOWN, 0);
        UpdateWindow(list);
        wintest::PumpMessages(30);
        // The new rows were asked for once, and nothing waits to be painted again.
        EXPECT_LE(g_cellRequests, fullPaint);
        EXPECT_GT(g_cellRequests, 0);
        RECT pending;
        EXPECT_FALSE(GetUpdateRect(list, &pending, FALSE));
    }
    EXPECT_EQ(2 * perPage, (int)SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    EXPECT_GE(sys_->CacheTo, 2 * perPage);
    // Emptying the list needs no notice for each row.
    NMHDR all = {list, IDC_CARD_RECORDLIST, LVN_DELETEALLITEMS};
    SendMessageW(sys_->GetRecordPage(), WM_NOTIFY, IDC_CARD_RECORDLIST, (LPARAM)&all);
    EXPECT_EQ(TRUE, GetWindowLongPtrW(sys_->GetRecordPage(), DWLP_MSGRESULT));
}

TEST_F(TreeCardTest, SelectedRecordIdsInRowOrder)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    int taxon = BusiestTaxon();
    SelectItem(sys_, taxon);
    ClickColumn(sys_, 1);
    HWND list = sys_->GetRecordList();
    EXPECT_EQ(-1, sys_->GetSelectedRecordId());
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, 2, (LPARAM)&state);
    SendMessageW(list, LVM_SETITEMSTATE, 0, (LPARAM)&state);
    wchar_t sql[220];
    _snwprintf(sql, 220, L"SELECT ZORNACOLLS.ID FROM ZORNACOLLS JOIN FEATURES ON FEATURES.LOCID = "
                         L"ZORNACOLLS.FTRID WHERE ZORNACOLLS.SYSID = %d ORDER BY FEATURES.NAME", taxon);
    Rows ids = Query(sql);
    // Rows with equal names may come in any order; compare with the ids the rows carry.
    CIntArray got(8, 8);
    EXPECT_EQ(2, sys_->GetSelectedRecordIds(&got));
    ASSERT_EQ(2, got.GetCount());
    std::vector<int> all;
    for (auto& r : ids)
        all.push_back(_wtoi(r[0].c_str()));
    EXPECT_NE(all.end(), std::find(all.begin(), all.end(), got.GetItems()[0]));
    EXPECT_NE(all.end(), std::find(all.begin(), all.end(), got.GetItems()[1]));
    EXPECT_NE(got.GetItems()[0], got.GetItems()[1]);
    EXPECT_EQ(got.GetItems()[0], sys_->GetSelectedRecordId());
    // The toolbar heard of the selection.
    EXPECT_GE(CountOf(g_log, ZM_UPDATE_RECORD_TOOLBAR, 1, 2), 1);

    // A main window that does not answer gives no ids at all, never stray ones.
    g_dispatch = false;
    CIntArray none(8, 8);
    EXPECT_EQ(0, sys_->GetSelectedRecordIds(&none));
    EXPECT_EQ(0, none.GetCount());
    EXPECT_EQ(-1, sys_->GetSelectedRecordId());
    g_dispatch = true;
}

TEST_F(TreeCardTest, LocalityCardShowsAndSortsItsRecords)
{
    loc_ = MakeCard(TREECARD_LOCALITY);
    HWND tree = loc_->GetTreeView();
    EXPECT_EQ(L"Lokality", ItemText(tree, Root(loc_)));
    int locality = BusiestLocality();
    g_log.clear();
    SelectItem(loc_, locality);
    ASSERT_EQ(locality, loc_->GetCurrentId());
    EXPECT_TRUE(IsWindowVisible(loc_->GetRecordPage()));
    wchar_t sql[220];
    _snwprintf(sql, 220, L"SELECT NAME FROM FEATURES WHERE LOCID = %d", locality);
    std::wstring name = raw_.QueryText(sql);
    EXPECT_EQ(name, WindowText(GetDlgItem(loc_->GetRecordPage(), IDC_CARD_TITLE)));
    _snwprintf(sql, 220, L"SELECT SPECIES.NAME FROM ZORNACOLLS JOIN SPECIES ON SPECIES.SYSID = "
                         L"ZORNACOLLS.SYSID WHERE ZORNACOLLS.FTRID = %d", locality);
    Rows descending = dbtest::InCzechOrder(Query(sql), true);
    HWND list = loc_->GetRecordList();
    ASSERT_EQ((int)descending.size(), ItemCount(list));
    ASSERT_FALSE(g_queries.empty());
    EXPECT_EQ(2, g_queries.back().Kind);
    // No map refresh from the locality card.
    EXPECT_EQ(0, CountOf(g_log, ZM_REFRESH_MAPS));
    EXPECT_EQ(1, CountOf(g_log, ZM_UPDATE_RECORD_TOOLBAR, 1, 0));

    ClickColumn(loc_, 1);
    ClickColumn(loc_, 1);
    EXPECT_EQ(-1, loc_->GetSortColumn());
    for (int row = 0; row < (int)descending.size(); ++row)
        EXPECT_EQ(descending[row][0], Cell(list, row, 1)) << "row " << row;
    wintest::PumpMessages(100);
    wintest::SaveScreenshot(host_, L"treecard_locality");
}

// ---- windows and notices ----

TEST_F(TreeCardTest, ShowingAndHidingThePageMovesTheViewMenu)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    SelectItem(sys_, BusiestTaxon());
    g_log.clear();
    ShowWindow(sys_->GetPage(), SW_HIDE);
    ASSERT_EQ(1u, g_log.size());
    EXPECT_EQ((UINT)ZM_SHOW_VIEW_MENU, g_log[0].Msg);
    EXPECT_EQ(1u, g_log[0].WParam);
    EXPECT_EQ(0, g_log[0].LParam);
    g_log.clear();
    ShowWindow(sys_->GetPage(), SW_SHOW);
    ASSERT_GE(g_log.size(), 3u);
    EXPECT_EQ((UINT)ZM_SHOW_VIEW_MENU, g_log[0].Msg);
    EXPECT_EQ(1, g_log[0].LParam);
    // The record page is in front: view commands off, a record list with no selection.
    EXPECT_EQ(1, CountOf(g_log, ZM_ENABLE_VIEW_COMMANDS, 0, 1));
    EXPECT_EQ(1, CountOf(g_log, ZM_UPDATE_RECORD_TOOLBAR, 1, 0));

    // With the list of children in front the current view style is announced.
    SendMessageW(sys_->GetTreeView(), TVM_SELECTITEM, TVGN_CARET, (LPARAM)Root(sys_));
    sys_->SetListStyle(CARDLIST_DETAILS);
    ShowWindow(sys_->GetPage(), SW_HIDE);
    g_log.clear();
    ShowWindow(sys_->GetPage(), SW_SHOW);
    EXPECT_EQ(1, CountOf(g_log, ZM_ENABLE_VIEW_COMMANDS, 1, 1));
    EXPECT_EQ(1, CountOf(g_log, WM_COMMAND, MAKEWPARAM(404, 2), 0));
    EXPECT_EQ(1, CountOf(g_log, ZM_UPDATE_RECORD_TOOLBAR, 0, 0));
}

TEST_F(TreeCardTest, UpDownSplitterKeepsThePictureAndTheListInBounds)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    SelectItem(sys_, BusiestTaxon());
    HWND page = sys_->GetRecordPage();
    HWND bar = GetDlgItem(page, IDC_CARD_HEIGHTSPLITTER);
    HWND picture = GetDlgItem(page, IDC_CARD_PICTURE);
    auto pictureHeight = [&] {
        RECT r;
        GetWindowRect(picture, &r);
        return (int)(r.bottom - r.top);
    };
    // A press and release without moving changes nothing and re-applies nothing.
    g_log.clear();
    SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 2));
    SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(10, 2));
    EXPECT_EQ(0, CountOf(g_log, ZM_CONFIG_CHANGED));
    EXPECT_EQ(90, sys_->GetImageHeight());

    // Upwards (a negative y) never goes below 90.
    SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 2));
    SendMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, (WORD)(short)-60));
    EXPECT_EQ(90, pictureHeight());
    // Downwards it grows, but the record list keeps at least 40 pixels.
    SendMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 50));
    EXPECT_EQ(140, pictureHeight());
    SendMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 5000));
    RECT client;
    GetClientRect(page, &client);
    EXPECT_EQ(client.bottom - 44, pictureHeight());
    RECT lr;
    GetWindowRect(sys_->GetRecordList(), &lr);
    EXPECT_EQ(38, lr.bottom - lr.top);
    g_log.clear();
    SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(10, 2));
    EXPECT_EQ(client.bottom - 44, sys_->GetImageHeight());
    EXPECT_EQ(1, CountOf(g_log, ZM_CONFIG_CHANGED));
    EXPECT_GE(CountOf(g_log, ZM_SHOW_ITEM_INFO), 1);

    // A page too low for 90 + 40 still gets a picture of 90.
    int now = pictureHeight();
    EXPECT_EQ(90, sys_->HeightForDrag(10, 100));
    EXPECT_EQ(90, sys_->HeightForDrag(-now, 400));
    EXPECT_EQ(now + 10, sys_->HeightForDrag(10, now + 100));
    EXPECT_EQ(400 - 44, sys_->HeightForDrag(1000, 400));
}

TEST_F(TreeCardTest, LeftRightSplitterLeavesBothSidesWide)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    HWND tree = sys_->GetTreeView();
    HWND bar = GetDlgItem(sys_->GetPage(), IDC_CARD_WIDTHSPLITTER);
    RECT before;
    GetWindowRect(tree, &before);
    int width = before.right - before.left;
    SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 10));
    SendMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((WORD)(short)-40, 10));
    RECT r;
    GetWindowRect(tree, &r);
    EXPECT_EQ(width - 40, r.right - r.left);
    RECT lr;
    GetWindowRect(sys_->GetChildList(), &lr);
    EXPECT_EQ(r.right + 4, lr.left);
    // Too far to the left or right: refused.
    SendMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((WORD)(short)-(width - 45), 10));
    GetWindowRect(tree, &r);
    EXPECT_EQ(width - 40, r.right - r.left);
    SendMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5000, 10));
    GetWindowRect(tree, &r);
    EXPECT_EQ(width - 40, r.right - r.left);
    SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(1, 10));
    EXPECT_EQ(0, sys_->SplitterDragging);
}

TEST_F(TreeCardTest, FirstColumnOfTheRecordListCannotBeResized)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    SelectItem(sys_, BusiestTaxon());
    HWND list = sys_->GetRecordList();
    HWND header = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
    auto drag = [&](int column) {
        RECT r = {};
        SendMessageW(header, HDM_GETITEMRECT, column, (LPARAM)&r);
        LPARAM at = MAKELPARAM(r.right, (r.top + r.bottom) / 2);
        SendMessageW(header, WM_MOUSEMOVE, 0, at);
        SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(header, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(r.right + 30, (r.top + r.bottom) / 2));
        SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(r.right + 30, (r.top + r.bottom) / 2));
        wintest::PumpMessages(20);
    };
    // Subclassed once, the plain way, however often it is asked (the workspace asks for the
    // search list too): a second wrap would call itself.
    SubclassRecordListHeader(list, LoadCursorW(nullptr, IDC_SIZEWE));
    EXPECT_EQ((LONG_PTR)RecordListHeaderProc, GetWindowLongPtrW(header, GWLP_WNDPROC));
    EXPECT_NE((LONG_PTR)RecordListHeaderProc, GetWindowLongPtrW(header, GWLP_USERDATA));
    EXPECT_NE(0, GetWindowLongPtrW(header, GWLP_USERDATA));
    int first = (int)SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0);
    int second = (int)SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0);
    drag(0);
    EXPECT_EQ(first, (int)SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
    drag(1);
    EXPECT_EQ(second + 30, (int)SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0));
    // The resize cursor over the divider of column 1 only.
    RECT r0 = {}, r1 = {};
    SendMessageW(header, HDM_GETITEMRECT, 0, (LPARAM)&r0);
    SendMessageW(header, HDM_GETITEMRECT, 1, (LPARAM)&r1);
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    SendMessageW(header, WM_MOUSEMOVE, 0, MAKELPARAM(r1.right, 5));
    EXPECT_EQ(LoadCursorW(nullptr, IDC_SIZEWE), GetCursor());
    SendMessageW(header, WM_MOUSEMOVE, 0, MAKELPARAM(r0.right, 5));
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), GetCursor());
}

TEST_F(TreeCardTest, InformationLinesFitAboveThePictureArea)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    int visible = 0;
    for (int i = 0; i < sysHeader_.GetCount(); ++i)
        visible += static_cast<CDispField*>(sysHeader_.GetItems()[i])->Visible ? 1 : 0;
    ASSERT_GT(visible, 1);
    // Lines start below the title and stop once the next one would reach the picture's bottom.
    int title = sys_->TitleHeight;
    auto expected = [&](int imageHeight) {
        int n = 0, y = title;
        for (int i = 0; i < visible; ++i) {
            ++n;
            y += 16;
            if (y > imageHeight - 16)
                break;
        }
        return n;
    };
    EXPECT_EQ(expected(90), sys_->InfoStatics->GetCount());
    sys_->ImageHeight = 20;  // lower than the title: still the first line
    sys_->SetInfoFields(&sysHeader_);
    EXPECT_EQ(1, sys_->InfoStatics->GetCount());
    sys_->ImageHeight = 400;
    sys_->SetInfoFields(&sysHeader_);
    EXPECT_EQ(expected(400), sys_->InfoStatics->GetCount());
    // A hidden field gets no line.
    static_cast<CDispField*>(sysHeader_.GetItems()[0])->Visible = 0;
    sys_->SetInfoFields(&sysHeader_);
    EXPECT_EQ(expected(400) - (visible == expected(400) ? 1 : 0), sys_->InfoStatics->GetCount());
    for (int i = 0; i < sys_->InfoStatics->GetCount(); ++i)
        EXPECT_NE((LONG_PTR)sysHeader_.GetItems()[0],
                  GetWindowLongPtrW((HWND)sys_->InfoStatics->GetItems()[i], GWLP_USERDATA));
}

TEST_F(TreeCardTest, PanelTextsAreDrawnOverThePageBackground)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    sys_->SetTextColor(RGB(0x80, 0, 0));
    EXPECT_EQ(RGB(0x80, 0, 0), sys_->GetTextColor());
    HWND page = sys_->GetRecordPage();
    HDC dc = GetDC(page);
    // A shorter text must wipe the longer one it replaces: the statics get a real brush.
    HWND title = GetDlgItem(page, IDC_CARD_TITLE);
    EXPECT_NE(0, (INT_PTR)SendMessageW(page, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)title));
    EXPECT_EQ(RGB(0x80, 0, 0), GetTextColor(dc));
    ASSERT_GT(sys_->InfoStatics->GetCount(), 0);
    SetTextColor(dc, RGB(1, 2, 3));
    HWND line = (HWND)sys_->InfoStatics->GetItems()[0];
    EXPECT_NE(0, (INT_PTR)SendMessageW(page, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)line));
    EXPECT_EQ(RGB(1, 2, 3), GetTextColor(dc));  // only the title takes the title colour
    ReleaseDC(page, dc);
}

// ---- settings ----

TEST_F(TreeCardTest, SettingsSurviveASaveAndLoad)
{
    sys_ = MakeCard(TREECARD_SYSTEMATIC);
    SelectItem(sys_, BusiestTaxon());
    ClickColumn(sys_, 2);
    ClickColumn(sys_, 2);
    ASSERT_EQ(-2, sys_->GetSortColumn());
    sys_->SetListStyle(CARDLIST_LIST);
    LVCOLUMNW width = {};
    width.mask = LVCF_WIDTH;
    width.cx = 137;
    SendMessageW(sys_->GetChildList(), LVM_SETCOLUMNW, 0, (LPARAM)&width);
    HWND tree = sys_->GetTreeView();
    SetWindowPos(tree, nullptr, 0, 0, 211, 300, SWP_NOMOVE | SWP_NOZORDER);
    sys_->ImageHeight = 123;

    std::wstring file = wintest::MakeTempFolder(L"treecard_settings") + L"\\ws.xml";
    {
        CXmlWriter writer(file.c_str());
        writer.AddComment(L"Zorna Workspace Settings");
        writer.CreateRoot(L"Workspace");
        IXMLDOMElement* element = writer.AddElement(L"SysTab");
        ASSERT_TRUE(element != nullptr);
        sys_->SaveSettings(&writer, element);
        element->Release();
        writer.Save();
    }

    loc_ = new CTreeCard(tab_, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, arrows_,
                         TREECARD_SYSTEMATIC);
    RECT area = {2, 24, 876, 556};
    loc_->Move(&area);
    CXmlReader reader(file.c_str());
    IXMLDOMElement* element = reader.SelectElement(L"SysTab");
    ASSERT_TRUE(element != nullptr);
    loc_->LoadSettings(&reader, element);
    element->Release();
    EXPECT_EQ(sys_->GetCurrentId(), loc_->GetCurrentId());
    EXPECT_EQ(-2, loc_->GetSortColumn());
    EXPECT_EQ(123, loc_->GetImageHeight());
    EXPECT_EQ(CARDLIST_LIST, loc_->GetListStyle());
    LVCOLUMNW col = {};
    col.mask = LVCF_WIDTH;
    SendMessageW(loc_->GetChildList(), LVM_GETCOLUMNW, 0, (LPARAM)&col);
    EXPECT_EQ(137, col.cx);
    RECT r;
    GetWindowRect(loc_->GetTreeView(), &r);
    EXPECT_EQ(211, r.right - r.left);
    RECT lr;
    GetWindowRect(loc_->GetChildList(), &lr);
    EXPECT_EQ(r.right + 4, lr.left);
}

TEST_F(TreeCardTest, MissingSettingsKeepTheDefaults)
{
    std::wstring file = wintest::MakeTempFolder(L"treecard_nosettings") + L"\\ws.xml";
    {
        CXmlWriter writer(file.c_str());
        writer.AddComment(L"Zorna Workspace Settings");
        writer.CreateRoot(L"Workspace");
        IXMLDOMElement* element = writer.AddElement(L"LocTab");
        writer.SetShortAttr(element, L"ListCol1Width", 90);
        element->Release();
        writer.Save();
    }
    loc_ = new CTreeCard(tab_, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, arrows_,
                         TREECARD_LOCALITY);
    RECT before;
    GetWindowRect(loc_->GetTreeView(), &before);
    CXmlReader reader(file.c_str());
    IXMLDOMElement* element = reader.SelectElement(L"LocTab");
    ASSERT_TRUE(element != nullptr);
    loc_->LoadSettings(&reader, element);
    element->Release();
    EXPECT_EQ(-1, loc_->GetCurrentId());
    EXPECT_EQ(0, loc_->GetSortColumn());
    EXPECT_EQ(90, loc_->GetImageHeight());
    EXPECT_EQ(CARDLIST_ICONS, loc_->GetListStyle());
    LVCOLUMNW col = {};
    col.mask = LVCF_WIDTH;
    SendMessageW(loc_->GetChildList(), LVM_GETCOLUMNW, 0, (LPARAM)&col);
    EXPECT_EQ(90, col.cx);
    RECT after;
    GetWindowRect(loc_->GetTreeView(), &after);
    EXPECT_EQ(before.right - before.left, after.right - after.left);
}

}  // namespace
