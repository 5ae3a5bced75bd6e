// What a host brings along to talk to the control: a memory stream and storage, a
// property bag, a client site with ambient properties, and sinks that record events
// and property notifications. Written against the public header only.
#pragma once

#include "memory_stream.h"

#include <map>
#include <scribane/scribane.h>
#include <set>
#include <string>
#include <vector>

namespace host {

class MemoryStorage final : public Counted<IStorage> {
public:
    ~MemoryStorage() override;
    std::map<std::u16string, MemoryStream*> streams;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT CreateStream(LPCOLESTR name, DWORD, DWORD, DWORD, IStream** stream) override;
    HRESULT OpenStream(LPCOLESTR name, void*, DWORD, DWORD, IStream** stream) override;
    HRESULT CreateStorage(LPCOLESTR, DWORD, DWORD, DWORD, IStorage**) override { return E_NOTIMPL; }
    HRESULT OpenStorage(LPCOLESTR, IStorage*, DWORD, SNB, DWORD, IStorage**) override {
        return E_NOTIMPL;
    }
    HRESULT CopyTo(DWORD, const IID*, SNB, IStorage*) override { return E_NOTIMPL; }
    HRESULT MoveElementTo(LPCOLESTR, IStorage*, LPCOLESTR, DWORD) override { return E_NOTIMPL; }
    HRESULT Commit(DWORD) override { return S_OK; }
    HRESULT Revert() override { return E_NOTIMPL; }
    HRESULT EnumElements(DWORD, void*, DWORD, IEnumSTATSTG**) override { return E_NOTIMPL; }
    HRESULT DestroyElement(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT RenameElement(LPCOLESTR, LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT SetElementTimes(LPCOLESTR, const FILETIME*, const FILETIME*, const FILETIME*) override {
        return E_NOTIMPL;
    }
    HRESULT SetClass(REFCLSID) override { return S_OK; }
    HRESULT SetStateBits(DWORD, DWORD) override { return E_NOTIMPL; }
    HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
};

class PropertyBag final : public Counted<IPropertyBag> {
public:
    ~PropertyBag() override;
    std::map<std::u16string, VARIANT> values;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override;
    HRESULT Write(LPCOLESTR name, VARIANT* value) override;
};

// A site whose IDispatch answers the ambient user mode, unless `ambient` is false.
class Site final : public Counted<IOleClientSite> {
public:
    bool userMode = true;
    bool ambient = true;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT SaveObject() override { return S_OK; }
    HRESULT GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
    HRESULT ShowObject() override { return S_OK; }
    HRESULT OnShowWindow(BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }

private:
    class Ambient final : public IDispatch {
    public:
        explicit Ambient(Site* site) : site_(site) {}
        HRESULT QueryInterface(REFIID riid, void** object) override;
        ULONG AddRef() override { return site_->AddRef(); }
        ULONG Release() override { return site_->Release(); }
        HRESULT GetTypeInfoCount(UINT* n) override {
            *n = 0;
            return S_OK;
        }
        HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
        HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
        HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                       UINT*) override;

    private:
        Site* site_;
    };
    Ambient ambient_{this};
};

struct MouseEvent {
    DISPID id;
    VARTYPE types[4];
    int button, shift, x, y;
};

class EventSink final : public Counted<IDispatch> {
public:
    std::vector<MouseEvent> events;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                   UINT*) override;
};

class NotifySink final : public Counted<IPropertyNotifySink> {
public:
    std::vector<std::pair<char, DISPID>> calls; // 'r' request edit, 'c' changed
    std::set<DISPID> refuse;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT OnChanged(DISPID id) override {
        calls.push_back({'c', id});
        return S_OK;
    }
    HRESULT OnRequestEdit(DISPID id) override {
        calls.push_back({'r', id});
        return refuse.count(id) ? S_FALSE : S_OK;
    }
};

// Connects `sink` to the control's connection point `iid`; returns the cookie.
DWORD connect(IUnknown* control, REFIID iid, IUnknown* sink);

// IDispatch by DISPID.
HRESULT put(IDispatch* d, DISPID id, VARIANT value);
HRESULT get(IDispatch* d, DISPID id, VARIANT* out);
HRESULT call(IDispatch* d, DISPID id, std::vector<VARIANT> args = {});
LONG getLong(IDispatch* d, DISPID id);

VARIANT i4(LONG v);
VARIANT boolean(bool v);
VARIANT text(const std::u16string& v); // the caller clears it
VARIANT bytes(const std::vector<uint8_t>& v);

std::vector<uint8_t> arrayBytes(const VARIANT& v);

} // namespace host
