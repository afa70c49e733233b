// The locality exchange file (.zxl) of the previous version: after the magic line and one more,
// one locality per line in thirteen TAB-separated fields: country and its abbreviation, district
// and its abbreviation, municipality with its longitude and latitude (DDMMSS), locality with its
// longitude, latitude and altitude (DDMMSS too), a field not read, and the territorial unit.
#pragma once
#include <windows.h>

class IImpSource;

// The source of type IMPSRC_LOCALITY_2002.
IImpSource* CreateLocalityExchangeSource(HINSTANCE instance, int type);

// The file's magic (its first 20 bytes).
extern const char kLocalityExchangeMagic[];
