// Entry of every test program: COM and the common controls as the programs have them.
#include <windows.h>
#include <objbase.h>
#include <commctrl.h>
#include <gmock/gmock.h>

int main(int argc, char** argv)
{
    testing::InitGoogleMock(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc = { sizeof(icc), 0x500D };
    InitCommonControlsEx(&icc);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
