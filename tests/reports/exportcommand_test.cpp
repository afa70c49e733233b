// Command 2004 on the program's own main form with a sample database: the file chosen through
// the file-choice seam, the current tab's list and columns, and its title as the sheet's name.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "common/filechooser.h"
#include "core/fields.h"
#include "shellcontract/configdata.h"
#include "mainapp/toolbars.h"
#include "tests/mainapp/formhost.h"

using wintest::DialogScript;

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

std::wstring ItemText(HWND dlg, int id)
{
    return wintest::WindowText(GetDlgItem(dlg, id));
}

class ExportCommand : public formhost::FormOnDatabase {
protected:
    std::wstring TemplatePath() override { return formhost::SampleWith(L"exportcommand_template", 300, {}); }
    void SetUp() override
    {
        FormOnDatabase::SetUp();
        previous_ = SetSaveFileChooser(ChooseForTest);
    }
    void TearDown() override
    {
        SetSaveFileChooser(previous_);
        FormOnDatabase::TearDown();
    }
    std::wstring File(const wchar_t* name) const { return folder_ + L"\\" + name; }
    // Command 2004 with the file chosen as type 1 (text) or 2 (workbook), 0 cancelling the choice,
    // while the script drives the dialogs.
    bool Export(const std::wstring& file, DWORD type, DialogScript& script)
    {
        g_chosenFile = file;
        g_chosenType = type;
        return Command(kExportCommand, script);
    }
    // The sheet name the workbook's options dialog proposes (the dialog is cancelled).
    std::wstring ProposedSheet(const wchar_t* file)
    {
        std::wstring proposed = L"<no dialog>";
        DialogScript script;
        script.Then(L"Export do MS Excel", [&](HWND dlg) {
            proposed = ItemText(dlg, 102);
            DialogScript::PostClick(dlg, IDCANCEL);
        });
        Export(File(file), 2, script);
        EXPECT_FALSE(wintest::FileExists(File(file)));
        return proposed;
    }

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
    std::wstring file = File(L"výběr.txt"), endText;
    DialogScript script;
    script.Then(L"Export do textového souboru", [](HWND dlg) { DialogScript::PostClick(dlg, IDOK); })
        .Then(L"Průběh", [&](HWND dlg) {
            EXPECT_TRUE(wintest::PumpUntil([&] { return ItemText(dlg, 105) == L"OK"; }, 60000));
            endText = ItemText(dlg, 103);
            DialogScript::PostClick(dlg, 105);
        });
    EXPECT_TRUE(Export(file, 1, script));
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
    DialogScript none;
    Export(File(L"nic.txt"), 0, none);
    EXPECT_EQ(1u, g_offeredType);
    EXPECT_FALSE(wintest::FileExists(File(L"nic.txt")));
}

// The type is the one of the extension typed when it is an offered one, whatever type the
// dialog was left at; any other name gets the extension of the type chosen.
TEST_F(ExportCommand, TheTypeFollowsTheExtensionTyped)
{
    ListQuery all = {ZM_LIST_SEARCH_RECORDS, 0, nullptr, 0, 0, 0, nullptr};
    SendMessageW(wnd_, ZM_QUERY_RECORD_LIST, 90, (LPARAM)&all);
    ShowTab(TAB_SEARCH);
    const wchar_t* kText = L"Export do textového souboru";
    const wchar_t* kBook = L"Export do MS Excel";
    struct Row {
        DWORD chosenType;
        const wchar_t* typed;
        const wchar_t* options;  // the options dialog of the type written
        const wchar_t* written;
        int type;
    } rows[] = {
        {2, L"hledání_unicode.txt", kText, L"hledání_unicode.txt", 1},
        {1, L"seznam.XLS", kBook, L"seznam.XLS", 2},
        {2, L"seznam2", kBook, L"seznam2.xls", 2},
        {1, L"seznam.csv", kText, L"seznam.csv.txt", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << std::string(row.typed, row.typed + wcslen(row.typed)).c_str());
        DialogScript script;
        script.Then(row.options, [](HWND dlg) { DialogScript::PostClick(dlg, IDOK); })
            .Then(L"Průběh", [&](HWND dlg) {
                EXPECT_TRUE(wintest::PumpUntil([&] { return ItemText(dlg, 105) == L"OK"; }, 60000));
                DialogScript::PostClick(dlg, 105);
            });
        EXPECT_TRUE(Export(File(row.typed), row.chosenType, script)) << "not the options of its type";
        EXPECT_EQ(row.type, form_->LastExpType);
        const std::string bytes = wintest::ReadFileBytes(File(row.written));
        ASSERT_GT(bytes.size(), 8u) << "nothing written";
        EXPECT_EQ(row.type == 2, bytes.compare(0, 4, "\xD0\xCF\x11\xE0") == 0) << "not the type of its name";
    }
}

TEST_F(ExportCommand, TheSpeciesListsSheetIsNamedAfterTheSpecies)
{
    dbtest::Rows species = dbtest::Query(path_, L"SELECT SYSID, NAME FROM SPECIES WHERE NAME LIKE '% %' LIMIT 1");
    ASSERT_EQ(1u, species.size());
    ShowTab(TAB_SYSTEM);
    GotoItem(WS_SYS_CARD, _wtoi(species[0][0].c_str()));
    ASSERT_EQ(_wtoi(species[0][0].c_str()), ws_->GetCurrentId(WS_SYS_CARD));
    // The name keeps its spaces, as a sheet name may.
    std::wstring proposed = ProposedSheet(L"druh.xls");
    EXPECT_TRUE(proposed == species[0][1]) << dbtest::Narrow(proposed);
    EXPECT_EQ(2, form_->LastExpType);

    // Literature (tab 3) has the literature's title whatever its card shows.
    ShowTab(TAB_LITERATURE);
    if (form_->Database->GetListRecordset(TAB_LITERATURE) && form_->Config->LitFields) {
        EXPECT_TRUE(ProposedSheet(L"lit.xls") == L"Literatura");
    }
}

// A taxon above the species has no species name: the tab's name stands in for the title of the
// list the card showed last.
TEST_F(ExportCommand, AnItemWithoutASpeciesNameProposesItsTabsName)
{
    dbtest::Rows species = dbtest::Query(path_, L"SELECT SYSID FROM SPECIES LIMIT 1");
    dbtest::Rows genus = dbtest::Query(path_, L"SELECT ID FROM SYSTREE WHERE ID > 0 AND ID NOT IN "
                                              L"(SELECT SYSID FROM SPECIES) ORDER BY ID DESC LIMIT 1");
    ASSERT_EQ(1u, genus.size());
    ShowTab(TAB_SYSTEM);
    GotoItem(WS_SYS_CARD, _wtoi(species[0][0].c_str()));
    ASSERT_TRUE(form_->Database->GetListRecordset(TAB_SYSTEM) != nullptr);
    GotoItem(WS_SYS_CARD, _wtoi(genus[0][0].c_str()));
    ASSERT_EQ(_wtoi(genus[0][0].c_str()), ws_->GetCurrentId(WS_SYS_CARD));
    std::wstring proposed = ProposedSheet(L"rod.xls");
    EXPECT_TRUE(proposed == L"Systém") << dbtest::Narrow(proposed);
}

}  // namespace
