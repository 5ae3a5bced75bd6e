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

// Saving and loading the control: streams, property bags and storages.
namespace scribane {

using namespace control;

// ---------------------------------------------------------------------------------------
// Persistence

HRESULT InkControl::GetClassID(CLSID* clsid) {
    if (!clsid) {
        return E_POINTER;
    }
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
            for (int k = 0; k <= i; ++k) {
                VariantClear(&values[k]);
            }
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
        if (v.vt == VT_EMPTY) {
            continue; // nothing stored for it: keep the current value
        }
        LONG n = 0;
        BSTR s = nullptr;
        const DISPID id = kPersisted[i].id;
        const HRESULT hr = id == DISPID_INK_BACKIMAGE ? coerceToText(v, &s) : coerceToLong(v, &n);
        if (FAILED(hr)) {
            return E_FAIL;
        }
        if ((id == DISPID_INK_BORDERWIDTH && n < 0) || (id == DISPID_INK_PENWIDTH && n <= 0) ||
            (id == DISPID_INK_ROTATION && n % 90 != 0)) {
            return CTL_E_INVALIDPROPERTYVALUE;
        }
    }
    for (int i = 0; i < 11; ++i) {
        if (values[i].vt == VT_EMPTY) {
            continue;
        }
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&values[i], &named, 1, 1};
        HRESULT hr =
            invokeMember(kPersisted[i].id, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

std::vector<uint8_t> InkControl::streamBytes(HRESULT* hr) {
    std::vector<uint8_t> bytes;
    VARIANT values[11];
    *hr = readProperties(values);
    if (FAILED(*hr)) {
        return bytes;
    }
    ink::writeStreamVersion(bytes);
    for (auto& v : values) {
        if (!ink::writeVariant(bytes, v)) {
            *hr = E_FAIL;
        }
        VariantClear(&v);
    }
    return bytes;
}

HRESULT InkControl::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) {
        return E_POINTER;
    }
    return guarded([&] {
        HRESULT hr = S_OK;
        const std::vector<uint8_t> bytes = streamBytes(&hr);
        if (FAILED(hr)) {
            return hr;
        }
        ULONG written = 0;
        hr = stream->Write(bytes.data(), ULONG(bytes.size()), &written);
        if (FAILED(hr)) {
            return hr;
        }
        if (written != bytes.size()) {
            return STG_E_WRITEFAULT;
        }
        if (clearDirty) {
            needsSave_ = false;
        }
        return S_OK;
    });
}

HRESULT InkControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) {
        return E_POINTER;
    }
    return guarded([&] {
        HRESULT hr = S_OK;
        const auto bytes = streamBytes(&hr);
        size->QuadPart = bytes.size();
        return hr;
    });
}

HRESULT InkControl::Load(IStream* stream) {
    if (!stream) {
        return E_POINTER;
    }
    return guarded([&] {
        const ink::ReadExact read = [stream](void* buffer, size_t n) {
            auto* p = static_cast<uint8_t*>(buffer);
            while (n > 0) {
                ULONG got = 0;
                const HRESULT hr = stream->Read(p, ULONG(n), &got);
                if (FAILED(hr) || got == 0 || got > n) {
                    return false;
                }
                p += got;
                n -= got;
            }
            return true;
        };
        if (ink::readStreamVersion(read) != ink::ReadResult::Ok) {
            return E_FAIL;
        }
        VARIANT values[11];
        for (auto& v : values) {
            VariantInit(&v);
        }
        auto clearAll = [&] {
            for (auto& v : values) {
                VariantClear(&v);
            }
        };
        for (auto& v : values) {
            if (ink::readVariant(read, &v) != ink::ReadResult::Ok) {
                clearAll();
                return E_FAIL;
            }
        }
        const HRESULT hr = applyProperties(values);
        clearAll();
        if (SUCCEEDED(hr)) {
            needsSave_ = false;
        }
        return hr;
    });
}

HRESULT InkControl::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) {
        return E_POINTER;
    }
    return guarded([&] {
        VARIANT values[11];
        for (int i = 0; i < 11; ++i) {
            VariantInit(&values[i]);
            // A property the bag does not hold keeps its current value.
            if (FAILED(bag->Read(kPersisted[i].name, &values[i], log))) {
                VariantInit(&values[i]);
            }
        }
        const HRESULT hr = applyProperties(values);
        for (auto& v : values) {
            VariantClear(&v);
        }
        if (SUCCEEDED(hr)) {
            needsSave_ = false;
        }
        return hr;
    });
}

HRESULT InkControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag) {
        return E_POINTER;
    }
    return guarded([&] {
        VARIANT values[11];
        HRESULT hr = readProperties(values);
        if (FAILED(hr)) {
            return hr;
        }
        for (int i = 0; i < 11; ++i) {
            if (SUCCEEDED(hr)) {
                hr = bag->Write(kPersisted[i].name, &values[i]);
            }
            VariantClear(&values[i]);
        }
        if (SUCCEEDED(hr) && clearDirty) {
            needsSave_ = false;
        }
        return FAILED(hr) ? hr : S_OK;
    });
}

HRESULT InkControl::InitNew(IStorage*) {
    return InitNew();
}

HRESULT InkControl::Load(IStorage* storage) {
    if (!storage) {
        return E_POINTER;
    }
    IStream* stream = nullptr;
    HRESULT hr =
        storage->OpenStream(u"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
    if (FAILED(hr) || !stream) {
        return FAILED(hr) ? hr : E_FAIL;
    }
    hr = Load(stream);
    stream->Release();
    return hr;
}

HRESULT InkControl::Save(IStorage* storage, BOOL sameAsLoad) {
    if (!storage) {
        return E_POINTER;
    }
    IStream* stream = nullptr;
    HRESULT hr = storage->CreateStream(u"Contents", STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE,
                                       0, 0, &stream);
    if (FAILED(hr) || !stream) {
        return FAILED(hr) ? hr : E_FAIL;
    }
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

} // namespace scribane
