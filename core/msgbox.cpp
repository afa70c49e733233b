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

namespace {

// A shown window owned by the given one; an enabled one when there is one.
struct OwnedSearch
{
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedPopup(HWND wnd, LPARAM param)
{
    OwnedSearch* search = reinterpret_cast<OwnedSearch*>(param);
    if (GetWindow(wnd, GW_OWNER) != search->owner || !IsWindowVisible(wnd))
        return TRUE;
    search->found = wnd;
    return !IsWindowEnabled(wnd);
}

}  // namespace

HWND MessageOwner(HWND hint)
{
    if (!hint || !IsWindow(hint))
        return hint;
    HWND root = GetAncestor(hint, GA_ROOTOWNER);
    if (!root)
        return hint;
    HWND active = GetActiveWindow();
    if (active && IsWindowEnabled(active) && GetAncestor(active, GA_ROOTOWNER) == root)
        return active;
    // No window of that chain is active (the program is in the background): follow the disabled
    // windows to the modal one each of them waits for.
    DWORD thread = GetWindowThreadProcessId(root, nullptr);
    HWND current = root;
    for (int depth = 0; depth < 32 && !IsWindowEnabled(current); ++depth) {
        OwnedSearch search = {current, nullptr};
        EnumThreadWindows(thread, FindOwnedPopup, reinterpret_cast<LPARAM>(&search));
        if (!search.found)
            break;
        current = search.found;
    }
    return IsWindowEnabled(current) ? current : hint;
}

int ZorMessageBoxRes(HWND owner, HINSTANCE module, UINT textId, UINT captionId, UINT type)
{
    WCHAR text[1024] = L"";
    WCHAR caption[256] = L"";
    LoadStringW(module, textId, text, ARRAYSIZE(text));
    LoadStringW(module, captionId, caption, ARRAYSIZE(caption));
    return ZorMessageBox(owner, text, caption, type);
}
