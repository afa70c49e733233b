// Map tabs in the program's own main form: a new map and its folder, the tools from the map menu
// and the toolbar, show all, rename and close, and the map tabs found again at the next start;
// the map printed and exported as a picture.
#include <gtest/gtest.h>

#include "common/filechooser.h"
#include "common/printing.h"
#include "map/griddef.h"
#include "map/legend.h"
#include "map/mapprint.h"
#include "map/mapwnd.h"
#include "mainapp/toolbars.h"
#include "reports/printform.h"
#include "resources/zorna/resource.h"
#include "browse/treecard.h"
#include "tools/samplemap/defaultworkspace.h"
#include "tools/samplemap/samplemap.h"
#include "shapefile/shapefile.h"
#include "shapefile/shpwriter.h"
#include "tests/mainapp/formhost.h"

using wintest::DialogScript;

namespace {

std::wstring MapTemplate()
{
    return formhost::SampleWith(L"maptabs_template", 300, {});
}

std::wstring g_folder;
bool ChooseTestFolder(HWND, const wchar_t*, std::wstring* folder)
{
    *folder = g_folder;
    return true;
}

// One polygon layer over part of the Czech Republic.
void WriteLayerFolder(const std::wstring& folder)
{
    shpw::Shape s;
    s.Type = SHPT_POLYGON;
    s.PartStarts = {0};
    s.X = {13, 17, 17, 13, 13};
    s.Y = {49, 49, 50.5, 50.5, 49};
    shpw::Bytes b = shpw::WriteShapefile(SHPT_POLYGON, {s});
    ASSERT_TRUE(shpw::WriteFileBytes(folder + L"\\kraje.shp", b.Shp));
    ASSERT_TRUE(shpw::WriteFileBytes(folder + L"\\kraje.shx", b.Shx));
}

// How many pixels of a window, as the screen shows it, are dark (text, frames).
// Dark pixels the screen shows in a rectangle of screen coordinates.
int DarkPixels(const RECT& r)
{
    HDC screen = GetDC(nullptr);
    int dark = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const COLORREF c = GetPixel(screen, x, y);
            if (c != CLR_INVALID && GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 96)
                ++dark;
        }
    ReleaseDC(nullptr, screen);
    return dark;
}

int DarkPixels(HWND hwnd)
{
    RECT r = {};
    GetWindowRect(hwnd, &r);
    return DarkPixels(r);
}

class MapTabs : public formhost::FormOnDatabase
{
protected:
    std::wstring TemplatePath() override { return MapTemplate(); }

    HWND TabControl() const { return GetDlgItem(wnd_, kWorkspaceTabControlId); }
    int TabCount() const { return (int)SendMessageW(TabControl(), TCM_GETITEMCOUNT, 0, 0); }
    int CurrentTab() const { return (int)SendMessageW(TabControl(), TCM_GETCURSEL, 0, 0); }
    std::wstring TabText(int tab) const
    {
        wchar_t text[128] = L"";
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 128;
        SendMessageW(TabControl(), TCM_GETITEMW, tab, (LPARAM)&item);
        return text;
    }
    void Send(int command, LPARAM lParam = 0)
    {
        SendMessageW(wnd_, WM_COMMAND, MAKEWPARAM(command, 0), lParam);
        wintest::PumpMessages();
    }
    bool MenuChecked(int command) const
    {
        return (GetMenuState(form_->MapMenu, command, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }
    bool ToolChecked(int command) const
    {
        return SendMessageW(form_->Toolbar->Toolbar, TB_ISBUTTONCHECKED, command, 0) != 0;
    }
};

}  // namespace

// A new map (601) in front with the map menu, its folder (604), the tools from the menu and the
// toolbar (405-407), show all (408), rename (603), and after a restart the same map; close (602).
TEST_F(MapTabs, NewMapToolsRenameCloseAndTheNextStart)
{
    wintest::ScopedTempFolder layers(L"maptabs_layers");
    ASSERT_NO_FATAL_FAILURE(WriteLayerFolder(layers.Path()));
    g_folder = layers.Path();
    FolderDialogFn previous = SetFolderChooser(ChooseTestFolder);

    const int fixed = TabCount();
    ASSERT_EQ(kFirstMapTab, fixed);
    Send(IDM_NEWMAP);
    ASSERT_EQ(fixed + 1, TabCount());
    EXPECT_EQ(kFirstMapTab, CurrentTab());
    EXPECT_EQ(L"Nová mapa", TabText(kFirstMapTab));
    CZMapWnd* map = ws_->GetMapCard(kFirstMapTab);
    ASSERT_NE(nullptr, map);
    EXPECT_TRUE(IsWindowVisible(map->Card));
    // The card's showing put the map menu into the bar.
    HMENU bar = GetMenu(wnd_);
    bool inBar = false;
    for (int i = 0; i < GetMenuItemCount(bar); ++i)
        inBar |= GetSubMenu(bar, i) == GetSubMenu(form_->MapMenu, 0);
    EXPECT_TRUE(inBar);
    // A map has no tree items: the item commands are grayed in the menu and the toolbar, the
    // map's own buttons are shown.
    auto itemCommandsEnabled = [&] {
        int enabled = 0;
        for (int command : {IDM_NEWITEM, IDM_RENAMEITEM, IDM_DELETEITEM, IDM_ITEMPROPERTIES})
            enabled += !(GetMenuState(GetMenu(wnd_), command, MF_BYCOMMAND) & MF_GRAYED);
        for (int button : {IDM_NEWITEM, IDM_DELETEITEM})
            enabled += SendMessageW(form_->Toolbar->Toolbar, TB_ISBUTTONENABLED, button, 0) != 0;
        return enabled;
    };
    EXPECT_EQ(0, itemCommandsEnabled());
    EXPECT_FALSE(SendMessageW(form_->Toolbar->Toolbar, TB_ISBUTTONHIDDEN, IDM_ZOOMIN, 0));
    ShowTab(TAB_SYSTEM);
    EXPECT_EQ(6, itemCommandsEnabled());
    ShowTab(kFirstMapTab);
    EXPECT_EQ(0, itemCommandsEnabled());

    Send(IDM_LOADGRAPHICS);
    ASSERT_EQ(5, (int)SendMessageW(map->LegendList(), LVM_GETITEMCOUNT, 0, 0));
    EXPECT_STREQ(L"kraje.shp", LegendItemAt(map->LegendList(), 4)->MapFile);
    EXPECT_TRUE(LegendItemChecked(map->LegendList(), 4)) << "the loaded layer is shown";

    struct Tool {
        int command;
        LPARAM from;  // 0 the menu, else the toolbar
        int tool;
    } tools[] = {
        {IDM_ZOOMIN, 0, MAP_TOOL_ZOOM_IN},
        {IDM_ZOOMOUT, 1, MAP_TOOL_ZOOM_OUT},
        {IDM_PAN, 0, MAP_TOOL_PAN},
        {IDM_ZOOMIN, 1, MAP_TOOL_ZOOM_IN},
    };
    for (const Tool& t : tools) {
        Send(t.command, t.from ? (LPARAM)form_->Toolbar->Toolbar : 0);
        EXPECT_EQ(t.tool, map->Tool) << t.command;
        for (int command = IDM_ZOOMIN; command <= IDM_PAN; ++command) {
            EXPECT_EQ(command == t.command, MenuChecked(command)) << t.command << " menu " << command;
            EXPECT_EQ(command == t.command, ToolChecked(command)) << t.command << " toolbar " << command;
        }
    }
    // Show all fits the layer again after a typed scale.
    const double fitted = map->MapScale;
    ASSERT_TRUE(map->SetScaleKeepingCentre(fitted * 7));
    Send(IDM_SHOWALL);
    EXPECT_DOUBLE_EQ(fitted, map->MapScale);

    RECT longTab = {};
    SendMessageW(TabControl(), TCM_GETITEMRECT, kFirstMapTab, (LPARAM)&longTab);
    DialogScript rename;
    rename.Then(L"Přejmenování mapy", [](HWND d) {
        EXPECT_EQ(L"Nová mapa", wintest::WindowText(GetDlgItem(d, IDC_RENAME_EDIT)));
        SetDlgItemTextW(d, IDC_RENAME_EDIT, L"Kraje");
        DialogScript::PostClick(d, IDOK);
    });
    ASSERT_TRUE(Command(IDM_RENAMEMAP, rename));
    EXPECT_EQ(L"Kraje", TabText(kFirstMapTab));
    {
        // A second map may not take the first one's name (in any case), nor a name of blanks;
        // each refusal is said over the rename dialog, which stays.
        Send(IDM_NEWMAP);
        boxes_.reset();
        boxes_.reset(new wintest::MsgBoxRecorder());
        std::vector<bool> stayed;
        DialogScript second;
        second.Then(L"Přejmenování mapy", [&](HWND d) {
            for (const wchar_t* name : {L"kraje", L"   ", L"Řeky"}) {
                SetDlgItemTextW(d, IDC_RENAME_EDIT, name);
                SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(d, IDOK));
                stayed.push_back(IsWindow(d) && IsWindowVisible(d));
                if (!stayed.back())
                    return;
                EXPECT_EQ(GetDlgItem(d, IDC_RENAME_EDIT), GetFocus()) << std::wstring(name).size();
            }
        });
        ASSERT_TRUE(Command(IDM_RENAMEMAP, second));
        EXPECT_EQ((std::vector<bool>{true, true, false}), stayed);
        ASSERT_EQ(2u, Boxes().size());
        EXPECT_EQ(L"Mapa s názvem kraje již je otevřena. Zadejte jiný název.", Boxes()[0].text);
        EXPECT_EQ(0u, Boxes()[1].text.find(L"Název mapy nesmí být prázdný."));
        EXPECT_EQ(L"Řeky", TabText(kFirstMapTab + 1));
        EXPECT_EQ(L"Kraje", TabText(kFirstMapTab));
        Send(IDM_CLOSEMAP);
        ShowTab(kFirstMapTab);
    }
    // The main window repainted (the map menu put into the bar) must not leave the card's
    // boxes, labels and combos blank: each shows its dark text.
    RedrawWindow(wnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
    wintest::PumpMessages(300);
    wintest::SaveScreenshot(wnd_, L"maptab");
    // Where the longer name was, the tab strip is drawn anew: no letters of "Nová mapa" stay.
    RECT shortTab = {};
    SendMessageW(TabControl(), TCM_GETITEMRECT, kFirstMapTab, (LPARAM)&shortTab);
    ASSERT_LT(shortTab.right + 4, longTab.right);
    RECT vacated = {shortTab.right + 4, longTab.top + 2, longTab.right, longTab.bottom - 2};
    MapWindowPoints(TabControl(), nullptr, reinterpret_cast<POINT*>(&vacated), 2);
    EXPECT_EQ(0, DarkPixels(vacated));
    for (int id : {IDC_MAPCARD_DISPLAYGROUP, IDC_MAPCARD_SPECIES, IDC_MAPCARD_COORDLABEL, IDC_MAPCARD_COORDSYS})
        EXPECT_GT(DarkPixels(GetDlgItem(map->Card, id)), 5) << id;

    // The next start shows the map tab as it was left.
    CloseForm(true);
    ASSERT_NO_FATAL_FAILURE(OpenForm());
    ASSERT_EQ(fixed + 1, TabCount());
    EXPECT_EQ(L"Kraje", TabText(kFirstMapTab));
    map = ws_->GetMapCard(kFirstMapTab);
    ASSERT_NE(nullptr, map);
    EXPECT_EQ(layers.Path(), std::wstring(map->MapPath));
    ASSERT_EQ(5, (int)SendMessageW(map->LegendList(), LVM_GETITEMCOUNT, 0, 0));
    EXPECT_NEAR(fitted, map->MapScale, 1e-3);

    ShowTab(kFirstMapTab);
    Send(IDM_CLOSEMAP);
    EXPECT_EQ(fixed, TabCount());
    EXPECT_EQ(kFirstMapTab - 1, CurrentTab());
    EXPECT_EQ(0, ws_->GetMapCount());
    EXPECT_EQ(6, itemCommandsEnabled()) << "the page that came to the front has them";
    SetFolderChooser(previous);
}

namespace {

// The save dialog answered with a file and a type; the offered filter and proposed type are kept.
std::wstring g_saveAs;
int g_saveType = 0;
std::wstring g_offeredFilter;
DWORD g_proposedType = 0;
BOOL WINAPI ChooseTestSaveFile(OPENFILENAMEW* ofn)
{
    g_offeredFilter.clear();
    for (const wchar_t* p = ofn->lpstrFilter; p && *p; p += wcslen(p) + 1)
        g_offeredFilter += std::wstring(p) + L"|";
    g_proposedType = ofn->nFilterIndex;
    wcscpy_s(ofn->lpstrFile, ofn->nMaxFile, g_saveAs.c_str());
    ofn->nFilterIndex = (DWORD)g_saveType;
    return TRUE;
}

std::vector<HWND> g_printOwners;
HGLOBAL g_printDevNames = nullptr;
BOOL WINAPI RecordPrintDialog(PRINTDLGW* pd)
{
    g_printOwners.push_back(pd->hwndOwner);
    g_printDevNames = pd->hDevNames;
    return FALSE;
}

std::vector<PAGESETUPDLGW> g_setupsSeen;
BOOL WINAPI SeePageSetup(PAGESETUPDLGW* psd)
{
    g_setupsSeen.push_back(*psd);
    return FALSE;
}

std::string FileStart(const std::wstring& path, size_t n)
{
    std::string bytes(n, '\0');
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f)
        return std::string();
    bytes.resize(fread(&bytes[0], 1, n, f));
    fclose(f);
    return bytes;
}

}  // namespace

// Export (2004) on a map tab: the picture types offered, the chosen one remembered, the
// PostScript titled with the selection; a bitmap asks its resolution, and Storno there asks
// whether to give up: No returns to the resolution, Yes writes nothing. Print (106) on a map tab
// reaches the card's printing with the print form's page set-up.
TEST_F(MapTabs, ExportAndPrintTheMapOfAMapTab)
{
    wintest::ScopedTempFolder layers(L"maptabs_export");
    ASSERT_NO_FATAL_FAILURE(WriteLayerFolder(layers.Path()));
    g_folder = layers.Path();
    FolderDialogFn previousFolder = SetFolderChooser(ChooseTestFolder);
    FileDialogFn previousSave = SetSaveFileChooser(ChooseTestSaveFile);
    Send(IDM_NEWMAP);
    Send(IDM_LOADGRAPHICS);
    CZMapWnd* map = ws_->GetMapCard(kFirstMapTab);
    ASSERT_NE(nullptr, map);
    ASSERT_TRUE(map->HasExtent);
    map->Display = 1;  // the selection's records: the picture's title is "Výběr"

    form_->LastExpImgType = 2;
    g_saveAs = layers.File(L"mapa.eps");
    g_saveType = 3;
    Send(2004);
    EXPECT_EQ(L"Bitmapa Windows (*.bmp)|*.bmp|Rozšířený metasoubor (EMF) (*.emf)|*.emf|"
              L"Encapsulated PostScript (*.eps)|*.eps|",
              g_offeredFilter);
    EXPECT_EQ(2u, g_proposedType);
    EXPECT_EQ(3, form_->LastExpImgType);
    const std::string eps = FileStart(g_saveAs, 200);
    EXPECT_EQ(0u, eps.find("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 ")) << eps;
    EXPECT_NE(std::string::npos, eps.find("%%Title:V\xFD" "b\xECr\n")) << eps;

    g_saveAs = layers.File(L"mapa.bmp");
    g_saveType = 1;
    boxes_.reset();
    boxes_.reset(new wintest::MsgBoxRecorder({IDYES, IDNO}));
    DialogScript giveUp;
    giveUp.Then(L"Export do BMP", [](HWND d) { DialogScript::PostClick(d, IDCANCEL); });
    ASSERT_TRUE(Command(2004, giveUp));
    ASSERT_EQ(1u, Boxes().size());
    EXPECT_EQ(L"Potvrzení", Boxes()[0].caption);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(g_saveAs.c_str()));
    EXPECT_EQ(1, form_->LastExpImgType);

    DialogScript again;
    again.Then(L"Export do BMP", [](HWND d) { DialogScript::PostClick(d, IDCANCEL); })
        .Then(L"Export do BMP", [](HWND d) {
            wintest::SaveScreenshot(d, L"map_export_dpi");
            SetDlgItemTextW(d, IDC_EXPBMP_DPI, L"72");
            DialogScript::PostClick(d, IDOK);
        });
    ASSERT_TRUE(Command(2004, again));
    EXPECT_EQ(2u, Boxes().size());
    EXPECT_EQ(72, map->DPI);
    const std::string bmp = FileStart(g_saveAs, 54);
    ASSERT_EQ(54u, bmp.size());
    EXPECT_EQ("BM", bmp.substr(0, 2));
    BITMAPINFOHEADER header;
    memcpy(&header, bmp.data() + 14, sizeof(header));
    EXPECT_GT(header.biWidth, 0);
    EXPECT_NE(0, header.biHeight);

    // Print (106) and the toolbar's print (2005) reach the card's printing with the print form's
    // page set-up; the printer dialog is cancelled. With no printer at all the card says so.
    g_printOwners.clear();
    boxes_.reset();
    boxes_.reset(new wintest::MsgBoxRecorder());
    PrintDialogFn previousPrint = SetPrintDialog(RecordPrintDialog);
    Send(IDM_PRINT);
    Send(IDM_TBPRINT, (LPARAM)form_->Toolbar->Toolbar);
    SetPrintDialog(previousPrint);
    if (IsPrinterInstalled()) {
        EXPECT_EQ(std::vector<HWND>({wnd_, wnd_}), g_printOwners);
        EXPECT_TRUE(Boxes().empty());
        // The dialog got the shared set-up's printer, and the set-up keeps what it returned.
        EXPECT_NE(nullptr, g_printDevNames);
        EXPECT_EQ(g_printDevNames, ws_->ReportForm->GetPageSetup()->hDevNames);
    } else {
        EXPECT_TRUE(g_printOwners.empty());
        ASSERT_EQ(2u, Boxes().size());
        EXPECT_EQ(L"Chyba", Boxes()[0].caption);
    }
    EXPECT_EQ(kFirstMapTab, CurrentTab());
    if (IsPrinterInstalled()) {
        // The page set-up on the map's tab, after the map's printing took the set-up: margins in
        // millimetres, as on any other page.
        PageSetupDialogFn previousSetup = SetPageSetupDialog(SeePageSetup);
        g_setupsSeen.clear();
        Send(IDM_PAGESETUP);
        SetPageSetupDialog(previousSetup);
        ASSERT_EQ(1u, g_setupsSeen.size());
        EXPECT_EQ((DWORD)PSD_INHUNDREDTHSOFMILLIMETERS,
                  g_setupsSeen[0].Flags & (PSD_INHUNDREDTHSOFMILLIMETERS | PSD_INTHOUSANDTHSOFINCHES));
        EXPECT_EQ(2000, g_setupsSeen[0].rtMargin.left);
    }
    SetSaveFileChooser(previousSave);
    SetFolderChooser(previousFolder);
}

// A fresh installation's workspace opens on the sample map in front: the KFME grid chosen, the
// records as filled squares over the shown layers, the species with the most records selected.
// The next start shows the map as the user left it.
TEST_F(MapTabs, TheFirstStartShowsTheSampleMapAndTheNextStartKeepsIt)
{
    wintest::ScopedTempFolder layers(L"maptabs_sample");
    ASSERT_TRUE(zor::WriteSampleMap(layers.Path(), zor::SampleMapOptions(), nullptr, nullptr));
    CloseForm(false);
    const long long species = zor::SpeciesWithMostRecords(path_);
    ASSERT_GT(species, 0);
    ASSERT_TRUE(zor::WriteDefaultWorkspace(folder_ + L"\\Pracovni.xml", layers.Path(), species, path_, nullptr));
    ASSERT_NO_FATAL_FAILURE(OpenForm());

    ASSERT_EQ(kFirstMapTab + 1, TabCount());
    EXPECT_EQ(kFirstMapTab, CurrentTab());
    EXPECT_EQ(L"Česká republika", TabText(kFirstMapTab));
    EXPECT_EQ(species, ws_->SysCard->GetCurrentId());
    CZMapWnd* map = ws_->GetMapCard(kFirstMapTab);
    ASSERT_NE(nullptr, map);
    EXPECT_TRUE(IsWindowVisible(map->Card));
    EXPECT_EQ(1, map->Grid);
    wchar_t grid[64] = L"";
    SendMessageW(map->GridCombo(), CB_GETLBTEXT, map->Grid, (LPARAM)grid);
    EXPECT_STREQ(L"KFME", grid);
    // The workspace holds the grid's steps themselves, as the grid file does.
    const GridDef* kfme = (const GridDef*)SendMessageW(map->GridCombo(), CB_GETITEMDATA, map->Grid, 0);
    ASSERT_NE(nullptr, kfme);
    EXPECT_EQ(1.0 / 6, kfme->LonCoarseStep);
    EXPECT_EQ(1.0 / 12, kfme->LonFineStep);
    HWND legend = map->LegendList();
    ASSERT_EQ(8, (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0));
    const LegendItem* records = LegendItemAt(legend, 0);
    EXPECT_TRUE(IsInfoLayer(records, INFO_RECORDS));
    EXPECT_TRUE(records->Style.FullCell && records->Style.Fill);
    const bool shown[] = {true, false, true, false, true, true, true, true};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(shown[i], LegendItemChecked(legend, i)) << i;
        if (i >= 4) {
            EXPECT_TRUE(LegendItemAt(legend, i)->FileOpened) << i;
        }
    }
    wintest::PumpMessages(300);
    wintest::SaveScreenshot(wnd_, L"samplemaptab");

    // The user hides the regions; the next start shows the map so.
    LVITEMW check = {};
    check.stateMask = LVIS_STATEIMAGEMASK;
    check.state = INDEXTOSTATEIMAGEMASK(1);
    SendMessageW(legend, LVM_SETITEMSTATE, 6, (LPARAM)&check);
    CloseForm(true);
    ASSERT_NO_FATAL_FAILURE(OpenForm());
    EXPECT_EQ(kFirstMapTab, CurrentTab());
    map = ws_->GetMapCard(kFirstMapTab);
    ASSERT_NE(nullptr, map);
    ASSERT_EQ(8, (int)SendMessageW(map->LegendList(), LVM_GETITEMCOUNT, 0, 0));
    EXPECT_FALSE(LegendItemChecked(map->LegendList(), 6));
    EXPECT_TRUE(LegendItemChecked(map->LegendList(), 7));
    EXPECT_EQ(1, map->Grid);
}
