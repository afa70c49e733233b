// Saving the edited levels of one tree. The levels of a tree are numbered 1, 2, 3 ... from the
// top: a level's LEVELID (SYSDEF, LOCDEF) is its place, every tree item stores its level's number
// (SYSTREE.SYSLEVEL, LOCTREE.LOCLEVEL, which follow a renumbered level by the file's cascade), and
// every record has one path column per level of each tree (SYS_LEVEL_n, LOC_LEVEL_n) holding its
// item's ancestor at that level, or NULL. SaveLevels turns the edited level list into changes of
// the level table, the path columns and the records' paths, keeping the numbering dense.
//
// The save is one step (savestep.h): its own transaction, nested as a savepoint inside a
// transaction already running (the import's), all of it or nothing. After a save that returned
// true the list holds the tree's levels in LEVELID order, each with State 0 and OrigLevelId =
// NewLevelId = its place, and the schema object's last level id is the number of levels. After
// one that returned false the file, the list and the last level id are as they were, and the
// errors have been shown (owned by owner).
#pragma once
#include <windows.h>

#include "structure/savestep.h"
#include "structure/structmodel.h"

class CSchemaDb;

enum LevelHierarchy {
    HIERARCHY_SYSTEMATIC = 1,  // SYSDEF, SYSTREE, SYS_LEVEL_n, records by SYSID
    HIERARCHY_LOCALITY = 2,    // LOCDEF, LOCTREE, LOC_LEVEL_n, records by FTRID
};

// defTable is "SYSDEF" or "LOCDEF". A list without changes saves without any statement.
bool SaveLevels(CSchemaDb* db, HWND owner, const wchar_t* defTable, ItemList* levels, int hierarchy,
                StepProgress* progress = nullptr);

// True when an entry is new, changed or deleted, or stands anywhere but its place.
bool HasLevelChanges(const ItemList* levels);

// The entry still to be renumbered (State 0) that stood under oldId; null when none.
LevelEntry* FindNewLevelId(int oldId, const ItemList* levels);
