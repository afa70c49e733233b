// The configuration property sheet "Konfigurace": the card font and the application caption, the
// custom columns, and the four pages of display lists (which columns each list shows, under which
// label, in which order). Each page writes its changes into the configuration when it is
// applied; the pass that changed something ends with one ZM_CONFIG_CHANGED to the main window.
#pragma once
#include <windows.h>

class ConfigData;
class CCustFld;

// One row of the custom columns page: the column the row started from (null for a column made
// while the sheet is open) and the one it stands for now (the same object while unchanged, a
// new object after an edit, null after a delete).
struct CustomFieldEdit
{
    CCustFld* Committed;
    CCustFld* Edited;
};

// Runs the sheet modally over the owner; 1 when the sheet reports that changes were saved.
int ShowConfigDialog(ConfigData* config, HWND owner);
