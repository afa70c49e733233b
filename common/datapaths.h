// Where Zorna's files lie when nothing names them: below the common application-data folder.
// Zorna opens its default database there, and both programs' open dialogs start in its folder.
#pragma once
#include <string>

// The common application-data folder with a trailing backslash (empty when unknown).
std::wstring CommonAppDataFolder();
// The database used when no workspace file names one: ...\Kelvane\Zorna2011\Data\ZorBase.mdb.
std::wstring DefaultDatabasePath();
