// The database file: schema script and sample generator, checked with plain SQL over ODBC.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <sqlext.h>

#include "core/dbschema.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "dataaccess/enclose.h"
#include "tests/support/wintest.h"

using zor::RawOdbc;
using Rows = std::vector<std::vector<std::wstring>>;

namespace {

std::vector<std::wstring> Columns(RawOdbc& db, const std::wstring& table)
{
    Rows rows;
    std::vector<std::wstring> names;
    EXPECT_TRUE(db.Query(L"SELECT * FROM " + table + L" WHERE 0 = 1", rows, &names)) << db.LastError();
    return names;
}

std::vector<std::wstring> Split(const std::wstring& list)
{
    std::vector<std::wstring> out;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(L',', start);
        if (comma == std::wstring::npos)
            comma = list.size();
        out.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return out;
}

// The columns of a table that the format fixes, followed by whatever else the table has.
void ExpectLeadingColumns(RawOdbc& db, const std::wstring& table, const std::wstring& expected)
{
    std::vector<std::wstring> want = Split(expected);
    std::vector<std::wstring> got = Columns(db, table);
    ASSERT_GE(got.size(), want.size()) << "table " << std::string(table.begin(), table.end());
    for (size_t k = 0; k < want.size(); ++k)
        EXPECT_EQ(want[k], got[k]) << "column " << k << " of " << std::string(table.begin(), table.end());
}

std::string Narrow(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    return s;
}

// Every table's rows in rowid order as one text, so two files can be compared.
std::wstring ContentDump(RawOdbc& db)
{
    Rows tables;
    EXPECT_TRUE(db.Query(L"SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' "
                         L"ORDER BY name",
                         tables));
    std::wstring dump;
    for (const auto& t : tables) {
        Rows rows;
        EXPECT_TRUE(db.Query(L"SELECT * FROM [" + t[0] + L"] ORDER BY rowid", rows)) << db.LastError();
        dump += L"#" + t[0] + L"\n";
        for (const auto& r : rows) {
            for (const auto& v : r)
                dump += v + L"|";
            dump += L"\n";
        }
    }
    return dump;
}

std::wstring MakeDb(const wchar_t* folderName, int records, unsigned long long seed,
                    bool orphan = false, bool fourColumns = false)
{
    std::wstring path = wintest::MakeTempFolder(folderName) + L"\\ZorBase.mdb";
    zor::SampleDbOptions o;
    o.records = records;
    o.seed = seed;
    o.orphanAttribute = orphan;
    o.fourColumnPictures = fourColumns;
    std::wstring error;
    zor::SampleDbStats stats;
    EXPECT_TRUE(zor::CreateSampleDatabase(path, o, &error, &stats)) << Narrow(error);
    EXPECT_EQ(records, stats.records);
    return path;
}

std::wstring ReadWholeFile(const std::wstring& path)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return L"<missing>";
    char buf[4096];
    DWORD read = 0;
    ReadFile(f, buf, sizeof(buf), &read, nullptr);
    CloseHandle(f);
    return std::wstring(buf, buf + read);
}

void WriteWholeFile(const std::wstring& path, const char* text)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    DWORD written = 0;
    WriteFile(f, text, (DWORD)strlen(text), &written, nullptr);
    CloseHandle(f);
}

class SampleDbTest : public testing::Test {
protected:
    static void SetUpTestSuite() { path_ = new std::wstring(MakeDb(L"sampledb_shared", 1500, 42)); }
    static void TearDownTestSuite()
    {
        delete path_;
        path_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(db_.Open(*path_, false)) << Narrow(db_.LastError()); }
    long long Count(const std::wstring& sql)
    {
        long long v = db_.QueryInt(sql, -12345);
        EXPECT_NE(-12345, v) << Narrow(sql) << ": " << Narrow(db_.LastError());
        return v;
    }
    static std::wstring* path_;
    RawOdbc db_;
};
std::wstring* SampleDbTest::path_ = nullptr;

const wchar_t kRecordColumns[] =
    L"ID,SYSID,FTRID,LITID,RECNOTE,SYS_LEVEL_1,SYS_LEVEL_2,SYS_LEVEL_3,SYS_LEVEL_4,SYS_LEVEL_5,"
    L"LOC_LEVEL_1,LOC_LEVEL_2,LOC_LEVEL_3,DATUM,POCET,METODA,LEG,DET,DOKLAD,PRESNOST";
const wchar_t kSpeciesColumns[] = L"NAME,SYSID,ABSOLUTEPOS,AUTHOR,PARENTHES,IYEAR,CESKYNAZEV,OCHRANA,DELKA";
const wchar_t kFeatureColumns[] =
    L"LOCID,NAME,ABBREV,LONGITUDE,LATITUDE,ALTITUDE,SQUARE,LOCNOTE,BIOTOP,CHRUZEMI,POPIS";

}  // namespace

// ---------------------------------------------------------------------------------------------
// Schema

TEST(DbSchemaTest, ScriptSplitsIntoStatementsWithoutComments)
{
    std::vector<std::wstring> s = zor::SplitSqlScript(L"-- note\nCREATE TABLE A (X INTEGER);\n\n"
                                                      L"CREATE VIEW V AS\nSELECT * FROM A;\nINSERT INTO A VALUES (1)");
    ASSERT_EQ(3u, s.size());
    EXPECT_EQ(L"CREATE TABLE A (X INTEGER)", s[0]);
    EXPECT_EQ(L"CREATE VIEW V AS\nSELECT * FROM A", s[1]);
    EXPECT_EQ(L"INSERT INTO A VALUES (1)", s[2]);
}

TEST(DbSchemaTest, EmptyDatabaseHasEveryTableInColumnOrderAndRootRows)
{
    std::wstring path = wintest::MakeTempFolder(L"sampledb_empty") + L"\\empty.mdb";
    zor::SampleDbOptions o;
    o.empty = true;
    std::wstring error;
    ASSERT_TRUE(zor::CreateSampleDatabase(path, o, &error)) << Narrow(error);
    RawOdbc db;
    ASSERT_TRUE(db.Open(path, false));
    const std::map<std::wstring, std::wstring> tables = {
        {L"SYSDEF", L"LEVELID,NAME,DATALEVEL,ICONLARGE,ICONSMALL,ICONSELECTED"},
        {L"LOCDEF", L"LEVELID,NAME,DATALEVEL,ICONLARGE,ICONSMALL,ICONSELECTED"},
        {L"SYSTREE", L"ID,PARENT,SYSLEVEL,SYSPOS,NAME,ICONLARGE,ICONSMALL,ICONSELECTED"},
        {L"LOCTREE", L"ID,PARENT,LOCLEVEL,NAME,ABBREV,ICONLARGE,ICONSMALL,ICONSELECTED,GEOMETRY"},
        {L"SPECIES", L"NAME,SYSID,ABSOLUTEPOS,AUTHOR,PARENTHES,IYEAR"},
        {L"FEATURES", L"LOCID,NAME,ABBREV,LONGITUDE,LATITUDE,ALTITUDE,SQUARE,LOCNOTE"},
        {L"SYSIMAGES", L"SYSID,SYSLEVEL,IMGNOTE,PICTURE,THUMBNAIL"},
        {L"LOCIMAGES", L"LOCID,LOCLEVEL,IMGNOTE,PICTURE,THUMBNAIL"},
        {L"ZORNACOLLS", L"ID,SYSID,FTRID,LITID,RECNOTE"},
        {L"LITERATURE", L"ID,NAME,ABBREV,EDITOR,JOURNALID,FIRSTAUTHOR,IYEAR,INUMBER,IVOLUME,IPAGES,ABSTRACT"},
        {L"LITAUTHORS", L"ID,NAME,FULLNAME,ABBREV"},
        {L"EDITORS", L"ID,NAME,ABBREV,PLACE"},
        {L"JOURNALS", L"ID,NAME,ABBREV,EDITORID"},
        {L"KEYWORDS", L"ID,NAME"},
        {L"BOOKAUTHORS", L"LITID,AUTHORID,AUTHPOS"},
        {L"LITKEYWORDSREFS", L"LITID,KEYWORDID,REFPOS"},
        {L"LITSYSREFS", L"LITID,SYSID,REFPOS"},
        {L"LITLOCREFS", L"LITID,LOCID,REFPOS"},
        {L"SYSAUTHORS", L"NAME"},
        {L"CUSTOMATTRIBUTES", L"TABLENAME,FIELDNAME,POSID,ATTRTYPE,ATTRSIZE,KEYFLAG,TABNAME,CAPTION,MINVAL,MAXVAL,NULLVAL"},
        {L"COLLECTVIEW", L"ID,SYSID,FTRID,LITID,RECNOTE,NAME,SYSID:1,ABSOLUTEPOS,AUTHOR,PARENTHES,IYEAR,"
                         L"LOCID,NAME:1,ABBREV,LONGITUDE,LATITUDE,ALTITUDE,SQUARE,LOCNOTE"},
        {L"LITVIEW", L"ID,NAME,ABBREV,EDITOR,JOURNALID,FIRSTAUTHOR,IYEAR,INUMBER,IVOLUME,IPAGES,ABSTRACT,"
                     L"NAME:1,NAME:2,NAME:3"},
    };
    for (const auto& t : tables) {
        std::vector<std::wstring> got = Columns(db, t.first);
        EXPECT_EQ(Split(t.second), got) << Narrow(t.first);
    }
    EXPECT_EQ(22, db.QueryInt(L"SELECT COUNT(*) FROM sqlite_master WHERE type IN ('table', 'view') AND "
                              L"name NOT LIKE 'sqlite%'"));
    EXPECT_EQ(1, db.QueryInt(L"SELECT COUNT(*) FROM SYSDEF WHERE LEVELID = 0"));
    EXPECT_EQ(1, db.QueryInt(L"SELECT COUNT(*) FROM LOCDEF WHERE LEVELID = 0"));
    EXPECT_EQ(1, db.QueryInt(L"SELECT COUNT(*) FROM SYSTREE WHERE ID = 0 AND PARENT = 0 AND SYSLEVEL = 0"));
    EXPECT_EQ(1, db.QueryInt(L"SELECT COUNT(*) FROM LOCTREE WHERE ID = 0 AND PARENT = 0 AND LOCLEVEL = 0"));
    EXPECT_EQ(0, db.QueryInt(L"SELECT COUNT(*) FROM SYSTREE WHERE ID > 0"));
    EXPECT_EQ(0, db.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS"));
}

TEST(DbSchemaTest, KeysCollationsAndDeleteRules)
{
    std::wstring path = wintest::MakeTempFolder(L"sampledb_rules") + L"\\rules.mdb";
    zor::SampleDbOptions o;
    o.empty = true;
    std::wstring error;
    ASSERT_TRUE(zor::CreateSampleDatabase(path, o, &error)) << Narrow(error);
    RawOdbc db;
    ASSERT_TRUE(db.Open(path, false));
    EXPECT_EQ(1, db.QueryInt(L"PRAGMA foreign_keys"));
    ASSERT_TRUE(db.Exec(L"INSERT INTO SYSDEF (LEVELID, NAME, DATALEVEL) VALUES (1, 'Druh', 1)"));
    ASSERT_TRUE(db.Exec(L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (1, 0, 1, 1, 'A')"));
    ASSERT_TRUE(db.Exec(L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (2, 1, 1, 1, 'B')"));
    EXPECT_FALSE(db.Exec(L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (3, 99, 1, 1, 'C')"))
        << "an unknown parent is refused";
    ASSERT_TRUE(db.Exec(L"INSERT INTO SPECIES (NAME, SYSID, PARENTHES) VALUES ('A b', 2, -1)"));
    EXPECT_FALSE(db.Exec(L"INSERT INTO SPECIES (NAME, SYSID, PARENTHES) VALUES ('A c', 2, 0)"))
        << "one species row per item";
    ASSERT_TRUE(db.Exec(L"INSERT INTO LOCDEF (LEVELID, NAME, DATALEVEL) VALUES (1, 'Lokalita', 1)"));
    ASSERT_TRUE(db.Exec(L"INSERT INTO LOCTREE (ID, PARENT, LOCLEVEL, NAME) VALUES (1, 0, 1, 'Brno')"));
    ASSERT_TRUE(db.Exec(L"INSERT INTO ZORNACOLLS (SYSID, FTRID, LITID) VALUES (2, 1, -1)"))
        << "no publication (-1) needs no publication row: " << Narrow(db.LastError());
    EXPECT_EQ(1, db.QueryInt(L"SELECT MAX(ID) FROM ZORNACOLLS"));
    EXPECT_FALSE(db.Exec(L"INSERT INTO ZORNACOLLS (SYSID, FTRID, LITID) VALUES (77, 1, -1)"));
    EXPECT_FALSE(db.Exec(L"DELETE FROM SYSTREE WHERE ID = 1")) << "an item with children stays";
    EXPECT_FALSE(db.Exec(L"DELETE FROM SYSTREE WHERE ID = 2")) << "an item with records stays";
    EXPECT_FALSE(db.Exec(L"DELETE FROM SYSDEF WHERE LEVELID = 1")) << "a level with items stays";
    // Renumbering a level carries its items along.
    ASSERT_TRUE(db.Exec(L"UPDATE SYSDEF SET LEVELID = 5 WHERE LEVELID = 1")) << Narrow(db.LastError());
    EXPECT_EQ(2, db.QueryInt(L"SELECT COUNT(*) FROM SYSTREE WHERE SYSLEVEL = 5"));
    ASSERT_TRUE(db.Exec(L"DELETE FROM ZORNACOLLS"));
    ASSERT_TRUE(db.Exec(L"INSERT INTO SYSIMAGES (SYSID, SYSLEVEL, PICTURE) VALUES (2, 1, X'424D')"));
    ASSERT_TRUE(db.Exec(L"DELETE FROM SYSTREE WHERE ID = 2")) << Narrow(db.LastError());
    EXPECT_EQ(0, db.QueryInt(L"SELECT COUNT(*) FROM SPECIES")) << "the species row goes with its item";
    EXPECT_EQ(0, db.QueryInt(L"SELECT COUNT(*) FROM SYSIMAGES")) << "pictures go with their item";
    // Name lists: no blank names, ASCII case folded in comparisons.
    EXPECT_FALSE(db.Exec(L"INSERT INTO LITAUTHORS (NAME) VALUES ('')"));
    EXPECT_FALSE(db.Exec(L"INSERT INTO KEYWORDS (NAME) VALUES ('')"));
    ASSERT_TRUE(db.Exec(L"INSERT INTO SYSAUTHORS (NAME) VALUES ('Linnaeus')"));
    EXPECT_FALSE(db.Exec(L"INSERT INTO SYSAUTHORS (NAME) VALUES ('LINNAEUS')")) << "duplicate author";
    ASSERT_TRUE(db.Exec(L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE) "
                        L"VALUES ('SPECIES', 'Delka', 1, 2)"));
    EXPECT_EQ(1, db.QueryInt(L"SELECT COUNT(*) FROM CUSTOMATTRIBUTES WHERE TABLENAME = 'species' AND "
                             L"FIELDNAME = 'DELKA'"));
    // Publication links go with the publication.
    ASSERT_TRUE(db.Exec(L"INSERT INTO LITERATURE (NAME) VALUES ('Titul')"));
    long long lit = db.QueryInt(L"SELECT MAX(ID) FROM LITERATURE");
    ASSERT_TRUE(db.Exec(L"INSERT INTO BOOKAUTHORS VALUES (" + std::to_wstring(lit) + L", 1, 1)"));
    ASSERT_TRUE(db.Exec(L"INSERT INTO LITKEYWORDSREFS VALUES (" + std::to_wstring(lit) + L", 1, 1)"));
    ASSERT_TRUE(db.Exec(L"DELETE FROM LITERATURE WHERE ID = " + std::to_wstring(lit)));
    EXPECT_EQ(0, db.QueryInt(L"SELECT COUNT(*) FROM BOOKAUTHORS"));
    EXPECT_EQ(0, db.QueryInt(L"SELECT COUNT(*) FROM LITKEYWORDSREFS"));
}

TEST(DbSchemaTest, AttributeStatementsTakeNamesOfAnyLengthAndAnyCharacters)
{
    std::wstring path = wintest::MakeTempFolder(L"sampledb_names") + L"\\names.mdb";
    zor::SampleDbOptions o;
    o.empty = true;
    std::wstring error;
    ASSERT_TRUE(zor::CreateSampleDatabase(path, o, &error)) << Narrow(error);
    RawOdbc db;
    ASSERT_TRUE(db.Open(path, false));
    // Names that overflowed the old fixed buffers or ended the bracketed name early.
    const std::wstring names[] = {std::wstring(60, L'N') + L"ÁZEV", L"A]B", L"Q\"\"Q", L"x; DROP TABLE SPECIES; --",
                                  L"O'Brien", L"ORDER", L"Čeleď"};
    const int others[] = {zor::AttrBoolean, zor::AttrInteger, zor::AttrReal, zor::AttrDate, zor::AttrLongText};
    int k = 0;
    for (const std::wstring& name : names) {
        for (int t : {(int)zor::AttrText, (int)zor::AttrLookup, (int)zor::AttrGeoLookup, others[k++ % 5]}) {
            std::wstring field = name + std::to_wstring(t);
            if (t == zor::AttrLookup || t == zor::AttrGeoLookup) {
                ASSERT_TRUE(db.Exec(zor::LookupTableSql(L"SPECIES", field, t, 40))) << Narrow(db.LastError());
            }
            std::wstring sql = L"ALTER TABLE SPECIES ADD " + zor::AttrColumnDecl(L"SPECIES", field, t, 40, t == zor::AttrLookup);
            ASSERT_TRUE(db.Exec(sql)) << Narrow(sql) << " " << Narrow(db.LastError());
            EXPECT_EQ(1, db.QueryInt(L"SELECT COUNT(*) FROM pragma_table_info('SPECIES') WHERE name = " +
                                     zdata::Enclose(field, L'\'', L'\'')))
                << Narrow(field);
            if (t == zor::AttrLookup || t == zor::AttrGeoLookup) {
                std::wstring list = zor::LookupTableName(L"SPECIES", field);
                EXPECT_EQ(list, L"SPE_" + field);
                EXPECT_EQ(1, db.QueryInt(L"SELECT COUNT(*) FROM pragma_foreign_key_list('SPECIES') WHERE \"table\" = " +
                                         zdata::Enclose(list, L'\'', L'\'') + L" AND on_update = 'CASCADE' AND on_delete = '" +
                                         (t == zor::AttrLookup ? L"CASCADE" : L"NO ACTION") + L"'"))
                    << Narrow(field);
            }
        }
    }
    EXPECT_EQ(1, db.QueryInt(L"SELECT COUNT(*) FROM sqlite_master WHERE name = 'SPECIES'"));
    ASSERT_TRUE(db.Exec(zor::AddLevelColumnSql(true, 12)));
    EXPECT_EQ(1, db.QueryInt(L"SELECT COUNT(*) FROM pragma_table_info('ZORNACOLLS') WHERE name = 'SYS_LEVEL_12'"));
    EXPECT_EQ(L"LOC_LEVEL_3", zor::LevelColumnName(false, 3));
}

// ---------------------------------------------------------------------------------------------
// Sample database

TEST_F(SampleDbTest, TablesAndViewsHaveTheirColumnsInOrder)
{
    ExpectLeadingColumns(db_, L"ZORNACOLLS", kRecordColumns);
    ExpectLeadingColumns(db_, L"SPECIES", kSpeciesColumns);
    ExpectLeadingColumns(db_, L"FEATURES", kFeatureColumns);
    ExpectLeadingColumns(db_, L"SYSTREE", L"ID,PARENT,SYSLEVEL,SYSPOS,NAME,ICONLARGE,ICONSMALL,ICONSELECTED,SKUPINACZ");
    ExpectLeadingColumns(db_, L"LOCTREE",
                         L"ID,PARENT,LOCLEVEL,NAME,ABBREV,ICONLARGE,ICONSMALL,ICONSELECTED,GEOMETRY,KODUZEMI");
    ExpectLeadingColumns(db_, L"LITERATURE",
                         L"ID,NAME,ABBREV,EDITOR,JOURNALID,FIRSTAUTHOR,IYEAR,INUMBER,IVOLUME,IPAGES,ABSTRACT,"
                         L"JAZYK,RECENZE");
    // The records view: the three tables' columns in order; repeated names get ":n".
    std::vector<std::wstring> view = Columns(db_, L"COLLECTVIEW");
    std::vector<std::wstring> want = Split(kRecordColumns);
    for (std::wstring c : Split(kSpeciesColumns))
        want.push_back(c == L"SYSID" ? L"SYSID:1" : c);
    for (std::wstring c : Split(kFeatureColumns))
        want.push_back(c == L"NAME" ? L"NAME:1" : c);
    EXPECT_EQ(want, view);
    std::vector<std::wstring> lit = Columns(db_, L"LITVIEW");
    ASSERT_EQ(16u, lit.size());
    EXPECT_EQ(L"NAME:1", lit[13]);
    EXPECT_EQ(L"NAME:3", lit[15]);
    // Every view column can be sorted on (quoted when it carries ":n").
    for (const std::wstring& c : view) {
        Rows rows;
        EXPECT_TRUE(db_.Query(L"SELECT ID FROM COLLECTVIEW ORDER BY \"" + c + L"\" LIMIT 1", rows))
            << Narrow(c) << ": " << Narrow(db_.LastError());
    }
}

TEST_F(SampleDbTest, ViewsAnswerTheProgramsQueries)
{
    long long sys = Count(L"SELECT SYSID FROM ZORNACOLLS ORDER BY ID LIMIT 1");
    // The records of one species through the view's alias, as the record lists ask for them.
    EXPECT_EQ(Count(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYSID = " + std::to_wstring(sys)),
              Count(L"SELECT COUNT(*) FROM COLLECTVIEW AS T1 WHERE T1.SYSID = " + std::to_wstring(sys)));
    Rows rows;
    ASSERT_TRUE(db_.Query(L"SELECT \"NAME:1\", NAME FROM COLLECTVIEW ORDER BY \"NAME:1\" DESC, NAME LIMIT 2", rows))
        << Narrow(db_.LastError());
    ASSERT_EQ(2u, rows.size());
    EXPECT_GE(rows[0][0], rows[1][0]);
    EXPECT_EQ(Count(L"SELECT COUNT(*) FROM LITERATURE WHERE FIRSTAUTHOR = 1"),
              Count(L"SELECT COUNT(*) FROM LITVIEW WHERE FIRSTAUTHOR = 1"));
    EXPECT_EQ(Count(L"SELECT MAX(ID) FROM SYSTREE") + 1, Count(L"SELECT COUNT(*) FROM SYSTREE"));
}

TEST_F(SampleDbTest, DriverReportsTheTypesTheProgramsExpect)
{
    std::vector<std::wstring> names;
    std::vector<int> types;
    std::vector<long long> sizes;
    ASSERT_TRUE(db_.Describe(L"SELECT * FROM COLLECTVIEW WHERE 0 = 1", names, types, sizes)) << Narrow(db_.LastError());
    std::map<std::wstring, int> type;
    std::map<std::wstring, long long> size;
    for (size_t k = 0; k < names.size(); ++k) {
        type[names[k]] = types[k];
        size[names[k]] = sizes[k];
    }
    EXPECT_EQ(SQL_INTEGER, type[L"ID"]);
    EXPECT_EQ(SQL_INTEGER, type[L"SYSID"]);
    EXPECT_EQ(SQL_TYPE_TIMESTAMP, type[L"DATUM"]) << "dates are date-time columns";
    EXPECT_EQ(SQL_BIT, type[L"DOKLAD"]) << "booleans";
    EXPECT_EQ(SQL_BIT, type[L"PARENTHES"]);
    EXPECT_EQ(SQL_DOUBLE, type[L"ABSOLUTEPOS"]);
    EXPECT_EQ(SQL_DOUBLE, type[L"LONGITUDE"]);
    EXPECT_TRUE(type[L"RECNOTE"] == SQL_LONGVARCHAR || type[L"RECNOTE"] == SQL_WLONGVARCHAR) << type[L"RECNOTE"];
    EXPECT_TRUE(type[L"LEG"] == SQL_VARCHAR || type[L"LEG"] == SQL_WVARCHAR) << type[L"LEG"];
    EXPECT_EQ(64, size[L"LEG"]);
    EXPECT_EQ(8, size[L"SQUARE"]);
    ASSERT_TRUE(db_.Describe(L"SELECT * FROM SYSIMAGES WHERE 0 = 1", names, types, sizes));
    ASSERT_EQ(5u, types.size());
    EXPECT_TRUE(types[3] == SQL_LONGVARBINARY || types[3] == SQL_VARBINARY || types[3] == SQL_BINARY) << types[3];
}

TEST_F(SampleDbTest, ForeignKeysAreOnAndSatisfied)
{
    EXPECT_EQ(1, Count(L"PRAGMA foreign_keys"));
    Rows rows;
    ASSERT_TRUE(db_.Query(L"PRAGMA foreign_key_check", rows)) << Narrow(db_.LastError());
    EXPECT_TRUE(rows.empty()) << rows.size() << " rows break their keys, first in " << Narrow(rows[0][0]);
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE LITID <> -1 AND LITID NOT IN (SELECT ID FROM LITERATURE)"));
}

TEST_F(SampleDbTest, RootRowsAndLevels)
{
    EXPECT_EQ(1, Count(L"SELECT COUNT(*) FROM SYSTREE WHERE ID = 0 AND SYSLEVEL = 0"));
    EXPECT_EQ(1, Count(L"SELECT COUNT(*) FROM LOCTREE WHERE ID = 0 AND LOCLEVEL = 0"));
    EXPECT_EQ(6, Count(L"SELECT COUNT(*) FROM SYSDEF"));
    EXPECT_EQ(4, Count(L"SELECT COUNT(*) FROM LOCDEF"));
    EXPECT_EQ(L"4,5", db_.QueryText(L"SELECT group_concat(LEVELID) FROM (SELECT LEVELID FROM SYSDEF WHERE DATALEVEL <> 0 ORDER BY LEVELID)"));
    EXPECT_EQ(L"3", db_.QueryText(L"SELECT group_concat(LEVELID) FROM LOCDEF WHERE DATALEVEL <> 0"));
    // Level icons are bitmaps; orders have their own, other items use their level's.
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM SYSDEF WHERE LEVELID > 0 AND substr(hex(ICONLARGE), 1, 4) <> '424D'"));
    EXPECT_EQ(Count(L"SELECT COUNT(*) FROM SYSTREE WHERE SYSLEVEL = 1"),
              Count(L"SELECT COUNT(*) FROM SYSTREE WHERE ICONSMALL IS NOT NULL AND substr(hex(ICONSMALL), 1, 4) = '424D'"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM SYSTREE WHERE SYSLEVEL > 1 AND ICONLARGE IS NOT NULL"));
}

TEST_F(SampleDbTest, SystematicTreeIsWellFormed)
{
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM SYSTREE WHERE ID > 0"), 40);
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM SYSTREE C WHERE C.ID > 0 AND NOT EXISTS "
                       L"(SELECT 1 FROM SYSTREE P WHERE P.ID = C.PARENT)"));
    // One level below the parent; top items at level 1 under the root.
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM SYSTREE C JOIN SYSTREE P ON P.ID = C.PARENT WHERE C.ID > 0 "
                       L"AND C.SYSLEVEL <> P.SYSLEVEL + 1"));
    // Positions 1..n among siblings.
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM (SELECT PARENT, MIN(SYSPOS) AS A, MAX(SYSPOS) AS B, COUNT(*) AS N, "
                       L"COUNT(DISTINCT SYSPOS) AS D FROM SYSTREE WHERE ID > 0 GROUP BY PARENT) "
                       L"WHERE A <> 1 OR B <> N OR D <> N"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM (SELECT PARENT, NAME FROM SYSTREE WHERE ID > 0 GROUP BY PARENT, NAME HAVING COUNT(*) > 1)"));
    // Species rows exactly for the items of data levels, names composed from the genus down.
    EXPECT_EQ(Count(L"SELECT COUNT(*) FROM SYSTREE WHERE SYSLEVEL IN (4, 5)"), Count(L"SELECT COUNT(*) FROM SPECIES"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM SPECIES SP JOIN SYSTREE S ON S.ID = SP.SYSID WHERE S.SYSLEVEL NOT IN (4, 5)"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM SPECIES SP JOIN SYSTREE S ON S.ID = SP.SYSID JOIN SYSTREE G ON "
                       L"G.ID = S.PARENT WHERE S.SYSLEVEL = 4 AND SP.NAME <> G.NAME || ' ' || S.NAME"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM SPECIES SP JOIN SYSTREE S ON S.ID = SP.SYSID JOIN SPECIES PS ON "
                       L"PS.SYSID = S.PARENT WHERE S.SYSLEVEL = 5 AND SP.NAME <> PS.NAME || ' ' || S.NAME"));
    // Absolute positions follow the tree order (ids are given in pre-order).
    Rows rows;
    ASSERT_TRUE(db_.Query(L"SELECT ABSOLUTEPOS FROM SPECIES ORDER BY SYSID", rows));
    for (size_t k = 1; k < rows.size(); ++k)
        ASSERT_LT(std::stod(rows[k - 1][0]), std::stod(rows[k][0])) << "at " << k;
    // Authors: booleans stored as -1/0, years plausible, the author list filled.
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM SPECIES WHERE PARENTHES NOT IN (-1, 0)"));
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM SPECIES WHERE PARENTHES = -1"), 0);
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM SPECIES WHERE IYEAR < 1758 OR IYEAR > 2024"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM SPECIES WHERE AUTHOR IS NOT NULL AND AUTHOR NOT IN (SELECT NAME FROM SYSAUTHORS)"));
}

TEST_F(SampleDbTest, LocalityTreeIsWellFormed)
{
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM LOCTREE C WHERE C.ID > 0 AND NOT EXISTS "
                       L"(SELECT 1 FROM LOCTREE P WHERE P.ID = C.PARENT)"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM LOCTREE C JOIN LOCTREE P ON P.ID = C.PARENT WHERE C.ID > 0 "
                       L"AND C.LOCLEVEL <> P.LOCLEVEL + 1"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM (SELECT PARENT, NAME FROM LOCTREE WHERE ID > 0 GROUP BY PARENT, NAME HAVING COUNT(*) > 1)"));
    EXPECT_EQ(Count(L"SELECT COUNT(*) FROM LOCTREE WHERE LOCLEVEL = 3"), Count(L"SELECT COUNT(*) FROM FEATURES"));
    EXPECT_EQ(150, Count(L"SELECT COUNT(*) FROM FEATURES"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM LOCTREE WHERE LENGTH(ABBREV) > 8"));
    // Labels start with the item's name and stay within 63 characters.
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM FEATURES F JOIN LOCTREE L ON L.ID = F.LOCID WHERE "
                       L"substr(F.NAME, 1, length(L.NAME)) <> L.NAME OR length(F.NAME) > 63"));
    // Localities carry their point (with altitude) as 29-byte well-known binary.
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM LOCTREE WHERE LOCLEVEL = 3 AND (length(GEOMETRY) <> 29 OR "
                       L"substr(hex(GEOMETRY), 1, 10) <> '01E9030000')"));
}

TEST_F(SampleDbTest, CoordinatesLieInsideTheCzechRepublicWithMatchingGridSquares)
{
    Rows rows;
    ASSERT_TRUE(db_.Query(L"SELECT LONGITUDE, LATITUDE, ALTITUDE, SQUARE FROM FEATURES", rows));
    ASSERT_FALSE(rows.empty());
    for (const auto& r : rows) {
        double lon = std::stod(r[0]), lat = std::stod(r[1]), alt = std::stod(r[2]);
        EXPECT_TRUE(lat > 48.55 && lat < 51.06 && lon > 12.09 && lon < 18.86) << lat << " " << lon;
        EXPECT_TRUE(zor::InsideCzechRepublic(lon, lat)) << lat << " " << lon;
        EXPECT_TRUE(alt >= 115 && alt <= 1603) << alt;
        // Rows of 6' southwards from 56 N, columns of 10' eastwards from 5 40' E, quadrants A-D.
        int row = (int)std::floor((56.0 - lat) * 10.0 + 1e-6);
        double colExact = (lon - (5.0 + 40.0 / 60.0)) * 6.0;
        int col = (int)std::floor(colExact + 1e-6);
        bool south = ((56.0 - lat) * 10.0 - row) >= 0.5, east = (colExact - col) >= 0.5;
        wchar_t expect[16];
        _snwprintf(expect, 16, L"%02d%02d%c", row, col, L'A' + (south ? 2 : 0) + (east ? 1 : 0));
        expect[15] = 0;
        EXPECT_EQ(std::wstring(expect), r[3]) << lat << " " << lon;
    }
    EXPECT_FALSE(zor::InsideCzechRepublic(16.37, 48.21)) << "Vienna";
    EXPECT_FALSE(zor::InsideCzechRepublic(13.74, 51.05)) << "Dresden";
    EXPECT_TRUE(zor::InsideCzechRepublic(14.42, 50.08)) << "Prague";
    EXPECT_TRUE(zor::InsideCzechRepublic(18.29, 49.84)) << "Ostrava";
}

TEST(SampleDbHelpersTest, GridSquaresOfKnownPlaces)
{
    EXPECT_EQ(L"5952B", zor::GridSquareOf(14.42, 50.08));  // Prague
    EXPECT_EQ(L"6865B", zor::GridSquareOf(16.61, 49.19));  // Brno
    EXPECT_EQ(L"0000A", zor::GridSquareOf(5.0 + 40.0 / 60.0, 56.0));
    EXPECT_EQ(L"0000D", zor::GridSquareOf(5.0 + 40.0 / 60.0 + 0.1, 55.94));
}

TEST(SampleDbHelpersTest, OleDatesAndWkbPoints)
{
    EXPECT_EQ(2.0, zor::OleDateOf(1900, 1, 1));
    EXPECT_EQ(36526.0, zor::OleDateOf(2000, 1, 1));
    EXPECT_EQ(45292.0, zor::OleDateOf(2024, 1, 1));
    std::vector<unsigned char> p = zor::MakeWkbPointBytes(14.5, 50.25, false, 0);
    ASSERT_EQ(21u, p.size());
    EXPECT_EQ(1, p[0]);
    EXPECT_EQ(1, p[1]);
    double x = 0, y = 0;
    memcpy(&x, &p[5], 8);
    memcpy(&y, &p[13], 8);
    EXPECT_EQ(14.5, x);
    EXPECT_EQ(50.25, y);
    std::vector<unsigned char> z = zor::MakeWkbPointBytes(14.5, 50.25, true, 321);
    ASSERT_EQ(29u, z.size());
    EXPECT_EQ(0xE9, z[1]);
    EXPECT_EQ(0x03, z[2]);
}

TEST(SampleDbHelpersTest, LocalityLabels)
{
    std::wstring district = L"Příbram", region = L"Středočeský kraj";
    EXPECT_EQ(L"Lhota (49\u00B0 30' 0\", 14\u00B0 15' 0\", Příbram)",
              zor::ComposeLocalityLabel(L"Lhota", true, 14.25, 49.5, &district, nullptr));
    EXPECT_EQ(L"Lhota (49\u00B0 7' 30\", 14\u00B0 22' 30\")",
              zor::ComposeLocalityLabel(L"Lhota", true, 14.375, 49.125, nullptr, nullptr));
    EXPECT_EQ(L"Lhota (Příbram, Středočeský kraj)",
              zor::ComposeLocalityLabel(L"Lhota", false, 0, 0, &district, &region));
    std::wstring cut = zor::ComposeLocalityLabel(L"Lhota u Příbramě, pískovna", true, 14.25, 49.5, &district, &region);
    EXPECT_EQ(63u, cut.size());
    EXPECT_EQ(L"...)", cut.substr(59));
    EXPECT_EQ(L"Lhota u Příbramě, pískovna (49\u00B0 30' 0\", 14\u00B0 15' 0\", Příbram...)", cut);
    std::wstring longName(61, L'x');
    EXPECT_EQ(longName, zor::ComposeLocalityLabel(longName, true, 14.01, 49.69, &district, &region));
}

TEST_F(SampleDbTest, CzechLettersAndApostrophesSurvive)
{
    EXPECT_EQ(L"Čeleď", db_.QueryText(L"SELECT NAME FROM SYSDEF WHERE LEVELID = 2"));
    EXPECT_EQ(L"C48C656C65C48F", db_.QueryText(L"SELECT hex(NAME) FROM SYSDEF WHERE LEVELID = 2"))
        << "stored as UTF-8";
    EXPECT_EQ(L"Řád", db_.QueryText(L"SELECT NAME FROM SYSDEF WHERE LEVELID = 1"));
    EXPECT_EQ(1, Count(L"SELECT COUNT(*) FROM LITAUTHORS WHERE NAME = 'O''Brien M.'"));
    EXPECT_EQ(1, Count(L"SELECT COUNT(*) FROM LITAUTHORS WHERE NAME = 'd''Orbigny A.'"));
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM LOCTREE WHERE NAME LIKE '%ř%' OR NAME LIKE '%Ž%' OR NAME LIKE '%Š%' OR NAME LIKE '%Č%'"), 0);
    EXPECT_EQ(1, Count(L"SELECT COUNT(*) FROM LITERATURE WHERE NAME LIKE '%*%'"));
    EXPECT_EQ(1, Count(L"SELECT COUNT(*) FROM FEA_BIOTOP WHERE NAME = 'rašeliniště'"));
}

TEST_F(SampleDbTest, RecordsCarryTheirPathsAndAttributes)
{
    EXPECT_EQ(1500, Count(L"SELECT COUNT(*) FROM ZORNACOLLS"));
    EXPECT_EQ(1500, Count(L"SELECT COUNT(*) FROM COLLECTVIEW"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYSID <> COALESCE(SYS_LEVEL_5, SYS_LEVEL_4)"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM ZORNACOLLS Z JOIN SYSTREE S ON S.ID = Z.SYS_LEVEL_4 WHERE S.PARENT <> Z.SYS_LEVEL_3"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM ZORNACOLLS Z JOIN SYSTREE S ON S.ID = Z.SYS_LEVEL_3 WHERE S.PARENT <> Z.SYS_LEVEL_2"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM ZORNACOLLS Z JOIN SYSTREE S ON S.ID = Z.SYS_LEVEL_2 WHERE S.PARENT <> Z.SYS_LEVEL_1"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM ZORNACOLLS Z WHERE Z.FTRID <> Z.LOC_LEVEL_3"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM ZORNACOLLS Z JOIN LOCTREE L ON L.ID = Z.LOC_LEVEL_3 WHERE L.PARENT <> Z.LOC_LEVEL_2"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM ZORNACOLLS Z JOIN LOCTREE L ON L.ID = Z.LOC_LEVEL_2 WHERE L.PARENT <> Z.LOC_LEVEL_1"));
    // Dates are OLE dates from 1950 to 2024; booleans -1/0; one record per species, site and day.
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE DATUM < 18264 OR DATUM > 45700 OR typeof(DATUM) NOT IN ('real', 'integer')"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE DOKLAD NOT IN (-1, 0)"));
    EXPECT_EQ(1500, Count(L"SELECT COUNT(*) FROM (SELECT DISTINCT SYSID, FTRID, DATUM FROM ZORNACOLLS)"));
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE LITID = -1"), 0);
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE LITID > 0"), 0);
    // Every attribute type is defined, every definition has its column.
    EXPECT_EQ(8, Count(L"SELECT COUNT(DISTINCT ATTRTYPE) FROM CUSTOMATTRIBUTES"));
    Rows defs;
    ASSERT_TRUE(db_.Query(L"SELECT TABLENAME, FIELDNAME, ATTRTYPE FROM CUSTOMATTRIBUTES ORDER BY POSID", defs));
    for (const auto& d : defs) {
        std::vector<std::wstring> cols = Columns(db_, d[0]);
        EXPECT_NE(cols.end(), std::find(cols.begin(), cols.end(), d[1])) << Narrow(d[1]);
        if (d[2] == L"5" || d[2] == L"7") {
            std::wstring lookup = zor::LookupTablePrefix(d[0]) + d[1];
            EXPECT_GT(Count(L"SELECT COUNT(*) FROM " + lookup), 0) << Narrow(lookup);
        }
    }
    EXPECT_EQ(Split(L"NAME,ABBREV,GEOMETRY"), Columns(db_, L"FEA_CHRUZEMI"));
    EXPECT_EQ(Split(L"NAME,ABBREV"), Columns(db_, L"ZOR_METODA"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM FEA_CHRUZEMI WHERE length(GEOMETRY) <> 21"));
}

TEST_F(SampleDbTest, LiteratureListsEveryPublicationWithItsNames)
{
    long long pubs = Count(L"SELECT COUNT(*) FROM LITERATURE");
    EXPECT_EQ(30, pubs);
    EXPECT_EQ(pubs, Count(L"SELECT COUNT(*) FROM LITVIEW"));
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM LITVIEW WHERE \"NAME:1\" IS NULL"), 0) << "without publisher";
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM LITVIEW WHERE \"NAME:2\" IS NULL"), 0) << "without periodical";
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM LITVIEW WHERE \"NAME:3\" IS NULL"), 0) << "without first author";
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM LITVIEW WHERE \"NAME:3\" IS NOT NULL"), 0);
    // The first author is the book author at position 1; positions run 1..n.
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM LITERATURE L WHERE FIRSTAUTHOR IS NOT NULL AND NOT EXISTS "
                       L"(SELECT 1 FROM BOOKAUTHORS B WHERE B.LITID = L.ID AND B.AUTHPOS = 1 AND B.AUTHORID = L.FIRSTAUTHOR)"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM (SELECT LITID, MAX(AUTHPOS) AS M, COUNT(*) AS N FROM BOOKAUTHORS GROUP BY LITID) WHERE M <> N"));
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM LITKEYWORDSREFS"), 0);
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM LITSYSREFS"), 0);
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM JOURNALS WHERE EDITORID IS NOT NULL"), 0);
}

TEST_F(SampleDbTest, PicturesAreImagesNumberedPerItem)
{
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM SYSIMAGES"), 0);
    EXPECT_GT(Count(L"SELECT COUNT(*) FROM LOCIMAGES"), 0);
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM SYSIMAGES WHERE substr(hex(PICTURE), 1, 4) NOT IN ('424D', '8950')"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM (SELECT SYSID, MAX(SYSLEVEL) AS M, COUNT(*) AS N FROM SYSIMAGES GROUP BY SYSID) WHERE M <> N"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM SYSIMAGES WHERE THUMBNAIL IS NOT NULL"));
}

TEST(SampleDbHelpersTest, GeneratedPicturesDecode)
{
    IWICImagingFactory* factory = nullptr;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_PPV_ARGS(&factory)));
    std::vector<std::vector<unsigned char>> images = {zor::MakeSampleBmp(37, 21, 5),
                                                      zor::MakeSamplePng(37, 21, 5)};
    for (auto& bytes : images) {
        IWICStream* stream = nullptr;
        ASSERT_HRESULT_SUCCEEDED(factory->CreateStream(&stream));
        ASSERT_HRESULT_SUCCEEDED(stream->InitializeFromMemory(bytes.data(), (DWORD)bytes.size()));
        IWICBitmapDecoder* decoder = nullptr;
        HRESULT hr = factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder);
        ASSERT_HRESULT_SUCCEEDED(hr);
        IWICBitmapFrameDecode* frame = nullptr;
        ASSERT_HRESULT_SUCCEEDED(decoder->GetFrame(0, &frame));
        UINT w = 0, h = 0;
        frame->GetSize(&w, &h);
        EXPECT_EQ(37u, w);
        EXPECT_EQ(21u, h);
        IWICFormatConverter* conv = nullptr;
        ASSERT_HRESULT_SUCCEEDED(factory->CreateFormatConverter(&conv));
        ASSERT_HRESULT_SUCCEEDED(conv->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                                  nullptr, 0, WICBitmapPaletteTypeCustom));
        std::vector<BYTE> pixels(37 * 21 * 4);
        EXPECT_HRESULT_SUCCEEDED(conv->CopyPixels(nullptr, 37 * 4, (UINT)pixels.size(), pixels.data()));
        conv->Release();
        frame->Release();
        decoder->Release();
        stream->Release();
    }
    // Both forms carry the same picture: the top-left pixel agrees.
    factory->Release();
    std::vector<unsigned char> bmp = zor::MakeSampleBmp(4, 2, 9), png = zor::MakeSamplePng(4, 2, 9);
    size_t topRow = 54 + 12;  // rows of 12 bytes, bottom-up: the second stored row is the top one
    EXPECT_EQ(bmp[topRow + 2], png[8 + 25 + 8 + 2 + 5 + 1]) << "red of pixel (0, 0)";
}

// ---------------------------------------------------------------------------------------------
// Generation as a whole

TEST(SampleDbFileTest, SameSeedGivesTheSameDatabase)
{
    std::wstring a = MakeDb(L"sampledb_seed_a", 400, 7), b = MakeDb(L"sampledb_seed_b", 400, 7),
                 c = MakeDb(L"sampledb_seed_c", 400, 8);
    RawOdbc da, db, dc;
    ASSERT_TRUE(da.Open(a, false));
    ASSERT_TRUE(db.Open(b, false));
    ASSERT_TRUE(dc.Open(c, false));
    std::wstring ca = ContentDump(da), cb = ContentDump(db), cc = ContentDump(dc);
    EXPECT_GT(ca.size(), 10000u);
    EXPECT_TRUE(ca == cb) << "same seed, different content";
    EXPECT_FALSE(ca == cc) << "another seed gives another database";
}

TEST(SampleDbFileTest, RefusesToOverwriteAFileThatIsNotADatabase)
{
    std::wstring folder = wintest::MakeTempFolder(L"sampledb_refuse");
    std::wstring path = folder + L"\\ZorBase.mdb";
    WriteWholeFile(path, "Standard Jet DB? no: my notes, keep them");
    std::wstring before = ReadWholeFile(path);
    zor::SampleDbOptions o;
    o.records = 50;
    std::wstring error;
    EXPECT_FALSE(zor::CreateSampleDatabase(path, o, &error));
    EXPECT_NE(std::wstring::npos, error.find(L"not an SQLite database")) << Narrow(error);
    EXPECT_EQ(before, ReadWholeFile(path));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((path + L".new").c_str()));
    // A folder in the way is refused as well.
    CreateDirectoryW((folder + L"\\dir.mdb").c_str(), nullptr);
    EXPECT_FALSE(zor::CreateSampleDatabase(folder + L"\\dir.mdb", o, &error));
}

TEST(SampleDbFileTest, ReplacesAnSqliteFileAndCreatesFolders)
{
    std::wstring folder = wintest::MakeTempFolder(L"sampledb_folders");
    std::wstring path = folder + L"\\Kelvane\\Zorna2011\\Data\\ZorBase.mdb";
    zor::SampleDbOptions o;
    o.records = 60;
    std::wstring error;
    ASSERT_TRUE(zor::CreateSampleDatabase(path, o, &error)) << Narrow(error);
    EXPECT_TRUE(zor::IsSqliteFileOrEmpty(path));
    o.records = 80;
    ASSERT_TRUE(zor::CreateSampleDatabase(path, o, &error)) << Narrow(error);
    RawOdbc db;
    ASSERT_TRUE(db.Open(path, false));
    EXPECT_EQ(80, db.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS"));
}

TEST(SampleDbFileTest, WorksInAFolderWithCzechLetters)
{
    std::wstring path = wintest::MakeTempFolder(L"sampledb_Jiří Žák") + L"\\Řasy a Šneci.mdb";
    zor::SampleDbOptions o;
    o.records = 30;
    std::wstring error;
    ASSERT_TRUE(zor::CreateSampleDatabase(path, o, &error)) << Narrow(error);
    EXPECT_TRUE(zor::IsSqliteFileOrEmpty(path));
    RawOdbc db;
    ASSERT_TRUE(db.Open(path, false)) << Narrow(db.LastError());
    EXPECT_EQ(30, db.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS"));
}

TEST(SampleDbFileTest, OpeningAMissingFileWithoutCreateFailsAndMakesNothing)
{
    std::wstring path = wintest::MakeTempFolder(L"sampledb_missing") + L"\\none.mdb";
    RawOdbc db;
    EXPECT_FALSE(db.Open(path, false));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
}

TEST(SampleDbFileTest, TestVariantsOrphanAttributeAndFourColumnPictures)
{
    std::wstring path = MakeDb(L"sampledb_variants", 100, 3, true, true);
    RawOdbc db;
    ASSERT_TRUE(db.Open(path, false));
    EXPECT_EQ(1, db.QueryInt(L"SELECT COUNT(*) FROM CUSTOMATTRIBUTES WHERE FIELDNAME = 'ZTRACENY'"));
    std::vector<std::wstring> cols = Columns(db, L"ZORNACOLLS");
    EXPECT_EQ(cols.end(), std::find(cols.begin(), cols.end(), std::wstring(L"ZTRACENY")));
    EXPECT_EQ(4u, Columns(db, L"SYSIMAGES").size());
    EXPECT_EQ(4u, Columns(db, L"LOCIMAGES").size());
    EXPECT_GT(db.QueryInt(L"SELECT COUNT(*) FROM SYSIMAGES"), 0);
}

TEST(SampleDbFileTest, RecordWithoutSpeciesOrLocalityRowStaysInTheView)
{
    std::wstring path = MakeDb(L"sampledb_view", 200, 11);
    RawOdbc db;
    ASSERT_TRUE(db.Open(path, false));
    long long sys = db.QueryInt(L"SELECT SYSID FROM ZORNACOLLS ORDER BY ID LIMIT 1");
    long long loc = db.QueryInt(L"SELECT FTRID FROM ZORNACOLLS ORDER BY ID LIMIT 1");
    ASSERT_TRUE(db.Exec(L"DELETE FROM SPECIES WHERE SYSID = " + std::to_wstring(sys)));
    ASSERT_TRUE(db.Exec(L"DELETE FROM FEATURES WHERE LOCID = " + std::to_wstring(loc)));
    EXPECT_EQ(200, db.QueryInt(L"SELECT COUNT(*) FROM COLLECTVIEW"));
    EXPECT_GT(db.QueryInt(L"SELECT COUNT(*) FROM COLLECTVIEW WHERE NAME IS NULL AND \"NAME:1\" IS NULL"), 0);
    // A lookup value renamed in place follows into the records; one in use cannot go.
    long long used = db.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE METODA = 'smýkání'");
    ASSERT_GT(used, 0);
    ASSERT_TRUE(db.Exec(L"UPDATE ZOR_METODA SET NAME = 'smýkání vegetace' WHERE NAME = 'smýkání'")) << Narrow(db.LastError());
    EXPECT_EQ(used, db.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE METODA = 'smýkání vegetace'"));
    EXPECT_FALSE(db.Exec(L"DELETE FROM ZOR_METODA WHERE NAME = 'smýkání vegetace'"));
    EXPECT_FALSE(db.Exec(L"UPDATE ZORNACOLLS SET METODA = 'neznámá' WHERE ID = 1")) << "unknown value refused";
}

TEST(SampleDbFileTest, ConsoleProgramMakesTheFileAndRefusesOthers)
{
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring tool = exe;
    tool = tool.substr(0, tool.find_last_of(L"\\/") + 1) + L"ZorSampleDb.exe";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(tool.c_str())) << "ZorSampleDb.exe beside the tests";
    std::wstring folder = wintest::MakeTempFolder(L"sampledb_tool");
    auto run = [&](const std::wstring& args) {
        std::wstring cmd = L"\"" + tool + L"\" " + args;
        STARTUPINFOW si = {sizeof(si)};
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
            return (DWORD)-1;
        WaitForSingleObject(pi.hProcess, 120000);
        DWORD code = 99;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return code;
    };
    std::wstring path = folder + L"\\a b\\Demo.mdb";
    EXPECT_EQ(0u, run(L"-o \"" + path + L"\" -n 120 -s 5"));
    RawOdbc db;
    ASSERT_TRUE(db.Open(path, false));
    EXPECT_EQ(120, db.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS"));
    db.Close();
    std::wstring text = folder + L"\\notes.mdb";
    WriteWholeFile(text, "not a database");
    EXPECT_EQ(1u, run(L"\"" + text + L"\" -n 10"));
    EXPECT_EQ(std::wstring(L"not a database"), ReadWholeFile(text));
    EXPECT_EQ(2u, run(L"-n many \"" + folder + L"\\x.mdb\""));
    EXPECT_EQ(2u, run(L""));
}
