// Resource identifiers of the main program: see map.rc.
#pragma once

// ---- the map card MAPCARD
#define IDC_MAPCARD_DISPLAYGROUP 101  // "Zobrazení: "
#define IDC_MAPCARD_SPECIES    102  // "Karta druhu": the records of the species card
#define IDC_MAPCARD_SELECTION  103  // "Výběr": the records of the selection
#define IDC_MAPCARD_SCALEGROUP 104  // "Měřítko: "
#define IDC_MAPCARD_SCALEPREFIX 105 // "1 : "
#define IDC_MAPCARD_SCALE      106  // the scale denominator
#define IDC_MAPCARD_COORDLABEL 107
#define IDC_MAPCARD_COORDSYS   108  // the coordinate systems (strings 1001, 1002)
#define IDC_MAPCARD_GRIDLABEL  109
#define IDC_MAPCARD_GRIDS      110  // the grid combo (item data: GridDef)
#define IDC_MAPCARD_LEGENDLABEL 111
#define IDC_MAPCARD_LEGEND     112  // the legend list view (lParam: LegendItem)
#define IDC_MAPCARD_SPLITTER   113

// ---- the legend's menu LEGENDMENU
#define IDM_LEGEND_STYLE       701  // "&Definovat styl"
#define IDM_LEGEND_PROPERTIES  702  // "&Vlastnosti" (query layers)
#define IDM_LEGEND_DELETE      703  // "&Smazat" (query layers)

// ---- the legend style dialog EDITLEGENDSTYLE
#define IDC_STYLE_TYPELABEL    101
#define IDC_STYLE_TYPE         102  // the style's kind in bold
#define IDC_STYLE_UNITLABEL    103
#define IDC_STYLE_UNITS        104  // "mm", "pt"
#define IDC_STYLE_BORDER       105  // "Použít hranici"
#define IDC_STYLE_BORDERGROUP  106  // 106-111: the border
#define IDC_STYLE_BORDERSWATCH 107
#define IDC_STYLE_BORDERCOLOR  108
#define IDC_STYLE_BORDERWIDTH  110
#define IDC_STYLE_BORDERLAST   111
#define IDC_STYLE_FILL         112  // "Použít výplň"
#define IDC_STYLE_FILLGROUP    113  // 113-118: the fill
#define IDC_STYLE_FILLSWATCH   114
#define IDC_STYLE_FILLCOLOR    115
#define IDC_STYLE_TRANSPARENCY 117
#define IDC_STYLE_FILLLAST     118
#define IDC_STYLE_SYMBOLGROUP  119
#define IDC_STYLE_SYMBOL       120  // strings 901-903
#define IDC_STYLE_SIZELABEL    121  // 121-123: the size
#define IDC_STYLE_SIZE         122
#define IDC_STYLE_SIZEUNIT     123
#define IDC_STYLE_PATTERN      124  // "Použít vzorek"
#define IDC_STYLE_PATTERNGROUP 125  // 125-138: the pattern
#define IDC_STYLE_PATTERNSWATCH 126
#define IDC_STYLE_PATTERNCOLOR 127
#define IDC_STYLE_PATTERNTYPE  129  // strings 991, 992
#define IDC_STYLE_PATTERNSIZE  131
#define IDC_STYLE_PATTERNWIDTH 134
#define IDC_STYLE_PATTERNANGLE 137
#define IDC_STYLE_PATTERNLAST  138
#define IDC_STYLE_FULLCELL     139  // "Vyplnit celé políčko sítě"
#define IDC_STYLE_PREVIEWGROUP 140
#define IDC_STYLE_PREVIEW      141

// ---- the list manager MNGLISTDLG
#define IDC_MNGLIST_LIST       101
#define IDC_MNGLIST_NEW        102
#define IDC_MNGLIST_EDIT       103
#define IDC_MNGLIST_DELETE     104

// ---- the export resolution EXPBMPDLG
#define IDC_EXPBMP_DPI         101

// ---- grid editor EDITGRIDDLG: the name, then eight degree-minute-second triples in GridDef
// order (latitude minimum, maximum, coarse and fine step; longitude the same)
#define IDC_GRID_NAME          101
#define IDC_GRID_FIRST_VALUE   102
#define IDC_GRID_SAVE          126
#define IDC_GRID_LOAD          127

// ---- strings
#define IDS_GRID_NOT_SAVED     1185

// ---- strings of the map on paper and in files (printing, the picture export)
#define IDS_MAPPICTURE_SIZE        1290  // "%.0f x %.0f" the size, "%d" the limit
#define IDS_MAPPICTURE_NOT_WRITTEN 1291  // "%s" the file, "%s" the reason
#define IDS_MAPPICTURE_NO_BITMAP   1292
#define IDS_MAPPICTURE_EMPTY       1293
#define IDS_MAPPRINT_FAILED        1294  // "%s" the printer, "%s" the reason
#define IDS_MAPPRINT_NO_PRINTER    1295
#define IDS_MAPPRINT_TOO_LARGE     1296  // the scale, the map's and the page's sizes, the fitted scale
#define IDS_MAPPRINT_CAPTION       1297
#define IDS_QUERY_RANGE_REVERSED   1298  // the column, the lower and the upper value
#define IDS_MAP_NAME_EMPTY         1299
#define IDS_MAP_NAME_TAKEN         1300  // the name
#define IDS_MAP_DBF_DAMAGED        1301  // the tables
#define IDS_MAP_DBF_DAMAGED_ONE    1302  // the table, when there is one
