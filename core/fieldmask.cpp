#include "core/fieldmask.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "core/textutil.h"

namespace {

// A field reference carries at most this many digits.
const int kMaxReferenceDigits = 32;

// The digits of a reference as a field number; a number too large for an int refers to no field.
int ReferenceNumber(const wchar_t* digits, int length)
{
    long long n = 0;
    for (int i = 0; i < length; ++i)
    {
        n = n * 10 + (digits[i] - L'0');
        if (n > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(n);
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

} // namespace

int ParseMask(const wchar_t* mask, CPtrArray* pieces, CIntArray* numbers)
{
    pieces->RemoveAll(1);
    numbers->RemoveAll();
    if (!mask || !*mask)
        return -1;

    // Each piece ends where a '#' stood (or at the end), so the pieces with their terminators
    // never need more room than the mask itself plus one.
    wchar_t* block = AllocWide(static_cast<int>(wcslen(mask)));
    wchar_t* piece = block;  // start of the current piece
    wchar_t* write = block;  // end of the current piece
    int count = 0;
    const wchar_t* p = mask;
    for (;;)
    {
        const wchar_t* hash = wcschr(p, L'#');
        if (!hash)
        {
            size_t rest = wcslen(p);
            wmemcpy(write, p, rest);
            write += rest;
            *write = L'\0';
            if (write != piece)
                pieces->Add(piece);
            break;
        }
        wmemcpy(write, p, static_cast<size_t>(hash - p));
        write += hash - p;
        if (hash[1] == L'#')
        {
            *write++ = L'#';
            p = hash + 2;
            continue;
        }
        *write++ = L'\0';
        pieces->Add(piece);
        piece = write;

        const wchar_t* digits = hash + 1;
        int length = 0;
        while (length < kMaxReferenceDigits && IsDigit(digits[length]))
            ++length;
        if (length > 0)
        {
            numbers->Add(ReferenceNumber(digits, length));
            ++count;
        }
        p = digits + length;
    }
    if (pieces->GetCount() == 0)
        free(block);
    return count;
}

int CheckMaskSeparators(const wchar_t* /*mask*/)
{
    return 1;
}

void ParseValueByKind(VARIANT* out, const CustomAttrDef* def, const wchar_t* text)
{
    V_VT(out) = VT_NULL;
    int kind = def ? def->Type : ATTR_TEXT;
    if (kind < ATTR_BOOLEAN || kind > ATTR_GEO_LOOKUP)
        return;
    if (!text)
        text = L"";
    switch (kind)
    {
    case ATTR_BOOLEAN:
    case ATTR_INTEGER: {
        int n;
        if (swscanf(text, L"%d", &n) != 1)
            return;
        if (kind == ATTR_BOOLEAN)
        {
            V_VT(out) = VT_BOOL;
            V_BOOL(out) = static_cast<VARIANT_BOOL>(n);
        }
        else
        {
            V_VT(out) = VT_I4;
            V_I4(out) = n;
        }
        return;
    }
    case ATTR_REAL:
    case ATTR_DATE: {
        // Read at single precision, in the C locale: a decimal comma ends the number.
        float x;
        if (!ReadCReal(text, &x))
            return;
        if (kind == ATTR_REAL)
        {
            V_VT(out) = VT_R8;
            V_R8(out) = x;
        }
        else
        {
            V_VT(out) = VT_DATE;
            V_DATE(out) = x;
        }
        return;
    }
    default:
        V_VT(out) = VT_BSTR;
        V_BSTR(out) = BstrFromWide(text);
        return;
    }
}

int SplitByMask(const wchar_t* mask, const wchar_t* text, const CustomAttrDef* const* defs, VARIANT* values,
                int count)
{
    for (int i = 0; i < count; ++i)
        VariantClear(&values[i]);

    CPtrArray pieces(PTRARRAY_ONE_BLOCK, 16, 4);
    CIntArray numbers(16, 4);
    if (ParseMask(mask, &pieces, &numbers) < 0)
        return 1;
    wchar_t* copy = WideDup(text ? text : L"");
    const wchar_t* const* piece = reinterpret_cast<const wchar_t* const*>(pieces.GetItems());
    int pieceCount = pieces.GetCount();

    wchar_t* pos = copy;
    if (pieceCount > 0 && *piece[0])
    {
        wchar_t* found = wcsstr(copy, piece[0]);
        pos = found ? found + wcslen(piece[0]) : nullptr;
    }

    for (int i = 0; i < numbers.GetCount() && pos; ++i)
    {
        const wchar_t* valueText = pos;
        const wchar_t* next = (i + 1 < pieceCount) ? piece[i + 1] : nullptr;
        wchar_t* end = (next && *next) ? wcsstr(pos, next) : nullptr;
        if (end)
        {
            *end = L'\0';
            pos = end + wcslen(next);
        }
        else
        {
            pos = nullptr;  // the value runs to the end of the text
        }
        int n = numbers.GetItems()[i];
        if (n >= 1 && n <= count)
            ParseValueByKind(&values[n - 1], defs ? defs[n - 1] : nullptr, valueText);
    }
    free(copy);
    return 1;
}
