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

namespace scribane {

using namespace control;

std::atomic<long> g_liveObjects{0};
std::atomic<long> g_serverLocks{0};

// ---------------------------------------------------------------------------------------
// Connection points

ConnectionPoint::~ConnectionPoint() {
    for (auto& s : sinks_) {
        s.second->Release();
    }
}

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** object) {
    if (!object) {
        return E_POINTER;
    }
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
    if (!iid) {
        return E_POINTER;
    }
    *iid = iid_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) {
        return E_POINTER;
    }
    return owner_->QueryInterface(IID_IConnectionPointContainer,
                                  reinterpret_cast<void**>(container));
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie) {
        return E_POINTER;
    }
    *cookie = 0;
    IUnknown* typed = nullptr;
    HRESULT hr = sink->QueryInterface(iid_, reinterpret_cast<void**>(&typed));
    if (FAILED(hr) && iid_ == DIID_IInkControlEvents) {
        hr = sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&typed));
    }
    if (FAILED(hr) || !typed) {
        return CONNECT_E_CANNOTCONNECT;
    }
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
    if (it == sinks_.end()) {
        return CONNECT_E_NOCONNECTION;
    }
    IUnknown* sink = it->second;
    sinks_.erase(it);
    sink->Release();
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (connections) {
        *connections = nullptr;
    }
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
    if (site_) {
        site_->Release();
    }
    --g_liveObjects;
}

HRESULT InkControl::QueryInterface(REFIID riid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    void* p = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IInkControl) {
        p = static_cast<IInkControl*>(this);
    } else if (riid == IID_IConnectionPointContainer) {
        p = static_cast<IConnectionPointContainer*>(this);
    } else if (riid == IID_IPersist || riid == IID_IPersistStreamInit) {
        p = static_cast<IPersistStreamInit*>(this);
    } else if (riid == IID_IPersistPropertyBag) {
        p = static_cast<IPersistPropertyBag*>(this);
    } else if (riid == IID_IPersistStorage) {
        p = static_cast<IPersistStorage*>(this);
    } else if (riid == IID_IOleObject) {
        p = static_cast<IOleObject*>(this);
    } else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject) {
        p = static_cast<IOleInPlaceObject*>(this);
    } else if (riid == IID_IOleControl) {
        p = static_cast<IOleControl*>(this);
    } else if (riid == IID_IViewObject) {
        p = static_cast<IViewObject*>(this);
    } else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2) {
        p = static_cast<IProvideClassInfo2*>(this);
    }
    *object = p;
    if (!p) {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG InkControl::AddRef() {
    return ++refs_;
}

ULONG InkControl::Release() {
    const ULONG n = --refs_;
    if (n == 0) {
        delete this;
    }
    return n;
}

// ---------------------------------------------------------------------------------------
// Edit protocol, notifications, events

bool InkControl::requestEdit(DISPID id) {
    bool allowed = true;
    for (IUnknown* s : propertyNotify_.sinks()) {
        if (allowed && static_cast<IPropertyNotifySink*>(s)->OnRequestEdit(id) == S_FALSE) {
            allowed = false;
        }
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

void InkControl::fireMouse(DISPID id, int button, int shift, int x, int y) {
    for (IUnknown* s : events_.sinks()) {
        VARIANT args[4];
        for (auto& a : args) {
            VariantInit(&a);
        }
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
    if (!widget_) {
        return;
    }
    if (now) {
        widget_->repaint();
    } else {
        widget_->update();
    }
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
    if (!enabled_ || designMode_ || button == 0) {
        return;
    }
    captured_ = true; // the window keeps the pointer until the button is released
    const int B = borderWidth_;
    if (button == 1 && x >= B && y >= B && x < width_ - B && y < height_ - B) {
        penDown_ = true;
        last_ = {x - B, y - B};
    }
    if (sendMouseDown_) {
        fireMouse(DISPID_INK_MOUSEDOWN, button, shift, x, y);
    }
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
            if (!modified_) {
                put_Modified(VARIANT_TRUE);
            }
            if (widget_ && !dirty.empty()) {
                widget_->repaint(QRect(dirty.left, dirty.top, dirty.width(), dirty.height()));
            }
        }
    }
    if (sendMouseMove_) {
        fireMouse(DISPID_INK_MOUSEMOVE, buttons, shift, x, y);
    }
}

void InkControl::buttonUp(int button, int shift, int x, int y) {
    captured_ = false;
    penDown_ = false;
    if (sendMouseUp_ && button != 0) {
        fireMouse(DISPID_INK_MOUSEUP, button, shift, x, y);
    }
}

// ---------------------------------------------------------------------------------------
// Connection point container

HRESULT InkControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points) {
        *points = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT InkControl::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point) {
        return E_POINTER;
    }
    *point = nullptr;
    if (riid == DIID_IInkControlEvents) {
        *point = &events_;
    } else if (riid == IID_IPropertyNotifySink) {
        *point = &propertyNotify_;
    } else {
        return CONNECT_E_NOCONNECTION;
    }
    (*point)->AddRef();
    return S_OK;
}

} // namespace scribane
