#include "map/mapprint.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/msgbox.h"
#include "map/glbitmap.h"
#include "map/glrender.h"
#include "map/mapexport.h"
#include "map/mappicture.h"
#include "map/mapunits.h"
#include "map/mapwnd.h"
#include "resources/zorna/resource.h"

namespace {

MapPrintDialogFn g_printDialog = nullptr;
std::wstring g_output;

BOOL ShowPrintDialog(PRINTDLGW* pd)
{
    return g_printDialog ? g_printDialog(pd) : PrintDlgW(pd);
}

// Replaces a handle of the page set-up by the one a dialog returned, freeing the old one.
void Replace(HGLOBAL* kept, HGLOBAL returned)
{
    if (returned == *kept)
        return;
    if (*kept)
        GlobalFree(*kept);
    *kept = returned;
}

// The page set-up's first use: the default printer's paper and margins, in thousandths of an
// inch like the print form's.
bool FetchDefaultPageSetup(PAGESETUPDLGW* psd)
{
    if (psd->Flags != PSD_RETURNDEFAULT)
        return true;
    PAGESETUPDLGW fetch = *psd;
    fetch.lStructSize = sizeof(PAGESETUPDLGW);
    fetch.hDevMode = fetch.hDevNames = nullptr;
    fetch.Flags = PSD_RETURNDEFAULT | PSD_INTHOUSANDTHSOFINCHES;
    if (!PageSetupDlgW(&fetch))
        return false;
    Replace(&psd->hDevMode, fetch.hDevMode);
    Replace(&psd->hDevNames, fetch.hDevNames);
    psd->ptPaperSize = fetch.ptPaperSize;
    psd->rtMinMargin = fetch.rtMinMargin;
    psd->rtMargin = fetch.rtMargin;
    psd->Flags = PSD_MARGINS | PSD_INTHOUSANDTHSOFINCHES;
    return true;
}

std::wstring PrinterName(HGLOBAL devNames)
{
    std::wstring name;
    DEVNAMES* names = devNames ? (DEVNAMES*)GlobalLock(devNames) : nullptr;
    if (names) {
        name = (const wchar_t*)names + names->wDeviceOffset;
        GlobalUnlock(devNames);
    }
    return name;
}

}  // namespace

MapPrintDialogFn SetMapPrintDialog(MapPrintDialogFn dialog)
{
    MapPrintDialogFn old = g_printDialog;
    g_printDialog = dialog;
    return old;
}

void SetMapPrintOutput(const wchar_t* path)
{
    g_output = path ? path : L"";
}

RECT PrintableArea(const PAGESETUPDLGW* psd)
{
    return {psd->rtMargin.left, psd->rtMargin.top, psd->ptPaperSize.x - psd->rtMargin.right,
            psd->ptPaperSize.y - psd->rtMargin.bottom};
}

RECT PrintableDots(const RECT& a, bool hundredthsOfMm, int dpiX, int dpiY)
{
    const double per = hundredthsOfMm ? 100.0 * kMapMmPerInch : 1000.0;  // units per inch
    return {TruncToInt32(dpiX * a.left / per), TruncToInt32(dpiY * a.top / per), TruncToInt32(dpiX * a.right / per),
            TruncToInt32(dpiY * a.bottom / per)};
}

bool RenderMapToPrinter(CZMapWnd* map, HDC printer, const RECT& area, bool hundredthsOfMm, DWORD* error)
{
    *error = 0;
    const int dpiX = GetDeviceCaps(printer, LOGPIXELSX), dpiY = GetDeviceCaps(printer, LOGPIXELSY);
    MapPicture picture;
    if (dpiX <= 0 || dpiY <= 0 || !MapPictureOf(map, dpiX, dpiY, &picture)) {
        *error = ERROR_INVALID_DATA;
        return false;
    }
    // The margins count from the paper's edge, the printer's dots from its printable area.
    RECT dots = PrintableDots(area, hundredthsOfMm, dpiX, dpiY);
    const int offsetX = std::max(0, GetDeviceCaps(printer, PHYSICALOFFSETX));
    const int offsetY = std::max(0, GetDeviceCaps(printer, PHYSICALOFFSETY));
    OffsetRect(&dots, -offsetX, -offsetY);
    dots.left = std::max(0, (int)dots.left);
    dots.top = std::max(0, (int)dots.top);
    const int horz = GetDeviceCaps(printer, HORZRES), vert = GetDeviceCaps(printer, VERTRES);
    if (horz > 0 && dots.right > horz)
        dots.right = horz;
    if (vert > 0 && dots.bottom > vert)
        dots.bottom = vert;
    // Only what fits the printable area, from the map's left top corner.
    const int w = (int)std::min({std::floor(picture.Width), (double)dots.right - dots.left, (double)kMaxGlBitmapSide});
    const int h = (int)std::min({std::floor(picture.Height), (double)dots.bottom - dots.top, (double)kMaxGlBitmapSide});
    if (w < 1 || h < 1) {
        *error = ERROR_INVALID_DATA;
        return false;
    }
    GlBitmap target;
    if (!target.Create(nullptr, w, h)) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    {
        OffscreenLayers layers(map->LegendList());  // the view's display lists stay the view's
        MapRenderContext ctx;
        FillPictureRenderContext(map, picture, target.Dc(), w, h, &ctx);
        RenderLegendGl(&ctx, 0);
        layers.End();
    }
    const void* pixels = target.Pixels();  // the DIB section's, alive with the bitmap
    HBITMAP bitmap = target.Detach();
    BITMAPINFO* info = MakeBitmapInfo(bitmap);
    bool printed = false;
    if (!info) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
    } else {
        // The whole bitmap, every row: it is exactly the part that fits.
        printed = SetDIBitsToDevice(printer, dots.left, dots.top, w, h, 0, 0, 0, h, pixels, info,
                                    DIB_RGB_COLORS) > 0;
        if (!printed)
            *error = GetLastError() ? GetLastError() : ERROR_PRINTER_NOT_FOUND;
        free(info);
    }
    DeleteObject(bitmap);
    return printed;
}

int CZMapWnd::Print(HWND owner, PAGESETUPDLGW* psd)
{
    if (!psd)
        return 0;
    if (!HasExtent) {
        ZorMessageBoxRes(owner, Instance, IDS_MAPPICTURE_EMPTY, IDS_ERROR_CAPTION, MB_OK | MB_ICONERROR);
        return 0;
    }
    if (!FetchDefaultPageSetup(psd)) {
        ZorMessageBoxRes(owner, Instance, IDS_MAPPRINT_NO_PRINTER, IDS_ERROR_CAPTION, MB_OK | MB_ICONERROR);
        return 0;
    }
    PRINTDLGW pd = {};
    pd.lStructSize = sizeof(pd);
    pd.hwndOwner = owner;
    pd.hDevMode = psd->hDevMode;
    pd.hDevNames = psd->hDevNames;
    pd.Flags = PD_RETURNDC | PD_NOSELECTION | PD_NOPAGENUMS;
    pd.nFromPage = pd.nToPage = pd.nMinPage = pd.nMaxPage = 1;
    pd.nCopies = 1;
    const BOOL chosen = ShowPrintDialog(&pd);
    // The dialog owned the handles while it ran: keep what it returned.
    psd->hDevMode = pd.hDevMode;
    psd->hDevNames = pd.hDevNames;
    if (!chosen || !pd.hDC) {
        if (CommDlgExtendedError() == PDERR_NODEFAULTPRN)
            ZorMessageBoxRes(owner, Instance, IDS_MAPPRINT_NO_PRINTER, IDS_ERROR_CAPTION, MB_OK | MB_ICONERROR);
        if (pd.hDC)
            DeleteDC(pd.hDC);
        return 0;
    }
    const RECT area = PrintableArea(psd);
    DOCINFOW doc = {};
    doc.cbSize = sizeof(doc);
    doc.lpszDocName = L"ZornaPrint";
    doc.lpszOutput = g_output.empty() ? nullptr : g_output.c_str();
    DWORD error = 0;
    bool printed = false;
    if (StartDocW(pd.hDC, &doc) <= 0) {
        error = GetLastError();
    } else if (StartPage(pd.hDC) <= 0) {
        error = GetLastError();
        AbortDoc(pd.hDC);
    } else if (!RenderMapToPrinter(this, pd.hDC, area, (psd->Flags & PSD_INHUNDREDTHSOFMILLIMETERS) != 0, &error)) {
        AbortDoc(pd.hDC);  // nothing half-drawn reaches the printer
    } else {
        printed = EndPage(pd.hDC) > 0 && EndDoc(pd.hDC) > 0;
        if (!printed)
            error = GetLastError();
    }
    DeleteDC(pd.hDC);
    if (!printed)
        ShowFileError(owner, Instance, IDS_MAPPRINT_FAILED, PrinterName(psd->hDevNames).c_str(),
                      error ? error : ERROR_PRINT_CANCELLED);
    return printed ? 1 : 0;
}
