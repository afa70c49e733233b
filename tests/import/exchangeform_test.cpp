// Tarnix imports the previous version's exchange files as a user does it: the Import command of
// the main form, the wizard with the file's type and path, one mapping page per group left as
// the wizard matched it, Finish, and the progress dialog to its end. Each page is looked at in a
// screenshot; the file is checked with plain SQL afterwards: rows, paths, labels, squares and
// the points against bytes computed here.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <prsht.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/plexa.h"
#include "tools/exchangegen/exchangegen.h"
#include "import/importsources.h"
#include "import/impsource.h"
#include "resources/tarnix/resource.h"
#include "tests/import/exchangetest.h"
#include "tests/utilities/formfixture.h"

namespace {

using namespace tarnixtest;

using ExchangeForm = TarnixForm;

std::string PlacesFile()
{
    exgen::FileWriter f(exgen::kLocalityMagic, exgen::LineEnd::CrLf);
    f.Fields({L"Země zkušební", L"ZZ", L"Okres A", L"OA", L"Obec 1", L"140000", L"500000", L"Louka", L"140000", L"500000",
              L"", L"", L"Celek 1"});
    f.Fields({L"Země zkušební", L"ZZ", L"Okres A", L"OA", L"Obec 1", L"140000", L"500000", L"Les", L"140600", L"495700",
              L"", L"", L"Celek 2"});
    return f.Bytes();
}

std::string TaxaFile()
{
    exgen::FileWriter f(exgen::kSystemMagic, exgen::LineEnd::Lf);
    f.Fields(exgen::TaxonFields(L"Řád zkušební", {L"Čárkovití", L"Zkusus", L"aurifer", L"", L"Linné", 1758, false}));
    f.Fields(exgen::TaxonFields(L"Řád zkušební", {L"Čárkovití", L"Zkusus", L"violetus", L"obliquetus", L"Thomson", 1875, true}));
    return f.Bytes();
}

std::string RecordsFile()
{
    exgen::FileWriter f(exgen::kRecordsMagic, exgen::LineEnd::CrLf);
    exgen::WriteHeader(f, L"Řád zkušební");
    exgen::WriteSpecies(f, {L"Čárkovití", L"Zkusus", L"aurifer", L"", L"Linné", 1758, false});
    exgen::Locality l;
    l.country = L"Země zkušební";
    l.district = L"Okres A";
    l.municipality = L"Obec 1";
    l.locality = L"Pole";
    l.municipalityLon = L"140000";
    l.municipalityLat = L"500000";
    l.lonDeg = 14;
    l.latDeg = 49;
    l.latMin = 57;
    l.altitude = 300;
    exgen::Record r;
    r.collector = L"Novák";
    exgen::WriteRecord(f, &l, r);
    r.day = 2;  // the date and collector are the records' key
    exgen::WriteRecord(f, nullptr, r);
    return f.Bytes();
}

// Runs the Import command over the file with a source of the type, every mapping page left as the
// wizard matched it; the captions of the pages seen.
std::vector<std::wstring> ImportThroughTheForm(ExchangeForm* form, std::function<void(WORD)> command, int type,
                                               const std::wstring& file, int groups, const std::wstring& shot)
{
    std::vector<std::wstring> seen;
    g_steps = {[&] {
        HWND sheet = ImportWindow(true);
        if (!sheet)
            return false;
        HWND welcome = PropSheet_GetCurrentPageHwnd(sheet);
        SendDlgItemMessageW(welcome, IDC_IMP_SOURCE_TYPES, LB_SETCURSEL, (WPARAM)type, 0);
        SendMessageW(welcome, WM_COMMAND, MAKEWPARAM(IDC_IMP_SOURCE_TYPES, LBN_SELCHANGE),
                     (LPARAM)GetDlgItem(welcome, IDC_IMP_SOURCE_TYPES));
        SetDlgItemTextW(welcome, IDC_IMP_PATH, file.c_str());
        SendMessageW(welcome, WM_COMMAND, MAKEWPARAM(IDC_IMP_PATH, EN_KILLFOCUS), (LPARAM)GetDlgItem(welcome, IDC_IMP_PATH));
        EXPECT_EQ(ResString(IDS_I_SOURCE_OK), wintest::WindowText(GetDlgItem(welcome, IDC_IMP_STATUS)));
        PropSheet_PressButton(sheet, PSBTN_NEXT);
        return true;
    }};
    for (int g = 0; g < groups; ++g)
        g_steps.push_back([&, g] {
            HWND sheet = ImportWindow(true);
            if (!sheet || (int)seen.size() != g)
                return false;
            HWND page = PropSheet_GetCurrentPageHwnd(sheet);
            if (!GetDlgItem(page, IDC_IMP_GROUP_CAPTION))
                return false;
            seen.push_back(wintest::WindowText(GetDlgItem(page, IDC_IMP_GROUP_CAPTION)));
            wintest::SaveScreenshot(sheet, (shot + L"_group" + std::to_wstring(g + 1)).c_str());
            PropSheet_PressButton(sheet, (g + 1 == groups ? PSBTN_FINISH : PSBTN_NEXT));  // the macro casts without parentheses
            return true;
        });
    g_steps.push_back(ImportDoneStep(shot + L"_done"));
    RunSteps([&] { command(IDM_T_IMPORT); });
    (void)form;
    return seen;
}

TEST_F(ExchangeForm, TheImportCommandBringsInEachKindOfExchangeFile)
{
    RegisterPlexaW(PLEXA_INPLACECOMBOBOX | PLEXA_PROPERTYBOX);
    RegisterImportSources();
    exchangetest::ExchangeImport import;  // the copy of the sample and the logs' folder
    const std::wstring& target = import.Db();
    struct Case {
        int type;
        const wchar_t* file;
        std::string bytes;
        std::vector<int> captions;
        const wchar_t* shot;
    };
    const Case cases[] = {
        {IMPSRC_LOCALITY_2002, L"lokality.zxl", PlacesFile(), {53, 55}, L"utilities_exchange_zxl"},
        {IMPSRC_SYSTEM_2002, L"system.zxs", TaxaFile(), {50}, L"utilities_exchange_zxs"},
        {IMPSRC_RECORDS_2002, L"nalezy.zxf", RecordsFile(), {50, 53, 55, 56}, L"utilities_exchange_zxf"},
    };
    long long records = dbtest::QueryInt(target, L"SELECT COUNT(*) FROM ZORNACOLLS");
    ASSERT_NO_FATAL_FAILURE(StartForm());
    OpenFile(target);
    for (const Case& c : cases) {
        std::wstring file = folder_ + L"\\" + c.file;
        ASSERT_TRUE(exgen::WriteBytes(file, c.bytes));
        std::vector<std::wstring> seen = ImportThroughTheForm(
            this, [this](WORD id) { Command(id); }, c.type, file, (int)c.captions.size(), c.shot);
        ASSERT_EQ(c.captions.size(), seen.size()) << dbtest::Narrow(c.shot);
        for (size_t g = 0; g < seen.size(); ++g)
            EXPECT_EQ(ResString((UINT)c.captions[g]), seen[g]);
    }
    CloseForm();

    // The localities, with the units "Země" and "Obec" and the territorial unit made new, the
    // levels in the files' order.
    auto first = [&](const std::wstring& sql) { return dbtest::First(target, sql); };
    EXPECT_EQ(L"Země,Kraj,Okres,Obec,Lokalita",
              first(L"SELECT group_concat(NAME) FROM (SELECT NAME FROM LOCDEF WHERE LEVELID > 0 ORDER BY LEVELID)"));
    EXPECT_EQ(L"", TreeFaults(target));
    EXPECT_EQ(L"Země", first(L"SELECT NAME FROM LOCDEF WHERE LEVELID = (SELECT LOCLEVEL FROM LOCTREE WHERE NAME = 'Země zkušební')"));
    EXPECT_EQ(first(L"SELECT ID FROM LOCTREE WHERE NAME = 'Obec 1'"), first(L"SELECT PARENT FROM LOCTREE WHERE NAME = 'Les'"));
    double z = 300;
    std::wstring hex = exchangetest::WkbHex(14.0, 49.95, &z);
    EXPECT_EQ(hex.substr(2, 8), L"E9030000");  // a point with its altitude: type 1001
    EXPECT_EQ(hex, first(L"SELECT hex(GEOMETRY) FROM LOCTREE WHERE NAME = 'Pole'"));
    EXPECT_EQ(L"6050C", first(L"SELECT SQUARE FROM FEATURES F JOIN LOCTREE L ON L.ID = F.LOCID WHERE L.NAME = 'Pole'"));
    EXPECT_EQ(0u, first(L"SELECT F.NAME FROM FEATURES F JOIN LOCTREE L ON L.ID = F.LOCID WHERE L.NAME = 'Louka'").find(L"Louka (50° 0' 0"));
    // The taxa, and the records of the records file on them with their paths.
    std::wstring aurifer = first(L"SELECT SYSID FROM SPECIES WHERE NAME = 'Zkusus aurifer'");
    EXPECT_EQ(first(L"SELECT ID FROM SYSTREE WHERE NAME = 'violetus'"), first(L"SELECT PARENT FROM SYSTREE WHERE NAME = 'obliquetus'"));
    EXPECT_EQ(records + 2, dbtest::QueryInt(target, L"SELECT COUNT(*) FROM ZORNACOLLS"));
    EXPECT_EQ(2, dbtest::QueryInt(target, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYSID = " + aurifer +
                                              L" AND FTRID = (SELECT ID FROM LOCTREE WHERE NAME = 'Pole')"));
    EXPECT_EQ(first(L"SELECT ID FROM SYSTREE WHERE NAME = 'Zkusus'"),
              first(L"SELECT SYS_LEVEL_3 FROM ZORNACOLLS ORDER BY ID DESC LIMIT 1"));
    // Day, month and year as proposed: the records' date.
    EXPECT_EQ(L"2000-01-01,2000-01-02", first(L"SELECT group_concat(date(DATUM + 2415018.5)) FROM (SELECT * FROM "
                                              L"(SELECT ID, DATUM FROM ZORNACOLLS ORDER BY ID DESC LIMIT 2) ORDER BY ID)"));
    EXPECT_FALSE(import.LogsLeft());
}

}  // namespace
