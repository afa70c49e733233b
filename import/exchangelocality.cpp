#include "import/exchangelocality.h"

#include <string>
#include <vector>

#include "core/geopoint.h"
#include "import/exchangereader.h"
#include "import/exchangeshared.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "import/targetlocality.h"
#include "import/targettables.h"
#include "resources/tarnix/resource.h"

const char kLocalityExchangeMagic[] = "Export lokalit zorny";

namespace {

const size_t kFieldCount = 13;
const int kNameFields[4] = {0, 2, 4, 7};
const int kUnitLookupSlot = TARGET_FIXED_SLOTS;

class CImpLoc2002Src : public ExchangeTreeSource {
public:
    explicit CImpLoc2002Src(HINSTANCE instance) : ExchangeTreeSource(instance, kLocalityExchangeMagic, kFieldCount, 2) {}

    int GetGroupCount() override { return 2; }
    int GetGroupKind(int group) override
    {
        return group == 1 ? GROUP_LOC_UNITS : group == 2 ? GROUP_FEATURES_ATTRS : GROUP_NONE;
    }
    int FillGroup(int group, CPtrArray* items, void*) override
    {
        int kind = GetGroupKind(group);
        if (kind == GROUP_LOC_UNITS)
            FillLocalityUnits(hInstance, items);
        else if (kind == GROUP_FEATURES_ATTRS)
            FillTerritorialUnit(hInstance, items);
        return kind;
    }
    UINT RowStatusId() const override { return IDS_I_IMPORTING_LOCALITIES; }
    bool OpenTargets(ImportRun& run) override
    {
        if (!IImpSource::OpenTargets(run))
            return false;
        unitAttr_ = AttrAt(run.Job->GroupItems[1], 0);
        OpenTargetAttrTables(run.Connection, run.Job->GroupItems[1], &Targets, kUnitLookupSlot, L"SELECT * FROM FEA_%s");
        unitLookup_ = AttrHasLookup(unitAttr_) ? Targets.Slots[kUnitLookupSlot] : nullptr;
        return true;
    }
    int ImportRow(ImportRun& run) override;

private:
    void ResetCache() override
    {
        for (int i = 0; i < 4; ++i) {
            cachedNames_[i].clear();
            cachedIds_[i] = -1;
        }
    }
    void ReadCoordinate(ImportRun& run, const std::wstring& text, VARIANT* out);

    AttrImportEntry* unitAttr_ = nullptr;
    zdata::Recordset* unitLookup_ = nullptr;
    // The path of the previous line: the names and ids of its four levels.
    std::wstring cachedNames_[4];
    int cachedIds_[4] = {-1, -1, -1, -1};
};

// A DDMMSS field; a text given that is no such coordinate is logged and counts as missing.
void CImpLoc2002Src::ReadCoordinate(ImportRun& run, const std::wstring& text, VARIANT* out)
{
    if (!DmsTextToDegrees(text.c_str(), out))
        run.LogError((run.String(IDS_X_LOG_BAD_COORDINATE) + text).c_str());
}

int CImpLoc2002Src::ImportRow(ImportRun& run)
{
    std::vector<std::wstring> fields;
    int result = ROW_IMPORTED;
    if (!ReadRow(run, &fields, &result))
        return result;
    VARIANT none, municipalityLon, municipalityLat, lon, lat, alt;
    SetNull(&none);
    ReadCoordinate(run, fields[5], &municipalityLon);
    ReadCoordinate(run, fields[6], &municipalityLat);
    ReadCoordinate(run, fields[8], &lon);
    ReadCoordinate(run, fields[9], &lat);
    // The altitude is DDMMSS text like the coordinates; anything else is no altitude.
    SetNull(&alt);
    DmsTextToDegrees(fields[10].c_str(), &alt);
    CPtrArray* units = run.Job->GroupItems[0];
    bool unitImported = unitAttr_ && unitAttr_->State != CHOICE_SKIP;
    int parent = 0;
    for (int level = 0; level < 4; ++level) {
        UnitEntry* unit = UnitAt(units, level);
        const std::wstring& name = fields[(size_t)kNameFields[level]];
        if (name.empty())
            run.LogError(run.String(IDS_I_LOG_NO_UNIT_NAME).c_str());
        if (UnitSkipped(unit) || name.empty())
            continue;
        if (level <= 1 && name == cachedNames_[level]) {
            parent = cachedIds_[level];
            continue;
        }
        for (int deeper = level; deeper < 4; ++deeper) {
            cachedNames_[deeper].clear();
            cachedIds_[deeper] = -1;
        }
        const VARIANT& x = level == 2 ? municipalityLon : level == 3 ? lon : none;
        const VARIANT& y = level == 2 ? municipalityLat : level == 3 ? lat : none;
        const VARIANT& z = level == 3 ? alt : none;
        const wchar_t* abbreviation = level <= 1 ? fields[(size_t)kNameFields[level] + 1].c_str() : nullptr;
        ItemResult item = FindOrCreateLocItem(run, &MaxLocId, parent, unit->TargetLevel, name.c_str(), abbreviation, x, y, z);
        if (item.Failed && !run.TransactionStands())
            return ROW_FAILED;
        if (item.Failed)
            continue;  // logged; the deeper levels hang under the parent
        if (item.Created && level == 3 &&
            !WriteNewLocality(run, item.Id, name.c_str(), fields[4].c_str(), fields[2].c_str(), fields[0].c_str(), x, y,
                              z, unitImported ? unitLookup_ : nullptr, fields[12].c_str(),
                              unitImported ? unitAttr_->TargetOrdinal : -1) &&
            !run.TransactionStands())
            return ROW_FAILED;
        cachedNames_[level] = name;
        cachedIds_[level] = item.Id;
        parent = item.Id;
    }
    return ROW_IMPORTED;
}

}  // namespace

IImpSource* CreateLocalityExchangeSource(HINSTANCE instance, int)
{
    return new CImpLoc2002Src(instance);
}
