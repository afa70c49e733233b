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

// The procedure of an export's options dialog: the export object in DWLP_USER, the dialog's
// corner kept as it moves, Init at WM_INITDIALOG and OK ending the dialog once Accept takes it.
template <class Export, void (*Init)(HWND, Export*), bool (*Accept)(HWND, Export*)>
INT_PTR CALLBACK ExportOptionsProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Export* e = reinterpret_cast<Export*>(GetWindowLongPtrW(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        e = reinterpret_cast<Export*>(lParam);
        SetWindowLongPtrW(dlg, DWLP_USER, (LONG_PTR)e);
        Init(dlg, e);
        return TRUE;
    case WM_MOVE:
        if (e)
            RememberExportDialog(dlg, &e->Left, &e->Top);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && e && Accept(dlg, e))
            EndDialog(dlg, IDOK);
        else if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dlg, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

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
