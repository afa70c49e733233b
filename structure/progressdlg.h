// The progress dialog of Tarnix's long operations (SAVEPROGDLG) and its contract with their
// workers. The caller fills a ProgressParams on its stack and runs the modal dialog; the dialog
// starts the worker of the block's Mode when it initialises. The worker runs on a thread of its
// own, sets the dialog's texts by sent messages, reports positions (0-100) and reads the cancel
// request through the callback, and ends in one of two ways:
//
//   - by itself (the structure save): ProgressEndByWorker with its result, which the dialog
//     returns;
//   - by the user (validation, import): ProgressEndByUser writes the final status, turns the
//     button into "&OK" and sets Cancel; the next press of the button closes the dialog with 0.
//
// A press during the run only sets Cancel; a second press asks the dialog to close. Either way
// the dialog ends only once the worker thread has ended, pumping messages while it waits, so
// the caller may free the run's argument as soon as the dialog returns.
#pragma once
#include <windows.h>

#include <atomic>

struct StructureModel;
struct ProgressParams;

enum ProgressMode {
    PROGRESS_SAVE = 1,        // Argument: the CSchemaDb
    PROGRESS_VALIDATION = 2,  // Argument: the DbCheck
    PROGRESS_IMPORT = 3,      // Argument: the ImportJob
};

// Reports a position (percent) and answers the cancel request (true: stop).
typedef bool (*ProgressCallbackFn)(int position, ProgressParams* params);

// Starts the worker of one mode on the user-interface thread: sets the dialog's title (and
// status), creates the thread with StartProgressWorker. False when no worker could be started;
// the dialog then closes with 0.
typedef bool (*ProgressStarter)(void* argument, ProgressParams* params);

struct ProgressParams {
    HINSTANCE hInstance = nullptr;
    HWND Dialog = nullptr;            // set by the dialog when it initialises
    std::atomic<bool> Cancel{false};  // only ever goes from false to true during a run
    int Mode = 0;                     // ProgressMode
    void* Argument = nullptr;
    StructureModel* Model = nullptr;
    ProgressCallbackFn Callback = nullptr;
    HANDLE Worker = nullptr;          // the worker thread; the dialog waits for it and closes it
    int LastPosition = 0;             // the bar's position as last sent (the worker's own)
};

// The callback workers are given: sends PBM_SETPOS to the bar only when the position differs
// from the last one sent (a sent message costs a thread switch), and returns Cancel.
bool ProgressCallback(int position, ProgressParams* params);

// Runs SAVEPROGDLG modally over owner; the value the dialog ended with.
INT_PTR RunProgressDialog(HWND owner, ProgressParams* params);

// Dialog procedure of SAVEPROGDLG; the creation parameter is the ProgressParams.
INT_PTR CALLBACK ProgressDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

// The starter the dialog uses for a mode (the save's and the validation's by default; the
// program adds the import's). Returns the one replaced; tests install their own workers through it.
ProgressStarter SetProgressStarter(int mode, ProgressStarter starter);

// ---- for starters and workers ----

// Creates the worker thread (running at once, the block as parameter); its handle goes into
// params->Worker, its id into *threadId when given. False when it could not be created.
bool StartProgressWorker(ProgressParams* params, LPTHREAD_START_ROUTINE worker, DWORD* threadId);

// The dialog's title or status text from the program's string table.
void ProgressSetTitle(ProgressParams* params, UINT stringId);
void ProgressSetStatus(ProgressParams* params, UINT stringId);

// The worker's end when the user closes the dialog: final status, the button reads "&OK",
// Cancel is set. Call last, just before the thread returns.
void ProgressEndByUser(ProgressParams* params, UINT statusStringId);
// The same with a final status of the worker's own making.
void ProgressEndByUserText(ProgressParams* params, const wchar_t* status);

// The worker's end when it closes the dialog itself with result (1 success, 0 failure).
void ProgressEndByWorker(ProgressParams* params, INT_PTR result);
