#pragma once

#include "platform/device_file_system.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// A fresh device root in a temporary folder, current for the lifetime of the
// object.
class TestDevice {
public:
    explicit TestDevice(QStringList cards = {},
                        QString programPath = QStringLiteral("\\Program Files\\Korvo\\Korvo.exe"));

    DeviceFileSystem& fs() { return *fs_; }
    QString root() const { return dir_.path(); }

    // Host-side helpers for arranging and checking files by device path.
    void write(const QString& devicePath, const QByteArray& bytes);
    QByteArray read(const QString& devicePath) const;
    bool exists(const QString& devicePath) const { return fs_->exists(devicePath); }
    void mkdir(const QString& devicePath);

private:
    QTemporaryDir dir_;
    std::unique_ptr<DeviceFileSystem> fs_;
    std::unique_ptr<ScopedDevice> scope_;
};
