// Masks of composed columns: literal text with "#n" standing for the n-th referenced field
// (from 1) and "##" for a literal '#'. A mask is cut into its literal pieces and field numbers,
// and a text written in a mask's form is split back into typed values of the referenced fields.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "core/attrdef.h"
#include "core/containers.h"

// Fills pieces (ownership mode 1: every piece lies in one block that is item 0) and numbers,
// emptying both first. Piece 0 is the literal before the first reference, piece k the literal
// after the k-th; a last piece is present only when not empty. Returns the count of numbers,
// -1 for an empty mask.
int ParseMask(const wchar_t* mask, CPtrArray* pieces, CIntArray* numbers);

// Every mask is accepted: pieces that do not separate their fields only make SplitByMask give
// the rest of the text to the earlier field.
int CheckMaskSeparators(const wchar_t* mask);

// out (owning nothing) becomes the text read as a value of the field's kind, VT_NULL when it
// does not read. A field without a definition takes the text as it is.
void ParseValueByKind(VARIANT* out, const CustomAttrDef* def, const wchar_t* text);

// Cuts text at the mask's literal pieces and fills values[n - 1] for each "#n" with
// 1 <= n <= count. The count values must be initialised VARIANTs; what they held is released.
// defs holds count definitions (null entries allowed). Always returns 1.
int SplitByMask(const wchar_t* mask, const wchar_t* text, const CustomAttrDef* const* defs, VARIANT* values,
                int count);
