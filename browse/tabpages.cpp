// Page dialogs on a dialog's tab control.
#include "browse/tabpages.h"

RECT TabDisplayArea(HWND tabs)
{
    RECT area = {};
    GetClientRect(tabs, &area);
    SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, (LPARAM)&area);
    return area;
}

HWND CreateTabPage(HINSTANCE instance, const wchar_t* templateName, HWND tabs, const RECT& area,
                   DLGPROC proc, LPARAM param)
{
    HWND page = CreateDialogParamW(instance, templateName, tabs, proc, param);
    if (page)
        SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_HIDEWINDOW);
    return page;
}
