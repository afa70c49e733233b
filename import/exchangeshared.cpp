#include "import/exchangeshared.h"

#include <strsafe.h>

#include <cstdio>
#include <cstring>

#include "core/geopoint.h"
#include "core/msgboxtext.h"
#include "core/textutil.h"
#include "core/treewalk.h"
#include "import/exchangelocality.h"
#include "import/exchangerecords.h"
#include "import/exchangesystem.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "import/targetlocality.h"
#include "import/structtransfer.h"
#include "import/targetsystem.h"
#include "import/targettables.h"
#include "resources/tarnix/resource.h"

namespace {

std::wstring LoadText(HINSTANCE instance, UINT id)
{
    wchar_t text[128] = L"";
    LoadStringW(instance, id, text, 128);
    return text;
}

zdata::Recordset* Slot(ImportRun& run, int slot)
{
    std::vector<zdata::Recordset*>& slots = run.Source->Targets.Slots;
    return slot < (int)slots.size() ? slots[(size_t)slot] : nullptr;
}

}  // namespace

bool FillSystemUnits(HINSTANCE instance, CPtrArray* items)
{
    if (items->GetCount() > 0)
        return false;
    for (int i = 0; i < 5; ++i)
        items->Add(NewUnitEntry(LoadText(instance, IDS_X_NAME_FIRST + i).c_str(), i + 1, i >= 3));
    return true;
}

bool FillLocalityUnits(HINSTANCE instance, CPtrArray* items)
{
    if (items->GetCount() > 0)
        return false;
    for (int i = 0; i < 4; ++i)
        items->Add(NewUnitEntry(LoadText(instance, IDS_X_NAME_FIRST + 5 + i).c_str(), i + 1, i == 3));
    return true;
}

bool FillTerritorialUnit(HINSTANCE instance, CPtrArray* items)
{
    if (items->GetCount() > 0)
        return false;
    AttrImportEntry* entry = NewAttrImportEntry(LoadText(instance, IDS_X_NAME_FIRST + 9).c_str(), 7, 31);
    SetNull(&entry->MinVal);
    SetNull(&entry->MaxVal);
    SetNull(&entry->NullVal);
    items->Add(entry);
    return true;
}

UnitEntry* UnitAt(CPtrArray* items, int index)
{
    return items && index >= 0 && index < items->GetCount() ? static_cast<UnitEntry*>(items->GetItems()[index]) : nullptr;
}

AttrImportEntry* AttrAt(CPtrArray* items, int index)
{
    return items && index >= 0 && index < items->GetCount() ? static_cast<AttrImportEntry*>(items->GetItems()[index])
                                                            : nullptr;
}

bool UnitSkipped(const UnitEntry* unit)
{
    return !unit || unit->State == CHOICE_SKIP || unit->TargetLevel < 0;
}

bool AttrHasLookup(const AttrImportEntry* attr)
{
    return attr && attr->State != CHOICE_SKIP && (attr->TargetType == 5 || attr->TargetType == 7);
}

// ---------------------------------------------------------------------------------------------

void SetNull(VARIANT* v)
{
    VariantInit(v);
    v->vt = VT_NULL;
}

// An ordinal below 0 is a column the target lacks: nothing is written.
bool PutOrdinal(zdata::Recordset* rs, long ordinal, const VARIANT& value)
{
    return ordinal >= 0 && SUCCEEDED(treewalk::PutValue(rs, ordinal, value));
}

bool PutOrdinalInt(zdata::Recordset* rs, long ordinal, int value)
{
    return ordinal >= 0 && SUCCEEDED(treewalk::PutInt(rs, ordinal, value));
}

bool PutOrdinalText(zdata::Recordset* rs, long ordinal, const wchar_t* text)
{
    return ordinal >= 0 && SUCCEEDED(treewalk::PutText(rs, ordinal, text));
}

int ColumnOrdinal(zdata::Recordset* rs, const wchar_t* name)
{
    zdata::Fields* fields = nullptr;
    if (!rs || FAILED(rs->get_Fields(&fields)) || !fields)
        return -1;
    int ordinal = FindFieldOrdinal(fields, name);
    fields->Release();
    return ordinal;
}

void OfferLookupText(ImportRun& run, zdata::Recordset* table, const std::wstring& value)
{
    if (!table || value.empty())
        return;
    VARIANT text = targetrows::TextValue(value.c_str());
    run.Source->Targets.Index.OfferListValue(table, text);
    VariantClear(&text);
}

// ---------------------------------------------------------------------------------------------

ItemResult FindOrCreateSysItem(ImportRun& run, int* maxSysId, int parent, int level, const wchar_t* name,
                               const NewSpecies* species)
{
    TargetIndex& index = run.Source->Targets.Index;
    ItemResult result = {index.FindSysItem(Slot(run, TARGET_SYSTREE), parent, level, name), false, false};
    if (result.Id >= 0)
        return result;
    ++*maxSysId;
    if (!CreateIndexedSysItem(&run.Source->Targets, *maxSysId, parent, level, name)) {
        run.LogDbErrors();
        --*maxSysId;
        return {parent, false, true};
    }
    result = {*maxSysId, true, false};
    if (species && !CreateIndexedSpecies(&run.Source->Targets, result.Id, species->Name, species->Author,
                                         species->Parentheses, species->Year)) {
        run.LogDbErrors();
        result.Failed = true;
    }
    return result;
}

ItemResult FindOrCreateLocItem(ImportRun& run, int* maxLocId, int parent, int level, const wchar_t* name,
                               const wchar_t* abbreviation, const VARIANT& longitude, const VARIANT& latitude,
                               const VARIANT& altitude)
{
    TargetIndex& index = run.Source->Targets.Index;
    ItemResult result = {index.FindLocItem(Slot(run, TARGET_LOCTREE), parent, level, name, longitude, latitude),
                         false, false};
    if (result.Id >= 0)
        return result;
    ++*maxLocId;
    if (!CreateIndexedLocItem(&run.Source->Targets, *maxLocId, parent, level, name, abbreviation, longitude,
                              latitude, altitude)) {
        run.LogDbErrors();
        --*maxLocId;
        return {parent, false, true};
    }
    return {*maxLocId, true, false};
}

bool WriteNewLocality(ImportRun& run, int id, const wchar_t* name, const wchar_t* municipality,
                      const wchar_t* district, const wchar_t* country, const VARIANT& longitude,
                      const VARIANT& latitude, const VARIANT& altitude, zdata::Recordset* unitLookup,
                      const wchar_t* unit, int unitOrdinal)
{
    wchar_t label[64] = L"";
    FormatLocLabel(label, name, municipality, district, country, longitude, latitude);
    // A point without both coordinates, or outside the grid, has no square.
    std::wstring square = IsNoValue(longitude) || IsNoValue(latitude)
                              ? std::wstring()
                              : GridSquareText(VariantToReal(&longitude), VariantToReal(&latitude));
    if (unitLookup)
        OfferLookupText(run, unitLookup, unit ? unit : L"");
    if (CreateFeatureRow(Slot(run, TARGET_FEATURES), nullptr, id, label, nullptr, longitude, latitude, altitude,
                          unit, square.empty() ? nullptr : square.c_str(), unitOrdinal))
        return true;
    run.LogDbErrors();
    return false;
}

// ---------------------------------------------------------------------------------------------

std::wstring ExchangeFileProblem(HINSTANCE instance, const wchar_t* path, const char* magic)
{
    FILE* f = path && *path ? _wfopen(path, L"rb") : nullptr;
    if (!f)
        return std::wstring();
    char head[32] = {};
    size_t got = fread(head, 1, sizeof head, f);
    fclose(f);
    const std::string bytes(head, got);
    auto starts = [&](const char* text) { return bytes.compare(0, strlen(text), text) == 0; };
    if (got == 0)
        return LoadText(instance, IDS_I_TXT_EMPTY_FILE);
    if (starts(magic))
        return std::wstring();
    if (got < strlen(magic) && std::string(magic).compare(0, got, bytes) == 0)
        return LoadText(instance, IDS_X_FILE_CUT);
    if (starts("\xFF\xFE") || starts("\xFE\xFF"))
        return ResourceText(instance, IDS_X_FILE_ENCODING, {L"UTF-16"});
    if (starts("\xEF\xBB\xBF"))
        return ResourceText(instance, IDS_X_FILE_ENCODING, {L"UTF-8"});
    const struct {
        const char* magic;
        int type;
    } kinds[] = {{kRecordsExchangeMagic, IMPSRC_RECORDS_2002},
                 {kSystemExchangeMagic, IMPSRC_SYSTEM_2002},
                 {kLocalityExchangeMagic, IMPSRC_LOCALITY_2002}};
    for (const auto& kind : kinds)
        if (starts(kind.magic))
            return ResourceText(instance, IDS_X_FILE_OTHER_KIND,
                                {LoadText(instance, IDS_I_SOURCE_TYPE_FIRST + (UINT)kind.type).c_str()});
    std::wstring wide(magic, magic + strlen(magic));
    return ResourceText(instance, IDS_X_FILE_NOT_EXCHANGE, {wide.c_str()});
}

bool OpenExchangeFile(HINSTANCE instance, const wchar_t* path, const char* magic, std::wstring* problem)
{
    problem->clear();
    if (ExchangeReader::HasMagic(path, magic))
        return true;
    *problem = ExchangeFileProblem(instance, path, magic);
    return false;
}

// ---------------------------------------------------------------------------------------------

bool ExchangeTreeSource::OpenData(ImportRun& run)
{
    if (!ExchangeReader::HasMagic(Path.c_str(), magic_) || !reader_.Open(Path.c_str()))
        return false;
    headerComplete_ = reader_.ReadLine() && reader_.ReadLine();
    run.Line = reader_.Line;
    ResetCache();
    return true;
}

bool ExchangeTreeSource::ChangeStructure(ImportRun& run)
{
    if (!headerComplete_) {
        run.Line = reader_.Line;
        run.LogError(run.String(IDS_X_LOG_HEADER_CUT).c_str());
        return false;
    }
    return IImpSource::ChangeStructure(run);
}

void ExchangeTreeSource::CloseData(ImportRun&)
{
    reader_.Close();
    CloseTargetTables(&Targets);
}

bool ExchangeTreeSource::ReadRow(ImportRun& run, std::vector<std::wstring>* fields, int* result)
{
    *result = ROW_IMPORTED;
    if (!reader_.ReadLine()) {
        *result = ROW_END;
        return false;
    }
    run.Line = reader_.Line;
    if (reader_.Overlong) {
        run.LogError(run.String(IDS_X_LOG_LINE_TOO_LONG).c_str());
        return false;
    }
    return ReadTabLine(run, reader_.Text, fieldCount_, fields);
}
