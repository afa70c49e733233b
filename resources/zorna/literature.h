// Resource identifiers of the main program: see literature.rc.
#pragma once

// Refusals of the literature catalogue (caption IDS_ERROR_CAPTION).
#define IDS_LIT_CITED_BY_RECORDS  1600  // a publication that records cite is not deleted
#define IDS_LIT_NAME_IN_USE       1601  // a publisher, periodical or author still in use
