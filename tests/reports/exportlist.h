// What the export tests work on: a record list in a fresh database file, with a column of each
// kind the exports meet, opened as the program opens its lists (a read-only keyset over the
// rows), and its display fields; and a stand-in for the progress dialog that records what the
// worker sends it.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "core/containers.h"
#include "core/fields.h"
#include "dataaccess/ado.h"
#include "reports/exportprogress.h"
#include "tests/support/wintest.h"

namespace exporttest {

// The list's columns: caption, column of ZAZNAMY, and whether a value formatter shows it.
struct ColumnSpec
{
    const wchar_t* caption;
    const wchar_t* column;
    bool degrees;
};

// Records with a text, a long text, an integer, a real, a date, a boolean and a coordinate.
const ColumnSpec kColumns[] = {
    {L"Druh", L"NAZEV", false},       {L"Poznámka", L"POZNAMKA", false}, {L"Počet", L"POCET", false},
    {L"Délka těla", L"DELKA", false}, {L"Datum nálezu", L"DATUM", false}, {L"Doklad", L"DOKLAD", false},
    {L"S. š.", L"SIRKA", true},
};
const int kColumnCount = 7;

class ExportList
{
public:
    explicit ExportList(const wchar_t* folderName) : folder_(folderName), fields_(16, 4), infos_(16, 4)
    {
        path_ = folder_.File(L"Seznam.mdb");
        if (FAILED(zdata::CreateDatabaseFile(path_.c_str())))
            ADD_FAILURE() << "no database file";
        connection_ = zdata::Connection::Create();
        std::wstring cs = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_ + L";";
        if (FAILED(connection_->Open(cs.c_str())))
            ADD_FAILURE() << "the database does not open";
        Exec(L"CREATE TABLE ZAZNAMY (ID INTEGER PRIMARY KEY, NAZEV VARCHAR(64), POZNAMKA TEXT, POCET INTEGER, "
             L"DELKA DOUBLE, DATUM DATETIME, DOKLAD BOOLEAN, SIRKA DOUBLE)");
        for (int i = 0; i < kColumnCount; ++i) {
            CFieldInfo* info = new CFieldInfo(kColumns[i].column, L"ZAZNAMY");
            info->ColumnOrdinal = i + 1;  // ID is column 0
            wcscpy(info->Name, kColumns[i].caption);
            infos_.Add(info);
            CDispField* d = new CDispField(info);
            d->DispName = _wcsdup(kColumns[i].caption);
            if (kColumns[i].degrees)
                d->ValueFormatter = FormatDegMinSec;
            fields_.Add(d);
        }
    }
    ~ExportList()
    {
        if (list_)
            list_->Release();
        connection_->Close();
        connection_->Release();
        fields_.RemoveAll(1);
        infos_.RemoveAll(1);
    }
    ExportList(const ExportList&) = delete;
    ExportList& operator=(const ExportList&) = delete;

    void Exec(const std::wstring& sql)
    {
        EXPECT_HRESULT_SUCCEEDED(connection_->Execute(sql.c_str())) << std::string(sql.begin(), sql.end());
    }
    // n generated rows with ids from first on: every column filled, nothing special.
    void AddRows(int first, int n)
    {
        Exec(L"INSERT INTO ZAZNAMY (ID, NAZEV, POCET, DELKA, DATUM, DOKLAD, SIRKA) "
             L"WITH RECURSIVE k(x) AS (SELECT " + std::to_wstring(first) + L" UNION ALL SELECT x + 1 FROM k WHERE x < " +
             std::to_wstring(first + n - 1) + L") SELECT x, 'Carabus ' || x, x % 100, x / 8.0, 40000 + x % 5000, "
             L"x % 2, 49 + (x % 60) / 60.0 FROM k");
    }
    // The list, opened again (as a list's owner requeries it).
    zdata::Recordset* Open(const wchar_t* where = nullptr)
    {
        if (list_)
            list_->Release();
        list_ = zdata::Recordset::Create();
        list_->put_CursorLocation(adUseServer);
        std::wstring sql = std::wstring(L"SELECT * FROM ZAZNAMY") + (where ? L" WHERE " : L"") + (where ? where : L"") +
                           L" ORDER BY ID";
        EXPECT_HRESULT_SUCCEEDED(list_->Open(sql.c_str(), connection_, adOpenKeyset, adLockReadOnly));
        return list_;
    }
    CObjArray* Fields() { return &fields_; }
    CDispField* Field(int i) { return static_cast<CDispField*>(fields_.GetItems()[i]); }
    const wintest::ScopedTempFolder& Folder() const { return folder_; }
    zdata::Recordset* List() const { return list_; }

private:
    wintest::ScopedTempFolder folder_;
    std::wstring path_;
    zdata::Connection* connection_ = nullptr;
    zdata::Recordset* list_ = nullptr;
    CObjArray fields_;
    CObjArray infos_;  // owns the fields' CFieldInfo
};

// The progress dialog's stand-in: a message-only window that keeps the rows of every
// ZM_EXPORT_PROGRESS and the outcome of ZM_EXPORT_DONE.
class ProgressRecorder
{
public:
    ProgressRecorder()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZorExportProgressRecorder";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, (LONG_PTR)this);
        run.Instance = GetModuleHandleW(nullptr);
        run.DialogSlot = &window_;
    }
    ~ProgressRecorder() { DestroyWindow(window_); }
    ProgressRecorder(const ProgressRecorder&) = delete;
    ProgressRecorder& operator=(const ProgressRecorder&) = delete;

    ExportRun run;
    std::vector<int> rows;
    int done = 0;
    int failedFlag = -1;
    ExportOutcome outcome;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<ProgressRecorder*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && msg == ZM_EXPORT_PROGRESS) {
            self->rows.push_back((int)lParam);
            return 0;
        }
        if (self && msg == ZM_EXPORT_DONE) {
            ++self->done;
            self->failedFlag = (int)wParam;
            self->outcome = *reinterpret_cast<const ExportOutcome*>(lParam);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    HWND window_ = nullptr;
};

// Runs an export's worker on a clone of the list, as Run does, reporting to the recorder.
template <class Export>
void WriteRows(Export* e, ExportList* list, const std::wstring& file, ProgressRecorder* progress,
               zdata::Recordset* rows = nullptr)
{
    e->DispFields = list->Fields();
    ASSERT_HRESULT_SUCCEEDED((rows ? rows : list->Open())->Clone(&e->Rows));
    e->Rows->put_CacheSize(100);
    e->FileName = file.c_str();
    progress->run.Cancel = &e->StopFlag;
    e->Progress = &progress->run;
    e->WriteRows();
    e->Progress = nullptr;
    e->Rows->Release();
    e->Rows = nullptr;
    e->FileName = nullptr;
}

}  // namespace exporttest
