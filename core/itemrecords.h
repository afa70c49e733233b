// The edit records that the tree item dialog and the record dialog fill and hand to the main
// window, which loads and stores them through the database object (core/database.h). The caller
// owns each record and the lists inside it.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "core/containers.h"

// One picture of a tree item (a malloc'd block in TreeItemRecord::Pictures).
struct ItemPicture
{
    HBITMAP Bitmap;   // 0 when read from the database; the dialog keeps its preview here
    VARIANT Picture;  // stored image bytes
    VARIANT Note;     // the picture's note
};

// TreeItemRecord::Flags: bit 0 set means a taxon, clear a locality.
enum TreeItemFlags
{
    TREEITEM_NEW_TAXON = 1,
    TREEITEM_NEW_LOCALITY = 2,
    TREEITEM_EDIT_TAXON = 3,
    TREEITEM_EDIT_LOCALITY = 4,
};

// One taxon (SYSTREE with its SPECIES row) or locality (LOCTREE with its FEATURES row).
struct TreeItemRecord
{
    int Flags;           // TreeItemFlags
    int ParentLevelId;   // level of a new item's parent (used by the dialog)
    int Id;              // ID; below 1 for an item not stored yet
    int LevelId;         // SYSLEVEL / LOCLEVEL
    wchar_t Name[64];
    // The kind-specific part; taxa and localities share the space.
    union {
        struct {
            wchar_t Author[64];
            int AuthorInParentheses;
            VARIANT Year;
        };
        struct {
            wchar_t Abbrev[8];
            wchar_t Square[8];
            VARIANT Longitude;
            VARIANT Latitude;
            VARIANT Altitude;
            VARIANT Note;   // the locality's note
        };
    };
    VARIANT IconLarge;   // the item's own icons as stored images, or empty
    VARIANT IconSmall;
    VARIANT IconOpen;
    CPtrArray* Pictures;  // ItemPicture*
    // VARIANT* (malloc'd): the values of the tree table's attributes in list order, then those
    // of SPECIES / FEATURES.
    CPtrArray* Values;
};

// Makes the record the tree card hands to the item dialog: every field zero and empty, the
// flags given, and two new lists (owning their blocks, room for 8, grown by 4) as Pictures and
// Values.
void InitTreeItemRecord(TreeItemRecord* record, int flags);
// Frees what the record holds after a dialog run: the VARIANTs of its kind, the three icons,
// every picture with its bitmap, the values, and both lists. The record itself stays, emptied,
// with no lists.
void ClearTreeItemRecord(TreeItemRecord* record);
// Frees one picture entry: its bitmap, its two VARIANTs and the block itself.
void FreeItemPicture(ItemPicture* picture);

// OccurrenceRecord::Mode.
enum OccurrenceRecordMode
{
    RECORD_MODE_NEW = 1,
    RECORD_MODE_EDIT = 2,
};

// One occurrence record (ZORNACOLLS).
struct OccurrenceRecord
{
    int Mode;         // OccurrenceRecordMode
    int Id;           // ID; below 0 for a record not stored yet
    int SysId;        // SYSTREE.ID of the species
    int FtrId;        // LOCTREE.ID of the locality
    int LitId;        // LITERATURE.ID, -1 for none
    VARIANT Note;     // the record's note
    CPtrArray* Values;  // VARIANT* (malloc'd), one per attribute of ZORNACOLLS
};
