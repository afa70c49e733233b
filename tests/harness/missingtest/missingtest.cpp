// A test program whose run finishes and writes a complete, passing report, but leaves out a test
// it lists: the listing run registers one test more than the test run does. CTest must count it
// as failed, as a test the program offers was never run.
#include <windows.h>
#include <gtest/gtest.h>
#include <cwchar>

namespace {

TEST(ListedButNotRun, ThisTestRuns)
{
    SUCCEED();
}

class Passing : public testing::Test {
public:
    void TestBody() override {}
};

// Only a listing of the tests sees the second one.
bool RegisterOnlyWhenListing()
{
    if (!wcsstr(GetCommandLineW(), L"--gtest_list_tests"))
        return false;
    testing::RegisterTest("ListedButNotRun", "ThisTestIsOnlyListed", nullptr, nullptr, __FILE__, __LINE__,
                          []() -> testing::Test* { return new Passing; });
    return true;
}

const bool registered = RegisterOnlyWhenListing();

}  // namespace
