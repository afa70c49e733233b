// What the structure editor needs of the layer: a move stores the row being edited, nested
// transactions roll back only their own work (schema changes included), the foreign keys of the
// file as a schema recordset, and the statement seam that counts and refuses statements.
#include <string>
#include <vector>
#include "dataaccess/enclose.h"
#include "tests/dataaccess/adotest.h"

using namespace zdata;
using adotest::Ref;
using adotest::Var;

namespace {

class StructureLayerTest : public adotest::LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        Exec(L"CREATE TABLE L (NAME VARCHAR(20) NOT NULL COLLATE NOCASE PRIMARY KEY)");
        Exec(L"CREATE TABLE T (ID INTEGER PRIMARY KEY, POS INTEGER, "
             L"KIND VARCHAR(20) REFERENCES L(NAME) ON UPDATE CASCADE ON DELETE CASCADE)");
        Exec(L"INSERT INTO L VALUES ('a'), ('b')");
        Exec(L"INSERT INTO T VALUES (1, 30, 'a'), (2, 10, 'b'), (3, 20, NULL)");
    }
    void TearDown() override
    {
        SetStatementHook(nullptr);
        LayerTest::TearDown();
    }
    std::vector<std::wstring> Positions()
    {
        Ref<Recordset> rs(Open(L"SELECT POS FROM T ORDER BY ID", adLockReadOnly));
        return Column(rs.get(), L"POS");
    }
    std::wstring Tables()
    {
        Ref<Recordset> rs(Open(L"SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name",
                               adLockReadOnly));
        std::wstring names;
        for (const std::wstring& n : Column(rs.get(), L"name"))
            names += n + L" ";
        return names;
    }
};

TEST_F(StructureLayerTest, AMoveStoresTheEditedRowAndARefusedStoreKeepsTheEdit)
{
    // Numbering rows 1, 2, 3 by writing each and moving on, as the position renumbering does.
    Ref<Recordset> rs(Open(L"SELECT * FROM T ORDER BY POS"));
    long n = 0;
    while (!rs->IsEOF()) {
        ASSERT_EQ(S_OK, PutLong(rs.get(), L"POS", ++n));
        ASSERT_EQ(S_OK, rs->MoveNext());
    }
    EXPECT_EQ((std::vector<std::wstring>{L"3", L"1", L"2"}), Positions());
    long mode = -1;
    rs->get_EditMode(&mode);
    EXPECT_EQ(adEditNone, mode);

    // Every kind of move, and AddNew, stores first.
    struct Move {
        const char* name;
        HRESULT (*go)(Recordset*);
    };
    const Move moves[] = {{"MoveFirst", [](Recordset* r) { return r->MoveFirst(); }},
                          {"MoveLast", [](Recordset* r) { return r->MoveLast(); }},
                          {"MovePrevious", [](Recordset* r) { return r->MovePrevious(); }},
                          {"Move", [](Recordset* r) { return r->Move(-1); }},
                          {"AbsolutePosition", [](Recordset* r) { return r->put_AbsolutePosition(1); }},
                          {"AddNew", [](Recordset* r) { return r->AddNew(); }}};
    for (const Move& m : moves) {
        Ref<Recordset> edit(Open(L"SELECT * FROM T WHERE ID = 2"));
        ASSERT_EQ(S_OK, PutLong(edit.get(), L"POS", 77));
        EXPECT_EQ(S_OK, m.go(edit.get())) << m.name;
        EXPECT_EQ(L"77", Positions()[1]) << m.name;
        edit->CancelUpdate();
        Exec(L"UPDATE T SET POS = 1 WHERE ID = 2");
    }

    // A store the file refuses: the move fails, the cursor stays and the edit is still pending.
    Ref<Recordset> bad(Open(L"SELECT * FROM T ORDER BY ID"));
    ASSERT_EQ(S_OK, PutText(bad.get(), L"KIND", L"none such"));
    EXPECT_TRUE(FAILED(bad->MoveNext()));
    EXPECT_GE(ErrorCount(), 1);
    bad->get_EditMode(&mode);
    EXPECT_EQ(adEditInProgress, mode);
    EXPECT_EQ(1, Long(bad.get(), L"ID"));
    ASSERT_EQ(S_OK, bad->CancelUpdate());
    ASSERT_EQ(S_OK, bad->MoveNext());
    EXPECT_EQ(2, Long(bad.get(), L"ID"));
}

TEST_F(StructureLayerTest, NestedTransactionsRollBackOnlyTheirOwnWork)
{
    long level = 0;
    ASSERT_EQ(S_OK, conn_->BeginTrans(&level));
    EXPECT_EQ(1, level);
    Exec(L"UPDATE T SET POS = 1 WHERE ID = 1");
    ASSERT_EQ(S_OK, conn_->BeginTrans(&level));
    EXPECT_EQ(2, level);
    EXPECT_EQ(2, conn_->TransactionLevel());
    // Schema changes and rows of the inner one go; the outer one's stay.
    Exec(L"CREATE TABLE X (A INTEGER)");
    Exec(L"ALTER TABLE T DROP COLUMN POS");
    ASSERT_EQ(S_OK, conn_->RollbackTrans());
    EXPECT_EQ(1, conn_->TransactionLevel());
    EXPECT_EQ(L"L T ", Tables());
    EXPECT_EQ((std::vector<std::wstring>{L"1", L"10", L"20"}), Positions());
    // A committed inner one is still undone with the outer one.
    ASSERT_EQ(S_OK, conn_->BeginTrans(&level));
    Exec(L"UPDATE T SET POS = 2 WHERE ID = 2");
    ASSERT_EQ(S_OK, conn_->CommitTrans());
    EXPECT_EQ(L"2", Positions()[1]);
    ASSERT_EQ(S_OK, conn_->RollbackTrans());
    EXPECT_EQ(0, conn_->TransactionLevel());
    EXPECT_EQ((std::vector<std::wstring>{L"30", L"10", L"20"}), Positions());
    EXPECT_TRUE(FAILED(conn_->RollbackTrans()));

    // Three deep, committed all the way: everything stays.
    ASSERT_EQ(S_OK, conn_->BeginTrans());
    ASSERT_EQ(S_OK, conn_->BeginTrans());
    ASSERT_EQ(S_OK, conn_->BeginTrans(&level));
    EXPECT_EQ(3, level);
    Exec(L"CREATE TABLE Y (A INTEGER)");
    for (int k = 0; k < 3; ++k)
        ASSERT_EQ(S_OK, conn_->CommitTrans()) << k;
    EXPECT_EQ(L"L T Y ", Tables());
}

TEST_F(StructureLayerTest, TheForeignKeySchemaListsEveryKeyWithoutAName)
{
    Ref<Recordset> keys;
    ASSERT_EQ(S_OK, conn_->OpenSchema(adSchemaForeignKeys, keys.out())) << FirstError().c_str();
    ASSERT_EQ(1, Count(keys.get()));
    EXPECT_EQ(L"L", Text(keys.get(), L"PK_TABLE_NAME"));
    EXPECT_EQ(L"NAME", Text(keys.get(), L"PK_COLUMN_NAME"));
    EXPECT_EQ(L"T", Text(keys.get(), L"FK_TABLE_NAME"));
    EXPECT_EQ(L"KIND", Text(keys.get(), L"FK_COLUMN_NAME"));
    EXPECT_EQ(L"CASCADE", Text(keys.get(), L"UPDATE_RULE"));
    EXPECT_EQ(L"CASCADE", Text(keys.get(), L"DELETE_RULE"));
    EXPECT_EQ(VT_NULL, Type(keys.get(), L"FK_NAME"));
    // The filter a structure save sets, with a name that needs its apostrophe doubled.
    Exec(L"CREATE TABLE \"L'2\" (NAME VARCHAR(5) PRIMARY KEY)");
    Exec(L"ALTER TABLE T ADD \"K'2\" VARCHAR(5) REFERENCES \"L'2\"");
    ASSERT_EQ(S_OK, conn_->OpenSchema(adSchemaForeignKeys, keys.out()));
    EXPECT_EQ(2, Count(keys.get()));
    std::wstring filter = L"PK_TABLE_NAME = " + Enclose(L"L'2", L'\'', L'\'') +
                          L" AND PK_COLUMN_NAME = 'NAME' AND FK_TABLE_NAME = 'T' AND FK_COLUMN_NAME = " +
                          Enclose(L"K'2", L'\'', L'\'');
    ASSERT_EQ(S_OK, keys->put_Filter(filter.c_str()));
    ASSERT_EQ(1, Count(keys.get()));
    EXPECT_EQ(L"K'2", Text(keys.get(), L"FK_COLUMN_NAME"));
    Ref<Recordset> other;
    EXPECT_TRUE(FAILED(conn_->OpenSchema(adSchemaColumns, other.out())));
    EXPECT_FALSE(other);
}

TEST_F(StructureLayerTest, TheStatementSeamSeesEachCallersStatementAndCanRefuseIt)
{
    std::vector<std::wstring> seen;
    SetStatementHook([&](const std::wstring& sql, std::wstring* description) {
        seen.push_back(sql);
        if (sql.find(L"REFUSE ME") != std::wstring::npos) {
            *description = L"Refused by the test.";
            return E_FAIL;
        }
        return S_OK;
    });
    Exec(L"UPDATE T SET POS = 5 WHERE ID = 3");
    Ref<Recordset> rs(Open(L"SELECT * FROM T WHERE ID = 3"));
    ASSERT_EQ(S_OK, PutLong(rs.get(), L"POS", 6));
    ASSERT_EQ(S_OK, rs->Update());
    Ref<Command> cmd(Command::Create());
    cmd->put_ActiveConnection(conn_);
    cmd->put_CommandText(L"DELETE FROM T WHERE ID = ?");
    Var id;
    id.v.vt = VT_I4;
    id.v.lVal = 99;
    ASSERT_EQ(S_OK, cmd->Execute(nullptr, &id.v, adExecuteNoRecords));
    ASSERT_EQ(4u, seen.size());
    EXPECT_EQ(L"UPDATE T SET POS = 5 WHERE ID = 3", seen[0]);
    EXPECT_EQ(L"SELECT * FROM T WHERE ID = 3", seen[1]);
    EXPECT_EQ(0u, seen[2].find(L"UPDATE \"T\" SET \"POS\"=?"));
    EXPECT_EQ(L"DELETE FROM T WHERE ID = ?", seen[3]);

    // Refused: the call fails with the hook's text and nothing reaches the file.
    EXPECT_EQ(E_FAIL, conn_->Execute(L"UPDATE T SET POS = 0 /* REFUSE ME */"));
    EXPECT_EQ(L"Refused by the test.", FirstError());
    Ref<Recordset> refused(Recordset::Create());
    EXPECT_TRUE(FAILED(refused->Open(L"SELECT 'REFUSE ME'", conn_)));
    SetStatementHook(nullptr);
    EXPECT_EQ((std::vector<std::wstring>{L"30", L"10", L"6"}), Positions());
}

}  // namespace
