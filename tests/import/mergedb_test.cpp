// Merging an older database into the open one, without the wizard: generated sources of the
// older and the current layout merged into copies of the sample, the files compared with plain
// SQL afterwards. What must hold: the source is never changed; a second merge adds its records
// again and nothing else; records keep their attributes, level paths and publications whatever
// the two files' column orders; new items take their places, labels and references; what cannot
// be mapped is logged and the rest still imports; a cancel or a failure leaves the file as it was.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "import/impsource.h"
#include "import/importrun.h"
#include "import/mergesource.h"
#include "tools/testkit/rawodbc.h"
#include "import/structtransfer.h"
#include "tools/oldersample/olderdb.h"
#include "resources/tarnix/resource.h"
#include "tests/support/wintest.h"
#include "tests/structure/tarnixtest.h"
#include "tests/import/testimpsource.h"

namespace {

using namespace tarnixtest;
using importtest::LogFolder;
using importtest::RecordingSink;

// A generated source in a folder of the test, removed with it.
class OlderSource {
public:
    explicit OlderSource(const zor::OlderDbOptions& options, const std::function<void(const std::wstring&)>& edit = nullptr)
        : folder_(dbtest::TestFolderName("tarnix_merge_src_").c_str())
    {
        path_ = folder_.File(L"Starší databáze.mdb");
        std::wstring error;
        EXPECT_TRUE(zor::CreateOlderDatabase(path_, options, &error)) << dbtest::Narrow(error);
        if (edit)
            edit(path_);
    }
    const std::wstring& Path() const { return path_; }

private:
    wintest::ScopedTempFolder folder_;
    std::wstring path_;
};

zor::OlderDbOptions Options(int records, bool older, bool renamed)
{
    zor::OlderDbOptions options;
    options.sample.records = records;
    options.sample.seed = 23;  // the seed of the tests' target sample: the trees overlap
    options.olderLayout = older;
    options.renamedHalf = renamed;
    return options;
}

// One merge of the source into the target file, as the import command runs it.
ImportOutcome Merge(const std::wstring& target, const std::wstring& source, RecordingSink* sink)
{
    LoadedStructure s(target);
    EXPECT_NO_FATAL_FAILURE(s.Open());
    ImportJob job;
    InitImportJob(&job, &s.Db(), &s.Model());
    SetImportSourceCreator(IMPSRC_DATABASE_2010, CreateDb2010Source);
    SelectImportSourceType(&job, Inst(), IMPSRC_DATABASE_2010);
    EXPECT_TRUE(job.Source != nullptr);
    ImportOutcome outcome = IMPORT_FAILED;
    if (job.Source && OpenImportSource(&job, source.c_str())) {
        LoadStringW(Inst(), IDS_I_LOG_LINE, job.Source->LinePrefix, 64);
        LoadStringW(Inst(), IDS_I_LOG_SOURCE, job.Source->SourcePrefix, 32);
        LoadStringW(Inst(), IDS_I_LOG_DESCRIPTION, job.Source->DescPrefix, 32);
        MapGroupsAutomatically(&job);
        outcome = RunImportFrame(&job, sink);
    } else {
        ADD_FAILURE() << "the source does not open";
    }
    FreeImportJob(&job);
    EXPECT_TRUE(s.Db().Close());
    return outcome;
}

long long Count(const std::wstring& path, const wchar_t* table)
{
    return dbtest::QueryInt(path, std::wstring(L"SELECT COUNT(*) FROM ") + table);
}

std::set<std::wstring> Column(const std::wstring& path, const std::wstring& sql)
{
    std::set<std::wstring> values;
    for (const auto& row : dbtest::Query(path, sql))
        values.insert(row[0]);
    return values;
}

const wchar_t* const kMatchedTables[] = {L"SYSTREE", L"LOCTREE", L"SPECIES", L"FEATURES", L"LITERATURE",
                                         L"LITAUTHORS", L"EDITORS", L"JOURNALS", L"KEYWORDS", L"SYSAUTHORS"};

// ---- tests ----

TEST(MergeDb, OpenRefusesWhatIsNoSourceAndOffersOneGroupPerAttributeList)
{
    OlderSource good(Options(300, true, false));
    SampleCopy target;
    wintest::ScopedTempFolder folder(dbtest::TestFolderName("tarnix_merge_bad_").c_str());
    auto write = [&](const wchar_t* name, const std::string& bytes) {
        std::wstring path = folder.File(name);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
        CloseHandle(file);
        return path;
    };
    std::wstring text = write(L"text.mdb", "Toto není databáze.\r\n");
    std::wstring jet = write(L"access.mdb", std::string("\0\1\0\0Standard Jet DB\0", 21) + std::string(4000, '\0'));
    std::wstring foreign = folder.File(L"cizí.db");
    {
        zor::RawOdbc raw;  // SQLite, but not the program's
        ASSERT_TRUE(raw.Open(foreign, true) && raw.Exec(L"CREATE TABLE PTACI (JMENO TEXT)"));
    }
    std::wstring onlyLit = folder.File(L"jen literatura.mdb");
    std::wstring noAttrs = folder.File(L"bez atributů.mdb");
    ASSERT_TRUE(CopyFileW(good.Path().c_str(), onlyLit.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(good.Path().c_str(), noAttrs.c_str(), FALSE));
    dbtest::Exec(onlyLit, L"DELETE FROM CUSTOMATTRIBUTES WHERE TABLENAME <> 'LITERATURE'");
    dbtest::Exec(noAttrs, L"DELETE FROM CUSTOMATTRIBUTES");

    LoadedStructure open(target.Path());  // held exclusively, as Tarnix holds the open database
    ASSERT_NO_FATAL_FAILURE(open.Open());
    CImpDB2010Src source(Inst());
    struct Case {
        const char* name;
        std::wstring path;
        bool opens;
        std::vector<int> kinds;
    };
    const Case cases[] = {
        {"missing", folder.File(L"není.mdb"), false, {1, 4}},
        {"text file", text, false, {1, 4}},
        {"genuine Access file", jet, false, {1, 4}},
        {"SQLite without the program's tables", foreign, false, {1, 4}},
        {"the open database itself", target.Path(), false, {1, 4}},
        {"older layout", good.Path(), true, {1, 4, 2, 5, 3, 6, 7, 8}},
        {"the same file again", good.Path(), true, {1, 4, 2, 5, 3, 6, 7, 8}},
        {"attributes on literature only", onlyLit, true, {1, 4, 8}},
        {"no attributes", noAttrs, true, {1, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.opens, source.Open(c.path.c_str()));
        ASSERT_EQ((int)c.kinds.size(), source.GetGroupCount());
        for (int g = 1; g <= source.GetGroupCount(); ++g) {
            EXPECT_EQ(c.kinds[(size_t)g - 1], source.GetGroupKind(g));
            EXPECT_EQ(IDS_I_GROUP_CAPTION_BASE + c.kinds[(size_t)g - 1], source.GetGroupCaptionId(g));
        }
        // Outside the groups nothing is offered and a list stays empty.
        for (int g : {0, -1, source.GetGroupCount() + 1}) {
            CPtrArray list(PTRARRAY_BORROWS, 4, 4);
            EXPECT_EQ(0, source.GetGroupKind(g));
            EXPECT_EQ(0, source.FillGroup(g, &list, nullptr));
            EXPECT_EQ(0, list.GetCount());
        }
        if (!c.opens)
            continue;
        // A second open starts from an empty model: the levels are listed once.
        EXPECT_EQ(dbtest::QueryInt(c.path, L"SELECT COUNT(*) FROM SYSDEF WHERE LEVELID > 0"),
                  source.SourceModel.Lists[MODEL_SYS_LEVELS].Count);
        // The older attribute table has no bounds: the attributes come with empty ones.
        for (int list = MODEL_SYSTREE_ATTRS; list <= MODEL_LITERATURE_ATTRS; ++list)
            for (int i = 0; i < source.SourceModel.Lists[list].Count; ++i)
                EXPECT_TRUE(AttrAt(&source.SourceModel.Lists[list], i)->MinVal.vt <= VT_NULL);
    }
}

struct VariantCase {
    const char* name;
    bool older, renamed, twoColumns, lateLevel, everyType, noRecords;
};

TEST(MergeDb, SecondMergeAddsTheRecordsAgainAndNothingElse)
{
    const VariantCase cases[] = {
        {"older layout, every attribute type, late level", true, true, false, true, true, false},
        {"current layout", false, true, false, false, false, false},
        {"two-column author and publisher tables", true, true, true, false, false, false},
        {"no records: the literature still comes", true, true, false, false, false, true},
    };
    for (const VariantCase& c : cases) {
        SCOPED_TRACE(c.name);
        zor::OlderDbOptions options = Options(400, c.older, c.renamed);
        options.twoColumnNames = c.twoColumns;
        options.lateLevel = c.lateLevel;
        options.everyAttributeType = c.everyType;
        OlderSource source(options, [&](const std::wstring& path) {
            if (c.noRecords)
                dbtest::Exec(path, L"DELETE FROM ZORNACOLLS");
        });
        std::string sourceBytes = wintest::ReadFileBytes(source.Path());
        long long sourceRecords = Count(source.Path(), L"ZORNACOLLS");
        LogFolder logs;
        SampleCopy target;
        long long records = Count(target.Path(), L"ZORNACOLLS");
        long long sysBefore = Count(target.Path(), L"SYSTREE");

        RecordingSink first;
        EXPECT_EQ(IMPORT_COMMITTED, Merge(target.Path(), source.Path(), &first));
        EXPECT_EQ(0, first.errorsLogged);
        EXPECT_EQ(records + sourceRecords, Count(target.Path(), L"ZORNACOLLS"));
        if (c.renamed && !c.noRecords) {
            EXPECT_LT(sysBefore, Count(target.Path(), L"SYSTREE"));  // the renamed half is new
        }
        std::vector<long long> after;
        for (const wchar_t* table : kMatchedTables)
            after.push_back(Count(target.Path(), table));
        // Every publication of the source is in the target now, under its name.
        std::set<std::wstring> targetNames = Column(target.Path(), L"SELECT NAME FROM LITERATURE");
        for (const std::wstring& name : Column(source.Path(), L"SELECT NAME FROM LITERATURE"))
            EXPECT_TRUE(targetNames.count(name)) << dbtest::Narrow(name);
        // Every new record stands on a species and a locality that have their rows.
        EXPECT_EQ(0, dbtest::QueryInt(target.Path(), L"SELECT COUNT(*) FROM ZORNACOLLS Z WHERE Z.ID > " +
                                                         std::to_wstring(records) +
                                                         L" AND (NOT EXISTS (SELECT 1 FROM SPECIES S WHERE S.SYSID = Z.SYSID)"
                                                         L" OR NOT EXISTS (SELECT 1 FROM FEATURES F WHERE F.LOCID = Z.FTRID))"));

        // Records are not matched: they come again, unless the target's unique index over the
        // key attributes refuses them, one log entry each.
        bool keyIndex = dbtest::QueryInt(target.Path(), L"SELECT COUNT(*) FROM sqlite_master WHERE name = 'COLL_INDEX'") > 0;
        RecordingSink second;
        EXPECT_EQ(IMPORT_COMMITTED, Merge(target.Path(), source.Path(), &second));
        EXPECT_EQ(keyIndex ? sourceRecords : 0, second.errorsLogged);
        EXPECT_EQ(records + (keyIndex ? 1 : 2) * sourceRecords, Count(target.Path(), L"ZORNACOLLS"));
        for (size_t t = 0; t < after.size(); ++t)
            EXPECT_EQ(after[t], Count(target.Path(), kMatchedTables[t])) << dbtest::Narrow(kMatchedTables[t]);
        EXPECT_TRUE(dbtest::Query(target.Path(), L"PRAGMA foreign_key_check").empty());
        EXPECT_TRUE(sourceBytes == wintest::ReadFileBytes(source.Path())) << "the source changed";
    }
}

// A condition that holds when a record's path column of every level holds its item's ancestor on
// that level: the ancestors walked up from SYSID (or FTRID) with a recursive query.
std::wstring PathMismatches(bool systematic, int levels, long long firstRecord)
{
    const wchar_t* tree = systematic ? L"SYSTREE" : L"LOCTREE";
    const wchar_t* level = systematic ? L"SYSLEVEL" : L"LOCLEVEL";
    const wchar_t* item = systematic ? L"SYSID" : L"FTRID";
    std::wstring sql = std::wstring(L"WITH RECURSIVE UP(REC, ID, LVL) AS (SELECT Z.ID, Z.") + item + L", T." + level +
                       L" FROM ZORNACOLLS Z JOIN " + tree + L" T ON T.ID = Z." + item + L" WHERE Z.ID >= " +
                       std::to_wstring(firstRecord) + L" UNION ALL SELECT UP.REC, T.PARENT, P." + level + L" FROM UP JOIN " +
                       tree + L" T ON T.ID = UP.ID JOIN " + tree + L" P ON P.ID = T.PARENT WHERE T.PARENT > 0) " +
                       L"SELECT COUNT(*) FROM UP JOIN ZORNACOLLS Z ON Z.ID = UP.REC WHERE ";
    for (int k = 1; k <= levels; ++k)
        sql += (k > 1 ? L" OR " : L"") + std::wstring(L"(UP.LVL = ") + std::to_wstring(k) + L" AND Z." +
               (systematic ? L"SYS_LEVEL_" : L"LOC_LEVEL_") + std::to_wstring(k) + L" IS NOT UP.ID)";
    return sql;
}

TEST(MergeDb, RecordsKeepAttributesPathsAndPublicationsWhateverTheColumnOrder)
{
    // The source has a level added after its record attributes; the target an attribute the
    // source lacks, so the record attributes stand at other positions in each.
    zor::OlderDbOptions options = Options(500, true, true);
    options.lateLevel = true;
    OlderSource source(options);
    LogFolder logs;
    SampleCopy target;
    dbtest::Exec(target.Path(), L"ALTER TABLE ZORNACOLLS ADD NAVIC VARCHAR(20)");
    dbtest::Exec(target.Path(), L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE, ATTRSIZE, KEYFLAG, "
                                L"TABNAME, CAPTION) VALUES ('ZORNACOLLS', 'NAVIC', 0, 4, 20, 0, 'Sběr', 'Návic')");
    long long first = dbtest::QueryInt(target.Path(), L"SELECT MAX(ID) FROM ZORNACOLLS") + 1;

    RecordingSink sink;
    ASSERT_EQ(IMPORT_COMMITTED, Merge(target.Path(), source.Path(), &sink));
    EXPECT_EQ(0, sink.errorsLogged);
    const std::wstring columns =
        L"S.NAME || '|' || L.NAME || '|' || quote(Z.RECNOTE) || '|' || quote(Z.DATUM) || '|' || quote(Z.POCET) || '|' || "
        L"quote(Z.METODA) || '|' || quote(Z.LEG) || '|' || quote(Z.DET) || '|' || quote(Z.DOKLAD) || '|' || "
        L"quote(Z.PRESNOST) || '|' || COALESCE(P.NAME, '-') FROM ZORNACOLLS Z JOIN SYSTREE S ON S.ID = Z.SYSID "
        L"JOIN LOCTREE L ON L.ID = Z.FTRID LEFT JOIN LITERATURE P ON P.ID = Z.LITID ";
    dbtest::Rows expected = dbtest::Query(source.Path(), L"SELECT " + columns + L"ORDER BY Z.ID");
    dbtest::Rows merged = dbtest::Query(target.Path(), L"SELECT " + columns + L"WHERE Z.ID >= " + std::to_wstring(first) +
                                                           L" ORDER BY Z.ID");
    ASSERT_EQ(expected.size(), merged.size());
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(expected[i][0], merged[i][0]) << "record " << i;
    EXPECT_EQ(0, dbtest::QueryInt(target.Path(), L"SELECT COUNT(*) FROM ZORNACOLLS WHERE NAVIC IS NOT NULL"));
    EXPECT_EQ(0, dbtest::QueryInt(target.Path(), PathMismatches(true, 5, first)));
    EXPECT_EQ(0, dbtest::QueryInt(target.Path(), PathMismatches(false, 3, first)));
}

// A title alone does not make the same publication: the first author and the year must agree too
// (a missing one agrees with a missing one). Records keep citing what they cited in the source.
TEST(MergeDb, APublicationIsJoinedOnlyWhenTitleFirstAuthorAndYearAgree)
{
    struct Publication {
        const wchar_t* title;
        const wchar_t* author;  // null: none
        const wchar_t* year;    // SQL literal
    };
    struct Case {
        const char* name;
        Publication source, target;
        bool joined;
    };
    const Case cases[] = {
        {"another first author", {L"Brouci Šumavy", L"Štěpánek", L"1974"}, {L"Brouci Šumavy", L"Beneš", L"1931"}, false},
        {"another year", {L"Pavouci Krkonoš", L"Beneš", L"1981"}, {L"Pavouci Krkonoš", L"Beneš", L"1980"}, false},
        {"a first author only in the source", {L"Ploštice Podyjí", L"Beneš", L"2001"}, {L"Ploštice Podyjí", nullptr, L"2001"}, false},
        {"a year only in the target", {L"Mravenci Pálavy", L"Beneš", L"NULL"}, {L"Mravenci Pálavy", L"Beneš", L"1999"}, false},
        {"another case of the letters", {L"Motýli Pálavy", L"Novák", L"1990"}, {L"MOTÝLI PÁLAVY", L"NOVÁK", L"1990"}, true},
        {"neither author nor year", {L"Vážky Třeboňska", nullptr, L"NULL"}, {L"Vážky Třeboňska", nullptr, L"NULL"}, true},
    };
    // The first author's id, the author added when the file has none of that name.
    auto authorId = [](const std::wstring& path, const wchar_t* name) -> std::wstring {
        if (!name)
            return L"NULL";
        std::wstring quoted = FilterQuote(name);
        dbtest::Exec(path, L"INSERT INTO LITAUTHORS (NAME) SELECT '" + quoted +
                               L"' WHERE NOT EXISTS (SELECT 1 FROM LITAUTHORS WHERE NAME = '" + quoted + L"')");
        return std::to_wstring(dbtest::QueryInt(path, L"SELECT MIN(ID) FROM LITAUTHORS WHERE NAME = '" + quoted + L"'"));
    };
    // What a record cites: the publication's title, first author and year.
    const std::wstring cited = L"SELECT Z.LITID, COALESCE(P.NAME || '|' || COALESCE(A.NAME, '-') || '|' || "
                               L"COALESCE(P.IYEAR, '-'), '-') FROM ZORNACOLLS Z LEFT JOIN LITERATURE P ON P.ID = Z.LITID "
                               L"LEFT JOIN LITAUTHORS A ON A.ID = P.FIRSTAUTHOR ";
    const struct {
        const char* name;
        bool older;
    } layouts[] = {{"older layout, two-column author table", true}, {"current layout", false}};
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.name);
        zor::OlderDbOptions options = Options(500, layout.older, false);
        options.twoColumnNames = layout.older;
        // The source's most cited publications take the cases' titles, authors and years.
        std::map<std::wstring, size_t> caseOfSource;
        OlderSource source(options, [&](const std::wstring& path) {
            dbtest::Rows ids = dbtest::Query(path, L"SELECT LITID FROM ZORNACOLLS WHERE LITID IN (SELECT ID FROM LITERATURE) "
                                                   L"GROUP BY LITID ORDER BY COUNT(*) DESC, LITID LIMIT 6");
            ASSERT_EQ(std::size(cases), ids.size());
            for (size_t k = 0; k < ids.size(); ++k) {
                const Publication& p = cases[k].source;
                ASSERT_TRUE(dbtest::Exec(path, L"UPDATE LITERATURE SET NAME = '" + FilterQuote(p.title) + L"', FIRSTAUTHOR = " +
                                                   authorId(path, p.author) + L", IYEAR = " + p.year + L" WHERE ID = " + ids[k][0]));
                caseOfSource[ids[k][0]] = k;
            }
        });
        LogFolder logs;
        SampleCopy target;
        std::vector<std::wstring> targetIds;
        for (const Case& c : cases) {
            const Publication& p = c.target;
            dbtest::Exec(target.Path(), L"INSERT INTO LITERATURE (NAME, FIRSTAUTHOR, IYEAR) VALUES ('" + FilterQuote(p.title) +
                                            L"', " + authorId(target.Path(), p.author) + L", " + p.year + L")");
            targetIds.push_back(std::to_wstring(dbtest::QueryInt(target.Path(), L"SELECT MAX(ID) FROM LITERATURE")));
        }
        long long first = dbtest::QueryInt(target.Path(), L"SELECT MAX(ID) FROM ZORNACOLLS") + 1;

        RecordingSink sink;
        ASSERT_EQ(IMPORT_COMMITTED, Merge(target.Path(), source.Path(), &sink));
        EXPECT_EQ(0, sink.errorsLogged);
        dbtest::Rows expected = dbtest::Query(source.Path(), cited + L"ORDER BY Z.ID");
        dbtest::Rows merged = dbtest::Query(target.Path(), cited + L"WHERE Z.ID >= " + std::to_wstring(first) + L" ORDER BY Z.ID");
        ASSERT_EQ(expected.size(), merged.size());
        std::vector<size_t> citing(std::size(cases), 0);
        for (size_t i = 0; i < expected.size(); ++i) {
            auto k = caseOfSource.find(expected[i][0]);
            if (k == caseOfSource.end()) {
                ASSERT_EQ(expected[i][1], merged[i][1]) << "record " << i;
                continue;
            }
            const Case& c = cases[k->second];
            SCOPED_TRACE(c.name);
            ++citing[k->second];
            EXPECT_EQ(c.joined, merged[i][0] == targetIds[k->second]) << "record " << i;
            if (!c.joined) {
                EXPECT_EQ(expected[i][1], merged[i][1]) << "record " << i;
            }
        }
        for (size_t k = 0; k < std::size(cases); ++k)
            EXPECT_LT(0u, citing[k]) << cases[k].name;
    }
}

TEST(MergeDb, NewItemsTakeTheirPlacesLabelsAndReferencesAndBadRowsAreLogged)
{
    // Current layout (the locality note is there to copy); one book author of a publication the
    // target lacks points nowhere; a record stands on a taxon without a name and another cites a
    // publication the source does not have.
    long long brokenLit = -1;
    OlderSource source(Options(500, false, true), [&](const std::wstring& path) {
        brokenLit = dbtest::QueryInt(path, L"SELECT LITID FROM BOOKAUTHORS B JOIN LITERATURE L ON L.ID = B.LITID "
                                           L"WHERE L.ID % 2 = 0 GROUP BY LITID HAVING COUNT(*) >= 2 LIMIT 1");
        dbtest::Exec(path, L"UPDATE BOOKAUTHORS SET AUTHORID = 999999 WHERE LITID = " + std::to_wstring(brokenLit) +
                               L" AND AUTHPOS = 1");
        dbtest::Exec(path, L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (900000, 0, 1, 99, NULL)");
        dbtest::Exec(path, L"INSERT INTO ZORNACOLLS (SYSID, FTRID, LITID, RECNOTE) SELECT 900000, FTRID, -1, 'bez jména' "
                           L"FROM ZORNACOLLS LIMIT 1");
        dbtest::Exec(path, L"INSERT INTO ZORNACOLLS (SYSID, FTRID, LITID, RECNOTE) SELECT SYSID, FTRID, 777777, 'bez publikace' "
                           L"FROM ZORNACOLLS LIMIT 1");
        dbtest::Exec(path, L"UPDATE LITERATURE SET JOURNALID = 888888 WHERE ID = (SELECT MIN(ID) FROM LITERATURE WHERE "
                           L"ID % 2 = 0 AND ID <> " + std::to_wstring(brokenLit) + L")");
    });
    ASSERT_GT(brokenLit, 0);
    LogFolder logs;
    SampleCopy target;
    long long maxSys = dbtest::QueryInt(target.Path(), L"SELECT MAX(ID) FROM SYSTREE");
    long long maxLoc = dbtest::QueryInt(target.Path(), L"SELECT MAX(ID) FROM LOCTREE");
    long long maxLit = dbtest::QueryInt(target.Path(), L"SELECT MAX(ID) FROM LITERATURE");
    long long records = Count(target.Path(), L"ZORNACOLLS");

    RecordingSink sink;
    ASSERT_EQ(IMPORT_COMMITTED, Merge(target.Path(), source.Path(), &sink));
    const std::wstring t = target.Path();
    // The two bad records and the periodical that is missing are one log entry each; the record
    // without a publication and the publication without its periodical are kept.
    EXPECT_EQ(3, sink.errorsLogged);
    EXPECT_EQ(Count(source.Path(), L"ZORNACOLLS") - 1, Count(t, L"ZORNACOLLS") - records);
    EXPECT_EQ(1, dbtest::QueryInt(t, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE RECNOTE = 'bez publikace' AND LITID = -1"));
    std::vector<std::wstring> files = logs.Logs();
    ASSERT_EQ(1u, files.size());
    std::string log = wintest::ReadFileBytes(files[0]);
    EXPECT_NE(std::string::npos, log.find("900000")) << log;
    EXPECT_NE(std::string::npos, log.find("777777")) << log;
    EXPECT_NE(std::string::npos, log.find("888888")) << log;

    // A new first child is at 1, a new child of a parent with children after the last one.
    std::wstring newSys = L" FROM SYSTREE S WHERE S.ID > " + std::to_wstring(maxSys);
    EXPECT_EQ(0, dbtest::QueryInt(t, L"SELECT COUNT(*)" + newSys + L" AND S.SYSPOS <> 1 + (SELECT COALESCE(MAX(SYSPOS), 0) "
                                      L"FROM SYSTREE B WHERE B.PARENT = S.PARENT AND B.SYSLEVEL = S.SYSLEVEL AND B.ID < S.ID)"));
    EXPECT_LT(0, dbtest::QueryInt(t, L"SELECT COUNT(*)" + newSys + L" AND S.SYSPOS = 1"));
    EXPECT_LT(0, dbtest::QueryInt(t, L"SELECT COUNT(*)" + newSys + L" AND S.SYSPOS > 1"));

    // A new locality: its label composed in the target, its own note and attributes.
    const std::wstring feature = L"SELECT L.NAME || '/' || P.NAME, F.LOCNOTE || '|' || quote(F.BIOTOP) || '|' || "
                                 L"quote(F.POPIS) || '|' || quote(F.LONGITUDE) || '|' || quote(F.SQUARE), F.NAME, L.NAME "
                                 L"FROM FEATURES F JOIN LOCTREE L ON L.ID = F.LOCID JOIN LOCTREE P ON P.ID = L.PARENT ";
    dbtest::Rows added = dbtest::Query(t, feature + L"WHERE F.LOCID > " + std::to_wstring(maxLoc));
    ASSERT_FALSE(added.empty());
    std::map<std::wstring, std::wstring> sourceFeatures;
    for (const auto& row : dbtest::Query(source.Path(), feature))
        sourceFeatures[row[0]] = row[1];
    for (const auto& row : added) {
        EXPECT_EQ(sourceFeatures[row[0]], row[1]) << dbtest::Narrow(row[0]);
        EXPECT_EQ(0u, row[2].find(row[3] + L" (")) << dbtest::Narrow(row[2]);
    }

    // New publications: a periodical's publisher is the publication's; references numbered 1..n.
    std::wstring newLit = std::to_wstring(maxLit);
    EXPECT_LT(0, dbtest::QueryInt(t, L"SELECT COUNT(*) FROM LITERATURE WHERE ID > " + newLit + L" AND JOURNALID IS NOT NULL"));
    EXPECT_EQ(0, dbtest::QueryInt(t, L"SELECT COUNT(*) FROM LITERATURE L JOIN JOURNALS J ON J.ID = L.JOURNALID WHERE L.ID > " +
                                         newLit + L" AND L.EDITOR IS NOT J.EDITORID"));
    const std::pair<const wchar_t*, const wchar_t*> refs[] = {
        {L"BOOKAUTHORS", L"AUTHPOS"}, {L"LITKEYWORDSREFS", L"REFPOS"}, {L"LITSYSREFS", L"REFPOS"}, {L"LITLOCREFS", L"REFPOS"}};
    for (const auto& r : refs) {
        SCOPED_TRACE(dbtest::Narrow(r.first));
        EXPECT_LT(0, dbtest::QueryInt(t, std::wstring(L"SELECT COUNT(*) FROM ") + r.first + L" WHERE LITID > " + newLit));
        EXPECT_EQ(0, dbtest::QueryInt(t, std::wstring(L"SELECT COUNT(*) FROM (SELECT LITID FROM ") + r.first + L" WHERE LITID > " +
                                             newLit + L" GROUP BY LITID HAVING MIN(" + r.second + L") <> 1 OR MAX(" + r.second +
                                             L") <> COUNT(*))"));
    }
    // The reference that points nowhere is left out, the others keep their order without a gap.
    std::wstring brokenName = dbtest::First(source.Path(), L"SELECT NAME FROM LITERATURE WHERE ID = " + std::to_wstring(brokenLit));
    std::wstring authorsOf = L"SELECT A.NAME FROM BOOKAUTHORS B JOIN LITAUTHORS A ON A.ID = B.AUTHORID JOIN LITERATURE L ON "
                             L"L.ID = B.LITID WHERE L.NAME = '" + FilterQuote(brokenName.c_str()) + L"' ORDER BY B.AUTHPOS";
    dbtest::Rows sourceAuthors = dbtest::Query(source.Path(), authorsOf);
    dbtest::Rows mergedAuthors = dbtest::Query(t, authorsOf);
    EXPECT_EQ(sourceAuthors, mergedAuthors);
    EXPECT_EQ(dbtest::QueryInt(source.Path(), L"SELECT COUNT(*) FROM BOOKAUTHORS WHERE LITID = " + std::to_wstring(brokenLit)) - 1,
              (long long)mergedAuthors.size());
}

// An older file: FEATURES has no note and its attributes follow the square at once, and the
// records view does not open here (dropped): no records, one log entry, the literature still comes
// and the new localities' attributes are read by name.
TEST(MergeDb, OlderLocalitiesKeepTheirAttributesAndAViewThatDoesNotOpenIsLogged)
{
    OlderSource source(Options(300, true, true), [](const std::wstring& path) {
        dbtest::Exec(path, L"DROP VIEW COLLECTVIEW");
        // Localities reach the target through the literature's references only.
        dbtest::Exec(path, L"INSERT INTO LITLOCREFS (LITID, LOCID, REFPOS) SELECT L.ID, (SELECT MAX(F.LOCID) FROM FEATURES F "
                           L"WHERE F.LOCID % 97 = L.ID % 97), 1 FROM LITERATURE L WHERE NOT EXISTS "
                           L"(SELECT 1 FROM LITLOCREFS R WHERE R.LITID = L.ID) AND EXISTS (SELECT 1 FROM FEATURES F "
                           L"WHERE F.LOCID % 97 = L.ID % 97)");
    });
    LogFolder logs;
    SampleCopy target;
    long long records = Count(target.Path(), L"ZORNACOLLS");
    long long maxLoc = dbtest::QueryInt(target.Path(), L"SELECT MAX(ID) FROM LOCTREE");
    RecordingSink sink;
    ASSERT_EQ(IMPORT_COMMITTED, Merge(target.Path(), source.Path(), &sink));
    EXPECT_EQ(1, sink.errorsLogged);
    EXPECT_EQ(records, Count(target.Path(), L"ZORNACOLLS"));
    std::set<std::wstring> targetNames = Column(target.Path(), L"SELECT NAME FROM LITERATURE");
    for (const std::wstring& name : Column(source.Path(), L"SELECT NAME FROM LITERATURE"))
        EXPECT_TRUE(targetNames.count(name)) << dbtest::Narrow(name);
    const std::wstring feature = L"SELECT L.NAME || '/' || P.NAME, quote(F.BIOTOP) || '|' || quote(F.CHRUZEMI) || '|' || "
                                 L"quote(F.POPIS) || '|' || quote(F.SQUARE) FROM FEATURES F JOIN LOCTREE L ON L.ID = F.LOCID "
                                 L"JOIN LOCTREE P ON P.ID = L.PARENT ";
    dbtest::Rows added = dbtest::Query(target.Path(), feature + L"WHERE F.LOCID > " + std::to_wstring(maxLoc));
    ASSERT_FALSE(added.empty());
    std::map<std::wstring, std::wstring> sourceFeatures;
    for (const auto& row : dbtest::Query(source.Path(), feature))
        sourceFeatures[row[0]] = row[1];
    for (const auto& row : added)
        EXPECT_EQ(sourceFeatures[row[0]], row[1]) << dbtest::Narrow(row[0]);
    EXPECT_EQ(0, dbtest::QueryInt(target.Path(), L"SELECT COUNT(*) FROM FEATURES WHERE LOCID > " + std::to_wstring(maxLoc) +
                                                     L" AND LOCNOTE IS NOT NULL"));
}

TEST(MergeDb, CancelOrFailureDuringTheRecordsLeavesTheTargetAsItWas)
{
    OlderSource source(Options(600, true, true));
    struct Case {
        const char* name;
        int cancelAtPercent;
        bool trigger;
        ImportOutcome outcome;
        UINT finish;
    };
    const Case cases[] = {
        {"cancel", 40, false, IMPORT_CANCELLED, IDS_I_IMPORT_CANCELLED},
        {"failure that ends the transaction", -1, true, IMPORT_FAILED, IDS_I_IMPORT_FAILED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogFolder logs;
        SampleCopy target;
        // The hundredth merged record ends the whole transaction, as a full disk would.
        if (c.trigger) {
            ASSERT_TRUE(dbtest::Exec(target.Path(), L"CREATE TRIGGER ZOR_TEST BEFORE INSERT ON ZORNACOLLS WHEN (SELECT COUNT(*) "
                                                    L"FROM ZORNACOLLS) >= " + std::to_wstring(Count(target.Path(), L"ZORNACOLLS") + 100) +
                                                    L" BEGIN SELECT RAISE(ROLLBACK, 'zkouška'); END"));
        }
        std::wstring before = DumpDatabase(target.Path());
        RecordingSink sink;
        sink.cancelAtPercent = c.cancelAtPercent;
        EXPECT_EQ(c.outcome, Merge(target.Path(), source.Path(), &sink));
        EXPECT_EQ(c.finish, sink.finish);
        EXPECT_TRUE(before == DumpDatabase(target.Path())) << "the target changed";
    }
}

}  // namespace
