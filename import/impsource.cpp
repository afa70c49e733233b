#include "import/impsource.h"

#include <strsafe.h>

#include <cstdlib>

#include "import/importrun.h"
#include "import/structtransfer.h"
#include "import/targettables.h"
#include "resources/tarnix/resource.h"
#include "structure/progressdlg.h"
#include "structure/structmodel.h"

namespace {

ImportSourceCreator g_creators[IMPSRC_TYPE_COUNT] = {};

void CopyName(wchar_t* out, size_t size, const wchar_t* text)
{
    StringCchCopyW(out, size, text ? text : L"");
}

}  // namespace

int ModelListOfKind(int kind)
{
    switch (kind) {
    case GROUP_SYS_UNITS: return MODEL_SYS_LEVELS;
    case GROUP_LOC_UNITS: return MODEL_LOC_LEVELS;
    case GROUP_SYSTREE_ATTRS: return MODEL_SYSTREE_ATTRS;
    case GROUP_LOCTREE_ATTRS: return MODEL_LOCTREE_ATTRS;
    case GROUP_SPECIES_ATTRS: return MODEL_SPECIES_ATTRS;
    case GROUP_FEATURES_ATTRS: return MODEL_FEATURES_ATTRS;
    case GROUP_RECORD_ATTRS: return MODEL_RECORD_ATTRS;
    case GROUP_LITERATURE_ATTRS: return MODEL_LITERATURE_ATTRS;
    }
    return -1;
}

UnitEntry* NewUnitEntry(const wchar_t* sourceName, int sourceLevel, bool optional)
{
    UnitEntry* entry = static_cast<UnitEntry*>(calloc(1, sizeof(UnitEntry)));
    CopyName(entry->SourceName, 64, sourceName);
    entry->SourceLevel = sourceLevel;
    entry->Optional = optional ? 1 : 0;
    entry->TargetLevel = -1;
    return entry;
}

AttrImportEntry* NewAttrImportEntry(const wchar_t* sourceName, int type, int size)
{
    AttrImportEntry* entry = static_cast<AttrImportEntry*>(calloc(1, sizeof(AttrImportEntry)));
    CopyName(entry->SourceName, 64, sourceName);
    entry->Type = type;
    entry->Size = size;
    entry->TargetType = type;
    entry->TargetOrdinal = -1;
    VariantInit(&entry->MinVal);
    VariantInit(&entry->MaxVal);
    VariantInit(&entry->NullVal);
    return entry;
}

SourceColumn* NewSourceColumn(const wchar_t* sourceName, int sourceType, int sourceSize)
{
    SourceColumn* column = static_cast<SourceColumn*>(calloc(1, sizeof(SourceColumn)));
    CopyName(column->SourceName, 64, sourceName && *sourceName ? sourceName : L"???");
    CopyName(column->TargetName, 64, column->SourceName);
    column->SourceType = sourceType;
    column->SourceSize = sourceSize;
    column->TargetType = sourceType;
    column->TargetSize = sourceSize > 0 ? sourceSize : 255;
    column->TargetOrdinal = -1;
    column->LevelIndex = -1;
    CopyName(column->ListSeparator, 4, L";");
    VariantInit(&column->MinValue);
    VariantInit(&column->MaxValue);
    VariantInit(&column->EmptyValue);
    return column;
}

void FreeGroupEntry(int kind, void* entry)
{
    if (!entry)
        return;
    if (IsMappingKind(kind) && !IsUnitKind(kind)) {
        AttrImportEntry* attr = static_cast<AttrImportEntry*>(entry);
        VariantClear(&attr->MinVal);
        VariantClear(&attr->MaxVal);
        VariantClear(&attr->NullVal);
    } else if (kind == GROUP_COLUMNS) {
        SourceColumn* column = static_cast<SourceColumn*>(entry);
        VariantClear(&column->MinValue);
        VariantClear(&column->MaxValue);
        VariantClear(&column->EmptyValue);
    }
    free(entry);
}

// ---------------------------------------------------------------------------------------------

void InitImportJob(ImportJob* job, CSchemaDb* db, StructureModel* model)
{
    job->Source = nullptr;
    job->Db = db;
    job->Model = model;
    for (int g = 0; g < 8; ++g) {
        job->GroupFlags[g] = 0;
        job->GroupItems[g] = new CPtrArray(PTRARRAY_BORROWS, 16, 4);  // freed by kind, below
        job->GroupKinds[g] = GROUP_NONE;
    }
    job->TableName = nullptr;
    job->TargetSysId = -1;
    job->TargetLocId = -1;
    job->NewSpecies = job->NewLocality = TypedTarget();
    job->SourceType = -1;
    job->ModelStale = false;
}

void ResetImportGroups(ImportJob* job)
{
    for (int g = 0; g < 8; ++g) {
        job->GroupFlags[g] = 0;
        CPtrArray* items = job->GroupItems[g];
        if (!items)
            continue;
        for (int i = 0; i < items->GetCount(); ++i)
            FreeGroupEntry(job->GroupKinds[g], items->GetItems()[i]);
        items->RemoveAll(0);
        job->GroupKinds[g] = GROUP_NONE;
    }
    free(job->TableName);
    job->TableName = nullptr;
}

void FreeImportJob(ImportJob* job)
{
    ResetImportGroups(job);
    for (int g = 0; g < 8; ++g) {
        delete job->GroupItems[g];
        job->GroupItems[g] = nullptr;
    }
    delete job->Source;
    job->Source = nullptr;
    job->SourceType = -1;
}

ImportSourceCreator SetImportSourceCreator(int type, ImportSourceCreator creator)
{
    if (type < 0 || type >= IMPSRC_TYPE_COUNT)
        return nullptr;
    ImportSourceCreator previous = g_creators[type];
    g_creators[type] = creator;
    return previous;
}

void SelectImportSourceType(ImportJob* job, HINSTANCE instance, int type)
{
    if (type == job->SourceType && job->Source)
        return;
    ResetImportGroups(job);
    delete job->Source;
    job->Source = nullptr;
    job->SourceType = type;
    if (type >= 0 && type < IMPSRC_TYPE_COUNT && g_creators[type])
        job->Source = g_creators[type](instance, type);
}

bool OpenImportSource(ImportJob* job, const wchar_t* path)
{
    IImpSource* source = job->Source;
    if (!source || !path || !*path)
        return false;
    std::wstring previous = source->Path;
    bool ok = source->Open(path);
    source->Path = path;
    if (ok && _wcsicmp(previous.c_str(), path) != 0)
        ResetImportGroups(job);
    return ok;
}

// ---------------------------------------------------------------------------------------------

IImpSource::IImpSource(HINSTANCE instance) : hInstance(instance), ThreadId(0), MaxSysId(0), MaxLocId(0)
{
    LogFile = nullptr;
    ErrorCount = NoteCount = 0;
    Connection = nullptr;
    LinePrefix[0] = NotePrefix[0] = SourcePrefix[0] = DescPrefix[0] = LogPath[0] = 0;
}

IImpSource::~IImpSource()
{
    CloseImportLog(this);
}

int IImpSource::GetGroupCaptionId(int group)
{
    int kind = GetGroupKind(group);
    return IsMappingKind(kind) ? IDS_I_GROUP_CAPTION_BASE + kind : -1;
}

bool IImpSource::StartImport(ProgressParams* params)
{
    ProgressSetTitle(params, IDS_I_IMPORT_TITLE);
    LoadImportLogPrefixes(this, hInstance);
    return StartProgressWorker(params, ImportWorker, &ThreadId);
}

UINT IImpSource::RowStatusId() const
{
    return IDS_I_IMPORTING_RECORDS;
}

bool IImpSource::ChangeStructure(ImportRun& run)
{
    return TransferStructure(run);
}

bool IImpSource::OpenTargets(ImportRun& run)
{
    Targets.Index.Reset(&run.Journal);
    return OpenTargetTables(run.Connection, &Targets, &MaxSysId, &MaxLocId);
}
