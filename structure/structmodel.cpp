#include "structure/structmodel.h"

#include <stdlib.h>
#include <strsafe.h>

#include "core/textutil.h"
#include "czechcollation/czechtext.h"

namespace {

const int kListStep = 16;

const wchar_t* const kAttrTables[] = {L"SYSTREE",  L"LOCTREE",    L"SPECIES",
                                      L"FEATURES", L"ZORNACOLLS", L"LITERATURE"};

void FreeEntry(int kind, void* entry)
{
    if (kind == ITEMLIST_LEVELS)
        FreeLevelEntry(static_cast<LevelEntry*>(entry));
    else
        FreeAttrEntry(static_cast<AttrEntry*>(entry));
}

void InitList(ItemList* list, int kind)
{
    list->Capacity = kListStep;
    list->Count = 0;
    list->Items = static_cast<void**>(calloc(kListStep, sizeof(void*)));
    list->Kind = kind;
}

// Level names are the users' words: Czech letters compare without case.
bool NameTaken(const ItemList* levels, const wchar_t* name)
{
    for (int i = 0; i < levels->Count; ++i)
        if (CzechEqualNoCase(LevelAt(levels, i)->Name, name))
            return true;
    return false;
}

bool FieldNameTaken(const ItemList* attrs, const wchar_t* name)
{
    for (int i = 0; i < attrs->Count; ++i)
        if (SameTextNoCase(AttrAt(attrs, i)->FieldName, name))
            return true;
    return false;
}

}  // namespace

const wchar_t* AttrListTable(int list)
{
    if (list < MODEL_SYSTREE_ATTRS || list > MODEL_LITERATURE_ATTRS)
        return nullptr;
    return kAttrTables[list - MODEL_SYSTREE_ATTRS];
}

LevelEntry* NewLevelEntry()
{
    auto* e = static_cast<LevelEntry*>(calloc(1, sizeof(LevelEntry)));
    VariantInit(&e->IconLarge);
    VariantInit(&e->IconSmall);
    VariantInit(&e->IconOpen);
    return e;
}

AttrEntry* NewAttrEntry()
{
    auto* e = static_cast<AttrEntry*>(calloc(1, sizeof(AttrEntry)));
    VariantInit(&e->MinVal);
    VariantInit(&e->MaxVal);
    VariantInit(&e->NullVal);
    return e;
}

void FreeLevelEntry(LevelEntry* entry)
{
    if (!entry)
        return;
    VariantClear(&entry->IconLarge);
    VariantClear(&entry->IconSmall);
    VariantClear(&entry->IconOpen);
    free(entry);
}

void FreeAttrEntry(AttrEntry* entry)
{
    if (!entry)
        return;
    VariantClear(&entry->MinVal);
    VariantClear(&entry->MaxVal);
    VariantClear(&entry->NullVal);
    free(entry);
}

void MarkEntryChanged(int* state)
{
    if (*state == ENTRY_UNCHANGED)
        *state = ENTRY_CHANGED;
}

int ItemListAdd(void* entry, ItemList* list)
{
    if (list->Count == list->Capacity) {
        int capacity = list->Capacity + kListStep;
        void** grown = static_cast<void**>(realloc(list->Items, capacity * sizeof(void*)));
        if (!grown)
            return list->Count;  // the entry is not taken over; the caller keeps it
        list->Items = grown;
        list->Capacity = capacity;
    }
    list->Items[list->Count++] = entry;
    return list->Count;
}

void ItemListRemoveAt(ItemList* list, int index)
{
    FreeEntry(list->Kind, ItemListDetachAt(list, index));
}

void* ItemListDetachAt(ItemList* list, int index)
{
    void* entry = list->Items[index];
    for (int i = index + 1; i < list->Count; ++i)
        list->Items[i - 1] = list->Items[i];
    --list->Count;
    return entry;
}

int ItemListIndexOf(const ItemList* list, const void* entry)
{
    for (int i = 0; i < list->Count; ++i)
        if (list->Items[i] == entry)
            return i;
    return -1;
}

void ItemListClear(ItemList* list)
{
    for (int i = 0; i < list->Count; ++i)
        FreeEntry(list->Kind, list->Items[i]);
    list->Count = 0;
}

void ItemListFreeItems(ItemList* list)
{
    free(list->Items);
    list->Items = nullptr;
    list->Capacity = 0;
}

void InitStructureModel(StructureModel* model)
{
    for (int k = 0; k < MODEL_LIST_COUNT; ++k)
        InitList(&model->Lists[k], k <= MODEL_LOC_LEVELS ? ITEMLIST_LEVELS : ITEMLIST_ATTRS);
}

void ClearStructureModel(StructureModel* model)
{
    for (int k = 0; k < MODEL_LIST_COUNT; ++k)
        ItemListClear(&model->Lists[k]);
}

void FreeStructureModel(StructureModel* model)
{
    for (int k = 0; k < MODEL_LIST_COUNT; ++k)
        ItemListFreeItems(&model->Lists[k]);
}

bool MakeUniqueLevelName(const ItemList* levels, wchar_t* name)
{
    if (!NameTaken(levels, name))
        return true;
    size_t length = wcslen(name);
    if (length > 62)
        return false;
    const int highest = length <= 60 ? 99 : length == 61 ? 98 : 8;
    wchar_t candidate[64];
    for (int k = 1; k <= highest; ++k) {
        StringCchPrintfW(candidate, 64, L"%s%d", name, k);
        if (!NameTaken(levels, candidate)) {
            StringCchCopyW(name, 64, candidate);
            return true;
        }
    }
    return false;
}

bool MakeUniqueFieldName(const ItemList* attrs, wchar_t* name, int n)
{
    wchar_t base[32];
    StringCchCopyW(base, 32, name);
    if (n > 0) {
        size_t length = wcslen(base);
        base[length >= 2 ? length - 2 : 0] = 0;
    }
    for (int k = n + 1;; ++k) {
        if (!FieldNameTaken(attrs, name) || k > 63)
            return true;
        StringCchPrintfW(name, 32, L"%s%.2d", base, k);
    }
}
