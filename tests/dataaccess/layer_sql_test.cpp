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

namespace {

TEST_F(LayerSqlTest, TheProgramsLiteratureViewTextMakesAViewWithDistinctNames)
{
    Exec(L"CREATE TABLE LITERATURE (ID INTEGER PRIMARY KEY AUTOINCREMENT, TITLE VARCHAR(200), "
         L"FIRSTAUTHOR INTEGER, JOURNALID INTEGER, EDITOR INTEGER)");
    Exec(L"CREATE TABLE LITAUTHORS (ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME VARCHAR(60))");
    Exec(L"CREATE TABLE JOURNALS (ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME VARCHAR(60))");
    Exec(L"CREATE TABLE EDITORS (ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME VARCHAR(60))");
    Exec(L"INSERT INTO LITAUTHORS (NAME) VALUES ('O''Brien')");
    Exec(L"INSERT INTO JOURNALS (NAME) VALUES ('Acta')");
    Exec(L"INSERT INTO LITERATURE (TITLE, FIRSTAUTHOR, JOURNALID, EDITOR) VALUES ('Žáby', 1, 1, 7)");
    Exec(L"INSERT INTO LITERATURE (TITLE, FIRSTAUTHOR, JOURNALID, EDITOR) VALUES ('Čolci', 9, 9, 9)");
    Exec(L"CREATE VIEW LITVIEW AS SELECT T1.*, T2.NAME, T3.NAME, T4.NAME FROM EDITORS AS T2 RIGHT JOIN "
         L"(JOURNALS AS T3 RIGHT JOIN (LITAUTHORS AS T4 RIGHT JOIN LITERATURE AS T1 ON "
         L"T4.ID=T1.FIRSTAUTHOR) ON T3.ID=T1.JOURNALID) ON T2.ID=T1.EDITOR;");
    Ref<Recordset> probe(Open(L"SELECT * FROM LITVIEW WHERE 0 = 1", adLockReadOnly, adUseServer));
    Ref<Fields> fields;
    probe->get_Fields(fields.out());
    std::vector<std::wstring> names;
    long n = 0;
    fields->get_Count(&n);
    for (long i = 0; i < n; ++i) {
        Ref<Field> f;
        fields->Item(i, f.out());
        BSTR b = nullptr;
        f->get_Name(&b);
        names.push_back(b);
        SysFreeString(b);
    }
    EXPECT_EQ((std::vector<std::wstring>{L"ID", L"TITLE", L"FIRSTAUTHOR", L"JOURNALID", L"EDITOR",
                                         L"NAME", L"NAME:1", L"NAME:2"}),
              names);
    // Every publication is listed, also without author, periodical or publisher.
    Ref<Recordset> list(Open(L"SELECT * FROM LITVIEW ORDER BY NAME:2 DESC, TITLE", adLockReadOnly, adUseServer));
    ASSERT_EQ(2, Count(list.get()));
    EXPECT_EQ(L"Žáby", Text(list.get(), L"TITLE"));
    EXPECT_EQ(L"O'Brien", Text(list.get(), L"NAME:2"));
    EXPECT_EQ(L"Acta", Text(list.get(), L"NAME:1"));
    EXPECT_EQ(L"<null>", Text(list.get(), L"NAME"));
}

}  // namespace
