// Literature rows: saving a publication with its first author, periodical and publisher found or
// added by name, its ordered authors and keywords and its taxon and locality links, all in one
// transaction; loading it back from the literature list; the cached name lists. Names with
// apostrophes or wildcard characters find their own rows; blank names add nothing; a refused
// write shows the database's errors and leaves the file as it was. Checked with plain SQL on a
// fresh sample database per test.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/database.h"
#include "core/literature.h"
#include "core/textutil.h"
#include "dataaccess/ado.h"
#include "tests/core/itemsave_fixture.h"
#include "tests/core/litdb_fixture.h"
#include "tests/support/hostshell.h"

using litdb::Exec;
using litdb::Query;
using litdb::QueryInt;
using litdb::Rows;
using litdb::Table;

namespace {

// A literature record with its own lists, freed with it.
class Record {
public:
    explicit Record(int id = -1)
    {
        memset(&r, 0, sizeof r);
        r.Mode = id < 0 ? 1 : 2;
        r.Id = id;
        r.Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
        r.Authors = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
        r.Keywords = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
        r.SpeciesIds = new CIntArray(16, 16);
        r.LocalityIds = new CIntArray(16, 16);
        VariantInit(&r.Abstract);
    }
    ~Record()
    {
        ClearValues();
        delete r.Values;
        delete r.Authors;
        delete r.Keywords;
        delete r.SpeciesIds;
        delete r.LocalityIds;
        VariantClear(&r.Abstract);
    }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    void ClearValues()
    {
        for (int i = 0; i < r.Values->GetCount(); i++)
            VariantClear((VARIANT*)r.Values->GetItems()[i]);
        r.Values->RemoveAll(1);
    }
    // One empty value per literature attribute, then the named ones set.
    void EmptyValues(CDatabase* db)
    {
        ClearValues();
        for (int i = 0; i < db->LiteratureAttrs->GetCount(); i++) {
            VARIANT* v = (VARIANT*)calloc(1, sizeof(VARIANT));
            r.Values->Add(v);
        }
    }
    VARIANT* Value(CDatabase* db, const wchar_t* field)
    {
        for (int i = 0; i < db->LiteratureAttrs->GetCount(); i++) {
            CustomAttrDef* def = (CustomAttrDef*)db->LiteratureAttrs->GetItems()[i];
            if (wcscmp(def->FieldName, field) == 0 && i < r.Values->GetCount())
                return (VARIANT*)r.Values->GetItems()[i];
        }
        return nullptr;
    }
    void SetInt(CDatabase* db, const wchar_t* field, int value)
    {
        VARIANT* v = Value(db, field);
        ASSERT_TRUE(v != nullptr);
        VariantClear(v);
        v->vt = VT_I4;
        v->lVal = value;
    }
    void SetText(CDatabase* db, const wchar_t* field, const wchar_t* text)
    {
        VARIANT* v = Value(db, field);
        ASSERT_TRUE(v != nullptr);
        VariantClear(v);
        v->vt = VT_BSTR;
        v->bstrVal = SysAllocString(text);
    }
    void Texts(const wchar_t* title, const wchar_t* first, const wchar_t* journal,
               const wchar_t* publisher)
    {
        CopyWideBounded(title, r.Title, 256);
        CopyWideBounded(first, r.FirstAuthor, 64);
        CopyWideBounded(journal, r.Journal, 128);
        CopyWideBounded(publisher, r.Publisher, 128);
    }
    void Authors(std::vector<const wchar_t*> names)
    {
        for (const wchar_t* n : names)
            r.Authors->Add(WideDup(n));
    }
    void Keywords(std::vector<const wchar_t*> names)
    {
        for (const wchar_t* n : names)
            r.Keywords->Add(WideDup(n));
    }
    static std::vector<std::wstring> Names(const CPtrArray* list)
    {
        std::vector<std::wstring> out;
        for (int i = 0; i < list->GetCount(); i++)
            out.push_back((const wchar_t*)list->GetItems()[i]);
        return out;
    }
    static std::vector<int> Ids(const CIntArray* list)
    {
        return std::vector<int>(list->GetItems(), list->GetItems() + list->GetCount());
    }

    LiteratureRecord r;
};

std::wstring Num(long long n)
{
    return std::to_wstring(n);
}

class LiteratureTest : public litdb::OpenedDatabase {
protected:
    void Prepare() override
    {
        Exec(path_, L"INSERT INTO LITAUTHORS (NAME) VALUES ('ABC Tester')");
        // Rules of the file that refuse particular writes.
        Exec(path_, L"CREATE TRIGGER REFUSE_TITLE BEFORE INSERT ON LITERATURE WHEN NEW.NAME = "
                    L"'Odmítnutý titul' BEGIN SELECT RAISE(ABORT, 'titul odmítnut'); END");
        Exec(path_, L"CREATE TRIGGER REFUSE_TITLE_EDIT BEFORE UPDATE ON LITERATURE WHEN NEW.NAME = "
                    L"'Odmítnutý titul' BEGIN SELECT RAISE(ABORT, 'titul odmítnut'); END");
        Exec(path_, L"CREATE TRIGGER REFUSE_PUBLISHER BEFORE INSERT ON EDITORS WHEN NEW.NAME = "
                    L"'Zakázaný vydavatel' BEGIN SELECT RAISE(ABORT, 'vydavatel odmítnut'); END");
    }

    long long Count(const wchar_t* table)
    {
        return QueryInt(path_, std::wstring(L"SELECT COUNT(*) FROM ") + table);
    }
    long long IdOf(const wchar_t* table, const std::wstring& name)
    {
        std::wstring quoted;
        for (wchar_t c : name) {
            quoted += c;
            if (c == L'\'')
                quoted += c;
        }
        return QueryInt(path_, std::wstring(L"SELECT ID FROM ") + table + L" WHERE NAME = '" + quoted + L"'");
    }
    Rows Row(int id)
    {
        return Query(path_, L"SELECT NAME, EDITOR, JOURNALID, FIRSTAUTHOR, IYEAR, ABSTRACT FROM "
                            L"LITERATURE WHERE ID = " + Num(id));
    }
    Rows Links(const wchar_t* table, int id)
    {
        const wchar_t* pos = wcscmp(table, L"BOOKAUTHORS") == 0 ? L"AUTHPOS" : L"REFPOS";
        return Query(path_, std::wstring(L"SELECT * FROM ") + table + L" WHERE LITID = " + Num(id) +
                                L" ORDER BY " + pos);
    }
    // Every table a save may write, in row order.
    std::vector<Rows> Snapshot()
    {
        std::vector<Rows> all;
        for (const wchar_t* t : { L"LITERATURE", L"LITAUTHORS", L"EDITORS", L"JOURNALS", L"KEYWORDS",
                                  L"BOOKAUTHORS", L"LITKEYWORDSREFS", L"LITSYSREFS", L"LITLOCREFS",
                                  L"LIT_JAZYK" })
            all.push_back(Table(path_, t));
        return all;
    }
    int QueryAllLiterature()
    {
        ListQuery q = {};
        q.Kind = 4;
        q.Id = -1;
        db_->QueryLiterature(0, &q);
        return q.RowCount;
    }
    long RowCount(zdata::Recordset* rs)
    {
        long n = -1;
        rs->get_RecordCount(&n);
        return n;
    }
};

// ---- periodical and publisher ----

TEST_F(LiteratureTest, AStoredPeriodicalBringsItsOwnPublisher)
{
    Rows journal = Query(path_, L"SELECT ID, NAME, EDITORID FROM JOURNALS WHERE EDITORID IS NOT NULL "
                                L"ORDER BY ID LIMIT 1");
    ASSERT_EQ(1u, journal.size());
    Rows other = Query(path_, L"SELECT NAME FROM EDITORS WHERE ID <> " + journal[0][2] + L" LIMIT 1");
    ASSERT_EQ(1u, other.size());
    long long journals = Count(L"JOURNALS");

    Record rec;
    rec.EmptyValues(db_);
    // Typed in capitals: names match whatever their case.
    std::wstring typed = journal[0][1];
    CharUpperW(&typed[0]);
    rec.Texts(L"Článek v časopise", L"", typed.c_str(), other[0][0].c_str());
    ASSERT_EQ(1, db_->SaveLiterature(&rec.r));
    ASSERT_GT(rec.r.Id, 0);

    Rows row = Row(rec.r.Id);
    ASSERT_EQ(1u, row.size());
    EXPECT_EQ(journal[0][0], row[0][2]);
    EXPECT_EQ(journal[0][2], row[0][1]);
    EXPECT_EQ(journals, Count(L"JOURNALS"));
}

TEST_F(LiteratureTest, ANewPeriodicalGetsTheRecordsPublisherOrNone)
{
    Rows publisher = Query(path_, L"SELECT ID, NAME FROM EDITORS ORDER BY ID LIMIT 1");
    ASSERT_EQ(1u, publisher.size());
    Record rec;
    rec.EmptyValues(db_);
    rec.Texts(L"První číslo", L"", L"Acta Testacea", publisher[0][1].c_str());
    ASSERT_EQ(1, db_->SaveLiterature(&rec.r));
    long long journal = IdOf(L"JOURNALS", L"Acta Testacea");
    ASSERT_GT(journal, 0);
    EXPECT_EQ(publisher[0][0], Query(path_, L"SELECT EDITORID FROM JOURNALS WHERE ID = " + Num(journal))[0][0]);
    Rows row = Row(rec.r.Id);
    EXPECT_EQ(publisher[0][0], row[0][1]);
    EXPECT_EQ(Num(journal), row[0][2]);

    Record bare;
    bare.EmptyValues(db_);
    bare.Texts(L"Bez vydavatele", L"", L"Bulletin bez vydavatele", L"");
    ASSERT_EQ(1, db_->SaveLiterature(&bare.r));
    long long bareJournal = IdOf(L"JOURNALS", L"Bulletin bez vydavatele");
    EXPECT_EQ(L"<NULL>", Query(path_, L"SELECT EDITORID FROM JOURNALS WHERE ID = " + Num(bareJournal))[0][0]);
    Rows bareRow = Row(bare.r.Id);
    EXPECT_EQ(L"<NULL>", bareRow[0][1]);
    EXPECT_EQ(Num(bareJournal), bareRow[0][2]);
}

// ---- authors and keywords ----

TEST_F(LiteratureTest, RepeatedAuthorsGiveOneNameAndARowForEachPlace)
{
    long long authors = Count(L"LITAUTHORS");
    Record rec;
    rec.EmptyValues(db_);
    rec.Texts(L"Tři autoři", L"Aaa Prvni", L"", L"");
    rec.Authors({ L"Aaa Prvni", L"Bbb Druhy", L"Aaa Prvni" });
    ASSERT_EQ(1, db_->SaveLiterature(&rec.r));

    EXPECT_EQ(authors + 2, Count(L"LITAUTHORS"));
    long long a = IdOf(L"LITAUTHORS", L"Aaa Prvni"), b = IdOf(L"LITAUTHORS", L"Bbb Druhy");
    Rows links = Links(L"BOOKAUTHORS", rec.r.Id);
    Rows expected = { { Num(rec.r.Id), Num(a), L"1" }, { Num(rec.r.Id), Num(b), L"2" },
                      { Num(rec.r.Id), Num(a), L"3" } };
    EXPECT_EQ(expected, links);
    EXPECT_EQ(Num(a), Row(rec.r.Id)[0][3]);
}

TEST_F(LiteratureTest, NamesWithApostrophesLinkTheirOwnRows)
{
    long long obrien = IdOf(L"LITAUTHORS", L"O'Brien M.");
    long long orbigny = IdOf(L"LITAUTHORS", L"d'Orbigny A.");
    ASSERT_GT(obrien, 0);
    ASSERT_GT(orbigny, 0);
    long long authors = Count(L"LITAUTHORS");
    Record rec;
    rec.EmptyValues(db_);
    rec.Texts(L"Apostrofy", L"d'Orbigny A.", L"Journal d'Entomologie", L"L'Éditeur");
    // A plain name first, so that a refused Filter would leave it in place for the next ones.
    rec.Authors({ L"Aaa Prvni", L"O'Brien M.", L"d'Orbigny A." });
    rec.Keywords({ L"Ohnivec", L"rock'n'roll" });
    ASSERT_EQ(1, db_->SaveLiterature(&rec.r));

    EXPECT_EQ(authors + 1, Count(L"LITAUTHORS"));
    long long plain = IdOf(L"LITAUTHORS", L"Aaa Prvni");
    Rows links = Links(L"BOOKAUTHORS", rec.r.Id);
    ASSERT_EQ(3u, links.size());
    EXPECT_EQ(Num(plain), links[0][1]);
    EXPECT_EQ(Num(obrien), links[1][1]);
    EXPECT_EQ(Num(orbigny), links[2][1]);
    Rows row = Row(rec.r.Id);
    EXPECT_EQ(Num(orbigny), row[0][3]);
    EXPECT_EQ(Num(IdOf(L"JOURNALS", L"Journal d'Entomologie")), row[0][2]);
    EXPECT_EQ(Num(IdOf(L"EDITORS", L"L'Éditeur")), row[0][1]);
    Rows keywords = Links(L"LITKEYWORDSREFS", rec.r.Id);
    ASSERT_EQ(2u, keywords.size());
    EXPECT_EQ(Num(IdOf(L"KEYWORDS", L"rock'n'roll")), keywords[1][1]);
    EXPECT_NE(keywords[0][1], keywords[1][1]);
}

TEST_F(LiteratureTest, WildcardCharactersInANameAreJustCharacters)
{
    long long abc = IdOf(L"LITAUTHORS", L"ABC Tester");
    ASSERT_GT(abc, 0);
    Record rec;
    rec.EmptyValues(db_);
    rec.Texts(L"Hvězdička", L"A*", L"", L"");
    rec.Authors({ L"A%", L"A*" });
    ASSERT_EQ(1, db_->SaveLiterature(&rec.r));
    long long star = IdOf(L"LITAUTHORS", L"A*");
    long long percent = IdOf(L"LITAUTHORS", L"A%");
    ASSERT_GT(star, 0);
    ASSERT_GT(percent, 0);
    EXPECT_NE(abc, star);
    EXPECT_EQ(Num(star), Row(rec.r.Id)[0][3]);
    Rows links = Links(L"BOOKAUTHORS", rec.r.Id);
    ASSERT_EQ(2u, links.size());
    EXPECT_EQ(Num(percent), links[0][1]);
    EXPECT_EQ(Num(star), links[1][1]);

    // The lookup itself: the same id again, and no other row.
    zdata::Recordset* list = db_->GetLitAuthorsRs();
    EXPECT_EQ(star, FindOrAddName(list, L"a*"));
    EXPECT_EQ(1, RowCount(list));
    EXPECT_EQ(abc, FindOrAddName(list, L"abc tester"));
}

TEST_F(LiteratureTest, EmptyPeriodicalAndFirstAuthorStoreNoneAndAddNothing)
{
    long long authors = Count(L"LITAUTHORS"), journals = Count(L"JOURNALS"), editors = Count(L"EDITORS");
    Record rec;
    rec.EmptyValues(db_);
    rec.Texts(L"Anonymní zpráva", L"", L"", L"");
    rec.Authors({ L"", L"Ccc Treti" });
    ASSERT_EQ(1, db_->SaveLiterature(&rec.r));
    Rows row = Row(rec.r.Id);
    EXPECT_EQ(L"<NULL>", row[0][1]);
    EXPECT_EQ(L"<NULL>", row[0][2]);
    EXPECT_EQ(L"<NULL>", row[0][3]);
    EXPECT_EQ(journals, Count(L"JOURNALS"));
    EXPECT_EQ(editors, Count(L"EDITORS"));
    EXPECT_EQ(authors + 1, Count(L"LITAUTHORS"));  // Ccc Treti only
    Rows links = Links(L"BOOKAUTHORS", rec.r.Id);
    ASSERT_EQ(1u, links.size());
    EXPECT_EQ(L"1", links[0][2]);
}

// A file made before blank names were refused by the lists themselves.
class LiteratureWithoutNameRuleTest : public LiteratureTest {
protected:
    void Prepare() override
    {
        LiteratureTest::Prepare();
        // The view follows a renamed table; the database object makes it again on opening.
        Exec(path_, L"DROP VIEW LITVIEW");
        Exec(path_, L"ALTER TABLE LITAUTHORS RENAME TO OLDAUTHORS");
        Exec(path_, L"CREATE TABLE LITAUTHORS (ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME VARCHAR(64) "
                    L"COLLATE NOCASE NOT NULL, FULLNAME VARCHAR(64), ABBREV VARCHAR(32))");
        Exec(path_, L"INSERT INTO LITAUTHORS SELECT * FROM OLDAUTHORS");
        Exec(path_, L"DROP TABLE OLDAUTHORS");
    }
};

TEST_F(LiteratureWithoutNameRuleTest, AnEmptyFirstAuthorIsNeverAdded)
{
    long long authors = Count(L"LITAUTHORS");
    Record rec;
    rec.EmptyValues(db_);
    rec.Texts(L"Bez autora", L"", L"", L"");
    rec.Authors({ L"" });
    ASSERT_EQ(1, db_->SaveLiterature(&rec.r));
    EXPECT_EQ(authors, Count(L"LITAUTHORS"));
    EXPECT_EQ(0, QueryInt(path_, L"SELECT COUNT(*) FROM LITAUTHORS WHERE NAME = ''"));
    EXPECT_EQ(L"<NULL>", Row(rec.r.Id)[0][3]);
    EXPECT_TRUE(Links(L"BOOKAUTHORS", rec.r.Id).empty());
}

// ---- taxa and localities ----

TEST_F(LiteratureTest, LinksAreNumberedInOrderAndARefusedOneLeavesNoGap)
{
    Rows taxa = Query(path_, L"SELECT SYSID FROM SPECIES ORDER BY SYSID LIMIT 2");
    Rows places = Query(path_, L"SELECT LOCID FROM FEATURES ORDER BY LOCID LIMIT 3");
    ASSERT_EQ(2u, taxa.size());
    ASSERT_EQ(3u, places.size());
    Record rec;
    rec.EmptyValues(db_);
    rec.Texts(L"Odkazy", L"", L"", L"");
    rec.r.SpeciesIds->Add(std::stoi(taxa[1][0]));
    rec.r.SpeciesIds->Add(99999999);  // no such taxon: the link table refuses it
    rec.r.SpeciesIds->Add(std::stoi(taxa[0][0]));
    for (auto& p : places)
        rec.r.LocalityIds->Add(std::stoi(p[0]));
    wintest::MsgBoxRecorder boxes;
    ASSERT_EQ(1, db_->SaveLiterature(&rec.r));
    EXPECT_TRUE(boxes.Boxes().empty());
    std::wstring id = Num(rec.r.Id);
    Rows expected = { { id, taxa[1][0], L"1" }, { id, taxa[0][0], L"2" } };
    EXPECT_EQ(expected, Links(L"LITSYSREFS", rec.r.Id));
    Rows locs = Links(L"LITLOCREFS", rec.r.Id);
    ASSERT_EQ(3u, locs.size());
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(places[i][0], locs[i][1]);
        EXPECT_EQ(Num(i + 1), locs[i][2]);
    }
}

TEST_F(LiteratureTest, SavingAStoredPublicationRewritesItsLinks)
{
    Rows pub = Query(path_, L"SELECT LITID FROM BOOKAUTHORS GROUP BY LITID HAVING COUNT(*) >= 2 "
                            L"ORDER BY LITID LIMIT 1");
    ASSERT_EQ(1u, pub.size());
    int id = std::stoi(pub[0][0]);
    long long publications = Count(L"LITERATURE");
    Record rec(id);
    rec.EmptyValues(db_);
    rec.SetInt(db_, L"IYEAR", 1999);
    rec.Texts(L"Přepsaný titul", L"Bbb Druhy", L"", L"");
    rec.Authors({ L"Bbb Druhy" });
    rec.Keywords({});
    ASSERT_EQ(1, db_->SaveLiterature(&rec.r));
    EXPECT_EQ(id, rec.r.Id);
    EXPECT_EQ(publications, Count(L"LITERATURE"));
    Rows row = Row(id);
    EXPECT_EQ(L"Přepsaný titul", row[0][0]);
    EXPECT_EQ(L"1999", row[0][4]);
    Rows authors = Links(L"BOOKAUTHORS", id);
    ASSERT_EQ(1u, authors.size());
    EXPECT_EQ(Num(IdOf(L"LITAUTHORS", L"Bbb Druhy")), authors[0][1]);
    EXPECT_TRUE(Links(L"LITKEYWORDSREFS", id).empty());
    EXPECT_TRUE(Links(L"LITSYSREFS", id).empty());
}

// ---- refused writes ----

TEST_F(LiteratureTest, ARefusedPublicationShowsTheErrorsAndLeavesTheFileAsItWas)
{
    std::vector<Rows> before = Snapshot();
    long long authors = Count(L"LITAUTHORS");
    Record rec;
    rec.EmptyValues(db_);
    rec.SetText(db_, L"JAZYK", L"esperanto");
    rec.Texts(L"Odmítnutý titul", L"Nový Autor", L"Nový časopis", L"Nový vydavatel");
    rec.Authors({ L"Další Autor" });
    rec.Keywords({ L"nové heslo" });
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->SaveLiterature(&rec.r));
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"titul odmítnut"));
    EXPECT_EQ(-1, rec.r.Id);
    EXPECT_EQ(before, Snapshot());
    // The cached name list holds what the file holds.
    EXPECT_EQ(authors, RowCount(db_->GetLitAuthorsRs()));
    // The same record saves once the title is acceptable.
    rec.Texts(L"Přijatý titul", L"Nový Autor", L"Nový časopis", L"Nový vydavatel");
    EXPECT_EQ(1, db_->SaveLiterature(&rec.r));
    EXPECT_EQ(authors + 2, Count(L"LITAUTHORS"));
}

// The writers on a full disk: each says in Czech that the change was not written, and the file
// stays as it was. The disk is full by the engine's page limit (the file may not grow once
// opened), which refuses only a write that needs a new page, and, where the host lets the test
// mount a small disk, on a real full disk, which refuses every write (its journal first).
TEST_F(LiteratureTest, EachWriterOnAFullDiskSaysItDidNotFinishAndLeavesTheFileAsItWas)
{
    const std::wstring big(200000, L'ž');  // more than the file has room for
    const int taxon = (int)QueryInt(path_, L"SELECT MAX(ID) FROM SYSTREE");
    // A species and a locality with records moved under another genus and district, and a new item of
    // each tree deleted.
    int species = (int)QueryInt(path_, L"SELECT MIN(SYSID) FROM ZORNACOLLS");
    int place = (int)QueryInt(path_, L"SELECT MIN(FTRID) FROM ZORNACOLLS");
    const int genus = (int)QueryInt(path_, L"SELECT MAX(ID) FROM SYSTREE WHERE SYSLEVEL = 3");
    const int district = (int)QueryInt(path_, L"SELECT MAX(ID) FROM LOCTREE WHERE LOCLEVEL = 2");
    ASSERT_TRUE(Exec(path_, L"INSERT INTO SYSTREE (PARENT, SYSLEVEL, NAME) VALUES (" + std::to_wstring(genus) + L", 4, 'holý')"));
    ASSERT_TRUE(Exec(path_, L"INSERT INTO LOCTREE (PARENT, LOCLEVEL, NAME) VALUES (" + std::to_wstring(district) + L", 3, 'Holá')"));
    const int bareTaxon = (int)QueryInt(path_, L"SELECT MAX(ID) FROM SYSTREE");
    const int barePlace = (int)QueryInt(path_, L"SELECT MAX(ID) FROM LOCTREE");
    struct Writer {
        const char* name;
        bool growsFile;
        std::function<int(CDatabase*)> write;
    } writers[] = {
        {"publication save", true,
         [&](CDatabase* db) {
             Record rec;
             rec.EmptyValues(db);
             rec.Texts(L"Plný disk", L"Nový Autor", L"", L"");
             V_VT(&rec.r.Abstract) = VT_BSTR;
             V_BSTR(&rec.r.Abstract) = SysAllocString(big.c_str());
             return db->SaveLiterature(&rec.r);
         }},
        {"tree rename", true, [&](CDatabase* db) { return db->RenameSysItem(taxon, big.c_str()); }},
        {"record save", true,
         [&](CDatabase* db) {
             itemtest::RecordBlock block(-1);
             block.r.SysId = species;
             block.r.FtrId = place;
             itemtest::SetText(&block.r.Note, big.c_str());
             for (int i = 0; i < db->RecordAttrs->GetCount(); i++)
                 block.r.Values->Add(itemtest::NewValue());
             return db->SaveRecord(&block.r);
         }},
        {"tree move", false, [&](CDatabase* db) { return db->MoveSysItems(genus, 1, &species); }},
        {"locality move", false, [&](CDatabase* db) { return db->MoveLocItems(district, 1, &place); }},
        {"tree delete", false, [&](CDatabase* db) { return db->DeleteSysItem(bareTaxon); }},
        {"locality delete", false, [&](CDatabase* db) { return db->DeleteLocItem(barePlace); }},
    };
    auto dump = [&] {
        std::vector<Rows> all = Snapshot();
        for (const wchar_t* table : {L"SYSTREE", L"SPECIES", L"ZORNACOLLS", L"LOCTREE", L"FEATURES"})
            all.push_back(Table(path_, table));
        return all;
    };
    wintest::SmallDisk disk;
    if (!disk.Mounted())
        printf("No disk of its own could be mounted: the writers that need no new page are not tried.\n");
    const std::wstring file = path_;
    for (const Writer& w : writers) {
        for (bool real : {false, true}) {
            if (real ? !disk.Mounted() : !w.growsFile)
                continue;
            SCOPED_TRACE(std::string(w.name) + (real ? " on a full disk" : " under the page limit"));
            delete db_;
            db_ = nullptr;
            path_ = real ? disk.File(L"ZorBase.mdb") : file;
            ASSERT_TRUE(!real || CopyFileW(file.c_str(), path_.c_str(), FALSE));
            std::vector<Rows> before = dump();
            if (real)
                disk.Fill();
            int previous = zdata::SetPageLimitForTests(real ? -1 : 0);
            ASSERT_NO_FATAL_FAILURE(OpenDb(true, true));
            wintest::MsgBoxRecorder boxes;
            EXPECT_EQ(0, w.write(db_));
            zdata::SetPageLimitForTests(previous);
            delete db_;
            db_ = nullptr;
            disk.Free();
            ASSERT_EQ(1u, boxes.Boxes().size());
            EXPECT_EQ(0u, boxes.Boxes()[0].text.find(L"Na disku s databází není dost místa, změna nebyla zapsána."))
                << dbtest::Narrow(boxes.Boxes()[0].text);
            EXPECT_TRUE(before == dump());
            if (real)
                DeleteFileW(path_.c_str());
            path_ = file;
        }
    }
    ASSERT_NO_FATAL_FAILURE(OpenDb(true, true));
}

TEST_F(LiteratureTest, ARefusedEditKeepsTheOldLinks)
{
    Rows pub = Query(path_, L"SELECT LITID FROM LITSYSREFS ORDER BY LITID LIMIT 1");
    ASSERT_EQ(1u, pub.size());
    int id = std::stoi(pub[0][0]);
    std::vector<Rows> before = Snapshot();
    Record rec(id);
    rec.EmptyValues(db_);
    rec.Texts(L"Odmítnutý titul", L"", L"", L"");
    rec.Authors({ L"Ddd Ctvrty" });
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->SaveLiterature(&rec.r));
    EXPECT_GE(boxes.Boxes().size(), 1u);
    EXPECT_EQ(before, Snapshot());
}

TEST_F(LiteratureTest, ARefusedPublisherStopsTheSave)
{
    std::vector<Rows> before = Snapshot();
    Record rec;
    rec.EmptyValues(db_);
    rec.Texts(L"S vydavatelem", L"Eee Paty", L"", L"Zakázaný vydavatel");
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->SaveLiterature(&rec.r));
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"vydavatel odmítnut"));
    EXPECT_EQ(before, Snapshot());
}

TEST_F(LiteratureTest, AValueItsColumnRefusesStopsTheSave)
{
    std::vector<Rows> before = Snapshot();
    Record rec;
    rec.EmptyValues(db_);
    rec.SetText(db_, L"IYEAR", L"loni");
    rec.Texts(L"Rok slovem", L"Fff Sesty", L"", L"");
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->SaveLiterature(&rec.r));
    EXPECT_GE(boxes.Boxes().size(), 1u);
    EXPECT_EQ(before, Snapshot());
}

// ---- deleting ----

TEST_F(LiteratureTest, DeletingAPublicationRemovesItsLinkRows)
{
    Record rec;
    rec.EmptyValues(db_);
    rec.Texts(L"Ke smazání", L"Aaa Prvni", L"", L"");
    rec.Authors({ L"Aaa Prvni", L"Bbb Druhy" });
    rec.Keywords({ L"heslo" });
    rec.r.SpeciesIds->Add(std::stoi(Query(path_, L"SELECT MIN(SYSID) FROM SPECIES")[0][0]));
    rec.r.LocalityIds->Add(std::stoi(Query(path_, L"SELECT MIN(LOCID) FROM FEATURES")[0][0]));
    ASSERT_EQ(1, db_->SaveLiterature(&rec.r));
    // A sample publication that no record cites (a cited one is refused, see below).
    Rows sample = Query(path_, L"SELECT LITID FROM LITSYSREFS WHERE LITID NOT IN (SELECT LITID "
                               L"FROM ZORNACOLLS) ORDER BY LITID LIMIT 1");
    ASSERT_EQ(1u, sample.size());
    long long links = Count(L"BOOKAUTHORS") + Count(L"LITKEYWORDSREFS") + Count(L"LITSYSREFS") +
                      Count(L"LITLOCREFS");

    CIntArray ids(4, 4);
    ids.Add(rec.r.Id);
    ids.Add(std::stoi(sample[0][0]));
    long long sampleLinks = 0;
    for (const wchar_t* t : { L"BOOKAUTHORS", L"LITKEYWORDSREFS", L"LITSYSREFS", L"LITLOCREFS" })
        sampleLinks += (long long)Links(t, ids.GetItems()[1]).size();
    EXPECT_EQ(1, db_->DeleteLiterature(&ids));
    for (int i = 0; i < 2; i++) {
        int id = ids.GetItems()[i];
        EXPECT_TRUE(Row(id).empty());
        for (const wchar_t* t : { L"BOOKAUTHORS", L"LITKEYWORDSREFS", L"LITSYSREFS", L"LITLOCREFS" })
            EXPECT_TRUE(Links(t, id).empty()) << id;
    }
    EXPECT_EQ(links - 5 - sampleLinks, Count(L"BOOKAUTHORS") + Count(L"LITKEYWORDSREFS") +
                                           Count(L"LITSYSREFS") + Count(L"LITLOCREFS"));
    // The names stay for other publications.
    EXPECT_GT(IdOf(L"LITAUTHORS", L"Aaa Prvni"), 0);
}

TEST_F(LiteratureTest, APublicationThatRecordsCiteIsNotDeleted)
{
    Rows cited = Query(path_, L"SELECT LITID, COUNT(*) FROM ZORNACOLLS WHERE LITID > 0 GROUP BY LITID "
                              L"ORDER BY LITID LIMIT 1");
    ASSERT_EQ(1u, cited.size());
    Rows free = Query(path_, L"SELECT ID FROM LITERATURE WHERE ID NOT IN (SELECT LITID FROM "
                             L"ZORNACOLLS) ORDER BY ID LIMIT 1");
    ASSERT_EQ(1u, free.size());
    std::vector<Rows> before = Snapshot();
    // Together with one nobody cites: nothing is deleted, and the message says why.
    CIntArray ids(4, 4);
    ids.Add(std::stoi(free[0][0]));
    ids.Add(std::stoi(cited[0][0]));
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->DeleteLiterature(&ids));
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ((UINT)MB_ICONERROR, boxes.Boxes()[0].type & MB_ICONMASK);
    EXPECT_EQ(before, Snapshot());
    EXPECT_EQ(cited[0][1], Query(path_, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE LITID = " + cited[0][0])[0][0]);
    // Alone, the one nobody cites goes.
    CIntArray one(4, 4);
    one.Add(std::stoi(free[0][0]));
    EXPECT_EQ(1, db_->DeleteLiterature(&one));
    EXPECT_TRUE(Row(one.GetItems()[0]).empty());
}

// ---- deleting from the name lists ----

struct NameUse {
    int kind;
    const wchar_t* table;
    const wchar_t* usedSql;    // an id some row of the catalogue refers to
};

TEST_F(LiteratureTest, ANameTheCatalogueStillUsesIsNotDeletedAndAnUnusedOneIs)
{
    const NameUse cases[] = {
        {TABLE_RS_EDITORS, L"EDITORS", L"SELECT EDITORID FROM JOURNALS WHERE EDITORID IS NOT NULL "
                                       L"AND EDITORID NOT IN (SELECT EDITOR FROM LITERATURE WHERE "
                                       L"EDITOR IS NOT NULL) LIMIT 1"},
        {TABLE_RS_EDITORS, L"EDITORS", L"SELECT EDITOR FROM LITERATURE WHERE EDITOR IS NOT NULL LIMIT 1"},
        {TABLE_RS_JOURNALS, L"JOURNALS", L"SELECT JOURNALID FROM LITERATURE WHERE JOURNALID IS NOT NULL LIMIT 1"},
        {TABLE_RS_LITAUTHORS, L"LITAUTHORS", L"SELECT FIRSTAUTHOR FROM LITERATURE WHERE FIRSTAUTHOR IS NOT NULL LIMIT 1"},
        {TABLE_RS_LITAUTHORS, L"LITAUTHORS", L"SELECT AUTHORID FROM BOOKAUTHORS WHERE AUTHORID NOT IN "
                                             L"(SELECT FIRSTAUTHOR FROM LITERATURE WHERE FIRSTAUTHOR IS NOT NULL) LIMIT 1"},
        {TABLE_RS_KEYWORDS, L"KEYWORDS", L"SELECT KEYWORDID FROM LITKEYWORDSREFS LIMIT 1"},
    };
    for (const NameUse& c : cases) {
        Rows used = Query(path_, c.usedSql);
        ASSERT_EQ(1u, used.size()) << dbtest::Narrow(c.usedSql);
        int id = std::stoi(used[0][0]);
        zdata::Recordset* list = db_->GetTableRecordset(c.kind);
        ASSERT_TRUE(list);
        long rows = RowCount(list);
        EXPECT_EQ(NAME_ROW_IN_USE, DeleteNameListRow(list, c.kind, id)) << dbtest::Narrow(c.table);
        EXPECT_EQ(1, QueryInt(path_, std::wstring(L"SELECT COUNT(*) FROM ") + c.table + L" WHERE ID = " + Num(id)));
        EXPECT_EQ(rows, RowCount(list));
    }
    // A new name nobody uses goes from the file and from the list.
    Exec(path_, L"INSERT INTO EDITORS (NAME) VALUES ('Nikým nepoužitý')");
    zdata::Recordset* editors = db_->GetEditorsRs();
    editors->Requery();
    long rows = RowCount(editors);
    int id = (int)IdOf(L"EDITORS", L"Nikým nepoužitý");
    EXPECT_EQ(NAME_ROW_DELETED, DeleteNameListRow(editors, TABLE_RS_EDITORS, id));
    EXPECT_EQ(-1, IdOf(L"EDITORS", L"Nikým nepoužitý"));
    EXPECT_EQ(rows - 1, RowCount(editors));
    EXPECT_EQ(NAME_ROW_MISSING, DeleteNameListRow(editors, TABLE_RS_EDITORS, id));
    EXPECT_EQ(NAME_ROW_FAILED, DeleteNameListRow(editors, 77, id));
}

// ---- loading ----

TEST_F(LiteratureTest, ASavedPublicationLoadsBackAsItWasWritten)
{
    Rows journal = Query(path_, L"SELECT NAME, EDITORID FROM JOURNALS WHERE EDITORID IS NOT NULL LIMIT 1");
    ASSERT_EQ(1u, journal.size());
    std::wstring publisher = Query(path_, L"SELECT NAME FROM EDITORS WHERE ID = " + journal[0][1])[0][0];
    Record rec;
    rec.EmptyValues(db_);
    rec.SetInt(db_, L"IYEAR", 2004);
    rec.SetText(db_, L"IPAGES", L"12-34");
    rec.SetText(db_, L"JAZYK", L"němčina");
    rec.Texts(L"Über die Käfer Mährens", L"O'Brien M.", journal[0][0].c_str(), L"");
    rec.Authors({ L"O'Brien M.", L"Bbb Druhy", L"d'Orbigny A." });
    rec.Keywords({ L"Ohnivec", L"heslo" });
    rec.r.SpeciesIds->Add(std::stoi(Query(path_, L"SELECT MAX(SYSID) FROM SPECIES")[0][0]));
    rec.r.SpeciesIds->Add(std::stoi(Query(path_, L"SELECT MIN(SYSID) FROM SPECIES")[0][0]));
    rec.r.LocalityIds->Add(std::stoi(Query(path_, L"SELECT MIN(LOCID) FROM FEATURES")[0][0]));
    rec.r.Abstract.vt = VT_BSTR;
    rec.r.Abstract.bstrVal = SysAllocString(L"Souhrn: nové nálezy.\r\nDruhý řádek.");
    ASSERT_EQ(1, db_->SaveLiterature(&rec.r));
    ASSERT_GT(QueryAllLiterature(), 0);

    Record back(rec.r.Id);
    EXPECT_EQ(1, db_->LoadLiterature(&back.r));
    EXPECT_STREQ(L"Über die Käfer Mährens", back.r.Title);
    EXPECT_STREQ(L"O'Brien M.", back.r.FirstAuthor);
    EXPECT_EQ(journal[0][0], back.r.Journal);
    EXPECT_EQ(publisher, back.r.Publisher);
    EXPECT_EQ(Record::Names(rec.r.Authors), Record::Names(back.r.Authors));
    EXPECT_EQ(Record::Names(rec.r.Keywords), Record::Names(back.r.Keywords));
    EXPECT_EQ(Record::Ids(rec.r.SpeciesIds), Record::Ids(back.r.SpeciesIds));
    EXPECT_EQ(Record::Ids(rec.r.LocalityIds), Record::Ids(back.r.LocalityIds));
    ASSERT_EQ(VT_BSTR, back.r.Abstract.vt);
    EXPECT_STREQ(L"Souhrn: nové nálezy.\r\nDruhý řádek.", back.r.Abstract.bstrVal);
    ASSERT_EQ(db_->LiteratureAttrs->GetCount(), back.r.Values->GetCount());
    EXPECT_EQ(2004, VariantToInt(back.Value(db_, L"IYEAR")));
    VARIANT* pages = back.Value(db_, L"IPAGES");
    ASSERT_EQ(VT_BSTR, pages->vt);
    EXPECT_STREQ(L"12-34", pages->bstrVal);
    VARIANT* language = back.Value(db_, L"JAZYK");
    ASSERT_EQ(VT_BSTR, language->vt);
    EXPECT_STREQ(L"němčina", language->bstrVal);
}

TEST_F(LiteratureTest, APublicationNotInTheListLoadsEmpty)
{
    ASSERT_GT(QueryAllLiterature(), 0);
    Record back(99999);
    CopyWideBounded(L"stará", back.r.Title, 256);
    CopyWideBounded(L"stará", back.r.Journal, 128);
    EXPECT_EQ(1, db_->LoadLiterature(&back.r));
    EXPECT_STREQ(L"", back.r.Title);
    EXPECT_STREQ(L"", back.r.FirstAuthor);
    EXPECT_STREQ(L"", back.r.Journal);
    EXPECT_STREQ(L"", back.r.Publisher);
    ASSERT_EQ(db_->LiteratureAttrs->GetCount(), back.r.Values->GetCount());
    for (int i = 0; i < back.r.Values->GetCount(); i++)
        EXPECT_EQ(VT_EMPTY, ((VARIANT*)back.r.Values->GetItems()[i])->vt);
    EXPECT_EQ(0, back.r.Authors->GetCount());
    EXPECT_EQ(0, back.r.Keywords->GetCount());
    EXPECT_EQ(0, back.r.SpeciesIds->GetCount());
    EXPECT_EQ(0, back.r.LocalityIds->GetCount());
}

TEST_F(LiteratureTest, ASavedPublicationIsListedAtOnce)
{
    int listed = QueryAllLiterature();
    ASSERT_GT(listed, 0);
    Record rec;
    rec.EmptyValues(db_);
    rec.Texts(L"Nová publikace", L"", L"", L"");
    ASSERT_EQ(1, db_->SaveLiterature(&rec.r));
    EXPECT_EQ(listed + 1, RowCount(db_->LiteratureListRs));
}

TEST_F(LiteratureTest, ASavedPublicationIsOfferedByNameWhenTheNamesAreNextUsed)
{
    zdata::Recordset* names = db_->GetCachedRecordset(RS_LITERATURE_NAMES);
    ASSERT_TRUE(names);
    long before = RowCount(names);
    Record rec;
    rec.EmptyValues(db_);
    rec.Texts(L"Žlutá kniha o vážkách", L"", L"", L"");
    ASSERT_EQ(1, db_->SaveLiterature(&rec.r));
    // The type-ahead of a publication's name finds it...
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_POPUP | CBS_DROPDOWN, 0, 0, 200, 200,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(combo);
    db_->FilterListByName(2, 0, combo, L"Žlutá kniha");
    EXPECT_EQ(1, (int)SendMessageW(combo, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(rec.r.Id, (int)SendMessageW(combo, CB_GETITEMDATA, 0, 0));
    DestroyWindow(combo);
    // ...and the list handed out holds it.
    names = db_->GetCachedRecordset(RS_LITERATURE_NAMES);
    names->put_Filter(L"");
    EXPECT_EQ(before + 1, RowCount(names));
}

// ---- the name lists ----

TEST_F(LiteratureTest, TableRecordsetsByKind)
{
    EXPECT_EQ(db_->SysTreeRs, db_->GetTableRecordset(TABLE_RS_SYSTREE));
    zdata::Recordset* tree = db_->GetSysTreeRs();
    EXPECT_EQ(tree, db_->GetTableRecordset(TABLE_RS_SYSTREE));
    EXPECT_EQ(db_->LocTreeRs, db_->GetTableRecordset(TABLE_RS_LOCTREE));
    const struct { int kind; const wchar_t* table; } lists[] = {
        { TABLE_RS_LITAUTHORS, L"LITAUTHORS" }, { TABLE_RS_JOURNALS, L"JOURNALS" },
        { TABLE_RS_EDITORS, L"EDITORS" }, { TABLE_RS_KEYWORDS, L"KEYWORDS" },
    };
    for (const auto& l : lists) {
        zdata::Recordset* rs = db_->GetTableRecordset(l.kind);
        ASSERT_TRUE(rs != nullptr) << l.kind;
        // A Filter left by an earlier user is gone when the list is handed out again.
        rs->put_Filter(L"NAME = 'nic takového'");
        EXPECT_EQ(0, RowCount(rs));
        EXPECT_EQ(rs, db_->GetTableRecordset(l.kind));
        EXPECT_EQ(Count(l.table), RowCount(rs)) << l.kind;
    }
    EXPECT_EQ(db_->LitAuthorsRs, db_->GetLitAuthorsRs());
    EXPECT_EQ(db_->KeywordsRs, db_->GetKeywordsRs());
    EXPECT_TRUE(db_->GetTableRecordset(0) == nullptr);
    EXPECT_TRUE(db_->GetTableRecordset(7) == nullptr);
    db_->Close();
    EXPECT_TRUE(db_->GetTableRecordset(TABLE_RS_LITAUTHORS) == nullptr);
    EXPECT_TRUE(db_->GetTableRecordset(TABLE_RS_SYSTREE) == nullptr);
}

TEST_F(LiteratureTest, NamesByIdFromTheLists)
{
    Rows editor = Query(path_, L"SELECT ID, NAME FROM EDITORS ORDER BY ID DESC LIMIT 1");
    wchar_t buffer[8];
    GetEditorName(db_, std::stoi(editor[0][0]), buffer, 8);
    EXPECT_EQ(editor[0][1].substr(0, 7), buffer);
    wchar_t name[128] = L"x";
    GetLitAuthorName(db_, 99999, name, 128);
    EXPECT_STREQ(L"", name);
    GetLitAuthorName(db_, (int)IdOf(L"LITAUTHORS", L"O'Brien M."), name, 128);
    EXPECT_STREQ(L"O'Brien M.", name);
    GetKeywordName(db_, (int)QueryInt(path_, L"SELECT MIN(ID) FROM KEYWORDS"), name, 128);
    EXPECT_EQ(Query(path_, L"SELECT NAME FROM KEYWORDS ORDER BY ID LIMIT 1")[0][0], name);
    Rows journal = Query(path_, L"SELECT ID, NAME FROM JOURNALS ORDER BY ID LIMIT 1");
    GetJournalName(db_, std::stoi(journal[0][0]), name, 128);
    EXPECT_EQ(journal[0][1], name);
}

}  // namespace
