// A map's settings in the workspace file: the element "Map<n>" with the map's name, splitter,
// coordinate system, grid, display, export resolution, folder, scale and corner, and its legend
// ("Legend" with one "LegInfo<n>" per row: the layer, its title, whether it is shown, its style
// and, for a query layer, its criterion). The card writes and reads them through these functions;
// the default workspace of a fresh installation is written with the same ones.
#pragma once
#include <windows.h>
#include <msxml2.h>

#include <vector>

class CXmlReader;
class CXmlWriter;
struct LegendItem;

// The attributes of a map element.
struct MapElementValues
{
    const wchar_t* Name;
    int SplitWidth;
    int CoordSys;
    int Grid;
    int Display;
    int DPI;
    const wchar_t* MapPath;  // the legend, scale and corner are written only with a folder
    bool HasView;            // MapScale, XCorner and YCorner written (else the map is fitted when shown)
    double MapScale;
    double XCorner;
    double YCorner;
};

struct LegendEntry
{
    const LegendItem* Item;
    bool Displayed;  // the row's check box
};

// Adds "Map<index>" under the parent with the values and, with a folder, the legend; nothing
// when the element cannot be added.
void WriteMapElement(CXmlWriter* writer, IXMLDOMElement* parent, int index, const MapElementValues& values,
                     const std::vector<LegendEntry>& legend);

// Adds one "LegInfo<Order>" under the legend element.
void SaveLegendItem(CXmlWriter* writer, IXMLDOMElement* legend, const LegendItem* item, bool displayed);

// A new legend item from a "LegInfo" element (zeroed, with the defaults of its kind replaced by
// the attributes present; a query layer gets its criterion, but no condition yet); null when no
// item could be made. *displayed tells whether its check box was on.
LegendItem* ReadLegendItem(CXmlReader* reader, IXMLDOMElement* element, bool* displayed);
