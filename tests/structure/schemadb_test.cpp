// CSchemaDb on real database files: the exclusive open, the structure load, the upgrade of an
// older attribute table (all or nothing), damaged structure rows, files that are no Zorna
// database, and the error messages.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/testkit/rawodbc.h"
#include "tests/support/wintest.h"
#include "tests/structure/tarnixtest.h"
#include "structure/schemadb.h"

namespace {

using namespace tarnixtest;
using dbtest::Exec;
using dbtest::Query;
using dbtest::QueryInt;
using dbtest::Rows;

std::wstring CopySample(const std::wstring& from)
{
    return dbtest::CopyOfTemplate(from, dbtest::TestFolderName("tarnix_", true).c_str());
}

std::vector<std::wstring> LevelNames(const ItemList& list)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < list.Count; ++i)
        names.push_back(LevelAt(&list, i)->Name);
    return names;
}

// The attribute table's columns as PRAGMA table_info gives them: (cid, name, type).
Rows AttrColumns(const std::wstring& path)
{
    Rows columns;
    for (const auto& c : Query(path, L"PRAGMA table_info(CUSTOMATTRIBUTES)"))
        columns.push_back({c[0], c[1], c[2]});
    return columns;
}

// The attribute rows by their first eight columns, which every layout has.
std::wstring AttrRows(const std::wstring& path)
{
    std::wstring text;
    for (const auto& r : Query(path, L"SELECT quote(TABLENAME), quote(FIELDNAME), quote(POSID), quote(ATTRTYPE), "
                                     L"quote(ATTRSIZE), quote(KEYFLAG), quote(TABNAME), quote(CAPTION) "
                                     L"FROM CUSTOMATTRIBUTES ORDER BY rowid"))
        for (const auto& v : r)
            text += v + L"|";
    return text;
}

// Opens the file through a new CSchemaDb and loads its structure into a new model: whether it
// opened and whether it loaded; closed and freed again before returning.
struct LoadOutcome {
    bool opened = false;
    bool loaded = false;
};
LoadOutcome TryLoad(const std::wstring& path)
{
    LoadOutcome outcome;
    CSchemaDb db(Inst());
    ConnSettings settings = {1, nullptr, nullptr, _wcsdup(path.c_str())};
    outcome.opened = db.Open(&settings);
    if (outcome.opened) {
        StructureModel model;
        InitStructureModel(&model);
        outcome.loaded = db.Load(&model);
        ClearStructureModel(&model);
        FreeStructureModel(&model);
    }
    EXPECT_TRUE(db.Close());
    free(settings.DBName);
    return outcome;
}

TEST(SchemaLoad, TheSampleLoadsBothTreesLevelsAndEveryAttribute)
{
    std::wstring path = CopySample(SampleTemplate());
    // What the file holds, read before the exclusive open.
    struct Tree {
        int list;
        const wchar_t* table;
        const wchar_t* column;
        std::vector<bool> data;
        std::vector<long long> use;
    };
    Tree trees[] = {{MODEL_SYS_LEVELS, L"SYSTREE", L"SYSLEVEL", {false, false, false, true, true}, {}},
                    {MODEL_LOC_LEVELS, L"LOCTREE", L"LOCLEVEL", {false, false, true}, {}}};
    for (Tree& t : trees)
        for (size_t i = 1; i <= t.data.size(); ++i)
            t.use.push_back(QueryInt(path, std::wstring(L"SELECT COUNT(*) FROM ") + t.table + L" WHERE " + t.column +
                                               L" = " + std::to_wstring(i)));
    std::vector<Rows> attrRows;
    for (int list = MODEL_SYSTREE_ATTRS; list <= MODEL_LITERATURE_ATTRS; ++list)
        attrRows.push_back(Query(path, std::wstring(L"SELECT CAPTION, FIELDNAME FROM CUSTOMATTRIBUTES WHERE TABLENAME = '") +
                                           AttrListTable(list) + L"' ORDER BY POSID"));

    LoadedStructure s(path);
    ASSERT_NO_FATAL_FAILURE(s.Open());
    EXPECT_EQ(LevelNames(s.List(MODEL_SYS_LEVELS)),
              (std::vector<std::wstring>{L"Řád", L"Čeleď", L"Rod", L"Druh", L"Poddruh"}));
    EXPECT_EQ(LevelNames(s.List(MODEL_LOC_LEVELS)), (std::vector<std::wstring>{L"Kraj", L"Okres", L"Lokalita"}));
    EXPECT_EQ(s.Db().LastSysLevelId, 5);
    EXPECT_EQ(s.Db().LastLocLevelId, 3);
    for (const Tree& t : trees) {
        const ItemList& list = s.List(t.list);
        ASSERT_EQ(list.Count, (int)t.data.size());
        for (int i = 0; i < list.Count; ++i) {
            const LevelEntry* e = LevelAt(&list, i);
            EXPECT_EQ(e->State, ENTRY_UNCHANGED);
            EXPECT_EQ(e->OrigLevelId, i + 1);
            EXPECT_EQ(e->NewLevelId, i + 1);
            EXPECT_EQ(e->DataLevel != 0, t.data[i]) << i;
            EXPECT_EQ(e->UseCount, t.use[i]);
            EXPECT_GT(e->UseCount, 0);
            for (const VARIANT* icon : {&e->IconLarge, &e->IconSmall, &e->IconOpen})
                EXPECT_EQ(icon->vt, VT_ARRAY | VT_UI1);
        }
    }
    // Each table's attributes in POSID order, none lost, none of another table.
    for (int list = MODEL_SYSTREE_ATTRS; list <= MODEL_LITERATURE_ATTRS; ++list) {
        const Rows& expected = attrRows[list - MODEL_SYSTREE_ATTRS];
        const ItemList& attrs = s.List(list);
        ASSERT_EQ(attrs.Count, (int)expected.size()) << list;
        for (int i = 0; i < attrs.Count; ++i) {
            EXPECT_EQ(AttrAt(&attrs, i)->Caption, expected[i][0]);
            EXPECT_EQ(AttrAt(&attrs, i)->FieldName, expected[i][1]);
        }
    }
    const ItemList& records = s.List(MODEL_RECORD_ATTRS);
    ASSERT_GT(records.Count, 1);
    const AttrEntry* date = AttrAt(&records, 0);
    EXPECT_STREQ(date->Caption, L"Datum nálezu");
    EXPECT_EQ(date->Type, 3);
    EXPECT_EQ(date->KeyFlag, -1) << "a true boolean loads as -1";
    EXPECT_STREQ(date->TabName, L"Sběr");
    EXPECT_EQ(AttrAt(&records, 1)->KeyFlag, 0);
    const AttrEntry* length = AttrAt(&s.List(MODEL_SPECIES_ATTRS), 2);
    EXPECT_STREQ(length->FieldName, L"DELKA");
    EXPECT_EQ(length->MinVal.vt, VT_R8);
    EXPECT_DOUBLE_EQ(length->MinVal.dblVal, 0.1);
    EXPECT_EQ(length->NullVal.vt, VT_NULL);
}

TEST(SchemaLoad, AnOlderAttributeTableGainsItsValueColumnsAndKeepsItsRows)
{
    std::wstring path = CopySample(OlderLayoutTemplate());
    ASSERT_EQ(AttrColumns(path).size(), 8u);
    std::wstring rows = AttrRows(path);
    {
        LoadedStructure s(path);
        ASSERT_NO_FATAL_FAILURE(s.Open());
        const ItemList& attrs = s.List(MODEL_SPECIES_ATTRS);
        ASSERT_GT(attrs.Count, 0);
        for (int i = 0; i < attrs.Count; ++i)
            EXPECT_TRUE(AttrAt(&attrs, i)->MinVal.vt == VT_NULL || AttrAt(&attrs, i)->MinVal.vt == VT_EMPTY);
    }
    Rows columns = AttrColumns(path);
    ASSERT_EQ(columns.size(), 11u);
    EXPECT_EQ(columns[8], (std::vector<std::wstring>{L"8", L"MINVAL", L"DOUBLE"}));
    EXPECT_EQ(columns[9], (std::vector<std::wstring>{L"9", L"MAXVAL", L"DOUBLE"}));
    EXPECT_EQ(columns[10], (std::vector<std::wstring>{L"10", L"NULLVAL", L"DOUBLE"}));
    EXPECT_EQ(AttrRows(path), rows);
    // A second load finds the newer layout and changes nothing.
    std::wstring dump = DumpDatabase(path);
    {
        LoadedStructure again(path);
        ASSERT_NO_FATAL_FAILURE(again.Open());
    }
    EXPECT_EQ(DumpDatabase(path), dump);

    // The main program still opens and reads the upgraded file.
    HWND main = dbtest::MakeMainWindow();
    CDatabase* db = nullptr;
    ConnSettings settings = {};
    ASSERT_NO_FATAL_FAILURE(dbtest::OpenDatabase(main, path, &db, &settings, true, true));
    dbtest::CloseDatabase(&main, &db, &settings);
}

TEST(SchemaLoad, WithoutTheUpgradeAnOlderTableStaysAsItIs)
{
    std::wstring path = CopySample(OlderLayoutTemplate());
    std::wstring dump = DumpDatabase(path);
    CSchemaDb db(Inst());
    ConnSettings settings = {1, nullptr, nullptr, _wcsdup(path.c_str())};
    ASSERT_TRUE(db.Open(&settings));
    StructureModel model;
    InitStructureModel(&model);
    int lastSys = -1, lastLoc = -1;
    EXPECT_TRUE(LoadStructure(&model, db.GetConnection(), &lastSys, &lastLoc, false));
    EXPECT_EQ(lastSys, 5);
    EXPECT_EQ(lastLoc, 3);
    EXPECT_GT(model.Lists[MODEL_RECORD_ATTRS].Count, 0);
    for (int i = 0; i < model.Lists[MODEL_SPECIES_ATTRS].Count; ++i)
        EXPECT_EQ(AttrAt(&model.Lists[MODEL_SPECIES_ATTRS], i)->MaxVal.vt, VT_EMPTY);
    ClearStructureModel(&model);
    FreeStructureModel(&model);
    EXPECT_TRUE(db.Close());
    free(settings.DBName);
    EXPECT_EQ(DumpDatabase(path), dump);
}

TEST(SchemaLoad, AnUpgradeThatFailsHalfWayLeavesTheFileAsItWas)
{
    // The eighth column already bears the name of the second value column: the first ADD
    // succeeds, the second fails.
    std::wstring path = CopySample(OlderLayoutTemplate());
    ASSERT_TRUE(Exec(path, L"ALTER TABLE CUSTOMATTRIBUTES RENAME COLUMN CAPTION TO MAXVAL"));
    std::wstring dump = DumpDatabase(path);
    LoadOutcome outcome = TryLoad(path);
    EXPECT_TRUE(outcome.opened);
    EXPECT_FALSE(outcome.loaded);
    EXPECT_EQ(AttrColumns(path).size(), 8u);
    EXPECT_EQ(DumpDatabase(path), dump);
}

TEST(SchemaLoad, DamagedStructureRowsLoadCutOrEmpty)
{
    std::wstring path = CopySample(SampleTemplate());
    const std::wstring longName(70, L'N');
    for (const wchar_t* sql : {
             L"UPDATE SYSDEF SET NAME = NULL WHERE LEVELID = 1",
             L"INSERT INTO LOCDEF (LEVELID, NAME, DATALEVEL) VALUES ('abc', 'Textové', 0)",
             L"INSERT INTO LOCDEF (LEVELID, NAME, DATALEVEL) VALUES (7.5, 'Reálné', 1)",
             L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE) VALUES ('CIZI', 'X', 1, 4)",
             L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE, CAPTION) "
             L"VALUES ('LITERATURE', 'ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789', 99, 'x', NULL)"})
        ASSERT_TRUE(Exec(path, sql));
    ASSERT_TRUE(Exec(path, L"UPDATE SYSDEF SET NAME = '" + longName + L"' WHERE LEVELID = 2"));
    long long ownRows = QueryInt(path, L"SELECT COUNT(*) FROM CUSTOMATTRIBUTES WHERE TABLENAME <> 'CIZI'");
    LoadedStructure s(path);
    ASSERT_NO_FATAL_FAILURE(s.Open());
    EXPECT_EQ(LevelNames(s.List(MODEL_SYS_LEVELS))[0], L"");
    EXPECT_EQ(LevelNames(s.List(MODEL_SYS_LEVELS))[1], longName.substr(0, 63));
    // A LEVELID that is no number names no level; a real one is cut to its whole part.
    EXPECT_EQ(LevelNames(s.List(MODEL_LOC_LEVELS)),
              (std::vector<std::wstring>{L"Kraj", L"Okres", L"Lokalita", L"Reálné"}));
    EXPECT_EQ(LevelAt(&s.List(MODEL_LOC_LEVELS), 3)->OrigLevelId, 7);
    EXPECT_EQ(s.Db().LastLocLevelId, 7);
    int total = 0;
    for (int list = MODEL_SYSTREE_ATTRS; list <= MODEL_LITERATURE_ATTRS; ++list)
        total += s.List(list).Count;
    EXPECT_EQ(total, ownRows);
    const ItemList& lit = s.List(MODEL_LITERATURE_ATTRS);
    const AttrEntry* odd = AttrAt(&lit, lit.Count - 1);
    EXPECT_STREQ(odd->FieldName, L"ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");
    EXPECT_STREQ(odd->Caption, L"");
    EXPECT_EQ(odd->Type, -1);
    EXPECT_EQ(odd->Size, -1);
}

// Files that cannot be opened, or are no Zorna database: nothing is created or changed.
TEST(SchemaOpen, FilesThatAreNoZornaDatabaseAreRefusedUntouched)
{
    std::wstring folder = wintest::MakeTempFolder(L"tarnix_badfiles");
    const std::wstring missing = folder + L"\\chybí.mdb";
    const std::wstring empty = folder + L"\\prázdný.mdb";
    const std::wstring text = folder + L"\\text.mdb";
    const std::wstring foreign = folder + L"\\cizí.mdb";
    CloseHandle(CreateFileW(empty.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(wintest::WriteUtf8File(text, L"Toto není databáze.\r\n"));
    {
        zor::RawOdbc raw;
        ASSERT_TRUE(raw.Open(foreign, true));
        ASSERT_TRUE(raw.Exec(L"CREATE TABLE NOTES (ID INTEGER, TEXT VARCHAR(20))"));
    }
    struct Case {
        std::wstring path;
        bool opens;  // the file is a database, though not Zorna's: the load refuses it
    };
    const Case cases[] = {{missing, false}, {empty, false}, {text, false}, {foreign, true}};
    for (const Case& c : cases) {
        std::string before = wintest::ReadFileBytes(c.path);
        LoadOutcome outcome = TryLoad(c.path);
        EXPECT_EQ(outcome.opened, c.opens) << dbtest::Narrow(c.path);
        EXPECT_FALSE(outcome.loaded);
        EXPECT_EQ(wintest::ReadFileBytes(c.path), before) << dbtest::Narrow(c.path);
    }
    EXPECT_FALSE(wintest::FileExists(missing));
    std::vector<std::wstring> left;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    while (find != INVALID_HANDLE_VALUE) {
        if (fd.cFileName[0] != L'.')
            left.push_back(fd.cFileName);
        if (!FindNextFileW(find, &fd))
            break;
    }
    FindClose(find);
    EXPECT_EQ(left.size(), 3u) << "no journal or new file is left behind";
}

TEST(SchemaOpen, PathsWithSemicolonsApostrophesAndCzechLettersOpenThatFile)
{
    std::wstring folder = wintest::MakeTempFolder(L"tarnix_odd;path's");
    for (const wchar_t* name : {L"a;b.mdb", L"O'Brien.mdb", L"Žluťoučký kůň.mdb"}) {
        std::wstring path = folder + L"\\" + name;
        ASSERT_TRUE(CopyFileW(SampleTemplate().c_str(), path.c_str(), FALSE));
        LoadedStructure s(path);
        ASSERT_NO_FATAL_FAILURE(s.Open());
        // The sample's structure: this very file was opened (a missing one is never made).
        EXPECT_EQ(s.List(MODEL_SYS_LEVELS).Count, 5);
    }
}

TEST(SchemaOpen, TheExclusiveOpenShutsOthersOutAndFailsOnAHeldFile)
{
    std::wstring path = CopySample(SampleTemplate());
    {
        LoadedStructure s(path);
        ASSERT_NO_FATAL_FAILURE(s.Open());
        // The main program's connection cannot read the file meanwhile.
        HWND main = dbtest::MakeMainWindow();
        CDatabase db(main, Inst());
        ConnSettings settings = {1, nullptr, nullptr, _wcsdup(path.c_str())};
        int before = dbtest::OpenedCount();
        db.Open(nullptr, &settings);
        ASSERT_TRUE(wintest::PumpUntil([&] { return dbtest::OpenedCount() > before; }, 20000));
        EXPECT_EQ(db.IsOpen(), 0);
        DestroyWindow(main);
        free(settings.DBName);
    }
    // A file that another program is reading (its transaction holds the file's shared lock).
    zor::RawOdbc reader;
    ASSERT_TRUE(reader.Open(path, false));
    ASSERT_TRUE(reader.Begin());
    ASSERT_EQ(reader.QueryInt(L"SELECT COUNT(*) FROM SYSDEF"), 6);
    CSchemaDb db(Inst());
    ConnSettings settings = {1, nullptr, nullptr, _wcsdup(path.c_str())};
    EXPECT_FALSE(db.Open(&settings));
    reader.Rollback();
    reader.Close();
    EXPECT_TRUE(db.Open(&settings));
    EXPECT_TRUE(db.Close());
    free(settings.DBName);
}

TEST(SchemaErrors, EachErrorOfTheConnectionOrTheCodeWhenThereIsNone)
{
    std::wstring path = CopySample(SampleTemplate());
    LoadedStructure s(path);
    ASSERT_NO_FATAL_FAILURE(s.Open());
    {
        wintest::MsgBoxRecorder boxes;
        zdata::Errors* errors = nullptr;
        s.Db().GetConnection()->get_Errors(&errors);
        errors->Clear();
        errors->Release();
        s.Db().ShowErrors(nullptr, (HRESULT)0x80004005);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"Neznámá chyba v databázi, kód = 80004005");
        EXPECT_EQ(boxes.Boxes()[0].caption, L"Chyba");
        EXPECT_EQ(boxes.Boxes()[0].type & MB_ICONMASK, (UINT)MB_ICONERROR);
        s.Db().ShowErrors(nullptr, (HRESULT)0x0000ABCD);
        EXPECT_EQ(boxes.Boxes()[1].text, L"Neznámá chyba v databázi, kód = 0000ABCD");
    }
    wintest::MsgBoxRecorder boxes;
    EXPECT_FALSE(SUCCEEDED(s.Db().GetConnection()->Execute(L"ALTER TABLE NOSUCHTABLE ADD X DOUBLE")));
    s.Db().ShowErrors(nullptr, E_FAIL);
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"NOSUCHTABLE"), std::wstring::npos);
    EXPECT_FALSE(boxes.Boxes()[0].caption.empty());
}

// Over the dialog the user works in, not over the main window it keeps disabled (a box owned by
// that window would enable it on closing and put the dialog behind it): the code's own box and
// the connection's errors alike.
TEST(SchemaErrors, ABoxGoesOverTheDialogNotOverTheMainWindowItDisables)
{
    std::wstring path = CopySample(SampleTemplate());
    LoadedStructure s(path);
    ASSERT_NO_FATAL_FAILURE(s.Open());
    HWND main = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr,
                                nullptr, nullptr);
    HWND dialog = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 40, 40, 200, 100, main, nullptr,
                                  nullptr, nullptr);
    EnableWindow(main, FALSE);
    wintest::MsgBoxRecorder boxes;
    zdata::Errors* errors = nullptr;
    s.Db().GetConnection()->get_Errors(&errors);
    errors->Clear();
    errors->Release();
    s.Db().ShowErrors(main, (HRESULT)0x80004005);
    EXPECT_FALSE(SUCCEEDED(s.Db().GetConnection()->Execute(L"ALTER TABLE NOSUCHTABLE ADD X DOUBLE")));
    s.Db().ShowErrors(main, E_FAIL);
    ASSERT_GE(boxes.Boxes().size(), 2u);
    for (const wintest::MsgBoxRecorder::Box& box : boxes.Boxes())
        EXPECT_EQ(dialog, box.owner) << std::string(box.text.begin(), box.text.end());
    DestroyWindow(dialog);
    DestroyWindow(main);
}

}  // namespace
