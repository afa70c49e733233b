// Library entry point and exports (to be completed with the class registration).
#include "plexa.h"

extern "C" int WINAPI RegisterPlexaA(UINT flags) { return RegisterPlexaW(flags); }
extern "C" int WINAPI RegisterPlexaW(UINT) { return 0; }
extern "C" BOOL WINAPI IsXP(void) { return TRUE; }
extern "C" BOOL WINAPI IsXPUIEnabled(void) { return FALSE; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
