// Resource identifiers of the main program: see map.rc.
#pragma once

// ---- controls of the map card that the map view reads (MAPCARD)
#define IDC_MAPCARD_SCALE      106  // the scale denominator
#define IDC_MAPCARD_GRIDS      110  // the grid combo (item data: GridDef)
#define IDC_MAPCARD_LEGEND     112  // the legend list view (lParam: LegendItem)

// ---- grid editor EDITGRIDDLG: the name, then eight degree-minute-second triples in GridDef
// order (latitude minimum, maximum, coarse and fine step; longitude the same)
#define IDC_GRID_NAME          101
#define IDC_GRID_FIRST_VALUE   102
#define IDC_GRID_SAVE          126
#define IDC_GRID_LOAD          127

// ---- strings
#define IDS_GRID_NOT_SAVED     1185
