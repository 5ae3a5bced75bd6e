// The web-service client's answer handling: the raw text of an answer goes
// through the evaluation (return code, cut, unescape, the fallback decoding,
// dump) and into every message's parser. Built with KORVANE_FUZZ=ON; `make
// fuzz` runs it.
#include "fuzz_device.h"
#include "service/messages/messages.h"

#include <functional>

namespace {

template <typename M, auto... What> std::unique_ptr<ServiceMessage> make(CKorvoDoc& doc) {
    return std::make_unique<M>(doc, false, What...);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzDevice device;
    const QString answer =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    using Make = std::function<std::unique_ptr<ServiceMessage>(CKorvoDoc&)>;
    // The first byte chooses how the note is asked for, which decides what is parsed.
    const auto action = static_cast<NoteAction>(size > 0 ? data[0] % 3 : 0);
    const Make makers[] = {make<SettingsMessage>,
                           make<EmployeeMessage>,
                           make<RouteMessage>,
                           [action](CKorvoDoc& doc) {
                               return std::make_unique<PackingNoteMessage>(doc, false, action);
                           },
                           make<PackingNoteListMessage, NoteListKind::New>,
                           make<PackingNoteContainerMessage>,
                           make<PackingNoteLineMessage>,
                           make<ContainerScanMessage>,
                           make<PoolScanMessage>,
                           make<CountMessage>};
    for (const Make& maker : makers) {
        CKorvoDoc doc;
        doc.currentSettings.emplace().AORD = 2;
        doc.currentRoute.emplace();
        const auto message = maker(doc);
        message->EvaluateResponse(answer, message->ResponseDumpPath(), QString(), false);
    }
    return 0;
}
