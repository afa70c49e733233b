// A fresh copy of the sample database opened by a CDatabase for each test, with plain-SQL
// readers of the file for checking what the database object wrote. Used by the literature and
// lookup editing tests.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tools/sampledb/sampledb.h"
#include "tests/core/dbfixture.h"
#include "tests/core/sampletemplate.h"
#include "tests/support/wintest.h"

namespace litdb {

using dbtest::Exec;
using dbtest::OpenedCount;
using dbtest::Query;
using dbtest::QueryInt;
using dbtest::Rows;

// The sample database, made once per test program.
inline std::wstring Template()
{
    zor::SampleDbOptions options;
    options.records = 300;
    return SharedSampleTemplate(L"littemplate", options);
}

// A whole table in row order, for comparing before and after.
inline Rows Table(const std::wstring& path, const wchar_t* table)
{
    return Query(path, std::wstring(L"SELECT * FROM ") + table + L" ORDER BY rowid");
}

class OpenedDatabase : public dbtest::DbTest {
protected:
    void SetUp() override
    {
        static int serial = 0;
        wchar_t folder[64];
        _snwprintf(folder, 64, L"litdb_%d", ++serial);
        ASSERT_NO_FATAL_FAILURE(CopyTemplate(Template(), folder));
        Prepare();
        // No test ever waits on a real message box; tests that count boxes record their own.
        unexpectedBoxes_.reset(new wintest::MsgBoxRecorder());
        main_ = dbtest::MakeMainWindow();
        ASSERT_NO_FATAL_FAILURE(OpenDb());
    }
    void TearDown() override
    {
        DbTest::TearDown();
        unexpectedBoxes_.reset();
    }
    // Changes to the file before the database object opens it.
    virtual void Prepare() {}

    std::unique_ptr<wintest::MsgBoxRecorder> unexpectedBoxes_;
};

}  // namespace litdb
