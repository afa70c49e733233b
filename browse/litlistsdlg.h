// The literature lists editor EDITLITJOURNALS: publishers (EDITORS), periodicals (JOURNALS) and
// literature authors (LITAUTHORS), one tab each. A page lists its table's rows by name and edits
// one row at a time with New, Delete, Apply and Cancel, writing straight into the database
// object's cached recordset of that table.
#pragma once
#include <windows.h>
#include <commctrl.h>

// Controls of EDITLITJOURNALS and of its three pages.
enum LitListsControl
{
    IDC_LITLISTS_TABS = 101,
    IDC_LITLISTS_ROWS = 102,       // list box: NAME, the row's id as item data
    IDC_LITLISTS_NAME = 104,       // column 1 everywhere
    IDC_LITLISTS_FIELD106 = 106,   // abbreviation (authors: column 3, others: column 2)
    IDC_LITLISTS_FIELD108 = 108,   // address / publisher combo / full name (authors: column 2)
    IDC_LITLISTS_NEW = 109,
    IDC_LITLISTS_DELETE = 110,
    IDC_LITLISTS_APPLY = 111,
    IDC_LITLISTS_CANCEL = 112,
};

enum LitListsPage
{
    LITLISTS_PUBLISHERS = 0,
    LITLISTS_PERIODICALS = 1,
    LITLISTS_AUTHORS = 2,
    kLitListsPageCount = 3,
};

// A page's edit state.
enum LitListsState
{
    LITLISTS_UNCHANGED = 0,
    LITLISTS_EDITED = 1,   // the shown row edited
    LITLISTS_NEW = 2,      // a new row being entered
};

class CEditLitJournalsDlg;

struct LitListsPageRef
{
    CEditLitJournalsDlg* Owner;
    int Page;  // LitListsPage
};

class CEditLitJournalsDlg
{
public:
    explicit CEditLitJournalsDlg(HINSTANCE instance);
    ~CEditLitJournalsDlg() = default;
    CEditLitJournalsDlg(const CEditLitJournalsDlg&) = delete;
    CEditLitJournalsDlg& operator=(const CEditLitJournalsDlg&) = delete;

    // Runs the dialog on a start tab (LitListsPage); the dialog's result (0).
    int Show(HWND owner, int startTab);

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // ---- fields ----
    HWND Owner;
    HWND Dialog;
    HWND Pages[kLitListsPageCount];
    int StartTab;
    int States[kLitListsPageCount];      // LitListsState
    int CurrentIds[kLitListsPageCount];  // the row last selected, -1 none
    int Loading;                         // 1 while a page fills its fields itself
    HINSTANCE Instance;
    LitListsPageRef PageData[kLitListsPageCount];

    // ---- internals (public for the window procedures and tests) ----
    void OnInitDialog(HWND hwnd);
    void InitPage(HWND page, int index);
    void ShowSelectedRow(int index);
    void UpdateButtons(int index);
    void OnPageCommand(int index, WORD id, WORD code);
    // Writes a pending edit of the page; true when there was none or it was stored.
    bool Save(int index);
    void NewRow(int index);
    void DeleteRow(int index);
    void CancelEdit(int index);
    void OnSelectionChange(int index);
    // Fills the periodicals page's publisher combo from the publishers list again, keeping what
    // it shows.
    void RefillPublisherCombo();
};
