// The names and keys of the target tables that an import looks up, held in memory. A filter
// on a recordset costs its parsing and a test of every row the recordset's own index offers
// (every child of a parent), once per lookup; here each table is read once, at its first lookup,
// and the index follows what the run adds to it. What a row added is taken out again when the
// row is undone (the run's RowJournal). Names match as the recordsets' filters match them: equal
// ignoring case.
//
// The lookups answer as the recordset functions of targetsystem.h, targetlocality.h and
// targetlit.h do over the tables the import opens (their order included); the writes still go
// through those recordsets, and the caller tells the index what it added.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/geopoint.h"
#include "dataaccess/ado.h"

class RowJournal;

class TargetIndex {
public:
    // Forgets every table (a new run); what the rows add is noted in journal (null: nowhere).
    void Reset(RowJournal* journal);

    // SYSTREE: the first item of that parent, level and name, -1 none; the position after the
    // parent's last child (1 for the first); a new item.
    int FindSysItem(zdata::Recordset* tree, int parent, int level, const wchar_t* name);
    int NextSysPosition(zdata::Recordset* tree, int parent);
    void SysItemAdded(int id, int parent, int level, const wchar_t* name, int position);

    // SPECIES: the SYSID of the first species row of the name, -1 none; a new row.
    int FindSpecies(zdata::Recordset* species, const wchar_t* name);
    void SpeciesAdded(const wchar_t* name, int sysId);

    // LOCTREE: the item of that parent, level and name whose point matches x and y, as
    // FindLocItem chooses it; a new item with its point (none unless x and y are both given).
    int FindLocItem(zdata::Recordset* tree, int parent, int level, const wchar_t* name, const VARIANT& x,
                    const VARIANT& y);
    // The first item of that parent, level and name, whatever its point; -1 none.
    int FirstLocItem(zdata::Recordset* tree, int parent, int level, const wchar_t* name);
    void LocItemAdded(int id, int parent, int level, const wchar_t* name, const VARIANT& x, const VARIANT& y);

    // A table of named rows (authors, publications, editors, journals, keywords): the column
    // idOrdinal of its first row whose column nameOrdinal holds the name, -1 none; a new row.
    int FindNamed(zdata::Recordset* table, long nameOrdinal, long idOrdinal, const wchar_t* name);
    void NamedAdded(zdata::Recordset* table, const wchar_t* name, int id);

    // Offers a value to a value list (its names in column 0) as targetrows::OfferListValue does,
    // but only a value the list has not held yet: no statement that the list's key would refuse.
    void OfferListValue(zdata::Recordset* list, const VARIANT& value);

private:
    struct TreeKey {
        int parent;
        int level;
        std::wstring name;  // folded
        bool operator==(const TreeKey& other) const
        {
            return parent == other.parent && level == other.level && name == other.name;
        }
    };
    struct TreeKeyHash {
        size_t operator()(const TreeKey& key) const;
    };
    struct LocEntry {
        int id;
        StoredPoint point;
    };
    using NameMap = std::unordered_map<std::wstring, int>;

    void ReadSysTree(zdata::Recordset* tree);
    void ReadLocTree(zdata::Recordset* tree);
    NameMap& Names(zdata::Recordset* table, long nameOrdinal, long idOrdinal);
    void Note(std::function<void()> undo);

    RowJournal* journal_ = nullptr;
    bool sysRead_ = false, speciesRead_ = false, locRead_ = false;
    std::unordered_map<TreeKey, int, TreeKeyHash> sysItems_;
    std::unordered_map<int, int> lastPositions_;  // parent -> the position of its last child
    NameMap species_;
    std::unordered_map<TreeKey, std::vector<LocEntry>, TreeKeyHash> locItems_;
    std::unordered_map<zdata::Recordset*, NameMap> named_;
    std::unordered_map<zdata::Recordset*, std::unordered_set<std::wstring>> lists_;
};
