/* The SQLite extension that gives SQLite the Czech order: the collations CZECH (the full order,
 * for ORDER BY) and CZECH_NOCASE (equal ignoring case only, for matching names). The SQLite3
 * ODBC driver loads it through its LoadExt connection option; SQLite finds the entry point by the
 * file name (libczechcollation.so on the host, czechcollation.dll on Windows):
 * sqlite3_czechcollation_init.
 *
 * Only new collation names are defined: the collations that the file's schema declares (BINARY,
 * NOCASE) are never redefined, so indexes built by any other SQLite tool stay consistent and the
 * file stays readable without this extension. */
#include <sqlite3ext.h>

#include "czechorder.h"

SQLITE_EXTENSION_INIT1

#ifdef _WIN32
#define CZ_EXPORT __declspec(dllexport)
#else
#define CZ_EXPORT __attribute__((visibility("default")))
#endif

static int CollateCzech(void* unused, int lengthA, const void* a, int lengthB, const void* b)
{
    (void)unused;
    return CzCompareUtf8((const unsigned char*)a, lengthA > 0 ? (size_t)lengthA : 0,
                         (const unsigned char*)b, lengthB > 0 ? (size_t)lengthB : 0);
}

static int CollateCzechNoCase(void* unused, int lengthA, const void* a, int lengthB, const void* b)
{
    (void)unused;
    return CzCompareNoCaseUtf8((const unsigned char*)a, lengthA > 0 ? (size_t)lengthA : 0,
                               (const unsigned char*)b, lengthB > 0 ? (size_t)lengthB : 0);
}

CZ_EXPORT int sqlite3_czechcollation_init(sqlite3* db, char** error, const sqlite3_api_routines* api)
{
    int rc;
    (void)error;
    SQLITE_EXTENSION_INIT2(api);
    rc = sqlite3_create_collation_v2(db, "CZECH", SQLITE_UTF8, 0, CollateCzech, 0);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_collation_v2(db, "CZECH_NOCASE", SQLITE_UTF8, 0, CollateCzechNoCase, 0);
    return rc;
}
