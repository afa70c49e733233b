// The print form: a modeless window that shows a record list as a report, lets the user choose
// its columns, abbreviations and options, and prints it or saves it as rich text. The workspace owns
// one for the program run; its options, columns and window placement live in the workspace file
// inside the MainForm element.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <msxml2.h>
#include <atomic>
#include <memory>
#include <string>

#include "reports/reportlines.h"
#include "resources/zorna/print.h"

class CXmlReader;
class CXmlWriter;
class CObjArray;
class CPtrArray;
class CDispField;
namespace zdata { class Recordset; }
struct ReportRun;  // reports/printform_report.cpp

#define PRINTFORM_SETTINGS_ELEMENT L"PrintForm"

// Posted by the report's worker to the print form when it has made every line; wParam the run.
#define ZM_REPORT_READY (WM_USER + 101)
// The form's timer while a report is being made: the view takes in new lines, the bar moves.
#define PRINTFORM_PROGRESS_TIMER 1

// Where the controls stood when the window initialised; resizing keeps their distances. The
// report grows with the window, the side panel keeps its distance to the right edge, the groups
// and buttons below the abbreviations keep theirs to the bottom, and the two lists share the
// height left between them in their first proportion.
struct PrintFormLayout
{
    SIZE Client;         // the client area at initialisation
    RECT Text;           // control 101
    RECT Groups[4];      // 102, 104, 107, 112 (client coordinates)
    RECT Buttons[4];     // 114, 115, 116, 2
    RECT ColumnList;     // 103 inside group 102
    RECT AbbrevList;     // 105 inside group 104
    RECT EditTerms;      // 106 inside group 104
    SIZE MinTrack;       // the window's smallest size
};

// The placement's rectangle of a form never placed, which a partial placement in the workspace
// file completes; the form first opens in a size of its own instead.
const RECT kPrintFormUnplaced = {100, 100, 558, 471};

class CPrintForm
{
public:
    explicit CPrintForm(HINSTANCE instance);
    // Ends a running report (waiting for its worker), frees the lists and buffers, releases the
    // recordset and, when the window exists, keeps its four options and destroys it.
    ~CPrintForm();
    CPrintForm(const CPrintForm&) = delete;
    CPrintForm& operator=(const CPrintForm&) = delete;

    // Opens the report of a record list (list kind 0 systematic records, 1 locality records,
    // 2 search results): takes the list's recordset from the owner, then refills and shows the
    // window, or creates it the first time. Returns 1.
    int CreateWnd(HWND owner, CObjArray* dispFields, int listKind);
    // The page set-up dialog on the shared page set-up; the first time the default printer's
    // settings are fetched first. Returns the dialog's result.
    int ShowPageSetupDlg(HWND owner);
    // The page set-up shared with map printing (thousandths of an inch once used).
    PAGESETUPDLGW* GetPageSetup() { return &PageSetup; }
    // The database closed: the display fields and the list go away. The entries forget them
    // and the report is made again without rows.
    void ForgetList();

    // Writes PrintForm (placement, Font, Fields, System) under parent.
    void SaveSettings(CXmlWriter* writer, IXMLDOMElement* parent);
    // Reads PrintForm below parent when present; entries of Fields are appended.
    void LoadSettings(CXmlReader* reader, IXMLDOMElement* parent);

    // ---- the window (printform_window.cpp) ----
    // Fills list 103 from the display fields, then the abbreviations (which restarts the report).
    void FillColumnList();
    // Fills list 105 and restarts the report.
    void FillAbbrevList();
    // The entry of that name, made when there is none (see the notes in the code).
    PrintField* FindOrAddPrintField(const wchar_t* name, CDispField* field);
    // A control of the form, wherever the form has put it (inside a group box or not).
    HWND Control(int id) const;
    // Reads the four option boxes into the options.
    void ReadOptions();

    // ---- the report (printform_report.cpp) ----
    // Stops the running report and starts a new one with the current columns and options: a
    // worker makes its lines while the view shows those made so far.
    void RestartReport();
    // Stops the running report and waits for its worker (answering the messages it sends), so
    // that nothing the report reads goes away under it.
    void StopReport();
    // The report's options as the form stands: the shown columns of list 103 and the four options.
    ReportOptions MakeReportOptions();
    // The worker of a run has made every line (ZM_REPORT_READY).
    void ReportReady(int run);
    // The timer's tick while a report is made: the view takes in new lines, the bar follows.
    void ReportProgress();
    // Saves the report as it was shown, as an RTF file the user chooses: the report is made
    // again from the same rows straight into the file.
    void SaveReport();
    // Writes the shown report's RTF into a file; false with the system's error code on failure.
    bool WriteReport(HANDLE file, DWORD* error);
    // Prints the report through the project's paginator.
    void PrintReport();
    // Lays the shown report out on a printer DC with the page set-up's margins, counting its
    // pages, or drawing them inside a document the caller started; -1 when there is no report
    // or the printer refused a page.
    int PaginateReport(HDC dc, bool draw);
    // Body and title sizes (half points) of a report font: |height x 1.5385| and that x 1.4142;
    // a font without a usable height gets the default one's.
    static void ReportSizes(const LOGFONTW& font, int* bodySize, int* titleSize);
    // The run whose report the view shows (or is being made); null before the first.
    ReportRun* CurrentRun() const { return Run.get(); }

    // ---- the font (printform_font.cpp) ----
    // Lets the user choose the report font, starting from the font the report shows; restarts
    // the report when one was chosen.
    void ChooseReportFont();
    // The face the report is shown in here: the report font's face when the machine has it,
    // else the face of the form's own font.
    std::wstring ShownFace() const;

    HWND Owner;                 // the main form (receiver of the private messages)
    HWND Window;                // PRINTFORM, null until first shown
    PrintFormLayout Layout;
    WINDOWPLACEMENT Placement;  // default SW_SHOW at kPrintFormUnplaced
    LOGFONTW ReportFont;        // default Arial, height 10, weight 400
    CObjArray* DispFields;      // the printed list's CDispField entries, not owned
    CPtrArray* Fields;          // PrintField records, owned (64, grown by 16)
    int Header;                 // "Tisk zadání", default 1
    int System;                 // whole systematic path, default 0
    int Location;               // whole locality path, default 0
    int AbbrevList;             // list of abbreviations at the end, default 0
    int ListKind;               // 0 systematic records, 1 locality records, 2 search results
    int BodySize, TitleSize;    // RTF sizes in half points, set at each restart
    zdata::Recordset* Recordset;  // the list's own recordset, referenced; each run reads a clone
    char* LineBuffer;           // RTF of the line being saved, grown to the longest line
    int LineCapacity;           // initially 256
    wchar_t ListSeparator[4];   // the user's list separator
    int LastVisibleColumn;      // index in list 103 of the last shown column, -1 for none
    PAGESETUPDLGW PageSetup;    // shared with map printing
    HANDLE ReportThread;        // the latest report worker until it has reported its end, or null
    std::atomic<int> ReportRunId;  // the current run; the workers of earlier ones stop at once
    int RunCounter;
    std::shared_ptr<ReportRun> Run;  // the current run, shared with its worker
    int Filling;                // lists are being filled: their notifications are not the user's
    HINSTANCE Instance;
    WNDPROC GroupProcs[3];      // previous procedures of the three group boxes
};

// The print form's dialog procedure: WM_INITDIALOG receives the CPrintForm.
INT_PTR CALLBACK PrintFormDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
