// The ink control's persisted-stream load: any bytes as the stream a host
// hands to IPersistStreamInit::Load. What loads must save and load again to
// the same bytes. Built with KORVANE_FUZZ=ON; the control's sources are
// compiled in so that they are instrumented.
#include "ink_control.h"

#include <QApplication>
#include <algorithm>
#include <atomic>
#include <vector>

namespace host {

// The stream a host hands over: bytes in memory.
class MemoryStream final : public IStream {
public:
    std::vector<uint8_t> bytes;
    size_t pos = 0;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        const bool known =
            riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream;
        *object = known ? static_cast<IStream*>(this) : nullptr;
        if (known)
            AddRef();
        return known ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG n = --refs_;
        if (n == 0)
            delete this;
        return n;
    }
    HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
        const size_t n = std::min<size_t>(count, bytes.size() - pos);
        std::copy_n(bytes.begin() + ptrdiff_t(pos), n, static_cast<uint8_t*>(buffer));
        pos += n;
        if (read)
            *read = ULONG(n);
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
        const auto* p = static_cast<const uint8_t*>(buffer);
        if (bytes.size() < pos + count)
            bytes.resize(pos + count);
        std::copy_n(p, count, bytes.begin() + ptrdiff_t(pos));
        pos += count;
        if (written)
            *written = count;
        return S_OK;
    }
    HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
        const int64_t base = origin == STREAM_SEEK_SET   ? 0
                             : origin == STREAM_SEEK_CUR ? int64_t(pos)
                                                         : int64_t(bytes.size());
        pos = size_t(std::clamp<int64_t>(base + move.QuadPart, 0, int64_t(bytes.size())));
        if (position)
            position->QuadPart = pos;
        return S_OK;
    }
    HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT Commit(DWORD) override { return S_OK; }
    HRESULT Revert() override { return E_NOTIMPL; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT Clone(IStream**) override { return E_NOTIMPL; }

private:
    std::atomic<ULONG> refs_{1};
};

} // namespace host

namespace {

IPersistStreamInit* newControl() {
    auto* control = new scribane::InkControl;
    IPersistStreamInit* persist = nullptr;
    control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist));
    control->Release();
    return persist;
}

std::vector<uint8_t> saved(IPersistStreamInit* persist) {
    auto* out = new host::MemoryStream;
    std::vector<uint8_t> bytes;
    if (persist->Save(out, TRUE) == S_OK)
        bytes = out->bytes;
    out->Release();
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_scribane_stream_load";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    (void)app;

    IPersistStreamInit* persist = newControl();
    auto* stream = new host::MemoryStream;
    stream->bytes.assign(data, data + size);
    if (SUCCEEDED(persist->Load(stream))) {
        const std::vector<uint8_t> first = saved(persist);
        if (first.empty())
            __builtin_trap();
        IPersistStreamInit* again = newControl();
        auto* copy = new host::MemoryStream;
        copy->bytes = first;
        if (FAILED(again->Load(copy)) || saved(again) != first)
            __builtin_trap();
        copy->Release();
        again->Release();
    }
    stream->Release();
    persist->Release();
    return 0;
}
