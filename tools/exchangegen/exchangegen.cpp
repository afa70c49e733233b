#include "tools/exchangegen/exchangegen.h"

#include <windows.h>

#include <cmath>
#include <cstdio>

namespace exgen {

const char kRecordsMagic[] = "Exportni soubor zorny";
const char kSystemMagic[] = "Export radu zorny";
const char kLocalityMagic[] = "Export lokalit zorny";

namespace {

std::wstring Number(int value) { return std::to_wstring(value); }

// A small deterministic generator, the same on every machine.
class Random {
public:
    explicit Random(unsigned seed) : state_(seed * 2654435761u + 1) {}
    unsigned Next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    int Below(int n) { return n > 0 ? (int)(Next() % (unsigned)n) : 0; }

private:
    unsigned state_;
};

std::vector<TaxonPath> MadeUpTaxa()
{
    std::vector<TaxonPath> taxa;
    for (int f = 0; f < 5; ++f)
        for (int g = 0; g < 20; ++g)
            for (int s = 0; s < 10; ++s)
                taxa.push_back({L"Coleoptera", L"Čeleď" + Number(f), L"Rod" + Number(f * 100 + g),
                                L"druh" + Number(s)});
    return taxa;
}

std::vector<PlacePath> MadeUpPlaces()
{
    std::vector<PlacePath> places;
    for (int d = 0; d < 10; ++d)
        for (int m = 0; m < 20; ++m)
            for (int l = 0; l < 5; ++l)
                places.push_back({L"Česko", L"Okres " + Number(d), L"Obec " + Number(d * 100 + m),
                                  L"Lokalita " + Number(l), 13.0 + d * 0.4 + l * 0.01, 49.0 + m * 0.05});
    return places;
}

Locality LocalityOf(const PlacePath& place)
{
    Locality l;
    l.country = place.country;
    l.district = place.district;
    l.municipality = place.municipality;
    l.locality = place.locality;
    l.municipalityLon = DmsText(place.longitude);
    l.municipalityLat = DmsText(place.latitude);
    int lon = (int)std::lround(place.longitude * 3600), lat = (int)std::lround(place.latitude * 3600);
    l.lonDeg = lon / 3600;
    l.lonMin = lon / 60 % 60;
    l.lonSec = lon % 60;
    l.latDeg = lat / 3600;
    l.latMin = lat / 60 % 60;
    l.latSec = lat % 60;
    l.altitude = 200 + (lon + lat) % 900;
    return l;
}

// The i-th row's taxon: one of the list, or every newEvery-th one a species of its own.
TaxonPath PickTaxon(const BulkOptions& o, const std::vector<TaxonPath>& taxa, Random& random, int i)
{
    TaxonPath t = taxa[(size_t)random.Below((int)taxa.size())];
    if (o.newEvery > 0 && i % o.newEvery == 0)
        t.species = L"novus" + Number(i);
    return t;
}

PlacePath PickPlace(const BulkOptions& o, const std::vector<PlacePath>& places, Random& random, int i)
{
    PlacePath p = places[(size_t)random.Below((int)places.size())];
    if (o.newEvery > 0 && i % o.newEvery == 0)
        p.locality = L"Nové místo " + Number(i);
    return p;
}

const char* LineEndBytes(LineEnd end)
{
    return end == LineEnd::CrLf ? "\r\n" : end == LineEnd::Lf ? "\n" : "\r";
}

}  // namespace

std::string Cp1250(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(1250, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string bytes((size_t)n, '\0');
    WideCharToMultiByte(1250, 0, text.data(), (int)text.size(), &bytes[0], n, nullptr, nullptr);
    return bytes;
}

FileWriter::FileWriter(const char* magic, LineEnd end) : end_(LineEndBytes(end))
{
    RawLine(std::string(magic) + " 2002");
    RawLine("verze 2.0");
}

void FileWriter::RawLine(const std::string& bytes)
{
    bytes_ += bytes;
    bytes_ += end_;
}

void FileWriter::Fields(const std::vector<std::wstring>& fields)
{
    std::wstring line;
    for (size_t i = 0; i < fields.size(); ++i)
        line += (i ? L"\t" : L"") + fields[i];
    Line(line);
}

void WriteHeader(FileWriter& file, const std::wstring& order)
{
    file.Line(L"BZadani");
    file.Line(L"rad=" + order);
    file.Line(L"EZadani");
}

void WriteSpecies(FileWriter& file, const Species& s)
{
    std::wstring path = s.family + L"\\" + s.genus + L"\\" + s.species;
    if (!s.subspecies.empty())
        path += L"\\" + s.subspecies;
    file.Line((s.subspecies.empty() ? L"druh=" : L"poddruh=") + path);
    file.Line(L"autor=" + s.author);
    file.Line(L"rok=" + Number(s.year));
    file.Line(std::wstring(L"zavorky=") + (s.parentheses ? L"T" : L"F"));
}

void WriteRecord(FileWriter& file, const Locality* l, const Record& r)
{
    file.Line(L"BNalez");
    if (l) {
        file.Line(L"BLokalita");
        file.Line(L"lokalita=" + l->country + L"\\" + l->district + L"\\" + l->municipality + L"\\" + l->locality);
        file.Line(L"UzCelek=" + l->unit);
        file.Line(L"ObecVD=" + l->municipalityLon);
        file.Line(L"ObecSS=" + l->municipalityLat);
        file.Line(L"VDStup=" + Number(l->lonDeg));
        file.Line(L"VDMin=" + Number(l->lonMin));
        file.Line(L"VDSec=" + Number(l->lonSec));
        file.Line(L"SSStup=" + Number(l->latDeg));
        file.Line(L"SSMin=" + Number(l->latMin));
        file.Line(L"SSSec=" + Number(l->latSec));
        file.Line(L"NVyska=" + Number(l->altitude));
        file.Line(L"ELokalita");
    }
    file.Line(L"Den=" + Number(r.day));
    file.Line(L"Mesic=" + Number(r.month));
    file.Line(L"Rok=" + Number(r.year));
    file.Line(L"Biotop=" + r.habitat);
    file.Line(L"PocetEx=" + Number(r.specimens));
    file.Line(L"Lovec=" + r.collector);
    file.Line(std::wstring(L"Liter=") + (r.cites ? L"T" : L"F"));
    if (r.cites) {
        file.Line(L"LitAutor=" + r.litAuthor);
        file.Line(L"LitDilo=" + r.litTitle);
    }
    for (const std::wstring& line : r.extraLines)
        file.Line(line);
    file.Line(L"ENalez");
}

std::vector<std::wstring> TaxonFields(const std::wstring& order, const Species& s)
{
    return {order, s.family, s.genus, s.species, s.subspecies, s.author, Number(s.year), s.parentheses ? L"T" : L"F"};
}

std::vector<std::wstring> LocalityFields(const Locality& l, const std::wstring& altitudeText)
{
    wchar_t lon[16], lat[16];
    swprintf(lon, 16, L"%02d%02d%02d", l.lonDeg, l.lonMin, l.lonSec);
    swprintf(lat, 16, L"%02d%02d%02d", l.latDeg, l.latMin, l.latSec);
    return {l.country, l.country.substr(0, 2), l.district, l.district.substr(0, 2), l.municipality,
            l.municipalityLon, l.municipalityLat, l.locality, lon, lat, altitudeText, L"", l.unit};
}

std::wstring DmsText(double degrees)
{
    int seconds = (int)std::lround(degrees * 3600);
    wchar_t text[16];
    swprintf(text, 16, L"%02d%02d%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

std::string CutAt(const std::string& bytes, size_t length)
{
    return bytes.substr(0, length);
}

std::string AsUtf16(const std::string& bytes)
{
    int n = MultiByteToWideChar(1250, 0, bytes.data(), (int)bytes.size(), nullptr, 0);
    std::wstring wide((size_t)n, L'\0');
    MultiByteToWideChar(1250, 0, bytes.data(), (int)bytes.size(), &wide[0], n);
    std::string out = "\xFF\xFE";
    out.append(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    return out;
}

std::string WithUtf8Mark(const std::string& bytes)
{
    return "\xEF\xBB\xBF" + bytes;
}

std::string BulkRecordsFile(const BulkOptions& o)
{
    std::vector<TaxonPath> taxa = o.taxa.empty() ? MadeUpTaxa() : o.taxa;
    std::vector<PlacePath> places = o.places.empty() ? MadeUpPlaces() : o.places;
    Random random(o.seed);
    FileWriter file(kRecordsMagic, o.end);
    WriteHeader(file, taxa[0].order);
    for (int i = 0; i < o.count; ++i) {
        // Runs of records of one species, as the previous version exported them.
        if (i % 4 == 0) {
            TaxonPath t = PickTaxon(o, taxa, random, i);
            WriteSpecies(file, {t.family, t.genus, t.species, L"", L"Linné", 1758, false});
        }
        Locality l = LocalityOf(PickPlace(o, places, random, i));
        Record r;
        r.day = 1 + i % 28;
        r.month = 1 + i % 12;
        r.year = 1950 + i % 60;
        r.habitat = L"louka";
        r.collector = L"Novák";
        r.specimens = 1 + i % 5;
        r.cites = i % 50 == 0;
        r.litAuthor = L"Dvořák";
        r.litTitle = L"Brouci Čech " + Number(i % 20);
        WriteRecord(file, &l, r);
    }
    return file.Bytes();
}

std::string BulkSystemFile(const BulkOptions& o)
{
    std::vector<TaxonPath> taxa = o.taxa.empty() ? MadeUpTaxa() : o.taxa;
    Random random(o.seed);
    FileWriter file(kSystemMagic, o.end);
    for (int i = 0; i < o.count; ++i) {
        TaxonPath t = PickTaxon(o, taxa, random, i);
        file.Fields(TaxonFields(t.order, {t.family, t.genus, t.species, L"", L"Fabricius", 1775, i % 3 == 0}));
    }
    return file.Bytes();
}

std::string BulkLocalityFile(const BulkOptions& o)
{
    std::vector<PlacePath> places = o.places.empty() ? MadeUpPlaces() : o.places;
    Random random(o.seed);
    FileWriter file(kLocalityMagic, o.end);
    for (int i = 0; i < o.count; ++i) {
        Locality l = LocalityOf(PickPlace(o, places, random, i));
        l.unit = L"Celek " + Number(i % 7);
        file.Fields(LocalityFields(l, L"000330"));
    }
    return file.Bytes();
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

}  // namespace exgen
