// The previous version's exchange files imported headless into copies of the sample: the line
// reader, what each of the three files brings into the trees and the records (found by name or
// made once, points, squares, labels, publications), what a line or a record that does not fit
// logs while everything else stays, and damaged files, a cancel or a failure mid-file leaving
// the database exactly as it was.
#include <windows.h>
#include <gtest/gtest.h>
#include <strsafe.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/msgboxtext.h"
#include "tools/exchangegen/exchangegen.h"
#include "tests/import/exchangetest.h"

namespace {

using namespace exchangetest;
using exgen::FileWriter;
using exgen::LineEnd;

const std::wstring kNoName = L"  Chybí název u některé jednotky";

// ---- the systematic file ----

std::vector<std::wstring> Taxon(const wchar_t* family, const wchar_t* genus, const wchar_t* species,
                                const wchar_t* subspecies, const wchar_t* author, const wchar_t* year,
                                const wchar_t* flag)
{
    return {L"Řád zkušební", family, genus, species, subspecies, author, year, flag};
}

std::string SystemFile()
{
    FileWriter f(exgen::kSystemMagic, LineEnd::CrLf);
    f.Fields(Taxon(L"Čárkovití", L"Zkusus", L"aurifer", L"", L"Linné", L"1758", L"F"));             // 3
    f.Fields(Taxon(L"Čárkovití", L"Zkusus", L"violetus", L"obliquetus", L"Thomson", L"1875", L"T"));  // 4
    f.Fields(Taxon(L"", L"Bembidiella", L"lampronus", L"", L"Herbst", L"1784", L"F"));                    // 5
    f.Fields(Taxon(L"čárkovití", L"Zkusus", L"nemorosus", L"", L"Müller", L"abc", L"t"));            // 6
    f.Line(L"Řád zkušební\tČárkovití\tZkusus");                                                      // 7
    std::vector<std::wstring> extra = Taxon(L"Čárkovití", L"D'Orbignya", L"prima", L"", L"d'Orbigny", L"1840", L"F");
    extra.push_back(L"navíc");
    extra.push_back(L"ještě");
    f.Fields(extra);                                                                                   // 8
    f.Fields(Taxon(L"Čárkovití", L"Zkusus", L"aurifer", L"", L"Linné", L"1758", L"F"));             // 9
    f.Fields(Taxon(L"Staphylinidae", L"D'Orbignya", L"secunda", L"", L"", L"1850", L"F"));            // 10
    f.Fields(Taxon(L"Čárkovití", L"D'Orbignya", L"tertia", L"", L"Ver\u02D9", L"1860", L"F"));        // 11
    f.Fields(Taxon(L"Čárkovití", L"Zkusus", std::wstring(70, L'x').c_str(), L"", L"", L"1900", L"F"));  // 12
    // A line ended by CR alone, then one over 64 KB, then a last line without its end.
    f.RawLine(exgen::Cp1250(L"Řád zkušební\tČárkovití\tZkusus\tkoriacus\t\tLinné\t1758\tF") + "\r" +
              std::string(70000, 'x'));                                                                // 13, 14
    std::string bytes = f.Bytes() + exgen::Cp1250(L"Řád zkušební\tČárkovití\tZkusus\tintrikatus\t\tLinné\t1758\tF");
    return bytes;  // 15
}

TEST(ExchangeSystem, TaxaAreFoundOrMadeOnceAndLinesThatDoNotFitAreLogged)
{
    ExchangeImport import;
    ASSERT_EQ(IMPORT_COMMITTED, import.Run(IMPSRC_SYSTEM_2002, SystemFile()));
    const std::wstring& db = import.Db();
    auto count = [&](const std::wstring& where) { return dbtest::QueryInt(db, L"SELECT COUNT(*) FROM SYSTREE WHERE " + where); };
    std::wstring order = Value(db, L"SELECT ID FROM SYSTREE WHERE NAME = 'Řád zkušební'");
    std::wstring carabidae = Value(db, L"SELECT ID FROM SYSTREE WHERE PARENT = " + order + L" AND NAME = 'Čárkovití'");
    EXPECT_EQ(1, count(L"NAME = 'Řád zkušební'"));
    EXPECT_EQ(1, count(L"NAME IN ('Čárkovití', 'čárkovití')"));  // "čárkovití" found the item of line 3
    EXPECT_EQ(1, count(L"NAME = 'Zkusus'"));
    EXPECT_EQ(1, count(L"NAME = 'aurifer'"));       // line 9 adds nothing
    // An apostrophe is found, not duplicated: one genus under each family.
    EXPECT_EQ(1, count(L"NAME = 'D''Orbignya' AND PARENT = " + carabidae));
    EXPECT_EQ(2, count(L"NAME = 'D''Orbignya'"));
    // The empty family hangs the genus under the order.
    EXPECT_EQ(order, Value(db, L"SELECT PARENT FROM SYSTREE WHERE NAME = 'Bembidiella'"));
    // A subspecies whose species was missing: both items, each with its species row.
    std::wstring violetus = Value(db, L"SELECT ID FROM SYSTREE WHERE NAME = 'violetus'");
    EXPECT_EQ(violetus, Value(db, L"SELECT PARENT FROM SYSTREE WHERE NAME = 'obliquetus'"));
    EXPECT_EQ(violetus, Value(db, L"SELECT SYSID FROM SPECIES WHERE NAME = 'Zkusus violetus'"));
    EXPECT_EQ(L"Thomson|1|1875", Value(db, L"SELECT AUTHOR || '|' || abs(PARENTHES) || '|' || IYEAR FROM SPECIES "
                                           L"WHERE NAME = 'Zkusus violetus obliquetus'"));
    EXPECT_EQ(L"0|1", Value(db, L"SELECT IYEAR || '|' || abs(PARENTHES) FROM SPECIES WHERE NAME = 'Zkusus nemorosus'"));
    EXPECT_EQ(L"NULL", Value(db, L"SELECT quote(AUTHOR) FROM SPECIES WHERE NAME = 'D''Orbignya secunda'"));
    EXPECT_EQ(L"Ver\u02D9", Value(db, L"SELECT AUTHOR FROM SPECIES WHERE NAME = 'D''Orbignya tertia'"));
    EXPECT_EQ(1, dbtest::QueryInt(db, L"SELECT COUNT(*) FROM SYSAUTHORS WHERE NAME = 'Linné'"));
    EXPECT_EQ(1, count(L"NAME = 'koriacus'"));
    EXPECT_EQ(1, count(L"NAME = 'intrikatus'"));
    EXPECT_EQ(1, count(L"NAME = '" + std::wstring(63, L'x') + L"'"));
    // One entry per line that did not fit, with its number; every other line is in.
    EXPECT_TRUE(import.Logged(5, kNoName)) << dbtest::Narrow(import.log);
    EXPECT_TRUE(import.Logged(6, ResString(IDS_X_LOG_BAD_NUMBER) + L"abc"));
    EXPECT_TRUE(import.Logged(7, ResString(IDS_X_LOG_FEW_FIELDS)));
    EXPECT_TRUE(import.Logged(8, ResString(IDS_X_LOG_MANY_FIELDS)));
    EXPECT_TRUE(import.Logged(12, ResString(IDS_X_LOG_TEXT_CUT)));
    EXPECT_TRUE(import.Logged(14, ResString(IDS_X_LOG_LINE_TOO_LONG)));
    EXPECT_EQ(6, import.errors);

    // The same file again adds nothing.
    std::wstring before = DumpDatabase(db);
    ASSERT_EQ(IMPORT_COMMITTED, import.Run(IMPSRC_SYSTEM_2002, SystemFile()));
    std::wstring after = DumpDatabase(db);
    EXPECT_TRUE(before == after) << "a second import changed the file: " << FirstDifference(before, after);
}

// ---- the locality file ----

std::vector<std::wstring> Place(const wchar_t* district, const wchar_t* municipality, const wchar_t* locality,
                                const wchar_t* lon, const wchar_t* lat, const wchar_t* altitude, const wchar_t* unit)
{
    return {L"Země zkušební", L"ZZ", district, L"OA", municipality, L"140000", L"500000", locality, lon, lat, altitude, L"",
            unit};
}

std::string LocalityFile()
{
    FileWriter f(exgen::kLocalityMagic, LineEnd::Lf);
    f.Fields(Place(L"Okres A", L"Obec 1", L"Louka", L"140000", L"500000", L"000330", L"Celek 1"));  // 3
    f.Fields(Place(L"Okres A", L"Obec 1", L"Les", L"140600", L"495700", L"350", L"Celek 2"));       // 4
    f.Fields(Place(L"Okres A", L"Obec 1", L"Louka", L"141200", L"500000", L"", L"Celek 1"));        // 5
    f.Fields(Place(L"Okres A", L"Obec 1", L"louka", L"140000", L"500000", L"", L"Celek 1"));        // 6
    f.Fields(Place(L"", L"Obec 2", L"Pastvina", L"150000", L"490000", L"", L""));                   // 7
    f.Fields(Place(L"Okres A", L"Obec 3", L"Sever", L"140000", L"570000", L"", L""));               // 8
    f.Fields(Place(L"Okres A", L"Obec 3", L"Mez", L"140000", L"49x530", L"", L""));                 // 9
    f.Fields(Place(L"Okres A", L"Obec 3", L"Vinice", L"140000", L"496000", L"", L""));              // 10
    f.Line(L"Země zkušební\tZZ\tOkres A");                                                          // 11
    return f.Bytes();
}

TEST(ExchangeLocality, LocalitiesGetTheirPointsSquaresAndUnitsOnce)
{
    ExchangeImport import;
    ASSERT_EQ(IMPORT_COMMITTED, import.Run(IMPSRC_LOCALITY_2002, LocalityFile()));
    const std::wstring& db = import.Db();
    auto loc = [&](const std::wstring& what, const std::wstring& where) {
        return Value(db, L"SELECT " + what + L" FROM LOCTREE WHERE " + where);
    };
    std::wstring country = loc(L"ID", L"NAME = 'Země zkušební'");
    std::wstring obec1 = loc(L"ID", L"NAME = 'Obec 1'");
    EXPECT_EQ(L"1", loc(L"COUNT(*)", L"NAME = 'Okres A'"));
    EXPECT_EQ(L"ZZ", loc(L"ABBREV", L"ID = " + country));
    // Same name, other point: made again; the same point (any letter case): found.
    EXPECT_EQ(L"2", loc(L"COUNT(*)", L"NAME = 'Louka' AND PARENT = " + obec1));
    std::wstring louka = loc(L"MIN(ID)", L"NAME = 'Louka'");
    double z = 3.0 / 60 + 30.0 / 3600;  // the altitude field read as DDMMSS
    EXPECT_EQ(WkbHex(14.0, 50.0, &z), loc(L"hex(GEOMETRY)", L"ID = " + louka));
    EXPECT_EQ(WkbHex(14.1, 49.95, nullptr), loc(L"hex(GEOMETRY)", L"NAME = 'Les'"));  // "350" is no altitude
    EXPECT_EQ(WkbHex(14.0, 50.0, nullptr), loc(L"hex(GEOMETRY)", L"NAME = 'Obec 1'"));
    EXPECT_EQ(L"NULL", loc(L"quote(GEOMETRY)", L"ID = " + country));
    EXPECT_EQ(L"NULL", loc(L"quote(GEOMETRY)", L"NAME = 'Mez'"));  // an unreadable latitude: no point
    auto feature = [&](const std::wstring& what, const std::wstring& name) {
        return Value(db, L"SELECT " + what + L" FROM FEATURES F JOIN LOCTREE L ON L.ID = F.LOCID WHERE L.NAME = '" + name +
                             L"' ORDER BY L.ID LIMIT 1");
    };
    EXPECT_EQ(L"6050A", feature(L"F.SQUARE", L"Louka"));
    EXPECT_EQ(L"6050D", feature(L"F.SQUARE", L"Les"));
    EXPECT_EQ(L"NULL", feature(L"quote(F.SQUARE)", L"Sever"));  // north of the grid
    EXPECT_EQ(L"<none>", feature(L"F.LOCID", L"Obec 1"));  // only localities have features
    EXPECT_EQ(0u, feature(L"F.NAME", L"Louka").find(L"Louka ("));
    std::wstring unitColumn = import.columns[L"Územní celek"];
    ASSERT_FALSE(unitColumn.empty());
    EXPECT_EQ(L"Celek 2", feature(L"F." + unitColumn, L"Les"));
    EXPECT_EQ(2, dbtest::QueryInt(db, L"SELECT COUNT(*) FROM FEA_" + unitColumn));
    EXPECT_EQ(4, dbtest::QueryInt(db, L"SELECT COUNT(*) FROM FEATURES F JOIN LOCTREE L ON L.ID = F.LOCID "
                                      L"WHERE L.NAME IN ('Louka', 'Les') OR L.NAME LIKE 'pastvina'"));
    // The empty district hangs the municipality under the country.
    EXPECT_EQ(country, loc(L"PARENT", L"NAME = 'Obec 2'"));
    EXPECT_TRUE(import.Logged(7, kNoName)) << dbtest::Narrow(import.log);
    EXPECT_TRUE(import.Logged(9, ResString(IDS_X_LOG_BAD_COORDINATE) + L"49x530"));
    EXPECT_TRUE(import.Logged(11, ResString(IDS_X_LOG_FEW_FIELDS)));
    EXPECT_TRUE(import.Logged(10, ResString(IDS_X_LOG_BAD_COORDINATE) + L"496000"));  // 60 minutes
    EXPECT_EQ(4, import.errors) << dbtest::Narrow(import.log);
    EXPECT_EQ(L"1", loc(L"COUNT(*)", L"NAME = 'Vinice'"));  // the lines with bad coordinates are in

    std::wstring before = DumpDatabase(db);
    ASSERT_EQ(IMPORT_COMMITTED, import.Run(IMPSRC_LOCALITY_2002, LocalityFile()));
    std::wstring after = DumpDatabase(db);
    EXPECT_TRUE(before == after) << "a second import changed the file: " << FirstDifference(before, after);

    // A stored point cut short matches nothing (and is not read past its end): "Les" comes again.
    ASSERT_TRUE(dbtest::Exec(db, L"UPDATE LOCTREE SET GEOMETRY = X'0101000000CDCCCCCCCC' WHERE NAME = 'Les'"));
    ASSERT_EQ(IMPORT_COMMITTED, import.Run(IMPSRC_LOCALITY_2002, LocalityFile()));
    EXPECT_EQ(L"2", loc(L"COUNT(*)", L"NAME = 'Les'"));
}

// ---- the records file ----

// A locality in "Obec 1" of "Okres A" at whole degrees.
exgen::Locality TestLocality(const wchar_t* name, const wchar_t* unit, int lonDeg, int latDeg)
{
    exgen::Locality l;
    l.country = L"Země zkušební";
    l.district = L"Okres A";
    l.municipality = L"Obec 1";
    l.locality = name;
    l.unit = unit;
    l.municipalityLon = L"140000";
    l.municipalityLat = L"500000";
    l.lonDeg = lonDeg;
    l.latDeg = latDeg;
    return l;
}

// A records file's header for the test order and the species its first records take.
FileWriter RecordsStart(const exgen::Species& species = {L"Čárkovití", L"Zkusus", L"aurifer", L"", L"Linné", 1758, false})
{
    FileWriter f(exgen::kRecordsMagic, LineEnd::CrLf);
    exgen::WriteHeader(f, L"Řád zkušební");
    exgen::WriteSpecies(f, species);
    return f;
}

std::string RecordsFile()
{
    FileWriter f = RecordsStart();
    exgen::Locality l = TestLocality(L"Louka", L"Celek 1", 14, 50);
    l.altitude = 250;
    exgen::Record r;
    r.day = 5;
    r.month = 6;
    r.year = 1999;
    r.habitat = L"louka u \u02D9";
    r.collector = L"Novák";
    r.cites = true;
    r.litAuthor = L"d'Orbigny";
    r.litTitle = L"Faune";
    r.extraLines = {L"PocetEx=abc"};
    exgen::WriteRecord(f, &l, r);  // record 1
    f.Line(L"BNalez");             // record 2: the previous locality and species
    f.Line(L"Den=xx");
    f.Line(L"Liter=T");
    f.Line(L"ENalez");
    f.Line(L"druh=Čárkovití\\Zkusus\\violetus");
    f.Line(L"poddruh=Čárkovití\\Zkusus\\violetus\\obliquetus\\navíc");
    f.Line(L"BNalez");  // record 3: a subspecies, no publication
    f.Line(L"Liter=F");
    f.Line(L"PocetEx=3");
    f.Line(L"ENalez");
    f.Line(L"BNalez");  // record 4, cut off by the end of the file
    f.Line(L"Den=1");
    return f.Bytes();
}

TEST(ExchangeRecords, RecordsLinkTheirSpeciesLocalityAndPublication)
{
    ExchangeImport import;
    long long maxRecord = dbtest::QueryInt(import.Db(), L"SELECT MAX(ID) FROM ZORNACOLLS");
    ASSERT_EQ(IMPORT_COMMITTED, import.Run(IMPSRC_RECORDS_2002, RecordsFile()));
    const std::wstring& db = import.Db();
    std::wstring newRecords = L" FROM ZORNACOLLS WHERE ID > " + std::to_wstring(maxRecord);
    ASSERT_EQ(3, dbtest::QueryInt(db, L"SELECT COUNT(*)" + newRecords));  // the cut-off record is not in
    auto record = [&](int n, const std::wstring& what) {
        return Value(db, L"SELECT " + what + newRecords + L" ORDER BY ID LIMIT 1 OFFSET " + std::to_wstring(n - 1));
    };
    std::wstring aurifer = Value(db, L"SELECT SYSID FROM SPECIES WHERE NAME = 'Zkusus aurifer'");
    std::wstring louka = Value(db, L"SELECT ID FROM LOCTREE WHERE NAME = 'Louka'");
    std::wstring faune = Value(db, L"SELECT ID FROM LITERATURE WHERE NAME = 'Faune'");
    EXPECT_EQ(aurifer + L"|" + louka + L"|" + faune, record(1, L"SYSID || '|' || FTRID || '|' || LITID"));
    EXPECT_EQ(aurifer + L"|" + louka + L"|" + faune, record(2, L"SYSID || '|' || FTRID || '|' || LITID"));
    EXPECT_EQ(Value(db, L"SELECT ID FROM LITAUTHORS WHERE NAME = 'd''Orbigny'"),
              Value(db, L"SELECT FIRSTAUTHOR FROM LITERATURE WHERE ID = " + faune));
    EXPECT_EQ(1, dbtest::QueryInt(db, L"SELECT COUNT(*) FROM LITAUTHORS WHERE NAME = 'd''Orbigny'"));
    // The subspecies under its species, each with its species row; no publication is -1.
    std::wstring obliquetus = Value(db, L"SELECT ID FROM SYSTREE WHERE NAME = 'obliquetus'");
    EXPECT_EQ(obliquetus + L"|-1", record(3, L"SYSID || '|' || LITID"));
    EXPECT_EQ(Value(db, L"SELECT ID FROM SYSTREE WHERE NAME = 'violetus'"),
              Value(db, L"SELECT PARENT FROM SYSTREE WHERE ID = " + obliquetus));
    EXPECT_EQ(obliquetus, Value(db, L"SELECT SYSID FROM SPECIES WHERE NAME = 'Zkusus violetus obliquetus'"));
    EXPECT_NE(L"<none>", Value(db, L"SELECT SYSID FROM SPECIES WHERE NAME = 'Zkusus violetus'"));
    // The path columns of the records; a level the record's path does not reach holds no item.
    EXPECT_EQ(Value(db, L"SELECT ID FROM SYSTREE WHERE NAME = 'Zkusus'"), record(1, L"SYS_LEVEL_3"));
    EXPECT_EQ(Value(db, L"SELECT ID FROM SYSTREE WHERE NAME = 'Řád zkušební'"), record(3, L"SYS_LEVEL_1"));
    std::wstring subspeciesColumn = L"SYS_LEVEL_" + Value(db, L"SELECT LEVELID FROM SYSDEF WHERE NAME = 'Poddruh'");
    EXPECT_EQ(L"NULL", record(1, L"quote(" + subspeciesColumn + L")"));
    EXPECT_EQ(obliquetus, record(3, subspeciesColumn));
    // Attributes: a day that cannot be read is 0, a count that cannot be read is none; texts
    // with byte 0xFF read as text.
    std::map<std::wstring, std::wstring>& c = import.columns;
    ASSERT_FALSE(c[L"Den"].empty());
    EXPECT_EQ(L"5|6|1999|NULL", record(1, c[L"Den"] + L" || '|' || " + c[L"Měsíc"] + L" || '|' || " + c[L"Rok"] +
                                              L" || '|' || quote(" + c[L"Počet exemplářů"] + L")"));
    EXPECT_EQ(L"0", record(2, c[L"Den"]));
    EXPECT_EQ(L"3", record(3, c[L"Počet exemplářů"]));
    EXPECT_EQ(L"louka u \u02D9", record(1, c[L"Biotop"]));
    EXPECT_EQ(L"Novák", record(3, c[L"Lgt."]));  // values carry over from record to record
    // The locality with its feature.
    EXPECT_EQ(L"6050A|250", Value(db, L"SELECT SQUARE || '|' || CAST(ALTITUDE AS INTEGER) FROM FEATURES WHERE LOCID = " + louka));
    EXPECT_EQ(L"Celek 1", Value(db, L"SELECT " + import.columns[L"Územní celek"] + L" FROM FEATURES WHERE LOCID = " + louka));
    // The log: the unreadable numbers and the cut-off record, each with its line.
    EXPECT_EQ(1, import.Count(ResString(IDS_X_LOG_BAD_NUMBER) + L"abc")) << dbtest::Narrow(import.log);
    EXPECT_EQ(1, import.Count(ResString(IDS_X_LOG_BAD_NUMBER) + L"xx"));
    EXPECT_EQ(1, import.Count(ResString(IDS_X_LOG_RECORD_CUT)));
    EXPECT_EQ(1, import.Count(ResString(IDS_X_LOG_NAMES_LEFT) + L"navíc"));  // the fifth name
    EXPECT_EQ(4, import.errors) << dbtest::Narrow(import.log);

    // Again: the records come again, the trees and the publication stay as they are.
    long long items = dbtest::QueryInt(db, L"SELECT COUNT(*) FROM SYSTREE") + dbtest::QueryInt(db, L"SELECT COUNT(*) FROM LOCTREE");
    ASSERT_EQ(IMPORT_COMMITTED, import.Run(IMPSRC_RECORDS_2002, RecordsFile()));
    EXPECT_EQ(6, dbtest::QueryInt(db, L"SELECT COUNT(*)" + newRecords));
    EXPECT_EQ(items, dbtest::QueryInt(db, L"SELECT COUNT(*) FROM SYSTREE") + dbtest::QueryInt(db, L"SELECT COUNT(*) FROM LOCTREE"));
    EXPECT_EQ(1, dbtest::QueryInt(db, L"SELECT COUNT(*) FROM LITERATURE WHERE NAME = 'Faune'"));

    // The order not imported: its path column is not written (there is none to name) and the
    // families hang at the top of the tree.
    import.skipped = {L"Řád"};
    ASSERT_EQ(IMPORT_COMMITTED, import.Run(IMPSRC_RECORDS_2002, RecordsFile()));
    EXPECT_EQ(9, dbtest::QueryInt(db, L"SELECT COUNT(*)" + newRecords));
    EXPECT_EQ(L"0", Value(db, L"SELECT PARENT FROM SYSTREE WHERE NAME = 'Čárkovití' ORDER BY ID DESC LIMIT 1"));
}

// A record the database refuses takes along what was made for it (species, locality, publication,
// list values); the next record of that species and locality makes them again, and one naming
// them in another case finds them.
TEST(ExchangeRecords, ARefusedRecordTakesAlongWhatWasMadeForIt)
{
    ExchangeImport import;
    const std::wstring& db = import.Db();
    ASSERT_TRUE(dbtest::Exec(db, L"CREATE TRIGGER ZOR_TEST BEFORE INSERT ON ZORNACOLLS WHEN NEW.LITID IN (SELECT ID "
                                 L"FROM LITERATURE WHERE NAME = 'Odmítnutá') BEGIN SELECT RAISE(ABORT, 'zkouška'); END"));
    long long maxRecord = dbtest::QueryInt(db, L"SELECT MAX(ID) FROM ZORNACOLLS");
    FileWriter f = RecordsStart({L"Čárkovití", L"Zkusus", L"novus", L"", L"Nováček", 2001, false});
    exgen::Locality l = TestLocality(L"Nová louka", L"Celek nový", 15, 49);
    exgen::Record r;
    r.collector = L"Jen první";
    r.cites = true;
    r.litAuthor = L"Autor odmítnutý";
    r.litTitle = L"Odmítnutá";
    exgen::WriteRecord(f, &l, r);  // record 1: refused
    r.collector = L"Druhý";
    r.cites = false;
    exgen::WriteRecord(f, nullptr, r);  // record 2: the same species and locality
    f.Line(L"druh=ČÁRKOVITÍ\\zkusus\\NOVUS");
    l.locality = L"NOVÁ LOUKA";
    exgen::WriteRecord(f, &l, r);  // record 3: both in another case
    ASSERT_EQ(IMPORT_COMMITTED, import.Run(IMPSRC_RECORDS_2002, f.Bytes()));

    EXPECT_EQ(1, import.errors) << dbtest::Narrow(import.log);
    std::wstring lgt = import.columns[L"Lgt."];
    ASSERT_FALSE(lgt.empty());
    std::wstring records = L"FROM ZORNACOLLS WHERE ID > " + std::to_wstring(maxRecord);
    const struct {
        std::wstring what;
        long long count;
    } counts[] = {
        {L"FROM SYSTREE WHERE NAME = 'novus'", 1},
        {L"FROM SPECIES WHERE NAME = 'Zkusus novus'", 1},
        {L"FROM LOCTREE WHERE NAME IN ('Nová louka', 'NOVÁ LOUKA')", 1},
        {L"FROM FEATURES WHERE NAME LIKE 'Nová louka (%'", 1},
        {L"FROM LITERATURE WHERE NAME = 'Odmítnutá'", 0},
        {L"FROM LITAUTHORS WHERE NAME = 'Autor odmítnutý'", 0},
        {L"FROM SYSAUTHORS WHERE NAME = 'Nováček'", 1},
        {L"FROM ZOR_" + lgt + L" WHERE NAME = 'Jen první'", 0},
        {L"FROM ZOR_" + lgt + L" WHERE NAME = 'Druhý'", 1},
        {records, 2},
        {records + L" AND SYSID = (SELECT ID FROM SYSTREE WHERE NAME = 'novus') AND FTRID = (SELECT ID FROM "
                   L"LOCTREE WHERE NAME = 'Nová louka')",
         2},
    };
    for (const auto& c : counts)
        EXPECT_EQ(c.count, dbtest::QueryInt(db, L"SELECT COUNT(*) " + c.what)) << dbtest::Narrow(c.what);
}

// A line too long to be read leaves no earlier line's value in force: the field it sets is empty
// from there on, and the records that would take the species or locality it names are left out
// (logged) until a line names them again. So does a stretch of damage, which is logged with its
// lines, and a record it falls into, or whose end is lost, is left out too; the run ends with the
// count of both. A backslash ends a name: what follows the fourth is logged.
TEST(ExchangeRecords, ALineNotReadLeavesItsFieldEmptyOrItsRecordsOut)
{
    const std::wstring tooLong(100000, L'x');
    const std::wstring louka = L"lokalita=Země zkušební\\Okres A\\Obec 1\\Louka";
    auto record = [](FileWriter& f, const std::vector<std::wstring>& lines) {
        f.Line(L"BNalez");
        for (const std::wstring& line : lines)
            f.Line(line);
        f.Line(L"ENalez");
    };
    auto block = [](const std::wstring& place) { return std::vector<std::wstring>{L"BLokalita", place, L"ELokalita"}; };
    using Columns = std::map<std::wstring, std::wstring>;
    struct Logged {
        UINT id;
        std::wstring after;  // text that follows the string
        int count;
    };
    const struct {
        const char* name;
        std::function<void(FileWriter&)> records;
        std::function<std::wstring(Columns&)> value;  // of each new record, in order
        const wchar_t* expected;
        std::vector<Logged> logged;
    } cases[] = {
        {"a collector",
         [&](FileWriter& f) {
             std::vector<std::wstring> first = block(louka);
             first.push_back(L"Lovec=Novák");
             record(f, first);
             record(f, {L"Lovec=" + tooLong});
             record(f, {});
         },
         [](Columns& c) { return L"quote(" + c[L"Lgt."] + L")"; }, L"'Novák',NULL,NULL",
         {{IDS_X_LOG_LINE_TOO_LONG, L"", 1}}},
        {"a count",
         [&](FileWriter& f) {
             std::vector<std::wstring> first = block(louka);
             first.push_back(L"PocetEx=3");
             record(f, first);
             record(f, {L"PocetEx=" + std::wstring(100000, L'7')});
             record(f, {});
         },
         [](Columns& c) { return L"quote(" + c[L"Počet exemplářů"] + L")"; }, L"3,NULL,NULL",
         {{IDS_X_LOG_LINE_TOO_LONG, L"", 1}}},
        {"the species",
         [&](FileWriter& f) {
             record(f, block(louka));
             f.Line(L"druh=" + tooLong);
             record(f, {});
             record(f, {});
             f.Line(L"druh=Čárkovití\\Zkusus\\violetus");
             record(f, {});
         },
         [](Columns&) { return std::wstring(L"(SELECT NAME FROM SYSTREE WHERE ID = SYSID)"); }, L"aurifer,violetus",
         {{IDS_X_LOG_LINE_TOO_LONG, L"", 1}, {IDS_X_LOG_RECORD_LOST, L"", 2}}},
        {"the locality",
         [&](FileWriter& f) {
             record(f, block(louka));
             record(f, block(L"lokalita=" + tooLong));
             record(f, {});
             record(f, block(L"lokalita=Země zkušební\\Okres A\\Obec 1\\Les"));
         },
         [](Columns&) { return std::wstring(L"(SELECT NAME FROM LOCTREE WHERE ID = FTRID)"); }, L"Louka,Les",
         {{IDS_X_LOG_LINE_TOO_LONG, L"", 1}, {IDS_X_LOG_RECORD_LOST, L"", 2}}},
        {"a damaged stretch",
         [&](FileWriter& f) {
             std::vector<std::wstring> first = block(louka);
             first.push_back(L"Lovec=Novák");
             record(f, first);                   // 10-15
             f.Line(L"BNalez");                  // 16: lines 17-18 are damage
             f.RawLine("Lovec=Dvo\x01\x02");
             f.RawLine("\x88 x");
             f.Line(L"ENalez");
             record(f, block(louka));            // 20: the species named before the damage
             f.Line(L"druh=Čárkovití\\Zkusus\\violetus");
             f.Line(L"BNalez");                  // 26: its end lost
             f.Line(L"Lovec=Svoboda");
             std::vector<std::wstring> last = block(L"lokalita=Země zkušební\\Okres A\\Obec 1\\Les");
             last.push_back(L"Lovec=Svoboda");
             record(f, last);                    // 28-33
             f.Line(L"Xnalez");                  // 34: damage, then the end of a record not read
             f.Line(L"ENalez");
         },
         [](Columns& c) {
             return L"(SELECT NAME FROM SYSTREE WHERE ID = SYSID) || '/' || (SELECT NAME FROM LOCTREE WHERE ID = FTRID) || "
                    L"'/' || " + c[L"Lgt."];
         },
         L"aurifer/Louka/Novák,violetus/Les/Svoboda",
         {{IDS_X_LOG_LINES_UNREAD, L"17\u201318", 1}, {IDS_X_LOG_LINES_UNREAD, L"34", 1}, {IDS_X_LOG_RECORD_DAMAGED, L"", 3},
          {IDS_X_LOG_RECORD_LOST, L"", 1}, {0, ResourceText(Inst(), IDS_X_LOG_DAMAGE_TOTAL, {L"3", L"4"}), 1}}},
        {"a backslash in a locality's name",
         [&](FileWriter& f) { record(f, block(louka + L"\\u lesa\\vlevo")); },
         [](Columns&) { return std::wstring(L"(SELECT NAME FROM LOCTREE WHERE ID = FTRID)"); }, L"Louka",
         {{IDS_X_LOG_NAMES_LEFT, L"u lesa\\vlevo", 1}}},
        {"a backslash closing the last name",
         [&](FileWriter& f) { record(f, block(louka + L"\\")); },
         [](Columns&) { return std::wstring(L"(SELECT NAME FROM LOCTREE WHERE ID = FTRID)"); }, L"Louka", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExchangeImport import;
        const std::wstring& db = import.Db();
        long long maxRecord = dbtest::QueryInt(db, L"SELECT MAX(ID) FROM ZORNACOLLS");
        FileWriter f = RecordsStart();
        c.records(f);
        ASSERT_EQ(IMPORT_COMMITTED, import.Run(IMPSRC_RECORDS_2002, f.Bytes()));
        EXPECT_EQ(c.expected, Value(db, L"SELECT group_concat(V) FROM (SELECT " + c.value(import.columns) +
                                            L" AS V FROM ZORNACOLLS WHERE ID > " + std::to_wstring(maxRecord) + L" ORDER BY ID)"));
        int entries = 0;
        for (const Logged& l : c.logged) {
            EXPECT_EQ(l.count, import.Count(ResString(l.id) + l.after)) << l.id;
            entries += l.count;
        }
        EXPECT_EQ(entries, import.errors) << dbtest::Narrow(import.log);
    }
}

TEST(ExchangeRecords, NewLevelsTakeTheFilesOrderAndDatePartsMakeTheDate)
{
    const int count = 30;
    exgen::BulkOptions options;
    options.count = count;
    const std::string file = exgen::BulkRecordsFile(options);
    // The generator's records in the order written: their dates as the file gives them in parts.
    std::wstring dates;
    for (int i = 0; i < count; ++i) {
        wchar_t date[16];
        swprintf(date, 16, L"%04d-%02d-%02d", 1950 + i % 60, 1 + i % 12, 1 + i % 28);
        dates += (i ? L"," : L"") + std::wstring(date);
    }
    const struct {
        const char* name;
        bool proposed;                                    // as the wizard proposes, else mapped here
        std::map<std::wstring, std::wstring> unitTargets;  // used when not proposed
        const wchar_t* levels;                            // the locality levels afterwards, in order
        std::vector<std::wstring> outOfOrder;             // units left out, each logged
    } cases[] = {
        {"proposed", true, {}, L"Země,Kraj,Okres,Obec,Lokalita", {}},
        // Okres onto the locality level, Obec onto the district level above it: Obec and what
        // lies below it in the file would hang above their parents.
        {"crossing", false, {{L"Země", L"Kraj"}, {L"Okres", L"Lokalita"}, {L"Obec", L"Okres"}}, L"Kraj,Okres,Lokalita",
         {L"Obec", L"Lokalita"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExchangeImport import;
        import.proposed = c.proposed;
        import.unitTargets = c.unitTargets;
        const std::wstring& db = import.Db();
        long long maxRecord = dbtest::QueryInt(db, L"SELECT MAX(ID) FROM ZORNACOLLS");
        long long maxLocality = dbtest::QueryInt(db, L"SELECT MAX(ID) FROM LOCTREE");
        ASSERT_EQ(IMPORT_COMMITTED, import.Run(IMPSRC_RECORDS_2002, file));
        EXPECT_EQ(count, dbtest::QueryInt(db, L"SELECT COUNT(*) FROM ZORNACOLLS WHERE ID > " + std::to_wstring(maxRecord)));
        EXPECT_EQ(c.levels, Value(db, L"SELECT group_concat(NAME) FROM (SELECT NAME FROM LOCDEF WHERE LEVELID > 0 ORDER BY LEVELID)"));
        EXPECT_EQ(L"", TreeFaults(db));
        for (const std::wstring& unit : c.outOfOrder) {
            wchar_t text[256];
            StringCchPrintfW(text, 256, ResString(IDS_I_UNIT_OUT_OF_ORDER).c_str(), unit.c_str());
            EXPECT_EQ(1, import.Count(text)) << dbtest::Narrow(unit);
        }
        EXPECT_EQ((int)c.outOfOrder.size(), import.errors) << dbtest::Narrow(import.log);
        if (!c.proposed)
            continue;
        // The coordinates are the new localities' own.
        EXPECT_EQ(L"0", Value(db, L"SELECT (COUNT(*) = 0) + SUM(LONGITUDE IS NULL OR LATITUDE IS NULL) FROM FEATURES "
                                  L"WHERE LOCID > " + std::to_wstring(maxLocality)));
        // Day, month and year went into the sample's date of the record, and into no new attribute.
        EXPECT_EQ(0, dbtest::QueryInt(db, L"SELECT COUNT(*) FROM CUSTOMATTRIBUTES WHERE CAPTION IN ('Den', 'Měsíc', 'Rok')"));
        std::wstring date = Value(db, L"SELECT FIELDNAME FROM CUSTOMATTRIBUTES WHERE CAPTION = 'Datum nálezu'");
        EXPECT_EQ(dates, Value(db, L"SELECT group_concat(date(" + date + L" + 2415018.5)) FROM (SELECT " + date +
                                       L" FROM ZORNACOLLS WHERE ID > " + std::to_wstring(maxRecord) + L" ORDER BY ID)"));
        // Again: each record is one the records hold, its key fields named by their captions.
        ASSERT_EQ(IMPORT_COMMITTED, import.Run(IMPSRC_RECORDS_2002, file));
        EXPECT_EQ(count, import.Count(ResourceText(Inst(), IDS_I_ROW_DUPLICATE_KEYS,
                                                   {L"\u201EDatum nálezu\u201C, \u201ELgt.\u201C"})))
            << dbtest::Narrow(import.log);
        EXPECT_EQ(count, import.errors);
    }
}

// ---- damaged files, a cancel, a failure ----

std::string GoodFile(int type, int count = 3)
{
    exgen::BulkOptions o;
    o.count = count;
    return type == IMPSRC_RECORDS_2002 ? exgen::BulkRecordsFile(o)
           : type == IMPSRC_SYSTEM_2002 ? exgen::BulkSystemFile(o)
                                        : exgen::BulkLocalityFile(o);
}

// A damaged file is refused on opening, or logged where the damage is with the lines before it
// in; a cancel or a failure mid-file leaves the database as it was.
TEST(ExchangeFiles, DamagedFilesACancelOrAFailureLeaveWhatTheySay)
{
    struct Case {
        const char* name;
        int type;
        std::string bytes;
        bool opens;
        ImportOutcome outcome;
        UINT logged;  // an entry of this text, 0 none
        int cancelAt = -1;
        const wchar_t* trigger = nullptr;
    };
    std::string records = GoodFile(IMPSRC_RECORDS_2002), system = GoodFile(IMPSRC_SYSTEM_2002),
                places = GoodFile(IMPSRC_LOCALITY_2002);
    std::string wrongMagic = records;
    wrongMagic[16] = 'Z';
    auto failing = [](const wchar_t* table, const wchar_t* when) {
        return std::wstring(L"CREATE TRIGGER ZOR_TEST BEFORE INSERT ON ") + table + L" WHEN " + when +
               L" BEGIN SELECT RAISE(ROLLBACK, 'zkouška'); END";
    };
    const std::wstring recordsFail = failing(L"ZORNACOLLS", L"(SELECT COUNT(*) FROM ZORNACOLLS) >= 2150"),
                       taxaFail = failing(L"SYSTREE", L"NEW.NAME = 'novus100'"),
                       placesFail = failing(L"LOCTREE", L"NEW.NAME = 'Nové místo 100'");
    const Case cases[] = {
        {"another magic", IMPSRC_RECORDS_2002, wrongMagic, false, IMPORT_FAILED, 0},
        {"another kind of file", IMPSRC_RECORDS_2002, system, false, IMPORT_FAILED, 0},
        {"UTF-16", IMPSRC_SYSTEM_2002, exgen::AsUtf16(system), false, IMPORT_FAILED, 0},
        {"UTF-8 mark", IMPSRC_LOCALITY_2002, exgen::WithUtf8Mark(places), false, IMPORT_FAILED, 0},
        {"cut in the magic", IMPSRC_LOCALITY_2002, exgen::CutAt(places, 10), false, IMPORT_FAILED, 0},
        {"records cut in the header", IMPSRC_RECORDS_2002, exgen::CutAt(records, records.find("rad=")), true,
         IMPORT_FAILED, IDS_X_LOG_HEADER_CUT},
        {"taxa cut after the magic line", IMPSRC_SYSTEM_2002, exgen::CutAt(system, system.find('\n') + 1), true,
         IMPORT_FAILED, IDS_X_LOG_HEADER_CUT},
        {"localities cut in the last line", IMPSRC_LOCALITY_2002, exgen::CutAt(places, places.size() - 30), true,
         IMPORT_COMMITTED, IDS_X_LOG_FEW_FIELDS},
        {"taxa cut in the last line", IMPSRC_SYSTEM_2002, exgen::CutAt(system, system.size() - 12), true,
         IMPORT_COMMITTED, IDS_X_LOG_FEW_FIELDS},
        {"records cut in the last record", IMPSRC_RECORDS_2002, exgen::CutAt(records, records.size() - 20), true,
         IMPORT_COMMITTED, IDS_X_LOG_RECORD_CUT},
        {"records cancelled", IMPSRC_RECORDS_2002, GoodFile(IMPSRC_RECORDS_2002, 300), true, IMPORT_CANCELLED, 0, 50},
        {"taxa cancelled", IMPSRC_SYSTEM_2002, GoodFile(IMPSRC_SYSTEM_2002, 300), true, IMPORT_CANCELLED, 0, 50},
        {"localities cancelled", IMPSRC_LOCALITY_2002, GoodFile(IMPSRC_LOCALITY_2002, 300), true, IMPORT_CANCELLED, 0, 50},
        {"records failing", IMPSRC_RECORDS_2002, GoodFile(IMPSRC_RECORDS_2002, 300), true, IMPORT_FAILED, 0, -1,
         recordsFail.c_str()},
        {"taxa failing", IMPSRC_SYSTEM_2002, GoodFile(IMPSRC_SYSTEM_2002, 300), true, IMPORT_FAILED, 0, -1, taxaFail.c_str()},
        {"localities failing", IMPSRC_LOCALITY_2002, GoodFile(IMPSRC_LOCALITY_2002, 300), true, IMPORT_FAILED, 0, -1,
         placesFail.c_str()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExchangeImport import;
        if (c.trigger) {
            ASSERT_TRUE(dbtest::Exec(import.Db(), c.trigger));
        }
        long long recordsBefore = dbtest::QueryInt(import.Db(), L"SELECT COUNT(*) FROM ZORNACOLLS");
        ASSERT_LT(recordsBefore, 2150);  // the records' trigger fires within the file
        std::wstring before = DumpDatabase(import.Db());
        import.cancelAtPercent = c.cancelAt;
        ImportOutcome outcome = import.Run(c.type, c.bytes);
        EXPECT_EQ(c.opens, import.opened);
        if (!c.opens)
            continue;
        EXPECT_EQ(c.outcome, outcome);
        if (c.logged) {
            EXPECT_EQ(1, import.Count(ResString(c.logged))) << dbtest::Narrow(import.log);
        }
        if (c.outcome != IMPORT_COMMITTED) {
            EXPECT_TRUE(before == DumpDatabase(import.Db())) << "the file changed";
        } else if (c.type == IMPSRC_RECORDS_2002) {
            EXPECT_EQ(recordsBefore + 2, dbtest::QueryInt(import.Db(), L"SELECT COUNT(*) FROM ZORNACOLLS"));
        } else {
            EXPECT_FALSE(before == DumpDatabase(import.Db()));  // the lines before the cut are in
        }
    }
}

}  // namespace
