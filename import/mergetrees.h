// Merging another database's trees into the open one: the state of one merge run (the source's
// tables read into memory, the target's tables, the wizard's unit and attribute lists) and the
// mapping of source tree items, species and localities onto target items.
//
// Items are matched by path: level by level from the top, a source item corresponds to the
// target child of the matched parent that has the mapped level and the same name (without
// regard to case); what is missing is created, a new species or locality with its SPECIES or
// FEATURES row. A species whose composed name the target already has is taken at once.
//
// The target's rows are looked up through hash indexes kept beside its recordsets (a filter on a
// name would scan every row once per record); the recordsets themselves take the new rows.
// Attribute values are read by field name from the source and written at the column the
// structure transfer gave each attribute in the target.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/containers.h"
#include "dataaccess/ado.h"

class ImportRun;
struct AttrImportEntry;
struct StructureModel;
struct TargetTables;

// One in-memory recordset with its columns at hand.
class MergeTable {
public:
    MergeTable() = default;
    ~MergeTable() { Close(); }
    MergeTable(const MergeTable&) = delete;
    MergeTable& operator=(const MergeTable&) = delete;

    // Opens SQL on the connection with a client cursor (every row read into memory), or for a
    // long result read once from the first row to the last (a source's view), with a read-only
    // cursor that holds the rows' keys and reads the rows in blocks as it moves.
    bool Open(zdata::Connection* connection, const wchar_t* sql, bool forward = false);
    // Takes a recordset that is open already (a target table); not released by Close.
    void Attach(zdata::Recordset* rs);
    void Close();
    bool IsOpen() const { return rs_ != nullptr; }
    zdata::Recordset* Rs() const { return rs_; }
    long ColumnCount() const { return (long)columns_.size(); }
    long RowCount() const;
    // The ordinal of the column of that name among the first `limit` columns (all for -1), -1 none.
    int Ordinal(const wchar_t* name, long limit = -1) const;
    const std::wstring& ColumnName(long ordinal) const { return names_[(size_t)ordinal]; }
    DataTypeEnum ColumnType(long ordinal) const;

    // Filter "column = value" and move to its first row; false when no row has it.
    bool FindInt(const wchar_t* column, int value);
    // The current row's value (VT_EMPTY when there is none); the caller clears it.
    VARIANT Get(long ordinal) const;
    // The value as an integer: -1 when it is none (NULL, text, no row).
    int Int(long ordinal) const;
    // The value as text: false when it is not text (NULL, a number).
    bool Text(long ordinal, std::wstring* text) const;
    HRESULT Put(long ordinal, const VARIANT& value);
    HRESULT PutInt(long ordinal, int value);
    HRESULT PutNull(long ordinal);
    HRESULT PutText(long ordinal, const std::wstring& text);

private:
    zdata::Recordset* rs_ = nullptr;
    bool owned_ = false;
    zdata::Fields* fields_ = nullptr;
    std::vector<zdata::Field*> columns_;
    std::vector<std::wstring> names_;
};

// A name as the indexes compare it: upper case by the invariant locale, as the database's
// filters compare names without regard to case.
std::wstring FoldName(const std::wstring& name);

// A publication as the merge tells publications apart: titles are shared by different works
// (a series, a reissue, a common subject), so the title, the first author's name and the year
// together, each without regard to case; a missing author or year counts as a value of its own.
std::wstring PublicationKey(const std::wstring& title, const std::wstring& firstAuthor, const VARIANT& year);

// A tree node of the target: its parent and level.
struct MergeNode {
    int parent;
    int level;
};

// The target tree's children by (parent, level, name), the nodes by id, and the last position
// among siblings of a level.
class TreeIndex {
public:
    void Clear();
    void Add(int id, int parent, int level, const std::wstring& name, int position);
    int Find(int parent, int level, const std::wstring& name) const;  // -1 none
    const MergeNode* Node(int id) const;
    int LastPosition(int parent, int level) const;                     // 0 none

private:
    static std::wstring Key(int parent, int level, const std::wstring& name);
    std::unordered_map<std::wstring, int> children_;
    std::unordered_map<int, MergeNode> nodes_;
    std::unordered_map<long long, int> lastPos_;
};

// One attribute group of the source: the wizard's entries, the source column of each entry (by
// its field name), and each entry's lookup-table recordset and size in the target.
struct MergeAttrGroup {
    CPtrArray* entries = nullptr;  // AttrImportEntry; null when the source table has none
    std::vector<int> sourceOrdinal;
    std::vector<int> lookupSlot;   // slot of the target's value list, -1 none
    std::vector<int> targetSize;   // length of the value list's names, 0 unbounded
};

// Attribute groups in the model's table order.
enum MergeGroupIndex {
    MERGE_SYSTREE = 0,
    MERGE_LOCTREE = 1,
    MERGE_SPECIES = 2,
    MERGE_FEATURES = 3,
    MERGE_RECORDS = 4,
    MERGE_LITERATURE = 5,
    MERGE_GROUPS = 6,
};

// Everything one merge run works with.
struct MergeRun {
    ImportRun* run = nullptr;
    StructureModel* sourceModel = nullptr;
    TargetTables* targets = nullptr;

    // The source's tables.
    MergeTable srcSys, srcLoc, srcSpecies, srcFeatures, srcLit, srcAuthors, srcEditors, srcJournals,
        srcKeywords, srcBookAuthors, srcKeywordRefs, srcSysRefs, srcLocRefs;
    // The target's tables (attached to the target slots).
    MergeTable tgtSys, tgtSpecies, tgtSysAuthors, tgtLoc, tgtFeatures, tgtRecords, tgtLit, tgtAuthors,
        tgtEditors, tgtJournals, tgtKeywords, tgtBookAuthors, tgtKeywordRefs, tgtSysRefs, tgtLocRefs;
    std::vector<MergeTable*> lookups;  // by target slot (null below the lookup slots)
    std::vector<std::unique_ptr<MergeTable>> lookupTables;

    CPtrArray* sysUnits = nullptr;  // UnitEntry
    CPtrArray* locUnits = nullptr;
    MergeAttrGroup groups[MERGE_GROUPS];
    // Built-in columns copied for a new row: (source ordinal, target ordinal), matched by name,
    // so that a column one of the files lacks (the locality note, the names' further columns)
    // is left alone.
    std::vector<std::pair<int, int>> sysCopy, locCopy, speciesCopy, featuresCopy, litCopy;
    std::vector<int> sysPathColumns, locPathColumns;  // ZORNACOLLS ordinal by unit entry, -1 none

    // Work arrays: source path by source level, target path by unit entry.
    std::vector<int> srcSysPath, sysUnitPath, srcLocPath, locUnitPath;
    // What source items, localities and publications were mapped to (items with their unit
    // paths), for the rows that name them again: the target only grows during a run, so a
    // mapping that logged nothing stands.
    struct Mapped {
        int id;
        std::vector<int> path;
    };
    std::unordered_map<int, Mapped> sysMapped, locMapped;
    std::unordered_map<int, int> litMapped;
    std::vector<int> nameLevelIds;
    int nextSysId = 0;
    int nextLocId = 0;

    TreeIndex sysIndex, locIndex;
    std::unordered_map<std::wstring, int> speciesByName;  // composed name -> SYSID
    std::unordered_map<std::wstring, int> litByKey;       // PublicationKey -> ID
    std::unordered_set<std::wstring> sysAuthors;
    std::vector<std::unordered_set<std::wstring>> lookupNames;  // by target slot
};

// Reads the target's tables into the indexes and fills the per-run arrays; call after the
// target tables and the lookup slots are open.
void PrepareMergeTargets(MergeRun& m, const StructureModel* targetModel);
// Releases the work arrays and the indexes.
void FreeMergeTargets(MergeRun& m);

// Writes one log entry of the program's string table for the current row.
void LogMergeError(MergeRun& m, UINT stringId, const std::wstring& detail = std::wstring());

// The target SYSTREE id of a source item, creating what is missing of its path (0 when no level
// could be matched or created); fills sysUnitPath.
int MapSysItem(MergeRun& m, int sourceId);
// The same for the locality tree; fills locUnitPath.
int MapLocItem(MergeRun& m, int sourceId);
// The SPECIES row of a new species item, copied from the source's row of sourceId.
bool MapSpecies(MergeRun& m, int sourceId, int newId, const std::wstring& composedName);
// The FEATURES row of a new locality, copied from the source's row of sourceId, then labelled.
bool MapFeatures(MergeRun& m, int sourceId, int newId);
// Copies the built-in columns of the pairs from the source's current row to the target's
// pending row.
void CopyColumns(const std::vector<std::pair<int, int>>& pairs, MergeTable& source, MergeTable& target);
// The pairs of the target's columns first..end-1 that the source has under the same name.
std::vector<std::pair<int, int>> MatchColumns(const MergeTable& source, const MergeTable& target, int first, int end);
// Copies the attribute values of the source table's current row into the target's pending row.
void CopyAttributes(MergeRun& m, int group, MergeTable& source, MergeTable& target);
// A value of a value-list attribute added to the target's list; false when the value must not
// be written into the attribute's column (its list is not open, or the value is too long).
bool CopyLookupValue(MergeRun& m, int group, int entry, const VARIANT& value);
