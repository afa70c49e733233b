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
