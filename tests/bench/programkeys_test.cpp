// The benchmarks, run by hand in the user's prefix, leave the programs' registry keys as they
// found them: the user's last workspace file stays the one Zorna starts with, and keys that
// were missing stay missing.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "tests/core/sampletemplate.h"
#include "tools/testkit/workspacefile.h"
#include "tests/support/registrysnapshot.h"
#include "tests/support/wintest.h"

namespace {

// Runs a program of the build's folder with its arguments, its output dropped, until it ends;
// false when it did not start or did not end within five minutes.
bool RunSibling(const std::wstring& exeName, const std::wstring& arguments)
{
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring exe = self;
    exe = exe.substr(0, exe.find_last_of(L"\\/") + 1) + exeName;
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si = {sizeof(si)};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi = {};
    bool started = CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    if (!started)
        return false;
    bool ended = WaitForSingleObject(pi.hProcess, 300000) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ended;
}

TEST(Benchmarks, LeaveTheProgramsKeysAsTheyFoundThem)
{
    zor::SampleDbOptions options;
    options.records = 300;
    const std::wstring db = SharedSampleTemplate(L"benchkeys", options);
    ASSERT_FALSE(db.empty());
    // Both start the main form on a workspace file of their own; one finds the user's last
    // file, the other no keys at all.
    struct Case
    {
        const wchar_t* program;
        const wchar_t* userFile;
    } cases[] = {
        {L"literature_bench.exe", L"C:\\Data\\Moje pracovní plocha.xml"},
        {L"commands_bench.exe", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program, c.program + wcslen(c.program)));
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Kelvane");
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Kelvane");
        std::unique_ptr<wstest::LastConfigFile> last;
        if (c.userFile)
            last.reset(new wstest::LastConfigFile(c.userFile));
        wintest::ProgramKeys before;
        ASSERT_TRUE(RunSibling(c.program, L"\"" + db + L"\" --runs 1"));
        EXPECT_TRUE(before.Unchanged()) << "the benchmark changed the programs' registry keys";
    }
}

}  // namespace
