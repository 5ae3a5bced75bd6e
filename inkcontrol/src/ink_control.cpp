#include "ink_control.h"

#include "ink_widget.h"

#include <QApplication>
#include <QThread>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace scribane {

std::atomic<long> g_liveObjects{0};
std::atomic<long> g_serverLocks{0};

namespace {

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

VARIANT_BOOL toVariantBool(bool b) {
    return b ? VARIANT_TRUE : VARIANT_FALSE;
}

// The argument coercions Invoke performs (a small VariantChangeType).
HRESULT coerceToLong(const VARIANT& in, LONG* out) {
    const VARIANT* v = &in;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
        v = v->pvarVal;
    const bool ref = v->vt & VT_BYREF;
    if (ref && !v->byref)
        return DISP_E_TYPEMISMATCH;
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

HRESULT coerceToBool(const VARIANT& in, VARIANT_BOOL* out) {
    LONG n = 0;
    HRESULT hr = coerceToLong(in, &n);
    if (FAILED(hr))
        return hr;
    *out = toVariantBool(n != 0);
    return S_OK;
}

HRESULT coerceToText(const VARIANT& in, BSTR* out) {
    const VARIANT* v = &in;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
        v = v->pvarVal;
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
SAFEARRAY* byteArrayOf(const VARIANT& in) {
    const VARIANT* v = &in;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
        v = v->pvarVal;
    SAFEARRAY* sa = nullptr;
    if (v->vt == (VT_ARRAY | VT_UI1))
        sa = v->parray;
    else if (v->vt == (VT_ARRAY | VT_UI1 | VT_BYREF) && v->pparray)
        sa = *v->pparray;
    if (!sa || sa->cDims != 1 || sa->cbElements != 1 || !sa->pvData)
        return nullptr;
    return sa;
}

std::u16string textOf(BSTR s) {
    return s ? std::u16string(s, SysStringLen(s)) : std::u16string();
}

struct Member {
    const char16_t* name;
    DISPID id;
};

const Member kMembers[] = {
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
const Member kPersisted[11] = {
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

bool equalsIgnoringCase(const char16_t* a, const char16_t* b) {
    for (; *a && *b; ++a, ++b) {
        char16_t x = *a >= u'A' && *a <= u'Z' ? char16_t(*a + 32) : *a;
        char16_t y = *b >= u'A' && *b <= u'Z' ? char16_t(*b + 32) : *b;
        if (x != y)
            return false;
    }
    return *a == *b;
}

constexpr DWORD kMiscStatus = 147857;

// The size between two edges of a host's rectangle, 0 when they are reversed; computed
// wide, since a host may hand over any pair of 32-bit edges.
LONG extent(LONG from, LONG to) {
    return LONG(std::clamp<int64_t>(int64_t(to) - from, 0, INT32_MAX));
}

} // namespace

// ---------------------------------------------------------------------------------------
// Connection points

ConnectionPoint::~ConnectionPoint() {
    for (auto& s : sinks_)
        s.second->Release();
}

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ConnectionPoint::AddRef() {
    return owner_->AddRef();
}
ULONG ConnectionPoint::Release() {
    return owner_->Release();
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = iid_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container)
        return E_POINTER;
    return owner_->QueryInterface(IID_IConnectionPointContainer,
                                  reinterpret_cast<void**>(container));
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie)
        return E_POINTER;
    *cookie = 0;
    IUnknown* typed = nullptr;
    HRESULT hr = sink->QueryInterface(iid_, reinterpret_cast<void**>(&typed));
    if (FAILED(hr) && iid_ == DIID_IInkControlEvents)
        hr = sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&typed));
    if (FAILED(hr) || !typed)
        return CONNECT_E_CANNOTCONNECT;
    return guarded([&] {
        try {
            sinks_.emplace_back(nextCookie_, typed);
        } catch (...) {
            typed->Release();
            throw;
        }
        *cookie = nextCookie_++;
        return S_OK;
    });
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    auto it = std::find_if(sinks_.begin(), sinks_.end(),
                           [cookie](const auto& s) { return s.first == cookie; });
    if (it == sinks_.end())
        return CONNECT_E_NOCONNECTION;
    IUnknown* sink = it->second;
    sinks_.erase(it);
    sink->Release();
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (connections)
        *connections = nullptr;
    return E_NOTIMPL;
}

std::vector<IUnknown*> ConnectionPoint::sinks() const {
    std::vector<IUnknown*> out;
    out.reserve(sinks_.size());
    for (const auto& s : sinks_) {
        s.second->AddRef();
        out.push_back(s.second);
    }
    return out;
}

// ---------------------------------------------------------------------------------------
// Life

InkControl::InkControl()
    : events_(this, DIID_IInkControlEvents), propertyNotify_(this, IID_IPropertyNotifySink) {
    ++g_liveObjects;
}

InkControl::~InkControl() {
    deactivate();
    if (site_)
        site_->Release();
    --g_liveObjects;
}

HRESULT InkControl::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    void* p = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IInkControl)
        p = static_cast<IInkControl*>(this);
    else if (riid == IID_IConnectionPointContainer)
        p = static_cast<IConnectionPointContainer*>(this);
    else if (riid == IID_IPersist || riid == IID_IPersistStreamInit)
        p = static_cast<IPersistStreamInit*>(this);
    else if (riid == IID_IPersistPropertyBag)
        p = static_cast<IPersistPropertyBag*>(this);
    else if (riid == IID_IPersistStorage)
        p = static_cast<IPersistStorage*>(this);
    else if (riid == IID_IOleObject)
        p = static_cast<IOleObject*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
        p = static_cast<IOleInPlaceObject*>(this);
    else if (riid == IID_IOleControl)
        p = static_cast<IOleControl*>(this);
    else if (riid == IID_IViewObject)
        p = static_cast<IViewObject*>(this);
    else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2)
        p = static_cast<IProvideClassInfo2*>(this);
    *object = p;
    if (!p)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG InkControl::AddRef() {
    return ++refs_;
}

ULONG InkControl::Release() {
    const ULONG n = --refs_;
    if (n == 0)
        delete this;
    return n;
}

// ---------------------------------------------------------------------------------------
// Edit protocol, notifications, events

bool InkControl::requestEdit(DISPID id) {
    bool allowed = true;
    for (IUnknown* s : propertyNotify_.sinks()) {
        if (allowed && static_cast<IPropertyNotifySink*>(s)->OnRequestEdit(id) == S_FALSE)
            allowed = false;
        s->Release();
    }
    return allowed;
}

void InkControl::notifyChanged(DISPID id) {
    for (IUnknown* s : propertyNotify_.sinks()) {
        static_cast<IPropertyNotifySink*>(s)->OnChanged(id);
        s->Release();
    }
}

template <class Apply>
HRESULT InkControl::editProperty(DISPID id, bool redrawAfter, Apply&& apply) {
    if (!requestEdit(id))
        return S_FALSE;
    const HRESULT hr = apply();
    if (FAILED(hr))
        return hr;
    needsSave_ = true;
    notifyChanged(id);
    if (redrawAfter)
        redraw();
    return S_OK;
}

void InkControl::fireMouse(DISPID id, int button, int shift, int x, int y) {
    for (IUnknown* s : events_.sinks()) {
        VARIANT args[4];
        for (auto& a : args)
            VariantInit(&a);
        // Arguments travel last first.
        args[3].vt = VT_I2;
        args[3].iVal = SHORT(button);
        args[2].vt = VT_I2;
        args[2].iVal = SHORT(shift);
        args[1].vt = VT_I4;
        args[1].lVal = x;
        args[0].vt = VT_I4;
        args[0].lVal = y;
        DISPPARAMS params{args, nullptr, 4, 0};
        static_cast<IDispatch*>(s)->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                                           nullptr, nullptr);
        s->Release();
    }
}

void InkControl::redraw(bool now) {
    if (!widget_)
        return;
    if (now)
        widget_->repaint();
    else
        widget_->update();
}

bool InkControl::ensureInk() {
    const int64_t w = int64_t(width_) - 2 * int64_t(borderWidth_);
    const int64_t h = int64_t(height_) - 2 * int64_t(borderWidth_);
    if (w <= 0 || h <= 0 || w > ink::kMaxSide || h > ink::kMaxSide) {
        ink_.reset();
        return false;
    }
    return ink::ensureSize(ink_, int(w), int(h));
}

std::vector<uint32_t> InkControl::systemColors() const {
    std::vector<uint32_t> colors(ink::classicSystemColors(),
                                 ink::classicSystemColors() + ink::kSystemColorCount);
    applyPaletteColors(colors.data());
    return colors;
}

ink::PaintInput InkControl::paintInput(bool inkReady) const {
    const auto colors = systemColors();
    ink::PaintInput in;
    in.ink = inkReady ? &ink_ : nullptr;
    in.border = borderWidth_;
    in.backRgb = ink::resolveColor(backColor_, colors.data());
    in.inkRgb = ink::resolveColor(foreColor_, colors.data());
    in.borderRgb = ink::resolveColor(borderColor_, colors.data());
    if (!backImageBits_.empty()) {
        in.image = backImageBits_.data();
        in.imageWidth = backImageWidth_;
        in.imageHeight = backImageHeight_;
    }
    return in;
}

void InkControl::paintWindow(ScribaneSurface& target) {
    const bool ready = ensureInk();
    ink::paintControl(target, controlRect(), paintInput(ready), paintBuffer_);
}

// ---------------------------------------------------------------------------------------
// Pen input

void InkControl::buttonDown(int button, int shift, int x, int y) {
    if (!enabled_ || designMode_ || button == 0)
        return;
    captured_ = true; // the window keeps the pointer until the button is released
    const int B = borderWidth_;
    if (button == 1 && x >= B && y >= B && x < width_ - B && y < height_ - B) {
        penDown_ = true;
        last_ = {x - B, y - B};
    }
    if (sendMouseDown_)
        fireMouse(DISPID_INK_MOUSEDOWN, button, shift, x, y);
}

void InkControl::mouseMove(int buttons, int shift, int x, int y) {
    if (penDown_ && ensureInk()) {
        // The border may have grown while the pen was down; keep the arithmetic in range.
        auto inInk = [this](int v) {
            return int(
                std::clamp<int64_t>(int64_t(v) - borderWidth_, -ink::kMaxSide, 2 * ink::kMaxSide));
        };
        const ink::Point p{inInk(x), inInk(y)};
        if (!(p == last_)) {
            ink::drawSegment(ink_, last_, p, penWidth_);
            // Only the part inside the window is repainted; a wide pen's rectangle may
            // span more than an int can measure.
            const ink::Rect dirty =
                ink::segmentDirtyRect(last_, p, borderWidth_, penWidth_).intersected(controlRect());
            last_ = p;
            if (!modified_)
                put_Modified(VARIANT_TRUE);
            if (widget_ && !dirty.empty())
                widget_->repaint(QRect(dirty.left, dirty.top, dirty.width(), dirty.height()));
        }
    }
    if (sendMouseMove_)
        fireMouse(DISPID_INK_MOUSEMOVE, buttons, shift, x, y);
}

void InkControl::buttonUp(int button, int shift, int x, int y) {
    captured_ = false;
    penDown_ = false;
    if (sendMouseUp_ && button != 0)
        fireMouse(DISPID_INK_MOUSEUP, button, shift, x, y);
}

// ---------------------------------------------------------------------------------------
// IDispatch

HRESULT InkControl::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_INVALIDARG;
    *count = 0;
    return S_OK;
}

HRESULT InkControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT InkControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    if (!names[0])
        return DISP_E_UNKNOWNNAME;
    for (const Member& m : kMembers) {
        if (equalsIgnoringCase(m.name, names[0])) {
            ids[0] = m.id;
            // Argument names are not published.
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT InkControl::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
    if (!(riid == IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (!params)
        params = &none;
    if (params->cArgs > 0 && !params->rgvarg)
        return E_INVALIDARG;
    if (result)
        VariantInit(result);
    const HRESULT hr = guarded([&] { return invokeMember(id, flags, params, result, argErr); });
    if (excepInfo) {
        std::memset(static_cast<void*>(excepInfo), 0, sizeof(EXCEPINFO));
        if (FAILED(hr))
            excepInfo->scode = hr;
    }
    return hr;
}

HRESULT InkControl::invokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 UINT* argErr) {
    // A caller that passes no result variant still gets the get run; what it made (a
    // text, an image array) is freed on the way out.
    VARIANT scratch;
    VariantInit(&scratch);
    struct ClearOnExit {
        VARIANT* v;
        ~ClearOnExit() { VariantClear(v); }
    } clearScratch{&scratch};
    VARIANT* out = result ? result : &scratch;
    const bool get = (flags & DISPATCH_PROPERTYGET) && params->cArgs == 0;
    const bool put =
        (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && params->cArgs == 1;
    const bool call = flags & DISPATCH_METHOD;
    auto badArg = [&](HRESULT hr) {
        if (argErr)
            *argErr = 0;
        return hr;
    };
    // Arguments come last first; the only argument of a put or method is rgvarg[0].
    const VARIANT* arg = params->cArgs > 0 ? &params->rgvarg[0] : nullptr;

    auto colorProperty = [&](auto getter, auto setter) -> HRESULT {
        if (get) {
            OLE_COLOR c = 0;
            HRESULT hr = (this->*getter)(&c);
            if (SUCCEEDED(hr)) {
                out->vt = VT_I4;
                out->lVal = LONG(c);
            }
            return hr;
        }
        if (put) {
            LONG v = 0;
            HRESULT hr = coerceToLong(*arg, &v);
            return FAILED(hr) ? badArg(hr) : (this->*setter)(OLE_COLOR(v));
        }
        return params->cArgs > 1 ? DISP_E_BADPARAMCOUNT : DISP_E_MEMBERNOTFOUND;
    };
    auto longProperty = [&](auto getter, auto setter) -> HRESULT {
        if (get) {
            LONG v = 0;
            HRESULT hr = (this->*getter)(&v);
            if (SUCCEEDED(hr)) {
                out->vt = VT_I4;
                out->lVal = v;
            }
            return hr;
        }
        if (put && setter) {
            LONG v = 0;
            HRESULT hr = coerceToLong(*arg, &v);
            return FAILED(hr) ? badArg(hr) : (this->*setter)(v);
        }
        return params->cArgs > 1 ? DISP_E_BADPARAMCOUNT : DISP_E_MEMBERNOTFOUND;
    };
    auto boolProperty = [&](auto getter, auto setter) -> HRESULT {
        if (get) {
            VARIANT_BOOL v = 0;
            HRESULT hr = (this->*getter)(&v);
            if (SUCCEEDED(hr)) {
                out->vt = VT_BOOL;
                out->boolVal = v;
            }
            return hr;
        }
        if (put) {
            VARIANT_BOOL v = 0;
            HRESULT hr = coerceToBool(*arg, &v);
            return FAILED(hr) ? badArg(hr) : (this->*setter)(v);
        }
        return params->cArgs > 1 ? DISP_E_BADPARAMCOUNT : DISP_E_MEMBERNOTFOUND;
    };
    auto method0 = [&](HRESULT (InkControl::*m)()) -> HRESULT {
        if (!call)
            return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 0)
            return DISP_E_BADPARAMCOUNT;
        return (this->*m)();
    };
    auto textMethod = [&](HRESULT (InkControl::*m)(BSTR)) -> HRESULT {
        if (!call)
            return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 1)
            return DISP_E_BADPARAMCOUNT;
        BSTR name = nullptr;
        HRESULT hr = coerceToText(*arg, &name);
        return FAILED(hr) ? badArg(hr) : (this->*m)(name);
    };

    using C = InkControl;
    switch (id) {
    case DISPID_INK_BACKCOLOR:
        return colorProperty(&C::get_BackColor, &C::put_BackColor);
    case DISPID_INK_FORECOLOR:
        return colorProperty(&C::get_ForeColor, &C::put_ForeColor);
    case DISPID_INK_BORDERCOLOR:
        return colorProperty(&C::get_BorderColor, &C::put_BorderColor);
    case DISPID_INK_ENABLED:
        return boolProperty(&C::get_Enabled, &C::put_Enabled);
    case DISPID_INK_MODIFIED:
        return boolProperty(&C::get_Modified, &C::put_Modified);
    case DISPID_INK_SENDMOUSEDOWN:
        return boolProperty(&C::get_SendMouseDown, &C::put_SendMouseDown);
    case DISPID_INK_SENDMOUSEMOVE:
        return boolProperty(&C::get_SendMouseMove, &C::put_SendMouseMove);
    case DISPID_INK_SENDMOUSEUP:
        return boolProperty(&C::get_SendMouseUp, &C::put_SendMouseUp);
    case DISPID_INK_BORDERWIDTH:
        return longProperty(&C::get_BorderWidth, &C::put_BorderWidth);
    case DISPID_INK_PENWIDTH:
        return longProperty(&C::get_PenWidth, &C::put_PenWidth);
    case DISPID_INK_ROTATION:
        return longProperty(&C::get_Rotation, &C::put_Rotation);
    case DISPID_INK_HWND:
        return longProperty(&C::get_hWnd, static_cast<HRESULT (C::*)(LONG)>(nullptr));
    case DISPID_INK_CLEAR:
        return method0(&C::Clear);
    case DISPID_INK_REFRESH:
        return method0(&C::Refresh);
    case DISPID_INK_ABOUTBOX:
        return method0(&C::AboutBox);
    case DISPID_INK_SAVEIMAGE:
        return textMethod(&C::SaveImage);
    case DISPID_INK_LOADIMAGE:
        return textMethod(&C::LoadImage);
    case DISPID_INK_IMAGEDATA:
        if (get)
            return get_ImageData(out);
        if (put)
            return put_ImageData(*arg);
        return params->cArgs > 1 ? DISP_E_BADPARAMCOUNT : DISP_E_MEMBERNOTFOUND;
    case DISPID_INK_BACKIMAGE:
        if (get) {
            BSTR s = nullptr;
            HRESULT hr = get_BackImage(&s);
            if (SUCCEEDED(hr)) {
                out->vt = VT_BSTR;
                out->bstrVal = s;
            }
            return hr;
        }
        if (put) {
            BSTR s = nullptr;
            HRESULT hr = coerceToText(*arg, &s);
            return FAILED(hr) ? badArg(hr) : put_BackImage(s);
        }
        return params->cArgs > 1 ? DISP_E_BADPARAMCOUNT : DISP_E_MEMBERNOTFOUND;
    case DISPID_INK_SETBACKIMAGE:
        if (!call)
            return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 1)
            return DISP_E_BADPARAMCOUNT;
        return SetBackImage(*arg);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// ---------------------------------------------------------------------------------------
// Properties

#define SCRIBANE_GET(value, expr)                                                                  \
    do {                                                                                           \
        if (!(value))                                                                              \
            return E_INVALIDARG;                                                                   \
        *(value) = (expr);                                                                         \
        return S_OK;                                                                               \
    } while (0)

HRESULT InkControl::get_BackColor(OLE_COLOR* value) {
    SCRIBANE_GET(value, backColor_);
}
HRESULT InkControl::put_BackColor(OLE_COLOR value) {
    return editProperty(DISPID_INK_BACKCOLOR, true, [&] {
        backColor_ = value;
        return S_OK;
    });
}
HRESULT InkControl::get_ForeColor(OLE_COLOR* value) {
    SCRIBANE_GET(value, foreColor_);
}
HRESULT InkControl::put_ForeColor(OLE_COLOR value) {
    return editProperty(DISPID_INK_FORECOLOR, true, [&] {
        foreColor_ = value;
        return S_OK;
    });
}
HRESULT InkControl::get_Enabled(VARIANT_BOOL* value) {
    SCRIBANE_GET(value, toVariantBool(enabled_));
}
HRESULT InkControl::put_Enabled(VARIANT_BOOL value) {
    return editProperty(DISPID_INK_ENABLED, false, [&] {
        enabled_ = value != 0;
        return S_OK;
    });
}
HRESULT InkControl::get_BorderWidth(LONG* value) {
    SCRIBANE_GET(value, borderWidth_);
}
HRESULT InkControl::put_BorderWidth(LONG value) {
    return editProperty(DISPID_INK_BORDERWIDTH, true, [&] {
        if (value < 0)
            return CTL_E_INVALIDPROPERTYVALUE;
        borderWidth_ = value;
        return S_OK;
    });
}
HRESULT InkControl::get_BorderColor(OLE_COLOR* value) {
    SCRIBANE_GET(value, borderColor_);
}
HRESULT InkControl::put_BorderColor(OLE_COLOR value) {
    return editProperty(DISPID_INK_BORDERCOLOR, true, [&] {
        borderColor_ = value;
        return S_OK;
    });
}
HRESULT InkControl::get_PenWidth(LONG* value) {
    SCRIBANE_GET(value, penWidth_);
}
HRESULT InkControl::put_PenWidth(LONG value) {
    return editProperty(DISPID_INK_PENWIDTH, false, [&] {
        if (value <= 0)
            return CTL_E_INVALIDPROPERTYVALUE;
        penWidth_ = value;
        return S_OK;
    });
}
HRESULT InkControl::get_Modified(VARIANT_BOOL* value) {
    if (!value)
        return E_INVALIDARG;
    if (designMode_)
        return CTL_E_GETNOTSUPPORTED;
    *value = toVariantBool(modified_);
    return S_OK;
}
HRESULT InkControl::put_Modified(VARIANT_BOOL value) {
    if (designMode_)
        return CTL_E_SETNOTSUPPORTED;
    return editProperty(DISPID_INK_MODIFIED, false, [&] {
        modified_ = value != 0;
        return S_OK;
    });
}
HRESULT InkControl::get_Rotation(LONG* value) {
    SCRIBANE_GET(value, rotation_);
}
HRESULT InkControl::put_Rotation(LONG value) {
    return editProperty(DISPID_INK_ROTATION, false, [&] {
        if (value % 90 != 0)
            return CTL_E_INVALIDPROPERTYVALUE;
        rotation_ = value;
        return S_OK;
    });
}
HRESULT InkControl::get_SendMouseDown(VARIANT_BOOL* value) {
    SCRIBANE_GET(value, toVariantBool(sendMouseDown_));
}
HRESULT InkControl::put_SendMouseDown(VARIANT_BOOL value) {
    return editProperty(DISPID_INK_SENDMOUSEDOWN, false, [&] {
        sendMouseDown_ = value != 0;
        return S_OK;
    });
}
HRESULT InkControl::get_SendMouseMove(VARIANT_BOOL* value) {
    SCRIBANE_GET(value, toVariantBool(sendMouseMove_));
}
HRESULT InkControl::put_SendMouseMove(VARIANT_BOOL value) {
    return editProperty(DISPID_INK_SENDMOUSEMOVE, false, [&] {
        sendMouseMove_ = value != 0;
        return S_OK;
    });
}
HRESULT InkControl::get_SendMouseUp(VARIANT_BOOL* value) {
    SCRIBANE_GET(value, toVariantBool(sendMouseUp_));
}
HRESULT InkControl::put_SendMouseUp(VARIANT_BOOL value) {
    return editProperty(DISPID_INK_SENDMOUSEUP, false, [&] {
        sendMouseUp_ = value != 0;
        return S_OK;
    });
}
#undef SCRIBANE_GET

HRESULT InkControl::get_hWnd(LONG* value) {
    if (!value)
        return E_INVALIDARG;
    if (designMode_)
        return CTL_E_GETNOTSUPPORTED;
    *value = widget_ ? LONG(widget_->winId()) : 0;
    return S_OK;
}

HRESULT InkControl::get_BackImage(BSTR* value) {
    if (!value)
        return E_INVALIDARG;
    *value = SysAllocStringLen(backImage_.data(), UINT(backImage_.size()));
    return *value ? S_OK : E_OUTOFMEMORY;
}

HRESULT InkControl::put_BackImage(BSTR value) {
    return guarded([&] {
        backImage_ = textOf(value);
        VARIANT arg;
        VariantInit(&arg);
        BSTR copy = nullptr;
        if (!backImage_.empty()) {
            copy = SysAllocStringLen(backImage_.data(), UINT(backImage_.size()));
            if (!copy)
                return E_OUTOFMEMORY;
            arg.vt = VT_BSTR;
            arg.bstrVal = copy;
        }
        SetBackImage(arg);
        VariantClear(&arg);
        needsSave_ = true;
        notifyChanged(DISPID_INK_BACKIMAGE);
        redraw();
        return S_OK;
    });
}

HRESULT InkControl::SetBackImage(VARIANT image) {
    return guarded([&] {
        const VARIANT* v = &image;
        if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
            v = v->pvarVal;
        backImageBits_.clear();
        backImageBits_.shrink_to_fit();
        backImageWidth_ = backImageHeight_ = 0;
        std::vector<uint32_t> bits;
        int w = 0, h = 0;
        bool ok = false;
        if ((v->vt & ~VT_BYREF) == VT_BSTR) {
            BSTR name = nullptr;
            coerceToText(*v, &name);
            if (SysStringLen(name) > 0)
                ok = decodeBackgroundFile(toUtf8(name, SysStringLen(name)), bits, w, h);
        } else if (SAFEARRAY* sa = byteArrayOf(*v)) {
            ok = decodeBackgroundBytes(static_cast<const char*>(sa->pvData),
                                       sa->rgsabound[0].cElements, bits, w, h);
        }
        if (ok) {
            backImageBits_ = std::move(bits);
            backImageWidth_ = w;
            backImageHeight_ = h;
        }
        return S_OK;
    });
}

// ---------------------------------------------------------------------------------------
// Methods

HRESULT InkControl::Clear() {
    ink_.reset();
    if (modified_)
        put_Modified(VARIANT_FALSE);
    redraw();
    return S_OK;
}

HRESULT InkControl::Refresh() {
    redraw(true);
    return S_OK;
}

HRESULT InkControl::AboutBox() {
    return S_OK;
}

HRESULT InkControl::get_ImageData(VARIANT* value) {
    if (!value)
        return E_INVALIDARG;
    if (designMode_)
        return CTL_E_GETNOTSUPPORTED;
    return guarded([&] {
        VariantInit(value);
        if (!ensureInk())
            return E_FAIL;
        const auto colors = systemColors();
        int32_t xres = 0, yres = 0;
        screenResolution(xres, yres);
        // The turned ink goes straight into the array handed out.
        const size_t size = ink::rotatedBmpSize(ink_, rotation_);
        if (size == 0)
            return E_FAIL;
        SAFEARRAY* sa =
            size <= UINT32_MAX ? SafeArrayCreateVector(VT_UI1, 0, ULONG(size)) : nullptr;
        if (!sa)
            return E_OUTOFMEMORY;
        ink::encodeRotatedBmpInto(static_cast<uint8_t*>(sa->pvData), ink_, rotation_,
                                  ink::resolveColor(foreColor_, colors.data()),
                                  ink::resolveColor(backColor_, colors.data()), xres, yres);
        value->vt = VT_ARRAY | VT_UI1;
        value->parray = sa;
        return S_OK;
    });
}

HRESULT InkControl::put_ImageData(VARIANT value) {
    if (designMode_)
        return CTL_E_SETNOTSUPPORTED;
    return guarded([&] {
        SAFEARRAY* sa = byteArrayOf(value);
        if (!sa)
            return E_FAIL;
        ink::Bitmap image;
        if (!ink::decodeBmp(static_cast<const uint8_t*>(sa->pvData), sa->rgsabound[0].cElements,
                            image))
            return E_FAIL;
        const int angle = ink::normalizeAngle(rotation_);
        ink::Bitmap back;
        if (!ink::rotate(image, 360 - angle, back))
            return E_FAIL;
        // From here on a failure leaves the ink blank.
        ink_.reset();
        if (!ensureInk())
            return E_FAIL;
        ink::placeImage(ink_, back, angle);
        if (modified_)
            put_Modified(VARIANT_FALSE);
        redraw();
        return S_OK;
    });
}

namespace {

bool hasBmpSuffix(BSTR name) {
    const UINT n = SysStringLen(name);
    if (n < 5)
        return false;
    const char16_t* tail = name + n - 4;
    return tail[0] == u'.' && (tail[1] | 0x20) == u'b' && (tail[2] | 0x20) == u'm' &&
           (tail[3] | 0x20) == u'p';
}

// Writes the file next to its final name, syncs it and renames it into place, so that a
// failed save (a full or removed card) never leaves a cut-off image where a good one was,
// and nothing of the attempt stays behind.
bool writeWholeFile(const std::string& path, const void* data, size_t size) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = dir + "." + name + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat old {};
    fchmod(fd, stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    const auto* p = static_cast<const char*>(data);
    bool ok = true;
    while (ok && size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok) {
            p += n;
            size -= size_t(n);
        }
    }
    ok = ok && fdatasync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok)
        unlink(temp.c_str());
    return ok;
}

// Files are at most one full-size exported image.
constexpr long kMaxImageFile = long(ink::kBmpHeaderSize) + long(ink::kMaxSide / 8) * ink::kMaxSide;

} // namespace

HRESULT InkControl::SaveImage(BSTR filename) {
    if (!filename || !hasBmpSuffix(filename))
        return E_INVALIDARG;
    return guarded([&] {
        VARIANT data;
        VariantInit(&data);
        HRESULT hr = get_ImageData(&data);
        if (FAILED(hr))
            return hr;
        if (data.vt != (VT_ARRAY | VT_UI1) || !data.parray) {
            VariantClear(&data);
            return E_FAIL;
        }
        const std::string path = toUtf8(filename, SysStringLen(filename));
        const size_t n = data.parray->rgsabound[0].cElements;
        const bool ok = writeWholeFile(path, data.parray->pvData, n);
        VariantClear(&data);
        return ok ? S_OK : E_FAIL;
    });
}

HRESULT InkControl::LoadImage(BSTR filename) {
    if (!filename || SysStringLen(filename) == 0)
        return E_INVALIDARG;
    return guarded([&] {
        const std::string path = toUtf8(filename, SysStringLen(filename));
        // Only regular files: opening a pipe or device could block for ever.
        struct stat info {};
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            return E_FAIL;
        FILE* f = std::fopen(path.c_str(), "rb");
        if (!f)
            return E_FAIL;
        long size = -1;
        if (std::fseek(f, 0, SEEK_END) == 0)
            size = std::ftell(f);
        if (size < 0 || size > kMaxImageFile || std::fseek(f, 0, SEEK_SET) != 0) {
            std::fclose(f);
            return E_FAIL;
        }
        SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, ULONG(size));
        if (!sa) {
            std::fclose(f);
            return E_OUTOFMEMORY;
        }
        const bool complete = std::fread(sa->pvData, 1, size_t(size), f) == size_t(size);
        std::fclose(f);
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_ARRAY | VT_UI1;
        v.parray = sa;
        const HRESULT hr = complete ? put_ImageData(v) : E_FAIL;
        VariantClear(&v);
        return hr;
    });
}

// ---------------------------------------------------------------------------------------
// Connection point container

HRESULT InkControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points)
        *points = nullptr;
    return E_NOTIMPL;
}

HRESULT InkControl::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (riid == DIID_IInkControlEvents)
        *point = &events_;
    else if (riid == IID_IPropertyNotifySink)
        *point = &propertyNotify_;
    else
        return CONNECT_E_NOCONNECTION;
    (*point)->AddRef();
    return S_OK;
}

// ---------------------------------------------------------------------------------------
// Persistence

HRESULT InkControl::GetClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_InkControl;
    return S_OK;
}

HRESULT InkControl::IsDirty() {
    return needsSave_ ? S_OK : S_FALSE;
}

HRESULT InkControl::InitNew() {
    needsSave_ = false;
    return S_OK;
}

HRESULT InkControl::readProperties(VARIANT (&values)[11]) const {
    auto* self = const_cast<InkControl*>(this);
    for (int i = 0; i < 11; ++i) {
        VariantInit(&values[i]);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        HRESULT hr =
            self->invokeMember(kPersisted[i].id, DISPATCH_PROPERTYGET, &none, &values[i], nullptr);
        if (FAILED(hr)) {
            for (int k = 0; k <= i; ++k)
                VariantClear(&values[k]);
            return hr;
        }
    }
    return S_OK;
}

// Checks all values first and only then puts them in order, so that a bad value leaves
// every property as it was.
HRESULT InkControl::applyProperties(VARIANT (&values)[11]) {
    for (int i = 0; i < 11; ++i) {
        const VARIANT& v = values[i];
        if (v.vt == VT_EMPTY)
            continue; // nothing stored for it: keep the current value
        LONG n = 0;
        BSTR s = nullptr;
        const DISPID id = kPersisted[i].id;
        const HRESULT hr = id == DISPID_INK_BACKIMAGE ? coerceToText(v, &s) : coerceToLong(v, &n);
        if (FAILED(hr))
            return E_FAIL;
        if ((id == DISPID_INK_BORDERWIDTH && n < 0) || (id == DISPID_INK_PENWIDTH && n <= 0) ||
            (id == DISPID_INK_ROTATION && n % 90 != 0))
            return CTL_E_INVALIDPROPERTYVALUE;
    }
    for (int i = 0; i < 11; ++i) {
        if (values[i].vt == VT_EMPTY)
            continue;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&values[i], &named, 1, 1};
        HRESULT hr =
            invokeMember(kPersisted[i].id, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

std::vector<uint8_t> InkControl::streamBytes(HRESULT* hr) {
    std::vector<uint8_t> bytes;
    VARIANT values[11];
    *hr = readProperties(values);
    if (FAILED(*hr))
        return bytes;
    ink::writeStreamVersion(bytes);
    for (auto& v : values) {
        if (!ink::writeVariant(bytes, v))
            *hr = E_FAIL;
        VariantClear(&v);
    }
    return bytes;
}

HRESULT InkControl::Save(IStream* stream, BOOL clearDirty) {
    if (!stream)
        return E_POINTER;
    return guarded([&] {
        HRESULT hr = S_OK;
        const std::vector<uint8_t> bytes = streamBytes(&hr);
        if (FAILED(hr))
            return hr;
        ULONG written = 0;
        hr = stream->Write(bytes.data(), ULONG(bytes.size()), &written);
        if (FAILED(hr))
            return hr;
        if (written != bytes.size())
            return STG_E_WRITEFAULT;
        if (clearDirty)
            needsSave_ = false;
        return S_OK;
    });
}

HRESULT InkControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size)
        return E_POINTER;
    return guarded([&] {
        HRESULT hr = S_OK;
        const auto bytes = streamBytes(&hr);
        size->QuadPart = bytes.size();
        return hr;
    });
}

HRESULT InkControl::Load(IStream* stream) {
    if (!stream)
        return E_POINTER;
    return guarded([&] {
        const ink::ReadExact read = [stream](void* buffer, size_t n) {
            auto* p = static_cast<uint8_t*>(buffer);
            while (n > 0) {
                ULONG got = 0;
                const HRESULT hr = stream->Read(p, ULONG(n), &got);
                if (FAILED(hr) || got == 0 || got > n)
                    return false;
                p += got;
                n -= got;
            }
            return true;
        };
        if (ink::readStreamVersion(read) != ink::ReadResult::Ok)
            return E_FAIL;
        VARIANT values[11];
        for (auto& v : values)
            VariantInit(&v);
        auto clearAll = [&] {
            for (auto& v : values)
                VariantClear(&v);
        };
        for (auto& v : values) {
            if (ink::readVariant(read, &v) != ink::ReadResult::Ok) {
                clearAll();
                return E_FAIL;
            }
        }
        const HRESULT hr = applyProperties(values);
        clearAll();
        if (SUCCEEDED(hr))
            needsSave_ = false;
        return hr;
    });
}

HRESULT InkControl::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag)
        return E_POINTER;
    return guarded([&] {
        VARIANT values[11];
        for (int i = 0; i < 11; ++i) {
            VariantInit(&values[i]);
            // A property the bag does not hold keeps its current value.
            if (FAILED(bag->Read(kPersisted[i].name, &values[i], log)))
                VariantInit(&values[i]);
        }
        const HRESULT hr = applyProperties(values);
        for (auto& v : values)
            VariantClear(&v);
        if (SUCCEEDED(hr))
            needsSave_ = false;
        return hr;
    });
}

HRESULT InkControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag)
        return E_POINTER;
    return guarded([&] {
        VARIANT values[11];
        HRESULT hr = readProperties(values);
        if (FAILED(hr))
            return hr;
        for (int i = 0; i < 11; ++i) {
            if (SUCCEEDED(hr))
                hr = bag->Write(kPersisted[i].name, &values[i]);
            VariantClear(&values[i]);
        }
        if (SUCCEEDED(hr) && clearDirty)
            needsSave_ = false;
        return FAILED(hr) ? hr : S_OK;
    });
}

HRESULT InkControl::InitNew(IStorage*) {
    return InitNew();
}

HRESULT InkControl::Load(IStorage* storage) {
    if (!storage)
        return E_POINTER;
    IStream* stream = nullptr;
    HRESULT hr =
        storage->OpenStream(u"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
    if (FAILED(hr) || !stream)
        return FAILED(hr) ? hr : E_FAIL;
    hr = Load(stream);
    stream->Release();
    return hr;
}

HRESULT InkControl::Save(IStorage* storage, BOOL sameAsLoad) {
    if (!storage)
        return E_POINTER;
    IStream* stream = nullptr;
    HRESULT hr = storage->CreateStream(u"Contents", STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE,
                                       0, 0, &stream);
    if (FAILED(hr) || !stream)
        return FAILED(hr) ? hr : E_FAIL;
    hr = Save(stream, sameAsLoad);
    stream->Release();
    return hr;
}

HRESULT InkControl::SaveCompleted(IStorage*) {
    return S_OK;
}
HRESULT InkControl::HandsOffStorage() {
    return S_OK;
}

// ---------------------------------------------------------------------------------------
// Site, activation and window

void InkControl::readAmbientUserMode() {
    designMode_ = false; // user mode unless the container says otherwise
    if (!site_)
        return;
    IDispatch* ambient = nullptr;
    if (FAILED(site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient))) ||
        !ambient)
        return;
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (SUCCEEDED(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                  &result, nullptr, nullptr))) {
        VARIANT_BOOL userMode = VARIANT_TRUE;
        if (SUCCEEDED(coerceToBool(result, &userMode)))
            designMode_ = userMode == VARIANT_FALSE;
    }
    VariantClear(&result);
    ambient->Release();
}

HRESULT InkControl::SetClientSite(IOleClientSite* site) {
    if (site)
        site->AddRef();
    if (site_)
        site_->Release();
    site_ = site;
    readAmbientUserMode();
    return S_OK;
}

HRESULT InkControl::GetClientSite(IOleClientSite** site) {
    if (!site)
        return E_POINTER;
    *site = site_;
    if (site_)
        site_->AddRef();
    return S_OK;
}

HRESULT InkControl::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

HRESULT InkControl::Close(DWORD) {
    deactivate();
    return S_OK;
}

HRESULT InkControl::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}
HRESULT InkControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}
HRESULT InkControl::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}
HRESULT InkControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

HRESULT InkControl::DoVerb(LONG verb, MSG*, IOleClientSite* site, LONG, HWND parent,
                           LPCRECT position) {
    if (site && !site_)
        SetClientSite(site);
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_INPLACEACTIVATE:
        return guarded([&] { return activate(parent, position); });
    case OLEIVERB_HIDE:
        if (widget_)
            widget_->hide();
        return S_OK;
    default:
        return E_NOTIMPL;
    }
}

HRESULT InkControl::activate(HWND parent, LPCRECT position) {
    if (position) {
        left_ = position->left;
        top_ = position->top;
        width_ = extent(position->left, position->right);
        height_ = extent(position->top, position->bottom);
    }
    if (!widget_) {
        if (!parent)
            return E_INVALIDARG;
        // The window is a Qt widget: it needs the process's QApplication and its thread.
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (!app || QThread::currentThread() != app->thread())
            return E_FAIL;
        QWidget* parentWidget = QWidget::find(WId(parent));
        auto* w = new InkWidget(this, parentWidget);
        if (!parentWidget) {
            QWindow* foreign = QWindow::fromWinId(WId(parent));
            if (!foreign) {
                w->detach();
                delete w;
                return E_FAIL;
            }
            w->setAttribute(Qt::WA_NativeWindow);
            w->winId();
            w->windowHandle()->setParent(foreign);
            foreignParent_ = foreign;
        }
        widget_ = w;
    }
    widget_->setGeometry(left_, top_, width_, height_);
    widget_->show();
    return S_OK;
}

void InkControl::deactivate() {
    penDown_ = false;
    captured_ = false;
    if (widget_) {
        InkWidget* w = widget_;
        widget_ = nullptr;
        w->detach();
        w->hide();
        // The window may be inside one of its own event handlers right now.
        w->deleteLater();
    }
    if (foreignParent_) {
        foreignParent_->deleteLater();
        foreignParent_ = nullptr;
    }
}

void InkControl::windowDestroyed() {
    // The host destroyed the parent window and with it ours.
    widget_ = nullptr;
    penDown_ = false;
    captured_ = false;
}

HRESULT InkControl::EnumVerbs(IEnumOLEVERB** verbs) {
    if (verbs)
        *verbs = nullptr;
    return E_NOTIMPL;
}
HRESULT InkControl::Update() {
    return S_OK;
}
HRESULT InkControl::IsUpToDate() {
    return S_OK;
}
HRESULT InkControl::GetUserClassID(CLSID* clsid) {
    return GetClassID(clsid);
}
HRESULT InkControl::GetUserType(DWORD, LPOLESTR* name) {
    if (name)
        *name = nullptr;
    return E_NOTIMPL;
}
HRESULT InkControl::SetExtent(DWORD, SIZEL*) {
    return E_NOTIMPL;
}
HRESULT InkControl::GetExtent(DWORD, SIZEL*) {
    return E_NOTIMPL;
}
HRESULT InkControl::Advise(IAdviseSink*, DWORD* connection) {
    if (connection)
        *connection = 0;
    return E_NOTIMPL;
}
HRESULT InkControl::Unadvise(DWORD) {
    return E_NOTIMPL;
}
HRESULT InkControl::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise)
        *advise = nullptr;
    return E_NOTIMPL;
}
HRESULT InkControl::GetMiscStatus(DWORD, DWORD* status) {
    if (!status)
        return E_POINTER;
    *status = kMiscStatus;
    return S_OK;
}
HRESULT InkControl::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

HRESULT InkControl::GetWindow(HWND* window) {
    if (!window)
        return E_POINTER;
    *window = widget_ ? HWND(widget_->winId()) : 0;
    return widget_ ? S_OK : E_FAIL;
}
HRESULT InkControl::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}
HRESULT InkControl::InPlaceDeactivate() {
    deactivate();
    return S_OK;
}
HRESULT InkControl::UIDeactivate() {
    return S_OK;
}

HRESULT InkControl::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position)
        return E_INVALIDARG;
    left_ = position->left;
    top_ = position->top;
    width_ = extent(position->left, position->right);
    height_ = extent(position->top, position->bottom);
    if (widget_)
        widget_->setGeometry(left_, top_, width_, height_);
    return S_OK;
}
HRESULT InkControl::ReactivateAndUndo() {
    return E_NOTIMPL;
}

HRESULT InkControl::GetControlInfo(CONTROLINFO*) {
    return E_NOTIMPL;
}
HRESULT InkControl::OnMnemonic(MSG*) {
    return E_NOTIMPL;
}
HRESULT InkControl::OnAmbientPropertyChange(DISPID id) {
    if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN)
        readAmbientUserMode();
    return S_OK;
}
HRESULT InkControl::FreezeEvents(BOOL) {
    return S_OK;
}

// ---------------------------------------------------------------------------------------
// Drawing into a host's target

HRESULT InkControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC target,
                         LPCRECTL bounds, LPCRECTL, BOOL (*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT)
        return E_NOTIMPL;
    if (!target || !bounds)
        return E_INVALIDARG;
    return guarded([&] {
        const bool ready = ensureInk();
        ink::paintControl(*target,
                          ink::Rect{bounds->left, bounds->top, bounds->right, bounds->bottom},
                          paintInput(ready), paintBuffer_);
        return S_OK;
    });
}

HRESULT InkControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
    if (colors)
        *colors = nullptr;
    return E_NOTIMPL;
}
HRESULT InkControl::Freeze(DWORD, LONG, void*, DWORD*) {
    return E_NOTIMPL;
}
HRESULT InkControl::Unfreeze(DWORD) {
    return E_NOTIMPL;
}
HRESULT InkControl::SetAdvise(DWORD, DWORD, IAdviseSink*) {
    return E_NOTIMPL;
}
HRESULT InkControl::GetAdvise(DWORD*, DWORD*, IAdviseSink**) {
    return E_NOTIMPL;
}

HRESULT InkControl::GetClassInfo(ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT InkControl::GetGUID(DWORD kind, GUID* guid) {
    if (!guid)
        return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID)
        return E_INVALIDARG;
    *guid = DIID_IInkControlEvents;
    return S_OK;
}

} // namespace scribane
