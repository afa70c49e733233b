// The attribute table beside a shapefile (<base>.dbf): the maps never read the attributes, but a
// table that is damaged (cut short, or a header that does not add up) is told to the user, as
// other programs that open the layer will stumble on it.
#pragma once
#include <stddef.h>

enum DbfState
{
    DBF_MISSING = 0,  // no table beside the layer
    DBF_SOUND = 1,
    DBF_DAMAGED = 2,
};

// The state of a dBASE table in memory: a version byte of a dBASE or FoxPro table, a header of at
// least one field whose descriptors end with the terminator and whose field widths (plus the
// deletion mark) give the record length, and every record the header counts inside the file.
// With expectedRecords 0 or more the table must hold that many records (the shapes of the layer).
int DbfBytesState(const unsigned char* bytes, size_t size, long long fileSize, long long expectedRecords);

// The state of the table of the shapefile at path (its .shp or its name without extension).
int CheckDbfFile(const wchar_t* path, long long expectedRecords);
