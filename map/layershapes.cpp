#include "map/layershapes.h"

#include <cstdint>
#include <iterator>
#include <map>
#include <string>

#include "shellcontract/zm_protocol.h"

namespace {

// Byte ranges of a file that do not overlap.
class SpanSet
{
public:
    // Whether [offset, offset + size) overlaps no range already there.
    bool Free(size_t offset, size_t size) const
    {
        size_t end = offset + size < offset ? SIZE_MAX : offset + size;
        auto next = ends_.lower_bound(offset);  // the first range starting at or after offset
        if (next != ends_.end() && next->first < end)
            return false;
        return next == ends_.begin() || std::prev(next)->second <= offset;
    }
    void Add(size_t offset, size_t size) { ends_.emplace(offset, offset + size); }

private:
    std::map<size_t, size_t> ends_;  // start -> end
};

}  // namespace

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
    SpanSet loaded;
    for (int i = item->Shapes->GetCount() + item->NullShapes; i < item->ShapeCount; ++i) {
        // Each byte of the file is read into one shape at most: an index entry that names a
        // record read already (or part of one) gives no shape, so that the shapes never take
        // more than the file holds. Only a record that reads keeps its bytes: an entry whose
        // record does not read takes nothing from the records after it.
        size_t offset = 0, size = 0;
        SHPObject* shape = SHPRecordSpan(h, i, &offset, &size) && loaded.Free(offset, size) ? SHPReadObject(h, i)
                                                                                           : nullptr;
        if (!shape) {
            ++item->NullShapes;  // counted, never kept
            continue;
        }
        LayerShape* entry = NewLayerShape(shape);
        if (!entry) {
            SHPDestroyObject(shape);
            break;
        }
        loaded.Add(offset, size);
        item->Shapes->Add(entry);
    }
    SHPClose(h);
}

bool ShapesToLoad(const LegendItem* item)
{
    return IsShapeLayer(item) && item->Shapes && item->Shapes->GetCount() + item->NullShapes < item->ShapeCount;
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
    if (ShapesToLoad(item))
        LoadItemShapes(item, folder);
    return true;
}
