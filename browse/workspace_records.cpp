// The tab workspace: entering and editing records on the page in front.
#include "browse/workspace.h"

#include "browse/recorddlg.h"
#include "browse/treecard.h"
#include "core/containers.h"
#include "core/ctlfill.h"
#include "core/itemrecords.h"

void Workspace::RunRecordDialog(HWND owner, int mode, int recordId)
{
    if (!RecordDlg)
        RecordDlg = new CEditRecordDlg(Instance);
    OccurrenceRecord record = {};
    record.Mode = mode;
    record.Id = recordId;
    record.SysId = mode == RECORD_MODE_NEW ? SysCard->GetCurrentId() : -1;
    record.FtrId = mode == RECORD_MODE_NEW ? LocCard->GetCurrentId() : -1;
    record.LitId = -1;
    VariantInit(&record.Note);
    record.Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 32, 8);
    if (RecordDlg->Show(owner, &record))
        RefreshAll(owner);
    ClearVariantArray(record.Values);
    delete record.Values;
    VariantClear(&record.Note);
}

void Workspace::NewRecord(HWND owner)
{
    int tab = GetCurrentTab(owner);
    if (tab >= TAB_SYSTEM && tab <= TAB_SEARCH)
        RunRecordDialog(owner, RECORD_MODE_NEW, -1);
    else if (tab == TAB_LITERATURE)
        RunLiteratureDialog(owner, false);
}

void Workspace::EditRecord(HWND owner)
{
    int tab = GetCurrentTab(owner);
    int recordId = -1;
    if (CTreeCard* card = CardOfTab(tab))
        recordId = card->GetSelectedRecordId();
    else if (tab == TAB_SEARCH)
        recordId = GetSearchRowId(-1);  // the first selected row
    else if (tab == TAB_LITERATURE)
        return RunLiteratureDialog(owner, true);
    else
        return;
    if (recordId >= 0)
        RunRecordDialog(owner, RECORD_MODE_EDIT, recordId);
}

void Workspace::ForgetRecordTemplate()
{
    if (RecordDlg)
        RecordDlg->ForgetTemplate();
}
