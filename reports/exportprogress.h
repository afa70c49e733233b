// The progress dialog PROGRESSDLG that both list exports run while their worker writes, and the
// worker's side of it: the rows done so far and the end, each sent to the dialog, and the cancel
// request the dialog's button makes. The dialog closes only once the worker has ended.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>

// Messages from an export worker to its progress dialog.
#define ZM_EXPORT_PROGRESS (WM_USER + 101)  // wParam 0, lParam the rows written so far
#define ZM_EXPORT_DONE (WM_USER + 102)      // wParam 1 when it failed, lParam const ExportOutcome*

// Controls of PROGRESSDLG (101 and 102 stay hidden for the exports).
enum ProgressDlgControl
{
    IDC_PROGRESS_STATUS = 101,
    IDC_PROGRESS_STATUSBAR = 102,
    IDC_PROGRESS_TEXT = 103,
    IDC_PROGRESS_BAR = 104,
    IDC_PROGRESS_BUTTON = 105,
};

// How an export ended: a failure's message replaces the end message.
struct ExportOutcome
{
    bool Failed = false;
    std::wstring Message;  // the error, shown in the dialog and in a message box
    int Truncated = 0;     // texts cut to the sheet's limit
};

// What the dialog and the worker share while an export runs.
struct ExportRun
{
    HINSTANCE Instance = nullptr;
    const wchar_t* ProgressFormat = nullptr;  // "%d zápisů vyexportováno"
    HANDLE Worker = nullptr;                  // created suspended; the dialog starts it
    int RowCount = 0;                         // the bar's maximum; none when 0 or less
    std::atomic<int>* Cancel = nullptr;       // set by the button; the worker stops before a row
    std::atomic<int> Done{0};                 // the worker has sent its end
    HWND* DialogSlot = nullptr;               // the export's record of the open dialog
    ExportOutcome Outcome;                    // copied from ZM_EXPORT_DONE
};

// Runs PROGRESSDLG modally owned by owner; returns when the dialog has closed, which is never
// before the worker has ended.
void RunExportProgress(HWND owner, ExportRun* run);

// Creates the worker suspended (*worker holds it while it runs) and runs the progress dialog,
// which starts it; returns once the worker has ended.
void RunExportWorker(HWND owner, ExportRun* run, HANDLE* worker, LPTHREAD_START_ROUTINE proc, void* param);

// The worker's side: progress at most every ~100 ms and only at multiples of 20 rows (a message
// to another thread costs a fraction of a millisecond), the cancel request and the end.
class ExportReporter
{
public:
    explicit ExportReporter(ExportRun* run) : run_(run) {}
    bool Cancelled() const { return run_->Cancel && run_->Cancel->load() != 0; }
    void Rows(int done);
    void Finish(const ExportOutcome& outcome);

private:
    ExportRun* run_;
    DWORD last_ = 0;
    bool sent_ = false;
};

// A string-table entry of any length (empty when missing).
std::wstring ExportString(HINSTANCE instance, UINT id);

// The Czech text of a failure: the string-table entry (which takes the file name) and the
// system's own description of the error.
std::wstring ExportErrorText(HINSTANCE instance, UINT textId, const wchar_t* file, HRESULT error);
