// Public interface of Plexa.dll: the custom window classes shared by Zorna and Tarnix.
//
// The library registers four global window classes on request (RegisterPlexaW/RegisterPlexaA) so
// that dialog templates of both programs can name them. Everything that crosses the library's
// boundary is a window message or a record owned by its sender; the programs and the library have
// separate heaps, so no side frees what the other allocated.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <oaidl.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------------------------
 * Window classes and their registration bits
 * ------------------------------------------------------------------------------------------- */

#define WC_INPLACECOMBOBOXW L"INPLACECOMBOBOX"
#define WC_INPLACECOMBOBOXA "INPLACECOMBOBOX"
#define WC_PROPERTYBOXW     L"PROPERTYBOX"
#define WC_PROPERTYBOXA     "PROPERTYBOX"
#define WC_IMGBUTTONW       L"IMGBUTTON"
#define WC_IMGBUTTONA       "IMGBUTTON"
#define WC_INPLACEBUTTONW   L"INPLACEBUTTON"
#define WC_INPLACEBUTTONA   "INPLACEBUTTON"

/* Bits of the flag word given to RegisterPlexaW/RegisterPlexaA (only the low 16 bits count). */
#define PLEXA_INPLACECOMBOBOX 0x0001
#define PLEXA_PROPERTYBOX     0x0002
#define PLEXA_IMGBUTTON       0x0004
#define PLEXA_INPLACEBUTTON   0x0008
#define PLEXA_ALLCLASSES      0x000F

/* Environment switches read whenever the theme binding runs (every registration call):
 *   PLEXA_FORCE_THEMED=1  themed drawing on even when the common controls report version 5
 *                         (Wine's comctl32 does), as long as uxtheme.dll loads;
 *   PLEXA_NO_UXTHEME=1    behave as if uxtheme.dll were missing (IsXP and IsXPUIEnabled give 0). */
#define PLEXA_ENV_FORCE_THEMED "PLEXA_FORCE_THEMED"
#define PLEXA_ENV_NO_UXTHEME   "PLEXA_NO_UXTHEME"

/* ---------------------------------------------------------------------------------------------
 * INPLACECOMBOBOX: a combo box with its own drop-down list, optional virtual (no-data) mode
 * ------------------------------------------------------------------------------------------- */

/* Style: virtual mode, the parent supplies every row's text, length and data (ICBN_ requests). */
#define ICBS_NODATA 0x8000

/* Messages (besides the standard CB_ messages, which the combo forwards to its list or edit). */
#define ICBM_SETSELNOTIFY      (WM_USER + 1) /* wParam row (-1 none): commit it, CBN_SELCHANGE */
#define ICBM_GETITEMTEXTLENGTH (WM_USER + 3) /* wParam row: asks the parent (ICBN_GETTEXTLENGTH) */
#define ICBM_GETITEMTEXT       (WM_USER + 4) /* wParam row, lParam buffer: asks the parent (ICBN_GETTEXT) */
#define ICBM_GETITEMDATA       (WM_USER + 5) /* wParam row: asks the parent (ICBN_GETITEMDATA) */
#define ICBM_NOTIFYEDITCHANGE  (WM_USER + 6) /* posted by the edit: CBN_EDITCHANGE to the parent */
#define ICBM_GETVISIBLECOUNT   0x168         /* rows the dropped list shows */
#define ICBM_SETVISIBLECOUNT   0x169         /* wParam count (low 16 bits); result: previous count */
#define ICBM_SETCOUNT          0x16A         /* wParam row count, virtual mode only (else -1) */

/* Requests of a virtual combo to its parent (WM_NOTIFY, lParam ComboItemRequest*). */
#define ICBN_FIRST         (0U - 1000U)
#define ICBN_GETTEXTLENGTH (ICBN_FIRST - 0)  /* out: count = the row's text length in characters */
#define ICBN_GETTEXT       (ICBN_FIRST - 1)  /* in: count = buffer capacity in characters
                                                (terminator included); out: text filled, never more
                                                than count characters */
#define ICBN_GETITEMDATA   (ICBN_FIRST - 2)  /* out: data = the row's data; return nonzero */
#define ICBN_FINDSTRING    (ICBN_FIRST - 3)  /* in: item = current row or -1, count = characters
                                                typed before the last one (0 for a list search),
                                                text = the text to find; out: item = row found
                                                (-1 none), count = characters that matched */

/* ComboItemRequest.mask bits (set for the three row requests, not for ICBN_FINDSTRING). */
#define ICIF_TEXTLENGTH 0x0001
#define ICIF_TEXT       0x0002
#define ICIF_DATA       0x0004

/* Record of the ICBN_ requests and of IPBN_CLICKED. text is wchar_t* for a Unicode window and
 * char* for an ANSI one. */
typedef struct ComboItemRequest {
    NMHDR hdr;         /* the combo, its control id, the request code */
    UINT mask;         /* ICIF_ bits */
    int item;          /* row index; ICBN_FINDSTRING: in current row, out row found */
    LPARAM reserved;   /* not set by the combo (the property box puts its item index here) */
    int count;         /* length / capacity / matched characters, by code */
    LPWSTR text;       /* text buffer or text to find */
    LPARAM data;       /* ICBN_GETITEMDATA: out row data */
} ComboItemRequest;

/* ---------------------------------------------------------------------------------------------
 * IMGBUTTON and INPLACEBUTTON
 * ------------------------------------------------------------------------------------------- */

#define IBM_SETIMAGELIST (WM_USER + 1) /* lParam HIMAGELIST: images 0 normal, 1 pressed, 2 hot,
                                          3 disabled; result 0 */

/* INPLACEBUTTON click (WM_NOTIFY, lParam ComboItemRequest* with text = copy of the window text). */
#define IPBN_CLICKED (0U - 1004U)

/* ---------------------------------------------------------------------------------------------
 * PROPERTYBOX: two-column, tree-structured property grid
 * ------------------------------------------------------------------------------------------- */

/* Value types (low part of an item's type word). */
#define PBT_TEXT     1
#define PBT_INTEGER  2
#define PBT_REAL     3
#define PBT_LIST     4
#define PBT_COMBO    5
#define PBT_BOOL     6
#define PBT_FLAGS    7
#define PBT_BINARY   8
#define PBT_OBJECT   9
#define PBT_ONDEMAND 0x100 /* list entries supplied by the parent on demand */
#define PBT_TYPEMASK 0xFF

/* Messages. Unless noted, wParam's high word is the item index and its low word 0xFFFF. */
#define PBXM_ADDITEM        (WM_USER + 1)  /* low: parent or 0xFFFF, high: type word; lParam name */
#define PBXM_DELETEITEM     (WM_USER + 2)  /* low: parent or 0xFFFF, high: item */
#define PBXM_RESETCONTENT   (WM_USER + 3)
#define PBXM_SETYESTEXT     (WM_USER + 4)  /* lParam text */
#define PBXM_GETYESTEXT     (WM_USER + 5)  /* wParam size in characters, lParam buffer */
#define PBXM_SETNOTEXT      (WM_USER + 6)
#define PBXM_GETNOTEXT      (WM_USER + 7)
#define PBXM_SETITEMTEXT    (WM_USER + 8)
#define PBXM_GETITEMTEXTLEN (WM_USER + 9)
#define PBXM_GETITEMTEXT    (WM_USER + 10)
#define PBXM_SETVALUE       (WM_USER + 11) /* lParam VARIANT* */
#define PBXM_GETVALUE       (WM_USER + 12) /* lParam VARIANT* (out, caller clears) */
#define PBXM_GETCURITEM     (WM_USER + 15) /* lParam int* (out) */
#define PBXM_SELECTITEM     (WM_USER + 16) /* lParam open-editor flag */
#define PBXM_SETITEMWORD    (WM_USER + 17) /* wParam divider position */
#define PBXM_GETITEMWORD    (WM_USER + 18)
#define PBXM_SETFLAGNAMES   (WM_USER + 19) /* lParam multi-string */
#define PBXM_SETLIST        (WM_USER + 20) /* lParam multi-string */
#define PBXM_SELECTNEXT     (WM_USER + 21) /* low: nonzero previous; high: wrap flag */
#define PBXM_ENDEDIT        (WM_USER + 22) /* wParam commit flag, lParam focus flag */
#define PBXM_SETITEMFLAG    (WM_USER + 23) /* lParam visible flag */
#define PBXM_REDRAW         (WM_USER + 24)
#define PBXM_SETITEMDATA    (WM_USER + 25) /* lParam data (pointer-sized) */
#define PBXM_GETITEMDATA    (WM_USER + 26)
#define PBXM_GETCOUNT       (WM_USER + 27) /* wParam item as a signed number, lParam deep flag */
#define PBXM_SETLISTINDEX   (WM_USER + 28) /* lParam list position */
#define PBXM_GETLISTINDEX   (WM_USER + 29)
#define PBXM_SETLISTVALUES  (WM_USER + 30) /* lParam int* */
#define PBXM_GETLISTVALUE   (WM_USER + 31) /* lParam list position or negative */
#define PBXM_GETLISTCOUNT   (WM_USER + 32)
#define PBXM_SETITEMLIMIT   (WM_USER + 33) /* lParam characters the editor takes, 0 any */

/* Builds wParam for the item messages: item in the high word, low word 0xFFFF or a parent. */
#define PBX_ITEM(item)            MAKEWPARAM(0xFFFF, (item))
#define PBX_PARENT_ITEM(parent, item) MAKEWPARAM((parent), (item))

/* Notifications (WM_NOTIFY, lParam PropBoxNotify*). */
#define PBXN_BUTTONCLICK  (0U - 1004U) /* item, text = item name */
#define PBXN_GETLISTCOUNT (0U - 1005U) /* item; data to be set to the number of entries */
#define PBXN_SELCHANGE    (0U - 1006U) /* listPos, item */
#define PBXN_EDITCHANGE   (0U - 1007U) /* listPos (exact match or -1), item */

/* Row state bits of an item. */
#define PBIS_HOT      0x01
#define PBIS_SELECTED 0x02
#define PBIS_EDITING  0x04
#define PBIS_PRESSED  0x08

/* Control ids of the six in-place editors, children of the box. */
#define PBX_EDITOR_TEXT         1 /* EDIT, PBT_TEXT and PBT_FLAGS */
#define PBX_EDITOR_NUMBER       2 /* EDIT ES_RIGHT, PBT_INTEGER and PBT_REAL */
#define PBX_EDITOR_COMBO        3 /* INPLACECOMBOBOX CBS_DROPDOWN */
#define PBX_EDITOR_LIST         4 /* INPLACECOMBOBOX CBS_DROPDOWNLIST */
#define PBX_EDITOR_COMBO_NODATA 5 /* CBS_DROPDOWN | ICBS_NODATA */
#define PBX_EDITOR_LIST_NODATA  6 /* CBS_DROPDOWNLIST | ICBS_NODATA */

/* Record of the box's own notifications; the same layout as ComboItemRequest, whose reserved
 * field carries the item index. text is wchar_t* or char* as the box. */
typedef struct PropBoxNotify {
    NMHDR hdr;       /* the box, its control id, the code */
    UINT mask;       /* not set */
    int listPos;     /* row in the list editor (PBXN_SELCHANGE, PBXN_EDITCHANGE) */
    LPARAM item;     /* index of the item concerned */
    int count;       /* not set */
    LPWSTR text;     /* PBXN_BUTTONCLICK: the item's name */
    LPARAM data;     /* PBXN_GETLISTCOUNT: out number of entries (0 before the call) */
} PropBoxNotify;

/* One item of a property box (owned by the box; its index is its position in creation order). */
typedef struct PropItem {
    int childCapacity;          /* 16 for PBT_FLAGS and PBT_OBJECT at creation, grows by 16 */
    UINT type;                  /* PBT_ value, possibly with PBT_ONDEMAND */
    LPWSTR name;                /* owned */
    LPWSTR displayText;         /* owned; NULL when none */
    VARIANT value;              /* owned */
    int visible;                /* 1 at creation */
    int wide;                   /* 1 when added to a Unicode box */
    int expanded;               /* 0 at creation */
    int propagate;              /* 1 at creation; 0 while a bit set rewrites its children */
    int state;                  /* PBIS_ bits: 0, 1, 2, 3, 6, 7, (6|7)+8 */
    LPWSTR choices;             /* owned multi-string; NULL when none */
    int childCount;
    struct PropItem* parent;    /* NULL for a top-level item */
    struct PropItem** children; /* owned array, display order */
    LPARAM userData;            /* pointer-sized: owners keep pointers here */
    int* listValues;            /* owned; one per choice-list entry; NULL until set */
} PropItem;

/* ---------------------------------------------------------------------------------------------
 * Exports (ordinals 1 to 4)
 * ------------------------------------------------------------------------------------------- */

/* Binds the theme library and registers the classes of the flag word not yet registered, under
 * ANSI or wide names. Returns the word of registered classes. */
int WINAPI RegisterPlexaA(UINT flags);
int WINAPI RegisterPlexaW(UINT flags);
/* 1 when uxtheme.dll was loaded by the last registration call. */
int WINAPI IsXP(void);
/* 1 when themed drawing is possible (uxtheme loaded and common controls above version 5). */
int WINAPI IsXPUIEnabled(void);

#ifdef __cplusplus
}  /* extern "C" */

static_assert(sizeof(ComboItemRequest) == sizeof(PropBoxNotify), "shared notify layout");
static_assert(offsetof(ComboItemRequest, reserved) == offsetof(PropBoxNotify, item),
              "the box's item index travels in the combo's reserved field");
static_assert(offsetof(ComboItemRequest, data) == offsetof(PropBoxNotify, data), "data field");
#endif
