#include "common/popupmenu.h"

namespace {

PopupMenuFn g_chooser = nullptr;

}  // namespace

int ChoosePopupMenuCommand(HMENU popup, UINT flags, int x, int y, HWND owner)
{
    if (g_chooser)
        return g_chooser(popup, flags, x, y, owner);
    return (int)TrackPopupMenu(popup, flags, x, y, 0, owner, nullptr);
}

PopupMenuFn SetPopupMenuChooser(PopupMenuFn chooser)
{
    PopupMenuFn previous = g_chooser;
    g_chooser = chooser;
    return previous;
}
