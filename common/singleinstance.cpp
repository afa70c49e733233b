#include "common/singleinstance.h"

#include "core/msgbox.h"

namespace {

const wchar_t kMutexName[] = L"ZornaMtx";

}  // namespace

HANDLE ClaimSingleInstance(HINSTANCE instance, UINT captionId, UINT textId)
{
    HANDLE mutex = CreateMutexW(nullptr, TRUE, kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ZorMessageBoxRes(nullptr, instance, textId, captionId, MB_ICONERROR);
        ExitProcess(0);  // the mutex handle goes with the process
    }
    return mutex;
}

void ReleaseSingleInstance(HANDLE mutex)
{
    if (!mutex)
        return;
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}
