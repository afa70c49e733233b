// A named mapping grid: a rectangle of latitude and longitude divided into coarse cells and,
// optionally, fine cells. A plain record, allocated with malloc and copied whole; the main
// program's grid list is a CPtrArray of them that owns its items.
#pragma once
#include <windows.h>
#include <msxml2.h>

class CXmlReader;
class CXmlWriter;

#define GRIDDEF_NAME_SIZE 128

struct GridDef
{
    wchar_t Name[GRIDDEF_NAME_SIZE];  // at most 127 characters are kept
    double LatMin;         // degrees, southern edge
    double LatMax;         // northern edge
    double LatCoarseStep;  // height of a coarse cell
    double LatFineStep;    // height of a fine cell; 0: no fine grid
    double LonMin;         // western edge
    double LonMax;         // eastern edge
    double LonCoarseStep;  // width of a coarse cell
    double LonFineStep;    // width of a fine cell; 0: no fine grid
};

// Adds the element "Grid<n>" under parent with the grid's name and its eight values (the coarse
// steps under their stored names "LatCoarseSetp" and "LonCoarseSetp"). Nothing when the element
// cannot be made.
void WriteGridElement(CXmlWriter* writer, IXMLDOMElement* parent, const GridDef* grid, int n);
// Reads a grid element (whatever its tag); each attribute present replaces its field.
void ReadGridElement(CXmlReader* reader, IXMLDOMElement* element, GridDef* grid);

// Moves a point of the map view (y already scaled about centreLat by yFactor) to the centre of
// its coarse or fine cell and gives the cell's corners (x0, y0, x1, y1, in view units) when cell
// is not null. The result is the symbol size for the cell: 0.8 of the smaller step, or 0 when the
// grid has no such cells (the point is then left as it was). The grid's maxima do not limit it.
double SnapToGridCell(const GridDef* grid, double centreLat, double yFactor, double* x, double* y, int fine,
                      double* cell);

// The parts of that rule: the cell size with the steps of the level (0 without such cells), the
// column and row of a point, and the centre (and corners) of a column and row.
double GridCellSize(const GridDef* grid, int fine, double* sx, double* sy);
void GridCellOf(const GridDef* grid, double sx, double sy, double centreLat, double yFactor, double x, double y,
                double* column, double* row);
void GridCellPlace(const GridDef* grid, double sx, double sy, double centreLat, double yFactor, double column,
                   double row, double* x, double* y, double* cell);

// The number of whole steps from lo to hi, counting one that falls a rounding error short
// (48.0 to 51.3 by 0.1 is 33, not 32); 0 for a step of 0, and at most limit + 1 when there are
// more than limit.
long long GridStepCount(double lo, double hi, double step, long long limit);

// The value the grid editor shows for a stored one: a value of four decimals (as grid files were
// written before they kept values whole) that lies within that rounding of a whole second is
// that second (0.1667 is 10' 0", not 10' 0.12"); any other value is itself.
double GridValueShown(double degrees);

// The grid definition file: the XML declaration, the comment "Zorna Grid Definition" and the
// root GridDef holding one Grid element. Writing gives 0 with the system's error code in *error
// when the file cannot be written. Reading: 1 read, 0 not a grid file (of another kind, or
// unreadable), -1 a grid file without a Grid element; the grid is cleared before it is read. With
// 0, *refusal (when given) says whether the file was refused unparsed (GetXmlFileKind).
int WriteGridDefFile(const wchar_t* path, const GridDef* grid, DWORD* error);
int ReadGridDefFile(const wchar_t* path, GridDef* grid, int* refusal = nullptr);
