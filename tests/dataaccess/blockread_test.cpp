// A cursor that reads ahead in blocks of its own (CacheSize above 1) over a long read-only list:
// every value as a snapshot of the same statement has it, texts and blobs longer than the bound
// buffers and longer than their columns are declared included, after moves in any direction,
// under a filter, and after a requery.
#include <string>
#include <vector>

#include "tests/dataaccess/adotest.h"

using namespace zdata;
using adotest::Ref;

namespace {

constexpr long kRows = 2600;  // above the rows a list keeps whole: the list is a keyset

class BlockReadTest : public adotest::LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        Exec(L"CREATE TABLE REC (ID INTEGER PRIMARY KEY, NAME VARCHAR(10), NOTE TEXT, N INTEGER, R DOUBLE, "
             L"PIC BLOB, GRP INTEGER)");
        Exec(L"CREATE TABLE GRPS (GID INTEGER PRIMARY KEY, TITLE VARCHAR(8))");
        ASSERT_EQ(S_OK, conn_->BeginTrans());
        // Names past their declared 10 characters, Czech letters (more UTF-8 bytes than
        // characters), notes of 0 to 3,000 characters and NULLs, blobs beyond 256 bytes.
        Exec(L"WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 2600) "
             L"INSERT INTO REC SELECT x, 'Čáp žlutý ' || x, "
             L"CASE WHEN x % 7 = 0 THEN NULL ELSE substr(replace(hex(zeroblob(1500)), '00', 'ř' || x % 10), "
             L"1, (x * 37) % 3001) END, "
             L"CASE WHEN x % 5 = 0 THEN NULL ELSE x * 3 END, x / 4.0, "
             L"CASE WHEN x % 3 = 0 THEN randomblob(100 + x % 700) END, x % 4 FROM c");
        Exec(L"INSERT INTO GRPS VALUES (0, 'nula'), (1, 'jedna'), (2, 'dvě stě dvacet dva'), (3, NULL)");
        ASSERT_EQ(S_OK, conn_->CommitTrans());
        Exec(L"CREATE VIEW RECVIEW AS SELECT T1.*, GRPS.* FROM REC AS T1 LEFT JOIN GRPS ON GRPS.GID = T1.GRP");
    }

    // Every value of the current row as text (blobs as their length and first byte).
    static std::wstring RowText(Recordset* rs)
    {
        Ref<Fields> fields;
        rs->get_Fields(fields.out());
        long n = 0;
        fields->get_Count(&n);
        std::wstring out;
        for (long i = 0; i < n; ++i) {
            Ref<Field> f;
            fields->Item(i, f.out());
            adotest::Var v;
            if (FAILED(f->get_Value(&v)))
                return L"<unreadable>";
            if (v.v.vt == (VT_ARRAY | VT_UI1)) {
                out += L"blob " + std::to_wstring(v.v.parray->rgsabound[0].cElements) + L" " +
                       std::to_wstring(((BYTE*)v.v.parray->pvData)[0]);
            } else if (v.v.vt == VT_NULL) {
                out += L"<null>";
            } else {
                adotest::Var t;
                VariantChangeType(&t, &v, 0, VT_BSTR);
                out += t.v.bstrVal ? t.v.bstrVal : L"";
            }
            out += L"|";
        }
        return out;
    }
    std::vector<std::wstring> Snapshot(const wchar_t* sql)
    {
        Ref<Recordset> full(Open(sql, adLockReadOnly, adUseClient));
        std::vector<std::wstring> rows;
        for (full->MoveFirst(); !full->IsEOF(); full->MoveNext())
            rows.push_back(RowText(full.get()));
        return rows;
    }
    Recordset* BlockCursor(Recordset* list, long rows)
    {
        Recordset* clone = nullptr;
        EXPECT_EQ(S_OK, list->Clone(&clone));
        EXPECT_EQ(S_OK, clone->put_CacheSize(rows));
        long size = 0;
        clone->get_CacheSize(&size);
        EXPECT_EQ(rows, size);
        return clone;
    }
};

const wchar_t kList[] = L"SELECT * FROM RECVIEW ORDER BY N DESC, ID";

TEST_F(BlockReadTest, AForwardWalkReadsWhatASnapshotHolds)
{
    std::vector<std::wstring> rows = Snapshot(kList);
    ASSERT_EQ((size_t)kRows, rows.size());
    Ref<Recordset> list(Open(kList, adLockReadOnly, adUseServer));
    for (long block : {1L, 2L, 256L, 257L, 1000L, 5000L}) {
        Ref<Recordset> walk(BlockCursor(list.get(), block));
        size_t i = 0;
        for (walk->MoveFirst(); !walk->IsEOF(); walk->MoveNext(), ++i) {
            ASSERT_LT(i, rows.size());
            ASSERT_TRUE(RowText(walk.get()) == rows[i]) << "row " << i << " in blocks of " << block;
        }
        EXPECT_EQ(rows.size(), i);
    }
}

// Blocks of rows in their table's order are read as ranges of keys, with the rows a filter
// leaves out between them read and passed over.
TEST_F(BlockReadTest, RangesOfKeysReadTheRowsOfTheView)
{
    const wchar_t* list = L"SELECT * FROM RECVIEW ORDER BY ID";
    for (const wchar_t* filter : {L"", L"GRP <> 3", L"GRP = 2"}) {
        std::wstring where = *filter ? std::wstring(L" WHERE ") + filter : L"";
        std::vector<std::wstring> rows = Snapshot((L"SELECT * FROM RECVIEW" + where + L" ORDER BY ID").c_str());
        Ref<Recordset> all(Open(list, adLockReadOnly, adUseServer));
        Ref<Recordset> walk(BlockCursor(all.get(), 400));
        ASSERT_EQ(S_OK, walk->put_Filter(filter));
        size_t i = 0;
        for (walk->MoveFirst(); !walk->IsEOF(); walk->MoveNext(), ++i)
            ASSERT_TRUE(i < rows.size() && RowText(walk.get()) == rows[i]) << "row " << i << " with " << filter;
        EXPECT_EQ(rows.size(), i);
    }
}

TEST_F(BlockReadTest, JumpsBackwardsAndFiltersReadTheirOwnRows)
{
    std::vector<std::wstring> rows = Snapshot(kList);
    Ref<Recordset> list(Open(kList, adLockReadOnly, adUseServer));
    Ref<Recordset> walk(BlockCursor(list.get(), 300));
    for (long p : {2600L, 1L, 1500L, 1499L, 301L, 300L, 2300L, 2L}) {
        ASSERT_EQ(S_OK, walk->put_AbsolutePosition(p));
        EXPECT_TRUE(RowText(walk.get()) == rows[p - 1]) << "row " << p;
    }
    for (long p = 900; p > 500; --p) {
        ASSERT_EQ(S_OK, walk->put_AbsolutePosition(p));
        ASSERT_TRUE(RowText(walk.get()) == rows[p - 1]) << "row " << p;
    }
    std::vector<std::wstring> filtered = Snapshot(L"SELECT * FROM RECVIEW WHERE GRP = 2 ORDER BY N DESC, ID");
    ASSERT_EQ(S_OK, walk->put_Filter(L"GRP = 2"));
    size_t i = 0;
    for (walk->MoveFirst(); !walk->IsEOF(); walk->MoveNext(), ++i)
        ASSERT_TRUE(RowText(walk.get()) == filtered[i]) << "filtered row " << i;
    EXPECT_EQ(filtered.size(), i);
}

TEST_F(BlockReadTest, ARequeryForgetsTheBlockAndTheListsCursorIsUntouched)
{
    Ref<Recordset> list(Open(L"SELECT * FROM REC ORDER BY ID", adLockReadOnly, adUseServer));
    Ref<Recordset> walk(BlockCursor(list.get(), 500));
    ASSERT_EQ(S_OK, walk->put_AbsolutePosition(10));
    EXPECT_EQ(L"Čáp žlutý 10", Text(walk.get(), L"NAME"));
    ASSERT_EQ(S_OK, list->put_AbsolutePosition(2000));
    Exec(L"UPDATE REC SET NAME = 'nový' WHERE ID = 10");
    ASSERT_EQ(S_OK, walk->put_AbsolutePosition(10));
    EXPECT_EQ(L"Čáp žlutý 10", Text(walk.get(), L"NAME"));  // a cursor's rows stay as read
    ASSERT_EQ(S_OK, walk->Requery());
    ASSERT_EQ(S_OK, walk->put_AbsolutePosition(10));
    EXPECT_EQ(L"nový", Text(walk.get(), L"NAME"));
    long at = 0;
    list->get_AbsolutePosition(&at);
    EXPECT_EQ(2000, at);
    EXPECT_EQ(2000, Long(list.get(), L"ID"));
    EXPECT_NE(S_OK, walk->put_CacheSize(0));
}

}  // namespace
