// The map in files: bitmap descriptions and sizes, the bitmap, metafile and PostScript exports,
// read back by GDI, Ghostscript and ImageMagick.
#include <windows.h>

#include <clocale>
#include <climits>
#include <cmath>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>

#include "core/blob.h"
#include "core/longpath.h"
#include "map/epswriter.h"
#include "map/gdirender.h"
#include "map/mapexport.h"
#include "map/mappicture.h"
#include "map/mapunits.h"
#include "tests/map/maphost.h"
#include "tests/support/hostshell.h"
#include "tests/support/wintest.h"

using namespace maptest;

namespace {

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kGreen = RGB(0, 160, 0);
const COLORREF kOrange = RGB(255, 128, 0);

std::vector<double> Square(double x0, double y0, double x1, double y1)
{
    return {x0, y0, x0, y1, x1, y1, x1, y0, x0, y0};  // clockwise: an outer ring
}

// A ring of n vertices round (cx, cy).
std::vector<double> Ring(double cx, double cy, double r, int n)
{
    std::vector<double> v;
    for (int i = 0; i <= n; ++i) {
        const double a = -2 * kMapPi * (i % n) / n;  // clockwise
        v.push_back(cx + r * std::cos(a));
        v.push_back(cy + r * std::sin(a));
    }
    return v;
}

// A map of (13, 48) to (18, 53) at 1:5,000,000 holding the layers a test adds.
struct OutputScene {
    MapHost host{400, 300};
    wintest::ScopedTempFolder folder{L"mapoutput"};
    GridDef grid = {};
    OutputScene(double scale = 5e6)
    {
        wcscpy(host.Map->MapPath, folder.Path().c_str());
        host.Map->SetExtent(13, 48, 18, 53);
        host.Map->MapScale = scale;
        host.Map->ZoomToExtent();
        host.Map->MapScale = scale;
    }
    LegendItem* Layer(const wchar_t* name, int type, const std::vector<shpw::Shape>& shapes, bool checked = true)
    {
        EXPECT_TRUE(WriteLayer(folder.Path(), name, type, shapes));
        LegendItem* item = LayerItem(folder.Path(), name);
        host.AddItem(item, checked);
        return item;
    }
    LegendItem* Area(const wchar_t* name, const std::vector<std::vector<double>>& rings, COLORREF fill)
    {
        LegendItem* item = Layer(name, SHPT_POLYGON, {MakeShape(SHPT_POLYGON, rings)});
        item->Style.Fill = true;
        item->Style.FillColor = fill;
        item->Style.Border = false;
        return item;
    }
    // The test map of the pixel checks: a red area, a blue river, a green grid of 1 degree and
    // orange record cells of the grid.
    void FillWithEverything()
    {
        grid = {};
        wcscpy(grid.Name, L"Síť");
        grid.LatMin = 48;
        grid.LatMax = 53;
        grid.LatCoarseStep = 1;
        grid.LonMin = 13;
        grid.LonMax = 18;
        grid.LonCoarseStep = 1;
        host.SelectGrid(&grid);
        host.PointsX = {13.5, 17.5};
        host.PointsY = {52.5, 52.5};
        LegendItem* records = NewInfoLegendItem(L"Zápisy", nullptr, INFO_RECORDS, 16, 16, nullptr);
        records->Style.Fill = true;
        records->Style.FillColor = kOrange;
        records->Style.FullCell = true;
        host.AddItem(records, true);
        LegendItem* net = NewInfoLegendItem(L"Síť", nullptr, INFO_GRID, 16, 16, nullptr);
        net->Style.Border = true;
        net->Style.BorderColor = kGreen;
        net->Style.BorderWidth = 1.0;
        net->Style.Fill = false;
        host.AddItem(net, true);
        LegendItem* river = Layer(L"river", SHPT_ARC, {MakeShape(SHPT_ARC, {{14.5, 48.2, 14.5, 52.8}})});
        river->Style.Border = true;
        river->Style.BorderColor = kBlue;
        river->Style.BorderWidth = 1.5;
        river->Style.Fill = false;
        Area(L"area", {Ring(16, 50.5, 0.8, 200)}, kRed);
    }
    // Where a map point lands in a picture of dpi dots per inch (y from the top).
    POINT At(double dpi, double x, double y) const
    {
        MapPicture p;
        EXPECT_TRUE(MapPictureOf(host.Map, dpi, dpi, &p));
        const double ys = p.CentreLat + (y - p.CentreLat) / p.YFactor;
        return {(LONG)((x - p.Left) / p.UnitsPerDot), (LONG)((p.Top - ys) / p.UnitsPerDot)};
    }
    bool Export(const std::wstring& path, int type, int dpi = 100, const wchar_t* title = L"Výběr")
    {
        return ExportMapPicture(host.Map, host.Main, path.c_str(), type, title, dpi);
    }
};

// The colour of a pixel of an image file as ImageMagick reads it, or CLR_INVALID.
COLORREF HostPixel(const std::wstring& image, POINT p)
{
    wintest::ScopedTempFolder out(L"mapoutput_px");
    const std::string txt = wintest::HostPath(out.File(L"px.txt"));
    std::ostringstream cmd;
    cmd << "convert '" << wintest::HostPath(image) << "' -crop 1x1+" << p.x << "+" << p.y
        << " -depth 8 -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info: > '" << txt << "'";
    if (wintest::RunHostShell(cmd.str()) != 0)
        return CLR_INVALID;
    int r = -1, g = -1, b = -1;
    if (sscanf(wintest::ReadFileBytes(out.File(L"px.txt")).c_str(), "%d %d %d", &r, &g, &b) != 3)
        return CLR_INVALID;
    return RGB(r, g, b);
}

bool Near(COLORREF a, COLORREF b, int tolerance = 40)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// Files of a folder (nothing left behind by a failed export).
int FilesIn(const std::wstring& folder)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    int n = 0;
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do
        n += !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    while (FindNextFileW(h, &fd));
    FindClose(h);
    return n;
}

}  // namespace

TEST(MapPicture, BitmapInfoDescribesWhatGetDIBitsWrites)
{
    struct Case {
        int bits;
        int width;
        DWORD stride;
    } cases[] = {{1, 13, 4}, {1, 33, 8}, {8, 13, 16}, {24, 13, 40}, {24, 1, 4}, {32, 13, 52}};
    HDC screen = GetDC(nullptr);
    for (const Case& c : cases) {
        const int height = 3;
        HBITMAP bitmap;
        if (c.bits == 1) {
            bitmap = CreateBitmap(c.width, height, 1, 1, nullptr);
        } else {
            BITMAPINFO bi = {};
            bi.bmiHeader = {sizeof(BITMAPINFOHEADER), c.width, height, 1, (WORD)c.bits, BI_RGB};
            void* bits = nullptr;
            bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
            memset(bits, 0x5A, (size_t)c.stride * height);
        }
        ASSERT_TRUE(bitmap) << c.bits;
        BITMAPINFO* info = MakeBitmapInfo(bitmap);
        ASSERT_TRUE(info) << c.bits;
        EXPECT_EQ(c.stride * height, info->bmiHeader.biSizeImage) << c.bits << " bpp, width " << c.width;
        // The bits under a guard: GetDIBits writes exactly biSizeImage bytes.
        std::vector<BYTE> buffer(info->bmiHeader.biSizeImage + 64, 0xCD);
        EXPECT_EQ(height, GetDIBits(screen, bitmap, 0, height, buffer.data(), info, DIB_RGB_COLORS)) << c.bits;
        for (size_t i = info->bmiHeader.biSizeImage; i < buffer.size(); ++i)
            ASSERT_EQ(0xCD, buffer[i]) << c.bits << " bpp: written past biSizeImage at " << i;
        free(info);
        DeleteObject(bitmap);
    }
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(nullptr, MakeBitmapInfo(nullptr));
    EXPECT_EQ(0u, DibImageSize(1LL << 40, 1LL << 40, 32));
}

TEST(MapPicture, SizesAndTruncation)
{
    // 2 x 1 degrees at 1:1,000,000 on a 600-dpi device: 5262 x 2631 dots.
    MapPicture p;
    ASSERT_TRUE(MapPictureOfExtent(0, 0, 2, 1, 1.0, 1e6, 0, 600, 600, &p));
    EXPECT_NEAR(0.0089843, p.DegreesPerMm, 1e-7);
    EXPECT_EQ(5262, (int)p.Width);
    EXPECT_EQ(2631, (int)p.Height);
    EXPECT_FALSE(MapPictureOfExtent(0, 0, 2, 1, 1.0, 0, 0, 600, 600, &p));
    EXPECT_FALSE(MapPictureOfExtent(0, 0, 2, 1, 1.0, 1e6, 0, 0, 600, &p));

    struct {
        double value;
        int expected;
    } cuts[] = {{1.9, 1},           {-1.9, -1},          {0.0, 0},     {2147483647.9, INT_MAX}, {-2147483648.5, INT_MIN},
                {3e9, INT_MIN},     {-3e9, INT_MIN},     {NAN, INT_MIN}, {INFINITY, INT_MIN}};
    for (const auto& c : cuts)
        EXPECT_EQ(c.expected, TruncToInt32(c.value)) << c.value;

}

TEST(MapPicture, PostScriptHeaderAlone)
{
    OutputScene s;
    s.Area(L"hidden", {Square(14, 49, 17, 52)}, kRed);
    s.host.SetChecked(0, false);
    const std::wstring path = s.folder.File(L"empty.eps");
    ASSERT_TRUE(s.Export(path, MAP_PICTURE_EPS, 0, L"Čáp černý ж"));
    MapPicture p;
    ASSERT_TRUE(MapPictureOf(s.host.Map, 72, 72, &p));
    char expected[256];
    // The title in the ANSI code page (1250 here): letters it lacks become question marks.
    snprintf(expected, sizeof expected,
             "%%!PS-Adobe-3.0 EPSF-3.0\n%%%%BoundingBox: 0 0 %d %d\n%%%%Creator:Zorna\n%%%%Title:\xC8\xE1p \xE8" "ern\xFD ?\n"
             "%%%%EndDocument\n",
             (int)p.Width, (int)p.Height);
    EXPECT_EQ(std::string(expected), wintest::ReadFileBytes(path));
}

TEST(MapPicture, PostScriptUnderACzechLocaleRendersTheMapsColours)
{
    OutputScene s;
    s.FillWithEverything();
    const std::wstring path = s.folder.File(L"mapa.eps");
    // The C library's numbers in Czech write decimal commas; the file must not.
    bool czech = false;
    for (const char* name : {"Czech_Czech Republic.1250", "Czech", "cs-CZ", "cs_CZ", "cs"})
        czech = czech || setlocale(LC_NUMERIC, name);
    ASSERT_TRUE(czech);
    char probe[16];
    snprintf(probe, sizeof probe, "%.2f", 1.0);
    EXPECT_STREQ("1,00", probe);
    const bool written = s.Export(path, MAP_PICTURE_EPS);
    setlocale(LC_ALL, "C");
    ASSERT_TRUE(written);
    const std::string eps = wintest::ReadFileBytes(path);
    EXPECT_NE(std::string::npos, eps.find("\n1.00 0.00 0.00 setrgbcolor\nbox fill\n"));
    EXPECT_EQ(std::string::npos, eps.find('\r'));
    EXPECT_EQ(std::string::npos, eps.find(','));
    // One cell-sized ptshape and one group per record.
    size_t groups = 0;
    for (size_t at = eps.find("gsave\n"); at != std::string::npos; at = eps.find("gsave\n", at + 1))
        ++groups;
    EXPECT_EQ(2u, groups);
    EXPECT_NE(std::string::npos, eps.find("/ptshape {newpath "));
    // Lines wrap at 241 characters, before the next coordinate pair.
    std::istringstream lines(eps);
    std::string line;
    size_t longest = 0;
    while (std::getline(lines, line))
        longest = std::max(longest, line.size());
    EXPECT_GT(longest, 200u);
    EXPECT_LE(longest, 241u + 24u);

    if (!wintest::HostHas("/usr/bin/gs"))
        GTEST_SKIP() << "Ghostscript is not installed: the PostScript is not rendered";
    const std::string file = wintest::HostPath(path);
    EXPECT_EQ(0, wintest::RunHostShell("gs -q -dNOSAFER -dBATCH -dNOPAUSE -sDEVICE=nullpage '" + file + "' >/dev/null 2>&1"));
    const std::wstring png = s.folder.File(L"mapa.png");
    ASSERT_EQ(0, wintest::RunHostShell("gs -q -dNOSAFER -dBATCH -dNOPAUSE -dEPSCrop -r72 -sDEVICE=png16m -sOutputFile='" +
                                       wintest::HostPath(png) + "' '" + file + "' >/dev/null 2>&1"));
    wchar_t shots[MAX_PATH];
    if (GetEnvironmentVariableW(L"ZOR_SCREENSHOTS", shots, MAX_PATH))
        CopyFileW(png.c_str(), (std::wstring(shots) + L"\\map_eps.png").c_str(), FALSE);
    struct {
        double x, y;
        COLORREF colour;
        const char* what;
    } probes[] = {{16.3, 50.5, kRed, "the area near its centroid (off the grid line)"},
                  {14.5, 50.3, kBlue, "the river"},
                  {15.0, 49.5, kGreen, "a grid line"},  // the vertical line at 15
                  {13.5, 52.5, kOrange, "a record's cell"},
                  {17.5, 52.5, kOrange, "another record's cell"}};
    for (const auto& p : probes) {
        COLORREF c = HostPixel(png, s.At(72, p.x, p.y));
        EXPECT_TRUE(Near(c, p.colour, 60)) << p.what << ": " << std::hex << c;
    }
}

TEST(MapPicture, MetafileRecordsHatchesPathsAndCells)
{
    OutputScene s;
    s.FillWithEverything();
    // A hatched area with a hole: its fill and its lines are clipped to the rings, not hatch
    // brushes (which know neither the pattern's colour, spacing nor angle).
    LegendItem* single = s.Area(L"single", {Square(13.2, 48.2, 13.8, 48.8), Square(13.4, 48.4, 13.6, 48.6)}, kBlue);
    single->Style.Pattern = true;
    single->Style.PatternRotation = 45;
    single->Style.PatternColor = RGB(0, 0, 0);
    const std::wstring path = s.folder.File(L"mapa.emf");
    ASSERT_TRUE(s.Export(path, MAP_PICTURE_EMF, 0, L"Čáp"));

    HENHMETAFILE emf = GetEnhMetaFileW(path.c_str());
    ASSERT_TRUE(emf);
    wchar_t description[64] = {};
    ASSERT_EQ(11u, GetEnhMetaFileDescriptionW(emf, 64, description));
    EXPECT_EQ(std::wstring(L"Zorna\0Čáp\0\0", 11), std::wstring(description, 11));
    struct Seen {
        std::vector<int> hatches;
        int solidBrushes = 0;
        int clipPaths = 0, hatchLines = 0;
        std::vector<int> figuresPerPath;
        bool inPath = false;
        bool nullPen = false;
        std::vector<RECTL> nullPenRects;
    } seen;
    EnumEnhMetaFile(
        nullptr, emf,
        [](HDC, HANDLETABLE*, const ENHMETARECORD* r, int, LPARAM data) -> int {
            Seen* v = (Seen*)data;
            switch (r->iType) {
            case EMR_CREATEBRUSHINDIRECT: {
                const EMRCREATEBRUSHINDIRECT* b = (const EMRCREATEBRUSHINDIRECT*)r;
                if (b->lb.lbStyle == BS_HATCHED)
                    v->hatches.push_back((int)b->lb.lbHatch);
                else if (b->lb.lbStyle == BS_SOLID)
                    ++v->solidBrushes;
                break;
            }
            case EMR_SELECTCLIPPATH: ++v->clipPaths; break;
            case EMR_POLYPOLYLINE:
            case EMR_POLYPOLYLINE16: ++v->hatchLines; break;
            case EMR_BEGINPATH: v->inPath = true; v->figuresPerPath.push_back(0); break;
            case EMR_CLOSEFIGURE: if (v->inPath) ++v->figuresPerPath.back(); break;
            case EMR_ENDPATH: v->inPath = false; break;
            case EMR_SELECTOBJECT: {
                // Stock pens are selected by their number; a created pen follows its record.
                const DWORD h = ((const EMRSELECTOBJECT*)r)->ihObject;
                if (h == (ENHMETA_STOCK_OBJECT | NULL_PEN))
                    v->nullPen = true;
                else if (h == (ENHMETA_STOCK_OBJECT | BLACK_PEN) || h == (ENHMETA_STOCK_OBJECT | WHITE_PEN))
                    v->nullPen = false;
                break;
            }
            case EMR_CREATEPEN: v->nullPen = false; break;
            case EMR_RECTANGLE:
                if (v->nullPen)
                    v->nullPenRects.push_back(((const EMRRECTANGLE*)r)->rclBox);
                break;
            default: break;
            }
            return 1;
        },
        &seen, nullptr);
    EXPECT_TRUE(seen.hatches.empty());
    EXPECT_EQ(3, seen.solidBrushes);  // the red area, the hatched one's fill and the records
    EXPECT_EQ(1, seen.clipPaths);
    EXPECT_EQ(1, seen.hatchLines);
    // One path for the red area; the hatched one's fill and clip each hold both its rings.
    std::vector<int> figures = seen.figuresPerPath;
    std::sort(figures.begin(), figures.end());
    EXPECT_EQ((std::vector<int>{1, 2, 2}), figures);
    // The two record cells: rectangles of a cell's size with the null pen.
    MapPicture p;
    HDC screen = GetDC(nullptr);
    ASSERT_TRUE(MapPictureOf(s.host.Map, GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY), &p));
    ASSERT_EQ(2u, seen.nullPenRects.size());
    const double cell = 1.0 / p.UnitsPerDot;  // one degree
    for (const RECTL& r : seen.nullPenRects) {
        EXPECT_NEAR(cell, r.right - r.left, 1.5);
        EXPECT_NEAR(cell / p.YFactor, r.bottom - r.top, 1.5);
    }
    // Played back into a bitmap: the colours of the map.
    const int w = (int)p.Width, h = (int)p.Height;
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, dib);
    RECT all = {0, 0, w, h};
    FillRect(mem, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    ASSERT_TRUE(PlayEnhMetaFile(mem, emf, &all));
    GdiFlush();
    auto pixel = [&](double x, double y) {
        POINT at = s.At(GetDeviceCaps(screen, LOGPIXELSX), x, y);
        const DWORD v = ((const DWORD*)bits)[(size_t)at.y * w + at.x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    };
    EXPECT_TRUE(Near(kRed, pixel(16.3, 50.5), 10)) << std::hex << pixel(16.3, 50.5);
    EXPECT_TRUE(Near(kOrange, pixel(13.5, 52.5), 10)) << std::hex << pixel(13.5, 52.5);
    EXPECT_TRUE(Near(kBlue, pixel(14.5, 50.3), 10)) << std::hex << pixel(14.5, 50.3);
    // The hatched area: blue and black lines in its ring, white in its hole, no line outside.
    int blue = 0, black = 0, outside = 0;
    for (double y = 48.22; y < 48.78; y += 0.01)
        for (double x = 13.22; x < 13.38; x += 0.01) {
            blue += Near(kBlue, pixel(x, y), 20);
            black += Near(RGB(0, 0, 0), pixel(x, y), 20);
            outside += Near(RGB(0, 0, 0), pixel(x - 0.2, y), 60);
        }
    EXPECT_GT(blue, 50);
    EXPECT_GT(black, 20);
    EXPECT_EQ(0, outside);
    EXPECT_EQ(RGB(255, 255, 255), pixel(13.5, 48.5)) << "the hole";
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(dib);
    ReleaseDC(nullptr, screen);
    DeleteEnhMetaFile(emf);
}

TEST(MapPicture, BitmapHasTheSizeOfItsResolutionAndTheScreenStillDraws)
{
    OutputScene s;
    s.FillWithEverything();
    const std::wstring path = s.folder.File(L"mapa.bmp");
    ASSERT_TRUE(s.Export(path, MAP_PICTURE_BMP, 150));
    MapPicture p;
    ASSERT_TRUE(MapPictureOf(s.host.Map, 150, 150, &p));
    // The width the resolution gives: 5 degrees at 1:5,000,000 and 150 dpi.
    const double c = 5e6 / kMapMmPerDegree;
    EXPECT_EQ((int)(150 * 5 / c / kMapMmPerInch), (int)p.Width);
    const std::string bytes = wintest::ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 54u);
    const BITMAPINFOHEADER* h = (const BITMAPINFOHEADER*)(bytes.data() + 14);
    EXPECT_EQ((LONG)p.Width, h->biWidth);
    EXPECT_EQ((LONG)p.Height, h->biHeight);
    EXPECT_EQ(14 + 40 + (size_t)h->biSizeImage, bytes.size());
    // The screen's layers are intact after the drawing in another context.
    std::vector<unsigned> screen = s.host.RenderOnScreen();
    const double yc = (s.host.Map->MaxY + s.host.Map->MinY) / 2;
    const LONG sx = (LONG)((16.3 - s.host.Map->XCorner) / s.host.Map->UnitsPerPixel);
    const LONG sy = (LONG)((s.host.Map->YCorner - (yc + (50.5 - yc) / s.host.Map->YFactor)) / s.host.Map->UnitsPerPixel);
    EXPECT_EQ(kRed, s.host.PixelOf(screen, sx, sy));

    if (!wintest::HostHas("/usr/bin/identify"))
        GTEST_SKIP() << "ImageMagick is not installed: the bitmap is not read back";
    const std::wstring size = s.folder.File(L"size.txt");
    ASSERT_EQ(0, wintest::RunHostShell("identify -format '%w %h' '" + wintest::HostPath(path) + "' > '" +
                                       wintest::HostPath(size) + "'"));
    int w = 0, ht = 0;
    ASSERT_EQ(2, sscanf(wintest::ReadFileBytes(size).c_str(), "%d %d", &w, &ht));
    EXPECT_EQ((int)p.Width, w);
    EXPECT_EQ((int)p.Height, ht);
    EXPECT_TRUE(Near(kRed, HostPixel(path, s.At(150, 16.3, 50.5)), 10));
    EXPECT_TRUE(Near(kOrange, HostPixel(path, s.At(150, 13.5, 52.5)), 10));
    EXPECT_TRUE(Near(kBlue, HostPixel(path, s.At(150, 14.5, 50.3)), 60));
}

TEST(MapPicture, FailuresShowAReasonAndKeepTheOldFile)
{
    OutputScene s;
    s.Area(L"area", {Square(14, 49, 17, 52)}, kRed);
    const std::wstring old = s.folder.File(L"old.bmp");
    ASSERT_TRUE(wintest::WriteUtf8File(old, L"old"));
    const std::string before = wintest::ReadFileBytes(old);
    const int files = FilesIn(s.folder.Path());
    wintest::SmallDisk disk;
    struct Case {
        const char* what;
        std::wstring path;
        int type;
        int dpi;
        double scale;
        bool written;
        const wchar_t* says;
        bool onFullDisk;     // the old file on a disk with no room left (where one can be mounted)
        long long cutAfter;  // the write fails after that many bytes, as on a full disk
    } cases[] = {
        {"a wide map at 1,200 dpi", old, MAP_PICTURE_BMP, 1200, 1e6, false, L"16384"},
        {"100,000 dpi", old, MAP_PICTURE_BMP, 100000, 5e6, false, L"16384"},
        {"0 dpi", old, MAP_PICTURE_BMP, 0, 5e6, false, L"16384"},
        {"a folder that is missing", s.folder.File(L"chybí\\mapa.eps"), MAP_PICTURE_EPS, 0, 5e6, false, L"chybí"},
        {"a read-only file", old, MAP_PICTURE_EPS, 0, 5e6, false, L"old.bmp"},
        {"a locked file", old, MAP_PICTURE_EMF, 0, 5e6, false, L"old.bmp"},
        {"one dot per inch", s.folder.File(L"tiny.bmp"), MAP_PICTURE_BMP, 1, 5e6, true, nullptr},
        {"a name outside the code page", s.folder.File(L"карта.eps"), MAP_PICTURE_EPS, 0, 5e6, true, nullptr},
        {"a bitmap cut short", old, MAP_PICTURE_BMP, 100, 5e6, false, L"old.bmp", false, 1000},
        {"PostScript cut short", old, MAP_PICTURE_EPS, 0, 5e6, false, L"old.bmp", false, 100},
        {"a bitmap on a full disk", disk.File(L"old.bmp"), MAP_PICTURE_BMP, 100, 5e6, false, L"old.bmp", true},
        {"a metafile on a full disk", disk.File(L"old.bmp"), MAP_PICTURE_EMF, 0, 5e6, false, L"old.bmp", true},
        {"PostScript on a full disk", disk.File(L"old.bmp"), MAP_PICTURE_EPS, 0, 5e6, false, L"old.bmp", true},
    };
    for (Case& c : cases) {
        if (c.onFullDisk && !disk.Mounted())
            continue;
        if (c.onFullDisk) {
            ASSERT_TRUE(CopyFileW(old.c_str(), c.path.c_str(), FALSE));
            disk.Fill();
        }
        s.host.Map->MapScale = c.scale;
        HANDLE lock = INVALID_HANDLE_VALUE;
        if (std::string(c.what) == "a read-only file")
            SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_READONLY);
        if (std::string(c.what) == "a locked file")
            lock = CreateFileW(old.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        wintest::MsgBoxRecorder boxes;
        long long previous = SetWriteLimitForTests(c.cutAfter ? c.cutAfter : -1);
        EXPECT_EQ(c.written, s.Export(c.path, c.type, c.dpi)) << c.what;
        SetWriteLimitForTests(previous);
        if (lock != INVALID_HANDLE_VALUE)
            CloseHandle(lock);
        SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (c.written) {
            EXPECT_TRUE(boxes.Boxes().empty()) << c.what;
            EXPECT_TRUE(wintest::FileExists(c.path)) << c.what;
            DeleteFileW(c.path.c_str());
        } else {
            ASSERT_EQ(1u, boxes.Boxes().size()) << c.what;
            EXPECT_EQ(L"Chyba", boxes.Boxes()[0].caption) << c.what;
            EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(c.says)) << c.what;
        }
        disk.Free();
        EXPECT_EQ(before, wintest::ReadFileBytes(c.onFullDisk ? c.path : old)) << c.what;
        EXPECT_EQ(files, FilesIn(s.folder.Path())) << c.what << ": a file was left behind";
        if (c.onFullDisk) {
            EXPECT_EQ(1, FilesIn(c.path.substr(0, c.path.rfind(L'\\')))) << c.what << ": a file was left behind";
            DeleteFileW(c.path.c_str());
        }
    }
}

namespace {

// A picture file read back as pixels at map points: the bitmap as it is, the metafile played
// into a bitmap at the screen's resolution, the PostScript rendered by Ghostscript at 72 dpi.
struct PictureReader {
    const OutputScene& Scene;
    HBITMAP Bitmap = nullptr;
    HDC Dc = nullptr;
    HGDIOBJ Old = nullptr;
    double Dpi = 0;
    explicit PictureReader(const OutputScene& s) : Scene(s) {}
    ~PictureReader()
    {
        if (Dc) {
            SelectObject(Dc, Old);
            DeleteDC(Dc);
        }
        if (Bitmap)
            DeleteObject(Bitmap);
    }
    bool Load(const std::wstring& bmp, double dpi)
    {
        Bitmap = (HBITMAP)LoadImageW(nullptr, bmp.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
        Dc = CreateCompatibleDC(nullptr);
        Old = SelectObject(Dc, Bitmap);
        Dpi = dpi;
        return Bitmap != nullptr;
    }
    bool Play(const std::wstring& emf)
    {
        HDC screen = GetDC(nullptr);
        Dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        MapPicture p;
        if (!MapPictureOf(Scene.host.Map, Dpi, Dpi, &p))
            return false;
        const int w = (int)p.Width, h = (int)p.Height;
        Dc = CreateCompatibleDC(nullptr);
        BITMAPINFO bi = {};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
        void* bits = nullptr;
        Bitmap = CreateDIBSection(Dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        Old = SelectObject(Dc, Bitmap);
        RECT all = {0, 0, w, h};
        FillRect(Dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
        HENHMETAFILE file = GetEnhMetaFileW(emf.c_str());
        const bool played = file && PlayEnhMetaFile(Dc, file, &all);
        if (file)
            DeleteEnhMetaFile(file);
        GdiFlush();
        return played;
    }
    // The pixel at a map point, or that many millimetres of paper right and down of it.
    COLORREF At(double x, double y, double rightMm = 0, double downMm = 0) const
    {
        const POINT p = Scene.At(Dpi, x, y);
        return GetPixel(Dc, p.x + (int)std::lround(rightMm * Dpi / kMapMmPerInch),
                        p.y + (int)std::lround(downMm * Dpi / kMapMmPerInch));
    }
};

}  // namespace

// A star, a transparent area over another, records of a translucent fill (two on one cell as
// dark as two blends) and a hatched area look alike on the screen's bitmap, in the metafile and
// in the PostScript, which has no transparency and paints the colours blended over what lies
// below.
TEST(MapPicture, StarsTransparencyAndPatternsLookAlikeInEveryPicture)
{
    OutputScene s;
    s.FillWithEverything();
    s.host.PointsX = {13.3, 13.7, 17.5};  // two localities in one cell
    s.host.PointsY = {52.3, 52.7, 52.5};
    LegendItem* records = LegendItemAt(s.host.Legend, 0);
    ASSERT_TRUE(IsInfoLayer(records, INFO_RECORDS));
    records->Style.FillTransp = 50;
    // A half-transparent green veil over the red area (at the top of the legend, drawn last).
    ASSERT_TRUE(WriteLayer(s.folder.Path(), L"veil", SHPT_POLYGON, {MakeShape(SHPT_POLYGON, {Square(15.5, 50.1, 17.7, 50.9)})}));
    LegendItem* veil = LayerItem(s.folder.Path(), L"veil");
    veil->Style.Fill = true;
    veil->Style.FillColor = kGreen;
    veil->Style.FillTransp = 50;
    veil->Style.Border = false;
    s.host.AddItem(veil, true, 0);
    // A hatched blue area: lines of 0.3 mm in black every 1.5 mm at 30 degrees.
    LegendItem* hatched = s.Area(L"hatched", {Square(13.2, 48.2, 14.8, 48.8)}, kBlue);
    hatched->Style.Pattern = true;
    hatched->Style.PatternColor = RGB(0, 0, 0);
    hatched->Style.PatternWidth = 1.5;
    hatched->Style.PatternSize = 0.3;
    hatched->Style.PatternRotation = 30;

    // A purple star in a cell of the shown grid (0.5 degree from its centre to its points): one
    // of its points straight up, a gap between two straight down.
    const COLORREF kPurple = RGB(128, 0, 160);
    const double starMm = 0.5 * kMapMmPerDegree / s.host.Map->MapScale;
    LegendItem* star = s.Layer(L"star", SHPT_POINT, {MakeShape(SHPT_POINT, {{15.5, 49.5}})});
    star->Style.SymbShape = SYMBOL_STAR;
    star->Style.Fill = true;
    star->Style.FillColor = kPurple;
    star->Style.Border = false;

    const COLORREF overRed = RGB(128, 80, 0), overPaper = RGB(128, 208, 128);
    const COLORREF twoRecords = RGB(255, 160, 64), oneRecord = RGB(255, 192, 128);
    struct Probe {
        double x, y;
        COLORREF colour;
        const char* what;
    } probes[] = {{16.3, 50.5, overRed, "the veil over the red area"},
                  {17.4, 50.5, overPaper, "the veil over the paper"},
                  {16.3, 51.1, kRed, "the red area beside the veil"},
                  {13.5, 52.5, twoRecords, "a cell of two records"},
                  {17.5, 52.5, oneRecord, "a cell of one record"}};
    const std::wstring bmp = s.folder.File(L"mapa.bmp"), emf = s.folder.File(L"mapa.emf"),
                       eps = s.folder.File(L"mapa.eps"), rendered = s.folder.File(L"eps.bmp");
    ASSERT_TRUE(s.Export(bmp, MAP_PICTURE_BMP, 96));
    ASSERT_TRUE(s.Export(emf, MAP_PICTURE_EMF));
    ASSERT_TRUE(s.Export(eps, MAP_PICTURE_EPS));
    const bool gs = wintest::HostHas("/usr/bin/gs");
    if (gs) {
        ASSERT_EQ(0, wintest::RunHostShell("gs -q -dNOSAFER -dBATCH -dNOPAUSE -dEPSCrop -r72 -sDEVICE=bmp16m -sOutputFile='" +
                                           wintest::HostPath(rendered) + "' '" + wintest::HostPath(eps) + "' >/dev/null 2>&1"));
    }
    for (int type : {MAP_PICTURE_BMP, MAP_PICTURE_EMF, MAP_PICTURE_EPS}) {
        SCOPED_TRACE(type == MAP_PICTURE_BMP ? "bitmap" : type == MAP_PICTURE_EMF ? "metafile" : "PostScript");
        if (type == MAP_PICTURE_EPS && !gs)
            continue;
        PictureReader picture(s);
        ASSERT_TRUE(type == MAP_PICTURE_EMF ? picture.Play(emf) : picture.Load(type == MAP_PICTURE_BMP ? bmp : rendered,
                                                                               type == MAP_PICTURE_BMP ? 96 : 72));
        for (const Probe& p : probes) {
            const COLORREF c = picture.At(p.x, p.y);
            EXPECT_TRUE(Near(p.colour, c, 12)) << p.what << ": " << std::hex << c;
        }
        int blue = 0, black = 0;
        for (double x = 13.25; x < 14.75; x += 0.01) {
            const COLORREF c = picture.At(x, 48.5);
            blue += Near(kBlue, c, 40);
            black += Near(RGB(0, 0, 0), c, 60);
        }
        EXPECT_GT(blue, 40) << "the fill between the lines";
        EXPECT_GT(black, 5) << "the hatching";
        EXPECT_TRUE(Near(RGB(255, 255, 255), picture.At(13.1, 48.5), 12)) << "no hatching beside the area";
        EXPECT_TRUE(Near(kPurple, picture.At(15.5, 49.5), 12)) << "the star's centre";
        EXPECT_TRUE(Near(kPurple, picture.At(15.5, 49.5, 0, -0.6 * starMm), 12)) << "the star's upper point";
        EXPECT_TRUE(Near(RGB(255, 255, 255), picture.At(15.5, 49.5, 0, 0.75 * starMm), 12)) << "the gap below its centre";
    }
    const std::string text = wintest::ReadFileBytes(eps);
    EXPECT_NE(std::string::npos, text.find("gsave box clip\n")) << "the hatching clipped to its area";
    EXPECT_NE(std::string::npos, text.find(" clip\n0.50 0.31 0.00 setrgbcolor\nbox fill grestore\n"))
        << "the veil over the red area";
}
