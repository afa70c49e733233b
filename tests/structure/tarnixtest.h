// What the utilities tests share: the program's strings, sample databases made once per test
// program, a dump of a whole database file for "nothing changed" checks, and a structure loaded
// through CSchemaDb.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tools/sampledb/sampledb.h"
#include "tests/core/dbfixture.h"
#include "tests/core/sampletemplate.h"
#include "tests/support/wintest.h"
#include "structure/schemadb.h"
#include "structure/structmodel.h"

namespace tarnixtest {

inline HINSTANCE Inst() { return GetModuleHandleW(nullptr); }

inline std::wstring ResString(UINT id)
{
    wchar_t buf[512] = L"";
    LoadStringW(Inst(), id, buf, 512);
    return buf;
}

// The sample database of the tests (2,000 records), made once.
inline std::wstring SampleTemplate()
{
    zor::SampleDbOptions options;
    options.records = 2000;
    options.seed = 23;
    return SharedSampleTemplate(L"tarnix_sample", options);
}

// The same sample in the older layout (the attribute table without its value columns).
inline std::wstring OlderLayoutTemplate()
{
    zor::SampleDbOptions options;
    options.records = 2000;
    options.seed = 23;
    options.olderAttributeTable = true;
    return SharedSampleTemplate(L"tarnix_older", options);
}

// An empty Zorna database (schema and root rows only).
inline std::wstring EmptyTemplate()
{
    zor::SampleDbOptions options;
    options.empty = true;
    return SharedSampleTemplate(L"tarnix_empty", options);
}

// A copy of the sample database in a folder of the test, removed with it.
class SampleCopy {
public:
    SampleCopy() : folder_(dbtest::TestFolderName("tarnix_import_").c_str())
    {
        path_ = folder_.File(L"ZorBase.mdb");
        EXPECT_TRUE(CopyFileW(SampleTemplate().c_str(), path_.c_str(), FALSE));
    }
    const std::wstring& Path() const { return path_; }

private:
    wintest::ScopedTempFolder folder_;
    std::wstring path_;
};

// Every table's schema and rows (in rowid order, each value as an SQL literal), so that two
// dumps are equal exactly when the files hold the same data.
inline std::wstring DumpDatabase(const std::wstring& path)
{
    std::wstring dump;
    for (const auto& row : dbtest::Query(path, L"SELECT name, type, sql FROM sqlite_master ORDER BY name"))
        dump += row[0] + L"|" + row[1] + L"|" + row[2] + L"\n";
    for (const auto& table :
         dbtest::Query(path, L"SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' ORDER BY name")) {
        std::wstring columns;
        for (const auto& c : dbtest::Query(path, L"PRAGMA table_info([" + table[0] + L"])"))
            columns += (columns.empty() ? L"quote([" : L" || '|' || quote([") + c[1] + L"])";
        dump += L"== " + table[0] + L"\n";
        for (const auto& row : dbtest::Query(path, L"SELECT " + columns + L" FROM [" + table[0] + L"] ORDER BY rowid"))
            dump += row[0] + L"\n";
    }
    return dump;
}

// What is wrong with a whole file's trees, empty when nothing: items at a level that is not below
// their parent's ("SYSTREE 12", "LOCTREE 40"), and locality rows of items above the data levels
// ("FEATURES 7").
inline std::wstring TreeFaults(const std::wstring& path)
{
    return dbtest::First(
        path, L"SELECT ifnull(group_concat(fault, ', '), '') FROM ("
              L"SELECT 'SYSTREE ' || C.ID AS fault FROM SYSTREE C JOIN SYSTREE P ON P.ID = C.PARENT "
              L"WHERE C.PARENT > 0 AND C.SYSLEVEL <= P.SYSLEVEL "
              L"UNION ALL SELECT 'LOCTREE ' || C.ID FROM LOCTREE C JOIN LOCTREE P ON P.ID = C.PARENT "
              L"WHERE C.PARENT > 0 AND C.LOCLEVEL <= P.LOCLEVEL "
              L"UNION ALL SELECT 'FEATURES ' || F.LOCID FROM FEATURES F JOIN LOCTREE L ON L.ID = F.LOCID "
              L"JOIN LOCDEF D ON D.LEVELID = L.LOCLEVEL WHERE D.DATALEVEL = 0)");
}

// Runs fn from a timer once a visible dialog of this thread with the caption shows (for modal
// dialogs, which hold the test inside their own loop). A wait not met in 10 s ends.
struct DialogWait {
    std::wstring caption;
    std::function<void(HWND)> fn;
    DWORD start;
};

inline std::vector<DialogWait>& DialogWaits()
{
    static std::vector<DialogWait> waits;
    return waits;
}

inline UINT_PTR& DialogWaitTimer()
{
    static UINT_PTR timer = 0;
    return timer;
}

inline void CALLBACK CheckDialogWaits(HWND, UINT, UINT_PTR, DWORD)
{
    std::vector<DialogWait>& waits = DialogWaits();
    for (size_t i = 0; i < waits.size(); ++i) {
        HWND dlg = FindWindowW(L"#32770", waits[i].caption.c_str());
        bool mine = dlg && IsWindowVisible(dlg) &&
                    GetWindowThreadProcessId(dlg, nullptr) == GetCurrentThreadId();
        if (!mine && GetTickCount() - waits[i].start <= 10000)
            continue;
        std::function<void(HWND)> fn = std::move(waits[i].fn);
        waits.erase(waits.begin() + (long)i);
        if (waits.empty()) {
            KillTimer(nullptr, DialogWaitTimer());
            DialogWaitTimer() = 0;
        }
        if (mine)
            fn(dlg);
        return;
    }
}

inline void OnDialog(const std::wstring& caption, std::function<void(HWND)> fn)
{
    DialogWaits().push_back({caption, std::move(fn), GetTickCount()});
    if (!DialogWaitTimer())
        DialogWaitTimer() = SetTimer(nullptr, 0, 20, CheckDialogWaits);
}

// The file opened through a CSchemaDb and its structure loaded into a model. Call the
// constructor's checks through ASSERT_NO_FATAL_FAILURE(Open()).
class LoadedStructure {
public:
    explicit LoadedStructure(const std::wstring& path) : path_(path), db_(Inst())
    {
        InitStructureModel(&model_);
        settings_.ConnType = 1;
        settings_.DBName = _wcsdup(path.c_str());
    }
    ~LoadedStructure()
    {
        db_.Close();
        ClearStructureModel(&model_);
        FreeStructureModel(&model_);
        free(settings_.DBName);
    }
    void Open()
    {
        ASSERT_TRUE(db_.Open(&settings_)) << dbtest::Narrow(path_);
        ASSERT_TRUE(db_.Load(&model_));
    }
    CSchemaDb& Db() { return db_; }
    StructureModel& Model() { return model_; }
    ItemList& List(int k) { return model_.Lists[k]; }

private:
    std::wstring path_;
    CSchemaDb db_;
    StructureModel model_;
    ConnSettings settings_ = {};
};

}  // namespace tarnixtest
