// The import source of one table or view of an Access database (source type 5) or one sheet of
// an Excel workbook (type 6). The wizard gets the list of tables, then the columns of the chosen
// one for the field mapping; the run imports every row of it with the row import, the values as
// the data layer delivers them, read by column position.
#pragma once
#include "import/impsource.h"
#include "import/rowimport.h"
#include "import/tablereader.h"

class CImpMDBSrc : public IImpSource {
public:
    CImpMDBSrc(HINSTANCE instance, bool workbook);

    bool Open(const wchar_t* path) override;
    std::wstring OpenProblem() const override;
    int GetGroupCount() override { return 2; }
    int GetGroupCaptionId(int) override { return -1; }
    int GetGroupKind(int group) override;
    int FillGroup(int group, CPtrArray* items, void* extra) override;

    bool OpenData(ImportRun& run) override;
    // New columns of the table become attributes, and every mapped column learns its position.
    bool ChangeStructure(ImportRun& run) override;
    bool OpenTargets(ImportRun& run) override;
    int ImportRow(ImportRun& run) override;
    int Percent() override { return reader_.Percent(); }
    void CloseData(ImportRun& run) override;

    TableReader& Reader() { return reader_; }

private:
    void LogUnreadable(ImportRun& run);

    TableReader reader_;
    RowImport rows_;
    std::vector<VARIANT> values_;
    int unreadable_ = 0;  // values of mapped columns the layer could not read in this run
};

// The creator registered for source types 5 and 6.
IImpSource* CreateTableSource(HINSTANCE instance, int type);
