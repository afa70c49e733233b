// Entry of every test program: COM and the common controls as the programs have them.
#include <windows.h>
#include <objbase.h>
#include <commctrl.h>
#include <gmock/gmock.h>

// The programs carry a manifest that selects common controls 6; the test programs take the same
// one as an activation context, so controls are tested in the version the programs get.
static void ActivateProgramManifest()
{
    ACTCTXW ctx = {};
    ctx.cbSize = sizeof(ctx);
    ctx.lpSource = L"Z:" ZOR_PROGRAM_MANIFEST;
    HANDLE handle = CreateActCtxW(&ctx);
    ULONG_PTR cookie = 0;
    if (handle != INVALID_HANDLE_VALUE)
        ActivateActCtx(handle, &cookie);
}

int main(int argc, char** argv)
{
    testing::InitGoogleMock(&argc, argv);
    ActivateProgramManifest();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc = { sizeof(icc), 0x500D };
    InitCommonControlsEx(&icc);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
