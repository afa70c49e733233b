// Resource identifiers of the main program: see commands.rc.
#pragma once
