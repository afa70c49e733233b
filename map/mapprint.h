// Printing a map card's map: the whole extent at the map's scale, drawn with OpenGL at the
// printer's resolution onto one page at the page set-up's margins. A map larger than the page at
// its scale is not cut without a word: before printing the user is told so and chooses to print
// it smaller, fitted to the page, to print only the part that fits (the map keeps its north and
// its left edge; what lies beyond the right and bottom margins is cut), or not to print. The
// bitmap never outgrows the page. The page set-up is the one the print form keeps, in
// thousandths of an inch; the print dialog and the output file go through the program-wide
// printing seams (common/printing.h).
#pragma once
#include <windows.h>
#include <commdlg.h>

class CZMapWnd;

// Printable rectangle of a page set-up in its own units: the paper less the margins.
RECT PrintableArea(const PAGESETUPDLGW* psd);
// That rectangle in printer dots (hundredths of a millimetre, or thousandths of an inch).
RECT PrintableDots(const RECT& area, bool hundredthsOfMm, int dpiX, int dpiY);

// The map on a page: the printable rectangle in the printer's dots, the whole map's size in dots
// at its scale, and the scale at which it fits the rectangle whole (a whole number, the map's own
// when it fits). False when the map has no extent or the printer no resolution.
struct MapPagePlacement
{
    RECT Dots;
    double Width, Height;
    bool Fits;
    double FitScale;
};
bool PlaceMapOnPage(const CZMapWnd* map, HDC printer, const RECT& area, bool hundredthsOfMm, MapPagePlacement* place);

// Draws the map at the scale onto the page at the printable rectangle (page set-up units): what
// fits of it from its left top corner. False (error in *error) when the map cannot be drawn: no
// extent, no room, or no bitmap or context.
bool RenderMapToPrinter(CZMapWnd* map, HDC printer, const RECT& area, bool hundredthsOfMm, double scale, DWORD* error);
