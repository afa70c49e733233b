// The literature card: the page of the tab "Literatura". A virtual list of the literature
// catalogue (the view LITVIEW), optionally restricted to the publications whose first author is
// the one chosen in the combo box, sorted by a column click like the tree cards' record lists.
// Like every page it reads nothing itself: queries, cells and the author list come from the main
// window's private messages.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <msxml2.h>

class CXmlReader;
class CXmlWriter;
class CIntArray;

// Controls of LITERCARD.
enum LitCardControl
{
    IDC_LITCARD_FILTERBOX = 101,  // group box "Filtr: "
    IDC_LITCARD_BYAUTHOR = 102,   // check box "Dle autora"
    IDC_LITCARD_AUTHORS = 103,    // drop-down list of LITAUTHORS (item data the id)
    IDC_LITCARD_LIST = 106,       // the publications (owner data)
};

class CLitCard
{
public:
    // Creates LITERCARD as a hidden child of the parent (the workspace's tab control).
    CLitCard(HWND parent, HINSTANCE instance, HIMAGELIST arrowImages, HCURSOR dividerCursor);
    ~CLitCard();
    CLitCard(const CLitCard&) = delete;
    CLitCard& operator=(const CLitCard&) = delete;

    // "SortCol" and "CurAuthor" under the element the workspace hands over ("LitTab").
    void SaveSettings(CXmlWriter* writer, IXMLDOMElement* element);
    void LoadSettings(CXmlReader* reader, IXMLDOMElement* element);

    void Move(const RECT* rect);

    // Queries the list with a condition (kept for later refreshes; null for none); with reset
    // the list is emptied and takes the new row count. The row count the main window answered.
    int Requery(HWND mainWnd, const wchar_t* condition, int reset);
    // Requery with the kept condition.
    int Refresh(int reset);
    // Refills the author combo from the LITAUTHORS list and selects CurAuthor (the first author
    // when it is gone); without a database the combo stays empty and CurAuthor as it was.
    void FillAuthorCombo(HWND mainWnd);

    // The literature id of the first selected row (-1 when none), or the ids of all selected
    // rows appended in row order (their number). Rows the main window cannot answer are skipped.
    int GetSelectedId();
    int GetSelectedIds(CIntArray* ids);

    HWND GetWindow() const { return Card; }
    HWND GetList() const { return List; }
    int GetSortColumn() const { return SortCol; }
    int GetCurAuthor() const { return CurAuthor; }
    const wchar_t* GetFilter() const { return Filter; }
    // The main window: LITERCARD's grandparent.
    HWND MainWindow() const;

    static INT_PTR CALLBACK CardDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // ---- fields ----
    HWND Parent;
    HINSTANCE Instance;
    HIMAGELIST ArrowImages;   // given
    HCURSOR DividerCursor;    // given
    int CurAuthor;            // LITAUTHORS.ID chosen in the combo, -1 none
    int CacheFrom, CacheTo;   // the last cache hint
    HWND Card;                // LITERCARD
    HWND List;                // control 106
    int SortCol;              // 0, or the header item; negative when descending
    wchar_t* Filter;          // the kept condition (malloc'd) or null

private:
    void OnCommand(WORD id, WORD code);
    LRESULT OnListNotify(NMHDR* header);
    void OnShown();
    void Layout(int width, int height);
    LRESULT SendMain(UINT msg, WPARAM wParam, LPARAM lParam) const;
};
