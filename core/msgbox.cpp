#include "core/msgbox.h"

static MsgBoxHook g_msgBoxHook = nullptr;

MsgBoxHook SetMsgBoxHook(MsgBoxHook hook)
{
    MsgBoxHook previous = g_msgBoxHook;
    g_msgBoxHook = hook;
    return previous;
}

int ZorMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    if (g_msgBoxHook)
        return g_msgBoxHook(owner, text, caption, type);
    return MessageBoxW(owner, text, caption, type);
}

int ZorMessageBoxRes(HWND owner, HINSTANCE module, UINT textId, UINT captionId, UINT type)
{
    WCHAR text[1024] = L"";
    WCHAR caption[256] = L"";
    LoadStringW(module, textId, text, ARRAYSIZE(text));
    LoadStringW(module, captionId, caption, ARRAYSIZE(caption));
    return ZorMessageBox(owner, text, caption, type);
}
