// Entry of every test program: COM and the common controls as the programs have them.
#include <windows.h>
#include <objbase.h>
#include <commctrl.h>
#include <shellapi.h>
#include <gmock/gmock.h>
#include <string>

#include "tests/support/registrysnapshot.h"

// The programs carry a manifest that selects common controls 6; the test programs take the same
// one as an activation context, so controls are tested in the version the programs get.
static void ActivateProgramManifest()
{
    ACTCTXW ctx = {};
    ctx.cbSize = sizeof(ctx);
    ctx.lpSource = L"Z:" ZOR_PROGRAM_MANIFEST;
    HANDLE handle = CreateActCtxW(&ctx);
    ULONG_PTR cookie = 0;
    if (handle != INVALID_HANDLE_VALUE)
        ActivateActCtx(handle, &cookie);
}

// Every test's temporary folder (wintest::MakeTempFolder: "zt<process id>_<name>" in the
// temporary folder) goes when the program ends, with the databases and files inside.
static void RemoveTempFolders()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t pattern[MAX_PATH + 32];
    wsprintfW(pattern, L"%szt%lu_*", temp, GetCurrentProcessId());
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring path = std::wstring(temp) + found.cFileName + L'\0';
        SHFILEOPSTRUCTW op = {};
        op.wFunc = FO_DELETE;
        op.pFrom = path.c_str();
        op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
        SHFileOperationW(&op);
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

// The programs' keys of the prefix (the last workspace file, the program folder, the import logs'
// folder) as the test program found them, put back when it ends: a later start of the programs in
// this prefix finds the user's settings, not a test's.
class ProgramKeysKept : public testing::Environment {
public:
    void SetUp() override { kept_.reset(new wintest::ProgramKeys()); }
    void TearDown() override { kept_->Restore(); }

private:
    std::unique_ptr<wintest::ProgramKeys> kept_;
};

// A run that is one share of the program's tests (GoogleTest's sharding, from the environment)
// has chosen its tests when the environment is set up: the share's variables go then, so that the
// program's own children, started to run one named test, run it whatever their parent's share.
class ShareNotInherited : public testing::Environment {
public:
    void SetUp() override
    {
        SetEnvironmentVariableW(L"GTEST_TOTAL_SHARDS", nullptr);
        SetEnvironmentVariableW(L"GTEST_SHARD_INDEX", nullptr);
    }
};

int main(int argc, char** argv)
{
    testing::InitGoogleMock(&argc, argv);
    ActivateProgramManifest();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc = { sizeof(icc), 0x500D };
    InitCommonControlsEx(&icc);
    testing::AddGlobalTestEnvironment(new ShareNotInherited());
    testing::AddGlobalTestEnvironment(new ProgramKeysKept());
    int result = RUN_ALL_TESTS();
    RemoveTempFolders();
    CoUninitialize();
    return result;
}
