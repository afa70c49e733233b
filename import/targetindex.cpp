#include "import/targetindex.h"

#include "core/textutil.h"
#include "core/treewalk.h"
#include "czechcollation/czechtext.h"
#include "import/rowjournal.h"
#include "import/targetlocality.h"
#include "import/targetsystem.h"

using treewalk::RowInt;
using treewalk::RowValue;

namespace {

// The rows of a recordset from the first, whatever its filter was.
template <class Each>
void EachRow(zdata::Recordset* rs, Each each)
{
    if (!rs || FAILED(rs->put_Filter(L"")))
        return;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext())
        each();
}

// The folded text of a row's column; false when it holds no text.
bool RowKey(zdata::Recordset* rs, long ordinal, std::wstring* key)
{
    VARIANT value;
    RowValue(rs, ordinal, &value);
    bool text = value.vt == VT_BSTR && value.bstrVal;
    if (text)
        *key = CzechFoldedKey(value.bstrVal, SysStringLen(value.bstrVal));
    VariantClear(&value);
    return text;
}

// A value's text as a value list holds it; false for none.
bool ListText(const VARIANT& value, std::wstring* text)
{
    if (value.vt == VT_BSTR) {
        *text = value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : std::wstring();
        return true;
    }
    VARIANT converted;
    VariantInit(&converted);
    bool ok = SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_BSTR)) &&
              converted.bstrVal;
    if (ok)
        *text = std::wstring(converted.bstrVal, SysStringLen(converted.bstrVal));
    VariantClear(&converted);
    return ok;
}

}  // namespace

size_t TargetIndex::TreeKeyHash::operator()(const TreeKey& key) const
{
    return std::hash<std::wstring>()(key.name) ^ ((size_t)(unsigned)key.parent * 0x9E3779B1u) ^
           ((size_t)(unsigned)key.level << 20);
}

void TargetIndex::Reset(RowJournal* journal)
{
    journal_ = journal;
    sysRead_ = speciesRead_ = locRead_ = false;
    sysItems_.clear();
    lastPositions_.clear();
    species_.clear();
    locItems_.clear();
    named_.clear();
    lists_.clear();
}

void TargetIndex::Note(std::function<void()> undo)
{
    if (journal_)
        journal_->Add(std::move(undo));
}

// ---- the systematic tree and the species -----------------------------------------------------

// In the table's order (by parent and position), so that the first item of a key and the last
// child of a parent are the ones the filters find.
void TargetIndex::ReadSysTree(zdata::Recordset* tree)
{
    sysRead_ = true;
    EachRow(tree, [&] {
        TreeKey key{RowInt(tree, SYSTREE_PARENT), RowInt(tree, SYSTREE_LEVEL), std::wstring()};
        if (RowKey(tree, SYSTREE_NAME, &key.name))
            sysItems_.emplace(std::move(key), RowInt(tree, SYSTREE_ID));
        lastPositions_[RowInt(tree, SYSTREE_PARENT)] = RowInt(tree, SYSTREE_POS, 0);
    });
}

int TargetIndex::FindSysItem(zdata::Recordset* tree, int parent, int level, const wchar_t* name)
{
    if (!sysRead_)
        ReadSysTree(tree);
    auto found = sysItems_.find(TreeKey{parent, level, CzechFoldedKey(name)});
    return found == sysItems_.end() ? -1 : found->second;
}

int TargetIndex::NextSysPosition(zdata::Recordset* tree, int parent)
{
    if (!sysRead_)
        ReadSysTree(tree);
    auto found = lastPositions_.find(parent);
    return found == lastPositions_.end() ? 1 : found->second + 1;
}

void TargetIndex::SysItemAdded(int id, int parent, int level, const wchar_t* name, int position)
{
    TreeKey key{parent, level, CzechFoldedKey(name)};
    if (sysItems_.emplace(key, id).second)
        Note([this, key] { sysItems_.erase(key); });
    auto last = lastPositions_.find(parent);
    bool had = last != lastPositions_.end();
    int before = had ? last->second : 0;
    lastPositions_[parent] = position;
    Note([this, parent, had, before] {
        if (had)
            lastPositions_[parent] = before;
        else
            lastPositions_.erase(parent);
    });
}

int TargetIndex::FindSpecies(zdata::Recordset* species, const wchar_t* name)
{
    if (!speciesRead_) {
        speciesRead_ = true;
        EachRow(species, [&] {
            std::wstring key;
            if (RowKey(species, SPECIES_NAME, &key))
                species_.emplace(std::move(key), RowInt(species, SPECIES_SYSID));
        });
    }
    auto found = species_.find(CzechFoldedKey(name));
    return found == species_.end() ? -1 : found->second;
}

void TargetIndex::SpeciesAdded(const wchar_t* name, int sysId)
{
    std::wstring key = CzechFoldedKey(name);
    if (species_.emplace(key, sysId).second)
        Note([this, key] { species_.erase(key); });
}

// ---- the locality tree -------------------------------------------------------------------------

void TargetIndex::ReadLocTree(zdata::Recordset* tree)
{
    locRead_ = true;
    EachRow(tree, [&] {
        TreeKey key{RowInt(tree, LOCTREE_PARENT), RowInt(tree, LOCTREE_LEVEL), std::wstring()};
        if (!RowKey(tree, LOCTREE_NAME, &key.name))
            return;
        VARIANT geometry;
        RowValue(tree, LOCTREE_GEOMETRY, &geometry);
        locItems_[key].push_back(LocEntry{RowInt(tree, LOCTREE_ID), ReadStoredPoint(geometry)});
        VariantClear(&geometry);
    });
}

int TargetIndex::FindLocItem(zdata::Recordset* tree, int parent, int level, const wchar_t* name, const VARIANT& x,
                             const VARIANT& y)
{
    if (!locRead_)
        ReadLocTree(tree);
    auto found = locItems_.find(TreeKey{parent, level, CzechFoldedKey(name)});
    if (found == locItems_.end())
        return -1;
    // An exact match wins; otherwise the last that matched by name.
    int id = -1;
    for (const LocEntry& entry : found->second) {
        int match = ComparePoint(entry.point, x, y);
        if (match > GEOMETRY_NO_MATCH)
            id = entry.id;
        if (match == GEOMETRY_MATCH)
            break;
    }
    return id;
}

int TargetIndex::FirstLocItem(zdata::Recordset* tree, int parent, int level, const wchar_t* name)
{
    if (!locRead_)
        ReadLocTree(tree);
    auto found = locItems_.find(TreeKey{parent, level, CzechFoldedKey(name)});
    return found == locItems_.end() ? -1 : found->second.front().id;
}

void TargetIndex::LocItemAdded(int id, int parent, int level, const wchar_t* name, const VARIANT& x,
                               const VARIANT& y)
{
    // CreateLocItem stores a point when both coordinates are given.
    StoredPoint point = {STORED_NONE, 0, 0};
    if (!IsNoValue(x) && !IsNoValue(y))
        point = StoredPoint{STORED_POINT, VariantToReal(&x), VariantToReal(&y)};
    TreeKey key{parent, level, CzechFoldedKey(name)};
    locItems_[key].push_back(LocEntry{id, point});
    Note([this, key] {
        auto found = locItems_.find(key);
        if (found == locItems_.end())
            return;
        found->second.pop_back();
        if (found->second.empty())
            locItems_.erase(found);
    });
}

// ---- named rows and value lists ----------------------------------------------------------------

TargetIndex::NameMap& TargetIndex::Names(zdata::Recordset* table, long nameOrdinal, long idOrdinal)
{
    auto found = named_.find(table);
    if (found != named_.end())
        return found->second;
    NameMap& names = named_[table];
    EachRow(table, [&] {
        std::wstring key;
        if (RowKey(table, nameOrdinal, &key))
            names.emplace(std::move(key), RowInt(table, idOrdinal));
    });
    return names;
}

int TargetIndex::FindNamed(zdata::Recordset* table, long nameOrdinal, long idOrdinal, const wchar_t* name)
{
    NameMap& names = Names(table, nameOrdinal, idOrdinal);
    auto found = names.find(CzechFoldedKey(name));
    return found == names.end() ? -1 : found->second;
}

void TargetIndex::NamedAdded(zdata::Recordset* table, const wchar_t* name, int id)
{
    auto names = named_.find(table);
    if (names == named_.end())
        return;  // not read yet: the reading finds the row
    std::wstring key = CzechFoldedKey(name);
    if (names->second.emplace(key, id).second)
        Note([this, table, key] { named_[table].erase(key); });
}

void TargetIndex::OfferListValue(zdata::Recordset* list, const VARIANT& value)
{
    if (!list)
        return;
    auto found = lists_.find(list);
    if (found == lists_.end()) {
        found = lists_.emplace(list, std::unordered_set<std::wstring>()).first;
        std::unordered_set<std::wstring>& held = found->second;
        EachRow(list, [&] {
            VARIANT name;
            RowValue(list, 0, &name);
            std::wstring text;
            if (ListText(name, &text))
                held.insert(text);
            VariantClear(&name);
        });
    }
    std::wstring text;
    if (!ListText(value, &text))
        text.clear();
    if (!found->second.insert(text).second)
        return;
    // A value the list refuses (held in another spelling) is not offered again either; one the
    // list took leaves it with an undone row.
    if (targetrows::StoreListValue(list, value))
        Note([this, list, text] { lists_[list].erase(text); });
}
