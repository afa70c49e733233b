// The life of the tree item edit record between the tree card and the item dialog.
#include "core/itemrecords.h"

#include <stdlib.h>
#include <string.h>

void InitTreeItemRecord(TreeItemRecord* record, int flags)
{
    memset(record, 0, sizeof *record);  // every VARIANT VT_EMPTY
    record->Flags = flags;
    record->Pictures = new CPtrArray(PTRARRAY_OWNS_ITEMS, 8, 4);
    record->Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 8, 4);
}

void FreeItemPicture(ItemPicture* picture)
{
    if (!picture)
        return;
    if (picture->Bitmap)
        DeleteObject(picture->Bitmap);
    VariantClear(&picture->Picture);
    VariantClear(&picture->Note);
    FreeItemBlock(picture);
}

void ClearTreeItemRecord(TreeItemRecord* record)
{
    // The two kinds share their space: only the VARIANTs of the record's own kind are real.
    if (record->Flags & 1) {
        VariantClear(&record->Year);
    } else {
        VariantClear(&record->Longitude);
        VariantClear(&record->Latitude);
        VariantClear(&record->Altitude);
        VariantClear(&record->Note);
    }
    VariantClear(&record->IconLarge);
    VariantClear(&record->IconSmall);
    VariantClear(&record->IconOpen);
    if (CPtrArray* pictures = record->Pictures) {
        for (int i = 0; i < pictures->GetCount(); ++i)
            FreeItemPicture(static_cast<ItemPicture*>(pictures->GetItems()[i]));
        pictures->RemoveAll(0);
        delete pictures;
        record->Pictures = nullptr;
    }
    if (CPtrArray* values = record->Values) {
        for (int i = 0; i < values->GetCount(); ++i)
            VariantClear(static_cast<VARIANT*>(values->GetItems()[i]));
        delete values;  // frees the VARIANT blocks
        record->Values = nullptr;
    }
}
