// The map view and its coordinates: fitting, zoom steps, typed scales, the mouse tools driven
// by real mouse input, and the layer marks.
#include <windows.h>
#include <windowsx.h>

#include <cmath>
#include <gtest/gtest.h>

#include "core/ctlfill.h"
#include "map/mapunits.h"
#include "tests/map/maphost.h"
#include "tests/support/wintest.h"

using namespace maptest;

namespace {

LPARAM At(int x, int y)
{
    return MAKELPARAM((WORD)(short)x, (WORD)(short)y);
}

// The map point under a client point (y unscaled).
void MapPointAt(const CZMapWnd* m, int x, int y, double* mx, double* my)
{
    const double yc = (m->MaxY + m->MinY) / 2;
    *mx = m->XCorner + x * m->UnitsPerPixel;
    *my = yc + (m->YCorner - y * m->UnitsPerPixel - yc) * m->YFactor;
}

// Real mouse input at a client point of the view (the cursor moves there first).
void Mouse(HWND view, int x, int y, DWORD flags)
{
    POINT p = {x, y};
    ClientToScreen(view, &p);
    SetCursorPos(p.x, p.y);
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    if (flags)
        SendInput(1, &in, sizeof in);
    wintest::PumpMessages(30);
}

}  // namespace

TEST(MapView, FitsTheExtentIntoTheView)
{
    MapHost host(1000, 500);
    CZMapWnd* m = host.Map;
    EXPECT_NEAR(96 / 25.38071, m->PixelsPerMmX, 1e-12);  // 25.38071, not 25.4
    EXPECT_EQ(1.0, m->YFactor);
    // Without an extent the view is never fitted.
    m->ZoomToExtent();
    EXPECT_EQ(1.0, m->MapScale);
    m->SetExtent(12.0, 49.0, 22.0, 51.0);
    m->ZoomToExtent();
    EXPECT_NEAR(0.011, m->UnitsPerPixel, 1e-12);
    EXPECT_NEAR(12.0 - 0.5, m->XCorner, 1e-9);
    EXPECT_NEAR(0.011 * m->PixelsPerMmX * kMapMmPerDegree, m->MapScale, 1e-3);
    // The scale is shown in the card's edit, in the user's format.
    double shown = 0;
    ASSERT_EQ(1, GetWindowReal(host.Scale, 0, &shown));
    EXPECT_NEAR(m->MapScale, shown, m->MapScale * 1e-6);  // the edit reads single precision
    EXPECT_EQ(0, m->ScaleUpdating);

    // The proportional system scales y by the mid-latitude.
    m->CoordSys = 1;
    m->SetExtent(12.0, 48.0, 22.0, 52.0);
    EXPECT_NEAR(std::cos(50 * kMapPi / 180), m->YFactor, 1e-12);
    m->CoordSys = 0;
    m->UpdateYFactor();
    EXPECT_EQ(1.0, m->YFactor);

    // A layer of one point still gets a finite scale above 0.
    m->SetExtent(14.4, 50.1, 14.4, 50.1);
    m->ZoomToExtent();
    EXPECT_TRUE(std::isfinite(m->MapScale) && m->MapScale > 0);
    EXPECT_TRUE(m->UnitsPerPixel > 0);
    double x = 0, y = 0;
    MapPointAt(m, 500, 250, &x, &y);
    EXPECT_NEAR(14.4, x, 1e-3);
    EXPECT_NEAR(50.1, y, 1e-3);
}

TEST(MapView, TypedScalesKeepTheCentreAndRefuseNonsense)
{
    MapHost host(400, 300);
    CZMapWnd* m = host.Map;
    m->SetExtent(12, 48, 19, 51);
    m->ZoomToExtent();
    double cx = 0, cy = 0;
    MapPointAt(m, 200, 150, &cx, &cy);
    const double before = m->MapScale;
    for (double bad : {0.0, -5.0, (double)NAN, (double)INFINITY, -(double)INFINITY}) {
        EXPECT_FALSE(m->SetScaleKeepingCentre(bad));
        EXPECT_EQ(before, m->MapScale);
    }
    ASSERT_TRUE(m->SetScaleKeepingCentre(250000));
    EXPECT_EQ(250000, m->MapScale);
    double x = 0, y = 0;
    MapPointAt(m, 200, 150, &x, &y);
    EXPECT_NEAR(cx, x, 1e-9);
    EXPECT_NEAR(cy, y, 1e-9);
}

// Two clicks of the zoom-in tool halve the scale and keep the clicked point under the cursor;
// a drag with a zoom tool does nothing; the zoom-out tool goes back.
TEST(MapView, ZoomToolsClickAndIgnoreDrags)
{
    MapHost host(400, 300);
    CZMapWnd* m = host.Map;
    m->SetExtent(12, 48, 19, 51);
    m->ZoomToExtent();
    LegendItem* item = NewInfoLegendItem(L"Zápisy", nullptr, INFO_RECORDS, 16, 16, nullptr);
    host.AddItem(item, false);
    item->Rebuild = false;
    m->Tool = MAP_TOOL_ZOOM_IN;
    const double scale = m->MapScale;
    double px = 0, py = 0;
    MapPointAt(m, 120, 90, &px, &py);
    for (int click = 0; click < 2; ++click) {
        Mouse(m->View, 120, 90, MOUSEEVENTF_LEFTDOWN);
        Mouse(m->View, 120, 90, MOUSEEVENTF_LEFTUP);
    }
    EXPECT_NEAR(scale / 2, m->MapScale, scale * 1e-12);
    EXPECT_TRUE(item->Rebuild);  // a larger scale needs finer runs
    double x = 0, y = 0;
    MapPointAt(m, 120, 90, &x, &y);
    EXPECT_NEAR(px, x, 1e-9);
    EXPECT_NEAR(py, y, 1e-9);

    const double zoomed = m->MapScale;
    Mouse(m->View, 120, 90, MOUSEEVENTF_LEFTDOWN);
    Mouse(m->View, 122, 90, MOUSEEVENTF_MOVE);
    Mouse(m->View, 122, 90, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(zoomed, m->MapScale);

    m->Tool = MAP_TOOL_ZOOM_OUT;
    item->Rebuild = false;
    Mouse(m->View, 120, 90, MOUSEEVENTF_LEFTDOWN);
    Mouse(m->View, 121, 91, MOUSEEVENTF_LEFTUP);  // within one pixel: still a click
    EXPECT_NEAR(zoomed * std::sqrt(2.0), m->MapScale, zoomed * 1e-12);
    EXPECT_FALSE(item->Rebuild);  // zooming out keeps the geometry
    EXPECT_EQ(nullptr, GetCapture());
}

// The pan follows the mouse only while the button is held: a release outside the view ends it,
// and the mouse moving afterwards leaves the map where it is.
TEST(MapView, PanEndsWhenTheButtonIsReleasedAnywhere)
{
    MapHost host(400, 300);
    CZMapWnd* m = host.Map;
    m->SetExtent(12, 48, 19, 51);
    m->ZoomToExtent();
    m->Tool = MAP_TOOL_PAN;
    const double x0 = m->XCorner, y0 = m->YCorner, u = m->UnitsPerPixel;
    Mouse(m->View, 100, 100, MOUSEEVENTF_LEFTDOWN);
    EXPECT_EQ(1, m->Panning);
    EXPECT_EQ(m->View, GetCapture());
    Mouse(m->View, 150, 120, MOUSEEVENTF_MOVE);
    EXPECT_NEAR(x0 - 50 * u, m->XCorner, 1e-9);
    EXPECT_NEAR(y0 + 20 * u, m->YCorner, 1e-9);
    // Out of the view to the left and above: the coordinates come signed.
    Mouse(m->View, -30, -10, MOUSEEVENTF_MOVE);
    EXPECT_NEAR(x0 + 130 * u, m->XCorner, 1e-9);
    EXPECT_NEAR(y0 - 110 * u, m->YCorner, 1e-9);
    Mouse(m->View, -30, -10, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(0, m->Panning);
    EXPECT_EQ(nullptr, GetCapture());
    const double x1 = m->XCorner, y1 = m->YCorner;
    Mouse(m->View, 200, 200, MOUSEEVENTF_MOVE);
    SendMessageW(m->View, WM_MOUSEMOVE, 0, At(300, 250));
    EXPECT_EQ(x1, m->XCorner);
    EXPECT_EQ(y1, m->YCorner);

    // A pan whose capture is taken away ends too.
    SendMessageW(m->View, WM_LBUTTONDOWN, MK_LBUTTON, At(100, 100));
    EXPECT_EQ(1, m->Panning);
    ReleaseCapture();
    EXPECT_EQ(0, m->Panning);
    SendMessageW(m->View, WM_MOUSEMOVE, MK_LBUTTON, At(140, 100));
    EXPECT_EQ(x1, m->XCorner);
}

TEST(MapView, CursorFollowsTheTool)
{
    MapHost host(200, 150);
    CZMapWnd* m = host.Map;
    const HCURSOR cursors[] = {m->PanCursor, m->ZoomInCursor, m->ZoomOutCursor};
    for (int tool = 0; tool < 3; ++tool) {
        m->Tool = tool;
        EXPECT_EQ(TRUE, SendMessageW(m->View, WM_SETCURSOR, (WPARAM)m->View, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
        EXPECT_EQ(cursors[tool], GetCursor()) << tool;
    }
}

TEST(MapView, LayerMarksAndTheShownGrid)
{
    MapHost host(200, 150);
    struct Row {
        int kind;
        bool shape;
        bool checked;
    } rows[] = {{INFO_RECORDS, false, true}, {INFO_LITERATURE, false, true}, {INFO_GRID, false, true},
                {INFO_FINE_GRID, false, false}, {SHPT_ARC, true, true}};
    for (const Row& r : rows) {
        LegendItem* item = NewInfoLegendItem(L"x", nullptr, r.kind, 16, 16, nullptr);
        if (r.shape)
            wcscpy(item->MapFile, L"reky.shp");  // type 3, like the fine grid's kind
        host.AddItem(item, r.checked);
    }
    auto rebuilds = [&] {
        std::string marks;
        for (int i = 0; i < 5; ++i)
            marks += LegendItemAt(host.Legend, i)->Rebuild ? '1' : '0';
        return marks;
    };
    for (int i = 0; i < 5; ++i)
        LegendItemAt(host.Legend, i)->Rebuild = false;
    host.Map->InvalidateLayers(1);
    EXPECT_EQ("11000", rebuilds());
    host.Map->InvalidateLayers(0);
    EXPECT_EQ("11111", rebuilds());

    EXPECT_EQ(1, CZMapWnd::GetShownGridLevel(host.Legend, 5));
    host.SetChecked(3, true);
    EXPECT_EQ(2, CZMapWnd::GetShownGridLevel(host.Legend, 5));
    host.SetChecked(2, false);
    EXPECT_EQ(2, CZMapWnd::GetShownGridLevel(host.Legend, 5));
    host.SetChecked(3, false);
    EXPECT_EQ(0, CZMapWnd::GetShownGridLevel(host.Legend, 5));  // the arc layer is no grid
    EXPECT_EQ(0, CZMapWnd::GetShownGridLevel(host.Legend, 2));
}
