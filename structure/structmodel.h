// The structure of the open database as Tarnix edits it: the levels of both trees and the
// user-defined attributes of the six data tables, each entry with a state that tells the save
// what to write. Nothing here touches the database: the structure is loaded by CSchemaDb
// (schemadb.h), edited by the level and attribute pages, and written back by the save.
//
// Entries are plain malloc'd records owned by their list. A list knows which kind it holds, so
// freeing an entry also releases the values in its VARIANT fields (icons, bounds).
#pragma once
#include <windows.h>
#include <oleauto.h>

// Entry states.
enum EntryState {
    ENTRY_UNCHANGED = 0,  // as loaded, or saved
    ENTRY_CHANGED = 1,    // its definition row is to be rewritten
    ENTRY_NEW = 2,        // its row and column are to be created (stays new through edits)
    ENTRY_DELETED = 3,    // its column, lookup table and row are to be dropped
};

// One level of a tree (a SYSDEF or LOCDEF row).
struct LevelEntry {
    int State;
    int OrigLevelId;  // LEVELID of its row now (for a new level: the number it was given)
    int NewLevelId;   // LEVELID after the save: its 1-based place in the tree's order
    wchar_t Name[64];
    int DataLevel;    // nonzero: items of this level carry records (a true boolean loads as -1)
    VARIANT IconLarge, IconSmall, IconOpen;  // stored images (byte arrays) or empty / NULL
    int UseCount;     // tree items at this level when the structure was loaded
};

// One user-defined attribute (a column of a data table and its CUSTOMATTRIBUTES row).
struct AttrEntry {
    int State;
    int Type;      // 0 boolean, 1 integer, 2 real, 3 date, 4 text, 5 lookup, 6 long text, 7 geometry lookup
    int Size;      // text length of types 4, 5 and 7
    int Position;  // POSID, 1-based order within its table
    int KeyFlag;   // nonzero: part of the records' unique index (a true boolean loads as -1)
    wchar_t FieldName[32];
    wchar_t TabName[32];
    wchar_t Caption[64];
    VARIANT MinVal, MaxVal, NullVal;  // empty or VT_NULL when unset
};

enum ItemListKind { ITEMLIST_LEVELS = 0, ITEMLIST_ATTRS = 1 };

// A growable list of entries it owns: 16 slots at first, 16 more whenever it is full.
struct ItemList {
    int Capacity;
    int Count;
    void** Items;
    int Kind;  // ItemListKind: what freeing an entry releases
};

// The eight lists in their fixed order; the load, the save and the import address them by it.
enum ModelList {
    MODEL_SYS_LEVELS = 0,
    MODEL_LOC_LEVELS = 1,
    MODEL_SYSTREE_ATTRS = 2,
    MODEL_LOCTREE_ATTRS = 3,
    MODEL_SPECIES_ATTRS = 4,
    MODEL_FEATURES_ATTRS = 5,
    MODEL_RECORD_ATTRS = 6,
    MODEL_LITERATURE_ATTRS = 7,
    MODEL_LIST_COUNT = 8,
};

struct StructureModel {
    ItemList Lists[MODEL_LIST_COUNT];
};

// The data table whose attributes list `list` (MODEL_SYSTREE_ATTRS..MODEL_LITERATURE_ATTRS)
// holds: "SYSTREE", "LOCTREE", "SPECIES", "FEATURES", "ZORNACOLLS", "LITERATURE"; null otherwise.
const wchar_t* AttrListTable(int list);

// ---- entries ----

// New entries, zeroed, VARIANTs empty, state ENTRY_UNCHANGED; freed by their list.
LevelEntry* NewLevelEntry();
AttrEntry* NewAttrEntry();
// Frees an entry that no list holds (releasing its VARIANTs).
void FreeLevelEntry(LevelEntry* entry);
void FreeAttrEntry(AttrEntry* entry);

inline LevelEntry* LevelAt(const ItemList* list, int index)
{
    return static_cast<LevelEntry*>(list->Items[index]);
}
inline AttrEntry* AttrAt(const ItemList* list, int index)
{
    return static_cast<AttrEntry*>(list->Items[index]);
}
// The level of that exact name, the attribute of that exact field name; null when none.
inline LevelEntry* FindLevelNamed(const ItemList* list, const wchar_t* name)
{
    for (int i = 0; i < list->Count; ++i)
        if (wcscmp(LevelAt(list, i)->Name, name) == 0)
            return LevelAt(list, i);
    return nullptr;
}
inline AttrEntry* FindAttrNamed(const ItemList* list, const wchar_t* field)
{
    for (int i = 0; i < list->Count; ++i)
        if (wcscmp(AttrAt(list, i)->FieldName, field) == 0)
            return AttrAt(list, i);
    return nullptr;
}

// Marks an edited entry: unchanged or changed becomes changed; new stays new.
void MarkEntryChanged(int* state);

// ---- list operations ----

// Appends the entry (the list takes it over); the new Count.
int ItemListAdd(void* entry, ItemList* list);
// Frees the entry at index and closes the gap, keeping the order. 0 <= index < Count.
void ItemListRemoveAt(ItemList* list, int index);
// Takes the entry at index out of the list without freeing it (the caller owns it then) and
// closes the gap, keeping the order. 0 <= index < Count.
void* ItemListDetachAt(ItemList* list, int index);
// The index of the entry in the list, -1 when the list does not hold it.
int ItemListIndexOf(const ItemList* list, const void* entry);
// Frees every entry; Capacity and Items stay.
void ItemListClear(ItemList* list);
// Frees the Items array (the entries must have been cleared); the list is not used afterwards.
void ItemListFreeItems(ItemList* list);

// ---- the model ----

void InitStructureModel(StructureModel* model);
void ClearStructureModel(StructureModel* model);
void FreeStructureModel(StructureModel* model);

// ---- names ----

// Makes name (a buffer of 64) differ, without regard to case, from the Name of every entry of
// the level list (deleted ones too) by appending the first free number: 1-99, at most 98 for 61
// characters and 8 for 62, so the name never exceeds 63. False when no variant is free (or the
// name is longer than 62 and taken); name is then unchanged.
bool MakeUniqueLevelName(const ItemList* levels, wchar_t* name);
// Makes the column name (a buffer of at least 32) differ from every entry's FieldName by a
// two-digit suffix after the base (the name without the n-digit suffix already appended when
// n > 0), trying n + 1 up to 63. Always true; the last candidate stays when all are taken.
bool MakeUniqueFieldName(const ItemList* attrs, wchar_t* name, int n);
