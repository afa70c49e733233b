// Resource identifiers of the Czech alphabetical order: see czechorder.rc.
#pragma once

#define IDS_CZECH_ORDER_MISSING 1250  // the collation extension did not load ("%s": its path)
