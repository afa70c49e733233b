// Level caches, lazy tree filling, id paths, sorting, species display names and the report texts
// of item paths, on a hidden tree view filled from a generated sample database.
#include <gtest/gtest.h>
#include "tests/core/sampletemplate.h"

#include <windows.h>
#include <commctrl.h>
#include <limits.h>

#include <cmath>
#include <limits>

#include <map>
#include <string>
#include <vector>

#include "core/database.h"
#include "core/fields.h"
#include "core/itempath.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "core/textutil.h"
#include "core/treefill.h"
#include "tests/support/wintest.h"

using zdata::Recordset;
using zor::RawOdbc;
using Rows = std::vector<std::vector<std::wstring>>;

namespace {

// The tree card's part that matters here: children are filled when an item first expands.
struct TreeHost {
    HWND tree = nullptr;
    HIMAGELIST large = nullptr, small = nullptr;
    CPtrArray* cache = nullptr;
    Recordset* rs = nullptr;
    int expandings = 0;
};
TreeHost* g_host = nullptr;

void FilterChildren(Recordset* rs, int parentId)
{
    wchar_t filter[40];
    _snwprintf(filter, 40, L"PARENT = %d", parentId);
    filter[39] = 0;
    rs->put_Filter(filter);
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NOTIFY && g_host) {
        NMHDR* hdr = (NMHDR*)lParam;
        if (hdr->code == TVN_ITEMEXPANDINGW) {
            NMTREEVIEWW* tv = (NMTREEVIEWW*)lParam;
            TreeItemData* data = (TreeItemData*)tv->itemNew.lParam;
            g_host->expandings++;
            if (data && !data->ChildrenLoaded && (tv->action & TVE_EXPAND)) {
                FilterChildren(g_host->rs, data->Id);
                FillTreeChildren(g_host->tree, tv->itemNew.hItem, data, g_host->large,
                                 g_host->small, g_host->cache, g_host->rs, 4, 5);
            }
            return 0;
        }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::wstring SampleTemplate()
{
    zor::SampleDbOptions options;
    options.records = 300;
    return SharedSampleTemplate(L"treetemplate", options);
}

class TreeFillTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = HostProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"ZorTreeFillHost";
            wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
            RegisterClassW(&wc);
            registered = true;
        }
        host_ = CreateWindowExW(0, L"ZorTreeFillHost", L"Strom", WS_OVERLAPPEDWINDOW, 0, 0, 420,
                                460, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(host_ != nullptr) << GetLastError();
        tree_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES |
                                    TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                                0, 0, 400, 420, host_, nullptr, GetModuleHandleW(nullptr), nullptr);
        list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_ICON, 0, 0, 10, 10, host_,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
        large_ = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 8, 8);
        small_ = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 8, 8);
        folder_ = wintest::MakeTempFolder(L"treefill");
        path_ = folder_ + L"\\ZorBase.mdb";
        std::wstring from = SampleTemplate();
        ASSERT_FALSE(from.empty());
        ASSERT_TRUE(CopyFileW(from.c_str(), path_.c_str(), FALSE));
        db_ = new CDatabase(host_, GetModuleHandleW(nullptr));
        ASSERT_EQ(S_OK, db_->AdoConnection->Open(
                            (L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_ + L";").c_str()));
        ASSERT_TRUE(raw_.Open(path_, false));
        host.tree = tree_;
        host.large = large_;
        host.small = small_;
        host.cache = &cache_;
        g_host = &host;
    }
    void TearDown() override
    {
        g_host = nullptr;
        if (tree_)
            ClearTree(tree_);
        delete db_;
        DestroyWindow(host_);
        ImageList_Destroy(large_);
        ImageList_Destroy(small_);
    }

    Rows Query(const std::wstring& sql)
    {
        Rows rows;
        EXPECT_TRUE(raw_.Query(sql, rows)) << std::string(sql.begin(), sql.end());
        return rows;
    }
    int QueryInt(const std::wstring& sql)
    {
        Rows rows = Query(sql);
        return rows.empty() || rows[0].empty() ? -1 : _wtoi(rows[0][0].c_str());
    }
    void LoadLevels()
    {
        db_->LoadSysLevelDefs(tree_, list_, large_, small_, &cache_);
        host.rs = db_->GetSysTreeRs();
        ASSERT_TRUE(host.rs != nullptr);
    }
    // The top level filled as the tree card does when the database opens.
    void FillTop()
    {
        LoadLevels();
        FilterChildren(host.rs, 0);
        FillTreeChildren(tree_, TVI_ROOT, nullptr, large_, small_, &cache_, host.rs, 4, 5);
    }
    // The item of a row, its ancestors expanded and it selected as the cards go to an item.
    HTREEITEM ShowItem(int id)
    {
        CIntArray path(8, 8);
        BuildIdPath(&path, id, host.rs);
        SelectTreePath(tree_, &path);
        return FindTreeItemById(id, tree_, nullptr);
    }
    std::vector<HTREEITEM> Children(HTREEITEM parent)
    {
        std::vector<HTREEITEM> items;
        for (HTREEITEM c = TreeView_GetChild(tree_, parent); c; c = TreeView_GetNextSibling(tree_, c))
            items.push_back(c);
        return items;
    }
    TVITEMW Item(HTREEITEM item)
    {
        TVITEMW tvi = {};
        tvi.mask = TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_HANDLE;
        tvi.hItem = item;
        EXPECT_TRUE(TreeView_GetItem(tree_, &tvi));
        return tvi;
    }
    std::wstring Text(HTREEITEM item) { return wintest::TreeItemText(tree_, item); }

    TreeHost host;
    HWND host_ = nullptr, tree_ = nullptr, list_ = nullptr;
    HIMAGELIST large_ = nullptr, small_ = nullptr;
    CPtrArray cache_{PTRARRAY_OWNS_ITEMS, 8, 8};
    std::wstring folder_, path_;
    CDatabase* db_ = nullptr;
    RawOdbc raw_;
};

// ---- the level cache ----

TEST_F(TreeFillTest, LevelCacheAndImageListsFollowTheLevelRows)
{
    LoadLevels();
    ASSERT_EQ(6, cache_.GetCount());  // the root level and five levels with icons
    LevelDef* root = (LevelDef*)cache_.GetItems()[0];
    EXPECT_EQ(0, root->LevelId);
    EXPECT_EQ(-1, root->Icon32);
    EXPECT_EQ(-1, root->Icon16);
    EXPECT_EQ(root->Icon16, root->Icon16Selected);
    for (int k = 1; k <= 5; k++) {
        LevelDef* def = (LevelDef*)cache_.GetItems()[k];
        EXPECT_EQ(k, def->LevelId);
        EXPECT_EQ(k - 1, def->Icon32);
        EXPECT_EQ(2 * (k - 1), def->Icon16);
        EXPECT_EQ(2 * (k - 1) + 1, def->Icon16Selected);
        EXPECT_EQ(k >= 4 ? 1 : 0, def->DataLevel);
    }
    EXPECT_STREQ(L"Čeleď", ((LevelDef*)cache_.GetItems()[2])->Name);
    EXPECT_EQ(5, ImageList_GetImageCount(large_));
    EXPECT_EQ(10, ImageList_GetImageCount(small_));
    EXPECT_EQ(small_, TreeView_GetImageList(tree_, TVSIL_NORMAL));
    EXPECT_EQ(large_, ListView_GetImageList(list_, LVSIL_NORMAL));
    EXPECT_EQ(cache_.GetItems()[0], FindLevelDef(&cache_, 0));
    EXPECT_EQ(nullptr, FindLevelDefSkipFirst(&cache_, 0));
    EXPECT_EQ(cache_.GetItems()[3], FindLevelDefSkipFirst(&cache_, 3));
    EXPECT_EQ(nullptr, FindLevelDef(&cache_, 42));

    // Loading again rebuilds rather than appends.
    LoadLevels();
    EXPECT_EQ(6, cache_.GetCount());
    EXPECT_EQ(10, ImageList_GetImageCount(small_));
}

// ---- lazy filling ----

TEST_F(TreeFillTest, TopLevelItemsCarryTheirRowsAndOwnIcons)
{
    FillTop();
    Rows orders = Query(L"SELECT ID, SYSPOS, NAME FROM SYSTREE WHERE PARENT = 0 AND ID > 0 ORDER BY SYSPOS");
    std::vector<HTREEITEM> items = Children(TVI_ROOT);
    ASSERT_EQ(orders.size(), items.size());
    ASSERT_FALSE(items.empty());
    int smallBefore = 10;  // the level icons come first
    for (size_t k = 0; k < items.size(); k++) {
        TVITEMW tvi = Item(items[k]);
        TreeItemData* data = (TreeItemData*)tvi.lParam;
        ASSERT_TRUE(data != nullptr);
        EXPECT_EQ(_wtoi(orders[k][0].c_str()), data->Id);
        EXPECT_EQ(_wtoi(orders[k][1].c_str()), data->Position);
        EXPECT_EQ(orders[k][2], Text(items[k]));
        EXPECT_EQ(1, tvi.cChildren);  // an expand button until the children are known
        EXPECT_EQ(0, data->ChildrenLoaded);
        EXPECT_EQ(0, data->ChildCount);
        ASSERT_TRUE(data->Level.Def != nullptr);
        EXPECT_EQ(1, data->Level.Def->LevelId);
        // Orders have icons of their own, appended after the level icons.
        EXPECT_EQ(5 + (int)k, data->Icon32);
        EXPECT_EQ(smallBefore + 2 * (int)k, data->Icon16);
        EXPECT_EQ(smallBefore + 2 * (int)k + 1, data->Icon16Selected);
        EXPECT_EQ(data->Icon16, tvi.iImage);
        EXPECT_EQ(data->Icon16Selected, tvi.iSelectedImage);
    }
}

TEST_F(TreeFillTest, ExpandingFillsChildrenOnceWithTheLevelsIcons)
{
    FillTop();
    HTREEITEM order = TreeView_GetRoot(tree_);
    TreeItemData* orderData = GetTreeItemData(tree_, order);
    ASSERT_TRUE(orderData != nullptr);
    int expected = QueryInt(L"SELECT COUNT(*) FROM SYSTREE WHERE PARENT = " + std::to_wstring(orderData->Id));
    ASSERT_GT(expected, 0);
    EXPECT_TRUE(Children(order).empty());

    TreeView_Expand(tree_, order, TVE_EXPAND);
    EXPECT_EQ(1, orderData->ChildrenLoaded);
    EXPECT_EQ(expected, orderData->ChildCount);
    std::vector<HTREEITEM> families = Children(order);
    ASSERT_EQ((size_t)expected, families.size());
    LevelDef* family = FindLevelDef(&cache_, 2);
    for (HTREEITEM f : families) {
        TVITEMW tvi = Item(f);
        TreeItemData* data = (TreeItemData*)tvi.lParam;
        EXPECT_EQ(family, data->Level.Def);
        EXPECT_EQ(family->Icon32, data->Icon32);  // no icons of their own: the level's
        EXPECT_EQ(family->Icon16, data->Icon16);
        EXPECT_EQ(family->Icon16Selected, data->Icon16Selected);
        EXPECT_EQ(family->Icon16, tvi.iImage);
    }

    // Collapsing and expanding again inserts nothing more.
    TreeView_Expand(tree_, order, TVE_COLLAPSE);
    TreeView_Expand(tree_, order, TVE_EXPAND);
    EXPECT_EQ((size_t)expected, Children(order).size());
}

TEST_F(TreeFillTest, AnEmptySetMarksTheChildrenLoadedAndRemovesTheButton)
{
    FillTop();
    int leaf = QueryInt(L"SELECT ID FROM SYSTREE T WHERE ID > 0 AND NOT EXISTS "
                        L"(SELECT 1 FROM SYSTREE C WHERE C.PARENT = T.ID) ORDER BY ID LIMIT 1");
    ASSERT_GT(leaf, 0);
    HTREEITEM item = ShowItem(leaf);
    ASSERT_TRUE(item != nullptr);
    // Its parent's fill found no children of its own: it came without a button. Given one (as
    // an item gets when a child is added), the empty fill takes it away again.
    EXPECT_EQ(0, Item(item).cChildren);
    TVITEMW button = {};
    button.mask = TVIF_CHILDREN | TVIF_HANDLE;
    button.hItem = item;
    button.cChildren = 1;
    TreeView_SetItem(tree_, &button);
    TreeItemData* data = GetTreeItemData(tree_, item);
    data->ChildCount = 7;  // whatever was there before
    FilterChildren(host.rs, leaf);
    FillTreeChildren(tree_, item, data, large_, small_, &cache_, host.rs, 4, 5);
    EXPECT_EQ(0, data->ChildCount);
    EXPECT_EQ(1, data->ChildrenLoaded);
    EXPECT_EQ(0, Item(item).cChildren);
    EXPECT_TRUE(Children(item).empty());
}

// Only an item with children of its own shows the button that opens them; the filter of the
// recordset is the children's again afterwards.
TEST_F(TreeFillTest, ChildrenWithoutChildrenOfTheirOwnComeWithoutAButton)
{
    FillTop();
    int parent = QueryInt(L"SELECT P.ID FROM SYSTREE P WHERE P.ID > 0 AND EXISTS (SELECT 1 FROM SYSTREE C "
                          L"WHERE C.PARENT = P.ID AND EXISTS (SELECT 1 FROM SYSTREE G WHERE G.PARENT = C.ID)) "
                          L"AND EXISTS (SELECT 1 FROM SYSTREE C WHERE C.PARENT = P.ID AND NOT EXISTS "
                          L"(SELECT 1 FROM SYSTREE G WHERE G.PARENT = C.ID)) ORDER BY P.ID LIMIT 1");
    ASSERT_GT(parent, 0);
    HTREEITEM item = ShowItem(parent);
    ASSERT_TRUE(item != nullptr);
    TreeView_Expand(tree_, item, TVE_EXPAND);
    std::vector<HTREEITEM> children = Children(item);
    ASSERT_FALSE(children.empty());
    int leaves = 0;
    for (HTREEITEM child : children) {
        int id = GetTreeItemData(tree_, child)->Id;
        int own = QueryInt(L"SELECT COUNT(*) FROM SYSTREE WHERE PARENT = " + std::to_wstring(id));
        EXPECT_EQ(own > 0 ? 1 : 0, Item(child).cChildren) << id;
        leaves += own == 0;
    }
    EXPECT_GT(leaves, 0);
    EXPECT_LT(leaves, (int)children.size());
    long count = -1;
    host.rs->get_RecordCount(&count);
    EXPECT_EQ((long)children.size(), count);
}

TEST_F(TreeFillTest, NothingIsInsertedWhileNoExpandIsSet)
{
    FillTop();
    HTREEITEM order = TreeView_GetRoot(tree_);
    TreeItemData* data = GetTreeItemData(tree_, order);
    SetPropW(tree_, kNoExpandProp, (HANDLE)1);
    TreeView_Expand(tree_, order, TVE_EXPAND);
    EXPECT_GE(host.expandings, 1);
    EXPECT_TRUE(Children(order).empty());
    EXPECT_EQ(0, data->ChildrenLoaded);
    SetPropW(tree_, kNoExpandProp, (HANDLE)0);
    FilterChildren(host.rs, data->Id);
    FillTreeChildren(tree_, order, data, large_, small_, &cache_, host.rs, 4, 5);
    EXPECT_FALSE(Children(order).empty());
}

TEST_F(TreeFillTest, TreesWithoutACacheKeepTheLevelIdAndNoIcons)
{
    LoadLevels();
    FilterChildren(host.rs, 0);
    FillTreeChildren(tree_, TVI_ROOT, nullptr, nullptr, nullptr, nullptr, host.rs, 4, 5);
    HTREEITEM first = TreeView_GetRoot(tree_);
    ASSERT_TRUE(first != nullptr);
    TreeItemData* data = GetTreeItemData(tree_, first);
    EXPECT_EQ(1, (int)data->Level.Id);
    EXPECT_EQ(sizeof(void*), sizeof(data->Level));
    EXPECT_EQ(-1, data->Icon32);
    EXPECT_EQ(-1, data->Icon16);
    EXPECT_EQ(-1, data->Icon16Selected);
}

// ---- id paths, finding and selecting ----

TEST_F(TreeFillTest, IdPathOfAGenusRunsToTheTopThenZero)
{
    LoadLevels();
    Rows genus = Query(L"SELECT G.ID, F.ID, O.ID FROM SYSTREE G JOIN SYSTREE F ON F.ID = G.PARENT "
                       L"JOIN SYSTREE O ON O.ID = F.PARENT WHERE G.SYSLEVEL = 3 ORDER BY G.ID DESC LIMIT 1");
    ASSERT_EQ(1u, genus.size());
    CIntArray path(4, 4);
    BuildIdPath(&path, _wtoi(genus[0][0].c_str()), host.rs);
    ASSERT_EQ(4, path.GetCount());
    EXPECT_EQ(_wtoi(genus[0][0].c_str()), path.GetItems()[0]);
    EXPECT_EQ(_wtoi(genus[0][1].c_str()), path.GetItems()[1]);
    EXPECT_EQ(_wtoi(genus[0][2].c_str()), path.GetItems()[2]);
    EXPECT_EQ(0, path.GetItems()[3]);

    CIntArray missing(4, 4);
    BuildIdPath(&missing, 987654, host.rs);
    ASSERT_EQ(1, missing.GetCount());
    EXPECT_EQ(0, missing.GetItems()[0]);
}

TEST_F(TreeFillTest, SelectingAPathExpandsItsAncestorsAndSelectsTheItem)
{
    FillTop();
    int species = QueryInt(L"SELECT ID FROM SYSTREE WHERE SYSLEVEL = 4 ORDER BY ID DESC LIMIT 1");
    CIntArray path(8, 8);
    BuildIdPath(&path, species, host.rs);
    ASSERT_EQ(5, path.GetCount());
    SelectTreePath(tree_, &path);
    HTREEITEM selected = TreeView_GetSelection(tree_);
    ASSERT_TRUE(selected != nullptr);
    EXPECT_EQ(species, GetTreeItemData(tree_, selected)->Id);
    EXPECT_EQ(Query(L"SELECT NAME FROM SYSTREE WHERE ID = " + std::to_wstring(species))[0][0],
              Text(selected));
    // Each ancestor was filled once through the expansion handler.
    HTREEITEM genus = TreeView_GetParent(tree_, selected);
    EXPECT_EQ(path.GetItems()[1], GetTreeItemData(tree_, genus)->Id);
    EXPECT_EQ(1, GetTreeItemData(tree_, genus)->ChildrenLoaded);

    // Finding from a start item includes the start item itself; outside its subtree finds nothing.
    EXPECT_EQ(genus, FindTreeItemById(path.GetItems()[1], tree_, genus));
    EXPECT_EQ(selected, FindTreeItemById(species, tree_, genus));
    HTREEITEM otherOrder = TreeView_GetNextSibling(tree_, TreeView_GetRoot(tree_));
    if (otherOrder && GetTreeItemData(tree_, otherOrder)->Id != path.GetItems()[3]) {
        EXPECT_EQ(nullptr, FindTreeItemById(species, tree_, otherOrder));
    }
    TreeItemData* found = nullptr;
    EXPECT_EQ(selected, FindTreeChildById(species, tree_, genus, &found));
    EXPECT_EQ(GetTreeItemData(tree_, selected), found);
    EXPECT_EQ(nullptr, FindTreeChildById(987654, tree_, genus, &found));
    EXPECT_EQ(nullptr, found);

    EXPECT_EQ(1, SetTreeItemTextById(tree_, nullptr, species, L"Parus novus"));
    EXPECT_EQ(L"Parus novus", Text(selected));
    EXPECT_EQ(0, SetTreeItemTextById(tree_, nullptr, 987654, L"nic"));
}

TEST_F(TreeFillTest, ClearTreeDeletesEverythingAndLeavesExpansionOn)
{
    FillTop();
    TreeView_Expand(tree_, TreeView_GetRoot(tree_), TVE_EXPAND);
    ASSERT_GT(TreeView_GetCount(tree_), 0u);
    ClearTree(tree_);
    EXPECT_EQ(0u, TreeView_GetCount(tree_));
    EXPECT_EQ(nullptr, GetPropW(tree_, kNoExpandProp));
}

TEST_F(TreeFillTest, DeletingChildrenLeavesTheParentAndFreesTheirData)
{
    FillTop();
    HTREEITEM order = TreeView_GetRoot(tree_);
    TreeView_Expand(tree_, order, TVE_EXPAND);
    HTREEITEM family = TreeView_GetChild(tree_, order);
    TreeView_Expand(tree_, family, TVE_EXPAND);
    ASSERT_FALSE(Children(family).empty());
    DeleteTreeChildren(tree_, order, 0);
    // The items stay; their data is gone.
    EXPECT_FALSE(Children(order).empty());
    EXPECT_EQ(nullptr, GetTreeItemData(tree_, family));
    EXPECT_EQ(nullptr, GetTreeItemData(tree_, TreeView_GetChild(tree_, family)));
    DeleteTreeChildren(tree_, order, 1);
    EXPECT_TRUE(Children(order).empty());
    EXPECT_TRUE(GetTreeItemData(tree_, order) != nullptr);
}

// ---- sorting ----

TEST_F(TreeFillTest, ComparisonSortsByPositionWithoutOverflowAndDataFirst)
{
    TreeItemData a = {}, b = {}, c = {};
    a.Position = 3;
    b.Position = 1;
    c.Position = 2;
    TreeItemData* datas[] = {&a, &b, &c};
    const wchar_t* names[] = {L"tři", L"jedna", L"dvě"};
    for (int k = 0; k < 3; k++) {
        TVINSERTSTRUCTW ins = {};
        ins.hParent = TVI_ROOT;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT | TVIF_PARAM;
        ins.item.pszText = (wchar_t*)names[k];
        ins.item.lParam = (LPARAM)datas[k];
        TreeView_InsertItem(tree_, &ins);
    }
    TVSORTCB sort = {};
    sort.hParent = TVI_ROOT;
    sort.lpfnCompare = CompareTreeItemPos;
    TreeView_SortChildrenCB(tree_, &sort, 0);
    std::vector<HTREEITEM> items = Children(TVI_ROOT);
    ASSERT_EQ(3u, items.size());
    EXPECT_EQ(L"jedna", Text(items[0]));
    EXPECT_EQ(L"dvě", Text(items[1]));
    EXPECT_EQ(L"tři", Text(items[2]));
    TreeView_DeleteAllItems(tree_);  // the data lives on the stack

    a.Position = INT_MAX;
    b.Position = INT_MIN;
    EXPECT_GT(CompareTreeItemPos((LPARAM)&a, (LPARAM)&b, 0), 0);
    EXPECT_LT(CompareTreeItemPos((LPARAM)&b, (LPARAM)&a, 0), 0);
    EXPECT_EQ(0, CompareTreeItemPos((LPARAM)&a, (LPARAM)&a, 0));
    EXPECT_EQ(1, CompareTreeItemPos((LPARAM)&a, 0, 0));
    EXPECT_EQ(-1, CompareTreeItemPos(0, (LPARAM)&a, 0));
    EXPECT_EQ(0, CompareTreeItemPos(0, 0, 0));
}

TEST_F(TreeFillTest, SortingByPositionTakesThePositionsFromTheRecordset)
{
    FillTop();
    HTREEITEM order = TreeView_GetRoot(tree_);
    TreeView_Expand(tree_, order, TVE_EXPAND);
    std::vector<HTREEITEM> families = Children(order);
    ASSERT_GE(families.size(), 2u);
    std::vector<int> ids;
    for (HTREEITEM f : families) {
        TreeItemData* d = GetTreeItemData(tree_, f);
        ids.push_back(d->Id);
        d->Position = -d->Position;  // reversed in memory only
    }
    TVSORTCB sort = {};
    sort.hParent = order;
    sort.lpfnCompare = CompareTreeItemPos;
    TreeView_SortChildrenCB(tree_, &sort, 0);
    EXPECT_EQ(ids.back(), GetTreeItemData(tree_, Children(order)[0])->Id);

    int orderId = GetTreeItemData(tree_, order)->Id;
    FilterChildren(host.rs, orderId);
    SortTreeChildrenByPosition(tree_, host.rs, orderId);
    std::vector<HTREEITEM> sorted = Children(order);
    ASSERT_EQ(ids.size(), sorted.size());
    for (size_t k = 0; k < ids.size(); k++)
        EXPECT_EQ(ids[k], GetTreeItemData(tree_, sorted[k])->Id);
}

// ---- children shown in a list ----

TEST_F(TreeFillTest, ChildrenToListBorrowTheDataWithTheViewsIcons)
{
    FillTop();
    HTREEITEM order = TreeView_GetRoot(tree_);
    TreeView_Expand(tree_, order, TVE_EXPAND);
    std::vector<HTREEITEM> families = Children(order);
    TreeChildrenToList(tree_, list_, order);
    ASSERT_EQ((int)families.size(), ListView_GetItemCount(list_));
    LVITEMW lvi = {};
    lvi.mask = LVIF_IMAGE | LVIF_PARAM;
    lvi.iItem = 0;
    ASSERT_TRUE(ListView_GetItem(list_, &lvi));
    TreeItemData* data = GetTreeItemData(tree_, families[0]);
    EXPECT_EQ((LPARAM)data, lvi.lParam);
    EXPECT_EQ(data->Icon32, lvi.iImage);  // icon view

    SetWindowLongW(list_, GWL_STYLE, (GetWindowLongW(list_, GWL_STYLE) & ~LVS_TYPEMASK) | LVS_REPORT);
    TreeChildrenToList(tree_, list_, order);
    ASSERT_TRUE(ListView_GetItem(list_, &lvi));
    EXPECT_EQ(data->Icon16, lvi.iImage);
    EXPECT_EQ((int)families.size(), ListView_GetItemCount(list_));
}

// ---- species display names ----

class TaxonNameTest : public TreeFillTest {
protected:
    std::wstring Name(const wchar_t* name, const wchar_t* author, const wchar_t* parentheses,
                      const wchar_t* year, bool* isNull = nullptr)
    {
        std::wstring sql = std::wstring(L"SELECT ") + name + L" AS NAME, 1 AS SYSID, 0 AS ABSOLUTEPOS, " +
                           author + L" AS AUTHOR, " + parentheses + L" AS PARENTHES, " + year + L" AS IYEAR";
        Recordset* rs = db_->OpenQuery(sql.c_str(), adUseClient, adOpenKeyset, adLockReadOnly);
        zdata::Fields* fields = nullptr;
        EXPECT_EQ(S_OK, rs->get_Fields(&fields));
        rs->MoveFirst();
        wchar_t* text = FormatTaxonName(fields);
        if (isNull)
            *isNull = text == nullptr;
        std::wstring result = text ? text : L"";
        free(text);
        fields->Release();
        CDatabase::CloseRecordset(rs);
        return result;
    }
};

TEST_F(TaxonNameTest, FourFormsAndNull)
{
    EXPECT_EQ(L"Parus major Linnaeus, 1758", Name(L"'Parus major'", L"'Linnaeus'", L"0", L"1758"));
    EXPECT_EQ(L"Parus major (Linnaeus, 1758)", Name(L"'Parus major'", L"'Linnaeus'", L"1", L"1758"));
    EXPECT_EQ(L"Parus major (Linnaeus)", Name(L"'Parus major'", L"'Linnaeus'", L"-1", L"NULL"));
    EXPECT_EQ(L"Parus major Linnaeus", Name(L"'Parus major'", L"'Linnaeus'", L"0", L"0"));
    EXPECT_EQ(L"Parus major Linnaeus", Name(L"'Parus major'", L"'Linnaeus'", L"0", L"9999"));
    EXPECT_EQ(L"Parus major Linnaeus", Name(L"'Parus major'", L"'Linnaeus'", L"NULL", L"1000"));
    EXPECT_EQ(L"Parus major Linnaeus, 1001", Name(L"'Parus major'", L"'Linnaeus'", L"0", L"1001"));
    EXPECT_EQ(L"Parus major Linnaeus, 9998", Name(L"'Parus major'", L"'Linnaeus'", L"0", L"9998"));
    bool isNull = false;
    Name(L"NULL", L"NULL", L"1", L"1758", &isNull);
    EXPECT_TRUE(isNull);
    Name(L"''", L"''", L"0", L"0", &isNull);
    EXPECT_TRUE(isNull);
    Name(L"''", L"'Linnaeus'", L"0", L"0", &isNull);
    EXPECT_FALSE(isNull);
}

// ---- item paths for the report ----

std::string Ansi(const std::wstring& text)
{
    char buffer[1024];
    WideToAnsi(text.c_str(), buffer, 1024);
    return buffer;
}

TEST_F(TreeFillTest, SysItemPathOfTheDeepestLevelNamesEveryAncestorBelowTheRoot)
{
    Rows rows = Query(L"SELECT S.SYSID, S.NAME, O.NAME, F.NAME, G.NAME, P.NAME FROM SPECIES S "
                      L"JOIN SYSTREE T ON T.ID = S.SYSID JOIN SYSTREE P ON P.ID = T.PARENT "
                      L"JOIN SYSTREE G ON G.ID = P.PARENT JOIN SYSTREE F ON F.ID = G.PARENT "
                      L"JOIN SYSTREE O ON O.ID = F.PARENT WHERE T.SYSLEVEL = 5 ORDER BY S.SYSID LIMIT 1");
    ASSERT_EQ(1u, rows.size());
    const auto& r = rows[0];
    std::string expected = Ansi(r[1] + L" (" + r[2] + L" / " + r[3] + L" / " + r[4] + L" / " + r[5] + L")");
    char buffer[300];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ((int)expected.size(), db_->GetSysItemPath(_wtoi(r[0].c_str()), buffer, 280));
    EXPECT_EQ(expected, std::string(buffer));
    for (int k = 280; k < 300; k++)
        EXPECT_EQ('#', buffer[k]);

    // Exactly sized: all of it. One byte less: cut, closed, and nothing written past the end.
    int exact = (int)expected.size() + 1;
    memset(buffer, '#', sizeof buffer);
    db_->GetSysItemPath(_wtoi(r[0].c_str()), buffer, exact);
    EXPECT_EQ(expected, std::string(buffer));
    EXPECT_EQ('#', buffer[exact]);
    for (int size : {exact - 1, (int)Ansi(r[1]).size() + 4, 12, 3, 1}) {
        memset(buffer, '#', sizeof buffer);
        int written = db_->GetSysItemPath(_wtoi(r[0].c_str()), buffer, size);
        EXPECT_LT(written, size);
        EXPECT_EQ(written, (int)strlen(buffer));
        for (int k = size; k < 300; k++)
            ASSERT_EQ('#', buffer[k]) << "size " << size << " byte " << k;
        if (written > 0) {
            EXPECT_EQ(0, strncmp(buffer, expected.c_str(), size >= 4 ? 3 : written));
        }
    }
    memset(buffer, '#', sizeof buffer);
    db_->GetSysItemPath(_wtoi(r[0].c_str()), buffer, (int)Ansi(r[1]).size() + 4);
    EXPECT_EQ(Ansi(r[1]) + " ()", std::string(buffer));
}

TEST_F(TreeFillTest, LocItemPathsUseTheLevelByIdAndReportEachAbbreviationOnce)
{
    Rows rows = Query(L"SELECT L.ID, L.NAME, D.NAME, D.ABBREV, R.NAME, R.ABBREV, R.ID FROM LOCTREE L "
                      L"JOIN LOCTREE D ON D.ID = L.PARENT JOIN LOCTREE R ON R.ID = D.PARENT "
                      L"WHERE L.LOCLEVEL = 3 AND R.ABBREV IS NOT NULL ORDER BY L.ID LIMIT 1");
    ASSERT_EQ(1u, rows.size());
    const auto& r = rows[0];
    int id = _wtoi(r[0].c_str());

    // Level ids that are not their positions: position 1 holds the district level.
    CPtrArray levels(PTRARRAY_OWNS_ITEMS, 4, 4);
    const int ids[] = {0, 2, 1, 3};
    const wchar_t* names[] = {L"Kořen", L"Okres", L"Kraj", L"Lokalita"};
    for (int k = 0; k < 4; k++) {
        LevelDef* def = (LevelDef*)calloc(1, sizeof(LevelDef));
        def->LevelId = ids[k];
        wcscpy(def->Name, names[k]);
        levels.Add(def);
    }
    struct Collected {
        std::vector<std::wstring> asked;
        std::vector<std::pair<std::wstring, std::wstring>> pairs;
    } collected;
    LocPathAbbrevs abbrevs = {};
    abbrevs.Context = &collected;
    abbrevs.UsesAbbrev = [](void* context, const wchar_t* level) {
        ((Collected*)context)->asked.push_back(level);
        return wcscmp(level, L"Kraj") == 0;
    };
    abbrevs.Add = [](void* context, const VARIANT* name, const VARIANT* abbrev) {
        Collected* c = (Collected*)context;
        std::pair<std::wstring, std::wstring> pair(name->bstrVal, abbrev->bstrVal);
        for (const auto& p : c->pairs)
            if (p == pair)
                return;
        c->pairs.push_back(pair);
    };

    char buffer[300];
    memset(buffer, '#', sizeof buffer);
    std::string expected = Ansi(r[1] + L" (" + r[5] + L" / " + r[2] + L")");
    EXPECT_EQ((int)expected.size(), db_->GetLocItemPath(id, buffer, 200, &levels, &abbrevs));
    EXPECT_EQ(expected, std::string(buffer));
    EXPECT_EQ('#', buffer[200]);
    ASSERT_EQ(1u, collected.pairs.size());
    EXPECT_EQ(r[4], collected.pairs[0].first);
    EXPECT_EQ(r[5], collected.pairs[0].second);
    EXPECT_EQ((std::vector<std::wstring>{L"Okres", L"Kraj"}), collected.asked);

    // Again: the same text, the pair is not listed twice.
    db_->GetLocItemPath(id, buffer, 200, &levels, &abbrevs);
    EXPECT_EQ(expected, std::string(buffer));
    EXPECT_EQ(1u, collected.pairs.size());

    // Without abbreviations the names; a region directly under the root gets empty parentheses.
    db_->GetLocItemPath(id, buffer, 200, &levels, nullptr);
    EXPECT_EQ(Ansi(r[1] + L" (" + r[4] + L" / " + r[2] + L")"), std::string(buffer));
    db_->GetLocItemPath(_wtoi(r[6].c_str()), buffer, 200, &levels, &abbrevs);
    EXPECT_EQ(Ansi(r[4]) + " ()", std::string(buffer));

    // A small buffer: cut and closed within it.
    memset(buffer, '#', sizeof buffer);
    int size = (int)Ansi(r[1]).size() + 6;
    int written = db_->GetLocItemPath(id, buffer, size, &levels, nullptr);
    EXPECT_EQ(size - 1, written);
    EXPECT_EQ(')', buffer[written - 1]);
    EXPECT_EQ('#', buffer[size]);
    // An id that is not in the tree has neither name nor path.
    db_->GetLocItemPath(987654, buffer, 200, &levels, nullptr);
    EXPECT_EQ(std::string(" ()"), std::string(buffer));
}

// ---- record-list services ----

class RecordListTest : public TreeFillTest {
protected:
    // Four records of located features, with literature ids NULL, -1, 0 and 5, listed as the
    // taxon list (0) or the search list (1) lists them: the record columns, then the feature's.
    void OpenList(CachedRecordset kind)
    {
        Rows ids = Query(L"SELECT T1.ID FROM ZORNACOLLS T1 JOIN FEATURES F ON F.LOCID = T1.FTRID "
                         L"WHERE F.LONGITUDE IS NOT NULL ORDER BY T1.ID LIMIT 4");
        ASSERT_EQ(4u, ids.size());
        const wchar_t* literature[] = {L"NULL", L"-1", L"0", L"5"};
        for (int k = 0; k < 4; k++) {
            ids_.push_back(_wtoi(ids[k][0].c_str()));
            ASSERT_TRUE(raw_.Exec(std::wstring(L"UPDATE ZORNACOLLS SET LITID = ") + literature[k] +
                                  L" WHERE ID = " + ids[k][0]));
        }
        in_ = L"(" + ids[0][0] + L"," + ids[1][0] + L"," + ids[2][0] + L"," + ids[3][0] + L")";
        std::wstring sql = L"SELECT T1.ID, T1.SYSID, T1.FTRID, T1.LITID, F.* FROM ZORNACOLLS T1 JOIN "
                           L"FEATURES F ON F.LOCID = T1.FTRID WHERE T1.ID IN " + in_ + L" ORDER BY T1.ID";
        ASSERT_EQ(S_OK, db_->ReopenListRecordset(kind, sql.c_str()));
        db_->FirstFeatureColumn = 4;
        expected_ = Query(L"SELECT T1.ID, T1.SYSID, T1.FTRID, F.LONGITUDE, F.LATITUDE FROM ZORNACOLLS T1 "
                          L"JOIN FEATURES F ON F.LOCID = T1.FTRID WHERE T1.ID IN " + in_ + L" ORDER BY T1.ID");
        ASSERT_EQ(4u, expected_.size());
    }
    std::vector<int> ids_;
    std::wstring in_;
    Rows expected_;
};

TEST_F(RecordListTest, CoordinatesOfRecordsWithoutOrWithAPublication)
{
    OpenList(RS_TAXON_RECORDS);
    double* points[2] = {nullptr, nullptr};
    ASSERT_EQ(3, db_->GetRecordCoordinates(0, 0, points));  // NULL, -1 and 0
    for (int k = 0; k < 3; k++) {
        EXPECT_NEAR(_wtof(expected_[k][3].c_str()), points[0][k], 1e-9);
        EXPECT_NEAR(_wtof(expected_[k][4].c_str()), points[1][k], 1e-9);
    }
    free(points[0]);
    free(points[1]);
    ASSERT_EQ(1, db_->GetRecordCoordinates(0, 1, points));  // literature 5
    EXPECT_NEAR(_wtof(expected_[3][3].c_str()), points[0][0], 1e-9);
    EXPECT_NEAR(_wtof(expected_[3][4].c_str()), points[1][0], 1e-9);
    free(points[0]);
    free(points[1]);

    // The search list is not open; other list numbers give nothing.
    EXPECT_EQ(0, db_->GetRecordCoordinates(1, 0, points));
    EXPECT_EQ(nullptr, points[0]);
    EXPECT_EQ(0, db_->GetRecordCoordinates(2, 0, points));

    // The filter narrows what is counted and walked; null clears it.
    db_->SetRecordListFilter(0, (L"ID = " + std::to_wstring(ids_[1])).c_str());
    ASSERT_EQ(1, db_->GetRecordCoordinates(0, 0, points));
    EXPECT_NEAR(_wtof(expected_[1][3].c_str()), points[0][0], 1e-9);
    free(points[0]);
    free(points[1]);
    db_->SetRecordListFilter(0, nullptr);
    ASSERT_EQ(3, db_->GetRecordCoordinates(0, 0, points));
    free(points[0]);
    free(points[1]);
    db_->SetRecordListFilter(1, L"ID = 1");  // not open: left alone, no crash
}

// A list longer than the data layer keeps in memory, where the database itself leaves out the
// rows of the other kind: the records (publication NULL, -1, 0 or a real one) are copied until
// the list holds thousands, and each kind's points are those of its records, in list order.
TEST_F(RecordListTest, ALongListGivesThePointsOfItsRecordsWithAndWithoutAPublication)
{
    ASSERT_TRUE(raw_.Exec(L"WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 15) "
                          L"INSERT INTO ZORNACOLLS (SYSID, FTRID) SELECT SYSID, FTRID FROM ZORNACOLLS, n"));
    const int publication = QueryInt(L"SELECT MIN(ID) FROM LITERATURE");
    ASSERT_GE(publication, 1);
    ASSERT_TRUE(raw_.Exec(L"UPDATE ZORNACOLLS SET LITID = CASE ID % 4 WHEN 0 THEN NULL WHEN 1 THEN -1 "
                          L"WHEN 2 THEN 0 ELSE " + std::to_wstring(publication) + L" END"));
    const std::wstring from = L"FROM ZORNACOLLS T1 JOIN FEATURES F ON F.LOCID = T1.FTRID ORDER BY T1.ID";
    ASSERT_EQ(S_OK, db_->ReopenListRecordset(RS_TAXON_RECORDS,
                                             (L"SELECT T1.ID, T1.SYSID, T1.FTRID, T1.LITID, F.* " + from).c_str()));
    db_->FirstFeatureColumn = 4;
    Rows records = Query(L"SELECT T1.LITID, F.LONGITUDE, F.LATITUDE " + from);
    ASSERT_GT(records.size(), 4000u);
    auto number = [](const std::wstring& text) {
        return text == L"<NULL>" ? std::numeric_limits<double>::quiet_NaN() : _wtof(text.c_str());
    };
    for (int sourced : {0, 1}) {
        std::vector<std::pair<double, double>> expected;
        for (const auto& r : records) {
            const double literature = number(r[0]);
            if ((literature >= 1) == (sourced == 1))
                expected.push_back({number(r[1]), number(r[2])});
        }
        ASSERT_GT(expected.size(), 1000u);
        double* points[2] = {nullptr, nullptr};
        const int count = db_->GetRecordCoordinates(0, sourced, points);
        ASSERT_EQ((int)expected.size(), count) << "with publication " << sourced;
        int differing = 0;
        for (int k = 0; k < count; k++) {
            const auto& e = expected[(size_t)k];
            const bool same = (std::isnan(e.first) ? std::isnan(points[0][k]) : std::fabs(e.first - points[0][k]) < 1e-9) &&
                              (std::isnan(e.second) ? std::isnan(points[1][k]) : std::fabs(e.second - points[1][k]) < 1e-9);
            differing += same ? 0 : 1;
        }
        EXPECT_EQ(0, differing) << "with publication " << sourced;
        free(points[0]);
        free(points[1]);
    }
}

TEST_F(RecordListTest, SearchListIsListOneAndGivesItemIdsOfItsRecords)
{
    OpenList(RS_SEARCH_RECORDS);
    double* points[2] = {nullptr, nullptr};
    ASSERT_EQ(1, db_->GetRecordCoordinates(1, 1, points));
    free(points[0]);
    free(points[1]);

    // Item ids: from the current row on, then once more from the first.
    Recordset* rs = db_->GetListRecordset(2);
    rs->MoveLast();
    EXPECT_EQ(_wtoi(expected_[0][1].c_str()), db_->GetRecordItemId(2, 0, ids_[0]));
    EXPECT_EQ(_wtoi(expected_[3][2].c_str()), db_->GetRecordItemId(2, 1, ids_[3]));
    EXPECT_EQ(_wtoi(expected_[2][2].c_str()), db_->GetRecordItemId(2, 7, ids_[2]));
    EXPECT_EQ(-1, db_->GetRecordItemId(2, 0, 987654));
    EXPECT_EQ(-1, db_->GetRecordItemId(0, 0, ids_[0]));  // the taxon list is not open
    EXPECT_EQ(-1, db_->GetRecordItemId(3, 0, ids_[0]));
}

// ---- fields with value lists ----

TEST_F(TreeFillTest, LookupFieldsAreTheSpeciesAuthorAndLookupAttributes)
{
    for (int mode = 0; mode <= 1; mode++) {
        EXPECT_TRUE(db_->IsLookupAttribute(mode, L"SPECIES", L"AUTHOR")) << mode;
        EXPECT_TRUE(db_->IsLookupAttribute(mode, L"SPECIES", L"OCHRANA")) << mode;   // type 5
        EXPECT_FALSE(db_->IsLookupAttribute(mode, L"SPECIES", L"CESKYNAZEV")) << mode;  // text
        EXPECT_FALSE(db_->IsLookupAttribute(mode, L"SPECIES", L"NEEXISTUJE")) << mode;
        EXPECT_FALSE(db_->IsLookupAttribute(mode, L"species", L"author")) << mode;  // exact names
        EXPECT_FALSE(db_->IsLookupAttribute(mode, L"SPECIES", L"X' OR '1'='1")) << mode;
    }
    // The geographic lookup type only in mode 1.
    EXPECT_FALSE(db_->IsLookupAttribute(0, L"FEATURES", L"CHRUZEMI"));
    EXPECT_TRUE(db_->IsLookupAttribute(1, L"FEATURES", L"CHRUZEMI"));
    EXPECT_TRUE(db_->IsLookupAttribute(0, L"FEATURES", L"BIOTOP"));
}

TEST_F(TreeFillTest, LookupFieldsOfListEntriesAreDatabaseFieldsOnly)
{
    CFieldInfo author(L"AUTHOR", L"SPECIES");
    CDispField authorEntry(&author);
    CFieldInfo region(L"CHRUZEMI", L"FEATURES");
    CDispField regionEntry(&region);
    CCustFld composed(L"AUTHOR");
    CDispField composedEntry(&composed);
    for (int mode = 0; mode <= 1; mode++) {
        EXPECT_TRUE(db_->IsLookupField(mode, &authorEntry)) << mode;
        EXPECT_EQ(mode == 1, db_->IsLookupField(mode, &regionEntry)) << mode;
        EXPECT_FALSE(db_->IsLookupField(mode, &composedEntry)) << mode;  // composed: no value list
        EXPECT_FALSE(db_->IsLookupField(mode, nullptr)) << mode;
    }
}

TEST_F(TreeFillTest, SiblingsSortedByNameFollowTheCzechAlphabet)
{
    const wchar_t* labels[] = { L"Úsobí", L"Chrudim", L"Řeporyje", L"Hradec", L"Čistá", L"Radotín", L"Cvikov" };
    TreeItemData data[7] = {};
    HTREEITEM parent = nullptr;
    for (int level = 0; level < 2; level++) {
        for (int i = 0; i < 7; i++) {
            TVINSERTSTRUCTW ins = {};
            ins.hParent = level == 0 ? TVI_ROOT : parent;
            ins.hInsertAfter = TVI_LAST;
            ins.item.mask = TVIF_TEXT | TVIF_PARAM;
            ins.item.pszText = (LPWSTR)labels[i];
            ins.item.lParam = level == 0 ? (LPARAM)&data[i] : 0;
            HTREEITEM item = (HTREEITEM)SendMessageW(tree_, TVM_INSERTITEMW, 0, (LPARAM)&ins);
            if (level == 0 && i == 0)
                parent = item;
        }
    }
    // Under the root every item has data; under the parent none has, so nothing moves there.
    SortTreeChildrenByName(tree_, nullptr);
    SortTreeChildrenByName(tree_, parent);
    auto labelsBelow = [this](HTREEITEM below) {
        std::vector<std::wstring> order;
        for (HTREEITEM item = (HTREEITEM)SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)below); item;
             item = (HTREEITEM)SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item))
            order.push_back(wintest::TreeItemText(tree_, item));
        return order;
    };
    EXPECT_EQ((std::vector<std::wstring>{ L"Cvikov", L"Čistá", L"Hradec", L"Chrudim", L"Radotín", L"Řeporyje",
                                          L"Úsobí" }),
              labelsBelow(TVI_ROOT));
    EXPECT_EQ(std::vector<std::wstring>(labels, labels + 7), labelsBelow(parent));
    SendMessageW(tree_, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
}

// ---- how a filled tree looks ----

TEST_F(TreeFillTest, ScreenshotOfAFilledTreeWithIcons)
{
    FillTop();
    int species = QueryInt(L"SELECT ID FROM SYSTREE WHERE SYSLEVEL = 5 ORDER BY ID LIMIT 1");
    CIntArray path(8, 8);
    BuildIdPath(&path, species, host.rs);
    SelectTreePath(tree_, &path);
    ShowWindow(host_, SW_SHOWNOACTIVATE);
    UpdateWindow(host_);
    wintest::PumpMessages(200);
    std::wstring shot = wintest::SaveScreenshot(host_, L"treefill_systree");
    EXPECT_FALSE(shot.empty());
    ShowWindow(host_, SW_HIDE);
}

}  // namespace
