#include "utilities/dbcheck.h"

#include <strsafe.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/composednames.h"
#include "core/textutil.h"
#include "core/treewalk.h"
#include "resources/tarnix/resource.h"
#include "utilities/progressdlg.h"
#include "utilities/structmodel.h"

using zdata::Connection;
using zdata::Field;
using zdata::Fields;
using zdata::Recordset;
using namespace treewalk;

namespace {

// Column ordinals (the column order is part of the database format).
const long kTreeId = 0, kTreeLevel = 2;
const long kSpeciesName = 0, kSpeciesSysId = 1, kSpeciesPosition = 2;
const long kFeaturesLocId = 0, kFeaturesName = 1;
const long kRecordSysId = 1, kRecordFtrId = 2;

bool OpenOnDemand(Recordset** rs, Connection* connection, const wchar_t* sql, long lockType)
{
    if (!*rs)
        *rs = OpenRecordset(connection, sql, true, lockType);
    return IsRecordsetOpen(*rs);
}

// The value of a prefetched field of the current row (the caller clears it).
VARIANT FieldValue(Field* field)
{
    VARIANT v;
    VariantInit(&v);
    if (field)
        field->get_Value(&v);
    return v;
}

// Writes a value into the pending edit of the current row.
void PutVariant(Recordset* rs, long ordinal, const VARIANT& value)
{
    Fields* fields = nullptr;
    if (FAILED(rs->get_Fields(&fields)) || !fields)
        return;
    Field* field = nullptr;
    if (SUCCEEDED(fields->Item(ordinal, &field)) && field) {
        field->put_Value(value);
        field->Release();
    }
    fields->Release();
}

// A text, or NULL for an empty one.
void PutTextOrNull(Recordset* rs, long ordinal, const wchar_t* text)
{
    if (text && *text)
        PutText(rs, ordinal, text);
    else
        PutVariant(rs, ordinal, NullValue());
}

// The records' query: the ids and the level path columns the table has, nothing else.
std::wstring RecordsQuery(Connection* connection)
{
    std::wstring sql = L"SELECT ID, SYSID, FTRID";
    for (const wchar_t* format : {L"SYS_LEVEL_%d", L"LOC_LEVEL_%d"})
        for (const auto& column : LevelColumnsOf(connection, format))
            sql += L", [" + column.second + L"]";
    return sql + L" FROM ZORNACOLLS";
}

bool IsNullish(const VARIANT& v)
{
    return v.vt == VT_EMPTY || v.vt == VT_NULL;
}

// Whether a stored level id already equals the wanted one (both absent, or the same id).
bool SameId(const VARIANT& stored, const VARIANT& wanted)
{
    if (IsNullish(stored) || IsNullish(wanted))
        return IsNullish(stored) && IsNullish(wanted);
    return VariantToInt(&stored) == VariantToInt(&wanted);
}

// One run of the check: the progress of the steps and the cancel flag.
class CheckRun {
public:
    explicit CheckRun(ProgressParams* params)
        : params_(params), check_(static_cast<DbCheck*>(params->Argument)),
          sysLevels_(&params->Model->Lists[MODEL_SYS_LEVELS]),
          locLevels_(&params->Model->Lists[MODEL_LOC_LEVELS])
    {
        if (!params_->Callback)
            params_->Callback = ProgressCallback;
    }

    bool Run();

private:
    bool Step();
    void Estimate();
    bool BeginPass();
    void EndPass();
    bool OpenSystem();      // SysTree and Species
    bool OpenLocalities();  // LocTree and Features

    void CheckOrphans(Recordset* rows, long idColumn, Recordset* tree, const ItemList* levels);
    void RenumberSystem();
    void RefreshSpecies(int id, int position, const int* nameLevels, int nameLevelCount,
                        std::unordered_map<int, VARIANT>* rowOf);
    void CheckLocTree();
    void CheckRecords(long itemColumn, Recordset* tree, const ItemList* levels, const wchar_t* format);

    ProgressParams* params_;
    DbCheck* check_;
    const ItemList* sysLevels_;
    const ItemList* locLevels_;
    long long total_ = 1;
    long long counter_ = 0;
    bool cancelled_ = false;
    bool inTransaction_ = false;
    bool noTransaction_ = false;  // a pass could not begin its transaction: the run stops
};

bool CheckRun::Step()
{
    ++counter_;
    long long position = std::min<long long>(100, counter_ * 100 / total_);
    cancelled_ = params_->Callback((int)position, params_) || noTransaction_;
    return cancelled_;
}

void CheckRun::Estimate()
{
    long long total = 0;
    Connection* c = check_->Connection;
    if (check_->Flags & DBCHECK_SPECIES)
        total += CountRows(c, L"SELECT COUNT(*) FROM SYSTREE") + CountRows(c, L"SELECT COUNT(*) FROM SPECIES");
    int first = FirstDataLevel(locLevels_);
    if ((check_->Flags & DBCHECK_LOCALITIES) && first >= 1) {
        wchar_t sql[96];
        StringCchPrintfW(sql, 96, L"SELECT COUNT(*) FROM LOCTREE WHERE LOCLEVEL > %d", first - 1);
        total += CountRows(c, sql) + CountRows(c, L"SELECT COUNT(*) FROM FEATURES");
    }
    if (check_->Flags & DBCHECK_RECORDS)
        total += 2LL * CountRows(c, L"SELECT COUNT(*) FROM ZORNACOLLS");
    // An empty database still takes a step or two: never divide by zero.
    total_ = total > 0 ? total : 1;
}

DbCheckBeginFn g_begin = nullptr;

// Each pass writes in one transaction, committed at its end (also when cancelled); a row that
// fails is cancelled on its own and the pass goes on. A pass whose transaction does not begin
// writes nothing (in autocommit each row would stay whatever became of the rest): the run stops
// there as if cancelled.
bool CheckRun::BeginPass()
{
    Connection* c = check_->Connection;
    inTransaction_ = SUCCEEDED(g_begin ? g_begin(c) : c->BeginTrans());
    if (!inTransaction_) {
        noTransaction_ = true;
        cancelled_ = true;
    }
    return inTransaction_;
}

void CheckRun::EndPass()
{
    if (inTransaction_ && FAILED(check_->Connection->CommitTrans()))
        check_->Connection->RollbackTrans();
    inTransaction_ = false;
}

// Deletes the rows whose tree item is missing or not at a data level (species and locality
// rows alike: their item id in idColumn, the tree's level in column 2).
void CheckRun::CheckOrphans(Recordset* rows, long idColumn, Recordset* tree, const ItemList* levels)
{
    if (!BeginPass())
        return;
    rows->put_Filter(L"");
    if (!IsEmptyRowset(rows))
        rows->MoveFirst();
    while (!rows->IsEOF() && !cancelled_) {
        int id = RowInt(rows, idColumn, -1);
        bool keep = FindById(id, tree) && IsDataLevel(levels, RowInt(tree, kTreeLevel, -1));
        if (!keep)
            rows->Delete(adAffectCurrent);
        Step();
        rows->MoveNext();
    }
    EndPass();
}

void CheckRun::RenumberSystem()
{
    int nameLevelCount = 0;
    int* nameLevels = DataLevelIds(sysLevels_, &nameLevelCount);
    Recordset* tree = check_->SysTree;
    Recordset* species = check_->Species;

    // The species row of each item, by bookmark: no filter on the rows being written.
    std::unordered_map<int, VARIANT> rowOf;
    species->put_Filter(L"");
    if (!IsEmptyRowset(species)) {
        for (species->MoveFirst(); !species->IsEOF(); species->MoveNext()) {
            VARIANT mark;
            species->get_Bookmark(&mark);
            rowOf.emplace(RowInt(species, kSpeciesSysId, -1), mark);
        }
    }

    BeginPass();
    // Depth first from the top, siblings in SYSPOS order; each item's children are copied
    // before going deeper, since the walk filters the tree again.
    struct Level {
        std::vector<std::pair<int, int>> items;  // (ID, SYSLEVEL)
        size_t next = 0;
    };
    auto childrenOf = [&](int parent, Level* out) {
        Step();
        if (FAILED(FilterEquals(tree, L"PARENT", parent)) || IsEmptyRowset(tree))
            return false;
        for (tree->MoveFirst(); !tree->IsEOF(); tree->MoveNext())
            out->items.emplace_back(RowInt(tree, kTreeId, -1), RowInt(tree, kTreeLevel, -1));
        return true;
    };
    std::vector<Level> stack(1);
    if (!childrenOf(0, &stack.back()))
        stack.clear();
    int position = 0;
    while (!stack.empty() && !cancelled_) {
        Level& top = stack.back();
        if (top.next >= top.items.size()) {
            stack.pop_back();
            continue;
        }
        std::pair<int, int> item = top.items[top.next++];
        if (IsDataLevel(sysLevels_, item.second))
            RefreshSpecies(item.first, ++position, nameLevels, nameLevelCount, &rowOf);
        Level children;
        if (childrenOf(item.first, &children))
            stack.push_back(std::move(children));
    }
    EndPass();
    free(nameLevels);
}

// The species row of a data-level item: created when missing, its composed name and its place
// written when they differ.
void CheckRun::RefreshSpecies(int id, int position, const int* nameLevels, int nameLevelCount,
                              std::unordered_map<int, VARIANT>* rowOf)
{
    Recordset* species = check_->Species;
    wchar_t name[64] = L"";
    ComposeTaxonName(id, check_->SysTree, nameLevels, nameLevelCount, name);
    auto found = rowOf->find(id);
    bool added = found == rowOf->end() || FAILED(species->put_Bookmark(found->second));
    if (added) {
        if (FAILED(species->AddNew()))
            return;
        PutInt(species, kSpeciesSysId, id);
    } else {
        VARIANT stored = {};
        RowValue(species, kSpeciesPosition, &stored);
        bool samePlace = (stored.vt == VT_R8 || stored.vt == VT_R4 || stored.vt == VT_I4) &&
                         VariantToReal(&stored) == (double)position;
        VariantClear(&stored);
        RowValue(species, kSpeciesName, &stored);
        bool sameName = name[0] ? (stored.vt == VT_BSTR && wcscmp(stored.bstrVal, name) == 0)
                                : IsNullish(stored);
        VariantClear(&stored);
        if (samePlace && sameName)
            return;
    }
    PutTextOrNull(species, kSpeciesName, name);
    VARIANT place;
    VariantInit(&place);
    place.vt = VT_R8;
    place.dblVal = (double)position;
    PutVariant(species, kSpeciesPosition, place);
    if (FAILED(species->Update())) {
        species->CancelUpdate();
        return;
    }
    if (added) {
        VARIANT mark;
        if (SUCCEEDED(species->get_Bookmark(&mark)))
            (*rowOf)[id] = mark;
    }
}

// Every item of a data level of the locality tree gets its locality row, labelled afresh.
void CheckRun::CheckLocTree()
{
    int first = FirstDataLevel(locLevels_);
    if (first < 1)
        return;
    wchar_t sql[96];
    StringCchPrintfW(sql, 96, L"SELECT * FROM LOCTREE WHERE LOCLEVEL > %d", first - 1);
    RsHolder items(OpenRecordset(check_->Connection, sql, true, adLockReadOnly));
    if (!items.IsOpen())
        return;
    // The labels read the coordinates from a second cursor over the locality rows, whose filters
    // stay quick while rows are written through the first one (found by bookmark, no filter).
    Recordset* features = check_->Features;
    features->put_Filter(L"");
    Recordset* coordinates = nullptr;
    if (FAILED(features->Clone(&coordinates)) || !coordinates)
        return;
    RsHolder coordinatesHolder(coordinates);
    std::unordered_map<int, VARIANT> rowOf;
    if (!IsEmptyRowset(features)) {
        for (features->MoveFirst(); !features->IsEOF(); features->MoveNext()) {
            VARIANT mark;
            features->get_Bookmark(&mark);
            rowOf.emplace(RowInt(features, kFeaturesLocId, -1), mark);
        }
    }
    BeginPass();
    if (!IsEmptyRowset(items.get()))
        items->MoveFirst();
    while (!items->IsEOF() && !cancelled_) {
        int id = RowInt(items.get(), kTreeId, -1);
        // Only data levels carry locality rows: a row given to any other level would be deleted
        // again by the next check.
        if (IsDataLevel(locLevels_, RowInt(items.get(), kTreeLevel, -1))) {
            wchar_t label[64] = L"";
            FormatLocalityLabel(id, check_->LocTree, coordinates, label);
            auto found = rowOf.find(id);
            bool added = found == rowOf.end() || FAILED(features->put_Bookmark(found->second));
            bool write = added;
            if (added) {
                if (SUCCEEDED(features->AddNew()))
                    PutInt(features, kFeaturesLocId, id);
                else
                    write = false;
            } else {
                VARIANT stored;
                RowValue(features, kFeaturesName, &stored);
                write = label[0] ? !(stored.vt == VT_BSTR && wcscmp(stored.bstrVal, label) == 0)
                                 : !IsNullish(stored);
                VariantClear(&stored);
            }
            if (write) {
                PutTextOrNull(features, kFeaturesName, label);
                if (FAILED(features->Update()))
                    features->CancelUpdate();
                else if (added) {
                    VARIANT mark;
                    if (SUCCEEDED(features->get_Bookmark(&mark)))
                        rowOf[id] = mark;
                }
            }
        }
        Step();
        items->MoveNext();
    }
    EndPass();
}

// One pass over the records, sorted by the item column so that the records of one item follow
// each other and its path is built once: each record's path columns of the tree get the ids of
// its item and the item's ancestors, NULL for the levels off the path.
void CheckRun::CheckRecords(long itemColumn, Recordset* tree, const ItemList* levels,
                            const wchar_t* format)
{
    Recordset* records = check_->Records;
    Fields* fields = nullptr;
    if (FAILED(records->get_Fields(&fields)) || !fields)
        return;
    const int levelCount = levels->Count;
    std::vector<Field*> columns((size_t)levelCount, nullptr);
    for (int i = 0; i < levelCount; ++i) {
        wchar_t name[32];
        StringCchPrintfW(name, 32, format, LevelAt(levels, i)->OrigLevelId);
        if (FAILED(fields->Item(name, &columns[(size_t)i])))
            columns[(size_t)i] = nullptr;
    }
    Field* itemField = nullptr;
    fields->Item(itemColumn, &itemField);
    fields->Release();
    BSTR sortColumn = nullptr;
    if (itemField)
        itemField->get_Name(&sortColumn);
    records->put_Sort(sortColumn ? sortColumn : L"");
    SysFreeString(sortColumn);

    std::vector<VARIANT> path((size_t)levelCount);
    for (VARIANT& v : path) {
        VariantInit(&v);
        v.vt = VT_NULL;
    }
    BeginPass();
    bool first = true;
    int previous = 0;
    if (!IsEmptyRowset(records))
        records->MoveFirst();
    while (!records->IsEOF() && !cancelled_) {
        VARIANT itemValue = FieldValue(itemField);
        int item = IsNullish(itemValue) ? -1 : VariantToInt(&itemValue);
        VariantClear(&itemValue);
        if (first || item != previous) {
            first = false;
            previous = item;
            for (VARIANT& v : path)
                v.vt = VT_NULL;
            // Upwards to the top. A damaged tree may hold a PARENT cycle: no path is longer than
            // the tree has levels.
            int id = item;
            for (int steps = 0; steps < levelCount && id >= 0 && FindById(id, tree); ++steps) {
                int level = RowInt(tree, kTreeLevel, -1);
                if (level < 1)
                    break;
                int index = LevelIndex(levels, level);
                if (index >= 0) {
                    path[(size_t)index].vt = VT_I4;
                    path[(size_t)index].lVal = id;
                }
                id = RowInt(tree, 1, -1);
            }
        }
        bool changed = false;
        for (int i = 0; i < levelCount; ++i) {
            if (!columns[(size_t)i])
                continue;
            VARIANT stored = FieldValue(columns[(size_t)i]);
            if (!SameId(stored, path[(size_t)i])) {
                columns[(size_t)i]->put_Value(path[(size_t)i]);
                changed = true;
            }
            VariantClear(&stored);
        }
        if (changed && FAILED(records->Update()))
            records->CancelUpdate();
        Step();
        records->MoveNext();
    }
    EndPass();
    for (Field* f : columns)
        if (f)
            f->Release();
    if (itemField)
        itemField->Release();
}

bool CheckRun::OpenSystem()
{
    Connection* c = check_->Connection;
    return OpenOnDemand(&check_->SysTree, c, L"SELECT * FROM SYSTREE WHERE ID > 0 ORDER BY PARENT, SYSPOS",
                        adLockReadOnly) &&
           OpenOnDemand(&check_->Species, c, L"SELECT * FROM SPECIES", adLockOptimistic);
}

bool CheckRun::OpenLocalities()
{
    Connection* c = check_->Connection;
    return OpenOnDemand(&check_->LocTree, c, L"SELECT * FROM LOCTREE WHERE ID > 0 ORDER BY PARENT, NAME",
                        adLockReadOnly) &&
           OpenOnDemand(&check_->Features, c, L"SELECT * FROM FEATURES", adLockOptimistic);
}

bool CheckRun::Run()
{
    cancelled_ = params_->Cancel.load();
    ProgressSetStatus(params_, IDS_T_CHECK_ESTIMATING);
    Estimate();
    if ((check_->Flags & DBCHECK_SPECIES) && !cancelled_ && OpenSystem()) {
        ProgressSetStatus(params_, IDS_T_CHECK_SPECIES);
        CheckOrphans(check_->Species, kSpeciesSysId, check_->SysTree, sysLevels_);
        if (!cancelled_) {
            ProgressSetStatus(params_, IDS_T_CHECK_RENUMBER);
            RenumberSystem();
        }
    }
    if ((check_->Flags & DBCHECK_LOCALITIES) && !cancelled_ && OpenLocalities()) {
        ProgressSetStatus(params_, IDS_T_CHECK_LOCALITIES);
        CheckOrphans(check_->Features, kFeaturesLocId, check_->LocTree, locLevels_);
        if (!cancelled_) {
            ProgressSetStatus(params_, IDS_T_CHECK_LOCTREE);
            CheckLocTree();
        }
    }
    if ((check_->Flags & DBCHECK_RECORDS) && !cancelled_) {
        // The status first: reading every record takes a while.
        ProgressSetStatus(params_, IDS_T_CHECK_RECORDS);
        if (OpenSystem() && OpenLocalities() &&
            OpenOnDemand(&check_->Records, check_->Connection, RecordsQuery(check_->Connection).c_str(),
                         adLockOptimistic)) {
            CheckRecords(kRecordSysId, check_->SysTree, sysLevels_, L"SYS_LEVEL_%d");
            if (!cancelled_)
                CheckRecords(kRecordFtrId, check_->LocTree, locLevels_, L"LOC_LEVEL_%d");
        }
    }
    ProgressEndByUser(params_, noTransaction_ ? IDS_T_CHECK_NO_TRANSACTION
                               : cancelled_    ? IDS_T_CHECK_CANCELLED
                                               : IDS_T_CHECK_DONE);
    return !cancelled_;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

DbCheck::DbCheck(zdata::Connection* connection, int flags)
    : Connection(connection), SysTree(nullptr), Species(nullptr), LocTree(nullptr),
      Features(nullptr), Records(nullptr), ThreadId(0), Flags(flags)
{
}

DbCheck::~DbCheck()
{
    CloseAndRelease(SysTree);
    CloseAndRelease(Species);
    CloseAndRelease(LocTree);
    CloseAndRelease(Features);
    CloseAndRelease(Records);
}

bool StartDbCheck(void* dbCheck, ProgressParams* params)
{
    ProgressSetTitle(params, IDS_T_CHECK_TITLE);
    return StartProgressWorker(params, DbCheckThread, &static_cast<DbCheck*>(dbCheck)->ThreadId);
}

DWORD WINAPI DbCheckThread(LPVOID params)
{
    RunDbCheck(static_cast<ProgressParams*>(params));
    return 0;
}

DbCheckBeginFn SetDbCheckBegin(DbCheckBeginFn begin)
{
    DbCheckBeginFn previous = g_begin;
    g_begin = begin;
    return previous;
}

bool RunDbCheck(ProgressParams* params)
{
    CheckRun run(params);
    return run.Run();
}

int CountRows(Connection* connection, const wchar_t* sql)
{
    RsHolder rs(OpenRecordset(connection, sql, false, adLockReadOnly));
    if (!rs.IsOpen() || IsEmptyRowset(rs.get()))
        return 0;
    return RowInt(rs.get(), 0, 0);
}

int FirstDataLevel(const ItemList* levels)
{
    for (int i = 0; i < levels->Count; ++i)
        if (LevelAt(levels, i)->DataLevel)
            return LevelAt(levels, i)->OrigLevelId;
    return -1;
}

bool IsDataLevel(const ItemList* levels, int levelId)
{
    int index = LevelIndex(levels, levelId);
    return index >= 0 && LevelAt(levels, index)->DataLevel != 0;
}

int LevelIndex(const ItemList* levels, int levelId)
{
    for (int i = 0; i < levels->Count; ++i)
        if (LevelAt(levels, i)->OrigLevelId == levelId)
            return i;
    return -1;
}

int* DataLevelIds(const ItemList* levels, int* count)
{
    *count = 0;
    int* ids = static_cast<int*>(malloc(sizeof(int) * (levels->Count > 0 ? levels->Count : 1)));
    for (int i = 0; i < levels->Count; ++i)
        if (LevelAt(levels, i)->DataLevel)
            ids[(*count)++] = LevelAt(levels, i)->OrigLevelId;
    if (*count == 0) {
        free(ids);
        return nullptr;
    }
    return ids;
}
