// Excel export of record lists: the rows of a list written as a new sheet of a workbook on a
// worker thread under the progress dialog of the text export. The main form keeps one for the
// program run; where its options dialog last stood lives in the workspace file.
#pragma once
#include <windows.h>
#include <atomic>

class CXmlReader;
class CXmlWriter;
class CObjArray;
class CPtrArray;
struct ExportRun;
namespace zdata { class Recordset; }

// Element of the workspace file.
#define EXCELEXPORT_SETTINGS_ELEMENT L"ExpToXLSDlg"

class CExcelExport
{
public:
    CExcelExport(HINSTANCE instance, HWND owner);
    ~CExcelExport();  // frees the sheet name and the sheet list
    CExcelExport(const CExcelExport&) = delete;
    CExcelExport& operator=(const CExcelExport&) = delete;

    // Adds ExpToXLSDlg under the root with Left and Top.
    void SaveSettings(CXmlWriter* writer);
    // Reads ExpToXLSDlg Left and Top when present.
    void LoadSettings(CXmlReader* reader);

    // Runs the options dialog EXPTOXLS; when it is accepted, writes the list's rows as a sheet of
    // the workbook on a worker thread under PROGRESSDLG and returns once the worker has ended.
    // A list longer than a sheet (or wider) is refused with a message before the dialog.
    void Run(zdata::Recordset* recordset, const wchar_t* fileName, CObjArray* dispFields,
             const wchar_t* sheetName);
    // The worker's work: Rows written as the sheet SheetName of FileName (added to it when it
    // exists and Append is 1), reported through Progress. The worker thread runs it;
    // benchmarks call it as it is.
    void WriteRows();

    HINSTANCE Instance;
    HWND Owner;                   // the main form
    int Left, Top;                // options dialog position; -100: not placed yet
    wchar_t ProgressFormat[32];   // string 802
    HANDLE Worker;                // while an export runs
    const wchar_t* ProposedSheet; // from the caller, not owned
    CPtrArray* Sheets;            // sheet names of the chosen workbook, owned (16, 4)
    zdata::Recordset* Recordset;  // rows to export, not owned
    int RowCount;
    int Append;                   // 1 add a sheet (default), 0 overwrite the workbook
    int FileExists;               // the chosen file existed when the dialog opened
    std::atomic<int> StopFlag;
    HWND ProgressDlg;
    const wchar_t* FileName;      // not owned
    wchar_t* SheetName;           // the accepted name, owned (malloc)
    CObjArray* DispFields;        // not owned
    zdata::Recordset* Rows;       // the worker's clone of the recordset while an export runs
    ExportRun* Progress;          // shared with the progress dialog while an export runs
    int SheetsStatus;             // xls::BookStatus of reading the chosen workbook's sheets
    HRESULT SheetsError;          // the system's error of that reading
};

// Data rows of one sheet (its first row holds the captions) and its columns.
const int kMaxExportSheetRows = 65535;
const int kMaxExportSheetColumns = 256;
