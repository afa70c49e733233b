// What the level pages and the attribute pages do alike with the structure model's entries they
// show. A page shows the entries of its model list and new ones of its own until a save takes
// them over into the list: an entry the list does not hold belongs to the page.
#pragma once
#include <windows.h>

#include <vector>

#include "structure/structmodel.h"

// Tells the main form (the parent of the page's tab control) that the structure was edited.
void PageChanged(HWND page);

// Whether the entry belongs to the page: the model's list (null: none yet) does not hold it.
bool OwnedByPage(const ItemList* list, const void* entry);

// An entry the delete command took off the page: one made since the last save is simply
// forgotten (taken out of the list, or freed when the page owns it); any other is marked for
// the save.
template <typename Entry>
void ForgetOrMarkDeleted(ItemList* list, Entry* entry, void (*freeEntry)(Entry*))
{
    if (entry->State != ENTRY_NEW) {
        entry->State = ENTRY_DELETED;
        return;
    }
    const int index = list ? ItemListIndexOf(list, entry) : -1;
    if (index >= 0)
        ItemListRemoveAt(list, index);
    else
        freeEntry(entry);
}

// New entries appended to the list by a save that did not go through come off its end first,
// so that each stands in the list once when the page's new entries are collected again. The
// caller frees those the list does not take back (FreeOwnedEntries).
template <typename Entry>
std::vector<Entry*> DetachTrailingNew(ItemList* list)
{
    std::vector<Entry*> detached;
    while (list->Count > 0 && static_cast<Entry*>(list->Items[list->Count - 1])->State == ENTRY_NEW)
        detached.push_back(static_cast<Entry*>(ItemListDetachAt(list, list->Count - 1)));
    return detached;
}

// Frees those of the entries that belong to the page.
template <typename Entry>
void FreeOwnedEntries(const ItemList* list, const std::vector<Entry*>& entries, void (*freeEntry)(Entry*))
{
    for (Entry* entry : entries)
        if (OwnedByPage(list, entry))
            freeEntry(entry);
}
