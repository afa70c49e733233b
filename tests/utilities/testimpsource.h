// A stand-in import source for the tests of the import frame and the wizard. Its "file" is any
// file whose text starts with "ZORTEST"; it offers the groups it is given (units, attributes or
// flat columns with their entries) and imports a given number of records, each a row of
// ZORNACOLLS whose note is "row n" and whose species and locality are the first of the target.
#pragma once
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "import/impsource.h"
#include "import/importrun.h"
#include "import/structtransfer.h"

namespace importtest {

struct TestGroup {
    int kind;
    std::vector<std::wstring> names;  // units, attributes or columns in order
    std::vector<bool> optional;       // units: the level carries records
};

class TestSource : public IImpSource {
public:
    explicit TestSource(HINSTANCE instance) : IImpSource(instance) {}

    std::vector<TestGroup> groups;
    int rows = 0;
    bool unreadable = false;  // OpenData fails
    int fatalAt = 0;          // ImportRow answers ROW_FATAL at this row
    int messageAt = 0;        // this row fails with a message of its own
    int opens = 0;            // calls of Open
    std::wstring columnsTable;  // the table the columns were last listed for (after a table list)
    std::function<void(ImportRun&, int row)> beforeRow;

    bool Open(const wchar_t* path) override
    {
        ++opens;
        FILE* f = _wfopen(path, L"rb");
        if (!f)
            return false;
        char head[8] = {};
        size_t n = fread(head, 1, 7, f);
        fclose(f);
        return n == 7 && std::string(head) == "ZORTEST";
    }
    int GetGroupCount() override { return (int)groups.size(); }
    int GetGroupKind(int group) override
    {
        return group >= 1 && group <= (int)groups.size() ? groups[(size_t)group - 1].kind : 0;
    }
    int FillGroup(int group, CPtrArray* items, void* extra) override
    {
        int kind = GetGroupKind(group);
        if (items->GetCount() > 0 || kind == 0)
            return kind;
        if (kind == GROUP_COLUMNS && GetGroupKind(group - 1) == GROUP_TABLE_LIST)
            columnsTable = extra ? static_cast<const wchar_t*>(extra) : L"";
        const TestGroup& g = groups[(size_t)group - 1];
        for (size_t i = 0; i < g.names.size(); ++i) {
            if (IsUnitKind(kind))
                items->Add(NewUnitEntry(g.names[i].c_str(), (int)i + 1, i < g.optional.size() && g.optional[i]));
            else if (IsMappingKind(kind))
                items->Add(NewAttrImportEntry(g.names[i].c_str(), 4, 40));
            else if (kind == GROUP_COLUMNS)
                items->Add(NewSourceColumn(g.names[i].c_str(), 4, 40));
            else if (kind == GROUP_TABLE_LIST)
                items->Add(_wcsdup(g.names[i].c_str()));
            else if (kind == GROUP_TEXT_SETTINGS) {
                TextImportOptions* options = static_cast<TextImportOptions*>(calloc(1, sizeof(TextImportOptions)));
                options->Separator[0] = L'\t';
                items->Add(options);
            }
        }
        return kind;
    }

    bool OpenData(ImportRun& run) override
    {
        row_ = 0;
        if (unreadable)
            return false;
        sysId_ = FirstId(run, L"SELECT SYSID FROM SPECIES ORDER BY SYSID LIMIT 1");
        locId_ = FirstId(run, L"SELECT LOCID FROM FEATURES ORDER BY LOCID LIMIT 1");
        return true;
    }
    bool ChangeStructure(ImportRun& run) override
    {
        for (size_t g = 0; g < groups.size(); ++g)
            if (groups[g].kind == GROUP_COLUMNS)
                return TransferColumns(run, run.Job->GroupItems[g]);
        return IImpSource::ChangeStructure(run);
    }
    int ImportRow(ImportRun& run) override
    {
        if (row_ >= rows)
            return ROW_END;
        run.Line = ++row_;
        if (beforeRow)
            beforeRow(run, row_);
        if (row_ == fatalAt)
            return ROW_FATAL;
        if (row_ == messageAt) {
            run.LogError(L"  Řádek nelze přečíst");
            return ROW_FAILED;
        }
        std::wstring sql = L"INSERT INTO ZORNACOLLS (SYSID, FTRID, LITID, RECNOTE) VALUES (" + std::to_wstring(sysId_) +
                           L", " + std::to_wstring(locId_) + L", -1, 'row " + std::to_wstring(row_) + L"')";
        if (run.Execute(sql))
            return ROW_IMPORTED;
        run.LogDbErrors();
        return ROW_FAILED;
    }
    int Percent() override { return rows ? row_ * 100 / rows : 100; }
    void CloseData(ImportRun&) override { CloseTargetTables(&Targets); }

private:
    static int FirstId(ImportRun& run, const wchar_t* sql)
    {
        zdata::Recordset* rs = nullptr;
        int id = 0;
        if (SUCCEEDED(run.Connection->Execute(sql, nullptr, adCmdText, &rs)) && rs && !rs->IsEOF()) {
            zdata::Fields* fields = nullptr;
            zdata::Field* field = nullptr;
            VARIANT v;
            VariantInit(&v);
            if (SUCCEEDED(rs->get_Fields(&fields)) && SUCCEEDED(fields->Item(0L, &field)) && SUCCEEDED(field->get_Value(&v)) &&
                SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4)))
                id = v.lVal;
            VariantClear(&v);
            if (field)
                field->Release();
            if (fields)
                fields->Release();
        }
        if (rs) {
            rs->Close();
            rs->Release();
        }
        return id;
    }
    int row_ = 0;
    int sysId_ = 0;
    int locId_ = 0;
};

// What a headless run reported.
class RecordingSink : public ImportSink {
public:
    std::vector<UINT> statuses;
    UINT finish = 0;
    int errorsLogged = 0;
    int cancelAtPercent = -1;  // Progress answers "stop" from this percentage on
    void Status(UINT id) override { statuses.push_back(id); }
    bool Progress(int percent) override { return cancelAtPercent >= 0 && percent >= cancelAtPercent; }
    HWND Owner() override { return nullptr; }
    void ErrorsLogged(int count) override { errorsLogged = count; }
    void Finish(UINT id) override { finish = id; }
};

}  // namespace importtest
