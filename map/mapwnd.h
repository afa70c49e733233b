// A map card: the legend and controls of one map tab and its map view, the ZORMAPWND window in
// which the legend's layers are drawn with OpenGL. This part holds the view and the map
// coordinates the card keeps: the extent of the layers, the scale, the view's corner, the units
// per pixel and the y factor that makes degrees of longitude and latitude look proportional.
//
// The view reads the card's controls by their ids (IDC_MAPCARD_*): the legend list, the grid
// combo and the scale edit.
#pragma once
#include <windows.h>

#include "core/zorobj.h"

class CEditLegendStyleDlg;
class CAddQueryDlg;
class ConfigData;
struct MapRenderContext;
class GlBitmap;

// The map view's window class.
#define MAPVIEW_CLASS L"ZORMAPWND"

// Registers the map view's class (CS_OWNDC for OpenGL); a second registration fails harmlessly.
void RegisterMapViewClass(HINSTANCE instance);
LRESULT CALLBACK MapViewWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

enum MapTool
{
    MAP_TOOL_PAN = 0,
    MAP_TOOL_ZOOM_IN = 1,
    MAP_TOOL_ZOOM_OUT = 2,
};

class CZMapWnd : public CZorObj
{
public:
    CZMapWnd(HWND parent, HINSTANCE instance, HCURSOR splitCursor, HCURSOR zoomInCursor, HCURSOR zoomOutCursor,
             HCURSOR panCursor, CEditLegendStyleDlg** styleDlgSlot, CAddQueryDlg** queryDlgSlot, ConfigData* config);
    ~CZMapWnd() override;

    // Creates the view as a child of the card window (its controls IDC_MAPCARD_* are read from
    // there); the card lays it out. False when the window could not be made.
    bool CreateView(HWND card);

    // Fits the extent, enlarged by 1.1, into the view; nothing without an extent or a view area.
    void ZoomToExtent();
    // Marks the legend's geometry for rebuilding: every item, or with recordsOnly the record and
    // query layers. The view repaints at its next paint.
    void InvalidateLayers(int recordsOnly);
    // 0 no grid layer shown, 1 the coarse grid, 2 the fine grid (of the first two grid layers
    // from the top, the finest checked one).
    static int GetShownGridLevel(HWND legend, int count);

    // The extent of the layers (map units); a map without one is never fitted and shows only the
    // window colour. Recomputes the y factor.
    void SetExtent(double minX, double minY, double maxX, double maxY);
    void ClearExtent();
    // YFactor from the resolution and, for the proportional system, the extent's mid-latitude.
    void UpdateYFactor();
    // A scale typed by the user: taken when it is a finite number above 0, keeping the view's
    // centre; false (nothing changed) otherwise.
    bool SetScaleKeepingCentre(double scale);
    // One zoom step (factor sqrt 2) keeping the map point under the client point in place.
    void ZoomAtPoint(int x, int y, int zoomIn);

    // The drawing's parameters for a client area of w x h pixels on the DC.
    void FillRenderContext(MapRenderContext* ctx, HDC dc, int w, int h);
    // One drawing of the view on its DC.
    void PaintMapView(HDC dc);
    // Deletes every legend item's display lists with the view's context current (before the
    // legend is freed or rebuilt).
    void DeleteLayerLists();

    HWND LegendList() const;
    HWND GridCombo() const;
    HWND ScaleEdit() const;
    HWND MainWindow() const;  // the parent of the card's parent

    // ---- the card
    HWND Parent;
    HWND View;
    HINSTANCE Instance;
    HCURSOR SplitCursor, ZoomInCursor, ZoomOutCursor, PanCursor;
    CEditLegendStyleDlg** StyleDlgSlot;
    CAddQueryDlg** QueryDlgSlot;
    ConfigData* Config;
    wchar_t MapPath[MAX_PATH];
    int Display;  // 0 the species card's records, 1 the selection's
    HWND Card;

    // ---- the view state
    double MinX, MinY, MaxX, MaxY;
    bool HasExtent;
    HGLRC GlContext;
    int LogPixelsX, LogPixelsY;
    double PixelsPerMmX, PixelsPerMmY;
    double MapScale;
    double YFactor;
    double XCorner, YCorner;  // map coordinates of the view's left and top edge (y scaled)
    double UnitsPerPixel;
    int CoordSys;  // 0 geographic, 1 geographic proportional
    int Tool;      // MapTool
    int DownX, DownY, LastX, LastY;
    int Panning;
    int ScaleUpdating;
    int ScaleEdited;
    bool NewerWindows;

    // Makes the view's rendering context current for a drawing of w x h pixels (making or
    // resizing its drawing surface when it draws into a bitmap): the DC it draws on, null when
    // there is none. EndViewDrawing shows the drawing on the window and makes no context current.
    HDC BeginViewDrawing(HDC windowDc, int w, int h);
    void EndViewDrawing(HDC windowDc, int w, int h);

private:
    GlBitmap* ViewBitmap;  // the view's drawing surface where OpenGL cannot draw on the window
    void ShowScale();
    void OnCreate(HWND hwnd);
    void OnDestroy();
    void OnButtonDown(int x, int y);
    void OnMouseMove(int x, int y, WPARAM keys);
    void OnButtonUp(int x, int y);
    friend LRESULT CALLBACK MapViewWndProc(HWND, UINT, WPARAM, LPARAM);
};
