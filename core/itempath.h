// Report texts of tree items and the record-list services of the map and print form: the
// types their CDatabase members (declared in core/database.h, defined in itempath.cpp) take.
#pragma once
#include <windows.h>
#include <oleauto.h>

// The print form's side of a locality path: which levels show their items' abbreviations, and
// the report's list that collects every (name, abbreviation) pair a path used. Either hook may
// be null (no level abbreviated, nothing collected).
struct LocPathAbbrevs
{
    // Whether the level of this name is marked to show abbreviations.
    bool (*UsesAbbrev)(void* context, const wchar_t* levelName);
    // Adds the pair to the report's abbreviation list (which refuses a pair it already holds).
    void (*Add)(void* context, const VARIANT* name, const VARIANT* abbrev);
    void* Context;
};

// Record lists of SetRecordListFilter and GetRecordCoordinates.
enum RecordPointList
{
    POINT_LIST_TAXON = 0,
    POINT_LIST_SEARCH = 1,
};
