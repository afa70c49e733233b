// Command 2004 on the program's own main form with a sample database: the file chosen through
// the file-choice seam, the current tab's list and columns, and its title as the sheet's name.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "browse/workspace.h"
#include "common/filechooser.h"
#include "core/database.h"
#include "core/fields.h"
#include "mainapp/configdata.h"
#include "mainapp/mainform.h"
#include "mainapp/toolbars.h"
#include "mainapp/zm_protocol.h"
#include "reports/textexport.h"
#include "tests/core/dbfixture.h"
#include "tests/core/sampletemplate.h"
#include "tests/mainapp/workspacefile.h"
#include "tests/reports/dialogscript.h"

using exporttest::Click;
using exporttest::DialogScript;
using exporttest::ItemText;

namespace {

const int kExportCommand = 2004;

// What the save dialog answers: the file and the type chosen (0: cancelled).
std::wstring g_chosenFile;
DWORD g_chosenType = 0;
DWORD g_offeredType = 0;

BOOL WINAPI ChooseForTest(OPENFILENAMEW* ofn)
{
    g_offeredType = ofn->nFilterIndex;
    if (!g_chosenType)
        return FALSE;
    wcsncpy(ofn->lpstrFile, g_chosenFile.c_str(), ofn->nMaxFile);
    ofn->nFilterIndex = g_chosenType;
    return TRUE;
}

// Lines of a delimited file, a quoted value's own line breaks not counted.
int Records(const std::string& bytes)
{
    int n = 0;
    bool quoted = false;
    for (char c : bytes) {
        if (c == '"')
            quoted = !quoted;
        else if (c == '\n' && !quoted)
            ++n;
    }
    return n;
}

class ExportCommand : public ::testing::Test {
protected:
    ExportCommand() : folder_(L"exportcommand") {}

    void SetUp() override
    {
        zor::SampleDbOptions options;
        options.records = 300;
        std::wstring db = folder_.File(L"ZorBase.mdb");
        std::wstring error;
        ASSERT_TRUE(zor::CreateSampleDatabase(db, options, &error));
        db_ = db;
        std::wstring settings = folder_.File(L"Pracovni.xml");
        wstest::WriteConnectionOnly(settings, db.c_str());
        last_.reset(new wstest::LastConfigFile(settings));
        SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"30");
        form_ = new MainForm(GetModuleHandleW(nullptr), MainFormDlgProc, &wnd_, &accel_);
        ASSERT_TRUE(wnd_ != nullptr);
        wintest::PumpMessages();
        ASSERT_TRUE(form_->Database && form_->Database->IsOpen() == 1);
        previous_ = SetSaveFileChooser(ChooseForTest);
    }
    void TearDown() override
    {
        SetSaveFileChooser(previous_);
        if (wnd_ && IsWindow(wnd_))
            DestroyWindow(wnd_);
        wintest::PumpMessages();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
            ;
        delete form_;
        SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", nullptr);
        last_.reset();
    }
    void ShowTab(int tab)
    {
        form_->Workspace_->HidePage(wnd_);
        SendMessageW(GetDlgItem(wnd_, kWorkspaceTabControlId), TCM_SETCURSEL, tab, 0);
        form_->Workspace_->ShowPage(wnd_);
        wintest::PumpMessages(50);
    }
    void Export(const std::wstring& file, DWORD type)
    {
        g_chosenFile = file;
        g_chosenType = type;
        SendMessageW(wnd_, WM_COMMAND, MAKEWPARAM(kExportCommand, 0), 0);
    }

    wintest::ScopedFolder folder_;
    std::wstring db_;
    std::unique_ptr<wstest::LastConfigFile> last_;
    MainForm* form_ = nullptr;
    HWND wnd_ = nullptr;
    HACCEL accel_ = nullptr;
    FileDialogFn previous_ = nullptr;
};

TEST_F(ExportCommand, TheSearchListGoesToATextFileWithItsColumns)
{
    ListQuery all = {ZM_LIST_SEARCH_RECORDS, 0, nullptr, 0, 0, 0, nullptr};
    SendMessageW(wnd_, ZM_QUERY_RECORD_LIST, 90, (LPARAM)&all);
    ShowTab(TAB_SEARCH);
    // The record toolbar offers the command while a list is shown.
    EXPECT_EQ(TBSTATE_ENABLED,
              SendMessageW(form_->RecordToolbar->Toolbar, TB_GETSTATE, kExportCommand, 0) & TBSTATE_ENABLED);
    std::wstring file = folder_.File(L"výběr.txt"), endText;
    DialogScript script({{L"Export do textového souboru",
                          [](HWND dlg) {
                              Click(dlg, IDOK);
                              return true;
                          }},
                         {L"Průběh", [&](HWND dlg) {
                              if (ItemText(dlg, 105) != L"OK")
                                  return false;
                              endText = ItemText(dlg, 103);
                              Click(dlg, 105);
                              return true;
                          }}});
    Export(file, 1);
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(endText == L"Export dokončen");
    EXPECT_EQ(1, form_->LastExpType);
    std::string bytes = wintest::ReadFileBytes(file);
    std::string header;
    CObjArray* fields = form_->Config->SearchFields;
    for (int i = 0; i < fields->GetCount(); ++i) {
        CDispField* d = static_cast<CDispField*>(fields->GetItems()[i]);
        if (!d->Visible)
            continue;
        char name[256];
        WideCharToMultiByte(CP_ACP, 0, d->DispName, -1, name, 256, nullptr, nullptr);
        header += (header.empty() ? "" : "\t") + std::string(name);
    }
    EXPECT_EQ(0u, bytes.find(header + "\r\n")) << bytes.substr(0, 200);
    EXPECT_EQ(301, Records(bytes));

    // Cancelling the file choice does nothing; the type chosen last is offered again.
    Export(folder_.File(L"nic.txt"), 0);
    EXPECT_EQ(1u, g_offeredType);
    EXPECT_FALSE(wintest::FileExists(folder_.File(L"nic.txt")));
}

TEST_F(ExportCommand, TheSpeciesListsSheetIsNamedAfterTheSpecies)
{
    dbtest::Rows species = dbtest::Query(db_, L"SELECT SYSID, NAME FROM SPECIES WHERE NAME LIKE '% %' LIMIT 1");
    ASSERT_EQ(1u, species.size());
    ShowTab(TAB_SYSTEM);
    SendMessageW(wnd_, ZM_GOTO_TREE_ITEM, 0, _wtoi(species[0][0].c_str()));
    wintest::PumpMessages(50);
    ASSERT_EQ(_wtoi(species[0][0].c_str()), form_->Workspace_->GetCurrentId(WS_SYS_CARD));
    std::wstring proposed, sheet = species[0][1];
    for (wchar_t& c : sheet)
        if (c == L' ')
            c = L'_';
    DialogScript script({{L"Export do MS Excel", [&](HWND dlg) {
                              proposed = ItemText(dlg, 102);
                              Click(dlg, IDCANCEL);
                              return true;
                          }}});
    Export(folder_.File(L"druh.xls"), 2);
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(proposed == sheet) << dbtest::Narrow(proposed);
    EXPECT_EQ(2, form_->LastExpType);
    EXPECT_FALSE(wintest::FileExists(folder_.File(L"druh.xls")));

    // Literature (tab 3) has the literature's title whatever its card shows.
    ShowTab(TAB_LITERATURE);
    DialogScript literature({{L"Export do MS Excel", [&](HWND dlg) {
                                  proposed = ItemText(dlg, 102);
                                  Click(dlg, IDCANCEL);
                                  return true;
                              }}});
    Export(folder_.File(L"lit.xls"), 2);
    if (form_->Database->GetListRecordset(TAB_LITERATURE) && form_->Config->LitFields) {
        EXPECT_TRUE(literature.Finished());
        EXPECT_TRUE(proposed == L"Literatura");
    }
}

// A taxon above the species has no species name: the tab's name stands in for the title of the
// list the card showed last.
TEST_F(ExportCommand, AnItemWithoutASpeciesNameProposesItsTabsName)
{
    dbtest::Rows species = dbtest::Query(db_, L"SELECT SYSID FROM SPECIES LIMIT 1");
    dbtest::Rows genus = dbtest::Query(db_, L"SELECT ID FROM SYSTREE WHERE ID > 0 AND ID NOT IN "
                                            L"(SELECT SYSID FROM SPECIES) ORDER BY ID DESC LIMIT 1");
    ASSERT_EQ(1u, genus.size());
    ShowTab(TAB_SYSTEM);
    SendMessageW(wnd_, ZM_GOTO_TREE_ITEM, 0, _wtoi(species[0][0].c_str()));
    wintest::PumpMessages(50);
    ASSERT_TRUE(form_->Database->GetListRecordset(TAB_SYSTEM) != nullptr);
    SendMessageW(wnd_, ZM_GOTO_TREE_ITEM, 0, _wtoi(genus[0][0].c_str()));
    wintest::PumpMessages(50);
    ASSERT_EQ(_wtoi(genus[0][0].c_str()), form_->Workspace_->GetCurrentId(WS_SYS_CARD));
    std::wstring proposed;
    DialogScript script({{L"Export do MS Excel", [&](HWND dlg) {
                              proposed = ItemText(dlg, 102);
                              Click(dlg, IDCANCEL);
                              return true;
                          }}});
    Export(folder_.File(L"rod.xls"), 2);
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(proposed == L"Systém") << dbtest::Narrow(proposed);
}

}  // namespace
