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
#include "core/database.h"
#include "core/rawodbc.h"
#include "core/zm_messages.h"

using zor::RawOdbc;
using zor::RawStatement;
using Rows = std::vector<std::vector<std::wstring>>;

namespace {

std::wstring Num(long long n)
{
    return std::to_wstring(n);
}

bool Exec(RawOdbc& db, const std::wstring& sql)
{
    if (db.Exec(sql))
        return true;
    fprintf(stderr, "SQL failed: %ls\n  %ls\n", sql.c_str(), db.LastError().c_str());
    return false;
}

// ---- the situation ------------------------------------------------------------------------

const int kSpecies = 200;
const int kGenusRecords = 20000;
const int kReassigned = 10000;

struct Situation {
    int genus = 0;         // the new genus
    int firstSpecies = 0;  // genus + 1 ... genus + kSpecies
    int homeFamily = 0, homeOrder = 0;
    int otherFamily = 0, otherOrder = 0, otherFamilySpecies = 0;
    int homeLocality = 0, otherLocality = 0;  // two new localities of one district
    int otherLocalityPath[4] = {};
    int homeLocalityPath[4] = {};
    std::vector<int> records;  // the records that are reassigned
};

bool Build(const std::wstring& path, Situation* s)
{
    RawOdbc db;
    if (!db.Open(path, false)) {
        fprintf(stderr, "cannot open the copy: %ls\n", db.LastError().c_str());
        return false;
    }
    // Two families in different orders.
    Rows fam;
    if (!db.Query(L"SELECT F.ID, F.PARENT FROM SYSTREE F WHERE F.SYSLEVEL = 2 ORDER BY F.PARENT, F.SYSPOS", fam) ||
        fam.size() < 2)
        return false;
    s->homeFamily = _wtoi(fam.front()[0].c_str());
    s->homeOrder = _wtoi(fam.front()[1].c_str());
    // The target is the family with the most species outside the home order: every species
    // below it is spread again.
    Rows big;
    if (!db.Query(L"SELECT F.ID, F.PARENT, COUNT(*) FROM SYSTREE F JOIN SYSTREE G ON G.PARENT = F.ID "
                  L"JOIN SYSTREE S ON S.PARENT = G.ID WHERE F.SYSLEVEL = 2 AND F.PARENT <> " +
                      Num(s->homeOrder) + L" GROUP BY F.ID, F.PARENT ORDER BY 3 DESC LIMIT 1", big) ||
        big.empty())
        return false;
    s->otherFamily = _wtoi(big[0][0].c_str());
    s->otherOrder = _wtoi(big[0][1].c_str());
    s->otherFamilySpecies = _wtoi(big[0][2].c_str());
    s->genus = (int)db.QueryInt(L"SELECT MAX(ID) FROM SYSTREE") + 1;
    s->firstSpecies = s->genus + 1;
    long long pos = db.QueryInt(L"SELECT MAX(SYSPOS) FROM SYSTREE WHERE PARENT = " + Num(s->homeFamily), 0) + 1;
    if (!db.Begin())
        return false;
    bool ok = Exec(db, L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (" + Num(s->genus) +
                           L", " + Num(s->homeFamily) + L", 3, " + Num(pos) + L", 'Benchmarkia')");
    RawStatement item, species;
    ok = ok && item.Prepare(db, L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (?, ?, 4, ?, ?)") &&
         species.Prepare(db, L"INSERT INTO SPECIES (NAME, SYSID, ABSOLUTEPOS) VALUES (?, ?, ?)");
    for (int i = 0; ok && i < kSpecies; ++i) {
        std::wstring name = L"druh" + Num(i + 1);
        item.SetInt(1, s->firstSpecies + i);
        item.SetInt(2, s->genus);
        item.SetInt(3, i + 1);
        item.SetText(4, name);
        species.SetText(1, L"Benchmarkia " + name);
        species.SetInt(2, s->firstSpecies + i);
        species.SetDouble(3, 1e7 + i);
        ok = item.Execute() && species.Execute();
    }
    // Records of the genus: copies of the first ones, each with a date of its own so that the
    // unique record index holds.
    ok = ok && Exec(db, L"INSERT INTO ZORNACOLLS (SYSID, FTRID, LITID, DATUM, SYS_LEVEL_1, SYS_LEVEL_2, "
                        L"SYS_LEVEL_3, SYS_LEVEL_4, SYS_LEVEL_5, LOC_LEVEL_1, LOC_LEVEL_2, LOC_LEVEL_3) "
                        L"SELECT " + Num(s->firstSpecies) + L" + (ID % " + Num(kSpecies) + L"), FTRID, -1, "
                        L"1000000 + ID, " + Num(s->homeOrder) + L", " + Num(s->homeFamily) + L", " + Num(s->genus) +
                        L", " + Num(s->firstSpecies) + L" + (ID % " + Num(kSpecies) + L"), NULL, LOC_LEVEL_1, "
                        L"LOC_LEVEL_2, LOC_LEVEL_3 FROM ZORNACOLLS WHERE ID <= " + Num(kGenusRecords));
    // A new locality for the reassigned records, and records whose (species, date) pairs differ.
    Rows loc;
    ok = ok && db.Query(L"SELECT L.ID, L.PARENT, D.PARENT FROM LOCTREE L JOIN LOCTREE D ON D.ID = L.PARENT "
                        L"WHERE L.LOCLEVEL = 3 ORDER BY L.ID LIMIT 1", loc) && !loc.empty();
    if (!ok) {
        db.Rollback();
        return false;
    }
    s->otherLocality = (int)db.QueryInt(L"SELECT MAX(ID) FROM LOCTREE") + 1;
    s->homeLocality = s->otherLocality + 1;
    for (int* p : {s->otherLocalityPath, s->homeLocalityPath}) {
        p[2] = _wtoi(loc[0][1].c_str());
        p[1] = _wtoi(loc[0][2].c_str());
    }
    s->otherLocalityPath[3] = s->otherLocality;
    s->homeLocalityPath[3] = s->homeLocality;
    for (int id : {s->otherLocality, s->homeLocality})
        ok = ok &&
             Exec(db, L"INSERT INTO LOCTREE (ID, PARENT, LOCLEVEL, NAME) VALUES (" + Num(id) + L", " +
                          Num(s->otherLocalityPath[2]) + L", 3, 'Benchmarkov " + Num(id) + L"')") &&
             Exec(db, L"INSERT INTO FEATURES (LOCID, NAME, LONGITUDE, LATITUDE) VALUES (" + Num(id) +
                          L", 'Benchmarkov', 16.5, 49.25)");
    Rows ids;
    ok = ok && db.Query(L"SELECT MIN(ID) FROM ZORNACOLLS WHERE ID > " + Num(kGenusRecords) +
                            L" GROUP BY SYSID, DATUM LIMIT " + Num(kReassigned), ids);
    if (!ok || !db.Commit()) {
        db.Rollback();
        return false;
    }
    for (auto& r : ids)
        s->records.push_back(_wtoi(r[0].c_str()));
    return (int)s->records.size() == kReassigned;
}

// ---- checks --------------------------------------------------------------------------------

bool CheckMoved(RawOdbc& db, const Situation& s, int family, int order)
{
    long long parent = db.QueryInt(L"SELECT PARENT FROM SYSTREE WHERE ID = " + Num(s.genus));
    long long last = db.QueryInt(L"SELECT MAX(SYSPOS) FROM SYSTREE WHERE PARENT = " + Num(family));
    long long pos = db.QueryInt(L"SELECT SYSPOS FROM SYSTREE WHERE ID = " + Num(s.genus));
    long long paths = db.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYS_LEVEL_3 = " + Num(s.genus) +
                                  L" AND SYS_LEVEL_2 = " + Num(family) + L" AND SYS_LEVEL_1 = " + Num(order));
    long long all = db.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYSID BETWEEN " + Num(s.firstSpecies) +
                                L" AND " + Num(s.firstSpecies + kSpecies - 1));
    long long names = db.QueryInt(L"SELECT COUNT(*) FROM SPECIES WHERE NAME LIKE 'Benchmarkia druh%'");
    // The genus's species follow each other in the family's order of species.
    long long inOrder = db.QueryInt(
        L"SELECT COUNT(*) FROM SPECIES A JOIN SPECIES B ON B.SYSID = A.SYSID + 1 WHERE A.SYSID BETWEEN " +
        Num(s.firstSpecies) + L" AND " + Num(s.firstSpecies + kSpecies - 2) + L" AND A.ABSOLUTEPOS < B.ABSOLUTEPOS");
    bool ok = parent == family && pos == last && paths == all && all >= kGenusRecords - kSpecies &&
              names == kSpecies && inOrder == kSpecies - 1;
    if (!ok)
        fprintf(stderr, "move check failed: parent %lld, position %lld of %lld, paths %lld of %lld, names %lld, "
                        "in order %lld\n", parent, pos, last, paths, all, names, inOrder);
    return ok;
}

bool CheckReassigned(RawOdbc& db, const Situation& s, int locality, const int* path)
{
    // Only the reassigned records are at the new localities.
    long long n = db.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE FTRID = " + Num(locality) +
                              L" AND LOC_LEVEL_3 = " + Num(path[3]) + L" AND LOC_LEVEL_2 = " + Num(path[2]) +
                              L" AND LOC_LEVEL_1 = " + Num(path[1]));
    if (n != (long long)s.records.size())
        fprintf(stderr, "reassign check failed: %lld of %zu records\n", n, s.records.size());
    return n == (long long)s.records.size();
}

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
