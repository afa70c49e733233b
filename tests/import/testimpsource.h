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

#include "core/msgbox.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "import/structtransfer.h"
#include "tests/support/wintest.h"

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
    int messageAt = 0;        // this row writes (a describing author, a tree item, its record), then
                              // fails with a message of its own
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
        std::wstring mark = L"'row " + std::to_wstring(row_) + L"'";
        std::wstring sql = L"INSERT INTO ZORNACOLLS (SYSID, FTRID, LITID, RECNOTE) VALUES (" + std::to_wstring(sysId_) +
                           L", " + std::to_wstring(locId_) + L", -1, " + mark + L")";
        if (row_ == messageAt) {
            // What a real source writes before it finds a value it cannot take.
            std::wstring species = std::to_wstring(sysId_);
            run.Execute(L"INSERT INTO SYSAUTHORS (NAME) VALUES (" + mark + L")");
            run.Execute(L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) SELECT (SELECT MAX(ID) + 1 FROM SYSTREE), "
                        L"PARENT, SYSLEVEL, 0, " + mark + L" FROM SYSTREE WHERE ID = " + species);
            run.Execute(sql);
            run.LogError(L"  Řádek nelze přečíst");
            return ROW_FAILED;
        }
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

inline int AnswerOk(HWND, LPCWSTR, LPCWSTR, UINT) { return IDOK; }

// The import logs go into a folder of the test (the data folder's registry value), which is
// removed with everything in it.
class LogFolder {
public:
    LogFolder() : folder_(L"tarnix_import_logs")
    {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Kelvane\\Z211", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        // A subfolder not made yet: the log makes it.
        std::wstring value = folder_.Path() + L"\\logs";
        RegSetValueExW(key_, L"Z211 Data", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       (DWORD)((value.size() + 1) * sizeof(wchar_t)));
        previousHook_ = SetMsgBoxHook(AnswerOk);
    }
    ~LogFolder()
    {
        RegDeleteValueW(key_, L"Z211 Data");
        RegCloseKey(key_);
        SetMsgBoxHook(previousHook_);
    }
    // The folder the logs go to.
    std::wstring Folder() const { return folder_.Path() + L"\\logs"; }
    std::vector<std::wstring> Logs() const
    {
        std::vector<std::wstring> files;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((folder_.Path() + L"\\logs\\Imp*.log").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return files;
        do
            files.push_back(folder_.Path() + L"\\logs\\" + data.cFileName);
        while (FindNextFileW(find, &data));
        FindClose(find);
        return files;
    }

private:
    wintest::ScopedTempFolder folder_;
    HKEY key_ = nullptr;
    MsgBoxHook previousHook_ = nullptr;
};

// Writes the text into a file in the code page (cp1250 as most field data comes).
inline void WriteTextFile(const std::wstring& path, const std::wstring& text, UINT codePage = 1250)
{
    int n = WideCharToMultiByte(codePage, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string bytes((size_t)n, '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, text.c_str(), (int)text.size(), &bytes[0], n, nullptr, nullptr);
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (f) {
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
}

// A file's bytes read in the code page (the log's is the system's ANSI code page).
inline std::wstring FromCodePage(const std::string& bytes, UINT codePage = CP_ACP)
{
    int n = MultiByteToWideChar(codePage, 0, bytes.data(), (int)bytes.size(), nullptr, 0);
    std::wstring text((size_t)(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, bytes.data(), (int)bytes.size(), &text[0], n);
    return text;
}

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
