#include "reports/exportdialog.h"

#include "core/msgbox.h"
#include "dataaccess/ado.h"

namespace {

// Rows the worker's cursor reads at a time.
const long kExportCacheRows = 1000;

}  // namespace

void PlaceExportDialog(HWND dlg, int* left, int* top)
{
    if (*left < -99)
        RememberExportDialog(dlg, left, top);
    else
        SetWindowPos(dlg, nullptr, *left, *top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void RememberExportDialog(HWND dlg, int* left, int* top)
{
    RECT rc;
    if (GetWindowRect(dlg, &rc)) {
        *left = rc.left;
        *top = rc.top;
    }
}

bool StartExportRows(zdata::Recordset* recordset, zdata::Recordset** rows, int* rowCount)
{
    *rows = nullptr;
    *rowCount = 0;
    if (!recordset || FAILED(recordset->Clone(rows)) || !*rows)
        return false;
    (*rows)->put_CacheSize(kExportCacheRows);
    long count = -1;
    (*rows)->get_RecordCount(&count);
    *rowCount = count >= 0 ? (int)count + 1 : 0;
    return true;
}

void ShowExportError(HWND owner, HINSTANCE instance, const wchar_t* text)
{
    wchar_t caption[64] = L"";
    LoadStringW(instance, IDS_EXPORT_ERROR_CAPTION, caption, 64);
    ZorMessageBox(owner, text, caption, MB_OK | MB_ICONERROR);
}
