// The tree card: the browsing window of one hierarchy (the systematic card over SYSTREE, the
// locality card over LOCTREE). On the left a tree filled lazily from the database object's cached
// tree recordset; on the right either the list of the selected item's children or, for an item
// of a data level, the record page: an information panel above a virtual list of the item's
// records. The card never reads the database itself; every query goes to the main window as a
// private ZM_ message (shellcontract/zm_protocol.h).
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <msxml2.h>

#include <cstring>
#include <vector>

#include "core/containers.h"
#include "core/leveldefs.h"
#include "dataaccess/ado.h"

class CXmlReader;
class CXmlWriter;
class CDispField;
class CEditSysItemDlg;  // browse/sysitemdlg.h

// Controls of the card's two dialogs.
enum TreeCardControl
{
    IDC_CARD_TREE = 101,          // PAGEDLG: the hierarchy
    IDC_CARD_WIDTHSPLITTER = 102, // PAGEDLG: left/right splitter bar
    IDC_CARD_CHILDLIST = 103,     // PAGEDLG: children of the selected item
    IDC_CARD_TITLE = 101,         // ZORCARD: information panel title
    IDC_CARD_PICTURE = 102,       // ZORCARD: picture
    IDC_CARD_HEIGHTSPLITTER = 103,// ZORCARD: up/down splitter bar
    IDC_CARD_RECORDLIST = 104,    // ZORCARD: records of the selected item
};

// Kinds of card.
enum TreeCardKind
{
    TREECARD_SYSTEMATIC = 1,
    TREECARD_LOCALITY = 2,
};

// Drag modes (DragMode).
enum TreeCardDragMode
{
    CARDDRAG_NONE = 0,
    CARDDRAG_TREE_ITEM = 1,  // a taxon reordered among its siblings (systematic card only)
    CARDDRAG_CHILDREN = 2,   // rows of the list of children, to a new parent
    CARDDRAG_RECORDS = 3,    // rows of the record list, to another species or locality
};

// View styles of the list of children, as kept in the settings ("ListStyle").
enum TreeCardListStyle
{
    CARDLIST_ICONS = 0,
    CARDLIST_DETAILS = 1,
    CARDLIST_SMALLICONS = 2,
    CARDLIST_LIST = 3,
};

// Smallest picture height of the information panel, and the least room the record list keeps
// below the up/down splitter.
const int kCardMinImageHeight = 90;
const int kCardMinRecordListHeight = 40;
// Height of one information line, and the room the title leaves for the picture until the
// record page is laid out.
const int kCardInfoLineHeight = 16;
const int kCardTitleMargin = 124;

// Window properties of the card's tree: the cached tree recordset, and the ordinals of its name
// column (low word) and first icon column (high word).
inline constexpr wchar_t kCardRecordsetProp[] = L"Recordset";
inline constexpr wchar_t kCardIndicesProp[] = L"Indices";

class CTreeCard
{
public:
    CTreeCard(HWND parent, HINSTANCE instance, HCURSOR dividerCursor, HCURSOR widthCursor,
              HCURSOR heightCursor, HIMAGELIST arrowImages, int kind);
    ~CTreeCard();
    CTreeCard(const CTreeCard&) = delete;
    CTreeCard& operator=(const CTreeCard&) = delete;

    // Settings under the element the workspace hands over ("SysTab" / "LocTab").
    void SaveSettings(CXmlWriter* writer, IXMLDOMElement* element);
    void LoadSettings(CXmlReader* reader, IXMLDOMElement* element);

    // Places the outer window (no z-order change).
    void Move(const RECT* rect);

    // Binds the tree to a cached tree recordset and loads the first level; null empties the card.
    void SetTreeSource(zdata::Recordset* treeRs, int nameColumn, int firstIconColumn);

    // Rebuilds the information lines from a list of CDispField (its visible entries, while they
    // fit above the picture area) and refills them for the current item.
    void SetInfoFields(CObjArray* fields);
    // False when the file refused the reading: the panel shows what it showed.
    bool ShowItemInfo(int itemId);
    void RefreshItemInfo(int itemId);

    void SetTextColor(COLORREF colour);
    COLORREF GetTextColor() const { return TitleColour; }
    void SetCardFont(HFONT font, int titleHeight);
    // TreeCardListStyle.
    void SetListStyle(int style);
    int GetListStyle() const;

    HWND GetTreeView() const;
    HWND GetRecordList() const;
    HWND GetChildList() const;
    HWND GetPage() const { return Page; }
    HWND GetRecordPage() const { return RecordPage; }
    int GetCurrentId() const { return CurId; }
    int GetSortColumn() const { return SortCol; }
    int GetKind() const { return Kind; }
    int GetImageHeight() const { return ImageHeight; }

    // What the database layer fills when a database opens (CDatabase::LoadSysLevelDefs /
    // LoadLocLevelDefs with GetTreeView, GetChildList, the two image lists and the cache).
    CPtrArray* GetLevelCache() { return LevelCache; }
    HIMAGELIST GetLargeImages() const { return LargeImages; }
    HIMAGELIST GetSmallImages() const { return SmallImages; }

    // Queries the records of an item into the record list; with reset the list is emptied and
    // takes the new count. The row count the main window answered.
    int RequestRecordList(int itemId, int reset);
    // The same for the selected tree item; 0 when nothing is selected.
    int RequeryRecords(int reset);

    // Runs the selection handling for the tree's current selection.
    void NotifySelChanged(HWND tree);
    // Reloads an item's children (with its data) or the whole tree (without), then selects the
    // current item again.
    void ReloadTreeItem(HWND mainWnd, HWND tree, HTREEITEM item, TreeItemData* data);

    // Record ids of the selected rows of the record list, asked from the main window: the first
    // one (-1 when none), or all of them appended in row order (their number).
    int GetSelectedRecordId();
    int GetSelectedRecordIds(CIntArray* ids);

    // ---- item commands (treecard_edit.cpp) ----
    // A new child of the given item, or of the selected one when useSelection is set (of the
    // root when there is neither), through the item dialog.
    void NewItem(HWND mainWnd, HTREEITEM item, int useSelection);
    // Starts editing the selected item's label in place.
    void RenameItem(HWND mainWnd);
    // Deletes the given item, or what has the keyboard focus (the selected tree item or the
    // selected rows of the list of children), after asking.
    void DeleteItem(HWND mainWnd, HTREEITEM item);
    // The item dialog on the given item, or on the selected one.
    void EditItem(HWND mainWnd, HTREEITEM item);

    // Window procedures of the two dialogs (the card pointer is in DWLP_USER).
    static INT_PTR CALLBACK PageDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK RecordPageDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // The main window: PAGEDLG's grandparent.
    HWND MainWindow() const;

    // ---- fields ----
    int SplitterDragging;
    int Purging;
    int RecordPageShown;
    HWND RecordPage;             // ZORCARD
    HINSTANCE Instance;
    HCURSOR DividerCursor;       // given
    HCURSOR WidthCursor;         // given
    HCURSOR HeightCursor;        // given
    HIMAGELIST LargeImages;      // owned, 32 x 32
    HIMAGELIST SmallImages;      // owned, 16 x 16
    HIMAGELIST ArrowImages;      // given
    COLORREF TitleColour;
    CPtrArray* LevelCache;       // LevelDef, owned entries
    CPtrArray* InfoStatics;      // HWND, borrowed
    int CurId;
    int Kind;
    int SortCol;
    int TitleHeight;
    int ImageHeight;
    int ImageWidth;
    int CacheFrom, CacheTo;
    HMENU ContextMenu;           // TVMENU
    HIMAGELIST DragImage;
    int DragMode, DragMinLevel, InsertPosition, DragParentId;
    TreeItemData* DragItemData;
    HTREEITEM DropTarget;
    CEditSysItemDlg* ItemDialog;
    HWND Page;                   // PAGEDLG

    // The row count of the record list as last set, so a requery that changes it resets the count.
    int RecordCount;

    // ---- internals (public for the window procedures and tests) ----
    void FillChildren(HTREEITEM item);
    // previous: the item selected before (the card goes back to it when the file refuses the
    // new one's reading); the item itself when it is shown again.
    void OnSelChanged(HWND tree, HTREEITEM item, HTREEITEM previous);
    void LayoutPage(int width, int height);
    void LayoutRecordPage(int width, int height);
    // The splitters' clamped values: the new tree width (or -1 when refused) for a drag to x
    // relative to the bar, and the new picture height for a drag to y relative to the bar.
    int WidthForDrag(int mouseX) const;
    int HeightForDrag(int mouseY, int clientHeight) const;
    void MoveRecordPageParts(int width, int height, int pictureWidth, int pictureHeight);
    void OnPageShown(BOOL shown);
    void OnRecordPageShown(BOOL shown);
    void AnnounceListView();
    LRESULT OnRecordListNotify(NMHDR* header);
    LRESULT OnPageNotify(NMHDR* header);
    void InsertRoot();
    LRESULT SendMain(UINT msg, WPARAM wParam, LPARAM lParam) const;
    int HeightDragChanged;  // the current up/down drag changed the picture height

    // ---- editing internals (treecard_edit.cpp) ----
    void OnContextMenu(HWND from, LPARAM screenPoint);
    LRESULT OnTreeBeginLabelEdit(NMTVDISPINFOW* info);
    LRESULT OnTreeEndLabelEdit(NMTVDISPINFOW* info);
    LRESULT OnListBeginLabelEdit(NMLVDISPINFOW* info);
    LRESULT OnListEndLabelEdit(NMLVDISPINFOW* info);

    // ---- drag and drop (treecard_drag.cpp) ----
    void BeginTreeDrag(const NMTREEVIEWW* info);
    void BeginListDrag(HWND list, const NMLISTVIEW* info, int mode);
    // Mouse moves and the button's release while a drag holds PAGEDLG's capture; points in
    // PAGEDLG's client coordinates.
    void OnDragMove(POINT point);
    void OnDrop(POINT point);
    // Ends a drag without a drop (capture lost, WM_CANCELMODE, Escape).
    void CancelDrag();
    void StartDragCapture(POINT at);
    void EndDrag();
    // True when the item or one of its ancestors is a dragged row (mode 2).
    bool IsInsideDraggedBranch(HWND tree, HTREEITEM item) const;
    // After a move answered 1: the source and the target read their children again.
    void ShowMovedItems(int targetId);
    int SelectionsHandled;     // selections shown (OnSelChanged), counted for ReloadTreeItem
    std::vector<int> DragIds;  // mode 2: the ids of the dragged rows, sorted
    HTREEITEM DragItem;        // mode 1: the dragged tree item
    int DragMarkAfter;         // the insert mark shows after DropTarget
};

// The rectangle of a tree item's label, in the tree's coordinates; false when the item is not
// shown. TVM_GETITEMRECT takes the item in the first bytes of the rectangle it fills: copied in,
// not written through a cast pointer, which the optimiser may reorder.
inline bool TreeItemLabelRect(HWND tree, HTREEITEM item, RECT* label)
{
    *label = {};
    memcpy(label, &item, sizeof(item));
    return SendMessageW(tree, TVM_GETITEMRECT, TRUE, (LPARAM)label) != 0;
}

// ---- drop rules of the card's drags (treecard_drag.cpp) ----
enum TreeCardMarkSide
{
    CARDMARK_NONE = -1,
    CARDMARK_BEFORE = 0,
    CARDMARK_AFTER = 1,
};
// Reorder: over a sibling's label (tree coordinates), the insert mark goes before it near the
// top edge and after it near the bottom edge, unless the dragged item is already there; none in
// the middle.
int ReorderMarkSide(int y, const RECT& label, bool previousIsDragged, bool nextIsDragged);
// Children moved to a new parent: never the current item or an item inside a dragged branch;
// the root (id 0); otherwise an item of a known level above the highest dragged one
// (targetLevelId -1: not known).
bool AcceptsChildren(int targetId, int targetLevelId, int currentId, int dragMinLevel,
                     bool insideDragged);
// Records: an item of a level with records other than the current one.
bool AcceptsRecords(bool dataLevel, int targetId, int currentId);

// Window procedure of a record list's header (the cards' record lists and the search list): no
// resize of column 0, and the divider cursor over the other dividers. The header's previous
// procedure is in its GWLP_USERDATA and its "CardCtr" property holds the divider cursor, so any
// list owner can share it.
LRESULT CALLBACK RecordListHeaderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Subclasses the header of a report-view list with RecordListHeaderProc.
void SubclassRecordListHeader(HWND list, HCURSOR dividerCursor);
