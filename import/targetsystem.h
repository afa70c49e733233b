// Systematic items in the target of an import: composing a species name, finding a species by
// it, finding and creating tree items under a parent, and the species row of a data-level item.
// The operations keep no state and report nothing: the caller keeps the next free id and the
// cache of the last path, and logs the connection's errors when a creation fails. Names are
// matched without regard to case; apostrophes in names are doubled in the filters.
#pragma once
#include <windows.h>

#include "dataaccess/ado.h"

// Column ordinals of the tables, as the import opens them (import/targettables.h).
enum SysTreeColumn { SYSTREE_ID = 0, SYSTREE_PARENT = 1, SYSTREE_LEVEL = 2, SYSTREE_POS = 3, SYSTREE_NAME = 4 };
enum SpeciesColumn {
    SPECIES_NAME = 0, SPECIES_SYSID = 1, SPECIES_ABSOLUTEPOS = 2, SPECIES_AUTHOR = 3,
    SPECIES_PARENTHES = 4, SPECIES_IYEAR = 5
};

const int kImportNameChars = 64;  // a name of the tree with its terminating zero

// parts: three fields of kImportNameChars characters each (genus, species, subspecies). Writes
// "genus species" and, with withThird, " subspecies", never more than 63 characters: the genus
// is cut to 63, the species so that the total stays at 63, and the subspecies is left out when
// 63 or more characters stand before it (its space counted). An empty species keeps its space.
void ComposeSpeciesName(wchar_t* destination, const wchar_t* parts, bool withThird);

// SYSID of the first species row of that name, or -1.
int FindSpeciesByName(const wchar_t* name, zdata::Recordset* species);
// ID of the first item (lowest position) with that parent, level and name, or -1.
int FindSysItem(zdata::Recordset* sysTree, int parentId, int levelId, const wchar_t* name);
// Stores a new item last among the parent's children; false (row cancelled) when refused.
bool CreateSysItem(zdata::Recordset* sysTree, int newId, int parentId, int levelId, const wchar_t* name);
// The same at a position the caller knows (TargetIndex::NextSysPosition).
bool CreateSysItemAt(zdata::Recordset* sysTree, int newId, int parentId, int levelId, const wchar_t* name,
                     int position);
// Stores the species row of item itemId; a non-empty author is first offered to the authors'
// value list (a duplicate there is no error), an empty one is stored as none (NULL).
bool CreateSpeciesRow(zdata::Recordset* species, zdata::Recordset* sysAuthors, int itemId,
                      const wchar_t* name, const wchar_t* author, bool parentheses, int year);

// Helpers shared by the target operations.
namespace targetrows {
// Sets the filter text; false when it is refused.
bool SetFilter(zdata::Recordset* rs, const wchar_t* criteria);
// Stores the pending row; cancels it and answers false when it is refused.
bool UpdateOrCancel(zdata::Recordset* rs);
// Stores the pending row when every value was written, else cancels it; whether it was stored.
bool StoreIfWritten(zdata::Recordset* rs, bool written);
// Offers a value to a value list whose key is column 0: a value already there is no error.
void OfferListValue(zdata::Recordset* list, const VARIANT& value);
// The same; whether the list took the value.
bool StoreListValue(zdata::Recordset* list, const VARIANT& value);
VARIANT TextValue(const wchar_t* text);  // VT_BSTR; the caller clears it
VARIANT TextOrNull(const wchar_t* text); // VT_NULL for a null or empty text
}  // namespace targetrows
