#pragma once

#include "platform/device_file_system.h"

#include <QDir>
#include <QHash>
#include <QTemporaryDir>
#include <optional>

// Keeps what the code under test writes in memory: a fuzzer runs thousands of
// inputs a second, and a sync to disk for every dump would cut that to a dozen.
class MemoryFileWriter final : public FileWriter {
public:
    bool replace(const QString& hostPath, const QByteArray& bytes) override {
        files_[hostPath] = bytes;
        return true;
    }
    bool append(const QString& hostPath, const QByteArray& bytes) override {
        QByteArray& file = files_[hostPath];
        if (file.size() > (1 << 20)) {
            file.clear(); // a log that only grows: keep memory flat over a long run
        }
        file += bytes;
        return true;
    }

    // What was last written to the file, taken out of memory; nothing when it
    // was not written.
    std::optional<QByteArray> take(const QString& hostPath) {
        const auto it = files_.find(hostPath);
        if (it == files_.end()) {
            return std::nullopt;
        }
        QByteArray bytes = *it;
        files_.erase(it);
        return bytes;
    }

private:
    QHash<QString, QByteArray> files_;
};

// A device root in a temporary folder, current for the whole run, whose writes
// go to memory. Reads still come from the folder, in memory too where the host
// has /dev/shm: a disk file system flushes a file truncated and rewritten for
// every input.
inline QString fuzzTempBase() {
    return QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                     : QDir::tempPath();
}

struct FuzzDevice {
    QTemporaryDir dir{fuzzTempBase() + QStringLiteral("/korvane-fuzz-XXXXXX")};
    DeviceFileSystem fs{dir.path()};
    ScopedDevice scope{fs};
    MemoryFileWriter memory;

    FuzzDevice() {
        fs.createDirectory(QStringLiteral("\\Korvo_XML"));
        fs.createDirectory(QStringLiteral("\\Korvo_XML\\Log"));
        fs.setWriter(&memory);
    }
};
