// String-table entries of the schema check at open (core/schemacheck.h), the same in both
// programs' string tables (their resource scripts include this file).
#pragma once

#define IDS_SCHEMA_MISSING_TABLE  1260  // "%s": the file, "%s": the table or view
#define IDS_SCHEMA_MISSING_COLUMN 1261  // "%s": the file, "%s": the table, "%s": the column
