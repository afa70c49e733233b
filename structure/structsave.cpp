#include "structure/structsave.h"

#include <strsafe.h>

#include <memory>

#include "core/msgbox.h"
#include "resources/tarnix/resource.h"
#include "structure/attrsave.h"
#include "structure/levelsave.h"
#include "structure/progressdlg.h"
#include "structure/savestep.h"
#include "structure/schemadb.h"
#include "structure/structmodel.h"

namespace {

// A step that runs longer than this shows what it saves.
const DWORD kQuietStepMs = 1000;
const int kStepCount = 8;

// The bar after `step` of the eight steps: 0, 12, 25, 37 ... 100.
int StepPosition(int step)
{
    return (int)(step * 12.5);
}

// The part of the bar one step owns, and its status once it has run for a second.
class WorkerStep : public StepProgress {
public:
    WorkerStep(ProgressParams* params, int step)
        : params_(params), step_(step), from_(StepPosition(step)), to_(StepPosition(step + 1)),
          start_(GetTickCount())
    {
    }
    ~WorkerStep() override
    {
        if (shown_)
            ProgressSetStatus(params_, IDS_T_SAVE_STATUS);
    }
    void Advance(double done) override
    {
        if (!shown_ && GetTickCount() - start_ > kQuietStepMs) {
            shown_ = true;
            // The step's name is the caption of its page (tabs 1-8 are in the steps' order).
            wchar_t format[128] = L"", page[64] = L"", text[256] = L"";
            LoadStringW(params_->hInstance, IDS_T_SAVE_STEP, format, 128);
            LoadStringW(params_->hInstance, IDS_T_TAB_SYSLEVELS + step_, page, 64);
            StringCchPrintfW(text, 256, format, page);
            SendDlgItemMessageW(params_->Dialog, IDC_PROGRESS_STATUS, WM_SETTEXT, 0,
                                reinterpret_cast<LPARAM>(text));
        }
        if (done > 1)
            done = 1;
        int position = from_ + (int)((to_ - from_) * done);
        if (position >= to_)
            position = to_ - 1;  // the step's end is reported by the worker itself
        params_->Callback(position, params_);
    }
    bool Cancelled() override { return params_->Cancel.load(); }
    bool CallerHoldsLists() override { return true; }

private:
    ProgressParams* params_;
    int step_, from_, to_;
    DWORD start_;
    bool shown_ = false;
};

const wchar_t* const kLevelTables[2] = {L"SYSDEF", L"LOCDEF"};

// What the save's lists and last level ids held before it: a save that does not commit puts
// them back, so that the pages' entries stay valid and the next save tries every edit again.
class SaveSnapshot {
public:
    SaveSnapshot(CSchemaDb* db, StructureModel* model)
        : db_(db), sysLevelId_(db->LastSysLevelId), locLevelId_(db->LastLocLevelId)
    {
        for (int k = 0; k < MODEL_LIST_COUNT; ++k)
            lists_[k].reset(new ListSnapshot(&model->Lists[k]));
    }
    void Restore()
    {
        for (auto& list : lists_)
            list->Restore();
        db_->LastSysLevelId = sysLevelId_;
        db_->LastLocLevelId = locLevelId_;
    }
    void Keep()
    {
        for (auto& list : lists_)
            list->Keep();
    }

private:
    CSchemaDb* db_;
    int sysLevelId_, locLevelId_;
    std::unique_ptr<ListSnapshot> lists_[MODEL_LIST_COUNT];
};

}  // namespace

bool StartSave(void* schemaDb, ProgressParams* params)
{
    ProgressSetTitle(params, IDS_T_SAVE_TITLE);
    ProgressSetStatus(params, IDS_T_SAVE_STATUS);
    return StartProgressWorker(params, SaveWorker, &static_cast<CSchemaDb*>(schemaDb)->SaveThreadId);
}

DWORD WINAPI SaveWorker(LPVOID p)
{
    auto* params = static_cast<ProgressParams*>(p);
    ProgressEndByWorker(params, RunStructureSave(params) ? 1 : 0);
    return 0;
}

bool RunStructureSave(ProgressParams* params)
{
    auto* db = static_cast<CSchemaDb*>(params->Argument);
    StructureModel* model = params->Model;
    HWND owner = params->Dialog;
    // The whole save is one transaction, each step a savepoint of it: a failure, a Storno or a
    // killed process leaves the file as it was before the save.
    SaveSnapshot before(db, model);
    StepTransaction whole(db, owner);
    bool ok = whole.Active();
    bool cancelled = params->Callback(0, params);
    for (int step = 0; step < kStepCount && ok && !cancelled; ++step) {
        WorkerStep progress(params, step);
        if (step < 2) {
            ok = SaveLevels(db, owner, kLevelTables[step], &model->Lists[MODEL_SYS_LEVELS + step],
                            step == 0 ? HIERARCHY_SYSTEMATIC : HIERARCHY_LOCALITY, &progress);
        } else {
            int list = MODEL_SYSTREE_ATTRS + step - 2;
            ok = SaveAttributes(db, owner, AttrListTable(list), &model->Lists[list],
                                list == MODEL_RECORD_ATTRS ? ATTR_INDEX_RECORDS : ATTR_INDEX_NONE, &progress);
        }
        // A stop asked for during the step has rolled it back; it is no failure of its own.
        cancelled = params->Callback(StepPosition(step + 1), params);
        if (cancelled)
            ok = false;
    }
    if (ok)
        ok = whole.Commit();  // a refused commit has shown its errors and rolled back
    else
        whole.Rollback();
    if (ok)
        before.Keep();
    else
        before.Restore();
    if (cancelled)
        ShowSaveCancelled(db, owner);
    return ok;
}

void ShowSaveCancelled(CSchemaDb* db, HWND owner)
{
    // The user stopped it: no error, under the title of the save.
    ZorMessageBoxRes(MessageOwner(owner), db->hInstance, IDS_T_SAVE_CANCELLED, IDS_T_SAVE_TITLE, MB_ICONINFORMATION);
}
