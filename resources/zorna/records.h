// Resource identifiers of the main program: see records.rc.
#pragma once
