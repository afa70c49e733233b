// A generated sample database, made once per run and copied into a temporary folder for each
// test, opened through the database object with its completion message and its schema read.
#pragma once
#include <gtest/gtest.h>
#include "tests/core/sampletemplate.h"

#include <windows.h>

#include <string>

#include "core/database.h"
#include "core/sampledb.h"
#include "core/zm_messages.h"
#include "tests/support/wintest.h"

class FieldsDbFixture : public ::testing::Test {
protected:
    static LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == ZM_DB_OPENED) {
            ++OpenedCount();
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    static int& OpenedCount()
    {
        static int count = 0;
        return count;
    }
    static std::wstring Template()
    {
        static std::wstring made;
        if (!made.empty())
            return made;
        zor::SampleDbOptions options;
        options.records = 300;
        made = MakeSampleTemplate(L"fieldsdbtemplate", options);
        return made;
    }

    void SetUp() override
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = MainProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"ZorFieldsTestMain";
            RegisterClassW(&wc);
            registered = true;
        }
        main_ = CreateWindowExW(0, L"ZorFieldsTestMain", L"Zorna", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                                200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(main_ != nullptr);
        std::wstring from = Template();
        ASSERT_FALSE(from.empty());
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string n = std::string("fields_") + info->test_suite_name() + "_" + info->name();
        std::wstring folder = wintest::MakeTempFolder(std::wstring(n.begin(), n.end()).c_str());
        path_ = folder + L"\\ZorBase.mdb";
        ASSERT_TRUE(CopyFileW(from.c_str(), path_.c_str(), FALSE));
        db_ = new CDatabase(main_, GetModuleHandleW(nullptr));
        settings_.ConnType = 1;
        settings_.DBName = _wcsdup(path_.c_str());
        int before = OpenedCount();
        ASSERT_EQ(S_OK, db_->Open(nullptr, &settings_));
        ASSERT_TRUE(wintest::PumpUntil([&] { return OpenedCount() > before; }, 20000));
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
        settings_.DBName = nullptr;
    }
    CDatabase* Db() { return db_; }
    const std::wstring& Path() const { return path_; }

    HWND main_ = nullptr;
    std::wstring path_;
    CDatabase* db_ = nullptr;
    ConnSettings settings_ = {};
};
