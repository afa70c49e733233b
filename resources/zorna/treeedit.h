// Resource identifiers of the main program: see treeedit.rc.
#pragma once
