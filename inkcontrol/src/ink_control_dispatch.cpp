#include "ink_control.h"
#include "ink_control_support.h"
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

// The automation side of the control: IDispatch, its properties and methods.
namespace scribane {

using namespace control;

// A property change the host may refuse; saved and announced once it is made.
template <class Apply>
HRESULT InkControl::editProperty(DISPID id, bool redrawAfter, Apply&& apply) {
    if (!requestEdit(id)) {
        return S_FALSE;
    }
    const HRESULT hr = apply();
    if (FAILED(hr)) {
        return hr;
    }
    needsSave_ = true;
    notifyChanged(id);
    if (redrawAfter) {
        redraw();
    }
    return S_OK;
}

// ---------------------------------------------------------------------------------------
// IDispatch

HRESULT InkControl::GetTypeInfoCount(UINT* count) {
    if (!count) {
        return E_INVALIDARG;
    }
    *count = 0;
    return S_OK;
}

HRESULT InkControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) {
        *info = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT InkControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0) {
        return E_INVALIDARG;
    }
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    if (!names[0]) {
        return DISP_E_UNKNOWNNAME;
    }
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
    if (!(riid == IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (!params) {
        params = &none;
    }
    if (params->cArgs > 0 && !params->rgvarg) {
        return E_INVALIDARG;
    }
    if (result) {
        VariantInit(result);
    }
    const HRESULT hr = guarded([&] { return invokeMember(id, flags, params, result, argErr); });
    if (excepInfo) {
        std::memset(static_cast<void*>(excepInfo), 0, sizeof(EXCEPINFO));
        if (FAILED(hr)) {
            excepInfo->scode = hr;
        }
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
        if (argErr) {
            *argErr = 0;
        }
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
        if (!call) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (params->cArgs != 0) {
            return DISP_E_BADPARAMCOUNT;
        }
        return (this->*m)();
    };
    auto textMethod = [&](HRESULT (InkControl::*m)(BSTR)) -> HRESULT {
        if (!call) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (params->cArgs != 1) {
            return DISP_E_BADPARAMCOUNT;
        }
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
        if (get) {
            return get_ImageData(out);
        }
        if (put) {
            return put_ImageData(*arg);
        }
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
        if (!call) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (params->cArgs != 1) {
            return DISP_E_BADPARAMCOUNT;
        }
        return SetBackImage(*arg);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// ---------------------------------------------------------------------------------------
// Properties

#define SCRIBANE_GET(value, expr)                                                                  \
    do {                                                                                           \
        if (!(value)) {                                                                            \
            return E_INVALIDARG;                                                                   \
        }                                                                                          \
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
        if (value < 0) {
            return CTL_E_INVALIDPROPERTYVALUE;
        }
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
        if (value <= 0) {
            return CTL_E_INVALIDPROPERTYVALUE;
        }
        penWidth_ = value;
        return S_OK;
    });
}
HRESULT InkControl::get_Modified(VARIANT_BOOL* value) {
    if (!value) {
        return E_INVALIDARG;
    }
    if (designMode_) {
        return CTL_E_GETNOTSUPPORTED;
    }
    *value = toVariantBool(modified_);
    return S_OK;
}
HRESULT InkControl::put_Modified(VARIANT_BOOL value) {
    if (designMode_) {
        return CTL_E_SETNOTSUPPORTED;
    }
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
        if (value % 90 != 0) {
            return CTL_E_INVALIDPROPERTYVALUE;
        }
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
    if (!value) {
        return E_INVALIDARG;
    }
    if (designMode_) {
        return CTL_E_GETNOTSUPPORTED;
    }
    *value = widget_ ? LONG(widget_->winId()) : 0;
    return S_OK;
}

HRESULT InkControl::get_BackImage(BSTR* value) {
    if (!value) {
        return E_INVALIDARG;
    }
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
            if (!copy) {
                return E_OUTOFMEMORY;
            }
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
        if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) {
            v = v->pvarVal;
        }
        backImageBits_.clear();
        backImageBits_.shrink_to_fit();
        backImageWidth_ = backImageHeight_ = 0;
        std::vector<uint32_t> bits;
        int w = 0, h = 0;
        bool ok = false;
        if ((v->vt & ~VT_BYREF) == VT_BSTR) {
            BSTR name = nullptr;
            coerceToText(*v, &name);
            if (SysStringLen(name) > 0) {
                ok = decodeBackgroundFile(toUtf8(name, SysStringLen(name)), bits, w, h);
            }
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
    if (modified_) {
        put_Modified(VARIANT_FALSE);
    }
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
    if (!value) {
        return E_INVALIDARG;
    }
    if (designMode_) {
        return CTL_E_GETNOTSUPPORTED;
    }
    return guarded([&] {
        VariantInit(value);
        if (!ensureInk()) {
            return E_FAIL;
        }
        const auto colors = systemColors();
        int32_t xres = 0, yres = 0;
        screenResolution(xres, yres);
        // The turned ink goes straight into the array handed out.
        const size_t size = ink::rotatedBmpSize(ink_, rotation_);
        if (size == 0) {
            return E_FAIL;
        }
        SAFEARRAY* sa =
            size <= UINT32_MAX ? SafeArrayCreateVector(VT_UI1, 0, ULONG(size)) : nullptr;
        if (!sa) {
            return E_OUTOFMEMORY;
        }
        ink::encodeRotatedBmpInto(static_cast<uint8_t*>(sa->pvData), ink_, rotation_,
                                  ink::resolveColor(foreColor_, colors.data()),
                                  ink::resolveColor(backColor_, colors.data()), xres, yres);
        value->vt = VT_ARRAY | VT_UI1;
        value->parray = sa;
        return S_OK;
    });
}

HRESULT InkControl::put_ImageData(VARIANT value) {
    if (designMode_) {
        return CTL_E_SETNOTSUPPORTED;
    }
    return guarded([&] {
        SAFEARRAY* sa = byteArrayOf(value);
        if (!sa) {
            return E_FAIL;
        }
        ink::Bitmap image;
        if (!ink::decodeBmp(static_cast<const uint8_t*>(sa->pvData), sa->rgsabound[0].cElements,
                            image)) {
            return E_FAIL;
        }
        const int angle = ink::normalizeAngle(rotation_);
        ink::Bitmap back;
        if (!ink::rotate(image, 360 - angle, back)) {
            return E_FAIL;
        }
        // From here on a failure leaves the ink blank.
        ink_.reset();
        if (!ensureInk()) {
            return E_FAIL;
        }
        ink::placeImage(ink_, back, angle);
        if (modified_) {
            put_Modified(VARIANT_FALSE);
        }
        redraw();
        return S_OK;
    });
}

namespace {

bool hasBmpSuffix(BSTR name) {
    const UINT n = SysStringLen(name);
    if (n < 5) {
        return false;
    }
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
    if (fd < 0) {
        return false;
    }
    struct stat old {};
    fchmod(fd, stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    const auto* p = static_cast<const char*>(data);
    bool ok = true;
    while (ok && size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        if (ok) {
            p += n;
            size -= size_t(n);
        }
    }
    ok = ok && fdatasync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
    }
    return ok;
}

// Files are at most one full-size exported image.
constexpr long kMaxImageFile = long(ink::kBmpHeaderSize) + long(ink::kMaxSide / 8) * ink::kMaxSide;

} // namespace

HRESULT InkControl::SaveImage(BSTR filename) {
    if (!filename || !hasBmpSuffix(filename)) {
        return E_INVALIDARG;
    }
    return guarded([&] {
        VARIANT data;
        VariantInit(&data);
        HRESULT hr = get_ImageData(&data);
        if (FAILED(hr)) {
            return hr;
        }
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
    if (!filename || SysStringLen(filename) == 0) {
        return E_INVALIDARG;
    }
    return guarded([&] {
        const std::string path = toUtf8(filename, SysStringLen(filename));
        // Only regular files: opening a pipe or device could block for ever.
        struct stat info {};
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            return E_FAIL;
        }
        FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) {
            return E_FAIL;
        }
        long size = -1;
        if (std::fseek(f, 0, SEEK_END) == 0) {
            size = std::ftell(f);
        }
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

} // namespace scribane
