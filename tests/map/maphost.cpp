#include "tests/map/maphost.h"

#include <GL/gl.h>

#include <cstdlib>

#include "shellcontract/zm_protocol.h"
#include "resources/zorna/resource.h"
#include "tests/support/wintest.h"

namespace maptest {

namespace {

const wchar_t kMainClass[] = L"ZorTestMapMain";
const wchar_t kCardClass[] = L"ZorTestMapCard";

void RegisterClasses()
{
    static bool done = false;
    if (done)
        return;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kCardClass;
    RegisterClassW(&wc);
    done = true;
}

}  // namespace

LRESULT CALLBACK MapHost::MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    MapHost* host = (MapHost*)GetWindowLongPtrW(hwnd, GWLP_USERDATA);
    if (host && msg == ZM_SET_RECORD_FILTER) {
        host->Filters.push_back(lParam ? (const wchar_t*)lParam : L"<none>");
        return 0;
    }
    if (host && msg == ZM_GET_RECORD_POINTS) {
        host->PointRequests.push_back(wParam);
        ZmPointBlock* block = (ZmPointBlock*)lParam;
        const size_t n = host->PointsX.size();
        block->X = (double*)malloc((n ? n : 1) * sizeof(double));
        block->Y = (double*)malloc((n ? n : 1) * sizeof(double));
        for (size_t i = 0; i < n; ++i) {
            block->X[i] = host->PointsX[i];
            block->Y[i] = host->PointsY[i];
        }
        return (LRESULT)n;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

MapHost::MapHost(int viewWidth, int viewHeight) : Width(viewWidth), Height(viewHeight)
{
    RegisterClasses();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = instance;
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainClass;
    RegisterClassW(&wc);
    const int left = 180;
    RECT frame = {0, 0, left + viewWidth + 4, viewHeight + 4};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    Main = CreateWindowExW(0, kMainClass, L"Mapa", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, frame.right - frame.left,
                           frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    SetWindowLongPtrW(Main, GWLP_USERDATA, (LONG_PTR)this);
    Tab = CreateWindowExW(0, kCardClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, left + viewWidth + 4,
                          viewHeight + 4, Main, nullptr, instance, nullptr);
    Card = CreateWindowExW(0, kCardClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, left + viewWidth + 4,
                           viewHeight + 4, Tab, nullptr, instance, nullptr);
    Scale = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 4, 4, left - 8, 22,
                            Card, (HMENU)(INT_PTR)IDC_MAPCARD_SCALE, instance, nullptr);
    Grids = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL, 4, 30,
                            left - 8, 200, Card, (HMENU)(INT_PTR)IDC_MAPCARD_GRIDS, instance, nullptr);
    SendMessageW(Grids, CB_ADDSTRING, 0, (LPARAM)L"");
    Legend = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                             WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                             4, 58, left - 8, viewHeight - 58, Card, (HMENU)(INT_PTR)IDC_MAPCARD_LEGEND, instance,
                             nullptr);
    SendMessageW(Legend, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = left - 14;
    SendMessageW(Legend, LVM_INSERTCOLUMNW, 0, (LPARAM)&column);
    Map = new CZMapWnd(Tab, instance, nullptr, LoadCursorW(nullptr, IDC_CROSS), LoadCursorW(nullptr, IDC_SIZEALL),
                       LoadCursorW(nullptr, IDC_HAND), nullptr, nullptr, nullptr);
    Map->CreateView(Card);
    MoveWindow(Map->View, left, 0, viewWidth + 4, viewHeight + 4, TRUE);
    wintest::PumpMessages();
}

MapHost::~MapHost()
{
    Map->DeleteLayerLists();
    const int count = (int)SendMessageW(Legend, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; ++i)
        FreeLegendItem(LegendItemAt(Legend, i));
    SendMessageW(Legend, LVM_DELETEALLITEMS, 0, 0);
    delete Map;
    DestroyWindow(Main);
    wintest::PumpMessages();
}

int MapHost::AddItem(LegendItem* item, bool checked, int index)
{
    LVITEMW lv = {};
    lv.mask = LVIF_TEXT | LVIF_PARAM;
    lv.iItem = index < 0 ? (int)SendMessageW(Legend, LVM_GETITEMCOUNT, 0, 0) : index;
    lv.pszText = item->Title;
    lv.lParam = (LPARAM)item;
    int row = (int)SendMessageW(Legend, LVM_INSERTITEMW, 0, (LPARAM)&lv);
    SetChecked(row, checked);
    const int count = (int)SendMessageW(Legend, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; ++i)
        LegendItemAt(Legend, i)->Order = i;
    return row;
}

void MapHost::SetChecked(int index, bool checked)
{
    LVITEMW lv = {};
    lv.stateMask = LVIS_STATEIMAGEMASK;
    lv.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(Legend, LVM_SETITEMSTATE, index, (LPARAM)&lv);
}

void MapHost::SelectGrid(const GridDef* grid)
{
    int row = (int)SendMessageW(Grids, CB_ADDSTRING, 0, (LPARAM)grid->Name);
    SendMessageW(Grids, CB_SETITEMDATA, row, (LPARAM)grid);
    SendMessageW(Grids, CB_SETCURSEL, row, 0);
}

bool MapHost::RenderToBitmap(GlBitmap* target, int width, int height)
{
    const int w = width ? width : Width, h = height ? height : Height;
    if (!target->Create(nullptr, w, h))
        return false;
    {
        OffscreenLayers aside(Legend);
        MapRenderContext ctx;
        Map->FillRenderContext(&ctx, target->Dc(), w, h);
        RenderLegendGl(&ctx, 0);
        glFinish();
    }
    target->Finish();
    return true;
}

std::vector<unsigned> MapHost::RenderOnScreen()
{
    std::vector<unsigned> rgba;
    HDC dc = GetDC(Map->View);
    HDC target = Map->BeginViewDrawing(dc, Width, Height);
    if (target) {
        MapRenderContext ctx;
        Map->FillRenderContext(&ctx, target, Width, Height);
        RenderLegendGl(&ctx, 0);
        glFinish();
        std::vector<unsigned char> bytes((size_t)Width * Height * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, Width, Height, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
        rgba.resize((size_t)Width * Height);
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                const unsigned char* p = &bytes[((size_t)(Height - 1 - y) * Width + x) * 4];
                rgba[(size_t)y * Width + x] = ((unsigned)p[0] << 16) | ((unsigned)p[1] << 8) | p[2];
            }
        Map->EndViewDrawing(dc, Width, Height);
    }
    ReleaseDC(Map->View, dc);
    return rgba;
}

COLORREF MapHost::PixelOf(const std::vector<unsigned>& rgba, int x, int y) const
{
    if (x < 0 || y < 0 || x >= Width || y >= Height || rgba.size() < (size_t)Width * Height)
        return CLR_INVALID;
    unsigned v = rgba[(size_t)y * Width + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

bool WriteLayer(const std::wstring& folder, const std::wstring& name, int type, const std::vector<shpw::Shape>& shapes)
{
    shpw::Bytes b = shpw::WriteShapefile(type, shapes);
    return shpw::WriteFileBytes(folder + L"\\" + name + L".shp", b.Shp) &&
           shpw::WriteFileBytes(folder + L"\\" + name + L".shx", b.Shx);
}

shpw::Shape MakeShape(int type, const std::vector<std::vector<double>>& parts)
{
    shpw::Shape s;
    s.Type = type;
    const bool hasParts = type != SHPT_POINT && type != SHPT_MULTIPOINT;
    for (const auto& part : parts) {
        if (hasParts)
            s.PartStarts.push_back((int)s.X.size());
        for (size_t i = 0; i + 1 < part.size(); i += 2) {
            s.X.push_back(part[i]);
            s.Y.push_back(part[i + 1]);
        }
    }
    return s;
}

LegendItem* LayerItem(const std::wstring& folder, const std::wstring& name)
{
    return NewShapeLegendItem(folder.c_str(), (name + L".shp").c_str(), nullptr, 16, 16, nullptr);
}

std::vector<unsigned> TopDown(const GlBitmap& bitmap)
{
    std::vector<unsigned> rgba((size_t)bitmap.Width() * bitmap.Height());
    GdiFlush();
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            rgba[(size_t)y * bitmap.Width() + x] = bitmap.Pixels()[(size_t)(bitmap.Height() - 1 - y) * bitmap.Width() + x] & 0xFFFFFF;
    return rgba;
}

int CountNear(const std::vector<unsigned>& rgba, COLORREF colour, int tolerance)
{
    int n = 0;
    for (unsigned v : rgba) {
        int r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
        if (abs(r - GetRValue(colour)) <= tolerance && abs(g - GetGValue(colour)) <= tolerance &&
            abs(b - GetBValue(colour)) <= tolerance)
            ++n;
    }
    return n;
}

}  // namespace maptest
