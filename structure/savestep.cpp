#include "structure/savestep.h"

#include <algorithm>

#include "core/treewalk.h"
#include "structure/schemadb.h"

bool RunStepStatement(CSchemaDb* db, HWND owner, const std::wstring& sql, const std::vector<VARIANT>& values,
                      long* affected)
{
    VARIANT count;
    VariantInit(&count);
    HRESULT hr = values.empty()
                     ? db->GetConnection()->Execute(sql.c_str(), &count, adExecuteNoRecords)
                     : treewalk::ExecuteBound(db->GetConnection(), sql.c_str(), values, &count);
    if (FAILED(hr)) {
        db->ShowErrors(owner, hr);
        return false;
    }
    if (affected)
        *affected = count.vt == VT_I4 ? count.lVal : 0;
    return true;
}

StepTransaction::StepTransaction(CSchemaDb* db, HWND owner) : db_(db), owner_(owner)
{
    HRESULT hr = db_->GetConnection()->BeginTrans();
    if (FAILED(hr))
        db_->ShowErrors(owner_, hr);
    else
        active_ = true;
}

StepTransaction::~StepTransaction()
{
    Rollback();
}

bool StepTransaction::Commit()
{
    if (!active_)
        return false;
    HRESULT hr = db_->GetConnection()->CommitTrans();
    if (FAILED(hr)) {
        db_->ShowErrors(owner_, hr);
        Rollback();
        return false;
    }
    active_ = false;
    return true;
}

void StepTransaction::Rollback()
{
    if (!active_)
        return;
    active_ = false;
    db_->GetConnection()->RollbackTrans();
}

ListSnapshot::ListSnapshot(ItemList* list) : list_(list), items_(list->Items, list->Items + list->Count)
{
    for (void* item : items_) {
        if (list_->Kind == ITEMLIST_LEVELS) {
            auto* e = static_cast<LevelEntry*>(item);
            fields_.push_back({e->State, e->OrigLevelId, e->NewLevelId});
        } else {
            auto* e = static_cast<AttrEntry*>(item);
            fields_.push_back({e->State, e->Position, 0});
        }
    }
}

void ListSnapshot::Restore()
{
    // A step only takes entries out or reorders them, so the array is large enough.
    std::copy(items_.begin(), items_.end(), list_->Items);
    list_->Count = (int)items_.size();
    for (size_t i = 0; i < items_.size(); ++i) {
        if (list_->Kind == ITEMLIST_LEVELS) {
            auto* e = static_cast<LevelEntry*>(items_[i]);
            e->State = fields_[i].State;
            e->OrigLevelId = fields_[i].A;
            e->NewLevelId = fields_[i].B;
        } else {
            auto* e = static_cast<AttrEntry*>(items_[i]);
            e->State = fields_[i].State;
            e->Position = fields_[i].A;
        }
    }
}

void ListSnapshot::Keep()
{
    for (void* item : items_) {
        if (ItemListIndexOf(list_, item) >= 0)
            continue;
        if (list_->Kind == ITEMLIST_LEVELS)
            FreeLevelEntry(static_cast<LevelEntry*>(item));
        else
            FreeAttrEntry(static_cast<AttrEntry*>(item));
    }
    Forget();
}

void ListSnapshot::Forget()
{
    items_.clear();
    fields_.clear();
}

bool FinishStep(bool ok, StepTransaction* transaction, ListSnapshot* snapshot, StepProgress* progress)
{
    if (ok && progress && progress->Cancelled())
        ok = false;
    if (ok)
        ok = transaction->Commit();
    else
        transaction->Rollback();
    if (!ok) {
        snapshot->Restore();
        return false;
    }
    if (progress && progress->CallerHoldsLists())
        snapshot->Forget();
    else
        snapshot->Keep();
    ReportStep(progress, 1.0);
    return true;
}
