// Saving the edited user-defined attributes of one data table. An attribute is a column of its
// table plus a CUSTOMATTRIBUTES row that says how the programs show and check it; a list
// attribute (type 5, or 7 with a geometry) also has a value list table <prefix><FieldName>
// (NAME, ABBREV [, GEOMETRY]) whose NAME its column references, with cascading renames (and,
// for a key attribute, cascading deletes).
//
// Index mode 1 is the records table's (ZORNACOLLS): each column added gets an index of its own,
// ZOR_<FieldName>_IDX, and the unique index COLL_INDEX covers SYSID, FTRID and the columns of the
// key attributes in list order. COLL_INDEX is made again only when that set of columns changes.
//
// The save is one step (savestep.h): its own transaction, nested as a savepoint inside a
// transaction already running (the import's), all of it or nothing. After a save that returned
// true every entry left has State 0 and the deleted ones are gone from the list; after one that
// returned false the file and the list are as they were and the errors have been shown (owned by
// owner).
#pragma once
#include <windows.h>

#include "structure/savestep.h"
#include "structure/structmodel.h"

class CSchemaDb;

enum AttrIndexMode {
    ATTR_INDEX_NONE = 0,
    ATTR_INDEX_RECORDS = 1,
};

// A list without changes saves without any statement.
bool SaveAttributes(CSchemaDb* db, HWND owner, const wchar_t* table, ItemList* attrs, int indexMode,
                    StepProgress* progress = nullptr);

// True when an entry is new, changed or deleted.
bool AnyAttrChanges(const ItemList* attrs);

// A bound as CUSTOMATTRIBUTES stores it: a finite number as VT_R8, anything else VT_NULL.
VARIANT StoredBound(const VARIANT* value);
