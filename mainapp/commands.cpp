// The main window's commands: menus, accelerators and both toolbars send them as WM_COMMAND.
#include <windows.h>

#include <commctrl.h>

#include "browse/litlistsdlg.h"
#include "browse/termsdlg.h"
#include "browse/workspace.h"
#include "common/aboutbox.h"
#include "mainapp/configdata.h"
#include "mainapp/mainform.h"
#include "mainapp/mapcommands.h"
#include "mainapp/searchcommand.h"
#include "reports/printform.h"
#include "resources/zorna/resource.h"

namespace {

const int kExitCommand = 108;
const int kAboutCommand = 906;
const int kExportCommand = 2004;
const UINT kCreditsString = 1103;
const int kLitNothing = 504;  // a literature command without a menu item

// The literature lists editor, made on first use and kept by the main form; the literature
// card's author filter is filled again afterwards, since authors may have changed.
void RunLiteratureLists(MainForm* form, HWND mainWnd, int command)
{
    if (!form->LitListsEditor)
        form->LitListsEditor = new CEditLitJournalsDlg(form->hInstance);
    // 501-503: the publishers, periodicals or authors in front.
    form->LitListsEditor->Show(mainWnd, command - IDM_LITLISTS1);
    if (form->Workspace_)
        form->Workspace_->FillAuthorCombo(mainWnd);
}

// The configuration's field list of a record list's tab (0-2); null for the other tabs.
CObjArray* PrintFieldsOfTab(MainForm* form, int tab)
{
    ConfigData* config = form->Config;
    if (!config)
        return nullptr;
    switch (tab) {
    case TAB_SYSTEM: return config->SysFields;
    case TAB_LOCALITIES: return config->LocFields;
    case TAB_SEARCH: return config->SearchFields;
    default: return nullptr;
    }
}

}  // namespace

INT_PTR OnMainCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam)
{
    // Code 2: a component sent the command itself, with its argument in lParam.
    bool fromComponent = HIWORD(wParam) == 2;
    // The tree item a card's context menu sends with its command; none from menus and toolbars.
    HTREEITEM menuItem = fromComponent ? reinterpret_cast<HTREEITEM>(lParam) : nullptr;
    switch (LOWORD(wParam)) {
    case IDM_TERMS:
        if (!form->TermsEditor)
            form->TermsEditor = new CEditTermsDlg(form->hInstance);
        // The print form names the window the editor belongs to.
        form->TermsEditor->Show(mainWnd, fromComponent && lParam ? (HWND)lParam : mainWnd);
        return TRUE;
    case IDM_PAGESETUP:
        if (form->Workspace_ && form->Workspace_->ReportForm)
            form->Workspace_->ReportForm->ShowPageSetupDlg(mainWnd);
        return TRUE;
    case IDM_PRINT:
    case IDM_TBPRINT:
        if (form->Workspace_) {
            int tab = form->Workspace_->GetCurrentTab(mainWnd);
            // The literature list has no printed form.
            if (tab != TAB_LITERATURE)
                form->Workspace_->PrintPage(mainWnd, PrintFieldsOfTab(form, tab), tab);
        }
        return TRUE;
    case IDM_NEWRECORD:
        if (form->Workspace_)
            form->Workspace_->NewRecord(mainWnd);
        return TRUE;
    case IDM_EDITRECORD:
        if (form->Workspace_)
            form->Workspace_->EditRecord(mainWnd);
        return TRUE;
    case IDM_DELETERECORDS:
        if (form->Workspace_)
            form->Workspace_->DeleteRecords(mainWnd);
        return TRUE;
    case kExitCommand:
        // Closing goes the one way the window's close box goes: settings saved, window destroyed.
        PostMessageW(mainWnd, WM_CLOSE, 0, 0);
        return TRUE;
    case IDM_SEARCH:
        return RunSearchCommand(form, mainWnd);
    case kAboutCommand:
        ShowAboutBox(mainWnd, form->hInstance, kCreditsString);
        return TRUE;
    case IDM_NEWITEM:
        if (form->Workspace_)
            form->Workspace_->NewItem(mainWnd, menuItem, !fromComponent);
        return TRUE;
    case IDM_RENAMEITEM:
        if (form->Workspace_)
            form->Workspace_->RenameItem(mainWnd);
        return TRUE;
    case IDM_DELETEITEM:
        if (form->Workspace_)
            form->Workspace_->DeleteItem(mainWnd, menuItem);
        return TRUE;
    case IDM_ITEMPROPERTIES:
        if (form->Workspace_)
            form->Workspace_->EditItem(mainWnd, menuItem);
        return TRUE;
    case IDM_ZOOMIN:
    case IDM_ZOOMOUT:
    case IDM_PAN:
        return OnMapToolCommand(form, mainWnd, wParam, lParam);
    case IDM_SHOWALL:
        return OnShowAllMapCommand(form, mainWnd, wParam, lParam);
    case IDM_NEWMAP:
        return OnNewMapCommand(form, mainWnd, wParam, lParam);
    case IDM_CLOSEMAP:
        return OnCloseMapCommand(form, mainWnd, wParam, lParam);
    case IDM_RENAMEMAP:
        return OnRenameMapCommand(form, mainWnd, wParam, lParam);
    case IDM_LOADGRAPHICS:
        return OnLoadGraphicsCommand(form, mainWnd, wParam, lParam);
    case IDM_COORDSYSTEMS:
    case IDM_GRIDS:
        return OnListManagerCommand(form, mainWnd, wParam, lParam);
    case IDM_ADDQUERY:
        return OnAddQueryCommand(form, mainWnd, wParam, lParam);
    case IDM_LITLISTS1:
    case IDM_LITLISTS2:
    case IDM_LITLISTS3:
        RunLiteratureLists(form, mainWnd, LOWORD(wParam));
        return TRUE;
    case kLitNothing:
        return TRUE;
    case kExportCommand:
        return ExportCurrentTab(form, mainWnd);
    }
    return FALSE;
}
