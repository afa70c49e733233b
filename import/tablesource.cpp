#include "import/tablesource.h"

#include <strsafe.h>

#include "import/importrun.h"
#include "import/structtransfer.h"
#include "resources/tarnix/resource.h"

CImpMDBSrc::CImpMDBSrc(HINSTANCE instance, bool workbook) : IImpSource(instance), reader_(workbook) {}

bool CImpMDBSrc::Open(const wchar_t* path)
{
    Path = path ? path : L"";
    return reader_.Open(path);
}

std::wstring CImpMDBSrc::OpenProblem() const
{
    if (!reader_.TooShort())
        return reader_.Problem();
    wchar_t text[256] = L"";
    LoadStringW(hInstance, IDS_I_BOOK_TOO_SHORT, text, 256);
    return text;
}

int CImpMDBSrc::GetGroupKind(int group)
{
    return group == 1 ? GROUP_TABLE_LIST : group == 2 ? GROUP_COLUMNS : GROUP_NONE;
}

int CImpMDBSrc::FillGroup(int group, CPtrArray* items, void* extra)
{
    if (group == 1) {
        reader_.FillTables(items);
        return GROUP_TABLE_LIST;
    }
    if (group == 2) {
        reader_.FillColumns(static_cast<const wchar_t*>(extra), items);
        return GROUP_COLUMNS;
    }
    return GROUP_NONE;
}

bool CImpMDBSrc::OpenData(ImportRun& run)
{
    unreadable_ = 0;
    return reader_.OpenRows(run.Job->TableName);
}

bool CImpMDBSrc::ChangeStructure(ImportRun& run)
{
    CPtrArray* columns = run.Job->GroupItems[1];
    return !columns || TransferColumns(run, columns);
}

bool CImpMDBSrc::OpenTargets(ImportRun& run)
{
    return IImpSource::OpenTargets(run) && rows_.Begin(run, run.Job->GroupItems[1]);
}

int CImpMDBSrc::ImportRow(ImportRun& run)
{
    for (VARIANT& v : values_)
        VariantClear(&v);
    if (!reader_.NextRow(&values_))
        return ROW_END;
    run.Line = (int)reader_.RowsRead();
    LogUnreadable(run);
    return ImportMdbRow(run, rows_, values_.data(), (int)values_.size());
}

void CImpMDBSrc::LogUnreadable(ImportRun& run)
{
    for (long field : reader_.Unreadable()) {
        CPtrArray* columns = rows_.Columns;
        const SourceColumn* column =
            columns && field < columns->GetCount() ? static_cast<SourceColumn*>(columns->GetItems()[field]) : nullptr;
        if (!column || column->TargetGroup == COLGROUP_NONE)
            continue;  // not imported: nothing is missing
        ++unreadable_;
        wchar_t text[512];
        StringCchPrintfW(text, 512, run.String(IDS_I_ROW_UNREADABLE_VALUE).c_str(), column->SourceName);
        run.LogError(text);
    }
}

void CImpMDBSrc::CloseData(ImportRun& run)
{
    if (unreadable_ > 0) {
        wchar_t text[512];
        StringCchPrintfW(text, 512, run.String(IDS_I_TABLE_UNREADABLE_COUNT).c_str(), unreadable_);
        run.LogError(text);
        unreadable_ = 0;
    }
    for (VARIANT& v : values_)
        VariantClear(&v);
    values_.clear();
    rows_.End();
    reader_.CloseRows();
    CloseTargetTables(&Targets);
}

IImpSource* CreateTableSource(HINSTANCE instance, int type)
{
    return new CImpMDBSrc(instance, type == IMPSRC_EXCEL);
}
