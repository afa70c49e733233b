#include <atomic>
#include <fstream>
#include <memory>
#include "tests/dataaccess/adotest.h"
#include "tests/support/fileholder.h"

using namespace zdata;
using adotest::Ref;
using adotest::Var;

namespace {

// A connection events sink that counts what it receives, as the database object's sink does.
class CountingSink : public ConnectionEventsVt {
public:
    std::atomic<long> refs{1};
    int connectCompletes = 0;
    int disconnects = 0;
    DWORD completeThread = 0;
    long stateAtComplete = -1;
    EventStatusEnum lastStatus = adStatusOK;
    bool hadError = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ConnectionEvents)) {
            *out = static_cast<ConnectionEventsVt*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // owned by the test
    HRESULT STDMETHODCALLTYPE InfoMessage(Error*, EventStatusEnum*, Connection*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE BeginTransComplete(long, Error*, EventStatusEnum*, Connection*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE CommitTransComplete(Error*, EventStatusEnum*, Connection*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RollbackTransComplete(Error*, EventStatusEnum*, Connection*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE WillExecute(BSTR*, CursorTypeEnum*, LockTypeEnum*, long*, EventStatusEnum*,
                                          Command*, Recordset*, Connection*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ExecuteComplete(long, Error*, EventStatusEnum*, Command*, Recordset*,
                                              Connection*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE WillConnect(BSTR*, BSTR*, BSTR*, long*, EventStatusEnum*, Connection*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ConnectComplete(Error* error, EventStatusEnum* status, Connection* c) override
    {
        ++connectCompletes;
        completeThread = GetCurrentThreadId();
        stateAtComplete = c->State();
        lastStatus = *status;
        hadError = error != nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Disconnect(EventStatusEnum*, Connection*) override
    {
        ++disconnects;
        return S_OK;
    }
};

// Advises a sink through the standard connection-point interfaces, as the database object does.
struct Advised {
    Advised(Connection* c, CountingSink* sink)
    {
        IConnectionPointContainer* cpc = nullptr;
        EXPECT_EQ(S_OK, c->QueryInterface(IID_IConnectionPointContainer, (void**)&cpc));
        EXPECT_EQ(S_OK, cpc->FindConnectionPoint(IID_ConnectionEvents, &point));
        cpc->Release();
        EXPECT_EQ(S_OK, point->Advise(sink, &cookie));
    }
    ~Advised()
    {
        point->Unadvise(cookie);
        point->Release();
    }
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
};

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string n = std::string("conn_") + info->name();
        folder_ = wintest::MakeTempFolder(std::wstring(n.begin(), n.end()).c_str());
        path_ = folder_ + L"\\base.db";
    }
    void MakeFile()
    {
        ASSERT_EQ(S_OK, CreateDatabaseFile(path_.c_str()));
        Ref<Connection> c(Connection::Create());
        ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str()));
        ASSERT_EQ(S_OK, c->Execute(L"CREATE TABLE T (ID INTEGER PRIMARY KEY, NAME VARCHAR(20) UNIQUE)"));
        ASSERT_EQ(S_OK, c->Execute(L"INSERT INTO T VALUES (1, 'one')"));
        c->Close();
    }
    long RowsIn(Connection* c, const wchar_t* sql)
    {
        Ref<Recordset> rs(Recordset::Create());
        rs->put_CursorLocation(adUseClient);
        if (FAILED(rs->Open(sql, c, adOpenKeyset, adLockReadOnly)))
            return -1;
        long n = -1;
        rs->get_RecordCount(&n);
        return n;
    }
    std::wstring FirstError(Connection* c) { return adotest::FirstErrorOf(c); }
    std::wstring folder_, path_;
};

TEST_F(ConnectionTest, AsyncOpenRaisesConnectCompleteOnceOnTheOpeningThread)
{
    MakeFile();
    CountingSink sink;
    Ref<Connection> c(Connection::Create());
    {
        Advised advised(c.get(), &sink);
        EXPECT_EQ(2, sink.refs.load());  // Advise holds the sink
        ASSERT_EQ(S_OK, c->put_ConnectionString(adotest::ConnectionStringFor(path_).c_str()));
        ASSERT_EQ(S_OK, c->Open(L"", L"", L"", adAsyncConnect));
        EXPECT_EQ(0, sink.connectCompletes);  // only from the message loop
        EXPECT_TRUE(wintest::PumpUntil([&] { return sink.connectCompletes > 0; }));
        wintest::PumpMessages(200);
        EXPECT_EQ(1, sink.connectCompletes);
        EXPECT_EQ(GetCurrentThreadId(), sink.completeThread);
        EXPECT_EQ(adStateOpen, sink.stateAtComplete);  // State is published first
        EXPECT_EQ(adStatusOK, sink.lastStatus);
        EXPECT_EQ(1, RowsIn(c.get(), L"SELECT * FROM T"));
        c->Close();
        EXPECT_EQ(adStateClosed, c->State());
        EXPECT_EQ(1, sink.disconnects);
    }
    EXPECT_EQ(1, sink.refs.load());  // Unadvise released it
}

TEST_F(ConnectionTest, AsyncOpenOfMissingFileRaisesOnceAndCreatesNothing)
{
    CountingSink sink;
    Ref<Connection> c(Connection::Create());
    Advised advised(c.get(), &sink);
    ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str(), L"", L"", adAsyncConnect));
    EXPECT_TRUE(wintest::PumpUntil([&] { return sink.connectCompletes > 0; }));
    wintest::PumpMessages(200);
    EXPECT_EQ(1, sink.connectCompletes);
    EXPECT_EQ(adStateClosed, sink.stateAtComplete);
    EXPECT_EQ(adStatusErrorsOccurred, sink.lastStatus);
    EXPECT_TRUE(sink.hadError);
    EXPECT_EQ(adStateClosed, c->State());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path_.c_str()));
    EXPECT_FALSE(FirstError(c.get()).empty());
}

TEST_F(ConnectionTest, FileThatIsNotADatabaseGivesAClearErrorAndStaysAsItWas)
{
    const char text[] = "This is a text file, not a database.\r\n";
    {
        std::ofstream f(std::string(path_.begin(), path_.end()), std::ios::binary);
        ASSERT_TRUE(f.good());
        f << text;
    }
    CountingSink sink;
    Ref<Connection> c(Connection::Create());
    Advised advised(c.get(), &sink);
    ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str(), L"", L"", adAsyncConnect));
    EXPECT_TRUE(wintest::PumpUntil([&] { return sink.connectCompletes > 0; }));
    wintest::PumpMessages(200);
    EXPECT_EQ(1, sink.connectCompletes);
    EXPECT_EQ(adStateClosed, c->State());
    EXPECT_NE(std::wstring::npos, FirstError(c.get()).find(L"není databáze"));
    std::ifstream f(std::string(path_.begin(), path_.end()), std::ios::binary);
    std::string back((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(std::string(text), back);
}

TEST_F(ConnectionTest, CloseDuringAsyncOpenStillRaisesTheEventOnce)
{
    MakeFile();
    CountingSink sink;
    Ref<Connection> c(Connection::Create());
    Advised advised(c.get(), &sink);
    ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str(), L"", L"", adAsyncConnect));
    c->Close();
    EXPECT_EQ(1, sink.connectCompletes);
    wintest::PumpMessages(200);
    EXPECT_EQ(1, sink.connectCompletes);
    EXPECT_EQ(adStateClosed, c->State());
}

TEST_F(ConnectionTest, SyncOpenRaisesTheEventToo)
{
    MakeFile();
    CountingSink sink;
    Ref<Connection> c(Connection::Create());
    Advised advised(c.get(), &sink);
    ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str()));
    EXPECT_EQ(1, sink.connectCompletes);
    // Opening an open connection is refused.
    EXPECT_TRUE(FAILED(c->Open(adotest::ConnectionStringFor(path_).c_str())));
    EXPECT_EQ(adStateOpen, c->State());
}

TEST_F(ConnectionTest, ErrorsAreReplacedOnlyWhenAnOperationFails)
{
    MakeFile();
    Ref<Connection> c(Connection::Create());
    ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str()));
    Ref<Errors> errors;
    c->get_Errors(errors.out());
    EXPECT_EQ(0, errors->Count());
    EXPECT_TRUE(FAILED(c->Execute(L"INSERT INTO T VALUES (2, 'one')")));  // UNIQUE
    ASSERT_GE(errors->Count(), 1);
    std::wstring first = FirstError(c.get());
    EXPECT_NE(std::wstring::npos, first.find(L"UNIQUE")) << std::string(first.begin(), first.end());
    Ref<Error> e;
    ASSERT_EQ(S_OK, errors->Item(0, e.out()));
    BSTR source = nullptr;
    e->get_Source(&source);
    EXPECT_GT(SysStringLen(source), 0u);
    SysFreeString(source);
    // A success leaves the collection alone.
    EXPECT_EQ(S_OK, c->Execute(L"INSERT INTO T VALUES (2, 'two')"));
    EXPECT_EQ(first, FirstError(c.get()));
    // A statement matching no row succeeds.
    EXPECT_EQ(S_OK, c->Execute(L"DELETE FROM T WHERE ID = 999"));
    // The next failure replaces it.
    EXPECT_TRUE(FAILED(c->Execute(L"SELEC nonsense")));
    EXPECT_NE(first, FirstError(c.get()));
}

TEST_F(ConnectionTest, ExecuteReportsAffectedRows)
{
    MakeFile();
    Ref<Connection> c(Connection::Create());
    ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str()));
    ASSERT_EQ(S_OK, c->Execute(L"INSERT INTO T VALUES (2, 'two')"));
    Var affected;
    ASSERT_EQ(S_OK, c->Execute(L"UPDATE T SET NAME = NAME || 'x'", &affected, adExecuteNoRecords));
    EXPECT_EQ(VT_I4, affected.v.vt);
    EXPECT_EQ(2, affected.v.lVal);
}

TEST_F(ConnectionTest, RollbackLeavesTheFileUnchanged)
{
    MakeFile();
    Ref<Connection> c(Connection::Create());
    ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str()));
    ASSERT_EQ(S_OK, c->BeginTrans());
    ASSERT_EQ(S_OK, c->Execute(L"INSERT INTO T VALUES (2, 'two')"));
    ASSERT_EQ(S_OK, c->Execute(L"DELETE FROM T WHERE ID = 1"));
    EXPECT_EQ(1, RowsIn(c.get(), L"SELECT * FROM T WHERE ID = 2"));
    ASSERT_EQ(S_OK, c->RollbackTrans());
    EXPECT_EQ(1, RowsIn(c.get(), L"SELECT * FROM T"));
    EXPECT_EQ(1, RowsIn(c.get(), L"SELECT * FROM T WHERE ID = 1"));
    c->Close();
    // Seen from a fresh connection too.
    Ref<Connection> again(Connection::Create());
    ASSERT_EQ(S_OK, again->Open(adotest::ConnectionStringFor(path_).c_str()));
    EXPECT_EQ(1, RowsIn(again.get(), L"SELECT * FROM T"));
}

// A statement refused inside a transaction leaves the rest of it to commit; one whose refusal
// ended the whole transaction (a full disk) ends its unit of work: every later statement of it,
// its commit too, is refused with that reason, and the file stays as it was.
TEST_F(ConnectionTest, ARefusedStatementInsideATransactionKeepsTheRestOrEndsTheUnit)
{
    struct Case {
        const char* what;
        const wchar_t* refused;
        bool unitEnds;
    } cases[] = {
        {"a duplicate name", L"INSERT INTO T VALUES (3, 'two')", false},
        {"a full disk", L"INSERT INTO T VALUES (3, zeroblob(200000))", true},
    };
    MakeFile();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        std::string before = wintest::ReadFileBytes(path_);
        Ref<Connection> c(Connection::Create());
        ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str()));
        ASSERT_EQ(S_OK, c->Execute(L"PRAGMA max_page_count = 8"));
        ASSERT_EQ(S_OK, c->BeginTrans());
        ASSERT_EQ(S_OK, c->Execute(L"INSERT INTO T VALUES (2, 'two')"));
        EXPECT_TRUE(FAILED(c->Execute(k.refused)));
        std::wstring reason = FirstError(c.get());
        EXPECT_EQ(k.unitEnds, FAILED(c->Execute(L"INSERT INTO T VALUES (4, 'four')")));
        EXPECT_EQ(k.unitEnds, FAILED(c->BeginTrans()));
        EXPECT_EQ(k.unitEnds, FAILED(c->CommitTrans()));
        EXPECT_EQ(k.unitEnds ? reason : std::wstring(), k.unitEnds ? FirstError(c.get()) : std::wstring());
        if (k.unitEnds) {
            EXPECT_EQ(S_OK, c->RollbackTrans());
            EXPECT_EQ(1, RowsIn(c.get(), L"SELECT * FROM T"));
            c->Close();
            EXPECT_TRUE(wintest::ReadFileBytes(path_) == before);
        } else {
            EXPECT_EQ(S_OK, c->CommitTrans());
            EXPECT_EQ(3, RowsIn(c.get(), L"SELECT * FROM T"));
            EXPECT_TRUE(FAILED(c->CommitTrans()));  // none running
            EXPECT_EQ(S_OK, c->Execute(L"DELETE FROM T WHERE ID > 1"));
        }
    }
}

// While another program holds the file, a transaction fails where it asks for the file's lock
// (the begin, when the other one writes; the commit, when it reads) within about the busy timeout
// (3 s, not twice that), with the Czech reason, and writes nothing; a refused commit has let go
// of the file before the caller's message, so that others read it meanwhile. A read-only
// connection begins while the other one writes, and reads. Afterwards statements wait for the
// lock as before, and a transaction of a free file is written.
TEST_F(ConnectionTest, ATransactionWhileAnotherProgramHoldsTheFileFailsWithinTheBusyTimeout)
{
    MakeFile();
    Ref<Connection> c(Connection::Create());
    ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str()));
    Ref<Connection> reader(Connection::Create());
    ASSERT_EQ(S_OK, reader->put_Mode(adModeRead));
    ASSERT_EQ(S_OK, reader->Open(adotest::ConnectionStringFor(path_).c_str()));
    struct Case {
        const char* other;
        std::vector<std::wstring> holds;
        enum { BEGIN_REFUSED, COMMIT_REFUSED, READS } expect;
    } cases[] = {
        {"writes", {L"BEGIN EXCLUSIVE"}, Case::BEGIN_REFUSED},
        {"reads", {L"BEGIN", L"SELECT count(*) FROM T"}, Case::COMMIT_REFUSED},
        {"writes, and this one only reads", {L"BEGIN IMMEDIATE", L"INSERT INTO T VALUES (9, 'nine')"}, Case::READS},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.other);
        wintest::FileHolder holder(path_, 20000, k.holds);
        ASSERT_TRUE(holder.Holding());
        if (k.expect == Case::READS) {
            EXPECT_EQ(S_OK, reader->BeginTrans());
            EXPECT_EQ(1, RowsIn(reader.get(), L"SELECT * FROM T"));
            EXPECT_EQ(S_OK, reader->CommitTrans());
            continue;
        }
        DWORD start = GetTickCount();
        HRESULT hr = c->BeginTrans();
        if (k.expect == Case::COMMIT_REFUSED) {
            EXPECT_EQ(S_OK, hr);
            EXPECT_EQ(S_OK, c->Execute(L"INSERT INTO T VALUES (2, 'two')"));
            start = GetTickCount();
            hr = c->CommitTrans();
        }
        DWORD took = GetTickCount() - start;
        EXPECT_TRUE(FAILED(hr));
        EXPECT_GE(took, 2500u);
        EXPECT_LT(took, 4500u);
        std::wstring error = FirstError(c.get());
        EXPECT_EQ(0u, error.find(L"Databázový soubor právě používá jiný program, změnu proto nelze zapsat."))
            << std::string(error.begin(), error.end());
        // A refused commit leaves the transaction for the caller to roll back; while its message
        // waits, another program reads the file.
        EXPECT_EQ(k.expect == Case::COMMIT_REFUSED ? 1 : 0, c->TransactionLevel());
        if (c->TransactionLevel() > 0) {
            EXPECT_EQ(1, RowsIn(reader.get(), L"SELECT * FROM T"));
            EXPECT_EQ(S_OK, c->RollbackTrans());
        }
    }
    // The engine's busy handler waits inside a transaction only: outside one a read the lock
    // refuses waits the timeout once.
    EXPECT_EQ(1, RowsIn(c.get(), L"SELECT * FROM pragma_busy_timeout WHERE timeout = 0"));
    ASSERT_EQ(S_OK, c->BeginTrans());
    EXPECT_EQ(1, RowsIn(c.get(), L"SELECT * FROM pragma_busy_timeout WHERE timeout = 3000"));
    ASSERT_EQ(S_OK, c->Execute(L"INSERT INTO T VALUES (3, 'three')"));
    ASSERT_EQ(S_OK, c->CommitTrans());
    EXPECT_EQ(1, RowsIn(c.get(), L"SELECT * FROM pragma_busy_timeout WHERE timeout = 0"));
    c->Close();
    Ref<Connection> again(Connection::Create());
    ASSERT_EQ(S_OK, again->Open(adotest::ConnectionStringFor(path_).c_str()));
    EXPECT_EQ(2, RowsIn(again.get(), L"SELECT * FROM T"));
}

TEST_F(ConnectionTest, ReadOnlyModeRefusesWrites)
{
    MakeFile();
    Ref<Connection> c(Connection::Create());
    ASSERT_EQ(S_OK, c->put_Mode(adModeRead));
    ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str())) << std::string("open");
    EXPECT_EQ(1, RowsIn(c.get(), L"SELECT * FROM T"));
    EXPECT_TRUE(FAILED(c->Execute(L"INSERT INTO T VALUES (2, 'two')")));
    EXPECT_EQ(1, RowsIn(c.get(), L"SELECT * FROM T"));
}

// A file that cannot be written opens for reading only, says so, and refuses the first write as
// a read-only file before the file changes; once writable again it opens for writing.
TEST_F(ConnectionTest, AReadOnlyFileOpensForReadingOnlyAndRefusesTheFirstWrite)
{
    MakeFile();
    ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY));
    std::string before = wintest::ReadFileBytes(path_);
    {
        Ref<Connection> c(Connection::Create());
        ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str()));
        EXPECT_TRUE(c->IsReadOnly());
        EXPECT_EQ(1, RowsIn(c.get(), L"SELECT * FROM T"));
        EXPECT_TRUE(FAILED(c->Execute(L"INSERT INTO T VALUES (2, 'two')")));
        EXPECT_EQ(RefusalKind::ReadOnly, c->LastRefusalKind());
        EXPECT_EQ(0u, c->LastErrorText().find(L"Databázový soubor je jen pro čtení"));
    }
    EXPECT_TRUE(wintest::ReadFileBytes(path_) == before);
    ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL));
    Ref<Connection> c(Connection::Create());
    ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str()));
    EXPECT_FALSE(c->IsReadOnly());
    EXPECT_EQ(S_OK, c->Execute(L"INSERT INTO T VALUES (2, 'two')"));
}

// The refusal of a failed open travels with its error, and so does a read's refusal, so that a
// program can tell the causes apart without reading texts. The driver's own first refusal is kept
// for a file it was asked to open (one cut short, one another program holds).
TEST_F(ConnectionTest, AFailedOpenOrReadTellsWhatTheEngineRefused)
{
    MakeFile();
    const std::string made = wintest::ReadFileBytes(path_);
    struct Case {
        const char* what;
        std::string bytes;
        RefusalKind kind;
    } cases[] = {{"empty", "", RefusalKind::NotADatabase},
                 {"text", "Toto je text, ne databaze.\r\n", RefusalKind::NotADatabase},
                 {"missing", "-", RefusalKind::CannotOpen},
                 {"cut short", made.substr(0, made.size() / 2), RefusalKind::Damaged},
                 {"held", made, RefusalKind::Locked}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        std::wstring file = folder_ + L"\\" + std::wstring(k.what, k.what + strlen(k.what)) + L".mdb";
        if (k.bytes != "-") {
            std::ofstream f(std::string(file.begin(), file.end()), std::ios::binary);
            f << k.bytes;
        }
        std::unique_ptr<wintest::FileHolder> holder;
        if (k.kind == RefusalKind::Locked)
            holder.reset(new wintest::FileHolder(file, 20000));
        Ref<Connection> c(Connection::Create());
        EXPECT_TRUE(FAILED(c->Open(adotest::ConnectionStringFor(file).c_str())));
        EXPECT_EQ(k.kind, c->LastRefusalKind());
        EXPECT_EQ(0u, c->LastErrorText().find(OpenRefusalText(k.kind, file)));
    }
    Ref<Connection> c(Connection::Create());
    ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str()));
    EXPECT_TRUE(FAILED(c->Execute(L"INSERT INTO T VALUES (1, 'again')")));
    EXPECT_EQ(RefusalKind::Duplicate, c->LastRefusalKind());
    EXPECT_FALSE(c->FoundDamage());
}

TEST_F(ConnectionTest, NewDatabaseFileIsNotMadeOverAnExistingOne)
{
    ASSERT_EQ(S_OK, CreateDatabaseFile(path_.c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path_.c_str()));
    EXPECT_TRUE(FAILED(CreateDatabaseFile(path_.c_str())));
    Ref<Connection> c(Connection::Create());
    EXPECT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str()));
}

TEST_F(ConnectionTest, ForeignKeysAreEnforced)
{
    ASSERT_EQ(S_OK, CreateDatabaseFile(path_.c_str()));
    Ref<Connection> c(Connection::Create());
    ASSERT_EQ(S_OK, c->Open(adotest::ConnectionStringFor(path_).c_str()));
    ASSERT_EQ(S_OK, c->Execute(L"CREATE TABLE P (ID INTEGER PRIMARY KEY)"));
    ASSERT_EQ(S_OK, c->Execute(L"CREATE TABLE C (ID INTEGER PRIMARY KEY, PID INTEGER REFERENCES P(ID))"));
    ASSERT_EQ(S_OK, c->Execute(L"INSERT INTO P VALUES (1)"));
    EXPECT_EQ(S_OK, c->Execute(L"INSERT INTO C VALUES (1, 1)"));
    EXPECT_TRUE(FAILED(c->Execute(L"INSERT INTO C VALUES (2, 7)")));
}

TEST_F(ConnectionTest, OperationsOnAClosedConnectionFailWithoutCrash)
{
    Ref<Connection> c(Connection::Create());
    EXPECT_TRUE(FAILED(c->Execute(L"SELECT 1")));
    EXPECT_TRUE(FAILED(c->BeginTrans()));
    Ref<Recordset> rs(Recordset::Create());
    EXPECT_TRUE(FAILED(rs->Open(L"SELECT 1", c.get(), adOpenKeyset, adLockReadOnly)));
    long state = -1;
    rs->get_State(&state);
    EXPECT_EQ(adStateClosed, state);
    EXPECT_EQ(S_OK, c->Close());
}

}  // namespace

// The database file of a Czech user often lives in a folder named with Czech letters: the path
// must reach the host driver intact for creating, opening, writing and reading.
TEST(ConnectionPaths, DatabaseInAFolderWithCzechLetters)
{
    std::wstring folder = wintest::MakeTempFolder(L"Přírodovědná data");
    std::wstring path = folder + L"\\Nálezy brouků.mdb";
    ASSERT_EQ(S_OK, CreateDatabaseFile(path.c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));

    Ref<Connection> c(Connection::Create());
    ASSERT_EQ(S_OK, c->put_ConnectionString(adotest::ConnectionStringFor(path).c_str()));
    ASSERT_EQ(S_OK, c->Open(L"", L"", L"", 0));
    EXPECT_EQ(S_OK, c->Execute(L"CREATE TABLE T (NAME VARCHAR(50))", nullptr, adCmdText | adExecuteNoRecords));
    EXPECT_EQ(S_OK, c->Execute(L"INSERT INTO T VALUES ('Žluťoučký kůň')", nullptr, adCmdText | adExecuteNoRecords));
    c->Close();

    // Opened again, the same file (not a new empty one somewhere else) answers.
    ASSERT_EQ(S_OK, c->Open(L"", L"", L"", 0));
    Ref<Recordset> rs(Recordset::Create());
    ASSERT_EQ(S_OK, rs->Open(L"SELECT NAME FROM T", c.get(), adOpenKeyset, adLockReadOnly));
    long n = -1;
    rs->get_RecordCount(&n);
    EXPECT_EQ(1, n);
    c->Close();
}
