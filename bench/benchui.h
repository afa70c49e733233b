// What a benchmark that builds Zorna's windows sets up first, as the program's own start does:
// COM, the common controls, Plexa's classes it asks for (none: 0), message boxes answered by
// the benchmark's hook, and no splash waiting (its minimum showing time is no part of the cost).
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "controls/plexa.h"
#include "core/msgbox.h"

namespace zor {

inline void StartZornaUi(MsgBoxHook answerBoxes, UINT plexaClasses = 0)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), 0x500D};
    InitCommonControlsEx(&icc);
    if (plexaClasses)
        RegisterPlexaW(plexaClasses);
    SetMsgBoxHook(answerBoxes);
    SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"10");
}

}  // namespace zor
