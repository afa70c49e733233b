// The import wizard driven as a user would: the real property sheet with its six pages over a
// copy of the sample database, the stand-in source in place of a real one, buttons pressed and
// controls changed by their own messages, each page looked at in a screenshot.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <prsht.h>
#include <strsafe.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/plexa.h"
#include "core/msgbox.h"
#include "import/exchangelocality.h"
#include "import/exchangerecords.h"
#include "import/exchangesystem.h"
#include "import/importrun.h"
#include "import/impwizard.h"
#include "import/mergesource.h"
#include "import/tablesource.h"
#include "import/textsource.h"
#include "resources/tarnix/resource.h"
#include "tools/exchangegen/exchangegen.h"
#include "tests/core/badfiles.h"
#include "tests/support/wintest.h"
#include "tests/utilities/formfixture.h"
#include "tests/structure/tarnixtest.h"
#include "tests/import/tablebook.h"
#include "tests/import/testimpsource.h"

namespace {

using namespace tarnixtest;
using importtest::TestGroup;
using importtest::TestSource;

// The sheet's own buttons.
const int kBackButton = 0x3023;
const int kNextButton = 0x3024;
const int kFinishButton = 0x3025;

std::vector<TestGroup> g_groups;
TestSource* g_lastSource = nullptr;

IImpSource* CreateTestSource(HINSTANCE instance, int)
{
    g_lastSource = new TestSource(instance);
    g_lastSource->groups = g_groups;
    return g_lastSource;
}

std::vector<std::wstring> g_boxes;
int RecordBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    g_boxes.push_back(text);
    return IDOK;
}

BOOL CALLBACK FindSheet(HWND hwnd, LPARAM lParam)
{
    wchar_t cls[16] = L"";
    GetClassNameW(hwnd, cls, 16);
    if (IsWindowVisible(hwnd) && wcscmp(cls, L"#32770") == 0 && PropSheet_GetCurrentPageHwnd(hwnd)) {
        *reinterpret_cast<HWND*>(lParam) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Steps run one per timer tick while the modal sheet runs; a step answers false to be tried again.
struct Script {
    std::vector<std::function<bool(HWND sheet)>> steps;
    size_t next = 0;
    DWORD start = 0;
    bool running = false;  // a step pressing a button may pump messages, timers included
};
Script* g_script = nullptr;

void CALLBACK RunStep(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!g_script)
        return;
    HWND sheet = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindSheet, reinterpret_cast<LPARAM>(&sheet));
    if (GetTickCount() - g_script->start > 60000) {
        ADD_FAILURE() << "the wizard script did not finish (step " << g_script->next << ")";
        g_script = nullptr;
        if (sheet)
            PropSheet_PressButton(sheet, PSBTN_CANCEL);
        KillTimer(nullptr, id);
        return;
    }
    if (!sheet || g_script->running || g_script->next >= g_script->steps.size())
        return;
    Script* script = g_script;
    script->running = true;
    if (script->steps[script->next](sheet))
        ++script->next;
    script->running = false;
}

bool RunWizard(ImportWizardState& state, ImportJob& job, Script& script)
{
    script.start = GetTickCount();
    g_script = &script;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, RunStep);
    bool finished = state.Run(nullptr, &job);
    KillTimer(nullptr, timer);
    EXPECT_EQ(script.steps.size(), script.next) << "steps left undone";
    g_script = nullptr;
    return finished;
}

HWND Page(HWND sheet) { return PropSheet_GetCurrentPageHwnd(sheet); }
int PageIndex(HWND sheet) { return (int)PropSheet_HwndToIndex(sheet, Page(sheet)); }
bool Shows(HWND sheet, int button)
{
    HWND b = GetDlgItem(sheet, button);
    return b && IsWindowVisible(b) && IsWindowEnabled(b);
}
std::wstring Text(HWND page, int id) { return wintest::WindowText(GetDlgItem(page, id)); }

void Command(HWND page, int id, WORD code)
{
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)GetDlgItem(page, id));
}

void ChooseSourceType(HWND page, int type)
{
    SendDlgItemMessageW(page, IDC_IMP_SOURCE_TYPES, LB_SETCURSEL, (WPARAM)type, 0);
    Command(page, IDC_IMP_SOURCE_TYPES, LBN_SELCHANGE);
}

void EnterPath(HWND page, const std::wstring& path)
{
    SetDlgItemTextW(page, IDC_IMP_PATH, path.c_str());
    Command(page, IDC_IMP_PATH, EN_KILLFOCUS);
}

// The welcome page: a source of the type at the path, then on to the next page.
bool OpenSource(HWND sheet, int type, const std::wstring& path)
{
    ChooseSourceType(Page(sheet), type);
    EnterPath(Page(sheet), path);
    PropSheet_PressButton(sheet, PSBTN_NEXT);
    return true;
}

// The text settings page as it comes, once it is shown.
bool PastTextSettings(HWND sheet)
{
    if (PageIndex(sheet) != IMPWIZ_TEXT)
        return false;
    PropSheet_PressButton(sheet, PSBTN_NEXT);
    return true;
}

// A step on a mapping page: the group's caption (0: not looked at), then the button pressed.
std::function<bool(HWND)> OnGroup(UINT caption, int button)
{
    return [=](HWND sheet) {
        if (caption) {
            EXPECT_EQ(ResString(caption), Text(Page(sheet), IDC_IMP_GROUP_CAPTION));
        }
        PropSheet_PressButton(sheet, button);
        return true;
    };
}

// The column at the index put into the records (a new record attribute).
void PutColumnIntoRecords(HWND page, int index)
{
    SendDlgItemMessageW(page, IDC_IMP_COLUMNS, LB_SETCURSEL, (WPARAM)index, 0);
    Command(page, IDC_IMP_COLUMNS, LBN_SELCHANGE);
    SendDlgItemMessageW(page, IDC_IMP_COL_GROUP, CB_SETCURSEL, COLGROUP_RECORDS, 0);
    Command(page, IDC_IMP_COL_GROUP, CBN_SELCHANGE);
}

int BoxRows(HWND box) { return (int)SendMessageW(box, PBXM_GETCOUNT, (WPARAM)-1, 0); }
int RowChoice(HWND box, int row) { return (int)SendMessageW(box, PBXM_GETLISTINDEX, PBX_ITEM((WORD)row), 0); }
std::wstring RowValue(HWND box, int row)
{
    VARIANT v;
    VariantInit(&v);
    SendMessageW(box, PBXM_GETVALUE, PBX_ITEM((WORD)row), (LPARAM)&v);
    std::wstring text = v.vt == VT_BSTR && v.bstrVal ? v.bstrVal : L"";
    VariantClear(&v);
    return text;
}

// The pixels a window shows on the screen now, once what it was asked to paint is painted.
std::vector<DWORD> ShownPixels(HWND hwnd)
{
    UpdateWindow(hwnd);
    wintest::PumpMessages(50);
    RECT rc;
    GetClientRect(hwnd, &rc);
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return wintest::ScreenPixels(rc);
}

// A copy of the sample, a file the stand-in source accepts, the job and the wizard.
class WizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterPlexaW(PLEXA_INPLACECOMBOBOX | PLEXA_PROPERTYBOX);
        path_ = folder_.File(L"ZorBase.mdb");
        ASSERT_TRUE(CopyFileW(SampleTemplate().c_str(), path_.c_str(), FALSE));
        source_ = folder_.File(L"zdroj.zxf");
        ASSERT_TRUE(exgen::WriteBytes(source_, "ZORTEST data"));
        structure_.reset(new LoadedStructure(path_));
        ASSERT_NO_FATAL_FAILURE(structure_->Open());
        InitImportJob(&job_, &structure_->Db(), &structure_->Model());
        for (int type = 0; type < IMPSRC_TYPE_COUNT; ++type)
            SetImportSourceCreator(type, CreateTestSource);
        previousBox_ = SetMsgBoxHook(RecordBox);
        g_boxes.clear();
    }
    // Ends the wizard's job and closes the database, so that the file can be read as it was left.
    void CloseJobAndDatabase()
    {
        FreeImportJob(&job_);
        InitImportJob(&job_, &structure_->Db(), &structure_->Model());
        state_.reset();
        structure_->Db().Close();
    }
    void TearDown() override
    {
        SetMsgBoxHook(previousBox_);
        for (int type = 0; type < IMPSRC_TYPE_COUNT; ++type)
            SetImportSourceCreator(type, nullptr);
        FreeImportJob(&job_);
        state_.reset();
        structure_.reset();
    }

    wintest::ScopedTempFolder folder_{dbtest::TestFolderName("tarnix_wizard_").c_str()};
    std::wstring path_;
    std::wstring source_;
    std::unique_ptr<LoadedStructure> structure_;
    std::unique_ptr<ImportWizardState> state_{new ImportWizardState(Inst())};
    ImportJob job_;
    MsgBoxHook previousBox_ = nullptr;
};

TEST_F(WizardTest, FourMappingGroupsKeepTheirChoicesAcrossBackAndNext)
{
    g_groups = {{GROUP_SYS_UNITS, {L"Řád", L"čeleď", L"Nadčeleď"}, {}},
                {GROUP_LOC_UNITS, {L"Kraj", L"Obec"}, {}},
                {GROUP_FEATURES_ATTRS, {L"Poznámka"}, {}},
                {GROUP_RECORD_ATTRS, {L"Teplota vody"}, {}}};
    std::wstring missing = folder_.File(L"neni.zxf");
    Script s;
    s.steps = {
        [&](HWND sheet) {
            HWND page = Page(sheet);
            EXPECT_FALSE(Shows(sheet, kNextButton));
            ChooseSourceType(page, IMPSRC_RECORDS_2002);
            EnterPath(page, missing);
            EXPECT_EQ(ResString(IDS_I_SOURCE_BAD), Text(page, IDC_IMP_STATUS));
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            return true;
        },
        [&](HWND sheet) {
            EXPECT_EQ(IMPWIZ_WELCOME, PageIndex(sheet));  // refused: stays
            EXPECT_FALSE(wintest::FileExists(missing));
            EnterPath(Page(sheet), source_);
            EXPECT_EQ(ResString(IDS_I_SOURCE_OK), Text(Page(sheet), IDC_IMP_STATUS));
            EXPECT_TRUE(Shows(sheet, kNextButton));
            wintest::SaveScreenshot(sheet, L"utilities_import_welcome");
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            return true;
        },
        [&](HWND sheet) {
            HWND page = Page(sheet);
            EXPECT_EQ(1, state_->GroupIndex);
            EXPECT_EQ(IMPWIZ_MAPPING, PageIndex(sheet));
            EXPECT_EQ(ResString(50), Text(page, IDC_IMP_GROUP_CAPTION));
            HWND box = GetDlgItem(page, IDC_IMP_MAPPING);
            EXPECT_EQ(3, BoxRows(box));
            EXPECT_EQ(2, RowChoice(box, 0));  // Řád, the first level
            EXPECT_EQ(3, RowChoice(box, 1));  // "čeleď" is the level "Čeleď"
            EXPECT_EQ(0, RowChoice(box, 2));  // no such level: " .. Zavést"
            wintest::SaveScreenshot(sheet, L"utilities_import_mapping");
            SendMessageW(box, PBXM_SETLISTINDEX, PBX_ITEM(2), 1);  // " .. Nezavádět"
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            return true;
        },
        OnGroup(53, PSBTN_BACK),
        [&](HWND sheet) {
            HWND box = GetDlgItem(Page(sheet), IDC_IMP_MAPPING);
            EXPECT_EQ(ResString(50), Text(Page(sheet), IDC_IMP_GROUP_CAPTION));
            EXPECT_EQ(1, RowChoice(box, 2));
            EXPECT_EQ(L"Čeleď", RowValue(box, 1));
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            return true;
        },
        OnGroup(0, PSBTN_NEXT),
        OnGroup(55, PSBTN_NEXT),
        [&](HWND sheet) {
            EXPECT_EQ(ResString(56), Text(Page(sheet), IDC_IMP_GROUP_CAPTION));
            EXPECT_TRUE(Shows(sheet, kFinishButton));
            EXPECT_TRUE(Shows(sheet, kBackButton));
            wintest::SaveScreenshot(sheet, L"utilities_import_mapping_last");
            PropSheet_PressButton(sheet, PSBTN_FINISH);
            return true;
        },
    };
    EXPECT_TRUE(RunWizard(*state_, job_, s));
    ASSERT_TRUE(job_.Source != nullptr);
    ASSERT_EQ(3, job_.GroupItems[0]->GetCount());
    ASSERT_EQ(1, job_.GroupItems[3]->GetCount());
    UnitEntry* family = static_cast<UnitEntry*>(job_.GroupItems[0]->GetItems()[1]);
    UnitEntry* skipped = static_cast<UnitEntry*>(job_.GroupItems[0]->GetItems()[2]);
    EXPECT_EQ(CHOICE_MAP, family->State);
    EXPECT_STREQ(L"Čeleď", family->TargetName);
    EXPECT_EQ(CHOICE_SKIP, skipped->State);
    AttrImportEntry* method = static_cast<AttrImportEntry*>(job_.GroupItems[3]->GetItems()[0]);
    EXPECT_EQ(CHOICE_CREATE, method->State);
    EXPECT_STREQ(L"Teplota vody", method->TargetName);
    for (int g = 0; g < 4; ++g)
        EXPECT_EQ(1, job_.GroupFlags[g]);
}

TEST_F(WizardTest, TheColumnsAreListedForTheChosenTableAndAnotherTableEmptiesThem)
{
    g_groups = {{GROUP_TABLE_LIST, {L"Nálezy 2010", L"Nálezy 2011"}, {}},
                {GROUP_COLUMNS, {L"Rod", L"Druh", L"Poznámka"}, {}}};
    auto chooseTable = [](HWND page, int index) {
        SendDlgItemMessageW(page, IDC_IMP_TABLES, LB_SETCURSEL, (WPARAM)index, 0);
        Command(page, IDC_IMP_TABLES, LBN_SELCHANGE);
    };
    Script s;
    s.steps = {
        [&](HWND sheet) { return OpenSource(sheet, IMPSRC_ACCESS, source_); },
        [&](HWND sheet) {
            HWND page = Page(sheet);
            EXPECT_EQ(IMPWIZ_TABLES, PageIndex(sheet));
            EXPECT_EQ(2, (int)SendDlgItemMessageW(page, IDC_IMP_TABLES, LB_GETCOUNT, 0, 0));
            EXPECT_FALSE(Shows(sheet, kNextButton));  // no table chosen yet
            chooseTable(page, 1);
            wintest::PumpMessages(20);  // the sheet's buttons change by a posted message
            EXPECT_TRUE(Shows(sheet, kNextButton));
            wintest::SaveScreenshot(sheet, L"utilities_import_tables");
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            return true;
        },
        [&](HWND sheet) {
            EXPECT_EQ(IMPWIZ_COLUMNS, PageIndex(sheet));
            EXPECT_STREQ(L"Nálezy 2011", job_.TableName);
            EXPECT_EQ(L"Nálezy 2011", g_lastSource->columnsTable);
            if (job_.GroupItems[1]->GetCount() != 3) {
                ADD_FAILURE() << "the columns were not listed";
                PropSheet_PressButton(sheet, PSBTN_CANCEL);
                return true;
            }
            // A choice made for the first column, which another table must not inherit.
            StringCchCopyW(static_cast<SourceColumn*>(job_.GroupItems[1]->GetItems()[0])->TargetName, 64, L"Zkouška");
            PropSheet_PressButton(sheet, PSBTN_BACK);
            return true;
        },
        [&](HWND sheet) {
            HWND page = Page(sheet);
            EXPECT_EQ(IMPWIZ_TABLES, PageIndex(sheet));
            EXPECT_EQ(1, (int)SendDlgItemMessageW(page, IDC_IMP_TABLES, LB_GETCURSEL, 0, 0));  // kept
            EXPECT_TRUE(Shows(sheet, kNextButton));
            chooseTable(page, 0);
            EXPECT_EQ(0, job_.GroupItems[1]->GetCount()) << "the other table's columns stayed";
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            return true;
        },
        [&](HWND sheet) {
            EXPECT_EQ(IMPWIZ_COLUMNS, PageIndex(sheet));
            EXPECT_STREQ(L"Nálezy 2010", job_.TableName);
            EXPECT_EQ(L"Nálezy 2010", g_lastSource->columnsTable);
            EXPECT_EQ(3, job_.GroupItems[1]->GetCount());
            if (job_.GroupItems[1]->GetCount() > 0) {
                EXPECT_STRNE(L"Zkouška", static_cast<SourceColumn*>(job_.GroupItems[1]->GetItems()[0])->TargetName);
            }
            PropSheet_PressButton(sheet, PSBTN_CANCEL);
            return true;
        },
    };
    EXPECT_FALSE(RunWizard(*state_, job_, s));
}

TEST_F(WizardTest, AFlatSourceReachesTheSpeciesThenTheLocalityTarget)
{
    g_groups = {{GROUP_TEXT_SETTINGS, {L"nastavení"}, {}},
                {GROUP_COLUMNS, {L"Rod", L"Severní šířka", L"Poznámka"}, {}}};
    Script s;
    s.steps = {
        [&](HWND sheet) { return OpenSource(sheet, IMPSRC_TEXT, source_); },
        [&](HWND sheet) {
            HWND page = Page(sheet);
            EXPECT_EQ(IMPWIZ_TEXT, PageIndex(sheet));
            SendDlgItemMessageW(page, IDC_IMP_SEPARATOR, CB_SETCURSEL, 2, 0);  // ";"
            SetDlgItemTextW(page, IDC_IMP_SKIP, L"x");                          // not a number
            wintest::SaveScreenshot(sheet, L"utilities_import_text_settings");
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            return true;
        },
        [&](HWND sheet) {
            HWND page = Page(sheet);
            EXPECT_EQ(IMPWIZ_COLUMNS, PageIndex(sheet));
            if (job_.GroupItems[0]->GetCount() != 1 || job_.GroupItems[1]->GetCount() != 3) {
                ADD_FAILURE() << "the groups were not filled";
                PropSheet_PressButton(sheet, PSBTN_CANCEL);
                return true;
            }
            TextImportOptions* options = static_cast<TextImportOptions*>(job_.GroupItems[0]->GetItems()[0]);
            EXPECT_STREQ(L";", options->Separator);
            EXPECT_EQ(0, options->SkipRows);
            SourceColumn* genus = static_cast<SourceColumn*>(job_.GroupItems[1]->GetItems()[0]);
            SourceColumn* latitude = static_cast<SourceColumn*>(job_.GroupItems[1]->GetItems()[1]);
            EXPECT_EQ(COLGROUP_SYSTREE, genus->TargetGroup);
            EXPECT_EQ(2, genus->LevelIndex);
            EXPECT_STREQ(L"Jméno", genus->TargetName);
            EXPECT_EQ(COLGROUP_FEATURES, latitude->TargetGroup);
            EXPECT_STREQ(L"LATITUDE", latitude->TargetColumn);
            EXPECT_EQ(2, latitude->TargetType);
            EXPECT_TRUE(Shows(sheet, kFinishButton));  // mapped, but no records
            // The note goes to the records: they lack a species name and a whole locality.
            PutColumnIntoRecords(page, 2);
            EXPECT_EQ(ResString(172), Text(page, IDC_IMP_COL_STATUS));
            EXPECT_EQ(TARGET_NEEDS_SPECIES | TARGET_NEEDS_LOCALITY, state_->TargetNeeds);
            return true;
        },
        [&](HWND sheet) {
            EXPECT_TRUE(Shows(sheet, kNextButton));  // the target item page follows
            wintest::SaveScreenshot(sheet, L"utilities_import_columns");
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            return true;
        },
        [&](HWND sheet) {
            HWND page = Page(sheet);
            EXPECT_EQ(IMPWIZ_TARGET, PageIndex(sheet));
            EXPECT_EQ(ResString(180), Text(page, IDC_IMP_TARGET_TEXT));
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_IMP_AUTHOR)));
            EXPECT_FALSE(Shows(sheet, kNextButton));
            // Řád, Čeleď, Rod chosen; a new species typed under the genus. The box has the focus,
            // as after a click into it, and its first row is selected.
            SetFocus(GetDlgItem(page, IDC_IMP_TARGET_TREE));
            for (int row = 0; row < 3; ++row)
                ChooseRow(page, IDC_IMP_TARGET_TREE, row, 0);
            ChooseRow(page, IDC_IMP_TARGET_TREE, 3, -1, L"novus");
            // Every row shows its choice: the box looks as it does when painted afresh.
            HWND box = GetDlgItem(page, IDC_IMP_TARGET_TREE);
            EXPECT_EQ(L"Coleoptera", RowValue(box, 0));
            std::vector<DWORD> shown = ShownPixels(box);
            InvalidateRect(box, nullptr, TRUE);
            EXPECT_FALSE(shown.empty());
            EXPECT_TRUE(shown == ShownPixels(box)) << "a row shows what it held before its choice";
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_IMP_AUTHOR)));
            SetDlgItemTextW(page, IDC_IMP_AUTHOR, L"Linnaeus");
            SetDlgItemTextW(page, IDC_IMP_YEAR, L"1758");
            return true;
        },
        [&](HWND sheet) {
            EXPECT_TRUE(Shows(sheet, kNextButton));
            wintest::SaveScreenshot(sheet, L"utilities_import_target_species");
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            return true;
        },
        [&](HWND sheet) {
            HWND page = Page(sheet);
            EXPECT_EQ(ResString(181), Text(page, IDC_IMP_TARGET_TEXT));
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_IMP_LON_DEG)));
            EXPECT_EQ(-1, job_.TargetSysId);  // typed: made by the run
            EXPECT_EQ(4u, job_.NewSpecies.Rows.size());
            for (int row = 0; row < 2; ++row)
                ChooseRow(page, IDC_IMP_TARGET_TREE, row, 0);
            ChooseRow(page, IDC_IMP_TARGET_TREE, 2, -1, L"Nová lokalita");
            return true;
        },
        [&](HWND sheet) {
            EXPECT_TRUE(Shows(sheet, kFinishButton));
            PropSheet_PressButton(sheet, PSBTN_FINISH);  // no coordinates: refused
            return true;
        },
        [&](HWND sheet) {
            HWND page = Page(sheet);
            EXPECT_EQ(IMPWIZ_TARGET, PageIndex(sheet));
            EXPECT_EQ(1u, g_boxes.size());
            if (!g_boxes.empty()) {
                EXPECT_EQ(ResString(IDS_I_NO_COORDINATES), g_boxes[0]);
            }
            TypeCoordinates(page);
            wintest::SaveScreenshot(sheet, L"utilities_import_target_locality");
            PropSheet_PressButton(sheet, PSBTN_FINISH);
            return true;
        },
    };
    // Read in the sample the copy was made of: the open structure holds the copy alone.
    long long maxSysBefore = dbtest::QueryInt(SampleTemplate(), L"SELECT MAX(ID) FROM SYSTREE");
    ASSERT_GT(maxSysBefore, 0);
    EXPECT_TRUE(RunWizard(*state_, job_, s));
    {
        importtest::LogFolder logs;
        importtest::RecordingSink sink;
        EXPECT_EQ(IMPORT_COMMITTED, RunImportFrame(&job_, &sink));
    }
    EXPECT_EQ(maxSysBefore + 1, job_.TargetSysId);
    EXPECT_GT(job_.TargetLocId, 0);
    int newSys = job_.TargetSysId, newLoc = job_.TargetLocId;
    CloseJobAndDatabase();
    std::wstring parent = dbtest::First(path_, L"SELECT PARENT FROM SYSTREE WHERE ID = " + std::to_wstring(newSys));
    EXPECT_EQ(dbtest::First(path_, L"SELECT MAX(SYSPOS) + 1 FROM SYSTREE WHERE PARENT = " + parent + L" AND ID <> " + std::to_wstring(newSys)),
              dbtest::First(path_, L"SELECT SYSPOS FROM SYSTREE WHERE ID = " + std::to_wstring(newSys)));
    EXPECT_EQ(1, dbtest::QueryInt(path_, L"SELECT COUNT(*) FROM SYSTREE WHERE NAME = 'novus'"));  // made once
    EXPECT_EQ(L"Linnaeus", dbtest::First(path_, L"SELECT AUTHOR FROM SPECIES WHERE SYSID = " + std::to_wstring(newSys)));
    EXPECT_EQ(L"1758", dbtest::First(path_, L"SELECT IYEAR FROM SPECIES WHERE SYSID = " + std::to_wstring(newSys)));
    EXPECT_EQ(1, dbtest::QueryInt(path_, L"SELECT COUNT(*) FROM LOCTREE WHERE NAME = 'Nová lokalita'"));
    EXPECT_EQ(1, dbtest::QueryInt(path_, L"SELECT COUNT(*) FROM FEATURES WHERE LOCID = " + std::to_wstring(newLoc)));
}


// An existing attribute shows its stored limits (the sample's as the structure editor shows them);
// they stay the attribute's: a new name typed afterwards shows and keeps only what is typed for it.
TEST_F(WizardTest, TheColumnsPageShowsAnExistingAttributesLimits)
{
    const struct {
        const wchar_t* column;  // named as an attribute of the sample, found by its name
        int group;
        const wchar_t* minimum;
        const wchar_t* maximum;
    } cases[] = {
        {L"Počet exemplářů", COLGROUP_RECORDS, L"1,00", L"10\u00A0000,00"},
        {L"Přesnost lokalizace (m)", COLGROUP_RECORDS, L"0,00", L"50\u00A0000,00"},
        {L"Délka těla (mm)", COLGROUP_SPECIES, L"0,10", L"200,00"},
        {L"Sběratel (leg.)", COLGROUP_RECORDS, L"", L""},
    };
    std::vector<std::wstring> names;
    for (const auto& c : cases)
        names.push_back(c.column);
    g_groups = {{GROUP_TEXT_SETTINGS, {L"nastavení"}, {}}, {GROUP_COLUMNS, names, {}}};
    Script s;
    s.steps = {
        [&](HWND sheet) { return OpenSource(sheet, IMPSRC_TEXT, source_); },
        PastTextSettings,
        [&](HWND sheet) {
            HWND page = Page(sheet);
            if (PageIndex(sheet) != IMPWIZ_COLUMNS)
                return false;
            // Selects the column in the list as a click does.
            auto select = [&](const wchar_t* column) {
                HWND list = GetDlgItem(page, IDC_IMP_COLUMNS);
                LRESULT at = SendMessageW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)column);
                SendMessageW(list, LB_SETCURSEL, (WPARAM)at, 0);
                Command(page, IDC_IMP_COLUMNS, LBN_SELCHANGE);
                return at < 0 ? nullptr : reinterpret_cast<SourceColumn*>(SendMessageW(list, LB_GETITEMDATA, (WPARAM)at, 0));
            };
            for (const auto& e : cases) {
                SCOPED_TRACE(dbtest::Narrow(e.column));
                SourceColumn* c = select(e.column);
                if (!c) {
                    ADD_FAILURE() << "not listed";
                    continue;
                }
                EXPECT_EQ(e.group, c->TargetGroup);
                EXPECT_EQ(ResString(171), Text(page, IDC_IMP_COL_STATUS));
                EXPECT_EQ(e.minimum, Text(page, IDC_IMP_COL_MIN));
                EXPECT_EQ(e.maximum, Text(page, IDC_IMP_COL_MAX));
                EXPECT_EQ(L"", Text(page, IDC_IMP_COL_EMPTY));
                EXPECT_EQ(VT_EMPTY, c->MinValue.vt);
                EXPECT_EQ(VT_EMPTY, c->MaxValue.vt);
            }
            select(cases[0].column);
            wintest::SaveScreenshot(sheet, L"utilities_import_columns_limits");
            // A new name for the first column: its own fields, empty, and what is typed is its own.
            SourceColumn* c = select(cases[0].column);
            SetDlgItemTextW(page, IDC_IMP_COL_ATTR, L"Počet nový");
            Command(page, IDC_IMP_COL_ATTR, CBN_EDITCHANGE);
            EXPECT_EQ(ResString(172), Text(page, IDC_IMP_COL_STATUS));
            EXPECT_EQ(L"", Text(page, IDC_IMP_COL_MIN));
            EXPECT_EQ(L"", Text(page, IDC_IMP_COL_MAX));
            SetDlgItemTextW(page, IDC_IMP_COL_MIN, L"5");
            EXPECT_EQ(L"5", std::wstring(c && c->MinValue.vt == VT_BSTR ? c->MinValue.bstrVal : L""));
            PropSheet_PressButton(sheet, PSBTN_CANCEL);
            return true;
        },
    };
    EXPECT_FALSE(RunWizard(*state_, job_, s));
}

TEST_F(WizardTest, TheFallbackLocalityKeepsWhatWasTypedAndIsMadePastAnEmptyLevel)
{
    g_groups = {{GROUP_TEXT_SETTINGS, {L"nastavení"}, {}}, {GROUP_COLUMNS, {L"Poznámka"}, {}}};
    importtest::LogFolder logs;
    SetMsgBoxHook(RecordBox);  // the log folder answers boxes itself
    // A locality the database refuses by its name.
    ASSERT_TRUE(SUCCEEDED(structure_->Db().GetConnection()->Execute(
        L"CREATE TRIGGER ZOR_TEST BEFORE INSERT ON LOCTREE WHEN NEW.NAME = 'Odmítnutá' "
        L"BEGIN SELECT RAISE(ABORT, 'zkouška odmítnutí'); END")));
    std::wstring regionName, genusName;
    Script s;
    s.steps = {
        [&](HWND sheet) { return OpenSource(sheet, IMPSRC_TEXT, source_); },
        PastTextSettings,
        [&](HWND sheet) {
            HWND page = Page(sheet);
            if (PageIndex(sheet) != IMPWIZ_COLUMNS)
                return false;
            PutColumnIntoRecords(page, 0);
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            return true;
        },
        [&](HWND sheet) {
            HWND page = Page(sheet);
            if (PageIndex(sheet) != IMPWIZ_TARGET || Text(page, IDC_IMP_TARGET_TEXT) != ResString(180))
                return false;
            // The order and family left empty: the genus row offers every genus.
            ChooseRow(page, IDC_IMP_TARGET_TREE, 2, 0);
            ChooseRow(page, IDC_IMP_TARGET_TREE, 3, 0);
            genusName = RowValue(GetDlgItem(page, IDC_IMP_TARGET_TREE), 2);
            EXPECT_FALSE(genusName.empty());
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            return true;
        },
        [&](HWND sheet) {
            HWND page = Page(sheet);
            if (Text(page, IDC_IMP_TARGET_TEXT) != ResString(181))
                return false;
            HWND box = GetDlgItem(page, IDC_IMP_TARGET_TREE);
            // The locality typed first, then the region above it: the locality stays.
            ChooseRow(page, IDC_IMP_TARGET_TREE, 2, -1, L"Nová lokalita");
            ChooseRow(page, IDC_IMP_TARGET_TREE, 0, 0);
            EXPECT_EQ(L"Nová lokalita", RowValue(box, 2));
            // A district chosen under the first region does not fit under the second.
            ChooseRow(page, IDC_IMP_TARGET_TREE, 1, 0);
            EXPECT_GE(RowChoice(box, 1), 0);
            ChooseRow(page, IDC_IMP_TARGET_TREE, 0, 1);
            regionName = RowValue(box, 0);
            EXPECT_EQ(L"", RowValue(box, 1));
            EXPECT_EQ(L"Nová lokalita", RowValue(box, 2));
            wintest::SaveScreenshot(sheet, L"utilities_import_target_locality_kept");
            // Without a locality Finish says what it needs.
            ChooseRow(page, IDC_IMP_TARGET_TREE, 2, -1, L"");
            PSHNOTIFY finish = {};
            finish.hdr.hwndFrom = sheet;
            finish.hdr.code = PSN_WIZFINISH;
            SendMessageW(page, WM_NOTIFY, 0, (LPARAM)&finish);
            wchar_t text[512];
            StringCchPrintfW(text, 512, ResString(IDS_I_TARGET_LOCALITY_MISSING).c_str(), L"Lokalita");
            EXPECT_EQ(std::vector<std::wstring>{text}, g_boxes);
            // A locality the database refuses: the page takes it, the run cannot make it.
            ChooseRow(page, IDC_IMP_TARGET_TREE, 2, -1, L"Odmítnutá");
            TypeCoordinates(page);
            wintest::SaveScreenshot(sheet, L"utilities_import_target_locality_empty_level");
            g_boxes.clear();
            PropSheet_PressButton(sheet, PSBTN_FINISH);
            return true;
        },
    };
    ASSERT_TRUE(RunWizard(*state_, job_, s));
    EXPECT_TRUE(g_boxes.empty());
    ASSERT_EQ(2u, job_.NewLocality.Rows.size());
    // Said in Czech in the log with the database's words; the run fails and makes nothing.
    importtest::RecordingSink sink;
    EXPECT_EQ(IMPORT_FAILED, RunImportFrame(&job_, &sink));
    wchar_t refused[256];
    StringCchPrintfW(refused, 256, ResString(IDS_I_TARGET_LOCALITY_REFUSED).c_str(), L"Odmítnutá");
    std::vector<std::wstring> written = logs.Logs();
    ASSERT_EQ(1u, written.size());
    std::string bytes = wintest::ReadFileBytes(written[0]);
    std::wstring log(bytes.size(), L'\0');
    log.resize((size_t)MultiByteToWideChar(CP_ACP, 0, bytes.data(), (int)bytes.size(), &log[0], (int)log.size()));
    EXPECT_NE(std::wstring::npos, log.find(refused)) << dbtest::Narrow(log);
    EXPECT_NE(std::wstring::npos, log.find(L"zkouška odmítnutí")) << dbtest::Narrow(log);
    ReloadModelAfterImport(&job_);
    job_.NewLocality.Rows.back().Name = L"Nová lokalita";
    EXPECT_EQ(IMPORT_COMMITTED, RunImportFrame(&job_, &sink));
    int locality = job_.TargetLocId, species = job_.TargetSysId;
    CloseJobAndDatabase();
    std::wstring region = dbtest::First(path_, L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 1 AND NAME = '" + regionName + L"'");
    // The locality right under the region, the district level passed over; its own row only.
    EXPECT_EQ(region + L"|3|1",
              dbtest::First(path_, L"SELECT PARENT || '|' || LOCLEVEL || '|' || (SELECT COUNT(*) FROM FEATURES WHERE LOCID = L.ID) "
                                   L"FROM LOCTREE L WHERE NAME = 'Nová lokalita' AND ID = " + std::to_wstring(locality)));
    EXPECT_EQ(0, dbtest::QueryInt(path_, L"SELECT COUNT(*) FROM LOCTREE WHERE NAME = 'Odmítnutá'"));
    EXPECT_EQ(genusName, dbtest::First(path_, L"SELECT P.NAME FROM SYSTREE S JOIN SYSTREE P ON P.ID = S.PARENT WHERE S.ID = " +
                                                  std::to_wstring(species)));
    EXPECT_EQ(L"", TreeFaults(path_));
}

TEST_F(WizardTest, ATextFileGoesThroughEveryPageAndIsImported)
{
    SetImportSourceCreator(IMPSRC_TEXT, CreateTextSource);
    std::wstring text = folder_.File(L"nalezy.txt");
    importtest::WriteTextFile(text, L"Rod;Druh;Jméno;Východní délka;Severní šířka;Datum nálezu;Počet exemplářů\r\n"
                                    L"Carabus;zkusmus;Zkušební Lhotka (u lesa);14°30'0\";50°6'0\";15.3.2010;3\r\n"
                                    L"Carabus;zkusmus;Zkušební Lhotka;14°30'0\";50°6'0\";16.3.2010;2\r\n");
    Script s;
    s.steps = {
        [&](HWND sheet) {
            ChooseSourceType(Page(sheet), IMPSRC_TEXT);
            EnterPath(Page(sheet), text);
            EXPECT_EQ(L"Zdroj dat je v pořádku. Text se čte v kódování Windows-1250, protože na řádku 1 není platné UTF-8.",
                      Text(Page(sheet), IDC_IMP_STATUS));
            wintest::SaveScreenshot(sheet, L"utilities_textimport_welcome");
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            return true;
        },
        [&](HWND sheet) {
            HWND page = Page(sheet);
            EXPECT_EQ(IMPWIZ_TEXT, PageIndex(sheet));
            SendDlgItemMessageW(page, IDC_IMP_SEPARATOR, CB_SETCURSEL, 2, 0);  // ";"
            CheckDlgButton(page, IDC_IMP_HEADER, BST_CHECKED);
            wintest::SaveScreenshot(sheet, L"utilities_textimport_settings");
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            return true;
        },
        [&](HWND sheet) {
            EXPECT_EQ(IMPWIZ_COLUMNS, PageIndex(sheet));
            EXPECT_EQ(7, job_.GroupItems[1]->GetCount());
            EXPECT_TRUE(Shows(sheet, kFinishButton));  // species and locality come from the columns
            wintest::SaveScreenshot(sheet, L"utilities_textimport_columns");
            PropSheet_PressButton(sheet, PSBTN_FINISH);
            return true;
        },
    };
    ASSERT_TRUE(RunWizard(*state_, job_, s));
    importtest::LogFolder logs;
    importtest::RecordingSink sink;
    job_.Source->LinePrefix[0] = 0;
    EXPECT_EQ(IMPORT_COMMITTED, RunImportFrame(&job_, &sink));
    EXPECT_EQ(0, sink.errorsLogged);
    CloseJobAndDatabase();
    EXPECT_EQ(L"2|5|5953A", dbtest::First(path_, L"SELECT COUNT(*) || '|' || SUM(Z.POCET) || '|' || MIN(F.SQUARE) FROM ZORNACOLLS Z "
                                                 L"JOIN SPECIES S ON S.SYSID = Z.SYSID JOIN FEATURES F ON F.LOCID = Z.FTRID "
                                                 L"WHERE S.NAME = 'Carabus zkusmus' AND F.NAME LIKE 'Zkušební Lhotka (%'"));
}

// Files that are not what their type and name say: the welcome page says why each is refused,
// and Next stays on it; of a text file it takes, it says how the file is read.
TEST_F(WizardTest, EachBadFileIsRefusedOnTheWelcomePageWithItsOwnReason)
{
    SetImportSourceCreator(IMPSRC_TEXT, CreateTextSource);
    SetImportSourceCreator(IMPSRC_ACCESS, CreateTableSource);
    SetImportSourceCreator(IMPSRC_EXCEL, CreateTableSource);
    SetImportSourceCreator(IMPSRC_RECORDS_2002, CreateRecordsExchangeSource);
    SetImportSourceCreator(IMPSRC_SYSTEM_2002, CreateSystemExchangeSource);
    SetImportSourceCreator(IMPSRC_LOCALITY_2002, CreateLocalityExchangeSource);
    SetImportSourceCreator(IMPSRC_DATABASE_2010, CreateDb2010Source);
    std::wstring book = folder_.File(L"sešit.xls");
    ASSERT_NO_FATAL_FAILURE(tabletest::WriteBook(book, L"List1", {{L"Druh", L"Lokalita"}, {L"Carabus", L"Lhota"}}));
    std::string bookBytes = wintest::ReadFileBytes(book);
    auto write = [&](const wchar_t* name, const std::string& bytes) {
        std::wstring path = folder_.File(name);
        EXPECT_TRUE(exgen::WriteBytes(path, bytes));
        return path;
    };
    // An Access 97 file: Jet 3's header (version 0) on pages of 2048 bytes.
    std::string jet3(4096, '\0');
    jet3.replace(4, 15, "Standard Jet DB");
    const std::wstring access97 = write(L"stará.mdb", jet3), bookAsMdb = write(L"sešit.mdb", bookBytes);
    struct Case {
        std::string name;
        int type;
        std::wstring path;
        std::wstring reason;
        bool opens = false;  // the file is taken, with the words on how it is read
    };
    const std::wstring ok = ResString(IDS_I_SOURCE_OK) + L". Text se čte v kódování Windows-1250";
    std::vector<Case> cases = {
        {"access 97", IMPSRC_ACCESS, access97,
         L"Databázi aplikace Access 97 (Jet 3) nelze přečíst; uložte ji v Accessu ve formátu Access 2000 nebo novějším: " +
             access97},
        {"workbook named .mdb", IMPSRC_ACCESS, bookAsMdb, L"Soubor není databáze: \u201E" + bookAsMdb + L"\u201C."},
        {"text named .xls", IMPSRC_EXCEL, write(L"text.xls", "Druh;Lokalita\r\nCarabus;Lhota\r\n"),
         L"Soubor není sešit aplikace Excel 97-2003."},
        {"68 bytes of a workbook", IMPSRC_EXCEL, write(L"kousek.xls", bookBytes.substr(0, 68)),
         ResString(IDS_I_BOOK_TOO_SHORT)},
        {"empty text", IMPSRC_TEXT, write(L"prázdný.txt", ""), ResString(IDS_I_TXT_EMPTY_FILE)},
        {"blank text", IMPSRC_TEXT, write(L"řádky.txt", "\xEF\xBB\xBF \r\n\r\n\t\r\n"), ResString(IDS_I_TXT_EMPTY_FILE)},
        {"workbook named .txt", IMPSRC_TEXT, write(L"sešit.txt", bookBytes), ResString(IDS_I_TXT_NOT_TEXT)},
        {"blank text over 64 KB", IMPSRC_TEXT, write(L"mezery.txt", std::string(70000, ' ') + "\r\n"),
         ResString(IDS_I_TXT_EMPTY_FILE)},
        {"a byte that is no UTF-8", IMPSRC_TEXT, write(L"smíšený.txt", "Druh;Lokalita\r\nC\xC3\xA1slav;\x8E" "elezn\xE1\r\n"),
         ok + L", protože na řádku 2 není platné UTF-8.", true},
        {"a first line over the bound", IMPSRC_TEXT, write(L"dlouhý.txt", std::string(kTextMaxLine + 1, 'x') + "\r\nA;B\r\n"),
         ok + L": obsahuje jen znaky ASCII. Řádek 1 je delší než 1 048 576 znaků: nečte se.", true},
        {"localities as records", IMPSRC_RECORDS_2002, write(L"místa.zxf", "Export lokalit zorny 2002\r\n"),
         L"Soubor je výměnný soubor Zorny jiného typu: „Zorna 2002 Lokality“. Zvolte tento typ zdroje, nebo vyberte jiný soubor."},
        {"taxa in UTF-8", IMPSRC_SYSTEM_2002, write(L"systém.zxs", "\xEF\xBB\xBF" "Export radu zorny 2002\r\n"),
         L"Soubor je uložen v kódování UTF-8; výměnné soubory Zorny jsou v kódování Windows-1250. Uložte ho znovu v něm."},
        {"localities cut in the magic", IMPSRC_LOCALITY_2002, write(L"kousek.zxl", "Export lok"), ResString(IDS_X_FILE_CUT)},
        {"text as localities", IMPSRC_LOCALITY_2002, write(L"text.zxl", "Druh;Lokalita\r\n"),
         L"Soubor není výměnný soubor Zorny tohoto typu (nezačíná textem „Export lokalit zorny“). Vyberte jiný soubor nebo jiný "
         L"typ zdroje."},
        {"access 97 as the database", IMPSRC_DATABASE_2010, access97, ResString(IDS_I_MERGE_ACCESS_FILE)},
    };
    // The files neither program opens, each with its reason, the file by its name.
    badfiles::BadFiles bad(folder_.Path(), SampleTemplate());
    using zdata::RefusalKind;
    const struct {
        const wchar_t* what;
        RefusalKind kind;
    } databases[] = {{L"empty", RefusalKind::NotADatabase}, {L"truncated", RefusalKind::Damaged},
                     {L"text", RefusalKind::NotADatabase},  {L"foreign", RefusalKind::None},
                     {L"flipped bytes", RefusalKind::Damaged}, {L"locked", RefusalKind::Locked}};
    for (const auto& d : databases) {
        const std::wstring& path = bad.File(d.what).path;
        std::wstring name = path.substr(path.rfind(L'\\') + 1);
        cases.push_back({"database: " + dbtest::Narrow(d.what), IMPSRC_DATABASE_2010, path,
                         d.kind != RefusalKind::None ? zdata::OpenRefusalText(d.kind, name)
                                                     : L"Soubor \u201E" + name + L"\u201C není databáze Zorny: chybí v "
                                                       L"něm tabulka SYSDEF. Otevřete databázový soubor Zorny nebo jeho zálohu."});
    }
    Script s;
    s.steps = {[&](HWND sheet) {
        for (size_t i = 0; i < cases.size(); ++i) {
            const auto& c = cases[i];
            SCOPED_TRACE(c.name);
            ChooseSourceType(Page(sheet), c.type);
            EnterPath(Page(sheet), c.path);
            EXPECT_EQ(c.reason, Text(Page(sheet), IDC_IMP_STATUS));
            if (c.opens) {
                wintest::SaveScreenshot(sheet, (L"utilities_textnote_" + std::to_wstring(i)).c_str());
                continue;
            }
            PropSheet_PressButton(sheet, PSBTN_NEXT);
            wintest::PumpMessages(20);
            EXPECT_EQ(IMPWIZ_WELCOME, PageIndex(sheet));
            wintest::SaveScreenshot(sheet, (L"utilities_badsource_" + std::to_wstring(i)).c_str());
        }
        PropSheet_PressButton(sheet, PSBTN_CANCEL);
        return true;
    }};
    EXPECT_FALSE(RunWizard(*state_, job_, s));
}

}  // namespace
