// A fresh copy of the sample database opened by a CDatabase for each test, with plain-SQL
// readers of the file for checking what the database object wrote. Used by the literature and
// lookup editing tests.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/connsettings.h"
#include "core/database.h"
#include "core/rawodbc.h"
#include "core/sampledb.h"
#include "core/zm_messages.h"
#include "tests/core/sampletemplate.h"
#include "tests/support/wintest.h"

namespace litdb {

using Rows = std::vector<std::vector<std::wstring>>;

inline int& OpenedCount()
{
    static int count = 0;
    return count;
}

inline LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == ZM_DB_OPENED) {
        OpenedCount()++;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

inline HWND MakeMainWindow()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = MainProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZorLitTestMain";
        RegisterClassW(&wc);
        registered = true;
    }
    return CreateWindowExW(0, L"ZorLitTestMain", L"Zorna", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The sample database, made once per test program.
inline std::wstring Template()
{
    static std::wstring made;
    if (made.empty()) {
        zor::SampleDbOptions options;
        options.records = 300;
        made = MakeSampleTemplate(L"littemplate", options);
    }
    return made;
}

// Every row of a query as texts (NULL as "<NULL>").
inline Rows Query(const std::wstring& path, const std::wstring& sql)
{
    zor::RawOdbc raw;
    EXPECT_TRUE(raw.Open(path, false));
    Rows rows;
    EXPECT_TRUE(raw.Query(sql, rows)) << std::string(raw.LastError().begin(), raw.LastError().end());
    return rows;
}

inline long long QueryInt(const std::wstring& path, const std::wstring& sql)
{
    zor::RawOdbc raw;
    EXPECT_TRUE(raw.Open(path, false));
    return raw.QueryInt(sql);
}

inline bool Exec(const std::wstring& path, const std::wstring& sql)
{
    zor::RawOdbc raw;
    EXPECT_TRUE(raw.Open(path, false));
    bool ok = raw.Exec(sql);
    EXPECT_TRUE(ok) << std::string(raw.LastError().begin(), raw.LastError().end());
    return ok;
}

// A whole table in row order, for comparing before and after.
inline Rows Table(const std::wstring& path, const wchar_t* table)
{
    return Query(path, std::wstring(L"SELECT * FROM ") + table + L" ORDER BY rowid");
}

class OpenedDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::wstring from = Template();
        ASSERT_FALSE(from.empty());
        static int serial = 0;
        wchar_t folder[64];
        _snwprintf(folder, 64, L"litdb_%d", ++serial);
        path_ = wintest::MakeTempFolder(folder) + L"\\ZorBase.mdb";
        ASSERT_TRUE(CopyFileW(from.c_str(), path_.c_str(), FALSE));
        Prepare();
        // No test ever waits on a real message box; tests that count boxes record their own.
        unexpectedBoxes_.reset(new wintest::MsgBoxRecorder());
        main_ = MakeMainWindow();
        ASSERT_TRUE(main_ != nullptr);
        OpenedCount() = 0;
        db_ = new CDatabase(main_, GetModuleHandleW(nullptr));
        settings_ = {};
        settings_.ConnType = 1;
        settings_.DBName = _wcsdup(path_.c_str());
        db_->Open(nullptr, &settings_);
        ASSERT_TRUE(wintest::PumpUntil([] { return OpenedCount() > 0; }, 20000));
        ASSERT_EQ(1, db_->IsOpen());
        ASSERT_EQ(1, db_->DiscoverSchema());
    }
    void TearDown() override
    {
        delete db_;
        db_ = nullptr;
        wintest::PumpMessages(0);
        if (main_)
            DestroyWindow(main_);
        free(settings_.DBName);
        unexpectedBoxes_.reset();
    }
    // Changes to the file before the database object opens it.
    virtual void Prepare() {}

    std::wstring path_;
    HWND main_ = nullptr;
    CDatabase* db_ = nullptr;
    ConnSettings settings_ = {};
    std::unique_ptr<wintest::MsgBoxRecorder> unexpectedBoxes_;
};

}  // namespace litdb
