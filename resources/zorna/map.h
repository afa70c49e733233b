// Resource identifiers of the main program: see map.rc.
#pragma once
