#include "structure/levelsave.h"

#include <strsafe.h>

#include <algorithm>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/dbschema.h"
#include "core/msgbox.h"
#include "core/textutil.h"
#include "core/treewalk.h"
#include "dataaccess/enclose.h"
#include "resources/tarnix/resource.h"
#include "structure/schemadb.h"

using zdata::Recordset;
using namespace treewalk;

namespace {

// Shares of the step's progress: the level rows, the renumbering, the records' paths.
const double kRowsShare = 0.3;
const double kRenumberShare = 0.1;

class LevelSaver {
public:
    LevelSaver(CSchemaDb* db, HWND owner, const wchar_t* defTable, ItemList* levels, int hierarchy,
               StepProgress* progress)
        : db_(db), owner_(owner), defTable_(defTable), levels_(levels), progress_(progress),
          systematic_(hierarchy == HIERARCHY_SYSTEMATIC),
          lastId_(systematic_ ? &db->LastSysLevelId : &db->LastLocLevelId)
    {
        // The tree's names follow from the first three letters of the level table.
        std::wstring prefix = defTable_.substr(0, 3);
        for (wchar_t& c : prefix)
            c = (wchar_t)towupper(c);
        treeTable_ = prefix + L"TREE";
        levelColumn_ = prefix + L"LEVEL";
        idColumn_ = prefix[0] == L'S' ? L"SYSID" : L"FTRID";
    }

    bool Run();

private:
    bool AddLevel(LevelEntry* e, bool* moved);
    bool ChangeLevel(LevelEntry* e);
    bool DeleteLevel(LevelEntry* e);
    bool RenumberLevels(int first, int shift);
    bool RebuildRecordPaths(int low, int high);
    bool WriteLevelRow(Recordset* rs, const LevelEntry* e);
    bool Fail(HRESULT hr)
    {
        db_->ShowErrors(owner_, hr);
        return false;
    }
    Recordset* OpenLevelRow(int levelId)
    {
        std::wstring sql = L"SELECT * FROM " + defTable_ + L" WHERE LEVELID = " + std::to_wstring(levelId);
        return OpenRecordset(db_->GetConnection(), sql.c_str(), true, adLockOptimistic);
    }
    bool InPlace(const LevelEntry* e, int index) const
    {
        return e->OrigLevelId == index + 1 && e->NewLevelId == index + 1;
    }

    CSchemaDb* db_;
    HWND owner_;
    std::wstring defTable_;
    ItemList* levels_;
    StepProgress* progress_;
    bool systematic_;
    int* lastId_;
    std::wstring treeTable_, levelColumn_, idColumn_;
};

bool LevelSaver::Run()
{
    ListSnapshot snapshot(levels_);
    const int lastIdBefore = *lastId_;
    StepTransaction transaction(db_, owner_);
    bool ok = transaction.Active();
    int first = -1;  // the first index whose level is not in its place
    const int total = levels_->Count;
    for (int i = 0, done = 0; ok && i < levels_->Count; ++done) {
        LevelEntry* e = LevelAt(levels_, i);
        if (first < 0 && (!InPlace(e, i) || e->State == ENTRY_DELETED))
            first = i;
        if (e->State == ENTRY_DELETED) {
            ok = DeleteLevel(e);
            if (ok)
                ItemListDetachAt(levels_, i);  // freed once the step is committed
        } else {
            bool moved = false;
            if (e->State == ENTRY_NEW)
                ok = AddLevel(e, &moved);
            else if (e->State == ENTRY_CHANGED)
                ok = ChangeLevel(e);
            if (moved && first < 0)
                first = i;
            ++i;
        }
        ReportStep(progress_, kRowsShare * (done + 1) / (total ? total : 1));
    }
    if (ok && first >= 0)
        ok = RenumberLevels(first, *lastId_);
    if (!FinishStep(ok, &transaction, &snapshot, progress_)) {
        *lastId_ = lastIdBefore;
        return false;
    }
    return true;
}

// Columns 1 to 5 of a level row: name, data-level flag, the three icons (NULL for none).
bool LevelSaver::WriteLevelRow(Recordset* rs, const LevelEntry* e)
{
    VARIANT flag;
    VariantInit(&flag);
    flag.vt = VT_BOOL;
    flag.boolVal = e->DataLevel ? VARIANT_TRUE : VARIANT_FALSE;
    HRESULT hr = PutText(rs, 1, e->Name);
    if (SUCCEEDED(hr))
        hr = PutValue(rs, 2, flag);
    const VARIANT* icons[] = {&e->IconLarge, &e->IconSmall, &e->IconOpen};
    for (long k = 0; k < 3 && SUCCEEDED(hr); ++k)
        hr = PutValue(rs, 3 + k, icons[k]->vt == VT_EMPTY ? NullValue() : *icons[k]);
    if (SUCCEEDED(hr))
        hr = rs->Update();
    if (FAILED(hr)) {
        rs->CancelUpdate();
        return Fail(hr);
    }
    return true;
}

// A new level's row goes in under a number above every row (the renumbering then gives it its
// place, which another level may still hold), and the records get the path column of one level
// more.
bool LevelSaver::AddLevel(LevelEntry* e, bool* moved)
{
    RsHolder top(OpenRecordset(db_->GetConnection(), (L"SELECT MAX(LEVELID) FROM " + defTable_).c_str(), true,
                               adLockReadOnly));
    if (!top.IsOpen())
        return Fail(E_FAIL);
    int id = (IsEmptyRowset(top.get()) ? 0 : RowInt(top.get(), 0, 0)) + 1;
    if (id < 1)
        id = 1;
    RsHolder rs(OpenLevelRow(id));
    if (!rs.IsOpen())
        return Fail(E_FAIL);
    HRESULT hr = rs->AddNew();
    if (SUCCEEDED(hr))
        hr = PutInt(rs.get(), 0, id);
    if (FAILED(hr)) {
        rs->CancelUpdate();
        return Fail(hr);
    }
    if (!WriteLevelRow(rs.get(), e))
        return false;
    e->OrigLevelId = id;
    *moved = e->OrigLevelId != e->NewLevelId;
    const int n = *lastId_ + 1;
    *lastId_ = n;
    if (!RunStepStatement(db_, owner_, zor::AddLevelColumnSql(systematic_, n)))
        return false;
    e->State = ENTRY_UNCHANGED;
    return true;
}

bool LevelSaver::ChangeLevel(LevelEntry* e)
{
    RsHolder rs(OpenLevelRow(e->OrigLevelId));
    if (!rs.IsOpen())
        return Fail(E_FAIL);
    if (!WriteLevelRow(rs.get(), e))
        return false;
    e->State = ENTRY_UNCHANGED;
    return true;
}

// A level still holding tree items is not deleted (the file's key refuses it too). A level whose
// row is already gone drops no path column; otherwise the highest path column goes, whichever
// level was deleted: the renumbering rewrites the others.
bool LevelSaver::DeleteLevel(LevelEntry* e)
{
    std::wstring count = L"SELECT COUNT(*) FROM " + treeTable_ + L" WHERE " + levelColumn_ + L" = " +
                         std::to_wstring(e->OrigLevelId);
    RsHolder used(OpenRecordset(db_->GetConnection(), count.c_str(), true, adLockReadOnly));
    if (!used.IsOpen())
        return Fail(E_FAIL);
    if (!IsEmptyRowset(used.get()) && RowInt(used.get(), 0, 0) > 0) {
        wchar_t format[256] = L"", caption[64] = L"";
        LoadStringW(db_->hInstance, IDS_T_LEVEL_IN_USE, format, 256);
        LoadStringW(db_->hInstance, IDS_T_ERROR_CAPTION, caption, 64);
        wchar_t text[512];
        StringCchPrintfW(text, 512, format, e->Name);
        ZorMessageBox(MessageOwner(owner_), text, caption, MB_ICONERROR);
        return false;
    }
    long removed = 0;
    if (!RunStepStatement(db_, owner_, L"DELETE FROM " + defTable_ + L" WHERE LEVELID = ?",
                          {IntValue(e->OrigLevelId)}, &removed))
        return false;
    if (removed == 0)
        return true;
    std::wstring drop = L"ALTER TABLE ZORNACOLLS DROP COLUMN " +
                        zdata::QuoteIdentifier(zor::LevelColumnName(systematic_, *lastId_));
    if (!RunStepStatement(db_, owner_, drop))
        return false;
    --*lastId_;
    return true;
}

// Every row from the first moved place on is shifted out of the range of places first, so that
// no two rows share a LEVELID while each then takes its new number.
bool LevelSaver::RenumberLevels(int first, int shift)
{
    std::wstring sql = L"SELECT * FROM " + defTable_ + L" WHERE LEVELID > " + std::to_wstring(first);
    RsHolder rs(OpenRecordset(db_->GetConnection(), sql.c_str(), true, adLockOptimistic));
    if (!rs.IsOpen())
        return Fail(E_FAIL);
    if (!IsEmptyRowset(rs.get())) {
        // The highest number present may lie above the last level id (a new row waits there).
        for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext())
            shift = std::max(shift, RowInt(rs.get(), 0, 0));
        for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
            HRESULT hr = PutInt(rs.get(), 0, RowInt(rs.get(), 0, 0) + shift);
            if (SUCCEEDED(hr))
                hr = rs->Update();
            if (FAILED(hr)) {
                rs->CancelUpdate();
                return Fail(hr);
            }
        }
        for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
            LevelEntry* e = FindNewLevelId(RowInt(rs.get(), 0, 0) - shift, levels_);
            if (!e)
                return Fail(E_UNEXPECTED);  // a row the list does not know: nothing may be guessed
            HRESULT hr = PutInt(rs.get(), 0, e->NewLevelId);
            if (SUCCEEDED(hr))
                hr = rs->Update();
            if (FAILED(hr)) {
                rs->CancelUpdate();
                return Fail(hr);
            }
            // The entry found is the one renumbered; marked so that it is not matched again.
            e->OrigLevelId = e->NewLevelId;
            e->State = ENTRY_CHANGED;
        }
    }
    for (int i = 0; i < levels_->Count; ++i)
        LevelAt(levels_, i)->State = ENTRY_UNCHANGED;
    std::stable_sort(levels_->Items, levels_->Items + levels_->Count, [](void* a, void* b) {
        return static_cast<LevelEntry*>(a)->OrigLevelId < static_cast<LevelEntry*>(b)->OrigLevelId;
    });
    ReportStep(progress_, kRowsShare + kRenumberShare);
    return RebuildRecordPaths(first, *lastId_);
}

// The path columns above `low` of every record, from its tree item upwards. All records of one
// item share a path, so each item's path is worked out once from the tree in memory and written
// to its records in bulk. A broken tree (a cycle of parents) cannot hold the walk: it takes at
// most as many steps as there are levels.
bool LevelSaver::RebuildRecordPaths(int low, int high)
{
    if (high <= low)
        return true;
    struct Node {
        int parent;
        int level;
    };
    std::unordered_map<int, Node> tree;
    {
        std::wstring sql = L"SELECT ID, PARENT, " + levelColumn_ + L" FROM " + treeTable_;
        RsHolder rs(OpenRecordset(db_->GetConnection(), sql.c_str(), true, adLockReadOnly));
        if (!rs.IsOpen())
            return Fail(E_FAIL);
        if (!IsEmptyRowset(rs.get()))
            for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext())
                tree[RowInt(rs.get(), 0, -1)] = {RowInt(rs.get(), 1, -1), RowInt(rs.get(), 2, -1)};
    }
    // Each item's path: per column above low, not touched (-2), NULL (-1) or an item id.
    const int width = high - low;
    const int kUntouched = -2, kNull = -1;
    std::map<std::vector<bool>, std::vector<std::pair<int, std::vector<int>>>> byColumns;
    for (const auto& item : tree) {
        std::vector<int> path((size_t)width, kUntouched);
        int id = item.first, k = high;
        for (int steps = 0; k > low && steps < high; ++steps) {
            auto node = tree.find(id);
            if (node == tree.end())
                break;
            const int level = node->second.level;
            for (int c = std::max(level + 1, low + 1); c <= k && c <= high; ++c)
                path[(size_t)(c - low - 1)] = kNull;
            if (level > low && level <= high)
                path[(size_t)(level - low - 1)] = id;
            id = node->second.parent;
            k = level - 1;
        }
        std::vector<bool> touched((size_t)width);
        bool any = false;
        for (int c = 0; c < width; ++c)
            any |= touched[(size_t)c] = path[(size_t)c] != kUntouched;
        if (any)
            byColumns[touched].push_back({item.first, path});
    }
    // One statement per set of columns written (nearly always one): the records are read in
    // their own order and each finds its item's path by the item's id, so the table is passed
    // over once (the unary plus keeps the item index out of it, whose random reads cost more).
    size_t written = 0;
    for (const auto& group : byColumns) {
        std::vector<std::wstring> columns;
        for (int c = 0; c < width; ++c)
            if (group.first[(size_t)c])
                columns.push_back(zdata::QuoteIdentifier(zor::LevelColumnName(systematic_, low + 1 + c)));
        std::wstring names = L"ID", set, differs;
        for (size_t c = 0; c < columns.size(); ++c) {
            std::wstring value = L"P.V" + std::to_wstring(c);
            names += L", V" + std::to_wstring(c);
            set += (c ? L", " : L"") + columns[c] + L" = " + value;
            differs += (c ? L" OR " : L"") + columns[c] + L" IS NOT " + value;
        }
        std::wstring values;
        for (const auto& item : group.second) {
            values += (values.empty() ? L"(" : L", (") + std::to_wstring(item.first);
            for (int c = 0; c < width; ++c)
                if (group.first[(size_t)c]) {
                    int v = item.second[(size_t)c];
                    values += v == kNull ? std::wstring(L", NULL") : L", " + std::to_wstring(v);
                }
            values += L")";
        }
        // Only the records whose path differs are written.
        std::wstring sql = L"WITH P(" + names + L") AS (VALUES " + values + L") UPDATE ZORNACOLLS SET " + set +
                           L" FROM P WHERE P.ID = +ZORNACOLLS." + idColumn_ + L" AND (" + differs + L")";
        if (!RunStepStatement(db_, owner_, sql))
            return false;
        written += group.second.size();
        ReportStep(progress_, kRowsShare + kRenumberShare +
                                  (1.0 - kRowsShare - kRenumberShare) * written / (tree.empty() ? 1 : tree.size()));
    }
    return true;
}

}  // namespace

bool HasLevelChanges(const ItemList* levels)
{
    for (int i = 0; i < levels->Count; ++i) {
        const LevelEntry* e = LevelAt(levels, i);
        if (e->State != ENTRY_UNCHANGED || e->OrigLevelId != e->NewLevelId || e->OrigLevelId != i + 1)
            return true;
    }
    return false;
}

LevelEntry* FindNewLevelId(int oldId, const ItemList* levels)
{
    for (int i = 0; i < levels->Count; ++i) {
        LevelEntry* e = LevelAt(levels, i);
        if (e->State == ENTRY_UNCHANGED && e->OrigLevelId == oldId)
            return e;
    }
    return nullptr;
}

bool SaveLevels(CSchemaDb* db, HWND owner, const wchar_t* defTable, ItemList* levels, int hierarchy,
                StepProgress* progress)
{
    if (!HasLevelChanges(levels))
        return true;
    LevelSaver saver(db, owner, defTable, levels, hierarchy, progress);
    return saver.Run();
}
