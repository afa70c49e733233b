// Texts and columns derived from the trees and stored with the data: the composed name of a
// species item (SPECIES.NAME), the label of a locality (FEATURES.NAME) and the level path
// columns of a record (ZORNACOLLS SYS_LEVEL_n / LOC_LEVEL_n).
//
// The recordsets are opened by the caller with "SELECT *" on SYSTREE, LOCTREE, SYSDEF or
// FEATURES; these routines move them and leave a Filter ("ID = %d" or "LOCID = %d") set.
#pragma once
#include <windows.h>
#include "dataaccess/ado.h"

// Filter "ID = %d" and MoveFirst; true when the row is there.
bool FindById(int id, zdata::Recordset* tree);
// LEVELID of every level whose data-level flag is set, in recordset order, as a malloc'd
// array (free it); null and 0 when none.
int* GetNameLevelIds(zdata::Recordset* levels, int* count);
bool IntArrayContains(int value, const int* values, int count);

// Longest composed name and locality label, without the terminator.
const int kComposedNameMax = 63;
const int kLocalityLabelMax = 62;

// The item's name preceded by its ancestors' names while the current item stands on a name
// level, joined by blanks, at most 63 characters; its length (0 for a missing item).
int ComposeTaxonName(int id, zdata::Recordset* sysTree, const int* nameLevels, int count,
                     wchar_t out[64]);
// "name (lat, long, parent, grandparent)" within 62 characters, "...)" when cut; the FEATURES
// recordset is left filtered to the item's row. Its length (0 for a missing item).
int FormatLocalityLabel(int id, zdata::Recordset* locTree, zdata::Recordset* features,
                        wchar_t out[64]);
// Writes the record's level path columns (format "SYS_LEVEL_%d" or "LOC_LEVEL_%d"): the item's
// id in the column of its level and each ancestor's in its level's column. Every column of the
// format is set to NULL first, so a record moved to a shorter path keeps nothing of the old.
void SetLevelColumns(zdata::Fields* fields, zdata::Recordset* tree, int id, const wchar_t* format);

// The ids on the item's path by level: path[level] for levels 1..maxLevel, 0 where the path has
// no item. Returns false when the item does not exist (path all 0).
bool GetLevelPath(zdata::Recordset* tree, int id, int* path, int maxLevel);
