#pragma once

#include "platform/device_file_system.h"

#include <QString>
#include <QTemporaryDir>

// Ways to run out of space, for the tests that check that no file is lost.

// The disk writer, except that the device "fills up" after `budget` more
// bytes: the write that crosses it is cut short and the next one fails with
// ENOSPC, as on a full card.
class FailingWriter final : public DiskFileWriter {
public:
    explicit FailingWriter(qint64 budget = 0) : budget_(budget) {}
    void setBudget(qint64 budget) { budget_ = budget; }

protected:
    ssize_t writeSome(int fd, const char* data, size_t size) override;

private:
    qint64 budget_;
};

// A real small tmpfs mounted on a temporary folder. Mounting needs root; where
// it cannot be done, available() is false and reason() says why.
class SmallTmpfs {
public:
    explicit SmallTmpfs(int kibibytes = 64);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool available() const { return mounted_; }
    const QString& reason() const { return reason_; }
    QString path() const { return dir_.path(); }
    // Takes every free block, so the next write fails with ENOSPC.
    void fill();
    // Gives the space back.
    void drain();
    // Remounts read-only (or read-write again).
    bool setReadOnly(bool readOnly);

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    QString reason_;
};

// Makes a writer current on a device for the lifetime of the guard.
class ScopedWriter {
public:
    ScopedWriter(DeviceFileSystem& fs, FileWriter& writer) : fs_(fs) { fs_.setWriter(&writer); }
    ~ScopedWriter() { fs_.setWriter(nullptr); }
    ScopedWriter(const ScopedWriter&) = delete;
    ScopedWriter& operator=(const ScopedWriter&) = delete;

private:
    DeviceFileSystem& fs_;
};
