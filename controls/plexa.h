// Public interface of Plexa.dll: the custom window classes shared by Zorna and Tarnix.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

int WINAPI RegisterPlexaA(UINT flags);
int WINAPI RegisterPlexaW(UINT flags);
BOOL WINAPI IsXP(void);
BOOL WINAPI IsXPUIEnabled(void);

#ifdef __cplusplus
}
#endif
