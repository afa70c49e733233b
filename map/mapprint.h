// Printing a map card's map: the whole extent at the map's scale, drawn with OpenGL at the
// printer's resolution onto one page at the page set-up's margins. Only the part that fits the
// printable area is drawn (the map keeps its north and its left edge; what lies beyond the right
// and bottom margins is cut), so the bitmap never outgrows the page. The page set-up is the one
// the print form keeps, in thousandths of an inch; the print dialog and the output file go
// through the program-wide printing seams (common/printing.h).
#pragma once
#include <windows.h>
#include <commdlg.h>

class CZMapWnd;

// Printable rectangle of a page set-up in its own units: the paper less the margins.
RECT PrintableArea(const PAGESETUPDLGW* psd);
// That rectangle in printer dots (hundredths of a millimetre, or thousandths of an inch).
RECT PrintableDots(const RECT& area, bool hundredthsOfMm, int dpiX, int dpiY);

// Draws the map onto the page at the printable rectangle (page set-up units). False (error in
// *error) when the map cannot be drawn: no extent, no room, or no bitmap or context.
bool RenderMapToPrinter(CZMapWnd* map, HDC printer, const RECT& area, bool hundredthsOfMm, DWORD* error);
