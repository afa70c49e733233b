// What every map drawer (OpenGL, GDI, PostScript) does alike before drawing a layer: read the
// shapes a shapefile layer does not hold yet, and thin a shape's parts into vertex runs for the
// drawing's resolution.
#pragma once
#include "map/legend.h"

// Reads the records the item has not read yet from <folder>\<MapFile>: every shape the file
// gives is added; a record it cannot give (damaged, or naming bytes another shape holds) is only
// counted in NullShapes. A file that does not open adds nothing.
void LoadItemShapes(LegendItem* item, const wchar_t* folder);

// Whether a shapefile layer has records not read yet.
bool ShapesToLoad(const LegendItem* item);

// The shape's parts thinned to the resolution (y scaled about centreLat by yFactor), as runs;
// closed rings for polygons. Marks the entry built.
void BuildShapeRuns(LayerShape* entry, double unitsPerPixel, double centreLat, double yFactor, int closed);

// A grid layer (coarse or fine).
bool IsGridItem(const LegendItem* item);

// Gives a layer of the main window's records its points when it holds none yet (a records layer
// under its own condition, a literature layer under the list's filter) and reads a shapefile
// layer's missing shapes. Whether the item then holds shapes (grid layers hold none).
bool EnsureItemShapes(LegendItem* item, HWND mainWindow, int display, const wchar_t* folder);
