// PROGRESSDLG: the rows an export has written, its end or its error, and its cancel button.
#include "reports/exportprogress.h"

#include <commctrl.h>
#include <strsafe.h>

#include <vector>

#include "core/msgbox.h"
#include "resources/zorna/export.h"

namespace {

const UINT kIdsOk = 313;            // "OK"
const UINT kIdsErrorCaption = 500;  // "Chyba"
const UINT kIdsExportDone = 803;    // "Export dokončen"
const UINT kIdsCutTexts = 1811;     // "Export dokončen. Zkráceno textů ...: %d."
const int kProgressStep = 20;       // rows between two texts of the dialog
const DWORD kProgressPause = 100;   // ms between two messages of the worker
// Posted to itself once the worker is released: the error's message box.
const UINT kShowError = WM_APP + 1;

// Waits for the worker while the dialog's messages go on being dispatched.
void WaitForWorker(HANDLE worker)
{
    if (!worker)
        return;
    while (MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void ShowProgress(HWND dlg, ExportRun* run, int rows)
{
    if (run->RowCount > 0 && rows > run->RowCount)
        return;
    if (rows % kProgressStep == 0) {
        wchar_t text[64];
        StringCchPrintfW(text, 64, run->ProgressFormat ? run->ProgressFormat : L"%d", rows);
        SetDlgItemTextW(dlg, IDC_PROGRESS_TEXT, text);
    }
    // Without a count there is nothing to divide by: the bar stays where it is.
    if (run->RowCount > 0)
        SendDlgItemMessageW(dlg, IDC_PROGRESS_BAR, PBM_SETPOS, (WPARAM)((long long)rows * 100 / run->RowCount), 0);
}

void ShowEnd(HWND dlg, ExportRun* run, const ExportOutcome& outcome)
{
    run->Outcome = outcome;
    ShowWindow(GetDlgItem(dlg, IDC_PROGRESS_BAR), SW_HIDE);
    std::wstring text;
    if (outcome.Failed) {
        // The failure's message, with the file and the reason, is the box's alone: said once.
        text = ExportString(run->Instance, IDS_EXP_FAILED);
    } else if (outcome.Truncated > 0) {
        wchar_t buffer[256];
        StringCchPrintfW(buffer, 256, ExportString(run->Instance, kIdsCutTexts).c_str(), outcome.Truncated);
        text = buffer;
    } else {
        text = ExportString(run->Instance, kIdsExportDone);
    }
    SetDlgItemTextW(dlg, IDC_PROGRESS_TEXT, text.c_str());
    SetDlgItemTextW(dlg, IDC_PROGRESS_BUTTON, ExportString(run->Instance, kIdsOk).c_str());
    // The button now closes the dialog: it becomes the default one, so that Enter closes too.
    SendMessageW(dlg, DM_SETDEFID, IDC_PROGRESS_BUTTON, 0);
    SendMessageW(dlg, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dlg, IDC_PROGRESS_BUTTON), TRUE);
    run->Done = 1;
    if (outcome.Failed)
        PostMessageW(dlg, kShowError, 0, 0);
}

// The button, Esc and the close box: cancel while the worker runs (once), close after its end;
// Enter closes after the end only.
void OnProgressCommand(HWND dlg, ExportRun* run, int id)
{
    if (id == IDOK && !run->Done)
        return;
    if (id != IDC_PROGRESS_BUTTON && id != IDCANCEL && id != IDOK)
        return;
    if (run->Done) {
        WaitForWorker(run->Worker);
        EndDialog(dlg, IDOK);
    } else if (run->Cancel) {
        run->Cancel->store(1);  // a second press before the end changes nothing
    }
}

INT_PTR CALLBACK ProgressDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ExportRun* run = reinterpret_cast<ExportRun*>(GetWindowLongPtrW(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        run = reinterpret_cast<ExportRun*>(lParam);
        SetWindowLongPtrW(dlg, DWLP_USER, (LONG_PTR)run);
        ShowWindow(GetDlgItem(dlg, IDC_PROGRESS_STATUS), SW_HIDE);
        ShowWindow(GetDlgItem(dlg, IDC_PROGRESS_STATUSBAR), SW_HIDE);
        if (run->RowCount <= 0)
            ShowWindow(GetDlgItem(dlg, IDC_PROGRESS_BAR), SW_HIDE);
        if (run->DialogSlot)
            *run->DialogSlot = dlg;
        if (run->Worker)
            ResumeThread(run->Worker);
        return TRUE;
    case ZM_EXPORT_PROGRESS:
        if (run)
            ShowProgress(dlg, run, (int)lParam);
        return TRUE;
    case ZM_EXPORT_DONE:
        if (run && lParam)
            ShowEnd(dlg, run, *reinterpret_cast<const ExportOutcome*>(lParam));
        return TRUE;
    case kShowError:
        if (run)
            ZorMessageBox(dlg, run->Outcome.Message.c_str(), ExportString(run->Instance, kIdsErrorCaption).c_str(),
                          MB_OK | MB_ICONERROR);
        return TRUE;
    case WM_COMMAND:
        if (run)
            OnProgressCommand(dlg, run, LOWORD(wParam));
        return TRUE;
    case WM_DESTROY:
        if (run && run->DialogSlot)
            *run->DialogSlot = nullptr;
        return FALSE;
    }
    return FALSE;
}

}  // namespace

void RunExportProgress(HWND owner, ExportRun* run)
{
    run->Done = 0;
    DialogBoxParamW(run->Instance, L"PROGRESSDLG", owner, ProgressDlgProc, (LPARAM)run);
    // A dialog that could not be made never started the worker: start it and wait, so that the
    // export's objects are not freed under it.
    if (!run->Done && run->Worker) {
        if (run->Cancel)
            run->Cancel->store(1);
        ResumeThread(run->Worker);
    }
    WaitForWorker(run->Worker);
}

void RunExportWorker(HWND owner, ExportRun* run, HANDLE* worker, LPTHREAD_START_ROUTINE proc, void* param)
{
    *worker = CreateThread(nullptr, 0, proc, param, CREATE_SUSPENDED, nullptr);
    run->Worker = *worker;
    if (*worker) {
        RunExportProgress(owner, run);
        CloseHandle(*worker);
    }
    *worker = nullptr;
    run->Worker = nullptr;
}

// ---- the worker's side ----

void ExportReporter::Rows(int done)
{
    if (done % kProgressStep != 0)
        return;
    DWORD now = GetTickCount();
    if (sent_ && now - last_ < kProgressPause)
        return;
    sent_ = true;
    last_ = now;
    if (run_->DialogSlot && *run_->DialogSlot)
        SendMessageW(*run_->DialogSlot, ZM_EXPORT_PROGRESS, 0, done);
}

void ExportReporter::Finish(const ExportOutcome& outcome)
{
    if (run_->DialogSlot && *run_->DialogSlot)
        SendMessageW(*run_->DialogSlot, ZM_EXPORT_DONE, outcome.Failed ? 1 : 0, (LPARAM)&outcome);
}

std::wstring ExportString(HINSTANCE instance, UINT id)
{
    const wchar_t* text = nullptr;
    int n = LoadStringW(instance, id, reinterpret_cast<wchar_t*>(&text), 0);
    return n > 0 ? std::wstring(text, (size_t)n) : std::wstring();
}

std::wstring ExportErrorText(HINSTANCE instance, UINT textId, const wchar_t* file, HRESULT error)
{
    DWORD code = HRESULT_FACILITY(error) == FACILITY_WIN32 ? HRESULT_CODE(error) : (DWORD)error;
    wchar_t system[512] = L"";
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, system,
                        512, nullptr))
        StringCchPrintfW(system, 512, L"0x%08lX", (unsigned long)error);
    // The system's text ends with a line break of its own.
    size_t n = wcslen(system);
    while (n > 0 && (system[n - 1] == L'\r' || system[n - 1] == L'\n' || system[n - 1] == L' '))
        system[--n] = 0;
    std::wstring format = ExportString(instance, textId);
    std::vector<wchar_t> text(format.size() + wcslen(file ? file : L"") + n + 64);
    StringCchPrintfW(text.data(), text.size(), format.c_str(), file ? file : L"", system);
    return text.data();
}
