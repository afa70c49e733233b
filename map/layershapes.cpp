#include "map/layershapes.h"

#include <string>

#include "mainapp/zm_protocol.h"

void LoadItemShapes(LegendItem* item, const wchar_t* folder)
{
    if (!item || !item->Shapes)
        return;
    std::wstring path = folder ? folder : L"";
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    SHPHandle h = SHPOpenW((path + item->MapFile).c_str(), "rb");
    if (!h)
        return;
    int available = 0;
    SHPGetInfo(h, &available, nullptr, nullptr, nullptr);
    if (available < item->ShapeCount)
        item->ShapeCount = available;  // the file changed since its header was read
    for (int i = item->Shapes->GetCount(); i < item->ShapeCount; ++i) {
        LayerShape* entry = NewLayerShape(SHPReadObject(h, i));
        if (!entry)
            break;
        item->Shapes->Add(entry);
    }
    SHPClose(h);
}

void BuildShapeRuns(LayerShape* entry, double unitsPerPixel, double centreLat, double yFactor, int closed)
{
    ClearRuns(entry);
    entry->Built = 1;
    const SHPObject* s = entry->Shape;
    if (!s || s->nVertices <= 0)
        return;
    const int parts = s->nParts > 0 ? s->nParts : 1;
    for (int p = 0; p < parts; ++p) {
        const int start = s->nParts > 0 ? s->panPartStart[p] : 0;
        const int end = p + 1 < parts ? s->panPartStart[p + 1] : s->nVertices;
        double* run = nullptr;
        int n = ThinPolyline(end - start, unitsPerPixel, centreLat, yFactor, s->padfX + start, s->padfY + start, &run,
                             closed);
        if (!run)
            continue;
        entry->Runs->Add(run);
        entry->RunCounts->Add(n);
    }
}

bool IsGridItem(const LegendItem* item)
{
    return IsInfoLayer(item, INFO_GRID) || IsInfoLayer(item, INFO_FINE_GRID);
}

bool EnsureItemShapes(LegendItem* item, HWND mainWindow, int display, const wchar_t* folder)
{
    if (!item)
        return false;
    if (IsRecordLayer(item) && !item->Shapes) {
        if (item->InfoType == INFO_RECORDS)
            SendMessageW(mainWindow, ZM_SET_RECORD_FILTER, MAKEWPARAM(display, 0), (LPARAM)item->Condition);
        item->Shapes = BuildRecordPointsShape(mainWindow, display, item);
        for (int i = 0; item->Shapes && i < item->Shapes->GetCount(); ++i)
            ((LayerShape*)item->Shapes->GetItems()[i])->Built = 0;
    }
    if (!item->Shapes)
        return false;
    if (IsShapeLayer(item) && item->Shapes->GetCount() < item->ShapeCount)
        LoadItemShapes(item, folder);
    return true;
}
