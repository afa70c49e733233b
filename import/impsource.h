// Import sources. Tarnix imports data into the open database from several kinds of source (the
// previous version's exchange files, an older database, text files, Access and Excel tables).
// Each kind is a class derived from IImpSource. The wizard (impwizard.h) makes the source of the
// type the user picks, asks it which pages ("groups") it needs, lets it fill the lists those
// pages edit, and hands the ImportJob to the progress dialog, whose import starter runs the one
// import frame (importrun.h) over the source's hooks.
//
// A new kind of source:
//   1. derives from IImpSource and implements the wizard half (Open, GetGroupCount, GetGroupKind,
//      FillGroup) and the run half (OpenData, ImportRow, Percent, CloseData); ChangeStructure and
//      OpenTargets have defaults for the sources whose groups are units and attributes;
//   2. registers a creator for its type number with SetImportSourceCreator at program start.
// Row hooks write through ImportRun (importrun.h), which holds every row in a savepoint of the
// import's one transaction.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "core/containers.h"
#include "import/importlog.h"
#include "import/typedtarget.h"
#include "import/targettables.h"

class CSchemaDb;
class ImportRun;
struct ProgressParams;
struct StructureModel;

// Source types: the item data of the welcome page's list.
enum ImportSourceType {
    IMPSRC_RECORDS_2002 = 0,   // records exchange file
    IMPSRC_SYSTEM_2002 = 1,    // systematic exchange file
    IMPSRC_LOCALITY_2002 = 2,  // locality exchange file
    IMPSRC_DATABASE_2010 = 3,  // database of the current format
    IMPSRC_TEXT = 4,           // delimited text file
    IMPSRC_ACCESS = 5,         // Access table
    IMPSRC_EXCEL = 6,          // Excel sheet
    IMPSRC_TYPE_COUNT = 7,
};

// Kinds of wizard group. 1-8 are shown by the field mapping page and name the target list of the
// structure model their choices refer to; the caption of kind k is string 49 + k.
enum ImportGroupKind {
    GROUP_NONE = 0,
    GROUP_SYS_UNITS = 1,
    GROUP_SYSTREE_ATTRS = 2,
    GROUP_SPECIES_ATTRS = 3,
    GROUP_LOC_UNITS = 4,
    GROUP_LOCTREE_ATTRS = 5,
    GROUP_FEATURES_ATTRS = 6,
    GROUP_RECORD_ATTRS = 7,
    GROUP_LITERATURE_ATTRS = 8,
    GROUP_TABLE_LIST = 9,      // wide texts: tables or sheets of the source
    GROUP_TEXT_SETTINGS = 10,  // one TextImportOptions
    GROUP_COLUMNS = 11,        // SourceColumn entries; always the last group
};

inline bool IsMappingKind(int kind) { return kind >= GROUP_SYS_UNITS && kind <= GROUP_LITERATURE_ATTRS; }
inline bool IsUnitKind(int kind) { return kind == GROUP_SYS_UNITS || kind == GROUP_LOC_UNITS; }

// The model list (structmodel.h ModelList) a mapping kind refers to; -1 for other kinds.
int ModelListOfKind(int kind);

// What the user chose for a unit or attribute of the source.
enum ImportChoice {
    CHOICE_SKIP = 0,    // " .. Nezavádět"
    CHOICE_MAP = 1,     // onto the existing level or attribute named TargetName
    CHOICE_CREATE = 2,  // created in the target under TargetName
};

// One level of the source (kinds 1 and 4).
struct UnitEntry {
    wchar_t SourceName[64];
    int SourceLevel;   // 1-based level number in the source
    BYTE Optional;     // the level's items carry records: a level made from it is a data level
    wchar_t TargetName[64];
    int TargetLevel;   // the level's number in the target (structure transfer); -1 skipped
    int State;         // ImportChoice
};

// One attribute of the source (kinds 2, 3, 5-8): its definition as the source gives it, then
// where it goes.
struct AttrImportEntry {
    wchar_t SourceName[64];
    int Type;
    int Size;
    BYTE KeyFlag;
    wchar_t TabName[32];
    VARIANT MinVal, MaxVal, NullVal;
    wchar_t TargetName[64];
    int TargetType;
    wchar_t TargetColumn[32];
    int TargetOrdinal;  // the target column's position in its table, -1 none
    int State;          // ImportChoice
    BYTE DatePart;      // 1 day, 2 month, 3 year of a date the source keeps in parts; 0 none
};

// The one entry of the text settings group (kind 10).
struct TextImportOptions {
    BYTE FirstRowHeader;
    int SkipRows;
    wchar_t Separator[4];
};

// Target groups of a flat source's column (kind 11), in the model's table order.
enum ColumnTargetGroup {
    COLGROUP_NONE = 0,
    COLGROUP_SYSTREE = 1,
    COLGROUP_LOCTREE = 2,
    COLGROUP_SPECIES = 3,
    COLGROUP_FEATURES = 4,
    COLGROUP_RECORDS = 5,
    COLGROUP_LITERATURE = 6,
};

// One column of a text file, Access table or Excel sheet (kind 11).
struct SourceColumn {
    int TargetGroup;        // ColumnTargetGroup
    wchar_t SourceName[64];
    int SourceType;
    int SourceSize;
    wchar_t TargetName[64];
    wchar_t TargetColumn[32];  // empty: a new attribute
    VARIANT MinValue, MaxValue, EmptyValue;  // texts as typed, converted when the attribute is made
    int TargetType;
    int TargetSize;
    BYTE KeyFlag;
    int TargetOrdinal;
    int LevelIndex;         // tree level of groups 1 and 2, -1 none
    wchar_t ListSeparator[4];
};

// New entries, zeroed, their VARIANTs empty and their numbers "none"; freed by FreeGroupEntry.
UnitEntry* NewUnitEntry(const wchar_t* sourceName, int sourceLevel, bool optional);
AttrImportEntry* NewAttrImportEntry(const wchar_t* sourceName, int type, int size);
SourceColumn* NewSourceColumn(const wchar_t* sourceName, int sourceType, int sourceSize);
// Frees an entry of a list of that kind, with the values its VARIANTs hold.
void FreeGroupEntry(int kind, void* entry);

// Everything one import needs: made by the import command before the wizard, freed (with the
// source) after the progress dialog has closed.
struct ImportJob {
    class IImpSource* Source;   // owned; null until a type is chosen
    CSchemaDb* Db;
    StructureModel* Model;
    BYTE GroupFlags[8];         // group g's mapping page was left at least once
    CPtrArray* GroupItems[8];   // group g's entries in list g-1
    int GroupKinds[8];          // the kind each list was filled as (what freeing releases)
    wchar_t* TableName;         // malloc'd; the table chosen on the table list page
    int TargetSysId;            // SYSTREE node of new species, -1 none
    int TargetLocId;            // LOCTREE node of records without a locality, -1 none
    // Typed on the target page instead of chosen: made by the run, which then sets the ids above.
    TypedTarget NewSpecies, NewLocality;
    int SourceType;             // ImportSourceType of Source, -1 none
    // Set by a run that rolled back: the model still holds what its structure steps believed
    // written. Only the user-interface thread reads the model again, once the run has ended
    // (ReloadModelAfterImport, importrun.h).
    bool ModelStale;
};

void InitImportJob(ImportJob* job, CSchemaDb* db, StructureModel* model);
// Empties the eight lists and the visited flags (a new type or a new file starts afresh).
void ResetImportGroups(ImportJob* job);
// Frees the lists, the table name and the source.
void FreeImportJob(ImportJob* job);

class IImpSource : public ImportLog {
public:
    explicit IImpSource(HINSTANCE instance);
    virtual ~IImpSource();
    IImpSource(const IImpSource&) = delete;
    IImpSource& operator=(const IImpSource&) = delete;

    // ---- the wizard's half ----
    // String id of the path label (28 "Název souboru:"); negative disables the path.
    virtual int GetPathLabelId() { return 28; }
    // Remembers the path and checks that it is a usable source of this kind, releasing what an
    // earlier call opened.
    virtual bool Open(const wchar_t* path) = 0;
    // After a failed Open: why the file cannot be used, in words for the user; empty when the
    // source has nothing to add to "not a source of this kind".
    virtual std::wstring OpenProblem() const { return std::wstring(); }
    // After a successful Open: what the user should know of how the file will be read (the
    // welcome page adds it to "the source is sound"); empty for nothing.
    virtual std::wstring OpenNote() const { return std::wstring(); }
    virtual int GetGroupCount() = 0;
    // String id of a group's caption (49 + its kind for mapping groups), -1 none.
    virtual int GetGroupCaptionId(int group);
    // Kind of a group 1..count; 0 outside.
    virtual int GetGroupKind(int group) = 0;
    // Puts the group's entries into an empty list (a list with entries stays as it is) and
    // returns the kind. extra: the table name or the text settings, for kind 11 only.
    virtual int FillGroup(int group, CPtrArray* items, void* extra) = 0;
    // Called by the progress dialog: title, log prefixes, the worker thread.
    virtual bool StartImport(ProgressParams* params);

    // ---- the run's half (on the worker thread, inside the import's transaction) ----
    // Status shown while the rows are imported (string 114 "Importuji nálezy ...").
    virtual UINT RowStatusId() const;
    // Opens the source's data; false stops the run (nothing is kept).
    virtual bool OpenData(ImportRun& run) = 0;
    // The structure changes the groups ask for; false stops the run. The default runs the
    // transfer of units and attribute groups (structtransfer.h).
    virtual bool ChangeStructure(ImportRun& run);
    // Opens the target tables the rows are written to (the default: slots 0-7, with an empty
    // index noting in the run's journal); false stops the run.
    virtual bool OpenTargets(ImportRun& run);
    // Imports the next row: ROW_END when there is none left. A row that fails is logged by the
    // source (run.LogError, run.LogDbErrors) and answered ROW_FAILED; the frame undoes what it
    // wrote, and what it noted in run.Journal. ROW_FATAL stops the run (the source is
    // unreadable).
    virtual int ImportRow(ImportRun& run) = 0;
    // How far the rows have come, 0-100.
    virtual int Percent() = 0;
    // Releases the source's data and whatever the run opened; also after a failed run.
    virtual void CloseData(ImportRun& run) = 0;

    HINSTANCE hInstance;
    DWORD ThreadId;
    std::wstring Path;     // the path last given to Open
    TargetTables Targets;  // the target tables the rows go to (default OpenTargets)
    int MaxSysId;          // highest ids of the trees when the tables opened; new items count on
    int MaxLocId;
};

// Creators of the source types. A type without a creator offers no source (the welcome page
// refuses every path for it). Returns the creator it replaces.
typedef IImpSource* (*ImportSourceCreator)(HINSTANCE instance, int type);
ImportSourceCreator SetImportSourceCreator(int type, ImportSourceCreator creator);

// The welcome page's factory: a type other than the job's present one empties the groups,
// deletes the old source and makes the new one (null when none is registered). Choosing the
// same type again keeps everything.
void SelectImportSourceType(ImportJob* job, HINSTANCE instance, int type);

// Opens path with the job's source. A path that opens and differs from the last one opened
// empties the groups, so that a new file is never imported with another file's mapping.
bool OpenImportSource(ImportJob* job, const wchar_t* path);
