// A generated sample database, made once per run and copied into a temporary folder for each
// test, opened through the database object with its completion message and its schema read.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "core/database.h"
#include "tools/sampledb/sampledb.h"
#include "tests/core/dbfixture.h"
#include "tests/core/sampletemplate.h"

class FieldsDbFixture : public dbtest::DbTest {
protected:
    static std::wstring Template()
    {
        zor::SampleDbOptions options;
        options.records = 300;
        return SharedSampleTemplate(L"fieldsdbtemplate", options);
    }

    void SetUp() override
    {
        main_ = dbtest::MakeMainWindow();
        ASSERT_TRUE(main_ != nullptr);
        ASSERT_NO_FATAL_FAILURE(
            CopyTemplate(Template(), dbtest::TestFolderName("fields_", true).c_str()));
        ASSERT_NO_FATAL_FAILURE(OpenDb());
    }
    CDatabase* Db() { return db_; }
    const std::wstring& Path() const { return path_; }
};
