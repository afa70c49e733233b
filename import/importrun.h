// The import run: every source is imported by one frame. The run is all or nothing: one
// transaction from the first structure change to the last row (records are never matched, so
// half an import run again would duplicate them). Each row is a savepoint of it: a row that
// fails is undone and logged and the run goes on; the end commits once. A cancel, or a failure
// that stops the run (unreadable source, refused structure, the database ending the transaction,
// a refused commit), rolls everything back, structure included, and marks the structure model
// stale: it is read again by ReloadModelAfterImport once the run has ended. After every failed
// row the run checks that its transaction still stands: it never goes on in autocommit.
//
// Order: status 105; the source's data; the log; the structure changes; the fallback species and
// locality typed in the wizard (typedtarget.h); the target tables;
// status 114 (or the source's own); the rows, each followed by the progress callback whose answer
// is the cancel flag; the source closed; commit or roll back; the log closed (kept and announced
// with ZM_IMPORT_ERRORS when it holds entries, deleted when empty); the final status, which says
// how many errors the log holds, and whether the log could not be written whole.
#pragma once
#include <windows.h>

#include <string>

#include "dataaccess/ado.h"
#include "import/rowjournal.h"

// Posted by the import worker to the main form: wParam the number of entries logged (errors and
// notes). In the range of Tarnix's private messages (utilities/tarnix_protocol.h).
#define ZM_IMPORT_ERRORS (WM_USER + 4)

struct ImportJob;
class IImpSource;
struct ProgressParams;

// What a run reports, and to whom. The progress dialog's own (ProgressImportSink) is used by
// the program; tests give their own.
class ImportSink {
public:
    virtual ~ImportSink() = default;
    virtual void Status(UINT stringId) = 0;
    // The rows' progress, 0-100; true asks the run to stop after this row.
    virtual bool Progress(int percent) = 0;
    // Owner of the structure steps' messages.
    virtual HWND Owner() = 0;
    // The log holds count entries (errors and notes) and stays for the viewer.
    virtual void ErrorsLogged(int count) = 0;
    // The run's end with its final status (ImportStatusText words it).
    virtual void Finish(UINT statusId) = 0;
};

// Results of IImpSource::ImportRow.
enum ImportRowResult {
    ROW_END = 0,       // no row left
    ROW_IMPORTED = 1,
    ROW_FAILED = 2,    // logged by the source; what it wrote is undone
    ROW_FATAL = 3,     // the run stops and rolls back
};

// How a run ended.
enum ImportOutcome {
    IMPORT_COMMITTED = 0,
    IMPORT_CANCELLED = 1,  // by the user; rolled back
    IMPORT_FAILED = 2,     // a failure stopped it; rolled back
};

// What the source's hooks work with during a run.
class ImportRun {
public:
    ImportRun(ImportJob* job, ImportSink* sink);

    ImportJob* Job;
    IImpSource* Source;
    ImportSink* Sink;
    zdata::Connection* Connection;  // the target's, inside the import's transaction
    int Line;                       // the source line of the row being imported (the log's)
    RowJournal Journal;             // what the row being imported added to the run's memory

    // Runs a statement of the row; false when the database refused it.
    bool Execute(const std::wstring& sql);
    // Log entries for the current line: a message, or the connection's errors.
    void LogError(const wchar_t* message);
    // A note for the current line: the row was imported, but by a choice the user should know of.
    void LogNote(const wchar_t* message);
    void LogDbErrors();
    // A text of the program's string table.
    std::wstring String(UINT id) const;
    // True while the import's transaction stands (a trigger's RAISE(ROLLBACK), a full disk or
    // an I/O error end it without the run's asking).
    bool TransactionStands();
};

// The words of a final status: string statusId, the number of errors put into the one that
// counts them.
std::wstring ImportStatusText(HINSTANCE instance, UINT statusId, int errors);

// Runs the whole import of the job's source on the calling thread.
ImportOutcome RunImportFrame(ImportJob* job, ImportSink* sink);

// After the run has ended (its worker joined), on the user-interface thread, which alone may free
// the model's entries: reads the model again when the run left it stale; true when it did.
// Whoever shows the model's entries lets go of them first.
bool ReloadModelAfterImport(ImportJob* job);

// The progress dialog's starter of import mode: IImpSource::StartImport of the job's source.
bool StartImportJob(void* job, ProgressParams* params);

// The worker thread of every source: RunImportFrame reporting to the progress dialog.
DWORD WINAPI ImportWorker(LPVOID params);
