// Tree item editing: the item dialog with its attribute, icon and picture pages.
// Resource identifiers of the main program: see treeedit.rc.
#pragma once

// Icons of the pictures page's navigation toolbar (16 x 16): first, previous, next, last.
#define IDI_PICTURE_FIRST      10
#define IDI_PICTURE_PREVIOUS   11
#define IDI_PICTURE_NEXT       12
#define IDI_PICTURE_LAST       13

// Strings (the dialog's captions 315-318, its first tab 322, the file filters 804 and 806 and
// the counter 805 are in the program's main table).
#define IDS_TAB_ICONS          323
#define IDS_TAB_PICTURES       324
#define IDS_TAB_NOTE           325
#define IDS_MOVE_INTO_OWN_BRANCH 523

// ---- EDITSYSITEM: the frame with the tabs and the two buttons
#define IDC_ITEM_TABS          100
#define IDC_ITEM_NOTE          101   // the locality's note, over the display area

// ---- EDITSYSATTRS (taxon) and EDITLOCATTRS (locality): controls of both
#define IDC_ATTR_NAMELABEL     101
#define IDC_ATTR_NAME          102
#define IDC_ATTR_LEVELLABEL    103
#define IDC_ATTR_LEVEL         104
// taxon: 105-109 are shown only for a level whose items carry records
#define IDC_SYS_AUTHORLABEL    105
#define IDC_SYS_AUTHOR         106
#define IDC_SYS_YEARLABEL      107
#define IDC_SYS_YEAR           108
#define IDC_SYS_PARENTHESES    109
#define IDC_SYS_ATTRS          110
// locality: 107-124 are shown only for a level whose items carry records
#define IDC_LOC_ABBREVLABEL    105
#define IDC_LOC_ABBREV         106
#define IDC_LOC_SQUARELABEL    107
#define IDC_LOC_SQUARE         108
#define IDC_LOC_LONLABEL       109
#define IDC_LOC_LONDEG         110   // 111 minutes, 112 seconds
#define IDC_LOC_LONMARKS       113   // 113-115 the marks after them
#define IDC_LOC_LATLABEL       116
#define IDC_LOC_LATDEG         117   // 118 minutes, 119 seconds
#define IDC_LOC_LATMARKS       120   // 120-122
#define IDC_LOC_ALTLABEL       123
#define IDC_LOC_ALTITUDE       124
#define IDC_LOC_ATTRS          125

// ---- EDITICONSDLG: large icon 100-104, small icon 110-114, open folder 120-124
#define IDC_ICON_GROUP         100
#define IDC_ICON_PREVIEW       101
#define IDC_ICON_LOAD          102
#define IDC_ICON_SAVE          103
#define IDC_ICON_DELETE        104
#define IDC_ICON_STEP          10    // from one icon's controls to the next one's

// ---- EDITIMGSDLG
#define IDC_PIC_PICTURE        101
#define IDC_PIC_LOAD           102
#define IDC_PIC_SAVE           103
#define IDC_PIC_DEFAULT        104
#define IDC_PIC_DELETE         105
#define IDC_PIC_NOTELABEL      106
#define IDC_PIC_NOTE           107
#define IDC_PIC_TOOLBAR        108
#define IDC_PIC_COUNTER        109
#define IDC_PIC_FIRST          110   // toolbar commands
#define IDC_PIC_PREVIOUS       111
#define IDC_PIC_NEXT           112
#define IDC_PIC_LAST           113
