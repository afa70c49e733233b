// The statements a connection keeps prepared and runs again: what changes between two runs of
// one text (the schema, the values, a failure, a rolled-back savepoint, a reconnect) must show
// in the second run exactly as if it had been prepared anew.
#include "tests/dataaccess/adotest.h"

using namespace zdata;
using adotest::Ref;
using adotest::Var;

namespace {

class StatementReuseTest : public adotest::LayerTest {
protected:
    void SetUp() override
    {
        adotest::LayerTest::SetUp();
        Exec(L"CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME TEXT UNIQUE, N INTEGER, DATA BLOB)");
    }

    // Runs the command with the values given for its markers (a Command's own array form).
    HRESULT Run(Command* cmd, std::vector<VARIANT*> values)
    {
        SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, (ULONG)values.size());
        for (LONG i = 0; i < (LONG)values.size(); ++i)
            SafeArrayPutElement(sa, &i, values[(size_t)i]);
        Var all;
        all.v.vt = VT_ARRAY | VT_VARIANT;
        all.v.parray = sa;
        return cmd->Execute(nullptr, &all.v, adExecuteNoRecords, nullptr);
    }

    Command* NewCommand(const wchar_t* text)
    {
        Command* cmd = Command::Create();
        cmd->put_ActiveConnection(conn_);
        cmd->put_CommandText(text);
        return cmd;
    }

    // The rows of T as "NAME|N|hex(DATA)" in ID order.
    std::vector<std::wstring> Rows()
    {
        Ref<Recordset> rs(Open(L"SELECT NAME || '|' || ifnull(N, 'null') || '|' || CASE WHEN DATA IS NULL THEN 'null' ELSE hex(DATA) END AS R "
                               L"FROM T ORDER BY ID"));
        return Column(rs.get(), L"R");
    }

    static void SetText(Var& v, const std::wstring& text) { Var::Set(&v.v, text.c_str()); }
    static void SetLong(Var& v, long n)
    {
        VariantClear(&v.v);
        v.v.vt = VT_I4;
        v.v.lVal = n;
    }
    static void SetNull(Var& v)
    {
        VariantClear(&v.v);
        v.v.vt = VT_NULL;
    }
    static void SetBytes(Var& v, std::vector<BYTE> bytes)
    {
        VariantClear(&v.v);
        SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, (ULONG)bytes.size());
        if (!bytes.empty())
            memcpy(sa->pvData, bytes.data(), bytes.size());
        v.v.vt = VT_ARRAY | VT_UI1;
        v.v.parray = sa;
    }
};

// One text run again with values of other kinds and lengths: each run writes its own values,
// none of the previous run's binding shows through (a longer text after a short one, a NULL
// after a number, no bytes after some).
TEST_F(StatementReuseTest, EachRunBindsItsOwnValues)
{
    Ref<Command> cmd(NewCommand(L"INSERT INTO T (NAME, N, DATA) VALUES (?, ?, ?)"));
    struct Case {
        std::wstring name;
        bool nullN;
        long n;
        std::vector<BYTE> data;
        const wchar_t* expected;
    } cases[] = {
        {L"a", false, 1, {0x01, 0x02}, L"a|1|0102"},
        {L"a much longer name than the first", true, 0, {0xFF}, L"a much longer name than the first|null|FF"},
        {L"b", false, -7, {}, L"b|-7|"},
        {L"č", false, 2147483647, {0x00, 0x10, 0x00}, L"č|2147483647|001000"},
    };
    for (const Case& c : cases) {
        Var name, n, data;
        SetText(name, c.name);
        if (c.nullN)
            SetNull(n);
        else
            SetLong(n, c.n);
        SetBytes(data, c.data);
        ASSERT_EQ(S_OK, Run(cmd.get(), {&name.v, &n.v, &data.v})) << FirstError().c_str();
    }
    std::vector<std::wstring> rows = Rows();
    ASSERT_EQ(4u, rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(cases[i].expected, rows[i]) << i;
}

// A run that fails (a duplicate name) reports the driver's reason and leaves no broken statement
// behind: the same text then runs well, through a Command, the connection's Execute and a
// recordset's AddNew alike.
TEST_F(StatementReuseTest, FailedRunThenGoodRun)
{
    Exec(L"INSERT INTO T (NAME, N) VALUES ('taken', 1)");
    Ref<Command> cmd(NewCommand(L"INSERT INTO T (NAME, N) VALUES (?, 2)"));
    Var name;
    SetText(name, L"taken");
    EXPECT_TRUE(FAILED(Run(cmd.get(), {&name.v})));
    EXPECT_NE(std::wstring::npos, FirstError().find(L"UNIQUE")) << FirstError().c_str();
    SetText(name, L"free");
    EXPECT_EQ(S_OK, Run(cmd.get(), {&name.v})) << FirstError().c_str();

    const wchar_t* literal = L"INSERT INTO T (NAME, N) VALUES ('again', 3)";
    EXPECT_EQ(S_OK, conn_->Execute(literal, nullptr, adExecuteNoRecords, nullptr));
    EXPECT_TRUE(FAILED(conn_->Execute(literal, nullptr, adExecuteNoRecords, nullptr)));
    Exec(L"DELETE FROM T WHERE NAME = 'again'");
    EXPECT_EQ(S_OK, conn_->Execute(literal, nullptr, adExecuteNoRecords, nullptr)) << FirstError().c_str();

    Ref<Recordset> rs(Open(L"SELECT NAME, N FROM T"));
    for (const wchar_t* added : {L"taken", L"last"}) {
        ASSERT_EQ(S_OK, rs->AddNew());
        PutText(rs.get(), L"NAME", added);
        PutLong(rs.get(), L"N", 4);
        HRESULT hr = rs->Update();
        if (wcscmp(added, L"taken") == 0) {
            EXPECT_TRUE(FAILED(hr));
            rs->CancelUpdate();
        } else {
            EXPECT_EQ(S_OK, hr) << FirstError().c_str();
            EXPECT_EQ(L"last", Text(rs.get(), L"NAME"));
        }
    }
    EXPECT_EQ((std::vector<std::wstring>{L"taken|1|null", L"free|2|null", L"again|3|null", L"last|4|null"}), Rows());
}

// A statement prepared before the table changed runs against the table as it is now: after a
// column is added, after the table is made anew with its columns in another order, after it is
// dropped (the run fails) and made again.
TEST_F(StatementReuseTest, SchemaChangeBetweenRuns)
{
    Ref<Command> cmd(NewCommand(L"INSERT INTO T (NAME, N) VALUES (?, ?)"));
    Ref<Recordset> rs;
    auto insert = [&](const wchar_t* name, long n) {
        Var a, b;
        SetText(a, name);
        SetLong(b, n);
        return Run(cmd.get(), {&a.v, &b.v});
    };
    ASSERT_EQ(S_OK, insert(L"before", 1));
    // A row added through a recordset before the change.
    rs.reset(Open(L"SELECT * FROM T ORDER BY ID"));
    ASSERT_EQ(S_OK, rs->AddNew());
    PutText(rs.get(), L"NAME", L"read back before");
    ASSERT_EQ(S_OK, rs->Update()) << FirstError().c_str();
    rs.reset();
    Exec(L"ALTER TABLE T ADD COLUMN EXTRA TEXT DEFAULT 'x'");
    ASSERT_EQ(S_OK, insert(L"added", 2)) << FirstError().c_str();
    rs.reset(Open(L"SELECT * FROM T ORDER BY ID"));
    Ref<Fields> fields;
    rs->get_Fields(fields.out());
    long columns = 0;
    fields->get_Count(&columns);
    EXPECT_EQ(5, columns);
    ASSERT_EQ(S_OK, rs->AddNew());
    PutText(rs.get(), L"NAME", L"through the recordset");
    ASSERT_EQ(S_OK, rs->Update()) << FirstError().c_str();
    EXPECT_EQ(L"x", Text(rs.get(), L"EXTRA"));  // the new row read back with the new column
    rs.reset();

    Exec(L"DROP TABLE T");
    EXPECT_TRUE(FAILED(insert(L"gone", 3)));
    Exec(L"CREATE TABLE T (N INTEGER, NAME TEXT, ID INTEGER PRIMARY KEY, DATA BLOB)");
    ASSERT_EQ(S_OK, insert(L"remade", 4)) << FirstError().c_str();
    rs.reset(Open(L"SELECT * FROM T"));
    EXPECT_EQ(L"remade", Text(rs.get(), L"NAME"));
    EXPECT_EQ(4, Long(rs.get(), L"N"));
}

// The same on a table with a trigger, whose new rows are read back from the table (a plain
// table's are not): the read-back kept prepared from before the column was added reads the next
// new row with the new column, and with what the trigger wrote.
TEST_F(StatementReuseTest, SchemaChangeBetweenReadBacksOfATableWithATrigger)
{
    Exec(L"CREATE TABLE S (ID INTEGER PRIMARY KEY, NAME TEXT, N INTEGER, STAMP INTEGER)");
    Exec(L"CREATE TRIGGER S_STAMP AFTER INSERT ON S BEGIN UPDATE S SET STAMP = NEW.N * 7 WHERE ID = NEW.ID; END");
    // Adds a row through a recordset of the whole table; the recordset, on the new row.
    auto add = [&](const wchar_t* name, long n) {
        Recordset* rs = Open(L"SELECT * FROM S ORDER BY ID");
        EXPECT_EQ(S_OK, rs->AddNew());
        PutText(rs, L"NAME", name);
        PutLong(rs, L"N", n);
        EXPECT_EQ(S_OK, rs->Update()) << FirstError().c_str();
        return rs;
    };
    {
        Ref<Recordset> rs(add(L"before", 1));
        EXPECT_EQ(7, Long(rs.get(), L"STAMP"));
    }
    Exec(L"ALTER TABLE S ADD COLUMN EXTRA TEXT DEFAULT 'x'");
    Ref<Recordset> rs(add(L"after", 2));
    EXPECT_EQ(L"after", Text(rs.get(), L"NAME"));
    EXPECT_EQ(14, Long(rs.get(), L"STAMP"));
    EXPECT_EQ(L"x", Text(rs.get(), L"EXTRA"));
}

// Rows written inside a savepoint that is rolled back are gone, and the statements that wrote
// them (and the savepoint's own) work on in the same transaction and the next ones.
TEST_F(StatementReuseTest, RolledBackSavepointKeepsStatementsUsable)
{
    Ref<Command> cmd(NewCommand(L"INSERT INTO T (NAME, N) VALUES (?, ?)"));
    Ref<Recordset> rs(Open(L"SELECT NAME, N FROM T"));
    auto both = [&](const std::wstring& name, long n) {
        Var a, b;
        SetText(a, name);
        SetLong(b, n);
        ASSERT_EQ(S_OK, Run(cmd.get(), {&a.v, &b.v})) << FirstError().c_str();
        ASSERT_EQ(S_OK, rs->AddNew());
        PutText(rs.get(), L"NAME", (name + L" rs").c_str());
        PutLong(rs.get(), L"N", n);
        ASSERT_EQ(S_OK, rs->Update()) << FirstError().c_str();
    };
    for (int txn = 0; txn < 2; ++txn) {
        ASSERT_EQ(S_OK, conn_->BeginTrans());
        for (int row = 0; row < 3; ++row) {
            ASSERT_EQ(S_OK, conn_->BeginTrans());
            both(L"t" + std::to_wstring(txn) + L"r" + std::to_wstring(row), row);
            // The middle row is undone, the others kept.
            ASSERT_EQ(S_OK, row == 1 ? conn_->RollbackTrans() : conn_->CommitTrans()) << FirstError().c_str();
        }
        ASSERT_EQ(S_OK, txn == 0 ? conn_->CommitTrans() : conn_->RollbackTrans());
    }
    EXPECT_EQ((std::vector<std::wstring>{L"t0r0|0|null", L"t0r0 rs|0|null", L"t0r2|2|null", L"t0r2 rs|2|null"}),
              Rows());
}

// Statements kept after a run hold no lock on the file: another connection writes to it while
// this one stays open; and a connection closed and opened again prepares its statements anew.
TEST_F(StatementReuseTest, KeptStatementsHoldNoLockAndSurviveReconnect)
{
    Ref<Recordset> rs(Open(L"SELECT NAME, N FROM T"));
    ASSERT_EQ(S_OK, rs->AddNew());
    PutText(rs.get(), L"NAME", L"first");
    ASSERT_EQ(S_OK, rs->Update());  // runs the INSERT and reads the new row back
    rs.reset();
    Exec(L"UPDATE T SET N = 1 WHERE NAME = 'first'");
    {
        Ref<Connection> other(Connection::Create());
        ASSERT_EQ(S_OK, other->Open(adotest::ConnectionStringFor(path_).c_str(), L"", L"", adConnectUnspecified));
        EXPECT_EQ(S_OK, other->Execute(L"INSERT INTO T (NAME, N) VALUES ('other', 2)", nullptr, adExecuteNoRecords,
                                       nullptr))
            << adotest::FirstErrorOf(other.get()).c_str();
        other->Close();
    }
    ASSERT_EQ(S_OK, conn_->Close());
    ASSERT_EQ(S_OK, conn_->Open(adotest::ConnectionStringFor(path_).c_str(), L"", L"", adConnectUnspecified));
    Exec(L"UPDATE T SET N = 1 WHERE NAME = 'first'");
    rs.reset(Open(L"SELECT NAME, N FROM T"));
    ASSERT_EQ(S_OK, rs->AddNew());
    PutText(rs.get(), L"NAME", L"after reopening");
    ASSERT_EQ(S_OK, rs->Update()) << FirstError().c_str();
    rs.reset();
    EXPECT_EQ((std::vector<std::wstring>{L"first|1|null", L"other|2|null", L"after reopening|null|null"}), Rows());
}

}  // namespace
