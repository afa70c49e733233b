// A seeded fuzz run of the shapefile reader: valid layers of every shape type are written, then
// mutated (bit flips, lying counts and lengths, index entries moved, files cut or grown) and read
// whole. Portable: the Windows test places each file against guard pages, the native sanitizer
// build in exact heap blocks.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shapefile/shpwriter.h"

namespace shpfuzz {

// Where the reader sees a file's bytes: place returns a pointer to a copy of the bytes that
// stays valid until release(cookie); the iteration number lets a placement alternate layouts.
struct Placement
{
    std::function<const void*(const std::vector<unsigned char>& bytes, int iteration, void** cookie)> Place;
    std::function<void(void* cookie)> Release;
};

struct Result
{
    int Iterations = 0;
    int Opened = 0;      // mutated layers that still opened
    int Shapes = 0;      // shapes read
    int NullShapes = 0;  // records refused
    std::string Failure; // the first broken promise of the reader, empty when none
};

// The valid layers the mutations start from: every shape type, null records, holes, parts.
std::vector<shpw::Bytes> SeedLayers();

Result Run(int iterations, uint64_t seed, const Placement& placement);

}  // namespace shpfuzz
