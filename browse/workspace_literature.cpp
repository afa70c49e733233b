// The tab workspace's literature commands: the publication dialog on a new publication or on the
// one selected in the literature card.
#include "browse/workspace.h"

#include <oleauto.h>

#include "browse/litcard.h"
#include "browse/litrecorddlg.h"
#include "core/containers.h"
#include "core/ctlfill.h"
#include "core/literature.h"

void Workspace::RunLiteratureDialog(HWND owner, bool edit)
{
    if (!LitCard)
        return;
    int id = -1;
    if (edit) {
        id = LitCard->GetSelectedId();
        if (id < 0)
            return;  // nothing selected: nothing to edit
    }
    if (!LitRecordDlg)
        LitRecordDlg = new CEditLitRecordDlg(Instance);
    LiteratureRecord record = {};
    record.Mode = edit ? 2 : 1;
    record.Id = id;
    record.Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 32, 8);
    record.Authors = new CPtrArray(PTRARRAY_OWNS_ITEMS, 32, 8);
    record.Keywords = new CPtrArray(PTRARRAY_OWNS_ITEMS, 32, 8);
    record.SpeciesIds = new CIntArray(32, 8);
    record.LocalityIds = new CIntArray(32, 8);
    VariantInit(&record.Abstract);
    if (LitRecordDlg->Show(owner, &record))
        RefreshAll(owner);
    // Whatever the result: the dialog may have added authors.
    LitCard->FillAuthorCombo(owner);
    VariantClear(&record.Abstract);
    ClearVariantArray(record.Values);
    delete record.Values;
    delete record.Authors;
    delete record.Keywords;
    delete record.SpeciesIds;
    delete record.LocalityIds;
}
