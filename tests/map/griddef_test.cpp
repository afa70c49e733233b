// Grid cells, grid line counts and the grid definition file.
#include <windows.h>

#include <cmath>
#include <gtest/gtest.h>

#include "core/xmlaccess.h"
#include "map/griddef.h"
#include "tools/samplemap/samplemap.h"
#include "tests/support/wintest.h"

namespace {

GridDef Kfme()
{
    GridDef g;
    zor::MakeKfmeGrid(&g);
    wcscpy(g.Name, L"KFME Česko");
    return g;
}

}  // namespace

TEST(GridCells, PointsMoveToTheCentreOfTheirCell)
{
    GridDef g = Kfme();
    struct Case {
        double x, y;
        int fine;
        double f;
        double cellX, cellY;  // expected centre (y unscaled)
        double size;
    } cases[] = {
        {12.25, 49.03, 0, 1.0, 12.25, 49.05, 0.08},           // column 1 is centred on 12.25
        {11.95, 48.52, 0, 1.0, 12.0 + 1.0 / 12, 48.55, 0.08}, // west of the grid: column 0
        {14.43, 50.08, 1, 1.0, 12.0 + 29.5 / 12, 50.075, 0.04},
        {14.43, 50.08, 0, 0.64, 12.0 + 14.5 / 6, 50.05, 0.08},  // with a y factor
    };
    for (const Case& c : cases) {
        const double yc = 49.8;
        double x = c.x, y = yc + (c.y - yc) / c.f, cell[4];
        double size = SnapToGridCell(&g, yc, c.f, &x, &y, c.fine, cell);
        EXPECT_NEAR(c.size, size, 1e-12);
        EXPECT_NEAR(c.cellX, x, 1e-9);
        EXPECT_NEAR(c.cellY, yc + c.f * (y - yc), 1e-9);
        EXPECT_NEAR((cell[0] + cell[2]) / 2, x, 1e-9);
        EXPECT_NEAR((cell[1] + cell[3]) / 2, y, 1e-9);
        EXPECT_NEAR(c.fine ? 1.0 / 12 : 1.0 / 6, cell[2] - cell[0], 1e-9);
    }
    // A grid without fine cells leaves the point alone at the fine level.
    g.LatFineStep = g.LonFineStep = 0;
    double x = 14.43, y = 50.08;
    EXPECT_EQ(0, SnapToGridCell(&g, 49.8, 1.0, &x, &y, 1, nullptr));
    EXPECT_EQ(14.43, x);
    EXPECT_EQ(50.08, y);
    EXPECT_NEAR(0.08, SnapToGridCell(&g, 49.8, 1.0, &x, &y, 0, nullptr), 1e-12);
}

TEST(GridCells, LineCountsKeepTheLastLine)
{
    EXPECT_EQ(33, GridStepCount(48.0, 51.3, 0.1, 1000));  // 32.99999999999997 by division
    EXPECT_EQ(42, GridStepCount(12.0, 19.0, 1.0 / 6, 1000));
    EXPECT_EQ(7, GridStepCount(12.0, 19.0, 1.0, 1000));
    EXPECT_EQ(6, GridStepCount(12.0, 18.9, 1.0, 1000));
    EXPECT_EQ(-1, GridStepCount(19.0, 12.0, 1.0, 1000));
    EXPECT_EQ(1001, GridStepCount(0, 10, 1e-9, 1000));
    EXPECT_EQ(1001, GridStepCount(0, INFINITY, 1, 1000));
}

// The file keeps each step as it is (a 10' step is 1/6 degree, not 0.1667, which drifts off the
// border over 42 columns), the name intact; a file of four decimals still reads as it did.
TEST(GridFile, RoundTripKeepsTheStepsAndTheName)
{
    wintest::ScopedTempFolder folder(L"gridfile");
    std::wstring path = folder.File(L"síť.xml");
    GridDef g = Kfme();
    DWORD error = 1;
    ASSERT_EQ(1, WriteGridDefFile(path.c_str(), &g, &error));
    EXPECT_EQ(0u, error);
    EXPECT_EQ(XmlFileGridDefinition, GetXmlFileKind(path.c_str()));
    std::string bytes = wintest::ReadFileBytes(path);
    // The XML layer writes CR LF; Wine's MSXML saves the CR of text nodes as nothing.
    std::string lines;
    for (char ch : bytes)
        if (ch != '\r')
            lines += ch;
    EXPECT_NE(std::string::npos, bytes.find("<!--Zorna Grid Definition-->"));
    EXPECT_NE(std::string::npos, lines.find("<GridDef>\n\t<Grid Name=\"KFME \xC4\x8C" "esko\" LatMin=\"48.5000\" "
                                            "LatMax=\"51.1000\" LatCoarseSetp=\"0.1000\" LatFineStep=\"0.0500\" "
                                            "LonMin=\"12.0000\" LonMax=\"19.0000\" LonCoarseSetp=\"0.16666666666666666\" "
                                            "LonFineStep=\"0.08333333333333333\"/>\n</GridDef>"))
        << bytes;
    GridDef back;
    memset(&back, 0xCC, sizeof back);
    ASSERT_EQ(1, ReadGridDefFile(path.c_str(), &back));
    EXPECT_STREQ(L"KFME Česko", back.Name);
    EXPECT_EQ(48.5, back.LatMin);
    EXPECT_EQ(1.0 / 6, back.LonCoarseStep);
    EXPECT_EQ(1.0 / 12, back.LonFineStep);
    EXPECT_EQ(0.05, back.LatFineStep);
    // 42 coarse columns end on the grid's edge, not 0.014 degrees short of it.
    EXPECT_EQ(19.0, back.LonMin + GridStepCount(back.LonMin, back.LonMax, back.LonCoarseStep, 1000) * back.LonCoarseStep);

    const std::wstring older = folder.File(L"starsi.xml");
    ASSERT_TRUE(wintest::WriteUtf8File(older, L"<?xml version=\"1.0\"?>\r\n<!--Zorna Grid Definition-->\r\n<GridDef>\r\n"
                                              L"\t<Grid Name=\"KFME\" LatMin=\"48.5000\" LatMax=\"51.1000\" "
                                              L"LatCoarseSetp=\"0.1000\" LatFineStep=\"0.0500\" LonMin=\"12.0000\" "
                                              L"LonMax=\"19.0000\" LonCoarseSetp=\"0.1667\" LonFineStep=\"0.0833\"/>\r\n"
                                              L"</GridDef>\r\n"));
    ASSERT_EQ(1, ReadGridDefFile(older.c_str(), &back));
    EXPECT_EQ(0.1667, back.LonCoarseStep);
    EXPECT_EQ(0.0833, back.LonFineStep);
}

TEST(GridFile, OtherFilesAndDamagedGridsAreReadSafely)
{
    wintest::ScopedTempFolder folder(L"gridfile_bad");
    struct Case {
        const wchar_t* name;
        std::wstring xml;
        int result;
    } cases[] = {
        {L"workspace.xml",
         L"<?xml version=\"1.0\"?><!--Zorna Workspace Settings--><GridDef><Grid Name=\"a\" LatMin=\"1\"/></GridDef>", 0},
        {L"plain.xml", L"<?xml version=\"1.0\"?><GridDef><Grid Name=\"a\"/></GridDef>", 0},
        {L"nogrid.xml", L"<?xml version=\"1.0\"?><!--Zorna Grid Definition--><GridDef><Mrizka/></GridDef>", -1},
        {L"broken.xml", L"<?xml version=\"1.0\"?><!--Zorna Grid Definition--><GridDef><Grid", 0},
        {L"words.xml",
         L"<?xml version=\"1.0\"?><!--Zorna Grid Definition--><GridDef><Grid Name=\"n\" LatMin=\"sever\" "
         L"LatMax=\"51,5\" LonMin=\"1e999\" LonMax=\"17.25\"/></GridDef>",
         1},
        {L"long.xml",
         L"<?xml version=\"1.0\"?><!--Zorna Grid Definition--><GridDef><Grid Name=\"" + std::wstring(10000, L'x') +
             L"\"/></GridDef>",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring path = folder.File(c.name);
        ASSERT_TRUE(wintest::WriteUtf8File(path, c.xml));
        GridDef g = Kfme();
        EXPECT_EQ(c.result, ReadGridDefFile(path.c_str(), &g));
        if (c.result == 1) {
            EXPECT_LE(wcslen(g.Name), 127u);
            EXPECT_TRUE(std::isfinite(g.LonMin));
            EXPECT_EQ(0.0, g.LatMin);  // a value that is no number stays 0
            if (wcscmp(c.name, L"words.xml") == 0) {
                EXPECT_EQ(17.25, g.LonMax);
            }
        } else {
            EXPECT_STREQ(L"KFME Česko", g.Name);  // nothing changes
        }
    }
    EXPECT_EQ(0, ReadGridDefFile(folder.File(L"missing.xml").c_str(), nullptr));
}

TEST(GridFile, AFileThatCannotBeWrittenGivesTheSystemsReason)
{
    wintest::ScopedTempFolder folder(L"gridfile_ro");
    GridDef g = Kfme();
    DWORD error = 0;
    EXPECT_EQ(0, WriteGridDefFile(folder.File(L"chybí\\síť.xml").c_str(), &g, &error));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, error);
    EXPECT_EQ(0, WriteGridDefFile(folder.Path().c_str(), &g, &error));  // a folder
    EXPECT_NE(0u, error);
}
