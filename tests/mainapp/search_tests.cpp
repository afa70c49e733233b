// The search command on the program's own main form over a generated sample database: SEARCHDLG
// driven by clicks and keys inside its modal loop (its tabs, its trees loading as they expand,
// the attribute page), the search list it fills, the warning when nothing was chosen, the
// report's description of the selection, and the dialog's place kept in the workspace file.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "browse/searchpage.h"
#include "browse/searchtree.h"
#include "browse/treecard.h"
#include "browse/workspace.h"
#include "core/database.h"
#include "tools/sampledb/sampledb.h"
#include "core/treefill.h"
#include "core/xmlaccess.h"
#include "mainapp/dbopen.h"
#include "mainapp/mainform.h"
#include "mainapp/wssettings.h"
#include "shellcontract/zm_protocol.h"
#include "resources/zorna/resource.h"
#include "tests/mainapp/formhost.h"
#include "tests/support/dialogscript.h"
#include "tests/support/wintest.h"

namespace {

const wchar_t kDialogCaption[] = L"Vyhledávání";

std::string Narrow(const std::wstring& w)
{
    return std::string(w.begin(), w.end());
}

std::wstring Resource(UINT id)
{
    wchar_t text[256] = L"";
    LoadStringW(GetModuleHandleW(nullptr), id, text, 256);
    return text;
}

HTREEITEM Next(HWND tree, HTREEITEM item, UINT how)
{
    return (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, how, (LPARAM)item);
}

int ChildCount(HWND tree, HTREEITEM parent)
{
    int n = 0;
    for (HTREEITEM i = Next(tree, parent, parent ? TVGN_CHILD : TVGN_ROOT); i; i = Next(tree, i, TVGN_NEXT))
        ++n;
    return n;
}

HTREEITEM ItemWithId(HWND tree, HTREEITEM parent, int id)
{
    for (HTREEITEM i = Next(tree, parent, parent ? TVGN_CHILD : TVGN_ROOT); i; i = Next(tree, i, TVGN_NEXT)) {
        TreeItemData* data = GetTreeItemData(tree, i);
        if (data && data->Id == id)
            return i;
    }
    return nullptr;
}

void ClickTab(HWND tabs, int index)
{
    RECT r = {};
    SendMessageW(tabs, TCM_GETITEMRECT, index, (LPARAM)&r);
    wintest::ClickAt(tabs, {(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

// The right arrow on a selected collapsed item expands it.
void ExpandByKey(HWND tree, HTREEITEM item)
{
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
    SetFocus(tree);
    wintest::PressKey(tree, VK_RIGHT);
}

// A click on the item's check box.
void ClickCheckBox(HWND tree, HTREEITEM item)
{
    RECT text = {};
    ASSERT_TRUE(TreeView_GetItemRect(tree, item, &text, TRUE));
    int y = (text.top + text.bottom) / 2;
    for (int x = text.left - 1; x >= 0; --x) {
        TVHITTESTINFO hit = {{x, y}, 0, nullptr};
        SendMessageW(tree, TVM_HITTEST, 0, (LPARAM)&hit);
        if (hit.hItem == item && (hit.flags & TVHT_ONITEMSTATEICON)) {
            wintest::ClickAt(tree, {x, y});
            return;
        }
    }
    ADD_FAILURE() << "no check box found";
}

void ClickButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    RECT r = {};
    GetClientRect(button, &r);
    wintest::ClickAt(button, {r.right / 2, r.bottom / 2});
}

// A click on a row of the field list.
void ChooseField(HWND page, const std::wstring& caption)
{
    HWND list = GetDlgItem(page, IDC_SEARCH_FIELDS);
    int row = (int)SendMessageW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)caption.c_str());
    ASSERT_GE(row, 0) << Narrow(caption);
    SendMessageW(list, LB_SETTOPINDEX, row, 0);
    RECT r = {};
    SendMessageW(list, LB_GETITEMRECT, row, (LPARAM)&r);
    wintest::ClickAt(list, {r.left + 5, (r.top + r.bottom) / 2});
    ASSERT_EQ(row, (int)SendMessageW(list, LB_GETCURSEL, 0, 0));
}

void Type(HWND page, int id, const std::wstring& text)
{
    HWND edit = GetDlgItem(page, id);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    wintest::TypeText(edit, text);
}

bool Shown(HWND page, int id)
{
    return (GetWindowLongPtrW(GetDlgItem(page, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

std::string CriteriaText(HWND wnd)
{
    char* text = reinterpret_cast<char*>(1);
    SendMessageW(wnd, ZM_GET_CRITERIA_TEXT, 0, (LPARAM)&text);
    std::string s = text ? text : "<null>";
    free(text);
    return s;
}

std::wstring Template()
{
    // A lookup attribute whose value table is missing.
    return formhost::SampleWith(L"searchcmdtemplate", 1500,
                                {L"ALTER TABLE ZORNACOLLS ADD [ZTRACENA] VARCHAR(20)",
                                 L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE, ATTRSIZE, "
                                 L"KEYFLAG, TABNAME, CAPTION) VALUES ('ZORNACOLLS', 'ZTRACENA', 95, 5, 20, 0, 'Sběr', "
                                 L"'Ztracený seznam')"});
}

class SearchCommandTest : public formhost::FormOnDatabase
{
protected:
    std::wstring TemplatePath() override { return Template(); }

    // Runs the search command with the script acting in its dialog; the command's result.
    INT_PTR Search(const std::function<void(HWND)>& act)
    {
        wintest::DialogScript script;
        script.Then(kDialogCaption, act);
        INT_PTR result = -1;
        EXPECT_TRUE(script.Run([&] { result = SendMessageW(wnd_, WM_COMMAND, IDM_SEARCH, 0); }))
            << "SEARCHDLG did not show";
        return result;
    }
    CSearchPage* Page() const { return form_->SearchPage; }
    Workspace* Ws() const { return form_->Workspace_; }
    int ListedRows() const { return (int)SendMessageW(Ws()->GetSearchList(), LVM_GETITEMCOUNT, 0, 0); }
    long long Count(const std::wstring& sql) { return Int(sql); }
};

const wchar_t* kBelowLocality = L"WITH RECURSIVE sub(id) AS (SELECT %d UNION ALL SELECT T.ID FROM LOCTREE T "
                                L"JOIN sub ON T.PARENT = sub.id AND T.ID > 0) ";
const wchar_t* kBelowTaxon = L"WITH RECURSIVE sub(id) AS (SELECT %d UNION ALL SELECT T.ID FROM SYSTREE T "
                             L"JOIN sub ON T.PARENT = sub.id AND T.ID > 0) ";

std::wstring Below(const wchar_t* format, int id)
{
    wchar_t text[256];
    _snwprintf(text, 256, format, id);
    text[255] = 0;
    return text;
}

}  // namespace

TEST_F(SearchCommandTest, TabsTreesAndStornoKeepEverything)
{
    HWND tabs = Page()->TabControl;
    HWND sysTree = Page()->SysTree, locTree = Page()->LocTree, page = Page()->Page;
    ASSERT_EQ(TAB_SYSTEM, Ws()->GetCurrentTab(wnd_));
    std::wstring countField = L"Počet exemplářů", methodField = L"Metoda sběru";
    int checkedLocality = 0;
    std::wstring checkedMethod;

    INT_PTR result = Search([&](HWND dialog) {
        EXPECT_EQ(dialog, GetParent(tabs));
        EXPECT_TRUE(IsWindowVisible(tabs));
        EXPECT_TRUE(IsWindowVisible(sysTree));
        EXPECT_EQ(Count(L"SELECT COUNT(*) FROM SYSTREE WHERE PARENT = 0 AND ID > 0"), ChildCount(sysTree, nullptr));
        wintest::SaveScreenshot(dialog, L"searchdlg_system");

        // "Lokality" shows the locality tree; the workspace stays on its page.
        ClickTab(tabs, SEARCH_TAB_LOCALITIES);
        EXPECT_EQ(SEARCH_TAB_LOCALITIES, (int)SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
        EXPECT_TRUE(IsWindowVisible(locTree));
        EXPECT_FALSE(IsWindowVisible(sysTree));
        EXPECT_EQ(TAB_SYSTEM, Ws()->GetCurrentTab(wnd_));
        EXPECT_TRUE(IsWindowVisible(Ws()->SysCard->GetPage()));

        // Expanding loads the children once.
        HTREEITEM region = Next(locTree, nullptr, TVGN_ROOT);
        ASSERT_TRUE(region);
        int regionId = GetTreeItemData(locTree, region)->Id;
        EXPECT_EQ(0, ChildCount(locTree, region));
        ExpandByKey(locTree, region);
        int children = (int)Count(L"SELECT COUNT(*) FROM LOCTREE WHERE PARENT = " + std::to_wstring(regionId));
        ASSERT_GT(children, 0);
        EXPECT_EQ(children, ChildCount(locTree, region));
        HTREEITEM district = Next(locTree, region, TVGN_CHILD);
        ClickCheckBox(locTree, district);
        EXPECT_TRUE(IsTreeItemChecked(locTree, district));
        checkedLocality = GetTreeItemData(locTree, district)->Id;
        wintest::SaveScreenshot(dialog, L"searchdlg_localities");

        // The attribute page: a whole number with its range, then a lookup column.
        ClickTab(tabs, SEARCH_TAB_ATTRIBUTES);
        EXPECT_TRUE(IsWindowVisible(page));
        EXPECT_FALSE(IsWindowVisible(locTree));
        ChooseField(page, countField);
        EXPECT_TRUE(Shown(page, IDC_SEARCH_VALUES));
        EXPECT_TRUE(Shown(page, IDC_SEARCH_MIN));
        EXPECT_FALSE(Shown(page, IDC_SEARCH_LOOKUP));
        Type(page, IDC_SEARCH_VALUES, L"5");
        Type(page, IDC_SEARCH_MIN, L"10");
        ChooseField(page, methodField);
        HWND lookup = GetDlgItem(page, IDC_SEARCH_LOOKUP);
        EXPECT_TRUE(Shown(page, IDC_SEARCH_LOOKUP));
        EXPECT_FALSE(Shown(page, IDC_SEARCH_VALUES));
        EXPECT_EQ(Count(L"SELECT COUNT(*) FROM ZOR_METODA"), SendMessageW(lookup, LVM_GETITEMCOUNT, 0, 0));
        SetFocus(lookup);
        ListView_SetItemState(lookup, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        wintest::PressKey(lookup, VK_SPACE);
        EXPECT_EQ(2u, (ListView_GetItemState(lookup, 1, LVIS_STATEIMAGEMASK) >> 12));
        wchar_t text[128] = L"";
        ListView_GetItemText(lookup, 1, 0, text, 128);
        checkedMethod = text;
        wintest::SaveScreenshot(dialog, L"searchdlg_attributes");
        // Typed into the current field and not yet taken: Storno keeps it in the editor.
        ChooseField(page, countField);
        Type(page, IDC_SEARCH_MAX, L"20");
        wintest::SaveScreenshot(dialog, L"searchdlg_attributes_range");
        ClickButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(FALSE, result);
    EXPECT_EQ(wnd_, GetParent(tabs));
    EXPECT_FALSE(IsWindowVisible(tabs));
    EXPECT_EQ(0, ListedRows());
    EXPECT_EQ(TAB_SYSTEM, Ws()->GetCurrentTab(wnd_));

    // Everything is still there the next time; OK searches with all of it.
    result = Search([&](HWND dialog) {
        EXPECT_EQ(SEARCH_TAB_ATTRIBUTES, (int)SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
        EXPECT_TRUE(IsWindowVisible(page));
        HTREEITEM district = nullptr;
        for (HTREEITEM r = Next(locTree, nullptr, TVGN_ROOT); r && !district; r = Next(locTree, r, TVGN_NEXT))
            district = ItemWithId(locTree, r, checkedLocality);
        ASSERT_TRUE(district);
        EXPECT_TRUE(IsTreeItemChecked(locTree, district));
        ChooseField(page, methodField);
        HWND lookup = GetDlgItem(page, IDC_SEARCH_LOOKUP);
        EXPECT_EQ(2u, (ListView_GetItemState(lookup, 1, LVIS_STATEIMAGEMASK) >> 12));
        EXPECT_EQ(1u, (ListView_GetItemState(lookup, 0, LVIS_STATEIMAGEMASK) >> 12));
        ChooseField(page, countField);
        EXPECT_EQ(L"5", wintest::WindowText(GetDlgItem(page, IDC_SEARCH_VALUES)));
        EXPECT_EQ(L"10", wintest::WindowText(GetDlgItem(page, IDC_SEARCH_MIN)));
        EXPECT_EQ(L"20", wintest::WindowText(GetDlgItem(page, IDC_SEARCH_MAX)));
        ClickButton(dialog, IDOK);
    });
    ASSERT_TRUE(Page()->Where);
    std::wstring where = Page()->Where;
    EXPECT_EQ(Page()->Where, Ws()->SearchWhere);
    EXPECT_NE(std::wstring::npos, where.find(L"LOC_LEVEL_2 = " + std::to_wstring(checkedLocality))) << Narrow(where);
    EXPECT_NE(std::wstring::npos, where.find(L"\"POCET\" = 5 OR  (\"POCET\" >= 10 AND \"POCET\" <= 20)"));
    long long expected = Count(Below(kBelowLocality, checkedLocality) +
                               L"SELECT COUNT(*) FROM ZORNACOLLS WHERE FTRID IN (SELECT id FROM sub) AND "
                               L"(POCET = 5 OR POCET BETWEEN 10 AND 20) AND METODA = '" + checkedMethod + L"'");
    EXPECT_EQ(expected, ListedRows());
}

TEST_F(SearchCommandTest, NothingChosenWarnsThenListsEveryRecord)
{
    size_t before = Boxes().size();
    Search([](HWND dialog) {
        ClickButton(dialog, IDC_SEARCH_RESET);
        ClickButton(dialog, IDOK);
    });
    ASSERT_EQ(before + 1, Boxes().size());
    const wintest::MsgBoxRecorder::Box& box = Boxes().back();
    EXPECT_EQ(Resource(601), box.text);
    EXPECT_EQ(Resource(600), box.caption);
    EXPECT_EQ((UINT)MB_ICONWARNING, box.type & MB_ICONMASK);
    EXPECT_EQ(Count(L"SELECT COUNT(*) FROM ZORNACOLLS"), ListedRows());
    EXPECT_EQ(nullptr, Page()->Where);
    EXPECT_EQ("<null>", CriteriaText(wnd_));
}

TEST_F(SearchCommandTest, AGenusAndADateRangeListExactlyTheirRecordsAndDescribeThem)
{
    // A genus with records, the way down to it, and a month of its records.
    int genus = (int)Count(L"SELECT SYS_LEVEL_3 FROM ZORNACOLLS WHERE SYS_LEVEL_3 IS NOT NULL ORDER BY ID LIMIT 1");
    int family = (int)Count(L"SELECT PARENT FROM SYSTREE WHERE ID = " + std::to_wstring(genus));
    int order = (int)Count(L"SELECT PARENT FROM SYSTREE WHERE ID = " + std::to_wstring(family));
    std::wstring genusName = Text(L"SELECT NAME FROM SYSTREE WHERE ID = " + std::to_wstring(genus));
    double date = wcstod(Text(L"SELECT printf('%.17g', DATUM) FROM ZORNACOLLS WHERE SYS_LEVEL_3 = " +
                                        std::to_wstring(genus) + L" ORDER BY ID LIMIT 1").c_str(), nullptr);
    SYSTEMTIME day = {};
    VariantTimeToSystemTime(date, &day);
    std::wstring from = L"1.1." + std::to_wstring(day.wYear), to = L"30.6." + std::to_wstring(day.wYear + 1);
    double start = zor::OleDateOf(day.wYear, 1, 1), end = zor::OleDateOf(day.wYear + 1, 7, 1);

    Search([&](HWND dialog) {
        HWND tree = Page()->SysTree;
        HTREEITEM o = ItemWithId(tree, nullptr, order);
        ASSERT_TRUE(o);
        ExpandByKey(tree, o);
        HTREEITEM f = ItemWithId(tree, o, family);
        ASSERT_TRUE(f);
        ExpandByKey(tree, f);
        HTREEITEM g = ItemWithId(tree, f, genus);
        ASSERT_TRUE(g);
        ClickCheckBox(tree, g);
        ClickTab(Page()->TabControl, SEARCH_TAB_ATTRIBUTES);
        ChooseField(Page()->Page, L"Datum nálezu");
        Type(Page()->Page, IDC_SEARCH_MIN, from);
        Type(Page()->Page, IDC_SEARCH_MAX, to);
        ClickButton(dialog, IDOK);
    });
    wchar_t range[160];
    _snwprintf(range, 160, L"DATUM >= %.17g AND DATUM < %.17g", start, end);
    long long expected = Count(Below(kBelowTaxon, genus) + L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYSID IN "
                                                           L"(SELECT id FROM sub) AND " + range);
    EXPECT_GT(expected, 0);
    EXPECT_EQ(expected, ListedRows());
    EXPECT_EQ("Rod: " + Narrow(genusName) + "\\par\r\nDatum n\\u225\\'e1lezu, >= " + Narrow(from) + ", <= " + Narrow(to) +
                  "\\par\r\n",
              CriteriaText(wnd_));
}

TEST_F(SearchCommandTest, TheDialogsPlaceSurvivesARestartAndStaysOnScreen)
{
    Search([](HWND dialog) {
        SetWindowPos(dialog, nullptr, 123, 77, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ClickButton(dialog, IDCANCEL);
    });
    CloseForm(true);
    std::wstring settings = folder_ + L"\\Pracovni.xml";
    {
        CXmlReader reader(settings.c_str());
        IXMLDOMElement* element = reader.SelectElement(SEARCHDLG_SETTINGS_ELEMENT);
        ASSERT_TRUE(element);
        int left = 0, top = 0;
        EXPECT_TRUE(reader.GetShortAttr(element, L"Left", &left));
        EXPECT_TRUE(reader.GetShortAttr(element, L"Top", &top));
        EXPECT_EQ(123, left);
        EXPECT_EQ(77, top);
        element->Release();
    }
    ASSERT_NO_FATAL_FAILURE(OpenForm());
    Search([](HWND dialog) {
        RECT r = {};
        GetWindowRect(dialog, &r);
        EXPECT_EQ(123, r.left);
        EXPECT_EQ(77, r.top);
        ClickButton(dialog, IDCANCEL);
    });

    // A place stored by a larger screen is brought back onto this one.
    CloseForm(true);
    std::wstring text = wintest::ReadUtf8File(settings);
    size_t at = text.find(L"<SearchDlg");
    ASSERT_NE(std::wstring::npos, at);
    text.replace(at, text.find(L"/>", at) - at, L"<SearchDlg Left=\"-3000\" Top=\"9000\"");
    ASSERT_TRUE(wintest::WriteUtf8File(settings, text));
    ASSERT_NO_FATAL_FAILURE(OpenForm());
    Search([](HWND dialog) {
        RECT r = {}, screen = {};
        GetWindowRect(dialog, &r);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
        EXPECT_GE(r.left, screen.left);
        EXPECT_GE(r.top, screen.top);
        EXPECT_LE(r.right, screen.right);
        EXPECT_LE(r.bottom, screen.bottom);
        ClickButton(dialog, IDCANCEL);
    });
}

TEST_F(SearchCommandTest, ClosingTheDatabaseForgetsTheCondition)
{
    Search([&](HWND dialog) {
        ClickTab(Page()->TabControl, SEARCH_TAB_ATTRIBUTES);
        ChooseField(Page()->Page, L"Počet exemplářů");
        Type(Page()->Page, IDC_SEARCH_MIN, L"10");
        ClickButton(dialog, IDOK);
    });
    ASSERT_TRUE(Page()->Where);
    EXPECT_EQ(Count(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE POCET >= 10"), ListedRows());
    EXPECT_NE("<null>", CriteriaText(wnd_));
    OnCloseDatabase(form_, wnd_);
    EXPECT_EQ(nullptr, Page()->Where);
    EXPECT_EQ(nullptr, Ws()->SearchWhere);
    EXPECT_EQ(0, (int)SendMessageW(GetDlgItem(Page()->Page, IDC_SEARCH_FIELDS), LB_GETCOUNT, 0, 0));
    EXPECT_EQ(0, ChildCount(Page()->SysTree, nullptr));
    EXPECT_EQ("<null>", CriteriaText(wnd_));
}

TEST_F(SearchCommandTest, EscapeInTheValuesIsStornoAndAMissingValueListFillsNothing)
{
    HWND page = Page()->Page;
    INT_PTR result = Search([&](HWND dialog) {
        ClickTab(Page()->TabControl, SEARCH_TAB_ATTRIBUTES);
        // The lookup table of this attribute cannot be opened: its list stays empty.
        ChooseField(page, L"Ztracený seznam");
        EXPECT_TRUE(Shown(page, IDC_SEARCH_LOOKUP));
        EXPECT_EQ(0, (int)SendDlgItemMessageW(page, IDC_SEARCH_LOOKUP, LVM_GETITEMCOUNT, 0, 0));
        ChooseField(page, L"Sběratel (leg.)");
        HWND values = GetDlgItem(page, IDC_SEARCH_VALUES);
        Type(page, IDC_SEARCH_VALUES, L"d'Arc");
        SetFocus(values);
        wintest::PressKey(values, VK_ESCAPE);
        wintest::PumpMessages(50);
        // Ended: EndDialog hides it at once, the modal loop destroys it after the script.
        EXPECT_FALSE(IsWindowVisible(dialog));
        if (IsWindowVisible(dialog))
            ClickButton(dialog, IDOK);
    });
    EXPECT_EQ(FALSE, result);
    EXPECT_EQ(nullptr, Page()->Where);
    ASSERT_TRUE(IsWindow(Page()->TabControl));
    EXPECT_EQ(wnd_, GetParent(Page()->TabControl));
    EXPECT_TRUE(IsWindow(page));
    // The typed value is still there and is searched for.
    Search([&](HWND dialog) {
        EXPECT_EQ(L"d'Arc", wintest::WindowText(GetDlgItem(page, IDC_SEARCH_VALUES)));
        ClickButton(dialog, IDOK);
    });
    ASSERT_TRUE(Page()->Where);
    EXPECT_EQ(std::wstring(L"(\"LEG\" = 'd''Arc')"), Page()->Where);
    EXPECT_EQ(Count(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE LEG = 'd''Arc'"), ListedRows());
}
