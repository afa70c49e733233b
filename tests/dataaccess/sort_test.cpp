// Recordset Sort, and the columns a recordset reports after the table has changed.
#include "tests/dataaccess/adotest.h"

using namespace zdata;
using adotest::Ref;
using adotest::Var;

namespace {

class SortTest : public adotest::LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        Exec(L"CREATE TABLE ITEMS (ID INTEGER PRIMARY KEY, GRP INTEGER, NAME VARCHAR(20), SIZE DOUBLE)");
        Exec(L"INSERT INTO ITEMS VALUES (1, 2, 'beta', 1.5), (2, 1, 'Alfa', NULL), (3, NULL, 'gama', 0.25), "
             L"(4, 2, 'Alfa', 3), (5, 1, 'delta', 2), (6, 2, 'Beta', -1)");
    }
    Recordset* Items() { return Open(L"SELECT * FROM ITEMS"); }
    std::vector<std::wstring> Ids(Recordset* rs)
    {
        rs->MoveFirst();
        return Column(rs, L"ID");
    }
    std::wstring SortText(Recordset* rs)
    {
        BSTR b = nullptr;
        rs->get_Sort(&b);
        std::wstring s = b ? b : L"";
        SysFreeString(b);
        return s;
    }
};

TEST_F(SortTest, OrdersTheViewByItsKeysWithNullsFirstAndTiesInPlace)
{
    Ref<Recordset> rs(Items());
    struct Case {
        const wchar_t* sort;
        std::vector<std::wstring> ids;
    };
    const Case cases[] = {
        {L"GRP", {L"3", L"2", L"5", L"1", L"4", L"6"}},          // NULL first, ties in rowset order
        {L"GRP DESC", {L"1", L"4", L"6", L"2", L"5", L"3"}},
        {L"GRP, NAME DESC", {L"3", L"5", L"2", L"1", L"6", L"4"}},  // beta and Beta tie: case ignored
        {L"[SIZE] ASC", {L"2", L"6", L"3", L"1", L"5", L"4"}},
        {L"NAME, ID DESC", {L"4", L"2", L"6", L"1", L"5", L"3"}},
        {L"", {L"1", L"2", L"3", L"4", L"5", L"6"}},             // back to the rowset's order
    };
    for (const Case& c : cases) {
        rs->MoveLast();
        ASSERT_EQ(S_OK, rs->put_Sort(c.sort)) << FirstError().c_str();
        long pos = 0;
        rs->get_AbsolutePosition(&pos);
        EXPECT_EQ(pos, 1) << "the first row becomes current";
        EXPECT_EQ(Ids(rs.get()), c.ids);
        EXPECT_EQ(SortText(rs.get()), c.sort);
    }
}

TEST_F(SortTest, FilterAndSortCombineInEitherOrderAndRequeryKeepsBoth)
{
    Ref<Recordset> rs(Items());
    ASSERT_EQ(S_OK, rs->put_Sort(L"NAME DESC"));
    ASSERT_EQ(S_OK, rs->put_Filter(L"GRP = 2"));
    EXPECT_EQ(Ids(rs.get()), (std::vector<std::wstring>{L"1", L"6", L"4"}));
    ASSERT_EQ(S_OK, rs->put_Filter(L""));
    EXPECT_EQ(Ids(rs.get()), (std::vector<std::wstring>{L"3", L"5", L"1", L"6", L"2", L"4"}));
    ASSERT_EQ(S_OK, rs->put_Filter(L"GRP = 1"));
    ASSERT_EQ(S_OK, rs->put_Sort(L"ID DESC"));
    EXPECT_EQ(Ids(rs.get()), (std::vector<std::wstring>{L"5", L"2"}));
    Exec(L"INSERT INTO ITEMS VALUES (7, 1, 'epsilon', 0)");
    ASSERT_EQ(S_OK, rs->Requery());
    EXPECT_EQ(Ids(rs.get()), (std::vector<std::wstring>{L"7", L"5", L"2"}));
    // An unknown column is refused; the order in force stays.
    EXPECT_NE(S_OK, rs->put_Sort(L"NOSUCH"));
    EXPECT_NE(FirstError().find(L"NOSUCH"), std::wstring::npos);
    EXPECT_NE(S_OK, rs->put_Sort(L"ID,"));
    EXPECT_EQ(SortText(rs.get()), L"ID DESC");
    EXPECT_EQ(Ids(rs.get()), (std::vector<std::wstring>{L"7", L"5", L"2"}));
}

TEST_F(SortTest, BookmarksEditsAndNewRowsWorkInASortedView)
{
    Ref<Recordset> rs(Items());
    ASSERT_EQ(S_OK, rs->put_Filter(L"ID = 5"));
    Var mark;
    ASSERT_EQ(S_OK, rs->get_Bookmark(&mark));
    ASSERT_EQ(S_OK, rs->put_Filter(L""));
    ASSERT_EQ(S_OK, rs->put_Sort(L"SIZE DESC"));
    ASSERT_EQ(S_OK, rs->put_Bookmark(mark.v));
    EXPECT_EQ(Text(rs.get(), L"NAME"), L"delta");
    long pos = 0;
    rs->get_AbsolutePosition(&pos);
    EXPECT_EQ(pos, 2);  // 3, 2, 1.5 ...
    // The row written is the current one of the sorted view.
    ASSERT_EQ(S_OK, PutText(rs.get(), L"NAME", L"Delta"));
    ASSERT_EQ(S_OK, rs->Update());
    EXPECT_EQ(Text(rs.get(), L"NAME"), L"Delta");
    Ref<Recordset> check(Open(L"SELECT NAME FROM ITEMS WHERE ID = 5"));
    EXPECT_EQ(Text(check.get(), L"NAME"), L"Delta");
    // A new row stands last until the view is sorted again.
    ASSERT_EQ(S_OK, rs->AddNew());
    PutLong(rs.get(), L"ID", 9);
    Var big;
    big.v.vt = VT_R8;
    big.v.dblVal = 100;
    Put(rs.get(), L"SIZE", big.v);
    ASSERT_EQ(S_OK, rs->Update());
    EXPECT_EQ(Ids(rs.get()).back(), L"9");
    ASSERT_EQ(S_OK, rs->put_Sort(L"SIZE DESC"));
    EXPECT_EQ(Ids(rs.get()).front(), L"9");
    // Find from a bookmark searches on in the sorted order.
    ASSERT_EQ(S_OK, rs->put_Sort(L"GRP"));
    rs->MoveFirst();
    rs->MoveNext();
    Var second;
    rs->get_Bookmark(&second);
    ASSERT_EQ(S_OK, rs->Find(L"GRP = 2", 0, adSearchForward, &second.v));
    EXPECT_EQ(Text(rs.get(), L"ID"), L"1");
}

TEST_F(SortTest, ARecordsetReportsTheTablesColumnsAfterItChanged)
{
    Ref<Recordset> rs(Items());
    Ref<Fields> fields;
    rs->get_Fields(fields.out());
    long count = 0;
    fields->get_Count(&count);
    EXPECT_EQ(count, 4);
    Exec(L"ALTER TABLE ITEMS ADD MINVAL DOUBLE");
    Exec(L"ALTER TABLE ITEMS ADD MAXVAL DOUBLE");
    ASSERT_EQ(S_OK, rs->Requery());
    fields->get_Count(&count);
    EXPECT_EQ(count, 6);
    EXPECT_EQ(VT_NULL, Type(rs.get(), L"MAXVAL"));
    Var v;
    v.v.vt = VT_R8;
    v.v.dblVal = 2.5;
    ASSERT_EQ(S_OK, Put(rs.get(), L"MAXVAL", v.v));
    ASSERT_EQ(S_OK, rs->Update());
    Ref<Recordset> again(Items());
    Ref<Fields> againFields;
    again->get_Fields(againFields.out());
    againFields->get_Count(&count);
    EXPECT_EQ(count, 6);
    EXPECT_EQ(Text(again.get(), L"MAXVAL"), L"2.5");
    Exec(L"ALTER TABLE ITEMS DROP COLUMN MINVAL");
    ASSERT_EQ(S_OK, again->Requery());
    againFields->get_Count(&count);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(Text(again.get(), L"MAXVAL"), L"2.5");
}

}  // namespace
