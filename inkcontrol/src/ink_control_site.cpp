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

// The control in its host: site, activation, the window and drawing into a host's target.
namespace scribane {

using namespace control;

// ---------------------------------------------------------------------------------------
// Site, activation and window

void InkControl::readAmbientUserMode() {
    designMode_ = false; // user mode unless the container says otherwise
    if (!site_) {
        return;
    }
    IDispatch* ambient = nullptr;
    if (FAILED(site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient))) ||
        !ambient) {
        return;
    }
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (SUCCEEDED(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                  &result, nullptr, nullptr))) {
        VARIANT_BOOL userMode = VARIANT_TRUE;
        if (SUCCEEDED(coerceToBool(result, &userMode))) {
            designMode_ = userMode == VARIANT_FALSE;
        }
    }
    VariantClear(&result);
    ambient->Release();
}

HRESULT InkControl::SetClientSite(IOleClientSite* site) {
    if (site) {
        site->AddRef();
    }
    if (site_) {
        site_->Release();
    }
    site_ = site;
    readAmbientUserMode();
    return S_OK;
}

HRESULT InkControl::GetClientSite(IOleClientSite** site) {
    if (!site) {
        return E_POINTER;
    }
    *site = site_;
    if (site_) {
        site_->AddRef();
    }
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
    if (moniker) {
        *moniker = nullptr;
    }
    return E_NOTIMPL;
}
HRESULT InkControl::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}
HRESULT InkControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data) {
        *data = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT InkControl::DoVerb(LONG verb, MSG*, IOleClientSite* site, LONG, HWND parent,
                           LPCRECT position) {
    if (site && !site_) {
        SetClientSite(site);
    }
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_INPLACEACTIVATE:
        return guarded([&] { return activate(parent, position); });
    case OLEIVERB_HIDE:
        if (widget_) {
            widget_->hide();
        }
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
        if (!parent) {
            return E_INVALIDARG;
        }
        // The window is a Qt widget: it needs the process's QApplication and its thread.
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (!app || QThread::currentThread() != app->thread()) {
            return E_FAIL;
        }
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
    if (verbs) {
        *verbs = nullptr;
    }
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
    if (name) {
        *name = nullptr;
    }
    return E_NOTIMPL;
}
HRESULT InkControl::SetExtent(DWORD, SIZEL*) {
    return E_NOTIMPL;
}
HRESULT InkControl::GetExtent(DWORD, SIZEL*) {
    return E_NOTIMPL;
}
HRESULT InkControl::Advise(IAdviseSink*, DWORD* connection) {
    if (connection) {
        *connection = 0;
    }
    return E_NOTIMPL;
}
HRESULT InkControl::Unadvise(DWORD) {
    return E_NOTIMPL;
}
HRESULT InkControl::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise) {
        *advise = nullptr;
    }
    return E_NOTIMPL;
}
HRESULT InkControl::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) {
        return E_POINTER;
    }
    *status = kMiscStatus;
    return S_OK;
}
HRESULT InkControl::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

HRESULT InkControl::GetWindow(HWND* window) {
    if (!window) {
        return E_POINTER;
    }
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
    if (!position) {
        return E_INVALIDARG;
    }
    left_ = position->left;
    top_ = position->top;
    width_ = extent(position->left, position->right);
    height_ = extent(position->top, position->bottom);
    if (widget_) {
        widget_->setGeometry(left_, top_, width_, height_);
    }
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
    if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN) {
        readAmbientUserMode();
    }
    return S_OK;
}
HRESULT InkControl::FreezeEvents(BOOL) {
    return S_OK;
}

// ---------------------------------------------------------------------------------------
// Drawing into a host's target

HRESULT InkControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC target,
                         LPCRECTL bounds, LPCRECTL, BOOL (*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) {
        return E_NOTIMPL;
    }
    if (!target || !bounds) {
        return E_INVALIDARG;
    }
    return guarded([&] {
        const bool ready = ensureInk();
        ink::paintControl(*target,
                          ink::Rect{bounds->left, bounds->top, bounds->right, bounds->bottom},
                          paintInput(ready), paintBuffer_);
        return S_OK;
    });
}

HRESULT InkControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
    if (colors) {
        *colors = nullptr;
    }
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
    if (info) {
        *info = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT InkControl::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) {
        return E_POINTER;
    }
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        return E_INVALIDARG;
    }
    *guid = DIID_IInkControlEvents;
    return S_OK;
}

} // namespace scribane
