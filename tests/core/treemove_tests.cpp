// Tree moves and ordering on a generated sample database with a known part of each tree added
// (tests/core/treetemplate.h): sibling renumbering, species order, moves of taxa and
// localities, record reassignment and renames, checked in the file with plain SQL afterwards.
// Refused writes are made by the file itself (foreign keys, the unique record index, triggers
// added by the test) and must leave every table as it was, with the errors shown.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/composednames.h"
#include "core/database.h"
#include "core/treemove.h"
#include "core/treewalk.h"
#include "core/zm_messages.h"
#include "tests/core/treetemplate.h"
#include "tests/support/fileholder.h"
#include "tests/support/wintest.h"

using zdata::Recordset;
using namespace treetest;

namespace {

std::vector<std::vector<LPARAM>> g_sent;  // message, wParam, lParam

bool RecordRefreshes(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (msg != ZM_RESELECT_SYS_ITEM && msg != ZM_REFRESH_TREE_CARD)
        return false;
    g_sent.push_back({(LPARAM)msg, (LPARAM)wParam, lParam});
    *result = 0;
    return true;
}

std::vector<std::wstring> Column(const Rows& rows, size_t column = 0)
{
    std::vector<std::wstring> values;
    for (const auto& r : rows)
        values.push_back(r[column]);
    return values;
}

class TreeMoveTest : public dbtest::DbTest {
protected:
    void SetUp() override
    {
        g_sent.clear();
        path_ = CopyOfTemplate(L"treemove_db");
        ASSERT_FALSE(path_.empty());
        main_ = dbtest::MakeMainWindow(RecordRefreshes);
    }
    // Opens the copy (after the test has prepared it with SQL).
    void Open() { ASSERT_NO_FATAL_FAILURE(OpenDb(true, true)); }
    std::vector<std::wstring> Children(int parent)
    {
        return Column(Query(path_, L"SELECT ID FROM SYSTREE WHERE PARENT = " + std::to_wstring(parent) +
                                       L" ORDER BY SYSPOS"));
    }
    std::vector<std::wstring> Positions(int parent)
    {
        return Column(Query(path_, L"SELECT SYSPOS FROM SYSTREE WHERE PARENT = " + std::to_wstring(parent) +
                                       L" ORDER BY SYSPOS"));
    }
    double AbsolutePos(int sysId)
    {
        Rows rows = Query(path_, L"SELECT ABSOLUTEPOS FROM SPECIES WHERE SYSID = " + std::to_wstring(sysId));
        return rows.empty() || rows[0][0] == L"<NULL>" ? -1e300 : _wtof(rows[0][0].c_str());
    }
    std::wstring SpeciesName(int sysId)
    {
        return Text(path_, L"SELECT NAME FROM SPECIES WHERE SYSID = " + std::to_wstring(sysId));
    }
    std::wstring Label(int locId)
    {
        return Text(path_, L"SELECT NAME FROM FEATURES WHERE LOCID = " + std::to_wstring(locId));
    }
    std::vector<std::wstring> RecordRow(int id)
    {
        Rows rows = Query(path_, L"SELECT SYSID, FTRID, SYS_LEVEL_1, SYS_LEVEL_2, SYS_LEVEL_3, SYS_LEVEL_4, "
                                 L"SYS_LEVEL_5, LOC_LEVEL_1, LOC_LEVEL_2, LOC_LEVEL_3 FROM ZORNACOLLS WHERE ID = " +
                                     std::to_wstring(id));
        return rows.empty() ? std::vector<std::wstring>() : rows[0];
    }
    // The value of a column of the cached tree row with the id.
    int CachedInt(Recordset* tree, int id, long ordinal)
    {
        if (!FindById(id, tree))
            return -99;
        zdata::Fields* fields = nullptr;
        tree->get_Fields(&fields);
        VARIANT v;
        ColumnValue(fields, ordinal, &v);
        fields->Release();
        int n = v.vt == VT_I4 ? v.lVal : -98;
        VariantClear(&v);
        return n;
    }
    std::wstring CachedText(Recordset* tree, int id, long ordinal)
    {
        if (!FindById(id, tree))
            return L"<none>";
        zdata::Fields* fields = nullptr;
        tree->get_Fields(&fields);
        VARIANT v;
        ColumnValue(fields, ordinal, &v);
        fields->Release();
        std::wstring text = v.vt == VT_BSTR ? v.bstrVal : L"<not text>";
        VariantClear(&v);
        return text;
    }

    // The name a cached name list (NAME, id) holds for the id.
    std::wstring ListedName(Recordset* names, const wchar_t* idColumn, int id)
    {
        if (!names || FAILED(treewalk::FilterEquals(names, idColumn, id)) || treewalk::IsEmptyRowset(names))
            return L"<none>";
        std::wstring name = treewalk::RowText(names, 0);
        names->put_Filter(L"");
        return name;
    }
    long ListCount(Recordset* list)
    {
        long n = -1;
        list->get_RecordCount(&n);
        return n;
    }
};

typedef std::vector<std::wstring> Strings;

// ---- finding rows ----

TEST_F(TreeMoveTest, LocateRecordByIdSearchesOnFromTheCurrentRowAndWrapsOnce)
{
    Open();
    Recordset* tree = db_->GetSysTreeRs();
    ASSERT_TRUE(SetParentFilter(9010, tree));  // 9101, 9102, 9103, 9104
    zdata::Fields* fields = nullptr;
    ASSERT_EQ(S_OK, tree->get_Fields(&fields));
    zdata::Field* id = nullptr;
    ASSERT_EQ(S_OK, fields->Item(0L, &id));
    tree->MoveNext();
    tree->MoveNext();  // on 9103
    EXPECT_TRUE(LocateRecordById(9104, id, tree));
    EXPECT_EQ(9104, CachedInt(tree, 9104, 0));
    ASSERT_TRUE(SetParentFilter(9010, tree));
    tree->MoveNext();
    tree->MoveNext();
    // Behind the current row: found by wrapping to the first row.
    EXPECT_TRUE(LocateRecordById(9101, id, tree));
    VARIANT v;
    id->get_Value(&v);
    EXPECT_EQ(9101, v.lVal);
    // Missing: false, whether the search may wrap or starts at the end.
    EXPECT_FALSE(LocateRecordById(9111, id, tree));
    tree->MoveLast();
    tree->MoveNext();
    ASSERT_TRUE(tree->IsEOF());
    EXPECT_TRUE(LocateRecordById(9102, id, tree));
    EXPECT_FALSE(LocateRecordById(12345, id, tree));
    // An empty view finds nothing.
    ASSERT_FALSE(SetParentFilter(9004, tree));
    EXPECT_FALSE(LocateRecordById(9101, id, tree));
    id->Release();
    fields->Release();
    EXPECT_EQ(-1, IndexOfInt(4, 0, nullptr));
    int values[] = {3, 4, 4};
    EXPECT_EQ(1, IndexOfInt(4, 3, values));
    EXPECT_EQ(-1, IndexOfInt(5, 3, values));
}

// ---- sibling order ----

TEST_F(TreeMoveTest, ReorderPutsTheItemBeforeTheSiblingThatHeldTheWantedPosition)
{
    Open();
    ASSERT_EQ(1, db_->ReorderSysItem(9104, 2));
    EXPECT_EQ((Strings{L"9101", L"9104", L"9102", L"9103"}), Children(9010));
    EXPECT_EQ((Strings{L"1", L"2", L"3", L"4"}), Positions(9010));
    ASSERT_EQ(1u, g_sent.size());
    EXPECT_EQ((std::vector<LPARAM>{ZM_RESELECT_SYS_ITEM, 2, 9104}), g_sent[0]);

    // The first dropped at 4 goes before the old fourth.
    ASSERT_EQ(1, db_->ReorderSysItem(9101, 4));
    EXPECT_EQ((Strings{L"9104", L"9102", L"9101", L"9103"}), Children(9010));
    EXPECT_EQ((Strings{L"1", L"2", L"3", L"4"}), Positions(9010));

    // Above every position: last.
    ASSERT_EQ(1, db_->ReorderSysItem(9104, 50));
    EXPECT_EQ((Strings{L"9102", L"9101", L"9103", L"9104"}), Children(9010));
    EXPECT_EQ((Strings{L"1", L"2", L"3", L"4"}), Positions(9010));

    // The cached tree shows the same.
    Recordset* tree = db_->GetSysTreeRs();
    EXPECT_EQ(1, CachedInt(tree, 9102, 3));
    EXPECT_EQ(4, CachedInt(tree, 9104, 3));
}

TEST_F(TreeMoveTest, ReorderRenumbersSiblingsWithGapsFromOne)
{
    Open();
    ASSERT_EQ(1, db_->ReorderSysItem(9133, 1));  // 2, 5, 9
    EXPECT_EQ((Strings{L"9133", L"9131", L"9132"}), Children(9021));
    EXPECT_EQ((Strings{L"1", L"2", L"3"}), Positions(9021));
}

TEST_F(TreeMoveTest, ReorderOfAMissingItemChangesNothing)
{
    Open();
    Rows before = Snapshot(path_);
    EXPECT_EQ(0, ReorderSiblings(4711, 1, db_->GetSysTreeRs()));
    db_->ReorderSysItem(4711, 1);
    EXPECT_EQ(before, Snapshot(path_));
}

// Rows moved without a Requery sit where they were in the rowset; the order and the
// highest number come from the positions, not from the last row.
TEST_F(TreeMoveTest, ReorderRightAfterAMoveWithoutRequeryTakesTheOrderFromThePositions)
{
    Open();
    Recordset* tree = db_->GetSysTreeRs();
    int ids[] = {9101};
    ASSERT_EQ(1, MoveSysItemsToParent(9020, 1, ids, tree));  // 9101 gets 7
    EXPECT_EQ(7, CachedInt(tree, 9101, 3));
    ASSERT_EQ(1, ReorderSiblings(9101, 3, tree));
    EXPECT_EQ((Strings{L"9121", L"9122", L"9101", L"9123", L"9124"}), Children(9020));
    EXPECT_EQ((Strings{L"1", L"2", L"3", L"4", L"5"}), Positions(9020));
}

TEST_F(TreeMoveTest, ReorderSpreadsTheSpeciesOrderInTreeOrderParentsBeforeSubspecies)
{
    Open();
    ASSERT_EQ(1, db_->ReorderSysItem(9102, 5));  // beta with its two subspecies goes last
    EXPECT_EQ((Strings{L"9101", L"9103", L"9104", L"9102"}), Children(9010));
    // 9104 (1005) is followed by 9111 (1006): beta, its subspecies between them, in order.
    double b = AbsolutePos(9102), s1 = AbsolutePos(9201), s2 = AbsolutePos(9202);
    EXPECT_LT(AbsolutePos(9104), b);
    EXPECT_LT(b, s1);
    EXPECT_LT(s1, s2);
    EXPECT_LT(s2, AbsolutePos(9111));
    Rows order = Query(path_, L"SELECT SYSID FROM SPECIES WHERE SYSID IN (9101, 9102, 9103, 9104, "
                              L"9201, 9202, 9111) ORDER BY ABSOLUTEPOS");
    EXPECT_EQ((Strings{L"9101", L"9103", L"9104", L"9102", L"9201", L"9202", L"9111"}), Column(order));
}

TEST_F(TreeMoveTest, ARefusedRenumberingLeavesTheSiblingsAsTheyWere)
{
    ASSERT_TRUE(Exec(path_, L"CREATE TRIGGER REFUSE_POS BEFORE UPDATE OF SYSPOS ON SYSTREE "
                            L"WHEN NEW.ID = 9103 BEGIN SELECT RAISE(ABORT, 'position refused'); END"));
    Open();
    Rows before = Snapshot(path_);
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->ReorderSysItem(9104, 1));
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"position refused"));
    EXPECT_EQ(before, Snapshot(path_));
    EXPECT_EQ(4, CachedInt(db_->GetSysTreeRs(), 9104, 3));
    EXPECT_EQ(1, CachedInt(db_->GetSysTreeRs(), 9101, 3));
    EXPECT_TRUE(g_sent.empty());
}

// ---- walks ----

TEST_F(TreeMoveTest, WalksFollowTreeOrderAcrossParents)
{
    Open();
    Recordset* tree = db_->GetSysTreeRs();
    treewalk::RsHolder defs(db_->OpenSysDefs());
    Recordset* l = defs.get();
    EXPECT_EQ(9103, NextNodeId(9102, tree));
    EXPECT_EQ(9011, NextNodeId(9104, tree));   // last sibling: the parent's next
    EXPECT_EQ(9003, NextNodeId(9011, tree));
    EXPECT_EQ(-1, NextNodeId(9004, tree));      // last of the last top-level item
    EXPECT_EQ(9101, PrevNodeId(9102, tree));
    EXPECT_EQ(9010, PrevNodeId(9111, tree));    // first child: the parent's previous sibling
    EXPECT_EQ(-1, PrevNodeId(4711, tree));

    EXPECT_EQ(1, IsDataItem(9101, tree, l));
    EXPECT_EQ(1, IsDataItem(9201, tree, l));
    EXPECT_EQ(0, IsDataItem(9010, tree, l));
    EXPECT_EQ(0, IsDataItem(4711, tree, l));

    int* ids = nullptr;
    ASSERT_EQ(4, GetChildIds(9010, tree, &ids));
    EXPECT_EQ((std::vector<int>{9101, 9102, 9103, 9104}), std::vector<int>(ids, ids + 4));
    free(ids);
    EXPECT_EQ(0, GetChildIds(9004, tree, &ids));
    EXPECT_EQ(nullptr, ids);

    EXPECT_EQ(9101, FirstDataItemInSubtree(9001, tree, l));
    EXPECT_EQ(-1, FirstDataItemInSubtree(9004, tree, l));
    EXPECT_EQ(9202, LastDataItemInSubtree(9102, tree, l));  // a subspecies follows its species
    EXPECT_EQ(9133, LastDataItemInSubtree(9001, tree, l));

    EXPECT_EQ(9104, PrecedingDataItemId(9011, tree, l));
    EXPECT_EQ(9104, PrecedingDataItemId(9111, tree, l));  // from the genus's previous sibling
    EXPECT_EQ(9102, PrecedingDataItemId(9201, tree, l));  // the species before its subspecies
    EXPECT_EQ(9202, PrecedingDataItemId(9103, tree, l));
    EXPECT_EQ(9111, FollowingDataItemId(9104, tree, l));
    EXPECT_EQ(9121, FollowingDataItemId(9011, tree, l));
    EXPECT_EQ(-1, FollowingDataItemId(9021, tree, l));

    IdList list;
    InitIdList(&list);
    CollectDataItems(9002, tree, l, &list);
    EXPECT_EQ((std::vector<int>{9101, 9102, 9201, 9202, 9103, 9104, 9111}),
              std::vector<int>(list.Items, list.Items + list.Count));
    FreeIdList(&list);
    // Only the items whose names depend on the item: a family enters no genus.
    CollectDataSubtree(9002, tree, l, &list);
    EXPECT_EQ(0, list.Count);
    CollectDataSubtree(9010, tree, l, &list);
    EXPECT_EQ((std::vector<int>{9101, 9102, 9201, 9202, 9103, 9104}),
              std::vector<int>(list.Items, list.Items + list.Count));
    FreeIdList(&list);
}

TEST(TreeMoveClosed, EveryEditOfAClosedDatabaseAnswersZeroWithoutAMessage)
{
    CDatabase db(nullptr, GetModuleHandleW(nullptr));
    wintest::MsgBoxRecorder boxes;
    int ids[] = {1, 2};
    EXPECT_EQ(0, db.ReorderSysItem(1, 1));
    EXPECT_EQ(0, db.MoveSysItems(3, 2, ids));
    EXPECT_EQ(0, db.MoveLocItems(3, 2, ids));
    EXPECT_EQ(0, db.MoveRecords(3, 1, 2, ids));
    EXPECT_EQ(0, db.RenameSysItem(1, L"x"));
    EXPECT_EQ(0, db.RenameLocItem(1, L"x"));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(TreeMoveIdList, GrowsBy32)
{
    IdList list;
    InitIdList(&list);
    for (int i = 0; i < 33; ++i)
        AddToIdList(&list, i * 3);
    EXPECT_EQ(33, list.Count);
    EXPECT_EQ(64, list.Capacity);
    EXPECT_EQ(96, list.Items[32]);
    FreeIdList(&list);
    EXPECT_EQ(nullptr, list.Items);
    EXPECT_EQ(0, list.Count);
}

// ---- species order ----

TEST_F(TreeMoveTest, SpreadPlacesTheSubtreeEvenlyBetweenItsNeighbours)
{
    ASSERT_TRUE(Exec(path_, L"UPDATE SPECIES SET ABSOLUTEPOS = 10 WHERE SYSID = 9101"));
    ASSERT_TRUE(Exec(path_, L"UPDATE SPECIES SET ABSOLUTEPOS = 11 WHERE SYSID = 9103"));
    Open();
    treewalk::RsHolder defs(db_->OpenSysDefs());
    ASSERT_EQ(S_OK, SpreadAbsolutePositions(9102, db_->GetSysTreeRs(), defs.get(), db_->AdoConnection));
    EXPECT_DOUBLE_EQ(10.25, AbsolutePos(9102));
    EXPECT_DOUBLE_EQ(10.5, AbsolutePos(9201));
    EXPECT_DOUBLE_EQ(10.75, AbsolutePos(9202));
    EXPECT_DOUBLE_EQ(10.25, GetSpeciesAbsolutePos(9102, db_->AdoConnection));
    EXPECT_DOUBLE_EQ(0, GetSpeciesAbsolutePos(9010, db_->AdoConnection));  // no SPECIES row
}

TEST_F(TreeMoveTest, SpreadWithNoFollowingSpeciesCountsOnFromThePrecedingOne)
{
    ASSERT_TRUE(Exec(path_, L"UPDATE SPECIES SET ABSOLUTEPOS = 10 WHERE SYSID = 9124"));
    Open();
    treewalk::RsHolder defs(db_->OpenSysDefs());
    ASSERT_EQ(S_OK, SpreadAbsolutePositions(9021, db_->GetSysTreeRs(), defs.get(), db_->AdoConnection));
    EXPECT_DOUBLE_EQ(11, AbsolutePos(9131));
    EXPECT_DOUBLE_EQ(12, AbsolutePos(9132));
    EXPECT_DOUBLE_EQ(13, AbsolutePos(9133));
}

// A following species without a position (saved new) must not turn the order round.
TEST_F(TreeMoveTest, SpreadAboveThePrecedingSpeciesWhenTheFollowingOneHasNoPosition)
{
    ASSERT_TRUE(Exec(path_, L"UPDATE SPECIES SET ABSOLUTEPOS = 10 WHERE SYSID = 9111"));
    ASSERT_TRUE(Exec(path_, L"UPDATE SPECIES SET ABSOLUTEPOS = NULL WHERE SYSID = 9131"));
    Open();
    treewalk::RsHolder defs(db_->OpenSysDefs());
    ASSERT_EQ(S_OK, SpreadAbsolutePositions(9020, db_->GetSysTreeRs(), defs.get(), db_->AdoConnection));
    EXPECT_DOUBLE_EQ(11, AbsolutePos(9121));
    EXPECT_DOUBLE_EQ(12, AbsolutePos(9122));
    EXPECT_DOUBLE_EQ(13, AbsolutePos(9123));
    EXPECT_DOUBLE_EQ(14, AbsolutePos(9124));
}

// Positions keep full precision, so a narrow gap still orders the items.
TEST_F(TreeMoveTest, SpreadInANarrowGapKeepsEveryPositionDistinct)
{
    ASSERT_TRUE(Exec(path_, L"UPDATE SPECIES SET ABSOLUTEPOS = 10 WHERE SYSID = 9101"));
    ASSERT_TRUE(Exec(path_, L"UPDATE SPECIES SET ABSOLUTEPOS = 10.000001 WHERE SYSID = 9103"));
    Open();
    treewalk::RsHolder defs(db_->OpenSysDefs());
    ASSERT_EQ(S_OK, SpreadAbsolutePositions(9102, db_->GetSysTreeRs(), defs.get(), db_->AdoConnection));
    double a = AbsolutePos(9102), b = AbsolutePos(9201), c = AbsolutePos(9202);
    EXPECT_LT(10.0, a);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_LT(c, 10.000001);
    EXPECT_DOUBLE_EQ(10.00000025, a);
}

// ---- moving taxa ----

TEST_F(TreeMoveTest, MovedTaxaFollowTheLastChildInDropOrderWithNamesOrderAndPaths)
{
    Open();
    int ids[] = {9104, 9101, 9103};
    ASSERT_EQ(1, db_->MoveSysItems(9020, 3, ids));
    EXPECT_EQ((Strings{L"9121", L"9122", L"9123", L"9124", L"9104", L"9101", L"9103"}), Children(9020));
    EXPECT_EQ((Strings{L"1", L"2", L"5", L"6", L"7", L"8", L"9"}), Positions(9020));
    EXPECT_EQ((Strings{L"9102"}), Children(9010));
    EXPECT_EQ(L"Ryba delta", SpeciesName(9104));
    EXPECT_EQ(L"Ryba alfa", SpeciesName(9101));
    EXPECT_EQ(L"Ryba gama", SpeciesName(9103));
    EXPECT_EQ(L"D'Orbignya beta nigra", SpeciesName(9202));
    // Every species below the new parent is spread between 9111 and 9131, the moved ones last.
    Rows order = Query(path_, L"SELECT SYSID FROM SPECIES WHERE SYSID >= 9100 ORDER BY ABSOLUTEPOS");
    EXPECT_EQ((Strings{L"9102", L"9201", L"9202", L"9111", L"9121", L"9122", L"9123", L"9124",
                       L"9104", L"9101", L"9103", L"9131", L"9132", L"9133"}),
              Column(order));
    EXPECT_LT(AbsolutePos(9103), AbsolutePos(9131));
    // The records of 9101 carry the new path.
    EXPECT_EQ((Strings{L"9101", L"8010", L"9001", L"9003", L"9020", L"9101", L"<NULL>", L"8001",
                       L"8002", L"8010"}),
              RecordRow(90001));
    EXPECT_EQ(Strings{}, StaleLevelColumns(path_));
    // The cached tree is in order again and shows the new parents.
    Recordset* tree = db_->GetSysTreeRs();
    EXPECT_EQ(9020, CachedInt(tree, 9101, 1));
    EXPECT_EQ(8, CachedInt(tree, 9101, 3));
}

// Records anywhere below a moved item get its new ancestors.
TEST_F(TreeMoveTest, MovingAGenusRewritesThePathsOfAllRecordsBelowIt)
{
    Open();
    int ids[] = {9010};
    ASSERT_EQ(1, db_->MoveSysItems(9003, 1, ids));
    EXPECT_EQ((Strings{L"9020", L"9021", L"9010"}), Children(9003));
    EXPECT_EQ(L"9003", RecordRow(90003)[3]);
    EXPECT_EQ(L"9003", RecordRow(90004)[3]);
    EXPECT_EQ(L"9202", RecordRow(90004)[6]);
    EXPECT_EQ(Strings{}, StaleLevelColumns(path_));
    // Names hang on the genus, which kept its name.
    EXPECT_EQ(L"D'Orbignya beta nigra", SpeciesName(9202));
    // A search by the new family now finds the genus's records.
    EXPECT_EQ(L"5", Text(path_, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYS_LEVEL_2 = 9003"));
}

TEST_F(TreeMoveTest, MovingASpeciesWithSubspeciesRecomposesTheirNames)
{
    Open();
    int ids[] = {9102};
    ASSERT_EQ(1, db_->MoveSysItems(9011, 1, ids));
    EXPECT_EQ(L"Čmelák beta", SpeciesName(9102));
    EXPECT_EQ(L"Čmelák beta beta", SpeciesName(9201));
    EXPECT_EQ(L"Čmelák beta nigra", SpeciesName(9202));
    EXPECT_EQ(L"Čmelák žlutý", SpeciesName(9111));
    EXPECT_EQ(L"9011", RecordRow(90004)[4]);
    EXPECT_EQ(Strings{}, StaleLevelColumns(path_));
}

TEST_F(TreeMoveTest, MovingNothingThatExistsAnswersZeroAndChangesNothing)
{
    Open();
    Rows before = Snapshot(path_);
    int ids[] = {4711, 4712};
    EXPECT_EQ(0, db_->MoveSysItems(9020, 2, ids));
    EXPECT_EQ(before, Snapshot(path_));
}

TEST_F(TreeMoveTest, AMoveUnderAMissingParentIsRefusedWithTheErrorsShownAndNothingChanged)
{
    Open();
    Rows before = Snapshot(path_);
    wintest::MsgBoxRecorder boxes;
    int ids[] = {9101, 9102};
    EXPECT_EQ(0, db_->MoveSysItems(4711, 2, ids));
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"FOREIGN KEY"));
    EXPECT_TRUE(boxes.Boxes()[0].type & MB_ICONERROR);
    EXPECT_EQ(before, Snapshot(path_));
    EXPECT_EQ(9010, CachedInt(db_->GetSysTreeRs(), 9101, 1));
}

TEST_F(TreeMoveTest, AMoveRefusedAtTheLastRecordRollsBackTreePositionsAndNames)
{
    // The file refuses one record's new path, after the tree, the order and the names were
    // written inside the same transaction.
    ASSERT_TRUE(Exec(path_, L"CREATE TRIGGER REFUSE_PATH BEFORE UPDATE OF SYS_LEVEL_3 ON ZORNACOLLS "
                            L"WHEN NEW.ID = 90004 BEGIN SELECT RAISE(ABORT, 'path refused'); END"));
    Open();
    Rows before = Snapshot(path_);
    wintest::MsgBoxRecorder boxes;
    int ids[] = {9102};
    EXPECT_EQ(0, db_->MoveSysItems(9011, 1, ids));
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"path refused"));
    EXPECT_EQ(before, Snapshot(path_));
    EXPECT_EQ(9010, CachedInt(db_->GetSysTreeRs(), 9102, 1));
    EXPECT_EQ(2, CachedInt(db_->GetSysTreeRs(), 9102, 3));
}

// ---- moving localities ----

TEST_F(TreeMoveTest, MovedLocalitiesGetNewLabelsAndRecordPaths)
{
    Open();
    int ids[] = {8011};
    ASSERT_EQ(1, db_->MoveLocItems(8003, 1, ids));
    EXPECT_EQ(L"Řeka (Žďár, Testkraj)", Label(8011));
    EXPECT_EQ(L"8003", Text(path_, L"SELECT PARENT FROM LOCTREE WHERE ID = 8011"));
    EXPECT_EQ(L"8003", RecordRow(90002)[8]);
    EXPECT_EQ(L"8003", RecordRow(90006)[8]);
    EXPECT_EQ(Strings{}, StaleLevelColumns(path_));
}

TEST_F(TreeMoveTest, MovingADistrictRelabelsItsLocalitiesWithTheNewRegion)
{
    Open();
    int ids[] = {8002};
    ASSERT_EQ(1, db_->MoveLocItems(8004, 1, ids));
    EXPECT_EQ(L"Lom (49° 30' 0\", 16° 15' 0\", Okres O'Hara, Jiný kraj)", Label(8010));
    EXPECT_EQ(L"Řeka (Okres O'Hara, Jiný kraj)", Label(8011));
    EXPECT_EQ(L"Pole (stale)", Label(8020));  // not below the moved district
    EXPECT_EQ(L"8004", RecordRow(90001)[7]);
    EXPECT_EQ(L"8004", RecordRow(90003)[7]);
    EXPECT_EQ(L"8001", RecordRow(90004)[7]);
    EXPECT_EQ(Strings{}, StaleLevelColumns(path_));
}

TEST_F(TreeMoveTest, ALocalityMoveUnderAMissingParentChangesNothing)
{
    Open();
    Rows before = Snapshot(path_);
    wintest::MsgBoxRecorder boxes;
    int ids[] = {8010};
    EXPECT_EQ(0, db_->MoveLocItems(4711, 1, ids));
    EXPECT_GE(boxes.Boxes().size(), 1u);
    EXPECT_EQ(before, Snapshot(path_));
    EXPECT_EQ(8002, CachedInt(db_->GetLocTreeRs(), 8010, 1));
    // Nothing moved is no success: a missing item, or the target itself.
    int none[] = {4711};
    EXPECT_EQ(0, db_->MoveLocItems(8003, 1, none));
    int self[] = {8003};
    EXPECT_EQ(0, db_->MoveLocItems(8003, 1, self));
    EXPECT_EQ(0, db_->MoveLocItems(8003, 0, self));
    EXPECT_EQ(before, Snapshot(path_));
}

// A parent inside a moved branch would make a circle of PARENT links that the name, position
// and path walks follow for ever: the move is refused with a message and nothing changes. A
// parent beside or above the branch is moved to as before.
TEST_F(TreeMoveTest, AMoveUnderAnItemOfTheMovedBranchIsRefusedWithAMessage)
{
    Open();
    Rows before = Snapshot(path_);
    struct Case
    {
        bool taxa;
        int parent;
        std::vector<int> ids;
    };
    const Case refused[] = {
        {true, 9101, {9010}},        // a genus under its own species
        {true, 9201, {9002}},        // a family under its subspecies, three levels down
        {true, 9202, {9104, 9010}},  // the second of two moved items is the ancestor
        {false, 8010, {8002}},       // a district under its own locality
        {false, 8020, {8001}},       // a region under a locality of another of its districts
    };
    for (const Case& c : refused) {
        wintest::MsgBoxRecorder boxes;
        int moved = c.taxa ? db_->MoveSysItems(c.parent, (int)c.ids.size(), c.ids.data())
                           : db_->MoveLocItems(c.parent, (int)c.ids.size(), c.ids.data());
        EXPECT_EQ(0, moved) << c.parent;
        ASSERT_EQ(1u, boxes.Boxes().size()) << c.parent;
        EXPECT_EQ(L"Položku nelze přesunout pod její vlastní podřízenou položku.", boxes.Boxes()[0].text);
        EXPECT_TRUE(boxes.Boxes()[0].type & MB_ICONERROR);
    }
    EXPECT_EQ(before, Snapshot(path_));
    EXPECT_EQ(9002, CachedInt(db_->GetSysTreeRs(), 9010, 1));
    EXPECT_EQ(8001, CachedInt(db_->GetLocTreeRs(), 8002, 1));

    // The root and a sibling's branch are fine.
    wintest::MsgBoxRecorder boxes;
    int genus[] = {9011};
    EXPECT_EQ(1, db_->MoveSysItems(9003, 1, genus));
    int district[] = {8003};
    EXPECT_EQ(1, db_->MoveLocItems(0, 1, district));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(L"9003", Text(path_, L"SELECT PARENT FROM SYSTREE WHERE ID = 9011"));
    EXPECT_EQ(L"0", Text(path_, L"SELECT PARENT FROM LOCTREE WHERE ID = 8003"));
    EXPECT_EQ(Strings{}, StaleLevelColumns(path_));
}

TEST_F(TreeMoveTest, TheBranchWalkEndsOnACircleOfParents)
{
    // A file damaged before this check existed: 9010 and 9101 are each other's parent.
    ASSERT_TRUE(Exec(path_, L"UPDATE SYSTREE SET PARENT = 9101 WHERE ID = 9010"));
    Open();
    Recordset* tree = db_->GetSysTreeRs();
    int ids[] = {9020};
    EXPECT_FALSE(IsBelowAnyOf(9101, 1, ids, tree));
    int genus[] = {9010};
    EXPECT_TRUE(IsBelowAnyOf(9103, 1, genus, tree));
    EXPECT_FALSE(IsBelowAnyOf(4711, 1, genus, tree));
}

// ---- reassigning records ----

TEST_F(TreeMoveTest, ReassignedRecordsGetTheTargetAndItsLevelPath)
{
    Open();
    int records[] = {90001, 90005};
    ASSERT_EQ(1, db_->MoveRecords(9202, 1, 2, records));
    EXPECT_EQ((Strings{L"9202", L"8010", L"9001", L"9002", L"9010", L"9102", L"9202", L"8001",
                       L"8002", L"8010"}),
              RecordRow(90001));
    // Back to a species: the subspecies column is emptied.
    ASSERT_EQ(1, db_->MoveRecords(9124, 1, 2, records));
    EXPECT_EQ((Strings{L"9124", L"8020", L"9001", L"9003", L"9020", L"9124", L"<NULL>", L"8001",
                       L"8003", L"8020"}),
              RecordRow(90005));
    int one[] = {90002};
    ASSERT_EQ(1, db_->MoveRecords(8020, 2, 1, one));
    EXPECT_EQ((Strings{L"9101", L"8020", L"9001", L"9002", L"9010", L"9101", L"<NULL>", L"8001",
                       L"8003", L"8020"}),
              RecordRow(90002));
    EXPECT_EQ(Strings{}, StaleLevelColumns(path_));
    EXPECT_EQ(L"9001", RecordRow(90006)[2]);  // untouched
}

TEST_F(TreeMoveTest, AReassignRequeriesTheOpenRecordLists)
{
    Open();
    ASSERT_EQ(S_OK, db_->ReopenListRecordset(RS_TAXON_RECORDS, L"SELECT * FROM COLLECTVIEW WHERE T1.SYSID = 9101"));
    ASSERT_EQ(S_OK, db_->ReopenListRecordset(RS_LOCALITY_RECORDS, L"SELECT * FROM COLLECTVIEW WHERE FTRID = 8020"));
    EXPECT_EQ(2, ListCount(db_->TaxonRecordsRs));
    EXPECT_EQ(2, ListCount(db_->LocalityRecordsRs));
    int records[] = {90001};
    ASSERT_EQ(1, db_->MoveRecords(8020, 2, 1, records));
    EXPECT_EQ(3, ListCount(db_->LocalityRecordsRs));
    ASSERT_EQ(1, db_->MoveRecords(9124, 1, 1, records));
    EXPECT_EQ(1, ListCount(db_->TaxonRecordsRs));
}

TEST_F(TreeMoveTest, AReassignToAMissingItemIsRefusedAndChangesNothing)
{
    Open();
    Rows before = Snapshot(path_);
    wintest::MsgBoxRecorder boxes;
    int records[] = {90001, 90002};
    EXPECT_EQ(0, db_->MoveRecords(4711, 1, 2, records));
    EXPECT_GE(boxes.Boxes().size(), 1u);
    EXPECT_EQ(before, Snapshot(path_));
    EXPECT_EQ(0, db_->MoveRecords(4711, 2, 2, records));
    EXPECT_EQ(before, Snapshot(path_));
}

TEST_F(TreeMoveTest, AReassignRefusedMidwayLeavesEveryRecordAsItWas)
{
    // A record already holding (9111, 8010, date 1) makes 90001's move a duplicate of the unique
    // record index; 90002 moves first, in an earlier statement of the same transaction.
    ASSERT_TRUE(Exec(path_, L"INSERT INTO ZORNACOLLS (ID, SYSID, FTRID, LITID, DATUM, SYS_LEVEL_1, "
                            L"SYS_LEVEL_2, SYS_LEVEL_3, SYS_LEVEL_4, LOC_LEVEL_1, LOC_LEVEL_2, "
                            L"LOC_LEVEL_3) VALUES (90007, 9111, 8010, -1, 1, 9001, 9002, 9011, 9111, "
                            L"8001, 8002, 8010)"));
    Open();
    Rows before = Snapshot(path_);
    std::vector<int> records = {90002};
    for (int i = 0; i < 25000; ++i)
        records.push_back(500000 + i);  // no such records
    records.push_back(90001);
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->MoveRecords(9111, 1, (int)records.size(), records.data()));
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"UNIQUE"));
    EXPECT_EQ(before, Snapshot(path_));
    EXPECT_EQ(L"9101", RecordRow(90002)[0]);
}

// Another program holds the file for 20 s: dropping records onto another species fails within
// about the busy timeout (3 s) with the Czech reason, writes nothing, and the window answers a
// message sent to it meanwhile while the file is still held.
TEST_F(TreeMoveTest, AReassignWhileAnotherProgramHoldsTheFileFailsWithinTheBusyTimeout)
{
    Open();
    Rows before = Snapshot(path_);
    wintest::MsgBoxRecorder boxes;
    int records[] = {90001, 90005};
    {
        wintest::FileHolder holder(path_, 20000);
        ASSERT_TRUE(holder.Holding());
        wintest::WindowProbe probe(main_, 500, 8000, holder);
        DWORD start = GetTickCount();
        EXPECT_EQ(0, db_->MoveRecords(9202, 1, 2, records));
        DWORD took = GetTickCount() - start;
        EXPECT_LT(took, 4500u);
        wintest::PumpUntil([&] { return probe.Done(); }, 10000);
        EXPECT_TRUE(probe.AnsweredWhileHeld());
    }
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(0u, boxes.Boxes()[0].text.find(L"Databázový soubor právě používá jiný program, změnu proto nelze "
                                             L"zapsat. Zkuste to znovu za chvíli."))
        << dbtest::Narrow(boxes.Boxes()[0].text);
    EXPECT_EQ(before, Snapshot(path_));
    // Once the other program has let go, the same move is written.
    ASSERT_EQ(1, db_->MoveRecords(9202, 1, 2, records));
    EXPECT_EQ(L"9202", RecordRow(90005)[0]);
}

// ---- renames ----

TEST_F(TreeMoveTest, RenamingAGenusRecomposesOnlyTheSpeciesBelowIt)
{
    Open();
    ASSERT_EQ(1, db_->RenameSysItem(9010, L"O'Řehák"));
    EXPECT_EQ(L"O'Řehák", Text(path_, L"SELECT NAME FROM SYSTREE WHERE ID = 9010"));
    EXPECT_EQ(L"O'Řehák alfa", SpeciesName(9101));
    EXPECT_EQ(L"O'Řehák beta nigra", SpeciesName(9202));
    EXPECT_EQ(L"O'Řehák delta", SpeciesName(9104));
    EXPECT_EQ(L"Čmelák žlutý", SpeciesName(9111));
    ASSERT_EQ(1u, g_sent.size());
    EXPECT_EQ((std::vector<LPARAM>{ZM_REFRESH_TREE_CARD, 1, 9010}), g_sent[0]);
    EXPECT_EQ(L"O'Řehák", CachedText(db_->GetSysTreeRs(), 9010, 4));
}

TEST_F(TreeMoveTest, TheNameListsShowRecomposedNamesAndLabels)
{
    Open();
    db_->LoadNameLists();
    ASSERT_EQ(L"D'Orbignya alfa", ListedName(db_->SpeciesNamesRs, L"SYSID", 9101));
    ASSERT_EQ(1, db_->RenameSysItem(9010, L"Řehák"));
    EXPECT_EQ(L"Řehák alfa", ListedName(db_->SpeciesNamesRs, L"SYSID", 9101));
    int ids[] = {9101};
    ASSERT_EQ(1, db_->MoveSysItems(9011, 1, ids));
    EXPECT_EQ(L"Čmelák alfa", ListedName(db_->SpeciesNamesRs, L"SYSID", 9101));
    ASSERT_EQ(1, db_->RenameLocItem(8003, L"Žďár nad Sázavou"));
    EXPECT_EQ(L"Pole (50° 30' 0\", 15° 45' 0\", Žďár nad Sázavou, Testkraj)",
              ListedName(db_->FeatureNamesRs, L"LOCID", 8020));
    int localities[] = {8011};
    ASSERT_EQ(1, db_->MoveLocItems(8003, 1, localities));
    EXPECT_EQ(L"Řeka (Žďár nad Sázavou, Testkraj)", ListedName(db_->FeatureNamesRs, L"LOCID", 8011));
}

TEST_F(TreeMoveTest, RenamingASpeciesRecomposesItAndItsSubspecies)
{
    Open();
    ASSERT_EQ(1, db_->RenameSysItem(9102, L"béta"));
    EXPECT_EQ(L"D'Orbignya béta", SpeciesName(9102));
    EXPECT_EQ(L"D'Orbignya béta beta", SpeciesName(9201));
    EXPECT_EQ(L"D'Orbignya alfa", SpeciesName(9101));
}

TEST_F(TreeMoveTest, RenamingAnItemWithoutSpeciesBelowSendsNoRefresh)
{
    Open();
    ASSERT_EQ(1, db_->RenameSysItem(9004, L"Deltidae"));
    EXPECT_EQ(L"Deltidae", Text(path_, L"SELECT NAME FROM SYSTREE WHERE ID = 9004"));
    EXPECT_TRUE(g_sent.empty());
    Rows before = Snapshot(path_);
    EXPECT_EQ(0, db_->RenameSysItem(4711, L"x"));
    EXPECT_EQ(before, Snapshot(path_));
}

TEST_F(TreeMoveTest, AnEmptyComposedNameIsStoredAsNull)
{
    Open();
    ASSERT_EQ(1, db_->RenameSysItem(9111, L""));
    EXPECT_EQ(L"", Text(path_, L"SELECT NAME FROM SYSTREE WHERE ID = 9111"));
    EXPECT_EQ(L"Čmelák ", SpeciesName(9111));
    // At the top nothing precedes the empty name.
    int ids[] = {9111};
    ASSERT_EQ(1, db_->MoveSysItems(0, 1, ids));
    EXPECT_EQ(L"<NULL>", SpeciesName(9111));
    EXPECT_EQ(Strings{}, StaleLevelColumns(path_));
}

TEST_F(TreeMoveTest, ARefusedNameRollsTheRenameBackAndShowsTheErrors)
{
    ASSERT_TRUE(Exec(path_, L"CREATE TRIGGER REFUSE_NAME BEFORE UPDATE OF NAME ON SPECIES "
                            L"WHEN NEW.NAME LIKE 'Zakázáno%' BEGIN SELECT RAISE(ABORT, 'name refused'); END"));
    Open();
    Rows before = Snapshot(path_);
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->RenameSysItem(9010, L"Zakázáno"));
    ASSERT_EQ(1u, boxes.Boxes().size());  // shown once
    EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"name refused"));
    EXPECT_EQ(before, Snapshot(path_));
    EXPECT_EQ(L"D'Orbignya", CachedText(db_->GetSysTreeRs(), 9010, 4));
    EXPECT_TRUE(g_sent.empty());
}

TEST_F(TreeMoveTest, RenamingLocalitiesRelabelsTheLocalitiesThatNameThem)
{
    Open();
    ASSERT_EQ(1, db_->RenameLocItem(8002, L"Okres d'Artagnan"));
    EXPECT_EQ(L"Okres d'Artagnan", Text(path_, L"SELECT NAME FROM LOCTREE WHERE ID = 8002"));
    EXPECT_EQ(L"Řeka (Okres d'Artagnan, Testkraj)", Label(8011));
    EXPECT_EQ(L"Pole (stale)", Label(8020));
    ASSERT_EQ(1u, g_sent.size());
    EXPECT_EQ((std::vector<LPARAM>{ZM_REFRESH_TREE_CARD, 2, 8002}), g_sent[0]);
    // A region is named as the grandparent.
    ASSERT_EQ(1, db_->RenameLocItem(8001, L"Kraj Š"));
    EXPECT_EQ(L"Pole (50° 30' 0\", 15° 45' 0\", Žďár, Kraj Š)", Label(8020));
    EXPECT_EQ(L"Řeka (Okres d'Artagnan, Kraj Š)", Label(8011));
    // A locality itself.
    ASSERT_EQ(1, db_->RenameLocItem(8010, L"Lom u Brna"));
    EXPECT_EQ(L"Lom u Brna (49° 30' 0\", 16° 15' 0\", Okres d'Artagnan, Kraj Š)", Label(8010));
}

}  // namespace
