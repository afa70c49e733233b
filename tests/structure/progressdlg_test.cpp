// The progress dialog with test workers on threads of their own: the two ways a run ends, the
// cancel request, a second press that must wait for the worker, Alt+F4, and the bar messages.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

#include "resources/tarnix/resource.h"
#include "tests/support/wintest.h"
#include "tests/structure/tarnixtest.h"
#include "structure/progressdlg.h"

namespace {

using tarnixtest::Inst;
using wintest::WindowText;

// What a test worker does and what the test saw; the worker's thread reads it through
// params->Argument.
struct TestRun {
    std::function<void(ProgressParams*)> work;  // the worker's body (its thread)
    std::function<void(HWND)> onShown;          // once the dialog is up (UI thread)
    bool startFails = false;
    std::atomic<bool> lastStatementDone{false};
    std::atomic<bool> inStep{false};
    std::atomic<int> barMessages{0};
    WNDPROC barProc = nullptr;
};
TestRun* g_run = nullptr;

LRESULT CALLBACK CountingBar(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == PBM_SETPOS)
        ++g_run->barMessages;
    return CallWindowProcW(g_run->barProc, bar, msg, wParam, lParam);
}

DWORD WINAPI TestWorker(LPVOID p)
{
    auto* params = static_cast<ProgressParams*>(p);
    static_cast<TestRun*>(params->Argument)->work(params);
    return 0;
}

bool TestStarter(void* argument, ProgressParams* params)
{
    auto* run = static_cast<TestRun*>(argument);
    if (run->startFails)
        return false;
    HWND bar = GetDlgItem(params->Dialog, IDC_PROGRESS_BAR);
    run->barProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingBar)));
    SendMessageW(params->Dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Zkušební běh"));
    return StartProgressWorker(params, TestWorker, nullptr);
}

void CALLBACK WatchForDialog(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND dlg = FindWindowW(L"#32770", L"Zkušební běh");
    if (!dlg || !IsWindowVisible(dlg) || !g_run)
        return;
    KillTimer(nullptr, id);
    if (g_run->onShown)
        g_run->onShown(dlg);
}

// Runs the dialog with the test worker (registered as the import's starter for the run).
INT_PTR RunWith(TestRun& run)
{
    g_run = &run;
    ProgressStarter previous = SetProgressStarter(PROGRESS_IMPORT, TestStarter);
    ProgressParams params;
    params.hInstance = Inst();
    params.Mode = PROGRESS_IMPORT;
    params.Argument = &run;
    params.Callback = ProgressCallback;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, WatchForDialog);
    INT_PTR result = RunProgressDialog(nullptr, &params);
    KillTimer(nullptr, timer);
    SetProgressStarter(PROGRESS_IMPORT, previous);
    EXPECT_EQ(params.Worker, nullptr) << "the dialog closes the worker's handle";
    g_run = nullptr;
    return result;
}

// A worker that steps until it is asked to stop, then ends for the user to close.
void StepUntilCancelled(ProgressParams* params)
{
    for (int i = 0; i < 100000; ++i) {
        g_run->inStep = true;
        Sleep(5);
        if (params->Callback(i % 101, params))
            break;
    }
    SendDlgItemMessageW(params->Dialog, IDC_PROGRESS_STATUS, WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(L"Přerušeno uživatelem"));
    ProgressEndByUser(params, IDS_T_CHECK_CANCELLED);
    g_run->lastStatementDone = true;
}

TEST(ProgressDialog, StornoAsksTheWorkerToStopAndTheNextPressCloses)
{
    TestRun run;
    run.work = StepUntilCancelled;
    bool openAfterFirst = false;
    std::wstring status, button;
    run.onShown = [&](HWND dlg) {
        wintest::PumpUntil([&] { return run.inStep.load(); });
        wintest::SaveScreenshot(dlg, L"utilities_progress_running");
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        openAfterFirst = IsWindow(dlg) != FALSE;
        wintest::PumpUntil([&] { return WindowText(GetDlgItem(dlg, IDCANCEL)) == L"&OK"; });
        status = WindowText(GetDlgItem(dlg, IDC_PROGRESS_STATUS));
        button = WindowText(GetDlgItem(dlg, IDCANCEL));
        wintest::SaveScreenshot(dlg, L"utilities_progress_interrupted");
        PostMessageW(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0);
    };
    EXPECT_EQ(RunWith(run), 0);
    EXPECT_TRUE(openAfterFirst);
    EXPECT_EQ(status, L"Kontrola databáze byla přerušena");
    EXPECT_EQ(button, L"&OK");
    EXPECT_TRUE(run.lastStatementDone);
}

TEST(ProgressDialog, ASecondPressMidStepReturnsOnlyAfterTheWorkersLastStatement)
{
    TestRun run;
    run.work = [](ProgressParams* params) {
        params->Callback(10, params);
        g_run->inStep = true;
        Sleep(600);  // a long statement the cancel cannot interrupt
        SendDlgItemMessageW(params->Dialog, IDC_PROGRESS_STATUS, WM_SETTEXT, 0,
                            reinterpret_cast<LPARAM>(L"Poslední příkaz"));
        g_run->lastStatementDone = true;
        ProgressEndByUser(params, IDS_T_CHECK_CANCELLED);
    };
    run.onShown = [&](HWND dlg) {
        wintest::PumpUntil([&] { return run.inStep.load(); });
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    EXPECT_EQ(RunWith(run), 0);
    EXPECT_TRUE(run.lastStatementDone) << "the dialog ended while its worker still ran";
}

TEST(ProgressDialog, AltF4ActsAsStorno)
{
    TestRun run;
    run.work = StepUntilCancelled;
    bool stillOpen = false;
    run.onShown = [&](HWND dlg) {
        wintest::PumpUntil([&] { return run.inStep.load(); });
        // Alt held (context code, bit 29): the keyboard's way to close a window.
        SendMessageW(dlg, WM_SYSKEYDOWN, VK_F4, 0x20000001);
        wintest::PumpUntil([&] { return WindowText(GetDlgItem(dlg, IDCANCEL)) == L"&OK"; });
        stillOpen = IsWindowVisible(dlg) != FALSE;
        SendMessageW(dlg, WM_SYSKEYDOWN, VK_F4, 0x20000001);
    };
    EXPECT_EQ(RunWith(run), 0);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(run.lastStatementDone);
}

TEST(ProgressDialog, AWorkerThatEndsTheDialogGivesItsResult)
{
    for (INT_PTR result : {1, 0}) {
        TestRun run;
        run.work = [result](ProgressParams* params) {
            for (int pos : {0, 0, 5, 5, 5, 50, 100, 100})
                params->Callback(pos, params);
            ProgressEndByWorker(params, result);
            g_run->lastStatementDone = true;
        };
        EXPECT_EQ(RunWith(run), result);
        EXPECT_TRUE(run.lastStatementDone);
        // Only the moves of the bar were sent: 5, 50 and 100.
        EXPECT_EQ(run.barMessages.load(), 3);
    }
}

TEST(ProgressDialog, AWorkerThatCannotStartClosesTheDialog)
{
    TestRun run;
    run.startFails = true;
    EXPECT_EQ(RunWith(run), 0);
}

TEST(ProgressDialog, TheCallbackTellsTheBarOnlyOfMovesAndAnswersTheCancelFlag)
{
    HWND dlg = CreateDialogParamW(Inst(), L"SAVEPROGDLG", nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(dlg, nullptr);
    ProgressParams params;
    params.Dialog = dlg;
    EXPECT_FALSE(ProgressCallback(37, &params));
    EXPECT_EQ(SendDlgItemMessageW(dlg, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 37);
    params.Cancel = true;
    EXPECT_TRUE(ProgressCallback(100, &params));
    EXPECT_EQ(SendDlgItemMessageW(dlg, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(params.LastPosition, 100);
    DestroyWindow(dlg);
}

}  // namespace
