// Excel export: the options dialog EXPTOXLS, the run under the progress dialog and the worker
// that writes the sheet through the workbook writer.
#include "reports/excelexport.h"

#include <objbase.h>
#include <strsafe.h>

#include <string>
#include <vector>

#include "core/containers.h"
#include "core/fields.h"
#include "dataaccess/ado.h"
#include "reports/exportcells.h"
#include "reports/exportdialog.h"
#include "reports/exportprogress.h"
#include "resources/zorna/export.h"
#include "workbook/biff.h"
#include "workbook/sheetwriter.h"

namespace {

const UINT kIdsSheetExists = 509;   // "V daném excelovském souboru již existuje list ..."
const int kSheetNameChars = 255;    // read from the combo; longer than 31 is refused anyway

std::wstring Format(HINSTANCE instance, UINT id, long a, long b)
{
    wchar_t text[512];
    StringCchPrintfW(text, 512, ExportString(instance, id).c_str(), a, b);
    return text;
}

std::wstring FormatFile(HINSTANCE instance, UINT id, const wchar_t* file)
{
    std::wstring format = ExportString(instance, id);
    std::vector<wchar_t> text(format.size() + wcslen(file) + 16);
    StringCchPrintfW(text.data(), text.size(), format.c_str(), file);
    return text.data();
}

// Why a workbook cannot take the sheet, in the user's words. ioText: the entry for a failure of
// the system (reading in the dialog, writing in the worker).
std::wstring BookStatusText(HINSTANCE instance, xls::BookStatus status, const wchar_t* file, HRESULT error,
                            UINT ioText, long rows)
{
    switch (status) {
    case xls::BookStatus::Ok: return L"";
    case xls::BookStatus::NotFound: return FormatFile(instance, IDS_EXP_NOT_FOUND, file);
    case xls::BookStatus::Locked: return FormatFile(instance, IDS_EXP_LOCKED, file);
    case xls::BookStatus::NotWorkbook: return FormatFile(instance, IDS_EXP_NOT_WORKBOOK, file);
    case xls::BookStatus::OldFormat: return FormatFile(instance, IDS_EXP_OLD_WORKBOOK, file);
    case xls::BookStatus::Encrypted: return FormatFile(instance, IDS_EXP_ENCRYPTED, file);
    case xls::BookStatus::Damaged: return FormatFile(instance, IDS_EXP_DAMAGED, file);
    case xls::BookStatus::NameTaken: return ExportString(instance, kIdsSheetExists);
    case xls::BookStatus::BadName: return Format(instance, IDS_EXP_BAD_SHEET_NAME, xls::kMaxSheetNameChars, 0);
    case xls::BookStatus::TooLarge:
        return Format(instance, IDS_EXP_TOO_MANY_ROWS, kMaxExportSheetRows, rows);
    case xls::BookStatus::IoError: break;
    }
    return ExportErrorText(instance, ioText, file, error);
}

// ---- the options dialog ----

void InitExcelOptions(HWND dlg, CExcelExport* e)
{
    HWND combo = GetDlgItem(dlg, IDC_EXP_SHEET);
    e->Sheets->RemoveAll(1);
    if (e->FileExists) {
        std::vector<xls::SheetInfo> sheets;
        HRESULT error = S_OK;
        e->SheetsStatus = (int)xls::ReadWorkbookSheets(e->FileName, &sheets, &error);
        e->SheetsError = error;
        for (const xls::SheetInfo& s : sheets) {
            e->Sheets->Add(_wcsdup(s.name.c_str()));
            if (s.kind == 0)
                SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)s.name.c_str());
        }
        CheckRadioButton(dlg, IDC_EXP_APPEND, IDC_EXP_OVERWRITE, e->Append == 1 ? IDC_EXP_APPEND : IDC_EXP_OVERWRITE);
    } else {
        for (int id = IDC_EXP_EXISTING; id <= IDC_EXP_OVERWRITE; ++id)
            ShowWindow(GetDlgItem(dlg, id), SW_HIDE);
    }
    SetWindowTextW(combo, e->ProposedSheet ? e->ProposedSheet : L"");
    PlaceExportDialog(dlg, &e->Left, &e->Top);
}

// OK: the name must suit a sheet tab (Excel's rule, a space allowed) and, when the sheet is
// added to the workbook, the workbook must take sheets and have none of that name.
bool AcceptExcelOptions(HWND dlg, CExcelExport* e)
{
    HWND combo = GetDlgItem(dlg, IDC_EXP_SHEET);
    wchar_t name[kSheetNameChars + 1] = L"";
    GetWindowTextW(combo, name, kSheetNameChars + 1);
    std::wstring refusal;
    if (!xls::IsValidSheetName(name)) {
        refusal = BookStatusText(e->Instance, xls::BookStatus::BadName, e->FileName, S_OK, 0, 0);
    } else if (e->FileExists) {
        e->Append = IsDlgButtonChecked(dlg, IDC_EXP_APPEND) == BST_CHECKED ? 1 : 0;
        if (e->Append && e->SheetsStatus != (int)xls::BookStatus::Ok) {
            refusal = BookStatusText(e->Instance, (xls::BookStatus)e->SheetsStatus, e->FileName, e->SheetsError,
                                     IDS_EXP_READ_FAILED, 0);
        } else if (e->Append) {
            for (int i = 0; i < e->Sheets->GetCount() && refusal.empty(); ++i)
                if (xls::SameSheetName(static_cast<const wchar_t*>(e->Sheets->GetItems()[i]), name))
                    refusal = ExportString(e->Instance, kIdsSheetExists);
        }
    }
    if (!refusal.empty()) {
        ShowExportError(dlg, e->Instance, refusal.c_str());
        SetFocus(combo);
        return false;
    }
    free(e->SheetName);
    e->SheetName = _wcsdup(name);
    return true;
}

// ---- the sheet ----

// ADO types the layer never reports but a list column could carry.
const int kAdFileTime = 64;
const int kAdVarNumeric = 139;

enum class SheetKind
{
    Number,
    Currency,
    Date,
    Boolean,
    Text,
};

// The sheet column a list column becomes: a formatted column is text (a whole-number one stays
// a number), the others by the ADO type of the list's column.
SheetKind KindOf(const ExportColumn& c)
{
    if ((c.Disp->ValueFormatter && c.Disp->ValueFormatter != FormatWholeNumber) || !c.Field)
        return SheetKind::Text;
    switch ((int)c.Type) {
    case adSmallInt: case adInteger: case adSingle: case adDouble: case adError: case adDecimal:
    case adTinyInt: case adUnsignedTinyInt: case adUnsignedSmallInt: case adUnsignedInt: case adBigInt:
    case adUnsignedBigInt: case adNumeric: case kAdVarNumeric:
        return SheetKind::Number;
    case adCurrency:
        return SheetKind::Currency;
    case adDate: case kAdFileTime: case adDBDate: case adDBTime: case adDBTimeStamp:
        return SheetKind::Date;
    case adBoolean:
        return SheetKind::Boolean;
    default:
        return SheetKind::Text;
    }
}

class CellWriter
{
public:
    CellWriter(xls::SheetWriter* sheet, HINSTANCE instance) : sheet_(sheet), texts_(instance) {}

    void Put(int row, int column, const ExportColumn& c, SheetKind kind, const VARIANT& value)
    {
        // A NULL is a blank cell, also in a formatted column (a coordinate without a value).
        if (value.vt == VT_NULL || value.vt == VT_EMPTY)
            return;
        if (kind == SheetKind::Text && c.Disp->ValueFormatter) {
            texts_.Text(c, value, &text_);  // the formatted text, an empty one included
            sheet_->Text(row, column, text_.data(), text_.size());
            return;
        }
        if (value.vt == VT_BYREF)
            return;
        VARIANT v, in = value;  // a shallow copy for the conversions, which do not change it
        VariantInit(&v);
        bool done = false;
        switch (kind) {
        case SheetKind::Number:
        case SheetKind::Currency:
            if (SUCCEEDED(VariantChangeType(&v, &in, 0, VT_R8)))
                done = sheet_->Number(row, column, v.dblVal,
                                      kind == SheetKind::Currency ? xls::CellStyle::Currency : xls::CellStyle::General);
            break;
        case SheetKind::Date:
            // Before 1 March 1900 the sheet's day numbers are off by the day that never was.
            if (SUCCEEDED(VariantChangeType(&v, &in, 0, VT_DATE)) && v.date >= xls::kFirstTrueSerial)
                done = sheet_->Number(row, column, v.date,
                                      v.date != (double)(long long)v.date ? xls::CellStyle::DateTime
                                                                          : xls::CellStyle::Date);
            break;
        case SheetKind::Boolean:
            if (SUCCEEDED(VariantChangeType(&v, &in, 0, VT_BOOL)))
                done = sheet_->Boolean(row, column, v.boolVal != VARIANT_FALSE);
            break;
        case SheetKind::Text:
            break;
        }
        VariantClear(&v);
        if (done || sheet_->Status() != xls::BookStatus::Ok)
            return;
        // Text, and any value its column's type does not take: what the list shows.
        texts_.Text(c, value, &text_);
        sheet_->Text(row, column, text_.data(), text_.size());
    }

private:
    xls::SheetWriter* sheet_;
    CellTexts texts_;
    std::wstring text_;
};

DWORD WINAPI ExcelExportWorker(LPVOID param)
{
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    static_cast<CExcelExport*>(param)->WriteRows();
    if (SUCCEEDED(com))
        CoUninitialize();
    return 0;
}

}  // namespace

void CExcelExport::WriteRows()
{
    ExportReporter report(Progress);
    ExportOutcome outcome;
    ExportColumns columns;
    columns.Open(Rows, DispFields);
    long count = -1;
    Rows->get_RecordCount(&count);
    if (columns.Count() > (size_t)kMaxExportSheetColumns) {
        outcome.Failed = true;
        outcome.Message = Format(Instance, IDS_EXP_TOO_MANY_COLUMNS, kMaxExportSheetColumns, (long)columns.Count());
    } else if (count > kMaxExportSheetRows) {
        outcome.Failed = true;
        outcome.Message = Format(Instance, IDS_EXP_TOO_MANY_ROWS, kMaxExportSheetRows, count);
    } else if (columns.Count() > 0) {
        xls::SheetWriter sheet;
        xls::BookStatus status = sheet.Begin(FileName, SheetName, FileExists && Append == 1);
        HRESULT readError = S_OK;
        if (status == xls::BookStatus::Ok) {
            std::vector<SheetKind> kinds;
            for (size_t i = 0; i < columns.Count(); ++i) {
                // The caption as the list shows it ("Sběratel (leg.)"), as the text export writes it.
                const std::wstring& name = columns[i].Caption;
                sheet.Text(0, (int)i, name.data(), name.size());
                kinds.push_back(KindOf(columns[i]));
            }
            CellWriter cells(&sheet, Instance);
            Rows->MoveFirst();
            int row = 1;
            while (!Rows->IsEOF() && !report.Cancelled() && sheet.Status() == xls::BookStatus::Ok &&
                   SUCCEEDED(readError)) {
                report.Rows(row - 1);
                for (size_t i = 0; i < columns.Count() && SUCCEEDED(readError); ++i) {
                    VARIANT value;
                    readError = columns.Value(i, &value);
                    if (SUCCEEDED(readError))
                        cells.Put(row, (int)i, columns[i], kinds[i], value);
                    VariantClear(&value);
                }
                ++row;
                if (SUCCEEDED(readError))
                    readError = Rows->MoveNext();
            }
            if (SUCCEEDED(readError))
                status = sheet.Commit();  // a cancelled export keeps the rows written before
        }
        outcome.Truncated = sheet.TruncatedCells();
        if (FAILED(readError)) {
            outcome.Failed = true;
            outcome.Message = ExportErrorText(Instance, IDS_EXP_LIST_FAILED, FileName, readError);
        } else if (status != xls::BookStatus::Ok) {
            outcome.Failed = true;
            outcome.Message = BookStatusText(Instance, status, FileName, sheet.Error(), IDS_EXP_WRITE_FAILED, count);
        }
    }
    report.Finish(outcome);
}

void CExcelExport::Run(zdata::Recordset* recordset, const wchar_t* fileName, CObjArray* dispFields,
                       const wchar_t* sheetName)
{
    if (!recordset || !fileName)
        return;
    // A list the sheet cannot hold is refused before anything is asked or written.
    long count = -1;
    recordset->get_RecordCount(&count);
    int columns = CountVisibleFields(dispFields);
    if (count > kMaxExportSheetRows || columns > kMaxExportSheetColumns) {
        std::wstring text = count > kMaxExportSheetRows
                                ? Format(Instance, IDS_EXP_TOO_MANY_ROWS, kMaxExportSheetRows, count)
                                : Format(Instance, IDS_EXP_TOO_MANY_COLUMNS, kMaxExportSheetColumns, columns);
        ShowExportError(Owner, Instance, text.c_str());
        return;
    }
    Recordset = recordset;
    FileName = fileName;
    DispFields = dispFields;
    ProposedSheet = sheetName;
    FileExists = GetFileAttributesW(fileName) != INVALID_FILE_ATTRIBUTES;
    DLGPROC options = ExportOptionsProc<CExcelExport, InitExcelOptions, AcceptExcelOptions>;
    if (DialogBoxParamW(Instance, L"EXPTOXLS", Owner, options, (LPARAM)this) == IDOK &&
        StartExportRows(recordset, &Rows, &RowCount)) {
        RunExportOnWorker(this, ExcelExportWorker);
    }
    FileName = nullptr;
    ProposedSheet = nullptr;
    ProgressDlg = nullptr;
    Recordset = nullptr;
}
