// The ink control's persisted-stream load: any bytes as the stream a host
// hands to IPersistStreamInit::Load. What loads must save and load again to
// the same bytes. Built with KORVANE_FUZZ=ON; the control's sources are
// compiled in so that they are instrumented.
#include "ink_control.h"
#include "memory_stream.h"

#include <QApplication>
#include <vector>

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
