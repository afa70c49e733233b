// A test program whose one test recurses without end. Wine ends the overflowing thread alone; a
// program that has other threads (COM, ODBC, workers) then ends with the exit status of its last
// thread, 0 here. CTest must still count the program as failed.
#include <windows.h>
#include <gtest/gtest.h>

namespace {

// Each call keeps a frame of its own on the stack and uses it after the inner call returns, so
// the compiler can neither drop the frames nor turn the recursion into a loop.
int Descend(volatile char* outer, int depth)
{
    volatile char frame[256];
    frame[0] = (char)depth;
    frame[sizeof(frame) - 1] = outer ? outer[0] : 0;
    if (depth == 0x7fffffff)
        return frame[0];
    return Descend(frame, depth + 1) + frame[sizeof(frame) - 1];
}

// A thread that outlives the test's own and then ends well.
DWORD WINAPI WaitForThread(LPVOID thread)
{
    WaitForSingleObject(static_cast<HANDLE>(thread), INFINITE);
    return 0;
}

TEST(RunawayRecursion, OverflowsTheStack)
{
    HANDLE self = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, SYNCHRONIZE,
                                FALSE, 0));
    HANDLE waiter = CreateThread(nullptr, 0, WaitForThread, self, 0, nullptr);
    ASSERT_NE(nullptr, waiter);
    CloseHandle(waiter);
    EXPECT_NE(-1, Descend(nullptr, 0));
}

}  // namespace
