#include "import/mergesource.h"

#include <strsafe.h>

#include "core/msgboxtext.h"
#include "core/rsutil.h"
#include "core/schemacheck.h"
#include "core/textutil.h"
#include "dataaccess/connstr.h"
#include "dataaccess/refusals.h"
#include "import/importrun.h"
#include "import/impwizard.h"
#include "import/structtransfer.h"
#include "import/targettables.h"
#include "resources/tarnix/resource.h"
#include "structure/schemadb.h"

namespace {

// Attribute lists of the model in group order, with the group kind each is shown as.
const int kAttrLists[MERGE_GROUPS] = {MODEL_SYSTREE_ATTRS, MODEL_LOCTREE_ATTRS, MODEL_SPECIES_ATTRS,
                                      MODEL_FEATURES_ATTRS, MODEL_RECORD_ATTRS, MODEL_LITERATURE_ATTRS};
const int kAttrKinds[MERGE_GROUPS] = {GROUP_SYSTREE_ATTRS, GROUP_LOCTREE_ATTRS, GROUP_SPECIES_ATTRS,
                                      GROUP_FEATURES_ATTRS, GROUP_RECORD_ATTRS, GROUP_LITERATURE_ATTRS};
const wchar_t* const kLookupPrefixes[MERGE_GROUPS] = {L"SYS_", L"LOC_", L"SPE_", L"FEA_", L"ZOR_", L"LIT_"};

const wchar_t kRecordView[] = L"COLLECTVIEW";
const wchar_t kLitView[] = L"LITVIEW";

// The merge group of an attribute kind, -1 for other kinds.
int MergeGroupOfKind(int kind)
{
    for (int g = 0; g < MERGE_GROUPS; ++g)
        if (kAttrKinds[g] == kind)
            return g;
    return -1;
}

}  // namespace

CImpDB2010Src::CImpDB2010Src(HINSTANCE instance)
    : IImpSource(instance), SourceConnection(zdata::Connection::Create()), SourceLastSysLevel(0),
      SourceLastLocLevel(0), GroupCount(2)
{
    InitStructureModel(&SourceModel);
}

CImpDB2010Src::~CImpDB2010Src()
{
    merge_.reset();
    recordView_.reset();
    litView_.reset();
    CloseSource();
    SourceConnection->Release();
    FreeStructureModel(&SourceModel);
}

void CImpDB2010Src::CloseSource()
{
    if (SourceConnection->State() != adStateClosed)
        SourceConnection->Close();
    ClearStructureModel(&SourceModel);
}

bool CImpDB2010Src::Open(const wchar_t* path)
{
    // Every call starts afresh: the previous file's connection and structure go first.
    CloseSource();
    problem_.clear();
    bool ok = false;
    zdata::DbFileKind kind = path && *path ? zdata::DetectDbFileKind(path) : zdata::DbFileKind::Missing;
    if (kind == zdata::DbFileKind::SQLite) {
        SourceConnection->put_ConnectionString(SchemaConnectionString(path).c_str());
        SourceConnection->put_Mode(adModeRead);
        SourceConnection->Open(L"", L"", L"", adConnectUnspecified);
        if (SourceConnection->State() == adStateOpen)
            ok = LoadStructure(&SourceModel, SourceConnection, &SourceLastSysLevel, &SourceLastLocLevel, false);
    }
    if (!ok) {
        problem_ = RefusalOf(path, kind);
        CloseSource();
    }
    GroupCount = 2;
    for (int g = 0; g < MERGE_GROUPS; ++g)
        if (SourceModel.Lists[kAttrLists[g]].Count > 0)
            ++GroupCount;
    return ok;
}

// Why a file that did not open is no database to merge: an Access file, a file that is no
// database, one the engine refused (locked, damaged ...), one without the tables and columns of
// a Zorna database; empty for a file that is not there. On one or two lines of the welcome page,
// whose path field shows the path: the file by its name.
std::wstring CImpDB2010Src::RefusalOf(const wchar_t* path, zdata::DbFileKind kind)
{
    std::wstring name = path ? path : L"";
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    if (kind == zdata::DbFileKind::Jet)
        return ResourceText(hInstance, IDS_I_MERGE_ACCESS_FILE, {});
    if (kind == zdata::DbFileKind::Other)
        return zdata::OpenRefusalText(zdata::RefusalKind::NotADatabase, name);
    if (kind != zdata::DbFileKind::SQLite)
        return std::wstring();
    std::wstring why = FileRefusalText(SourceConnection->LastRefusalKind(), name);
    if (!why.empty() || SourceConnection->State() != adStateOpen)
        return why;
    SchemaProblem problem = CheckZornaSchema(SourceConnection);
    if (problem.What == SchemaProblem::None)
        return ResourceText(hInstance, IDS_T_NOT_ZORNA_DB, {});
    why = SchemaProblemText(hInstance, problem, name);
    for (size_t at; (at = why.find(L"\n\n")) != std::wstring::npos;)
        why.replace(at, 2, L" ");
    return why;
}

int CImpDB2010Src::ModelListOfGroup(int group) const
{
    if (group == 1)
        return MODEL_SYS_LEVELS;
    if (group == 2)
        return MODEL_LOC_LEVELS;
    int n = group - 3;
    for (int g = 0; g < MERGE_GROUPS && n >= 0; ++g) {
        if (SourceModel.Lists[kAttrLists[g]].Count == 0)
            continue;
        if (n-- == 0)
            return kAttrLists[g];
    }
    return -1;
}

int CImpDB2010Src::GetGroupKind(int group)
{
    int list = ModelListOfGroup(group);
    if (list == MODEL_SYS_LEVELS)
        return GROUP_SYS_UNITS;
    if (list == MODEL_LOC_LEVELS)
        return GROUP_LOC_UNITS;
    for (int g = 0; g < MERGE_GROUPS; ++g)
        if (kAttrLists[g] == list)
            return kAttrKinds[g];
    return GROUP_NONE;
}

int CImpDB2010Src::FillGroup(int group, CPtrArray* items, void*)
{
    int kind = GetGroupKind(group);
    if (kind == GROUP_NONE || items->GetCount() > 0)
        return kind;
    const ItemList* list = &SourceModel.Lists[ModelListOfGroup(group)];
    for (int i = 0; i < list->Count; ++i) {
        if (IsUnitKind(kind)) {
            const LevelEntry* level = LevelAt(list, i);
            items->Add(NewUnitEntry(level->Name, level->OrigLevelId, level->DataLevel != 0));
            continue;
        }
        const AttrEntry* attr = AttrAt(list, i);
        AttrImportEntry* entry = NewAttrImportEntry(attr->Caption, attr->Type, attr->Size);
        entry->KeyFlag = attr->KeyFlag ? 1 : 0;
        StringCchCopyW(entry->TabName, 32, attr->TabName);  // a created attribute keeps its tab
        VariantCopy(&entry->MinVal, const_cast<VARIANT*>(&attr->MinVal));
        VariantCopy(&entry->MaxVal, const_cast<VARIANT*>(&attr->MaxVal));
        VariantCopy(&entry->NullVal, const_cast<VARIANT*>(&attr->NullVal));
        items->Add(entry);
    }
    return kind;
}

// ---- the run ---------------------------------------------------------------------------------

bool CImpDB2010Src::OpenData(ImportRun& run)
{
    if (SourceConnection->State() != adStateOpen)
        return false;
    merge_.reset(new MergeRun);
    MergeRun& m = *merge_;
    m.run = &run;
    m.sourceModel = &SourceModel;
    m.targets = &Targets;
    zdata::Connection* c = SourceConnection;
    bool ok = m.srcSys.Open(c, L"SELECT * FROM SYSTREE ORDER BY PARENT, SYSPOS") &&
              m.srcLoc.Open(c, L"SELECT * FROM LOCTREE ORDER BY PARENT, NAME") &&
              m.srcSpecies.Open(c, L"SELECT * FROM SPECIES") && m.srcFeatures.Open(c, L"SELECT * FROM FEATURES") &&
              m.srcLit.Open(c, L"SELECT * FROM LITERATURE") && m.srcAuthors.Open(c, L"SELECT * FROM LITAUTHORS") &&
              m.srcEditors.Open(c, L"SELECT * FROM EDITORS") && m.srcJournals.Open(c, L"SELECT * FROM JOURNALS") &&
              m.srcKeywords.Open(c, L"SELECT * FROM KEYWORDS") &&
              m.srcBookAuthors.Open(c, L"SELECT * FROM BOOKAUTHORS ORDER BY LITID, AUTHPOS") &&
              m.srcKeywordRefs.Open(c, L"SELECT * FROM LITKEYWORDSREFS ORDER BY LITID, REFPOS") &&
              m.srcSysRefs.Open(c, L"SELECT * FROM LITSYSREFS ORDER BY LITID, REFPOS") &&
              m.srcLocRefs.Open(c, L"SELECT * FROM LITLOCREFS ORDER BY LITID, REFPOS");
    if (!ok)
        return false;

    // The views: one that does not open counts no rows (logged once the log is open).
    recordView_.reset(new MergeTable);
    litView_.reset(new MergeTable);
    // Read once in the order of their first tables (as a scan of the whole view gives them),
    // a block of rows at a time.
    recordViewOpen_ = recordView_->Open(c, L"SELECT * FROM COLLECTVIEW ORDER BY 1", true);
    litViewOpen_ = litView_->Open(c, L"SELECT * FROM LITVIEW ORDER BY 1", true);
    recordRows_ = recordViewOpen_ ? recordView_->RowCount() : 0;
    litRows_ = litViewOpen_ ? litView_->RowCount() : 0;
    done_ = rowNumber_ = 0;
    if (recordRows_ > 0)
        recordView_->Rs()->MoveFirst();
    if (litRows_ > 0)
        litView_->Rs()->MoveFirst();
    // The records view starts with the source's ZORNACOLLS columns.
    MergeTable records;
    long recordColumns = records.Open(c, L"SELECT * FROM ZORNACOLLS WHERE 0 = 1") ? records.ColumnCount() : 0;
    recordColumns_ = FindRecordViewColumns(*recordView_, recordColumns, &SourceModel);

    // The wizard's lists by group, and the source column of every attribute entry.
    ImportJob* job = run.Job;
    MergeTable* tables[MERGE_GROUPS] = {&m.srcSys, &m.srcLoc, &m.srcSpecies, &m.srcFeatures, nullptr, &m.srcLit};
    for (int group = 1; group <= GetGroupCount() && group <= 8; ++group) {
        int kind = GetGroupKind(group);
        CPtrArray* items = job->GroupItems[group - 1];
        if (kind == GROUP_SYS_UNITS)
            m.sysUnits = items;
        else if (kind == GROUP_LOC_UNITS)
            m.locUnits = items;
        int g = MergeGroupOfKind(kind);
        if (g < 0)
            continue;
        MergeAttrGroup& attrs = m.groups[g];
        attrs.entries = items;
        const ItemList* list = &SourceModel.Lists[kAttrLists[g]];
        for (int j = 0; j < items->GetCount(); ++j)
            attrs.sourceOrdinal.push_back(tables[g] && j < list->Count ? tables[g]->Ordinal(AttrAt(list, j)->FieldName) : -1);
    }
    return true;
}

bool CImpDB2010Src::OpenTargets(ImportRun& run)
{
    MergeRun& m = *merge_;
    zdata::Connection* c = run.Connection;
    if (!OpenTargetTables(c, &Targets, &MaxSysId, &MaxLocId) || !OpenTargetLitTables(c, &Targets))
        return false;
    MergeTable* fixed[TARGET_FIXED_SLOTS] = {&m.tgtSys, &m.tgtSpecies, &m.tgtSysAuthors, &m.tgtLoc, &m.tgtFeatures,
                                             &m.tgtRecords, &m.tgtLit, &m.tgtAuthors, &m.tgtEditors, &m.tgtJournals,
                                             &m.tgtKeywords, &m.tgtBookAuthors, &m.tgtKeywordRefs, &m.tgtSysRefs,
                                             &m.tgtLocRefs};
    for (int slot = 0; slot < TARGET_FIXED_SLOTS; ++slot)
        fixed[slot]->Attach(Targets.Slots[(size_t)slot]);

    // The value lists of the list attributes: each group's entries take slots from the fixed
    // ones on, one per entry.
    int slot = TARGET_FIXED_SLOTS;
    for (int g = 0; g < MERGE_GROUPS; ++g) {
        MergeAttrGroup& attrs = m.groups[g];
        if (!attrs.entries)
            continue;
        std::wstring format = std::wstring(L"SELECT * FROM ") + kLookupPrefixes[g] + L"%s";
        OpenTargetAttrTables(c, attrs.entries, &Targets, slot, format.c_str());
        const ItemList* targetAttrs = &run.Job->Model->Lists[kAttrLists[g]];
        for (int j = 0; j < attrs.entries->GetCount(); ++j, ++slot) {
            AttrImportEntry* entry = static_cast<AttrImportEntry*>(attrs.entries->GetItems()[j]);
            bool open = entry->State != CHOICE_SKIP && (entry->TargetType == 5 || entry->TargetType == 7) &&
                        slot < (int)Targets.Slots.size() && IsRecordsetOpen(Targets.Slots[(size_t)slot]);
            attrs.lookupSlot.push_back(open ? slot : -1);  // a list that did not open: the value stays unwritten
            attrs.targetSize.push_back(0);
            for (int a = 0; open && a < targetAttrs->Count; ++a)
                if (SameTextNoCase(AttrAt(targetAttrs, a)->FieldName, entry->TargetColumn))
                    attrs.targetSize.back() = AttrAt(targetAttrs, a)->Size;
        }
    }
    m.lookupTables.clear();
    m.lookups.assign(Targets.Slots.size(), nullptr);
    for (int g = 0; g < MERGE_GROUPS; ++g)
        for (int s : m.groups[g].lookupSlot)
            if (s >= 0) {
                m.lookupTables.emplace_back(new MergeTable);
                m.lookupTables.back()->Attach(Targets.Slots[(size_t)s]);
                m.lookups[(size_t)s] = m.lookupTables.back().get();
            }

    // Built-in columns copied by name: the trees' names and icons (and the point of a
    // locality), the species' bracket flag and year, the locality's label, co-ordinates, square
    // and note, the publication's columns but its three references.
    m.sysCopy = MatchColumns(m.srcSys, m.tgtSys, 4, 8);
    m.locCopy = MatchColumns(m.srcLoc, m.tgtLoc, 3, 9);
    m.speciesCopy = MatchColumns(m.srcSpecies, m.tgtSpecies, 4, 6);
    m.featuresCopy = MatchColumns(m.srcFeatures, m.tgtFeatures, 1, 8);
    m.litCopy = MatchColumns(m.srcLit, m.tgtLit, 1, 3);
    std::vector<std::pair<int, int>> litTail = MatchColumns(m.srcLit, m.tgtLit, 6, 11);
    m.litCopy.insert(m.litCopy.end(), litTail.begin(), litTail.end());

    m.nextSysId = MaxSysId;
    m.nextLocId = MaxLocId;
    PrepareMergeTargets(m, run.Job->Model);
    if (!recordWriter_.Open(c, L"ZORNACOLLS", Targets.Slots[TARGET_RECORDS]))
        return false;
    if (!recordViewOpen_)
        LogMergeError(m, IDS_I_MERGE_VIEW_CLOSED, kRecordView);
    if (!litViewOpen_)
        LogMergeError(m, IDS_I_MERGE_VIEW_CLOSED, kLitView);
    return true;
}

int CImpDB2010Src::ImportRow(ImportRun& run)
{
    MergeRun& m = *merge_;
    bool records = done_ < recordRows_;
    if (!records && done_ >= recordRows_ + litRows_)
        return ROW_END;
    // Rows are numbered in each view from 1, as the log names them.
    rowNumber_ = done_ == recordRows_ ? 1 : rowNumber_ + 1;
    run.Line = (int)rowNumber_;
    int errors = ErrorCount;
    MergeTable& view = records ? *recordView_ : *litView_;
    if (records)
        ImportCollectViewRow(m, view, recordColumns_, recordWriter_);
    else
        ImportLitViewRow(m, view);
    view.Rs()->MoveNext();
    ++done_;
    // A failure may have ended the whole transaction (a trigger's rollback, a full disk).
    if (ErrorCount > errors && !run.TransactionStands())
        return ROW_FATAL;
    return ROW_IMPORTED;
}

int CImpDB2010Src::Percent()
{
    long total = recordRows_ + litRows_;
    return total > 0 ? (int)(done_ * 100 / total) : 100;
}

void CImpDB2010Src::CloseData(ImportRun&)
{
    if (merge_)
        FreeMergeTargets(*merge_);
    recordWriter_.Close();
    merge_.reset();
    recordView_.reset();
    litView_.reset();
    CloseTargetTables(&Targets);
}

void MapGroupsAutomatically(ImportJob* job)
{
    IImpSource* source = job->Source;
    for (int g = 1; source && g <= source->GetGroupCount() && g <= 8; ++g) {
        CPtrArray* items = job->GroupItems[g - 1];
        int kind = job->GroupKinds[g - 1] = source->FillGroup(g, items, nullptr);
        for (int i = 0; IsMappingKind(kind) && i < items->GetCount(); ++i) {
            bool unit = IsUnitKind(kind);
            void* item = items->GetItems()[i];
            wchar_t* name = unit ? static_cast<UnitEntry*>(item)->SourceName : static_cast<AttrImportEntry*>(item)->SourceName;
            int choice = MatchTargetItem(job->Model, kind, name) >= 2 ? CHOICE_MAP : CHOICE_CREATE;
            StringCchCopyW(unit ? static_cast<UnitEntry*>(item)->TargetName : static_cast<AttrImportEntry*>(item)->TargetName,
                           64, name);
            (unit ? static_cast<UnitEntry*>(item)->State : static_cast<AttrImportEntry*>(item)->State) = choice;
        }
        job->GroupFlags[g - 1] = 1;
    }
}

IImpSource* CreateDb2010Source(HINSTANCE instance, int)
{
    return new CImpDB2010Src(instance);
}
