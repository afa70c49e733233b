// Tarnix merges an older database as a user does it: the Import command of the main form, the
// wizard with the older-database type, the source file typed in, one mapping page per group
// (the two level groups, then one per attribute list the source has) left as the wizard matched
// them, Finish, and the progress dialog to its end. Each page is looked at in a screenshot; the
// file is checked with plain SQL afterwards.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <prsht.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/plexa.h"
#include "import/importsources.h"
#include "import/impsource.h"
#include "tools/oldersample/olderdb.h"
#include "resources/tarnix/resource.h"
#include "tests/utilities/formfixture.h"
#include "tests/import/testimpsource.h"

namespace {

using namespace tarnixtest;

using MergeForm = TarnixForm;

TEST_F(MergeForm, TheImportCommandMergesAnOlderDatabase)
{
    RegisterPlexaW(PLEXA_INPLACECOMBOBOX | PLEXA_PROPERTYBOX);
    RegisterImportSources();
    importtest::LogFolder logs;
    std::wstring target = folder_ + L"\\ZorBase.mdb";
    ASSERT_TRUE(CopyFileW(SampleTemplate().c_str(), target.c_str(), FALSE));
    zor::OlderDbOptions options;
    options.sample.records = 300;
    options.sample.seed = 23;
    options.renamedHalf = true;
    options.everyAttributeType = true;
    std::wstring source = folder_ + L"\\Starší databáze.mdb";
    std::wstring error;
    ASSERT_TRUE(zor::CreateOlderDatabase(source, options, &error)) << dbtest::Narrow(error);
    long long records = dbtest::QueryInt(target, L"SELECT COUNT(*) FROM ZORNACOLLS");
    long long taxa = dbtest::QueryInt(target, L"SELECT COUNT(*) FROM SYSTREE");

    ASSERT_NO_FATAL_FAILURE(StartForm());
    OpenFile(target);
    // Two level groups, then the attribute lists in table order.
    const int captions[] = {50, 53, 51, 54, 52, 55, 56, 57};
    const int groups = (int)(sizeof(captions) / sizeof(captions[0]));
    std::vector<std::wstring> seen;
    int page = 0;
    g_steps = {[&] {
        HWND sheet = ImportWindow(true);
        if (!sheet)
            return false;
        HWND welcome = PropSheet_GetCurrentPageHwnd(sheet);
        SendDlgItemMessageW(welcome, IDC_IMP_SOURCE_TYPES, LB_SETCURSEL, IMPSRC_DATABASE_2010, 0);
        SendMessageW(welcome, WM_COMMAND, MAKEWPARAM(IDC_IMP_SOURCE_TYPES, LBN_SELCHANGE),
                     (LPARAM)GetDlgItem(welcome, IDC_IMP_SOURCE_TYPES));
        SetDlgItemTextW(welcome, IDC_IMP_PATH, source.c_str());
        SendMessageW(welcome, WM_COMMAND, MAKEWPARAM(IDC_IMP_PATH, EN_KILLFOCUS), (LPARAM)GetDlgItem(welcome, IDC_IMP_PATH));
        EXPECT_EQ(ResString(IDS_I_SOURCE_OK), wintest::WindowText(GetDlgItem(welcome, IDC_IMP_STATUS)));
        wintest::SaveScreenshot(sheet, L"utilities_merge_welcome");
        PropSheet_PressButton(sheet, PSBTN_NEXT);
        return true;
    }};
    for (int g = 0; g < groups; ++g)
        g_steps.push_back([&, g] {
            HWND sheet = ImportWindow(true);
            if (!sheet || page != g)
                return false;
            HWND current = PropSheet_GetCurrentPageHwnd(sheet);
            seen.push_back(wintest::WindowText(GetDlgItem(current, IDC_IMP_GROUP_CAPTION)));
            EXPECT_EQ(ResString(captions[g]), seen.back());
            EXPECT_LT(0, (int)SendDlgItemMessageW(current, IDC_IMP_MAPPING, PBXM_GETCOUNT, (WPARAM)-1, 0));
            wintest::SaveScreenshot(sheet, (L"utilities_merge_group" + std::to_wstring(g + 1)).c_str());
            ++page;
            PropSheet_PressButton(sheet, (g + 1 == groups ? PSBTN_FINISH : PSBTN_NEXT));
            return true;
        });
    g_steps.push_back(ImportDoneStep(L"utilities_merge_done"));
    RunSteps([&] { Command(IDM_T_IMPORT); });
    EXPECT_EQ(groups, (int)seen.size());
    CloseForm();

    EXPECT_EQ(records + dbtest::QueryInt(source, L"SELECT COUNT(*) FROM ZORNACOLLS"),
              dbtest::QueryInt(target, L"SELECT COUNT(*) FROM ZORNACOLLS"));
    EXPECT_LT(taxa, dbtest::QueryInt(target, L"SELECT COUNT(*) FROM SYSTREE"));
    // The attributes the target lacked were created and filled.
    EXPECT_LT(0, dbtest::QueryInt(target, L"SELECT COUNT(*) FROM LITERATURE WHERE ISBN IS NOT NULL"));
    EXPECT_EQ(1, dbtest::QueryInt(target, L"SELECT COUNT(*) FROM CUSTOMATTRIBUTES WHERE CAPTION = 'Výskyt v ČR'"));
    EXPECT_TRUE(logs.Logs().empty());
}

}  // namespace
