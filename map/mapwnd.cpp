// The map card's view state: extent, scale, corner and the zoom steps.
#include "map/mapwnd.h"

#include <commctrl.h>

#include <cmath>
#include <utility>

#include "search/querycriterion.h"
#include "core/ctlfill.h"
#include "core/textutil.h"
#include "map/expbmpdlg.h"
#include "map/glrender.h"
#include "map/legend.h"
#include "map/mapunits.h"
#include "resources/zorna/resource.h"

namespace {

// The smallest extent fitted into the view: a layer of one point still gets a scale.
const double kMinExtent = 0.01;

bool IsNewerWindows()
{
    OSVERSIONINFOW v = {};
    v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&v))
        return false;
#pragma GCC diagnostic pop
    return v.dwPlatformId >= 2 && v.dwMajorVersion > 5;
}

}  // namespace

CZMapWnd::CZMapWnd(HWND parent, HINSTANCE instance, HCURSOR splitCursor, HCURSOR zoomInCursor,
                   HCURSOR zoomOutCursor, HCURSOR panCursor, CEditLegendStyleDlg** styleDlgSlot,
                   QueryCriterionEditor editCriterion, ConfigData* config)
    : Parent(parent), View(nullptr), Instance(instance), SplitCursor(splitCursor), ZoomInCursor(zoomInCursor),
      ZoomOutCursor(zoomOutCursor), PanCursor(panCursor), Dragging(0), SplitWidth(kMapDefaultSplitWidth),
      DragIndex(-1), MapPath(), Images(nullptr), DragImage(nullptr), StyleDlgSlot(styleDlgSlot),
      EditCriterion(std::move(editCriterion)), Config(config), DPI(kMapDefaultDpi), ExpBmpDlg(nullptr), Display(0), Grid(-1),
      LegendMenu(nullptr), Card(nullptr), FitPending(false), MinX(0), MinY(0), MaxX(0), MaxY(0), HasExtent(false),
      GlContext(nullptr), LogPixelsX(96), LogPixelsY(96), PixelsPerMmX(96 / kMapMmPerInch),
      PixelsPerMmY(96 / kMapMmPerInch), MapScale(1.0), YFactor(1.0), XCorner(0), YCorner(0), UnitsPerPixel(0),
      CoordSys(0), Tool(MAP_TOOL_PAN), DownX(0), DownY(0), LastX(0), LastY(0), Panning(0), ScaleUpdating(0),
      ScaleEdited(0), NewerWindows(IsNewerWindows()), ViewWidth(0), ViewHeight(0), ViewBitmap(nullptr), OwnsCard(false)
{
    UnitsPerPixel = UnitsPerPixelOfScale(MapScale, CoordSys, PixelsPerMmX);
    LegendMenu = LoadMenuW(instance, L"LEGENDMENU");
    // The card makes its view and legend while it is created (WM_INITDIALOG).
    if (parent)
        CreateDialogParamW(instance, L"MAPCARD", parent, MapCardDlgProc, (LPARAM)this);
}

CZMapWnd::~CZMapWnd()
{
    delete ExpBmpDlg;
    ExpBmpDlg = nullptr;
    // The card frees the legend; its view goes with it.
    if (OwnsCard && Card && IsWindow(Card))
        DestroyWindow(Card);
    else if (View && IsWindow(View))
        DestroyWindow(View);
    if (LegendMenu)
        DestroyMenu(LegendMenu);
}

bool CZMapWnd::CreateView(HWND card)
{
    Card = card;
    RegisterMapViewClass(Instance);
    View = CreateWindowExW(WS_EX_CLIENTEDGE, MAPVIEW_CLASS, L"MapWindow", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, card,
                           nullptr, Instance, this);
    return View != nullptr;
}

HWND CZMapWnd::LegendList() const { return GetDlgItem(Card, IDC_MAPCARD_LEGEND); }
HWND CZMapWnd::GridCombo() const { return GetDlgItem(Card, IDC_MAPCARD_GRIDS); }
HWND CZMapWnd::ScaleEdit() const { return GetDlgItem(Card, IDC_MAPCARD_SCALE); }
HWND CZMapWnd::MainWindow() const { return GetParent(GetParent(Card)); }

void CZMapWnd::TakeTypedScale()
{
    double value = 0;
    if (GetWindowReal(ScaleEdit(), 64, &value) != 1 || !SetScaleKeepingCentre(value))
        ShowScale();  // "abc", 0, -5 or 1e400: the scale stays, and the edit shows it again
    ScaleEdited = 0;
}

void CZMapWnd::OnViewSized(int w, int h)
{
    if (w <= 0 || h <= 0)
        return;  // a minimised window: its old size comes back
    if (ViewWidth > 0 && ViewHeight > 0 && HasExtent && !FitPending) {
        const double u = UnitsPerPixelOfScale(MapScale, CoordSys, PixelsPerMmX);
        XCorner += (ViewWidth - w) * u / 2;
        YCorner += (h - ViewHeight) * u / 2;
    }
    ViewWidth = w;
    ViewHeight = h;
}

void CZMapWnd::ShowScale()
{
    ScaleUpdating = 1;
    HWND edit = ScaleEdit();
    // A scale reads as a whole number ("1 : 6 662 600"); the view keeps the exact one.
    wchar_t text[64];
    if (edit && WholeNumberToText(MapScale, text, 64))
        SetWindowTextW(edit, text);
    ScaleUpdating = 0;
}

void CZMapWnd::SetExtent(double minX, double minY, double maxX, double maxY)
{
    MinX = minX;
    MinY = minY;
    MaxX = maxX;
    MaxY = maxY;
    HasExtent = true;
    UpdateYFactor();
}

void CZMapWnd::ClearExtent()
{
    MinX = MinY = MaxX = MaxY = 0;
    HasExtent = false;
    UpdateYFactor();
}

void CZMapWnd::UpdateYFactor()
{
    YFactor = (double)LogPixelsX / (LogPixelsY > 0 ? LogPixelsY : 1);
    if (CoordSys == 1 && HasExtent)
        YFactor *= std::cos((MaxY + MinY) / 2 * kMapPi / 180);
    if (!(YFactor > 0) || !std::isfinite(YFactor))
        YFactor = 1;  // an extent at a pole would make it 0
}

void CZMapWnd::ZoomToExtent()
{
    if (!View || !HasExtent)
        return;
    // Without a size the view is fitted when the card lays it out with one.
    FitPending = !FitExtentToView();
}

bool CZMapWnd::FitExtentToView()
{
    RECT rc;
    GetClientRect(View, &rc);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w < 1 || h < 1)
        return false;
    // An extent of one point (or none across) gets a small one about its centre.
    double minX = MinX, maxX = MaxX, minY = MinY, maxY = MaxY;
    if (maxX - minX < kMinExtent) {
        double c = (minX + maxX) / 2;
        minX = c - kMinExtent / 2;
        maxX = c + kMinExtent / 2;
    }
    if (maxY - minY < kMinExtent) {
        double c = (minY + maxY) / 2;
        minY = c - kMinExtent / 2;
        maxY = c + kMinExtent / 2;
    }
    double dx = (maxX - minX) * 1.1;
    double dy = (maxY - minY) * 1.1 / YFactor;
    const double r = (double)LogPixelsX / LogPixelsY;
    if (dx * h > dy * r * w)
        dy = dx * r * h / w;
    else
        dx = dy * w / h / r;
    UnitsPerPixel = dx / w;
    MapScale = ScaleOfUnitsPerPixel(UnitsPerPixel, CoordSys, PixelsPerMmX);
    ShowScale();
    XCorner = (minX + maxX - dx) / 2;
    YCorner = (dy + minY + maxY) / 2;
    InvalidateRect(View, nullptr, FALSE);
    return true;
}

void CZMapWnd::InvalidateLayers(int recordsOnly)
{
    HWND legend = LegendList();
    const int count = (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        LegendItem* item = LegendItemAt(legend, i);
        if (!item || (recordsOnly && !IsRecordLayer(item)))
            continue;
        item->Rebuild = true;
        // A query's condition follows the configuration and the columns' kinds: it is built
        // again before the next paint.
        if (item->Query) {
            free(item->Condition);
            item->Condition = nullptr;
        }
    }
}

int CZMapWnd::GetShownGridLevel(HWND legend, int count)
{
    int level = 0, grids = 0;
    for (int i = 0; i < count && grids < 2; ++i) {
        const LegendItem* item = LegendItemAt(legend, i);
        const bool fine = IsInfoLayer(item, INFO_FINE_GRID);
        if (!fine && !IsInfoLayer(item, INFO_GRID))
            continue;
        ++grids;
        if (!LegendItemChecked(legend, i))
            continue;
        if (fine)
            return 2;
        level = 1;
    }
    return level;
}

bool CZMapWnd::SetScaleKeepingCentre(double scale)
{
    if (!std::isfinite(scale) || !(scale > 0))
        return false;
    const double units = UnitsPerPixelOfScale(scale, CoordSys, PixelsPerMmX);
    if (!std::isfinite(units) || !(units > 0))
        return false;
    RECT rc = {0, 0, 0, 0};
    if (View)
        GetClientRect(View, &rc);
    const double u0 = UnitsPerPixel;
    MapScale = scale;
    UnitsPerPixel = units;
    XCorner += rc.right * (u0 - UnitsPerPixel) / 2;
    YCorner -= rc.bottom * (u0 - UnitsPerPixel) / 2;
    if (View)
        InvalidateRect(View, nullptr, FALSE);
    return true;
}

void CZMapWnd::ZoomAtPoint(int x, int y, int zoomIn)
{
    const double u0 = UnitsPerPixel;
    if (zoomIn) {
        MapScale /= std::sqrt(2.0);
        InvalidateLayers(0);  // finer runs for the larger scale
    } else {
        MapScale *= std::sqrt(2.0);  // the layers keep their geometry
    }
    UnitsPerPixel = UnitsPerPixelOfScale(MapScale, CoordSys, PixelsPerMmX);
    ShowScale();
    XCorner += x * (u0 - UnitsPerPixel);
    YCorner -= y * (u0 - UnitsPerPixel);
    if (View)
        InvalidateRect(View, nullptr, FALSE);
}

void CZMapWnd::FillRenderContext(MapRenderContext* ctx, HDC dc, int w, int h)
{
    UnitsPerPixel = UnitsPerPixelOfScale(MapScale, CoordSys, PixelsPerMmX);
    const double u = UnitsPerPixel;
    HWND legend = LegendList();
    ctx->Dc = dc;
    ctx->MainWindow = MainWindow();
    ctx->Legend = legend;
    ctx->GridCombo = GridCombo();
    ctx->GridLevel = GetShownGridLevel(legend, (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0));
    ctx->Display = Display;
    ctx->UnitsPerPixel = u;
    ctx->CentreLat = (MaxY + MinY) / 2;
    ctx->YFactor = YFactor;
    ctx->PixelsPerMmX = PixelsPerMmX;
    ctx->PixelsPerMmY = PixelsPerMmY;
    ctx->Left = XCorner;
    ctx->Right = XCorner + w * u;
    ctx->Bottom = YCorner - h * u;
    ctx->Top = YCorner;
    ctx->Diagonal = std::sqrt((w * u) * (w * u) + (h * u) * (h * u) / (YFactor * YFactor));
    ctx->MapFolder = MapPath;
}

void CZMapWnd::DeleteLayerLists(LegendItem* only)
{
    if (!View || !GlContext)
        return;  // no context: there are no lists either
    RECT rc;
    GetClientRect(View, &rc);
    HGLRC previous = wglGetCurrentContext();
    HDC previousDc = wglGetCurrentDC();
    HDC dc = GetDC(View);
    if (BeginViewDrawing(dc, rc.right, rc.bottom)) {
        if (only) {
            DeleteItemLists(only);
        } else {
            HWND legend = LegendList();
            const int count = (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0);
            for (int i = 0; i < count; ++i)
                DeleteItemLists(LegendItemAt(legend, i));
        }
        wglMakeCurrent(previousDc, previous);
    }
    ReleaseDC(View, dc);
}
