// The workspace settings file, the registry values and the settings elements of the exports
// and the print form, written and read back through the real components.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/containers.h"
#include "core/database.h"
#include "core/fields.h"
#include "core/xmlaccess.h"
#include "kavlink/kavlink.h"
#include "shellcontract/configdata.h"
#include "mainapp/mainform.h"
#include "mainapp/wssettings.h"
#include "map/griddef.h"
#include "reports/excelexport.h"
#include "reports/printform.h"
#include "reports/textexport.h"
#include "tests/core/sampletemplate.h"
#include "tests/support/wintest.h"

namespace {

HINSTANCE Inst() { return GetModuleHandleW(nullptr); }

using wintest::FileExists;
using wintest::ReadFileBytes;
using wintest::ReadUtf8File;

void WriteText(const std::wstring& path, const std::wstring& text)
{
    ASSERT_TRUE(wintest::WriteUtf8File(path, text));
}

std::wstring WorkspaceXml(const std::wstring& body)
{
    return L"<?xml version=\"1.0\"?>\r\n<!--Zorna Workspace Settings-->\r\n<Settings>\r\n" + body +
           L"</Settings>\r\n";
}

GridDef* NewGrid(const wchar_t* name, double base)
{
    GridDef* g = static_cast<GridDef*>(calloc(1, sizeof(GridDef)));
    wcscpy(g->Name, name);
    g->LatMin = base;
    g->LatMax = base + 3.25;
    g->LatCoarseStep = 0.5;
    g->LatFineStep = 0.0833;
    g->LonMin = base - 36.5;
    g->LonMax = base - 30.125;
    g->LonCoarseStep = 1.0 / 6;
    g->LonFineStep = 0;
    return g;
}

// ---- registry ----

class WsRegistry : public testing::Test
{
protected:
    void SetUp() override { Clean(); }
    void TearDown() override
    {
        Clean();
        free(conn_.UserName);
        free(conn_.DBName);
    }
    static void Clean()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Kelvane\\Z2011");
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, ZORNA_MACHINE_KEY);
    }
    static void SetRaw(HKEY root, const wchar_t* subkey, const wchar_t* name,
                       const std::wstring& text, bool terminated)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, subkey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        DWORD bytes = (DWORD)((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
        RegCloseKey(key);
    }
    ConnSettings conn_ = {};
    std::wstring config_, app_;
};

TEST_F(WsRegistry, FirstStartUsesTheDefaultWorkspaceAndDatabase)
{
    ReadRegistryPaths(&conn_, &config_, &app_);
    EXPECT_EQ(L"C:\\ProgramData\\", CommonAppDataFolder());
    EXPECT_EQ(L"C:\\ProgramData\\Kelvane\\Zorna2011\\Zorna.xml", config_);
    ASSERT_NE(nullptr, conn_.DBName);
    EXPECT_STREQ(L"C:\\ProgramData\\Kelvane\\Zorna2011\\Data\\ZorBase.mdb", conn_.DBName);
    EXPECT_EQ(1, conn_.ConnType);
    ASSERT_NE(nullptr, conn_.UserName);
    EXPECT_STREQ(L"", conn_.UserName);
    // Without the machine key the program folder is the folder the program was started from,
    // wherever the current directory is.
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.erase(folder.find_last_of(L'\\') + 1);
    wintest::ScopedTempFolder elsewhere(L"wsregistry_cwd");
    wchar_t current[MAX_PATH + 1];
    GetCurrentDirectoryW(MAX_PATH + 1, current);
    ASSERT_TRUE(SetCurrentDirectoryW(elsewhere.Path().c_str()));
    ReadRegistryPaths(&conn_, &config_, &app_);
    SetCurrentDirectoryW(current);
    EXPECT_EQ(folder, app_);
}

TEST_F(WsRegistry, DefaultsReplaceAPreviousDatabaseAndKeepTheUserName)
{
    conn_.DBName = _wcsdup(L"C:\\old.mdb");
    conn_.UserName = _wcsdup(L"jan");
    ReadRegistryPaths(&conn_, &config_, &app_);
    EXPECT_STREQ(L"C:\\ProgramData\\Kelvane\\Zorna2011\\Data\\ZorBase.mdb", conn_.DBName);
    EXPECT_STREQ(L"jan", conn_.UserName);
}

TEST_F(WsRegistry, LastConfigFileIsWrittenWithItsTerminatorAndReadBack)
{
    ASSERT_TRUE(WriteLastConfigPath(L"C:\\Šablony\\pracovní.xml"));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Kelvane\\Z2011\\Zorna",
                                           0, KEY_READ, &key));
    DWORD type = 0, bytes = 0;
    RegQueryValueExW(key, L"LastConfigFile", nullptr, &type, nullptr, &bytes);
    RegCloseKey(key);
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ((wcslen(L"C:\\Šablony\\pracovní.xml") + 1) * sizeof(wchar_t), bytes);

    conn_.ConnType = 5;
    ReadRegistryPaths(&conn_, &config_, &app_);
    EXPECT_EQ(L"C:\\Šablony\\pracovní.xml", config_);
    // The connection then comes only from the workspace file.
    EXPECT_EQ(0, conn_.ConnType);
    EXPECT_EQ(nullptr, conn_.DBName);
    EXPECT_EQ(nullptr, conn_.UserName);
}

TEST_F(WsRegistry, AValueStoredWithoutTerminatorIsReadExactly)
{
    SetRaw(HKEY_CURRENT_USER, ZORNA_USER_KEY, L"LastConfigFile", L"C:\\a\\b.xml", false);
    ReadRegistryPaths(&conn_, &config_, &app_);
    EXPECT_EQ(L"C:\\a\\b.xml", config_);
}

TEST_F(WsRegistry, ProgramFolderComesFromTheMachineKey)
{
    SetRaw(HKEY_LOCAL_MACHINE, ZORNA_MACHINE_KEY, L"AppPath", L"C:\\Program Files\\Zorna", true);
    ReadRegistryPaths(&conn_, &config_, &app_);
    EXPECT_EQ(L"C:\\Program Files\\Zorna", app_);
}

TEST_F(WsRegistry, LongPathIsReadWholeOrNotAtAll)
{
    std::wstring longPath = L"C:\\" + std::wstring(400, L'x') + L"\\Zorna.xml";
    ASSERT_TRUE(WriteLastConfigPath(longPath.c_str()));
    ReadRegistryPaths(&conn_, &config_, &app_);
    EXPECT_EQ(longPath, config_);  // beyond the 512 bytes a fixed buffer would keep

    // A holder that cannot keep it whole gets the defaults, never a cut path.
    ReadRegistryPaths(&conn_, &config_, &app_, MAX_PATH + 1);
    EXPECT_EQ(DefaultWorkspacePath(), config_);
    EXPECT_EQ(1, conn_.ConnType);
}

// A main form's own fields without its window: what the registry and workspace-file steps read
// and write of it.
struct BareForm
{
    BareForm()
    {
        form = reinterpret_cast<MainForm*>(storage);
        new (&form->ConfigPath) std::wstring();
        new (&form->AppPath) std::wstring();
    }
    ~BareForm()
    {
        free(form->Conn.DBName);
        free(form->Conn.UserName);
        form->ConfigPath.~basic_string();
        form->AppPath.~basic_string();
    }
    alignas(MainForm) unsigned char storage[sizeof(MainForm)] = {};
    MainForm* form;
};

TEST_F(WsRegistry, MainFormPathsOfAnyLengthAreKeptWhole)
{
    BareForm bare;
    MainForm* form = bare.form;
    std::wstring longPath = L"C:\\" + std::wstring(300, L'y') + L".xml";
    ASSERT_TRUE(WriteLastConfigPath(longPath.c_str()));
    SetRaw(HKEY_LOCAL_MACHINE, ZORNA_MACHINE_KEY, L"AppPath", L"D:\\" + std::wstring(290, L'z'), true);
    ReadRegistrySettings(form);
    // A long stored path is the user's workspace: it is used, not replaced by the default.
    EXPECT_EQ(longPath, form->ConfigPath);
    EXPECT_EQ(0, form->Conn.ConnType);
    EXPECT_EQ(L"D:\\" + std::wstring(290, L'z'), form->AppPath);

    // The exit writes back exactly that value.
    WriteLastConfigFile(form);
    ReadRegistryPaths(&conn_, &config_, &app_);
    EXPECT_EQ(longPath, config_);

    form->ConfigPath = L"C:\\Data\\moje.xml";
    WriteLastConfigFile(form);
    ReadRegistryPaths(&conn_, &config_, &app_);
    EXPECT_EQ(L"C:\\Data\\moje.xml", config_);
}

// ---- the workspace file ----

LRESULT CALLBACK HostWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A main window stand-in: a top-level window with the tab control 1002 of three tabs.
HWND MakeHost()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc = { sizeof(wc) };
        wc.lpfnWndProc = HostWndProc;
        wc.hInstance = Inst();
        wc.lpszClassName = L"WsSettingsHost";
        RegisterClassExW(&wc);
        registered = true;
    }
    HWND host = CreateWindowExW(0, L"WsSettingsHost", L"Zorna", WS_OVERLAPPEDWINDOW, 10, 10, 300,
                                200, nullptr, nullptr, Inst(), nullptr);
    HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 280, 150, host,
                               (HMENU)(INT_PTR)1002, Inst(), nullptr);
    const wchar_t* names[] = { L"Systém", L"Lokality", L"Vyhledávání" };
    for (int i = 0; i < 3; ++i) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(names[i]);
        SendMessageW(tab, TCM_INSERTITEMW, i, (LPARAM)&item);
    }
    return host;
}

BOOL WINAPI ChooseFixedFile(OPENFILENAMEW* ofn)
{
    wcscpy(ofn->lpstrFile, L"C:\\Databáze\\Terén\\ZorBase.mdb");
    return TRUE;
}

// Every component that takes part in the file, made the way the main form makes them.
struct Components
{
    HWND Host = MakeHost();
    ConfigData Config{ Inst() };
    CTextExport Text{ Inst(), nullptr };
    CExcelExport Excel{ Inst(), nullptr };
    CPtrArray Grids{ PTRARRAY_OWNS_ITEMS, 16, 4 };
    ConnSettings Conn = {};
    int LastExpType = 0, LastExpImgType = 0;
    IOpenConnForm* ConnForm = nullptr;
    CDatabase* Database = nullptr;

    Components()
    {
        FreeOpenConnForm();
        ConnForm = GetOpenConnForm(Inst(), Host);
    }
    ~Components()
    {
        FreeOpenConnForm();
        free(Conn.DBName);
        free(Conn.UserName);
        DestroyWindow(Host);
    }
    WorkspaceFileParts Parts()
    {
        WorkspaceFileParts p = {};
        p.MainWnd = Host;
        p.ConnForm = ConnForm;
        p.Config = &Config;
        p.TextExport = &Text;
        p.ExcelExport = &Excel;
        p.Database = Database;
        p.GridList = &Grids;
        p.Conn = &Conn;
        p.LastExpType = &LastExpType;
        p.LastExpImgType = &LastExpImgType;
        return p;
    }
    HWND Tab() const { return GetDlgItem(Host, 1002); }
};

class WsFile : public testing::Test
{
protected:
    void SetUp() override { folder_ = wintest::MakeTempFolder(L"wsfile"); }
    std::wstring Path(const wchar_t* name) const { return folder_ + L"\\" + name; }
    std::wstring folder_;
};

// Fills the components with values that differ from every default.
void FillNonDefault(Components& c)
{
    WINDOWPLACEMENT wp = { sizeof(wp) };
    wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = { 120, 130, 620, 530 };
    SetWindowPlacement(c.Host, &wp);
    SendMessageW(c.Tab(), TCM_SETCURSEL, 2, 0);
    c.LastExpType = 2;
    c.LastExpImgType = 3;
    c.Grids.Add(NewGrid(L"Síť ČR – KFME", 48.5));
    c.Grids.Add(NewGrid(L"Druhá", -10.25));
    wcscpy(c.Text.Delimiter, L"|");
    c.Text.Encoding = 1;
    c.Text.Left = 30;
    c.Text.Top = 40;
    c.Excel.Left = 50;
    c.Excel.Top = 60;
    free(c.Config.AppCaption);
    c.Config.AppCaption = _wcsdup(L"Moje Zorna");
    ConnFileChooser previous = SetConnFileChooser(ChooseFixedFile);
    ConnSettings scratch = {};
    c.ConnForm->RunDialog(&scratch);
    SetConnFileChooser(previous);
    free(scratch.DBName);
    free(scratch.UserName);
}

TEST_F(WsFile, ElementsComeInTheirOrderAfterTheComment)
{
    Components c;
    FillNonDefault(c);
    std::wstring path = Path(L"order.xml");
    SaveWorkspaceFile(path.c_str(), c.Parts());
    std::wstring text = ReadUtf8File(path);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(XmlFileWorkspace, GetXmlFileKind(path.c_str()));
    size_t comment = text.find(L"<!--Zorna Workspace Settings-->");
    size_t root = text.find(L"<Settings>");
    ASSERT_NE(std::wstring::npos, comment);
    EXPECT_LT(comment, root);
    const wchar_t* order[] = { L"<MainForm ", L"<" KAVLINK_SETTINGS_ELEMENT, L"<ConfigDialog",
                               L"<ExpToTXTDlg ", L"<ExpToXLSDlg ", L"<System", L"<Grids>",
                               L"<Grid1 ", L"<Grid2 " };
    size_t last = root;
    for (const wchar_t* tag : order) {
        size_t at = text.find(tag);
        ASSERT_NE(std::wstring::npos, at) << tag;
        EXPECT_GT(at, last) << tag;
        last = at;
    }
    EXPECT_NE(std::wstring::npos, text.find(L"LatCoarseSetp=\"0.5000\""));
    EXPECT_NE(std::wstring::npos, text.find(L"LonCoarseSetp=\"0.16666666666666666\""));
    EXPECT_EQ(std::wstring::npos, text.find(L"CoarseStep"));
    EXPECT_NE(std::wstring::npos, text.find(L"Name=\"Síť ČR – KFME\""));
    EXPECT_NE(std::wstring::npos, text.find(L"Delimiter=\"|\""));
    // No database is open: the System element holds no connection.
    EXPECT_EQ(std::wstring::npos, text.find(L"<Connection"));
}

TEST_F(WsFile, ReadingBackRestoresEveryAttribute)
{
    std::wstring path = Path(L"roundtrip.xml");
    {
        Components c;
        FillNonDefault(c);
        SaveWorkspaceFile(path.c_str(), c.Parts());
    }
    Components r;
    LoadWorkspaceFile(path.c_str(), r.Parts());

    WINDOWPLACEMENT wp = { sizeof(wp) };
    GetWindowPlacement(r.Host, &wp);
    EXPECT_EQ(120, wp.rcNormalPosition.left);
    EXPECT_EQ(130, wp.rcNormalPosition.top);
    EXPECT_EQ(620, wp.rcNormalPosition.right);
    EXPECT_EQ(530, wp.rcNormalPosition.bottom);
    EXPECT_EQ(2, (int)SendMessageW(r.Tab(), TCM_GETCURSEL, 0, 0));
    EXPECT_EQ(2, r.LastExpType);
    EXPECT_EQ(3, r.LastExpImgType);

    ASSERT_EQ(2, r.Grids.GetCount());
    const GridDef* g = static_cast<const GridDef*>(r.Grids.GetItems()[0]);
    EXPECT_STREQ(L"Síť ČR – KFME", g->Name);
    EXPECT_DOUBLE_EQ(48.5, g->LatMin);
    EXPECT_DOUBLE_EQ(51.75, g->LatMax);
    EXPECT_DOUBLE_EQ(0.5, g->LatCoarseStep);
    EXPECT_DOUBLE_EQ(0.0833, g->LatFineStep);
    EXPECT_DOUBLE_EQ(12.0, g->LonMin);
    EXPECT_DOUBLE_EQ(18.375, g->LonMax);
    EXPECT_EQ(1.0 / 6, g->LonCoarseStep);  // the step itself, not four decimals of it
    EXPECT_DOUBLE_EQ(0.0, g->LonFineStep);
    EXPECT_STREQ(L"Druhá", static_cast<const GridDef*>(r.Grids.GetItems()[1])->Name);

    EXPECT_STREQ(L"|", r.Text.Delimiter);
    EXPECT_EQ(1, r.Text.Encoding);
    EXPECT_EQ(30, r.Text.Left);
    EXPECT_EQ(40, r.Text.Top);
    EXPECT_EQ(50, r.Excel.Left);
    EXPECT_EQ(60, r.Excel.Top);
    EXPECT_STREQ(L"Moje Zorna", r.Config.AppCaption);
    EXPECT_EQ(0, r.Conn.ConnType);
}

TEST_F(WsFile, SaveLoadSaveGivesTheSameBytes)
{
    std::wstring first = Path(L"first.xml"), second = Path(L"second.xml");
    {
        Components c;
        FillNonDefault(c);
        SaveWorkspaceFile(first.c_str(), c.Parts());
    }
    Components r;
    LoadWorkspaceFile(first.c_str(), r.Parts());
    SaveWorkspaceFile(second.c_str(), r.Parts());
    std::string a = ReadFileBytes(first), b = ReadFileBytes(second);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a, b);
}

TEST_F(WsFile, MissingFoldersAreCreatedBeforeSaving)
{
    Components c;
    std::wstring path = folder_ + L"\\nová\\složka\\Zorna.xml";
    ASSERT_FALSE(FileExists(folder_ + L"\\nová"));
    SaveWorkspaceFile(path.c_str(), c.Parts());
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(XmlFileWorkspace, GetXmlFileKind(path.c_str()));
}

TEST_F(WsFile, TheDefaultFolderIsCreatedOnTheFirstClose)
{
    std::wstring path = DefaultWorkspacePath();
    std::wstring folder = CommonAppDataFolder() + L"Kelvane\\Zorna2011";
    DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());  // only when empty: a test database may live below
    if (FileExists(folder))
        GTEST_SKIP() << "the default folder holds other files";
    Components c;
    SaveWorkspaceFile(path.c_str(), c.Parts());
    EXPECT_TRUE(FileExists(path));
    DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST_F(WsFile, WithoutMainFormTheWindowGoesTo100x100KeepingItsSize)
{
    std::wstring path = Path(L"nomain.xml");
    WriteText(path, WorkspaceXml(L"<System/>\r\n"));
    Components c;
    RECT before;
    GetWindowRect(c.Host, &before);
    LoadWorkspaceFile(path.c_str(), c.Parts());
    RECT after;
    GetWindowRect(c.Host, &after);
    EXPECT_EQ(100, after.left);
    EXPECT_EQ(100, after.top);
    EXPECT_EQ(before.right - before.left, after.right - after.left);
    EXPECT_EQ(before.bottom - before.top, after.bottom - after.top);
}

TEST_F(WsFile, WidthWithoutLeftCountsFromTheDefaultCorner)
{
    std::wstring path = Path(L"width.xml");
    WriteText(path, WorkspaceXml(L"<MainForm Width=\"300\" WindowState=\"1\"/>\r\n"));
    Components c;
    LoadWorkspaceFile(path.c_str(), c.Parts());
    WINDOWPLACEMENT wp = { sizeof(wp) };
    GetWindowPlacement(c.Host, &wp);
    EXPECT_EQ(100, wp.rcNormalPosition.left);
    EXPECT_EQ(100, wp.rcNormalPosition.top);
    EXPECT_EQ(400, wp.rcNormalPosition.right);
    EXPECT_EQ(471, wp.rcNormalPosition.bottom);
}

TEST_F(WsFile, AMinimisedWindowComesBackRestored)
{
    std::wstring path = Path(L"minimised.xml");
    WriteText(path, WorkspaceXml(L"<MainForm WindowState=\"2\" Left=\"10\" Top=\"20\" "
                                 L"Width=\"400\" Height=\"300\"/>\r\n"));
    Components c;
    LoadWorkspaceFile(path.c_str(), c.Parts());
    EXPECT_FALSE(IsIconic(c.Host));
    WINDOWPLACEMENT wp = { sizeof(wp) };
    GetWindowPlacement(c.Host, &wp);
    EXPECT_EQ((UINT)SW_SHOWNORMAL, wp.showCmd);
    EXPECT_EQ(410, wp.rcNormalPosition.right);
}

TEST_F(WsFile, GridsAreReadByPositionAndReplaceTheList)
{
    std::wstring path = Path(L"grids.xml");
    WriteText(path, WorkspaceXml(L"<Grids>\r\n"
                                 L"<Mřížka Name=\"A\" LatMin=\"1.5\" LonCoarseSetp=\"0.25\"/>\r\n"
                                 L"<Grid7 Name=\"B\"/>\r\n"
                                 L"</Grids>\r\n"));
    Components c;
    c.Grids.Add(NewGrid(L"stará", 1));
    LoadWorkspaceFile(path.c_str(), c.Parts());
    LoadWorkspaceFile(path.c_str(), c.Parts());  // reopening the same template
    ASSERT_EQ(2, c.Grids.GetCount());
    const GridDef* a = static_cast<const GridDef*>(c.Grids.GetItems()[0]);
    EXPECT_STREQ(L"A", a->Name);
    EXPECT_DOUBLE_EQ(1.5, a->LatMin);
    EXPECT_DOUBLE_EQ(0.25, a->LonCoarseStep);
    EXPECT_DOUBLE_EQ(0.0, a->LatMax);  // absent attributes stay zero
    EXPECT_STREQ(L"B", static_cast<const GridDef*>(c.Grids.GetItems()[1])->Name);
}

TEST_F(WsFile, ConnectionReplacesTheTextsOrClearsThem)
{
    std::wstring path = Path(L"conn.xml");
    WriteText(path, WorkspaceXml(L"<System>\r\n<Connection ConnType=\"1\" "
                                 L"DBName=\"C:\\Data\\Brno.mdb\"/>\r\n</System>\r\n"));
    Components c;
    c.Conn.UserName = _wcsdup(L"jan");
    LoadWorkspaceFile(path.c_str(), c.Parts());
    EXPECT_EQ(1, c.Conn.ConnType);
    ASSERT_NE(nullptr, c.Conn.DBName);
    EXPECT_STREQ(L"C:\\Data\\Brno.mdb", c.Conn.DBName);
    EXPECT_EQ(nullptr, c.Conn.UserName);
}

TEST_F(WsFile, WithoutConnectionNoDatabaseIsChosen)
{
    std::wstring path = Path(L"noconn.xml");
    WriteText(path, WorkspaceXml(L"<System/>\r\n"));
    Components c;
    LoadWorkspaceFile(path.c_str(), c.Parts());
    EXPECT_EQ(0, c.Conn.ConnType);
    EXPECT_EQ(nullptr, c.Conn.DBName);
}

TEST_F(WsFile, AMissingFileLeavesTheDefaults)
{
    Components c;
    LoadWorkspaceFile(Path(L"neni.xml").c_str(), c.Parts());
    EXPECT_STREQ(L"Zorna", c.Config.AppCaption);
    EXPECT_EQ((HFONT)GetStockObject(SYSTEM_FONT), c.Config.CardFont);
    EXPECT_STREQ(L"\t", c.Text.Delimiter);
    EXPECT_EQ(EXPORT_DIALOG_UNPLACED, c.Excel.Left);
    EXPECT_EQ(0, c.Grids.GetCount());
}

TEST_F(WsFile, AnOpenDatabaseIsStoredAsTheConnection)
{
    zor::SampleDbOptions options;
    options.empty = true;
    std::wstring db = MakeSampleTemplate(L"wsfiledb", options);
    ASSERT_FALSE(db.empty());
    Components c;
    c.Conn.ConnType = 1;
    c.Conn.DBName = _wcsdup(db.c_str());
    c.Conn.UserName = _wcsdup(L"");
    CDatabase database(c.Host, Inst());
    database.Open(nullptr, &c.Conn);
    ASSERT_TRUE(wintest::PumpUntil([&] { return database.IsOpen() != 0; }, 20000));
    c.Database = &database;
    std::wstring path = Path(L"open.xml");
    SaveWorkspaceFile(path.c_str(), c.Parts());
    database.Close();
    wintest::PumpMessages(50);  // the opening's own notification

    std::wstring text = ReadUtf8File(path);
    EXPECT_NE(std::wstring::npos, text.find(L"<Connection ConnType=\"1\" DBName=\"" + db +
                                            L"\" UserName=\"\"/>"));
    Components r;
    LoadWorkspaceFile(path.c_str(), r.Parts());
    EXPECT_EQ(1, r.Conn.ConnType);
    ASSERT_NE(nullptr, r.Conn.DBName);
    EXPECT_EQ(db, r.Conn.DBName);
    ASSERT_NE(nullptr, r.Conn.UserName);
    EXPECT_STREQ(L"", r.Conn.UserName);
}

TEST_F(WsFile, TheMainFormSavesAndLoadsThroughItsOwnParts)
{
    BareForm bare;
    MainForm* form = bare.form;
    Components c;
    FillNonDefault(c);
    std::wstring path = Path(L"form.xml");
    form->ConfigPath = path;
    form->Config = &c.Config;
    form->TextExport = &c.Text;
    form->GridList = &c.Grids;
    form->LastExpType = 1;
    SaveWorkspace(form, c.Host);
    std::wstring text = ReadUtf8File(path);
    EXPECT_NE(std::wstring::npos, text.find(L"LastExpType=\"1\""));
    EXPECT_NE(std::wstring::npos, text.find(L"<Grid2 "));
    EXPECT_EQ(std::wstring::npos, text.find(L"<ExpToXLSDlg"));  // no Excel export in this form

    form->LastExpType = 0;
    c.Text.Left = 0;
    LoadWorkspace(form, c.Host);
    EXPECT_EQ(1, form->LastExpType);
    EXPECT_EQ(30, c.Text.Left);
    EXPECT_EQ(2, c.Grids.GetCount());
}

// ---- the exports' and the print form's elements ----

class ReportSettings : public testing::Test
{
protected:
    void SetUp() override { path_ = wintest::MakeTempFolder(L"reportsettings") + L"\\r.xml"; }
    std::wstring path_;
};

TEST_F(ReportSettings, TextExportStartsWithTabAnsiAndUnplacedDialog)
{
    CTextExport e(Inst(), nullptr);
    EXPECT_STREQ(L"\t", e.Delimiter);
    EXPECT_EQ(0, e.Encoding);
    EXPECT_EQ(-100, e.Left);
    EXPECT_EQ(0, e.Top);
    EXPECT_STREQ(L"%d zápisů vyexportováno", e.ProgressFormat);
    EXPECT_EQ(nullptr, e.Worker);
}

TEST_F(ReportSettings, TextExportDelimitersTravelByName)
{
    const wchar_t* delimiters[] = { L"\t", L" ", L";", L"|||" };
    const wchar_t* stored[] = { L"Tab", L"Space", L";", L"|||" };
    for (int i = 0; i < 4; ++i) {
        CTextExport e(Inst(), nullptr);
        wcscpy(e.Delimiter, delimiters[i]);
        e.Encoding = 1;
        e.Left = -5;
        e.Top = 77;
        {
            CXmlWriter w(path_.c_str());
            w.AddComment(L"Zorna Workspace Settings");
            w.CreateRoot(L"Settings");
            e.SaveSettings(&w);
            w.Save();
        }
        EXPECT_NE(std::wstring::npos,
                  ReadUtf8File(path_).find(std::wstring(L"<ExpToTXTDlg Delimiter=\"") + stored[i] +
                                       L"\" Encoding=\"1\" Left=\"-5\" Top=\"77\"/>"));
        CTextExport r(Inst(), nullptr);
        CXmlReader reader(path_.c_str());
        r.LoadSettings(&reader);
        EXPECT_STREQ(delimiters[i], r.Delimiter);
        EXPECT_EQ(1, r.Encoding);
        EXPECT_EQ(-5, r.Left);
        EXPECT_EQ(77, r.Top);
    }
}

TEST_F(ReportSettings, TextExportKeepsWhatTheElementLacks)
{
    WriteText(path_, WorkspaceXml(L"<ExpToTXTDlg Top=\"12\" "
                                  L"Delimiter=\"abcdefghijklmnopqrstuvwxyz\"/>\r\n"));
    CTextExport e(Inst(), nullptr);
    e.Encoding = 1;
    CXmlReader reader(path_.c_str());
    e.LoadSettings(&reader);
    EXPECT_EQ(1, e.Encoding);
    EXPECT_EQ(-100, e.Left);
    EXPECT_EQ(12, e.Top);
    EXPECT_STREQ(L"abcdefghijklmno", e.Delimiter);  // at most 15 characters
}

TEST_F(ReportSettings, ExcelExportKeepsItsDialogPosition)
{
    CExcelExport e(Inst(), nullptr);
    EXPECT_EQ(-100, e.Left);
    EXPECT_EQ(0, e.Top);
    EXPECT_EQ(1, e.Append);
    EXPECT_STREQ(L"%d zápisů vyexportováno", e.ProgressFormat);
    ASSERT_NE(nullptr, e.Sheets);
    EXPECT_EQ(PTRARRAY_OWNS_ITEMS, e.Sheets->OwnMode);
    e.Sheets->Add(_wcsdup(L"List1"));  // the destructor frees it
    e.SheetName = _wcsdup(L"Výběr");
    e.Left = 300;
    e.Top = 200;
    {
        CXmlWriter w(path_.c_str());
        w.AddComment(L"Zorna Workspace Settings");
        w.CreateRoot(L"Settings");
        e.SaveSettings(&w);
        w.Save();
    }
    EXPECT_NE(std::wstring::npos, ReadUtf8File(path_).find(L"<ExpToXLSDlg Left=\"300\" Top=\"200\"/>"));
    CExcelExport r(Inst(), nullptr);
    CXmlReader reader(path_.c_str());
    r.LoadSettings(&reader);
    EXPECT_EQ(300, r.Left);
    EXPECT_EQ(200, r.Top);
}

TEST_F(ReportSettings, PrintFormDefaults)
{
    CPrintForm p(Inst());
    EXPECT_STREQ(L"Arial", p.ReportFont.lfFaceName);
    EXPECT_EQ(10, p.ReportFont.lfHeight);
    EXPECT_EQ(400, p.ReportFont.lfWeight);
    EXPECT_EQ(1, p.Header);
    EXPECT_EQ(0, p.System);
    EXPECT_EQ(0, p.Location);
    EXPECT_EQ(0, p.AbbrevList);
    EXPECT_EQ((UINT)SW_SHOW, p.Placement.showCmd);
    EXPECT_EQ(100, p.Placement.rcNormalPosition.left);
    EXPECT_EQ(471, p.Placement.rcNormalPosition.bottom);
    EXPECT_EQ(nullptr, p.Window);
    // The page set-up must be usable in a 64-bit build.
    EXPECT_EQ((DWORD)sizeof(PAGESETUPDLGW), p.PageSetup.lStructSize);
    EXPECT_EQ((DWORD)PSD_RETURNDEFAULT, p.PageSetup.Flags);
    EXPECT_EQ(256, p.LineCapacity);
    EXPECT_NE(nullptr, p.LineBuffer);
}

PrintField* NewPrintField(const wchar_t* name, BYTE visible, BYTE abbrev)
{
    PrintField* f = static_cast<PrintField*>(calloc(1, sizeof(PrintField)));
    wcscpy(f->FieldName, name);
    f->Visible = visible;
    f->Abbrev = abbrev;
    return f;
}

TEST_F(ReportSettings, PrintFormRoundTripInsideItsParent)
{
    {
        CPrintForm p(Inst());
        p.Placement.showCmd = SW_SHOWMAXIMIZED;
        p.Placement.rcNormalPosition = { 5, 6, 805, 606 };
        p.ReportFont.lfHeight = -13;
        p.ReportFont.lfWeight = 700;
        p.ReportFont.lfItalic = 1;
        p.ReportFont.lfCharSet = EASTEUROPE_CHARSET;
        wcscpy(p.ReportFont.lfFaceName, L"Times New Roman");
        p.Fields->Add(NewPrintField(L"Druh", 1, 0));
        p.Fields->Add(NewPrintField(L"Lokalita – okres", 0, 1));
        p.Header = 0;
        p.System = 1;
        p.Location = 1;
        p.AbbrevList = 1;
        CXmlWriter w(path_.c_str());
        w.AddComment(L"Zorna Workspace Settings");
        w.CreateRoot(L"Settings");
        IXMLDOMElement* main = w.AddElement(L"MainForm");
        p.SaveSettings(&w, main);
        main->Release();
        w.Save();
    }
    std::wstring text = ReadUtf8File(path_);
    EXPECT_NE(std::wstring::npos, text.find(L"<PrintForm WindowState=\"3\" Left=\"5\" Top=\"6\" "
                                            L"Width=\"800\" Height=\"600\">"));
    EXPECT_NE(std::wstring::npos, text.find(L"<Fld1 FieldName=\"Lokalita – okres\" Visible=\"0\" "
                                            L"Abbrev=\"1\"/>"));
    EXPECT_LT(text.find(L"<MainForm"), text.find(L"<PrintForm"));

    CPrintForm r(Inst());
    r.Fields->Add(NewPrintField(L"Už známý", 1, 1));
    CXmlReader reader(path_.c_str());
    IXMLDOMElement* main = reader.SelectElement(L"MainForm");
    ASSERT_NE(nullptr, main);
    r.LoadSettings(&reader, main);
    main->Release();
    EXPECT_EQ((UINT)SW_SHOWMAXIMIZED, r.Placement.showCmd);
    EXPECT_EQ(5, r.Placement.rcNormalPosition.left);
    EXPECT_EQ(606, r.Placement.rcNormalPosition.bottom);
    EXPECT_EQ(-13, r.ReportFont.lfHeight);
    EXPECT_EQ(700, r.ReportFont.lfWeight);
    EXPECT_EQ(1, r.ReportFont.lfItalic);
    EXPECT_EQ(EASTEUROPE_CHARSET, r.ReportFont.lfCharSet);
    EXPECT_STREQ(L"Times New Roman", r.ReportFont.lfFaceName);
    ASSERT_EQ(3, r.Fields->GetCount());  // loading appends
    const PrintField* f = static_cast<const PrintField*>(r.Fields->GetItems()[2]);
    EXPECT_STREQ(L"Lokalita – okres", f->FieldName);
    EXPECT_EQ(0, f->Visible);
    EXPECT_EQ(1, f->Abbrev);
    EXPECT_EQ(nullptr, f->DispField);
    EXPECT_EQ(0, r.Header);
    EXPECT_EQ(1, r.System);
    EXPECT_EQ(1, r.Location);
    EXPECT_EQ(1, r.AbbrevList);
}

TEST_F(ReportSettings, PrintFormKeepsWhatTheElementLacks)
{
    WriteText(path_, WorkspaceXml(L"<MainForm>\r\n<PrintForm Left=\"300\"/>\r\n</MainForm>\r\n"));
    CPrintForm p(Inst());
    CXmlReader reader(path_.c_str());
    IXMLDOMElement* main = reader.SelectElement(L"MainForm");
    ASSERT_NE(nullptr, main);
    p.LoadSettings(&reader, main);
    main->Release();
    EXPECT_EQ(300, p.Placement.rcNormalPosition.left);
    EXPECT_EQ(758, p.Placement.rcNormalPosition.right);  // the width stays
    EXPECT_EQ(100, p.Placement.rcNormalPosition.top);
    EXPECT_STREQ(L"Arial", p.ReportFont.lfFaceName);
    EXPECT_EQ(1, p.Header);
    EXPECT_EQ(0, p.Fields->GetCount());
}

TEST_F(ReportSettings, PrintFormWindowKeepsItsOptionsWhenDestroyed)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"Tisková sestava", WS_POPUP, 0, 0, 200, 200,
                                  nullptr, nullptr, Inst(), nullptr);
    const int ids[] = { IDC_PRINT_HEADER, IDC_PRINT_SYSTEM, IDC_PRINT_LOCATION,
                        IDC_PRINT_ABBREVLIST };
    const bool checked[] = { false, true, false, true };
    for (int i = 0; i < 4; ++i) {
        HWND box = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | BS_AUTOCHECKBOX, 0, 20 * i, 100,
                                   18, window, (HMENU)(INT_PTR)ids[i], Inst(), nullptr);
        SendMessageW(box, BM_SETCHECK, checked[i] ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    std::wstring saved;
    {
        CPrintForm* p = new CPrintForm(Inst());
        p->Window = window;
        // Saving reads the window's own placement.
        SetWindowPos(window, nullptr, 40, 50, 300, 250, SWP_NOZORDER);
        CXmlWriter w(path_.c_str());
        w.CreateRoot(L"Settings");
        IXMLDOMElement* main = w.AddElement(L"MainForm");
        p->SaveSettings(&w, main);
        main->Release();
        w.Save();
        saved = ReadUtf8File(path_);
        delete p;
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_NE(std::wstring::npos, saved.find(L"Left=\"40\" Top=\"50\" Width=\"300\" Height=\"250\""));
}

// ---- the prefix's keys after a test run ----

std::wstring LastConfigValue()
{
    wchar_t text[MAX_PATH + 1] = L"";
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, ZORNA_USER_KEY, ZORNA_LAST_CONFIG_VALUE, RRF_RT_REG_SZ, nullptr,
                     text, &bytes) != ERROR_SUCCESS)
        return L"(none)";
    return text;
}

// Another run of tests that write the last workspace file, start a main form (whose end writes
// it again) and delete the programs' keys, in a process of its own: afterwards the user's own
// value is there as before, and the machine key the run set is gone again.
TEST(TestRuns, LeaveThePrefixsKeysAsTheyFoundThem)
{
    const std::wstring mine = L"C:\\Users\\Jana\\Pracovní.xml";
    ASSERT_TRUE(WriteLastConfigPath(mine.c_str()));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, ZORNA_MACHINE_KEY);
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = std::wstring(L"\"") + self + L"\" --gtest_filter=WsRegistry.*:"
                           L"MainFormViewTest.TitleIsTheCaptionWithoutDatabase";
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(self, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 180000));
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(0u, code) << "the tests of the other run failed";
    EXPECT_EQ(mine, LastConfigValue());
    HKEY machine = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, ZORNA_MACHINE_KEY, 0, KEY_READ, &machine));
    if (machine)
        RegCloseKey(machine);
}

}  // namespace
