// The situation of the tree edit benchmarks on a copy of a large records database: a genus of
// 200 species with 20,000 records (the generator makes none that large) beside a family of
// another order to move it to, and two new localities with 10,000 records to reassign between
// them; with the checks of the file after each change.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "tools/testkit/rawodbc.h"

namespace benchtree {

using zor::RawOdbc;
using zor::RawStatement;
using Rows = std::vector<std::vector<std::wstring>>;

inline std::wstring Num(long long n)
{
    return std::to_wstring(n);
}

inline bool Exec(RawOdbc& db, const std::wstring& sql)
{
    if (db.Exec(sql))
        return true;
    fprintf(stderr, "SQL failed: %ls\n  %ls\n", sql.c_str(), db.LastError().c_str());
    return false;
}

// ---- the situation ------------------------------------------------------------------------

inline const int kSpecies = 200;
inline const int kGenusRecords = 20000;
inline const int kReassigned = 10000;

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

inline bool Build(const std::wstring& path, Situation* s)
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

inline bool CheckMoved(RawOdbc& db, const Situation& s, int family, int order)
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

inline bool CheckReassigned(RawOdbc& db, const Situation& s, int locality, const int* path)
{
    // Only the reassigned records are at the new localities.
    long long n = db.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE FTRID = " + Num(locality) +
                              L" AND LOC_LEVEL_3 = " + Num(path[3]) + L" AND LOC_LEVEL_2 = " + Num(path[2]) +
                              L" AND LOC_LEVEL_1 = " + Num(path[1]));
    if (n != (long long)s.records.size())
        fprintf(stderr, "reassign check failed: %lld of %zu records\n", n, s.records.size());
    return n == (long long)s.records.size();
}

}  // namespace benchtree
