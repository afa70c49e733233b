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
};
