// The engine's common refusals and the layer's own reach the user as one Czech sentence that
// names the field as the user knows it (its label, else the column's name) and says what to do;
// the engine's own text follows on a second line.
#include "tests/dataaccess/adotest.h"

#include <fstream>
#include <functional>

#include "dataaccess/refusals.h"

using namespace zdata;
using adotest::Ref;
using adotest::Var;

namespace {

class RefusalTest : public adotest::LayerTest {
protected:
    void SetUp() override
    {
        adotest::LayerTest::SetUp();
        Exec(L"CREATE TABLE COLLS (ID INTEGER PRIMARY KEY, SYSID INTEGER NOT NULL, FTRID INTEGER, "
             L"DATUM TEXT, IYEAR INTEGER, NAME TEXT UNIQUE, NOTE TEXT UNIQUE)");
        Exec(L"CREATE UNIQUE INDEX COLL_INDEX ON COLLS (SYSID, FTRID, DATUM)");
        Exec(L"INSERT INTO COLLS (SYSID, FTRID, DATUM, NAME, NOTE) VALUES (1, 2, '1.5.2010', 'Brno', 'a')");
        SetColumnLabel(conn_, L"colls", L"sysid", L"Druh");
        SetColumnLabel(conn_, L"COLLS", L"FTRID", L"Lokalita");
        SetColumnLabel(conn_, L"COLLS", L"DATUM", L"Datum nálezu");
        SetColumnLabel(conn_, L"COLLS", L"IYEAR", L"Rok");
        SetColumnLabel(conn_, L"COLLS", L"NAME", L"Název");
    }

    // A new row of COLLS through a recordset, with the values given (texts, or VT_I4 / VT_R8
    // when they read as numbers with a leading '#' or '~'); the result of its Update.
    HRESULT AddRow(Connection* connection, std::vector<std::pair<const wchar_t*, const wchar_t*>> values)
    {
        Ref<Recordset> rs(Recordset::Create());
        rs->put_CursorLocation(adUseClient);
        if (FAILED(rs->Open(L"SELECT * FROM COLLS", connection, adOpenKeyset, adLockOptimistic, adCmdText)))
            return E_UNEXPECTED;
        rs->AddNew();
        for (const auto& v : values) {
            Var value;
            if (v.second[0] == L'#') {
                value.v.vt = VT_I4;
                value.v.lVal = _wtol(v.second + 1);
            } else if (v.second[0] == L'~') {
                value.v.vt = VT_R8;
                value.v.dblVal = _wtof(v.second + 1);
            } else {
                Var::Set(&value.v, v.second);
            }
            Put(rs.get(), v.first, value.v);
        }
        HRESULT hr = rs->Update();
        if (FAILED(hr))
            rs->CancelUpdate();
        return hr;
    }
    HRESULT AddRow(std::vector<std::pair<const wchar_t*, const wchar_t*>> values)
    {
        return AddRow(conn_, std::move(values));
    }

    // The same file opened again on a connection of its own.
    Connection* Reopen(long mode)
    {
        Connection* c = Connection::Create();
        c->put_Mode(mode);
        c->Open(adotest::ConnectionStringFor(path_).c_str());
        return c;
    }
};

// The source of a connection's first error: the caption of the box that shows the error.
std::wstring FirstSourceOf(Connection* connection)
{
    Ref<Errors> errors;
    connection->get_Errors(errors.out());
    Ref<Error> e;
    BSTR source = nullptr;
    if (FAILED(errors->Item(0, e.out())) || FAILED(e->get_Source(&source)))
        return L"";
    std::wstring text = source ? source : L"";
    SysFreeString(source);
    return text;
}

struct RefusalCase {
    const char* what;
    std::function<HRESULT(Connection** failed)> provoke;  // a connection of its own: *failed
    const wchar_t* sentence;  // the first line
    const wchar_t* engine;    // the start of the engine's text on the second line; null: none
};

}  // namespace

TEST_F(RefusalTest, EachRefusalReachesTheUserAsACzechSentenceNamingItsField)
{
    const RefusalCase cases[] = {
        {"a duplicate over several columns",
         [this](Connection**) {
             return AddRow({{L"SYSID", L"#1"}, {L"FTRID", L"#2"}, {L"DATUM", L"1.5.2010"}});
         },
         L"Záznam se stejnými hodnotami polí „Druh“, „Lokalita“ a „Datum nálezu“ už v databázi je. "
         L"Změňte některou z těchto hodnot.",
         L"[SQLite]UNIQUE constraint failed: COLLS.SYSID, COLLS.FTRID, COLLS.DATUM"},
        {"a duplicate of one labelled column",
         [this](Connection**) { return AddRow({{L"SYSID", L"#5"}, {L"NAME", L"Brno"}}); },
         L"Hodnota pole „Název“ už v databázi je a nesmí se opakovat. Zadejte jinou hodnotu.",
         L"[SQLite]UNIQUE constraint failed: COLLS.NAME"},
        {"a duplicate of a column without a label",
         [this](Connection**) { return AddRow({{L"SYSID", L"#6"}, {L"NOTE", L"a"}}); },
         L"Hodnota pole „NOTE“ už v databázi je a nesmí se opakovat. Zadejte jinou hodnotu.",
         L"[SQLite]UNIQUE constraint failed: COLLS.NOTE"},
        {"a missing required value",
         [this](Connection**) { return AddRow({{L"FTRID", L"#3"}}); },
         L"Pole „Druh“ je povinné. Vyplňte ho.", L"[SQLite]NOT NULL constraint failed: COLLS.SYSID"},
        {"a text where a whole number belongs",
         [this](Connection**) { return AddRow({{L"SYSID", L"#7"}, {L"IYEAR", L"abc"}}); },
         L"Hodnota pole „Rok“ neodpovídá jeho typu (celé číslo). Opravte ji.", nullptr},
        {"a number beyond the column's range",
         [this](Connection**) { return AddRow({{L"SYSID", L"#8"}, {L"IYEAR", L"~1e300"}}); },
         L"Hodnota pole „Rok“ je mimo rozsah, který pole pojme. Zadejte menší hodnotu.", nullptr},
        {"a file another program holds",
         [this](Connection**) {
             Ref<Connection> holder(Reopen(adModeShareExclusive));
             EXPECT_EQ(adStateOpen, holder->State());
             return AddRow({{L"SYSID", L"#9"}});
         },
         L"Databázový soubor právě používá jiný program, změnu proto nelze zapsat. Zkuste to znovu za chvíli.",
         L"[SQLite]database is locked"},
        {"a file opened read-only",
         [this](Connection** failed) {
             *failed = Reopen(adModeRead);
             return AddRow(*failed, {{L"SYSID", L"#10"}});
         },
         L"Databázový soubor je jen pro čtení, změny do něj nelze zapsat. Zrušte u souboru atribut „Jen pro "
         L"čtení“ nebo otevřete jeho kopii ve složce, do které smíte zapisovat.",
         L"[SQLite]attempt to write a readonly database"},
        {"a full disk",
         [this](Connection**) {
             Exec(L"PRAGMA max_page_count = 3");
             return AddRow({{L"SYSID", L"#11"}, {L"NOTE", std::wstring(20000, L'x').c_str()}});
         },
         L"Na disku s databází není dost místa, změna nebyla zapsána. Uvolněte místo na disku a zkuste to znovu.",
         L"[SQLite]database or disk is full"},
        {"a damaged page",
         [this](Connection** failed) {
             conn_->Close();
             {
                 // The table's root page (the file's second) overwritten.
                 std::fstream f(std::string(path_.begin(), path_.end()),
                                std::ios::in | std::ios::out | std::ios::binary);
                 f.seekp(4096);
                 f.write(std::string(64, '\xEE').data(), 64);
             }
             *failed = Reopen(adModeReadWrite);
             Ref<Recordset> rs(Recordset::Create());
             return rs->Open(L"SELECT * FROM COLLS", *failed, adOpenKeyset, adLockReadOnly, adCmdText);
         },
         L"Databázový soubor je poškozený. Spusťte kontrolu dat v Databázových nástrojích Zorny (Data – Kontrola), "
         L"případně použijte zálohu.",
         L"[SQLite]database disk image is malformed"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        Connection* other = nullptr;
        HRESULT hr = c.provoke(&other);
        EXPECT_TRUE(FAILED(hr));
        std::wstring text = adotest::FirstErrorOf(other ? other : conn_);
        EXPECT_EQ(L"Databáze", FirstSourceOf(other ? other : conn_));
        if (other)
            other->Release();
        size_t lineEnd = text.find(L'\n');
        EXPECT_EQ(std::wstring(c.sentence), text.substr(0, lineEnd)) << std::string(text.begin(), text.end());
        if (c.engine)
            EXPECT_EQ(0u, text.compare(lineEnd + 1, wcslen(c.engine), c.engine)) << std::string(text.begin(), text.end());
        else
            EXPECT_EQ(std::wstring::npos, lineEnd);
    }
}
