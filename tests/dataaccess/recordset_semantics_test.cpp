#include <thread>
#include "tests/dataaccess/adotest.h"

using namespace zdata;
using adotest::Ref;
using adotest::Var;

namespace {

class RecordsetTest : public adotest::LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        Exec(L"CREATE TABLE AUTHORS (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
             L"NAME VARCHAR(60) NOT NULL UNIQUE COLLATE NOCASE, YEAR INTEGER, ACTIVE BOOLEAN, "
             L"BORN DATETIME, NOTE TEXT)");
        const wchar_t* names[] = {L"Linné", L"O'Brien", L"d'Orbigny", L"Čapek", L"Šusta", L"Agassiz"};
        int year = 1700;
        for (const wchar_t* n : names) {
            Ref<Command> cmd(Command::Create());
            cmd->put_ActiveConnection(conn_);
            cmd->put_CommandText(L"INSERT INTO AUTHORS (NAME, YEAR) VALUES (?, ?)");
            Ref<Parameters> params;
            cmd->get_Parameters(params.out());
            params->Refresh();
            Ref<Parameter> p0, p1;
            params->Item(0, p0.out());
            params->Item(1, p1.out());
            Var v0, v1;
            Var::Set(&v0, n);
            v1.v.vt = VT_I4;
            v1.v.lVal = year;
            year += 25;
            p0->put_Value(v0.v);
            p1->put_Value(v1.v);
            ASSERT_EQ(S_OK, cmd->Execute(nullptr, nullptr, adExecuteNoRecords, nullptr)) << FirstError().c_str();
        }
    }
    Recordset* Authors() { return Open(L"SELECT * FROM AUTHORS ORDER BY ID"); }
    HRESULT Filter(Recordset* rs, const wchar_t* text) { return rs->put_Filter(text); }
    std::wstring FilterText(Recordset* rs)
    {
        Var v;
        rs->get_Filter(&v);
        if (v.v.vt == VT_I4)
            return v.v.lVal == 0 ? L"<none>" : L"<number>";
        return v.v.vt == VT_BSTR ? std::wstring(v.v.bstrVal) : L"<?>";
    }
};

// ---- Filter ----------------------------------------------------------------------------------

TEST_F(RecordsetTest, FilterNarrowsTheViewAndMovesToItsFirstRow)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(6, Count(rs.get()));
    rs->MoveLast();
    ASSERT_EQ(S_OK, Filter(rs.get(), L"YEAR >= 1750 AND YEAR <= 1800"));
    EXPECT_EQ(3, Count(rs.get()));
    long pos = 0;
    rs->get_AbsolutePosition(&pos);
    EXPECT_EQ(1, pos);
    EXPECT_EQ((std::vector<std::wstring>{L"d'Orbigny", L"Čapek", L"Šusta"}), Column(rs.get(), L"NAME"));
    EXPECT_EQ(L"YEAR >= 1750 AND YEAR <= 1800", FilterText(rs.get()));
    Var none;
    none.v.vt = VT_I4;
    none.v.lVal = adFilterNone;
    ASSERT_EQ(S_OK, rs->put_Filter(none.v));
    EXPECT_EQ(6, Count(rs.get()));
    EXPECT_EQ(L"<none>", FilterText(rs.get()));
    ASSERT_EQ(S_OK, Filter(rs.get(), L"ID = 2"));
    EXPECT_EQ(1, Count(rs.get()));
    ASSERT_EQ(S_OK, Filter(rs.get(), L""));  // empty text = no filter
    EXPECT_EQ(6, Count(rs.get()));
}

// Equalities are answered from indexes that follow the recordset's own adds and edits: each
// lookup of a find-or-create loop sees every row added or renamed before it, and none twice.
TEST_F(RecordsetTest, EqualityFiltersSeeTheRowsAddedAndChangedBetweenThem)
{
    Ref<Recordset> rs(Authors());
    struct Step {
        const wchar_t* filter;
        long count;                 // rows the filter lets through
        const wchar_t* addName;     // then: a new row (null: none)
        const wchar_t* renameTo;    // or: the first row let through renamed (null: none)
        bool remove;                // or: the first row let through deleted
    };
    const Step steps[] = {
        {L"NAME = 'čapek'", 1, nullptr, nullptr, false},         // Czech case pair
        {L"NAME = 'D''ORBIGNY'", 1, nullptr, nullptr, false},     // doubled apostrophe
        {L"NAME = 'Lamarck'", 0, L"Lamarck", nullptr, false},     // missing: added
        {L"NAME = 'LAMARCK'", 1, nullptr, L"Cuvier", false},      // found, then renamed
        {L"NAME = 'lamarck'", 0, nullptr, nullptr, false},        // the old name is gone
        {L"NAME = 'cuvier'", 1, nullptr, nullptr, false},         // the new one is there
        {L"NAME = 'Linne'", 0, nullptr, nullptr, false},          // accents are no case
        {L"YEAR = 1725", 1, nullptr, nullptr, true},              // integer index, then deleted
        {L"YEAR = 1725", 0, nullptr, nullptr, false},
        {L"NAME = 'O''Brien'", 0, nullptr, nullptr, false},       // deleted with its year
        {L"NAME = 'Šusta'", 1, nullptr, nullptr, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.filter, step.filter + wcslen(step.filter)));
        ASSERT_EQ(S_OK, Filter(rs.get(), step.filter));
        EXPECT_EQ(step.count, Count(rs.get()));
        if (step.addName) {
            ASSERT_EQ(S_OK, rs->AddNew());
            ASSERT_EQ(S_OK, PutText(rs.get(), L"NAME", step.addName));
            ASSERT_EQ(S_OK, rs->Update()) << FirstError().c_str();
        } else if (step.renameTo && !rs->IsEOF()) {
            rs->MoveFirst();
            ASSERT_EQ(S_OK, PutText(rs.get(), L"NAME", step.renameTo));
            ASSERT_EQ(S_OK, rs->Update()) << FirstError().c_str();
        } else if (step.remove && !rs->IsEOF()) {
            rs->MoveFirst();
            ASSERT_EQ(S_OK, rs->Delete());
        }
    }
    ASSERT_EQ(S_OK, Filter(rs.get(), L""));
    EXPECT_EQ(6, Count(rs.get()));  // six, one added, one deleted
}

TEST_F(RecordsetTest, FilterEvaluatesAndBeforeOrAndHonoursParentheses)
{
    Ref<Recordset> rs(Authors());
    // AND binds tighter: ID = 1 OR (ID = 2 AND YEAR = 0)
    ASSERT_EQ(S_OK, Filter(rs.get(), L"ID = 1 OR ID = 2 AND YEAR = 0"));
    EXPECT_EQ(1, Count(rs.get()));
    ASSERT_EQ(S_OK, Filter(rs.get(), L"(ID = 1 OR ID = 2) AND YEAR = 1725"));
    EXPECT_EQ(1, Count(rs.get()));
    EXPECT_EQ(L"O'Brien", Text(rs.get(), L"NAME"));
    ASSERT_EQ(S_OK, Filter(rs.get(), L"(ID = 1) OR ((ID = 5) AND (YEAR > 1000))"));
    EXPECT_EQ(2, Count(rs.get()));
}

TEST_F(RecordsetTest, FilterTextComparisonFoldsUnicodeCaseAndTakesDoubledApostrophes)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, Filter(rs.get(), L"NAME = 'čapek'"));
    EXPECT_EQ(1, Count(rs.get()));
    EXPECT_EQ(L"Čapek", Text(rs.get(), L"NAME"));
    ASSERT_EQ(S_OK, Filter(rs.get(), L"NAME = 'o''brien'"));
    EXPECT_EQ(1, Count(rs.get()));
    EXPECT_EQ(L"O'Brien", Text(rs.get(), L"NAME"));
    ASSERT_EQ(S_OK, Filter(rs.get(), L"NAME LIKE 'š*'"));
    EXPECT_EQ(1, Count(rs.get()));
    ASSERT_EQ(S_OK, Filter(rs.get(), L"NAME LIKE '*''*'"));
    EXPECT_EQ(2, Count(rs.get()));
}

TEST_F(RecordsetTest, FilterComparisonsWithNullAreFalse)
{
    Exec(L"UPDATE AUTHORS SET YEAR = NULL WHERE ID = 3");
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, Filter(rs.get(), L"YEAR > 0"));
    EXPECT_EQ(5, Count(rs.get()));
    ASSERT_EQ(S_OK, Filter(rs.get(), L"YEAR < 99999"));
    EXPECT_EQ(5, Count(rs.get()));
}

TEST_F(RecordsetTest, FilterLiteralWildcardInBrackets)
{
    Exec(L"INSERT INTO AUTHORS (NAME) VALUES ('Star*name')");
    Exec(L"INSERT INTO AUTHORS (NAME) VALUES ('Starling')");
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, Filter(rs.get(), L"NAME LIKE 'Star[*]*'"));
    EXPECT_EQ(1, Count(rs.get()));
    EXPECT_EQ(L"Star*name", Text(rs.get(), L"NAME"));
    ASSERT_EQ(S_OK, Filter(rs.get(), L"NAME LIKE 'Star*'"));
    EXPECT_EQ(2, Count(rs.get()));
}

TEST_F(RecordsetTest, InvalidFilterIsRefusedKeepsTheOldOneAndAddsAnError)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, Filter(rs.get(), L"YEAR > 1760"));
    long before = Count(rs.get());
    rs->MoveNext();
    EXPECT_TRUE(FAILED(Filter(rs.get(), L"NOSUCHCOLUMN = 1")));
    EXPECT_GE(ErrorCount(), 1);
    EXPECT_EQ(L"YEAR > 1760", FilterText(rs.get()));
    EXPECT_EQ(before, Count(rs.get()));
    EXPECT_TRUE(FAILED(Filter(rs.get(), L"YEAR > 'abc'")));
    EXPECT_TRUE(FAILED(Filter(rs.get(), L"NAME = 'unterminated")));
    EXPECT_EQ(L"YEAR > 1760", FilterText(rs.get()));
    EXPECT_EQ(before, Count(rs.get()));
}

TEST_F(RecordsetTest, DuplicateViewColumnNamesCanBeFiltered)
{
    Exec(L"CREATE TABLE PLACES (ID INTEGER PRIMARY KEY, NAME VARCHAR(40))");
    Exec(L"INSERT INTO PLACES VALUES (1, 'Brno')");
    Exec(L"INSERT INTO PLACES VALUES (2, 'Praha')");
    Exec(L"CREATE VIEW BOTH AS SELECT AUTHORS.*, PLACES.* FROM AUTHORS LEFT JOIN PLACES ON PLACES.ID = AUTHORS.ID");
    Ref<Recordset> rs(Open(L"SELECT * FROM BOTH ORDER BY \"NAME:1\" DESC, NAME", adLockReadOnly));
    ASSERT_EQ(6, Count(rs.get()));
    EXPECT_EQ(L"Praha", Text(rs.get(), L"NAME:1"));
    ASSERT_EQ(S_OK, Filter(rs.get(), L"NAME:1 = 'brno'"));
    EXPECT_EQ(1, Count(rs.get()));
    EXPECT_EQ(L"Linné", Text(rs.get(), L"NAME"));
    ASSERT_EQ(S_OK, Filter(rs.get(), L"[NAME:1] = 'Praha'"));
    EXPECT_EQ(1, Count(rs.get()));
    // A view is read, never written.
    EXPECT_TRUE(FAILED(PutText(rs.get(), L"NAME", L"x")));
}

TEST_F(RecordsetTest, OpenResetsTheFilterAndRequeryKeepsIt)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, Filter(rs.get(), L"NAME LIKE 'Š*' OR NAME LIKE 'C*'"));
    EXPECT_EQ(1, Count(rs.get()));
    Exec(L"INSERT INTO AUTHORS (NAME) VALUES ('Cuvier')");
    ASSERT_EQ(S_OK, rs->Requery());
    EXPECT_EQ(2, Count(rs.get()));
    EXPECT_EQ(L"NAME LIKE 'Š*' OR NAME LIKE 'C*'", FilterText(rs.get()));
    rs->Close();
    ASSERT_EQ(S_OK, rs->Open(L"SELECT * FROM AUTHORS", conn_, adOpenKeyset, adLockOptimistic));
    EXPECT_EQ(L"<none>", FilterText(rs.get()));
    EXPECT_EQ(7, Count(rs.get()));
}

// ---- Find and bookmarks -----------------------------------------------------------------------

TEST_F(RecordsetTest, FindStartsAtAndIncludesTheStartBookmark)
{
    // In Czech order: Agassiz Čapek d'Orbigny Linné O'Brien Šusta
    Ref<Recordset> rs(Open(L"SELECT * FROM AUTHORS ORDER BY NAME"));
    Var start;
    start.v.vt = VT_R8;
    start.v.dblVal = 4;  // Linné
    ASSERT_EQ(S_OK, rs->Find(L"NAME like 'l*'", 0, adSearchForward, &start.v));
    EXPECT_FALSE(rs->IsEOF());
    EXPECT_EQ(L"Linné", Text(rs.get(), L"NAME"));
    start.v.dblVal = 5;
    ASSERT_EQ(S_OK, rs->Find(L"NAME like 'l*'", 0, adSearchForward, &start.v));
    EXPECT_TRUE(rs->IsEOF());
    start.v.dblVal = 1;
    ASSERT_EQ(S_OK, rs->Find(L"NAME like 'č*'", 0, adSearchForward, &start.v));
    EXPECT_EQ(L"Čapek", Text(rs.get(), L"NAME"));
    // The bookmark of a row is its 1-based row number, and a moved cursor finds from there.
    rs->MoveFirst();
    ASSERT_EQ(S_OK, rs->Find(L"NAME LIKE 'd''*'", 0, adSearchForward, nullptr));
    Var mark;
    ASSERT_EQ(S_OK, rs->get_Bookmark(&mark));
    EXPECT_EQ(VT_R8, mark.v.vt);
    EXPECT_EQ(3.0, mark.v.dblVal);
    long pos = 0;
    rs->get_AbsolutePosition(&pos);
    EXPECT_EQ(3, pos);
    EXPECT_TRUE(FAILED(rs->Find(L"NAME = 'a' AND ID = 1", 0, adSearchForward, nullptr)));
}

TEST_F(RecordsetTest, FindSearchesTheFilteredView)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, Filter(rs.get(), L"YEAR > 1760"));
    ASSERT_EQ(S_OK, rs->Find(L"NAME = 'Linné'"));
    EXPECT_TRUE(rs->IsEOF());
    rs->MoveFirst();
    ASSERT_EQ(S_OK, rs->Find(L"NAME = 'Agassiz'"));
    EXPECT_FALSE(rs->IsEOF());
    long pos = 0;
    rs->get_AbsolutePosition(&pos);
    EXPECT_EQ(3, pos);
    Var mark;
    rs->get_Bookmark(&mark);
    EXPECT_EQ(6.0, mark.v.dblVal);  // row number in the unfiltered rowset
}

// ---- Positions --------------------------------------------------------------------------------

TEST_F(RecordsetTest, InvalidAbsolutePositionFailsAndLeavesNoCurrentRow)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, rs->put_AbsolutePosition(3));
    EXPECT_EQ(L"d'Orbigny", Text(rs.get(), L"NAME"));
    long errorsBefore = ErrorCount();
    EXPECT_TRUE(FAILED(rs->put_AbsolutePosition(0)));
    EXPECT_GE(ErrorCount(), 1);
    (void)errorsBefore;
    Ref<Fields> fields;
    rs->get_Fields(fields.out());
    Ref<Field> f;
    ASSERT_EQ(S_OK, fields->Item(L"NAME", f.out()));
    Var v;
    EXPECT_TRUE(FAILED(f->get_Value(&v)));
    EXPECT_EQ(VT_EMPTY, v.v.vt);
    EXPECT_TRUE(FAILED(rs->put_AbsolutePosition(7)));
    Var w;
    EXPECT_TRUE(FAILED(f->get_Value(&w)));
    EXPECT_EQ(VT_EMPTY, w.v.vt);
    ASSERT_EQ(S_OK, rs->put_AbsolutePosition(6));
    EXPECT_EQ(L"Agassiz", Text(rs.get(), L"NAME"));
}

TEST_F(RecordsetTest, EmptyRowsetIsBofAndEofAndMovesFailQuietly)
{
    Ref<Recordset> rs(Open(L"SELECT * FROM AUTHORS WHERE 0 = 1"));
    EXPECT_TRUE(rs->IsBOF());
    EXPECT_TRUE(rs->IsEOF());
    EXPECT_EQ(0, Count(rs.get()));
    EXPECT_TRUE(FAILED(rs->MoveLast()));
    EXPECT_TRUE(FAILED(rs->MoveFirst()));
    EXPECT_TRUE(FAILED(rs->MoveNext()));
    EXPECT_TRUE(rs->IsBOF() && rs->IsEOF());
    // The columns are known without rows.
    Ref<Fields> fields;
    rs->get_Fields(fields.out());
    long n = 0;
    fields->get_Count(&n);
    EXPECT_EQ(6, n);
    Ref<Field> f;
    ASSERT_EQ(S_OK, fields->Item(1, f.out()));
    BSTR name = nullptr;
    f->get_Name(&name);
    EXPECT_STREQ(L"NAME", name);
    SysFreeString(name);
    DataTypeEnum type = adEmpty;
    f->get_Type(&type);
    EXPECT_EQ(adVarWChar, type);
    long size = 0;
    f->get_DefinedSize(&size);
    EXPECT_EQ(60, size);
    Ref<Field> note;
    ASSERT_EQ(S_OK, fields->Item(L"note", note.out()));  // names ignore case
    note->get_Type(&type);
    EXPECT_EQ(adLongVarWChar, type);
    note->get_DefinedSize(&size);
    EXPECT_EQ(0, size);
    Ref<Field> missing;
    EXPECT_TRUE(FAILED(fields->Item(L"NOSUCH", missing.out())));
    EXPECT_FALSE(missing);
    EXPECT_TRUE(FAILED(fields->Item(6, missing.out())));
}

TEST_F(RecordsetTest, MovesWalkBothWays)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, rs->MoveLast());
    EXPECT_EQ(L"Agassiz", Text(rs.get(), L"NAME"));
    ASSERT_EQ(S_OK, rs->MovePrevious());
    EXPECT_EQ(L"Šusta", Text(rs.get(), L"NAME"));
    rs->MoveFirst();
    ASSERT_EQ(S_OK, rs->MovePrevious());
    EXPECT_TRUE(rs->IsBOF());
    EXPECT_FALSE(rs->IsEOF());
    EXPECT_TRUE(FAILED(rs->MovePrevious()));
    ASSERT_EQ(S_OK, rs->MoveNext());
    EXPECT_EQ(L"Linné", Text(rs.get(), L"NAME"));
}

// ---- Editing ----------------------------------------------------------------------------------

TEST_F(RecordsetTest, AddNewGivesTheAssignedIdAtOnceAndStaysCurrent)
{
    Ref<Recordset> rs(Open(L"SELECT * FROM AUTHORS WHERE 0 = 1"));
    ASSERT_EQ(S_OK, rs->AddNew());
    ASSERT_EQ(S_OK, PutText(rs.get(), L"NAME", L"Přemysl O'Hara"));
    ASSERT_EQ(S_OK, rs->Update()) << FirstError().c_str();
    EXPECT_EQ(7, Long(rs.get(), L"ID"));
    EXPECT_EQ(L"Přemysl O'Hara", Text(rs.get(), L"NAME"));
    EXPECT_EQ(1, Count(rs.get()));
    ASSERT_EQ(S_OK, rs->AddNew());
    ASSERT_EQ(S_OK, PutText(rs.get(), L"NAME", L"Second"));
    ASSERT_EQ(S_OK, rs->Update());
    EXPECT_EQ(8, Long(rs.get(), L"ID"));
    EXPECT_EQ(2, Count(rs.get()));
    Ref<Recordset> check(Open(L"SELECT * FROM AUTHORS WHERE NAME = 'Přemysl O''Hara'"));
    EXPECT_EQ(1, Count(check.get()));
}

TEST_F(RecordsetTest, TextIntoTheIntegerKeyOfANewRowIsRefused)
{
    Ref<Recordset> rs(Open(L"SELECT * FROM AUTHORS WHERE 0 = 1"));
    ASSERT_EQ(S_OK, rs->AddNew());
    ASSERT_EQ(S_OK, PutText(rs.get(), L"NAME", L"Key test"));
    HRESULT put = PutText(rs.get(), L"ID", L"abc");
    if (SUCCEEDED(put)) {
        EXPECT_TRUE(FAILED(rs->Update()));
    }
    ASSERT_EQ(S_OK, rs->CancelUpdate());
    Ref<Recordset> check(Open(L"SELECT * FROM AUTHORS WHERE NAME = 'Key test'", adLockReadOnly));
    EXPECT_EQ(0, Count(check.get()));
}

TEST_F(RecordsetTest, NewRowStaysVisibleInTheFilteredView)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, Filter(rs.get(), L"NAME = 'Linné'"));
    ASSERT_EQ(S_OK, rs->AddNew());
    ASSERT_EQ(S_OK, PutText(rs.get(), L"NAME", L"Zzz"));
    ASSERT_EQ(S_OK, rs->Update());
    EXPECT_EQ(2, Count(rs.get()));
    EXPECT_EQ(L"Zzz", Text(rs.get(), L"NAME"));
}

// "column = integer" is answered from an index that is built once and kept current through the
// recordset's own writes: a row added, a row whose value moves to another key, a row written
// without changing it, and the id column of a new row.
TEST_F(RecordsetTest, IntegerFilterFollowsTheRecordsetsOwnWrites)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, Filter(rs.get(), L"YEAR = 1700"));
    EXPECT_EQ((std::vector<std::wstring>{L"Linné"}), Column(rs.get(), L"NAME"));
    ASSERT_EQ(S_OK, Filter(rs.get(), L"ID = 3"));  // a second index, on the id
    ASSERT_EQ(S_OK, rs->AddNew());
    ASSERT_EQ(S_OK, PutText(rs.get(), L"NAME", L"Nový"));
    ASSERT_EQ(S_OK, PutLong(rs.get(), L"YEAR", 1700));
    ASSERT_EQ(S_OK, rs->Update());
    ASSERT_EQ(S_OK, Filter(rs.get(), L"YEAR = 1700"));
    EXPECT_EQ((std::vector<std::wstring>{L"Linné", L"Nový"}), Column(rs.get(), L"NAME"));
    ASSERT_EQ(S_OK, Filter(rs.get(), L"ID = 7"));
    EXPECT_EQ((std::vector<std::wstring>{L"Nový"}), Column(rs.get(), L"NAME"));
    // Linné moves to 1725, the year O'Brien has; the new row keeps 1700.
    ASSERT_EQ(S_OK, Filter(rs.get(), L"ID = 1"));
    ASSERT_EQ(S_OK, PutLong(rs.get(), L"YEAR", 1725));
    ASSERT_EQ(S_OK, rs->Update());
    ASSERT_EQ(S_OK, PutText(rs.get(), L"NOTE", L"beze změny klíče"));
    ASSERT_EQ(S_OK, rs->Update());
    ASSERT_EQ(S_OK, Filter(rs.get(), L"YEAR = 1700"));
    EXPECT_EQ((std::vector<std::wstring>{L"Nový"}), Column(rs.get(), L"NAME"));
    ASSERT_EQ(S_OK, Filter(rs.get(), L"YEAR = 1725"));
    EXPECT_EQ((std::vector<std::wstring>{L"Linné", L"O'Brien"}), Column(rs.get(), L"NAME"));  // in row order
    ASSERT_EQ(S_OK, Filter(rs.get(), L"ID = 1"));
    EXPECT_EQ(1, Count(rs.get()));
}

TEST_F(RecordsetTest, FailedUpdateKeepsTheEditUntilCancelUpdate)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, rs->put_AbsolutePosition(2));
    ASSERT_EQ(S_OK, PutText(rs.get(), L"NAME", L"Linné"));  // UNIQUE
    EXPECT_TRUE(FAILED(rs->Update()));
    EXPECT_GE(ErrorCount(), 1);
    long mode = 0;
    rs->get_EditMode(&mode);
    EXPECT_EQ(adEditInProgress, mode);
    EXPECT_EQ(L"Linné", Text(rs.get(), L"NAME"));  // the pending value
    EXPECT_TRUE(FAILED(rs->MoveNext()));            // leaving a changed row is refused
    std::wstring error = FirstError();
    ASSERT_EQ(S_OK, rs->CancelUpdate());
    EXPECT_EQ(error, FirstError());  // still there for the caller's report
    EXPECT_EQ(L"O'Brien", Text(rs.get(), L"NAME"));
    ASSERT_EQ(S_OK, PutText(rs.get(), L"NAME", L"O'Brian"));
    ASSERT_EQ(S_OK, rs->Update());
    EXPECT_EQ(L"O'Brian", Text(rs.get(), L"NAME"));
    Ref<Recordset> check(Open(L"SELECT NAME FROM AUTHORS WHERE ID = 2", adLockReadOnly));
    EXPECT_EQ(L"O'Brian", Text(check.get(), L"NAME"));
}

TEST_F(RecordsetTest, CancelUpdateOfAddNewReturnsToThePreviousRow)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, rs->put_AbsolutePosition(4));
    ASSERT_EQ(S_OK, rs->AddNew());
    ASSERT_EQ(S_OK, PutText(rs.get(), L"NAME", L"Nobody"));
    ASSERT_EQ(S_OK, rs->CancelUpdate());
    EXPECT_EQ(L"Čapek", Text(rs.get(), L"NAME"));
    EXPECT_EQ(6, Count(rs.get()));
    Ref<Recordset> check(Open(L"SELECT * FROM AUTHORS", adLockReadOnly));
    EXPECT_EQ(6, Count(check.get()));
}

TEST_F(RecordsetTest, TextIntoAnIntegerColumnIsATypeMismatch)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, PutText(rs.get(), L"YEAR", L"abc"));
    HRESULT hr = rs->Update();
    EXPECT_EQ(DISP_E_TYPEMISMATCH, hr);
    EXPECT_GE(ErrorCount(), 1);
    rs->CancelUpdate();
    EXPECT_EQ(1700, Long(rs.get(), L"YEAR"));
    ASSERT_EQ(S_OK, PutText(rs.get(), L"YEAR", L"1999"));  // convertible text is fine
    ASSERT_EQ(S_OK, rs->Update());
    EXPECT_EQ(VT_I4, Type(rs.get(), L"YEAR"));
    EXPECT_EQ(1999, Long(rs.get(), L"YEAR"));
}

TEST_F(RecordsetTest, BooleansAreStoredAsMinusOneAndDatesAsTheirNumber)
{
    Ref<Recordset> rs(Authors());
    Var b;
    b.v.vt = VT_BOOL;
    b.v.boolVal = 1;  // as a property box stores it
    ASSERT_EQ(S_OK, Put(rs.get(), L"ACTIVE", b.v));
    Var d;
    d.v.vt = VT_DATE;
    d.v.date = 45123.625;
    ASSERT_EQ(S_OK, Put(rs.get(), L"BORN", d.v));
    ASSERT_EQ(S_OK, rs->Update());
    Ref<Recordset> raw(Open(L"SELECT CAST(ACTIVE AS INTEGER) AS A, typeof(BORN) AS T FROM AUTHORS WHERE ID = 1", adLockReadOnly));
    EXPECT_EQ(-1, Long(raw.get(), L"A"));
    EXPECT_EQ(L"real", Text(raw.get(), L"T"));
    ASSERT_EQ(S_OK, rs->Requery());
    Ref<Fields> fields;
    rs->get_Fields(fields.out());
    Ref<Field> active, born;
    fields->Item(L"ACTIVE", active.out());
    fields->Item(L"BORN", born.out());
    Var a, t;
    active->get_Value(&a);
    born->get_Value(&t);
    EXPECT_EQ(VT_BOOL, a.v.vt);
    EXPECT_EQ(VARIANT_TRUE, a.v.boolVal);
    EXPECT_EQ(VT_DATE, t.v.vt);
    EXPECT_EQ(45123.625, t.v.date);
    // False and NULL.
    Var f;
    f.v.vt = VT_BOOL;
    f.v.boolVal = VARIANT_FALSE;
    ASSERT_EQ(S_OK, active->put_Value(f.v));
    Var n;
    n.v.vt = VT_NULL;
    ASSERT_EQ(S_OK, born->put_Value(n.v));
    ASSERT_EQ(S_OK, rs->Update());
    Var a2, t2;
    active->get_Value(&a2);
    born->get_Value(&t2);
    EXPECT_EQ(VT_BOOL, a2.v.vt);
    EXPECT_EQ(VARIANT_FALSE, a2.v.boolVal);
    EXPECT_EQ(VT_NULL, t2.v.vt);
}

TEST_F(RecordsetTest, DeleteRemovesTheRowAtOnceAndMoveNextGoesToTheNextOne)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, rs->put_AbsolutePosition(2));
    ASSERT_EQ(S_OK, rs->Delete(adAffectCurrent));
    EXPECT_EQ(5, Count(rs.get()));
    EXPECT_FALSE(rs->IsEOF());
    ASSERT_EQ(S_OK, rs->MoveNext());
    EXPECT_EQ(L"d'Orbigny", Text(rs.get(), L"NAME"));
    Ref<Recordset> check(Open(L"SELECT * FROM AUTHORS", adLockReadOnly));
    EXPECT_EQ(5, Count(check.get()));
    // Deleting every row in a loop.
    rs->MoveFirst();
    while (!rs->IsEOF()) {
        ASSERT_EQ(S_OK, rs->Delete(adAffectCurrent));
        rs->MoveNext();
    }
    EXPECT_EQ(0, Count(rs.get()));
    EXPECT_EQ(S_OK, rs->Resync(adAffectAll, adResyncAllValues));
    EXPECT_TRUE(rs->IsBOF() && rs->IsEOF());
}

TEST_F(RecordsetTest, UpdateOfTheIntegerKeyFollowsTheRow)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, PutLong(rs.get(), L"ID", 100));
    ASSERT_EQ(S_OK, rs->Update());
    EXPECT_EQ(100, Long(rs.get(), L"ID"));
    ASSERT_EQ(S_OK, PutText(rs.get(), L"NOTE", L"moved"));
    ASSERT_EQ(S_OK, rs->Update());
    Ref<Recordset> check(Open(L"SELECT NOTE FROM AUTHORS WHERE ID = 100", adLockReadOnly));
    EXPECT_EQ(L"moved", Text(check.get(), L"NOTE"));
}

// What a recordset shows of a row it has just added or changed is what the table stored: the
// defaults of the columns left out, the values as each column's affinity keeps them, what a
// trigger made of the row, and a default the engine works out; each field as a fresh read of
// the row gives it.
TEST_F(RecordsetTest, AWrittenRowReadsAsTheTableStoredIt)
{
    Exec(L"CREATE TABLE W (ID INTEGER PRIMARY KEY, N INTEGER DEFAULT 5, T VARCHAR(20) DEFAULT 'it''s', "
         L"B BOOLEAN DEFAULT 0, C NUMERIC, S JSON, X TEXT, Y INTEGER, R REAL, P BLOB)");
    Exec(L"CREATE TABLE U (ID INTEGER PRIMARY KEY, R REAL DEFAULT 1.5, D DATETIME DEFAULT CURRENT_TIMESTAMP, X TEXT)");
    Exec(L"CREATE TABLE V (ID INTEGER PRIMARY KEY, N INTEGER, T TEXT)");
    Exec(L"CREATE TRIGGER V_MORE AFTER INSERT ON V BEGIN UPDATE V SET N = N + 1, T = upper(T) WHERE ID = NEW.ID; END");
    Exec(L"INSERT INTO W (ID, N, X) VALUES (1, 1, 'old')");
    const struct {
        const char* name;
        const wchar_t* table;
        bool add;  // else the row of ID 1 is changed
        std::vector<std::pair<const wchar_t*, const wchar_t*>> texts;
        std::vector<std::pair<const wchar_t*, double>> numbers;
    } cases[] = {
        {"defaults of the columns left out", L"W", true, {{L"X", L"x"}}, {}},
        {"values as the columns keep them", L"W", true, {{L"C", L"007"}, {L"S", L"007"}, {L"R", L"2,5"}, {L"T", L""}, {L"N", L"8"}},
         {{L"X", 12}, {L"Y", 5.0}}},
        {"a changed row keeps the rest", L"W", false, {{L"X", L"new"}}, {}},
        {"defaults the engine works out", L"U", true, {{L"X", L"x"}}, {}},
        {"a trigger's work", L"V", true, {{L"T", L"ab"}}, {{L"N", 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring table = c.table;
        Ref<Recordset> rs(Open((L"SELECT * FROM " + table + (c.add ? L" WHERE 0 = 1" : L" WHERE ID = 1")).c_str()));
        if (c.add) {
            ASSERT_EQ(S_OK, rs->AddNew());
        }
        for (const auto& t : c.texts)
            ASSERT_EQ(S_OK, PutText(rs.get(), t.first, t.second));
        for (const auto& n : c.numbers) {
            Var v;
            v.v.vt = VT_R8;
            v.v.dblVal = n.second;
            ASSERT_EQ(S_OK, Put(rs.get(), n.first, v.v));
        }
        ASSERT_EQ(S_OK, rs->Update()) << FirstError().c_str();
        std::wstring row = L"SELECT * FROM " + table + L" WHERE ID = " + std::to_wstring(Long(rs.get(), L"ID"));
        Ref<Recordset> fresh(Open(row.c_str(), adLockReadOnly));
        ASSERT_EQ(1, Count(fresh.get()));
        Ref<Fields> fields;
        fresh->get_Fields(fields.out());
        long count = 0;
        fields->get_Count(&count);
        for (long i = 0; i < count; ++i) {
            Ref<Field> field;
            fields->Item(i, field.out());
            Var name;
            field->get_Name(&name.v.bstrVal);
            name.v.vt = VT_BSTR;
            SCOPED_TRACE(name.v.bstrVal);
            EXPECT_EQ(Type(fresh.get(), name.v.bstrVal), Type(rs.get(), name.v.bstrVal));
            EXPECT_EQ(Text(fresh.get(), i), Text(rs.get(), i));
        }
    }
}

// Rows a recordset added inside a savepoint that is rolled back are gone from its rows, as from
// the file; rows of a savepoint released stay.
TEST_F(RecordsetTest, RowsOfARolledBackSavepointLeaveTheRecordset)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, Filter(rs.get(), L"NAME = 'Linné'"));  // an index of names, kept as rows come and go
    ASSERT_EQ(S_OK, conn_->BeginTrans());
    const struct {
        const wchar_t* name;
        bool kept;
    } rows[] = {{L"Kept", true}, {L"Undone", false}, {L"Undone too", false}, {L"Kept later", true}};
    for (const auto& row : rows) {
        ASSERT_EQ(S_OK, conn_->BeginTrans());
        ASSERT_EQ(S_OK, rs->AddNew());
        ASSERT_EQ(S_OK, PutText(rs.get(), L"NAME", row.name));
        ASSERT_EQ(S_OK, rs->Update()) << FirstError().c_str();
        ASSERT_EQ(S_OK, row.kept ? conn_->CommitTrans() : conn_->RollbackTrans());
    }
    ASSERT_EQ(S_OK, conn_->CommitTrans());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::wstring filter = std::wstring(L"NAME = '") + row.name + L"'";
        ASSERT_EQ(S_OK, Filter(rs.get(), filter.c_str()));
        EXPECT_EQ(row.kept ? 1 : 0, Count(rs.get()));
        Ref<Recordset> file(Open((L"SELECT * FROM AUTHORS WHERE " + filter).c_str(), adLockReadOnly));
        EXPECT_EQ(row.kept ? 1 : 0, Count(file.get()));
    }
    ASSERT_EQ(S_OK, Filter(rs.get(), L""));
    EXPECT_EQ(8, Count(rs.get()));
}

TEST_F(RecordsetTest, ReadOnlyRecordsetRefusesWrites)
{
    Ref<Recordset> rs(Open(L"SELECT * FROM AUTHORS", adLockReadOnly));
    EXPECT_TRUE(FAILED(PutText(rs.get(), L"NAME", L"x")));
    EXPECT_TRUE(FAILED(rs->AddNew()));
    EXPECT_TRUE(FAILED(rs->Delete(adAffectCurrent)));
    EXPECT_EQ(6, Count(rs.get()));
}

// ---- Requery and Resync -----------------------------------------------------------------------

TEST_F(RecordsetTest, ResyncRereadsValuesButOnlyRequeryShowsNewRows)
{
    Ref<Recordset> rs(Authors());
    Exec(L"INSERT INTO AUTHORS (NAME) VALUES ('Newcomer')");
    Exec(L"UPDATE AUTHORS SET NAME = 'Linnaeus' WHERE ID = 1");
    Exec(L"DELETE FROM AUTHORS WHERE ID = 6");
    EXPECT_EQ(L"Linné", Text(rs.get(), L"NAME"));  // a snapshot
    ASSERT_EQ(S_OK, rs->Resync(adAffectAll, adResyncAllValues));
    EXPECT_EQ(5, Count(rs.get()));  // the deleted row went, the new one did not come
    EXPECT_EQ(L"Linnaeus", Text(rs.get(), L"NAME"));
    ASSERT_EQ(S_OK, rs->Requery());
    EXPECT_EQ(6, Count(rs.get()));
    rs->MoveLast();
    EXPECT_EQ(L"Newcomer", Text(rs.get(), L"NAME"));
}

TEST_F(RecordsetTest, ResyncOfTheCurrentRow)
{
    Ref<Recordset> rs(Authors());
    rs->put_AbsolutePosition(3);
    Exec(L"UPDATE AUTHORS SET YEAR = 2000");
    ASSERT_EQ(S_OK, rs->Resync(adAffectCurrent, adResyncAllValues));
    EXPECT_EQ(2000, Long(rs.get(), L"YEAR"));
    rs->MoveFirst();
    EXPECT_EQ(1700, Long(rs.get(), L"YEAR"));  // other rows keep their snapshot
}

TEST_F(RecordsetTest, ResyncOfANameListWithoutItsKeyColumns)
{
    Ref<Recordset> rs(Open(L"SELECT NAME, YEAR FROM AUTHORS ORDER BY NAME", adLockReadOnly));
    Exec(L"UPDATE AUTHORS SET NAME = 'Agassiz L.' WHERE NAME = 'Agassiz'");
    ASSERT_EQ(S_OK, rs->Resync(adAffectAll, adResyncAllValues));
    EXPECT_EQ(L"Agassiz L.", Text(rs.get(), L"NAME"));
    Ref<Fields> fields;
    rs->get_Fields(fields.out());
    long n = 0;
    fields->get_Count(&n);
    EXPECT_EQ(2, n);  // the hidden row id is not a field
}

// ---- Clones and threads -----------------------------------------------------------------------

TEST_F(RecordsetTest, CloneMovesIndependently)
{
    Ref<Recordset> rs(Authors());
    Ref<Recordset> clone;
    ASSERT_EQ(S_OK, rs->Clone(clone.out()));
    rs->MoveLast();
    EXPECT_EQ(L"Linné", Text(clone.get(), L"NAME"));
    clone->MoveNext();
    EXPECT_EQ(L"Agassiz", Text(rs.get(), L"NAME"));
    EXPECT_EQ(L"O'Brien", Text(clone.get(), L"NAME"));
    // Edits of the original do not reach the clone's snapshot.
    ASSERT_EQ(S_OK, PutText(rs.get(), L"NAME", L"Agassiz L."));
    ASSERT_EQ(S_OK, rs->Update());
    clone->MoveLast();
    EXPECT_EQ(L"Agassiz", Text(clone.get(), L"NAME"));
}

TEST_F(RecordsetTest, CloneStaysReadableOnAnotherThreadWhileTheOriginalIsRequeriedAndClosed)
{
    for (int i = 0; i < 500; ++i) {
        wchar_t sql[128];
        _snwprintf(sql, 128, L"INSERT INTO AUTHORS (NAME, YEAR) VALUES ('Author %d', %d)", i, i);
        Exec(sql);
    }
    Ref<Recordset> rs(Authors());
    Ref<Recordset> clone;
    ASSERT_EQ(S_OK, rs->Clone(clone.out()));
    long total = 0;
    long rows = 0;
    std::thread worker([&] {
        Ref<Fields> fields;
        clone->get_Fields(fields.out());
        Ref<Field> year;
        fields->Item(L"YEAR", year.out());
        for (int pass = 0; pass < 20; ++pass) {
            clone->MoveFirst();
            while (!clone->IsEOF()) {
                Var v;
                year->get_Value(&v);
                if (v.v.vt == VT_I4)
                    total += v.v.lVal;
                ++rows;
                clone->MoveNext();
            }
        }
    });
    for (int i = 0; i < 10; ++i) {
        Exec(L"UPDATE AUTHORS SET YEAR = YEAR + 1");
        rs->Requery();
        rs->MoveLast();
    }
    rs->Close();
    worker.join();
    long expectedPerPass = 0;
    for (int y = 1700; y <= 1825; y += 25)
        expectedPerPass += y;
    for (int i = 0; i < 500; ++i)
        expectedPerPass += i;
    EXPECT_EQ(20 * 506, rows);
    EXPECT_EQ(20 * expectedPerPass, total);
}

// ---- Values -----------------------------------------------------------------------------------

TEST_F(RecordsetTest, CzechTextAndLargeBlobsRoundTrip)
{
    Exec(L"CREATE TABLE PICS (ID INTEGER PRIMARY KEY, CAPTION VARCHAR(200), PICTURE BLOB)");
    Ref<Recordset> rs(Open(L"SELECT * FROM PICS"));
    ASSERT_EQ(S_OK, rs->AddNew());
    const wchar_t* caption = L"Příliš žluťoučký kůň úpěl ďábelské ódy – ČŘŠŽ ěščřžýáíé";
    ASSERT_EQ(S_OK, PutText(rs.get(), L"CAPTION", caption));
    const ULONG size = 300 * 1024;
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, size);
    BYTE* bytes = nullptr;
    SafeArrayAccessData(sa, (void**)&bytes);
    for (ULONG i = 0; i < size; ++i)
        bytes[i] = (BYTE)((i * 7919u) >> 3);
    bytes[10] = 0;
    SafeArrayUnaccessData(sa);
    Var blob;
    blob.v.vt = VT_ARRAY | VT_UI1;
    blob.v.parray = sa;
    ASSERT_EQ(S_OK, Put(rs.get(), L"PICTURE", blob.v));
    ASSERT_EQ(S_OK, rs->Update()) << FirstError().c_str();
    Ref<Recordset> back(Open(L"SELECT * FROM PICS", adLockReadOnly, adUseServer));
    EXPECT_EQ(caption, Text(back.get(), L"CAPTION"));
    Ref<Fields> fields;
    back->get_Fields(fields.out());
    Ref<Field> pic;
    fields->Item(L"PICTURE", pic.out());
    Var v;
    ASSERT_EQ(S_OK, pic->get_Value(&v));
    ASSERT_EQ(VT_ARRAY | VT_UI1, v.v.vt);
    ASSERT_EQ(size, v.v.parray->rgsabound[0].cElements);
    long actual = 0;
    pic->get_ActualSize(&actual);
    EXPECT_EQ((long)size, actual);
    BYTE* got = nullptr;
    SafeArrayAccessData(v.v.parray, (void**)&got);
    bool same = true;
    for (ULONG i = 0; i < size && same; ++i)
        same = got[i] == (i == 10 ? 0 : (BYTE)((i * 7919u) >> 3));
    SafeArrayUnaccessData(v.v.parray);
    EXPECT_TRUE(same);
    DataTypeEnum type = adEmpty;
    pic->get_Type(&type);
    EXPECT_EQ(adLongVarBinary, type);
}

TEST_F(RecordsetTest, EmptyTextStaysEmptyAndNullStaysNull)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, PutText(rs.get(), L"NOTE", L""));
    ASSERT_EQ(S_OK, rs->Update());
    Ref<Recordset> check(Open(L"SELECT NOTE IS NULL AS N, length(NOTE) AS L FROM AUTHORS WHERE ID = 1", adLockReadOnly));
    EXPECT_EQ(0, Long(check.get(), L"N"));
    EXPECT_EQ(0, Long(check.get(), L"L"));
    rs->MoveNext();
    EXPECT_EQ(VT_NULL, Type(rs.get(), L"NOTE"));
}

TEST_F(RecordsetTest, ClosedRecordsetAnswersWithErrors)
{
    Ref<Recordset> rs(Authors());
    Ref<Fields> fields;
    rs->get_Fields(fields.out());
    Ref<Field> name;
    fields->Item(L"NAME", name.out());
    rs->Close();
    Var v;
    EXPECT_TRUE(FAILED(name->get_Value(&v)));
    EXPECT_TRUE(FAILED(rs->MoveNext()));
    EXPECT_TRUE(FAILED(rs->put_Filter(L"ID = 1")));
    EXPECT_TRUE(FAILED(rs->Requery()));
    long n = 0;
    EXPECT_TRUE(FAILED(rs->get_RecordCount(&n)));
    EXPECT_TRUE(FAILED(rs->Close()));
}

TEST_F(RecordsetTest, CommandBindsValuesWithApostrophesAndReturnsRows)
{
    Ref<Command> cmd(Command::Create());
    cmd->put_ActiveConnection(conn_);
    cmd->put_CommandText(L"SELECT NAME FROM AUTHORS WHERE NAME = ? OR YEAR > ? ORDER BY ID");
    Var values;
    SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    LONG i0 = 0, i1 = 1;
    Var a, b;
    Var::Set(&a, L"O'Brien");
    b.v.vt = VT_I4;
    b.v.lVal = 1800;
    SafeArrayPutElement(sa, &i0, &a.v);
    SafeArrayPutElement(sa, &i1, &b.v);
    values.v.vt = VT_ARRAY | VT_VARIANT;
    values.v.parray = sa;
    Ref<Recordset> rs;
    ASSERT_EQ(S_OK, cmd->Execute(nullptr, &values.v, adCmdText, rs.out())) << FirstError().c_str();
    EXPECT_EQ((std::vector<std::wstring>{L"O'Brien", L"Agassiz"}), Column(rs.get(), L"NAME"));
    // A double bound as a parameter keeps the 15 significant digits the driver carries.
    Ref<Command> upd(Command::Create());
    upd->put_ActiveConnection(conn_);
    upd->put_CommandText(L"UPDATE AUTHORS SET BORN = ? WHERE ID = ?");
    Ref<Parameters> params;
    upd->get_Parameters(params.out());
    Var d, id;
    d.v.vt = VT_R8;
    d.v.dblVal = 0.1234567890123456789;
    id.v.vt = VT_I4;
    id.v.lVal = 2;
    Ref<Parameter> p0, p1;
    upd->CreateParameter(L"born", adDouble, adParamInput, 8, d.v, p0.out());
    upd->CreateParameter(L"id", adInteger, adParamInput, 4, id.v, p1.out());
    params->Append(p0.get());
    params->Append(p1.get());
    Var affected;
    ASSERT_EQ(S_OK, upd->Execute(&affected, nullptr, adExecuteNoRecords, nullptr));
    EXPECT_EQ(1, affected.v.lVal);
    Ref<Recordset> check(Open(L"SELECT BORN FROM AUTHORS WHERE ID = 2", adLockReadOnly));
    Ref<Fields> fields;
    check->get_Fields(fields.out());
    Ref<Field> born;
    fields->Item(0L, born.out());
    Var v;
    born->get_Value(&v);
    EXPECT_EQ(VT_DATE, v.v.vt);
    EXPECT_NEAR(0.1234567890123456789, v.v.date, 1e-15);
}

}  // namespace

namespace {

TEST_F(RecordsetTest, FieldOfAnEarlierOpenAnswersWithAnErrorAfterAReopen)
{
    Ref<Recordset> rs(Authors());
    Ref<Fields> fields;
    rs->get_Fields(fields.out());
    Ref<Field> note;
    ASSERT_EQ(S_OK, fields->Item(5L, note.out()));
    rs->Close();
    ASSERT_EQ(S_OK, rs->Open(L"SELECT NAME FROM AUTHORS", conn_, adOpenKeyset, adLockReadOnly));
    Var v;
    EXPECT_TRUE(FAILED(note->get_Value(&v)));
    BSTR name = nullptr;
    EXPECT_TRUE(FAILED(note->get_Name(&name)));
    SysFreeString(name);
    long n = 0;
    fields->get_Count(&n);
    EXPECT_EQ(1, n);
}

}  // namespace

namespace {

TEST_F(RecordsetTest, ResyncOfACurrentRowDeletedElsewhereDropsIt)
{
    Ref<Recordset> rs(Authors());
    ASSERT_EQ(S_OK, rs->put_AbsolutePosition(2));
    Exec(L"DELETE FROM AUTHORS WHERE ID = 2");
    ASSERT_EQ(S_OK, rs->Resync(adAffectCurrent, adResyncAllValues));
    EXPECT_EQ(5, Count(rs.get()));
    ASSERT_EQ(S_OK, rs->MoveNext());
    EXPECT_EQ(L"d'Orbigny", Text(rs.get(), L"NAME"));
}

TEST_F(RecordsetTest, ParametersRefreshMakesOnePerMarkerAndItemsAreFoundByName)
{
    Ref<Command> cmd(Command::Create());
    cmd->put_ActiveConnection(conn_);
    cmd->put_CommandText(L"UPDATE AUTHORS SET NOTE = '?' WHERE NAME = ? AND YEAR = ?");
    Ref<Parameters> params;
    cmd->get_Parameters(params.out());
    ASSERT_EQ(S_OK, params->Refresh());
    long n = 0;
    params->get_Count(&n);
    EXPECT_EQ(2, n);  // the '?' inside the literal is text
    Var name;
    Var::Set(&name, L"param2");
    Ref<Parameter> p;
    ASSERT_EQ(S_OK, params->get_Item(name.v, p.out()));
    Var year;
    year.v.vt = VT_I4;
    year.v.lVal = 1725;
    p->put_Value(year.v);
    Ref<Parameter> first;
    params->Item(0, first.out());
    Var who;
    Var::Set(&who, L"O'Brien");
    first->put_Value(who.v);
    Var affected;
    ASSERT_EQ(S_OK, cmd->Execute(&affected, nullptr, adExecuteNoRecords, nullptr));
    EXPECT_EQ(1, affected.v.lVal);
    Ref<Recordset> check(Open(L"SELECT NOTE FROM AUTHORS WHERE ID = 2", adLockReadOnly));
    EXPECT_EQ(L"?", Text(check.get(), L"NOTE"));
}

TEST_F(RecordsetTest, ErrorsAreReadByIndexVariant)
{
    Ref<Recordset> rs(Authors());
    EXPECT_TRUE(FAILED(rs->put_AbsolutePosition(99)));
    Ref<Errors> errors;
    conn_->get_Errors(errors.out());
    Var index;
    index.v.vt = VT_I2;
    index.v.iVal = 0;
    Ref<Error> e;
    ASSERT_EQ(S_OK, errors->get_Item(index.v, e.out()));
    BSTR text = nullptr;
    e->get_Description(&text);
    EXPECT_NE(nullptr, wcsstr(text, L"99"));
    SysFreeString(text);
    index.v.iVal = 5;
    Ref<Error> none;
    EXPECT_TRUE(FAILED(errors->get_Item(index.v, none.out())));
}

}  // namespace
