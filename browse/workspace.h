// The tab workspace: the object behind the main window's tab control (control 1002). It owns
// every page the tab control shows (the systematic and locality tree cards, the search result
// list, the literature card and the map cards), the record dialogs and the print form, switches
// and lays out the pages, keeps their settings in the workspace file and carries out the
// commands that act on the page in front. It never calls the database object: whatever it needs
// from the data goes to the main window as a private message.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <msxml2.h>

#include <string>
#include <vector>

class CTreeCard;           // browse/treecard.h
class CLitCard;            // browse/litcard.h
class CEditRecordDlg;      // browse/recorddlg.h
class CEditLitRecordDlg;   // browse/litrecorddlg.h
class CEditLegendStyleDlg; // map/legendstyledlg.h
class CZMapWnd;            // map/mapwnd.h
class CAddQueryDlg;        // browse/addquerydlg.h
struct QueryCriterion;     // search/querycriterion.h
class CPrintForm;          // reports/printform.h
class ConfigData;          // shellcontract/configdata.h
class CXmlReader;
class CXmlWriter;
class CObjArray;
class CPtrArray;
class CIntArray;
namespace zdata { class Recordset; }

// Tab indexes of the four fixed pages; map card i sits at tab kFirstMapTab + i.
enum WorkspaceTab
{
    TAB_SYSTEM = 0,
    TAB_LOCALITIES = 1,
    TAB_SEARCH = 2,
    TAB_LITERATURE = 3,
    kFirstMapTab = 4,
};

// Which tree card an operation addresses.
enum WorkspaceCard
{
    WS_SYS_CARD = 0,
    WS_LOC_CARD = 1,
};

// Which record list an operation addresses.
enum WorkspaceList
{
    WS_SYS_RECORDS = 0,
    WS_LOC_RECORDS = 1,
    WS_SEARCH_LIST = 2,
    WS_LIT_LIST = 3,
};

// Strings of the workspace.
enum WorkspaceStringId
{
    IDS_WS_TAB_SYSTEM = 102,
    IDS_WS_TAB_LOCALITIES = 103,
    IDS_WS_TAB_SEARCH = 104,
    IDS_WS_TAB_LITERATURE = 113,
    IDS_WS_CONFIRM_CAPTION = 700,
    IDS_WS_DELETE_ONE = 706,
    IDS_WS_DELETE_FEW = 707,
    IDS_WS_DELETE_MANY = 708,
};

// Control id of the main window's tab control.
const int kWorkspaceTabControlId = 1002;

class Workspace
{
public:
    Workspace(HWND tabControl, HINSTANCE instance, ConfigData* config);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // ---- pages ----
    // The current tab of control 1002 of the owner.
    int GetCurrentTab(HWND owner);
    void HidePage(HWND owner);
    // Shows the current page and updates the main window's commands; returns 1.
    int ShowPage(HWND owner);
    // Shows or hides (SW_SHOW, SW_HIDE) the map card at a tab; tabs without a map do nothing.
    void ShowMapPage(int tab, int showCommand);
    // The page window of a tab (null when that page does not exist).
    HWND GetPageWindow(int tab);
    // Places the tab control on the rectangle and every page on its display area.
    void Layout(HWND tabControl, int left, int top, int width, int height);

    // ---- settings ----
    void SaveWorkspaceSettings(CXmlWriter* writer, IXMLDOMElement* parent);
    void LoadWorkspaceSettings(CXmlReader* reader, IXMLDOMElement* parent, CPtrArray* gridList);
    // Copies the width and display position of every column of the four record lists into
    // their CDispField entries.
    void CollectColumnLayout();

    // ---- configuration ----
    void ApplyCardFont(HFONT font, COLORREF color, int titleHeight);
    void ApplyHeaderFields(int card, CObjArray* fields);
    void ApplyListFields(int list, CObjArray* fields);
    void SetTreeSource(int card, zdata::Recordset* treeRs);

    // ---- accessors (the main window loads the trees and the catalogues through them) ----
    CTreeCard* GetCard(int card) const;
    CPtrArray* GetLevelCache(int card) const;
    HIMAGELIST GetLargeImages(int card) const;
    HIMAGELIST GetSmallImages(int card) const;
    HWND GetTreeView(int card) const;
    HWND GetChildList(int card) const;
    HWND GetRecordList(int card) const;
    int GetCurrentId(int card) const;
    HWND GetSearchList() const { return SearchList; }
    // The literature card's list; null while there is no literature card.
    HWND GetLitList() const;
    // The list view of a WorkspaceList; null when it does not exist.
    HWND GetListWindow(int list) const;

    // ---- search list ----
    void RunSearch(HWND owner, const wchar_t* where, int reset);
    // The database closed: the four record lists lose their rows and columns (the header items
    // point at the configuration's entries, which are emptied next) and the search list is
    // empty until the next search.
    void ClearListColumns();
    void SortSearchList(HWND owner, int column);
    // The record id of a search list row (-1: the first selected row); -1 when there is none.
    int GetSearchRowId(int row);

    // ---- commands on the page in front ----
    void SetListStyle(HWND owner, int style);
    // The item commands of the tree card in front (nothing on the other tabs): the item is the
    // one a card's context menu was opened on, or null; a new item from the menu bar or a
    // toolbar goes under the selected item.
    void NewItem(HWND owner, HTREEITEM item, int fromMenu);
    void RenameItem(HWND owner);
    void DeleteItem(HWND owner, HTREEITEM item);
    void EditItem(HWND owner, HTREEITEM item);
    // Deletes the selected records of the page in front after asking (706-708): the tree
    // cards' record lists, the search list and the literature list.
    void DeleteRecords(HWND owner);
    void RefreshAll(HWND owner);
    // A new record, or the selected one edited, on the page in front: the record dialog for the
    // record lists (tabs 0-2), the publication dialog for the literature list (tab 3). Nothing
    // happens on the other tabs, nor without a selected row.
    void NewRecord(HWND owner);
    void EditRecord(HWND owner);
    // The database closed: the record dialog's template names another file's attributes.
    void ForgetRecordTemplate();
    // Handler of ZM_REFRESH_MAPS: every map card rebuilds its layers; returns 1.
    int RefreshMaps();
    // The literature card's requery and author combo (after the database opened or closed);
    // nothing while there is no literature card.
    void RequeryLiterature(HWND owner);
    void FillAuthorCombo(HWND owner);

    // Printing of the page in front (commands 106 and 2005): with a field list, the print form's
    // report of the record list of tab 0-2 (the tab is the report's list kind); without one, the
    // map of a map tab. The literature tab (3) prints nothing.
    void PrintPage(HWND owner, CObjArray* fields, int tab);
    // The map of a map tab written to a picture file (type 1 bitmap, 2 metafile, 3 PostScript).
    void ExportMapPicture(HWND owner, const wchar_t* path, int tab, int type, const wchar_t* title);

    // ---- map tabs (map card i is at tab kFirstMapTab + i) ----
    int GetMapCount() const;
    // The map card of a tab; null for the fixed tabs and past the last map.
    CZMapWnd* GetMapCard(int tab) const;
    // When a map tab is current, tab 3 takes its place; then every map tab is removed with
    // its card (database closed, another workspace file).
    void CloseAllMaps(HWND owner);
    // A map card and its tab after the others: from a saved map element, or a new map named
    // string 341. Returns the new tab's index.
    int AddMapCard(CXmlReader* reader, IXMLDOMElement* element, CPtrArray* gridList);
    // A new map tab in front (command 601); returns 1.
    int NewMap(HWND owner, CPtrArray* gridList);
    // The current map tab and its card removed (command 602); the map that moved into its
    // place, or the one before it, comes to the front.
    void CloseMap(HWND owner);
    // RENAMEMAPDLG on the current map tab's name (command 603); the window is repainted after.
    void RenameMap(HWND repaint);
    // The current map card's choice of a shapefile folder (command 604).
    void LoadGraphics(HWND owner);
    // Every map card's grid combo refilled from the list (after the grids were edited).
    void SetGridList(CPtrArray* gridList);
    // The tool of the current map card: 0 pan, 1 zoom in, 2 zoom out (commands 405-407).
    void SetMapTool(HWND owner, int tool);
    // The current map fitted to its layers (command 408).
    void ShowAllMap(HWND owner);
    // Display of the map card at a tab: 1 when it shows the selection's records.
    int GetMapDisplay(int tab) const;
    // The criterion dialog and a new query layer on the current map (command 607).
    void AddQueryLayer(HWND owner);

    // ---- search menu ----
    void GotoSysCard(int row);
    void GotoLocCard(int row);

    // Fields, in the order the main form's components expect them.
    HINSTANCE Instance;
    HWND MainWindow;
    HWND TabControl;
    HWND SearchList;
    CTreeCard* SysCard;
    CTreeCard* LocCard;
    HCURSOR DividerCursor;
    HCURSOR DividerOpenCursor;
    HCURSOR DragCursor;
    HCURSOR ZoomInCursor;
    HCURSOR ZoomOutCursor;
    HCURSOR PanCursor;
    HIMAGELIST ArrowImages;
    const wchar_t* SearchWhere;        // borrowed from the search page; null lists everything
    CEditRecordDlg* RecordDlg;         // created on first use
    CLitCard* LitCard;
    CEditLitRecordDlg* LitRecordDlg;   // created on first use
    CObjArray* MapCards;
    CEditLegendStyleDlg* LegendStyleDlg;
    CAddQueryDlg* QueryDlg;
    CPrintForm* ReportForm;
    ConfigData* Config;
    HMENU SearchMenu;
    int SearchSortCol;                 // 0, or the header item; negative when descending
    // Whether a search has filled the search list since it was last emptied; the list is
    // refreshed only then, so an edit never fills it with every record unasked.
    int SearchShown;

private:
    CTreeCard* CardOfTab(int tab) const;
    // The map card index of a tab, -1 for the fixed tabs and past the last map.
    int MapIndexOfTab(int tab) const;
    void RemoveMapTab(int tab);
    void CollectRecordIds(int tab, CIntArray* ids);
    // The literature record dialog on a new publication or the selected one (workspace_literature.cpp).
    void RunLiteratureDialog(HWND owner, bool edit);
    // Runs the record dialog on a new record (id -1) or on a stored one.
    void RunRecordDialog(HWND owner, int mode, int recordId);
    // The criterion dialog (created on first use) over owner: what the map cards edit with.
    int ShowQueryDialog(HWND owner, ConfigData* config, QueryCriterion* criterion);
};

// Draws the two sort arrows (0 down, 1 up) into a new masked 16 x 14 image list.
HIMAGELIST CreateSortArrowImages();

// Registers the map view's window class ZORMAPWND.
void RegisterMapWndClass(HINSTANCE instance);

// RENAMEMAPDLG: its creation parameter is the request: a buffer of kMapNameSize characters
// holding the name, which OK replaces with the edit's text, and the names of the other maps. OK
// refuses a name of blanks only and a name another map has (whatever the case), saying why over
// the dialog; 1 on OK, 0 on Storno.
const int kMapNameSize = 128;
struct RenameMapRequest
{
    wchar_t* Name;
    std::vector<std::wstring> Taken;
    HINSTANCE Instance;  // of the string table
};
INT_PTR CALLBACK RenameMapDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
