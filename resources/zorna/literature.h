// Resource identifiers of the main program: see literature.rc.
#pragma once
