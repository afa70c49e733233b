// Validation and repair, run headless on copies of the sample database: every kind of damage
// made with SQL and checked with SQL after the run, a sound database left as it is, the
// cancel at the first step, and empty databases.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
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
};

std::function<bool(int)>* g_sink = nullptr;

bool SinkCallback(int position, ProgressParams* params)
{
    ProgressCallback(position, params);
    return (*g_sink)(position);
}

CheckResult RunCheck(const std::wstring& path, int flags, std::function<bool(int)> onStep = nullptr,
                     const wchar_t* screenshot = nullptr)
{
    CheckResult result;
    LoadedStructure s(path);
    s.Open();
    if (::testing::Test::HasFatalFailure())
        return result;
    HWND dlg = CreateDialogParamW(Inst(), L"SAVEPROGDLG", nullptr, Inert, 0);
    DbCheck check(s.Db().GetConnection(), flags);
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
    // A species whose genus is made its child: a PARENT cycle with records.
    std::wstring looped = First(path, L"SELECT SYSID FROM ZORNACOLLS WHERE SYSID NOT IN (" + first + L"," + second +
                                          L") AND SYSID IN (SELECT ID FROM SYSTREE WHERE SYSLEVEL = 4) GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1");
    std::wstring loopedGenus = First(path, L"SELECT PARENT FROM SYSTREE WHERE ID = " + looped);
    ASSERT_EQ(First(path, L"SELECT SYSLEVEL FROM SYSTREE WHERE ID = " + looped), L"4");
    Rows records = Query(path, L"SELECT ID FROM ZORNACOLLS WHERE SYS_LEVEL_3 IS NULL OR SYS_LEVEL_3 <> " +
                                   loopedGenus + L" ORDER BY ID LIMIT 3 OFFSET 5");
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
        L"UPDATE SYSTREE SET PARENT = " + looped + L" WHERE ID = " + loopedGenus,
    }));

    CheckResult r = RunCheck(path, DBCHECK_ALL);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.status, ResString(IDS_T_CHECK_DONE));
    EXPECT_EQ(r.button, L"&OK");

    // Orphans and rows of levels that carry none are gone.
    EXPECT_EQ(QueryInt(path, L"SELECT COUNT(*) FROM SPECIES WHERE SYSID IN (999999, " + genus + L")"), 0);
    EXPECT_EQ(QueryInt(path, L"SELECT COUNT(*) FROM FEATURES WHERE LOCID IN (999998, " + district + L")"), 0);
    EXPECT_EQ(QueryInt(path, L"SELECT COUNT(*) FROM SPECIES S LEFT JOIN SYSTREE T ON T.ID = S.SYSID "
                             L"WHERE T.ID IS NULL OR T.SYSLEVEL < 4"), 0);
    // Names, the missing row and the order of the species.
    EXPECT_EQ(First(path, L"SELECT NAME FROM SPECIES WHERE SYSID = " + stale), staleName);
    EXPECT_EQ(First(path, L"SELECT NAME FROM SPECIES WHERE SYSID = " + missing), missingName);
    // The species reached from the top are numbered 1, 2, 3 ... in the tree's order; those of
    // the cycle lie outside the tree and keep their numbers.
    std::vector<std::wstring> order = SpeciesOrder(path);
    std::map<std::wstring, std::wstring> positions;
    for (const auto& p : Query(path, L"SELECT SYSID, CAST(ABSOLUTEPOS AS INTEGER) FROM SPECIES"))
        positions[p[0]] = p[1];
    ASSERT_GT(order.size(), 100u);
    EXPECT_EQ(std::find(order.begin(), order.end(), looped), order.end());
    for (size_t i = 0; i < order.size(); ++i)
        ASSERT_EQ(positions[order[i]], std::to_wstring(i + 1)) << i;
    // Labels: the stale one composed again, the missing row back with the locality's label.
    EXPECT_EQ(First(path, L"SELECT NAME FROM FEATURES WHERE LOCID = " + locality), staleLabel);
    std::wstring label = First(path, L"SELECT NAME FROM FEATURES WHERE LOCID = " + unlabelled);
    EXPECT_EQ(label.compare(0, localityName.size() + 2, localityName + L" ("), 0) << dbtest::Narrow(label);
    // The record paths of both trees.
    EXPECT_EQ(Query(path, paths), goodPaths);
    // Records of the species in the cycle: the walk stops; the item and its genus are on the path.
    Rows loopPath = Query(path, L"SELECT DISTINCT SYS_LEVEL_1, SYS_LEVEL_2, SYS_LEVEL_3, SYS_LEVEL_4, SYS_LEVEL_5 "
                                L"FROM ZORNACOLLS WHERE SYSID = " + looped);
    ASSERT_EQ(loopPath.size(), 1u);
    EXPECT_EQ(loopPath[0], (std::vector<std::wstring>{L"<NULL>", L"<NULL>", loopedGenus, looped, L"<NULL>"}));

    // A second run finds nothing left to repair.
    std::wstring dump = DumpDatabase(path);
    EXPECT_TRUE(RunCheck(path, DBCHECK_ALL).finished);
    EXPECT_EQ(DumpDatabase(path), dump);
}

TEST(DbCheck, ASoundDatabaseIsLeftAsItIs)
{
    std::wstring path = CopySample(SampleTemplate());
    std::wstring dump = DumpDatabase(path);
    CheckResult r = RunCheck(path, DBCHECK_ALL);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(DumpDatabase(path), dump);
    // Steps of every pass: about two per record and one per tree item and row; the bar goes from
    // 0 to 100 and is told only when it moves.
    long long steps = QueryInt(path, L"SELECT (SELECT COUNT(*) FROM SYSTREE) + (SELECT COUNT(*) FROM SPECIES) + "
                                     L"(SELECT COUNT(*) FROM LOCTREE WHERE LOCLEVEL > 2) + (SELECT COUNT(*) FROM FEATURES) + "
                                     L"2 * (SELECT COUNT(*) FROM ZORNACOLLS)");
    EXPECT_NEAR(r.callbacks, steps, 2);
    EXPECT_EQ(r.lastPosition, 100);
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
    struct Case {
        int flags;
        int granted;  // passes that begin (each pass of DBCHECK_ALL: species, order, localities,
                      // the locality tree, records twice)
    } cases[] = {{DBCHECK_ALL, 0}, {DBCHECK_RECORDS, 0}, {DBCHECK_ALL, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.granted);
        std::wstring path = CopySample(SampleTemplate());
        ASSERT_NO_FATAL_FAILURE(Damage(path, {L"UPDATE ZORNACOLLS SET SYS_LEVEL_1 = NULL WHERE ID % 7 = 0"}));
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
        if (c.granted == 0) {
            EXPECT_EQ(DumpDatabase(path), before);
        }
    }
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
