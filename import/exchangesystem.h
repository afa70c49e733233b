// The systematic exchange file (.zxs) of the previous version: after the magic line and one
// more, one taxon per line in eight TAB-separated fields: order, family, genus, species,
// subspecies (empty for a species), author, year of description, parentheses flag.
#pragma once
#include <windows.h>

class IImpSource;

// The source of type IMPSRC_SYSTEM_2002.
IImpSource* CreateSystemExchangeSource(HINSTANCE instance, int type);

// The file's magic (its first 17 bytes).
extern const char kSystemExchangeMagic[];
