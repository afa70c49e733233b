// The target tables of an import: the recordsets of the open database that the row importers
// append to and search in, opened on the import's connection before its rows, and the highest
// ids of the two trees, from which the import counts its new items' ids on.
//
// The records table is opened for appending only: an import never searches its records, and
// reading a million of them would only cost time and memory.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "dataaccess/ado.h"
#include "import/targetindex.h"

struct ItemList;
class CPtrArray;

enum TargetSlot {
    TARGET_SYSTREE = 0,
    TARGET_SPECIES = 1,
    TARGET_SYSAUTHORS = 2,
    TARGET_LOCTREE = 3,
    TARGET_FEATURES = 4,
    TARGET_RECORDS = 5,
    TARGET_LITERATURE = 6,
    TARGET_LITAUTHORS = 7,
    TARGET_EDITORS = 8,
    TARGET_JOURNALS = 9,
    TARGET_KEYWORDS = 10,
    TARGET_BOOKAUTHORS = 11,
    TARGET_LITKEYWORDSREFS = 12,
    TARGET_LITSYSREFS = 13,
    TARGET_LITLOCREFS = 14,
    TARGET_FIXED_SLOTS = 15,  // lookup tables of list and geometry columns from here on
};

// The recordsets of one source, reused from one import to the next (closed and opened again),
// and the index of the names the run looks up in them.
struct TargetTables {
    std::vector<zdata::Recordset*> Slots;
    TargetIndex Index;
    ~TargetTables();
};

// The SQL text of a fixed slot.
const wchar_t* TargetSlotSql(int slot);

// Opens (or reopens) a slot with SQL on the connection: client cursor, keyset, optimistic. A
// table that does not open leaves its recordset closed (its rows then fail one by one); false.
bool OpenTargetSlot(zdata::Connection* connection, TargetTables* tables, int slot, const std::wstring& sql);

// The highest ID of SYSTREE or LOCTREE; 0 for a tree without rows (0 is the top, so the first
// new item gets 1), -1 when the table cannot be read.
int QueryMaxTreeId(zdata::Connection* connection, const wchar_t* table);

// Slots 0-7 and the highest ids of both trees. False when a table did not open.
bool OpenTargetTables(zdata::Connection* connection, TargetTables* tables, int* maxSysId, int* maxLocId);
// Slots 8-14 (the literature's name tables and references).
bool OpenTargetLitTables(zdata::Connection* connection, TargetTables* tables);
// Closes every slot, keeping the objects for the next import, and empties the index.
void CloseTargetTables(TargetTables* tables);

// For every attribute entry that is not skipped and whose target type is a list (5) or a geometry
// (7): (re)opens slot firstSlot + the entry's index with the format ("SELECT * FROM ZOR_%s") made
// with the entry's target column. Slots of other entries stay as they are.
void OpenTargetAttrTables(zdata::Connection* connection, const CPtrArray* entries, TargetTables* tables,
                          int firstSlot, const wchar_t* sqlFormat);
// For every mapped column of a flat source with a list or geometry type: its lookup table
// (prefix of its target group + field name) in the next slot from TARGET_FIXED_SLOTS on, in list
// order. Returns the slot after the last one used.
int OpenMappedColumnTables(zdata::Connection* connection, const CPtrArray* columns, TargetTables* tables);
// The lookup-table prefix of a column target group ("SYS_" ... "LIT_"), null for none.
const wchar_t* LookupPrefixOfGroup(int group);

// The ids of a tree node and its ancestors by level: out[i] is the node on the level of entry i
// (the first entry whose level number is the row's level or a higher one), -1 where the path has
// no node. tree holds the tree's rows (ID, PARENT, level in its first three columns); its filter
// is left set.
void FillAncestorPath(int nodeId, const ItemList* levels, zdata::Recordset* tree, int* out);

// Copies a name row (an author, editor, journal or keyword) of another database into the
// target, unless the target has a row of that name already (names compare as everywhere, Czech
// case ignored). Columns nameColumn up to endColumn (exclusive) are copied, as far as both
// tables have them. Returns the target row's idColumn value; -1 when the source has no such row
// or no text name, or the new row is refused. Both filters stay set.
int FindOrCreateNameRow(zdata::Recordset* source, zdata::Recordset* target, int sourceId, int idColumn,
                        int nameColumn, int endColumn);

// New rows that join the tables' index (false when refused; not logged): a SYSTREE item last
// among its parent's children, a SPECIES row (its author first offered to SYSAUTHORS), a LOCTREE
// item with its point (CreateLocItem).
bool CreateIndexedSysItem(TargetTables* tables, int id, int parent, int level, const wchar_t* name);
bool CreateIndexedSpecies(TargetTables* tables, int itemId, const wchar_t* name, const wchar_t* author,
                          bool parentheses, int year);
bool CreateIndexedLocItem(TargetTables* tables, int id, int parent, int level, const wchar_t* name,
                          const wchar_t* abbreviation, const VARIANT& longitude, const VARIANT& latitude,
                          const VARIANT& altitude);

// Index of the first unit entry (UnitEntry) of the source level, -1 none.
int FindUnitEntryBySourceLevel(int sourceLevel, const CPtrArray* units);
// Index of the first mapped column (SourceColumn with a target column) of the group, tree level
// index and target field code, -1 none.
int FindMappedColumn(int levelIndex, const CPtrArray* columns, int group, int fieldCode);

// Text put between apostrophes in a Filter: every apostrophe doubled ("d'Orbigny").
std::wstring FilterQuote(const wchar_t* text);

// Index of the first level entry whose OrigLevelId is levelId, -1 none.
int FindLevelEntryById(int levelId, const ItemList* levels);
