// The Czech order in the data layer: the translator naming the Czech collations in queries, the
// same order through SQL, the layer's Filter and Find, and a sort in memory, and a connection
// whose extension is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "czechcollation/czechtext.h"
#include "dataaccess/collationext.h"
#include "dataaccess/filterexpr.h"
#include "dataaccess/sqltranslate.h"
#include "tests/dataaccess/adotest.h"

using namespace zdata;
using adotest::Ref;

namespace {

// A catalog of fixed tables: names with their columns as "NAME:t" (text), "NAME:tn" (text
// declared NOCASE), "NAME:n" (not text) or "NAME:?" (unknown type).
class FakeCatalog : public SqlCatalog
{
public:
    FakeCatalog(bool czech, std::map<std::wstring, std::vector<std::wstring>> tables) : czech_(czech)
    {
        for (auto& t : tables) {
            std::vector<ColumnDecl>& columns = tables_[t.first];
            for (const std::wstring& spec : t.second) {
                ColumnDecl d;
                size_t colon = spec.rfind(L':');
                d.name = spec.substr(0, colon);
                std::wstring kind = spec.substr(colon + 1);
                d.kind = kind[0] == L't' ? ColumnDecl::Kind::Text
                         : kind[0] == L'n' ? ColumnDecl::Kind::NotText : ColumnDecl::Kind::Unknown;
                d.noCase = kind == L"tn";
                columns.push_back(d);
            }
        }
    }
    bool HasCzechOrder() override { return czech_; }
    const std::vector<ColumnDecl>* ColumnsOf(const std::wstring& name) override
    {
        for (auto& t : tables_)
            if (_wcsicmp(t.first.c_str(), name.c_str()) == 0)
                return &t.second;
        return nullptr;
    }

private:
    bool czech_;
    std::map<std::wstring, std::vector<ColumnDecl>> tables_;
};

FakeCatalog Schema(bool czech)
{
    return FakeCatalog(czech, {
        { L"LOCTREE", { L"ID:n", L"PARENT:n", L"NAME:tn", L"ABBREV:t" } },
        { L"SYSAUTHORS", { L"NAME:tn" } },
        { L"LITAUTHORS", { L"ID:n", L"NAME:tn" } },
        { L"LITERATURE", { L"ID:n", L"NAME:tn", L"FIRSTAUTHOR:n", L"IVOLUME:t" } },
        { L"COLLECTVIEW", { L"ID:n", L"SYSID:n", L"NAME:t", L"NAME:1:t", L"ALTITUDE:n", L"EXPR:?" } },
    });
}

}  // namespace

TEST(CzechSqlTranslate, QueriesNameTheCzechCollations)
{
    FakeCatalog catalog = Schema(true);
    struct Case { const wchar_t* in; const wchar_t* out; };
    const Case cases[] = {
        // ORDER BY on text columns, also of a view and with a direction; numbers keep their index.
        { L"SELECT * FROM LOCTREE WHERE ID > 0 ORDER BY PARENT, NAME",
          L"SELECT * FROM LOCTREE WHERE ID > 0 ORDER BY PARENT, NAME COLLATE CZECH" },
        { L"SELECT * FROM COLLECTVIEW WHERE T1.SYSID = 5 ORDER BY NAME:1 DESC, ALTITUDE",
          L"SELECT * FROM COLLECTVIEW AS T1 WHERE T1.SYSID = 5 ORDER BY \"NAME:1\" COLLATE CZECH DESC, ALTITUDE" },
        { L"SELECT * FROM COLLECTVIEW ORDER BY T1.NAME ASC",
          L"SELECT * FROM COLLECTVIEW AS T1 ORDER BY T1.NAME COLLATE CZECH ASC" },
        { L"SELECT T.NAME FROM LITERATURE AS T ORDER BY T.IVOLUME, T.ID",
          L"SELECT T.NAME FROM LITERATURE AS T ORDER BY T.IVOLUME COLLATE CZECH, T.ID" },
        // A column the catalog cannot tell is sorted the Czech way too: for numbers it is the same.
        { L"SELECT * FROM COLLECTVIEW ORDER BY EXPR, UNKNOWN NULLS LAST",
          L"SELECT * FROM COLLECTVIEW ORDER BY EXPR COLLATE CZECH, UNKNOWN COLLATE CZECH NULLS LAST" },
        // Name matches on columns declared NOCASE, on either side, with IN and NOT IN.
        { L"SELECT NAME FROM SYSAUTHORS WHERE NAME = ?",
          L"SELECT NAME FROM SYSAUTHORS WHERE NAME COLLATE CZECH_NOCASE = ?" },
        { L"SELECT ID FROM LITAUTHORS WHERE 'Černý' = NAME AND ID <> 3",
          L"SELECT ID FROM LITAUTHORS WHERE 'Černý' = NAME COLLATE CZECH_NOCASE AND ID <> 3" },
        { L"SELECT * FROM LOCTREE WHERE (NAME IN ('a', 'b') OR NAME NOT IN (?)) AND ABBREV = 'x'",
          L"SELECT * FROM LOCTREE WHERE (NAME COLLATE CZECH_NOCASE IN ('a', 'b') OR NAME COLLATE CZECH_NOCASE NOT IN (?)) AND ABBREV = 'x'" },
        { L"SELECT A.ID FROM LITERATURE AS L JOIN LITAUTHORS AS A ON A.NAME <> L.NAME WHERE L.ID = 1",
          L"SELECT A.ID FROM LITERATURE AS L JOIN LITAUTHORS AS A ON A.NAME COLLATE CZECH_NOCASE <> L.NAME COLLATE CZECH_NOCASE WHERE L.ID = 1" },
        { L"WITH N AS (SELECT NAME FROM SYSAUTHORS WHERE NAME == ?) SELECT * FROM N ORDER BY 1",
          L"WITH N AS (SELECT NAME FROM SYSAUTHORS WHERE NAME COLLATE CZECH_NOCASE == ?) SELECT * FROM N ORDER BY 1" },
        { L"SELECT * FROM (SELECT NAME FROM LOCTREE ORDER BY NAME LIMIT 5) ORDER BY NAME",
          L"SELECT * FROM (SELECT NAME FROM LOCTREE ORDER BY NAME COLLATE CZECH LIMIT 5) ORDER BY NAME COLLATE CZECH" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::wstring(c.out), TranslateSql(c.in, &catalog)) << std::wstring(c.in).c_str();
}

TEST(CzechSqlTranslate, LeavesAloneWhatMustStay)
{
    FakeCatalog czech = Schema(true);
    FakeCatalog plain = Schema(false);
    const wchar_t* same[] = {
        // Own collations, expressions, ordinals, ranges and LIKE.
        L"SELECT * FROM LOCTREE ORDER BY NAME COLLATE NOCASE, ID",
        L"SELECT * FROM LOCTREE ORDER BY LOWER(NAME), 2, ABBREV || NAME",
        L"SELECT * FROM LOCTREE WHERE NAME COLLATE BINARY = 'a' AND NAME >= 'M' AND NAME LIKE 'c%'",
        L"SELECT * FROM LOCTREE WHERE NAME || 'x' = ? AND ? = NAME || 'y'",
        // Columns not declared NOCASE and unknown tables.
        L"SELECT * FROM LOCTREE WHERE ABBREV = 'Br'",
        L"SELECT * FROM COLLECTVIEW WHERE NAME = 'x'",
        L"SELECT * FROM NOSUCH WHERE NAME = 'x'",
        // Writes and the schema: nothing in the file may depend on the extension.
        L"UPDATE LOCTREE SET NAME = ? WHERE NAME = ?",
        L"DELETE FROM SYSAUTHORS WHERE NAME = ?",
        L"INSERT INTO SYSAUTHORS (NAME) SELECT NAME FROM LITAUTHORS WHERE NAME = ? ORDER BY NAME",
        L"WITH N AS (SELECT 1) DELETE FROM SYSAUTHORS WHERE NAME IN (SELECT NAME FROM LITAUTHORS ORDER BY NAME)",
        L"CREATE VIEW V AS SELECT NAME FROM LOCTREE WHERE NAME = 'a' ORDER BY NAME",
        L"CREATE INDEX IX ON LOCTREE(NAME)",
        L"SELECT 'NAME = ?' FROM LOCTREE ORDER BY 'NAME'",
    };
    for (const wchar_t* s : same)
        EXPECT_EQ(TranslateSql(s), TranslateSql(s, &czech)) << s;
    // Without the extension no query names the collations.
    const wchar_t* queries[] = { L"SELECT * FROM LOCTREE ORDER BY NAME", L"SELECT * FROM SYSAUTHORS WHERE NAME = ?" };
    for (const wchar_t* q : queries)
        EXPECT_EQ(std::wstring(q), TranslateSql(q, &plain)) << q;
}

TEST(CzechSqlTranslate, SchemaFacts)
{
    EXPECT_EQ(ColumnDecl::Kind::Text, KindOfDeclaredType(L"VARCHAR(64)"));
    EXPECT_EQ(ColumnDecl::Kind::Text, KindOfDeclaredType(L"text"));
    EXPECT_EQ(ColumnDecl::Kind::NotText, KindOfDeclaredType(L"INTEGER"));
    EXPECT_EQ(ColumnDecl::Kind::NotText, KindOfDeclaredType(L"DOUBLE"));
    EXPECT_EQ(ColumnDecl::Kind::NotText, KindOfDeclaredType(L"DATETIME"));
    EXPECT_EQ(ColumnDecl::Kind::NotText, KindOfDeclaredType(L"BLOB"));
    EXPECT_EQ(ColumnDecl::Kind::Unknown, KindOfDeclaredType(L""));
    std::vector<std::wstring> noCase = NoCaseColumns(
        L"CREATE TABLE X (ID INTEGER PRIMARY KEY, \"NAME\" VARCHAR(64) COLLATE NOCASE NOT NULL CHECK (NAME <> ''), "
        L"ABBREV VARCHAR(8), [NOTE] TEXT collate nocase, KEYS TEXT COLLATE BINARY, UNIQUE (NAME COLLATE NOCASE))");
    EXPECT_EQ((std::vector<std::wstring>{ L"NAME", L"NOTE" }), noCase);
}

namespace {

// Names in Czech order; the entries of a group differ in case only.
struct Ordered
{
    const wchar_t* name;
    int group;
};
const Ordered kOrdered[] = {
    { L"1. máj", 0 }, { L"Bílá", 1 }, { L"cukr", 2 }, { L"Cvikov", 3 }, { L"čaj", 4 }, { L"Čistá", 5 },
    { L"ďábel", 6 }, { L"d'Orbigny", 7 }, { L"dub", 8 }, { L"eta", 9 }, { L"éta", 10 }, { L"Hradec", 11 },
    { L"Hradec Králové", 12 }, { L"Hradecký", 13 }, { L"chata", 14 }, { L"Chata", 14 }, { L"CHATA", 14 },
    { L"Chrudim", 15 }, { L"kun", 16 }, { L"kůň", 17 }, { L"kuna", 18 }, { L"motýl noční", 19 },
    { L"motýlek", 20 }, { L"O'Brien", 22 }, { L"Radotín", 23 }, { L"Řeporyje", 24 },
    { L"shoda", 25 }, { L"schody", 26 }, { L"sídliště", 27 }, { L"tuk", 28 }, { L"ťuk", 29 }, { L"uhlí", 30 },
    { L"Úsobí", 31 }, { L"Ústecký kraj", 32 }, { L"Vlčnov", 33 }, { L"Zlínský kraj", 34 }, { L"zub", 35 },
    { L"Žatec", 36 }, { L"ŽATEC", 36 },
};
const size_t kOrderedCount = sizeof(kOrdered) / sizeof(kOrdered[0]);

std::wstring Upper(std::wstring s)
{
    CharUpperBuffW(&s[0], (DWORD)s.size());
    return s;
}

class CzechLayerTest : public adotest::LayerTest
{
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        Exec(L"CREATE TABLE NAMES (ID INTEGER PRIMARY KEY, NAME VARCHAR(64) COLLATE NOCASE)");
        std::vector<std::wstring> names;
        for (const Ordered& o : kOrdered)
            names.push_back(o.name);
        std::shuffle(names.begin(), names.end(), std::mt19937(3));
        for (const std::wstring& n : names)
            Exec((L"INSERT INTO NAMES (NAME) VALUES (" + FilterQuote(n) + L")").c_str());
    }

    std::vector<std::wstring> Expected() const
    {
        std::vector<std::wstring> names;
        for (const Ordered& o : kOrdered)
            names.push_back(o.name);
        return names;
    }
};

}  // namespace

// One order in three places: SQL ORDER BY through the driver, the layer's Filter and Find, and a
// sort in memory.
TEST_F(CzechLayerTest, OneOrderInThreePlaces)
{
    ASSERT_TRUE(conn_->HasCzechOrder()) << "the collation extension is not beside the test program";
    EXPECT_TRUE(conn_->MissingCollationExtension().empty());

    // SQL (server and client cursors).
    for (long location : { adUseServer, adUseClient }) {
        Ref<Recordset> rs(Open(L"SELECT NAME FROM NAMES ORDER BY NAME", adLockReadOnly, location));
        EXPECT_EQ(Expected(), Column(rs.get(), L"NAME")) << "location " << location;
    }

    // The layer: "NAME < x" keeps exactly the names of the groups before x's, "NAME = X" finds the
    // first of x's group whatever its case.
    Ref<Recordset> rs(Open(L"SELECT NAME FROM NAMES ORDER BY NAME"));
    for (size_t i = 0; i < kOrderedCount; ++i) {
        long before = 0;
        while (kOrdered[before].group < kOrdered[i].group)
            ++before;
        std::wstring name = kOrdered[i].name;
        ASSERT_EQ(S_OK, rs->put_Filter((L"NAME < " + FilterQuote(name)).c_str()));
        EXPECT_EQ(before, Count(rs.get())) << "before " << std::string(name.begin(), name.end());
        VARIANT none;
        none.vt = VT_I4;
        none.lVal = adFilterNone;
        ASSERT_EQ(S_OK, rs->put_Filter(none));
        rs->MoveFirst();
        ASSERT_EQ(S_OK, rs->Find((L"NAME = " + FilterQuote(Upper(name))).c_str()));
        ASSERT_FALSE(rs->IsEOF());
        EXPECT_EQ(std::wstring(kOrdered[before].name), Text(rs.get(), L"NAME"));
    }

    // In memory.
    std::vector<std::wstring> names = Expected();
    std::shuffle(names.begin(), names.end(), std::mt19937(5));
    std::sort(names.begin(), names.end(), CzechLess());
    EXPECT_EQ(Expected(), names);
}

// Names match ignoring case only in SQL as in the layer: ČERNÝ finds Černý, not Cerny; LIKE reads
// ch as one letter.
TEST_F(CzechLayerTest, NamesMatchIgnoringCaseOnly)
{
    Exec(L"INSERT INTO NAMES (NAME) VALUES ('Černý'), ('Cerny')");
    Ref<Recordset> rs(Open(L"SELECT NAME FROM NAMES WHERE NAME = 'ČERNÝ'"));
    EXPECT_EQ((std::vector<std::wstring>{ L"Černý" }), Column(rs.get(), L"NAME"));
    rs.reset(Open(L"SELECT NAME FROM NAMES WHERE NAME IN ('CERNY', 'ŽATEC') ORDER BY NAME"));
    EXPECT_EQ((std::vector<std::wstring>{ L"Cerny", L"Žatec", L"ŽATEC" }), Column(rs.get(), L"NAME"));

    rs.reset(Open(L"SELECT NAME FROM NAMES ORDER BY NAME"));
    ASSERT_EQ(S_OK, rs->put_Filter(L"NAME = 'černý'"));
    EXPECT_EQ((std::vector<std::wstring>{ L"Černý" }), Column(rs.get(), L"NAME"));
    ASSERT_EQ(S_OK, rs->put_Filter(L"NAME LIKE 'c*'"));
    EXPECT_EQ((std::vector<std::wstring>{ L"Cerny", L"cukr", L"Cvikov" }), Column(rs.get(), L"NAME"));
    ASSERT_EQ(S_OK, rs->put_Filter(L"NAME LIKE 'CH*'"));
    EXPECT_EQ((std::vector<std::wstring>{ L"chata", L"Chata", L"CHATA", L"Chrudim" }), Column(rs.get(), L"NAME"));
}

// Without the extension the file opens all the same: queries run in the schema's own order, the
// connection names what is missing, and nothing written depends on the extension.
TEST_F(CzechLayerTest, MissingExtensionFallsBackToThePlainOrder)
{
    std::wstring empty = wintest::MakeTempFolder(L"CzechLayerTest_NoExtension");
    SetCollationExtensionFolder(empty.c_str());
    Connection* bare = Connection::Create();
    HRESULT hr = bare->Open(adotest::ConnectionStringFor(path_).c_str(), L"", L"", adConnectUnspecified);
    SetCollationExtensionFolder(nullptr);
    ASSERT_EQ(S_OK, hr);
    EXPECT_FALSE(bare->HasCzechOrder());
    EXPECT_EQ(empty + L"\\" + CollationExtensionFileName(), bare->MissingCollationExtension());

    Recordset* rs = Recordset::Create();
    rs->put_CursorLocation(adUseClient);
    ASSERT_EQ(S_OK, rs->Open(L"SELECT NAME FROM NAMES WHERE NAME = 'cvikov' ORDER BY NAME", bare, adOpenKeyset,
                             adLockReadOnly, adCmdText));
    EXPECT_EQ(1, Count(rs));
    rs->Close();
    ASSERT_EQ(S_OK, rs->Open(L"SELECT NAME FROM NAMES ORDER BY NAME", bare, adOpenKeyset, adLockReadOnly, adCmdText));
    std::vector<std::wstring> plain = Column(rs, L"NAME");
    auto at = [&plain](const wchar_t* name) { return std::find(plain.begin(), plain.end(), name) - plain.begin(); };
    EXPECT_GT(at(L"Čistá"), at(L"zub"));  // NOCASE: Č, Ř, Ú, Ž after z
    EXPECT_LT(at(L"Chrudim"), at(L"dub"));
    rs->Close();
    rs->Release();
    bare->Close();
    bare->Release();
    RemoveDirectoryW(empty.c_str());

    // The connection with the extension reads the same file in Czech order.
    Ref<Recordset> czech(Open(L"SELECT NAME FROM NAMES ORDER BY NAME", adLockReadOnly));
    EXPECT_EQ(Expected(), Column(czech.get(), L"NAME"));
}
