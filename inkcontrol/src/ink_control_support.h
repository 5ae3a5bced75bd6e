#pragma once

// What the parts of the ink control share: failures kept inside, the argument
// coercions of Invoke, the member and persisted-property tables.

#include "ink_control.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>

namespace scribane::control {

// Failures inside never escape as exceptions.
template <class F> HRESULT guarded(F&& f) {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

inline VARIANT_BOOL toVariantBool(bool b) {
    return b ? VARIANT_TRUE : VARIANT_FALSE;
}

// The argument coercions Invoke performs (a small VariantChangeType).
inline HRESULT coerceToLong(const VARIANT& in, LONG* out) {
    const VARIANT* v = &in;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) {
        v = v->pvarVal;
    }
    const bool ref = v->vt & VT_BYREF;
    if (ref && !v->byref) {
        return DISP_E_TYPEMISMATCH;
    }
    switch (v->vt & ~VT_BYREF) {
    case VT_I2:
    case VT_BOOL:
        *out = ref ? *v->piVal : v->iVal;
        return S_OK;
    case VT_UI1:
        *out = ref ? *v->pbVal : v->bVal;
        return S_OK;
    case VT_UI2:
        *out = ref ? *reinterpret_cast<const uint16_t*>(v->piVal) : uint16_t(v->iVal);
        return S_OK;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
        *out = ref ? *v->plVal : v->lVal;
        return S_OK;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

inline HRESULT coerceToBool(const VARIANT& in, VARIANT_BOOL* out) {
    LONG n = 0;
    HRESULT hr = coerceToLong(in, &n);
    if (FAILED(hr)) {
        return hr;
    }
    *out = toVariantBool(n != 0);
    return S_OK;
}

inline HRESULT coerceToText(const VARIANT& in, BSTR* out) {
    const VARIANT* v = &in;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) {
        v = v->pvarVal;
    }
    switch (v->vt) {
    case VT_BSTR:
        *out = v->bstrVal;
        return S_OK;
    case VT_BSTR | VT_BYREF:
        *out = v->pbstrVal ? *v->pbstrVal : nullptr;
        return S_OK;
    case VT_EMPTY:
    case VT_NULL:
        *out = nullptr;
        return S_OK;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

// The byte array a variant holds, following one reference.
inline SAFEARRAY* byteArrayOf(const VARIANT& in) {
    const VARIANT* v = &in;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) {
        v = v->pvarVal;
    }
    SAFEARRAY* sa = nullptr;
    if (v->vt == (VT_ARRAY | VT_UI1)) {
        sa = v->parray;
    } else if (v->vt == (VT_ARRAY | VT_UI1 | VT_BYREF) && v->pparray) {
        sa = *v->pparray;
    }
    if (!sa || sa->cDims != 1 || sa->cbElements != 1 || !sa->pvData) {
        return nullptr;
    }
    return sa;
}

inline std::u16string textOf(BSTR s) {
    return s ? std::u16string(s, SysStringLen(s)) : std::u16string();
}

struct Member {
    const char16_t* name;
    DISPID id;
};

inline const Member kMembers[] = {
    {u"BackColor", DISPID_INK_BACKCOLOR},
    {u"ForeColor", DISPID_INK_FORECOLOR},
    {u"Enabled", DISPID_INK_ENABLED},
    {u"Clear", DISPID_INK_CLEAR},
    {u"Refresh", DISPID_INK_REFRESH},
    {u"AboutBox", DISPID_INK_ABOUTBOX},
    {u"SaveImage", DISPID_INK_SAVEIMAGE},
    {u"LoadImage", DISPID_INK_LOADIMAGE},
    {u"ImageData", DISPID_INK_IMAGEDATA},
    {u"hWnd", DISPID_INK_HWND},
    {u"BorderWidth", DISPID_INK_BORDERWIDTH},
    {u"BorderColor", DISPID_INK_BORDERCOLOR},
    {u"PenWidth", DISPID_INK_PENWIDTH},
    {u"Modified", DISPID_INK_MODIFIED},
    {u"Rotation", DISPID_INK_ROTATION},
    {u"BackImage", DISPID_INK_BACKIMAGE},
    {u"SetBackImage", DISPID_INK_SETBACKIMAGE},
    {u"SendMouseDown", DISPID_INK_SENDMOUSEDOWN},
    {u"SendMouseMove", DISPID_INK_SENDMOUSEMOVE},
    {u"SendMouseUp", DISPID_INK_SENDMOUSEUP},
};

// The persisted properties, in stream order.
inline const Member kPersisted[11] = {
    {u"BackColor", DISPID_INK_BACKCOLOR},
    {u"ForeColor", DISPID_INK_FORECOLOR},
    {u"Enabled", DISPID_INK_ENABLED},
    {u"BorderWidth", DISPID_INK_BORDERWIDTH},
    {u"BorderColor", DISPID_INK_BORDERCOLOR},
    {u"PenWidth", DISPID_INK_PENWIDTH},
    {u"Rotation", DISPID_INK_ROTATION},
    {u"BackImage", DISPID_INK_BACKIMAGE},
    {u"SendMouseDown", DISPID_INK_SENDMOUSEDOWN},
    {u"SendMouseMove", DISPID_INK_SENDMOUSEMOVE},
    {u"SendMouseUp", DISPID_INK_SENDMOUSEUP},
};

inline bool equalsIgnoringCase(const char16_t* a, const char16_t* b) {
    for (; *a && *b; ++a, ++b) {
        char16_t x = *a >= u'A' && *a <= u'Z' ? char16_t(*a + 32) : *a;
        char16_t y = *b >= u'A' && *b <= u'Z' ? char16_t(*b + 32) : *b;
        if (x != y) {
            return false;
        }
    }
    return *a == *b;
}

inline constexpr DWORD kMiscStatus = 147857;

// The size between two edges of a host's rectangle, 0 when they are reversed; computed
// wide, since a host may hand over any pair of 32-bit edges.
inline LONG extent(LONG from, LONG to) {
    return LONG(std::clamp<int64_t>(int64_t(to) - from, 0, INT32_MAX));
}

} // namespace scribane::control
