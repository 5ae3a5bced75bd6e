#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <sys/types.h>

// Where the device's files are written. The disk writer replaces a file all or
// nothing; tests put failures in its way, and the fuzzers keep what is written
// in memory instead of syncing it to disk for every input.
class FileWriter {
public:
    virtual ~FileWriter() = default;
    // Replaces the file with `bytes`. Afterwards it holds either all of them or
    // exactly what it held before; nothing the attempt created is left behind.
    virtual bool replace(const QString& hostPath, const QByteArray& bytes) = 0;
    // Adds `bytes` at the end. On failure the file keeps exactly its old bytes.
    virtual bool append(const QString& hostPath, const QByteArray& bytes) = 0;
};

// The host's disk: a replacement is written to a temporary file beside the
// target, checked, synced and renamed over it, so a full or removed card never
// leaves a short file where a good one was.
class DiskFileWriter : public FileWriter {
public:
    bool replace(const QString& hostPath, const QByteArray& bytes) override;
    bool append(const QString& hostPath, const QByteArray& bytes) override;

protected:
    // One write(2); tests override it to run out of space part-way.
    virtual ssize_t writeSome(int fd, const char* data, size_t size);

private:
    bool writeAll(int fd, const QByteArray& bytes);
};

// The handheld's file system, kept in one folder of the host (the device root).
//
// The rest of the program builds device paths exactly as the handheld does, with
// backslashes ("\Korvo_XML\Log\SettingsREQUEST.xml"); this class is the one place
// that turns them into host paths. Name matching is case-insensitive, as on the
// device. A device path can never leave the device root: "." and ".." components
// are refused, so no text from a server or a file can reach other host files.
class DeviceFileSystem {
public:
    struct Entry {
        QString name;
        bool isDirectory = false;
        bool isStorageCard = false;
    };

    // rootDir is created when missing. cards are the names of storage-card
    // folders directly under the root; a card counts as mounted while its folder
    // exists.
    explicit DeviceFileSystem(
        QString rootDir, QStringList cards = {},
        QString programPath = QStringLiteral("\\Program Files\\Korvo\\Korvo.exe"));

    const QString& rootDir() const { return root_; }
    const QString& programPath() const { return programPath_; }
    const QStringList& cardNames() const { return cards_; }

    // Host path of a device path, or an empty string when the path is unsafe.
    // Existing components are matched without regard to letter case; missing
    // ones keep the spelling given.
    QString hostPath(const QString& devicePath) const;

    bool exists(const QString& devicePath) const;
    bool isDirectory(const QString& devicePath) const;
    // Creates one directory; the parent must exist. An existing directory counts
    // as success.
    bool createDirectory(const QString& devicePath) const;
    bool removeFile(const QString& devicePath) const;
    // Moves a file or folder; fails when the target exists.
    bool move(const QString& fromDevicePath, const QString& toDevicePath) const;

    // Names (not paths) of the entries of a folder matching a pattern such as
    // "\Korvo_XML\*.xml" ('*' and '?' wildcards, case-insensitive), in name order.
    QStringList findFiles(const QString& devicePattern) const;
    // Root entries in name order; mounted cards carry isStorageCard.
    QList<Entry> rootEntries() const;
    // True for a non-empty name of a mounted storage card (letter case ignored).
    bool isStorageCard(const QString& name) const;

    // Whole file, or nothing when it cannot be opened or is larger than maxBytes.
    std::optional<QByteArray> readFile(const QString& devicePath, qint64 maxBytes) const;
    // Replaces the file all or nothing (see FileWriter).
    bool writeFile(const QString& devicePath, const QByteArray& bytes) const;
    // Appends; a failed append leaves the file as it was.
    bool appendFile(const QString& devicePath, const QByteArray& bytes) const;

    // Copies every file of hostDir (a folder or a Qt resource folder) into the
    // device folder when it is missing there. Files that hold text are never
    // overwritten, since a site may have edited them; an empty or unreadable
    // one (left by a full card) counts as missing. True when every file is in
    // place afterwards.
    bool installMissingFiles(const QString& hostDir, const QString& deviceDir) const;

    // False when the device folder cannot be written (a read-only device root,
    // or a user without write permission); a missing folder is judged by the
    // nearest existing parent.
    bool isWritable(const QString& deviceDir) const;

    // Where files are written; nullptr restores the disk. The writer must
    // outlive its use.
    void setWriter(FileWriter* writer) { writer_ = writer; }
    FileWriter& writer() const;

    // The device of this process; set by the program at start-up and by tests.
    static DeviceFileSystem& current();
    static void setCurrent(DeviceFileSystem* fs);

private:
    QString resolveComponent(const QString& hostDir, const QString& name) const;

    QString root_;
    QStringList cards_;
    QString programPath_;
    FileWriter* writer_ = nullptr;
};

// Makes a device current for the lifetime of the guard (tests, tools).
class ScopedDevice {
public:
    explicit ScopedDevice(DeviceFileSystem& fs);
    ~ScopedDevice();
    ScopedDevice(const ScopedDevice&) = delete;
    ScopedDevice& operator=(const ScopedDevice&) = delete;

private:
    DeviceFileSystem* previous_;
};
