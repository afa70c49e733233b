// A map card: one map tab of the workspace, the child dialog MAPCARD with the map's controls and
// legend left of a splitter and its map view, the ZORMAPWND window in which the legend's layers
// are drawn with OpenGL, right of it. The card owns its legend items, builds the legend from a
// folder of shapefiles, keeps the view state (the extent of the layers, the scale, the view's
// corner, the units per pixel and the y factor that makes degrees of longitude and latitude look
// proportional), its query layers and its settings, and talks to the main window only through
// its private messages.
//
// The view reads the card's controls by their ids (IDC_MAPCARD_*): the legend list, the grid
// combo and the scale edit.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include "core/zorobj.h"
#include "search/querycriterion.h"

class CEditLegendStyleDlg;
class CExpBmpDlg;
class ConfigData;
class CPtrArray;
class CXmlReader;
class CXmlWriter;
struct IXMLDOMElement;
struct MapRenderContext;
struct LegendItem;
class GlBitmap;

// The map view's window class.
#define MAPVIEW_CLASS L"ZORMAPWND"

// Registers the map view's class (CS_OWNDC for OpenGL); a second registration fails harmlessly.
void RegisterMapViewClass(HINSTANCE instance);
LRESULT CALLBACK MapViewWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The procedure of the card MAPCARD (its creation parameter: the CZMapWnd).
INT_PTR CALLBACK MapCardDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

enum MapTool
{
    MAP_TOOL_PAN = 0,
    MAP_TOOL_ZOOM_IN = 1,
    MAP_TOOL_ZOOM_OUT = 2,
};

// The splitter's default place and the smallest room it leaves on either side (pixels).
const int kMapDefaultSplitWidth = 160;  // the coordinate system "Geografický poměrný" fits at 96 dpi
const int kMapSplitterWidth = 3;
const int kMapMinPaneWidth = 20;
const int kMapDefaultDpi = 300;

class CZMapWnd : public CZorObj
{
public:
    // Creates the card MAPCARD hidden, as a child of the parent (the workspace's tab control),
    // with its view.
    CZMapWnd(HWND parent, HINSTANCE instance, HCURSOR splitCursor, HCURSOR zoomInCursor, HCURSOR zoomOutCursor,
             HCURSOR panCursor, CEditLegendStyleDlg** styleDlgSlot, QueryCriterionEditor editCriterion,
             ConfigData* config);
    // Destroys the card, which frees the legend; frees the resolution dialog.
    ~CZMapWnd() override;

    // Creates the view as a child of the card window (its controls IDC_MAPCARD_* are read from
    // there); the card lays it out. False when the window could not be made.
    bool CreateView(HWND card);

    // ---- the card (mapcard.cpp)
    // Places the card on the rectangle (the parent's client coordinates), keeping its z-order.
    void Move(const RECT* rect);
    // Lays the controls, the splitter and the view out for the card's client size.
    void LayoutCard();
    // Takes a splitter place (card client x) when it leaves more than kMapMinPaneWidth pixels on
    // both sides, and lays the card out; false (nothing changed) otherwise.
    bool SetSplitPosition(int x);
    // Refills the grid combo with an empty entry and the grids of the list (GridDef records,
    // borrowed: the combo's item data point into the list), keeping the previous choice by its
    // text where it is still there (see the card's rules for Grid).
    void SetGridList(CPtrArray* gridList);
    // Folder choice (string 344) and a new legend from the chosen folder; 0 when cancelled or
    // when the folder holds no shapefile (the map then stays as it was). Layers whose attribute
    // table is damaged are then named in a note over the owner.
    int BrowseShapeFolder(HWND owner);
    // A new legend from MapPath: the four information layers (unchecked) and a layer per
    // shapefile, checked when its file opened, fitted to the extent of the files that opened. A
    // folder without shapefiles leaves the legend empty.
    void LoadShapeFolder();
    // The note naming the shapefile layers of the legend whose .dbf is damaged; none when all
    // are sound (or missing, which the map does not need).
    void NoteDamagedTables(HWND owner);
    // After the settings were read: missing information layers and new files are appended,
    // the headers of the known files read again, the extent recomputed; the scale and corner
    // stay.
    void ReloadShapeFolder();
    // Deletes every legend item (display lists, query, condition, the item) and the list's rows.
    void FreeLegend();
    // Sets each item's Order to its row.
    void RenumberLegend();
    // Inserts a row for the item at the index (its text the Title, its image the preview,
    // checked or not); the row's index, -1 when it could not be inserted.
    int InsertLegendRow(LegendItem* item, int index, bool checked);
    // Moves the legend row from one index to another (Order fields shifted, the list sorted by
    // them); false when nothing moved.
    bool MoveLegendRow(int from, int to);
    // Shows the style dialog for a row and takes its style on OK (command 701).
    void EditLegendStyle(int index);
    // The command of the legend's context menu at a screen point (0 for none).
    void OnLegendContextMenu(int x, int y);
    // The end of a legend drag at a point of the card's client area.
    void EndLegendDrag(int x, int y);

    // ---- query layers (querylayer.cpp)
    // The first free name "Dotaz n" (n = 1 ... 99, compared without regard to case with the
    // legend's texts); true when even the name handed out is taken.
    static bool MakeQueryLayerName(HWND card, wchar_t* name);
    // A new criterion for the card: its first free query-layer name, no field (type 0), operator
    // 0, empty texts and a new empty value list.
    void InitQueryCriterion(QueryCriterion* criterion);
    // A query layer for the criterion as the first row of the legend, unchecked; it takes over
    // the criterion's value list. The view is invalidated.
    void AddQueryLayer(QueryCriterion* criterion);
    // The condition text of a criterion (malloc'd), null when none can be built.
    wchar_t* BuildLayerQuery(const QueryCriterion* criterion);
    // Before each paint: every query layer without a condition gets one built.
    void BuildMissingConditions();
    // Command 702: the criterion dialog on the row's query; its name and condition anew.
    void EditQueryLayer(int index);
    // Command 703: the query layer of the row removed.
    void DeleteQueryLayer(int index);

    // ---- settings (mapsettings.cpp)
    // Writes "Map<index>" under the parent with the name; nothing when it cannot be added.
    void SaveSettings(CXmlWriter* writer, IXMLDOMElement* parent, int index, const wchar_t* name);
    // Reads a map element; *name receives the map's Name (malloc'd) or null.
    int LoadSettings(CXmlReader* reader, IXMLDOMElement* element, wchar_t** name);

    // Fits the extent, enlarged by 1.1, into the view; nothing without an extent or a view area.
    void ZoomToExtent();
    // The extent, with a margin, centred in the view at its present size; false without a size.
    bool FitExtentToView();
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
    // legend is freed or rebuilt); with an item, only that item's.
    void DeleteLayerLists(LegendItem* only = nullptr);
    // Prints the map on one page with the page set-up (map/mapprint.cpp): 1 when printed.
    int Print(HWND owner, PAGESETUPDLGW* pageSetup);
    // Writes the map to the file as a picture of the type (map/mapexport.h); a bitmap asks its
    // resolution first, proposing DPI. Anything not written has been told to the user already.
    void ExportPicture(HWND owner, const wchar_t* path, int type, const wchar_t* title);

    HWND LegendList() const;
    HWND GridCombo() const;
    HWND ScaleEdit() const;
    HWND MainWindow() const;  // the parent of the card's parent

    // ---- the card
    HWND Parent;
    HWND View;
    HINSTANCE Instance;
    HCURSOR SplitCursor, ZoomInCursor, ZoomOutCursor, PanCursor;
    int Dragging;    // 1 while the splitter or a legend row is dragged
    int SplitWidth;  // x of the splitter in the card
    int DragIndex;   // the legend row being dragged
    wchar_t MapPath[MAX_PATH];  // the map folder; empty for a new map
    HIMAGELIST Images;     // the legend's 16 x 16 style previews
    HIMAGELIST DragImage;  // of the legend row being dragged
    CEditLegendStyleDlg** StyleDlgSlot;
    QueryCriterionEditor EditCriterion;  // the workspace's criteria dialog
    ConfigData* Config;
    int DPI;                  // resolution of the bitmap export
    CExpBmpDlg* ExpBmpDlg;    // made on first use by the picture export; the card's
    int Display;  // 0 the species card's records, 1 the selection's
    int Grid;     // selection of the grid combo, -1 none
    HMENU LegendMenu;
    HWND Card;
    // Read without a scale: the view is fitted to the layers at each size it is laid out with
    // until it is first drawn, so that the first view fills the view at its final size.
    bool FitPending;

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

    // Writes MapScale into the scale edit (not taken as typing).
    void ShowScale();
    // The scale edit lost the focus or took Enter: a typed scale is taken (keeping the view's
    // centre) when it is a number above 0; otherwise the edit shows the scale again.
    void TakeTypedScale();
    // The view took a new size (w x h pixels): a view already placed keeps its centre and
    // scale, so that the map grows or shrinks about the middle (a maximised window).
    void OnViewSized(int w, int h);
    int ViewWidth, ViewHeight;  // the view's last size, 0 before its first

private:
    GlBitmap* ViewBitmap;  // the view's drawing surface where OpenGL cannot draw on the window
    bool OwnsCard;         // the card is the MAPCARD this object made (not a host's window)
    friend INT_PTR CALLBACK MapCardDlgProc(HWND, UINT, WPARAM, LPARAM);
    void OnCreate(HWND hwnd);
    void OnDestroy();
    void OnButtonDown(int x, int y);
    void OnMouseMove(int x, int y, WPARAM keys);
    void OnButtonUp(int x, int y);
    friend LRESULT CALLBACK MapViewWndProc(HWND, UINT, WPARAM, LPARAM);
};
