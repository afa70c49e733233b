// Handing values out through the COM-style out parameters of the ADO-shaped objects: a null
// pointer is E_POINTER, as callers of the real interfaces expect.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace zdata {

// A copy of `s` as a new BSTR the caller frees.
inline HRESULT ToBstr(const std::wstring& s, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(s.data(), (UINT)s.size());
    return *out ? S_OK : E_OUTOFMEMORY;
}

class Recordset;

// Execute's results before anything runs: no recordset, no rows affected (VT_I4 0). Either
// may be null.
inline void ResetExecuteResults(VARIANT* recordsAffected, Recordset** recordset)
{
    if (recordset)
        *recordset = nullptr;
    if (recordsAffected) {
        VariantInit(recordsAffected);
        recordsAffected->vt = VT_I4;
        recordsAffected->lVal = 0;
    }
}

// A plain property value into `out`.
template <class T, class V>
HRESULT GiveOut(T* out, const V& value)
{
    if (!out)
        return E_POINTER;
    *out = value;
    return S_OK;
}

}  // namespace zdata
