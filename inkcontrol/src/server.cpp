// The module's exported entry points: class factory, unload check and self-registration
// into the file-based class registry.
#include "ink_control.h"
#include "registry_file.h"

#include <dlfcn.h>
#include <limits.h>
#include <new>
#include <stdlib.h>

#define SCRIBANE_EXPORT extern "C" __attribute__((visibility("default")))

namespace scribane {
namespace {

class ClassFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static; its references only keep the module busy.
    ULONG AddRef() override { return ULONG(++g_serverLocks); }
    ULONG Release() override { return ULONG(--g_serverLocks); }

    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* control = new (std::nothrow) InkControl;
        if (!control)
            return E_OUTOFMEMORY;
        const HRESULT hr = control->QueryInterface(riid, object);
        control->Release();
        return hr;
    }
    HRESULT LockServer(BOOL lock) override {
        if (lock)
            ++g_serverLocks;
        else
            --g_serverLocks;
        return S_OK;
    }
};

ClassFactory g_factory;

std::string modulePath() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&modulePath), &info) || !info.dli_fname)
        return {};
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved))
        return resolved;
    return info.dli_fname;
}

const std::string kProgId = "Scribane.InkControl";
const std::string kVersionedProgId = "Scribane.InkControl.1";

// Every key this module owns, each with its subkeys.
std::vector<std::string> ownedKeys() {
    return {kVersionedProgId,
            kProgId,
            "CLSID\\" + guidToString(CLSID_InkControl),
            "TypeLib\\" + guidToString(LIBID_Scribane),
            "Interface\\" + guidToString(IID_IInkControl),
            "Interface\\" + guidToString(DIID_IInkControlEvents)};
}

} // namespace
} // namespace scribane

using namespace scribane;

SCRIBANE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!(clsid == CLSID_InkControl))
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, object);
}

SCRIBANE_EXPORT HRESULT DllCanUnloadNow() {
    return g_liveObjects == 0 && g_serverLocks == 0 ? S_OK : S_FALSE;
}

SCRIBANE_EXPORT HRESULT DllRegisterServer() {
    try {
        const std::string module = modulePath();
        if (module.empty())
            return SELFREG_E_CLASS;
        const std::string clsid = guidToString(CLSID_InkControl);
        const std::string libid = guidToString(LIBID_Scribane);
        const std::string folder = module.substr(0, module.rfind('/') + 1);
        const bool ok = updateRegistry(registryPath(), [&](RegistryKeys& keys) {
            for (const auto& k : ownedKeys())
                removeKeyTree(keys, k);
            keys[kVersionedProgId]["@"] = kProgId;
            keys[kVersionedProgId + "\\CLSID"]["@"] = clsid;
            keys[kProgId]["@"] = kProgId;
            keys[kProgId + "\\CLSID"]["@"] = clsid;
            keys[kProgId + "\\CurVer"]["@"] = kVersionedProgId;
            const std::string c = "CLSID\\" + clsid;
            keys[c]["@"] = kProgId;
            keys[c + "\\ProgID"]["@"] = kVersionedProgId;
            keys[c + "\\VersionIndependentProgID"]["@"] = kProgId;
            keys[c + "\\Programmable"];
            keys[c + "\\Control"];
            keys[c + "\\Insertable"];
            keys[c + "\\InprocServer32"]["@"] = module;
            keys[c + "\\InprocServer32"]["ThreadingModel"] = "Both";
            keys[c + "\\ToolboxBitmap32"]["@"] = module + ", 102";
            keys[c + "\\MiscStatus"]["@"] = "0";
            keys[c + "\\MiscStatus\\1"]["@"] = "147857";
            keys[c + "\\TypeLib"]["@"] = libid;
            keys[c + "\\Version"]["@"] = "1.0";
            // The type library entry; the module itself stands for the library file.
            const std::string t = "TypeLib\\" + libid + "\\1.0";
            keys[t]["@"] = "Scribane";
            keys[t + "\\0\\linux"]["@"] = module;
            keys[t + "\\FLAGS"]["@"] = "0";
            keys[t + "\\HELPDIR"]["@"] = folder;
            const std::pair<IID, const char*> interfaces[] = {
                {IID_IInkControl, "IInkControl"}, {DIID_IInkControlEvents, "IInkControlEvents"}};
            for (const auto& [iid, name] : interfaces) {
                const std::string i = "Interface\\" + guidToString(iid);
                keys[i]["@"] = name;
                keys[i + "\\TypeLib"]["@"] = libid;
                keys[i + "\\TypeLib"]["Version"] = "1.0";
            }
        });
        return ok ? S_OK : SELFREG_E_CLASS;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

SCRIBANE_EXPORT HRESULT DllUnregisterServer() {
    try {
        const bool ok = updateRegistry(registryPath(), [](RegistryKeys& keys) {
            for (const auto& k : ownedKeys())
                removeKeyTree(keys, k);
        });
        return ok ? S_OK : SELFREG_E_CLASS;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}
