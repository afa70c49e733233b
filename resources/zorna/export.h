// Resource identifiers of the main program: see export.rc.
#pragma once
