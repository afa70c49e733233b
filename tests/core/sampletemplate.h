// A generated sample database in a fresh temporary folder, made once by each test file that
// needs one and copied by the tests that change it.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include "core/sampledb.h"
#include "tests/support/wintest.h"

inline std::wstring MakeSampleTemplate(const wchar_t* folderName, const zor::SampleDbOptions& options)
{
    std::wstring path = wintest::MakeTempFolder(folderName) + L"\\ZorBase.mdb";
    std::wstring error;
    bool ok = zor::CreateSampleDatabase(path, options, &error);
    EXPECT_TRUE(ok) << std::string(error.begin(), error.end());
    return ok ? path : L"";
}
