// Figures of the tree edits on a large records database, each beside the bare writes of the same
// change by hand over raw ODBC in one transaction, measured in the same run:
//   a genus of 200 species with 20,000 records moved to a family of another order (sibling
//   position, species order of the family, composed names, the records' level path columns);
//   10,000 records reassigned to another locality (locality and its level path columns).
//
//   treemove_bench.exe <database path> [-n <records>] [--runs <count>]
//
// The database is not changed: the benchmark works on a copy beside it, where it first builds
// the genus (the generator makes none that large) and the target locality with SQL. A missing
// database is made first with ZorSampleDb.exe from the same folder (1,000,000 records by default).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "bench/benchtree.h"
#include "core/database.h"
#include "tools/testkit/rawodbc.h"
#include "core/zm_messages.h"

namespace {

using namespace benchtree;

// ---- the bare writes by hand ------------------------------------------------------------------

double RawMove(RawOdbc& db, const Situation& s, int family, int order)
{
    double t0 = NowSeconds();
    db.Begin();
    long long pos = db.QueryInt(L"SELECT MAX(SYSPOS) FROM SYSTREE WHERE PARENT = " + Num(family), 0) + 1;
    Exec(db, L"UPDATE SYSTREE SET PARENT = " + Num(family) + L", SYSPOS = " + Num(pos) + L" WHERE ID = " +
                 Num(s.genus));
    RawStatement abs;
    abs.Prepare(db, L"UPDATE SPECIES SET ABSOLUTEPOS = ? WHERE SYSID = ?");
    double base = 2e7 + NowSeconds();
    for (int i = 0; i < kSpecies; ++i) {
        abs.SetDouble(1, base + i);
        abs.SetInt(2, s.firstSpecies + i);
        abs.Execute();
    }
    RawStatement paths;
    paths.Prepare(db, L"UPDATE ZORNACOLLS SET SYS_LEVEL_1 = ?, SYS_LEVEL_2 = ? WHERE SYSID = ?");
    for (int i = 0; i < kSpecies; ++i) {
        paths.SetInt(1, order);
        paths.SetInt(2, family);
        paths.SetInt(3, s.firstSpecies + i);
        paths.Execute();
    }
    db.Commit();
    return NowSeconds() - t0;
}

double RawReassign(RawOdbc& db, const Situation& s, int locality, const int* path)
{
    double t0 = NowSeconds();
    db.Begin();
    std::wstring sql = L"UPDATE ZORNACOLLS SET FTRID = " + Num(locality) + L", LOC_LEVEL_1 = " + Num(path[1]) +
                       L", LOC_LEVEL_2 = " + Num(path[2]) + L", LOC_LEVEL_3 = " + Num(path[3]) + L" WHERE ID IN (";
    for (size_t i = 0; i < s.records.size(); ++i)
        sql += (i ? L", " : L"") + Num(s.records[i]);
    sql += L")";
    Exec(db, sql);
    db.Commit();
    return NowSeconds() - t0;
}

}  // namespace

int main()
{
    int runs = 3;
    std::wstring path;
    if (int code = ReadBenchArgs({ { L"--runs", &runs, 1 } }, PathWords::Strict, stderr,
                                 "Usage: treemove_bench <database path> [-n <records>] [--runs <count>]\n"
                                 "  A missing database is made with \"ZorSampleDb -o <path> -n <records>\" (default 1000000).\n",
                                 &path))
        return code;
    std::wstring copy = path + L".treemove.db";
    if (!CopyDatabase(path, copy))
        return 1;
    Situation s;
    double t0 = NowSeconds();
    if (!Build(copy, &s)) {
        fprintf(stderr, "the genus and the locality could not be built\n");
        return 1;
    }
    printf("database %ls (copy): genus %d with %d species and %d records moved to a family with %d species;"
           " %zu records reassigned (prepared in %.1f s)\n", path.c_str(), s.genus, kSpecies, kGenusRecords,
           s.otherFamilySpecies, s.records.size(), NowSeconds() - t0);

    HWND main = CreateDbWindow(L"ZorTreeMoveBench", 0, 0, 0, HWND_MESSAGE);
    CDatabase* db = new CDatabase(main, GetModuleHandleW(nullptr));
    ConnSettings settings = {};
    if (!OpenDatabase(*db, &settings, copy) || !db->GetSysTreeRs() || !db->GetLocTreeRs()) {
        fprintf(stderr, "the database object could not open the copy\n");
        return 1;
    }

    RawOdbc raw;
    if (!raw.Open(copy, false))
        return 1;
    std::vector<double> tMove, tMoveRaw, tReassign, tReassignRaw;
    bool ok = true;
    for (int r = 0; r < runs && ok; ++r) {
        // The database object moves the genus to the other family and the records to one new
        // locality; by hand they go back (to the home family and to a second new locality).
        double a = NowSeconds();
        ok = db->MoveSysItems(s.otherFamily, 1, &s.genus) == 1;
        tMove.push_back(NowSeconds() - a);
        ok = ok && CheckMoved(raw, s, s.otherFamily, s.otherOrder);
        tMoveRaw.push_back(RawMove(raw, s, s.homeFamily, s.homeOrder));
        ok = ok && CheckMoved(raw, s, s.homeFamily, s.homeOrder);
        // The cached tree learns of the move back.
        db->GetSysTreeRs()->Requery();

        a = NowSeconds();
        ok = ok && db->MoveRecords(s.otherLocality, 2, (int)s.records.size(), s.records.data()) == 1;
        tReassign.push_back(NowSeconds() - a);
        ok = ok && CheckReassigned(raw, s, s.otherLocality, s.otherLocalityPath);
        tReassignRaw.push_back(RawReassign(raw, s, s.homeLocality, s.homeLocalityPath));
        ok = ok && CheckReassigned(raw, s, s.homeLocality, s.homeLocalityPath);
    }
    delete db;
    free(settings.DBName);
    raw.Close();
    DeleteFileW(copy.c_str());
    if (!ok) {
        fprintf(stderr, "a run failed\n");
        return 1;
    }
    double move = Median(tMove), moveRaw = Median(tMoveRaw);
    double reassign = Median(tReassign), reassignRaw = Median(tReassignRaw);
    printf("\n%-60s %10s %10s %7s  %-8s %s\n", "figure (median of runs)", "database", "by hand", "ratio", "target",
           "result");
    printf("%s\n", std::string(108, '-').c_str());
    printf("%-60s %8.3f s %8.3f s %6.1fx  %-8s %s\n", "genus of 200 species, 20,000 records to another family", move,
           moveRaw, moveRaw > 0 ? move / moveRaw : 0, "< 1 s", move < 1 ? "pass" : "FAIL");
    printf("%-60s %8.3f s %8.3f s %6.1fx  %-8s %s\n", "10,000 records to another locality", reassign, reassignRaw,
           reassignRaw > 0 ? reassign / reassignRaw : 0, "< 1 s", reassign < 1 ? "pass" : "FAIL");
    return move < 1 && reassign < 1 ? 0 : 1;
}
