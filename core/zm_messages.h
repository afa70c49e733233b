// The main window's private messages that core code sends or posts. Only the ids the database
// object needs are here; the main window's full message protocol (shellcontract/zm_protocol.h)
// includes them and numbers the rest around them.
#pragma once
#include <windows.h>

// Posted by the connection events sink when an open attempt has finished, whatever its outcome:
// wParam 0, lParam the progress window (or null). The receiver asks IsOpen itself.
#define ZM_DB_OPENED (WM_USER + 4001)

// Sent by the database object after a taxon was given another place among its siblings:
// wParam the wanted position, lParam the taxon's id. The systematic card re-sorts the children.
#define ZM_RESELECT_SYS_ITEM (WM_USER + 4021)
// Sent by the database object after a rename changed stored names: wParam 1 systematic,
// 2 locality; lParam the item's id.
#define ZM_REFRESH_TREE_CARD (WM_USER + 4022)

// Sent by the database object when it saves a tree item: wParam 1 systematic, else locality;
// lParam the level id. The answer is non-zero when the level's items carry data rows (and
// records); 0 for a level the main window does not know.
#define ZM_FIND_LEVEL (WM_USER + 4026)
