#include "map/legend.h"

#include <strsafe.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

#include "shellcontract/zm_protocol.h"
#include "map/layershapes.h"
#include "map/pointgroups.h"
#include "map/stylepreview.h"

namespace {

void BaseStyle(LegendStyle* s)
{
    ZeroMemory(s, sizeof *s);
    s->Border = true;
    s->FillColor = RGB(255, 255, 255);
    s->BorderWidth = 0.2;
    s->PatternSize = 0.1;
    s->PatternWidth = 1.0;
    s->PatternRotation = 45.0;
}

LegendItem* NewItem()
{
    LegendItem* item = (LegendItem*)calloc(1, sizeof(LegendItem));
    if (item) {
        item->ImageIndex = -1;
        item->Rebuild = true;
    }
    return item;
}

std::wstring LayerPath(const wchar_t* folder, const wchar_t* fileName)
{
    std::wstring path = folder ? folder : L"";
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    return path + (fileName ? fileName : L"");
}

bool FiniteOrdered(double lo, double hi)
{
    return std::isfinite(lo) && std::isfinite(hi) && lo <= hi && std::isfinite(hi - lo);
}

// Whether a layer's box in x and y can be a map's extent.
bool UsableBounds(const double* min, const double* max)
{
    return FiniteOrdered(min[0], max[0]) && FiniteOrdered(min[1], max[1]);
}

// The box of the layer's shapes in place of its header's; unchanged when no shape has a vertex.
void BoundsFromShapes(LegendItem* item, const wchar_t* folder)
{
    LoadItemShapes(item, folder);
    bool any = false;
    for (int i = 0; i < item->Shapes->GetCount(); ++i) {
        const SHPObject* s = ((const LayerShape*)item->Shapes->GetItems()[i])->Shape;
        if (!s || s->nVertices <= 0)
            continue;
        const double lo[4] = {s->dfXMin, s->dfYMin, s->dfZMin, s->dfMMin};
        const double hi[4] = {s->dfXMax, s->dfYMax, s->dfZMax, s->dfMMax};
        for (int k = 0; k < 4; ++k) {
            item->BoundsMin[k] = any ? std::min(item->BoundsMin[k], lo[k]) : lo[k];
            item->BoundsMax[k] = any ? std::max(item->BoundsMax[k], hi[k]) : hi[k];
        }
        any = true;
    }
}

}  // namespace

void DefaultShapeStyle(int shapeType, LegendStyle* style)
{
    BaseStyle(style);
    switch (shapeType) {
    case SHPT_POLYGON: case SHPT_POLYGONZ: case SHPT_POLYGONM:
        style->StyleType = STYLE_AREA;
        style->SymbSize = 0.1;
        break;
    case SHPT_ARC: case SHPT_ARCZ: case SHPT_ARCM:
        style->StyleType = STYLE_LINE;
        style->SymbSize = 0.1;
        break;
    default:
        style->StyleType = STYLE_SYMBOL;
        style->SymbSize = 2.6;
        break;
    }
}

void DefaultInfoStyle(int kind, LegendStyle* style)
{
    BaseStyle(style);
    if (kind == INFO_GRID || kind == INFO_FINE_GRID) {
        style->StyleType = STYLE_LINE;
        style->SymbSize = 0.1;
    } else {
        style->StyleType = STYLE_SYMBOL;
        style->SymbSize = 2.6;
    }
}

int ReadShapeFileInfo(const wchar_t* folder, const wchar_t* fileName, LegendItem* item)
{
    if (!item)
        return 0;
    FreeShapeList(item->Shapes);
    item->Shapes = new CPtrArray(PTRARRAY_BORROWS, 256, 64);
    item->FileOpened = 0;
    // The whole wide path: folders outside the ANSI code page and long names open as they are.
    SHPHandle h = SHPOpenW(LayerPath(folder, fileName).c_str(), "rb");
    if (!h)
        return 0;
    SHPGetInfo(h, &item->ShapeCount, &item->InfoType, item->BoundsMin, item->BoundsMax);
    SHPClose(h);
    item->NullShapes = 0;
    item->FileOpened = 1;
    if (!UsableBounds(item->BoundsMin, item->BoundsMax))
        BoundsFromShapes(item, folder);
    return 1;
}

int AddStylePreview(HIMAGELIST images, const LegendStyle* style, int width, int height, HDC dc)
{
    if (!images)
        return -1;
    HBITMAP preview = RenderStylePreview(dc, width, height, style, 0);
    if (!preview)
        return -1;
    int index = ImageList_Add(images, preview, nullptr);
    DeleteObject(preview);
    return index;
}

int SetStylePreview(HIMAGELIST images, int index, const LegendStyle* style, int width, int height, HDC dc)
{
    if (!images)
        return index;
    if (index < 0 || index >= ImageList_GetImageCount(images))
        return AddStylePreview(images, style, width, height, dc);
    HBITMAP preview = RenderStylePreview(dc, width, height, style, 0);
    if (!preview)
        return index;
    ImageList_Replace(images, index, preview, nullptr);
    DeleteObject(preview);
    return index;
}

LegendItem* NewShapeLegendItem(const wchar_t* folder, const wchar_t* fileName, HIMAGELIST images, int width,
                               int height, HDC dc)
{
    LegendItem* item = NewItem();
    if (!item)
        return nullptr;
    StringCchCopyW(item->MapFile, LEGEND_TEXT_SIZE, fileName ? fileName : L"");
    StringCchCopyW(item->Title, LEGEND_TEXT_SIZE, item->MapFile);
    wchar_t* dot = wcsrchr(item->Title, L'.');
    if (dot)
        *dot = 0;
    ReadShapeFileInfo(folder, fileName, item);
    DefaultShapeStyle(item->InfoType, &item->Style);
    item->ImageIndex = AddStylePreview(images, &item->Style, width, height, dc);
    return item;
}

LegendItem* NewInfoLegendItem(const wchar_t* title, HIMAGELIST images, int kind, int width, int height, HDC dc)
{
    LegendItem* item = NewItem();
    if (!item)
        return nullptr;
    StringCchCopyW(item->Title, LEGEND_TEXT_SIZE, title ? title : L"");
    item->InfoType = kind;
    DefaultInfoStyle(kind, &item->Style);
    item->ImageIndex = AddStylePreview(images, &item->Style, width, height, dc);
    return item;
}

LayerShape* NewLayerShape(SHPObject* shape)
{
    LayerShape* entry = (LayerShape*)calloc(1, sizeof(LayerShape));
    if (!entry)
        return nullptr;
    entry->Shape = shape;
    entry->Runs = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
    entry->RunCounts = new CIntArray(16, 4);
    entry->TriangleVertices = -1;
    return entry;
}

void ClearRuns(LayerShape* entry)
{
    if (!entry)
        return;
    entry->Runs->RemoveAll(1);
    entry->RunCounts->RemoveAll();
    // The triangles were made from the runs.
    free(entry->Triangles);
    entry->Triangles = nullptr;
    entry->TriangleVertices = -1;
    entry->InLayerLists = 0;
}

void FreeShapeList(CPtrArray* shapes)
{
    if (!shapes)
        return;
    for (int i = 0; i < shapes->GetCount(); ++i) {
        LayerShape* entry = (LayerShape*)shapes->GetItems()[i];
        if (!entry)
            continue;
        SHPDestroyObject(entry->Shape);
        delete entry->Runs;  // with the run arrays
        delete entry->RunCounts;
        FreePointGroups(entry->Groups);
        free(entry->Triangles);
        free(entry);
    }
    delete shapes;
}

void FreeLegendItem(LegendItem* item)
{
    if (!item)
        return;
    FreeShapeList(item->Shapes);
    free(item->Condition);
    free(item);
}

int ThinPolyline(int count, double tolerance, double centreLat, double yFactor, const double* x,
                 const double* y, double** run, int closed)
{
    *run = nullptr;
    if (count <= 0 || !x || !y)
        return 0;
    const double f = yFactor != 0 ? yFactor : 1.0;
    // Sized from the input once: every vertex may stay, plus the closing copy.
    double* out = (double*)malloc(((size_t)count + 1) * 2 * sizeof(double));
    if (!out)
        return 0;
    const double limit = 3.0 * tolerance * tolerance;
    int n = 0;
    double lastX = x[0], lastY = centreLat + (y[0] - centreLat) / f;
    out[0] = lastX;
    out[1] = lastY;
    n = 1;
    for (int i = 1; i < count - 1; ++i) {
        double vx = x[i], vy = centreLat + (y[i] - centreLat) / f;
        double dx = vx - lastX, dy = vy - lastY;
        if (dx * dx + dy * dy > limit) {
            out[2 * n] = lastX = vx;
            out[2 * n + 1] = lastY = vy;
            ++n;
        }
    }
    if (count > 1) {
        out[2 * n] = x[count - 1];
        out[2 * n + 1] = centreLat + (y[count - 1] - centreLat) / f;
        ++n;
    }
    if (closed) {
        out[2 * n] = out[0];
        out[2 * n + 1] = out[1];
        ++n;
    }
    // Give back what thinning dropped when that is much.
    if (n < count / 2) {
        double* smaller = (double*)realloc(out, (size_t)n * 2 * sizeof(double));
        if (smaller)
            out = smaller;
    }
    *run = out;
    return n;
}

CPtrArray* BuildRecordPointsShape(HWND mainWindow, int display, LegendItem* item)
{
    if (!item)
        return nullptr;
    ZmPointBlock block = {nullptr, nullptr};
    // The main form's dialog procedure answers TRUE, so the result comes back as the count.
    long long count = (long long)SendMessageW(mainWindow, ZM_GET_RECORD_POINTS, MAKEWPARAM(display, item->InfoType),
                                              (LPARAM)&block);
    CPtrArray* list = nullptr;
    if (count > 0 && count <= INT_MAX && block.X && block.Y) {
        // Points without real coordinates stay off the map.
        int kept = 0;
        for (int i = 0; i < (int)count; ++i) {
            if (std::isfinite(block.X[i]) && std::isfinite(block.Y[i])) {
                block.X[kept] = block.X[i];
                block.Y[kept] = block.Y[i];
                ++kept;
            }
        }
        SHPObject* shape = SHPCreateSimpleObject(SHPT_MULTIPOINT, kept, block.X, block.Y, nullptr);
        LayerShape* entry = shape ? NewLayerShape(shape) : nullptr;
        if (entry) {
            list = new CPtrArray(PTRARRAY_BORROWS, 4, 4);
            list->Add(entry);
            item->ShapeCount = 1;
        } else {
            SHPDestroyObject(shape);
        }
    }
    // Both arrays are the map's whatever the answer was.
    free(block.X);
    free(block.Y);
    return list;
}

bool ShapeLayersExtent(LegendItem* const* items, int count, double* minX, double* minY, double* maxX,
                       double* maxY)
{
    bool any = false;
    for (int i = 0; i < count; ++i) {
        const LegendItem* item = items[i];
        if (!IsShapeLayer(item) || !item->FileOpened || item->ShapeCount <= 0)
            continue;
        if (!UsableBounds(item->BoundsMin, item->BoundsMax))
            continue;
        if (!any || item->BoundsMin[0] < *minX) *minX = item->BoundsMin[0];
        if (!any || item->BoundsMin[1] < *minY) *minY = item->BoundsMin[1];
        if (!any || item->BoundsMax[0] > *maxX) *maxX = item->BoundsMax[0];
        if (!any || item->BoundsMax[1] > *maxY) *maxY = item->BoundsMax[1];
        any = true;
    }
    return any;
}

LegendItem* LegendItemAt(HWND legend, int index)
{
    LVITEMW lv = {};
    lv.mask = LVIF_PARAM;
    lv.iItem = index;
    if (!SendMessageW(legend, LVM_GETITEMW, 0, (LPARAM)&lv))
        return nullptr;
    return (LegendItem*)lv.lParam;
}

bool LegendItemChecked(HWND legend, int index)
{
    UINT state = (UINT)SendMessageW(legend, LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK);
    return (state >> 12) == 2;
}
