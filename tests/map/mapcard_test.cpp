// The map card MAPCARD on real windows: the legend of a folder of shapefiles, the legend's
// editing, ordering and context menu, the splitter and the typed scale, the map's settings in the
// workspace file, the query layers' conditions as the record lists' Filter reads them, and the
// style, list and resolution dialogs.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "search/querycriterion.h"
#include "common/colorchooser.h"
#include "common/filechooser.h"
#include "common/popupmenu.h"
#include "core/attrdef.h"
#include "core/containers.h"
#include "core/ctlfill.h"
#include "core/fields.h"
#include "core/xmlaccess.h"
#include "dataaccess/filterexpr.h"
#include "shellcontract/zm_protocol.h"
#include "map/expbmpdlg.h"
#include "map/legendstyledlg.h"
#include "map/maplegend.h"
#include "map/mapunits.h"
#include "map/mnglistdlg.h"
#include "map/querylayer.h"
#include "resources/zorna/resource.h"
#include "tools/samplemap/dbfwriter.h"
#include "tools/samplemap/samplemap.h"
#include "tests/map/maphost.h"
#include "tests/support/dialogscript.h"
#include "tests/support/wintest.h"

using namespace maptest;

namespace {

const wchar_t kMainClass[] = L"ZorTestCardMain";

// A real map card on a tab window of a main window that takes every record filter.
struct CardHost
{
    HWND Main = nullptr;
    HWND Tab = nullptr;
    CZMapWnd* Map = nullptr;
    CEditLegendStyleDlg* StyleDlg = nullptr;
    // What the card's criteria editor does; none answers Storno.
    QueryCriterionEditor Editor;

    CardHost()
    {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = MainProc;
        wc.hInstance = instance;
        wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
        wc.lpszClassName = kMainClass;
        RegisterClassW(&wc);
        RegisterMapViewClass(instance);
        Main = CreateWindowExW(0, kMainClass, L"Mapa", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 760,
                               520, nullptr, nullptr, instance, nullptr);
        Tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 740, 480, Main,
                              nullptr, instance, nullptr);
        Map = new CZMapWnd(Tab, instance, LoadCursorW(nullptr, IDC_SIZEWE), LoadCursorW(nullptr, IDC_CROSS),
                           LoadCursorW(nullptr, IDC_SIZEALL), LoadCursorW(nullptr, IDC_HAND), &StyleDlg,
                           [this](HWND owner, ConfigData* config, QueryCriterion* criterion) {
                               return Editor ? Editor(owner, config, criterion) : 0;
                           },
                           nullptr);
        RECT area = {4, 4, 736, 476};
        Map->Move(&area);
        ShowWindow(Map->Card, SW_SHOW);
        wintest::PumpMessages();
    }
    ~CardHost()
    {
        delete Map;
        delete StyleDlg;
        DestroyWindow(Main);
        wintest::PumpMessages();
    }
    CardHost(const CardHost&) = delete;
    CardHost& operator=(const CardHost&) = delete;

    HWND Legend() const { return Map->LegendList(); }
    int Rows() const { return (int)SendMessageW(Legend(), LVM_GETITEMCOUNT, 0, 0); }
    LegendItem* Item(int row) const { return LegendItemAt(Legend(), row); }
    bool Checked(int row) const
    {
        return ((SendMessageW(Legend(), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12) == 2;
    }
    void Check(int row, bool checked = true)
    {
        LVITEMW lv = {};
        lv.stateMask = LVIS_STATEIMAGEMASK;
        lv.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
        SendMessageW(Legend(), LVM_SETITEMSTATE, row, (LPARAM)&lv);
    }
    void Select(int row)
    {
        LVITEMW lv = {};
        lv.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        lv.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(Legend(), LVM_SETITEMSTATE, row, (LPARAM)&lv);
    }
    bool OrdersAreRows() const
    {
        for (int i = 0; i < Rows(); ++i)
            if (Item(i)->Order != i)
                return false;
        return true;
    }
    // A query layer on a column with operator "=" (name from the card, as command 607 makes it).
    void AddQuery(const wchar_t* column, const wchar_t* value)
    {
        QueryCriterion c;
        Map->InitQueryCriterion(&c);
        c.FieldType = FIELD_DATABASE;
        wcscpy(c.FieldName, column);
        c.Operator = QUERY_OP_EQUAL;
        wcscpy(c.MinValue, value);
        Map->AddQueryLayer(&c);
        delete c.Values;
    }
    // The end of a label edit as the list view reports it; the card's answer.
    LRESULT EndLabelEdit(int row, const wchar_t* text)
    {
        NMLVDISPINFOW info = {};
        info.hdr.hwndFrom = Legend();
        info.hdr.idFrom = IDC_MAPCARD_LEGEND;
        info.hdr.code = LVN_ENDLABELEDITW;
        info.item.iItem = row;
        info.item.pszText = (wchar_t*)text;
        SendMessageW(Map->Card, WM_NOTIFY, IDC_MAPCARD_LEGEND, (LPARAM)&info);
        return GetWindowLongPtrW(Map->Card, DWLP_MSGRESULT);
    }

    static LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == ZM_SET_RECORD_FILTER)
            return 1;
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
};

// The folder chooser's answer for the card's folder command.
std::wstring g_folderAnswer;
bool g_folderChosen = true;
bool AnswerFolder(HWND, const wchar_t*, std::wstring* folder)
{
    if (g_folderChosen)
        *folder = g_folderAnswer;
    return g_folderChosen;
}

// A folder of three good layers, a layer without its index and a file that only looks like one.
void WriteMixedFolder(const std::wstring& folder)
{
    ASSERT_TRUE(WriteLayer(folder, L"plochy", SHPT_POLYGON,
                           {MakeShape(SHPT_POLYGON, {{12, 49, 14, 49, 14, 50, 12, 49}})}));
    ASSERT_TRUE(WriteLayer(folder, L"reky", SHPT_ARC, {MakeShape(SHPT_ARC, {{13, 48, 16, 49.5}})}));
    ASSERT_TRUE(WriteLayer(folder, L"body", SHPT_POINT, {MakeShape(SHPT_POINT, {{14.5, 50.5}})}));
    ASSERT_TRUE(WriteLayer(folder, L"vadna", SHPT_POLYGON,
                           {MakeShape(SHPT_POLYGON, {{100, 10, 110, 10, 110, 20, 100, 10}})}));
    ASSERT_TRUE(DeleteFileW((folder + L"\\vadna.shx").c_str()));
    ASSERT_TRUE(CopyFileW((folder + L"\\plochy.shp").c_str(), (folder + L"\\a.shpx").c_str(), FALSE));
}

}  // namespace

// A folder with a bad layer gives the four information layers and a row per .shp, shown at once
// when its file opened (the one without its index stays off, drawing nothing), over the good
// files' extent; a layer whose attribute table is damaged is named in a note (one whose table
// is missing or sound is not). A cancelled choice and a folder without layers leave the map as
// it was.
TEST(MapCard, FolderOfShapefilesBuildsTheLegend)
{
    wintest::ScopedTempFolder folder(L"mapcard_folder");
    wintest::ScopedTempFolder empty(L"mapcard_empty");
    ASSERT_NO_FATAL_FAILURE(WriteMixedFolder(folder.Path()));
    const std::vector<unsigned char> table = zor::MakeDbf({{"NAZEV", 20}}, {{L"Polabí"}});
    ASSERT_TRUE(shpw::WriteFileBytes(folder.File(L"plochy.dbf"), table));
    ASSERT_TRUE(shpw::WriteFileBytes(folder.File(L"reky.dbf"), {table.begin(), table.end() - 8}));
    FolderDialogFn previous = SetFolderChooser(AnswerFolder);
    CardHost host;
    g_folderChosen = true;
    g_folderAnswer = folder.Path();
    {
        wintest::MsgBoxRecorder boxes;
        ASSERT_EQ(1, host.Map->BrowseShapeFolder(host.Main));
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(0u, boxes.Boxes()[0].text.find(L"Tabulka atributů této vrstvy je poškozená: reky.dbf."));
        EXPECT_EQ((UINT)MB_ICONWARNING, boxes.Boxes()[0].type & MB_ICONMASK);
    }
    ASSERT_EQ(8, host.Rows());
    const wchar_t* titles[] = {L"Zápisy", L"Literární záznamy", L"Síť", L"Jemná síť"};
    for (int kind = 0; kind < 4; ++kind) {
        EXPECT_TRUE(IsInfoLayer(host.Item(kind), kind)) << kind;
        EXPECT_STREQ(titles[kind], host.Item(kind)->Title);
    }
    std::vector<std::wstring> files;
    for (int kind = 0; kind < 4; ++kind)
        EXPECT_FALSE(host.Checked(kind)) << kind;
    for (int row = 4; row < 8; ++row) {
        EXPECT_TRUE(IsShapeLayer(host.Item(row)));
        EXPECT_EQ(wcscmp(host.Item(row)->MapFile, L"vadna.shp") != 0, host.Checked(row)) << row;
        files.push_back(host.Item(row)->MapFile);
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::wstring>{L"body.shp", L"plochy.shp", L"reky.shp", L"vadna.shp"}), files);
    EXPECT_TRUE(host.OrdersAreRows());
    EXPECT_DOUBLE_EQ(12, host.Map->MinX);
    EXPECT_DOUBLE_EQ(48, host.Map->MinY);
    EXPECT_DOUBLE_EQ(16, host.Map->MaxX);
    EXPECT_DOUBLE_EQ(50.5, host.Map->MaxY);
    EXPECT_GT(host.Map->UnitsPerPixel, 0);

    host.Check(0);
    wintest::PumpMessages(100);
    wintest::SaveScreenshot(host.Main, L"mapcard");

    g_folderChosen = false;
    EXPECT_EQ(0, host.Map->BrowseShapeFolder(host.Main));
    g_folderChosen = true;
    g_folderAnswer = empty.Path();
    EXPECT_EQ(0, host.Map->BrowseShapeFolder(host.Main));
    EXPECT_EQ(8, host.Rows());
    EXPECT_EQ(folder.Path(), std::wstring(host.Map->MapPath));
    SetFolderChooser(previous);
}

namespace {

struct MenuSeen
{
    UINT Properties = 0, Delete = 0;
    int Answer = 0;
    int Calls = 0;
};
MenuSeen g_menu;
int AnswerMenu(HMENU popup, UINT, int, int, HWND)
{
    ++g_menu.Calls;
    g_menu.Properties = GetMenuState(popup, IDM_LEGEND_PROPERTIES, MF_BYCOMMAND);
    g_menu.Delete = GetMenuState(popup, IDM_LEGEND_DELETE, MF_BYCOMMAND);
    return g_menu.Answer;
}

}  // namespace

// Labels, new query layer names, moving rows (the rule, then a drop on the card) and the
// context menu that offers properties and delete only on query layers.
TEST(MapCard, LegendLabelsOrderAndContextMenu)
{
    struct Move {
        int count, from, to;
        std::vector<int> orders;
    } moves[] = {
        {5, 3, 1, {0, 2, 3, 1, 4}},  // up
        {5, 1, 3, {0, 3, 1, 2, 4}},  // down
        {5, 0, 4, {4, 0, 1, 2, 3}},  // to the end
        {5, 2, 2, {}},               // onto itself
        {5, 2, 5, {}},               // outside
    };
    for (const Move& m : moves)
        EXPECT_EQ(m.orders, LegendOrdersAfterMove(m.count, m.from, m.to)) << m.from << " to " << m.to;

    wintest::ScopedTempFolder folder(L"mapcard_legend");
    ASSERT_NO_FATAL_FAILURE(WriteMixedFolder(folder.Path()));
    CardHost host;
    wcscpy(host.Map->MapPath, folder.Path().c_str());
    host.Map->LoadShapeFolder();
    ASSERT_EQ(8, host.Rows());

    // An empty label is refused; a text becomes the title.
    EXPECT_EQ(FALSE, host.EndLabelEdit(0, L""));
    EXPECT_STREQ(L"Zápisy", host.Item(0)->Title);
    EXPECT_EQ(TRUE, host.EndLabelEdit(0, L"Dotaz 1"));
    EXPECT_STREQ(L"Dotaz 1", host.Item(0)->Title);
    EXPECT_EQ(TRUE, host.EndLabelEdit(1, L"dotaz 2"));
    // The list view shows an accepted label itself.
    LVITEMW text = {};
    text.pszText = (wchar_t*)L"Dotaz 1";
    SendMessageW(host.Legend(), LVM_SETITEMTEXTW, 0, (LPARAM)&text);
    text.pszText = (wchar_t*)L"dotaz 2";
    SendMessageW(host.Legend(), LVM_SETITEMTEXTW, 1, (LPARAM)&text);
    wchar_t name[kQueryTextSize] = L"";
    EXPECT_FALSE(CZMapWnd::MakeQueryLayerName(host.Map->Card, name));
    EXPECT_STREQ(L"Dotaz 3", name);

    // A drop below the last row moves the dragged row to the end.
    LegendItem* dragged = host.Item(2);
    host.Map->Dragging = 1;
    host.Map->DragIndex = 2;
    host.Map->DragImage = ImageList_Create(16, 16, ILC_COLOR32, 1, 1);
    ImageList_BeginDrag(host.Map->DragImage, 0, 0, 0);
    RECT legend = wintest::RectIn(host.Legend(), host.Map->Card);
    SendMessageW(host.Map->Card, WM_LBUTTONUP, 0, MAKELPARAM(legend.left + 40, legend.bottom - 4));
    EXPECT_EQ(0, host.Map->Dragging);
    EXPECT_EQ(nullptr, host.Map->DragImage);
    EXPECT_EQ(dragged, host.Item(7));
    EXPECT_TRUE(host.OrdersAreRows());

    // The context menu: properties and delete only for a query layer; delete renumbers.
    PopupMenuFn previous = SetPopupMenuChooser(AnswerMenu);
    RECT r = {};
    GetWindowRect(host.Legend(), &r);
    const LPARAM inside = MAKELPARAM(r.left + 30, r.top + 8);
    host.Select(5);
    g_menu = MenuSeen();
    SendMessageW(host.Map->Card, WM_CONTEXTMENU, (WPARAM)host.Legend(), inside);
    EXPECT_EQ(1, g_menu.Calls);
    EXPECT_TRUE(g_menu.Properties & MF_GRAYED);
    EXPECT_TRUE(g_menu.Delete & MF_GRAYED);

    host.AddQuery(L"NAME", L"Brno");
    ASSERT_EQ(9, host.Rows());
    ASSERT_NE(nullptr, host.Item(0)->Query);
    EXPECT_STREQ(L"Dotaz 3", host.Item(0)->Title);
    EXPECT_STREQ(L"NAME = 'Brno'", host.Item(0)->Condition);
    EXPECT_TRUE(host.Checked(0));  // a new query layer draws at once
    EXPECT_TRUE(host.OrdersAreRows());
    host.Select(0);
    g_menu = MenuSeen();
    g_menu.Answer = IDM_LEGEND_DELETE;
    SendMessageW(host.Map->Card, WM_CONTEXTMENU, (WPARAM)host.Legend(), inside);
    EXPECT_FALSE(g_menu.Properties & MF_GRAYED);
    EXPECT_FALSE(g_menu.Delete & MF_GRAYED);
    EXPECT_EQ(8, host.Rows());
    EXPECT_EQ(nullptr, host.Item(0)->Query);
    EXPECT_TRUE(host.OrdersAreRows());
    // Outside the legend there is no menu.
    g_menu = MenuSeen();
    SendMessageW(host.Map->Card, WM_CONTEXTMENU, (WPARAM)host.Legend(), MAKELPARAM(r.right + 50, r.top + 8));
    EXPECT_EQ(0, g_menu.Calls);
    SetPopupMenuChooser(previous);
}

// A query layer is edited in the criteria editor the card was given (the workspace's dialog):
// the editor gets the main window and the layer's own criterion; what it confirms renames the
// layer and rebuilds its condition, Storno leaves both as they were.
TEST(MapCard, QueryLayerIsEditedThroughTheEditorItWasGiven)
{
    CardHost host;
    host.AddQuery(L"NAME", L"Brno");
    ASSERT_NE(nullptr, host.Item(0)->Query);
    HWND owner = nullptr;
    QueryCriterion* edited = nullptr;
    host.Editor = [&](HWND o, ConfigData*, QueryCriterion* c) {
        owner = o;
        edited = c;
        return 0;
    };
    host.Map->EditQueryLayer(0);
    EXPECT_EQ(host.Main, owner);
    EXPECT_EQ(host.Item(0)->Query, edited);
    EXPECT_STREQ(L"NAME = 'Brno'", host.Item(0)->Condition);

    host.Editor = [](HWND, ConfigData*, QueryCriterion* c) {
        wcscpy(c->Name, L"Jihlava");
        wcscpy(c->MinValue, L"Jihlava");
        return 1;
    };
    host.Map->EditQueryLayer(0);
    EXPECT_STREQ(L"Jihlava", host.Item(0)->Title);
    EXPECT_STREQ(L"NAME = 'Jihlava'", host.Item(0)->Condition);
}

// The splitter keeps 21 pixels on either side; a typed scale keeps the view's centre, and text
// that is no scale above 0 leaves the scale as it was.
TEST(MapCard, SplitterLimitsAndTypedScale)
{
    CardHost host;
    CZMapWnd* m = host.Map;
    RECT client;
    GetClientRect(m->Card, &client);
    struct Split {
        int x;
        bool taken;
    } splits[] = {{20, false}, {21, true}, {(int)client.right - 24, true}, {(int)client.right - 23, false}, {150, true}};
    for (const Split& s : splits) {
        const int before = m->SplitWidth;
        EXPECT_EQ(s.taken, m->SetSplitPosition(s.x)) << s.x;
        EXPECT_EQ(s.taken ? s.x : before, m->SplitWidth);
    }
    EXPECT_EQ(150 + kMapSplitterWidth, wintest::RectIn(m->View, m->Card).left);
    // A drag of the splitter itself.
    HWND splitter = GetDlgItem(m->Card, IDC_MAPCARD_SPLITTER);
    SendMessageW(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 10));
    SendMessageW(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(41, 10));
    SendMessageW(splitter, WM_LBUTTONUP, 0, MAKELPARAM(41, 10));
    EXPECT_EQ(150 + 41, m->SplitWidth);  // the splitter's x 41 is the card's 191

    m->SetExtent(12, 48, 19, 51);
    m->ZoomToExtent();
    RECT view;
    GetClientRect(m->View, &view);
    auto centre = [&](double* x, double* y) {
        *x = m->XCorner + view.right * m->UnitsPerPixel / 2;
        *y = m->YCorner - view.bottom * m->UnitsPerPixel / 2;
    };
    double cx = 0, cy = 0;
    centre(&cx, &cy);
    HWND edit = m->ScaleEdit();
    // The fitted scale reads as a whole number, grouped by thousands.
    std::wstring shown = wintest::WindowText(edit);
    EXPECT_EQ(std::wstring::npos, shown.find(L',')) << std::string(shown.begin(), shown.end());
    shown.erase(std::remove(shown.begin(), shown.end(), L'\u00A0'), shown.end());
    EXPECT_EQ(std::llround(m->MapScale), std::wcstoll(shown.c_str(), nullptr, 10));
    auto type = [&](const wchar_t* text) {
        SetWindowTextW(edit, text);  // EN_CHANGE: typed
        SendMessageW(m->Card, WM_COMMAND, MAKEWPARAM(IDC_MAPCARD_SCALE, EN_KILLFOCUS), (LPARAM)edit);
    };
    type(L"250000");
    EXPECT_EQ(250000, m->MapScale);
    double x = 0, y = 0;
    centre(&x, &y);
    EXPECT_NEAR(cx, x, 1e-9);
    EXPECT_NEAR(cy, y, 1e-9);
    for (const wchar_t* bad : {L"abc", L"0", L"-5", L"1e400"}) {
        type(bad);
        EXPECT_EQ(250000, m->MapScale) << bad;
        EXPECT_NE(bad, wintest::WindowText(edit));
        EXPECT_EQ(0, m->ScaleEdited);
    }
    // Leaving the edit without typing changes nothing.
    const double corner = m->XCorner;
    SendMessageW(m->Card, WM_COMMAND, MAKEWPARAM(IDC_MAPCARD_SCALE, EN_KILLFOCUS), (LPARAM)edit);
    EXPECT_EQ(corner, m->XCorner);
    // Enter takes a typed scale at once, the focus staying in the edit, as the keys come through
    // the main window's dialog code.
    SetFocus(edit);
    SetWindowTextW(edit, L"400000");
    const UINT scan = MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC);
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1 | (scan << 16));
    PostMessageW(edit, WM_CHAR, L'\r', 1 | (scan << 16));
    PostMessageW(edit, WM_KEYUP, VK_RETURN, 1 | (scan << 16) | 0xC0000000);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (!IsDialogMessageW(host.Main, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    EXPECT_EQ(400000, m->MapScale);
    EXPECT_EQ(edit, GetFocus());
    centre(&x, &y);
    EXPECT_NEAR(cx, x, 1e-9);
    EXPECT_NEAR(cy, y, 1e-9);
}

// A map read without a scale is fitted, centred, to the size its view has when first drawn, not
// to the first size the card was laid out at; once drawn it keeps its scale.
TEST(MapCard, FirstViewFitsTheFinalSizeCentred)
{
    CardHost host;
    CZMapWnd* m = host.Map;
    m->SetExtent(12, 48, 19, 51);
    m->FitPending = true;  // as LoadSettings leaves a map without its view
    RECT first = {4, 4, 320, 220}, last = {4, 4, 736, 476};
    m->Move(&first);
    m->Move(&last);
    RedrawWindow(m->View, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_FALSE(m->FitPending);
    RECT view;
    GetClientRect(m->View, &view);
    const double u = m->UnitsPerPixel;
    EXPECT_NEAR(15.5, m->XCorner + view.right * u / 2, 1e-6);
    EXPECT_NEAR(49.5, m->YCorner - view.bottom * u / 2, 1e-6);
    // One side of the extent, with its margin, spans the view.
    const double spanned = std::max(7 * 1.1 / (view.right * u), 3 * 1.1 / m->YFactor / (view.bottom * u));
    EXPECT_NEAR(1.0, spanned, 1e-6);
    const double scale = m->MapScale;
    // A new size (the window maximised, or made smaller) keeps the scale and the view's centre.
    RECT larger = {0, 0, 740, 480};
    for (const RECT* size : {&first, &larger, &last}) {
        m->Move(size);
        GetClientRect(m->View, &view);
        EXPECT_EQ(scale, m->MapScale);
        EXPECT_NEAR(15.5, m->XCorner + view.right * u / 2, 1e-9) << size->right;
        EXPECT_NEAR(49.5, m->YCorner - view.bottom * u / 2, 1e-9) << size->right;
    }
}

namespace {

std::wstring SaveMap(CZMapWnd* map, const std::wstring& path, const wchar_t* name)
{
    {
        CXmlWriter writer(path.c_str());
        writer.AddComment(L"Zorna Workspace Settings");
        writer.CreateRoot(L"Settings");
        IXMLDOMElement* maps = writer.AddElement(L"Maps");
        map->SaveSettings(&writer, maps, 1, name);
        maps->Release();
        writer.Save();
    }
    return wintest::ReadUtf8File(path);
}

// Loads the first child of Maps into the card; the name read.
std::wstring LoadMap(CZMapWnd* map, const std::wstring& path)
{
    CXmlReader reader(path.c_str());
    IXMLDOMElement* maps = reader.SelectElement(L"Maps");
    if (!maps)
        return L"<no Maps>";
    IXMLDOMElement* element = reader.FirstChildElement(maps, nullptr);
    maps->Release();
    if (!element)
        return L"<no map>";
    wchar_t* name = nullptr;
    map->LoadSettings(&reader, element, &name);
    element->Release();
    std::wstring text = name ? name : L"<none>";
    free(name);
    return text;
}

}  // namespace

// The map in the workspace file: six attributes without a folder; with one, the legend with
// styles, checks and a query; saving what was loaded gives the same bytes under the Czech CRT
// locale; legend elements load in document order; damaged values leave what can be read.
TEST(MapCard, SettingsRoundTrip)
{
    wintest::ScopedTempFolder folder(L"mapcard_settings");
    ASSERT_NO_FATAL_FAILURE(WriteMixedFolder(folder.Path()));
    const std::wstring first = folder.File(L"first.xml"), second = folder.File(L"second.xml");
    {
        CardHost bare;
        std::wstring text = SaveMap(bare.Map, first, L"Prázdná");
        EXPECT_TRUE(std::regex_search(text, std::wregex(LR"(<Map1 Name="Prázdná" SplitWidth="160" CoordSys="0" )"
                                                        LR"(Grid="-1" Display="0" DPI="300"/>)")))
            << std::string(text.begin(), text.end());
    }
    setlocale(LC_ALL, "Czech");
    std::wstring saved;
    {
        CardHost host;
        wcscpy(host.Map->MapPath, folder.Path().c_str());
        host.Map->LoadShapeFolder();
        host.Check(4, false);
        host.Check(5);
        host.Map->SetScaleKeepingCentre(1234.56789);
        QueryCriterion c;
        host.Map->InitQueryCriterion(&c);
        c.FieldType = FIELD_DATABASE;
        wcscpy(c.FieldName, L"NAME");
        c.Operator = QUERY_OP_ANY_OF;
        for (const wchar_t* v : {L"O'Brien", L"Brno", L"Praha"})
            c.Values->Add(_wcsdup(v));
        host.Map->AddQueryLayer(&c);
        delete c.Values;
        host.Item(1)->Style.FillColor = RGB(10, 200, 30);
        host.Item(1)->Style.BorderWidth = 0.35;
        saved = SaveMap(host.Map, first, L"Česká republika");
    }
    EXPECT_NE(std::wstring::npos, saved.find(L"MapScale=\"1234.56789\""));
    EXPECT_NE(std::wstring::npos, saved.find(L"<Values Val0=\"O'Brien\" Val1=\"Brno\" Val2=\"Praha\"/>"));
    {
        CardHost host;
        EXPECT_EQ(L"Česká republika", LoadMap(host.Map, first));
        ASSERT_EQ(9, host.Rows());
        ASSERT_NE(nullptr, host.Item(0)->Query);
        EXPECT_STREQ(L"NAME = 'O''Brien' OR NAME = 'Brno' OR NAME = 'Praha'", host.Item(0)->Condition);
        EXPECT_TRUE(host.Checked(6));  // checked before the query layer came on top
        EXPECT_FALSE(host.Checked(5));
        EXPECT_EQ(RGB(10, 200, 30), host.Item(1)->Style.FillColor);
        EXPECT_EQ(saved, SaveMap(host.Map, second, L"Česká republika"));
    }
    setlocale(LC_ALL, "C");

    // LegInfo7 before LegInfo2; an unknown kind, a grid beyond the list, gaps in the values and
    // a missing folder.
    const std::wstring longPath(1000, L'x');
    wintest::WriteUtf8File(first,
                           L"<?xml version=\"1.0\"?>\r\n<!--Zorna Workspace Settings-->\r\n<Settings>\r\n<Maps>"
                           L"<Map3 Name=\"Z\" SplitWidth=\"abc\" Grid=\"999\" Display=\"1\" MapPath=\"" + folder.Path() +
                               L"\"><Legend>"
                               L"<LegInfo7 InfoType=\"3\" Title=\"B\" Displayed=\"1\"/>"
                               L"<LegInfo2 MapFile=\"reky.shp\" Title=\"A\"/>"
                               L"<LegInfo0 InfoType=\"0\" Title=\"Q\"><Query Name=\"Q\" FieldType=\"1\" FieldName=\"NAME\""
                               L" Operator=\"6\"><Values Val0=\"a\" Val2=\"c\"/></Query></LegInfo0>"
                               L"</Legend></Map3><Map4 Name=\"Y\" MapPath=\"" + longPath + L"\"/></Maps></Settings>\r\n");
    CardHost host;
    EXPECT_EQ(L"Z", LoadMap(host.Map, first));
    ASSERT_GE(host.Rows(), 3);
    EXPECT_STREQ(L"B", host.Item(0)->Title);
    EXPECT_TRUE(host.Checked(0));
    EXPECT_STREQ(L"A", host.Item(1)->Title);
    EXPECT_STREQ(L"NAME = 'a'", host.Item(2)->Condition);
    EXPECT_EQ(1, host.Map->Display);
    EXPECT_EQ(kMapDefaultSplitWidth, host.Map->SplitWidth);
    std::wstring again = SaveMap(host.Map, second, L"Z");
    EXPECT_NE(std::wstring::npos, again.find(L"<LegInfo0 InfoType=\"3\" Title=\"B\" Displayed=\"1\">"));
}

namespace {

// Three records of a list as the Filter sees them.
struct Row
{
    const wchar_t* Name;
    double Altitude;
    int LocId;
    double Date;  // OLE date
};
const Row kRows[] = {
    {L"Brno", 250.5, 1, 43952},    // 1.5.2020
    {L"O'Brien", 1200, 2, 44362},  // 15.6.2021
    {L"Praha", 80, 3, 43466},      // 1.1.2019
};

std::vector<int> RowsMatching(const std::wstring& condition)
{
    std::vector<int> rows;
    zdata::FilterExpr filter;
    std::wstring error;
    if (!filter.Parse(condition.c_str(), &error))
        return {-1};
    const wchar_t* names[] = {L"NAME", L"ALTITUDE", L"LOCID", L"DATUM"};
    const DataTypeEnum types[] = {adVarWChar, adDouble, adInteger, adDate};
    auto resolve = [&](const std::wstring& name, int* index, DataTypeEnum* type) {
        for (int i = 0; i < 4; ++i)
            if (_wcsicmp(name.c_str(), names[i]) == 0) {
                *index = i;
                *type = types[i];
                return true;
            }
        return false;
    };
    if (!filter.Bind(resolve, &error))
        return {-2};
    for (int r = 0; r < 3; ++r) {
        auto get = [&](int index, const std::wstring&, VARIANT* v) {
            switch (index) {
            case 0: v->vt = VT_BSTR; v->bstrVal = SysAllocString(kRows[r].Name); break;
            case 1: v->vt = VT_R8; v->dblVal = kRows[r].Altitude; break;
            case 2: v->vt = VT_I4; v->lVal = kRows[r].LocId; break;
            default: v->vt = VT_DATE; v->date = kRows[r].Date; break;
            }
            return S_OK;
        };
        if (filter.Matches(get))
            rows.push_back(r);
    }
    return rows;
}

}  // namespace

// Every kind of condition selects the expected records through the lists' own Filter: typed
// values are written by their column's kind (Czech decimals, dates, apostrophes), typed text
// never adds terms, and a condition that cannot be built is none (the layer draws nothing).
TEST(QueryLayers, ConditionsSelectTheExpectedRecords)
{
    CustomAttrDef date = {};
    date.Type = ATTR_DATE;
    wcscpy(date.FieldName, L"DATUM");
    CCustFld composed(L"Místo a výška");
    composed.Mask = _wcsdup(L"#1/#2");
    composed.UseForSearch = 1;
    CFieldInfo locId(L"LOCID", L"FEATURES"), altitude(L"ALTITUDE", L"FEATURES");
    composed.FieldRefs->Add(&locId);
    composed.FieldRefs->Add(&altitude);
    QueryConditionContext context;
    context.Separators = {L',', L' '};
    context.FindCustomField = [&](const wchar_t* name) { return _wcsicmp(name, L"CUSTOM") == 0 ? &composed : nullptr; };
    context.FindAttr = [&](int, const wchar_t* column) { return _wcsicmp(column, L"DATUM") == 0 ? &date : nullptr; };

    struct Case {
        int fieldType;
        const wchar_t* field;
        int op;
        const wchar_t *min, *max;
        std::vector<const wchar_t*> values;
        std::vector<int> rows;  // empty: no condition
    } cases[] = {
        {1, L"NAME", QUERY_OP_EQUAL, L"Brno", L"", {}, {0}},
        {1, L"NAME", QUERY_OP_EQUAL, L"Brno OR NAME = 'Praha'", L"", {}, {}},
        {1, L"NAME", QUERY_OP_ANY_OF, L"", L"", {L"O'Brien", L"Praha"}, {1, 2}},
        {1, L"NAME", QUERY_OP_GREATER, L"C", L"", {}, {1, 2}},
        {1, L"ALTITUDE", QUERY_OP_LESS, L"250,6", L"", {}, {0, 2}},
        {1, L"ALTITUDE", QUERY_OP_LESS_EQUAL, L"250,5", L"", {}, {0, 2}},
        {1, L"ALTITUDE", QUERY_OP_GREATER_EQUAL, L"1200", L"", {}, {1}},
        {1, L"ALTITUDE", QUERY_OP_BETWEEN, L"100", L"1 200", {}, {0, 1}},
        {1, L"LOCID", QUERY_OP_GREATER, L"1", L"", {}, {1, 2}},
        {1, L"DATUM", QUERY_OP_GREATER_EQUAL, L"1.1.2020", L"", {}, {0, 1}},
        {2, L"CUSTOM", QUERY_OP_EQUAL, L"2/1200", L"", {}, {1}},
        {2, L"CUSTOM", QUERY_OP_GREATER_EQUAL, L"2/100", L"", {}, {1, 2}},
        {2, L"CUSTOM", QUERY_OP_LESS, L"2/1300", L"", {}, {0, 1}},
        {2, L"CUSTOM", QUERY_OP_BETWEEN, L"1/300", L"3/0", {}, {1}},
        {2, L"CUSTOM", QUERY_OP_EQUAL, L"2/", L"", {}, {1}},  // an empty part drops its comparison
    };
    for (const Case& c : cases) {
        QueryCriterion q = {};
        q.FieldType = c.fieldType;
        wcscpy(q.FieldName, c.field);
        q.Operator = c.op;
        wcscpy(q.MinValue, c.min);
        wcscpy(q.MaxValue, c.max);
        CPtrArray values(PTRARRAY_OWNS_ITEMS, 16, 4);
        for (const wchar_t* v : c.values)
            values.Add(_wcsdup(v));
        q.Values = &values;
        const std::wstring condition = BuildQueryCondition(q, context);
        SCOPED_TRACE(std::string(condition.begin(), condition.end()));
        EXPECT_EQ(c.rows, RowsMatching(condition));  // an empty condition does not parse
    }

    // No condition: unreadable values, no values to choose from, an unknown composed field or
    // field type.
    struct None {
        int fieldType;
        const wchar_t* field;
        int op;
        const wchar_t* min;
    } none[] = {
        {1, L"LOCID", QUERY_OP_EQUAL, L"abc"}, {1, L"DATUM", QUERY_OP_LESS, L"31.2.2020x"},
        {1, L"NAME", QUERY_OP_ANY_OF, L""},    {2, L"JINE", QUERY_OP_EQUAL, L"1/2"},
        {0, L"NAME", QUERY_OP_EQUAL, L"Brno"},
    };
    for (const None& n : none) {
        QueryCriterion q = {};
        q.FieldType = n.fieldType;
        wcscpy(q.FieldName, n.field);
        q.Operator = n.op;
        wcscpy(q.MinValue, n.min);
        EXPECT_EQ(L"", BuildQueryCondition(q, context)) << n.field;
    }

    // A range given the wrong way round: by the column's kind, a composed column part by part;
    // texts, missing parts and other operators are not judged.
    struct Range {
        int fieldType;
        const wchar_t* field;
        int op;
        const wchar_t *min, *max;
        bool reversed;
    } ranges[] = {
        {1, L"DATUM", QUERY_OP_BETWEEN, L"1.1.2000", L"1.1.1990", true},
        {1, L"DATUM", QUERY_OP_BETWEEN, L"1.1.1990", L"1.1.2000", false},
        {1, L"ALTITUDE", QUERY_OP_BETWEEN, L"1 200", L"100,5", true},
        {1, L"ALTITUDE", QUERY_OP_BETWEEN, L"100,5", L"100,5", false},
        {1, L"NAME", QUERY_OP_BETWEEN, L"Praha", L"Brno", false},
        {1, L"ALTITUDE", QUERY_OP_GREATER, L"1200", L"100", false},
        {2, L"CUSTOM", QUERY_OP_BETWEEN, L"2/100", L"1/300", true},
        {2, L"CUSTOM", QUERY_OP_BETWEEN, L"1/300", L"1/200", true},
        {2, L"CUSTOM", QUERY_OP_BETWEEN, L"1/300", L"3/0", false},
        {2, L"CUSTOM", QUERY_OP_BETWEEN, L"/300", L"1/200", false},
    };
    for (const Range& r : ranges) {
        QueryCriterion q = {};
        q.FieldType = r.fieldType;
        wcscpy(q.FieldName, r.field);
        q.Operator = r.op;
        wcscpy(q.MinValue, r.min);
        wcscpy(q.MaxValue, r.max);
        EXPECT_EQ(r.reversed, QueryRangeReversed(q, context)) << r.field << " " << r.min << " " << r.max;
    }
}

// A query layer whose condition the list refuses, or that has none, fetches no records.
TEST(QueryLayers, ARefusedConditionDrawsNothing)
{
    MapHost host(200, 150);
    host.Map->SetExtent(12, 48, 19, 51);
    host.Map->ZoomToExtent();
    host.PointsX = {14, 15};
    host.PointsY = {49, 50};
    for (const wchar_t* condition : {L"NAME = 'Brno'", (const wchar_t*)nullptr}) {
        LegendItem* item = NewInfoLegendItem(L"Dotaz 1", nullptr, INFO_RECORDS, 16, 16, nullptr);
        item->Query = NewQueryCriterion();
        item->Condition = condition ? _wcsdup(condition) : nullptr;
        host.AddItem(item, true, 0);
        host.PointRequests.clear();
        GlBitmap target;
        EXPECT_TRUE(host.RenderToBitmap(&target));
        EXPECT_TRUE(host.PointRequests.empty());  // the test's main window refuses every filter
        host.SetChecked(0, false);
        FreeQueryCriterion(item->Query);
        item->Query = nullptr;
    }
}

namespace {

BOOL WINAPI PickGreen(CHOOSECOLORW* cc)
{
    cc->rgbResult = RGB(0, 160, 0);
    return TRUE;
}

bool Enabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

}  // namespace

// The style dialog enables its groups by the style's kind and check boxes, clamps the
// transparency, keeps a width that was cleared and a spacing of 0, takes a chosen colour, and
// Storno keeps nothing of the caller's.
TEST(StyleDialog, EnablesByKindAndReadsTypedValues)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CEditLegendStyleDlg dlg(GetModuleHandleW(nullptr));
    ColorDialogFn previous = SetColorChooser(PickGreen);
    struct Kind {
        int type;
        bool pattern, symbol, size;
    } kinds[] = {{0, false, false, true}, {1, true, false, false}, {2, true, true, true}};
    for (const Kind& k : kinds) {
        LegendStyle style = {};
        style.StyleType = k.type;
        style.Border = true;
        style.Fill = true;
        style.Pattern = true;
        style.BorderWidth = 0.5;
        style.FillTransp = 20;
        style.PatternWidth = 2;
        wintest::DialogScript script;
        script.Then(L"Úprava stylu", [&](HWND d) {
            EXPECT_EQ(k.pattern, Enabled(d, IDC_STYLE_PATTERN)) << k.type;
            EXPECT_EQ(k.symbol, Enabled(d, IDC_STYLE_SYMBOL)) << k.type;
            EXPECT_EQ(k.symbol, Enabled(d, IDC_STYLE_FULLCELL)) << k.type;
            EXPECT_EQ(k.size, Enabled(d, IDC_STYLE_SIZE)) << k.type;
            SetDlgItemTextW(d, IDC_STYLE_TRANSPARENCY, L"250");
            SetDlgItemTextW(d, IDC_STYLE_BORDERWIDTH, L"");
            SetDlgItemTextW(d, IDC_STYLE_PATTERNWIDTH, L"abc");
            SetDlgItemTextW(d, IDC_STYLE_PATTERNWIDTH, L"0");  // a spacing of 0 would hatch without end
            wintest::DialogScript::Click(d, IDC_STYLE_FILLCOLOR);
            CheckDlgButton(d, IDC_STYLE_BORDER, BST_UNCHECKED);
            wintest::DialogScript::Click(d, IDC_STYLE_BORDER);
            EXPECT_FALSE(Enabled(d, IDC_STYLE_BORDERWIDTH));
            if (k.type == 2)
                wintest::SaveScreenshot(d, L"legendstyle");
            wintest::DialogScript::PostClick(d, k.type == 1 ? IDCANCEL : IDOK);
        });
        int result = -1;
        ASSERT_TRUE(script.Run([&] { result = dlg.Show(owner, &style); }));
        EXPECT_EQ(k.type == 1 ? 0 : 1, result);
        EXPECT_EQ(100, dlg.Style.FillTransp);
        EXPECT_EQ(0.5, dlg.Style.BorderWidth);
        EXPECT_EQ(2, dlg.Style.PatternWidth);
        EXPECT_EQ(RGB(0, 160, 0), dlg.Style.FillColor);
        EXPECT_FALSE(dlg.Style.Border);
        EXPECT_EQ(20, style.FillTransp);  // the caller's style is a copy
    }
    SetColorChooser(previous);
    DestroyWindow(owner);
}

// "pt" shows the lengths in points and takes typed ones as points; the style keeps millimetres,
// and the dialog opens in the unit chosen last.
TEST(StyleDialog, PointsShowAndTakeTheLengths)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CEditLegendStyleDlg dlg(GetModuleHandleW(nullptr));
    LegendStyle style = {};
    style.StyleType = STYLE_SYMBOL;
    style.Border = style.Pattern = true;
    style.BorderWidth = 0.5;
    style.SymbSize = 3;
    style.PatternWidth = 2;
    style.PatternSize = 0.25;
    const double pointsPerMm = 72 / kMapMmPerInch;
    auto shown = [](HWND d, int id) {
        double v = 0;
        GetWindowReal(GetDlgItem(d, id), 64, &v);
        return v;
    };
    wintest::DialogScript script;
    script.Then(L"Úprava stylu", [&](HWND d) {
        EXPECT_NEAR(0.5, shown(d, IDC_STYLE_BORDERWIDTH), 0.005);
        EXPECT_EQ(L"mm", wintest::WindowText(GetDlgItem(d, IDC_STYLE_SIZEUNIT)));
        SendDlgItemMessageW(d, IDC_STYLE_UNITS, CB_SETCURSEL, 1, 0);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_STYLE_UNITS, CBN_SELCHANGE), (LPARAM)GetDlgItem(d, IDC_STYLE_UNITS));
        EXPECT_NEAR(0.5 * pointsPerMm, shown(d, IDC_STYLE_BORDERWIDTH), 0.005);
        EXPECT_NEAR(3 * pointsPerMm, shown(d, IDC_STYLE_SIZE), 0.005);
        EXPECT_NEAR(2 * pointsPerMm, shown(d, IDC_STYLE_PATTERNWIDTH), 0.005);
        for (int label : {IDC_STYLE_BORDERLAST, IDC_STYLE_SIZEUNIT, 132, 135})
            EXPECT_EQ(L"pt", wintest::WindowText(GetDlgItem(d, label))) << label;
        SetDlgItemTextW(d, IDC_STYLE_SIZE, L"12");
        wintest::SaveScreenshot(d, L"legendstyle_points");
        wintest::DialogScript::PostClick(d, IDOK);
    });
    ASSERT_TRUE(script.Run([&] { EXPECT_EQ(1, dlg.Show(owner, &style)); }));
    EXPECT_NEAR(12 / pointsPerMm, dlg.Style.SymbSize, 1e-9);
    EXPECT_EQ(0.5, dlg.Style.BorderWidth) << "a length not typed keeps its value";
    EXPECT_EQ(2, dlg.Style.PatternWidth);
    wintest::DialogScript again;
    again.Then(L"Úprava stylu", [&](HWND d) {
        EXPECT_EQ(1, (int)SendDlgItemMessageW(d, IDC_STYLE_UNITS, CB_GETCURSEL, 0, 0));
        EXPECT_NEAR(0.25 * pointsPerMm, shown(d, IDC_STYLE_PATTERNSIZE), 0.005);
        wintest::DialogScript::PostClick(d, IDCANCEL);
    });
    ASSERT_TRUE(again.Run([&] { EXPECT_EQ(0, dlg.Show(owner, &style)); }));
    DestroyWindow(owner);
}

// The list manager edits a copy: Storno keeps the program's list, OK replaces it, and a card
// refilled from it keeps its choice by name.
TEST(ListManager, DeleteThenStornoOrOk)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CPtrArray grids(PTRARRAY_OWNS_ITEMS, 16, 4);
    for (const wchar_t* name : {L"KFME", L"Druhá"}) {
        GridDef* grid = (GridDef*)calloc(1, sizeof(GridDef));
        zor::MakeKfmeGrid(grid);
        wcscpy(grid->Name, name);
        grids.Add(grid);
    }
    CardHost card;
    card.Map->SetGridList(&grids);
    SendMessageW(card.Map->GridCombo(), CB_SETCURSEL, 2, 0);
    SendMessageW(card.Map->Card, WM_COMMAND, MAKEWPARAM(IDC_MAPCARD_GRIDS, CBN_SELCHANGE),
                 (LPARAM)card.Map->GridCombo());
    EXPECT_EQ(2, card.Map->Grid);

    CMngListDlg dlg(GetModuleHandleW(nullptr));
    for (int button : {IDCANCEL, IDOK}) {
        wintest::DialogScript script;
        script.Then(L"Sítě", [&](HWND d) {
            HWND list = GetDlgItem(d, IDC_MNGLIST_LIST);
            EXPECT_EQ((std::vector<std::wstring>{L"KFME", L"Druhá"}), wintest::ListBoxItems(list));
            EXPECT_FALSE(Enabled(d, IDC_MNGLIST_DELETE));
            SendMessageW(list, LB_SETCURSEL, 0, 0);
            SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_MNGLIST_LIST, LBN_SELCHANGE), (LPARAM)list);
            EXPECT_TRUE(Enabled(d, IDC_MNGLIST_DELETE));
            if (button == IDCANCEL)
                wintest::SaveScreenshot(d, L"mnglist");
            wintest::DialogScript::Click(d, IDC_MNGLIST_DELETE);
            EXPECT_EQ((std::vector<std::wstring>{L"Druhá"}), wintest::ListBoxItems(list));
            wintest::DialogScript::PostClick(d, button);
        });
        int result = -1;
        ASSERT_TRUE(script.Run([&] { result = dlg.Show(owner, MNGLIST_GRIDS, &grids); }));
        EXPECT_EQ(button == IDOK ? 1 : 0, result);
        EXPECT_EQ(button == IDOK ? 1 : 2, grids.GetCount());
    }
    EXPECT_STREQ(L"Druhá", ((GridDef*)grids.GetItems()[0])->Name);
    card.Map->SetGridList(&grids);
    EXPECT_EQ(2, (int)SendMessageW(card.Map->GridCombo(), CB_GETCOUNT, 0, 0));
    EXPECT_EQ(1, card.Map->Grid);  // "Druhá" found again
    EXPECT_EQ(grids.GetItems()[0], (void*)SendMessageW(card.Map->GridCombo(), CB_GETITEMDATA, 1, 0));

    // The coordinate systems: an empty list that OK accepts with 0.
    wintest::DialogScript systems;
    systems.Then(L"Souřadné systémy", [&](HWND d) {
        EXPECT_EQ(0, (int)SendDlgItemMessageW(d, IDC_MNGLIST_LIST, LB_GETCOUNT, 0, 0));
        wintest::DialogScript::PostClick(d, IDOK);
    });
    int result = -1;
    ASSERT_TRUE(systems.Run([&] { result = dlg.Show(owner, MNGLIST_COORD_SYSTEMS, nullptr); }));
    EXPECT_EQ(0, result);
    DestroyWindow(owner);
}

// The resolution dialog refuses 0, negative values and text with string 511 and takes any
// positive number.
TEST(ExportResolution, RefusesWhatIsNoResolution)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CExpBmpDlg dlg(GetModuleHandleW(nullptr));
    wintest::MsgBoxRecorder boxes;
    wintest::DialogScript script;
    script.Then(L"Export do BMP", [&](HWND d) {
        HWND combo = GetDlgItem(d, IDC_EXPBMP_DPI);
        EXPECT_EQ(L"300", wintest::WindowText(combo));
        EXPECT_EQ(3, (int)SendMessageW(combo, CB_GETCOUNT, 0, 0));
        wintest::SaveScreenshot(d, L"expbmp");
        for (const wchar_t* bad : {L"0", L"-5", L"abc"}) {
            SetWindowTextW(combo, bad);
            wintest::DialogScript::Click(d, IDOK);
            EXPECT_TRUE(IsWindow(d)) << bad;
        }
        SetWindowTextW(combo, L"1200");
        wintest::DialogScript::PostClick(d, IDOK);
    });
    int result = -1;
    ASSERT_TRUE(script.Run([&] { result = dlg.Show(owner, 300); }));
    EXPECT_EQ(1, result);
    EXPECT_EQ(1200, dlg.GetDpi());
    ASSERT_EQ(3u, boxes.Boxes().size());
    for (const auto& box : boxes.Boxes()) {
        EXPECT_EQ(L"Vložená hodnota je neplatná", box.text);
        EXPECT_EQ(L"Chyba", box.caption);
    }
    DestroyWindow(owner);
}
