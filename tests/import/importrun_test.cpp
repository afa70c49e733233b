// The import frame without its dialog, on copies of the sample database, with the stand-in
// source: what a run keeps (every row or, after a cancel or a failure that stops it, nothing at
// all, structure included, compared as whole-file dumps), what the log holds and where it stays,
// and the structure an import creates (new levels with numbered names, new columns, a level save
// that fails).
#include <windows.h>
#include <gtest/gtest.h>

#include <strsafe.h>

#include <memory>
#include <string>
#include <vector>

#include "core/longpath.h"
#include "core/msgbox.h"
#include "core/msgboxtext.h"
#include "dataaccess/ado.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "import/structtransfer.h"
#include "resources/tarnix/resource.h"
#include "structure/progressdlg.h"
#include "tests/support/wintest.h"
#include "tests/structure/tarnixtest.h"
#include "tests/utilities/formfixture.h"
#include "tests/import/testimpsource.h"

namespace {

using namespace tarnixtest;
using importtest::LogFolder;
using importtest::RecordingSink;
using importtest::TestGroup;
using importtest::TestSource;

// One job over the opened file with a stand-in source.
class TestJob {
public:
    explicit TestJob(LoadedStructure& s)
    {
        InitImportJob(&job, &s.Db(), &s.Model());
        source = new TestSource(Inst());
        job.Source = source;
        LoadStringW(Inst(), IDS_I_LOG_LINE, source->LinePrefix, 64);
        LoadStringW(Inst(), IDS_I_LOG_SOURCE, source->SourcePrefix, 32);
        LoadStringW(Inst(), IDS_I_LOG_DESCRIPTION, source->DescPrefix, 32);
    }
    ~TestJob() { FreeImportJob(&job); }
    // Fills every group as the wizard would and sets each entry's choice.
    void Fill(int state)
    {
        for (int g = 1; g <= source->GetGroupCount(); ++g) {
            job.GroupKinds[g - 1] = source->FillGroup(g, job.GroupItems[g - 1], nullptr);
            for (int i = 0; i < job.GroupItems[g - 1]->GetCount(); ++i) {
                void* item = job.GroupItems[g - 1]->GetItems()[i];
                int kind = job.GroupKinds[g - 1];
                if (IsUnitKind(kind))
                    static_cast<UnitEntry*>(item)->State = state;
                else if (IsMappingKind(kind))
                    static_cast<AttrImportEntry*>(item)->State = state;
            }
        }
    }
    template <class T>
    T* Entry(int group, int index) { return static_cast<T*>(job.GroupItems[group - 1]->GetItems()[index]); }

    ImportJob job;
    TestSource* source;
};

long long CountImported(const std::wstring& path)
{
    return dbtest::QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE RECNOTE LIKE 'row %'");
}

// ---- tests ----

struct RunCase {
    const char* name;
    int rows;
    const wchar_t* trigger;  // made in the file before the run
    int cancelAtPercent;
    bool unreadable;
    int fatalAt;
    int messageAt;
    ImportOutcome outcome;
    int imported;     // rows kept (when committed)
    int logEntries;   // 0: no log file is left
    UINT finish;
    int fullDiskAt = 0;  // at this row a large value finds the disk full (room for small ones)
};

TEST(ImportRun, EachRunKeepsEveryGoodRowOrNothingAtAll)
{
    const RunCase cases[] = {
        {"clean", 300, nullptr, -1, false, 0, 0, IMPORT_COMMITTED, 300, 0, IDS_I_IMPORT_DONE},
        {"abort row", 300,
         L"CREATE TRIGGER ZOR_TEST BEFORE INSERT ON ZORNACOLLS WHEN NEW.RECNOTE = 'row 50' BEGIN SELECT RAISE(ABORT, 'zkouška 50'); END",
         -1, false, 0, 0, IMPORT_COMMITTED, 299, 1, IDS_I_IMPORT_DONE_ONE_ERROR},
        {"row failing by its message", 300, nullptr, -1, false, 0, 7, IMPORT_COMMITTED, 299, 1, IDS_I_IMPORT_DONE_ONE_ERROR},
        {"two rows failing", 300,
         L"CREATE TRIGGER ZOR_TEST BEFORE INSERT ON ZORNACOLLS WHEN NEW.RECNOTE = 'row 50' BEGIN SELECT RAISE(ABORT, 'zkouška 50'); END",
         -1, false, 0, 7, IMPORT_COMMITTED, 298, 2, IDS_I_IMPORT_DONE_ERRORS},
        {"rollback trigger at 5000", 6000,
         L"CREATE TRIGGER ZOR_TEST BEFORE INSERT ON ZORNACOLLS WHEN NEW.RECNOTE = 'row 5000' BEGIN SELECT RAISE(ROLLBACK, 'zkouška'); END",
         -1, false, 0, 0, IMPORT_FAILED, 0, 2, IDS_I_IMPORT_FAILED},
        {"cancel", 400, nullptr, 50, false, 0, 0, IMPORT_CANCELLED, 0, 0, IDS_I_IMPORT_CANCELLED},
        {"cancel after a failed row", 400, nullptr, 50, false, 0, 2, IMPORT_CANCELLED, 0, 1, IDS_I_IMPORT_CANCELLED},
        {"unreadable source", 400, nullptr, -1, true, 0, 0, IMPORT_FAILED, 0, 2, IDS_I_IMPORT_FAILED},
        {"source failing half-way", 400, nullptr, -1, false, 200, 0, IMPORT_FAILED, 0, 1, IDS_I_IMPORT_FAILED},
        {"full disk at row 50", 300, nullptr, -1, false, 0, 0, IMPORT_FAILED, 0, 2, IDS_I_IMPORT_FAILED, 50},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.name);
        LogFolder logs;
        SampleCopy copy;
        if (c.trigger) {
            ASSERT_TRUE(dbtest::Exec(copy.Path(), c.trigger));
        }
        std::wstring before = DumpDatabase(copy.Path());
        RecordingSink sink;
        sink.cancelAtPercent = c.cancelAtPercent;
        ImportOutcome outcome;
        {
            LoadedStructure s(copy.Path());
            int previous = zdata::SetPageLimitForTests(c.fullDiskAt ? 100 : -1);
            s.Open();
            zdata::SetPageLimitForTests(previous);
            ASSERT_FALSE(::testing::Test::HasFatalFailure());
            TestJob t(s);
            t.source->rows = c.rows;
            t.source->unreadable = c.unreadable;
            t.source->fatalAt = c.fatalAt;
            t.source->messageAt = c.messageAt;
            // A row that goes on after a refused write, as a real source's optional step does.
            t.source->beforeRow = [&](ImportRun& run, int row) {
                if (row == c.fullDiskAt)
                    run.Execute(L"INSERT INTO SYSAUTHORS (NAME) VALUES (hex(zeroblob(2000000)))");
            };
            outcome = RunImportFrame(&t.job, &sink);
            EXPECT_EQ(0, s.Db().GetConnection()->TransactionLevel());
            EXPECT_TRUE(s.Db().Close());
        }
        EXPECT_EQ(c.outcome, outcome);
        EXPECT_EQ(c.finish, sink.finish);
        ASSERT_FALSE(sink.statuses.empty());
        EXPECT_EQ((UINT)IDS_I_CHANGING_STRUCTURE, sink.statuses[0]);
        if (c.outcome == IMPORT_COMMITTED) {
            EXPECT_EQ(c.imported, CountImported(copy.Path()));
            // Nothing that a failed row wrote stays.
            EXPECT_EQ(0, dbtest::QueryInt(copy.Path(), L"SELECT (SELECT COUNT(*) FROM SYSAUTHORS WHERE NAME LIKE 'row %') + "
                                                       L"(SELECT COUNT(*) FROM SYSTREE WHERE NAME LIKE 'row %')"));
        } else
            EXPECT_TRUE(before == DumpDatabase(copy.Path())) << "the file changed";
        EXPECT_EQ(c.logEntries, sink.errorsLogged);
        std::vector<std::wstring> files = logs.Logs();
        ASSERT_EQ(c.logEntries ? 1u : 0u, files.size()) << (files.empty() ? std::string() : wintest::ReadFileBytes(files[0]));
        if (!c.logEntries)
            continue;
        std::string log = wintest::ReadFileBytes(files[0]);
        // cp1250, CR LF, no byte-order mark: "ř" is 0xF8, "á" 0xE1.
        EXPECT_EQ(0u, log.find("Chyba na \xF8\xE1" "dku: ")) << log;
        size_t heads = 0;
        for (size_t at = log.find("Chyba na \xF8"); at != std::string::npos; at = log.find("Chyba na \xF8", at + 1))
            ++heads;
        EXPECT_EQ((size_t)c.logEntries, heads) << "one head per error entry, none for Storno: " << log;
        EXPECT_EQ(std::string::npos, log.find("\xEF\xBB\xBF"));
        if (c.trigger && c.outcome == IMPORT_COMMITTED) {
            EXPECT_NE(std::string::npos, log.find("Chyba na \xF8\xE1" "dku: 50\r\n  Zdroj: ")) << log;
        }
        if (c.outcome != IMPORT_COMMITTED) {
            EXPECT_NE(std::string::npos, log.find("datab\xE1ze z\xF9stala beze zm\xECn\r\n")) << log;
        }
    }
}

// The progress dialog of a run whose log holds errors ends by counting them, not as a success;
// one whose log holds only notes ends as a success that points at them; one whose log did not
// reach the disk whole (a full disk, a folder that takes no file) says so after its result.
TEST(ImportRun, TheProgressDialogEndsByWhatTheLogHolds)
{
    const wchar_t* const failRow50 = L"CREATE TRIGGER ZOR_TEST BEFORE INSERT ON ZORNACOLLS WHEN NEW.RECNOTE = 'row 50' "
                                     L"BEGIN SELECT RAISE(ABORT, 'zkouška 50'); END";
    const std::wstring twoErrors =
        L"Import byl dokončen s 2 chybami. Popisuje je protokol importu, který se otevře po stisknutí OK.";
    const struct {
        const char* name;
        const wchar_t* shot;
        const wchar_t* trigger;
        int messageAt;
        int noteAt;
        int errors;
        std::wstring status;
        DWORD lost = 0;  // the log is not whole: ERROR_DISK_FULL (a full disk), ERROR_PATH_NOT_FOUND (no folder)
    } cases[] = {
        {"errors", L"utilities_import_done_errors", failRow50, 7, 0, 2, twoErrors},
        {"notes", L"utilities_import_done_notes", nullptr, 0, 5, 0, ResString(IDS_I_IMPORT_DONE_NOTES)},
        {"log cut by a full disk", L"utilities_import_log_cut", failRow50, 7, 0, 2, twoErrors, ERROR_DISK_FULL},
        {"log folder taking no file", L"utilities_import_log_unmade", failRow50, 7, 0, 2, twoErrors,
         ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogFolder logs;
        SampleCopy copy;
        if (c.trigger) {
            ASSERT_TRUE(dbtest::Exec(copy.Path(), c.trigger));
        }
        if (c.lost == ERROR_PATH_NOT_FOUND)
            importtest::WriteTextFile(logs.Folder(), L"soubor");  // where the log's folder would be made
        long long room = SetWriteLimitForTests(c.lost == ERROR_DISK_FULL ? 40 : -1);
        LoadedStructure s(copy.Path());
        ASSERT_NO_FATAL_FAILURE(s.Open());
        std::wstring status;
        {
            TestJob t(s);
            t.source->rows = 300;
            t.source->messageAt = c.messageAt;
            t.source->beforeRow = [&](ImportRun& run, int row) {
                if (row == c.noteAt)
                    run.LogNote(L"  Řádek přiřazen jedné ze dvou položek");
            };
            ProgressStarter previous = SetProgressStarter(PROGRESS_IMPORT, StartImportJob);
            ProgressParams params;
            params.hInstance = Inst();
            params.Mode = PROGRESS_IMPORT;
            params.Argument = &t.job;
            params.Model = &s.Model();
            params.Callback = ProgressCallback;
            g_steps = {[&] {
                HWND progress = ImportWindow(false);
                if (!progress || wintest::WindowText(GetDlgItem(progress, IDCANCEL)) != L"&OK")
                    return false;
                status = wintest::WindowText(GetDlgItem(progress, IDC_PROGRESS_STATUS));
                wintest::SaveScreenshot(progress, c.shot);
                SendMessageW(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)GetDlgItem(progress, IDCANCEL));
                return true;
            }};
            RunSteps([&] { RunProgressDialog(nullptr, &params); });
            SetProgressStarter(PROGRESS_IMPORT, previous);
            SetWriteLimitForTests(room);
            EXPECT_EQ(c.errors, t.source->ErrorCount);
            EXPECT_EQ(c.lost == ERROR_PATH_NOT_FOUND ? 0u : 1u, logs.Logs().size());
            std::wstring lost = L"\r\n\r\nProtokol importu „" + std::wstring(t.source->LogPath) +
                                L"“ se nepodařilo zapsat celý: " + SystemErrorText(c.lost);
            EXPECT_EQ(c.status + (c.lost ? lost : L""), status);
        }
        EXPECT_TRUE(s.Db().Close());
    }
}

// ---- a run whose process is killed ----

const wchar_t kChildDbVariable[] = L"ZOR_IMPORT_CHILD_DB";
const wchar_t kChildEventVariable[] = L"ZOR_IMPORT_CHILD_EVENT";

// Run only as the child process of AKilledImportLeavesTheFileAsItWas: imports into the file it is
// given, signals once a thousand rows are in, then goes on slowly until it is killed.
TEST(ImportRunChild, DISABLED_ImportsUntilKilled)
{
    wchar_t path[MAX_PATH] = L"", eventName[64] = L"";
    if (!GetEnvironmentVariableW(kChildDbVariable, path, MAX_PATH) ||
        !GetEnvironmentVariableW(kChildEventVariable, eventName, 64))
        GTEST_SKIP() << "the child of AKilledImportLeavesTheFileAsItWas";
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName);
    ASSERT_NE(nullptr, ready);
    LoadedStructure s(path);
    ASSERT_NO_FATAL_FAILURE(s.Open());
    TestJob t(s);
    t.source->rows = 1000000;
    t.source->beforeRow = [&](ImportRun&, int row) {
        if (row == 1000)
            SetEvent(ready);
        else if (row > 1000)
            Sleep(1);
    };
    RecordingSink sink;
    RunImportFrame(&t.job, &sink);
    ADD_FAILURE() << "the import ran to its end instead of being killed";
}

TEST(ImportRun, AKilledImportLeavesTheFileAsItWas)
{
    LogFolder logs;
    SampleCopy copy;
    std::wstring before = DumpDatabase(copy.Path());
    wchar_t eventName[64];
    StringCchPrintfW(eventName, 64, L"ZorImportChild%lu", GetCurrentProcessId());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, eventName);
    ASSERT_NE(nullptr, ready);
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) +
                       L"\" --gtest_also_run_disabled_tests --gtest_filter=ImportRunChild.DISABLED_ImportsUntilKilled";
    SetEnvironmentVariableW(kChildDbVariable, copy.Path().c_str());
    SetEnvironmentVariableW(kChildEventVariable, eventName);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(kChildDbVariable, nullptr);
    SetEnvironmentVariableW(kChildEventVariable, nullptr);
    ASSERT_TRUE(started);
    HANDLE waits[2] = {ready, pi.hProcess};
    DWORD woke = WaitForMultipleObjects(2, waits, FALSE, 120000);
    // Killed in the middle of its rows: no commit, no rollback, no closing of anything.
    TerminateProcess(pi.hProcess, 9);
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(ready);
    EXPECT_EQ(WAIT_OBJECT_0, woke) << "the child did not reach its thousandth row";
    // What the run wrote is undone from the file's journal when the file is opened next.
    EXPECT_TRUE(before == DumpDatabase(copy.Path())) << "the file changed";
    EXPECT_EQ(0, CountImported(copy.Path()));
}

TEST(ImportRun, LogEntriesListEachDatabaseErrorInTwoLines)
{
    LogFolder logs;
    TestSource source(Inst());
    LoadStringW(Inst(), IDS_I_LOG_LINE, source.LinePrefix, 64);
    LoadStringW(Inst(), IDS_I_LOG_SOURCE, source.SourcePrefix, 32);
    LoadStringW(Inst(), IDS_I_LOG_DESCRIPTION, source.DescPrefix, 32);
    zdata::Connection* connection = zdata::Connection::Create();
    ASSERT_TRUE(OpenImportLog(&source, connection));
    std::vector<zdata::Error*> two = {new zdata::Error(1, L"První chyba", L"HY000", 1),
                                      new zdata::Error(2, L"Druhá chyba", L"HY000", 2)};
    zdata::Errors* errors = nullptr;
    ASSERT_TRUE(SUCCEEDED(connection->get_Errors(&errors)));
    errors->Replace(two);
    errors->Release();
    LogAdoErrors(&source, 12);
    LogImportError(&source, 13, L"  Chybí název u některé jednotky");
    EXPECT_EQ(2, CloseImportLog(&source));
    connection->Release();
    std::string log = wintest::ReadFileBytes(source.LogPath);
    int lines = 0;
    for (size_t at = log.find("\r\n"); at != std::string::npos; at = log.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(7, lines) << log;  // five lines, then two
    EXPECT_EQ(0u, log.find("Chyba na \xF8\xE1" "dku: 12\r\n  Zdroj: ")) << log;
    EXPECT_NE(std::string::npos, log.find("  Popis: Druh\xE1 chyba\r\nChyba na \xF8\xE1" "dku: 13\r\n  Chyb\xED")) << log;
    EXPECT_TRUE(DeleteImportLog(&source));
}

// The log is written in the ANSI code page (1250 here): a letter written decomposed (a base and
// its combining mark, as some programs save text) becomes the one byte of the composed letter.
TEST(ImportRun, LogTextsReachTheFileInTheCodePageComposed)
{
    LogFolder logs;
    TestSource source(Inst());
    ASSERT_TRUE(OpenImportLog(&source, nullptr));
    const std::wstring longName(3000, L'\u0159');
    const struct {
        std::wstring text;
        std::string bytes;
    } cases[] = {
        {L"Čáp", "\xC8\xE1p"},
        {L"C\u030Ca\u0301p u\u030A", "\xC8\xE1p \xF9"},  // decomposed
        {longName, std::string(3000, '\xF8')},
    };
    for (const auto& c : cases)
        WriteLogText(&source, (c.text + L"\r\n").c_str());
    CloseImportLog(&source);
    std::string log = wintest::ReadFileBytes(source.LogPath);
    size_t at = 0;
    for (const auto& c : cases) {
        size_t end = log.find("\r\n", at);
        std::string line = log.substr(at, end == std::string::npos ? std::string::npos : end - at);
        EXPECT_TRUE(line == c.bytes) << "line of " << c.text.size() << " characters: " << line.substr(0, 40);
        at = end == std::string::npos ? log.size() : end + 2;
    }
    EXPECT_TRUE(DeleteImportLog(&source));
}

TEST(ImportRun, NewLevelsAndColumnsAreMadeOnceAndUndoneWithACancel)
{
    LogFolder logs;
    SampleCopy copy;
    std::wstring before = DumpDatabase(copy.Path());
    int levelsBefore = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool cancel = attempt == 0;
        SCOPED_TRACE(cancel ? "cancelled" : "committed");
        LoadedStructure s(copy.Path());
        ASSERT_NO_FATAL_FAILURE(s.Open());
        levelsBefore = s.List(MODEL_SYS_LEVELS).Count;
        TestJob t(s);
        // Four imported units, the fourth a new "Rod" (the target has one: Rod1 at position 4);
        // two record attributes whose names give one column name.
        t.source->groups = {{GROUP_SYS_UNITS, {L"Řád", L"čeleď", L"Rod", L"Rod"}, {false, false, false, true}},
                            {GROUP_RECORD_ATTRS, {L"Metoda sběru", L"Metoda sběru"}, {}}};
        t.source->rows = 20;
        t.Fill(CHOICE_CREATE);
        for (int i = 0; i < 3; ++i)
            t.Entry<UnitEntry>(1, i)->State = CHOICE_MAP;
        StringCchCopyW(t.Entry<UnitEntry>(1, 0)->TargetName, 64, L"Řád");
        StringCchCopyW(t.Entry<UnitEntry>(1, 1)->TargetName, 64, L"čeleď");
        StringCchCopyW(t.Entry<UnitEntry>(1, 2)->TargetName, 64, L"Rod");
        RecordingSink sink;
        sink.cancelAtPercent = cancel ? 50 : -1;
        ImportOutcome outcome = RunImportFrame(&t.job, &sink);
        if (cancel) {
            EXPECT_EQ(IMPORT_CANCELLED, outcome);
            // The run leaves the model to its owner's thread, which reads it again: the levels
            // the run made are gone with it.
            EXPECT_LT(levelsBefore, s.List(MODEL_SYS_LEVELS).Count);
            EXPECT_TRUE(ReloadModelAfterImport(&t.job));
            EXPECT_EQ(levelsBefore, s.List(MODEL_SYS_LEVELS).Count);
            EXPECT_FALSE(ReloadModelAfterImport(&t.job));
            s.Db().Close();
            EXPECT_TRUE(before == DumpDatabase(copy.Path())) << "the file changed";
            continue;
        }
        ASSERT_EQ(IMPORT_COMMITTED, outcome);
        EXPECT_STREQ(L"Rod1", t.Entry<UnitEntry>(1, 3)->TargetName);
        EXPECT_EQ(4, t.Entry<UnitEntry>(1, 3)->TargetLevel);
        EXPECT_EQ(1, t.Entry<UnitEntry>(1, 0)->TargetLevel);
        EXPECT_EQ(2, t.Entry<UnitEntry>(1, 1)->TargetLevel);  // "čeleď" is the level "Čeleď"
        EXPECT_EQ(3, t.Entry<UnitEntry>(1, 2)->TargetLevel);
        EXPECT_STREQ(L"METODA_SBERU", t.Entry<AttrImportEntry>(2, 0)->TargetColumn);
        EXPECT_STREQ(L"METODA_SBERU01", t.Entry<AttrImportEntry>(2, 1)->TargetColumn);
        EXPECT_GE(t.Entry<AttrImportEntry>(2, 0)->TargetOrdinal, 0);
        EXPECT_GT(t.Entry<AttrImportEntry>(2, 1)->TargetOrdinal, t.Entry<AttrImportEntry>(2, 0)->TargetOrdinal);
        s.Db().Close();
        EXPECT_EQ(L"Rod1", dbtest::First(copy.Path(), L"SELECT NAME FROM SYSDEF WHERE LEVELID = 4"));
        EXPECT_EQ(L"Druh", dbtest::First(copy.Path(), L"SELECT NAME FROM SYSDEF WHERE LEVELID = 5"));
        EXPECT_EQ(20, CountImported(copy.Path()));
        EXPECT_EQ(2, dbtest::QueryInt(copy.Path(), L"SELECT COUNT(*) FROM pragma_table_info('ZORNACOLLS') WHERE name LIKE 'METODA_SBERU%'"));
    }
}

TEST(ImportRun, ARefusedLevelSaveSkipsItsUnitsAndARefusedColumnStopsTheRun)
{
    struct Case {
        const char* name;
        TestGroup group;
        const wchar_t* refuse;
        ImportOutcome outcome;
    };
    const Case cases[] = {
        {"level", {GROUP_SYS_UNITS, {L"Nadřád"}, {false}}, L"SYS_LEVEL_6", IMPORT_COMMITTED},
        {"column", {GROUP_COLUMNS, {L"Sběratel"}, {}}, L"SBERATEL", IMPORT_FAILED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogFolder logs;
        SampleCopy copy;
        std::wstring before = DumpDatabase(copy.Path());
        ImportOutcome outcome;
        int targetLevel = 0;
        RecordingSink sink;
        {
            LoadedStructure s(copy.Path());
            ASSERT_NO_FATAL_FAILURE(s.Open());
            TestJob t(s);
            t.source->groups = {c.group};
            t.source->rows = 10;
            t.Fill(CHOICE_CREATE);
            if (c.group.kind == GROUP_COLUMNS)
                t.Entry<SourceColumn>(1, 0)->TargetGroup = COLGROUP_RECORDS;
            std::wstring refuse = c.refuse;
            zdata::SetStatementHook([refuse](const std::wstring& sql, std::wstring* description) {
                if (sql.find(refuse) == std::wstring::npos)
                    return S_OK;
                *description = L"Odmítnuto zkouškou";
                return E_FAIL;
            });
            outcome = RunImportFrame(&t.job, &sink);
            zdata::SetStatementHook(nullptr);
            if (c.group.kind == GROUP_SYS_UNITS)
                targetLevel = t.Entry<UnitEntry>(1, 0)->TargetLevel;
        }
        EXPECT_EQ(c.outcome, outcome);
        if (c.outcome == IMPORT_COMMITTED) {
            EXPECT_EQ(-1, targetLevel);  // not the level number the failed save planned
            EXPECT_EQ(10, CountImported(copy.Path()));
            EXPECT_EQ(1, sink.errorsLogged);
        } else {
            EXPECT_TRUE(before == DumpDatabase(copy.Path())) << "the file changed";
        }
    }
}

}  // namespace
