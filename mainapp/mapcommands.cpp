#include "mainapp/mapcommands.h"

#include <initializer_list>

#include "browse/workspace.h"
#include "mainapp/mainform.h"
#include "mainapp/toolbars.h"
#include "map/mnglistdlg.h"
#include "resources/zorna/resource.h"

INT_PTR OnMapToolCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    // The map menu is a popup of its own, in the bar only while a map is shown: its check
    // marks are kept in the popup too.
    for (HMENU menu : {GetMenu(mainWnd), form->MapMenu})
        if (menu)
            for (int tool = IDM_ZOOMIN; tool <= IDM_PAN; ++tool)
                CheckMenuItem(menu, tool, MF_BYCOMMAND | (tool == id ? MF_CHECKED : MF_UNCHECKED));
    if ((code == 0 || lParam == 0) && form->Toolbar)
        form->Toolbar->CheckMapTool(id);
    if ((code == 0 || lParam != 0) && form->Workspace_) {
        const int tool = id == IDM_ZOOMIN ? 1 : id == IDM_ZOOMOUT ? 2 : 0;
        form->Workspace_->SetMapTool(mainWnd, tool);
    }
    return TRUE;
}

INT_PTR OnShowAllMapCommand(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    if (form->Workspace_)
        form->Workspace_->ShowAllMap(mainWnd);
    return TRUE;
}

INT_PTR OnNewMapCommand(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    if (form->Workspace_)
        form->Workspace_->NewMap(mainWnd, form->GridList);
    return TRUE;
}

INT_PTR OnCloseMapCommand(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    if (form->Workspace_)
        form->Workspace_->CloseMap(mainWnd);
    return TRUE;
}

INT_PTR OnRenameMapCommand(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    if (form->Workspace_)
        form->Workspace_->RenameMap(mainWnd);
    return TRUE;
}

INT_PTR OnLoadGraphicsCommand(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    if (form->Workspace_)
        form->Workspace_->LoadGraphics(mainWnd);
    return TRUE;
}

INT_PTR OnListManagerCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM)
{
    if (!form->GridListDlg)
        form->GridListDlg = new CMngListDlg(form->hInstance);
    if (LOWORD(wParam) == IDM_COORDSYSTEMS) {
        form->GridListDlg->Show(mainWnd, MNGLIST_COORD_SYSTEMS, nullptr);
        return TRUE;
    }
    // The maps' grid combos point into the list that was just replaced.
    if (form->GridListDlg->Show(mainWnd, MNGLIST_GRIDS, form->GridList) && form->Workspace_)
        form->Workspace_->SetGridList(form->GridList);
    return TRUE;
}

INT_PTR OnAddQueryCommand(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    if (form->Workspace_)
        form->Workspace_->AddQueryLayer(mainWnd);
    return FALSE;
}
