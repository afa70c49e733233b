#include "common/focusguard.h"

namespace {

bool Reachable(HWND window)
{
    LONG style = GetWindowLongW(window, GWL_STYLE);
    return (style & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE;
}

bool IsControlParent(HWND window)
{
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0;
}

// The keys the dialog's keyboard handling walks its windows for.
bool IsNavigationKey(UINT message)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSCHAR:
        return true;
    }
    return false;
}

}  // namespace

bool IsFocusStranded(HWND dialog, HWND window)
{
    if (!window || !IsChild(dialog, window))
        return false;
    if (!(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE))
        return true;
    for (HWND up = GetParent(window); up && up != dialog; up = GetParent(up))
        if (!Reachable(up))
            return true;
    return false;
}

HWND FirstTabStopIn(HWND container)
{
    for (HWND child = GetWindow(container, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!Reachable(child))
            continue;
        if (IsControlParent(child)) {
            if (HWND inner = FirstTabStopIn(child))
                return inner;
        } else if (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) {
            return child;
        }
    }
    return nullptr;
}

void KeepFocusOnShownPage(HWND dialog, HWND page, HWND fallback)
{
    HWND focus = GetFocus();
    if (focus ? !IsFocusStranded(dialog, focus) : GetActiveWindow() != dialog)
        return;
    HWND target = nullptr;
    if (page && Reachable(page))
        target = IsControlParent(page) ? FirstTabStopIn(page)
                                       : (GetWindowLongW(page, GWL_STYLE) & WS_TABSTOP) ? page : nullptr;
    if (target || fallback)
        SetFocus(target ? target : fallback);
}

void RedirectStrandedKey(HWND dialog, MSG* msg)
{
    if (!IsNavigationKey(msg->message) || !IsFocusStranded(dialog, msg->hwnd))
        return;
    HWND target = FirstTabStopIn(dialog);
    SetFocus(target ? target : dialog);
    HWND focus = GetFocus();
    msg->hwnd = focus ? focus : dialog;
}
