// The connection settings both programs keep: what to open and as whom. Filled by the
// connection dialog; opening reads only the database path.
#pragma once
#include <windows.h>

struct ConnSettings
{
    int ConnType;       // 1: a database file, the only type that opens anything
    wchar_t* UserName;  // malloc'd; not used for opening
    void* Reserved;     // never read
    wchar_t* DBName;    // malloc'd full path of the database file
};
