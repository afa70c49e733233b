// The find-or-create operations of the imports on a copy of the sample database, through the
// target tables as an import opens them: tree items and their positions, species rows and their
// authors, localities with their points, labels and squares, lookup values, named rows and
// publications with their references. Names with apostrophes and Czech capitals are found, not
// made twice.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/geopoint.h"
#include "core/treewalk.h"
#include "dataaccess/ado.h"
#include "import/impsource.h"
#include "import/targetlit.h"
#include "import/targetlocality.h"
#include "import/targetsystem.h"
#include "import/targettables.h"
#include "tests/support/wintest.h"
#include "tests/structure/tarnixtest.h"

namespace {

using dbtest::First;
using dbtest::QueryInt;

VARIANT Real(double v)
{
    VARIANT r;
    VariantInit(&r);
    r.vt = VT_R8;
    r.dblVal = v;
    return r;
}


// Upper-case hex of a WKB point put together here byte by byte (little-endian).
std::wstring WkbHex(unsigned type, const std::vector<double>& values)
{
    std::vector<unsigned char> b = {1, (unsigned char)(type & 0xFF), (unsigned char)(type >> 8), 0, 0};
    for (double v : values) {
        unsigned char raw[8];
        std::memcpy(raw, &v, 8);
        b.insert(b.end(), raw, raw + 8);
    }
    std::wstring hex;
    for (unsigned char c : b) {
        wchar_t two[3];
        _snwprintf(two, 3, L"%02X", c);
        hex += std::wstring(two, 2);
    }
    return hex;
}

class TargetItems : public ::testing::Test {
protected:
    ~TargetItems() override
    {
        CloseTargetTables(&tables_);
        if (connection_) {
            connection_->Close();
            connection_->Release();
        }
    }
    // Opens the target tables as an import does (after the statements that prepare the file).
    void Open(const std::vector<std::wstring>& statements = {})
    {
        for (const std::wstring& sql : statements)
            ASSERT_TRUE(dbtest::Exec(path_, sql)) << dbtest::Narrow(sql);
        connection_ = zdata::Connection::Create();
        std::wstring text = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_ + L";";
        ASSERT_EQ(S_OK, connection_->Open(text.c_str(), L"", L"", adConnectUnspecified));
        ASSERT_TRUE(OpenTargetTables(connection_, &tables_, &maxSysId_, &maxLocId_));
        ASSERT_TRUE(OpenTargetLitTables(connection_, &tables_));
    }
    zdata::Recordset* Rs(int slot) { return tables_.Slots[(size_t)slot]; }
    long long Count(const std::wstring& sql) { return QueryInt(path_, sql); }

    tarnixtest::SampleCopy copy_;
    const std::wstring& path_ = copy_.Path();
    zdata::Connection* connection_ = nullptr;
    TargetTables tables_;
    int maxSysId_ = -1, maxLocId_ = -1;
};

std::wstring Compose(const std::wstring& genus, const std::wstring& species, const std::wstring& sub, bool third)
{
    wchar_t parts[3 * kImportNameChars] = {};
    wcsncpy(parts, genus.c_str(), kImportNameChars - 1);
    wcsncpy(parts + kImportNameChars, species.c_str(), kImportNameChars - 1);
    wcsncpy(parts + 2 * kImportNameChars, sub.c_str(), kImportNameChars - 1);
    wchar_t out[kImportNameChars];
    wmemset(out, L'#', kImportNameChars);
    ComposeSpeciesName(out, parts, third);
    return out;
}

}  // namespace

TEST(TargetItemNames, SpeciesNamesStayWithin63Characters)
{
    const std::wstring g60(60, L'G'), g57(57, L'G'), s70(70, L's');
    struct Case {
        std::wstring genus, species, sub;
        bool third;
        std::wstring expected;
    } cases[] = {
        {L"Carabus", L"auratus", L"lotharingus", false, L"Carabus auratus"},
        {L"Carabus", L"auratus", L"lotharingus", true, L"Carabus auratus lotharingus"},
        {L"Carabus", L"", L"", false, L"Carabus "},  // an empty species keeps its space
        {L"C", s70, L"sub", true, L"C " + std::wstring(61, L's')},
        {std::wstring(63, L'G'), L"sp", L"x", true, std::wstring(63, L'G')},
        {g60, L"abc", L"x", true, g60 + L" ab"},
        {g57 + L"G", L"abc", L"x", true, g57 + L"G abc"},  // 62 stand: no room for " x"
        {g57, L"abc", L"xyz", true, g57 + L" abc x"},
    };
    for (const Case& c : cases) {
        std::wstring name = Compose(c.genus, c.species, c.sub, c.third);
        EXPECT_EQ(c.expected, name);
        EXPECT_LE(name.size(), 63u);
    }
}

TEST_F(TargetItems, TreeItemsGoLastAmongSiblingsAndAreFoundByNameWithApostrophesAndCzechCase)
{
    ASSERT_NO_FATAL_FAILURE(Open({
        L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (90000, 0, 1, 999, 'Zkušební řád')",
        L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (90001, 90000, 2, 1, 'Prvá')",
        L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (90002, 90000, 2, 7, 'Sedmá')",
        L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (90003, 90000, 2, 2, 'Čeleď')",
        L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (90010, 90003, 3, 9, 'Dvojče')",
        L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (90011, 90003, 3, 8, 'Dvojče')",
    }));
    zdata::Recordset* tree = Rs(TARGET_SYSTREE);
    EXPECT_EQ(90011, FindSysItem(tree, 90003, 3, L"dvojče"));  // the lower position wins
    EXPECT_EQ(90003, FindSysItem(tree, 90000, 2, L"ČELEĎ"));
    EXPECT_EQ(-1, FindSysItem(tree, 90000, 3, L"Čeleď"));      // another level
    EXPECT_EQ(-1, FindSysItem(tree, 90000, 2, L"d'Orbigny"));

    int id = maxSysId_;
    ASSERT_GE(id, 90011);
    ASSERT_TRUE(CreateSysItem(tree, ++id, 90000, 2, L"d'Orbigny"));   // children at 1, 2, 7
    ASSERT_TRUE(CreateSysItem(tree, ++id, 90001, 3, L"Carabus"));     // no children yet
    ASSERT_TRUE(CreateSysItem(tree, ++id, 90000, 2, L"Další"));       // after the one just made
    EXPECT_EQ(maxSysId_ + 1, FindSysItem(tree, 90000, 2, L"D'ORBIGNY"));
    EXPECT_FALSE(CreateSysItem(tree, id, 90000, 2, L"Stejné id"));   // refused, and cancelled
    EXPECT_TRUE(CreateSysItem(tree, id + 1, 90000, 2, L"Po chybě"));
    EXPECT_EQ(std::wstring(L"8|1|9|10"),
              First(path_, L"SELECT group_concat(SYSPOS, '|') FROM (SELECT SYSPOS FROM SYSTREE WHERE ID > " +
                               std::to_wstring(maxSysId_) + L" ORDER BY ID)"));
    EXPECT_EQ(1, Count(L"SELECT COUNT(*) FROM SYSTREE WHERE NAME = 'd''Orbigny'"));

    // Species rows: an author already listed is not added again, an empty one is none.
    zdata::Recordset* species = Rs(TARGET_SPECIES);
    zdata::Recordset* authors = Rs(TARGET_SYSAUTHORS);
    std::wstring listed = First(path_, L"SELECT NAME FROM SYSAUTHORS ORDER BY NAME LIMIT 1");
    ASSERT_FALSE(listed.empty());
    long long authorRows = Count(L"SELECT COUNT(*) FROM SYSAUTHORS");
    ASSERT_TRUE(CreateSysItem(tree, id + 2, 90001, 4, L"d'orbignyi"));
    ASSERT_TRUE(CreateSysItem(tree, id + 3, 90001, 4, L"auratus"));
    ASSERT_TRUE(CreateSysItem(tree, id + 4, 90001, 4, L"nemoralis"));
    EXPECT_TRUE(CreateSpeciesRow(species, authors, id + 2, L"Carabus d'orbignyi", listed.c_str(), true, 1850));
    EXPECT_TRUE(CreateSpeciesRow(species, authors, id + 3, L"Carabus auratus", L"", false, 1758));
    EXPECT_TRUE(CreateSpeciesRow(species, authors, id + 4, L"Carabus nemoralis", L"Zkušební Autor", false, 1764));
    EXPECT_FALSE(CreateSpeciesRow(species, authors, id + 4, L"Carabus dvakrát", L"", false, 1764));
    EXPECT_EQ(authorRows + 1, Count(L"SELECT COUNT(*) FROM SYSAUTHORS"));
    EXPECT_EQ(1, Count(L"SELECT COUNT(*) FROM SYSAUTHORS WHERE NAME = 'Zkušební Autor'"));
    dbtest::Rows rows = dbtest::Query(path_, L"SELECT NAME, ifnull(AUTHOR, '(none)'), PARENTHES, IYEAR, ABSOLUTEPOS FROM SPECIES "
                                             L"WHERE SYSID > " + std::to_wstring(id + 1) + L" ORDER BY SYSID");
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ((std::vector<std::wstring>{L"Carabus d'orbignyi", listed, L"-1", L"1850", L"0.0"}), rows[0]);
    EXPECT_EQ((std::vector<std::wstring>{L"Carabus auratus", L"(none)", L"0", L"1758", L"0.0"}), rows[1]);
    EXPECT_EQ(id + 2, FindSpeciesByName(L"CARABUS D'ORBIGNYI", species));
    EXPECT_EQ(-1, FindSpeciesByName(L"Carabus nikdo", species));
}

TEST_F(TargetItems, LocalitiesPreferAMatchingPointAndStoreTheirGeometryRowAndSquare)
{
    const std::wstring point = L"X'" + WkbHex(1, {14.5, 50.25}) + L"'";
    auto item = [](int id, int parent, const wchar_t* geometry) {
        return L"INSERT INTO LOCTREE (ID, PARENT, LOCLEVEL, NAME, GEOMETRY) VALUES (" + std::to_wstring(id) + L", " +
               std::to_wstring(parent) + L", " + (parent ? L"2" : L"1") + L", '" + (parent ? L"Obec" : L"Kraj") +
               L"', " + geometry + L")";
    };
    ASSERT_NO_FATAL_FAILURE(Open({
        item(80010, 0, L"NULL"), item(80011, 80010, L"NULL"), item(80012, 80010, point.c_str()),
        item(80020, 0, L"NULL"), item(80021, 80020, point.c_str()), item(80022, 80020, L"NULL"),
        item(80030, 0, L"NULL"), item(80031, 80030, L"NULL"),
        item(80040, 0, L"NULL"), item(80041, 80040, L"X'0100000000'"),  // cut short: never matches
    }));
    zdata::Recordset* tree = Rs(TARGET_LOCTREE);
    struct Case {
        int parent;
        bool coordinates;
        double x, y;
        int expected;
    } cases[] = {
        {80010, true, 14.5002, 50.2501, 80012}, {80020, true, 14.5002, 50.2501, 80021},
        {80010, false, 0, 0, 80011},            {80020, false, 0, 0, 80022},
        {80010, true, 15.0, 49.0, 80011},       {80030, true, 14.5, 50.25, 80031},
        {80040, true, 0, 0, -1},                {80040, false, 0, 0, -1},
    };
    for (const Case& c : cases) {
        VARIANT x = c.coordinates ? Real(c.x) : treewalk::NullValue(), y = c.coordinates ? Real(c.y) : treewalk::NullValue();
        EXPECT_EQ(c.expected, FindLocItem(tree, c.parent, 2, L"OBEC", x, y)) << c.parent << " " << c.coordinates;
    }

    int id = maxLocId_;
    ASSERT_TRUE(CreateLocItem(tree, ++id, 80030, 2, L"U d'Orbignyho", L"", Real(14.0), Real(50.0), Real(312.5)));
    ASSERT_TRUE(CreateLocItem(tree, ++id, 80030, 2, L"Bez výšky", L"BV", Real(14.1), Real(49.95), treewalk::NullValue()));
    ASSERT_TRUE(CreateLocItem(tree, ++id, 80030, 2, L"Bez bodu", nullptr, treewalk::NullValue(), Real(49.95), Real(300)));
    EXPECT_FALSE(CreateLocItem(tree, id, 80030, 2, L"Stejné id", nullptr, treewalk::NullValue(), treewalk::NullValue(), treewalk::NullValue()));
    EXPECT_EQ(maxLocId_ + 1, FindLocItem(tree, 80030, 2, L"u D'ORBIGNYHO", Real(14.0), Real(50.0)));
    dbtest::Rows rows = dbtest::Query(path_, L"SELECT hex(GEOMETRY), quote(ABBREV) FROM LOCTREE WHERE ID > " +
                                                 std::to_wstring(maxLocId_) + L" ORDER BY ID");
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(WkbHex(1001, {14.0, 50.0, 312.5}), rows[0][0]);
    EXPECT_EQ(WkbHex(1, {14.1, 49.95}), rows[1][0]);
    EXPECT_EQ(L"", rows[2][0]);
    EXPECT_EQ((std::vector<std::wstring>{L"NULL", L"'BV'", L"NULL"}), (std::vector<std::wstring>{rows[0][1], rows[1][1], rows[2][1]}));

    // The locality rows, with a lookup attribute offered to its table once.
    zdata::Recordset* biotopes = zdata::Recordset::Create();
    biotopes->put_CursorLocation(adUseClient);
    ASSERT_EQ(S_OK, biotopes->Open(L"SELECT * FROM FEA_BIOTOP", connection_, adOpenKeyset, adLockOptimistic, adCmdText));
    long long attrOrdinal = Count(L"SELECT cid FROM pragma_table_info('FEATURES') WHERE name = 'BIOTOP'");
    ASSERT_GE(attrOrdinal, 7);
    std::wstring known = First(path_, L"SELECT NAME FROM FEA_BIOTOP LIMIT 1");
    long long values = Count(L"SELECT COUNT(*) FROM FEA_BIOTOP");
    zdata::Recordset* features = Rs(TARGET_FEATURES);
    EXPECT_TRUE(CreateFeatureRow(features, biotopes, maxLocId_ + 1, L"U d'Orbignyho", L"", Real(14.0), Real(50.0),
                                 Real(312.5), known.c_str(), GridSquareText(14.0, 50.0).c_str(), (int)attrOrdinal));
    EXPECT_TRUE(CreateFeatureRow(features, biotopes, maxLocId_ + 2, L"Bez výšky", L"BV", Real(14.1), Real(49.95),
                                 treewalk::NullValue(), L"Rašeliniště nové", GridSquareText(14.1, 49.95).c_str(), (int)attrOrdinal));
    EXPECT_TRUE(CreateFeatureRow(features, nullptr, maxLocId_ + 3, L"Bez bodu", nullptr, treewalk::NullValue(), treewalk::NullValue(), treewalk::NullValue(),
                                 nullptr, GridSquareText(14.0, 56.5).c_str(), -1));
    EXPECT_FALSE(CreateFeatureRow(features, nullptr, maxLocId_ + 3, L"Podruhé", nullptr, treewalk::NullValue(), treewalk::NullValue(), treewalk::NullValue(),
                                  nullptr, L"", -1));
    biotopes->Close();
    biotopes->Release();
    EXPECT_EQ(values + 1, Count(L"SELECT COUNT(*) FROM FEA_BIOTOP"));
    rows = dbtest::Query(path_, L"SELECT NAME, quote(ABBREV), quote(LONGITUDE), quote(ALTITUDE), quote(SQUARE), "
                                L"quote(BIOTOP) FROM FEATURES WHERE LOCID > " + std::to_wstring(maxLocId_) + L" ORDER BY LOCID");
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ((std::vector<std::wstring>{L"U d'Orbignyho", L"NULL", L"14.0", L"312.5", L"'6050A'", L"'" + known + L"'"}), rows[0]);
    EXPECT_EQ((std::vector<std::wstring>{L"Bez výšky", L"'BV'", L"14.1", L"NULL", L"'6050D'", L"'Rašeliniště nové'"}), rows[1]);
    EXPECT_EQ((std::vector<std::wstring>{L"Bez bodu", L"NULL", L"NULL", L"NULL", L"NULL", L"NULL"}), rows[2]);
}

TEST(TargetItemNames, LocalityLabelsCarryCoordinatesAndParentsWithin63Characters)
{
    const std::wstring n50(50, L'n'), n60(60, L'n'), n61(61, L'n');
    struct Case {
        std::wstring name;
        bool coordinates;
        std::wstring text1, text2;
        std::wstring expected;
    } cases[] = {
        {L"Hradiště", true, L"Okres", L"Kraj", L"Hradiště (50\u00B0 15' 0\", 14\u00B0 30' 0\", Okres, Kraj)"},
        {L"Hradiště", false, L"Okres", L"Kraj", L"Hradiště (Okres, Kraj)"},
        {L"Hradiště", false, L"", L"Kraj", L"Hradiště (Kraj)"},  // nothing stood before it
        {L"Hradiště", false, L"", L"", L"Hradiště ()"},
        {n61, true, L"Okres", L"Kraj", n61},
        {n60, false, L"", L"", n60.substr(0, 59) + L"...)"},
        {n50, false, L"Okr", L"", n50 + L" (Okr, )"},
        {n50, false, L"Okres", L"Kr", n50 + L" (Okres, Kr)"},  // 62: not cut
        {n50, false, L"Okres", L"Kraj", n50 + L" (Okres, ...)"},
        {n50, true, L"Okres", L"Kraj", n50 + L" (50\u00B0 15'...)"},
    };
    for (const Case& c : cases) {
        wchar_t out[kImportNameChars];
        wmemset(out, L'#', kImportNameChars);
        VARIANT lon = c.coordinates ? Real(14.5) : treewalk::NullValue(), lat = c.coordinates ? Real(50.25) : treewalk::NullValue();
        int n = FormatLocLabel(out, c.name.c_str(), c.text1.c_str(), c.text2.c_str(), L"Země", lon, lat);
        EXPECT_EQ(c.expected, std::wstring(out)) << dbtest::Narrow(c.name.substr(0, 5));
        EXPECT_EQ((int)wcslen(out), n);
        EXPECT_LE(n, 63);
    }
}

TEST_F(TargetItems, LookupValuesNamedRowsAndPublicationsAreReusedAndReferencedInOrder)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(OpenTargetSlot(connection_, &tables_, TARGET_FIXED_SLOTS, L"select * from fea_biotop"));
    SourceColumn column = {};
    column.TargetType = ATTR_LOOKUP;
    wcscpy(column.TargetColumn, L"BIOTOP");
    std::wstring known = First(path_, L"SELECT NAME FROM FEA_BIOTOP LIMIT 1");
    long long values = Count(L"SELECT COUNT(*) FROM FEA_BIOTOP");
    VARIANT value = targetrows::TextValue(known.c_str());
    int slots = (int)tables_.Slots.size();
    EXPECT_TRUE(AddLookupValue(&column, L"FEA_", value, tables_.Slots.data(), slots));
    VariantClear(&value);
    value = targetrows::TextValue(L"Step d'Orbignyho");
    EXPECT_TRUE(AddLookupValue(&column, L"FEA_", value, tables_.Slots.data(), slots));
    EXPECT_TRUE(AddLookupValue(&column, L"FEA_", value, tables_.Slots.data(), slots));
    EXPECT_FALSE(AddLookupValue(&column, L"SPE_", value, tables_.Slots.data(), slots));  // not opened
    column.TargetType = ATTR_TEXT;
    EXPECT_TRUE(AddLookupValue(&column, L"SPE_", value, tables_.Slots.data(), slots));  // no table needed
    VariantClear(&value);
    EXPECT_EQ(values + 1, Count(L"SELECT COUNT(*) FROM FEA_BIOTOP"));

    // Named rows: found without regard to case, made with the id the database gives them.
    zdata::Recordset* authors = Rs(TARGET_LITAUTHORS);
    long long orbigny = Count(L"SELECT ID FROM LITAUTHORS WHERE NAME = 'd''Orbigny A.'");
    ASSERT_GT(orbigny, 0);
    EXPECT_EQ(orbigny, FindOrCreateNamed(authors, L"D'ORBIGNY A.", 1, 0));
    EXPECT_EQ(-1, FindOrCreateNamed(authors, L"", 1, 0));
    int newAuthor = FindOrCreateNamed(authors, L"Nováková J.", 1, 0);
    EXPECT_EQ(Count(L"SELECT ID FROM LITAUTHORS WHERE NAME = 'Nováková J.'"), newAuthor);
    EXPECT_EQ(newAuthor, FindOrCreateNamed(authors, L"NOVÁKOVÁ J.", 1, 0));

    // A new publication with its periodical and publisher, then its book authors.
    zdata::Recordset* literature = Rs(TARGET_LITERATURE);
    VARIANT journal = targetrows::TextValue(L"Časopis d'Orbignyho"), publisher = targetrows::TextValue(L"Academia nová");
    ASSERT_TRUE(FindOrCreateLiterature(literature, Rs(TARGET_JOURNALS), Rs(TARGET_EDITORS), authors,
                                       L"Střevlíci Čech", journal, publisher, L"Nováková J.", true));
    int litId = treewalk::RowInt(literature, 0, -1);
    ASSERT_EQ(Count(L"SELECT ID FROM LITERATURE WHERE NAME = 'Střevlíci Čech'"), litId);
    EXPECT_EQ((std::vector<std::wstring>{std::to_wstring(newAuthor), L"Časopis d'Orbignyho", L"Academia nová", L"Academia nová"}),
              dbtest::Query(path_, L"SELECT L.FIRSTAUTHOR, J.NAME, E.NAME, (SELECT NAME FROM EDITORS WHERE ID = J.EDITORID) "
                                   L"FROM LITERATURE L JOIN JOURNALS J ON J.ID = L.JOURNALID JOIN EDITORS E ON E.ID = L.EDITOR "
                                   L"WHERE L.ID = " + std::to_wstring(litId))[0]);
    zdata::Recordset* bookAuthors = Rs(TARGET_BOOKAUTHORS);
    const std::wstring longName = L"Abcdefghijklmnopqrstuvwxyz01234";  // 31 characters
    AddLiteratureRefs(litId, authors, bookAuthors,
                      (L"  Nováková J. ;  Dvořák P.  ;;" + longName + L"567;" + longName + L"89 ").c_str(), L";");
    AddLiteratureRefs(litId, authors, bookAuthors, L"Jiný A.", L"");  // has authors: left as they are
    EXPECT_EQ((dbtest::Rows{{L"1", L"Nováková J."}, {L"2", L"Dvořák P."}, {L"3", longName}, {L"4", longName}}),
              dbtest::Query(path_, L"SELECT B.AUTHPOS, A.NAME FROM BOOKAUTHORS B JOIN LITAUTHORS A ON A.ID = B.AUTHORID "
                                   L"WHERE B.LITID = " + std::to_wstring(litId) + L" ORDER BY B.AUTHPOS"));
    EXPECT_EQ(1, Count(L"SELECT COUNT(*) FROM LITAUTHORS WHERE NAME LIKE 'Abcdefghijklmnopqrstuvwxyz01234%'"));
    EXPECT_EQ(0, Count(L"SELECT COUNT(*) FROM LITAUTHORS WHERE NAME = 'Jiný A.'"));

    // The same title again is that publication, unchanged; no title is none.
    long long publications = Count(L"SELECT COUNT(*) FROM LITERATURE");
    VARIANT none = treewalk::NullValue();
    EXPECT_TRUE(FindOrCreateLiterature(literature, Rs(TARGET_JOURNALS), Rs(TARGET_EDITORS), authors,
                                       L"STŘEVLÍCI ČECH", none, none, L"Nováková J.", true));
    EXPECT_EQ(litId, treewalk::RowInt(literature, 0, -1));
    EXPECT_FALSE(FindOrCreateLiterature(literature, Rs(TARGET_JOURNALS), Rs(TARGET_EDITORS), authors,
                                        L"", none, none, L"Nováková J.", true));
    // Left pending for the caller, which stores it.
    ASSERT_TRUE(FindOrCreateLiterature(literature, Rs(TARGET_JOURNALS), Rs(TARGET_EDITORS), authors,
                                       L"Bez časopisu", none, journal, L"", false));
    EXPECT_EQ(S_OK, literature->Update());
    EXPECT_EQ(publications + 1, Count(L"SELECT COUNT(*) FROM LITERATURE"));
    EXPECT_EQ((std::vector<std::wstring>{L"NULL", L"NULL", L"1"}),
              dbtest::Query(path_, L"SELECT quote(JOURNALID), quote(FIRSTAUTHOR), EDITOR > 0 FROM LITERATURE WHERE NAME = 'Bez časopisu'")[0]);
    VariantClear(&journal);
    VariantClear(&publisher);
}
