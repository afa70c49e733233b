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
#define IDS_T_CHECK_NO_TRANSACTION 94
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
#define IDS_T_NAME_TOO_LONG    229  // the name's length, the longest name stored
#define IDS_T_ATTR_HOLDS_VALUES 270  // the caption, then how many rows hold a value
#define IDS_T_FIELD_SPECIES    260  // the records' species and locality, as refusals name them
#define IDS_T_FIELD_LOCALITY   261
#define IDS_T_CONFIRM_CAPTION  300
#define IDS_T_ASK_SAVE         301

// ---- import (strings of the wizard and the run)
#define IDS_I_CREATE_CHOICE     25   // " .. Zavést"
#define IDS_I_SKIP_CHOICE       26   // " .. Nezavádět"
#define IDS_I_PATH_LABEL        28
#define IDS_I_SOURCE_BAD        30
#define IDS_I_SOURCE_OK         31
#define IDS_I_SOURCE_TYPE_FIRST 32   // 32-38: the source types in item-data order
#define IDS_I_FILTER_FIRST      42   // 42-48: the open dialog's filters by source type
#define IDS_I_GROUP_CAPTION_BASE 49  // + the group kind: 50-57
#define IDS_I_IMPORT_TITLE      104
#define IDS_I_CHANGING_STRUCTURE 105
#define IDS_I_IMPORT_DONE       106
#define IDS_I_IMPORT_CANCELLED  107
#define IDS_I_IMPORTING_SYSTEM  108
#define IDS_I_IMPORTING_LOCALITIES 109
#define IDS_I_LOG_SOURCE        111
#define IDS_I_LOG_DESCRIPTION   112
#define IDS_I_LOG_NO_UNIT_NAME  113
#define IDS_I_IMPORTING_RECORDS 114
#define IDS_I_LOG_LINE          116  // "Chyba na řádku: " (110 is the save step's status)
#define IDS_I_IMPORT_FAILED     117
#define IDS_I_LOG_ROLLED_BACK   118
#define IDS_I_LOG_CANCELLED     119
#define IDS_I_LOG_SOURCE_UNREADABLE 135
#define IDS_I_UNITS_NOT_SAVED   136
#define IDS_I_UNIT_OUT_OF_ORDER 137
#define IDS_I_NO_COORDINATES    209  // 207 and 208 are Tarnix's own
#define IDS_I_UNKNOWN_ERROR     210
// the target item page's reasons for staying
#define IDS_I_TARGET_SPECIES_MISSING 211
#define IDS_I_TARGET_LOCALITY_MISSING 212
#define IDS_I_TARGET_SPECIES_REFUSED 213
#define IDS_I_TARGET_LOCALITY_REFUSED 214
// The exchange files' unit and attribute names (72 "Rok" is the import's) and their log texts.
#define IDS_X_NAME_FIRST        60   // 60-64 system units, 65-68 locality units, 69 the territorial unit
#define IDS_X_RECORD_ATTR_FIRST 70   // 70-86 the record attributes in the records file's order
#define IDS_X_LOG_HEADER_CUT    241
#define IDS_X_LOG_RECORD_CUT    242
#define IDS_X_LOG_FEW_FIELDS    243
#define IDS_X_LOG_MANY_FIELDS   244
#define IDS_X_LOG_BAD_NUMBER    245
#define IDS_X_LOG_BAD_COORDINATE 246
#define IDS_X_LOG_TEXT_CUT      247
#define IDS_X_LOG_LINE_TOO_LONG 248
#define IDS_X_LOG_BAD_DATE      249
#define IDS_X_LOG_RECORD_LOST   250
#define IDS_X_LOG_NAMES_LEFT    251
#define IDS_X_LOG_LINES_UNREAD  252  // followed by the lines, "12" or "12–15"
#define IDS_X_LOG_RECORD_DAMAGED 253
#define IDS_X_LOG_DAMAGE_TOTAL  254  // "%s" the lines not read, "%s" the records passed over
// why the welcome page refuses an exchange file
#define IDS_X_FILE_CUT          255
#define IDS_X_FILE_ENCODING     256  // "%s": the encoding
#define IDS_X_FILE_OTHER_KIND   257  // "%s": the source type the file is of
#define IDS_X_FILE_NOT_EXCHANGE 258  // "%s": the magic
// text files and the row import of flat sources (140-153)
#define IDS_I_TXT_BAD_BYTES     140
#define IDS_I_TXT_FIELD_COUNT   141
#define IDS_I_TXT_LINE_TOO_LONG 149
#define IDS_I_ROW_BAD_VALUE     142
#define IDS_I_ROW_BAD_COORDINATE 143
#define IDS_I_ROW_SYS_ITEM_FAILED 144
#define IDS_I_ROW_LOC_ITEM_FAILED 145
#define IDS_I_ROW_COLUMNS_FAILED 146
#define IDS_I_ROW_NO_TAXON      147
#define IDS_I_ROW_NO_LOCALITY   148
#define IDS_I_ROW_TAXON_NOT_FOUND 150
#define IDS_I_ROW_LOCALITY_NOT_FOUND 151
#define IDS_I_ROW_UNREADABLE_VALUE 152
#define IDS_I_TABLE_UNREADABLE_COUNT 153
// why the welcome page refuses a file, the run's end with errors or notes, and its log's notes
#define IDS_I_BOOK_TOO_SHORT       2960
#define IDS_I_TXT_EMPTY_FILE       2961
#define IDS_I_TXT_NOT_TEXT         2962
#define IDS_I_IMPORT_DONE_ONE_ERROR 2963
#define IDS_I_IMPORT_DONE_ERRORS   2964  // %d: the errors in the log
#define IDS_I_IMPORT_DONE_NOTES    2965
#define IDS_I_TXT_ENC_MARK         2972  // the welcome page's words on a text file: "%s" the encoding
#define IDS_I_TXT_ENC_UTF8         2973
#define IDS_I_TXT_ENC_ASCII        2974  // "%s" the ANSI code page
#define IDS_I_TXT_ENC_NOT_UTF8     2975  // "%s" the ANSI code page, "%s" the line
#define IDS_I_TXT_FIRST_LINE_LONG  2976
#define IDS_I_LOG_INCOMPLETE       2980  // "%s" the log file, "%s" the system's reason
#define IDS_I_LOG_NOTE_LINE        2966  // "Upozornění k řádku: "
#define IDS_I_ROW_AMBIGUOUS        2967
#define IDS_I_ROW_AMBIGUOUS_SPECIES 2968
#define IDS_I_ROW_AMBIGUOUS_UNDER  2969
#define IDS_I_ROW_DUPLICATE_RECORD 2970
#define IDS_I_ROW_DUPLICATE_KEYS   2971

// ---- import wizard pages
#define IDC_IMP_SOURCE_TYPES    101
#define IDC_IMP_PATH_LABEL      102
#define IDC_IMP_PATH            103
#define IDC_IMP_BROWSE          104
#define IDC_IMP_STATUS          105
#define IDC_IMP_MAPPING         101
#define IDC_IMP_GROUP_CAPTION   102
#define IDC_IMP_TABLES          101
#define IDC_IMP_SEPARATOR       101
#define IDC_IMP_HEADER          102
#define IDC_IMP_SKIP            103
#define IDC_IMP_COLUMNS         101
#define IDC_IMP_COL_GROUP       102
#define IDC_IMP_COL_LEVEL       103
#define IDC_IMP_COL_ATTR        104
#define IDC_IMP_COL_TYPE        105
#define IDC_IMP_COL_KEY         106
#define IDC_IMP_COL_SIZE_LABEL  107
#define IDC_IMP_COL_SIZE        108
#define IDC_IMP_COL_MIN_LABEL   109
#define IDC_IMP_COL_MIN         110
#define IDC_IMP_COL_MAX_LABEL   111
#define IDC_IMP_COL_MAX         112
#define IDC_IMP_COL_EMPTY_LABEL 113
#define IDC_IMP_COL_EMPTY       114
#define IDC_IMP_COL_STATUS      115
#define IDC_IMP_TARGET_TREE     101
#define IDC_IMP_TARGET_TEXT     102
#define IDC_IMP_AUTHOR_LABEL    103
#define IDC_IMP_AUTHOR          104
#define IDC_IMP_YEAR_LABEL      105
#define IDC_IMP_YEAR            106
#define IDC_IMP_PARENTHESES     107
#define IDC_IMP_LON_LABEL       108
#define IDC_IMP_LON_DEG         109
#define IDC_IMP_LON_MIN         110
#define IDC_IMP_LON_SEC         111
#define IDC_IMP_LAT_LABEL       115
#define IDC_IMP_LAT_DEG         116
#define IDC_IMP_LAT_MIN         117
#define IDC_IMP_LAT_SEC         118

// ---- merging an older database (import_mergedb.rc): log entries of its rows
#define IDS_I_MERGE_NO_TAXON       2800
#define IDS_I_MERGE_NO_LOCALITY    2801
#define IDS_I_MERGE_VIEW_CLOSED    2802
#define IDS_I_MERGE_VALUE_TOO_LONG 2803
#define IDS_I_MERGE_NO_PUBLICATION 2804
#define IDS_I_MERGE_NO_JOURNAL     2805
#define IDS_I_MERGE_ACCESS_FILE    2806  // why the welcome page refuses an Access file as the database

// ---- the data check (dbcheck.rc): its log, its outcomes and the log window CHECKLOGDLG
#define IDC_CHECKLOG_OUTCOME        101
#define IDC_CHECKLOG_TEXT           102
#define IDS_T_CHECK_FILE            2900  // status of the file's integrity check
#define IDS_T_CHECK_SEC_FILE        2901  // section titles of the log
#define IDS_T_CHECK_SEC_SYSTREE     2902
#define IDS_T_CHECK_SEC_LOCTREE     2903
#define IDS_T_CHECK_SEC_SPECIES     2904
#define IDS_T_CHECK_SEC_RENUMBER    2905
#define IDS_T_CHECK_SEC_FEATURES    2906
#define IDS_T_CHECK_SEC_LABELS      2907
#define IDS_T_CHECK_SEC_SYSPATHS    2908
#define IDS_T_CHECK_SEC_LOCPATHS    2909
#define IDS_T_CHECK_SPECIES_NO_ITEM 2910  // findings
#define IDS_T_CHECK_SPECIES_NOT_DATA 2911
#define IDS_T_CHECK_FEATURE_NO_ITEM 2912
#define IDS_T_CHECK_FEATURE_NOT_DATA 2913
#define IDS_T_CHECK_SPECIES_MISSING 2914
#define IDS_T_CHECK_SPECIES_NAME    2915
#define IDS_T_CHECK_SPECIES_PLACE   2916
#define IDS_T_CHECK_FEATURE_MISSING 2917
#define IDS_T_CHECK_FEATURE_LABEL   2918
#define IDS_T_CHECK_RECORD_PATH     2919
#define IDS_T_CHECK_RECORD_NO_TAXON 2920
#define IDS_T_CHECK_RECORD_NO_PLACE 2921
#define IDS_T_CHECK_RECORD_OFF_SYS  2922
#define IDS_T_CHECK_RECORD_OFF_LOC  2923
#define IDS_T_CHECK_NO_PARENT       2924
#define IDS_T_CHECK_CYCLE           2925
#define IDS_T_CHECK_FILE_FINDING    2926
#define IDS_T_CHECK_DELETED         2930  // how a finding ended
#define IDS_T_CHECK_REPAIRED        2931
#define IDS_T_CHECK_ADDED           2932
#define IDS_T_CHECK_WRITE_FAILED    2933
#define IDS_T_CHECK_LEFT            2934
#define IDS_T_CHECK_RECORD_LEFT     2935
#define IDS_T_CHECK_NOT_SAVED       2940
#define IDS_T_CHECK_LOST            2941
#define IDS_T_CHECK_UNLISTED        2942
#define IDS_T_CHECK_TOTALS          2943
#define IDS_T_CHECK_DAMAGED         2950  // outcomes
#define IDS_T_CHECK_UNREPAIRED      2951
#define IDS_T_CHECK_PASS_NOT_SAVED  2952
#define IDS_T_CHECK_FILE_UNREADABLE 2953
