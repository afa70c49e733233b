// The main window's commands: menus, accelerators and both toolbars send them as WM_COMMAND.
#include <windows.h>

#include "browse/litlistsdlg.h"
#include "browse/termsdlg.h"
#include "browse/workspace.h"
#include "common/aboutbox.h"
#include "mainapp/mainform.h"
#include "mainapp/searchcommand.h"
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

}  // namespace

INT_PTR OnMainCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam)
{
    // Code 2: a component sent the command itself, with its argument in lParam.
    bool fromComponent = HIWORD(wParam) == 2;
    switch (LOWORD(wParam)) {
    case IDM_TERMS:
        if (!form->TermsEditor)
            form->TermsEditor = new CEditTermsDlg(form->hInstance);
        // The print form names the window the editor belongs to.
        form->TermsEditor->Show(mainWnd, fromComponent && lParam ? (HWND)lParam : mainWnd);
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
    case IDM_LITLISTS1:
    case IDM_LITLISTS2:
    case IDM_LITLISTS3:
        RunLiteratureLists(form, mainWnd, LOWORD(wParam));
        return TRUE;
    case kLitNothing:
        return TRUE;
    case kExportCommand:
        return ExportRecordList(form, mainWnd);
    }
    return FALSE;
}
