// Printing a map: placement in printer dots, the part that fits the printable area, and a
// printed page read back by Ghostscript (skipped without a printer).
#include <windows.h>

#include <gtest/gtest.h>
#include <sstream>

#include "map/mappicture.h"
#include "common/printing.h"
#include "map/mapprint.h"
#include "map/mapunits.h"
#include "tests/map/maphost.h"
#include "tests/support/hostshell.h"
#include "tests/support/wintest.h"

using namespace maptest;

namespace {

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kGreen = RGB(0, 160, 0);

std::vector<double> Square(double x0, double y0, double x1, double y1)
{
    return {x0, y0, x0, y1, x1, y1, x1, y0, x0, y0};
}

// A map of (13, 48) to (18, 53) whose northern strip (north of 52.5) is red and the rest blue.
struct NorthScene {
    MapHost host{300, 200};
    wintest::ScopedTempFolder folder{L"mapprint"};
    explicit NorthScene(double scale)
    {
        wcscpy(host.Map->MapPath, folder.Path().c_str());
        host.Map->SetExtent(13, 48, 18, 53);
        host.Map->ZoomToExtent();
        host.Map->MapScale = scale;
        Area(L"corner", Square(17.5, 48, 18, 48.5), kGreen);  // the south-east corner
        Area(L"north", Square(13, 52.5, 18, 53), kRed);
        Area(L"south", Square(13, 48, 18, 52.5), kBlue);
    }
    void Area(const wchar_t* name, const std::vector<double>& ring, COLORREF colour)
    {
        ASSERT_TRUE(WriteLayer(folder.Path(), name, SHPT_POLYGON, {MakeShape(SHPT_POLYGON, {ring})}));
        LegendItem* item = LayerItem(folder.Path(), name);
        item->Style.Fill = true;
        item->Style.FillColor = colour;
        item->Style.Border = false;
        host.AddItem(item, true);
    }
};

bool Near(COLORREF a, COLORREF b, int tolerance = 40)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// The print dialog answered with the default printer.
BOOL WINAPI DefaultPrinter(PRINTDLGW* pd)
{
    PRINTDLGW fetch = *pd;
    fetch.hDevMode = fetch.hDevNames = nullptr;
    fetch.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
    if (!PrintDlgW(&fetch))
        return FALSE;
    pd->hDevMode = fetch.hDevMode;
    pd->hDevNames = fetch.hDevNames;
    pd->hDC = fetch.hDC;
    return TRUE;
}

BOOL WINAPI CancelledDialog(PRINTDLGW*)
{
    return FALSE;
}

}  // namespace

TEST(MapPrint, PlacementInPrinterDots)
{
    struct {
        RECT area;
        bool hundredthsOfMm;
        int dpi;
        RECT dots;
    } cases[] = {
        {{1000, 1000, 7268, 10692}, false, 300, {300, 300, 2180, 3207}},   // A4 with inch margins
        {{2539, 0, 21000, 29700}, true, 300, {300, 0, 2482, 3510}},        // the same paper in mm
        {{1000, 500, 2000, 1500}, false, 600, {600, 300, 1200, 900}},
        {{0, 0, 0, 0}, false, 300, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        RECT d = PrintableDots(c.area, c.hundredthsOfMm, c.dpi, c.dpi);
        EXPECT_EQ(c.dots.left, d.left);
        EXPECT_EQ(c.dots.top, d.top);
        EXPECT_EQ(c.dots.right, d.right);
        EXPECT_EQ(c.dots.bottom, d.bottom);
    }
    PAGESETUPDLGW psd = {};
    psd.ptPaperSize = {8268, 11693};
    psd.rtMargin = {1000, 800, 500, 700};
    RECT a = PrintableArea(&psd);
    EXPECT_EQ(1000, a.left);
    EXPECT_EQ(800, a.top);
    EXPECT_EQ(7768, a.right);
    EXPECT_EQ(10993, a.bottom);
}

TEST(MapPrint, AMapLargerThanThePageKeepsItsNorthAndStaysInThePrintableArea)
{
    // 5 degrees at 1:2,000,000 is far larger than the page: 384 x 288 dots at 96 dpi with half
    // an inch of margin all round.
    NorthScene s(2e6);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    const int pageW = dpi * 4, pageH = dpi * 3;
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), pageW, -pageH, 1, 32, BI_RGB};
    void* bits = nullptr;
    HBITMAP page = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, page);
    RECT all = {0, 0, pageW, pageH};
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    const RECT area = {500, 500, 3500, 2500};
    DWORD error = 0;
    ASSERT_TRUE(RenderMapToPrinter(s.host.Map, dc, area, false, s.host.Map->MapScale, &error)) << error;
    GdiFlush();
    auto pixel = [&](int x, int y) {
        const DWORD v = ((const DWORD*)bits)[(size_t)y * pageW + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    };
    const RECT d = PrintableDots(area, false, dpi, dpi);
    EXPECT_TRUE(Near(kRed, pixel(d.left + 3, d.top + 1), 10)) << "the north is printed at the top";
    EXPECT_TRUE(Near(kBlue, pixel(d.right - 2, d.bottom - 2), 10));
    for (int x = 0; x < pageW; x += 7) {
        ASSERT_EQ(kWhite, pixel(x, d.top - 1)) << x;
        ASSERT_EQ(kWhite, pixel(x, d.bottom)) << x;
    }
    for (int y = 0; y < pageH; y += 7) {
        ASSERT_EQ(kWhite, pixel(d.left - 1, y)) << y;
        ASSERT_EQ(kWhite, pixel(d.right, y)) << y;
    }
    // Margins that leave no room draw nothing and say why.
    EXPECT_FALSE(RenderMapToPrinter(s.host.Map, dc, {2000, 2000, 2000, 2500}, false, s.host.Map->MapScale, &error));
    EXPECT_NE(0u, error);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(page);
}

namespace {

// The printed page rendered by Ghostscript, its white border trimmed: the red and blue of a
// pixel at (x, y) from the top left and at (x, y) from the bottom right.
struct PrintedPage {
    int topR = -1, topB = -1, bottomR = -1, bottomB = -1, cornerG = -1, cornerR = -1;
};
bool ReadPrintedPage(const std::wstring& folder, const std::wstring& ps, const wchar_t* shot, PrintedPage* page)
{
    const std::wstring png = folder + L"\\page.png", txt = folder + L"\\px.txt";
    if (wintest::RunHostShell("gs -q -dNOSAFER -dBATCH -dNOPAUSE -r30 -sDEVICE=png16m -sOutputFile='" +
                              wintest::HostPath(png) + "' '" + wintest::HostPath(ps) + "' >/dev/null 2>&1") != 0)
        return false;
    wchar_t shots[MAX_PATH];
    if (GetEnvironmentVariableW(L"ZOR_SCREENSHOTS", shots, MAX_PATH))
        CopyFileW(png.c_str(), (std::wstring(shots) + L"\\" + shot + L".png").c_str(), FALSE);
    if (wintest::RunHostShell("convert '" + wintest::HostPath(png) +
                              "' -bordercolor white -border 1 -fuzz 5% -trim +repage -format '%[fx:int(255*p{20,3}.r)] "
                              "%[fx:int(255*p{20,3}.b)] %[fx:int(255*p{20,h-5}.r)] %[fx:int(255*p{20,h-5}.b)] "
                              "%[fx:int(255*p{w-3,h-3}.g)] %[fx:int(255*p{w-3,h-3}.r)]' info: > '" +
                              wintest::HostPath(txt) + "'") != 0)
        return false;
    return sscanf(wintest::ReadFileBytes(txt).c_str(), "%d %d %d %d %d %d", &page->topR, &page->topB, &page->bottomR,
                  &page->bottomB, &page->cornerG, &page->cornerR) == 6;
}

}  // namespace

// A map larger than the page at its scale is printed only after the user was told so: Storno
// prints nothing, Ne prints the part that fits at the scale (keeping the north), Ano the whole
// map fitted to the page. The screen still draws its layers after the printer's context.
TEST(MapPrint, AMapLargerThanThePageIsPrintedAsTheUserChooses)
{
    NorthScene s(1e6);  // 556 mm wide and tall: larger than A4
    PAGESETUPDLGW psd = {};
    psd.lStructSize = sizeof(psd);
    psd.Flags = PSD_RETURNDEFAULT;
    {
        // A cancelled printer dialog prints nothing and says nothing.
        wintest::MsgBoxRecorder boxes;
        PrintDialogFn before = SetPrintDialog(CancelledDialog);
        if (IsPrinterInstalled()) {
            EXPECT_EQ(0, s.host.Map->Print(s.host.Main, &psd));
        }
        SetPrintDialog(before);
        EXPECT_TRUE(boxes.Boxes().empty());
    }
    if (!IsPrinterInstalled())
        GTEST_SKIP() << "no printer (the CUPS queue could not be started): the map is not printed";
    EXPECT_EQ((DWORD)(PSD_MARGINS | PSD_INTHOUSANDTHSOFINCHES), psd.Flags) << "one unit, shared with the print form";
    // The view shows the blue south and holds its display lists before the print.
    s.host.Map->XCorner = 15;
    s.host.Map->YCorner = (s.host.Map->MaxY + s.host.Map->MinY) / 2;
    const int blueBefore = CountNear(s.host.RenderOnScreen(), kBlue, 10);
    EXPECT_GT(blueBefore, 1000);
    const double scale = s.host.Map->MapScale;
    PrintDialogFn before = SetPrintDialog(DefaultPrinter);
    struct Choice {
        int answer;
        const wchar_t* file;
    } choices[] = {{IDCANCEL, L"zadny.ps"}, {IDNO, L"v_meritku.ps"}, {IDYES, L"na_stranku.ps"}};
    for (const Choice& c : choices) {
        SCOPED_TRACE(c.answer);
        const std::wstring ps = s.folder.File(c.file);
        SetPrintOutputFile(ps.c_str());
        int printed = -1;
        wintest::MsgBoxRecorder boxes({c.answer});
        printed = s.host.Map->Print(s.host.Main, &psd);
        SetPrintOutputFile(nullptr);
        ASSERT_EQ(1u, boxes.Boxes().size());
        const std::wstring& text = boxes.Boxes()[0].text;
        EXPECT_EQ(0u, text.find(L"Mapa se v měřítku 1 : ")) << std::string(text.begin(), text.end());
        EXPECT_NE(std::wstring::npos, text.find(L"na stránku nevejde"));
        EXPECT_EQ((UINT)(MB_YESNOCANCEL | MB_ICONQUESTION), boxes.Boxes()[0].type);
        EXPECT_EQ(scale, s.host.Map->MapScale) << "the map keeps its scale";
        EXPECT_EQ(c.answer == IDCANCEL ? 0 : 1, printed);
        EXPECT_EQ(c.answer != IDCANCEL, wintest::FileExists(ps));
    }
    SetPrintDialog(before);
    if (psd.hDevMode)
        GlobalFree(psd.hDevMode);
    if (psd.hDevNames)
        GlobalFree(psd.hDevNames);

    // The view still draws its layers after the printer's context.
    EXPECT_EQ(blueBefore, CountNear(s.host.RenderOnScreen(), kBlue, 10));

    if (!wintest::HostHas("/usr/bin/gs"))
        GTEST_SKIP() << "Ghostscript is not installed: the page is not rendered";
    // At the scale: the red north at the top, the blue south at the bottom, the south-east
    // corner cut off; fitted: the green corner printed too.
    PrintedPage cut, fitted;
    ASSERT_TRUE(ReadPrintedPage(s.folder.Path(), s.folder.File(L"v_meritku.ps"), L"map_print", &cut));
    EXPECT_GT(cut.topR, 200);
    EXPECT_LT(cut.topB, 80);
    EXPECT_LT(cut.bottomR, 80);
    EXPECT_GT(cut.bottomB, 200);
    EXPECT_LT(cut.cornerG, 80) << "the map is cut at the page's edge";
    ASSERT_TRUE(ReadPrintedPage(s.folder.Path(), s.folder.File(L"na_stranku.ps"), L"map_print_fitted", &fitted));
    EXPECT_GT(fitted.topR, 200);
    EXPECT_GT(fitted.cornerG, 120) << "the whole map is on the page";
    EXPECT_LT(fitted.cornerR, 80);
}
