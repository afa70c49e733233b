#include "core/containers.h"

#include <cstdlib>
#include <cstring>

namespace {

ItemFreeFn g_itemFree = nullptr;

// A step below one would stop Add from ever making room.
int SaneStep(int growBy) { return growBy > 0 ? growBy : 1; }

// One block of capacity slots; a zero capacity starts without a block (realloc makes one later).
template <typename T>
T* AllocSlots(int capacity)
{
    if (capacity <= 0)
        return nullptr;
    return static_cast<T*>(std::malloc(sizeof(T) * static_cast<size_t>(capacity)));
}

// Makes room for one more item: the block grows by exactly the owner's step.
template <typename T>
void EnsureRoom(T*& items, int& capacity, int count, int growBy)
{
    if (count < capacity)
        return;
    capacity += growBy;
    items = static_cast<T*>(std::realloc(items, sizeof(T) * static_cast<size_t>(capacity)));
}

} // namespace

ItemFreeFn SetItemFreeHook(ItemFreeFn hook)
{
    ItemFreeFn previous = g_itemFree;
    g_itemFree = hook;
    return previous;
}

void FreeItemBlock(void* block)
{
    if (g_itemFree)
        g_itemFree(block);
    else
        std::free(block);
}

// ---- CIntArray ----

CIntArray::CIntArray(int capacity, int growBy)
    : Items(AllocSlots<int>(capacity)), Capacity(capacity > 0 ? capacity : 0), Count(0),
      GrowBy(SaneStep(growBy))
{
}

CIntArray::~CIntArray()
{
    std::free(Items);
}

void CIntArray::Add(int value)
{
    EnsureRoom(Items, Capacity, Count, GrowBy);
    Items[Count++] = value;
}

void CIntArray::Replace(int oldValue, int newValue)
{
    for (int i = 0; i < Count; ++i)
    {
        if (Items[i] == oldValue)
        {
            Items[i] = newValue;
            return;
        }
    }
}

// ---- CPtrArray ----

CPtrArray::CPtrArray(int ownMode, int capacity, int growBy)
    : Items(AllocSlots<void*>(capacity)), Capacity(capacity > 0 ? capacity : 0), Count(0),
      GrowBy(SaneStep(growBy)), OwnMode(ownMode)
{
}

CPtrArray::~CPtrArray()
{
    RemoveAll(1);
    std::free(Items);
}

void CPtrArray::RemoveAll(int freeItems)
{
    if (freeItems)
    {
        if (OwnMode == PTRARRAY_OWNS_ITEMS)
        {
            for (int i = 0; i < Count; ++i)
                FreeItemBlock(Items[i]);
        }
        else if (OwnMode == PTRARRAY_ONE_BLOCK && Count > 0)
        {
            // The other items point into this block, so it is the only thing to give back.
            FreeItemBlock(Items[0]);
        }
    }
    Count = 0;
}

void CPtrArray::Add(void* item)
{
    EnsureRoom(Items, Capacity, Count, GrowBy);
    Items[Count++] = item;
}

void* CPtrArray::RemoveAt(int index)
{
    if (index < 0 || index >= Count)
        return nullptr;
    void* item = Items[index];
    std::memmove(Items + index, Items + index + 1, sizeof(void*) * static_cast<size_t>(Count - index - 1));
    --Count;
    return item;
}

void CPtrArray::Move(int from, int to)
{
    if (from < 0 || to < 0 || from >= Count || to >= Count || from == to)
        return;
    void* item = Items[from];
    if (from < to)
        std::memmove(Items + from, Items + from + 1, sizeof(void*) * static_cast<size_t>(to - from));
    else
        std::memmove(Items + to + 1, Items + to, sizeof(void*) * static_cast<size_t>(from - to));
    Items[to] = item;
}

int CPtrArray::IndexOf(const void* item) const
{
    for (int i = 0; i < Count; ++i)
    {
        if (Items[i] == item)
            return i;
    }
    return -1;
}

// ---- CObjArray ----

CObjArray::CObjArray(int capacity, int growBy)
    : Items(AllocSlots<CZorObj*>(capacity)), Capacity(capacity > 0 ? capacity : 0), Count(0),
      GrowBy(SaneStep(growBy))
{
}

CObjArray::~CObjArray()
{
    RemoveAll(1);
    std::free(Items);
}

void CObjArray::RemoveAll(int deleteItems)
{
    if (deleteItems)
    {
        for (int i = 0; i < Count; ++i)
            delete Items[i];  // null items are allowed; delete skips them
    }
    Count = 0;
}

void CObjArray::Add(CZorObj* object)
{
    EnsureRoom(Items, Capacity, Count, GrowBy);
    Items[Count++] = object;
}

int CObjArray::IndexOf(const CZorObj* object) const
{
    for (int i = 0; i < Count; ++i)
    {
        if (Items[i] == object)
            return i;
    }
    return -1;
}

void CObjArray::RemoveAt(int index, int deleteItem)
{
    if (index < 0 || index >= Count)
        return;
    if (deleteItem)
        delete Items[index];
    std::memmove(Items + index, Items + index + 1, sizeof(CZorObj*) * static_cast<size_t>(Count - index - 1));
    --Count;
}
