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
