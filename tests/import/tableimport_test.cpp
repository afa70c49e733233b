// Tables of Excel workbooks and Access files imported row by row into copies of the sample
// database through the import frame: their rows become taxa, localities and records with typed
// attributes, and a cancel or a failure leaves the file exactly as it was. The Access files are
// real ones written by Access (see tests/support/accessfixtures.h); without them those cases skip.
#include <windows.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core/attrdef.h"
#include "dataaccess/ado.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "import/tablesource.h"
#include "tests/support/accessfixtures.h"
#include "tests/support/wintest.h"
#include "tests/import/tablebook.h"
#include "tests/structure/tarnixtest.h"
#include "tests/import/testimpsource.h"

namespace {

using namespace tarnixtest;
using importtest::LogFolder;
using importtest::RecordingSink;

// A workbook whose sheet "Nálezy" has a header row and one row per entry (species, locality, note).
void MakeBook(const std::wstring& path, const std::vector<std::vector<std::wstring>>& rows)
{
    std::vector<std::vector<tabletest::Cell>> cells = {{L"Druh", L"Lokalita", L"Poznámka"}};
    for (const std::vector<std::wstring>& row : rows)
        cells.emplace_back(row.begin(), row.end());
    tabletest::WriteBook(path, L"Nálezy", cells);
}

// Where a column of the table goes: a built-in or existing column, or (column empty) a new record
// attribute with the caption. `type` is the kind the source column must be offered as and the
// target's kind unless `into` names another.
struct Target {
    const wchar_t* source;
    int group;
    const wchar_t* column;
    int type;
    const wchar_t* caption;
    int into = -1;
    int level = -1;  // the tree level of a unit's name
};

// One table imported; columns no target names are left out.
struct TableImport {
    int sourceType;
    std::wstring file;
    const wchar_t* table;
    std::vector<Target> targets;
    int sysTarget = -1;
    int locTarget = -1;
    int cancelAtPercent = -1;
};

struct Outcome {
    ImportOutcome outcome;
    int errors;
    std::string log;   // the run's log as written (the ANSI code page)
    std::wstring said;  // the boxes shown, then the log
};

Outcome RunTableImport(const std::wstring& db, const TableImport& import)
{
    LogFolder logs;
    wintest::MsgBoxRecorder boxes;
    LoadedStructure structure(db);
    EXPECT_NO_FATAL_FAILURE(structure.Open());
    ImportJob job = {};
    InitImportJob(&job, &structure.Db(), &structure.Model());
    IImpSource* source = CreateTableSource(Inst(), import.sourceType);
    job.Source = source;
    job.SourceType = import.sourceType;
    job.TargetSysId = import.sysTarget;
    job.TargetLocId = import.locTarget;
    EXPECT_TRUE(OpenImportSource(&job, import.file.c_str()));
    job.GroupKinds[0] = source->FillGroup(1, job.GroupItems[0], nullptr);
    bool listed = false;
    for (int i = 0; i < job.GroupItems[0]->GetCount(); ++i)
        listed = listed || wcscmp(static_cast<const wchar_t*>(job.GroupItems[0]->GetItems()[i]), import.table) == 0;
    EXPECT_TRUE(listed) << "the table is not listed";
    job.TableName = _wcsdup(import.table);
    job.GroupKinds[1] = source->FillGroup(2, job.GroupItems[1], job.TableName);
    size_t mapped = 0;
    for (int i = 0; i < job.GroupItems[1]->GetCount(); ++i) {
        SourceColumn* c = static_cast<SourceColumn*>(job.GroupItems[1]->GetItems()[i]);
        for (const Target& t : import.targets) {
            if (wcscmp(c->SourceName, t.source) != 0)
                continue;
            ++mapped;
            EXPECT_EQ(t.type, c->SourceType) << "column " << dbtest::Narrow(t.source);
            if (t.type == ATTR_TEXT) {
                EXPECT_TRUE(c->SourceSize > 0 && c->SourceSize <= 255) << dbtest::Narrow(t.source) << " " << c->SourceSize;
            }
            c->TargetGroup = t.group;
            wcscpy(c->TargetColumn, t.column);
            if (t.caption)
                wcscpy(c->TargetName, t.caption);
            c->TargetType = t.into >= 0 ? t.into : t.type;
            c->LevelIndex = t.level;
        }
    }
    EXPECT_EQ(import.targets.size(), mapped);
    RecordingSink sink;
    sink.cancelAtPercent = import.cancelAtPercent;
    ImportOutcome outcome = RunImportFrame(&job, &sink);
    FreeImportJob(&job);
    std::string log;
    for (const std::wstring& file : logs.Logs())
        log += wintest::ReadFileBytes(file);
    std::wstring said;
    for (const wintest::MsgBoxRecorder::Box& box : boxes.Boxes())
        said += box.text + L"\n";
    return {outcome, sink.errorsLogged, log, said + importtest::FromCodePage(log)};
}

std::wstring FieldOfCaption(const std::wstring& db, const std::wstring& caption)
{
    return dbtest::First(db, L"SELECT FIELDNAME FROM CUSTOMATTRIBUTES WHERE TABLENAME = 'ZORNACOLLS' AND CAPTION = '" +
                                 caption + L"'");
}

// The values of a new record attribute in the records made after `lastId`, in their order, each as
// "type:value" (reals with four decimals, so that dates read as their day and time).
std::wstring NewValues(const std::wstring& db, const wchar_t* caption, long long lastId)
{
    std::wstring field = FieldOfCaption(db, caption);
    return dbtest::First(db, L"SELECT group_concat(V, '|') FROM (SELECT typeof(" + field + L") || ':' || CASE typeof(" +
                                 field + L") WHEN 'real' THEN printf('%.4f', " + field + L") ELSE ifnull(" + field +
                                 L", '') END AS V FROM ZORNACOLLS WHERE ID > " + std::to_wstring(lastId) + L" ORDER BY ID)");
}

// What a committed import must have written: the number of new records and, per check, the
// query's first value or the values of a new attribute's column (NewValues). A query names the
// first new record's id as {ID} and a new attribute's column by its caption in brackets.
struct Check {
    const wchar_t* captionOrSql;
    const wchar_t* expected;
    bool sql;
};

std::wstring CheckQuery(const std::wstring& db, std::wstring sql, long long lastId)
{
    size_t at = sql.find(L"{ID}");
    if (at != std::wstring::npos)
        sql.replace(at, 4, std::to_wstring(lastId + 1));
    for (size_t open; (open = sql.find(L'[')) != std::wstring::npos;) {
        size_t close = sql.find(L']', open);
        sql.replace(open, close - open + 1, FieldOfCaption(db, sql.substr(open + 1, close - open - 1)));
    }
    return sql;
}

struct ImportCase {
    const char* name;
    std::function<bool(const wintest::ScopedTempFolder&, const std::wstring& db, TableImport*)> prepare;
    const wchar_t* trigger;
    ImportOutcome outcome;
    long long newRecords;
    std::vector<Check> checks;
    int errors = 0;  // entries the run logs
    std::vector<std::string> logged = {};  // what the log holds (parts in plain ASCII)
    int diskPages = -1;  // a full disk (a box or the log says so): the pages the file may still grow by
};

// Imports each case into its own copy of the sample database; a cancel or a failure must leave the
// file as it was, a committed run must leave what the checks say.
void RunCases(const std::vector<ImportCase>& cases)
{
    for (const ImportCase& c : cases) {
        SCOPED_TRACE(c.name);
        SampleCopy copy;
        const std::wstring& db = copy.Path();
        wintest::ScopedTempFolder folder(L"tableimport");
        TableImport import;
        if (!c.prepare(folder, db, &import))
            continue;  // its file is not there
        if (c.trigger) {
            ASSERT_TRUE(dbtest::Exec(db, c.trigger));
        }
        long long records = dbtest::QueryInt(db, L"SELECT COUNT(*) FROM ZORNACOLLS");
        long long lastId = dbtest::QueryInt(db, L"SELECT MAX(ID) FROM ZORNACOLLS");
        std::wstring before = DumpDatabase(db);
        int room = zdata::SetPageLimitForTests(c.diskPages);
        Outcome result = RunTableImport(db, import);
        zdata::SetPageLimitForTests(room);
        EXPECT_EQ(c.outcome, result.outcome);
        if (c.outcome != IMPORT_COMMITTED) {
            bool diskFull = result.said.find(L"Na disku s databází není dost místa") != std::wstring::npos;
            EXPECT_TRUE(c.diskPages < 0 || diskFull) << dbtest::Narrow(result.said);
            EXPECT_TRUE(before == DumpDatabase(db));
            continue;
        }
        EXPECT_EQ(records + c.newRecords, dbtest::QueryInt(db, L"SELECT COUNT(*) FROM ZORNACOLLS"));
        EXPECT_EQ(c.errors, result.errors);
        for (const std::string& part : c.logged)
            EXPECT_NE(std::string::npos, result.log.find(part)) << part << " not in the log:\n" << result.log;
        for (const Check& check : c.checks) {
            std::wstring got;
            if (check.sql) {
                got = dbtest::First(db, CheckQuery(db, check.captionOrSql, lastId));
            } else {
                got = NewValues(db, check.captionOrSql, lastId);
            }
            EXPECT_EQ(std::wstring(check.expected), got) << dbtest::Narrow(check.captionOrSql);
        }
    }
}

const wchar_t* const kFailOnLocality =
    L"CREATE TRIGGER ZOR_TEST BEFORE INSERT ON LOCTREE WHEN NEW.NAME = 'Jiné Místo' "
    L"BEGIN SELECT RAISE(ROLLBACK, 'zkouška'); END";
const wchar_t* const kFailOnRecord =
    L"CREATE TRIGGER ZOR_TEST BEFORE INSERT ON ZORNACOLLS BEGIN SELECT RAISE(ROLLBACK, 'zkouška'); END";

TEST(TableImport, ASheetsRowsBecomeRecordsOrNothingAtAll)
{
    const std::vector<std::vector<std::wstring>> four = {
        {L"Carabus novus Novák, 1901", L"Nové Místo", L"první"},
        {L"Carabus novus", L"Nové Místo", L"druhý"},
        {L"Carabus alter", L"Jiné Místo", L"třetí"},
        {L"Carabus tertius", L"Třetí Místo", L"čtvrtý"},
    };
    std::vector<std::vector<std::wstring>> many;
    for (int i = 1; i <= 2000; ++i)
        many.push_back({L"Carabus novus", L"Místo " + std::to_wstring(i), L"nález " + std::to_wstring(i)});
    auto sheet = [](int cancelAt, const std::vector<std::vector<std::wstring>>& rows) {
        return [cancelAt, rows](const wintest::ScopedTempFolder& folder, const std::wstring&, TableImport* import) {
            import->sourceType = IMPSRC_EXCEL;
            import->file = folder.File(L"nálezy.xls");
            MakeBook(import->file, rows);
            import->table = L"Nálezy";
            import->targets = {{L"Druh", COLGROUP_SPECIES, L"NAME", ATTR_TEXT, nullptr},
                               {L"Lokalita", COLGROUP_FEATURES, L"NAME", ATTR_TEXT, nullptr},
                               {L"Poznámka", COLGROUP_RECORDS, L"RECNOTE", ATTR_TEXT, nullptr}};
            import->cancelAtPercent = cancelAt;
            return !::testing::Test::HasFatalFailure();
        };
    };
    std::vector<Check> checks = {
        {L"SELECT COUNT(*) FROM SPECIES WHERE NAME = 'Carabus novus' AND AUTHOR = 'Novák'", L"1", true},
        {L"SELECT COUNT(*) FROM LOCTREE WHERE NAME = 'Nové Místo'", L"1", true},
        {L"SELECT COUNT(*) FROM ZORNACOLLS Z JOIN LOCTREE L ON L.ID = Z.FTRID WHERE L.NAME = 'Nové Místo'", L"2", true},
        {L"SELECT group_concat(RECNOTE, ',') FROM ZORNACOLLS WHERE ID >= {ID}", L"první,druhý,třetí,čtvrtý", true},
    };
    // A date mapped onto the count, a fraction into a whole number and a text longer than its
    // column: each refused and logged with its column, the rest of the row imported.
    auto unfit = [](const wintest::ScopedTempFolder& folder, const std::wstring&, TableImport* import) {
        import->sourceType = IMPSRC_EXCEL;
        import->file = folder.File(L"nálezy.xls");
        tabletest::WriteBook(import->file, L"Nálezy",
                             {{L"Druh", L"Lokalita", L"Kdy", L"Kusů", L"Sběratel"},
                              {L"Carabus novus", L"Nové Místo", tabletest::Cell::Date(37012), 3.7, std::wstring(65, L'x')},
                              {L"Carabus novus", L"Nové Místo", tabletest::Cell::Date(37013), 2.0, L"Novák"}});
        import->table = L"Nálezy";
        import->targets = {{L"Druh", COLGROUP_SPECIES, L"NAME", ATTR_TEXT, nullptr},
                           {L"Lokalita", COLGROUP_FEATURES, L"NAME", ATTR_TEXT, nullptr},
                           {L"Kdy", COLGROUP_RECORDS, L"POCET", ATTR_DATE, nullptr, ATTR_INTEGER},
                           {L"Kusů", COLGROUP_RECORDS, L"", ATTR_REAL, L"Kusů", ATTR_INTEGER},
                           {L"Sběratel", COLGROUP_RECORDS, L"LEG", ATTR_TEXT, nullptr}};
        return !::testing::Test::HasFatalFailure();
    };
    RunCases({
        {"committed", sheet(-1, four), nullptr, IMPORT_COMMITTED, 4, checks},
        {"values the target cannot hold", unfit, nullptr, IMPORT_COMMITTED, 2,
         {{L"SELECT group_concat(ifnull(POCET, '-') || ',' || ifnull(LEG, '-'), ';') FROM ZORNACOLLS WHERE ID >= {ID}",
           L"-,-;-,Novák", true},
          {L"Kusů", L"null:|integer:2", false}},
         4, {"sloupce POCET nelze p", "sloupce LEG nelze p", " 64 zn"}},
        {"cancel", sheet(40, four), nullptr, IMPORT_CANCELLED, 0, {}},
        {"rollback", sheet(-1, four), kFailOnLocality, IMPORT_FAILED, 0, {}},
        {"full disk", sheet(-1, many), nullptr, IMPORT_FAILED, 0, {}, 0, {}, 25},
    });
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

// An Access table mapped onto new record attributes of the kinds the driver offers its columns as;
// the records go to the sample's first taxon and locality, or to a locality named by a column.
// Texts of one length: the first is replaced by the second wherever the file stores it in
// two-byte characters (values, table and column names).
typedef std::vector<std::pair<std::wstring, std::wstring>> Renames;

// The eight bytes of a date (an OLE date, as Access stores it) as a text of four two-byte units,
// for renames of a date's value.
std::wstring DateBytes(double date)
{
    std::wstring units(4, L'\0');
    memcpy(&units[0], &date, sizeof date);
    return units;
}

// With renames, a changed copy of the file is read.
std::function<bool(const wintest::ScopedTempFolder&, const std::wstring&, TableImport*)> AccessTable(
    const wchar_t* file, const wchar_t* table, std::vector<Target> targets, bool fixedLocality, int cancelAt = -1,
    Renames renames = {})
{
    return [=](const wintest::ScopedTempFolder& folder, const std::wstring& db, TableImport* import) {
        import->sourceType = IMPSRC_ACCESS;
        import->file = accessfixtures::Path(file);
        if (import->file.empty())
            return false;
        if (!renames.empty()) {
            std::string bytes = ReadFileBytes(import->file);
            for (const auto& rename : renames) {
                std::string from((const char*)rename.first.data(), rename.first.size() * 2);
                std::string to((const char*)rename.second.data(), rename.second.size() * 2);
                size_t at = bytes.find(from);
                EXPECT_NE(std::string::npos, at);
                for (; at != std::string::npos; at = bytes.find(from, at))
                    bytes.replace(at, to.size(), to);
            }
            import->file = folder.File(L"upraveno.mdb");
            WriteFileBytes(import->file, bytes);
        }
        import->table = table;
        import->targets = targets;
        import->sysTarget = (int)dbtest::QueryInt(db, L"SELECT MIN(SYSID) FROM SPECIES");
        if (fixedLocality)
            import->locTarget = (int)dbtest::QueryInt(db, L"SELECT MIN(LOCID) FROM FEATURES");
        import->cancelAtPercent = cancelAt;
        return true;
    };
}

TEST(TableImport, AnAccessTablesRowsBecomeTypedRecordsOrNothingAtAll)
{
    if (accessfixtures::Path(L"testV2000.mdb").empty())
        GTEST_SKIP() << "no Access fixtures";
    // Each Jet column kind: text, byte, integer, long, double, date, currency, yes/no; Czech letters
    // put into a copy where the file keeps a text in two-byte characters.
    const std::vector<Target> everyKind = {
        {L"A", COLGROUP_RECORDS, L"", ATTR_TEXT, L"Přístup text"},
        {L"B", COLGROUP_RECORDS, L"", ATTR_TEXT, L"Přístup text 2"},
        {L"C", COLGROUP_RECORDS, L"", ATTR_INTEGER, L"Přístup bajt"},
        {L"D", COLGROUP_RECORDS, L"", ATTR_INTEGER, L"Přístup celé"},
        {L"E", COLGROUP_RECORDS, L"", ATTR_INTEGER, L"Přístup dlouhé"},
        {L"F", COLGROUP_RECORDS, L"", ATTR_REAL, L"Přístup reálné"},
        {L"G", COLGROUP_RECORDS, L"", ATTR_DATE, L"Přístup datum"},
        {L"H", COLGROUP_RECORDS, L"", ATTR_REAL, L"Přístup měna"},
        {L"I", COLGROUP_RECORDS, L"", ATTR_BOOLEAN, L"Přístup ano/ne"},
    };
    // Memo, a pound sign, a date with its time, and NULLs of a memo, a date and a long.
    const std::vector<Target> project = {
        {L"PROJ_NAME", COLGROUP_FEATURES, L"NAME", ATTR_TEXT, nullptr},
        {L"PROJ_PROP_AUTHOR", COLGROUP_RECORDS, L"", ATTR_LONG_TEXT, L"Autor projektu"},
        {L"PROJ_PROP_CATEGORY", COLGROUP_RECORDS, L"", ATTR_LONG_TEXT, L"Kategorie"},
        {L"PROJ_OPT_CURRENCY_SYMBOL", COLGROUP_RECORDS, L"", ATTR_TEXT, L"Měna"},
        {L"PROJ_INFO_CURRENT_DATE", COLGROUP_RECORDS, L"", ATTR_DATE, L"Dnes"},
        {L"PROJ_INFO_STATUS_DATE", COLGROUP_RECORDS, L"", ATTR_DATE, L"Stav ke dni"},
        {L"PROJ_TYPE", COLGROUP_RECORDS, L"", ATTR_INTEGER, L"Typ"},
        {L"PROJ_OPT_CALC_ACT_COSTS", COLGROUP_RECORDS, L"", ATTR_BOOLEAN, L"Počítat"},
        {L"PROJ_IS_RES_POOL", COLGROUP_RECORDS, L"", ATTR_BOOLEAN, L"Fond"},
    };
    // A table named by a reserved word, with deleted rows; overflow rows with empty cells; a table and
    // a column renamed in a copy to Czech names with blanks.
    const std::vector<Target> deleted = {{L"a", COLGROUP_RECORDS, L"RECNOTE", ATTR_TEXT, nullptr},
                                         {L"b", COLGROUP_RECORDS, L"", ATTR_TEXT, L"Druhý sloupec"}};
    const std::vector<Target> overflow = {{L"data1", COLGROUP_RECORDS, L"RECNOTE", ATTR_TEXT, nullptr},
                                          {L"data9", COLGROUP_RECORDS, L"", ATTR_TEXT, L"Devátý"}};
    RunCases({
        {"every kind", AccessTable(L"testV2000.mdb", L"Table1", everyKind, true), nullptr, IMPORT_COMMITTED, 2,
         {{L"Přístup text", L"text:abcdefg|text:a", false},
          {L"Přístup text 2", L"text:hijklmnop|text:b", false},
          {L"Přístup bajt", L"integer:2|integer:0", false},
          {L"Přístup celé", L"integer:222|integer:0", false},
          {L"Přístup dlouhé", L"integer:333333333|integer:0", false},
          {L"Přístup reálné", L"real:444.5550|real:0.0000", false},
          {L"Přístup datum", L"integer:27293|integer:29932", false},
          {L"Přístup měna", L"real:3.5000|real:0.0000", false},
          {L"Přístup ano/ne", L"integer:-1|integer:0", false}}},
        {"Czech text", AccessTable(L"testV2000.mdb", L"Table1", everyKind, true, -1, {{L"hijklmnop", L"žluťoučký"}}),
         nullptr, IMPORT_COMMITTED, 2, {{L"Přístup text 2", L"text:žluťoučký|text:b", false}}},
        {"memo, pound, NULLs",
         AccessTable(L"test2V2000.mdb", L"MSP_PROJECTS", project, false), nullptr, IMPORT_COMMITTED, 1,
         {{L"SELECT L.NAME FROM ZORNACOLLS Z JOIN LOCTREE L ON L.ID = Z.FTRID WHERE Z.ID >= {ID}", L"Project1", true},
          {L"SELECT length([Autor projektu]) || ':' || substr([Autor projektu], 1, 24) FROM ZORNACOLLS WHERE ID >= {ID}",
           L"348:Jon Iles this is a a vaw", true},
          {L"Kategorie", L"null:", false},
          {L"Měna", L"text:£", false},
          {L"Dnes", L"real:38751.3333", false},
          {L"Stav ke dni", L"null:", false},
          {L"Typ", L"null:", false},
          {L"Počítat", L"integer:-1", false},
          {L"Fond", L"integer:0", false}}},
        {"reserved table name, deleted rows", AccessTable(L"delTestV2000.mdb", L"Table", deleted, true), nullptr,
         IMPORT_COMMITTED, 2,
         {{L"SELECT group_concat(RECNOTE, ',') FROM ZORNACOLLS WHERE ID >= {ID}", L"z,v", true},
          {L"Druhý sloupec", L"text:y|text:u", false}}},
        {"overflow rows", AccessTable(L"overflowTestV2000.mdb", L"Table1", overflow, true), nullptr,
         IMPORT_COMMITTED, 5,
         {{L"SELECT group_concat(ifnull(RECNOTE, '-'), ',') FROM ZORNACOLLS WHERE ID >= {ID}",
           L"row1col1,row2col1,row4col1,row7col1,-", true},
          {L"Devátý", L"null:|null:|null:|null:|text:row3col9", false}}},
        {"Czech names with blanks",
         AccessTable(L"overflowTestV2000.mdb", L"Sběr 1", {{L"Poč 9", COLGROUP_RECORDS, L"RECNOTE", ATTR_TEXT, nullptr}},
                     true, -1, {{L"Table1", L"Sběr 1"}, {L"data9", L"Poč 9"}}),
         nullptr, IMPORT_COMMITTED, 1, {{L"SELECT RECNOTE FROM ZORNACOLLS WHERE ID >= {ID}", L"row3col9", true}}},
        {"kinds the target cannot hold",
         AccessTable(L"testV2000.mdb", L"Table1",
                     {{L"A", COLGROUP_RECORDS, L"", ATTR_TEXT, L"Text jako číslo", ATTR_INTEGER},
                      {L"B", COLGROUP_RECORDS, L"", ATTR_TEXT, L"Text jako datum", ATTR_DATE},
                      {L"E", COLGROUP_RECORDS, L"", ATTR_INTEGER, L"Dlouhé"}},
                     true),
         nullptr, IMPORT_COMMITTED, 2,
         {{L"Text jako číslo", L"null:|null:", false},
          {L"Text jako datum", L"null:|null:", false},
          {L"Dlouhé", L"integer:333333333|integer:0", false}},
         4},
        // Species and localities named by units the sample does not have: the rows go to the
        // fallbacks, each name not found logged, with their dates.
        {"names not found",
         AccessTable(L"testV2000.mdb", L"Table1",
                     {{L"A", COLGROUP_SYSTREE, L"NAME", ATTR_TEXT, nullptr, -1, 3},
                      {L"B", COLGROUP_LOCTREE, L"NAME", ATTR_TEXT, nullptr, -1, 2},
                      {L"G", COLGROUP_RECORDS, L"DATUM", ATTR_DATE, nullptr}},
                     true),
         nullptr, IMPORT_COMMITTED, 2,
         {{L"SELECT group_concat(date(DATUM + 2415018.5)) FROM ZORNACOLLS WHERE ID >= {ID}", L"1974-09-21,1981-12-12", true},
          {L"SELECT COUNT(*) FROM ZORNACOLLS WHERE ID >= {ID} AND SYSID = (SELECT MIN(SYSID) FROM SPECIES) "
           L"AND FTRID = (SELECT MIN(LOCID) FROM FEATURES)",
           L"2", true}},
         4},
        // The driver gives the text "1900-01-00 00:00:00" for a date before 1900: the value is
        // left empty and logged with its column, never taken for 31 December 1899 (which it
        // gives as it is); the run's end says how many there were.
        {"dates the driver cannot give",
         AccessTable(L"testV2000.mdb", L"Table1", everyKind, true, -1,
                     {{DateBytes(27293), DateBytes(1)}, {DateBytes(29932), DateBytes(-728)}}),
         nullptr, IMPORT_COMMITTED, 2, {{L"Přístup datum", L"integer:1|null:", false}}, 2,
         {"Hodnotu sloupce G nelze p", ": 1."}},
        {"cancel", AccessTable(L"testV2000.mdb", L"Table1", everyKind, true, 40), nullptr, IMPORT_CANCELLED, 0, {}},
        {"rollback", AccessTable(L"testV2000.mdb", L"Table1", everyKind, true), kFailOnRecord, IMPORT_FAILED, 0, {}},
        {"full disk", AccessTable(L"testV2000.mdb", L"Table1", everyKind, true), nullptr, IMPORT_FAILED, 0, {}, 0, {},
         0},
    });
}

}  // namespace
