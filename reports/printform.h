// The print form: a modeless window that shows a record list as a rich-text report, lets the
// user choose its columns, abbreviations and options, and prints or saves it. The workspace owns
// one for the program run; its options, columns and window placement live in the workspace file
// inside the MainForm element.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <msxml2.h>
#include <atomic>

class CXmlReader;
class CXmlWriter;
class CObjArray;
class CPtrArray;
class CDispField;
namespace zdata { class Recordset; }

#define PRINTFORM_SETTINGS_ELEMENT L"PrintForm"

// Controls of PRINTFORM that the settings touch.
enum PrintFormControl
{
    IDC_PRINT_HEADER = 108,      // "Tisk zadání"
    IDC_PRINT_SYSTEM = 109,      // "Celá cesta u druhů"
    IDC_PRINT_LOCATION = 110,    // "Celá cesta u lokalit"
    IDC_PRINT_ABBREVLIST = 111,  // "Seznam zkratek"
};

// One column of the report (or a locality level), kept for every display name ever shown.
struct PrintField
{
    wchar_t FieldName[65];  // at most 64 characters
    BYTE Visible;           // shown in the report
    BYTE Abbrev;            // shown as its abbreviation
    BYTE HasLookup;         // the main form knows lookup values for it
    CDispField* DispField;  // in the current list; null for a level and after closing
};

// An abbreviation and the text it stands for, 8-bit.
struct AbbrevPair
{
    char Abbrev[32];
    char Name[64];
};

// Sorted by abbreviation, then by text; no pair twice; grows by 32.
struct AbbrevPairList
{
    AbbrevPair* Pairs;
    int Count;
    int Capacity;
};

class CPrintForm
{
public:
    explicit CPrintForm(HINSTANCE instance);
    // Ends a running report, frees the lists and buffers, releases the recordset and, when the
    // window exists, keeps its four options and destroys it.
    ~CPrintForm();
    CPrintForm(const CPrintForm&) = delete;
    CPrintForm& operator=(const CPrintForm&) = delete;

    // Writes PrintForm (placement, Font, Fields, System) under parent.
    void SaveSettings(CXmlWriter* writer, IXMLDOMElement* parent);
    // Reads PrintForm below parent when present; entries of Fields are appended.
    void LoadSettings(CXmlReader* reader, IXMLDOMElement* parent);

    HWND Owner;                 // the main form (receiver of the private messages)
    HWND Window;                // PRINTFORM, null until first shown
    WINDOWPLACEMENT Placement;  // default SW_SHOW at (100, 100)-(558, 471)
    LOGFONTW ReportFont;        // default Arial, height 10, weight 400
    CObjArray* DispFields;      // the printed list's CDispField entries, not owned
    CPtrArray* Fields;          // PrintField records, owned (64, grown by 16)
    int Header;                 // "Tisk zadání", default 1
    int System;                 // whole systematic path, default 0
    int Location;               // whole locality path, default 0
    int AbbrevList;             // list of abbreviations at the end, default 0
    int ListKind;               // 0 systematic records, 1 locality records, 2 search results
    int BodySize, TitleSize;    // RTF sizes in half points
    int Stage, LineNumber, LinePos;
    zdata::Recordset* Recordset;  // referenced; released when replaced
    char* LineBuffer;           // 8-bit line being streamed
    int LineCapacity;           // initially 256
    char ListSeparator[4];
    AbbrevPairList AbbrevPairs;
    int LastVisibleColumn;
    PAGESETUPDLGW PageSetup;    // shared with map printing
    HANDLE ReportThread;        // the running report, or null
    std::atomic<int> StopReport;  // asks the running report to end
    HINSTANCE Instance;
    WNDPROC GroupProcs[3];      // previous procedures of the three group boxes
};
