#include "host_support.h"

#include <QApplication>
#include <algorithm>
#include <gtest/gtest.h>

namespace host {

MemoryStorage::~MemoryStorage() {
    for (auto& s : streams)
        s.second->Release();
}

HRESULT MemoryStorage::QueryInterface(REFIID riid, void** object) {
    return answer(object, riid == IID_IUnknown || riid == IID_IStorage
                              ? static_cast<IStorage*>(this)
                              : nullptr);
}

HRESULT MemoryStorage::CreateStream(LPCOLESTR name, DWORD, DWORD, DWORD, IStream** stream) {
    auto*& s = streams[name];
    if (s)
        s->Release();
    s = new MemoryStream;
    s->AddRef();
    *stream = s;
    return S_OK;
}

HRESULT MemoryStorage::OpenStream(LPCOLESTR name, void*, DWORD, DWORD, IStream** stream) {
    auto it = streams.find(name);
    if (it == streams.end())
        return STG_E_FILENOTFOUND;
    it->second->pos = 0;
    it->second->AddRef();
    *stream = it->second;
    return S_OK;
}

PropertyBag::~PropertyBag() {
    for (auto& v : values)
        VariantClear(&v.second);
}

HRESULT PropertyBag::QueryInterface(REFIID riid, void** object) {
    return answer(object, riid == IID_IUnknown || riid == IID_IPropertyBag
                              ? static_cast<IPropertyBag*>(this)
                              : nullptr);
}

HRESULT PropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    auto it = values.find(name);
    if (it == values.end())
        return E_INVALIDARG;
    *value = it->second;
    if (value->vt == VT_BSTR)
        value->bstrVal = SysAllocStringLen(it->second.bstrVal, SysStringLen(it->second.bstrVal));
    return S_OK;
}

HRESULT PropertyBag::Write(LPCOLESTR name, VARIANT* value) {
    VARIANT copy = *value;
    if (copy.vt == VT_BSTR)
        copy.bstrVal = SysAllocStringLen(value->bstrVal, SysStringLen(value->bstrVal));
    auto [it, fresh] = values.insert({name, copy});
    if (!fresh) {
        VariantClear(&it->second);
        it->second = copy;
    }
    return S_OK;
}

HRESULT Site::QueryInterface(REFIID riid, void** object) {
    if (riid == IID_IDispatch)
        return ambient ? answer(object, static_cast<IDispatch*>(&ambient_))
                       : answer(object, nullptr);
    return answer(object, riid == IID_IUnknown || riid == IID_IOleClientSite
                              ? static_cast<IOleClientSite*>(this)
                              : nullptr);
}

HRESULT Site::Ambient::QueryInterface(REFIID riid, void** object) {
    return site_->QueryInterface(riid, object);
}

HRESULT Site::Ambient::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                              EXCEPINFO*, UINT*) {
    if (id != DISPID_AMBIENT_USERMODE || !result)
        return DISP_E_MEMBERNOTFOUND;
    result->vt = VT_BOOL;
    result->boolVal = site_->userMode ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT EventSink::QueryInterface(REFIID riid, void** object) {
    return answer(object,
                  riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_IInkControlEvents
                      ? static_cast<IDispatch*>(this)
                      : nullptr);
}

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                          EXCEPINFO*, UINT*) {
    if (flags != DISPATCH_METHOD || !params || params->cArgs != 4)
        return DISP_E_BADPARAMCOUNT;
    const VARIANT* a = params->rgvarg; // last argument first
    events.push_back(
        {id, {a[3].vt, a[2].vt, a[1].vt, a[0].vt}, a[3].iVal, a[2].iVal, a[1].lVal, a[0].lVal});
    return S_OK;
}

HRESULT NotifySink::QueryInterface(REFIID riid, void** object) {
    return answer(object, riid == IID_IUnknown || riid == IID_IPropertyNotifySink
                              ? static_cast<IPropertyNotifySink*>(this)
                              : nullptr);
}

DWORD connect(IUnknown* control, REFIID iid, IUnknown* sink) {
    IConnectionPointContainer* cpc = nullptr;
    EXPECT_EQ(
        control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)),
        S_OK);
    IConnectionPoint* cp = nullptr;
    EXPECT_EQ(cpc->FindConnectionPoint(iid, &cp), S_OK);
    DWORD cookie = 0;
    EXPECT_EQ(cp->Advise(sink, &cookie), S_OK);
    cp->Release();
    cpc->Release();
    return cookie;
}

HRESULT put(IDispatch* d, DISPID id, VARIANT value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    return d->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
}

HRESULT get(IDispatch* d, DISPID id, VARIANT* out) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return d->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, out, nullptr, nullptr);
}

HRESULT call(IDispatch* d, DISPID id, std::vector<VARIANT> args) {
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, UINT(args.size()), 0};
    return d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

LONG getLong(IDispatch* d, DISPID id) {
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(get(d, id, &v), S_OK);
    const LONG n = v.vt == VT_BOOL ? v.boolVal : v.lVal;
    VariantClear(&v);
    return n;
}

VARIANT i4(LONG v) {
    VARIANT out;
    VariantInit(&out);
    out.vt = VT_I4;
    out.lVal = v;
    return out;
}

VARIANT boolean(bool v) {
    VARIANT out;
    VariantInit(&out);
    out.vt = VT_BOOL;
    out.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    return out;
}

VARIANT text(const std::u16string& v) {
    VARIANT out;
    VariantInit(&out);
    out.vt = VT_BSTR;
    out.bstrVal = SysAllocStringLen(v.data(), UINT(v.size()));
    return out;
}

VARIANT bytes(const std::vector<uint8_t>& v) {
    VARIANT out;
    VariantInit(&out);
    out.vt = VT_ARRAY | VT_UI1;
    out.parray = SafeArrayCreateVector(VT_UI1, 0, ULONG(v.size()));
    std::copy(v.begin(), v.end(), static_cast<uint8_t*>(out.parray->pvData));
    return out;
}

std::vector<uint8_t> arrayBytes(const VARIANT& v) {
    if (v.vt != (VT_ARRAY | VT_UI1) || !v.parray)
        return {};
    auto* p = static_cast<const uint8_t*>(v.parray->pvData);
    return std::vector<uint8_t>(p, p + v.parray->rgsabound[0].cElements);
}

} // namespace host

int main(int argc, char** argv) {
    // Test discovery runs this without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
