// Resource identifiers of the main program: see search.rc.
#pragma once
