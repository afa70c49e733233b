#include "structure/dbcheck.h"

#include <strsafe.h>

#include <cstdarg>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/composednames.h"
#include "core/textutil.h"
#include "core/treewalk.h"
#include "dataaccess/refusals.h"
#include "dataaccess/txnabandon.h"
#include "resources/tarnix/resource.h"
#include "structure/progressdlg.h"
#include "structure/structmodel.h"
#include "structure/treeshape.h"

using zdata::Connection;
using zdata::Field;
using zdata::Fields;
using zdata::Recordset;
using namespace treewalk;

namespace {

// Column ordinals (the column order is part of the database format).
const long kTreeId = 0, kTreeParent = 1, kTreeLevel = 2;
const long kSysTreeName = 4, kLocTreeName = 3;
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

// The Czech sentence of the connection's last refusal (the data layer's text, without the
// engine's own line), or the general one.
std::wstring LastRefusal(Connection* connection)
{
    zdata::Errors* errors = nullptr;
    std::wstring text;
    if (SUCCEEDED(connection->get_Errors(&errors)) && errors) {
        std::vector<std::wstring> descriptions = errors->Descriptions();
        if (!descriptions.empty())
            text = descriptions[0].substr(0, descriptions[0].find(L'\n'));
        errors->Release();
    }
    return text.empty() ? zdata::RefusalSentence(zdata::EngineRefusal(), nullptr) : text;
}

// A stored text as the log quotes it.
std::wstring StoredText(const VARIANT& v)
{
    return v.vt == VT_BSTR && v.bstrVal ? std::wstring(v.bstrVal) : std::wstring();
}

// The temporary table whose one row exists exactly while a pass's transaction stands: the
// database may end a transaction by itself (a full disk, an I/O error, a trigger's
// RAISE(ROLLBACK)), and what the pass wrote after that would stay whatever became of the rest.
const wchar_t kPassMarkTable[] = L"ZOR_CHECK_PASS";

// Whether a path column holds no item: NULL, or the -1 that earlier imports wrote for none.
bool NoPathItem(const VARIANT& v)
{
    return IsNullish(v) || VariantToInt(&v) <= 0;
}

// Whether a stored level id already equals the wanted one (both absent, or the same id).
bool SameId(const VARIANT& stored, const VARIANT& wanted)
{
    if (NoPathItem(stored) || NoPathItem(wanted))
        return NoPathItem(stored) && NoPathItem(wanted);
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
    // Findings not repaired come first, since the user has to act on them; each group lists
    // its first kListed.
    struct Findings {
        std::vector<std::wstring> lines;
        int unlisted = 0;
    };
    bool Step();
    void Estimate();
    bool FileIsSound();
    bool BeginPass(UINT section);
    void EndPass();
    bool TransactionStands();
    std::wstring Text(UINT id) const;
    std::wstring Format(UINT id, ...) const;
    void OpenSection(UINT title);
    void CloseSection();
    void Note(Findings* group, const std::wstring& line);
    void Note(const std::wstring& line) { Note(&problems_, line); }
    void Repaired(const std::wstring& finding, UINT how);
    void Unrepaired(const std::wstring& finding, UINT how);
    void WriteFailed(const std::wstring& finding);
    const TreeShape& ShapeOf(Recordset* tree, long nameColumn, UINT section, TreeShape* shape, bool* known);
    const TreeShape& SystemShape();
    const TreeShape& LocalityShape();
    void Finish();
    bool OpenSystem();      // SysTree and Species
    bool OpenLocalities();  // LocTree and Features

    void CheckOrphans(Recordset* rows, long idColumn, long nameColumn, Recordset* tree, const ItemList* levels,
                      UINT noItem, UINT notData, UINT section);
    void RenumberSystem();
    void RefreshSpecies(int id, int position, const int* nameLevels, int nameLevelCount,
                        std::unordered_map<int, VARIANT>* rowOf);
    void CheckLocTree();
    void CheckRecords(long itemColumn, Recordset* tree, const ItemList* levels, const wchar_t* format);
    bool OfTheTree(int item, long itemColumn, Recordset* tree, UINT* why);

    ProgressParams* params_;
    DbCheck* check_;
    const ItemList* sysLevels_;
    const ItemList* locLevels_;
    long long total_ = 1;
    long long counter_ = 0;
    bool cancelled_ = false;
    bool inTransaction_ = false;
    bool noTransaction_ = false;  // a pass could not begin its transaction: the run stops
    bool notSaved_ = false;       // a pass's transaction did not commit: the run stops
    UINT notSavedSection_ = 0;
    bool damagedFile_ = false;    // the integrity check failed: nothing is repaired
    std::wstring unreadableFile_;  // the integrity check could not run: why
    // The log section of the pass that runs: its findings (the first kListed of them) and the
    // repairs that count once the pass commits.
    UINT section_ = 0;
    Findings problems_, repairs_;
    int pendingRepairs_ = 0;
    TreeShape sysShape_, locShape_;
    bool sysShapeKnown_ = false, locShapeKnown_ = false;
};

// A section lists this many findings; the rest are counted.
const size_t kListed = 100;

bool CheckRun::Step()
{
    ++counter_;
    long long position = std::min<long long>(100, counter_ * 100 / total_);
    // A pass the database ended (a full disk) stops the run as a refused begin does: every
    // later write would go to the file outside any transaction.
    cancelled_ = params_->Callback((int)position, params_) || noTransaction_ || notSaved_;
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
DbCheckBeginFn g_commit = nullptr;

std::wstring CheckRun::Text(UINT id) const
{
    wchar_t text[512] = L"";
    LoadStringW(params_->hInstance, id, text, 512);
    return text;
}

std::wstring CheckRun::Format(UINT id, ...) const
{
    std::wstring format = Text(id);
    wchar_t text[1024] = L"";
    va_list args;
    va_start(args, id);
    StringCchVPrintfW(text, 1024, format.c_str(), args);
    va_end(args);
    return text;
}

void CheckRun::OpenSection(UINT title)
{
    CloseSection();
    section_ = title;
}

// The section goes into the log when it found anything.
void CheckRun::CloseSection()
{
    if (section_ && (!problems_.lines.empty() || problems_.unlisted || !repairs_.lines.empty() || repairs_.unlisted)) {
        DbCheckLog& log = check_->Log;
        log.Lines.push_back(Text(section_));
        for (const Findings* group : {&problems_, &repairs_}) {
            for (const std::wstring& line : group->lines)
                log.Lines.push_back(L"    " + line);
            if (group->unlisted > 0)
                log.Lines.push_back(L"    " + Format(IDS_T_CHECK_UNLISTED, group->unlisted));
        }
    }
    section_ = 0;
    problems_ = Findings();
    repairs_ = Findings();
}

void CheckRun::Note(Findings* group, const std::wstring& line)
{
    if (group->lines.size() < kListed)
        group->lines.push_back(line);
    else
        ++group->unlisted;
}

void CheckRun::Repaired(const std::wstring& finding, UINT how)
{
    ++pendingRepairs_;
    Note(&repairs_, finding + Text(how));
}

void CheckRun::Unrepaired(const std::wstring& finding, UINT how)
{
    ++check_->Log.Unrepaired;
    Note(finding + Text(how));
}

// A write the database refused counts as not repaired. When the refusal ended the pass's
// transaction, nothing more may be written: the run stops.
void CheckRun::WriteFailed(const std::wstring& finding)
{
    ++check_->Log.FailedWrites;
    ++check_->Log.Unrepaired;
    Note(finding + Format(IDS_T_CHECK_WRITE_FAILED, LastRefusal(check_->Connection).c_str()));
    if (inTransaction_ && !TransactionStands()) {
        Note(Text(IDS_T_CHECK_LOST));
        zdata::AbandonTransactions(check_->Connection);
        inTransaction_ = false;
        notSaved_ = true;
        notSavedSection_ = section_;
        cancelled_ = true;
    }
}

bool CheckRun::TransactionStands()
{
    VARIANT affected;
    VariantInit(&affected);
    std::wstring touch = std::wstring(L"UPDATE temp.") + kPassMarkTable + L" SET X = 1 WHERE X = 1";
    bool stands = SUCCEEDED(check_->Connection->Execute(touch.c_str(), &affected)) && affected.vt == VT_I4 &&
                  affected.lVal == 1;
    VariantClear(&affected);
    return stands;
}

// Each pass writes in one transaction, committed at its end (also when cancelled); a row that
// fails is cancelled on its own, counted, and the pass goes on. A pass whose transaction does
// not begin writes nothing (in autocommit each row would stay whatever became of the rest): the
// run stops there as if cancelled.
bool CheckRun::BeginPass(UINT section)
{
    OpenSection(section);
    pendingRepairs_ = 0;
    Connection* c = check_->Connection;
    inTransaction_ = SUCCEEDED(g_begin ? g_begin(c) : c->BeginTrans());
    // The mark is made inside the transaction: beginning one sets the connection's temporary
    // store, which empties it. A mark left over (when that setting failed) is used again.
    if (inTransaction_)
        c->Execute((std::wstring(L"CREATE TEMP TABLE ") + kPassMarkTable + L" (X INTEGER)").c_str());
    if (inTransaction_ &&
        FAILED(c->Execute((std::wstring(L"INSERT INTO temp.") + kPassMarkTable + L" VALUES (1)").c_str()))) {
        zdata::AbandonTransactions(c);
        inTransaction_ = false;
    }
    if (!inTransaction_) {
        noTransaction_ = true;
        cancelled_ = true;
    }
    return inTransaction_;
}

// The pass's repairs count once its transaction has committed; a commit that fails undoes the
// whole pass, and the run stops.
void CheckRun::EndPass()
{
    Connection* c = check_->Connection;
    DbCheckLog& log = check_->Log;
    if (inTransaction_) {
        bool committed = TransactionStands() &&
                         SUCCEEDED(c->Execute((std::wstring(L"DELETE FROM temp.") + kPassMarkTable).c_str())) &&
                         SUCCEEDED(g_commit ? g_commit(c) : c->CommitTrans());
        if (committed) {
            log.Repaired += pendingRepairs_;
        } else {
            Note(Format(IDS_T_CHECK_NOT_SAVED, LastRefusal(c).c_str()));
            zdata::AbandonTransactions(c);
            log.Unrepaired += pendingRepairs_;
            notSaved_ = true;
            notSavedSection_ = section_;
            cancelled_ = true;
        }
    } else if (notSaved_) {
        log.Unrepaired += pendingRepairs_;  // the database ended the pass: nothing of it stayed
    }
    pendingRepairs_ = 0;
    inTransaction_ = false;
    CloseSection();
}

// The engine reads every page of the file first. Repairs on a damaged file would build on
// pages that do not hold together: the run reports the damage and writes nothing.
bool CheckRun::FileIsSound()
{
    ProgressSetStatus(params_, IDS_T_CHECK_FILE);
    Connection* c = check_->Connection;
    Recordset* rs = nullptr;
    if (FAILED(c->Execute(L"PRAGMA integrity_check(20)", nullptr, adCmdText, &rs)) || !rs) {
        std::wstring why = LastRefusal(c);
        zdata::Errors* errors = nullptr;
        bool damaged = false;
        if (SUCCEEDED(c->get_Errors(&errors)) && errors) {
            for (zdata::Error* e : errors->Items()) {
                long native = 0;
                e->get_NativeError(&native);
                zdata::RefusalKind kind = zdata::ReadEngineRefusal(e->Description().substr(e->Description().find(L'\n') + 1), native).kind;
                damaged = damaged || kind == zdata::RefusalKind::Damaged || kind == zdata::RefusalKind::NotADatabase;
                e->Release();
            }
            errors->Release();
        }
        OpenSection(IDS_T_CHECK_SEC_FILE);
        Note(Format(IDS_T_CHECK_FILE_FINDING, why.c_str()));
        CloseSection();
        if (damaged)
            damagedFile_ = true;
        else
            unreadableFile_ = why;
        return false;
    }
    RsHolder result(rs);
    std::vector<std::wstring> findings;
    if (!IsEmptyRowset(rs))
        for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext())
            findings.push_back(RowText(rs, 0));
    if (findings.size() == 1 && findings[0] == L"ok")
        return true;
    damagedFile_ = true;
    OpenSection(IDS_T_CHECK_SEC_FILE);
    for (const std::wstring& finding : findings)
        Note(Format(IDS_T_CHECK_FILE_FINDING, finding.c_str()));
    CloseSection();
    return false;
}

// The items the walk from the top does not reach, found once per run and logged with the tree's
// section (what the check cannot repair: it does not know where they belong).
const TreeShape& CheckRun::ShapeOf(Recordset* tree, long nameColumn, UINT section, TreeShape* shape, bool* known)
{
    if (*known)
        return *shape;
    *known = true;
    std::unordered_map<int, int> parentOf;
    tree->put_Filter(L"");
    if (!IsEmptyRowset(tree))
        for (tree->MoveFirst(); !tree->IsEOF(); tree->MoveNext())
            parentOf[RowInt(tree, kTreeId, -1)] = RowInt(tree, kTreeParent, -1);
    *shape = ShapeOfTree(parentOf);
    OpenSection(section);  // between passes: no pass's section is open
    for (const TreeShape::Detached& part : shape->parts) {
        auto nameOf = [&](int id) { return FindById(id, tree) ? RowText(tree, nameColumn) : std::wstring(); };
        std::wstring finding;
        if (!part.cycle) {
            int root = part.roots[0];
            finding = Format(IDS_T_CHECK_NO_PARENT, nameOf(root).c_str(), root, part.missingParent, part.size);
        } else {
            std::wstring members;
            for (size_t i = 0; i < part.roots.size(); ++i) {
                if (i > 0)
                    members += i + 1 == part.roots.size() ? L" a " : L", ";
                members += L"\u201E" + nameOf(part.roots[i]) + L"\u201C (ID " + std::to_wstring(part.roots[i]) + L")";
            }
            finding = Format(IDS_T_CHECK_CYCLE, members.c_str(), part.size);
        }
        Unrepaired(finding, IDS_T_CHECK_LEFT);
    }
    CloseSection();
    return *shape;
}

const TreeShape& CheckRun::SystemShape()
{
    return ShapeOf(check_->SysTree, kSysTreeName, IDS_T_CHECK_SEC_SYSTREE, &sysShape_, &sysShapeKnown_);
}

const TreeShape& CheckRun::LocalityShape()
{
    return ShapeOf(check_->LocTree, kLocTreeName, IDS_T_CHECK_SEC_LOCTREE, &locShape_, &locShapeKnown_);
}

// Deletes the rows whose tree item is missing or not at a data level (species and locality
// rows alike: their item id in idColumn, the tree's level in column 2).
void CheckRun::CheckOrphans(Recordset* rows, long idColumn, long nameColumn, Recordset* tree, const ItemList* levels,
                            UINT noItem, UINT notData, UINT section)
{
    if (!BeginPass(section))
        return;
    rows->put_Filter(L"");
    if (!IsEmptyRowset(rows))
        rows->MoveFirst();
    while (!rows->IsEOF() && !cancelled_) {
        int id = RowInt(rows, idColumn, -1);
        bool found = FindById(id, tree);
        if (!found || !IsDataLevel(levels, RowInt(tree, kTreeLevel, -1))) {
            std::wstring finding = Format(found ? notData : noItem, RowText(rows, nameColumn).c_str(), id);
            if (SUCCEEDED(rows->Delete(adAffectCurrent)))
                Repaired(finding, IDS_T_CHECK_DELETED);
            else
                WriteFailed(finding);
        }
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

    SystemShape();  // the items the walk below does not reach, in the log
    BeginPass(IDS_T_CHECK_SEC_RENUMBER);
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
    std::wstring finding;
    if (added) {
        finding = Format(IDS_T_CHECK_SPECIES_MISSING, name, id);
        if (FAILED(species->AddNew())) {
            WriteFailed(finding);
            return;
        }
        PutInt(species, kSpeciesSysId, id);
    } else {
        VARIANT storedPlace = {};
        RowValue(species, kSpeciesPosition, &storedPlace);
        bool samePlace = (storedPlace.vt == VT_R8 || storedPlace.vt == VT_R4 || storedPlace.vt == VT_I4) &&
                         VariantToReal(&storedPlace) == (double)position;
        VARIANT storedName = {};
        RowValue(species, kSpeciesName, &storedName);
        bool sameName = name[0] ? (storedName.vt == VT_BSTR && wcscmp(storedName.bstrVal, name) == 0)
                                : IsNullish(storedName);
        if (!sameName) {
            finding = Format(IDS_T_CHECK_SPECIES_NAME, id, StoredText(storedName).c_str(), name);
        } else if (!samePlace) {
            wchar_t place[32] = L"\u2013";
            if (!IsNullish(storedPlace))
                StringCchPrintfW(place, 32, L"%g", VariantToReal(&storedPlace));
            finding = Format(IDS_T_CHECK_SPECIES_PLACE, name, id, place, position);
        }
        VariantClear(&storedPlace);
        VariantClear(&storedName);
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
        WriteFailed(finding);
        species->CancelUpdate();
        return;
    }
    Repaired(finding, added ? IDS_T_CHECK_ADDED : IDS_T_CHECK_REPAIRED);
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
    const TreeShape& shape = LocalityShape();
    BeginPass(IDS_T_CHECK_SEC_LABELS);
    if (!IsEmptyRowset(items.get()))
        items->MoveFirst();
    while (!items->IsEOF() && !cancelled_) {
        int id = RowInt(items.get(), kTreeId, -1);
        // Only data levels carry locality rows: a row given to any other level would be deleted
        // again by the next check. An item off the tree keeps its label: which localities
        // enclose it is not known (its old label may still tell).
        if (IsDataLevel(locLevels_, RowInt(items.get(), kTreeLevel, -1)) && !shape.offTree.count(id)) {
            wchar_t label[64] = L"";
            FormatLocalityLabel(id, check_->LocTree, coordinates, label);
            auto found = rowOf.find(id);
            bool added = found == rowOf.end() || FAILED(features->put_Bookmark(found->second));
            bool write = added;
            std::wstring finding;
            if (added) {
                finding = Format(IDS_T_CHECK_FEATURE_MISSING, label, id);
                if (SUCCEEDED(features->AddNew())) {
                    PutInt(features, kFeaturesLocId, id);
                } else {
                    write = false;
                    WriteFailed(finding);
                }
            } else {
                VARIANT stored;
                RowValue(features, kFeaturesName, &stored);
                write = label[0] ? !(stored.vt == VT_BSTR && wcscmp(stored.bstrVal, label) == 0)
                                 : !IsNullish(stored);
                if (write)
                    finding = Format(IDS_T_CHECK_FEATURE_LABEL, id, StoredText(stored).c_str(), label);
                VariantClear(&stored);
            }
            if (write) {
                PutTextOrNull(features, kFeaturesName, label);
                if (FAILED(features->Update())) {
                    WriteFailed(finding);
                    features->CancelUpdate();
                } else {
                    Repaired(finding, added ? IDS_T_CHECK_ADDED : IDS_T_CHECK_REPAIRED);
                    if (added) {
                        VARIANT mark;
                        if (SUCCEEDED(features->get_Bookmark(&mark)))
                            rowOf[id] = mark;
                    }
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
    bool system = itemColumn == kRecordSysId;
    const TreeShape& shape = system ? SystemShape() : LocalityShape();
    BeginPass(system ? IDS_T_CHECK_SEC_SYSPATHS : IDS_T_CHECK_SEC_LOCPATHS);
    bool first = true;
    int previous = 0;
    UINT unplaced = 0;  // why the records of the item get no path, 0 when they get one
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
            // A record of an item that is not there, or that lies off the tree, has no path the
            // check could know: the record stays as it is (its old path may still tell).
            if (!FindById(item, tree))
                unplaced = system ? IDS_T_CHECK_RECORD_NO_TAXON : IDS_T_CHECK_RECORD_NO_PLACE;
            else if (shape.offTree.count(item))
                unplaced = system ? IDS_T_CHECK_RECORD_OFF_SYS : IDS_T_CHECK_RECORD_OFF_LOC;
            else
                unplaced = 0;
            // Upwards to the top, which an item on the tree reaches; no path is longer than the
            // tree has levels all the same.
            int id = item;
            for (int steps = 0; !unplaced && steps < levelCount && id >= 0 && FindById(id, tree); ++steps) {
                int level = RowInt(tree, kTreeLevel, -1);
                if (level < 1)
                    break;
                int index = LevelIndex(levels, level);
                if (index >= 0) {
                    path[(size_t)index].vt = VT_I4;
                    path[(size_t)index].lVal = id;
                }
                id = RowInt(tree, kTreeParent, -1);
            }
        }
        int recordId = RowInt(records, 0, -1);
        if (unplaced) {
            Unrepaired(Format(unplaced, recordId, item), IDS_T_CHECK_RECORD_LEFT);
        } else {
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
            if (changed) {
                std::wstring finding = Format(IDS_T_CHECK_RECORD_PATH, recordId);
                if (SUCCEEDED(records->Update())) {
                    Repaired(finding, IDS_T_CHECK_REPAIRED);
                } else {
                    WriteFailed(finding);
                    records->CancelUpdate();
                }
            }
        }
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
    if (!cancelled_ && FileIsSound()) {
        ProgressSetStatus(params_, IDS_T_CHECK_ESTIMATING);
        Estimate();
    } else {
        cancelled_ = true;
    }
    if ((check_->Flags & DBCHECK_SPECIES) && !cancelled_ && OpenSystem()) {
        ProgressSetStatus(params_, IDS_T_CHECK_SPECIES);
        CheckOrphans(check_->Species, kSpeciesSysId, kSpeciesName, check_->SysTree, sysLevels_,
                     IDS_T_CHECK_SPECIES_NO_ITEM, IDS_T_CHECK_SPECIES_NOT_DATA, IDS_T_CHECK_SEC_SPECIES);
        if (!cancelled_) {
            ProgressSetStatus(params_, IDS_T_CHECK_RENUMBER);
            RenumberSystem();
        }
    }
    if ((check_->Flags & DBCHECK_LOCALITIES) && !cancelled_ && OpenLocalities()) {
        ProgressSetStatus(params_, IDS_T_CHECK_LOCALITIES);
        CheckOrphans(check_->Features, kFeaturesLocId, kFeaturesName, check_->LocTree, locLevels_,
                     IDS_T_CHECK_FEATURE_NO_ITEM, IDS_T_CHECK_FEATURE_NOT_DATA, IDS_T_CHECK_SEC_FEATURES);
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
    Finish();
    return !cancelled_;
}

// The final status says what was not done; only a run that left nothing unrepaired succeeds.
void CheckRun::Finish()
{
    CloseSection();
    DbCheckLog& log = check_->Log;
    if (damagedFile_)
        log.Outcome = Text(IDS_T_CHECK_DAMAGED);
    else if (!unreadableFile_.empty())
        log.Outcome = Format(IDS_T_CHECK_FILE_UNREADABLE, unreadableFile_.c_str());
    else if (noTransaction_)
        log.Outcome = Text(IDS_T_CHECK_NO_TRANSACTION);
    else if (notSaved_)
        log.Outcome = Format(IDS_T_CHECK_PASS_NOT_SAVED, Text(notSavedSection_).c_str());
    else if (cancelled_)
        log.Outcome = Text(IDS_T_CHECK_CANCELLED);
    else if (log.Unrepaired > 0)
        log.Outcome = Format(IDS_T_CHECK_UNREPAIRED, log.Repaired, log.Unrepaired);
    else
        log.Outcome = Text(IDS_T_CHECK_DONE);
    log.Success = !damagedFile_ && unreadableFile_.empty() && !noTransaction_ && !notSaved_ && !cancelled_ &&
                  log.Unrepaired == 0;
    if (!log.Lines.empty())
        log.Lines.push_back(Format(IDS_T_CHECK_TOTALS, log.Repaired, log.Unrepaired, log.FailedWrites));
    ProgressEndByUserText(params_, log.Outcome.c_str());
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

DbCheckBeginFn SetDbCheckCommit(DbCheckBeginFn commit)
{
    DbCheckBeginFn previous = g_commit;
    g_commit = commit;
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
