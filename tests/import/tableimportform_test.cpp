// Tarnix imports an Access table and an Excel sheet as a user does it: the Import command of the
// main form, the source's type and file, the table or sheet from the list, the columns sent onto
// built-in fields, existing and new attributes on the columns' page, the target species and
// locality when the columns give none, Finish, and the progress dialog to its end. Each page is
// looked at in a screenshot; the database is checked with plain SQL afterwards.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <prsht.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "import/importsources.h"
#include "import/impsource.h"
#include "import/impwizard.h"
#include "resources/tarnix/resource.h"
#include "tests/support/accessfixtures.h"
#include "tests/utilities/formfixture.h"
#include "tests/import/tablebook.h"
#include "tests/import/testimpsource.h"

namespace {

using namespace tarnixtest;

using TableImportForm = TarnixForm;

// The sheet's own buttons.
const int kNextButton = 0x3024;
const int kFinishButton = 0x3025;

// A column sent somewhere on the columns' page: its group, and the built-in field or existing
// attribute chosen from the list, or a new attribute's typed name with its type (-1: as read).
struct Mapping {
    const wchar_t* column;
    int group;
    const wchar_t* target;
    bool chosen;
    int type;
};

struct Check {
    const wchar_t* sql;
    const wchar_t* expected;
};

struct Case {
    const char* name;
    int type;
    std::wstring file;  // empty: the case is skipped
    const wchar_t* table;
    std::vector<Mapping> mappings;
    bool targets;  // the columns give no species and locality: both target pages follow
    std::vector<Check> checks;
};

void Notify(HWND page, int id, WORD code) { SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)GetDlgItem(page, id)); }

bool Shows(HWND sheet, int button)
{
    HWND b = GetDlgItem(sheet, button);
    return b && IsWindowVisible(b) && IsWindowEnabled(b);
}

// Selects the column in the list and sends it where the mapping says, as the user would.
void MapColumn(HWND page, const Mapping& m)
{
    HWND list = GetDlgItem(page, IDC_IMP_COLUMNS);
    LRESULT at = SendMessageW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)m.column);
    ASSERT_NE(LB_ERR, at) << dbtest::Narrow(m.column);
    SendMessageW(list, LB_SETCURSEL, (WPARAM)at, 0);
    Notify(page, IDC_IMP_COLUMNS, LBN_SELCHANGE);
    SendDlgItemMessageW(page, IDC_IMP_COL_GROUP, CB_SETCURSEL, (WPARAM)m.group, 0);
    Notify(page, IDC_IMP_COL_GROUP, CBN_SELCHANGE);
    HWND attr = GetDlgItem(page, IDC_IMP_COL_ATTR);
    if (m.chosen) {
        LRESULT item = SendMessageW(attr, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)m.target);
        ASSERT_NE(CB_ERR, item) << dbtest::Narrow(m.target);
        SendMessageW(attr, CB_SETCURSEL, (WPARAM)item, 0);
        Notify(page, IDC_IMP_COL_ATTR, CBN_SELCHANGE);
    } else {
        SetWindowTextW(attr, m.target);
        Notify(page, IDC_IMP_COL_ATTR, CBN_EDITCHANGE);
    }
    EXPECT_EQ(ResString(m.chosen ? 171 : 172), wintest::WindowText(GetDlgItem(page, IDC_IMP_COL_STATUS))) << dbtest::Narrow(m.column);
    // Only a new attribute's definition can be typed; the labels shown are never greyed.
    for (int id : {IDC_IMP_COL_TYPE, IDC_IMP_COL_SIZE, IDC_IMP_COL_SIZE_LABEL})
        if (IsWindowVisible(GetDlgItem(page, id))) {
            EXPECT_EQ(!m.chosen || id == IDC_IMP_COL_SIZE_LABEL, IsWindowEnabled(GetDlgItem(page, id)) != FALSE)
                << dbtest::Narrow(m.column) << " " << id;
        }
    if (m.type >= 0) {
        SendDlgItemMessageW(page, IDC_IMP_COL_TYPE, CB_SETCURSEL, (WPARAM)m.type, 0);
        Notify(page, IDC_IMP_COL_TYPE, CBN_SELCHANGE);
    }
}

using PageStep = std::function<bool(HWND sheet, HWND page)>;

// A step run once the wizard shows the page of that index (-1: whichever it shows).
std::function<bool()> OnPage(int index, PageStep body)
{
    return [index, body] {
        HWND sheet = ImportWindow(true);
        HWND page = sheet ? PropSheet_GetCurrentPageHwnd(sheet) : nullptr;
        if (!page || (index >= 0 && PropSheet_HwndToIndex(sheet, page) != index))
            return false;
        return body(sheet, page);
    };
}

// The steps of one import through every page; the pages met, in order.
std::vector<int> ImportThroughThePages(const Case& c, const std::wstring& wrongFile, const std::wstring& olderFile,
                                       const std::wstring& olderProblem, const std::function<void(WORD)>& command)
{
    std::vector<int> pages;
    const std::wstring shot = std::wstring(L"utilities_tableform_") + (c.type == IMPSRC_ACCESS ? L"access" : L"excel");
    auto leave = [&](HWND sheet, int page, const wchar_t* name, int button) {
        pages.push_back(page);
        wintest::SaveScreenshot(sheet, (shot + name).c_str());
        PropSheet_PressButton(sheet, button);
        return true;
    };
    g_steps = {
        OnPage(IMPWIZ_WELCOME,
               [&](HWND sheet, HWND welcome) {
                   // A text saved under a table file's name is refused, saying why, and Next stays on
                   // the page.
                   SendDlgItemMessageW(welcome, IDC_IMP_SOURCE_TYPES, LB_SETCURSEL, (WPARAM)c.type, 0);
                   Notify(welcome, IDC_IMP_SOURCE_TYPES, LBN_SELCHANGE);
                   SetDlgItemTextW(welcome, IDC_IMP_PATH, wrongFile.c_str());
                   Notify(welcome, IDC_IMP_PATH, EN_KILLFOCUS);
                   EXPECT_EQ(c.type == IMPSRC_ACCESS ? L"Soubor není databáze: \u201E" + wrongFile + L"\u201C."
                                                     : L"Soubor není sešit aplikace Excel 97-2003.",
                             wintest::WindowText(GetDlgItem(welcome, IDC_IMP_STATUS)));
                   if (!olderFile.empty()) {
                       // A file of an older version that cannot be read says why.
                       SetDlgItemTextW(welcome, IDC_IMP_PATH, olderFile.c_str());
                       Notify(welcome, IDC_IMP_PATH, EN_KILLFOCUS);
                       EXPECT_EQ(olderProblem, wintest::WindowText(GetDlgItem(welcome, IDC_IMP_STATUS)));
                       wintest::SaveScreenshot(sheet, (shot + L"_older").c_str());
                   }
                   PropSheet_PressButton(sheet, PSBTN_NEXT);
                   return true;
               }),
        OnPage(-1,
               [&](HWND sheet, HWND welcome) {
                   EXPECT_EQ(IMPWIZ_WELCOME, PropSheet_HwndToIndex(sheet, welcome));
                   SetDlgItemTextW(welcome, IDC_IMP_PATH, c.file.c_str());
                   Notify(welcome, IDC_IMP_PATH, EN_KILLFOCUS);
                   EXPECT_EQ(ResString(IDS_I_SOURCE_OK), wintest::WindowText(GetDlgItem(welcome, IDC_IMP_STATUS)));
                   return leave(sheet, IMPWIZ_WELCOME, L"_welcome", PSBTN_NEXT);
               }),
        OnPage(IMPWIZ_TABLES,
               [&](HWND sheet, HWND page) {
                   HWND list = GetDlgItem(page, IDC_IMP_TABLES);
                   LRESULT at = SendMessageW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)c.table);
                   EXPECT_NE(LB_ERR, at) << "the table is not listed";
                   SendMessageW(list, LB_SETCURSEL, (WPARAM)at, 0);
                   Notify(page, IDC_IMP_TABLES, LBN_SELCHANGE);
                   wintest::PumpMessages(20);  // the sheet's buttons change by a posted message
                   return leave(sheet, IMPWIZ_TABLES, L"_tables", PSBTN_NEXT);
               }),
        OnPage(IMPWIZ_COLUMNS,
               [&](HWND, HWND page) {
                   for (const Mapping& m : c.mappings)
                       MapColumn(page, m);
                   return true;
               }),
        OnPage(IMPWIZ_COLUMNS,
               [&](HWND sheet, HWND) {
                   EXPECT_TRUE(Shows(sheet, c.targets ? kNextButton : kFinishButton));
                   return leave(sheet, IMPWIZ_COLUMNS, L"_columns", c.targets ? PSBTN_NEXT : PSBTN_FINISH);
               }),
    };
    if (c.targets) {
        // An existing genus with a new species typed under it; an existing locality.
        g_steps.push_back(OnPage(IMPWIZ_TARGET, [&](HWND, HWND page) {
            EXPECT_EQ(ResString(180), wintest::WindowText(GetDlgItem(page, IDC_IMP_TARGET_TEXT)));
            for (int row = 0; row < 3; ++row)
                ChooseRow(page, IDC_IMP_TARGET_TREE, row, 0);
            ChooseRow(page, IDC_IMP_TARGET_TREE, 3, -1, L"accessus");
            SetDlgItemTextW(page, IDC_IMP_AUTHOR, L"Tabulkář");
            SetDlgItemTextW(page, IDC_IMP_YEAR, L"2003");
            return true;
        }));
        g_steps.push_back(OnPage(IMPWIZ_TARGET, [&](HWND sheet, HWND) {
            EXPECT_TRUE(Shows(sheet, kNextButton));
            return leave(sheet, IMPWIZ_TARGET, L"_target_species", PSBTN_NEXT);
        }));
        g_steps.push_back(OnPage(IMPWIZ_TARGET, [&](HWND, HWND page) {
            if (wintest::WindowText(GetDlgItem(page, IDC_IMP_TARGET_TEXT)) != ResString(181))
                return false;
            for (int row = 0; row < 3; ++row)
                ChooseRow(page, IDC_IMP_TARGET_TREE, row, 0);
            return true;
        }));
        g_steps.push_back(OnPage(IMPWIZ_TARGET, [&](HWND sheet, HWND) {
            EXPECT_TRUE(Shows(sheet, kFinishButton));
            return leave(sheet, IMPWIZ_TARGET, L"_target_locality", PSBTN_FINISH);
        }));
    }
    g_steps.push_back(ImportDoneStep(shot + L"_done"));
    RunSteps([&] { command(IDM_T_IMPORT); });
    return pages;
}

TEST_F(TableImportForm, AnAccessTableAndAnExcelSheetComeInThroughEveryPage)
{
    RegisterPlexaW(PLEXA_INPLACECOMBOBOX | PLEXA_PROPERTYBOX);
    RegisterImportSources();
    importtest::LogFolder logs;
    SampleCopy copy;
    const std::wstring& db = copy.Path();

    std::wstring book = folder_ + L"\\nálezy z terénu.xls";
    ASSERT_NO_FATAL_FAILURE(tabletest::WriteBook(
        book, L"Nálezy 2010",
        {{L"Citace", L"Kraj", L"Místo", L"Východní délka", L"Severní šířka", L"Název", L"Autor", L"Rok",
          L"Počet exemplářů", L"Sběratel", L"Poznámka sběru"},
         {L"Carabus tabulkus Novák, 1901", L"Tabulkový kraj", L"Tabulková Lhota", 14.5, 50.1, L"Brouci z tabulky",
          L"Zkusil; Pokusný", 2010.0, 3.0, L"Kovář", L"pod kamenem"},
         {L"Carabus tabulkus", L"Tabulkový kraj", L"Tabulková Lhota", L"14°30'0\"", L"50°6'0\"", L"Brouci z tabulky",
          L"Zkusil; Pokusný", 2010.0, 2.0, L"Kovář", L"v mechu"}}));

    std::wstring wrongFile = folder_ + L"\\text z tabulky.xls";
    importtest::WriteTextFile(wrongFile, L"Druh;Lokalita\r\nCarabus tabulkus;Tabulková Lhota\r\n");
    // Excel 4.0 kept a workbook as bare records, no compound file.
    std::wstring olderBook = folder_ + L"\\excel 4.xls";
    std::ofstream(olderBook.c_str(), std::ios::binary) << std::string("\x09\x04\x06\0\0\0\x10\0\0\0", 10);
    // An Access 97 file: a copy of an Access 2000 one with the version of Jet 3.
    std::wstring olderAccess;
    if (!accessfixtures::Path(L"testV2000.mdb").empty()) {
        std::string bytes = wintest::ReadFileBytes(accessfixtures::Path(L"testV2000.mdb"));
        bytes[0x14] = 0;
        olderAccess = folder_ + L"\\access 97.mdb";
        std::ofstream(olderAccess.c_str(), std::ios::binary) << bytes;
    }

    const Case cases[] = {
        {"access",
         IMPSRC_ACCESS,
         accessfixtures::Path(L"testV2000.mdb"),
         L"Table1",
         {{L"A", COLGROUP_RECORDS, L"Text z Accessu", false, -1},
          {L"E", COLGROUP_RECORDS, L"Číslo z Accessu", false, -1},
          {L"G", COLGROUP_RECORDS, L"Datum z Accessu", false, -1},
          {L"I", COLGROUP_RECORDS, L"Dokladový exemplář", true, -1}},
         true,
         // Both rows on the new species and the one chosen locality.
         {{L"SELECT COUNT(*) || '|' || COUNT(DISTINCT Z.FTRID) || '|' || MIN(L.LOCLEVEL) FROM ZORNACOLLS Z "
           L"JOIN SPECIES S ON S.SYSID = Z.SYSID JOIN LOCTREE L ON L.ID = Z.FTRID "
           L"WHERE S.NAME LIKE '% accessus' AND S.AUTHOR = 'Tabulkář' AND S.IYEAR = 2003",
           L"2|1|3"}}},
        {"excel",
         IMPSRC_EXCEL,
         book,
         L"Nálezy 2010",
         {{L"Citace", COLGROUP_SPECIES, L"Jméno", true, -1},
          {L"Místo", COLGROUP_FEATURES, L"Jméno", true, -1},
          {L"Sběratel", COLGROUP_RECORDS, L"Sběratel (leg.)", true, -1},
          {L"Poznámka sběru", COLGROUP_RECORDS, L"Poznámka sběru", false, -1}},
         false,
         {
             // The taxon from the citation, once.
             {L"SELECT COUNT(*) || '|' || AUTHOR || '|' || IYEAR FROM SPECIES WHERE NAME = 'Carabus tabulkus'", L"1|Novák|1901"},
             // The locality under its new unit, once, with its square.
             {L"SELECT COUNT(*) || '|' || (PARENT = (SELECT ID FROM LOCTREE WHERE NAME = 'Tabulkový kraj')) FROM LOCTREE "
              L"WHERE NAME = 'Tabulková Lhota'",
              L"1|1"},
             {L"SELECT SQUARE FROM FEATURES WHERE LOCID = (SELECT ID FROM LOCTREE WHERE NAME = 'Tabulková Lhota')", L"5953A"},
             // The publication, once, with its authors in their order.
             {L"SELECT COUNT(*) || '|' || MAX(L.IYEAR) || '|' || MAX(A.NAME) FROM LITERATURE L JOIN LITAUTHORS A "
              L"ON A.ID = L.FIRSTAUTHOR WHERE L.NAME = 'Brouci z tabulky'",
              L"1|2010|Zkusil"},
             {L"SELECT group_concat(B.AUTHPOS || ':' || A.NAME) FROM (SELECT * FROM BOOKAUTHORS ORDER BY 3) B "
              L"JOIN LITAUTHORS A ON A.ID = B.AUTHORID JOIN LITERATURE L ON L.ID = B.LITID WHERE L.NAME = 'Brouci z tabulky'",
              L"1:Zkusil,2:Pokusný"},
             // Both rows as records on them, with the existing and the new attribute.
             {L"SELECT COUNT(*) || '|' || SUM(Z.POCET) || '|' || MIN(Z.LEG) || '|' || MAX(Z.LEG) FROM ZORNACOLLS Z "
              L"JOIN SPECIES S ON S.SYSID = Z.SYSID JOIN LOCTREE P ON P.ID = Z.FTRID JOIN LITERATURE L ON L.ID = Z.LITID "
              L"WHERE S.NAME = 'Carabus tabulkus' AND P.NAME = 'Tabulková Lhota' AND L.NAME = 'Brouci z tabulky'",
              L"2|5|Kovář|Kovář"},
         }},
    };

    long long records = dbtest::QueryInt(db, L"SELECT COUNT(*) FROM ZORNACOLLS");
    ASSERT_NO_FATAL_FAILURE(StartForm());
    OpenFile(db);
    std::vector<const Case*> imported;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.file.empty()) {
            std::printf("[  SKIPPED ] %s: no fixture file\n", c.name);
            continue;
        }
        bool excel = c.type == IMPSRC_EXCEL;
        std::wstring problem =
            excel ? L"Sešit je ve starším formátu aplikace Excel (Excel 95 nebo starší); uložte ho ve formátu Excel 97-2003."
                  : L"Databázi aplikace Access 97 (Jet 3) nelze přečíst; uložte ji v Accessu ve formátu Access 2000 "
                    L"nebo novějším: " + olderAccess;
        std::vector<int> pages = ImportThroughThePages(c, wrongFile, excel ? olderBook : olderAccess, problem,
                                                       [this](WORD id) { Command(id); });
        std::vector<int> expected = {IMPWIZ_WELCOME, IMPWIZ_TABLES, IMPWIZ_COLUMNS};
        if (c.targets)
            expected.insert(expected.end(), {IMPWIZ_TARGET, IMPWIZ_TARGET});
        EXPECT_EQ(expected, pages);
        imported.push_back(&c);
    }
    CloseForm();

    long long added = 0;
    for (const Case* c : imported) {
        SCOPED_TRACE(c->name);
        added += 2;
        for (const Check& check : c->checks)
            EXPECT_EQ(check.expected, dbtest::First(db, check.sql)) << dbtest::Narrow(check.sql);
    }
    EXPECT_EQ(records + added, dbtest::QueryInt(db, L"SELECT COUNT(*) FROM ZORNACOLLS"));
    // The new attributes and the values in their columns, the Access row's typed values kept.
    auto column = [&](const wchar_t* caption) {
        return dbtest::First(db, std::wstring(L"SELECT FIELDNAME FROM CUSTOMATTRIBUTES WHERE TABLENAME = 'ZORNACOLLS' AND CAPTION = '") +
                                     caption + L"'");
    };
    std::wstring note = column(L"Poznámka sběru");
    ASSERT_FALSE(note.empty());
    EXPECT_EQ(L"pod kamenem,v mechu",
              dbtest::First(db, L"SELECT group_concat(" + note + L") FROM (SELECT * FROM ZORNACOLLS WHERE " + note + L" IS NOT NULL ORDER BY ID)"));
    if (imported.size() == 2) {
        std::wstring text = column(L"Text z Accessu"), number = column(L"Číslo z Accessu"), date = column(L"Datum z Accessu");
        ASSERT_FALSE(text.empty() || number.empty() || date.empty());
        // Dates are stored as OLE day numbers, day 0 being 30 December 1899.
        EXPECT_EQ(L"abcdefg|333333333|1974-09-21|-1;a|0|1981-12-12|0",
                  dbtest::First(db, L"SELECT group_concat(" + text + L" || '|' || " + number + L" || '|' || date(" + date +
                                             L" + 2415018.5) || '|' || DOKLAD, ';') FROM (SELECT * FROM ZORNACOLLS WHERE " + text +
                                             L" IS NOT NULL ORDER BY ID)"));
    }
    for (const std::wstring& log : logs.Logs()) {
        std::ostringstream text;
        text << std::ifstream(log.c_str(), std::ios::binary).rdbuf();
        ADD_FAILURE() << "an import logged errors: " << text.str();
    }
}

}  // namespace
