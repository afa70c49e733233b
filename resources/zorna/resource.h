// Resource identifiers of the main program.
//
// Named resources (loaded by name, not by number): dialogs MAINFORM, SPLASHDLG, ABOUTBOX,
// RENAMEMAPDLG, CONFGENPAGE, CONFCUSTFLDSPAGE, CONFSYSTPAGE, CONFLOCPAGE, CONFSAERCHPAGE,
// CONFLITPAGE; menus MAINMENU, VIEWMENU, MAPMENU, SRCHMENU; icon MAINICON; bitmap BMP_ABOUT;
// RCDATA PNG_SPLASH; cursors CUR_ZOOMIN, CUR_ZOOMOUT, CUR_PAN and CUR_DRAG (the tree drag
// cursor, used where the common controls' cursor 135 cannot be loaded).
#pragma once

// ---- numbered resources
#define IDR_ACCELERATORS       1    // accelerator table
#define IDR_VERSION            1    // VERSIONINFO, read by the About box

// Icons: 1 exit (main toolbar, 16 x 16), 2-7 the record toolbar (32 x 32), 14-18 map tools (16 x 16).
#define IDI_EXIT               1
#define IDI_NEWRECORD          2
#define IDI_EDITRECORD         3
#define IDI_DELETERECORDS      4
#define IDI_EXPORTRECORDS      5
#define IDI_PRINTRECORDS       6
#define IDI_HELP               7
#define IDI_ZOOMIN             14
#define IDI_ZOOMOUT            15
#define IDI_SHOWALL            16
#define IDI_PAN                17
#define IDI_ADDQUERY           18

// 26 x 26 image strips with a magenta mask.
#define IDB_STRIP1             1
#define IDB_STRIP2             2

// ---- commands (menus, accelerators, toolbars)
#define IDM_OPENTEMPLATE       101
#define IDM_SAVETEMPLATE       102
#define IDM_SAVETEMPLATEAS     103
#define IDM_NEWTEMPLATE        104
#define IDM_PAGESETUP          105
#define IDM_PRINT              106
#define IDM_CONFIGURATION      107
#define IDM_EXIT               108
#define IDM_OPENDB             201
#define IDM_CLOSEDB            203
#define IDM_NEWITEM            301
#define IDM_RENAMEITEM         302
#define IDM_DELETEITEM         303
#define IDM_ITEMPROPERTIES     304
#define IDM_TERMS              305
#define IDM_SEARCH             306
#define IDM_GOTOSYSCARD        308
#define IDM_GOTOLOCCARD        309
#define IDM_LARGEICONS         401
#define IDM_SMALLICONS         402
#define IDM_LIST               403
#define IDM_DETAILS            404
#define IDM_ZOOMIN             405
#define IDM_ZOOMOUT            406
#define IDM_PAN                407
#define IDM_SHOWALL            408
#define IDM_LITLISTS1          501
#define IDM_LITLISTS2          502
#define IDM_LITLISTS3          503
#define IDM_NEWMAP             601
#define IDM_CLOSEMAP           602
#define IDM_RENAMEMAP          603
#define IDM_LOADGRAPHICS       604
#define IDM_COORDSYSTEMS       605
#define IDM_GRIDS              606
#define IDM_ADDQUERY           607
#define IDM_HOMEPAGE           901
#define IDM_HELPCONTENTS       902
#define IDM_ABOUT              906
#define IDM_NEWRECORD          2001
#define IDM_EDITRECORD         2002
#define IDM_DELETERECORDS      2003
#define IDM_EXPORTRECORDS      2004
#define IDM_TBPRINT            2005
#define IDM_TBHELP             2006

// ---- controls of MAINFORM
#define IDC_MAINTOOLBAR        1000
#define IDC_STATUSBAR          1001
#define IDC_TABS               1002
#define IDC_RECORDTOOLBAR      1003

// ---- controls of SPLASHDLG
#define IDC_SPLASH_PICTURE     101
#define IDC_SPLASH_TEXT        102
#define IDC_SPLASH_PROGRESS    103

// ---- controls of ABOUTBOX: shared with the utilities program
#include "resources/aboutbox_ids.h"

// ---- controls of RENAMEMAPDLG
#define IDC_RENAME_LABEL       101
#define IDC_RENAME_EDIT        102

// ---- controls of the configuration pages
#define IDC_GEN_FONTLABEL      101
#define IDC_GEN_FONTSAMPLE     102
#define IDC_GEN_CHANGEFONT     103
#define IDC_GEN_CAPTIONLABEL   104
#define IDC_GEN_CAPTION        105
#define IDC_CUST_LIST          100
#define IDC_CUST_NAMELABEL     101
#define IDC_CUST_NAME          102
#define IDC_CUST_FIELDSLABEL   103
#define IDC_CUST_FIELDS        104
#define IDC_CUST_CHOOSEFIELDS  105
#define IDC_CUST_MASKLABEL     106
#define IDC_CUST_MASK          107
#define IDC_CUST_FORSEARCH     108
#define IDC_CUST_FOREDIT       109
#define IDC_CUST_ADD           110
#define IDC_CUST_EDIT          111
#define IDC_CUST_APPLY         112
#define IDC_CUST_CANCEL        113
#define IDC_CUST_ALIGNGROUP    114
#define IDC_CUST_ALIGNLEFT     115
#define IDC_CUST_ALIGNCENTER   116
#define IDC_CUST_ALIGNRIGHT    117
#define IDC_LIST_HEADERLABEL   101   // systematic and locality pages
#define IDC_LIST_HEADER        102
#define IDC_LIST_DATALABEL     103
#define IDC_LIST_DATA          104
#define IDC_LIST_ONLYLABEL     101   // search and literature pages
#define IDC_LIST_ONLY          102

// ---- string table
#define IDS_TAB_SYSTEM         102
#define IDS_TAB_LOCALITIES     103
#define IDS_TAB_SEARCH         104
#define IDS_RECORD_TB_TEXTS    105   // "\&Zápis\...\\": separator first, doubled at the end
#define IDS_NEW_TREE_ITEM      112
#define IDS_TAB_LITERATURE     113
#define IDS_TOOLTIP_MAIN       200   // + button index in the main toolbar
#define IDS_TOOLTIP_RECORD     230   // + button index in the record toolbar
#define IDS_COL_NAME           300
#define IDS_CONFIG_CAPTION     301
#define IDS_COL_ORIGINALNAME   302
#define IDS_COL_LABEL          304
#define IDS_NEW_COLUMN_NAME    305
#define IDS_TAB_ATTRIBUTES     306
#define IDS_AUTHOR             307
#define IDS_VALUES             308
#define IDS_DELIM_TAB          309
#define IDS_DELIM_SPACE        310
#define IDS_ENC_ANSI           311
#define IDS_ENC_UNICODE        312
#define IDS_OK                 313
#define IDS_SELECTION          314
#define IDS_NEW_SYS_ITEM       315
#define IDS_NEW_LOC_ITEM       316
#define IDS_EDIT_SYS_ITEM      317
#define IDS_EDIT_LOC_ITEM      318
#define IDS_PROPERTIES         322
#define IDS_NEW_RECORD         326
#define IDS_EDIT_RECORD        327
#define IDS_LIT_CAPTION_FIRST  330   // 330-333 captions of the literature number fields
#define IDS_ABSTRACT           334
#define IDS_AUTHORS            335
#define IDS_KEYWORDS           336
#define IDS_AVAILABLE          337
#define IDS_TAB_PUBLISHERS     338
#define IDS_TAB_PERIODICALS    339
#define IDS_NEW_MAP            341
#define IDS_COORD_SYSTEMS      342
#define IDS_GRIDS              343
#define IDS_BROWSE_SHAPEFILE   344
#define IDS_VIEW_MENU          346
#define IDS_NEW_GRID           348
#define IDS_EDIT_GRID          350
#define IDS_QUERY              351
#define IDS_OP_FIRST           360   // 360-365 criterion operators
#define IDS_YES                370
#define IDS_NO                 371
#define IDS_ERROR_CAPTION      500
#define IDS_DB_OPEN_FAILED     501
#define IDS_DB_READ_ONLY       1262  // the database file is read-only ("%s": the file)
#define IDS_EMPTY_LABEL        502
#define IDS_EMPTY_COLUMN_NAME  503
#define IDS_BAD_COLUMN_NAME    504
#define IDS_COLUMN_EXISTS      505
#define IDS_UNKNOWN_FIELDS     506
#define IDS_BAD_MASK_PARAMS    507
#define IDS_EMPTY_MASK         508
#define IDS_SHEET_EXISTS       509
#define IDS_SHEET_SPACES       510
#define IDS_INVALID_VALUE      511
#define IDS_VALUE_REQUIRED     512
#define IDS_ALREADY_RUNNING    513
#define IDS_NOT_WORKSPACE_FILE 517
#define IDS_NOT_GRID_FILE      518
#define IDS_WORKSPACE_KEPT     1273  // the workspace file was not read and is kept ("%s": why, the kept file, the file)
#define IDS_WORKSPACE_NOT_KEPT 1274  // ... and could not be kept ("%s": why, the name it was to get)
#define IDS_SCHEMA_FAILED      519
#define IDS_MASK_NO_NUMBER     530   // a '#' of a custom column's mask without a number: its place
#define IDS_MASK_NO_FIELDS     531   // a reference of the mask while no column is chosen
#define IDS_MASK_BEYOND_FIELDS 532   // a reference past the chosen columns: it, their count
#define IDS_VALUE_RANGE        540
#define IDS_VALUE_MIN          541
#define IDS_VALUE_MAX          542
#define IDS_ALTITUDE_RANGE     543
#define IDS_COUNT_CAPTION      544
#define IDS_BAD_PICTURE        545
#define IDS_WARNING_CAPTION    600
#define IDS_NO_CRITERIA        601
#define IDS_CONFIRM_CAPTION    700
#define IDS_DELETE_CUSTOM_COL  701
#define IDS_DELETE_TREE_ITEM   702
#define IDS_DELETE_ITEMS_1     703
#define IDS_DELETE_ITEMS_2_4   704
#define IDS_DELETE_ITEMS_5     705
#define IDS_DELETE_RECORDS_1   706
#define IDS_DELETE_RECORDS_2_4 707
#define IDS_DELETE_RECORDS_5   708
#define IDS_CANCEL_EXPORT      709
#define IDS_FILTER_XML         800
#define IDS_FILTER_EXPORT      801
#define IDS_RECORDS_EXPORTED   802
#define IDS_EXPORT_DONE        803
#define IDS_FILTER_ICONS       804
#define IDS_PICTURE_COUNTER    805
#define IDS_FILTER_PICTURES    806
#define IDS_TERMS_TABLE_FIRST  807   // 807-812 tables of the lookup values editor
#define IDS_FILTER_MAPEXPORT   813
#define IDS_FILTER_RTF         814
#define IDS_REPORT_HEADING     830
#define IDS_REPORT_SPECIES     831
#define IDS_REPORT_LOCALITY    832
#define IDS_REPORT_CRITERIA    833
#define IDS_OPENING_DB         836
#define IDS_SYMBOL_FIRST       901   // 901-903 symbol shapes
#define IDS_STYLETYPE_FIRST    921   // 921-923 legend style kinds
#define IDS_UNIT_MM            951
#define IDS_UNIT_PT            952
#define IDS_LAYER_FIRST        970   // 970-973 information layers of a map
#define IDS_PATTERN_FIRST      991   // 991-992 pattern kinds
#define IDS_COORDSYS_FIRST     1001  // 1001-1002 coordinate systems
#define IDS_CREDITS            1103

// ---- each area's own identifiers
#include "resources/zorna/treeedit.h"
#include "resources/zorna/records.h"
#include "resources/zorna/search.h"
#include "resources/zorna/literature.h"
#include "resources/zorna/commands.h"
#include "resources/zorna/export.h"
#include "resources/zorna/print.h"
#include "resources/zorna/map.h"
#include "resources/zorna/czechorder.h"
