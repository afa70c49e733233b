// What the tests that work on a real database file share: a hidden main window that counts
// ZM_DB_OPENED (and lets a fixture answer the other messages the database object sends it),
// opening a fresh copy of a generated template through a CDatabase, and plain SQL on the file
// for checking what the database object wrote.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/connsettings.h"
#include "core/database.h"
#include "tools/testkit/rawodbc.h"
#include "core/zm_messages.h"
#include "czechcollation/czechtext.h"
#include "tests/core/sampletemplate.h"
#include "tests/support/wintest.h"

namespace dbtest {

using Rows = std::vector<std::vector<std::wstring>>;

inline std::string Narrow(const std::wstring& w)
{
    return std::string(w.begin(), w.end());
}

// ---- windows ----

// A window of a class registered on first use, for main windows and recording stand-ins.
inline HWND MakeWindow(const wchar_t* className, WNDPROC proc, DWORD style, int width, int height,
                       HWND parent = nullptr, HBRUSH background = nullptr)
{
    static std::set<std::wstring> registered;
    if (registered.insert(className).second) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = background;
        wc.lpszClassName = className;
        RegisterClassW(&wc);
    }
    return CreateWindowExW(0, className, parent ? L"" : L"Zorna", style, 0, 0, width, height, parent,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

// A message-only stand-in that records what it is sent (property boxes and the like).
inline HWND MakeStandIn(const wchar_t* className, WNDPROC proc)
{
    return MakeWindow(className, proc, 0, 10, 10, HWND_MESSAGE);
}

// How many ZM_DB_OPENED messages the main window has had.
inline int& OpenedCount()
{
    static int count = 0;
    return count;
}

// The fixture's own handling of the main window's messages; true when the message is answered.
// It sees ZM_DB_OPENED too, before it is counted.
using MainHook = bool (*)(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

inline MainHook& CurrentHook()
{
    static MainHook hook = nullptr;
    return hook;
}

inline LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (CurrentHook() && CurrentHook()(msg, wParam, lParam, &result))
        return result;
    if (msg == ZM_DB_OPENED) {
        ++OpenedCount();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The main window the database object reports to; each new one replaces the hook.
inline HWND MakeMainWindow(MainHook hook = nullptr, int width = 300, int height = 200,
                           DWORD style = WS_OVERLAPPEDWINDOW)
{
    CurrentHook() = hook;
    return MakeWindow(L"ZorDbTestMain", MainProc, style, width, height, nullptr,
                      (HBRUSH)(COLOR_BTNFACE + 1));
}

// ---- the file ----

// A fresh copy of a template in its own temporary folder ("" when there is no template).
inline std::wstring CopyOfTemplate(const std::wstring& from, const wchar_t* folder)
{
    if (from.empty())
        return L"";
    std::wstring path = wintest::MakeTempFolder(folder) + L"\\ZorBase.mdb";
    bool copied = CopyFileW(from.c_str(), path.c_str(), FALSE) != 0;
    EXPECT_TRUE(copied);
    return copied ? path : L"";
}

// A folder name made of a prefix and the running test's name, so that each test has its own.
inline std::wstring TestFolderName(const char* prefix, bool withSuite = false)
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string n = std::string(prefix) + (withSuite ? std::string(info->test_suite_name()) + "_" : "") +
                    info->name();
    return std::wstring(n.begin(), n.end());
}

// Opens the file through a new database object on the main window and waits for its message;
// with schema, also reads the schema, with trees, also checks that both tree recordsets exist.
// Call through ASSERT_NO_FATAL_FAILURE.
inline void OpenDatabase(HWND main, const std::wstring& path, CDatabase** db, ConnSettings* settings,
                         bool schema = true, bool trees = false)
{
    *db = new CDatabase(main, GetModuleHandleW(nullptr));
    free(settings->DBName);
    settings->ConnType = 1;
    settings->DBName = _wcsdup(path.c_str());
    int before = OpenedCount();
    ASSERT_EQ(S_OK, (*db)->Open(nullptr, settings));
    ASSERT_TRUE(wintest::PumpUntil([&] { return OpenedCount() > before; }, 20000));
    ASSERT_EQ(1, (*db)->IsOpen());
    if (schema) {
        ASSERT_EQ(1, (*db)->DiscoverSchema());
    }
    if (trees) {
        ASSERT_NE(nullptr, (*db)->GetSysTreeRs());
        ASSERT_NE(nullptr, (*db)->GetLocTreeRs());
    }
}

// Deletes the database object, lets its last messages through and destroys the main window.
inline void CloseDatabase(HWND* main, CDatabase** db, ConnSettings* settings)
{
    delete *db;
    *db = nullptr;
    wintest::PumpMessages(0);
    if (*main)
        DestroyWindow(*main);
    *main = nullptr;
    free(settings->DBName);
    settings->DBName = nullptr;
}

// ---- plain SQL on the file ----

// Every row of a query as texts (NULL as "<NULL>").
inline Rows Query(const std::wstring& path, const std::wstring& sql)
{
    zor::RawOdbc raw;
    Rows rows;
    EXPECT_TRUE(raw.Open(path, false));
    EXPECT_TRUE(raw.Query(sql, rows)) << Narrow(sql) << " " << Narrow(raw.LastError());
    return rows;
}

// Rows in the order the programs' lists show them by their first column: the Czech alphabet
// (descending when asked); rows with equal first columns keep their order. Plain SQL on the file
// sorts in the schema's own order, which knows nothing of it.
inline Rows InCzechOrder(Rows rows, bool descending = false)
{
    std::stable_sort(rows.begin(), rows.end(), [descending](const std::vector<std::wstring>& a,
                                                            const std::vector<std::wstring>& b) {
        int order = CzechCompare(a[0], b[0]);
        return descending ? order > 0 : order < 0;
    });
    return rows;
}

// The first value of a query, or none when it has no rows.
inline std::wstring First(const std::wstring& path, const std::wstring& sql,
                          const wchar_t* none = L"<none>")
{
    Rows rows = Query(path, sql);
    return rows.empty() || rows[0].empty() ? none : rows[0][0];
}

inline long long QueryInt(const std::wstring& path, const std::wstring& sql, long long fallback = -1)
{
    zor::RawOdbc raw;
    EXPECT_TRUE(raw.Open(path, false));
    return raw.QueryInt(sql, fallback);
}

inline bool Exec(const std::wstring& path, const std::wstring& sql)
{
    zor::RawOdbc raw;
    bool ok = raw.Open(path, false) && raw.Exec(sql);
    EXPECT_TRUE(ok) << Narrow(sql) << " " << Narrow(raw.LastError());
    return ok;
}

// ---- the fixture ----

// A database object on a copy of a template, with its main window; the fixture picks the
// template, the folder and when to open.
class DbTest : public ::testing::Test {
protected:
    void TearDown() override { CloseDatabase(&main_, &db_, &settings_); }

    // Copies the template into a folder of its own as path_. Call through ASSERT_NO_FATAL_FAILURE.
    void CopyTemplate(const std::wstring& from, const wchar_t* folder)
    {
        ASSERT_FALSE(from.empty());
        path_ = CopyOfTemplate(from, folder);
        ASSERT_FALSE(path_.empty());
    }
    // Opens path_ on main_. Call through ASSERT_NO_FATAL_FAILURE.
    void OpenDb(bool schema = true, bool trees = false)
    {
        ASSERT_TRUE(main_ != nullptr);
        OpenDatabase(main_, path_, &db_, &settings_, schema, trees);
    }

    HWND main_ = nullptr;
    std::wstring path_;
    CDatabase* db_ = nullptr;
    ConnSettings settings_ = {};
};

}  // namespace dbtest
