// Level definitions of the two hierarchies (SYSDEF and LOCDEF), the data every tree item
// carries, and the row readers of the attribute definitions and of a view's column names.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <stdint.h>
#include "core/attrdef.h"
#include "core/containers.h"
#include "dataaccess/ado.h"

// Value of one column of the current row; VT_EMPTY when the column or the row is missing.
void ColumnValue(zdata::Fields* fields, long ordinal, VARIANT* out);

// One level of a hierarchy: one row of the level table, held by a level cache (an owning
// CPtrArray).
struct LevelDef
{
    int LevelId;
    wchar_t Name[64];
    int DataLevel;       // items of the level carry a SPECIES / FEATURES row
    int Icon32;          // index in the large image list, -1 when none
    int Icon16;          // index in the small image list, -1 when none
    int Icon16Selected;  // the selected state's icon; Icon16 when the row has none
};

// The item data of a tree item filled from a recordset.
struct TreeItemData
{
    int Id;
    int Position;        // SYSPOS in the systematic tree, else 0
    int ChildCount;
    int ChildrenLoaded;
    int Icon32;
    int Icon16;
    int Icon16Selected;
    // Trees filled with a level cache keep the row's level entry; trees filled without one
    // keep the level id itself. Both share one pointer-sized slot.
    union {
        LevelDef* Def;
        intptr_t Id;
    } Level;
};

// Rebuilds the level cache and both image lists from a level recordset (LEVELID, NAME, the
// data-level flag and three icons in columns 0 to 5) and attaches the lists to the tree view
// (small) and the list view (large and small).
void LoadLevelDefs(CPtrArray* cache, HIMAGELIST largeImages, HIMAGELIST smallImages, HWND tree,
                   HWND list, zdata::Recordset* levels);

// The first entry with the level id; null when none.
LevelDef* FindLevelDef(const CPtrArray* cache, int levelId);
// The same search over the entries from the second on.
LevelDef* FindLevelDefSkipFirst(const CPtrArray* cache, int levelId);

// ColumnOrdinal of an attribute whose column has not been found (or does not exist). Readers
// give VT_EMPTY for it and writers skip it, so such an attribute never touches column 0.
const int kNoColumn = -1;

// Reads the rows of a CUSTOMATTRIBUTES recordset (from its first row) into new CustomAttrDef
// records appended to the list; with emptyFirst set, the list is emptied first. The ordinals
// start as kNoColumn.
void ReadCustomAttrDefs(CPtrArray* list, zdata::Recordset* rs, int emptyFirst);

// Sets each attribute's ColumnOrdinal to the first field of the recordset whose name equals its
// FieldName exactly (case-sensitive); an attribute without a column gets kNoColumn. Returns the
// recordset's field count (0 when it has none).
int MatchColumnOrdinals(CPtrArray* list, zdata::Recordset* rs);

// Empties the list and appends a heap copy of each field's name, in field order.
void ReadColumnNames(CPtrArray* list, zdata::Recordset* rs);

// The value of an attribute's column in the current row; VT_EMPTY (and S_FALSE) for an
// attribute without a column. The output is cleared first.
HRESULT GetAttrValue(zdata::Fields* fields, const CustomAttrDef* def, VARIANT* out);
// Writes the value into the attribute's column; nothing (S_FALSE) for an attribute without a
// column.
HRESULT PutAttrValue(zdata::Fields* fields, const CustomAttrDef* def, const VARIANT& value);
