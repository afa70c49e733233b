// Column catalogues and list queries on a generated sample database: catalogue entries and their
// rebuilding, record lists of a taxon (T1.SYSID), sorting by a view column whose name occurs
// twice, keys outside the view, the literature of all authors, and the type-ahead of a name
// combo box (refiltering rules, the 127-name limit, names with apostrophes).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/database.h"
#include "core/fields.h"
#include "tools/testkit/rawodbc.h"
#include "core/textutil.h"
#include "dataaccess/filterexpr.h"
#include "tests/core/fields_fixture.h"
#include "tests/support/wintest.h"

using zdata::Recordset;
using Rows = std::vector<std::vector<std::wstring>>;

namespace {

class ListQueryTest : public FieldsDbFixture {
protected:
    void TearDown() override
    {
        catalogue_.RemoveAll(1);
        for (CFieldInfo* f : owned_)
            delete f;
        owned_.clear();
        FieldsDbFixture::TearDown();
    }
    CDispField* Find(const wchar_t* table, const wchar_t* field)
    {
        for (int i = 0; i < catalogue_.GetCount(); ++i) {
            CDispField* d = static_cast<CDispField*>(catalogue_.GetItems()[i]);
            CFieldInfo* info = static_cast<CFieldInfo*>(d->Field);
            if (!_wcsicmp(info->TableName, table) && !_wcsicmp(info->Field, field))
                return d;
        }
        return nullptr;
    }
    CFieldInfo* Key(int ordinal)
    {
        CFieldInfo* f = new CFieldInfo(L"X", L"FEATURES");
        f->ColumnOrdinal = ordinal;
        owned_.push_back(f);
        return f;
    }
    Rows Raw(const std::wstring& sql)
    {
        zor::RawOdbc raw;
        EXPECT_TRUE(raw.Open(Path(), false));
        Rows rows;
        EXPECT_TRUE(raw.Query(sql, rows)) << std::string(sql.begin(), sql.end());
        return rows;
    }
    // Column values of every row of a list recordset.
    std::vector<std::wstring> Column(Recordset* rs, int ordinal)
    {
        std::vector<std::wstring> values;
        if (FAILED(rs->MoveFirst()))
            return values;
        while (!rs->IsEOF()) {
            zdata::Fields* fields = nullptr;
            rs->get_Fields(&fields);
            zdata::Field* f = nullptr;
            fields->Item((long)ordinal, &f);
            VARIANT v;
            VariantInit(&v);
            f->get_Value(&v);
            wchar_t text[256] = L"";
            VariantToText(&v, text, 256);
            values.push_back(text);
            VariantClear(&v);
            f->Release();
            fields->Release();
            rs->MoveNext();
        }
        return values;
    }

    CObjArray catalogue_{ 16, 4 };
    std::vector<CFieldInfo*> owned_;
};

// ---- catalogues ----

TEST_F(ListQueryTest, SysListCatalogueStartsWithTheLocalityColumns)
{
    Db()->BuildSysListColumns(&catalogue_);
    ASSERT_GE(catalogue_.GetCount(), 5);
    const int f = Db()->FirstFeatureColumn;
    CDispField* first = static_cast<CDispField*>(catalogue_.GetItems()[0]);
    EXPECT_STREQ(L"Lokalita", first->DispName);
    EXPECT_STREQ(L"Lokalita", first->Field->Name);
    EXPECT_EQ(f + 1, static_cast<CFieldInfo*>(first->Field)->ColumnOrdinal);
    EXPECT_EQ(8 + 10 * 8, first->Width);
    CDispField* lon = Find(L"FEATURES", L"LONGITUDE");
    ASSERT_TRUE(lon != nullptr);
    EXPECT_EQ(&FormatDegMinSec, lon->ValueFormatter);
    EXPECT_EQ(FIELD_ALIGN_RIGHT, lon->Field->Alignment);
    EXPECT_EQ(f + 4, static_cast<CFieldInfo*>(Find(L"FEATURES", L"LATITUDE")->Field)->ColumnOrdinal);
    EXPECT_EQ(FIELD_ALIGN_LEFT, first->Field->Alignment);
    for (int i = 0; i < catalogue_.GetCount(); ++i) {
        CDispField* d = static_cast<CDispField*>(catalogue_.GetItems()[i]);
        EXPECT_EQ(i, d->Order);
        int ordinal = static_cast<CFieldInfo*>(d->Field)->ColumnOrdinal;
        EXPECT_GE(ordinal, 0);
        EXPECT_LT(ordinal, Db()->RecordViewFields->GetCount());
    }
}

TEST_F(ListQueryTest, RebuildingKeepsTheUsersSettingsAndAddsNothingTwice)
{
    Db()->BuildSearchListColumns(&catalogue_);
    int count = catalogue_.GetCount();
    CDispField* species = static_cast<CDispField*>(catalogue_.GetItems()[0]);
    EXPECT_STREQ(L"Druh", species->DispName);
    EXPECT_EQ(Db()->RecordColumnCount, static_cast<CFieldInfo*>(species->Field)->ColumnOrdinal);
    EXPECT_EQ(150, species->Width);  // room for "Lycaena brunnea", not only for "Druh"
    species->Width = 60;  // narrower than a new column: the user's width is kept all the same
    species->Visible = 0;
    species->Order = 7;
    static_cast<CFieldInfo*>(species->Field)->ColumnOrdinal = 99;
    Db()->BuildSearchListColumns(&catalogue_);
    EXPECT_EQ(count, catalogue_.GetCount());
    EXPECT_EQ(species, catalogue_.GetItems()[0]);
    EXPECT_EQ(60, species->Width);
    EXPECT_EQ(0, species->Visible);
    EXPECT_EQ(7, species->Order);
    EXPECT_EQ(Db()->RecordColumnCount, static_cast<CFieldInfo*>(species->Field)->ColumnOrdinal);
}

TEST_F(ListQueryTest, LiteratureCatalogueNamesTheJoinedTables)
{
    Db()->BuildLitListColumns(&catalogue_);
    const int l = Db()->LiteratureColumnCount;
    ASSERT_TRUE(Find(L"LITERATURE", L"NAME") != nullptr);
    EXPECT_STREQ(L"Titulek", Find(L"LITERATURE", L"NAME")->DispName);
    EXPECT_EQ(l, static_cast<CFieldInfo*>(Find(L"EDITORS", L"NAME")->Field)->ColumnOrdinal);
    EXPECT_EQ(l + 1, static_cast<CFieldInfo*>(Find(L"JOURNALS", L"NAME")->Field)->ColumnOrdinal);
    EXPECT_STREQ(L"Autor", Find(L"LITAUTHORS", L"NAME")->Field->Name);
    EXPECT_EQ(l + 2, static_cast<CFieldInfo*>(Find(L"LITAUTHORS", L"NAME")->Field)->ColumnOrdinal);
    EXPECT_STREQ(L"Abstrakt", Find(L"LITERATURE", L"ABSTRACT")->DispName);
}

TEST(DegreesFormatter, WholeDegreesMinutesSeconds)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = 49.5 + 15.0 / 3600 + 1e-9;
    EXPECT_EQ(16, FormatDegMinSec(v, nullptr, 0, nullptr));
    wchar_t buf[32];
    EXPECT_EQ(0, FormatDegMinSec(v, buf, 32, nullptr));
    EXPECT_STREQ(L"49\u00B0 30' 15\"", buf);
    v.vt = VT_NULL;
    EXPECT_EQ(0, FormatDegMinSec(v, buf, 32, nullptr));
    EXPECT_STREQ(L"", buf);
}

// ---- list queries ----

TEST_F(ListQueryTest, TaxonRecordsFollowTheRecordsOwnTaxon)
{
    Rows top = Raw(L"SELECT SYSID, COUNT(*) FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1");
    ASSERT_EQ(1u, top.size());
    int sysId = _wtoi(top[0][0].c_str());
    ListQuery q = {};
    q.Kind = 1;
    q.Id = sysId;
    q.RowCount = -5;
    EXPECT_EQ(L"SELECT * FROM COLLECTVIEW WHERE T1.SYSID = " + std::to_wstring(sysId),
              Db()->BuildListQuerySql(&q));
    Db()->QueryTaxonRecords(200, &q);
    EXPECT_EQ(_wtoi(top[0][1].c_str()), q.RowCount);
    EXPECT_GT(q.RowCount, 1);

    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_OVERLAPPEDWINDOW | LVS_REPORT | LVS_OWNERDATA,
                                0, 0, 300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    Db()->SetTaxonListCount(list);
    EXPECT_EQ(q.RowCount, (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    DestroyWindow(list);

    q.Id = -12345;
    Db()->QueryTaxonRecords(200, &q);
    EXPECT_EQ(0, q.RowCount);
}

TEST_F(ListQueryTest, SortingByTheLocalityNameOfTheView)
{
    Db()->BuildSysListColumns(&catalogue_);
    CDispField* locality = Find(L"FEATURES", L"NAME");
    ASSERT_TRUE(locality != nullptr);
    int ordinal = static_cast<CFieldInfo*>(locality->Field)->ColumnOrdinal;
    // The view holds a NAME of the species too, so the locality's name is a numbered duplicate.
    std::wstring viewName = static_cast<wchar_t*>(Db()->RecordViewFields->GetItems()[ordinal]);
    EXPECT_NE(L"NAME", viewName);
    EXPECT_EQ(0u, viewName.find(L"NAME"));

    CFieldBase* keys[2] = { locality->Field, nullptr };
    ListQuery q = {};
    q.Kind = 3;
    q.SortKeys = keys;
    q.SortKeyCount = 1;
    EXPECT_EQ(L"SELECT * FROM COLLECTVIEW ORDER BY \"" + viewName + L"\"", Db()->BuildListQuerySql(&q));
    Db()->QueryAllRecords(100, &q);
    Rows all = Raw(L"SELECT COUNT(*) FROM ZORNACOLLS");
    EXPECT_EQ(_wtoi(all[0][0].c_str()), q.RowCount);
    std::vector<std::wstring> names = Column(Db()->SearchRecordsRs, ordinal);
    ASSERT_EQ((size_t)q.RowCount, names.size());
    // The list is in Czech order (Čermná after Cvikov, Chlum after Hradec), as a sort in memory.
    Rows expected = dbtest::InCzechOrder(Raw(L"SELECT FEATURES.NAME FROM ZORNACOLLS LEFT JOIN FEATURES ON "
                                             L"FEATURES.LOCID = ZORNACOLLS.FTRID"));
    ASSERT_EQ(names.size(), expected.size());
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(expected[i][0], names[i]) << i;

    // Descending: both keys get DESC.
    CDispField* altitude = Find(L"FEATURES", L"ALTITUDE");
    keys[1] = altitude->Field;
    q.SortKeyCount = 2;
    q.Descending = 1;
    std::wstring altName =
        static_cast<wchar_t*>(Db()->RecordViewFields->GetItems()[static_cast<CFieldInfo*>(altitude->Field)->ColumnOrdinal]);
    EXPECT_EQ(L"SELECT * FROM COLLECTVIEW ORDER BY \"" + viewName + L"\" DESC, \"" + altName + L"\" DESC",
              Db()->BuildListQuerySql(&q));
    Db()->QueryAllRecords(100, &q);
    names = Column(Db()->SearchRecordsRs, ordinal);
    ASSERT_EQ(expected.size(), names.size());
    EXPECT_EQ(expected.back()[0], names.front());
}

TEST_F(ListQueryTest, KeysOutsideTheViewAreLeftOut)
{
    CFieldBase* keys[3] = { Key(100000), Key(0), Key(-1) };
    ListQuery q = {};
    q.Kind = 2;
    q.Id = 5;
    q.SortKeys = keys;
    q.SortKeyCount = 3;
    std::wstring first = static_cast<wchar_t*>(Db()->RecordViewFields->GetItems()[0]);
    EXPECT_EQ(L"SELECT * FROM COLLECTVIEW WHERE FTRID = 5 ORDER BY \"" + first + L"\"", Db()->BuildListQuerySql(&q));
    keys[1] = Key(Db()->RecordViewFields->GetCount());
    EXPECT_EQ(L"SELECT * FROM COLLECTVIEW WHERE FTRID = 5", Db()->BuildListQuerySql(&q));
    Db()->QueryLocalityRecords(100, &q);
    Rows n = Raw(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE FTRID = 5");
    EXPECT_EQ(_wtoi(n[0][0].c_str()), q.RowCount);
}

TEST_F(ListQueryTest, LiteratureOfAllAuthorsAndOfOne)
{
    ListQuery q = {};
    q.Kind = 4;
    q.Id = -1;
    EXPECT_EQ(L"SELECT * FROM LITVIEW", Db()->BuildListQuerySql(&q));
    Db()->QueryLiterature(100, &q);
    Rows all = Raw(L"SELECT COUNT(*) FROM LITERATURE");
    EXPECT_EQ(_wtoi(all[0][0].c_str()), q.RowCount);
    EXPECT_GT(q.RowCount, 0);

    Rows one = Raw(L"SELECT FIRSTAUTHOR, COUNT(*) FROM LITERATURE GROUP BY FIRSTAUTHOR "
                   L"ORDER BY COUNT(*) DESC LIMIT 1");
    q.Id = _wtoi(one[0][0].c_str());
    Db()->QueryLiterature(100, &q);
    EXPECT_EQ(_wtoi(one[0][1].c_str()), q.RowCount);

    // A condition keeps the first author's restriction.
    q.Where = L"ID < 0";
    EXPECT_EQ(L"SELECT * FROM LITVIEW WHERE FIRSTAUTHOR = " + one[0][0] + L" AND (ID < 0)",
              Db()->BuildListQuerySql(&q));
    Db()->QueryLiterature(100, &q);
    EXPECT_EQ(0, q.RowCount);
    // Up to the author's first publication: every earlier one of other authors is left out.
    std::wstring first = Raw(L"SELECT MIN(ID) FROM LITERATURE WHERE FIRSTAUTHOR = " + one[0][0])[0][0];
    std::wstring upTo = L"ID <= " + first + L" OR ID < 0";
    q.Where = upTo.c_str();
    Db()->QueryLiterature(100, &q);
    EXPECT_EQ(1, q.RowCount);
    q.Id = -1;
    EXPECT_EQ(L"SELECT * FROM LITVIEW WHERE " + upTo, Db()->BuildListQuerySql(&q));
    Db()->QueryLiterature(100, &q);
    EXPECT_EQ(_wtoi(first.c_str()), q.RowCount);
}

TEST_F(ListQueryTest, SpeciesAndLocalityNames)
{
    Rows s = Raw(L"SELECT SYSID, NAME FROM SPECIES LIMIT 1");
    wchar_t* name = Db()->GetSpeciesName(_wtoi(s[0][0].c_str()));
    EXPECT_EQ(s[0][1], name);
    free(name);
    name = Db()->GetSpeciesName(-77);
    EXPECT_STREQ(L"", name);
    free(name);
    Rows l = Raw(L"SELECT ID, NAME FROM LOCTREE WHERE ID > 0 LIMIT 1");
    name = Db()->GetLocalityName(_wtoi(l[0][0].c_str()));
    EXPECT_EQ(l[0][1], name);
    free(name);
}

TEST_F(ListQueryTest, IdPathsRunFromTheItemToTheRoot)
{
    // The deepest taxon: its path is itself, each parent in turn, then 0.
    Rows deepest = Raw(L"WITH RECURSIVE up(id, start, depth) AS (SELECT ID, ID, 0 FROM SYSTREE WHERE ID > 0 "
                       L"UNION ALL SELECT SYSTREE.PARENT, up.start, up.depth + 1 FROM SYSTREE JOIN up ON "
                       L"SYSTREE.ID = up.id WHERE SYSTREE.PARENT > 0) "
                       L"SELECT start, MAX(depth) FROM up GROUP BY start ORDER BY MAX(depth) DESC LIMIT 1");
    ASSERT_EQ(1u, deepest.size());
    int id = _wtoi(deepest[0][0].c_str());
    int depth = _wtoi(deepest[0][1].c_str());
    ASSERT_GE(depth, 2);
    CIntArray path(16, 4);
    Db()->GetSysIdPath(&path, id, 0);
    ASSERT_EQ(depth + 2, path.GetCount());
    EXPECT_EQ(id, path.GetItems()[0]);
    EXPECT_EQ(0, path.GetItems()[depth + 1]);
    for (int i = 0; i < depth; ++i) {
        Rows parent = Raw(L"SELECT PARENT FROM SYSTREE WHERE ID = " + std::to_wstring(path.GetItems()[i]));
        EXPECT_EQ(_wtoi(parent[0][0].c_str()), path.GetItems()[i + 1]);
    }

    Rows loc = Raw(L"SELECT ID, PARENT FROM LOCTREE WHERE PARENT > 0 LIMIT 1");
    ASSERT_EQ(1u, loc.size());
    CIntArray locPath(16, 4);
    Db()->GetLocIdPath(&locPath, _wtoi(loc[0][0].c_str()), 0);
    ASSERT_GE(locPath.GetCount(), 3);
    EXPECT_EQ(_wtoi(loc[0][0].c_str()), locPath.GetItems()[0]);
    EXPECT_EQ(_wtoi(loc[0][1].c_str()), locPath.GetItems()[1]);
    EXPECT_EQ(0, locPath.GetItems()[locPath.GetCount() - 1]);

    CIntArray none(16, 4);
    Db()->GetSysIdPath(&none, 987654, 0);
    ASSERT_EQ(1, none.GetCount());
    EXPECT_EQ(0, none.GetItems()[0]);
}

// ---- type-ahead of the name combo boxes ----

class NameFilterTest : public ListQueryTest {
protected:
    void SetUp() override
    {
        ListQueryTest::SetUp();
        if (HasFatalFailure())
            return;
        host_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 20, 20, 340, 320, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(host_ != nullptr);
        combo_ = CreateWindowExW(0, WC_COMBOBOXW, L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | WS_VSCROLL,
                                 10, 10, 300, 120, host_, (HMENU)101, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(combo_ != nullptr);
    }
    void TearDown() override
    {
        if (host_)
            DestroyWindow(host_);
        ListQueryTest::TearDown();
    }
    void Rename(const std::wstring& sql)
    {
        zor::RawOdbc raw;
        ASSERT_TRUE(raw.Open(Path(), false));
        ASSERT_TRUE(raw.Exec(sql));
    }
    void Type(const wchar_t* text, int dropDown = 0)
    {
        SetWindowTextW(combo_, text);
        Db()->FilterListByName(0, dropDown, combo_, text);
    }
    int Items() { return (int)SendMessageW(combo_, CB_GETCOUNT, 0, 0); }
    std::wstring Filter()
    {
        VARIANT v;
        VariantInit(&v);
        Db()->SpeciesNamesRs->get_Filter(&v);
        std::wstring text = v.vt == VT_BSTR && v.bstrVal ? v.bstrVal : L"";
        VariantClear(&v);
        return text;
    }
    std::wstring Item(int i)
    {
        wchar_t text[128] = L"";
        SendMessageW(combo_, CB_GETLBTEXT, i, (LPARAM)text);
        return text;
    }

    HWND host_ = nullptr;
    HWND combo_ = nullptr;
};

TEST_F(NameFilterTest, AtMost127NamesFillTheList)
{
    // 110 more species below the parent of an existing one, then 128 names starting "Qq".
    Rename(L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) "
           L"WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 110) "
           L"SELECT 100000 + n, (SELECT PARENT FROM SYSTREE WHERE ID = (SELECT MIN(SYSID) FROM SPECIES)), "
           L"(SELECT SYSLEVEL FROM SYSTREE WHERE ID = (SELECT MIN(SYSID) FROM SPECIES)), n, 'Qq' || (1000 + n) FROM c");
    Rename(L"INSERT INTO SPECIES (NAME, SYSID) SELECT NAME, ID FROM SYSTREE WHERE ID > 100000");
    Rename(L"UPDATE SPECIES SET NAME = 'Qq' || (5000 + rowid) WHERE rowid IN "
           L"(SELECT rowid FROM SPECIES WHERE NAME NOT LIKE 'Qq%' ORDER BY rowid LIMIT 18)");
    Rows n = Raw(L"SELECT COUNT(*) FROM SPECIES WHERE NAME LIKE 'Qq%'");
    ASSERT_EQ(128, _wtoi(n[0][0].c_str()));
    Db()->LoadNameLists();
    ASSERT_TRUE(Db()->SpeciesNamesRs != nullptr);
    Type(L"Qq");
    EXPECT_EQ(L"NAME LIKE 'Qq*'", Filter());
    EXPECT_EQ(0, Items());  // 128 matches

    Rename(L"UPDATE SPECIES SET NAME = 'Rr' WHERE rowid = (SELECT MIN(rowid) FROM SPECIES WHERE NAME LIKE 'Qq%')");
    Db()->CloseRecordset(Db()->SpeciesNamesRs);
    Db()->LoadNameLists();
    Type(L"Qq", 1);
    ASSERT_EQ(127, Items());
    Rows first = Raw(L"SELECT NAME, SYSID FROM SPECIES WHERE NAME LIKE 'Qq%' ORDER BY NAME LIMIT 1");
    EXPECT_EQ(first[0][0], Item(0));
    EXPECT_EQ(_wtoi(first[0][1].c_str()), (int)SendMessageW(combo_, CB_GETITEMDATA, 0, 0));
    wchar_t text[32] = L"";
    GetWindowTextW(combo_, text, 32);
    EXPECT_STREQ(L"Qq", text);  // the typed text stays
    wintest::PumpMessages(100);
    wintest::SaveScreenshot(host_, L"fields_namefilter");
    SendMessageW(combo_, CB_SHOWDROPDOWN, FALSE, 0);
}

TEST_F(NameFilterTest, NarrowingScrollsShorteningAndChFilterAnew)
{
    Rename(L"UPDATE SPECIES SET NAME = 'Qq' || (1000 + rowid) WHERE rowid IN "
           L"(SELECT rowid FROM SPECIES ORDER BY rowid LIMIT 20)");
    Rename(L"UPDATE SPECIES SET NAME = 'Qqc' || rowid WHERE rowid IN "
           L"(SELECT rowid FROM SPECIES ORDER BY rowid LIMIT 2)");
    Rename(L"UPDATE SPECIES SET NAME = 'Qqch' || rowid WHERE rowid IN "
           L"(SELECT rowid FROM SPECIES ORDER BY rowid LIMIT 1 OFFSET 2)");
    Db()->LoadNameLists();
    Type(L"Qq", 1);  // the list drops down as it does while the user types
    int all = Items();
    EXPECT_EQ(20, all);
    Type(L"Qq102");  // already listed: no new filter, the list scrolls to the first match
    EXPECT_EQ(L"NAME LIKE 'Qq*'", Filter());
    EXPECT_EQ(all, Items());
    // The first match is what the list scrolls to (Wine's drop-down shows every row here, so
    // its top index cannot move).
    int found = (int)SendMessageW(combo_, CB_FINDSTRING, (WPARAM)-1, (LPARAM)L"Qq102");
    ASSERT_GT(found, 0);
    EXPECT_EQ(L"Qq1020", Item(found));
    SendMessageW(combo_, CB_SHOWDROPDOWN, FALSE, 0);

    Type(L"Qq10");  // shortened below the last typed text but still inside the filter
    EXPECT_EQ(L"NAME LIKE 'Qq*'", Filter());
    Type(L"Q");  // shorter than the filter: filter anew
    EXPECT_EQ(L"NAME LIKE 'Q*'", Filter());
    Type(L"Qqc");  // inside the filled list of "Q": only scrolls
    EXPECT_EQ(L"NAME LIKE 'Q*'", Filter());
    Type(L"");

    Type(L"Qqc");
    EXPECT_EQ(L"NAME LIKE 'Qqc*'", Filter());
    EXPECT_EQ(2, Items());  // Qqc1 and Qqc2; Qqch3 begins with the letter ch, not with c
    Type(L"Qqch");  // "ch" is a letter of its own: filter anew although "Qqc" is in force
    EXPECT_EQ(L"NAME LIKE 'Qqch*'", Filter());
    EXPECT_EQ(1, Items());

    Type(L"");
    EXPECT_EQ(0, Items());
    EXPECT_EQ(L"", Filter());
}

TEST_F(NameFilterTest, TypedApostrophesAndWildcardsAreTakenLiterally)
{
    Rename(L"UPDATE SPECIES SET NAME = 'O''Brienova ropucha' WHERE rowid = (SELECT MIN(rowid) FROM SPECIES)");
    Rename(L"UPDATE SPECIES SET NAME = 'Ox*ová' WHERE rowid = (SELECT MAX(rowid) FROM SPECIES)");
    Db()->LoadNameLists();
    Type(L"O'B");
    EXPECT_EQ(L"NAME LIKE 'O''B*'", Filter());
    ASSERT_EQ(1, Items());
    EXPECT_EQ(L"O'Brienova ropucha", Item(0));
    Type(L"O'");
    ASSERT_EQ(1, Items());
    Type(L"Ox*");
    ASSERT_EQ(1, Items());
    EXPECT_EQ(L"Ox*ová", Item(0));
    Type(L"O*");  // a typed star is no wildcard
    EXPECT_EQ(0, Items());
    EXPECT_EQ(L"NAME LIKE 'O[*]*'", Filter());
}

}  // namespace
