// The shared searches of the import's target tables on a copy of the sample: the ancestor path
// of a tree node by level, and name rows copied from another table only when the target lacks
// the name.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/treewalk.h"
#include "import/targettables.h"
#include "tests/structure/tarnixtest.h"

namespace {

using namespace tarnixtest;

TEST(TargetTables, AncestorPathPutsEachNodeAtItsLevel)
{
    SampleCopy copy;
    int genus = (int)dbtest::QueryInt(copy.Path(), L"SELECT MIN(ID) FROM SYSTREE WHERE SYSLEVEL = 3");
    int family = (int)dbtest::QueryInt(copy.Path(), L"SELECT PARENT FROM SYSTREE WHERE ID = " + std::to_wstring(genus));
    int order = (int)dbtest::QueryInt(copy.Path(), L"SELECT PARENT FROM SYSTREE WHERE ID = " + std::to_wstring(family));
    ASSERT_GT(order, 0);
    LoadedStructure s(copy.Path());
    ASSERT_NO_FATAL_FAILURE(s.Open());
    TargetTables tables;
    int maxSys = 0, maxLoc = 0;
    ASSERT_TRUE(OpenTargetTables(s.Db().GetConnection(), &tables, &maxSys, &maxLoc));
    const ItemList& levels = s.List(MODEL_SYS_LEVELS);
    ASSERT_EQ(5, levels.Count);
    std::vector<int> path(5, 0);
    FillAncestorPath(genus, &levels, tables.Slots[TARGET_SYSTREE], path.data());
    EXPECT_EQ((std::vector<int>{order, family, genus, -1, -1}), path);
    FillAncestorPath(0, &levels, tables.Slots[TARGET_SYSTREE], path.data());
    EXPECT_EQ(std::vector<int>(5, -1), path);

    // Opening again reuses the recordset objects.
    zdata::Recordset* first = tables.Slots[TARGET_SYSTREE];
    ASSERT_TRUE(OpenTargetTables(s.Db().GetConnection(), &tables, &maxSys, &maxLoc));
    EXPECT_EQ(first, tables.Slots[TARGET_SYSTREE]);
}

TEST(TargetTables, NameRowsAreCopiedOnlyWhenTheTargetLacksTheName)
{
    SampleCopy copy;
    std::wstring known = dbtest::First(copy.Path(), L"SELECT NAME FROM LITAUTHORS ORDER BY ID LIMIT 1");
    ASSERT_FALSE(known.empty());
    std::wstring shouted = FilterQuote(known.c_str());
    CharUpperW(&shouted[0]);
    // A name table of an older layout: only an id and a name.
    ASSERT_TRUE(dbtest::Exec(copy.Path(), L"CREATE TABLE OLDAUTHORS (ID INTEGER PRIMARY KEY, NAME VARCHAR(64))"));
    ASSERT_TRUE(dbtest::Exec(copy.Path(), L"INSERT INTO OLDAUTHORS VALUES (1, 'd''Orbigny'), (2, '" + shouted +
                                              L"'), (3, NULL), (4, 'Nováček')"));
    long long before = dbtest::QueryInt(copy.Path(), L"SELECT COUNT(*) FROM LITAUTHORS");
    long long knownId = dbtest::QueryInt(copy.Path(), L"SELECT ID FROM LITAUTHORS ORDER BY ID LIMIT 1");
    {
        LoadedStructure s(copy.Path());
        ASSERT_NO_FATAL_FAILURE(s.Open());
        TargetTables tables;
        int maxSys = 0, maxLoc = 0;
        ASSERT_TRUE(OpenTargetTables(s.Db().GetConnection(), &tables, &maxSys, &maxLoc));
        zdata::Recordset* target = tables.Slots[TARGET_LITAUTHORS];
        RsHolder source(treewalk::OpenRecordset(s.Db().GetConnection(), L"SELECT * FROM OLDAUTHORS", true,
                                                adLockReadOnly));
        ASSERT_TRUE(source.IsOpen());
        int orbigny = FindOrCreateNameRow(source.get(), target, 1, 0, 1, 4);
        EXPECT_GT(orbigny, 0);
        EXPECT_EQ(orbigny, FindOrCreateNameRow(source.get(), target, 1, 0, 1, 4)) << "found, not added again";
        EXPECT_EQ(knownId, FindOrCreateNameRow(source.get(), target, 2, 0, 1, 4)) << "another case is the same name";
        EXPECT_EQ(-1, FindOrCreateNameRow(source.get(), target, 3, 0, 1, 4)) << "no text name";
        EXPECT_EQ(-1, FindOrCreateNameRow(source.get(), target, 99, 0, 1, 4)) << "no source row";
        EXPECT_GT(FindOrCreateNameRow(source.get(), target, 4, 0, 1, 4), orbigny);
    }
    EXPECT_EQ(before + 2, dbtest::QueryInt(copy.Path(), L"SELECT COUNT(*) FROM LITAUTHORS"));
    EXPECT_EQ(1, dbtest::QueryInt(copy.Path(), L"SELECT COUNT(*) FROM LITAUTHORS WHERE NAME = 'd''Orbigny' AND FULLNAME IS NULL"));
}

}  // namespace
