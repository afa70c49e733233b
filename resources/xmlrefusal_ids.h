// String-table entries of a settings file that was not read (core/xmlrefusal.h), the same in
// both programs' string tables (their resource scripts include resources/xmlrefusal.rc).
#pragma once

#define IDS_XML_DAMAGED    1270  // "%s": the file
#define IDS_XML_DOCTYPE    1271  // "%s": the file
#define IDS_XML_TOO_LARGE  1272  // "%s": the file, "%s": the limit in MB
