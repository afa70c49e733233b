// Legend items of a map card: one per layer (a shapefile of the map folder, an information layer
// drawn from the program's own data, or a query layer), each with its drawing style and the
// geometry the renderers load, thin and cache.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "core/containers.h"
#include "shapefile/shapefile.h"

struct QueryCriterion;  // a query layer's criterion (the criterion dialog's record)
struct PointGroups;     // the renderers' grouped symbols of a point shape (map/pointgroups.h)

#define LEGEND_TEXT_SIZE 128

// Information layer kinds (InfoType of items without a MapFile).
enum LegendInfoKind
{
    INFO_RECORDS = 0,     // "Zápisy"
    INFO_LITERATURE = 1,  // "Literární záznamy": records that cite literature
    INFO_GRID = 2,        // "Síť"
    INFO_FINE_GRID = 3,   // "Jemná síť"
};

enum LegendStyleType
{
    STYLE_LINE = 0,
    STYLE_AREA = 1,
    STYLE_SYMBOL = 2,
};

enum LegendSymbol
{
    SYMBOL_CIRCLE = 0,
    SYMBOL_SQUARE = 1,
    SYMBOL_STAR = 2,  // a five-pointed star
};

// How a layer is drawn; a plain record of fixed size, copied whole. Sizes in millimetres.
struct LegendStyle
{
    int StyleType;         // LegendStyleType
    bool Border;           // outlines (for lines: the line itself)
    bool Fill;             // fill areas and symbols; for lines and grids a second line
    bool Pattern;          // hatch areas and symbols
    COLORREF BorderColor;
    COLORREF FillColor;
    COLORREF PatternColor;
    double BorderWidth;
    double SymbSize;       // symbol size; for lines and grids the width of the second line
    double PatternSize;    // width of the hatching lines
    double PatternWidth;   // spacing of the hatching lines
    double PatternRotation;  // degrees
    int FillTransp;        // percent, 0 opaque to 100 invisible
    int PatternType;       // 0 hatching, 1 cross-hatching
    int SymbShape;         // LegendSymbol
    double ShapeRotation;  // kept and saved; nothing draws it
    bool FullCell;         // a record on a shown grid fills its whole cell
};

// One loaded shape with its vertex runs thinned for the current scale.
struct LayerShape
{
    SHPObject* Shape;      // owned (a record the file cannot give gets no entry: the item
                           // counts it in NullShapes); a null one is skipped by every drawer
    CPtrArray* Runs;       // owns malloc'd arrays of x, y pairs (ThinPolyline)
    CIntArray* RunCounts;  // vertices of each run
    // The renderers' state: whether the runs (and a polygon's triangles) were made since the
    // item was last marked for rebuilding, and a point shape's grouped symbols.
    int Built;
    PointGroups* Groups;
    // A filled or hatched polygon's triangles (x, y of each corner; malloc'd), made from its
    // runs (TriangleVertices -1 until then), and whether the item's display lists of its
    // layer's fill and outline hold the shape as it is.
    double* Triangles;
    int TriangleVertices;
    int InLayerLists;
};

struct LegendItem
{
    wchar_t MapFile[LEGEND_TEXT_SIZE];  // file name inside the map folder; empty: not a shapefile
    wchar_t Title[LEGEND_TEXT_SIZE];
    int Order;        // list index, 0 at the top
    int ImageIndex;   // style preview in the legend's image list, -1 none
    int ShapeCount;   // shapefile: shapes in the file; record layers: 1 once fetched; grids 0
    int NullShapes;   // shapefile: records read that gave no shape (Shapes holds the others)
    int InfoType;     // LegendInfoKind, or a shapefile's shape type
    double BoundsMin[4];  // shapefile header bounds x, y, z, m (the shapes' when the header's
                          // cannot be right)
    double BoundsMax[4];
    CPtrArray* Shapes;    // LayerShape entries, or null
    UINT ListBase;        // display lists of a line or area layer's fill, outline and joints, 0 none
    LegendStyle Style;
    bool Rebuild;         // geometry to be rebuilt at the next drawing
    QueryCriterion* Query;  // query layers only; freed by the card
    wchar_t* Condition;     // the query's condition text, malloc'd
    int FileOpened;       // the last header read opened the file
    int ListCount;        // display lists in the block at ListBase
};

// Whether the item is a shapefile layer (its InfoType is then a shape type, not a kind).
inline bool IsShapeLayer(const LegendItem* item)
{
    return item && item->MapFile[0] != 0;
}
// Information layer of the given kind (never a shapefile).
inline bool IsInfoLayer(const LegendItem* item, int kind)
{
    return item && !IsShapeLayer(item) && item->InfoType == kind;
}
inline bool IsRecordLayer(const LegendItem* item)
{
    return IsInfoLayer(item, INFO_RECORDS) || IsInfoLayer(item, INFO_LITERATURE);
}

// The default style of a new shapefile layer of a shape type, or of a new information layer.
void DefaultShapeStyle(int shapeType, LegendStyle* style);
void DefaultInfoStyle(int kind, LegendStyle* style);

// Reads the file's header into the item (count, shape type, bounds) and gives it a new empty
// shape list (an earlier one is freed). A header box that cannot be right (inverted, not finite,
// wider than a number holds) gives way to the box of the shapes, read for it. 1 when the file
// opened; otherwise the count, type and bounds stay as they were.
int ReadShapeFileInfo(const wchar_t* folder, const wchar_t* fileName, LegendItem* item);

// New items (zeroed, malloc'd) with their default style and a preview of it added to the image
// list (ImageIndex -1 when none could be made). The caller owns the item.
LegendItem* NewShapeLegendItem(const wchar_t* folder, const wchar_t* fileName, HIMAGELIST images, int width,
                               int height, HDC dc);
LegendItem* NewInfoLegendItem(const wchar_t* title, HIMAGELIST images, int kind, int width, int height, HDC dc);

// Adds a preview of the style to the image list: its index, -1 when none was made.
int AddStylePreview(HIMAGELIST images, const LegendStyle* style, int width, int height, HDC dc);

// The item's preview replaced by one of the style (added when it had none): its index.
int SetStylePreview(HIMAGELIST images, int index, const LegendStyle* style, int width, int height, HDC dc);

void FreeShapeList(CPtrArray* shapes);
// Frees the shapes, the condition and the item. The caller deletes the display lists and the
// query first.
void FreeLegendItem(LegendItem* item);

// A new LayerShape owning the shape, with empty runs.
LayerShape* NewLayerShape(SHPObject* shape);
// Empties a shape's runs and counts.
void ClearRuns(LayerShape* entry);

// Thins count vertices into a new run of view coordinates (y scaled about the centre latitude by
// the y factor): the first and last vertex stay, and a vertex between them stays when it lies
// more than sqrt(3) tolerances from the last one kept; closed repeats the first vertex at the
// end. 0 vertices give no run (*run null); 1 vertex a run of 1 (2 when closed).
int ThinPolyline(int count, double tolerance, double centreLat, double yFactor, const double* x,
                 const double* y, double** run, int closed);

// The records of the displayed list as one multipoint shape: a new list with one entry, or null
// when there are none. Points whose coordinates are not finite are left out. The arrays the
// main window hands out are freed whatever it answers.
CPtrArray* BuildRecordPointsShape(HWND mainWindow, int display, LegendItem* item);

// The union of the header bounds of the shapefile layers whose file opened with at least one
// shape; bounds that are not finite, are inverted or wider than a number holds are left out.
// False when there are none.
bool ShapeLayersExtent(LegendItem* const* items, int count, double* minX, double* minY, double* maxX,
                       double* maxY);

// The legend item of a legend list row (its lParam), null when none.
LegendItem* LegendItemAt(HWND legend, int index);
// Whether the row's check box is on (state image 2).
bool LegendItemChecked(HWND legend, int index);
