// The structure save without its dialog, on copies of the sample database: what the file holds
// after level and attribute edits (level rows, path columns, items following their levels, record
// paths, positions, value lists, indexes), failures injected half-way into a step and failures
// and stops anywhere in a save of many parts (nothing of the save is left, the edits stay pending,
// and the next save matches a clean one), the steps nested in an import's transaction, and a tree
// with a cycle of parents.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/database.h"
#include "dataaccess/ado.h"
#include "resources/tarnix/resource.h"
#include "tests/support/wintest.h"
#include "tests/structure/tarnixtest.h"
#include "structure/attrsave.h"
#include "structure/levelsave.h"
#include "structure/progressdlg.h"
#include "structure/structsave.h"

namespace {

using namespace tarnixtest;
using dbtest::Narrow;
using dbtest::Query;
using dbtest::Rows;

// ---- the file ----

// The sample with an unused level "Obec" between Kraj and Okres in the locality tree.
std::wstring UnusedLevelTemplate()
{
    zor::SampleDbOptions options;
    options.records = 2000;
    options.seed = 23;
    return SharedSampleTemplate(
        L"tarnix_unused_level", options,
        {L"UPDATE LOCDEF SET LEVELID = LEVELID + 10 WHERE LEVELID >= 2",
         L"UPDATE LOCDEF SET LEVELID = LEVELID - 9 WHERE LEVELID >= 12",
         L"INSERT INTO LOCDEF (LEVELID, NAME, DATALEVEL) VALUES (2, 'Obec', 0)",
         L"ALTER TABLE ZORNACOLLS ADD LOC_LEVEL_4 INTEGER",
         L"UPDATE ZORNACOLLS SET LOC_LEVEL_4 = LOC_LEVEL_3, LOC_LEVEL_3 = LOC_LEVEL_2, LOC_LEVEL_2 = NULL"});
}

std::wstring Copy(const std::wstring& from, const std::wstring& suffix = L"")
{
    return dbtest::CopyOfTemplate(from, (dbtest::TestFolderName("tarnix_save_") + suffix).c_str());
}

struct Tree {
    const wchar_t* def;
    const wchar_t* items;
    const wchar_t* level;
    const wchar_t* records;  // the records' item column
    const wchar_t* prefix;
};
const Tree kTrees[2] = {{L"SYSDEF", L"SYSTREE", L"SYSLEVEL", L"SYSID", L"SYS_LEVEL_"},
                        {L"LOCDEF", L"LOCTREE", L"LOCLEVEL", L"FTRID", L"LOC_LEVEL_"}};

std::vector<std::wstring> LevelNames(const std::wstring& path, const Tree& t)
{
    std::vector<std::wstring> names;
    long long expected = 1;
    for (const auto& r : Query(path, std::wstring(L"SELECT LEVELID, NAME FROM ") + t.def + L" WHERE LEVELID > 0 ORDER BY LEVELID")) {
        EXPECT_EQ(r[0], std::to_wstring(expected++)) << "levels numbered 1..n";
        names.push_back(r[1]);
    }
    return names;
}

// The numbers of the records' path columns of a tree, in column order.
std::vector<int> PathColumns(const std::wstring& path, const Tree& t)
{
    std::vector<int> levels;
    size_t n = wcslen(t.prefix);
    for (const auto& c : Query(path, L"PRAGMA table_info(ZORNACOLLS)"))
        if (c[1].compare(0, n, t.prefix) == 0)
            levels.push_back(std::stoi(c[1].substr(n)));
    return levels;
}

// Each tree item with its level's row (the row keeps its rowid when it is renumbered or
// renamed): a renumbered level takes its items along.
std::map<std::wstring, std::wstring> ItemLevels(const std::wstring& path, const Tree& t)
{
    std::map<std::wstring, std::wstring> items;
    for (const auto& r : Query(path, std::wstring(L"SELECT I.ID, D.rowid FROM ") + t.items + L" AS I JOIN " + t.def +
                                         L" AS D ON D.LEVELID = I." + t.level + L" WHERE I.ID > 0"))
        items[r[0]] = r[1];
    return items;
}

// Every record's path columns hold what walking up from its item gives: the item at its level,
// each ancestor at its own, NULL wherever the walk skips a level.
void ExpectPathsAsWalked(const std::wstring& path, const Tree& t)
{
    std::map<long long, std::pair<long long, int>> tree;
    for (const auto& r : Query(path, std::wstring(L"SELECT ID, PARENT, ") + t.level + L" FROM " + t.items))
        tree[std::stoll(r[0])] = {std::stoll(r[1]), std::stoi(r[2])};
    std::vector<int> columns = PathColumns(path, t);
    const int n = (int)columns.size();
    for (int k = 0; k < n; ++k)
        ASSERT_EQ(columns[(size_t)k], k + 1) << "path columns 1..n";
    std::wstring sql = std::wstring(L"SELECT ") + t.records;
    for (int k = 1; k <= n; ++k)
        sql += std::wstring(L", ") + t.prefix + std::to_wstring(k);
    int wrong = 0;
    for (const auto& r : Query(path, sql + L" FROM ZORNACOLLS ORDER BY ID")) {
        std::vector<std::wstring> expected((size_t)n + 1, L"<NULL>");
        long long id = std::stoll(r[0]);
        for (int k = n, steps = 0; k > 0 && steps < n; ++steps) {
            auto node = tree.find(id);
            if (node == tree.end())
                break;
            int level = node->second.second;
            if (level >= 1 && level <= n)
                expected[(size_t)level] = std::to_wstring(id);
            id = node->second.first;
            k = level - 1;
        }
        for (int k = 1; k <= n; ++k)
            if (r[(size_t)k] != expected[(size_t)k] && ++wrong <= 3)
                ADD_FAILURE() << Narrow(t.prefix) << k << " of a record of item " << Narrow(r[0]) << ": "
                              << Narrow(r[(size_t)k]) << " instead of " << Narrow(expected[(size_t)k]);
    }
    EXPECT_EQ(wrong, 0);
}

// A name of 63 characters that would end a quoted text or name and start a statement.
const wchar_t kOddName[] = L"Rod \"]'; DROP TABLE SYSDEF; -- O'Neill – Čeleď ŘÍŠE [x] \"y\" ;;;";
static_assert(sizeof(kOddName) / sizeof(wchar_t) == 64, "63 characters");

// ---- the model ----

LevelEntry* AddLevel(ItemList& list, const wchar_t* name, int place)
{
    LevelEntry* e = NewLevelEntry();
    e->State = ENTRY_NEW;
    e->OrigLevelId = e->NewLevelId = place;
    wcscpy(e->Name, name);
    // The import's way: the levels from the place on move one down, the new one is appended.
    for (int i = 0; i < list.Count; ++i)
        if (LevelAt(&list, i)->NewLevelId >= place)
            ++LevelAt(&list, i)->NewLevelId;
    ItemListAdd(e, &list);
    return e;
}

AttrEntry* AddAttr(ItemList& list, const wchar_t* field, int type, int size, const wchar_t* caption, int key = 0)
{
    AttrEntry* e = NewAttrEntry();
    e->State = ENTRY_NEW;
    e->Type = type;
    e->Size = size;
    e->KeyFlag = key;
    e->Position = list.Count;
    wcscpy(e->FieldName, field);
    wcscpy(e->Caption, caption);
    wcscpy(e->TabName, L"Nové");
    ItemListAdd(e, &list);
    return e;
}

// Every entry's state and numbers, to tell a list that kept its pending edits.
std::wstring ModelState(StructureModel& model)
{
    std::wstring text;
    for (int k = 0; k < MODEL_LIST_COUNT; ++k) {
        const ItemList& list = model.Lists[k];
        text += L"#";
        for (int i = 0; i < list.Count; ++i) {
            if (list.Kind == ITEMLIST_LEVELS) {
                const LevelEntry* e = LevelAt(&list, i);
                text += std::wstring(e->Name) + L":" + std::to_wstring(e->State) + L"," + std::to_wstring(e->OrigLevelId) +
                        L"," + std::to_wstring(e->NewLevelId) + L" ";
            } else {
                const AttrEntry* e = AttrAt(&list, i);
                text += std::wstring(e->FieldName) + L":" + std::to_wstring(e->State) + L"," + std::to_wstring(e->Position) + L" ";
            }
        }
    }
    return text;
}

// ---- running the save ----

std::vector<int> g_positions;
int g_stopAtPosition = -1;  // Storno pressed when the bar reaches it

bool RecordPosition(int position, ProgressParams* params)
{
    g_positions.push_back(position);
    if (position == g_stopAtPosition)
        params->Cancel = true;
    return params->Cancel.load();
}

// The eight steps of the save as the worker runs them, on this thread.
bool RunSave(LoadedStructure& s, ProgressParams* params = nullptr)
{
    ProgressParams own;
    if (!params)
        params = &own;
    params->hInstance = Inst();
    params->Mode = PROGRESS_SAVE;
    params->Argument = &s.Db();
    params->Model = &s.Model();
    params->Callback = RecordPosition;
    g_positions.clear();
    return RunStructureSave(params);
}

// Counts the statements the layer is given and refuses the n-th one holding a text.
class StatementWatch {
public:
    StatementWatch(std::wstring refuse = L"", int occurrence = 1) : refuse_(std::move(refuse)), occurrence_(occurrence)
    {
        zdata::SetStatementHook([this](const std::wstring& sql, std::wstring* description) {
            ++count_;
            if (onStatement)
                onStatement(sql);
            if (!refuse_.empty() && sql.find(refuse_) != std::wstring::npos && ++matches_ == occurrence_) {
                *description = L"Odmítnuto zkouškou: " + sql.substr(0, 60);
                return E_FAIL;
            }
            return S_OK;
        });
    }
    ~StatementWatch() { zdata::SetStatementHook(nullptr); }
    int Count() const { return count_; }
    int Matches() const { return matches_; }
    std::function<void(const std::wstring&)> onStatement;

private:
    std::wstring refuse_;
    int occurrence_;
    std::atomic<int> count_{0};
    int matches_ = 0;
};

// Opens the file again after a close (for plain SQL on it) with the model and the last level ids
// as they stood before the close.
void Reopen(LoadedStructure& s, const std::wstring& path, int sys, int loc)
{
    ConnSettings settings = {1, nullptr, nullptr, const_cast<wchar_t*>(path.c_str())};
    ASSERT_TRUE(s.Db().Open(&settings));
    s.Db().LastSysLevelId = sys;
    s.Db().LastLocLevelId = loc;
}

// ---- tests ----

TEST(StructureSave, WithoutChangesNoStatementRunsAndTheBarPassesEveryStep)
{
    std::wstring path = Copy(SampleTemplate());
    std::wstring before = DumpDatabase(path);
    {
        LoadedStructure s(path);
        ASSERT_NO_FATAL_FAILURE(s.Open());
        StatementWatch watch;
        wintest::MsgBoxRecorder boxes;
        EXPECT_TRUE(RunSave(s));
        EXPECT_EQ(watch.Count(), 0);
        EXPECT_TRUE(boxes.Boxes().empty());
        EXPECT_EQ(g_positions, (std::vector<int>{0, 12, 25, 37, 50, 62, 75, 87, 100}));
    }
    EXPECT_EQ(DumpDatabase(path), before);
}

// Level edits of either tree, each saved on its own copy; the file then holds the levels 1..n
// in the new order, one path column per level, every item at its own level and every record's
// path as walked; the model holds the levels in that order, unchanged and in place.
TEST(StructureSave, LevelEditsLeaveDenseLevelsItemsInPlaceAndRecordPathsAsWalked)
{
    struct Case {
        const char* name;
        int tree;
        std::wstring (*from)();
        std::function<void(ItemList&)> edit;
        std::vector<std::wstring> levels;
    };
    const Case cases[] = {
        {"rename", 0, SampleTemplate,
         [](ItemList& l) {
             LevelEntry* e = FindLevelNamed(&l, L"Rod");
             wcscpy(e->Name, kOddName);
             e->DataLevel = 1;
             e->State = ENTRY_CHANGED;
         },
         {L"Řád", L"Čeleď", kOddName, L"Druh", L"Poddruh"}},
        {"append", 0, SampleTemplate, [](ItemList& l) { AddLevel(l, L"Forma", 6); },
         {L"Řád", L"Čeleď", L"Rod", L"Druh", L"Poddruh", L"Forma"}},
        {"insert between", 0, SampleTemplate, [](ItemList& l) { AddLevel(l, L"Nadčeleď", 2); },
         {L"Řád", L"Nadčeleď", L"Čeleď", L"Rod", L"Druh", L"Poddruh"}},
        {"swap", 0, SampleTemplate,
         [](ItemList& l) {
             FindLevelNamed(&l, L"Řád")->NewLevelId = 2;
             FindLevelNamed(&l, L"Čeleď")->NewLevelId = 1;
         },
         {L"Čeleď", L"Řád", L"Rod", L"Druh", L"Poddruh"}},
        {"delete unused", 1, UnusedLevelTemplate,
         [](ItemList& l) {
             FindLevelNamed(&l, L"Obec")->State = ENTRY_DELETED;
             FindLevelNamed(&l, L"Okres")->NewLevelId = 2;
             FindLevelNamed(&l, L"Lokalita")->NewLevelId = 3;
         },
         {L"Kraj", L"Okres", L"Lokalita"}},
        {"delete and append", 1, UnusedLevelTemplate,
         [](ItemList& l) {
             FindLevelNamed(&l, L"Obec")->State = ENTRY_DELETED;
             FindLevelNamed(&l, L"Okres")->NewLevelId = 2;
             FindLevelNamed(&l, L"Lokalita")->NewLevelId = 3;
             LevelEntry* e = AddLevel(l, L"Mikrolokalita", 5);
             e->NewLevelId = 4;
         },
         {L"Kraj", L"Okres", L"Lokalita", L"Mikrolokalita"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Tree& t = kTrees[c.tree];
        std::wstring path = Copy(c.from(), std::wstring(c.name, c.name + strlen(c.name)));
        auto items = ItemLevels(path, t);
        std::wstring other = DumpDatabase(path);
        {
            LoadedStructure s(path);
            ASSERT_NO_FATAL_FAILURE(s.Open());
            ItemList& list = s.List(MODEL_SYS_LEVELS + c.tree);
            c.edit(list);
            wintest::MsgBoxRecorder boxes;
            ASSERT_TRUE(RunSave(s));
            EXPECT_TRUE(boxes.Boxes().empty());
            ASSERT_EQ(list.Count, (int)c.levels.size());
            for (int i = 0; i < list.Count; ++i) {
                const LevelEntry* e = LevelAt(&list, i);
                EXPECT_EQ(e->Name, c.levels[(size_t)i]);
                EXPECT_EQ(e->State, ENTRY_UNCHANGED);
                EXPECT_EQ(e->OrigLevelId, i + 1);
                EXPECT_EQ(e->NewLevelId, i + 1);
            }
            EXPECT_EQ(c.tree == 0 ? s.Db().LastSysLevelId : s.Db().LastLocLevelId, (int)c.levels.size());
            EXPECT_FALSE(HasLevelChanges(&list));
        }
        EXPECT_EQ(LevelNames(path, t), c.levels);
        EXPECT_EQ(ItemLevels(path, t), items) << "every item stays at its level";
        ExpectPathsAsWalked(path, t);
        ExpectPathsAsWalked(path, kTrees[1 - c.tree]);
        // Tarnix loads what it saved.
        LoadedStructure again(path);
        ASSERT_NO_FATAL_FAILURE(again.Open());
        ItemList& list = again.List(MODEL_SYS_LEVELS + c.tree);
        for (int i = 0; i < list.Count && i < (int)c.levels.size(); ++i)
            EXPECT_EQ(LevelAt(&list, i)->Name, c.levels[(size_t)i]);
        if (std::string(c.name) == "rename") {
            EXPECT_NE(FindLevelNamed(&list, kOddName)->DataLevel, 0);
        }
    }
}

TEST(StructureSave, ASwapThenARenameNamesEachLevelRightly)
{
    std::wstring path = Copy(SampleTemplate());
    LoadedStructure s(path);
    ASSERT_NO_FATAL_FAILURE(s.Open());
    ItemList& list = s.List(MODEL_SYS_LEVELS);
    FindLevelNamed(&list, L"Řád")->NewLevelId = 2;
    FindLevelNamed(&list, L"Čeleď")->NewLevelId = 1;
    ASSERT_TRUE(RunSave(s));
    // The level now second is renamed; nothing else moves.
    LevelEntry* second = LevelAt(&list, 1);
    EXPECT_STREQ(second->Name, L"Řád");
    wcscpy(second->Name, L"Ordo");
    second->State = ENTRY_CHANGED;
    StatementWatch watch;
    ASSERT_TRUE(RunSave(s));
    EXPECT_LE(watch.Count(), 3) << "a rename rewrites one row";
    ASSERT_TRUE(s.Db().Close());
    EXPECT_EQ(LevelNames(path, kTrees[0]), (std::vector<std::wstring>{L"Čeleď", L"Ordo", L"Rod", L"Druh", L"Poddruh"}));
    EXPECT_EQ(dbtest::QueryInt(path, L"SELECT COUNT(*) FROM SYSTREE WHERE SYSLEVEL NOT IN (SELECT LEVELID FROM SYSDEF)"), 0);
}

// What each attribute edit leaves in the file.
TEST(StructureSave, AttributeEditsMakeColumnsValueListsKeysAndPositions)
{
    std::wstring path = Copy(SampleTemplate());
    const long long speciesPositions = dbtest::QueryInt(path, L"SELECT MAX(POSID) FROM CUSTOMATTRIBUTES WHERE TABLENAME = 'SPECIES'");
    const long long records = dbtest::QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS");
    {
        LoadedStructure s(path);
        ASSERT_NO_FATAL_FAILURE(s.Open());
        ItemList& species = s.List(MODEL_SPECIES_ATTRS);
        ItemList& recs = s.List(MODEL_RECORD_ATTRS);
        AddAttr(species, L"NOTE", 4, 40, L"Poznámka");
        AttrEntry* real = AddAttr(species, L"HMOTNOST", 2, 0, L"Hmotnost (g)");
        real->MinVal.vt = VT_BSTR;
        real->MinVal.bstrVal = SysAllocString(L"1,5");
        real->MaxVal.vt = VT_BSTR;
        real->MaxVal.bstrVal = SysAllocString(L"abc");
        real->NullVal.vt = VT_R8;
        real->NullVal.dblVal = INFINITY;
        AddAttr(species, L"DLOUHY", 6, 0, L"Dlouhý text");
        AddAttr(species, L"OVERENO", 0, 0, L"Ověřeno");
        AddAttr(recs, L"STAV", 5, 30, L"Stav dokladu", -1);
        AttrEntry* caption = FindAttrNamed(&recs, L"LEG");
        wcscpy(caption->Caption, L"Sběratelé");
        caption->State = ENTRY_CHANGED;
        AttrEntry* count = FindAttrNamed(&recs, L"POCET");
        VariantClear(&count->MinVal);
        count->MinVal.vt = VT_I4;
        count->MinVal.lVal = 7;
        count->State = ENTRY_CHANGED;
        FindAttrNamed(&recs, L"METODA")->State = ENTRY_DELETED;
        wintest::MsgBoxRecorder boxes;
        ASSERT_TRUE(RunSave(s));
        EXPECT_TRUE(boxes.Boxes().empty());
        EXPECT_EQ(FindAttrNamed(&recs, L"METODA"), nullptr);
        for (ItemList* list : {&species, &recs})
            for (int i = 0; i < list->Count; ++i)
                EXPECT_EQ(AttrAt(list, i)->State, ENTRY_UNCHANGED);
    }
    auto column = [&](const wchar_t* table, const wchar_t* name) {
        return dbtest::First(path, std::wstring(L"SELECT type FROM pragma_table_info('") + table + L"') WHERE name = '" + name + L"'");
    };
    EXPECT_EQ(column(L"SPECIES", L"NOTE"), L"VARCHAR(40)");
    EXPECT_EQ(column(L"SPECIES", L"HMOTNOST"), L"DOUBLE");
    EXPECT_EQ(column(L"SPECIES", L"DLOUHY"), L"TEXT");
    EXPECT_EQ(column(L"SPECIES", L"OVERENO"), L"BOOLEAN");
    EXPECT_EQ(Query(path, L"SELECT FIELDNAME, POSID, ATTRTYPE, ATTRSIZE, CAPTION, TABNAME FROM CUSTOMATTRIBUTES WHERE TABLENAME = "
                          L"'SPECIES' AND POSID > " + std::to_wstring(speciesPositions) + L" ORDER BY POSID"),
              (Rows{{L"NOTE", std::to_wstring(speciesPositions + 1), L"4", L"40", L"Poznámka", L"Nové"},
                    {L"HMOTNOST", std::to_wstring(speciesPositions + 2), L"2", L"0", L"Hmotnost (g)", L"Nové"},
                    {L"DLOUHY", std::to_wstring(speciesPositions + 3), L"6", L"0", L"Dlouhý text", L"Nové"},
                    {L"OVERENO", std::to_wstring(speciesPositions + 4), L"0", L"0", L"Ověřeno", L"Nové"}}));
    // Bounds are numbers or NULL, never text.
    EXPECT_EQ(Query(path, L"SELECT typeof(MINVAL), MINVAL, typeof(MAXVAL), typeof(NULLVAL) FROM CUSTOMATTRIBUTES WHERE FIELDNAME = 'HMOTNOST'"),
              (Rows{{L"real", L"1.5", L"null", L"null"}}));
    EXPECT_EQ(dbtest::First(path, L"SELECT MINVAL FROM CUSTOMATTRIBUTES WHERE FIELDNAME = 'POCET'"), L"7.0");
    EXPECT_EQ(dbtest::First(path, L"SELECT CAPTION FROM CUSTOMATTRIBUTES WHERE FIELDNAME = 'LEG'"), L"Sběratelé");
    // The deleted list attribute: its column, value list and row are gone, the positions close up.
    EXPECT_EQ(column(L"ZORNACOLLS", L"METODA"), L"<none>");
    EXPECT_EQ(dbtest::QueryInt(path, L"SELECT COUNT(*) FROM sqlite_master WHERE name = 'ZOR_METODA'"), 0);
    EXPECT_EQ(dbtest::QueryInt(path, L"SELECT COUNT(*) FROM CUSTOMATTRIBUTES WHERE FIELDNAME = 'METODA'"), 0);
    EXPECT_EQ(Query(path, L"SELECT FIELDNAME, POSID FROM CUSTOMATTRIBUTES WHERE TABLENAME = 'ZORNACOLLS' ORDER BY rowid"),
              (Rows{{L"DATUM", L"1"}, {L"POCET", L"2"}, {L"LEG", L"3"}, {L"DET", L"4"}, {L"DOKLAD", L"5"},
                    {L"PRESNOST", L"6"}, {L"STAV", L"7"}}))
        << "the table's positions 1..n";
    // The new key list attribute: its value list with a key without ASCII case, its own index,
    // the unique index with it, and renames and deletes that reach the records.
    EXPECT_NE(dbtest::First(path, L"SELECT sql FROM sqlite_master WHERE name = 'ZOR_STAV'").find(L"COLLATE NOCASE PRIMARY KEY"),
              std::wstring::npos);
    EXPECT_EQ(Query(path, L"SELECT \"table\", \"to\", on_update, on_delete FROM pragma_foreign_key_list('ZORNACOLLS') WHERE \"from\" = 'STAV'"),
              (Rows{{L"ZOR_STAV", L"NAME", L"CASCADE", L"CASCADE"}}));
    EXPECT_EQ(Query(path, L"SELECT name FROM pragma_index_info('ZOR_STAV_IDX')"), (Rows{{L"STAV"}}));
    EXPECT_EQ(Query(path, L"SELECT name FROM pragma_index_info('COLL_INDEX') ORDER BY seqno"),
              (Rows{{L"SYSID"}, {L"FTRID"}, {L"DATUM"}, {L"STAV"}}));
    ASSERT_TRUE(dbtest::Exec(path, L"INSERT INTO ZOR_STAV (NAME) VALUES ('v poradku')"));
    ASSERT_TRUE(dbtest::Exec(path, L"UPDATE ZORNACOLLS SET STAV = 'V PORADKU' WHERE ID <= 3"));
    ASSERT_TRUE(dbtest::Exec(path, L"UPDATE ZOR_STAV SET NAME = 'ověřen'"));
    EXPECT_EQ(dbtest::QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE STAV = 'ověřen'"), 3);
    ASSERT_TRUE(dbtest::Exec(path, L"DELETE FROM ZOR_STAV"));
    EXPECT_EQ(dbtest::QueryInt(path, L"SELECT COUNT(*) FROM ZORNACOLLS"), records - 3);
    // Long text keeps leading zeros; a boolean reads back as a boolean.
    ASSERT_TRUE(dbtest::Exec(path, L"UPDATE SPECIES SET DLOUHY = '0012', OVERENO = -1 WHERE rowid = 1"));
    EXPECT_EQ(Query(path, L"SELECT DLOUHY, typeof(DLOUHY) FROM SPECIES WHERE rowid = 1"), (Rows{{L"0012", L"text"}}));

    // Tarnix loads the attributes as they were saved, and Zorna offers the new record attribute.
    {
        LoadedStructure again(path);
        ASSERT_NO_FATAL_FAILURE(again.Open());
        const AttrEntry* stav = FindAttrNamed(&again.List(MODEL_RECORD_ATTRS), L"STAV");
        ASSERT_NE(stav, nullptr);
        EXPECT_EQ(stav->Type, 5);
        EXPECT_EQ(stav->Size, 30);
        EXPECT_NE(stav->KeyFlag, 0);
        EXPECT_STREQ(stav->Caption, L"Stav dokladu");
        EXPECT_STREQ(stav->TabName, L"Nové");
        const AttrEntry* weight = FindAttrNamed(&again.List(MODEL_SPECIES_ATTRS), L"HMOTNOST");
        ASSERT_NE(weight, nullptr);
        EXPECT_EQ(weight->MinVal.vt, VT_R8);
        EXPECT_EQ(weight->MaxVal.vt, VT_NULL);
    }
    HWND main = dbtest::MakeMainWindow();
    CDatabase* db = nullptr;
    ConnSettings settings = {};
    ASSERT_NO_FATAL_FAILURE(dbtest::OpenDatabase(main, path, &db, &settings, true));
    bool offered = false;
    CPtrArray* attrs = db->GetRecordAttrs();
    for (int i = 0; i < attrs->GetCount(); ++i)
        offered |= wcscmp(static_cast<CustomAttrDef*>(attrs->GetItems()[i])->Caption, L"Stav dokladu") == 0;
    EXPECT_TRUE(offered);
    dbtest::CloseDatabase(&main, &db, &settings);
}

// A file may hold names no program of the system makes (another tool wrote them): they reach
// the statements quoted and the filters as literals.
TEST(StructureSave, NamesReadFromTheFileAreQuotedInStatementsAndFilters)
{
    zor::SampleDbOptions options;
    options.records = 300;
    options.seed = 9;
    std::wstring path = Copy(SharedSampleTemplate(
        L"tarnix_odd_names", options,
        {L"CREATE TABLE \"SPE_O'X\" (NAME VARCHAR(10) NOT NULL COLLATE NOCASE PRIMARY KEY, ABBREV VARCHAR(15))",
         L"ALTER TABLE SPECIES ADD \"O'X\" VARCHAR(10) REFERENCES \"SPE_O'X\"(NAME) ON UPDATE CASCADE",
         L"ALTER TABLE SPECIES ADD \"A]B\" INTEGER",
         L"INSERT INTO CUSTOMATTRIBUTES VALUES ('SPECIES', 'O''X', 20, 5, 10, 0, NULL, 'Apostrof', NULL, NULL, NULL)",
         L"INSERT INTO CUSTOMATTRIBUTES VALUES ('SPECIES', 'A]B', 21, 1, 0, 0, NULL, 'Závorka', NULL, NULL, NULL)"}));
    {
        LoadedStructure s(path);
        ASSERT_NO_FATAL_FAILURE(s.Open());
        ItemList& species = s.List(MODEL_SPECIES_ATTRS);
        AttrEntry* bracket = FindAttrNamed(&species, L"A]B");
        ASSERT_NE(bracket, nullptr);
        wcscpy(bracket->Caption, L"Hranatá ] závorka");
        bracket->State = ENTRY_CHANGED;
        FindAttrNamed(&species, L"O'X")->State = ENTRY_DELETED;
        wintest::MsgBoxRecorder boxes;
        EXPECT_TRUE(RunSave(s));
        EXPECT_TRUE(boxes.Boxes().empty()) << (boxes.Boxes().empty() ? "" : Narrow(boxes.Boxes()[0].text));
    }
    EXPECT_EQ(Query(path, L"SELECT CAPTION FROM CUSTOMATTRIBUTES WHERE FIELDNAME = 'A]B'"), (Rows{{L"Hranatá ] závorka"}}));
    EXPECT_EQ(dbtest::QueryInt(path, L"SELECT COUNT(*) FROM CUSTOMATTRIBUTES WHERE FIELDNAME = 'O''X'"), 0);
    EXPECT_EQ(dbtest::QueryInt(path, L"SELECT COUNT(*) FROM pragma_table_info('SPECIES') WHERE name = 'O''X'"), 0);
    EXPECT_EQ(dbtest::QueryInt(path, L"SELECT COUNT(*) FROM sqlite_master WHERE name = 'SPE_O''X'"), 0);
}

TEST(StructureSave, AUniqueIndexTheDataRefusesRollsTheSaveBackAndTheOldIndexStays)
{
    std::wstring path = Copy(SampleTemplate());
    const std::wstring caption = dbtest::First(path, L"SELECT CAPTION FROM CUSTOMATTRIBUTES WHERE FIELDNAME = 'CESKYNAZEV'");
    LoadedStructure s(path);
    ASSERT_NO_FATAL_FAILURE(s.Open());
    // Without the date, records of one species at one place repeat.
    AttrEntry* date = FindAttrNamed(&s.List(MODEL_RECORD_ATTRS), L"DATUM");
    date->KeyFlag = 0;
    date->State = ENTRY_CHANGED;
    wcscpy(FindAttrNamed(&s.List(MODEL_SPECIES_ATTRS), L"CESKYNAZEV")->Caption, L"Jméno");
    FindAttrNamed(&s.List(MODEL_SPECIES_ATTRS), L"CESKYNAZEV")->State = ENTRY_CHANGED;
    std::wstring pending = ModelState(s.Model());
    {
        wintest::MsgBoxRecorder boxes;
        EXPECT_FALSE(RunSave(s));
        ASSERT_FALSE(boxes.Boxes().empty());
        EXPECT_NE(boxes.Boxes()[0].text.find(L"UNIQUE"), std::wstring::npos) << Narrow(boxes.Boxes()[0].text);
    }
    // The species step before it went back with the records step: both are pending again.
    EXPECT_EQ(ModelState(s.Model()), pending);
    ASSERT_TRUE(s.Db().Close());
    EXPECT_EQ(Query(path, L"SELECT name FROM pragma_index_info('COLL_INDEX') ORDER BY seqno"),
              (Rows{{L"SYSID"}, {L"FTRID"}, {L"DATUM"}}));
    EXPECT_EQ(dbtest::First(path, L"SELECT KEYFLAG FROM CUSTOMATTRIBUTES WHERE FIELDNAME = 'DATUM'"), L"-1");
    EXPECT_EQ(dbtest::First(path, L"SELECT CAPTION FROM CUSTOMATTRIBUTES WHERE FIELDNAME = 'CESKYNAZEV'"), caption);
}

// A level that tree items use is not deleted, even when the list says so (the page refuses it
// first): the message names it and nothing changes.
TEST(StructureSave, ALevelWithItemsIsNotDeleted)
{
    std::wstring path = Copy(SampleTemplate());
    std::wstring before = DumpDatabase(path);
    {
        LoadedStructure s(path);
        ASSERT_NO_FATAL_FAILURE(s.Open());
        ItemList& l = s.List(MODEL_LOC_LEVELS);
        FindLevelNamed(&l, L"Okres")->State = ENTRY_DELETED;
        FindLevelNamed(&l, L"Lokalita")->NewLevelId = 2;
        wintest::MsgBoxRecorder boxes;
        EXPECT_FALSE(RunSave(s));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"Úroveň „Okres“ nelze smazat, protože do ní patří položky stromu.");
        EXPECT_EQ(FindLevelNamed(&l, L"Okres")->State, ENTRY_DELETED);
        EXPECT_EQ(l.Count, 3);
    }
    EXPECT_EQ(DumpDatabase(path), before);
}

// A step that runs longer than a second shows what it saves and moves the bar within its share.
std::vector<std::wstring> g_statusTexts;
WNDPROC g_statusProc = nullptr;

LRESULT CALLBACK RecordStatus(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_SETTEXT)
        g_statusTexts.push_back(reinterpret_cast<const wchar_t*>(lp));
    return CallWindowProcW(g_statusProc, w, msg, wp, lp);
}

INT_PTR CALLBACK InertDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST(StructureSave, ALongStepShowsItsStatusAndMovesTheBarWithinItsShare)
{
    std::wstring path = Copy(SampleTemplate());
    LoadedStructure s(path);
    ASSERT_NO_FATAL_FAILURE(s.Open());
    AddAttr(s.List(MODEL_SPECIES_ATTRS), L"NOTE", 4, 40, L"Poznámka");
    AddAttr(s.List(MODEL_SPECIES_ATTRS), L"NOTE2", 4, 40, L"Poznámka 2");
    HWND dlg = CreateDialogParamW(Inst(), L"SAVEPROGDLG", nullptr, InertDialog, 0);
    ASSERT_NE(dlg, nullptr);
    g_statusTexts.clear();
    g_statusProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(GetDlgItem(dlg, IDC_PROGRESS_STATUS), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordStatus)));
    StatementWatch watch;
    watch.onStatement = [](const std::wstring& sql) {
        if (sql.find(L"ADD \"NOTE\"") != std::wstring::npos)
            Sleep(1100);
    };
    ProgressParams params;
    params.Dialog = dlg;
    EXPECT_TRUE(RunSave(s, &params));
    DestroyWindow(dlg);
    EXPECT_EQ(g_statusTexts, (std::vector<std::wstring>{L"Ukládám změny: Druhy ...",
                                                        L"Ukládám konfiguraci databáze. To může chvíli trvat."}));
    // The species step is the fifth: its share lies between 50 and 62.
    EXPECT_NE(std::find_if(g_positions.begin(), g_positions.end(), [](int p) { return p > 50 && p < 62; }),
              g_positions.end());
    EXPECT_TRUE(std::is_sorted(g_positions.begin(), g_positions.end()));
}

// A save that fails or is stopped anywhere, up to the commit: the file is exactly as before, the
// model holds every edit as pending, the error shows (Storno's message says that nothing changed);
// once the obstacle is gone the next save leaves the file as a clean save leaves a copy. A failure
// comes from the statement seam (refuse: the n-th statement holding the text), or from the file
// itself: statements run on it first (a RAISE(ABORT) trigger, a view naming a column, a key checked
// only at the commit) and the ones that take the obstacle away again.
TEST(StructureSave, AFailureOrAStopAnywhereInTheSaveLeavesTheFileAndTheEditsAsBefore)
{
    // One edit of many parts: a level in each tree, a records attribute added and one deleted, a
    // literature attribute.
    auto manyParts = [](StructureModel& m) {
        AddLevel(m.Lists[MODEL_SYS_LEVELS], L"Podrod", 4);
        LevelEntry* okres = FindLevelNamed(&m.Lists[MODEL_LOC_LEVELS], L"Okres");
        wcscpy(okres->Name, L"Obvod");
        okres->State = ENTRY_CHANGED;
        AddAttr(m.Lists[MODEL_RECORD_ATTRS], L"STAV", 4, 30, L"Stav dokladu");
        FindAttrNamed(&m.Lists[MODEL_RECORD_ATTRS], L"METODA")->State = ENTRY_DELETED;
        AddAttr(m.Lists[MODEL_LITERATURE_ATTRS], L"SIGNATURA", 4, 20, L"Signatura");
    };
    const wchar_t kStopped[] = L"Ukládání bylo přerušeno uživatelem. V databázi se nic nezměnilo.";
    const wchar_t kRefused[] = L"Odmítnuto zkouškou";
    struct Case {
        const char* name;
        std::wstring (*from)();
        std::function<void(StructureModel&)> edit;
        const wchar_t* refuse;  // the statement refused, at its occurrence-th time
        int occurrence;
        const wchar_t* stopAt;  // the statement during which Storno is pressed
        int stopAtPosition;     // or the bar position at which it is
        std::vector<const wchar_t*> setup;  // run on the file first, undone by cleanup
        std::vector<const wchar_t*> cleanup;
        const wchar_t* message;  // part of the first message shown
        int diskPages = -1;      // a full disk: the pages the file may still grow by
    };
    const wchar_t kDiskFull[] = L"Na disku s databází není dost místa, změna nebyla zapsána.";
    const Case cases[] = {
        {"new list attribute", SampleTemplate,
         [](StructureModel& m) { AddAttr(m.Lists[MODEL_RECORD_ATTRS], L"STAV", 5, 30, L"Stav", -1); },
         L"CREATE INDEX", 1, nullptr, -1, {}, {}, kRefused},
        {"new list attribute on a full disk", SampleTemplate,
         [](StructureModel& m) { AddAttr(m.Lists[MODEL_RECORD_ATTRS], L"STAV", 5, 30, L"Stav", -1); }, nullptr, 0,
         nullptr, -1, {}, {}, kDiskFull, 0},
        {"attribute with values deleted", SampleTemplate,
         [](StructureModel& m) { FindAttrNamed(&m.Lists[MODEL_RECORD_ATTRS], L"METODA")->State = ENTRY_DELETED; },
         nullptr, 0, nullptr, -1,
         {L"CREATE TRIGGER ZOR_TEST BEFORE UPDATE ON CUSTOMATTRIBUTES BEGIN SELECT RAISE(ABORT, 'zkouška'); END"},
         {L"DROP TRIGGER ZOR_TEST"}, L"zkouška"},
        {"column a view names", SampleTemplate,
         [](StructureModel& m) { FindAttrNamed(&m.Lists[MODEL_RECORD_ATTRS], L"DET")->State = ENTRY_DELETED; },
         nullptr, 0, nullptr, -1, {L"CREATE VIEW ZOR_TEST AS SELECT ID, DET FROM ZORNACOLLS"}, {L"DROP VIEW ZOR_TEST"},
         L"ZOR_TEST"},
        {"level deleted", UnusedLevelTemplate,
         [](StructureModel& m) {
             ItemList& l = m.Lists[MODEL_LOC_LEVELS];
             FindLevelNamed(&l, L"Obec")->State = ENTRY_DELETED;
             FindLevelNamed(&l, L"Okres")->NewLevelId = 2;
             FindLevelNamed(&l, L"Lokalita")->NewLevelId = 3;
         },
         L"UPDATE ZORNACOLLS SET", 1, nullptr, -1, {}, {}, kRefused},
        {"levels swapped", SampleTemplate,
         [](StructureModel& m) {
             ItemList& l = m.Lists[MODEL_SYS_LEVELS];
             FindLevelNamed(&l, L"Rod")->NewLevelId = 4;
             FindLevelNamed(&l, L"Druh")->NewLevelId = 3;
         },
         L"UPDATE \"SYSDEF\"", 3, nullptr, -1, {}, {}, kRefused},
        {"unique index", SampleTemplate,
         [](StructureModel& m) {
             AttrEntry* e = FindAttrNamed(&m.Lists[MODEL_RECORD_ATTRS], L"LEG");
             e->KeyFlag = -1;
             e->State = ENTRY_CHANGED;
         },
         L"CREATE UNIQUE INDEX COLL_INDEX", 1, nullptr, -1, {}, {}, kRefused},
        {"failure in the last step", SampleTemplate, manyParts, L"ALTER TABLE \"LITERATURE\" ADD", 1, nullptr, -1, {}, {},
         kRefused},
        // A full disk (in the record paths' rebuild of the level step).
        {"full disk", SampleTemplate, manyParts, nullptr, 0, nullptr, -1, {}, {}, kDiskFull, 0},
        // A key checked only at the commit, which the literature step's new row breaks.
        {"commit refused", SampleTemplate, manyParts, nullptr, 0, nullptr, -1,
         {L"CREATE TABLE ZOR_TEST_PARENT (ID INTEGER PRIMARY KEY)",
          L"CREATE TABLE ZOR_TEST_CHILD (P INTEGER REFERENCES ZOR_TEST_PARENT(ID) DEFERRABLE INITIALLY DEFERRED)",
          L"CREATE TRIGGER ZOR_TEST AFTER INSERT ON CUSTOMATTRIBUTES WHEN NEW.TABLENAME = 'LITERATURE' "
          L"BEGIN INSERT INTO ZOR_TEST_CHILD VALUES (1); END"},
         {L"DROP TRIGGER ZOR_TEST", L"DROP TABLE ZOR_TEST_CHILD", L"DROP TABLE ZOR_TEST_PARENT"}, L"FOREIGN KEY"},
        {"Storno in the locality step", SampleTemplate, manyParts, nullptr, 0, L"LOCDEF", -1, {}, {}, kStopped},
        {"Storno in the last step", SampleTemplate, manyParts, nullptr, 0, L"ALTER TABLE \"LITERATURE\" ADD", -1, {}, {},
         kStopped},
        {"Storno after the last step", SampleTemplate, manyParts, nullptr, 0, nullptr, 100, {}, {}, kStopped},
    };
    std::map<std::wstring, std::wstring> cleanSaves;  // by the file and the pending edits
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string n(c.name);
        std::wstring path = Copy(c.from(), std::wstring(n.begin(), n.end()));
        for (const wchar_t* sql : c.setup)
            ASSERT_TRUE(dbtest::Exec(path, sql));
        std::wstring before = DumpDatabase(path);
        LoadedStructure s(path);
        int room = zdata::SetPageLimitForTests(c.diskPages);
        s.Open();
        zdata::SetPageLimitForTests(room);
        ASSERT_FALSE(HasFatalFailure());
        const int sysBefore = s.Db().LastSysLevelId, locBefore = s.Db().LastLocLevelId;
        c.edit(s.Model());
        const std::wstring pending = ModelState(s.Model());
        {
            ProgressParams params;
            StatementWatch watch(c.refuse ? c.refuse : L"", c.occurrence);
            bool reached = false;
            watch.onStatement = [&](const std::wstring& sql) {
                if (c.stopAt && sql.find(c.stopAt) != std::wstring::npos)
                    reached = params.Cancel = true;  // what the Storno button does
            };
            g_stopAtPosition = c.stopAtPosition;
            wintest::MsgBoxRecorder boxes;
            EXPECT_FALSE(RunSave(s, &params));
            g_stopAtPosition = -1;
            EXPECT_TRUE(!c.refuse || watch.Matches() >= c.occurrence) << "the refused statement came";
            EXPECT_TRUE(!c.stopAt || reached) << "the statement stopped at came";
            ASSERT_FALSE(boxes.Boxes().empty());
            EXPECT_NE(boxes.Boxes()[0].text.find(c.message), std::wstring::npos) << Narrow(boxes.Boxes()[0].text);
            const bool stopped = c.message == kStopped;
            EXPECT_EQ(boxes.Boxes()[0].type & MB_ICONMASK, (UINT)(stopped ? MB_ICONINFORMATION : MB_ICONERROR));
            if (stopped) {
                EXPECT_EQ(boxes.Boxes().size(), 1u);
                EXPECT_EQ(boxes.Boxes()[0].caption, L"Ukládání změn") << "the user's own Storno is no error";
            }
        }
        EXPECT_EQ(s.Db().GetConnection()->TransactionLevel(), 0);
        EXPECT_EQ(ModelState(s.Model()), pending) << "every edit is still pending";
        EXPECT_EQ(s.Db().LastSysLevelId, sysBefore);
        EXPECT_EQ(s.Db().LastLocLevelId, locBefore);
        ASSERT_TRUE(s.Db().Close());
        EXPECT_EQ(DumpDatabase(path), before) << "the file is as before the save";
        for (const wchar_t* sql : c.cleanup)
            ASSERT_TRUE(dbtest::Exec(path, sql));
        ASSERT_NO_FATAL_FAILURE(Reopen(s, path, sysBefore, locBefore));
        {
            wintest::MsgBoxRecorder boxes;
            EXPECT_TRUE(RunSave(s));
            EXPECT_TRUE(boxes.Boxes().empty());
        }
        ASSERT_TRUE(s.Db().Close());
        std::wstring& clean = cleanSaves[c.from() + L"\n" + pending];
        if (clean.empty()) {
            std::wstring copy = Copy(c.from(), std::wstring(n.begin(), n.end()) + L"_clean");
            LoadedStructure cleanSave(copy);
            ASSERT_NO_FATAL_FAILURE(cleanSave.Open());
            c.edit(cleanSave.Model());
            ASSERT_TRUE(RunSave(cleanSave));
            ASSERT_TRUE(cleanSave.Db().Close());
            clean = DumpDatabase(copy);
        }
        EXPECT_EQ(DumpDatabase(path), clean);
    }
}

// An import runs the steps inside a transaction of its own: each step is a savepoint that rolls
// back alone, and what the steps did stays only when the import commits.
TEST(StructureSave, StepsNestInATransactionAlreadyRunning)
{
    for (bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "commit" : "rollback");
        std::wstring path = Copy(SampleTemplate(), commit ? L"commit" : L"rollback");
        std::wstring before = DumpDatabase(path);
        {
            LoadedStructure s(path);
            ASSERT_NO_FATAL_FAILURE(s.Open());
            zdata::Connection* connection = s.Db().GetConnection();
            ASSERT_EQ(connection->BeginTrans(), S_OK);
            AddAttr(s.List(MODEL_FEATURES_ATTRS), L"HLOUBKA", 1, 0, L"Hloubka");
            EXPECT_TRUE(SaveAttributes(&s.Db(), nullptr, L"FEATURES", &s.List(MODEL_FEATURES_ATTRS), ATTR_INDEX_NONE));
            AddLevel(s.List(MODEL_LOC_LEVELS), L"Obec", 3);
            {
                StatementWatch watch(L"UPDATE ZORNACOLLS SET");
                wintest::MsgBoxRecorder boxes;
                EXPECT_FALSE(SaveLevels(&s.Db(), nullptr, L"LOCDEF", &s.List(MODEL_LOC_LEVELS), HIERARCHY_LOCALITY));
                EXPECT_EQ(boxes.Boxes().size(), 1u);
            }
            EXPECT_EQ(connection->TransactionLevel(), 1) << "the step's savepoint is gone, the import's transaction runs";
            EXPECT_EQ(s.Db().LastLocLevelId, 3);
            ASSERT_EQ(commit ? connection->CommitTrans() : connection->RollbackTrans(), S_OK);
        }
        EXPECT_EQ(LevelNames(path, kTrees[1]), (std::vector<std::wstring>{L"Kraj", L"Okres", L"Lokalita"}));
        EXPECT_EQ(dbtest::QueryInt(path, L"SELECT COUNT(*) FROM pragma_table_info('FEATURES') WHERE name = 'HLOUBKA'"),
                  commit ? 1 : 0);
        if (!commit) {
            EXPECT_EQ(DumpDatabase(path), before);
        }
    }
}

// A cycle of parents in the tree cannot hold the path rebuild: the save ends, and the records
// of sound items get their paths.
TEST(StructureSave, ACycleOfParentsCannotHoldThePathRebuild)
{
    zor::SampleDbOptions options;
    options.records = 300;
    options.seed = 5;
    std::wstring path = Copy(SharedSampleTemplate(L"tarnix_cycle", options));
    // Two districts each other's parent.
    Rows districts = Query(path, L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 2 ORDER BY ID LIMIT 2");
    ASSERT_EQ(districts.size(), 2u);
    ASSERT_TRUE(dbtest::Exec(path, L"UPDATE LOCTREE SET PARENT = " + districts[1][0] + L" WHERE ID = " + districts[0][0]));
    ASSERT_TRUE(dbtest::Exec(path, L"UPDATE LOCTREE SET PARENT = " + districts[0][0] + L" WHERE ID = " + districts[1][0]));
    LoadedStructure s(path);
    ASSERT_NO_FATAL_FAILURE(s.Open());
    FindLevelNamed(&s.List(MODEL_LOC_LEVELS), L"Kraj")->NewLevelId = 2;
    FindLevelNamed(&s.List(MODEL_LOC_LEVELS), L"Okres")->NewLevelId = 1;
    wintest::MsgBoxRecorder boxes;
    EXPECT_TRUE(RunSave(s));
    EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
