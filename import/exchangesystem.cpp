#include "import/exchangesystem.h"

#include <strsafe.h>

#include <string>
#include <vector>

#include "import/exchangereader.h"
#include "import/exchangeshared.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "import/targetsystem.h"
#include "import/targettables.h"
#include "resources/tarnix/resource.h"

const char kSystemExchangeMagic[] = "Export radu zorny";

namespace {

const size_t kFieldCount = 8;

class CImpSys2002Src : public ExchangeTreeSource {
public:
    explicit CImpSys2002Src(HINSTANCE instance) : ExchangeTreeSource(instance, kSystemExchangeMagic, kFieldCount, 1) {}

    int GetGroupCount() override { return 1; }
    int GetGroupKind(int group) override { return group == 1 ? GROUP_SYS_UNITS : GROUP_NONE; }
    int FillGroup(int group, CPtrArray* items, void*) override
    {
        if (group != 1)
            return GROUP_NONE;
        FillSystemUnits(hInstance, items);
        return GROUP_SYS_UNITS;
    }
    UINT RowStatusId() const override { return IDS_I_IMPORTING_SYSTEM; }
    int ImportRow(ImportRun& run) override;

private:
    void ResetCache() override
    {
        for (int i = 0; i < 5; ++i) {
            cachedNames_[i].clear();
            cachedIds_[i] = -1;
        }
    }

    // The path of the previous line: the names and ids of its five levels.
    std::wstring cachedNames_[5];
    int cachedIds_[5] = {-1, -1, -1, -1, -1};
};

int CImpSys2002Src::ImportRow(ImportRun& run)
{
    std::vector<std::wstring> fields;
    int result = ROW_IMPORTED;
    if (!ReadRow(run, &fields, &result))
        return result;
    bool withSubspecies = !fields[4].empty();
    wchar_t parts[3][64] = {};
    for (int i = 0; i < 3; ++i)
        StringCchCopyW(parts[i], 64, fields[(size_t)i + 2].c_str());
    wchar_t composed[64] = L"";
    ComposeSpeciesName(composed, parts[0], withSubspecies);
    if (Targets.Index.FindSpecies(Targets.Slots[TARGET_SPECIES], composed) >= 0)
        return ROW_IMPORTED;  // the taxon is there already

    int year = 0;
    std::string yearText = SplitTabFields(reader_.Text)[6].substr(0, 31);
    if (!ParseExchangeInt(yearText, &year)) {
        year = 0;
        if (!yearText.empty())
            LogBadNumber(run, yearText);
    }
    bool parentheses = !fields[7].empty() && (fields[7][0] == L't' || fields[7][0] == L'T');
    CPtrArray* units = run.Job->GroupItems[0];
    int parent = 0;
    for (int level = 0; level < 5; ++level) {
        UnitEntry* unit = UnitAt(units, level);
        const std::wstring& name = fields[(size_t)level];
        if (UnitSkipped(unit) || name.empty()) {
            if (name.empty() && level <= 3)
                run.LogError(run.String(IDS_I_LOG_NO_UNIT_NAME).c_str());
            continue;
        }
        if (name == cachedNames_[level]) {
            parent = cachedIds_[level];
            continue;
        }
        for (int deeper = level; deeper < 5; ++deeper) {
            cachedNames_[deeper].clear();
            cachedIds_[deeper] = -1;
        }
        wchar_t rowName[64] = L"";
        if (level >= 3)
            ComposeSpeciesName(rowName, parts[0], level == 4);
        NewSpecies row = {rowName, fields[5].c_str(), parentheses, year};
        ItemResult item = FindOrCreateSysItem(run, &MaxSysId, parent, unit->TargetLevel, name.c_str(),
                                              level >= 3 ? &row : nullptr);
        if (item.Failed && !run.TransactionStands())
            return ROW_FAILED;
        if (item.Failed && !item.Created)
            continue;  // logged; the deeper levels hang under the parent
        cachedNames_[level] = name;
        cachedIds_[level] = item.Id;
        parent = item.Id;
    }
    return ROW_IMPORTED;
}

}  // namespace

IImpSource* CreateSystemExchangeSource(HINSTANCE instance, int)
{
    return new CImpSys2002Src(instance);
}
