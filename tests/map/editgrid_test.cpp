// The grid editor EDITGRIDDLG driven by messages inside its modal loop, with its file choices
// and message boxes answered by the tests.
#include <windows.h>

#include <functional>
#include <gtest/gtest.h>

#include "common/filechooser.h"
#include "core/xmlaccess.h"
#include "map/editgriddlg.h"
#include "resources/zorna/resource.h"
#include "tools/samplemap/samplemap.h"
#include "tests/support/wintest.h"

namespace {

// Runs a script on the first dialog box the thread shows, from inside its modal loop.
struct DialogScript {
    static std::function<void(HWND)> act;
    static bool ran;
    static BOOL CALLBACK Find(HWND hwnd, LPARAM out)
    {
        wchar_t cls[16] = L"";
        GetClassNameW(hwnd, cls, 16);
        if (wcscmp(cls, L"#32770") == 0 && IsWindowVisible(hwnd)) {
            *(HWND*)out = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), Find, (LPARAM)&dialog);
        if (!dialog || ran)
            return;
        KillTimer(nullptr, id);
        ran = true;
        act(dialog);
    }
    static int Run(std::function<int()> show, std::function<void(HWND)> script)
    {
        act = std::move(script);
        ran = false;
        SetTimer(nullptr, 0, 20, Tick);
        return show();
    }
};
std::function<void(HWND)> DialogScript::act;
bool DialogScript::ran = false;

std::wstring Text(HWND dialog, int id)
{
    return wintest::WindowText(GetDlgItem(dialog, id));
}

void Set(HWND dialog, int id, const wchar_t* text)
{
    SetDlgItemTextW(dialog, id, text);
}

void Press(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

GridDef Grid()
{
    GridDef g;
    zor::MakeKfmeGrid(&g);
    wcscpy(g.Name, L"KFME Česko");
    g.LatMin = 49.3;  // shown as 49 18' 0,00", never as 17' 60,00"
    return g;
}

std::wstring g_chosenFile;
std::wstring g_proposedFile;
BOOL WINAPI ChooseTheFile(OPENFILENAMEW* ofn)
{
    g_proposedFile = ofn->lpstrFile;
    wcscpy(ofn->lpstrFile, g_chosenFile.c_str());
    return TRUE;
}

class GridEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner_ = CreateWindowExW(0, L"STATIC", L"Zorna", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        SetSaveFileChooser(ChooseTheFile);
        SetOpenFileChooser(ChooseTheFile);
    }
    void TearDown() override
    {
        SetSaveFileChooser(nullptr);
        SetOpenFileChooser(nullptr);
        DestroyWindow(owner_);
    }
    int Show(int isNew, GridDef* grid, std::function<void(HWND)> script)
    {
        return DialogScript::Run([&] { return ShowEditGridDlg(&editor_, owner_, isNew, grid); }, std::move(script));
    }
    CEditGridDlg editor_{GetModuleHandleW(nullptr)};
    HWND owner_ = nullptr;
};

}  // namespace

TEST_F(GridEditor, ViewingOnlyChangesNothing)
{
    GridDef grid = Grid();
    std::wstring shot;
    int result = Show(0, &grid, [&](HWND d) {
        EXPECT_EQ(L"Editace sítě", wintest::WindowText(d));
        EXPECT_EQ(L"KFME Česko", Text(d, IDC_GRID_NAME));
        EXPECT_EQ(L"49", Text(d, 102));
        EXPECT_EQ(L"18", Text(d, 103));
        EXPECT_EQ(L"0,00", Text(d, 104));
        EXPECT_EQ(L"10", Text(d, 121));  // 1/6 degree: 0 10' 0"
        EXPECT_EQ(L"0", Text(d, 120));
        shot = wintest::SaveScreenshot(d, L"map_editgrid");
        Press(d, IDOK);
    });
    EXPECT_EQ(0, result);
    EXPECT_FALSE(shot.empty());
    const GridDef original = Grid();
    EXPECT_EQ(0, memcmp(&grid, &original, sizeof grid)) << "the grid was changed";
}

TEST_F(GridEditor, EditedValuesAreWrittenOnOk)
{
    GridDef grid = Grid();
    int result = Show(0, &grid, [&](HWND d) {
        Set(d, IDC_GRID_NAME, L"Jemná síť");
        Set(d, 105, L"52");
        Set(d, 106, L"30");
        Set(d, 107, L"");
        Set(d, 123, L"");  // the fine steps are optional
        Set(d, 124, L"");
        Set(d, 125, L"");
        Set(d, 114, L"-0");  // just west of Greenwich
        Set(d, 115, L"30");
        Set(d, 116, L"0");
        Press(d, IDOK);
    });
    EXPECT_EQ(1, result);
    EXPECT_STREQ(L"Jemná síť", grid.Name);
    EXPECT_DOUBLE_EQ(52.5, grid.LatMax);
    EXPECT_DOUBLE_EQ(-0.5, grid.LonMin);
    EXPECT_EQ(0.0, grid.LonFineStep);
    EXPECT_NEAR(49.3, grid.LatMin, 1e-9);
}

TEST_F(GridEditor, InvalidValuesKeepTheDialogOpenWithTheFocusOnThem)
{
    GridDef grid = Grid();
    wintest::MsgBoxRecorder boxes;
    int result = Show(0, &grid, [&](HWND d) {
        struct Case {
            int id;
            const wchar_t* text;
            int focus;
        } cases[] = {{105, L"x", 105}, {108, L"", 108}, {IDC_GRID_NAME, L"", IDC_GRID_NAME}};
        for (const Case& c : cases) {
            GridDef before = grid;
            std::wstring old = Text(d, c.id);
            Set(d, c.id, c.text);
            Press(d, IDOK);
            EXPECT_TRUE(IsWindowVisible(d));
            EXPECT_EQ(GetDlgItem(d, c.focus), GetFocus()) << c.id;
            EXPECT_EQ(0, memcmp(&before, &grid, sizeof grid));
            Set(d, c.id, old.c_str());
        }
        Press(d, IDCANCEL);
    });
    EXPECT_EQ(0, result);
    ASSERT_EQ(3u, boxes.Boxes().size());
    for (const auto& box : boxes.Boxes()) {
        EXPECT_EQ(L"Vložená hodnota je neplatná", box.text);
        EXPECT_EQ(L"Chyba", box.caption);
        EXPECT_EQ((UINT)MB_ICONWARNING, box.type & MB_ICONMASK);
    }
}

TEST_F(GridEditor, ANewGridStartsEmpty)
{
    GridDef grid = Grid();
    int result = Show(1, &grid, [&](HWND d) {
        EXPECT_EQ(L"Nová síť", wintest::WindowText(d));
        EXPECT_EQ(L"", Text(d, IDC_GRID_NAME));
        EXPECT_EQ(L"", Text(d, 102));
        Set(d, IDC_GRID_NAME, L"Síť 1");
        const wchar_t* degrees[] = {L"48", L"51", L"0", nullptr, L"12", L"19", L"0", nullptr};
        for (int k = 0; k < 8; ++k)
            if (degrees[k])
                Set(d, 102 + 3 * k, degrees[k]);
        Set(d, 109, L"6");
        Set(d, 121, L"10");
        Press(d, IDOK);
    });
    EXPECT_EQ(1, result);
    EXPECT_STREQ(L"Síť 1", grid.Name);
    EXPECT_DOUBLE_EQ(0.1, grid.LatCoarseStep);
    EXPECT_DOUBLE_EQ(1.0 / 6, grid.LonCoarseStep);
    EXPECT_EQ(0.0, grid.LatFineStep);
    EXPECT_EQ(48.0, grid.LatMin);
}

TEST_F(GridEditor, SavedFileLoadsBackWhole)
{
    wintest::ScopedTempFolder folder(L"editgrid_file");
    g_chosenFile = folder.File(L"kfme.xml");
    GridDef grid = Grid();
    int result = Show(0, &grid, [&](HWND d) {
        Press(d, IDC_GRID_SAVE);
        EXPECT_EQ(L"KFME Česko.xml", g_proposedFile);
        EXPECT_EQ(XmlFileGridDefinition, GetXmlFileKind(g_chosenFile.c_str()));
        Set(d, IDC_GRID_NAME, L"jiná");
        Set(d, 120, L"5");
        Press(d, IDC_GRID_LOAD);
        EXPECT_EQ(L"KFME Česko", Text(d, IDC_GRID_NAME));
        EXPECT_EQ(L"0", Text(d, 120));
        Press(d, IDOK);
    });
    EXPECT_EQ(1, result);
    EXPECT_EQ(1.0 / 6, grid.LonCoarseStep);  // 10', not the 0.1667 of four decimals
    EXPECT_EQ(49.3, grid.LatMin);
}

// Steps of a grid file written with four decimals show as the whole seconds they stood for;
// saved again, the grid gets the steps themselves. Other values show as they are.
TEST_F(GridEditor, FourDecimalStepsShowAsTheirWholeSeconds)
{
    GridDef grid = Grid();
    grid.LatCoarseStep = 0.1;
    grid.LatFineStep = 0.0501;   // 3' 0,36": further than the rounding of four decimals
    grid.LonCoarseStep = 0.1667;  // 10' 0,12" as written, 10' meant
    grid.LonFineStep = 0.0833;    // 4' 59,88" as written, 5' meant
    grid.LonMax = 18.123456;      // not a value of four decimals: 18 7' 24,44"
    struct Shown {
        int first;
        const wchar_t *degrees, *minutes, *seconds;
    } shown[] = {
        {108, L"0", L"6", L"0,00"}, {111, L"0", L"3", L"0,36"}, {120, L"0", L"10", L"0,00"},
        {123, L"0", L"5", L"0,00"}, {117, L"18", L"7", L"24,44"}, {102, L"49", L"18", L"0,00"},
    };
    int result = Show(0, &grid, [&](HWND d) {
        for (const Shown& s : shown) {
            EXPECT_EQ(s.degrees, Text(d, s.first)) << s.first;
            EXPECT_EQ(s.minutes, Text(d, s.first + 1)) << s.first;
            EXPECT_EQ(s.seconds, Text(d, s.first + 2)) << s.first;
        }
        wintest::SaveScreenshot(d, L"map_editgrid_fourdecimals");
        Set(d, IDC_GRID_NAME, L"KFME");
        Press(d, IDOK);
    });
    EXPECT_EQ(1, result);
    EXPECT_EQ(1.0 / 6, grid.LonCoarseStep);
    EXPECT_EQ(1.0 / 12, grid.LonFineStep);
    EXPECT_NEAR(0.0501, grid.LatFineStep, 1e-8);  // read back from its shown seconds
}

TEST_F(GridEditor, WrongFilesAndUnwritablePathsAreReported)
{
    wintest::ScopedTempFolder folder(L"editgrid_bad");
    std::wstring workspace = folder.File(L"Pracovni.xml");
    ASSERT_TRUE(wintest::WriteUtf8File(workspace, L"<?xml version=\"1.0\"?><!--Zorna Workspace Settings-->"
                                                  L"<Workspace><Grid Name=\"a\"/></Workspace>"));
    GridDef grid = Grid();
    wintest::MsgBoxRecorder boxes;
    int result = Show(0, &grid, [&](HWND d) {
        g_chosenFile = workspace;
        Press(d, IDC_GRID_LOAD);
        EXPECT_EQ(L"KFME Česko", Text(d, IDC_GRID_NAME));
        g_chosenFile = folder.File(L"chybí\\kfme.xml");
        Press(d, IDC_GRID_SAVE);
        Press(d, IDOK);
    });
    EXPECT_EQ(0, result);
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_EQ(L"Tento soubor patrně není definice sítě.", boxes.Boxes()[0].text);
    EXPECT_EQ((UINT)MB_ICONERROR, boxes.Boxes()[0].type & MB_ICONMASK);
    const std::wstring& text = boxes.Boxes()[1].text;
    EXPECT_EQ(0u, text.find(L"Definici sítě nelze uložit do souboru " + g_chosenFile + L".")) << text;
    EXPECT_GT(text.size(), g_chosenFile.size() + 45) << "no reason given";
    EXPECT_EQ(L"Chyba", boxes.Boxes()[1].caption);
    EXPECT_FALSE(wintest::FileExists(g_chosenFile));
}
