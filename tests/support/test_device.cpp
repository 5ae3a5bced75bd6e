#include "test_device.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestDevice::TestDevice(QStringList cards, QString programPath) {
    fs_ = std::make_unique<DeviceFileSystem>(dir_.path(), std::move(cards), std::move(programPath));
    scope_ = std::make_unique<ScopedDevice>(*fs_);
}

void TestDevice::write(const QString& devicePath, const QByteArray& bytes) {
    const QString path = fs_->hostPath(devicePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
    }
}

QByteArray TestDevice::read(const QString& devicePath) const {
    QFile file(fs_->hostPath(devicePath));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestDevice::mkdir(const QString& devicePath) {
    QDir().mkpath(fs_->hostPath(devicePath));
}
