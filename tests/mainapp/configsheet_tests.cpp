// The configuration sheet on the program's own main form with a generated database: its six
// pages, the apply passes and their ZM_CONFIG_CHANGED, the card font kept valid, the custom
// column checks, label edits, rows dragged with real mouse input, and the lists written to the
// workspace file and read back; beside them the rules the sheet checks, on their own.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/fontchooser.h"
#include "core/fields.h"
#include "core/longpath.h"
#include "core/xmlaccess.h"
#include "shellcontract/configdata.h"
#include "mainapp/configrules.h"
#include "mainapp/wssettings.h"
#include "resources/zorna/resource.h"
#include "tests/mainapp/formhost.h"
#include "tests/support/hostshell.h"

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
        const wchar_t* part;  // what the refusal names
    } cases[] = {
        {L"", 1, IDS_EMPTY_MASK, L""},
        {L"#", 1, IDS_MASK_NO_NUMBER, L"1"},
        {L"#1 # (#2)", 2, IDS_MASK_NO_NUMBER, L"4"},
        {L"#0", 1, IDS_MASK_BEYOND_FIELDS, L"#0"},
        {L"#1", 0, IDS_MASK_NO_FIELDS, L"#1"},
        {L"#1##", 0, IDS_MASK_NO_FIELDS, L"#1"},
        {L"##", 0, 0, L""},
        {L"a##b", 0, 0, L""},
        {L"#1", 1, 0, L""},
        {L"#1, #2 (#1)", 2, 0, L""},
        {L"#1 (#5)", 2, IDS_MASK_BEYOND_FIELDS, L"#5"},
        {L"#33", 1, IDS_MASK_BEYOND_FIELDS, L"#33"},
        {L"#33", 33, 0, L""},
        {L"#99999999999999999999", 5, IDS_MASK_BEYOND_FIELDS, L"#99999999999999999999"},
        // Twenty digits that wrap round a 64-bit number to 1 are still no reference to field 1.
        {L"#18446744073709551617", 1, IDS_MASK_BEYOND_FIELDS, L"#18446744073709551617"},
        {L"#00000000000000000000000000000001", 1, 0, L""},   // 32 digits
        {L"#000000000000000000000000000000012", 1, 0, L""},  // 33: the last is text after #0...01
        {L"x#2y", 1, IDS_MASK_BEYOND_FIELDS, L"#2"},
    };
    for (const Case& c : cases) {
        std::wstring part;
        EXPECT_EQ(c.refusal, CheckCustomMask(c.mask, c.fields, &part)) << c.mask << " / " << c.fields;
        EXPECT_EQ(c.part, part) << c.mask << " / " << c.fields;
    }
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

    // Edits a row's label in place as a user does: the edit box, the text, Enter.
    static void EditLabel(HWND list, int row, const wchar_t* text)
    {
        SetFocus(list);
        HWND edit = (HWND)SendMessageW(list, LVM_EDITLABELW, row, 0);
        ASSERT_NE(nullptr, edit);
        SetWindowTextW(edit, text);
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        wintest::PumpMessages();
    }

    // The names of the first database fields of the search list.
    std::vector<std::wstring> SearchFieldNames(int count)
    {
        std::vector<std::wstring> names;
        for (int i = 0; i < config_->SearchFields->GetCount() && (int)names.size() < count; i++) {
            CDispField* entry = static_cast<CDispField*>(config_->SearchFields->GetItems()[i]);
            if (entry->Field->Kind == FIELD_DATABASE)
                names.push_back(entry->Field->Name);
        }
        return names;
    }

    // A new column through "Přidat nový" and "Použít"; the refusal's text, empty when taken.
    std::wstring TryColumn(HWND page, const std::wstring& name, const std::wstring& fields,
                           const std::wstring& mask, int* focused = nullptr)
    {
        DialogScript::Click(page, IDC_CUST_ADD);
        SetText(page, IDC_CUST_NAME, name.c_str());
        SetText(page, IDC_CUST_FIELDS, fields.c_str());
        SetText(page, IDC_CUST_MASK, mask.c_str());
        size_t before = Boxes().size();
        DialogScript::Click(page, IDC_CUST_APPLY);
        if (Boxes().size() == before)
            return std::wstring();
        if (focused)
            *focused = GetDlgCtrlID(GetFocus());
        std::wstring text = Boxes().back().text;
        DialogScript::Click(page, IDC_CUST_CANCEL);
        return text;
    }

    static int EntryIndex(CObjArray* list, const CFieldBase* field)
    {
        for (int i = 0; i < list->GetCount(); i++) {
            if (static_cast<CDispField*>(list->GetItems()[i])->Field == field)
                return i;
        }
        return -1;
    }

    CCustFld* Custom(const wchar_t* name)
    {
        for (int i = 0; i < config_->CustomFields->GetCount(); i++) {
            CCustFld* c = static_cast<CCustFld*>(config_->CustomFields->GetItems()[i]);
            if (wcscmp(c->Name, name) == 0)
                return c;
        }
        return nullptr;
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
    for (int i = 0; i < (int)SendMessageW(header, HDM_GETITEMCOUNT, 0, 0); i++)
        EXPECT_NE(hidden, wintest::HeaderCaption(header, i));
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

TEST_F(ConfigSheet, CustomColumnsAreCheckedInOrderAndTheOffendingEditFocused)
{
    std::vector<std::wstring> fields = SearchFieldNames(2);
    ASSERT_EQ(2u, fields.size());
    wchar_t sep[4];
    GetListSeparator(sep);
    std::wstring two = fields[0] + sep + fields[1];
    std::wstring upper = fields[0];
    CharUpperW(&upper[0]);
    // A label the locality page has, in the configuration only (that page is never opened).
    static_cast<CDispField*>(config_->LocFields->GetItems()[0])->DispName = _wcsdup(L"StitekLokality");
    // The mask's refusals name the part at fault and the columns there are.
    auto beyond = [](const wchar_t* part, int count) {
        return L"Část masky „" + std::wstring(part) + L"“ neodkazuje na žádný z vybraných sloupečků: ty se v masce "
               L"píší #1 až #" + std::to_wstring(count) + L", v pořadí pole Sloupce.";
    };
    struct Case {
        std::wstring name, fields, mask;
        UINT refusal;
        int focus;
        std::wstring text;  // the message, when not the string itself
    } cases[] = {
        {L"", L"", L"#1", IDS_EMPTY_COLUMN_NAME, IDC_CUST_NAME},
        {L" x ", L"", L"#1", IDS_BAD_COLUMN_NAME, IDC_CUST_NAME},
        {L"1abc", L"", L"#1", IDS_BAD_COLUMN_NAME, IDC_CUST_NAME},
        {L"a b", L"", L"#1", IDS_BAD_COLUMN_NAME, IDC_CUST_NAME},
        {L"<x>", L"", L"#1", IDS_BAD_COLUMN_NAME, IDC_CUST_NAME},
        {std::wstring(65, L'n'), L"", L"#1", IDS_BAD_COLUMN_NAME, IDC_CUST_NAME},
        {upper, L"", L"##", IDS_COLUMN_EXISTS, IDC_CUST_NAME},
        {L"StitekSystemu", L"", L"##", IDS_COLUMN_EXISTS, IDC_CUST_NAME},
        {L"StitekLokality", L"", L"##", IDS_COLUMN_EXISTS, IDC_CUST_NAME},
        {L"Novy", L"Neexistuje", L"#1", IDS_UNKNOWN_FIELDS, IDC_CUST_FIELDS},
        {L"Novy", fields[0], L"", IDS_EMPTY_MASK, IDC_CUST_MASK},
        {L"Novy", fields[0], L"#", IDS_MASK_NO_NUMBER, IDC_CUST_MASK,
         L"Za znakem # na 1. místě masky chybí číslo sloupečku. Sám znak # se v masce píše jako ##."},
        {L"Novy", fields[0], L"#0", IDS_MASK_BEYOND_FIELDS, IDC_CUST_MASK, beyond(L"#0", 1)},
        {L"Novy", fields[0], L"#33", IDS_MASK_BEYOND_FIELDS, IDC_CUST_MASK, beyond(L"#33", 1)},
        {L"Novy", fields[0], L"#99999999999999999999", IDS_MASK_BEYOND_FIELDS, IDC_CUST_MASK,
         beyond(L"#99999999999999999999", 1)},
        {L"Novy", two, L"#1 (#5)", IDS_MASK_BEYOND_FIELDS, IDC_CUST_MASK, beyond(L"#5", 2)},
        {L"NovýSloupec", L"", L"#1", IDS_MASK_NO_FIELDS, IDC_CUST_MASK,
         L"Část masky „#1“ odkazuje na sloupeček, ale v poli Sloupce není vybrán žádný."},
        {L"NovýSloupec", L"", L"##", 0, 0},
        // A second new column of the same name, whatever its case.
        {L"NOVÝSLOUPEC", two, L"#1 #2", IDS_COLUMN_EXISTS, IDC_CUST_NAME},
        {L"Dvojice", two, L"#1 (#2)", 0, 0},
    };
    RunSheet([&](HWND sheet) {
        // A label given on the systematic page and not applied yet counts as well.
        HWND sysData = GetDlgItem(ShowPage(sheet, CONFIG_PAGE_SYSTEM), IDC_LIST_DATA);
        EditLabel(sysData, 0, L"StitekSystemu");
        HWND page = ShowPage(sheet, CONFIG_PAGE_CUSTOM);
        for (const Case& c : cases) {
            int focused = 0;
            std::wstring text = TryColumn(page, c.name, c.fields, c.mask, &focused);
            EXPECT_EQ(!c.text.empty() ? c.text : c.refusal ? Str(c.refusal) : L"", text) << c.name << " " << c.mask;
            if (c.refusal) {
                EXPECT_EQ(c.focus, focused) << c.name << " " << c.mask;
            }
        }
        EXPECT_EQ(2, (int)SendDlgItemMessageW(page, IDC_CUST_LIST, LB_GETCOUNT, 0, 0));
        RedrawWindow(sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        EXPECT_FALSE(wintest::SaveScreenshot(sheet, L"config_custom_columns").empty());
        // The new columns stand at the end of the three record lists, ticked.
        for (int k : {CONFIG_PAGE_SYSTEM, CONFIG_PAGE_LOCALITY, CONFIG_PAGE_SEARCH}) {
            HWND list = GetDlgItem(ShowPage(sheet, k), k == CONFIG_PAGE_SEARCH ? IDC_LIST_ONLY : IDC_LIST_DATA);
            std::vector<std::wstring> rows = RowTexts(list);
            ASSERT_GE(rows.size(), 2u);
            EXPECT_EQ(L"NovýSloupec", rows[rows.size() - 2]) << k;
            EXPECT_EQ(L"Dvojice", rows.back()) << k;
            EXPECT_TRUE(ListView_GetCheckState(list, (int)rows.size() - 1)) << k;
        }
        std::vector<std::wstring> lit = RowTexts(GetDlgItem(ShowPage(sheet, CONFIG_PAGE_LITERATURE), IDC_LIST_ONLY));
        EXPECT_EQ(lit.end(), std::find(lit.begin(), lit.end(), L"Dvojice"));
        DialogScript::PostClick(sheet, IDOK);
    });
    EXPECT_EQ(1, spy_.count);
    CCustFld* pair = Custom(L"Dvojice");
    ASSERT_NE(nullptr, pair);
    EXPECT_STREQ(L"#1 (#2)", pair->Mask);
    EXPECT_EQ(2, pair->FieldRefs->GetCount());
    ASSERT_NE(nullptr, Custom(L"NovýSloupec"));
    for (CObjArray* list : {config_->SysFields, config_->LocFields, config_->SearchFields})
        EXPECT_GE(EntryIndex(list, pair), 0);
    EXPECT_LT(EntryIndex(config_->LitFields, pair), 0);
}

// A refusal of the sheet is shown over the sheet: a box owned by the main window, which the
// sheet keeps disabled, would enable it again on closing and put the sheet behind it.
TEST_F(ConfigSheet, ARefusalIsShownOverTheSheetNotOverTheMainWindow)
{
    RunSheet([&](HWND sheet) {
        SetForegroundWindow(sheet);
        HWND page = ShowPage(sheet, CONFIG_PAGE_CUSTOM);
        EXPECT_EQ(Str(IDS_BAD_COLUMN_NAME), TryColumn(page, L"Datum a metoda", L"", L"#1"));
        ASSERT_FALSE(Boxes().empty());
        EXPECT_EQ(sheet, Boxes().back().owner);
        EXPECT_FALSE(IsWindowEnabled(wnd_));
        DialogScript::PostClick(sheet, IDCANCEL);
    });
}

// The name of a column made on the page and not applied yet is taken for the next new column,
// also when the lists show the first one under other labels.
// The name a new column starts with is there to be typed over: entering its field by a click
// selects it whole; a name the user typed keeps the caret where the click put it.
TEST_F(ConfigSheet, TheDefaultNameOfANewColumnIsSelectedWhenItsFieldIsEntered)
{
    RunSheet([&](HWND sheet) {
        HWND page = ShowPage(sheet, CONFIG_PAGE_CUSTOM);
        DialogScript::Click(page, IDC_CUST_ADD);
        HWND name = GetDlgItem(page, IDC_CUST_NAME);
        const struct {
            const wchar_t* text;
            bool selected;
        } rows[] = {{L"NovýSloupec", true}, {L"Datum_a_metoda", false}};
        for (const auto& row : rows) {
            SetText(page, IDC_CUST_NAME, row.text);
            SetFocus(GetDlgItem(page, IDC_CUST_MASK));
            wintest::ClickAt(name, {3, 4});
            DWORD from = 1, to = 1;
            SendMessageW(name, EM_GETSEL, (WPARAM)&from, (LPARAM)&to);
            EXPECT_EQ(name, GetFocus()) << row.selected;
            EXPECT_EQ(0u, from) << row.selected;
            EXPECT_EQ(row.selected ? wcslen(row.text) : 0u, (size_t)to) << row.selected;
        }
        DialogScript::Click(page, IDC_CUST_CANCEL);
        DialogScript::PostClick(sheet, IDCANCEL);
    });
}

TEST_F(ConfigSheet, ASecondNewColumnOfOneNameIsRefusedWhateverTheFirstOnesLabels)
{
    RunSheet([&](HWND sheet) {
        HWND page = ShowPage(sheet, CONFIG_PAGE_CUSTOM);
        EXPECT_EQ(L"", TryColumn(page, L"Hustota", L"", L"##"));
        for (int k : {CONFIG_PAGE_SYSTEM, CONFIG_PAGE_LOCALITY, CONFIG_PAGE_SEARCH}) {
            HWND list = GetDlgItem(ShowPage(sheet, k), k == CONFIG_PAGE_SEARCH ? IDC_LIST_ONLY : IDC_LIST_DATA);
            int last = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) - 1;
            EditLabel(list, last, L"Hustota jedinců");
            EXPECT_EQ(L"Hustota jedinců", wintest::ListCellText(list, last, 0)) << k;
        }
        page = ShowPage(sheet, CONFIG_PAGE_CUSTOM);
        EXPECT_EQ(Str(IDS_COLUMN_EXISTS), TryColumn(page, L"HUSTOTA", L"", L"##"));
        EXPECT_EQ(1, (int)SendDlgItemMessageW(page, IDC_CUST_LIST, LB_GETCOUNT, 0, 0));
        DialogScript::PostClick(sheet, IDCANCEL);
    });
}

TEST_F(ConfigSheet, AColumnTakesItsCommittedNameAgainAndADeleteCancelledKeepsIt)
{
    std::vector<std::wstring> fields = SearchFieldNames(1);
    RunSheet([&](HWND sheet) {
        EXPECT_EQ(L"", TryColumn(ShowPage(sheet, CONFIG_PAGE_CUSTOM), L"Sloupec", fields[0], L"<#1>"));
        DialogScript::PostClick(sheet, IDOK);
    });
    CCustFld* column = Custom(L"Sloupec");
    ASSERT_NE(nullptr, column);
    int entries = config_->SysFields->GetCount();
    RunSheet([&](HWND sheet) {
        HWND page = ShowPage(sheet, CONFIG_PAGE_CUSTOM);
        HWND list = GetDlgItem(page, IDC_CUST_LIST);
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_CUST_LIST, LBN_SELCHANGE), (LPARAM)list);
        EXPECT_EQ(L"Sloupec", wintest::WindowText(GetDlgItem(page, IDC_CUST_NAME)));
        // Its own name again, in another case: taken.
        DialogScript::Click(page, IDC_CUST_EDIT);
        SetText(page, IDC_CUST_NAME, L"SLOUPEC");
        size_t boxes = Boxes().size();
        DialogScript::Click(page, IDC_CUST_APPLY);
        EXPECT_EQ(boxes, Boxes().size());
        // Deleted with the Delete key, after the question.
        SetFocus(list);
        SendMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
        ASSERT_EQ(boxes + 1, Boxes().size());
        EXPECT_EQ(L"Opravdu chcete smazat uživatelský sloupec 'SLOUPEC'?", Boxes().back().text);
        EXPECT_EQ(0, (int)SendMessageW(list, LB_GETCOUNT, 0, 0));
        std::vector<std::wstring> rows = RowTexts(GetDlgItem(ShowPage(sheet, CONFIG_PAGE_SYSTEM), IDC_LIST_DATA));
        EXPECT_EQ(rows.end(), std::find(rows.begin(), rows.end(), L"Sloupec"));
        DialogScript::PostClick(sheet, IDCANCEL);
    });
    EXPECT_EQ(column, Custom(L"Sloupec"));
    EXPECT_EQ(entries, config_->SysFields->GetCount());
    EXPECT_GE(EntryIndex(config_->SysFields, column), 0);

    // Deleted and applied: the column leaves every list.
    RunSheet([&](HWND sheet) {
        HWND list = GetDlgItem(ShowPage(sheet, CONFIG_PAGE_CUSTOM), IDC_CUST_LIST);
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        SetFocus(list);
        SendMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
        DialogScript::PostClick(sheet, IDOK);
    });
    EXPECT_EQ(nullptr, Custom(L"Sloupec"));
    EXPECT_EQ(0, config_->CustomFields->GetCount());
    EXPECT_EQ(entries - 1, config_->SysFields->GetCount());
    EXPECT_EQ(2, spy_.count);
}

TEST_F(ConfigSheet, LabelsAreNeitherEmptyNorTwiceInAList)
{
    std::vector<std::wstring> before;
    RunSheet([&](HWND sheet) {
        HWND list = GetDlgItem(ShowPage(sheet, CONFIG_PAGE_LOCALITY), IDC_LIST_DATA);
        before = RowTexts(list);
        ASSERT_GE(before.size(), 3u);
        // Wine's list view reports an emptied label as a cancelled edit; the list's own end of
        // an edit with an empty text is refused all the same.
        EditLabel(list, 0, L"");
        NMLVDISPINFOW info = {};
        info.hdr.hwndFrom = list;
        info.hdr.idFrom = IDC_LIST_DATA;
        info.hdr.code = LVN_ENDLABELEDITW;
        info.item.iItem = 0;
        info.item.pszText = const_cast<wchar_t*>(L"");
        HWND page = GetParent(list);
        SendMessageW(page, WM_NOTIFY, IDC_LIST_DATA, (LPARAM)&info);
        EXPECT_EQ(FALSE, GetWindowLongPtrW(page, DWLP_MSGRESULT));
        EditLabel(list, 0, before[2].c_str());
        std::wstring other = before[2];
        CharLowerW(&other[0]);
        EditLabel(list, 0, other.c_str());
        EXPECT_EQ(before, RowTexts(list));
        EditLabel(list, 0, L"Místo nálezu");
        DialogScript::PostClick(sheet, IDOK);
    });
    ASSERT_EQ(3u, Boxes().size());
    EXPECT_EQ(Str(IDS_EMPTY_LABEL), Boxes()[0].text);
    EXPECT_EQ(Str(IDS_COLUMN_EXISTS), Boxes()[1].text);
    EXPECT_EQ(Str(IDS_COLUMN_EXISTS), Boxes()[2].text);
    std::vector<std::wstring> after = Labels(config_->LocFields);
    EXPECT_EQ(L"Místo nálezu", after[0]);
    EXPECT_EQ(1, spy_.count);
}

// The middle of a row's label in screen coordinates.
POINT RowPoint(HWND list, int row)
{
    RECT r = {LVIR_LABEL};
    SendMessageW(list, LVM_GETITEMRECT, row, (LPARAM)&r);
    return wintest::ScreenPoint(list, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

// Selects rows 2 and 3 of the search page's list (all four ticked) and drags them with the
// mouse onto row 0; the labels of the list before.
std::vector<std::wstring> DragTwoRowsToTheTop(ConfigData* config, HWND list, std::vector<std::wstring>* after)
{
    std::vector<std::wstring> before;
    int count = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; i++)
        before.push_back(wintest::ListCellText(list, i, 0));
    for (int i = 0; i < 4; i++)
        ListView_SetCheckState(list, i, TRUE);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, 2, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(list, 3, LVIS_SELECTED, LVIS_SELECTED);
    POINT from = RowPoint(list, 2), to = RowPoint(list, 0);
    wintest::SendMouse(from, 0);
    // A press soon after an earlier one at the same place would be a double click.
    wintest::PumpMessages(GetDoubleClickTime() + 20);
    wintest::SendMouse(from, MOUSEEVENTF_LEFTDOWN);
    wintest::SendMouse(POINT{from.x + 3, from.y + 10}, 0);
    EXPECT_TRUE(wintest::PumpUntil([&] { return config->DragImages != nullptr; }, 3000));
    wintest::SendMouse(POINT{to.x + 1, to.y}, 0);
    wintest::PumpMessages(30);
    wintest::SendMouse(to, 0);
    wintest::PumpMessages(30);
    EXPECT_EQ(0, config->DropIndex);
    wintest::SendMouse(to, MOUSEEVENTF_LEFTUP);
    wintest::PumpUntil([&] { return config->DragImages == nullptr; }, 3000);
    wintest::PumpMessages(50);
    after->clear();
    for (int i = 0; i < count; i++)
        after->push_back(wintest::ListCellText(list, i, 0));
    return before;
}

TEST_F(ConfigSheet, TwoRowsDraggedOntoTheFirstComeFirstInTheirOrder)
{
    std::vector<std::wstring> before, after;
    RunSheet([&](HWND sheet) {
        HWND list = GetDlgItem(ShowPage(sheet, CONFIG_PAGE_SEARCH), IDC_LIST_ONLY);
        before = DragTwoRowsToTheTop(config_, list, &after);
        DialogScript::PostClick(sheet, IDOK);
    });
    ASSERT_GE(before.size(), 4u);
    std::vector<std::wstring> expected = {before[2], before[3], before[0], before[1]};
    EXPECT_EQ(expected, std::vector<std::wstring>(after.begin(), after.begin() + 4));
    std::vector<std::wstring> labels = Labels(config_->SearchFields);
    EXPECT_EQ(expected, std::vector<std::wstring>(labels.begin(), labels.begin() + 4));
    EXPECT_EQ(1, spy_.count);
    // The search list shows its columns in the new order.
    HWND header = (HWND)SendMessageW(ws_->GetSearchList(), LVM_GETHEADER, 0, 0);
    EXPECT_EQ(before[2], wintest::HeaderCaption(header, 1));  // column 0 is the narrow empty one
}

TEST_F(ConfigSheet, ADragCancelledLeavesTheListAsItWas)
{
    config_->SortLists();
    std::vector<std::wstring> labels = Labels(config_->SearchFields);
    std::vector<std::wstring> before, after;
    RunSheet([&](HWND sheet) {
        HWND list = GetDlgItem(ShowPage(sheet, CONFIG_PAGE_SEARCH), IDC_LIST_ONLY);
        before = DragTwoRowsToTheTop(config_, list, &after);
        DialogScript::PostClick(sheet, IDCANCEL);
    });
    EXPECT_NE(before, after);
    EXPECT_EQ(labels, Labels(config_->SearchFields));
    EXPECT_EQ(0, spy_.count);
}

TEST_F(ConfigSheet, WhatTheSheetChangedRoundTripsThroughTheWorkspaceFile)
{
    std::vector<std::wstring> fields = SearchFieldNames(2);
    wchar_t sep[4];
    GetListSeparator(sep);
    RunSheet([&](HWND sheet) {
        SetText(ShowPage(sheet, CONFIG_PAGE_GENERAL), IDC_GEN_CAPTION, L"Zorna – terén");
        HWND page = ShowPage(sheet, CONFIG_PAGE_CUSTOM);
        DialogScript::Click(page, IDC_CUST_ADD);
        SetText(page, IDC_CUST_NAME, L"Souřadnice");
        SetText(page, IDC_CUST_FIELDS, (fields[0] + sep + fields[1]).c_str());
        SetText(page, IDC_CUST_MASK, L"#1 / #2 ##");
        CheckDlgButton(page, IDC_CUST_FORSEARCH, BST_CHECKED);
        CheckRadioButton(page, IDC_CUST_ALIGNLEFT, IDC_CUST_ALIGNRIGHT, IDC_CUST_ALIGNRIGHT);
        DialogScript::Click(page, IDC_CUST_APPLY);
        HWND list = GetDlgItem(ShowPage(sheet, CONFIG_PAGE_SYSTEM), IDC_LIST_DATA);
        EditLabel(list, 1, L"Přejmenováno");
        ListView_SetCheckState(list, 2, FALSE);
        DialogScript::PostClick(sheet, IDOK);
    });
    ASSERT_EQ(1, spy_.count);
    // Saved (Ctrl+S) where the file cannot be written whole: the box names it, and the old file
    // stays byte for byte, with no temporary file beside it.
    wintest::SmallDisk disk;
    const std::wstring file = form_->ConfigPath;
    struct Disk {
        const char* name;
        bool real;  // a disk of its own, filled up
        long long cutAfter;
    } disks[] = {{"a write cut short", false, 100}, {"a full disk", true, -1}};
    for (const Disk& d : disks) {
        if (d.real && !disk.Mounted())
            continue;
        SCOPED_TRACE(d.name);
        form_->ConfigPath = d.real ? disk.File(L"Pracovni.xml") : file;
        ASSERT_TRUE(!d.real || CopyFileW(file.c_str(), form_->ConfigPath.c_str(), FALSE));
        const std::string before = wintest::ReadFileBytes(form_->ConfigPath);
        const size_t boxes = Boxes().size();
        if (d.real)
            disk.Fill();
        long long previous = SetWriteLimitForTests(d.cutAfter);
        SendMessageW(wnd_, WM_COMMAND, IDM_SAVETEMPLATE, 0);
        SetWriteLimitForTests(previous);
        disk.Free();
        ASSERT_EQ(boxes + 1, Boxes().size());
        EXPECT_EQ(0u, Boxes().back().text.find(L"Šablonu se nepodařilo uložit do souboru:\n" + form_->ConfigPath));
        EXPECT_EQ(before, wintest::ReadFileBytes(form_->ConfigPath));
        EXPECT_FALSE(wintest::FileExists(form_->ConfigPath + L".tmp"));
        if (d.real)
            DeleteFileW(form_->ConfigPath.c_str());
    }
    form_->ConfigPath = file;
    ASSERT_TRUE(SaveWorkspace(form_, wnd_));
    ConfigData read(GetModuleHandleW(nullptr));
    CXmlReader reader(form_->ConfigPath.c_str());
    read.ReadConfigSection(&reader);
    EXPECT_STREQ(L"Zorna – terén", read.AppCaption);
    ASSERT_EQ(1, read.CustomFields->GetCount());
    CCustFld* column = static_cast<CCustFld*>(read.CustomFields->GetItems()[0]);
    EXPECT_STREQ(L"Souřadnice", column->Name);
    EXPECT_STREQ(L"#1 / #2 ##", column->Mask);
    EXPECT_EQ(fields[0] + sep + fields[1], column->Fields);
    EXPECT_EQ(1, column->UseForSearch);
    EXPECT_EQ(FIELD_ALIGN_RIGHT, column->Alignment);
    for (CObjArray* ConfigData::*list :
         {&ConfigData::SysFields, &ConfigData::LocFields, &ConfigData::SearchFields}) {
        ASSERT_EQ(Labels(config_->*list), Labels(read.*list));
        for (int i = 0; i < (config_->*list)->GetCount(); i++) {
            EXPECT_EQ(static_cast<CDispField*>((config_->*list)->GetItems()[i])->Visible,
                      static_cast<CDispField*>((read.*list)->GetItems()[i])->Visible);
        }
    }
    std::vector<std::wstring> sys = Labels(read.SysFields);
    EXPECT_NE(sys.end(), std::find(sys.begin(), sys.end(), L"Přejmenováno"));
    EXPECT_NE(sys.end(), std::find(sys.begin(), sys.end(), L"Souřadnice"));
}

}  // namespace
