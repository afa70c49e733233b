#include <cmath>
#include <thread>
#include "tests/dataaccess/adotest.h"

using namespace zdata;
using adotest::Ref;
using adotest::Var;

namespace {

constexpr long kRows = 6000;

// Provider cursors over long read-only results keep keys and read rows by page; these tests
// check that what they show is the same as a full read would show.
class KeysetTest : public adotest::LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        Exec(L"CREATE TABLE BIG (ID INTEGER PRIMARY KEY, NAME VARCHAR(40), GRP INTEGER, NOTE TEXT)");
        Exec(L"CREATE TABLE GROUPS (GID INTEGER PRIMARY KEY, TITLE VARCHAR(40))");
        ASSERT_EQ(S_OK, conn_->BeginTrans());
        Exec(L"WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 6000) "
             L"INSERT INTO BIG SELECT x, 'Jméno ' || printf('%05d', x), x % 7, "
             L"CASE WHEN x % 5 = 0 THEN NULL ELSE 'poznámka ' || x END FROM c");
        for (int g = 0; g < 7; ++g) {
            wchar_t sql[128];
            _snwprintf(sql, 128, L"INSERT INTO GROUPS VALUES (%d, 'Skupina %d')", g, g);
            Exec(sql);
        }
        ASSERT_EQ(S_OK, conn_->CommitTrans());
        Exec(L"CREATE VIEW BIGVIEW AS SELECT T1.*, GROUPS.* FROM BIG AS T1 LEFT JOIN GROUPS ON GROUPS.GID = T1.GRP");
    }
    Recordset* Server(const wchar_t* sql) { return Open(sql, adLockReadOnly, adUseServer); }
};

TEST_F(KeysetTest, LongListReadsTheSameRowsAsAClientSnapshot)
{
    Ref<Recordset> list(Server(L"SELECT * FROM BIGVIEW ORDER BY NAME DESC"));
    Ref<Recordset> full(Open(L"SELECT * FROM BIGVIEW ORDER BY NAME DESC", adLockReadOnly, adUseClient));
    ASSERT_EQ(kRows, Count(list.get()));
    ASSERT_EQ(kRows, Count(full.get()));
    for (long p : {1L, 2L, 100L, 1999L, 2000L, 2001L, 2500L, 4321L, 5999L, 6000L, 3L}) {
        ASSERT_EQ(S_OK, list->put_AbsolutePosition(p));
        ASSERT_EQ(S_OK, full->put_AbsolutePosition(p));
        for (long c = 0; c < 6; ++c)
            EXPECT_EQ(Text(full.get(), c), Text(list.get(), c)) << "row " << p << " column " << c;
    }
    list->MoveLast();
    EXPECT_EQ(L"Jméno 00001", Text(list.get(), L"NAME"));
    EXPECT_EQ(L"Skupina 1", Text(list.get(), L"TITLE"));
    ASSERT_EQ(S_OK, list->put_AbsolutePosition(kRows - 4));  // ID 5: every fifth note is NULL
    EXPECT_EQ(5, Long(list.get(), L"ID"));
    EXPECT_EQ(VT_NULL, Type(list.get(), L"NOTE"));
}

TEST_F(KeysetTest, WalkingTheWholeListVisitsEveryRowOnce)
{
    Ref<Recordset> list(Server(L"SELECT * FROM BIG ORDER BY GRP, ID"));
    ASSERT_EQ(kRows, Count(list.get()));
    long long sum = 0;
    long rows = 0;
    int lastGroup = -1;
    bool ordered = true;
    while (!list->IsEOF()) {
        sum += Long(list.get(), L"ID");
        int g = Long(list.get(), L"GRP");
        ordered = ordered && g >= lastGroup;
        lastGroup = g;
        ++rows;
        list->MoveNext();
    }
    EXPECT_EQ(kRows, rows);
    EXPECT_EQ((long long)kRows * (kRows + 1) / 2, sum);
    EXPECT_TRUE(ordered);
}

TEST_F(KeysetTest, FilterFindAndRequeryWorkOnTheKeyset)
{
    Ref<Recordset> list(Server(L"SELECT * FROM BIGVIEW AS T1 WHERE T1.ID > 100 ORDER BY NAME"));
    ASSERT_EQ(kRows - 100, Count(list.get()));
    ASSERT_EQ(S_OK, list->put_Filter(L"GRP = 3 AND TITLE = 'skupina 3'"));
    long expected = 0;
    for (int x = 101; x <= kRows; ++x)
        expected += x % 7 == 3;
    EXPECT_EQ(expected, Count(list.get()));
    EXPECT_EQ(3, Long(list.get(), L"GRP"));
    ASSERT_EQ(S_OK, list->Find(L"NAME = 'Jméno 05001'"));
    EXPECT_FALSE(list->IsEOF());
    EXPECT_EQ(5001, Long(list.get(), L"ID"));
    Exec(L"INSERT INTO BIG VALUES (7001, 'Jméno 07001', 3, NULL)");
    Exec(L"UPDATE BIG SET NOTE = 'změněno' WHERE ID = 5001");
    ASSERT_EQ(S_OK, list->Requery());
    EXPECT_EQ(expected + 1, Count(list.get()));
    ASSERT_EQ(S_OK, list->Find(L"ID = 5001"));
    EXPECT_EQ(L"změněno", Text(list.get(), L"NOTE"));
    ASSERT_EQ(S_OK, list->put_Filter(L""));
    EXPECT_EQ(kRows - 100 + 1, Count(list.get()));
}

TEST_F(KeysetTest, ResultWithoutUniqueFirstColumnIsReadWhole)
{
    Ref<Recordset> list(Server(L"SELECT GRP, ID FROM BIG UNION ALL SELECT GRP, ID FROM BIG ORDER BY 1, 2"));
    ASSERT_EQ(2 * kRows, Count(list.get()));
    ASSERT_EQ(S_OK, list->put_AbsolutePosition(2 * kRows));
    EXPECT_EQ(6, Long(list.get(), L"GRP"));
    EXPECT_EQ(5998, Long(list.get(), L"ID"));  // the highest id with id % 7 = 6
}

TEST_F(KeysetTest, ClonesReadPagesOnWorkerThreads)
{
    Ref<Recordset> list(Server(L"SELECT * FROM BIGVIEW ORDER BY NAME"));
    Ref<Recordset> c1, c2;
    ASSERT_EQ(S_OK, list->Clone(c1.out()));
    ASSERT_EQ(S_OK, list->Clone(c2.out()));
    long long sums[2] = {0, 0};
    auto walk = [](Recordset* rs, long long* sum) {
        Ref<Fields> fields;
        rs->get_Fields(fields.out());
        Ref<Field> id;
        fields->Item(L"ID", id.out());
        for (long p = rs->IsEOF() ? 0 : 1; !rs->IsEOF(); rs->MoveNext()) {
            Var v;
            if (SUCCEEDED(id->get_Value(&v)) && v.v.vt == VT_I4)
                *sum += v.v.lVal;
            (void)p;
        }
    };
    std::thread t1(walk, c1.get(), &sums[0]);
    std::thread t2(walk, c2.get(), &sums[1]);
    for (long p = kRows; p >= 1; p -= 37) {
        list->put_AbsolutePosition(p);
        Text(list.get(), L"NAME");
    }
    list->Requery();
    t1.join();
    t2.join();
    EXPECT_EQ((long long)kRows * (kRows + 1) / 2, sums[0]);
    EXPECT_EQ(sums[0], sums[1]);
}

TEST_F(KeysetTest, ResyncRereadsValuesOfTheKeyset)
{
    Ref<Recordset> list(Server(L"SELECT * FROM BIG ORDER BY ID"));
    ASSERT_EQ(S_OK, list->put_AbsolutePosition(4000));
    EXPECT_EQ(L"Jméno 04000", Text(list.get(), L"NAME"));
    Exec(L"UPDATE BIG SET NAME = 'Nové' WHERE ID = 4000");
    ASSERT_EQ(S_OK, list->Resync(adAffectAll, adResyncAllValues));
    EXPECT_EQ(kRows, Count(list.get()));
    ASSERT_EQ(S_OK, list->put_AbsolutePosition(4000));
    EXPECT_EQ(L"Nové", Text(list.get(), L"NAME"));
}

}  // namespace

namespace {

TEST_F(KeysetTest, TableListInItsOwnOrderWithATrailingSemicolon)
{
    Ref<Recordset> list(Server(L"SELECT NAME, GRP FROM BIG WHERE GRP <> 0 ORDER BY NAME DESC;"));
    long expected = 0;
    for (long x = 1; x <= kRows; ++x)
        expected += x % 7 != 0;
    ASSERT_EQ(expected, Count(list.get()));
    EXPECT_EQ(L"Jméno 06000", Text(list.get(), L"NAME"));
    ASSERT_EQ(S_OK, list->put_AbsolutePosition(expected));
    EXPECT_EQ(L"Jméno 00001", Text(list.get(), L"NAME"));
    ASSERT_EQ(S_OK, list->put_AbsolutePosition(3000));
    Ref<Recordset> full(Open(L"SELECT NAME, GRP FROM BIG WHERE GRP <> 0 ORDER BY NAME DESC", adLockReadOnly, adUseClient));
    ASSERT_EQ(S_OK, full->put_AbsolutePosition(3000));
    EXPECT_EQ(Text(full.get(), L"NAME"), Text(list.get(), L"NAME"));
}

}  // namespace

// The numbers of a few columns of every row of the view, in view order, in one read: the same
// as walking the list, for a keyset (sorted, filtered) and for a client snapshot.
TEST_F(KeysetTest, RealColumnsOfTheViewComeInViewOrder)
{
    for (long location : {(long)adUseServer, (long)adUseClient}) {
        Ref<Recordset> list(Open(L"SELECT * FROM BIGVIEW ORDER BY NAME DESC", adLockReadOnly, location));
        for (const wchar_t* filter : {L"", L"GRP = 3 OR ID < 20"}) {
            ASSERT_EQ(S_OK, list->put_Filter(filter));
            std::vector<double> values;
            ASSERT_EQ(S_OK, list->ReadRealColumns({0L, 2L, 4L}, &values));  // ID, GRP, GID
            const long rows = Count(list.get());
            ASSERT_EQ((size_t)rows * 3, values.size()) << location << " " << filter;
            ASSERT_EQ(S_OK, list->MoveFirst());
            for (long r = 0; r < rows; ++r, list->MoveNext()) {
                EXPECT_EQ(Long(list.get(), L"ID"), values[3 * r]);
                EXPECT_EQ(Long(list.get(), L"GRP"), values[3 * r + 1]);
            }
        }
        std::vector<double> values;
        EXPECT_NE(S_OK, list->ReadRealColumns({99L}, &values));
        list->put_Filter(L"ID = 5");
        ASSERT_EQ(S_OK, list->ReadRealColumns({1L, 3L}, &values));  // NAME (text), NOTE (NULL)
        ASSERT_EQ(2u, values.size());
        EXPECT_TRUE(std::isnan(values[0]) && std::isnan(values[1]));
    }
}

// A narrowing leaves out of a long list's numbers the rows that fail it, the others coming in
// view order as without it (a filter applied as well); a snapshot gives all its rows.
TEST_F(KeysetTest, NarrowedRealColumnsOfALongListAreTheRowsThatMeetTheCondition)
{
    for (long location : {(long)adUseServer, (long)adUseClient}) {
        Ref<Recordset> list(Open(L"SELECT * FROM BIGVIEW ORDER BY NAME DESC", adLockReadOnly, location));
        for (const wchar_t* filter : {L"", L"ID < 3000"}) {
            ASSERT_EQ(S_OK, list->put_Filter(filter));
            std::vector<double> all, narrowed;
            ASSERT_EQ(S_OK, list->ReadRealColumns({0L, 2L}, &all));  // ID, GRP
            ASSERT_EQ(S_OK, list->ReadRealColumns({0L, 2L}, &narrowed, L"\"GRP\" = 3 OR \"ID\" < 20"));
            std::vector<double> expected;
            for (size_t r = 0; r < all.size() / 2; ++r)
                if (location == adUseClient || all[2 * r + 1] == 3 || all[2 * r] < 20)
                    expected.insert(expected.end(), {all[2 * r], all[2 * r + 1]});
            EXPECT_LT(location == adUseClient ? 0u : expected.size(), all.size()) << filter;
            EXPECT_EQ(expected, narrowed) << location << " " << filter;
        }
    }
}

// The first column at chosen view positions, read at once: the same ids the cursor reads there,
// for a long list keyed by that column, a table's list keyed by its hidden rowid, and a snapshot,
// each sorted and filtered; positions outside the view give -1 and the cursor does not move.
TEST_F(KeysetTest, FirstColumnIdsAtViewPositionsAreThoseTheCursorReads)
{
    const struct {
        const wchar_t* sql;
        long location;
    } lists[] = {{L"SELECT * FROM BIGVIEW ORDER BY NAME DESC", adUseServer},
                 {L"SELECT ID, NAME, GRP FROM BIG ORDER BY GRP, NAME", adUseServer},
                 {L"SELECT * FROM BIGVIEW ORDER BY NAME DESC", adUseClient}};
    for (const auto& l : lists) {
        Ref<Recordset> list(Open(l.sql, adLockReadOnly, l.location));
        for (const wchar_t* filter : {L"", L"GRP = 3 OR ID < 20"}) {
            ASSERT_EQ(S_OK, list->put_Filter(filter));
            const long rows = Count(list.get());
            const std::vector<long> positions = {rows, 1, rows / 2, 2, 0, rows + 1, rows / 3};
            ASSERT_EQ(S_OK, list->put_AbsolutePosition(2));
            std::vector<long long> ids;
            ASSERT_EQ(S_OK, list->ReadFirstColumnIds(positions, &ids));
            ASSERT_EQ(positions.size(), ids.size());
            long at = 0;
            list->get_AbsolutePosition(&at);
            EXPECT_EQ(2, at) << l.sql;
            for (size_t i = 0; i < positions.size(); ++i) {
                long long expected = -1;
                if (positions[i] >= 1 && positions[i] <= rows) {
                    ASSERT_EQ(S_OK, list->put_AbsolutePosition(positions[i]));
                    expected = Long(list.get(), L"ID");
                }
                EXPECT_EQ(expected, ids[i]) << l.sql << " " << filter << " position " << positions[i];
            }
        }
    }
}
