// The fuzz run of the shapefile reader in a native build under AddressSanitizer and
// UndefinedBehaviorSanitizer: each file sits in a heap block of exactly its size, so a read past
// either end, an overflow or a leak stops the run. Arguments: iterations, seed.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/shapefile/shpfuzz.h"

int main(int argc, char** argv)
{
    int iterations = argc > 1 ? atoi(argv[1]) : 20000;
    unsigned long long seed = argc > 2 ? strtoull(argv[2], nullptr, 10) : 2011;
    shpfuzz::Placement heap;
    heap.Place = [](const std::vector<unsigned char>& bytes, int, void** cookie) -> const void* {
        void* block = bytes.empty() ? nullptr : malloc(bytes.size());
        if (block)
            memcpy(block, bytes.data(), bytes.size());
        *cookie = block;
        return block;
    };
    heap.Release = [](void* cookie) { free(cookie); };
    shpfuzz::Result r = shpfuzz::Run(iterations, seed, heap);
    printf("%d mutations, %d opened, %d shapes read, %d refused\n", r.Iterations, r.Opened, r.Shapes, r.NullShapes);
    if (!r.Failure.empty() || r.Iterations != iterations) {
        printf("FAILED: %s\n", r.Failure.c_str());
        return 1;
    }
    // The mutations must still reach the parser: most layers open and many shapes are read.
    if (r.Opened < iterations / 4 || r.Shapes < iterations / 4) {
        printf("FAILED: the mutations hardly reach the records\n");
        return 1;
    }
    return 0;
}
