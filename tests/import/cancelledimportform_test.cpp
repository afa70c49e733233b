// Cancelled imports through Tarnix's main form, one after another in one process, as testers do
// them: the wizard to Finish, Storno once the rows are under way, OK on "Import byl přerušen",
// the log closed with Escape, and the next import's wizard. The pages must show the model's own
// entries all along (a rolled-back run has the model read again only once it has ended, and only
// after the pages have let go of it), and the database file stays byte for byte as it was.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <prsht.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/plexa.h"
#include "import/importsources.h"
#include "import/impsource.h"
#include "import/impwizard.h"
#include "resources/tarnix/resource.h"
#include "tests/import/tablebook.h"
#include "tests/import/testimpsource.h"
#include "tests/utilities/formfixture.h"
#include "tools/exchangegen/exchangegen.h"
#include "tools/oldersample/olderdb.h"
#include "utilities/attrpage.h"
#include "utilities/levelpage.h"

namespace {

using namespace tarnixtest;

using CancelledImportForm = TarnixForm;

// Entries the pages show that the model's lists do not hold: only their addresses are compared,
// since such an entry may have been freed.
int EntriesOutsideTheModel(MaintApp* app)
{
    int outside = 0;
    for (int i = 0; i < 2; ++i) {
        HWND tree = GetDlgItem(app->LevelPages[i]->GetWindow(), IDC_LEVEL_TREE);
        for (HTREEITEM item = TreeView_GetRoot(tree); item; item = TreeView_GetNextSibling(tree, item))
            outside += ItemListIndexOf(&app->Model.Lists[MODEL_SYS_LEVELS + i], LevelEntryOf(tree, item)) < 0;
    }
    for (int i = 0; i < 6; ++i) {
        HWND list = GetDlgItem(app->AttrPages[i]->GetWindow(), IDC_ATTR_LIST);
        for (int row = 0; row < ListView_GetItemCount(list); ++row)
            outside += ItemListIndexOf(&app->Model.Lists[MODEL_SYSTREE_ATTRS + i], AttrEntryOf(list, row)) < 0;
    }
    return outside;
}

// The levels and attributes of the file as the model holds them ("SYSDEF:Řád,Čeleď,...|...").
std::wstring ModelNames(const StructureModel& model)
{
    std::wstring names;
    for (int k = 0; k < MODEL_LIST_COUNT; ++k) {
        names += k ? L"|" : L"";
        for (int i = 0; i < model.Lists[k].Count; ++i)
            names += (i ? L"," : L"") + std::wstring(k < MODEL_SYSTREE_ATTRS ? LevelAt(&model.Lists[k], i)->Name
                                                                           : AttrAt(&model.Lists[k], i)->Caption);
    }
    return names;
}

// The same read from the file with plain SQL.
std::wstring FileNames(const std::wstring& db)
{
    std::wstring names = dbtest::First(db, L"SELECT ifnull(group_concat(NAME), '') FROM (SELECT NAME FROM SYSDEF "
                                           L"WHERE LEVELID > 0 ORDER BY LEVELID)") +
                         L"|" +
                         dbtest::First(db, L"SELECT ifnull(group_concat(NAME), '') FROM (SELECT NAME FROM LOCDEF "
                                           L"WHERE LEVELID > 0 ORDER BY LEVELID)");
    for (const wchar_t* table : {L"SYSTREE", L"LOCTREE", L"SPECIES", L"FEATURES", L"ZORNACOLLS", L"LITERATURE"})
        names += L"|" + dbtest::First(db, std::wstring(L"SELECT ifnull(group_concat(CAPTION), '') FROM (SELECT CAPTION "
                                                       L"FROM CUSTOMATTRIBUTES WHERE TABLENAME = '") +
                                              table + L"' ORDER BY POSID)");
    return names;
}

void Notify(HWND page, int id, WORD code) { SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)GetDlgItem(page, id)); }

void Press(HWND dialog, int id) { SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id)); }

// The welcome page: the source's type and file.
std::function<bool()> WelcomeStep(int type, const std::wstring& file)
{
    return [type, file] {
        HWND sheet = ImportWindow(true);
        if (!sheet)
            return false;
        HWND welcome = PropSheet_GetCurrentPageHwnd(sheet);
        SendDlgItemMessageW(welcome, IDC_IMP_SOURCE_TYPES, LB_SETCURSEL, (WPARAM)type, 0);
        Notify(welcome, IDC_IMP_SOURCE_TYPES, LBN_SELCHANGE);
        SetDlgItemTextW(welcome, IDC_IMP_PATH, file.c_str());
        Notify(welcome, IDC_IMP_PATH, EN_KILLFOCUS);
        // A text file's status goes on with how it is read.
        EXPECT_EQ(0u, wintest::WindowText(GetDlgItem(welcome, IDC_IMP_STATUS)).find(ResString(IDS_I_SOURCE_OK)));
        PropSheet_PressButton(sheet, PSBTN_NEXT);
        return true;
    };
}

// A page of the wizard shown with that index: body runs on it, then the button is pressed.
std::function<bool()> PageStep(int index, int button, std::function<void(HWND page)> body = nullptr)
{
    return [index, button, body] {
        HWND sheet = ImportWindow(true);
        HWND page = sheet ? PropSheet_GetCurrentPageHwnd(sheet) : nullptr;
        if (!page || PropSheet_HwndToIndex(sheet, page) != index)
            return false;
        if (body)
            body(page);
        wintest::PumpMessages(20);  // the sheet's buttons change by a posted message
        PropSheet_PressButton(sheet, button);
        return true;
    };
}

// The mapping pages of the groups, each left as the wizard matched it, Finish on the last.
void MappingSteps(int groups)
{
    auto seen = std::make_shared<int>(0);
    for (int g = 0; g < groups; ++g)
        g_steps.push_back([seen, g, groups] {
            HWND sheet = ImportWindow(true);
            HWND page = sheet ? PropSheet_GetCurrentPageHwnd(sheet) : nullptr;
            if (!page || *seen != g || !GetDlgItem(page, IDC_IMP_GROUP_CAPTION))
                return false;
            ++*seen;
            PropSheet_PressButton(sheet, (g + 1 == groups ? PSBTN_FINISH : PSBTN_NEXT));  // the macro casts without parentheses
            return true;
        });
}

struct Case {
    const char* name;
    int type;
    std::wstring file;
    std::function<void()> wizard;  // pushes the wizard's steps after the welcome page
};

// Storno once the bar stands here: the rows are under way, the first (logged) one behind.
const int kCancelAt = 5;

// The run under way, Storno; "Import byl přerušen" and OK; the log closed with Escape. The pages
// are counted against the model while each window stands.
void CancelSteps(MaintApp* app, const std::string& name, bool* logShown)
{
    g_steps.push_back([name] {
        HWND progress = ImportWindow(false);
        if (!progress)
            return false;
        if (wintest::WindowText(GetDlgItem(progress, IDCANCEL)) == L"&OK") {
            ADD_FAILURE() << name << ": the import ended before it could be cancelled";
            return true;
        }
        if ((int)SendDlgItemMessageW(progress, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0) < kCancelAt)
            return false;
        Press(progress, IDCANCEL);
        return true;
    });
    g_steps.push_back([app, name] {
        HWND progress = ImportWindow(false);
        if (!progress || wintest::WindowText(GetDlgItem(progress, IDCANCEL)) != L"&OK")
            return false;
        EXPECT_EQ(ResString(IDS_I_IMPORT_CANCELLED), wintest::WindowText(GetDlgItem(progress, IDC_PROGRESS_STATUS))) << name;
        EXPECT_EQ(0, EntriesOutsideTheModel(app)) << name << ": on the cancelled run's progress dialog";
        wintest::SaveScreenshot(progress, (L"import_cancelled_" + std::wstring(name.begin(), name.end())).c_str());
        Press(progress, IDCANCEL);
        return true;
    });
    g_steps.push_back([app, name, logShown] {
        HWND log = FindWindowW(L"#32770", L"Výsledek importu");
        if (!log || !IsWindowVisible(log))
            return false;
        *logShown = true;
        EXPECT_EQ(0, EntriesOutsideTheModel(app)) << name << ": under the log";
        HWND lines = GetDlgItem(log, IDC_LOG_TEXT);
        EXPECT_LT(0, (int)SendMessageW(lines, LB_GETCOUNT, 0, 0)) << name;
        EXPECT_FALSE(wintest::WindowText(GetDlgItem(log, IDC_LOG_PATH)).empty()) << name;
        wintest::SaveScreenshot(log, (L"import_cancelled_log_" + std::wstring(name.begin(), name.end())).c_str());
        // Escape, as the user closes it: the dialog's own keyboard handling turns it into Close.
        SetFocus(lines);
        PostMessageW(lines, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageW(lines, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        return true;
    });
}

TEST_F(CancelledImportForm, EveryKindOfImportCancelledLeavesTheFormItsModelAndTheFileWhole)
{
    RegisterPlexaW(PLEXA_INPLACECOMBOBOX | PLEXA_PROPERTYBOX);
    RegisterImportSources();
    importtest::LogFolder logs;
    std::wstring db = folder_ + L"\\ZorBase.mdb";
    ASSERT_TRUE(CopyFileW(SampleTemplate().c_str(), db.c_str(), FALSE));

    // A text file whose first row names no taxon (a failed row, logged), then many good rows.
    std::wstring text = folder_ + L"\\nálezy.txt";
    std::wstring rows = L"Rod;Druh;Jméno;Východní délka;Severní šířka;Datum nálezu;Počet exemplářů\r\n"
                        L";;Zkušební Lhotka;14°30'0\";50°6'0\";15.3.2010;1\r\n";
    for (int i = 0; i < 20000; ++i)
        rows += L"Carabus;zkusmus;Zkušební Lhotka;14°30'0\";50°6'0\";" + std::to_wstring(1 + i % 28) + L"." +
                std::to_wstring(1 + i / 28 % 12) + L"." + std::to_wstring(1950 + i / 336) + L";1\r\n";
    importtest::WriteTextFile(text, rows);
    // The same species without a locality: the records go to one typed on the wizard's last page.
    std::wstring speciesOnly = folder_ + L"\\druhy.txt";
    rows = L"Rod;Druh;Datum nálezu;Počet exemplářů\r\n;;15.3.2010;1\r\n";
    for (int i = 0; i < 20000; ++i)
        rows += L"Carabus;zkusmus;" + std::to_wstring(1 + i % 28) + L"." + std::to_wstring(1 + i / 28 % 12) + L"." +
                std::to_wstring(1950 + i / 336) + L";1\r\n";
    importtest::WriteTextFile(speciesOnly, rows);

    // The same rows in an Excel sheet (an Access table goes through the same table source; the
    // Access files at hand hold too few rows to be cancelled half-way).
    std::wstring book = folder_ + L"\\nálezy.xls";
    std::vector<std::vector<tabletest::Cell>> cells = {
        {L"Rod", L"Druh", L"Jméno", L"Datum nálezu", L"Počet exemplářů"},
        {L"", L"", L"Zkušební Lhotka", L"15.3.2010", 1.0}};
    for (int i = 0; i < 6000; ++i)
        cells.push_back({L"Carabus", L"tabulkus", L"Zkušební Lhotka",
                         std::to_wstring(1 + i % 28) + L"." + std::to_wstring(1 + i / 28 % 12) + L"." +
                             std::to_wstring(1950 + i / 336),
                         1.0});
    ASSERT_NO_FATAL_FAILURE(tabletest::WriteBook(book, L"Nálezy", cells));

    // An exchange file of records, the first locality with a longitude that cannot be read (logged).
    exgen::BulkOptions bulk;
    bulk.count = 6000;
    bulk.seed = 6;
    std::string exchange = exgen::BulkRecordsFile(bulk);
    size_t degrees = exchange.find("VDStup=");
    ASSERT_NE(std::string::npos, degrees);
    exchange.insert(degrees + 7, "x");
    std::wstring zxf = folder_ + L"\\nálezy.zxf";
    ASSERT_TRUE(exgen::WriteBytes(zxf, exchange));

    // An older database with attributes the target lacks; a publication of it names a periodical
    // it does not have (logged).
    zor::OlderDbOptions older;
    older.sample.records = 6000;
    older.sample.seed = 9;
    older.renamedHalf = true;
    older.everyAttributeType = true;
    std::wstring olderDb = folder_ + L"\\Starší databáze.mdb";
    std::wstring error;
    ASSERT_TRUE(zor::CreateOlderDatabase(olderDb, older, &error)) << dbtest::Narrow(error);
    ASSERT_TRUE(dbtest::Exec(olderDb, L"UPDATE LITERATURE SET JOURNALID = 888888 WHERE ID = (SELECT MIN(ID) FROM LITERATURE)"));

    auto textSettings = [](HWND page) {
        SendDlgItemMessageW(page, IDC_IMP_SEPARATOR, CB_SETCURSEL, 2, 0);  // ";"
        CheckDlgButton(page, IDC_IMP_HEADER, BST_CHECKED);
    };
    const Case cases[] = {
        {"text", IMPSRC_TEXT, text,
         [&] {
             g_steps.push_back(PageStep(IMPWIZ_TEXT, PSBTN_NEXT, textSettings));
             g_steps.push_back(PageStep(IMPWIZ_COLUMNS, PSBTN_FINISH));
         }},
        {"text_typed_locality", IMPSRC_TEXT, speciesOnly,
         [&] {
             g_steps.push_back(PageStep(IMPWIZ_TEXT, PSBTN_NEXT, textSettings));
             g_steps.push_back(PageStep(IMPWIZ_COLUMNS, PSBTN_NEXT));
             g_steps.push_back(PageStep(IMPWIZ_TARGET, PSBTN_FINISH, [](HWND page) {
                 ChooseRow(page, IDC_IMP_TARGET_TREE, 0, 0);
                 ChooseRow(page, IDC_IMP_TARGET_TREE, 2, -1, L"Tarnixova lokalita");
                 TypeCoordinates(page);
             }));
         }},
        {"excel", IMPSRC_EXCEL, book,
         [] {
             g_steps.push_back(PageStep(IMPWIZ_TABLES, PSBTN_NEXT, [](HWND page) {
                 HWND list = GetDlgItem(page, IDC_IMP_TABLES);
                 SendMessageW(list, LB_SETCURSEL, (WPARAM)SendMessageW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)L"Nálezy"), 0);
                 Notify(page, IDC_IMP_TABLES, LBN_SELCHANGE);
             }));
             g_steps.push_back(PageStep(IMPWIZ_COLUMNS, PSBTN_FINISH));
         }},
        {"exchange", IMPSRC_RECORDS_2002, zxf, [] { MappingSteps(4); }},
        {"merge", IMPSRC_DATABASE_2010, olderDb, [] { MappingSteps(8); }},
    };

    const std::string before = wintest::ReadFileBytes(db);
    const std::wstring structure = FileNames(db);
    ASSERT_NO_FATAL_FAILURE(StartForm());
    OpenFile(db);
    ASSERT_EQ(structure, ModelNames(app_->Model));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool logShown = false;
        g_steps = {WelcomeStep(c.type, c.file)};
        c.wizard();
        CancelSteps(app_, c.name, &logShown);
        RunSteps([&] { Command(IDM_T_IMPORT); });
        EXPECT_TRUE(logShown);
        EXPECT_EQ(0, EntriesOutsideTheModel(app_));
        EXPECT_EQ(structure, ModelNames(app_->Model));
    }
    // Another wizard after them all, cancelled at once.
    g_steps = {[] {
        HWND sheet = ImportWindow(true);
        if (!sheet)
            return false;
        PropSheet_PressButton(sheet, PSBTN_CANCEL);
        return true;
    }};
    RunSteps([&] { Command(IDM_T_IMPORT); });
    EXPECT_EQ(0, EntriesOutsideTheModel(app_));
    EXPECT_EQ(structure, ModelNames(app_->Model));
    // The levels with their icons, as the file has them.
    HWND tree = GetDlgItem(app_->LevelPages[0]->GetWindow(), IDC_LEVEL_TREE);
    TreeView_SelectItem(tree, TreeView_GetRoot(tree));
    wintest::PumpMessages(50);
    wintest::SaveScreenshot(form_, L"import_cancelled_mainform");
    CloseForm();

    EXPECT_TRUE(before == wintest::ReadFileBytes(db)) << "the database file changed";
}

}  // namespace
