// Text export of record lists: the rows of a list written to a delimited text file on a worker
// thread under a progress dialog. The main form keeps one for the program run; its options
// (delimiter, encoding, where the options dialog last stood) live in the workspace file.
#pragma once
#include <windows.h>
#include <atomic>

class CXmlReader;
class CXmlWriter;
class CObjArray;
struct ExportRun;
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
    // Reads ExpToTXTDlg when present; each attribute present replaces its value, except an
    // empty delimiter or one that no line could carry (a quote, a line break), and an unknown
    // encoding, which leave the defaults.
    void LoadSettings(CXmlReader* reader);

    // Runs the options dialog EXPTOTXT; when it is accepted, writes the list's rows to the file
    // on a worker thread under PROGRESSDLG and returns once the worker has ended. The worker
    // reads a cursor of its own over the recordset's rows.
    void Run(zdata::Recordset* recordset, const wchar_t* fileName, CObjArray* dispFields);
    // The worker's work: Rows written to FileName with the options, reported through Progress.
    // The worker thread runs it; benchmarks call it as it is.
    void WriteRows();

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
    zdata::Recordset* Rows;      // the worker's clone of the recordset while an export runs
    ExportRun* Progress;         // shared with the progress dialog while an export runs
};

// Delimiter entries of EXPTOTXT in list order: tab, space, ";" and ",".
const wchar_t* const kTextExportDelimiters[4] = {L"\t", L" ", L";", L","};
// A delimiter a line can carry: not empty, no quote and no line break.
bool IsUsableDelimiter(const wchar_t* delimiter);
