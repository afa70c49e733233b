// Filters whose terms joined by AND include "column = value" are answered from an index of that
// column (integers exactly, texts by their upper-case form) and then checked as a whole: the rows
// are those a scan gives, in the same order, Czech case ignored, also after rows were added.
#include <algorithm>

#include "tests/dataaccess/adotest.h"

using namespace zdata;
using adotest::Ref;

namespace {

class FilterIndexTest : public adotest::LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        Exec(L"CREATE TABLE TREE (ID INTEGER PRIMARY KEY, PARENT INTEGER, LEVEL INTEGER, NAME VARCHAR(64) COLLATE NOCASE)");
        Exec(L"INSERT INTO TREE VALUES (1, 0, 1, 'Čeleď'), (2, 1, 2, 'Rod'), (3, 1, 2, 'rod'), (4, 1, 3, 'Rod'), "
             L"(5, 2, 2, 'Rod'), (6, 1, 2, 'd''Orbigny'), (7, 1, 2, 'ROD'), (8, 1, 2, NULL)");
    }
    // The IDs a filter leaves, in the recordset's order.
    std::vector<std::wstring> Ids(Recordset* rs, const wchar_t* filter)
    {
        EXPECT_EQ(S_OK, rs->put_Filter(filter)) << filter;
        return Column(rs, L"ID");
    }
};

TEST_F(FilterIndexTest, AndTermsAnswerFromAnIndexAsAScanWould)
{
    Ref<Recordset> rs(Open(L"SELECT * FROM TREE ORDER BY ID"));
    struct Case {
        const wchar_t* filter;
        std::vector<std::wstring> ids;
    };
    const Case cases[] = {
        {L"PARENT = 1 AND LEVEL = 2 AND NAME = 'rod'", {L"3", L"7", L"2"}},
        {L"NAME = 'čeleď'", {L"1"}},
        {L"NAME = 'ČELEĎ' AND PARENT = 0", {L"1"}},
        {L"PARENT = 1 AND NAME = 'd''orbigny'", {L"6"}},
        {L"PARENT = 1 AND NAME = 'Rod' AND LEVEL = 3", {L"4"}},
        {L"PARENT = 9 AND NAME = 'Rod'", {}},
        {L"NAME = 'Rod' OR PARENT = 2", {L"2", L"3", L"4", L"5", L"7"}},
        {L"PARENT = 1 AND NAME <> 'Rod'", {L"6"}},
    };
    for (const Case& c : cases) {
        std::vector<std::wstring> ids = Ids(rs.get(), c.filter);
        std::sort(ids.begin(), ids.end());
        std::vector<std::wstring> expected = c.ids;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, ids) << c.filter;
    }
    // A row added under a filter is found by the next one: the indexes are built again.
    ASSERT_EQ(S_OK, rs->AddNew());
    PutLong(rs.get(), L"ID", 9);
    PutLong(rs.get(), L"PARENT", 1);
    PutLong(rs.get(), L"LEVEL", 2);
    PutText(rs.get(), L"NAME", L"Rod");
    ASSERT_EQ(S_OK, rs->Update()) << FirstError().c_str();
    EXPECT_EQ(4u, Ids(rs.get(), L"PARENT = 1 AND LEVEL = 2 AND NAME = 'ROD'").size());
    EXPECT_EQ((std::vector<std::wstring>{L"9"}), Ids(rs.get(), L"ID = 9 AND NAME = 'rod'"));
}

}  // namespace
