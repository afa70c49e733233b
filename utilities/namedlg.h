// The name dialog (EDITNAMEDLG): asks for the name of a new level or attribute, or a new name for
// an existing one. It trims the text and asks its owner page whether the name may be used
// (ZM_CHECK_NAME, answered through the page's DWLP_MSGRESULT); a refused name keeps it open with
// string 204, a text longer than a stored name with the limit. The rule of what may be used
// belongs to the page.
#pragma once
#include <windows.h>

// The longest name, without its terminator; callers' buffers hold at least kNameBufferLength.
const int kNameMaxLength = 63;
const int kNameBufferLength = 64;

enum NameMode {
    NAME_NEW = 0,
    NAME_RENAME = 1,
};

// The request the dialog is given; text holds the proposed text on entry and the accepted name
// on OK (a buffer of kNameBufferLength).
struct NameRequest {
    HINSTANCE hInstance;
    HWND Owner;
    int Mode;
    wchar_t* Text;
};

// The dialog with mode NAME_NEW or NAME_RENAME; true when the user accepted a name, which is
// then in text, trimmed. Cancel leaves text as it was.
bool AskName(HINSTANCE instance, HWND owner, wchar_t* text);
bool AskRename(HINSTANCE instance, HWND owner, wchar_t* text);

// Removes leading and trailing blanks (U+0020 only) in place; the new length.
int TrimName(wchar_t* text);

INT_PTR CALLBACK NameDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
