// The publication dialog EDITLITRECORD: one literature reference on six tabs (properties with
// the first author, periodical, publisher and attributes; authors; keywords; the taxa and the
// localities it concerns; the abstract). The main window loads the record before the dialog shows
// it and stores it on OK; the dialog stays open when the store is refused.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

struct LiteratureRecord;  // core/literature.h

// Controls of EDITLITRECORD and its pages.
enum LitRecordControl
{
    IDC_LITREC_TABS = 101,
    IDC_LITREC_ABSTRACT = 102,     // made at run time over the tab control's display area
    // ELRMAINPAGE
    IDC_LITREC_TITLE = 102,
    IDC_LITREC_FIRSTAUTHOR = 104,
    IDC_LITREC_JOURNAL = 106,
    IDC_LITREC_PUBLISHER = 108,
    IDC_LITREC_ATTRIBUTES = 110,
    // ELRAUTHPAGE
    IDC_LITREC_CHOSENLABEL = 101,
    IDC_LITREC_CHOSEN = 102,
    IDC_LITREC_TAKE = 103,
    IDC_LITREC_REMOVE = 104,
    IDC_LITREC_AVAILABLELABEL = 105,
    IDC_LITREC_AVAILABLE = 106,
    // ELRSYSPAGE
    IDC_LITREC_TREE = 102,
    IDC_LITREC_REFERENCED = 104,
};

// Tabs of the dialog, in order; the abstract (the last) is an edit, not a page.
enum LitRecordTab
{
    LITTAB_MAIN = 0,
    LITTAB_AUTHORS = 1,
    LITTAB_KEYWORDS = 2,
    LITTAB_SPECIES = 3,
    LITTAB_LOCALITIES = 4,
    LITTAB_ABSTRACT = 5,
    kLitPageCount = 5,
};

// Posted to a tree page after a click, Space or double-click on a tick (lParam the item).
const UINT kLitSyncTickMessage = WM_APP + 1;

class CEditLitRecordDlg;

// What each page's window keeps in DWLP_USER: its dialog and which page it is.
struct LitRecordPage
{
    CEditLitRecordDlg* Owner;
    int Tab;  // LitRecordTab
};

class CEditLitRecordDlg
{
public:
    explicit CEditLitRecordDlg(HINSTANCE instance);
    ~CEditLitRecordDlg() = default;
    CEditLitRecordDlg(const CEditLitRecordDlg&) = delete;
    CEditLitRecordDlg& operator=(const CEditLitRecordDlg&) = delete;

    // Runs EDITLITRECORD on the record (owned by the caller) with the owner as the main window
    // of its messages; 1 after a successful store, 0 for Storno.
    int Show(HWND owner, LiteratureRecord* record);

    // The window of a tab while the dialog runs (the abstract edit for the last one); null for a
    // page not made yet.
    HWND TabWindow(int tab) const;
    // The page of a tab, made (hidden) when it is not there yet.
    HWND EnsurePage(int tab);

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // ---- fields ----
    HWND Owner;
    HWND Dialog;
    HWND Pages[kLitPageCount];  // main, authors, keywords, taxa, localities (the last two made
                                // when their tab is first shown)
    RECT PageArea;              // the tab control's display area
    HWND AbstractEdit;
    LiteratureRecord* Record;
    int Purging;                // 1 while a page's tree is being emptied
    HINSTANCE Instance;
    LitRecordPage PageData[kLitPageCount];

    // ---- internals (public for the window procedures and tests) ----
    void OnInitDialog(HWND hwnd);
    void SelectTab(int tab);
    // Reads the pages back into the record and has the main window store it; true when stored.
    bool Accept();
    LRESULT SendOwner(UINT msg, WPARAM wParam, LPARAM lParam) const;

    // Main page (litrecorddlg.cpp).
    void InitMainPage(HWND page);
    void OnJournalChange(HWND page, WORD code);
    LRESULT OnMainPageNotify(HWND page, NMHDR* header);
    // Name pages (litrecorddlg_pages.cpp).
    void InitNamesPage(HWND page, int tab);
    void OnNamesCommand(HWND page, WORD id);
    // Tree pages (litrecorddlg_pages.cpp).
    void InitTreePage(HWND page, int tab);
    void LoadTreeChildren(HWND page, HTREEITEM item);
    // The SPECIES or FEATURES name of a data-level item (purpose 1 or 2); the tree's name when
    // the row has none.
    std::wstring ReferencedName(int purpose, int id, const std::wstring& treeName);
    LRESULT OnTreePageNotify(HWND page, NMHDR* header);
    // Brings the referenced list in line with the tick of an item after a click, Space or
    // double-click has changed it.
    void SyncTick(HWND page, HTREEITEM item);
    void DestroyTreePage(HWND page);
};
