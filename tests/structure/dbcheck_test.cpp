// Validation and repair, run headless on copies of the sample database: every kind of damage
// made with SQL and checked with SQL after the run, damage the check cannot repair listed in its
// log and never called success, writes that fail, a damaged file, a sound database left as it
// is, the cancel at the first step, and empty databases.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tools/testkit/rawodbc.h"
#include "resources/tarnix/resource.h"
#include "tests/support/wintest.h"
#include "tests/structure/tarnixtest.h"
#include "structure/dbcheck.h"
#include "structure/progressdlg.h"
#include "utilities/checklog.h"

namespace {

using namespace tarnixtest;
using dbtest::First;
using dbtest::Query;
using dbtest::QueryInt;
using dbtest::Rows;

// Statements on one connection with the foreign keys off, so that damage the keys would
// refuse can be made.
void Damage(const std::wstring& path, const std::vector<std::wstring>& statements)
{
    zor::RawOdbc raw;
    ASSERT_TRUE(raw.Open(path, false));
    ASSERT_TRUE(raw.Exec(L"PRAGMA foreign_keys = OFF"));
    for (const std::wstring& sql : statements)
        ASSERT_TRUE(raw.Exec(sql)) << dbtest::Narrow(sql) << " " << dbtest::Narrow(raw.LastError());
}

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// One run of the check on the calling thread, into a hidden progress dialog.
struct CheckResult {
    std::wstring status;
    std::wstring button;
    int callbacks = 0;
    int lastPosition = 0;
    bool finished = false;
    DbCheckLog log;
    // The log as one text, a line each.
    std::wstring LogText() const
    {
        std::wstring text;
        for (const std::wstring& line : log.Lines)
            text += line + L"\n";
        return text;
    }
};

std::function<bool(int)>* g_sink = nullptr;

bool SinkCallback(int position, ProgressParams* params)
{
    ProgressCallback(position, params);
    return (*g_sink)(position);
}

CheckResult RunCheck(const std::wstring& path, int flags, std::function<bool(int)> onStep = nullptr,
                     const wchar_t* screenshot = nullptr,
                     std::function<void(zdata::Connection*)> beforeRun = nullptr)
{
    CheckResult result;
    LoadedStructure s(path);
    s.Open();
    if (::testing::Test::HasFatalFailure())
        return result;
    HWND dlg = CreateDialogParamW(Inst(), L"SAVEPROGDLG", nullptr, Inert, 0);
    DbCheck check(s.Db().GetConnection(), flags);
    if (beforeRun)
        beforeRun(s.Db().GetConnection());
    ProgressParams params;
    params.hInstance = Inst();
    params.Dialog = dlg;
    params.Mode = PROGRESS_VALIDATION;
    params.Argument = &check;
    params.Model = &s.Model();
    std::function<bool(int)> sink = [&](int position) {
        ++result.callbacks;
        result.lastPosition = position;
        return onStep ? onStep(position) : false;
    };
    g_sink = &sink;
    params.Callback = SinkCallback;
    result.finished = RunDbCheck(&params);
    g_sink = nullptr;
    result.status = wintest::WindowText(GetDlgItem(dlg, IDC_PROGRESS_STATUS));
    result.button = wintest::WindowText(GetDlgItem(dlg, IDCANCEL));
    result.log = check.Log;
    EXPECT_EQ(result.status, check.Log.Outcome);
    EXPECT_EQ(check.Log.Success, result.status == ResString(IDS_T_CHECK_DONE));
    EXPECT_TRUE(params.Cancel.load()) << "the worker's end sets the cancel flag";
    if (screenshot) {
        ShowWindow(dlg, SW_SHOW);
        wintest::PumpMessages(50);
        wintest::SaveScreenshot(dlg, screenshot);
    }
    DestroyWindow(dlg);
    return result;
}

std::wstring CopySample(const std::wstring& from)
{
    return dbtest::CopyOfTemplate(from, dbtest::TestFolderName("tarnix_", true).c_str());
}

// The data-level items of the systematic tree in the tree's order (depth first, siblings by
// SYSPOS), as ABSOLUTEPOS must number them.
std::vector<std::wstring> SpeciesOrder(const std::wstring& path)
{
    std::map<std::wstring, std::vector<std::pair<std::wstring, std::wstring>>> children;
    for (const auto& r : Query(path, L"SELECT PARENT, ID, SYSLEVEL FROM SYSTREE WHERE ID > 0 ORDER BY PARENT, SYSPOS"))
        children[r[0]].push_back({r[1], r[2]});
    std::vector<std::wstring> dataLevels;
    for (const auto& r : Query(path, L"SELECT LEVELID FROM SYSDEF WHERE DATALEVEL <> 0"))
        dataLevels.push_back(r[0]);
    std::vector<std::wstring> order;
    std::function<void(const std::wstring&)> walk = [&](const std::wstring& parent) {
        for (const auto& c : children[parent]) {
            if (std::find(dataLevels.begin(), dataLevels.end(), c.second) != dataLevels.end())
                order.push_back(c.first);
            walk(c.first);
        }
    };
    walk(L"0");
    return order;
}

TEST(DbCheck, EveryKindOfDamageIsRepaired)
{
    std::wstring path = CopySample(SampleTemplate());
    // Items to damage: a genus with two species, a district and a locality of it, records.
    std::wstring genus = First(path, L"SELECT PARENT FROM SYSTREE WHERE SYSLEVEL = 4 GROUP BY PARENT HAVING COUNT(*) >= 2 ORDER BY PARENT LIMIT 1");
    Rows species = Query(path, L"SELECT ID FROM SYSTREE WHERE PARENT = " + genus + L" ORDER BY SYSPOS");
    std::wstring first = species[0][0], second = species[1][0];
    std::wstring stale = First(path, L"SELECT SYSID FROM SPECIES ORDER BY SYSID LIMIT 1 OFFSET 10");
    std::wstring missing = First(path, L"SELECT SYSID FROM SPECIES ORDER BY SYSID LIMIT 1 OFFSET 20");
    std::wstring district = First(path, L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 2 ORDER BY ID LIMIT 1");
    std::wstring locality = First(path, L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 3 ORDER BY ID LIMIT 1 OFFSET 3");
    std::wstring unlabelled = First(path, L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 3 ORDER BY ID LIMIT 1 OFFSET 7");
    Rows records = Query(path, L"SELECT ID FROM ZORNACOLLS ORDER BY ID LIMIT 3 OFFSET 5");
    const std::wstring paths = L"SELECT SYS_LEVEL_1, SYS_LEVEL_2, SYS_LEVEL_3, SYS_LEVEL_4, SYS_LEVEL_5, "
                               L"LOC_LEVEL_1, LOC_LEVEL_2, LOC_LEVEL_3 FROM ZORNACOLLS WHERE ID IN (" +
                               records[0][0] + L"," + records[1][0] + L"," + records[2][0] + L") ORDER BY ID";
    Rows goodPaths = Query(path, paths);
    std::wstring staleName = First(path, L"SELECT NAME FROM SPECIES WHERE SYSID = " + stale);
    std::wstring missingName = First(path, L"SELECT NAME FROM SPECIES WHERE SYSID = " + missing);
    std::wstring staleLabel = First(path, L"SELECT NAME FROM FEATURES WHERE LOCID = " + locality);
    std::wstring localityName = First(path, L"SELECT NAME FROM LOCTREE WHERE ID = " + unlabelled);
    ASSERT_FALSE(genus.empty());

    ASSERT_NO_FATAL_FAILURE(Damage(path, {
        L"INSERT INTO SPECIES (NAME, SYSID, ABSOLUTEPOS) VALUES ('Sirotek', 999999, 1)",
        L"INSERT INTO SPECIES (NAME, SYSID, ABSOLUTEPOS) VALUES ('Rod jako druh', " + genus + L", 2)",
        L"INSERT INTO FEATURES (LOCID, NAME) VALUES (999998, 'Ztracená')",
        L"INSERT INTO FEATURES (LOCID, NAME) VALUES (" + district + L", 'Okres jako lokalita')",
        L"UPDATE SPECIES SET ABSOLUTEPOS = ABSOLUTEPOS + 1 WHERE SYSID = " + first,
        L"UPDATE SPECIES SET ABSOLUTEPOS = ABSOLUTEPOS - 1 WHERE SYSID = " + second,
        L"UPDATE SPECIES SET NAME = 'Zastaralé jméno' WHERE SYSID = " + stale,
        L"DELETE FROM SPECIES WHERE SYSID = " + missing,
        L"UPDATE FEATURES SET NAME = 'Stará lokalita' WHERE LOCID = " + locality,
        L"DELETE FROM FEATURES WHERE LOCID = " + unlabelled,
        L"UPDATE ZORNACOLLS SET SYS_LEVEL_1 = NULL, SYS_LEVEL_4 = 4242, LOC_LEVEL_2 = 77 WHERE ID = " + records[0][0],
        L"UPDATE ZORNACOLLS SET SYS_LEVEL_5 = 1, LOC_LEVEL_3 = NULL WHERE ID = " + records[1][0],
        L"UPDATE ZORNACOLLS SET SYS_LEVEL_2 = SYS_LEVEL_3, LOC_LEVEL_1 = 5 WHERE ID = " + records[2][0],
    }));

    CheckResult r = RunCheck(path, DBCHECK_ALL);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.status, ResString(IDS_T_CHECK_DONE));
    EXPECT_EQ(r.button, L"&OK");
    // Each repair is in the log (the species renumbered after the missing one among them).
    EXPECT_EQ(r.log.Unrepaired, 0) << dbtest::Narrow(r.LogText());
    EXPECT_GE(r.log.Repaired, 13);
    for (const std::wstring& line : std::vector<std::wstring>{
             L"Druh \u201ESirotek\u201C (SYSID 999999): položka systému neexistuje – řádek smazán",
             L"Lokalita \u201EOkres jako lokalita\u201C (LOCID " + district +
                 L"): položka stromu lokalit není na úrovni s nálezy – řádek smazán",
             L"Druh ID " + stale + L": jméno \u201EZastaralé jméno\u201C místo \u201E" + staleName + L"\u201C – opraveno",
             L"Nález ID " + records[1][0] + L": zařazení neodpovídá stromu – opraveno"})
        EXPECT_NE(r.LogText().find(line), std::wstring::npos) << dbtest::Narrow(line);

    // Orphans and rows of levels that carry none are gone.
    EXPECT_EQ(QueryInt(path, L"SELECT COUNT(*) FROM SPECIES WHERE SYSID IN (999999, " + genus + L")"), 0);
    EXPECT_EQ(QueryInt(path, L"SELECT COUNT(*) FROM FEATURES WHERE LOCID IN (999998, " + district + L")"), 0);
    EXPECT_EQ(QueryInt(path, L"SELECT COUNT(*) FROM SPECIES S LEFT JOIN SYSTREE T ON T.ID = S.SYSID "
                             L"WHERE T.ID IS NULL OR T.SYSLEVEL < 4"), 0);
    // Names, the missing row and the order of the species.
    EXPECT_EQ(First(path, L"SELECT NAME FROM SPECIES WHERE SYSID = " + stale), staleName);
    EXPECT_EQ(First(path, L"SELECT NAME FROM SPECIES WHERE SYSID = " + missing), missingName);
    // The species are numbered 1, 2, 3 ... in the tree's order.
    std::vector<std::wstring> order = SpeciesOrder(path);
    std::map<std::wstring, std::wstring> positions;
    for (const auto& p : Query(path, L"SELECT SYSID, CAST(ABSOLUTEPOS AS INTEGER) FROM SPECIES"))
        positions[p[0]] = p[1];
    ASSERT_GT(order.size(), 100u);
    for (size_t i = 0; i < order.size(); ++i)
        ASSERT_EQ(positions[order[i]], std::to_wstring(i + 1)) << i;
    // Labels: the stale one composed again, the missing row back with the locality's label.
    EXPECT_EQ(First(path, L"SELECT NAME FROM FEATURES WHERE LOCID = " + locality), staleLabel);
    std::wstring label = First(path, L"SELECT NAME FROM FEATURES WHERE LOCID = " + unlabelled);
    EXPECT_EQ(label.compare(0, localityName.size() + 2, localityName + L" ("), 0) << dbtest::Narrow(label);
    // The record paths of both trees.
    EXPECT_EQ(Query(path, paths), goodPaths);

    // A second run finds nothing left to repair.
    std::wstring dump = DumpDatabase(path);
    CheckResult again = RunCheck(path, DBCHECK_ALL);
    EXPECT_TRUE(again.finished);
    EXPECT_TRUE(again.log.Lines.empty()) << dbtest::Narrow(again.LogText());
    EXPECT_EQ(DumpDatabase(path), dump);
}

TEST(DbCheck, ASoundDatabaseIsLeftAsItIs)
{
    const struct {
        const char* name;
        std::vector<std::wstring> made;
    } cases[] = {
        {"as the sample is made", {}},
        // Earlier imports wrote -1 where a record's path has no item: no item, as NULL is.
        {"-1 in the path columns of no item",
         {L"UPDATE ZORNACOLLS SET SYS_LEVEL_5 = -1 WHERE SYS_LEVEL_5 IS NULL",
          L"UPDATE ZORNACOLLS SET SYS_LEVEL_4 = -1 WHERE SYS_LEVEL_4 IS NULL",
          L"UPDATE ZORNACOLLS SET LOC_LEVEL_3 = -1 WHERE LOC_LEVEL_3 IS NULL"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring path = CopySample(SampleTemplate());
        if (!c.made.empty()) {
            ASSERT_NO_FATAL_FAILURE(Damage(path, c.made));
            ASSERT_GT(QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE -1 IN (SYS_LEVEL_4, SYS_LEVEL_5, LOC_LEVEL_3)"), 0);
        }
        std::wstring dump = DumpDatabase(path);
        CheckResult r = RunCheck(path, DBCHECK_ALL);
        EXPECT_TRUE(r.finished);
        EXPECT_TRUE(r.log.Lines.empty()) << dbtest::Narrow(r.LogText());
        EXPECT_EQ(DumpDatabase(path), dump);
        // Steps of every pass: about two per record and one per tree item and row; the bar goes
        // from 0 to 100 and is told only when it moves.
        long long steps = QueryInt(path, L"SELECT (SELECT COUNT(*) FROM SYSTREE) + (SELECT COUNT(*) FROM SPECIES) + "
                                         L"(SELECT COUNT(*) FROM LOCTREE WHERE LOCLEVEL > 2) + (SELECT COUNT(*) FROM FEATURES) + "
                                         L"2 * (SELECT COUNT(*) FROM ZORNACOLLS)");
        EXPECT_NEAR(r.callbacks, steps, 2);
        EXPECT_EQ(r.lastPosition, 100);
    }
}

TEST(DbCheck, LocalityRowsGoToDataLevelsOnly)
{
    // Districts carry records, localities do not: the districts get their rows, the
    // localities lose theirs, and a second run changes nothing.
    std::wstring path = CopySample(SampleTemplate());
    ASSERT_TRUE(dbtest::Exec(path, L"UPDATE LOCDEF SET DATALEVEL = (LEVELID = 2)"));
    EXPECT_TRUE(RunCheck(path, DBCHECK_LOCALITIES).finished);
    EXPECT_EQ(QueryInt(path, L"SELECT COUNT(*) FROM FEATURES F JOIN LOCTREE T ON T.ID = F.LOCID WHERE T.LOCLEVEL <> 2"), 0);
    EXPECT_EQ(QueryInt(path, L"SELECT COUNT(*) FROM FEATURES"), QueryInt(path, L"SELECT COUNT(*) FROM LOCTREE WHERE LOCLEVEL = 2"));
    std::wstring dump = DumpDatabase(path);
    EXPECT_TRUE(RunCheck(path, DBCHECK_LOCALITIES).finished);
    EXPECT_EQ(DumpDatabase(path), dump);
}

TEST(DbCheck, CancelAtTheFirstStepEndsTheRunThere)
{
    std::wstring path = CopySample(SampleTemplate());
    ASSERT_NO_FATAL_FAILURE(Damage(path, {L"UPDATE ZORNACOLLS SET SYS_LEVEL_1 = NULL"}));
    CheckResult r = RunCheck(path, DBCHECK_ALL, [](int) { return true; });
    EXPECT_FALSE(r.finished);
    EXPECT_EQ(r.callbacks, 1);
    EXPECT_EQ(r.status, ResString(IDS_T_CHECK_CANCELLED));
    EXPECT_EQ(r.status, L"Kontrola databáze byla přerušena");
    EXPECT_EQ(r.button, L"&OK");
    EXPECT_EQ(QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYS_LEVEL_1 IS NOT NULL"), 0);
}

namespace {

int g_beginsGranted = 0;

// Begins the first g_beginsGranted transactions of a run and refuses every later one.
HRESULT BeginOnlyGranted(zdata::Connection* connection)
{
    return g_beginsGranted-- > 0 ? connection->BeginTrans() : E_FAIL;
}

}  // namespace

TEST(DbCheck, APassWhoseTransactionDoesNotBeginStopsTheRunWritingNothing)
{
    std::wstring damagedName = L"UPDATE SPECIES SET NAME = 'Poškozené jméno' WHERE SYSID = "
                               L"(SELECT SYSID FROM SPECIES ORDER BY SYSID LIMIT 1 OFFSET 12)";
    struct Case {
        int flags;
        int granted;  // passes that begin (each pass of DBCHECK_ALL: species, order, localities,
                      // the locality tree, records twice)
        std::wstring damage;
    } cases[] = {{DBCHECK_ALL, 0, L""}, {DBCHECK_RECORDS, 0, L""}, {DBCHECK_ALL, 4, L""},
                 // The renumbering refused, after a species pass that finds nothing to delete.
                 {DBCHECK_SPECIES, 1, damagedName}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.granted);
        std::wstring path = CopySample(SampleTemplate());
        ASSERT_NO_FATAL_FAILURE(Damage(path, {L"UPDATE ZORNACOLLS SET SYS_LEVEL_1 = NULL WHERE ID % 7 = 0"}));
        if (!c.damage.empty()) {
            ASSERT_NO_FATAL_FAILURE(Damage(path, {c.damage}));
        }
        std::wstring before = DumpDatabase(path);
        long long damaged = QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYS_LEVEL_1 IS NULL");
        g_beginsGranted = c.granted;
        DbCheckBeginFn previous = SetDbCheckBegin(BeginOnlyGranted);
        CheckResult r = RunCheck(path, c.flags, nullptr, c.granted == 0 ? L"utilities_check_no_transaction" : nullptr);
        SetDbCheckBegin(previous);
        EXPECT_FALSE(r.finished);
        EXPECT_EQ(r.status, L"Kontrolu nelze provést: databáze nedovolila zahájit transakci. Soubor zůstal beze změny.");
        EXPECT_EQ(r.button, L"&OK");
        EXPECT_EQ(damaged, QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYS_LEVEL_1 IS NULL"));
        if (c.granted == 0 || !c.damage.empty()) {
            EXPECT_EQ(DumpDatabase(path), before);
        }
    }
}

// The last data-level item in the tree's order and its parent: made each other's parent, they
// and all below them lie off the tree, and no species reached from the top follows them.
std::pair<std::wstring, std::wstring> LastTaxonAndParent(const std::wstring& path)
{
    std::vector<std::wstring> order = SpeciesOrder(path);
    EXPECT_FALSE(order.empty());
    std::wstring last = order.empty() ? L"" : order.back();
    return {last, First(path, L"SELECT PARENT FROM SYSTREE WHERE ID = " + last)};
}

TEST(DbCheck, DamageItCannotRepairIsListedAndNeverCalledSuccess)
{
    std::wstring sample = SampleTemplate();
    std::pair<std::wstring, std::wstring> loop = LastTaxonAndParent(sample);
    std::wstring early = First(sample, L"SELECT SYSID FROM SPECIES ORDER BY ABSOLUTEPOS LIMIT 1");
    std::wstring record = First(sample, L"SELECT MIN(ID) FROM ZORNACOLLS WHERE SYSID = " + early);
    std::wstring orphan = First(sample, L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 3 AND ID IN (SELECT FTRID FROM ZORNACOLLS) "
                                        L"ORDER BY ID LIMIT 1 OFFSET 4");
    std::wstring orphanLabel = First(sample, L"SELECT NAME FROM FEATURES WHERE LOCID = " + orphan);
    std::wstring region = First(sample, L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 1 ORDER BY ID LIMIT 1");
    std::wstring loopName = First(sample, L"SELECT NAME FROM SYSTREE WHERE ID = " + loop.first);
    std::wstring parentName = First(sample, L"SELECT NAME FROM SYSTREE WHERE ID = " + loop.second);
    ASSERT_FALSE(record.empty());
    ASSERT_NE(orphanLabel, L"<none>");
    bool lastFirst = std::stoi(loop.first) < std::stoi(loop.second);
    // Cut off with the two: everything below the parent.
    std::wstring detached = First(sample, L"WITH RECURSIVE SUB(ID) AS (SELECT " + loop.second +
                                              L" UNION ALL SELECT T.ID FROM SYSTREE T JOIN SUB ON T.PARENT = SUB.ID) "
                                              L"SELECT group_concat(ID) FROM SUB");
    struct Case {
        const char* what;
        std::vector<std::wstring> damage;
        std::wstring logLine;  // the finding with how it ended
        bool repaired;
    } cases[] = {
        {"a record of a species that is not there",
         {L"UPDATE ZORNACOLLS SET SYSID = 999997 WHERE ID = " + record},
         L"Nález ID " + record + L": jeho druh (ID 999997) v systému není – neopraveno, nález zůstal beze změny", false},
        {"a locality whose parent is not there",
         {L"UPDATE LOCTREE SET PARENT = 999996, NAME = 'Sirotek bez rodiče' WHERE ID = " + orphan},
         L"Položka \u201ESirotek bez rodiče\u201C (ID " + orphan + L") má nadřazenou položku ID 999996, která neexistuje; "
         L"mimo strom je tak položek: 1 – neopraveno", false},
        {"two taxa that are each other's parent",
         {L"UPDATE SYSTREE SET PARENT = " + loop.first + L" WHERE ID = " + loop.second},
         L"Položky \u201E" + (lastFirst ? loopName : parentName) + L"\u201C (ID " +
             (lastFirst ? loop.first : loop.second) + L") a \u201E" + (lastFirst ? parentName : loopName) +
             L"\u201C (ID " + (lastFirst ? loop.second : loop.first) + L") jsou si navzájem nadřazené (kruh); "
             L"mimo strom je tak položek: " + std::to_wstring(std::count(detached.begin(), detached.end(), L',') + 1), false},
        {"a locality row at the Kraj level",
         {L"INSERT INTO FEATURES (LOCID, NAME) VALUES (" + region + L", 'Kraj jako lokalita')"},
         L"Lokalita \u201EKraj jako lokalita\u201C (LOCID " + region +
             L"): položka stromu lokalit není na úrovni s nálezy – řádek smazán", true},
    };
    // Each damage alone: found and in the log; the repaired one is gone, the others leave the
    // file exactly as damaged.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring path = CopySample(sample);
        std::wstring sound = DumpDatabase(path);
        ASSERT_NO_FATAL_FAILURE(Damage(path, c.damage));
        std::wstring damaged = DumpDatabase(path);
        CheckResult r = RunCheck(path, DBCHECK_ALL);
        EXPECT_NE(r.LogText().find(c.logLine), std::wstring::npos) << dbtest::Narrow(r.LogText());
        EXPECT_EQ(r.log.Success, c.repaired) << dbtest::Narrow(r.status);
        EXPECT_EQ(r.status.find(L"úspěšně") == std::wstring::npos, !c.repaired) << dbtest::Narrow(r.status);
        EXPECT_EQ(r.log.Unrepaired > 0, !c.repaired);
        EXPECT_TRUE(DumpDatabase(path) == (c.repaired ? sound : damaged));
        EXPECT_EQ(QueryInt(path, L"SELECT COUNT(*) FROM FEATURES WHERE NAME LIKE '%()%'"), 0);
    }

    // All of it in one copy: the Kraj row is repaired and nothing else changes.
    std::wstring path = CopySample(sample);
    for (const Case& c : cases) {
        if (!c.repaired) {
            ASSERT_NO_FATAL_FAILURE(Damage(path, c.damage));
        }
    }
    std::wstring unrepairable = DumpDatabase(path);
    for (const Case& c : cases) {
        if (c.repaired) {
            ASSERT_NO_FATAL_FAILURE(Damage(path, c.damage));
        }
    }
    CheckResult r = RunCheck(path, DBCHECK_ALL, nullptr, L"utilities_check_unrepaired");
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.status.find(L"úspěšně"), std::wstring::npos) << dbtest::Narrow(r.status);
    EXPECT_EQ(r.log.Repaired, 1);
    EXPECT_EQ(r.log.FailedWrites, 0);
    // Three tree faults and the records they leave without a path they could be given.
    long long unplaced = QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE ID = " + record + L" OR SYSID IN (" +
                                            detached + L")") +
                         QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE FTRID = " + orphan);
    EXPECT_EQ(r.log.Unrepaired, 2 + unplaced);
    EXPECT_EQ(r.status, L"Kontrola dat skončila, ale ne vše se podařilo opravit (opraveno: 1, neopraveno: " +
                            std::to_wstring(r.log.Unrepaired) + L"). Podrobnosti jsou v záznamu kontroly.");
    for (const Case& c : cases)
        EXPECT_NE(r.LogText().find(c.logLine), std::wstring::npos) << c.what;
    EXPECT_TRUE(DumpDatabase(path) == unrepairable);
    EXPECT_EQ(First(path, L"SELECT NAME FROM FEATURES WHERE LOCID = " + orphan), orphanLabel);

    // The log window shows how the run ended and every section.
    std::wstring shown, outcome;
    OnDialog(L"Záznam kontroly databáze", [&](HWND dlg) {
        outcome = wintest::WindowText(GetDlgItem(dlg, IDC_CHECKLOG_OUTCOME));
        HWND text = GetDlgItem(dlg, IDC_CHECKLOG_TEXT);
        shown.resize((size_t)GetWindowTextLengthW(text) + 1);
        shown.resize((size_t)GetWindowTextW(text, &shown[0], (int)shown.size()));
        wintest::SaveScreenshot(dlg, L"utilities_check_log");
        PostMessageW(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0);
    });
    ShowCheckLog(Inst(), nullptr, &r.log);
    EXPECT_EQ(outcome, r.status);
    for (const wchar_t* section : {L"Strom systému\r\n", L"Strom lokalit\r\n", L"Lokality bez položky stromu lokalit\r\n",
                                   L"Nálezy: zařazení v systému\r\n", L"Nálezy: zařazení ve stromu lokalit\r\n"})
        EXPECT_NE(shown.find(section), std::wstring::npos) << dbtest::Narrow(section);
}

namespace {

int g_commitsGranted = 0;

// Commits the first g_commitsGranted transactions of a run and refuses every later one.
HRESULT CommitOnlyGranted(zdata::Connection* connection)
{
    return g_commitsGranted-- > 0 ? connection->CommitTrans() : E_FAIL;
}

}  // namespace

TEST(DbCheck, AWriteThatFailsIsCountedAndTheRunSaysWhatWasNotDone)
{
    const std::wstring allPaths = L"SYS_LEVEL_1 = NULL, SYS_LEVEL_2 = NULL, SYS_LEVEL_3 = NULL, SYS_LEVEL_4 = NULL, "
                                  L"SYS_LEVEL_5 = NULL, LOC_LEVEL_1 = NULL, LOC_LEVEL_2 = NULL, LOC_LEVEL_3 = NULL";
    const std::wstring notSaved = L"Kontrola dat nebyla dokončena: změny kroku \u201ENálezy: zařazení v systému\u201C se "
                                  L"nepodařilo uložit. Podrobnosti jsou v záznamu kontroly.";
    struct Case {
        const char* what;
        std::vector<std::wstring> damage;
        std::function<void(zdata::Connection*)> beforeRun;
        int commits;  // granted; -1: every commit
        enum { ROWS_REFUSED, PASS_UNDONE, DISK_FULL } expect;
    } cases[] = {
        {"a trigger refuses some rows",
         {L"UPDATE ZORNACOLLS SET SYS_LEVEL_1 = NULL",
          L"CREATE TRIGGER REFUSE_SOME BEFORE UPDATE ON ZORNACOLLS WHEN OLD.ID % 50 = 0 "
          L"BEGIN SELECT RAISE(ABORT, 'refused'); END"},
         nullptr, -1, Case::ROWS_REFUSED},
        {"the disk is full",
         {L"UPDATE ZORNACOLLS SET " + allPaths, L"VACUUM"},
         [](zdata::Connection* c) {
             zdata::Recordset* rs = nullptr;
             ASSERT_TRUE(SUCCEEDED(c->Execute(L"PRAGMA page_count", nullptr, adCmdText, &rs)) && rs);
             rs->MoveFirst();
             VARIANT pages;
             VariantInit(&pages);
             zdata::Fields* fields = nullptr;
             zdata::Field* field = nullptr;
             rs->get_Fields(&fields);
             fields->Item(0L, &field);
             field->get_Value(&pages);
             field->Release();
             fields->Release();
             rs->Release();
             VariantChangeType(&pages, &pages, 0, VT_I4);
             std::wstring full = L"PRAGMA max_page_count = " + std::to_wstring(pages.lVal);
             ASSERT_TRUE(SUCCEEDED(c->Execute(full.c_str())));
         },
         -1, Case::DISK_FULL},
        {"the commit fails", {L"UPDATE ZORNACOLLS SET SYS_LEVEL_1 = NULL"}, nullptr, 4, Case::PASS_UNDONE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring path = CopySample(SampleTemplate());
        ASSERT_NO_FATAL_FAILURE(Damage(path, c.damage));
        std::wstring damaged = DumpDatabase(path);
        long long wrong = QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYS_LEVEL_1 IS NULL");
        g_commitsGranted = c.commits;
        DbCheckBeginFn previous = SetDbCheckCommit(c.commits >= 0 ? CommitOnlyGranted : nullptr);
        CheckResult r = RunCheck(path, DBCHECK_ALL, nullptr, nullptr, c.beforeRun);
        SetDbCheckCommit(previous);
        EXPECT_EQ(r.status.find(L"úspěšně"), std::wstring::npos) << dbtest::Narrow(r.status);
        EXPECT_FALSE(r.log.Success);
        long long left = QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYS_LEVEL_1 IS NULL");
        if (c.expect == Case::ROWS_REFUSED) {
            // The refused rows stay as they were, each counted and listed with the refusal.
            long long refused = QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE ID % 50 = 0");
            EXPECT_EQ(left, refused);
            EXPECT_EQ(r.log.FailedWrites, refused);
            EXPECT_EQ(r.log.Unrepaired, refused);
            EXPECT_EQ(r.status, L"Kontrola dat skončila, ale ne vše se podařilo opravit (opraveno: " +
                                    std::to_wstring(wrong - refused) + L", neopraveno: " + std::to_wstring(refused) +
                                    L"). Podrobnosti jsou v záznamu kontroly.");
            EXPECT_NE(r.LogText().find(L"Nález ID 50: zařazení neodpovídá stromu – neopraveno, zápis selhal: "
                                       L"Databáze požadavek odmítla."),
                      std::wstring::npos)
                << dbtest::Narrow(r.LogText());
        } else if (c.expect == Case::DISK_FULL) {
            // Rows that found no room stay as they were, each counted.
            EXPECT_GT(r.log.FailedWrites, 0);
            EXPECT_EQ(left, wrong);
            // The pass the full disk ended is undone whole and the run stops there: nothing is
            // written after it outside a transaction, and the message names that pass.
            EXPECT_EQ(r.log.Repaired, 0);
            EXPECT_EQ(r.status, notSaved);
            EXPECT_TRUE(DumpDatabase(path) == damaged);
            EXPECT_NE(r.LogText().find(L"zápis selhal: Na disku s databází není dost místa, změna nebyla zapsána."),
                      std::wstring::npos)
                << dbtest::Narrow(r.LogText());
        } else {
            // The pass is undone whole and the run ends there: no record is repaired, none counted so.
            EXPECT_EQ(r.status, notSaved);
            EXPECT_EQ(left, wrong);
            EXPECT_EQ(r.log.Repaired, 0);
            EXPECT_GE(r.log.Unrepaired, wrong);
            EXPECT_TRUE(DumpDatabase(path) == damaged);
        }
    }
}

TEST(DbCheck, ADamagedFileIsReportedAndNothingIsRepaired)
{
    std::wstring path = CopySample(SampleTemplate());
    ASSERT_NO_FATAL_FAILURE(Damage(path, {L"UPDATE ZORNACOLLS SET SYS_LEVEL_1 = NULL WHERE ID % 7 = 0"}));
    // The header of the page in the middle of the file overwritten: that page holds together no more.
    long long pageSize = QueryInt(path, L"PRAGMA page_size");
    long long pages = QueryInt(path, L"PRAGMA page_count");
    ASSERT_GT(pages, 20);
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LARGE_INTEGER at;
        at.QuadPart = (pages / 2) * pageSize;
        SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
        BYTE junk[16];
        memset(junk, 0x5A, sizeof junk);
        DWORD written = 0;
        WriteFile(file, junk, sizeof junk, &written, nullptr);
        CloseHandle(file);
        ASSERT_EQ(written, sizeof junk);
    }
    ASSERT_NE(First(path, L"PRAGMA integrity_check"), L"ok");
    std::string before, after;
    auto readFile = [](const std::wstring& file, std::string* out) {
        HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        LARGE_INTEGER size;
        GetFileSizeEx(h, &size);
        out->resize((size_t)size.QuadPart);
        DWORD read = 0;
        ReadFile(h, &(*out)[0], (DWORD)size.QuadPart, &read, nullptr);
        CloseHandle(h);
    };
    ASSERT_NO_FATAL_FAILURE(readFile(path, &before));
    CheckResult r = RunCheck(path, DBCHECK_ALL, nullptr, L"utilities_check_damaged_file");
    EXPECT_FALSE(r.finished);
    EXPECT_EQ(r.status, L"Databázový soubor je poškozený, kontrola dat proto nic neopravila. Obnovte databázi ze zálohy, "
                        L"nebo nechte opravit kopii souboru.");
    ASSERT_GE(r.log.Lines.size(), 3u) << dbtest::Narrow(r.LogText());
    EXPECT_EQ(r.log.Lines[0], L"Soubor databáze");
    EXPECT_EQ(r.log.Lines[1].find(L"    Kontrola souboru hlásí: "), 0u) << dbtest::Narrow(r.log.Lines[1]);
    EXPECT_EQ(r.log.Repaired, 0);
    ASSERT_NO_FATAL_FAILURE(readFile(path, &after));
    EXPECT_TRUE(after == before) << "nothing was written to the damaged file";
}

TEST(DbCheck, EmptyDatabasesEndWithSuccessForEveryChoice)
{
    std::wstring path = CopySample(EmptyTemplate());
    for (int flags : {(int)DBCHECK_SPECIES, (int)DBCHECK_LOCALITIES, (int)DBCHECK_RECORDS, (int)DBCHECK_ALL, 0}) {
        CheckResult r = RunCheck(path, flags);
        EXPECT_TRUE(r.finished) << flags;
        EXPECT_EQ(r.status, L"Kontrola dat byla úspěšně dokončena") << flags;
    }
}

TEST(DbCheck, LevelHelpersReadTheModelsLevelList)
{
    StructureModel model;
    InitStructureModel(&model);
    ItemList* levels = &model.Lists[MODEL_LOC_LEVELS];
    const int ids[] = {3, 5, 8};
    const int data[] = {0, -1, 1};
    for (int k = 0; k < 3; ++k) {
        LevelEntry* e = NewLevelEntry();
        e->OrigLevelId = ids[k];
        e->DataLevel = data[k];
        ItemListAdd(e, levels);
    }
    EXPECT_EQ(FirstDataLevel(levels), 5);
    EXPECT_TRUE(IsDataLevel(levels, 8));
    EXPECT_FALSE(IsDataLevel(levels, 3));
    EXPECT_FALSE(IsDataLevel(levels, 4));
    EXPECT_EQ(LevelIndex(levels, 8), 2);
    EXPECT_EQ(LevelIndex(levels, 9), -1);
    int count = 0;
    int* dataIds = DataLevelIds(levels, &count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(dataIds[0], 5);
    EXPECT_EQ(dataIds[1], 8);
    free(dataIds);
    ItemListClear(levels);
    EXPECT_EQ(FirstDataLevel(levels), -1);
    EXPECT_EQ(DataLevelIds(levels, &count), nullptr);
    ClearStructureModel(&model);
    FreeStructureModel(&model);
}

}  // namespace
