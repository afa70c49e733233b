// A test program that ends itself with exit status 0 in its second of three tests: CTest must
// count it as failed, as the third test never ran and GoogleTest never finished its run.
#include <windows.h>
#include <gtest/gtest.h>

namespace {

TEST(ExitHalfway, FirstTestPasses)
{
    SUCCEED();
}

TEST(ExitHalfway, SecondTestEndsTheProgram)
{
    ExitProcess(0);
}

TEST(ExitHalfway, ThirdTestNeverRuns)
{
    SUCCEED();
}

}  // namespace
