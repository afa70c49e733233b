// Writer of the previous version's three exchange files (records .zxf, systematic tree .zxs,
// locality tree .zxl) for the import's tests and benchmark and for trying the import by hand:
// 8-bit text in code page 1250, any line end, and the damage another program's files show
// (cut off anywhere, another magic, UTF-16 or UTF-8 marks, odd lines written as they are).
#pragma once
#include <string>
#include <vector>

namespace exgen {

enum class LineEnd { CrLf, Lf, Cr };

extern const char kRecordsMagic[];   // "Exportni soubor zorny"
extern const char kSystemMagic[];    // "Export radu zorny"
extern const char kLocalityMagic[];  // "Export lokalit zorny"

// Text in code page 1250 (the files' code page under the Czech locale).
std::string Cp1250(const std::wstring& text);

// A file line by line: the magic line and a second line, then what is added.
class FileWriter {
public:
    FileWriter(const char* magic, LineEnd end);
    void Line(const std::wstring& text) { RawLine(Cp1250(text)); }
    void RawLine(const std::string& bytes);
    // Fields joined by TAB characters.
    void Fields(const std::vector<std::wstring>& fields);
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
    std::string end_;
};

// ---- the records file ----
struct Species {
    std::wstring family, genus, species, subspecies, author;
    int year = 0;
    bool parentheses = false;
};
struct Locality {
    std::wstring country, district, municipality, locality, unit;
    std::wstring municipalityLon, municipalityLat;  // DDMMSS
    int lonDeg = 0, lonMin = 0, lonSec = 0, latDeg = 0, latMin = 0, latSec = 0, altitude = 0;
};
struct Record {
    int day = 1, month = 1, year = 2000;
    std::wstring habitat, collector;
    int specimens = 1;
    bool cites = false;
    std::wstring litAuthor, litTitle;
    std::vector<std::wstring> extraLines;  // written last, before "ENalez"
};
// "BZadani", "rad=<order>", "EZadani".
void WriteHeader(FileWriter& file, const std::wstring& order);
// "druh=" with the path and the author, year and parentheses lines.
void WriteSpecies(FileWriter& file, const Species& species);
// "BNalez" ... "ENalez", with a locality block when locality is given.
void WriteRecord(FileWriter& file, const Locality* locality, const Record& record);

// ---- the tree files ----
// A .zxs line: order, family, genus, species, subspecies, author, year, parentheses.
std::vector<std::wstring> TaxonFields(const std::wstring& order, const Species& species);
// A .zxl line: the thirteen fields of a locality (abbreviations, the unused field empty).
std::vector<std::wstring> LocalityFields(const Locality& locality, const std::wstring& altitudeText);
// DDMMSS of decimal degrees.
std::wstring DmsText(double degrees);

// ---- damage to a whole file ----
std::string CutAt(const std::string& bytes, size_t length);
std::string AsUtf16(const std::string& bytes);    // FF FE and the text in UTF-16
std::string WithUtf8Mark(const std::string& bytes);  // EF BB BF before the text

// ---- many rows, for the benchmark and by hand ----
struct TaxonPath {
    std::wstring order, family, genus, species;
};
struct PlacePath {
    std::wstring country, district, municipality, locality;
    double longitude = 0, latitude = 0;
};
struct BulkOptions {
    int count = 1000;
    unsigned seed = 1;
    LineEnd end = LineEnd::CrLf;
    std::vector<TaxonPath> taxa;    // names the rows draw from (made up when empty)
    std::vector<PlacePath> places;
    int newEvery = 10;              // every n-th row names a species or locality of its own
};
std::string BulkRecordsFile(const BulkOptions& options);
std::string BulkSystemFile(const BulkOptions& options);
std::string BulkLocalityFile(const BulkOptions& options);

bool WriteBytes(const std::wstring& path, const std::string& bytes);

}  // namespace exgen
