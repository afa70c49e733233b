// The main window's commands: menus, accelerators and both toolbars send them as WM_COMMAND.
#include <windows.h>

#include "browse/litlistsdlg.h"
#include "browse/workspace.h"
#include "mainapp/aboutbox.h"
#include "mainapp/mainform.h"

namespace {

const int kExitCommand = 108;
const int kAboutCommand = 906;
const UINT kCreditsString = 1103;
const int kLitListsFirst = 501;  // 501-503: the lists editor on the publishers, periodicals, authors
const int kLitListsLast = 503;
const int kLitNothing = 504;
const int kNewRecordCommand = 2001;
const int kEditRecordCommand = 2002;
const int kDeleteRecordsCommand = 2003;

// The literature lists editor, made on first use and kept by the main form; the literature
// card's author filter is filled again afterwards, since authors may have changed.
void RunLiteratureLists(MainForm* form, HWND mainWnd, int command)
{
    if (!form->LitListsEditor)
        form->LitListsEditor = new CEditLitJournalsDlg(form->hInstance);
    form->LitListsEditor->Show(mainWnd, command - kLitListsFirst);
    if (form->Workspace_)
        form->Workspace_->FillAuthorCombo(mainWnd);
}

}  // namespace

INT_PTR OnMainCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (LOWORD(wParam)) {
    case kExitCommand:
        // Closing goes the one way the window's close box goes: settings saved, window destroyed.
        PostMessageW(mainWnd, WM_CLOSE, 0, 0);
        return TRUE;
    case kAboutCommand:
        ShowAboutBox(mainWnd, form->hInstance, kCreditsString);
        return TRUE;
    case kLitListsFirst:
    case kLitListsFirst + 1:
    case kLitListsLast:
        RunLiteratureLists(form, mainWnd, LOWORD(wParam));
        return TRUE;
    case kLitNothing:
        return TRUE;
    case kNewRecordCommand:
        if (form->Workspace_)
            form->Workspace_->NewRecord(mainWnd);
        return TRUE;
    case kEditRecordCommand:
        if (form->Workspace_)
            form->Workspace_->EditRecord(mainWnd);
        return TRUE;
    case kDeleteRecordsCommand:
        if (form->Workspace_)
            form->Workspace_->DeleteRecords(mainWnd);
        return TRUE;
    }
    return FALSE;
}
