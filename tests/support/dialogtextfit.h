// The texts of a program's dialog templates measured against their controls at the screen's
// resolution: a label, check box, radio button, push button or group caption whose text does not
// fit the control it sits in is drawn cut off.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace wintest {

// One text that does not fit: "<template> #<id> \"<text>\": needs <n> px, has <m> px".
// Templates are made from the module's RT_DIALOG resources with the classes the process has
// registered (controls of other classes are left out); only the template's own texts are
// measured, not what a dialog procedure sets later. Left out: the named templates whose code
// lays them out anew, and templates of a window class the process has not registered.
std::vector<std::wstring> CutOffDialogTexts(HMODULE module,
                                            const std::vector<std::wstring>& laidOutByCode = {});

} // namespace wintest
