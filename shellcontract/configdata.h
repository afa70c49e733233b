// The main program's configuration: the tree cards' title font and colour, the main window's
// caption, the user's composed columns and the six field lists that decide which columns the
// record lists, the literature list and the cards' information lines show, in which order, under
// which captions and how wide. Stored as the element ConfigDialog of the workspace file; the
// configuration property sheet keeps its working state here while it is open.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "core/containers.h"

class CXmlReader;
class CXmlWriter;
struct ChooseFieldsState;  // core/choosefields.h
struct CustomFieldEdit;    // current row of the custom columns page (property sheet)

// Pages of the property sheet, in sheet order (index into PageStates).
enum ConfigPage
{
    CONFIG_PAGE_GENERAL = 0,
    CONFIG_PAGE_CUSTOM = 1,
    CONFIG_PAGE_SYSTEM = 2,
    CONFIG_PAGE_LOCALITY = 3,
    CONFIG_PAGE_SEARCH = 4,
    CONFIG_PAGE_LITERATURE = 5,
    CONFIG_PAGE_COUNT = 6,
};

// PageStates values.
enum ConfigPageState
{
    CONFIG_PAGE_NOT_OPENED = 0,
    CONFIG_PAGE_UNCHANGED = 1,
    CONFIG_PAGE_CHANGED = 2,
};

class ConfigData
{
public:
    explicit ConfigData(HINSTANCE instance);
    ~ConfigData();
    ConfigData(const ConfigData&) = delete;
    ConfigData& operator=(const ConfigData&) = delete;

    // Reads the element ConfigDialog of a workspace file. The lists are emptied first, so that
    // reading another file never piles its entries onto the previous ones.
    void ReadConfigSection(CXmlReader* reader);
    // Sorts the lists and writes the element ConfigDialog under the root.
    void WriteConfigSection(CXmlWriter* writer);
    // Empties all seven lists, deleting their entries (the database fields of the display
    // entries with them).
    void ClearLists();
    // Resolves every custom column's Fields text against SearchFields into its FieldRefs.
    void ResolveCustomFieldRefs();
    // Stable sort of the six display lists: visible entries first, then by Order.
    void SortLists();

    // Property sheet state (valid while the sheet is open).
    HWND Owner;                     // main window: owner of the sheet, receiver of ZM_CONFIG_CHANGED
    HINSTANCE Instance;
    HFONT WorkFont;                 // card font being edited
    LOGFONTW WorkLogFont;
    COLORREF WorkColor;
    int WorkPointSize;              // tenths of a point
    BYTE PageStates[CONFIG_PAGE_COUNT];
    BYTE Changed;                   // a page reported a change not yet announced
    HWND DragList;                  // list view whose rows are dragged
    HIMAGELIST DragImages;          // null when no drag runs
    POINT DragOrigin;               // the list's client origin in the page's coordinates
    int DropIndex;                  // row before which the rows go, -1 none
    ChooseFieldsState* FieldChooser;  // created on first use
    CustomFieldEdit* CurCustom;     // current row of the custom columns page
    HWND CustomPage;
    HWND Sheet;
    // The card font the general page's apply replaced: the windows still use it until the
    // apply pass has announced the new one, and it is deleted then.
    HFONT RetiredCardFont;

    // The configuration itself.
    HFONT CardFont;                 // from CardLogFont; may be the stock SYSTEM_FONT
    LOGFONTW CardLogFont;
    COLORREF CardColor;             // default black
    int CardPointSize;              // tenths of a point, default 120
    wchar_t* AppCaption;            // malloc'd; default "Zorna"

    // CDispField lists; the database fields (CFieldInfo) of their entries are theirs.
    CObjArray* SysFields;
    CObjArray* LocFields;
    CObjArray* SearchFields;
    CObjArray* LitFields;
    CObjArray* SysHeaderFields;
    CObjArray* LocHeaderFields;
    // CCustFld objects; the display lists only refer to them.
    CObjArray* CustomFields;
};

// Width in pixels of a new column: 8 + 10 x the number of characters of its name.
int DefaultColumnWidth(const wchar_t* name);
