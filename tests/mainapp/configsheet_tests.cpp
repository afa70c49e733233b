// The configuration sheet on the program's own main form with a generated database: its six
// pages, the apply passes and their ZM_CONFIG_CHANGED, the card font kept valid, the custom
// column checks, label edits, rows dragged with real mouse input, and the lists written to the
// workspace file and read back; beside them the rules the sheet checks, on their own.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <functional>
#include <string>
#include <vector>

#include "common/fontchooser.h"
#include "core/fields.h"
#include "core/xmlaccess.h"
#include "mainapp/configdata.h"
#include "mainapp/configrules.h"
#include "mainapp/wssettings.h"
#include "resources/zorna/resource.h"
#include "tests/mainapp/formhost.h"

using wintest::DialogScript;

namespace {

const wchar_t kSheetCaption[] = L"Konfigurace";
const int kApplyButton = 0x3021;  // the sheet's "Použít"

std::wstring Str(UINT id)
{
    wchar_t text[512] = L"";
    LoadStringW(GetModuleHandleW(nullptr), id, text, 512);
    return text;
}

// ---- the rules on their own ----

TEST(ConfigRules, CustomColumnNames)
{
    struct Case {
        const wchar_t* name;
        int refusal;
    } cases[] = {
        {L"", IDS_EMPTY_COLUMN_NAME},
        {L" x ", IDS_BAD_COLUMN_NAME},
        {L"1abc", IDS_BAD_COLUMN_NAME},
        {L"a b", IDS_BAD_COLUMN_NAME},
        {L"<x>", IDS_BAD_COLUMN_NAME},
        {L"a:b", IDS_BAD_COLUMN_NAME},
        {L"-a", IDS_BAD_COLUMN_NAME},
        {L"NovýSloupec", 0},
        {L"Čtverec_KFME.2", 0},
        {L"_x-1", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.refusal, CheckCustomColumnName(c.name)) << c.name;
    EXPECT_EQ(0, CheckCustomColumnName(std::wstring(63, L'a').c_str()));
    EXPECT_EQ(IDS_BAD_COLUMN_NAME, CheckCustomColumnName(std::wstring(64, L'a').c_str()));
    EXPECT_EQ(IDS_BAD_COLUMN_NAME, CheckCustomColumnName(std::wstring(65, L'a').c_str()));
}

TEST(ConfigRules, MasksAndTheirReferences)
{
    struct Case {
        const wchar_t* mask;
        int fields;
        int refusal;
    } cases[] = {
        {L"", 1, IDS_EMPTY_MASK},
        {L"#", 1, IDS_BAD_MASK_PARAMS},
        {L"#0", 1, IDS_BAD_MASK_PARAMS},
        {L"#1", 0, IDS_BAD_MASK_PARAMS},
        {L"#1##", 0, IDS_BAD_MASK_PARAMS},
        {L"##", 0, 0},
        {L"a##b", 0, 0},
        {L"#1", 1, 0},
        {L"#1, #2 (#1)", 2, 0},
        {L"#33", 1, IDS_BAD_MASK_PARAMS},
        {L"#33", 33, 0},
        {L"#99999999999999999999", 5, IDS_BAD_MASK_PARAMS},
        // Twenty digits that wrap round a 64-bit number to 1 are still no reference to field 1.
        {L"#18446744073709551617", 1, IDS_BAD_MASK_PARAMS},
        {L"#00000000000000000000000000000001", 1, 0},   // 32 digits
        {L"#000000000000000000000000000000012", 1, 0},  // 33: the last is text after #0...01
        {L"x#2y", 1, IDS_BAD_MASK_PARAMS},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.refusal, CheckCustomMask(c.mask, c.fields)) << c.mask << " / " << c.fields;
}

TEST(ConfigRules, DroppedRowsTakeTheDropPlace)
{
    struct Case {
        std::vector<int> orders;
        std::vector<bool> selected;
        int drop;
        std::vector<int> expected;
    } cases[] = {
        // Rows 2 and 3 onto row 0: they come first, in the order they had.
        {{1, 2, 3, 4}, {false, false, true, true}, 0, {3, 4, 1, 2}},
        // Row 0 after the last row.
        {{1, 2, 3, 4}, {true, false, false, false}, 4, {5, 2, 3, 4}},
        // Rows 0 and 3 onto row 2: rows before the drop keep their order.
        {{1, 2, 3, 4}, {true, false, false, true}, 2, {3, 2, 5, 4}},
        // Orders with gaps, as a column layout leaves them.
        {{10, 20, 30}, {false, false, true}, 1, {10, 21, 20}},
    };
    for (Case& c : cases) {
        OrderForDrop(c.orders, c.selected, c.drop);
        EXPECT_EQ(c.expected, c.orders) << c.drop;
    }
}

TEST(ConfigRules, NamesAreOneWhateverTheirCase)
{
    EXPECT_TRUE(SameColumnName(L"Název", L"NÁZEV"));
    EXPECT_TRUE(SameColumnName(L"čtverec", L"ČTVEREC"));
    EXPECT_FALSE(SameColumnName(L"Druh", L"Druhy"));
    EXPECT_FALSE(SameColumnName(nullptr, L"x"));
}

// ---- the sheet on the main form ----

std::wstring SheetTemplate()
{
    return formhost::SampleWith(L"configsheet_template", 500, {});
}

// Counts ZM_CONFIG_CHANGED at the main window and notes what the configuration held then.
struct ChangeSpy {
    static ChangeSpy* active;
    WNDPROC previous = nullptr;
    HWND wnd = nullptr;
    int count = 0;
    std::function<void()> onChange;

    void Attach(HWND main)
    {
        active = this;
        wnd = main;
        previous = (WNDPROC)SetWindowLongPtrW(main, GWLP_WNDPROC, (LONG_PTR)&ChangeSpy::Proc);
    }
    void Detach()
    {
        if (previous && IsWindow(wnd))
            SetWindowLongPtrW(wnd, GWLP_WNDPROC, (LONG_PTR)previous);
        previous = nullptr;
        active = nullptr;
    }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        ChangeSpy* self = active;
        if (msg == ZM_CONFIG_CHANGED) {
            self->count++;
            if (self->onChange)
                self->onChange();
        }
        return CallWindowProcW(self->previous, hwnd, msg, wParam, lParam);
    }
};
ChangeSpy* ChangeSpy::active = nullptr;

class ConfigSheet : public formhost::FormOnDatabase {
protected:
    std::wstring TemplatePath() override { return SheetTemplate(); }

    void SetUp() override
    {
        formhost::FormOnDatabase::SetUp();
        if (HasFatalFailure())
            return;
        config_ = form_->Config;
        spy_.Attach(wnd_);
    }
    void TearDown() override
    {
        spy_.Detach();
        formhost::FormOnDatabase::TearDown();
    }

    // Opens the sheet with command 107 and runs the action in it; the action ends the sheet.
    void RunSheet(std::function<void(HWND)> action)
    {
        DialogScript script;
        script.Then(kSheetCaption, std::move(action));
        ASSERT_TRUE(Command(IDM_CONFIGURATION, script));
    }

    static HWND ShowPage(HWND sheet, int index)
    {
        SendMessageW(sheet, PSM_SETCURSEL, index, 0);
        wintest::PumpMessages();
        return (HWND)SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
    }

    static void SetText(HWND page, int id, const wchar_t* text) { SetDlgItemTextW(page, id, text); }

    // The labels of a display list in its order.
    static std::vector<std::wstring> Labels(CObjArray* list)
    {
        std::vector<std::wstring> labels;
        for (int i = 0; i < list->GetCount(); i++) {
            CDispField* entry = static_cast<CDispField*>(list->GetItems()[i]);
            labels.push_back(entry->DispName ? entry->DispName : L"");
        }
        return labels;
    }

    static std::vector<std::wstring> RowTexts(HWND list)
    {
        std::vector<std::wstring> texts;
        int count = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < count; i++)
            texts.push_back(wintest::ListCellText(list, i, 0));
        return texts;
    }

    ConfigData* config_ = nullptr;
    ChangeSpy spy_;
};

TEST_F(ConfigSheet, ScreenshotsOfTheSixPages)
{
    const wchar_t* names[] = {L"config_general", L"config_custom", L"config_system",
                              L"config_localities", L"config_search", L"config_literature"};
    RunSheet([&](HWND sheet) {
        for (int i = 0; i < 6; i++) {
            HWND page = ShowPage(sheet, i);
            EXPECT_NE(nullptr, page) << i;
            RedrawWindow(sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            EXPECT_FALSE(wintest::SaveScreenshot(sheet, names[i]).empty());
        }
        DialogScript::PostClick(sheet, IDCANCEL);
    });
    EXPECT_EQ(0, spy_.count);
}

TEST_F(ConfigSheet, OkWithoutChangesAnnouncesNothing)
{
    RunSheet([&](HWND sheet) {
        for (int i = 0; i < 6; i++)
            ShowPage(sheet, i);
        DialogScript::PostClick(sheet, IDOK);
    });
    EXPECT_EQ(0, spy_.count);
}

TEST_F(ConfigSheet, ACaptionAppliedIsAnnouncedOnceAndCancelKeepsIt)
{
    RunSheet([&](HWND sheet) {
        SetText(ShowPage(sheet, CONFIG_PAGE_GENERAL), IDC_GEN_CAPTION, L"Moje Zorna");
        DialogScript::Click(sheet, kApplyButton);
        EXPECT_EQ(1, spy_.count);
        DialogScript::PostClick(sheet, IDCANCEL);
    });
    EXPECT_EQ(1, spy_.count);
    EXPECT_STREQ(L"Moje Zorna", config_->AppCaption);
    EXPECT_EQ(0u, wintest::WindowText(wnd_).find(L"Moje Zorna - "));
}

TEST_F(ConfigSheet, ACaptionAndAListThenOkAreAnnouncedOnceAfterTheLastPage)
{
    std::wstring hidden;
    bool bothApplied = false;
    spy_.onChange = [&] {
        CDispField* entry = nullptr;
        for (int i = 0; i < config_->SysFields->GetCount(); i++) {
            CDispField* e = static_cast<CDispField*>(config_->SysFields->GetItems()[i]);
            if (e->DispName && hidden == e->DispName)
                entry = e;
        }
        bothApplied = config_->AppCaption && std::wstring(config_->AppCaption) == L"Jiná"
                      && entry && !entry->Visible;
    };
    RunSheet([&](HWND sheet) {
        SetText(ShowPage(sheet, CONFIG_PAGE_GENERAL), IDC_GEN_CAPTION, L"Jiná");
        HWND list = GetDlgItem(ShowPage(sheet, CONFIG_PAGE_SYSTEM), IDC_LIST_DATA);
        hidden = wintest::ListCellText(list, 1, 0);
        ListView_SetCheckState(list, 1, FALSE);
        DialogScript::PostClick(sheet, IDOK);
    });
    EXPECT_EQ(1, spy_.count);
    EXPECT_TRUE(bothApplied);
    // The record list of the systematic card no longer shows the column.
    HWND records = ws_->GetRecordList(WS_SYS_CARD);
    HWND header = (HWND)SendMessageW(records, LVM_GETHEADER, 0, 0);
    for (int i = 0; i < (int)SendMessageW(header, HDM_GETITEMCOUNT, 0, 0); i++) {
        wchar_t text[128] = L"";
        HDITEMW item = {};
        item.mask = HDI_TEXT;
        item.pszText = text;
        item.cchTextMax = 128;
        SendMessageW(header, HDM_GETITEMW, i, (LPARAM)&item);
        EXPECT_NE(hidden, text);
    }
}

BOOL WINAPI ChooseLargeRedArial(CHOOSEFONTW* cf)
{
    wcscpy(cf->lpLogFont->lfFaceName, L"Arial");
    cf->lpLogFont->lfHeight = -27;
    cf->lpLogFont->lfWeight = FW_BOLD;
    cf->iPointSize = 200;
    cf->rgbColors = RGB(200, 0, 0);
    return TRUE;
}

TEST_F(ConfigSheet, AFontAppliedThenCancelledStaysTheCardsValidFont)
{
    FontDialogFn previous = SetFontChooser(ChooseLargeRedArial);
    HFONT before = config_->CardFont;
    HFONT second = nullptr;
    RunSheet([&](HWND sheet) {
        HWND page = ShowPage(sheet, CONFIG_PAGE_GENERAL);
        DialogScript::Click(page, IDC_GEN_CHANGEFONT);
        EXPECT_EQ(L"Arial, 20 pt", wintest::WindowText(GetDlgItem(page, IDC_GEN_FONTSAMPLE)));
        DialogScript::Click(sheet, kApplyButton);
        // A second font, never applied, goes with the sheet.
        DialogScript::Click(page, IDC_GEN_CHANGEFONT);
        second = config_->WorkFont;
        DialogScript::PostClick(sheet, IDCANCEL);
    });
    SetFontChooser(previous);
    EXPECT_EQ(1, spy_.count);
    ASSERT_NE(before, config_->CardFont);
    LOGFONTW font = {};
    ASSERT_EQ((int)sizeof(font), GetObjectW(config_->CardFont, sizeof(font), &font));
    EXPECT_STREQ(L"Arial", font.lfFaceName);
    EXPECT_EQ(RGB(200, 0, 0), config_->CardColor);
    EXPECT_EQ(200, config_->CardPointSize);
    EXPECT_STREQ(L"Arial", config_->CardLogFont.lfFaceName);
    EXPECT_EQ(nullptr, config_->WorkFont);
    EXPECT_EQ(0u, GetObjectType(second));
}

TEST_F(ConfigSheet, AFontChosenAndCancelledChangesNothing)
{
    FontDialogFn previous = SetFontChooser(ChooseLargeRedArial);
    HFONT before = config_->CardFont;
    LOGFONTW logBefore = config_->CardLogFont;
    RunSheet([&](HWND sheet) {
        DialogScript::Click(ShowPage(sheet, CONFIG_PAGE_GENERAL), IDC_GEN_CHANGEFONT);
        DialogScript::PostClick(sheet, IDCANCEL);
    });
    SetFontChooser(previous);
    EXPECT_EQ(0, spy_.count);
    EXPECT_EQ(before, config_->CardFont);
    EXPECT_EQ(0, memcmp(&logBefore, &config_->CardLogFont, sizeof(logBefore)));
    LOGFONTW font = {};
    EXPECT_EQ((int)sizeof(font), GetObjectW(config_->CardFont, sizeof(font), &font));
}

}  // namespace
