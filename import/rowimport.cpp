#include "import/rowimport.h"

#include <strsafe.h>

#include "core/composednames.h"
#include "core/geopoint.h"
#include "core/textutil.h"
#include "core/treewalk.h"
#include "czechcollation/czechtext.h"
#include "dataaccess/refusals.h"
#include "dataaccess/varconv.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "import/recordrefusal.h"
#include "import/targetlit.h"
#include "import/targetlocality.h"
#include "import/targetsystem.h"
#include "import/targettables.h"
#include "import/structtransfer.h"
#include "import/textsplit.h"
#include "resources/tarnix/resource.h"
#include "structure/structmodel.h"

using treewalk::IntValue;
using treewalk::RowInt;

namespace {

SourceColumn* ColumnAt(const RowImport& rows, int i)
{
    return static_cast<SourceColumn*>(rows.Columns->GetItems()[i]);
}

// The value's text when it is a non-empty text, else null.
const wchar_t* TextOf(const VARIANT& v)
{
    return v.vt == VT_BSTR && v.bstrVal && v.bstrVal[0] ? v.bstrVal : nullptr;
}

bool IsBlank(const VARIANT& v)
{
    return v.vt == VT_EMPTY || v.vt == VT_NULL || (v.vt == VT_BSTR && !TextOf(v));
}

// The first column of the group at the ordinal, -1 none.
int FindColumn(const RowImport& rows, int group, int ordinal)
{
    for (int i = 0; i < rows.Columns->GetCount(); ++i) {
        const SourceColumn* c = ColumnAt(rows, i);
        if (c->TargetGroup == group && c->TargetColumn[0] && c->TargetOrdinal == ordinal)
            return i;
    }
    return -1;
}

const VARIANT* ValueOf(const RowImport& rows, int group, int ordinal)
{
    int i = FindColumn(rows, group, ordinal);
    return i >= 0 ? &rows.Values[(size_t)i] : nullptr;
}

const wchar_t* PrefixOf(int group)
{
    const wchar_t* prefix = LookupPrefixOfGroup(group);
    return prefix ? prefix : L"";
}

std::wstring Format(ImportRun& run, UINT id, const wchar_t* a, const wchar_t* b = L"")
{
    wchar_t text[512];
    StringCchPrintfW(text, 512, run.String(id).c_str(), a, b);
    return text;
}

void LogWithDbErrors(ImportRun& run, const std::wstring& message)
{
    run.LogError(message.c_str());
    zdata::Errors* errors = nullptr;
    if (SUCCEEDED(run.Connection->get_Errors(&errors)) && errors) {
        if (errors->Count() > 0)
            run.LogDbErrors();
        errors->Release();
    }
}

// The layer tells a value its column cannot hold only when the row is stored, which would lose
// the whole row for one value: such a value is refused here, by the same rules, with the rule
// broken in *rule.
bool PutField(zdata::Recordset* rs, long ordinal, const VARIANT& value, std::wstring* rule)
{
    zdata::Fields* fields = nullptr;
    zdata::Field* field = nullptr;
    DataTypeEnum type = adEmpty;
    long size = 0;
    VARIANT stored;
    VariantInit(&stored);
    VariantCopy(&stored, const_cast<VARIANT*>(&value));
    bool ok = SUCCEEDED(rs->get_Fields(&fields)) && SUCCEEDED(fields->Item(ordinal, &field)) &&
              SUCCEEDED(field->get_Type(&type)) && SUCCEEDED(field->get_DefinedSize(&size)) &&
              ValueFitsColumn(type, size, &stored, rule) && SUCCEEDED(field->put_Value(stored));
    VariantClear(&stored);
    if (field)
        field->Release();
    if (fields)
        fields->Release();
    return ok;
}

bool PutField(zdata::Recordset* rs, long ordinal, const VARIANT& value)
{
    std::wstring rule;
    return PutField(rs, ordinal, value, &rule);
}

// Writes the further columns that pass the test through put (into a row being added or stored):
// a value-list or geometry value goes into its lookup table first and is written only when that
// table is open. A value the column refuses is logged and left out.
template <class Put, class Test>
void WriteColumns(ImportRun& run, RowImport& rows, Put put, int group, Test test)
{
    for (int i = 0; i < rows.Columns->GetCount(); ++i) {
        const SourceColumn* c = ColumnAt(rows, i);
        const VARIANT& value = rows.Values[(size_t)i];
        if (c->TargetGroup != group || !c->TargetColumn[0] || c->TargetOrdinal < 0 || !test(c) || value.vt == VT_EMPTY)
            continue;
        if ((c->TargetType == 5 || c->TargetType == 7) &&
            (IsBlank(value) || !AddRowLookupValue(run, rows, c, PrefixOf(group), &value)))
            continue;
        std::wstring rule;
        if (!put(c->TargetOrdinal, value, &rule)) {
            wchar_t text[256] = L"";
            VariantToText(&value, text, 256);
            run.LogError((Format(run, IDS_I_ROW_BAD_VALUE, text, c->TargetColumn) + (rule.empty() ? L"" : L" " + rule + L"."))
                             .c_str());
        }
    }
}

// The same into the current row of rs.
template <class Test>
void WriteColumns(ImportRun& run, RowImport& rows, zdata::Recordset* rs, int group, Test test)
{
    WriteColumns(
        run, rows,
        [rs](long ordinal, const VARIANT& value, std::wstring* rule) { return PutField(rs, ordinal, value, rule); },
        group, test);
}

// Stores the current row after its further columns were written; a refusal is cancelled and
// logged (the row itself stays as it was before).
bool StoreColumns(ImportRun& run, zdata::Recordset* rs, const wchar_t* table)
{
    if (SUCCEEDED(rs->Update()))
        return true;
    LogWithDbErrors(run, Format(run, IDS_I_ROW_COLUMNS_FAILED, table));
    rs->CancelUpdate();
    return false;
}

template <class Test>
bool HasColumns(const RowImport& rows, int group, Test test)
{
    for (int i = 0; i < rows.Columns->GetCount(); ++i) {
        const SourceColumn* c = ColumnAt(rows, i);
        if (c->TargetGroup == group && c->TargetColumn[0] && c->TargetOrdinal >= 0 && test(c) &&
            rows.Values[(size_t)i].vt != VT_EMPTY)
            return true;
    }
    return false;
}

template <class Test>
void WriteAndStore(ImportRun& run, RowImport& rows, zdata::Recordset* rs, int group, Test test, const wchar_t* table)
{
    if (!HasColumns(rows, group, test))
        return;
    WriteColumns(run, rows, rs, group, test);
    StoreColumns(run, rs, table);
}

// The ids per level of an item's path (index 0 the first level), cached for the run: tree items
// never move during an import.
void AncestorIds(zdata::Recordset* tree, int id, const ItemList* levels,
                 std::unordered_map<int, std::vector<int>>& cache, std::vector<int>& out)
{
    auto found = cache.find(id);
    if (found == cache.end()) {
        std::vector<int> ids((size_t)levels->Count + 1, -1);
        FillAncestorPath(id, levels, tree, ids.data());
        ids.resize((size_t)levels->Count);
        found = cache.emplace(id, std::move(ids)).first;
    }
    out = found->second;
}

// The unit name of the level in the current row (cut to 63 characters); false when the level's
// column is not mapped or holds no text.
bool UnitName(const RowImport& rows, const std::vector<int>& nameColumns, int level, wchar_t* out)
{
    int column = nameColumns[(size_t)level];
    const wchar_t* text = column >= 0 ? TextOf(rows.Values[(size_t)column]) : nullptr;
    if (!text)
        return false;
    StringCchCopyW(out, 64, text);
    return true;
}

int FirstDataLevel(const std::vector<bool>& data)
{
    for (size_t i = 0; i < data.size(); ++i)
        if (data[i])
            return (int)i;
    return -1;
}

// The levels of a tree from the structure model.
void ReadLevels(const ItemList* levels, std::vector<int>& ids, std::vector<bool>& data)
{
    ids.clear();
    data.clear();
    for (int i = 0; i < levels->Count; ++i) {
        const LevelEntry* level = static_cast<const LevelEntry*>(levels->Items[i]);
        ids.push_back(level->OrigLevelId);
        data.push_back(level->DataLevel != 0);
    }
}

int RecordFieldOrdinal(zdata::Recordset* records, const wchar_t* format, int levelId)
{
    wchar_t name[32];
    StringCchPrintfW(name, 32, format, levelId);
    zdata::Fields* fields = nullptr;
    int ordinal = -1;
    if (SUCCEEDED(records->get_Fields(&fields)) && fields) {
        ordinal = FindFieldOrdinal(fields, name);
        fields->Release();
    }
    return ordinal;
}

// The key of a name on a level (0 for species names), folded as names match: equal ignoring case.
std::wstring NameKey(int level, const wchar_t* name)
{
    return std::to_wstring(level) + L"|" + CzechFoldedKey(name);
}

using NameIndex = std::unordered_map<std::wstring, RowImport::NameMatch>;

// Reads every row of a target table into the index: the first row of each key in the table's
// order keeps its id, and the key counts its rows.
void IndexTable(zdata::Recordset* rs, long idOrdinal, long levelOrdinal, long nameOrdinal, NameIndex& index)
{
    if (FAILED(rs->put_Filter(L"")) || FAILED(rs->MoveFirst()))
        return;
    for (; !rs->IsEOF(); rs->MoveNext()) {
        VARIANT name;
        VariantInit(&name);
        treewalk::RowValue(rs, nameOrdinal, &name);
        if (name.vt == VT_BSTR && name.bstrVal) {
            std::wstring key = NameKey(levelOrdinal >= 0 ? RowInt(rs, levelOrdinal) : 0, name.bstrVal);
            ++index.emplace(key, RowImport::NameMatch{RowInt(rs, idOrdinal), 0}).first->second.count;
        }
        VariantClear(&name);
    }
}

// " pod „parent“" for the item of the tree, empty for a top item.
std::wstring UnderParent(ImportRun& run, zdata::Recordset* tree, long nameOrdinal, int id)
{
    if (FAILED(treewalk::FilterEquals(tree, L"ID", id)) || tree->IsEOF())
        return L"";
    int parent = RowInt(tree, 1);
    if (parent <= 0)
        return L"";
    std::wstring name;
    if (SUCCEEDED(treewalk::FilterEquals(tree, L"ID", parent)) && !tree->IsEOF())
        name = treewalk::RowText(tree, nameOrdinal);
    return Format(run, IDS_I_ROW_AMBIGUOUS_UNDER, name.c_str());
}

// The id of a match; a name that several rows share is noted with the one taken.
int TakeMatch(ImportRun& run, RowImport& rows, const NameIndex& index, const std::wstring& key, const wchar_t* name,
              bool localities, int level)
{
    auto found = index.find(key);
    if (found == index.end())
        return -1;
    const RowImport::NameMatch& match = found->second;
    if (match.count > 1) {
        long long noted = (long long)match.id * 2 + (localities ? 1 : 0);
        auto known = rows.MatchUnder.find(noted);
        if (known == rows.MatchUnder.end()) {
            zdata::Recordset* tree = run.Source->Targets.Slots[localities ? TARGET_LOCTREE : TARGET_SYSTREE];
            known = rows.MatchUnder
                        .emplace(noted, UnderParent(run, tree, localities ? (long)LOCTREE_NAME : (long)SYSTREE_NAME,
                                                    match.id))
                        .first;
        }
        const std::wstring& under = known->second;
        std::wstring& note = rows.NoteTexts[level < 0 ? 0 : 1];
        if (note.empty())
            note = run.String(level < 0 ? IDS_I_ROW_AMBIGUOUS_SPECIES : IDS_I_ROW_AMBIGUOUS);
        wchar_t text[512];
        if (level < 0) {
            StringCchPrintfW(text, 512, note.c_str(), name, match.count, match.id, under.c_str());
        } else {
            const ItemList* levels = localities ? rows.LocLevels : rows.SysLevels;
            const wchar_t* levelName = L"";
            for (int i = 0; i < levels->Count; ++i)
                if (static_cast<const LevelEntry*>(levels->Items[i])->OrigLevelId == level)
                    levelName = static_cast<const LevelEntry*>(levels->Items[i])->Name;
            StringCchPrintfW(text, 512, note.c_str(), name, levelName, match.count, match.id, under.c_str());
        }
        run.LogNote(text);
    }
    return match.id;
}

NameIndex& SpeciesIndex(ImportRun& run, RowImport& rows)
{
    if (!rows.SpeciesIndexed)
        IndexTable(run.Source->Targets.Slots[TARGET_SPECIES], SPECIES_SYSID, -1, SPECIES_NAME, rows.SpeciesByName);
    rows.SpeciesIndexed = true;
    return rows.SpeciesByName;
}

NameIndex& TreeIndex(ImportRun& run, RowImport& rows, bool localities)
{
    if (localities && !rows.LocIndexed)
        IndexTable(run.Source->Targets.Slots[TARGET_LOCTREE], LOCTREE_ID, LOCTREE_LEVEL, LOCTREE_NAME,
                   rows.LocByLevelName);
    if (!localities && !rows.SysIndexed)
        IndexTable(run.Source->Targets.Slots[TARGET_SYSTREE], SYSTREE_ID, SYSTREE_LEVEL, SYSTREE_NAME,
                   rows.SysByLevelName);
    (localities ? rows.LocIndexed : rows.SysIndexed) = true;
    return localities ? rows.LocByLevelName : rows.SysByLevelName;
}

// The first item of a tree on the level with the name, under any parent; -1 none.
int FindOnLevel(ImportRun& run, RowImport& rows, bool localities, int levelId, const wchar_t* name)
{
    return TakeMatch(run, rows, TreeIndex(run, rows, localities), NameKey(levelId, name), name, localities, levelId);
}

// The species of the full name, -1 none.
int FindSpeciesNamed(ImportRun& run, RowImport& rows, const wchar_t* name)
{
    return TakeMatch(run, rows, SpeciesIndex(run, rows), NameKey(0, name), name, false, -1);
}

// A name joins an index of the run (when the index has been read already; otherwise the reading
// finds it), and leaves it again when its row is undone.
void IndexName(ImportRun& run, NameIndex& index, bool indexed, int level, const wchar_t* name, int id)
{
    if (!indexed)
        return;
    std::wstring key = NameKey(level, name);
    auto placed = index.emplace(key, RowImport::NameMatch{id, 0});
    ++placed.first->second.count;
    if (placed.second)
        run.Journal.Add([&index, key] { index.erase(key); });
    else
        run.Journal.Add([&index, key] { --index[key].count; });
}

void IndexNewItem(ImportRun& run, RowImport& rows, bool localities, int levelId, const wchar_t* name, int id)
{
    if (localities)
        IndexName(run, rows.LocByLevelName, rows.LocIndexed, levelId, name, id);
    else
        IndexName(run, rows.SysByLevelName, rows.SysIndexed, levelId, name, id);
}

std::wstring Cut(const std::wstring& text, size_t n)
{
    return text.size() > n ? text.substr(0, n) : text;
}

// The name a row gives its taxon or locality: the lowest unit name, else the species or locality
// text; empty when it gives none.
std::wstring NameOfRow(const RowImport& rows, bool localities)
{
    const std::vector<int>& columns = localities ? rows.LocNameColumn : rows.SysNameColumn;
    for (size_t level = columns.size(); level-- > 0;)
        if (columns[level] >= 0 && TextOf(rows.Values[(size_t)columns[level]]))
            return TextOf(rows.Values[(size_t)columns[level]]);
    const VARIANT* text = localities ? ValueOf(rows, COLGROUP_FEATURES, 1) : ValueOf(rows, COLGROUP_SPECIES, 0);
    return text && TextOf(*text) ? TextOf(*text) : L"";
}

// The row's taxon or locality: the one it names, found (or made when the job has no fallback);
// the job's fallback where the row names none, or names one that is not there (logged).
int RowTarget(ImportRun& run, RowImport& rows, bool localities)
{
    int parts = localities ? ROWPART_LOCUNITS | ROWPART_LOCALITY : ROWPART_SYSUNITS | ROWPART_SPECIES;
    int fallback = localities ? rows.FixedLocId : rows.FixedSysId;
    std::wstring name = rows.Parts & parts ? NameOfRow(rows, localities) : L"";
    if (!name.empty() || (fallback <= 0 && (rows.Parts & parts))) {
        int id = localities ? ImportRowLocality(run, rows) : ImportRowSystem(run, rows);
        if (id > 0 || fallback <= 0)
            return id;
        UINT message = localities ? IDS_I_ROW_LOCALITY_NOT_FOUND : IDS_I_ROW_TAXON_NOT_FOUND;
        run.LogError(Format(run, message, Cut(name, 200).c_str()).c_str());
    }
    if (fallback <= 0)
        return -1;
    if (localities)
        rows.LocIds = rows.FixedLocIds;
    else
        rows.SysIds = rows.FixedSysIds;
    return fallback;
}

}  // namespace

// ---- per-run state ----

RowImport::RowImport()
    : Columns(nullptr), Parts(0), SysLevels(nullptr), LocLevels(nullptr), FixedSysId(-1), FixedLocId(-1), NextSysId(0), NextLocId(0), SpeciesIndexed(false), SysIndexed(false), LocIndexed(false), RowCount(0),
      RecordCount(0)
{
}

RowImport::~RowImport()
{
    End();
}

bool RowImport::Begin(ImportRun& run, CPtrArray* columns)
{
    End();
    Columns = columns;
    if (!Columns)
        return false;
    Values.resize((size_t)Columns->GetCount());
    for (VARIANT& v : Values)
        VariantInit(&v);
    Parts = TablesWithColumns(Columns);
    IImpSource* source = run.Source;
    NextSysId = source->MaxSysId;
    NextLocId = source->MaxLocId;
    SysLevels = &run.Job->Model->Lists[MODEL_SYS_LEVELS];
    LocLevels = &run.Job->Model->Lists[MODEL_LOC_LEVELS];
    ReadLevels(SysLevels, SysLevelIds, SysDataLevel);
    ReadLevels(LocLevels, LocLevelIds, LocDataLevel);
    SysNameColumn.assign(SysLevelIds.size(), -1);
    LocNameColumn.assign(LocLevelIds.size(), -1);
    for (int i = 0; i < Columns->GetCount(); ++i) {
        const SourceColumn* c = ColumnAt(*this, i);
        if (!c->TargetColumn[0] || c->LevelIndex < 0)
            continue;
        if (c->TargetGroup == COLGROUP_SYSTREE && c->TargetOrdinal == 4 && c->LevelIndex < (int)SysNameColumn.size())
            SysNameColumn[(size_t)c->LevelIndex] = i;
        if (c->TargetGroup == COLGROUP_LOCTREE && c->TargetOrdinal == 3 && c->LevelIndex < (int)LocNameColumn.size())
            LocNameColumn[(size_t)c->LevelIndex] = i;
    }
    SysIds.assign(SysLevelIds.size(), -1);
    LocIds.assign(LocLevelIds.size(), -1);
    size_t dataLevels = 0;
    for (bool d : SysDataLevel)
        dataLevels += d ? 1 : 0;
    WordBuffers.assign(dataLevels, std::wstring(64, L'\0'));
    Words.clear();
    for (std::wstring& w : WordBuffers)
        Words.push_back(&w[0]);

    zdata::Recordset* records = source->Targets.Slots[TARGET_RECORDS];
    if (!Records.Open(run.Connection, L"ZORNACOLLS", records))
        return false;
    RecordSysLevelField.clear();
    RecordLocLevelField.clear();
    for (int id : SysLevelIds)
        RecordSysLevelField.push_back(RecordFieldOrdinal(records, L"SYS_LEVEL_%d", id));
    for (int id : LocLevelIds)
        RecordLocLevelField.push_back(RecordFieldOrdinal(records, L"LOC_LEVEL_%d", id));

    if ((Parts & ROWPART_LITERATURE) && !OpenTargetLitTables(run.Connection, &source->Targets))
        return false;
    OpenMappedColumnTables(run.Connection, Columns, &source->Targets);

    FixedSysId = run.Job->TargetSysId >= 1 ? run.Job->TargetSysId : -1;
    FixedLocId = run.Job->TargetLocId >= 1 ? run.Job->TargetLocId : -1;
    if (FixedSysId > 0)
        AncestorIds(source->Targets.Slots[TARGET_SYSTREE], FixedSysId, SysLevels, SysPaths, FixedSysIds);
    if (FixedLocId > 0)
        AncestorIds(source->Targets.Slots[TARGET_LOCTREE], FixedLocId, LocLevels, LocPaths, FixedLocIds);
    return true;
}

void RowImport::End()
{
    Records.Close();
    LookupTables.clear();
    for (VARIANT& v : Values)
        VariantClear(&v);
    Values.clear();
    Columns = nullptr;
    Parts = 0;
    SysPaths.clear();
    LocPaths.clear();
    SpeciesByName.clear();
    SysByLevelName.clear();
    LocByLevelName.clear();
    MatchUnder.clear();
    NoteTexts[0].clear();
    NoteTexts[1].clear();
    SpeciesIndexed = SysIndexed = LocIndexed = false;
    FixedSysIds.clear();
    FixedLocIds.clear();
    FixedSysId = FixedLocId = -1;
}

// ---- the entry points ----

int ImportMdbRow(ImportRun& run, RowImport& rows, const VARIANT* values, int count)
{
    if (!rows.Columns)
        return ROW_FATAL;
    for (size_t i = 0; i < rows.Values.size(); ++i) {
        VARIANT& value = rows.Values[i];
        VariantClear(&value);
        if (ColumnAt(rows, (int)i)->TargetGroup != COLGROUP_NONE && (int)i < count && values)
            VariantCopy(&value, const_cast<VARIANT*>(&values[i]));
    }
    return ImportRowValues(run, rows);
}

int ImportRowValues(ImportRun& run, RowImport& rows)
{
    bool empty = true;
    for (const VARIANT& v : rows.Values)
        empty = empty && IsBlank(v);
    if (empty)
        return ROW_IMPORTED;  // an empty line or row imports nothing
    ++rows.RowCount;
    int parts = rows.Parts;
    int sysId = RowTarget(run, rows, false), locId = RowTarget(run, rows, true), litId = -1;
    if (parts & ROWPART_LITERATURE)
        litId = ImportRowLiterature(run, rows);
    if (parts & ROWPART_RECORD) {
        if (sysId <= 0)
            run.LogError(run.String(IDS_I_ROW_NO_TAXON).c_str());
        else if (locId <= 0)
            run.LogError(run.String(IDS_I_ROW_NO_LOCALITY).c_str());
        else if (!ImportRowRecord(run, rows, sysId, locId, litId))
            return ROW_FAILED;  // what was made for the record goes with it
    }
    return ROW_IMPORTED;
}

// ---- the systematic step ----

namespace {

// The item of a name on the level: the child of the parent, or (no parent, 0) the first of that
// name on the level, wherever it hangs; -1 none. A row's unit is looked up under the unit above
// it only when that one is of the level right above: past a level the row leaves empty, the
// item may hang under an item of that level.
int FindSysUnit(ImportRun& run, RowImport& rows, int parent, int level, const wchar_t* name)
{
    TargetTables& targets = run.Source->Targets;
    int levelId = rows.SysLevelIds[(size_t)level];
    return parent > 0 ? targets.Index.FindSysItem(targets.Slots[TARGET_SYSTREE], parent, levelId, name)
                      : FindOnLevel(run, rows, false, levelId, name);
}

// Creates the item of a name under the parent with the next free id; -1 (logged) when refused.
int CreateSysUnit(ImportRun& run, RowImport& rows, int parent, int level, const wchar_t* name)
{
    int newId = ++rows.NextSysId;
    if (!CreateIndexedSysItem(&run.Source->Targets, newId, parent, rows.SysLevelIds[(size_t)level], name)) {
        --rows.NextSysId;
        LogWithDbErrors(run, Format(run, IDS_I_ROW_SYS_ITEM_FAILED, name));
        return -1;
    }
    IndexNewItem(run, rows, false, rows.SysLevelIds[(size_t)level], name, newId);
    return newId;
}

// Finds or creates the item of a name under the parent; -1 when it can be neither.
int FindOrCreateSysItem(ImportRun& run, RowImport& rows, int parent, int level, const wchar_t* name, bool* created)
{
    int id = FindSysUnit(run, rows, parent, level, name);
    *created = id <= 0;
    if (*created)
        id = CreateSysUnit(run, rows, parent, level, name);
    *created = *created && id > 0;
    return id;
}

bool CreateSpecies(ImportRun& run, RowImport& rows, int id, const wchar_t* name, const wchar_t* author, BYTE brackets,
                   int year)
{
    if (CreateIndexedSpecies(&run.Source->Targets, id, name, author, brackets != 0, year)) {
        IndexName(run, rows.SpeciesByName, rows.SpeciesIndexed, 0, name, id);
        return true;
    }
    LogWithDbErrors(run, Format(run, IDS_I_ROW_SYS_ITEM_FAILED, name));
    return false;
}

// The composed name of a new data-level item (its ancestors over the data levels).
std::wstring ComposedName(ImportRun& run, RowImport& rows, int id)
{
    std::vector<int> nameLevels;
    for (size_t i = 0; i < rows.SysLevelIds.size(); ++i)
        if (rows.SysDataLevel[i])
            nameLevels.push_back(rows.SysLevelIds[i]);
    wchar_t name[64] = L"";
    ComposeTaxonName(id, run.Source->Targets.Slots[TARGET_SYSTREE], nameLevels.data(), (int)nameLevels.size(), name);
    return name;
}

}  // namespace

int ImportRowSystem(ImportRun& run, RowImport& rows)
{
    std::vector<zdata::Recordset*>& slots = run.Source->Targets.Slots;
    zdata::Recordset* tree = slots[TARGET_SYSTREE];
    int levels = (int)rows.SysLevelIds.size();
    int firstData = FirstDataLevel(rows.SysDataLevel);
    int parent = 0, parentLevel = -1, deepest = 0, taxon = -1;
    bool aboveDataGot = false;
    std::fill(rows.SysIds.begin(), rows.SysIds.end(), -1);

    // With a fallback taxon names are only looked up: what is not found goes to the fallback.
    bool create = rows.FixedSysId <= 0;

    // 1. units; a data-level unit may also carry the species' full name
    if (rows.Parts & ROWPART_SYSUNITS) {
        for (int level = 0; level < levels; ++level) {
            wchar_t cut[64];
            if (!UnitName(rows, rows.SysNameColumn, level, cut))
                continue;
            bool created = false;
            int id = FindSysUnit(run, rows, parentLevel == level - 1 ? parent : 0, level, cut);
            if (id <= 0 && rows.SysDataLevel[(size_t)level])
                id = FindSpeciesNamed(run, rows, cut);
            if (id <= 0 && !create)
                return -1;
            if (id <= 0) {
                id = CreateSysUnit(run, rows, parent, level, cut);
                created = id > 0;
            }
            if (id < 0)
                continue;
            if (created)
                WriteAndStore(run, rows, tree, COLGROUP_SYSTREE,
                              [level](const SourceColumn* c) { return c->LevelIndex == level && c->TargetOrdinal > 4; },
                              L"SYSTREE");
            if (created && rows.SysDataLevel[(size_t)level])
                CreateSpecies(run, rows, id, ComposedName(run, rows, id).c_str(), L"", 0, -1);
            rows.SysIds[(size_t)level] = id;
            parent = deepest = id;
            parentLevel = level;
            if (rows.SysDataLevel[(size_t)level])
                taxon = id;
            if (level == firstData - 1)
                aboveDataGot = true;
        }
    }
    if (taxon > 0 || !(rows.Parts & ROWPART_SPECIES)) {
        if (taxon > 0)
            AncestorIds(tree, taxon, rows.SysLevels, rows.SysPaths, rows.SysIds);
        return taxon;
    }

    // 2. the species text, with the author, brackets and year columns over its parts
    const VARIANT* textValue = ValueOf(rows, COLGROUP_SPECIES, 0);
    const wchar_t* text = textValue ? TextOf(*textValue) : nullptr;
    wchar_t genus[64] = L"", author[64] = L"";
    BYTE brackets = 0;
    int year = -1, wordCount = 0;
    int flags = text ? SplitSpeciesText(text, genus, rows.Words.data(), (int)rows.Words.size(), author, &brackets,
                                        &year, &wordCount)
                     : 0;
    if (const VARIANT* v = ValueOf(rows, COLGROUP_SPECIES, 3))
        StringCchCopyW(author, 64, TextOf(*v) ? TextOf(*v) : L"");
    if (const VARIANT* v = ValueOf(rows, COLGROUP_SPECIES, 4))
        brackets = (v->vt == VT_I4 || v->vt == VT_I2 || v->vt == VT_BOOL) && VariantToInt(v) != 0 ? 1 : 0;
    if (const VARIANT* v = ValueOf(rows, COLGROUP_SPECIES, 5))
        year = v->vt == VT_I4 || v->vt == VT_I2 || v->vt == VT_BOOL ? VariantToInt(v) : -1;
    if (!(flags & SPLIT_GENUS))
        return -1;

    // 3. a species of that full name
    std::wstring fullName = genus;
    for (int i = 0; i < wordCount; ++i)
        fullName += std::wstring(L" ") + rows.Words[(size_t)i];
    taxon = FindSpeciesNamed(run, rows, Cut(fullName, 63).c_str());
    if (taxon > 0) {
        AncestorIds(tree, taxon, rows.SysLevels, rows.SysPaths, rows.SysIds);
        return taxon;
    }

    // 4. the genus on the level above the first data level
    if (firstData < 2)
        return -1;
    if (aboveDataGot) {
        parent = rows.SysIds[(size_t)firstData - 1];
    } else {
        parent = FindOnLevel(run, rows, false, rows.SysLevelIds[(size_t)firstData - 1], genus);
        if (parent <= 0 && !create)
            return -1;
        if (parent <= 0) {
            bool created = false;
            parent = FindOrCreateSysItem(run, rows, deepest, firstData - 1, genus, &created);
            if (parent <= 0)
                return -1;
        }
    }

    // 5. the name words on the data levels
    std::wstring name = genus;
    bool createdSpecies = false;
    taxon = parent;
    for (int i = 0; i < wordCount && firstData + i < levels; ++i) {
        const wchar_t* word = rows.Words[(size_t)i];
        name += L" ";
        name += word;
        bool created = false;
        int id = create ? FindOrCreateSysItem(run, rows, parent, firstData + i, word, &created)
                        : FindSysUnit(run, rows, parent, firstData + i, word);
        if (id <= 0)
            return -1;  // the words below are not created under a missing item
        if (created) {
            if (!CreateSpecies(run, rows, id, Cut(name, 63).c_str(), author, brackets, year))
                return -1;
            createdSpecies = true;
        }
        parent = taxon = id;
    }

    // 6. further species columns into the new species row, and the taxon's path
    if (createdSpecies)
        WriteAndStore(run, rows, slots[TARGET_SPECIES], COLGROUP_SPECIES,
                      [](const SourceColumn* c) { return c->TargetOrdinal > 5; }, L"SPECIES");
    AncestorIds(tree, taxon, rows.SysLevels, rows.SysPaths, rows.SysIds);
    return taxon;
}

// ---- the locality step ----

namespace {

// A coordinate column's value: a text read as degrees, minutes and seconds (logged when it does
// not read), a number as it is.
void ReadCoordinate(ImportRun& run, const VARIANT* value, VARIANT* out)
{
    VariantInit(out);
    if (!value || value->vt == VT_EMPTY)
        return;
    if (value->vt == VT_BSTR) {
        const wchar_t* text = TextOf(*value);
        ParseCoordinate(text ? text : L"", out);
        if (out->vt != VT_R8 && text)
            run.LogError(Format(run, IDS_I_ROW_BAD_COORDINATE, Cut(text, 200).c_str()).c_str());
        return;
    }
    VariantToNumber(value, out);
}

struct Coordinates {
    VARIANT lon, lat, alt;
    wchar_t square[16];
};

// The feature row of a new locality: name, coordinates, altitude and square, then the locality
// label as its name and the further locality columns. False (logged) when the row is refused.
bool CreateFeature(ImportRun& run, RowImport& rows, int id, const wchar_t* name, Coordinates& at)
{
    std::vector<zdata::Recordset*>& slots = run.Source->Targets.Slots;
    zdata::Recordset* features = slots[TARGET_FEATURES];
    if (!CreateFeatureRow(features, nullptr, id, name, nullptr, at.lon, at.lat, at.alt, nullptr,
                          at.square[0] ? at.square : nullptr, -1)) {
        LogWithDbErrors(run, Format(run, IDS_I_ROW_LOC_ITEM_FAILED, name));
        return false;
    }
    wchar_t label[64] = L"";
    if (FormatLocalityLabel(id, slots[TARGET_LOCTREE], features, label) > 0) {
        VARIANT v;
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(label);
        PutField(features, 1, v);
        VariantClear(&v);
    }
    WriteColumns(run, rows, features, COLGROUP_FEATURES,
                 [](const SourceColumn* c) { return c->TargetOrdinal == 2 || c->TargetOrdinal >= 7; });
    StoreColumns(run, features, L"FEATURES");
    return true;
}

// The unit of a name on the level, looked up as a systematic one is (FindSysUnit). A locality of
// a row with coordinates is told from others of its name by them; without coordinates (and above
// the localities) the name alone tells it.
int FindLocUnit(ImportRun& run, RowImport& rows, int parent, int level, const wchar_t* name, Coordinates& at,
                bool data)
{
    TargetTables& targets = run.Source->Targets;
    int levelId = rows.LocLevelIds[(size_t)level];
    if (parent <= 0)
        return FindOnLevel(run, rows, true, levelId, name);
    if (data && at.lon.vt == VT_R8 && at.lat.vt == VT_R8)
        return targets.Index.FindLocItem(targets.Slots[TARGET_LOCTREE], parent, levelId, name, at.lon, at.lat);
    return targets.Index.FirstLocItem(targets.Slots[TARGET_LOCTREE], parent, levelId, name);
}

// Creates the unit under the parent with the next free id (only a locality carries the
// coordinates); -1 (logged) when refused.
int CreateLocUnit(ImportRun& run, RowImport& rows, int parent, int level, const wchar_t* name, Coordinates& at,
                  bool data)
{
    VARIANT none;
    VariantInit(&none);
    int levelId = rows.LocLevelIds[(size_t)level];
    int newId = ++rows.NextLocId;
    if (!CreateIndexedLocItem(&run.Source->Targets, newId, parent, levelId, name, nullptr, data ? at.lon : none,
                              data ? at.lat : none, data ? at.alt : none)) {
        --rows.NextLocId;
        LogWithDbErrors(run, Format(run, IDS_I_ROW_LOC_ITEM_FAILED, name));
        return -1;
    }
    IndexNewItem(run, rows, true, levelId, name, newId);
    return newId;
}

}  // namespace

int ImportRowLocality(ImportRun& run, RowImport& rows)
{
    zdata::Recordset* tree = run.Source->Targets.Slots[TARGET_LOCTREE];
    std::fill(rows.LocIds.begin(), rows.LocIds.end(), -1);

    // 1. coordinates, altitude and the grid square
    Coordinates at;
    ReadCoordinate(run, ValueOf(rows, COLGROUP_FEATURES, 3), &at.lon);
    ReadCoordinate(run, ValueOf(rows, COLGROUP_FEATURES, 4), &at.lat);
    VariantInit(&at.alt);
    if (const VARIANT* v = ValueOf(rows, COLGROUP_FEATURES, 5))
        if (v->vt != VT_EMPTY)
            VariantToNumber(v, &at.alt);
    at.square[0] = 0;
    if (at.lon.vt == VT_R8 && at.lat.vt == VT_R8)
        StringCchCopyW(at.square, 16, GridSquareText(at.lon.dblVal, at.lat.dblVal).c_str());

    // 2. units
    int levels = (int)rows.LocLevelIds.size();
    int firstData = FirstDataLevel(rows.LocDataLevel);
    int parent = 0, parentLevel = -1, deepest = 0, locality = -1;
    // With a fallback locality names are only looked up: what is not found goes to the fallback.
    bool create = rows.FixedLocId <= 0, missing = false;
    if (rows.Parts & ROWPART_LOCUNITS) {
        for (int level = 0; level < levels && !missing; ++level) {
            wchar_t name[64];
            if (!UnitName(rows, rows.LocNameColumn, level, name))
                continue;
            bool data = rows.LocDataLevel[(size_t)level], created = false;
            int id = FindLocUnit(run, rows, parentLevel == level - 1 ? parent : 0, level, name, at, data);
            if (id <= 0 && create) {
                id = CreateLocUnit(run, rows, parent, level, name, at, data);
                created = id > 0;
            }
            missing = id <= 0 && !create;
            if (id <= 0)
                continue;
            if (created) {
                WriteAndStore(run, rows, tree, COLGROUP_LOCTREE,
                              [level](const SourceColumn* c) { return c->LevelIndex == level && c->TargetOrdinal > 3; },
                              L"LOCTREE");
                if (data && !CreateFeature(run, rows, id, name, at))
                    continue;
            }
            rows.LocIds[(size_t)level] = id;
            parent = deepest = id;
            parentLevel = level;
            if (data)
                locality = id;
        }
    }

    // 3. the locality text
    if (missing)
        locality = -1;
    if (!missing && locality <= 0 && (rows.Parts & ROWPART_LOCALITY) && firstData > 0) {
        const VARIANT* v = ValueOf(rows, COLGROUP_FEATURES, 1);
        wchar_t name[64];
        if (v && TextOf(*v) && SplitLocalityText(TextOf(*v), name)) {
            int levelId = rows.LocLevelIds[(size_t)firstData];
            locality = FindOnLevel(run, rows, true, levelId, name);
            if (locality <= 0 && create) {
                int newId = ++rows.NextLocId;
                if (!CreateIndexedLocItem(&run.Source->Targets, newId, deepest, levelId, name, nullptr, at.lon,
                                          at.lat, at.alt)) {
                    --rows.NextLocId;
                    LogWithDbErrors(run, Format(run, IDS_I_ROW_LOC_ITEM_FAILED, name));
                } else {
                    IndexNewItem(run, rows, true, levelId, name, newId);
                    if (CreateFeature(run, rows, newId, name, at))
                        locality = newId;
                }
            }
        }
    }
    VariantClear(&at.lon);
    VariantClear(&at.lat);
    VariantClear(&at.alt);

    // 4. the locality's path
    if (locality > 0)
        AncestorIds(tree, locality, rows.LocLevels, rows.LocPaths, rows.LocIds);
    return locality;
}

// ---- the literature step ----

int ImportRowLiterature(ImportRun& run, RowImport& rows)
{
    std::vector<zdata::Recordset*>& slots = run.Source->Targets.Slots;
    const VARIANT* titleValue = ValueOf(rows, COLGROUP_LITERATURE, 1);
    const wchar_t* title = titleValue ? TextOf(*titleValue) : nullptr;
    if (!title)
        return -1;
    std::wstring titleText = Cut(title, 255);

    // The first author: the authors' text up to the first separator.
    int authorsColumn = FindColumn(rows, COLGROUP_LITERATURE, 5);
    const wchar_t* authors = authorsColumn >= 0 ? TextOf(rows.Values[(size_t)authorsColumn]) : nullptr;
    const wchar_t* separator = authorsColumn >= 0 ? ColumnAt(rows, authorsColumn)->ListSeparator : L"";
    std::wstring first;
    if (authors) {
        first = authors;
        first.erase(0, first.find_first_not_of(L' ') == std::wstring::npos ? first.size() : first.find_first_not_of(L' '));
        size_t at = separator[0] ? first.find(separator) : std::wstring::npos;
        if (at != std::wstring::npos)
            first.erase(at);
        while (!first.empty() && first.back() == L' ')
            first.pop_back();
        first = Cut(first, 31);
    }

    VARIANT none;
    VariantInit(&none);
    none.vt = VT_NULL;
    const VARIANT* publisher = ValueOf(rows, COLGROUP_LITERATURE, 3);
    const VARIANT* periodical = ValueOf(rows, COLGROUP_LITERATURE, 4);
    zdata::Recordset* literature = slots[TARGET_LITERATURE];
    if (!FindOrCreateLiterature(literature, slots[TARGET_JOURNALS], slots[TARGET_EDITORS], slots[TARGET_LITAUTHORS],
                                titleText.c_str(), periodical ? *periodical : none, publisher ? *publisher : none,
                                first.c_str(), false)) {
        run.LogDbErrors();
        return -1;
    }
    // Further columns go only into a new publication: a reused one stays as it is.
    long mode = adEditNone;
    literature->get_EditMode(&mode);
    if (mode == adEditAdd) {
        WriteColumns(run, rows, literature, COLGROUP_LITERATURE,
                     [](const SourceColumn* c) { return c->TargetOrdinal == 2 || c->TargetOrdinal >= 6; });
        if (FAILED(literature->Update())) {
            LogWithDbErrors(run, Format(run, IDS_I_ROW_COLUMNS_FAILED, L"LITERATURE"));
            literature->CancelUpdate();
            return -1;
        }
    }
    int id = RowInt(literature, 0);
    if (id > 0 && authors)
        AddLiteratureRefs(id, slots[TARGET_LITAUTHORS], slots[TARGET_BOOKAUTHORS], authors, separator);
    return id;
}

// ---- the record step ----

bool ImportRowRecord(ImportRun& run, RowImport& rows, int sysId, int locId, int litId)
{
    RecordWriter& records = rows.Records;
    records.Clear();
    records.SetInt(1, sysId);
    records.SetInt(2, locId);
    records.SetInt(3, litId > 0 ? litId : -1);
    for (size_t i = 0; i < rows.RecordSysLevelField.size(); ++i)
        if (rows.RecordSysLevelField[i] >= 0)
            records.SetPathId(rows.RecordSysLevelField[i], i < rows.SysIds.size() ? rows.SysIds[i] : -1);
    for (size_t i = 0; i < rows.RecordLocLevelField.size(); ++i)
        if (rows.RecordLocLevelField[i] >= 0)
            records.SetPathId(rows.RecordLocLevelField[i], i < rows.LocIds.size() ? rows.LocIds[i] : -1);
    auto put = [&records](long ordinal, const VARIANT& value, std::wstring* rule) {
        VARIANT stored;
        VariantInit(&stored);
        VariantCopy(&stored, const_cast<VARIANT*>(&value));
        bool fits = records.Fits(ordinal, &stored, rule);
        if (fits)
            records.Set(ordinal, stored);
        VariantClear(&stored);
        return fits;
    };
    WriteColumns(run, rows, put, COLGROUP_RECORDS, [](const SourceColumn*) { return true; });
    if (FAILED(records.Write())) {
        LogRecordRefusal(run);
        return false;
    }
    ++rows.RecordCount;
    return true;
}

// ---- lookup values ----

bool AddRowLookupValue(ImportRun& run, RowImport& rows, const SourceColumn* column, const wchar_t* prefix,
                       const VARIANT* value)
{
    TargetTables& targets = run.Source->Targets;
    auto known = rows.LookupTables.find(column);
    if (known == rows.LookupTables.end()) {
        bool needed = false;
        zdata::Recordset* table =
            FindLookupTable(column, prefix, targets.Slots.data(), (int)targets.Slots.size(), &needed);
        known = rows.LookupTables.emplace(column, std::make_pair(table, needed)).first;
    }
    zdata::Recordset* table = known->second.first;
    if (table)
        targets.Index.OfferListValue(table, *value);
    return table || !known->second.second;
}
