// Page dialogs on a dialog's tab control: made on the tab control's display area, hidden and shown
// as the tabs change.
#pragma once
#include <windows.h>
#include <commctrl.h>

// The tab control's display area in its own client coordinates.
RECT TabDisplayArea(HWND tabs);
// A page dialog made as a hidden child of the tab control, on the area.
HWND CreateTabPage(HINSTANCE instance, const wchar_t* templateName, HWND tabs, const RECT& area,
                   DLGPROC proc, LPARAM param);

// The tab control's change notices to its dialog: TCN_SELCHANGING hides the page of the tab being
// left, TCN_SELCHANGE shows the page of the new one. pageOf(tab) gives a tab's window (null for
// none). True when the notice was one of the two; the dialog's answer is set then.
template <typename PageOf>
bool SwitchTabPage(HWND dialog, const NMHDR* header, PageOf pageOf)
{
    if (header->code != (UINT)TCN_SELCHANGING && header->code != (UINT)TCN_SELCHANGE)
        return false;
    int tab = (int)SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0);
    bool leaving = header->code == (UINT)TCN_SELCHANGING;
    if (HWND page = pageOf(tab))
        ShowWindow(page, leaving ? SW_HIDE : SW_SHOW);
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, FALSE);  // the change is never refused
    return true;
}
