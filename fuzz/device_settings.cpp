// The settings-file reader: any bytes as the device settings file, read into
// the work-state fields with their defaults, then written back and read again,
// which must give the same values. Built with KORVANE_FUZZ=ON.
#include "config/device_settings.h"

#include "fuzz_device.h"

#include <QFile>

namespace {

bool same(const DeviceSettings& a, const DeviceSettings& b) {
    return a.storageLocation == b.storageLocation && a.language == b.language &&
           a.showScreenKeyboard == b.showScreenKeyboard && a.plantCode == b.plantCode &&
           a.pdaCode == b.pdaCode && a.hostIp == b.hostIp && a.portNumber == b.portNumber &&
           a.webServicePath == b.webServicePath && a.viewBy == b.viewBy &&
           a.operatingMode == b.operatingMode;
}

void put(const QString& host, const QByteArray& bytes) {
    QFile file(host);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzDevice device;
    static const QString host = device.fs.hostPath(SettingsFilePath());
    put(host, QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));

    DeviceSettings first;
    bool languageChanged = false;
    ReadDeviceSettings(first, languageChanged);

    // A value that holds a line feed or another key's "name=" cannot come back
    // alone; every other file must survive a rewrite unchanged.
    const QString all = first.storageLocation + first.language + first.showScreenKeyboard +
                        first.plantCode + first.pdaCode + first.hostIp + first.portNumber +
                        first.webServicePath + first.viewBy + first.operatingMode;
    if (all.contains(QLatin1Char('\n')) || all.contains(QLatin1Char('=')) ||
        all.contains(QChar(0))) {
        return 0;
    }
    device.memory.take(host);
    WriteDeviceSettings(first);
    if (const auto rewritten = device.memory.take(host)) {
        put(host, *rewritten);
    }
    DeviceSettings second;
    ReadDeviceSettings(second, languageChanged);
    if (!same(first, second)) {
        __builtin_trap();
    }
    return 0;
}
