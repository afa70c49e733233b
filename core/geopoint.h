// Coordinates and point geometry: degrees from six-digit DDMMSS text, the mapping-grid square of
// a point, points as well-known binary (WKB) byte arrays, and the comparison of a stored point
// with given coordinates. Pure computations, used by the imports and the sample generator.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

// A coordinate written as six digits DDMMSS into *out as VT_R8 degrees (DD + MM/60 + SS/3600).
// Empty text gives VT_NULL and true (no coordinate given). Text that is not six digits, or whose
// minutes or seconds are 60 or more, gives VT_NULL and false: the caller logs it as unreadable.
bool DmsTextToDegrees(const wchar_t* text, VARIANT* out);

// The grid of 6' of latitude by 10' of longitude, rows counted southwards from 56 N and columns
// eastwards from 5 40' E; quadrants 1 north-west, 2 north-east, 3 south-west, 4 south-east;
// subsquares of the quadrant numbered row by row from 1 (5 x 5 when fine, else 2 x 2). A column
// above 99 is reduced by 100. False (outputs still set) for a point north or west of the grid or
// no number at all: such a point has no square.
bool ComputeGridSquare(double longitude, double latitude, int* row, int* column, int* quadrant,
                       int* subsquare, bool fine);
// The square text "RRCCQ" (row, column, quadrant letter A-D); empty when the point has none.
std::wstring GridSquareText(double longitude, double latitude);

// A point as little-endian WKB: type 1 (21 bytes) or, with z, type 1001 (29 bytes).
std::vector<unsigned char> MakeWkbPointBytes(double x, double y, bool hasZ, double z);
// The same as VT_ARRAY | VT_UI1 (lower bound 0) in *out; z is written unless it is empty or
// null. x, y and z are read as reals. False when the array cannot be made.
bool MakeWkbPoint(const VARIANT& x, const VARIANT& y, const VARIANT& z, VARIANT* out);

// True for VT_EMPTY and VT_NULL.
inline bool IsNoValue(const VARIANT& v) { return v.vt == VT_EMPTY || v.vt == VT_NULL; }

enum GeometryMatch { GEOMETRY_NO_MATCH = 0, GEOMETRY_MATCH = 1, GEOMETRY_NAME_ONLY = 2 };
// A stored geometry against coordinates x (longitude) and y (latitude): without a stored point,
// a match when no coordinates are given and a match by name only otherwise; with a stored point,
// a match when it lies within about 0.0003 degrees of the given ones. A 25-byte value is one byte
// and two little-endian doubles; anything else is read as WKB (either byte order, a type whose
// remainder by 1000 is 1). A value too short for a point never matches.
int CompareGeometry(const VARIANT& stored, const VARIANT& x, const VARIANT& y);

// A stored geometry as the comparison reads it, for keeping in memory instead of the value.
enum StoredPointKind { STORED_NONE = 0, STORED_POINT = 1, STORED_UNREADABLE = 2 };
struct StoredPoint {
    int Kind;  // STORED_NONE: no array stored
    double X, Y;
};
StoredPoint ReadStoredPoint(const VARIANT& stored);
// CompareGeometry of the geometry that was read.
int ComparePoint(const StoredPoint& stored, const VARIANT& x, const VARIANT& y);
