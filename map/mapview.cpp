// The map view window ZORMAPWND: its OpenGL context, painting and the mouse tools.
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
#include <GL/gl.h>


#include "map/glbitmap.h"
#include "map/glrender.h"
#include "map/legend.h"
#include "map/mapunits.h"
#include "map/mapwnd.h"

namespace {

CZMapWnd* MapOf(HWND hwnd)
{
    return (CZMapWnd*)GetWindowLongPtrW(hwnd, GWLP_USERDATA);
}

// Wine shows nothing of a child window that has an OpenGL pixel format (neither what OpenGL nor
// what GDI draws on it; a top-level window shows). There the view keeps a plain window and draws
// into a memory bitmap of its size, which each paint copies onto the window.
bool GlChildWindowsHidden()
{
    static const bool hidden = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return hidden;
}

}  // namespace

void RegisterMapViewClass(HINSTANCE instance)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC | CS_DBLCLKS;
    wc.lpfnWndProc = MapViewWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_HAND);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = MAPVIEW_CLASS;
    RegisterClassExW(&wc);  // a second registration fails harmlessly
}

void CZMapWnd::OnCreate(HWND hwnd)
{
    View = hwnd;
    HDC dc = GetDC(hwnd);  // the class's own DC: it stays with the window
    LogPixelsX = GetDeviceCaps(dc, LOGPIXELSX);
    LogPixelsY = GetDeviceCaps(dc, LOGPIXELSY);
    if (LogPixelsX <= 0)
        LogPixelsX = 96;
    if (LogPixelsY <= 0)
        LogPixelsY = 96;
    PixelsPerMmX = LogPixelsX / kMapMmPerInch;
    PixelsPerMmY = LogPixelsY / kMapMmPerInch;
    UpdateYFactor();
    if (!GlChildWindowsHidden()) {
        PIXELFORMATDESCRIPTOR pfd = {};
        pfd.nSize = sizeof pfd;
        pfd.nVersion = 1;
        pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        pfd.iPixelType = PFD_TYPE_RGBA;
        pfd.cColorBits = 24;
        pfd.cDepthBits = 32;
        pfd.cStencilBits = 1;
        int format = ChoosePixelFormat(dc, &pfd);
        if (format)
            SetPixelFormat(dc, format, &pfd);
        GlContext = wglCreateContext(dc);
    }
    ReleaseDC(hwnd, dc);
}

void CZMapWnd::OnDestroy()
{
    if (GlContext && wglGetCurrentContext() == GlContext)
        wglMakeCurrent(nullptr, nullptr);
    if (ViewBitmap) {
        delete ViewBitmap;  // with its context
        ViewBitmap = nullptr;
    } else if (GlContext) {
        wglDeleteContext(GlContext);
    }
    GlContext = nullptr;
    View = nullptr;
}

HDC CZMapWnd::BeginViewDrawing(HDC windowDc, int w, int h)
{
    if (w < 1 || h < 1)
        return nullptr;
    if (GlChildWindowsHidden()) {
        if (!ViewBitmap || ViewBitmap->Width() != w || ViewBitmap->Height() != h) {
            // A new context: the layers' display lists went with the old one.
            HWND legend = LegendList();
            const int count = (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0);
            for (int i = 0; i < count; ++i) {
                LegendItem* item = LegendItemAt(legend, i);
                if (item) {
                    item->ListBase = 0;
                    item->ListCount = 0;
                    item->Rebuild = true;
                }
            }
            delete ViewBitmap;
            ViewBitmap = new GlBitmap;
            GlContext = nullptr;
            if (!ViewBitmap->Create(windowDc, w, h)) {
                delete ViewBitmap;
                ViewBitmap = nullptr;
                return nullptr;
            }
            GlContext = ViewBitmap->Context();
        }
        if (!wglMakeCurrent(ViewBitmap->Dc(), GlContext))
            return nullptr;
        glViewport(0, 0, w, h);
        return ViewBitmap->Dc();
    }
    if (!GlContext || !wglMakeCurrent(windowDc, GlContext))
        return nullptr;
    glViewport(0, 0, w, h);
    return windowDc;
}

void CZMapWnd::EndViewDrawing(HDC windowDc, int w, int h)
{
    if (ViewBitmap) {
        glFinish();
        BitBlt(windowDc, 0, 0, w, h, ViewBitmap->Dc(), 0, 0, SRCCOPY);
    } else {
        SwapBuffers(windowDc);
    }
    wglMakeCurrent(nullptr, nullptr);
}

void CZMapWnd::PaintMapView(HDC dc)
{
    // Conditions that could not be built before (the configuration was not read yet) are
    // tried again.
    BuildMissingConditions();
    RECT rc;
    GetClientRect(View, &rc);
    const int w = rc.right, h = rc.bottom;
    HDC target = BeginViewDrawing(dc, w, h);
    if (!target)
        return;
    if (HasExtent) {
        // The first view is the one drawn now: later sizes keep its scale.
        FitPending = false;
        MapRenderContext ctx;
        FillRenderContext(&ctx, target, w, h);
        RenderLegendGl(&ctx, 0);
    } else {
        // A map without a folder has nothing to place: the window colour only.
        COLORREF window = GetSysColor(COLOR_WINDOW);
        glClearColor(GetRValue(window) / 255.0f, GetGValue(window) / 255.0f, GetBValue(window) / 255.0f, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glFlush();
    }
    EndViewDrawing(dc, w, h);
}

// The pan follows the mouse only while the left button is held: the mouse is captured on the
// press, and the pan ends on the release or whenever the capture goes elsewhere.
void CZMapWnd::OnButtonDown(int x, int y)
{
    DownX = LastX = x;
    DownY = LastY = y;
    Panning = Tool == MAP_TOOL_PAN ? 1 : 0;
    SetCapture(View);
}

void CZMapWnd::OnMouseMove(int x, int y, WPARAM keys)
{
    if (!Panning)
        return;
    if (!(keys & MK_LBUTTON)) {
        Panning = 0;
        return;
    }
    if (x == LastX && y == LastY)
        return;
    XCorner += (LastX - x) * UnitsPerPixel;
    YCorner -= (LastY - y) * UnitsPerPixel;
    // Newer systems repaint the whole view, so its pixels are not scrolled first (scrolling the
    // OpenGL window also stalls under Wine); older ones scroll and repaint the strip uncovered.
    if (NewerWindows)
        InvalidateRect(View, nullptr, FALSE);
    else
        ScrollWindow(View, x - LastX, y - LastY, nullptr, nullptr);
    LastX = x;
    LastY = y;
}

void CZMapWnd::OnButtonUp(int x, int y)
{
    const int tool = Tool;
    Panning = 0;
    if (GetCapture() == View)
        ReleaseCapture();
    if (tool == MAP_TOOL_PAN)
        return;
    // A click zooms; a drag with a zoom tool does nothing.
    if (abs(DownX - x) <= 1 && abs(DownY - y) <= 1)
        ZoomAtPoint(x, y, tool == MAP_TOOL_ZOOM_IN);
}

LRESULT CALLBACK MapViewWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CZMapWnd* map = MapOf(hwnd);
    switch (msg) {
    case WM_CREATE: {
        map = (CZMapWnd*)((CREATESTRUCTW*)lParam)->lpCreateParams;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, (LONG_PTR)map);
        if (map)
            map->OnCreate(hwnd);
        return 0;
    }
    case WM_DESTROY:
        if (map)
            map->OnDestroy();
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return 0;
    case WM_PAINT: {
        if (!map)
            break;
        if (!GetUpdateRect(hwnd, nullptr, FALSE))
            return 0;
        if (wParam) {
            map->PaintMapView((HDC)wParam);
            ValidateRect(hwnd, nullptr);
        } else {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            map->PaintMapView(dc);
            EndPaint(hwnd, &ps);
        }
        return 0;
    }
    case WM_ERASEBKGND:
        return map ? 1 : DefWindowProcW(hwnd, msg, wParam, lParam);  // OpenGL paints every pixel
    case WM_SIZE:
        if (map)
            map->OnViewSized(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_SETCURSOR:
        if (map && LOWORD(lParam) == HTCLIENT) {
            HCURSOR cursor = map->Tool == MAP_TOOL_ZOOM_IN    ? map->ZoomInCursor
                             : map->Tool == MAP_TOOL_ZOOM_OUT ? map->ZoomOutCursor
                                                              : map->PanCursor;
            SetCursor(cursor ? cursor : LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN:
        if (map)
            map->OnButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MOUSEMOVE:
        if (map)
            map->OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam);
        return 0;
    case WM_LBUTTONUP:
        if (map)
            map->OnButtonUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_CAPTURECHANGED:
        if (map && (HWND)lParam != hwnd)
            map->Panning = 0;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
