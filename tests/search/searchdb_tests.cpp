// Conditions built by the search page's WHERE builder, run through the database object's search
// list query (the data layer and its SQL translation) on a generated sample database, against
// independent queries of the base tables with bound parameters. Also thousands of hostile typed
// values, which must select exactly what a bound parameter selects and change nothing.
#include <gtest/gtest.h>

#include <windows.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "search/searchvalues.h"
#include "search/searchwhere.h"
#include "core/attrdef.h"
#include "core/containers.h"
#include "core/database.h"
#include "core/fields.h"
#include "core/msgbox.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "core/textutil.h"
#include "tests/search/searchentry.h"
#include "tests/core/dbfixture.h"
#include "tests/core/sampletemplate.h"
#include "tests/support/wintest.h"

namespace {

const NumberSeparators kCzech = {L',', L'\u00A0'};

// A parameter of an independent query.
struct Param
{
    enum Kind { Int, Real, Text } kind;
    long long i;
    double d;
    std::wstring text;
};
Param I(long long v) { return {Param::Int, v, 0, L""}; }
Param R(double v) { return {Param::Real, 0, v, L""}; }
Param T(const std::wstring& v) { return {Param::Text, 0, 0, v}; }

// The first column of every row of a query with bound parameters, sorted.
std::vector<int> BoundIds(zor::RawOdbc& raw, const std::wstring& sql, std::vector<Param> params)
{
    std::vector<int> ids;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, raw.Handle(), &stmt)))
        return ids;
    std::vector<SQLLEN> lengths(params.size());
    bool ok = SQL_SUCCEEDED(SQLPrepareW(stmt, (SQLWCHAR*)sql.c_str(), SQL_NTS));
    for (size_t k = 0; ok && k < params.size(); ++k) {
        Param& p = params[k];
        SQLUSMALLINT n = static_cast<SQLUSMALLINT>(k + 1);
        if (p.kind == Param::Int) {
            lengths[k] = 0;
            ok = SQL_SUCCEEDED(SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &p.i, 0,
                                                &lengths[k]));
        } else if (p.kind == Param::Real) {
            lengths[k] = 0;
            ok = SQL_SUCCEEDED(SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &p.d, 0,
                                                &lengths[k]));
        } else {
            lengths[k] = static_cast<SQLLEN>(p.text.size() * sizeof(wchar_t));
            ok = SQL_SUCCEEDED(SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                                p.text.size() + 1, 0, (SQLPOINTER)p.text.c_str(),
                                                lengths[k] + 2, &lengths[k]));
        }
    }
    ok = ok && SQL_SUCCEEDED(SQLExecute(stmt));
    EXPECT_TRUE(ok) << dbtest::Narrow(sql);
    while (ok && SQL_SUCCEEDED(SQLFetch(stmt))) {
        SQLINTEGER id = 0;
        SQLLEN indicator = 0;
        SQLGetData(stmt, 1, SQL_C_SLONG, &id, 0, &indicator);
        ids.push_back(id);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::wstring Template()
{
    zor::SampleDbOptions options;
    options.records = 3000;
    options.seed = 15;
    return SharedSampleTemplate(L"searchtemplate", options);
}

class SearchDbTest : public dbtest::DbTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(CopyTemplate(Template(), L"searchdb"));
        folder_ = path_.substr(0, path_.rfind(L'\\'));
    }
    void TearDown() override
    {
        for (int i = 0; i < catalogue_.GetCount(); ++i)
            delete static_cast<CDispField*>(catalogue_.GetItems()[i])->Field;
        catalogue_.RemoveAll(1);
        raw_.Close();
        dbtest::DbTest::TearDown();
        wintest::RemoveFolder(folder_);
    }
    void Open()
    {
        main_ = dbtest::MakeMainWindow();
        ASSERT_NO_FATAL_FAILURE(OpenDb());
        db_->BuildSearchListColumns(&catalogue_);
        ASSERT_TRUE(raw_.Open(path_, false));
    }

    const CustomAttrDef* FindAttr(int table, const wchar_t* column) { return db_->FindAttrDef(table, column); }
    // The catalogue's entry of a column, as the search page offers it.
    CDispField* Field(const wchar_t* table, const wchar_t* column)
    {
        for (int i = 0; i < catalogue_.GetCount(); ++i) {
            CDispField* d = static_cast<CDispField*>(catalogue_.GetItems()[i]);
            CFieldInfo* info = static_cast<CFieldInfo*>(d->Field);
            if (_wcsicmp(info->TableName, table) == 0 && _wcsicmp(info->Field, column) == 0)
                return d;
        }
        ADD_FAILURE() << "no column " << dbtest::Narrow(column);
        return nullptr;
    }
    std::unique_ptr<SearchEntry> On(const wchar_t* table, const wchar_t* column)
    {
        std::unique_ptr<SearchEntry> c(new SearchEntry(Field(table, column)));
        c->Entry.TableKind = SearchTableKindOf(table);
        c->Def(FindAttr(c->Entry.TableKind, column));
        return c;
    }
    WhereContext Context()
    {
        return {db_->GetRecordViewFields(), db_->RecordViewFields->GetCount(), kCzech,
                [this](int t, const wchar_t* c) { return FindAttr(t, c); }};
    }
    std::wstring Criteria(std::vector<const SearchFieldEntry*> entries)
    {
        return BuildCriteriaText(entries.data(), static_cast<int>(entries.size()), Context());
    }

    // The record ids the search list gets for a condition, through the database object.
    std::vector<int> Searched(const std::wstring& where)
    {
        ListQuery q = {};
        q.Kind = 3;
        q.Where = where.empty() ? nullptr : where.c_str();
        db_->QueryAllRecords(100, &q);
        std::vector<int> ids;
        zdata::Recordset* rs = db_->SearchRecordsRs;
        zdata::Fields* fields = nullptr;
        if (q.RowCount <= 0 || !rs || FAILED(rs->get_Fields(&fields)) || !fields)
            return ids;
        zdata::Field* id = nullptr;
        fields->Item(0L, &id);
        for (HRESULT hr = rs->MoveFirst(); SUCCEEDED(hr) && !rs->IsEOF(); hr = rs->MoveNext()) {
            VARIANT v;
            VariantInit(&v);
            id->get_Value(&v);
            ids.push_back(VariantToInt(&v));
            VariantClear(&v);
        }
        id->Release();
        fields->Release();
        EXPECT_EQ(static_cast<size_t>(q.RowCount), ids.size());
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    long long DataVersion() { return raw_.QueryInt(L"PRAGMA data_version"); }

    std::wstring folder_;
    CObjArray catalogue_{16, 4};
    zor::RawOdbc raw_;
};

// The records below a tree item (its whole subtree), independent of the path columns.
const wchar_t* kBelowTaxon = L"WITH RECURSIVE sub(id) AS (SELECT ? UNION ALL SELECT T.ID FROM SYSTREE T "
                             L"JOIN sub ON T.PARENT = sub.id AND T.ID > 0) ";
const wchar_t* kBelowLocality = L"WITH RECURSIVE sub(id) AS (SELECT ? UNION ALL SELECT T.ID FROM LOCTREE T "
                                L"JOIN sub ON T.PARENT = sub.id AND T.ID > 0) ";

// A calendar month as the user types it, with its first day and the first day of the next one.
struct Month
{
    std::wstring First, Last;
    double Start, End;
};
Month MonthOf(double oleDate)
{
    SYSTEMTIME t = {};
    VariantTimeToSystemTime(oleDate, &t);
    Month m;
    m.Start = zor::OleDateOf(t.wYear, t.wMonth, 1);
    m.End = t.wMonth == 12 ? zor::OleDateOf(t.wYear + 1, 1, 1) : zor::OleDateOf(t.wYear, t.wMonth + 1, 1);
    SYSTEMTIME last = {};
    VariantTimeToSystemTime(m.End - 1, &last);
    m.First = L"1." + std::to_wstring(t.wMonth) + L"." + std::to_wstring(t.wYear);
    m.Last = std::to_wstring(last.wDay) + L"." + std::to_wstring(t.wMonth) + L"." + std::to_wstring(t.wYear);
    return m;
}

// The first value of a query as the double the file holds.
double RealOf(zor::RawOdbc& raw, const std::wstring& sql)
{
    double value = 0;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, raw.Handle(), &stmt)))
        return value;
    SQLLEN indicator = 0;
    if (SQL_SUCCEEDED(SQLExecDirectW(stmt, (SQLWCHAR*)sql.c_str(), SQL_NTS)) && SQL_SUCCEEDED(SQLFetch(stmt)))
        SQLGetData(stmt, 1, SQL_C_DOUBLE, &value, 0, &indicator);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return value;
}

std::wstring Czech(double x)
{
    std::wstring text = RealToSqlText(x);
    std::replace(text.begin(), text.end(), L'.', L',');
    return text;
}

}  // namespace

TEST_F(SearchDbTest, EachConditionSelectsWhatBoundQueriesSelect)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    // A genus, a region, lookup values (one with an apostrophe), an exact stored latitude.
    int genus = (int)raw_.QueryInt(L"SELECT T.ID FROM SYSTREE T WHERE T.SYSLEVEL = 3 AND EXISTS (SELECT 1 FROM "
                                   L"ZORNACOLLS Z WHERE Z.SYS_LEVEL_3 = T.ID) ORDER BY T.ID LIMIT 1");
    int region = (int)raw_.QueryInt(L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 2 ORDER BY ID LIMIT 1 OFFSET 1");
    ASSERT_GT(genus, 0);
    ASSERT_GT(region, 0);
    ASSERT_TRUE(raw_.Exec(L"INSERT INTO ZOR_METODA (NAME) VALUES ('Zemní past d''Arc')"));
    ASSERT_TRUE(raw_.Exec(L"UPDATE ZORNACOLLS SET METODA = 'Zemní past d''Arc' WHERE ID % 7 = 0"));
    std::wstring method = raw_.QueryText(L"SELECT METODA FROM ZORNACOLLS WHERE METODA IS NOT NULL AND ID % 7 <> 0 "
                                         L"ORDER BY ID LIMIT 1");
    int locality = (int)raw_.QueryInt(L"SELECT F.LOCID FROM FEATURES F WHERE F.LATITUDE IS NOT NULL AND EXISTS "
                                      L"(SELECT 1 FROM ZORNACOLLS Z WHERE Z.FTRID = F.LOCID) ORDER BY F.LOCID LIMIT 1");
    std::vector<int> loc = BoundIds(raw_, L"SELECT ID FROM ZORNACOLLS WHERE FTRID = ?", {I(locality)});
    double latitude = RealOf(raw_, L"SELECT LATITUDE FROM FEATURES WHERE LOCID = " + std::to_wstring(locality));
    std::wstring leg = raw_.QueryText(L"SELECT LEG FROM ZORNACOLLS WHERE LEG IS NOT NULL AND POCET IS NOT NULL "
                                      L"ORDER BY ID LIMIT 1");
    long long legCount = raw_.QueryInt(L"SELECT POCET FROM ZORNACOLLS WHERE LEG IS NOT NULL AND POCET IS NOT NULL "
                                       L"ORDER BY ID LIMIT 1");
    std::wstring square = raw_.QueryText(L"SELECT SQUARE FROM FEATURES WHERE SQUARE IS NOT NULL ORDER BY LOCID LIMIT 1");
    std::wstring czechName = raw_.QueryText(L"SELECT S.CESKYNAZEV FROM SPECIES S JOIN ZORNACOLLS Z ON Z.SYSID = "
                                            L"S.SYSID WHERE S.CESKYNAZEV IS NOT NULL AND Z.DOKLAD = -1 ORDER BY Z.ID "
                                            L"LIMIT 1");
    ASSERT_FALSE(method.empty());
    ASSERT_FALSE(leg.empty());
    ASSERT_FALSE(czechName.empty());
    // Months in which the genus and the lookup value have records.
    Month genusMonth = MonthOf(RealOf(raw_, L"SELECT DATUM FROM ZORNACOLLS WHERE SYS_LEVEL_3 = " +
                                                std::to_wstring(genus) + L" ORDER BY ID LIMIT 1"));
    Month methodMonth = MonthOf(RealOf(raw_, L"SELECT DATUM FROM ZORNACOLLS WHERE ID % 7 = 0 ORDER BY ID LIMIT 1"));

    struct Case {
        std::wstring where;
        std::wstring sql;
        std::vector<Param> params;
    };
    std::vector<Case> cases;
    {  // a genus plus a month of DATUM
        LevelIdLists sys;
        AddLevelId(&sys, 3, genus);
        auto date = On(L"ZORNACOLLS", L"DATUM");
        date->Range(genusMonth.First.c_str(), genusMonth.Last.c_str());
        cases.push_back({CombineWhere(BuildTreeCondition(L"SYS_LEVEL_", sys), L"", Criteria({&date->Entry})),
                         std::wstring(kBelowTaxon) + L"SELECT ID FROM ZORNACOLLS WHERE SYSID IN (SELECT id FROM sub) "
                                                     L"AND DATUM >= ? AND DATUM < ?",
                         {I(genus), R(genusMonth.Start), R(genusMonth.End)}});
    }
    {  // a region plus POCET >= 10
        LevelIdLists loc;
        AddLevelId(&loc, 2, region);
        auto count = On(L"ZORNACOLLS", L"POCET");
        count->Range(L"10", nullptr);
        cases.push_back({CombineWhere(L"", BuildTreeCondition(L"LOC_LEVEL_", loc), Criteria({&count->Entry})),
                         std::wstring(kBelowLocality) + L"SELECT ID FROM ZORNACOLLS WHERE FTRID IN (SELECT id FROM sub) "
                                                        L"AND POCET >= ?",
                         {I(region), I(10)}});
    }
    {  // values and a bound of a whole number
        auto count = On(L"ZORNACOLLS", L"POCET");
        count->Values({L"3", L"x", L"5"}).Range(L"10", nullptr);
        cases.push_back({Criteria({&count->Entry}),
                         L"SELECT ID FROM ZORNACOLLS WHERE POCET IN (?, ?) OR POCET >= ?", {I(3), I(5), I(10)}});
    }
    {  // lookup values, one with an apostrophe, and a month
        auto methods = On(L"ZORNACOLLS", L"METODA");
        methods->Values({method, L"Zemní past d'Arc"});
        auto date = On(L"ZORNACOLLS", L"DATUM");
        date->Range(methodMonth.First.c_str(), methodMonth.Last.c_str());
        cases.push_back({Criteria({&methods->Entry, &date->Entry}),
                         L"SELECT ID FROM ZORNACOLLS WHERE METODA IN (?, ?) AND DATUM >= ? AND DATUM < ?",
                         {T(method), T(L"Zemní past d'Arc"), R(methodMonth.Start), R(methodMonth.End)}});
    }
    {  // an exact stored latitude typed with a decimal comma, and a range of altitudes
        auto lat = On(L"FEATURES", L"LATITUDE");
        lat->Values({Czech(latitude)});
        cases.push_back({Criteria({&lat->Entry}),
                         L"SELECT Z.ID FROM ZORNACOLLS Z JOIN FEATURES F ON F.LOCID = Z.FTRID WHERE F.LATITUDE = ?",
                         {R(latitude)}});
        auto alt = On(L"FEATURES", L"ALTITUDE");
        alt->Range(L"200", L"1\u00A0000,5");
        cases.push_back({Criteria({&alt->Entry}),
                         L"SELECT Z.ID FROM ZORNACOLLS Z JOIN FEATURES F ON F.LOCID = Z.FTRID WHERE F.ALTITUDE >= ? "
                         L"AND F.ALTITUDE <= ?",
                         {R(200), R(1000.5)}});
    }
    {  // texts of the localities and the taxa, a boolean
        auto sq = On(L"FEATURES", L"SQUARE");
        sq->Values({square});
        auto name = On(L"SPECIES", L"CESKYNAZEV");
        name->Values({czechName, L"nic takového"});
        auto proof = On(L"ZORNACOLLS", L"DOKLAD");
        proof->Values({L"-1"});
        cases.push_back({Criteria({&sq->Entry}),
                         L"SELECT Z.ID FROM ZORNACOLLS Z JOIN FEATURES F ON F.LOCID = Z.FTRID WHERE F.SQUARE = ?",
                         {T(square)}});
        cases.push_back({Criteria({&name->Entry, &proof->Entry}),
                         L"SELECT Z.ID FROM ZORNACOLLS Z JOIN SPECIES S ON S.SYSID = Z.SYSID WHERE S.CESKYNAZEV IN "
                         L"(?, ?) AND Z.DOKLAD = ?",
                         {T(czechName), T(L"nic takového"), I(-1)}});
    }
    {  // a composed column of a collector and a count
        ComposedField composed(L"#1/#2", {Field(L"ZORNACOLLS", L"LEG")->Field, Field(L"ZORNACOLLS", L"POCET")->Field});
        SearchEntry c(&composed.Disp);
        c.Values({leg + L"/" + std::to_wstring(legCount)}).Range(nullptr, L"A");
        cases.push_back({Criteria({&c.Entry}),
                         L"SELECT ID FROM ZORNACOLLS WHERE (LEG = ? AND POCET = ?) OR (LEG <= ?)",
                         {T(leg), I(legCount), T(L"A")}});
    }

    for (const Case& c : cases) {
        ASSERT_FALSE(c.where.empty()) << dbtest::Narrow(c.sql);
        std::vector<int> expected = BoundIds(raw_, c.sql, c.params);
        EXPECT_FALSE(expected.empty()) << dbtest::Narrow(c.sql);
        EXPECT_EQ(expected, Searched(c.where)) << dbtest::Narrow(c.where);
    }
    // Nothing chosen lists every record.
    EXPECT_EQ(BoundIds(raw_, L"SELECT ID FROM ZORNACOLLS", {}), Searched(L""));
}

TEST_F(SearchDbTest, HostileValuesSelectWhatABoundParameterSelects)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    std::mt19937 random(15);
    const std::vector<std::wstring> pieces = {
        L"'", L"''", L"]", L"[", L"\"", L";", L"--", L"/*", L"*/", L"\\", L"%", L"_", L"*", L"?", L":1",
        L"T1.", L"NAME:1", L") OR (1=1", L"' OR '1'='1", L"; DELETE FROM ZORNACOLLS; --", L"\x01", L"\x1F",
        L"\x7F", L"\t", L"ž", L"Č", L"\u00A0", L" ", L"x", L"SELECT", L"DROP TABLE SPECIES", L"`", L"$1"};
    auto hostile = [&]() {
        std::wstring text;
        int parts = 1 + (int)(random() % 6);
        for (int k = 0; k < parts; ++k)
            text += pieces[random() % pieces.size()];
        if (random() % 40 == 0)
            text += std::wstring(4000, L'\'');
        return text;
    };
    // Some records carry hostile collectors, so that the values do select rows.
    std::vector<std::wstring> stored;
    std::vector<int> ids = BoundIds(raw_, L"SELECT ID FROM ZORNACOLLS", {});
    ASSERT_TRUE(raw_.Begin());
    for (int k = 0; k < 400; ++k) {
        std::wstring value = hostile();
        stored.push_back(value);
        zor::RawStatement update;
        ASSERT_TRUE(update.Prepare(raw_, L"UPDATE ZORNACOLLS SET LEG = ?, DET = ? WHERE ID = ?"));
        update.SetText(1, value);
        update.SetText(2, value.substr(0, value.size() / 2));
        update.SetInt(3, ids[random() % ids.size()]);
        ASSERT_TRUE(update.Execute());
    }
    ASSERT_TRUE(raw_.Commit());
    long long version = DataVersion();
    long long records = raw_.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS");

    ComposedField composed(L"#1|#2", {Field(L"ZORNACOLLS", L"LEG")->Field, Field(L"ZORNACOLLS", L"DET")->Field});

    int values = 0, selected = 0;
    for (int query = 0; query < 300; ++query) {
        auto leg = On(L"ZORNACOLLS", L"LEG");
        std::vector<std::wstring> chosen;
        std::vector<Param> params;
        std::wstring marks;
        int count = 1 + (int)(random() % 4);
        for (int k = 0; k < count; ++k) {
            std::wstring v = random() % 2 ? stored[random() % stored.size()] : hostile();
            chosen.push_back(v);
            params.push_back(T(v));
            marks += k ? L", ?" : L"?";
        }
        values += count;
        leg->Values(chosen);
        std::wstring sql = L"SELECT ID FROM ZORNACOLLS WHERE LEG IN (" + marks + L")";
        std::wstring where = Criteria({&leg->Entry});
        if (query % 3 == 0) {
            // The same texts cut by a composed column's mask: LEG = a AND DET = b.
            std::wstring a = stored[random() % stored.size()];
            a.erase(std::remove(a.begin(), a.end(), L'|'), a.end());
            std::wstring b = a.substr(0, a.size() / 2);
            SearchEntry c(&composed.Disp);
            c.Values({a + L"|" + b});
            where = Criteria({&c.Entry});
            sql = b.empty() ? L"SELECT ID FROM ZORNACOLLS WHERE LEG = ?"
                            : L"SELECT ID FROM ZORNACOLLS WHERE LEG = ? AND DET = ?";
            params = b.empty() ? std::vector<Param>{T(a)} : std::vector<Param>{T(a), T(b)};
            if (a.empty())
                continue;
        }
        std::vector<int> expected = BoundIds(raw_, sql, params);
        selected += expected.empty() ? 0 : 1;
        ASSERT_EQ(expected, Searched(where)) << dbtest::Narrow(where);
    }
    EXPECT_GT(values, 600);
    EXPECT_GT(selected, 100);
    EXPECT_EQ(version, DataVersion());
    EXPECT_EQ(records, raw_.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS"));
}

TEST_F(SearchDbTest, AConditionTooDeepShowsTheDatabaseErrorOnce)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    ComposedField composed(L"#1/#2", {Field(L"ZORNACOLLS", L"LEG")->Field, Field(L"ZORNACOLLS", L"POCET")->Field});
    SearchEntry c(&composed.Disp);
    std::vector<std::wstring> lines;
    for (int k = 0; k < 5000; ++k)
        lines.push_back(L"Novák/" + std::to_wstring(k));
    c.Values(lines);
    std::wstring where = Criteria({&c.Entry});
    long long version = DataVersion();
    {
        wintest::MsgBoxRecorder boxes;
        EXPECT_TRUE(Searched(where).empty());
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ((UINT)MB_ICONERROR, boxes.Boxes()[0].type & MB_ICONMASK);
        EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"depth")) << dbtest::Narrow(boxes.Boxes()[0].text);
    }
    EXPECT_EQ(version, DataVersion());
    // The next search runs as before.
    EXPECT_EQ(BoundIds(raw_, L"SELECT ID FROM ZORNACOLLS", {}).size(), Searched(L"").size());
}

TEST_F(SearchDbTest, ColumnsNamedLikeKeywordsOrWithBlanksSortAndSearch)
{
    // A user attribute named "ORDER" and one with a blank in its name.
    ASSERT_TRUE(dbtest::Exec(path_, L"ALTER TABLE ZORNACOLLS ADD [ORDER] INTEGER"));
    ASSERT_TRUE(dbtest::Exec(path_, L"ALTER TABLE ZORNACOLLS ADD [DRUHÝ SLOUPEC] VARCHAR(20)"));
    ASSERT_TRUE(dbtest::Exec(path_, L"UPDATE ZORNACOLLS SET [ORDER] = ID % 5, [DRUHÝ SLOUPEC] = 'x' || (ID % 3)"));
    ASSERT_TRUE(dbtest::Exec(path_, L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE, ATTRSIZE, "
                                    L"KEYFLAG, TABNAME, CAPTION) VALUES ('ZORNACOLLS', 'ORDER', 90, 1, 0, 0, 'Sběr', "
                                    L"'Pořadí'), ('ZORNACOLLS', 'DRUHÝ SLOUPEC', 91, 4, 20, 0, 'Sběr', 'Druhý')"));
    ASSERT_NO_FATAL_FAILURE(Open());
    for (const wchar_t* column : {L"ORDER", L"DRUHÝ SLOUPEC"}) {
        CFieldBase* key = Field(L"ZORNACOLLS", column)->Field;
        ListQuery q = {};
        q.Kind = 3;
        q.SortKeys = &key;
        q.SortKeyCount = 1;
        q.Descending = 1;
        db_->QueryAllRecords(100, &q);
        EXPECT_EQ(raw_.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS"), q.RowCount) << dbtest::Narrow(column);
    }
    auto order = On(L"ZORNACOLLS", L"ORDER");
    order->Values({L"2"});
    auto second = On(L"ZORNACOLLS", L"DRUHÝ SLOUPEC");
    second->Values({L"x1"});
    EXPECT_EQ(BoundIds(raw_, L"SELECT ID FROM ZORNACOLLS WHERE [ORDER] = ? AND [DRUHÝ SLOUPEC] = ?", {I(2), T(L"x1")}),
              Searched(Criteria({&order->Entry, &second->Entry})));
}
