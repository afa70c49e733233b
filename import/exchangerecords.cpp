#include "import/exchangerecords.h"

#include <strsafe.h>

#include <cstring>
#include <string>

#include "core/attrdef.h"
#include "core/geopoint.h"
#include "core/msgboxtext.h"
#include "core/textutil.h"
#include "core/treewalk.h"
#include "import/exchangereader.h"
#include "import/exchangeshared.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "import/recordrefusal.h"
#include "import/recordwriter.h"
#include "import/targetlocality.h"
#include "import/targetsystem.h"
#include "import/targettables.h"
#include "resources/tarnix/resource.h"

const char kRecordsExchangeMagic[] = "Exportni soubor zorny";

namespace {

const int kRecordAttrCount = 17;
// Keys of the record attributes in the order of group 4; integer or text.
const char* const kRecordKeys[kRecordAttrCount] = {
    "Den=", "Mesic=", "Rok=", "Rostlina=", "Povetri=", "Biotop=", "PocetEx=", "PocetSam=", "PocetDel=",
    "Stadium=", "Sber=", "Lovec=", "Muzea=", "Urceno=", "RokUrc=", "Revize=", "RokRev="};
const bool kRecordKeyIsInt[kRecordAttrCount] = {true,  true,  true,  false, false, false, true, true, true,
                                                false, false, false, false, false, true,  false, true};
// Indexes 6-8 are counts: an unreadable count is none (-1); other integers become 0.
bool IsCount(int index) { return index >= 6 && index <= 8; }

// The group 4 definitions proposed to the wizard: type, size, minimum, maximum, empty value
// (INT_MIN: null).
struct AttrProposal {
    int type, size, minimum, maximum, empty;
    bool key;
};
const int kNone = INT_MIN;
const AttrProposal kProposals[kRecordAttrCount] = {
    {1, 0, 1, 31, 0, true},         {1, 0, 1, 12, 0, true},         {1, 0, 1500, kNone, 0, true},
    {5, 31, kNone, kNone, kNone, false}, {5, 31, kNone, kNone, kNone, false}, {5, 31, kNone, kNone, kNone, false},
    {1, 0, 0, kNone, -1, false},    {1, 0, 0, kNone, -1, false},    {1, 0, 0, kNone, -1, false},
    {5, 31, kNone, kNone, kNone, false}, {5, 31, kNone, kNone, kNone, false}, {5, 31, kNone, kNone, kNone, true},
    {5, 31, kNone, kNone, kNone, false}, {5, 31, kNone, kNone, kNone, false}, {1, 0, 1500, kNone, 0, false},
    {5, 31, kNone, kNone, kNone, false}, {1, 0, 1500, kNone, 0, false}};

void SetProposed(VARIANT* v, int value)
{
    VariantInit(v);
    if (value == kNone) {
        v->vt = VT_NULL;
    } else {
        v->vt = VT_I4;
        v->lVal = value;
    }
}

// The value after key when the line starts with it.
bool KeyValue(const std::string& line, const char* key, std::string* value)
{
    size_t n = strlen(key);
    if (line.compare(0, n, key) != 0)
        return false;
    *value = line.substr(n);
    return true;
}

bool IsTrueFlag(const std::string& value) { return !value.empty() && (value[0] == 't' || value[0] == 'T'); }

// A number of the file that may be missing: given and readable, or not.
struct Number {
    int Value = 0;
    bool Valid = false;
};

// Up to four names separated by backslashes; missing ones empty. The format has no way to write a
// backslash inside a name: one there ends the name, and what follows the fourth is dropped (logged).
void SplitPath(ImportRun& run, const std::string& value, std::wstring names[4])
{
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        names[i].clear();
        if (start == std::string::npos)
            continue;
        size_t slash = value.find('\\', start);
        std::string part = value.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        bool cut = false;
        names[i] = ExchangeText(part, &cut);
        if (cut)
            LogCutText(run, names[i]);
        start = slash == std::string::npos ? std::string::npos : slash + 1;
    }
    if (start != std::string::npos && start < value.size())
        run.LogError((run.String(IDS_X_LOG_NAMES_LEFT) + ExchangeText(value.substr(start))).c_str());
}

// The key of a line too long to be read ("Lovec=" of "Lovec=..."): its value is lost, and the
// field it sets has none rather than keeping an earlier line's.
std::string KeyOfUnreadLine(const std::string& line)
{
    size_t equals = line.find('=');
    return equals == std::string::npos ? std::string() : line.substr(0, equals + 1);
}

// A line of a key (letters, then "="), known or not: every key of the format has this shape.
bool IsKeyLine(const std::string& line)
{
    size_t i = 0;
    while (i < line.size() && ((line[i] >= 'A' && line[i] <= 'Z') || (line[i] >= 'a' && line[i] <= 'z')))
        ++i;
    return i > 0 && i < line.size() && line[i] == '=';
}

// A line of one of the format's own keys.
bool IsKnownKeyLine(const std::string& line)
{
    static const char* const kOtherKeys[] = {"druh=",   "poddruh=", "autor=",   "rok=",    "zavorky=", "lokalita=",
                                             "UzCelek=", "ObecVD=",  "ObecSS=",  "VDStup=", "VDMin=",   "VDSec=",
                                             "SSStup=", "SSMin=",   "SSSec=",   "NVyska=", "Liter=",   "LitAutor=",
                                             "LitDilo=", "rad="};
    auto starts = [&](const char* key) { return line.compare(0, strlen(key), key) == 0; };
    for (const char* key : kRecordKeys)
        if (starts(key))
            return true;
    for (const char* key : kOtherKeys)
        if (starts(key))
            return true;
    return false;
}

bool IsBlockMarker(const std::string& line)
{
    static const char* const kMarkers[] = {"BNalez", "ENalez", "BLokalita", "ELokalita", "BZadani", "EZadani"};
    for (const char* marker : kMarkers)
        if (line == marker)
            return true;
    return false;
}

// How the next line of the file was taken.
enum LineKind {
    LINE_END,     // the file ended
    LINE_READ,    // a key (known or not), a block marker or an empty line
    LINE_PASSED,  // a line of a damaged stretch: no text of the file
};

// Locality slots of the target tables: the territorial unit's lookup, then the 17 record
// attributes' lookups.
const int kUnitLookupSlot = TARGET_FIXED_SLOTS;
const int kRecordLookupSlot = TARGET_FIXED_SLOTS + 1;

// A day, month or year that goes into a date attribute (where the parts make one date).
bool IsDatePartOfDate(const AttrImportEntry* attr)
{
    return attr->DatePart && attr->TargetType == ATTR_DATE && attr->State != CHOICE_SKIP;
}

class CImpColl2002Src : public IImpSource {
public:
    explicit CImpColl2002Src(HINSTANCE instance) : IImpSource(instance) {}

    bool Open(const wchar_t* path) override { return OpenExchangeFile(hInstance, path, kRecordsExchangeMagic, &problem_); }
    std::wstring OpenProblem() const override { return problem_; }
    int GetGroupCount() override { return 4; }
    int GetGroupKind(int group) override
    {
        static const int kinds[4] = {GROUP_SYS_UNITS, GROUP_LOC_UNITS, GROUP_FEATURES_ATTRS, GROUP_RECORD_ATTRS};
        return group >= 1 && group <= 4 ? kinds[group - 1] : GROUP_NONE;
    }
    int FillGroup(int group, CPtrArray* items, void*) override;

    bool OpenData(ImportRun& run) override;
    bool ChangeStructure(ImportRun& run) override;
    bool OpenTargets(ImportRun& run) override;
    int ImportRow(ImportRun& run) override;
    int Percent() override
    {
        return (int)(reader_.Position() * 100 / (reader_.Size() + 4));
    }
    void CloseData(ImportRun&) override
    {
        reader_.Close();
        records_.Close();
        CloseTargetTables(&Targets);
    }

private:
    CPtrArray* Group(ImportRun& run, int group) { return run.Job->GroupItems[group - 1]; }
    bool ReadHeader();
    void ClearValues();
    LineKind NextLine(ImportRun& run);
    // The line read by NextLine (the key alone of a line too long to be read).
    const std::string& Line() const { return reader_.Overlong ? key_ : reader_.Text; }
    void PassOver();
    int PassRecord(ImportRun& run, UINT why);
    int EndOfFile(ImportRun& run);
    // unread: the line's value was lost (the line is its key alone)
    void ParseSpeciesLine(ImportRun& run, const std::string& line, bool unread);
    void ParseLocalityLine(ImportRun& run, const std::string& line, bool unread);
    void ParseRecordLine(ImportRun& run, const std::string& line);
    void ReadNumber(ImportRun& run, const std::string& value, Number* number, int maximum);
    void ReadText(ImportRun& run, const std::string& value, std::wstring* text);
    int ImportSpecies(ImportRun& run);
    int ImportLocality(ImportRun& run);
    int ImportPublication(ImportRun& run);
    int FindOrAddNamed(ImportRun& run, int slot, const std::wstring& name, int authorId);
    static void Coordinate(const Number parts[3], VARIANT* out);
    void MunicipalityCoordinate(ImportRun& run, const std::string& text, VARIANT* out);
    bool WriteRecord(ImportRun& run, int speciesId, int localityId, int literatureId);
    void WriteDateOfParts(ImportRun& run, CPtrArray* attrs, int ordinal);

    ExchangeReader reader_;
    std::wstring problem_;
    std::string key_;
    bool headerComplete_ = false;
    int headerEndLine_ = 0;
    // damage: the stretches not read, the records passed over for them or for lines not read
    UnreadStretches unread_;
    int recordsPassed_ = 0;
    bool recordDamaged_ = false;   // a line of the record being read was not read
    bool nextStarted_ = false;     // the record being read ended at the next one's start
    std::wstring orderName_;
    int orderId_ = 0;

    // the current species
    std::wstring species_[4];  // family, genus, species, subspecies
    std::wstring author_;
    int year_ = 0;
    bool parentheses_ = false;
    bool speciesRead_ = false;
    bool speciesLost_ = false;  // the names, or what followed them, were not read: no record takes a species
    int speciesId_ = -1;
    int speciesPath_[4] = {-1, -1, -1, -1};

    // the current locality
    std::wstring locality_[4];  // country, district, municipality, locality
    bool localityLost_ = false;  // as speciesLost_
    std::wstring unit_;
    std::string municipalityLon_, municipalityLat_;
    Number lon_[3], lat_[3], altitude_;

    // the current record
    int ints_[kRecordAttrCount] = {};
    std::wstring texts_[kRecordAttrCount];
    bool cites_ = false;
    std::wstring litAuthor_, litTitle_;
    int localityPath_[4] = {-1, -1, -1, -1};

    // the target
    RecordWriter records_;
    zdata::Recordset* unitLookup_ = nullptr;
    zdata::Recordset* recordLookups_[kRecordAttrCount] = {};
    int orderColumn_ = -1;
    int sysColumns_[4] = {-1, -1, -1, -1};
    int locColumns_[4] = {-1, -1, -1, -1};
};

int CImpColl2002Src::FillGroup(int group, CPtrArray* items, void*)
{
    int kind = GetGroupKind(group);
    if (kind == GROUP_SYS_UNITS)
        FillSystemUnits(hInstance, items);
    else if (kind == GROUP_LOC_UNITS)
        FillLocalityUnits(hInstance, items);
    else if (kind == GROUP_FEATURES_ATTRS)
        FillTerritorialUnit(hInstance, items);
    else if (kind == GROUP_RECORD_ATTRS && items->GetCount() == 0) {
        for (int i = 0; i < kRecordAttrCount; ++i) {
            wchar_t name[64] = L"";
            LoadStringW(hInstance, IDS_X_RECORD_ATTR_FIRST + i, name, 64);
            const AttrProposal& p = kProposals[i];
            AttrImportEntry* entry = NewAttrImportEntry(name, p.type, p.size);
            entry->KeyFlag = p.key ? 1 : 0;
            entry->DatePart = i <= 2 ? (BYTE)(i + 1) : 0;  // day, month, year
            SetProposed(&entry->MinVal, p.minimum);
            SetProposed(&entry->MaxVal, p.maximum);
            SetProposed(&entry->NullVal, p.empty);
            items->Add(entry);
        }
    }
    return kind;
}

bool CImpColl2002Src::OpenData(ImportRun& run)
{
    if (!ExchangeReader::HasMagic(Path.c_str(), kRecordsExchangeMagic) || !reader_.Open(Path.c_str()))
        return false;
    headerComplete_ = ReadHeader();
    headerEndLine_ = reader_.Line;
    run.Line = reader_.Line;
    ClearValues();
    speciesRead_ = speciesLost_ = localityLost_ = false;
    speciesId_ = -1;
    for (int i = 0; i < 4; ++i)
        speciesPath_[i] = localityPath_[i] = -1;
    unread_.Reset();
    recordsPassed_ = 0;
    recordDamaged_ = nextStarted_ = false;
    return true;
}

// The values in force: none.
void CImpColl2002Src::ClearValues()
{
    for (std::wstring& name : species_)
        name.clear();
    author_.clear();
    year_ = 0;
    parentheses_ = false;
    for (std::wstring& name : locality_)
        name.clear();
    unit_.clear();
    municipalityLon_.clear();
    municipalityLat_.clear();
    for (int i = 0; i < 3; ++i)
        lon_[i] = lat_[i] = Number();
    altitude_ = Number();
    for (int i = 0; i < kRecordAttrCount; ++i) {
        ints_[i] = IsCount(i) ? -1 : 0;
        texts_[i].clear();
    }
    cites_ = false;
    litAuthor_.clear();
    litTitle_.clear();
}

// Two lines, then "BZadani", a line starting "rad=" and "EZadani"; false when the file ends first.
bool CImpColl2002Src::ReadHeader()
{
    orderName_.clear();
    if (!reader_.ReadLine() || !reader_.ReadLine())
        return false;
    while (reader_.Text != "BZadani")
        if (!reader_.ReadLine())
            return false;
    std::string value;
    for (;;) {
        if (!reader_.ReadLine())
            return false;
        if (KeyValue(reader_.Text, "rad=", &value))
            break;
    }
    orderName_ = ExchangeText(value);
    while (reader_.Text != "EZadani")
        if (!reader_.ReadLine())
            return false;
    return true;
}

bool CImpColl2002Src::ChangeStructure(ImportRun& run)
{
    if (!headerComplete_) {
        run.Line = headerEndLine_;
        run.LogError(run.String(IDS_X_LOG_HEADER_CUT).c_str());
        return false;
    }
    return IImpSource::ChangeStructure(run);
}

bool CImpColl2002Src::OpenTargets(ImportRun& run)
{
    if (!IImpSource::OpenTargets(run))
        return false;
    // The lookup tables of the territorial unit and of the record attributes that have them.
    OpenTargetAttrTables(run.Connection, Group(run, 3), &Targets, kUnitLookupSlot, L"SELECT * FROM FEA_%s");
    OpenTargetAttrTables(run.Connection, Group(run, 4), &Targets, kRecordLookupSlot, L"SELECT * FROM ZOR_%s");
    unitLookup_ = AttrHasLookup(AttrAt(Group(run, 3), 0)) ? Targets.Slots[kUnitLookupSlot] : nullptr;
    for (int i = 0; i < kRecordAttrCount; ++i)
        recordLookups_[i] = AttrHasLookup(AttrAt(Group(run, 4), i)) ? Targets.Slots[(size_t)(kRecordLookupSlot + i)]
                                                                     : nullptr;
    // The path columns of the records; a unit not imported has none.
    zdata::Recordset* records = Targets.Slots[TARGET_RECORDS];
    if (!records_.Open(run.Connection, L"ZORNACOLLS", records))
        return false;
    auto levelColumn = [&](const wchar_t* format, UnitEntry* entry) {
        if (UnitSkipped(entry))
            return -1;
        wchar_t name[32];
        StringCchPrintfW(name, 32, format, entry->TargetLevel);
        return ColumnOrdinal(records, name);
    };
    orderColumn_ = levelColumn(L"SYS_LEVEL_%d", UnitAt(Group(run, 1), 0));
    for (int i = 0; i < 4; ++i) {
        sysColumns_[i] = levelColumn(L"SYS_LEVEL_%d", UnitAt(Group(run, 1), i + 1));
        locColumns_[i] = levelColumn(L"LOC_LEVEL_%d", UnitAt(Group(run, 2), i));
    }
    // The order: found or made under the top of the tree.
    run.Line = headerEndLine_;
    UnitEntry* order = UnitAt(Group(run, 1), 0);
    orderId_ = 0;
    if (!UnitSkipped(order)) {
        if (orderName_.empty()) {
            run.LogError(run.String(IDS_I_LOG_NO_UNIT_NAME).c_str());
        } else {
            ItemResult item = FindOrCreateSysItem(run, &MaxSysId, 0, order->TargetLevel, orderName_.c_str(), nullptr);
            orderId_ = item.Failed ? -1 : item.Id;
        }
    }
    return true;
}

void CImpColl2002Src::ReadNumber(ImportRun& run, const std::string& value, Number* number, int maximum)
{
    number->Valid = ParseExchangeInt(value, &number->Value) && number->Value >= 0 && number->Value <= maximum;
    if (!number->Valid && !value.empty())
        run.LogError((run.String(IDS_X_LOG_BAD_COORDINATE) + ExchangeText(value)).c_str());
}

void CImpColl2002Src::ReadText(ImportRun& run, const std::string& value, std::wstring* text)
{
    bool cut = false;
    *text = ExchangeText(value, &cut);
    if (cut)
        LogCutText(run, *text);
}

void CImpColl2002Src::ParseSpeciesLine(ImportRun& run, const std::string& line, bool unread)
{
    std::string value;
    if (KeyValue(line, "druh=", &value) || KeyValue(line, "poddruh=", &value)) {
        SplitPath(run, value, species_);
        speciesLost_ = unread;
    } else if (KeyValue(line, "autor=", &value))
        ReadText(run, value, &author_);
    else if (KeyValue(line, "rok=", &value)) {
        if (!ParseExchangeInt(value, &year_)) {
            year_ = 0;
            if (!value.empty())
                LogBadNumber(run, value);
        }
    } else if (KeyValue(line, "zavorky=", &value))
        parentheses_ = IsTrueFlag(value);
    else
        return;
    speciesRead_ = true;
}

void CImpColl2002Src::ParseLocalityLine(ImportRun& run, const std::string& line, bool unread)
{
    std::string value;
    if (KeyValue(line, "lokalita=", &value)) {
        SplitPath(run, value, locality_);
        localityLost_ = unread;
    } else if (KeyValue(line, "UzCelek=", &value))
        ReadText(run, value, &unit_);
    else if (KeyValue(line, "ObecVD=", &value))
        municipalityLon_ = value.substr(0, 15);
    else if (KeyValue(line, "ObecSS=", &value))
        municipalityLat_ = value.substr(0, 15);
    else if (KeyValue(line, "VDStup=", &value))
        ReadNumber(run, value, &lon_[0], 180);
    else if (KeyValue(line, "VDMin=", &value))
        ReadNumber(run, value, &lon_[1], 59);
    else if (KeyValue(line, "VDSec=", &value))
        ReadNumber(run, value, &lon_[2], 59);
    else if (KeyValue(line, "SSStup=", &value))
        ReadNumber(run, value, &lat_[0], 90);
    else if (KeyValue(line, "SSMin=", &value))
        ReadNumber(run, value, &lat_[1], 59);
    else if (KeyValue(line, "SSSec=", &value))
        ReadNumber(run, value, &lat_[2], 59);
    else if (KeyValue(line, "NVyska=", &value)) {
        altitude_.Valid = ParseExchangeInt(value, &altitude_.Value);
        if (!altitude_.Valid && !value.empty())
            LogBadNumber(run, value);
    }
}

void CImpColl2002Src::ParseRecordLine(ImportRun& run, const std::string& line)
{
    std::string value;
    for (int i = 0; i < kRecordAttrCount; ++i) {
        if (!KeyValue(line, kRecordKeys[i], &value))
            continue;
        if (!kRecordKeyIsInt[i]) {
            ReadText(run, value, &texts_[i]);
        } else if (!ParseExchangeInt(value, &ints_[i])) {
            ints_[i] = IsCount(i) ? -1 : 0;
            if (!value.empty())
                LogBadNumber(run, value);
        }
        return;
    }
    if (KeyValue(line, "Liter=", &value))
        cites_ = IsTrueFlag(value);
    else if (KeyValue(line, "LitAutor=", &value))
        ReadText(run, value, &litAuthor_);
    else if (KeyValue(line, "LitDilo=", &value))
        ReadText(run, value, &litTitle_);
}

// A line that holds no text of the file (bytes no text holds, or neither a key nor a block
// marker) is damage: it goes into the stretch not read, and whatever it may have set (any
// species, locality or record value) is none from there on; a record it falls into is not
// imported, nor one that would take a species or locality named before it. A block marker or
// a line of a known key ends the stretch; an empty line or one of a key the format does not
// have (passed over, as always) neither starts nor ends one.
LineKind CImpColl2002Src::NextLine(ImportRun& run)
{
    if (!reader_.ReadLine()) {
        unread_.End(run);
        return LINE_END;
    }
    run.Line = reader_.Line;
    const std::string& text = reader_.Text;
    if (reader_.Garbled || (!text.empty() && !IsKeyLine(text) && !IsBlockMarker(text))) {
        PassOver();
        return LINE_PASSED;
    }
    if (IsBlockMarker(text) || IsKnownKeyLine(text))
        unread_.End(run);
    if (reader_.Overlong) {
        run.LogError(run.String(IDS_X_LOG_LINE_TOO_LONG).c_str());
        key_ = KeyOfUnreadLine(text);  // never a block marker
    }
    return LINE_READ;
}

void CImpColl2002Src::PassOver()
{
    unread_.Add(reader_.Line);
    ClearValues();
    speciesLost_ = localityLost_ = true;
    recordDamaged_ = true;
}

// A record not imported for what of the file was not read: logged and counted.
int CImpColl2002Src::PassRecord(ImportRun& run, UINT why)
{
    run.LogError(run.String(why).c_str());
    ++recordsPassed_;
    return ROW_FAILED;
}

// The end of the file ends the run; a damaged file ends it with the count of what was passed over.
int CImpColl2002Src::EndOfFile(ImportRun& run)
{
    unread_.End(run);
    if (unread_.Count() > 0) {
        run.Line = reader_.Line;
        std::wstring lines = std::to_wstring(unread_.Lines()), records = std::to_wstring(recordsPassed_);
        run.LogError(ResourceText(hInstance, IDS_X_LOG_DAMAGE_TOTAL, {lines.c_str(), records.c_str()}).c_str());
    }
    return ROW_END;
}

int CImpColl2002Src::ImportRow(ImportRun& run)
{
    if (!headerComplete_)
        return ROW_END;
    // Species lines up to the record, unless the previous record ended at its start.
    while (!nextStarted_) {
        LineKind kind = NextLine(run);
        if (kind == LINE_END)
            return EndOfFile(run);
        if (kind == LINE_PASSED)
            continue;
        if (Line() == "BNalez")
            break;
        if (Line() == "ENalez")
            return PassRecord(run, IDS_X_LOG_RECORD_DAMAGED);  // the end of a record whose start was not read
        ParseSpeciesLine(run, Line(), reader_.Overlong);
    }
    nextStarted_ = false;
    recordDamaged_ = false;
    int recordLine = reader_.Line;
    // The record's lines up to its end.
    bool inLocality = false;
    bool complete = false;
    LineKind kind;
    while ((kind = NextLine(run)) != LINE_END) {
        if (kind == LINE_PASSED)
            continue;
        const std::string& line = Line();
        if (line == "ENalez") {
            complete = true;
            break;
        } else if (line == "BNalez") {
            nextStarted_ = true;  // this record's end was not read
            break;
        } else if (line == "BLokalita")
            inLocality = true;
        else if (line == "ELokalita")
            inLocality = false;
        else if (inLocality)
            ParseLocalityLine(run, line, reader_.Overlong);
        else
            ParseRecordLine(run, line);
    }
    run.Line = recordLine;
    if (kind == LINE_END) {
        // What the file holds of a record it ends in is not imported.
        PassRecord(run, IDS_X_LOG_RECORD_CUT);
        return EndOfFile(run);
    }
    if (!complete || recordDamaged_)
        return PassRecord(run, IDS_X_LOG_RECORD_DAMAGED);
    // No other record's species or locality stands in for the one that could not be read.
    if (speciesLost_ || localityLost_)
        return PassRecord(run, IDS_X_LOG_RECORD_LOST);
    if (speciesRead_) {
        speciesId_ = ImportSpecies(run);
        speciesRead_ = false;
    }
    int localityId = ImportLocality(run);
    for (int i = 0; i < kRecordAttrCount; ++i) {
        if (!kRecordKeyIsInt[i])
            OfferLookupText(run, recordLookups_[i], texts_[i]);
        else if (ints_[i] >= 0 || i <= 2)
            OfferLookupText(run, recordLookups_[i], std::to_wstring(ints_[i]));
    }
    int literatureId = cites_ ? ImportPublication(run) : -1;
    if (WriteRecord(run, speciesId_, localityId, literatureId))
        return ROW_IMPORTED;
    // The record is refused: what was made for it goes with it, so the next record of the same
    // species looks its path up again.
    LogRecordRefusal(run);
    speciesRead_ = true;
    for (int& id : speciesPath_)
        id = -1;
    return ROW_FAILED;
}

int CImpColl2002Src::ImportSpecies(ImportRun& run)
{
    bool withSubspecies = !species_[3].empty();
    wchar_t parts[3][64] = {};
    for (int i = 0; i < 3; ++i)
        StringCchCopyW(parts[i], 64, species_[i + 1].c_str());
    wchar_t composed[64] = L"";
    ComposeSpeciesName(composed, parts[0], withSubspecies);
    int found = Targets.Index.FindSpecies(Targets.Slots[TARGET_SPECIES], composed);
    if (found >= 0 && found == speciesPath_[withSubspecies ? 3 : 2])
        return found;
    CPtrArray* units = Group(run, 1);
    int parent = orderId_;
    bool rowFailed = false;
    for (int level = 1; level <= 4; ++level) {
        UnitEntry* unit = UnitAt(units, level);
        const std::wstring& name = species_[level - 1];
        speciesPath_[level - 1] = -1;
        if (UnitSkipped(unit) || name.empty()) {
            if (name.empty() && level <= 3)
                run.LogError(run.String(IDS_I_LOG_NO_UNIT_NAME).c_str());
            continue;
        }
        wchar_t rowName[64] = L"";
        if (level >= 3)
            ComposeSpeciesName(rowName, parts[0], level == 4);
        NewSpecies row = {rowName, author_.c_str(), parentheses_, year_};
        ItemResult item = FindOrCreateSysItem(run, &MaxSysId, parent, unit->TargetLevel, name.c_str(),
                                              level >= 3 ? &row : nullptr);
        if (item.Failed && !item.Created)
            continue;  // logged; the deeper levels hang under the parent
        rowFailed = rowFailed || item.Failed;
        parent = speciesPath_[level - 1] = item.Id;
    }
    return rowFailed ? -1 : parent;
}

void CImpColl2002Src::Coordinate(const Number parts[3], VARIANT* out)
{
    SetNull(out);
    if (!parts[0].Valid || !parts[1].Valid || !parts[2].Valid)
        return;
    out->vt = VT_R8;
    out->dblVal = parts[0].Value + parts[1].Value / 60.0 + parts[2].Value / 3600.0;
}

// DDMMSS of the municipality; a text given that is not such a coordinate is logged.
void CImpColl2002Src::MunicipalityCoordinate(ImportRun& run, const std::string& text, VARIANT* out)
{
    std::wstring wide = ExchangeText(text);
    if (!DmsTextToDegrees(wide.c_str(), out))
        run.LogError((run.String(IDS_X_LOG_BAD_COORDINATE) + wide).c_str());
}

int CImpColl2002Src::ImportLocality(ImportRun& run)
{
    VARIANT none, municipalityLon, municipalityLat, lon, lat, alt;
    SetNull(&none);
    SetNull(&municipalityLon);
    SetNull(&municipalityLat);
    MunicipalityCoordinate(run, municipalityLon_, &municipalityLon);
    MunicipalityCoordinate(run, municipalityLat_, &municipalityLat);
    Coordinate(lon_, &lon);
    Coordinate(lat_, &lat);
    SetNull(&alt);
    if (altitude_.Valid) {
        alt.vt = VT_R8;
        alt.dblVal = altitude_.Value;
    }
    CPtrArray* units = Group(run, 2);
    AttrImportEntry* unitAttr = AttrAt(Group(run, 3), 0);
    int parent = 0;
    for (int level = 0; level < 4; ++level) {
        UnitEntry* unit = UnitAt(units, level);
        const std::wstring& name = locality_[level];
        if (name.empty())
            run.LogError(run.String(IDS_I_LOG_NO_UNIT_NAME).c_str());
        if (UnitSkipped(unit) || name.empty()) {
            localityPath_[level] = -1;
            continue;
        }
        const VARIANT& x = level == 2 ? municipalityLon : level == 3 ? lon : none;
        const VARIANT& y = level == 2 ? municipalityLat : level == 3 ? lat : none;
        const VARIANT& z = level == 3 ? alt : none;
        ItemResult item = FindOrCreateLocItem(run, &MaxLocId, parent, unit->TargetLevel, name.c_str(), nullptr, x, y, z);
        bool unitImported = unitAttr && unitAttr->State != CHOICE_SKIP;
        if (item.Created && level == 3)
            WriteNewLocality(run, item.Id, name.c_str(), locality_[2].c_str(), locality_[1].c_str(), locality_[0].c_str(),
                             x, y, z, unitImported ? unitLookup_ : nullptr, unit_.c_str(),
                             unitImported ? unitAttr->TargetOrdinal : -1);
        localityPath_[level] = item.Failed ? -1 : item.Id;
        parent = item.Id;
    }
    return parent;
}

// The id of the row of a name table (LITAUTHORS or LITERATURE) with that name, added when
// missing; -1 (logged) when it could not be added.
int CImpColl2002Src::FindOrAddNamed(ImportRun& run, int slot, const std::wstring& name, int authorId)
{
    zdata::Recordset* rs = Targets.Slots[(size_t)slot];
    int id = Targets.Index.FindNamed(rs, 1, 0, name.c_str());
    if (id >= 0)
        return id;
    VARIANT author;
    SetNull(&author);
    if (authorId >= 0) {
        author.vt = VT_I4;
        author.lVal = authorId;
    }
    bool added = SUCCEEDED(rs->AddNew()) && PutOrdinalText(rs, 1, name.c_str()) &&
                 (slot != TARGET_LITERATURE || PutOrdinal(rs, 5, author)) && SUCCEEDED(rs->Update());
    if (!added) {
        run.LogDbErrors();
        rs->CancelUpdate();
        return -1;
    }
    id = treewalk::RowInt(rs, 0);
    Targets.Index.NamedAdded(rs, name.c_str(), id);
    return id;
}

int CImpColl2002Src::ImportPublication(ImportRun& run)
{
    if (litTitle_.empty())
        return -1;
    int authorId = -1;
    if (!litAuthor_.empty()) {
        authorId = FindOrAddNamed(run, TARGET_LITAUTHORS, litAuthor_, -1);
        if (authorId < 0)
            return -1;
    }
    return FindOrAddNamed(run, TARGET_LITERATURE, litTitle_, authorId);
}

// The date at the ordinal from the day, month and year mapped onto it; a date the parts do not
// make (a part unknown, 0, or not mapped there) is left out and logged.
void CImpColl2002Src::WriteDateOfParts(ImportRun& run, CPtrArray* attrs, int ordinal)
{
    int parts[3] = {0, 0, 0};
    for (int i = 0; i < kRecordAttrCount; ++i) {
        const AttrImportEntry* attr = AttrAt(attrs, i);
        if (attr && IsDatePartOfDate(attr) && attr->TargetOrdinal == ordinal)
            parts[attr->DatePart - 1] = ints_[i];
    }
    SYSTEMTIME day = {};
    day.wDay = (WORD)parts[0];
    day.wMonth = (WORD)parts[1];
    day.wYear = (WORD)parts[2];
    SYSTEMTIME back = {};
    VARIANT date;
    VariantInit(&date);
    date.vt = VT_DATE;
    // The system makes 31 April into 1 May: a date is taken only when it reads back the same.
    bool valid = parts[0] >= 1 && parts[0] <= 31 && parts[1] >= 1 && parts[1] <= 12 && parts[2] >= 100 &&
                 parts[2] <= 9999 && SystemTimeToVariantTime(&day, &date.date) && VariantTimeToSystemTime(date.date, &back) &&
                 back.wDay == day.wDay && back.wMonth == day.wMonth;
    if (valid) {
        records_.Set(ordinal, date);
        return;
    }
    wchar_t text[256] = L"";
    StringCchPrintfW(text, 256, run.String(IDS_X_LOG_BAD_DATE).c_str(), parts[0], parts[1], parts[2]);
    run.LogError(text);
}

bool CImpColl2002Src::WriteRecord(ImportRun& run, int speciesId, int localityId, int literatureId)
{
    records_.Clear();
    records_.SetInt(1, speciesId);
    records_.SetInt(2, localityId);
    records_.SetInt(3, literatureId);
    if (orderColumn_ >= 0)
        records_.SetPathId(orderColumn_, orderId_);
    for (int i = 0; i < 4; ++i) {
        if (sysColumns_[i] >= 0)
            records_.SetPathId(sysColumns_[i], speciesPath_[i]);
        if (locColumns_[i] >= 0)
            records_.SetPathId(locColumns_[i], localityPath_[i]);
    }
    CPtrArray* attrs = Group(run, 4);
    for (int i = 0; i < kRecordAttrCount; ++i) {
        AttrImportEntry* attr = AttrAt(attrs, i);
        if (!attr || attr->State == CHOICE_SKIP || attr->TargetOrdinal < 0)
            continue;
        if (IsDatePartOfDate(attr)) {
            if (attr->DatePart == 1)
                WriteDateOfParts(run, attrs, attr->TargetOrdinal);
        } else if (kRecordKeyIsInt[i]) {
            if (i <= 2 || ints_[i] >= 0)
                records_.SetInt(attr->TargetOrdinal, ints_[i]);
        } else if (!texts_[i].empty()) {
            records_.SetText(attr->TargetOrdinal, texts_[i].c_str());
        }
    }
    return SUCCEEDED(records_.Write());
}

}  // namespace

IImpSource* CreateRecordsExchangeSource(HINSTANCE instance, int)
{
    return new CImpColl2002Src(instance);
}
