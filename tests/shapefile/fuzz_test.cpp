// The seeded fuzz run of the shapefile reader under Wine, each file placed against a page the
// process may not touch (after its last byte, or before its first on every other mutation), so
// that any read outside a file ends the test program.
#include <windows.h>

#include <cstring>
#include <gtest/gtest.h>

#include "tests/shapefile/shpfuzz.h"

namespace {


const void* PlaceAgainstGuard(const std::vector<unsigned char>& bytes, int iteration, void** cookie)
{
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    const size_t page = si.dwPageSize;
    const size_t dataPages = (bytes.size() + page - 1) / page;
    const size_t total = (dataPages + 2) * page;  // a guard page on each side
    unsigned char* base = (unsigned char*)VirtualAlloc(nullptr, total, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    *cookie = base;
    if (!base)
        return nullptr;
    unsigned char* first = base + page;
    // Odd mutations start right after the leading guard, even ones end right at the trailing one.
    unsigned char* data = (iteration & 1) ? first : first + dataPages * page - bytes.size();
    if (!bytes.empty())
        memcpy(data, bytes.data(), bytes.size());
    DWORD old;
    VirtualProtect(base, page, PAGE_NOACCESS, &old);
    VirtualProtect(first + dataPages * page, page, PAGE_NOACCESS, &old);
    // The reader gets read-only bytes, as from a mapped file.
    if (dataPages)
        VirtualProtect(first, dataPages * page, PAGE_READONLY, &old);
    return bytes.empty() ? nullptr : data;
}

void ReleaseGuarded(void* cookie)
{
    if (cookie)
        VirtualFree(cookie, 0, MEM_RELEASE);
}

}  // namespace

TEST(ShapefileFuzz, TwentyThousandMutationsReadInsideTheirFiles)
{
    shpfuzz::Placement guarded;
    guarded.Place = PlaceAgainstGuard;
    guarded.Release = ReleaseGuarded;
    shpfuzz::Result r = shpfuzz::Run(20000, 2011, guarded);
    EXPECT_EQ("", r.Failure);
    EXPECT_EQ(20000, r.Iterations);
    // The mutations reach the records: most layers still open and many shapes are read, others refused.
    EXPECT_GT(r.Opened, 20000 / 4);
    EXPECT_GT(r.Shapes, 20000 / 4);
    EXPECT_GT(r.NullShapes, 20000 / 4);
}
