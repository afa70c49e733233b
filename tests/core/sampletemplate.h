// A generated sample database in a fresh temporary folder, made once by each test file that
// needs one and copied by the tests that change it.
#pragma once
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "tests/support/wintest.h"

inline std::wstring MakeSampleTemplate(const wchar_t* folderName, const zor::SampleDbOptions& options)
{
    std::wstring path = wintest::MakeTempFolder(folderName) + L"\\ZorBase.mdb";
    std::wstring error;
    bool ok = zor::CreateSampleDatabase(path, options, &error);
    EXPECT_TRUE(ok) << std::string(error.begin(), error.end());
    return ok ? path : L"";
}

// The same with the statements run on it afterwards, for what a test needs beyond the sample.
inline std::wstring MakeSampleTemplate(const wchar_t* folderName, const zor::SampleDbOptions& options,
                                       const std::vector<std::wstring>& statements)
{
    std::wstring path = MakeSampleTemplate(folderName, options);
    if (path.empty() || statements.empty())
        return path;
    zor::RawOdbc raw;
    EXPECT_TRUE(raw.Open(path, false));
    for (const std::wstring& sql : statements)
        EXPECT_TRUE(raw.Exec(sql)) << std::string(sql.begin(), sql.end()) << " "
                                   << std::string(raw.LastError().begin(), raw.LastError().end());
    return path;
}

// Made once per test program for each folder name and kept for every test that copies it
// (tried again on the next call when making it failed).
inline std::wstring SharedSampleTemplate(const wchar_t* folderName, const zor::SampleDbOptions& options,
                                         const std::vector<std::wstring>& statements = {})
{
    static std::map<std::wstring, std::wstring> made;
    auto it = made.find(folderName);
    if (it != made.end())
        return it->second;
    std::wstring path = MakeSampleTemplate(folderName, options, statements);
    if (!path.empty())
        made[folderName] = path;
    return path;
}
