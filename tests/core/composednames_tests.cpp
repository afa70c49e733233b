// Composed species names, locality labels and record level columns computed from the trees of a
// generated sample database (tests/core/treetemplate.h), against the texts the generator stored
// and against hand-made items.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/composednames.h"
#include "core/textutil.h"
#include "core/treewalk.h"
#include "dataaccess/ado.h"
#include "tests/core/treetemplate.h"

using zdata::Connection;
using zdata::Recordset;
using treewalk::RsHolder;
using namespace treetest;

namespace {

class ComposedNamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = CopyOfTemplate(L"composednames_db");
        ASSERT_FALSE(path_.empty());
    }
    void TearDown() override
    {
        sysTree_.Reset(nullptr);
        locTree_.Reset(nullptr);
        sysDefs_.Reset(nullptr);
        features_.Reset(nullptr);
        if (connection_) {
            connection_->Close();
            connection_->Release();
        }
    }
    void Open()
    {
        connection_ = Connection::Create();
        std::wstring text = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_ + L";";
        ASSERT_EQ(S_OK, connection_->Open(text.c_str(), L"", L"", adConnectUnspecified));
        sysTree_.Reset(treewalk::OpenRecordset(
            connection_, L"SELECT * FROM SYSTREE WHERE ID > 0 ORDER BY PARENT, SYSPOS", true, adLockOptimistic));
        locTree_.Reset(treewalk::OpenRecordset(
            connection_, L"SELECT * FROM LOCTREE WHERE ID > 0 ORDER BY PARENT, NAME", true, adLockOptimistic));
        sysDefs_.Reset(treewalk::OpenRecordset(connection_, L"SELECT * FROM SYSDEF ORDER BY LEVELID", false,
                                               adLockReadOnly));
        features_.Reset(treewalk::OpenRecordset(connection_, L"SELECT * FROM FEATURES", true, adLockReadOnly));
        ASSERT_TRUE(sysTree_.IsOpen() && locTree_.IsOpen() && sysDefs_.IsOpen() && features_.IsOpen());
    }
    std::wstring Compose(int id)
    {
        int count = 0;
        int* levels = GetNameLevelIds(sysDefs_.get(), &count);
        wchar_t out[64];
        wmemset(out, L'#', 64);
        int n = ComposeTaxonName(id, sysTree_.get(), levels, count, out);
        free(levels);
        EXPECT_EQ((int)wcslen(out), n);
        return out;
    }
    std::wstring Label(int id)
    {
        wchar_t out[64];
        wmemset(out, L'#', 64);
        int n = FormatLocalityLabel(id, locTree_.get(), features_.get(), out);
        EXPECT_EQ((int)wcslen(out), n);
        return out;
    }

    std::wstring path_;
    Connection* connection_ = nullptr;
    RsHolder sysTree_, locTree_, sysDefs_, features_;
};

// ---- names ----

TEST_F(ComposedNamesTest, NameLevelsAreTheDataLevelsInOrder)
{
    Open();
    int count = 0;
    int* levels = GetNameLevelIds(sysDefs_.get(), &count);
    ASSERT_EQ(2, count);
    EXPECT_EQ(4, levels[0]);
    EXPECT_EQ(5, levels[1]);
    EXPECT_TRUE(IntArrayContains(5, levels, count));
    EXPECT_FALSE(IntArrayContains(5, levels, 1));
    EXPECT_FALSE(IntArrayContains(3, levels, count));
    free(levels);
}

TEST_F(ComposedNamesTest, SpeciesAndSubspeciesArePrecededByTheirGenus)
{
    Open();
    EXPECT_EQ(L"D'Orbignya alfa", Compose(9101));
    EXPECT_EQ(L"D'Orbignya beta nigra", Compose(9202));
    EXPECT_EQ(L"Čmelák žlutý", Compose(9111));
    // A genus is not on a name level: its own name.
    EXPECT_EQ(L"D'Orbignya", Compose(9010));
    EXPECT_EQ(L"", Compose(4711));
    EXPECT_TRUE(FindById(9202, sysTree_.get()));  // the recordset is left on the last item found
    EXPECT_FALSE(FindById(4711, sysTree_.get()));
}

TEST_F(ComposedNamesTest, EverySampleSpeciesNameIsComposedAsStored)
{
    Open();
    Rows species = Query(path_, L"SELECT SYSID, NAME FROM SPECIES WHERE SYSID < 9000");
    ASSERT_GT(species.size(), 50u);
    int subspecies = 0;
    for (const auto& row : species) {
        int id = _wtoi(row[0].c_str());
        EXPECT_EQ(row[1], Compose(id)) << id;
        subspecies += std::count(row[1].begin(), row[1].end(), L' ') == 2;
    }
    EXPECT_GT(subspecies, 0);
}

TEST_F(ComposedNamesTest, ALongComposedNameIsCutAt63)
{
    std::wstring genus(60, L'G');
    ASSERT_TRUE(Exec(path_, L"UPDATE SYSTREE SET NAME = '" + genus + L"' WHERE ID = 9010"));
    ASSERT_TRUE(Exec(path_, L"UPDATE SYSTREE SET NAME = 'abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmn' WHERE ID = 9202"));
    Open();
    std::wstring name = Compose(9101);
    EXPECT_EQ(63u, name.size());
    EXPECT_EQ(genus + L" al", name);
    // The item's own name is cut to 63 first, then the prefixes.
    EXPECT_EQ(63u, Compose(9202).size());
    EXPECT_EQ(genus + L" be", Compose(9202));
}

// ---- labels ----

TEST_F(ComposedNamesTest, EverySampleLocalityLabelIsFormattedAsStored)
{
    Open();
    Rows labels = Query(path_, L"SELECT LOCID, NAME FROM FEATURES WHERE LOCID < 8000");
    ASSERT_GT(labels.size(), 50u);
    for (const auto& row : labels)
        EXPECT_EQ(row[1], Label(_wtoi(row[0].c_str()))) << row[0];
}

TEST_F(ComposedNamesTest, LabelsNameCoordinatesParentAndGrandparent)
{
    ASSERT_TRUE(Exec(path_, L"INSERT INTO FEATURES (LOCID, NAME, LONGITUDE, LATITUDE) VALUES (8004, NULL, 15.75, 50.5)"));
    Open();
    EXPECT_EQ(L"Řeka (Okres O'Hara, Testkraj)", Label(8011));
    EXPECT_EQ(L"Lom (49° 30' 0\", 16° 15' 0\", Okres O'Hara, Testkraj)", Label(8010));
    // At the top: the coordinates alone.
    EXPECT_EQ(L"Jiný kraj (50° 30' 0\", 15° 45' 0\")", Label(8004));
    // Without a FEATURES row: the ancestors only; without ancestors: empty parentheses.
    EXPECT_EQ(L"Okres O'Hara (Testkraj)", Label(8002));
    EXPECT_EQ(L"Testkraj ()", Label(8001));
    EXPECT_EQ(L"", Label(4711));
}

TEST_F(ComposedNamesTest, ALongLabelEndsInAnEllipsisAfter59Characters)
{
    std::wstring district = L"Okres s velmi dlouhým jménem, které se nevejde";
    ASSERT_TRUE(Exec(path_, L"UPDATE LOCTREE SET NAME = '" + district + L"' WHERE ID = 8002"));
    std::wstring long61(61, L'x');
    ASSERT_TRUE(Exec(path_, L"UPDATE LOCTREE SET NAME = '" + long61 + L"' WHERE ID = 8011"));
    Open();
    std::wstring label = Label(8010);
    std::wstring full = L"Lom (49° 30' 0\", 16° 15' 0\", " + district + L", Testkraj)";
    ASSERT_GT(full.size(), 62u);
    EXPECT_EQ(63u, label.size());
    EXPECT_EQ(full.substr(0, 59) + L"...)", label);
    // A name of 61 characters or more is its own label.
    EXPECT_EQ(long61, Label(8011));
}

// ---- level columns ----

TEST_F(ComposedNamesTest, LevelColumnsHoldTheItemAndItsAncestorsAndNothingElse)
{
    // A stale subspecies column from an earlier path, which the save must clear.
    ASSERT_TRUE(Exec(path_, L"UPDATE ZORNACOLLS SET SYS_LEVEL_5 = 9201, LOC_LEVEL_1 = 8004 WHERE ID = 90001"));
    Open();
    RsHolder record(treewalk::OpenRecordset(connection_, L"SELECT * FROM ZORNACOLLS WHERE ID = 90001", false,
                                            adLockOptimistic));
    ASSERT_TRUE(record.IsOpen());
    zdata::Fields* fields = nullptr;
    ASSERT_EQ(S_OK, record.get()->get_Fields(&fields));
    SetLevelColumns(fields, sysTree_.get(), 9202, L"SYS_LEVEL_%d");
    SetLevelColumns(fields, locTree_.get(), 8020, L"LOC_LEVEL_%d");
    ASSERT_EQ(S_OK, record.get()->Update());
    EXPECT_EQ((Rows{{L"9001", L"9002", L"9010", L"9102", L"9202", L"8001", L"8003", L"8020"}}),
              Query(path_, L"SELECT SYS_LEVEL_1, SYS_LEVEL_2, SYS_LEVEL_3, SYS_LEVEL_4, SYS_LEVEL_5, "
                           L"LOC_LEVEL_1, LOC_LEVEL_2, LOC_LEVEL_3 FROM ZORNACOLLS WHERE ID = 90001"));
    // A species on a shorter path empties the subspecies column; a missing item empties all.
    SetLevelColumns(fields, sysTree_.get(), 9111, L"SYS_LEVEL_%d");
    SetLevelColumns(fields, locTree_.get(), 4711, L"LOC_LEVEL_%d");
    ASSERT_EQ(S_OK, record.get()->Update());
    EXPECT_EQ((Rows{{L"9001", L"9002", L"9011", L"9111", L"<NULL>", L"<NULL>", L"<NULL>", L"<NULL>"}}),
              Query(path_, L"SELECT SYS_LEVEL_1, SYS_LEVEL_2, SYS_LEVEL_3, SYS_LEVEL_4, SYS_LEVEL_5, "
                           L"LOC_LEVEL_1, LOC_LEVEL_2, LOC_LEVEL_3 FROM ZORNACOLLS WHERE ID = 90001"));
    fields->Release();
}

TEST(LevelColumnNames, OnlyNamesOfTheFormatGiveALevel)
{
    EXPECT_EQ(3, treewalk::LevelOfColumn(L"SYS_LEVEL_3", L"SYS_LEVEL_%d"));
    EXPECT_EQ(12, treewalk::LevelOfColumn(L"sys_level_12", L"SYS_LEVEL_%d"));
    EXPECT_EQ(-1, treewalk::LevelOfColumn(L"LOC_LEVEL_3", L"SYS_LEVEL_%d"));
    EXPECT_EQ(-1, treewalk::LevelOfColumn(L"SYS_LEVEL_", L"SYS_LEVEL_%d"));
    EXPECT_EQ(-1, treewalk::LevelOfColumn(L"SYS_LEVEL_3X", L"SYS_LEVEL_%d"));
    EXPECT_EQ(-1, treewalk::LevelOfColumn(L"SYSID", L"SYS_LEVEL_%d"));
}

}  // namespace
