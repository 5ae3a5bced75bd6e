#pragma once

#include "platform/device_file_system.h"

#include <QTemporaryDir>

// A device in memory, as the handheld's main memory is (a temporary folder
// where /dev/shm is missing), with the data and log folders the calls write.
struct BenchDevice {
    QTemporaryDir dir{QStringLiteral("/dev/shm/korvane-bench-XXXXXX")};
    QTemporaryDir fallback;
    DeviceFileSystem fs{(dir.isValid() ? dir.path() : fallback.path())};
    ScopedDevice scope{fs};
    BenchDevice() {
        fs.createDirectory(QStringLiteral("\\Korvo_XML"));
        fs.createDirectory(QStringLiteral("\\Korvo_XML\\Log"));
    }
};
