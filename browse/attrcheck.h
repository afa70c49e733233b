// The checks of the values typed into an edit dialog's attribute grid before they are saved:
// each value must be of its attribute's kind and inside the bounds the attribute has.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "core/containers.h"

struct CustomAttrDef;

// Lower and upper bound of a number; a side without a bound is not checked.
struct NumberBounds
{
    bool HasMin;
    bool HasMax;
    double Min;
    double Max;
};

// The bounds an attribute stores (MINVAL, MAXVAL).
NumberBounds StoredBounds(const CustomAttrDef* def);

// The refusal of a number outside its bounds, without the field's name ("Hodnota musí ležet v
// rozmezí -30,5 až 45"); empty when the value lies within them. rangeId, when not 0, is the
// string-table format of a range with two %s for the bounds (a unit after them).
std::wstring BoundsRefusal(HINSTANCE instance, const NumberBounds& bounds, double value,
                           UINT rangeId = 0);

// Whether the attribute counts specimens (an integer attribute whose caption starts with the
// program's word for a count): such a value is never below 0.
bool IsCountAttr(HINSTANCE instance, const CustomAttrDef* def);

// The values of a grid (item i holds value i, its CustomAttrDef as item data) checked before
// they are stored: by their attribute's kind, size and years (core/valuecheck.h), then by its
// bounds (counts not below 0). The first that cannot be stored is refused, and one that is very
// unlikely is asked about (Ano/Ne), over the owner with its item selected; showing is called
// before either box (to bring the grid's page to the front). A date typed as text is replaced by
// the date it names. True when every value may be stored.
bool AcceptGridValues(HINSTANCE instance, HWND owner, HWND box, CPtrArray* values,
                      const std::function<void()>& showing = nullptr);
