#include <gtest/gtest.h>
#include "tests/support/wintest.h"

TEST(MsgBoxHook, RecorderAnswersInOrderAndRestoresPreviousHook)
{
    {
        wintest::MsgBoxRecorder recorder({ IDYES, IDNO });
        EXPECT_EQ(IDYES, ZorMessageBox(nullptr, L"první", L"Chyba", MB_YESNO));
        EXPECT_EQ(IDNO, ZorMessageBox(nullptr, L"druhá", L"Chyba", MB_YESNO));
        EXPECT_EQ(IDOK, ZorMessageBox(nullptr, L"třetí", L"Varování", MB_OK));
        ASSERT_EQ(3u, recorder.Boxes().size());
        EXPECT_EQ(L"druhá", recorder.Boxes()[1].text);
        EXPECT_EQ(L"Varování", recorder.Boxes()[2].caption);
    }
    EXPECT_EQ(nullptr, SetMsgBoxHook(nullptr));
}
