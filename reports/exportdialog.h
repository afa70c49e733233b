// What the options dialogs of both list exports share: where they stand, the caption of their
// refusals, and the worker's own cursor over the list's rows.
#pragma once
#include <windows.h>

#include "dataaccess/ado.h"
#include "reports/exportprogress.h"


const UINT IDS_EXPORT_ERROR_CAPTION = 500;  // "Chyba"

// WM_INITDIALOG: moves the dialog to the stored corner, or stores where it stands when it was
// never placed (left below -99).
void PlaceExportDialog(HWND dlg, int* left, int* top);
// WM_MOVE: the dialog's corner is stored.
void RememberExportDialog(HWND dlg, int* left, int* top);

// A cursor of the worker's own over the recordset's rows (the list's cursor moves with every
// cell the list paints), reading ahead in large blocks; *rowCount gets the progress maximum:
// the row count + 1, or 0 when the count is not known. False when no cursor could be made.
bool StartExportRows(zdata::Recordset* recordset, zdata::Recordset** rows, int* rowCount);

// Runs the export's worker under the progress dialog; the export's fields of these names hold
// the run while it lasts, and the worker's cursor is released after it.
template <class Export>
void RunExportOnWorker(Export* e, LPTHREAD_START_ROUTINE proc)
{
    e->StopFlag = 0;
    ExportRun run;
    run.Instance = e->Instance;
    run.ProgressFormat = e->ProgressFormat;
    run.RowCount = e->RowCount;
    run.Cancel = &e->StopFlag;
    run.DialogSlot = &e->ProgressDlg;
    e->Progress = &run;
    RunExportWorker(e->Owner, &run, &e->Worker, proc, e);
    e->Progress = nullptr;
    e->Rows->Release();
    e->Rows = nullptr;
}

// A message box with the text under caption 500 and an error icon.
void ShowExportError(HWND owner, HINSTANCE instance, const wchar_t* text);
