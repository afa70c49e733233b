// Localities in the target of an import: finding and creating items of the locality tree (with
// their point geometry), the locality's row of coordinates, altitude and grid square, and its
// label. As with the systematic items, the caller keeps the next free id and logs failures.
#pragma once
#include <windows.h>

#include "dataaccess/ado.h"

enum LocTreeColumn {
    LOCTREE_ID = 0, LOCTREE_PARENT = 1, LOCTREE_LEVEL = 2, LOCTREE_NAME = 3, LOCTREE_ABBREV = 4,
    LOCTREE_GEOMETRY = 8
};
enum FeatureColumn {
    FEATURE_LOCID = 0, FEATURE_NAME = 1, FEATURE_SECOND = 2, FEATURE_LONGITUDE = 3,
    FEATURE_LATITUDE = 4, FEATURE_ALTITUDE = 5, FEATURE_SQUARE = 6
};

// The item with that parent, level and name whose point matches x and y: an exact match (a
// point near the coordinates, or neither a point nor coordinates) wins, otherwise the last item
// without a point when coordinates are given; -1 when none.
int FindLocItem(zdata::Recordset* locTree, int parentId, int levelId, const wchar_t* name,
                const VARIANT& x, const VARIANT& y);
// Stores a new item; its point (z when given) when x and y are both given, an empty
// abbreviation as none. False (row cancelled) when refused.
bool CreateLocItem(zdata::Recordset* locTree, int newId, int parentId, int levelId, const wchar_t* name,
                   const wchar_t* abbreviation, const VARIANT& x, const VARIANT& y, const VARIANT& z);
// Stores the locality's row: label, second text (none when empty), coordinates and altitude as
// given, the square (none when empty) and, with attrOrdinal >= 0, a lookup attribute's text,
// which is first offered to its lookup table when one is given. False (row cancelled) when refused.
bool CreateFeatureRow(zdata::Recordset* features, zdata::Recordset* lookup, int locId,
                      const wchar_t* label, const wchar_t* second, const VARIANT& longitude,
                      const VARIANT& latitude, const VARIANT& altitude, const wchar_t* attrText,
                      const wchar_t* square, int attrOrdinal);
// The label "name (lat, lon, text1, text2)" in destination (64 characters), coordinates in whole
// degrees, minutes and seconds; a name over 60 characters alone, and a label that would pass 62
// characters cut to end in "...)" at 63. text3 is not used. Returns the label's length.
int FormatLocLabel(wchar_t* destination, const wchar_t* name, const wchar_t* text1, const wchar_t* text2,
                   const wchar_t* text3, const VARIANT& longitude, const VARIANT& latitude);
