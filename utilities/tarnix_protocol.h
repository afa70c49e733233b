// Private messages of Tarnix's windows (the main program's range, WM_USER+4001 on, is apart).
#pragma once
#include <windows.h>

// Name dialog -> its page: may the name (lParam) be used? wParam 0 a new name, 1 a rename;
// the answer goes through DWLP_MSGRESULT.
#define ZM_CHECK_NAME          (WM_USER + 1)
// Page -> main form (the tab control's parent): the structure was edited.
#define ZM_PAGE_CHANGED        (WM_USER + 2)
// Posted by a level page to itself after a click on a check box: wParam the tree, lParam the
// item; handled once the box has toggled.
#define ZM_LEVEL_CHECK_CLICKED (WM_USER + 3)
// WM_USER + 4 is the import's ZM_IMPORT_ERRORS (import/importrun.h).
