// The three growable arrays that every list of both programs is built on. Each keeps one heap
// block of items that grows by a fixed step chosen by its owner and never shrinks; what a clear
// frees is decided by the array kind and, for CPtrArray, by its ownership mode.
#pragma once
#include "core/zorobj.h"

// Items owned by a CPtrArray are released through this function (free by default). Tests
// install their own to count the blocks an array gives back; null restores free.
typedef void (*ItemFreeFn)(void* block);
ItemFreeFn SetItemFreeHook(ItemFreeFn hook);
void FreeItemBlock(void* block);

class CIntArray
{
public:
    CIntArray(int capacity, int growBy);
    ~CIntArray();
    CIntArray(const CIntArray&) = delete;
    CIntArray& operator=(const CIntArray&) = delete;

    void Add(int value);
    void RemoveAll() { Count = 0; }
    int* GetItems() const { return Items; }   // valid until the next Add
    int GetCount() const { return Count; }
    void Replace(int oldValue, int newValue);

    int* Items;
    int Capacity;
    int Count;
    int GrowBy;
};

// OwnMode says what RemoveAll(1) and the destructor free.
enum PtrArrayOwnMode
{
    PTRARRAY_BORROWS = 0,     // nothing: the items are borrowed
    PTRARRAY_ONE_BLOCK = 1,   // one heap block starting at item 0; the other items point into it
    PTRARRAY_OWNS_ITEMS = 2,  // every item is a separate heap block
};

class CPtrArray
{
public:
    CPtrArray(int ownMode, int capacity, int growBy);
    ~CPtrArray();
    CPtrArray(const CPtrArray&) = delete;
    CPtrArray& operator=(const CPtrArray&) = delete;

    void RemoveAll(int freeItems);
    void Add(void* item);
    void** GetItems() const { return Items; }
    int GetCount() const { return Count; }
    // Takes the item out without freeing it, whatever the mode; null for an index out of range.
    void* RemoveAt(int index);
    void Move(int from, int to);
    int IndexOf(const void* item) const;

    void** Items;
    int Capacity;
    int Count;
    int GrowBy;
    int OwnMode;
};

class CObjArray
{
public:
    CObjArray(int capacity, int growBy);
    ~CObjArray();
    CObjArray(const CObjArray&) = delete;
    CObjArray& operator=(const CObjArray&) = delete;

    void RemoveAll(int deleteItems);
    void Add(CZorObj* object);
    CZorObj** GetItems() const { return Items; }
    int GetCount() const { return Count; }
    int IndexOf(const CZorObj* object) const;
    void RemoveAt(int index, int deleteItem);

    CZorObj** Items;
    int Capacity;
    int Count;
    int GrowBy;
};
