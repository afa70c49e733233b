// The structure an import creates before its rows. The wizard records, for every unit (level) and
// attribute of a source, whether it is skipped, mapped onto an existing level or attribute of the
// open database, or created there; a flat source (text file, table) says per column into which
// table it goes and which column, or a new attribute, takes it. Before the rows:
//   1. collect: a new model entry for every unit, attribute or column to be created;
//   2. apply: the model lists saved (SaveLevels, SaveAttributes), each a savepoint of the
//      import's transaction;
//   3. write back: where each entry's data goes (level number, column name, type, ordinal).
//
// A unit whose level could not be saved is skipped (TargetLevel -1) with one log entry, instead
// of being written at a level number that the database does not have.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "core/containers.h"
#include "dataaccess/ado.h"
#include "utilities/structmodel.h"

class CSchemaDb;
class ImportRun;
struct AttrImportEntry;

// Table codes of the attribute groups' steps (not the model's order).
enum ImportTableCode {
    TABLECODE_SYSTREE = 1,
    TABLECODE_SPECIES = 2,
    TABLECODE_LOCTREE = 3,
    TABLECODE_FEATURES = 4,
    TABLECODE_RECORDS = 5,
    TABLECODE_LITERATURE = 6,
};
const wchar_t* TableOfCode(int code);  // "" for other codes

// Table mask of the flat sources: one bit per ColumnTargetGroup (1 << (group - 1)).
const wchar_t* TableOfColumnGroup(int group);  // null for other groups
int ModelListOfColumnGroup(int group);        // -1 for other groups

// ---- units and attributes ----
int CollectNewUnits(CPtrArray* units, ItemList* levels);
// After the level save: TargetLevel of every imported unit from its level's name. When the save
// failed (saved false), units whose level is still unsaved get -1 and the count of such units is
// returned (the caller logs them once); else 0.
int StoreNewUnitIds(CPtrArray* units, ItemList* levels, bool saved);
// Units mapped onto a level that is not below the level of an imported unit before them in the
// source (the mapping crosses the target's order) get TargetLevel -1 and are skipped: a tree
// never holds an item at a level above its parent's. Their source names are added to skipped
// (when given); the count.
int SkipUnitsOutOfOrder(CPtrArray* units, std::vector<std::wstring>* skipped);
int FindLevelIdByName(const ItemList* levels, const wchar_t* name);
int CollectNewAttrs(CSchemaDb* db, CPtrArray* entries, ItemList* attrs, int tableCode);
void StoreNewAttrIds(CSchemaDb* db, CPtrArray* entries, ItemList* attrs, int tableCode);
AttrEntry* FindAttrByCaption(const ItemList* attrs, const wchar_t* name);
int FindFieldOrdinal(zdata::Fields* fields, const wchar_t* name);

// The default structure step of a source with unit and attribute groups: both trees' units,
// then each attribute group. False only when the import's transaction has ended.
bool TransferStructure(ImportRun& run);

// ---- columns of flat sources ----
int CollectNewColumns(CSchemaDb* db, CPtrArray* columns, StructureModel* model);
bool SaveNewColumns(HWND owner, CSchemaDb* db, StructureModel* model, int mask);
void StoreColumnOrdinals(CSchemaDb* db, CPtrArray* columns, const wchar_t* table, int code);
void StoreAllColumnOrdinals(CSchemaDb* db, CPtrArray* columns, StructureModel* model, int mask);
int CountListColumns(CPtrArray* columns);
int TablesWithColumns(CPtrArray* columns);

// The structure step of a flat source: new columns collected, saved and their ordinals found.
// False (the run stops and rolls back) when a save failed.
bool TransferColumns(ImportRun& run, CPtrArray* columns);
