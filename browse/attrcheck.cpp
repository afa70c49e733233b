#include "browse/attrcheck.h"

#include <string.h>

#include <algorithm>

#include "controls/plexa.h"
#include "core/attrdef.h"
#include "core/ctlfill.h"
#include "core/textutil.h"
#include "core/valuecheck.h"
#include "resources/zorna/resource.h"
#include "xlsread/sheettables.h"

namespace {

std::wstring LoadText(HINSTANCE instance, UINT id)
{
    wchar_t* text = LoadStringAlloc(instance, id);
    std::wstring result = text ? text : L"";
    free(text);
    return result;
}

std::wstring Formatted(HINSTANCE instance, UINT id, const std::wstring& first, const std::wstring& second)
{
    std::wstring format = LoadText(instance, id);
    std::wstring result;
    int used = 0;
    const std::wstring* args[2] = {&first, &second};
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] == L's' && used < 2) {
            result += *args[used++];
            ++i;
        } else {
            result += format[i];
        }
    }
    return result;
}

// The number a value of a numeric attribute holds; false for an empty value or text.
bool NumberOf(const CustomAttrDef* def, const VARIANT* value, double* number)
{
    if (!def || !value || (def->Type != ATTR_INTEGER && def->Type != ATTR_REAL))
        return false;
    if (value->vt == VT_EMPTY || value->vt == VT_NULL || value->vt == VT_BSTR)
        return false;
    VARIANT real;
    VariantInit(&real);
    if (FAILED(VariantChangeType(&real, const_cast<VARIANT*>(value), 0, VT_R8)))
        return false;
    *number = real.dblVal;
    return true;
}

}  // namespace

NumberBounds StoredBounds(const CustomAttrDef* def)
{
    NumberBounds bounds = {false, false, 0, 0};
    if (def) {
        bounds.HasMin = def->HasMin != 0;
        bounds.HasMax = def->HasMax != 0;
        bounds.Min = def->MinVal;
        bounds.Max = def->MaxVal;
    }
    return bounds;
}

std::wstring BoundsRefusal(HINSTANCE instance, const NumberBounds& bounds, double value, UINT rangeId)
{
    bool below = bounds.HasMin && value < bounds.Min;
    bool above = bounds.HasMax && value > bounds.Max;
    if (!below && !above)
        return std::wstring();
    if (bounds.HasMin && bounds.HasMax)
        return Formatted(instance, rangeId ? rangeId : IDS_VALUE_RANGE, xlsread::NumberText(bounds.Min),
                         xlsread::NumberText(bounds.Max));
    if (below)
        return Formatted(instance, IDS_VALUE_MIN, xlsread::NumberText(bounds.Min), std::wstring());
    return Formatted(instance, IDS_VALUE_MAX, xlsread::NumberText(bounds.Max), std::wstring());
}

bool IsCountAttr(HINSTANCE instance, const CustomAttrDef* def)
{
    if (!def || def->Type != ATTR_INTEGER)
        return false;
    std::wstring word = LoadText(instance, IDS_COUNT_CAPTION);
    return !word.empty()
           && CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, def->Caption,
                             (int)std::min(wcslen(def->Caption), word.size()), word.c_str(),
                             (int)word.size()) == CSTR_EQUAL;
}

bool AcceptGridValues(HINSTANCE instance, HWND owner, HWND box, CPtrArray* values,
                      const std::function<void()>& showing)
{
    DATE today = TodayDate();
    for (int i = 0; values && i < values->GetCount(); i++) {
        LRESULT data = SendMessageW(box, PBXM_GETITEMDATA, PBX_ITEM((WORD)i), 0);
        const CustomAttrDef* def = data == -1 ? nullptr : (const CustomAttrDef*)data;
        VARIANT* value = (VARIANT*)values->GetItems()[i];
        if (!def || !value)
            continue;
        ValueCheck check = CheckFieldValue(RuleOfAttr(def), value, today);
        // A real the grid could not read stays the text typed.
        if (check.Verdict == VALUE_FITS && def->Type == ATTR_REAL && value->vt == VT_BSTR)
            check = {VALUE_REFUSED, LoadText(instance, IDS_INVALID_VALUE)};
        double number = 0;
        if (check.Verdict == VALUE_FITS && NumberOf(def, value, &number)) {
            NumberBounds bounds = StoredBounds(def);
            if (IsCountAttr(instance, def) && (!bounds.HasMin || bounds.Min < 0)) {
                bounds.HasMin = true;
                bounds.Min = 0;
            }
            std::wstring why = BoundsRefusal(instance, bounds, number);
            if (!why.empty())
                check = {VALUE_REFUSED, why};
        }
        if (check.Verdict == VALUE_FITS)
            continue;
        if (showing)
            showing();
        std::wstring name = PropertyItemName(box, i);
        bool taken = false;
        if (check.Verdict == VALUE_REFUSED)
            ShowFieldWarningText(instance, owner, IDS_ERROR_CAPTION, check.Rule, name, box);
        else
            taken = ConfirmFieldValue(instance, owner, IDS_QUERY, check.Rule, name, box);
        if (!taken) {
            SendMessageW(box, PBXM_SELECTITEM, PBX_ITEM((WORD)i), 1);
            return false;
        }
    }
    return true;
}
