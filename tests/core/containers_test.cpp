#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "core/containers.h"

namespace {

// Counts (and really frees) every item block that an array gives back.
std::vector<void*> g_freed;
void CountingFree(void* block)
{
    g_freed.push_back(block);
    std::free(block);
}

class FreeCounter
{
public:
    FreeCounter() { g_freed.clear(); previous_ = SetItemFreeHook(CountingFree); }
    ~FreeCounter() { SetItemFreeHook(previous_); }
    const std::vector<void*>& Freed() const { return g_freed; }

private:
    ItemFreeFn previous_;
};

void* Block() { return std::malloc(8); }

// Marks the address in the log when destroyed, so the test sees which destructor ran.
std::vector<int> g_destroyed;
class Counted : public CZorObj
{
public:
    explicit Counted(int tag) : tag_(tag) {}
    ~Counted() override { g_destroyed.push_back(tag_); }

private:
    int tag_;
};
class Derived : public Counted
{
public:
    explicit Derived(int tag, int* flag) : Counted(tag), flag_(flag) {}
    ~Derived() override { *flag_ = 1; }

private:
    int* flag_;
};

// Pointers that are only compared, never dereferenced.
void* Tag(int n) { return reinterpret_cast<void*>(static_cast<intptr_t>(0x1000 + n * 16)); }

std::vector<void*> Items(const CPtrArray& a) { return std::vector<void*>(a.GetItems(), a.GetItems() + a.GetCount()); }

} // namespace

// ---------------- growth ----------------

TEST(IntArrayGrowth, GrowsByFixedStepAndKeepsValues)
{
    CIntArray a(16, 4);
    for (int i = 0; i < 16; ++i)
        a.Add(i * 3);
    EXPECT_EQ(16, a.Capacity);
    a.Add(48);
    EXPECT_EQ(20, a.Capacity);
    for (int i = 17; i < 21; ++i)
        a.Add(i * 3);
    EXPECT_EQ(24, a.Capacity);
    ASSERT_EQ(21, a.GetCount());
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(i * 3, a.GetItems()[i]) << i;
}

TEST(IntArrayGrowth, RemoveAllKeepsTheBlock)
{
    CIntArray a(4, 4);
    for (int i = 0; i < 6; ++i)
        a.Add(i);
    ASSERT_EQ(8, a.Capacity);
    a.RemoveAll();
    EXPECT_EQ(0, a.GetCount());
    for (int i = 0; i < 8; ++i)
        a.Add(100 + i);
    EXPECT_EQ(8, a.Capacity);
    EXPECT_EQ(107, a.GetItems()[7]);
}

TEST(IntArrayGrowth, ZeroCapacityStillGrows)
{
    CIntArray a(0, 4);
    a.Add(7);
    EXPECT_EQ(4, a.Capacity);
    EXPECT_EQ(7, a.GetItems()[0]);
}

TEST(IntArray, ReplaceChangesOnlyTheFirstEqualItem)
{
    CIntArray a(4, 4);
    a.Add(5);
    a.Add(9);
    a.Add(5);
    a.Replace(5, 6);
    EXPECT_EQ(6, a.GetItems()[0]);
    EXPECT_EQ(9, a.GetItems()[1]);
    EXPECT_EQ(5, a.GetItems()[2]);
    a.Replace(42, 1);
    EXPECT_EQ(6, a.GetItems()[0]);
    EXPECT_EQ(9, a.GetItems()[1]);
    EXPECT_EQ(5, a.GetItems()[2]);
}

TEST(PtrArrayGrowth, LargeOwnerStepAndOrderAfterRealloc)
{
    CPtrArray a(0, 256, 64);
    for (int i = 0; i < 257; ++i)
        a.Add(Tag(i));
    EXPECT_EQ(320, a.Capacity);
    EXPECT_EQ(257, a.GetCount());
    for (int i = 0; i < 257; ++i)
        ASSERT_EQ(Tag(i), a.GetItems()[i]);
}

TEST(ObjArrayGrowth, GrowsByStep)
{
    CObjArray a(4, 4);
    for (int i = 0; i < 5; ++i)
        a.Add(nullptr);
    EXPECT_EQ(8, a.Capacity);
    EXPECT_EQ(5, a.GetCount());
}

// ---------------- ownership ----------------

TEST(PtrArrayOwnership, ModeTwoFreesEveryItem)
{
    FreeCounter counter;
    void* a = Block();
    void* b = Block();
    void* c = Block();
    {
        CPtrArray arr(2, 16, 4);
        arr.Add(a);
        arr.Add(b);
        arr.Add(c);
        arr.RemoveAll(1);
        EXPECT_EQ(0, arr.GetCount());
        EXPECT_EQ(16, arr.Capacity);
        EXPECT_EQ((std::vector<void*>{ a, b, c }), counter.Freed());
    }
    EXPECT_EQ(3u, counter.Freed().size());  // nothing left for the destructor
}

TEST(PtrArrayOwnership, ModeOneFreesOnlyItemZero)
{
    FreeCounter counter;
    char* block = static_cast<char*>(std::malloc(32));
    CPtrArray arr(1, 8, 4);
    arr.Add(block);
    arr.Add(block + 4);
    arr.Add(block + 10);
    arr.RemoveAll(1);
    EXPECT_EQ((std::vector<void*>{ block }), counter.Freed());
    EXPECT_EQ(0, arr.GetCount());
}

TEST(PtrArrayOwnership, ModeOneEmptyFreesNothing)
{
    FreeCounter counter;
    CPtrArray arr(1, 8, 4);
    arr.RemoveAll(1);
    EXPECT_TRUE(counter.Freed().empty());
}

TEST(PtrArrayOwnership, ModeZeroFreesNothing)
{
    FreeCounter counter;
    int x = 0, y = 0;
    {
        CPtrArray arr(0, 16, 4);
        arr.Add(&x);
        arr.Add(&y);
        arr.RemoveAll(1);
        arr.Add(&x);
    }
    EXPECT_TRUE(counter.Freed().empty());
}

TEST(PtrArrayOwnership, RemoveAllWithoutFreeLeavesItemsToCaller)
{
    FreeCounter counter;
    void* a = Block();
    void* b = Block();
    {
        CPtrArray arr(2, 4, 4);
        arr.Add(a);
        arr.Add(b);
        arr.RemoveAll(0);
        EXPECT_EQ(0, arr.GetCount());
    }
    EXPECT_TRUE(counter.Freed().empty());
    std::free(a);
    std::free(b);
}

TEST(PtrArrayOwnership, DestructorFreesOwnedItems)
{
    FreeCounter counter;
    void* a = Block();
    void* b = Block();
    {
        CPtrArray arr(2, 4, 4);
        arr.Add(a);
        arr.Add(b);
    }
    EXPECT_EQ((std::vector<void*>{ a, b }), counter.Freed());
    {
        CPtrArray one(1, 4, 4);
        char* blk = static_cast<char*>(std::malloc(16));
        one.Add(blk);
        one.Add(blk + 8);
    }
    EXPECT_EQ(3u, counter.Freed().size());
}

TEST(PtrArrayOwnership, RemoveAtNeverFreesAndReuseAfterClear)
{
    FreeCounter counter;
    void* a = Block();
    void* b = Block();
    void* c = Block();
    CPtrArray arr(2, 4, 4);
    arr.Add(a);
    arr.Add(b);
    arr.Add(c);
    EXPECT_EQ(b, arr.RemoveAt(1));
    EXPECT_TRUE(counter.Freed().empty());
    EXPECT_EQ((std::vector<void*>{ a, c }), Items(arr));
    std::free(b);
    arr.RemoveAll(1);
    EXPECT_EQ((std::vector<void*>{ a, c }), counter.Freed());
}

// ---------------- RemoveAt, Move, IndexOf ----------------

class PtrArrayEdit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < 5; ++i)
            arr.Add(Tag(i));  // A B C D E
    }
    std::vector<void*> Expect(std::initializer_list<int> order)
    {
        std::vector<void*> v;
        for (int i : order)
            v.push_back(Tag(i));
        return v;
    }
    CPtrArray arr{ 0, 8, 4 };
};

TEST_F(PtrArrayEdit, RemoveAtPastTheEndReturnsNull)
{
    EXPECT_EQ(nullptr, arr.RemoveAt(5));
    EXPECT_EQ(nullptr, arr.RemoveAt(100));
    EXPECT_EQ(nullptr, arr.RemoveAt(-1));
    EXPECT_EQ(Expect({ 0, 1, 2, 3, 4 }), Items(arr));
}

TEST_F(PtrArrayEdit, RemoveAtLastOnlyShortens)
{
    EXPECT_EQ(Tag(4), arr.RemoveAt(4));
    EXPECT_EQ(Expect({ 0, 1, 2, 3 }), Items(arr));
}

TEST_F(PtrArrayEdit, RemoveAtFirstShiftsTheRest)
{
    EXPECT_EQ(Tag(0), arr.RemoveAt(0));
    EXPECT_EQ(Expect({ 1, 2, 3, 4 }), Items(arr));
}

TEST_F(PtrArrayEdit, MoveForward)
{
    arr.Move(0, 3);
    EXPECT_EQ(Expect({ 1, 2, 3, 0, 4 }), Items(arr));
}

TEST_F(PtrArrayEdit, MoveBack)
{
    arr.Move(3, 0);
    EXPECT_EQ(Expect({ 3, 0, 1, 2, 4 }), Items(arr));
}

TEST_F(PtrArrayEdit, MoveToAndFromTheLastIndex)
{
    arr.Move(1, 4);
    EXPECT_EQ(Expect({ 0, 2, 3, 4, 1 }), Items(arr));
    arr.Move(4, 1);
    EXPECT_EQ(Expect({ 0, 1, 2, 3, 4 }), Items(arr));
}

TEST_F(PtrArrayEdit, MoveNoOps)
{
    arr.Move(2, 2);
    arr.Move(5, 0);
    arr.Move(0, 5);
    arr.Move(-1, 2);
    arr.Move(2, -1);
    EXPECT_EQ(Expect({ 0, 1, 2, 3, 4 }), Items(arr));
}

TEST_F(PtrArrayEdit, IndexOfFindsTheFirstEqual)
{
    arr.Add(Tag(2));
    EXPECT_EQ(2, arr.IndexOf(Tag(2)));
    EXPECT_EQ(-1, arr.IndexOf(Tag(9)));
    EXPECT_EQ(0, arr.IndexOf(Tag(0)));
}

// ---------------- CObjArray ----------------

TEST(ObjArray, RemoveAllDeletesThroughVirtualDestructorSkippingNulls)
{
    g_destroyed.clear();
    int derivedGone = 0;
    CObjArray arr(4, 4);
    arr.Add(new Counted(1));
    arr.Add(nullptr);
    arr.Add(new Derived(2, &derivedGone));
    arr.Add(new Counted(3));
    arr.RemoveAll(1);
    EXPECT_EQ((std::vector<int>{ 1, 2, 3 }), g_destroyed);
    EXPECT_EQ(1, derivedGone);
    EXPECT_EQ(0, arr.GetCount());
    EXPECT_EQ(4, arr.Capacity);
}

TEST(ObjArray, RemoveAllWithoutDeleteLeavesObjectsAlive)
{
    g_destroyed.clear();
    Counted keep(7);
    {
        CObjArray arr(4, 4);
        arr.Add(&keep);
        arr.RemoveAll(0);
    }
    EXPECT_TRUE(g_destroyed.empty());
}

TEST(ObjArray, DestructorDeletesItems)
{
    g_destroyed.clear();
    {
        CObjArray arr(2, 4);
        arr.Add(new Counted(5));
        arr.Add(new Counted(6));
        arr.Add(new Counted(7));
    }
    EXPECT_EQ((std::vector<int>{ 5, 6, 7 }), g_destroyed);
}

TEST(ObjArray, RemoveAtDeletesOnRequestAndShifts)
{
    g_destroyed.clear();
    CObjArray arr(4, 4);
    Counted* a = new Counted(1);
    Counted* b = new Counted(2);
    Counted* c = new Counted(3);
    arr.Add(a);
    arr.Add(b);
    arr.Add(c);
    arr.RemoveAt(1, 1);
    EXPECT_EQ((std::vector<int>{ 2 }), g_destroyed);
    ASSERT_EQ(2, arr.GetCount());
    EXPECT_EQ(a, arr.GetItems()[0]);
    EXPECT_EQ(c, arr.GetItems()[1]);
    arr.RemoveAt(0, 0);
    EXPECT_EQ(1u, g_destroyed.size());
    EXPECT_EQ(c, arr.GetItems()[0]);
    EXPECT_EQ(0, arr.IndexOf(c));
    EXPECT_EQ(-1, arr.IndexOf(a));
    arr.RemoveAt(1, 1);  // out of range: nothing
    arr.RemoveAt(-1, 1);
    EXPECT_EQ(1, arr.GetCount());
    delete a;
}
