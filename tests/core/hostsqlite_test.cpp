// A database the program wrote with the Czech order in use stays readable by any SQLite tool: the
// host's own sqlite3 (which has no Czech collation) opens it and reads every table and view.
#include "tests/core/itemsave_fixture.h"

#include "core/lookupedit.h"
#include "dataaccess/connstr.h"

using namespace itemtest;

namespace {

class HostSqliteTest : public ItemDbTest
{
protected:
    // Runs the host's sqlite3 on the file with the statements, its output going to a file; the
    // output's lines, or none when the tool did not run.
    std::vector<std::wstring> RunHostSqlite(const std::vector<std::wstring>& statements)
    {
        std::wstring outFile = path_ + L".out.txt";
        std::wstring hostDb, hostOut;
        if (!zdata::HostPathOf(path_, &hostDb) || !zdata::HostPathOf(outFile, &hostOut))
            return {};
        std::wstring command = L"/usr/bin/sqlite3 \"" + hostDb + L"\" \".output " + hostOut + L"\"";
        for (const std::wstring& s : statements)
            command += L" \"" + s + L"\"";
        // A Unix process is not waited for through its handle: the last line tells its end.
        command += L" \"SELECT 'end';\"";
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(L"/usr/bin/sqlite3", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &pi))
            return {};
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        std::wstring text;
        wintest::PumpUntil([&] {
            text = wintest::ReadUtf8File(outFile);
            return text.size() >= 4 && text.compare(text.size() - 4, 4, L"end\n") == 0;
        }, 30000);
        DeleteFileW(outFile.c_str());
        std::vector<std::wstring> lines;
        size_t start = 0;
        for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        if (!lines.empty() && lines.back() == L"end")
            lines.pop_back();
        return lines;
    }
};

}  // namespace

TEST_F(HostSqliteTest, TheHostsSqliteReadsEveryTableTheProgramWrote)
{
    if (!zdata::RunningUnderWine() || GetFileAttributesW(L"Z:\\usr\\bin\\sqlite3") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no host sqlite3";
    ASSERT_TRUE(db_->MissingCollationExtension().empty());
    // Writes through the program, with names matched and sorted the Czech way.
    EXPECT_EQ(1, db_->AddSysAuthor(L"Čapek, 1920"));
    EXPECT_EQ(0, db_->AddSysAuthor(L"ČAPEK, 1920"));
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    ASSERT_GT(db_->GetLookupCount(index), 0);
    LookupEdit edit = {};
    edit.Kind = LOOKUP_ZORNACOLLS;
    edit.FieldName = L"METODA";
    edit.ColumnFlags = LOOKUP_WRITE_NAME;
    edit.Row = 1;
    edit.NewName = L"Čeření vody";
    edit.ExistingIndex = -1;
    EXPECT_EQ(1, db_->EditLookupTable(&edit));

    Rows objects = Query(L"SELECT name, type FROM sqlite_master WHERE type IN ('table', 'view') "
                         L"AND name NOT LIKE 'sqlite%' ORDER BY name");
    ASSERT_GT(objects.size(), 20u);
    std::vector<std::wstring> statements = { L"PRAGMA integrity_check;", L"PRAGMA foreign_key_check;" };
    std::vector<std::wstring> expected = { L"ok" };
    for (const auto& o : objects) {
        statements.push_back(L"SELECT '" + o[0] + L"', COUNT(*) FROM [" + o[0] + L"];");
        expected.push_back(o[0] + L"|" + std::to_wstring(Int(L"SELECT COUNT(*) FROM [" + o[0] + L"]")));
    }
    // Sorted and matched in the schema's own collations, as any tool does.
    statements.push_back(L"SELECT NAME FROM SYSAUTHORS WHERE NAME = 'Čapek, 1920' ORDER BY NAME;");
    expected.push_back(L"Čapek, 1920");
    EXPECT_EQ(expected, RunHostSqlite(statements));
}
