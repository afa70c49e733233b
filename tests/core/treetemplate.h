// A small generated sample database with a known part of each tree added, for the tests of tree
// moves, composed names and locality labels, and checks of the file with plain SQL.
//
// Systematic levels: 1 order, 2 family, 3 genus, 4 species, 5 subspecies (4 and 5 are data and
// name levels). The added taxa, last in tree order (the order's position is above the sample's):
//   9001 Testiformes
//     9002 Alfidae
//       9010 D'Orbignya: 9101 alfa (1), 9102 beta (2) [9201 beta, 9202 nigra], 9103 gama (3),
//                        9104 delta (4)
//       9011 Čmelák: 9111 žlutý
//     9003 Betidae
//       9020 Ryba: 9121 a1 (1), 9122 a2 (2), 9123 a3 (5), 9124 a4 (6)
//       9021 Gapus: 9131 g1 (2), 9132 g2 (5), 9133 g3 (9)
//     9004 Gamidae (no children)
// Locality levels: 1 region, 2 district, 3 locality (data level):
//   8001 Testkraj: 8002 Okres O'Hara [8010 Lom (49.5, 16.25), 8011 Řeka (no coordinates)],
//                  8003 Žďár [8020 Pole (50.5, 15.75)]
//   8004 Jiný kraj: 8005 Okres B
// Records 90001-90006 on these items with correct level columns.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tools/testkit/rawodbc.h"
#include "tests/core/dbfixture.h"
#include "tests/core/sampletemplate.h"

namespace treetest {

using dbtest::Exec;
using dbtest::Query;
using dbtest::Rows;

inline const wchar_t* const kTreeRows[] = {
    L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES "
    L"(9001, 0, 1, 900, 'Testiformes'), (9002, 9001, 2, 1, 'Alfidae'), (9003, 9001, 2, 2, 'Betidae'), "
    L"(9004, 9001, 2, 3, 'Gamidae'), (9010, 9002, 3, 1, 'D''Orbignya'), (9011, 9002, 3, 2, 'Čmelák'), "
    L"(9101, 9010, 4, 1, 'alfa'), (9102, 9010, 4, 2, 'beta'), (9103, 9010, 4, 3, 'gama'), "
    L"(9104, 9010, 4, 4, 'delta'), (9201, 9102, 5, 1, 'beta'), (9202, 9102, 5, 2, 'nigra'), "
    L"(9111, 9011, 4, 1, 'žlutý'), (9020, 9003, 3, 1, 'Ryba'), (9021, 9003, 3, 2, 'Gapus'), "
    L"(9121, 9020, 4, 1, 'a1'), (9122, 9020, 4, 2, 'a2'), (9123, 9020, 4, 5, 'a3'), "
    L"(9124, 9020, 4, 6, 'a4'), (9131, 9021, 4, 2, 'g1'), (9132, 9021, 4, 5, 'g2'), "
    L"(9133, 9021, 4, 9, 'g3')",
    L"INSERT INTO SPECIES (NAME, SYSID, ABSOLUTEPOS) VALUES "
    L"('D''Orbignya alfa', 9101, 1000), ('D''Orbignya beta', 9102, 1001), "
    L"('D''Orbignya beta beta', 9201, 1002), ('D''Orbignya beta nigra', 9202, 1003), "
    L"('D''Orbignya gama', 9103, 1004), ('D''Orbignya delta', 9104, 1005), "
    L"('Čmelák žlutý', 9111, 1006), ('Ryba a1', 9121, 1007), ('Ryba a2', 9122, 1008), "
    L"('Ryba a3', 9123, 1009), ('Ryba a4', 9124, 1010), ('Gapus g1', 9131, 1011), "
    L"('Gapus g2', 9132, 1012), ('Gapus g3', 9133, 1013)",
    L"INSERT INTO LOCTREE (ID, PARENT, LOCLEVEL, NAME) VALUES "
    L"(8001, 0, 1, 'Testkraj'), (8002, 8001, 2, 'Okres O''Hara'), (8003, 8001, 2, 'Žďár'), "
    L"(8004, 0, 1, 'Jiný kraj'), (8005, 8004, 2, 'Okres B'), (8010, 8002, 3, 'Lom'), "
    L"(8011, 8002, 3, 'Řeka'), (8020, 8003, 3, 'Pole')",
    L"INSERT INTO FEATURES (LOCID, NAME, LONGITUDE, LATITUDE) VALUES "
    L"(8010, 'Lom (stale)', 16.25, 49.5), (8011, 'Řeka (stale)', NULL, NULL), "
    L"(8020, 'Pole (stale)', 15.75, 50.5)",
    L"INSERT INTO ZORNACOLLS (ID, SYSID, FTRID, LITID, DATUM, SYS_LEVEL_1, SYS_LEVEL_2, SYS_LEVEL_3, "
    L"SYS_LEVEL_4, SYS_LEVEL_5, LOC_LEVEL_1, LOC_LEVEL_2, LOC_LEVEL_3) VALUES "
    L"(90001, 9101, 8010, -1, 1, 9001, 9002, 9010, 9101, NULL, 8001, 8002, 8010), "
    L"(90002, 9101, 8011, -1, 2, 9001, 9002, 9010, 9101, NULL, 8001, 8002, 8011), "
    L"(90003, 9201, 8010, -1, 3, 9001, 9002, 9010, 9102, 9201, 8001, 8002, 8010), "
    L"(90004, 9202, 8020, -1, 4, 9001, 9002, 9010, 9102, 9202, 8001, 8003, 8020), "
    L"(90005, 9111, 8020, -1, 5, 9001, 9002, 9011, 9111, NULL, 8001, 8003, 8020), "
    L"(90006, 9121, 8011, -1, 6, 9001, 9003, 9020, 9121, NULL, 8001, 8002, 8011)",
};

// The template, made once per test program.
inline std::wstring TreeTemplate()
{
    zor::SampleDbOptions options;
    options.records = 1500;
    return SharedSampleTemplate(L"treemovetemplate", options,
                                std::vector<std::wstring>(std::begin(kTreeRows), std::end(kTreeRows)));
}

// A fresh copy of the template in its own folder.
inline std::wstring CopyOfTemplate(const wchar_t* folder)
{
    return dbtest::CopyOfTemplate(TreeTemplate(), folder);
}

// The first value of a query ("<none>" without rows).
inline std::wstring Text(const std::wstring& path, const std::wstring& sql)
{
    return dbtest::First(path, sql);
}

// Everything the tree edits may touch, as text, for before/after comparisons.
inline Rows Snapshot(const std::wstring& path)
{
    Rows all;
    const wchar_t* queries[] = {
        L"SELECT ID, PARENT, SYSLEVEL, SYSPOS, NAME FROM SYSTREE ORDER BY ID",
        L"SELECT SYSID, NAME, printf('%.17g', ABSOLUTEPOS) FROM SPECIES ORDER BY SYSID",
        L"SELECT ID, PARENT, LOCLEVEL, NAME FROM LOCTREE ORDER BY ID",
        L"SELECT LOCID, NAME FROM FEATURES ORDER BY LOCID",
        L"SELECT ID, SYSID, FTRID, SYS_LEVEL_1, SYS_LEVEL_2, SYS_LEVEL_3, SYS_LEVEL_4, SYS_LEVEL_5, "
        L"LOC_LEVEL_1, LOC_LEVEL_2, LOC_LEVEL_3 FROM ZORNACOLLS ORDER BY ID",
    };
    for (const wchar_t* q : queries) {
        Rows rows = Query(path, q);
        all.insert(all.end(), rows.begin(), rows.end());
        all.push_back({L"----"});
    }
    return all;
}

// Records whose level path columns differ from their items' paths in the trees, as
// "record: column value, expected" lines (empty when every record is right).
inline std::vector<std::wstring> StaleLevelColumns(const std::wstring& path)
{
    std::vector<std::wstring> wrong;
    struct Tree {
        const wchar_t* sql;
        const wchar_t* prefix;
        int levels;
        int itemColumn;  // in the record query
        int firstColumn;
    } trees[2] = {
        {L"SELECT ID, PARENT, SYSLEVEL FROM SYSTREE", L"SYS_LEVEL_", 5, 1, 3},
        {L"SELECT ID, PARENT, LOCLEVEL FROM LOCTREE", L"LOC_LEVEL_", 3, 2, 8},
    };
    Rows records = Query(path, L"SELECT ID, SYSID, FTRID, SYS_LEVEL_1, SYS_LEVEL_2, SYS_LEVEL_3, "
                               L"SYS_LEVEL_4, SYS_LEVEL_5, LOC_LEVEL_1, LOC_LEVEL_2, LOC_LEVEL_3 "
                               L"FROM ZORNACOLLS");
    for (const Tree& t : trees) {
        std::map<std::wstring, std::pair<std::wstring, int>> items;  // id -> parent, level
        for (const auto& r : Query(path, t.sql))
            items[r[0]] = {r[1], _wtoi(r[2].c_str())};
        for (const auto& rec : records) {
            std::vector<std::wstring> expected((size_t)t.levels + 1, L"<NULL>");
            std::wstring id = rec[(size_t)t.itemColumn];
            for (int guard = 0; guard < 50; ++guard) {
                auto it = items.find(id);
                if (it == items.end() || it->second.second < 1)
                    break;
                if (it->second.second <= t.levels)
                    expected[(size_t)it->second.second] = id;
                id = it->second.first;
            }
            for (int k = 1; k <= t.levels; ++k) {
                const std::wstring& have = rec[(size_t)(t.firstColumn + k - 1)];
                if (have != expected[(size_t)k])
                    wrong.push_back(rec[0] + L": " + t.prefix + std::to_wstring(k) + L" " + have +
                                    L", expected " + expected[(size_t)k]);
            }
        }
    }
    return wrong;
}

}  // namespace treetest
