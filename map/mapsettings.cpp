#include "map/mapsettings.h"

#include <commctrl.h>
#include <strsafe.h>

#include <cmath>

#include "search/querycriterion.h"
#include "core/containers.h"
#include "core/textutil.h"
#include "core/xmlaccess.h"
#include "map/legend.h"
#include "map/mapunits.h"
#include "map/mapwnd.h"
#include "map/querylayer.h"
#include "resources/zorna/resource.h"

namespace {

const int kValueTextSize = 128;  // a saved value is read back with at most 127 characters

IXMLDOMElement* AddNumbered(CXmlWriter* writer, IXMLDOMElement* parent, const wchar_t* prefix, int n)
{
    wchar_t tag[48];
    StringCchPrintfW(tag, 48, L"%s%d", prefix, n);
    return writer->AddChildElement(parent, tag);
}

void WriteStyle(CXmlWriter* w, IXMLDOMElement* e, const LegendStyle& s)
{
    w->SetShortAttr(e, L"StyleType", s.StyleType);
    w->SetShortAttr(e, L"Border", s.Border ? 1 : 0);
    w->SetShortAttr(e, L"Fill", s.Fill ? 1 : 0);
    w->SetShortAttr(e, L"Pattern", s.Pattern ? 1 : 0);
    w->SetShortAttr(e, L"FullCell", s.FullCell ? 1 : 0);
    w->SetIntAttr(e, L"BorderColor", (int)s.BorderColor);
    w->SetIntAttr(e, L"FillColor", (int)s.FillColor);
    w->SetIntAttr(e, L"PatternColor", (int)s.PatternColor);
    w->SetRealAttr(e, L"BorderWidth", s.BorderWidth);
    w->SetRealAttr(e, L"SymbSize", s.SymbSize);
    w->SetRealAttr(e, L"PatternSize", s.PatternSize);
    w->SetRealAttr(e, L"PatternWidth", s.PatternWidth);
    w->SetRealAttr(e, L"PatternRotation", s.PatternRotation);
    w->SetShortAttr(e, L"FillTransp", s.FillTransp);
    w->SetShortAttr(e, L"PatternType", s.PatternType);
    w->SetShortAttr(e, L"SymbShape", s.SymbShape);
    w->SetRealAttr(e, L"ShapeRotation", s.ShapeRotation);
}

void WriteQuery(CXmlWriter* w, IXMLDOMElement* e, const QueryCriterion& q)
{
    w->SetStringAttr(e, L"Name", q.Name);
    w->SetShortAttr(e, L"FieldType", q.FieldType);
    w->SetStringAttr(e, L"FieldName", q.FieldName);
    w->SetShortAttr(e, L"Operator", q.Operator);
    w->SetStringAttr(e, L"MinValue", q.MinValue);
    w->SetStringAttr(e, L"MaxValue", q.MaxValue);
    const int count = q.Values ? q.Values->GetCount() : 0;
    if (count <= 0)
        return;
    IXMLDOMElement* values = w->AddChildElement(e, L"Values");
    if (!values)
        return;
    for (int i = 0; i < count; ++i) {
        wchar_t name[32];
        StringCchPrintfW(name, 32, L"Val%d", i);
        const wchar_t* value = (const wchar_t*)q.Values->GetItems()[i];
        w->SetStringAttr(values, name, value ? value : L"");
    }
    values->Release();
}

// A present attribute replaces the field; booleans are on when not 0, and reals must be finite.
void ReadBool(CXmlReader* r, IXMLDOMElement* e, const wchar_t* name, bool* field)
{
    int v = *field ? 1 : 0;
    if (r->GetShortAttr(e, name, &v))
        *field = v != 0;
}

void ReadReal(CXmlReader* r, IXMLDOMElement* e, const wchar_t* name, double* field)
{
    double v = *field;
    if (r->GetRealAttr(e, name, &v) && std::isfinite(v))
        *field = v;
}

void ReadColour(CXmlReader* r, IXMLDOMElement* e, const wchar_t* name, COLORREF* field)
{
    int v = (int)*field;
    if (r->GetIntAttr(e, name, &v))
        *field = (COLORREF)v & 0xFFFFFF;
}

void ReadStyle(CXmlReader* r, IXMLDOMElement* e, LegendStyle* s)
{
    r->GetShortAttr(e, L"StyleType", &s->StyleType);
    ReadBool(r, e, L"Border", &s->Border);
    ReadBool(r, e, L"Fill", &s->Fill);
    ReadBool(r, e, L"Pattern", &s->Pattern);
    ReadBool(r, e, L"FullCell", &s->FullCell);
    ReadColour(r, e, L"BorderColor", &s->BorderColor);
    ReadColour(r, e, L"FillColor", &s->FillColor);
    ReadColour(r, e, L"PatternColor", &s->PatternColor);
    ReadReal(r, e, L"BorderWidth", &s->BorderWidth);
    ReadReal(r, e, L"SymbSize", &s->SymbSize);
    ReadReal(r, e, L"PatternSize", &s->PatternSize);
    ReadReal(r, e, L"PatternWidth", &s->PatternWidth);
    ReadReal(r, e, L"PatternRotation", &s->PatternRotation);
    int transparency = s->FillTransp;
    if (r->GetShortAttr(e, L"FillTransp", &transparency))
        s->FillTransp = transparency < 0 ? 0 : (transparency > 100 ? 100 : transparency);
    r->GetShortAttr(e, L"PatternType", &s->PatternType);
    r->GetShortAttr(e, L"SymbShape", &s->SymbShape);
    ReadReal(r, e, L"ShapeRotation", &s->ShapeRotation);
}

QueryCriterion* ReadQuery(CXmlReader* r, IXMLDOMElement* e)
{
    QueryCriterion* q = NewQueryCriterion();
    if (!q)
        return nullptr;
    r->GetStringAttrBuf(e, L"Name", q->Name, kQueryTextSize);
    r->GetShortAttr(e, L"FieldType", &q->FieldType);
    r->GetStringAttrBuf(e, L"FieldName", q->FieldName, kQueryTextSize);
    r->GetShortAttr(e, L"Operator", &q->Operator);
    r->GetStringAttrBuf(e, L"MinValue", q->MinValue, kQueryTextSize);
    r->GetStringAttrBuf(e, L"MaxValue", q->MaxValue, kQueryTextSize);
    if (IXMLDOMElement* values = r->SelectChildElement(e, L"Values")) {
        // Val0, Val1, ... up to the first one missing.
        for (int i = 0;; ++i) {
            wchar_t name[32], value[kValueTextSize];
            StringCchPrintfW(name, 32, L"Val%d", i);
            if (!r->GetStringAttrBuf(values, name, value, kValueTextSize))
                break;
            q->Values->Add(WideDup(value));
        }
        values->Release();
    }
    return q;
}

}  // namespace

void SaveLegendItem(CXmlWriter* writer, IXMLDOMElement* legend, const LegendItem* item, bool displayed)
{
    if (!item)
        return;
    IXMLDOMElement* e = AddNumbered(writer, legend, L"LegInfo", item->Order);
    if (!e)
        return;
    if (IsShapeLayer(item))
        writer->SetStringAttr(e, L"MapFile", item->MapFile);
    else
        writer->SetShortAttr(e, L"InfoType", item->InfoType);
    writer->SetStringAttr(e, L"Title", item->Title);
    writer->SetShortAttr(e, L"Displayed", displayed ? 1 : 0);
    if (IXMLDOMElement* style = writer->AddChildElement(e, L"Style")) {
        WriteStyle(writer, style, item->Style);
        style->Release();
    }
    if (item->Query) {
        if (IXMLDOMElement* query = writer->AddChildElement(e, L"Query")) {
            WriteQuery(writer, query, *item->Query);
            query->Release();
        }
    }
    e->Release();
}

void WriteMapElement(CXmlWriter* writer, IXMLDOMElement* parent, int index, const MapElementValues& v,
                     const std::vector<LegendEntry>& legend)
{
    IXMLDOMElement* e = AddNumbered(writer, parent, L"Map", index);
    if (!e)
        return;
    writer->SetStringAttr(e, L"Name", v.Name ? v.Name : L"");
    writer->SetShortAttr(e, L"SplitWidth", v.SplitWidth);
    writer->SetShortAttr(e, L"CoordSys", v.CoordSys);
    writer->SetShortAttr(e, L"Grid", v.Grid);
    writer->SetShortAttr(e, L"Display", v.Display);
    writer->SetShortAttr(e, L"DPI", v.DPI);
    if (v.MapPath && v.MapPath[0]) {
        writer->SetStringAttr(e, L"MapPath", v.MapPath);
        if (v.HasView) {
            writer->SetRealAttr(e, L"MapScale", v.MapScale);
            writer->SetRealAttr(e, L"XCorner", v.XCorner);
            writer->SetRealAttr(e, L"YCorner", v.YCorner);
        }
        if (IXMLDOMElement* items = writer->AddChildElement(e, L"Legend")) {
            for (const LegendEntry& entry : legend)
                SaveLegendItem(writer, items, entry.Item, entry.Displayed);
            items->Release();
        }
    }
    e->Release();
}

LegendItem* ReadLegendItem(CXmlReader* reader, IXMLDOMElement* element, bool* displayed)
{
    LegendItem* item = (LegendItem*)calloc(1, sizeof(LegendItem));
    if (!item)
        return nullptr;
    item->ImageIndex = -1;
    item->Rebuild = true;
    int kind = 0;
    if (reader->GetShortAttr(element, L"InfoType", &kind)) {
        item->InfoType = kind;
        DefaultInfoStyle(kind, &item->Style);
    } else {
        reader->GetStringAttrBuf(element, L"MapFile", item->MapFile, LEGEND_TEXT_SIZE);
        DefaultShapeStyle(SHPT_NULL, &item->Style);  // the header gives the type later
    }
    reader->GetStringAttrBuf(element, L"Title", item->Title, LEGEND_TEXT_SIZE);
    int shown = 0;
    *displayed = reader->GetShortAttr(element, L"Displayed", &shown) && shown > 0;
    if (IXMLDOMElement* style = reader->SelectChildElement(element, L"Style")) {
        ReadStyle(reader, style, &item->Style);
        style->Release();
    }
    if (IXMLDOMElement* query = reader->SelectChildElement(element, L"Query")) {
        item->Query = ReadQuery(reader, query);
        query->Release();
    }
    return item;
}

// ---- the card's settings

void CZMapWnd::SaveSettings(CXmlWriter* writer, IXMLDOMElement* parent, int index, const wchar_t* name)
{
    MapElementValues v = {};
    v.Name = name;
    v.SplitWidth = SplitWidth;
    v.CoordSys = CoordSys;
    v.Grid = Grid;
    v.Display = Display;
    v.DPI = DPI;
    v.MapPath = MapPath;
    v.HasView = !FitPending;
    v.MapScale = MapScale;
    v.XCorner = XCorner;
    v.YCorner = YCorner;
    std::vector<LegendEntry> legend;
    HWND list = LegendList();
    const int count = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; ++i)
        legend.push_back({LegendItemAt(list, i), LegendItemChecked(list, i)});
    WriteMapElement(writer, parent, index, v, legend);
}

int CZMapWnd::LoadSettings(CXmlReader* reader, IXMLDOMElement* element, wchar_t** name)
{
    if (name)
        *name = nullptr;
    if (!reader || !element)
        return 0;
    int v = 0;
    if (reader->GetShortAttr(element, L"SplitWidth", &v) && v > kMapMinPaneWidth) {
        SplitWidth = v;
        LayoutCard();
    }
    if (name)
        reader->GetStringAttr(element, L"Name", name);
    if (reader->GetShortAttr(element, L"CoordSys", &v) && (v == 0 || v == 1)) {
        CoordSys = v;
        SendDlgItemMessageW(Card, IDC_MAPCARD_COORDSYS, CB_SETCURSEL, v, 0);
    }
    // A grid beyond the list selects nothing, and is written back as it was read.
    if (reader->GetShortAttr(element, L"Grid", &v)) {
        Grid = v;
        SendMessageW(GridCombo(), CB_SETCURSEL, v, 0);
    }
    if (reader->GetShortAttr(element, L"Display", &v)) {
        Display = v > 0 ? 1 : 0;
        CheckRadioButton(Card, IDC_MAPCARD_SPECIES, IDC_MAPCARD_SELECTION,
                         Display ? IDC_MAPCARD_SELECTION : IDC_MAPCARD_SPECIES);
    }
    if (reader->GetShortAttr(element, L"DPI", &v) && v > 0)
        DPI = v;
    reader->GetStringAttrBuf(element, L"MapPath", MapPath, MAX_PATH);
    if (!MapPath[0])
        return 1;
    // A map without its view is fitted to its layers once the view has a size.
    double scale = 0;
    FitPending = !(reader->GetRealAttr(element, L"MapScale", &scale) && std::isfinite(scale) && scale > 0);
    if (!FitPending) {
        MapScale = scale;
        ShowScale();
    }
    double corner = 0;
    if (reader->GetRealAttr(element, L"XCorner", &corner) && std::isfinite(corner))
        XCorner = corner;
    if (reader->GetRealAttr(element, L"YCorner", &corner) && std::isfinite(corner))
        YCorner = corner;
    if (IXMLDOMElement* legend = reader->SelectChildElement(element, L"Legend")) {
        HDC dc = GetDC(Card);
        int index = 0;
        for (IXMLDOMElement* child = reader->FirstChildElement(legend, nullptr); child;
             child = reader->NextSiblingElement(child, nullptr)) {
            bool displayed = false;
            LegendItem* item = ReadLegendItem(reader, child, &displayed);
            if (!item)
                continue;
            item->ImageIndex = AddStylePreview(Images, &item->Style, 16, 16, dc);
            const int row = InsertLegendRow(item, index, displayed);
            if (row < 0) {
                FreeQueryCriterion(item->Query);
                item->Query = nullptr;
                FreeLegendItem(item);
                continue;
            }
            item->Order = row;
            item->Condition = item->Query ? BuildLayerQuery(item->Query) : nullptr;
            ++index;
        }
        ReleaseDC(Card, dc);
        legend->Release();
    }
    ReloadShapeFolder();
    UnitsPerPixel = UnitsPerPixelOfScale(MapScale, CoordSys, PixelsPerMmX);
    LayoutCard();
    return 1;
}
