// What the byte parser and the file side of the shapefile reader share.
#pragma once
#include <stddef.h>

#include "shapefile/shapefile.h"

struct SHPInfo
{
    const unsigned char* Shp;
    size_t ShpSize;
    const unsigned char* Shx;
    size_t ShxSize;
    int Count;      // records the index can name
    int ShapeType;  // the header's type
    double Min[4];  // x, y, z, m
    double Max[4];
    // Releases what the file side holds (mapped views); null for caller-owned bytes.
    void (*Release)(SHPInfo* info);
    void* Owner[2];
};

// A handle over the two blocks, or null when either header is invalid. The blocks must outlive
// the handle; release and owner are stored as given.
SHPHandle ShpOpenBytes(const void* shp, size_t shpSize, const void* shx, size_t shxSize,
                       void (*release)(SHPInfo*), void* owner0, void* owner1);
