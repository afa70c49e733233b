// The checks of the values typed into an edit dialog's attribute grid before they are saved:
// each value must be of its attribute's kind and inside the bounds the attribute has.
#pragma once
#include <windows.h>

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

// Whether a value the grid gives cannot be stored as the attribute's kind: a date typed as text
// must read as a date in the user's format, and a number the grid could not read stays text.
bool IsBadAttrValue(const CustomAttrDef* def, const VARIANT* value);

// The refusal of a number outside its bounds, without the field's name ("Hodnota musí ležet v
// rozmezí -30,5 až 45"); empty when the value lies within them. rangeId, when not 0, is the
// string-table format of a range with two %s for the bounds (a unit after them).
std::wstring BoundsRefusal(HINSTANCE instance, const NumberBounds& bounds, double value,
                           UINT rangeId = 0);

// Whether the attribute counts specimens (an integer attribute whose caption starts with the
// program's word for a count): such a value is never below 0.
bool IsCountAttr(HINSTANCE instance, const CustomAttrDef* def);

// The first value of a grid (item i holds value i, its CustomAttrDef as item data) that cannot be
// stored: of another kind, or outside its bounds (counts not below 0). -1 when every value fits;
// otherwise *refusal is the text to show before the field's name.
int FindUnfitAttrValue(HINSTANCE instance, HWND box, const CPtrArray* values, std::wstring* refusal);
