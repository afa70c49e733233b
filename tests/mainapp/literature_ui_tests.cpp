// The literature catalogue on the program's own main form and a copy of the sample database: the
// literature card's author filter and sorting, the publication dialog and the lists editor, each
// driven through its real windows and checked against plain SQL on the file.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "browse/litcard.h"
#include "browse/litlistsdlg.h"
#include "browse/litrecorddlg.h"
#include "browse/workspace.h"
#include "controls/plexa.h"
#include "core/ctlfill.h"
#include "tools/testkit/rawodbc.h"
#include "core/treefill.h"
#include "mainapp/mainform.h"
#include "tests/mainapp/formhost.h"
#include "tests/support/dialogscript.h"
#include "tests/support/wintest.h"

namespace {

using namespace formhost;

std::wstring Num(long long n)
{
    return std::to_wstring(n);
}

// Writes the file as an older program might have left it: without the file's key checks.
void ExecWithoutKeys(const std::wstring& path, const std::wstring& sql)
{
    zor::RawOdbc raw;
    ASSERT_TRUE(raw.Open(path, false));
    ASSERT_TRUE(raw.Exec(L"PRAGMA foreign_keys = OFF"));
    ASSERT_TRUE(raw.Exec(sql)) << std::string(sql.begin(), sql.end());
}

void Command(HWND window, int id, int code, HWND control)
{
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)control);
}

// A tab chosen as a click on it chooses it: the two notices around the change.
void ClickTab(HWND tabs, int index)
{
    NMHDR header = {tabs, (UINT_PTR)GetDlgCtrlID(tabs), (UINT)TCN_SELCHANGING};
    SendMessageW(GetParent(tabs), WM_NOTIFY, header.idFrom, (LPARAM)&header);
    SendMessageW(tabs, TCM_SETCURSEL, (WPARAM)index, 0);
    header.code = TCN_SELCHANGE;
    SendMessageW(GetParent(tabs), WM_NOTIFY, header.idFrom, (LPARAM)&header);
}

int ListData(HWND list, UINT message, int index)
{
    return (int)(LONG)SendMessageW(list, message, (WPARAM)index, 0);
}

std::vector<int> ListBoxIds(HWND list)
{
    std::vector<int> ids;
    int count = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++)
        ids.push_back(ListData(list, LB_GETITEMDATA, i));
    return ids;
}

bool HasFocus(HWND control)
{
    HWND focus = GetFocus();
    return focus && (focus == control || IsChild(control, focus));
}

// A mouse click (down and up) at a point of a window, as the window gets it.
void Click(HWND window, POINT at, bool twice = false)
{
    LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageW(window, WM_LBUTTONUP, 0, where);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    wintest::PumpMessages();
    if (twice) {
        PostMessageW(window, WM_LBUTTONUP, 0, where);
        SendMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, where);
        wintest::PumpMessages();
    }
    ReleaseCapture();
}

// The point of an item's check box, found as the tree finds it.
POINT TickPoint(HWND tree, HTREEITEM item)
{
    RECT label = {};
    TreeView_GetItemRect(tree, item, &label, TRUE);
    POINT p = {label.left - 1, (label.top + label.bottom) / 2};
    for (; p.x > 0; p.x--) {
        TVHITTESTINFO hit = {};
        hit.pt = p;
        SendMessageW(tree, TVM_HITTEST, 0, (LPARAM)&hit);
        if (hit.flags & TVHT_ONITEMSTATEICON) {
            p.x -= 3;  // well inside the box
            return p;
        }
    }
    return p;
}

bool Ticked(HWND tree, HTREEITEM item)
{
    return ((SendMessageW(tree, TVM_GETITEMSTATE, (WPARAM)item, TVIS_STATEIMAGEMASK) >> 12) & 15) == 2;
}

std::vector<HTREEITEM> TopItems(HWND tree)
{
    std::vector<HTREEITEM> items;
    for (HTREEITEM i = TreeView_GetRoot(tree); i; i = TreeView_GetNextSibling(tree, i))
        items.push_back(i);
    return items;
}

// ---- fixture ----

// One main form per suite, on a copy of the sample of its own (a main form takes seconds to
// start): the tests leave what they wrote, and each finds its rows by what it looks for.
class LiteratureUiTest : public ::testing::Test {
protected:
    // prepareSql: a change to the file before the program opens it, or null.
    static void StartSuite(const wchar_t* folder, const wchar_t* prepareSql)
    {
        RegisterPlexaW(PLEXA_INPLACECOMBOBOX | PLEXA_PROPERTYBOX | PLEXA_IMGBUTTON);
        sharedPath_ = CopyOfSample(folder);
        if (sharedPath_.empty())
            return;
        if (prepareSql) {
            zor::RawOdbc raw;
            if (!raw.Open(sharedPath_, false) || !raw.Exec(prepareSql))
                return;
        }
        shared_ = new Host();
        if (!shared_->Open(sharedPath_)) {
            shared_->Close();
            delete shared_;
            shared_ = nullptr;
        }
    }
    static void SetUpTestSuite() { StartSuite(L"literature_ui", nullptr); }
    static void TearDownTestSuite()
    {
        if (shared_)
            shared_->Close();
        delete shared_;
        shared_ = nullptr;
        if (!sharedPath_.empty())
            DeleteFileW(sharedPath_.c_str());
    }

    void SetUp() override
    {
        ASSERT_TRUE(shared_);
        ws_ = host_.Ws();
        card_ = ws_->LitCard;
        ASSERT_TRUE(card_);
        // The literature tab in front, as the commands find it, with the whole list unsorted.
        ws_->HidePage(host_.Wnd);
        SendMessageW(host_.Tab, TCM_SETCURSEL, TAB_LITERATURE, 0);
        ws_->ShowPage(host_.Wnd);
        CheckDlgButton(card_->GetWindow(), IDC_LITCARD_BYAUTHOR, BST_UNCHECKED);
        card_->SortCol = 0;
        card_->Requery(host_.Wnd, nullptr, 1);
    }

    int Count(const wchar_t* table) { return QueryInt(path_, std::wstring(L"SELECT COUNT(*) FROM ") + table); }

    // Selects one row of the literature card; its publication id.
    int SelectRow(int row)
    {
        HWND list = card_->GetList();
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        return card_->GetSelectedId();
    }
    // The card's row of a publication.
    int RowOf(int id)
    {
        int count = (int)SendMessageW(card_->GetList(), LVM_GETITEMCOUNT, 0, 0);
        for (int row = 0; row < count; row++)
            if (SelectRow(row) == id)
                return row;
        return -1;
    }

    // Runs the publication dialog through the workspace's command (new, or on the selected row)
    // with the script; true when the dialog showed.
    bool RunRecordDialog(bool edit, const std::function<void(HWND)>& script)
    {
        bool shown = false;
        wintest::DialogScript()
            .Then(edit ? L"Editace zápisu" : L"Nový zápis",
                  [&](HWND dialog) {
                      shown = true;
                      script(dialog);
                  })
            .Run([&] {
                if (edit)
                    ws_->EditRecord(host_.Wnd);
                else
                    ws_->NewRecord(host_.Wnd);
            });
        return shown;
    }
    HWND Page(int tab) const { return ws_->LitRecordDlg->Pages[tab]; }
    // Ends the dialog the way its buttons do.
    void Ok(HWND dialog) { Command(dialog, IDOK, BN_CLICKED, GetDlgItem(dialog, IDOK)); }
    void Storno(HWND dialog) { Command(dialog, IDCANCEL, BN_CLICKED, GetDlgItem(dialog, IDCANCEL)); }

    void TypeMainTexts(const wchar_t* title, const wchar_t* author)
    {
        SetDlgItemTextW(Page(LITTAB_MAIN), IDC_LITREC_TITLE, title);
        SetDlgItemTextW(Page(LITTAB_MAIN), IDC_LITREC_FIRSTAUTHOR, author);
    }

    // Runs the lists editor as command 501 + tab does.
    void RunLists(int tab, const std::function<void(HWND)>& script)
    {
        wintest::DialogScript()
            .Then(L"Editace položek literatury", script)
            .Run([&] { OnMainCommand(host_.Form, host_.Wnd, MAKEWPARAM(501 + tab, 0), 0); });
    }
    CEditLitJournalsDlg* Lists() const { return host_.Form->LitListsEditor; }

    static Host* shared_;
    static std::wstring sharedPath_;
    Host& host_ = *shared_;
    const std::wstring& path_ = sharedPath_;
    Workspace* ws_ = nullptr;
    CLitCard* card_ = nullptr;
};

Host* LiteratureUiTest::shared_ = nullptr;
std::wstring LiteratureUiTest::sharedPath_;

// ---- the card ----

TEST_F(LiteratureUiTest, AStoredAuthorThatIsGoneSelectsTheFirstAuthor)
{
    HWND combo = GetDlgItem(card_->GetWindow(), IDC_LITCARD_AUTHORS);
    EXPECT_EQ(Count(L"LITAUTHORS"), (int)SendMessageW(combo, CB_GETCOUNT, 0, 0));
    card_->CurAuthor = 987654;
    ws_->FillAuthorCombo(host_.Wnd);
    EXPECT_EQ(0, (int)SendMessageW(combo, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(ListData(combo, CB_GETITEMDATA, 0), card_->GetCurAuthor());
    // One that is there stays chosen.
    int third = ListData(combo, CB_GETITEMDATA, 2);
    card_->CurAuthor = third;
    ws_->FillAuthorCombo(host_.Wnd);
    EXPECT_EQ(2, (int)SendMessageW(combo, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(third, card_->GetCurAuthor());
}

TEST_F(LiteratureUiTest, TheAuthorFilterListsThatAuthorsPublicationsAndKeepsACondition)
{
    HWND list = card_->GetList();
    int all = Count(L"LITERATURE");
    EXPECT_EQ(all, (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    Rows top = Query(path_, L"SELECT FIRSTAUTHOR, COUNT(*) FROM LITERATURE WHERE FIRSTAUTHOR IS NOT "
                            L"NULL GROUP BY FIRSTAUTHOR ORDER BY COUNT(*) DESC LIMIT 1");
    ASSERT_EQ(1u, top.size());
    HWND combo = GetDlgItem(card_->GetWindow(), IDC_LITCARD_AUTHORS);
    card_->CurAuthor = _wtoi(top[0][0].c_str());
    ws_->FillAuthorCombo(host_.Wnd);
    SendDlgItemMessageW(card_->GetWindow(), IDC_LITCARD_BYAUTHOR, BM_CLICK, 0, 0);
    EXPECT_EQ(_wtoi(top[0][1].c_str()), (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < _wtoi(top[0][1].c_str()); row++) {
        int id = SelectRow(row);
        EXPECT_EQ(top[0][0], TextOf(path_, L"SELECT FIRSTAUTHOR FROM LITERATURE WHERE ID = " + Num(id)));
    }
    // A condition of its own narrows the author's list; it never widens it to other authors.
    card_->Requery(host_.Wnd, L"ID < 0 OR ID > 0", 1);
    EXPECT_EQ(_wtoi(top[0][1].c_str()), (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    card_->Requery(host_.Wnd, nullptr, 1);
    SendDlgItemMessageW(card_->GetWindow(), IDC_LITCARD_BYAUTHOR, BM_CLICK, 0, 0);
    EXPECT_EQ(all, (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    (void)combo;
}

TEST_F(LiteratureUiTest, EveryColumnOfTheLiteratureListSortsBothWays)
{
    HWND list = card_->GetList();
    HWND header = ListView_GetHeader(list);
    int columns = Header_GetItemCount(header);
    ASSERT_GE(columns, 6);  // the empty column, title, publisher, periodical, author, abstract, ...
    int all = Count(L"LITERATURE");
    for (int column = 1; column < columns; column++) {
        for (int pass = 0; pass < 2; pass++) {
            NMLISTVIEW nm = {};
            nm.hdr = {list, IDC_LITCARD_LIST, (UINT)LVN_COLUMNCLICK};
            nm.iItem = -1;
            nm.iSubItem = column;
            SendMessageW(card_->GetWindow(), WM_NOTIFY, IDC_LITCARD_LIST, (LPARAM)&nm);
            EXPECT_EQ(pass ? -column : column, card_->GetSortColumn());
            EXPECT_EQ(all, (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) << column;
        }
    }
    // The title column ascending starts with the title the file sorts first.
    NMLISTVIEW nm = {};
    nm.hdr = {list, IDC_LITCARD_LIST, (UINT)LVN_COLUMNCLICK};
    nm.iSubItem = 1;
    SendMessageW(card_->GetWindow(), WM_NOTIFY, IDC_LITCARD_LIST, (LPARAM)&nm);
    EXPECT_EQ(TextOf(path_, L"SELECT NAME FROM LITERATURE ORDER BY NAME LIMIT 1"),
              wintest::ListCellText(list, 0, 1));
}

// ---- the publication dialog ----

TEST_F(LiteratureUiTest, ANewPublicationNeedsATitleAndAFirstAuthor)
{
    int before = Count(L"LITERATURE");
    std::vector<wintest::MsgBoxRecorder::Box> seen;
    bool shown = RunRecordDialog(false, [&](HWND dialog) {
        HWND tabs = GetDlgItem(dialog, IDC_LITREC_TABS);
        EXPECT_EQ(6, TabCtrl_GetItemCount(tabs));
        ClickTab(tabs, LITTAB_SPECIES);  // the warning brings the first tab back
        wintest::MsgBoxRecorder boxes;
        Ok(dialog);
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(LITTAB_MAIN, TabCtrl_GetCurSel(tabs));
        EXPECT_TRUE(HasFocus(GetDlgItem(Page(LITTAB_MAIN), IDC_LITREC_TITLE)));
        TypeMainTexts(L"  \r\n ", L"");  // blanks are no title
        Ok(dialog);
        ASSERT_EQ(2u, boxes.Boxes().size());
        TypeMainTexts(L"Titulek", L"");
        Ok(dialog);
        ASSERT_EQ(3u, boxes.Boxes().size());
        EXPECT_TRUE(HasFocus(GetDlgItem(Page(LITTAB_MAIN), IDC_LITREC_FIRSTAUTHOR)));
        EXPECT_TRUE(IsWindow(dialog));
        seen = boxes.Boxes();
        Storno(dialog);
    });
    EXPECT_TRUE(shown);
    ASSERT_EQ(3u, seen.size());
    // Each names the field it is about.
    const wchar_t* texts[3] = {L"Hodnota je povinná: Název", L"Hodnota je povinná: Název",
                               L"Hodnota je povinná: Autor"};
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(texts[i], seen[i].text);
        EXPECT_EQ(L"Chyba", seen[i].caption);
    }
    EXPECT_EQ(before, Count(L"LITERATURE"));
}

// The attribute grid is checked as the record dialog checks its own: a year typed as letters is
// refused with its cell focused, before anything goes to the file.
TEST_F(LiteratureUiTest, AYearTypedAsLettersIsRefusedWithItsCellFocused)
{
    int before = Count(L"LITERATURE");
    const wchar_t* const rule = L"Rok musí být kladné celé číslo nejvýše o čtyřech číslicích: Rok";
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::wstring later = std::to_wstring(now.wYear + 2);
    const struct {
        std::wstring year;
        std::wstring message;  // a question is answered Ne
    } rows[] = {
        {L"abc", rule},
        {L"0", rule},
        {L"99999", rule},
        {later, L"„Rok“: Rok vydání " + later + L" je pozdější než příští rok. Chcete hodnotu přesto uložit?"},
    };
    std::vector<wintest::MsgBoxRecorder::Box> seen;
    bool shown = RunRecordDialog(false, [&](HWND dialog) {
        TypeMainTexts(L"Rok slovy", L"Písař P.");
        HWND box = GetDlgItem(Page(LITTAB_MAIN), IDC_LITREC_ATTRIBUTES);
        int year = -1;
        int count = (int)SendMessageW(box, PBXM_GETCOUNT, (WPARAM)-1, 0);
        for (int i = 0; i < count && year < 0; i++) {
            wchar_t name[64] = L"";
            SendMessageW(box, PBXM_GETITEMTEXT, PBX_ITEM(i), (LPARAM)name);
            if (wcscmp(name, L"Rok") == 0)
                year = i;
        }
        ASSERT_GE(year, 0);
        auto typeYear = [&](const wchar_t* text) {
            SendMessageW(box, PBXM_SELECTITEM, PBX_ITEM(year), 1);
            HWND editor = GetDlgItem(box, PBX_EDITOR_NUMBER);
            ASSERT_TRUE(IsWindowVisible(editor));
            SetWindowTextW(editor, text);
            SendMessageW(editor, EM_SETMODIFY, TRUE, 0);
            SendMessageW(box, PBXM_ENDEDIT, 1, 0);
        };
        HWND tabs = GetDlgItem(dialog, IDC_LITREC_TABS);
        wintest::MsgBoxRecorder boxes;
        for (const auto& row : rows) {
            typeYear(row.year.c_str());
            ClickTab(tabs, LITTAB_KEYWORDS);  // the warning brings the grid's tab back
            Ok(dialog);
            ASSERT_TRUE(IsWindow(dialog));
            EXPECT_EQ(LITTAB_MAIN, TabCtrl_GetCurSel(tabs));
            int packed = -1;
            SendMessageW(box, PBXM_GETCURITEM, 0, (LPARAM)&packed);
            EXPECT_EQ(year, HIWORD(packed));
            EXPECT_TRUE(HasFocus(GetDlgItem(box, PBX_EDITOR_NUMBER)));
            EXPECT_EQ(before, Count(L"LITERATURE"));
        }
        seen = boxes.Boxes();
        typeYear(L"1999");
        Ok(dialog);
    });
    ASSERT_TRUE(shown);
    ASSERT_EQ(std::size(rows), seen.size());
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(rows[i].message, seen[i].text);
    ASSERT_EQ(before + 1, Count(L"LITERATURE"));
    EXPECT_EQ(L"1999", TextOf(path_, L"SELECT IYEAR FROM LITERATURE ORDER BY ID DESC LIMIT 1"));
}

TEST_F(LiteratureUiTest, AStoredPeriodicalSelectsItsPublisherAndLocksIt)
{
    Rows journal = Query(path_, L"SELECT J.NAME, J.EDITORID FROM JOURNALS J WHERE J.EDITORID IS NOT NULL "
                                L"ORDER BY J.ID LIMIT 1");
    ASSERT_EQ(1u, journal.size());
    RunRecordDialog(false, [&](HWND dialog) {
        HWND page = Page(LITTAB_MAIN);
        HWND periodical = GetDlgItem(page, IDC_LITREC_JOURNAL);
        HWND publisher = GetDlgItem(page, IDC_LITREC_PUBLISHER);
        EXPECT_TRUE(IsWindowEnabled(publisher));
        int entry = (int)SendMessageW(periodical, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)journal[0][0].c_str());
        ASSERT_GE(entry, 0);
        SendMessageW(periodical, CB_SETCURSEL, (WPARAM)entry, 0);
        Command(page, IDC_LITREC_JOURNAL, CBN_SELCHANGE, periodical);
        EXPECT_FALSE(IsWindowEnabled(publisher));
        int chosen = (int)SendMessageW(publisher, CB_GETCURSEL, 0, 0);
        ASSERT_GE(chosen, 0);
        EXPECT_EQ(_wtoi(journal[0][1].c_str()), ListData(publisher, CB_GETITEMDATA, chosen));
        // A new name frees the publisher; the stored name typed in capitals locks it again.
        SetWindowTextW(periodical, L"Nové periodikum");
        Command(page, IDC_LITREC_JOURNAL, CBN_EDITCHANGE, periodical);
        EXPECT_TRUE(IsWindowEnabled(publisher));
        std::wstring upper = journal[0][0];
        CharUpperBuffW(&upper[0], (DWORD)upper.size());
        SetWindowTextW(periodical, upper.c_str());
        Command(page, IDC_LITREC_JOURNAL, CBN_EDITCHANGE, periodical);
        EXPECT_FALSE(IsWindowEnabled(publisher));
        Storno(dialog);
    });
    // A stored publication with that periodical opens with the publisher locked.
    Rows pub = Query(path_, L"SELECT ID FROM LITERATURE WHERE JOURNALID IN (SELECT ID FROM JOURNALS "
                            L"WHERE EDITORID IS NOT NULL) ORDER BY ID LIMIT 1");
    ASSERT_EQ(1u, pub.size());
    ASSERT_GE(RowOf(_wtoi(pub[0][0].c_str())), 0);
    RunRecordDialog(true, [&](HWND dialog) {
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Page(LITTAB_MAIN), IDC_LITREC_PUBLISHER)));
        Storno(dialog);
    });
}

TEST_F(LiteratureUiTest, TicksByClickSpaceAndDoubleClickKeepTheReferencedListEqualToTheTicks)
{
    RunRecordDialog(false, [&](HWND dialog) {
        ClickTab(GetDlgItem(dialog, IDC_LITREC_TABS), LITTAB_SPECIES);
        HWND page = Page(LITTAB_SPECIES);
        HWND tree = GetDlgItem(page, IDC_LITREC_TREE);
        HWND list = GetDlgItem(page, IDC_LITREC_REFERENCED);
        ASSERT_TRUE(GetWindowLongW(tree, GWL_STYLE) & TVS_CHECKBOXES);
        std::vector<HTREEITEM> top = TopItems(tree);
        ASSERT_GE(top.size(), 3u);
        // A click on A's box, Space on B, a double click on C's box (two toggles).
        Click(tree, TickPoint(tree, top[0]));
        SetFocus(tree);
        TreeView_SelectItem(tree, top[1]);
        SendMessageW(tree, WM_KEYDOWN, VK_SPACE, 0);
        SendMessageW(tree, WM_CHAR, L' ', 0);
        SendMessageW(tree, WM_KEYUP, VK_SPACE, 0);
        wintest::PumpMessages();
        Click(tree, TickPoint(tree, top[2]), true);
        wintest::PumpMessages(20);
        std::set<int> ticked;
        for (HTREEITEM item : top)
            if (Ticked(tree, item))
                ticked.insert(GetTreeItemData(tree, item)->Id);
        std::vector<int> ids = ListBoxIds(list);
        EXPECT_EQ(ticked, std::set<int>(ids.begin(), ids.end()));
        EXPECT_EQ(ticked.size(), ids.size());
        EXPECT_TRUE(Ticked(tree, top[0]));
        EXPECT_TRUE(Ticked(tree, top[1]));
        // Clicking A again takes it out.
        Click(tree, TickPoint(tree, top[0]));
        wintest::PumpMessages(20);
        EXPECT_FALSE(Ticked(tree, top[0]));
        ids = ListBoxIds(list);
        EXPECT_EQ(ids.end(), std::find(ids.begin(), ids.end(), GetTreeItemData(tree, top[0])->Id));
        Storno(dialog);
    });
}

TEST_F(LiteratureUiTest, EscapeInTheAbstractIsStornoAndEnterIsOk)
{
    int before = Count(L"LITERATURE");
    bool shown = RunRecordDialog(false, [&](HWND dialog) {
        TypeMainTexts(L"Ukončeno klávesou Esc", L"Novák J.");
        ClickTab(GetDlgItem(dialog, IDC_LITREC_TABS), LITTAB_ABSTRACT);
        HWND abstract = GetDlgItem(dialog, IDC_LITREC_ABSTRACT);
        EXPECT_TRUE(IsWindowVisible(abstract));
        EXPECT_EQ(dialog, GetParent(abstract));
        SetFocus(abstract);
        PostMessageW(abstract, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(before, Count(L"LITERATURE"));

    shown = RunRecordDialog(false, [&](HWND dialog) {
        TypeMainTexts(L"Uloženo klávesou Enter", L"Novák J.");
        ClickTab(GetDlgItem(dialog, IDC_LITREC_TABS), LITTAB_ABSTRACT);
        HWND abstract = GetDlgItem(dialog, IDC_LITREC_ABSTRACT);
        SetWindowTextW(abstract, L"Krátký abstrakt");
        SetFocus(abstract);
        PostMessageW(abstract, WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(before + 1, Count(L"LITERATURE"));
    EXPECT_EQ(L"Krátký abstrakt",
              TextOf(path_, L"SELECT ABSTRACT FROM LITERATURE WHERE NAME = 'Uloženo klávesou Enter'"));
}

TEST_F(LiteratureUiTest, ADanglingLinkOpensAndTheNextSaveDropsIt)
{
    int id = SelectRow(0);
    ASSERT_GT(id, 0);
    Rows links = Query(path_, L"SELECT SYSID FROM LITSYSREFS WHERE LITID = " + Num(id) + L" ORDER BY REFPOS");
    ExecWithoutKeys(path_, L"INSERT INTO LITSYSREFS (LITID, SYSID, REFPOS) VALUES (" + Num(id) + L", 999999, 1)");
    bool shown = RunRecordDialog(true, [&](HWND dialog) {
        // The taxa page is made when its tab is first shown.
        EXPECT_EQ(nullptr, Page(LITTAB_SPECIES));
        ClickTab(GetDlgItem(dialog, IDC_LITREC_TABS), LITTAB_SPECIES);
        ASSERT_TRUE(Page(LITTAB_SPECIES));
        std::vector<int> ids = ListBoxIds(GetDlgItem(Page(LITTAB_SPECIES), IDC_LITREC_REFERENCED));
        EXPECT_EQ(links.size(), ids.size());
        EXPECT_EQ(ids.end(), std::find(ids.begin(), ids.end(), 999999));
        Ok(dialog);
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(0, QueryInt(path_, L"SELECT COUNT(*) FROM LITSYSREFS WHERE SYSID = 999999"));
    EXPECT_EQ(links, Query(path_, L"SELECT SYSID FROM LITSYSREFS WHERE LITID = " + Num(id) + L" ORDER BY REFPOS"));
    // Without a look at the taxa, the links go back as they were loaded; the file refuses the
    // dangling one again.
    ExecWithoutKeys(path_, L"INSERT INTO LITSYSREFS (LITID, SYSID, REFPOS) VALUES (" + Num(id) + L", 999999, 1)");
    SelectRow(RowOf(id));
    shown = RunRecordDialog(true, [&](HWND dialog) { Ok(dialog); });
    EXPECT_TRUE(shown);
    EXPECT_EQ(links, Query(path_, L"SELECT SYSID FROM LITSYSREFS WHERE LITID = " + Num(id) + L" ORDER BY REFPOS"));
}

TEST_F(LiteratureUiTest, StornoAfterChangesLeavesTheCatalogueAsItWas)
{
    const wchar_t* tables[] = {L"LITERATURE", L"LITAUTHORS", L"BOOKAUTHORS", L"LITKEYWORDSREFS",
                               L"LITSYSREFS", L"LITLOCREFS", L"JOURNALS", L"EDITORS", L"KEYWORDS"};
    std::vector<Rows> before;
    for (const wchar_t* t : tables)
        before.push_back(Query(path_, std::wstring(L"SELECT * FROM ") + t + L" ORDER BY rowid"));
    SelectRow(1);
    bool shown = RunRecordDialog(true, [&](HWND dialog) {
        TypeMainTexts(L"Změněný titul", L"Úplně Nový Autor");
        SetDlgItemTextW(Page(LITTAB_AUTHORS), IDC_LITREC_CHOSEN, L"Někdo Jiný\r\n");
        ClickTab(GetDlgItem(dialog, IDC_LITREC_TABS), LITTAB_LOCALITIES);
        HWND tree = GetDlgItem(Page(LITTAB_LOCALITIES), IDC_LITREC_TREE);
        Click(tree, TickPoint(tree, TreeView_GetRoot(tree)));
        Storno(dialog);
    });
    EXPECT_TRUE(shown);
    for (size_t i = 0; i < before.size(); i++)
        EXPECT_EQ(before[i], Query(path_, std::wstring(L"SELECT * FROM ") + tables[i] + L" ORDER BY rowid"))
            << std::string(tables[i], tables[i] + wcslen(tables[i]));
}

TEST_F(LiteratureUiTest, OkStoresWhatTheDialogShowsAsSqlReadsItBack)
{
    Rows journal = Query(path_, L"SELECT NAME, ID, EDITORID FROM JOURNALS WHERE EDITORID IS NOT NULL LIMIT 1");
    ASSERT_EQ(1u, journal.size());
    std::wstring longTitle(300, L'ž');
    std::wstring longAuthor = L"Dlouhé Jméno " + std::wstring(87, L'x');  // 100 characters
    std::wstring upper = journal[0][0];
    CharUpperBuffW(&upper[0], (DWORD)upper.size());
    int tickedTaxon = -1;
    int before = Count(L"LITERATURE");
    bool shown = RunRecordDialog(false, [&](HWND dialog) {
        HWND main = Page(LITTAB_MAIN);
        TypeMainTexts(L"Příspěvek\r\nk poznání d'Orbignyho *%", L"O'Neil Ř.");
        SetDlgItemTextW(main, IDC_LITREC_JOURNAL, upper.c_str());
        SetDlgItemTextW(Page(LITTAB_AUTHORS), IDC_LITREC_CHOSEN,
                        (L"Novák J.\r\n\r\n  Dvořák Ř. \nNovák J.\r\n" + longAuthor + L"\r\n").c_str());
        SetDlgItemTextW(Page(LITTAB_KEYWORDS), IDC_LITREC_CHOSEN, L"brouci\r\nvážky");
        ClickTab(GetDlgItem(dialog, IDC_LITREC_TABS), LITTAB_SPECIES);
        HWND tree = GetDlgItem(Page(LITTAB_SPECIES), IDC_LITREC_TREE);
        HTREEITEM first = TreeView_GetRoot(tree);
        Click(tree, TickPoint(tree, first));
        wintest::PumpMessages(20);
        tickedTaxon = GetTreeItemData(tree, first)->Id;
        SetDlgItemTextW(dialog, IDC_LITREC_ABSTRACT, L"Řádek 1\r\nŘádek 2");
        Ok(dialog);
    });
    ASSERT_TRUE(shown);
    ASSERT_EQ(before + 1, Count(L"LITERATURE"));
    Rows row = Query(path_, L"SELECT L.ID, L.NAME, A.NAME, L.JOURNALID, L.EDITOR, L.ABSTRACT FROM LITERATURE L "
                            L"LEFT JOIN LITAUTHORS A ON A.ID = L.FIRSTAUTHOR ORDER BY L.ID DESC LIMIT 1");
    ASSERT_EQ(1u, row.size());
    EXPECT_EQ(L"Příspěvek k poznání d'Orbignyho *%", row[0][1]);
    EXPECT_EQ(L"O'Neil Ř.", row[0][2]);
    EXPECT_EQ(journal[0][1], row[0][3]);  // the stored periodical, not a new one in capitals
    EXPECT_EQ(journal[0][2], row[0][4]);  // with its publisher
    EXPECT_EQ(L"Řádek 1\r\nŘádek 2", row[0][5]);
    std::wstring id = row[0][0];
    Rows authors = Query(path_, L"SELECT A.NAME, B.AUTHPOS FROM BOOKAUTHORS B JOIN LITAUTHORS A ON "
                                L"A.ID = B.AUTHORID WHERE B.LITID = " + id + L" ORDER BY B.AUTHPOS");
    ASSERT_EQ(4u, authors.size());
    EXPECT_EQ(L"Novák J.", authors[0][0]);
    EXPECT_EQ(L"Dvořák Ř.", authors[1][0]);
    EXPECT_EQ(L"Novák J.", authors[2][0]);
    EXPECT_EQ(longAuthor, authors[3][0]);  // not cut at 63 characters
    EXPECT_EQ(L"4", authors[3][1]);
    Rows keywords = Query(path_, L"SELECT K.NAME FROM LITKEYWORDSREFS R JOIN KEYWORDS K ON K.ID = "
                                 L"R.KEYWORDID WHERE R.LITID = " + id + L" ORDER BY R.REFPOS");
    EXPECT_EQ((Rows{{L"brouci"}, {L"vážky"}}), keywords);
    EXPECT_EQ(Num(tickedTaxon), TextOf(path_, L"SELECT SYSID FROM LITSYSREFS WHERE LITID = " + id));

    // A title longer than the column keeps its first 255 characters.
    SelectRow(RowOf(_wtoi(id.c_str())));
    shown = RunRecordDialog(true, [&](HWND dialog) {
        EXPECT_EQ(L"O'Neil Ř.", wintest::WindowText(GetDlgItem(Page(LITTAB_MAIN), IDC_LITREC_FIRSTAUTHOR)));
        SetDlgItemTextW(Page(LITTAB_MAIN), IDC_LITREC_TITLE, longTitle.c_str());
        Ok(dialog);
    });
    ASSERT_TRUE(shown);
    EXPECT_EQ(longTitle.substr(0, 255), TextOf(path_, L"SELECT NAME FROM LITERATURE WHERE ID = " + id));
}

TEST_F(LiteratureUiTest, DialogPagesScreenshots)
{
    Rows pub = Query(path_, L"SELECT LITID FROM LITSYSREFS WHERE LITID IN (SELECT LITID FROM BOOKAUTHORS) "
                            L"AND LITID IN (SELECT LITID FROM LITLOCREFS) LIMIT 1");
    int row = pub.empty() ? 0 : RowOf(_wtoi(pub[0][0].c_str()));
    SelectRow(row < 0 ? 0 : row);
    RunRecordDialog(true, [&](HWND dialog) {
        // The attributes' yes and no are Czech.
        wchar_t yes[8] = L"";
        SendMessageW(GetDlgItem(Page(LITTAB_MAIN), IDC_LITREC_ATTRIBUTES), PBXM_GETYESTEXT, 8, (LPARAM)yes);
        EXPECT_STREQ(L"Ano", yes);
        HWND tabs = GetDlgItem(dialog, IDC_LITREC_TABS);
        for (int tab = 0; tab <= LITTAB_ABSTRACT; tab++) {
            ClickTab(tabs, tab);
            if (tab == LITTAB_SPECIES || tab == LITTAB_LOCALITIES) {
                HWND tree = GetDlgItem(Page(tab), IDC_LITREC_TREE);
                TreeView_Expand(tree, TreeView_GetRoot(tree), TVE_EXPAND);
            }
            RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            wintest::PumpMessages(50);
            wchar_t name[32];
            wsprintfW(name, L"litrecord_tab%d", tab);
            EXPECT_FALSE(wintest::SaveScreenshot(dialog, name).empty());
        }
        Storno(dialog);
    });
}

// ---- the lists editor ----

class LitListsTest : public LiteratureUiTest {
protected:
    static void SetUpTestSuite()
    {
        StartSuite(L"literature_lists",
                   L"CREATE TRIGGER REFUSE_ABBREV BEFORE UPDATE ON LITAUTHORS WHEN NEW.ABBREV = "
                   L"'odmítnuto' BEGIN SELECT RAISE(ABORT, 'autor odmítnut'); END");
    }
    HWND ListPage(int index) const { return Lists()->Pages[index]; }
    HWND Field(int index, int id) const { return GetDlgItem(ListPage(index), id); }
    void Press(int index, int id) { Command(ListPage(index), id, BN_CLICKED, Field(index, id)); }
    void SelectListRow(int index, int row)
    {
        HWND list = Field(index, IDC_LITLISTS_ROWS);
        SendMessageW(list, LB_SETCURSEL, (WPARAM)row, 0);
        Command(ListPage(index), IDC_LITLISTS_ROWS, LBN_SELCHANGE, list);
    }
};

TEST_F(LitListsTest, APublisherTypedForAPeriodicalJoinsBothPagesWithItsId)
{
    int publishers = Count(L"EDITORS");
    RunLists(LITLISTS_PERIODICALS, [&](HWND dialog) {
        EXPECT_EQ(LITLISTS_PERIODICALS, TabCtrl_GetCurSel(GetDlgItem(dialog, IDC_LITLISTS_TABS)));
        EXPECT_TRUE(IsWindowVisible(ListPage(LITLISTS_PERIODICALS)));
        EXPECT_FALSE(IsWindowVisible(ListPage(LITLISTS_PUBLISHERS)));
        int periodical = Lists()->CurrentIds[LITLISTS_PERIODICALS];
        ASSERT_GT(periodical, 0);
        HWND combo = Field(LITLISTS_PERIODICALS, IDC_LITLISTS_FIELD108);
        SetWindowTextW(combo, L"Nakladatelství Šťovík");
        Command(ListPage(LITLISTS_PERIODICALS), IDC_LITLISTS_FIELD108, CBN_EDITCHANGE, combo);
        EXPECT_TRUE(IsWindowEnabled(Field(LITLISTS_PERIODICALS, IDC_LITLISTS_APPLY)));
        Press(LITLISTS_PERIODICALS, IDC_LITLISTS_APPLY);
        int added = QueryInt(path_, L"SELECT ID FROM EDITORS WHERE NAME = 'Nakladatelství Šťovík'");
        ASSERT_GT(added, 0);
        EXPECT_EQ(Num(added), TextOf(path_, L"SELECT EDITORID FROM JOURNALS WHERE ID = " + Num(periodical)));
        HWND publishersList = Field(LITLISTS_PUBLISHERS, IDC_LITLISTS_ROWS);
        int inList = (int)SendMessageW(publishersList, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)L"Nakladatelství Šťovík");
        ASSERT_GE(inList, 0);
        EXPECT_EQ(added, ListData(publishersList, LB_GETITEMDATA, inList));
        int inCombo = (int)SendMessageW(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)L"Nakladatelství Šťovík");
        ASSERT_GE(inCombo, 0);
        EXPECT_EQ(added, ListData(combo, CB_GETITEMDATA, inCombo));
        EXPECT_FALSE(IsWindowEnabled(Field(LITLISTS_PERIODICALS, IDC_LITLISTS_APPLY)));

        // No publisher: the periodical keeps none and no nameless publisher is made.
        SetWindowTextW(combo, L"");
        Command(ListPage(LITLISTS_PERIODICALS), IDC_LITLISTS_FIELD108, CBN_EDITCHANGE, combo);
        Press(LITLISTS_PERIODICALS, IDC_LITLISTS_APPLY);
        EXPECT_EQ(L"<NULL>", TextOf(path_, L"SELECT EDITORID FROM JOURNALS WHERE ID = " + Num(periodical)));
        Command(dialog, IDCANCEL, BN_CLICKED, nullptr);
    });
    EXPECT_EQ(publishers + 1, Count(L"EDITORS"));
}

TEST_F(LitListsTest, ARefusedSaveKeepsTheSelectionAndTheEdits)
{
    RunLists(LITLISTS_AUTHORS, [&](HWND dialog) {
        HWND list = Field(LITLISTS_AUTHORS, IDC_LITLISTS_ROWS);
        int first = Lists()->CurrentIds[LITLISTS_AUTHORS];
        ASSERT_EQ(first, ListData(list, LB_GETITEMDATA, 0));
        HWND abbrev = Field(LITLISTS_AUTHORS, IDC_LITLISTS_FIELD106);
        SetWindowTextW(abbrev, L"odmítnuto");
        EXPECT_EQ(LITLISTS_EDITED, Lists()->States[LITLISTS_AUTHORS]);
        wintest::MsgBoxRecorder boxes;
        SelectListRow(LITLISTS_AUTHORS, 3);
        EXPECT_GE(boxes.Boxes().size(), 1u);
        EXPECT_EQ(0, (int)SendMessageW(list, LB_GETCURSEL, 0, 0));
        EXPECT_EQ(L"odmítnuto", wintest::WindowText(abbrev));
        EXPECT_EQ(LITLISTS_EDITED, Lists()->States[LITLISTS_AUTHORS]);
        EXPECT_TRUE(IsWindowEnabled(Field(LITLISTS_AUTHORS, IDC_LITLISTS_APPLY)));
        // An empty name is refused before anything is written, in Czech.
        SetWindowTextW(abbrev, L"ABC");
        SetWindowTextW(Field(LITLISTS_AUTHORS, IDC_LITLISTS_NAME), L"");
        Press(LITLISTS_AUTHORS, IDC_LITLISTS_APPLY);
        ASSERT_GE(boxes.Boxes().size(), 2u);
        EXPECT_EQ(L"Hodnota je povinná", boxes.Boxes().back().text);
        EXPECT_EQ(LITLISTS_EDITED, Lists()->States[LITLISTS_AUTHORS]);
        Command(dialog, IDCANCEL, BN_CLICKED, nullptr);
    });
    EXPECT_NE(L"odmítnuto", TextOf(path_, L"SELECT ABBREV FROM LITAUTHORS ORDER BY NAME LIMIT 1"));
    EXPECT_EQ(0, QueryInt(path_, L"SELECT COUNT(*) FROM LITAUTHORS WHERE ABBREV = 'ABC' OR NAME = ''"));
}

TEST_F(LitListsTest, ANameInUseIsNotDeletedAndAFreeOneIs)
{
    int publishers = Count(L"EDITORS");
    int used = QueryInt(path_, L"SELECT EDITORID FROM JOURNALS WHERE EDITORID IS NOT NULL LIMIT 1");
    RunLists(LITLISTS_PUBLISHERS, [&](HWND dialog) {
        // A publisher nobody uses yet.
        Press(LITLISTS_PUBLISHERS, IDC_LITLISTS_NEW);
        SetWindowTextW(Field(LITLISTS_PUBLISHERS, IDC_LITLISTS_NAME), L"Nikdo ho nepoužívá");
        Press(LITLISTS_PUBLISHERS, IDC_LITLISTS_APPLY);
        int free = Lists()->CurrentIds[LITLISTS_PUBLISHERS];
        ASSERT_EQ(free, QueryInt(path_, L"SELECT ID FROM EDITORS WHERE NAME = 'Nikdo ho nepoužívá'"));
        HWND list = Field(LITLISTS_PUBLISHERS, IDC_LITLISTS_ROWS);
        int rows = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
        SelectListRow(LITLISTS_PUBLISHERS, FindListBoxItemByData(list, used));
        {
            wintest::MsgBoxRecorder boxes;
            Press(LITLISTS_PUBLISHERS, IDC_LITLISTS_DELETE);
            ASSERT_EQ(1u, boxes.Boxes().size());
            EXPECT_EQ(L"Položku nelze smazat, protože ji používá jiný záznam literatury.", boxes.Boxes()[0].text);
        }
        EXPECT_EQ(rows, (int)SendMessageW(list, LB_GETCOUNT, 0, 0));
        EXPECT_EQ(used, ListData(list, LB_GETITEMDATA, (int)SendMessageW(list, LB_GETCURSEL, 0, 0)));
        SelectListRow(LITLISTS_PUBLISHERS, FindListBoxItemByData(list, free));
        Press(LITLISTS_PUBLISHERS, IDC_LITLISTS_DELETE);
        EXPECT_EQ(rows - 1, (int)SendMessageW(list, LB_GETCOUNT, 0, 0));
        EXPECT_EQ(-1, FindListBoxItemByData(list, free));
        HWND combo = Field(LITLISTS_PERIODICALS, IDC_LITLISTS_FIELD108);
        EXPECT_EQ(rows - 1, (int)SendMessageW(combo, CB_GETCOUNT, 0, 0));
        Command(dialog, IDCANCEL, BN_CLICKED, nullptr);
    });
    EXPECT_EQ(publishers, Count(L"EDITORS"));
    EXPECT_EQ(1, QueryInt(path_, L"SELECT COUNT(*) FROM EDITORS WHERE ID = " + Num(used)));
}

TEST_F(LitListsTest, APendingEditSurvivesATabSwitchAndZavritDropsIt)
{
    std::wstring name = TextOf(path_, L"SELECT NAME FROM LITAUTHORS ORDER BY NAME LIMIT 1");
    RunLists(LITLISTS_AUTHORS, [&](HWND dialog) {
        HWND tabs = GetDlgItem(dialog, IDC_LITLISTS_TABS);
        HWND edit = Field(LITLISTS_AUTHORS, IDC_LITLISTS_NAME);
        SetWindowTextW(edit, L"Přejmenovaný Autor");
        ClickTab(tabs, LITLISTS_PUBLISHERS);
        EXPECT_FALSE(IsWindowVisible(ListPage(LITLISTS_AUTHORS)));
        EXPECT_TRUE(IsWindowVisible(ListPage(LITLISTS_PUBLISHERS)));
        ClickTab(tabs, LITLISTS_AUTHORS);
        EXPECT_EQ(L"Přejmenovaný Autor", wintest::WindowText(edit));
        EXPECT_TRUE(IsWindowEnabled(Field(LITLISTS_AUTHORS, IDC_LITLISTS_APPLY)));
        Command(dialog, IDCANCEL, BN_CLICKED, nullptr);
    });
    EXPECT_EQ(name, TextOf(path_, L"SELECT NAME FROM LITAUTHORS ORDER BY NAME LIMIT 1"));
    EXPECT_EQ(0, QueryInt(path_, L"SELECT COUNT(*) FROM LITAUTHORS WHERE NAME = 'Přejmenovaný Autor'"));
}

TEST_F(LitListsTest, ANewAuthorIsListedAndReachesTheCardsAuthorFilter)
{
    HWND cardCombo = GetDlgItem(card_->GetWindow(), IDC_LITCARD_AUTHORS);
    int before = (int)SendMessageW(cardCombo, CB_GETCOUNT, 0, 0);
    RunLists(LITLISTS_AUTHORS, [&](HWND dialog) {
        Press(LITLISTS_AUTHORS, IDC_LITLISTS_NEW);
        EXPECT_EQ(LITLISTS_NEW, Lists()->States[LITLISTS_AUTHORS]);
        EXPECT_FALSE(IsWindowEnabled(Field(LITLISTS_AUTHORS, IDC_LITLISTS_NEW)));
        SetWindowTextW(Field(LITLISTS_AUTHORS, IDC_LITLISTS_NAME), L"Zelenka Ž.");
        SetWindowTextW(Field(LITLISTS_AUTHORS, IDC_LITLISTS_FIELD108), L"Žofie Zelenková");
        SetWindowTextW(Field(LITLISTS_AUTHORS, IDC_LITLISTS_FIELD106), L"Zel.");
        Press(LITLISTS_AUTHORS, IDC_LITLISTS_APPLY);
        HWND list = Field(LITLISTS_AUTHORS, IDC_LITLISTS_ROWS);
        int id = Lists()->CurrentIds[LITLISTS_AUTHORS];
        EXPECT_EQ(id, ListData(list, LB_GETITEMDATA, (int)SendMessageW(list, LB_GETCURSEL, 0, 0)));
        Command(dialog, IDCANCEL, BN_CLICKED, nullptr);
    });
    // Full name in the second column, abbreviation in the third.
    EXPECT_EQ((Rows{{L"Žofie Zelenková", L"Zel."}}),
              Query(path_, L"SELECT FULLNAME, ABBREV FROM LITAUTHORS WHERE NAME = 'Zelenka Ž.'"));
    EXPECT_EQ(before + 1, (int)SendMessageW(cardCombo, CB_GETCOUNT, 0, 0));
}

// Each tab shows its own page alone, with the row chosen in its list in the page's fields as the
// database holds it; the screenshots show the three pages so.
TEST_F(LitListsTest, EachTabShowsItsPageWithTheChosenRowInItsFields)
{
    // A row's columns in the order of the fields name, 106 and 108 of its page.
    const std::wstring queries[kLitListsPageCount] = {
        L"SELECT NAME, ifnull(ABBREV, ''), ifnull(PLACE, '') FROM EDITORS WHERE ID = ",
        L"SELECT NAME, ifnull(ABBREV, ''), ifnull((SELECT NAME FROM EDITORS WHERE ID = EDITORID), '') "
        L"FROM JOURNALS WHERE ID = ",
        L"SELECT NAME, ifnull(ABBREV, ''), ifnull(FULLNAME, '') FROM LITAUTHORS WHERE ID = ",
    };
    RunLists(LITLISTS_PUBLISHERS, [&](HWND dialog) {
        HWND tabs = GetDlgItem(dialog, IDC_LITLISTS_TABS);
        for (int tab = 0; tab < kLitListsPageCount; tab++) {
            ClickTab(tabs, tab);
            SelectListRow(tab, 1);
            for (int other = 0; other < kLitListsPageCount; other++)
                EXPECT_EQ(other == tab, IsWindowVisible(ListPage(other)) != FALSE) << tab << " " << other;
            int id = ListData(Field(tab, IDC_LITLISTS_ROWS), LB_GETITEMDATA, 1);
            EXPECT_EQ(id, Lists()->CurrentIds[tab]) << tab;
            Rows stored = Query(path_, queries[tab] + Num(id));
            std::vector<std::wstring> shown;
            for (int field : {IDC_LITLISTS_NAME, IDC_LITLISTS_FIELD106, IDC_LITLISTS_FIELD108})
                shown.push_back(wintest::WindowText(Field(tab, field)));
            EXPECT_EQ(stored.empty() ? std::vector<std::wstring>() : stored[0], shown) << tab;
            RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            wintest::PumpMessages(50);
            wchar_t name[32];
            wsprintfW(name, L"litlists_tab%d", tab);
            EXPECT_FALSE(wintest::SaveScreenshot(dialog, name).empty());
        }
        Command(dialog, IDCANCEL, BN_CLICKED, nullptr);
    });
}

}  // namespace
