// The records exchange file (.zxf) of the previous version: occurrence records with the species
// path, the locality path with its coordinates, a territorial unit, seventeen record attributes
// and a cited publication.
//
// After the magic line and one more, a header block "BZadani" ... "rad=<order>" ... "EZadani";
// then species lines ("druh=", "poddruh=", "autor=", "rok=", "zavorky=") and records
// "BNalez" ... "ENalez", each with a "BLokalita" ... "ELokalita" block of locality keys. A key
// is matched case-sensitively at the start of its line; values carry over from record to record.
#pragma once
#include <windows.h>

class IImpSource;

// The source of type IMPSRC_RECORDS_2002.
IImpSource* CreateRecordsExchangeSource(HINSTANCE instance, int type);

// The file's magic (its first 21 bytes).
extern const char kRecordsExchangeMagic[];
