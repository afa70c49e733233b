// The value lists of a property box's lookup attributes, answered for an edit dialog through the
// main window's lookup messages: the box asks for the number of entries when its list opens, and
// its in-place combo asks for each row's text and searches while the user types.
#pragma once
#include <windows.h>
#include <commctrl.h>

// Answers PBXN_GETLISTCOUNT, ICBN_GETTEXTLENGTH, ICBN_GETTEXT and ICBN_FINDSTRING from a property
// box whose items carry their CustomAttrDef as item data. lookupKind is the owning table's kind
// of ZM_GET_LOOKUP_VALUES (1-6). A table that cannot be opened (the 16-bit "none") lists nothing.
// Returns true when the notice was one of these requests (*result is the dialog's answer).
bool AnswerLookupRequest(HWND mainWnd, const NMHDR* header, int lookupKind, LRESULT* result);
