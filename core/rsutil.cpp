#include "core/rsutil.h"

#include <wchar.h>

#include "dataaccess/filterexpr.h"

using zdata::Field;
using zdata::Fields;
using zdata::Recordset;

bool IsRecordsetOpen(Recordset* rs)
{
    long state = adStateClosed;
    return rs && SUCCEEDED(rs->get_State(&state)) && (state & adStateOpen);
}

void RequeryIfOpen(Recordset* rs)
{
    if (IsRecordsetOpen(rs))
        rs->Requery();
}

void RequeryIfOpen(std::initializer_list<Recordset*> list)
{
    for (Recordset* rs : list)
        RequeryIfOpen(rs);
}

void ResyncAllIfOpen(Recordset* rs)
{
    if (IsRecordsetOpen(rs))
        rs->Resync(adAffectAll, adResyncAllValues);
}

void CloseAndRelease(Recordset*& rs)
{
    if (!rs)
        return;
    rs->Close();
    rs->Release();
    rs = nullptr;
}

Field* FieldByName(Recordset* rs, const wchar_t* name)
{
    Fields* fields = nullptr;
    if (FAILED(rs->get_Fields(&fields)) || !fields)
        return nullptr;
    Field* field = nullptr;
    if (FAILED(fields->Item(name, &field)))
        field = nullptr;
    fields->Release();
    return field;
}

long FindName(Recordset* rs, const wchar_t* name, std::wstring* stored)
{
    if (!IsRecordsetOpen(rs) || !name || FAILED(rs->MoveFirst()))
        return 0;
    // From the first row on; the layer's Find compares text as the Czech order without case does.
    std::wstring criterion = L"NAME = " + zdata::FilterQuote(name);
    bool found = SUCCEEDED(rs->Find(criterion.c_str(), 0, adSearchForward, nullptr)) && !rs->IsEOF();
    long position = 0;
    if (!found || FAILED(rs->get_AbsolutePosition(&position)) || position < 1)
        return 0;
    if (stored) {
        stored->clear();
        Field* field = FieldByName(rs, L"NAME");
        if (field) {
            VARIANT v;
            VariantInit(&v);
            if (SUCCEEDED(field->get_Value(&v)) && v.vt == VT_BSTR && v.bstrVal)
                stored->assign(v.bstrVal, SysStringLen(v.bstrVal));
            VariantClear(&v);
            field->Release();
        }
    }
    return position;
}

bool IsPlainIdentifier(const wchar_t* name)
{
    if (!name || !*name)
        return false;
    for (const wchar_t* p = name; *p; ++p) {
        wchar_t c = *p;
        if (!((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9')
              || c == L'_'))
            return false;
    }
    return true;
}

std::wstring IdListText(const int* ids, int first, int last)
{
    std::wstring text;
    text.reserve((size_t)(last > first ? last - first : 0) * 9);
    wchar_t number[16];
    for (int i = first; i < last; ++i) {
        _snwprintf(number, 16, i > first ? L", %d" : L"%d", ids[i]);
        number[15] = L'\0';
        text += number;
    }
    return text;
}
