#include "tests/dataaccess/adotest.h"

using namespace zdata;
using adotest::Ref;
using adotest::Var;

namespace {

class RecordsetBasics : public adotest::LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        Exec(L"CREATE TABLE SPECIES (SYSID INTEGER PRIMARY KEY, NAME VARCHAR(60) COLLATE NOCASE, "
             L"YEAR INTEGER, PAIRED BOOLEAN, SEEN DATETIME, WEIGHT DOUBLE, NOTE TEXT, PICTURE BLOB)");
        Exec(L"INSERT INTO SPECIES (SYSID, NAME, YEAR, PAIRED) VALUES (1, 'Bufo bufo', 1758, -1)");
        Exec(L"INSERT INTO SPECIES (SYSID, NAME, YEAR, PAIRED) VALUES (2, 'Rana temporaria', 1758, 0)");
        Exec(L"INSERT INTO SPECIES (SYSID, NAME, YEAR) VALUES (3, 'Čolek obecný', 1768)");
    }
};

TEST_F(RecordsetBasics, ReadsRowsInOrderWithTypedValues)
{
    Ref<Recordset> rs(Open(L"SELECT * FROM SPECIES ORDER BY SYSID"));
    EXPECT_EQ(3, Count(rs.get()));
    EXPECT_FALSE(rs->IsBOF());
    EXPECT_EQ(L"Bufo bufo", Text(rs.get(), L"NAME"));
    EXPECT_EQ(VT_I4, Type(rs.get(), L"SYSID"));
    EXPECT_EQ(VT_BOOL, Type(rs.get(), L"PAIRED"));
    EXPECT_EQ(VT_NULL, Type(rs.get(), L"NOTE"));
    EXPECT_EQ((std::vector<std::wstring>{L"Bufo bufo", L"Rana temporaria", L"Čolek obecný"}),
              Column(rs.get(), L"name"));
    EXPECT_TRUE(rs->IsEOF());
}

}  // namespace
