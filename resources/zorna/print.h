// Resource identifiers of the main program: see print.rc.
#pragma once
