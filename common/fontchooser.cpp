#include "common/fontchooser.h"

namespace {

FontDialogFn g_chooser = nullptr;

}  // namespace

BOOL ChooseFontDialog(CHOOSEFONTW* cf)
{
    return g_chooser ? g_chooser(cf) : ChooseFontW(cf);
}

FontDialogFn SetFontChooser(FontDialogFn chooser)
{
    FontDialogFn previous = g_chooser;
    g_chooser = chooser;
    return previous;
}
