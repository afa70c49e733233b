// The main window's commands: menus, accelerators and both toolbars send them as WM_COMMAND.
#include <windows.h>

#include <commctrl.h>

#include "browse/workspace.h"
#include "mainapp/aboutbox.h"
#include "mainapp/mainform.h"

namespace {

const int kExitCommand = 108;
const int kAboutCommand = 906;
const UINT kCreditsString = 1103;
const int kNewItemCommand = 301;
const int kRenameItemCommand = 302;
const int kDeleteItemCommand = 303;
const int kItemPropertiesCommand = 304;
// Code of the commands a component sends itself; lParam then carries its argument.
const WORD kCommandFromComponent = 2;

// The tree item a card's context menu sends with its command; none from menus and toolbars.
HTREEITEM ItemOfCommand(WPARAM wParam, LPARAM lParam)
{
    return HIWORD(wParam) == kCommandFromComponent ? reinterpret_cast<HTREEITEM>(lParam) : nullptr;
}

}  // namespace

INT_PTR OnMainCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case kExitCommand:
        // Closing goes the one way the window's close box goes: settings saved, window destroyed.
        PostMessageW(mainWnd, WM_CLOSE, 0, 0);
        return TRUE;
    case kAboutCommand:
        ShowAboutBox(mainWnd, form->hInstance, kCreditsString);
        return TRUE;
    case kNewItemCommand:
        if (form->Workspace_)
            form->Workspace_->NewItem(mainWnd, ItemOfCommand(wParam, lParam),
                                      HIWORD(wParam) != kCommandFromComponent);
        return TRUE;
    case kRenameItemCommand:
        if (form->Workspace_)
            form->Workspace_->RenameItem(mainWnd);
        return TRUE;
    case kDeleteItemCommand:
        if (form->Workspace_)
            form->Workspace_->DeleteItem(mainWnd, ItemOfCommand(wParam, lParam));
        return TRUE;
    case kItemPropertiesCommand:
        if (form->Workspace_)
            form->Workspace_->EditItem(mainWnd, ItemOfCommand(wParam, lParam));
        return TRUE;
    }
    return FALSE;
}
