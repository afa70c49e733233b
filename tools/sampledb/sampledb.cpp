#include "tools/sampledb/sampledb.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwctype>
#include <set>
#include <unordered_set>

#include "core/dbschema.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/samplerng.h"
#include "czechcollation/czechtext.h"
#include "core/textutil.h"
#include "tools/sampledb/sampledb_names.h"

namespace zor {

using namespace sample;

namespace {

using Rng = SampleRng;

std::wstring Cut(const std::wstring& s, size_t n)
{
    return s.size() > n ? s.substr(0, n) : s;
}

// Latin adjectives agree with the genus' gender (guessed from its ending, as authors do):
// "Carabus auratus", "Nebria aurata", "Calosoma auratum". Genitive nouns stay as they are.
std::wstring AgreeWithGenus(const std::wstring& epithet, const std::wstring& genus)
{
    auto endsWith = [](const std::wstring& s, const wchar_t* tail) {
        size_t n = wcslen(tail);
        return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
    };
    int gender = endsWith(genus, L"a") ? 1 : (endsWith(genus, L"um") ? 2 : 0);
    if (epithet == L"niger" || epithet == L"ater") {
        std::wstring stem = epithet.substr(0, epithet.size() - 2) + L"r";
        return gender == 0 ? epithet : stem + (gender == 1 ? L"a" : L"um");
    }
    std::wstring stem;
    if (endsWith(epithet, L"us") && epithet != L"quercus")
        stem = epithet.substr(0, epithet.size() - 2);
    else if (endsWith(epithet, L"a"))
        stem = epithet.substr(0, epithet.size() - 1);
    else if (endsWith(epithet, L"is") && gender == 2 && epithet != L"salicis" && epithet != L"graminis")
        return epithet.substr(0, epithet.size() - 2) + L"e";
    else
        return epithet;
    return stem + (gender == 0 ? L"us" : gender == 1 ? L"a" : L"um");
}

// A Czech adjective after its noun's gender: "brouk zlatý", "moucha zlatá", "šídlo zlaté".
std::wstring CzechName(const std::wstring& noun, const std::wstring& adjective)
{
    wchar_t last = noun.empty() ? 0 : noun.back();
    int gender = (last == L'o' || noun == L"saranče") ? 2 : (last == L'a' || last == L'e') ? 1 : 0;
    std::wstring adj = adjective;
    if (!adj.empty() && adj.back() == L'ý' && gender != 0)
        adj.back() = gender == 1 ? L'á' : L'é';
    return noun + L" " + adj;
}

std::wstring IntText(long long v)
{
    wchar_t buf[32];
    _snwprintf(buf, 32, L"%lld", v);
    return buf;
}

// ---------------------------------------------------------------------------------------------
// Czech border, as a polygon of (longitude, latitude) points clockwise from the western tip.
const double kBorder[][2] = {
    {12.09, 50.32}, {12.20, 50.32}, {12.33, 50.24}, {12.50, 50.40}, {12.82, 50.45},
    {13.02, 50.51}, {13.25, 50.58}, {13.55, 50.71}, {13.90, 50.79}, {14.25, 50.88},
    {14.38, 51.04}, {14.60, 51.02}, {14.82, 50.87}, {15.03, 51.01}, {15.30, 50.95},
    {15.50, 50.80}, {15.82, 50.76}, {16.10, 50.66}, {16.35, 50.66}, {16.45, 50.58},
    {16.20, 50.43}, {16.40, 50.30}, {16.60, 50.20}, {16.90, 50.44}, {17.20, 50.38},
    {17.60, 50.27}, {17.85, 50.18}, {18.05, 50.07}, {18.40, 49.98}, {18.62, 49.92},
    {18.85, 49.52}, {18.55, 49.45}, {18.35, 49.28}, {18.10, 49.08}, {17.90, 48.99},
    {17.70, 48.88}, {17.45, 48.84}, {17.20, 48.87}, {16.95, 48.62}, {16.75, 48.73},
    {16.50, 48.78}, {16.10, 48.75}, {15.75, 48.86}, {15.35, 48.99}, {15.00, 49.01},
    {14.97, 48.77}, {14.70, 48.58}, {14.33, 48.56}, {14.05, 48.62}, {13.83, 48.77},
    {13.55, 48.97}, {13.40, 49.05}, {13.02, 49.30}, {12.80, 49.35}, {12.55, 49.62},
    {12.40, 49.75}, {12.55, 49.92}, {12.26, 50.06}, {12.09, 50.25},
};
const int kBorderPoints = (int)(sizeof(kBorder) / sizeof(kBorder[0]));

// ---------------------------------------------------------------------------------------------
// Pictures

void PutLe16(std::vector<unsigned char>& b, size_t at, unsigned v)
{
    b[at] = (unsigned char)(v & 0xFF);
    b[at + 1] = (unsigned char)((v >> 8) & 0xFF);
}

void PutLe32(std::vector<unsigned char>& b, size_t at, unsigned v)
{
    for (int k = 0; k < 4; ++k)
        b[at + k] = (unsigned char)((v >> (8 * k)) & 0xFF);
}

void PutBe32(std::vector<unsigned char>& b, unsigned v)
{
    for (int k = 3; k >= 0; --k)
        b.push_back((unsigned char)((v >> (8 * k)) & 0xFF));
}

// Colour of pixel (x, y) of a generated picture: a soft gradient with a few round spots, so the
// pictures look like something and differ by seed.
void PatternPixel(int x, int y, int w, int h, unsigned seed, unsigned char rgb[3])
{
    Rng r(seed);
    int baseR = 60 + r.Below(160), baseG = 80 + r.Below(150), baseB = 40 + r.Below(140);
    double fx = (double)x / (w > 1 ? w - 1 : 1), fy = (double)y / (h > 1 ? h - 1 : 1);
    double v = 0.55 + 0.45 * (1.0 - fy) * (0.6 + 0.4 * fx);
    double rr = baseR * v, gg = baseG * v, bb = baseB * v;
    for (int s = 0; s < 3; ++s) {
        double cx = r.Unit() * w, cy = r.Unit() * h, rad = (0.12 + 0.18 * r.Unit()) * std::min(w, h);
        double d = std::hypot(x - cx, y - cy);
        if (d < rad) {
            double k = 1.0 - d / rad;
            rr += (240 - rr) * k * 0.8;
            gg += (200 - gg) * k * 0.5 * s;
            bb += (60 - bb) * k * 0.7;
        }
    }
    rgb[0] = (unsigned char)std::min(255.0, std::max(0.0, rr));
    rgb[1] = (unsigned char)std::min(255.0, std::max(0.0, gg));
    rgb[2] = (unsigned char)std::min(255.0, std::max(0.0, bb));
}

unsigned Crc32(const unsigned char* data, size_t n, unsigned crc = 0)
{
    static unsigned table[256];
    static bool ready = false;
    if (!ready) {
        for (unsigned i = 0; i < 256; ++i) {
            unsigned c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < n; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void PngChunk(std::vector<unsigned char>& png, const char* type, const std::vector<unsigned char>& data)
{
    PutBe32(png, (unsigned)data.size());
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBe32(png, Crc32(&png[start], png.size() - start));
}

// ---------------------------------------------------------------------------------------------
// The generator

struct TaxonNode {
    int parent = -1;  // index, -1 for the top
    int level = 0;    // 1 order, 2 family, 3 genus, 4 species, 5 subspecies
    std::wstring name;
    std::vector<int> children;
    int id = 0;
    int pos = 0;
    // species data
    std::wstring author;
    bool parentheses = false;
    int year = 0;
    std::wstring czechName;
    int order = 0;
};

struct LocNode {
    int parent = -1;
    int level = 0;  // 1 region, 2 district, 3 locality
    std::wstring name;
    std::wstring abbrev;
    std::vector<int> children;
    int id = 0;
    double lon = 0, lat = 0, alt = 0;
    int district = -1;
};

// Sorts the siblings of a forest of nodes (parent -1 at the tops) by name and gives the nodes
// ids from 1 in pre-order; returns the node indices in that order.
template <class Node>
std::vector<int> NumberInPreorder(std::vector<Node>& nodes)
{
    std::vector<int> tops;
    for (int k = 0; k < (int)nodes.size(); ++k)
        if (nodes[k].parent < 0)
            tops.push_back(k);
    // Siblings in Czech alphabetical order, as the programs list names.
    auto byName = [&nodes](int a, int b) { return CzechCompare(nodes[a].name, nodes[b].name) < 0; };
    std::sort(tops.begin(), tops.end(), byName);
    for (Node& n : nodes)
        std::sort(n.children.begin(), n.children.end(), byName);
    int nextId = 1;
    std::vector<int> order;
    std::vector<int> stack(tops.rbegin(), tops.rend());
    while (!stack.empty()) {
        int n = stack.back();
        stack.pop_back();
        nodes[n].id = nextId++;
        order.push_back(n);
        for (auto it = nodes[n].children.rbegin(); it != nodes[n].children.rend(); ++it)
            stack.push_back(*it);
    }
    return order;
}

const int kSysLevels = 5;
const int kLocLevels = 3;

class Generator {
public:
    Generator(RawOdbc& db, const SampleDbOptions& o) : db_(db), opt_(o), rng_(o.seed) {}

    bool Run(SampleDbStats& stats);
    const std::wstring& Error() const { return error_; }

private:
    bool Exec(const std::wstring& sql);
    bool Fail(const std::wstring& what);
    bool Levels();
    bool Attributes();
    bool LookupValues();
    void BuildTaxa();
    void BuildLocalities();
    bool WriteTaxa();
    bool WriteLocalities();
    bool WriteLiterature();
    bool WriteRecords();
    bool WritePictures();
    std::wstring NewGenusName(std::set<std::wstring>& used);
    std::wstring PersonName();

    RawOdbc& db_;
    SampleDbOptions opt_;
    Rng rng_;
    std::wstring error_;
    std::vector<TaxonNode> taxa_;
    std::vector<int> dataTaxa_;  // indexes of species and subspecies, in tree order
    std::vector<LocNode> locs_;
    std::vector<int> dataLocs_;
    std::vector<int> litIds_;
    std::vector<std::wstring> collectors_;
    SampleDbStats stats_;
};

bool Generator::Fail(const std::wstring& what)
{
    error_ = what + L": " + db_.LastError();
    return false;
}

bool Generator::Exec(const std::wstring& sql)
{
    return db_.Exec(sql) || Fail(L"statement failed");
}

bool Generator::Levels()
{
    static const wchar_t* sysNames[kSysLevels] = {L"Řád", L"Čeleď", L"Rod", L"Druh", L"Poddruh"};
    static const wchar_t* locNames[kLocLevels] = {L"Kraj", L"Okres", L"Lokalita"};
    RawStatement sys, loc;
    if (!sys.Prepare(db_, L"INSERT INTO SYSDEF (LEVELID, NAME, DATALEVEL, ICONLARGE, ICONSMALL, "
                          L"ICONSELECTED) VALUES (?, ?, ?, ?, ?, ?)") ||
        !loc.Prepare(db_, L"INSERT INTO LOCDEF (LEVELID, NAME, DATALEVEL, ICONLARGE, ICONSMALL, "
                          L"ICONSELECTED) VALUES (?, ?, ?, ?, ?, ?)"))
        return Fail(L"cannot prepare the levels");
    for (int k = 1; k <= kSysLevels; ++k) {
        sys.SetInt(1, k);
        sys.SetText(2, sysNames[k - 1]);
        sys.SetInt(3, k >= 4 ? 1 : 0);  // species and subspecies carry species rows and names
        sys.SetBlob(4, MakeSampleBmp(32, 32, 100 + k));
        sys.SetBlob(5, MakeSampleBmp(16, 16, 100 + k));
        sys.SetBlob(6, MakeSampleBmp(16, 16, 200 + k));
        if (!sys.Execute() || !Exec(AddLevelColumnSql(true, k)))
            return Fail(L"cannot store a systematic level");
    }
    for (int k = 1; k <= kLocLevels; ++k) {
        loc.SetInt(1, k);
        loc.SetText(2, locNames[k - 1]);
        loc.SetInt(3, k == kLocLevels ? 1 : 0);
        loc.SetBlob(4, MakeSampleBmp(32, 32, 300 + k));
        loc.SetBlob(5, MakeSampleBmp(16, 16, 300 + k));
        loc.SetBlob(6, MakeSampleBmp(16, 16, 400 + k));
        if (!loc.Execute() || !Exec(AddLevelColumnSql(false, k)))
            return Fail(L"cannot store a locality level");
    }
    return true;
}

struct AttrDef {
    const wchar_t* table;
    const wchar_t* field;
    int type;
    int size;
    int key;
    const wchar_t* tab;
    const wchar_t* caption;
    double minVal, maxVal;  // NaN: unset
};

const double kUnset = std::nan("");

const AttrDef kAttrs[] = {
    {L"SYSTREE", L"SKUPINACZ", AttrText, 64, 0, L"Obecné", L"Český název skupiny", kUnset, kUnset},
    {L"LOCTREE", L"KODUZEMI", AttrText, 12, 0, L"Obecné", L"Kód území (NUTS)", kUnset, kUnset},
    {L"SPECIES", L"CESKYNAZEV", AttrText, 64, 0, L"Obecné", L"Český název", kUnset, kUnset},
    {L"SPECIES", L"OCHRANA", AttrLookup, 40, 0, L"Ochrana", L"Kategorie ohrožení", kUnset, kUnset},
    {L"SPECIES", L"DELKA", AttrReal, 0, 0, L"Obecné", L"Délka těla (mm)", 0.1, 200.0},
    {L"FEATURES", L"BIOTOP", AttrLookup, 40, 0, L"Lokalita", L"Biotop", kUnset, kUnset},
    {L"FEATURES", L"CHRUZEMI", AttrGeoLookup, 60, 0, L"Lokalita", L"Chráněné území", kUnset, kUnset},
    {L"FEATURES", L"POPIS", AttrLongText, 0, 0, L"Lokalita", L"Popis lokality", kUnset, kUnset},
    {L"ZORNACOLLS", L"DATUM", AttrDate, 0, -1, L"Sběr", L"Datum nálezu", kUnset, kUnset},
    {L"ZORNACOLLS", L"POCET", AttrInteger, 0, 0, L"Sběr", L"Počet exemplářů", 1, 10000},
    {L"ZORNACOLLS", L"METODA", AttrLookup, 40, 0, L"Sběr", L"Metoda sběru", kUnset, kUnset},
    {L"ZORNACOLLS", L"LEG", AttrText, 64, 0, L"Sběr", L"Sběratel (leg.)", kUnset, kUnset},
    {L"ZORNACOLLS", L"DET", AttrText, 64, 0, L"Určení", L"Určil (det.)", kUnset, kUnset},
    {L"ZORNACOLLS", L"DOKLAD", AttrBoolean, 0, 0, L"Určení", L"Dokladový exemplář", kUnset, kUnset},
    {L"ZORNACOLLS", L"PRESNOST", AttrReal, 0, 0, L"Sběr", L"Přesnost lokalizace (m)", 0, 50000},
    {L"LITERATURE", L"JAZYK", AttrLookup, 20, 0, L"Obecné", L"Jazyk", kUnset, kUnset},
    {L"LITERATURE", L"RECENZE", AttrBoolean, 0, 0, L"Obecné", L"Recenzováno", kUnset, kUnset},
};
const int kAttrCount = (int)(sizeof(kAttrs) / sizeof(kAttrs[0]));

bool Generator::Attributes()
{
    RawStatement def;
    if (!def.Prepare(db_, L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE, "
                          L"ATTRSIZE, KEYFLAG, TABNAME, CAPTION, MINVAL, MAXVAL, NULLVAL) VALUES "
                          L"(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"))
        return Fail(L"cannot prepare the attributes");
    int pos = 0;
    for (int k = 0; k < kAttrCount; ++k) {
        const AttrDef& a = kAttrs[k];
        if (a.type == AttrLookup || a.type == AttrGeoLookup) {
            if (!Exec(LookupTableSql(a.table, a.field, a.type, a.size)))
                return false;
        }
        if (!Exec(L"ALTER TABLE " + std::wstring(a.table) + L" ADD " +
                  AttrColumnDecl(a.table, a.field, a.type, a.size)))
            return false;
        def.SetText(1, a.table);
        def.SetText(2, a.field);
        def.SetInt(3, ++pos);
        def.SetInt(4, a.type);
        def.SetInt(5, (a.type == AttrText || a.type == AttrLookup || a.type == AttrGeoLookup) ? a.size : 0);
        def.SetInt(6, a.key);
        def.SetText(7, a.tab);
        def.SetText(8, a.caption);
        if (std::isnan(a.minVal))
            def.SetNull(9);
        else
            def.SetDouble(9, a.minVal);
        if (std::isnan(a.maxVal))
            def.SetNull(10);
        else
            def.SetDouble(10, a.maxVal);
        def.SetNull(11);
        if (!def.Execute())
            return Fail(L"cannot store an attribute definition");
    }
    if (opt_.orphanAttribute) {
        // A definition left behind by a dropped column: listed, but with no column to show.
        def.SetText(1, L"ZORNACOLLS");
        def.SetText(2, L"ZTRACENY");
        def.SetInt(3, ++pos);
        def.SetInt(4, AttrText);
        def.SetInt(5, 20);
        def.SetInt(6, 0);
        def.SetText(7, L"Sběr");
        def.SetText(8, L"Atribut bez sloupce");
        def.SetNull(9);
        def.SetNull(10);
        def.SetNull(11);
        if (!def.Execute())
            return Fail(L"cannot store the orphan attribute");
    }
    // Records are unique by species, locality and date, as the utilities keep them.
    return Exec(L"CREATE UNIQUE INDEX COLL_INDEX ON ZORNACOLLS (SYSID, FTRID, [DATUM])");
}

bool Generator::LookupValues()
{
    struct Src {
        const wchar_t* table;
        const NamedValue* values;
        int count;
    };
    const Src lists[] = {
        {L"SPE_OCHRANA", kProtection, kProtectionCount},
        {L"FEA_BIOTOP", kBiotopes, kBiotopeCount},
        {L"ZOR_METODA", kMethods, kMethodCount},
        {L"LIT_JAZYK", kLanguages, kLanguageCount},
    };
    for (const Src& s : lists) {
        RawStatement ins;
        if (!ins.Prepare(db_, L"INSERT INTO " + std::wstring(s.table) + L" (NAME, ABBREV) VALUES (?, ?)"))
            return Fail(L"cannot prepare a value list");
        for (int k = 0; k < s.count; ++k) {
            ins.SetText(1, s.values[k].name);
            ins.SetText(2, s.values[k].abbrev);
            if (!ins.Execute())
                return Fail(L"cannot store a value");
        }
    }
    RawStatement geo;
    if (!geo.Prepare(db_, L"INSERT INTO FEA_CHRUZEMI (NAME, ABBREV, GEOMETRY) VALUES (?, ?, ?)"))
        return Fail(L"cannot prepare the protected areas");
    for (int k = 0; k < kProtectedAreaCount; ++k) {
        geo.SetText(1, kProtectedAreas[k].name);
        geo.SetText(2, kProtectedAreas[k].abbrev);
        geo.SetBlob(3, MakeWkbPointBytes(kProtectedAreas[k].lon, kProtectedAreas[k].lat, false, 0));
        if (!geo.Execute())
            return Fail(L"cannot store a protected area");
    }
    return true;
}

std::wstring Generator::NewGenusName(std::set<std::wstring>& used)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::wstring name;
        if (rng_.Chance(0.35))
            name = kRealGenera[rng_.Below(kRealGenusCount)];
        else
            name = std::wstring(kGenusStems[rng_.Below(kGenusStemCount)]) +
                   kGenusEndings[rng_.Below(kGenusEndingCount)];
        if (attempt > 20)
            name += kGenusEndings[rng_.Below(kGenusEndingCount)];
        if (used.insert(name).second)
            return name;
    }
    std::wstring name = L"Genus" + IntText((long long)used.size() + 1);
    used.insert(name);
    return name;
}

std::wstring Generator::PersonName()
{
    return std::wstring(kSurnames[rng_.Below(kSurnameCount)]) + L" " + kInitials[rng_.Below(kInitialCount)];
}

void Generator::BuildTaxa()
{
    const int wanted = std::max(20, std::min(6000, opt_.records / 12));
    int totalWeight = 0;
    for (int k = 0; k < kOrderCount; ++k)
        totalWeight += kOrders[k].weight;

    std::vector<int> orderNode(kOrderCount, -1);
    std::vector<std::vector<int>> familyNode(kOrderCount);
    for (int k = 0; k < kOrderCount; ++k)
        familyNode[k].assign(kOrders[k].familyCount, -1);

    auto addNode = [this](int parent, int level, const std::wstring& name) {
        TaxonNode n;
        n.parent = parent;
        n.level = level;
        n.name = Cut(name, 64);
        taxa_.push_back(n);
        int index = (int)taxa_.size() - 1;
        if (parent >= 0)
            taxa_[parent].children.push_back(index);
        return index;
    };

    std::set<std::wstring> genera;
    int species = 0;
    while (species < wanted) {
        int w = rng_.Below(totalWeight), o = 0;
        while (w >= kOrders[o].weight) {
            w -= kOrders[o].weight;
            ++o;
        }
        if (orderNode[o] < 0) {
            orderNode[o] = addNode(-1, 1, kOrders[o].latin);
            taxa_[orderNode[o]].czechName = kOrders[o].czech;
        }
        int f = rng_.Skewed(kOrders[o].familyCount, 1.6);
        if (familyNode[o][f] < 0)
            familyNode[o][f] = addNode(orderNode[o], 2, kOrders[o].families[f]);
        int genus = addNode(familyNode[o][f], 3, NewGenusName(genera));
        int count = 1 + rng_.Skewed(12, 2.0);
        std::set<std::wstring> epithets;
        for (int s = 0; s < count && species < wanted; ++s) {
            std::wstring epithet = AgreeWithGenus(kEpithets[rng_.Below(kEpithetCount)], taxa_[genus].name);
            if (!epithets.insert(epithet).second)
                continue;
            int sp = addNode(genus, 4, epithet);
            TaxonNode& n = taxa_[sp];
            n.order = o;
            if (!rng_.Chance(0.04)) {
                const AuthorInfo& a = kTaxonAuthors[rng_.Below(kTaxonAuthorCount)];
                n.author = a.name;
                n.year = rng_.Between(a.firstYear, a.lastYear);
                n.parentheses = rng_.Chance(0.4);
            }
            if (rng_.Chance(0.4))
                n.czechName = CzechName(kOrders[o].czechNoun, kCzechAdjectives[rng_.Below(kCzechAdjectiveCount)]);
            ++species;
            if (rng_.Chance(0.06) && species + 2 <= wanted) {
                // The nominotypical subspecies and one more.
                int a = addNode(sp, 5, epithet);
                taxa_[a].author = taxa_[sp].author;
                taxa_[a].year = taxa_[sp].year;
                taxa_[a].parentheses = taxa_[sp].parentheses;
                taxa_[a].order = o;
                std::wstring other = AgreeWithGenus(kEpithets[rng_.Below(kEpithetCount)], taxa_[genus].name);
                if (other == epithet)
                    other += L"oides";
                int b = addNode(sp, 5, other);
                const AuthorInfo& au = kTaxonAuthors[rng_.Below(kTaxonAuthorCount)];
                taxa_[b].author = au.name;
                taxa_[b].year = rng_.Between(au.firstYear, au.lastYear);
                taxa_[b].parentheses = false;
                taxa_[b].order = o;
                species += 2;
            }
        }
    }
    // Siblings in alphabetical order, numbered from 1 among themselves; ids follow the tree in
    // pre-order.
    std::vector<int> order = NumberInPreorder(taxa_);
    int topPos = 0;
    for (int n : order) {
        if (taxa_[n].parent < 0)
            taxa_[n].pos = ++topPos;
        const std::vector<int>& ch = taxa_[n].children;
        for (size_t k = 0; k < ch.size(); ++k)
            taxa_[ch[k]].pos = (int)k + 1;
    }
    for (int n : order)
        if (taxa_[n].level >= 4)
            dataTaxa_.push_back(n);
    stats_.taxa = (int)taxa_.size();
    stats_.species = (int)dataTaxa_.size();
}

void Generator::BuildLocalities()
{
    const int wanted = std::max(12, std::min(12000, opt_.records / 10));
    // Which districts: all of them for a large database, a spread-out subset for a small one.
    std::vector<int> districts(kDistrictCount);
    for (int k = 0; k < kDistrictCount; ++k)
        districts[k] = k;
    for (int k = kDistrictCount - 1; k > 0; --k)
        std::swap(districts[k], districts[rng_.Below(k + 1)]);
    int used = std::min(kDistrictCount, std::max(4, wanted / 4));
    districts.resize(used);
    std::sort(districts.begin(), districts.end());

    std::vector<int> regionNode(kRegionCount, -1);
    std::vector<int> districtNodes;
    for (int d : districts) {
        int r = kDistricts[d].region;
        if (regionNode[r] < 0) {
            LocNode n;
            n.level = 1;
            n.name = kRegions[r].name;
            n.abbrev = kRegions[r].abbrev;
            locs_.push_back(n);
            regionNode[r] = (int)locs_.size() - 1;
        }
        LocNode n;
        n.level = 2;
        n.parent = regionNode[r];
        n.name = kDistricts[d].name;
        n.abbrev = kDistricts[d].abbrev;
        n.district = d;
        locs_.push_back(n);
        int index = (int)locs_.size() - 1;
        locs_[regionNode[r]].children.push_back(index);
        districtNodes.push_back(index);
    }
    std::vector<std::set<std::wstring>> names(locs_.size());
    for (int k = 0; k < wanted; ++k) {
        int dn = districtNodes[k % districtNodes.size()];
        const DistrictInfo& d = kDistricts[locs_[dn].district];
        LocNode n;
        n.level = 3;
        n.parent = dn;
        n.district = locs_[dn].district;
        std::wstring name = kVillages[rng_.Below(kVillageCount)];
        if (rng_.Chance(0.7))
            name += std::wstring(L", ") + kSites[rng_.Below(kSiteCount)];
        std::wstring unique = name;
        for (int c = 2; !names[dn].insert(unique).second; ++c)
            unique = name + L" (" + IntText(c) + L")";
        n.name = Cut(unique, 64);
        // A point around the district's town, kept inside the border.
        bool placed = false;
        for (int attempt = 0; attempt < 30 && !placed; ++attempt) {
            double spread = attempt < 20 ? 1.0 : 0.4;
            double lat = d.lat + (rng_.Unit() * 2 - 1) * 0.14 * spread;
            double lon = d.lon + (rng_.Unit() * 2 - 1) * 0.21 * spread;
            if (InsideCzechRepublic(lon, lat)) {
                n.lat = lat;
                n.lon = lon;
                placed = true;
            }
        }
        if (!placed) {
            n.lat = d.lat;
            n.lon = d.lon;
        }
        n.lat = std::round(n.lat * 1e6) / 1e6;
        n.lon = std::round(n.lon * 1e6) / 1e6;
        n.alt = std::max(115, std::min(1600, d.altitude + rng_.Between(-60, 60) +
                                                 (int)(std::pow(rng_.Unit(), 2.5) * 600)));
        locs_.push_back(n);
        locs_[dn].children.push_back((int)locs_.size() - 1);
    }
    // Ids in pre-order, siblings by name (the order the programs list them in).
    for (int n : NumberInPreorder(locs_))
        if (locs_[n].level == 3)
            dataLocs_.push_back(n);
    stats_.localities = (int)dataLocs_.size();
}

bool Generator::WriteTaxa()
{
    RawStatement item, speciesRow, author;
    if (!item.Prepare(db_, L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME, ICONLARGE, ICONSMALL, "
                           L"ICONSELECTED, SKUPINACZ) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)") ||
        !speciesRow.Prepare(db_, L"INSERT INTO SPECIES (NAME, SYSID, ABSOLUTEPOS, AUTHOR, PARENTHES, IYEAR, "
                           L"CESKYNAZEV, OCHRANA, DELKA) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)") ||
        !author.Prepare(db_, L"INSERT OR IGNORE INTO SYSAUTHORS (NAME) VALUES (?)"))
        return Fail(L"cannot prepare the systematic tree");
    // Parents before children: ids are in pre-order, so write by id.
    std::vector<int> byId(taxa_.size());
    for (int k = 0; k < (int)taxa_.size(); ++k)
        byId[taxa_[k].id - 1] = k;
    for (int k : byId) {
        const TaxonNode& n = taxa_[k];
        item.SetInt(1, n.id);
        item.SetInt(2, n.parent >= 0 ? taxa_[n.parent].id : 0);
        item.SetInt(3, n.level);
        item.SetInt(4, n.pos);
        item.SetText(5, n.name);
        if (n.level == 1) {
            // Orders carry icons of their own; the other items show their level's.
            item.SetBlob(6, MakeSampleBmp(32, 32, 500 + n.id));
            item.SetBlob(7, MakeSampleBmp(16, 16, 500 + n.id));
            item.SetBlob(8, MakeSampleBmp(16, 16, 600 + n.id));
        } else {
            item.SetNull(6);
            item.SetNull(7);
            item.SetNull(8);
        }
        item.SetText(9, n.level <= 1 ? n.czechName : std::wstring());
        if (!item.Execute())
            return Fail(L"cannot store a taxon");
    }
    double absolute = 0;
    for (int k : dataTaxa_) {
        const TaxonNode& n = taxa_[k];
        // The composed name: the genus, the species and, for a subspecies, its own name.
        std::wstring name = n.name;
        int p = n.parent;
        while (p >= 0) {
            name = taxa_[p].name + L" " + name;
            if (taxa_[p].level < 4)
                break;
            p = taxa_[p].parent;
        }
        speciesRow.SetText(1, Cut(name, 63));
        speciesRow.SetInt(2, n.id);
        speciesRow.SetDouble(3, absolute += 1);
        speciesRow.SetText(4, n.author);
        speciesRow.SetInt(5, n.parentheses ? -1 : 0);
        if (n.year > 0)
            speciesRow.SetInt(6, n.year);
        else
            speciesRow.SetNull(6);
        speciesRow.SetText(7, n.level == 4 ? n.czechName : std::wstring());
        if (n.level == 4 && rng_.Chance(0.1))
            speciesRow.SetText(8, kProtection[rng_.Below(kProtectionCount)].name);
        else
            speciesRow.SetNull(8);
        if (n.level == 4 && rng_.Chance(0.7))
            speciesRow.SetDouble(9, std::round((1.5 + std::pow(rng_.Unit(), 2.0) * 38.0) * 10) / 10);
        else
            speciesRow.SetNull(9);
        if (!speciesRow.Execute())
            return Fail(L"cannot store a species row");
        if (!n.author.empty()) {
            author.SetText(1, n.author);
            if (!author.Execute())
                return Fail(L"cannot store a taxon author");
        }
    }
    return true;
}

bool Generator::WriteLocalities()
{
    RawStatement item, feat;
    if (!item.Prepare(db_, L"INSERT INTO LOCTREE (ID, PARENT, LOCLEVEL, NAME, ABBREV, GEOMETRY, KODUZEMI) "
                           L"VALUES (?, ?, ?, ?, ?, ?, ?)") ||
        !feat.Prepare(db_, L"INSERT INTO FEATURES (LOCID, NAME, ABBREV, LONGITUDE, LATITUDE, ALTITUDE, "
                           L"SQUARE, LOCNOTE, BIOTOP, CHRUZEMI, POPIS) VALUES (?, ?, ?, ?, ?, ?, ?, ?, "
                           L"?, ?, ?)"))
        return Fail(L"cannot prepare the locality tree");
    std::vector<int> byId(locs_.size());
    for (int k = 0; k < (int)locs_.size(); ++k)
        byId[locs_[k].id - 1] = k;
    int districtNumber = 0;
    for (int k : byId) {
        const LocNode& n = locs_[k];
        item.SetInt(1, n.id);
        item.SetInt(2, n.parent >= 0 ? locs_[n.parent].id : 0);
        item.SetInt(3, n.level);
        item.SetText(4, n.name);
        item.SetText(5, n.abbrev);
        if (n.level == 3)
            item.SetBlob(6, MakeWkbPointBytes(n.lon, n.lat, true, n.alt));
        else
            item.SetNull(6);
        if (n.level == 1) {
            for (int r = 0; r < kRegionCount; ++r)
                if (n.name == kRegions[r].name)
                    item.SetText(7, kRegions[r].nuts);
        } else if (n.level == 2) {
            const wchar_t* nuts = kRegions[kDistricts[n.district].region].nuts;
            item.SetText(7, std::wstring(nuts) + IntText(1 + (districtNumber++ % 9)));
        } else {
            item.SetNull(7);
        }
        if (!item.Execute())
            return Fail(L"cannot store a locality item");
    }
    for (int k : dataLocs_) {
        const LocNode& n = locs_[k];
        const LocNode& district = locs_[n.parent];
        const LocNode& region = locs_[district.parent];
        feat.SetInt(1, n.id);
        feat.SetText(2, ComposeLocalityLabel(n.name, true, n.lon, n.lat, &district.name, &region.name));
        feat.SetText(3, n.abbrev);
        feat.SetDouble(4, n.lon);
        feat.SetDouble(5, n.lat);
        feat.SetDouble(6, n.alt);
        feat.SetText(7, GridSquareOf(n.lon, n.lat));
        if (rng_.Chance(0.1))
            feat.SetText(8, kLocalityNotes[rng_.Below(kLocalityNoteCount)]);
        else
            feat.SetNull(8);
        if (rng_.Chance(0.8))
            feat.SetText(9, kBiotopes[rng_.Below(kBiotopeCount)].name);
        else
            feat.SetNull(9);
        // The protected area whose centre is within about 15 km.
        feat.SetNull(10);
        for (int a = 0; a < kProtectedAreaCount; ++a) {
            double dx = (n.lon - kProtectedAreas[a].lon) * 71.0, dy = (n.lat - kProtectedAreas[a].lat) * 111.0;
            if (dx * dx + dy * dy < 15.0 * 15.0) {
                feat.SetText(10, kProtectedAreas[a].name);
                break;
            }
        }
        if (rng_.Chance(0.15))
            feat.SetText(11, L"Lokalita v katastru obce " + n.name.substr(0, n.name.find(L',')) +
                                 L", okres " + district.name + L".\r\nNadmořská výška " +
                                 IntText((long long)n.alt) + L" m, čtverec " + GridSquareOf(n.lon, n.lat) +
                                 L".");
        else
            feat.SetNull(11);
        if (!feat.Execute())
            return Fail(L"cannot store a locality row");
    }
    return true;
}

bool Generator::WriteLiterature()
{
    const int authorCount = std::max(25, std::min(1500, opt_.records / 60));
    const int pubCount = std::max(20, std::min(4000, opt_.records / 50));
    RawStatement ed, jo, au, kw, lit, ba, kr, sr, lr;
    if (!ed.Prepare(db_, L"INSERT INTO EDITORS (NAME, ABBREV, PLACE) VALUES (?, ?, ?)") ||
        !jo.Prepare(db_, L"INSERT INTO JOURNALS (NAME, ABBREV, EDITORID) VALUES (?, ?, ?)") ||
        !au.Prepare(db_, L"INSERT INTO LITAUTHORS (NAME, FULLNAME, ABBREV) VALUES (?, ?, ?)") ||
        !kw.Prepare(db_, L"INSERT INTO KEYWORDS (NAME) VALUES (?)") ||
        !lit.Prepare(db_, L"INSERT INTO LITERATURE (ID, NAME, ABBREV, EDITOR, JOURNALID, FIRSTAUTHOR, "
                          L"IYEAR, INUMBER, IVOLUME, IPAGES, ABSTRACT, JAZYK, RECENZE) VALUES (?, ?, ?, "
                          L"?, ?, ?, ?, ?, ?, ?, ?, ?, ?)") ||
        !ba.Prepare(db_, L"INSERT INTO BOOKAUTHORS (LITID, AUTHORID, AUTHPOS) VALUES (?, ?, ?)") ||
        !kr.Prepare(db_, L"INSERT INTO LITKEYWORDSREFS (LITID, KEYWORDID, REFPOS) VALUES (?, ?, ?)") ||
        !sr.Prepare(db_, L"INSERT INTO LITSYSREFS (LITID, SYSID, REFPOS) VALUES (?, ?, ?)") ||
        !lr.Prepare(db_, L"INSERT INTO LITLOCREFS (LITID, LOCID, REFPOS) VALUES (?, ?, ?)"))
        return Fail(L"cannot prepare the literature");
    for (int k = 0; k < kPublisherCount; ++k) {
        ed.SetText(1, kPublishers[k].name);
        ed.SetText(2, kPublishers[k].abbrev);
        ed.SetText(3, kPublishers[k].place);
        if (!ed.Execute())
            return Fail(L"cannot store a publisher");
    }
    for (int k = 0; k < kJournalCount; ++k) {
        jo.SetText(1, kJournals[k].name);
        jo.SetText(2, kJournals[k].abbrev);
        if (kJournals[k].publisher >= 0)
            jo.SetInt(3, kJournals[k].publisher + 1);
        else
            jo.SetNull(3);
        if (!jo.Execute())
            return Fail(L"cannot store a periodical");
    }
    std::set<std::wstring> authorNames;
    std::vector<std::wstring> authors;
    // Apostrophes in names are common enough in the literature to be always present.
    const wchar_t* const fixedAuthors[] = {L"O'Brien M.", L"d'Orbigny A."};
    while ((int)authors.size() < authorCount) {
        std::wstring name = authors.size() < 2 ? fixedAuthors[authors.size()] : PersonName();
        if (authorNames.size() > 600 && rng_.Chance(0.5))
            name += L" " + std::wstring(kInitials[rng_.Below(kInitialCount)]);
        if (!authorNames.insert(name).second)
            continue;
        authors.push_back(name);
        // "Novák J. K.": the full name "J. K. Novák" for about one author in five, the surname
        // as the abbreviation.
        size_t space = name.find(L' ');
        au.SetText(1, name);
        if (rng_.Chance(0.2))
            au.SetText(2, name.substr(space + 1) + L" " + name.substr(0, space));
        else
            au.SetNull(2);
        au.SetText(3, Cut(name.substr(0, space), 32));
        if (!au.Execute())
            return Fail(L"cannot store a literature author");
    }
    // Collectors of the records: mostly the literature's authors, written "J. Novák".
    for (int k = 0; k < std::min(200, authorCount); ++k) {
        const std::wstring& a = authors[k];
        size_t space = a.rfind(L' ');
        collectors_.push_back(a.substr(space + 1) + L" " + a.substr(0, space));
    }
    for (int k = 0; k < kKeywordCount; ++k) {
        kw.SetText(1, kKeywords[k]);
        if (!kw.Execute())
            return Fail(L"cannot store a keyword");
    }
    for (int p = 1; p <= pubCount; ++p) {
        int first = (p % 11 == 0) ? -1 : rng_.Skewed(authorCount, 1.5);
        bool book = rng_.Chance(0.2);
        int journal = (book || p % 5 == 0) ? -1 : rng_.Below(kJournalCount);
        int publisher = (book && p % 7 != 0) ? rng_.Below(kPublisherCount) : -1;
        int year = rng_.Between(1925, 2024);
        const TaxonNode& taxon = taxa_[dataTaxa_[rng_.Below((int)dataTaxa_.size())]];
        const LocNode& place = locs_[locs_[dataLocs_[rng_.Below((int)dataLocs_.size())]].parent];
        const OrderInfo& order = kOrders[taxon.order];
        std::wstring genusSpecies = taxa_[taxon.parent].name + L" " + taxon.name;
        if (taxon.level == 5)
            genusSpecies = taxa_[taxa_[taxon.parent].parent].name + L" " + taxa_[taxon.parent].name + L" " + taxon.name;
        std::wstring title;
        switch (p == 3 ? 9 : rng_.Below(6)) {
        case 0:
            title = L"Příspěvek k poznání fauny (" + std::wstring(order.latin) + L") okresu " + place.name;
            break;
        case 1:
            title = L"Faunistické záznamy z Čech a Moravy. " + IntText(p);
            break;
        case 2:
            title = L"Nové a zajímavé nálezy druhu " + genusSpecies + L" (" + order.latin + L") v Čechách";
            break;
        case 3:
            title = L"Faunistic records from the Czech Republic – " + IntText(100 + p);
            break;
        case 4:
            title = std::wstring(order.czech) + L" (" + order.latin + L") přírodní rezervace " +
                    kVillages[rng_.Below(kVillageCount)];
            title[0] = towupper(title[0]);
            break;
        case 5:
            title = L"Ökologie und Verbreitung von " + genusSpecies + L" in Mähren";
            break;
        default:
            title = L"Nový nález *" + genusSpecies + L"* na Moravě";  // emphasis marks as authors type them
            break;
        }
        lit.SetInt(1, p);
        lit.SetText(2, Cut(title, 256));
        std::wstring abbrev = first >= 0 ? authors[first].substr(0, authors[first].rfind(L' ')) : L"Anonymus";
        lit.SetText(3, abbrev + L" " + IntText(year));
        if (publisher >= 0)
            lit.SetInt(4, publisher + 1);
        else
            lit.SetNull(4);
        if (journal >= 0)
            lit.SetInt(5, journal + 1);
        else
            lit.SetNull(5);
        if (first >= 0)
            lit.SetInt(6, first + 1);
        else
            lit.SetNull(6);
        lit.SetInt(7, year);
        if (journal >= 0 && rng_.Chance(0.7))
            lit.SetInt(8, rng_.Between(1, 4));
        else
            lit.SetNull(8);
        lit.SetText(9, journal >= 0 ? IntText(rng_.Between(1, 60)) : std::wstring());
        int from = rng_.Between(1, 400);
        lit.SetText(10, IntText(from) + L"-" + IntText(from + rng_.Between(1, 40)));
        lit.SetText(11, rng_.Chance(0.3) ? kAbstracts[rng_.Below(kAbstractCount)] : L"");
        lit.SetText(12, kLanguages[rng_.Skewed(kLanguageCount, 2.0)].name);
        lit.SetInt(13, rng_.Chance(0.6) ? -1 : 0);
        if (!lit.Execute())
            return Fail(L"cannot store a publication");
        litIds_.push_back(p);
        if (first >= 0) {
            int count = 1 + rng_.Skewed(4, 2.0);
            std::set<int> seen;
            int pos = 0;
            for (int a = 0; a < count; ++a) {
                int who = a == 0 ? first : rng_.Below(authorCount);
                if (!seen.insert(who).second)
                    continue;
                ba.SetInt(1, p);
                ba.SetInt(2, who + 1);
                ba.SetInt(3, ++pos);
                if (!ba.Execute())
                    return Fail(L"cannot store a book author");
            }
        }
        std::set<int> keys;
        int kcount = rng_.Between(1, 4);
        for (int a = 0, pos = 0; a < kcount; ++a) {
            int key = rng_.Below(kKeywordCount);
            if (!keys.insert(key).second)
                continue;
            kr.SetInt(1, p);
            kr.SetInt(2, key + 1);
            kr.SetInt(3, ++pos);
            if (!kr.Execute())
                return Fail(L"cannot store a keyword link");
        }
        sr.SetInt(1, p);
        sr.SetInt(2, taxon.id);
        sr.SetInt(3, 1);
        if (!sr.Execute())
            return Fail(L"cannot store a taxon link");
        if (rng_.Chance(0.5)) {
            lr.SetInt(1, p);
            lr.SetInt(2, place.id);
            lr.SetInt(3, 1);
            if (!lr.Execute())
                return Fail(L"cannot store a locality link");
        }
    }
    stats_.publications = pubCount;
    return true;
}

bool Generator::WriteRecords()
{
    std::wstring sql = L"INSERT INTO ZORNACOLLS (SYSID, FTRID, LITID, RECNOTE";
    for (int k = 1; k <= kSysLevels; ++k)
        sql += L", SYS_LEVEL_" + IntText(k);
    for (int k = 1; k <= kLocLevels; ++k)
        sql += L", LOC_LEVEL_" + IntText(k);
    sql += L", DATUM, POCET, METODA, LEG, DET, DOKLAD, PRESNOST) VALUES ";
    const int params = 4 + kSysLevels + kLocLevels + 7;
    std::wstring row = L"(?";
    for (int k = 1; k < params; ++k)
        row += L", ?";
    row += L")";
    // Rows go in groups of kBatch per statement: each execution crosses from the program to the
    // host driver, and that crossing, not SQLite, is most of the cost.
    const int kBatch = 20;
    std::wstring batchSql = sql + row;
    for (int k = 1; k < kBatch; ++k)
        batchSql += L", " + row;
    RawStatement single, batch;
    if (!single.Prepare(db_, sql + row) || !batch.Prepare(db_, batchSql))
        return Fail(L"cannot prepare the records");
    const int batchedRows = opt_.records / kBatch * kBatch;

    // Common species and busy sites get most records; the shuffles decide which ones.
    std::vector<int> speciesOrder = dataTaxa_, siteOrder = dataLocs_;
    for (int k = (int)speciesOrder.size() - 1; k > 0; --k)
        std::swap(speciesOrder[k], speciesOrder[rng_.Below(k + 1)]);
    for (int k = (int)siteOrder.size() - 1; k > 0; --k)
        std::swap(siteOrder[k], siteOrder[rng_.Below(k + 1)]);
    const double firstDay = OleDateOf(1950, 1, 1), lastDay = OleDateOf(2024, 12, 31);
    std::unordered_set<unsigned long long> keys;
    keys.reserve((size_t)opt_.records * 2);
    for (int r = 0; r < opt_.records; ++r) {
        RawStatement* st = r < batchedRows ? &batch : &single;
        const int off = r < batchedRows ? (r % kBatch) * params : 0;
        const TaxonNode& t = taxa_[speciesOrder[rng_.Skewed((int)speciesOrder.size(), 2.2)]];
        const LocNode& l = locs_[siteOrder[rng_.Skewed((int)siteOrder.size(), 1.6)]];
        // Later decades are better sampled.
        int day = (int)(firstDay + (lastDay - firstDay) * std::pow(rng_.Unit(), 0.6));
        // Summer months dominate: pull most dates towards the season.
        int yearStart = day - (int)std::fmod(day - OleDateOf(1950, 1, 1), 365.25);
        if (rng_.Chance(0.8))
            day = yearStart + rng_.Between(110, 260);
        unsigned long long key;
        while (true) {
            key = ((unsigned long long)t.id << 40) ^ ((unsigned long long)l.id << 20) ^ (unsigned long long)day;
            if (keys.insert(key).second)
                break;
            ++day;  // one record per species, site and day
        }
        st->SetInt(off + 1, t.id);
        st->SetInt(off + 2, l.id);
        if (!litIds_.empty() && rng_.Chance(0.22))
            st->SetInt(off + 3, litIds_[rng_.Skewed((int)litIds_.size(), 1.3)]);
        else
            st->SetInt(off + 3, -1);
        st->SetText(off + 4, rng_.Chance(0.08) ? kRecordNotes[rng_.Below(kRecordNoteCount)] : L"");
        // Level path: the item's id at its own level and its ancestors' at theirs.
        int sysPath[kSysLevels + 1] = {};
        for (int n = (int)(&t - &taxa_[0]); n >= 0; n = taxa_[n].parent)
            sysPath[taxa_[n].level] = taxa_[n].id;
        for (int k = 1; k <= kSysLevels; ++k) {
            if (sysPath[k] > 0)
                st->SetInt(off + 4 + k, sysPath[k]);
            else
                st->SetNull(off + 4 + k);
        }
        int locPath[kLocLevels + 1] = {};
        for (int n = (int)(&l - &locs_[0]); n >= 0; n = locs_[n].parent)
            locPath[locs_[n].level] = locs_[n].id;
        for (int k = 1; k <= kLocLevels; ++k)
            st->SetInt(off + 4 + kSysLevels + k, locPath[k]);
        int base = 4 + kSysLevels + kLocLevels;
        st->SetDouble(off + base + 1, (double)day);
        if (rng_.Chance(0.9))
            st->SetInt(off + base + 2, 1 + rng_.Skewed(60, 3.0));
        else
            st->SetNull(off + base + 2);
        if (rng_.Chance(0.85))
            st->SetText(off + base + 3, kMethods[rng_.Skewed(kMethodCount, 1.5)].name);
        else
            st->SetNull(off + base + 3);
        const std::wstring& leg = collectors_[rng_.Skewed((int)collectors_.size(), 2.0)];
        st->SetText(off + base + 4, leg);
        st->SetText(off + base + 5, rng_.Chance(0.6) ? leg : collectors_[rng_.Skewed((int)collectors_.size(), 1.5)]);
        st->SetInt(off + base + 6, rng_.Chance(0.3) ? -1 : 0);
        if (rng_.Chance(0.5))
            st->SetDouble(off + base + 7, (double)(10 * rng_.Between(1, 300)));
        else
            st->SetNull(off + base + 7);
        if ((st == &single || r % kBatch == kBatch - 1) && !st->Execute())
            return Fail(L"cannot store a record");
    }
    stats_.records = opt_.records;
    return true;
}

bool Generator::WritePictures()
{
    RawStatement sys, loc;
    if (!sys.Prepare(db_, L"INSERT INTO SYSIMAGES (SYSID, SYSLEVEL, IMGNOTE, PICTURE) VALUES (?, ?, ?, ?)") ||
        !loc.Prepare(db_, L"INSERT INTO LOCIMAGES (LOCID, LOCLEVEL, IMGNOTE, PICTURE) VALUES (?, ?, ?, ?)"))
        return Fail(L"cannot prepare the pictures");
    int count = std::min(12, (int)dataTaxa_.size());
    for (int k = 0; k < count; ++k) {
        const TaxonNode& t = taxa_[dataTaxa_[(size_t)k * dataTaxa_.size() / count]];
        int pictures = 1 + (k % 3 == 0);
        for (int p = 1; p <= pictures; ++p) {
            sys.SetInt(1, t.id);
            sys.SetInt(2, p);
            sys.SetText(3, p == 1 ? L"Imago, dorzální pohled" : L"Biotop, Šumava – Čertovo jezero");
            sys.SetBlob(4, p == 1 ? MakeSampleBmp(120, 90, 1000 + k) : MakeSamplePng(120, 90, 2000 + k));
            if (!sys.Execute())
                return Fail(L"cannot store a taxon picture");
        }
    }
    count = std::min(6, (int)dataLocs_.size());
    for (int k = 0; k < count; ++k) {
        const LocNode& l = locs_[dataLocs_[(size_t)k * dataLocs_.size() / count]];
        loc.SetInt(1, l.id);
        loc.SetInt(2, 1);
        loc.SetText(3, L"Pohled na lokalitu od jihu");
        loc.SetBlob(4, MakeSamplePng(120, 90, 3000 + k));
        if (!loc.Execute())
            return Fail(L"cannot store a locality picture");
    }
    return true;
}

bool Generator::Run(SampleDbStats& stats)
{
    DWORD start = GetTickCount();
    // The indexes of a large record table are written in random order: keep them in memory.
    db_.Exec(L"PRAGMA cache_size = -196608");
    // The file is a new one under a temporary name, moved into place only when complete: a
    // journal and disk syncs would protect nothing.
    db_.Exec(L"PRAGMA journal_mode = OFF");
    db_.Exec(L"PRAGMA synchronous = OFF");
    if (!db_.Begin())
        return Fail(L"cannot start the transaction");
    bool ok = true;
    if (!opt_.empty) {
        BuildTaxa();
        BuildLocalities();
        ok = Levels() && Attributes() && LookupValues() && WriteTaxa() && WriteLocalities() &&
             WriteLiterature() && WriteRecords() && WritePictures();
        if (ok && opt_.fourColumnPictures)
            ok = Exec(L"ALTER TABLE SYSIMAGES DROP COLUMN THUMBNAIL") &&
                 Exec(L"ALTER TABLE LOCIMAGES DROP COLUMN THUMBNAIL");
    }
    if (ok && opt_.olderAttributeTable)
        ok = Exec(L"ALTER TABLE CUSTOMATTRIBUTES DROP COLUMN NULLVAL") &&
             Exec(L"ALTER TABLE CUSTOMATTRIBUTES DROP COLUMN MAXVAL") &&
             Exec(L"ALTER TABLE CUSTOMATTRIBUTES DROP COLUMN MINVAL");
    if (!ok) {
        std::wstring keep = error_;
        db_.Rollback();
        error_ = keep;
        return false;
    }
    if (!db_.Commit())
        return Fail(L"cannot commit");
    stats_.seconds = (GetTickCount() - start) / 1000.0;
    stats = stats_;
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Public helpers

std::wstring GridSquareOf(double longitude, double latitude)
{
    return GridSquareText(longitude, latitude);
}

bool InsideCzechRepublic(double longitude, double latitude)
{
    bool inside = false;
    for (int i = 0, j = kBorderPoints - 1; i < kBorderPoints; j = i++) {
        double xi = kBorder[i][0], yi = kBorder[i][1], xj = kBorder[j][0], yj = kBorder[j][1];
        if ((yi > latitude) != (yj > latitude) &&
            longitude < (xj - xi) * (latitude - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}

std::vector<std::pair<double, double>> CzechBorderOutline()
{
    std::vector<std::pair<double, double>> outline;
    for (int i = 0; i < kBorderPoints; ++i)
        outline.emplace_back(kBorder[i][0], kBorder[i][1]);
    return outline;
}

double OleDateOf(int year, int month, int day)
{
    // Days from the civil calendar (proleptic Gregorian), counted from 30 Dec 1899.
    auto daysFromCivil = [](int y, int m, int d) {
        y -= m <= 2;
        int era = (y >= 0 ? y : y - 399) / 400;
        int yoe = y - era * 400;
        int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + doe - 719468;
    };
    return (double)(daysFromCivil(year, month, day) - daysFromCivil(1899, 12, 30));
}

std::wstring ComposeLocalityLabel(const std::wstring& name, bool hasCoordinates, double longitude,
                                  double latitude, const std::wstring* parent,
                                  const std::wstring* grandparent)
{
    const size_t limit = 62;
    std::wstring label = Cut(name, 63);
    if (label.size() >= 61)
        return label;
    bool cut = false;
    auto append = [&](const std::wstring& text) {
        if (cut)
            return;
        label += text;
        if (label.size() > limit) {
            label.resize(limit);
            cut = true;
        }
    };
    // The program's own conversion, so a stored label is what the program would compose.
    auto dms = [](double v) {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_R8;
        value.dblVal = v;
        int d = 0, mi = 0, s = 0;
        VariantToDms(&value, &d, &mi, &s);
        wchar_t buf[32];
        _snwprintf(buf, 32, L"%d\u00B0 %d' %d\"", d, mi, s);
        buf[31] = 0;
        return std::wstring(buf);
    };
    append(L" (");
    bool inside = false;
    if (hasCoordinates) {
        append(dms(latitude));
        append(L", ");
        append(dms(longitude));
        inside = true;
    }
    const std::wstring* ancestors[2] = {parent, grandparent};
    for (int k = 0; k < 2 && !cut; ++k) {
        if (!ancestors[k] || label.size() >= limit)
            break;
        if (inside)
            append(L", ");
        append(*ancestors[k]);
        inside = true;
    }
    if (!cut)
        return label + L")";
    return label.substr(0, 59) + L"...)";
}

std::vector<unsigned char> MakeSampleBmp(int width, int height, unsigned seed)
{
    int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> b(54 + (size_t)stride * height, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutLe32(b, 2, (unsigned)b.size());
    PutLe32(b, 10, 54);
    PutLe32(b, 14, 40);
    PutLe32(b, 18, (unsigned)width);
    PutLe32(b, 22, (unsigned)height);
    PutLe16(b, 26, 1);
    PutLe16(b, 28, 24);
    PutLe32(b, 34, (unsigned)(stride * height));
    PutLe32(b, 38, 2835);
    PutLe32(b, 42, 2835);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = &b[54 + (size_t)(height - 1 - y) * stride];  // bottom-up rows
        for (int x = 0; x < width; ++x) {
            unsigned char rgb[3];
            PatternPixel(x, y, width, height, seed, rgb);
            row[x * 3] = rgb[2];
            row[x * 3 + 1] = rgb[1];
            row[x * 3 + 2] = rgb[0];
        }
    }
    return b;
}

std::vector<unsigned char> MakeSamplePng(int width, int height, unsigned seed)
{
    // Raw scanlines (filter 0) in stored deflate blocks: valid PNG without a compressor.
    std::vector<unsigned char> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            unsigned char rgb[3];
            PatternPixel(x, y, width, height, seed, rgb);
            raw.insert(raw.end(), rgb, rgb + 3);
        }
    }
    std::vector<unsigned char> z = {0x78, 0x01};
    size_t at = 0;
    do {
        size_t n = std::min<size_t>(65535, raw.size() - at);
        bool last = at + n >= raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back((unsigned char)(n & 0xFF));
        z.push_back((unsigned char)(n >> 8));
        z.push_back((unsigned char)(~n & 0xFF));
        z.push_back((unsigned char)((~n >> 8) & 0xFF));
        z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
        at += n;
    } while (at < raw.size());
    unsigned a = 1, b2 = 0;
    for (unsigned char ch : raw) {
        a = (a + ch) % 65521;
        b2 = (b2 + a) % 65521;
    }
    PutBe32(z, (b2 << 16) | a);

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<unsigned char> ihdr;
    PutBe32(ihdr, (unsigned)width);
    PutBe32(ihdr, (unsigned)height);
    ihdr.push_back(8);  // bit depth
    ihdr.push_back(2);  // truecolour
    ihdr.push_back(0);
    ihdr.push_back(0);
    ihdr.push_back(0);
    PngChunk(png, "IHDR", ihdr);
    PngChunk(png, "IDAT", z);
    PngChunk(png, "IEND", {});
    return png;
}

bool MakeFolders(const std::wstring& folder)
{
    if (folder.empty())
        return true;
    DWORD attr = GetFileAttributesW(folder.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES)
        return (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size_t slash = folder.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0 && folder[slash - 1] != L':') {
        if (!MakeFolders(folder.substr(0, slash)))
            return false;
    } else if (slash != std::wstring::npos && slash > 0) {
        // "C:\x": the drive exists or nothing will.
    }
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool CreateSampleDatabase(const std::wstring& path, const SampleDbOptions& options,
                          std::wstring* error, SampleDbStats* stats)
{
    std::wstring dummy;
    std::wstring& err = error ? *error : dummy;
    wchar_t full[MAX_PATH * 2];
    DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    if (n == 0 || n >= MAX_PATH * 2) {
        err = L"Invalid path: " + path;
        return false;
    }
    std::wstring target = full;
    DWORD attr = GetFileAttributesW(target.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES) {
        if (attr & FILE_ATTRIBUTE_DIRECTORY) {
            err = L"The path names a folder, not a database file: " + target;
            return false;
        }
        if (!IsSqliteFileOrEmpty(target)) {
            err = L"The file is not an SQLite database and was left unchanged: " + target;
            return false;
        }
    }
    size_t slash = target.find_last_of(L"\\/");
    if (slash != std::wstring::npos && !MakeFolders(target.substr(0, slash))) {
        err = L"Cannot create the folder: " + target.substr(0, slash);
        return false;
    }
    // Build beside the target and move it into place when complete, so that a program never
    // finds a half-made database under the real name.
    std::wstring temp = target + L".new";
    DeleteFileW(temp.c_str());
    DeleteFileW((temp + L"-journal").c_str());
    SampleDbStats local;
    bool ok;
    {
        RawOdbc db;
        ok = db.Open(temp, true);
        if (!ok) {
            err = db.LastError();
        } else {
            std::wstring schemaError;
            ok = RunSchemaScript(db.Handle(), &schemaError);
            if (!ok) {
                err = L"The schema script failed: " + schemaError;
            } else {
                Generator gen(db, options);
                ok = gen.Run(local);
                if (!ok)
                    err = gen.Error();
            }
            db.Close();
        }
    }
    if (ok && !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        err = L"Cannot move the new database into place: " + target;
        ok = false;
    }
    if (!ok) {
        DeleteFileW(temp.c_str());
        DeleteFileW((temp + L"-journal").c_str());
        return false;
    }
    if (stats)
        *stats = local;
    return true;
}

}  // namespace zor
