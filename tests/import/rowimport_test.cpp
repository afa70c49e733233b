// Text files imported row by row into copies of the sample database through the import frame:
// taxa from species citations and unit columns, localities with their squares, publications
// with their authors, records with their attributes; what a bad row logs; and that a cancel or
// a failure leaves the file exactly as it was.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dataaccess/ado.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "import/textsource.h"
#include "resources/tarnix/resource.h"
#include "tests/support/wintest.h"
#include "tests/structure/tarnixtest.h"
#include "tests/import/testimpsource.h"

namespace {

using namespace tarnixtest;
using importtest::LogFolder;
using importtest::RecordingSink;

// Where a column of the file goes: group, target column (a built-in or existing one), tree level.
struct Mapping {
    int group;
    const wchar_t* column;
    int type;
    int level;
    const wchar_t* separator;
};

const Mapping kSkip = {0, L"", 4, -1, L""};
const Mapping kSpecies = {COLGROUP_SPECIES, L"NAME", 4, -1, L""};
const Mapping kLocality = {COLGROUP_FEATURES, L"NAME", 4, -1, L""};
const Mapping kLongitude = {COLGROUP_FEATURES, L"LONGITUDE", 2, -1, L""};
const Mapping kLatitude = {COLGROUP_FEATURES, L"LATITUDE", 2, -1, L""};
const Mapping kNote = {COLGROUP_RECORDS, L"RECNOTE", 6, -1, L""};

// A file written in cp1250, imported with the mappings (one per column); the run's outcome.
struct TextImport {
    explicit TextImport(const std::wstring& db) : structure(db) {}

    ImportOutcome Run(const std::wstring& text, const std::vector<Mapping>& mappings, const wchar_t* separator = L"\t",
                      int sysTarget = -1, int locTarget = -1, int cancelAtPercent = -1)
    {
        std::wstring file = folder.File(L"data.txt");
        importtest::WriteTextFile(file, text);

        EXPECT_NO_FATAL_FAILURE(structure.Open());
        InitImportJob(&job, &structure.Db(), &structure.Model());
        source = new CImpTXTSrc(Inst());
        job.Source = source;
        job.SourceType = IMPSRC_TEXT;
        job.TargetSysId = sysTarget;
        job.TargetLocId = locTarget;
        EXPECT_TRUE(OpenImportSource(&job, file.c_str()));
        job.GroupKinds[0] = source->FillGroup(1, job.GroupItems[0], nullptr);
        TextImportOptions* options = static_cast<TextImportOptions*>(job.GroupItems[0]->GetItems()[0]);
        options->FirstRowHeader = 1;
        wcscpy(options->Separator, separator);
        job.GroupKinds[1] = source->FillGroup(2, job.GroupItems[1], options);
        EXPECT_EQ(mappings.size(), (size_t)job.GroupItems[1]->GetCount());
        for (size_t i = 0; i < mappings.size() && i < (size_t)job.GroupItems[1]->GetCount(); ++i) {
            SourceColumn* c = static_cast<SourceColumn*>(job.GroupItems[1]->GetItems()[i]);
            c->TargetGroup = mappings[i].group;
            wcscpy(c->TargetColumn, mappings[i].column);
            c->TargetType = mappings[i].type;
            c->LevelIndex = mappings[i].level;
            wcscpy(c->ListSeparator, mappings[i].separator);
        }
        // Error entries start with their line number alone; notes with their prefix.
        LoadImportLogPrefixes(source, Inst());
        source->LinePrefix[0] = 0;
        sink.cancelAtPercent = cancelAtPercent;
        ImportOutcome outcome = RunImportFrame(&job, &sink);
        FreeImportJob(&job);
        return outcome;
    }

    LogFolder logs;
    wintest::ScopedTempFolder folder{L"rowimport_text"};
    LoadedStructure structure;
    ImportJob job = {};
    CImpTXTSrc* source = nullptr;
    RecordingSink sink;
};

// The import of a file, with the file closed again before the caller looks into it.
struct Outcome {
    ImportOutcome outcome;
    int errors;        // entries of the log kept
    UINT finish;
    std::wstring log;  // its text (read from the system's code page)
};
Outcome Import(const std::wstring& db, const std::wstring& text, const std::vector<Mapping>& mappings,
               const wchar_t* separator = L"\t", int sysTarget = -1, int locTarget = -1, int cancelAtPercent = -1)
{
    TextImport run(db);
    ImportOutcome outcome = run.Run(text, mappings, separator, sysTarget, locTarget, cancelAtPercent);
    std::wstring log;
    for (const std::wstring& file : run.logs.Logs())
        log += importtest::FromCodePage(wintest::ReadFileBytes(file));
    return {outcome, run.sink.errorsLogged, run.sink.finish, log};
}

long long Count(const std::wstring& db, const std::wstring& sql) { return dbtest::QueryInt(db, sql); }

std::wstring Value(const std::wstring& db, const std::wstring& sql) { return dbtest::First(db, sql); }

TEST(RowImport, SpeciesCitationsAndLocalityTextsBecomeTaxaLocalitiesAndRecords)
{
    SampleCopy copy;
    const std::wstring& db = copy.Path();
    long long records = Count(db, L"SELECT COUNT(*) FROM ZORNACOLLS");
    long long maxSys = Count(db, L"SELECT MAX(ID) FROM SYSTREE");
    Outcome result = Import(db, 
        L"Druh\tLokalita\tDélka\tŠířka\tPoznámka\tNic\r\n"
        L"Xylotrechus zkusmus Novák, 1901\tHorní Dolní (u lesa)\t14,5\t50,1\tprvní\tx\r\n"
        L"Xylotrechus  zkusmus\tHorní Dolní\t14,5\t50,1\tdruhý\tx\r\n"
        L"\r\n"
        L"Xylotrechus\tHorní Dolní\t\t\ttřetí\r\n"
        L"Xylotrechus d'Orbignyi (Müller, 1850)\tStrmá d'Ú\tnevím\t50,2\tčtvrtý\r\n"
        L"\tHorní Dolní\t\t\tbez druhu\r\n",
        {kSpecies, kLocality, kLongitude, kLatitude, kNote, kSkip});
    EXPECT_EQ(IMPORT_COMMITTED, result.outcome);

    // One genus, under no family (a new branch at the genus level), two species under it.
    EXPECT_EQ(1, Count(db, L"SELECT COUNT(*) FROM SYSTREE WHERE NAME = 'Xylotrechus' AND SYSLEVEL = 3"));
    EXPECT_EQ(maxSys + 1, Count(db, L"SELECT ID FROM SYSTREE WHERE NAME = 'Xylotrechus'"));
    EXPECT_EQ(L"Novák|0|1901", Value(db, L"SELECT AUTHOR || '|' || PARENTHES || '|' || IYEAR FROM SPECIES "
                                       L"WHERE NAME = 'Xylotrechus zkusmus'"));
    EXPECT_EQ(L"Müller|-1|1850", Value(db, L"SELECT AUTHOR || '|' || PARENTHES || '|' || IYEAR FROM SPECIES "
                                      L"WHERE NAME = 'Xylotrechus d''Orbignyi'"));
    EXPECT_EQ(1, Count(db, L"SELECT COUNT(*) FROM SPECIES WHERE NAME = 'Xylotrechus zkusmus'"));
    // Localities on the locality level with their squares; the one with an unreadable longitude has none.
    EXPECT_EQ(L"5953A|14.5|50.1", Value(db, L"SELECT F.SQUARE || '|' || F.LONGITUDE || '|' || round(F.LATITUDE, 4) FROM FEATURES F "
                                         L"JOIN LOCTREE L ON L.ID = F.LOCID WHERE L.NAME = 'Horní Dolní'"));
    EXPECT_EQ(1, Count(db, L"SELECT COUNT(*) FROM LOCTREE WHERE NAME = 'Horní Dolní'"));
    EXPECT_EQ(L"|", Value(db, L"SELECT ifnull(F.SQUARE, '') || '|' || ifnull(F.LONGITUDE, '') FROM FEATURES F "
                              L"JOIN LOCTREE L ON L.ID = F.LOCID WHERE L.NAME = 'Strmá d''Ú'"));
    EXPECT_EQ(1, Count(db, L"SELECT COUNT(*) FROM FEATURES WHERE NAME LIKE 'Horní Dolní (%'"));

    // Four records: the empty line and the line without a species make none.
    EXPECT_EQ(records + 4, Count(db, L"SELECT COUNT(*) FROM ZORNACOLLS"));
    const std::wstring none = L"NULLNULLNULLNULLNULL";
    const struct {
        const wchar_t* note;
        const wchar_t* taxon;
        std::wstring unfilled;
    } expected[] = {{L"první", L"Xylotrechus zkusmus", none + L"0"}, {L"druhý", L"Xylotrechus zkusmus", none + L"0"},
                    {L"třetí", L"Xylotrechus", none + L"1"}, {L"čtvrtý", L"Xylotrechus d'Orbignyi", none + L"0"}};
    for (const auto& e : expected) {
        SCOPED_TRACE(dbtest::Narrow(e.note));
        std::wstring taxon = Value(db, std::wstring(L"SELECT S.NAME FROM ZORNACOLLS Z JOIN SYSTREE S ON S.ID = Z.SYSID ") +
                                           L"WHERE Z.RECNOTE = '" + e.note + L"'");
        std::wstring composed = Value(db, std::wstring(L"SELECT ifnull(P.NAME, S.NAME) FROM ZORNACOLLS Z JOIN SYSTREE S ON S.ID = Z.SYSID ") +
                                              L"LEFT JOIN SPECIES P ON P.SYSID = Z.SYSID WHERE Z.RECNOTE = '" + e.note + L"'");
        EXPECT_EQ(e.taxon, composed) << dbtest::Narrow(taxon);
        EXPECT_EQ(L"-1|1", Value(db, std::wstring(L"SELECT LITID || '|' || (SYS_LEVEL_3 = (SELECT ID FROM SYSTREE WHERE NAME = 'Xylotrechus')) ") +
                                      L"FROM ZORNACOLLS WHERE RECNOTE = '" + e.note + L"'"));
        // The levels the path does not reach (no order, family or subspecies; no region or
        // district; no species for the genus alone) hold no item.
        EXPECT_EQ(e.unfilled, Value(db, std::wstring(L"SELECT quote(SYS_LEVEL_1) || quote(SYS_LEVEL_2) || "
                                                     L"quote(SYS_LEVEL_5) || quote(LOC_LEVEL_1) || quote(LOC_LEVEL_2) || ") +
                                            L"(SYS_LEVEL_4 IS NULL) FROM ZORNACOLLS WHERE RECNOTE = '" + e.note + L"'"));
    }
    // Logged: the unreadable longitude, the line without a species, three lines short of a field;
    // and the end says so.
    EXPECT_EQ(5, result.errors);
    EXPECT_EQ(IDS_I_IMPORT_DONE_ERRORS, result.finish);
    EXPECT_EQ(L"Import byl dokončen s 5 chybami. Popisuje je protokol importu, který se otevře po stisknutí OK.",
              ImportStatusText(Inst(), result.finish, result.errors));
}

// What a run with fixed targets starts from: the records there are, a taxon and a locality.
struct FixedTargets {
    explicit FixedTargets(const std::wstring& db)
        : records(Count(db, L"SELECT COUNT(*) FROM ZORNACOLLS")),
          taxon((int)Count(db, L"SELECT MIN(SYSID) FROM SPECIES")),
          locality((int)Count(db, L"SELECT MIN(LOCID) FROM FEATURES"))
    {
    }
    long long records;
    int taxon, locality;
};

TEST(RowImport, RowsGoToWhatTheyNameAndOnlyTheRestToTheFallbacks)
{
    SampleCopy copy;
    const std::wstring& db = copy.Path();
    // A species and a locality of the sample, each of a name no other has, the locality with its
    // district and region; the job's fallbacks are others.
    std::wstring species = Value(db, L"SELECT NAME FROM SPECIES WHERE NAME LIKE '% %' GROUP BY NAME HAVING COUNT(*) = 1 "
                                     L"ORDER BY MIN(SYSID) LIMIT 1");
    dbtest::Rows place = dbtest::Query(
        db, L"SELECT L.ID, L.NAME, O.ID, O.NAME, K.NAME FROM LOCTREE L JOIN LOCTREE O ON O.ID = L.PARENT "
            L"JOIN LOCTREE K ON K.ID = O.PARENT WHERE L.NAME IN (SELECT NAME FROM LOCTREE GROUP BY NAME HAVING COUNT(*) = 1) "
            L"AND L.ID IN (SELECT LOCID FROM FEATURES) AND L.NAME NOT LIKE '%''%' ORDER BY L.ID LIMIT 1");
    ASSERT_FALSE(species.empty());
    ASSERT_EQ(1u, place.size());
    const std::wstring taxon = Value(db, L"SELECT SYSID FROM SPECIES WHERE NAME = '" + species + L"'");
    const std::wstring locality = place[0][0], localityName = place[0][1], district = place[0][2],
                       districtName = place[0][3], region = place[0][4];
    int fallbackTaxon = (int)Count(db, L"SELECT MIN(SYSID) FROM SPECIES WHERE SYSID <> " + taxon);
    int fallbackLocality = (int)Count(db, L"SELECT MIN(LOCID) FROM FEATURES WHERE LOCID <> " + locality);
    const std::wstring fallbackTaxonId = std::to_wstring(fallbackTaxon), fallbackLocalityId = std::to_wstring(fallbackLocality);

    const struct {
        const wchar_t* note;
        std::wstring region, district, locality, species;
        std::wstring taxonId, localityId;
    } rows[] = {
        {L"celá cesta", region, districtName, localityName, species, taxon, locality},
        {L"bez okresu", region, L"", localityName, species, taxon, locality},
        {L"jen lokalita", L"", L"", localityName, L"", fallbackTaxonId, locality},
        {L"neznámý druh", L"", L"", localityName, L"Nonexistus fictus", fallbackTaxonId, locality},
        {L"neznámá lokalita", L"", L"", L"Nikde u Ničeho", species, taxon, fallbackLocalityId},
        {L"neznámý kraj", L"Kraj Nikde", L"", localityName, species, taxon, fallbackLocalityId},
        {L"nic", L"", L"", L"", L"", fallbackTaxonId, fallbackLocalityId},
    };
    std::wstring text = L"Kraj\tOkres\tLokalita\tDruh\tPoznámka\r\n";
    for (const auto& r : rows)
        text += r.region + L"\t" + r.district + L"\t" + r.locality + L"\t" + r.species + L"\t" + r.note + L"\r\n";
    const std::wstring counts = L"SELECT (SELECT COUNT(*) FROM SYSTREE) || '|' || (SELECT COUNT(*) FROM SPECIES) || '|' || "
                                L"(SELECT COUNT(*) FROM LOCTREE) || '|' || (SELECT COUNT(*) FROM FEATURES)";
    std::wstring before = Value(db, counts);
    // The units of the locality tree by level (region, district, locality) and the species level.
    std::vector<Mapping> mappings;
    for (int level : {0, 1, 2})
        mappings.push_back({COLGROUP_LOCTREE, L"NAME", 4, level, L""});
    mappings.push_back({COLGROUP_SYSTREE, L"NAME", 4, 3, L""});
    mappings.push_back(kNote);
    Outcome result = Import(db, text, mappings, L"\t", fallbackTaxon, fallbackLocality);
    EXPECT_EQ(IMPORT_COMMITTED, result.outcome);

    for (const auto& r : rows) {
        SCOPED_TRACE(dbtest::Narrow(r.note));
        EXPECT_EQ(r.taxonId + L"|" + r.localityId,
                  Value(db, std::wstring(L"SELECT SYSID || '|' || FTRID FROM ZORNACOLLS WHERE RECNOTE = '") + r.note + L"'"));
    }
    // The path of a record whose row left the district empty is the locality's own.
    EXPECT_EQ(district, Value(db, L"SELECT LOC_LEVEL_2 FROM ZORNACOLLS WHERE RECNOTE = 'bez okresu'"));
    // Names are only looked up: nothing was made from them. Each name not found is logged.
    EXPECT_EQ(before, Value(db, counts));
    EXPECT_EQ(3, result.errors);
    EXPECT_EQ(L"", TreeFaults(db));
}

// A file imported into a copy of the sample of its own, after the statements of `setup`, and what
// it must leave. A cancel or a failure leaves the file as it was; a committed run adds that many
// records and each query gives its value: in both, {TAXON} and {LOCALITY} are
// the sample's first species and locality (the job's fixed targets) and [caption] the column of
// the attribute of that caption. The entries logged (-1: not counted), the end (0: not looked at)
// and the log's whole text (empty: not looked at) as given.
enum FixedTarget { FIX_NONE, FIX_LOCALITY, FIX_BOTH };
struct FileCase {
    const char* name;
    std::vector<std::wstring> setup;
    std::wstring text;
    std::vector<Mapping> mappings;
    const wchar_t* separator;
    FixedTarget fixed;
    ImportOutcome outcome;
    long long newRecords;
    std::vector<std::pair<std::wstring, std::wstring>> values;
    int errors = -1;
    UINT finish = 0;
    std::wstring log = L"";
    int cancelAt = -1;
    int diskPages = -1;  // a full disk: the pages the file may still grow by
};

std::wstring Filled(const std::wstring& db, std::wstring text, const FixedTargets& t)
{
    for (const auto& name : {std::make_pair(L"{TAXON}", t.taxon), std::make_pair(L"{LOCALITY}", t.locality)})
        for (size_t at; (at = text.find(name.first)) != std::wstring::npos;)
            text.replace(at, wcslen(name.first), std::to_wstring(name.second));
    for (size_t open; (open = text.find(L'[')) != std::wstring::npos;) {
        size_t close = text.find(L']', open);
        text.replace(open, close - open + 1, Value(db, L"SELECT FIELDNAME FROM CUSTOMATTRIBUTES WHERE CAPTION = '" +
                                                           text.substr(open + 1, close - open - 1) + L"'"));
    }
    return text;
}

TEST(RowImport, EachFileLeavesWhatItsRowsSay)
{
    const Mapping created = {COLGROUP_RECORDS, L"", 4, -1, L""};  // a new records attribute
    const Mapping method = {COLGROUP_RECORDS, L"", 5, -1, L""};   // a new value-list attribute
    const Mapping date = {COLGROUP_RECORDS, L"DATUM", 3, -1, L""};
    const wchar_t* const publication = L"L.NAME = 'Brouci d''Orlické hornatiny'";
    const std::wstring fourRows = L"Druh;Lokalita;Poznámka\nCarabus novus;Nové Místo;a\nCarabus novus;Nové Místo;b\n"
                                  L"Carabus alter;Jiné Místo;c\nCarabus tertius;Třetí Místo;d\n";
    std::wstring manyRows = L"Druh;Lokalita;Poznámka\n";
    for (int i = 1; i <= 2000; ++i)
        manyRows += L"Carabus novus;Místo " + std::to_wstring(i) + L";nález " + std::to_wstring(i) + L"\n";
    const std::vector<FileCase> cases = {
        // Unit columns that reach the species level outrank the citation.
        {"units before the citation", {}, L"Rod;Druh;Citace;Poznámka\nPterostichus;zkusmus;Carabus jinus Linné, 1758;a\n"
                                          L"Pterostichus;zkusmus;;b\n",
         {{COLGROUP_SYSTREE, L"NAME", 4, 2, L""}, {COLGROUP_SYSTREE, L"NAME", 4, 3, L""}, kSpecies, kNote}, L";",
         FIX_LOCALITY, IMPORT_COMMITTED, 2,
         {{L"SELECT COUNT(*) FROM SPECIES WHERE NAME LIKE 'Carabus jinus%'", L"0"},
          {L"SELECT ifnull(AUTHOR, '') || '|' || PARENTHES || '|' || IYEAR FROM SPECIES WHERE NAME = 'Pterostichus zkusmus'",
           L"|0|-1"},
          {L"SELECT COUNT(*) FROM ZORNACOLLS Z JOIN SPECIES S ON S.SYSID = Z.SYSID WHERE S.NAME = 'Pterostichus zkusmus' "
           L"AND Z.FTRID = {LOCALITY}",
           L"2"}}},
        {"fixed targets and an empty line", {}, L"Poznámka\r\n\r\njediný\r\n\r\n", {kNote}, L"\t", FIX_BOTH,
         IMPORT_COMMITTED, 1, {{L"SELECT SYSID || '|' || FTRID FROM ZORNACOLLS WHERE RECNOTE = 'jediný'", L"{TAXON}|{LOCALITY}"}},
         0},
        // A line beyond the bound is logged with its number and skipped.
        {"a line beyond the bound", {}, L"Poznámka\r\npřed\r\n" + std::wstring(kTextMaxLine + 1, L'x') + L"\r\npo\r\n",
         {kNote}, L"\t", FIX_BOTH, IMPORT_COMMITTED, 2, {{L"SELECT COUNT(*) FROM ZORNACOLLS WHERE RECNOTE = 'po'", L"1"}}, 1,
         0, L"3\r\n" + ResString(IDS_I_TXT_LINE_TOO_LONG) + L"\r\n"},
        // A publication is made once with its authors; its columns are kept.
        {"a publication", {}, L"Titul|Autoři|Rok|Časopis|Poznámka\n"
                              L"Brouci d'Orlické hornatiny| Zkusil ; Pokusný|2001|Acta Zkoušková|a\n"
                              L"Brouci d'Orlické hornatiny|Jiný|1999|Jiný časopis|b\n"
                              L"|Nikdo|1990||c\n",
         {{COLGROUP_LITERATURE, L"NAME", 4, -1, L""}, {COLGROUP_LITERATURE, L"FIRSTAUTHOR", 4, -1, L";"},
          {COLGROUP_LITERATURE, L"IYEAR", 1, -1, L""}, {COLGROUP_LITERATURE, L"JOURNALID", 4, -1, L""}, kNote},
         L"|", FIX_BOTH, IMPORT_COMMITTED, 3,
         {{L"SELECT L.IYEAR || '|' || J.NAME || '|' || A.NAME FROM LITERATURE L JOIN JOURNALS J ON J.ID = L.JOURNALID "
           L"JOIN LITAUTHORS A ON A.ID = L.FIRSTAUTHOR WHERE " + std::wstring(publication),
           L"2001|Acta Zkoušková|Zkusil"},
          {L"SELECT COUNT(*) FROM LITERATURE L WHERE " + std::wstring(publication), L"1"},
          {L"SELECT group_concat(B.AUTHPOS || ':' || A.NAME) FROM (SELECT * FROM BOOKAUTHORS ORDER BY 3) B "
           L"JOIN LITAUTHORS A ON A.ID = B.AUTHORID JOIN LITERATURE L ON L.ID = B.LITID WHERE " + std::wstring(publication),
           L"1:Zkusil,2:Pokusný"},
          {L"SELECT COUNT(*) FROM ZORNACOLLS Z JOIN LITERATURE L ON L.ID = Z.LITID WHERE " + std::wstring(publication), L"2"},
          {L"SELECT LITID FROM ZORNACOLLS WHERE RECNOTE = 'c'", L"-1"}}},
        // A file without rows keeps its new columns and ends as a run.
        {"no rows", {}, L"Teplota vody\r\n", {created}, L"\t", FIX_NONE, IMPORT_COMMITTED, 0,
         {{L"SELECT COUNT(*) FROM CUSTOMATTRIBUTES WHERE CAPTION = 'Teplota vody'", L"1"}}, 0, IDS_I_IMPORT_DONE},
        // A record the database refuses takes along the taxon, locality and list value made for
        // it; the next line makes them again, and one naming them in another case finds them.
        {"a refused record",
         {L"CREATE TRIGGER ZOR_TEST BEFORE INSERT ON ZORNACOLLS WHEN NEW.RECNOTE = 'odmítnutý' "
          L"BEGIN SELECT RAISE(ABORT, 'zkouška'); END"},
         L"Druh;Lokalita;Poznámka;Metoda\nCarabus novus;Nové Místo;odmítnutý;jen v prvním\n"
         L"Carabus novus;Nové Místo;druhý;ve druhém\nCARABUS NOVUS;NOVÉ MÍSTO;třetí;ve druhém\n",
         {kSpecies, kLocality, kNote, method}, L";", FIX_NONE, IMPORT_COMMITTED, 2,
         {{L"SELECT COUNT(*) FROM SYSTREE WHERE NAME = 'novus'", L"1"},
          {L"SELECT COUNT(*) FROM SPECIES WHERE NAME = 'Carabus novus'", L"1"},
          {L"SELECT COUNT(*) FROM LOCTREE WHERE NAME IN ('Nové Místo', 'NOVÉ MÍSTO')", L"1"},
          {L"SELECT COUNT(*) FROM ZOR_[Metoda] WHERE NAME = 'jen v prvním'", L"0"},
          {L"SELECT COUNT(*) FROM ZOR_[Metoda] WHERE NAME = 've druhém'", L"1"},
          {L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYSID = (SELECT SYSID FROM SPECIES WHERE NAME = 'Carabus novus') AND "
           L"FTRID = (SELECT ID FROM LOCTREE WHERE NAME = 'Nové Místo')",
           L"2"}},
         1},
        // A record the file holds twice: the second is refused by the records' unique index
        // (species, locality and date) and logged as that, in Czech, not as the engine's words.
        {"a record already there", {}, L"Druh;Lokalita;Datum;Poznámka\nCarabus novus;Nové Místo;15.3.2010;první\n"
                                       L"Carabus novus;Nové Místo;15.3.2010;druhý\nCarabus novus;Nové Místo;16.3.2010;třetí\n",
         {kSpecies, kLocality, date, kNote}, L";", FIX_NONE, IMPORT_COMMITTED, 2,
         {{L"SELECT COUNT(*) FROM ZORNACOLLS WHERE RECNOTE = 'druhý'", L"0"}}, 1, IDS_I_IMPORT_DONE_ONE_ERROR,
         L"3\r\n  Nález téhož druhu z téže lokality se stejnou hodnotou pole „Datum nálezu“ už v databázi je; "
         L"řádek nebyl zaveden.\r\n"},
        {"cancel", {}, fourRows, {kSpecies, kLocality, created}, L";", FIX_NONE, IMPORT_CANCELLED, 0, {}, -1,
         IDS_I_IMPORT_CANCELLED, L"", 40},
        {"rollback",
         {L"CREATE TRIGGER ZOR_TEST BEFORE INSERT ON LOCTREE WHEN NEW.NAME = 'Jiné Místo' "
          L"BEGIN SELECT RAISE(ROLLBACK, 'zkouška'); END"},
         fourRows, {kSpecies, kLocality, created}, L";", FIX_NONE, IMPORT_FAILED, 0, {}, -1, IDS_I_IMPORT_FAILED},
        {"full disk", {}, manyRows, {kSpecies, kLocality, created}, L";", FIX_NONE, IMPORT_FAILED, 0, {}, -1,
         IDS_I_IMPORT_FAILED, L"", -1, 25},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        SampleCopy copy;
        const std::wstring& db = copy.Path();
        for (const std::wstring& sql : c.setup)
            ASSERT_TRUE(dbtest::Exec(db, sql)) << dbtest::Narrow(sql);
        const FixedTargets t(db);
        std::wstring before = c.outcome == IMPORT_COMMITTED ? L"" : DumpDatabase(db);
        int room = zdata::SetPageLimitForTests(c.diskPages);
        Outcome result = Import(db, c.text, c.mappings, c.separator, c.fixed == FIX_BOTH ? t.taxon : -1,
                                c.fixed != FIX_NONE ? t.locality : -1, c.cancelAt);
        zdata::SetPageLimitForTests(room);
        EXPECT_EQ(c.outcome, result.outcome);
        if (c.finish) {
            EXPECT_EQ(c.finish, result.finish);
        }
        EXPECT_TRUE(c.diskPages < 0 || result.log.find(L"Na disku s databází není dost místa") != std::wstring::npos)
            << dbtest::Narrow(result.log);
        if (c.outcome != IMPORT_COMMITTED) {
            EXPECT_TRUE(before == DumpDatabase(db)) << "the file changed";
            continue;
        }
        EXPECT_EQ(t.records + c.newRecords, Count(db, L"SELECT COUNT(*) FROM ZORNACOLLS"));
        for (const auto& v : c.values)
            EXPECT_EQ(Filled(db, v.second, t), Value(db, Filled(db, v.first, t))) << dbtest::Narrow(v.first);
        if (c.errors >= 0) {
            EXPECT_EQ(c.errors, result.errors);
        }
        if (!c.log.empty()) {
            EXPECT_EQ(c.log, result.log);
        }
    }
}

// A name that several items of its level (or several species) share: the row takes the first in
// the table's order, and the log says which, under whom, without counting it as an error.
TEST(RowImport, ANameAmongSeveralIsLoggedWithTheOneTaken)
{
    const struct {
        const char* name;
        std::vector<const wchar_t*> setup;  // names an item so, and makes its twin under another parent
        const wchar_t* shared;
        Mapping mapping;
        const wchar_t* takenOf;   // the record's column that holds what it took
        const wchar_t* table;
        const wchar_t* expected;  // the note, %TAKEN% the id taken, %PARENT% its parent's name
    } cases[] = {
        {"locality",
         {L"UPDATE LOCTREE SET NAME = 'Třebovice, meze u cesty' WHERE ID = (SELECT MIN(LOCID) FROM FEATURES)",
          L"INSERT INTO LOCTREE (ID, PARENT, LOCLEVEL, NAME) SELECT (SELECT MAX(ID) + 1 FROM LOCTREE), "
          L"(SELECT MAX(O.ID) FROM LOCTREE O WHERE O.LOCLEVEL = P.LOCLEVEL AND O.ID <> P.ID), I.LOCLEVEL, I.NAME "
          L"FROM LOCTREE I JOIN LOCTREE P ON P.ID = I.PARENT WHERE I.ID = (SELECT MIN(LOCID) FROM FEATURES)",
          L"INSERT INTO FEATURES (LOCID, NAME) SELECT MAX(ID), NAME FROM LOCTREE"},
         L"Třebovice, meze u cesty", kLocality, L"FTRID", L"LOCTREE",
         L"  „Třebovice, meze u cesty“ je na úrovni Lokalita v databázi 2×; řádek je přiřazen k položce ID %TAKEN% "
         L"pod „%PARENT%“."},
        {"species",
         {L"UPDATE SPECIES SET NAME = 'Carabus dvojitus' WHERE SYSID = (SELECT MIN(SYSID) FROM SPECIES)",
          L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) SELECT (SELECT MAX(ID) + 1 FROM SYSTREE), "
          L"(SELECT MAX(O.ID) FROM SYSTREE O WHERE O.SYSLEVEL = P.SYSLEVEL AND O.ID <> P.ID), I.SYSLEVEL, 999, 'dvojitus' "
          L"FROM SYSTREE I JOIN SYSTREE P ON P.ID = I.PARENT WHERE I.ID = (SELECT MIN(SYSID) FROM SPECIES)",
          L"INSERT INTO SPECIES (NAME, SYSID) SELECT 'Carabus dvojitus', MAX(ID) FROM SYSTREE"},
         L"Carabus dvojitus", kSpecies, L"SYSID", L"SYSTREE",
         L"  Druh „Carabus dvojitus“ je v databázi 2×; řádek je přiřazen k druhu ID %TAKEN% pod „%PARENT%“."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SampleCopy copy;
        const std::wstring& db = copy.Path();
        for (const wchar_t* sql : c.setup)
            ASSERT_TRUE(dbtest::Exec(db, sql)) << dbtest::Narrow(sql);
        const FixedTargets t(db);
        Outcome result = Import(db, std::wstring(L"Jméno\tPoznámka\r\n") + c.shared + L"\tdvojče\r\n",
                                {c.mapping, kNote}, L"\t", t.taxon, t.locality);
        EXPECT_EQ(IMPORT_COMMITTED, result.outcome);
        std::wstring taken = Value(db, std::wstring(L"SELECT ") + c.takenOf + L" FROM ZORNACOLLS WHERE RECNOTE = 'dvojče'");
        ASSERT_FALSE(taken.empty());
        std::wstring parent = Value(db, std::wstring(L"SELECT P.NAME FROM ") + c.table + L" I JOIN " + c.table +
                                            L" P ON P.ID = I.PARENT WHERE I.ID = " + taken);
        std::wstring note = c.expected;
        note.replace(note.find(L"%TAKEN%"), 7, taken);
        note.replace(note.find(L"%PARENT%"), 8, parent);
        EXPECT_EQ(L"Upozornění k řádku: 2\r\n" + note + L"\r\n", result.log);
        // The log stays for the viewer; the end reports no error, but points at it.
        EXPECT_EQ(1, result.errors);
        EXPECT_EQ(IDS_I_IMPORT_DONE_NOTES, result.finish);
    }
}

}  // namespace
