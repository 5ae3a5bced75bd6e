#pragma once

#include "loopback_back_office.h"
#include "model/korvo_doc.h"
#include "platform/device_file_system.h"
#include "scripted_prompter.h"
#include "service/service_transport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// Every key the service layer shows, translated as "T:<key>"; "E200" has an
// empty translation. Keys not listed read "<key> Not Translated !".
QString TranslationText();
inline QString Tr(const char* key) {
    return QStringLiteral("T:") + QLatin1String(key);
}

// A device in memory (the dumps are rewritten on every call), a scripted
// prompter, a work state pointing at a loopback back office, and deadlines
// short enough that a hanging test fails fast.
class ServiceTest : public ::testing::Test {
protected:
    ServiceTest();
    ~ServiceTest() override;

    // Device file contents; empty when missing.
    QByteArray read(const QString& devicePath) const;
    bool exists(const QString& devicePath) const { return fs_->exists(devicePath); }
    void write(const QString& devicePath, const QByteArray& bytes) const;
    // Every file under the device root, as relative host paths.
    QStringList deviceFiles() const;
    const QString& root() const { return fs_->rootDir(); }

    QTemporaryDir parent_;
    std::unique_ptr<DeviceFileSystem> fs_;
    std::unique_ptr<ScopedDevice> device_;
    ScriptedPrompter prompter_;
    ScopedPrompter prompterScope_{prompter_};
    LoopbackBackOffice server_;
    CKorvoDoc doc_;
    ServiceTransport& transport_ = ServiceTransport::instance();
};
