// How a long list's rows are read by page: screenfuls read top down after a jump, walks
// backwards and forwards across page edges, and the page query without the statement's sort.
#include <climits>
#include <string>
#include <vector>
#include "dataaccess/rowset.h"
#include "tests/dataaccess/adotest.h"

using namespace zdata;
using adotest::Ref;

namespace {

constexpr long kRows = 3000;

class KeysetPagingTest : public adotest::LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        Exec(L"CREATE TABLE REC (ID INTEGER PRIMARY KEY, NAME VARCHAR(40), GRP INTEGER)");
        Exec(L"CREATE TABLE GRPS (GID INTEGER PRIMARY KEY, TITLE VARCHAR(40))");
        ASSERT_EQ(S_OK, conn_->BeginTrans());
        // Names repeat: the list sorts by name, then by id downwards, never in the keys' order.
        Exec(L"WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 3000) "
             L"INSERT INTO REC SELECT x, 'Druh ' || printf('%03d', (x * 37) % 400), x % 5 FROM c");
        Exec(L"INSERT INTO GRPS VALUES (0, 'nula'), (1, 'jedna'), (2, 'dva'), (3, 'tři'), (4, 'čtyři')");
        ASSERT_EQ(S_OK, conn_->CommitTrans());
        Exec(L"CREATE VIEW RECVIEW AS SELECT T1.*, GRPS.* FROM REC AS T1 LEFT JOIN GRPS ON GRPS.GID = T1.GRP");
    }

    // The ids of every row of a client snapshot of the statement, in its order.
    std::vector<long> SnapshotIds(const wchar_t* sql)
    {
        Ref<Recordset> full(Open(sql, adLockReadOnly, adUseClient));
        std::vector<long> ids;
        for (full->MoveFirst(); !full->IsEOF(); full->MoveNext())
            ids.push_back(Long(full.get(), L"ID"));
        return ids;
    }
};

const wchar_t kList[] = L"SELECT * FROM RECVIEW ORDER BY NAME DESC, ID DESC";

TEST_F(KeysetPagingTest, ScreenfulsReadTopDownThenScrolledUpShowTheSnapshotRows)
{
    std::vector<long> ids = SnapshotIds(kList);
    ASSERT_EQ((size_t)kRows, ids.size());
    Ref<Recordset> list(Open(kList, adLockReadOnly, adUseServer));
    ASSERT_EQ(kRows, Count(list.get()));
    // Screens of 50 rows at page edges and in the middle, each read top down.
    for (long top : {1L, 50L, 51L, 1234L, 2951L, 777L, 25L}) {
        for (long p = top; p < top + 50; ++p) {
            ASSERT_EQ(S_OK, list->put_AbsolutePosition(p));
            ASSERT_EQ(ids[p - 1], Long(list.get(), L"ID")) << "row " << p << " of the screen at " << top;
            EXPECT_NE(L"", Text(list.get(), L"TITLE")) << "row " << p;
        }
    }
    // Scrolling up one row at a time from a fresh jump crosses several pages.
    for (long p = 2500; p >= 2300; --p) {
        ASSERT_EQ(S_OK, list->put_AbsolutePosition(p));
        ASSERT_EQ(ids[p - 1], Long(list.get(), L"ID")) << "row " << p;
    }
}

TEST_F(KeysetPagingTest, WalkBackwardsFromTheEndVisitsEveryRowOnceInReverse)
{
    std::vector<long> ids = SnapshotIds(kList);
    Ref<Recordset> list(Open(kList, adLockReadOnly, adUseServer));
    ASSERT_EQ(S_OK, list->MoveLast());
    std::vector<long> seen;
    while (!list->IsBOF()) {
        seen.push_back(Long(list.get(), L"ID"));
        list->MovePrevious();
    }
    ASSERT_EQ(ids.size(), seen.size());
    for (size_t i = 0; i < ids.size(); ++i)
        ASSERT_EQ(ids[ids.size() - 1 - i], seen[i]) << "step " << i;
}

TEST_F(KeysetPagingTest, WalkForwardsAfterAJumpIntoTheMiddleReachesTheEndInOrder)
{
    std::vector<long> ids = SnapshotIds(kList);
    Ref<Recordset> list(Open(kList, adLockReadOnly, adUseServer));
    ASSERT_EQ(S_OK, list->put_AbsolutePosition(1001));
    size_t i = 1000;
    for (; !list->IsEOF(); list->MoveNext(), ++i)
        ASSERT_EQ(ids[i], Long(list.get(), L"ID")) << "row " << i + 1;
    EXPECT_EQ(ids.size(), i);
    // Back to the start: the rows before the jump were never read and still come right.
    ASSERT_EQ(S_OK, list->MoveFirst());
    EXPECT_EQ(ids[0], Long(list.get(), L"ID"));
    ASSERT_EQ(S_OK, list->put_AbsolutePosition(999));
    EXPECT_EQ(ids[998], Long(list.get(), L"ID"));
}

TEST_F(KeysetPagingTest, ListWithAConditionAndASortInTheStatement)
{
    const wchar_t sql[] = L"SELECT * FROM RECVIEW WHERE GRP <> 2 ORDER BY TITLE, NAME, ID DESC";
    std::vector<long> ids = SnapshotIds(sql);
    ASSERT_EQ((size_t)kRows / 5 * 4, ids.size());
    Ref<Recordset> list(Open(sql, adLockReadOnly, adUseServer));
    ASSERT_EQ((long)ids.size(), Count(list.get()));
    for (long p : {1L, 2400L, 1200L, 1199L, 60L}) {
        ASSERT_EQ(S_OK, list->put_AbsolutePosition(p));
        EXPECT_EQ(ids[p - 1], Long(list.get(), L"ID")) << "row " << p;
        EXPECT_NE(2, Long(list.get(), L"GRP"));
    }
}

TEST(KeyedRowsSql, KeepsTheConditionWholeAndLeavesOtherStatementsToASubquery)
{
    const struct {
        const wchar_t* sql;
        const wchar_t* expected;
    } cases[] = {
        {L"SELECT * FROM V ORDER BY NAME", L"SELECT * FROM V WHERE \"ID\" IN ("},
        // An OR inside the condition must not take the keys' term into one of its branches.
        {L"SELECT * FROM V WHERE A = 1 OR B = 2 ORDER BY NAME DESC",
         L"SELECT * FROM V WHERE (A = 1 OR B = 2) AND \"ID\" IN ("},
        {L"SELECT _ROWID_ AS X, * FROM T AS U WHERE (N = 'LIMIT 3')",
         L"SELECT _ROWID_ AS X, * FROM T AS U WHERE ((N = 'LIMIT 3')) AND \"ID\" IN ("},
        // The order decides which rows a LIMIT keeps; groups and joins are no rows of one source.
        {L"SELECT * FROM V ORDER BY A LIMIT 10", L""},
        {L"SELECT * FROM V WHERE A = 1 LIMIT 10", L""},
        {L"SELECT A, COUNT(*) FROM V GROUP BY A", L""},
        {L"SELECT * FROM V JOIN W ON V.A = W.A", L""},
        {L"SELECT * FROM (SELECT * FROM V)", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.expected), KeyedRowsSql(c.sql, L"\"ID\"")) << c.sql;
}

TEST(WithoutOrderBy, DropsOnlyTheStatementsClosingSort)
{
    EXPECT_EQ(L"SELECT * FROM V", WithoutOrderBy(L"SELECT * FROM V ORDER BY NAME"));
    EXPECT_EQ(L"SELECT * FROM V WHERE A = 1",
              WithoutOrderBy(L"SELECT * FROM V WHERE A = 1\n order  by \"NAME:1\" DESC, ID"));
    EXPECT_EQ(L"SELECT * FROM V", WithoutOrderBy(L"SELECT * FROM V"));
    // The order decides which rows a LIMIT keeps.
    EXPECT_EQ(L"SELECT * FROM V ORDER BY A LIMIT 10", WithoutOrderBy(L"SELECT * FROM V ORDER BY A LIMIT 10"));
    EXPECT_EQ(L"SELECT * FROM V ORDER BY A OFFSET 3", WithoutOrderBy(L"SELECT * FROM V ORDER BY A OFFSET 3"));
    // Sorts inside parentheses and words inside quotes belong to something else.
    EXPECT_EQ(L"SELECT * FROM (SELECT * FROM V ORDER BY A LIMIT 5) WHERE N = 'ORDER BY x'",
              WithoutOrderBy(L"SELECT * FROM (SELECT * FROM V ORDER BY A LIMIT 5) WHERE N = 'ORDER BY x'"));
    EXPECT_EQ(L"SELECT ID, ROW_NUMBER() OVER (ORDER BY NAME) FROM V",
              WithoutOrderBy(L"SELECT ID, ROW_NUMBER() OVER (ORDER BY NAME) FROM V ORDER BY 2"));
    EXPECT_EQ(L"SELECT \"ORDER\" FROM V", WithoutOrderBy(L"SELECT \"ORDER\" FROM V"));
}

}  // namespace

namespace {

TEST(KeysAreUnique, FindsARepeatAmongDenseAndSparseKeys)
{
    std::vector<long long> dense;
    for (long long k = 5000; k > 0; --k)
        dense.push_back(k * 3 % 5003);  // a permutation of part of 0..5002
    EXPECT_TRUE(KeysAreUnique(dense));
    dense.push_back(dense[1234]);
    EXPECT_FALSE(KeysAreUnique(dense));

    std::vector<long long> sparse = {1, 1000000000000LL, -7, 42, 99999999999LL};
    EXPECT_TRUE(KeysAreUnique(sparse));
    sparse.push_back(42);
    EXPECT_FALSE(KeysAreUnique(sparse));

    // The ends of the range, negative keys, the first and the last bit of a word.
    EXPECT_TRUE(KeysAreUnique({LLONG_MIN, LLONG_MAX, 0}));
    EXPECT_FALSE(KeysAreUnique({LLONG_MAX, LLONG_MIN, LLONG_MAX}));
    EXPECT_TRUE(KeysAreUnique({-64, -1, 0, 63, 64, 127}));
    EXPECT_FALSE(KeysAreUnique({-64, -1, 0, 63, 64, 127, 63}));
    EXPECT_FALSE(KeysAreUnique({-64, -1, 0, 63, 64, 127, -64}));
    EXPECT_TRUE(KeysAreUnique({}));
    EXPECT_TRUE(KeysAreUnique({7}));
    EXPECT_FALSE(KeysAreUnique({7, 7}));
}

}  // namespace
