// libFuzzer entry for the web-service client's answer handling: the raw text
// of an answer goes through the evaluation (return code, cut, unescape, dump)
// and into every parser. Not part of the default build; with the libraries
// built by CMake (any compiler; add -fsanitize=address,undefined for both):
//
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer -fPIC -I . $(pkg-config --cflags Qt6Core) \
//     fuzz/service_answers.cpp build/service/libkorvane_service.a build/model/libkorvane_model.a \
//     build/config/libkorvane_config.a build/platform/libkorvane_platform.a \
//     $(pkg-config --libs Qt6Core) -lpugixml -lcurl -o service_answers
//   ./service_answers -max_len=65536
#include "platform/device_file_system.h"
#include "service/messages/messages.h"

#include <QDir>
#include <QTemporaryDir>
#include <functional>

namespace {

struct Device {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/korvane-fuzz-XXXXXX")};
    DeviceFileSystem fs{dir.path()};
    ScopedDevice scope{fs};
    Device() {
        fs.createDirectory(QStringLiteral("\\Korvo_XML"));
        fs.createDirectory(QStringLiteral("\\Korvo_XML\\Log"));
    }
};

template <typename M> std::unique_ptr<ServiceMessage> make(CKorvoDoc& doc) {
    return std::make_unique<M>(doc, false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Device device;
    const QString answer =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    using Make = std::function<std::unique_ptr<ServiceMessage>(CKorvoDoc&)>;
    static const Make makers[] = {
        make<SettingsMessage>,        make<EmployeeMessage>,
        make<RouteMessage>,           make<PackingNoteMessage>,
        make<PackingNoteListMessage>, make<PackingNoteContainerMessage>,
        make<PackingNoteLineMessage>, make<ContainerScanMessage>,
        make<PoolScanMessage>,        make<CountMessage>};
    for (const Make& maker : makers) {
        CKorvoDoc doc;
        doc.packingNoteAction = size > 0 ? data[0] % 3 : 0;
        doc.currentSettings.emplace().AORD = 2;
        doc.currentRoute.emplace();
        const auto message = maker(doc);
        message->EvaluateResponse(answer, message->ResponseDumpPath(), QString(), false);
    }
    return 0;
}
