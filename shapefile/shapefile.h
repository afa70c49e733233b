// Reading ESRI shapefiles (.shp geometry with its .shx index) for the map layers.
//
// The calls and their semantics are those the map code has always used: open a layer, ask its
// header, read one shape at a time, close. Everything read from a file is checked against the
// file's real size before it is used, so a truncated or lying file gives a failed open or a
// NULL shape, never a read outside the file or an allocation larger than the file.
//
// The parsing works on bytes in memory (shpparse.cpp) and builds on any C++17 compiler; the
// Windows side (shpfile_win32.cpp) only maps the two files. The .dbf is never read.
#pragma once
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// Shape types of the file header and of each record.
#define SHPT_NULL 0
#define SHPT_POINT 1
#define SHPT_ARC 3
#define SHPT_POLYGON 5
#define SHPT_MULTIPOINT 8
#define SHPT_POINTZ 11
#define SHPT_ARCZ 13
#define SHPT_POLYGONZ 15
#define SHPT_MULTIPOINTZ 18
#define SHPT_POINTM 21
#define SHPT_ARCM 23
#define SHPT_POLYGONM 25
#define SHPT_MULTIPOINTM 28
#define SHPT_MULTIPATCH 31

// Part types: every part of a line or polygon is a ring; multipatch parts carry their own.
#define SHPP_TRISTRIP 0
#define SHPP_TRIFAN 1
#define SHPP_OUTERRING 2
#define SHPP_INNERRING 3
#define SHPP_FIRSTRING 4
#define SHPP_RING 5

typedef struct SHPInfo* SHPHandle;

// One shape. Coordinates are kept apart per axis; padfZ and padfM are always there (zero when
// the record has none). A shape without parts is one run of all its vertices.
typedef struct
{
    int nSHPType;   // the record's own type (may differ from the file's)
    int nShapeId;   // record index, -1 for a shape made in memory
    int nParts;
    int* panPartStart;  // first vertex of each part; null when nParts is 0
    int* panPartType;
    int nVertices;
    double* padfX;
    double* padfY;
    double* padfZ;
    double* padfM;
    // Bounds of the vertices actually read (0 for a shape without vertices).
    double dfXMin, dfYMin, dfZMin, dfMMin;
    double dfXMax, dfYMax, dfZMax, dfMMax;
    int bMeasureIsUsed;
} SHPObject;

// Opens <path without extension>.shp and .shx for reading ("rb"; any other mode fails) with
// read sharing. The path may name either file or neither extension. NULL when a file is missing,
// unreadable or has no valid header.
SHPHandle SHPOpenW(const wchar_t* path, const char* mode);

// The same over two blocks of bytes that the caller keeps alive (and unchanged) until SHPClose.
SHPHandle SHPOpenMem(const void* shp, size_t shpSize, const void* shx, size_t shxSize);

// The record count, the header's shape type and the header's bounds {x, y, z, m}. Any output
// may be null.
void SHPGetInfo(SHPHandle handle, int* entities, int* shapeType, double* minBound, double* maxBound);

// Record i as a new shape that the caller destroys; NULL for an index out of range and for a
// record that is damaged (outside the file, disagreeing with its index entry, inconsistent
// counts or part starts, coordinates that are not finite, an unknown type).
SHPObject* SHPReadObject(SHPHandle handle, int i);

// Where record i lies in the .shp as its index entry gives it: the offset of its header and
// its size with the header. False for an index out of range.
int SHPRecordSpan(SHPHandle handle, int i, size_t* offset, size_t* size);

void SHPClose(SHPHandle handle);

// A new shape without parts holding copies of the n vertices (z may be null: zeros). Bounds are
// computed; M is zero.
SHPObject* SHPCreateSimpleObject(int shapeType, int n, const double* x, const double* y, const double* z);

void SHPDestroyObject(SHPObject* shape);

#ifdef __cplusplus
}
#endif
