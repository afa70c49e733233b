// The search page: the user picks occurrence records by items checked in copies of the
// systematic and locality trees and by criteria on the columns of the records, taxa and
// localities. Its tab control with the two trees and the "Atributy" page lives for the whole
// program run as a hidden child of the main window, so checks and typed values stay from one
// search to the next; the search command moves it into the modal dialog SEARCHDLG while it runs.
// After OK the main window asks for the condition (BuildWhere) and the search list shows
// "SELECT * FROM COLLECTVIEW WHERE <condition>"; the same selection is described for the report
// (DescribeSearch).
//
// The notices of the tab control and of the trees reach the main window (the tab control sends
// its children's notices to the window it was created under, wherever it is moved): the main
// window hands them to OnNotify, and so does SEARCHDLG with whatever reaches it.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "dataaccess/ado.h"

class CObjArray;
class CPtrArray;
class CXmlReader;
class CXmlWriter;
struct CustomAttrDef;
struct SearchFieldEntry;

// "SearchDlg" under the root of the workspace file: the dialog's Left and Top.
#define SEARCHDLG_SETTINGS_ELEMENT L"SearchDlg"

// Left and Top of a dialog that has not been placed yet.
const int kSearchDlgUnplaced = -1000;

// Tab order of the search page's pages.
enum SearchPageTab
{
    SEARCH_TAB_SYSTEM = 0,
    SEARCH_TAB_LOCALITIES = 1,
    SEARCH_TAB_ATTRIBUTES = 2,
};

class CSearchPage
{
public:
    // Creates the hidden tab control under the main window, both trees and the page.
    CSearchPage(HINSTANCE instance, HWND mainWindow);
    ~CSearchPage();
    CSearchPage(const CSearchPage&) = delete;
    CSearchPage& operator=(const CSearchPage&) = delete;

    // The "SearchDlg" element: read only when present, each attribute only when present;
    // written always.
    void LoadSettings(CXmlReader* reader);
    void SaveSettings(CXmlWriter* writer);

    // Refills the field list from a list of CDispField (the configuration's search fields); null
    // only empties it. Every value entered so far goes.
    void SetSearchFields(CObjArray* fields);
    // Empties both trees, then binds each to its tree recordset (when not null) and loads its top
    // level.
    void SetTrees(zdata::Recordset* sysTreeRs, zdata::Recordset* locTreeRs);

    // Runs SEARCHDLG modally; 1 for OK, 0 for Storno (what was typed stays in the editors).
    int ShowSearchDlg(HWND owner);

    // Builds and keeps the condition over COLLECTVIEW's column names by ordinal; returns it
    // (owned by the page) or null when nothing was chosen. Without names it returns the kept
    // condition unchanged.
    const wchar_t* BuildWhere(const wchar_t* const* columnNames, int columnCount);
    // Forgets the kept condition (the database it was built for closed).
    void ClearWhere();

    // The selection in words for the report: the two trees, then the criteria; a malloc'd 8-bit
    // RTF text the caller frees, null when nothing is chosen.
    char* DescribeSearch(const CPtrArray* sysLevelCache, const CPtrArray* locLevelCache);

    // A notice of the tab control or of a tree; true when it was one (its result is 0).
    bool OnNotify(const NMHDR* notice);

    // ---- the page's own work (its dialog procedures call these) ----
    void OnInitSearchDlg(HWND dialog);
    void OnDestroySearchDlg(HWND dialog);
    void OnFieldSelChange();
    // Unchecks both trees and clears every entry.
    void Reset();
    // The entry of a row of the field list; null for none.
    SearchFieldEntry* EntryAt(int row) const;
    HWND FieldList() const;

    // Fields in order.
    HINSTANCE Instance;
    HWND Owner;          // the main window: receives the private messages
    HWND TabControl;     // child of the main window while hidden, of SEARCHDLG while it runs
    HWND SysTree;        // page 0
    HWND LocTree;        // page 1
    HWND Page;           // SEARCHPAGE, page 2
    int Left, Top;       // position of SEARCHDLG; kSearchDlgUnplaced when not placed yet
    int CurrentField;    // row whose editors are shown; -1 none
    int Purging;         // 1 while the trees are emptied: expansion notices are ignored
    wchar_t* Where;      // the last condition built
    // Which editors show CurrentField (SearchEditors bits): what is taken back into its entry.
    int ShownEditors;

private:
    HWND PageOfTab(int tab) const;
    void FreeEntries();
    // Takes what the editors of the current field hold into its entry.
    void StoreEditors();
    // Shows and fills the editors of a row (none for -1) and makes it the current field.
    void ShowEditors(int row);
    const CustomAttrDef* FindAttr(int tableKind, const wchar_t* column) const;
};

// The dialog procedures of SEARCHDLG and of its SEARCHPAGE page.
INT_PTR CALLBACK SearchDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SearchPageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The text of a multi-line edit cut into its non-empty lines (CR LF, LF or CR end a line).
void SplitValueLines(const std::wstring& text, CPtrArray* lines);
