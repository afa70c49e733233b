// Resource identifiers of the database utilities program.
//
// Named resources (loaded by name): dialogs MAINFORM, ABOUTBOX, SAVEPROGDLG, EDITSYSDLG,
// EDITKEYDLG, EDITNAMEDLG, VALIDATEDLG, VIEWLOGDLG; menu MAINMENU; accelerators MAINACC; icon MAINICON;
// bitmap BMP_ABOUT.
#pragma once

// ---- MAINFORM
#define IDC_MAIN_TABS          1001
#define IDC_MAIN_STATUS        1002

// ---- commands of the main form
#define IDM_T_OPEN             101
#define IDM_T_CLOSE            103
#define IDM_T_SAVE             104
#define IDM_T_EXIT             105
#define IDM_T_IMPORT           201
#define IDM_T_SAVEIFMODIFIED   202
#define IDM_T_VALIDATE         203
#define IDM_T_HELP             901
#define IDM_T_ABOUT            902

// ---- EDITSYSDLG (level page)
#define IDC_LEVEL_TREE         101
#define IDC_LEVEL_NEW          102
#define IDC_LEVEL_RENAME       103
#define IDC_LEVEL_DELETE       104
#define IDC_LEVEL_LARGEBOX     105
#define IDC_LEVEL_LARGEICON    106
#define IDC_LEVEL_LARGELOAD    107
#define IDC_LEVEL_LARGESAVE    108
#define IDC_LEVEL_LARGECLEAR   109
#define IDC_LEVEL_SMALLBOX     110
#define IDC_LEVEL_SMALLICON    111
#define IDC_LEVEL_SMALLLOAD    112
#define IDC_LEVEL_SMALLSAVE    113
#define IDC_LEVEL_SMALLCLEAR   114
#define IDC_LEVEL_OPENBOX      115
#define IDC_LEVEL_OPENICON     116
#define IDC_LEVEL_OPENLOAD     117
#define IDC_LEVEL_OPENSAVE     118
#define IDC_LEVEL_OPENCLEAR    119

// ---- EDITKEYDLG (attribute page)
#define IDC_ATTR_LIST          101
#define IDC_ATTR_TYPE          102
#define IDC_ATTR_TAB           103
#define IDC_ATTR_SIZE          104
#define IDC_ATTR_NULLVAL       105
#define IDC_ATTR_MINVAL        106
#define IDC_ATTR_MAXVAL        107
#define IDC_ATTR_NEW           108
#define IDC_ATTR_RENAME        109
#define IDC_ATTR_DELETE        110

// ---- EDITNAMEDLG (buttons IDOK, IDCANCEL)
#define IDC_NAME_EDIT          101

// ---- SAVEPROGDLG (the button is IDCANCEL)
#define IDC_PROGRESS_STATUS    101
#define IDC_PROGRESS_BAR       102

// ---- VALIDATEDLG
#define IDC_CHECK_SPECIES      101
#define IDC_CHECK_LOCALITIES   102
#define IDC_CHECK_RECORDS      103

// ---- VIEWLOGDLG
#define IDC_LOG_PATH           101
#define IDC_LOG_TEXT           102
#define IDC_LOG_DELETE         103

// ---- strings
#define IDS_T_TAB_SYSLEVELS    1    // tab captions 1-8, in tab order
#define IDS_T_ATTRTYPE_FIRST   10   // attribute types 10-17, in type order
#define IDS_T_STATUS           18
#define IDS_T_NO_DATABASE      19
#define IDS_T_NAME_TITLE       20   // 20 new name, 21 rename (20 + the request's mode)
#define IDS_T_NEW_LEVEL        22
#define IDS_T_ICON_FILTER      23
#define IDS_T_NEW_ATTRIBUTE    24
#define IDS_T_OK_BUTTON        91
#define IDS_T_SAVE_TITLE       92
#define IDS_T_SAVE_STATUS      93
#define IDS_T_CHECK_TITLE      95
#define IDS_T_CHECK_RENUMBER   96
#define IDS_T_CHECK_CANCELLED  97
#define IDS_T_CHECK_DONE       98
#define IDS_T_CHECK_LOCTREE    99
#define IDS_T_CHECK_RECORDS    100
#define IDS_T_CHECK_ESTIMATING 101
#define IDS_T_CHECK_SPECIES    102
#define IDS_T_CHECK_LOCALITIES 103
#define IDS_T_SAVE_STEP        110  // a long save step's status, with its page's caption
#define IDS_T_CREDITS          190
#define IDS_T_ERROR_CAPTION    200
#define IDS_T_ALREADY_RUNNING  201
#define IDS_T_BAD_CONNECTION   202
#define IDS_T_NOT_ZORNA_DB     203
#define IDS_T_NAME_REFUSED     204
#define IDS_T_SAVE_CANCELLED   205
#define IDS_T_UNKNOWN_DB_ERROR 206
#define IDS_T_NO_HELP_FILE     207
#define IDS_T_LEVEL_IN_USE     208
#define IDS_T_CONFIRM_CAPTION  300
#define IDS_T_ASK_SAVE         301
