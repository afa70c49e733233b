// The lookup values editor EDITTERMSDLG, opened by command 305 on the program's own main form
// with a generated database: what it opens on, the author list, and replaces, deletes and
// abbreviations checked in the file with SQL.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "core/ctlfill.h"
#include "resources/zorna/resource.h"
#include "tests/mainapp/formhost.h"

using wintest::DialogScript;

namespace {

const wchar_t kCaption[] = L"Editace výrazů";
// Exactly as long as the METODA column (40 characters).
const wchar_t kLongMethod[] = L"smýkání po vegetaci entomologickou sítí.";

std::wstring TermsTemplate()
{
    return formhost::SampleWith(
        L"terms_dialog_template", 2000,
        {std::wstring(L"INSERT INTO ZOR_METODA (NAME, ABBREV) VALUES ('") + kLongMethod + L"', NULL)",
         // A lookup attribute whose value table is missing.
         L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE, ATTRSIZE, KEYFLAG, "
         L"TABNAME, CAPTION) VALUES ('LOCTREE', 'ZTRACENA', 50, 5, 20, 0, 'Obecné', 'Ztracená')",
         L"UPDATE ZOR_METODA SET ABBREV = 'pros.' WHERE NAME = 'prosev'"});
}

std::wstring ListText(HWND list, int index)
{
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    std::wstring text((size_t)(length > 0 ? length : 0) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, index, (LPARAM)&text[0]);
    text.resize(wcslen(text.c_str()));
    return text;
}

class TermsEditor : public formhost::FormOnDatabase {
protected:
    std::wstring TemplatePath() override { return TermsTemplate(); }

    // Opens the editor, runs the action on it and closes it.
    void Run(std::function<void(HWND)> action)
    {
        DialogScript script;
        script.Then(kCaption, [&](HWND d) {
            action(d);
            DialogScript::PostClick(d, IDCANCEL);
        });
        ASSERT_TRUE(Command(IDM_TERMS, script));
    }

    // Selects the value in the list of values (fails the test when it is not there).
    static void SelectValue(HWND d, const std::wstring& value)
    {
        HWND list = GetDlgItem(d, IDC_TERMS_VALUES);
        int count = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (int i = 0; i < count; i++) {
            if (ListText(list, i) == value) {
                SendMessageW(list, LB_SETCURSEL, i, 0);
                SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_TERMS_VALUES, LBN_SELCHANGE), (LPARAM)list);
                return;
            }
        }
        ADD_FAILURE() << "no value " << dbtest::Narrow(value);
    }
    static void ChooseTable(HWND d, int table)
    {
        HWND combo = GetDlgItem(d, IDC_TERMS_TABLE);
        SendMessageW(combo, CB_SETCURSEL, table, 0);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_TERMS_TABLE, CBN_SELCHANGE), (LPARAM)combo);
    }

    long long Uses(const std::wstring& value)
    {
        return Int(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE METODA = '" + value + L"' COLLATE BINARY");
    }
    long long InTable(const std::wstring& value)
    {
        return Int(L"SELECT COUNT(*) FROM ZOR_METODA WHERE NAME = '" + value + L"' COLLATE BINARY");
    }
    std::wstring Snapshot()
    {
        return Text(L"SELECT GROUP_CONCAT(NAME || '=' || IFNULL(ABBREV, '-'), '|') FROM ZOR_METODA") +
               Text(L"SELECT GROUP_CONCAT(IFNULL(METODA, '-'), '|') FROM ZORNACOLLS");
    }
};

TEST_F(TermsEditor, OpensOnTheRecordsWithTheirFirstLookupAttribute)
{
    long long methods = Int(L"SELECT COUNT(*) FROM ZOR_METODA");
    Run([&](HWND d) {
        EXPECT_EQ(4, SendDlgItemMessageW(d, IDC_TERMS_TABLE, CB_GETCURSEL, 0, 0));
        EXPECT_EQ(6, SendDlgItemMessageW(d, IDC_TERMS_TABLE, CB_GETCOUNT, 0, 0));
        EXPECT_EQ(L"Sbírka", wintest::WindowText(GetDlgItem(d, IDC_TERMS_TABLE)));
        EXPECT_EQ(L"Metoda sběru", wintest::WindowText(GetDlgItem(d, IDC_TERMS_COLUMN)));
        HWND list = GetDlgItem(d, IDC_TERMS_VALUES);
        ASSERT_EQ(methods, SendMessageW(list, LB_GETCOUNT, 0, 0));
        EXPECT_EQ(methods, SendDlgItemMessageW(d, IDC_TERMS_NEWVALUE, CB_GETCOUNT, 0, 0));
        // The table's own order, which the rows of a request stand for.
        EXPECT_EQ(Text(L"SELECT NAME FROM ZOR_METODA ORDER BY NAME LIMIT 1"), ListText(list, 0));
        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(d, IDC_TERMS_KEEPOLD));
        SelectValue(d, L"prosev");
        EXPECT_EQ(L"pros.", wintest::WindowText(GetDlgItem(d, IDC_TERMS_ABBREV)));
        wintest::PumpMessages(100);
        wintest::SaveScreenshot(d, L"records_edittermsdlg");
    });
}

TEST_F(TermsEditor, SpeciesOfferTheAuthorsFirstWithoutAbbreviations)
{
    long long authors = Int(L"SELECT COUNT(*) FROM SYSAUTHORS");
    Run([&](HWND d) {
        ChooseTable(d, 1);
        HWND columns = GetDlgItem(d, IDC_TERMS_COLUMN);
        EXPECT_EQ(L"Autor", GetComboEntryString(columns, 0));
        EXPECT_EQ(0, SendMessageW(columns, CB_GETITEMDATA, 0, 0));
        EXPECT_EQ(0, SendMessageW(columns, CB_GETCURSEL, 0, 0));
        EXPECT_EQ(authors, SendDlgItemMessageW(d, IDC_TERMS_VALUES, LB_GETCOUNT, 0, 0));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_TERMS_ASSIGN)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_TERMS_ABBREV)));
        // The species' own lookup attribute has abbreviations.
        SendMessageW(columns, CB_SETCURSEL, 1, 0);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_TERMS_COLUMN, CBN_SELCHANGE), (LPARAM)columns);
        EXPECT_EQ(L"Kategorie ohrožení", wintest::WindowText(columns));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_TERMS_ASSIGN)));
        EXPECT_EQ(Int(L"SELECT COUNT(*) FROM SPE_OCHRANA"),
                  SendDlgItemMessageW(d, IDC_TERMS_VALUES, LB_GETCOUNT, 0, 0));
    });
}

TEST_F(TermsEditor, TablesWithoutValueListsLeaveTheListsEmpty)
{
    Run([&](HWND d) {
        for (int table : {0, 2}) {
            // The systematic tree has no lookup attribute; the locality tree's has no table.
            ChooseTable(d, table);
            EXPECT_EQ(table == 0 ? 0 : 1, SendDlgItemMessageW(d, IDC_TERMS_COLUMN, CB_GETCOUNT, 0, 0));
            EXPECT_EQ(0, SendDlgItemMessageW(d, IDC_TERMS_VALUES, LB_GETCOUNT, 0, 0));
            EXPECT_EQ(0, SendDlgItemMessageW(d, IDC_TERMS_NEWVALUE, CB_GETCOUNT, 0, 0));
            DialogScript::Click(d, IDC_TERMS_DELETE);
            DialogScript::Click(d, IDC_TERMS_REPLACE);
        }
    });
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(TermsEditor, APrintFormsRequestOpensItOverTheWindowItNames)
{
    HWND parent = CreateWindowExW(0, L"STATIC", L"Tisk", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, wnd_,
                                  nullptr, nullptr, nullptr);
    HWND owner = nullptr;
    DialogScript script;
    script.Then(kCaption, [&](HWND d) {
        owner = GetWindow(d, GW_OWNER);
        DialogScript::PostClick(d, IDCANCEL);
    });
    ASSERT_TRUE(Command(IDM_TERMS, script, (LPARAM)parent, 2));
    EXPECT_EQ(parent, owner);
    DestroyWindow(parent);
}

TEST_F(TermsEditor, ATypedValueWithAnApostropheIsStoredAsTypedAndTheRowsFollow)
{
    long long moved = Uses(L"prosev");
    ASSERT_GT(moved, 0);
    Run([&](HWND d) {
        SelectValue(d, L"prosev");
        SetDlgItemTextW(d, IDC_TERMS_NEWVALUE, L"O'Neil");
        DialogScript::Click(d, IDC_TERMS_REPLACE);
        // Kept, since "Ponechat původní" is set; the list shows both.
        HWND list = GetDlgItem(d, IDC_TERMS_VALUES);
        EXPECT_NE(LB_ERR, SendMessageW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)L"O'Neil"));
        EXPECT_NE(LB_ERR, SendMessageW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)L"prosev"));
    });
    EXPECT_EQ(1, InTable(L"O''Neil"));
    EXPECT_EQ(1, InTable(L"prosev"));
    EXPECT_EQ(moved, Uses(L"O''Neil"));
    EXPECT_EQ(0, Uses(L"prosev"));
}

TEST_F(TermsEditor, AValuePickedFromTheListIsTakenWhole)
{
    long long moved = Uses(L"prosev");
    long long rows = Int(L"SELECT COUNT(*) FROM ZOR_METODA");
    ASSERT_EQ(40u, wcslen(kLongMethod));
    Run([&](HWND d) {
        SelectValue(d, L"prosev");
        HWND combo = GetDlgItem(d, IDC_TERMS_NEWVALUE);
        int at = (int)SendMessageW(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)kLongMethod);
        ASSERT_GE(at, 0);
        SendMessageW(combo, CB_SETCURSEL, at, 0);
        CheckDlgButton(d, IDC_TERMS_KEEPOLD, BST_UNCHECKED);
        DialogScript::Click(d, IDC_TERMS_REPLACE);
    });
    EXPECT_EQ(rows - 1, Int(L"SELECT COUNT(*) FROM ZOR_METODA"));
    EXPECT_EQ(0, InTable(L"prosev"));
    EXPECT_EQ(moved + 0, Int(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE LENGTH(METODA) = 40"));
    EXPECT_EQ(moved, Uses(kLongMethod));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(TermsEditor, ReplacingByItselfChangesNothingAndACaseChangeRenamesInPlace)
{
    std::wstring before = Snapshot();
    long long moved = Uses(L"prosev");
    Run([&](HWND d) {
        SelectValue(d, L"prosev");
        SetDlgItemTextW(d, IDC_TERMS_NEWVALUE, L"prosev");
        DialogScript::Click(d, IDC_TERMS_REPLACE);
        EXPECT_EQ(before, Snapshot());
        // Longer than the column and empty: refused with the value shown again.
        for (const wchar_t* text : {L"o jeden znak delší hodnota než sloupec METODA", L""}) {
            SetDlgItemTextW(d, IDC_TERMS_NEWVALUE, text);
            DialogScript::Click(d, IDC_TERMS_REPLACE);
            HWND combo = GetDlgItem(d, IDC_TERMS_NEWVALUE);
            EXPECT_TRUE(GetFocus() == combo || IsChild(combo, GetFocus()));
        }
        EXPECT_EQ(before, Snapshot());
        // Only the letter case: the value is renamed where it stands, whatever 107 says.
        CheckDlgButton(d, IDC_TERMS_KEEPOLD, BST_UNCHECKED);
        SetDlgItemTextW(d, IDC_TERMS_NEWVALUE, L"Prosev");
        DialogScript::Click(d, IDC_TERMS_REPLACE);
        HWND list = GetDlgItem(d, IDC_TERMS_VALUES);
        EXPECT_NE(LB_ERR, SendMessageW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)L"Prosev"));
    });
    ASSERT_EQ(2u, Boxes().size());
    EXPECT_EQ(L"Vložená hodnota je neplatná", Boxes()[0].text);
    EXPECT_EQ(L"Hodnota je povinná", Boxes()[1].text);
    EXPECT_EQ(1, InTable(L"Prosev"));
    EXPECT_EQ(0, InTable(L"prosev"));
    EXPECT_EQ(L"pros.", Text(L"SELECT ABBREV FROM ZOR_METODA WHERE NAME = 'Prosev'"));
    EXPECT_EQ(moved, Uses(L"Prosev"));
}

TEST_F(TermsEditor, AValueInUseIsNotDeletedAndAnUnusedOneIs)
{
    std::wstring before = Snapshot();
    long long rows = Int(L"SELECT COUNT(*) FROM ZOR_METODA");
    Run([&](HWND d) {
        SelectValue(d, L"prosev");
        DialogScript::Click(d, IDC_TERMS_DELETE);
        EXPECT_EQ(before, Snapshot());
        // The list still shows it, selected.
        HWND list = GetDlgItem(d, IDC_TERMS_VALUES);
        int sel = (int)SendMessageW(list, LB_GETCURSEL, 0, 0);
        ASSERT_GE(sel, 0);
        EXPECT_EQ(L"prosev", ListText(list, sel));
        SelectValue(d, kLongMethod);
        DialogScript::Click(d, IDC_TERMS_DELETE);
        EXPECT_EQ(LB_ERR, SendMessageW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)kLongMethod));
    });
    ASSERT_EQ(1u, Boxes().size());
    EXPECT_EQ(L"Hodnotu nelze smazat, protože ji používají uložené údaje.", Boxes()[0].text);
    EXPECT_EQ(L"Chyba", Boxes()[0].caption);
    EXPECT_EQ(rows - 1, Int(L"SELECT COUNT(*) FROM ZOR_METODA"));
    EXPECT_EQ(1, InTable(L"prosev"));
}

TEST_F(TermsEditor, AnAbbreviationIsAssignedAndAnEmptyOneStoresNull)
{
    Run([&](HWND d) {
        HWND abbrev = GetDlgItem(d, IDC_TERMS_ABBREV);
        EXPECT_EQ(15, SendMessageW(abbrev, EM_GETLIMITTEXT, 0, 0));
        SelectValue(d, L"prosev");
        SetWindowTextW(abbrev, L"");
        DialogScript::Click(d, IDC_TERMS_ASSIGN);
        SelectValue(d, L"zemní past");
        SetWindowTextW(abbrev, L"z. p.");
        DialogScript::Click(d, IDC_TERMS_ASSIGN);
        // The list keeps the new abbreviations.
        SelectValue(d, L"prosev");
        EXPECT_EQ(L"", wintest::WindowText(abbrev));
        SelectValue(d, L"zemní past");
        EXPECT_EQ(L"z. p.", wintest::WindowText(abbrev));
    });
    EXPECT_EQ(1, Int(L"SELECT ABBREV IS NULL FROM ZOR_METODA WHERE NAME = 'prosev'"));
    EXPECT_EQ(L"z. p.", Text(L"SELECT ABBREV FROM ZOR_METODA WHERE NAME = 'zemní past'"));
}

// The value's abbreviation is there to be typed over: entering its field by a click selects it
// whole, and what is typed replaces it; an abbreviation the user typed keeps the caret where the
// click put it.
TEST_F(TermsEditor, TheAbbreviationIsSelectedWhenItsFieldIsEntered)
{
    Run([&](HWND d) {
        SelectValue(d, L"prosev");
        HWND abbrev = GetDlgItem(d, IDC_TERMS_ABBREV);
        const struct {
            const wchar_t* text;
            bool selected;
        } rows[] = {{L"pros.", true}, {L"prosévání", false}};
        for (const auto& row : rows) {
            SetWindowTextW(abbrev, row.text);
            SetFocus(GetDlgItem(d, IDC_TERMS_VALUES));
            wintest::ClickAt(abbrev, {3, 4});
            DWORD from = 1, to = 1;
            SendMessageW(abbrev, EM_GETSEL, (WPARAM)&from, (LPARAM)&to);
            EXPECT_EQ(abbrev, GetFocus()) << row.selected;
            EXPECT_EQ(0u, from) << row.selected;
            EXPECT_EQ(row.selected ? wcslen(row.text) : 0u, (size_t)to) << row.selected;
        }
        SetWindowTextW(abbrev, L"pros.");
        SetFocus(GetDlgItem(d, IDC_TERMS_VALUES));
        wintest::ClickAt(abbrev, {3, 4});
        wintest::SaveScreenshot(d, L"records_edittermsdlg_abbrev");
        SendMessageW(abbrev, WM_CHAR, L'p', 0);
        EXPECT_EQ(L"p", wintest::WindowText(abbrev));
    });
}

}  // namespace
