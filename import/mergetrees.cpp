#include "import/mergetrees.h"

#include <strsafe.h>

#include "core/composednames.h"
#include "core/textutil.h"
#include "import/importrun.h"
#include "import/impsource.h"
#include "import/targetlit.h"
#include "import/targettables.h"
#include "resources/tarnix/resource.h"
#include "structure/structmodel.h"

// ---- MergeTable ------------------------------------------------------------------------------

namespace {

// Rows a forward table reads at a time.
const long kForwardBlockRows = 500;

}  // namespace

bool MergeTable::Open(zdata::Connection* connection, const wchar_t* sql, bool forward)
{
    Close();
    zdata::Recordset* rs = zdata::Recordset::Create();
    rs->put_CursorLocation(forward ? adUseServer : adUseClient);
    if (forward)
        rs->put_CacheSize(kForwardBlockRows);
    if (FAILED(rs->Open(sql, connection, adOpenKeyset, forward ? adLockReadOnly : adLockOptimistic, adCmdText))) {
        rs->Release();
        return false;
    }
    Attach(rs);
    owned_ = true;
    return true;
}

void MergeTable::Attach(zdata::Recordset* rs)
{
    Close();
    rs_ = rs;
    owned_ = false;
    long count = 0;
    if (!rs_ || FAILED(rs_->get_Fields(&fields_)) || FAILED(fields_->get_Count(&count)))
        return;
    for (long i = 0; i < count; ++i) {
        zdata::Field* field = nullptr;
        fields_->Item(i, &field);
        BSTR name = nullptr;
        if (field)
            field->get_Name(&name);
        columns_.push_back(field);
        names_.push_back(name ? name : L"");
        SysFreeString(name);
    }
}

void MergeTable::Close()
{
    for (zdata::Field* field : columns_)
        if (field)
            field->Release();
    columns_.clear();
    names_.clear();
    if (fields_)
        fields_->Release();
    fields_ = nullptr;
    if (rs_ && owned_) {
        rs_->Close();
        rs_->Release();
    }
    rs_ = nullptr;
    owned_ = false;
}

long MergeTable::RowCount() const
{
    long count = 0;
    if (!rs_ || FAILED(rs_->get_RecordCount(&count)) || count < 0)
        return 0;
    return count;
}

int MergeTable::Ordinal(const wchar_t* name, long limit) const
{
    long end = limit < 0 || limit > ColumnCount() ? ColumnCount() : limit;
    for (long i = 0; i < end; ++i)
        if (SameTextNoCase(names_[(size_t)i].c_str(), name))
            return (int)i;
    return -1;
}

DataTypeEnum MergeTable::ColumnType(long ordinal) const
{
    DataTypeEnum type = adEmpty;
    if (ordinal >= 0 && ordinal < ColumnCount() && columns_[(size_t)ordinal])
        columns_[(size_t)ordinal]->get_Type(&type);
    return type;
}

bool MergeTable::FindInt(const wchar_t* column, int value)
{
    if (!rs_)
        return false;
    wchar_t filter[96];
    StringCchPrintfW(filter, 96, L"%s = %d", column, value);
    if (FAILED(rs_->put_Filter(filter)) || (rs_->IsBOF() && rs_->IsEOF()))
        return false;
    rs_->MoveFirst();
    return !rs_->IsEOF();
}

VARIANT MergeTable::Get(long ordinal) const
{
    VARIANT value;
    VariantInit(&value);
    if (ordinal >= 0 && ordinal < ColumnCount() && columns_[(size_t)ordinal])
        columns_[(size_t)ordinal]->get_Value(&value);
    return value;
}

int MergeTable::Int(long ordinal) const
{
    VARIANT value = Get(ordinal);
    int result = VariantToInt(&value);
    VariantClear(&value);
    return result;
}

bool MergeTable::Text(long ordinal, std::wstring* text) const
{
    VARIANT value = Get(ordinal);
    bool isText = value.vt == VT_BSTR;
    if (isText)
        text->assign(value.bstrVal ? value.bstrVal : L"");
    VariantClear(&value);
    return isText;
}

HRESULT MergeTable::Put(long ordinal, const VARIANT& value)
{
    if (ordinal < 0 || ordinal >= ColumnCount() || !columns_[(size_t)ordinal])
        return E_INVALIDARG;
    return columns_[(size_t)ordinal]->put_Value(value);
}

HRESULT MergeTable::PutInt(long ordinal, int value)
{
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    return Put(ordinal, v);
}

HRESULT MergeTable::PutNull(long ordinal)
{
    VARIANT v;
    v.vt = VT_NULL;
    return Put(ordinal, v);
}

HRESULT MergeTable::PutText(long ordinal, const std::wstring& text)
{
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(text.c_str(), (UINT)text.size());
    HRESULT hr = Put(ordinal, v);
    VariantClear(&v);
    return hr;
}

// ---- indexes ---------------------------------------------------------------------------------

std::wstring FoldName(const std::wstring& name)
{
    if (name.empty())
        return name;
    std::wstring folded(name.size(), L'\0');
    int n = LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, name.c_str(), (int)name.size(), &folded[0],
                         (int)folded.size());
    folded.resize(n > 0 ? (size_t)n : 0);
    return n > 0 ? folded : name;
}

std::wstring PublicationKey(const std::wstring& title, const std::wstring& firstAuthor, const VARIANT& year)
{
    // The year as text, so that one file's number and another's text of it agree.
    std::wstring yearText;
    VARIANT text;
    VariantInit(&text);
    if (year.vt != VT_EMPTY && year.vt != VT_NULL &&
        SUCCEEDED(VariantChangeTypeEx(&text, const_cast<VARIANT*>(&year), LOCALE_INVARIANT, 0, VT_BSTR)) &&
        text.bstrVal)
        yearText = text.bstrVal;
    VariantClear(&text);
    // The parts apart by a control character, which no name holds.
    return FoldName(title) + L'\x1F' + FoldName(firstAuthor) + L'\x1F' + yearText;
}

void TreeIndex::Clear()
{
    children_.clear();
    nodes_.clear();
    lastPos_.clear();
}

std::wstring TreeIndex::Key(int parent, int level, const std::wstring& name)
{
    wchar_t head[32];
    StringCchPrintfW(head, 32, L"%d|%d|", parent, level);
    return head + FoldName(name);
}

void TreeIndex::Add(int id, int parent, int level, const std::wstring& name, int position)
{
    children_.emplace(Key(parent, level, name), id);
    nodes_[id] = MergeNode{parent, level};
    long long siblings = ((long long)parent << 32) | (unsigned)level;
    auto it = lastPos_.find(siblings);
    if (it == lastPos_.end())
        lastPos_.emplace(siblings, position);
    else if (position > it->second)
        it->second = position;
}

int TreeIndex::Find(int parent, int level, const std::wstring& name) const
{
    auto it = children_.find(Key(parent, level, name));
    return it == children_.end() ? -1 : it->second;
}

const MergeNode* TreeIndex::Node(int id) const
{
    auto it = nodes_.find(id);
    return it == nodes_.end() ? nullptr : &it->second;
}

int TreeIndex::LastPosition(int parent, int level) const
{
    auto it = lastPos_.find(((long long)parent << 32) | (unsigned)level);
    return it == lastPos_.end() ? 0 : it->second;
}

// ---- the run's target side -------------------------------------------------------------------

namespace {

UnitEntry* UnitAt(CPtrArray* units, int index)
{
    return static_cast<UnitEntry*>(units->GetItems()[index]);
}

bool UnitImported(const UnitEntry* unit)
{
    return unit->State != CHOICE_SKIP && unit->TargetLevel >= 0;
}

// The unit entry imported at a target level, -1 none.
int UnitOfTargetLevel(CPtrArray* units, int targetLevel)
{
    for (int k = 0; units && k < units->GetCount(); ++k)
        if (UnitAt(units, k)->State != CHOICE_SKIP && UnitAt(units, k)->TargetLevel == targetLevel)
            return k;
    return -1;
}

void IndexTree(MergeTable& tree, TreeIndex* index, int levelColumn, int nameColumn, int positionColumn)
{
    index->Clear();
    zdata::Recordset* rs = tree.Rs();
    if (!rs)
        return;
    rs->put_Filter(L"");
    if (rs->IsBOF() && rs->IsEOF())
        return;
    std::wstring name;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
        if (!tree.Text(nameColumn, &name))
            name.clear();
        index->Add(tree.Int(0), tree.Int(1), tree.Int(levelColumn), name,
                   positionColumn >= 0 ? tree.Int(positionColumn) : 0);
    }
}

// Every row's text of one column into a set, or with the id column into a map.
void IndexNames(MergeTable& table, int nameColumn, int idColumn, std::unordered_map<std::wstring, int>* byName,
                std::unordered_set<std::wstring>* names)
{
    zdata::Recordset* rs = table.Rs();
    if (!rs)
        return;
    rs->put_Filter(L"");
    if (rs->IsBOF() && rs->IsEOF())
        return;
    std::wstring name;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
        if (!table.Text(nameColumn, &name))
            continue;
        if (byName)
            byName->emplace(FoldName(name), table.Int(idColumn));
        if (names)
            names->insert(FoldName(name));
    }
}

// Every publication of the target by its PublicationKey; of those that share one, the first.
void IndexPublications(MergeTable& literature, MergeTable& authors, std::unordered_map<std::wstring, int>* byKey)
{
    std::unordered_map<int, std::wstring> authorNames;
    zdata::Recordset* rs = authors.Rs();
    if (rs && SUCCEEDED(rs->put_Filter(L"")) && !(rs->IsBOF() && rs->IsEOF())) {
        std::wstring name;
        for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext())
            if (authors.Text(1, &name))
                authorNames.emplace(authors.Int(0), name);
    }
    rs = literature.Rs();
    if (!rs || FAILED(rs->put_Filter(L"")) || (rs->IsBOF() && rs->IsEOF()))
        return;
    const int year = literature.Ordinal(L"IYEAR");
    std::wstring title;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
        if (!literature.Text(LITERATURE_NAME, &title))
            continue;
        auto author = authorNames.find(literature.Int(LITERATURE_FIRSTAUTHOR));
        VARIANT value = literature.Get(year);
        byKey->emplace(PublicationKey(title, author != authorNames.end() ? author->second : std::wstring(), value),
                       literature.Int(0));
        VariantClear(&value);
    }
}

// A level path column "SYS_LEVEL_%d" of ZORNACOLLS for every imported unit, -1 where missing.
std::vector<int> PathColumns(MergeTable& records, CPtrArray* units, const wchar_t* format)
{
    std::vector<int> ordinals;
    for (int k = 0; units && k < units->GetCount(); ++k) {
        wchar_t name[32];
        StringCchPrintfW(name, 32, format, UnitAt(units, k)->TargetLevel);
        ordinals.push_back(UnitImported(UnitAt(units, k)) ? records.Ordinal(name) : -1);
    }
    return ordinals;
}

// After a failed Update: the pending row is dropped and the failure logged.
void CancelAndLog(MergeRun& m, MergeTable& table)
{
    m.run->LogDbErrors();
    table.Rs()->CancelUpdate();
}

}  // namespace

void LogMergeError(MergeRun& m, UINT stringId, const std::wstring& detail)
{
    std::wstring text = m.run->String(stringId);
    if (!detail.empty())
        text += detail;
    m.run->LogError(text.c_str());
}

void PrepareMergeTargets(MergeRun& m, const StructureModel*)
{
    IndexTree(m.tgtSys, &m.sysIndex, 2, 4, 3);
    IndexTree(m.tgtLoc, &m.locIndex, 2, 3, -1);
    m.speciesByName.clear();
    m.litByKey.clear();
    m.sysAuthors.clear();
    m.sysMapped.clear();
    m.locMapped.clear();
    m.litMapped.clear();
    IndexNames(m.tgtSpecies, 0, 1, &m.speciesByName, nullptr);
    IndexPublications(m.tgtLit, m.tgtAuthors, &m.litByKey);
    IndexNames(m.tgtSysAuthors, 0, 0, nullptr, &m.sysAuthors);
    m.lookupNames.assign(m.lookups.size(), std::unordered_set<std::wstring>());
    for (size_t slot = 0; slot < m.lookups.size(); ++slot)
        if (m.lookups[slot])
            IndexNames(*m.lookups[slot], 0, 0, nullptr, &m.lookupNames[slot]);

    const ItemList* srcSysLevels = &m.sourceModel->Lists[MODEL_SYS_LEVELS];
    const ItemList* srcLocLevels = &m.sourceModel->Lists[MODEL_LOC_LEVELS];
    m.srcSysPath.assign((size_t)srcSysLevels->Count, -1);
    m.srcLocPath.assign((size_t)srcLocLevels->Count, -1);
    m.sysUnitPath.assign(m.sysUnits ? (size_t)m.sysUnits->GetCount() : 0, -1);
    m.locUnitPath.assign(m.locUnits ? (size_t)m.locUnits->GetCount() : 0, -1);
    // The levels whose names make up a species' composed name.
    m.nameLevelIds.clear();
    for (int k = 0; m.sysUnits && k < m.sysUnits->GetCount(); ++k) {
        UnitEntry* unit = UnitAt(m.sysUnits, k);
        if (UnitImported(unit) && unit->Optional)
            m.nameLevelIds.push_back(unit->TargetLevel);
    }
    m.sysPathColumns = PathColumns(m.tgtRecords, m.sysUnits, L"SYS_LEVEL_%d");
    m.locPathColumns = PathColumns(m.tgtRecords, m.locUnits, L"LOC_LEVEL_%d");
}

void FreeMergeTargets(MergeRun& m)
{
    m.sysMapped.clear();
    m.locMapped.clear();
    m.litMapped.clear();
    m.sysIndex.Clear();
    m.locIndex.Clear();
    m.speciesByName.clear();
    m.litByKey.clear();
    m.sysAuthors.clear();
    m.lookupNames.clear();
    m.srcSysPath.clear();
    m.sysUnitPath.clear();
    m.srcLocPath.clear();
    m.locUnitPath.clear();
    m.nameLevelIds.clear();
}

// ---- attribute values --------------------------------------------------------------------------

bool CopyLookupValue(MergeRun& m, int group, int entry, const VARIANT& value)
{
    MergeAttrGroup& g = m.groups[group];
    AttrImportEntry* attr = static_cast<AttrImportEntry*>(g.entries->GetItems()[entry]);
    if (attr->TargetType != 5 && attr->TargetType != 7)
        return true;
    if (value.vt == VT_NULL || value.vt == VT_EMPTY)
        return true;  // nothing to add to the list
    int slot = g.lookupSlot[(size_t)entry];
    if (slot < 0 || slot >= (int)m.lookups.size() || !m.lookups[slot])
        return false;
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR)))
        return false;
    std::wstring name = text.bstrVal ? text.bstrVal : L"";
    VariantClear(&text);
    int limit = g.targetSize[(size_t)entry];
    if (limit > 0 && (int)name.size() > limit) {
        LogMergeError(m, IDS_I_MERGE_VALUE_TOO_LONG, name);
        return false;
    }
    std::wstring folded = FoldName(name);
    std::unordered_set<std::wstring>& names = m.lookupNames[(size_t)slot];
    if (names.count(folded))
        return true;
    MergeTable& list = *m.lookups[slot];
    list.Rs()->AddNew();
    list.PutText(0, name);
    if (FAILED(list.Rs()->Update()))
        list.Rs()->CancelUpdate();  // there already, in another spelling
    names.insert(folded);
    return true;
}

void CopyAttributes(MergeRun& m, int group, MergeTable& source, MergeTable& target)
{
    MergeAttrGroup& g = m.groups[group];
    if (!g.entries)
        return;
    for (int j = 0; j < g.entries->GetCount(); ++j) {
        AttrImportEntry* attr = static_cast<AttrImportEntry*>(g.entries->GetItems()[j]);
        int from = g.sourceOrdinal[(size_t)j];
        if (attr->State == CHOICE_SKIP || attr->TargetOrdinal < 0 || from < 0)
            continue;
        VARIANT value = source.Get(from);
        if (CopyLookupValue(m, group, j, value))
            target.Put(attr->TargetOrdinal, value);
        VariantClear(&value);
    }
}

void CopyColumns(const std::vector<std::pair<int, int>>& pairs, MergeTable& source, MergeTable& target)
{
    for (const auto& pair : pairs) {
        VARIANT value = source.Get(pair.first);
        target.Put(pair.second, value);
        VariantClear(&value);
    }
}

std::vector<std::pair<int, int>> MatchColumns(const MergeTable& source, const MergeTable& target, int first, int end)
{
    std::vector<std::pair<int, int>> pairs;
    for (int t = first; t < end && t < target.ColumnCount(); ++t) {
        int s = source.Ordinal(target.ColumnName(t).c_str());
        if (s >= 0)
            pairs.emplace_back(s, t);
    }
    return pairs;
}

// ---- the systematic tree -----------------------------------------------------------------------

// The species shortcut: a source species whose composed name the target has is that item; the
// path is then the target item's ancestors, each in the slot of the unit imported at its level.
static int FindSpeciesByName(MergeRun& m, int sourceId)
{
    std::wstring name;
    if (!m.srcSpecies.FindInt(L"SYSID", sourceId) || !m.srcSpecies.Text(0, &name))
        return -1;
    auto it = m.speciesByName.find(FoldName(name));
    if (it == m.speciesByName.end())
        return -1;
    for (int id = it->second; id > 0;) {
        const MergeNode* node = m.sysIndex.Node(id);
        if (!node)
            break;
        int k = UnitOfTargetLevel(m.sysUnits, node->level);
        if (k >= 0)
            m.sysUnitPath[(size_t)k] = id;
        id = node->parent;
    }
    return it->second;
}

// The source item's ancestors by source level index (the item itself included).
static void WalkSourcePath(MergeTable& tree, const ItemList* levels, int id, std::vector<int>* path)
{
    std::fill(path->begin(), path->end(), -1);
    for (int guard = 0; id > 0 && guard < 1000 && tree.FindInt(L"ID", id); ++guard) {
        int level = tree.Int(2);
        int index = FindLevelEntryById(level, levels);
        if (index >= 0)
            (*path)[(size_t)index] = id;
        int parent = tree.Int(1);
        if (parent <= 0 || level <= 0)
            break;
        id = parent;
    }
}

// What the two trees' mapping differs in.
struct TreeSide {
    MergeTable& source;
    MergeTable& target;
    CPtrArray* units;
    const ItemList* levels;        // the source's levels
    std::vector<int>& sourcePath;  // by source level
    std::vector<int>& unitPath;    // by unit entry
    TreeIndex& index;
    int& nextId;
    int nameColumn;
    int positionColumn;            // -1: siblings are ordered by name
    int group;                     // of the tree's attributes
    const std::vector<std::pair<int, int>>& copy;
};

static TreeSide SystematicSide(MergeRun& m)
{
    return {m.srcSys, m.tgtSys, m.sysUnits, &m.sourceModel->Lists[MODEL_SYS_LEVELS], m.srcSysPath, m.sysUnitPath,
            m.sysIndex, m.nextSysId, 4, 3, MERGE_SYSTREE, m.sysCopy};
}

static TreeSide LocalitySide(MergeRun& m)
{
    return {m.srcLoc, m.tgtLoc, m.locUnits, &m.sourceModel->Lists[MODEL_LOC_LEVELS], m.srcLocPath, m.locUnitPath,
            m.locIndex, m.nextLocId, 3, -1, MERGE_LOCTREE, m.locCopy};
}

// The source item's path matched level by level from the top in the target, each missing item
// created (its data row through onData); the last matched item, 0 when none.
template <class OnData>
int MapTreePath(MergeRun& m, TreeSide side, int sourceId, OnData onData)
{
    WalkSourcePath(side.source, side.levels, sourceId, &side.sourcePath);
    int parent = 0;
    std::wstring name;
    for (int i = 0; i < side.levels->Count; ++i) {
        int srcId = side.sourcePath[(size_t)i];
        if (srcId < 0 || !side.source.FindInt(L"ID", srcId))
            continue;
        int k = FindUnitEntryBySourceLevel(LevelAt(side.levels, i)->OrigLevelId, side.units);
        if (k < 0 || !UnitImported(UnitAt(side.units, k)) || !side.source.Text(side.nameColumn, &name))
            continue;  // its children hang on the last matched ancestor
        UnitEntry* unit = UnitAt(side.units, k);
        int found = side.index.Find(parent, unit->TargetLevel, name);
        if (found >= 0) {
            parent = found;
            side.unitPath[(size_t)k] = parent;
            continue;
        }
        int position = side.positionColumn >= 0 ? side.index.LastPosition(parent, unit->TargetLevel) + 1 : 0;
        int id = ++side.nextId;
        zdata::Recordset* rs = side.target.Rs();
        rs->AddNew();
        side.target.PutInt(0, id);
        side.target.PutInt(1, parent);
        side.target.PutInt(2, unit->TargetLevel);
        if (side.positionColumn >= 0)
            side.target.PutInt(side.positionColumn, position);
        CopyColumns(side.copy, side.source, side.target);
        CopyAttributes(m, side.group, side.source, side.target);
        if (FAILED(rs->Update())) {
            // A tree item that exists already is no error; a locality that cannot be written is.
            if (side.positionColumn < 0)
                m.run->LogDbErrors();
            rs->CancelUpdate();
            --side.nextId;
            continue;
        }
        side.index.Add(id, parent, unit->TargetLevel, name, position);
        parent = id;
        side.unitPath[(size_t)k] = parent;
        if (unit->Optional)
            onData(srcId, id);
    }
    return parent;
}

// The mapping of a source row remembered (when it logged nothing), or looked up in what was.
template <class Map>
int MapOnce(MergeRun& m, std::unordered_map<int, MergeRun::Mapped>& mapped, std::vector<int>& path, int sourceId,
            Map map)
{
    auto known = mapped.find(sourceId);
    if (known != mapped.end()) {
        path = known->second.path;
        return known->second.id;
    }
    int errors = m.run->Source->ErrorCount;
    int id = map();
    if (m.run->Source->ErrorCount == errors)
        mapped.emplace(sourceId, MergeRun::Mapped{id, path});
    return id;
}

static int MapSysItemPath(MergeRun& m, int sourceId);
static int MapLocItemPath(MergeRun& m, int sourceId);

int MapSysItem(MergeRun& m, int sourceId)
{
    return MapOnce(m, m.sysMapped, m.sysUnitPath, sourceId, [&] { return MapSysItemPath(m, sourceId); });
}

int MapLocItem(MergeRun& m, int sourceId)
{
    return MapOnce(m, m.locMapped, m.locUnitPath, sourceId, [&] { return MapLocItemPath(m, sourceId); });
}

static int MapSysItemPath(MergeRun& m, int sourceId)
{
    std::fill(m.sysUnitPath.begin(), m.sysUnitPath.end(), -1);
    if (!m.sysUnits || m.sysUnits->GetCount() == 0)
        return 0;
    int shortcut = FindSpeciesByName(m, sourceId);
    if (shortcut > 0)
        return shortcut;
    return MapTreePath(m, SystematicSide(m), sourceId, [&m](int srcId, int id) {
        wchar_t composed[64] = L"";
        ComposeTaxonName(id, m.tgtSys.Rs(), m.nameLevelIds.data(), (int)m.nameLevelIds.size(), composed);
        MapSpecies(m, srcId, id, composed);
    });
}

bool MapSpecies(MergeRun& m, int sourceId, int newId, const std::wstring& composedName)
{
    if (!m.srcSpecies.FindInt(L"SYSID", sourceId))
        return false;
    std::wstring author;
    bool hasAuthor = m.srcSpecies.Text(3, &author) && !author.empty();
    if (hasAuthor && !m.sysAuthors.count(FoldName(author))) {
        m.tgtSysAuthors.Rs()->AddNew();
        m.tgtSysAuthors.PutText(0, author);
        if (FAILED(m.tgtSysAuthors.Rs()->Update()))
            m.tgtSysAuthors.Rs()->CancelUpdate();  // there already
        m.sysAuthors.insert(FoldName(author));
    }
    zdata::Recordset* rs = m.tgtSpecies.Rs();
    rs->AddNew();
    VARIANT value = m.srcSpecies.Get(3);
    m.tgtSpecies.Put(3, value);
    VariantClear(&value);
    m.tgtSpecies.PutText(0, composedName);
    m.tgtSpecies.PutInt(1, newId);
    CopyColumns(m.speciesCopy, m.srcSpecies, m.tgtSpecies);
    CopyAttributes(m, MERGE_SPECIES, m.srcSpecies, m.tgtSpecies);
    if (FAILED(rs->Update())) {
        CancelAndLog(m, m.tgtSpecies);
        return false;
    }
    m.speciesByName.emplace(FoldName(composedName), newId);
    return true;
}

// ---- the locality tree -------------------------------------------------------------------------

static int MapLocItemPath(MergeRun& m, int sourceId)
{
    std::fill(m.locUnitPath.begin(), m.locUnitPath.end(), -1);
    if (!m.locUnits || m.locUnits->GetCount() == 0)
        return 0;
    return MapTreePath(m, LocalitySide(m), sourceId, [&m](int srcId, int id) { MapFeatures(m, srcId, id); });
}

bool MapFeatures(MergeRun& m, int sourceId, int newId)
{
    if (!m.srcFeatures.FindInt(L"LOCID", sourceId))
        return false;
    zdata::Recordset* rs = m.tgtFeatures.Rs();
    rs->AddNew();
    m.tgtFeatures.PutInt(0, newId);
    CopyColumns(m.featuresCopy, m.srcFeatures, m.tgtFeatures);
    CopyAttributes(m, MERGE_FEATURES, m.srcFeatures, m.tgtFeatures);
    if (FAILED(rs->Update())) {
        CancelAndLog(m, m.tgtFeatures);
        return false;
    }
    // The label is composed in the target, from its own tree.
    wchar_t label[64] = L"";
    if (FormatLocalityLabel(newId, m.tgtLoc.Rs(), rs, label) > 0 && !rs->IsEOF()) {
        m.tgtFeatures.PutText(1, label);
        if (FAILED(rs->Update()))
            rs->CancelUpdate();
    }
    return true;
}
