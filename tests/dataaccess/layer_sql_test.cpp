#include "tests/dataaccess/adotest.h"

using namespace zdata;
using adotest::Ref;
using adotest::Var;

namespace {

// The program's own Jet SQL reaches SQLite through the layer's translation.
class LayerSqlTest : public adotest::LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        Exec(L"CREATE TABLE SPECIES (SYSID INTEGER PRIMARY KEY, NAME VARCHAR(60))");
        Exec(L"CREATE TABLE FEATURES (LOCID INTEGER PRIMARY KEY, NAME VARCHAR(60))");
        Exec(L"CREATE TABLE ZORNACOLLS (ID INTEGER PRIMARY KEY AUTOINCREMENT, SYSID INTEGER, FTRID INTEGER)");
        Exec(L"CREATE VIEW COLLECTVIEW AS SELECT T1.*, SPECIES.*, FEATURES.* FROM (ZORNACOLLS AS T1 "
             L"LEFT JOIN SPECIES ON SPECIES.SYSID = T1.SYSID) LEFT JOIN FEATURES ON FEATURES.LOCID = T1.FTRID");
        Exec(L"INSERT INTO SPECIES VALUES (1, 'Bufo bufo')");
        Exec(L"INSERT INTO SPECIES VALUES (2, 'Rana arvalis')");
        Exec(L"INSERT INTO FEATURES VALUES (1, 'Brno')");
        Exec(L"INSERT INTO FEATURES VALUES (2, 'Adamov')");
        Exec(L"INSERT INTO ZORNACOLLS (SYSID, FTRID) VALUES (1, 1)");
        Exec(L"INSERT INTO ZORNACOLLS (SYSID, FTRID) VALUES (1, 2)");
        Exec(L"INSERT INTO ZORNACOLLS (SYSID, FTRID) VALUES (2, 2)");
        Exec(L"INSERT INTO ZORNACOLLS (SYSID, FTRID) VALUES (2, 9)");  // no such locality
    }
};

TEST_F(LayerSqlTest, RecordsViewQueriesOfTheProgramRunAsWritten)
{
    Ref<Recordset> rs(Open(L"SELECT * FROM COLLECTVIEW WHERE T1.SYSID = 2 ORDER BY NAME:1", adLockReadOnly, adUseServer));
    ASSERT_EQ(2, Count(rs.get()));
    EXPECT_EQ(L"<null>", Text(rs.get(), L"NAME:1"));  // the record without its locality is listed
    rs->MoveNext();
    EXPECT_EQ(L"Adamov", Text(rs.get(), L"NAME:1"));
    EXPECT_EQ(L"Rana arvalis", Text(rs.get(), L"NAME"));
    Ref<Recordset> probe(Open(L"SELECT * FROM COLLECTVIEW WHERE 0 = 1", adLockReadOnly, adUseServer));
    Ref<Fields> fields;
    probe->get_Fields(fields.out());
    long n = 0;
    fields->get_Count(&n);
    EXPECT_EQ(7, n);
    EXPECT_TRUE(probe->IsBOF() && probe->IsEOF());
}

TEST_F(LayerSqlTest, MaxOfAnEmptyTableIsNull)
{
    Exec(L"DELETE FROM ZORNACOLLS");
    Ref<Recordset> rs(Open(L"SELECT MAX(ID) FROM ZORNACOLLS", adLockReadOnly, adUseServer));
    ASSERT_EQ(1, Count(rs.get()));
    EXPECT_EQ(L"<null>", Text(rs.get(), 0L));
    Exec(L"INSERT INTO ZORNACOLLS (ID, SYSID, FTRID) VALUES (41, 1, 1)");
    Ref<Recordset> again(Open(L"SELECT MAX(ID) FROM ZORNACOLLS", adLockReadOnly, adUseServer));
    EXPECT_EQ(L"41", Text(again.get(), 0L));
}

TEST_F(LayerSqlTest, LockedFileFailsWithAnErrorInsteadOfHanging)
{
    Ref<Connection> other(Connection::Create());
    ASSERT_EQ(S_OK, other->Open(adotest::ConnectionStringFor(path_).c_str()));
    ASSERT_EQ(S_OK, other->BeginTrans());
    ASSERT_EQ(S_OK, other->Execute(L"INSERT INTO SPECIES VALUES (3, 'Hyla arborea')"));
    EXPECT_TRUE(FAILED(conn_->Execute(L"INSERT INTO SPECIES VALUES (4, 'Pelobates fuscus')")));
    EXPECT_GE(ErrorCount(), 1);
    ASSERT_EQ(S_OK, other->RollbackTrans());
    EXPECT_EQ(S_OK, conn_->Execute(L"INSERT INTO SPECIES VALUES (4, 'Pelobates fuscus')"));
}

}  // namespace
