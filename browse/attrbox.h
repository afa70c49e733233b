// The attribute property boxes of the edit dialogs: their requests answered through the main
// window, so the dialogs never read the database themselves.
#pragma once
#include <windows.h>

// Sends a private message to the main window and reads its result from the result slot (some
// handlers return FALSE, so SendMessage's own answer is not the result for every message).
LONG_PTR SendZmResult(HWND mainWnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Answers a notification of an attribute property box (PropBoxNotify, or a ComboItemRequest
// the box passes on from its list editor): the button of a long-text attribute opens
// EDITMEMODLG over the dialog; the list count, row texts and type-ahead of a lookup attribute
// come from the main window's lookup cache of the attribute's table (lookupKind, a LookupKind).
// Only attributes of the two lookup types ask for lookups. True when the notification was one
// of these (the dialog then answers TRUE).
bool AnswerAttrBoxNotify(HWND mainWnd, HINSTANCE instance, HWND dialog, const NMHDR* header,
                         int lookupKind);

// The index of the item a notification concerns (the same field in both records).
int AttrBoxNotifyItem(const NMHDR* header);
