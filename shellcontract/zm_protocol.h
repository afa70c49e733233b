// The main window's private messages: child windows never call the database object directly;
// they send one of these to MAINFORM, whose procedure hands it to DispatchZmMessage. Every block
// passed by pointer belongs to the sender. A result is stored with SetWindowLongPtrW(main window,
// DWLP_MSGRESULT, value) and read back with GetWindowLongPtrW right after SendMessageW; where the
// procedure returns TRUE, SendMessageW returns the same value. Every handler stores a value (0
// when it has nothing to give), so that a refused move or rename never reads the previous
// message's result.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <stddef.h>

// The four ids the database object itself sends or posts are defined with it.
#include "core/zm_messages.h"

class MainForm;
class CDispField;
struct LocPathAbbrevs;  // core/itempath.h

// ---- message ids (WM_USER + 4001 ... WM_USER + 4064 = 5025 ... 5088) ----
// 5025 (WM_USER + 4001) ZM_DB_OPENED, posted; lParam the progress window or null
#define ZM_CONFIG_CHANGED (WM_USER + 4002)          // 5026
#define ZM_FILTER_NAMES_BY_PREFIX (WM_USER + 4003)  // 5027 wParam ZmNameList, lParam ZmNamePrefixRequest*
#define ZM_FILTER_NAMES_BY_COMBO (WM_USER + 4004)   // 5028 wParam 0 current tab / n list n-1, lParam combo
#define ZM_COMBO_GOTO_ITEM (WM_USER + 4005)         // 5029 lParam the toolbar combo
#define ZM_SHOW_TOOLBAR_COMBO (WM_USER + 4006)      // 5030 wParam nonzero show
#define ZM_SHOW_ITEM_INFO (WM_USER + 4007)          // 5031 wParam 1 taxon else locality, lParam InfoPanelRequest*
#define ZM_QUERY_RECORD_LIST (WM_USER + 4008)       // 5032 wParam SQL length hint, lParam ListQuery*
#define ZM_GET_LIST_CELL_TEXT (WM_USER + 4009)      // 5033 wParam ZmListKind, lParam NMLVDISPINFOW*
#define ZM_ENABLE_VIEW_COMMANDS (WM_USER + 4010)    // 5034 wParam enable, lParam ZmViewCommandBits
// 5035 (WM_USER + 4011) is not handled.
#define ZM_RESET_TOOLBAR_COMBO (WM_USER + 4012)     // 5036
#define ZM_FIND_NAME_ENTRY (WM_USER + 4013)         // 5037 wParam ZmAttrTable, lParam field name
#define ZM_GET_LOOKUP_VALUES (WM_USER + 4014)       // 5038 wParam lookup kind 1-6, lParam field name
#define ZM_FILL_LOOKUP_CONTROL (WM_USER + 4015)     // 5039 wParam MAKEWPARAM(index, ZmLookupControl)
#define ZM_UPDATE_RECORD_TOOLBAR (WM_USER + 4016)   // 5040 wParam list shown, lParam selected rows
#define ZM_REORDER_SYS_ITEM (WM_USER + 4017)        // 5041 wParam position, lParam item id
#define ZM_MOVE_TREE_ITEMS (WM_USER + 4018)         // 5042 wParam ZmTreeKind, lParam ZmIdBlock*
#define ZM_REASSIGN_RECORDS (WM_USER + 4019)        // 5043 wParam ZmTreeKind, lParam ZmIdBlock*
#define ZM_RENAME_TREE_ITEM (WM_USER + 4020)        // 5044 wParam ZmTreeKind, lParam NMTVDISPINFOW*
// 5045 (WM_USER + 4021) ZM_RESELECT_SYS_ITEM, lParam item id
// 5046 (WM_USER + 4022) ZM_REFRESH_TREE_CARD, wParam ZmTreeKind, lParam item id
#define ZM_CREATE_TREE_ITEM (WM_USER + 4023)        // 5047 wParam ZmTreeKind, lParam NMTVDISPINFOW*
#define ZM_DELETE_TREE_ITEM (WM_USER + 4024)        // 5048 wParam ZmTreeKind (| ZM_DELETE_CHECK_ONLY), lParam item id
#define ZM_FILL_LEVEL_CONTROL (WM_USER + 4025)      // 5049 wParam ZmLevelControlParam, lParam combo
// 5050 (WM_USER + 4026) ZM_FIND_LEVEL, wParam 1 sys else loc, lParam level id
#define ZM_GET_AUTHOR_LIST (WM_USER + 4027)         // 5051 lParam int* row count
#define ZM_GET_AUTHOR_ENTRY (WM_USER + 4028)        // 5052 wParam row, lParam int* length
#define ZM_GET_AUTHOR_TEXT (WM_USER + 4029)         // 5053 wParam row, lParam ZmTextRequest*
#define ZM_FIND_AUTHOR (WM_USER + 4030)             // 5054 lParam ZmFindRequest*
#define ZM_FILL_SYS_ATTRS (WM_USER + 4031)          // 5055 lParam property box
#define ZM_FILL_LOC_ATTRS (WM_USER + 4032)          // 5056 lParam property box
#define ZM_GET_LOOKUP_COUNT (WM_USER + 4033)        // 5057 wParam cache index
#define ZM_GET_LOOKUP_ENTRY (WM_USER + 4034)        // 5058 wParam MAKEWPARAM(index, row), lParam int*
#define ZM_GET_LOOKUP_TEXT (WM_USER + 4035)         // 5059 wParam MAKEWPARAM(index, row), lParam ZmTextRequest*
#define ZM_FIND_LOOKUP_ENTRY (WM_USER + 4036)       // 5060 wParam cache index, lParam ZmFindRequest*
#define ZM_LOAD_TREE_ITEM (WM_USER + 4037)          // 5061 wParam 1 sys else loc, lParam item record
#define ZM_SAVE_TREE_ITEM (WM_USER + 4038)          // 5062 wParam position/flags, lParam item record
#define ZM_LOAD_RECORD (WM_USER + 4039)             // 5063 lParam record block
#define ZM_FILL_RECORD_ATTRS (WM_USER + 4040)       // 5064 lParam property box
#define ZM_SAVE_RECORD (WM_USER + 4041)             // 5065 lParam record block
#define ZM_GET_ROW_BY_ID (WM_USER + 4042)           // 5066 wParam ZmNameList, lParam id
#define ZM_REFRESH_LISTS (WM_USER + 4043)           // 5067
#define ZM_DELETE_RECORDS (WM_USER + 4044)          // 5068 wParam ZmDeleteKind, lParam CIntArray* of ids
#define ZM_FILL_TERM_COMBO (WM_USER + 4045)         // 5069 wParam ZmTermTable, lParam combo
#define ZM_EDIT_LOOKUP_TABLE (WM_USER + 4046)       // 5070 lParam the edit request
#define ZM_GET_RECORDSET (WM_USER + 4047)           // 5071 wParam ZmRecordsetKind
#define ZM_GET_LEVEL_DEFS (WM_USER + 4048)          // 5072 wParam 1 sys else loc
#define ZM_FILL_LIT_ATTRS (WM_USER + 4049)          // 5073 lParam property box
#define ZM_LOAD_LITERATURE (WM_USER + 4050)         // 5074 lParam literature record
#define ZM_SAVE_LITERATURE (WM_USER + 4051)         // 5075 lParam literature record
#define ZM_SET_RECORD_FILTER (WM_USER + 4052)       // 5076 wParam MAKEWPARAM(ZmPointList, passed on), lParam text; R 1 taken, 0 refused
#define ZM_GET_RECORD_POINTS (WM_USER + 4053)       // 5077 wParam MAKEWPARAM(ZmPointList, sourced), lParam ZmPointBlock*
#define ZM_SHOW_VIEW_MENU (WM_USER + 4054)          // 5078 wParam ZmViewMenu, lParam nonzero insert
#define ZM_REFRESH_MAPS (WM_USER + 4055)            // 5079
#define ZM_GET_ATTR_DEF (WM_USER + 4056)            // 5080 wParam mode, lParam CDispField*
#define ZM_GET_CURRENT_ITEM_NAME (WM_USER + 4057)   // 5081 wParam ZmCardKind, lParam char[128]
#define ZM_GET_CRITERIA_TEXT (WM_USER + 4058)       // 5082 lParam char** (malloc'd text or null)
#define ZM_GET_LIST_OBJECT (WM_USER + 4059)         // 5083 wParam ZmListObject, lParam zdata::Recordset**
#define ZM_LOOKUP_FIELD_VALUE (WM_USER + 4060)      // 5084 lParam ZmLookupValueRequest*
#define ZM_GET_LEVEL_SPAN (WM_USER + 4061)          // 5085 wParam ZmCardKind, lParam int*
#define ZM_GET_ITEM_PATH (WM_USER + 4062)           // 5086 wParam ZmCardKind, lParam ZmItemPathRequest*
#define ZM_GET_RECORD_VALUE (WM_USER + 4063)        // 5087 wParam MAKEWPARAM(list 0-2, 0 SYSID / 1 FTRID), lParam record id
#define ZM_GOTO_TREE_ITEM (WM_USER + 4064)          // 5088 wParam 0 sys card / nonzero loc card, lParam item id

#define ZM_FIRST ZM_DB_OPENED
#define ZM_LAST ZM_GOTO_TREE_ITEM
#define ZM_UNHANDLED_5035 (WM_USER + 4011)

// ---- kinds: each message family numbers them its own way ----
// 5042-5048: the tree of a message.
enum ZmTreeKind
{
    ZM_TREE_SYS = 1,
    ZM_TREE_LOC = 2,
};
// Added to 5048's kind: only whether the item may be deleted (1), or why not (0, said by the
// handler); nothing is deleted.
const WPARAM ZM_DELETE_CHECK_ONLY = 0x10000;
// 5031, 5049, 5050, 5061, 5072 take ZM_TREE_SYS for the systematic tree and anything else for
// the locality tree. 5081, 5085, 5086, 5088 take a card index:
enum ZmCardKind
{
    ZM_CARD_SYS = 0,
    ZM_CARD_LOC = 1,
};
// 5027, 5028 (list n - 1), 5066: the name lists.
enum ZmNameList
{
    ZM_NAMES_SPECIES = 0,
    ZM_NAMES_FEATURES = 1,
    ZM_NAMES_LITERATURE = 2,
};
// 5032, 5033: the virtual lists (ListQuery.Kind).
enum ZmListKind
{
    ZM_LIST_TAXON_RECORDS = 1,
    ZM_LIST_LOCALITY_RECORDS = 2,
    ZM_LIST_SEARCH_RECORDS = 3,
    ZM_LIST_LITERATURE = 4,
};
// 5083: the same lists counted from 0.
enum ZmListObject
{
    ZM_LISTOBJ_TAXON = 0,
    ZM_LISTOBJ_LOCALITY = 1,
    ZM_LISTOBJ_SEARCH = 2,
    ZM_LISTOBJ_LITERATURE = 3,
};
// 5076, 5077: low word of wParam.
enum ZmPointList
{
    ZM_POINTS_TAXON = 0,
    ZM_POINTS_SEARCH = 1,
};
// 5034: lParam bits.
enum ZmViewCommandBits
{
    ZM_VIEW_LIST_COMMANDS = 1,  // 401-404
    ZM_VIEW_MAP_COMMANDS = 2,   // 405-408, the map separator, 602-604, 607; 301-304 the other way
};
// 5037: the attribute list searched.
enum ZmAttrTable
{
    ZM_ATTRS_SPECIES = 1,
    ZM_ATTRS_FEATURES = 2,
    ZM_ATTRS_ZORNACOLLS = 3,
};
// 5039: high word of wParam.
enum ZmLookupControl
{
    ZM_LOOKUP_LISTBOX = 1,
    ZM_LOOKUP_COMBOBOX = 2,
    ZM_LOOKUP_LISTVIEW = 3,
};
// 5068.
enum ZmDeleteKind
{
    ZM_DELETE_RECORD_ROWS = 0,
    ZM_DELETE_LITERATURE_ROWS = 1,
};
// 5069: the table whose lookup attributes fill the combo.
enum ZmTermTable
{
    ZM_TERMS_SYSTREE = 0,
    ZM_TERMS_SPECIES = 1,
    ZM_TERMS_LOCTREE = 2,
    ZM_TERMS_FEATURES = 3,
    ZM_TERMS_ZORNACOLLS = 4,
    ZM_TERMS_LITERATURE = 5,
};
// 5071: the cached recordset handed out (borrowed).
enum ZmRecordsetKind
{
    ZM_RS_SYSTREE = 1,
    ZM_RS_LOCTREE = 2,
    ZM_RS_LITAUTHORS = 3,
    ZM_RS_JOURNALS = 4,
    ZM_RS_EDITORS = 5,
    ZM_RS_KEYWORDS = 6,
};
// 5078: which menu.
enum ZmViewMenu
{
    ZM_MENU_VIEW = 1,  // VIEWMENU (tree cards)
    ZM_MENU_MAP = 2,   // MAPMENU (map cards)
};
// 5049: wParam = low byte tree (1 sys, else loc), second byte control kind (only 2, a combo,
// is filled), high word the level id.
inline WPARAM ZmLevelControlParam(int tree, int controlKind, int levelId)
{
    return (WPARAM)(DWORD)(((DWORD)(tree & 0xFF)) | ((DWORD)(controlKind & 0xFF) << 8) |
                           ((DWORD)(levelId & 0xFFFF) << 16));
}
const int kZmLevelControlCombo = 2;

// 5081: the size of the sender's 8-bit name buffer.
const int kZmItemNameBytes = 128;

// ---- sender-owned blocks ----
// 5027: the combo whose list is filtered and the typed prefix.
struct ZmNamePrefixRequest
{
    HWND Combo;
    const wchar_t* Prefix;
};

// 5042, 5043: {count; target; count ids}, allocated with ZmIdBlockSize(count) bytes.
struct ZmIdBlock
{
    int Count;
    int TargetId;
    int Ids[1];
};
inline size_t ZmIdBlockSize(int count)
{
    return offsetof(ZmIdBlock, Ids) + sizeof(int) * (size_t)(count > 0 ? count : 1);
}

// 5053, 5059: the buffer and its capacity in characters (terminator included); the text
// written is cut to Capacity - 1 characters. The copy's length comes back in Length.
struct ZmTextRequest
{
    wchar_t* Text;
    int Capacity;
    int Length;  // out
};

// 5054, 5060: type-ahead in an owner-data combo.
struct ZmFindRequest
{
    const wchar_t* Text;
    int Row;          // in: row to start at (negative: the first); out: row found or -1
    int MatchLength;  // out
};

// 5077: two malloc'd arrays (longitude, latitude) for the sender, who frees them.
struct ZmPointBlock
{
    double* X;
    double* Y;
};

// 5084: the abbreviation of a field's lookup value.
struct ZmLookupValueRequest
{
    CDispField* Field;
    VARIANT Value;
    VARIANT Result;  // left as it was when the value has no abbreviation
};

// 5086: the report text of an item, written at Text with room for Capacity bytes (terminator
// included), so that the report line is never overrun whatever the hierarchy's depth.
struct ZmItemPathRequest
{
    int ItemId;
    char* Text;
    int Capacity;
    const LocPathAbbrevs* Abbrevs;  // localities only; may be null
    int Length;                     // out: bytes written
};

// Sends a private message to the main window and reads the result it stored: the value
// SendMessageW returns is not the result of every message.
inline LONG_PTR SendZm(HWND mainWindow, UINT msg, WPARAM wParam, LPARAM lParam)
{
    SendMessageW(mainWindow, msg, wParam, lParam);
    return GetWindowLongPtrW(mainWindow, DWLP_MSGRESULT);
}

// Handles the messages 5025-5088 of the main window (5035 excepted): runs the handler, stores
// its result in DWLP_MSGRESULT and puts the dialog procedure's TRUE/FALSE into *dlgResult.
// Returns false for any other message (and 5035), leaving *dlgResult alone.
bool DispatchZmMessage(MainForm* form, HWND mainWnd, UINT msg, WPARAM wParam, LPARAM lParam,
                       INT_PTR* dlgResult);

// Takes a view or map popup that ZM_SHOW_VIEW_MENU put into the menu bar out again. Called
// before the main window is destroyed, so that destroying the bar does not destroy the popup
// that ViewMenu or MapMenu still owns.
void RemoveInsertedViewMenu(MainForm* form, HWND mainWnd);
