// The shapefile reader's parsing of header and record bytes. Portable C++: this file builds for
// Windows and natively (the sanitizer build of the fuzz test).
//
// Layout (all offsets in bytes): the main file and the index start with a 100-byte header
// (file code 9994 big-endian at 0, the file length in 16-bit words big-endian at 24, version
// 1000 little-endian at 28, shape type little-endian at 32, eight little-endian doubles from 36:
// x min, y min, x max, y max, z min, z max, m min, m max). Each index entry is 8 bytes: the
// record's offset and content length in 16-bit words, big-endian. Each record starts with an
// 8-byte big-endian header (number, content length in words); its content is little-endian.
#include "shapefile/shpinternal.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const size_t kHeaderSize = 100;

uint32_t Be32(const unsigned char* p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | (uint32_t)p[3];
}

int32_t Le32(const unsigned char* p)
{
    uint32_t v = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
    int32_t s;
    memcpy(&s, &v, sizeof s);
    return s;
}

double LeDouble(const unsigned char* p)
{
    uint64_t v = 0;
    for (int k = 7; k >= 0; --k)
        v = (v << 8) | p[k];
    double d;
    memcpy(&d, &v, sizeof d);
    return d;
}

bool ValidHeader(const unsigned char* p, size_t size)
{
    return p && size >= kHeaderSize && Be32(p) == 9994 && Le32(p + 28) == 1000;
}

enum Kind { KIND_NULL, KIND_POINT, KIND_MULTIPOINT, KIND_PARTS, KIND_UNKNOWN };

Kind KindOf(int type)
{
    switch (type) {
    case SHPT_NULL: return KIND_NULL;
    case SHPT_POINT: case SHPT_POINTZ: case SHPT_POINTM: return KIND_POINT;
    case SHPT_MULTIPOINT: case SHPT_MULTIPOINTZ: case SHPT_MULTIPOINTM: return KIND_MULTIPOINT;
    case SHPT_ARC: case SHPT_POLYGON: case SHPT_ARCZ: case SHPT_POLYGONZ: case SHPT_ARCM:
    case SHPT_POLYGONM: case SHPT_MULTIPATCH: return KIND_PARTS;
    default: return KIND_UNKNOWN;
    }
}

bool HasZ(int type)
{
    return type == SHPT_POINTZ || type == SHPT_MULTIPOINTZ || type == SHPT_ARCZ || type == SHPT_POLYGONZ ||
           type == SHPT_MULTIPATCH;
}

bool HasOptionalM(int type) { return HasZ(type) || (type >= SHPT_POINTM && type <= SHPT_MULTIPOINTM); }

// A shape with room for n vertices and parts parts; null when memory runs out.
SHPObject* NewShape(int type, int id, int n, int parts)
{
    SHPObject* s = (SHPObject*)calloc(1, sizeof(SHPObject));
    if (!s)
        return nullptr;
    s->nSHPType = type;
    s->nShapeId = id;
    if (n > 0) {
        // One block for the four axes.
        double* block = (double*)calloc((size_t)n * 4, sizeof(double));
        if (!block) {
            free(s);
            return nullptr;
        }
        s->padfX = block;
        s->padfY = block + n;
        s->padfZ = block + 2 * (size_t)n;
        s->padfM = block + 3 * (size_t)n;
        s->nVertices = n;
    }
    if (parts > 0) {
        int* block = (int*)calloc((size_t)parts * 2, sizeof(int));
        if (!block) {
            SHPDestroyObject(s);
            return nullptr;
        }
        s->panPartStart = block;
        s->panPartType = block + parts;
        s->nParts = parts;
    }
    return s;
}

void ComputeBounds(SHPObject* s)
{
    if (s->nVertices <= 0)
        return;
    s->dfXMin = s->dfXMax = s->padfX[0];
    s->dfYMin = s->dfYMax = s->padfY[0];
    s->dfZMin = s->dfZMax = s->padfZ[0];
    s->dfMMin = s->dfMMax = s->padfM[0];
    for (int i = 1; i < s->nVertices; ++i) {
        double x = s->padfX[i], y = s->padfY[i], z = s->padfZ[i], m = s->padfM[i];
        if (x < s->dfXMin) s->dfXMin = x;
        if (x > s->dfXMax) s->dfXMax = x;
        if (y < s->dfYMin) s->dfYMin = y;
        if (y > s->dfYMax) s->dfYMax = y;
        if (z < s->dfZMin) s->dfZMin = z;
        if (z > s->dfZMax) s->dfZMax = z;
        if (m < s->dfMMin) s->dfMMin = m;
        if (m > s->dfMMax) s->dfMMax = m;
    }
}

// Reads n interleaved x, y pairs; false when one of them is not finite.
bool ReadXY(SHPObject* s, const unsigned char* p, int n)
{
    for (int i = 0; i < n; ++i, p += 16) {
        double x = LeDouble(p), y = LeDouble(p + 8);
        if (!std::isfinite(x) || !std::isfinite(y))
            return false;
        s->padfX[i] = x;
        s->padfY[i] = y;
    }
    return true;
}

void ReadAxis(double* out, const unsigned char* p, int n)
{
    for (int i = 0; i < n; ++i, p += 8)
        out[i] = LeDouble(p);
}

// The content of one record (type, then its fields), length bytes long, all inside the file.
SHPObject* ParseRecord(const unsigned char* c, uint64_t length, int id)
{
    if (length < 4)
        return nullptr;
    const int type = Le32(c);
    const bool z = HasZ(type);
    switch (KindOf(type)) {
    case KIND_NULL:
        return NewShape(type, id, 0, 0);
    case KIND_POINT: {
        uint64_t need = 20 + (z ? 8 : 0);
        if (length < need)
            return nullptr;
        SHPObject* s = NewShape(type, id, 1, 0);
        if (!s)
            return nullptr;
        if (!ReadXY(s, c + 4, 1)) {
            SHPDestroyObject(s);
            return nullptr;
        }
        if (z)
            s->padfZ[0] = LeDouble(c + 20);
        if (HasOptionalM(type) && length >= need + 8) {
            s->padfM[0] = LeDouble(c + need);
            s->bMeasureIsUsed = 1;
        }
        ComputeBounds(s);
        return s;
    }
    case KIND_MULTIPOINT:
    case KIND_PARTS: {
        const bool withParts = KindOf(type) == KIND_PARTS;
        const uint64_t fixed = withParts ? 44 : 40;
        if (length < fixed)
            return nullptr;
        const int32_t parts = withParts ? Le32(c + 36) : 0;
        const int32_t n = Le32(c + (withParts ? 40 : 36));
        if (parts < 0 || n < 0)
            return nullptr;
        // Every size in 64 bits: counts near 2^31 cannot wrap, and nothing is allocated before
        // the record is known to hold what its counts promise.
        const uint64_t partBytes = (uint64_t)parts * 4 * (type == SHPT_MULTIPATCH ? 2 : 1);
        const uint64_t points = fixed + partBytes;
        const uint64_t pointsEnd = points + (uint64_t)n * 16;
        if (pointsEnd > length)
            return nullptr;
        uint64_t mStart = pointsEnd;
        if (z) {
            mStart = pointsEnd + 16 + (uint64_t)n * 8;
            if (mStart > length)
                return nullptr;
        }
        const bool m = HasOptionalM(type) && mStart + 16 + (uint64_t)n * 8 <= length;
        for (int32_t k = 0; k < parts; ++k) {
            int32_t start = Le32(c + fixed + 4 * (uint64_t)k);
            if (start < 0 || start >= n || (k > 0 && start < Le32(c + fixed + 4 * (uint64_t)(k - 1))))
                return nullptr;
        }
        SHPObject* s = NewShape(type, id, n, parts);
        if (!s)
            return nullptr;
        for (int32_t k = 0; k < parts; ++k) {
            s->panPartStart[k] = Le32(c + fixed + 4 * (uint64_t)k);
            s->panPartType[k] = type == SHPT_MULTIPATCH ? Le32(c + fixed + 4 * ((uint64_t)parts + k)) : SHPP_RING;
        }
        if (!ReadXY(s, c + points, n)) {
            SHPDestroyObject(s);
            return nullptr;
        }
        if (z)
            ReadAxis(s->padfZ, c + pointsEnd + 16, n);
        if (m) {
            ReadAxis(s->padfM, c + mStart + 16, n);
            s->bMeasureIsUsed = 1;
        }
        ComputeBounds(s);
        return s;
    }
    default:
        return nullptr;
    }
}

}  // namespace

SHPHandle ShpOpenBytes(const void* shp, size_t shpSize, const void* shx, size_t shxSize,
                       void (*release)(SHPInfo*), void* owner0, void* owner1)
{
    const unsigned char* main = (const unsigned char*)shp;
    const unsigned char* index = (const unsigned char*)shx;
    if (!ValidHeader(main, shpSize) || !ValidHeader(index, shxSize))
        return nullptr;
    // The index says how long it is; a shorter file holds only what is really there.
    uint64_t claimed = (uint64_t)Be32(index + 24) * 2;
    if (claimed < kHeaderSize)
        return nullptr;
    uint64_t usable = claimed < shxSize ? claimed : shxSize;
    uint64_t count = (usable - kHeaderSize) / 8;
    SHPInfo* info = (SHPInfo*)calloc(1, sizeof(SHPInfo));
    if (!info)
        return nullptr;
    info->Shp = main;
    info->ShpSize = shpSize;
    info->Shx = index;
    info->ShxSize = shxSize;
    info->Count = count > (uint64_t)INT_MAX ? INT_MAX : (int)count;
    info->ShapeType = Le32(main + 32);
    // File order: x min, y min, x max, y max, z min, z max, m min, m max.
    double* at[8] = {&info->Min[0], &info->Min[1], &info->Max[0], &info->Max[1],
                     &info->Min[2], &info->Max[2], &info->Min[3], &info->Max[3]};
    for (int k = 0; k < 8; ++k)
        *at[k] = LeDouble(main + 36 + 8 * k);
    info->Release = release;
    info->Owner[0] = owner0;
    info->Owner[1] = owner1;
    return info;
}

SHPHandle SHPOpenMem(const void* shp, size_t shpSize, const void* shx, size_t shxSize)
{
    return ShpOpenBytes(shp, shpSize, shx, shxSize, nullptr, nullptr, nullptr);
}

void SHPGetInfo(SHPHandle handle, int* entities, int* shapeType, double* minBound, double* maxBound)
{
    if (!handle)
        return;
    if (entities)
        *entities = handle->Count;
    if (shapeType)
        *shapeType = handle->ShapeType;
    for (int k = 0; k < 4; ++k) {
        if (minBound)
            minBound[k] = handle->Min[k];
        if (maxBound)
            maxBound[k] = handle->Max[k];
    }
}

SHPObject* SHPReadObject(SHPHandle handle, int i)
{
    if (!handle || i < 0 || i >= handle->Count)
        return nullptr;
    const unsigned char* entry = handle->Shx + kHeaderSize + 8 * (size_t)i;
    const uint64_t offset = (uint64_t)Be32(entry) * 2;
    const uint64_t length = (uint64_t)Be32(entry + 4) * 2;
    if (offset < kHeaderSize || offset + 8 > handle->ShpSize)
        return nullptr;
    const unsigned char* record = handle->Shp + offset;
    // The record's own header must agree with the index, and the content lie inside the file.
    if ((uint64_t)Be32(record + 4) * 2 != length || offset + 8 + length > handle->ShpSize)
        return nullptr;
    return ParseRecord(record + 8, length, i);
}

int SHPRecordSpan(SHPHandle handle, int i, size_t* offset, size_t* size)
{
    if (!handle || i < 0 || i >= handle->Count)
        return 0;
    const unsigned char* entry = handle->Shx + kHeaderSize + 8 * (size_t)i;
    *offset = (size_t)Be32(entry) * 2;
    *size = (size_t)Be32(entry + 4) * 2 + 8;
    return 1;
}

void SHPClose(SHPHandle handle)
{
    if (!handle)
        return;
    if (handle->Release)
        handle->Release(handle);
    free(handle);
}

SHPObject* SHPCreateSimpleObject(int shapeType, int n, const double* x, const double* y, const double* z)
{
    if (n < 0 || (n > 0 && (!x || !y)))
        n = 0;
    SHPObject* s = NewShape(shapeType, -1, n, 0);
    if (!s)
        return nullptr;
    if (n > 0) {
        memcpy(s->padfX, x, (size_t)n * sizeof(double));
        memcpy(s->padfY, y, (size_t)n * sizeof(double));
        if (z)
            memcpy(s->padfZ, z, (size_t)n * sizeof(double));
    }
    ComputeBounds(s);
    return s;
}

void SHPDestroyObject(SHPObject* shape)
{
    if (!shape)
        return;
    free(shape->padfX);  // the block of all four axes
    free(shape->panPartStart);  // the block of starts and types
    free(shape);
}
