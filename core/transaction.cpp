#include "core/transaction.h"

#include "core/database.h"
#include "core/rsutil.h"

WriteTransaction::~WriteTransaction()
{
    if (active_)
        Rollback();
}

bool WriteTransaction::Begin()
{
    if (FAILED(db_->AdoConnection->BeginTrans())) {
        db_->ReportAdoErrors();
        return false;
    }
    // Read inside the transaction, the structure cannot change before the write, and no read
    // waits out another program's lock before the begin does; the box comes after the rollback.
    if (db_->StructureChangedElsewhere()) {
        db_->AdoConnection->RollbackTrans();
        db_->ReportStructureChanged();
        return false;
    }
    active_ = true;
    return true;
}

bool WriteTransaction::Commit()
{
    if (!active_)
        return false;
    if (FAILED(db_->AdoConnection->CommitTrans())) {
        Fail();
        return false;
    }
    active_ = false;
    return true;
}

int WriteTransaction::Fail(bool errorsShown)
{
    if (!errorsShown)
        db_->ReportAdoErrors();
    Rollback();
    return 0;
}

void WriteTransaction::Rollback(bool reread)
{
    if (!active_)
        return;
    active_ = false;
    db_->AdoConnection->RollbackTrans();
    if (!reread)
        return;
    if (requeryCaches_)
        RequeryCachesAfterRollback(db_);
    else if (tree_)
        tree_->Requery();
}

void RequeryCachesAfterRollback(CDatabase* db)
{
    RequeryIfOpen({db->SysTreeRs, db->LocTreeRs, db->SpeciesNamesRs, db->FeatureNamesRs,
                   db->SysAuthorsRs});
    for (int i = 0; i < db->LookupCache->GetCount(); i++) {
        LookupCacheEntry* entry = (LookupCacheEntry*)db->LookupCache->GetItems()[i];
        if (entry && entry->Recordset != db->SysAuthorsRs)
            RequeryIfOpen(entry->Recordset);
    }
}
