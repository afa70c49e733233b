// The import source of another database file of the program's own format, typically one kept by
// an older installation or by a colleague (source type 3): its levels and attributes are mapped
// onto the open database or created there, then every record of its records view is copied with
// the tree items, species, localities and publications it refers to, and afterwards every
// publication of its literature view (mergetrees.h, mergerecords.h).
//
// The file is opened read-only and never changed. Older files differ from the current layout:
// an attribute table without its value columns, FEATURES without the locality note, a records
// view that ends with the publication's name, name tables of two columns. Columns are therefore
// found by name, never counted: a level added after an attribute puts its path column behind it.
#pragma once
#include <windows.h>

#include <memory>

#include "dataaccess/connstr.h"
#include "import/impsource.h"
#include "import/mergerecords.h"
#include "structure/structmodel.h"

class CImpDB2010Src : public IImpSource {
public:
    explicit CImpDB2010Src(HINSTANCE instance);
    ~CImpDB2010Src() override;

    // Opens the file read-only and loads its structure, releasing what an earlier call opened.
    // False for a missing file, a file that is no SQLite database (a genuine Access file
    // included), a database without the program's tables, or a file another connection holds
    // exclusively (the open database itself).
    bool Open(const wchar_t* path) override;
    std::wstring OpenProblem() const override { return problem_; }
    // Two groups of units, then one per non-empty attribute list of the source.
    int GetGroupCount() override { return GroupCount; }
    int GetGroupKind(int group) override;
    int FillGroup(int group, CPtrArray* items, void* extra) override;

    bool OpenData(ImportRun& run) override;
    bool OpenTargets(ImportRun& run) override;
    int ImportRow(ImportRun& run) override;
    int Percent() override;
    void CloseData(ImportRun& run) override;

    // The model list (structmodel.h) a group shows, -1 outside the groups.
    int ModelListOfGroup(int group) const;

    zdata::Connection* SourceConnection;
    StructureModel SourceModel;
    int SourceLastSysLevel;
    int SourceLastLocLevel;
    int GroupCount;

private:
    void CloseSource();
    std::wstring RefusalOf(const wchar_t* path, zdata::DbFileKind kind);

    std::wstring problem_;
    std::unique_ptr<MergeRun> merge_;
    std::unique_ptr<MergeTable> recordView_, litView_;
    RecordViewColumns recordColumns_;
    RecordWriter recordWriter_;
    long recordRows_ = 0, litRows_ = 0, done_ = 0, rowNumber_ = 0;
    bool recordViewOpen_ = false, litViewOpen_ = false;
};

// Fills every group of the job's source and takes for each entry the choice the mapping page
// makes by itself: the target level or attribute of the same name, or a new one. A merge run
// without the wizard (the benchmark) starts from it.
void MapGroupsAutomatically(ImportJob* job);

// The creator registered for source type 3.
IImpSource* CreateDb2010Source(HINSTANCE instance, int type);
