#include "mainapp/searchcommand.h"

#include "browse/searchpage.h"
#include "browse/workspace.h"
#include "core/containers.h"
#include "core/database.h"
#include "core/msgbox.h"
#include "mainapp/mainform.h"

INT_PTR RunSearchCommand(MainForm* form, HWND mainWnd)
{
    if (!form || !form->SearchPage || !form->SearchPage->ShowSearchDlg(mainWnd))
        return FALSE;
    CDatabase* db = form->Database;
    const wchar_t* where = nullptr;
    if (db && db->RecordViewFields)
        where = form->SearchPage->BuildWhere(db->GetRecordViewFields(), db->RecordViewFields->GetCount());
    if (!where)
        ZorMessageBoxRes(mainWnd, form->hInstance, IDS_SEARCH_NO_CRITERIA, IDS_SEARCH_WARNING_CAPTION,
                         MB_ICONWARNING);
    if (form->Workspace_)
        form->Workspace_->RunSearch(mainWnd, where, 1);
    return FALSE;
}
