// Resource identifiers of the main program.
#pragma once

#define IDS_ERROR_CAPTION      500
#define IDS_DB_OPEN_FAILED     501
#define IDS_ALREADY_RUNNING    513
#define IDS_SCHEMA_FAILED      519
#define IDS_WARNING_CAPTION    600
