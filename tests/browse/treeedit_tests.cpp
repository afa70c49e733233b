// Tree card editing on the program's own main form: the context menu and the item commands,
// deletes with their questions, renaming in place, and every drag with real mouse input (the
// tree and the lists raise their begin notices themselves). The file is checked with SQL.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "browse/sysitemdlg.h"
#include "common/popupmenu.h"
#include "resources/zorna/resource.h"
#include "tests/browse/formhost.h"

using namespace formtest;
using Strings = std::vector<std::wstring>;

namespace {

// ---- the context menu seam ----

struct MenuSeen
{
    int Calls = 0;
    UINT DeleteState = 0;
    UINT PropertiesState = 0;
    int Answer = 0;
    bool Real = false;  // show the real menu (for its screenshot), then close it
};
MenuSeen g_menu;

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    wintest::SaveScreenshot(GetDesktopWindow(), L"treeedit_context_menu");
    EndMenu();
}

int RecordMenu(HMENU popup, UINT flags, int x, int y, HWND owner)
{
    g_menu.Calls++;
    g_menu.DeleteState = GetMenuState(popup, IDM_DELETEITEM, MF_BYCOMMAND) & MF_GRAYED;
    g_menu.PropertiesState = GetMenuState(popup, IDM_ITEMPROPERTIES, MF_BYCOMMAND) & MF_GRAYED;
    if (g_menu.Real) {
        SetTimer(nullptr, 0, 300, CloseMenu);
        TrackPopupMenu(popup, flags, x, y, 0, owner, nullptr);
    }
    return g_menu.Answer;
}

class TreeEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string n = std::string("treeedit_") + info->name();
        ASSERT_TRUE(host_.Open(std::wstring(n.begin(), n.end()).c_str()));
        previousMenu_ = SetPopupMenuChooser(RecordMenu);
        g_menu = MenuSeen();
    }
    void TearDown() override
    {
        SetPopupMenuChooser(previousMenu_);
        host_.Close();
    }

    CTreeCard* Sys() { return host_.Card(TAB_SYSTEM); }
    HWND Tree() { return Sys()->GetTreeView(); }
    // Expands an item and its ancestors, so that its children can be seen.
    void Expand(int id)
    {
        HTREEITEM item = host_.Item(TAB_SYSTEM, id);
        SendMessageW(Tree(), TVM_ENSUREVISIBLE, 0, (LPARAM)item);
        SendMessageW(Tree(), TVM_EXPAND, TVE_EXPAND, (LPARAM)item);
        wintest::PumpMessages(20);
    }
    std::wstring Parent(int id) { return host_.Text(L"SELECT PARENT FROM SYSTREE WHERE ID = " + std::to_wstring(id)); }
    Strings Children(int id)
    {
        return host_.Column(L"SELECT ID FROM SYSTREE WHERE PARENT = " + std::to_wstring(id) + L" ORDER BY SYSPOS");
    }
    int ChildItems(HTREEITEM item)
    {
        int n = 0;
        for (HTREEITEM c = (HTREEITEM)SendMessageW(Tree(), TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)item); c;
             c = (HTREEITEM)SendMessageW(Tree(), TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)c))
            ++n;
        return n;
    }
    void Command(int id, WORD code = 0, LPARAM lParam = 0)
    {
        SendMessageW(host_.Wnd, WM_COMMAND, MAKEWPARAM(id, code), lParam);
        wintest::PumpMessages(20);
    }
    void RightClick(POINT at)
    {
        SendMouse(at, 0);
        SendMouse(at, MOUSEEVENTF_RIGHTDOWN);
        SendMouse(at, MOUSEEVENTF_RIGHTUP);
        wintest::PumpMessages(80);
    }
    // Selects rows of a list (the others not).
    void SelectRows(HWND list, const std::vector<int>& rows)
    {
        LVITEMW none = {};
        none.stateMask = LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&none);
        for (int row : rows) {
            LVITEMW sel = {};
            sel.stateMask = sel.state = LVIS_SELECTED | (row == rows[0] ? LVIS_FOCUSED : 0);
            SendMessageW(list, LVM_SETITEMSTATE, row, (LPARAM)&sel);
        }
    }
    int RowOfId(HWND list, int id)
    {
        int n = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
        for (int row = 0; row < n; ++row) {
            LVITEMW lvi = {};
            lvi.mask = LVIF_PARAM;
            lvi.iItem = row;
            SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&lvi);
            if (lvi.lParam && ((TreeItemData*)lvi.lParam)->Id == id)
                return row;
        }
        return -1;
    }

    FormHost host_;
    PopupMenuFn previousMenu_ = nullptr;
};

// ---- the context menu and the item commands ----

TEST_F(TreeEditTest, TheContextMenuOffersTheCommandsOfTheItemUnderTheMouse)
{
    HTREEITEM family = host_.Select(TAB_SYSTEM, 9002);
    ASSERT_TRUE(family != nullptr);
    Expand(9002);
    struct Case
    {
        POINT at;
        UINT grayed;
    } cases[] = {
        {LabelPoint(Tree(), family), 0},
        {LabelPoint(Tree(), host_.Item(TAB_SYSTEM, 0)), MF_GRAYED},  // the root
        {ScreenPoint(Tree(), POINT{5, 400}), MF_GRAYED},             // below the items
    };
    for (const Case& c : cases) {
        g_menu.Calls = 0;
        RightClick(c.at);
        ASSERT_EQ(1, g_menu.Calls);
        EXPECT_EQ(c.grayed, g_menu.DeleteState);
        EXPECT_EQ(c.grayed, g_menu.PropertiesState);
    }
    EXPECT_EQ(0, CountSent(WM_COMMAND));  // nothing chosen, nothing sent

    // The real menu, for its picture.
    g_menu.Real = true;
    RightClick(LabelPoint(Tree(), family));
    g_menu.Real = false;

    // Properties of the item under the mouse: its dialog opens on it.
    g_menu.Answer = IDM_ITEMPROPERTIES;
    std::wstring caption, name;
    {
        OnDialog on(host_.Wnd, [&](HWND dlg) {
            caption = wintest::WindowText(dlg);
            auto* d = reinterpret_cast<CEditSysItemDlg*>(GetWindowLongPtrW(dlg, DWLP_USER));
            name = wintest::WindowText(GetDlgItem(d->AttrPage, IDC_ATTR_NAME));
            EndDialog(dlg, 0);
        });
        RightClick(LabelPoint(Tree(), host_.Item(TAB_SYSTEM, 9011)));
        EXPECT_TRUE(on.Ran());
    }
    EXPECT_EQ(L"Editace systémové položky", caption);
    EXPECT_EQ(L"Čmelák", name);
    ASSERT_EQ(1, CountSent(WM_COMMAND));
    EXPECT_EQ(MAKEWPARAM(IDM_ITEMPROPERTIES, 2), FirstSent(WM_COMMAND)->WParam);
    EXPECT_EQ((LPARAM)host_.Item(TAB_SYSTEM, 9011), FirstSent(WM_COMMAND)->LParam);

    // Delete asks about the item under the mouse.
    {
        wintest::MsgBoxRecorder boxes({IDCANCEL});
        g_menu.Answer = IDM_DELETEITEM;
        RightClick(LabelPoint(Tree(), host_.Item(TAB_SYSTEM, 9004)));
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(L"Opravdu chcete smazat položku „Gamidae“?", boxes.Boxes()[0].text);
        EXPECT_EQ(L"Potvrzení", boxes.Boxes()[0].caption);
        EXPECT_EQ((UINT)(MB_OKCANCEL | MB_ICONQUESTION), boxes.Boxes()[0].type);
    }
    EXPECT_EQ(L"9001", Parent(9004));

    // A new item under the item under the mouse, whose children were never shown: stored, and
    // the item gets its expand button; expanding it shows the new child.
    g_menu.Answer = IDM_NEWITEM;
    HTREEITEM gamidae = host_.Item(TAB_SYSTEM, 9004);
    {
        OnDialog on(host_.Wnd, [&](HWND dlg) {
            caption = wintest::WindowText(dlg);
            auto* d = reinterpret_cast<CEditSysItemDlg*>(GetWindowLongPtrW(dlg, DWLP_USER));
            SetDlgItemTextW(d->AttrPage, IDC_ATTR_NAME, L"Nováček");
            SendMessageW(dlg, WM_COMMAND, IDOK, 0);
        });
        RightClick(LabelPoint(Tree(), gamidae));
    }
    EXPECT_EQ(L"Nová položka systému", caption);
    EXPECT_EQ(L"3", host_.Text(L"SELECT SYSLEVEL FROM SYSTREE WHERE PARENT = 9004 AND NAME = 'Nováček'"));
    EXPECT_EQ(0, ChildItems(gamidae));
    Expand(9004);
    ASSERT_EQ(1, ChildItems(gamidae));
}

TEST_F(TreeEditTest, NewItemsGoLastUnderTaxaAndInTextOrderUnderLocalities)
{
    host_.Select(TAB_SYSTEM, 9010);  // its species are shown in the tree and the list
    auto newItem = [&](const wchar_t* name) {
        OnDialog on(host_.Wnd, [&](HWND dlg) {
            auto* d = reinterpret_cast<CEditSysItemDlg*>(GetWindowLongPtrW(dlg, DWLP_USER));
            SetDlgItemTextW(d->AttrPage, IDC_ATTR_NAME, name);
            SendMessageW(dlg, WM_COMMAND, IDOK, 0);
        });
        Command(IDM_NEWITEM);  // from the menu bar: under the selected item
        return on.Ran();
    };
    ASSERT_TRUE(newItem(L"aaa"));
    HTREEITEM genus = host_.Item(TAB_SYSTEM, 9010);
    HTREEITEM last = (HTREEITEM)SendMessageW(Tree(), TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)genus);
    for (HTREEITEM c = last; c; c = (HTREEITEM)SendMessageW(Tree(), TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)c))
        last = c;
    EXPECT_EQ(L"aaa", wintest::TreeItemText(Tree(), last));
    EXPECT_EQ(5, (int)SendMessageW(Sys()->GetChildList(), LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(L"D'Orbignya aaa", host_.Text(L"SELECT S.NAME FROM SPECIES S JOIN SYSTREE T ON T.ID = S.SYSID WHERE T.NAME = 'aaa'"));
    EXPECT_EQ(L"5", host_.Text(L"SELECT SYSPOS FROM SYSTREE WHERE NAME = 'aaa'"));

    host_.ShowTab(TAB_LOCALITIES);
    HWND tree = host_.Card(TAB_LOCALITIES)->GetTreeView();
    HTREEITEM region = host_.Select(TAB_LOCALITIES, 8001);
    ASSERT_TRUE(newItem(L"Brno-venkov"));
    Strings names;
    for (HTREEITEM c = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)region); c;
         c = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)c))
        names.push_back(wintest::TreeItemText(tree, c));
    EXPECT_EQ((Strings{L"Brno-venkov", L"Okres O'Hara", L"Žďár"}), names);
    EXPECT_EQ(L"2", host_.Text(L"SELECT LOCLEVEL FROM LOCTREE WHERE PARENT = 8001 AND NAME = 'Brno-venkov'"));
}

TEST_F(TreeEditTest, DeleteAsksByCountAndNeverTouchesTheRoot)
{
    // A parent with at least seven children in the list that could go: without children, and
    // their records taken away (what cannot go is refused before the question).
    const std::wstring leaves = L"FROM SYSTREE T WHERE ID > 0 AND NOT EXISTS (SELECT 1 FROM SYSTREE C WHERE C.PARENT = T.ID)";
    int parent = _wtoi(host_.Text(L"SELECT PARENT " + leaves + L" GROUP BY PARENT HAVING COUNT(*) >= 7 "
                                  L"ORDER BY PARENT LIMIT 1").c_str());
    ASSERT_GT(parent, 0);
    std::vector<std::wstring> freeIds = host_.Column(L"SELECT ID " + leaves + L" AND PARENT = " + std::to_wstring(parent));
    ASSERT_TRUE(dbtest::Exec(host_.Db, L"DELETE FROM ZORNACOLLS WHERE SYSID IN (SELECT ID " + leaves +
                                           L" AND PARENT = " + std::to_wstring(parent) + L")"));
    host_.Select(TAB_SYSTEM, parent);
    HWND list = Sys()->GetChildList();
    struct Case
    {
        int rows;
        const wchar_t* text;
    } cases[] = {
        {1, L"Opravdu chcete smazat 1 položku?"},
        {3, L"Opravdu chcete smazat 3 položky?"},
        {7, L"Opravdu chcete smazat 7 položek?"},
    };
    for (const Case& c : cases) {
        std::vector<int> rows;
        for (int i = 0; i < c.rows; ++i)
            rows.push_back(RowOfId(list, _wtoi(freeIds[(size_t)i].c_str())));
        SelectRows(list, rows);
        SetFocus(list);
        wintest::MsgBoxRecorder boxes({IDCANCEL});
        Command(IDM_DELETEITEM);
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(c.text, boxes.Boxes()[0].text);
    }
    for (const formtest::Sent& sent : SentLog())
        EXPECT_FALSE(sent.Msg == ZM_DELETE_TREE_ITEM && !(sent.WParam & ZM_DELETE_CHECK_ONLY)) << "Storno deletes";

    // The root: nothing is asked, nothing sent.
    HTREEITEM root = host_.Select(TAB_SYSTEM, 0);
    SendMessageW(Tree(), TVM_SELECTITEM, TVGN_CARET, (LPARAM)root);
    SetFocus(Tree());
    {
        wintest::MsgBoxRecorder boxes;
        Command(IDM_DELETEITEM);
        EXPECT_TRUE(boxes.Boxes().empty());
    }

    // What cannot go (a genus with species, a species with records) is refused at once, naming
    // it, and no question is asked.
    const std::pair<int, const wchar_t*> refused[] = {
        {9010, L"Položku „D'Orbignya“ nelze smazat, protože obsahuje podřízené položky."},
        {9101, L"Položku „alfa“ nelze smazat, protože k ní patří zápisy."},
    };
    for (const auto& r : refused) {
        host_.Select(TAB_SYSTEM, r.first);
        SetFocus(Tree());
        wintest::MsgBoxRecorder boxes({IDOK, IDOK});
        Command(IDM_DELETEITEM);
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(r.second, boxes.Boxes()[0].text);
        EXPECT_TRUE(host_.Item(TAB_SYSTEM, r.first) != nullptr);
    }
    EXPECT_EQ(L"9002", Parent(9010));

    // Two rows of the list of children go; the list and the tree show the one left.
    host_.Select(TAB_SYSTEM, 9021);
    SelectRows(list, {RowOfId(list, 9131), RowOfId(list, 9132)});
    SetFocus(list);
    {
        wintest::MsgBoxRecorder boxes({IDOK});
        Command(IDM_DELETEITEM);
        EXPECT_EQ(1u, boxes.Boxes().size());
    }
    EXPECT_EQ(Strings{L"9133"}, Children(9021));
    EXPECT_EQ(1, (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_TRUE(host_.Item(TAB_SYSTEM, 9131) == nullptr);
    // Deleting the last species of a genus takes the genus's expand button away.
    Expand(9021);
    SendMessageW(Tree(), TVM_SELECTITEM, TVGN_CARET, (LPARAM)host_.Item(TAB_SYSTEM, 9133));
    SetFocus(Tree());
    {
        wintest::MsgBoxRecorder boxes({IDOK});
        Command(IDM_DELETEITEM);
        EXPECT_EQ(1u, boxes.Boxes().size());
    }
    EXPECT_TRUE(host_.Item(TAB_SYSTEM, 9133) == nullptr);
    EXPECT_EQ(Strings{}, Children(9021));
    TVITEMW tvi = {};
    tvi.mask = TVIF_HANDLE | TVIF_CHILDREN | TVIF_STATE;
    tvi.stateMask = TVIS_EXPANDED;
    tvi.hItem = host_.Item(TAB_SYSTEM, 9021);
    SendMessageW(Tree(), TVM_GETITEMW, 0, (LPARAM)&tvi);
    EXPECT_EQ(0, tvi.cChildren);
    EXPECT_EQ(0u, tvi.state & TVIS_EXPANDED);
}

TEST_F(TreeEditTest, RenamingInPlaceStoresTheNameAndKeepsTheRootsName)
{
    host_.Select(TAB_SYSTEM, 9011);
    Command(IDM_RENAMEITEM);
    HWND edit = (HWND)SendMessageW(Tree(), TVM_GETEDITCONTROL, 0, 0);
    ASSERT_TRUE(edit != nullptr);
    EXPECT_EQ(63, (int)SendMessageW(edit, EM_GETLIMITTEXT, 0, 0));
    SetWindowTextW(edit, L"Bombus O'Neil");
    SendMessageW(Tree(), TVM_ENDEDITLABELNOW, FALSE, 0);
    wintest::PumpMessages(20);
    EXPECT_EQ(L"Bombus O'Neil", host_.Text(L"SELECT NAME FROM SYSTREE WHERE ID = 9011"));
    EXPECT_EQ(L"Bombus O'Neil žlutý", host_.Text(L"SELECT NAME FROM SPECIES WHERE SYSID = 9111"));
    EXPECT_EQ(L"Bombus O'Neil", wintest::TreeItemText(Tree(), host_.Item(TAB_SYSTEM, 9011)));

    // Nothing but blanks is no name: the old one stays.
    Command(IDM_RENAMEITEM);
    edit = (HWND)SendMessageW(Tree(), TVM_GETEDITCONTROL, 0, 0);
    ASSERT_TRUE(edit != nullptr);
    SetWindowTextW(edit, L"   ");
    SendMessageW(Tree(), TVM_ENDEDITLABELNOW, FALSE, 0);
    wintest::PumpMessages(20);
    EXPECT_EQ(L"Bombus O'Neil", host_.Text(L"SELECT NAME FROM SYSTREE WHERE ID = 9011"));
    EXPECT_EQ(L"Bombus O'Neil", wintest::TreeItemText(Tree(), host_.Item(TAB_SYSTEM, 9011)));

    // In the list of children, the tree item follows.
    host_.Select(TAB_SYSTEM, 9002);
    HWND list = Sys()->GetChildList();
    int row = RowOfId(list, 9010);
    ASSERT_GE(row, 0);
    SetFocus(list);
    HWND listEdit = (HWND)SendMessageW(list, LVM_EDITLABELW, row, 0);
    ASSERT_TRUE(listEdit != nullptr);
    SetWindowTextW(listEdit, L"Orbignya");
    SendMessageW(list, LVM_CANCELEDITLABEL, 0, 0);  // no change: cancelled
    listEdit = (HWND)SendMessageW(list, LVM_EDITLABELW, row, 0);
    SetWindowTextW(listEdit, L"Orbignya");
    SetFocus(Tree());  // losing the focus ends the edit with the text
    wintest::PumpMessages(20);
    EXPECT_EQ(L"Orbignya", host_.Text(L"SELECT NAME FROM SYSTREE WHERE ID = 9010"));
    EXPECT_EQ(L"Orbignya", wintest::TreeItemText(Tree(), host_.Item(TAB_SYSTEM, 9010)));

    // The root keeps its name.
    HTREEITEM root = host_.Item(TAB_SYSTEM, 0);
    SendMessageW(Tree(), TVM_SELECTITEM, TVGN_CARET, (LPARAM)root);
    Command(IDM_RENAMEITEM);
    EXPECT_TRUE(SendMessageW(Tree(), TVM_GETEDITCONTROL, 0, 0) == 0);
    EXPECT_EQ(0, CountSent(ZM_CREATE_TREE_ITEM));
}

// ---- drags ----

TEST_F(TreeEditTest, AReorderMarksOnlyAtALabelsEdgesAndTheDropRenumbersTheSiblings)
{
    host_.Select(TAB_SYSTEM, 9002);
    Expand(9010);
    HTREEITEM alfa = host_.Item(TAB_SYSTEM, 9101);
    HTREEITEM delta = host_.Item(TAB_SYSTEM, 9104);
    ASSERT_TRUE(alfa && delta);
    ASSERT_TRUE(StartDrag(Sys(), LabelPoint(Tree(), delta)));
    EXPECT_EQ(CARDDRAG_TREE_ITEM, Sys()->DragMode);
    EXPECT_EQ(Sys()->GetPage(), GetCapture());

    DragTo(LabelPoint(Tree(), alfa));  // the middle of a label: no mark
    EXPECT_EQ(-1, Sys()->InsertPosition);
    EXPECT_TRUE(Sys()->DropTarget == nullptr);
    DragTo(LabelPoint(Tree(), alfa, 1));  // its top edge: before it
    EXPECT_EQ(1, Sys()->InsertPosition);
    EXPECT_TRUE(Sys()->DropTarget == alfa);
    EXPECT_EQ(0, Sys()->DragMarkAfter);
    wintest::SaveScreenshot(host_.Wnd, L"treeedit_insert_mark");
    Release(LabelPoint(Tree(), alfa, 1));

    EXPECT_EQ(0, Sys()->DragMode);
    EXPECT_TRUE(GetCapture() != Sys()->GetPage());
    EXPECT_EQ(1, CountSent(ZM_REORDER_SYS_ITEM));
    EXPECT_EQ((Strings{L"9104", L"9101", L"9102", L"9103"}), Children(9010));
    EXPECT_EQ((Strings{L"1", L"2", L"3", L"4"}),
              host_.Column(L"SELECT SYSPOS FROM SYSTREE WHERE PARENT = 9010 ORDER BY SYSPOS"));

    // A drop in the middle of a label does nothing.
    ASSERT_TRUE(StartDrag(Sys(), LabelPoint(Tree(), host_.Item(TAB_SYSTEM, 9103))));
    DragTo(LabelPoint(Tree(), host_.Item(TAB_SYSTEM, 9102)));
    Release(LabelPoint(Tree(), host_.Item(TAB_SYSTEM, 9102)));
    EXPECT_EQ(1, CountSent(ZM_REORDER_SYS_ITEM));
    EXPECT_EQ((Strings{L"9104", L"9101", L"9102", L"9103"}), Children(9010));
}

TEST_F(TreeEditTest, ChildrenMoveOnlyWhereTheRulesAllowAndTheMovedBranchStaysWhole)
{
    host_.Select(TAB_SYSTEM, 9002);
    Expand(9010);
    HWND list = Sys()->GetChildList();
    int row = RowOfId(list, 9010);
    ASSERT_GE(row, 0);
    SelectRows(list, {row});
    ASSERT_TRUE(StartDrag(Sys(), RowPoint(list, row)));
    EXPECT_EQ(CARDDRAG_CHILDREN, Sys()->DragMode);
    struct Case
    {
        int id;
        bool target;
    } cases[] = {
        {9101, false},  // inside the dragged genus
        {9011, false},  // a genus: the same level
        {9002, false},  // the current item
        {0, true},      // the root
        {9003, true},   // another family
    };
    for (const Case& c : cases) {
        HTREEITEM item = host_.Item(TAB_SYSTEM, c.id);
        ASSERT_TRUE(item != nullptr) << c.id;
        DragTo(LabelPoint(Tree(), item));
        EXPECT_EQ(c.target, Sys()->DropTarget == item) << c.id;
        EXPECT_EQ(c.target, Sys()->DropTarget != nullptr) << c.id;
    }
    // Dropped nowhere: nothing happens.
    Release(ScreenPoint(Tree(), POINT{5, 2000}));
    EXPECT_EQ(0, CountSent(ZM_MOVE_TREE_ITEMS));

    // Again, with a tree of six rows scrolled so that its first row lies inside the source,
    // which is read again after the move.
    Expand(9003);
    RECT client;
    GetClientRect(Tree(), &client);
    int rowHeight = (int)SendMessageW(Tree(), TVM_GETITEMHEIGHT, 0, 0);
    RECT frame;
    GetWindowRect(host_.Wnd, &frame);
    SetWindowPos(host_.Wnd, nullptr, 0, 0, frame.right - frame.left,
                 frame.bottom - frame.top - (client.bottom - 6 * rowHeight), SWP_NOMOVE | SWP_NOZORDER);
    wintest::PumpMessages(30);
    HTREEITEM alfa = host_.Item(TAB_SYSTEM, 9101);
    SendMessageW(Tree(), TVM_SELECTITEM, TVGN_FIRSTVISIBLE, (LPARAM)alfa);
    ASSERT_TRUE(alfa == (HTREEITEM)SendMessageW(Tree(), TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
    HTREEITEM target = host_.Item(TAB_SYSTEM, 9003);
    ASSERT_TRUE(StartDrag(Sys(), RowPoint(list, row)));
    DragTo(LabelPoint(Tree(), target));
    ASSERT_TRUE(Sys()->DropTarget == target);
    Release(LabelPoint(Tree(), target));
    EXPECT_EQ(1, CountSent(ZM_MOVE_TREE_ITEMS));
    EXPECT_EQ(L"9003", Parent(9010));
    EXPECT_EQ((Strings{L"9020", L"9021", L"9010"}), Children(9003));
    EXPECT_EQ(L"9003", host_.Text(L"SELECT SYS_LEVEL_2 FROM ZORNACOLLS WHERE ID = 90003"));
    EXPECT_EQ(Strings{}, treetest::StaleLevelColumns(host_.Db));
    // The source shows what is left; the moved genus shows its species below its new parent.
    EXPECT_EQ(-1, RowOfId(list, 9010));
    HTREEITEM moved = host_.Item(TAB_SYSTEM, 9010);
    ASSERT_TRUE(moved != nullptr);
    EXPECT_TRUE(SendMessageW(Tree(), TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)moved)
                == (LPARAM)host_.Item(TAB_SYSTEM, 9003));
    Expand(9010);
    EXPECT_EQ(4, ChildItems(host_.Item(TAB_SYSTEM, 9010)));
}

TEST_F(TreeEditTest, RecordsMoveOnlyToOtherItemsWithRecords)
{
    host_.Select(TAB_SYSTEM, 9101);
    Expand(9010);
    HWND records = Sys()->GetRecordList();
    ASSERT_TRUE(IsWindowVisible(records));
    ASSERT_EQ(2, (int)SendMessageW(records, LVM_GETITEMCOUNT, 0, 0));
    SelectRows(records, {0, 1});
    ASSERT_TRUE(StartDrag(Sys(), RowPoint(records, 0)));
    EXPECT_EQ(CARDDRAG_RECORDS, Sys()->DragMode);
    struct Case
    {
        int id;
        bool target;
    } cases[] = {{9010, false}, {9101, false}, {0, false}, {9103, true}};
    for (const Case& c : cases) {
        HTREEITEM item = host_.Item(TAB_SYSTEM, c.id);
        DragTo(LabelPoint(Tree(), item));
        EXPECT_EQ(c.target, Sys()->DropTarget == item) << c.id;
    }
    Release(LabelPoint(Tree(), host_.Item(TAB_SYSTEM, 9103)));
    EXPECT_EQ(1, CountSent(ZM_REASSIGN_RECORDS));
    EXPECT_EQ((Strings{L"9103", L"9103"}),
              host_.Column(L"SELECT SYSID FROM ZORNACOLLS WHERE ID IN (90001, 90002) ORDER BY ID"));
    EXPECT_EQ(L"9103", host_.Text(L"SELECT SYS_LEVEL_4 FROM ZORNACOLLS WHERE ID = 90002"));
    EXPECT_EQ(0, (int)SendMessageW(records, LVM_GETITEMCOUNT, 0, 0));
}

TEST_F(TreeEditTest, ALostCaptureCancelModeOrEscapeEndsTheDragWithoutADrop)
{
    host_.Select(TAB_SYSTEM, 9002);
    Expand(9010);
    dbtest::Rows before = treetest::Snapshot(host_.Db);
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 5, 5, host_.Wnd, nullptr, nullptr, nullptr);
    struct Case
    {
        const char* how;
        void (*end)(CTreeCard* card, HWND other);
    } cases[] = {
        {"capture lost", [](CTreeCard*, HWND w) { SetCapture(w); }},
        {"cancel mode", [](CTreeCard* card, HWND) { SendMessageW(card->GetPage(), WM_CANCELMODE, 0, 0); }},
        {"escape", [](CTreeCard*, HWND) { SendKey(VK_ESCAPE); }},
    };
    for (const Case& c : cases) {
        HTREEITEM alfa = host_.Item(TAB_SYSTEM, 9101);
        ASSERT_TRUE(StartDrag(Sys(), LabelPoint(Tree(), host_.Item(TAB_SYSTEM, 9104)))) << c.how;
        DragTo(LabelPoint(Tree(), alfa, 1));
        ASSERT_EQ(1, Sys()->InsertPosition) << c.how;
        c.end(Sys(), other);
        wintest::PumpMessages(30);
        EXPECT_EQ(0, Sys()->DragMode) << c.how;
        EXPECT_EQ(-1, Sys()->InsertPosition) << c.how;
        ReleaseCapture();
        Release(LabelPoint(Tree(), alfa, 1));
    }
    DestroyWindow(other);
    EXPECT_EQ(0, CountSent(ZM_REORDER_SYS_ITEM));
    EXPECT_EQ(before, treetest::Snapshot(host_.Db));
}

TEST_F(TreeEditTest, TheRootAndLocalityItemsAreNeverDragged)
{
    HTREEITEM root = host_.Select(TAB_SYSTEM, 0);
    EXPECT_FALSE(StartDrag(Sys(), LabelPoint(Tree(), root)));
    Release(LabelPoint(Tree(), root));
    host_.ShowTab(TAB_LOCALITIES);
    CTreeCard* loc = host_.Card(TAB_LOCALITIES);
    HTREEITEM item = host_.Select(TAB_LOCALITIES, 8002);
    ASSERT_TRUE(item != nullptr);
    POINT at = LabelPoint(loc->GetTreeView(), item);
    EXPECT_FALSE(StartDrag(loc, at));
    Release(at);
    EXPECT_EQ(0, loc->DragMode);
}

}  // namespace
