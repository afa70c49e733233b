#include "map/mapprint.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/printing.h"
#include "core/msgbox.h"
#include "core/msgboxtext.h"
#include "core/textutil.h"
#include "map/glbitmap.h"
#include "map/glrender.h"
#include "map/mapexport.h"
#include "map/mappicture.h"
#include "map/mapunits.h"
#include "map/mapwnd.h"
#include "resources/zorna/resource.h"

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

bool PlaceMapOnPage(const CZMapWnd* map, HDC printer, const RECT& area, bool hundredthsOfMm, MapPagePlacement* place)
{
    const int dpiX = GetDeviceCaps(printer, LOGPIXELSX), dpiY = GetDeviceCaps(printer, LOGPIXELSY);
    MapPicture picture;
    if (!map || dpiX <= 0 || dpiY <= 0 || !MapPictureOf(map, dpiX, dpiY, &picture))
        return false;
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
    place->Dots = dots;
    place->Width = picture.Width;
    place->Height = picture.Height;
    const double roomX = std::min((double)dots.right - dots.left, (double)kMaxGlBitmapSide);
    const double roomY = std::min((double)dots.bottom - dots.top, (double)kMaxGlBitmapSide);
    const double over = std::max(std::floor(picture.Width) / roomX, std::floor(picture.Height) / roomY);
    place->Fits = over <= 1;
    place->FitScale = place->Fits ? map->MapScale : std::ceil(map->MapScale * over);
    return std::isfinite(place->FitScale);
}

bool RenderMapToPrinter(CZMapWnd* map, HDC printer, const RECT& area, bool hundredthsOfMm, double scale, DWORD* error)
{
    *error = 0;
    const int dpiX = GetDeviceCaps(printer, LOGPIXELSX), dpiY = GetDeviceCaps(printer, LOGPIXELSY);
    MapPicture picture;
    MapPagePlacement place;
    if (!PlaceMapOnPage(map, printer, area, hundredthsOfMm, &place) ||
        !MapPictureOfExtent(map->MinX, map->MinY, map->MaxX, map->MaxY, map->YFactor, scale, map->CoordSys, dpiX, dpiY,
                            &picture)) {
        *error = ERROR_INVALID_DATA;
        return false;
    }
    const RECT dots = place.Dots;
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

namespace {

// Millimetres of a length in printer dots, as whole-number text.
std::wstring DotsInMm(double dots, int dpi)
{
    wchar_t text[64] = L"";
    WholeNumberToText(dpi > 0 ? dots * kMapMmPerInch / dpi : 0, text, 64);
    return text;
}

// The map does not fit the page at its scale: IDYES print it fitted to the page, IDNO print the
// part that fits at the scale, IDCANCEL do not print.
int AskHowToPrintLargeMap(HWND owner, HINSTANCE instance, HDC printer, double scale, const MapPagePlacement& place)
{
    const int dpiX = GetDeviceCaps(printer, LOGPIXELSX), dpiY = GetDeviceCaps(printer, LOGPIXELSY);
    wchar_t atScale[64] = L"", fitted[64] = L"";
    WholeNumberToText(scale, atScale, 64);
    WholeNumberToText(place.FitScale, fitted, 64);
    const std::wstring w = DotsInMm(place.Width, dpiX), h = DotsInMm(place.Height, dpiY);
    const std::wstring pw = DotsInMm(place.Dots.right - place.Dots.left, dpiX);
    const std::wstring ph = DotsInMm(place.Dots.bottom - place.Dots.top, dpiY);
    return ZorMessageBoxResText(owner, instance, IDS_MAPPRINT_TOO_LARGE, IDS_MAPPRINT_CAPTION,
                                MB_YESNOCANCEL | MB_ICONQUESTION,
                                {atScale, w.c_str(), h.c_str(), pw.c_str(), ph.c_str(), fitted, atScale});
}

}  // namespace

int CZMapWnd::Print(HWND owner, PAGESETUPDLGW* psd)
{
    if (!psd)
        return 0;
    if (!HasExtent) {
        ZorMessageBoxRes(owner, Instance, IDS_MAPPICTURE_EMPTY, IDS_ERROR_CAPTION, MB_OK | MB_ICONERROR);
        return 0;
    }
    if (!PreparePageSetup(psd)) {
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
    KeepPrintDialogSettings(psd, &pd);
    if (!chosen || !pd.hDC) {
        if (CommDlgExtendedError() == PDERR_NODEFAULTPRN)
            ZorMessageBoxRes(owner, Instance, IDS_MAPPRINT_NO_PRINTER, IDS_ERROR_CAPTION, MB_OK | MB_ICONERROR);
        if (pd.hDC)
            DeleteDC(pd.hDC);
        return 0;
    }
    const RECT area = PrintableArea(psd);
    const bool hundredths = (psd->Flags & PSD_INHUNDREDTHSOFMILLIMETERS) != 0;
    double scale = MapScale;
    MapPagePlacement place;
    if (PlaceMapOnPage(this, pd.hDC, area, hundredths, &place) && !place.Fits) {
        const int answer = AskHowToPrintLargeMap(owner, Instance, pd.hDC, MapScale, place);
        if (answer == IDCANCEL) {
            DeleteDC(pd.hDC);
            return 0;
        }
        if (answer == IDYES)
            scale = place.FitScale;
    }
    DWORD error = 0;
    bool printed = false;
    if (StartPrintDocument(pd.hDC, L"ZornaPrint") <= 0) {
        error = GetLastError();
    } else if (StartPage(pd.hDC) <= 0) {
        error = GetLastError();
        AbortDoc(pd.hDC);
    } else if (!RenderMapToPrinter(this, pd.hDC, area, hundredths, scale, &error)) {
        AbortDoc(pd.hDC);  // nothing half-drawn reaches the printer
    } else {
        printed = EndPage(pd.hDC) > 0 && EndDoc(pd.hDC) > 0;
        if (!printed)
            error = GetLastError();
    }
    DeleteDC(pd.hDC);
    if (!printed) {
        wchar_t printer[256];
        PrinterNameOf(psd->hDevNames, printer, ARRAYSIZE(printer));
        ShowFileError(owner, Instance, IDS_MAPPRINT_FAILED, printer, error ? error : ERROR_PRINT_CANCELLED);
    }
    return printed ? 1 : 0;
}
