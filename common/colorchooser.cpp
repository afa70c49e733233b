#include "common/colorchooser.h"

namespace {

ColorDialogFn g_chooser = nullptr;

}  // namespace

BOOL ChooseColorDialog(CHOOSECOLORW* cc)
{
    return g_chooser ? g_chooser(cc) : ChooseColorW(cc);
}

ColorDialogFn SetColorChooser(ColorDialogFn chooser)
{
    ColorDialogFn previous = g_chooser;
    g_chooser = chooser;
    return previous;
}
