#include "tools/samplemap/defaultworkspace.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "browse/workspace.h"
#include "tools/testkit/rawodbc.h"
#include "core/xmlaccess.h"
#include "mainapp/wssettings.h"
#include "map/griddef.h"
#include "map/legend.h"
#include "map/mapsettings.h"
#include "map/mapwnd.h"
#include "tools/samplemap/samplemap.h"
#include "shapefile/shapefile.h"

namespace zor {

namespace {

LegendItem* InfoItem(const wchar_t* title, int kind)
{
    return NewInfoLegendItem(title, nullptr, kind, 16, 16, nullptr);
}

// A layer of the sample folder, titled by its file name without the extension.
LegendItem* LayerItem(const wchar_t* file, int shapeType)
{
    LegendItem* item = (LegendItem*)calloc(1, sizeof(LegendItem));
    if (!item)
        return nullptr;
    wcsncpy(item->MapFile, file, LEGEND_TEXT_SIZE - 1);
    wcsncpy(item->Title, file, LEGEND_TEXT_SIZE - 1);
    if (wchar_t* dot = wcsrchr(item->Title, L'.'))
        *dot = 0;
    item->InfoType = shapeType;
    DefaultShapeStyle(shapeType, &item->Style);
    return item;
}

}  // namespace

long long SpeciesWithMostRecords(const std::wstring& database)
{
    RawOdbc raw;
    if (!raw.Open(database, false))
        return -1;
    return raw.QueryInt(L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC, SYSID LIMIT 1");
}

bool WriteDefaultWorkspace(const std::wstring& path, const std::wstring& mapFolder, long long species,
                           const std::wstring& database, std::wstring* error)
{
    // The legend from the top: records over the grid over the towns, rivers, regions and border.
    LegendItem* records = InfoItem(L"Zápisy", INFO_RECORDS);
    LegendItem* literature = InfoItem(L"Literární záznamy", INFO_LITERATURE);
    LegendItem* grid = InfoItem(L"Síť", INFO_GRID);
    LegendItem* fineGrid = InfoItem(L"Jemná síť", INFO_FINE_GRID);
    LegendItem* towns = LayerItem(kSampleTownLayer, SHPT_POINT);
    LegendItem* rivers = LayerItem(kSampleRiverLayer, SHPT_ARC);
    LegendItem* regions = LayerItem(kSampleRegionLayer, SHPT_POLYGON);
    LegendItem* border = LayerItem(kSampleBorderLayer, SHPT_POLYGON);
    LegendItem* all[] = {records, literature, grid, fineGrid, towns, rivers, regions, border};
    bool made = true;
    for (LegendItem* item : all)
        made = made && item;
    if (made) {
        records->Style.Fill = true;
        records->Style.FullCell = true;
        records->Style.FillColor = RGB(200, 30, 30);
        records->Style.FillTransp = 40;
        grid->Style.BorderColor = RGB(150, 150, 150);
        grid->Style.BorderWidth = 0.1;
        towns->Style.SymbSize = 1.6;
        towns->Style.Fill = true;
        towns->Style.FillColor = RGB(0, 0, 0);
        rivers->Style.BorderColor = RGB(40, 90, 200);
        rivers->Style.BorderWidth = 0.4;
        regions->Style.Fill = true;
        regions->Style.FillColor = RGB(250, 245, 225);
        regions->Style.BorderColor = RGB(120, 120, 120);
        border->Style.BorderWidth = 0.6;

        EnsureFolderOfFile(path.c_str());
        CXmlWriter writer(path.c_str());
        writer.AddComment(WORKSPACE_FILE_COMMENT);
        writer.CreateRoot(L"Settings");
        if (IXMLDOMElement* main = writer.AddElement(L"MainForm")) {
            // A window large enough for the map beside its legend.
            writer.SetIntAttr(main, L"WindowState", SW_SHOWNORMAL);
            writer.SetIntAttr(main, L"Left", 40);
            writer.SetIntAttr(main, L"Top", 40);
            writer.SetIntAttr(main, L"Width", 1000);
            writer.SetIntAttr(main, L"Height", 720);
            writer.SetIntAttr(main, L"ActiveTab", kFirstMapTab);
            if (IXMLDOMElement* sys = writer.AddChildElement(main, L"SysTab")) {
                writer.SetIntAttr(sys, L"CurId", (int)species);
                sys->Release();
            }
            if (IXMLDOMElement* maps = writer.AddChildElement(main, L"Maps")) {
                MapElementValues v = {};
                v.Name = L"Česká republika";
                v.SplitWidth = kMapDefaultSplitWidth;
                v.CoordSys = 1;  // geographic degrees, drawn with the latitude's aspect
                v.Grid = 1;  // the grid combo's first row is "no grid"; the list's first grid follows
                v.DPI = kMapDefaultDpi;
                v.MapPath = mapFolder.c_str();
                std::vector<LegendEntry> legend;
                for (LegendItem* item : all)
                    legend.push_back({item, item != literature && item != fineGrid});
                WriteMapElement(&writer, maps, 1, v, legend);
                maps->Release();
            }
            main->Release();
        }
        if (IXMLDOMElement* system = writer.AddElement(L"System")) {
            if (IXMLDOMElement* connection = writer.AddChildElement(system, L"Connection")) {
                writer.SetIntAttr(connection, L"ConnType", 1);  // a database file
                writer.SetStringAttr(connection, L"DBName", database.c_str());
                connection->Release();
            }
            system->Release();
        }
        if (IXMLDOMElement* grids = writer.AddElement(L"Grids")) {
            GridDef kfme;
            MakeKfmeGrid(&kfme);
            WriteGridElement(&writer, grids, &kfme, 1);
            grids->Release();
        }
        made = SUCCEEDED(writer.Save());
        if (!made && error)
            *error = L"the workspace file " + path + L" cannot be written";
    } else if (error) {
        *error = L"out of memory";
    }
    for (LegendItem* item : all)
        if (item)
            FreeLegendItem(item);
    return made;
}

}  // namespace zor
