#include "import/importrun.h"

#include <strsafe.h>

#include "dataaccess/txnabandon.h"
#include "import/impsource.h"
#include "resources/tarnix/resource.h"
#include "structure/progressdlg.h"
#include "structure/schemadb.h"

namespace {

// A table of the connection's own temporary schema, made inside the import's transaction: it is
// there exactly as long as that transaction stands, whoever ended it.
const wchar_t kRunMark[] = L"ZOR_IMPORT_RUNNING";

bool BeginImportTransaction(ImportRun& run)
{
    if (FAILED(run.Connection->BeginTrans()))
        return false;
    if (run.Execute(std::wstring(L"CREATE TEMP TABLE ") + kRunMark + L" (X INTEGER)"))
        return true;
    zdata::AbandonTransactions(run.Connection);
    return false;
}

bool CommitImportTransaction(ImportRun& run)
{
    return run.TransactionStands() && run.Execute(std::wstring(L"DROP TABLE temp.") + kRunMark) &&
           SUCCEEDED(run.Connection->CommitTrans());
}

// The rows: each in a savepoint of its own, undone when it fails.
ImportOutcome ImportRows(ImportRun& run)
{
    IImpSource* source = run.Source;
    zdata::Connection* connection = run.Connection;
    run.Journal.Keep();  // what the targets' opening made stays
    for (;;) {
        if (FAILED(connection->BeginTrans())) {
            run.LogDbErrors();
            return IMPORT_FAILED;
        }
        int result = source->ImportRow(run);
        if (result == ROW_IMPORTED) {
            if (FAILED(connection->CommitTrans())) {
                run.LogDbErrors();
                return IMPORT_FAILED;
            }
            run.Journal.Keep();
        } else {
            // A trigger's RAISE(ROLLBACK), a full disk or an I/O error may have ended the whole
            // transaction, the row's savepoint with it: then its rollback fails, and nothing may
            // go on in autocommit.
            if (FAILED(connection->RollbackTrans()))
                return IMPORT_FAILED;
            run.Journal.Undo();
        }
        if (result == ROW_END)
            return IMPORT_COMMITTED;
        if (result == ROW_FATAL)
            return IMPORT_FAILED;
        if (run.Sink->Progress(source->Percent()))
            return IMPORT_CANCELLED;
    }
}

// The run inside its transaction: structure, target tables, rows.
ImportOutcome ImportInTransaction(ImportRun& run)
{
    IImpSource* source = run.Source;
    if (!source->ChangeStructure(run) || !run.TransactionStands())
        return IMPORT_FAILED;
    if (run.Sink->Progress(0))
        return IMPORT_CANCELLED;
    if (!MakeTypedTargets(run))
        return IMPORT_FAILED;
    if (!source->OpenTargets(run)) {
        run.LogDbErrors();
        return IMPORT_FAILED;
    }
    run.Sink->Status(source->RowStatusId());
    return ImportRows(run);
}

UINT FinalStatus(ImportOutcome outcome, const ImportLog* log)
{
    switch (outcome) {
    case IMPORT_COMMITTED:
        // What stayed is kept, but rows with errors were not imported as they stand: that is no
        // success to report.
        if (log->ErrorCount > 0)
            return log->ErrorCount == 1 ? IDS_I_IMPORT_DONE_ONE_ERROR : IDS_I_IMPORT_DONE_ERRORS;
        return log->NoteCount > 0 ? IDS_I_IMPORT_DONE_NOTES : IDS_I_IMPORT_DONE;
    case IMPORT_CANCELLED: return IDS_I_IMPORT_CANCELLED;
    default: return IDS_I_IMPORT_FAILED;
    }
}

// The progress dialog as the run's sink.
class ProgressImportSink : public ImportSink {
public:
    explicit ProgressImportSink(ProgressParams* params) : params_(params) {}
    void Status(UINT stringId) override { ProgressSetStatus(params_, stringId); }
    bool Progress(int percent) override { return params_->Callback(percent, params_); }
    HWND Owner() override { return params_->Dialog; }
    void ErrorsLogged(int count) override
    {
        PostMessageW(GetParent(params_->Dialog), ZM_IMPORT_ERRORS, (WPARAM)count, 0);
    }
    void Finish(UINT statusId) override
    {
        const ImportJob* job = static_cast<const ImportJob*>(params_->Argument);
        int errors = job && job->Source ? job->Source->ErrorCount : 0;
        std::wstring text = ImportStatusText(params_->hInstance, statusId, errors);
        // The run's result stands; a log that lost entries is said after it.
        std::wstring lost = job && job->Source ? ImportLogLostText(params_->hInstance, job->Source) : std::wstring();
        if (!lost.empty())
            text += L"\r\n\r\n" + lost;
        ProgressEndByUserText(params_, text.c_str());
    }

private:
    ProgressParams* params_;
};

}  // namespace

ImportRun::ImportRun(ImportJob* job, ImportSink* sink)
    : Job(job), Source(job->Source), Sink(sink), Connection(job->Db->GetConnection()), Line(0)
{
}

bool ImportRun::Execute(const std::wstring& sql)
{
    return SUCCEEDED(Connection->Execute(sql.c_str()));
}

void ImportRun::LogError(const wchar_t* message)
{
    LogImportError(Source, Line, message);
}

void ImportRun::LogNote(const wchar_t* message)
{
    LogImportNote(Source, Line, message);
}

void ImportRun::LogDbErrors()
{
    LogAdoErrors(Source, Line);
}

std::wstring ImportRun::String(UINT id) const
{
    wchar_t text[512] = L"";
    LoadStringW(Source->hInstance, id, text, 512);
    return text;
}

bool ImportRun::TransactionStands()
{
    // A statement that changes nothing and names the mark: it fails once the mark is gone. (A
    // row that failed asks this; a query's recordset would cost the row more than its work.)
    static const std::wstring kTouch = std::wstring(L"UPDATE temp.") + kRunMark + L" SET X = X WHERE 0 = 1";
    return Connection->TransactionLevel() >= 1 &&
           SUCCEEDED(Connection->Execute(kTouch.c_str(), nullptr, adCmdText | adExecuteNoRecords, nullptr));
}

ImportOutcome RunImportFrame(ImportJob* job, ImportSink* sink)
{
    ImportRun run(job, sink);
    IImpSource* source = job->Source;
    sink->Status(IDS_I_CHANGING_STRUCTURE);
    bool dataOpen = source->OpenData(run);
    OpenImportLog(source, run.Connection);
    ImportOutcome outcome = IMPORT_FAILED;
    bool began = false;
    if (!dataOpen) {
        run.LogError(run.String(IDS_I_LOG_SOURCE_UNREADABLE).c_str());
    } else if (!BeginImportTransaction(run)) {
        run.LogDbErrors();
    } else {
        began = true;
        outcome = ImportInTransaction(run);
    }
    source->CloseData(run);
    if (began && outcome == IMPORT_COMMITTED && !CommitImportTransaction(run)) {
        run.LogDbErrors();
        outcome = IMPORT_FAILED;
    }
    if (began && outcome != IMPORT_COMMITTED) {
        zdata::AbandonTransactions(run.Connection);
        // The model holds what the structure steps believed written. The pages show its
        // entries: it is read again on the user-interface thread, after this run.
        job->ModelStale = true;
    }
    // The log says that nothing of a stopped run stayed; a cancel with nothing logged needs no
    // log, and the user's own Storno is no error of a line.
    if (outcome == IMPORT_FAILED)
        run.LogError(run.String(IDS_I_LOG_ROLLED_BACK).c_str());
    else if (outcome == IMPORT_CANCELLED && LogEntryCount(source) > 0)
        LogImportLine(source, run.String(IDS_I_LOG_CANCELLED).c_str());
    CloseImportLog(source);
    if (LogEntryCount(source) > 0)
        sink->ErrorsLogged(LogEntryCount(source));
    else
        DeleteImportLog(source);
    sink->Finish(FinalStatus(outcome, source));
    return outcome;
}

std::wstring ImportStatusText(HINSTANCE instance, UINT statusId, int errors)
{
    wchar_t format[256] = L"";
    LoadStringW(instance, statusId, format, 256);
    if (statusId != IDS_I_IMPORT_DONE_ERRORS)
        return format;
    wchar_t text[256] = L"";
    StringCchPrintfW(text, 256, format, errors);
    return text;
}

bool ReloadModelAfterImport(ImportJob* job)
{
    if (!job->ModelStale)
        return false;
    job->ModelStale = false;
    ClearStructureModel(job->Model);
    job->Db->Load(job->Model);
    return true;
}

bool StartImportJob(void* job, ProgressParams* params)
{
    ImportJob* importJob = static_cast<ImportJob*>(job);
    return importJob && importJob->Source && importJob->Source->StartImport(params);
}

DWORD WINAPI ImportWorker(LPVOID parameter)
{
    ProgressParams* params = static_cast<ProgressParams*>(parameter);
    ProgressImportSink sink(params);
    RunImportFrame(static_cast<ImportJob*>(params->Argument), &sink);
    return 0;
}
