// Text export of record lists: the rows of a list written to a delimited text file on a worker
// thread under a progress dialog. The main form keeps one for the program run; its options
// (delimiter, encoding, where the options dialog last stood) live in the workspace file.
#pragma once
#include <windows.h>
#include <atomic>

class CXmlReader;
class CXmlWriter;
class CObjArray;
namespace zdata { class Recordset; }

// Element of the workspace file.
#define TEXTEXPORT_SETTINGS_ELEMENT L"ExpToTXTDlg"

// Where the options dialog stands before it was ever placed (any left below -99 means that).
#define EXPORT_DIALOG_UNPLACED (-100)

enum TextExportEncoding
{
    TEXTEXPORT_ANSI = 0,     // the system code page
    TEXTEXPORT_UNICODE = 1,  // UTF-16LE with a byte-order mark
};

class CTextExport
{
public:
    CTextExport(HINSTANCE instance, HWND owner);
    ~CTextExport();
    CTextExport(const CTextExport&) = delete;
    CTextExport& operator=(const CTextExport&) = delete;

    // Adds ExpToTXTDlg under the root: Delimiter ("Tab", "Space" or the text), Encoding, Left, Top.
    void SaveSettings(CXmlWriter* writer);
    // Reads ExpToTXTDlg when present; each attribute present replaces its value.
    void LoadSettings(CXmlReader* reader);

    HINSTANCE Instance;
    HWND Owner;                  // the main form, owner of the dialogs
    int Left, Top;               // options dialog position; Left below -99: not placed yet
    wchar_t ProgressFormat[32];  // string 802 "%d zápisů vyexportováno"
    HANDLE Worker;               // while an export runs
    zdata::Recordset* Recordset; // rows to export, not owned
    int RowCount;                // progress maximum
    int Encoding;                // TextExportEncoding
    wchar_t Delimiter[16];       // default a tab
    std::atomic<int> StopFlag;
    HWND ProgressDlg;            // while it is open
    const wchar_t* FileName;     // not owned
    CObjArray* DispFields;       // the list's columns, not owned
};
