// Lookup values, the editing side: replacing a value in every row that uses it (with a typed new
// value or one from the list), deleting it, renaming it in place through the key's cascade,
// and adding a describing author. Values with apostrophes are only values; a refused step
// leaves every table as it was. Checked with plain SQL on a fresh sample database per test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/database.h"
#include "core/lookupedit.h"
#include "core/textutil.h"
#include "tests/core/litdb_fixture.h"

using litdb::Exec;
using litdb::Query;
using litdb::QueryInt;
using litdb::Rows;
using litdb::Table;

namespace {

// A stored value that would widen a statement built by pasting text.
const wchar_t kTrickValue[] = L"x' OR 'a'='a";
const wchar_t kUnusedTrickValue[] = L"y' OR 'a'='a";

class LookupEditTest : public litdb::OpenedDatabase {
protected:
    void Prepare() override
    {
        Exec(path_, L"INSERT INTO ZOR_METODA (NAME, ABBREV) VALUES ('x'' OR ''a''=''a', 'XA')");
        Exec(path_, L"INSERT INTO ZOR_METODA (NAME, ABBREV) VALUES ('y'' OR ''a''=''a', NULL)");
        Exec(path_, L"INSERT INTO ZOR_METODA (NAME, ABBREV) VALUES ('nepoužitá metoda', 'NM')");
        Exec(path_, L"UPDATE ZORNACOLLS SET METODA = 'x'' OR ''a''=''a' WHERE ID IN (3, 7)");
        // Refuses one new value of the records, the way a rule of the file would.
        Exec(path_, L"CREATE TRIGGER REFUSE_METHOD BEFORE UPDATE OF METODA ON ZORNACOLLS "
                    L"WHEN NEW.METODA = 'zakázaná metoda' BEGIN SELECT RAISE(ABORT, "
                    L"'zakázaná metoda se nesmí použít'); END");
    }

    // The 1-based row of a value in the cached lookup recordset; 0 when it is not there.
    int RowOf(int index, const std::wstring& value)
    {
        int count = db_->GetLookupCount(index);
        for (int row = 0; row < count; row++) {
            db_->GetLookupTextLen(index, row);
            wchar_t text[128] = L"";
            VariantToText(&db_->CachedValue, text, 128);
            if (value == text)
                return row + 1;
        }
        return 0;
    }

    LookupEdit Request(int kind, const wchar_t* field, int ops, int row, const wchar_t* newName,
                       int existing)
    {
        LookupEdit e = {};
        e.Kind = kind;
        e.ValueOps = ops;
        e.ColumnFlags = ops > 0 ? LOOKUP_WRITE_NAME : 0;
        e.Row = row;
        e.FieldName = field;
        e.NewName = newName;
        e.NewAbbrev = nullptr;
        e.ExistingIndex = existing;
        return e;
    }

    long long Uses(const std::wstring& value)
    {
        return QueryInt(path_, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE METODA = '" + Doubled(value) + L"'");
    }
    long long InLookup(const std::wstring& value)
    {
        return QueryInt(path_, L"SELECT COUNT(*) FROM ZOR_METODA WHERE NAME = '" + Doubled(value) + L"'");
    }
    static std::wstring Doubled(const std::wstring& text)
    {
        std::wstring r;
        for (wchar_t c : text) {
            r += c;
            if (c == L'\'')
                r += c;
        }
        return r;
    }
};

// ---- replacing and deleting values ----

TEST_F(LookupEditTest, ReplacingByATypedValueAddsItAndMovesEveryRowThatUsedTheOldOne)
{
    long long before = Uses(L"smýkání");
    ASSERT_GT(before, 0);
    long long lookupRows = QueryInt(path_, L"SELECT COUNT(*) FROM ZOR_METODA");
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    int row = RowOf(index, L"smýkání");
    ASSERT_GT(row, 0);

    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", LOOKUP_REPLACE_VALUE, row, L"smyk sítí", -1);
    EXPECT_EQ(1, db_->EditLookupTable(&e));

    EXPECT_EQ(1, InLookup(L"smyk sítí"));
    EXPECT_EQ(1, InLookup(L"smýkání"));  // kept: only replaced, not deleted
    EXPECT_EQ(lookupRows + 1, QueryInt(path_, L"SELECT COUNT(*) FROM ZOR_METODA"));
    EXPECT_EQ(0, Uses(L"smýkání"));
    EXPECT_EQ(before, Uses(L"smyk sítí"));
    // The cached lookup table was read again and offers the new value.
    EXPECT_GT(RowOf(index, L"smyk sítí"), 0);
}

TEST_F(LookupEditTest, ReplacingByAValueFromTheListAddsNothing)
{
    long long moved = Uses(L"prosev");
    long long target = Uses(L"zemní past");
    Rows lookupBefore = Table(path_, L"ZOR_METODA");
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", LOOKUP_REPLACE_VALUE,
                           RowOf(index, L"prosev"), L"zemní past", 4);
    EXPECT_EQ(1, db_->EditLookupTable(&e));
    EXPECT_EQ(lookupBefore, Table(path_, L"ZOR_METODA"));
    EXPECT_EQ(0, Uses(L"prosev"));
    EXPECT_EQ(moved + target, Uses(L"zemní past"));
}

TEST_F(LookupEditTest, ReplacingWithDeletionAlsoRemovesTheOldValue)
{
    long long moved = Uses(L"sklepávání");
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    int count = db_->GetLookupCount(index);
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", LOOKUP_REPLACE_VALUE | LOOKUP_DELETE_VALUE,
                           RowOf(index, L"sklepávání"), L"oklep", -1);
    EXPECT_EQ(1, db_->EditLookupTable(&e));
    EXPECT_EQ(0, InLookup(L"sklepávání"));
    EXPECT_EQ(1, InLookup(L"oklep"));
    EXPECT_EQ(moved, Uses(L"oklep"));
    EXPECT_EQ(count, db_->GetLookupCount(index));  // one in, one out
    EXPECT_EQ(0, RowOf(index, L"sklepávání"));
}

TEST_F(LookupEditTest, ATypedValueThatDiffersOnlyInCaseIsNotAddedTwice)
{
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    long long moved = Uses(L"smýkání");
    long long target = Uses(L"prosev");
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", LOOKUP_REPLACE_VALUE,
                           RowOf(index, L"smýkání"), L"PROSEV", -1);
    long long lookupRows = QueryInt(path_, L"SELECT COUNT(*) FROM ZOR_METODA");
    EXPECT_EQ(1, db_->EditLookupTable(&e));
    EXPECT_EQ(lookupRows, QueryInt(path_, L"SELECT COUNT(*) FROM ZOR_METODA"));
    EXPECT_EQ(moved + target, Uses(L"prosev"));
    EXPECT_EQ(0, Uses(L"smýkání"));
}

// ---- values that contain apostrophes ----

TEST_F(LookupEditTest, AValueWithApostrophesReplacesOnlyTheRowsThatUseIt)
{
    Rows before = Query(path_, L"SELECT ID, METODA FROM ZORNACOLLS ORDER BY ID");
    long long target = Uses(L"prosev");
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    int row = RowOf(index, kTrickValue);
    ASSERT_GT(row, 0);
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", LOOKUP_REPLACE_VALUE, row, L"prosev", 5);
    EXPECT_EQ(1, db_->EditLookupTable(&e));

    EXPECT_EQ(target + 2, Uses(L"prosev"));
    Rows after = Query(path_, L"SELECT ID, METODA FROM ZORNACOLLS ORDER BY ID");
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); i++) {
        if (before[i][0] == L"3" || before[i][0] == L"7")
            EXPECT_EQ(L"prosev", after[i][1]);
        else
            EXPECT_EQ(before[i], after[i]) << "record " << i;
    }
}

TEST_F(LookupEditTest, DeletingAValueWithApostrophesRemovesThatRowOnly)
{
    long long lookupRows = QueryInt(path_, L"SELECT COUNT(*) FROM ZOR_METODA");
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", LOOKUP_DELETE_VALUE,
                           RowOf(index, kUnusedTrickValue), nullptr, -1);
    EXPECT_EQ(1, db_->EditLookupTable(&e));
    EXPECT_EQ(lookupRows - 1, QueryInt(path_, L"SELECT COUNT(*) FROM ZOR_METODA"));
    EXPECT_EQ(0, InLookup(kUnusedTrickValue));
    EXPECT_EQ(1, InLookup(L"nepoužitá metoda"));
}

TEST_F(LookupEditTest, ATypedValueWithAnApostropheIsStoredAsTyped)
{
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    long long moved = Uses(L"prosev");
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", LOOKUP_REPLACE_VALUE,
                           RowOf(index, L"prosev"), L"O'Brienův prosev", -1);
    EXPECT_EQ(1, db_->EditLookupTable(&e));
    EXPECT_EQ(1, InLookup(L"O'Brienův prosev"));
    EXPECT_EQ(moved, Uses(L"O'Brienův prosev"));
}

// ---- refused steps ----

TEST_F(LookupEditTest, DeletingAValueStillInUseChangesNothingAndShowsTheErrors)
{
    Rows lookup = Table(path_, L"ZOR_METODA");
    Rows records = Table(path_, L"ZORNACOLLS");
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    wintest::MsgBoxRecorder boxes;
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", LOOKUP_DELETE_VALUE,
                           RowOf(index, L"smýkání"), nullptr, -1);
    EXPECT_EQ(0, db_->EditLookupTable(&e));
    EXPECT_GE(boxes.Boxes().size(), 1u);
    EXPECT_EQ(lookup, Table(path_, L"ZOR_METODA"));
    EXPECT_EQ(records, Table(path_, L"ZORNACOLLS"));
}

TEST_F(LookupEditTest, ARequestForAValueTheRowNoLongerHoldsChangesNothing)
{
    // The editor's list shows "prosev" at a row that now holds another value.
    Rows lookup = Table(path_, L"ZOR_METODA");
    Rows records = Table(path_, L"ZORNACOLLS");
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    int row = RowOf(index, L"smýkání");
    for (int ops : {(int)LOOKUP_DELETE_VALUE, LOOKUP_REPLACE_VALUE | LOOKUP_DELETE_VALUE, 0}) {
        LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", ops, row, L"jiná", -1);
        e.ColumnFlags = ops ? 0 : LOOKUP_WRITE_ABBREV;
        e.NewAbbrev = L"X";
        e.ShownName = L"prosev";
        EXPECT_EQ(0, db_->EditLookupTable(&e)) << ops;
    }
    EXPECT_EQ(lookup, Table(path_, L"ZOR_METODA"));
    EXPECT_EQ(records, Table(path_, L"ZORNACOLLS"));
    // The same request naming the value the row holds goes through.
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", 0, row, nullptr, -1);
    e.ColumnFlags = LOOKUP_WRITE_ABBREV;
    e.NewAbbrev = L"sm.";
    e.ShownName = L"smýkání";
    EXPECT_EQ(1, db_->EditLookupTable(&e));
    EXPECT_EQ(L"sm.", Query(path_, L"SELECT ABBREV FROM ZOR_METODA WHERE NAME = 'smýkání'")[0][0]);
}

TEST_F(LookupEditTest, ARefusedUpdateTakesBackTheValueAddedBeforeIt)
{
    Rows lookup = Table(path_, L"ZOR_METODA");
    Rows records = Table(path_, L"ZORNACOLLS");
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    int count = db_->GetLookupCount(index);
    wintest::MsgBoxRecorder boxes;
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", LOOKUP_REPLACE_VALUE | LOOKUP_DELETE_VALUE,
                           RowOf(index, L"prosev"), L"zakázaná metoda", -1);
    EXPECT_EQ(0, db_->EditLookupTable(&e));
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"zakázaná metoda se nesmí použít"));
    EXPECT_EQ(lookup, Table(path_, L"ZOR_METODA"));
    EXPECT_EQ(records, Table(path_, L"ZORNACOLLS"));
    EXPECT_EQ(count, db_->GetLookupCount(index));
}

TEST_F(LookupEditTest, ALookupTableThatCannotBeOpenedChangesNothing)
{
    Rows records = Table(path_, L"ZORNACOLLS");
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"NEEXISTUJE", LOOKUP_REPLACE_VALUE, 1, L"a", -1);
    EXPECT_EQ(kLookupNotAvailable, db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"NEEXISTUJE"));
    EXPECT_EQ(0, db_->EditLookupTable(&e));
    e.ValueOps = 0;
    EXPECT_EQ(0, db_->EditLookupTable(&e));
    // A field name that is not a plain name never reaches a statement.
    LookupEdit odd = Request(LOOKUP_ZORNACOLLS, L"METODA\" OR 1 --", LOOKUP_DELETE_VALUE, 1, nullptr, -1);
    EXPECT_EQ(0, db_->EditLookupTable(&odd));
    EXPECT_EQ(records, Table(path_, L"ZORNACOLLS"));
}

TEST_F(LookupEditTest, ARowOutsideTheTableOrAnEmptyReplacementChangesNothing)
{
    Rows lookup = Table(path_, L"ZOR_METODA");
    Rows records = Table(path_, L"ZORNACOLLS");
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    int count = db_->GetLookupCount(index);
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", LOOKUP_DELETE_VALUE, count + 1, nullptr, -1);
    EXPECT_EQ(0, db_->EditLookupTable(&e));
    e.Row = 0;
    EXPECT_EQ(0, db_->EditLookupTable(&e));
    LookupEdit empty = Request(LOOKUP_ZORNACOLLS, L"METODA", LOOKUP_REPLACE_VALUE,
                               RowOf(index, L"prosev"), nullptr, -1);
    EXPECT_EQ(0, db_->EditLookupTable(&empty));
    empty.NewName = L"";
    EXPECT_EQ(0, db_->EditLookupTable(&empty));
    EXPECT_EQ(lookup, Table(path_, L"ZOR_METODA"));
    EXPECT_EQ(records, Table(path_, L"ZORNACOLLS"));
}

// ---- in-place edits ----

TEST_F(LookupEditTest, RenamingInPlaceCarriesTheNewNameIntoTheOwningRows)
{
    long long used = Uses(L"zemní past");
    ASSERT_GT(used, 0);
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", 0, RowOf(index, L"zemní past"),
                           L"Barberova past", -1);
    e.ColumnFlags = LOOKUP_WRITE_NAME;
    EXPECT_EQ(1, db_->EditLookupTable(&e));
    EXPECT_EQ(0, InLookup(L"zemní past"));
    EXPECT_EQ(used, Uses(L"Barberova past"));
    EXPECT_EQ(0, Uses(L"zemní past"));
    EXPECT_EQ(L"ZP", Query(path_, L"SELECT ABBREV FROM ZOR_METODA WHERE NAME = 'Barberova past'")[0][0]);
}

TEST_F(LookupEditTest, AnAbbreviationIsWrittenOrClearedInPlace)
{
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", 0, RowOf(index, L"prosev"), nullptr, -1);
    e.ColumnFlags = LOOKUP_WRITE_ABBREV;
    e.NewAbbrev = L"P'V";
    EXPECT_EQ(1, db_->EditLookupTable(&e));
    EXPECT_EQ(L"P'V", Query(path_, L"SELECT ABBREV FROM ZOR_METODA WHERE NAME = 'prosev'")[0][0]);
    e.NewAbbrev = nullptr;
    e.Row = RowOf(index, L"prosev");
    EXPECT_EQ(1, db_->EditLookupTable(&e));
    EXPECT_EQ(L"<NULL>", Query(path_, L"SELECT ABBREV FROM ZOR_METODA WHERE NAME = 'prosev'")[0][0]);
}

TEST_F(LookupEditTest, ARefusedInPlaceEditAnswersZeroWithoutAMessage)
{
    Rows lookup = Table(path_, L"ZOR_METODA");
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    wintest::MsgBoxRecorder boxes;
    // The key refuses a second "prosev" (names ignore case).
    LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", 0, RowOf(index, L"smýkání"), L"PROSEV", -1);
    e.ColumnFlags = LOOKUP_WRITE_NAME;
    EXPECT_EQ(0, db_->EditLookupTable(&e));
    // The author list has no abbreviations.
    LookupEdit author = Request(LOOKUP_SPECIES, L"AUTHOR", 0, 1, nullptr, -1);
    author.ColumnFlags = LOOKUP_WRITE_ABBREV;
    author.NewAbbrev = L"L.";
    EXPECT_EQ(0, db_->EditLookupTable(&author));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(lookup, Table(path_, L"ZOR_METODA"));
    // The cached row is usable again: a later edit of it goes through.
    e.NewName = L"smýkání sítí";
    e.Row = RowOf(index, L"smýkání");
    EXPECT_EQ(1, db_->EditLookupTable(&e));
}

// ---- lists read again ----

TEST_F(LookupEditTest, ThePublicationListShowsAReplacedLanguage)
{
    ListQuery q = {};
    q.Kind = 4;
    q.Id = -1;
    db_->QueryLiterature(0, &q);
    ASSERT_GT(q.RowCount, 0);
    long long english = QueryInt(path_, L"SELECT COUNT(*) FROM LITERATURE WHERE JAZYK = 'angličtina'");
    ASSERT_GT(english, 0);
    int index = db_->LoadLookupValues(LOOKUP_LITERATURE, L"JAZYK");
    LookupEdit e = Request(LOOKUP_LITERATURE, L"JAZYK", LOOKUP_REPLACE_VALUE | LOOKUP_DELETE_VALUE,
                           RowOf(index, L"angličtina"), L"English", -1);
    EXPECT_EQ(1, db_->EditLookupTable(&e));

    zdata::Recordset* list = db_->LiteratureListRs;
    zdata::Fields* fields = nullptr;
    ASSERT_TRUE(SUCCEEDED(list->get_Fields(&fields)));
    zdata::Field* language = nullptr;
    ASSERT_TRUE(SUCCEEDED(fields->Item(L"JAZYK", &language)));
    long long shown = 0, old = 0;
    for (list->MoveFirst(); !list->IsEOF(); list->MoveNext()) {
        VARIANT v;
        VariantInit(&v);
        language->get_Value(&v);
        if (v.vt == VT_BSTR && std::wstring(v.bstrVal) == L"English")
            shown++;
        if (v.vt == VT_BSTR && std::wstring(v.bstrVal) == L"angličtina")
            old++;
        VariantClear(&v);
    }
    language->Release();
    fields->Release();
    EXPECT_EQ(english, shown);
    EXPECT_EQ(0, old);
}

// ---- describing authors ----

// Typed values are matched ignoring case only ("ZEMNÍ PAST" is "zemní past"), table-driven: each
// edit in turn, its answer, and the value the edited rows hold afterwards.
TEST_F(LookupEditTest, TypedValuesInAnotherCaseAreTheStoredValues)
{
    struct Case
    {
        const wchar_t* value;   // the edited value
        int ops;                // 0: in place
        const wchar_t* typed;
        int answer;
        const wchar_t* stored;  // what the rows that used the value hold afterwards
        int added;              // lookup rows added (negative: removed)
    };
    const Case cases[] = {
        // An existing value in capitals: the rows move to it, nothing is added.
        { L"smýkání", LOOKUP_REPLACE_VALUE, L"ZEMNÍ PAST", 1, L"zemní past", 0 },
        // Merged into one: the old value goes.
        { L"prosev", LOOKUP_REPLACE_VALUE | LOOKUP_DELETE_VALUE, L"POZOROVÁNÍ", 1, L"pozorování", -1 },
        // The value itself in capitals: renamed in place and kept, not deleted from under its rows.
        { L"sklepávání", LOOKUP_REPLACE_VALUE | LOOKUP_DELETE_VALUE, L"Sklepávání", 1, L"Sklepávání", 0 },
        // In place, another value's name in another case is refused; a case change of its own is not.
        { L"individuální sběr", 0, L"ZEMNÍ PAST", 0, L"individuální sběr", 0 },
        { L"individuální sběr", 0, L"Individuální Sběr", 1, L"Individuální Sběr", 0 },
        // Differing in a mark is another value: added.
        { L"odchyt do vody", LOOKUP_REPLACE_VALUE, L"ODCHYT DO VÓDY", 1, L"ODCHYT DO VÓDY", 1 },
    };
    auto binary = [this](const wchar_t* table, const wchar_t* column, const std::wstring& value) {
        return QueryInt(path_, std::wstring(L"SELECT COUNT(*) FROM ") + table + L" WHERE " + column + L" = '" +
                                   Doubled(value) + L"' COLLATE BINARY");
    };
    for (const Case& c : cases) {
        std::string name = dbtest::Narrow(c.typed);
        int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
        long long uses = binary(L"ZORNACOLLS", L"METODA", c.value);
        long long rows = QueryInt(path_, L"SELECT COUNT(*) FROM ZOR_METODA");
        LookupEdit e = Request(LOOKUP_ZORNACOLLS, L"METODA", c.ops, RowOf(index, c.value), c.typed, -1);
        e.ColumnFlags = LOOKUP_WRITE_NAME;
        ASSERT_GT(e.Row, 0) << name;
        EXPECT_EQ(c.answer, db_->EditLookupTable(&e)) << name;
        EXPECT_EQ(rows + c.added, QueryInt(path_, L"SELECT COUNT(*) FROM ZOR_METODA")) << name;
        EXPECT_EQ(1, binary(L"ZOR_METODA", L"NAME", c.stored)) << name;
        EXPECT_LE(uses, binary(L"ZORNACOLLS", L"METODA", c.stored)) << name;
    }
}

TEST_F(LookupEditTest, AnAuthorIsAddedOnceAndAnEmptyOneNever)
{
    long long authors = QueryInt(path_, L"SELECT COUNT(*) FROM SYSAUTHORS");
    int rows = db_->OpenSysAuthors();
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(1, db_->AddSysAuthor(L"O'Hara, 1999"));
    EXPECT_EQ(0, db_->AddSysAuthor(L"O'Hara, 1999"));
    EXPECT_EQ(0, db_->AddSysAuthor(L"o'hara, 1999"));
    EXPECT_EQ(1, db_->AddSysAuthor(L"Čapek, 1920"));
    EXPECT_EQ(0, db_->AddSysAuthor(L"ČAPEK, 1920"));  // the same name in capitals
    EXPECT_EQ(1, db_->AddSysAuthor(L"Capek, 1920"));  // without the caron it is another name
    EXPECT_EQ(0, db_->AddSysAuthor(L""));
    EXPECT_EQ(0, db_->AddSysAuthor(nullptr));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(authors + 3, QueryInt(path_, L"SELECT COUNT(*) FROM SYSAUTHORS"));
    EXPECT_EQ(1, QueryInt(path_, L"SELECT COUNT(*) FROM SYSAUTHORS WHERE NAME = 'O''Hara, 1999'"));
    // The author list offers them at once.
    EXPECT_EQ(rows + 3, db_->OpenSysAuthors());
    int row = -1;
    EXPECT_EQ(7, db_->FindSysAuthorPrefix(L"O'Hara,", &row));
    ASSERT_GE(row, 0);
    db_->GetSysAuthorTextLen(row);
    wchar_t text[64] = L"";
    db_->GetSysAuthorText(row, text);
    EXPECT_STREQ(L"O'Hara, 1999", text);
}

TEST_F(LookupEditTest, AReplacedAuthorMovesEverySpeciesThatCitedIt)
{
    Rows top = Query(path_, L"SELECT AUTHOR, COUNT(*) FROM SPECIES WHERE AUTHOR IS NOT NULL "
                            L"GROUP BY AUTHOR ORDER BY COUNT(*) DESC LIMIT 1");
    ASSERT_EQ(1u, top.size());
    std::wstring author = top[0][0];
    int index = db_->LoadLookupValues(LOOKUP_SPECIES, L"AUTHOR");
    int row = RowOf(index, author);
    ASSERT_GT(row, 0);
    LookupEdit e = Request(LOOKUP_SPECIES, L"AUTHOR", LOOKUP_REPLACE_VALUE | LOOKUP_DELETE_VALUE, row,
                           L"Novus, 2001", -1);
    EXPECT_EQ(1, db_->EditLookupTable(&e));
    EXPECT_EQ(std::stoll(top[0][1]),
              QueryInt(path_, L"SELECT COUNT(*) FROM SPECIES WHERE AUTHOR = 'Novus, 2001'"));
    EXPECT_EQ(0, QueryInt(path_, L"SELECT COUNT(*) FROM SYSAUTHORS WHERE NAME = '" +
                                     Doubled(author) + L"'"));
}

}  // namespace
