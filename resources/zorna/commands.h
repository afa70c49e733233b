// Resource identifiers of the main window's commands and the configuration sheet: see commands.rc.
#pragma once

// ---- strings
#define IDS_CMD_SAVE_FAILED    1400  // a workspace file the user saved could not be written
#define IDS_CMD_NO_HELP_FILE   1401  // the help file is not in the program folder
